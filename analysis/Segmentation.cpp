// Segmentation: the regions of a scene, the 8-connected components of its runs of
// non-background pixels, united with a union-find over the runs.
//
//   SegmentPattern     appends one region per component to a list, each a TPattern
//                      made at its tight box, in the order of each region's first
//                      cell in the quadtree's leaf order
//
// Edge cases: a scene without a row or a column, or without a pixel other than the
// background, appends nothing; the regions go after what the list holds already; a
// scene of 2^31 - 1 runs or more throws std::length_error; with parts, the rows are
// worked on in up to 16 bands, run in any order, and the regions are the same.
#include "analysis/Methods.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace ormax {

namespace {

// visit(first, last) for each run of row (width pixels from the scene's left edge):
// a maximal span of pixels other than the background, left to right.
template <typename TVisit>
void ForEachRun(const TColor* row, int32_t width, TColor background, TVisit&& visit) {
  int32_t x = 0;
  for (;;) {
    while (x < width && row[x] == background) ++x;
    if (x == width) return;
    const int32_t first = x;
    while (x < width && row[x] != background) ++x;
    visit(first, x - 1);
  }
}

// Where a pixel comes in the quadtree's leaf order. Every cell splits at its centre
// whatever its colours, and each axis's split depends on that axis alone, so a pixel's
// path down the fully split tree is its column's path (left half 0, right half 1) and
// its row's path interleaved, the row's step first. A leaf covers a range of these
// keys, so the first cell of a region is the one holding its pixel of lowest key.
class TLeafOrder {
 public:
  TLeafOrder(int32_t width, int32_t height) {
    const int levels = std::max(Levels(width), Levels(height));
    columns_.assign(static_cast<size_t>(width), 0);
    rows_.assign(static_cast<size_t>(height), 0);
    Fill(columns_, 0, width - 1, levels - 1, 0);
    Fill(rows_, 0, height - 1, levels - 1, 0);
  }
  // The key of pixel (x, y), counted from the scene's top-left corner.
  uint64_t Key(int32_t x, int32_t y) const {
    return Spread(rows_[static_cast<size_t>(y)]) << 1 | Spread(columns_[static_cast<size_t>(x)]);
  }

 private:
  // Splits until a cell of `size` pixels on this axis is one pixel long.
  static int Levels(int64_t size) {
    int levels = 0;
    for (; size > 1; size = size - size / 2) ++levels;  // the first half is the larger
    return levels;
  }
  // A one-pixel span stays in its first half at every further split.
  static void Fill(std::vector<uint32_t>& path, int32_t first, int32_t last, int bit,
                   uint32_t prefix) {
    if (first == last) {
      path[static_cast<size_t>(first)] = prefix;
      return;
    }
    const int32_t centre = first + (last - first) / 2;
    Fill(path, first, centre, bit - 1, prefix);
    Fill(path, centre + 1, last, bit - 1, prefix | uint32_t{1} << bit);
  }
  // The bits of v at the even positions of the result.
  static uint64_t Spread(uint32_t v) {
    uint64_t x = v;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    x = (x | x << 8) & 0x00FF00FF00FF00FFull;
    x = (x | x << 4) & 0x0F0F0F0F0F0F0F0Full;
    x = (x | x << 2) & 0x3333333333333333ull;
    x = (x | x << 1) & 0x5555555555555555ull;
    return x;
  }

  std::vector<uint32_t> columns_, rows_;
};

struct TComponent {
  TRect Box;
  uint64_t FirstKey;
};

[[noreturn]] void TooManyRuns() {
  throw std::length_error("The scene has too many runs of pixels to segment");
}

// The scene's rows, and the bands they are worked on in: with parts, the rows are
// labelled and copied in bands at once; the regions are the same either way.
struct TSceneRows {
  TSceneRows(const TPattern& scene, const TRunParts& parts)
      : Scene(scene),
        Width(scene.Width()),
        Height(scene.Height()),
        Background(scene.Background()),
        Bands(parts ? std::min(Height, 16) : 1),
        Parts(parts) {}

  const TColor* Row(int32_t y) const { return &Scene.Pixels[y][0]; }
  int32_t FirstRow(int32_t b) const { return static_cast<int32_t>(int64_t{Height} * b / Bands); }
  // band(b) for every band b.
  void ForEachBand(const std::function<void(int32_t)>& band) const {
    if (Bands > 1)
      Parts(Bands, band);
    else
      band(0);
  }

