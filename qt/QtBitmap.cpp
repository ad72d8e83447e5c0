// QtBitmap: the BMP header is read by the program before Qt's reader sees the file
// (declared size, rows cut short); the colours are reduced through a cache per colour.
//   FixedPalette, NearestPaletteIndex, ReduceTo256Colours, LoadScenePicture, InkOnWhite,
//   LoadSceneIndices, LoadScenePattern, ScenePattern, PatternPicture, PictureStem, SavePicture,
//   PictureOnHugePages
#include "qt/QtBitmap.h"


#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <utility>

#include "app/WorkerPool.h"
#include "codes/Files.h"
#include "model/LargeBlocks.h"
#include "qt/QtCanvas.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

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

namespace {

// The rows first .. last - 1 of a picture in FixedPalette's colours, each row
// bytesPerLine bytes from `bits`, the colour of pixel x of row y being colourAt(row, x)
// for row = rowAt(y) (alpha ignored).
template <class TRowAt, class TColourAt>
void ReduceRows(uchar* bits, qsizetype bytesPerLine, int width, int first, int last,
                TRowAt rowAt, TColourAt colourAt) {
  // Pictures repeat their colours: a small table of recent colours, indexed by a hash,
  // answers most pixels; the full map remembers every colour met. Every pixel asks the
  // table, runs of one colour too: a test for "same as the pixel before" would guess
  // wrong at nearly every pixel of a noisy picture.
  std::unordered_map<QRgb, uint8_t> cache;
  constexpr int RecentSize = 1024;
  std::vector<QRgb> recentColour(RecentSize, 0);  // 0 never is a colour: alpha is set
  std::vector<uint8_t> recentIndex(RecentSize, 0);
  for (int y = first; y < last; ++y) {
    const auto in = rowAt(y);
    uchar* line = bits + bytesPerLine * y;
    for (int x = 0; x < width; ++x) {
      const QRgb c = colourAt(in, x) | 0xFF000000u;
      const size_t slot = ((c * 0x9E3779B1u) >> 22) & (RecentSize - 1);
      if (recentColour[slot] != c) {
        auto it = cache.find(c);
        if (it == cache.end())
          it = cache.emplace(c, static_cast<uint8_t>(NearestPaletteIndex(c))).first;
        recentColour[slot] = c;
        recentIndex[slot] = it->second;
      }
      line[x] = recentIndex[slot];
    }
    // Lines are padded to 4 bytes, and a BMP file holds the padding as it is in memory:
    // zeros, or a picture written twice would not give the same file.
    std::fill(line + width, line + bytesPerLine, uchar{0});
  }
}

// The 8-bit picture of width x height pixels in FixedPalette's colours, as ReduceRows
// makes it; in bands of rows on the threads (each pixel's colour is its own, so the
// bands change nothing).
template <class TRowAt, class TColourAt>
QImage Reduced(int width, int height, TRowAt rowAt, TColourAt colourAt, int32_t threads = 1) {
  QImage out = PictureOnHugePages(width, height, QImage::Format_Indexed8);
  const auto& palette = FixedPalette();
  out.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
  uchar* const bits = out.bits();  // once: bits() may copy a shared picture
  const qsizetype bytesPerLine = out.bytesPerLine();
  const int32_t bands = std::max(1, std::min(WorkerCount(threads), height / 256));
  RunInParallel(bands, bands, [&](int32_t b) {
    ReduceRows(bits, bytesPerLine, width, static_cast<int>(int64_t{height} * b / bands),
               static_cast<int>(int64_t{height} * (b + 1) / bands), rowAt, colourAt);
  });
  return out;
}

}  // namespace

QImage PictureOnHugePages(int width, int height, QImage::Format format) {
  if (width <= 0 || height <= 0) return QImage();  // Qt would not take the block back
  const int bits = QImage::toPixelFormat(format).bitsPerPixel();
  const qsizetype bytesPerLine = (qsizetype{width} * bits + 31) / 32 * 4;
  auto* const block = static_cast<uchar*>(
      AllocateBlock(static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height)));
  return QImage(block, width, height, bytesPerLine, format, FreeBlock, block);
}

