// CodeComparison: how unlike two ellipses are, and how far apart two codes lie, the
// measures recognition ranks the entries of a base by.
//
//   CompareEllipses    1 - common / covered over a grid of points around both ellipses
//   CodeDistance       the weighted sum of the unlikeness of the leaves two codes pair
//   CodeDistanceUpTo   CodeDistance, summed only until the sum passes a bound
//
// The sums are those of analysis/Comparisons (TComparedEllipse, TCodeDistanceFrom),
// prepared here afresh on every call; a search comparing one code with many keeps one
// TCodeDistanceFrom instead. Edge cases: ellipses that no grid point reaches compare
// as 1; items with positions below 0 are left out, and where a position repeats the
// later item counts; an item paired with fewer bytes than an ellipse throws EReadError;
// a sum that passes the bound comes back at once, as the sum so far.
#include "analysis/Methods.h"

#include <limits>

#include "analysis/Comparisons.h"

namespace ormax {

double CompareEllipses(const TEllipse& e1, const TEllipse& e2) {
  return CompareEllipses(TComparedEllipse(e1), TComparedEllipse(e2));
}

double CodeDistance(const TCode& sceneCode, const TCode& baseCode) {
  return CodeDistanceUpTo(sceneCode, baseCode, std::numeric_limits<double>::infinity());
}

double CodeDistanceUpTo(const TCode& sceneCode, const TCode& baseCode, double bound) {
  return TCodeDistanceFrom(sceneCode).UpTo(baseCode, bound);
}

}  // namespace ormax
