// Comparisons: the grid of CompareEllipses is 26 x 26 points over the box that holds
// both ellipses; each ellipse's points of a column are mostly one run of rows, found
// from where the column crosses the boundary (TGridContainment::Runs), and only the
// other columns are tested point by point. CodeDistanceUpTo pairs the items of equal
// positions and sums their shares in position order.
//   TComparedEllipse, CompareEllipses, TCodeDistanceFrom
#include "analysis/Comparisons.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numerics/Rounding.h"

namespace ormax {

TComparedEllipse::TComparedEllipse(const TEllipse& e)
    : Ellipse(e), Reach(static_cast<double>(VectorNorm(Ellipse.Axes))), Terms(Ellipse) {}

TComparedEllipse::TComparedEllipse(const TByteArray& bytes)
    : TComparedEllipse(TEllipse::CreateFromBytes(bytes)) {}

double CompareEllipses(const TComparedEllipse& c1, const TComparedEllipse& c2) {
  const TEllipse& e1 = c1.Ellipse;
  const TEllipse& e2 = c2.Ellipse;
  const double r1 = c1.Reach, r2 = c2.Reach;
  const double xmin = static_cast<double>(std::min(e1.Center[0] - r1, e2.Center[0] - r2));
  const double ymin = static_cast<double>(std::min(e1.Center[1] - r1, e2.Center[1] - r2));
  const double xmax = static_cast<double>(std::max(e1.Center[0] + r1, e2.Center[0] + r2));
  const double ymax = static_cast<double>(std::max(e1.Center[1] + r1, e2.Center[1] + r2));
  const double dx = static_cast<double>((static_cast<Real>(xmax) - xmin) / 25);
  const double dy = static_cast<double>((static_cast<Real>(ymax) - ymin) / 25);

  // 26 points per axis at the most, also for a zero, infinite or NaN extent. Every
  // column sees the same rows, so both coordinate runs are made once.
  constexpr int kGridPoints = 26;
  double xs[kGridPoints], ys[kGridPoints];
  const int32_t columns = GridCoordinates(xmin, dx, xmax, kGridPoints, xs);
  const int32_t rows = GridCoordinates(ymin, dy, ymax, kGridPoints, ys);
  int64_t common = 0, covered = 0;
  if (columns > 0 && rows > 0) {
    TGridContainment in1(c1.Terms, ys, rows), in2(c2.Terms, ys, rows);
    const double reach = std::max(std::fabs(xs[0]), std::fabs(xs[columns - 1]));
    in1.PrepareRuns(reach);
    in2.PrepareRuns(reach);
    int32_t lo1[kGridPoints], hi1[kGridPoints], lo2[kGridPoints], hi2[kGridPoints];
    in1.Runs(xs, columns, lo1, hi1);
    in2.Runs(xs, columns, lo2, hi2);
    uint8_t a[kGridPoints], b[kGridPoints];
    for (int32_t i = 0; i < columns; ++i) {
      const bool run1 = lo1[i] >= 0, run2 = lo2[i] >= 0;
      if (run1 && run2) {
        const int32_t both = std::max(0, std::min(hi1[i], hi2[i]) - std::max(lo1[i], lo2[i]));
        common += both;
        covered += (hi1[i] - lo1[i]) + (hi2[i] - lo2[i]) - both;
        continue;
      }
      if (run1)
        for (int32_t j = 0; j < rows; ++j) a[j] = j >= lo1[i] && j < hi1[i];
      else
        in1.Column(xs[i], a);
      if (run2)
        for (int32_t j = 0; j < rows; ++j) b[j] = j >= lo2[i] && j < hi2[i];
      else
        in2.Column(xs[i], b);
      for (int32_t j = 0; j < rows; ++j) {
        common += a[j] & b[j];
        covered += a[j] | b[j];
      }
    }
  }
  if (covered == 0) return 1.0;  // no grid point in either: nothing in common
  return static_cast<double>(1 - static_cast<Real>(common) / covered);
}

namespace {

// The items of a code with positions 0 .. last, one per position, ascending;
// where a position repeats, the item later in the code wins.
void IndexedItems(const TCode& code, int32_t last, std::vector<const TCodeItem*>& items) {
  items.clear();
  bool ascending = true;
  for (const TCodeItem& item : code.Items)
    if (item.Index >= 0 && item.Index <= last) {
      if (!items.empty() && items.back()->Index >= item.Index) ascending = false;
      items.push_back(&item);
    }
  if (ascending) return;  // the usual case: already one per position, in order
  std::stable_sort(items.begin(), items.end(),
                   [](const TCodeItem* a, const TCodeItem* b) { return a->Index < b->Index; });
  size_t kept = 0;
  for (const TCodeItem* item : items) {
    if (kept > 0 && items[kept - 1]->Index == item->Index)
      items[kept - 1] = item;
    else
      items[kept++] = item;
  }
  items.resize(kept);
}

}  // namespace

TCodeDistanceFrom::TCodeDistanceFrom(const TCode& sceneCode)
    : scene_(sceneCode), depth_(sceneCode.Depth()) {
  IndexedItems(sceneCode, std::numeric_limits<int32_t>::max(), items_);
  levels_.reserve(items_.size());
  weights_.reserve(items_.size());
  for (const TCodeItem* item : items_) {
    levels_.push_back(sceneCode.LevelOf(item->Index));
    weights_.push_back(Ldexp(Real(1), -levels_.back()));
  }
  ellipses_.resize(items_.size());
}

void TCodeDistanceFrom::Pair(const TCode& baseCode) const {
  pairs_.clear();
  const int32_t last = std::max(scene_.LastIndex(), baseCode.LastIndex());
  const int32_t depthBase = baseCode.Depth();
  // The base's items as IndexedItems lists them; mostly a few, in order already.
  constexpr size_t kFew = 32;
  const TCodeItem* few[kFew];
  std::vector<const TCodeItem*> many;
  const TCodeItem* const* base = few;
  size_t baseCount = 0;
  for (const TCodeItem& item : baseCode.Items) {
    if (item.Index < 0 || item.Index > last) continue;
    if (baseCount == kFew || (baseCount > 0 && few[baseCount - 1]->Index >= item.Index)) {
      IndexedItems(baseCode, last, many);
      base = many.data();
      baseCount = many.size();
      break;
    }
    few[baseCount++] = &item;
  }
  size_t sceneCount = 0;
  while (sceneCount < items_.size() && items_[sceneCount]->Index <= last) ++sceneCount;

  size_t a = 0, b = 0;
  while (a < sceneCount && b < baseCount) {
    const TCodeItem& s = *items_[a];
    const TCodeItem& t = *base[b];
    if (s.Index < t.Index) {
      ++a;
      continue;
    }
    if (t.Index < s.Index) {
      ++b;
      continue;
    }
    const size_t at = a;
    ++a;
    ++b;
    if (s.HasChildren != 0 && t.HasChildren != 0) continue;
    int32_t gap = 0;
    if (s.HasChildren == 0 && t.HasChildren != 0)
      gap = depthBase - levels_[at];
    else if (t.HasChildren == 0 && s.HasChildren != 0)
      gap = depth_ - baseCode.LevelOf(s.Index);
    // A consistent pair never has a negative gap; a damaged code (a foreign Arity)
    // could, and 2^-gap would then overflow.
    if (gap < 0) gap = 0;
    pairs_.push_back({at, &t, gap});
  }
}

double TCodeDistanceFrom::Share(const TPair& pair) const {
  auto& e1 = ellipses_[pair.At];
  if (!e1) e1 = std::make_unique<TComparedEllipse>(items_[pair.At]->Data);
  const TComparedEllipse e2(pair.Base->Data);
  const Real scale = pair.Gap == 0 ? Real(1) : Ldexp(Real(1), -pair.Gap);
  return static_cast<double>((1 - Real(CompareEllipses(*e1, e2))) * scale);
}

double TCodeDistanceFrom::UpTo(const TCode& baseCode, double bound) const {
  Pair(baseCode);
  double d = 0.0;
  for (const TPair& pair : pairs_) {
    const double share = Share(pair);
    d = static_cast<double>(d + weights_[pair.At] * (1 - Real(share)));
    if (d > bound) return d;  // the rest only adds: this entry cannot come nearer
  }
  return d;
}

}  // namespace ormax
