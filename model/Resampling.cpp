// Resampling: each output pixel is sampled on a 4 x 4 grid of points; every point is
// mapped back into the source by the inverse move and takes the pixel it falls in. The
// colour with the most points wins (the first to reach that count on a tie).
// The inverse move of a point is a sum of a term of its column and a term of its row,
// so those terms are worked out once per column and once per row, each exactly as the
// whole sum would round it. Only the columns of each row whose points can land near the
// source's pixels other than white are sampled: every other point lands on white or
// outside the source, and so does every point of the pixels left out. Along a row,
// runs of pixels whose points all land in a block of one colour take it from four
// points.
//   ResamplePattern, TurnPattern, TResampler
#include "model/Resampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace ormax {

namespace {

constexpr int Grid = 4;  // points per side of an output pixel
constexpr double MaxPixels = 67108864.0;

// The colour most points of one output pixel landed on.
struct TVotes {
  std::array<TColor, Grid * Grid> Colors{};
  std::array<int, Grid * Grid> Counts{};
  int Used = 0, Best = -1;
  void Add(TColor c) {
    int i = 0;
    while (i < Used && Colors[i] != c) ++i;
    if (i == Used) {
      Colors[i] = c;
      Counts[i] = 0;
      ++Used;
    }
    ++Counts[i];
    if (Best < 0 || Counts[i] > Counts[Best]) Best = i;
  }
};

// The size of a copy and the constants of its inverse move.
struct TFrame {
  double C, S;    // cosine and sine of the turn
  double W, H;    // the source's size
  double Cx, Cy;  // the source's centre
  double Ox, Oy;  // where it goes in the copy
  int32_t OutW, OutH;
};

TFrame FrameOf(const TImg& source, const TResampling& move) {
  if (!(move.Scale > 0) || !std::isfinite(move.Scale))
    throw std::invalid_argument("the scale of a copy must be a positive number");
  const double a = move.Degrees * static_cast<double>(Pi) / 180, c = std::cos(a), s = std::sin(a);
  const double w = source.Width(), h = source.Height();
  const double outWidth = (std::abs(w * c) + std::abs(h * s)) * move.Scale + 2;
  const double outHeight = (std::abs(w * s) + std::abs(h * c)) * move.Scale + 2;
  if (outWidth * outHeight > MaxPixels)
    throw std::invalid_argument("a copy that large would exceed 2^26 pixels");
  const int outW = std::max(1, static_cast<int>(std::ceil(outWidth - 1e-9)));
  const int outH = std::max(1, static_cast<int>(std::ceil(outHeight - 1e-9)));
  // Pixel centres are at whole coordinates; the centre of the source goes to the centre
  // of the output, moved by the shift.
  const double cx = (w - 1) / 2, cy = (h - 1) / 2;
  const double ox = (outW - 1) / 2.0 + move.ShiftX, oy = (outH - 1) / 2.0 + move.ShiftY;
  return TFrame{c, s, w, h, cx, cy, ox, oy, outW, outH};
}

// Which blocks of a source's pixels are of one colour, for the pixels of `area`
// (counted from the source's corner): the numbers of pixels that differ from their
// right neighbour and from the one below, summed over every rectangle from the area's
// corner.
class TColourBlocks {
 public:
  TColourBlocks(const TImg& source, const TRect& area)
      : area_(area), stride_(static_cast<size_t>(area.Right - area.Left) + 2) {
    const int32_t width = area.Right - area.Left + 1, height = area.Bottom - area.Top + 1;
    sums_.assign(stride_ * (static_cast<size_t>(height) + 1), TCounts{0, 0});
    for (int32_t y = 0; y < height; ++y) {
      const TColor* row = source.Pixels[area.Top + y] + area.Left;
      const TColor* below = y + 1 < height ? source.Pixels[area.Top + y + 1] + area.Left : nullptr;
      TCounts line{0, 0};
      const TCounts* above = &sums_[static_cast<size_t>(y) * stride_];
      TCounts* sums = &sums_[static_cast<size_t>(y + 1) * stride_];
      for (int32_t x = 0; x < width; ++x) {
        line[0] += x + 1 < width && row[x] != row[x + 1];
        line[1] += below && row[x] != below[x];
        sums[x + 1] = TCounts{above[x + 1][0] + line[0], above[x + 1][1] + line[1]};
      }
    }
  }
  const TRect& Area() const { return area_; }
  // Whether the pixels [x0, x1] x [y0, y1] (within the area) are of one colour: none
  // differs from its right neighbour within the columns, nor from the one below within
  // the rows.
  bool OneColour(int32_t x0, int32_t x1, int32_t y0, int32_t y1) const {
    x0 -= area_.Left;
    x1 -= area_.Left;
    y0 -= area_.Top;
    y1 -= area_.Top;
    // The sum of counts `which` over columns [a, b) and rows [c, d).
    const auto sum = [&](int which, int32_t a, int32_t b, int32_t c, int32_t d) {
      const auto at = [&](int32_t x, int32_t y) {
        const size_t i = static_cast<size_t>(y) * stride_ + static_cast<size_t>(x);
        return sums_[i][static_cast<size_t>(which)];
      };
      return at(b, d) - at(a, d) - at(b, c) + at(a, c);  // wraps back to the exact count
    };
    return sum(0, x0, x1, y0, y1 + 1) == 0 && sum(1, x0, x1 + 1, y0, y1) == 0;
  }

