#include "model/Patterns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "model/LargeBlocks.h"
#include "tests/ExtendedValues.h"
#include "tests/Rasters.h"
#include "tests/TestCanvas.h"

namespace ormax {
namespace {

using testing::ColorOf;
using testing::PatternFromRows;
using testing::TestCanvas;

constexpr TColor kRed = 0x000000FF;
constexpr TColor kBlue = 0x00FF0000;

// ---- raster images and regions ----

TEST(Patterns, SceneFromCanvasReadsEveryPixel) {
  TestCanvas canvas(4, 3);
  canvas.SetPixel(3, 2, 0x00123456);
  canvas.SetPixel(0, 1, kRed);
  TPattern scene = TPattern::CreateFromCanvas(canvas, clWhite);
  EXPECT_EQ(scene.GetBounds(), (TRect{0, 0, 3, 2}));
  EXPECT_EQ(scene.Width(), 4);
  EXPECT_EQ(scene.Height(), 3);
  EXPECT_EQ(scene.GetPixel(3, 2), 0x00123456u);
  EXPECT_EQ(scene.GetPixel(0, 1), kRed);
  EXPECT_EQ(scene.Background(), clWhite);
  EXPECT_FALSE(scene.IsInside(1, 1));  // white
  EXPECT_TRUE(scene.IsInside(0, 1));
  TImg img = TImg::CreateFromCanvas(canvas);
  EXPECT_EQ(img.Pixels, scene.Pixels);
}

TEST(Patterns, CenterTakesLeftAndUpperMiddle) {
  EXPECT_EQ(TImg(0, 0, 3, 2).Center(), (TPoint{1, 1}));
  EXPECT_EQ(TImg(4, 6, 4, 6).Center(), (TPoint{4, 6}));
  EXPECT_EQ(TImg(0, 0, 1, 1).Center(), (TPoint{0, 0}));
  EXPECT_EQ(TImg(-5, -3, -1, 0).Center(), (TPoint{-3, -2}));  // widths 5 and 4
}

TEST(Patterns, NewImagesAreBlackAndClearEmptiesThem) {
  TPattern p(TRect{2, 3, 4, 4}, clWhite);
  EXPECT_EQ(p.GetInsideBounds(), (TRect{2, 3, 4, 4}));  // black is inside
  EXPECT_TRUE(p.IsInside(2, 3));
  p.Clear();
  EXPECT_EQ(p.GetInsideBounds(), (TRect{4, 4, 2, 3}));  // inverted: nothing inside
  TPattern onBlack(TRect{0, 0, 1, 1}, clBlack);
  EXPECT_FALSE(onBlack.IsInside(0, 0));
  EXPECT_THROW(TImg(5, 0, 3, 0), std::invalid_argument);
  TImg none(5, 0, 4, 0);  // no columns: valid, empty
  EXPECT_EQ(none.Width(), 0);
}

// Images are values: a copy has pixels of its own, a moved-from image is left empty,
// and equal pixels in another shape are not the same image.
TEST(Patterns, ImagesCopyMoveAndCompareByValue) {
  TImg a(TRect{0, 0, 2, 1}, 7);  // 3 x 2
  a.SetPixel(2, 1, 9);
  TImg copy = a;
  copy.SetPixel(0, 0, 1);
  EXPECT_EQ(a.GetPixel(0, 0), 7u);
  EXPECT_EQ(copy.GetPixel(2, 1), 9u);
  EXPECT_FALSE(copy.Pixels == a.Pixels);
  copy = a;
  EXPECT_TRUE(copy.Pixels == a.Pixels);
  copy = copy;  // assigning an image to itself keeps it
  EXPECT_EQ(copy.GetPixel(2, 1), 9u);

  TColorMatrix moved = std::move(copy.Pixels);
  EXPECT_EQ(moved.Width(), 3);
  EXPECT_EQ(moved[1][2], 9u);
  EXPECT_EQ(copy.Pixels.Width(), 0);
  EXPECT_EQ(copy.Pixels.Height(), 0);
  EXPECT_TRUE(copy.Pixels == TColorMatrix());

  TColorMatrix wide(3, 2, 5), tall(2, 3, 5);
  EXPECT_FALSE(wide == tall);
  EXPECT_TRUE(TColorMatrix(0, 4) == TColorMatrix(0, 4));
}

// Blocks of one and two pixels sit in the matrix itself and larger ones are allocated:
// copies, moves and assignments across the two kinds keep every pixel, and a pixel
// written in one matrix never shows in another. (Under the address sanitizer this also
// catches a block freed twice or never.)
TEST(Patterns, SmallAndLargeBlocksCopyAndMoveIntoEachOther) {
  auto numbered = [](int32_t w, int32_t h) {
    TColorMatrix m(w, h, 0);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) m[y][x] = static_cast<TColor>(100 * y + x + 1);
    return m;
  };
  const std::vector<std::pair<int32_t, int32_t>> sizes = {{0, 0}, {1, 1}, {2, 1},
                                                          {1, 2}, {3, 1}, {2, 2}};
  for (auto [w, h] : sizes)
    for (auto [w2, h2] : sizes) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " <- " + std::to_string(w2) +
                   "x" + std::to_string(h2));
      const TColorMatrix source = numbered(w2, h2);
      TColorMatrix target = numbered(w, h);
      target = source;  // copy over either kind
      EXPECT_TRUE(target == source);
      if (w2 * h2 > 0) {
        target[0][0] = 77;
        EXPECT_EQ(source[0][0], 1u);
      }

