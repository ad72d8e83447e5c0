// BandedBmp: the BMP headers as Qt's writer makes them for a 32-bit picture without
// alpha (24-bit rows padded to 4 bytes, the picture's dots per metre), then the rows
// from the bottom up, each band drawn on a canvas that takes the picture's coordinates.
//   SaveBmpInBands
// Edge cases: a picture of no pixels is refused as SavePicture refuses it; the top
// band is the short one when bandRows does not divide the height.
#include "qt/BandedBmp.h"

#include <QImage>
#include <QSaveFile>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "codes/Errors.h"
#include "qt/QtBitmap.h"
#include "qt/QtCanvas.h"

namespace ormax {

namespace {

constexpr int64_t kBandBytes = int64_t{2} << 20;

void PutLittleEndian(std::vector<char>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The file header and the 40-byte info header of a 24-bit picture.
std::vector<char> Headers(int32_t width, int32_t height, int64_t rowBytes, const QImage& like) {
  const int64_t offset = 14 + 40;
  const int64_t pixels = rowBytes * height;
  std::vector<char> out;
  out.push_back('B');
  out.push_back('M');
  PutLittleEndian(out, static_cast<uint32_t>(offset + pixels), 4);
  PutLittleEndian(out, 0, 4);  // reserved
  PutLittleEndian(out, static_cast<uint32_t>(offset), 4);
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, static_cast<uint32_t>(width), 4);
  PutLittleEndian(out, static_cast<uint32_t>(height), 4);
  PutLittleEndian(out, 1, 2);   // planes
  PutLittleEndian(out, 24, 2);  // bits a pixel
  PutLittleEndian(out, 0, 4);   // no compression
  PutLittleEndian(out, static_cast<uint32_t>(pixels), 4);
  PutLittleEndian(out, static_cast<uint32_t>(like.dotsPerMeterX()), 4);
  PutLittleEndian(out, static_cast<uint32_t>(like.dotsPerMeterY()), 4);
  PutLittleEndian(out, 0, 4);  // colours used
  PutLittleEndian(out, 0, 4);  // important colours
  return out;
}

}  // namespace

void SaveBmpInBands(int32_t width, int32_t height, const QString& fileName,
                    const std::function<void(ICanvas& band)>& draw, int32_t bandRows) {
  if (width <= 0 || height <= 0) {
    SavePicture(QImage(), fileName, "bmp");  // refused there, with its reason
    return;
  }
  const int32_t rows = static_cast<int32_t>(std::clamp<int64_t>(
      bandRows > 0 ? bandRows : kBandBytes / (int64_t{4} * width), 1, height));
  QImage band(width, rows, QImage::Format_RGB32);
  const int64_t rowBytes = (int64_t{width} * 3 + 3) / 4 * 4;
  std::vector<char> out;
  if (band.isNull())
    throw std::runtime_error(fileName.toStdString() + ": no memory for a band of " +
                             std::to_string(width) + " x " + std::to_string(rows) + " pixels");
  out.reserve(static_cast<size_t>(rowBytes * rows));

  const std::string name = fileName.toStdString();
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    throw EFileError("Cannot create file " + name, name, file.errorString().toStdString());
  auto write = [&](const std::vector<char>& bytes) {
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size())) {
      const std::string reason = file.errorString().toStdString();
      file.cancelWriting();
      throw EFileError("Stream write error", name, reason);
    }
  };
  write(Headers(width, height, rowBytes, band));

  // Bands aligned from the top, so that the top one is the short one; written from the
  // bottom band up, as the file keeps its rows.
  QImage top;  // the short band, if any
  for (int64_t first = (int64_t{height} - 1) / rows * rows; first >= 0; first -= rows) {
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(rows, height - first));
    if (count != rows) top = QImage(width, count, QImage::Format_RGB32);
    QImage& image = count == rows ? band : top;
    if (image.isNull())
      throw std::runtime_error(name + ": no memory for a band of " + std::to_string(width) +
                               " x " + std::to_string(count) + " pixels");
    image.fill(Qt::white);
    {
      TQtCanvas canvas(image, static_cast<int32_t>(first));
      draw(canvas);
    }
    out.clear();
    for (int32_t y = count - 1; y >= 0; --y) {
      const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      for (int32_t x = 0; x < width; ++x) {
        out.push_back(static_cast<char>(qBlue(line[x])));
        out.push_back(static_cast<char>(qGreen(line[x])));
        out.push_back(static_cast<char>(qRed(line[x])));
      }
      out.insert(out.end(), static_cast<size_t>(rowBytes - int64_t{width} * 3), 0);
    }
    write(out);
  }
  if (!file.commit())
    throw EFileError("Stream write error", name, file.errorString().toStdString());
}

}  // namespace ormax
