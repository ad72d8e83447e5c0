// The area-weighted copies of the base and of evaluate: whole-pixel moves are exact,
// a shape keeps its area, and no colour appears that the source did not have; the
// copies that skip what lands on white are those of every point voted on; and a base
// made of them on several threads is the one made on one.
#include "model/Resampling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include "app/AppState.h"
#include "app/BaseBuilder.h"
#include "codes/Errors.h"
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

// The copy as the moves define it, every point of every pixel looked up and voted on.
TPattern VotedCopy(const TImg& source, const TResampling& move) {
  const double a = move.Degrees * static_cast<double>(Pi) / 180, c = std::cos(a), s = std::sin(a);
  const double w = source.Width(), h = source.Height();
  const int outW = std::max(
      1, static_cast<int>(std::ceil((std::abs(w * c) + std::abs(h * s)) * move.Scale + 2 - 1e-9)));
  const int outH = std::max(
      1, static_cast<int>(std::ceil((std::abs(w * s) + std::abs(h * c)) * move.Scale + 2 - 1e-9)));
  TPattern out(TRect{0, 0, outW - 1, outH - 1}, clWhite);
  const double ox = (outW - 1) / 2.0 + move.ShiftX, oy = (outH - 1) / 2.0 + move.ShiftY;
  for (int y = 0; y < outH; ++y)
    for (int x = 0; x < outW; ++x) {
      std::vector<std::pair<TColor, int>> votes;  // in the order the colours came
      size_t best = 0;                            // the first to reach the most
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
          const double px = x - 0.5 + (i + 0.5) / 4, py = y - 0.5 + (j + 0.5) / 4;
          const double dx = (px - ox) / move.Scale, dy = (py - oy) / move.Scale;
          double sx = c * dx + s * dy + (w - 1) / 2;
          const double sy = -s * dx + c * dy + (h - 1) / 2;
          if (move.Mirror) sx = (w - 1) - sx;
          const double fx = std::floor(sx + 0.5), fy = std::floor(sy + 0.5);
          const TColor colour = fx >= 0 && fy >= 0 && fx < w && fy < h
                                    ? source.GetPixel(source.Left + static_cast<int>(fx),
                                                      source.Top + static_cast<int>(fy))
                                    : clWhite;
          auto v =
              std::find_if(votes.begin(), votes.end(), [&](auto& e) { return e.first == colour; });
          if (v == votes.end()) v = votes.insert(v, {colour, 0});
          if (++v->second > votes[best].second) best = static_cast<size_t>(v - votes.begin());
        }
      out.SetPixel(x, y, votes[best].first);
    }
  return out;
}

// Pictures whose copies take every way through the resampler: large blocks of one
// colour (taken a run at a time), edges between colours, noise (every pixel voted on),
// a shape touching the picture's edges, one pixel, and white alone.
std::vector<TPattern> TestPictures() {
  std::mt19937 random(7);
  std::vector<TPattern> pictures;
  TPattern blocks(TRect{-3, 5, 36, 33}, clWhite);
  blocks.Clear();
  for (int32_t y = 8; y <= 30; ++y)
    for (int32_t x = 0; x <= 31; ++x)
      if ((x - 15) * (x - 15) + (y - 19) * (y - 19) < 120 || (x > 20 && y > 24))
        blocks.SetPixel(x, y, ColorOf(x < 12 ? 'a' : y < 20 ? 'b' : 'c'));
  pictures.push_back(blocks);
  TPattern noise(TRect{0, 0, 17, 12}, clWhite);
  for (int32_t y = 0; y <= 12; ++y)
    for (int32_t x = 0; x <= 17; ++x) noise.SetPixel(x, y, ColorOf("..abc"[random() % 5]));
  pictures.push_back(noise);
  pictures.push_back(PatternFromRows({"aaab", "abbb", "aabb"}, 2, 1));  // edge to edge
  pictures.push_back(PatternFromRows({"a"}));
  pictures.push_back(PatternFromRows({"....", "...."}));
  return pictures;
}

TEST(Resampling, CopiesAreTheVoteOfEveryPointWholeOrInPart) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> angle(0, 360), shift(-0.5, 0.5);
  for (const TPattern& picture : TestPictures()) {
    const TResampler copies(picture);
    for (int k = 0; k < 24; ++k) {
      TResampling move;
      move.Degrees = k < 4 ? 90.0 * k : k < 12 ? 15.0 * k : angle(random);
      move.Scale = std::vector<double>{0.1, 0.35, 0.7, 1.0, 1.9, 3.0}[static_cast<size_t>(k % 6)];
      move.Mirror = k % 5 == 1;
      if (k >= 12) {
        move.ShiftX = shift(random);
        move.ShiftY = shift(random);
      }
      const std::string what = std::to_string(move.Degrees) + " degrees at " +
                               std::to_string(move.Scale) + (move.Mirror ? " mirrored" : "");
      const TPattern voted = VotedCopy(picture, move);
      const TPattern whole = ResamplePattern(picture, move);
      ASSERT_EQ(whole.GetBounds(), voted.GetBounds()) << what;
      EXPECT_TRUE(whole.Pixels == voted.Pixels) << what;
      // The part holds the whole copy's pixels where they are, and only white is left out.
      const TPattern part = copies.Part(move);
      ASSERT_GE(part.Width(), 1);
      int64_t differ = 0, leftOut = 0;
      for (int32_t y = voted.Top; y <= voted.Bottom; ++y)
        for (int32_t x = voted.Left; x <= voted.Right; ++x)
          if (part.InBounds(x, y))
            differ += part.GetPixel(x, y) != voted.GetPixel(x, y);
          else
            leftOut += voted.GetPixel(x, y) != clWhite;
      EXPECT_TRUE(voted.InBounds(part.Left, part.Top) && voted.InBounds(part.Right, part.Bottom))
          << what;
      EXPECT_EQ(differ, 0) << what;
      EXPECT_EQ(leftOut, 0) << what;
    }
  }
}

