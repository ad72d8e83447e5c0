// SoftExtended: x87 extended arithmetic on 64-bit integers.
//   Unpack / RoundPack  between the stored form and a sign, an unbounded exponent and a
//                       128-bit significand; RoundPack rounds once, to nearest even
//   PropagateNaN        which NaN an operation with NaN operands returns (x87's choice)
//   operators, Sqrt ... exact operations; Exp Log Sin Cos Atan2 come from Elementary.h
//   ToScientific        the exact value in decimal, rounded to nearest even
// Unnormals, pseudo-NaNs and pseudo-infinities (exponent not zero, integer bit clear)
// are invalid operands, as for x87: they give the invalid-operation NaN.
#include "numerics/SoftExtended.h"

#include "numerics/Elementary.h"

#include <bit>
#include <cstring>
#include <vector>

namespace ormax {

namespace {

constexpr uint64_t kIntegerBit = 0x8000000000000000ull;
constexpr uint64_t kQuietBit = 0x4000000000000000ull;
constexpr int kBias = 16383;
constexpr int kMaxBiased = 0x7FFF;

// A 128-bit unsigned integer, portable.
struct TU128 {
  uint64_t Hi = 0, Lo = 0;
};

bool IsZero(TU128 a) {
  return (a.Hi | a.Lo) == 0;
}
bool Less(TU128 a, TU128 b) {
  return a.Hi < b.Hi || (a.Hi == b.Hi && a.Lo < b.Lo);
}
TU128 Add(TU128 a, TU128 b) {
  TU128 r{a.Hi + b.Hi, a.Lo + b.Lo};
  if (r.Lo < a.Lo) ++r.Hi;
  return r;
}
TU128 Sub(TU128 a, TU128 b) {
  TU128 r{a.Hi - b.Hi, a.Lo - b.Lo};
  if (a.Lo < b.Lo) --r.Hi;
  return r;
}
TU128 ShiftLeft(TU128 a, int n) {
  if (n == 0) return a;
  if (n >= 128) return {};
  if (n >= 64) return {a.Lo << (n - 64), 0};
  return {(a.Hi << n) | (a.Lo >> (64 - n)), a.Lo << n};
}
// Shifts right; any bit shifted out is ORed into bit 0 (a sticky bit).
TU128 ShiftRightJam(TU128 a, int64_t n) {
  if (n == 0) return a;
  if (n >= 128) return {0, IsZero(a) ? 0u : 1u};
  TU128 r;
  uint64_t lost;
  if (n >= 64) {
    const int k = static_cast<int>(n - 64);
    r = {0, k == 0 ? a.Hi : a.Hi >> k};
    lost = a.Lo | (k == 0 ? 0 : a.Hi << (64 - k));
  } else {
    const int k = static_cast<int>(n);
    r = {a.Hi >> k, (a.Lo >> k) | (a.Hi << (64 - k))};
    lost = a.Lo << (64 - k);
  }
  if (lost != 0) r.Lo |= 1;
  return r;
}
int CountLeadingZeros(TU128 a) {
  return a.Hi != 0 ? std::countl_zero(a.Hi) : 64 + std::countl_zero(a.Lo);
}
TU128 Multiply(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xFFFFFFFFu)};
}

enum class TKind { Zero, Finite, Infinity, NaN, Invalid };

// value = Significand * 2^(Exponent - 63) with the integer bit set (finite values).
struct TUnpacked {
  TKind Kind;
  bool Negative;
  int64_t Exponent;
  uint64_t Significand;
};

TUnpacked Unpack(TSoftExtended v) {
  const bool negative = (v.SignExponent() & 0x8000u) != 0;
  const int biased = v.SignExponent() & 0x7FFF;
  const uint64_t m = v.Significand();
  if (biased == kMaxBiased) {
    if (m == kIntegerBit) return {TKind::Infinity, negative, 0, m};
    return {(m & kIntegerBit) != 0 ? TKind::NaN : TKind::Invalid, negative, 0, m};
  }
  if (biased == 0) {
    if (m == 0) return {TKind::Zero, negative, 0, 0};
    const int shift = std::countl_zero(m);  // 0 for a pseudo-denormal, read as exponent 1
    return {TKind::Finite, negative, 1 - kBias - shift, m << shift};
  }
  if ((m & kIntegerBit) == 0) return {TKind::Invalid, negative, 0, m};
  return {TKind::Finite, negative, biased - kBias, m};
}

