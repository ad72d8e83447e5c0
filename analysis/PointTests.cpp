// PointTests: whether grid points lie in an ellipse, in double with a proven bound on
// the rounding error; points within that bound of the boundary are decided again in
// extended precision, so the answers are those of the extended test.
//   GridCoordinates, TEllipseTerms, TGridContainment (Column, PrepareRuns, Runs)
#include "analysis/PointTests.h"

#include <bit>
#include <cmath>

namespace ormax {

// Why the double answer can be trusted away from the boundary.
//
// TEllipse::Contains(x, y) computes, in extended precision (64-bit significand, long
// double or the same format in software), d = (x, y) - c, (u, v) = A d with
// A the inverse rotation, and s = (u / a0)^2 + (v / a1)^2 (Power with exponent 2 is an
// exact square), and answers s <= 1. Take c, A, a as exact numbers; the true value of s
// for them is S. With D0 = |x| + |c0|, D1 = |y| + |c1| and T0 = |A00 / a0| D0 +
// |A01 / a0| D1, T1 likewise, |u / a0| <= T0 and |v / a1| <= T1.
//
// The double path rounds c, A and a to double (relative error u = 2^-53 each), forms
// k = A / a, the products k * d and their sums; the first-order error analysis gives
// |t - u / a0| <= 7.05 u T0 for each scaled coordinate t and then |s_double - S| <=
// 16.2 u (T0^2 + T1^2). The extended path has the same form with 2^-64, below
// 0.01 u (T0^2 + T1^2). So with margin M = 32 u (T0^2 + T1^2) + 2^-600 (the last term
// covers products that underflow), s_double < 1 - M proves s_extended < 1 (inside),
// and s_double > 1 + M proves s_extended > 1 (outside). In between the extended test
// decides. The double path is used only for exponent 2 and finite values of a
// moderate size (at most 2^400, and semi-axes of at least 2^-400), so that no square
// overflows and no quotient loses its relative accuracy.
//
// Why a run of rows can be settled at its ends (Runs). Along a column x the exact S is
// a convex quadratic in y. So (a) a row between two rows with S < 1 - M' has S < 1 -
// M' as well, and (b) where a row r has S > 1 + M' and some point p above it (below
// it) has S < 1, every row below r (above r) has S > S(r). Take the margin M with T0
// and T1 at the largest |x| of the columns and the largest |y| of the rows: it is at
// least the margin of every grid point, so a double value below 1 - M proves S < 1 -
// M' and one above 1 + M proves S > 1 + M', with M' = 15.8 u (T0^2 + T1^2) beyond the
// extended test's error anywhere on the grid. A column's run therefore needs only the
// double tests of its end rows (in) and of the rows just beyond them (out); a column
// with no row between its crossings, those of the two rows around them (out) and of
// one point between them (in). A column that misses the ellipse is told by its
// distance from the centre: the least S over the column is dx^2 D^2 / Q (dx = x - c0,
// D the determinant of k, Q = k01^2 + k11^2). With the rotation far from singular
// (|k00 k11| + |k01 k10| <= 256 |D|), Q / D^2 in double is within 2^-40 of its exact
// value; dx, rounded with c0, is within 4 u (|x| + |c0|) of its own. A column whose
// dx, so shortened, still squares above (1 + M) (1 + 2^-30) Q / D^2 has S > 1 + M
// everywhere: no row is inside.

namespace {

constexpr double kUnit = 0x1p-53;
constexpr double kLarge = 0x1p400;
constexpr double kSmall = 0x1p-400;
constexpr double kFloor = 0x1p-600;

// Run's quantities stay well inside the normal range, so that their rounding errors
// are relative ones.
constexpr double kRunSmall = 0x1p-250;
constexpr double kRunLarge = 0x1p250;

bool Moderate(double v) {
  return std::isfinite(v) && std::fabs(v) <= kLarge;
}

}  // namespace

// Why a double sum is the extended sum rounded to double. For doubles x and step the
// exact sum S is held by the double s = x + step and its error e (S = s + e, both
// exact). Rounded first to 64 bits and then to 53, S gives s unless the 64-bit value
// is the midpoint between s and its neighbour towards e: then the tie goes to the
// even one, the neighbour when s is odd. That needs |e| >= gap (1/2 - 2^-12), gap
// being s's spacing (the same on both sides when s is odd). Sums whose spacing is not
// a normal double (tiny s) are left to the extended sum as well.
namespace {

// The sums in double; false when one of them might round otherwise in extended.
bool DoubleCoordinates(double first, double step, double limit, int32_t most, double* out,
                       int32_t& count) {
  constexpr uint64_t kExponent = 0x7ff0000000000000u, kFraction = uint64_t{52} << 52;
  uint64_t doubtful = 0;
  int32_t n = 0;
  for (double x = first; n < most && x <= limit;) {
    out[n++] = x;
    const double s = x + step;
    const double back = s - x;
    const double e = (x - (s - back)) + (step - back);
    const uint64_t bits = std::bit_cast<uint64_t>(s);
    const uint64_t exponent = bits & kExponent;
    const double gap = std::bit_cast<double>(exponent - kFraction);
    const uint64_t inexact = e != 0;
    const uint64_t tiny = exponent <= kFraction;
    const uint64_t tie = (bits & 1) & static_cast<uint64_t>(std::fabs(e) >= gap * (0.5 - 0x1p-12));
    doubtful |= inexact & (tiny | tie);
    x = s;
  }
  count = n;
  return doubtful == 0;
}

// The sums in extended precision, one after the other.
[[gnu::noinline]] int32_t ExtendedCoordinates(double first, double step, double limit,
                                              int32_t most, double* out) {
  int32_t count = 0;
  for (double x = first; count < most && x <= limit;
       x = static_cast<double>(static_cast<Real>(x) + step))
    out[count++] = x;
  return count;
}

// Whether every sum of a run is exact in 64 bits, so that rounding it to double is all
// the extended sum does: first and step are multiples of 2^m (m the lower of their
// lowest possible set bits), hence so is every value of the run and every sum; a sum
// below 2^(m + 64) in size then has at most 64 significant bits. The run's sums stay
// below |first| + 32 |step| (26 steps and their roundings).
bool ExactInExtended(double first, double step) {
  auto lowest = [](double v) {  // the exponent of the lowest bit a double of v's size has
    return std::max(static_cast<int>((std::bit_cast<uint64_t>(v) >> 52) & 0x7ff), 1) - 1075;
  };
  if (step == 0) return true;
  const int low = first == 0 ? lowest(step) : std::min(lowest(first), lowest(step));
  return lowest(std::fabs(first) + 32 * std::fabs(step)) + 52 <= low + 60;
}

}  // namespace

int32_t GridCoordinates(double first, double step, double limit, int32_t most, double* out) {
  int32_t count = 0;
  if (Moderate(first) && Moderate(step) && Moderate(limit)) {
    if (ExactInExtended(first, step)) {
      for (double x = first; count < most && x <= limit; x += step) out[count++] = x;
      return count;
    }
    if (DoubleCoordinates(first, step, limit, most, out, count)) return count;
  }
  return ExtendedCoordinates(first, step, limit, most, out);
}

TEllipseTerms::TEllipseTerms(const TEllipse& e)
    : Ellipse(&e), Inverse(InvertMatrix(e.Rotation)) {
  C0 = static_cast<double>(e.Center[0]);
  C1 = static_cast<double>(e.Center[1]);
  const double a0 = static_cast<double>(e.Axes[0]), a1 = static_cast<double>(e.Axes[1]);
  Fast = e.Exponent == 2.0 && Moderate(C0) && Moderate(C1) && Moderate(a0) && Moderate(a1) &&
         std::fabs(a0) >= kSmall && std::fabs(a1) >= kSmall;
  if (!Fast) return;
  double inv[2][2];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) {
      inv[r][c] = static_cast<double>(Inverse[r][c]);
      if (!Moderate(inv[r][c])) Fast = false;
    }
  if (!Fast) return;
  K00 = inv[0][0] / a0;
  K01 = inv[0][1] / a0;
  K10 = inv[1][0] / a1;
  K11 = inv[1][1] / a1;
  if (!Moderate(K00) || !Moderate(K01) || !Moderate(K10) || !Moderate(K11)) {
    Fast = false;
    return;
  }
  Q = K01 * K01 + K11 * K11;
  D = K00 * K11 - K01 * K10;
  const double spread = std::fabs(K00 * K11) + std::fabs(K01 * K10);
  HalfWidth2 = Q / (D * D);
  Runs = Q >= kRunSmall && Q <= kRunLarge && std::fabs(D) >= kRunSmall &&
         std::fabs(D) <= kRunLarge && spread <= 256 * std::fabs(D) && HalfWidth2 >= kRunSmall &&
         HalfWidth2 <= kRunLarge;
  if (Runs) {
    Lean = -(K00 * K01 + K10 * K11) / Q;
    Runs = Moderate(Lean);
  }
}

