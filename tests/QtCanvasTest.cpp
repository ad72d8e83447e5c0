#include "qt/QtCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

#include "analysis/Methods.h"
#include "model/Patterns.h"
#include "tests/Rasters.h"

namespace ormax {
namespace {

struct TPixelAt {
  int X, Y;
  QRgb Colour;
};

// Each listed pixel of the image has its colour.
void ExpectPixels(const QImage& image, std::initializer_list<TPixelAt> pixels) {
  for (const TPixelAt& p : pixels)
    EXPECT_EQ(image.pixel(p.X, p.Y), p.Colour) << "pixel " << p.X << ", " << p.Y;
}

TEST(QtCanvas, ColoursCrossTheBoundaryInTheRightOrder) {
  EXPECT_EQ(ToQColor(0x000000FF), QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(0x00FF0000), QColor(0, 0, 255));
  EXPECT_EQ(ToQColor(0x00123456), QColor(0x56, 0x34, 0x12));
  for (const TColor c : {0x00000000u, 0x000000FFu, 0x00FF0000u, 0x00123456u, 0x00FFFFFFu}) {
    EXPECT_EQ(ToQRgb(c), ToQColor(c).rgb()) << c;
    EXPECT_EQ(FromQRgb(ToQRgb(c)), c);
  }
  EXPECT_EQ(FromQRgb(qRgb(255, 0, 0)), 0x000000FFu);
  EXPECT_EQ(FromQRgb(qRgb(0x56, 0x34, 0x12)), 0x00123456u);
  EXPECT_EQ(FromQRgb(qRgba(1, 2, 3, 4)), 0x00030201u);  // alpha never reaches a TColor
}

TEST(QtCanvas, PixelsAndClipRect) {
  QImage image(4, 3, QImage::Format_RGB32);
  image.fill(Qt::white);
  TQtCanvas canvas(image);
  EXPECT_EQ(canvas.ClipRect(), (TRect{0, 0, 4, 3}));
  canvas.SetPixel(3, 2, 0x000000FF);
  canvas.SetPixel(4, 0, 0x000000FF);   // outside: dropped
  canvas.SetPixel(-1, 0, 0x000000FF);  // outside: dropped
  EXPECT_EQ(canvas.GetPixel(3, 2), 0x000000FFu);
  EXPECT_EQ(canvas.GetPixel(0, 0), 0x00FFFFFFu);
  canvas.Flush();
  EXPECT_EQ(image.pixel(3, 2), qRgb(255, 0, 0));

  TPattern scene = TPattern::CreateFromCanvas(canvas, clWhite);
  EXPECT_EQ(scene.GetBounds(), (TRect{0, 0, 3, 2}));
  EXPECT_EQ(scene.GetPixel(3, 2), 0x000000FFu);
  EXPECT_EQ(scene.GetInsideBounds(), (TRect{3, 2, 3, 2}));
}

// A canvas on a band of a taller picture takes the picture's coordinates and keeps
// only the band's rows.
TEST(QtCanvas, ABandTakesThePicturesCoordinates) {
  QImage band(5, 3, QImage::Format_RGB32);
  band.fill(Qt::white);
  TQtCanvas canvas(band, 10);
  EXPECT_EQ(canvas.ClipRect(), (TRect{0, 10, 5, 13}));
  canvas.SetPixel(1, 10, 0x000000FF);
  canvas.SetPixel(0, 9, 0x000000FF);   // above the band: dropped
  canvas.SetPixel(0, 13, 0x000000FF);  // below: dropped
  EXPECT_EQ(canvas.GetPixel(1, 10), 0x000000FFu);
  EXPECT_EQ(canvas.GetPixel(1, 0), 0u);
  canvas.SetBrushColor(0x00FF0000);
  canvas.FillRect(TRect{3, 8, 5, 12});  // rows 8 to 11: the band's first two
  canvas.Flush();
  ExpectPixels(band, {{1, 0, qRgb(255, 0, 0)}, {0, 2, qRgb(255, 255, 255)},
                      {3, 0, qRgb(0, 0, 255)}, {4, 1, qRgb(0, 0, 255)},
                      {3, 2, qRgb(255, 255, 255)}, {2, 0, qRgb(255, 255, 255)}});
}

TEST(QtCanvas, FillAndFrameUseExclusiveEdges) {
  QImage image(6, 5, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    TQtCanvas canvas(image);
    canvas.SetBrushColor(0x00FF0000);
    canvas.FillRect(TRect{1, 1, 3, 3});  // pixels 1..2
    canvas.SetBrushColor(0x0000FF00);
    canvas.FrameRect(TRect{3, 0, 6, 5});     // columns 3 and 5, rows 0 and 4
    canvas.FillRect(TRect{-10, -10, 0, 0});  // entirely outside: nothing
  }
  const QRgb blue = qRgb(0, 0, 255), green = qRgb(0, 255, 0), white = qRgb(255, 255, 255);
  ExpectPixels(image, {{1, 1, blue}, {2, 2, blue}, {3, 1, green}, {1, 3, white}, {5, 2, green},
                       {4, 2, white}, {4, 0, green}, {4, 4, green}, {0, 0, white}});
}

TEST(QtCanvas, EllipsesAndTextLandOnTheImage) {
  QImage image(60, 40, QImage::Format_RGB32);
  image.fill(Qt::white);
  TEllipse e;
  e.Center = MakeVector(30, 20);
  e.Rotation = IdentityMatrix;
  e.Axes = MakeVector(20, 10);
  e.Exponent = 2;
  e.Color = 0x000000FF;
  {
    TQtCanvas canvas(image);
    e.DrawOutline(canvas, 100, 2);
    EXPECT_EQ(canvas.GetPixel(30, 20), 0x00FFFFFFu);  // an outline leaves the middle
    e.Fill(canvas);
    EXPECT_EQ(canvas.GetPixel(30, 20), 0x000000FFu);
  }
  EXPECT_EQ(image.pixel(50, 20), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(30, 10), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));

