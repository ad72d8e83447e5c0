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
#include "tests/ExtendedOperands.h"

namespace ormax {
namespace {

#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))

int64_t CasesPerOperation() {
  const char* text = std::getenv("ORMAX_SOFT_EXTENDED_CASES");
  if (text != nullptr && *text != '\0') return std::atoll(text);
  return 10000000;
}

TBits BitsOf(long double v) {
  return HardBits(v);
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
