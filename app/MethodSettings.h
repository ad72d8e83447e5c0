// MethodSettings: the one check of the method settings a front end is given, the
// maximum tree level and the admissible error (the command line's --level and --error,
// the Python module's level= and error=).
//   CheckedTreeLevel, TreeLevelRefusal          0 .. MaxRepresentationLevel
//   CheckedAdmissibleError, AdmissibleErrorRefusal  any finite number
// A refusal names the setting, what it takes and the value it got, as in "--level takes
// a whole number from 0 to 30, not '31'". The desktop program's Method Settings dialog
// keeps what is typed, by design, and does not ask.
#pragma once

#include <cstdint>
#include <string>

namespace ormax {

// The level, or std::invalid_argument with TreeLevelRefusal(setting, level).
int32_t CheckedTreeLevel(int64_t level, const std::string& setting);
// "<setting> takes a whole number from 0 to 30, not '<value>'", value as it was given.
std::string TreeLevelRefusal(const std::string& setting, const std::string& value);

// The error, or std::invalid_argument with AdmissibleErrorRefusal(setting, error).
double CheckedAdmissibleError(double error, const std::string& setting);
// "<setting> takes a number, not '<value>'".
std::string AdmissibleErrorRefusal(const std::string& setting, const std::string& value);

}  // namespace ormax
