// Benchmarks of the analysis pipeline on generated scenes.
#include <benchmark/benchmark.h>

#include "bench/SceneGenerator.h"
#include "app/AppState.h"

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

}  // namespace
}  // namespace ormax::bench

BENCHMARK_MAIN();
