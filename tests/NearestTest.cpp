#include "analysis/Nearest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <string>

#include "app/AppState.h"
#include "tests/Reference.h"

namespace ormax {
namespace {

// A stand-in distance: how far apart the codes' MaxLevel fields are, in tenths.
double ByLevel(const TCode& a, const TCode& b) {
  return std::abs(a.MaxLevel - b.MaxLevel) / 10.0;
}

void AddEntry(TCodeBase& base, const std::string& name, int32_t level) {
  auto code = std::make_unique<TCode>();
  code->MaxLevel = level;
  base.Add(name, std::move(code));
}

TEST(NearestShapes, ShapeIsTheNameBeforeTheFirstAtOrUnderscore) {
  EXPECT_EQ(ShapeOfEntry("star@30"), "star");
  EXPECT_EQ(ShapeOfEntry("star@m30"), "star");
  EXPECT_EQ(ShapeOfEntry("star"), "star");
  EXPECT_EQ(ShapeOfEntry("a@b@c"), "a");
  EXPECT_EQ(ShapeOfEntry("@0"), "");
  // Several drawings of one shape: the drawing's own name follows '_'.
  EXPECT_EQ(ShapeOfEntry("star_2@30x0.7"), "star");
  EXPECT_EQ(ShapeOfEntry("star_2"), "star");
  EXPECT_EQ(ShapeOfEntry("star@m30_x"), "star");
  EXPECT_EQ(ShapeOfEntry("_1@0"), "");
}

TEST(NearestShapes, OneEntryPerShapeNearestFirst) {
  TCodeBase base;
  AddEntry(base, "ring@0", 9);    // 0: ring, distance 0.5
  AddEntry(base, "star@0", 6);    // 1: star, 0.2
  AddEntry(base, "star@30", 4);   // 2: star, 0.0 (the star's nearest)
  AddEntry(base, "cross", 7);     // 3: cross, 0.3
  AddEntry(base, "ring@m30", 5);  // 4: ring, 0.1 (the ring's nearest)
  TCode probe;
  probe.MaxLevel = 4;
  const auto top = FindNearestShapes(base, probe, 5, ByLevel);
  ASSERT_EQ(top.size(), 3u);  // three shapes, though five were asked for
  EXPECT_EQ(top[0], (TNearestShape{2, 0.0}));
  EXPECT_EQ(top[1].Index, 4);
  EXPECT_DOUBLE_EQ(top[1].Distance, 0.1);
  EXPECT_EQ(top[2].Index, 3);
  EXPECT_DOUBLE_EQ(top[2].Distance, 0.3);

  EXPECT_EQ(FindNearestShapes(base, probe, 2, ByLevel).size(), 2u);
  EXPECT_TRUE(FindNearestShapes(base, probe, 0, ByLevel).empty());
  TCodeBase none;
  EXPECT_THROW(FindNearestShapes(none, probe, 1, ByLevel), std::invalid_argument);
  // The searches by CodeDistance refuse an empty base the same way.
  EXPECT_THROW(FindNearestShapes(none, probe, 1), std::invalid_argument);
  double distance = 0;
  EXPECT_THROW(FindNearest(none, probe, distance), std::invalid_argument);
}

TEST(NearestShapes, TiesKeepTheLowerPositionAndTheFirstMatchesFindNearest) {
  TCodeBase base;
  AddEntry(base, "b@0", 7);  // 0: b, distance 0.2
  AddEntry(base, "a@0", 3);  // 1: a, 0.2 as well
  AddEntry(base, "a@9", 7);  // 2: a, 0.2: a tie within a, the first entry stays
  AddEntry(base, "c@0", 6);  // 3: c, 0.1
  TCode probe;
  probe.MaxLevel = 5;
  const auto top = FindNearestShapes(base, probe, 3, ByLevel);
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0].Index, 3);
  EXPECT_EQ(top[1].Index, 0);  // b and a tie between shapes: b's entry comes first
  EXPECT_EQ(top[2].Index, 1);
  for (int level : {0, 3, 5, 6, 7, 12}) {
    probe.MaxLevel = level;
    double best = -1;
    const int32_t nearest = reference::FindNearest(base, probe, ByLevel, best);
    const auto first = FindNearestShapes(base, probe, 1, ByLevel);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].Index, nearest) << "level " << level;
    EXPECT_EQ(first[0].Distance, best);
  }
}


