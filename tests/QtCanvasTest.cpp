#include "platform/QtCanvas.h"

#include <gtest/gtest.h>

#include "model/Patterns.h"

namespace ormax {
namespace {

TEST(QtCanvas, ColoursCrossTheBoundaryInTheRightOrder) {
  EXPECT_EQ(ToQColor(0x000000FF), QColor(255, 0, 0));
  EXPECT_EQ(ToQColor(0x00FF0000), QColor(0, 0, 255));
  EXPECT_EQ(ToQColor(0x00123456), QColor(0x56, 0x34, 0x12));
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
  EXPECT_EQ(image.pixel(1, 1), blue);
  EXPECT_EQ(image.pixel(2, 2), blue);
  EXPECT_EQ(image.pixel(3, 1), green);
  EXPECT_EQ(image.pixel(1, 3), white);
  EXPECT_EQ(image.pixel(5, 2), green);
  EXPECT_EQ(image.pixel(4, 2), white);
  EXPECT_EQ(image.pixel(4, 0), green);
  EXPECT_EQ(image.pixel(4, 4), green);
  EXPECT_EQ(image.pixel(0, 0), white);
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
