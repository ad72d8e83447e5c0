// PointTests: TEllipse::Contains over a grid of points, fast and with the very same
// answers.
//   TGridContainment  one ellipse against columns of points sharing the row coordinates
// Each answer is first computed in double precision. The rounding error of that
// value and of the extended test is bounded (see PointTests.cpp); only where the
// double value lies within that bound of the boundary is the extended test of
// TEllipse::Contains run, so the answer is always the extended one.
#pragma once

#include <cstdint>
#include <vector>

#include "model/Patterns.h"

namespace ormax {

class TGridContainment {
 public:
  // ys must stay valid (and unchanged) while the object is used.
  TGridContainment(const TEllipse& e, const double* ys, int32_t count);
  // inside[j] = e.Contains(x, ys[j]) for every j, as 0 or 1. Not for two threads at
  // once on the same object (the extended row terms are made on first need).
  void Column(double x, uint8_t* inside) const;

 private:
  static constexpr int32_t kInline = 32;
  const TEllipse& e_;
  TMatrix inverse_;
  const double* ys_;
  int32_t count_;
  bool fast_ = false;
  double c0_ = 0, c1_ = 0, k00_ = 0, k01_ = 0, k10_ = 0, k11_ = 0;
  double maxRowU_ = 0, maxRowV_ = 0;  // largest |k01| D1 and |k11| D1 over the rows
  // Per row: the scaled double terms k01 * (y - c1), k11 * (y - c1), and, made only
  // when a point needs the extended test, inverse[r][1] * (y - Center[1]).
  double rowUd_[kInline], rowVd_[kInline];
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
};

}  // namespace ormax
