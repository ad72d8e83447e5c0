// Resampling: pictures of a shape made anew, turned, as the base command's copies.
//   TurnPattern  a region turned about its centre (mirrored first, if asked), each
//                output pixel taking the nearest source pixel: no new colours appear
// The result starts at (0, 0), is just large enough for the whole turned picture, and
// is white wherever no source pixel lands.
#pragma once

#include "model/Patterns.h"

namespace ormax {

// Turns by `degrees` clockwise on screen (y grows downwards). Mirroring flips left and
// right. The source's pixels are taken as they are, its background too.
TPattern TurnPattern(const TImg& source, double degrees, bool mirror);

}  // namespace ormax
