// Nearest: the nearest base entry of a code, and the nearest entries of distinct shapes
// for a runner-up list.
//   FindNearest        the nearest entry and its distance
//   ShapeOfEntry       the shape an entry name stands for (the text before its first '@'
//                      or '_': "star_2@30" is a drawing of a star turned 30 degrees)
//   FindNearestShapes  the k nearest entries, one per shape, nearest first (each a
//                      TNearestShape: position and distance); with a distance of the
//                      caller's, compared with every entry in turn
// The searches by CodeDistance leave an entry as soon as its sum passes what it would
// have to beat, and answer what comparing every entry in full would: the same entries
// and distances, to the bit. The first of the list is always FindNearest's entry.
// Equal distances keep the lower position; a base with fewer shapes than k gives a
// shorter list; an empty base throws std::invalid_argument.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/Methods.h"
#include "codes/Codes.h"

namespace ormax {

struct TNearestShape {
  int32_t Index = 0;    // position of the entry in the base
  double Distance = 0;  // CodeDistance to it
  friend bool operator==(const TNearestShape&, const TNearestShape&) = default;
};

// "star@30", "star@m30" and "star_2@30" stand for "star"; a name without '@' or '_'
// is its own shape.
std::string ShapeOfEntry(const std::string& entryName);

// For each shape its nearest entry (the first on ties); the k nearest of those, by
// distance and then position. k < 1 gives an empty list; an empty base throws
// std::invalid_argument, like FindNearest.
std::vector<TNearestShape> FindNearestShapes(const TCodeBase& base, const TCode& code, int32_t k,
                                             const TCodeDistance& distance);
// The same by CodeDistance, to the bit, each entry left as soon as it passes its
// shape's nearest so far or, once k shapes have one, the k-th of those.
std::vector<TNearestShape> FindNearestShapes(const TCodeBase& base, const TCode& code, int32_t k);

// Position of the base code nearest to code by CodeDistance (the first on ties), with
// that distance in bestDistance; the base must hold a code (std::invalid_argument
// otherwise).
int32_t FindNearest(const TCodeBase& base, const TCode& code, double& bestDistance);

}  // namespace ormax
