// Comparisons: CompareEllipses and CodeDistanceUpTo with the parts that depend on one
// side only made once, for a search that compares one code with many.
//   TComparedEllipse   an ellipse with its bounding reach and the terms of its tests
//   CompareEllipses    of two prepared ellipses: the same value as for the ellipses
//   TCodeDistanceFrom  one scene code, its items indexed and its ellipses read and
//                      prepared on first need; UpTo is CodeDistanceUpTo to the bit
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/PointTests.h"
#include "codes/Codes.h"
#include "model/Patterns.h"

namespace ormax {

struct TComparedEllipse {
  explicit TComparedEllipse(const TEllipse& e);
  // The ellipse of a code item's bytes, as TEllipse::CreateFromBytes reads it (and
  // throwing as it does for too few bytes).
  explicit TComparedEllipse(const TByteArray& bytes);
  TComparedEllipse(const TComparedEllipse&) = delete;
  TComparedEllipse& operator=(const TComparedEllipse&) = delete;

  TEllipse Ellipse;
  double Reach;  // the norm of the semi-axes: the ellipse lies within it of the centre
  TEllipseTerms Terms;
};

double CompareEllipses(const TComparedEllipse& e1, const TComparedEllipse& e2);

class TCodeDistanceFrom {
 public:
  // sceneCode must stay valid and unchanged while the object is used.
  explicit TCodeDistanceFrom(const TCode& sceneCode);
  // CodeDistanceUpTo(sceneCode, baseCode, bound). Not for two threads at once on the
  // same object (the scene's ellipses are prepared on first need).
  double UpTo(const TCode& baseCode, double bound) const;

 private:
  struct TPair {
    size_t At;               // the scene item's place in items_
    const TCodeItem* Base;   // the base item of the same position
    int32_t Gap;             // how many levels deeper the other tree goes than a leaf
  };
  // The pairs CodeDistanceUpTo sums, in position order, into pairs_.
  void Pair(const TCode& baseCode) const;
  // The share of a pair: 1 - its ellipses' likeness, scaled down by the gap.
  double Share(const TPair& pair) const;

  const TCode& scene_;
  int32_t depth_;
  // The scene's items with positions from 0 on, one per position, ascending (a later
  // item of the code wins a repeated position), and for each its level and ellipse.
  std::vector<const TCodeItem*> items_;
  std::vector<int32_t> levels_;
  std::vector<Real> weights_;  // 2^-level
  mutable std::vector<std::unique_ptr<TComparedEllipse>> ellipses_;
  mutable std::vector<TPair> pairs_;
};

}  // namespace ormax
