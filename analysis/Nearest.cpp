// Nearest: one pass over the base gives every entry's distance; each shape keeps its
// nearest entry, and the shapes are ordered by that distance.
//   ShapeOfEntry, FindNearestShapes, FindNearestCode
#include "analysis/Nearest.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_map>

namespace ormax {

std::string ShapeOfEntry(const std::string& entryName) {
  // The picture's name ends at '@'; a drawing's number follows the shape after '_'.
  return entryName.substr(0, std::min(entryName.find('@'), entryName.find('_')));
}

namespace {

// distance(code, entry i, bound): the distance, or any value above bound once it is
// clear that the entry is farther than bound.
template <typename TBoundedDistance>
std::vector<TNearestShape> NearestShapes(const TCodeBase& base, int32_t k,
                                         const TBoundedDistance& distance) {
  if (base.Empty()) throw std::invalid_argument("The base holds no code to compare with");
  std::vector<TNearestShape> best;  // one per shape, in order of the shape's first entry
  std::unordered_map<std::string, size_t> slot;
  for (int32_t i = 0; i < base.Count(); ++i) {
    const auto [it, added] = slot.try_emplace(ShapeOfEntry(base.Names(i)), best.size());
    if (added) {
      best.push_back({i, distance(i, std::numeric_limits<double>::infinity())});
    } else {
      const double d = distance(i, best[it->second].Distance);
      if (d < best[it->second].Distance)  // strictly nearer: ties keep the first entry
        best[it->second] = {i, d};
    }
  }
  std::stable_sort(best.begin(), best.end(), [](const TNearestShape& a, const TNearestShape& b) {
    return a.Distance < b.Distance || (a.Distance == b.Distance && a.Index < b.Index);
  });
  if (k < 1) return {};
  if (best.size() > static_cast<size_t>(k)) best.resize(static_cast<size_t>(k));
  return best;
}

}  // namespace

std::vector<TNearestShape> FindNearestShapes(const TCodeBase& base, const TCode& code, int32_t k,
                                             const TCodeDistance& distance) {
  return NearestShapes(base, k,
                       [&](int32_t i, double) { return distance(code, base.GetCode(i)); });
}

std::vector<TNearestShape> FindNearestShapes(const TCodeBase& base, const TCode& code, int32_t k) {
  return NearestShapes(base, k, [&](int32_t i, double bound) {
    return CodeDistanceUpTo(code, base.GetCode(i), bound);
  });
}

int32_t FindNearestCode(const TCodeBase& base, const TCode& code, double& bestDistance) {
  if (base.Empty()) throw std::invalid_argument("The base holds no code to compare with");
  int32_t best = 0;
  double bestD = CodeDistance(code, base.GetCode(0));
  for (int32_t i = 1; i < base.Count(); ++i) {
    const double d = CodeDistanceUpTo(code, base.GetCode(i), bestD);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  bestDistance = bestD;
  return best;
}

}  // namespace ormax