  QImage text(80, 30, QImage::Format_RGB32);
  text.fill(Qt::blue);
  {
    TQtCanvas canvas(text);
    canvas.SetBrushColor(clWhite);
    canvas.SetFontColor(clBlack);
    canvas.SetFontSize(14);
    canvas.TextOut(2, 2, "Ab");
  }
  int white = 0, black = 0;
  for (int y = 0; y < text.height(); ++y)
    for (int x = 0; x < text.width(); ++x) {
      white += text.pixel(x, y) == qRgb(255, 255, 255);
      black += qGray(text.pixel(x, y)) < 64;
    }
  EXPECT_GT(white, 20) << "the text box is filled with the brush";
  EXPECT_GT(black, 5) << "glyphs are drawn in the font colour";
  EXPECT_EQ(text.pixel(79, 29), qRgb(0, 0, 255));
}

// A canvas keeps the measures of what it has written; texts written again, in other
// sizes, or after pixels set directly, come out as a fresh canvas writes them, and the
// height it gives is that of their boxes.
TEST(QtCanvas, TextsWrittenAgainAreWrittenAsAFreshCanvasWritesThem) {
  struct TText {
    int32_t X, Y, Size;
    std::string Value;
  };
  const std::vector<TText> texts = {{2, 2, 14, "circle: 63.2%"},  {2, 30, 30, "circle: 63.2%"},
                                    {2, 80, 14, "circle: 63.2%"},  {2, 110, 14, "ring"},
                                    {2, 140, 9, "circle: 63.2%"},  {2, 165, 14, "circle: 63.2%x"}};
  QImage once(300, 200, QImage::Format_RGB32), fresh(300, 200, QImage::Format_RGB32);
  once.fill(Qt::blue);
  fresh.fill(Qt::blue);
  {
    TQtCanvas canvas(once);
    canvas.SetBrushColor(clWhite);
    for (const TText& t : texts) {
      canvas.SetFontSize(t.Size);
      canvas.TextOut(t.X, t.Y, t.Value);
      canvas.SetPixel(299, 199, 0x0000FF00);  // the painter closes and opens again
    }
  }
  for (const TText& t : texts) {
    TQtCanvas canvas(fresh);
    canvas.SetBrushColor(clWhite);
    canvas.SetFontSize(t.Size);
    canvas.TextOut(t.X, t.Y, t.Value);
    canvas.SetPixel(299, 199, 0x0000FF00);
    // The box is as high as TextHeight says: white down to its last row, blue after.
    const int32_t height = canvas.TextHeight();
    canvas.Flush();
    EXPECT_EQ(fresh.pixel(t.X, t.Y + height - 1), qRgb(255, 255, 255)) << t.Size;
    EXPECT_EQ(fresh.pixel(t.X, t.Y + height), qRgb(0, 0, 255)) << t.Size;
  }
  EXPECT_EQ(once, fresh);
}

// Hands every call on to a Qt canvas but keeps the plain Polyline, so a path reaches the
// painter one LineTo at a time.
class StepwiseCanvas : public ICanvas {
 public:
  explicit StepwiseCanvas(TQtCanvas& inner) : inner_(inner) {}
  TRect ClipRect() const override { return inner_.ClipRect(); }
  TColor GetPixel(int32_t x, int32_t y) const override { return inner_.GetPixel(x, y); }
  void SetPixel(int32_t x, int32_t y, TColor c) override { inner_.SetPixel(x, y, c); }
  void SetBrushColor(TColor c) override { inner_.SetBrushColor(c); }
  void FillRect(const TRect& r) override { inner_.FillRect(r); }
  void FrameRect(const TRect& r) override { inner_.FrameRect(r); }
  void SetPenColor(TColor c) override { inner_.SetPenColor(c); }
  void SetPenWidth(int32_t w) override { inner_.SetPenWidth(w); }
  void MoveTo(int32_t x, int32_t y) override { inner_.MoveTo(x, y); }
  void LineTo(int32_t x, int32_t y) override { inner_.LineTo(x, y); }
  void SetFontSize(int32_t p) override { inner_.SetFontSize(p); }
  void SetFontColor(TColor c) override { inner_.SetFontColor(c); }
  void TextOut(int32_t x, int32_t y, const std::string& t) override { inner_.TextOut(x, y, t); }
  int32_t TextHeight() const override { return inner_.TextHeight(); }