constexpr TSoftExtended kDefaultNaN = TSoftExtended::FromBits(0xFFFF, 0xC000000000000000ull);

TSoftExtended Pack(bool negative, int biased, uint64_t m) {
  return TSoftExtended::FromBits(static_cast<uint16_t>((negative ? 0x8000 : 0) | biased), m);
}
TSoftExtended Infinity(bool negative) {
  return Pack(negative, kMaxBiased, kIntegerBit);
}
TSoftExtended Zero(bool negative) {
  return Pack(negative, 0, 0);
}
TSoftExtended Quiet(TSoftExtended v) {
  return TSoftExtended::FromBits(v.SignExponent(), v.Significand() | kQuietBit);
}

// value = s / 2^127 * 2^exponent, s normalised (bit 127 set) or with a sticky bit below.
TSoftExtended RoundPack(bool negative, int64_t exponent, TU128 s) {
  int64_t biased = exponent + kBias;
  if (biased >= kMaxBiased) return Infinity(negative);
  if (biased <= 0) {
    s = ShiftRightJam(s, 1 - biased);
    biased = 0;
  }
  uint64_t m = s.Hi;
  const bool roundBit = (s.Lo >> 63) != 0;
  const bool sticky = (s.Lo << 1) != 0;
  if (roundBit && (sticky || (m & 1) != 0)) {
    ++m;
    if (m == 0) {
      m = kIntegerBit;
      ++biased;
    }
  }
  if (biased == 0 && (m & kIntegerBit) != 0) biased = 1;
  if (biased >= kMaxBiased) return Infinity(negative);
  return Pack(negative, static_cast<int>(biased), m);
}

// The NaN that an operation on a and b returns when at least one of them is NaN.
TSoftExtended PropagateNaN(TSoftExtended a, const TUnpacked& ua, TSoftExtended b,
                           const TUnpacked& ub) {
  if (ua.Kind == TKind::NaN && ub.Kind == TKind::NaN) {
    const bool aQuiet = (ua.Significand & kQuietBit) != 0;
    const bool bQuiet = (ub.Significand & kQuietBit) != 0;
    if (aQuiet != bQuiet) return aQuiet ? a : b;
    if (ua.Significand > ub.Significand) return Quiet(a);
    if (ub.Significand > ua.Significand) return Quiet(b);
    return Quiet(Pack(ua.Negative && ub.Negative, kMaxBiased, ua.Significand));
  }
  return Quiet(ua.Kind == TKind::NaN ? a : b);
}

bool AnyNaN(const TUnpacked& a, const TUnpacked& b) {
  return a.Kind == TKind::NaN || b.Kind == TKind::NaN;
}
bool AnyInvalid(const TUnpacked& a, const TUnpacked& b) {
  return a.Kind == TKind::Invalid || b.Kind == TKind::Invalid;
}

TSoftExtended AddMagnitudes(TSoftExtended a, TSoftExtended b, bool subtract) {
  TUnpacked ua = Unpack(a), ub = Unpack(b);
  if (AnyInvalid(ua, ub)) return kDefaultNaN;
  if (AnyNaN(ua, ub)) return PropagateNaN(a, ua, b, ub);
  if (subtract) ub.Negative = !ub.Negative;
  const bool sameSign = ua.Negative == ub.Negative;
  if (ua.Kind == TKind::Infinity || ub.Kind == TKind::Infinity) {
    if (ua.Kind == TKind::Infinity && ub.Kind == TKind::Infinity && !sameSign) return kDefaultNaN;
    return Infinity(ua.Kind == TKind::Infinity ? ua.Negative : ub.Negative);
  }
  if (ua.Kind == TKind::Zero && ub.Kind == TKind::Zero) return Zero(ua.Negative && ub.Negative);
  if (ub.Kind == TKind::Zero) return a;
  if (ua.Kind == TKind::Zero) return Pack(ub.Negative, b.SignExponent() & 0x7FFF, b.Significand());
  // |a| >= |b| from here on.
  if (ua.Exponent < ub.Exponent || (ua.Exponent == ub.Exponent && ua.Significand < ub.Significand))
    std::swap(ua, ub);
  const TU128 x = ShiftLeft(TU128{0, ua.Significand}, 63);
  const TU128 y = ShiftRightJam(ShiftLeft(TU128{0, ub.Significand}, 63), ua.Exponent - ub.Exponent);
  TU128 r = sameSign ? Add(x, y) : Sub(x, y);
  if (IsZero(r)) return Zero(false);
  const int lz = CountLeadingZeros(r);
  return RoundPack(ua.Negative, ua.Exponent + 1 - lz, ShiftLeft(r, lz));
}

