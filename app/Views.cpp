// Views: DrawView clears the surface and draws the view from the state; the colour
// ring walks a circle around the grey axis of the RGB cube.
//   HueToRGB, MakeRGB, RGBToColor, ViewName, ViewNamed, ViewNameList, ViewCaption, ViewLevel,
//   ClearView, DrawScene, DrawQuadro, ColourSegments, DrawSegments, DrawSegmentation,
//   DrawRepresentationView, StreamRepresentationView, DrawLabels, DrawRecognition,
//   DrawColouredRecognition, DrawView
#include "app/Views.h"

#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "analysis/Nearest.h"
#include "app/FormatGeneral.h"
#include "app/Results.h"
#include "numerics/Rounding.h"

namespace ormax {

TRGB MakeRGB(uint8_t r, uint8_t g, uint8_t b) {
  return TRGB{r, g, b};
}

TColor RGBToColor(TRGB v) {
  return static_cast<TColor>(v.R) + 256u * v.G + 65536u * v.B;
}

TRGB HueToRGB(int32_t maxValue, uint8_t hue, uint8_t intensity, uint8_t saturation) {
  const Real sqrt3 = Sqrt(Real(3)), sqrt2 = Sqrt(Real(2));
  const Real pi = Pi;
  const Real r = saturation * sqrt3 / 2;
  const Real theta = static_cast<Real>(hue) / maxValue * 5 * pi / 4 + pi / 2;
  const double x = static_cast<double>(Sin(theta) * r);
  const double z = static_cast<double>(Cos(theta) * r);
  const double y = static_cast<double>(intensity * sqrt3);
  const Real m = (Real(x) / 2 - y) / sqrt3;
  const Real red = z / sqrt2 - m;
  const Real green = -z / sqrt2 - m;
  const Real blue = (x + static_cast<Real>(y)) / sqrt3;
  auto inRange = [&](Real v) { return v >= 0 && v <= maxValue; };
  if (!inRange(red) || !inRange(green) || !inRange(blue)) return MakeRGB(0, 0, 0);
  return MakeRGB(static_cast<uint8_t>(RoundHalfEven(red)),
                 static_cast<uint8_t>(RoundHalfEven(green)),
                 static_cast<uint8_t>(RoundHalfEven(blue)));
}

namespace {

constexpr std::pair<TView, const char*> ViewNames[] = {
    {TView::Scene, "scene"},
    {TView::Quadro, "quadro"},
    {TView::Segmentation, "segmentation"},
    {TView::Representation, "representation"},
    {TView::Recognition, "recognition"}};

}  // namespace

const char* ViewName(TView view) {
  for (const auto& [v, name] : ViewNames)
    if (v == view) return name;
  return "view";
}

std::optional<TView> ViewNamed(const std::string& name) {
  for (const auto& [view, n] : ViewNames)
    if (name == n) return view;
  return std::nullopt;
}

std::string ViewNameList() {
  std::string list;
  for (size_t i = 0; i < std::size(ViewNames); ++i)
    list += (i == 0 ? "" : i + 1 == std::size(ViewNames) ? " or " : ", ") +
            std::string(ViewNames[i].second);
  return list;
}

std::string ViewCaption(TView view, const std::string& sceneFileName) {
  switch (view) {
    case TView::Scene:
      return "Scene from " + sceneFileName;
    case TView::Quadro:
      return "Quadro of " + sceneFileName;
    case TView::Segmentation:
      return "Segmentation of " + sceneFileName;
    case TView::Representation:
      return "Representation of " + sceneFileName;
    case TView::Recognition:
      return "Recognition of scene " + sceneFileName;
  }
  return sceneFileName;
}

int32_t ViewLevel(int64_t asked, int32_t maxTreeLevel) {
  if (asked < TreeLevelView || asked > MaxRepresentationLevel)
    throw std::invalid_argument("the level to view is -1 (the maximum tree level) or a whole "
                                "number from 0 to " + std::to_string(MaxRepresentationLevel) +
                                ", not " + std::to_string(asked));
  return asked == TreeLevelView ? maxTreeLevel : static_cast<int32_t>(asked);
}

void ClearView(ICanvas& canvas) {
  canvas.SetBrushColor(clWhite);
  canvas.FillRect(canvas.ClipRect());
}

void DrawScene(const TAppState& state, ICanvas& canvas) {
  if (state.SceneImage) state.SceneImage->Draw(canvas);
}

void DrawQuadro(const TQuadTree& tree, const TImg& scene, ICanvas& canvas) {
  ClearView(canvas);
  // A cell at most two pixels wide or high is all frame: its pixels are set one by one
  // instead of a fill and four frame bands. Leaves never overlap, so one pass in any
  // order draws them all.
  tree.ForEachLeaf(scene, [&](const TRectangle& cell) {
    const TColor frame = cell.Color == clWhite ? clBlack : clWhite;
    if (cell.Right - cell.Left < 2 || cell.Bottom - cell.Top < 2) {
      for (int32_t y = cell.Top; y <= cell.Bottom; ++y)
        for (int32_t x = cell.Left; x <= cell.Right; ++x) canvas.SetPixel(x, y, frame);
      return;
    }
    cell.Fill(canvas);
    cell.DrawFrame(frame, canvas);
  });
}

void ColourSegments(TAppState& state) {
  const int32_t n = state.Segments.Count();
  if (n == 1) return;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t h = static_cast<int32_t>(FloorToInt(static_cast<Real>(i) / (n - 1) * 255));
    state.Segments.Items(i).FillInside(RGBToColor(HueToRGB(255, static_cast<uint8_t>(h), 127, 190)));
  }
}

