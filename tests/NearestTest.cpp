#include "analysis/Nearest.h"

#include <gtest/gtest.h>

#include <memory>

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
    const int32_t nearest = FindNearest(base, probe, ByLevel, best);
    const auto first = FindNearestShapes(base, probe, 1, ByLevel);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].Index, nearest) << "level " << level;
    EXPECT_EQ(first[0].Distance, best);
  }
}

}  // namespace
}  // namespace ormax
