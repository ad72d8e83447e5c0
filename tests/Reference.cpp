#include "tests/Reference.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "numerics/Rounding.h"

namespace ormax::reference {

// ---- point tests ----

TVector ToLocal(const TEllipse& e, TVector p) {
  TVector d = SubtractVectors(p, e.Center);
  TMatrix inverse = InvertMatrix(e.Rotation);
  return MultiplyMatrixVector(inverse, d);
}

bool Contains(const TEllipse& e, TVector p) {
  TVector uv = ToLocal(e, p);
  Real p2 = e.Exponent;
  Real s = Power(Fabs(uv[0] / e.Axes[0]), p2) + Power(Fabs(uv[1] / e.Axes[1]), p2);
  return s <= Real(1.0);
}

bool Contains(const TEllipse& e, double x, double y) {
  return Contains(e, MakeVector(x, y));
}

namespace {

TVector LocalOf(const TEllipse& e, double x, double y) {
  return ToLocal(e, MakeVector(x, y));
}

}  // namespace

// ---- quadtree ----

void BuildQuadTree(const TImg& image, TTree& node) {
  if (image.Width() <= 0 || image.Height() <= 0) return;  // an empty quadrant
  const TPoint c = image.Center();
  TImg quadrants[4] = {
      TImg(image.Left, image.Top, c.X, c.Y),
      TImg(c.X + 1, image.Top, image.Right, c.Y),
      TImg(image.Left, c.Y + 1, c.X, image.Bottom),
      TImg(c.X + 1, c.Y + 1, image.Right, image.Bottom),
  };
  const TColor reference = image.GetPixel(image.Left, image.Top);
  bool uniform = true;
  for (TImg& q : quadrants)
    for (int32_t x = q.Left; x <= q.Right; ++x)
      for (int32_t y = q.Top; y <= q.Bottom; ++y) {
        const TColor value = image.GetPixel(x, y);
        if (value != reference) uniform = false;
        q.SetPixel(x, y, value);
      }
  if (uniform) {
    TRectangle(image.GetBounds(), reference).SaveToBytes(node.Data);
    return;
  }
  node.Children.resize(4);
  for (int k = 0; k < 4; ++k) {
    node.Children[k] = std::make_unique<TTree>();
    BuildQuadTree(quadrants[k], *node.Children[k]);
  }
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
  TTree quadTree;
  BuildQuadTree(scene, quadTree);
  std::vector<const TByteArray*> leaves;
  quadTree.CollectData(leaves);
  std::vector<TRectangle> cells;
  for (const TByteArray* bytes : leaves) {
    TRectangle cell = TRectangle::CreateFromBytes(*bytes);
    if (cell.Color != scene.Background()) cells.push_back(cell);
  }
  std::vector<TRect> bounds;
  for (const TRectangle& cell : cells) bounds.push_back(cell.GetBounds());
  for (const auto& group : GroupCells(bounds)) {
    auto region = std::make_unique<TPattern>(scene.GetBounds(), scene.Background());
    region->Clear();
    for (int32_t m : group) cells[static_cast<size_t>(m)].PaintInto(*region);
    region->Trim();
    list.Add(std::move(region));
  }
}

// ---- ellipses ----

namespace {

const Real kPixelMoment = Real(1.0) / 12;

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

  if (Fabs(m[0][0] - m[1][1]) < kPixelMoment) {
    const double mean = static_cast<double>((static_cast<Real>(static_cast<double>(m[0][0])) +
                                             static_cast<Real>(static_cast<double>(m[1][1]))) /
                                            2);
    m[0][0] = mean;
    m[1][1] = mean;
  }

  ellipse.Center = DivideVector(MakeVector(sx, sy), n);
  const TEigen eigen = EigenVectors(m);
  ellipse.Rotation = eigen.Vectors;
  ellipse.Axes = MakeVector(2 * Sqrt(eigen.Values[0] / n), 2 * Sqrt(eigen.Values[1] / n));
  ellipse.Exponent = 2.0;
  ellipse.Color = color;

