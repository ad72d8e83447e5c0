// The codes of the sample pictures and the extended arithmetic against what an x86-64
// build wrote (ormax_sample_codes; the folder from the environment's ORMAX_SAMPLE_CODES
// or as built with -DORMAX_SAMPLE_CODES): this build, on any processor and with either
// extended type, must compute the very same bytes. Without a folder there is nothing to
// compare with and the tests are skipped (make test-soft and make test-aarch64 give one).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AppState.h"
#include "app/BaseBuilder.h"
#include "numerics/Extended.h"
#include "tests/ExtendedOperands.h"
#include "tests/samples/CaseCodes.h"
#include "tests/samples/SampleFiles.h"

namespace ormax {
namespace {

using namespace samples;

std::string SampleFolder() {
  if (const char* folder = std::getenv("ORMAX_SAMPLE_CODES")) return folder;
#ifdef ORMAX_SAMPLE_CODES_FOLDER
  return ORMAX_SAMPLE_CODES_FOLDER;
#else
  return "";
#endif
}

TPattern PatternOf(const TSample& s) {
  TPattern p(TRect{s.Left, s.Top, s.Left + s.Width - 1, s.Top + s.Height - 1}, s.Background);
  size_t k = 0;
  for (int32_t y = s.Top; y < s.Top + s.Height; ++y)
    for (int32_t x = s.Left; x < s.Left + s.Width; ++x) p.SetPixel(x, y, s.Pixels[k++]);
  return p;
}

TEST(SampleCodes, EveryPictureGivesTheCodesWrittenOnX86) {
  const std::string folder = SampleFolder();
  if (folder.empty()) GTEST_SKIP() << "ORMAX_SAMPLE_CODES names no folder of sample codes";
  int pictures = 0, codes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".sample") continue;
    const std::string file = entry.path().string();
    const TSample s = ReadSample(file);
    const TPattern picture = PatternOf(s);
    const std::string stem = entry.path().stem().string();
    const std::string shape = stem.substr(stem.find('_') + 1);
    for (const TCase& c : s.Cases) {
      const std::string what = file + " at level " + std::to_string(c.Level) + ", error " +
                               std::to_string(c.Error) + (c.Kind == 1 ? " (base entries)" : "");
      const TCaseCodes computed = ComputeCase(picture, shape, c);
      const std::vector<std::vector<uint8_t>>& got = computed.Codes;
      if (c.Kind == 1) {
        EXPECT_EQ(computed.Problem, "") << what;
        EXPECT_EQ(computed.Names, c.Names) << what;
      }
      ASSERT_EQ(got.size(), c.Codes.size()) << what;
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i], c.Codes[i]) << what << ", code " << i;
        ++codes;
      }
    }
    ++pictures;
  }
  EXPECT_GE(pictures, 14) << folder;
  EXPECT_GE(codes, 120 + 2 * 14) << folder;
}

TEST(SampleCodes, TheSoftwareTypeGivesTheRecordedX87Results) {
  const std::string folder = SampleFolder();
  if (folder.empty()) GTEST_SKIP() << "ORMAX_SAMPLE_CODES names no folder of sample codes";
  TReader in(folder + "/extended.records");
  int64_t counts[static_cast<int>(TOperationKind::Count)] = {};
  int64_t mismatches = 0;
  std::string first;
  while (!in.AtEnd()) {
    const TOperationRecord r = ReadRecord(in);
    const TSoftExtended a = TSoftExtended::FromBits(r.ASignExponent, r.A);
    const TSoftExtended b = TSoftExtended::FromBits(r.BSignExponent, r.B);
    TBits want{r.RSignExponent, r.R}, got;
    auto bits = [](TSoftExtended v) { return BitsOf(v); };
    switch (r.Kind) {
      case TOperationKind::Add: got = bits(a + b); break;
      case TOperationKind::Subtract: got = bits(a - b); break;
      case TOperationKind::Multiply: got = bits(a * b); break;
      case TOperationKind::Divide: got = bits(a / b); break;
      case TOperationKind::Sqrt: got = bits(Sqrt(a)); break;
      case TOperationKind::Compare:
        got = {0, static_cast<uint64_t>((a == b) | (a != b) << 1 | (a < b) << 2 | (a <= b) << 3 |
                                        (a > b) << 4 | (a >= b) << 5)};
        break;
      case TOperationKind::ToDouble: {
        const double d = static_cast<double>(a);
        uint64_t u;
        std::memcpy(&u, &d, 8);
        got = {0, u};
        break;
      }
      case TOperationKind::FromDouble: {
        double d;
        std::memcpy(&d, &r.A, 8);
        got = bits(TSoftExtended(d));
        break;
      }
      case TOperationKind::ToInt64: got = {0, static_cast<uint64_t>(static_cast<int64_t>(a))}; break;
      case TOperationKind::ToInt32: got = {0, static_cast<uint32_t>(static_cast<int32_t>(a))}; break;
      case TOperationKind::Floor: got = bits(Floor(a)); break;
      case TOperationKind::Ceil: got = bits(Ceil(a)); break;
      case TOperationKind::Trunc: got = bits(Trunc(a)); break;
      case TOperationKind::Ldexp: got = bits(Ldexp(a, static_cast<int>(static_cast<int64_t>(r.B)))); break;
      case TOperationKind::Fmod: got = bits(Fmod(a, b)); break;
      case TOperationKind::Sin: got = bits(Sin(a)); break;
      case TOperationKind::Cos: got = bits(Cos(a)); break;
      case TOperationKind::Exp: got = bits(Exp(a)); break;
      case TOperationKind::Log: got = bits(Log(a)); break;
      case TOperationKind::Atan2: got = bits(Atan2(a, b)); break;
      case TOperationKind::Count: break;
    }
    ++counts[static_cast<int>(r.Kind)];
    if (!(got == want) && ++mismatches <= 10)
      first += "\n  operation " + std::to_string(static_cast<int>(r.Kind)) + " of " +
               Hex({r.ASignExponent, r.A}) + ", " + Hex({r.BSignExponent, r.B}) + ": x87 " +
               Hex(want) + ", here " + Hex(got);
  }
  EXPECT_EQ(mismatches, 0) << first;
  for (int k = 0; k < static_cast<int>(TOperationKind::Count); ++k)
    EXPECT_GT(counts[k], 0) << "no records of operation " << k;
}

}  // namespace
}  // namespace ormax
