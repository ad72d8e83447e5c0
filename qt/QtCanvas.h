// QtCanvas: the canvas on a 32-bit QImage, for the desktop program and the tools.
//   TQtCanvas  the ICanvas on the image, or on a band of rows of a taller picture;
//              Flush finishes pending painting
//   ToQColor / ToQRgb / FromQRgb convert between TColor ($00BBGGRR) and Qt's order; nothing
//   else in the program sees Qt's colours.
// Pixels, rectangles and short paths of lines (from their stamps) are set on the image
// directly; other lines and text go through a QPainter that is opened on demand and
// closed before the next direct access.
#pragma once

#include <QImage>
#include <QPainter>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "canvas/Canvas.h"
#include "qt/PenStamps.h"

namespace ormax {

QColor ToQColor(TColor color);
// The same as an opaque pixel of a 32-bit image (ToQColor(color).rgb()).
inline QRgb ToQRgb(TColor color) {
  return qRgb(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
              static_cast<int>((color >> 16) & 0xFF));
}
inline TColor FromQRgb(QRgb rgb) {
  return static_cast<TColor>(qRed(rgb)) | (static_cast<TColor>(qGreen(rgb)) << 8) |
         (static_cast<TColor>(qBlue(rgb)) << 16);
}

class TQtCanvas : public ICanvas {
 public:
  // The image must outlive the canvas, and is neither copied nor resized while the
  // canvas draws; it is converted to Format_RGB32 if needed.
  explicit TQtCanvas(QImage& image);
  // The image holds the rows top .. top + height - 1 of a taller picture: the canvas
  // takes the picture's coordinates and drops what falls outside the band. Pixels,
  // rectangles and text come out as on the whole picture; a line the painter draws
  // may be cut at the band's edges, which can move its pixels.
  TQtCanvas(QImage& image, int32_t top);
  ~TQtCanvas() override;

  TRect ClipRect() const override;
  TColor GetPixel(int32_t x, int32_t y) const override;
  void SetPixel(int32_t x, int32_t y, TColor color) override;
  void SetBrushColor(TColor color) override { brush_ = color; }
  void FillRect(const TRect& r) override;
  void FrameRect(const TRect& r) override;
  void SetPenColor(TColor color) override { pen_ = color; }
  void SetPenWidth(int32_t width) override { penWidth_ = width; }
  void MoveTo(int32_t x, int32_t y) override;
  void LineTo(int32_t x, int32_t y) override;
  void Polyline(std::span<const TPathPoint> points) override;
  void SetFontSize(int32_t points) override { fontSize_ = points; }
  void SetFontColor(TColor color) override { fontColor_ = color; }
  void TextOut(int32_t x, int32_t y, const std::string& text) override;
  int32_t TextHeight() const override;

  // Finishes pending painting, so that the image shows everything drawn so far.
  void Flush() const;

 private:
  QPainter& Painter();
  // The painter, holding the canvas's pen for lines.
  QPainter& LinePainter();
  // The image's pixels for writing, the painter closed first; kept until the painter
  // opens again, so that a run of single pixels asks the image for them once.
  QRgb* Bits();
  // Sets the pixels of r that lie on the image.
  void FillPixels(const QRect& r, TColor color);

  QImage& image_;
  int32_t top_ = 0;  // the picture's row that is the image's first
  mutable std::unique_ptr<QPainter> painter_;
  QRgb* bits_ = nullptr;  // null while the painter is open
  qsizetype stride_ = 0;  // pixels per scan line
  int32_t width_ = 0;
  int32_t height_ = 0;
  TColor brush_ = 0x00FFFFFF;
  TColor pen_ = 0;
  int32_t penWidth_ = 1;
  TColor fontColor_ = 0;
  int32_t fontSize_ = 8;
  int32_t penX_ = 0;
  int32_t penY_ = 0;
  // The pen the painter holds, so that a run of lines sets it once.
  bool painterPenSet_ = false;
  TColor painterPen_ = 0;
  int32_t painterPenWidth_ = 0;
  std::vector<TPoint> path_;  // a polyline's points without steps of no length
  // The font size the painter holds (0: its own), so that a run of texts sets it once.
  int32_t painterFontSize_ = 0;
  // The measures of the font size last drawn in, and the widths of the texts drawn in
  // it: a view writes the same few labels many times over, and measuring a text costs
  // as much as drawing it.
  struct TTextMeasures {
    int32_t Size = 0;
    QFont Font;
    int Height = 0;
    int Ascent = 0;
    std::unordered_map<std::string, int> Widths;
  } text_;
  TPenStamps stamps_;
};

}  // namespace ormax
