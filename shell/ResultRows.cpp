// ResultRows: the rows of the Results table and their CSV (see ResultRows.h).
//   RecognitionRows, ResultsCsv
// The figures are the application layer's RegionFigures, the command line's own, so
// the exported file matches its output.
#include "shell/ResultRows.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "app/Results.h"
#include "app/TextFields.h"

namespace ormax {

// The figures are the application layer's, the same as the command line prints.
TResultTable RecognitionRows(const TAppState& state) {
  TResultTable table;
  table.Columns = {"scene",  "region",   "left",     "top",      "right",    "bottom",
                   "pixels", "center_x", "center_y", "axis_a",   "axis_b",   "angle",
                   "entry",  "shape",    "turn",     "distance", "sameness", "label"};
  const int32_t count = std::min(state.Segments.Count(), state.SceneCodes.Count());
  for (int32_t r = 0; r < count; ++r) {
    const TRegionFigures f = RegionFigures(state, r);
    std::vector<TResultCell> row;
    row.reserve(table.Columns.size());
    row.emplace_back(state.SceneFileName);
    for (const long long v :
         {static_cast<long long>(f.Index), static_cast<long long>(f.Bounds.Left),
          static_cast<long long>(f.Bounds.Top), static_cast<long long>(f.Bounds.Right),
          static_cast<long long>(f.Bounds.Bottom), static_cast<long long>(f.Pixels),
          static_cast<long long>(f.Centre.X), static_cast<long long>(f.Centre.Y)})
      row.emplace_back(v);
    row.emplace_back(f.AxisA);
    row.emplace_back(f.AxisB);
    row.emplace_back(f.AngleDegrees);
    if (f.Recognised) {
      // Labelled as the picture is, under the state's Labels.
      row.emplace_back(f.EntryName);
      row.emplace_back(f.Shape);
      row.emplace_back(f.Turn);
      row.emplace_back(f.Distance);
      row.emplace_back(f.Sameness);
      row.emplace_back(KeepsLabel(state.Labels, f) ? f.Shape : std::string("unknown"));
    } else {
      row.resize(table.Columns.size());
    }
    table.Rows.push_back(std::move(row));
  }
  return table;
}

namespace {

std::string CellText(const TResultCell& cell) {
  if (const auto* s = std::get_if<std::string>(&cell)) return *s;
  if (const auto* i = std::get_if<long long>(&cell)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&cell)) return ShortestDouble(*d);
  return "";
}

}  // namespace

std::string ResultsCsv(const TResultTable& table) {
  std::string out;
  if (table.Rows.empty()) return out;
  for (size_t c = 0; c < table.Columns.size(); ++c)
    out += (c ? "," : "") + CsvField(table.Columns[c]);
  out += "\n";
  for (const auto& row : table.Rows) {
    for (size_t c = 0; c < row.size(); ++c) out += (c ? "," : "") + CsvField(CellText(row[c]));
    out += "\n";
  }
  return out;
}

}  // namespace ormax
