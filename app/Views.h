// Views: the five pictures of the analysis, drawn from the application state onto a
// canvas, and the colour ring that tells regions apart. Qt-free, so the desktop
// program and the command line draw the same pictures.
//   ClearView, DrawScene, DrawQuadro, DrawSegmentation (ColourSegments, then
//   DrawSegments), DrawRepresentationView, StreamRepresentationView (drawn as the trees
//   are made), DrawRecognition (the segmentation, then DrawLabels),
//   DrawColouredRecognition (a band of rows at a time), DrawView (any of them after
//   clearing); TView, ViewName, ViewNamed,
//   ViewNameList (the one table of the views' names); ViewCaption; ViewLevel (TreeLevelView);
//   TRGB, HueToRGB, MakeRGB, RGBToColor
// Each view draws over the whole surface; the segmentation recolours the regions'
// pixels (the display colour replaces the scene colour in them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/AppState.h"
#include "canvas/Canvas.h"

namespace ormax {

struct TRGB {
  uint8_t R = 0;
  uint8_t G = 0;
  uint8_t B = 0;
  friend bool operator==(const TRGB&, const TRGB&) = default;
};

TRGB MakeRGB(uint8_t r, uint8_t g, uint8_t b);
TColor RGBToColor(TRGB v);
// A colour on a ring around the grey (intensity, intensity, intensity), walked over
// 225 degrees as hue goes from 0 to maxValue; black where a channel would leave
// 0 .. maxValue.
TRGB HueToRGB(int32_t maxValue, uint8_t hue, uint8_t intensity, uint8_t saturation);

enum class TView { Scene, Quadro, Segmentation, Representation, Recognition };

// The view's name as every front end takes and says it: "scene", "quadro",
// "segmentation", "representation" or "recognition".
const char* ViewName(TView view);
// The view of that name; none for any other text.
std::optional<TView> ViewNamed(const std::string& name);
// Every view's name, for a front end's help: "scene, quadro, …, representation or
// recognition".
std::string ViewNameList();

// The deepest level the Representation view draws when `asked` for by a front end:
// -1 (TreeLevelView) gives the maximum tree level; a value below -1 or past the deepest
// level a tree is built to throws std::invalid_argument saying what is taken.
inline constexpr int32_t TreeLevelView = -1;
int32_t ViewLevel(int64_t asked, int32_t maxTreeLevel);

// "Scene from <file>", "Quadro of <file>", ...
std::string ViewCaption(TView view, const std::string& sceneFileName);

// Wipes the whole surface to white.
void ClearView(ICanvas& canvas);
void DrawScene(const TAppState& state, ICanvas& canvas);
// Clears, then draws the leaf cells of the compact quadtree of scene, each in its
// colour and framed in white (black for a white cell).
void DrawQuadro(const TQuadTree& tree, const TImg& scene, ICanvas& canvas);
// Gives every region the colour that tells it apart in the Segmentation view, in place
// of its scene colours (a lone region keeps them).
void ColourSegments(TAppState& state);
// Each region's pixels and black frame, in region order; a region whose box lies off
// the canvas's clip rectangle is skipped.
void DrawSegments(const TAppState& state, ICanvas& canvas);
// ColourSegments, then DrawSegments.
void DrawSegmentation(TAppState& state, ICanvas& canvas);
void DrawRepresentationView(const TAppState& state, ICanvas& canvas);
// The Representation view of a segmented state (SegmentScene) drawn as the trees are
// made: each region's tree is drawn in region order as soon as it and those before it
// are made, then let go, so that only the few trees made ahead of their turn are held
// at once. Clears first; the picture is DrawView's for Representation after
// BuildSceneCodes, to the pixel. The state keeps its regions and no tree or code. The
// canvas is drawn on from the worker threads, one at a time.
void StreamRepresentationView(TAppState& state, ICanvas& canvas);
// Each region's label at its centre: the nearest entry's shape ("unknown" where the
// state's Labels withhold it), with ": <sameness>%" when ShowSameness is on. Labels
// that cannot reach the canvas's clip rectangle are skipped.
void DrawLabels(const TAppState& state, ICanvas& canvas, char decimalSeparator = '.');
// The segmentation, then the labels.
void DrawRecognition(TAppState& state, ICanvas& canvas, char decimalSeparator = '.');
// The Recognition view of a state whose regions are coloured already (ColourSegments):
// clears, then draws only what meets the canvas's clip rectangle, so that a picture
// drawn band by band, each band on a canvas clipped to it, is the whole view's.
void DrawColouredRecognition(const TAppState& state, ICanvas& canvas,
                             char decimalSeparator = '.');

// Draws `view` after clearing (the common entry of the desktop program and the
// command line).
void DrawView(TView view, TAppState& state, ICanvas& canvas, char decimalSeparator = '.');

}  // namespace ormax
