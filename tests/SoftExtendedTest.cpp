// The software extended type against the processor's: on x86-64, every operation on
// millions of random operand pairs must give the very 10 bytes that x87 gives (NaN
// payload and sign included). The pairs are aimed at the hard cases: halfway results,
// far-apart exponents, cancellation, subnormal and overflowing results, signed zeros,
// infinities and NaN. ORMAX_SOFT_EXTENDED_CASES (environment) sets the pairs per
// operation (default ten million). The elementary functions, one series for both
// types, must give the same bits on both. Elsewhere only the platform-free checks run.
#include "numerics/SoftExtended.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "numerics/Elementary.h"
#include "numerics/Extended.h"

namespace ormax {
namespace {

struct TBits {
  uint16_t SignExponent;
  uint64_t Significand;
  bool operator==(const TBits&) const = default;
};

TBits BitsOf(TSoftExtended v) {
  return {v.SignExponent(), v.Significand()};
}
TSoftExtended Soft(TBits b) {
  return TSoftExtended::FromBits(b.SignExponent, b.Significand);
}

std::string Hex(TBits b) {
  char s[40];
  std::snprintf(s, sizeof s, "%04x:%016llx", b.SignExponent,
                static_cast<unsigned long long>(b.Significand));
  return s;
}

int64_t CasesPerOperation() {
  const char* text = std::getenv("ORMAX_SOFT_EXTENDED_CASES");
  if (text != nullptr && *text != '\0') return std::atoll(text);
  return 10000000;
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

// A pair for the operation, from one of the hard-case families.
std::pair<TBits, TBits> Pair(TOperands& g, TOperation op) {
  const uint64_t family = g.Next() % 10;
  switch (family) {
    case 0:
      return {g.Finite(), g.Finite()};
    case 1:
      return {g.Special(), g.Special()};
    case 2:
      return g.Coin() ? std::pair{g.Special(), g.Finite()} : std::pair{g.Finite(), g.Special()};
    case 3: {  // close exponents: cancellation, quotients near one
      const TBits a = g.Near(static_cast<int64_t>(g.Next() % 2000) - 1000);
      TBits b = g.Near(TOperands::ExponentOf(a) + static_cast<int64_t>(g.Next() % 5) - 2);
      if (g.Next() % 4 == 0) b.Significand = a.Significand ^ (g.Next() >> (g.Next() % 64) >> 1);
      return {a, b};
    }
    case 4: {  // exponents far apart, around the rounding position and beyond
      const TBits a = g.Near(static_cast<int64_t>(g.Next() % 2000) - 1000);
      const int64_t gap = g.Coin() ? 58 + static_cast<int64_t>(g.Next() % 12)
                                   : static_cast<int64_t>(g.Next() % 20000);
      const TBits b = g.Near(TOperands::ExponentOf(a) - gap);
      return g.Coin() ? std::pair{a, b} : std::pair{b, a};
    }
    case 5: {  // exact halfway results
      const TBits a = g.Near(static_cast<int64_t>(g.Next() % 2000) - 1000);
      const int64_t e = TOperands::ExponentOf(a);
      if (op == TOperation::Multiply) {
        // An odd significand times a short odd one: 65 bits and more, the last one set.
        const uint64_t odd = (g.Next() % 255) | 1;
        const int width = std::bit_width(odd);
        TBits b = TOperands::Make(g.Coin(), static_cast<int64_t>(g.Next() % 200) - 100,
                                  odd << (64 - width));
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
    case 6: {  // results at the bottom of the range: subnormal or just normal
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
    case 7: {  // results at the top of the range: overflow or just not
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
    case 8: {  // x and -x, x and x, zeros of both signs
      const TBits a =
          g.Coin() ? g.Finite() : TBits{static_cast<uint16_t>(g.Coin() ? 0x8000 : 0), 0};
      TBits b = a;
      if (g.Coin()) b.SignExponent ^= 0x8000;
      return {a, b};
    }
    default: {  // two NaNs: which one wins, payloads equal or not
      TBits a = g.Special(), b = g.Special();
      a.SignExponent |= 0x7FFF;
      b.SignExponent |= 0x7FFF;
      a.Significand |= 0x8000000000000000ull;
      b.Significand |= 0x8000000000000000ull;
      if (a.Significand == 0x8000000000000000ull) a.Significand |= 1;
      if (g.Coin()) b.Significand = a.Significand ^ (g.Coin() ? 0x4000000000000000ull : 0);
      return {a, b};
    }
  }
}

#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))

long double Hard(TBits b) {
  long double v = 0;
  std::memcpy(&v, &b.Significand, 8);
  std::memcpy(reinterpret_cast<unsigned char*>(&v) + 8, &b.SignExponent, 2);
  return v;
}
TBits BitsOf(long double v) {
  TBits b;
  std::memcpy(&b.Significand, &v, 8);
  std::memcpy(&b.SignExponent, reinterpret_cast<const unsigned char*>(&v) + 8, 2);
  return b;
}

// Collects the first mismatches of one operation.
class TMismatches {
 public:
  explicit TMismatches(const char* name) : name_(name) {}
  ~TMismatches() { EXPECT_EQ(count_, 0) << count_ << " mismatches of " << name_ << text_; }
  // what() describes the case; it is only called for a mismatch.
  template <typename F>
  void Check(bool same, F what) {
    if (same) return;
    if (++count_ <= 10) text_ += "\n  " + what();
  }

 private:
  const char* name_;
  int64_t count_ = 0;
  std::string text_;
};

TEST(SoftExtended, PrecisionControlIs64Bit) {
  uint16_t control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  EXPECT_EQ((control >> 8) & 3, 3) << "x87 precision control is not 64-bit";
  EXPECT_EQ((control >> 10) & 3, 0) << "x87 rounding is not to nearest";
}

template <typename H, typename S>
void CompareBinary(TOperation op, const char* name, uint64_t seed, H hard, S soft) {
  TOperands g(seed);
  TMismatches mismatches(name);
  const int64_t cases = CasesPerOperation();
  for (int64_t i = 0; i < cases; ++i) {
    const auto [a, b] = Pair(g, op);
    const TBits want = BitsOf(hard(Hard(a), Hard(b)));
    const TBits got = BitsOf(soft(Soft(a), Soft(b)));
    mismatches.Check(want == got, [&] {
      return Hex(a) + " " + name + " " + Hex(b) + ": x87 " + Hex(want) + ", software " + Hex(got);
    });
  }
}

TEST(SoftExtended, AddMatchesX87) {
  CompareBinary(
      TOperation::Add, "+", 1, [](long double a, long double b) { return a + b; },
      [](TSoftExtended a, TSoftExtended b) { return a + b; });
}

TEST(SoftExtended, SubtractMatchesX87) {
  CompareBinary(
      TOperation::Subtract, "-", 2, [](long double a, long double b) { return a - b; },
      [](TSoftExtended a, TSoftExtended b) { return a - b; });
}

TEST(SoftExtended, MultiplyMatchesX87) {
  CompareBinary(
      TOperation::Multiply, "*", 3, [](long double a, long double b) { return a * b; },
      [](TSoftExtended a, TSoftExtended b) { return a * b; });
}

TEST(SoftExtended, DivideMatchesX87) {
  CompareBinary(
      TOperation::Divide, "/", 4, [](long double a, long double b) { return a / b; },
      [](TSoftExtended a, TSoftExtended b) { return a / b; });
}

TEST(SoftExtended, ComparisonsMatchX87) {
  TOperands g(5);
  TMismatches mismatches("comparisons");
  const int64_t cases = CasesPerOperation();
  for (int64_t i = 0; i < cases; ++i) {
    const auto [a, b] = Pair(g, TOperation::Subtract);
    const long double x = Hard(a), y = Hard(b);
    const TSoftExtended p = Soft(a), q = Soft(b);
    const int want =
        (x == y) | (x != y) << 1 | (x < y) << 2 | (x <= y) << 3 | (x > y) << 4 | (x >= y) << 5;
    const int got =
        (p == q) | (p != q) << 1 | (p < q) << 2 | (p <= q) << 3 | (p > q) << 4 | (p >= q) << 5;
    mismatches.Check(want == got, [&] {
      return Hex(a) + " ? " + Hex(b) + ": x87 " + std::to_string(want) + ", software " +
             std::to_string(got);
    });
  }
}

// An operand for the one-argument operations: any family of Pair's first operands, the
// results of the products (squares near halfway), and integers with fractions.
TBits Single(TOperands& g, int64_t i) {
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

TEST(SoftExtended, SquareRootMatchesX87) {
  TOperands g(6);
  TMismatches mismatches("sqrt");
  const int64_t cases = CasesPerOperation();
  for (int64_t i = 0; i < cases; ++i) {
    const TBits a = Single(g, i);
    const TBits want = BitsOf(std::sqrt(Hard(a)));
    const TBits got = BitsOf(Sqrt(Soft(a)));
    mismatches.Check(want == got, [&] {
      return "sqrt " + Hex(a) + ": x87 " + Hex(want) + ", software " + Hex(got);
    });
  }
}

TEST(SoftExtended, ConversionsMatchX87) {
  TOperands g(7);
  TMismatches toDouble("to double"), fromDouble("from double"), toInt("to integers"),
      fromInt("from integers");
  const int64_t cases = CasesPerOperation();
  for (int64_t i = 0; i < cases; ++i) {
    // Values around the double range's ends and its halfway points as well.
    TBits a = Single(g, i);
    if (i % 3 == 0) a = g.Near(static_cast<int64_t>(g.Next() % 2200) - 1100);
    if (i % 7 == 0) a.Significand = (a.Significand & ~0x7FFull) | (g.Coin() ? 0x400 : 0x3FF);
    const double hd = static_cast<double>(Hard(a)), sd = static_cast<double>(Soft(a));
    toDouble.Check(std::memcmp(&hd, &sd, 8) == 0, [&] { return "double(" + Hex(a) + ")"; });

    const uint64_t raw = g.Next();
    double d;
    std::memcpy(&d, &raw, 8);
    if (i % 2 == 0) d = static_cast<double>(Hard(a));
    fromDouble.Check(BitsOf(static_cast<long double>(d)) == BitsOf(TSoftExtended(d)),
                     [&] { return "from double " + std::to_string(raw); });

    // Truncation; out of range and NaN give the integer indefinite (fistp's answer).
    TBits t = i % 2 == 0 ? g.Near(static_cast<int64_t>(g.Next() % 70) - 3) : a;
    long double ht = Hard(t);
    int64_t h64;
    int32_t h32;
    __asm__("fisttpll %0" : "=m"(h64) : "t"(ht) : "st");
    __asm__("fisttpl %0" : "=m"(h32) : "t"(ht) : "st");
    toInt.Check(h64 == static_cast<int64_t>(Soft(t)) && h32 == static_cast<int32_t>(Soft(t)), [&] {
      return "integers of " + Hex(t) + ": x87 " + std::to_string(h64) + " " + std::to_string(h32) +
             ", software " + std::to_string(static_cast<int64_t>(Soft(t))) + " " +
             std::to_string(static_cast<int32_t>(Soft(t)));
    });

    const int64_t n = static_cast<int64_t>(g.Next()) >> (g.Next() % 64);
    const int32_t m = static_cast<int32_t>(n);
    const uint64_t u = g.Next() >> (g.Next() % 64);
    fromInt.Check(BitsOf(static_cast<long double>(n)) == BitsOf(TSoftExtended(n)) &&
                      BitsOf(static_cast<long double>(m)) == BitsOf(TSoftExtended(m)) &&
                      BitsOf(static_cast<long double>(u)) == BitsOf(TSoftExtended(u)),
                  [&] { return "from integers " + std::to_string(n) + " " + std::to_string(u); });
  }
}

TEST(SoftExtended, IntegralRoundingsMatchTheLibrary) {
  TOperands g(8);
  TMismatches floors("floor/ceil/trunc"), mods("fmod"), scales("ldexp"), classes("classes");
  const int64_t cases = CasesPerOperation();
  for (int64_t i = 0; i < cases; ++i) {
    TBits a = i % 2 == 0 ? g.Near(static_cast<int64_t>(g.Next() % 80) - 10) : Single(g, i);
    const long double x = Hard(a);
    const TSoftExtended s = Soft(a);
    floors.Check(
        BitsOf(std::floor(x)) == BitsOf(Floor(s)) && BitsOf(std::ceil(x)) == BitsOf(Ceil(s)) &&
            BitsOf(std::trunc(x)) == BitsOf(Trunc(s)) && BitsOf(std::fabs(x)) == BitsOf(Fabs(s)),
        [&] { return "roundings of " + Hex(a); });
    classes.Check(std::isnan(x) == IsNaN(s) && std::isinf(x) == IsInf(s) &&
                      std::isfinite(x) == IsFinite(s) && std::signbit(x) == SignBit(s),
                  [&] { return "classes of " + Hex(a); });
    const int k = static_cast<int>(g.Next() % 40000) - 20000;
    scales.Check(BitsOf(std::ldexp(x, k)) == BitsOf(Ldexp(s, k)),
                 [&] { return "ldexp(" + Hex(a) + ", " + std::to_string(k) + ")"; });
    if (i % 8 == 0) {  // the remainder costs one step per exponent apart: fewer cases
      TBits b = g.Coin() ? g.Near(TOperands::ExponentOf(a) - static_cast<int64_t>(g.Next() % 200))
                         : Single(g, i + 1);
      if (i % 64 == 0) b = g.Special();
      mods.Check(BitsOf(std::fmod(x, Hard(b))) == BitsOf(Fmod(s, Soft(b))), [&] {
        return "fmod(" + Hex(a) + ", " + Hex(b) + "): library " +
               Hex(BitsOf(std::fmod(x, Hard(b)))) + ", software " + Hex(BitsOf(Fmod(s, Soft(b))));
      });
    }
  }
}

TEST(SoftExtended, ScientificTextMatchesPrintf) {
  TOperands g(9);
  TMismatches texts("%Le");
  for (int64_t i = 0; i < 5000; ++i) {
    TBits a = i % 4 == 0 ? g.Finite() : g.Near(static_cast<int64_t>(g.Next() % 400) - 200);
    if (i % 16 == 0)
      a = BitsOf(static_cast<long double>(static_cast<int64_t>(g.Next() % 100000)) / 8);
    const int precision = static_cast<int>(g.Next() % 60);
    char want[200];
    std::snprintf(want, sizeof want, "%.*Le", precision, Hard(a));
    const std::string got = ToScientific(Soft(a), precision);
    texts.Check(got == want, [&] {
      return Hex(a) + " at " + std::to_string(precision) + ": printf " + want + ", software " + got;
    });
  }
}

// The elementary functions need not match the library bit for bit: a few units in the
// last place (of the larger of the result and the smallest normal) are allowed.
TEST(SoftExtended, ElementaryFunctionsAreCloseToTheLibrary) {
  TOperands g(10);
  auto ulps = [](long double want, TSoftExtended got) {
    const long double h = Hard(BitsOf(got));
    if (std::isnan(want) || std::isnan(h)) return std::isnan(want) == std::isnan(h) ? 0.0L : 1e30L;
    if (std::isinf(want) || std::isinf(h)) return want == h ? 0.0L : 1e30L;
    const long double unit = std::ldexp(1.0L, std::max(std::ilogb(want), -16382) - 63);
    return std::fabs(want - h) / unit;
  };
  long double worst[5] = {0, 0, 0, 0, 0};
  for (int64_t i = 0; i < 50000; ++i) {
    const long double t =
        std::ldexp(static_cast<long double>(g.Next() >> 1), -61 + static_cast<int>(g.Next() % 8));
    const long double x = g.Coin() ? t : -t;  // |x| below 2^9
    const long double y = Hard(g.Near(static_cast<int64_t>(g.Next() % 32000) - 16000));
    worst[0] = std::max(worst[0], ulps(std::sin(x), Sin(Soft(BitsOf(x)))));
    worst[1] = std::max(worst[1], ulps(std::cos(x), Cos(Soft(BitsOf(x)))));
    worst[2] = std::max(worst[2], ulps(std::log(std::fabs(y)), Log(Soft(BitsOf(std::fabs(y))))));
    const long double z = std::ldexp(x, 5);
    worst[3] = std::max(worst[3], ulps(std::exp(z), Exp(Soft(BitsOf(z)))));
    // Every quadrant, and components of very different sizes.
    const long double u = std::ldexp(x, -static_cast<int>(g.Next() % 40));
    worst[4] = std::max(worst[4], ulps(std::atan2(u, x * y), Atan2(Soft(BitsOf(u)), Soft(BitsOf(x * y)))));
  }
  EXPECT_LE(worst[0], 4) << "sin";
  EXPECT_LE(worst[1], 4) << "cos";
  EXPECT_LE(worst[2], 4) << "log";
  EXPECT_LE(worst[3], 4) << "exp";
  EXPECT_LE(worst[4], 4) << "atan2";
  // The signs of zero and the infinities give the library's angles exactly.
  const long double inf = HUGE_VALL;
  for (long double py : {0.0L, -0.0L, 1.0L, -1.0L, inf, -inf})
    for (long double px : {0.0L, -0.0L, 1.0L, -1.0L, inf, -inf}) {
      const TBits want = BitsOf(std::atan2(py, px));
      const TBits got = BitsOf(Atan2(Soft(BitsOf(py)), Soft(BitsOf(px))));
      EXPECT_LE(ulps(std::atan2(py, px), Soft(got)), 1) << Hex(want) << " " << Hex(got);
      EXPECT_EQ(std::signbit(std::atan2(py, px)), SignBit(Soft(got)));
    }
  EXPECT_TRUE(IsNaN(Log(TSoftExtended(-1.0))));
  EXPECT_TRUE(IsNaN(Sin(Soft({0x7FFF, 0x8000000000000000ull}))));
  EXPECT_EQ(BitsOf(Log(TSoftExtended(0.0))), BitsOf(-HUGE_VALL));
}

// The elementary functions are the program's own: the one series over either type must
// give the very same bits, whatever the argument (so a processor without x87 computes
// what this one does).
TEST(SoftExtended, ElementaryFunctionsAreTheSameOnBothTypes) {
  TOperands g(11);
  TMismatches mismatches("elementary functions");
  const int64_t cases = std::max<int64_t>(CasesPerOperation() / 100, 1000);
  for (int64_t i = 0; i < cases; ++i) {
    TBits a = i % 3 == 0 ? g.Near(static_cast<int64_t>(g.Next() % 40) - 30) : Single(g, i);
    TBits b = i % 5 == 0 ? g.Special() : g.Near(static_cast<int64_t>(g.Next() % 80) - 40);
    if (i % 7 == 0) a = g.Near(static_cast<int64_t>(g.Next() % 30000) - 15000);
    const long double x = Hard(a), y = Hard(b);
    const TSoftExtended p = Soft(a), q = Soft(b);
    const bool same = BitsOf(SineOf(x)) == BitsOf(Sin(p)) &&
                      BitsOf(CosineOf(x)) == BitsOf(Cos(p)) &&
                      BitsOf(ExponentialOf(x)) == BitsOf(Exp(p)) &&
                      BitsOf(ExponentialOf(std::ldexp(x, -20))) == BitsOf(Exp(Ldexp(p, -20))) &&
                      BitsOf(LogarithmOf(x)) == BitsOf(Log(p)) &&
                      BitsOf(ArcTangentOf(x, y)) == BitsOf(Atan2(p, q)) &&
                      BitsOf(ArcTangentOf(y, x)) == BitsOf(Atan2(q, p));
    mismatches.Check(same, [&] { return "functions of " + Hex(a) + ", " + Hex(b); });
  }
}

TEST(SoftExtended, ExtendedTypeIsChosenAsBuilt) {
#ifdef ORMAX_SOFT_EXTENDED
  EXPECT_TRUE((std::is_same_v<TExtended, TSoftExtended>));
#else
  EXPECT_TRUE((std::is_same_v<TExtended, long double>));
#endif
  // The same constant through both types' constructor from bits.
  const TExtended halfPi = ExtendedFromBits(0x3FFF, 0xC90FDAA22168C235ull);
  EXPECT_EQ(static_cast<double>(halfPi), 1.5707963267948966);
  EXPECT_EQ(BitsOf(Hard(TBits{0x3FFF, 0xC90FDAA22168C235ull})), BitsOf(1.57079632679489661926L));
}

#endif

// Platform-free: exact answers the format fixes, whatever the processor.
TEST(SoftExtended, KnownValues) {
  const TSoftExtended one(1), three(3);
  EXPECT_EQ(BitsOf(one / three), (TBits{0x3FFD, 0xAAAAAAAAAAAAAAABull}));
  EXPECT_EQ(BitsOf(Sqrt(TSoftExtended(2))), (TBits{0x3FFF, 0xB504F333F9DE6484ull}));
  EXPECT_EQ(BitsOf(TSoftExtended(0.0) - TSoftExtended(0.0)), (TBits{0, 0}));
  EXPECT_EQ(BitsOf(-TSoftExtended(0.0) - TSoftExtended(0.0)), (TBits{0x8000, 0}));
  EXPECT_EQ(BitsOf(TSoftExtended(0.0) / TSoftExtended(0.0)),
            (TBits{0xFFFF, 0xC000000000000000ull}));
  // 2^-16445, the smallest subnormal, halved: a tie, rounded to the even zero.
  const TSoftExtended tiny = TSoftExtended::FromBits(0, 1);
  EXPECT_EQ(BitsOf(tiny / TSoftExtended(2)), (TBits{0, 0}));
  EXPECT_EQ(BitsOf(tiny * TSoftExtended(1.5)), (TBits{0, 2}));
  EXPECT_EQ(static_cast<int64_t>(TSoftExtended(-2.75)), -2);
  EXPECT_EQ(static_cast<int64_t>(TSoftExtended(1e19)), INT64_MIN);
  EXPECT_EQ(static_cast<double>(TSoftExtended::FromBits(0x3FFF, 0x8000000000000400ull)), 1.0);
  EXPECT_EQ(static_cast<double>(TSoftExtended::FromBits(0x3FFF, 0x8000000000000C00ull)),
            1.0 + 2 * DBL_EPSILON);
  EXPECT_EQ(ToScientific(TSoftExtended(0.1), 20), "1.00000000000000005551e-01");
}

}  // namespace
}  // namespace ormax
