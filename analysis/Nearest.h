// Nearest: the nearest base entries of distinct shapes, for a runner-up list.
//   ShapeOfEntry       the shape an entry name stands for (the text before its first '@'
//                      or '_': "star_2@30" is a drawing of a star turned 30 degrees)
//   FindNearestShapes  the k nearest entries, one per shape, nearest first
//   FindNearestCode    FindNearest by CodeDistance, leaving an entry as soon as its
//                      sum passes the nearest so far: the same entry and distance
// The first of the list is always FindNearest's entry. Equal distances keep the
// lower position; a base with fewer shapes than k gives a shorter list.
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

// What FindNearest(base, code, CodeDistance, bestDistance) gives, to the bit.
int32_t FindNearestCode(const TCodeBase& base, const TCode& code, double& bestDistance);

}  // namespace ormax