      TColorMatrix moving = numbered(w2, h2);
      TColorMatrix into = numbered(w, h);
      into = std::move(moving);  // move over either kind
      EXPECT_TRUE(into == source);
      EXPECT_TRUE(moving == TColorMatrix());
      TColorMatrix again(std::move(into));
      EXPECT_TRUE(again == source);
      EXPECT_TRUE(into == TColorMatrix());
    }
  TColorMatrix two(1, 2, 4);  // the two in-place pixels are two, not one
  two[1][0] = 8;
  EXPECT_EQ(two[0][0], 4u);
  EXPECT_FALSE(two == TColorMatrix(1, 2, 4));
  EXPECT_TRUE(TColorMatrix(1, 2, 4) == TColorMatrix(1, 2, 4));
}

TEST(Patterns, TrimCropsToTheRegionAndKeepsInnerBackground) {
  TPattern one(TRect{0, 0, 12, 12}, clWhite);
  one.Clear();
  one.SetPixel(7, 9, kRed);
  EXPECT_EQ(one.GetInsideBounds(), (TRect{7, 9, 7, 9}));
  one.Trim();
  EXPECT_EQ(one.GetBounds(), (TRect{7, 9, 7, 9}));
  EXPECT_EQ(one.GetPixel(7, 9), kRed);

  TPattern ring = PatternFromRows({".....", ".#.#.", "..#..", "....."}, 10, 20);
  ring.Trim();
  EXPECT_EQ(ring.GetBounds(), (TRect{11, 21, 13, 22}));
  EXPECT_EQ(ring.GetPixel(12, 21), clWhite);  // background inside the box stays
  EXPECT_EQ(ring.GetPixel(12, 22), ColorOf('#'));
  EXPECT_EQ(ring.Pixels.Width(), 3);
  EXPECT_EQ(ring.Pixels.Height(), 2);

  TPattern empty(TRect{0, 0, 2, 2}, clWhite);
  empty.Clear();
  EXPECT_THROW(empty.Trim(), std::invalid_argument);
  EXPECT_THROW(ring.Crop(TRect{10, 21, 13, 22}), std::invalid_argument);
}

TEST(Patterns, FillInsideAndDrawLeaveBackgroundAlone) {
  TPattern p = PatternFromRows({"a.", ".b"}, 1, 1);
  TestCanvas canvas(4, 4, kBlue);
  p.Draw(canvas);
  EXPECT_EQ(canvas.Rows({kBlue, ColorOf('a'), ColorOf('b')}, ".ab"),
            (std::vector<std::string>{"....", ".a..", "..b.", "...."}));
  p.FillInside(kRed);
  EXPECT_EQ(p.GetPixel(1, 1), kRed);
  EXPECT_EQ(p.GetPixel(2, 2), kRed);
  EXPECT_EQ(p.GetPixel(2, 1), clWhite);
}