 private:
  using TCounts = std::array<uint32_t, 2>;  // to the right, below
  TRect area_;
  size_t stride_;
  std::vector<TCounts> sums_;
};

// The columns first .. last of a row (none when first > last).
struct TColumns {
  int32_t First, Last;
  bool Empty() const { return First > Last; }
};

// The values of t with lo <= k t <= hi: [Lo, Hi], none when Lo > Hi.
struct TInterval {
  double Lo, Hi;
};
TInterval Solve(double k, double lo, double hi) {
  if (k > 0) return {lo / k, hi / k};
  if (k < 0) return {hi / k, lo / k};
  return lo <= 0 && 0 <= hi ? TInterval{-HUGE_VAL, HUGE_VAL} : TInterval{1, 0};
}

// Per row of the copy, the columns whose points may land in the source's box `ink` (the
// pixels other than white, counted from the source's corner). Worked out without the
// rounding of the points' own sums, so the box is widened by a source pixel and the
// columns by a pixel on each side: a point of a column left out lands a pixel or more
// away from the box.
std::vector<TColumns> InkColumns(const TFrame& f, const TResampling& move, const TRect& ink) {
  std::vector<TColumns> rows(static_cast<size_t>(f.OutH), TColumns{0, f.OutW - 1});
  if (!std::isfinite(f.Ox) || !std::isfinite(f.Oy)) return rows;  // every point sampled
  constexpr double Margin = 1;
  const double x0 = ink.Left - 0.5 - Margin, x1 = ink.Right + 0.5 + Margin;
  // The points' first source coordinate before the mirror flips it.
  const double sx0 = move.Mirror ? (f.W - 1) - x1 : x0, sx1 = move.Mirror ? (f.W - 1) - x0 : x1;
  const double sy0 = ink.Top - 0.5 - Margin, sy1 = ink.Bottom + 0.5 + Margin;
  constexpr double Reach = 0.5 - 0.5 / Grid;  // from a pixel's centre to its outer points
  for (int32_t y = 0; y < f.OutH; ++y) {
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int j = 0; j < Grid; ++j) {
      const double py = y - 0.5 + (j + 0.5) / Grid;
      const double dy = (py - f.Oy) / move.Scale;
      // sx = C dx + S dy + Cx and sy = -S dx + C dy + Cy within the widened box.
      const TInterval a = Solve(f.C, sx0 - f.S * dy - f.Cx, sx1 - f.S * dy - f.Cx);
      const TInterval b = Solve(-f.S, sy0 - f.C * dy - f.Cy, sy1 - f.C * dy - f.Cy);
      const double dlo = std::max(a.Lo, b.Lo), dhi = std::min(a.Hi, b.Hi);
      if (dlo > dhi) continue;
      lo = std::min(lo, f.Ox + dlo * move.Scale);
      hi = std::max(hi, f.Ox + dhi * move.Scale);
    }
    TColumns& r = rows[static_cast<size_t>(y)];
    if (lo > hi) {
      r = TColumns{0, -1};
      continue;
    }
    // A column x has its points at x - Reach .. x + Reach.
    const double end = f.OutW;
    r.First = std::max(0, static_cast<int32_t>(std::ceil(std::clamp(lo - Reach - 1, -1.0, end))));
    r.Last = std::min(f.OutW - 1,
                      static_cast<int32_t>(std::floor(std::clamp(hi + Reach + 1, -1.0, end))));
  }
  return rows;
}

