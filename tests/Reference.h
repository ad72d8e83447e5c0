// Reference: the analysis routines written the plain way, one step after another,
// kept as the yardstick for the fast routines of analysis/Methods. Every routine
// here must give the same bytes and doubles as its counterpart there; the
// differential tests (FastPathsTest.cpp) check that on generated scenes.
//   ToLocal, Contains            invert the rotation on every call
//   BuildQuadTree                copies each quadrant's pixels into an image of its own
//   RectanglesAdjacent, AddInteger, AddIntegers, DeleteGroup, GroupCells,
//   SegmentPattern               quadratic grouping; each region painted into a
//                                scene-sized pattern and then trimmed
//   FitEllipse, EllipseError, BuildRepresentation, NormaliseTree, TreeToCode
//   CompareEllipses, CodeDistance, FindNearest
//   BuildSceneCodes              the whole pipeline for one scene
//   DrawOutline                  each point from its angle, rounded the plain way
#pragma once

#include <cstdint>
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

double CompareEllipses(const TEllipse& e1, const TEllipse& e2);
double CodeDistance(const TCode& sceneCode, const TCode& baseCode);
int32_t FindNearest(const std::vector<const TCode*>& base, const TCode& code,
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