  const TPattern& Scene;
  const int32_t Width, Height;
  const TColor Background;
  const int32_t Bands;
  const TRunParts& Parts;
};

// ---- 1. the runs, numbered and united ----

// Runs are numbered in scan order; parent[run] <= run, and the root of a set of
// connected runs is its first run.
struct TRun {
  int32_t First, Last, Number;
};

int32_t Root(std::vector<int32_t>& parent, int32_t a) {
  while (parent[static_cast<size_t>(a)] != a) {
    auto& p = parent[static_cast<size_t>(a)];
    p = parent[static_cast<size_t>(p)];
    a = p;
  }
  return a;
}

// Joins run (of one row) to the runs of above it touches (8-connected); j is where the
// search in above starts, kept from one run of the row to the next.
void Join(std::vector<int32_t>& parent, const TRun& run, const std::vector<TRun>& above,
          size_t& j) {
  while (j < above.size() && above[j].Last < run.First - 1) ++j;
  for (size_t k = j; k < above.size() && above[k].First <= run.Last + 1; ++k) {
    const int32_t a = Root(parent, run.Number), b = Root(parent, above[k].Number);
    if (a < b)
      parent[static_cast<size_t>(b)] = a;
    else if (b < a)
      parent[static_cast<size_t>(a)] = b;
  }
}

// Each band labels its rows with numbers of its own, keeping the runs of its first
// and last rows for joining it to its neighbours.
struct TBand {
  std::vector<int32_t> Parent;
  std::vector<TRun> First, Last;
};

// Labels the rows of band b into band; rowRuns[y] receives the number of runs of row y.
void LabelBand(const TSceneRows& rows, int32_t b, TBand& band, std::vector<int32_t>& rowRuns) {
  std::vector<TRun> above, here;
  for (int32_t y = rows.FirstRow(b); y < rows.FirstRow(b + 1); ++y) {
    here.clear();
    size_t j = 0;
    ForEachRun(rows.Row(y), rows.Width, rows.Background, [&](int32_t first, int32_t last) {
      if (band.Parent.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) TooManyRuns();
      const auto number = static_cast<int32_t>(band.Parent.size());
      band.Parent.push_back(number);
      here.push_back({first, last, number});
      Join(band.Parent, here.back(), above, j);
    });
    rowRuns[static_cast<size_t>(y)] = static_cast<int32_t>(here.size());
    if (y == rows.FirstRow(b)) band.First = here;
    std::swap(above, here);
  }
  band.Last = std::move(above);
}

// The bands' parents as one forest in scan order: each band's numbers follow those of
// the bands above it, and each band's first row is united with the last row above it.
std::vector<int32_t> JoinBands(const TSceneRows& rows, std::vector<TBand>& labelled) {
  const int32_t bands = rows.Bands;
  std::vector<int32_t> offsets(static_cast<size_t>(bands) + 1, 0);
  for (int32_t b = 0; b < bands; ++b) {
    const int64_t next = int64_t{offsets[static_cast<size_t>(b)]} +
                         static_cast<int64_t>(labelled[static_cast<size_t>(b)].Parent.size());
    if (next >= std::numeric_limits<int32_t>::max()) TooManyRuns();
    offsets[static_cast<size_t>(b) + 1] = static_cast<int32_t>(next);
  }
  if (bands == 1) return std::move(labelled[0].Parent);
  std::vector<int32_t> parent(static_cast<size_t>(offsets.back()));
  rows.ForEachBand([&](int32_t b) {
    auto& own = labelled[static_cast<size_t>(b)].Parent;
    const int32_t offset = offsets[static_cast<size_t>(b)];
    for (size_t i = 0; i < own.size(); ++i) parent[offset + i] = own[i] + offset;
    std::vector<int32_t>().swap(own);
  });
  for (int32_t b = 1; b < bands; ++b) {
    auto numbered = [&](std::vector<TRun> runs, int32_t offset) {
      for (TRun& r : runs) r.Number += offset;
      return runs;
    };
    const auto above = numbered(labelled[static_cast<size_t>(b) - 1].Last, offsets[static_cast<size_t>(b) - 1]);
    size_t j = 0;
    for (const TRun& r : numbered(labelled[static_cast<size_t>(b)].First, offsets[static_cast<size_t>(b)]))
      Join(parent, r, above, j);
  }
  return parent;
}

// Every run's parent, the runs numbered in scan order; rowRuns[y] receives the number
// of runs of row y.
std::vector<int32_t> LabelRuns(const TSceneRows& rows, std::vector<int32_t>& rowRuns) {
  std::vector<TBand> labelled(static_cast<size_t>(rows.Bands));
  rowRuns.assign(static_cast<size_t>(rows.Height), 0);
  rows.ForEachBand(
      [&](int32_t b) { LabelBand(rows, b, labelled[static_cast<size_t>(b)], rowRuns); });
  return JoinBands(rows, labelled);
}

// ---- 2. the components, their boxes and first keys ----

// Replaces each run's parent with -(c + 1), c its component's number (components
// numbered in the order of their first runs), and returns the components.
std::vector<TComponent> NumberComponents(const TSceneRows& rows, std::vector<int32_t>& parent) {
  const TLeafOrder order(rows.Width, rows.Height);
  std::vector<TComponent> components;
  int32_t run = 0;
  for (int32_t y = 0; y < rows.Height; ++y)
    ForEachRun(rows.Row(y), rows.Width, rows.Background, [&](int32_t first, int32_t last) {
      int32_t& p = parent[static_cast<size_t>(run)];
      if (p == run) {
        p = -static_cast<int32_t>(components.size()) - 1;
        components.push_back({{first, y, last, y}, order.Key(first, y)});
      } else {
        p = parent[static_cast<size_t>(p)];  // the parent is an earlier run, already numbered
        TComponent& c = components[static_cast<size_t>(-p - 1)];
        c.Box.Left = std::min(c.Box.Left, first);
        c.Box.Right = std::max(c.Box.Right, last);
        c.Box.Bottom = y;
        c.FirstKey = std::min(c.FirstKey, order.Key(first, y));  // keys rise along a row
      }
      ++run;
    });
  return components;
}

// ---- 3. the components in the order of their first cells ----

// The boxes in list order; each run's component number in parent becomes -(k + 1), k
// its region's place in the list. The components go before the regions are made.
std::vector<TRect> OrderComponents(std::vector<TComponent> components,
                                   std::vector<int32_t>& parent) {
  std::vector<int32_t> byOrder(components.size());
  for (size_t c = 0; c < byOrder.size(); ++c) byOrder[c] = static_cast<int32_t>(c);
  std::sort(byOrder.begin(), byOrder.end(), [&](int32_t a, int32_t b) {
    return components[static_cast<size_t>(a)].FirstKey < components[static_cast<size_t>(b)].FirstKey;
  });
  std::vector<TRect> boxes(byOrder.size());
  std::vector<int32_t> place(components.size());
  for (size_t k = 0; k < byOrder.size(); ++k) {
    const auto c = static_cast<size_t>(byOrder[k]);
    boxes[k] = components[c].Box;
    place[c] = static_cast<int32_t>(k);
  }
  std::vector<TComponent>().swap(components);
  std::vector<int32_t>().swap(byOrder);
  for (int32_t& p : parent) p = -place[static_cast<size_t>(-p - 1)] - 1;
  return boxes;
}

// ---- 4. the regions, made and filled ----

// Appends an empty region per box, at the box moved to the scene's place.
void AddRegions(const TSceneRows& rows, std::vector<TRect> boxes, TPatternList& list) {
  const TPattern& scene = rows.Scene;
  list.Reserve(static_cast<size_t>(list.Count()) + boxes.size());
  for (const TRect& b : boxes)
    list.Add(TPattern::CreateEmpty(
        {b.Left + scene.Left, b.Top + scene.Top, b.Right + scene.Left, b.Bottom + scene.Top},
        rows.Background));
}

// Copies every run's pixels into its region, list.Items(offset + k) for place k. Each
// band copies its rows' runs: the bands write different rows of a region.
void CopyRuns(const TSceneRows& rows, const std::vector<int32_t>& parent,
              const std::vector<int32_t>& rowRuns, TPatternList& list, int32_t offset) {
  const TPattern& scene = rows.Scene;
  std::vector<int32_t> bandRuns(static_cast<size_t>(rows.Bands), 0);
  for (int32_t b = 1; b < rows.Bands; ++b) {
    int32_t n = bandRuns[static_cast<size_t>(b) - 1];
    for (int32_t y = rows.FirstRow(b - 1); y < rows.FirstRow(b); ++y) n += rowRuns[static_cast<size_t>(y)];
    bandRuns[static_cast<size_t>(b)] = n;
  }
  rows.ForEachBand([&](int32_t band) {
    int32_t next = bandRuns[static_cast<size_t>(band)];
    for (int32_t y = rows.FirstRow(band); y < rows.FirstRow(band + 1); ++y) {
      const TColor* pixels = rows.Row(y);
      ForEachRun(pixels, rows.Width, rows.Background, [&](int32_t first, int32_t last) {
        TPattern& region = list.Items(offset - parent[static_cast<size_t>(next++)] - 1);
        std::copy(pixels + first, pixels + last + 1,
                  &region.Pixels[y + scene.Top - region.Top][first + scene.Left - region.Left]);
      });
    }
  });
}

}  // namespace