void DrawSegments(const TAppState& state, ICanvas& canvas) {
  // A region draws only inside its box (its pixels and its frame): one wholly off the
  // surface is skipped.
  const TRect clip = canvas.ClipRect();
  for (int32_t i = 0; i < state.Segments.Count(); ++i) {
    const TPattern& region = state.Segments.Items(i);
    if (region.Bottom < clip.Top || region.Top >= clip.Bottom || region.Right < clip.Left ||
        region.Left >= clip.Right)
      continue;
    region.Draw(canvas);
    region.DrawFrame(clBlack, canvas);
  }
}

void DrawSegmentation(TAppState& state, ICanvas& canvas) {
  // Colouring a region changes only its own pixels, so all are coloured before any is
  // drawn.
  ColourSegments(state);
  DrawSegments(state, canvas);
}

namespace {

// One region of the Representation view: its frame, then its tree's ellipses.
void DrawRegionRepresentation(const TAppState& state, int32_t i, const TTree& tree,
                              ICanvas& canvas) {
  if (i < state.Segments.Count()) state.Segments.Items(i).DrawFrame(clBlack, canvas);
  DrawRepresentation(tree, canvas, state.FillEllipses, 0, state.MaxViewLevel);
}

}  // namespace

void DrawRepresentationView(const TAppState& state, ICanvas& canvas) {
  for (int32_t i = 0; i < state.Trees.Count(); ++i)
    DrawRegionRepresentation(state, i, state.Trees.Items(i), canvas);
}

void StreamRepresentationView(TAppState& state, ICanvas& canvas) {
  ClearView(canvas);
  // A later region draws over an earlier one: trees made ahead of their turn wait.
  std::vector<std::unique_ptr<TTree>> waiting(static_cast<size_t>(state.Segments.Count()));
  size_t next = 0;
  std::mutex turn;
  state.StreamRegionResults([&](int32_t i, TRegionResults& made) {
    const std::lock_guard<std::mutex> lock(turn);
    waiting[static_cast<size_t>(i)] = std::move(made.Tree);
    for (; next < waiting.size() && waiting[next]; ++next) {
      DrawRegionRepresentation(state, static_cast<int32_t>(next), *waiting[next], canvas);
      waiting[next].reset();
    }
  });
}

void DrawLabels(const TAppState& state, ICanvas& canvas, char decimalSeparator) {
  canvas.SetBrushColor(clWhite);
  canvas.SetFontSize(14);
  canvas.SetFontColor(clBlack);
  // A label fills TextHeight rows down from the region's centre; its glyphs may reach
  // past that box, but not by a box's height. Labels farther from the surface are
  // skipped.
  const TRect clip = canvas.ClipRect();
  const int64_t height = canvas.TextHeight();
  for (size_t i = 0; i < state.NearestIndices.size(); ++i) {
    const int32_t entry = state.NearestIndices[i];
    if (entry < 0 || entry >= state.Base().Count()) continue;
    if (static_cast<int32_t>(i) >= state.Segments.Count()) break;
    // The shape, not the drawing or turn: "star_2@30" is a star; "unknown" where the
    // chosen labels withhold it.
    const TPoint at = state.Segments.Items(static_cast<int32_t>(i)).Center();
    if (at.Y + 2 * height <= clip.Top || at.Y - height >= clip.Bottom) continue;
    std::string text = RegionLabel(state, static_cast<int32_t>(i));
    if (state.ShowSameness)
      text +=
          ": " + FormatGeneral((1 - Real(state.NearestMeasures[i])) * 100, 3, decimalSeparator) + "%";
    canvas.TextOut(at.X, at.Y, text);
  }
}

void DrawRecognition(TAppState& state, ICanvas& canvas, char decimalSeparator) {
  DrawSegmentation(state, canvas);
  DrawLabels(state, canvas, decimalSeparator);
}

void DrawColouredRecognition(const TAppState& state, ICanvas& canvas, char decimalSeparator) {
  ClearView(canvas);
  DrawSegments(state, canvas);
  DrawLabels(state, canvas, decimalSeparator);
}

void DrawView(TView view, TAppState& state, ICanvas& canvas, char decimalSeparator) {
  ClearView(canvas);
  switch (view) {
    case TView::Scene:
      DrawScene(state, canvas);
      break;
    case TView::Quadro:
      if (state.SceneImage) DrawQuadro(state.QuadTree, *state.SceneImage, canvas);
      break;
    case TView::Segmentation:
      DrawSegmentation(state, canvas);
      break;
    case TView::Representation:
      DrawRepresentationView(state, canvas);
      break;
    case TView::Recognition:
      DrawRecognition(state, canvas, decimalSeparator);
      break;
  }
}

}  // namespace ormax
