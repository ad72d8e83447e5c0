// Rounding: the three integer roundings the program uses, written once.
//   RoundHalfEven  nearest integer, halves to the even neighbour (drawing coordinates)
//   DivTrunc       integer quotient truncated toward zero (cell centres)
//   FloorToInt     largest integer not above a real (scan ranges)
// Results that do not fit the integer type saturate; NaN gives 0. Callers that
// care about non-finite input test it first.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace ormax {

// Saturating conversion of an integral-valued long double to int64.
inline int64_t SaturateToInt64(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9223372036854775807.0L) return std::numeric_limits<int64_t>::max();
  if (v <= -9223372036854775808.0L) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

inline long double RoundHalfEvenReal(long double v) {
  if (!std::isfinite(v)) return v;
  long double f = std::floor(v);
  long double d = v - f;  // exact: 0 <= d < 1
  if (d > 0.5L) return f + 1.0L;
  if (d < 0.5L) return f;
  // A tie: f or f + 1, whichever is even (a whole number below 2^62 by its low bit).
  if (std::fabs(f) < 0x1p62L) return (static_cast<int64_t>(f) & 1) == 0 ? f : f + 1.0L;
  return std::fmod(f, 2.0L) == 0.0L ? f : f + 1.0L;
}

inline int64_t RoundHalfEven(long double v) {
  return SaturateToInt64(RoundHalfEvenReal(v));
}

inline int64_t FloorToInt(long double v) {
  return SaturateToInt64(std::floor(v));
}

inline int64_t CeilToInt(long double v) {
  return SaturateToInt64(std::ceil(v));
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