// Rows of 1 to 9 pixels: whole groups of four and the pixels after them are counted,
// and `enough` stops the count without going over it.
TEST(Patterns, InsideCountCountsEveryColumnAndStopsAtEnough) {
  const std::vector<std::string> rows = {"#.##.####", "........#", "#########"};
  for (int32_t width = 1; width <= 9; ++width) {
    std::vector<std::string> cut;
    int64_t inside = 0;
    for (const std::string& row : rows) {
      cut.push_back(row.substr(0, static_cast<size_t>(width)));
      inside += std::count(cut.back().begin(), cut.back().end(), '#');
    }
    const TPattern p = PatternFromRows(cut, 0, 0);
    EXPECT_EQ(p.InsideCount(), inside) << width;
    EXPECT_EQ(p.InsideCount(1), std::min<int64_t>(inside, 1)) << width;
    EXPECT_EQ(p.InsideCount(inside + 1), inside) << width;
  }
}

TEST(Patterns, DrawFrameRunsAlongTheOuterPixels) {
  TImg img(2, 3, 5, 7);
  TestCanvas canvas(8, 9);
  img.DrawFrame(kRed, canvas);
  EXPECT_EQ(canvas.Rows({clWhite, kRed}, ".#"),
            (std::vector<std::string>{"........", "........", "........", "..####..", "..#..#..",
                                      "..#..#..", "..#..#..", "..####..", "........"}));
}

TEST(Patterns, PatternListOwnsAndClears) {
  TPatternList list;
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Add(std::make_unique<TPattern>(TRect{0, 0, 0, 0}, clWhite));
  list.Add(std::make_unique<TPattern>(TRect{0, 0, 1, 0}, clWhite));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(1).Width(), 2);
  EXPECT_THROW(list.Items(2), std::out_of_range);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

// ---- rectangles ----

TEST(Primitives, RectangleBytesAndPainting) {
  TRectangle r(3, 4, 10, 12, kRed);
  TByteArray b{9, 9, 9};
  r.SaveToBytes(b);
  EXPECT_EQ(b, (TByteArray{3, 0, 0, 0, 4, 0, 0, 0, 10, 0, 0, 0, 12, 0, 0, 0, 255, 0, 0, 0}));
  TRectangle back = TRectangle::CreateFromBytes(b);
  EXPECT_EQ(back.GetBounds(), (TRect{3, 4, 10, 12}));
  EXPECT_EQ(back.Color, kRed);
  b.pop_back();
  EXPECT_THROW(TRectangle::CreateFromBytes(b), EReadError);

  TPattern p(TRect{0, 0, 3, 2}, clWhite);
  p.Clear();
  TRectangle(2, 1, 9, 9, kRed).PaintInto(p);  // reaches beyond the pattern
  TestCanvas canvas(4, 3);
  p.Draw(canvas);
  EXPECT_EQ(canvas.Rows({clWhite, kRed}, ".#"), (std::vector<std::string>{"....", "..##", "..##"}));
}

// The rectangle filled in its own colour, then framed in blue, on a white 5 x 4 canvas;
// the rows as ".rb" for white, red and blue.
std::vector<std::string> FilledAndFramed(const TRectangle& r) {
  TestCanvas canvas(5, 4);
  r.Fill(canvas);
  r.DrawFrame(kBlue, canvas);
  return canvas.Rows({clWhite, kRed, kBlue}, ".rb");
}

TEST(Primitives, RectangleFrameUsesItsArgumentAndFillItsColour) {
  EXPECT_EQ(FilledAndFramed(TRectangle(1, 1, 3, 2, kRed)),
            (std::vector<std::string>{".....", ".bbb.", ".bbb.", "....."}));
  EXPECT_EQ(FilledAndFramed(TRectangle(0, 1, 4, 3, kRed)),
            (std::vector<std::string>{".....", "bbbbb", "brrrb", "bbbbb"}));
}

