// The area-weighted copies of the base and of evaluate: whole-pixel moves are exact,
// a shape keeps its area, and no colour appears that the source did not have.
#include "model/Resampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <stdexcept>

#include "tests/Rasters.h"

namespace ormax {
namespace {

using testing::ColorOf;
using testing::PatternFromRows;

std::map<TColor, int64_t> ColourCounts(const TImg& p) {
  std::map<TColor, int64_t> counts;
  for (int32_t y = p.Top; y <= p.Bottom; ++y)
    for (int32_t x = p.Left; x <= p.Right; ++x) ++counts[p.GetPixel(x, y)];
  return counts;
}

// A disc of radius r in two colours (left half 'a', right half 'b'), centred.
TPattern TwoColourDisc(int r) {
  const int side = 2 * r + 3;
  TPattern p(TRect{10, 20, 10 + side - 1, 20 + side - 1}, clWhite);  // not at (0, 0)
  p.Clear();
  const double c = (side - 1) / 2.0;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      if ((x - c) * (x - c) + (y - c) * (y - c) <= r * r)
        p.SetPixel(p.Left + x, p.Top + y, ColorOf(x < c ? 'a' : 'b'));
  return p;
}

TEST(Resampling, AWholePixelMoveCopiesEveryPixelWithAWhiteRing) {
  const TPattern ell = PatternFromRows({"a...", "a...", "abbb"}, 5, 7);
  const TPattern same = ResamplePattern(ell, TResampling{});
  ASSERT_EQ(same.Width(), 6);
  ASSERT_EQ(same.Height(), 5);
  EXPECT_EQ(same.Left, 0);
  EXPECT_EQ(same.Top, 0);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const bool inner = x >= 1 && x <= 4 && y >= 1 && y <= 3;
      EXPECT_EQ(same.GetPixel(x, y), inner ? ell.GetPixel(5 + x - 1, 7 + y - 1) : clWhite)
          << x << ", " << y;
    }
  // Mirrored: left and right flipped; a half turn: both flipped.
  TResampling mirror;
  mirror.Mirror = true;
  const TPattern flipped = ResamplePattern(ell, mirror);
  TResampling half;
  half.Degrees = 180;
  const TPattern turned = ResamplePattern(ell, half);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(flipped.GetPixel(x + 1, y + 1), ell.GetPixel(5 + 3 - x, 7 + y));
      EXPECT_EQ(turned.GetPixel(x + 1, y + 1), ell.GetPixel(5 + 3 - x, 7 + 2 - y));
    }
  // A quarter turn clockwise on screen: the top row becomes the right column.
  TResampling quarter;
  quarter.Degrees = 90;
  const TPattern q = ResamplePattern(ell, quarter);
  ASSERT_EQ(q.Width(), 5);
  ASSERT_EQ(q.Height(), 6);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(q.GetPixel(x + 1, y + 1), ell.GetPixel(5 + y, 7 + 2 - x));
}

TEST(Resampling, TurnedAndScaledShapesKeepTheirAreaAndColours) {
  const TPattern disc = TwoColourDisc(30);
  const auto before = ColourCounts(disc);
  const double area = static_cast<double>(before.at(ColorOf('a')) + before.at(ColorOf('b')));
  for (double degrees : {0.0, 17.0, 45.0, 123.4, 301.0})
    for (double scale : {0.5, 0.7, 1.0, 1.6, 2.0})
      for (double shift : {0.0, 0.37}) {
        TResampling move;
        move.Degrees = degrees;
        move.Scale = scale;
        move.ShiftX = shift;
        move.ShiftY = -shift;
        const auto after = ColourCounts(ResamplePattern(disc, move));
        std::set<TColor> colours;
        for (const auto& [colour, count] : after) colours.insert(colour);
        EXPECT_EQ(colours, (std::set<TColor>{clWhite, ColorOf('a'), ColorOf('b')}))
            << degrees << " degrees at " << scale;
        const double turned = static_cast<double>(after.at(ColorOf('a')) + after.at(ColorOf('b')));
        EXPECT_NEAR(turned / (area * scale * scale), 1.0, 0.02)
            << degrees << " degrees at " << scale;
        // Each half keeps its share too: the colours are not smeared into each other.
        EXPECT_NEAR(static_cast<double>(after.at(ColorOf('a'))) / turned,
                    static_cast<double>(before.at(ColorOf('a'))) / area, 0.02);
      }
}

TEST(Resampling, RefusesScalesThatAreNotPositiveOrTooLarge) {
  const TPattern dot = PatternFromRows({"a"});
  for (double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
    TResampling move;
    move.Scale = bad;
    EXPECT_THROW(ResamplePattern(dot, move), std::invalid_argument) << bad;
  }
  TResampling huge;
  huge.Scale = 1e5;  // 100000 x 100000 pixels
  EXPECT_THROW(ResamplePattern(dot, huge), std::invalid_argument);
}

}  // namespace
}  // namespace ormax
