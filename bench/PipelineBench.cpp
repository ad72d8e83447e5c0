// Benchmarks of the analysis pipeline on generated scenes, and of single extended
// operations on long double and on the software type.
#include <benchmark/benchmark.h>

#include "bench/SceneGenerator.h"
#include "app/AppState.h"
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
