#include "numerics/TLinAlg.h"

#include <gtest/gtest.h>

#include "numerics/Rounding.h"

#include <cmath>

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

void ExpectColumns(const TMatrix& m, Real x0, Real y0, Real x1, Real y1, Real tol = 1e-18L) {
  EXPECT_NEAR(m[0][0], x0, tol);
  EXPECT_NEAR(m[1][0], y0, tol);
  EXPECT_NEAR(m[0][1], x1, tol);
  EXPECT_NEAR(m[1][1], y1, tol);
}

TEST(TLinAlg, DeterminantInverseAndProducts) {
  TMatrix m = Mat(1, 2, 3, 4);
  EXPECT_EQ(Determinant(m), -2.0L);
  TMatrix inv = InvertMatrix(m);
  EXPECT_EQ(inv[0][0], -2.0L);
  EXPECT_EQ(inv[0][1], 1.0L);
  EXPECT_EQ(inv[1][0], 1.5L);
  EXPECT_EQ(inv[1][1], -0.5L);

  TMatrix p = MultiplyMatrices(m, IdentityMatrix);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) EXPECT_EQ(p[i][j], m[i][j]);
  TMatrix q = MultiplyMatrices(m, inv);
  ExpectColumns(q, 1, 0, 0, 1);
  TVector v = MultiplyMatrixVector(IdentityMatrix, MakeVector(7, -3));
  EXPECT_EQ(v[0], 7.0L);
  EXPECT_EQ(v[1], -3.0L);
  TVector w = MultiplyMatrixVector(m, MakeVector(1, 1));
  EXPECT_EQ(w[0], 3.0L);
  EXPECT_EQ(w[1], 7.0L);

  TVector s = SubtractVectors(AddVectors(MakeVector(1, 2), MakeVector(3, 5)), MakeVector(1, 1));
  EXPECT_EQ(s[0], 3.0L);
  EXPECT_EQ(s[1], 6.0L);
  TVector d = DivideVector(MakeVector(3, 6), 4);
  EXPECT_EQ(d[0], 0.75L);
  EXPECT_EQ(d[1], 1.5L);
  TMatrix k = ScaleMatrix(m, -2);
  EXPECT_EQ(k[1][0], -6.0L);
}

TEST(TLinAlg, SumsOfProductsStartFromPositiveZero) {
  // 0 + (-0) is +0: a plain a*b + c*d would give -0 here and change stored bytes.
  TVector v = MultiplyMatrixVector(IdentityMatrix, MakeVector(-0.0L, -0.0L));
  EXPECT_FALSE(std::signbit(v[0]));
  EXPECT_FALSE(std::signbit(v[1]));
  TMatrix p = MultiplyMatrices(Mat(-0.0L, 0, 0, -0.0L), Mat(1, 0, 0, 1));
  EXPECT_FALSE(std::signbit(p[0][0]));
  EXPECT_FALSE(std::signbit(p[1][1]));
  // The negations of the inverse keep the sign of a zero: -0 / 2 is -0.
  TMatrix inv = InvertMatrix(Mat(2, 0, 0, 1));
  EXPECT_TRUE(std::signbit(inv[0][1]));
  EXPECT_TRUE(std::signbit(inv[1][0]));
}

TEST(TLinAlg, VectorNormRoundsOperandsToDoubleButNotItsResult) {
  EXPECT_EQ(VectorNorm(MakeVector(3, 4)), 5.0L);
  // 1 + 2^-60 is exact in long double but rounds to 1 as a double.
  EXPECT_EQ(VectorNorm(MakeVector(1.0L + std::ldexp(1.0L, -60), 0)), 1.0L);
  // The result itself stays extended: sqrt(2) differs from its double rounding.
  Real n = VectorNorm(MakeVector(1, 1));
  EXPECT_EQ(n, std::sqrt(2.0L));
  EXPECT_NE(n, static_cast<Real>(static_cast<double>(n)));
}

