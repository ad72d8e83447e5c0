// Resampling: each output pixel is sampled on a 4 x 4 grid of points; every point is
// mapped back into the source by the inverse move and takes the pixel it falls in. The
// colour with the most points wins (the first to reach that count on a tie).
//   ResamplePattern, TurnPattern
#include "model/Resampling.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace ormax {

namespace {

constexpr int Grid = 4;  // points per side of an output pixel
constexpr double MaxPixels = 67108864.0;

// The colour most points of one output pixel landed on.
struct TVotes {
  std::array<TColor, Grid * Grid> Colors{};
  std::array<int, Grid * Grid> Counts{};
  int Used = 0, Best = -1;
  void Add(TColor c) {
    int i = 0;
    while (i < Used && Colors[i] != c) ++i;
    if (i == Used) {
      Colors[i] = c;
      Counts[i] = 0;
      ++Used;
    }
    ++Counts[i];
    if (Best < 0 || Counts[i] > Counts[Best]) Best = i;
  }
};

}  // namespace

TPattern ResamplePattern(const TImg& source, const TResampling& move) {
  if (!(move.Scale > 0) || !std::isfinite(move.Scale))
    throw std::invalid_argument("the scale of a copy must be a positive number");
  const double a = move.Degrees * static_cast<double>(Pi) / 180, c = std::cos(a), s = std::sin(a);
  const double w = source.Width(), h = source.Height();
  const double outWidth = (std::abs(w * c) + std::abs(h * s)) * move.Scale + 2;
  const double outHeight = (std::abs(w * s) + std::abs(h * c)) * move.Scale + 2;
  if (outWidth * outHeight > MaxPixels)
    throw std::invalid_argument("a copy that large would exceed 2^26 pixels");
  const int outW = std::max(1, static_cast<int>(std::ceil(outWidth - 1e-9)));
  const int outH = std::max(1, static_cast<int>(std::ceil(outHeight - 1e-9)));
  TPattern out(TRect{0, 0, outW - 1, outH - 1}, clWhite);
  out.Clear();
  // Pixel centres are at whole coordinates; the centre of the source goes to the centre
  // of the output, moved by the shift.
  const double cx = (w - 1) / 2, cy = (h - 1) / 2;
  const double ox = (outW - 1) / 2.0 + move.ShiftX, oy = (outH - 1) / 2.0 + move.ShiftY;
  for (int y = 0; y < outH; ++y)
    for (int x = 0; x < outW; ++x) {
      TVotes votes;
      for (int j = 0; j < Grid; ++j)
        for (int i = 0; i < Grid; ++i) {
          const double px = x - 0.5 + (i + 0.5) / Grid, py = y - 0.5 + (j + 0.5) / Grid;
          // Back from the output point to the source: unshift, unscale, the inverse turn.
          const double dx = (px - ox) / move.Scale, dy = (py - oy) / move.Scale;
          double sx = c * dx + s * dy + cx;
          const double sy = -s * dx + c * dy + cy;
          if (move.Mirror) sx = (w - 1) - sx;
          const double fx = std::floor(sx + 0.5), fy = std::floor(sy + 0.5);
          if (fx >= 0 && fy >= 0 && fx < w && fy < h)
            votes.Add(source.GetPixel(source.Left + static_cast<int32_t>(fx),
                                      source.Top + static_cast<int32_t>(fy)));
          else
            votes.Add(clWhite);
        }
      out.SetPixel(x, y, votes.Colors[votes.Best]);
    }
  return out;
}

TPattern TurnPattern(const TImg& source, double degrees, bool mirror) {
  TResampling move;
  move.Degrees = degrees;
  move.Mirror = mirror;
  return ResamplePattern(source, move);
}

}  // namespace ormax
