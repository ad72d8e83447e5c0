#include "analysis/Methods.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "numerics/Rounding.h"

namespace ormax {

namespace {

// The quadtree of the cell `bounds` of image. The cells read the image in place:
// a cell's pixels are those of the image within its bounds.
void BuildQuadCell(const TImg& image, const TRect& cell, TTree& node) {
  const int32_t width = cell.Right - cell.Left + 1;
  const int32_t height = cell.Bottom - cell.Top + 1;
  if (width <= 0 || height <= 0) return;  // an empty quadrant: no pixel to read

  const TColor reference = image.GetPixel(cell.Left, cell.Top);
  bool uniform = true;
  for (int32_t x = cell.Left; x <= cell.Right && uniform; ++x) {
    const TColor* column = &image.Pixels[cell.Top - image.Top][x - image.Left];
    const size_t stride = static_cast<size_t>(image.Width());
    for (int32_t k = 0; k < height; ++k)
      if (column[static_cast<size_t>(k) * stride] != reference) {
        uniform = false;
        break;
      }
  }
  if (uniform) {
    TRectangle(cell, reference).SaveToBytes(node.Data);
    return;
  }

  const int32_t cx = static_cast<int32_t>(cell.Left + DivTrunc(width - 1, 2));
  const int32_t cy = static_cast<int32_t>(cell.Top + DivTrunc(height - 1, 2));
  const TRect quadrants[4] = {
      {cell.Left, cell.Top, cx, cy},
      {cx + 1, cell.Top, cell.Right, cy},
      {cell.Left, cy + 1, cx, cell.Bottom},
      {cx + 1, cy + 1, cell.Right, cell.Bottom},
  };
  node.Children.resize(4);
  for (int k = 0; k < 4; ++k) {
    node.Children[k] = std::make_unique<TTree>();
    BuildQuadCell(image, quadrants[k], *node.Children[k]);
  }
}

}  // namespace

void BuildQuadTree(const TImg& image, TTree& node) {
  BuildQuadCell(image, image.GetBounds(), node);
}

// ---- segmentation ----

bool RectanglesAdjacent(const TRect& a, const TRect& b) {
  // 64 bits: a bound of INT32_MAX + 1 must not wrap.
  auto spansTouch = [](int64_t a1, int64_t b1, int64_t a2, int64_t b2) {
    return a2 <= b1 + 1 && a1 <= b2 + 1;
  };
  const bool xTouch = spansTouch(a.Left, a.Right, b.Left, b.Right);
  const bool yTouch = spansTouch(a.Top, a.Bottom, b.Top, b.Bottom);
  return (b.Left == int64_t{a.Right} + 1 && yTouch) || (a.Left == int64_t{b.Right} + 1 && yTouch) ||
         (b.Top == int64_t{a.Bottom} + 1 && xTouch) || (a.Top == int64_t{b.Bottom} + 1 && xTouch);
}

void AddInteger(TIntegerArray& group, int32_t value) {
  group.push_back(value);
}

void AddIntegers(TIntegerArray& group, const TIntegerArray& more) {
  group.insert(group.end(), more.begin(), more.end());
}

void DeleteGroup(TIntegerList& groups, int32_t position) {
  groups.erase(groups.begin() + position);
}

TIntegerList GroupCells(const std::vector<TRect>& cells) {
  TIntegerList groups;
  for (int32_t c = 0; c < static_cast<int32_t>(cells.size()); ++c) {
    TIntegerArray hits;
    for (int32_t g = 0; g < static_cast<int32_t>(groups.size()); ++g)
      for (int32_t m : groups[static_cast<size_t>(g)])
        if (RectanglesAdjacent(cells[static_cast<size_t>(c)], cells[static_cast<size_t>(m)])) {
          AddInteger(hits, g);
          break;
        }
    if (hits.empty()) {
      groups.push_back(TIntegerArray{c});
      continue;
    }
    TIntegerArray& target = groups[static_cast<size_t>(hits[0])];
    AddInteger(target, c);
    for (size_t k = hits.size() - 1; k >= 1; --k) {
      AddIntegers(groups[static_cast<size_t>(hits[0])], groups[static_cast<size_t>(hits[k])]);
      DeleteGroup(groups, hits[k]);
    }
  }
  return groups;
}

void SegmentPattern(const TPattern& scene, TPatternList& list) {
  std::vector<TRectangle> cells;
  {
    TTree quadTree;
    BuildQuadTree(scene, quadTree);
    std::vector<const TByteArray*> leaves;
    quadTree.CollectData(leaves);
    for (const TByteArray* bytes : leaves) {
      TRectangle cell = TRectangle::CreateFromBytes(*bytes);
      if (cell.Color != scene.Background()) cells.push_back(cell);
    }
  }
  std::vector<TRect> bounds;
  bounds.reserve(cells.size());
  for (const TRectangle& cell : cells) bounds.push_back(cell.GetBounds());

  for (const TIntegerArray& group : GroupCells(bounds)) {
    // Paint the group's cells into a pattern of the group's own box: the same pixels
    // as painting into the scene's bounds and trimming, without the scene-sized copy.
    TRect box = bounds[static_cast<size_t>(group[0])];
    for (int32_t m : group) {
      const TRect& r = bounds[static_cast<size_t>(m)];
      box.Left = std::min(box.Left, r.Left);
      box.Top = std::min(box.Top, r.Top);
      box.Right = std::max(box.Right, r.Right);
      box.Bottom = std::max(box.Bottom, r.Bottom);
    }
    auto region = std::make_unique<TPattern>(box, scene.Background());
    region->Clear();
    for (int32_t m : group) cells[static_cast<size_t>(m)].PaintInto(*region);
    region->Trim();
    list.Add(std::move(region));
  }
}

// ---- ellipses ----

namespace {

constexpr Real kPixelMoment = 1.0L / 12;  // second moment of a unit square

}  // namespace

void FitEllipse(const TPattern& region, TEllipse& ellipse) {
  int64_t n = 0;
  Real sx = 0, sy = 0;
  TMatrix m = ZeroMatrix;
  TColor color = 0;
  for (int32_t x = region.Left; x <= region.Right; ++x)
    for (int32_t y = region.Top; y <= region.Bottom; ++y) {
      if (!region.IsInside(x, y)) continue;
      const int64_t xx = int64_t{x} * x, xy = int64_t{x} * y, yy = int64_t{y} * y;
      n = n + 1;
      sx = sx + x;
      sy = sy + y;
      m[0][0] = (m[0][0] + xx) + kPixelMoment;
      m[0][1] = m[0][1] + xy;
      m[1][0] = m[1][0] + xy;
      m[1][1] = (m[1][1] + yy) + kPixelMoment;
      color = region.GetPixel(x, y);
    }
  if (n == 0) throw std::invalid_argument("An ellipse cannot be fitted to an empty region");

  const Real s[2] = {sx, sy};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) m[r][c] = m[r][c] - s[r] * s[c] / n;

