// Canvas: what the model and the views ask of a drawing surface, and the colour and
// rectangle types they share with it. Plain C++, so the core can draw without Qt;
// qt/QtCanvas binds it to a QImage.
//   TColor ($00BBGGRR, red in the low byte), clWhite, clBlack, TRect, TPoint, TPathPoint,
//   ICanvas (TextHeight: the rows a line of text fills)
//   (Polyline draws a path as its MoveTo and LineTo steps would)
// Rectangles handed to a canvas have exclusive right and bottom edges; in the model
// they are inclusive. Drawing outside the surface is dropped without error.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ormax {

using TColor = uint32_t;

inline constexpr TColor clWhite = 0x00FFFFFF;
inline constexpr TColor clBlack = 0x00000000;

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// A point of a path standing Count times in a row (Count >= 1): Count - 1 steps of no
// length follow the step to it.
struct TPathPoint {
  TPoint Point;
  int32_t Count = 1;
};

class ICanvas {
 public:
  virtual ~ICanvas() = default;

  // The whole drawing surface: (0, 0, width, height) for a bitmap.
  virtual TRect ClipRect() const = 0;
  virtual TColor GetPixel(int32_t x, int32_t y) const = 0;
  // A point outside the surface is ignored.
  virtual void SetPixel(int32_t x, int32_t y, TColor color) = 0;

  // Brush: fill, frame and the background of text.
  virtual void SetBrushColor(TColor color) = 0;
  virtual void FillRect(const TRect& r) = 0;
  // A border one pixel wide along the inside of r.
  virtual void FrameRect(const TRect& r) = 0;

  virtual void SetPenColor(TColor color) = 0;
  virtual void SetPenWidth(int32_t width) = 0;
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  // Draws from the current position to (x, y), leaving the end pixel to the next
  // segment; (x, y) becomes the current position.
  virtual void LineTo(int32_t x, int32_t y) = 0;
  // MoveTo the first point, then LineTo each of the others, each as often as it stands,
  // in one call: a canvas may draw the whole path at once, setting the same pixels.
  virtual void Polyline(std::span<const TPathPoint> path) {
    bool first = true;
    for (const TPathPoint& p : path)
      for (int32_t k = 0; k < p.Count; ++k) {
        first ? MoveTo(p.Point.X, p.Point.Y) : LineTo(p.Point.X, p.Point.Y);
        first = false;
      }
  }

  virtual void SetFontSize(int32_t points) = 0;
  virtual void SetFontColor(TColor color) = 0;
  // Top-left corner of the text at (x, y), its cells filled with the brush colour.
  virtual void TextOut(int32_t x, int32_t y, const std::string& text) = 0;
  // The height of the box TextOut fills, in the current font size. Glyphs may reach a
  // little past it (accents above, tails below).
  virtual int32_t TextHeight() const = 0;
};

}  // namespace ormax
