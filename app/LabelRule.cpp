// LabelRule: the margin is taken in sameness points, so it reads as the help says.
//   IsLabelled, LabelRuleHelp, LabelsSummary
#include "app/LabelRule.h"

#include "app/FormatGeneral.h"

namespace ormax {

bool IsLabelled(const TLabelRule& rule, double sameness, double runnerUp, int64_t pixels) {
  if (rule.MinSameness) return sameness >= *rule.MinSameness;
  if (sameness >= TLabelRule::DoubtfulBelow) return true;
  return pixels >= TLabelRule::SmallestByMargin && sameness >= TLabelRule::LowestLabelled &&
         sameness - runnerUp >= TLabelRule::ClearMargin;
}

std::string LabelRuleHelp() {
  return "By default a region is labelled when its sameness is at least " +
         FormatGeneral(TLabelRule::DoubtfulBelow, 6) + " %, or, for a region of " +
         std::to_string(TLabelRule::SmallestByMargin) + " pixels or more, at least " +
         FormatGeneral(TLabelRule::LowestLabelled, 6) + " % with the nearest entry of any other "
         "shape at least " + FormatGeneral(TLabelRule::ClearMargin, 6) +
         " points less alike; else 'unknown'";
}

std::string LabelsSummary(const std::optional<TLabelRule>& labels, char decimalSeparator) {
  if (!labels) return "Labels: every region, its nearest shape";
  auto num = [&](double v) { return FormatGeneral(v, 6, decimalSeparator); };
  if (labels->MinSameness)
    return "Labels: sameness at least " + num(*labels->MinSameness) + " %, else unknown";
  return "Labels: as ormax-cli recognize: sameness at least " + num(TLabelRule::DoubtfulBelow) +
         " %, or " + num(TLabelRule::LowestLabelled) + " % with every other shape " +
         num(TLabelRule::ClearMargin) + " points behind (regions of " +
         std::to_string(TLabelRule::SmallestByMargin) + " pixels or more), else unknown";
}

}  // namespace ormax
