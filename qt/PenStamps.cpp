// PenStamps: a path's shape is drawn once on a small picture of the stamps' own, at a
// margin of more than the pen's width, and the pixels set there are kept. The painter
// works in whole-number steps here, so the same lines drawn a whole number of pixels
// away set the same pixels shifted (the canvas's tests draw paths both ways to show it).
//   LinePen, TPenStamps::Pixels
#include "qt/PenStamps.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

namespace ormax {

QPen LinePen(const QColor& color, int32_t width) {
  QPen pen(color);
  pen.setWidth(width < 1 ? 1 : width);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

namespace {

constexpr size_t Slots = 4096;

}  // namespace

const std::vector<TPoint>* TPenStamps::Pixels(std::span<const TPoint> path, const TRect& box,
                                              int32_t width) {
  if (path.size() < 2 || width > MaxWidth) return nullptr;
  // Differences of whole int32 values fit in int64; the spans are then small.
  if (static_cast<int64_t>(box.Right) - box.Left > MaxSpan ||
      static_cast<int64_t>(box.Bottom) - box.Top > MaxSpan)
    return nullptr;
  const int32_t left = box.Left, top = box.Top;
  if (slots_.empty()) slots_.resize(Slots);  // on the first path: most canvases draw none
  uint64_t h = 1469598103934665603ull ^ static_cast<uint64_t>(width);
  for (const TPoint& p : path)
    h = (h ^ (static_cast<uint64_t>(p.X - left) << 8 | static_cast<uint64_t>(p.Y - top))) *
        1099511628211ull;
  TStamp& stamp = slots_[static_cast<size_t>((h ^ h >> 31) % Slots)];
  bool same = stamp.Width == width && stamp.Path.size() == path.size();
  for (size_t i = 0; same && i < path.size(); ++i)
    same = stamp.Path[i].X == path[i].X - left && stamp.Path[i].Y == path[i].Y - top;
  if (!same) {
    stamp.Width = width;
    stamp.Path.resize(path.size());
    for (size_t i = 0; i < path.size(); ++i)
      stamp.Path[i] = TPoint{path[i].X - left, path[i].Y - top};
    Draw(stamp, box.Right - left, box.Bottom - top);
  }
  return &stamp.Pixels;
}

void TPenStamps::Draw(TStamp& stamp, int32_t spanX, int32_t spanY) {
  // One small picture and its painter serve every stamp: only the part a stamp needs
  // is cleared, drawn on and read. The pen reaches less than its width plus one pixel
  // past the points.
  const int32_t margin = std::max(stamp.Width, 1) + 2;
  const int32_t width = spanX + 2 * margin + 1, height = spanY + 2 * margin + 1;
  if (!painter_) {
    const int32_t side = MaxSpan + 2 * (MaxWidth + 2) + 1;
    picture_ = QImage(side, side, QImage::Format_RGB32);
    painter_ = std::make_unique<QPainter>(&picture_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
  }
  painter_->fillRect(0, 0, width, height, Qt::black);
  painter_->setPen(LinePen(Qt::white, stamp.Width));
  for (size_t i = 1; i < stamp.Path.size(); ++i)
    painter_->drawLine(QPoint(stamp.Path[i - 1].X + margin, stamp.Path[i - 1].Y + margin),
                       QPoint(stamp.Path[i].X + margin, stamp.Path[i].Y + margin));
  // The raster painter has set its pixels when a call returns; reading leaves it open.
  stamp.Pixels.clear();
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(picture_.constScanLine(y));
    for (int32_t x = 0; x < width; ++x)
      if (row[x] != qRgb(0, 0, 0)) stamp.Pixels.push_back(TPoint{x - margin, y - margin});
  }
}

}  // namespace ormax
