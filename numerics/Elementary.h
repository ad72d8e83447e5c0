// Elementary: sine, cosine, exponential, logarithm and arc tangent of an extended value,
// written once over + - * /, Floor, Fmod, Ldexp and Ilogb.
//   SineOf CosineOf ExponentialOf LogarithmOf ArcTangentOf  for T = long double (x87)
//   or TSoftExtended; ExtendedConstant  a value from its stored bits, in T's own arithmetic
// The basic operations of both types give the same bits, so these functions do too: the
// answers are this program's own on every processor, within a few units in the last
// place of the C library's (which differs between libraries). Arguments of sine and
// cosine beyond about 2^20 lose accuracy to the reduction; NaN stays NaN.
#pragma once

#include <cstdint>

#include "numerics/NativeExtended.h"
#include "numerics/SoftExtended.h"

namespace ormax {

// The normal value with biased exponent and 64-bit significand (integer bit set), built
// exactly: the two halves of the significand are exact doubles, their sum fits 64 bits.
template <typename T>
T ExtendedConstant(uint16_t signExponent, uint64_t significand) {
  const T whole = T(static_cast<double>(significand >> 32)) * T(4294967296.0) +
                  T(static_cast<double>(significand & 0xFFFFFFFFu));
  const T magnitude = Ldexp(whole, (signExponent & 0x7FFF) - 16383 - 63);
  return (signExponent & 0x8000) != 0 ? -magnitude : magnitude;
}

namespace elementary {

// ln 2 and pi / 2 in two parts, the first with 32 significant bits, so that products
// with integers below 2^32 are exact.
template <typename T>
struct TConstants {
  T Ln2Hi = ExtendedConstant<T>(0x3FFE, 0xB17217F700000000ull);
  T Ln2Lo = ExtendedConstant<T>(0x3FDE, 0xD1CF79ABC9E3B398ull);
  T HalfPiHi = ExtendedConstant<T>(0x3FFF, 0xC90FDAA200000000ull);
  T HalfPiLo = ExtendedConstant<T>(0x3FDD, 0x85A308D313198A2Eull);
  T Sqrt2 = ExtendedConstant<T>(0x3FFF, 0xB504F333F9DE6484ull);
  static const TConstants& Get() {
    static const TConstants constants;
    return constants;
  }
};

// sin r and cos r for |r| <= pi / 4 (Taylor series, enough terms for 64 bits).
template <typename T>
T SinSeries(T r) {
  const T r2 = r * r;
  T term = r, sum = r;
  for (int k = 1; k <= 14; ++k) {
    term = -term * r2 / T((2 * k) * (2 * k + 1));
    sum = sum + term;
  }
  return sum;
}

template <typename T>
T CosSeries(T r) {
  const T r2 = r * r;
  T term = T(1), sum = T(0);
  for (int k = 1; k <= 14; ++k) {
    term = -term * r2 / T((2 * k - 1) * (2 * k));
    sum = sum + term;
  }
  return T(1) + sum;
}

// r = v - n pi/2 with n the nearest integer; the quadrant n mod 4.
template <typename T>
T ReduceHalfPi(T v, int& quadrant) {
  const TConstants<T>& k = TConstants<T>::Get();
  const T n = Floor(v / (k.HalfPiHi + k.HalfPiLo) + T(0.5));
  quadrant = static_cast<int>(static_cast<int64_t>(Fmod(n, T(4))));
  if (quadrant < 0) quadrant += 4;
  return (v - n * k.HalfPiHi) - n * k.HalfPiLo;
}

// atan t for 0 <= t <= 1: two halvings of the angle, atan t = 2 atan(t / (1 + sqrt(1 +
// t^2))), bring t below tan(pi / 16); then the series.
template <typename T>
T ArcTangentSeries(T t) {
  for (int i = 0; i < 2; ++i) t = t / (T(1) + Sqrt(T(1) + t * t));
  const T t2 = t * t;
  T power = t, sum = T(0);
  for (int k = 1; k <= 43; k += 2) {  // t - t^3 / 3 + t^5 / 5 - ...
    sum = sum + power / T(k);
    power = -(power * t2);
  }
  return sum * T(4);
}

}  // namespace elementary

template <typename T>
T SineOf(T v) {
  if (!IsFinite(v)) return IsNaN(v) ? v + v : v - v;  // infinity: the invalid NaN
  if (v == T(0)) return v;
  int quadrant = 0;
  const T r = elementary::ReduceHalfPi(v, quadrant);
  switch (quadrant) {
    case 0:
      return elementary::SinSeries(r);
    case 1:
      return elementary::CosSeries(r);
    case 2:
      return -elementary::SinSeries(r);
    default:
      return -elementary::CosSeries(r);
  }
}

template <typename T>
T CosineOf(T v) {
  if (!IsFinite(v)) return IsNaN(v) ? v + v : v - v;
  int quadrant = 0;
  const T r = elementary::ReduceHalfPi(v, quadrant);
  switch (quadrant) {
    case 0:
      return elementary::CosSeries(r);
    case 1:
      return -elementary::SinSeries(r);
    case 2:
      return -elementary::CosSeries(r);
    default:
      return elementary::SinSeries(r);
  }
}

template <typename T>
T ExponentialOf(T v) {
  if (IsNaN(v)) return v + v;
  if (IsInf(v)) return v < T(0) ? T(0) : v;
  if (v > T(11357.3)) return T(1) / T(0);  // beyond the largest value: infinity
  if (v < T(-11400.0)) return T(0);
  // v = n ln 2 + r, |r| <= ln 2 / 2; exp r by its series.
  const elementary::TConstants<T>& c = elementary::TConstants<T>::Get();
  const T n = Floor(v / (c.Ln2Hi + c.Ln2Lo) + T(0.5));
  const T r = (v - n * c.Ln2Hi) - n * c.Ln2Lo;
  T term = T(1), sum = T(0);
  for (int k = 1; k <= 24; ++k) {
    term = term * r / T(k);
    sum = sum + term;
  }
  // Scaled in two steps so that a result near the subnormal range is rounded once.
  const int64_t k = static_cast<int64_t>(n);
  const T e = T(1) + sum;
  if (k < -16000) return Ldexp(Ldexp(e, static_cast<int>(k + 128)), -128);
  return Ldexp(e, static_cast<int>(k));
}

template <typename T>
T LogarithmOf(T v) {
  if (IsNaN(v)) return v + v;
  if (v == T(0)) return T(-1) / T(0);  // minus infinity
  if (v < T(0)) return (v - v) / (v - v);  // the invalid NaN
  if (IsInf(v)) return v;
  // v = 2^e m with m in [sqrt(1/2), sqrt 2); log m = 2 atanh((m - 1) / (m + 1)).
  const elementary::TConstants<T>& c = elementary::TConstants<T>::Get();
  int e = Ilogb(v);
  T m = Ldexp(v, -e);
  if (!(m < c.Sqrt2)) {
    m = m / T(2);
    ++e;
  }
  const T z = (m - T(1)) / (m + T(1));
  const T z2 = z * z;
  T power = z, sum = T(0);
  for (int k = 1; k <= 41; k += 2) {
    sum = sum + power / T(k);
    power = power * z2;
  }
  const T ne = T(e);
  return ne * c.Ln2Hi + (ne * c.Ln2Lo + sum * T(2));
}

// The angle of (x, y) in (-pi, pi], with the signs of zero as atan2 gives them.
template <typename T>
T ArcTangentOf(T y, T x) {
  if (IsNaN(x) || IsNaN(y)) return x + y;
  const elementary::TConstants<T>& c = elementary::TConstants<T>::Get();
  T ax = Fabs(x), ay = Fabs(y);
  if (IsInf(ax) || IsInf(ay)) {  // the directions of the infinities only
    ax = IsInf(ax) ? T(1) : T(0);
    ay = IsInf(ay) ? T(1) : T(0);
  }
  T angle;  // of (ax, ay), in [0, pi / 2]
  if (ay == T(0))
    angle = T(0);
  else if (ax == T(0))
    angle = c.HalfPiHi + c.HalfPiLo;
  else if (ay <= ax)
    angle = elementary::ArcTangentSeries(ay / ax);
  else
    angle = (c.HalfPiHi - elementary::ArcTangentSeries(ax / ay)) + c.HalfPiLo;
  if (SignBit(x)) angle = (T(2) * c.HalfPiHi - angle) + T(2) * c.HalfPiLo;
  return SignBit(y) ? -angle : angle;
}

}  // namespace ormax
