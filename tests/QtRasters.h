// QtRasters: tiny pictures drawn right in the test source, as Qt images for the tests
// of the picture reader, the command line and the desktop program. Each character is
// a pixel: '.' white (the background), '#' red, 'g' green, 'k' black; all four are
// colours of the program's palette, so they survive the 256-colour reduction.
#pragma once

#include <QImage>
#include <string>
#include <vector>

namespace ormax::testing {

inline QRgb PictureColour(char c) {
  switch (c) {
    case '.':
      return qRgb(255, 255, 255);
    case 'g':
      return qRgb(0, 255, 0);
    case 'k':
      return qRgb(0, 0, 0);
    default:
      return qRgb(255, 0, 0);
  }
}

inline QImage PictureFromRows(const std::vector<std::string>& rows) {
  QImage img(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      img.setPixel(x, y, PictureColour(rows[static_cast<size_t>(y)][static_cast<size_t>(x)]));
  return img;
}

}  // namespace ormax::testing
