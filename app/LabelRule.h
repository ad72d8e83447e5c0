// LabelRule: when a region's nearest shape becomes its label and when the answer is
// withheld ("unknown"). A low sameness alone does not make an answer doubtful: small
// shapes are far from every entry, pixels being coarse, yet far nearer to their own
// shape than to any other. What makes it doubtful is another shape almost as near.
//   TLabelRule        a threshold asked for, or the default rule
//   IsLabelled        whether the rule gives the nearest shape as the label
//   LabelRuleHelp     the default rule in words, for the front ends' help
//   LabelsSummary     which regions a choice labels, in one line (none: every region)
// The default rule: labelled when the sameness is at least DoubtfulBelow, or, for a
// region of at least SmallestByMargin pixels, at least LowestLabelled with the runner-up
// shape at least ClearMargin points behind. Chosen on shapes drawn apart from the base
// (make accuracy: the sample shapes at 300 to 6000 pixels, pictures as people have them,
// and glyphs of typefaces the base does not hold): no wrong label in any, while a pure
// threshold needs 79 for that and withholds half the right answers on glyphs. A tiny
// region is pixel noise enough to look like another shape: an ellipse of 334 pixels
// was taken for a rectangle at 77.6 % with the ellipse 26.8 points behind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ormax {

struct TLabelRule {
  // Labelled exactly when the sameness (percent) is at least this; none: the default.
  std::optional<double> MinSameness;

  static constexpr double LowestLabelled = 50;
  static constexpr double DoubtfulBelow = 80;
  static constexpr double ClearMargin = 20;
  static constexpr int64_t SmallestByMargin = 400;
};

// sameness and runnerUp (the sameness of the nearest entry of another shape, -infinity
// when the base holds one shape) in percent; pixels: the region's.
bool IsLabelled(const TLabelRule& rule, double sameness, double runnerUp, int64_t pixels);

std::string LabelRuleHelp();

// "Labels: every region, its nearest shape", "Labels: sameness at least 75 %, else
// unknown", or the default rule in short ("as ormax-cli recognize: ...").
std::string LabelsSummary(const std::optional<TLabelRule>& labels, char decimalSeparator = '.');

}  // namespace ormax
