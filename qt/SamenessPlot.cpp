// SamenessPlot: bars of right answers (blue) and wrong ones (red, drawn over them, half
// transparent) on a square-root count axis up to the highest bin; a dashed threshold line.
//   SamenessPlot
#include "qt/SamenessPlot.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>

namespace ormax {

namespace {

constexpr int Bins = 50;

std::array<int, Bins> Histogram(const std::vector<double>& values) {
  std::array<int, Bins> bins{};
  for (double v : values) {
    const int b = std::isfinite(v) ? static_cast<int>(std::floor(v / (100.0 / Bins))) : 0;
    ++bins[static_cast<size_t>(std::clamp(b, 0, Bins - 1))];
  }
  return bins;
}

// The plot area of the picture and the scales of its two axes.
struct TFrame {
  int height, left, top;
  double plotW, plotH;
  int highest;
  // The x position of a sameness in percent.
  double X(double percent) const { return left + plotW * percent / 100.0; }
  // The y position of a count, on a square-root axis, so that a few answers far from
  // the crowd still show.
  double Y(double count) const {
    return top + plotH - plotH * std::sqrt(count) / std::sqrt(static_cast<double>(highest));
  }
};

// Draws the bars of the right answers, then the wrong ones over them.
void DrawBars(QPainter& p, const TFrame& f, const std::array<int, Bins>& r,
              const std::array<int, Bins>& w) {
  for (int pass = 0; pass < 2; ++pass) {
    const auto& bins = pass == 0 ? r : w;
    const QColor colour = pass == 0 ? QColor(40, 90, 200) : QColor(220, 30, 30, 170);
    for (int b = 0; b < Bins; ++b) {
      if (!bins[static_cast<size_t>(b)]) continue;
      const double x0 = f.X(b * 100.0 / Bins), x1 = f.X((b + 1) * 100.0 / Bins);
      const double y = f.Y(bins[static_cast<size_t>(b)]);
      p.fillRect(QRectF(x0 + 1, y, x1 - x0 - 2, f.top + f.plotH - y), colour);
    }
  }
}

// Draws both axes with their ticks, numbers and labels.
void DrawAxes(QPainter& p, const TFrame& f) {
  const int left = f.left, top = f.top, highest = f.highest;
  const double plotW = f.plotW, plotH = f.plotH;
  p.setPen(Qt::black);
  p.drawLine(QPointF(left, top + plotH), QPointF(left + plotW, top + plotH));
  p.drawLine(QPointF(left, top), QPointF(left, top + plotH));
  for (int t = 0; t <= 100; t += 10) {
    const double x = f.X(t);
    p.drawLine(QPointF(x, top + plotH), QPointF(x, top + plotH + 5));
    p.drawText(QRectF(x - 20, top + plotH + 6, 40, 16), Qt::AlignCenter, QString::number(t));
  }
  p.drawText(QRectF(left, f.height - 24, plotW, 20), Qt::AlignCenter, "sameness (%)");
  for (const int count : {1, highest / 4, highest}) {
    if (count < 1 || (count == highest / 4 && count <= 1)) continue;
    p.drawText(QRectF(4, f.Y(count) - 8, left - 8, 16), Qt::AlignRight, QString::number(count));
    p.drawLine(QPointF(left - 4, f.Y(count)), QPointF(left, f.Y(count)));
  }
  p.save();
  p.translate(14, top + plotH / 2);
  p.rotate(-90);
  p.drawText(QRectF(-100, -8, 200, 16), Qt::AlignCenter, "answers (square-root scale)");
  p.restore();
  p.drawText(QRectF(4, top + plotH - 8, left - 8, 16), Qt::AlignRight, "0");
}

// Draws the dashed threshold line, if there is a threshold.
void DrawThreshold(QPainter& p, const TFrame& f, double threshold) {
  if (threshold > 0) {
    QPen dashed(QColor(0, 140, 0));
    dashed.setStyle(Qt::DashLine);
    dashed.setWidth(2);
    p.setPen(dashed);
    p.drawLine(QPointF(f.X(threshold), f.top), QPointF(f.X(threshold), f.top + f.plotH));
  }
}

// Draws the key: the counts of right and wrong answers and the threshold, if any.
void DrawLegend(QPainter& p, const TFrame& f, size_t right, size_t wrong, double threshold) {
  const QString legend[3] = {QString("right (%1)").arg(right), QString("wrong (%1)").arg(wrong),
                             QString("threshold %1 %").arg(threshold)};
  const QColor keys[3] = {QColor(40, 90, 200), QColor(220, 30, 30), QColor(0, 140, 0)};
  for (int k = 0; k < (threshold > 0 ? 3 : 2); ++k) {
    const double y = f.top + 6 + 18 * k;
    p.fillRect(QRectF(f.left + 12, y, 12, 12), keys[k]);
    p.setPen(Qt::black);
    p.drawText(QRectF(f.left + 30, y - 2, 200, 16), Qt::AlignLeft | Qt::AlignVCenter, legend[k]);
  }
}

}  // namespace

QImage SamenessPlot(const std::vector<double>& right, const std::vector<double>& wrong,
                    double threshold, const QString& title) {
  const int width = 800, height = 420, left = 60, rightMargin = 20, top = 40, bottom = 50;
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing, false);
  const auto r = Histogram(right), w = Histogram(wrong);
  const int highest = std::max({1, *std::max_element(r.begin(), r.end()),
                                *std::max_element(w.begin(), w.end())});
  const double plotW = width - left - rightMargin, plotH = height - top - bottom;
  const TFrame f{height, left, top, plotW, plotH, highest};
  DrawBars(p, f, r, w);
  DrawAxes(p, f);
  p.drawText(QRectF(left, 8, plotW, 20), Qt::AlignCenter, title);
  DrawThreshold(p, f, threshold);
  DrawLegend(p, f, right.size(), wrong.size(), threshold);
  return picture;
}

}  // namespace ormax
