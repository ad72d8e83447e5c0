// ExtendedOperands: operands of the extended format aimed at its hard cases, from a
// seeded generator (the same sequence on every processor).
//   TBits (a value's 10 stored bytes), BitsOf, Soft, Hex, and on x87 Hard / HardBits
//   (the same bytes as a long double); TOperands (significands with
//   runs and few bits, specials, values near a power of two); Pair (two operands for an
//   operation, from the hard-case families); Single (one operand for sqrt and the like)
#pragma once

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <random>
#include <string>
#include <utility>

#include "numerics/SoftExtended.h"

namespace ormax {

struct TBits {
  uint16_t SignExponent;
  uint64_t Significand;
  bool operator==(const TBits&) const = default;
};

inline TBits BitsOf(TSoftExtended v) {
  return {v.SignExponent(), v.Significand()};
}
inline TSoftExtended Soft(TBits b) {
  return TSoftExtended::FromBits(b.SignExponent, b.Significand);
}

#if LDBL_MANT_DIG == 64
// The stored bytes as an x87 long double, and back.
inline long double Hard(TBits b) {
  long double v = 0;
  std::memcpy(&v, &b.Significand, 8);
  std::memcpy(reinterpret_cast<unsigned char*>(&v) + 8, &b.SignExponent, 2);
  return v;
}
inline TBits HardBits(long double v) {
  TBits b;
  std::memcpy(&b.Significand, &v, 8);
  std::memcpy(&b.SignExponent, reinterpret_cast<const unsigned char*>(&v) + 8, 2);
  return b;
}
#endif

inline std::string Hex(TBits b) {
  char s[40];
  std::snprintf(s, sizeof s, "%04x:%016llx", b.SignExponent,
                static_cast<unsigned long long>(b.Significand));
  return s;
}

// ---- operands aimed at the hard cases ----

class TOperands {
 public:
  explicit TOperands(uint64_t seed) : rng_(seed) {}

  uint64_t Next() { return rng_(); }
  bool Coin() { return (rng_() & 1) != 0; }

  // A significand with the integer bit: uniformly random, or long runs of ones and
  // zeros, or only a few bits set (so that results are exact or halfway).
  uint64_t Significand() {
    const uint64_t r = rng_();
    switch (rng_() % 4) {
      case 0: {
        const int a = static_cast<int>(rng_() % 64), b = static_cast<int>(rng_() % 64);
        const uint64_t run = a > b ? (~0ull >> (63 - a)) & (~0ull << b) : ~0ull >> a;
        return 0x8000000000000000ull | (Coin() ? run : ~run);
      }
      case 1:
        return 0x8000000000000000ull | (r & rng_() & rng_() & rng_());
      default:
        return 0x8000000000000000ull | r;
    }
  }

  // value = significand 2^(exponent - 63); denormalised (or clamped) where the format
  // has no such exponent.
  static TBits Make(bool negative, int64_t exponent, uint64_t significand) {
    int64_t biased = exponent + 16383;
    if (biased >= 0x7FFF) biased = 0x7FFE;
    if (biased <= 0) {
      const int64_t shift = 1 - biased;
      significand = shift >= 64 ? 1 : significand >> shift;
      if (significand == 0) significand = 1;
      biased = 0;
    }
    return {static_cast<uint16_t>((negative ? 0x8000 : 0) | biased), significand};
  }

  TBits Finite() {  // any finite nonzero value, subnormals included
    const int64_t biased = static_cast<int64_t>(rng_() % 0x7FFF);
    return Make(Coin(), biased == 0 ? -16383 - static_cast<int64_t>(rng_() % 64) : biased - 16383,
                Significand());
  }

