// Segmentation: the regions of a scene, the 8-connected components of its runs of
// non-background pixels, united with a union-find over the runs.
//
//   SegmentPattern     appends one region per component to a list, each a TPattern
//                      made at its tight box, in the order of each region's first
//                      cell in the quadtree's leaf order
//   SegmentIndexed     the same regions, to the bit, from the scene's 8-bit indices
//                      and their colours, without a scene pattern
// Either gives each region's count of inside pixels when asked (counted anyway).
//
// Edge cases: a scene without a row or a column, or without a pixel other than the
// background, appends nothing (an indexed scene's inside pixels are those whose index
// stands for a colour other than its background, however many indices stand for it);
// the regions, and their counts, go after what the list and the counts hold already; a
// scene of more than 2^31 - 1 runs throws std::length_error; when making the regions
// throws (no memory), none of them is left in the list and no count is added; with
// parts, the rows are worked on in up to 16 bands, run in any order, and the regions
// are the same (in one band after all when the address space for every run's number
// is refused, or the numbers would not fit in 31 bits).
#include "analysis/Methods.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "model/LargeBlocks.h"

namespace ormax {

namespace {

// The inside flags of 64 pixels as the bits of a word, pixel i at bit i, flag(i) the
// flag of pixel i. The flags are made a byte each, which the compiler does several at
// a time, and each 8 bytes of 0 or 1 are packed into 8 bits by one multiplication: flag
// j, bit 8 j of the word read from them (on a little-endian machine), times bit 7 k + 7
// of the multiplier lands on bit 56 + j when j + k = 7, and no two products share a bit.
static_assert(std::endian::native == std::endian::little,
              "InsideBits reads eight flags as a word, the first in its low byte");
template <class TFlag>
uint64_t InsideBits(TFlag flag) {
  uint8_t flags[64];
  for (int32_t i = 0; i < 64; ++i) flags[i] = flag(i);
  uint64_t bits = 0;
  for (int32_t g = 0; g < 8; ++g) {
    uint64_t eight;
    std::memcpy(&eight, flags + 8 * g, sizeof eight);
    bits |= (eight * 0x0102040810204080u) >> 56 << (8 * g);
  }
  return bits;
}

// The inside flags of n <= 64 pixels, pixel i at bit i.
template <class TFlag>
uint64_t InsideBits(TFlag flag, int32_t n) {
  if (n == 64) return InsideBits(flag);
  uint64_t inside = 0;
  for (int32_t i = 0; i < n; ++i) inside |= uint64_t{flag(i)} << i;
  return inside;
}

// A scene pattern's pixels: inside are those other than its background.
class TPatternPixels {
 public:
  explicit TPatternPixels(const TPattern& scene) : scene_(scene), background_(scene.Background()) {}
  int32_t Left() const { return scene_.Left; }
  int32_t Top() const { return scene_.Top; }
  int32_t Width() const { return scene_.Width(); }
  int32_t Height() const { return scene_.Height(); }
  TColor Background() const { return background_; }
  // The inside flags of pixels base .. base + n - 1 of row y (from the top), n <= 64.
  uint64_t Inside(int32_t y, int32_t base, int32_t n) const {
    const TColor* p = scene_.Pixels[y] + base;
    return InsideBits([&](int32_t i) { return p[i] != background_; }, n);
  }
  // Pixels first .. last of row y into `into`.
  void Copy(int32_t y, int32_t first, int32_t last, TColor* into) const {
    const TColor* row = scene_.Pixels[y];
    std::copy(row + first, row + last + 1, into);
  }

