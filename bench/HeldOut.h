// HeldOut: what the benchmarks of shapes drawn apart from the base share.
//   TDrawingRandom   a seeded generator of their own (mt19937_64, our own conversions)
//   Fail             the message on standard error, prefixed by the program's name; exit 1
//   ParseOptionPairs the "--KEY VALUE" options of a benchmark's command line
//   TShapeOptions    the options the shape benches share (--cli, --shapes, --work, ...)
//   TBenchApplication  the Qt application, on the offscreen platform unless one is named
//   Run              a command run to its end: its standard output and wall time
//   RunProcess       the same, whatever its exit; Quoted, a command line to reproduce
//   AllShapes        the names of the sample shapes and of the mirror pair, in order
//   BuildBase        the base pictures (the sample shapes copied, the mirror pair drawn)
//                    and the base `ormax-cli base` builds from them
//   TRegionRow, RecognizedRegions   the rows of `ormax-cli recognize --format csv`
//   SplitCsvLine, CsvColumn          a CSV line's fields; a column of recognize's header
#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace ormax {

// The standard's mt19937_64 gives the same numbers on every machine; the conversions to
// the ranges and distributions wanted are ours, so the pictures are too.
struct TDrawingRandom {
  std::mt19937_64 Engine;
  double Uniform(double lo, double hi) {  // [lo, hi)
    return lo + (hi - lo) * (static_cast<double>(Engine() >> 11) * 0x1.0p-53);
  }
  size_t Index(size_t n) { return static_cast<size_t>(Engine() % n); }
  // A standard normal number (Box-Muller, one of the pair).
  double Normal() {
    const double u = 1 - Uniform(0, 1), v = Uniform(0, 1);
    return std::sqrt(-2 * std::log(u)) * std::cos(2 * std::numbers::pi * v);
  }
};

[[noreturn]] void Fail(const std::string& what);

// Hands each "--KEY VALUE" pair after args[0] to take(key, value), which returns false
// for a key it does not know (Fail: "unknown option"); a key without a value fails too.
// Returns what follows "--".
QStringList ParseOptionPairs(const QStringList& args,
                             const std::function<bool(const QString&, const QString&)>& take);

// The options of the benches that draw the sample shapes: --cli, --shapes, --work,
// --seed and --count. Take stores one of them and returns false for another key.
struct TShapeOptions {
  QString Cli, Shapes, Work;
  uint64_t Seed = 1;
  int Count = 0;
  bool Take(const QString& key, const QString& value);
};

// Chooses Qt's offscreen platform unless QT_QPA_PLATFORM names another: the benches
// draw pictures but show none. A base of TBenchApplication, so it comes first.
struct TOffscreenUnlessNamed {
  TOffscreenUnlessNamed();
};

class TBenchApplication : private TOffscreenUnlessNamed, public QGuiApplication {
 public:
  TBenchApplication(int& argc, char** argv) : QGuiApplication(argc, argv) {}
};

// Runs the command to its end; its standard output, and the wall time in ms. Fails when
// it cannot start or ends other than with exit code 0.
// A command run to its end, whatever its exit; Fail only when it cannot start.
struct TProcessRun {
  QByteArray Out, Err;
  bool Normal = false;  // ended by itself, not by a signal
  int Exit = -1;
  double Ms = 0;        // wall time
};
TProcessRun RunProcess(const QString& program, const QStringList& args);

QByteArray Run(const QString& program, const QStringList& args, double* ms = nullptr);

// The arguments as a shell reads them back: quoted where they need it.
QString Quoted(const QStringList& args);

std::vector<std::string> AllShapes();

struct TBaseSource {
  std::string Shape;
  QString File;
};

struct TBuiltBase {
  QString List;                       // WORK/base/base.txt
  std::vector<TBaseSource> Pictures;  // in WORK/shapes
  QByteArray Output;                  // what `ormax-cli base` printed
  double Ms = 0;                      // its wall time
};

// The sample pictures of shapesDir as they are and the mirror pair drawn at the same
// size (radius 40 in 100 x 100) go to WORK/shapes; `cli base` with the options given
// makes WORK/base/base.txt of them.
TBuiltBase BuildBase(const QString& cli, const QString& shapesDir, const QString& work,
                     const QStringList& options);

struct TRegionRow {
  std::string Scene, Shape;
  long long Left = 0, Top = 0, Right = 0, Bottom = 0, Pixels = 0;
  double Sameness = 0;
  std::string Label;           // "unknown" when withheld
  double RunnerSameness = -1;  // of the runner-up shape (--top 2); -1 without one
};

std::vector<std::string> SplitCsvLine(const std::string& line);
// The index of the column of that name in recognize's CSV header; Fail where it has none.
size_t CsvColumn(const std::vector<std::string>& header, const std::string& name);
// The rows of recognize's CSV, found by the header's column names.
std::vector<TRegionRow> RecognizedRegions(const QByteArray& csv);

}  // namespace ormax
