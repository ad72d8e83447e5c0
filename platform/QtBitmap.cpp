#include "platform/QtBitmap.h"

#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
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
    const QRgb classic[] = {qRgb(128, 0, 0),   qRgb(0, 128, 0),     qRgb(128, 128, 0),
                            qRgb(0, 0, 128),   qRgb(128, 0, 128),   qRgb(0, 128, 128),
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
int BmpBitsPerPixel(const QString& fileName) {
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray head = f.read(30);
  if (head.size() < 30 || head[0] != 'B' || head[1] != 'M') return 0;
  auto u16 = [&](int at) {
    return static_cast<int>(static_cast<uchar>(head[at])) |
           (static_cast<int>(static_cast<uchar>(head[at + 1])) << 8);
  };
  const int headerSize = u16(14) | (u16(16) << 16);
  return headerSize == 12 ? u16(24) : u16(28);  // OS/2 core header or a Windows one
}

}  // namespace

TLoadedPicture LoadScenePicture(const QString& fileName, bool bmpOnly) {
  TLoadedPicture result;
  QImageReader reader(fileName);
  if (bmpOnly) {
    reader.setFormat("bmp");
    reader.setDecideFormatFromContent(false);
  }
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    result.Error = reader.errorString();
    return result;
  }
  const bool eightBit = image.format() == QImage::Format_Indexed8 &&
                        (!bmpOnly || BmpBitsPerPixel(fileName) == 8);
  const QImage reduced = eightBit ? image : ReduceTo256Colours(image);
  result.Image = reduced.convertToFormat(QImage::Format_RGB32);
  return result;
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
