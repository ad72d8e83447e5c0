// RecognitionRows: the rows are built from RegionFigures and the nearest entries of
// distinct shapes; nothing is formatted here but through the records.
//   RecognizeScene, NearestShapes, RecognitionRecord, RunnerRecords, WithRunnerColumns,
//   RecognitionRows, WriteRecognitionCsv
#include "app/RecognitionRows.h"

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
  const TCodeBase& base = state.Base();
  std::vector<TShapeMatch> matches;
  for (const TNearestShape& n : FindNearestShapes(base, state.SceneCodes.GetCode(index), top)) {
    const std::string& entry = base.Names(n.Index);
    matches.push_back(TShapeMatch{n.Index, entry, ShapeOfEntry(entry), n.Distance,
                                  Sameness(n.Distance)});
  }
  return matches;
}

TRecord RecognitionRecord(const std::string& scene, const TRegionFigures& f, bool known) {
  return RegionRecord(scene, f)
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

TRecord TSceneRows::Row(size_t k) const {
  const TRegionFigures& f = Figures.at(k);
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
  const int32_t count = state.SceneCodes.Count();
  result.Figures.reserve(static_cast<size_t>(count));
  for (int32_t r = 0; r < count; ++r) {
    result.Figures.push_back(RegionFigures(state, r));
    ++result.Regions;
    const TRegionFigures& f = result.Figures.back();
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

void WriteRecognitionCsv(std::ostream& out, const std::vector<TSceneRows>& scenes, int32_t top,
                         bool header) {
  std::vector<size_t> counts;
  size_t total = 0;
  for (const TSceneRows& r : scenes) total += counts.emplace_back(r.Count());
  WriteCsv(out, total, ConcatenatedRows(counts, [&](size_t i, size_t row) {
    const TSceneRows& r = scenes[i];
    return top > 1 ? WithRunnerColumns(r.Row(row), r.Runners(row), top) : r.Row(row);
  }), header);
}

}  // namespace ormax
