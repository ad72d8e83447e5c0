#include "model/Trees.h"

#include <gtest/gtest.h>

namespace ormax {
namespace {

std::unique_ptr<TTree> Leaf(uint8_t tag) {
  auto t = std::make_unique<TTree>();
  t->Data = {tag, tag};
  return t;
}

std::unique_ptr<TTree> Node(uint8_t tag, std::unique_ptr<TTree> a, std::unique_ptr<TTree> b) {
  auto t = std::make_unique<TTree>();
  if (tag) t->Data = {tag};
  t->Children.push_back(std::move(a));
  t->Children.push_back(std::move(b));
  return t;
}

std::vector<TByteArray> Collected(const TTree& t) {
  std::vector<const TByteArray*> refs;
  t.CollectData(refs);
  std::vector<TByteArray> out;
  for (auto* r : refs) out.push_back(*r);
  return out;
}

TEST(Trees, CreateGivesZeroedDataAndEmptySlots) {
  TTree t(3, 5);
  EXPECT_EQ(t.Data, TByteArray(5, 0));
  ASSERT_EQ(t.Children.size(), 3u);
  EXPECT_EQ(t.Children[0], nullptr);
  EXPECT_EQ(TTree(-1, -1).Data.size(), 0u);
  t.Clear();  // empty slots are accepted
  EXPECT_TRUE(t.Children.empty());
}

TEST(Trees, DepthCountsLevelsBelowTheNode) {
  EXPECT_EQ(TTree().Depth(), 0);
  EXPECT_EQ(Node(1, Leaf(2), Leaf(3))->Depth(), 1);
  auto t = Node(1, Node(2, Leaf(3), Leaf(4)), Leaf(5));
  EXPECT_EQ(t->Depth(), 2);
  auto right = Node(1, Leaf(5), Node(2, Leaf(3), Node(6, Leaf(7), Leaf(8))));
  EXPECT_EQ(right->Depth(), 3);
}

TEST(Trees, CollectDataPutsChildrenBeforeTheirParent) {
  // A quadtree root without data over four leaves: the leaves in child order.
  auto quad = std::make_unique<TTree>();
  for (uint8_t k = 1; k <= 4; ++k) quad->Children.push_back(Leaf(k));
  EXPECT_EQ(Collected(*quad), (std::vector<TByteArray>{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));

  // A representation tree: first leaf, second leaf, then the root.
  auto rep = Node(9, Leaf(1), Leaf(2));
  EXPECT_EQ(Collected(*rep), (std::vector<TByteArray>{{1, 1}, {2, 2}, {9}}));

  // Deeper: depth first, an inner node right after its own subtree.
  auto deep = Node(9, Node(8, Leaf(1), Leaf(2)), Leaf(3));
  EXPECT_EQ(Collected(*deep), (std::vector<TByteArray>{{1, 1}, {2, 2}, {8}, {3, 3}, {9}}));
}

TEST(Trees, CopiesAreIndependent) {
  auto source = Node(9, Node(8, Leaf(1), Leaf(2)), Leaf(3));
  auto copy = TTree::CreateCopy(*source);
  EXPECT_EQ(Collected(*copy), Collected(*source));
  EXPECT_EQ(copy->Depth(), 2);
  copy->Children[0]->Data = {42};
  EXPECT_EQ(source->Children[0]->Data, (TByteArray{8}));
  copy->Clear();
  EXPECT_EQ(copy->Depth(), 0);
  EXPECT_TRUE(copy->Data.empty());
  EXPECT_EQ(Collected(*source), (std::vector<TByteArray>{{1, 1}, {2, 2}, {8}, {3, 3}, {9}}));
}

TEST(Trees, ClearOfALeafEmptiesItsData) {
  auto leaf = Leaf(7);
  leaf->Clear();
  EXPECT_TRUE(leaf->Data.empty());
  EXPECT_EQ(leaf->Depth(), 0);
}

TEST(Trees, TreeListOwnsItsTrees) {
  TTreeList list;
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Add(Node(1, Leaf(2), Leaf(3)));
  list.Add(Leaf(4));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(0).Depth(), 1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace ormax