// The regions are the 8-connected components of the runs of non-background pixels:
// 1. Runs are numbered in scan order, and each is united with the runs of the row
//    above that touch it (overlapping, or meeting at a corner). A set's root is its
//    lowest run, so every run's parent is an earlier run. In bands, each band numbers
//    its own runs; the numbers are then offset into scan order and the bands' edge
//    rows united.
// 2. The rows are scanned again: each run takes its root's component number (the
//    parent is already resolved), and the component its box and its first key.
// 3. The components are ordered by their first cell in the quadtree's leaf order.
// 4. A third scan copies each run's pixels into its region, made at its box (in bands,
//    each band its own rows).
// Only a number per run is kept: the runs are found again from the scene each time.
void SegmentPattern(const TPattern& scene, TPatternList& list, const TRunParts& parts) {
  if (scene.Width() <= 0 || scene.Height() <= 0) return;
  const TSceneRows rows(scene, parts);
  std::vector<int32_t> rowRuns;
  std::vector<int32_t> parent = LabelRuns(rows, rowRuns);
  if (parent.empty()) return;
  std::vector<TRect> boxes = OrderComponents(NumberComponents(rows, parent), parent);
  const int32_t offset = list.Count();
  AddRegions(rows, std::move(boxes), list);  // each region holds its box now
  CopyRuns(rows, parent, rowRuns, list, offset);
}

}  // namespace ormax