  int64_t pos = 0, neg = 0;
  for (int32_t x = region.Left; x <= region.Right; ++x)
    for (int32_t y = region.Top; y <= region.Bottom; ++y)
      if (region.IsInside(x, y)) {
        if (LocalOf(ellipse, x, y)[0] >= 0)
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
      const bool e = Contains(ellipse, x, y);
      if (f && e) ++common;
      if (f || e) ++covered;
    }
  if (covered == 0) return 1.0;
  return static_cast<double>(Real(1.0) - static_cast<Real>(common) / covered);
}

// ---- representation trees ----

void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level) {
  TEllipse e;
  FitEllipse(region, e);
  e.SaveToBytes(node.Data);
  const double err = EllipseError(region, e);
  if (err <= admissibleError || level == maxTreeLevel || level >= 30) return;

  TPattern halves[2] = {TPattern(region.GetBounds(), region.Background()),
                        TPattern(region.GetBounds(), region.Background())};
  bool filled[2] = {false, false};
  for (int32_t x = region.Left; x <= region.Right; ++x)
    for (int32_t y = region.Top; y <= region.Bottom; ++y) {
      const int side = LocalOf(e, x, y)[0] >= 0 ? 0 : 1;
      const TColor value = region.GetPixel(x, y);
      halves[side].SetPixel(x, y, value);
      halves[1 - side].SetPixel(x, y, region.Background());
      if (value != region.Background()) filled[side] = true;
    }
  if (!filled[0] || !filled[1]) return;

  node.Children.resize(2);
  for (int k = 0; k < 2; ++k) {
    node.Children[k] = std::make_unique<TTree>();
    halves[k].Trim();
    BuildRepresentation(halves[k], *node.Children[k], maxTreeLevel, admissibleError, level + 1);
  }
}

