// Results: the figures are read from the state's lists at one index; nothing is
// computed again except the root ellipse's angle and, from the state's lists, the pixel
// count (one region's results carry the count its fit made).
//   Sameness, RegionFigures (from a state's lists or from one region's results),
//   AddNearest, KeepsLabel, RegionLabel, RegionRecord
#include "app/Results.h"

#include <cmath>
#include <limits>

#include "analysis/Nearest.h"

namespace ormax {

double Sameness(double distance) {
  return static_cast<double>((1 - Real(distance)) * 100);
}

TRegionFigures RegionFigures(int32_t index, const TPattern& region, int64_t pixels,
                             const TTree& tree, const TCode& code) {
  TRegionFigures f;
  const TEllipse root = TEllipse::CreateFromBytes(tree.Data);
  f.Index = index;
  f.Bounds = region.GetBounds();
  f.Pixels = pixels;
  f.Centre = region.Center();
  f.AxisA = static_cast<double>(root.Axes[0]);
  f.AxisB = static_cast<double>(root.Axes[1]);
  f.AngleDegrees =
      static_cast<double>(Atan2(root.Rotation[1][0], root.Rotation[0][0]) * 180 / Pi);
  f.Depth = code.Depth();
  f.Items = static_cast<int64_t>(code.Items.size());
  return f;
}

TRegionFigures RegionFigures(const TAppState& state, int32_t index) {
  const TPattern& region = state.Segments.Items(index);
  TRegionFigures f = RegionFigures(index, region, region.InsideCount(), state.Trees.Items(index),
                                   state.SceneCodes.GetCode(index));
  const auto slot = static_cast<size_t>(index);
  if (slot < state.NearestIndices.size() && slot < state.NearestMeasures.size())
    AddNearest(f, state.Base(), state.NearestIndices[slot], state.NearestMeasures[slot],
               slot < state.RunnerUpMeasures.size() ? state.RunnerUpMeasures[slot]
                                                    : std::numeric_limits<double>::infinity());
  return f;
}

void AddNearest(TRegionFigures& f, const TCodeBase& base, int32_t entry, double distance,
                double runnerUp) {
  f.Recognized = true;
  f.Entry = entry;
  f.EntryName = base.Names(f.Entry);
  f.Shape = ShapeOfEntry(f.EntryName);
  const size_t at = f.EntryName.find('@');
  f.Turn = at == std::string::npos ? std::string() : f.EntryName.substr(at + 1);
  f.Distance = distance;
  f.Sameness = Sameness(f.Distance);
  if (std::isfinite(runnerUp)) f.RunnerUpSameness = Sameness(runnerUp);
}

bool KeepsLabel(const std::optional<TLabelRule>& labels, const TRegionFigures& f) {
  return f.Recognized && (!labels || IsLabelled(*labels, f.Sameness, f.RunnerUpSameness, f.Pixels));
}

std::string RegionLabel(const TAppState& state, int32_t index) {
  const auto slot = static_cast<size_t>(index);
  const std::string shape = ShapeOfEntry(state.Base().Names(state.NearestIndices.at(slot)));
  if (!state.Labels) return shape;
  TRegionFigures f;
  f.Recognized = true;
  f.Sameness = Sameness(state.NearestMeasures.at(slot));
  if (slot < state.RunnerUpMeasures.size() && std::isfinite(state.RunnerUpMeasures[slot]))
    f.RunnerUpSameness = Sameness(state.RunnerUpMeasures[slot]);
  // The pixel count only when the rule may ask for it.
  if (!state.Labels->MinSameness) f.Pixels = state.Segments.Items(index).InsideCount();
  return KeepsLabel(state.Labels, f) ? shape : std::string("unknown");
}

TRecord RegionRecord(const std::string& scene, const TRegionFigures& f, size_t room) {
  return TRecord(room)
      .Add("scene", scene)
      .Add("region", static_cast<long long>(f.Index))
      .Add("left", static_cast<long long>(f.Bounds.Left))
      .Add("top", static_cast<long long>(f.Bounds.Top))
      .Add("right", static_cast<long long>(f.Bounds.Right))
      .Add("bottom", static_cast<long long>(f.Bounds.Bottom))
      .Add("pixels", static_cast<long long>(f.Pixels));
}

}  // namespace ormax
