// GeneratedCases: how many generated cases a randomised test against a plain routine
// runs. Under emulation (the ARM build runs under qemu, where the extended type is in
// software too) a tenth; ORMAX_FAST_PATHS_DIVISOR in the environment sets the divisor
// on any build (1 or less: every case).
//   Cases(n)  n, or n divided by the divisor, at least 1
#pragma once

#include <algorithm>
#include <cstdlib>

namespace ormax {

inline int Cases(int n) {
#ifdef ORMAX_FAST_PATHS_DEFAULT_DIVISOR
  int divisor = ORMAX_FAST_PATHS_DEFAULT_DIVISOR;
#else
  int divisor = 1;
#endif
  if (const char* text = std::getenv("ORMAX_FAST_PATHS_DIVISOR")) divisor = std::atoi(text);
  return divisor > 1 ? std::max(1, n / divisor) : n;
}

}  // namespace ormax
