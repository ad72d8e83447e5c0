#include "numerics/TLinAlg.h"

#include <gtest/gtest.h>

#include "numerics/Rounding.h"

#include <cmath>

#include "tests/ExtendedValues.h"

namespace ormax {
namespace {

TMatrix Mat(Real a, Real b, Real c, Real d) {
  TMatrix m;
  m[0][0] = a;
  m[0][1] = b;
  m[1][0] = c;
  m[1][1] = d;
  return m;
}

void ExpectColumns(const TMatrix& m, Real x0, Real y0, Real x1, Real y1, double tol = 1e-18) {
  EXPECT_NEAR(AsDouble(m[0][0]), AsDouble(x0), tol);
  EXPECT_NEAR(AsDouble(m[1][0]), AsDouble(y0), tol);
  EXPECT_NEAR(AsDouble(m[0][1]), AsDouble(x1), tol);
  EXPECT_NEAR(AsDouble(m[1][1]), AsDouble(y1), tol);
}

TEST(TLinAlg, DeterminantInverseAndProducts) {
  TMatrix m = Mat(1, 2, 3, 4);
  EXPECT_EQ(Determinant(m), -Real(2.0));
  TMatrix inv = InvertMatrix(m);
  EXPECT_EQ(inv[0][0], -Real(2.0));
  EXPECT_EQ(inv[0][1], Real(1.0));
  EXPECT_EQ(inv[1][0], Real(1.5));
  EXPECT_EQ(inv[1][1], -Real(0.5));

  TMatrix p = MultiplyMatrices(m, IdentityMatrix);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) EXPECT_EQ(p[i][j], m[i][j]);
  TMatrix q = MultiplyMatrices(m, inv);
  ExpectColumns(q, 1, 0, 0, 1);
  TVector v = MultiplyMatrixVector(IdentityMatrix, MakeVector(7, -3));
  EXPECT_EQ(v[0], Real(7.0));
  EXPECT_EQ(v[1], -Real(3.0));
  TVector w = MultiplyMatrixVector(m, MakeVector(1, 1));
  EXPECT_EQ(w[0], Real(3.0));
  EXPECT_EQ(w[1], Real(7.0));

