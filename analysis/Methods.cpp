// Methods: the analysis routines. The quadtree splits at each cell's centre; the
// segmentation unites touching cells with a union-find and paints each region into its
// own box; fits sum in scan order; comparisons use the double point tests of PointTests.
//   BuildQuadTree, SegmentPattern, FitEllipse, EllipseError, BuildRepresentation,
//   NormaliseTree, TreeToCode, DrawRepresentation, CompareEllipses, CodeDistance,
//   CodeDistanceUpTo, FindNearest
#include "analysis/Methods.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "analysis/PointTests.h"
#include "numerics/Rounding.h"

namespace ormax {

namespace {

// The quadtree of the cell `bounds` of image. The cells read the image in place:
// a cell's pixels are those of the image within its bounds.
void BuildQuadCell(const TImg& image, const TRect& cell, TTree& node) {
  const int32_t width = cell.Right - cell.Left + 1;
  const int32_t height = cell.Bottom - cell.Top + 1;
  if (width <= 0 || height <= 0) return;  // an empty quadrant: no pixel to read

  if (IsUniformCell(image, cell)) {
    TRectangle(cell, image.GetPixel(cell.Left, cell.Top)).SaveToBytes(node.Data);
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

void SegmentPattern(const TPattern& scene, TPatternList& list) {
  TTree quadTree;
  BuildQuadTree(scene, quadTree);
  SegmentPattern(scene, quadTree, list);
}

namespace {

// The leaf cells of a quadtree that are not background, in leaf order.
std::vector<TRectangle> ForegroundCells(const TPattern& scene, const TTree& quadTree) {
  std::vector<TRectangle> cells;
  std::vector<const TByteArray*> leaves;
  quadTree.CollectData(leaves);
  for (const TByteArray* bytes : leaves) {
    TRectangle cell = TRectangle::CreateFromBytes(*bytes);
    if (cell.Color != scene.Background()) cells.push_back(cell);
  }
  return cells;
}

// Disjoint sets of cell numbers whose root is always the lowest member.
class TCellSets {
 public:
  explicit TCellSets(int32_t n) : parent_(static_cast<size_t>(n)) {
    for (int32_t c = 0; c < n; ++c) parent_[static_cast<size_t>(c)] = c;
  }
  int32_t Find(int32_t a) {
    while (parent_[static_cast<size_t>(a)] != a) {
      parent_[static_cast<size_t>(a)] =
          parent_[static_cast<size_t>(parent_[static_cast<size_t>(a)])];
      a = parent_[static_cast<size_t>(a)];
    }
    return a;
  }
  void Unite(int32_t a, int32_t b) {
    a = Find(a);
    b = Find(b);
    if (a < b)
      parent_[static_cast<size_t>(b)] = a;
    else if (b < a)
      parent_[static_cast<size_t>(a)] = b;
  }

 private:
  std::vector<int32_t> parent_;
};

// The segmentation walks the foreground cells (walk(visit) calls visit(cell) for each,
// in leaf order) four times instead of keeping them: a scene of noise has millions.
// 1. Each cell's number is painted into a grid of the scene.
// 2. Every two cells of which a pixel of one is an 8-neighbour of a pixel of the other
//    are united: each cell looks up the column to its right and the row below it (both
//    one pixel longer at each end); the contacts to its left and above are found from
//    the other side. The grid is then released.
// 3. The groups are numbered in the order of their first cell, with their boxes.
// 4. Each region is painted straight into its own box. Every cell has a colour other
//    than the background, so the box is already the tight box that Trim would give;
//    cells never overlap, so the order in which they are painted does not matter.
template <typename TWalk>
void SegmentCells(const TPattern& scene, const TWalk& walk, TPatternList& list) {
  const int64_t width = scene.Width(), height = scene.Height();
  auto at = [&](int64_t x, int64_t y) { return static_cast<size_t>(y * width + x); };
  std::vector<int32_t> label(static_cast<size_t>(std::max<int64_t>(width * height, 0)), -1);
  int32_t n = 0;
  walk([&](const TRectangle& r) {
    for (int64_t y = r.Top - scene.Top; y <= r.Bottom - scene.Top; ++y)
      std::fill_n(&label[at(r.Left - scene.Left, y)], r.Right - r.Left + 1, n);
    ++n;
  });
  if (n == 0) return;

  TCellSets sets(n);
  int32_t c = 0;
  walk([&](const TRectangle& r) {
    const int64_t left = r.Left - scene.Left, right = r.Right - scene.Left;
    const int64_t top = r.Top - scene.Top, bottom = r.Bottom - scene.Top;
    int32_t last = -1;
    if (right + 1 < width)
      for (int64_t y = std::max<int64_t>(top - 1, 0); y <= std::min(bottom + 1, height - 1); ++y) {
        const int32_t other = label[at(right + 1, y)];
        if (other >= 0 && other != last) sets.Unite(c, other);
        last = other;
      }
    last = -1;
    if (bottom + 1 < height)
      for (int64_t x = std::max<int64_t>(left - 1, 0); x <= std::min(right + 1, width - 1); ++x) {
        const int32_t other = label[at(x, bottom + 1)];
        if (other >= 0 && other != last) sets.Unite(c, other);
        last = other;
      }
    ++c;
  });
  std::vector<int32_t>().swap(label);

  // A set's root is its lowest cell number, its first cell: numbered before its others.
  std::vector<int32_t> groupOf(static_cast<size_t>(n));
  std::vector<TRect> boxes;
  c = 0;
  walk([&](const TRectangle& cell) {
    const int32_t root = sets.Find(c);
    const TRect r = cell.GetBounds();
    if (root == c) {
      groupOf[static_cast<size_t>(c)] = static_cast<int32_t>(boxes.size());
      boxes.push_back(r);
    } else {
      const int32_t g = groupOf[static_cast<size_t>(root)];
      groupOf[static_cast<size_t>(c)] = g;
      TRect& box = boxes[static_cast<size_t>(g)];
      box.Left = std::min(box.Left, r.Left);
      box.Top = std::min(box.Top, r.Top);
      box.Right = std::max(box.Right, r.Right);
      box.Bottom = std::max(box.Bottom, r.Bottom);
    }
    ++c;
  });

  std::vector<std::unique_ptr<TPattern>> regions;
  regions.reserve(boxes.size());
  for (const TRect& box : boxes) {
    regions.push_back(std::make_unique<TPattern>(box, scene.Background()));
    regions.back()->Clear();
  }
  c = 0;
  walk([&](const TRectangle& r) {
    TPattern& region = *regions[static_cast<size_t>(groupOf[static_cast<size_t>(c++)])];
    for (int32_t y = r.Top; y <= r.Bottom; ++y)
      std::fill_n(&region.Pixels[y - region.Top][r.Left - region.Left], r.Right - r.Left + 1,
                  r.Color);
  });
  for (auto& region : regions) list.Add(std::move(region));
}

}  // namespace

// The groups of the plain grouping (tests/Reference), found with a union-find over the
// cells instead of comparing every cell with every grouped one.
void SegmentPattern(const TPattern& scene, const TTree& quadTree, TPatternList& list) {
  const std::vector<TRectangle> cells = ForegroundCells(scene, quadTree);
  SegmentCells(scene, [&](const auto& visit) {
    for (const TRectangle& cell : cells) visit(cell);
  }, list);
}

void SegmentPattern(const TPattern& scene, const TQuadTree& quadTree, TPatternList& list) {
  SegmentCells(scene, [&](const auto& visit) {
    quadTree.ForEachLeaf(scene, [&](const TRectangle& cell) {
      if (cell.Color != scene.Background()) visit(cell);
    });
  }, list);
}

// ---- ellipses ----

namespace {

const Real kPixelMoment = Real(1) / 12;  // second moment of a unit square

// The first local coordinate ToLocal(x, y)[0] of whole-pixel points, with the inverse
// rotation and the per-row products made once: u = (0 + A00 (x - c0)) + A01 (y - c1),
// summed in the order MultiplyMatrixVector sums.
class TFirstCoordinate {
 public:
  TFirstCoordinate(const TEllipse& e, int32_t top, int32_t bottom)
      : e_(e), inverse_(InvertMatrix(e.Rotation)), top_(top) {
    for (int32_t y = top; y <= bottom; ++y)
      rows_.push_back(inverse_[0][1] * (static_cast<Real>(static_cast<double>(y)) - e.Center[1]));
  }
  Real Column(int32_t x) const {
    return Real(0) + inverse_[0][0] * (static_cast<Real>(static_cast<double>(x)) - e_.Center[0]);
  }
  Real At(Real column, int32_t y) const { return column + rows_[static_cast<size_t>(y - top_)]; }

 private:
  const TEllipse& e_;
  TMatrix inverse_;
  int32_t top_;
  std::vector<Real> rows_;
};

}  // namespace

namespace {

// A region's inside flags column by column (x outer, y inner), read from its rows one
// tile at a time: the sums below go down the columns, and walking a large region's
// pixels that way would touch a new cache line (and page) at every step.
class TInsideColumns {
 public:
  explicit TInsideColumns(const TPattern& region)
      : left_(region.Left), height_(std::max(region.Height(), 0)) {
    const int32_t width = std::max(region.Width(), 0);
    flags_.resize(static_cast<size_t>(width) * static_cast<size_t>(height_));
    const TColor background = region.Background();
    constexpr int32_t Tile = 64;
    for (int32_t ty = 0; ty < height_; ty += Tile)
      for (int32_t tx = 0; tx < width; tx += Tile)
        for (int32_t y = ty; y < std::min(ty + Tile, height_); ++y) {
          const TColor* row = region.Pixels[y];
          for (int32_t x = tx; x < std::min(tx + Tile, width); ++x)
            flags_[static_cast<size_t>(x) * static_cast<size_t>(height_) + static_cast<size_t>(y)] =
                row[x] != background;
        }
  }
  // The flags of column x, from the top row down.
  const uint8_t* Column(int32_t x) const {
    return flags_.data() + static_cast<size_t>(x - left_) * static_cast<size_t>(height_);
  }

 private:
  int32_t left_, height_;
  std::vector<uint8_t> flags_;
};

// The sums of a region's pixels: count, coordinates, and the second moments of the
// pixels as unit squares; the colour is the last pixel's in scan order.
struct TMomentSums {
  int64_t N = 0;
  Real Sx = 0, Sy = 0;
  TMatrix M = ZeroMatrix;
  TColor Color = 0;
};

TMomentSums MomentSums(const TPattern& region, const TInsideColumns& inside) {
  TMomentSums t;
  TMatrix& m = t.M;
  const bool empty = region.Width() <= 0 || region.Height() <= 0;
  int32_t lastX = 0, lastY = 0;
  // Columns outside, rows inside: the order of the sums is part of the result.
  for (int32_t x = region.Left; x <= region.Right && !empty; ++x) {
    const uint8_t* flag = inside.Column(x);
    for (int32_t y = region.Top; y <= region.Bottom; ++y, ++flag) {
      if (!*flag) continue;
      const int64_t xx = int64_t{x} * x, xy = int64_t{x} * y, yy = int64_t{y} * y;
      t.N = t.N + 1;
      t.Sx = t.Sx + x;
      t.Sy = t.Sy + y;
      m[0][0] = (m[0][0] + xx) + kPixelMoment;
      m[0][1] = m[0][1] + xy;  // the same sums as m[1][0]: copied below
      m[1][1] = (m[1][1] + yy) + kPixelMoment;
      lastX = x;
      lastY = y;
    }
  }
  if (t.N > 0) t.Color = region.GetPixel(lastX, lastY);
  m[1][0] = m[0][1];
  return t;
}

// The central second moments from the sums.
TMatrix CentralMoments(const TMomentSums& t) {
  TMatrix m = t.M;
  const Real s[2] = {t.Sx, t.Sy};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) m[r][c] = m[r][c] - s[r] * s[c] / t.N;

  // Nearly circular: make the diagonal exactly equal, so that a square or a disc
  // gets the identity rotation instead of one decided by rounding noise.
  if (Fabs(m[0][0] - m[1][1]) < kPixelMoment) {
    const double mean = static_cast<double>((static_cast<Real>(static_cast<double>(m[0][0])) +
                                             static_cast<Real>(static_cast<double>(m[1][1]))) /
                                            2);
    m[0][0] = mean;
    m[1][1] = mean;
  }
  return m;
}

// Whether fewer of the region's pixels lie on the positive side of the first axis than
// on the negative side.
bool MorePixelsBehindFirstAxis(const TPattern& region, const TInsideColumns& inside,
                               const TEllipse& ellipse) {
  int64_t pos = 0, neg = 0;
  const TFirstCoordinate local(ellipse, region.Top, region.Bottom);
  for (int32_t x = region.Left; x <= region.Right; ++x) {
    const Real column = local.Column(x);
    const uint8_t* flag = inside.Column(x);
    for (int32_t y = region.Top; y <= region.Bottom; ++y, ++flag)
      if (*flag) {
        if (local.At(column, y) >= 0)
          ++pos;
        else
          ++neg;
      }
  }
  return pos < neg;
}

}  // namespace

void FitEllipse(const TPattern& region, TEllipse& ellipse) {
  const TInsideColumns inside(region);
  const TMomentSums sums = MomentSums(region, inside);
  if (sums.N == 0) throw std::invalid_argument("An ellipse cannot be fitted to an empty region");
  const int64_t n = sums.N;
  const TMatrix m = CentralMoments(sums);
  ellipse.Center = DivideVector(MakeVector(sums.Sx, sums.Sy), n);
  const TEigen eigen = EigenVectors(m);
  ellipse.Rotation = eigen.Vectors;
  ellipse.Axes = MakeVector(2 * Sqrt(eigen.Values[0] / n), 2 * Sqrt(eigen.Values[1] / n));
  ellipse.Exponent = 2.0;
  ellipse.Color = sums.Color;
  // Point the first axis to the side that holds at least half of the pixels.
  if (MorePixelsBehindFirstAxis(region, inside, ellipse))
    ellipse.Rotation = ScaleMatrix(ellipse.Rotation, -1);
}

double EllipseError(const TPattern& region, const TEllipse& ellipse) {
  int64_t common = 0, covered = 0;
  if (region.Width() > 0 && region.Height() > 0) {
    const int32_t height = region.Height();
    std::vector<double> ys(static_cast<size_t>(height));
    for (int32_t k = 0; k < height; ++k) ys[static_cast<size_t>(k)] = region.Top + k;
    const TGridContainment contains(ellipse, ys.data(), height);
    std::vector<uint8_t> inside(static_cast<size_t>(height));
    const TInsideColumns pixels(region);
    for (int32_t x = region.Left; x <= region.Right; ++x) {
      contains.Column(x, inside.data());
      const uint8_t* flag = pixels.Column(x);
      int64_t both = 0, either = 0;
      for (int32_t k = 0; k < height; ++k) {
        const int f = flag[k];
        both += f & inside[static_cast<size_t>(k)];
        either += f | inside[static_cast<size_t>(k)];
      }
      common += both;
      covered += either;
    }
  }
  if (covered == 0) return 1.0;  // an empty region: nothing is covered well
  return static_cast<double>(1 - static_cast<Real>(common) / covered);
}

// ---- representation trees ----

void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level) {
  TEllipse e;
  FitEllipse(region, e);
  e.SaveToBytes(node.Data);
  const double err = EllipseError(region, e);
  if (err <= admissibleError || level == maxTreeLevel || level >= MaxRepresentationLevel) return;

  // Each pixel goes to the first half when its first local coordinate is >= 0, else
  // to the second. Each half is made right away at its trimmed size: the box of its
  // inside pixels, holding the region's pixels of its side and background elsewhere.
  const int32_t width = region.Width(), height = region.Height();
  const TColor background = region.Background();
  std::vector<uint8_t> sideOf(static_cast<size_t>(width) * static_cast<size_t>(height));
  TRect boxes[2] = {{region.Right, region.Bottom, region.Left, region.Top},
                    {region.Right, region.Bottom, region.Left, region.Top}};
  bool filled[2] = {false, false};
  {
    const TFirstCoordinate local(e, region.Top, region.Bottom);
    for (int32_t x = region.Left; x <= region.Right; ++x) {
      const Real column = local.Column(x);
      for (int32_t y = region.Top; y <= region.Bottom; ++y) {
        const int side = local.At(column, y) >= 0 ? 0 : 1;
        sideOf[static_cast<size_t>(y - region.Top) * width + (x - region.Left)] =
            static_cast<uint8_t>(side);
        if (region.Pixels[y - region.Top][x - region.Left] != background) {
          filled[side] = true;
          TRect& box = boxes[side];
          box.Left = std::min(box.Left, x);
          box.Top = std::min(box.Top, y);
          box.Right = std::max(box.Right, x);
          box.Bottom = std::max(box.Bottom, y);
        }
      }
    }
  }
  // A half without inside pixels cannot be fitted: the part stays a leaf.
  if (!filled[0] || !filled[1]) return;

  node.Children.resize(2);
  for (int k = 0; k < 2; ++k) {
    node.Children[k] = std::make_unique<TTree>();
    const TRect& box = boxes[k];
    TPattern half(box, background);
    for (int32_t y = box.Top; y <= box.Bottom; ++y) {
      const TColor* source = &region.Pixels[y - region.Top][box.Left - region.Left];
      const uint8_t* side =
          &sideOf[static_cast<size_t>(y - region.Top) * width + (box.Left - region.Left)];
      TColor* target = half.Pixels[y - box.Top];
      for (int32_t i = 0; i <= box.Right - box.Left; ++i)
        target[i] = side[i] == k ? source[i] : background;
    }
    BuildRepresentation(half, *node.Children[k], maxTreeLevel, admissibleError, level + 1);
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

  // 26 points per axis at the most, also for a zero, infinite or NaN extent. Every
  // column sees the same rows, so both coordinate runs are made once.
  constexpr int kGridPoints = 26;
  double xs[kGridPoints], ys[kGridPoints];
  int32_t columns = 0, rows = 0;
  for (double x = xmin; columns < kGridPoints && x <= xmax;
       x = static_cast<double>(static_cast<Real>(x) + dx))
    xs[columns++] = x;
  for (double y = ymin; rows < kGridPoints && y <= ymax;
       y = static_cast<double>(static_cast<Real>(y) + dy))
    ys[rows++] = y;
  int64_t common = 0, covered = 0;
  if (columns > 0 && rows > 0) {
    const TGridContainment in1(e1, ys, rows), in2(e2, ys, rows);
    uint8_t a[kGridPoints], b[kGridPoints];
    for (int32_t i = 0; i < columns; ++i) {
      in1.Column(xs[i], a);
      in2.Column(xs[i], b);
      for (int32_t j = 0; j < rows; ++j) {
        common += a[j] & b[j];
        covered += a[j] | b[j];
      }
    }
  }
  if (covered == 0) return 1.0;  // no grid point in either: nothing in common
  return static_cast<double>(1 - static_cast<Real>(common) / covered);
}

namespace {

// The items of a code with positions 0 .. last, one per position, ascending; where a
// position repeats, the item later in the code wins.
std::vector<const TCodeItem*> IndexedItems(const TCode& code, int32_t last) {
  std::vector<const TCodeItem*> items;
  items.reserve(code.Items.size());
  bool ascending = true;
  for (const TCodeItem& item : code.Items)
    if (item.Index >= 0 && item.Index <= last) {
      if (!items.empty() && items.back()->Index >= item.Index) ascending = false;
      items.push_back(&item);
    }
  if (ascending) return items;  // the usual case: already one per position, in order
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
  return CodeDistanceUpTo(sceneCode, baseCode, std::numeric_limits<double>::infinity());
}

double CodeDistanceUpTo(const TCode& sceneCode, const TCode& baseCode, double bound) {
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
        static_cast<double>((1 - Real(CompareEllipses(e1, e2))) * Ldexp(Real(1), -gap));
    d = static_cast<double>(d + Ldexp(Real(1), -sceneCode.LevelOf(s.Index)) * (1 - Real(share)));
    if (d > bound) return d;  // the rest only adds: this entry cannot come nearer
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
