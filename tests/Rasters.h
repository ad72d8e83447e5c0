// Rasters: tiny pictures drawn right in the test source. Each character is a pixel:
// '.' is white (the background), any other character a colour of its own
// (see ColorOf), so "ab" is two touching pixels of different colours.
#pragma once

#include <string>
#include <vector>

#include "model/Patterns.h"

namespace ormax::testing {

// A distinct, non-white colour per character; '.' is white.
inline TColor ColorOf(char c) {
  if (c == '.') return clWhite;
  return static_cast<TColor>(static_cast<unsigned char>(c)) * 0x010203u & 0x00FFFFFFu;
}

// A pattern with its top-left pixel at (left, top) and a white background.
inline TPattern PatternFromRows(const std::vector<std::string>& rows, int32_t left = 0,
                                int32_t top = 0) {
  const int32_t height = static_cast<int32_t>(rows.size());
  const int32_t width = height == 0 ? 0 : static_cast<int32_t>(rows[0].size());
  TPattern p(TRect{left, top, left + width - 1, top + height - 1}, clWhite);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) p.SetPixel(left + x, top + y, ColorOf(rows[y][x]));
  return p;
}

}  // namespace ormax::testing
