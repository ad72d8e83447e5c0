// Background: which pixels of a picture are ink and which are the ground they lie on,
// for pictures as a camera, a scanner or a JPEG file gives them.
//   TBackground, BackgroundName, ParseBackground   the setting: white or auto
//   FindInk            the ink of a full-colour picture, one byte a pixel
//   TInkFinding        what FindInk saw: the ground's colour, noise and threshold
// Edge cases: a picture of one colour, or of ground alone, has no ink; an empty
// picture gives an empty mask; a picture where no part looks like ground takes the
// colour of its border as the ground. Ground enclosed by ink (the hole of a ring) is
// ground. Only integers are used, so every build and processor finds the same ink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Methods.h"

namespace ormax {

// How a scene's background is found: White, exact white and nothing else (the
// program's own rule); Auto, found in the picture itself (FindInk).
enum class TBackground { White, Auto };

// "white" or "auto".
const char* BackgroundName(TBackground background);
// The setting of "white" or "auto"; nothing for any other text.
std::optional<TBackground> ParseBackground(const std::string& text);

struct TInkFinding {
  uint32_t Ground = 0;     // the median colour of the picture's border, channels as the pixels'
  int32_t Noise = 0;       // median deviation of a ground pixel from the ground, in levels
  int32_t Threshold = 0;   // the least deviation that is ink anywhere
  bool Smoothed = false;   // a noisy picture: ink also stands out over 3 x 3 pixels
  int64_t InkPixels = 0;   // pixels found to be ink
};

// For each pixel of a width x height picture (rows `stride` values apart, each value
// three 8-bit channels in its low 24 bits; the top byte is ignored), 1 where it is ink
// and 0 where it is ground, row after row without gaps. The ground's colour is
// estimated in tiles and may change slowly across the picture (uneven light); a pixel
// is ink when its largest channel difference from the ground there is above the
// picture's noise (also over its 3 x 3 pixels, in a noisy picture) and at least half the
// contrast of the ink around it, so blurred and anti-aliased edges are cut midway and
// compression ringing next to an edge stays ground.
// stride is at least width. With parts, rows of tiles are worked on at once; the answer
// is the same.
std::vector<uint8_t> FindInk(const uint32_t* pixels, int32_t width, int32_t height,
                             ptrdiff_t stride, TInkFinding* finding = nullptr,
                             const TRunParts& parts = {});

}  // namespace ormax