// A blob of radius r (half as high as wide) in colour c, centred at (x0, y0).
void DrawBlob(TPattern& p, int32_t x0, int32_t y0, int32_t r, char c) {
  for (int32_t y = y0 - r; y <= y0 + r; ++y)
    for (int32_t x = x0 - r; x <= x0 + r; ++x)
      if ((x - x0) * (x - x0) + 2 * (y - y0) * (y - y0) <= r * r) p.SetPixel(x, y, ColorOf(c));
}

// The pictures of a base by name: "one", a blob; "tail", a blob with a thin tail that
// breaks apart in some turned copy but not the first; "two", two blobs, which the first
// copy already shows.
std::map<std::string, TPattern> BlobPictures() {
  std::map<std::string, TPattern> files;
  TPattern one(TRect{0, 0, 39, 29}, clWhite), tail(one), two(one);
  one.Clear();
  DrawBlob(one, 20, 15, 12, 'a');
  DrawBlob(one, 24, 13, 4, 'b');
  tail.Clear();
  DrawBlob(tail, 8, 15, 6, 'a');
  for (int32_t x = 8; x < 38; ++x) tail.SetPixel(x, 15 + x / 2 % 2, ColorOf('a'));  // steps
  two.Clear();
  DrawBlob(two, 9, 9, 6, 'a');
  DrawBlob(two, 28, 20, 7, 'b');
  files.emplace("one", one);
  files.emplace("tail", tail);
  files.emplace("two", two);
  return files;
}

// The copies of a picture one after the other, each made whole and analysed as a scene
// alone: the codes of its entries added to made, and "", or the message of the first
// copy without exactly one region.
std::string CopiesOneAfterAnother(const TPattern& picture, const std::string& shape,
                                  const TBaseOptions& options, std::vector<TByteArray>& made) {
  for (int m = 0; m < 2; ++m)
    for (const double scale : options.Scales)
      for (int32_t k = 0; k < options.Turns; ++k) {
        TResampling move;
        move.Degrees = 360.0 * k / options.Turns;
        move.Scale = scale;
        move.Mirror = m == 1;
        TAppState s;
        s.Threads = 1;
        s.MaxTreeLevel = options.MaxTreeLevel;
        s.SceneImage = std::make_unique<TPattern>(ResamplePattern(picture, move));
        s.BuildSceneCodes();
        if (const int32_t n = s.SceneCodes.Count(); n != 1)
          return std::to_string(n) + " regions in the copy " +
                 TurnName(shape, move.Degrees, m == 1, scale) +
                 ", a base picture needs exactly one";
        made.push_back(s.SceneCodes.GetCode(0).SaveToBytes());
      }
  return "";
}

TEST(Resampling, ABaseOnSeveralThreadsIsTheBaseOfOneCopyAfterAnother) {
  // The blobs (BlobPictures), "one" twice, and a file that cannot be read.
  const std::map<std::string, TPattern> files = BlobPictures();
  TBaseOptions options;
  options.Turns = 8;
  options.Mirror = true;
  options.Scales = {1.0, 0.6};
  const std::vector<TBasePicture> pictures{
      {"one", "one"}, {"tail", "tail"}, {"gone", "gone"}, {"two", "two"}, {"one", "again"}};
  const auto load = [&](const TBasePicture& p) {
    if (!files.count(p.File)) throw EReadError(p.File + ": cannot read the picture", p.File, "");
    return std::make_unique<TPattern>(files.at(p.File));
  };
  std::vector<TByteArray> expectedCodes, unused;
  ASSERT_EQ(CopiesOneAfterAnother(files.at("one"), "one", options, expectedCodes), "");
  const std::string broken = CopiesOneAfterAnother(files.at("tail"), "tail", options, unused);
  ASSERT_NE(broken, "");
  EXPECT_EQ(broken.find("tail@0,"), std::string::npos) << broken;  // not the first copy
  const std::vector<std::string> expected{
      "tail: " + broken, "gone: cannot read the picture",
      "two: " + CopiesOneAfterAnother(files.at("two"), "two", options, unused)};
  for (const int32_t threads : {1, 2, 3}) {
    options.Threads = threads;
    TCodeBase base;
    std::vector<std::string> problems;
    BuildBase(pictures, load, options, base, problems);
    EXPECT_EQ(problems, expected) << threads << " threads";
    ASSERT_EQ(base.Count(), 2 * 2 * 8 * 2) << threads << " threads";
    for (int32_t i = 0; i < base.Count(); ++i) {
      const bool again = i >= base.Count() / 2;
      const int32_t k = i % (2 * 8 * 2);
      const double scale = options.Scales[static_cast<size_t>(k / 8 % 2)];
      EXPECT_EQ(base.Names(i),
                TurnName(again ? "again" : "one", 360.0 * (k % 8) / 8, k >= 16, scale));
      EXPECT_EQ(base.GetCode(i).SaveToBytes(), expectedCodes[static_cast<size_t>(k)])
          << base.Names(i) << " on " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace ormax
