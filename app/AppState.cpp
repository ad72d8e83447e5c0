// AppState: the pipeline behind Build Trees and Recognize; regions and scene codes are
// handed out to the worker pool and gathered in region order.
//   TAppState::ResetAnalysis, BuildSceneCodes, BuildSceneNearestIndices
#include "app/AppState.h"

#include <atomic>
#include <stdexcept>

#include "analysis/Nearest.h"
#include "app/WorkerPool.h"

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
  const int32_t spare = WorkerCount(Threads) - 1;
  // The Quadro view's quadtree and the regions both only read the scene: side by side,
  // and a large scene's bands of rows segmented on every core besides.
  const TRunParts bands = [&](int32_t n, const std::function<void(int32_t)>& part) {
    RunInParallel(n, Threads, part);
  };
  const bool banded =
      spare > 0 && int64_t{SceneImage->Width()} * SceneImage->Height() >= ParallelSegmentPixels;
  RunInParallel(2, Threads, [&](int32_t part) {
    if (part == 0)
      QuadTree.Build(*SceneImage);
    else
      SegmentPattern(*SceneImage, Segments, banded ? bands : TRunParts());
  });
  // Regions are independent once segmented: each gets its tree, normalised copy and
  // code in its own slot, and the lists take them in region order.
  const int32_t count = Segments.Count();
  // A large region's halves go to a thread of their own while a core is spare: a scene
  // whose work is mostly one region's tree gets every core too.
  std::atomic<int32_t> helpers{0};
  auto claimHelper = [&] {
    for (int32_t n = helpers.load(); n < spare;)
      if (helpers.compare_exchange_weak(n, n + 1)) return true;
    return false;
  };
  const TRunBoth both = [&](int64_t pixels, const std::function<void()>& first,
                            const std::function<void()>& second) {
    if (pixels < ParallelHalvesPixels || !claimHelper()) {
      first();
      second();
      return;
    }
    struct TRelease {
      std::atomic<int32_t>& Count;
      ~TRelease() { --Count; }
    } release{helpers};
    RunInParallel(2, 2, [&](int32_t k) { k == 0 ? first() : second(); });
  };
  std::vector<std::unique_ptr<TTree>> trees(static_cast<size_t>(count));
  std::vector<std::unique_ptr<TTree>> normals(static_cast<size_t>(count));
  std::vector<std::unique_ptr<TCode>> codes(static_cast<size_t>(count));
  RunInParallel(count, Threads, [&](int32_t i) {
    const TPattern& region = Segments.Items(i);
    auto tree = std::make_unique<TTree>();
    TEllipse whole;  // fitted once for the tree's root and the normalisation
    BuildRepresentation(region, *tree, MaxTreeLevel, AdmissibleError, 0, &whole,
                        spare > 0 ? both : TRunBoth());
    auto normal = TTree::CreateCopy(*tree);
    NormaliseTree(whole, *normal);
    auto code = std::make_unique<TCode>();
    TreeToCode(*normal, *code);
    code->AdmissibleError = AdmissibleError;
    code->MaxLevel = MaxTreeLevel;
    const auto slot = static_cast<size_t>(i);
    trees[slot] = std::move(tree);
    normals[slot] = std::move(normal);
    codes[slot] = std::move(code);
  });
  for (size_t i = 0; i < trees.size(); ++i) {
    Trees.Add(std::move(trees[i]));
    NormalTrees.Add(std::move(normals[i]));
    SceneCodes.Add(std::move(codes[i]));
  }
}

void TAppState::BuildSceneNearestIndices() {
  const TCodeBase& base = Base();
  if (base.Empty()) throw std::logic_error("The base holds no code to compare with");
  const int32_t count = SceneCodes.Count();
  NearestIndices.assign(static_cast<size_t>(count), 0);
  NearestMeasures.assign(static_cast<size_t>(count), 0.0);
  RunInParallel(count, Threads, [&](int32_t i) {
    const auto slot = static_cast<size_t>(i);
    // FindNearest by CodeDistance, leaving each entry once it is farther than the best.
    NearestIndices[slot] = FindNearestCode(base, SceneCodes.GetCode(i), NearestMeasures[slot]);
  });
}

}  // namespace ormax
