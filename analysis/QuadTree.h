// QuadTree: the quadtree of a scene in compact form, one bit per cell: whether the
// cell is split (into top-left, top-right, bottom-left, bottom-right at its Center) or
// a leaf of one colour. The leaves' rectangles follow from the splits and their colours
// from the scene, so a leaf costs a bit instead of a tree node.
//   IsUniformCell; TQuadTree::Build, Clear, Empty, Leaves, Cells, ForEachLeaf
// The leaves come depth first, the quadrants of a cell in the order above; a cell with
// no pixel (the empty quadrant of a one-pixel-wide cell) has no bit.
// ForEachLeaf needs the scene the tree was built from; on a scene of other bounds it
// visits nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "model/Patterns.h"

namespace ormax {

// Whether every pixel of the non-empty cell (within image) has the colour of its top-left
// pixel: a cell that is not is split.
bool IsUniformCell(const TImg& image, const TRect& cell);

class TQuadTree {
 public:
  void Build(const TImg& image);
  void Clear();
  bool Empty() const { return cells_ == 0; }
  int64_t Cells() const { return cells_; }
  int64_t Leaves() const { return leaves_; }
  const TRect& Bounds() const { return bounds_; }

  // visit(leaf) for every leaf in order, a TRectangle with the leaf's colour in image.
  template <typename TVisit>
  void ForEachLeaf(const TImg& image, TVisit&& visit) const {
    if (Empty() || !(image.GetBounds() == bounds_)) return;  // not the tree's scene
    int64_t next = 0;
    Visit(image, bounds_, next, visit);
  }

 private:
  bool Split(int64_t cell) const { return (split_[static_cast<size_t>(cell >> 6)] >> (cell & 63)) & 1; }
  void BuildCell(const TImg& image, const TRect& cell);

  template <typename TVisit>
  void Visit(const TImg& image, const TRect& cell, int64_t& next, TVisit& visit) const {
    if (cell.Right < cell.Left || cell.Bottom < cell.Top) return;  // no pixel: no bit
    if (!Split(next++)) {
      visit(TRectangle(cell, image.GetPixel(cell.Left, cell.Top)));
      return;
    }
    TRect quadrants[4];
    Quadrants(cell, quadrants);
    for (const TRect& q : quadrants) Visit(image, q, next, visit);
  }
  static void Quadrants(const TRect& cell, TRect (&quadrants)[4]);

  TRect bounds_{};
  std::vector<uint64_t> split_;
  int64_t cells_ = 0, leaves_ = 0;
};

}  // namespace ormax
