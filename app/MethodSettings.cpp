// MethodSettings: the ranges are the analysis's own (MaxRepresentationLevel); only the
// refusal's words are made here.
//   CheckedTreeLevel, TreeLevelRefusal, CheckedAdmissibleError, AdmissibleErrorRefusal
#include "app/MethodSettings.h"

#include <cmath>
#include <stdexcept>

#include "analysis/Methods.h"

namespace ormax {

int32_t CheckedTreeLevel(int64_t level, const std::string& setting) {
  if (level < 0 || level > MaxRepresentationLevel)
    throw std::invalid_argument(TreeLevelRefusal(setting, std::to_string(level)));
  return static_cast<int32_t>(level);
}

std::string TreeLevelRefusal(const std::string& setting, const std::string& value) {
  return setting + " takes a whole number from 0 to " + std::to_string(MaxRepresentationLevel) +
         ", not '" + value + "'";
}

double CheckedAdmissibleError(double error, const std::string& setting) {
  if (!std::isfinite(error))
    throw std::invalid_argument(AdmissibleErrorRefusal(
        setting, std::isnan(error) ? "nan" : error < 0 ? "-inf" : "inf"));
  return error;
}

std::string AdmissibleErrorRefusal(const std::string& setting, const std::string& value) {
  return setting + " takes a number, not '" + value + "'";
}

}  // namespace ormax
