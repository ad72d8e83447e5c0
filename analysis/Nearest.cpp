// Nearest: one pass over the base gives every entry's distance; each shape keeps its
// nearest entry, and the shapes are ordered by that distance.
//   ShapeOfEntry, FindNearestShapes
#include "analysis/Nearest.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

namespace ormax {

std::string ShapeOfEntry(const std::string& entryName) {
  return entryName.substr(0, entryName.find('@'));
}

std::vector<TNearestShape> FindNearestShapes(const TCodeBase& base, const TCode& code, int32_t k,
                                             const TCodeDistance& distance) {
  if (base.Empty()) throw std::invalid_argument("The base holds no code to compare with");
  std::vector<TNearestShape> best;  // one per shape, in order of the shape's first entry
  std::unordered_map<std::string, size_t> slot;
  for (int32_t i = 0; i < base.Count(); ++i) {
    const double d = distance(code, base.GetCode(i));
    const auto [it, added] = slot.try_emplace(ShapeOfEntry(base.Names(i)), best.size());
    if (added)
      best.push_back({i, d});
    else if (d < best[it->second].Distance)  // strictly nearer: ties keep the first entry
      best[it->second] = {i, d};
  }
  std::stable_sort(best.begin(), best.end(), [](const TNearestShape& a, const TNearestShape& b) {
    return a.Distance < b.Distance || (a.Distance == b.Distance && a.Index < b.Index);
  });
  if (k < 1) return {};
  if (best.size() > static_cast<size_t>(k)) best.resize(static_cast<size_t>(k));
  return best;
}

}  // namespace ormax