QImage ReduceTo256Colours(const QImage& image) {
  const QImage source = image.convertToFormat(QImage::Format_RGB32);
  return Reduced(
      source.width(), source.height(),
      [&](int y) { return reinterpret_cast<const QRgb*>(source.constScanLine(y)); },
      [](const QRgb* in, int x) { return in[x]; });
}

namespace {

// What the program reads from a BMP file's header before handing it to Qt's reader.
struct TBmpHeader {
  bool Windows = false;  // a Windows header (40 bytes or more), with 32-bit sizes
  uint32_t HeaderSize = 0;
  int Bits = 0;          // bits per pixel; 0 when the header cannot tell
  int64_t Width = 0;     // as declared; a negative height means rows top-down
  int64_t Height = 0;
  uint32_t PixelOffset = 0;
  uint32_t Compression = 0;
};

// The header of a BMP file, or nothing for data that is no BMP.
std::optional<TBmpHeader> ReadBmpHeader(const QByteArray& bytes) {
  if (bytes.size() < 30 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  auto u16 = [&](int at) {
    return static_cast<uint32_t>(static_cast<uchar>(bytes[at])) |
           (static_cast<uint32_t>(static_cast<uchar>(bytes[at + 1])) << 8);
  };
  auto u32 = [&](int at) { return u16(at) | (u16(at + 2) << 16); };
  TBmpHeader h;
  const uint32_t headerSize = u32(14);
  h.HeaderSize = headerSize;
  h.PixelOffset = u32(10);
  if (headerSize == 12) {  // the old OS/2 core header: 16-bit sizes, left to the reader
    h.Bits = static_cast<int>(u16(24));
    return h;
  }
  h.Bits = static_cast<int>(u16(28));
  h.Windows = headerSize >= 40;
  h.Width = static_cast<int32_t>(u32(18));
  h.Height = static_cast<int32_t>(u32(22));
  if (bytes.size() >= 34) h.Compression = u32(30);
  return h;
}

// For an uncompressed BMP, whether the file holds fewer bytes than its rows need.
// Qt's reader fills the missing rows of a file cut short with black; the program
// refuses such a file instead of taking the black for shape pixels.
bool CutShort(const TBmpHeader& h, int64_t fileSize) {
  if (!h.Windows || fileSize < 34) return false;
  if (h.Compression != 0 && h.Compression != 3) return false;  // run-length data: no fixed size
  // Sizes no reader would accept are left to it (and keep the products below in range).
  if (std::abs(h.Width) > (1 << 24) || std::abs(h.Height) > (1 << 24) || h.Bits > 64) return false;
  const int64_t stride = (std::abs(h.Width) * h.Bits + 31) / 32 * 4;
  return fileSize < static_cast<int64_t>(h.PixelOffset) + stride * std::abs(h.Height);
}

// An uncompressed 24-bit BMP of one of Windows' headers, every row in the file: the
// commonest scene, which the program reads itself.
bool PlainTrueColour(const TBmpHeader& h, int64_t fileSize) {
  const bool knownHeader = h.HeaderSize == 40 || h.HeaderSize == 108 || h.HeaderSize == 124;
  return h.Windows && knownHeader && h.Bits == 24 && h.Compression == 0 && h.Width > 0 &&
         h.Height != 0 && h.Width <= (1 << 24) && std::abs(h.Height) <= (1 << 24) &&
         h.PixelOffset >= 14 + h.HeaderSize && !CutShort(h, fileSize);
}

// The 8-bit picture of such a file, straight from its rows (bottom-up unless the height
// is negative; blue, green, red a pixel): the colours Qt's reader gives, without its
// 32-bit copy of the whole picture.
QImage ReducedTrueColour(const QByteArray& bytes, const TBmpHeader& h, int32_t threads) {
  const int width = static_cast<int>(h.Width), height = static_cast<int>(std::abs(h.Height));
  const int64_t stride = (static_cast<int64_t>(width) * 24 + 31) / 32 * 4;
  const auto* pixels = reinterpret_cast<const uchar*>(bytes.constData()) + h.PixelOffset;
  const bool bottomUp = h.Height > 0;
  return Reduced(
      width, height,
      [&](int y) { return pixels + stride * (bottomUp ? height - 1 - y : y); },
      [](const uchar* row, int x) {
        const uchar* p = row + 3 * static_cast<ptrdiff_t>(x);
        return qRgb(p[2], p[1], p[0]);
      },
      threads);
}

[[noreturn]] void Refuse(const QString& source, const QString& reason, bool tooLarge = false) {
  const std::string file = source.toStdString(), why = reason.toStdString();
  const std::string message = file + ": cannot read the picture (" + why + ")";
  if (tooLarge) throw EPictureTooLarge(message, file, why);
  throw EReadError(message, file, why);
}

[[noreturn]] void RefuseSize(const QString& source, int64_t width, int64_t height, int maxSide) {
  Refuse(source,
         QString("the picture is %1 x %2 pixels; the largest scene has %3 x %3 pixels")
             .arg(width)
             .arg(height)
             .arg(maxSide),
         true);
}

}  // namespace

namespace {

// The reader's work; bytes is taken by value so that the file's bytes go as soon as
// the picture is decoded when the caller hands over the only copy (with the block that
// holds them, when bytes only refers to it).
QImage DecodeScenePicture(QByteArray bytes, TBlock owner, bool bmpOnly, int maxSide,
                          const QString& source, TBackground background, int32_t threads = 1) {
  const int64_t maxPixels = static_cast<int64_t>(maxSide) * maxSide;
  const std::optional<TBmpHeader> header = ReadBmpHeader(bytes);
  // The commonest scene is read without Qt's reader, which would first load its format
  // plugins to tell what the file is.
  if (background != TBackground::Auto && header && PlainTrueColour(*header, bytes.size())) {
    if (header->Width * std::abs(header->Height) > maxPixels)
      RefuseSize(source, header->Width, std::abs(header->Height), maxSide);
    return ReducedTrueColour(bytes, *header, threads);
  }
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, bmpOnly ? QByteArray("bmp") : QByteArray());
  if (bmpOnly) reader.setDecideFormatFromContent(false);
  // No more memory for the pixels than the largest scene takes (32 bits a pixel).
  reader.setAllocationLimit(static_cast<int>((maxPixels * 4 >> 20) + 1));
  // The size the header declares, checked before a pixel is read: Qt's own answer for a
  // damaged BMP header may be no size at all.
  const QSize size = reader.size();
  int64_t width = size.isValid() ? size.width() : 0, height = size.isValid() ? size.height() : 0;
  if (header && header->Windows) {
    width = std::max(width, std::abs(header->Width));
    height = std::max(height, std::abs(header->Height));
  }
  if (width * height > maxPixels) RefuseSize(source, width, height, maxSide);
  if (header && CutShort(*header, bytes.size()))
    Refuse(source, "the file ends before the picture does");
  QImage image;
  if (!reader.read(&image) || image.isNull()) Refuse(source, reader.errorString());
  buffer.close();
  buffer.setData(QByteArray());
  bytes = QByteArray();
  owner.reset();
  if (static_cast<int64_t>(image.width()) * image.height() > maxPixels)
    RefuseSize(source, image.width(), image.height(), maxSide);
  if (background == TBackground::Auto) return InkOnWhite(image, threads);
  const bool eightBit =
      image.format() == QImage::Format_Indexed8 && (!bmpOnly || (header && header->Bits == 8));
  if (!eightBit) image = ReduceTo256Colours(image);  // the decoded picture goes at once
  return image;
}

// The RGB value of every index of an 8-bit picture, as Qt's own conversion gives it
// (also for indices beyond a short colour table).
std::array<QRgb, 256> IndexColours(const QImage& eightBit) {
  QImage indices(256, 1, QImage::Format_Indexed8);
  indices.setColorTable(eightBit.colorTable());
  for (int i = 0; i < 256; ++i) indices.scanLine(0)[i] = static_cast<uchar>(i);
  const QImage rgb = indices.convertToFormat(QImage::Format_RGB32);
  std::array<QRgb, 256> colours{};
  for (int i = 0; i < 256; ++i) colours[static_cast<size_t>(i)] = rgb.pixel(i, 0);
  return colours;
}

// Reads size bytes from the start of file into into, and returns how many were read
// (fewer at the end of a file cut short, none on an error); file is left after them.
// A large file is read in parts at once, each by its own thread: the memory its bytes
// go into is cleared by the system on first write, and that clearing is shared too.
qint64 ReadWhole(QFile& file, char* into, qint64 size, int32_t threads) {
#if defined(__unix__) || defined(__APPLE__)
  constexpr qint64 kPart = qint64{8} << 20;
  const auto parts = static_cast<int32_t>(std::min<qint64>(WorkerCount(threads), size / kPart));
  if (parts > 1) {
    std::vector<qint64> got(static_cast<size_t>(parts), 0);
    const int fd = file.handle();
    RunInParallel(parts, threads, [&](int32_t i) {
      const qint64 first = size * i / parts, last = size * (i + 1) / parts;
      qint64& n = got[static_cast<size_t>(i)];
      while (first + n < last) {
        const ssize_t r = ::pread(fd, into + first + n, static_cast<size_t>(last - first - n),
                                  static_cast<off_t>(first + n));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        n += r;
      }
    });
    qint64 whole = 0;  // the bytes read without a gap from the start
    for (int32_t i = 0; i < parts && whole == size * i / parts; ++i) whole += got[static_cast<size_t>(i)];
    if (!file.seek(whole)) return 0;
    return whole;
  }
#endif
  return std::max<qint64>(0, file.read(into, size));
}

QImage ReadFile(const QString& fileName, bool bmpOnly, TBackground background, int32_t threads) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    const std::string name = fileName.toStdString(), why = file.errorString().toStdString();
    throw EFileError(name + ": cannot read the picture (" + why + ")", name, why);
  }
  if (file.size() > MaxPictureFileSize)
    Refuse(fileName, QString("the file is larger than %1 MiB").arg(MaxPictureFileSize >> 20), true);
  // Read into a block of huge pages: a 4096 x 4096 scene is 48 MiB of file.
  TBlock block;
  QByteArray bytes;
  if (const qint64 size = file.size(); size > 0) {
    block.reset(AllocateBlock(static_cast<size_t>(size)));
    auto* const into = static_cast<char*>(block.get());
    bytes = QByteArray::fromRawData(into, ReadWhole(file, into, size, threads));
  }
  // All of a file that has no size, or has grown (the bytes are then copied once).
  if (const QByteArray rest = file.readAll(); !rest.isEmpty()) bytes += rest;
  file.close();
  return DecodeScenePicture(std::move(bytes), std::move(block), bmpOnly, MaxSceneSide, fileName,
                            background, threads);
}

}  // namespace

