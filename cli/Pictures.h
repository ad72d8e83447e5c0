// Pictures: the picture operations of the command line.
//   TurnPicture  a picture turned about its centre (and mirrored first, if asked),
//                sampled nearest-neighbour onto white: no new colours appear
#pragma once

#include <QImage>

namespace ormax {

// Turns by `degrees` clockwise on screen (y grows downwards); the result is large
// enough to hold the whole turned picture. Mirroring flips left and right.
QImage TurnPicture(const QImage& picture, double degrees, bool mirror);

}  // namespace ormax
