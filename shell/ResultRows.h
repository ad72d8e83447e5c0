// ResultRows: the per-region rows of the desktop program's Results table: the columns
// and figures of the command line's recognize (its RecognitionRecord), as cells.
//   TResultCell, TResultTable
//   ResultRows  the rows of a state (recognition columns empty before Recognize; the
//               label "unknown" where the state's Labels withhold it)
// File, Export Results writes the command line's own CSV (WriteRecognitionCsv), not
// these cells. A state without regions gives no rows.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "app/AppState.h"

namespace ormax {

// A cell: text, a whole number, a real number, or nothing (before Recognize).
using TResultCell = std::variant<std::monostate, std::string, long long, double>;

struct TResultTable {
  std::vector<std::string> Columns;
  std::vector<std::vector<TResultCell>> Rows;  // one per region, in region order
};

// Columns: scene, region, left, top, right, bottom, pixels, center_x, center_y, axis_a,
// axis_b, angle, entry, shape, turn, distance, sameness, label; `scene` is the scene's
// file name as the state holds it.
TResultTable ResultRows(const TAppState& state);

}  // namespace ormax
