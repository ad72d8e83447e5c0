// Benchmarks of the analysis pipeline on generated scenes, and of single extended
// operations on long double and on the software type.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <map>
#include <numbers>
#include <sstream>
#include <string>

#include "analysis/Methods.h"
#include "analysis/Nearest.h"
#include "app/AppState.h"
#include "app/BaseBuilder.h"
#include "app/Records.h"
#include "bench/SceneGenerator.h"
#include "numerics/Extended.h"

namespace ormax::bench {
namespace {

void BM_BuildSceneCodes(benchmark::State& state) {
  const int32_t side = static_cast<int32_t>(state.range(0));
  const int shapes = static_cast<int>(state.range(1));
  TAppState app;
  app.SceneImage = GenerateScene(side, side, shapes, 7);
  app.MaxTreeLevel = static_cast<int32_t>(state.range(2));
  app.AdmissibleError = 0.05;
  for (auto _ : state) {
    app.BuildSceneCodes();
    benchmark::DoNotOptimize(app.SceneCodes.Count());
  }
  state.counters["regions"] = app.Segments.Count();
}
BENCHMARK(BM_BuildSceneCodes)
    ->Args({1024, 130, 0})
    ->Args({1024, 130, 5})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_SegmentPattern(benchmark::State& state) {
  auto scene = GenerateScene(1024, 1024, 130, 7);
  for (auto _ : state) {
    TPatternList list;
    SegmentPattern(*scene, list);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_SegmentPattern)->Unit(benchmark::kMillisecond)->Iterations(3);

// A scene-sized region of the half-noise scene's kind: side x side pixels, every other
// one inside.
TPattern HalfNoiseRegion(int32_t side) {
  TPattern region(TRect{0, 0, side - 1, side - 1}, clWhite);
  uint32_t seed = 7;
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) {
      seed = seed * 1103515245u + 12345u;
      if (seed >> 31) region.SetPixel(x, y, 0);
    }
  return region;
}

// Such a region counted whole, as for the background warning and the region's row.
void BM_InsideCount(benchmark::State& state) {
  const TPattern region = HalfNoiseRegion(4096);
  for (auto _ : state) benchmark::DoNotOptimize(region.InsideCount());
}
BENCHMARK(BM_InsideCount)->Unit(benchmark::kMillisecond);

// Such a region taken for a scene and segmented: short runs in every row, which the
// segmentation reads three times.
void BM_SegmentHalfNoise(benchmark::State& state) {
  const TPattern scene = HalfNoiseRegion(2048);
  for (auto _ : state) {
    TPatternList list;
    SegmentPattern(scene, list);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_SegmentHalfNoise)->Unit(benchmark::kMillisecond);

// The root ellipse of such a region, 4096 and 8192 pixels a side: the moments gather
// each column's inside rows, whose strips of columns are as tall as the region.
void BM_FitEllipse(benchmark::State& state) {
  const TPattern region = HalfNoiseRegion(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    TEllipse ellipse;
    FitEllipse(region, ellipse);
    benchmark::DoNotOptimize(ellipse.Center);
  }
}
BENCHMARK(BM_FitEllipse)->Arg(4096)->Arg(8192)->Unit(benchmark::kMillisecond);

// The table of `codes` for 55 198 regions (the half-noise scene's), made row by row on
// demand, its text thrown away: on one thread and on two.
void BM_WriteTable(benchmark::State& state) {
  const size_t rows = 55198;
  const TRowSource row = [](size_t i) {
    return TRecord()
        .Add("scene", std::string("/tmp/scenes/noise.bmp"))
        .Add("region", static_cast<long long>(i))
        .Add("left", static_cast<long long>(i % 4096))
        .Add("top", static_cast<long long>(i / 16))
        .Add("right", static_cast<long long>(i % 4096 + 1))
        .Add("bottom", static_cast<long long>(i / 16 + 1))
        .Add("pixels", static_cast<long long>(i % 7 + 1))
        .Add("depth", 0LL)
        .Add("items", 1LL)
        .Add("file", "out.tar(noise-" + std::to_string(i) + ".c)");
  };
  for (auto _ : state) {
    std::ostringstream out;
    WriteTable(out, rows, row, 4, static_cast<int32_t>(state.range(0)));
    benchmark::DoNotOptimize(out.tellp());
  }
}
BENCHMARK(BM_WriteTable)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompareEllipses(benchmark::State& state) {
  TEllipse a, b;
  a.Center = MakeVector(0, 0);
  a.Rotation = IdentityMatrix;
  a.Axes = MakeVector(Real(8) / 10, Real(6) / 10);
  a.Exponent = 2;
  b = a;
  b.Center = MakeVector(Real(1) / 10, Real(-5) / 100);
  b.Axes = MakeVector(Real(7) / 10, Real(65) / 100);
  for (auto _ : state) benchmark::DoNotOptimize(CompareEllipses(a, b));
}
BENCHMARK(BM_CompareEllipses);

// Up to count codes at a level (error 0.05) of a generated scene of 1300 shapes.
void CodesOf(uint32_t seed, int32_t level, int32_t count, TCodeList& codes) {
  TAppState source;
  source.SceneImage = GenerateScene(2048, 2048, 1300, seed);
  source.MaxTreeLevel = level;
  source.AdmissibleError = 0.05;
  source.BuildSceneCodes();
  for (int32_t i = 0; i < source.SceneCodes.Count() && codes.Count() < count; ++i)
    codes.Add(std::make_unique<TCode>(source.SceneCodes.GetCode(i)));
}

// One code comparison, over pairs of codes of two scenes at a level.
void BM_CodeDistance(benchmark::State& state) {
  const auto level = static_cast<int32_t>(state.range(0));
  TCodeList a, b;
  CodesOf(3, level, 200, a);
  CodesOf(4, level, 200, b);
  int32_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CodeDistance(a.GetCode(i % a.Count()), b.GetCode((i * 7) % b.Count())));
    ++i;
  }
}
BENCHMARK(BM_CodeDistance)->Arg(3)->Arg(5)->Unit(benchmark::kMicrosecond);

// Recognition of a 1000-region scene against a 1000-entry base at level 5, on 1 and 2
// threads (the nearest entry of every region, as Recognize finds it).
void BM_Recognition1000(benchmark::State& state) {
  TAppState app;
  CodesOf(5, 5, 1000, app.SceneCodes);
  TCodeList base;
  CodesOf(6, 5, 1000, base);
  for (int32_t i = 0; i < base.Count(); ++i)
    app.CodeBase.Add("c" + std::to_string(i), std::make_unique<TCode>(base.GetCode(i)));
  app.Threads = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    app.BuildSceneNearestIndices();
    benchmark::DoNotOptimize(app.NearestIndices.data());
  }
  state.counters["regions"] = app.SceneCodes.Count();
  state.counters["entries"] = app.CodeBase.Count();
}
BENCHMARK(BM_Recognition1000)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- the nearest-entry search ----

