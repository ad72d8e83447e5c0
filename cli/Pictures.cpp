#include "cli/Pictures.h"

#include <cmath>

namespace ormax {

QImage TurnPicture(const QImage& picture, double degrees, bool mirror) {
  const QImage source = picture.convertToFormat(QImage::Format_RGB32);
  const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
  const double w = source.width(), h = source.height();
  const int outW = static_cast<int>(std::ceil(std::abs(w * c) + std::abs(h * s) - 1e-9));
  const int outH = static_cast<int>(std::ceil(std::abs(w * s) + std::abs(h * c) - 1e-9));
  QImage out(std::max(outW, 1), std::max(outH, 1), QImage::Format_RGB32);
  out.fill(qRgb(255, 255, 255));
  const double cx = (w - 1) / 2, cy = (h - 1) / 2;
  const double ox = (out.width() - 1) / 2.0, oy = (out.height() - 1) / 2.0;
  for (int y = 0; y < out.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      // Back from the output pixel to the source: the inverse turn.
      const double dx = x - ox, dy = y - oy;
      double sx = c * dx + s * dy + cx;
      const double sy = -s * dx + c * dy + cy;
      if (mirror) sx = (w - 1) - sx;
      const int ix = static_cast<int>(std::lround(sx)), iy = static_cast<int>(std::lround(sy));
      if (ix >= 0 && iy >= 0 && ix < source.width() && iy < source.height())
        line[x] = source.pixel(ix, iy);
    }
  }
  return out;
}

}  // namespace ormax
