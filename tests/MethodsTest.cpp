#include "analysis/Methods.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/Rasters.h"

namespace ormax {
namespace {

using testing::ColorOf;
using testing::PatternFromRows;

TRectangle RectOf(const TTree& leaf) { return TRectangle::CreateFromBytes(leaf.Data); }

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

// ---- quadtree ----

TEST(QuadTree, OneColourIsASingleLeaf) {
  TPattern p = PatternFromRows({"aaa",
                                "aaa"},
                               4, 7);
  TTree root;
  BuildQuadTree(p, root);
  EXPECT_TRUE(root.Children.empty());
  ExpectRect(RectOf(root), TRect{4, 7, 6, 8}, ColorOf('a'));
}

TEST(QuadTree, TwoByTwoOfMixedColoursSplitsIntoPixels) {
  TPattern p = PatternFromRows({"aa",
                                "ab"});
  TTree root;
  BuildQuadTree(p, root);
  EXPECT_TRUE(root.Data.empty());
  ASSERT_EQ(root.Children.size(), 4u);
  ExpectRect(RectOf(*root.Children[0]), TRect{0, 0, 0, 0}, ColorOf('a'));
  ExpectRect(RectOf(*root.Children[1]), TRect{1, 0, 1, 0}, ColorOf('a'));
  ExpectRect(RectOf(*root.Children[2]), TRect{0, 1, 0, 1}, ColorOf('a'));
  ExpectRect(RectOf(*root.Children[3]), TRect{1, 1, 1, 1}, ColorOf('b'));
}

TEST(QuadTree, UniformQuadrantsStayWhole) {
  TTree root;
  BuildQuadTree(PatternFromRows({"bb..",
                                 "bb..",
                                 "....",
                                 "...."}),
                root);
  ASSERT_EQ(root.Children.size(), 4u);
  for (const auto& child : root.Children) EXPECT_TRUE(child->Children.empty());
  ExpectRect(RectOf(*root.Children[0]), TRect{0, 0, 1, 1}, ColorOf('b'));
  ExpectRect(RectOf(*root.Children[3]), TRect{2, 2, 3, 3}, clWhite);

  TTree split;
  BuildQuadTree(PatternFromRows({"bc..",
                                 "bb..",
                                 "....",
                                 "...."}),
                split);
  ASSERT_EQ(split.Children[0]->Children.size(), 4u);
  EXPECT_EQ(Leaves(split).size(), 7u);
  ExpectRect(RectOf(*split.Children[0]->Children[1]), TRect{1, 0, 1, 0}, ColorOf('c'));
}

TEST(QuadTree, OddSizesGiveTheExtraColumnToTheLeftAndRowToTheTop) {
  TTree root;
  BuildQuadTree(PatternFromRows({"a....",
                                 ".....",
                                 ".....",
                                 ".....",
                                 "....."},
                                10, 20),
                root);
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
  BuildQuadTree(p, root);
  EXPECT_EQ(root.Children.size(), 4u);
}

TEST(QuadTree, OnePixelWideCellsKeepEmptyQuadrantsAsEmptyNodes) {
  // A column 1 wide, 3 high: the right quadrants have no pixels.
  TTree root;
  BuildQuadTree(PatternFromRows({"a",
                                 "b",
                                 "b"}),
                root);
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
  BuildQuadTree(PatternFromRows({"aab"}), row);
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
    BuildQuadTree(img, root);
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