  TBits Special() {
    const bool negative = Coin();
    const uint16_t sign = negative ? 0x8000 : 0;
    const uint64_t payload = rng_() >> (rng_() % 64);
    switch (rng_() % 10) {
      case 0:
        return {sign, 0};
      case 1:
        return {static_cast<uint16_t>(sign | 0x7FFF), 0x8000000000000000ull};
      case 2:  // quiet NaN
        return {static_cast<uint16_t>(sign | 0x7FFF), 0xC000000000000000ull | (payload >> 2)};
      case 3:  // signalling NaN
        return {static_cast<uint16_t>(sign | 0x7FFF), 0x8000000000000000ull | ((payload >> 2) | 1)};
      case 4:  // the smallest subnormals
        return {sign, 1 + (rng_() % 4)};
      case 5:  // the largest subnormals
        return {sign, 0x7FFFFFFFFFFFFFFFull - (rng_() % 4)};
      case 6:  // the smallest normals
        return {static_cast<uint16_t>(sign | 1), 0x8000000000000000ull + (rng_() % 4)};
      case 7:  // the largest finite values
        return {static_cast<uint16_t>(sign | 0x7FFE), ~0ull - (rng_() % 4)};
      case 8:
        return Make(negative, 0, 0x8000000000000000ull);  // one
      default:
        return Finite();
    }
  }

  // A value near 2^exponent (with a random significand).
  TBits Near(int64_t exponent) { return Make(Coin(), exponent, Significand()); }

  static int64_t ExponentOf(TBits b) {  // of a normal value
    return (b.SignExponent & 0x7FFF) - 16383;
  }

