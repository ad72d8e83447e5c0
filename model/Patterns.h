// Patterns: the raster types every analysis step works on, and the two geometric
// primitives that tree nodes hold in serialised form.
//   TColorMatrix (the pixels, one block), TImg (pixels at scene coordinates), TPattern
//   (a TImg with a background: a region), TPatternList (owning), TEllipse (76 bytes),
//   TRectangle (20 bytes), Power (base^exponent, by squaring for whole exponents);
//   TUnfilled asks for pixels left unset, every one to be written by their maker
// Bounds are inclusive on all four sides. Scans run columns outside, rows inside.
// An image of no pixels (Right = Left - 1) is valid and every scan over it does
// nothing; Trim of a region without inside pixels is not defined and throws.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "codes/Bytes.h"
#include "codes/Codes.h"
#include "codes/OwningList.h"
#include "numerics/TLinAlg.h"
#include "canvas/Canvas.h"

namespace ormax {

// One colour value per pixel, stored row after row; Pixels[y][x] counts from the
// image's own top-left corner. Held in one bare block (no capacity kept), since a scene
// of small regions holds hundreds of thousands of these; a block of at most two pixels
// (most specks of a noisy scene) sits in place of the block's pointer, not allocated.
// Asks for pixels that are not set when made: their maker writes every one (a scene's
// bands of rows, each on its own thread, touch their memory first).
struct TUnfilled {};

class TColorMatrix {
 public:
  TColorMatrix() = default;
  TColorMatrix(int32_t width, int32_t height, TColor value = 0);
  TColorMatrix(int32_t width, int32_t height, TUnfilled);
  TColorMatrix(const TColorMatrix& other);
  TColorMatrix& operator=(const TColorMatrix& other);
  TColorMatrix(TColorMatrix&& other) noexcept;
  TColorMatrix& operator=(TColorMatrix&& other) noexcept;
  ~TColorMatrix();

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  TColor* operator[](int32_t row) { return Data() + static_cast<size_t>(row) * width_; }
  const TColor* operator[](int32_t row) const {
    return Data() + static_cast<size_t>(row) * width_;
  }
  friend bool operator==(const TColorMatrix& a, const TColorMatrix& b);

 private:
  static constexpr size_t kInPlace = sizeof(void*) / sizeof(TColor);  // 2 on 64 bits

  size_t Size() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
  bool InPlace() const { return Size() <= kInPlace; }
  TColor* Data() { return InPlace() ? store_.Pixels : store_.Block; }
  const TColor* Data() const { return InPlace() ? store_.Pixels : store_.Block; }
  // Sets the size and makes the room for it, allocated only beyond kInPlace pixels.
  void MakeRoom(int32_t width, int32_t height);

  union TStore {
    TColor* Block;
    TColor Pixels[kInPlace];
  };
  TStore store_{nullptr};
  int32_t width_ = 0;
  int32_t height_ = 0;
};

class TImg {
 public:
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = -1;
  int32_t Bottom = -1;
  TColorMatrix Pixels;

  // Every pixel 0. Throws std::invalid_argument for bounds that give a negative size.
  TImg(int32_t left, int32_t top, int32_t right, int32_t bottom);
  explicit TImg(const TRect& bounds);  // CreateFromRect
  TImg(const TRect& bounds, TColor value);  // every pixel value
  TImg(const TRect& bounds, TUnfilled);     // every pixel to be written by the maker
  // Reads every pixel of the canvas's clip rectangle.
  static TImg CreateFromCanvas(const ICanvas& canvas);

  TRect GetBounds() const { return TRect{Left, Top, Right, Bottom}; }
  int32_t Width() const { return Right - Left + 1; }
  int32_t Height() const { return Bottom - Top + 1; }
  // Left column of the two middle ones for an even width, upper row for an even height.
  TPoint Center() const;
  TColor GetPixel(int32_t x, int32_t y) const { return Pixels[y - Top][x - Left]; }
  void SetPixel(int32_t x, int32_t y, TColor value) { Pixels[y - Top][x - Left] = value; }
  bool InBounds(int32_t x, int32_t y) const {
    return Left <= x && x <= Right && Top <= y && y <= Bottom;
  }
  // Replaces the image by its sub-rectangle r, which must lie within the bounds
  // (std::invalid_argument otherwise).
  void Crop(const TRect& r);
  // One-pixel frame along the image's own outermost columns and rows.
  void DrawFrame(TColor color, ICanvas& canvas) const;

 protected:
  void ReadFromCanvas(const ICanvas& canvas);