constexpr int32_t LongestRun = 64;  // output pixels taken from four points at the most

// The column terms of the inverse move, for every point of out's columns: point i of
// column x is point column k = (x - out.Left) Grid + i.
void ColumnTerms(const TFrame& f, const TResampling& move, const TPattern& out,
                 std::vector<double>& cdx, std::vector<double>& sdx) {
  const int32_t left = out.Left;
  cdx.resize(static_cast<size_t>(out.Width()) * Grid);
  sdx.resize(cdx.size());
  for (int32_t x = out.Left; x <= out.Right; ++x)
    for (int i = 0; i < Grid; ++i) {
      const double px = x - 0.5 + (i + 0.5) / Grid;
      const double dx = (px - f.Ox) / move.Scale;
      const auto k = static_cast<size_t>(x - left) * Grid + static_cast<size_t>(i);
      cdx[k] = f.C * dx;
      sdx[k] = -f.S * dx;
    }
}

// The points of one row of a copy at a time, as the source pixels they land in, and
// the colours they find there.
template <bool Mirror>
struct TRowPoints {
  // For a piece of the copy whose first column is left, with its column terms.
  TRowPoints(const TImg& source, const TColourBlocks& blocks, const TFrame& f,
             const std::vector<double>& cdx, const std::vector<double>& sdx, int32_t left)
      : Pixels(source.Pixels[0]), Stride(static_cast<size_t>(source.Width())), Blocks(blocks),
        F(f), Cdx(cdx.data()), Sdx(sdx.data()), Left(left), W(f.W), H(f.H), Flip(f.W - 1),
        AreaLeft(blocks.Area().Left), AreaRight(blocks.Area().Right + 1.0),
        AreaTop(blocks.Area().Top), AreaBottom(blocks.Area().Bottom + 1.0) {}

  const TColor* Pixels;  // the source's, row after row
  size_t Stride;
  const TColourBlocks& Blocks;
  const TFrame& F;
  const double* Cdx;  // the column terms (ColumnTerms)
  const double* Sdx;
  int32_t Left;  // the copy's column of point column 0
  double W, H, Flip;
  double AreaLeft, AreaRight, AreaTop, AreaBottom;  // the blocks' area, as bounds of tx, ty
  double Sdy[Grid], Cdy[Grid];                      // the row terms

  // The row terms of the inverse move for row y.
  void SetRow(int32_t y, const TResampling& move) {
    for (int j = 0; j < Grid; ++j) {
      const double py = y - 0.5 + (j + 0.5) / Grid;
      const double dy = (py - F.Oy) / move.Scale;
      Sdy[j] = F.S * dy;
      Cdy[j] = F.C * dy;
    }
  }