  // Nearly circular: make the diagonal exactly equal, so that a square or a disc
  // gets the identity rotation instead of one decided by rounding noise.
  if (std::fabs(m[0][0] - m[1][1]) < kPixelMoment) {
    const double mean = static_cast<double>((static_cast<Real>(static_cast<double>(m[0][0])) +
                                             static_cast<Real>(static_cast<double>(m[1][1]))) /
                                            2);
    m[0][0] = mean;
    m[1][1] = mean;
  }

  ellipse.Center = DivideVector(MakeVector(sx, sy), n);
  const TEigen eigen = EigenVectors(m);
  ellipse.Rotation = eigen.Vectors;
  ellipse.Axes = MakeVector(2 * std::sqrt(eigen.Values[0] / n), 2 * std::sqrt(eigen.Values[1] / n));
  ellipse.Exponent = 2.0;
  ellipse.Color = color;

  // Point the first axis to the side that holds at least half of the pixels.
  int64_t pos = 0, neg = 0;
  for (int32_t x = region.Left; x <= region.Right; ++x)
    for (int32_t y = region.Top; y <= region.Bottom; ++y)
      if (region.IsInside(x, y)) {
        if (ellipse.ToLocal(x, y)[0] >= 0)
          ++pos;
        else
          ++neg;
      }
  if (pos < neg) ellipse.Rotation = ScaleMatrix(ellipse.Rotation, -1);
}

double EllipseError(const TPattern& region, const TEllipse& ellipse) {
  int64_t common = 0, covered = 0;
  for (int32_t x = region.Left; x <= region.Right; ++x)
    for (int32_t y = region.Top; y <= region.Bottom; ++y) {
      const bool f = region.IsInside(x, y);
      const bool e = ellipse.Contains(x, y);
      if (f && e) ++common;
      if (f || e) ++covered;
    }
  if (covered == 0) return 1.0;  // an empty region: nothing is covered well
  return static_cast<double>(1.0L - static_cast<Real>(common) / covered);
}

// ---- representation trees ----

void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level) {
  TEllipse e;
  FitEllipse(region, e);
  e.SaveToBytes(node.Data);
  const double err = EllipseError(region, e);
  if (err <= admissibleError || level == maxTreeLevel || level >= MaxRepresentationLevel) return;

  TPattern halves[2] = {TPattern(region.GetBounds(), region.Background()),
                        TPattern(region.GetBounds(), region.Background())};
  bool filled[2] = {false, false};
  for (int32_t x = region.Left; x <= region.Right; ++x)
    for (int32_t y = region.Top; y <= region.Bottom; ++y) {
      const int side = e.ToLocal(x, y)[0] >= 0 ? 0 : 1;
      const TColor value = region.GetPixel(x, y);
      halves[side].SetPixel(x, y, value);
      halves[1 - side].SetPixel(x, y, region.Background());
      if (value != region.Background()) filled[side] = true;
    }
  // A half without inside pixels cannot be fitted: the part stays a leaf.
  if (!filled[0] || !filled[1]) return;

  node.Children.resize(2);
  for (int k = 0; k < 2; ++k) {
    node.Children[k] = std::make_unique<TTree>();
    halves[k].Trim();
    BuildRepresentation(halves[k], *node.Children[k], maxTreeLevel, admissibleError, level + 1);
  }
}

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
    e.Fill(canvas);
  else
    e.DrawOutline(canvas, 100, 2);
}