 private:
  TQtCanvas& inner_;
};

// Draws the same thing on two images, once with paths in one call and once step by
// step, and says at how many pixels they differ.
template <typename Draw>
int PixelsWherePolylineDiffers(int width, int height, Draw draw) {
  QImage whole(width, height, QImage::Format_RGB32), steps(width, height, QImage::Format_RGB32);
  whole.fill(Qt::white);
  steps.fill(Qt::white);
  {
    TQtCanvas canvas(whole);
    draw(static_cast<ICanvas&>(canvas));
  }
  {
    TQtCanvas inner(steps);
    StepwiseCanvas canvas(inner);
    draw(static_cast<ICanvas&>(canvas));
  }
  int differ = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) differ += whole.pixel(x, y) != steps.pixel(x, y);
  return differ;
}

// A path in one call sets the pixels of its steps drawn one by one, whether the canvas
// sets it from a kept stamp (short paths, drawn again at other places) or hands it to
// the painter (long paths, wide pens, paths far off the picture).
TEST(QtCanvas, PolylineDrawsThePixelsOfItsSteps) {
  std::mt19937 random(20261208);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  // Random walks of short steps, steps of no length and now and then a long stroke;
  // one-point paths too. Points stand once or several times in a row, or not at all.
  std::vector<std::vector<TPoint>> paths;
  for (int n = 0; n < 80; ++n) {
    std::vector<TPoint> path{{0, 0}};
    const int length = uniform(0, 30);
    for (int i = 0; i < length; ++i) {
      const int reach = uniform(0, 15) == 0 ? 80 : 2;
      path.push_back({path.back().X + uniform(-reach, reach), path.back().Y + uniform(-reach, reach)});
    }
    paths.push_back(path);
  }
  for (const int32_t width : {1, 2, 3, 6, TPenStamps::MaxWidth, TPenStamps::MaxWidth + 1}) {
    SCOPED_TRACE(width);
    // Each path at several places: inside, across every edge, a little and far outside;
    // the pen's colour and width change between paths and places, pixels are set between.
    const int differ = PixelsWherePolylineDiffers(120, 80, [&](ICanvas& canvas) {
      std::mt19937 places(static_cast<uint32_t>(width));
      auto at = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(places); };
      for (size_t n = 0; n < paths.size(); ++n)
        for (int k = 0; k < 5; ++k) {
          const int32_t dx = k == 4 ? at(-200000, 200000) : at(-30, 150);
          const int32_t dy = k == 4 ? at(-300, 300) : at(-30, 110);
          std::vector<TPathPoint> moved;
          for (const TPoint& p : paths[n])
            moved.push_back({{p.X + dx, p.Y + dy}, static_cast<int32_t>(places() % 7) / 2});
          canvas.SetPenColor(static_cast<TColor>(0x00102030u * (n % 7)));
          canvas.SetPenWidth((n + static_cast<size_t>(k)) % 3 == 0 ? width - 1 : width);
          canvas.Polyline(moved);
          if (n % 9 == 0) canvas.SetPixel(moved[0].Point.X, moved[0].Point.Y, 0x0000FF00);
        }
    });
    EXPECT_EQ(differ, 0);
  }
}

