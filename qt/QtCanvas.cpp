// QtCanvas: the canvas operations on a 32-bit QImage: pixels, rectangles and stamped
// short paths set on the image's bits, other lines and text through a QPainter opened
// on demand; colours are turned from $00BBGGRR to Qt's form here and nowhere else.
//   ToQColor, TQtCanvas (the ICanvas operations, Flush)
#include "qt/QtCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <algorithm>

namespace ormax {

QColor ToQColor(TColor color) {
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TQtCanvas::TQtCanvas(QImage& image) : TQtCanvas(image, 0) {}

TQtCanvas::TQtCanvas(QImage& image, int32_t top) : image_(image), top_(top) {
  if (image_.format() != QImage::Format_RGB32 && !image_.isNull())
    image_ = image_.convertToFormat(QImage::Format_RGB32);
  width_ = image_.width();
  height_ = image_.height();
}

TQtCanvas::~TQtCanvas() {
  Flush();
}

void TQtCanvas::Flush() const {
  if (painter_) {
    painter_->end();
    painter_.reset();
  }
}

QPainter& TQtCanvas::Painter() {
  if (!painter_) {
    bits_ = nullptr;
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    if (top_ != 0) painter_->translate(0, -top_);
    painterFontSize_ = 0;
    painterPenSet_ = false;
  }
  return *painter_;
}

TRect TQtCanvas::ClipRect() const {
  return TRect{0, top_, image_.width(), static_cast<int32_t>(int64_t{top_} + image_.height())};
}

TColor TQtCanvas::GetPixel(int32_t x, int32_t y) const {
  const int64_t row = int64_t{y} - top_;
  if (x < 0 || row < 0 || x >= width_ || row >= height_) return 0;
  Flush();
  return FromQRgb(image_.pixel(x, static_cast<int>(row)));
}

void TQtCanvas::SetPixel(int32_t x, int32_t y, TColor color) {
  const int64_t row = int64_t{y} - top_;
  if (x < 0 || row < 0 || x >= width_ || row >= height_) return;
  Bits()[row * stride_ + x] = ToQRgb(color);
}

QRgb* TQtCanvas::Bits() {
  if (!bits_) {
    Flush();
    bits_ = reinterpret_cast<QRgb*>(image_.bits());
    stride_ = image_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
  }
  return bits_;
}

void TQtCanvas::FillPixels(const QRect& r, TColor color) {
  const QRect area = r & image_.rect().translated(0, top_);
  if (area.isEmpty()) return;
  QRgb* bits = Bits();
  const qsizetype stride = stride_;
  const QRgb rgb = ToQRgb(color);
  for (int y = area.top(); y <= area.bottom(); ++y)
    std::fill_n(bits + (y - top_) * stride + area.left(), area.width(), rgb);
}

// A rectangle of whole pixels in one colour: the pixels the painter would fill, set
// directly, so that rectangles between pixels and stamped lines keep no painter open.
void TQtCanvas::FillRect(const TRect& r) {
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  FillPixels(QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)), brush_);
}

void TQtCanvas::FrameRect(const TRect& r) {
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  const int64_t right = r.Right - 1, bottom = r.Bottom - 1;
  auto band = [&](int64_t l, int64_t t, int64_t rr, int64_t b) {
    FillPixels(QRect(QPoint(static_cast<int>(l), static_cast<int>(t)),
                   QPoint(static_cast<int>(rr), static_cast<int>(b))),
             brush_);
  };
  band(r.Left, r.Top, right, r.Top);    // top row
  band(r.Left, bottom, right, bottom);  // bottom row
  band(r.Left, r.Top, r.Left, bottom);  // left column
  band(right, r.Top, right, bottom);    // right column
}

void TQtCanvas::MoveTo(int32_t x, int32_t y) {
  penX_ = x;
  penY_ = y;
}

QPainter& TQtCanvas::LinePainter() {
  QPainter& p = Painter();
  if (!painterPenSet_ || painterPen_ != pen_ || painterPenWidth_ != penWidth_) {
    p.setPen(LinePen(ToQColor(pen_), penWidth_));
    painterPenSet_ = true;
    painterPen_ = pen_;
    painterPenWidth_ = penWidth_;
  }
  return p;
}

