// Methods: the analysis, as free routines that fill objects handed to them.
//   BuildQuadTree       a raster into a quadtree of single-colour rectangles
//   SegmentPattern      a scene into its 8-connected regions, in first-cell order
//   FitEllipse, EllipseError          the moment-fitted ellipse of a region
//   BuildRepresentation, NormaliseTree, TreeToCode, DrawRepresentation
//   CompareEllipses, CodeDistance, FindNearest          recognition
// Edge cases: a non-uniform cell one pixel wide gets four children, the quadrants
// without pixels staying empty nodes; a region must hold an inside pixel to be
// fitted; splitting stops at level 30 (positions of a deeper node would not fit in a
// code file) and where a half would be empty; ellipses that no grid point reaches
// compare as 1 (nothing in common).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "codes/Codes.h"
#include "model/Patterns.h"
#include "model/Trees.h"

namespace ormax {

// ---- quadtree ----

// Fills node (created empty by the caller) with the quadtree of image: a uniform
// cell is a leaf holding its TRectangle bytes; any other cell has four children,
// top-left, top-right, bottom-left, bottom-right, split at the cell's Center.
void BuildQuadTree(const TImg& image, TTree& node);

// ---- segmentation ----

// How independent parts of a routine are run: parts(count, part) runs part(0) ..
// part(count - 1), one after the other or at the same time, and returns when all are done.
using TRunParts =
    std::function<void(int32_t count, const std::function<void(int32_t)>& part)>;

// Appends one trimmed TPattern per region of scene (non-background pixels, 8-connected)
// to list, in the order of each region's first quadtree cell. With parts, bands of rows
// are labelled and copied at once; the regions are the same.
void SegmentPattern(const TPattern& scene, TPatternList& list, const TRunParts& parts = {});

// ---- ellipses ----

// The ellipse of the region's moments. The region must hold an inside pixel
// (std::invalid_argument otherwise).
void FitEllipse(const TPattern& region, TEllipse& ellipse);
// 1 - common / covered over the region's bounds, rounded to double.
double EllipseError(const TPattern& region, const TEllipse& ellipse);

// ---- representation trees and codes ----

// Deepest level a representation tree reaches, whatever maxTreeLevel says: a node
// at level 31 would have a position beyond what a code file can hold.
inline constexpr int32_t MaxRepresentationLevel = 30;

// How the two halves of a split are built: both(pixels, first, second) runs first() and
// second(), one after the other or at the same time; pixels is the size of the two
// halves' boxes, for deciding whether another thread is worth it.
using TRunBoth = std::function<void(int64_t pixels, const std::function<void()>& first,
                                    const std::function<void()>& second)>;

// fitted, when given, receives the region's own ellipse (the root's, before its
// bytes round it to doubles): NormaliseTree needs it again. Without both, the halves
// are built one after the other; the tree is the same either way.
void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level, TEllipse* fitted = nullptr,
                         const TRunBoth& both = {});
void NormaliseTree(const TPattern& region, TTree& tree);
// The same with the region's ellipse already fitted (FitEllipse of the region).
void NormaliseTree(const TEllipse& whole, TTree& tree);
int CompareItemsByIndex(const TCodeItem& a, const TCodeItem& b);
// Replaces code's items and Arity; a lone leaf gets Arity 2. Throws std::length_error
// for a tree whose positions would not fit in 32 bits.
void TreeToCode(const TTree& tree, TCode& code);
// The pixels of e.Fill(canvas), set in the same order, found a column at a time by the
// point tests of a grid.
void FillEllipse(const TEllipse& e, ICanvas& canvas);
void DrawRepresentation(const TTree& node, ICanvas& canvas, bool fill, int32_t level,
                        int32_t maxViewLevel);

// ---- comparison and recognition ----

double CompareEllipses(const TEllipse& e1, const TEllipse& e2);
double CodeDistance(const TCode& sceneCode, const TCode& baseCode);
// CodeDistance, summed only until the sum passes `bound`: then a value above bound (the
// sum so far) comes back at once. Every share of the sum is at least 0, so a distance
// that comes back at or below bound is CodeDistance's to the bit.
double CodeDistanceUpTo(const TCode& sceneCode, const TCode& baseCode, double bound);

using TCodeDistance = std::function<double(const TCode&, const TCode&)>;

// Position of the base code nearest to code (the first on ties); the base must hold
// a code (std::invalid_argument otherwise).
int32_t FindNearest(const TCodeBase& base, const TCode& code, const TCodeDistance& distance,
                    double& bestDistance);

}  // namespace ormax