// Ten shapes like the sample pictures', each a test of a point in shape units (about
// -1 .. 1), drawn without anti-aliasing.
struct TBenchShape {
  const char* Name;
  bool (*Inside)(double x, double y);
};

bool InStar(double x, double y) {
  const double r = std::hypot(x, y);
  const double t = std::atan2(y, x) + std::numbers::pi / 2;
  const double step = 2 * std::numbers::pi / 5;
  const double f = std::fabs(std::remainder(t, step)) / (step / 2);  // 0 at a tip, 1 between
  return r <= 1 - 0.55 * f;
}

const TBenchShape kBenchShapes[] = {
    {"circle", [](double x, double y) { return x * x + y * y <= 1; }},
    {"ellipse", [](double x, double y) { return x * x + 4 * y * y <= 1; }},
    {"square", [](double x, double y) { return std::fabs(x) <= 0.7 && std::fabs(y) <= 0.7; }},
    {"rectangle", [](double x, double y) { return std::fabs(x) <= 0.9 && std::fabs(y) <= 0.45; }},
    {"triangle", [](double x, double y) { return y <= 0.6 && y >= 2 * std::fabs(x) - 1.2; }},
    {"star", InStar},
    {"cross",
     [](double x, double y) {
       return (std::fabs(x) <= 0.25 && std::fabs(y) <= 0.9) ||
              (std::fabs(y) <= 0.25 && std::fabs(x) <= 0.9);
     }},
    {"ring",
     [](double x, double y) {
       const double q = x * x + y * y;
       return q <= 1 && q >= 0.36;
     }},
    {"arrow",
     [](double x, double y) {
       return (x <= 0.2 && x >= -0.9 && std::fabs(y) <= 0.2) ||
              (x >= 0.2 && x <= 0.9 && std::fabs(y) <= 0.7 * (0.9 - x) / 0.7);
     }},
    {"ell",
     [](double x, double y) {
       return (x >= -0.6 && x <= -0.2 && std::fabs(y) <= 0.9) ||
              (y >= 0.5 && y <= 0.9 && x >= -0.6 && x <= 0.6);
     }},
};

