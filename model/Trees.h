// Trees: TTree, the one tree of the program (quadtrees and ellipse trees alike), and
// the owning TTreeList.
//   CreateCopy (deep), Clear, Depth (a lone node is 0), CollectData (children first)
// A node owns its subtree. A child slot is empty (null) only while a builder works;
// Clear accepts such slots, and Depth, CreateCopy and CollectData pass over them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "codes/Bytes.h"
#include "codes/OwningList.h"

namespace ormax {

class TTree {
 public:
  TByteArray Data;
  std::vector<std::unique_ptr<TTree>> Children;

  // DataLength zero bytes and ChildCount empty slots.
  explicit TTree(int32_t childCount = 0, int32_t dataLength = 0);
  TTree(const TTree&) = delete;
  TTree& operator=(const TTree&) = delete;
  ~TTree();

  static std::unique_ptr<TTree> CreateCopy(const TTree& source);
  // Releases the subtree and the data; the node stays, empty.
  void Clear();
  int32_t Depth() const;
  // Appends the address of every non-empty Data of the subtree, each child's
  // (in order) before the node's own. Valid while the tree and its data live.
  void CollectData(std::vector<const TByteArray*>& list) const;
};

class TTreeList : public TOwningList<TTree> {};

}  // namespace ormax