// ---- ellipses ----

TEllipse Ellipse(Real cx, Real cy, Real a, Real b, TColor color = kRed) {
  TEllipse e;
  e.Center = MakeVector(cx, cy);
  e.Rotation = IdentityMatrix;
  e.Axes = MakeVector(a, b);
  e.Exponent = 2;
  e.Color = color;
  return e;
}

TEST(Primitives, EllipseBytesRoundTrip) {
  TEllipse e = Ellipse(Real(1.0) / 3, -2, Real(1) / 10, 5);
  e.Rotation[1][0] = -Real(0.0);
  e.Color = 0x00ABCDEF;
  TByteArray b;
  e.SaveToBytes(b);
  ASSERT_EQ(b.size(), 76u);
  int32_t pos = 0;
  EXPECT_EQ(ExtractDouble(b, pos), 1.0 / 3);  // rounded to double on the way
  EXPECT_EQ(ExtractDouble(b, pos), -2.0);
  EXPECT_EQ(ExtractDouble(b, pos), 1.0);
  EXPECT_EQ(ExtractDouble(b, pos), 0.0);
  double r10 = ExtractDouble(b, pos);
  EXPECT_TRUE(SignBit(r10));
  EXPECT_EQ(ExtractDouble(b, pos), 1.0);
  EXPECT_EQ(ExtractDouble(b, pos), 0.1);
  EXPECT_EQ(ExtractDouble(b, pos), 5.0);
  EXPECT_EQ(ExtractDouble(b, pos), 2.0);
  EXPECT_EQ(static_cast<TColor>(ExtractInteger(b, pos)), 0x00ABCDEFu);

  TEllipse back = TEllipse::CreateFromBytes(b);
  EXPECT_EQ(back.Center[0], static_cast<Real>(1.0 / 3));
  TByteArray again;
  back.SaveToBytes(again);
  EXPECT_EQ(again, b);
  TByteArray reused(100, 0x55);  // a longer buffer of another ellipse is cut to size
  back.SaveToBytes(reused);
  EXPECT_EQ(reused, b);
  b.resize(75);
  EXPECT_THROW(TEllipse::CreateFromBytes(b), EReadError);
}

TEST(Primitives, ContainsIncludesTheBoundary) {
  TEllipse e = Ellipse(10, 20, 3, 2);
  EXPECT_TRUE(e.Contains(13, 20));
  EXPECT_TRUE(e.Contains(10, 22));
  EXPECT_TRUE(e.Contains(10, 20));
  EXPECT_FALSE(e.Contains(13.01, 20));
  EXPECT_FALSE(e.Contains(11, 22));
  TVector local = e.ToLocal(12, 19);
  EXPECT_EQ(local[0], Real(2.0));
  EXPECT_EQ(local[1], -Real(1.0));

  // A quarter turn: the first axis points along y.
  e.Rotation[0][0] = 0;
  e.Rotation[0][1] = -1;
  e.Rotation[1][0] = 1;
  e.Rotation[1][1] = 0;
  EXPECT_TRUE(e.Contains(10, 23));
  EXPECT_FALSE(e.Contains(13, 20));
}

TEST(Primitives, ContainsFollowsTheExponent) {
  TEllipse e = Ellipse(0, 0, 1, 1);
  EXPECT_FALSE(e.Contains(0.7, 0.75));  // 0.49 + 0.5625 > 1
  e.Exponent = 4;                       // squarer: 0.2401 + 0.3164 <= 1
  EXPECT_TRUE(e.Contains(0.7, 0.75));
  e.Exponent = 1;  // a diamond
  EXPECT_TRUE(e.Contains(0.5, 0.5));
  EXPECT_FALSE(e.Contains(0.5, 0.51));
  e.Exponent = 1.5;  // exp/ln branch
  EXPECT_TRUE(e.Contains(0.6, 0.6));
  EXPECT_FALSE(e.Contains(0.7, 0.7));
}

