// EllipseFitting: the ellipse of a region's moments, how well it covers the region,
// and the tree of ellipses fitted to ever smaller halves of the region. The moments
// are summed a column at a time, left to right and each column top down (the order is
// part of the result); the sides of a split follow from the first local coordinate,
// found by bisection per row. Below the root a half is held as inside flags, a byte a
// pixel; its colours are those of the region the tree started from.
//
//   FitEllipse           the ellipse of the region's first and second moments, its
//                        first axis pointing to the side holding at least half the pixels
//   EllipseError         1 - common / covered: the pixels in both region and ellipse
//                        over those in either, within the region's bounds
//   BuildRepresentation  the ellipse of the region at the node and, while its error is
//                        above the admissible one, the trees of the two halves on either
//                        side of its first axis as the node's two children
//
// Edge cases: FitEllipse throws std::invalid_argument for a region without an inside
// pixel; moments of nearly equal diagonal are made equal, so that a square or a disc
// gets the identity rotation rather than one decided by rounding. EllipseError of a
// region without pixels is 1. BuildRepresentation stops at level maxTreeLevel (one
// below the starting level is never met) and at level 30; an admissible error below 0
// or NaN always splits, 1 or more never; a half without an inside pixel leaves the
// node a leaf. Its TFitted holds the root's ellipse before its bytes round it to doubles,
// and the count of the region's pixels.
#include "analysis/Methods.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <type_traits>

#include "analysis/PointTests.h"
#include "model/LargeBlocks.h"

namespace ormax {

namespace {

const Real kPixelMoment = Real(1) / 12;  // second moment of a unit square

// A half of a split region held as inside flags, one byte a pixel (1 inside, 0 not),
// at the box of its inside pixels. A deep tree holds a chain of ever smaller halves on
// each thread that builds one, and a half of a scene-sized region is nearly as large as
// the region: flags take a quarter of the memory of colours. A pixel's colour is that of
// the same place in the region the tree started from.
class THalf {
 public:
  // box holds at least one pixel (a split makes halves only when both have some).
  THalf(const TRect& box, const TPattern& root)
      : Left(box.Left), Top(box.Top), Right(box.Right), Bottom(box.Bottom),
        Pixels{TBlock(AllocateBlock(static_cast<size_t>(Width()) * static_cast<size_t>(Height()))),
               Width()},
        root_(&root) {}

  int32_t Left, Top, Right, Bottom;
  // Pixels[y][x] counts from the half's own top-left corner, as a pattern's do.
  // A large half is a block of huge pages, as a large pattern's pixels are.
  struct TRows {
    TBlock Flags;
    int32_t Width;
    uint8_t* operator[](int32_t y) { return Row(y); }
    const uint8_t* operator[](int32_t y) const { return Row(y); }
    uint8_t* Row(int32_t y) const {
      return static_cast<uint8_t*>(Flags.get()) + static_cast<size_t>(y) * Width;
    }
  } Pixels;

  TRect GetBounds() const { return TRect{Left, Top, Right, Bottom}; }
  int32_t Width() const { return Right - Left + 1; }
  int32_t Height() const { return Bottom - Top + 1; }
  uint8_t Background() const { return 0; }
  TColor ColorAt(int32_t x, int32_t y) const { return root_->GetPixel(x, y); }