// The outlines of a view of small regions: the ellipses of tiny regions fitted at many
// places (the same shapes again and again, alike but for the last bits), and some
// larger ones, drawn with the view's pen and a thin one.
TEST(QtCanvas, OutlinesOfManySmallRegionsAreThoseOfTheirSteps) {
  const std::vector<std::vector<std::string>> shapes = {
      {"#"}, {"##"}, {"#.", ".#"}, {"##", "#."}, {"###"}, {"#..", ".##"}, {"##", "##"}};
  std::mt19937 random(7);
  std::vector<TEllipse> ellipses;
  for (int n = 0; n < 600; ++n) {
    TEllipse e;
    FitEllipse(testing::PatternFromRows(shapes[random() % shapes.size()],
                                        static_cast<int32_t>(random() % 210) - 5,
                                        static_cast<int32_t>(random() % 160) - 5),
               e);
    e.Color = static_cast<TColor>(random() & 0x00FFFFFFu);
    ellipses.push_back(e);
  }
  std::uniform_real_distribution<double> unit(0, 1);
  for (int n = 0; n < 60; ++n) {
    TEllipse e;
    const double turn = unit(random) * 6.283185307179586;
    e.Center = MakeVector(Real(unit(random) * 200), Real(unit(random) * 150));
    e.Rotation = TMatrix{{{Real(std::cos(turn)), Real(-std::sin(turn))},
                          {Real(std::sin(turn)), Real(std::cos(turn))}}};
    const double size = n % 4 == 0 ? 60 : 8;
    e.Axes = MakeVector(Real(0.3 + unit(random) * size), Real(0.3 + unit(random) * size / 2));
    e.Exponent = n % 3 == 0 ? 4 : 2;
    e.Color = static_cast<TColor>(random() & 0x00FFFFFFu);
    ellipses.push_back(e);
  }
  for (const int32_t width : {1, 2}) {
    SCOPED_TRACE(width);
    EXPECT_EQ(PixelsWherePolylineDiffers(200, 150, [&](ICanvas& canvas) {
                for (const TEllipse& e : ellipses) e.DrawOutline(canvas, 100, width);
              }),
              0);
  }
}

// Rectangles and stamped paths are set on the image directly, lines and text through
// the painter: whatever comes later covers what came before.
TEST(QtCanvas, DirectAndPaintedDrawingKeepTheirOrder) {
  QImage image(40, 20, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
  {
    TQtCanvas canvas(image);
    canvas.SetPenColor(0x00FF0000);  // blue
    canvas.SetPenWidth(2);
    canvas.MoveTo(0, 10);
    canvas.LineTo(40, 10);  // the painter: rows 9 and 10
    canvas.SetBrushColor(0x000000FF);
    canvas.FillRect(TRect{5, 0, 10, 20});  // red over the line
    canvas.SetPenColor(0x0000FF00);
    const std::vector<TPathPoint> tick{{{6, 5}, 1}, {{6, 15}, 2}};
    canvas.Polyline(tick);  // a stamp: green over the red
    canvas.SetPenColor(0x00FF0000);
    canvas.MoveTo(20, 0);
    canvas.LineTo(20, 20);  // the painter again, over the first line
    canvas.FrameRect(TRect{18, 8, 23, 13});  // red frame over that
    EXPECT_EQ(canvas.GetPixel(7, 10), 0x000000FFu);
  }
  ExpectPixels(image, {{2, 10, blue}, {8, 10, red}, {5, 10, green}, {6, 10, green}, {19, 3, blue},
                       {19, 8, red}, {19, 10, blue} /* inside the frame */, {18, 10, red}});
}

TEST(QtCanvas, OtherImageFormatsAreConverted) {
  QImage image(2, 2, QImage::Format_Indexed8);
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  image.fill(0);
  image.setPixel(1, 1, 1);
  TQtCanvas canvas(image);
  EXPECT_EQ(canvas.GetPixel(1, 1), 0u);
  EXPECT_EQ(canvas.GetPixel(0, 0), clWhite);
  EXPECT_EQ(image.format(), QImage::Format_RGB32);
}

}  // namespace
}  // namespace ormax
