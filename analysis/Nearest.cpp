// Nearest: the nearest entry of each shape, and the shapes ordered by it.
//   ShapeOfEntry, FindNearestShapes, FindNearest
// The searches by CodeDistanceUpTo leave an entry as soon as its sum passes what it
// would have to beat: its shape's nearest so far, and, once k shapes have one, the k-th
// of those (an entry beyond it cannot make the list). A few entries that look near
// (by where their ellipses lie) are compared first, so that these bounds are tight
// from the start; every other entry follows in base order. Whatever the order, an
// entry is taken only at or below its bound, where its distance is the full sum, and
// equal distances are settled by position, so the answer is the full scan's.
#include "analysis/Nearest.h"

#include <algorithm>
#include <limits>
#include <set>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "analysis/Comparisons.h"

namespace ormax {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::string_view ShapeView(std::string_view entryName) {
  // The picture's name ends at '@'; a drawing's number follows the shape after '_'.
  return entryName.substr(0, std::min(entryName.find('@'), entryName.find('_')));
}

}  // namespace

std::string ShapeOfEntry(const std::string& entryName) {
  return std::string(ShapeView(entryName));
}

namespace {

// ---- the order of the search ----

// A large base does not fit the caches: while one entry is compared, the memory of the
// entries a few places on is asked for, a step of its chain of pointers at a time
// (the code, its items, their bytes), each step reading what the last one fetched.
void Prefetch(const TCodeBase& base, int32_t i) {
  constexpr int32_t kCode = 12, kItems = 8, kBytes = 4;
  const int32_t count = base.Count();
  if (i + kCode < count) __builtin_prefetch(&base.GetCode(i + kCode));
  if (i + kItems < count) __builtin_prefetch(base.GetCode(i + kItems).Items.data());
  if (i + kBytes < count)
    for (const TCodeItem& item : base.GetCode(i + kBytes).Items)
      if (item.HasChildren == 0) {
        __builtin_prefetch(item.Data.data());
        __builtin_prefetch(item.Data.data() + 64);
      }
}

// How unlike an entry looks to the code, cheaply: the squared differences of the
// centres and semi-axes of the ellipses that CodeDistance would compare, weighted by
// level. It only decides which entries are compared first.
class TLikeness {
 public:
  explicit TLikeness(const TCode& code) {
    for (const TCodeItem& item : code.Items) {
      if (item.Index < 0 || item.Index >= kPositions || item.Data.size() < kBytes) continue;
      TPart& part = parts_[static_cast<size_t>(item.Index)];
      part.Known = true;
      part.Children = item.HasChildren != 0;
      part.Weight = 1.0 / static_cast<double>(int64_t{1} << std::min(code.LevelOf(item.Index), 62));
      for (size_t k = 0; k < 4; ++k) part.Values[k] = LoadDouble(item.Data.data() + Offsets[k]);
    }
  }

  double operator()(const TCode& entry) const {
    double sum = 0;
    for (const TCodeItem& item : entry.Items) {
      if (item.Index < 0 || item.Index >= kPositions || item.Data.size() < kBytes) continue;
      const TPart& part = parts_[static_cast<size_t>(item.Index)];
      if (!part.Known || (part.Children && item.HasChildren != 0)) continue;
      double s = 0;
      for (size_t k = 0; k < 4; ++k) {
        const double d = LoadDouble(item.Data.data() + Offsets[k]) - part.Values[k];
        s += d * d;
      }
      sum += part.Weight * s;
    }
    return sum == sum ? sum : kInfinity;  // a damaged ellipse: last
  }

 private:
  static constexpr int32_t kPositions = 64;  // positions beyond are left out of the likeness
  static constexpr size_t kBytes = 64;       // up to the semi-axes
  // Centre x and y, and the semi-axes, in an ellipse's bytes.
  static constexpr size_t Offsets[4] = {0, 8, 48, 56};
  struct TPart {
    bool Known = false;
    bool Children = false;
    double Weight = 0;
    double Values[4] = {};
  };
  TPart parts_[kPositions];
};

// The entries to compare first: the few likeliest of each group.
std::vector<int32_t> FirstEntries(const TCodeBase& base, const TCode& code,
                                  const std::vector<int32_t>& groupOf, int32_t groups,
                                  size_t perGroup) {
  const TLikeness likeness(code);
  using TCandidate = std::pair<double, int32_t>;  // likeness, entry
  std::vector<TCandidate> kept(static_cast<size_t>(groups) * perGroup, {kInfinity, -1});
  for (int32_t i = 0; i < base.Count(); ++i) {
    Prefetch(base, i);
    const size_t g = groupOf.empty() ? 0 : static_cast<size_t>(groupOf[static_cast<size_t>(i)]);
    TCandidate* first = kept.data() + g * perGroup;
    TCandidate* last = first + perGroup - 1;
    const TCandidate c{likeness(base.GetCode(i)), i};
    if (!(c < *last)) continue;
    // Insertion into the group's short sorted list.
    TCandidate* at = last;
    while (at > first && c < *(at - 1)) {
      *at = *(at - 1);
      --at;
    }
    *at = c;
  }
  std::vector<int32_t> entries;
  for (const TCandidate& c : kept)
    if (c.second >= 0) entries.push_back(c.second);
  std::sort(entries.begin(), entries.end());
  return entries;
}

// ---- the search ----

struct TBest {
  double Distance = kInfinity;
  int32_t Index = -1;  // none yet
};

// The k-th smallest of the groups' nearest distances so far (infinity while fewer than
// k groups have one). The distances only fall.
class TKthBound {
 public:
  TKthBound(size_t k, int32_t groups) : k_(k), member_(static_cast<size_t>(groups), 0) {}

