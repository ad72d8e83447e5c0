// BandedBmp: a picture written to a BMP file a band of rows at a time, so that only a
// band is ever held, never the whole picture.
//   SaveBmpInBands  draws the picture band by band and writes each band as it is done
// The file is byte for byte the one SavePicture writes for the whole picture drawn at
// once (24 bits a pixel, bottom row first), provided the drawing gives the same pixels
// on a band as on the whole (DrawColouredRecognition does). Like SavePicture it goes
// through a temporary file: a failure leaves an existing file untouched.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "canvas/Canvas.h"

namespace ormax {

// Writes the width x height picture that `draw` paints as a BMP. `draw` is called once
// a band, bottom band first, with a canvas in the picture's coordinates clipped to the
// band (ClipRect) on a white band; bandRows 0 takes bands of about 2 MiB of pixels.
// Throws EFileError as SavePicture does, std::runtime_error when a band cannot be
// held, and whatever `draw` throws.
void SaveBmpInBands(int32_t width, int32_t height, const QString& fileName,
                    const std::function<void(ICanvas& band)>& draw, int32_t bandRows = 0);

}  // namespace ormax
