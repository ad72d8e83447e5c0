// Methods: the analysis routines. The quadtree splits at each cell's centre; the
// segmentation unites touching runs of pixels with a union-find, orders the regions by
// where they start in the quadtree's leaf order and copies each into its own box; fits
// sum in scan order; comparisons use the double point tests of PointTests.
//   BuildQuadTree, SegmentPattern, FitEllipse, EllipseError, BuildRepresentation,
//   NormaliseTree, TreeToCode, DrawRepresentation, CompareEllipses, CodeDistance,
//   CodeDistanceUpTo, FindNearest
#include "analysis/Methods.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "analysis/Comparisons.h"
#include "analysis/PointTests.h"
#include "analysis/QuadTree.h"
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

namespace {

// visit(first, last) for each run of row (width pixels from the scene's left edge):
// a maximal span of pixels other than the background, left to right.
template <typename TVisit>
void ForEachRun(const TColor* row, int32_t width, TColor background, TVisit&& visit) {
  int32_t x = 0;
  for (;;) {
    while (x < width && row[x] == background) ++x;
    if (x == width) return;
    const int32_t first = x;
    while (x < width && row[x] != background) ++x;
    visit(first, x - 1);
  }
}

// Where a pixel comes in the quadtree's leaf order. Every cell splits at its centre
// whatever its colours, and each axis's split depends on that axis alone, so a pixel's
// path down the fully split tree is its column's path (left half 0, right half 1) and
// its row's path interleaved, the row's step first. A leaf covers a range of these
// keys, so the first cell of a region is the one holding its pixel of lowest key.
class TLeafOrder {
 public:
  TLeafOrder(int32_t width, int32_t height) {
    const int levels = std::max(Levels(width), Levels(height));
    columns_.assign(static_cast<size_t>(width), 0);
    rows_.assign(static_cast<size_t>(height), 0);
    Fill(columns_, 0, width - 1, levels - 1, 0);
    Fill(rows_, 0, height - 1, levels - 1, 0);
  }
  // The key of pixel (x, y), counted from the scene's top-left corner.
  uint64_t Key(int32_t x, int32_t y) const {
    return Spread(rows_[static_cast<size_t>(y)]) << 1 | Spread(columns_[static_cast<size_t>(x)]);
  }

 private:
  // Splits until a cell of `size` pixels on this axis is one pixel long.
  static int Levels(int64_t size) {
    int levels = 0;
    for (; size > 1; size = size - size / 2) ++levels;  // the first half is the larger
    return levels;
  }
  // A one-pixel span stays in its first half at every further split.
  static void Fill(std::vector<uint32_t>& path, int32_t first, int32_t last, int bit,
                   uint32_t prefix) {
    if (first == last) {
      path[static_cast<size_t>(first)] = prefix;
      return;
    }
    const int32_t centre = first + (last - first) / 2;
    Fill(path, first, centre, bit - 1, prefix);
    Fill(path, centre + 1, last, bit - 1, prefix | uint32_t{1} << bit);
  }
  // The bits of v at the even positions of the result.
  static uint64_t Spread(uint32_t v) {
    uint64_t x = v;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    x = (x | x << 8) & 0x00FF00FF00FF00FFull;
    x = (x | x << 4) & 0x0F0F0F0F0F0F0F0Full;
    x = (x | x << 2) & 0x3333333333333333ull;
    x = (x | x << 1) & 0x5555555555555555ull;
    return x;
  }

  std::vector<uint32_t> columns_, rows_;
};

struct TComponent {
  TRect Box;
  uint64_t FirstKey;
};

}  // namespace

