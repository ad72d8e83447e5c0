// LeaveOneOut: how a collection of labelled drawings recognises a drawing it does not
// hold: each picture against the base of all the others (its own entries, turned
// copies included, left out).
//   TCollectionPicture  a picture of the collection: its entry name, shape and pixels
//   TLeaveOneOut        the answers (as Evaluate counts them), the retrieval figure and
//                       whether a base of the whole collection would load
//   ScoreLeaveOneOut    the counts from the distances between the pictures
//   LeaveOneOut         the figures at one setting of the base options
//   SweepSettings       the settings (TSetting) --sweep tries; SuggestedSetting the best
//                       of them
// A picture whose shape has no other drawing is left out of the counts (with it left
// out, the base does not know its shape); so is a picture without exactly one region
// (a problem names it). The retrieval figure of a picture whose shape has N drawings:
// the share of the other N - 1 among its 2N nearest other pictures, a picture's
// distance being that of its nearest entry; the figure is the mean over the pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/BaseBuilder.h"
#include "app/Evaluation.h"
#include "model/Patterns.h"

namespace ormax {

struct TCollectionPicture {
  std::string File;   // named in problems
  std::string Name;   // its entries' name (distinct within the collection)
  std::string Shape;
  const TPattern* Picture = nullptr;
};

struct TLeaveOneOut {
  int32_t Level = 0;
  double Error = 0;
  TEvaluation Evaluation;   // one answer per picture counted
  double Retrieval = 0;     // in percent
  int64_t Counted = 0;      // pictures counted
  int64_t Alone = 0;        // pictures left out: the only drawing of their shape
  int64_t Shapes = 0;       // shapes counted
  bool Loadable = true;     // every code reaches the level: a base of them loads
  double Seconds = 0;       // wall time of the whole setting
  std::vector<std::string> Problems;
};

// The counts from the distances between the pictures of the given shapes (distance(q,
// p) for q != p, called on `threads` threads): each picture's label is the shape of its
// nearest other picture (the first on ties). Level, Error, Seconds, Loadable untouched.
TLeaveOneOut ScoreLeaveOneOut(const std::vector<std::string>& shapes, int32_t threads,
                              const std::function<double(size_t, size_t)>& distance);

// The figures with options' copies, level, error and reading, on `threads` threads
// (0: one a core); the answers do not depend on the thread count.
TLeaveOneOut LeaveOneOut(const std::vector<TCollectionPicture>& pictures,
                         const TBaseOptions& options, int32_t threads);

struct TSetting {
  int32_t Level = 0;
  double Error = 0;
};

// Levels 0 to 3, each (but 0, which never splits) at admissible errors 0, 0.1 and 0.2.
std::vector<TSetting> SweepSettings();

// The setting of the best figures among those whose base loads: the highest accuracy,
// then retrieval, then the shorter time. runs must not be empty.
TSetting SuggestedSetting(const std::vector<TLeaveOneOut>& runs);

}  // namespace ormax
