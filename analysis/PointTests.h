// PointTests: TEllipse::Contains over a grid of points, fast and with the very same
// answers.
//   TEllipseTerms     what an ellipse's tests need whatever the points, made once
//   TGridContainment  one ellipse against columns of points sharing the row coordinates
//   GridCoordinates   a run of coordinates, each the last plus a step, summed in
//                     extended precision and rounded to double
// Each answer is first computed in double precision. The rounding error of that
// value and of the extended test is bounded (see PointTests.cpp); only where the
// double value lies within that bound of the boundary is the extended test of
// TEllipse::Contains run, so the answer is always the extended one. Runs finds a
// column's inside rows from where the column crosses the boundary, testing only the
// rows at the ends of the run; convexity vouches for the others.
#pragma once

#include <cstdint>
#include <vector>

#include "model/Patterns.h"

namespace ormax {

// out[0] = first, out[k] = double(Real(out[k - 1]) + step), as long as the value is at
// most limit and k < most; returns how many were written. The sums are made in double
// and checked: only where the extended sum's rounding could differ are they made again
// in extended precision, so the values are those of the extended sums.
int32_t GridCoordinates(double first, double step, double limit, int32_t most, double* out);

// The inverse rotation, and for the double tests the rounded centre and k = inverse /
// axes (row r of the inverse over semi-axis r), with what Run needs of them.
struct TEllipseTerms {
  // e must stay valid while the terms (or a grid made from them) are used.
  explicit TEllipseTerms(const TEllipse& e);

  const TEllipse* Ellipse;
  TMatrix Inverse;
  bool Fast = false;  // the double tests hold: exponent 2, moderate values
  double C0 = 0, C1 = 0, K00 = 0, K01 = 0, K10 = 0, K11 = 0;
  // For Runs: Q = k01^2 + k11^2 and the determinant D of k (a column farther than
  // sqrt(Q) / |D| = sqrt(HalfWidth2) from the centre misses the ellipse), and where a
  // column's inside points are centred: at y = C1 + Lean (x - C0).
  bool Runs = false;
  double Q = 0, D = 0, HalfWidth2 = 0, Lean = 0;
};

class TGridContainment {
 public:
  // ys must stay valid (and unchanged) while the object is used.
  TGridContainment(const TEllipse& e, const double* ys, int32_t count);
  TGridContainment(const TEllipseTerms& terms, const double* ys, int32_t count);
  // inside[j] = e.Contains(x, ys[j]) for every j, as 0 or 1. Not for two threads at
  // once on the same object (the extended row terms are made on first need).
  void Column(double x, uint8_t* inside) const;
  // Readies Runs for columns x with |x| <= reach (one margin serves them all); false
  // when Runs cannot serve this ellipse (then it settles no column).
  bool PrepareRuns(double reach);
  // For each column xs[i] (|xs[i]| <= reach), the rows inside the ellipse when they
  // are the run lo[i] <= j < hi[i] (empty: lo[i] == hi[i]) and the few point tests at
  // its ends prove it; lo[i] = -1 where they do not (a column grazing the boundary, a
  // point too near it): Column answers there. ys must ascend.
  void Runs(const double* xs, int32_t columns, int32_t* lo, int32_t* hi) const;

 private:
  static constexpr int32_t kInline = 32;
  const TEllipse& e_;
  TMatrix inverse_;
  const double* ys_;
  int32_t count_;
  bool fast_ = false;
  double c0_ = 0, c1_ = 0, k00_ = 0, k01_ = 0, k10_ = 0, k11_ = 0;
  double maxRowU_ = 0, maxRowV_ = 0;  // largest |k01| D1 and |k11| D1 over the rows
  // For Runs (see TEllipseTerms); where a column crosses the boundary is guessed in
  // units of rows: centreRow_ + rowSlope_ dx -+ rowHalf_ sqrt(Q - (dx D)^2).
  bool runs_ = false;
  double q_ = 0, d_ = 0, halfWidth2_ = 0, lean_ = 0;
  double centreRow_ = 0, rowSlope_ = 0, rowHalf_ = 0, rowsPerUnit_ = 0;
  double reach_ = -1, low_ = 0, high_ = 0, missBound_ = 0, missSlack_ = 0;
  // Per row: the scaled double terms k01 * (y - c1), k11 * (y - c1) (with a row of 0
  // before the first and after the last, so that Runs may read past either end), and,
  // made only when a point needs the extended test, inverse[r][1] * (y - Center[1]).
  double rowUd_[kInline + 2], rowVd_[kInline + 2];
  mutable Real rowU_[kInline], rowV_[kInline];
  mutable bool rowsMade_ = false;
  mutable std::vector<Real> bigU_, bigV_;
  std::vector<double> bigUd_, bigVd_;
  Real* rowUp_;
  Real* rowVp_;
  const double* rowUdp_;
  const double* rowVdp_;

  // The extended test for the points of column x: all of them, or (near set) those
  // whose double value lies in [low, high].
  void ExactColumn(double x, uint8_t* inside, const TGridContainment* near, double low,
                   double high) const;
  bool Exact(Real colU, Real colV, int32_t j) const;
  double Margin(double x) const;
  bool Run(double x, int32_t& lo, int32_t& hi) const;
};

}  // namespace ormax
