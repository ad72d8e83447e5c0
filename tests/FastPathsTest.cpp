// The fast routines of analysis/Methods and the recognition of TAppState against the
// plain routines of tests/Reference, on generated scenes: quadtrees, regions pixel
// for pixel, trees and codes byte for byte, errors and distances bit for bit.
// ORMAX_FAST_PATHS_DIVISOR (environment, or as built for emulation) divides the number
// of generated cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <mutex>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>

#include "analysis/Methods.h"
#include "analysis/Nearest.h"
#include "analysis/QuadTree.h"
#include "app/AppState.h"
#include "app/RecognitionRows.h"
#include "app/Views.h"
#include "tests/ExtendedValues.h"
#include "tests/GeneratedCases.h"
#include "tests/Reference.h"
#include "tests/Rasters.h"
#include "tests/TestCanvas.h"

namespace ormax {
namespace {

// ---- the plain grouping itself: the yardstick of the union-find segmentation ----

TEST(PlainGrouping, RectanglesAdjacentSideBySideOrAtACorner) {
  const TRect a{0, 0, 1, 1};
  EXPECT_TRUE(reference::RectanglesAdjacent(a, TRect{2, 0, 3, 1}));      // right
  EXPECT_TRUE(reference::RectanglesAdjacent(TRect{2, 0, 3, 1}, a));      // symmetric
  EXPECT_TRUE(reference::RectanglesAdjacent(a, TRect{0, 2, 0, 2}));      // below
  EXPECT_TRUE(reference::RectanglesAdjacent(a, TRect{2, 2, 2, 2}));      // diagonal corner
  EXPECT_TRUE(reference::RectanglesAdjacent(a, TRect{-3, -1, -1, -1}));  // top-left corner
  EXPECT_FALSE(reference::RectanglesAdjacent(a, TRect{3, 0, 3, 1}));     // a column of gap
  EXPECT_FALSE(reference::RectanglesAdjacent(a, TRect{2, 3, 2, 3}));     // off the corner
  EXPECT_FALSE(reference::RectanglesAdjacent(a, TRect{1, 1, 2, 2}));     // overlapping
  EXPECT_FALSE(reference::RectanglesAdjacent(a, a));
}

TEST(PlainGrouping, GroupRoutines) {
  reference::TIntegerArray g{1};
  reference::AddInteger(g, 5);
  reference::AddIntegers(g, {7, 3});
  EXPECT_EQ(g, (reference::TIntegerArray{1, 5, 7, 3}));
  reference::TIntegerList list{{0}, {1}, {2}};
  reference::DeleteGroup(list, 1);
  EXPECT_EQ(list, (reference::TIntegerList{{0}, {2}}));
}

TEST(PlainGrouping, AJoiningCellMergesGroupsIntoTheLowest) {
  // Cells 0 and 1 apart, cell 2 touching both: members 0, 2, 1.
  EXPECT_EQ(reference::GroupCells({TRect{0, 0, 0, 0}, TRect{2, 0, 2, 0}, TRect{1, 0, 1, 0}}),
            (reference::TIntegerList{{0, 2, 1}}));
  // Three groups; cell 3 touches groups 0 and 2: group 1 keeps its place after.
  EXPECT_EQ(reference::GroupCells(
                {TRect{0, 0, 0, 0}, TRect{0, 5, 0, 5}, TRect{2, 0, 2, 0}, TRect{1, 0, 1, 0}}),
            (reference::TIntegerList{{0, 3, 2}, {1}}));
  // A cell touching three groups takes the higher ones in descending order.
  EXPECT_EQ(reference::GroupCells(
                {TRect{0, 0, 0, 0}, TRect{2, 0, 2, 0}, TRect{1, 2, 1, 2}, TRect{1, 1, 1, 1}}),
            (reference::TIntegerList{{0, 3, 2, 1}}));
  EXPECT_TRUE(reference::GroupCells({}).empty());
}

// ---- generated scenes ----

const TColor kColors[] = {0x000000C0, 0x00C00000, 0x0000A000};

// A small white scene at a random place (also at negative coordinates) holding one
// kind of content: random pixels, filled boxes and ellipses, lines one pixel wide,
// single pixels, or a mix. Shapes may run over the border.
std::unique_ptr<TPattern> GenerateScene(std::mt19937& rng) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int width = pick(1, 40), height = pick(1, 40);
  const int left = pick(-20, 20), top = pick(-20, 20);
  auto scene =
      std::make_unique<TPattern>(TRect{left, top, left + width - 1, top + height - 1}, clWhite);
  scene->Clear();
  const int colours = pick(1, 3);
  auto colour = [&] { return kColors[pick(0, colours - 1)]; };
  auto set = [&](int x, int y, TColor c) {
    if (scene->InBounds(x, y)) scene->SetPixel(x, y, c);
  };
  const int kind = pick(0, 5);
  if (kind == 0) {  // random pixels
    const double density = std::uniform_real_distribution<double>(0.02, 0.7)(rng);
    for (int x = scene->Left; x <= scene->Right; ++x)
      for (int y = scene->Top; y <= scene->Bottom; ++y)
        if (std::uniform_real_distribution<double>(0, 1)(rng) < density) set(x, y, colour());
    return scene;
  }
  const int shapes = pick(1, 8);
  for (int s = 0; s < shapes; ++s) {
    const int what = kind == 5 ? pick(1, 4) : kind;
    const int cx = pick(left - 3, left + width + 2), cy = pick(top - 3, top + height + 2);
    const TColor c = colour();
    if (what == 1) {  // a box
      const int w = pick(0, 12), h = pick(0, 12);
      for (int x = cx; x <= cx + w; ++x)
        for (int y = cy; y <= cy + h; ++y) set(x, y, c);
    } else if (what == 2) {  // a turned ellipse
      const double a = pick(1, 14), b = std::uniform_real_distribution<double>(0.5, a)(rng);
      const double t = std::uniform_real_distribution<double>(0, std::numbers::pi)(rng);
      for (int x = cx - 15; x <= cx + 15; ++x)
        for (int y = cy - 15; y <= cy + 15; ++y) {
          const double u = (std::cos(t) * (x - cx) + std::sin(t) * (y - cy)) / a;
          const double v = (-std::sin(t) * (x - cx) + std::cos(t) * (y - cy)) / b;
          if (u * u + v * v <= 1) set(x, y, c);
        }
    } else if (what == 3) {  // a line one pixel wide: along a row, a column or a diagonal
      const int n = pick(1, 40), dir = pick(0, 3);
      const int dx[] = {1, 0, 1, 1}, dy[] = {0, 1, 1, -1};
      for (int k = 0; k < n; ++k) set(cx + k * dx[dir], cy + k * dy[dir], c);
    } else {  // single pixels, some of them in diagonal contact
      set(cx, cy, c);
      if (pick(0, 1)) set(cx + 1, cy + 1, c);
      if (pick(0, 1)) set(cx + 2, cy, colour());
    }
  }
  return scene;
}

// ---- comparisons ----

void ExpectSameTree(const TTree& fast, const TTree& reference, const std::string& where) {
  ASSERT_EQ(fast.Data, reference.Data) << where;
  ASSERT_EQ(fast.Children.size(), reference.Children.size()) << where;
  for (size_t k = 0; k < fast.Children.size(); ++k) {
    ASSERT_EQ(fast.Children[k] == nullptr, reference.Children[k] == nullptr) << where;
    if (fast.Children[k])
      ExpectSameTree(*fast.Children[k], *reference.Children[k], where + "/" + std::to_string(k));
  }
}

// The compact quadtree's leaves, bytes for bytes, against the leaves of the tree.
void ExpectSameLeaves(const TQuadTree& fast, const TImg& scene, const TTree& reference,
                      const std::string& where) {
  std::vector<const TByteArray*> leaves;
  reference.CollectData(leaves);
  size_t k = 0;
  fast.ForEachLeaf(scene, [&](const TRectangle& cell) {
    TByteArray bytes;
    cell.SaveToBytes(bytes);
    ASSERT_LT(k, leaves.size()) << where;
    EXPECT_EQ(bytes, *leaves[k]) << where << " leaf " << k;
    ++k;
  });
  EXPECT_EQ(k, leaves.size()) << where;
  EXPECT_EQ(fast.Leaves(), static_cast<int64_t>(leaves.size())) << where;
}

void ExpectSamePattern(const TPattern& fast, const TPattern& reference, const std::string& where) {
  ASSERT_EQ(fast.GetBounds(), reference.GetBounds()) << where;
  ASSERT_EQ(fast.Background(), reference.Background()) << where;
  ASSERT_TRUE(fast.Pixels == reference.Pixels) << where;
}

void ExpectSameDouble(double fast, double reference, const std::string& where) {
  ASSERT_EQ(std::memcmp(&fast, &reference, sizeof fast), 0)
      << where << ": " << fast << " against " << reference;
}

// The rows keep a region's figures without the names of its entry; made again, they
// are the whole analysis's own, names and runner-up included.
void ExpectTheFiguresOfTheState(const TSceneRows& rows, const TAppState& whole) {
  ASSERT_EQ(rows.Count(), static_cast<size_t>(whole.SceneCodes.Count()));
  for (size_t i = 0; i < rows.Count(); ++i) {
    const TRegionFigures full = RegionFigures(whole, static_cast<int32_t>(i)), kept = rows.Region(i);
    const std::string at = "figures of region " + std::to_string(i);
    EXPECT_EQ(kept.Bounds, full.Bounds) << at;
    EXPECT_EQ(kept.Centre, full.Centre) << at;
    EXPECT_EQ(kept.Pixels, full.Pixels) << at;
    EXPECT_EQ(std::tie(kept.Recognized, kept.Entry, kept.EntryName, kept.Shape, kept.Turn),
              std::tie(full.Recognized, full.Entry, full.EntryName, full.Shape, full.Turn))
        << at;
    for (const auto& [got, want] : {std::pair{kept.AxisA, full.AxisA}, {kept.AxisB, full.AxisB},
                                    {kept.AngleDegrees, full.AngleDegrees},
                                    {kept.Distance, full.Distance}, {kept.Sameness, full.Sameness},
                                    {kept.RunnerUpSameness, full.RunnerUpSameness}})
      ExpectSameDouble(got, want, at);
  }
}

// A state's nearest entries, distances and runners-up are the whole analysis's, to the bit.
void ExpectTheNearestOfTheState(const TAppState& got, const TAppState& whole, const std::string& where) {
  ASSERT_EQ(got.NearestIndices, whole.NearestIndices) << where;
  ASSERT_EQ(got.NearestMeasures.size(), whole.NearestMeasures.size()) << where;
  ASSERT_EQ(got.RunnerUpMeasures.size(), whole.RunnerUpMeasures.size()) << where;
  for (size_t i = 0; i < whole.NearestMeasures.size(); ++i) {
    ExpectSameDouble(got.NearestMeasures[i], whole.NearestMeasures[i], where);
    ExpectSameDouble(got.RunnerUpMeasures[i], whole.RunnerUpMeasures[i], where);
  }
}

struct TSetting {
  int32_t MaxLevel;
  double Error;
};
const TSetting kSettings[] = {{0, 0.0}, {5, 0.05}, {5, 0.0}, {2, 0.3}, {30, 0.05}, {30, -1.0}};

// A state holding a copy of scene, with the setting and the threads.
void Prepare(TAppState& app, const TPattern& scene, const TSetting& setting, int threads = 0) {
  app.SceneImage = std::make_unique<TPattern>(scene);
  app.MaxTreeLevel = setting.MaxLevel;
  app.AdmissibleError = setting.Error;
  app.Threads = threads;
}

// A generated scene's codes at the setting (the threads left at their default).
void PrepareGenerated(TAppState& app, std::mt19937& rng, const TSetting& setting) {
  app.SceneImage = GenerateScene(rng);
  app.MaxTreeLevel = setting.MaxLevel;
  app.AdmissibleError = setting.Error;
  app.BuildSceneCodes();
}

// ---- the pipeline ----

TEST(FastPaths, QuadtreesAndRegionsMatchThePlainRoutines) {
  std::mt19937 rng(11);
  int regions = 0;
  for (int n = 0; n < Cases(1500); ++n) {
    const auto scene = GenerateScene(rng);
    const std::string where = "scene " + std::to_string(n);
    TQuadTree fast;
    fast.Build(*scene);
    TTree plain;
    reference::BuildQuadTree(*scene, plain);
    ExpectSameLeaves(fast, *scene, plain, where + " quadtree");

    TPatternList fastRegions, bandedRegions, plainRegions;
    std::vector<int64_t> pixels, bandedPixels;
    SegmentPattern(*scene, fastRegions, {}, &pixels);
    // In bands of rows, the bands taken last to first: regions cut by band edges.
    SegmentPattern(*scene, bandedRegions, [](int32_t count, const std::function<void(int32_t)>& part) {
      for (int32_t k = count - 1; k >= 0; --k) part(k);
    }, &bandedPixels);
    reference::SegmentPattern(*scene, plainRegions);
    ASSERT_EQ(fastRegions.Count(), plainRegions.Count()) << where;
    ASSERT_EQ(bandedRegions.Count(), plainRegions.Count()) << where << " in bands";
    ASSERT_EQ(pixels.size(), static_cast<size_t>(plainRegions.Count())) << where;
    ASSERT_EQ(bandedPixels, pixels) << where << " in bands";
    for (int32_t i = 0; i < plainRegions.Count(); ++i) {
      ExpectSamePattern(fastRegions.Items(i), plainRegions.Items(i), where);
      ExpectSamePattern(bandedRegions.Items(i), plainRegions.Items(i), where + " in bands");
      EXPECT_EQ(pixels[static_cast<size_t>(i)], plainRegions.Items(i).InsideCount()) << where;
    }
    regions += plainRegions.Count();
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(regions, Cases(3000));  // the generator makes real work
}

// Rows are read 64 pixels at a time: runs that end at, start at or cross the edges of
// those words, rows of one word and a bit, and noise over several words.
TEST(FastPaths, RunsAtTheEdgesOfSixtyFourPixelsMatchThePlainRoutine) {
  std::mt19937 rng(13);
  for (const int width : {1, 63, 64, 65, 127, 128, 129, 200}) {
    TPattern scene(TRect{-3, 2, width - 4, 9}, clWhite);
    scene.Clear();
    const auto row = [&](int y, std::initializer_list<std::pair<int, int>> runs) {
      for (const auto& [first, last] : runs)
        for (int x = first; x <= last; ++x)
          if (x >= 0 && x < width) scene.SetPixel(x - 3, y, kColors[(x / 64) % 2]);
    };
    row(2, {{63, 63}, {65, 65}});             // single pixels about a word's edge
    row(3, {{0, width - 1}});                 // the whole row
    row(4, {{62, 64}, {127, 128}});           // runs across the edges
    row(5, {{0, 0}, {width - 1, width - 1}});  // the row's first and last pixels
    row(6, {{0, 63}, {128, 191}});            // runs of exactly a word
    for (int y = 7; y <= 9; ++y)
      for (int x = 0; x < width; ++x)
        if (rng() % 2) scene.SetPixel(x - 3, y, clBlack);
    TPatternList fast, plain;
    SegmentPattern(scene, fast);
    reference::SegmentPattern(scene, plain);
    const std::string where = "width " + std::to_string(width);
    ASSERT_EQ(fast.Count(), plain.Count()) << where;
    for (int32_t i = 0; i < plain.Count(); ++i) ExpectSamePattern(fast.Items(i), plain.Items(i), where);
  }
}

TEST(FastPaths, TreesAndCodesMatchThePlainRoutinesAtEverySetting) {
  std::mt19937 rng(12);
  int splits = 0;
  for (int n = 0; n < Cases(1200); ++n) {
    TAppState app;
    const TSetting setting = kSettings[n % std::size(kSettings)];
    PrepareGenerated(app, rng, setting);
    reference::TSceneResult plain;
    reference::BuildSceneCodes(*app.SceneImage, setting.MaxLevel, setting.Error, plain);
    const std::string where = "scene " + std::to_string(n);
    ASSERT_EQ(app.Segments.Count(), plain.Segments.Count()) << where;
    for (int32_t i = 0; i < plain.Segments.Count(); ++i) {
      ExpectSamePattern(app.Segments.Items(i), plain.Segments.Items(i), where);
      ExpectSameTree(app.Trees.Items(i), plain.Trees.Items(i), where);
      ASSERT_EQ(app.SceneCodes.GetCode(i).SaveToBytes(), plain.Codes.GetCode(i).SaveToBytes())
          << where << " region " << i;
      splits += app.Trees.Items(i).Children.empty() ? 0 : 1;
    }
    // The compact quadtree kept for the Quadro view has the plain tree's leaves, in order.
    TTree quad;
    reference::BuildQuadTree(*app.SceneImage, quad);
    ExpectSameLeaves(app.QuadTree, *app.SceneImage, quad, where + " quadtree");
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(splits, Cases(500));
}

// Wide regions far from the origin: a split's sides are found per row over hundreds of
// columns, on turned bands and noisy discs, and on boxes and crosses whose pixel centres
// lie exactly on a splitting axis.
TEST(FastPaths, WideRegionsFarOutSplitAsThePlainRoutine) {
  std::mt19937 rng(33);
  for (int n = 0; n < Cases(12); ++n) {
    const int32_t left = 7000 + n * 13, top = 5000 - n * 7, width = 240, height = 180;
    auto scene = std::make_unique<TPattern>(
        TRect{left, top, left + width - 1, top + height - 1}, clWhite);
    scene->Clear();
    const double t = std::uniform_real_distribution<double>(0, std::numbers::pi)(rng);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        const double dx = x - width / 2, dy = y - height / 2;
        const double u = std::cos(t) * dx + std::sin(t) * dy, v = -std::sin(t) * dx + std::cos(t) * dy;
        bool inside = false;
        switch (n % 4) {
          case 0: inside = std::abs(v) < 9 && std::abs(u) < 110; break;             // a turned band
          case 1: inside = u * u + 2 * v * v < 80 * 80 && rng() % 3 != 0; break;  // a noisy disc
          case 2: inside = std::abs(dx) <= 60 && std::abs(dy) <= 30; break;      // a box, whole centre
          default: inside = (std::abs(dx) <= 4 && std::abs(dy) <= 70) ||       // a cross
                            (std::abs(dy) <= 4 && std::abs(dx) <= 100);
        }
        if (inside) scene->SetPixel(left + x, top + y, kColors[0]);
      }
    for (const TSetting setting : {TSetting{6, 0.0}, TSetting{30, 0.02}}) {
      TAppState app;
      Prepare(app, *scene, setting);
      app.BuildSceneCodes();
      reference::TSceneResult plain;
      reference::BuildSceneCodes(*scene, setting.MaxLevel, setting.Error, plain);
      const std::string where = "case " + std::to_string(n) + " level " + std::to_string(setting.MaxLevel);
      ASSERT_EQ(app.Trees.Count(), plain.Trees.Count()) << where;
      int splits = 0;  // a noisy disc leaves stray pixels of its own besides the disc
      for (int32_t i = 0; i < plain.Trees.Count(); ++i) {
        ExpectSameTree(app.Trees.Items(i), plain.Trees.Items(i), where);
        splits += app.Trees.Items(i).Children.empty() ? 0 : 1;
      }
      EXPECT_EQ(splits, 1) << where;
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

// ---- ellipses on pixel grids ----

// Ellipses that put pixel centres exactly on the boundary (whole centres and axes,
// quarter turns), turned and thin ones, and damaged ones (zero or negative axes,
// a singular rotation, NaN, another exponent).
TEllipse EllipseOf(std::mt19937& rng, int kind) {
  auto real = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
  };
  auto whole = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  TEllipse e;
  e.Exponent = 2.0;
  e.Color = 7;
  switch (kind) {
    case 0: {  // on the pixel grid: boundary points abound
      e.Center = MakeVector(whole(-5, 25), whole(-5, 25));
      const Real quarter[4][2][2] = {
          {{1, 0}, {0, 1}}, {{0, -1}, {1, 0}}, {{-1, 0}, {0, -1}}, {{0, 1}, {-1, 0}}};
      const int q = whole(0, 3);
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) e.Rotation[r][c] = quarter[q][r][c];
      e.Axes = MakeVector(whole(0, 12), whole(0, 8));
      if (whole(0, 3) == 0) e.Axes = MakeVector(whole(1, 6) * Real(0.5), whole(1, 6) * Real(0.25));
      break;
    }
    case 1: {  // turned, with extended parameters as a fit leaves them
      const Real t = real(0, 6.3);
      e.Center = MakeVector(real(-5, 25) + Real(1) / Real(1e19) * whole(-3, 3), real(-5, 25));
      e.Rotation[0][0] = Cos(t);
      e.Rotation[1][0] = Sin(t);
      e.Rotation[0][1] = -Sin(t);
      e.Rotation[1][1] = Cos(t);
      e.Axes = MakeVector(real(0.01, 20), real(0.001, 10));
      break;
    }
    default: {  // damaged
      e.Center = MakeVector(whole(0, 20), whole(0, 20));
      e.Rotation = IdentityMatrix;
      e.Axes = MakeVector(whole(-3, 5), whole(-3, 5));
      const int damage = whole(0, 4);
      if (damage == 0) e.Rotation = ZeroMatrix;
      if (damage == 1) e.Center[0] = Real(std::numeric_limits<double>::quiet_NaN());
      if (damage == 2) e.Exponent = whole(0, 1) ? 1.0 : 3.5;
      if (damage == 3) e.Axes[1] = Real(std::numeric_limits<double>::infinity());
      if (damage == 4) e.Rotation[0][1] = Real(1e300);
      break;
    }
  }
  return e;
}

TEST(FastPaths, EllipseErrorMatchesThePlainRoutineOnBoundaryAndDamagedEllipses) {
  std::mt19937 rng(13);
  int exact = 0;
  for (int n = 0; n < Cases(3000); ++n) {
    const auto scene = GenerateScene(rng);
    const TEllipse e = EllipseOf(rng, n % 3);
    const std::string where = "case " + std::to_string(n);
    ExpectSameDouble(EllipseError(*scene, e), reference::EllipseError(*scene, e), where);
    if (::testing::Test::HasFatalFailure()) return;
    // Point by point as well, where the boundary is hit exactly.
    for (int32_t x = scene->Left; x <= scene->Right; ++x)
      for (int32_t y = scene->Top; y <= scene->Bottom; ++y) {
        ASSERT_EQ(e.Contains(x, y), reference::Contains(e, x, y)) << where;
        const TVector local = e.ToLocal(x, y);
        if (local[0] * local[0] / (e.Axes[0] * e.Axes[0]) +
                local[1] * local[1] / (e.Axes[1] * e.Axes[1]) ==
            1)
          ++exact;
      }
  }
  EXPECT_GT(exact, Cases(1000));  // the boundary cases really came up
}

TEST(FastPaths, FittedEllipsesMatchThePlainRoutine) {
  std::mt19937 rng(14);
  for (int n = 0; n < Cases(2000); ++n) {
    const auto scene = GenerateScene(rng);
    TPatternList regions;
    reference::SegmentPattern(*scene, regions);
    for (int32_t i = 0; i < regions.Count(); ++i) {
      TEllipse fast, plain;
      int64_t pixels = -1;  // the count the moments make, as the rows report it
      FitEllipse(regions.Items(i), fast, &pixels);
      ASSERT_EQ(pixels, regions.Items(i).InsideCount()) << "scene " << n;
      reference::FitEllipse(regions.Items(i), plain);
      TByteArray a, b;
      fast.SaveToBytes(a);
      plain.SaveToBytes(b);
      ASSERT_EQ(a, b) << "scene " << n;
      // The extended fields, not only their stored doubles.
      for (int r = 0; r < 2; ++r)
        ASSERT_TRUE(fast.Center[r] == plain.Center[r] && fast.Axes[r] == plain.Axes[r] &&
                    fast.Rotation[r][0] == plain.Rotation[r][0] &&
                    fast.Rotation[r][1] == plain.Rotation[r][1])
            << "scene " << n;
    }
  }
  // A region of the whole scene, with its pixels in random places, fitted in one go.
  for (int n = 0; n < Cases(300); ++n) {
    const auto scene = GenerateScene(rng);
    bool any = false;
    for (int32_t x = scene->Left; x <= scene->Right; ++x)
      for (int32_t y = scene->Top; y <= scene->Bottom; ++y) any = any || scene->IsInside(x, y);
    if (!any) continue;
    TEllipse fast, plain;
    int64_t pixels = -1;
    FitEllipse(*scene, fast, &pixels);
    ASSERT_EQ(pixels, scene->InsideCount()) << "whole scene " << n;
    reference::FitEllipse(*scene, plain);
    TByteArray a, b;
    fast.SaveToBytes(a);
    plain.SaveToBytes(b);
    ASSERT_EQ(a, b) << "whole scene " << n;
  }
  // Far from the origin the sums are not exact in 64 bits and are made one pixel at a
  // time: the count is the same there.
  const auto far = testing::PatternFromRows({"##.", ".##", "#.#"}, 1 << 30, (1 << 30) + 7);
  TEllipse fast, plain;
  int64_t pixels = -1;
  FitEllipse(far, fast, &pixels);
  EXPECT_EQ(pixels, 6);
  reference::FitEllipse(far, plain);
  TByteArray a, b;
  fast.SaveToBytes(a);
  plain.SaveToBytes(b);
  EXPECT_EQ(a, b);
}

// The halves below a tree's root hold only inside flags and take their colours from the
// root: a region of many colours gives every node the colour of its own part's last
// pixel, near the origin and far from it (where the sums go one pixel at a time).
TEST(FastPaths, TreesOfManyColouredRegionsMatchThePlainRoutineNearAndFar) {
  const std::vector<std::string> rows = {"ab.cdd", "cab.ea", "bcaafb", "a.bcgh", "hgfe.d"};
  const auto depth = [](const TTree& t, auto&& self) -> int {
    int d = 0;
    for (const auto& child : t.Children)
      if (child) d = std::max(d, 1 + self(*child, self));
    return d;
  };
  for (const int32_t at : {0, 1 << 30}) {
    const auto region = testing::PatternFromRows(rows, at, at + 7);
    TTree fast, plain;
    BuildRepresentation(region, fast, 3, -1.0, 0);
    reference::BuildRepresentation(region, plain, 3, -1.0, 0);
    const std::string where = "at " + std::to_string(at);
    ExpectSameTree(fast, plain, where);
    EXPECT_EQ(depth(fast, depth), 3) << where;
  }
}

// ---- comparison and recognition ----

TEST(FastPaths, EllipseComparisonMatchesThePlainRoutine) {
  std::mt19937 rng(15);
  int sampled = 0;
  for (int n = 0; n < Cases(20000); ++n) {
    TEllipse a = EllipseOf(rng, n % 3), b = EllipseOf(rng, (n / 3) % 3);
    if (n % 5 == 0) b = a;  // the same ellipse twice: grid points on both boundaries
    if (n % 7 == 0) {       // normalised-looking: small, near the origin
      a.Center = MakeVector(a.Center[0] / 40, a.Center[1] / 40);
      a.Axes = MakeVector(a.Axes[0] / 20, a.Axes[1] / 20);
    }
    const double fast = CompareEllipses(a, b), plain = reference::CompareEllipses(a, b);
    ExpectSameDouble(fast, plain, "pair " + std::to_string(n));
    if (::testing::Test::HasFatalFailure()) return;
    if (plain > 0 && plain < 1) ++sampled;
  }
  EXPECT_GT(sampled, Cases(1200));
}

// Codes of generated scenes: a base and scene codes, at one setting.
void CodesOf(std::mt19937& rng, int scenes, const TSetting& setting, TCodeList& codes) {
  for (int n = 0; n < scenes; ++n) {
    TAppState app;
    PrepareGenerated(app, rng, setting);
    for (int32_t i = 0; i < app.SceneCodes.Count(); ++i)
      codes.Add(std::make_unique<TCode>(app.SceneCodes.GetCode(i)));
  }
}

// Each code added to the base twice, the second round after the first, named by
// name(round, index): ties between equal entries must go to the first.
template <class TName>
void AddEachTwice(TCodeBase& base, const TCodeList& codes, TName name) {
  for (int round = 0; round < 2; ++round)
    for (int32_t i = 0; i < codes.Count(); ++i)
      base.Add(name(round, i), std::make_unique<TCode>(codes.GetCode(i)));
}

// A base of the codes of generated scenes, each code twice as entries "sK@N" of
// `shapes` shapes: ties within a shape too.
void BaseOfShapes(std::mt19937& rng, int scenes, const TSetting& setting, int shapes,
                  TCodeBase& base) {
  TCodeList codes;
  CodesOf(rng, scenes, setting, codes);
  AddEachTwice(base, codes, [shapes](int round, int32_t i) {
    return "s" + std::to_string(i % shapes) + "@" + std::to_string(round * 100 + i);
  });
}

TEST(FastPaths, CodeDistancesMatchThePlainRoutineAlsoForDamagedCodes) {
  std::mt19937 rng(16);
  for (const TSetting& setting : {kSettings[0], kSettings[1], kSettings[4]}) {
    TCodeList codes;
    CodesOf(rng, 40, setting, codes);
    // Damaged copies: items out of order, a repeated position, a foreign arity.
    for (int k = 0; k < 6 && k < codes.Count(); ++k) {
      auto copy = std::make_unique<TCode>(codes.GetCode(k));
      if (k % 3 == 0) std::reverse(copy->Items.begin(), copy->Items.end());
      if (k % 3 == 1) copy->Items.push_back(copy->Items.front());
      if (k % 3 == 2) copy->Arity = 3;
      codes.Add(std::move(copy));
    }
    const int32_t count = std::min<int32_t>(codes.Count(), std::max(Cases(60), 8));
    for (int32_t i = 0; i < count; ++i)
      for (int32_t j = 0; j < count; ++j) {
        const TCode& a = codes.GetCode(i);
        const TCode& b = codes.GetCode(codes.Count() - 1 - j);
        ExpectSameDouble(CodeDistance(a, b), reference::CodeDistance(a, b),
                         "codes " + std::to_string(i) + ", " + std::to_string(j));
        if (::testing::Test::HasFatalFailure()) return;
      }
  }
}

// Every scene region's nearest entry and distance are those of the plain search.
void ExpectThePlainSearchesNearest(const TAppState& app, const std::string& what) {
  for (int32_t i = 0; i < app.SceneCodes.Count(); ++i) {
    double plainDistance = 0;
    const int32_t plainIndex = reference::FindNearest(
        app.CodeBase, app.SceneCodes.GetCode(i), reference::CodeDistance, plainDistance);
    ASSERT_EQ(app.NearestIndices[static_cast<size_t>(i)], plainIndex)
        << what << ", region " << i;
    ExpectSameDouble(app.NearestMeasures[static_cast<size_t>(i)], plainDistance,
                     what + ", region " + std::to_string(i));
  }
}

TEST(FastPaths, RecognitionOnSeveralThreadsMatchesThePlainSearch) {
  std::mt19937 rng(17);
  for (const TSetting& setting : {kSettings[0], kSettings[1]}) {
    TCodeList base;
    CodesOf(rng, 25, setting, base);
    TAppState app;
    PrepareGenerated(app, rng, setting);
    AddEachTwice(app.CodeBase, base, [](int, int32_t i) { return "c" + std::to_string(i); });
    for (int threads : {1, 2, 3, 8}) {
      app.Threads = threads;
      app.BuildSceneNearestIndices();
      ASSERT_EQ(app.NearestIndices.size(), static_cast<size_t>(app.SceneCodes.Count()));
      ASSERT_NO_FATAL_FAILURE(
          ExpectThePlainSearchesNearest(app, std::to_string(threads) + " threads"));
    }
  }
}

// Regions of one shape at several places share their code and are compared with the
// base once: every region still gets the plain search's entry and distance.
TEST(FastPaths, RecognitionOfRepeatedShapesMatchesThePlainSearch) {
  std::mt19937 rng(19);
  const TPattern scene = testing::PatternFromRows({
      "#...##...#...##..#..",
      "..............#.....",
      "#...##..##.......#..",
      "........#.....##....",
      "#...#.........#..#..",
      "....##..#...........",
      "#.......##...##..#..",
  });
  for (const TSetting& setting : {kSettings[0], kSettings[1]}) {
    TCodeList base;
    CodesOf(rng, 25, setting, base);
    TAppState app;
    Prepare(app, scene, setting);
    app.BuildSceneCodes();
    for (int32_t i = 0; i < base.Count(); ++i)
      app.CodeBase.Add("c" + std::to_string(i), std::make_unique<TCode>(base.GetCode(i)));
    std::vector<TByteArray> images;
    for (int32_t i = 0; i < app.SceneCodes.Count(); ++i)
      images.push_back(app.SceneCodes.GetCode(i).SaveToBytes());
    std::sort(images.begin(), images.end());
    const auto distinct = std::unique(images.begin(), images.end()) - images.begin();
    ASSERT_LT(distinct + 8, app.SceneCodes.Count()) << "the scene repeats its shapes";
    ASSERT_GT(distinct, 3);
    for (int threads : {1, 2}) {
      app.Threads = threads;
      app.BuildSceneNearestIndices();
      ASSERT_NO_FATAL_FAILURE(ExpectThePlainSearchesNearest(app, "one code per shape"));
      // The runner-up lists too, worked out once per code.
      const TSceneRows rows = RecognitionRows(app, "scene", TLabelRule{0.0}, 3);
      ExpectTheFiguresOfTheState(rows, app);
      for (int32_t i = 0; i < app.SceneCodes.Count(); ++i) {
        const std::vector<TShapeMatch> own = NearestShapes(app, i, 3);
        // The runner-up shape kept by the recognition for the label rule.
        ASSERT_GE(own.size(), 2u);
        ExpectSameDouble(app.RunnerUpMeasures.at(static_cast<size_t>(i)), own[1].Distance,
                         "runner-up of region " + std::to_string(i));
        const std::vector<TShapeMatch>& shared = rows.Matches.at(static_cast<size_t>(i));
        ASSERT_EQ(shared.size(), own.size()) << "region " << i;
        for (size_t k = 0; k < own.size(); ++k) {
          EXPECT_EQ(shared[k].Entry, own[k].Entry) << "region " << i;
          ExpectSameDouble(shared[k].Distance, own[k].Distance, "region " + std::to_string(i));
        }
      }
    }
  }
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

// The runner-up list leaves an entry once it passes its shape's nearest; the list must
// be the one that sums every entry in full, to the bit, ties included.
TEST(FastPaths, RunnerUpListThatLeavesFarEntriesMatchesTheFullSums) {
  std::mt19937 rng(23);
  for (const TSetting& setting : {kSettings[0], kSettings[1]}) {
    TCodeBase base;
    BaseOfShapes(rng, 30, setting, 6, base);
    TAppState app;
    PrepareGenerated(app, rng, setting);
    for (int32_t i = 0; i < app.SceneCodes.Count(); ++i) {
      const TCode& probe = app.SceneCodes.GetCode(i);
      const auto full = FindNearestShapes(base, probe, 6, CodeDistance);
      const auto fast = FindNearestShapes(base, probe, 6);
      ASSERT_EQ(fast.size(), full.size());
      for (size_t k = 0; k < full.size(); ++k) {
        EXPECT_EQ(fast[k].Index, full[k].Index) << "region " << i << ", place " << k;
        ExpectSameDouble(fast[k].Distance, full[k].Distance, "region " + std::to_string(i));
      }
    }
  }
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

// The n-th of a run of generated scenes, built at the first two settings in turn.
struct TGeneratedScene {
  const TSetting& Setting;
  std::unique_ptr<TPattern> Owned;
  const TPattern& Scene = *Owned;
};

TGeneratedScene NextScene(std::mt19937& rng, int n) {
  return {kSettings[n % 2], GenerateScene(rng)};
}

// Build Trees spreads the regions over the worker pool; every number of threads must
// give the regions, trees and codes of one thread, in region order.
TEST(FastPaths, BuildTreesOnSeveralThreadsGivesTheCodesOfOne) {
  std::mt19937 rng(31);
  size_t regions = 0;
  for (int n = 0; n < 12; ++n) {
    const TGeneratedScene g = NextScene(rng, n);
    std::vector<TByteArray> expected;
    for (int threads : {1, 2, 3, 8}) {
      TAppState app;
      Prepare(app, g.Scene, g.Setting, threads);
      app.BuildSceneCodes();
      std::vector<TByteArray> codes;
      for (int32_t i = 0; i < app.SceneCodes.Count(); ++i)
        codes.push_back(app.SceneCodes.GetCode(i).SaveToBytes());
      if (threads == 1) {
        expected = codes;
        regions += codes.size();
      } else {
        EXPECT_EQ(codes, expected) << threads << " threads, scene " << n;
      }
    }
  }
  EXPECT_GT(regions, 24u);  // enough regions for the threads to share
}

// Each region's results handed out as they are made, from a state that released its
// scene once segmented, are those Build Trees keeps, whatever the threads.
TEST(FastPaths, StreamedResultsAreThoseBuildTreesKeeps) {
  std::mt19937 rng(47);
  int32_t regions = 0;
  for (int n = 0; n < 16; ++n) {
    const TGeneratedScene g = NextScene(rng, n);
    TAppState kept;
    Prepare(kept, g.Scene, g.Setting);
    kept.BuildSceneCodes();
    regions += kept.SceneCodes.Count();
    for (int threads : {1, 2, 8}) {
      TAppState streamed;
      Prepare(streamed, g.Scene, g.Setting, threads);
      streamed.SegmentScene();
      streamed.SceneImage.reset();
      ASSERT_EQ(streamed.Segments.Count(), kept.Segments.Count());
      std::vector<int> seen(static_cast<size_t>(kept.Segments.Count()), 0);
      std::vector<TByteArray> codes(seen.size()), roots(seen.size()), normalRoots(seen.size());
      std::mutex lock;
      streamed.StreamRegionResults([&](int32_t i, TRegionResults& made) {
        const std::lock_guard<std::mutex> guard(lock);
        ++seen[static_cast<size_t>(i)];
        codes[static_cast<size_t>(i)] = made.Code->SaveToBytes();
        roots[static_cast<size_t>(i)] = made.Tree->Data;
        normalRoots[static_cast<size_t>(i)] = made.NormalTree->Data;
      });
      EXPECT_EQ(seen, std::vector<int>(seen.size(), 1));
      for (int32_t i = 0; i < kept.Segments.Count(); ++i) {
        SCOPED_TRACE(::testing::Message() << "scene " << n << ", " << threads << " threads, region " << i);
        EXPECT_EQ(codes[static_cast<size_t>(i)], kept.SceneCodes.GetCode(i).SaveToBytes());
        EXPECT_EQ(roots[static_cast<size_t>(i)], kept.Trees.Items(i).Data);
        EXPECT_EQ(normalRoots[static_cast<size_t>(i)], kept.NormalTrees.Items(i).Data);
        EXPECT_EQ(streamed.Segments.Items(i).Pixels, kept.Segments.Items(i).Pixels);
      }
      EXPECT_EQ(streamed.Trees.Count(), 0);
      EXPECT_EQ(streamed.SceneCodes.Count(), 0);
      EXPECT_TRUE(streamed.QuadTree.Empty());
    }
  }
  EXPECT_GT(regions, 24);  // enough regions for the threads to share
  TAppState none;
  EXPECT_THROW(none.SegmentScene(), std::logic_error);
}

// ---- drawing ----

// The rotation by t radians, its columns the directions of the two axes.
TMatrix Turn(double t) {
  TMatrix r;
  r[0][0] = std::cos(t);
  r[0][1] = -std::sin(t);
  r[1][0] = std::sin(t);
  r[1][1] = std::cos(t);
  return r;
}

// An ellipse turned by t radians, its other fields as a new one's.
TEllipse AtTurn(double t) {
  TEllipse e;
  e.Rotation = Turn(t);
  return e;
}

// Outlines drawn from the points of a shape at its centre's fraction, shifted, are the
// plain outlines: for the ellipses of small regions (whose outlines pass through halves,
// where rounding turns) at whole-number and half-number places near and far, above the
// size the shifts are made for, and for random ellipses, each drawn twice (the second
// time from the kept shape).
TEST(FastPaths, OutlinesMatchThePlainRoutine) {
  auto path = [](const TEllipse& e, int32_t steps, bool plain) {
    testing::TestCanvas canvas(1, 1);
    if (plain)
      reference::DrawOutline(e, canvas, steps);
    else
      e.DrawOutline(canvas, steps, 2);
    return canvas.path;
  };
  auto expectSame = [&](const TEllipse& e, int32_t steps, const std::string& where) {
    const auto expected = path(e, steps, true);
    for (int k = 0; k < 2; ++k) {
      const auto drawn = path(e, steps, false);
      ASSERT_EQ(drawn.size(), expected.size()) << where;
      for (size_t i = 0; i < drawn.size(); ++i)
        ASSERT_TRUE(drawn[i].Point == expected[i].Point && drawn[i].Drawn == expected[i].Drawn)
            << where << " point " << i;
    }
  };
  const std::vector<std::vector<std::string>> shapes = {
      {"#"}, {"##"}, {"#.", ".#"}, {"##", "#."}, {"##", "##"}, {"###"}, {"#..", ".##"}};
  const int32_t places[] = {0, 1, -1, 7, 1000, -4097, 65535, (1 << 19) - 1, -(1 << 19) - 3,
                            (1 << 20) + 5, -(1 << 21)};
  for (size_t n = 0; n < shapes.size(); ++n)
    for (const int32_t x : places)
      for (const int32_t y : {0, 3, -1000, 1 << 19}) {
        TEllipse e;
        FitEllipse(testing::PatternFromRows(shapes[n], x, y), e);
        expectSame(e, 100, "shape " + std::to_string(n) + " at " + std::to_string(x) + ", " +
                               std::to_string(y));
      }
  std::mt19937 rng(41);
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  for (int n = 0; n < Cases(1000); ++n) {
    TEllipse e = AtTurn(real(0, 2 * std::numbers::pi));
    e.Axes = MakeVector(real(0.05, n % 10 == 0 ? 3000 : 30), real(0.05, 20));
    const bool whole = n % 3 == 0;
    const double cx = real(-5000, 5000), cy = real(-5000, 5000);
    e.Center = MakeVector(whole ? std::round(cx * 2) / 2 : cx, whole ? std::round(cy) : cy);
    e.Exponent = n % 7 == 0 ? real(0.5, 4) : 2.0;
    const int32_t steps = n % 5 == 0 ? 2 + static_cast<int32_t>(rng() % 20) : 100;
    expectSame(e, steps, "ellipse " + std::to_string(n));
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// Outlines kept for a shape serve shapes alike but for the last bits: a coordinate that
// lies near a half in one of them and on the other side of it in the next must still
// round as the plain routine rounds it. Here the first point's x is put just beside a
// half, at distances from far below to far above what the kept outlines allow for, and
// the ellipses come in pairs on either side of the half, at other whole-number places.
TEST(FastPaths, OutlinesOfShapesOnEitherSideOfAHalfMatchThePlainRoutine) {
  std::mt19937 rng(43);
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto path = [](const TEllipse& e, bool plain) {
    testing::TestCanvas canvas(1, 1);
    if (plain)
      reference::DrawOutline(e, canvas, 100);
    else
      e.DrawOutline(canvas, 100, 2);
    return canvas.path;
  };
  int crossings = 0;
  for (int n = 0; n < Cases(400); ++n) {
    TEllipse e = AtTurn(real(0, 2 * std::numbers::pi));
    e.Axes = MakeVector(real(0.3, 6), real(0.3, 4));
    e.Exponent = 2;
    const double gap = std::ldexp(1.0, -20 - static_cast<int>(rng() % 30));  // 2^-20 .. 2^-49
    const Real start = (Real(0) + e.Rotation[0][0] * e.Axes[0]) + e.Rotation[0][1] * Real(0);
    const double fraction = real(0, 1);  // of y, the same at every place
    int previous = 0;
    for (int side = 0; side < 4; ++side) {
      // x of the first point = start + centre = a whole number + 1/2 +- gap.
      const Real place = Real(static_cast<int>(rng() % 2000) - 1000);
      e.Center = MakeVector(place + Real(0.5) + Real(side % 2 ? -gap : gap) - start,
                            Real(static_cast<int>(rng() % 2000) - 1000) + Real(fraction));
      const auto expected = path(e, true), drawn = path(e, false);
      ASSERT_EQ(drawn.size(), expected.size());
      for (size_t i = 0; i < drawn.size(); ++i)
        ASSERT_EQ(drawn[i].Point, expected[i].Point) << "ellipse " << n << " side " << side
                                                     << " gap " << gap << " point " << i;
      const int rounded = expected[0].Point.X - static_cast<int>(place);
      crossings += side > 0 && rounded != previous;
      previous = rounded;
    }
  }
  EXPECT_GT(crossings, Cases(400));  // the first point really rounded to both sides
}

// The filled view's grid fill sets the pixels of the plain fill, for ellipses inside,
// across and outside the surface, thin, turned, of other exponents and damaged.
TEST(FastPaths, FilledEllipsesMatchThePlainFill) {
  std::mt19937 rng(42);
  auto real = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  for (int n = 0; n < Cases(600); ++n) {
    TEllipse e = AtTurn(real(0, 2 * std::numbers::pi));
    e.Axes = MakeVector(real(0.01, n % 4 == 0 ? 60 : 8), real(0.01, 8));
    e.Center = MakeVector(real(-20, 80), real(-20, 70));
    e.Exponent = n % 5 == 0 ? real(0.5, 4) : 2.0;
    if (n % 50 == 7) e.Axes[1] = std::numeric_limits<double>::quiet_NaN();
    e.Color = 0x00102030;
    testing::TestCanvas plain(64, 48), grid(64, 48);
    e.Fill(plain);
    FillEllipse(e, grid);
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x)
        ASSERT_EQ(grid.GetPixel(x, y), plain.GetPixel(x, y)) << "ellipse " << n << " at " << x << ", " << y;
  }
}

// A region large enough for its halves to be built on threads of their own, with
// noise around it: the same trees as on one thread.
// A large ellipse, whose halves take a helper thread, among thousands of specks.
std::unique_ptr<TPattern> EllipseAmongSpecks() {
  auto scene = std::make_unique<TPattern>(TRect{0, 0, 799, 699}, clWhite);
  scene->Clear();
  std::mt19937 rng(32);
  for (int32_t y = 0; y < 700; ++y)
    for (int32_t x = 0; x < 800; ++x) {
      const double u = (x - 400) / 380.0, v = (y - 350) / 300.0;
      if (u * u + v * v <= 1 || rng() % 8 == 0) scene->SetPixel(x, y, kColors[rng() % 3]);
    }
  return scene;
}

TEST(FastPaths, LargeRegionsSplitOnSeveralThreadsGiveTheTreesOfOne) {
  const auto scene = EllipseAmongSpecks();
  ASSERT_GE(800 * 700 / 2, ParallelHalvesPixels);
  std::vector<TByteArray> expected;
  for (int threads : {1, 2, 4}) {
    TAppState app;
    Prepare(app, *scene, {4, 0.0}, threads);
    app.BuildSceneCodes();
    std::vector<TByteArray> trees;
    for (int32_t i = 0; i < app.Trees.Count(); ++i) {
      TByteArray bytes;
      std::vector<const TByteArray*> data;
      app.Trees.Items(i).CollectData(data);
      for (const TByteArray* d : data) bytes.insert(bytes.end(), d->begin(), d->end());
      trees.push_back(bytes);
      trees.push_back(app.SceneCodes.GetCode(i).SaveToBytes());
    }
    if (threads == 1)
      expected = trees;
    else
      EXPECT_EQ(trees, expected) << threads << " threads";
  }
  EXPECT_GT(expected.size(), 2u);
}

// While the ellipse's halves hold the spare threads, the specks wait to be started:
// every region still comes once with the code of one thread, and a sink that throws at
// a speck after the ellipse ends the run with its exception (no thread is left waiting).
TEST(FastPaths, RegionsWaitingForALargeRegionsHalvesComeOnceAndStopOnAFailure) {
  const auto scene = EllipseAmongSpecks();
  const auto stream = [&](int threads, const TRegionSink& sink) {
    TAppState app;
    Prepare(app, *scene, {3, 0.0}, threads);
    app.SegmentScene();
    app.StreamRegionResults(sink);
    return app.Segments.Count();
  };
  TPatternList regions;
  SegmentPattern(*scene, regions);
  int32_t large = 0;  // the ellipse: the region of the largest box
  for (int32_t i = 1; i < regions.Count(); ++i)
    if (regions.Items(i).Width() * regions.Items(i).Height() >
        regions.Items(large).Width() * regions.Items(large).Height())
      large = i;
  ASSERT_GE(int64_t{regions.Items(large).Width()} * regions.Items(large).Height(), ParallelHalvesPixels);
  std::vector<TByteArray> one(static_cast<size_t>(regions.Count()));
  std::mutex lock;
  const int32_t count = stream(1, [&](int32_t i, TRegionResults& made) {
    one[static_cast<size_t>(i)] = made.Code->SaveToBytes();
  });
  ASSERT_EQ(count, regions.Count());
  ASSERT_GT(count, large + 1000);  // specks after the ellipse, to wait for its halves
  for (int threads : {2, 4}) {
    std::vector<TByteArray> codes(static_cast<size_t>(count));
    std::vector<int> seen(static_cast<size_t>(count), 0);
    stream(threads, [&](int32_t i, TRegionResults& made) {
      const std::lock_guard<std::mutex> guard(lock);
      ++seen[static_cast<size_t>(i)];
      codes[static_cast<size_t>(i)] = made.Code->SaveToBytes();
    });
    EXPECT_EQ(seen, std::vector<int>(seen.size(), 1)) << threads << " threads";
    EXPECT_EQ(codes, one) << threads << " threads";
    const int32_t failing = large + 500;
    EXPECT_THROW(stream(threads,
                        [&](int32_t i, TRegionResults&) {
                          if (i == failing) throw std::runtime_error("the sink failed");
                        }),
                 std::runtime_error)
        << threads << " threads";
  }
}

// An indexed scene of random size, rows padded past the width, its indices drawn for
// `kind`: one index stands for white (most palettes), several do, or none.
enum class TGround { One, Several, None };
TIndexedScene RandomIndexedScene(std::mt19937& rng, TGround kind) {
  TIndexedScene scene;
  scene.Width = static_cast<int32_t>(rng() % 150) + 1;
  scene.Height = static_cast<int32_t>(rng() % 40) + 1;
  scene.Stride = scene.Width + static_cast<ptrdiff_t>(rng() % 4);
  for (size_t i = 0; i < 256; ++i) scene.Colours[i] = kColors[i % 3];
  const uint8_t white = static_cast<uint8_t>(rng() % 256);
  if (kind != TGround::None) scene.Colours[white] = clWhite;
  if (kind == TGround::Several)
    for (int k = 0; k < 5; ++k) scene.Colours[rng() % 256] = clWhite;
  std::vector<uint8_t> bits(static_cast<size_t>(scene.Stride) * static_cast<size_t>(scene.Height));
  const unsigned ground = 1 + rng() % 3;  // 1 in 2 to 1 in 4 pixels of any index, the rest white's
  for (uint8_t& b : bits) b = rng() % (ground + 1) != 0 ? white : static_cast<uint8_t>(rng() % 256);
  auto owner = std::make_shared<std::vector<uint8_t>>(std::move(bits));
  scene.Bits = std::shared_ptr<const uint8_t>(owner, owner->data());
  return scene;
}

// The scene pattern of the same pixels, as the program widens a picture's indices.
TPattern WidenedScene(const TIndexedScene& scene) {
  TPattern pattern(TRect{0, 0, scene.Width - 1, scene.Height - 1}, clWhite);
  for (int32_t y = 0; y < scene.Height; ++y)
    for (int32_t x = 0; x < scene.Width; ++x)
      pattern.SetPixel(x, y, scene.Colours[scene.Bits.get()[y * scene.Stride + x]]);
  return pattern;
}

// Segmented from its 8-bit indices, a scene gives the regions of its scene pattern, to
// the bit: whichever indices stand for the background, across words of 64 pixels and
// bands of rows, with the padding past each row's width never read as pixels.
TEST(FastPaths, IndexedScenesGiveTheRegionsOfTheirScenePatterns) {
  std::mt19937 rng(41);
  const TRunParts backwards = [](int32_t count, const std::function<void(int32_t)>& part) {
    for (int32_t k = count - 1; k >= 0; --k) part(k);
  };
  int regions = 0;
  for (int n = 0; n < Cases(600); ++n) {
    const auto ground = static_cast<TGround>(n % 3);
    TIndexedScene scene = RandomIndexedScene(rng, ground);
    const std::string where = "scene " + std::to_string(n) + ", ground " + std::to_string(n % 3);
    const TPattern widened = WidenedScene(scene);
    TPatternList fromPattern, fromIndices, inBands;
    SegmentPattern(widened, fromPattern);
    SegmentIndexed(scene, fromIndices);
    // After what a list holds already, and so the counts after theirs.
    inBands.Add(std::make_unique<TPattern>(TRect{0, 0, 0, 0}, clWhite));
    std::vector<int64_t> pixels{-1};
    SegmentIndexed(scene, inBands, backwards, &pixels);
    const TPattern* held = &inBands.Items(0);
    inBands.RemoveWhere([&](const TPattern& r) { return &r == held; });
    ASSERT_EQ(pixels.size(), static_cast<size_t>(inBands.Count()) + 1) << where;
    EXPECT_EQ(pixels[0], -1) << where;
    ASSERT_EQ(fromIndices.Count(), fromPattern.Count()) << where;
    ASSERT_EQ(inBands.Count(), fromPattern.Count()) << where << " in bands";
    for (int32_t i = 0; i < fromPattern.Count(); ++i) {
      ExpectSamePattern(fromIndices.Items(i), fromPattern.Items(i), where);
      ExpectSamePattern(inBands.Items(i), fromPattern.Items(i), where + " in bands");
      EXPECT_EQ(pixels[static_cast<size_t>(i) + 1], fromPattern.Items(i).InsideCount()) << where;
    }
    if (ground == TGround::None) {
      EXPECT_EQ(fromIndices.Count(), 1) << where;  // every pixel inside
    }
    regions += fromPattern.Count();
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(regions, Cases(6000));
}

// Each band numbers its runs from the most runs the rows above it can hold: rows with a
// run on every other pixel (odd widths hold one more run than half their width) fill
// every band's numbers to the last, and a band that overran its numbers would write
// into the next band's. Stripes (each column of runs a region) and a checkerboard (one
// region, joined at the corners across every band edge), in bands taken last to first.
TEST(FastPaths, BandsOfRowsFullOfRunsGiveTheRegionsOfOne) {
  const TRunParts lastFirst = [](int32_t count, const std::function<void(int32_t)>& part) {
    for (int32_t k = count - 1; k >= 0; --k) part(k);
  };
  for (int32_t width : {1, 2, 3, 7, 8, 65}) {
    for (int32_t height : {2, 17, 40}) {
      for (const bool checkerboard : {false, true}) {
        TPattern scene(TRect{0, 0, width - 1, height - 1}, clWhite);
        scene.Clear();
        for (int32_t y = 0; y < height; ++y)
          for (int32_t x = checkerboard ? y % 2 : 0; x < width; x += 2) scene.SetPixel(x, y, clBlack);
        const std::string where = std::to_string(width) + " x " + std::to_string(height) +
                                  (checkerboard ? ", checkerboard" : ", stripes");
        TPatternList one, banded;
        std::vector<int64_t> onePixels, bandedPixels;
        SegmentPattern(scene, one, {}, &onePixels);
        SegmentPattern(scene, banded, lastFirst, &bandedPixels);
        // A checkerboard one pixel wide is a pixel every other row, each a region.
        const int32_t expected = !checkerboard ? (width + 1) / 2 : width > 1 ? 1 : (height + 1) / 2;
        ASSERT_EQ(one.Count(), expected) << where;
        ASSERT_EQ(banded.Count(), expected) << where;
        EXPECT_EQ(bandedPixels, onePixels) << where;
        for (int32_t i = 0; i < expected; ++i) ExpectSamePattern(banded.Items(i), one.Items(i), where);
      }
    }
  }
}

// A scene large enough to be segmented in bands on several threads: noise, and shapes
// that cross the bands' edges; the same regions as on one thread, and from
// the scene's indices.
TEST(FastPaths, LargeScenesSegmentedOnSeveralThreadsGiveTheRegionsOfOne) {
  const int32_t width = 1100, height = 1000;
  ASSERT_GE(int64_t{width} * height, ParallelSegmentPixels);
  auto scene = std::make_unique<TPattern>(TRect{0, 0, width - 1, height - 1}, clWhite);
  scene->Clear();
  std::mt19937 rng(34);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const bool band = std::abs((x - y) % 97) < 3;  // diagonal stripes through every band
      if (band || rng() % 4 == 0) scene->SetPixel(x, y, kColors[rng() % 3]);
    }
  TAppState one, two;
  for (TAppState* app : {&one, &two}) {
    app->SceneImage = std::make_unique<TPattern>(*scene);
    app->MaxTreeLevel = 0;
    app->Threads = app == &one ? 1 : 2;
    app->BuildSceneCodes();
  }
  // The same scene as indices (0 white, k + 1 colour k), segmented on two threads.
  TIndexedScene indexed;
  indexed.Width = width;
  indexed.Height = height;
  indexed.Stride = width;
  indexed.Colours[0] = clWhite;
  for (size_t k = 0; k < 3; ++k) indexed.Colours[k + 1] = kColors[k];
  auto bits = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(width) * height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      (*bits)[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(
          std::find(indexed.Colours.begin(), indexed.Colours.begin() + 4, scene->GetPixel(x, y)) -
          indexed.Colours.begin());
  indexed.Bits = std::shared_ptr<const uint8_t>(bits, bits->data());
  TAppState fromIndices;
  fromIndices.SceneIndices = std::make_unique<TIndexedScene>(indexed);
  fromIndices.Threads = 2;
  fromIndices.SegmentScene();
  // No pattern to read the quadtree's cells from: an error, and no analysis left over.
  EXPECT_THROW(fromIndices.BuildSceneCodes(), std::logic_error);
  EXPECT_EQ(fromIndices.Segments.Count(), 0);
  fromIndices.SegmentScene();
  for (TAppState* app : {&two, &fromIndices}) {
    ASSERT_EQ(app->Segments.Count(), one.Segments.Count());
    for (int32_t i = 0; i < one.Segments.Count(); ++i)
      ExpectSamePattern(app->Segments.Items(i), one.Segments.Items(i), "region " + std::to_string(i));
    EXPECT_EQ(app->BackgroundMisfit, one.BackgroundMisfit);
  }
  EXPECT_GT(one.Segments.Count(), 4096);  // enough for the keys to be sorted in two halves
}

// Recognition streamed region by region gives the rows of the whole analysis to the
// byte, runners-up and withheld labels included, on any number of threads, and keeps
// no picture, tree or code.
TEST(FastPaths, StreamedRecognitionGivesTheRowsOfTheWholeAnalysis) {
  std::mt19937 rng(53);
  for (const TSetting& setting : {kSettings[0], kSettings[1]}) {
    TCodeBase base;
    BaseOfShapes(rng, 12, setting, 5, base);
    base.MaxLevel = setting.MaxLevel;
    base.AdmissibleError = setting.Error;
    for (int n = 0; n < 6; ++n) {
      const std::unique_ptr<TPattern> scene = GenerateScene(rng);
      TAppState whole;
      Prepare(whole, *scene, setting, 1);
      RecognizeScene(whole, base);
      for (const int32_t top : {1, 3}) {
        std::ostringstream expected;
        WriteRecognitionCsv(expected, {RecognitionRows(whole, "x", TLabelRule{40.0}, top)}, top);
        for (int threads : {1, 2, 8}) {
          TAppState streamed;
          Prepare(streamed, *scene, setting, threads);
          std::ostringstream got;
          const TSceneRows rows = StreamRecognitionRows(streamed, base, "x", TLabelRule{40.0}, top);
          WriteRecognitionCsv(got, {rows}, top);
          ExpectTheFiguresOfTheState(rows, whole);
          EXPECT_EQ(got.str(), expected.str()) << "scene " << n << ", top " << top << ", " << threads << " threads";
          EXPECT_EQ(rows.Known + rows.Unknown, whole.SceneCodes.Count());
          EXPECT_EQ(streamed.SceneImage, nullptr);
          EXPECT_EQ(streamed.Trees.Count() + streamed.SceneCodes.Count(), 0);
          // The rows give the state back its nearest entries, for the picture.
          KeepNearestIndices(rows, streamed);
          ExpectTheNearestOfTheState(streamed, whole, "kept from the rows");
        }
      }
    }
  }
}

// Both canvases hold the same pixels and outlines.
void ExpectSameDrawing(const testing::TestCanvas& got, const testing::TestCanvas& want,
                       const std::string& where) {
  const TRect clip = want.ClipRect();
  for (int32_t y = clip.Top; y < clip.Bottom; ++y)
    for (int32_t x = clip.Left; x < clip.Right; ++x)
      ASSERT_EQ(got.GetPixel(x, y), want.GetPixel(x, y)) << where << " at " << x << ", " << y;
  ASSERT_EQ(got.path.size(), want.path.size()) << where;
  for (size_t k = 0; k < want.path.size(); ++k)
    ASSERT_TRUE(got.path[k].Point == want.path[k].Point && got.path[k].Drawn == want.path[k].Drawn)
        << where << ", outline point " << k;
}

// The Representation view drawn as the trees are made, and the Recognition view's
// nearest entries found region by region, are those of the whole analysis, on any
// number of threads (the trees made out of turn wait for theirs), and the state keeps
// no picture, tree or code.
TEST(FastPaths, ViewsStreamedRegionByRegionDrawTheWholeAnalysis) {
  std::mt19937 rng(59);
  for (const TSetting& setting : {kSettings[1], kSettings[3]}) {
    TCodeBase base;
    BaseOfShapes(rng, 12, setting, 5, base);
    for (int n = 0; n < 5; ++n) {
      const std::unique_ptr<TPattern> scene = GenerateScene(rng);
      TAppState whole;
      Prepare(whole, *scene, setting, 1);
      whole.SharedBase = &base;
      whole.BuildSceneCodes();
      whole.BuildSceneNearestIndices();
      for (const bool fill : {true, false}) {
        whole.FillEllipses = fill;
        whole.MaxViewLevel = setting.MaxLevel;
        testing::TestCanvas expected(64, 64);
        DrawView(TView::Representation, whole, expected);
        for (int threads : {1, 2, 8}) {
          const std::string where = "scene " + std::to_string(n) + (fill ? ", filled, " : ", outlined, ") +
                                    std::to_string(threads) + " threads";
          TAppState streamed;
          Prepare(streamed, *scene, setting, threads);
          streamed.FillEllipses = fill;
          streamed.MaxViewLevel = setting.MaxLevel;
          streamed.SegmentScene();
          testing::TestCanvas got(64, 64, 0x00123456);  // cleared first
          StreamRepresentationView(streamed, got);
          ExpectSameDrawing(got, expected, where);
          EXPECT_EQ(streamed.Trees.Count() + streamed.NormalTrees.Count() + streamed.SceneCodes.Count(), 0)
              << where;
        }
      }
      for (int threads : {1, 2, 8}) {
        const std::string where = "streamed, " + std::to_string(threads) + " threads";
        TAppState streamed;
        Prepare(streamed, *scene, setting, threads);
        streamed.SharedBase = &base;
        streamed.Labels = TLabelRule{};  // the rule reads the runners-up
        StreamNearestIndices(streamed);
        ExpectTheNearestOfTheState(streamed, whole, where);
        EXPECT_EQ(streamed.SceneImage, nullptr);
        EXPECT_EQ(streamed.Trees.Count() + streamed.SceneCodes.Count(), 0);
        // Without a rule the runners-up are not kept, and the labels are the same.
        TAppState unruled;
        Prepare(unruled, *scene, setting, threads);
        unruled.SharedBase = &base;
        StreamNearestIndices(unruled);
        EXPECT_EQ(unruled.NearestIndices, whole.NearestIndices) << where;
        EXPECT_TRUE(unruled.RunnerUpMeasures.empty()) << where;
        for (int32_t i = 0; i < unruled.Segments.Count(); ++i)
          EXPECT_EQ(RegionLabel(unruled, i), ShapeOfEntry(base.Names(whole.NearestIndices[static_cast<size_t>(i)])))
              << where;
      }
    }
  }
}

}  // namespace
}  // namespace ormax
