// The compact quadtree against the tree of nodes on small rasters drawn here: the
// same leaves in the same order, also where one-pixel-wide cells have empty quadrants.
#include "analysis/QuadTree.h"

#include <gtest/gtest.h>

#include "tests/Rasters.h"
#include "tests/Reference.h"

namespace ormax {
namespace {

using testing::PatternFromRows;

std::vector<TByteArray> CompactLeaves(const TQuadTree& tree, const TImg& image) {
  std::vector<TByteArray> leaves;
  tree.ForEachLeaf(image, [&](const TRectangle& cell) {
    leaves.emplace_back();
    cell.SaveToBytes(leaves.back());
  });
  return leaves;
}

std::vector<TByteArray> NodeLeaves(const TImg& image) {
  TTree root;
  reference::BuildQuadTree(image, root);
  std::vector<const TByteArray*> data;
  root.CollectData(data);
  std::vector<TByteArray> leaves;
  for (const TByteArray* d : data) leaves.push_back(*d);
  return leaves;
}

TEST(CompactQuadTree, HasTheLeavesOfTheTreeOfNodes) {
  const std::vector<std::vector<std::string>> rasters = {
      {"a"},
      {"aaaa", "aaaa"},
      {"ab", "ba"},
      {"a", "b", "b"},          // one column: the right quadrants are empty
      {"aab"},                  // one row: the lower quadrants are empty
      {"a....", ".....", ".....", ".....", "....b"},
      {"abc.a", "b..cc", "aa..b"},
  };
  for (const auto& rows : rasters) {
    const TPattern p = PatternFromRows(rows, 10, 20);  // not at (0, 0)
    TQuadTree tree;
    tree.Build(p);
    const auto leaves = NodeLeaves(p);
    EXPECT_EQ(CompactLeaves(tree, p), leaves) << rows[0];
    EXPECT_EQ(tree.Leaves(), static_cast<int64_t>(leaves.size())) << rows[0];
  }
  TQuadTree two;
  two.Build(PatternFromRows({"ab", "ba"}));
  EXPECT_EQ(two.Cells(), 5);  // the split root and four one-pixel leaves
  EXPECT_EQ(two.Leaves(), 4);
}

TEST(CompactQuadTree, VisitsNothingOnAnotherSceneAndAfterClear) {
  const TPattern p = PatternFromRows({"ab", "ba"});
  TQuadTree tree;
  tree.Build(p);
  const TPattern other = PatternFromRows({"abc", "bac"});
  EXPECT_TRUE(CompactLeaves(tree, other).empty());  // other bounds: not the tree's scene
  tree.Clear();
  EXPECT_TRUE(tree.Empty());
  EXPECT_TRUE(CompactLeaves(tree, p).empty());
  tree.Build(p);  // built again after Clear
  EXPECT_EQ(CompactLeaves(tree, p).size(), 4u);
}

}  // namespace
}  // namespace ormax
