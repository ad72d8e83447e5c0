// Extended: the one extended-precision type of the core, chosen at compile time.
//   TExtended  long double where that is the x87 80-bit format (and ORMAX_SOFT_EXTENDED
//              is not defined), TSoftExtended, the same format in software, otherwise
//   Sqrt Fabs Floor Ceil Trunc Fmod Ldexp IsNaN IsInf IsFinite SignBit Ilogb  exact
//   Sin Cos Exp Log Atan2  the program's own series (numerics/Elementary.h)
//   Pi  ExtendedFromBits  FormatScientific (printf's "%.*Le" of a finite value)
// Both types give the same bits for every one of these; write formulas with them and
// with integer or double constants, never with long double literals.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>

#include "numerics/Elementary.h"
#include "numerics/NativeExtended.h"
#include "numerics/SoftExtended.h"

#if ORMAX_LONG_DOUBLE_IS_X87 && !defined(ORMAX_SOFT_EXTENDED)
#define ORMAX_EXTENDED_IS_LONG_DOUBLE 1
#else
#define ORMAX_EXTENDED_IS_LONG_DOUBLE 0
#endif

namespace ormax {

#if ORMAX_EXTENDED_IS_LONG_DOUBLE

using TExtended = long double;

inline TExtended Exp(TExtended v) {
  return ExponentialOf(v);
}
inline TExtended Log(TExtended v) {
  return LogarithmOf(v);
}
inline TExtended Sin(TExtended v) {
  return SineOf(v);
}
inline TExtended Cos(TExtended v) {
  return CosineOf(v);
}
inline TExtended Atan2(TExtended y, TExtended x) {
  return ArcTangentOf(y, x);
}

// The extended value nearest pi.
inline constexpr TExtended Pi = std::numbers::pi_v<long double>;

inline TExtended ExtendedFromBits(uint16_t signExponent, uint64_t significand) {
  TExtended v = 0;
  std::memcpy(&v, &significand, 8);
  std::memcpy(reinterpret_cast<unsigned char*>(&v) + 8, &signExponent, 2);
  return v;
}

inline std::string FormatScientific(TExtended v, int precision) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%.*Le", precision, v);
  return buffer;
}

#else

using TExtended = TSoftExtended;

inline constexpr TExtended Pi = TSoftExtended::FromBits(0x4000, 0xC90FDAA22168C235ull);

inline TExtended ExtendedFromBits(uint16_t signExponent, uint64_t significand) {
  return TSoftExtended::FromBits(signExponent, significand);
}

inline std::string FormatScientific(TExtended v, int precision) {
  return ToScientific(v, precision);
}

#endif

}  // namespace ormax