QImage LoadScenePicture(const QByteArray& bytes, bool bmpOnly, int maxSide, const QString& source,
                        TBackground background) {
  return DecodeScenePicture(bytes, TBlock(), bmpOnly, maxSide, source, background)
      .convertToFormat(QImage::Format_RGB32);
}

QImage LoadScenePicture(const QString& fileName, bool bmpOnly, TBackground background,
                        int32_t threads) {
  return ReadFile(fileName, bmpOnly, background, threads).convertToFormat(QImage::Format_RGB32);
}

QImage InkOnWhite(const QImage& picture, int32_t threads) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  const int w = rgb.width(), h = rgb.height();
  const TRunParts parts = [&](int32_t n, const std::function<void(int32_t)>& part) {
    RunInParallel(n, threads, part);
  };
  const std::vector<uint8_t> ink =
      FindInk(reinterpret_cast<const uint32_t*>(rgb.constBits()), w, h, rgb.bytesPerLine() / 4,
              nullptr, WorkerCount(threads) > 1 ? parts : TRunParts());
  QImage out = ReduceTo256Colours(rgb);
  // Ink as light as the ground would vanish as white: it takes the lightest grey.
  static const uchar white = static_cast<uchar>(NearestPaletteIndex(qRgb(255, 255, 255)));
  static const uchar lightest = [] {
    const auto& palette = FixedPalette();
    int best = -1;
    for (int i = 0; i < 256; ++i)
      if (i != white && (best < 0 || qGray(palette[static_cast<size_t>(i)]) >
                                         qGray(palette[static_cast<size_t>(best)])))
        best = i;
    return static_cast<uchar>(best);
  }();
  for (int y = 0; y < h; ++y) {
    uchar* line = out.scanLine(y);
    const uint8_t* mask = ink.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int x = 0; x < w; ++x)
      line[x] = !mask[x] ? white : line[x] == white ? lightest : line[x];
  }
  return out;
}

