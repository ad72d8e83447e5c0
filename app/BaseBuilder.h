// BaseBuilder: the entries a base gets from a picture of one shape: its code, or the
// codes of copies turned every 360/Turns degrees at each of the sizes (and mirrored,
// if asked).
//   TBaseOptions, TBaseEntry, ShapeEntries, TurnName
// A picture or copy that does not hold exactly one region gives no entries and a
// problem naming the copy; whether the entries fit together is TCodeBase::Admit's test.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codes/Codes.h"
#include "model/Patterns.h"

namespace ormax {

// The defaults are those that recognise shapes drawn apart from the base best (make
// accuracy): a turn every 15 degrees, each also at 0.7 of the size, which puts the
// pixel noise of small shapes into the base, and trees of two levels.
struct TBaseOptions {
  int32_t Turns = 24;  // 1: the picture itself, under the shape's plain name
  bool Mirror = false;
  std::vector<double> Scales{1.0, 0.7};  // every turn at each of these sizes
  int32_t MaxTreeLevel = 2;
  double AdmissibleError = 0.0;
};

struct TBaseEntry {
  std::string Name;  // "shape", or "shape@degrees" / "shape@mdegrees" for a copy
  std::unique_ptr<TCode> Code;
};

// "shape@30", "shape@m37.5", and for a copy at another size "shape@30x0.7".
std::string TurnName(const std::string& shape, double degrees, bool mirrored, double scale = 1);

// The entries of one shape, in the order turn 0, 1, ... and then the mirrored turns.
// On a copy without exactly one region: no entries, and problem says which.
std::vector<TBaseEntry> ShapeEntries(const TPattern& picture, const std::string& shape,
                                     const TBaseOptions& options, std::string& problem);

}  // namespace ormax