  TVector s = SubtractVectors(AddVectors(MakeVector(1, 2), MakeVector(3, 5)), MakeVector(1, 1));
  EXPECT_EQ(s[0], Real(3.0));
  EXPECT_EQ(s[1], Real(6.0));
  TVector d = DivideVector(MakeVector(3, 6), 4);
  EXPECT_EQ(d[0], Real(0.75));
  EXPECT_EQ(d[1], Real(1.5));
  TMatrix k = ScaleMatrix(m, -2);
  EXPECT_EQ(k[1][0], -Real(6.0));
}

TEST(TLinAlg, SumsOfProductsStartFromPositiveZero) {
  // 0 + (-0) is +0: a plain a*b + c*d would give -0 here and change stored bytes.
  TVector v = MultiplyMatrixVector(IdentityMatrix, MakeVector(-Real(0.0), -Real(0.0)));
  EXPECT_FALSE(SignBit(v[0]));
  EXPECT_FALSE(SignBit(v[1]));
  TMatrix p = MultiplyMatrices(Mat(-Real(0.0), 0, 0, -Real(0.0)), Mat(1, 0, 0, 1));
  EXPECT_FALSE(SignBit(p[0][0]));
  EXPECT_FALSE(SignBit(p[1][1]));
  // The negations of the inverse keep the sign of a zero: -0 / 2 is -0.
  TMatrix inv = InvertMatrix(Mat(2, 0, 0, 1));
  EXPECT_TRUE(SignBit(inv[0][1]));
  EXPECT_TRUE(SignBit(inv[1][0]));
}

TEST(TLinAlg, VectorNormRoundsOperandsToDoubleButNotItsResult) {
  EXPECT_EQ(VectorNorm(MakeVector(3, 4)), Real(5.0));
  // 1 + 2^-60 is exact in extended precision but rounds to 1 as a double.
  EXPECT_EQ(VectorNorm(MakeVector(Real(1.0) + Ldexp(Real(1.0), -60), 0)), Real(1.0));
  // The result itself stays extended: sqrt(2) differs from its double rounding.
  Real n = VectorNorm(MakeVector(1, 1));
  EXPECT_EQ(n, Sqrt(Real(2.0)));
  EXPECT_NE(n, static_cast<Real>(static_cast<double>(n)));
}

TEST(TLinAlg, EigenValuesLargerFirst) {
  TVector ev = EigenValues(Mat(2, 1, 1, 2));
  EXPECT_EQ(ev[0], Real(3.0));
  EXPECT_EQ(ev[1], Real(1.0));
  TVector ev2 = EigenValues(Mat(1, 0, 0, 4));
  EXPECT_EQ(ev2[0], Real(4.0));
  EXPECT_EQ(ev2[1], Real(1.0));
}

TEST(TLinAlg, EigenVectorSignRules) {
  const Real h = Sqrt(Real(0.5));
  {
    TEigen e = EigenVectors(Mat(2, 1, 1, 2));
    ExpectColumns(e.Vectors, h, h, -h, h);
  }
  {
    // Diagonal with the larger value first: the identity, but the first column's
    // y comes out as -0 (from -c/n), which the stored double keeps.
    TEigen e = EigenVectors(Mat(4, 0, 0, 1));
    EXPECT_EQ(e.Values[0], Real(4.0));
    EXPECT_EQ(e.Values[1], Real(1.0));
    ExpectColumns(e.Vectors, 1, 0, 0, 1, 0);
    EXPECT_TRUE(SignBit(e.Vectors[1][0]));
    EXPECT_FALSE(SignBit(e.Vectors[0][1]));
  }
  {
    TEigen e = EigenVectors(Mat(1, 0, 0, 4));
    ExpectColumns(e.Vectors, 0, 1, -1, 0, 0);
  }
  {
    TEigen e = EigenVectors(Mat(5, 0, 0, 5));
    EXPECT_EQ(e.Values[0], Real(5.0));
    EXPECT_EQ(e.Values[1], Real(5.0));
    ExpectColumns(e.Vectors, 1, 0, 0, 1, 0);
    EXPECT_FALSE(SignBit(e.Vectors[1][0]));
  }
  {
    TEigen e = EigenVectors(Mat(3, 1, 1, 1));
    EXPECT_NEAR(AsDouble(e.Values[0]), AsDouble(2 + Sqrt(Real(2.0))), 1e-18);
    EXPECT_NEAR(AsDouble(e.Values[1]), AsDouble(2 - Sqrt(Real(2.0))), 1e-18);
    const Real a = Real(22.5) * Pi / 180;
    ExpectColumns(e.Vectors, Cos(a), Sin(a), -Sin(a), Cos(a), 1e-17);
  }
  {
    TEigen e = EigenVectors(Mat(2, -1, -1, 2));
    EXPECT_NEAR(AsDouble(e.Values[0]), AsDouble(3), 1e-18);
    EXPECT_NEAR(AsDouble(e.Values[1]), AsDouble(1), 1e-18);
    ExpectColumns(e.Vectors, -h, h, -h, -h);
  }
}

TEST(TLinAlg, RoundingNoiseNeverMakesEigenvaluesNaN) {
  // t*t - 4d comes out as -8 here although it is 0.01 exactly.
  TEigen e = EigenVectors(Mat(Real(50000000001) / 10, 0, 0, Real(5000000000.0)));
  for (int k = 0; k < 2; ++k) {
    EXPECT_TRUE(IsFinite(e.Values[k]));
    EXPECT_TRUE(IsFinite(e.Vectors[0][k]));
    EXPECT_TRUE(IsFinite(e.Vectors[1][k]));
  }
  EXPECT_NEAR(AsDouble(e.Values[0]), 5000000000.05, 0.1);
}

TEST(TLinAlg, EigenVectorsOfZeroMatrixAreIdentity) {
  TEigen e = EigenVectors(Mat(0, 0, 0, 0));
  ExpectColumns(e.Vectors, 1, 0, 0, 1, 0);
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

// Halves go to the even neighbour, on both sides of zero and near the largest whole
// numbers, where the low-bit test gives way to fmod.
TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  const TExtended big = TExtended(0x1p62);  // 2^62: beyond it the low-bit test gives way
  const struct {
    TExtended In;
    TExtended Out;
  } cases[] = {{TExtended(0.5), TExtended(0)},      {TExtended(1.5), TExtended(2)},
               {TExtended(2.5), TExtended(2)},      {TExtended(-0.5), TExtended(0)},
               {TExtended(-1.5), TExtended(-2)},    {TExtended(-2.5), TExtended(-2)},
               {TExtended(3.4999), TExtended(3)},   {TExtended(3.5001), TExtended(4)},
               {TExtended(-3.5001), TExtended(-4)}, {TExtended(1e6) + TExtended(0.5), TExtended(1e6)},
               {big - TExtended(1.5), big - 2},     {big + TExtended(0.5), big},
               {big + TExtended(1.5), big + 2},     {-big - TExtended(0.5), -big}};
  for (const auto& c : cases)
    EXPECT_TRUE(RoundHalfEvenReal(c.In) == c.Out) << static_cast<double>(c.In);
  EXPECT_EQ(RoundHalfEven(TExtended(7.5)), 8);
  EXPECT_EQ(RoundHalfEven(TExtended(-7.5)), -8);
  // The whole-number rounding (the processor's, where it has the type) agrees with the
  // plain one on the cases and on drawing coordinates: halves and values a hair beside
  // them, eighths, and the int64 limits.
  auto same = [](TExtended v) {
    const TExtended r = RoundHalfEvenReal(v);
    const int64_t expected = r >= TExtended(0x1p63) ? INT64_MAX
                             : r < -TExtended(0x1p63) ? INT64_MIN
                                                       : static_cast<int64_t>(r);
    EXPECT_EQ(RoundHalfEven(v), expected) << static_cast<double>(v);
  };
  const TExtended hair = TExtended(0x1p-50);
  for (const auto& c : cases) same(c.In);
  for (int k = -4000; k <= 4000; ++k) {
    const TExtended v = TExtended(k) / 8;
    same(v);
    same(v + hair);
    same(v - hair);
  }
  for (TExtended v : {TExtended(0x1p63), -TExtended(0x1p63), TExtended(0x1p64), TExtended(0)})
    same(v);
}

}  // namespace
}  // namespace ormax
