// PenStamps: the pixels that the painter sets for a short path of pen lines, kept by
// the path's shape, so that the same shape at another place is set pixel by pixel
// without the painter (the outlines of a view of many small regions repeat a few
// shapes thousands of times).
//   LinePen  the pen the canvas draws its lines with
//   TPenStamps::Pixels  a path's pixels, drawn once per shape and width
// A path is a list of points, each step drawn as the canvas's LineTo draws it; steps of
// no length must be left out. Paths wider or taller than MaxSpan are not kept.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPen>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "canvas/Canvas.h"

namespace ormax {

// A pen of the colour and width (at least 1) with flat caps: a line of no length
// covers no pixel, and a line leaves its end to the next one.
QPen LinePen(const QColor& color, int32_t width);

class TPenStamps {
 public:
  static constexpr int32_t MaxSpan = 64;
  static constexpr int32_t MaxWidth = 16;

  // The pixels, relative to the top-left corner of box (the smallest rectangle holding
  // the path's points, inclusive), that the painter sets when it draws the path with
  // LinePen of this width; null for a path that spans more than MaxSpan, a pen wider
  // than MaxWidth or fewer than two points.
  const std::vector<TPoint>* Pixels(std::span<const TPoint> path, const TRect& box,
                                    int32_t width);

 private:
  struct TStamp {
    int32_t Width = 0;
    std::vector<TPoint> Path;  // relative to its top-left corner
    std::vector<TPoint> Pixels;
  };
  void Draw(TStamp& stamp, int32_t spanX, int32_t spanY);

  std::vector<TStamp> slots_;
  QImage picture_;                      // where stamps are drawn
  std::unique_ptr<QPainter> painter_;  // open on picture_ once a stamp was drawn
};

}  // namespace ormax
