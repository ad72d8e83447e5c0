// Resampling: pictures of a shape made anew, turned, scaled, shifted or mirrored, as the
// base's copies and the evaluation's test copies.
//   TResampling     the move: mirror, then turn, scale, and shift by sub-pixel amounts
//   ResamplePattern area-weighted: every output pixel takes the colour that covers most
//                   of it (counted on a grid of points), so no new colours appear
//   TurnPattern     ResamplePattern of a turn (and mirror) alone
//   TResampler      many copies of one picture: Whole is ResamplePattern, Part only the
//                   piece of that copy where the picture's pixels other than white land
// The result starts at (0, 0), is just large enough for the whole moved picture plus a
// pixel, and is white wherever no source pixel lands; the source's background counts
// as a colour like any other.
#pragma once

#include <memory>

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

// The copies of one picture (which must outlive the resampler). Only the points that
// land near the picture's pixels other than white are looked up; every other pixel of
// a copy is white. What the copies share is found once: the box of those pixels, and
// where the picture has blocks of one colour, so that a run of output pixels whose
// points all land in such a block takes its colour at once.
class TResampler {
 public:
  explicit TResampler(const TImg& source);
  ~TResampler();
  TResampler(const TResampler&) = delete;
  TResampler& operator=(const TResampler&) = delete;

  // ResamplePattern(source, move), with the same exceptions.
  TPattern Whole(const TResampling& move) const;
  // The pixels of Whole(move) within a box around every pixel of it other than white,
  // each at its place in the whole copy: the box is where the part starts, not (0, 0).
  // The pixels left out are white. A picture of white alone gives one white pixel at
  // (0, 0).
  TPattern Part(const TResampling& move) const;

 private:
  struct TBlocks;  // which blocks of source pixels are of one colour

  const TImg& source_;
  TRect ink_;   // the box of the pixels other than white, counted from the source's corner
  bool blank_;  // no such pixel
  std::unique_ptr<const TBlocks> blocks_;
};

}  // namespace ormax