  // Point column k of row j, as the source pixel it falls in: tx and ty hold s + 0.5,
  // whose floor is the pixel (within [0, size) exactly when s + 0.5 is, and
  // truncation is the floor there).
  void Point(size_t k, int j, double& tx, double& ty) const {
    // Back from the output point to the source: the sums of the inverse move in the
    // order the whole expression adds them.
    double sx = Cdx[k] + Sdy[j] + F.Cx;
    const double sy = Sdx[k] + Cdy[j] + F.Cy;
    if constexpr (Mirror) sx = Flip - sx;
    tx = sx + 0.5;
    ty = sy + 0.5;
  }

  // Whether every point of point columns ka .. kb lands in one block of one colour,
  // and that colour. Each rounded step of a point's sums is monotone in its column
  // term and in its row term, and the column terms rise (or fall) with k as the row
  // terms do with j, so the source column and row of every point of columns ka .. kb
  // lie between those of the four corner points: when those span a block of one
  // colour, every point lands on it.
  bool OneColour(size_t ka, size_t kb, TColor& colour) const {
    int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    for (int corner = 0; corner < 4; ++corner) {
      double tx, ty;
      Point(corner & 1 ? kb : ka, corner & 2 ? Grid - 1 : 0, tx, ty);
      if (!(tx >= AreaLeft && tx < AreaRight && ty >= AreaTop && ty < AreaBottom)) return false;
      const auto px = static_cast<int32_t>(tx), py = static_cast<int32_t>(ty);
      x0 = corner == 0 ? px : std::min(x0, px);
      x1 = corner == 0 ? px : std::max(x1, px);
      y0 = corner == 0 ? py : std::min(y0, py);
      y1 = corner == 0 ? py : std::max(y1, py);
    }
    if (!Blocks.OneColour(x0, x1, y0, y1)) return false;
    colour = Pixels[static_cast<size_t>(y0) * Stride + static_cast<size_t>(x0)];
    return true;
  }

  // The pixel at column x from all of its points.
  TColor Vote(int32_t x) const {
    const size_t k0 = static_cast<size_t>(x - Left) * Grid;
    std::array<TColor, Grid * Grid> seen;
    bool same = true;
    for (int j = 0; j < Grid; ++j)
      for (int i = 0; i < Grid; ++i) {
        double tx, ty;
        Point(k0 + static_cast<size_t>(i), j, tx, ty);
        const TColor c = tx >= 0 && ty >= 0 && tx < W && ty < H
                             ? Pixels[static_cast<size_t>(static_cast<int32_t>(ty)) * Stride +
                                      static_cast<size_t>(static_cast<int32_t>(tx))]
                             : clWhite;
        seen[static_cast<size_t>(j * Grid + i)] = c;
        same = same && c == seen[0];
      }
    if (same) return seen[0];
    TVotes votes;
    for (const TColor c : seen) votes.Add(c);
    return votes.Colors[static_cast<size_t>(votes.Best)];
  }
};

// Samples the columns first .. last of the row whose terms points holds into target
// (column points.Left first). Runs grow while they are of one colour and halve when
// not; a pixel alone that is not is voted on.
template <bool Mirror>
void SampleRow(const TRowPoints<Mirror>& points, int32_t first, int32_t last, TColor* target) {
  const int32_t left = points.Left;
  int32_t run = 1;
  for (int32_t x = first; x <= last;) {
    const int32_t n = std::min(run, last - x + 1);
    const size_t ka = static_cast<size_t>(x - left) * Grid;
    TColor colour;
    if (points.OneColour(ka, ka + static_cast<size_t>(n) * Grid - 1, colour)) {
      std::fill_n(target + (x - left), n, colour);
      x += n;
      run = std::min(2 * run, LongestRun);
    } else if (n > 1) {
      run = n / 2;
    } else {
      target[x - left] = points.Vote(x);
      ++x;
    }
  }
}

