// Resampling: pictures of a shape made anew, turned, scaled, shifted or mirrored, as the
// base's copies and the evaluation's test copies.
//   TResampling     the move: mirror, then turn, scale, and shift by sub-pixel amounts
//   ResamplePattern area-weighted: every output pixel takes the colour that covers most
//                   of it (counted on a grid of points), so no new colours appear
//   TurnPattern     ResamplePattern of a turn (and mirror) alone
// The result starts at (0, 0), is just large enough for the whole moved picture plus a
// pixel, and is white wherever no source pixel lands; the source's background counts
// as a colour like any other.
#pragma once

#include "model/Patterns.h"

namespace ormax {

struct TResampling {
  double Degrees = 0;  // clockwise on screen (y grows downwards)
  double Scale = 1;    // > 0
  double ShiftX = 0;   // in output pixels, added after the turn
  double ShiftY = 0;
  bool Mirror = false;  // left and right flipped before the turn
};

// Throws std::invalid_argument for a scale that is not positive and finite, or one that
// would make the picture larger than 2^26 pixels.
TPattern ResamplePattern(const TImg& source, const TResampling& move);

TPattern TurnPattern(const TImg& source, double degrees, bool mirror);

}  // namespace ormax
