// Background: the ground's colour is estimated per tile (the densest colour levels of
// each tile, moved to the middle of a noisy spread), kept where tiles join the
// picture's border through tiles of near colour, filled in from its neighbours where
// ink covers a tile, and interpolated between tile centres (carried on to the edges).
// Deviations from it are cut at a threshold above the noise (confirmed over 3 x 3 pixels
// in a noisy picture) and at half the local ink contrast. Whole rows are worked on
// byte by byte, so that the compiler's vector instructions take many at once.
//   BackgroundName, ParseBackground, FindInk
#include "analysis/Background.h"

#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <functional>

namespace ormax {

const char* BackgroundName(TBackground background) {
  return background == TBackground::Auto ? "auto" : "white";
}

std::optional<TBackground> ParseBackground(const std::string& text) {
  if (text == "white") return TBackground::White;
  if (text == "auto") return TBackground::Auto;
  return std::nullopt;
}

namespace {

// Colours are read as the four bytes of each pixel's value, the first the low one.
static_assert(std::endian::native == std::endian::little);

using TColour3 = std::array<int32_t, 3>;

// Levels on either side of a tile's densest level that still count as its ground.
constexpr int32_t ModeReach = 6;
// How far the ground of a noisy picture may spread around its middle.
constexpr int32_t WideReach = 24;
// A border tile this near the border's colour is ground to begin with; a tile this
// near a neighbouring ground tile is ground too.
constexpr int32_t SeedSpread = 32;
constexpr int32_t StepSpread = 16;
// The least threshold, and how far above the noise it lies.
constexpr int32_t MinThreshold = 16;
constexpr int32_t NoiseFactor = 3;
constexpr int32_t NoiseMargin = 8;

inline int32_t Level(uint32_t value, int c) { return static_cast<int32_t>((value >> (8 * c)) & 255u); }

int32_t Spread(const TColour3& a, const TColour3& b) {
  int32_t d = 0;
  for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(a[c] - b[c]));
  return d;
}

// The lower median of a histogram of `total` values.
int32_t HistogramMedian(const std::array<int64_t, 256>& h, int64_t total) {
  int64_t seen = 0;
  for (int32_t v = 0; v < 256; ++v)
    if ((seen += h[static_cast<size_t>(v)]) * 2 >= total) return v;
  return 255;
}

struct TPicture {
  const uint32_t* Pixels;
  int32_t Width, Height;
  ptrdiff_t Stride;
  uint32_t At(int32_t x, int32_t y) const { return Pixels[y * Stride + x]; }
};

// Square tiles of Side pixels (the last row and column may be narrower).
struct TGrid {
  int32_t Side, Cols, Rows;
  explicit TGrid(const TPicture& p)
      : Side(std::clamp(std::min(p.Width, p.Height) / 8, 8, 64)),
        Cols((p.Width + Side - 1) / Side),
        Rows((p.Height + Side - 1) / Side) {}
  size_t Count() const { return static_cast<size_t>(Cols) * static_cast<size_t>(Rows); }
};

// Per channel, the median of the picture's outermost rows and columns.
TColour3 BorderColour(const TPicture& p) {
  std::array<std::array<int64_t, 256>, 3> h{};
  int64_t total = 0;
  auto add = [&](int32_t x, int32_t y) {
    const uint32_t v = p.At(x, y);
    for (int c = 0; c < 3; ++c) ++h[static_cast<size_t>(c)][static_cast<size_t>(Level(v, c))];
    ++total;
  };
  for (int32_t x = 0; x < p.Width; ++x) {
    add(x, 0);
    if (p.Height > 1) add(x, p.Height - 1);
  }
  for (int32_t y = 1; y + 1 < p.Height; ++y) {
    add(0, y);
    if (p.Width > 1) add(p.Width - 1, y);
  }
  TColour3 colour{};
  for (int c = 0; c < 3; ++c) colour[static_cast<size_t>(c)] = HistogramMedian(h[static_cast<size_t>(c)], total);
  return colour;
}

// Per channel, the middle of the densest window of 2 ModeReach + 1 levels among the
// tile's pixels (every `step`-th in each direction), moved to the middle of the levels
// around it and refined to the mean of the pixels in that window: the ground's colour
// where ground covers most of the tile.
TColour3 TileMode(const TPicture& p, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t step) {
  std::array<std::array<int32_t, 256>, 3> h{};
  for (int32_t y = y0; y < y1; y += step)
    for (int32_t x = x0; x < x1; x += step) {
      const uint32_t v = p.At(x, y);
      ++h[0][v & 255u];
      ++h[1][(v >> 8) & 255u];
      ++h[2][(v >> 16) & 255u];
    }
  TColour3 mode{};
  for (size_t c = 0; c < 3; ++c) {
    std::array<int64_t, 257> below{};  // below[v]: pixels under level v
    for (size_t v = 0; v < 256; ++v) below[v + 1] = below[v] + h[c][v];
    auto window = [&](int32_t m) {
      const int32_t lo = std::max(0, m - ModeReach), hi = std::min(255, m + ModeReach);
      return std::pair{lo, hi};
    };
    int32_t best = 0;
    int64_t bestCount = -1;
    for (int32_t m = 0; m < 256; ++m) {
      const auto [lo, hi] = window(m);
      const int64_t n = below[static_cast<size_t>(hi) + 1] - below[static_cast<size_t>(lo)];
      if (n > bestCount) bestCount = n, best = m;
    }
    // The rounded mean of the pixels within reach of a level (the level itself if none).
    auto meanNear = [&](int32_t m, int32_t reach) {
      const int32_t lo = std::max(0, m - reach), hi = std::min(255, m + reach);
      int64_t sum = 0, n = 0;
      for (int32_t v = lo; v <= hi; ++v) {
        sum += int64_t{v} * h[c][static_cast<size_t>(v)];
        n += h[c][static_cast<size_t>(v)];
      }
      return n > 0 ? static_cast<int32_t>((2 * sum + n) / (2 * n)) : m;
    };
    // Strong noise spreads the ground over many levels, where the densest narrow window
    // may lie anywhere: a few steps to the mean of a wide reach find its middle, then
    // the narrow window's mean is the ground's level.
    for (int k = 0; k < 3; ++k) best = meanNear(best, WideReach);
    mode[c] = meanNear(best, ModeReach);
  }
  return mode;
}

// Tiles whose mode is the ground: reached from border tiles near the border's colour
// by steps between neighbours of near colour. Tiles mostly covered by ink stand apart
// from their neighbours by the ink's contrast and are not reached.
std::vector<uint8_t> GroundTiles(const TGrid& g, const std::vector<TColour3>& modes,
                                 const TColour3& border) {
  std::vector<uint8_t> ground(g.Count(), 0);
  std::deque<int32_t> queue;
  for (int32_t ty = 0; ty < g.Rows; ++ty)
    for (int32_t tx = 0; tx < g.Cols; ++tx) {
      const bool edge = tx == 0 || ty == 0 || tx == g.Cols - 1 || ty == g.Rows - 1;
      const int32_t t = ty * g.Cols + tx;
      if (edge && Spread(modes[static_cast<size_t>(t)], border) <= SeedSpread) {
        ground[static_cast<size_t>(t)] = 1;
        queue.push_back(t);
      }
    }
  while (!queue.empty()) {
    const int32_t t = queue.front();
    queue.pop_front();
    const int32_t tx = t % g.Cols, ty = t / g.Cols;
    for (int32_t ny = std::max(0, ty - 1); ny <= std::min(g.Rows - 1, ty + 1); ++ny)
      for (int32_t nx = std::max(0, tx - 1); nx <= std::min(g.Cols - 1, tx + 1); ++nx) {
        const auto n = static_cast<size_t>(ny * g.Cols + nx);
        if (ground[n] || Spread(modes[n], modes[static_cast<size_t>(t)]) > StepSpread) continue;
        ground[n] = 1;
        queue.push_back(static_cast<int32_t>(n));
      }
  }
  return ground;
}

// The ground's colour in every tile: the ground tiles' modes, and for the others, ring
// after ring, the rounded mean of their neighbours already known. No ground tile at
// all: the border's colour everywhere.
std::vector<TColour3> GroundColours(const TGrid& g, std::vector<TColour3> modes,
                                    std::vector<uint8_t> known, const TColour3& border) {
  if (std::find(known.begin(), known.end(), 1) == known.end())
    return std::vector<TColour3>(g.Count(), border);
  for (bool changed = true; changed;) {
    changed = false;
    const std::vector<uint8_t> before = known;
    for (int32_t ty = 0; ty < g.Rows; ++ty)
      for (int32_t tx = 0; tx < g.Cols; ++tx) {
        const auto t = static_cast<size_t>(ty * g.Cols + tx);
        if (before[t]) continue;
        TColour3 sum{};
        int32_t n = 0;
        for (int32_t ny = std::max(0, ty - 1); ny <= std::min(g.Rows - 1, ty + 1); ++ny)
          for (int32_t nx = std::max(0, tx - 1); nx <= std::min(g.Cols - 1, tx + 1); ++nx) {
            const auto k = static_cast<size_t>(ny * g.Cols + nx);
            if (!before[k]) continue;
            for (size_t c = 0; c < 3; ++c) sum[c] += modes[k][c];
            ++n;
          }
        if (n == 0) continue;
        for (size_t c = 0; c < 3; ++c) modes[t][c] = (2 * sum[c] + n) / (2 * n);
        known[t] = 1;
        changed = true;
      }
  }
  return modes;
}

// For every pixel row, the two tile centres it lies between, or beyond the first or
// the last centre the two nearest (the ground's slope goes on to the picture's edge:
// light falls off fastest in the corners), and the weight of the second, in 1/256.
struct TBlend {
  std::vector<int32_t> First, Second, Weight;
  TBlend(int32_t length, int32_t side, int32_t tiles) : First(length), Second(length), Weight(length) {
    auto centre = [&](int32_t i) { return std::min(i * side + side / 2, length - 1); };
    for (int32_t x = 0; x < length; ++x) {
      const int32_t i = std::clamp((x - side / 2) / side, 0, std::max(0, tiles - 2));
      const int32_t j = std::min(i + 1, tiles - 1);
      const int32_t a = centre(i), b = centre(j);
      First[x] = i;
      Second[x] = j;
      Weight[x] = b > a ? (x - a) * 256 / (b - a) : 0;
    }
  }
};

// The ground's levels at every pixel of row y, four bytes a pixel as the picture's
// (the fourth unused): the tiles' colours interpolated down the columns of tile
// centres, then along the row between the centres (and on beyond the first and the
// last), in steps of 1/65536 of a level.
void GroundRow(const TGrid& g, const TBlend& by, int32_t y, const std::vector<TColour3>& ground,
               std::vector<int32_t>& column, std::vector<uint8_t>& row) {
  const int32_t wy = by.Weight[y];
  for (int32_t tx = 0; tx < g.Cols; ++tx) {
    const auto& a = ground[static_cast<size_t>(by.First[y] * g.Cols + tx)];
    const auto& b = ground[static_cast<size_t>(by.Second[y] * g.Cols + tx)];
    for (size_t c = 0; c < 3; ++c)  // in 1/65536 of a level
      column[static_cast<size_t>(tx) * 3 + c] = ((256 - wy) * a[c] + wy * b[c]) * 256;
  }
  const auto width = static_cast<int32_t>(row.size() / 4);
  auto centre = [&](int32_t i) { return std::min(i * g.Side + g.Side / 2, width - 1); };
  for (int32_t i = -1; i < g.Cols; ++i) {
    const int32_t x0 = i < 0 ? 0 : centre(i), x1 = i + 1 < g.Cols ? centre(i + 1) : width;
    const int32_t a = std::clamp(i, 0, std::max(0, g.Cols - 2)), b = std::min(a + 1, g.Cols - 1);
    const int32_t ca = centre(a), cb = centre(b);
    for (size_t c = 0; c < 3; ++c) {
      const int32_t from = column[static_cast<size_t>(a) * 3 + c], to = column[static_cast<size_t>(b) * 3 + c];
      const int32_t step = cb > ca ? (to - from) / (cb - ca) : 0;
      int32_t v = from + step * (x0 - ca) + 32768;
      for (int32_t x = x0; x < x1; ++x, v += step)
        row[4 * static_cast<size_t>(x) + c] = static_cast<uint8_t>(std::clamp(v >> 16, 0, 255));
    }
  }
}

// Per pixel, the largest channel difference between its colour (the mean of its 3 x 3
// pixels when smoothed, the picture's outermost pixels standing in for those beyond
// it) and the ground's there. Colours are taken four bytes a pixel, the fourth unused.
// Rows y0 .. y1 - 1 of d (a byte a pixel, row after row).
void Deviations(const TPicture& p, const TGrid& g, const TBlend& by,
                const std::vector<TColour3>& ground, bool smoothed, int32_t y0, int32_t y1,
                std::vector<uint8_t>& d) {
  const auto width = static_cast<size_t>(p.Width);
  std::vector<int32_t> column(static_cast<size_t>(g.Cols) * 3);
  std::vector<uint8_t> groundRow(width * 4), colours(width * 4), diff(width * 4);
  // Smoothed: per byte of the row, with a pixel beyond each end standing in for the
  // outermost one, the sum over the three rows around (kept from row to row).
  std::vector<uint16_t> sums(smoothed ? (width + 2) * 4 : 0);
  auto addRow = [&](int32_t yy, int sign) {
    const uint8_t* line = reinterpret_cast<const uint8_t*>(p.Pixels + std::clamp(yy, 0, p.Height - 1) * p.Stride);
    for (size_t k = 0; k < 4 * width; ++k) sums[k + 4] = static_cast<uint16_t>(sums[k + 4] + sign * line[k]);
    for (size_t k = 0; k < 4; ++k) {
      sums[k] = sums[k + 4];
      sums[4 * width + 4 + k] = sums[4 * width + k];
    }
  };
  if (smoothed)
    for (int32_t yy = y0 - 1; yy <= y0 + 1; ++yy) addRow(yy, 1);
  for (int32_t y = y0; y < y1; ++y) {
    GroundRow(g, by, y, ground, column, groundRow);
    const uint8_t* in = reinterpret_cast<const uint8_t*>(p.Pixels + y * p.Stride);
    if (smoothed) {
      if (y > y0) {
        addRow(y - 2, -1);
        addRow(y + 1, 1);
      }
      for (size_t k = 0; k < 4 * width; ++k)
        colours[k] = static_cast<uint8_t>((2 * (sums[k] + sums[k + 4] + sums[k + 8]) + 9) / 18);
      in = colours.data();
    }
    // Byte by byte (the compiler's vector instructions do many at once), then the
    // largest of each pixel's three.
    const uint8_t* ground3 = groundRow.data();
    for (size_t k = 0; k < 4 * width; ++k)
      diff[k] = static_cast<uint8_t>(in[k] > ground3[k] ? in[k] - ground3[k] : ground3[k] - in[k]);
    uint8_t* out = d.data() + static_cast<size_t>(y) * width;
    for (size_t x = 0; x < width; ++x)
      out[x] = std::max(std::max(diff[4 * x], diff[4 * x + 1]), diff[4 * x + 2]);
  }
}

// Calls each(x0, x1, tile) for the pixel spans of one row that lie in one tile each.
template <typename TEach>
void ForEachSpan(const TGrid& g, int32_t width, int32_t y, TEach each) {
  const size_t first = static_cast<size_t>(y / g.Side) * static_cast<size_t>(g.Cols);
  for (int32_t tx = 0; tx < g.Cols; ++tx)
    each(tx * g.Side, std::min(width, (tx + 1) * g.Side), first + static_cast<size_t>(tx));
}

// The median deviation of the pixels of the ground tiles (of all pixels when there are
// none; every other row and column suffice): the picture's noise. Ink may cover most of
// the picture, not of those tiles.
int32_t Noise(const std::vector<uint8_t>& d, int32_t width, int32_t height, const TGrid& g,
              const std::vector<uint8_t>& groundTiles) {
  const bool any = std::find(groundTiles.begin(), groundTiles.end(), 1) != groundTiles.end();
  std::array<int64_t, 256> h{};
  int64_t total = 0;
  for (int32_t y = 0; y < height; y += 2) {
    const uint8_t* row = d.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    ForEachSpan(g, width, y, [&](int32_t x0, int32_t x1, size_t tile) {
      if (any && !groundTiles[tile]) return;
      for (int32_t x = x0; x < x1; x += 2) ++h[row[x]];
      total += (x1 - x0 + 1) / 2;
    });
  }
  return HistogramMedian(h, total);
}

// The contrast of the ink around a tile: per tile, the strongest deviation held by two
// neighbouring pixels (a lone speck does not count), here for the tiles of row ty ...
void OwnContrast(const std::vector<uint8_t>& d, int32_t width, int32_t height, const TGrid& g,
                 int32_t ty, std::vector<int32_t>& own) {
  const std::vector<uint8_t> none(static_cast<size_t>(width) + 1, 0);  // below the last row
  for (int32_t y = ty * g.Side; y < std::min(height, (ty + 1) * g.Side); ++y) {
    const uint8_t* row = d.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const uint8_t* next = y + 1 < height ? row + width : none.data();
    ForEachSpan(g, width, y, [&](int32_t x0, int32_t x1, size_t tile) {
      uint8_t held = 0;
      const int32_t inner = std::min(x1, width - 1);  // pixels with one to their right
      for (int32_t x = x0; x < inner; ++x)
        held = std::max(held, std::min(row[x], std::max(row[x + 1], next[x])));
      if (inner < x1) held = std::max(held, std::min(row[inner], next[inner]));
      own[tile] = std::max<int32_t>(own[tile], held);
    });
  }
}

// ... then the largest of its 3 x 3 tiles'.
std::vector<int32_t> AroundContrast(const TGrid& g, const std::vector<int32_t>& own) {
  std::vector<int32_t> around(g.Count(), 0);
  for (int32_t ty = 0; ty < g.Rows; ++ty)
    for (int32_t tx = 0; tx < g.Cols; ++tx) {
      int32_t m = 0;
      for (int32_t ny = std::max(0, ty - 1); ny <= std::min(g.Rows - 1, ty + 1); ++ny)
        for (int32_t nx = std::max(0, tx - 1); nx <= std::min(g.Cols - 1, tx + 1); ++nx)
          m = std::max(m, own[static_cast<size_t>(ny * g.Cols + nx)]);
      around[static_cast<size_t>(ty * g.Cols + tx)] = m;
    }
  return around;
}

// What the stages of FindInk share: the picture, its tiles, and how rows of tiles are
// worked on.
struct TTiling {
  const TPicture& P;
  const TGrid G;
  const TRunParts& Parts;
  // Calls work(ty) for every row of tiles: the work of each row of tiles is its own,
  // so with Parts rows of tiles go side by side.
  void EachRow(const std::function<void(int32_t)>& work) const {
    if (Parts) Parts(G.Rows, work);
    else for (int32_t ty = 0; ty < G.Rows; ++ty) work(ty);
  }
};

// Every tile's mode (TileMode), from every other pixel in tiles of 32 pixels or more.
std::vector<TColour3> TileModes(const TTiling& t) {
  const TGrid& g = t.G;
  std::vector<TColour3> modes(g.Count());
  const int32_t step = g.Side >= 32 ? 2 : 1;
  t.EachRow([&](int32_t ty) {
    for (int32_t tx = 0; tx < g.Cols; ++tx)
      modes[static_cast<size_t>(ty * g.Cols + tx)] =
          TileMode(t.P, tx * g.Side, ty * g.Side, std::min(t.P.Width, (tx + 1) * g.Side),
                   std::min(t.P.Height, (ty + 1) * g.Side), step);
  });
  return modes;
}

// Every pixel's deviation from the ground (Deviations), a byte a pixel row after row.
std::vector<uint8_t> AllDeviations(const TTiling& t, const TBlend& by,
                                   const std::vector<TColour3>& ground, bool smoothed) {
  const TPicture& p = t.P;
  std::vector<uint8_t> d(static_cast<size_t>(p.Width) * static_cast<size_t>(p.Height));
  t.EachRow([&](int32_t ty) {
    Deviations(p, t.G, by, ground, smoothed, ty * t.G.Side,
               std::min(p.Height, (ty + 1) * t.G.Side), d);
  });
  return d;
}

// Every tile's contrast of the ink around it (OwnContrast, then AroundContrast).
std::vector<int32_t> InkContrast(const TTiling& t, const std::vector<uint8_t>& d) {
  std::vector<int32_t> own(t.G.Count(), 0);
  t.EachRow([&](int32_t ty) { OwnContrast(d, t.P.Width, t.P.Height, t.G, ty, own); });
  return AroundContrast(t.G, own);
}

// The deviations d become the ink in place (a picture's worth of fresh memory less):
// 1 where a pixel's deviation reaches both the threshold and half the contrast of the
// ink around its tile and, in a noisy picture, its mean deviation reaches the threshold
// too. (A tile row
// reads the row below it for the contrast only, which is done by now.)
void CutInk(const TTiling& t, const std::vector<int32_t>& contrast, int32_t threshold,
            const std::vector<uint8_t>& mean, std::vector<uint8_t>& d) {
  const TGrid& g = t.G;
  const int32_t width = t.P.Width, height = t.P.Height;
  t.EachRow([&](int32_t ty) {
    for (int32_t y = ty * g.Side; y < std::min(height, (ty + 1) * g.Side); ++y) {
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(width);
      ForEachSpan(g, width, y, [&](int32_t x0, int32_t x1, size_t tile) {
        const int32_t cut = std::max(threshold, (contrast[tile] + 1) / 2);
        const int32_t floor = threshold;
        for (size_t at = row + static_cast<size_t>(x0); at < row + static_cast<size_t>(x1); ++at)
          d[at] = d[at] >= cut && (mean.empty() || mean[at] >= floor);
      });
    }
  });
}

}  // namespace