// ---- the bounded search against the full scan, on codes of drawn shapes ----

// A few outlines in shape units (about -1 .. 1).
bool InShape(int kind, double x, double y) {
  switch (kind) {
    case 0: return x * x + 3 * y * y <= 1;                                       // ellipse
    case 1: return std::fabs(x) <= 0.9 && std::fabs(y) <= 0.45;                  // bar
    case 2: return y <= 0.6 && y >= 2 * std::fabs(x) - 1.2;                      // triangle
    case 3: return (std::fabs(x) <= 0.25 && std::fabs(y) <= 0.9) ||             // cross
                   (std::fabs(y) <= 0.25 && std::fabs(x) <= 0.9);
    case 4: {                                                                     // ring
      const double q = x * x + y * y;
      return q <= 1 && q >= 0.4;
    }
    default: {                                                                    // star
      const double step = 2 * std::numbers::pi / 5;
      const double f = std::fabs(std::remainder(std::atan2(y, x), step)) / (step / 2);
      return std::hypot(x, y) <= 1 - 0.55 * f;
    }
  }
}

// The code (two levels, error 0, as a base holds) of shape kind drawn at radius pixels
// and turned by degrees.
std::unique_ptr<TCode> DrawnCode(int kind, double radius, double degrees) {
  const int32_t side = static_cast<int32_t>(2 * radius) + 5;
  TAppState app;
  app.SceneImage = std::make_unique<TPattern>(TRect{0, 0, side - 1, side - 1}, clWhite);
  app.SceneImage->Clear();
  const double c = std::cos(degrees * std::numbers::pi / 180);
  const double s = std::sin(degrees * std::numbers::pi / 180);
  const double mid = (side - 1) / 2.0;
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x)
      if (InShape(kind, ((x - mid) * c + (y - mid) * s) / radius,
                  (-(x - mid) * s + (y - mid) * c) / radius))
        app.SceneImage->SetPixel(x, y, 0x00000080);
  app.MaxTreeLevel = 2;
  app.AdmissibleError = 0;
  app.Threads = 1;
  app.BuildSceneCodes();
  return std::make_unique<TCode>(app.SceneCodes.GetCode(0));
}

// A copy with every ellipse moved by offset: too little to change which grid points
// it holds, so its distances are the code's, but it looks a little less alike.
std::unique_ptr<TCode> Shifted(const TCode& code, double offset) {
  auto copy = std::make_unique<TCode>(code);
  for (TCodeItem& item : copy->Items) {
    TEllipse e = TEllipse::CreateFromBytes(item.Data);
    e.Center = MakeVector(e.Center[0] + offset, e.Center[1]);
    e.SaveToBytes(item.Data);
  }
  return copy;
}

// A copy with every ellipse of the code moved and resized a little.
std::unique_ptr<TCode> Jittered(const TCode& code, std::mt19937& rng, double amount) {
  auto copy = std::make_unique<TCode>(code);
  std::normal_distribution<double> move(0, amount);
  for (TCodeItem& item : copy->Items) {
    TEllipse e = TEllipse::CreateFromBytes(item.Data);
    e.Center = MakeVector(e.Center[0] + move(rng), e.Center[1] + move(rng));
    e.Axes = MakeVector(e.Axes[0] * (1 + move(rng)), e.Axes[1] * (1 + move(rng)));
    e.SaveToBytes(item.Data);
  }
  return copy;
}

