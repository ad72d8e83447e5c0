// TLinAlg: plane vectors and 2 x 2 matrices in extended precision (Real, the TExtended
// of numerics/Extended.h).
//   Real, TVector, TMatrix (row-major), TEigen; ZeroVector, ZeroMatrix, IdentityMatrix
//   MakeVector, VectorNorm, Determinant, InvertMatrix, AddVectors, SubtractVectors,
//   ScaleMatrix, MultiplyMatrixVector, MultiplyMatrices, DivideVector,
//   EigenValues, EigenVectors (symmetric matrices; larger eigenvalue first); Pi is
//   numerics/Extended.h's.
// Every formula is evaluated in the order written; products are summed onto a zero
// start so that 0 + (-0) gives +0. Nothing traps: a singular matrix or a division by
// zero gives IEEE infinities or NaN, which the point tests then treat as "outside".
// A symmetric matrix whose discriminant comes out below zero by rounding (huge,
// nearly equal diagonal terms) gets two equal eigenvalues instead of NaN.
#pragma once

#include "numerics/Extended.h"

namespace ormax {

using Real = TExtended;

// Pi (numerics/Extended.h) is the extended value nearest pi. Rounded to double it is the
// double nearest pi (std::numbers::pi), so double formulas use static_cast<double>(Pi).

struct TVector {
  Real V[2] = {};
  Real& operator[](int i) { return V[i]; }
  const Real& operator[](int i) const { return V[i]; }
};

// Row-major: M[i][j] is row i, column j. Eigenvector matrices hold vectors as columns.
struct TMatrix {
  Real M[2][2] = {};
  Real* operator[](int i) { return M[i]; }
  const Real* operator[](int i) const { return M[i]; }
};

struct TEigen {
  TVector Values;   // (l1, l2), l1 >= l2
  TMatrix Vectors;  // column k is the unit eigenvector of Values[k]
};

inline constexpr TVector ZeroVector{};
inline constexpr TMatrix ZeroMatrix{};
inline constexpr TMatrix IdentityMatrix{{{Real(1), Real(0)}, {Real(0), Real(1)}}};

TVector MakeVector(Real x, Real y);
// Rounds both components to double first; the squares and the root are extended.
Real VectorNorm(TVector v);
Real Determinant(const TMatrix& m);
TMatrix InvertMatrix(const TMatrix& m);
TVector AddVectors(TVector a, TVector b);
TVector SubtractVectors(TVector a, TVector b);
TMatrix ScaleMatrix(const TMatrix& m, Real k);
TVector MultiplyMatrixVector(const TMatrix& m, TVector v);
TMatrix MultiplyMatrices(const TMatrix& a, const TMatrix& b);
TVector DivideVector(TVector v, Real k);
TVector EigenValues(const TMatrix& m);
TEigen EigenVectors(const TMatrix& m);

}  // namespace ormax
