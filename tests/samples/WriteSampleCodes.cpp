// WriteSampleCodes: the reference a build on another processor checks itself against.
// Usage: ormax_sample_codes EXAMPLES_FOLDER OUTPUT_FOLDER [PAIRS_PER_OPERATION]
//   <folder>_<picture>.sample  each sample picture as read by the command line (a pixel
//                              matrix) with its codes at SampleCases' settings
//   extended.records           extended operations on hard-case operands with the
//                              results of this processor's arithmetic
// On x86-64 the records hold x87's answers; a picture that cannot be read stops the tool
// with the reason (exit status 1).
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iostream>

#include "app/AppState.h"
#include "app/BaseBuilder.h"
#include "numerics/Elementary.h"
#include "qt/QtBitmap.h"
#include "tests/ExtendedOperands.h"
#include "tests/samples/CaseCodes.h"
#include "tests/samples/SampleFiles.h"

namespace ormax {
namespace {

using namespace samples;

// The codes of the picture's cases, computed as the command line computes them.
void Compute(const TPattern& picture, const std::string& shape, TCase& c) {
  TCaseCodes computed = ComputeCase(picture, shape, c);
  if (!computed.Problem.empty()) throw std::runtime_error(shape + ": " + computed.Problem);
  c.Names = std::move(computed.Names);
  c.Codes = std::move(computed.Codes);
}

#if LDBL_MANT_DIG == 64


// Appends one record: the operation, its operands and this processor's result.
void Put(TWriter& w, TOperationKind kind, TBits a, TBits b, TBits r) {
  WriteRecord(w, {kind, a.SignExponent, b.SignExponent, r.SignExponent, a.Significand,
                  b.Significand, r.Significand});
}

// Records the four arithmetic operations on a pair each; after the subtraction the six
// comparisons of its pair and, every eighth time, its fmod.
void PutArithmetic(TWriter& w, TOperands& g, int64_t i) {
  for (int op = 0; op < 4; ++op) {
    const auto [a, b] = Pair(g, static_cast<TOperation>(op));
    const long double x = Hard(a), y = Hard(b);
    const long double r = op == 0 ? x + y : op == 1 ? x - y : op == 2 ? x * y : x / y;
    Put(w, static_cast<TOperationKind>(op), a, b, HardBits(r));
    if (op == 1) {
      const uint64_t answers =
          (x == y) | (x != y) << 1 | (x < y) << 2 | (x <= y) << 3 | (x > y) << 4 | (x >= y) << 5;
      Put(w, TOperationKind::Compare, a, b, {0, answers});
      if (i % 8 == 0) Put(w, TOperationKind::Fmod, a, b, HardBits(std::fmod(x, y)));
    }
  }
}

// Records x87's truncating conversions to 64- and 32-bit integers, of a value near a
// small power of two every other time and of a otherwise.
void PutIntegers(TWriter& w, TOperands& g, int64_t i, TBits a) {
  const TBits t = i % 2 == 0 ? g.Near(static_cast<int64_t>(g.Next() % 70) - 3) : a;
  long double ht = Hard(t);
  int64_t h64;
  int32_t h32;
#if defined(__x86_64__) || defined(__i386__)
  __asm__("fisttpll %0" : "=m"(h64) : "t"(ht) : "st");
  __asm__("fisttpl %0" : "=m"(h32) : "t"(ht) : "st");
#else
#error "the integer conversions are recorded from x87"
#endif
  Put(w, TOperationKind::ToInt64, t, {}, {0, static_cast<uint64_t>(h64)});
  Put(w, TOperationKind::ToInt32, t, {}, {0, static_cast<uint32_t>(h32)});
}

// Records the series functions: sine, cosine and exponential of a small value, the
// logarithm of a (its value x) and the arc tangent of two small values.
void PutSeries(TWriter& w, TOperands& g, TBits a, long double x) {
  const TBits e = g.Near(static_cast<int64_t>(g.Next() % 40) - 30);
  const TBits o = g.Near(static_cast<int64_t>(g.Next() % 80) - 40);
  const long double ex = Hard(e), ox = Hard(o);
  Put(w, TOperationKind::Sin, e, {}, HardBits(SineOf(ex)));
  Put(w, TOperationKind::Cos, e, {}, HardBits(CosineOf(ex)));
  Put(w, TOperationKind::Exp, e, {}, HardBits(ExponentialOf(ex)));
  Put(w, TOperationKind::Log, a, {}, HardBits(LogarithmOf(x)));
  Put(w, TOperationKind::Atan2, e, o, HardBits(ArcTangentOf(ex, ox)));
}

void WriteRecords(const std::string& file, int64_t pairs) {
  TOperands g(2026);
  TWriter w;
  for (int64_t i = 0; i < pairs; ++i) {
    PutArithmetic(w, g, i);
    const TBits a = Single(g, i);
    const long double x = Hard(a);
    Put(w, TOperationKind::Sqrt, a, {}, HardBits(std::sqrt(x)));
    const double d = static_cast<double>(x);
    uint64_t dbits;
    std::memcpy(&dbits, &d, 8);
    Put(w, TOperationKind::ToDouble, a, {}, {0, dbits});
    const uint64_t raw = g.Next();
    double from;
    std::memcpy(&from, &raw, 8);
    Put(w, TOperationKind::FromDouble, {0, raw}, {}, HardBits(static_cast<long double>(from)));
    PutIntegers(w, g, i, a);
    const TBits f = i % 2 == 0 ? g.Near(static_cast<int64_t>(g.Next() % 80) - 10) : a;
    Put(w, TOperationKind::Floor, f, {}, HardBits(std::floor(Hard(f))));
    Put(w, TOperationKind::Ceil, f, {}, HardBits(std::ceil(Hard(f))));
    Put(w, TOperationKind::Trunc, f, {}, HardBits(std::trunc(Hard(f))));
    const int k = static_cast<int>(g.Next() % 40000) - 20000;
    Put(w, TOperationKind::Ldexp, a, {0, static_cast<uint64_t>(static_cast<int64_t>(k))},
        HardBits(std::ldexp(x, k)));
    if (i % 10 == 0) PutSeries(w, g, a, x);  // the series cost some hundred operations each
  }
  w.Save(file);
}

#endif

int Run(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "Usage: ormax_sample_codes EXAMPLES_FOLDER OUTPUT_FOLDER [PAIRS_PER_OPERATION]\n";
    return 2;
  }
  const QString examples = argv[1], output = argv[2];
  QDir().mkpath(output);
  int written = 0;
  for (const char* folder : {"shapes", "scenes", "limits"}) {
    const QDir dir(examples + "/" + folder);
    for (const QString& name : dir.entryList({"*.bmp"}, QDir::Files, QDir::Name)) {
      const QImage image = LoadScenePicture(dir.filePath(name), true);
      const std::unique_ptr<TPattern> picture = ScenePattern(image);
      TSample s;
      s.Left = picture->Left;
      s.Top = picture->Top;
      s.Width = picture->Width();
      s.Height = picture->Height();
      s.Background = picture->Background();
      for (int32_t y = picture->Top; y <= picture->Bottom; ++y)
        for (int32_t x = picture->Left; x <= picture->Right; ++x) s.Pixels.push_back(picture->GetPixel(x, y));
      const std::string shape = QFileInfo(name).completeBaseName().toStdString();
      s.Cases = SampleCases(std::string(folder) == "shapes");
      for (TCase& c : s.Cases) Compute(*picture, shape, c);
      WriteSample(s, (output + "/" + folder + "_" + QString::fromStdString(shape) + ".sample").toStdString());
      ++written;
    }
  }
  if (written == 0) {
    std::cerr << argv[1] << ": no sample pictures\n";
    return 1;
  }
#if LDBL_MANT_DIG == 64
  const int64_t pairs = argc > 3 ? std::atoll(argv[3]) : 50000;
  WriteRecords((output + "/extended.records").toStdString(), pairs);
#endif
  return 0;
}

}  // namespace
}  // namespace ormax

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  try {
    return ormax::Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