TIndexedScene LoadSceneIndices(const QString& fileName, bool bmpOnly, TBackground background,
                               int32_t threads) {
  auto eightBit = std::make_shared<const QImage>(ReadFile(fileName, bmpOnly, background, threads));
  TIndexedScene scene;
  const std::array<QRgb, 256> colours = IndexColours(*eightBit);
  for (size_t i = 0; i < 256; ++i) scene.Colours[i] = FromQRgb(colours[i]);
  scene.Width = eightBit->width();
  scene.Height = eightBit->height();
  scene.Stride = eightBit->bytesPerLine();
  // The indices' pointer owns the picture: they go when the last copy of it does.
  scene.Bits = std::shared_ptr<const uint8_t>(eightBit, eightBit->constBits());
  return scene;
}

std::unique_ptr<TPattern> LoadScenePattern(const QString& fileName, bool bmpOnly,
                                           TBackground background, int32_t threads) {
  const TIndexedScene scene = LoadSceneIndices(fileName, bmpOnly, background, threads);
  const int32_t w = scene.Width, h = scene.Height;
  // Every pixel is written below, each band of rows by its own thread.
  auto pattern = TPattern::CreateUnfilled(TRect{0, 0, w - 1, h - 1}, clWhite);
  const int32_t bands = std::max(1, std::min(WorkerCount(threads), h / 256));
  RunInParallel(bands, bands, [&](int32_t b) {
    for (int32_t y = static_cast<int32_t>(int64_t{h} * b / bands);
         y < static_cast<int32_t>(int64_t{h} * (b + 1) / bands); ++y) {
      const uint8_t* line = scene.Row(y);
      TColor* row = pattern->Pixels[y];
      for (int32_t x = 0; x < w; ++x) row[x] = scene.Colours[line[x]];
    }
  });
  return pattern;
}