// Samples the columns of each row of out (a piece of the copy, at the copy's
// coordinates, white before) that rows names.
template <bool Mirror>
void Sample(const TImg& source, const TColourBlocks& blocks, const TFrame& f,
            const TResampling& move, const std::vector<TColumns>& rows, TPattern& out) {
  if (out.Width() <= 0 || out.Height() <= 0) return;
  std::vector<double> cdx, sdx;
  ColumnTerms(f, move, out, cdx, sdx);
  TRowPoints<Mirror> points(source, blocks, f, cdx, sdx, out.Left);
  for (int32_t y = out.Top; y <= out.Bottom; ++y) {
    const TColumns span = rows[static_cast<size_t>(y)];
    const int32_t first = std::max(span.First, out.Left), last = std::min(span.Last, out.Right);
    if (first > last) continue;
    points.SetRow(y, move);
    SampleRow(points, first, last, out.Pixels[y - out.Top]);
  }
}

void SampleRows(const TImg& source, const TColourBlocks& blocks, const TFrame& f,
                const TResampling& move, const std::vector<TColumns>& rows, TPattern& out) {
  if (move.Mirror)
    Sample<true>(source, blocks, f, move, rows, out);
  else
    Sample<false>(source, blocks, f, move, rows, out);
}

TPattern WhitePattern(const TRect& bounds) {
  return std::move(*TPattern::CreateEmpty(bounds, clWhite));
}

}  // namespace

struct TResampler::TBlocks : TColourBlocks {
  using TColourBlocks::TColourBlocks;
};

TResampler::TResampler(const TImg& source) : source_(source), ink_{0, 0, -1, -1}, blank_(true) {
  for (int32_t y = 0; y < source.Height(); ++y) {
    const TColor* row = source.Pixels[y];
    int32_t first = 0, last = source.Width() - 1;
    while (first <= last && row[first] == clWhite) ++first;
    if (first > last) continue;
    while (row[last] == clWhite) --last;
    if (blank_) {
      ink_ = TRect{first, y, last, y};
      blank_ = false;
    }
    ink_.Left = std::min(ink_.Left, first);
    ink_.Right = std::max(ink_.Right, last);
    ink_.Bottom = y;
  }
  if (blank_) return;
  // The points that land beside the box still see white there.
  const TRect area{std::max(0, ink_.Left - 1), std::max(0, ink_.Top - 1),
                   std::min(source.Width() - 1, ink_.Right + 1),
                   std::min(source.Height() - 1, ink_.Bottom + 1)};
  blocks_ = std::make_unique<const TBlocks>(source, area);
}

TResampler::~TResampler() = default;

TPattern TResampler::Whole(const TResampling& move) const {
  const TFrame f = FrameOf(source_, move);
  TPattern out = WhitePattern(TRect{0, 0, f.OutW - 1, f.OutH - 1});
  if (!blank_) SampleRows(source_, *blocks_, f, move, InkColumns(f, move, ink_), out);
  return out;
}

TPattern TResampler::Part(const TResampling& move) const {
  const TFrame f = FrameOf(source_, move);
  const TRect dot{0, 0, 0, 0};
  if (blank_) return WhitePattern(dot);
  const std::vector<TColumns> rows = InkColumns(f, move, ink_);
  TRect box{f.OutW, f.OutH, -1, -1};
  for (int32_t y = 0; y < f.OutH; ++y) {
    const TColumns r = rows[static_cast<size_t>(y)];
    if (r.Empty()) continue;
    box.Left = std::min(box.Left, r.First);
    box.Right = std::max(box.Right, r.Last);
    box.Top = std::min(box.Top, y);
    box.Bottom = y;
  }
  if (box.Right < box.Left) return WhitePattern(dot);
  TPattern out = WhitePattern(box);
  SampleRows(source_, *blocks_, f, move, rows, out);
  return out;
}

TPattern ResamplePattern(const TImg& source, const TResampling& move) {
  return TResampler(source).Whole(move);
}

TPattern TurnPattern(const TImg& source, double degrees, bool mirror) {
  TResampling move;
  move.Degrees = degrees;
  move.Mirror = mirror;
  return ResamplePattern(source, move);
}

}  // namespace ormax
