#include "analysis/Methods.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "tests/ExtendedValues.h"
#include "tests/Rasters.h"
#include "tests/Reference.h"
#include "tests/TestCanvas.h"

namespace ormax {
namespace {

using testing::ColorOf;
using testing::PatternFromRows;

TRectangle RectOf(const TTree& leaf) {
  return TRectangle::CreateFromBytes(leaf.Data);
}

std::vector<TRectangle> Leaves(const TTree& root) {
  std::vector<const TByteArray*> refs;
  root.CollectData(refs);
  std::vector<TRectangle> out;
  for (auto* r : refs) out.push_back(TRectangle::CreateFromBytes(*r));
  return out;
}

void ExpectRect(const TRectangle& r, TRect bounds, TColor color) {
  EXPECT_EQ(r.GetBounds(), bounds);
  EXPECT_EQ(r.Color, color);
}

// ---- quadtree: the tree of nodes of tests/Reference, the yardstick of the compact
// TQuadTree (QuadTreeTest, FastPathsTest) ----

TEST(QuadTree, OneColourIsASingleLeaf) {
  TPattern p = PatternFromRows({"aaa", "aaa"}, 4, 7);
  TTree root;
  reference::BuildQuadTree(p, root);
  EXPECT_TRUE(root.Children.empty());
  ExpectRect(RectOf(root), TRect{4, 7, 6, 8}, ColorOf('a'));
}

TEST(QuadTree, TwoByTwoOfMixedColoursSplitsIntoPixels) {
  TPattern p = PatternFromRows({"aa", "ab"});
  TTree root;
  reference::BuildQuadTree(p, root);
  EXPECT_TRUE(root.Data.empty());
  ASSERT_EQ(root.Children.size(), 4u);
  ExpectRect(RectOf(*root.Children[0]), TRect{0, 0, 0, 0}, ColorOf('a'));
  ExpectRect(RectOf(*root.Children[1]), TRect{1, 0, 1, 0}, ColorOf('a'));
  ExpectRect(RectOf(*root.Children[2]), TRect{0, 1, 0, 1}, ColorOf('a'));
  ExpectRect(RectOf(*root.Children[3]), TRect{1, 1, 1, 1}, ColorOf('b'));
}

TEST(QuadTree, UniformQuadrantsStayWhole) {
  TTree root;
  reference::BuildQuadTree(PatternFromRows({"bb..", "bb..", "....", "...."}), root);
  ASSERT_EQ(root.Children.size(), 4u);
  for (const auto& child : root.Children) EXPECT_TRUE(child->Children.empty());
  ExpectRect(RectOf(*root.Children[0]), TRect{0, 0, 1, 1}, ColorOf('b'));
  ExpectRect(RectOf(*root.Children[3]), TRect{2, 2, 3, 3}, clWhite);

  TTree split;
  reference::BuildQuadTree(PatternFromRows({"bc..", "bb..", "....", "...."}), split);
  ASSERT_EQ(split.Children[0]->Children.size(), 4u);
  EXPECT_EQ(Leaves(split).size(), 7u);
  ExpectRect(RectOf(*split.Children[0]->Children[1]), TRect{1, 0, 1, 0}, ColorOf('c'));
}

TEST(QuadTree, OddSizesGiveTheExtraColumnToTheLeftAndRowToTheTop) {
  TTree root;
  reference::BuildQuadTree(
      PatternFromRows({"a....", ".....", ".....", ".....", "....."}, 10, 20), root);
  ASSERT_EQ(root.Children.size(), 4u);
  ExpectRect(RectOf(*root.Children[1]), TRect{13, 20, 14, 22}, clWhite);  // 2 wide, 3 high
  ExpectRect(RectOf(*root.Children[2]), TRect{10, 23, 12, 24}, clWhite);  // 3 wide, 2 high
  ExpectRect(RectOf(*root.Children[3]), TRect{13, 23, 14, 24}, clWhite);
  EXPECT_EQ(root.Children[0]->Children.size(), 4u);  // the 3 x 3 with the dot
}

TEST(QuadTree, ColoursDifferingInOneBitAreDifferent) {
  TPattern p(TRect{0, 0, 1, 0}, clWhite);
  p.SetPixel(0, 0, 0x00101010);
  p.SetPixel(1, 0, 0x00101011);
  TTree root;
  reference::BuildQuadTree(p, root);
  EXPECT_EQ(root.Children.size(), 4u);
}

TEST(QuadTree, OnePixelWideCellsKeepEmptyQuadrantsAsEmptyNodes) {
  // A column 1 wide, 3 high: the right quadrants have no pixels.
  TTree root;
  reference::BuildQuadTree(PatternFromRows({"a", "b", "b"}), root);
  ASSERT_EQ(root.Children.size(), 4u);
  for (int k : {1, 3}) {
    ASSERT_NE(root.Children[k], nullptr);
    EXPECT_TRUE(root.Children[k]->Data.empty());
    EXPECT_TRUE(root.Children[k]->Children.empty());
  }
  const auto leaves = Leaves(root);
  ASSERT_EQ(leaves.size(), 3u);  // (0,0..1) splits again into two single pixels
  ExpectRect(leaves[0], TRect{0, 0, 0, 0}, ColorOf('a'));
  ExpectRect(leaves[1], TRect{0, 1, 0, 1}, ColorOf('b'));
  ExpectRect(leaves[2], TRect{0, 2, 0, 2}, ColorOf('b'));

  TTree row;  // and the same for a row one pixel high
  reference::BuildQuadTree(PatternFromRows({"aab"}), row);
  EXPECT_TRUE(row.Children[2]->Data.empty());
  EXPECT_TRUE(row.Children[3]->Data.empty());
  const auto rowLeaves = Leaves(row);  // "aa" stays whole on the left
  ASSERT_EQ(rowLeaves.size(), 2u);
  ExpectRect(rowLeaves[0], TRect{0, 0, 1, 0}, ColorOf('a'));
  EXPECT_EQ(row.Depth(), 1);
}

TEST(QuadTree, LeavesTileRandomImagesExactly) {
  std::mt19937 rng(4);
  for (int round = 0; round < 200; ++round) {
    const int w = 1 + static_cast<int>(rng() % 13), h = 1 + static_cast<int>(rng() % 13);
    const int colours = 1 + static_cast<int>(rng() % 3);
    TImg img(-3, 5, -3 + w - 1, 5 + h - 1);
    for (int x = img.Left; x <= img.Right; ++x)
      for (int y = img.Top; y <= img.Bottom; ++y)
        img.SetPixel(x, y, static_cast<TColor>(rng() % colours));
    TTree root;
    reference::BuildQuadTree(img, root);
    std::vector<int> covered(static_cast<size_t>(w * h), 0);
    for (const TRectangle& r : Leaves(root)) {
      for (int x = r.Left; x <= r.Right; ++x)
        for (int y = r.Top; y <= r.Bottom; ++y) {
          ASSERT_TRUE(img.InBounds(x, y));
          EXPECT_EQ(img.GetPixel(x, y), r.Color);
          ++covered[static_cast<size_t>((y - img.Top) * w + (x - img.Left))];
        }
    }
    for (int c : covered) ASSERT_EQ(c, 1) << "round " << round;
  }
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

using testing::ColorOf;
using testing::PatternFromRows;

// ---- segmentation ----

std::vector<std::vector<std::string>> RegionsAsRows(const TPatternList& list) {
  std::vector<std::vector<std::string>> out;
  for (const auto& region : list) {
    std::vector<std::string> rows;
    for (int32_t y = region->Top; y <= region->Bottom; ++y) {
      std::string row;
      for (int32_t x = region->Left; x <= region->Right; ++x) {
        const TColor c = region->GetPixel(x, y);
        char ch = '?';
        for (char k : std::string(".abcdefgh#"))
          if (ColorOf(k) == c) ch = k;
        row += ch;
      }
      rows.push_back(row);
    }
    out.push_back(rows);
  }
  return out;
}

TEST(Segmentation, RegionsAreEightConnectedAndKeepTheirColours) {
  TPatternList list;
  SegmentPattern(PatternFromRows({"aa..b", "ab...", "..c..", "....."}), list);
  // "aa/ab" touches "c" only at a corner: one region; "b" on the right is apart.
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(RegionsAsRows(list),
            (std::vector<std::vector<std::string>>{{"aa.", "ab.", "..c"}, {"b"}}));
  EXPECT_EQ(list.Items(0).GetBounds(), (TRect{0, 0, 2, 2}));
  EXPECT_EQ(list.Items(1).GetBounds(), (TRect{4, 0, 4, 0}));
  EXPECT_EQ(list.Items(1).Background(), clWhite);
}

TEST(Segmentation, OnePixelGapSeparatesAndOtherRegionsAreBackground) {
  TPatternList list;
  SegmentPattern(PatternFromRows({"a.b..", "a.b..", "a....", "aaaaa"}, 3, 4), list);
  ASSERT_EQ(list.Count(), 2);
  // The L's box holds the "b" column, which is background in the L's pattern.
  EXPECT_EQ(RegionsAsRows(list), (std::vector<std::vector<std::string>>{
                                     {"a....", "a....", "a....", "aaaaa"}, {"b", "b"}}));
  EXPECT_EQ(list.Items(1).GetBounds(), (TRect{5, 4, 5, 5}));
}

TEST(Segmentation, RegionsComeInTheOrderOfTheirFirstQuadtreeCell) {
  // Leaf order visits the top-left quadrant first: "b" (bottom-left of it) comes
  // before "a" in the top-right quadrant although "a" is on the first row.
  TPatternList list;
  SegmentPattern(PatternFromRows({"....a...", "........", "........", ".b......", "........",
                                  "........", "........", "c......."}),
                 list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(0).GetPixel(1, 3), ColorOf('b'));
  EXPECT_EQ(list.Items(1).GetPixel(4, 0), ColorOf('a'));
  EXPECT_EQ(list.Items(2).GetPixel(0, 7), ColorOf('c'));
}

TEST(Segmentation, EmptyScenesAndSinglePixels) {
  TPatternList list;
  SegmentPattern(PatternFromRows({"...", "..."}), list);
  EXPECT_EQ(list.Count(), 0);
  SegmentPattern(PatternFromRows({"...", ".#."}), list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).GetBounds(), (TRect{1, 1, 1, 1}));
  SegmentPattern(PatternFromRows({"#"}), list);  // appends, keeps what was there
  EXPECT_EQ(list.Count(), 2);
}

TEST(Segmentation, MatchesAFloodFillOnRandomScenes) {
  std::mt19937 rng(11);
  for (int round = 0; round < 150; ++round) {
    const int w = 1 + static_cast<int>(rng() % 17), h = 1 + static_cast<int>(rng() % 17);
    TPattern scene(TRect{0, 0, w - 1, h - 1}, clWhite);
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y)
        scene.SetPixel(x, y, rng() % 3 == 0 ? static_cast<TColor>(rng() % 2) : clWhite);
    TPatternList list;
    SegmentPattern(scene, list);
    // In bands (here a row or two each, the last band run first): regions met again
    // in later bands, joined only below, or spanning every band give the same list.
    TPatternList banded;
    SegmentPattern(scene, banded, [](int32_t n, const std::function<void(int32_t)>& part) {
      for (int32_t b = n - 1; b >= 0; --b) part(b);
    });
    ASSERT_EQ(banded.Count(), list.Count()) << "round " << round;
    for (int32_t r = 0; r < list.Count(); ++r) {
      EXPECT_EQ(banded.Items(r).GetBounds(), list.Items(r).GetBounds()) << "round " << round;
      EXPECT_TRUE(banded.Items(r).Pixels == list.Items(r).Pixels) << "round " << round;
    }
    // Label each pixel with its region, and check that every 8-neighbour pair of
    // inside pixels shares a region and that every inside pixel is in one region.
    std::vector<int> label(static_cast<size_t>(w * h), -1);
    for (int32_t r = 0; r < list.Count(); ++r) {
      const TPattern& region = list.Items(r);
      EXPECT_EQ(region.GetInsideBounds(), region.GetBounds());
      for (int x = region.Left; x <= region.Right; ++x)
        for (int y = region.Top; y <= region.Bottom; ++y)
          if (region.IsInside(x, y)) {
            EXPECT_EQ(region.GetPixel(x, y), scene.GetPixel(x, y));
            ASSERT_EQ(label[static_cast<size_t>(y * w + x)], -1);
            label[static_cast<size_t>(y * w + x)] = r;
          }
    }
    for (int x = 0; x < w; ++x)
      for (int y = 0; y < h; ++y) {
        const int l = label[static_cast<size_t>(y * w + x)];
        ASSERT_EQ(l >= 0, scene.IsInside(x, y));
        if (l < 0) continue;
        for (int dx = -1; dx <= 1; ++dx)
          for (int dy = -1; dy <= 1; ++dy)
            if (scene.InBounds(x + dx, y + dy) && scene.IsInside(x + dx, y + dy)) {
              ASSERT_EQ(label[static_cast<size_t>((y + dy) * w + x + dx)], l);
            }
      }
  }
}

// ---- ellipse fitting ----

const Real kInvSqrt3 = 1 / Sqrt(Real(3));

TEST(Ellipses, SinglePixel) {
  TPattern p = PatternFromRows({"#"}, 7, 9);
  TEllipse e;
  FitEllipse(p, e);
  EXPECT_EQ(e.Center[0], Real(7.0));
  EXPECT_EQ(e.Center[1], Real(9.0));
  EXPECT_EQ(e.Rotation[0][0], Real(1.0));
  EXPECT_EQ(e.Rotation[0][1], Real(0.0));
  EXPECT_EQ(e.Rotation[1][0], Real(0.0));
  EXPECT_EQ(e.Rotation[1][1], Real(1.0));
  EXPECT_NEAR(AsDouble(e.Axes[0]), AsDouble(kInvSqrt3), 1e-15);
  EXPECT_EQ(e.Axes[0], e.Axes[1]);
  EXPECT_EQ(e.Exponent, 2.0);
  EXPECT_EQ(e.Color, ColorOf('#'));
  EXPECT_EQ(EllipseError(p, e), 0.0);
}

TEST(Ellipses, TwoPixels) {
  TEllipse e;
  FitEllipse(PatternFromRows({"ab"}), e);
  EXPECT_EQ(e.Center[0], Real(0.5));
  EXPECT_EQ(e.Center[1], Real(0.0));
  EXPECT_EQ(e.Rotation[0][0], Real(1.0));
  EXPECT_EQ(e.Rotation[1][1], Real(1.0));
  EXPECT_EQ(e.Rotation[0][1], Real(0.0));
  EXPECT_NEAR(AsDouble(e.Axes[0]), AsDouble(2 * Sqrt(Real(1.0) / 3)), 1e-15);
  EXPECT_NEAR(AsDouble(e.Axes[1]), AsDouble(kInvSqrt3), 1e-15);
  EXPECT_EQ(e.Color, ColorOf('b'));  // the last inside pixel of the scan
}

TEST(Ellipses, BarsLieAlongTheirFirstAxis) {
  for (int w : {2, 5, 30}) {
    TEllipse e;
    FitEllipse(PatternFromRows({std::string(static_cast<size_t>(w), '#')}, 3, 4), e);
    EXPECT_NEAR(AsDouble(e.Axes[0]), AsDouble(w * kInvSqrt3), 1e-14) << w;
    EXPECT_NEAR(AsDouble(e.Axes[1]), AsDouble(kInvSqrt3), 1e-15) << w;
    EXPECT_EQ(e.Rotation[0][0], Real(1.0));
    EXPECT_EQ(e.Rotation[1][0], Real(0.0));
    // Stored as -0: a formula -c/n of the eigenvectors, kept as written.
    EXPECT_TRUE(SignBit(e.Rotation[1][0])) << w;
  }
  TEllipse v;
  FitEllipse(PatternFromRows({"#", "#", "#", "#"}), v);
  EXPECT_EQ(v.Rotation[0][0], Real(0.0));
  EXPECT_EQ(v.Rotation[1][0], Real(1.0));   // first axis down the column
  EXPECT_EQ(v.Rotation[0][1], -Real(1.0));  // second axis towards negative x
  EXPECT_EQ(v.Rotation[1][1], Real(0.0));
  EXPECT_NEAR(AsDouble(v.Axes[0]), AsDouble(4 * kInvSqrt3), 1e-14);
}

TEST(Ellipses, SquaresGetTheIdentity) {
  for (int s : {2, 3, 6}) {
    std::vector<std::string> rows(static_cast<size_t>(s), std::string(static_cast<size_t>(s), '#'));
    TEllipse e;
    FitEllipse(PatternFromRows(rows), e);
    EXPECT_EQ(e.Rotation[0][0], Real(1.0));
    EXPECT_EQ(e.Rotation[0][1], Real(0.0));
    EXPECT_EQ(e.Rotation[1][0], Real(0.0));
    EXPECT_EQ(e.Rotation[1][1], Real(1.0));
    EXPECT_NEAR(AsDouble(e.Axes[0]), AsDouble(s * kInvSqrt3), 1e-14);
    EXPECT_EQ(e.Axes[0], e.Axes[1]);
  }
}

TEST(Ellipses, FirstAxisPointsToTheHeavierSide) {
  // An L with its upright on the right: 5 of its 9 pixels lie right of the centroid
  // (x = 3.67), so the first axis points right.
  TPattern l = PatternFromRows({"......#", "......#", "#######"});
  TEllipse e;
  FitEllipse(l, e);
  int pos = 0, neg = 0;
  for (int x = l.Left; x <= l.Right; ++x)
    for (int y = l.Top; y <= l.Bottom; ++y)
      if (l.IsInside(x, y)) {
        if (e.ToLocal(x, y)[0] >= 0)
          ++pos;
        else
          ++neg;
      }
  EXPECT_GE(pos, neg);
  EXPECT_GT(e.Rotation[0][0], 0);
  // Mirrored, the axis turns round.
  TEllipse m;
  FitEllipse(PatternFromRows({"#......", "#......", "#######"}), m);
  EXPECT_LT(m.Rotation[0][0], 0);
}

TEST(Ellipses, ErrorMeasuresTheMismatch) {
  TPattern square = PatternFromRows({"###", "###", "###"});
  TEllipse e;
  FitEllipse(square, e);
  // Semi-axes 3/sqrt3 = 1.73: the corners (distance 1.41) are inside, so all 9 match.
  EXPECT_EQ(EllipseError(square, e), 0.0);
  TEllipse far = e;
  far.Center = MakeVector(100, 100);
  EXPECT_EQ(EllipseError(square, far), 1.0);
  TPattern ring = PatternFromRows({"###", "#.#", "###"});
  TEllipse r;
  FitEllipse(ring, r);
  EXPECT_EQ(EllipseError(ring, r),
            static_cast<double>(Real(1.0) - Real(8.0) / 9));  // the hole is covered, not inside
  TPattern empty(TRect{0, 0, 1, 1}, clWhite);
  empty.Clear();
  EXPECT_THROW(FitEllipse(empty, e), std::invalid_argument);
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

using testing::PatternFromRows;
using testing::TestCanvas;

TPattern Blob() {
  return PatternFromRows(
      {"..####....", ".######...", "########..", "##########", ".#########", "....######"}, 5, 7);
}

std::vector<int32_t> IndicesOf(const TCode& code) {
  std::vector<int32_t> out;
  for (const auto& item : code.Items) out.push_back(item.Index);
  return out;
}

// ---- representation trees ----

TEST(Representation, MaximumLevelZeroGivesOneNode) {
  TTree t;
  BuildRepresentation(Blob(), t, 0, -5.0, 0);
  EXPECT_TRUE(t.Children.empty());
  EXPECT_EQ(t.Data.size(), 76u);
  TCode code;
  TreeToCode(t, code);
  ASSERT_EQ(code.Items.size(), 1u);
  EXPECT_EQ(code.Items[0].Index, 0);
  EXPECT_EQ(code.Items[0].HasChildren, 0);
  EXPECT_EQ(code.Arity, 2);
  EXPECT_EQ(code.Depth(), 0);
}

TEST(Representation, TheAdmissibleErrorDecidesASplit) {
  const TPattern blob = Blob();
  TEllipse e;
  FitEllipse(blob, e);
  const double err = EllipseError(blob, e);
  ASSERT_GT(err, 0.0);
  TTree atError, belowError, always;
  BuildRepresentation(blob, atError, 5, err, 0);  // equal: no split
  EXPECT_TRUE(atError.Children.empty());
  BuildRepresentation(blob, belowError, 5, std::nextafter(err, 0.0), 0);
  EXPECT_EQ(belowError.Children.size(), 2u);
  BuildRepresentation(blob, always, 5, 1.0, 0);  // errors never exceed 1
  EXPECT_TRUE(always.Children.empty());
}

TEST(Representation, ErrorZeroSplitsDownToTheMaximumLevel) {
  TTree t;
  BuildRepresentation(Blob(), t, 2, 0.0, 0);
  EXPECT_EQ(t.Depth(), 2);
  // Every node holds its ellipse; the first child the non-negative side of the root.
  const TEllipse root = TEllipse::CreateFromBytes(t.Data);
  const TEllipse first = TEllipse::CreateFromBytes(t.Children[0]->Data);
  const TEllipse second = TEllipse::CreateFromBytes(t.Children[1]->Data);
  EXPECT_GE(root.ToLocal(first.Center)[0], 0);
  EXPECT_LT(root.ToLocal(second.Center)[0], 0);
}

TEST(Representation, OnePixelPartsAndEmptyHalvesStayLeaves) {
  TTree pixel;
  BuildRepresentation(PatternFromRows({"#"}), pixel, 3, 0.0, 0);
  EXPECT_TRUE(pixel.Children.empty());
  // A negative error would split every part; a half without pixels ends the branch.
  TTree negative;
  BuildRepresentation(PatternFromRows({"#"}), negative, 3, -1.0, 0);
  EXPECT_TRUE(negative.Children.empty());
  TTree bar;
  BuildRepresentation(PatternFromRows({"########"}), bar, 100, -1.0, 0);
  std::vector<const TByteArray*> leaves;
  bar.CollectData(leaves);
  EXPECT_EQ(bar.Depth(), 3);  // 8 -> 4 -> 2 -> 1 pixel
  EXPECT_EQ(leaves.size(), 15u);
}

TEST(Representation, NoNodeBelowLevelThirty) {
  TTree t;
  BuildRepresentation(PatternFromRows({"########"}), t, 1000, -1.0, 29);
  EXPECT_EQ(t.Depth(), 1);  // the root at level 29 may split once, its children not
  TTree deep;
  BuildRepresentation(PatternFromRows({"########"}), deep, 1000, -1.0, 30);
  EXPECT_TRUE(deep.Children.empty());
}

TEST(Representation, ItemsComeInIndexOrder) {
  // Root and its second child split: 0, 1, 2, 5, 6.
  auto leaf = [](uint8_t tag) {
    auto n = std::make_unique<TTree>();
    n->Data = {tag};
    return n;
  };
  TTree root;
  root.Data = {0};
  root.Children.push_back(leaf(1));
  root.Children.push_back(leaf(2));
  root.Children[1]->Children.push_back(leaf(5));
  root.Children[1]->Children.push_back(leaf(6));
  TCode code;
  code.Items.push_back(TCodeItem{0, 99, {}});
  TreeToCode(root, code);
  EXPECT_EQ(IndicesOf(code), (std::vector<int32_t>{0, 1, 2, 5, 6}));
  std::vector<int> flags, tags;
  for (const auto& item : code.Items) {
    flags.push_back(item.HasChildren);
    tags.push_back(item.Data[0]);
  }
  EXPECT_EQ(flags, (std::vector<int>{1, 0, 1, 0, 0}));
  EXPECT_EQ(tags, (std::vector<int>{0, 1, 2, 5, 6}));
  EXPECT_EQ(code.Arity, 2);
  EXPECT_EQ(code.Depth(), 2);
  TCodeItem a{0, 3, {}}, b{0, 4, {}};
  EXPECT_EQ(CompareItemsByIndex(a, b), -1);
  EXPECT_EQ(CompareItemsByIndex(b, a), 1);
  EXPECT_EQ(CompareItemsByIndex(a, a), 0);
}

TEST(Representation, NormalisedRootIsTheUnitFrame) {
  const TPattern blob = Blob();
  TTree t;
  BuildRepresentation(blob, t, 2, 0.0, 0);
  auto n = TTree::CreateCopy(t);
  NormaliseTree(blob, *n);
  const TEllipse root = TEllipse::CreateFromBytes(n->Data);
  EXPECT_NEAR(AsDouble(root.Center[0]), AsDouble(0), 1e-15);
  EXPECT_NEAR(AsDouble(root.Center[1]), AsDouble(0), 1e-15);
  EXPECT_NEAR(AsDouble(root.Rotation[0][0]), AsDouble(1), 1e-15);
  EXPECT_NEAR(AsDouble(root.Rotation[0][1]), AsDouble(0), 1e-15);
  EXPECT_NEAR(AsDouble(root.Rotation[1][0]), AsDouble(0), 1e-15);
  EXPECT_NEAR(AsDouble(root.Rotation[1][1]), AsDouble(1), 1e-15);
  EXPECT_NEAR(std::hypot(AsDouble(root.Axes[0]), AsDouble(root.Axes[1])), AsDouble(1), 1e-15);
  EXPECT_EQ(root.Color, TEllipse::CreateFromBytes(t.Data).Color);
  EXPECT_NE(n->Children[0]->Data, t.Children[0]->Data);  // the source is untouched

  // A copy shifted by whole pixels gives, up to rounding, the same normalised tree.
  TPattern moved = blob;
  moved.Left += 100;
  moved.Right += 100;
  moved.Top -= 3;
  moved.Bottom -= 3;
  TTree tm;
  BuildRepresentation(moved, tm, 2, 0.0, 0);
  NormaliseTree(moved, tm);
  std::vector<const TByteArray*> a, b;
  n->CollectData(a);
  tm.CollectData(b);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const TEllipse ea = TEllipse::CreateFromBytes(*a[i]), eb = TEllipse::CreateFromBytes(*b[i]);
    EXPECT_NEAR(AsDouble(ea.Center[0]), AsDouble(eb.Center[0]), 1e-12);
    EXPECT_NEAR(AsDouble(ea.Center[1]), AsDouble(eb.Center[1]), 1e-12);
    EXPECT_NEAR(AsDouble(ea.Axes[0]), AsDouble(eb.Axes[0]), 1e-12);
    EXPECT_NEAR(AsDouble(ea.Rotation[1][0]), AsDouble(eb.Rotation[1][0]), 1e-12);
  }
}

size_t EllipsesDrawn(const TTree& t, int32_t maxViewLevel) {
  TestCanvas canvas(40, 40);
  DrawRepresentation(t, canvas, false, 0, maxViewLevel);
  size_t moves = 0;
  for (const auto& p : canvas.path) moves += !p.Drawn;
  return moves;
}

TEST(Representation, DrawingStopsAtTheViewLevel) {
  TTree t;
  BuildRepresentation(Blob(), t, 2, 0.0, 0);
  ASSERT_EQ(t.Depth(), 2);
  ASSERT_EQ(t.Children[0]->Children.size(), 2u);
  ASSERT_EQ(t.Children[1]->Children.size(), 2u);
  EXPECT_EQ(EllipsesDrawn(t, 0), 1u);
  EXPECT_EQ(EllipsesDrawn(t, 1), 2u);
  EXPECT_EQ(EllipsesDrawn(t, 2), 4u);
  EXPECT_EQ(EllipsesDrawn(t, -1), 4u);  // never stops: the leaves
  TTree leaf;
  BuildRepresentation(PatternFromRows({"#"}), leaf, 2, 0.0, 0);
  EXPECT_EQ(EllipsesDrawn(leaf, 1), 1u);  // a leaf above the view level is drawn

  TestCanvas filled(40, 40);
  DrawRepresentation(leaf, filled, true, 0, 0);
  EXPECT_TRUE(filled.path.empty());
  EXPECT_EQ(filled.GetPixel(0, 0), testing::ColorOf('#'));
}

// ---- comparison and recognition ----

TEllipse Circle(Real cx, Real cy, Real r) {
  TEllipse e;
  e.Center = MakeVector(cx, cy);
  e.Rotation = IdentityMatrix;
  e.Axes = MakeVector(r, r);
  e.Exponent = 2;
  return e;
}

TEST(Recognition, CompareEllipses) {
  const TEllipse a = Circle(0, 0, 1), b = Circle(Real(3) / 10, 0, 1);
  EXPECT_EQ(CompareEllipses(a, a), 0.0);
  EXPECT_EQ(CompareEllipses(a, Circle(10, 0, 1)), 1.0);
  const double ab = CompareEllipses(a, b);
  EXPECT_GT(ab, 0.05);
  EXPECT_LT(ab, 0.5);
  EXPECT_EQ(ab, CompareEllipses(b, a));
  // Too thin for the grid: no point falls inside either.
  TEllipse thin = Circle(0, 0, 1);
  thin.Axes = MakeVector(1, Real(1) / Real(1e9));
  thin.Center = MakeVector(0, Real(1) / 100);
  EXPECT_EQ(CompareEllipses(thin, thin), 1.0);
  // Degenerate extents end and answer 1.
  const Real inf = Real(std::numeric_limits<double>::infinity());
  const Real nan = Real(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(CompareEllipses(Circle(0, 0, 0), Circle(0, 0, 0)), 1.0);
  EXPECT_EQ(CompareEllipses(Circle(0, 0, inf), Circle(0, 0, 1)), 1.0);
  EXPECT_EQ(CompareEllipses(Circle(nan, 0, 1), Circle(0, 0, 1)), 1.0);
}

TCodeItem Item(int32_t index, bool inner, const TEllipse& e) {
  TCodeItem item;
  item.Index = index;
  item.HasChildren = inner ? 1 : 0;
  e.SaveToBytes(item.Data);
  return item;
}

TCode CodeOf(std::vector<TCodeItem> items) {
  TCode c;
  c.Arity = 2;
  c.Items = std::move(items);
  return c;
}

TEST(Recognition, CodeDistanceWeighsSharedLeavesByLevel) {
  const TEllipse r1 = Circle(0, 0, 1), r2 = Circle(Real(2) / 10, 0, 1);
  const TEllipse c1 = Circle(-Real(0.5), 0, Real(0.5)), c2 = Circle(Real(0.5), 0, Real(0.5));
  const TEllipse d1 = Circle(Real(-4) / 10, Real(1) / 10, Real(0.5)), d2 = Circle(Real(0.5), 0, Real(6) / 10);

  const TCode single1 = CodeOf({Item(0, false, r1)});
  const TCode single2 = CodeOf({Item(0, false, r2)});
  EXPECT_EQ(CodeDistance(single1, single1), 0.0);
  EXPECT_EQ(CodeDistance(single1, single2), CompareEllipses(r1, r2));

  const TCode split1 = CodeOf({Item(0, true, r1), Item(1, false, c1), Item(2, false, c2)});
  const TCode split2 = CodeOf({Item(0, true, r2), Item(1, false, d1), Item(2, false, d2)});
  EXPECT_EQ(CodeDistance(split1, split1), 0.0);
  const double s1 = 1 - CompareEllipses(c1, d1), s2 = 1 - CompareEllipses(c2, d2);
  EXPECT_DOUBLE_EQ(CodeDistance(split1, split2), 0.5 * (1 - s1) + 0.5 * (1 - s2));

  // A lone root against a base split down to depth H = 2: the root's overlap is
  // halved twice.
  const TCode deep = CodeOf({Item(0, true, r2), Item(1, false, d1), Item(2, true, d2),
                             Item(5, false, c1), Item(6, false, c2)});
  EXPECT_EQ(deep.Depth(), 2);
  EXPECT_DOUBLE_EQ(CodeDistance(single1, deep), 1 - (1 - CompareEllipses(r1, r2)) * 0.25);
  // And the other way round: the base leaf against the deeper scene tree.
  EXPECT_DOUBLE_EQ(CodeDistance(deep, single1), 1 - (1 - CompareEllipses(r2, r1)) * 0.25);
}

TEST(Recognition, CodeDistanceOfDamagedCodesStaysSmall) {
  const TEllipse r = Circle(0, 0, 1), other = Circle(Real(0.5), 0, 1);
  // A last position of 2^31 - 2 must not cost a table of that size.
  TCode far = CodeOf({Item(0, false, r), Item(std::numeric_limits<int32_t>::max() - 1, false, r)});
  TCode plain = CodeOf({Item(0, false, r)});
  EXPECT_EQ(CodeDistance(plain, far), 0.0);
  // A repeated position: the item later in the code wins.
  TCode repeated = CodeOf({Item(0, false, other), Item(0, false, r)});
  EXPECT_EQ(CodeDistance(plain, repeated), 0.0);
  EXPECT_EQ(CodeDistance(repeated, plain), 0.0);
  // Items beyond the last position or before 0 take no part.
  TCode stray = CodeOf(
      {Item(0, false, r), Item(-4, false, other), Item(3, false, other), Item(1, false, other)});
  EXPECT_EQ(stray.LastIndex(), 1);
  EXPECT_EQ(CodeDistance(plain, stray), 0.0);
  // A foreign Arity of 1 puts position i on level i: the depth gap of a deep leaf
  // against an inner scene node must not overflow 2^-gap.
  TCode chain = CodeOf({Item(0, true, r), Item(1, true, r), Item(20000, false, other)});
  chain.Arity = 1;
  TCode sceneDeep = CodeOf({Item(0, true, r), Item(1, true, r), Item(3, false, r),
                            Item(4, false, r), Item(2, false, r)});
  sceneDeep.Items.push_back(Item(20000, true, r));
  const double d = CodeDistance(sceneDeep, chain);
  EXPECT_TRUE(std::isfinite(d)) << d;
}

double ByName(const TCode& a, const TCode& b) {
  return std::abs(a.MaxLevel - b.MaxLevel) / 10.0;
}

TEST(Recognition, FindNearestTakesTheFirstOfEqualDistances) {
  TCodeBase base;
  for (int level : {7, 3, 5, 3}) {
    auto c = std::make_unique<TCode>();
    c->MaxLevel = level;
    base.Add("c" + std::to_string(level), std::move(c));
  }
  TCode probe;
  probe.MaxLevel = 4;
  double best = -1;
  EXPECT_EQ(reference::FindNearest(base, probe, ByName, best), 1);  // 3 and 5 tie; 3 comes first
  EXPECT_DOUBLE_EQ(best, 0.1);
  probe.MaxLevel = 7;
  EXPECT_EQ(reference::FindNearest(base, probe, ByName, best), 0);
  EXPECT_EQ(best, 0.0);

  TCodeBase one;
  one.Add("only", std::make_unique<TCode>());
  EXPECT_EQ(reference::FindNearest(one, probe, ByName, best), 0);
  TCodeBase none;
  EXPECT_THROW(reference::FindNearest(none, probe, ByName, best), std::invalid_argument);
}

}  // namespace
}  // namespace ormax