// The regions are the 8-connected components of the runs of non-background pixels:
// 1. Runs are numbered in scan order, and each is united with the runs of the row
//    above that touch it (overlapping, or meeting at a corner). A set's root is its
//    lowest run, so every run's parent is an earlier run. In bands, each band numbers
//    its own runs; the numbers are then offset into scan order and the bands' edge
//    rows united.
// 2. The rows are scanned again: each run takes its root's component number (the
//    parent is already resolved), and the component its box and its first key.
// 3. The components are ordered by their first cell in the quadtree's leaf order.
// 4. A third scan copies each run's pixels into its region, made at its box (in bands,
//    each band its own rows).
// Only a number per run is kept: the runs are found again from the scene each time.
void SegmentPattern(const TPattern& scene, TPatternList& list, const TRunParts& parts) {
  const int32_t width = scene.Width(), height = scene.Height();
  if (width <= 0 || height <= 0) return;
  const TColor background = scene.Background();
  auto row = [&](int32_t y) { return &scene.Pixels[y][0]; };
  // With parts, the rows are labelled and copied in bands at once; the regions are the
  // same either way.
  const int32_t bands = parts ? std::min(height, 16) : 1;
  auto runBands = [&](const std::function<void(int32_t)>& band) {
    if (bands > 1)
      parts(bands, band);
    else
      band(0);
  };
  auto firstRow = [&](int32_t b) {
    return static_cast<int32_t>(int64_t{height} * b / bands);
  };
  const auto tooMany = [] {
    throw std::length_error("The scene has too many runs of pixels to segment");
  };

  // Runs are numbered in scan order; parent[run] <= run, and the root of a set of
  // connected runs is its first run.
  struct TRun {
    int32_t First, Last, Number;
  };
  auto root = [](std::vector<int32_t>& parent, int32_t a) {
    while (parent[static_cast<size_t>(a)] != a) {
      auto& p = parent[static_cast<size_t>(a)];
      p = parent[static_cast<size_t>(p)];
      a = p;
    }
    return a;
  };
  // Joins each run of here to the runs of above it touches (8-connected).
  auto join = [&](std::vector<int32_t>& parent, const TRun& run, const std::vector<TRun>& above,
                  size_t& j) {
    while (j < above.size() && above[j].Last < run.First - 1) ++j;
    for (size_t k = j; k < above.size() && above[k].First <= run.Last + 1; ++k) {
      const int32_t a = root(parent, run.Number), b = root(parent, above[k].Number);
      if (a < b)
        parent[static_cast<size_t>(b)] = a;
      else if (b < a)
        parent[static_cast<size_t>(a)] = b;
    }
  };
  // Each band labels its rows with numbers of its own, keeping the runs of its first
  // and last rows for joining it to its neighbours.
  struct TBand {
    std::vector<int32_t> Parent;
    std::vector<TRun> First, Last;
  };
  std::vector<TBand> labelled(static_cast<size_t>(bands));
  std::vector<int32_t> rowRuns(static_cast<size_t>(height));
  runBands([&](int32_t b) {
    TBand& band = labelled[static_cast<size_t>(b)];
    std::vector<TRun> above, here;
    for (int32_t y = firstRow(b); y < firstRow(b + 1); ++y) {
      here.clear();
      size_t j = 0;
      ForEachRun(row(y), width, background, [&](int32_t first, int32_t last) {
        if (band.Parent.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) tooMany();
        const auto number = static_cast<int32_t>(band.Parent.size());
        band.Parent.push_back(number);
        here.push_back({first, last, number});
        join(band.Parent, here.back(), above, j);
      });
      rowRuns[static_cast<size_t>(y)] = static_cast<int32_t>(here.size());
      if (y == firstRow(b)) band.First = here;
      std::swap(above, here);
    }
    band.Last = std::move(above);
  });
  // The bands' numbers follow one another in scan order.
  std::vector<int32_t> offsets(static_cast<size_t>(bands) + 1, 0);
  for (int32_t b = 0; b < bands; ++b) {
    const int64_t next = int64_t{offsets[static_cast<size_t>(b)]} +
                         static_cast<int64_t>(labelled[static_cast<size_t>(b)].Parent.size());
    if (next >= std::numeric_limits<int32_t>::max()) tooMany();
    offsets[static_cast<size_t>(b) + 1] = static_cast<int32_t>(next);
  }
  std::vector<int32_t> parent;
  if (bands == 1) {
    parent = std::move(labelled[0].Parent);
  } else {
    parent.resize(static_cast<size_t>(offsets.back()));
    runBands([&](int32_t b) {
      auto& own = labelled[static_cast<size_t>(b)].Parent;
      const int32_t offset = offsets[static_cast<size_t>(b)];
      for (size_t i = 0; i < own.size(); ++i) parent[offset + i] = own[i] + offset;
      std::vector<int32_t>().swap(own);
    });
    for (int32_t b = 1; b < bands; ++b) {
      auto numbered = [&](std::vector<TRun> runs, int32_t offset) {
        for (TRun& r : runs) r.Number += offset;
        return runs;
      };
      const auto above = numbered(labelled[static_cast<size_t>(b) - 1].Last, offsets[static_cast<size_t>(b) - 1]);
      size_t j = 0;
      for (const TRun& r : numbered(labelled[static_cast<size_t>(b)].First, offsets[static_cast<size_t>(b)]))
        join(parent, r, above, j);
    }
  }
  labelled.clear();
  if (parent.empty()) return;

  // Component c is stored as -(c + 1) in place of the parent.
  const TLeafOrder order(width, height);
  std::vector<TComponent> components;
  int32_t run = 0;
  for (int32_t y = 0; y < height; ++y)
    ForEachRun(row(y), width, background, [&](int32_t first, int32_t last) {
      int32_t& p = parent[static_cast<size_t>(run)];
      if (p == run) {
        p = -static_cast<int32_t>(components.size()) - 1;
        components.push_back({{first, y, last, y}, order.Key(first, y)});
      } else {
        p = parent[static_cast<size_t>(p)];
        TComponent& c = components[static_cast<size_t>(-p - 1)];
        c.Box.Left = std::min(c.Box.Left, first);
        c.Box.Right = std::max(c.Box.Right, last);
        c.Box.Bottom = y;
        c.FirstKey = std::min(c.FirstKey, order.Key(first, y));  // keys rise along a row
      }
      ++run;
    });

  std::vector<int32_t> byOrder(components.size());
  for (size_t c = 0; c < byOrder.size(); ++c) byOrder[c] = static_cast<int32_t>(c);
  std::sort(byOrder.begin(), byOrder.end(), [&](int32_t a, int32_t b) {
    return components[static_cast<size_t>(a)].FirstKey < components[static_cast<size_t>(b)].FirstKey;
  });
  // The boxes in list order, and each run's component number turned into its region's
  // place in the list; the components go before the regions are made.
  std::vector<TRect> boxes(byOrder.size());
  {
    std::vector<int32_t> place(components.size());
    for (size_t k = 0; k < byOrder.size(); ++k) {
      const auto c = static_cast<size_t>(byOrder[k]);
      boxes[k] = components[c].Box;
      place[c] = static_cast<int32_t>(k);
    }
    std::vector<TComponent>().swap(components);
    std::vector<int32_t>().swap(byOrder);
    for (int32_t& p : parent) p = -place[static_cast<size_t>(-p - 1)] - 1;
  }
  const int32_t offset = list.Count();
  list.Reserve(static_cast<size_t>(offset) + boxes.size());
  for (const TRect& b : boxes)
    list.Add(TPattern::CreateEmpty(
        {b.Left + scene.Left, b.Top + scene.Top, b.Right + scene.Left, b.Bottom + scene.Top},
        background));
  std::vector<TRect>().swap(boxes);  // each region holds its box now
  // Each band copies its rows' runs: the bands write different rows of a region.
  std::vector<int32_t> bandRuns(static_cast<size_t>(bands), 0);
  for (int32_t b = 1; b < bands; ++b) {
    int32_t n = bandRuns[static_cast<size_t>(b) - 1];
    for (int32_t y = firstRow(b - 1); y < firstRow(b); ++y) n += rowRuns[static_cast<size_t>(y)];
    bandRuns[static_cast<size_t>(b)] = n;
  }
  runBands([&](int32_t band) {
    int32_t next = bandRuns[static_cast<size_t>(band)];
    for (int32_t y = firstRow(band); y < firstRow(band + 1); ++y) {
      const TColor* pixels = row(y);
      ForEachRun(pixels, width, background, [&](int32_t first, int32_t last) {
        TPattern& region = list.Items(offset - parent[static_cast<size_t>(next++)] - 1);
        std::copy(pixels + first, pixels + last + 1,
                  &region.Pixels[y + scene.Top - region.Top][first + scene.Left - region.Left]);
      });
    }
  });
}