 private:
  const TPattern& scene_;
  const TColor background_;
};

// An indexed scene's pixels: inside are those whose index stands for a colour other
// than the background. Mostly one index stands for the background, and a pixel is
// inside when its index is not that one.
class TIndexedPixels {
 public:
  explicit TIndexedPixels(const TIndexedScene& scene) : scene_(scene) {
    int32_t ground = 0;
    for (size_t i = 0; i < 256; ++i) {
      inside_[i] = scene.Colours[i] != scene.Background;
      if (!inside_[i]) ++ground, groundIndex_ = static_cast<uint8_t>(i);
    }
    oneGround_ = ground == 1;
  }
  int32_t Left() const { return 0; }
  int32_t Top() const { return 0; }
  int32_t Width() const { return scene_.Width; }
  int32_t Height() const { return scene_.Height; }
  TColor Background() const { return scene_.Background; }
  uint64_t Inside(int32_t y, int32_t base, int32_t n) const {
    const uint8_t* p = scene_.Row(y) + base;
    if (oneGround_) return InsideBits([&](int32_t i) { return p[i] != groundIndex_; }, n);
    return InsideBits([&](int32_t i) { return inside_[p[i]]; }, n);
  }
  void Copy(int32_t y, int32_t first, int32_t last, TColor* into) const {
    const uint8_t* row = scene_.Row(y);
    for (int32_t x = first; x <= last; ++x) *into++ = scene_.Colours[row[x]];
  }

 private:
  const TIndexedScene& scene_;
  std::array<bool, 256> inside_{};
  uint8_t groundIndex_ = 0;
  bool oneGround_ = false;
};

// visit(first, last) for each run of row y (counted from the top): a maximal span of
// inside pixels, left to right. The row is read 64 pixels at a time into a word of
// inside flags, and the runs' ends are the word's changes of flag: a noisy row's runs
// are a few pixels long, and testing pixel by pixel would mispredict the end of nearly
// every run.
template <class TPixels, typename TVisit>
void ForEachRun(const TPixels& pixels, int32_t y, TVisit&& visit) {
  const int32_t width = pixels.Width();
  int32_t first = -1;  // the open run's first pixel, -1 between runs
  for (int32_t base = 0; base < width; base += 64) {
    const uint64_t inside = pixels.Inside(y, base, std::min(64, width - base));
    // Bit i set: pixel base + i differs from the one before it (before the row: background).
    // In a last word of n < 64 pixels the flags past the row are 0, so a run reaching
    // the row's end closes at bit n.
    uint64_t changes = inside ^ (inside << 1 | uint64_t{first >= 0});
    for (; changes != 0; changes &= changes - 1) {
      const int32_t x = base + std::countr_zero(changes);
      if (first < 0) {
        first = x;
      } else {
        visit(first, x - 1);
        first = -1;
      }
    }
  }
  if (first >= 0) visit(first, width - 1);
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
  int64_t Pixels;  // inside pixels
};

[[noreturn]] void TooManyRuns() {
  throw std::length_error("The scene has too many runs of pixels to segment");
}

// The scene's rows, and the bands they are worked on in: with parts, the rows are
// labelled and copied in bands at once; the regions are the same either way.
template <class TPixels>
struct TSceneRows {
  TSceneRows(const TPixels& pixels, const TRunParts& parts)
      : Pixels(pixels),
        Width(pixels.Width()),
        Height(pixels.Height()),
        Background(pixels.Background()),
        Bands(parts ? std::min(Height, 16) : 1),
        Parts(parts) {}

  int32_t FirstRow(int32_t b) const { return static_cast<int32_t>(int64_t{Height} * b / Bands); }
  // visit(first, last) for each run of row y.
  template <typename TVisit>
  void ForEachRun(int32_t y, TVisit&& visit) const {
    ormax::ForEachRun(Pixels, y, std::forward<TVisit>(visit));
  }
  // band(b) for every band b.
  void ForEachBand(const std::function<void(int32_t)>& band) const {
    if (Bands > 1)
      Parts(Bands, band);
    else
      band(0);
  }

