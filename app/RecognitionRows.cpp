// RecognitionRows: the rows are built from RegionFigures and the nearest entries of
// distinct shapes; nothing is formatted here but through the records.
//   RecognizeScene, NearestShapes, RecognitionRecord, RunnerRecords, WithRunnerColumns,
//   TSceneRows::Region and Row, RecognitionRows, StreamRecognitionRows,
//   StreamNearestIndices, KeepNearestIndices, WriteRecognitionCsv
#include "app/RecognitionRows.h"

#include <limits>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "analysis/Nearest.h"

namespace ormax {

void RecognizeScene(TAppState& state, const TCodeBase& base) {
  state.SharedBase = &base;
  state.AdmissibleError = base.AdmissibleError;
  state.MaxTreeLevel = base.MaxLevel;
  state.BuildSceneCodes();
  state.BuildSceneNearestIndices();
}

std::vector<TShapeMatch> NearestShapes(const TAppState& state, int32_t index, int32_t top) {
  return NearestShapes(state.Base(), state.SceneCodes.GetCode(index), top);
}

std::vector<TShapeMatch> NearestShapes(const TCodeBase& base, const TCode& code, int32_t top) {
  std::vector<TShapeMatch> matches;
  for (const TNearestShape& n : FindNearestShapes(base, code, top)) {
    const std::string& entry = base.Names(n.Index);
    matches.push_back(TShapeMatch{n.Index, entry, ShapeOfEntry(entry), n.Distance,
                                  Sameness(n.Distance)});
  }
  return matches;
}

TRecord RecognitionRecord(const std::string& scene, const TRegionFigures& f, bool known) {
  return RegionRecord(scene, f, 18)  // its eighteen fields at once
      .Add("center_x", static_cast<long long>(f.Centre.X))
      .Add("center_y", static_cast<long long>(f.Centre.Y))
      .Add("axis_a", f.AxisA)
      .Add("axis_b", f.AxisB)
      .Add("angle", f.AngleDegrees)
      .Add("entry", f.EntryName)
      .Add("shape", f.Shape)
      .Add("turn", f.Turn)
      .Add("distance", f.Distance)
      .Add("sameness", f.Sameness)
      .Add("label", known ? f.Shape : std::string("unknown"));
}

std::vector<TRecord> RunnerRecords(const std::vector<TShapeMatch>& matches) {
  std::vector<TRecord> runners;
  for (size_t k = 1; k < matches.size(); ++k)
    runners.push_back(TRecord()
                          .Add("shape", matches[k].Shape)
                          .Add("entry", matches[k].EntryName)
                          .Add("distance", matches[k].Distance)
                          .Add("sameness", matches[k].Sameness));
  return runners;
}

TRecord WithRunnerColumns(TRecord row, const std::vector<TRecord>& runners, int32_t top) {
  for (int32_t k = 2; k <= top; ++k) {
    const size_t at = static_cast<size_t>(k - 2);
    for (const char* field : {"shape", "entry", "distance", "sameness"}) {
      TValue value = std::string();
      if (at < runners.size())
        for (const auto& [name, v] : runners[at].Fields)
          if (name == field) value = v;
      row.Add("top" + std::to_string(k) + "_" + field, value);
    }
  }
  return row;
}

namespace {

// The figures a row keeps of f.
TRowFigures RowFigures(const TRegionFigures& f, double runnerUp) {
  return TRowFigures{f.Index,  f.Recognized ? f.Entry : -1, f.Bounds, f.Pixels,
                     f.Centre, f.AxisA, f.AxisB, f.AngleDegrees, f.Distance, runnerUp};
}

}  // namespace

TRegionFigures TSceneRows::Region(size_t k) const {
  const TRowFigures& kept = Figures.at(k);
  TRegionFigures f;
  f.Index = kept.Index;
  f.Bounds = kept.Bounds;
  f.Pixels = kept.Pixels;
  f.Centre = kept.Centre;
  f.AxisA = kept.AxisA;
  f.AxisB = kept.AxisB;
  f.AngleDegrees = kept.AngleDegrees;
  if (kept.Entry >= 0 && Base) AddNearest(f, *Base, kept.Entry, kept.Distance, kept.RunnerUp);
  return f;
}

TRecord TSceneRows::Row(size_t k) const {
  const TRegionFigures f = Region(k);
  return RecognitionRecord(Scene, f, KeepsLabel(Labels, f));
}

std::vector<TRecord> TSceneRows::Runners(size_t k) const {
  return k < Matches.size() ? RunnerRecords(Matches[k]) : std::vector<TRecord>();
}

TSceneRows RecognitionRows(const TAppState& state, const std::string& scene,
                           const std::optional<TLabelRule>& labels, int32_t top) {
  TSceneRows result;
  result.Scene = scene;
  result.Labels = labels;
  result.Base = &state.Base();
  const int32_t count = state.SceneCodes.Count();
  result.Figures.reserve(static_cast<size_t>(count));
  for (int32_t r = 0; r < count; ++r) {
    const TRegionFigures f = RegionFigures(state, r);
    const auto slot = static_cast<size_t>(r);
    result.Figures.push_back(RowFigures(f, slot < state.RunnerUpMeasures.size()
                                               ? state.RunnerUpMeasures[slot]
                                               : std::numeric_limits<double>::infinity()));
    ++result.Regions;
    (KeepsLabel(labels, f) ? result.Known : result.Unknown)++;
  }
  if (top > 1) {
    result.Matches.resize(static_cast<size_t>(count));
    ForEachDistinctCode(
        state.SceneCodes, state.Threads,
        [&](int32_t r) { result.Matches[static_cast<size_t>(r)] = NearestShapes(state, r, top); },
        [&](int32_t r, int32_t first) {
          result.Matches[static_cast<size_t>(r)] = result.Matches[static_cast<size_t>(first)];
        });
  }
  return result;
}

namespace {

// What a region's row needs of the base: its nearest entry, the nearest of another
// shape, and the runners-up when asked for.
struct TRowAnswer {
  int32_t Entry = 0;
  double Distance = 0;
  double RunnerUp = std::numeric_limits<double>::infinity();
  std::vector<TShapeMatch> Matches;
};

TRowAnswer AnswerFor(const TCodeBase& base, const TCode& code, int32_t top) {
  TRowAnswer a;
  // The nearest of the two nearest shapes is FindNearest's entry, to the bit.
  const std::vector<TNearestShape> two = FindNearestShapes(base, code, 2);
  a.Entry = two[0].Index;
  a.Distance = two[0].Distance;
  if (two.size() > 1) a.RunnerUp = two[1].Distance;
  if (top > 1) a.Matches = NearestShapes(base, code, top);
  return a;
}

// Answers already found, by code: a scene of noise holds thousands of specks of a few
// codes. Only codes of few items are kept, those that repeat; the answer is the same
// whether found again or not.
class TAnswerMemo {
 public:
  static constexpr size_t MaxItems = 4;

