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