// Digits of a big natural number kept in base 10^9, least significant limb first.
using TBigDecimal = std::vector<uint32_t>;

void MultiplySmall(TBigDecimal& n, uint64_t k) {
  uint64_t carry = 0;
  for (uint32_t& limb : n) {
    const uint64_t t = limb * k + carry;
    limb = static_cast<uint32_t>(t % 1000000000u);
    carry = t / 1000000000u;
  }
  while (carry != 0) {
    n.push_back(static_cast<uint32_t>(carry % 1000000000u));
    carry /= 1000000000u;
  }
}

std::string DecimalDigits(const TBigDecimal& n) {
  std::string s = std::to_string(n.back());
  for (size_t i = n.size() - 1; i-- > 0;) {
    const std::string limb = std::to_string(n[i]);
    s += std::string(9 - limb.size(), '0') + limb;
  }
  return s;
}

}  // namespace

TSoftExtended::operator double() const {
  const TUnpacked u = Unpack(*this);
  const uint64_t sign = u.Negative ? 0x8000000000000000ull : 0;
  switch (u.Kind) {
    case TKind::Zero:
      return std::bit_cast<double>(sign);
    case TKind::Infinity:
      return std::bit_cast<double>(sign | 0x7FF0000000000000ull);
    case TKind::NaN:
      return std::bit_cast<double>(sign | 0x7FF8000000000000ull |
                                   ((u.Significand >> 11) & 0xFFFFFFFFFFFFFull));
    case TKind::Invalid:
      return std::bit_cast<double>(0xFFF8000000000000ull);
    case TKind::Finite:
      break;
  }
  // Keep 53 bits (fewer for a subnormal double), round to nearest even.
  const int64_t shift = u.Exponent >= -1022 ? 11 : 11 + (-1022 - u.Exponent);
  uint64_t q, rest, half;
  if (shift >= 65) {
    return std::bit_cast<double>(sign);
  } else if (shift == 64) {
    q = 0;
    rest = u.Significand;
    half = kIntegerBit;
  } else {
    q = u.Significand >> shift;
    rest = u.Significand & ((uint64_t{1} << shift) - 1);
    half = uint64_t{1} << (shift - 1);
  }
  if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  if (u.Exponent < -1022) return std::bit_cast<double>(sign | q);  // a carry makes it normal
  int64_t exponent = u.Exponent;
  if (q == (uint64_t{1} << 53)) {
    q >>= 1;
    ++exponent;
  }
  if (exponent > 1023) return std::bit_cast<double>(sign | 0x7FF0000000000000ull);
  return std::bit_cast<double>(sign | (static_cast<uint64_t>(exponent + 1023) << 52) |
                               (q & 0xFFFFFFFFFFFFFull));
}