  double Value() const { return top_.size() < k_ ? kInfinity : top_.rbegin()->first; }

  void Lower(int32_t group, double before, double now) {
    auto& member = member_[static_cast<size_t>(group)];
    if (member) {
      top_.erase({before, group});
      top_.insert({now, group});
    } else if (top_.size() < k_) {
      top_.insert({now, group});
      member = 1;
    } else if (now < top_.rbegin()->first) {
      member_[static_cast<size_t>(top_.rbegin()->second)] = 0;
      top_.erase(std::prev(top_.end()));
      top_.insert({now, group});
      member = 1;
    }
  }

 private:
  size_t k_;
  std::set<std::pair<double, int32_t>> top_;  // the k smallest so far, with their groups
  std::vector<uint8_t> member_;
};

// For every group the nearest entry (the lower position on ties), exact for the groups
// of the k nearest at least; a group whose every entry was left early keeps Index -1.
std::vector<TBest> SearchGroups(const TCodeBase& base, const TCode& code,
                                const std::vector<int32_t>& groupOf, int32_t groups, size_t k) {
  std::vector<TBest> best(static_cast<size_t>(groups));
  TKthBound kth(k, groups);
  const TCodeDistanceFrom from(code);
  auto visit = [&](int32_t i) {
    const int32_t g = groupOf.empty() ? 0 : groupOf[static_cast<size_t>(i)];
    TBest& b = best[static_cast<size_t>(g)];
    const double bound = std::min(b.Distance, kth.Value());
    const double d = from.UpTo(base.GetCode(i), bound);
    if (!(d <= bound)) return;  // left early: farther than it would have to be
    if (d < b.Distance || (d == b.Distance && i < b.Index)) {
      if (k < static_cast<size_t>(groups)) kth.Lower(g, b.Distance, d);
      b = {d, i};
    }
  };
  // A couple of the likeliest entries of each group, and more of them for one group.
  const size_t perGroup = groups == 1 ? 8 : 2;
  const std::vector<int32_t> first = FirstEntries(base, code, groupOf, groups, perGroup);
  for (const int32_t i : first) visit(i);
  size_t next = 0;
  for (int32_t i = 0; i < base.Count(); ++i) {
    Prefetch(base, i);
    if (next < first.size() && first[next] == i) {
      ++next;
      continue;
    }
    visit(i);
  }
  return best;
}

}  // namespace

std::vector<TNearestShape> FindNearestShapes(const TCodeBase& base, const TCode& code, int32_t k,
                                             const TCodeDistance& distance) {
  if (base.Empty()) throw std::invalid_argument("The base holds no code to compare with");
  std::vector<TNearestShape> best;  // one per shape, in order of the shape's first entry
  std::unordered_map<std::string, size_t> slot;
  for (int32_t i = 0; i < base.Count(); ++i) {
    const auto [it, added] = slot.try_emplace(ShapeOfEntry(base.Names(i)), best.size());
    const double d = distance(code, base.GetCode(i));
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

std::vector<TNearestShape> FindNearestShapes(const TCodeBase& base, const TCode& code, int32_t k) {
  if (base.Empty()) throw std::invalid_argument("The base holds no code to compare with");
  if (k < 1) return {};
  // The shape of every entry as a number; names of one shape mostly follow each other.
  std::vector<int32_t> groupOf(static_cast<size_t>(base.Count()));
  std::unordered_map<std::string_view, int32_t> groupOfShape;
  std::string_view previous;
  int32_t previousGroup = -1;
  for (int32_t i = 0; i < base.Count(); ++i) {
    const std::string_view shape = ShapeView(base.Names(i));
    if (previousGroup < 0 || shape != previous) {
      previous = shape;
      previousGroup = groupOfShape.try_emplace(shape, static_cast<int32_t>(groupOfShape.size()))
                          .first->second;
    }
    groupOf[static_cast<size_t>(i)] = previousGroup;
  }
  const auto groups = static_cast<int32_t>(groupOfShape.size());
  const std::vector<TBest> best = SearchGroups(base, code, groupOf, groups, static_cast<size_t>(k));
  std::vector<TNearestShape> list;
  for (const TBest& b : best)
    if (b.Index >= 0) list.push_back({b.Index, b.Distance});
  std::sort(list.begin(), list.end(), [](const TNearestShape& a, const TNearestShape& b) {
    return a.Distance < b.Distance || (a.Distance == b.Distance && a.Index < b.Index);
  });
  if (list.size() > static_cast<size_t>(k)) list.resize(static_cast<size_t>(k));
  return list;
}

int32_t FindNearest(const TCodeBase& base, const TCode& code, double& bestDistance) {
  if (base.Empty()) throw std::invalid_argument("The base holds no code to compare with");
  const TBest best = SearchGroups(base, code, {}, 1, 1).front();
  bestDistance = best.Distance;
  return best.Index;
}

}  // namespace ormax
