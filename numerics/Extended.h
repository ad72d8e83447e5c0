// Extended: the one extended-precision type of the core, chosen at compile time.
//   TExtended  long double where that is the x87 80-bit format (and ORMAX_SOFT_EXTENDED
//              is not defined), TSoftExtended, the same format in software, otherwise
//   Sqrt Fabs Floor Ceil Trunc Fmod Ldexp IsNaN IsInf IsFinite Exp Log Sin Cos
//   ExtendedFromBits  a value from its sign/exponent word and 64-bit significand
//   FormatScientific  printf's "%.*Le" of a finite value
// Both types give the same bits for the exact operations; Exp, Log, Sin and Cos of the
// software type may differ from the C library's in the last bits.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "numerics/SoftExtended.h"

#if LDBL_MANT_DIG == 64 && !defined(ORMAX_SOFT_EXTENDED)
#define ORMAX_EXTENDED_IS_LONG_DOUBLE 1
#else
#define ORMAX_EXTENDED_IS_LONG_DOUBLE 0
#endif

namespace ormax {

#if ORMAX_EXTENDED_IS_LONG_DOUBLE

using TExtended = long double;

inline TExtended Sqrt(TExtended v) {
  return std::sqrt(v);
}
inline TExtended Fabs(TExtended v) {
  return std::fabs(v);
}
inline TExtended Floor(TExtended v) {
  return std::floor(v);
}
inline TExtended Ceil(TExtended v) {
  return std::ceil(v);
}
inline TExtended Trunc(TExtended v) {
  return std::trunc(v);
}
inline TExtended Fmod(TExtended x, TExtended y) {
  return std::fmod(x, y);
}
inline TExtended Ldexp(TExtended v, int exponent) {
  return std::ldexp(v, exponent);
}
inline bool IsNaN(TExtended v) {
  return std::isnan(v);
}
inline bool IsInf(TExtended v) {
  return std::isinf(v);
}
inline bool IsFinite(TExtended v) {
  return std::isfinite(v);
}
inline TExtended Exp(TExtended v) {
  return std::exp(v);
}
inline TExtended Log(TExtended v) {
  return std::log(v);
}
inline TExtended Sin(TExtended v) {
  return std::sin(v);
}
inline TExtended Cos(TExtended v) {
  return std::cos(v);
}

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

inline TExtended ExtendedFromBits(uint16_t signExponent, uint64_t significand) {
  return TSoftExtended::FromBits(signExponent, significand);
}

inline std::string FormatScientific(TExtended v, int precision) {
  return ToScientific(v, precision);
}

#endif

}  // namespace ormax
