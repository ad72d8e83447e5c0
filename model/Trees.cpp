// Trees: nodes that own their children; copies are deep, and every walk takes the
// children in order, CollectData each child's data before the node's own.
//   TTree (CreateCopy, Clear, Depth, CollectData)
#include "model/Trees.h"

#include <algorithm>

namespace ormax {

TTree::TTree(int32_t childCount, int32_t dataLength)
    : Data(static_cast<size_t>(std::max(dataLength, 0)), 0),
      Children(static_cast<size_t>(std::max(childCount, 0))) {}

TTree::~TTree() {
  Clear();
}

std::unique_ptr<TTree> TTree::CreateCopy(const TTree& source) {
  auto copy = std::make_unique<TTree>();
  copy->Data = source.Data;
  copy->Children.resize(source.Children.size());
  for (size_t i = 0; i < source.Children.size(); ++i)
    if (source.Children[i]) copy->Children[i] = CreateCopy(*source.Children[i]);
  return copy;
}

void TTree::Clear() {
  for (auto& child : Children) child.reset();
  Children.clear();
  Data.clear();
}

int32_t TTree::Depth() const {
  if (Children.empty()) return 0;
  int32_t deepest = 0;
  for (const auto& child : Children)
    if (child) deepest = std::max(deepest, child->Depth());
  return deepest + 1;
}

void TTree::CollectData(std::vector<const TByteArray*>& list) const {
  for (const auto& child : Children)
    if (child) child->CollectData(list);
  if (!Data.empty()) list.push_back(&Data);
}

}  // namespace ormax