  const TPixels& Pixels;
  const int32_t Width, Height;
  const TColor Background;
  const int32_t Bands;
  const TRunParts& Parts;
};

// ---- 1. the runs, numbered and united ----

// Made without setting its elements: the bands write every run's number, so a vector of
// millions of them is first touched (and cleared by the system) on the threads that
// fill it, not zeroed first on one.
template <class T>
struct TUnsetAllocator : std::allocator<T> {
  using value_type = T;
  TUnsetAllocator() = default;
  template <class U>
  TUnsetAllocator(const TUnsetAllocator<U>&) noexcept {}
  template <class U>
  struct rebind {
    using other = TUnsetAllocator<U>;
  };
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... TArgs>
  void construct(U* p, TArgs&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<TArgs>(args)...);
  }
};
// A number per run, in scan order.
using TRunNumbers = std::vector<int32_t, TUnsetAllocator<int32_t>>;

// Runs are numbered in scan order; parent[run] <= run, and the root of a set of
// connected runs is its first run.
struct TRun {
  int32_t First, Last, Number;
};

int32_t Root(TRunNumbers& parent, int32_t a) {
  while (parent[static_cast<size_t>(a)] != a) {
    auto& p = parent[static_cast<size_t>(a)];
    p = parent[static_cast<size_t>(p)];
    a = p;
  }
  return a;
}

// Joins run (of one row) to the runs of above it touches (8-connected); j is where the
// search in above starts, kept from one run of the row to the next.
void Join(TRunNumbers& parent, const TRun& run, const std::vector<TRun>& above,
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

// Each band keeps the runs of its first and last rows for joining it to its neighbours.
struct TBand {
  std::vector<TRun> First, Last;
};

// Where the bands' runs are numbered: band b's from First[b] up to, not including,
// End[b]. In one band they are 0 up to the count of runs; in several, each band's
// numbers start at the most runs the rows above it can hold, and the numbers between
// one band's end and the next band's start belong to no run.
struct TBandRuns {
  std::vector<int32_t> First, End;
};

// The most runs rows of width pixels can hold: one every other pixel (a background
// pixel parts two runs).
int64_t MostRuns(int32_t width, int64_t rows) {
  return (int64_t{width} + 1) / 2 * rows;
}

// For a scene in several bands: gives parent a place for the most runs the scene can
// hold, so that each band numbers its runs into one array at once and in scan order,
// band b from MostRuns(width, its first row) on. Only the pages written are ever
// touched. False, with parent left empty, when the numbers would not fit in 31 bits or
// the address space is refused (a limit on it): the scene is then worked on in one
// band.
bool PlaceEveryRun(int32_t width, int32_t height, TRunNumbers& parent) {
  const int64_t most = MostRuns(width, height);
  if (most > std::numeric_limits<int32_t>::max()) return false;
  try {
    parent.resize(static_cast<size_t>(most));  // unset: nothing is written
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

// For a scene in one band: reserves the most runs it can hold, so that the numbers are
// not copied as they grow, in huge pages where the system has them (the numbers fill the
// reservation from its start, so at most the last huge page is part unused). A
// reservation refused is no fault: they then grow as they come.
template <class TRows>
void ReserveRuns(const TRows& rows, TRunNumbers& parent) {
  const int64_t most = std::min<int64_t>(MostRuns(rows.Width, rows.Height),
                                         std::numeric_limits<int32_t>::max());
  try {
    parent.reserve(static_cast<size_t>(most));
    AdviseHugePages(parent.data(), parent.capacity() * sizeof(int32_t));
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

// Labels the rows of band b, numbering its runs from first on, and returns the number
// after its last. In several bands the runs' places in parent are there already (each
// band writes only its own); in one, they are pushed onto its end.
template <class TRows>
int32_t LabelBand(const TRows& rows, int32_t b, int32_t first, TRunNumbers& parent, TBand& band) {
  const bool placed = rows.Bands > 1;
  if (!placed) ReserveRuns(rows, parent);
  int32_t next = first;
  std::vector<TRun> above, here;
  for (int32_t y = rows.FirstRow(b); y < rows.FirstRow(b + 1); ++y) {
    here.clear();
    size_t j = 0;
    rows.ForEachRun(y, [&](int32_t firstPixel, int32_t lastPixel) {
      if (placed) {
        parent[static_cast<size_t>(next)] = next;
      } else {
        if (next == std::numeric_limits<int32_t>::max()) TooManyRuns();
        parent.push_back(next);
      }
      here.push_back({firstPixel, lastPixel, next++});
      Join(parent, here.back(), above, j);
    });
    if (y == rows.FirstRow(b)) band.First = here;
    std::swap(above, here);
  }
  band.Last = std::move(above);
  return next;
}

// Every run's parent, the runs numbered in scan order, band by band: the bands are
// labelled, then each band's first row is united with the last row of the band above.
template <class TRows>
TBandRuns LabelRuns(const TRows& rows, TRunNumbers& parent) {
  const auto bands = static_cast<size_t>(rows.Bands);
  TBandRuns runs{std::vector<int32_t>(bands, 0), std::vector<int32_t>(bands, 0)};
  for (size_t b = 1; b < bands; ++b)
    runs.First[b] = static_cast<int32_t>(MostRuns(rows.Width, rows.FirstRow(static_cast<int32_t>(b))));
  std::vector<TBand> labelled(bands);
  rows.ForEachBand([&](int32_t b) {
    const auto k = static_cast<size_t>(b);
    runs.End[k] = LabelBand(rows, b, runs.First[k], parent, labelled[k]);
  });
  for (size_t b = 1; b < bands; ++b) {
    size_t j = 0;
    for (const TRun& r : labelled[b].First) Join(parent, r, labelled[b - 1].Last, j);
  }
  return runs;
}

// ---- 2. the components, their boxes, first keys and pixel counts ----

// Replaces each run's parent with -(c + 1), c its component's number (components
// numbered in the order of their first runs, a set's root), and returns the count of
// components whose first run comes before each band's: owned[b] for band b, and
// owned[Bands] the count of all. A run's parent is the run itself or an earlier run,
// already numbered, so one pass in scan order numbers them all.
std::vector<int32_t> NumberRuns(const TBandRuns& runs, TRunNumbers& parent) {
  std::vector<int32_t> owned(runs.First.size() + 1, 0);
  int32_t count = 0;
  for (size_t b = 0; b < runs.First.size(); ++b) {
    owned[b] = count;
    for (int32_t run = runs.First[b]; run < runs.End[b]; ++run) {
      int32_t& p = parent[static_cast<size_t>(run)];
      p = p == run ? -++count : parent[static_cast<size_t>(p)];
    }
  }
  owned.back() = count;
  return owned;
}

// A component not yet seen: every run widens it.
constexpr TComponent kUnseen{{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
                              std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()},
                             std::numeric_limits<uint64_t>::max(), 0};

void Widen(TComponent& c, const TComponent& by) {
  c.Box.Left = std::min(c.Box.Left, by.Box.Left);
  c.Box.Top = std::min(c.Box.Top, by.Box.Top);
  c.Box.Right = std::max(c.Box.Right, by.Box.Right);
  c.Box.Bottom = std::max(c.Box.Bottom, by.Box.Bottom);
  c.FirstKey = std::min(c.FirstKey, by.FirstKey);
  c.Pixels += by.Pixels;
}

// Every component's box, first key and pixel count, from its runs. A band writes the components
// whose first run it holds; a component that reaches it from a band above has a run in
// its first row (8-connected runs of two bands meet across the rows between them), so
// the band widens those few apart, and they are joined after.
template <class TRows>
std::vector<TComponent> MeasureComponents(const TRows& rows, const TRunNumbers& parent,
                                          const TBandRuns& runs,
                                          const std::vector<int32_t>& owned) {
  const TLeafOrder order(rows.Width, rows.Height);
  std::vector<TComponent> components(static_cast<size_t>(owned.back()), kUnseen);
  std::vector<std::vector<int32_t>> fromAbove(static_cast<size_t>(rows.Bands));
  std::vector<std::vector<TComponent>> widened(static_cast<size_t>(rows.Bands));
  auto component = [&](int32_t run) { return -parent[static_cast<size_t>(run)] - 1; };
  rows.ForEachBand([&](int32_t band) {
    const int32_t top = rows.FirstRow(band), own = owned[static_cast<size_t>(band)];
    std::vector<int32_t>& above = fromAbove[static_cast<size_t>(band)];
    int32_t run = runs.First[static_cast<size_t>(band)];
    rows.ForEachRun(top, [&](int32_t, int32_t) {
      if (const int32_t c = component(run++); c < own) above.push_back(c);
    });
    std::sort(above.begin(), above.end());
    above.erase(std::unique(above.begin(), above.end()), above.end());
    std::vector<TComponent>& apart = widened[static_cast<size_t>(band)];
    apart.assign(above.size(), kUnseen);
    run = runs.First[static_cast<size_t>(band)];
    for (int32_t y = top; y < rows.FirstRow(band + 1); ++y)
      rows.ForEachRun(y, [&](int32_t first, int32_t last) {
        const int32_t c = component(run++);
        TComponent& into =
            c >= own ? components[static_cast<size_t>(c)]
                     : apart[static_cast<size_t>(std::lower_bound(above.begin(), above.end(), c) - above.begin())];
        // The run's first pixel has its lowest key: keys rise along a row.
        Widen(into, {{first, y, last, y}, order.Key(first, y), int64_t{last} - first + 1});
      });
  });
  for (size_t b = 0; b < fromAbove.size(); ++b)
    for (size_t i = 0; i < fromAbove[b].size(); ++i)
      Widen(components[static_cast<size_t>(fromAbove[b][i])], widened[b][i]);
  return components;
}

// ---- 3. the components in the order of their first cells ----

// The components' boxes in list order, and their pixel counts after what counts holds
// when it is given; each run's component number in parent becomes -(k + 1), k its
// region's place in the list. The components go before the regions are made, and
// only their numbers are sorted: a noisy scene has hundreds of thousands.
template <class TRows>
std::vector<TRect> OrderComponents(const TRows& rows, std::vector<TComponent> components,
                                   const TBandRuns& runs, TRunNumbers& parent,
                                   std::vector<int64_t>* counts) {
  std::vector<int32_t> byOrder(components.size());
  for (size_t c = 0; c < byOrder.size(); ++c) byOrder[c] = static_cast<int32_t>(c);
  // Keys are those of distinct pixels: no two components share one, and any way of
  // sorting gives the one order. In bands, the two halves are sorted at once and merged.
  const auto byKey = [&](int32_t a, int32_t b) {
    return components[static_cast<size_t>(a)].FirstKey < components[static_cast<size_t>(b)].FirstKey;
  };
  if (rows.Bands > 1 && byOrder.size() >= 4096) {
    const auto middle = byOrder.begin() + static_cast<ptrdiff_t>(byOrder.size() / 2);
    rows.Parts(2, [&](int32_t half) {
      half == 0 ? std::sort(byOrder.begin(), middle, byKey) : std::sort(middle, byOrder.end(), byKey);
    });
    std::inplace_merge(byOrder.begin(), middle, byOrder.end(), byKey);
  } else {
    std::sort(byOrder.begin(), byOrder.end(), byKey);
  }
  std::vector<TRect> boxes(byOrder.size());
  if (counts) counts->reserve(counts->size() + byOrder.size());
  std::vector<int32_t> place(components.size());
  for (size_t k = 0; k < byOrder.size(); ++k) {
    const auto c = static_cast<size_t>(byOrder[k]);
    boxes[k] = components[c].Box;
    if (counts) counts->push_back(components[c].Pixels);
    place[c] = static_cast<int32_t>(k);
  }
  std::vector<TComponent>().swap(components);
  std::vector<int32_t>().swap(byOrder);
  rows.ForEachBand([&](int32_t band) {
    const auto b = static_cast<size_t>(band);
    for (int32_t run = runs.First[b]; run < runs.End[b]; ++run) {
      int32_t& p = parent[static_cast<size_t>(run)];
      p = -place[static_cast<size_t>(-p - 1)] - 1;
    }
  });
  return boxes;
}

// ---- 4. the regions, made and filled ----

// The rows a region's box spans, counted from the scene's top row.
struct TRowSpan {
  int32_t Top, Bottom;
};

// Appends a region per box, at the box moved to the scene's place, its pixels not yet
// written (CopyRuns writes them), and returns the boxes' rows.
template <class TRows>
std::vector<TRowSpan> AddRegions(const TRows& rows, std::vector<TRect> boxes,
                                 TPatternList& list) {
  const int32_t left = rows.Pixels.Left(), top = rows.Pixels.Top();
  std::vector<TRowSpan> spans(boxes.size());
  list.Reserve(static_cast<size_t>(list.Count()) + boxes.size());
  for (size_t k = 0; k < boxes.size(); ++k) {
    const TRect& b = boxes[k];
    list.Add(TPattern::CreateUnfilled(
        {b.Left + left, b.Top + top, b.Right + left, b.Bottom + top},
        rows.Background));
    spans[k] = {b.Top, b.Bottom};
  }
  return spans;
}

// Writes every region's pixels, list.Items(offset + k) for place k: its rows first all
// background, then every run's pixels copied in. Each band writes its own rows of
// every region, so a large region is filled on every core.
template <class TRows>
void CopyRuns(const TRows& rows, const TRunNumbers& parent,
              const TBandRuns& runs, const std::vector<TRowSpan>& spans,
              TPatternList& list, int32_t offset) {
  const int32_t sceneLeft = rows.Pixels.Left(), sceneTop = rows.Pixels.Top();
  rows.ForEachBand([&](int32_t band) {
    const int32_t top = rows.FirstRow(band), bottom = rows.FirstRow(band + 1) - 1;
    for (size_t k = 0; k < spans.size(); ++k) {
      const TRowSpan s = spans[k];
      if (s.Bottom < top || s.Top > bottom) continue;
      TPattern& region = list.Items(offset + static_cast<int32_t>(k));
      for (int32_t y = std::max(s.Top, top); y <= std::min(s.Bottom, bottom); ++y)
        std::fill_n(region.Pixels[y - s.Top], region.Width(), rows.Background);
    }
    int32_t next = runs.First[static_cast<size_t>(band)];
    for (int32_t y = top; y <= bottom; ++y) {
      rows.ForEachRun(y, [&](int32_t first, int32_t last) {
        TPattern& region = list.Items(offset - parent[static_cast<size_t>(next++)] - 1);
        rows.Pixels.Copy(y, first, last,
                         &region.Pixels[y + sceneTop - region.Top][first + sceneLeft - region.Left]);
      });
    }
  });
}

}  // namespace

// The regions are the 8-connected components of the runs of non-background pixels:
// 1. Runs are numbered in scan order, and each is united with the runs of the row
//    above that touch it (overlapping, or meeting at a corner). A set's root is its
//    lowest run, so every run's parent is an earlier run. In bands, each band numbers
//    its own runs from the most runs the rows above it can hold, all into one array,
//    and the bands' edge rows are united after.
// 2. Each run takes its root's component number, in one pass in scan order (the
//    parent is already resolved). The rows are scanned again, in bands, for each
//    component's box, first key and pixel count.
// 3. The components are ordered by their first cell in the quadtree's leaf order.
// 4. The regions are made at their boxes, unwritten; a third scan writes each band's
//    rows of them: background, then each run's pixels.
// Only a number per run is kept: the runs are found again from the scene each time.
// A scene pattern and an indexed scene go through the same steps; only the reading of
// a row's pixels differs.
namespace {

template <class TPixels>
void Segment(const TPixels& pixels, TPatternList& list, const TRunParts& parts,
             std::vector<int64_t>* counts) {
  if (pixels.Width() <= 0 || pixels.Height() <= 0) return;
  static const TRunParts oneBand;
  TRunNumbers parent;
  const bool banded = parts && pixels.Height() > 1 && PlaceEveryRun(pixels.Width(), pixels.Height(), parent);
  const TSceneRows<TPixels> rows(pixels, banded ? parts : oneBand);
  const TBandRuns runs = LabelRuns(rows, parent);
  const std::vector<int32_t> owned = NumberRuns(runs, parent);
  if (owned.back() == 0) return;
  const size_t counted = counts ? counts->size() : 0;
  const int32_t offset = list.Count();
  try {
    std::vector<TRect> boxes = OrderComponents(
        rows, MeasureComponents(rows, parent, runs, owned), runs, parent, counts);
    const std::vector<TRowSpan> spans = AddRegions(rows, std::move(boxes), list);
    CopyRuns(rows, parent, runs, spans, list, offset);
  } catch (...) {
    // No region of unwritten pixels is left in the list, nor a count of one.
    list.RemoveFrom(offset);
    if (counts) counts->resize(counted);
    throw;
  }
}

}  // namespace

void SegmentPattern(const TPattern& scene, TPatternList& list, const TRunParts& parts,
                    std::vector<int64_t>* pixels) {
  Segment(TPatternPixels(scene), list, parts, pixels);
}

void SegmentIndexed(const TIndexedScene& scene, TPatternList& list, const TRunParts& parts,
                    std::vector<int64_t>* pixels) {
  Segment(TIndexedPixels(scene), list, parts, pixels);
}

}  // namespace ormax
