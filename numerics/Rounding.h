// Rounding: the integer roundings the program uses, written once.
//   RoundHalfEven      nearest integer, halves to the even neighbour (drawing coordinates)
//   RoundHalfEvenReal  the same rounding, kept as a real (non-finite values pass through)
//   DivTrunc           integer quotient truncated toward zero (cell centres)
//   FloorToInt         largest integer not above a real (scan ranges)
//   CeilToInt          smallest integer not below a real
//   SaturateToInt64    a whole real to int64; ClampToInt32 an int64 into 32 bits
// Results that do not fit the integer type saturate; NaN gives 0. Callers that
// care about non-finite input test it first.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "numerics/Extended.h"

namespace ormax {

// Saturating conversion of an integral-valued extended value to int64 (2^63 is exact
// in the format, so the two bounds are too).
inline int64_t SaturateToInt64(TExtended v) {
  if (IsNaN(v)) return 0;
  if (v >= TExtended(9223372036854775807.0)) return std::numeric_limits<int64_t>::max();
  if (v <= TExtended(-9223372036854775808.0)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

inline TExtended RoundHalfEvenReal(TExtended v) {
  if (!IsFinite(v)) return v;
  TExtended f = Floor(v);
  TExtended d = v - f;  // exact: 0 <= d < 1
  if (d > TExtended(0.5)) return f + 1;
  if (d < TExtended(0.5)) return f;
  // A tie: f or f + 1, whichever is even (a whole number below 2^62 by its low bit).
  if (Fabs(f) < TExtended(0x1p62)) return (static_cast<int64_t>(f) & 1) == 0 ? f : f + 1;
  return Fmod(f, TExtended(2)) == 0 ? f : f + 1;
}

inline int64_t RoundHalfEven(TExtended v) {
#if ORMAX_EXTENDED_IS_LONG_DOUBLE
  // The processor rounds to nearest with halves to even (the mode the program never
  // changes): the same whole number, without Floor's changes of the control word.
  if (Fabs(v) < TExtended(0x1p62)) return std::llrint(v);
#endif
  return SaturateToInt64(RoundHalfEvenReal(v));
}

inline int64_t FloorToInt(TExtended v) {
  return SaturateToInt64(Floor(v));
}

inline int64_t CeilToInt(TExtended v) {
  return SaturateToInt64(Ceil(v));
}

// C++ integer division already truncates toward zero; the name says that it is meant.
inline int64_t DivTrunc(int64_t a, int64_t b) {
  return a / b;
}

// Clamps a 64-bit value into the 32-bit range.
inline int32_t ClampToInt32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace ormax
