// Evaluation: how well a base labels pictures whose shapes are known.
//   TAnswer          one recognised picture: its true shape, the label, the sameness
//   Evaluate         a TEvaluation: accuracy overall and per shape (TShapeScore), the
//                    confusions, the sameness of right and of wrong answers (TSpread),
//                    and the threshold that leaves no wrong label
//   ThresholdAbove   the lowest --min-sameness (a multiple of 0.1 %) above a sameness
//   TRandom, RandomMoves  seeded test moves: angle, size 0.5 .. 2, sub-pixel shift
//   RecognizePicture the label of a picture of one shape: its largest region's nearest
// No answers give zero counts and no spread; with no wrong answer the threshold is 0.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/SceneReading.h"
#include "codes/Codes.h"
#include "model/Patterns.h"
#include "model/Resampling.h"

namespace ormax {

struct TAnswer {
  std::string Truth;
  std::string Label;     // the nearest entry's shape
  double Sameness = 0;   // in percent
};

struct TSpread {
  int64_t Count = 0;
  double Min = 0, Median = 0, Max = 0;
};

struct TShapeScore {
  int64_t Right = 0, Total = 0;
};

struct TEvaluation {
  int64_t Answers = 0, Right = 0;
  std::map<std::string, TShapeScore> PerShape;                  // by true shape
  std::map<std::pair<std::string, std::string>, int64_t> Confusions;  // (truth, label), wrong only
  std::vector<double> RightSameness, WrongSameness;             // ascending
  TSpread RightSpread, WrongSpread;
  double MinSameness = 0;        // the lowest threshold that leaves no wrong label
  double UnknownRightShare = 0;  // share of the right answers it turns into "unknown"
  double Accuracy() const { return Answers ? static_cast<double>(Right) / Answers : 0; }
  // The confusions, most frequent first (then by truth and label).
  std::vector<std::pair<std::pair<std::string, std::string>, int64_t>> CommonConfusions() const;
};

TEvaluation Evaluate(const std::vector<TAnswer>& answers);

// A region is labelled when its sameness is at least the threshold, so the threshold
// must lie strictly above the highest wrong sameness: the next multiple of 0.1 above it.
double ThresholdAbove(double sameness);

// splitmix64: the same numbers from a seed on every machine.
struct TRandom {
  uint64_t State = 0;
  uint64_t Next();
  double Uniform(double lo, double hi);  // in [lo, hi)
};

// count moves: angle uniform in [0, 360), size uniform in [0.5, 2], shift uniform in
// [-0.5, 0.5) pixels on each axis.
std::vector<TResampling> RandomMoves(int32_t count, TRandom& random);

// The picture analysed with the base's settings and recognised against it; the label
// and sameness of its region with the most pixels ("none" and 0 without a region).
TAnswer RecognizePicture(const TPattern& picture, const TCodeBase& base,
                         const TSceneReading& reading = {});

}  // namespace ormax