 private:
  std::mt19937_64 rng_;
};

enum class TOperation { Add, Subtract, Multiply, Divide };

// Close exponents: cancellation, quotients near one.
inline std::pair<TBits, TBits> CloseExponentPair(TOperands& g) {
  const TBits a = g.Near(static_cast<int64_t>(g.Next() % 2000) - 1000);
  TBits b = g.Near(TOperands::ExponentOf(a) + static_cast<int64_t>(g.Next() % 5) - 2);
  if (g.Next() % 4 == 0) b.Significand = a.Significand ^ (g.Next() >> (g.Next() % 64) >> 1);
  return {a, b};
}

// Exponents far apart, around the rounding position and beyond.
inline std::pair<TBits, TBits> FarExponentPair(TOperands& g) {
  const TBits a = g.Near(static_cast<int64_t>(g.Next() % 2000) - 1000);
  const int64_t gap =
      g.Coin() ? 58 + static_cast<int64_t>(g.Next() % 12) : static_cast<int64_t>(g.Next() % 20000);
  const TBits b = g.Near(TOperands::ExponentOf(a) - gap);
  return g.Coin() ? std::pair{a, b} : std::pair{b, a};
}

// Exact halfway results; for the quotient, results a unit or less from a representable q.
inline std::pair<TBits, TBits> HalfwayPair(TOperands& g, TOperation op) {
  const TBits a = g.Near(static_cast<int64_t>(g.Next() % 2000) - 1000);
  const int64_t e = TOperands::ExponentOf(a);
  if (op == TOperation::Multiply) {
    // An odd significand times a short odd one: 65 bits and more, the last one set.
    const uint64_t odd = (g.Next() % 255) | 1;
    const int width = std::bit_width(odd);
    TBits b =
        TOperands::Make(g.Coin(), static_cast<int64_t>(g.Next() % 200) - 100, odd << (64 - width));
    return {TBits{a.SignExponent, a.Significand | 1}, b};
  }
  if (op == TOperation::Divide) {
    // a = b q rounded: the quotient is q or one unit away.
    const TBits b = g.Near(static_cast<int64_t>(g.Next() % 200) - 100);
    const TSoftExtended q = Soft(g.Near(static_cast<int64_t>(g.Next() % 200) - 100));
    return {BitsOf(Soft(b) * q), b};
  }
  // Half a unit of a's last place times a short odd integer.
  const uint64_t odd = (g.Next() % (1u << 20)) | 1;
  const int width = std::bit_width(odd);
  const TBits b = TOperands::Make(g.Coin(), e - 64 + width - 1, odd << (64 - width));
  return g.Coin() ? std::pair{a, b} : std::pair{b, a};
}

// Operands whose result lies at the bottom of the range: subnormal or just normal.
inline std::pair<TBits, TBits> BottomOfRangePair(TOperands& g, TOperation op) {
  const int64_t target = -16382 - static_cast<int64_t>(g.Next() % 70);
  if (op == TOperation::Multiply) {
    const int64_t ea = static_cast<int64_t>(g.Next() % 16000) - 8000;
    return {g.Near(ea), g.Near(target - ea)};
  }
  if (op == TOperation::Divide) {
    const int64_t eb = static_cast<int64_t>(g.Next() % 8000);
    return {g.Near(target + eb), g.Near(eb)};
  }
  return {g.Near(-16383 - static_cast<int64_t>(g.Next() % 66)), g.Near(target + 2)};
}

// Operands whose result lies at the top of the range: overflow or just not.
inline std::pair<TBits, TBits> TopOfRangePair(TOperands& g, TOperation op) {
  const int64_t target = 16382 + static_cast<int64_t>(g.Next() % 3) - 1;
  if (op == TOperation::Multiply) {
    const int64_t ea = static_cast<int64_t>(g.Next() % 16000) - 8000;
    return {g.Near(target - ea), g.Near(ea)};
  }
  if (op == TOperation::Divide) {
    const int64_t eb = -static_cast<int64_t>(g.Next() % 8000);
    return {g.Near(target + eb), g.Near(eb)};
  }
  TBits a = TOperands::Make(false, 16383, ~0ull - (g.Next() % 1024));
  TBits b = g.Near(16383 - static_cast<int64_t>(g.Next() % 70));
  a.SignExponent = static_cast<uint16_t>(a.SignExponent | (g.Coin() ? 0x8000 : 0));
  return {a, TBits{static_cast<uint16_t>((b.SignExponent & 0x7FFF) | (a.SignExponent & 0x8000)),
                   b.Significand}};
}

// x and -x, x and x, zeros of both signs.
inline std::pair<TBits, TBits> SameMagnitudePair(TOperands& g) {
  const TBits a = g.Coin() ? g.Finite() : TBits{static_cast<uint16_t>(g.Coin() ? 0x8000 : 0), 0};
  TBits b = a;
  if (g.Coin()) b.SignExponent ^= 0x8000;
  return {a, b};
}

// Two NaNs: which one wins, payloads equal or not.
inline std::pair<TBits, TBits> NaNPair(TOperands& g) {
  TBits a = g.Special(), b = g.Special();
  a.SignExponent |= 0x7FFF;
  b.SignExponent |= 0x7FFF;
  a.Significand |= 0x8000000000000000ull;
  b.Significand |= 0x8000000000000000ull;
  if (a.Significand == 0x8000000000000000ull) a.Significand |= 1;
  if (g.Coin()) b.Significand = a.Significand ^ (g.Coin() ? 0x4000000000000000ull : 0);
  return {a, b};
}

// A pair for the operation, from one of the hard-case families.
inline std::pair<TBits, TBits> Pair(TOperands& g, TOperation op) {
  const uint64_t family = g.Next() % 10;
  switch (family) {
    case 0:
      return {g.Finite(), g.Finite()};
    case 1:
      return {g.Special(), g.Special()};
    case 2:
      return g.Coin() ? std::pair{g.Special(), g.Finite()} : std::pair{g.Finite(), g.Special()};
    case 3:
      return CloseExponentPair(g);
    case 4:
      return FarExponentPair(g);
    case 5:
      return HalfwayPair(g, op);
    case 6:
      return BottomOfRangePair(g, op);
    case 7:
      return TopOfRangePair(g, op);
    case 8:
      return SameMagnitudePair(g);
    default:
      return NaNPair(g);
  }
}

// An operand for the one-argument operations: any family of Pair's first operands, the
// results of the products (squares near halfway), and integers with fractions.
inline TBits Single(TOperands& g, int64_t i) {
  switch (i % 4) {
    case 0: {
      const TSoftExtended r = Soft(g.Near(static_cast<int64_t>(g.Next() % 30000) - 15000));
      return BitsOf(Fabs(r * r) + Soft(g.Near(-80)) * Fabs(r * r) * (g.Coin() ? 1 : 0));
    }
    case 1:
      return g.Near(static_cast<int64_t>(g.Next() % 140) - 70);
    default:
      return Pair(g, static_cast<TOperation>(g.Next() % 4)).first;
  }
}

}  // namespace ormax