TGridContainment::TGridContainment(const TEllipse& e, const double* ys, int32_t count)
    : TGridContainment(TEllipseTerms(e), ys, count) {}

TGridContainment::TGridContainment(const TEllipseTerms& terms, const double* ys, int32_t count)
    : e_(*terms.Ellipse), inverse_(terms.Inverse), ys_(ys), count_(count) {
  if (count_ > kInline) {
    bigU_.resize(static_cast<size_t>(count_));
    bigV_.resize(static_cast<size_t>(count_));
    bigUd_.resize(static_cast<size_t>(count_) + 2);
    bigVd_.resize(static_cast<size_t>(count_) + 2);
  }
  double* rowUd = (count_ > kInline ? bigUd_.data() : rowUd_) + 1;
  double* rowVd = (count_ > kInline ? bigVd_.data() : rowVd_) + 1;
  rowUd[-1] = rowVd[-1] = rowUd[count_] = rowVd[count_] = 0;
  rowUp_ = count_ > kInline ? bigU_.data() : rowU_;
  rowVp_ = count_ > kInline ? bigV_.data() : rowV_;
  rowUdp_ = rowUd;
  rowVdp_ = rowVd;

  c0_ = terms.C0;
  c1_ = terms.C1;
  fast_ = terms.Fast;
  if (!fast_) return;
  k00_ = terms.K00;
  k01_ = terms.K01;
  k10_ = terms.K10;
  k11_ = terms.K11;
  // The largest |y| gives the largest terms: rounding keeps the order.
  double most = 0, nothing = 0;  // nothing stays 0 unless a y is not finite
  for (int32_t j = 0; j < count_; ++j) {
    const double y = ys[j];
    most = std::max(most, std::fabs(y));
    nothing += y * 0;
    const double d1 = y - c1_;
    rowUd[j] = k01_ * d1;
    rowVd[j] = k11_ * d1;
  }
  const double big = most + std::fabs(c1_);
  maxRowU_ = std::fabs(k01_) * big;
  maxRowV_ = std::fabs(k11_) * big;
  if (nothing != 0 || !Moderate(most) || !Moderate(maxRowU_) || !Moderate(maxRowV_)) {
    fast_ = false;
    return;
  }
  const double span = count_ > 1 ? ys[count_ - 1] - ys[0] : 0;
  runs_ = terms.Runs && span > 0 && Moderate(span);
  if (!runs_) return;
  q_ = terms.Q;
  d_ = terms.D;
  halfWidth2_ = terms.HalfWidth2;
  lean_ = terms.Lean;
  rowsPerUnit_ = (count_ - 1) / span;
  centreRow_ = (c1_ - ys[0]) * rowsPerUnit_;
  rowSlope_ = lean_ * rowsPerUnit_;
  rowHalf_ = rowsPerUnit_ / q_;
  runs_ = Moderate(rowsPerUnit_) && Moderate(centreRow_) && Moderate(rowSlope_) &&
          Moderate(rowHalf_);
}

