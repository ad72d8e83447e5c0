// Results: the one place for the figures of a region of an analysed scene, the same for
// every front end (the command line's rows, the Python module, the desktop program's
// inspector and results table), and the row they begin.
//   RegionFigures(state, i)  a TRegionFigures: bounds, pixels, centre, root ellipse, tree
//                            depth and items, and after recognition the nearest entry,
//                            distance, sameness
//   RegionFigures(index, region, pixels, tree, code)  the same, recognition aside, with
//                            the pixel count the region's fit made
//   AddNearest               the recognition figures added: nearest entry and runner-up
//   Sameness(distance)       (1 - distance) x 100, in percent
//   KeepsLabel, RegionLabel  whether a recognised region is labelled with its nearest
//                            shape under the state's Labels, and the label itself
//   RegionRecord             scene, region index, bounds and pixel count: how every
//                            region's row starts
// The state must hold the scene codes (BuildSceneCodes); the recognition figures are
// filled only when it holds the recognition results too.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "app/AppState.h"
#include "app/Records.h"

namespace ormax {

struct TRegionFigures {
  int32_t Index = 0;
  TRect Bounds{};
  int64_t Pixels = 0;  // inside pixels of the region
  TPoint Centre{};
  double AxisA = 0;  // the root ellipse's semi-axes, a >= b
  double AxisB = 0;
  // The angle of the root ellipse's first axis in degrees, from the x axis towards y
  // (which grows downwards: clockwise on screen).
  double AngleDegrees = 0;
  int32_t Depth = 0;  // of the region's code
  int64_t Items = 0;
  bool Recognized = false;
  int32_t Entry = -1;     // position of the nearest base entry
  std::string EntryName;  // its name, "shape@turn"
  std::string Shape;      // the name before '@'
  std::string Turn;       // the name after '@', empty for a plain entry
  double Distance = 0;
  double Sameness = 0;
  // The sameness of the nearest entry of another shape; -infinity when the base holds
  // no other shape.
  double RunnerUpSameness = -std::numeric_limits<double>::infinity();
};

double Sameness(double distance);

TRegionFigures RegionFigures(const TAppState& state, int32_t index);
// Adds to f its nearest entry of the base at the distance, and the distance of the
// nearest entry of another shape (infinity where the base holds no other shape).
void AddNearest(TRegionFigures& f, const TCodeBase& base, int32_t entry, double distance,
                double runnerUp);
// The same figures, recognition aside, from one region's own results (as
// StreamRegionResults hands them out: made.Pixels is the pixels' count).
TRegionFigures RegionFigures(int32_t index, const TPattern& region, int64_t pixels,
                             const TTree& tree, const TCode& code);

// Whether the nearest shape of recognised figures is their label under `labels` (none:
// every recognised region is labelled).
bool KeepsLabel(const std::optional<TLabelRule>& labels, const TRegionFigures& f);

// The label of recognised region index: its nearest entry's shape, or "unknown" where
// the state's Labels withhold it. Reads only what the choice needs.
std::string RegionLabel(const TAppState& state, int32_t index);

// The first columns of every region's row: scene, region, left, top, right, bottom, pixels;
// with room for `room` fields in all, for the columns a caller adds.
TRecord RegionRecord(const std::string& scene, const TRegionFigures& figures, size_t room = 14);

}  // namespace ormax