TEST(TLinAlg, EigenValuesLargerFirst) {
  TVector ev = EigenValues(Mat(2, 1, 1, 2));
  EXPECT_EQ(ev[0], 3.0L);
  EXPECT_EQ(ev[1], 1.0L);
  TVector ev2 = EigenValues(Mat(1, 0, 0, 4));
  EXPECT_EQ(ev2[0], 4.0L);
  EXPECT_EQ(ev2[1], 1.0L);
}

TEST(TLinAlg, EigenVectorSignRules) {
  const Real h = std::sqrt(0.5L);
  {
    TEigen e = EigenVectors(Mat(2, 1, 1, 2));
    ExpectColumns(e.Vectors, h, h, -h, h);
  }
  {
    // Diagonal with the larger value first: the identity, but the first column's
    // y comes out as -0 (from -c/n), which the stored double keeps.
    TEigen e = EigenVectors(Mat(4, 0, 0, 1));
    EXPECT_EQ(e.Values[0], 4.0L);
    EXPECT_EQ(e.Values[1], 1.0L);
    ExpectColumns(e.Vectors, 1, 0, 0, 1, 0);
    EXPECT_TRUE(std::signbit(e.Vectors[1][0]));
    EXPECT_FALSE(std::signbit(e.Vectors[0][1]));
  }
  {
    TEigen e = EigenVectors(Mat(1, 0, 0, 4));
    ExpectColumns(e.Vectors, 0, 1, -1, 0, 0);
  }
  {
    TEigen e = EigenVectors(Mat(5, 0, 0, 5));
    EXPECT_EQ(e.Values[0], 5.0L);
    EXPECT_EQ(e.Values[1], 5.0L);
    ExpectColumns(e.Vectors, 1, 0, 0, 1, 0);
    EXPECT_FALSE(std::signbit(e.Vectors[1][0]));
  }
  {
    TEigen e = EigenVectors(Mat(3, 1, 1, 1));
    EXPECT_NEAR(e.Values[0], 2 + std::sqrt(2.0L), 1e-18L);
    EXPECT_NEAR(e.Values[1], 2 - std::sqrt(2.0L), 1e-18L);
    const Real a = 22.5L * Pi / 180;
    ExpectColumns(e.Vectors, std::cos(a), std::sin(a), -std::sin(a), std::cos(a), 1e-17L);
  }
  {
    TEigen e = EigenVectors(Mat(2, -1, -1, 2));
    EXPECT_NEAR(e.Values[0], 3, 1e-18L);
    EXPECT_NEAR(e.Values[1], 1, 1e-18L);
    ExpectColumns(e.Vectors, -h, h, -h, -h);
  }
}

TEST(TLinAlg, RoundingNoiseNeverMakesEigenvaluesNaN) {
  // t*t - 4d comes out as -8 here although it is 0.01 exactly.
  TEigen e = EigenVectors(Mat(5000000000.1L, 0, 0, 5000000000.0L));
  for (int k = 0; k < 2; ++k) {
    EXPECT_TRUE(std::isfinite(e.Values[k]));
    EXPECT_TRUE(std::isfinite(e.Vectors[0][k]));
    EXPECT_TRUE(std::isfinite(e.Vectors[1][k]));
  }
  EXPECT_NEAR(e.Values[0], 5000000000.05L, 0.1L);
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
  const struct {
    long double In;
    long double Out;
  } cases[] = {{0.5L, 0}, {1.5L, 2}, {2.5L, 2}, {-0.5L, 0}, {-1.5L, -2}, {-2.5L, -2},
               {3.4999L, 3}, {3.5001L, 4}, {-3.5001L, -4}, {1e6L + 0.5L, 1e6L},
               {0x1p62L - 1.5L, 0x1p62L - 2}, {0x1p62L + 0.5L, 0x1p62L},
               {0x1p62L + 1.5L, 0x1p62L + 2}, {-0x1p62L - 0.5L, -0x1p62L}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEvenReal(c.In), c.Out) << static_cast<double>(c.In);
  EXPECT_EQ(RoundHalfEven(7.5L), 8);
  EXPECT_EQ(RoundHalfEven(-7.5L), -8);
}

}  // namespace
}  // namespace ormax
