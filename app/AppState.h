// AppState: the state of one run of the program (the scene, every analysis result,
// the base, the recognition results and the settings of the method, the reading, the
// labels and the threads) and the pipeline that fills it. Qt-free, so the desktop
// program and the command line run the same code.
//   TAppState: ResetAnalysis, BuildSceneCodes, SegmentScene, StreamRegionResults,
//   BuildSceneNearestIndices; TRegionResults, TRegionSink (what StreamRegionResults hands
//   out); ForEachDistinctCode; WhiteBackgroundMisfit (SpeckPixels, ManyRegions);
//   ParallelHalvesPixels, ParallelSegmentPixels (the sizes from which Build Trees spreads
//   a region's halves or a scene's rows over threads)
// Index i names the same region in Segments, Trees, NormalTrees, SceneCodes and the
// recognition arrays, also when specks are left out. A scene without regions gives
// empty lists, not an error. The regions are worked on by Threads threads; the results
// do not depend on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Methods.h"
#include "analysis/QuadTree.h"
#include "app/LabelRule.h"
#include "app/SceneReading.h"
#include "codes/Codes.h"
#include "model/Patterns.h"
#include "model/Trees.h"

namespace ormax {

// Regions of fewer pixels are specks, and a scene of many regions, most of them
// specks, is no picture on exact white.
inline constexpr int64_t SpeckPixels = 8;
inline constexpr int32_t ManyRegions = 10;

// What says that a scene read with a white background has another: a region that
// touches all four edges and covers most of the picture, or many regions most of which
// are specks. Empty when neither holds. pixels: each region's count of inside pixels
// (std::invalid_argument unless there is one a region).
std::string WhiteBackgroundMisfit(const TRect& scene, const TPatternList& regions,
                                  const std::vector<int64_t>& pixels);

// The size of two halves of a region (their boxes' pixels) from which Build Trees
// builds them on two threads while a core is spare.
inline constexpr int64_t ParallelHalvesPixels = int64_t{1} << 18;
// The scene size from which Build Trees segments bands of rows on several threads.
inline constexpr int64_t ParallelSegmentPixels = int64_t{1} << 20;

// What Build Trees makes of one region.
struct TRegionResults {
  std::unique_ptr<TTree> Tree;
  std::unique_ptr<TTree> NormalTree;
  std::unique_ptr<TCode> Code;  // stamped with the two method settings
  int64_t Pixels = 0;           // the region's inside pixels, counted by its ellipse's fit
};
// Takes region `index`'s results on a worker thread, at most Threads at once and in
// no set order; whatever it leaves in `made` is released when it returns.
using TRegionSink = std::function<void(int32_t index, TRegionResults& made)>;

// Regions of one shape at any place share their code (FirstOfSameCode): work(i) for
// the first region of each distinct code, on `threads` threads, then share(i, first)
// for every other region, in region order; what depends on the code alone is worked
// out once.
void ForEachDistinctCode(const TCodeList& codes, int32_t threads,
                         const std::function<void(int32_t region)>& work,
                         const std::function<void(int32_t region, int32_t first)>& share);

class TAppState {
 public:
  std::unique_ptr<TPattern> SceneImage;  // none until a scene is opened
  // The scene as its 8-bit indices, for a front end that only segments it (no
  // SceneImage made); SegmentScene reads SceneImage when there is one.
  std::unique_ptr<TIndexedScene> SceneIndices;
  TQuadTree QuadTree;  // compact: one bit a cell, the leaves read from SceneImage
  TPatternList Segments;
  TTreeList Trees;
  TTreeList NormalTrees;
  TCodeList SceneCodes;
  std::vector<int32_t> NearestIndices;
  std::vector<double> NearestMeasures;
  // Per region, the distance of the nearest entry of another shape than the nearest
  // entry's (infinity when the base holds one shape): how clear the answer is.
  std::vector<double> RunnerUpMeasures;
  TCodeBase CodeBase;
  // A base shared by several states (the command line's scenes) instead of CodeBase;
  // it must outlive the state's use of it.
  const TCodeBase* SharedBase = nullptr;
  std::string SceneFileName;
  std::string BaseFileName;

  // Settings, for the run only.
  double AdmissibleError = 0.0;
  int32_t MaxTreeLevel = 0;
  int32_t MaxViewLevel = 0;
  bool FillEllipses = true;
  bool ShowSameness = false;
  // Which regions the Recognition view and the tables label with their nearest shape:
  // none labels every region; a rule withholds doubtful answers ("unknown").
  std::optional<TLabelRule> Labels;
  // Threads of Build Trees and Recognize; 0 takes one per core.
  int32_t Threads = 0;
  // How the scene was read: its background exact white, or found in the picture (the
  // front end reads the picture so); and the size below which a region is a speck,
  // left out of the analysis (0 keeps every region).
  TSceneReading Reading;
  // After a segmentation under a white background: what says that the picture's
  // background is not exact white ("one region covers 97 % of the picture and touches
  // all four edges"); empty when nothing does. Nothing else depends on it.
  std::string BackgroundMisfit;

  // The base recognition compares with: SharedBase when set, else CodeBase.
  const TCodeBase& Base() const { return SharedBase ? *SharedBase : CodeBase; }

  // Empties the quadtree, the region, tree and code lists and the recognition
  // results; the scene, the base, the file names and the settings stay.
  void ResetAnalysis();
  // Quadtree, regions, and per region its tree, normalised copy and code (stamped
  // with the two method settings). Needs SceneImage (std::logic_error otherwise).
  void BuildSceneCodes();
  // For a caller that needs each region's results once, so that a scene of very many
  // regions is never held whole: SegmentScene empties the analysis and fills Segments
  // only (leaving out regions of fewer than Reading.MinPixels pixels, and setting
  // BackgroundMisfit) (no quadtree; needs SceneImage or SceneIndices, std::logic_error
  // otherwise), after which the scene may be released; StreamRegionResults then makes each region's results as
  // BuildSceneCodes does and hands them to sink, keeping them nowhere else.
  void SegmentScene();
  void StreamRegionResults(const TRegionSink& sink);
  // For every scene code, the nearest entry of Base() and its distance. Needs a base
  // with at least one code (std::logic_error otherwise).
  void BuildSceneNearestIndices();

 private:
  // StreamRegionResults, with alongside() run as one more job when given.
  void MakeRegionResults(const TRegionSink& sink, const std::function<void()>& alongside);
};

}  // namespace ormax
