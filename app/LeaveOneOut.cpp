// LeaveOneOut: every picture's entries are made once; then each picture's own code is
// compared with every entry of the other pictures. A picture's nearest entry is found
// as FindNearest would find it in a base of the others in collection order (the first
// on ties), so its label is the one recognize would give with that base.
//   ScoreLeaveOneOut, LeaveOneOut, SweepSettings, SuggestedSetting
#include "app/LeaveOneOut.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>
#include <memory>
#include <set>

#include "analysis/Methods.h"
#include "app/AppState.h"
#include "app/Results.h"
#include "app/WorkerPool.h"

namespace ormax {

namespace {

struct TMadePicture {
  std::vector<TBaseEntry> Entries;
  std::unique_ptr<TCode> Code;  // of the picture as it is: its largest region's
  std::string Problem;
};

// On one thread: the pictures themselves are spread over the threads.
TMadePicture MakePicture(const TCollectionPicture& picture, TBaseOptions options) {
  TMadePicture made;
  std::string problem;
  options.Threads = 1;
  made.Entries = ShapeEntries(*picture.Picture, picture.Name, options, problem);
  if (!problem.empty()) {
    made.Problem = picture.File + ": " + problem;
    return made;
  }
  TAppState s;
  s.Threads = 1;
  s.Reading = options.Reading;
  s.MaxTreeLevel = options.MaxTreeLevel;
  s.AdmissibleError = options.AdmissibleError;
  s.SceneImage = std::make_unique<TPattern>(*picture.Picture);
  s.BuildSceneCodes();
  int64_t most = -1;
  for (int32_t r = 0; r < s.SceneCodes.Count(); ++r) {
    const int64_t pixels = s.Segments.Items(r).InsideCount();
    if (pixels > most) {
      most = pixels;
      made.Code = std::make_unique<TCode>(s.SceneCodes.GetCode(r));
    }
  }
  if (!made.Code) made.Problem = picture.File + ": no region";
  return made;
}

}  // namespace

TLeaveOneOut ScoreLeaveOneOut(const std::vector<std::string>& shapes, int32_t threads,
                              const std::function<double(size_t, size_t)>& distance) {
  std::map<std::string, int64_t> drawings;
  for (const std::string& shape : shapes) ++drawings[shape];
  // Per counted picture: its answer and retrieval share; slots keep the order.
  struct TOutcome {
    bool Counted = false;
    TAnswer Answer;
    double Retrieval = 0;
  };
  std::vector<TOutcome> outcomes(shapes.size());
  RunInParallel(static_cast<int32_t>(shapes.size()), WorkerCount(threads), [&](int32_t qi) {
    const auto q = static_cast<size_t>(qi);
    const int64_t n = drawings.at(shapes[q]);
    if (n < 2) return;
    std::vector<std::pair<double, size_t>> others;
    for (size_t p = 0; p < shapes.size(); ++p)
      if (p != q) others.emplace_back(distance(q, p), p);
    // Ties keep collection order: the first picture, as FindNearest keeps the first entry.
    std::stable_sort(others.begin(), others.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    TOutcome& out = outcomes[q];
    out.Counted = true;
    out.Answer.Truth = shapes[q];
    out.Answer.Label = shapes[others.front().second];
    out.Answer.Sameness = Sameness(others.front().first);
    const size_t window = std::min(others.size(), static_cast<size_t>(2 * n));
    int64_t same = 0;
    for (size_t k = 0; k < window; ++k) same += shapes[others[k].second] == shapes[q];
    out.Retrieval = static_cast<double>(same) / static_cast<double>(n - 1);
  });
  TLeaveOneOut result;
  std::vector<TAnswer> answers;
  double retrieval = 0;
  std::set<std::string> counted;
  for (const TOutcome& o : outcomes) {
    if (!o.Counted) {
      ++result.Alone;
      continue;
    }
    answers.push_back(o.Answer);
    retrieval += o.Retrieval;
    counted.insert(o.Answer.Truth);
  }
  result.Counted = static_cast<int64_t>(answers.size());
  result.Shapes = static_cast<int64_t>(counted.size());
  result.Retrieval = answers.empty() ? 0 : 100 * retrieval / static_cast<double>(answers.size());
  result.Evaluation = Evaluate(answers);
  return result;
}

TLeaveOneOut LeaveOneOut(const std::vector<TCollectionPicture>& pictures,
                         const TBaseOptions& options, int32_t threads) {
  const auto start = std::chrono::steady_clock::now();
  TLeaveOneOut result;
  result.Level = options.MaxTreeLevel;
  result.Error = options.AdmissibleError;
  const int32_t workers = WorkerCount(threads);
  const auto count = static_cast<int32_t>(pictures.size());
  std::vector<TMadePicture> made(pictures.size());
  RunInParallel(count, workers, [&](int32_t i) {
    made[static_cast<size_t>(i)] = MakePicture(pictures[static_cast<size_t>(i)], options);
  });
  std::vector<size_t> used;  // the pictures that made entries, in order
  for (size_t i = 0; i < made.size(); ++i) {
    if (!made[i].Problem.empty()) {
      result.Problems.push_back(made[i].Problem);
      continue;
    }
    used.push_back(i);
    for (const TBaseEntry& e : made[i].Entries)
      if (e.Code->Depth() != options.MaxTreeLevel) result.Loadable = false;
  }

  std::vector<std::string> shapes;
  for (const size_t i : used) shapes.push_back(pictures[i].Shape);
  // A picture's distance: that of its nearest entry.
  const TLeaveOneOut scores = ScoreLeaveOneOut(shapes, workers, [&](size_t q, size_t p) {
    const TCode& code = *made[used[q]].Code;
    double best = std::numeric_limits<double>::infinity();
    for (const TBaseEntry& e : made[used[p]].Entries)
      best = std::min(best, CodeDistanceUpTo(code, *e.Code, best));
    return best;
  });
  result.Evaluation = scores.Evaluation;
  result.Retrieval = scores.Retrieval;
  result.Counted = scores.Counted;
  result.Alone = scores.Alone;
  result.Shapes = scores.Shapes;
  result.Seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

std::vector<TSetting> SweepSettings() {
  std::vector<TSetting> settings{{0, 0.0}};
  for (int32_t level = 1; level <= 3; ++level)
    for (const double error : {0.0, 0.1, 0.2}) settings.push_back({level, error});
  return settings;
}

TSetting SuggestedSetting(const std::vector<TLeaveOneOut>& runs) {
  const TLeaveOneOut* best = nullptr;
  for (const TLeaveOneOut& r : runs) {
    if (best && best->Loadable && !r.Loadable) continue;
    const double a = r.Evaluation.Accuracy(), b = best ? best->Evaluation.Accuracy() : -1;
    const bool better = !best || (r.Loadable && !best->Loadable) || a > b ||
                        (a == b && (r.Retrieval > best->Retrieval ||
                                    (r.Retrieval == best->Retrieval && r.Seconds < best->Seconds)));
    if (better) best = &r;
  }
  return TSetting{best->Level, best->Error};
}

}  // namespace ormax
