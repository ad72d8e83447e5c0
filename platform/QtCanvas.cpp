// QtCanvas: the canvas operations on a 32-bit QImage through a QPainter; colours are
// turned from $00BBGGRR to Qt's form here and nowhere else.
#include "platform/QtCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

namespace ormax {

QColor ToQColor(TColor color) {
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TQtCanvas::TQtCanvas(QImage& image) : image_(image) {
  if (image_.format() != QImage::Format_RGB32 && !image_.isNull())
    image_ = image_.convertToFormat(QImage::Format_RGB32);
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
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painterPenSet_ = false;
  }
  return *painter_;
}

TRect TQtCanvas::ClipRect() const {
  return TRect{0, 0, image_.width(), image_.height()};
}

TColor TQtCanvas::GetPixel(int32_t x, int32_t y) const {
  if (!image_.valid(x, y)) return 0;
  Flush();
  return FromQRgb(image_.pixel(x, y));
}

void TQtCanvas::SetPixel(int32_t x, int32_t y, TColor color) {
  if (!image_.valid(x, y)) return;
  Flush();
  image_.setPixel(x, y, ToQColor(color).rgb());
}

void TQtCanvas::FillRect(const TRect& r) {
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  QRect area = QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)) & image_.rect();
  if (area.isEmpty()) return;
  Painter().fillRect(area, ToQColor(brush_));
}

void TQtCanvas::FrameRect(const TRect& r) {
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  const int64_t right = r.Right - 1, bottom = r.Bottom - 1;
  auto band = [&](int64_t l, int64_t t, int64_t rr, int64_t b) {
    QRect area = QRect(QPoint(static_cast<int>(l), static_cast<int>(t)),
                       QPoint(static_cast<int>(rr), static_cast<int>(b))) &
                 image_.rect();
    if (!area.isEmpty()) Painter().fillRect(area, ToQColor(brush_));
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

void TQtCanvas::LineTo(int32_t x, int32_t y) {
  // A line of no length with flat caps covers no pixel: the outline of a small
  // ellipse is mostly such steps, so they skip the painter.
  if (x == penX_ && y == penY_) return;
  QPainter& p = Painter();
  if (!painterPenSet_ || painterPen_ != pen_ || painterPenWidth_ != penWidth_) {
    QPen pen(ToQColor(pen_));
    pen.setWidth(penWidth_ < 1 ? 1 : penWidth_);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    painterPenSet_ = true;
    painterPen_ = pen_;
    painterPenWidth_ = penWidth_;
  }
  p.drawLine(QPoint(penX_, penY_), QPoint(x, y));
  penX_ = x;
  penY_ = y;
}

void TQtCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  QPainter& p = Painter();
  QFont font = p.font();
  font.setPointSize(fontSize_ > 0 ? fontSize_ : 1);
  p.setFont(font);
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QFontMetrics metrics(font, &image_);
  QRect box(x, y, metrics.horizontalAdvance(s), metrics.height());
  p.fillRect(box, ToQColor(brush_));
  p.setPen(ToQColor(fontColor_));
  painterPenSet_ = false;  // the text's pen is not the lines'
  p.drawText(x, y + metrics.ascent(), s);
}

}  // namespace ormax