bool TGridContainment::PrepareRuns(double reach) {
  reach_ = -1;
  if (!runs_ || !Moderate(reach)) return false;
  reach_ = std::fabs(reach);
  const double margin = Margin(reach_);
  low_ = 1 - margin;
  high_ = 1 + margin;
  missBound_ = halfWidth2_ * (1 + margin) * (1 + 0x1p-30);
  missSlack_ = 4 * kUnit * (reach_ + std::fabs(c0_));
  return true;
}

void TGridContainment::ExactColumn(double x, uint8_t* inside, const TGridContainment* near,
                                   double low, double high) const {
  if (!rowsMade_) {
    for (int32_t j = 0; j < count_; ++j) {
      const Real d1 = static_cast<Real>(ys_[j]) - e_.Center[1];
      rowUp_[j] = inverse_[0][1] * d1;
      rowVp_[j] = inverse_[1][1] * d1;
    }
    rowsMade_ = true;
  }
  const Real d0 = static_cast<Real>(x) - e_.Center[0];
  // MultiplyMatrixVector sums onto a zero start: 0 + (-0) gives +0.
  const Real colU = Real(0) + inverse_[0][0] * d0;
  const Real colV = Real(0) + inverse_[1][0] * d0;
  for (int32_t j = 0; j < count_; ++j) {
    if (near) {  // only the points whose double value lies within the margin
      const double u = k00_ * (x - c0_) + rowUdp_[j];
      const double v = k10_ * (x - c0_) + rowVdp_[j];
      const double s = u * u + v * v;
      if (s < low || s > high) continue;
    }
    inside[j] = Exact(colU, colV, j);
  }
}

