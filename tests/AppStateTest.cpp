#include "shell/AppState.h"

#include <gtest/gtest.h>

#include "tests/Rasters.h"

namespace ormax {
namespace {

using testing::PatternFromRows;

TEST(AppState, StartsEmptyWithTheDefaults) {
  TAppState s;
  EXPECT_EQ(s.SceneImage, nullptr);
  EXPECT_TRUE(s.QuadTree.Data.empty());
  EXPECT_TRUE(s.QuadTree.Children.empty());
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
  EXPECT_FALSE(s.QuadTree.Children.empty());
  // The code is made from the normalised copy, not from the scene-coordinate tree.
  EXPECT_EQ(s.SceneCodes.GetCode(0).Items[0].Data, s.NormalTrees.Items(0).Data);
  EXPECT_NE(s.Trees.Items(0).Data, s.NormalTrees.Items(0).Data);

  s.BuildSceneNearestIndices();
  EXPECT_EQ(s.NearestIndices, (std::vector<int32_t>{0, 0}));

  s.ResetAnalysis();
  EXPECT_TRUE(s.QuadTree.Children.empty());
  EXPECT_TRUE(s.QuadTree.Data.empty());
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
  EXPECT_EQ(s.QuadTree.Data.size(), 20u);
}

TEST(FormatGeneral, ExamplesOfTheShell) {
  EXPECT_EQ(FormatGeneral(0, 4), "0");
  EXPECT_EQ(FormatGeneral(87.5, 3), "87.5");
  EXPECT_EQ(FormatGeneral(99.96, 3), "100");
  EXPECT_EQ(FormatGeneral(1.0L / 3, 7), "0.3333333");
  EXPECT_EQ(FormatGeneral(0.00001, 4), "1E-5");
  EXPECT_EQ(FormatGeneral(12345, 4), "1.235E4");
  EXPECT_EQ(FormatGeneral(0.05, 4), "0.05");
  EXPECT_EQ(FormatGeneral(12.5, 4), "12.5");
  EXPECT_EQ(FormatGeneral(123.456, 4), "123.5");
  EXPECT_EQ(FormatGeneral(0.000123, 4), "0.000123");
  EXPECT_EQ(FormatGeneral((1 - 0.0004L) * 100, 3), "100");
  EXPECT_EQ(FormatGeneral((1 - 0.125L) * 100, 3), "87.5");
}

TEST(FormatGeneral, NotationBoundariesSignsAndSeparators) {
  EXPECT_EQ(FormatGeneral(0.0001, 4), "0.0001");  // exponent -3: still fixed
  EXPECT_EQ(FormatGeneral(0.00001234, 4), "1.234E-5");
  EXPECT_EQ(FormatGeneral(1234, 4), "1234");
  EXPECT_EQ(FormatGeneral(12340, 4), "1.234E4");
  EXPECT_EQ(FormatGeneral(100, 3), "100");
  EXPECT_EQ(FormatGeneral(1000, 3), "1E3");
  EXPECT_EQ(FormatGeneral(9999.5, 4), "1E4");  // rounding carries into a new digit
  EXPECT_EQ(FormatGeneral(0.125, 2), "0.13");  // half up, not half to even
  EXPECT_EQ(FormatGeneral(2.5, 1), "3");
  EXPECT_EQ(FormatGeneral(-0.05, 4), "-0.05");
  EXPECT_EQ(FormatGeneral(-12345, 4), "-1.235E4");
  EXPECT_EQ(FormatGeneral(0.05, 4, ','), "0,05");
  EXPECT_EQ(FormatGeneral(1.5e-7, 7, ','), "1,5E-7");
  EXPECT_EQ(FormatGeneral(1e20, 7), "1E20");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::infinity(), 4), "INF");
}

}  // namespace
}  // namespace ormax