std::vector<uint8_t> FindInk(const uint32_t* pixels, int32_t width, int32_t height,
                             ptrdiff_t stride, TInkFinding* finding, const TRunParts& parts) {
  TInkFinding seen;
  if (width <= 0 || height <= 0) {
    if (finding) *finding = seen;
    return {};
  }
  const TPicture p{pixels, width, height, stride};
  const TTiling t{p, TGrid(p), parts};
  const TColour3 border = BorderColour(p);
  const std::vector<TColour3> modes = TileModes(t);
  const std::vector<uint8_t> groundTiles = GroundTiles(t.G, modes, border);
  const std::vector<TColour3> ground = GroundColours(t.G, modes, groundTiles, border);

  // A picture drawn by a program has ground of one exact colour. Any other has noise:
  // there a pixel is ink only where the mean of its 3 x 3 pixels, which quiets the
  // noise, stands above the noise too, so that lone noisy pixels stay ground while
  // edges and corners are still cut pixel by pixel.
  const TBlend by(height, t.G.Side, t.G.Rows);
  std::vector<uint8_t> d = AllDeviations(t, by, ground, false);
  std::vector<uint8_t> mean;
  seen.Noise = Noise(d, width, height, t.G, groundTiles);
  if (seen.Noise > 0) {
    mean = AllDeviations(t, by, ground, true);
    seen.Smoothed = true;
    seen.Noise = Noise(mean, width, height, t.G, groundTiles);
  }
  seen.Threshold = std::max(MinThreshold, NoiseFactor * seen.Noise + NoiseMargin);
  seen.Ground = static_cast<uint32_t>(border[0]) | static_cast<uint32_t>(border[1]) << 8 |
                static_cast<uint32_t>(border[2]) << 16;

  CutInk(t, InkContrast(t, d), seen.Threshold, mean, d);
  for (uint8_t v : d) seen.InkPixels += v;
  if (finding) *finding = seen;
  return d;
}

}  // namespace ormax