bool TGridContainment::Exact(Real colU, Real colV, int32_t j) const {
  // The steps of TEllipse::Contains with the column's and the row's products made once.
  const Real u = colU + rowUp_[j];
  const Real v = colV + rowVp_[j];
  const Real p2 = e_.Exponent;
  const Real s = Power(Fabs(u / e_.Axes[0]), p2) + Power(Fabs(v / e_.Axes[1]), p2);
  return s <= 1;
}

double TGridContainment::Margin(double x) const {
  const double big = std::fabs(x) + std::fabs(c0_);
  const double t0 = std::fabs(k00_) * big + maxRowU_;
  const double t1 = std::fabs(k10_) * big + maxRowV_;
  return 32 * kUnit * (t0 * t0 + t1 * t1) + kFloor;
}

void TGridContainment::Column(double x, uint8_t* inside) const {
  if (!fast_ || !Moderate(x)) {
    ExactColumn(x, inside, nullptr, 0, 0);
    return;
  }
  const double dx = x - c0_;
  const double cu = k00_ * dx, cv = k10_ * dx;
  const double margin = Margin(x);
  const double low = 1 - margin, high = 1 + margin;
  // Locals and restrict: the byte stores must not make the compiler reload the rows.
  const double* __restrict rowU = rowUdp_;
  const double* __restrict rowV = rowVdp_;
  uint8_t* __restrict out = inside;
  const int32_t count = count_;
  int uncertain = 0;
  for (int32_t j = 0; j < count; ++j) {
    const double u = cu + rowU[j];
    const double v = cv + rowV[j];
    const double s = u * u + v * v;
    out[j] = s < low;
    uncertain |= (s >= low) & (s <= high);
  }
  if (uncertain != 0) ExactColumn(x, inside, this, low, high);
}

namespace {

enum TPointState { kOut, kIn, kUnsure };

// One column's double values s = u^2 + v^2 at its rows, against the margin around 1.
struct TColumnValues {
  double Cu, Cv;  // the column's terms k00 dx and k10 dx
  const double* __restrict RowU;
  const double* __restrict RowV;
  double Low, High;
  int32_t Count;