 private:
  const TPattern* root_;
};

TColor ColorAt(const TPattern& region, int32_t x, int32_t y) { return region.GetPixel(x, y); }
TColor ColorAt(const THalf& region, int32_t x, int32_t y) { return region.ColorAt(x, y); }

// The type of a region's pixels: TColor for a pattern, uint8_t for a half.
template <typename TRegion>
using TPixelOf = std::remove_cvref_t<decltype(*std::declval<const TRegion&>().Pixels[0])>;

// The pixels of row[begin, end) that are not background.
template <typename TPixel>
int64_t CountInside(const TPixel* row, int32_t begin, int32_t end, TPixel background) {
  int64_t n = 0;
  for (int32_t k = begin; k < end; ++k) n += row[k] != background;
  return n;
}

// Which whole-pixel points within bounds have a first local coordinate
// ToLocal(x, y)[0] >= 0, where u = (0 + A00 (x - c0)) + A01 (y - c1) with the inverse
// rotation, summed in the order MultiplyMatrixVector sums. A rounded sum has the sign of
// the exact one, so u >= 0 exactly when the column term is >= minus the row term; the
// column term is monotone in x, so in each row those points are one run of columns,
// found by bisection instead of a sum per pixel.
class TFirstCoordinate {
 public:
  TFirstCoordinate(const TEllipse& e, const TRect& bounds)
      : inverse_(InvertMatrix(e.Rotation)), top_(bounds.Top) {
    for (int32_t x = bounds.Left; x <= bounds.Right; ++x)
      columns_.push_back(Real(0) +
                         inverse_[0][0] * (static_cast<Real>(static_cast<double>(x)) - e.Center[0]));
    for (int32_t y = bounds.Top; y <= bounds.Bottom; ++y)
      rows_.push_back(inverse_[0][1] * (static_cast<Real>(static_cast<double>(y)) - e.Center[1]));
    rising_ = columns_.empty() || !(columns_.back() < columns_.front());
  }
  // The columns [Begin, End), counted from bounds.Left, whose points in row y have
  // u >= 0 (Begin == End: none).
  struct TSpan {
    int32_t Begin, End;
  };
  TSpan Ahead(int32_t y) const {
    const Real threshold = -rows_[static_cast<size_t>(y - top_)];
    const auto width = static_cast<int32_t>(columns_.size());
    // The first column where "ahead" changes: ahead is false then true when the terms
    // rise, true then false when they fall.
    int32_t low = 0, high = width;
    while (low < high) {
      const int32_t mid = low + (high - low) / 2;
      const bool ahead = columns_[static_cast<size_t>(mid)] >= threshold;
      if (ahead == rising_)
        high = mid;
      else
        low = mid + 1;
    }
    return rising_ ? TSpan{low, width} : TSpan{0, low};
  }

