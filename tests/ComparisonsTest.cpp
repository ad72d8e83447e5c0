// The comparisons that find a column's inside rows from the boundary, the grid
// coordinates summed in double, and the code distance with one side prepared, each
// against the plain routine.
#include "analysis/Comparisons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "analysis/Methods.h"
#include "analysis/PointTests.h"
#include "app/AppState.h"
#include "numerics/Rounding.h"
#include "tests/GeneratedCases.h"
#include "tests/Reference.h"

namespace ormax {
namespace {

bool SameDouble(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Ellipses of the kinds a comparison meets, and the awkward ones.
TEllipse EllipseOf(std::mt19937& rng, int kind) {
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto whole = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  TEllipse e;
  e.Exponent = 2;
  const Real t = real(0, 6.3);
  e.Rotation[0][0] = Cos(t);
  e.Rotation[1][0] = Sin(t);
  e.Rotation[0][1] = -Sin(t);
  e.Rotation[1][1] = Cos(t);
  e.Center = MakeVector(real(-0.7, 0.7), real(-0.7, 0.7));
  const double a = real(0.05, 0.7);
  e.Axes = MakeVector(a, a * real(0.1, 1));
  switch (kind) {
    case 0:  // a leaf of a normalised code: stored as doubles
      break;
    case 1:  // thin, down to needles no grid point can fall in
      e.Axes[1] = a * std::pow(10.0, -real(2, 9));
      break;
    case 2:  // tiny
      e.Center = MakeVector(e.Center[0] * 1e-7, e.Center[1] * 1e-7);
      e.Axes = MakeVector(e.Axes[0] * 1e-9, e.Axes[1] * 1e-9);
      break;
    case 3: {  // on eighths, turned by quarters: points fall on boundaries
      const Real quarter[4][2][2] = {
          {{1, 0}, {0, 1}}, {{0, -1}, {1, 0}}, {{-1, 0}, {0, -1}}, {{0, 1}, {-1, 0}}};
      const int q = whole(0, 3);
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) e.Rotation[r][c] = quarter[q][r][c];
      e.Center = MakeVector(whole(-6, 6) * Real(0.125), whole(-6, 6) * Real(0.125));
      e.Axes = MakeVector(whole(1, 8) * Real(0.125), whole(1, 8) * Real(0.0625));
      return e;
    }
    case 4:  // extended fields, as a fit leaves them
      e.Center[0] += Real(1) / Real(1e19) * whole(-3, 3);
      e.Axes[0] += Real(1) / Real(1e20);
      return e;
    default: {  // degenerate or damaged
      const int damage = whole(0, 5);
      if (damage == 0) e.Axes = MakeVector(0, 0);
      if (damage == 1) e.Axes[1] = 0;
      if (damage == 2) e.Rotation = ZeroMatrix;
      if (damage == 3) e.Center[1] = Real(std::numeric_limits<double>::quiet_NaN());
      if (damage == 4) e.Exponent = 3;
      if (damage == 5) e.Axes[0] = Real(std::numeric_limits<double>::infinity());
      return e;
    }
  }
  TByteArray bytes;  // as a code item holds it
  e.SaveToBytes(bytes);
  return TEllipse::CreateFromBytes(bytes);
}

TEST(Comparisons, EllipseComparisonMatchesThePlainRoutine) {
  std::mt19937 rng(51);
  int between = 0;
  std::uniform_real_distribution<double> near(-0.3, 0.3);
  for (int n = 0; n < Cases(10000); ++n) {
    const TEllipse a = EllipseOf(rng, n % 6);
    TEllipse b = EllipseOf(rng, n % 11 < 6 ? 0 : (n / 6) % 6);
    if (n % 3 == 1) {  // a neighbour of about the same size
      b.Center = MakeVector(a.Center[0] + a.Axes[0] * near(rng), a.Center[1] + a.Axes[0] * near(rng));
      b.Axes = MakeVector(a.Axes[0] * (1 + near(rng)), a.Axes[1] * (1 + near(rng)));
    }
    if (n % 5 == 0) b = a;  // every boundary point on both
    if (n % 7 == 0) {       // touching from outside along the first axis
      b = a;
      b.Center[0] = a.Center[0] + 2 * a.Axes[0] * a.Rotation[0][0];
      b.Center[1] = a.Center[1] + 2 * a.Axes[0] * a.Rotation[1][0];
    }
    if (n % 9 == 0) b.Axes = MakeVector(a.Axes[0] * Real(1.001), a.Axes[1]);  // nearly alike
    const double plain = reference::CompareEllipses(a, b);
    ASSERT_TRUE(SameDouble(CompareEllipses(a, b), plain)) << "pair " << n << ": " << plain;
    const TComparedEllipse pa(a), pb(b);
    ASSERT_TRUE(SameDouble(CompareEllipses(pa, pb), plain)) << "prepared pair " << n;
    if (plain > 0 && plain < 1) ++between;
  }
  EXPECT_GT(between, Cases(1500));  // many pairs share some points without being equal
}

// The grid a comparison of a and b uses.
struct TGrid {
  double Xs[26], Ys[26];
  int32_t Columns, Rows;
  TGrid(const TEllipse& a, const TEllipse& b) {
    const reference::TComparisonBox box = reference::ComparisonBox(a, b);
    const double x0 = box.XMin, y0 = box.YMin, x1 = box.XMax, y1 = box.YMax;
    Columns = GridCoordinates(x0, static_cast<double>((Real(x1) - x0) / 25), x1, 26, Xs);
    Rows = GridCoordinates(y0, static_cast<double>((Real(y1) - y0) / 25), y1, 26, Ys);
  }
};

// A run is an answer for every row of its column: each must be the point test's. On
// the comparison's own grid, and on rows spaced unevenly, where the crossings are
// guessed a row off, or (rows crowded to one side) many rows off.
TEST(Comparisons, RunsOfRowsAreThePointTestsAnswers) {
  std::mt19937 rng(52);
  std::uniform_real_distribution<double> unit(0, 1);
  int64_t settled[6] = {}, columns[6] = {}, empty = 0, full = 0;
  for (int n = 0; n < 18000; ++n) {
    const int kind = (n / 3) % 6, spacing = n % 3;  // 0: even rows
    const TEllipse e = EllipseOf(rng, kind);
    TGrid grid(e, EllipseOf(rng, 0));
    if (grid.Columns < 3 || grid.Rows < 3) continue;
    const double first = grid.Ys[0], span = grid.Ys[grid.Rows - 1] - first;
    for (int32_t j = 1; spacing != 0 && j + 1 < grid.Rows; ++j) {
      const double place = static_cast<double>(j) / (grid.Rows - 1);
      if (spacing == 1)
        grid.Ys[j] += (unit(rng) - 0.5) * 0.9 * span / (grid.Rows - 1);
      else
        grid.Ys[j] = first + span * (n % 2 ? place * place * place : std::cbrt(place));
    }
    TGridContainment in(e, grid.Ys, grid.Rows);
    in.PrepareRuns(std::max(std::fabs(grid.Xs[0]), std::fabs(grid.Xs[grid.Columns - 1])));
    int32_t lo[26], hi[26];
    in.Runs(grid.Xs, grid.Columns, lo, hi);
    for (int32_t i = 0; i < grid.Columns; ++i) {
      columns[kind] += spacing == 0;
      uint8_t inside[26];
      in.Column(grid.Xs[i], inside);
      if (lo[i] < 0) continue;
      settled[kind] += spacing == 0;
      ASSERT_LE(lo[i], hi[i]);
      for (int32_t j = 0; j < grid.Rows; ++j)
        ASSERT_EQ(inside[j] != 0, j >= lo[i] && j < hi[i])
            << "ellipse " << n << ", column " << i << ", row " << j;
      (lo[i] == hi[i] ? empty : full) += 1;
    }
  }
  // On even rows, ordinary ellipses are settled by their runs nearly everywhere.
  EXPECT_GT(settled[0], columns[0] * 98 / 100);
  EXPECT_GT(settled[4], columns[4] * 98 / 100);
  EXPECT_GT(empty, 20000);
  EXPECT_GT(full, 20000);
}

// Ellipses of radii 5 and 10 steps on a grid of whole steps, turned by quarters: grid
// points lie on the boundary ((3, 4), (6, 8), ...), and where a column crosses it
// falls on a row, give or take a rounding.
TEST(Comparisons, RunsOfRowsOnBoundaryPointsAreThePointTestsAnswers) {
  int onBoundary = 0;
  for (const double step : {1.0, 0.125, 0.1, 3.0}) {
    double grid[41];
    for (int k = 0; k < 41; ++k) grid[k] = (k - 20) * step;
    for (const auto& [a, b] : {std::pair{5, 5}, std::pair{10, 5}, std::pair{5, 10}, std::pair{10, 10}})
      for (int turn = 0; turn < 2; ++turn)
        for (int cx = -3; cx <= 3; ++cx)
          for (const int cy : {-19, -17, -3, -1, 1, 3, 17, 19}) {
            TEllipse e;
            e.Exponent = 2;
            e.Rotation = turn == 0 ? IdentityMatrix : TMatrix{{{Real(0), Real(-1)}, {Real(1), Real(0)}}};
            e.Center = MakeVector(cx * step, cy * step);
            e.Axes = MakeVector(a * step, b * step);
            TGridContainment in(e, grid, 41);
            in.PrepareRuns(20 * step);
            int32_t lo[41], hi[41];
            in.Runs(grid, 41, lo, hi);
            for (int32_t i = 0; i < 41; ++i) {
              uint8_t inside[41];
              in.Column(grid[i], inside);
              for (int32_t j = 0; j < 41; ++j) {
                const Real u = (grid[i] - e.Center[0]) / e.Axes[0], v = (grid[j] - e.Center[1]) / e.Axes[1];
                onBoundary += u * u + v * v == 1;
                if (lo[i] >= 0) {
                  ASSERT_EQ(inside[j] != 0, j >= lo[i] && j < hi[i])
                      << "step " << step << ", axes " << a << ", " << b << ", turn " << turn
                      << ", centre " << cx << ", " << cy << ", column " << i << ", row " << j;
                }
              }
            }
          }
  }
  EXPECT_GT(onBoundary, 1000);
}

// The plain way: each sum in extended precision, rounded to double.
int32_t ExtendedSums(double first, double step, double limit, double* out) {
  int32_t count = 0;
  for (double x = first; count < 26 && x <= limit;
       x = static_cast<double>(static_cast<Real>(x) + step))
    out[count++] = x;
  return count;
}

void ExpectExtendedSums(double first, double step, double limit, const std::string& where) {
  double fast[26], plain[26];
  const int32_t n = GridCoordinates(first, step, limit, 26, fast);
  ASSERT_EQ(n, ExtendedSums(first, step, limit, plain)) << where;
  for (int32_t k = 0; k < n; ++k)
    ASSERT_TRUE(SameDouble(fast[k], plain[k])) << where << ", value " << k;
}

TEST(Comparisons, GridCoordinatesAreTheExtendedSums) {
  std::mt19937 rng(53);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int n = 0; n < 200000; ++n) {
    const double first = (unit(rng) - 0.5) * std::pow(10.0, 6 * unit(rng) - 3);
    const double width = std::pow(10.0, 6 * unit(rng) - 4);
    const double step = static_cast<double>(Real(width) / 25);
    ExpectExtendedSums(first, step, first + width, "sum " + std::to_string(n));
  }
  // Steps just short of half a spacing: the extended sum rounds to the midpoint, and
  // the tie then goes to the even neighbour, which a double sum would not reach.
  int differing = 0;
  for (int n = 0; n < 2000; ++n) {
    uint64_t bits = std::bit_cast<uint64_t>(0.5 + unit(rng) * 1000) | 1;  // odd
    const double first = std::bit_cast<double>(bits) * (n % 2 ? 1 : -1);
    const double spacing = std::nextafter(std::fabs(first), 1e300) - std::fabs(first);
    const double step = spacing * (0.5 - 0x1p-13 * (1 + n % 4));
    ExpectExtendedSums(first, step, 1e300, "near a midpoint " + std::to_string(n));
    if (first + step != static_cast<double>(Real(first) + step)) ++differing;
  }
  EXPECT_GT(differing, 800);
  // Values too large, too small or not finite are summed the plain way.
  const double inf = std::numeric_limits<double>::infinity();
  ExpectExtendedSums(0x1p500, 0x1p470, 0x1p501, "large");
  ExpectExtendedSums(-inf, 1, 0, "infinite");
  ExpectExtendedSums(0, std::numeric_limits<double>::quiet_NaN(), 1, "NaN step");
  ExpectExtendedSums(1e-310, 1e-312, 1e-309, "subnormal");
  ExpectExtendedSums(1, 0, 1, "no step");
}

// Codes of a few generated blobs at a setting.
void AddCodes(std::mt19937& rng, int32_t level, double error, std::vector<TCode>& codes) {
  auto whole = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  TAppState app;
  app.SceneImage = std::make_unique<TPattern>(TRect{0, 0, 59, 59}, clWhite);
  app.SceneImage->Clear();
  for (int s = 0; s < 6; ++s) {
    const int cx = whole(5, 54), cy = whole(5, 54), a = whole(2, 9), b = whole(1, 9);
    const bool box = whole(0, 1) == 0;
    for (int x = cx - a; x <= cx + a; ++x)
      for (int y = cy - b; y <= cy + b; ++y)
        if (app.SceneImage->InBounds(x, y) &&
            (box || (x - cx) * (x - cx) * b * b + (y - cy) * (y - cy) * a * a <= a * a * b * b))
          app.SceneImage->SetPixel(x, y, 0x00C00000);
  }
  app.MaxTreeLevel = level;
  app.AdmissibleError = error;
  app.Threads = 1;
  app.BuildSceneCodes();
  for (int32_t i = 0; i < app.SceneCodes.Count(); ++i) codes.push_back(app.SceneCodes.GetCode(i));
}

// One prepared scene code against many base codes, damaged ones too: full sums to
// the bit, and a sum left early only when it passes the bound.
TEST(Comparisons, PreparedCodeDistanceIsThePlainOne) {
  std::mt19937 rng(54);
  std::vector<TCode> codes;
  for (int n = 0; n < 4; ++n) {
    AddCodes(rng, 2, 0, codes);
    AddCodes(rng, 5, 0.05, codes);
    AddCodes(rng, 0, 0, codes);
  }
  for (size_t k = 0; k < 9 && k < codes.size(); ++k) {
    TCode copy = codes[k];
    if (k % 3 == 0) std::reverse(copy.Items.begin(), copy.Items.end());
    if (k % 3 == 1) copy.Items.push_back(copy.Items.front());
    if (k % 3 == 2) copy.Arity = 3;
    codes.push_back(copy);
  }
  ASSERT_GT(codes.size(), 40u);
  std::uniform_real_distribution<double> unit(0, 1);
  int leftEarly = 0;
  // Every pair, or (fewer cases) each code against every step-th other, at least four.
  const size_t step = std::max<size_t>(
      1, std::min(codes.size() / static_cast<size_t>(Cases(static_cast<int>(codes.size()))),
                  codes.size() / 4));
  for (size_t i = 0; i < codes.size(); ++i) {
    const TCodeDistanceFrom from(codes[i]);
    for (size_t j = i % step; j < codes.size(); j += step) {
      const std::string where = "codes " + std::to_string(i) + ", " + std::to_string(j);
      const double plain = reference::CodeDistance(codes[i], codes[j]);
      ASSERT_TRUE(SameDouble(from.UpTo(codes[j], std::numeric_limits<double>::infinity()), plain))
          << where;
      ASSERT_TRUE(SameDouble(CodeDistance(codes[i], codes[j]), plain)) << where;
      ASSERT_TRUE(SameDouble(from.UpTo(codes[j], plain), plain)) << where;  // at the bound
      const double below = plain * unit(rng);
      const double early = from.UpTo(codes[j], below);
      if (below < plain) {
        ASSERT_GT(early, below) << where;
        ASSERT_LE(early, plain) << where;
        leftEarly += early < plain;
      }
    }
  }
  EXPECT_GT(leftEarly, Cases(300));
  // Sums that stay at 0 until their last pair: a bound of 0 must not end them early.
  int changedLeaves = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    if (codes[i].Items.size() < 3 || codes[i].Items.back().HasChildren != 0) continue;
    ++changedLeaves;
    TCode changed = codes[i];
    TEllipse e = TEllipse::CreateFromBytes(changed.Items.back().Data);
    e.Center[0] += e.Axes[0] + e.Axes[1];
    e.SaveToBytes(changed.Items.back().Data);
    const TCodeDistanceFrom from(codes[i]);
    EXPECT_EQ(from.UpTo(codes[i], 0), 0.0) << "code " << i;
    EXPECT_GT(from.UpTo(changed, 0), 0.0) << "code " << i;
  }
  EXPECT_GT(changedLeaves, 20);
  // Too few bytes for an ellipse: the same error as reading it.
  TCode shortData = codes[0];
  shortData.Items.back().Data.resize(40);
  EXPECT_THROW(TCodeDistanceFrom(codes[0]).UpTo(shortData, 1e300), EReadError);
  EXPECT_THROW(TCodeDistanceFrom(shortData).UpTo(codes[0], 1e300), EReadError);
}

}  // namespace
}  // namespace ormax
