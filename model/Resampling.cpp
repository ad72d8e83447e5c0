// Resampling: every output pixel is mapped back into the source by the inverse turn
// and takes the pixel it lands nearest to, in double precision.
//   TurnPattern
#include "model/Resampling.h"

#include <algorithm>
#include <cmath>

namespace ormax {

TPattern TurnPattern(const TImg& source, double degrees, bool mirror) {
  const double a = degrees * static_cast<double>(Pi) / 180, c = std::cos(a), s = std::sin(a);
  const double w = source.Width(), h = source.Height();
  const int outW = static_cast<int>(std::ceil(std::abs(w * c) + std::abs(h * s) - 1e-9));
  const int outH = static_cast<int>(std::ceil(std::abs(w * s) + std::abs(h * c) - 1e-9));
  TPattern out(TRect{0, 0, std::max(outW, 1) - 1, std::max(outH, 1) - 1}, clWhite);
  out.Clear();
  const double cx = (w - 1) / 2, cy = (h - 1) / 2;
  const double ox = (out.Width() - 1) / 2.0, oy = (out.Height() - 1) / 2.0;
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) {
      // Back from the output pixel to the source: the inverse turn.
      const double dx = x - ox, dy = y - oy;
      double sx = c * dx + s * dy + cx;
      const double sy = -s * dx + c * dy + cy;
      if (mirror) sx = (w - 1) - sx;
      const long ix = std::lround(sx), iy = std::lround(sy);
      if (ix >= 0 && iy >= 0 && ix < source.Width() && iy < source.Height())
        out.SetPixel(x, y,
                     source.GetPixel(source.Left + static_cast<int32_t>(ix),
                                     source.Top + static_cast<int32_t>(iy)));
    }
  return out;
}

}  // namespace ormax
