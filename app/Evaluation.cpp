// Evaluation: counts, spreads (the median of an even count is the mean of the middle two)
// and the threshold over a list of answers.
//   Evaluate, ThresholdAbove, TEvaluation::CommonConfusions
#include "app/Evaluation.h"

#include <algorithm>
#include <cmath>

namespace ormax {

namespace {

TSpread SpreadOf(const std::vector<double>& sorted) {
  TSpread s;
  s.Count = static_cast<int64_t>(sorted.size());
  if (sorted.empty()) return s;
  const size_t n = sorted.size();
  s.Min = sorted.front();
  s.Max = sorted.back();
  s.Median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  return s;
}

}  // namespace

double ThresholdAbove(double sameness) {
  return (std::floor(sameness * 10 + 1e-9) + 1) / 10;
}

TEvaluation Evaluate(const std::vector<TAnswer>& answers) {
  TEvaluation e;
  for (const TAnswer& a : answers) {
    ++e.Answers;
    TShapeScore& score = e.PerShape[a.Truth];
    ++score.Total;
    if (a.Label == a.Truth) {
      ++e.Right;
      ++score.Right;
      e.RightSameness.push_back(a.Sameness);
    } else {
      ++e.Confusions[{a.Truth, a.Label}];
      e.WrongSameness.push_back(a.Sameness);
    }
  }
  std::sort(e.RightSameness.begin(), e.RightSameness.end());
  std::sort(e.WrongSameness.begin(), e.WrongSameness.end());
  e.RightSpread = SpreadOf(e.RightSameness);
  e.WrongSpread = SpreadOf(e.WrongSameness);
  if (!e.WrongSameness.empty()) {
    e.MinSameness = ThresholdAbove(e.WrongSameness.back());
    const auto below = std::lower_bound(e.RightSameness.begin(), e.RightSameness.end(),
                                        e.MinSameness) - e.RightSameness.begin();
    if (!e.RightSameness.empty())
      e.UnknownRightShare = static_cast<double>(below) / static_cast<double>(e.RightSameness.size());
  }
  return e;
}

std::vector<std::pair<std::pair<std::string, std::string>, int64_t>>
TEvaluation::CommonConfusions() const {
  std::vector<std::pair<std::pair<std::string, std::string>, int64_t>> list(Confusions.begin(),
                                                                            Confusions.end());
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return list;
}

}  // namespace ormax
