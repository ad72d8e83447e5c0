// RecognitionRows: a scene recognised against a base and its rows, the very rows of
// `ormax-cli recognize` for every front end (the command line, the Python module, the
// desktop program's File, Export Results).
//   RecognizeScene, NearestShapes (TShapeMatch), RecognitionRecord, RunnerRecords,
//   WithRunnerColumns, RecognitionRows (TSceneRows: Region, Row, Runners; TRowFigures),
//   StreamRecognitionRows, StreamNearestIndices, KeepNearestIndices, WriteRecognitionCsv
//   (one scene or several)
// A region the choice of labels withholds is labelled "unknown"; a base with fewer shapes
// than top gives fewer runners-up (their CSV cells stay empty).
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/LabelRule.h"
#include "app/Records.h"
#include "app/Results.h"

namespace ormax {

// Analyses the state's scene with the base's admissible error and maximum tree level
// and finds every region's nearest entry. The base must outlive the state's use of it.
void RecognizeScene(TAppState& state, const TCodeBase& base);

// One of the nearest entries of distinct shapes.
struct TShapeMatch {
  int32_t Entry = 0;
  std::string EntryName;
  std::string Shape;
  double Distance = 0;
  double Sameness = 0;
};

// The top nearest entries of distinct shapes to region index of a recognised state,
// nearest first (the first is RegionFigures' entry).
std::vector<TShapeMatch> NearestShapes(const TAppState& state, int32_t index, int32_t top);
// The same for a code of the base's making.
std::vector<TShapeMatch> NearestShapes(const TCodeBase& base, const TCode& code, int32_t top);

// The row of a recognised region: figures, nearest entry, label.
TRecord RecognitionRecord(const std::string& scene, const TRegionFigures& f, bool known);
// Places 2 .. of the matches as rows {shape, entry, distance, sameness}.
std::vector<TRecord> RunnerRecords(const std::vector<TShapeMatch>& matches);
// The runners-up as columns top2_shape, top2_entry, ... (empty where the base has
// fewer shapes), for CSV and the table.
TRecord WithRunnerColumns(TRecord row, const std::vector<TRecord>& runners, int32_t top);

// What a row keeps of a recognised region: its figures without the names of its entry,
// which the base gives again when the row is made (88 bytes, where the figures with
// their three names take over 200).
struct TRowFigures {
  int32_t Index = 0;
  int32_t Entry = -1;  // the nearest base entry; -1 where the region is not recognised
  TRect Bounds{};
  int64_t Pixels = 0;
  TPoint Centre{};
  double AxisA = 0;
  double AxisB = 0;
  double AngleDegrees = 0;
  double Distance = 0;
  // The distance of the nearest entry of another shape; infinity where there is none.
  double RunnerUp = std::numeric_limits<double>::infinity();
};

// A scene's regions as figures, their rows made on demand: a scene of very many
// regions is not held as text.
struct TSceneRows {
  std::string Scene;
  // The choice of labels (KeepsLabel); none labels every region with its nearest shape.
  std::optional<TLabelRule> Labels;
  const TCodeBase* Base = nullptr;  // names the entries; outlives the rows' use
  std::vector<TRowFigures> Figures;  // per region
  // Per region, the nearest entries of distinct shapes, nearest first (top > 1 only).
  std::vector<std::vector<TShapeMatch>> Matches;
  long long Regions = 0, Known = 0, Unknown = 0;

  size_t Count() const { return Figures.size(); }
  // The region's figures, named from the base: those RegionFigures gives, to the bit,
  // except the code's depth and items, which no row shows.
  TRegionFigures Region(size_t k) const;
  // The region's RecognitionRecord; its label "unknown" where the labels withhold it.
  TRecord Row(size_t k) const;
  // The RunnerRecords of the region (none when top is 1).
  std::vector<TRecord> Runners(size_t k) const;
};

// The rows of a state after RecognizeScene; scene names the scene in them.
TSceneRows RecognitionRows(const TAppState& state, const std::string& scene,
                           const std::optional<TLabelRule>& labels, int32_t top);

// RecognizeScene and RecognitionRows in one pass that keeps per region only its row's
// figures: the scene's picture is released once segmented, and each region's tree and
// code go as soon as its nearest entries are found. The rows are those of the two, to
// the bit; the state keeps its regions and no trees, codes or nearest entries. For a
// scene of very many regions, where the trees would cost many times the picture.
TSceneRows StreamRecognitionRows(TAppState& state, const TCodeBase& base,
                                 const std::string& scene,
                                 const std::optional<TLabelRule>& labels, int32_t top);

// BuildSceneCodes and BuildSceneNearestIndices as far as the Recognition view needs,
// with the state's own settings and Base(), streamed as StreamRecognitionRows is: the
// state's NearestIndices, NearestMeasures and RunnerUpMeasures for every region, to the
// bit, and its regions; no picture, tree or code is kept. The runners-up are left out
// (RunnerUpMeasures empty) when the state has no Labels, their only reader.
void StreamNearestIndices(TAppState& state);
// The nearest entries of the rows of a scene into its state (after StreamRecognitionRows),
// as StreamNearestIndices leaves them: the state can draw its Recognition view.
void KeepNearestIndices(const TSceneRows& rows, TAppState& state);

// The CSV of `recognize --format csv`: one header, then every scene's rows in order.
// header false leaves the header line out (for pieces joined by the caller); threads
// make the rows side by side (the text is the same).
void WriteRecognitionCsv(std::ostream& out, const std::vector<const TSceneRows*>& scenes,
                         int32_t top, bool header = true, int32_t threads = 1);
// The same for one scene.
void WriteRecognitionCsv(std::ostream& out, const TSceneRows& scene, int32_t top,
                         bool header = true);

}  // namespace ormax