 private:
  TImg(const TRect& bounds, TColorMatrix&& pixels);
};

class TPattern : public TImg {
 public:
  // Every pixel starts as 0 (black): call Clear for an empty region.
  TPattern(const TRect& bounds, TColor background);
  // An empty region: every pixel the background, filled once.
  static std::unique_ptr<TPattern> CreateEmpty(const TRect& bounds, TColor background);
  // A pattern whose every pixel the caller writes before any is read (a scene read in
  // bands of rows): no pass over the pixels before.
  static std::unique_ptr<TPattern> CreateUnfilled(const TRect& bounds, TColor background);
  static TPattern CreateFromCanvas(const ICanvas& canvas, TColor background);

  TColor Background() const { return background_; }
  bool IsInside(int32_t x, int32_t y) const { return GetPixel(x, y) != background_; }
  // The tight box of the inside pixels; with none, the inverted (Right, Bottom, Left, Top).
  TRect GetInsideBounds() const;
  void Clear();
  // Crops to GetInsideBounds; throws std::invalid_argument for a region without
  // inside pixels wider or taller than one pixel.
  void Trim();
  void FillInside(TColor color);
  // The number of inside pixels, counted up to `enough` at the most (a caller that
  // only asks whether there are so many stops there).
  int64_t InsideCount(int64_t enough = INT64_MAX) const;
  // Writes the inside pixels; the canvas keeps its pixels under the background.
  void Draw(ICanvas& canvas) const;

 private:
  TPattern(const TRect& bounds, TColor background, TColor fill);
  TPattern(const TRect& bounds, TColor background, TUnfilled);
  TColor background_;
};

class TPatternList : public TOwningList<TPattern> {};

// The common root of the primitives; nothing dispatches on it.
class TPrimitive {};

class TEllipse : public TPrimitive {
 public:
  static constexpr size_t ByteSize = EllipseByteSize;  // the data of every code item

  TVector Center;
  TMatrix Rotation;  // columns: directions of the first and the second axis
  TVector Axes;      // semi-axis lengths along the first and the second column
  double Exponent = 0.0;
  TColor Color = 0;

  TEllipse() = default;
  // Throws EReadError when fewer than 76 bytes are given.
  static TEllipse CreateFromBytes(const TByteArray& bytes);
  void SaveToBytes(TByteArray& bytes) const;

  TVector ToLocal(TVector p) const;
  TVector ToLocal(double x, double y) const { return ToLocal(MakeVector(x, y)); }
  // Boundary included; false for NaN, so a damaged ellipse contains nothing.
  bool Contains(TVector p) const;
  bool Contains(double x, double y) const { return Contains(MakeVector(x, y)); }
  // The same two tests with inverse = InvertMatrix(Rotation) made once by the caller,
  // for the many points of a scan.
  TVector ToLocal(TVector p, const TMatrix& inverse) const;
  bool Contains(TVector p, const TMatrix& inverse) const;
  // The pixels Fill tests, clipped to clip (exclusive right and bottom edges): the
  // square of the axes' norm around the centre; an empty rectangle (Right < Left) when
  // nothing is tested.
  TRect FillArea(const TRect& clip) const;
  void Fill(ICanvas& canvas) const;
  // Closed polyline, steps points per quarter turn (both ends counted), steps >= 2.
  void DrawOutline(ICanvas& canvas, int32_t steps, int32_t penWidth) const;
};

class TRectangle : public TPrimitive {
 public:
  static constexpr size_t ByteSize = 20;

  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  TColor Color = 0;

  TRectangle() = default;
  TRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom, TColor color)
      : Left(left), Top(top), Right(right), Bottom(bottom), Color(color) {}
  TRectangle(const TRect& bounds, TColor color)
      : TRectangle(bounds.Left, bounds.Top, bounds.Right, bounds.Bottom, color) {}
  // Throws EReadError when fewer than 20 bytes are given.
  static TRectangle CreateFromBytes(const TByteArray& bytes);
  void SaveToBytes(TByteArray& bytes) const;

  TRect GetBounds() const { return TRect{Left, Top, Right, Bottom}; }
  // Pixels of the rectangle outside the pattern are skipped.
  void PaintInto(TPattern& pattern) const;
  void DrawFrame(TColor frameColor, ICanvas& canvas) const;
  void Fill(ICanvas& canvas) const;
};

// Power(base, exponent): 1 for exponent 0; 0 for base 0 and a positive exponent;
// repeated squaring for whole exponents up to 2147483647 in magnitude; exp(e ln b)
// otherwise.
Real Power(Real base, Real exponent);

}  // namespace ormax