TSoftExtended::operator int64_t() const {
  const TUnpacked u = Unpack(*this);
  constexpr int64_t kIndefinite = INT64_MIN;
  if (u.Kind == TKind::Zero) return 0;
  if (u.Kind != TKind::Finite || u.Exponent >= 63) return kIndefinite;
  if (u.Exponent < 0) return 0;
  const uint64_t magnitude = u.Significand >> (63 - u.Exponent);
  return u.Negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

TSoftExtended::operator int32_t() const {
  const TUnpacked u = Unpack(*this);
  if (u.Kind == TKind::Finite && u.Exponent >= 32) return INT32_MIN;
  const int64_t v = static_cast<int64_t>(*this);
  if (v < INT32_MIN || v > INT32_MAX) return INT32_MIN;
  return static_cast<int32_t>(v);
}

TSoftExtended operator+(TSoftExtended a, TSoftExtended b) {
  return AddMagnitudes(a, b, false);
}

TSoftExtended operator-(TSoftExtended a, TSoftExtended b) {
  return AddMagnitudes(a, b, true);
}

TSoftExtended operator*(TSoftExtended a, TSoftExtended b) {
  const TUnpacked ua = Unpack(a), ub = Unpack(b);
  if (AnyInvalid(ua, ub)) return kDefaultNaN;
  if (AnyNaN(ua, ub)) return PropagateNaN(a, ua, b, ub);
  const bool negative = ua.Negative != ub.Negative;
  if (ua.Kind == TKind::Infinity || ub.Kind == TKind::Infinity) {
    if (ua.Kind == TKind::Zero || ub.Kind == TKind::Zero) return kDefaultNaN;
    return Infinity(negative);
  }
  if (ua.Kind == TKind::Zero || ub.Kind == TKind::Zero) return Zero(negative);
  TU128 p = Multiply(ua.Significand, ub.Significand);
  int64_t exponent = ua.Exponent + ub.Exponent;
  if ((p.Hi & kIntegerBit) != 0)
    ++exponent;
  else
    p = ShiftLeft(p, 1);
  return RoundPack(negative, exponent, p);
}

TSoftExtended operator/(TSoftExtended a, TSoftExtended b) {
  const TUnpacked ua = Unpack(a), ub = Unpack(b);
  if (AnyInvalid(ua, ub)) return kDefaultNaN;
  if (AnyNaN(ua, ub)) return PropagateNaN(a, ua, b, ub);
  const bool negative = ua.Negative != ub.Negative;
  if (ua.Kind == TKind::Infinity)
    return ub.Kind == TKind::Infinity ? kDefaultNaN : Infinity(negative);
  if (ub.Kind == TKind::Infinity) return Zero(negative);
  if (ub.Kind == TKind::Zero) return ua.Kind == TKind::Zero ? kDefaultNaN : Infinity(negative);
  if (ua.Kind == TKind::Zero) return Zero(negative);
  // Long division: 64 quotient bits (the first one the integer bit), a round bit and a
  // sticky bit.
  int64_t exponent = ua.Exponent - ub.Exponent;
  TU128 r{0, ua.Significand};
  const TU128 d{0, ub.Significand};
  if (ua.Significand < ub.Significand) {
    r = ShiftLeft(r, 1);
    --exponent;
  }
  uint64_t q = 0;
  for (int i = 0; i < 64; ++i) {
    q <<= 1;
    if (!Less(r, d)) {
      r = Sub(r, d);
      q |= 1;
    }
    r = ShiftLeft(r, 1);
  }
  TU128 s{q, 0};
  if (!Less(r, d)) {
    r = Sub(r, d);
    s.Lo = kIntegerBit;
  }
  if (!IsZero(r)) s.Lo |= 1;
  return RoundPack(negative, exponent, s);
}

bool operator==(TSoftExtended a, TSoftExtended b) {
  const TUnpacked ua = Unpack(a), ub = Unpack(b);
  if (ua.Kind == TKind::NaN || ub.Kind == TKind::NaN || AnyInvalid(ua, ub)) return false;
  if (ua.Kind == TKind::Zero && ub.Kind == TKind::Zero) return true;
  return a.SignExponent() == b.SignExponent() && a.Significand() == b.Significand();
}

namespace {

// -1, 0 or 1 for ordered operands (neither NaN).
int CompareOrdered(TSoftExtended a, const TUnpacked& ua, TSoftExtended b, const TUnpacked& ub) {
  if (ua.Kind == TKind::Zero && ub.Kind == TKind::Zero) return 0;
  const bool aNeg = ua.Negative && ua.Kind != TKind::Zero;
  const bool bNeg = ub.Negative && ub.Kind != TKind::Zero;
  if (aNeg != bNeg) return aNeg ? -1 : 1;
  // Same sign: order of magnitudes, from the exponent and then the significand.
  const int ea = a.SignExponent() & 0x7FFF, eb = b.SignExponent() & 0x7FFF;
  int c = 0;
  if (ua.Kind == TKind::Zero)
    c = -1;
  else if (ub.Kind == TKind::Zero)
    c = 1;
  else if (ea != eb)
    c = ea < eb ? -1 : 1;
  else if (a.Significand() != b.Significand())
    c = a.Significand() < b.Significand() ? -1 : 1;
  return aNeg ? -c : c;
}

}  // namespace

bool operator<(TSoftExtended a, TSoftExtended b) {
  const TUnpacked ua = Unpack(a), ub = Unpack(b);
  if (ua.Kind == TKind::NaN || ub.Kind == TKind::NaN || AnyInvalid(ua, ub)) return false;
  return CompareOrdered(a, ua, b, ub) < 0;
}

bool operator<=(TSoftExtended a, TSoftExtended b) {
  const TUnpacked ua = Unpack(a), ub = Unpack(b);
  if (ua.Kind == TKind::NaN || ub.Kind == TKind::NaN || AnyInvalid(ua, ub)) return false;
  return CompareOrdered(a, ua, b, ub) <= 0;
}

TSoftExtended Sqrt(TSoftExtended v) {
  const TUnpacked u = Unpack(v);
  if (u.Kind == TKind::Invalid) return kDefaultNaN;
  if (u.Kind == TKind::NaN) return Quiet(v);
  if (u.Kind == TKind::Zero) return v;
  if (u.Negative) return kDefaultNaN;
  if (u.Kind == TKind::Infinity) return v;
  // n = m * 2^63 or m * 2^64 so that its root has 64 bits and the exponent halves.
  const bool odd = (u.Exponent & 1) != 0;
  const int64_t exponent = (u.Exponent - (odd ? 1 : 0)) / 2;
  const TU128 n = ShiftLeft(TU128{0, u.Significand}, odd ? 64 : 63);
  uint64_t root = 0;
  TU128 rem;
  for (int i = 63; i >= 0; --i) {
    const uint64_t pair = i >= 32 ? (n.Hi >> (2 * (i - 32))) & 3 : (n.Lo >> (2 * i)) & 3;
    rem = Add(ShiftLeft(rem, 2), TU128{0, pair});
    const TU128 trial = Add(ShiftLeft(TU128{0, root}, 2), TU128{0, 1});
    root <<= 1;
    if (!Less(rem, trial)) {
      rem = Sub(rem, trial);
      root |= 1;
    }
  }
  // The root lies past root + 1/2 exactly when rem > root; it is never exactly there.
  TU128 s{root, 0};
  if (Less(TU128{0, root}, rem))
    s.Lo = kIntegerBit | 1;
  else if (!IsZero(rem))
    s.Lo = 1;
  return RoundPack(false, exponent, s);
}

TSoftExtended Fabs(TSoftExtended v) {
  return TSoftExtended::FromBits(static_cast<uint16_t>(v.SignExponent() & 0x7FFF), v.Significand());
}

namespace {

enum class TDirection { Down, Up, TowardZero };

TSoftExtended RoundToIntegral(TSoftExtended v, TDirection direction) {
  const TUnpacked u = Unpack(v);
  if (u.Kind == TKind::Invalid) return kDefaultNaN;
  if (u.Kind == TKind::NaN) return Quiet(v);
  if (u.Kind != TKind::Finite || u.Exponent >= 63) return v;
  const bool away =
      (direction == TDirection::Down && u.Negative) || (direction == TDirection::Up && !u.Negative);
  if (u.Exponent < 0) return away ? TSoftExtended(u.Negative ? -1 : 1) : Zero(u.Negative);
  const uint64_t unit = uint64_t{1} << (63 - u.Exponent);
  const uint64_t fraction = u.Significand & (unit - 1);
  if (fraction == 0) return v;
  uint64_t m = u.Significand - fraction;
  int64_t exponent = u.Exponent;
  if (away) {
    m += unit;
    if (m == 0) {
      m = kIntegerBit;
      ++exponent;
    }
  }
  return Pack(u.Negative, static_cast<int>(exponent + kBias), m);
}

}  // namespace

TSoftExtended Floor(TSoftExtended v) {
  return RoundToIntegral(v, TDirection::Down);
}

TSoftExtended Ceil(TSoftExtended v) {
  return RoundToIntegral(v, TDirection::Up);
}

TSoftExtended Trunc(TSoftExtended v) {
  return RoundToIntegral(v, TDirection::TowardZero);
}

TSoftExtended Fmod(TSoftExtended x, TSoftExtended y) {
  const TUnpacked ux = Unpack(x), uy = Unpack(y);
  if (AnyInvalid(ux, uy)) return kDefaultNaN;
  if (AnyNaN(ux, uy)) return PropagateNaN(x, ux, y, uy);
  if (ux.Kind == TKind::Infinity || uy.Kind == TKind::Zero) return kDefaultNaN;
  if (ux.Kind == TKind::Zero || uy.Kind == TKind::Infinity) return x;
  if (ux.Exponent < uy.Exponent) return x;
  // The remainder of the significands, one quotient bit per exponent step.
  TU128 r{0, ux.Significand};
  const TU128 d{0, uy.Significand};
  for (int64_t k = ux.Exponent - uy.Exponent;; --k) {
    if (!Less(r, d)) r = Sub(r, d);
    if (k == 0) break;
    r = ShiftLeft(r, 1);
  }
  if (IsZero(r)) return Zero(ux.Negative);
  const int lz = CountLeadingZeros(r);
  return RoundPack(ux.Negative, uy.Exponent + 64 - lz, ShiftLeft(r, lz));
}

TSoftExtended Ldexp(TSoftExtended v, int exponent) {
  const TUnpacked u = Unpack(v);
  if (u.Kind == TKind::Invalid) return kDefaultNaN;
  if (u.Kind == TKind::NaN) return Quiet(v);
  if (u.Kind != TKind::Finite) return v;
  return RoundPack(u.Negative, u.Exponent + exponent, TU128{u.Significand, 0});
}

bool IsNaN(TSoftExtended v) {
  const TKind k = Unpack(v).Kind;
  return k == TKind::NaN || k == TKind::Invalid;
}

bool IsInf(TSoftExtended v) {
  return Unpack(v).Kind == TKind::Infinity;
}

bool IsFinite(TSoftExtended v) {
  const TKind k = Unpack(v).Kind;
  return k == TKind::Zero || k == TKind::Finite;
}

bool SignBit(TSoftExtended v) {
  return (v.SignExponent() & 0x8000u) != 0;
}

int Ilogb(TSoftExtended v) {
  return static_cast<int>(Unpack(v).Exponent);
}

// The elementary functions: the one series for both extended types.
TSoftExtended Sin(TSoftExtended v) {
  return SineOf(v);
}
TSoftExtended Cos(TSoftExtended v) {
  return CosineOf(v);
}
TSoftExtended Exp(TSoftExtended v) {
  return ExponentialOf(v);
}
TSoftExtended Log(TSoftExtended v) {
  return LogarithmOf(v);
}
TSoftExtended Atan2(TSoftExtended y, TSoftExtended x) {
  return ArcTangentOf(y, x);
}

std::string ToScientific(TSoftExtended v, int precision) {
  const TUnpacked u = Unpack(v);
  std::string sign = u.Negative ? "-" : "";
  if (u.Kind != TKind::Finite) {
    std::string zeros = "0";
    if (precision > 0) zeros += "." + std::string(static_cast<size_t>(precision), '0');
    return sign + zeros + "e+00";
  }
  // The value is m 2^q: an integer times a power of two, written exactly in decimal.
  const int64_t q = u.Exponent - 63;
  TBigDecimal n{static_cast<uint32_t>(u.Significand % 1000000000u),
                static_cast<uint32_t>(u.Significand / 1000000000u % 1000000000u),
                static_cast<uint32_t>(u.Significand / 1000000000000000000u)};
  while (n.size() > 1 && n.back() == 0) n.pop_back();
  int64_t pointShift = 0;  // value = n / 10^pointShift
  for (int64_t k = q; k > 0; k -= 29) MultiplySmall(n, uint64_t{1} << (k < 29 ? k : 29));
  for (int64_t k = -q; k > 0; k -= 13) {
    uint64_t five = 1;
    for (int64_t i = 0; i < (k < 13 ? k : 13); ++i) five *= 5;
    MultiplySmall(n, five);
  }
  if (q < 0) pointShift = -q;
  std::string digits = DecimalDigits(n);
  int64_t exponent10 = static_cast<int64_t>(digits.size()) - 1 - pointShift;
  // Round to precision + 1 significant digits, halves to even.
  const size_t keep = static_cast<size_t>(precision) + 1;
  if (digits.size() > keep) {
    const char next = digits[keep];
    bool beyond = false;
    for (size_t i = keep + 1; i < digits.size() && !beyond; ++i) beyond = digits[i] != '0';
    digits.resize(keep);
    const bool up = next > '5' || (next == '5' && (beyond || (digits.back() - '0') % 2 == 1));
    if (up) {
      size_t i = keep;
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i == 0) {
        digits.insert(digits.begin(), '1');
        digits.pop_back();
        ++exponent10;
      } else {
        ++digits[i - 1];
      }
    }
  } else {
    digits += std::string(keep - digits.size(), '0');
  }
  std::string text = sign + digits.substr(0, 1);
  if (precision > 0) text += "." + digits.substr(1);
  const int64_t magnitude = exponent10 < 0 ? -exponent10 : exponent10;
  std::string e = std::to_string(magnitude);
  if (e.size() < 2) e = "0" + e;
  return text + (exponent10 < 0 ? "e-" : "e+") + e;
}

}  // namespace ormax
