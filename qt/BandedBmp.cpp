// BandedBmp: the BMP headers as Qt's writer makes them for a 32-bit picture without
// alpha (24-bit rows padded to 4 bytes, the picture's dots per metre), then the rows
// from the bottom up, each band drawn on a canvas that takes the picture's coordinates.
//   SaveBmpInBands
// Edge cases: a picture of no pixels is refused as SavePicture refuses it; the
// bottom band is the short one when bandRows does not divide the height.
#include "qt/BandedBmp.h"

#include <QImage>
#include <QSaveFile>
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "codes/Bytes.h"
#include "codes/Errors.h"
#include "qt/QtBitmap.h"
#include "qt/QtCanvas.h"

namespace ormax {

namespace {

constexpr int64_t kBandBytes = int64_t{2} << 20;

// The file header and the 40-byte info header of a 24-bit picture.
TByteArray Headers(int32_t width, int32_t height, int64_t rowBytes, const QImage& like) {
  const int64_t offset = 14 + 40;
  const int64_t pixels = rowBytes * height;
  TByteArray out = {'B', 'M'};
  AppendLittleEndian(out, static_cast<uint64_t>(offset + pixels), 4);
  AppendLittleEndian(out, 0, 4);  // reserved
  AppendLittleEndian(out, offset, 4);
  AppendLittleEndian(out, 40, 4);
  AppendLittleEndian(out, static_cast<uint32_t>(width), 4);
  AppendLittleEndian(out, static_cast<uint32_t>(height), 4);
  AppendLittleEndian(out, 1, 2);   // planes
  AppendLittleEndian(out, 24, 2);  // bits a pixel
  AppendLittleEndian(out, 0, 4);   // no compression
  AppendLittleEndian(out, static_cast<uint64_t>(pixels), 4);
  AppendLittleEndian(out, static_cast<uint32_t>(like.dotsPerMeterX()), 4);
  AppendLittleEndian(out, static_cast<uint32_t>(like.dotsPerMeterY()), 4);
  AppendLittleEndian(out, 0, 4);  // colours used
  AppendLittleEndian(out, 0, 4);  // important colours
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
  if (band.isNull())
    throw std::runtime_error(fileName.toStdString() + ": no memory for a band of " +
                             std::to_string(width) + " x " + std::to_string(rows) + " pixels");
  TByteArray out(static_cast<size_t>(rowBytes * rows), 0);  // the padding stays zero

  const std::string name = fileName.toStdString();
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    throw EFileError("Cannot create file " + name, name, file.errorString().toStdString());
  auto write = [&](const uint8_t* bytes, size_t size) {
    if (file.write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(size)) !=
        static_cast<qint64>(size)) {
      const std::string reason = file.errorString().toStdString();
      file.cancelWriting();
      throw EFileError("Stream write error", name, reason);
    }
  };
  const TByteArray headers = Headers(width, height, rowBytes, band);
  write(headers.data(), headers.size());

  // Bands start at multiples of `rows` from the top, so the bottom one is the short
  // one; they are written from the bottom band up, as the file keeps its rows.
  QImage shortBand;
  for (int64_t first = (int64_t{height} - 1) / rows * rows; first >= 0; first -= rows) {
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(rows, height - first));
    if (count != rows) shortBand = QImage(width, count, QImage::Format_RGB32);
    QImage& image = count == rows ? band : shortBand;
    if (image.isNull())
      throw std::runtime_error(name + ": no memory for a band of " + std::to_string(width) +
                               " x " + std::to_string(count) + " pixels");
    image.fill(Qt::white);
    {
      TQtCanvas canvas(image, static_cast<int32_t>(first));
      draw(canvas);
    }
    for (int32_t y = count - 1; y >= 0; --y) {
      const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      uint8_t* at = out.data() + static_cast<size_t>(count - 1 - y) * static_cast<size_t>(rowBytes);
      for (int32_t x = 0; x < width; ++x, at += 3) {
        at[0] = static_cast<uint8_t>(qBlue(line[x]));
        at[1] = static_cast<uint8_t>(qGreen(line[x]));
        at[2] = static_cast<uint8_t>(qRed(line[x]));
      }
    }
    write(out.data(), static_cast<size_t>(rowBytes) * static_cast<size_t>(count));
  }
  if (!file.commit())
    throw EFileError("Stream write error", name, file.errorString().toStdString());
}

}  // namespace ormax