// ---- comparison and recognition ----

double CompareEllipses(const TEllipse& e1, const TEllipse& e2) {
  const double r1 = static_cast<double>(VectorNorm(e1.Axes));
  const double r2 = static_cast<double>(VectorNorm(e2.Axes));
  const double xmin = static_cast<double>(std::min(e1.Center[0] - r1, e2.Center[0] - r2));
  const double ymin = static_cast<double>(std::min(e1.Center[1] - r1, e2.Center[1] - r2));
  const double xmax = static_cast<double>(std::max(e1.Center[0] + r1, e2.Center[0] + r2));
  const double ymax = static_cast<double>(std::max(e1.Center[1] + r1, e2.Center[1] + r2));
  const double dx = static_cast<double>((static_cast<Real>(xmax) - xmin) / 25);
  const double dy = static_cast<double>((static_cast<Real>(ymax) - ymin) / 25);

  // 26 points per axis at the most, also for a zero, infinite or NaN extent.
  constexpr int kGridPoints = 26;
  int64_t common = 0, covered = 0;
  double x = xmin;
  for (int i = 0; i < kGridPoints && x <= xmax; ++i) {
    double y = ymin;
    for (int j = 0; j < kGridPoints && y <= ymax; ++j) {
      const bool i1 = e1.Contains(x, y);
      const bool i2 = e2.Contains(x, y);
      if (i1 && i2) ++common;
      if (i1 || i2) ++covered;
      y = static_cast<double>(static_cast<Real>(y) + dy);
    }
    x = static_cast<double>(static_cast<Real>(x) + dx);
  }
  if (covered == 0) return 1.0;  // no grid point in either: nothing in common
  return static_cast<double>(1.0L - static_cast<Real>(common) / covered);
}

namespace {

// The items of a code with positions 0 .. last, one per position, ascending; where a
// position repeats, the item later in the code wins.
std::vector<const TCodeItem*> IndexedItems(const TCode& code, int32_t last) {
  std::vector<const TCodeItem*> items;
  items.reserve(code.Items.size());
  for (const TCodeItem& item : code.Items)
    if (item.Index >= 0 && item.Index <= last) items.push_back(&item);
  std::stable_sort(items.begin(), items.end(),
                   [](const TCodeItem* a, const TCodeItem* b) { return a->Index < b->Index; });
  std::vector<const TCodeItem*> unique;
  unique.reserve(items.size());
  for (const TCodeItem* item : items) {
    if (!unique.empty() && unique.back()->Index == item->Index)
      unique.back() = item;
    else
      unique.push_back(item);
  }
  return unique;
}

}  // namespace

double CodeDistance(const TCode& sceneCode, const TCode& baseCode) {
  const int32_t last = std::max(sceneCode.LastIndex(), baseCode.LastIndex());
  const int32_t depthScene = sceneCode.Depth();
  const int32_t depthBase = baseCode.Depth();
  const auto scene = IndexedItems(sceneCode, last);
  const auto base = IndexedItems(baseCode, last);

  double d = 0.0;
  size_t a = 0, b = 0;
  while (a < scene.size() && b < base.size()) {
    const TCodeItem& s = *scene[a];
    const TCodeItem& t = *base[b];
    if (s.Index < t.Index) {
      ++a;
      continue;
    }
    if (t.Index < s.Index) {
      ++b;
      continue;
    }
    ++a;
    ++b;
    if (s.HasChildren != 0 && t.HasChildren != 0) continue;
    const TEllipse e1 = TEllipse::CreateFromBytes(s.Data);
    const TEllipse e2 = TEllipse::CreateFromBytes(t.Data);
    int32_t gap = 0;
    if (s.HasChildren == 0 && t.HasChildren != 0)
      gap = depthBase - sceneCode.LevelOf(s.Index);
    else if (t.HasChildren == 0 && s.HasChildren != 0)
      gap = depthScene - baseCode.LevelOf(s.Index);
    // A consistent pair never has a negative gap; a damaged code (a foreign Arity)
    // could, and 2^-gap would then overflow.
    if (gap < 0) gap = 0;
    const double share =
        static_cast<double>((1.0L - CompareEllipses(e1, e2)) * std::ldexp(1.0L, -gap));
    d = static_cast<double>(d + std::ldexp(1.0L, -sceneCode.LevelOf(s.Index)) * (1.0L - share));
  }
  return d;
}

int32_t FindNearest(const TCodeBase& base, const TCode& code, const TCodeDistance& distance,
                    double& bestDistance) {
  if (base.Empty()) throw std::invalid_argument("The base holds no code to compare with");
  int32_t best = 0;
  double bestD = distance(code, base.GetCode(0));
  for (int32_t i = 1; i < base.Count(); ++i) {
    const double d = distance(code, base.GetCode(i));
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  bestDistance = bestD;
  return best;
}

}  // namespace ormax
