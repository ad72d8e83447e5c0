#include "platform/QtBitmap.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <cstdlib>
#include <optional>
#include <utility>
#include <unordered_map>

#include "codes/Files.h"
#include "platform/QtCanvas.h"

namespace ormax {

const std::array<QRgb, 256>& FixedPalette() {
  static const std::array<QRgb, 256> palette = [] {
    std::array<QRgb, 256> p{};
    int n = 0;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) p[n++] = qRgb(51 * r, 51 * g, 51 * b);
    const QRgb classic[] = {qRgb(128, 0, 0),     qRgb(0, 128, 0),    qRgb(128, 128, 0),
                            qRgb(0, 0, 128),     qRgb(128, 0, 128),  qRgb(0, 128, 128),
                            qRgb(192, 192, 192), qRgb(128, 128, 128)};
    for (QRgb c : classic) p[n++] = c;
    for (int k = 1; n < 256; ++k) {
      const int level = (k * 255 * 2 + 33) / 66;  // k * 255 / 33, rounded
      p[n++] = qRgb(level, level, level);
    }
    return p;
  }();
  return palette;
}

int NearestPaletteIndex(QRgb color) {
  const auto& palette = FixedPalette();
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < 256; ++i) {
    const long dr = qRed(color) - qRed(palette[i]);
    const long dg = qGreen(color) - qGreen(palette[i]);
    const long db = qBlue(color) - qBlue(palette[i]);
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

QImage ReduceTo256Colours(const QImage& image) {
  const QImage source = image.convertToFormat(QImage::Format_RGB32);
  QImage out(source.size(), QImage::Format_Indexed8);
  const auto& palette = FixedPalette();
  out.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
  std::unordered_map<QRgb, uint8_t> cache;  // pictures repeat their colours
  for (int y = 0; y < source.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    uchar* line = out.scanLine(y);
    for (int x = 0; x < source.width(); ++x) {
      const QRgb c = in[x] | 0xFF000000u;
      auto it = cache.find(c);
      if (it == cache.end())
        it = cache.emplace(c, static_cast<uint8_t>(NearestPaletteIndex(c))).first;
      line[x] = it->second;
    }
  }
  return out;
}

namespace {

// Bits per pixel from a BMP file's header, or 0 when the header cannot tell.
int BmpBitsPerPixel(const QByteArray& head) {
  if (head.size() < 30 || head[0] != 'B' || head[1] != 'M') return 0;
  auto u16 = [&](int at) {
    return static_cast<int>(static_cast<uchar>(head[at])) |
           (static_cast<int>(static_cast<uchar>(head[at + 1])) << 8);
  };
  const int headerSize = u16(14) | (u16(16) << 16);
  return headerSize == 12 ? u16(24) : u16(28);  // OS/2 core header or a Windows one
}

// The size a BMP header declares (height as a magnitude: negative means top-down), or
// nothing for data that is no BMP with a Windows header.
std::optional<std::pair<int64_t, int64_t>> BmpDeclaredSize(const QByteArray& bytes) {
  if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  auto i32 = [&](int at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uchar>(bytes[at + i]);
    return static_cast<int64_t>(static_cast<int32_t>(v));
  };
  if (i32(14) < 40) return std::nullopt;  // the old OS/2 header: 16-bit sizes only
  return std::make_pair(std::abs(i32(18)), std::abs(i32(22)));
}

// For an uncompressed BMP, whether the file holds all the rows its header promises.
// Qt's reader fills the missing rows of a file cut short with black; the program
// refuses such a file instead of taking the black for shape pixels.
bool BmpCutShort(const QByteArray& bytes) {
  if (bytes.size() < 34 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  auto u32 = [&](int at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uchar>(bytes[at + i]);
    return v;
  };
  const uint32_t headerSize = u32(14);
  if (headerSize < 40) return false;  // the old OS/2 header: left to the reader
  const int64_t width = static_cast<int32_t>(u32(18));
  const int64_t height = static_cast<int32_t>(u32(22));
  const int bits = static_cast<uchar>(bytes[28]) | (static_cast<uchar>(bytes[29]) << 8);
  const uint32_t compression = u32(30);
  if (compression != 0 && compression != 3) return false;  // run-length data: no fixed size
  // Sizes no reader would accept are left to it (and keep the products below in range).
  if (std::abs(width) > (1 << 24) || std::abs(height) > (1 << 24) || bits > 64) return false;
  const int64_t stride = (std::abs(width) * bits + 31) / 32 * 4;
  const int64_t needed = static_cast<int64_t>(u32(10)) + stride * std::abs(height);
  return bytes.size() < needed;
}

}  // namespace

TLoadedPicture LoadScenePicture(const QByteArray& bytes, bool bmpOnly, int maxSide) {
  TLoadedPicture result;
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, bmpOnly ? QByteArray("bmp") : QByteArray());
  if (bmpOnly) reader.setDecideFormatFromContent(false);
  // No more memory for the pixels than the largest scene takes (32 bits a pixel).
  const int64_t maxPixels = static_cast<int64_t>(maxSide) * maxSide;
  reader.setAllocationLimit(static_cast<int>((maxPixels * 4 >> 20) + 1));
  // The size the header declares, checked before a pixel is read: Qt's own answer for a
  // damaged BMP header may be no size at all.
  const QSize size = reader.size();
  int64_t width = size.isValid() ? size.width() : 0, height = size.isValid() ? size.height() : 0;
  if (const auto declared = BmpDeclaredSize(bytes)) {
    width = std::max(width, declared->first);
    height = std::max(height, declared->second);
  }
  if (width * height > maxPixels) {
    result.Error = QString("the picture is %1 x %2 pixels; the largest scene has %3 x %3 pixels")
                       .arg(width)
                       .arg(height)
                       .arg(maxSide);
    result.TooLarge = true;
    return result;
  }
  if (BmpCutShort(bytes)) {
    result.Error = "the file ends before the picture does";
    return result;
  }
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    result.Error = reader.errorString();
    return result;
  }
  if (static_cast<int64_t>(image.width()) * image.height() >
      static_cast<int64_t>(maxSide) * maxSide) {
    result.Error = QString("the picture is %1 x %2 pixels; the largest scene has %3 x %3 pixels")
                       .arg(image.width())
                       .arg(image.height())
                       .arg(maxSide);
    result.TooLarge = true;
    return result;
  }
  const bool eightBit =
      image.format() == QImage::Format_Indexed8 && (!bmpOnly || BmpBitsPerPixel(bytes) == 8);
  const QImage reduced = eightBit ? image : ReduceTo256Colours(image);
  result.Image = reduced.convertToFormat(QImage::Format_RGB32);
  return result;
}

TLoadedPicture LoadScenePicture(const QString& fileName, bool bmpOnly) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    TLoadedPicture result;
    result.Error = file.errorString();
    return result;
  }
  if (file.size() > MaxPictureFileSize) {
    TLoadedPicture result;
    result.Error = QString("the file is larger than %1 MiB").arg(MaxPictureFileSize >> 20);
    result.TooLarge = true;
    return result;
  }
  return LoadScenePicture(file.readAll(), bmpOnly);
}

std::unique_ptr<TPattern> ScenePattern(const QImage& picture) {
  QImage copy = picture;
  TQtCanvas canvas(copy);
  return std::make_unique<TPattern>(TPattern::CreateFromCanvas(canvas, clWhite));
}

void SavePicture(const QImage& image, const QString& fileName, const char* format) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    throw EFileError("Cannot create file " + fileName.toStdString());
  QImageWriter writer(&file, format);
  if (!writer.write(image)) {
    file.cancelWriting();
    throw EFileError("Stream write error");
  }
  if (!file.commit()) throw EFileError("Stream write error");
}

}  // namespace ormax
