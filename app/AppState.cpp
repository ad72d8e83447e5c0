#include "app/AppState.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace ormax {

void TAppState::ResetAnalysis() {
  QuadTree.Clear();
  Segments.Clear();
  Trees.Clear();
  NormalTrees.Clear();
  SceneCodes.Clear();
  NearestIndices.clear();
  NearestMeasures.clear();
}

void TAppState::BuildSceneCodes() {
  ResetAnalysis();
  if (!SceneImage) throw std::logic_error("No scene is open");
  BuildQuadTree(*SceneImage, QuadTree);
  SegmentPattern(*SceneImage, QuadTree, Segments);  // the Quadro view's tree serves too
  for (int32_t i = 0; i < Segments.Count(); ++i) {
    const TPattern& region = Segments.Items(i);
    auto tree = std::make_unique<TTree>();
    BuildRepresentation(region, *tree, MaxTreeLevel, AdmissibleError, 0);
    const TTree& kept = Trees.Add(std::move(tree));
    auto normal = TTree::CreateCopy(kept);
    NormaliseTree(region, *normal);
    const TTree& normalKept = NormalTrees.Add(std::move(normal));
    auto code = std::make_unique<TCode>();
    TreeToCode(normalKept, *code);
    code->AdmissibleError = AdmissibleError;
    code->MaxLevel = MaxTreeLevel;
    SceneCodes.Add(std::move(code));
  }
}

void TAppState::BuildSceneNearestIndices() {
  if (CodeBase.Empty()) throw std::logic_error("The base holds no code to compare with");
  const int32_t count = SceneCodes.Count();
  NearestIndices.assign(static_cast<size_t>(count), 0);
  NearestMeasures.assign(static_cast<size_t>(count), 0.0);
  // Scene codes are handed out one at a time to the threads; each result goes to its
  // own slot, so the results do not depend on the number of threads.
  std::atomic<int32_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto work = [&] {
    try {
      for (int32_t i = next++; i < count; i = next++)
        NearestIndices[static_cast<size_t>(i)] = FindNearest(
            CodeBase, SceneCodes.GetCode(i), CodeDistance, NearestMeasures[static_cast<size_t>(i)]);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
      next = count;
    }
  };
  int32_t threads = RecognitionThreads > 0
                        ? RecognitionThreads
                        : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  threads = std::max(1, std::min(threads, count));
  std::vector<std::thread> pool;
  for (int32_t t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ormax