// ---- ellipses ----

namespace {

const Real kPixelMoment = Real(1) / 12;  // second moment of a unit square

// The pixels of row[begin, end) that are not background.
int64_t CountInside(const TColor* row, int32_t begin, int32_t end, TColor background) {
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

}  // namespace

namespace {

constexpr int32_t kColumnStrip = 64;  // columns gathered at a time by the walkers below

// visit(x, flags) for every column x of the region from left to right, flags holding
// its inside flags from the top row down, until visit returns false. Walking a large
// region's pixels down the columns would touch a new cache line (and page) at every
// step, so the flags are transposed from the rows one strip of columns at a time, and
// only a strip is kept.
template <typename TVisit>
void ForEachInsideColumn(const TPattern& region, TVisit&& visit) {
  const int32_t width = region.Width(), height = region.Height();
  if (width <= 0 || height <= 0) return;
  constexpr int32_t Strip = kColumnStrip;
  const TColor background = region.Background();
  const auto column = [&](int32_t k) { return static_cast<size_t>(k) * static_cast<size_t>(height); };
  std::vector<uint8_t> flags(column(std::min(width, Strip)));
  for (int32_t left = 0; left < width; left += Strip) {
    const int32_t n = std::min(Strip, width - left);
    for (int32_t y = 0; y < height; ++y) {
      const TColor* row = region.Pixels[y] + left;
      for (int32_t k = 0; k < n; ++k) flags[column(k) + static_cast<size_t>(y)] = row[k] != background;
    }
    for (int32_t k = 0; k < n; ++k)
      if (!visit(region.Left + left + k, flags.data() + column(k))) return;
  }
}

// The sums of a region's pixels: count, coordinates, and the second moments of the
// pixels as unit squares; the colour is the last pixel's in scan order.
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
template <typename TVisit>
void ForEachColumnsInsideRows(const TPattern& region, TVisit&& visit) {
  const int32_t width = region.Width(), height = region.Height();
  if (width <= 0 || height <= 0) return;
  constexpr int32_t Strip = kColumnStrip;
  const TColor background = region.Background();
  const auto column = [&](int32_t k) { return static_cast<size_t>(k) * static_cast<size_t>(height); };
  std::vector<int32_t> rows(column(std::min(width, Strip)));
  int32_t counts[Strip];
  for (int32_t left = 0; left < width; left += Strip) {
    const int32_t n = std::min(Strip, width - left);
    std::fill(counts, counts + n, 0);
    for (int32_t y = 0; y < height; ++y) {
      const TColor* row = region.Pixels[y] + left;
      for (int32_t k = 0; k < n; ++k) {
        rows[column(k) + static_cast<size_t>(counts[k])] = region.Top + y;
        counts[k] += row[k] != background;
      }
    }
    for (int32_t k = 0; k < n; ++k) visit(region.Left + left + k, rows.data() + column(k), counts[k]);
  }
}

TMomentSums MomentSums(const TPattern& region) {
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
    if (t.N > 0) t.Color = region.GetPixel(lastX, lastY);
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
bool MorePixelsBehindFirstAxis(const TPattern& region, const TEllipse& ellipse) {
  int64_t pos = 0, neg = 0;
  const TFirstCoordinate local(ellipse, region.GetBounds());
  // Counts do not depend on the order: row by row, the way the pixels lie.
  const TColor background = region.Background();
  for (int32_t y = region.Top; y <= region.Bottom; ++y) {
    const TColor* row = region.Pixels[y - region.Top];
    const auto span = local.Ahead(y);
    const int64_t all = CountInside(row, 0, region.Width(), background);
    const int64_t ahead = CountInside(row, span.Begin, span.End, background);
    pos += ahead;
    neg += all - ahead;
  }
  return pos < neg;
}

}  // namespace

void FitEllipse(const TPattern& region, TEllipse& ellipse) {
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
}

namespace {

// The pixels of the region and the ellipse in common and covered by either, counted a
// column at a time; after each column, goOn(common, covered) may stop the count.
template <typename TGoOn>
void CountCoverage(const TPattern& region, const TEllipse& ellipse, int64_t& common,
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
bool ErrorAbove(const TPattern& region, const TEllipse& ellipse, double admissibleError) {
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

// ---- representation trees ----

void BuildRepresentation(const TPattern& region, TTree& node, int32_t maxTreeLevel,
                         double admissibleError, int32_t level, TEllipse* fitted,
                         const TRunBoth& both) {
  TEllipse e;
  FitEllipse(region, e);
  e.SaveToBytes(node.Data);
  if (fitted) *fitted = e;
  // The error only decides a split: at the last level it is not needed.
  if (level == maxTreeLevel || level >= MaxRepresentationLevel) return;
  if (!ErrorAbove(region, e, admissibleError)) return;

  // Each pixel goes to the first half when its first local coordinate is >= 0, else
  // to the second. Each half is made right away at its trimmed size: the box of its
  // inside pixels, holding the region's pixels of its side and background elsewhere.
  // The sides and boxes do not depend on the order of the pixels: row by row.
  const int32_t width = region.Width(), height = region.Height();
  const TColor background = region.Background();
  // Per row, the columns of the first half (counted from region.Left); the rest of the
  // row belongs to the second.
  std::vector<TFirstCoordinate::TSpan> spans(static_cast<size_t>(height));
  TRect boxes[2] = {{region.Right, region.Bottom, region.Left, region.Top},
                    {region.Right, region.Bottom, region.Left, region.Top}};
  bool filled[2] = {false, false};
  const auto widen = [&](int side, const TColor* row, int32_t begin, int32_t end, int32_t y) {
    int32_t first = begin, last = end - 1;
    while (first < end && row[first] == background) ++first;
    if (first == end) return;
    while (row[last] == background) --last;
    filled[side] = true;
    TRect& box = boxes[side];
    box.Left = std::min(box.Left, region.Left + first);
    box.Top = std::min(box.Top, y);
    box.Right = std::max(box.Right, region.Left + last);
    box.Bottom = std::max(box.Bottom, y);
  };
  {
    const TFirstCoordinate local(e, region.GetBounds());
    for (int32_t y = region.Top; y <= region.Bottom; ++y) {
      const TColor* row = region.Pixels[y - region.Top];
      const auto span = spans[static_cast<size_t>(y - region.Top)] = local.Ahead(y);
      widen(0, row, span.Begin, span.End, y);
      widen(1, row, 0, span.Begin, y);
      widen(1, row, span.End, width, y);
    }
  }
  // A half without inside pixels cannot be fitted: the part stays a leaf.
  if (!filled[0] || !filled[1]) return;

  node.Children.resize(2);
  for (auto& child : node.Children) child = std::make_unique<TTree>();
  auto half = [&](int k) {
    const TRect& box = boxes[k];
    TPattern part(box, background);
    const int32_t left = box.Left - region.Left, right = box.Right - region.Left + 1;
    for (int32_t y = box.Top; y <= box.Bottom; ++y) {
      const TColor* source = region.Pixels[y - region.Top];
      TColor* target = part.Pixels[y - box.Top];  // column left of the region is target[0]
      const auto span = spans[static_cast<size_t>(y - region.Top)];
      // The row's pixels of side k, background elsewhere.
      const auto put = [&](int32_t begin, int32_t end, bool keep) {
        begin = std::max(begin, left);
        end = std::min(end, right);
        if (begin >= end) return;
        if (keep)
          std::copy(source + begin, source + end, target + (begin - left));
        else
          std::fill(target + (begin - left), target + (end - left), background);
      };
      put(0, span.Begin, k == 1);
      put(span.Begin, span.End, k == 0);
      put(span.End, width, k == 1);
    }
    BuildRepresentation(part, *node.Children[k], maxTreeLevel, admissibleError, level + 1,
                        nullptr, both);
  };
  // The halves are independent: each fills its own child.
  const auto area = [](const TRect& r) {
    return (int64_t{r.Right} - r.Left + 1) * (int64_t{r.Bottom} - r.Top + 1);
  };
  if (both) {
    both(area(boxes[0]) + area(boxes[1]), [&] { half(0); }, [&] { half(1); });
  } else {
    half(0);
    half(1);
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

// ---- comparison and recognition ----

double CompareEllipses(const TEllipse& e1, const TEllipse& e2) {
  return CompareEllipses(TComparedEllipse(e1), TComparedEllipse(e2));
}

double CodeDistance(const TCode& sceneCode, const TCode& baseCode) {
  return CodeDistanceUpTo(sceneCode, baseCode, std::numeric_limits<double>::infinity());
}

double CodeDistanceUpTo(const TCode& sceneCode, const TCode& baseCode, double bound) {
  return TCodeDistanceFrom(sceneCode).UpTo(baseCode, bound);
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