std::unique_ptr<TPattern> ScenePattern(const QImage& picture) {
  // Straight from the scan lines: the values a canvas on the picture would give.
  const QImage rgb = picture.format() == QImage::Format_RGB32
                         ? picture
                         : picture.convertToFormat(QImage::Format_RGB32);
  const int32_t w = rgb.isNull() ? 0 : rgb.width(), h = rgb.isNull() ? 0 : rgb.height();
  auto pattern = std::make_unique<TPattern>(TRect{0, 0, w - 1, h - 1}, clWhite);
  for (int32_t y = 0; y < h; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    TColor* row = pattern->Pixels[y];
    for (int32_t x = 0; x < w; ++x) row[x] = FromQRgb(line[x]);
  }
  return pattern;
}

QImage PatternPicture(const TImg& pattern) {
  QImage picture(pattern.Width(), pattern.Height(), QImage::Format_RGB32);
  for (int32_t y = 0; y < pattern.Height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int32_t x = 0; x < pattern.Width(); ++x)
      line[x] = ToQRgb(pattern.GetPixel(pattern.Left + x, pattern.Top + y));
  }
  return picture;
}

std::string PictureStem(const QString& file) {
  return QFileInfo(file).completeBaseName().toStdString();
}

void SavePicture(const QImage& image, const QString& fileName, const char* format) {
  const std::string name = fileName.toStdString();
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly))
    throw EFileError("Cannot create file " + name, name, file.errorString().toStdString());
  QImageWriter writer(&file, format);
  if (!writer.write(image)) {
    file.cancelWriting();
    throw EFileError("Stream write error", name, writer.errorString().toStdString());
  }
  if (!file.commit())
    throw EFileError("Stream write error", name, file.errorString().toStdString());
}

}  // namespace ormax
