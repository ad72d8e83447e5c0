#include "app/Views.h"

#include <gtest/gtest.h>

#include "tests/Rasters.h"
#include "tests/TestCanvas.h"

namespace ormax {
namespace {

using testing::ColorOf;
using testing::PatternFromRows;
using testing::TestCanvas;

TEST(Views, HueRingGivesTheListedColours) {
  EXPECT_EQ(HueToRGB(255, 32, 127, 190), MakeRGB(30, 140, 211));
  EXPECT_EQ(HueToRGB(255, 64, 127, 190), MakeRGB(4, 198, 179));
  EXPECT_EQ(HueToRGB(255, 128, 127, 190), MakeRGB(38, 253, 90));
  EXPECT_EQ(RGBToColor(HueToRGB(255, 128, 127, 190)), 0x005AFD26u);
  EXPECT_EQ(HueToRGB(255, 192, 127, 190), MakeRGB(152, 195, 34));
  EXPECT_EQ(RGBToColor(HueToRGB(255, 255, 127, 190)), 0x003C4EF3u);
  for (int h = 0; h <= 255; ++h)  // never the black fallback on the view's ring
    EXPECT_NE(HueToRGB(255, static_cast<uint8_t>(h), 127, 190), MakeRGB(0, 0, 0)) << h;
  EXPECT_EQ(HueToRGB(255, 0, 250, 190), MakeRGB(0, 0, 0));  // off the range: black
}

TEST(Views, CaptionsNameTheScene) {
  EXPECT_EQ(ViewCaption(TView::Scene, "/p/a.bmp"), "Scene from /p/a.bmp");
  EXPECT_EQ(ViewCaption(TView::Quadro, "x"), "Quadro of x");
  EXPECT_EQ(ViewCaption(TView::Segmentation, "x"), "Segmentation of x");
  EXPECT_EQ(ViewCaption(TView::Representation, "x"), "Representation of x");
  EXPECT_EQ(ViewCaption(TView::Recognition, "x"), "Recognition of scene x");
}

void Build(TAppState& s, const std::vector<std::string>& rows) {
  s.SceneImage = std::make_unique<TPattern>(PatternFromRows(rows));
  s.BuildSceneCodes();
}

TEST(Views, QuadroFramesCellsWhiteAndWhiteCellsBlack) {
  TAppState s;
  Build(s, {"aa..", "aa..", "....", "...."});
  TestCanvas canvas(4, 4, 0x00123456);
  DrawView(TView::Quadro, s, canvas);
  // Four 2 x 2 cells: each framed, so every pixel is frame; the "a" cell in white,
  // the white cells in black.
  EXPECT_EQ(canvas.Rows({clWhite, clBlack, ColorOf('a')}, ".#a"),
            (std::vector<std::string>{"..##", "..##", "####", "####"}));
}

TEST(Views, SegmentationColoursRegionsAlongTheRing) {
  TAppState two;
  Build(two, {"a...", "...b"});
  TestCanvas canvas(4, 2);
  DrawView(TView::Segmentation, two, canvas);
  const TColor first = RGBToColor(HueToRGB(255, 0, 127, 190));
  const TColor last = RGBToColor(HueToRGB(255, 255, 127, 190));
  // One-pixel regions: the black frame covers each region's only pixel.
  EXPECT_EQ(canvas.GetPixel(0, 0), clBlack);
  EXPECT_EQ(two.Segments.Items(0).GetPixel(0, 0), first);
  EXPECT_EQ(two.Segments.Items(1).GetPixel(3, 1), last);

  TAppState one;
  Build(one, {".....", ".abb.", ".bbb.", ".bbb.", "....."});
  TestCanvas c1(5, 5);
  DrawView(TView::Segmentation, one, c1);
  EXPECT_EQ(c1.GetPixel(2, 2), ColorOf('b'));  // a single region keeps its colours
  EXPECT_EQ(c1.GetPixel(1, 1), clBlack);       // under the frame
  EXPECT_EQ(c1.GetPixel(0, 0), clWhite);
}

TEST(Views, RecognitionLabelsWithAndWithoutSameness) {
  TAppState s;
  Build(s, {".....", ".###.", ".###.", "....."});
  s.CodeBase.Add("square", std::make_unique<TCode>(s.SceneCodes.GetCode(0)));
  s.NearestIndices = {0};
  s.NearestMeasures = {0.125};
  TestCanvas canvas(5, 4);
  DrawView(TView::Recognition, s, canvas);
  ASSERT_EQ(canvas.texts.size(), 1u);
  EXPECT_EQ(canvas.texts[0].Value, "square");
  EXPECT_EQ(canvas.texts[0].At, (TPoint{2, 1}));  // the region's centre pixel
  EXPECT_EQ(canvas.fontSize, 14);
  EXPECT_EQ(canvas.fontColor, clBlack);
  EXPECT_EQ(canvas.brush, clWhite);
  s.ShowSameness = true;
  TestCanvas c2(5, 4);
  DrawView(TView::Recognition, s, c2, ',');
  EXPECT_EQ(c2.texts[0].Value, "square: 87,5%");
  s.NearestMeasures = {0.0004};
  TestCanvas c3(5, 4);
  DrawView(TView::Recognition, s, c3);
  EXPECT_EQ(c3.texts[0].Value, "square: 100%");
  // A base of several drawings turned: the label is the shape.
  s.CodeBase.Add("square_2@30x0.7", std::make_unique<TCode>(s.SceneCodes.GetCode(0)));
  s.NearestIndices = {1};
  s.ShowSameness = false;
  TestCanvas c4(5, 4);
  DrawView(TView::Recognition, s, c4);
  EXPECT_EQ(c4.texts[0].Value, "square");
}

TEST(Views, RepresentationDrawsEachTreeInItsFrame) {
  TAppState s;
  Build(s, {"........", ".######.", ".######.", "........"});
  s.FillEllipses = false;
  TestCanvas canvas(8, 4);
  DrawView(TView::Representation, s, canvas);
  size_t moves = 0;
  for (const auto& p : canvas.path) moves += !p.Drawn;
  EXPECT_EQ(moves, 1u);                       // one outlined ellipse at level 0
  EXPECT_EQ(canvas.GetPixel(1, 1), clBlack);  // the region's frame
  s.FillEllipses = true;
  TestCanvas filled(8, 4);
  DrawView(TView::Representation, s, filled);
  EXPECT_TRUE(filled.path.empty());
  EXPECT_EQ(filled.GetPixel(3, 2), ColorOf('#'));
}

}  // namespace
}  // namespace ormax