bool SameDouble(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every answer of the bounded searches must be the full scan's, to the bit.
void ExpectFullScanAnswers(const TCodeBase& base, const TCode& probe, const std::string& where) {
  double plain = 0, fast = 0;
  const int32_t plainIndex = reference::FindNearest(base, probe, CodeDistance, plain);
  EXPECT_EQ(FindNearest(base, probe, fast), plainIndex) << where;
  EXPECT_TRUE(SameDouble(fast, plain)) << where << ": " << fast << " against " << plain;
  for (int32_t k : {1, 2, 5, 40}) {
    const auto full = FindNearestShapes(base, probe, k, CodeDistance);
    const auto bounded = FindNearestShapes(base, probe, k);
    ASSERT_EQ(bounded.size(), full.size()) << where << ", top " << k;
    for (size_t n = 0; n < full.size(); ++n) {
      EXPECT_EQ(bounded[n].Index, full[n].Index) << where << ", top " << k << ", place " << n;
      EXPECT_TRUE(SameDouble(bounded[n].Distance, full[n].Distance))
          << where << ", top " << k << ", place " << n;
    }
  }
}

// Bases as `ormax-cli base` makes them (shapes at many turns, "_2" drawings of the
// same shapes), with codes repeated under the same and under other shapes' names for
// ties, and probes between the base's turns and equal to its entries. Ahead of all,
// copies that tie with an entry further on but look less alike to the probe: those
// compared first must not keep a tie that an earlier position wins.
TEST(NearestShapes, BoundedSearchGivesTheFullScanAnswers) {
  std::mt19937 rng(41);
  std::vector<std::unique_ptr<TCode>> drawn;
  std::vector<int> kindOf;
  for (int kind = 0; kind < 6; ++kind)
    for (int turn = 0; turn < 8; ++turn) {
      drawn.push_back(DrawnCode(kind, 14 + 3 * (turn % 3), 45.0 * turn));
      kindOf.push_back(kind);
    }
  TCodeBase base;
  for (int k = 10; k > 0; --k)
    base.Add("s" + std::to_string(kindOf[15]) + "@shifted" + std::to_string(k),
             Shifted(*drawn[15], k * 1e-13));
  for (size_t i = 0; i < drawn.size(); ++i) {
    const std::string shape = "s" + std::to_string(kindOf[i]);
    base.Add(shape + "@" + std::to_string(i), std::make_unique<TCode>(*drawn[i]));
    base.Add(shape + "_2@" + std::to_string(i), Jittered(*drawn[i], rng, 0.01));
  }
  for (size_t i = 0; i < drawn.size(); i += 5) {  // ties: within a shape and across shapes
    base.Add("s" + std::to_string(kindOf[i]) + "@again" + std::to_string(i),
             std::make_unique<TCode>(*drawn[i]));
    base.Add("other" + std::to_string(i % 3) + "@" + std::to_string(i),
             std::make_unique<TCode>(*drawn[i]));
  }
  for (int n = 0; n < 24; ++n) {
    const int kind = n % 6;
    const auto probe = n % 4 == 3 ? std::make_unique<TCode>(*drawn[static_cast<size_t>(5 * (n % 9))])
                                  : DrawnCode(kind, 12 + n % 9, 7.5 + 31 * n);
    ExpectFullScanAnswers(base, *probe, "probe " + std::to_string(n));
    if (HasFailure()) return;
  }
}

// More shapes than the list is long, so that the k-th shape bounds the others; and a
// base where every entry is a shape of its own.
TEST(NearestShapes, BoundedSearchOverManyShapesGivesTheFullScanAnswers) {
  std::mt19937 rng(43);
  std::vector<std::unique_ptr<TCode>> drawn;
  for (int n = 0; n < 30; ++n) drawn.push_back(DrawnCode(n % 6, 10 + n % 7, 12.0 * n));
  TCodeBase many, single;
  for (int n = 0; n < 180; ++n) {
    const TCode& code = *drawn[static_cast<size_t>(n % 30)];
    many.Add("shape" + std::to_string(n % 60) + "@" + std::to_string(n),
             n % 7 == 0 ? std::make_unique<TCode>(code) : Jittered(code, rng, 0.02));
    single.Add("entry" + std::to_string(n), n % 9 == 0 ? std::make_unique<TCode>(code)
                                                        : Jittered(code, rng, 0.03));
  }
  for (int n = 0; n < 10; ++n) {
    const auto probe = DrawnCode((n * 5) % 6, 11 + n, 3.0 + 37 * n);
    ExpectFullScanAnswers(many, *probe, "many shapes, probe " + std::to_string(n));
    ExpectFullScanAnswers(single, *probe, "single entries, probe " + std::to_string(n));
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace ormax
