// Methods: the analysis, as free routines that fill objects handed to them.
//   BuildQuadTree  a raster into a quadtree of single-colour rectangles
// A non-uniform cell one pixel wide (or high) still gets four children; the quadrants
// without pixels stay empty nodes (no data, no children), which every reader of the
// quadtree passes over.
#pragma once

#include "model/Patterns.h"
#include "model/Trees.h"

namespace ormax {

// Fills node (created empty by the caller) with the quadtree of image: a uniform
// cell is a leaf holding its TRectangle bytes; any other cell has four children,
// top-left, top-right, bottom-left, bottom-right, split at the cell's Center.
void BuildQuadTree(const TImg& image, TTree& node);

}  // namespace ormax
