// NativeExtended: the basic functions on long double where long double is the x87
// 80-bit format, under the names the software type has (numerics/SoftExtended.h).
//   Sqrt Fabs Floor Ceil Trunc Fmod Ldexp IsNaN IsInf IsFinite SignBit Ilogb
// Elsewhere (a long double of another format) this header declares nothing, so that no
// core formula can reach a long double by overload resolution.
#pragma once

#include <cfloat>
#include <cmath>

#if LDBL_MANT_DIG == 64
#define ORMAX_LONG_DOUBLE_IS_X87 1
#else
#define ORMAX_LONG_DOUBLE_IS_X87 0
#endif

namespace ormax {

#if ORMAX_LONG_DOUBLE_IS_X87

inline long double Sqrt(long double v) {
  return std::sqrt(v);
}
inline long double Fabs(long double v) {
  return std::fabs(v);
}
inline long double Floor(long double v) {
  return std::floor(v);
}
inline long double Ceil(long double v) {
  return std::ceil(v);
}
inline long double Trunc(long double v) {
  return std::trunc(v);
}
inline long double Fmod(long double x, long double y) {
  return std::fmod(x, y);
}
inline long double Ldexp(long double v, int exponent) {
  return std::ldexp(v, exponent);
}
inline bool IsNaN(long double v) {
  return std::isnan(v);
}
inline bool IsInf(long double v) {
  return std::isinf(v);
}
inline bool IsFinite(long double v) {
  return std::isfinite(v);
}
inline bool SignBit(long double v) {
  return std::signbit(v);
}
inline int Ilogb(long double v) {
  return std::ilogb(v);
}

#endif

}  // namespace ormax
