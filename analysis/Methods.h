// Methods: the analysis, as free routines that fill objects handed to them, each step
// in a source of its own:
//   TRunParts, TRunBoth                how independent parts are run: in turn or at
//                                      once, the results the same either way
//   SegmentPattern, SegmentIndexed     a scene (or its 8-bit indices) into its
//                                      8-connected regions, in first-cell order
//                                      (Segmentation.cpp)
//   FitEllipse, EllipseError           the moment-fitted ellipse of a region (and the
//                                      count of its pixels) and how well it covers the
//                                      region (EllipseFitting.cpp)
//   BuildRepresentation, TFitted       the tree of ellipses fitted to ever smaller
//                                      halves of a region (EllipseFitting.cpp), never
//                                      deeper than MaxRepresentationLevel, and what the
//                                      root's fit found
//   NormaliseTree, CompareItemsByIndex, TreeToCode, FillEllipse, DrawRepresentation
//                                      a tree normalised, listed as a code, drawn
//                                      (RepresentationTrees.cpp)
//   CompareEllipses, CodeDistance, CodeDistanceUpTo
//                                      the measures of recognition (CodeComparison.cpp);
//                                      TCodeDistance, a distance a search takes;
//                                      the nearest base entries are analysis/Nearest's
// Edge cases: a region must hold an inside pixel to be fitted; splitting stops at
// level 30 (positions of a deeper node would not fit in a code file) and where a half
// would be empty; ellipses that no grid point reaches compare as 1 (nothing in common).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "codes/Codes.h"
#include "model/IndexedScene.h"
#include "model/Patterns.h"
#include "model/Trees.h"

namespace ormax {

// ---- segmentation ----

// How independent parts of a routine are run: parts(count, part) runs part(0) ..
// part(count - 1), one after the other or at the same time, and returns when all are done.
using TRunParts =
    std::function<void(int32_t count, const std::function<void(int32_t)>& part)>;

// Appends one trimmed TPattern per region of scene (non-background pixels, 8-connected)
// to list, in the order of each region's first quadtree cell. With parts, bands of rows
// are labelled and copied at once; the regions are the same. pixels, when given,
// receives each appended region's count of inside pixels, in the same order, after
// what it holds; it is left as it was when segmenting throws.
void SegmentPattern(const TPattern& scene, TPatternList& list, const TRunParts& parts = {},
                    std::vector<int64_t>* pixels = nullptr);
// The regions SegmentPattern gives for the scene pattern of the same pixels (each
// index's colour), to the bit, read from the indices.
void SegmentIndexed(const TIndexedScene& scene, TPatternList& list, const TRunParts& parts = {},
                    std::vector<int64_t>* pixels = nullptr);

// ---- ellipses ----

// The ellipse of the region's moments. The region must hold an inside pixel
// (std::invalid_argument otherwise). pixels, when given, receives the number of its
// inside pixels, which the moments count anyway.
void FitEllipse(const TPattern& region, TEllipse& ellipse, int64_t* pixels = nullptr);
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

// What fitting the root found besides the tree: the region's own ellipse (before its
// bytes round it to doubles), which NormaliseTree needs again, and the number of its
// inside pixels.
struct TFitted {
  TEllipse Ellipse;
  int64_t Pixels = 0;
};

// fitted, when given, receives the root's TFitted. Without both, the halves are built
// one after the other; the tree is the same either way.
void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level, TFitted* fitted = nullptr,
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

// ---- comparison ----

// How unlike two ellipses are, from 0 (they cover the same points) to 1 (no point in
// common): of the points of a 26 x 26 grid laid over both (each taken as the square of
// its centre +- the norm of its semi-axes), those inside just one of the two ellipses,
// as a share of those inside either.
double CompareEllipses(const TEllipse& e1, const TEllipse& e2);
// How far a scene's code lies from a base code: the sum, over the positions both codes
// hold where at least one of the two nodes is a leaf, of 2^-level x (1 - the likeness
// of their ellipses, 1 - CompareEllipses, halved for every level the other tree goes
// deeper than that leaf). Positions of one code only, and inner nodes in both, add
// nothing; the levels are those of the scene's code.
double CodeDistance(const TCode& sceneCode, const TCode& baseCode);
// CodeDistance, summed only until the sum passes `bound`: then a value above bound (the
// sum so far) comes back at once. Every share of the sum is at least 0, so a distance
// that comes back at or below bound is CodeDistance's to the bit.
double CodeDistanceUpTo(const TCode& sceneCode, const TCode& baseCode, double bound);

// A distance between a scene's code and a base code, for the searches that take one.
using TCodeDistance = std::function<double(const TCode&, const TCode&)>;

}  // namespace ormax
