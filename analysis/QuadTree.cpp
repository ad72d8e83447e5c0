// QuadTree: each cell is tested and, unless uniform, split at its Center, appending
// its bit in the order the leaves are visited.
//   IsUniformCell, TQuadTree::Build, Clear, Quadrants
#include "analysis/QuadTree.h"

#include "numerics/Rounding.h"

namespace ormax {

void TQuadTree::Quadrants(const TRect& cell, TRect (&quadrants)[4]) {
  const int32_t width = cell.Right - cell.Left + 1, height = cell.Bottom - cell.Top + 1;
  const auto cx = static_cast<int32_t>(cell.Left + DivTrunc(width - 1, 2));
  const auto cy = static_cast<int32_t>(cell.Top + DivTrunc(height - 1, 2));
  quadrants[0] = {cell.Left, cell.Top, cx, cy};
  quadrants[1] = {cx + 1, cell.Top, cell.Right, cy};
  quadrants[2] = {cell.Left, cy + 1, cx, cell.Bottom};
  quadrants[3] = {cx + 1, cy + 1, cell.Right, cell.Bottom};
}

void TQuadTree::Clear() {
  split_.clear();
  split_.shrink_to_fit();
  cells_ = leaves_ = 0;
  bounds_ = {};
}

void TQuadTree::Build(const TImg& image) {
  Clear();
  bounds_ = image.GetBounds();
  BuildCell(image, bounds_);
}

bool IsUniformCell(const TImg& image, const TRect& cell) {
  const int32_t width = cell.Right - cell.Left + 1;
  const TColor reference = image.GetPixel(cell.Left, cell.Top);
  // Row by row, the way the pixels lie in memory; whether the cell is uniform does
  // not depend on the order of the scan.
  for (int32_t y = cell.Top; y <= cell.Bottom; ++y) {
    const TColor* row = &image.Pixels[y - image.Top][cell.Left - image.Left];
    for (int32_t k = 0; k < width; ++k)
      if (row[k] != reference) return false;
  }
  return true;
}

void TQuadTree::BuildCell(const TImg& image, const TRect& cell) {
  if (cell.Right < cell.Left || cell.Bottom < cell.Top) return;  // an empty quadrant: no bit
  const bool uniform = IsUniformCell(image, cell);
  const int64_t index = cells_++;
  if (static_cast<size_t>(index >> 6) >= split_.size()) split_.push_back(0);
  if (uniform) {
    ++leaves_;
    return;
  }
  split_[static_cast<size_t>(index >> 6)] |= uint64_t{1} << (index & 63);
  TRect quadrants[4];
  Quadrants(cell, quadrants);
  for (const TRect& q : quadrants) BuildCell(image, q);
}

}  // namespace ormax
