// AppState: the pipeline behind Build Trees and Recognize; regions and scene codes are
// handed out to the worker pool and gathered in region order.
//   TAppState::ResetAnalysis, BuildSceneCodes, SegmentScene, StreamRegionResults,
//   BuildSceneNearestIndices; ForEachDistinctCode; WhiteBackgroundMisfit
#include "app/AppState.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <stdexcept>

#include "analysis/Nearest.h"
#include "app/WorkerPool.h"

namespace ormax {

namespace {

// The pixels of a rectangle (bounds inclusive).
int64_t Area(const TRect& r) {
  return (int64_t{r.Right} - r.Left + 1) * (int64_t{r.Bottom} - r.Top + 1);
}

}  // namespace

void TAppState::ResetAnalysis() {
  QuadTree.Clear();
  Segments.Clear();
  Trees.Clear();
  NormalTrees.Clear();
  SceneCodes.Clear();
  NearestIndices.clear();
  NearestMeasures.clear();
  RunnerUpMeasures.clear();
  BackgroundMisfit.clear();
}

void TAppState::BuildSceneCodes() {
  // The quadtree is read from the scene pattern: indices alone do not do.
  if (!SceneImage) {
    ResetAnalysis();
    throw std::logic_error(SceneIndices ? "Build Trees needs the scene's pixels, not only their indices"
                                        : "No scene is open");
  }
  SegmentScene();
  const auto count = static_cast<size_t>(Segments.Count());
  std::vector<TRegionResults> made(count);
  // The Quadro view's quadtree only reads the scene: it is one more job among the
  // regions' (the first, so that it never comes last), while the segmentation before
  // has every core for its bands of rows.
  MakeRegionResults([&](int32_t i, TRegionResults& r) { made[static_cast<size_t>(i)] = std::move(r); },
                    [&] { QuadTree.Build(*SceneImage); });
  for (TRegionResults& r : made) {
    Trees.Add(std::move(r.Tree));
    NormalTrees.Add(std::move(r.NormalTree));
    SceneCodes.Add(std::move(r.Code));
  }
}

void TAppState::SegmentScene() {
  ResetAnalysis();
  if (!SceneImage && !SceneIndices) throw std::logic_error("No scene is open");
  const TRect bounds = SceneImage ? SceneImage->GetBounds() : SceneIndices->GetBounds();
  // A large scene's bands of rows are segmented on every core.
  const TRunParts bands = [&](int32_t n, const std::function<void(int32_t)>& part) {
    RunInParallel(n, Threads, part);
  };
  const bool banded = WorkerCount(Threads) > 1 && Area(bounds) >= ParallelSegmentPixels;
  std::vector<int64_t> pixels;  // each region's, counted by the segmentation
  try {
    if (SceneImage)
      SegmentPattern(*SceneImage, Segments, banded ? bands : TRunParts(), &pixels);
    else
      SegmentIndexed(*SceneIndices, Segments, banded ? bands : TRunParts(), &pixels);
  } catch (...) {
    Segments.Clear();  // no half of a scene's regions is left behind
    throw;
  }
  if (const int64_t least = Reading.MinPixels; least > 0) {
    Segments.RemoveWhere([&](const TPattern& r) { return r.InsideCount(least) < least; });
    std::erase_if(pixels, [&](int64_t n) { return n < least; });  // the same regions
  }
  BackgroundMisfit = Reading.Background == TBackground::White
                         ? WhiteBackgroundMisfit(bounds, Segments, pixels)
                         : "";
}

std::string WhiteBackgroundMisfit(const TRect& scene, const TPatternList& regions,
                                  const std::vector<int64_t>& pixels) {
  if (pixels.size() != static_cast<size_t>(regions.Count()))
    throw std::invalid_argument("A pixel count is wanted for every region");
  const int64_t area = Area(scene);
  for (int32_t i = 0; i < regions.Count(); ++i) {
    const TRect b = regions.Items(i).GetBounds();
    if (b.Left != scene.Left || b.Top != scene.Top || b.Right != scene.Right ||
        b.Bottom != scene.Bottom)
      continue;
    if (const int64_t n = pixels[static_cast<size_t>(i)]; 2 * n > area)
      return "one region covers " + std::to_string(n * 100 / area) +
             " % of the picture and touches all four edges";
  }
  const auto specks = static_cast<int32_t>(
      std::count_if(pixels.begin(), pixels.end(), [](int64_t n) { return n < SpeckPixels; }));
  if (regions.Count() >= ManyRegions && 2 * specks > regions.Count())
    return std::to_string(specks) + " of its " + std::to_string(regions.Count()) +
           " regions are specks of fewer than " + std::to_string(SpeckPixels) + " pixels";
  return "";
}

void TAppState::StreamRegionResults(const TRegionSink& sink) {
  MakeRegionResults(sink, {});
}

void TAppState::MakeRegionResults(const TRegionSink& sink, const std::function<void()>& alongside) {
  const int32_t workers = WorkerCount(Threads), spare = workers - 1;
  // A large region's halves go to a thread of their own while a core is spare: a scene
  // whose work is mostly one region's tree gets every core too.
  std::atomic<int32_t> helpers{0};
  auto claimHelper = [&] {
    for (int32_t n = helpers.load(); n < spare;)
      if (helpers.compare_exchange_weak(n, n + 1)) return true;
    return false;
  };
  // The threads at work on regions and the halves' helpers (not the job alongside): a
  // region waits to be started while they fill every core. A scene-sized region is
  // usually the first in region order and has the longest tree, and every code after it
  // waits for it to be stored; once its halves have the spare cores, the specks wait
  // for them, not they for the specks.
  std::mutex busyMutex;
  std::condition_variable lessBusy;
  int32_t running = 0;  // regions being worked on, under busyMutex
  const std::function<void()> wake = [&] {
    { const std::lock_guard<std::mutex> lock(busyMutex); }
    lessBusy.notify_all();
  };
  const TRunBoth both = [&](int64_t pixels, const std::function<void()>& first,
                            const std::function<void()>& second) {
    if (pixels < ParallelHalvesPixels || !claimHelper()) {
      first();
      second();
      return;
    }
    // The helper is given back as soon as either half is done: the other half's own
    // splits may then take it, rather than run on one core to the end.
    struct TRelease {
      std::atomic<int32_t>& Count;
      const std::function<void()>& Wake;
      std::atomic<bool> Done{false};
      void operator()() {
        if (!Done.exchange(true)) {
          --Count;
          Wake();
        }
      }
      ~TRelease() { (*this)(); }
    } release{helpers, wake};
    RunInParallel(2, 2, [&](int32_t k) {
      k == 0 ? first() : second();
      release();
    });
  };
  // Regions are independent once segmented: each gets its tree, normalised copy and
  // code on its own.
  const int32_t first = alongside ? 1 : 0;
  RunInParallel(first + Segments.Count(), Threads, [&](int32_t job) {
    if (job < first) {
      alongside();
      return;
    }
    if (spare > 0) {
      std::unique_lock<std::mutex> lock(busyMutex);
      lessBusy.wait(lock, [&] { return running == 0 || running + helpers.load() < workers; });
      ++running;
    }
    struct TDone {
      bool Counted;
      std::mutex& Mutex;
      int32_t& Running;
      std::condition_variable& LessBusy;
      ~TDone() {
        if (!Counted) return;
        {
          const std::lock_guard<std::mutex> lock(Mutex);
          --Running;
        }
        LessBusy.notify_all();
      }
    } done{spare > 0, busyMutex, running, lessBusy};
    const int32_t i = job - first;
    const TPattern& region = Segments.Items(i);
    TRegionResults r;
    r.Tree = std::make_unique<TTree>();
    TFitted whole;  // fitted once for the tree's root and the normalisation
    BuildRepresentation(region, *r.Tree, MaxTreeLevel, AdmissibleError, 0, &whole,
                        spare > 0 ? both : TRunBoth());
    r.Pixels = whole.Pixels;
    r.NormalTree = TTree::CreateCopy(*r.Tree);
    NormaliseTree(whole.Ellipse, *r.NormalTree);
    r.Code = std::make_unique<TCode>();
    TreeToCode(*r.NormalTree, *r.Code);
    r.Code->AdmissibleError = AdmissibleError;
    r.Code->MaxLevel = MaxTreeLevel;
    sink(i, r);
  });
}

void TAppState::BuildSceneNearestIndices() {
  const TCodeBase& base = Base();
  if (base.Empty()) throw std::logic_error("The base holds no code to compare with");
  const int32_t count = SceneCodes.Count();
  NearestIndices.assign(static_cast<size_t>(count), 0);
  NearestMeasures.assign(static_cast<size_t>(count), 0.0);
  RunnerUpMeasures.assign(static_cast<size_t>(count), std::numeric_limits<double>::infinity());
  // A scene of noise holds thousands of one-pixel regions, all of one code.
  ForEachDistinctCode(
      SceneCodes, Threads,
      [&](int32_t i) {
        const auto slot = static_cast<size_t>(i);
        // The nearest of the two nearest shapes is FindNearest's entry, to the bit; each
        // entry is left as soon as it is farther than both.
        const std::vector<TNearestShape> two = FindNearestShapes(base, SceneCodes.GetCode(i), 2);
        NearestIndices[slot] = two[0].Index;
        NearestMeasures[slot] = two[0].Distance;
        if (two.size() > 1) RunnerUpMeasures[slot] = two[1].Distance;
      },
      [&](int32_t i, int32_t first) {
        NearestIndices[static_cast<size_t>(i)] = NearestIndices[static_cast<size_t>(first)];
        NearestMeasures[static_cast<size_t>(i)] = NearestMeasures[static_cast<size_t>(first)];
        RunnerUpMeasures[static_cast<size_t>(i)] = RunnerUpMeasures[static_cast<size_t>(first)];
      });
}

void ForEachDistinctCode(const TCodeList& codes, int32_t threads,
                         const std::function<void(int32_t region)>& work,
                         const std::function<void(int32_t region, int32_t first)>& share) {
  const std::vector<int32_t> firstOf = FirstOfSameCode(codes);
  std::vector<int32_t> distinct;
  for (int32_t i = 0; i < codes.Count(); ++i)
    if (firstOf[static_cast<size_t>(i)] == i) distinct.push_back(i);
  RunInParallel(static_cast<int32_t>(distinct.size()), threads,
                [&](int32_t d) { work(distinct[static_cast<size_t>(d)]); });
  for (int32_t i = 0; i < codes.Count(); ++i)
    if (const int32_t first = firstOf[static_cast<size_t>(i)]; first != i) share(i, first);
}

}  // namespace ormax