// The shape at radius pixels per unit, turned by degrees, on a white picture.
TPattern DrawBenchShape(const TBenchShape& shape, double radius, double degrees) {
  const int32_t side = static_cast<int32_t>(2 * radius) + 5;
  TPattern p(TRect{0, 0, side - 1, side - 1}, clWhite);
  p.Clear();
  const double c = std::cos(degrees * std::numbers::pi / 180);
  const double s = std::sin(degrees * std::numbers::pi / 180);
  const double mid = (side - 1) / 2.0;
  for (int32_t y = 0; y < side; ++y)
    for (int32_t x = 0; x < side; ++x) {
      const double u = ((x - mid) * c + (y - mid) * s) / radius;
      const double v = (-(x - mid) * s + (y - mid) * c) / radius;
      if (shape.Inside(u, v)) p.SetPixel(x, y, 0x00000080);
    }
  return p;
}

TBaseOptions SearchBaseOptions() {
  TBaseOptions options;  // trees of two levels, admissible error 0, as `ormax-cli base` makes
  options.Turns = 24;
  options.Scales = {1.0, 0.85, 0.7};
  return options;
}

// The code of one shape drawn at radius and degrees, with the base's settings.
TCode SearchQuery(const TBenchShape& shape, double radius, double degrees) {
  TBaseOptions options = SearchBaseOptions();
  options.Turns = 1;
  options.Scales = {1.0};
  std::string problem;
  auto entries = ShapeEntries(DrawBenchShape(shape, radius, degrees), "q", options, problem);
  if (entries.size() != 1) throw std::runtime_error("a query shape is not one region: " + problem);
  return *entries[0].Code;
}

// A copy of code with every ellipse moved and resized a little, as another drawing of
// the shape would give.
std::unique_ptr<TCode> JitteredCode(const TCode& code, std::mt19937& rng) {
  auto copy = std::make_unique<TCode>(code);
  std::normal_distribution<double> move(0, 0.01), size(0, 0.02);
  for (TCodeItem& item : copy->Items) {
    if (item.Index == 0) continue;  // the root is the unit circle after normalisation
    TEllipse e = TEllipse::CreateFromBytes(item.Data);
    e.Center = MakeVector(e.Center[0] + move(rng), e.Center[1] + move(rng));
    e.Axes = MakeVector(e.Axes[0] * (1 + size(rng)), e.Axes[1] * (1 + size(rng)));
    e.SaveToBytes(item.Data);
  }
  return copy;
}

// The entries of every shape at 24 turns and three sizes (720 codes), made once; the
// bases of count entries repeat them with jittered ellipses ("star_2@15", ...), shape
// after shape, as a base of several drawings of every shape is ordered. With more than
// ten shapes, the drawings of each picture are spread over several shapes of their own
// ("star3_5@15"), like a collection of many similar shapes.
const TCodeBase& SearchBase(int32_t count, int32_t shapes) {
  static std::vector<std::vector<TBaseEntry>> made;
  static std::map<std::pair<int32_t, int32_t>, std::unique_ptr<TCodeBase>> bases;
  if (made.empty())
    for (const TBenchShape& shape : kBenchShapes) {
      std::string problem;
      made.push_back(ShapeEntries(DrawBenchShape(shape, 40, 0), shape.Name, SearchBaseOptions(),
                                  problem));
      if (made.back().empty()) throw std::runtime_error(shape.Name + (": " + problem));
    }
  auto& base = bases[{count, shapes}];
  if (base) return *base;
  base = std::make_unique<TCodeBase>();
  std::mt19937 rng(11);
  const auto pictures = static_cast<int32_t>(made.size());
  const int32_t split = std::max(1, shapes / pictures);  // shapes per picture
  for (int32_t s = 0; s < pictures; ++s) {
    const auto& entries = made[static_cast<size_t>(s)];
    const int32_t share = count / pictures + (s < count % pictures ? 1 : 0);
    for (int32_t k = 0; k < share; ++k) {
      const TBaseEntry& entry = entries[static_cast<size_t>(k) % entries.size()];
      const auto drawing = static_cast<int32_t>(static_cast<size_t>(k) / entries.size());
      const std::string shape =
          kBenchShapes[s].Name + (split > 1 ? std::to_string(drawing % split) : "");
      if (drawing == 0 && split == 1) {
        base->Add(entry.Name, std::make_unique<TCode>(*entry.Code));
      } else {
        const std::string turn = entry.Name.substr(entry.Name.find('@'));
        base->Add(shape + "_" + std::to_string(drawing + 1) + turn,
                  drawing == 0 ? std::make_unique<TCode>(*entry.Code)
                               : JitteredCode(*entry.Code, rng));
      }
    }
  }
  return *base;
}

