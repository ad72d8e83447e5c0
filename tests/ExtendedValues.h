// ExtendedValues: extended values in test expectations, written the same way whichever
// type TExtended is.
//   AsDouble  the value rounded to double (what EXPECT_NEAR compares)
//   PrintTo   a software extended value in failure messages: its double and its bits
#pragma once

#include <cstdio>
#include <ostream>

#include "numerics/Extended.h"

namespace ormax {

inline double AsDouble(TExtended v) {
  return static_cast<double>(v);
}

inline void PrintTo(const TSoftExtended& v, std::ostream* out) {
  char bits[40];
  std::snprintf(bits, sizeof bits, "%04x:%016llx", v.SignExponent(),
                static_cast<unsigned long long>(v.Significand()));
  *out << static_cast<double>(v) << " (" << bits << ")";
}

}  // namespace ormax
