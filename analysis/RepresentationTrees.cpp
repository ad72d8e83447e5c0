// RepresentationTrees: what becomes of a region's tree of ellipses once it is built:
// normalised into the frame of the region's own ellipse, listed as a code, drawn.
//
//   NormaliseTree        every ellipse of the tree moved, turned and scaled as the
//                        region's ellipse must be to sit at the origin, its first axis
//                        along x and its semi-axes of norm 1
//   CompareItemsByIndex  the order of code items: by position
//   TreeToCode           the tree's nodes as code items in position order: the root at
//                        0, child k (from 1) of position p at arity x p + k
//   FillEllipse          the pixels of an ellipse on a canvas, as TEllipse::Fill sets them
//   DrawRepresentation   the ellipses of the nodes at maxViewLevel and of the leaves above
//                        it, filled or outlined
//
// Edge cases: NormaliseTree of a region fits its ellipse first (std::invalid_argument
// for a region without an inside pixel); nodes without bytes are left alone by
// NormaliseTree and not drawn; a missing child keeps its position free; TreeToCode
// throws std::length_error for a position beyond 2^31 - 1, and the Arity it sets is the
// child count of the last node with children, depth first (2 for a lone leaf);
// FillEllipse sets nothing outside the canvas's clip rectangle.
#include "analysis/Methods.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "analysis/PointTests.h"

namespace ormax {

namespace {

void NormaliseNode(TTree& node, const TEllipse& r, Real s, const TMatrix& inverse) {
  if (!node.Data.empty()) {
    TEllipse e = TEllipse::CreateFromBytes(node.Data);
    e.Center = MultiplyMatrixVector(inverse, DivideVector(SubtractVectors(e.Center, r.Center), s));
    e.Axes = DivideVector(e.Axes, s);
    e.Rotation = MultiplyMatrices(inverse, e.Rotation);
    e.SaveToBytes(node.Data);
  }
  for (auto& child : node.Children)
    if (child) NormaliseNode(*child, r, s, inverse);
}

}  // namespace

void NormaliseTree(const TPattern& region, TTree& tree) {
  TEllipse r;
  FitEllipse(region, r);
  NormaliseTree(r, tree);
}

void NormaliseTree(const TEllipse& r, TTree& tree) {
  const Real s = VectorNorm(r.Axes);
  NormaliseNode(tree, r, s, InvertMatrix(r.Rotation));
}

int CompareItemsByIndex(const TCodeItem& a, const TCodeItem& b) {
  if (a.Index < b.Index) return -1;
  if (a.Index > b.Index) return 1;
  return 0;
}

namespace {

void CollectItems(const TTree& node, int64_t index, std::vector<TCodeItem>& items, int32_t& arity) {
  if (index > std::numeric_limits<int32_t>::max())
    throw std::length_error("The tree is too deep to be stored as a code");
  TCodeItem item;
  item.Index = static_cast<int32_t>(index);
  item.Data = node.Data;
  if (!node.Children.empty()) {
    item.HasChildren = 1;
    const int64_t m = static_cast<int64_t>(node.Children.size());
    arity = static_cast<int32_t>(m);
    for (int64_t k = 1; k <= m; ++k) {
      const TTree* child = node.Children[static_cast<size_t>(k - 1)].get();
      if (child) CollectItems(*child, m * index + k, items, arity);
    }
  }
  items.push_back(std::move(item));
}

}  // namespace

void TreeToCode(const TTree& tree, TCode& code) {
  std::vector<TCodeItem> items;
  int32_t arity = 2;  // a lone leaf: any arity of 2 or more puts position 0 on level 0
  CollectItems(tree, 0, items, arity);
  std::sort(items.begin(), items.end(),
            [](const TCodeItem& a, const TCodeItem& b) { return CompareItemsByIndex(a, b) < 0; });
  code.ClearItems();
  code.Items = std::move(items);
  code.Arity = arity;
}

void FillEllipse(const TEllipse& e, ICanvas& canvas) {
  const TRect area = e.FillArea(canvas.ClipRect());
  if (area.Right < area.Left) return;
  const int32_t height = area.Bottom - area.Top + 1;
  std::vector<double> ys(static_cast<size_t>(height));
  for (int32_t k = 0; k < height; ++k) ys[static_cast<size_t>(k)] = area.Top + k;
  const TGridContainment contains(e, ys.data(), height);
  std::vector<uint8_t> inside(static_cast<size_t>(height));
  for (int32_t x = area.Left; x <= area.Right; ++x) {
    contains.Column(x, inside.data());
    for (int32_t k = 0; k < height; ++k)
      if (inside[static_cast<size_t>(k)]) canvas.SetPixel(x, area.Top + k, e.Color);
  }
}

void DrawRepresentation(const TTree& node, ICanvas& canvas, bool fill, int32_t level,
                        int32_t maxViewLevel) {
  if (!node.Children.empty() && level != maxViewLevel) {
    for (const auto& child : node.Children)
      if (child) DrawRepresentation(*child, canvas, fill, level + 1, maxViewLevel);
    return;
  }
  if (node.Data.empty()) return;
  const TEllipse e = TEllipse::CreateFromBytes(node.Data);
  if (fill)
    FillEllipse(e, canvas);
  else
    e.DrawOutline(canvas, 100, 2);
}

}  // namespace ormax
