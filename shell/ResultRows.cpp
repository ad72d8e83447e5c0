// ResultRows: the rows of the Results table and their CSV (see ResultRows.h).
//   RecognitionRows, ResultsCsv, ShortestDouble
// The figures are computed as the command line computes them (the angle and the
// sameness in long double, then rounded), so the exported file matches its output.
#include "shell/ResultRows.h"

#include <charconv>
#include <cmath>

namespace ormax {

std::string ShortestDouble(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

// TODO(merge): use the application layer's recognition rows
TResultTable RecognitionRows(const TAppState& state) {
  TResultTable table;
  table.Columns = {"scene",    "region", "left",  "top",   "right", "bottom",
                   "pixels",   "center_x", "center_y", "axis_a", "axis_b", "angle",
                   "entry",    "shape",  "turn",  "distance", "sameness", "label"};
  const bool recognised = state.NearestIndices.size() == static_cast<size_t>(state.Segments.Count());
  for (int32_t r = 0; r < state.Segments.Count(); ++r) {
    const TPattern& region = state.Segments.Items(r);
    long long pixels = 0;
    for (int32_t x = region.Left; x <= region.Right; ++x)
      for (int32_t y = region.Top; y <= region.Bottom; ++y) pixels += region.IsInside(x, y);
    const TPoint centre = region.Center();
    std::vector<TResultCell> row;
    row.reserve(table.Columns.size());
    row.emplace_back(state.SceneFileName);
    for (const long long v : {static_cast<long long>(r), static_cast<long long>(region.Left),
                              static_cast<long long>(region.Top), static_cast<long long>(region.Right),
                              static_cast<long long>(region.Bottom), pixels,
                              static_cast<long long>(centre.X), static_cast<long long>(centre.Y)})
      row.emplace_back(v);
    if (r < state.Trees.Count() && !state.Trees.Items(r).Data.empty()) {
      const TEllipse root = TEllipse::CreateFromBytes(state.Trees.Items(r).Data);
      row.push_back(static_cast<double>(root.Axes[0]));
      row.push_back(static_cast<double>(root.Axes[1]));
      row.push_back(static_cast<double>(std::atan2(root.Rotation[1][0], root.Rotation[0][0]) * 180 /
                                        3.14159265358979323846L));
    } else {
      row.resize(row.size() + 3);
    }
    if (recognised) {
      const int32_t nearest = state.NearestIndices[static_cast<size_t>(r)];
      const double distance = state.NearestMeasures[static_cast<size_t>(r)];
      const std::string entry = state.CodeBase.Names(nearest);
      const size_t at = entry.find('@');
      const double sameness = static_cast<double>((1.0L - distance) * 100);
      // The desktop program has no threshold: every region is known (as --min-sameness 0).
      const bool known = sameness >= 0;
      row.push_back(entry);
      row.push_back(entry.substr(0, at));
      row.push_back(at == std::string::npos ? std::string() : entry.substr(at + 1));
      row.push_back(distance);
      row.push_back(sameness);
      row.push_back(known ? entry.substr(0, at) : std::string("unknown"));
    } else {
      row.resize(table.Columns.size());
    }
    table.Rows.push_back(std::move(row));
  }
  return table;
}

namespace {

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

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
  for (size_t c = 0; c < table.Columns.size(); ++c) out += (c ? "," : "") + CsvField(table.Columns[c]);
  out += "\n";
  for (const auto& row : table.Rows) {
    for (size_t c = 0; c < row.size(); ++c) out += (c ? "," : "") + CsvField(CellText(row[c]));
    out += "\n";
  }
  return out;
}

}  // namespace ormax
