// Reference: the analysis routines written the plain way, one step after another,
// kept as the yardstick for the fast routines of analysis/ (Methods, QuadTree,
// Nearest). Every routine here must give the same bytes and doubles as its
// counterpart there; the differential tests (FastPathsTest.cpp, NearestTest.cpp,
// QuadTreeTest.cpp) check that on generated scenes and drawn shapes. The header does
// not include analysis/Methods.h: its routines of the same names would be found
// beside these.
//   ToLocal, Contains            invert the rotation on every call
//   BuildQuadTree                copies each quadrant's pixels into an image of its own;
//                                the tree of nodes that analysis/QuadTree keeps compact
//   RectanglesAdjacent, AddInteger, AddIntegers, DeleteGroup, GroupCells,
//   SegmentPattern               quadratic grouping; each region painted into a
//                                scene-sized pattern and then trimmed
//   FitEllipse, EllipseError, BuildRepresentation, NormaliseTree, TreeToCode
//   ComparisonBox, CompareEllipses, CodeDistance
//   FindNearest                  every entry compared in full, by any distance
//   BuildSceneCodes              the whole pipeline for one scene
//   DrawOutline                  each point from its angle, rounded the plain way
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "codes/Codes.h"
#include "model/Patterns.h"
#include "model/Trees.h"

namespace ormax::reference {

TVector ToLocal(const TEllipse& e, TVector p);
bool Contains(const TEllipse& e, TVector p);
bool Contains(const TEllipse& e, double x, double y);

void BuildQuadTree(const TImg& image, TTree& node);

// The cells' groups, found the plain way: a new cell joins every group it touches,
// and those merge into the lowest-numbered one.
using TIntegerArray = std::vector<int32_t>;
using TIntegerList = std::vector<TIntegerArray>;
// Side by side or one above the other with no gap, touching along the common line or
// at a corner. Overlapping rectangles are not adjacent.
bool RectanglesAdjacent(const TRect& a, const TRect& b);
void AddInteger(TIntegerArray& group, int32_t value);
void AddIntegers(TIntegerArray& group, const TIntegerArray& more);
void DeleteGroup(TIntegerList& groups, int32_t position);
// Groups come in the order of their first cell; members in the order they joined.
TIntegerList GroupCells(const std::vector<TRect>& cells);
void SegmentPattern(const TPattern& scene, TPatternList& list);

void FitEllipse(const TPattern& region, TEllipse& ellipse);
double EllipseError(const TPattern& region, const TEllipse& ellipse);
void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level);
void NormaliseTree(const TPattern& region, TTree& tree);
void TreeToCode(const TTree& tree, TCode& code);

// The square a comparison of two ellipses scans: both centres give or take their axes'
// norms.
struct TComparisonBox {
  double XMin, YMin, XMax, YMax;
};
TComparisonBox ComparisonBox(const TEllipse& e1, const TEllipse& e2);
double CompareEllipses(const TEllipse& e1, const TEllipse& e2);
double CodeDistance(const TCode& sceneCode, const TCode& baseCode);
// Position of the base code nearest to code by distance (the first on ties), every
// entry compared in full; the base must hold a code (std::invalid_argument otherwise).
// The fast search is ormax::FindNearest, by CodeDistance.
int32_t FindNearest(const TCodeBase& base, const TCode& code,
                    const std::function<double(const TCode&, const TCode&)>& distance,
                    double& bestDistance);

// The canvas calls of TEllipse::DrawOutline: a move to the first point, then a line to
// each next one, each computed from its angle with the vector routines.
void DrawOutline(const TEllipse& e, ICanvas& canvas, int32_t steps);

// Regions, trees and codes of a scene, as the pipeline of a run builds them.
struct TSceneResult {
  TPatternList Segments;
  TTreeList Trees;
  TCodeList Codes;
};
void BuildSceneCodes(const TPattern& scene, int32_t maxTreeLevel, double admissibleError,
                     TSceneResult& result);

}  // namespace ormax::reference