  template <class TFind>
  TRowAnswer Find(const TCode& code, TFind find) {
    if (code.Items.size() > MaxItems) return find();
    const TByteArray bytes = code.SaveToBytes();
    std::string key(bytes.begin(), bytes.end());
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (const auto it = known_.find(key); it != known_.end()) return it->second;
    }
    TRowAnswer a = find();
    const std::lock_guard<std::mutex> lock(mutex_);
    known_.emplace(std::move(key), a);
    return a;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, TRowAnswer> known_;
};

// Segments the state's scene, then lets its picture go: the regions hold all that is
// needed of it. Returns the number of regions.
size_t SegmentForTheBase(TAppState& state) {
  if (state.Base().Empty()) throw std::logic_error("The base holds no code to compare with");
  state.SegmentScene();
  state.SceneImage.reset();
  state.SceneIndices.reset();
  return static_cast<size_t>(state.Segments.Count());
}

// Hands each region's results and its answer from the base to sink(r, made, answer),
// on the worker threads; no tree or code is kept.
template <class TSink>
void StreamAnswers(TAppState& state, const TCodeBase& base, int32_t top, TSink sink) {
  TAnswerMemo memo;
  state.StreamRegionResults([&](int32_t r, TRegionResults& made) {
    TRowAnswer a = memo.Find(*made.Code, [&] { return AnswerFor(base, *made.Code, top); });
    sink(r, made, a);
  });
}

}  // namespace

TSceneRows StreamRecognitionRows(TAppState& state, const TCodeBase& base,
                                 const std::string& scene,
                                 const std::optional<TLabelRule>& labels, int32_t top) {
  TSceneRows result;
  result.Scene = scene;
  result.Labels = labels;
  result.Base = &base;
  state.SharedBase = &base;
  state.AdmissibleError = base.AdmissibleError;
  state.MaxTreeLevel = base.MaxLevel;
  const size_t count = SegmentForTheBase(state);
  result.Figures.resize(count);
  std::vector<char> known(count);
  if (top > 1) result.Matches.resize(count);
  StreamAnswers(state, base, top, [&](int32_t r, TRegionResults& made, TRowAnswer& a) {
    const auto slot = static_cast<size_t>(r);
    TRegionFigures f =
        RegionFigures(r, state.Segments.Items(r), made.Pixels, *made.Tree, *made.Code);
    AddNearest(f, base, a.Entry, a.Distance, a.RunnerUp);
    known[slot] = KeepsLabel(labels, f);
    result.Figures[slot] = RowFigures(f, a.RunnerUp);
    if (top > 1) result.Matches[slot] = std::move(a.Matches);
  });
  result.Regions = static_cast<long long>(count);
  for (const char k : known) (k ? result.Known : result.Unknown)++;
  return result;
}

void StreamNearestIndices(TAppState& state) {
  const TCodeBase& base = state.Base();
  const size_t count = SegmentForTheBase(state);
  // Only a choice of labels reads the runners-up: a quarter of a million specks need
  // not carry them.
  const bool runnersUp = state.Labels.has_value();
  state.NearestIndices.assign(count, 0);
  state.NearestMeasures.assign(count, 0.0);
  state.RunnerUpMeasures.assign(runnersUp ? count : 0, std::numeric_limits<double>::infinity());
  StreamAnswers(state, base, 1, [&](int32_t r, TRegionResults&, const TRowAnswer& a) {
    const auto slot = static_cast<size_t>(r);
    state.NearestIndices[slot] = a.Entry;
    state.NearestMeasures[slot] = a.Distance;
    if (runnersUp) state.RunnerUpMeasures[slot] = a.RunnerUp;
  });
}

void KeepNearestIndices(const TSceneRows& rows, TAppState& state) {
  state.NearestIndices.clear();
  state.NearestMeasures.clear();
  state.RunnerUpMeasures.clear();
  for (const TRowFigures& f : rows.Figures) {
    state.NearestIndices.push_back(f.Entry);
    state.NearestMeasures.push_back(f.Distance);
    state.RunnerUpMeasures.push_back(f.RunnerUp);
  }
}

void WriteRecognitionCsv(std::ostream& out, const std::vector<const TSceneRows*>& scenes,
                         int32_t top, bool header, int32_t threads) {
  std::vector<size_t> counts;
  size_t total = 0;
  for (const TSceneRows* r : scenes) total += counts.emplace_back(r->Count());
  WriteCsv(out, total, ConcatenatedRows(counts, [&](size_t i, size_t row) {
    const TSceneRows& r = *scenes[i];
    return top > 1 ? WithRunnerColumns(r.Row(row), r.Runners(row), top) : r.Row(row);
  }), header, threads);
}

void WriteRecognitionCsv(std::ostream& out, const TSceneRows& scene, int32_t top, bool header) {
  WriteRecognitionCsv(out, std::vector<const TSceneRows*>{&scene}, top, header);
}

}  // namespace ormax