TEST(Primitives, DamagedEllipsesContainNothing) {
  TEllipse zeroAxis = Ellipse(0, 0, 0, 1);
  EXPECT_FALSE(zeroAxis.Contains(1, 0));
  TEllipse nan = Ellipse(Real(std::numeric_limits<double>::quiet_NaN()), 0, 1, 1);
  EXPECT_FALSE(nan.Contains(0, 0));
  TEllipse singular = Ellipse(0, 0, 1, 1);
  singular.Rotation = ZeroMatrix;
  EXPECT_FALSE(singular.Contains(0.5, 0));
  TestCanvas canvas(8, 8);
  nan.Fill(canvas);
  nan.DrawOutline(canvas, 10, 1);
  EXPECT_EQ(canvas.Rows({clWhite}, "."), TestCanvas(8, 8).Rows({clWhite}, "."));
}

TEST(Primitives, PowerRule) {
  EXPECT_EQ(Power(2, 10), Real(1024.0));
  EXPECT_EQ(Power(2, -2), Real(0.25));
  EXPECT_EQ(Power(0, 3), Real(0.0));
  EXPECT_EQ(Power(0, 0), Real(1.0));
  EXPECT_EQ(Power(-3, 3), -Real(27.0));
  const Real tenth = Real(1) / 10;
  EXPECT_EQ(Power(tenth, 2), tenth * tenth);
  EXPECT_NEAR(AsDouble(Power(2, Real(0.5))), AsDouble(Sqrt(Real(2.0))), 1e-18);
}

TEST(Primitives, FillColoursExactlyTheContainedLatticePoints) {
  TEllipse e = Ellipse(10, 20, 3, 2);
  TestCanvas canvas(30, 30);
  e.Fill(canvas);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      // (x-10)^2/9 + (y-20)^2/4 <= 1, in integers.
      bool inside = 4 * (x - 10) * (x - 10) + 9 * (y - 20) * (y - 20) <= 36;
      EXPECT_EQ(canvas.GetPixel(x, y), inside ? kRed : clWhite) << x << "," << y;
    }
  EXPECT_EQ(canvas.GetPixel(13, 20), kRed);

  // Reaching beyond the surface is clipped, not an error.
  TestCanvas small(4, 4);
  Ellipse(0, 0, 2, 2).Fill(small);
  EXPECT_EQ(small.Rows({clWhite, kRed}, ".#"),
            (std::vector<std::string>{"###.", "##..", "#...", "...."}));
}

TEST(Primitives, OutlineWithTwoStepsVisitsTheQuarterPoints) {
  TEllipse e = Ellipse(10, 20, 3, 2, kBlue);
  TestCanvas canvas(30, 30);
  e.DrawOutline(canvas, 2, 3);
  EXPECT_EQ(canvas.pen, kBlue);
  EXPECT_EQ(canvas.penWidth, 3);
  ASSERT_EQ(canvas.path.size(), 6u);
  EXPECT_FALSE(canvas.path[0].Drawn);
  const TPoint expected[] = {{13, 20}, {10, 22}, {7, 20}, {10, 18}, {13, 20}, {10, 22}};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(canvas.path[i].Point, expected[i]) << i;
    EXPECT_EQ(canvas.path[i].Drawn, i > 0);
  }
}

TEST(Primitives, OutlineWithHundredStepsDraws396Segments) {
  TEllipse e = Ellipse(50, 50, 40, 20);
  TestCanvas canvas(100, 100);
  e.DrawOutline(canvas, 100, 2);
  ASSERT_EQ(canvas.path.size(), 397u);  // one move, 396 lines
  EXPECT_EQ(canvas.path.front().Point, (TPoint{90, 50}));
  // The last point lies just past a full turn: back at the start, or one step on.
  TPoint last = canvas.path.back().Point;
  EXPECT_EQ(last.X, 90);
  EXPECT_LE(std::abs(last.Y - 50), 1);
  // A quarter of the way round is the end of the second axis.
  EXPECT_EQ(canvas.path[99].Point, (TPoint{50, 70}));
  // Too few steps per quarter turn cannot be drawn.
  TestCanvas none(10, 10);
  e.DrawOutline(none, 1, 2);
  EXPECT_TRUE(none.path.empty());
}

