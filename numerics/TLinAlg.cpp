// TLinAlg: the 2 x 2 routines in extended precision, each formula in the order written.
//   MakeVector, VectorNorm, Determinant, InvertMatrix, AddVectors, SubtractVectors,
//   ScaleMatrix, MultiplyMatrixVector, MultiplyMatrices, DivideVector, EigenValues,
//   EigenVectors
#include "numerics/TLinAlg.h"

namespace ormax {

TVector MakeVector(Real x, Real y) {
  TVector r;
  r[0] = x;
  r[1] = y;
  return r;
}

Real VectorNorm(TVector v) {
  Real x = static_cast<double>(v[0]);
  Real y = static_cast<double>(v[1]);
  return Sqrt(x * x + y * y);
}

Real Determinant(const TMatrix& m) {
  return m[0][0] * m[1][1] - m[0][1] * m[1][0];
}

TMatrix InvertMatrix(const TMatrix& m) {
  Real d = Determinant(m);
  TMatrix r;
  r[0][0] = m[1][1] / d;
  r[0][1] = -m[0][1] / d;
  r[1][0] = -m[1][0] / d;
  r[1][1] = m[0][0] / d;
  return r;
}

TVector AddVectors(TVector a, TVector b) {
  return MakeVector(a[0] + b[0], a[1] + b[1]);
}

TVector SubtractVectors(TVector a, TVector b) {
  return MakeVector(a[0] - b[0], a[1] - b[1]);
}

TMatrix ScaleMatrix(const TMatrix& m, Real k) {
  TMatrix r;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) r[i][j] = k * m[i][j];
  return r;
}

TVector MultiplyMatrixVector(const TMatrix& m, TVector v) {
  TVector r = ZeroVector;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) r[i] = r[i] + m[i][j] * v[j];
  return r;
}

TMatrix MultiplyMatrices(const TMatrix& a, const TMatrix& b) {
  TMatrix r = ZeroMatrix;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < 2; ++k) r[i][j] = r[i][j] + a[i][k] * b[k][j];
  return r;
}

TVector DivideVector(TVector v, Real k) {
  return MakeVector(v[0] / k, v[1] / k);
}

TVector EigenValues(const TMatrix& m) {
  Real t = m[0][0] + m[1][1];
  Real d = Determinant(m);
  Real discriminant = t * t - d * 4;
  // For a symmetric matrix the discriminant is a sum of squares; a negative value is
  // rounding noise of large, nearly equal terms, so the two eigenvalues are equal.
  if (discriminant < 0 && m[0][1] == m[1][0]) discriminant = 0;
  Real s = Sqrt(discriminant);
  return MakeVector((t + s) / 2, (t - s) / 2);
}

TEigen EigenVectors(const TMatrix& m) {
  TEigen result;
  result.Values = EigenValues(m);
  TMatrix& q = result.Vectors;
  for (int k = 0; k < 2; ++k) {
    Real lambda = result.Values[k];
    Real a = m[0][0] - lambda;
    Real b = m[0][1];
    Real c = m[1][0];
    Real e = m[1][1] - lambda;
    Real x = Fabs(a);
    if (Fabs(b) > x) x = Fabs(b);
    if (Fabs(c) > x) x = Fabs(c);
    if (Fabs(e) > x) x = Fabs(e);
    if (x == 0) {
      // m is lambda times the identity: every vector is an eigenvector.
      q = IdentityMatrix;
      return result;
    }
    if (Fabs(a) == x || Fabs(b) == x) {
      Real n = Sqrt(a * a + b * b);
      q[0][k] = b / n;
      q[1][k] = -a / n;
    } else {
      Real n = Sqrt(e * e + c * c);
      q[0][k] = e / n;
      q[1][k] = -c / n;
    }
  }
  // Sign rules, in this order; (x0, y0) is column 0 and (x1, y1) column 1.
  if (q[1][0] < 0) {
    q[0][0] = -q[0][0];
    q[1][0] = -q[1][0];
  }
  if (q[0][1] > 0) {
    q[0][1] = -q[0][1];
    q[1][1] = -q[1][1];
  }
  if (q[1][0] == 0 && q[0][0] < 0) q[0][0] = -q[0][0];
  if (q[0][1] == 0 && q[1][1] < 0) q[1][1] = -q[1][1];
  return result;
}

}  // namespace ormax
