// The counts of evaluate and the accuracy benchmark: accuracy, confusions, spreads and
// the threshold that leaves no wrong label.
#include "app/Evaluation.h"

#include <gtest/gtest.h>

namespace ormax {
namespace {

TEST(Evaluation, CountsSpreadsAndTheThresholdAboveTheWorstWrongAnswer) {
  const TEvaluation e = Evaluate({{"star", "star", 90},
                                  {"star", "star", 60},
                                  {"star", "cross", 55.55},
                                  {"ring", "ring", 80},
                                  {"ring", "circle", 40},
                                  {"ring", "circle", 50},
                                  {"cross", "cross", 55.6}});
  EXPECT_EQ(e.Answers, 7);
  EXPECT_EQ(e.Right, 4);
  EXPECT_DOUBLE_EQ(e.Accuracy(), 4.0 / 7);
  EXPECT_EQ(e.PerShape.at("star").Right, 2);
  EXPECT_EQ(e.PerShape.at("star").Total, 3);
  EXPECT_EQ(e.PerShape.at("ring").Total, 3);
  const auto common = e.CommonConfusions();
  ASSERT_EQ(common.size(), 2u);
  EXPECT_EQ(common[0].first, (std::pair<std::string, std::string>{"ring", "circle"}));
  EXPECT_EQ(common[0].second, 2);
  // Right: 55.6 60 80 90 (an even count: the median is between the middle two).
  EXPECT_DOUBLE_EQ(e.RightSpread.Min, 55.6);
  EXPECT_DOUBLE_EQ(e.RightSpread.Median, 70);
  EXPECT_DOUBLE_EQ(e.RightSpread.Max, 90);
  EXPECT_DOUBLE_EQ(e.WrongSpread.Median, 50);
  // The worst wrong answer is 55.55: 55.6 is the lowest tenth above it, and the right
  // answer at exactly 55.6 stays labelled (a label needs sameness >= threshold).
  EXPECT_DOUBLE_EQ(e.MinSameness, 55.6);
  EXPECT_DOUBLE_EQ(e.UnknownRightShare, 0.0);
}

TEST(Evaluation, ThresholdsAndEmptyLists) {
  EXPECT_DOUBLE_EQ(ThresholdAbove(70), 70.1);  // at the threshold a wrong one would stay
  EXPECT_DOUBLE_EQ(ThresholdAbove(69.99), 70);
  const TEvaluation none = Evaluate({});
  EXPECT_EQ(none.Answers, 0);
  EXPECT_EQ(none.Accuracy(), 0);
  EXPECT_EQ(none.RightSpread.Count, 0);
  const TEvaluation allRight = Evaluate({{"a", "a", 10}, {"a", "a", 20}});
  EXPECT_EQ(allRight.MinSameness, 0);  // nothing to leave out
  const TEvaluation costly = Evaluate({{"a", "a", 10}, {"a", "a", 80}, {"a", "b", 50}});
  EXPECT_DOUBLE_EQ(costly.MinSameness, 50.1);
  EXPECT_DOUBLE_EQ(costly.UnknownRightShare, 0.5);  // the right answer at 10 goes
}

TEST(Evaluation, RandomMovesAreSeededAndWithinTheirRanges) {
  TRandom a{42}, b{42}, c{43};
  const auto first = RandomMoves(200, a);
  const auto again = RandomMoves(200, b);
  const auto other = RandomMoves(200, c);
  ASSERT_EQ(first.size(), 200u);
  int differ = 0;
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].Degrees, again[i].Degrees);
    EXPECT_EQ(first[i].ShiftY, again[i].ShiftY);
    differ += first[i].Degrees != other[i].Degrees;
    EXPECT_GE(first[i].Degrees, 0);
    EXPECT_LT(first[i].Degrees, 360);
    EXPECT_GE(first[i].Scale, 0.5);
    EXPECT_LE(first[i].Scale, 2);
    EXPECT_GE(first[i].ShiftX, -0.5);
    EXPECT_LT(first[i].ShiftX, 0.5);
    EXPECT_FALSE(first[i].Mirror);
  }
  EXPECT_EQ(differ, 200);
}

}  // namespace
}  // namespace ormax
