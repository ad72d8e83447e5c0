// SoftExtended: the x87 80-bit extended format in software, for platforms whose long
// double is not that format (or when ORMAX_SOFT_EXTENDED asks for it everywhere).
//   TSoftExtended  the value type: + - * / and comparisons, conversions from integers and
//                  double, explicit ones to double, int32 and int64 (truncating)
//   Sqrt Fabs Floor Ceil Trunc Fmod Ldexp IsNaN IsInf IsFinite SignBit  exact, as x87
//   Ilogb          the binary exponent of a finite nonzero value
//   Exp Log Sin Cos Atan2  the series of numerics/Elementary.h: bit for bit what they
//                  give on long double, within a few units in the last place of libm
//   ToScientific   the text printf("%.*Le") gives for a finite value
// Results are those of x87 with 64-bit precision and rounding to nearest even:
// subnormals, signed zeros, infinities; an invalid operation gives the negative quiet
// NaN 0xC000000000000000, NaN operands propagate as x87 chooses (a quiet operand before
// a signalling one, then the larger significand), and conversions of NaN or
// out-of-range values to integers give the smallest integer.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <string>

namespace ormax {

class TSoftExtended {
 public:
  constexpr TSoftExtended() = default;  // +0
  constexpr TSoftExtended(double v) : TSoftExtended(FromDouble(v)) {}  // exact
  constexpr TSoftExtended(float v) : TSoftExtended(static_cast<double>(v)) {}
  // No silent conversion from long double: on most processors it is not this format.
  TSoftExtended(long double) = delete;
  template <std::integral T>
  constexpr TSoftExtended(T v) {  // exact
    if constexpr (std::is_signed_v<T>)
      *this = FromInt64(static_cast<int64_t>(v));
    else
      *this = FromUInt64(static_cast<uint64_t>(v));
  }
  // signExponent: the sign in bit 15 and the biased exponent; significand with the
  // explicit integer bit (bit 63), as x87 stores them.
  static constexpr TSoftExtended FromBits(uint16_t signExponent, uint64_t significand) {
    TSoftExtended r;
    r.significand_ = significand;
    r.signExponent_ = signExponent;
    return r;
  }
  static constexpr TSoftExtended FromUInt64(uint64_t v) {
    if (v == 0) return TSoftExtended();
    const int shift = std::countl_zero(v);
    return FromBits(static_cast<uint16_t>(16383 + 63 - shift), v << shift);
  }
  static constexpr TSoftExtended FromInt64(int64_t v) {
    const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    const TSoftExtended r = FromUInt64(magnitude);
    return v < 0 ? FromBits(static_cast<uint16_t>(r.signExponent_ | 0x8000u), r.significand_) : r;
  }
  static constexpr TSoftExtended FromDouble(double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    const uint16_t sign = (bits >> 63) != 0 ? 0x8000 : 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
    constexpr uint64_t integerBit = 0x8000000000000000ull;
    if (biased == 0x7FF)  // infinity, or NaN made quiet with its payload kept
      return FromBits(sign | 0x7FFF,
                      fraction == 0 ? integerBit : integerBit | (1ull << 62) | (fraction << 11));
    if (biased == 0) {
      if (fraction == 0) return FromBits(sign, 0);
      const int shift = std::countl_zero(fraction);  // at least 12
      return FromBits(static_cast<uint16_t>(sign | (16383 - 1022 - (shift - 11))), fraction << shift);
    }
    return FromBits(static_cast<uint16_t>(sign | (biased - 1023 + 16383)), integerBit | (fraction << 11));
  }
  constexpr uint16_t SignExponent() const { return signExponent_; }
  constexpr uint64_t Significand() const { return significand_; }

  explicit operator double() const;   // rounded to nearest even
  explicit operator int64_t() const;  // truncated toward zero
  explicit operator int32_t() const;  // truncated toward zero

  friend TSoftExtended operator+(TSoftExtended a, TSoftExtended b);
  friend TSoftExtended operator-(TSoftExtended a, TSoftExtended b);
  friend TSoftExtended operator*(TSoftExtended a, TSoftExtended b);
  friend TSoftExtended operator/(TSoftExtended a, TSoftExtended b);
  friend TSoftExtended operator-(TSoftExtended a) {
    return FromBits(static_cast<uint16_t>(a.signExponent_ ^ 0x8000u), a.significand_);
  }
  friend TSoftExtended operator+(TSoftExtended a) { return a; }
  TSoftExtended& operator+=(TSoftExtended b) { return *this = *this + b; }
  TSoftExtended& operator-=(TSoftExtended b) { return *this = *this - b; }
  TSoftExtended& operator*=(TSoftExtended b) { return *this = *this * b; }
  TSoftExtended& operator/=(TSoftExtended b) { return *this = *this / b; }

  // IEEE comparisons: false when either side is NaN (but != is then true); -0 == +0.
  friend bool operator==(TSoftExtended a, TSoftExtended b);
  friend bool operator!=(TSoftExtended a, TSoftExtended b) { return !(a == b); }
  friend bool operator<(TSoftExtended a, TSoftExtended b);
  friend bool operator>(TSoftExtended a, TSoftExtended b) { return b < a; }
  friend bool operator<=(TSoftExtended a, TSoftExtended b);
  friend bool operator>=(TSoftExtended a, TSoftExtended b) { return b <= a; }

 private:
  uint64_t significand_ = 0;
  uint16_t signExponent_ = 0;
};

TSoftExtended Sqrt(TSoftExtended v);
TSoftExtended Fabs(TSoftExtended v);
TSoftExtended Floor(TSoftExtended v);
TSoftExtended Ceil(TSoftExtended v);
TSoftExtended Trunc(TSoftExtended v);
TSoftExtended Fmod(TSoftExtended x, TSoftExtended y);
TSoftExtended Ldexp(TSoftExtended v, int exponent);
bool IsNaN(TSoftExtended v);
bool IsInf(TSoftExtended v);
bool IsFinite(TSoftExtended v);
bool SignBit(TSoftExtended v);
// The exponent of a finite nonzero value (2^e <= |v| < 2^(e+1), subnormals included).
int Ilogb(TSoftExtended v);
TSoftExtended Exp(TSoftExtended v);
TSoftExtended Log(TSoftExtended v);
TSoftExtended Sin(TSoftExtended v);
TSoftExtended Cos(TSoftExtended v);
TSoftExtended Atan2(TSoftExtended y, TSoftExtended x);
// Finite values only: "d.ddde+XX" with `precision` digits after the point, the exact
// value rounded to nearest even.
std::string ToScientific(TSoftExtended v, int precision);

}  // namespace ormax