// The processor time of this thread: the machine may be shared.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One region's search: the code of each shape drawn at a turn and size between the
// base's, in turn, against a base of range(0) entries of range(2) shapes; range(1) the
// number of shapes listed (1: the nearest entry alone, as Recognize finds it; more:
// the runner-ups, as --top asks).
void BM_Search(benchmark::State& state) {
  const auto count = static_cast<int32_t>(state.range(0));
  const auto top = static_cast<int32_t>(state.range(1));
  const TCodeBase& base = SearchBase(count, static_cast<int32_t>(state.range(2)));
  std::vector<TCode> queries;
  for (const TBenchShape& shape : kBenchShapes) queries.push_back(SearchQuery(shape, 33, 7.3));
  size_t q = 0;
  double seconds = 0;
  for (auto _ : state) {
    const TCode& query = queries[q++ % queries.size()];
    const double start = ThreadSeconds();
    if (top == 1) {
      double distance = 0;
      benchmark::DoNotOptimize(FindNearest(base, query, distance));
      benchmark::DoNotOptimize(distance);
    } else {
      benchmark::DoNotOptimize(FindNearestShapes(base, query, top).data());
    }
    seconds += ThreadSeconds() - start;
  }
  const auto regions = static_cast<double>(state.iterations());
  state.counters["ms_per_region"] = seconds * 1e3 / regions;
  state.counters["us_per_entry"] = seconds * 1e6 / (regions * count);
}
// Whole rounds of the ten queries, so that every run averages the same regions.
BENCHMARK(BM_Search)
    ->ArgNames({"entries", "top", "shapes"})
    ->ArgsProduct({{1000}, {1, 40}, {10}})
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search)
    ->ArgNames({"entries", "top", "shapes"})
    ->ArgsProduct({{10000}, {1, 40}, {10}})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search)
    ->ArgNames({"entries", "top", "shapes"})
    ->ArgsProduct({{100000}, {1, 40}, {10, 200}})
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// One extended operation of each kind, on long double (x87) and on the software type:
// a chain of dependent operations, so that the time is each one's latency.
template <typename T>
void BM_ExtendedOperation(benchmark::State& state) {
  const int op = static_cast<int>(state.range(0));
  T x = T(1.0000001), y = T(0.9999999);
  for (auto _ : state) {
    for (int i = 0; i < 64; ++i) {
      switch (op) {
        case 0: x = x + y; x = x - y; break;
        case 1: x = x * y; x = x * y; break;
        case 2: x = x / y; x = x / y; break;
        default: x = Sqrt(x); x = Sqrt(x); break;
      }
    }
    benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(state.iterations() * 128);
  state.SetLabel(op == 0 ? "+ -" : op == 1 ? "*" : op == 2 ? "/" : "sqrt");
}
#if ORMAX_LONG_DOUBLE_IS_X87
BENCHMARK(BM_ExtendedOperation<long double>)->DenseRange(0, 3);
#endif
BENCHMARK(BM_ExtendedOperation<TSoftExtended>)->DenseRange(0, 3);

}  // namespace
}  // namespace ormax::bench

BENCHMARK_MAIN();