  // The double value of row j.
  [[gnu::always_inline]] double Value(int32_t j) const {
    const double u = Cu + RowU[j];
    const double v = Cv + RowV[j];
    return u * u + v * v;
  }
  // Whether row j is surely inside, surely outside, or too near the boundary to tell.
  [[gnu::always_inline]] TPointState State(int32_t j) const {
    const double s = Value(j);
    return s < Low ? kIn : s > High ? kOut : kUnsure;
  }
};

// The first row at or above middle - half and the last at or below middle + half,
// within the rows (0 .. count when none is).
[[gnu::always_inline]] inline void GuessedEnds(double middle, double half, int32_t count,
                                               int32_t& first, int32_t& last) {
  const double from = std::min(std::max(middle - half, 0.0), static_cast<double>(count));
  const double to = std::min(std::max(middle + half, -1.0), static_cast<double>(count - 1));
  first = static_cast<int32_t>(from);
  first += first < from;
  last = static_cast<int32_t>(to + 1) - 1;
}

// Whether a column with no row between its crossings (first the row just past them)
// surely has none inside: the point between the rows first - 1 and first where the
// column's inside is centred is in, and those two rows are out.
[[gnu::always_inline]] inline bool ThinColumnOut(const TColumnValues& c, const double* ys,
                                                 int32_t first, double dx, double c1,
                                                 double lean, double k01, double k11) {
  if (first == 0 || first >= c.Count) return false;
  const double m = c1 + dx * lean;
  if (!(ys[first - 1] < m && m < ys[first])) return false;
  const double dm = m - c1;
  const double u = c.Cu + k01 * dm;
  const double v = c.Cv + k11 * dm;
  if (!(u * u + v * v < c.Low)) return false;
  return c.State(first - 1) == kOut && c.State(first) == kOut;
}

// Whether the guessed ends first and last are in and the rows beyond them out (beyond
// the first or the last row, a padding row is read but not heeded).
[[gnu::always_inline]] inline bool EndsHold(const TColumnValues& c, int32_t first,
                                            int32_t last) {
  const double sBelow = c.Value(first - 1), sFirst = c.Value(first);
  const double sLast = c.Value(last), sAbove = c.Value(last + 1);
  return (sFirst < c.Low) & (sLast < c.Low) & ((first == 0) | (sBelow > c.High)) &
         ((last == c.Count - 1) | (sAbove > c.High));
}

// The lowest row inside, from the guess first down to it or up to it (up to last at
// the most); false where a row on the way is unsure or none up to last is inside.
[[gnu::always_inline]] inline bool LowerEnd(const TColumnValues& c, int32_t last,
                                            int32_t& first) {
  switch (c.State(first)) {
    case kIn:
      for (; first > 0; --first) {
        const auto s = c.State(first - 1);
        if (s == kOut) break;
        if (s == kUnsure) return false;
      }
      return true;
    case kOut:
      for (;;) {
        if (++first > last) return false;
        const auto s = c.State(first);
        if (s == kIn) return true;
        if (s == kUnsure) return false;
      }
    default:
      return false;
  }
}

// The highest row inside, from the guess top up to it or down to it (going down it
// stops at the lowest row inside at the latest); false where a row on the way is unsure.
[[gnu::always_inline]] inline bool UpperEnd(const TColumnValues& c, int32_t& top) {
  switch (c.State(top)) {
    case kIn:
      for (; top < c.Count - 1; ++top) {
        const auto s = c.State(top + 1);
        if (s == kOut) break;
        if (s == kUnsure) return false;
      }
      return true;
    case kOut:
      for (;;) {
        const auto s = c.State(--top);
        if (s == kIn) return true;
        if (s == kUnsure) return false;
      }
    default:
      return false;
  }
}

}  // namespace

[[gnu::always_inline]] inline bool TGridContainment::Run(double x, int32_t& lo,
                                                          int32_t& hi) const {
  if (!(std::fabs(x) <= reach_)) return false;
  const double dx = x - c0_;
  // A column clear of the ellipse, shortened by the rounding of dx.
  const double near = std::fabs(dx) - missSlack_;
  if (near > 0 && near * near > missBound_) {
    lo = hi = 0;
    return true;
  }
  // Where the column crosses the boundary, in rows: a guess that the tests settle.
  const double cross = dx * d_;
  const double disc = q_ - cross * cross;
  if (!(disc > 0)) return false;
  const double middle = centreRow_ + dx * rowSlope_;
  const double half = std::sqrt(disc) * rowHalf_;
  int32_t first, last;
  GuessedEnds(middle, half, count_, first, last);
  const TColumnValues c{k00_ * dx, k10_ * dx, rowUdp_, rowVdp_, low_, high_, count_};
  if (first > last) {  // no row between the crossings: all out, if a point between is in
    if (!ThinColumnOut(c, ys_, first, dx, c1_, lean_, k01_, k11_)) return false;
    lo = hi = 0;
    return true;
  }
  if (EndsHold(c, first, last)) {  // the usual column
    lo = first;
    hi = last + 1;
    return true;
  }
  int32_t top = last;
  if (!LowerEnd(c, last, first) || !UpperEnd(c, top)) return false;
  lo = first;
  hi = top + 1;
  return true;
}

void TGridContainment::Runs(const double* xs, int32_t columns, int32_t* lo, int32_t* hi) const {
  for (int32_t i = 0; i < columns; ++i)
    if (!Run(xs[i], lo[i], hi[i])) lo[i] = -1;
}

}  // namespace ormax
