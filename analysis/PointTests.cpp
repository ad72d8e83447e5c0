// PointTests: whether grid points lie in an ellipse, in double with a proven bound on
// the rounding error; points within that bound of the boundary are decided again in
// extended precision, so the answers are those of the extended test.
#include "analysis/PointTests.h"

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

namespace {

constexpr double kUnit = 0x1p-53;
constexpr double kLarge = 0x1p400;
constexpr double kSmall = 0x1p-400;
constexpr double kFloor = 0x1p-600;

bool Moderate(double v) {
  return std::isfinite(v) && std::fabs(v) <= kLarge;
}

}  // namespace

TGridContainment::TGridContainment(const TEllipse& e, const double* ys, int32_t count)
    : e_(e), inverse_(InvertMatrix(e.Rotation)), ys_(ys), count_(count) {
  if (count_ > kInline) {
    bigU_.resize(static_cast<size_t>(count_));
    bigV_.resize(static_cast<size_t>(count_));
    bigUd_.resize(static_cast<size_t>(count_));
    bigVd_.resize(static_cast<size_t>(count_));
  }
  double* rowUd = count_ > kInline ? bigUd_.data() : rowUd_;
  double* rowVd = count_ > kInline ? bigVd_.data() : rowVd_;
  rowUp_ = count_ > kInline ? bigU_.data() : rowU_;
  rowVp_ = count_ > kInline ? bigV_.data() : rowV_;
  rowUdp_ = rowUd;
  rowVdp_ = rowVd;

  c0_ = static_cast<double>(e.Center[0]);
  c1_ = static_cast<double>(e.Center[1]);
  const double a0 = static_cast<double>(e.Axes[0]), a1 = static_cast<double>(e.Axes[1]);
  fast_ = e.Exponent == 2.0 && Moderate(c0_) && Moderate(c1_) && Moderate(a0) && Moderate(a1) &&
          std::fabs(a0) >= kSmall && std::fabs(a1) >= kSmall;
  if (!fast_) return;
  double inv[2][2];
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) {
      inv[r][c] = static_cast<double>(inverse_[r][c]);
      if (!Moderate(inv[r][c])) fast_ = false;
    }
  if (!fast_) return;
  k00_ = inv[0][0] / a0;
  k01_ = inv[0][1] / a0;
  k10_ = inv[1][0] / a1;
  k11_ = inv[1][1] / a1;
  if (!Moderate(k00_) || !Moderate(k01_) || !Moderate(k10_) || !Moderate(k11_)) {
    fast_ = false;
    return;
  }
  for (int32_t j = 0; j < count_; ++j) {
    const double y = ys[j];
    if (!Moderate(y)) {
      fast_ = false;
      return;
    }
    const double d1 = y - c1_;
    rowUd[j] = k01_ * d1;
    rowVd[j] = k11_ * d1;
    const double big = std::fabs(y) + std::fabs(c1_);
    const double bu = std::fabs(k01_) * big, bv = std::fabs(k11_) * big;
    if (bu > maxRowU_) maxRowU_ = bu;
    if (bv > maxRowV_) maxRowV_ = bv;
  }
  if (!Moderate(maxRowU_) || !Moderate(maxRowV_)) fast_ = false;
  // The pad: a point far outside and far from the margin (its answer is never used).
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

void TGridContainment::Column(double x, uint8_t* inside) const {
  if (!fast_ || !Moderate(x)) {
    ExactColumn(x, inside, nullptr, 0, 0);
    return;
  }
  const double dx = x - c0_;
  const double cu = k00_ * dx, cv = k10_ * dx;
  const double big = std::fabs(x) + std::fabs(c0_);
  const double t0 = std::fabs(k00_) * big + maxRowU_;
  const double t1 = std::fabs(k10_) * big + maxRowV_;
  const double margin = 32 * kUnit * (t0 * t0 + t1 * t1) + kFloor;
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

}  // namespace ormax
