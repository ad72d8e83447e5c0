// ResultRows: the cells are those of the command line's RecognitionRecord, made from the
// application layer's RegionFigures; before Recognize its recognition columns (entry
// onwards) stay empty.
//   ResultRows
#include "shell/ResultRows.h"

#include <algorithm>

#include "app/RecognitionRows.h"
#include "app/Results.h"

namespace ormax {

namespace {

// The first column that only recognition fills.
constexpr const char* FirstRecognitionColumn = "entry";

TResultCell Cell(const TValue& value) {
  return std::visit([](const auto& v) { return TResultCell(v); }, value);
}

}  // namespace

TResultTable ResultRows(const TAppState& state) {
  TResultTable table;
  for (const auto& field : RecognitionRecord({}, TRegionFigures{}, false).Fields)
    table.Columns.push_back(field.first);
  const int32_t count = std::min(state.Segments.Count(), state.SceneCodes.Count());
  for (int32_t r = 0; r < count; ++r) {
    const TRegionFigures f = RegionFigures(state, r);
    // Labelled as the picture is, under the state's Labels.
    const TRecord record = RecognitionRecord(state.SceneFileName, f, KeepsLabel(state.Labels, f));
    std::vector<TResultCell> row;
    row.reserve(record.Fields.size());
    for (const auto& [name, value] : record.Fields) {
      if (!f.Recognized && name == FirstRecognitionColumn) break;
      row.push_back(Cell(value));
    }
    row.resize(table.Columns.size());
    table.Rows.push_back(std::move(row));
  }
  return table;
}

}  // namespace ormax
