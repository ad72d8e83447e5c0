// IndexedScene: a scene as its picture of 256 colours holds it, one 8-bit index per
// pixel and the colour each index stands for. Segmented as it is, a scene needs no
// TColor copy of every pixel (four times the bytes, every one written before the
// segmentation reads it).
//   TIndexedScene     the indices (shared with their owner, a picture), the colours
//                     and the background; Pixel, Row, GetBounds
// Edge cases: a scene of no pixels has no rows; the rows may be longer than the
// width (a picture's lines are padded to four bytes) and only the first Width indices
// of each are pixels; several indices may stand for the background colour, or none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "canvas/Canvas.h"

namespace ormax {

struct TIndexedScene {
  // Row y starts at Bits.get() + y * Stride; the pointer keeps its owner alive.
  std::shared_ptr<const uint8_t> Bits;
  ptrdiff_t Stride = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  std::array<TColor, 256> Colours{};  // pixel value of each index
  TColor Background = clWhite;

  const uint8_t* Row(int32_t y) const { return Bits.get() + y * Stride; }
  // The pixel's value as a scene pattern of the same picture holds it.
  TColor Pixel(int32_t x, int32_t y) const { return Colours[Row(y)[x]]; }
  // The scene's place: its top-left pixel at (0, 0), as a scene pattern's.
  TRect GetBounds() const { return TRect{0, 0, Width - 1, Height - 1}; }
};

}  // namespace ormax