void TQtCanvas::LineTo(int32_t x, int32_t y) {
  // A line of no length with flat caps covers no pixel: the outline of a small
  // ellipse is mostly such steps, so they skip the painter.
  if (x == penX_ && y == penY_) return;
  LinePainter().drawLine(QPoint(penX_, penY_), QPoint(x, y));
  penX_ = x;
  penY_ = y;
}

void TQtCanvas::Polyline(std::span<const TPathPoint> points) {
  // Steps of no length draw nothing: the path without them (and without points that
  // stand no time).
  path_.clear();
  for (const TPathPoint& p : points)
    if (p.Count > 0 && (path_.empty() || !(p.Point == path_.back()))) path_.push_back(p.Point);
  if (path_.empty()) return;
  penX_ = path_.back().X;
  penY_ = path_.back().Y;
  if (path_.size() < 2) return;
  const std::span<const TPoint> steps(path_);
  // A short path whose lines lie wholly on the picture: its stamp, shifted to the path's
  // place. The painter cuts lines that reach past the edge before it draws them, which
  // can move their pixels: such paths, like long ones, go to the painter.
  TRect box{steps[0].X, steps[0].Y, steps[0].X, steps[0].Y};  // inclusive
  for (const TPoint& p : steps) {
    box.Left = std::min(box.Left, p.X);
    box.Right = std::max(box.Right, p.X);
    box.Top = std::min(box.Top, p.Y);
    box.Bottom = std::max(box.Bottom, p.Y);
  }
  const int64_t reach = std::max(penWidth_, 1) + 2;  // past the points, in every direction
  const int64_t top = int64_t{box.Top} - top_, bottom = int64_t{box.Bottom} - top_;
  const bool inside = box.Left - reach >= 0 && top - reach >= 0 &&
                      box.Right + reach < image_.width() && bottom + reach < image_.height();
  if (const std::vector<TPoint>* pixels = inside ? stamps_.Pixels(steps, box, penWidth_) : nullptr) {
    QRgb* bits = Bits();
    const qsizetype stride = stride_;
    const QRgb rgb = ToQRgb(pen_);
    const int32_t width = image_.width(), height = image_.height();
    for (const TPoint& p : *pixels) {
      const int64_t x = p.X + box.Left, y = p.Y + top;  // on the image, but checked still
      if (x >= 0 && y >= 0 && x < width && y < height) bits[y * stride + x] = rgb;
    }
    return;
  }
  QPainter& painter = LinePainter();
  for (size_t i = 1; i < steps.size(); ++i)
    painter.drawLine(QPoint(steps[i - 1].X, steps[i - 1].Y), QPoint(steps[i].X, steps[i].Y));
}

int32_t TQtCanvas::TextHeight() const {
  if (text_.Size == (fontSize_ > 0 ? fontSize_ : 1)) return text_.Height;
  QFont font = painter_ ? painter_->font() : QFont();
  font.setPointSize(fontSize_ > 0 ? fontSize_ : 1);
  return QFontMetrics(font, &image_).height();
}

void TQtCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  QPainter& p = Painter();
  const int32_t size = fontSize_ > 0 ? fontSize_ : 1;
  if (painterFontSize_ != size) {
    QFont font = p.font();
    font.setPointSize(size);
    p.setFont(font);
    painterFontSize_ = size;
    if (text_.Size != size) {
      text_.Font = font;
      const QFontMetrics metrics(font, &image_);
      text_.Size = size;
      text_.Height = metrics.height();
      text_.Ascent = metrics.ascent();
      text_.Widths.clear();
    }
  }
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  auto width = text_.Widths.find(text);
  if (width == text_.Widths.end()) {
    if (text_.Widths.size() >= 4096) text_.Widths.clear();  // kept for the labels of a view, not more
    width = text_.Widths.emplace(text, QFontMetrics(text_.Font, &image_).horizontalAdvance(s)).first;
  }
  p.fillRect(QRect(x, y, width->second, text_.Height), ToQColor(brush_));
  p.setPen(ToQColor(fontColor_));
  painterPenSet_ = false;  // the text's pen is not the lines'
  p.drawText(x, y + text_.Ascent, s);
}

}  // namespace ormax
