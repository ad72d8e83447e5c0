// Evaluation: counts, spreads (the median of an even count is the mean of the middle two)
// and the threshold over a list of answers.
//   Evaluate, ThresholdAbove, TEvaluation::CommonConfusions, TRandom, RandomMoves,
//   RecognizePicture
#include "app/Evaluation.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/AppState.h"
#include "app/Results.h"

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

uint64_t TRandom::Next() {
  uint64_t z = (State += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

double TRandom::Uniform(double lo, double hi) {
  return lo + (hi - lo) * (static_cast<double>(Next() >> 11) * 0x1.0p-53);
}

std::vector<TResampling> RandomMoves(int32_t count, TRandom& random) {
  std::vector<TResampling> moves;
  for (int32_t i = 0; i < count; ++i) {
    TResampling m;
    m.Degrees = random.Uniform(0, 360);
    m.Scale = random.Uniform(0.5, 2.0);
    m.ShiftX = random.Uniform(-0.5, 0.5);
    m.ShiftY = random.Uniform(-0.5, 0.5);
    moves.push_back(m);
  }
  return moves;
}

TAnswer RecognizePicture(const TPattern& picture, const TCodeBase& base,
                         const TSceneReading& reading) {
  TAppState s;
  s.Threads = 1;
  s.Reading = reading;
  s.SharedBase = &base;
  s.AdmissibleError = base.AdmissibleError;
  s.MaxTreeLevel = base.MaxLevel;
  s.SceneImage = std::make_unique<TPattern>(picture);
  s.BuildSceneCodes();
  TAnswer answer{"", "none", 0};
  if (s.SceneCodes.Count() == 0) return answer;
  s.BuildSceneNearestIndices();
  int64_t most = -1;
  for (int32_t r = 0; r < s.SceneCodes.Count(); ++r) {
    const TRegionFigures f = RegionFigures(s, r);
    if (f.Pixels > most) {
      most = f.Pixels;
      answer.Label = f.Shape;
      answer.Sameness = f.Sameness;
    }
  }
  return answer;
}

}  // namespace ormax