namespace {

void NormaliseNode(TTree& node, const TEllipse& r, Real s) {
  if (!node.Data.empty()) {
    TEllipse e = TEllipse::CreateFromBytes(node.Data);
    e.Center = MultiplyMatrixVector(InvertMatrix(r.Rotation),
                                    DivideVector(SubtractVectors(e.Center, r.Center), s));
    e.Axes = DivideVector(e.Axes, s);
    e.Rotation = MultiplyMatrices(InvertMatrix(r.Rotation), e.Rotation);
    e.SaveToBytes(node.Data);
  }
  for (auto& child : node.Children)
    if (child) NormaliseNode(*child, r, s);
}

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

void NormaliseTree(const TPattern& region, TTree& tree) {
  TEllipse r;
  FitEllipse(region, r);
  NormaliseNode(tree, r, VectorNorm(r.Axes));
}

void TreeToCode(const TTree& tree, TCode& code) {
  std::vector<TCodeItem> items;
  int32_t arity = 2;
  CollectItems(tree, 0, items, arity);
  std::sort(items.begin(), items.end(),
            [](const TCodeItem& a, const TCodeItem& b) { return a.Index < b.Index; });
  code.ClearItems();
  code.Items = std::move(items);
  code.Arity = arity;
}

// ---- comparison and recognition ----

TComparisonBox ComparisonBox(const TEllipse& e1, const TEllipse& e2) {
  const double r1 = static_cast<double>(VectorNorm(e1.Axes));
  const double r2 = static_cast<double>(VectorNorm(e2.Axes));
  return {static_cast<double>(std::min(e1.Center[0] - r1, e2.Center[0] - r2)),
          static_cast<double>(std::min(e1.Center[1] - r1, e2.Center[1] - r2)),
          static_cast<double>(std::max(e1.Center[0] + r1, e2.Center[0] + r2)),
          static_cast<double>(std::max(e1.Center[1] + r1, e2.Center[1] + r2))};
}

double CompareEllipses(const TEllipse& e1, const TEllipse& e2) {
  const TComparisonBox box = ComparisonBox(e1, e2);
  const double xmin = box.XMin, ymin = box.YMin, xmax = box.XMax, ymax = box.YMax;
  const double dx = static_cast<double>((static_cast<Real>(xmax) - xmin) / 25);
  const double dy = static_cast<double>((static_cast<Real>(ymax) - ymin) / 25);

  int64_t common = 0, covered = 0;
  double x = xmin;
  for (int i = 0; i < 26 && x <= xmax; ++i) {
    double y = ymin;
    for (int j = 0; j < 26 && y <= ymax; ++j) {
      const bool i1 = Contains(e1, x, y);
      const bool i2 = Contains(e2, x, y);
      if (i1 && i2) ++common;
      if (i1 || i2) ++covered;
      y = static_cast<double>(static_cast<Real>(y) + dy);
    }
    x = static_cast<double>(static_cast<Real>(x) + dx);
  }
  if (covered == 0) return 1.0;
  return static_cast<double>(Real(1.0) - static_cast<Real>(common) / covered);
}

double CodeDistance(const TCode& sceneCode, const TCode& baseCode) {
  const int32_t last = std::max(sceneCode.LastIndex(), baseCode.LastIndex());
  const int32_t depthScene = sceneCode.Depth();
  const int32_t depthBase = baseCode.Depth();
  // Index tables over 0 .. last; a later item of the same position replaces an earlier.
  std::vector<const TCodeItem*> scene(static_cast<size_t>(std::max(last + 1, 0)), nullptr);
  std::vector<const TCodeItem*> base(scene.size(), nullptr);
  for (const TCodeItem& item : sceneCode.Items)
    if (item.Index >= 0 && item.Index <= last) scene[static_cast<size_t>(item.Index)] = &item;
  for (const TCodeItem& item : baseCode.Items)
    if (item.Index >= 0 && item.Index <= last) base[static_cast<size_t>(item.Index)] = &item;

  double d = 0.0;
  for (int32_t i = 0; i <= last; ++i) {
    const TCodeItem* s = scene[static_cast<size_t>(i)];
    const TCodeItem* t = base[static_cast<size_t>(i)];
    if (!s || !t) continue;
    if (s->HasChildren != 0 && t->HasChildren != 0) continue;
    const TEllipse e1 = TEllipse::CreateFromBytes(s->Data);
    const TEllipse e2 = TEllipse::CreateFromBytes(t->Data);
    int32_t gap = 0;
    if (s->HasChildren == 0 && t->HasChildren != 0)
      gap = depthBase - sceneCode.LevelOf(i);
    else if (t->HasChildren == 0 && s->HasChildren != 0)
      gap = depthScene - baseCode.LevelOf(i);
    if (gap < 0) gap = 0;
    const double share =
        static_cast<double>((Real(1.0) - CompareEllipses(e1, e2)) * Ldexp(Real(1.0), -gap));
    d = static_cast<double>(d + Ldexp(Real(1.0), -sceneCode.LevelOf(i)) * (Real(1.0) - share));
  }
  return d;
}

int32_t FindNearest(const TCodeBase& base, const TCode& code,
                    const std::function<double(const TCode&, const TCode&)>& distance,
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

void BuildSceneCodes(const TPattern& scene, int32_t maxTreeLevel, double admissibleError,
                     TSceneResult& result) {
  SegmentPattern(scene, result.Segments);
  for (int32_t i = 0; i < result.Segments.Count(); ++i) {
    const TPattern& region = result.Segments.Items(i);
    auto tree = std::make_unique<TTree>();
    BuildRepresentation(region, *tree, maxTreeLevel, admissibleError, 0);
    const TTree& kept = result.Trees.Add(std::move(tree));
    auto normal = TTree::CreateCopy(kept);
    NormaliseTree(region, *normal);
    auto code = std::make_unique<TCode>();
    TreeToCode(*normal, *code);
    code->AdmissibleError = admissibleError;
    code->MaxLevel = maxTreeLevel;
    result.Codes.Add(std::move(code));
  }
}

void DrawOutline(const TEllipse& e, ICanvas& canvas, int32_t steps) {
  auto round = [](Real v) { return ClampToInt32(SaturateToInt64(RoundHalfEvenReal(v))); };
  auto sign = [](Real v) { return v > 0 ? Real(1) : (v < 0 ? Real(-1) : Real(0)); };
  const Real a = e.Axes[0], b = e.Axes[1];
  TVector q = AddVectors(MultiplyMatrixVector(e.Rotation, MakeVector(a, 0)), e.Center);
  canvas.MoveTo(round(q[0]), round(q[1]));
  const double dt = static_cast<double>(Pi / 2 / static_cast<Real>(steps - 1));
  const Real power = 2 / static_cast<Real>(e.Exponent);
  double t = 0.0;
  while (static_cast<Real>(t) <= Pi * 2) {
    t = static_cast<double>(static_cast<Real>(t) + static_cast<Real>(dt));
    const Real c = Cos(static_cast<Real>(t)), s = Sin(static_cast<Real>(t));
    const Real u = sign(c) * a * Power(Fabs(c), power);
    const Real v = sign(s) * b * Power(Fabs(s), power);
    q = AddVectors(MultiplyMatrixVector(e.Rotation, MakeVector(u, v)), e.Center);
    canvas.LineTo(round(q[0]), round(q[1]));
  }
}

}  // namespace ormax::reference
