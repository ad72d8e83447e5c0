#include "app/AppState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "app/MethodSettings.h"

#include "tests/Rasters.h"

namespace ormax {
namespace {

using testing::PatternFromRows;

// The one check of the method settings: the ends of the range are taken, and a refusal
// names the setting, the range and the value.
TEST(MethodSettings, TakeTheirRangeAndRefuseOutsideItSayingWhy) {
  EXPECT_EQ(CheckedTreeLevel(0, "level"), 0);
  EXPECT_EQ(CheckedTreeLevel(30, "level"), 30);
  for (const int64_t wrong : {int64_t{-1}, int64_t{31}, int64_t{1} << 40}) {
    try {
      CheckedTreeLevel(wrong, "--level");
      ADD_FAILURE() << wrong << " was taken";
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()),
                "--level takes a whole number from 0 to 30, not '" + std::to_string(wrong) + "'");
    }
  }
  EXPECT_EQ(CheckedAdmissibleError(-0.25, "error"), -0.25);
  EXPECT_EQ(CheckedAdmissibleError(1e300, "error"), 1e300);
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& [wrong, text] : {std::pair{inf, "inf"}, std::pair{-inf, "-inf"},
                                    std::pair{std::nan(""), "nan"}}) {
    try {
      CheckedAdmissibleError(wrong, "error");
      ADD_FAILURE() << text << " was taken";
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), std::string("error takes a number, not '") + text + "'");
    }
  }
}

TEST(AppState, StartsEmptyWithTheDefaults) {
  TAppState s;
  EXPECT_EQ(s.SceneImage, nullptr);
  EXPECT_TRUE(s.QuadTree.Empty());
  EXPECT_EQ(s.Segments.Count(), 0);
  EXPECT_EQ(s.Trees.Count(), 0);
  EXPECT_EQ(s.NormalTrees.Count(), 0);
  EXPECT_EQ(s.SceneCodes.Count(), 0);
  EXPECT_TRUE(s.NearestIndices.empty());
  EXPECT_TRUE(s.NearestMeasures.empty());
  EXPECT_TRUE(s.CodeBase.Empty());
  EXPECT_EQ(s.AdmissibleError, 0.0);
  EXPECT_EQ(s.MaxTreeLevel, 0);
  EXPECT_EQ(s.MaxViewLevel, 0);
  EXPECT_TRUE(s.FillEllipses);
  EXPECT_FALSE(s.ShowSameness);
}

TEST(AppState, BuildFillsOneTreeAndCodePerRegionAndResetEmptiesThem) {
  TAppState s;
  EXPECT_THROW(s.BuildSceneCodes(), std::logic_error);
  s.SceneImage = std::make_unique<TPattern>(PatternFromRows({"##....", "##..#.", "....##"}));
  s.AdmissibleError = 0.25;
  s.MaxTreeLevel = 2;
  s.CodeBase.Add("kept", std::make_unique<TCode>());
  s.BuildSceneCodes();
  ASSERT_EQ(s.Segments.Count(), 2);
  EXPECT_EQ(s.Trees.Count(), 2);
  EXPECT_EQ(s.NormalTrees.Count(), 2);
  ASSERT_EQ(s.SceneCodes.Count(), 2);
  EXPECT_EQ(s.SceneCodes.GetCode(1).AdmissibleError, 0.25);
  EXPECT_EQ(s.SceneCodes.GetCode(1).MaxLevel, 2);
  EXPECT_GT(s.QuadTree.Leaves(), 1);
  // The code is made from the normalised copy, not from the scene-coordinate tree.
  EXPECT_EQ(s.SceneCodes.GetCode(0).Items[0].Data, s.NormalTrees.Items(0).Data);
  EXPECT_NE(s.Trees.Items(0).Data, s.NormalTrees.Items(0).Data);

  s.BuildSceneNearestIndices();
  EXPECT_EQ(s.NearestIndices, (std::vector<int32_t>{0, 0}));

  s.ResetAnalysis();
  EXPECT_TRUE(s.QuadTree.Empty());
  EXPECT_EQ(s.Segments.Count(), 0);
  EXPECT_EQ(s.SceneCodes.Count(), 0);
  EXPECT_TRUE(s.NearestIndices.empty());
  EXPECT_TRUE(s.NearestMeasures.empty());
  EXPECT_NE(s.SceneImage, nullptr);
  EXPECT_EQ(s.CodeBase.Count(), 1);
  EXPECT_EQ(s.MaxTreeLevel, 2);

  s.CodeBase.Clear();
  EXPECT_THROW(s.BuildSceneNearestIndices(), std::logic_error);
}

TEST(AppState, AWhiteSceneHasAQuadtreeButNoRegions) {
  TAppState s;
  s.SceneImage = std::make_unique<TPattern>(PatternFromRows({"...", "..."}));
  s.BuildSceneCodes();
  EXPECT_EQ(s.Segments.Count(), 0);
  EXPECT_EQ(s.SceneCodes.Count(), 0);
  EXPECT_EQ(s.QuadTree.Cells(), 1);  // one white leaf
  EXPECT_EQ(s.QuadTree.Leaves(), 1);
}

}  // namespace
}  // namespace ormax