TEST(Primitives, OutlineRoundsHalvesToEven) {
  // The start point is Center + (a, 0): 4.5 rounds down to 4, 5.5 up to 6.
  TestCanvas canvas(10, 10);
  Ellipse(Real(2.5), Real(0.5), 2, 1).DrawOutline(canvas, 2, 1);
  EXPECT_EQ(canvas.path[0].Point, (TPoint{4, 0}));
  canvas.path.clear();
  Ellipse(Real(3.5), Real(1.5), 2, 1).DrawOutline(canvas, 2, 1);
  EXPECT_EQ(canvas.path[0].Point, (TPoint{6, 2}));
  canvas.path.clear();
  Ellipse(-Real(2.5), -Real(1.5), 1, 1).DrawOutline(canvas, 2, 1);
  EXPECT_EQ(canvas.path[0].Point, (TPoint{-2, -2}));
}

// Advice on huge pages keeps what a block holds, wherever the block starts and however
// long it is; blocks too small, empty or absent are left alone.
TEST(LargeBlocks, AdviceKeepsWhatABlockHolds) {
  std::vector<uint32_t> words((size_t{9} << 20) / 4 + 3);
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint32_t>(i * 2654435761u);
  for (const size_t offset : {size_t{0}, size_t{1}, size_t{4097}}) {
    AdviseHugePages(words.data() + offset, (words.size() - offset) * 4);
    AdviseHugePages(words.data() + offset, 4096);
  }
  AdviseHugePages(nullptr, size_t{64} << 20);
  AdviseHugePages(words.data(), 0);
  for (size_t i = 0; i < words.size(); ++i)
    ASSERT_EQ(words[i], static_cast<uint32_t>(i * 2654435761u)) << "word " << i;
  // A scene-sized pixel block, advised when made, reads back what was written.
  TImg big(TRect{0, 0, 2047, 1023}, TColor{0x00ABCDEF});
  big.SetPixel(2047, 1023, clBlack);
  EXPECT_EQ(big.GetPixel(0, 0), TColor{0x00ABCDEF});
  EXPECT_EQ(big.GetPixel(1024, 512), TColor{0x00ABCDEF});
  EXPECT_EQ(big.GetPixel(2047, 1023), clBlack);
}

// A block of 1 MiB or more starts on a 2 MiB boundary, and every block keeps what is
// written to it from its first byte to its last; TBlock gives its block back.
TEST(LargeBlocks, BlocksKeepTheirBytesAndLargeOnesStartOnAHugePage) {
  for (const size_t bytes : {size_t{1}, size_t{4096}, (size_t{1} << 20) - 1, size_t{1} << 20,
                             (size_t{2} << 20) + 1, (size_t{5} << 20) + 3}) {
    const TBlock block(AllocateBlock(bytes));
    ASSERT_NE(block.get(), nullptr);
    if (bytes >= (size_t{1} << 20)) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block.get()) % (size_t{2} << 20), 0u) << bytes;
    }
    auto* const b = static_cast<uint8_t*>(block.get());
    for (size_t i = 0; i < bytes; ++i) b[i] = static_cast<uint8_t>(i * 131 + bytes);
    for (size_t i = 0; i < bytes; ++i)
      ASSERT_EQ(b[i], static_cast<uint8_t>(i * 131 + bytes)) << bytes << " bytes, byte " << i;
  }
  FreeBlock(nullptr);
  // A region's pixels in such a block: copies and moves keep them.
  TImg wide(TRect{0, 0, 1023, 299}, TColor{0x00123456});
  wide.SetPixel(1023, 299, clBlack);
  const TImg copy = wide;
  const TImg moved = std::move(wide);
  EXPECT_EQ(copy.GetPixel(1023, 299), clBlack);
  EXPECT_EQ(moved.GetPixel(0, 0), TColor{0x00123456});
  EXPECT_EQ(moved.GetPixel(1023, 299), clBlack);
}

}  // namespace
}  // namespace ormax