 private:
  TMatrix inverse_;
  int32_t top_;
  bool rising_;
  std::vector<Real> columns_, rows_;
};

constexpr int32_t kColumnStrip = 64;  // columns gathered at a time by the walkers below

// The distance, in items of itemSize bytes, between the starts of two gathered columns of
// height items. A row scatters one item into every column of the strip; were the columns
// a power of two bytes apart (a region 4096 or 8192 pixels tall), all of them would fall in
// the same cache set and evict each other at every row, so they are set a line further
// apart than their height.
size_t ColumnStride(int32_t height, size_t itemSize) {
  return static_cast<size_t>(height) + 64 / itemSize;
}

// Walking down a strip of columns steps a whole pixel row at a time, a stride the
// processor's own prefetcher does not follow in a large region; without help every row
// waits for memory. So the walkers ask for the strip's pixels some rows ahead.
constexpr int32_t kRowsAhead = 8;

// Always inlined: g++ takes a function that only prefetches for one without effect and
// drops the calls to it.
template <typename TPixel>
[[gnu::always_inline]] inline void PrefetchStrip(const TPixel* row, int32_t n) {
  for (int32_t k = 0; k < n; k += 64 / static_cast<int32_t>(sizeof(TPixel))) __builtin_prefetch(row + k);
  __builtin_prefetch(row + (n - 1));  // a strip not aligned to a line ends in one more
}

// visit(x, flags) for every column x of the region from left to right, flags holding
// its inside flags from the top row down, until visit returns false. Walking a large
// region's pixels down the columns would touch a new cache line (and page) at every
// step, so the flags are transposed from the rows one strip of columns at a time, and
// only a strip is kept.
template <typename TRegion, typename TVisit>
void ForEachInsideColumn(const TRegion& region, TVisit&& visit) {
  const int32_t width = region.Width(), height = region.Height();
  if (width <= 0 || height <= 0) return;
  constexpr int32_t Strip = kColumnStrip;
  const auto background = region.Background();
  const size_t stride = ColumnStride(height, sizeof(uint8_t));
  const auto column = [&](int32_t k) { return static_cast<size_t>(k) * stride; };
  std::vector<uint8_t> flags(column(std::min(width, Strip)));
  for (int32_t left = 0; left < width; left += Strip) {
    const int32_t n = std::min(Strip, width - left);
    for (int32_t y = 0; y < height; ++y) {
      const auto* row = region.Pixels[y] + left;
      if (y + kRowsAhead < height) PrefetchStrip(region.Pixels[y + kRowsAhead] + left, n);
      for (int32_t k = 0; k < n; ++k) flags[column(k) + static_cast<size_t>(y)] = row[k] != background;
    }
    for (int32_t k = 0; k < n; ++k)
      if (!visit(region.Left + left + k, flags.data() + column(k))) return;
  }
}

// The sums of a region's pixels: count, coordinates, and the second moments of the
// pixels as unit squares; the colour is the last inside pixel's, the columns taken
// left to right and each top down.
struct TMomentSums {
  int64_t N = 0;
  Real Sx = 0, Sy = 0;
  TMatrix M = ZeroMatrix;
  TColor Color = 0;
};

// visit(x, rows, n) for every column x of the region from left to right, rows holding
// the n rows of its inside pixels from the top down. The rows are gathered from the
// pixel rows one strip of columns at a time, without a branch per pixel (a noisy
// region's inside flags cannot be predicted).
template <typename TRegion, typename TVisit>
void ForEachColumnsInsideRows(const TRegion& region, TVisit&& visit) {
  const int32_t width = region.Width(), height = region.Height();
  if (width <= 0 || height <= 0) return;
  constexpr int32_t Strip = kColumnStrip;
  const auto background = region.Background();
  const size_t stride = ColumnStride(height, sizeof(int32_t));
  const auto column = [&](int32_t k) { return static_cast<size_t>(k) * stride; };
  std::vector<int32_t> rows(column(std::min(width, Strip)));
  int32_t counts[Strip];
  for (int32_t left = 0; left < width; left += Strip) {
    const int32_t n = std::min(Strip, width - left);
    std::fill(counts, counts + n, 0);
    for (int32_t y = 0; y < height; ++y) {
      const auto* row = region.Pixels[y] + left;
      if (y + kRowsAhead < height) PrefetchStrip(region.Pixels[y + kRowsAhead] + left, n);
      const int32_t value = region.Top + y;
      int32_t* target = rows.data();
      for (int32_t k = 0; k < n; ++k, target += stride) {
        target[counts[k]] = value;
        counts[k] += row[k] != background;
      }
    }
    for (int32_t k = 0; k < n; ++k) visit(region.Left + left + k, rows.data() + column(k), counts[k]);
  }
}

template <typename TRegion>
TMomentSums MomentSums(const TRegion& region) {
  TMomentSums t;
  TMatrix& m = t.M;
  int32_t lastX = 0, lastY = 0;
  // The count and the sums of x, y and x y add whole numbers: Real holds every whole
  // number below 2^64 exactly, so while no partial sum can reach 2^62 they are the
  // exact sums, which int64_t gives at once. Only the two sums that add the pixels' own
  // moment round at each step, in the order below.
  const double reach = std::max({std::fabs(static_cast<double>(region.Left)),
                                 std::fabs(static_cast<double>(region.Right)),
                                 std::fabs(static_cast<double>(region.Top)),
                                 std::fabs(static_cast<double>(region.Bottom)), 1.0});
  if (static_cast<double>(region.Width()) * region.Height() * reach * reach < 0x1p62) {
    int64_t sx = 0, sy = 0, sxy = 0;
    ForEachColumnsInsideRows(region, [&](int32_t x, const int32_t* rows, int32_t n) {
      if (n == 0) return;
      const Real xx = static_cast<Real>(int64_t{x} * x);
      int64_t column = 0;
      for (int32_t i = 0; i < n; ++i) {
        const int32_t y = rows[i];
        column += y;
        m[0][0] = (m[0][0] + xx) + kPixelMoment;
        m[1][1] = (m[1][1] + int64_t{y} * y) + kPixelMoment;
      }
      t.N += n;
      sx += int64_t{x} * n;
      sy += column;
      sxy += int64_t{x} * column;
      lastX = x;
      lastY = rows[n - 1];
    });
    t.Sx = static_cast<Real>(sx);
    t.Sy = static_cast<Real>(sy);
    m[0][1] = static_cast<Real>(sxy);
    if (t.N > 0) t.Color = ColorAt(region, lastX, lastY);
    m[1][0] = m[0][1];
    return t;
  }
  // Columns outside, rows inside: the order of the sums is part of the result.
  ForEachColumnsInsideRows(region, [&](int32_t x, const int32_t* rows, int32_t n) {
    if (n == 0) return;
    const int64_t xx = int64_t{x} * x;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t y = rows[i];
      const int64_t xy = int64_t{x} * y, yy = int64_t{y} * y;
      t.N = t.N + 1;
      t.Sx = t.Sx + x;
      t.Sy = t.Sy + y;
      m[0][0] = (m[0][0] + xx) + kPixelMoment;
      m[0][1] = m[0][1] + xy;  // the same sums as m[1][0]: copied below
      m[1][1] = (m[1][1] + yy) + kPixelMoment;
    }
    lastX = x;
    lastY = rows[n - 1];
  });
  if (t.N > 0) t.Color = ColorAt(region, lastX, lastY);
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
template <typename TRegion>
bool MorePixelsBehindFirstAxis(const TRegion& region, const TEllipse& ellipse) {
  int64_t pos = 0, neg = 0;
  const TFirstCoordinate local(ellipse, region.GetBounds());
  // Counts do not depend on the order: row by row, the way the pixels lie.
  const auto background = region.Background();
  for (int32_t y = region.Top; y <= region.Bottom; ++y) {
    const auto* row = region.Pixels[y - region.Top];
    const auto span = local.Ahead(y);
    const int64_t all = CountInside(row, 0, region.Width(), background);
    const int64_t ahead = CountInside(row, span.Begin, span.End, background);
    pos += ahead;
    neg += all - ahead;
  }
  return pos < neg;
}

template <typename TRegion>
void FitEllipseOf(const TRegion& region, TEllipse& ellipse, int64_t* pixels) {
  const TMomentSums sums = MomentSums(region);
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
  if (MorePixelsBehindFirstAxis(region, ellipse))
    ellipse.Rotation = ScaleMatrix(ellipse.Rotation, -1);
  if (pixels) *pixels = n;
}

}  // namespace

void FitEllipse(const TPattern& region, TEllipse& ellipse, int64_t* pixels) {
  FitEllipseOf(region, ellipse, pixels);
}

namespace {

// The pixels of the region and the ellipse in common and covered by either, counted a
// column at a time; after each column, goOn(common, covered) may stop the count.
template <typename TRegion, typename TGoOn>
void CountCoverage(const TRegion& region, const TEllipse& ellipse, int64_t& common,
                   int64_t& covered, TGoOn&& goOn) {
  common = 0;
  covered = 0;
  if (region.Width() <= 0 || region.Height() <= 0) return;
  const int32_t height = region.Height();
  std::vector<double> ys(static_cast<size_t>(height));
  for (int32_t k = 0; k < height; ++k) ys[static_cast<size_t>(k)] = region.Top + k;
  const TGridContainment contains(ellipse, ys.data(), height);
  std::vector<uint8_t> inside(static_cast<size_t>(height));
  ForEachInsideColumn(region, [&](int32_t x, const uint8_t* flag) {
    contains.Column(x, inside.data());
    int64_t both = 0, either = 0;
    for (int32_t k = 0; k < height; ++k) {
      const int f = flag[k];
      both += f & inside[static_cast<size_t>(k)];
      either += f | inside[static_cast<size_t>(k)];
    }
    common += both;
    covered += either;
    return goOn(common, covered);
  });
}

double ErrorOf(int64_t common, int64_t covered) {
  if (covered == 0) return 1.0;  // an empty region: nothing is covered well
  return static_cast<double>(1 - static_cast<Real>(common) / covered);
}

// EllipseError(region, ellipse) > admissibleError (not <=: NaN splits), deciding as soon
// as the columns counted so far settle it. The error is mismatched / covered, and no
// more than width x height pixels can be covered, so once the mismatched pixels alone
// exceed admissibleError of that (by a margin far above the rounding of the error), the
// error does too. The error lies in [0, 1]: below 0 always splits, 1 or more never.
template <typename TRegion>
bool ErrorAbove(const TRegion& region, const TEllipse& ellipse, double admissibleError) {
  if (!(admissibleError >= 0)) return true;
  if (admissibleError >= 1) return false;
  const double enough = (admissibleError + 1e-12) * (static_cast<double>(region.Width()) *
                                                     static_cast<double>(region.Height()));
  int64_t common, covered;
  bool settled = false;
  CountCoverage(region, ellipse, common, covered, [&](int64_t c, int64_t v) {
    settled = static_cast<double>(v - c) > enough;
    return !settled;
  });
  return settled || !(ErrorOf(common, covered) <= admissibleError);
}

}  // namespace

double EllipseError(const TPattern& region, const TEllipse& ellipse) {
  int64_t common, covered;
  CountCoverage(region, ellipse, common, covered, [](int64_t, int64_t) { return true; });
  return ErrorOf(common, covered);
}

// ---- the tree of halves ----

namespace {

// How a split divides a region: per row, the columns of the first half (counted from
// region.Left; the rest of the row belongs to the second), and the box of each half's
// inside pixels, if it has any.
struct TSplit {
  std::vector<TFirstCoordinate::TSpan> Spans;
  TRect Boxes[2];
  bool Filled[2] = {false, false};
};

// Each pixel goes to the first half when its first local coordinate is >= 0, else to
// the second. The sides and boxes do not depend on the order of the pixels: row by row.
template <typename TRegion>
TSplit SplitAlongFirstAxis(const TRegion& region, const TEllipse& e) {
  const int32_t width = region.Width(), height = region.Height();
  const auto background = region.Background();
  TSplit split;
  split.Spans.resize(static_cast<size_t>(height));
  split.Boxes[0] = split.Boxes[1] = {region.Right, region.Bottom, region.Left, region.Top};
  const auto widen = [&](int side, const TPixelOf<TRegion>* row, int32_t begin, int32_t end, int32_t y) {
    int32_t first = begin, last = end - 1;
    while (first < end && row[first] == background) ++first;
    if (first == end) return;
    while (row[last] == background) --last;
    split.Filled[side] = true;
    TRect& box = split.Boxes[side];
    box.Left = std::min(box.Left, region.Left + first);
    box.Top = std::min(box.Top, y);
    box.Right = std::max(box.Right, region.Left + last);
    box.Bottom = std::max(box.Bottom, y);
  };
  const TFirstCoordinate local(e, region.GetBounds());
  for (int32_t y = region.Top; y <= region.Bottom; ++y) {
    const auto* row = region.Pixels[y - region.Top];
    const auto span = split.Spans[static_cast<size_t>(y - region.Top)] = local.Ahead(y);
    widen(0, row, span.Begin, span.End, y);
    widen(1, row, 0, span.Begin, y);
    widen(1, row, span.End, width, y);
  }
  return split;
}

// Half k of the split, into part (made at the half's box): inside where the region's
// pixels of side k are, outside elsewhere.
template <typename TRegion>
void CopyHalf(const TRegion& region, const TSplit& split, int k, THalf& part) {
  const int32_t width = region.Width();
  const auto background = region.Background();
  const TRect& box = split.Boxes[k];
  const int32_t left = box.Left - region.Left, right = box.Right - region.Left + 1;
  for (int32_t y = box.Top; y <= box.Bottom; ++y) {
    const auto* source = region.Pixels[y - region.Top];
    uint8_t* target = part.Pixels[y - box.Top];  // the region's column `left` is target[0]
    const auto span = split.Spans[static_cast<size_t>(y - region.Top)];
    // Inside where the row's pixels of side k are, outside elsewhere.
    const auto put = [&](int32_t begin, int32_t end, bool keep) {
      begin = std::max(begin, left);
      end = std::min(end, right);
      if (begin >= end) return;
      if (keep)
        std::transform(source + begin, source + end, target + (begin - left),
                       [background](auto pixel) { return uint8_t{pixel != background}; });
      else
        std::fill(target + (begin - left), target + (end - left), uint8_t{0});
    };
    put(0, span.Begin, k == 1);
    put(span.Begin, span.End, k == 0);
    put(span.End, width, k == 1);
  }
}

int64_t Area(const TRect& r) {
  return (int64_t{r.Right} - r.Left + 1) * (int64_t{r.Bottom} - r.Top + 1);
}

// The node of region, a pattern at the root and a half below it; root holds the
// colours of every half's pixels.
template <typename TRegion>
void BuildNode(const TRegion& region, const TPattern& root, TTree& node, int32_t maxTreeLevel,
               double admissibleError, int32_t level, TFitted* fitted, const TRunBoth& both) {
  TEllipse e;
  FitEllipseOf(region, e, fitted ? &fitted->Pixels : nullptr);
  e.SaveToBytes(node.Data);
  if (fitted) fitted->Ellipse = e;
  // The error only decides a split: at the last level it is not needed.
  if (level == maxTreeLevel || level >= MaxRepresentationLevel) return;
  if (!ErrorAbove(region, e, admissibleError)) return;

  // Each half is made right away at its trimmed size: the box of its inside pixels,
  // holding the flags of the region's pixels of its side.
  const TSplit split = SplitAlongFirstAxis(region, e);
  // A half without inside pixels cannot be fitted: the part stays a leaf.
  if (!split.Filled[0] || !split.Filled[1]) return;

  node.Children.resize(2);
  for (auto& child : node.Children) child = std::make_unique<TTree>();
  auto half = [&](int k) {
    // CopyHalf writes every pixel of the half's box: none is set before.
    THalf part(split.Boxes[k], root);
    CopyHalf(region, split, k, part);
    BuildNode(part, root, *node.Children[k], maxTreeLevel, admissibleError, level + 1, nullptr,
              both);
  };
  // The halves are independent: each fills its own child.
  if (both) {
    both(Area(split.Boxes[0]) + Area(split.Boxes[1]), [&] { half(0); }, [&] { half(1); });
  } else {
    half(0);
    half(1);
  }
}

}  // namespace

void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level, TFitted* fitted,
                         const TRunBoth& both) {
  BuildNode(region, region, node, maxTreeLevel, admissibleError, level, fitted, both);
}

}  // namespace ormax
