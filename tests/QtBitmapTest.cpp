// The scene reader: every kind of BMP the program reads comes out of the scan lines with
// the values a canvas on the picture gives, and the colour reduction's table of recent
// colours gives every pixel its nearest palette colour.
#include "qt/QtBitmap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "qt/QtCanvas.h"

namespace ormax {
namespace {

void Put16(QByteArray& b, uint32_t v) {
  b.append(static_cast<char>(v & 0xFF));
  b.append(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(QByteArray& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// An uncompressed BMP of bits 1, 4, 8 (with a palette), 16 (5-5-5), 24 or 32 per pixel;
// pixel(x, y) gives a palette index or the colour. topDown stores the rows top first.
template <typename TPixel>
QByteArray Bmp(int w, int h, int bits, const std::vector<QRgb>& palette, TPixel pixel,
               bool topDown = false) {
  const int stride = (w * bits + 31) / 32 * 4;
  QByteArray rows;
  for (int r = 0; r < h; ++r) {
    const int y = topDown ? r : h - 1 - r;
    QByteArray line(stride, '\0');
    for (int x = 0; x < w; ++x) {
      const uint32_t v = pixel(x, y);
      if (bits < 8) {
        const int per = 8 / bits, shift = 8 - bits * (x % per + 1);
        line[x / per] = static_cast<char>(static_cast<uchar>(line[x / per]) | (v << shift));
      } else {
        for (int k = 0; k < bits / 8; ++k) line[x * bits / 8 + k] = static_cast<char>(v >> (8 * k));
      }
    }
    rows += line;
  }
  QByteArray b("BM");
  const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  Put32(b, offset + static_cast<uint32_t>(rows.size()));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(topDown ? -h : h));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(bits));
  Put32(b, 0);  // no compression
  Put32(b, static_cast<uint32_t>(rows.size()));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, static_cast<uint32_t>(palette.size()));
  Put32(b, 0);
  for (QRgb c : palette) {
    b.append(static_cast<char>(qBlue(c)));
    b.append(static_cast<char>(qGreen(c)));
    b.append(static_cast<char>(qRed(c)));
    b.append('\0');
  }
  return b + rows;
}

void ExpectSameAsTheCanvas(const QByteArray& bmp, const char* kind) {
  const QImage picture = LoadScenePicture(bmp, true, MaxSceneSide, kind);
  const std::unique_ptr<TPattern> fast = ScenePattern(picture);
  QImage copy = picture;
  TQtCanvas canvas(copy);
  const TPattern slow = TPattern::CreateFromCanvas(canvas, clWhite);
  ASSERT_EQ(fast->GetBounds(), slow.GetBounds()) << kind;
  EXPECT_EQ(fast->Pixels, slow.Pixels) << kind;
  EXPECT_EQ(fast->Background(), clWhite);
  // Straight from the file's 8-bit reduction, without the 32-bit picture: the same.
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  file.write(bmp);
  file.close();
  const std::unique_ptr<TPattern> direct = LoadScenePattern(file.fileName(), true);
  ASSERT_EQ(direct->GetBounds(), slow.GetBounds()) << kind;
  EXPECT_EQ(direct->Pixels, slow.Pixels) << kind;
  // And its indices, each standing for the pixel's colour.
  const TIndexedScene indices = LoadSceneIndices(file.fileName(), true);
  ASSERT_EQ(indices.GetBounds(), slow.GetBounds()) << kind;
  // Rows of a width not a multiple of four are padded: the indices' rows are longer.
  EXPECT_EQ(indices.Stride > indices.Width, indices.Width % 4 != 0) << kind;
  for (int32_t y = 0; y < slow.Height(); ++y)
    for (int32_t x = 0; x < slow.Width(); ++x)
      ASSERT_EQ(indices.Pixel(x, y), slow.GetPixel(x, y)) << kind << " at " << x << ", " << y;
  // Pictures of more than 256 colours take the fixed palette's: the colours Qt's own
  // reader gives, reduced (the program reads plain 24-bit files itself).
  if (static_cast<uchar>(bmp[28]) > 8) {
    QImage byQt;
    ASSERT_TRUE(byQt.loadFromData(bmp, "BMP")) << kind;
    EXPECT_EQ(ReduceTo256Colours(byQt).convertToFormat(QImage::Format_RGB32), picture) << kind;
  }
}

TEST(QtBitmap, EveryKindOfBmpReadsAsTheCanvasReadsIt) {
  const int w = 13, h = 7;  // odd sizes: every row has padding
  std::vector<QRgb> sixteen;
  for (int i = 0; i < 16; ++i) sixteen.push_back(qRgb(i * 17, 255 - i * 13, (i * 71) % 256));
  std::vector<QRgb> many;
  for (int i = 0; i < 256; ++i) many.push_back(qRgb(i, (i * 7) % 256, 255 - i));
  const auto index = [&](int n) { return [n](int x, int y) { return static_cast<uint32_t>((x * 3 + y * 5) % n); }; };
  const auto colour = [](int x, int y) {
    return static_cast<uint32_t>(((x * 37 + y * 11) % 256) | (((x * 5) % 256) << 8) |
                                 (((y * 29) % 256) << 16));
  };
  ExpectSameAsTheCanvas(Bmp(w, h, 1, {qRgb(255, 255, 255), qRgb(10, 20, 30)}, index(2)), "1-bit");
  ExpectSameAsTheCanvas(Bmp(w, h, 4, sixteen, index(16)), "4-bit");
  ExpectSameAsTheCanvas(Bmp(w, h, 8, many, index(256)), "8-bit");
  ExpectSameAsTheCanvas(Bmp(w, h, 8, many, index(256), true), "8-bit top-down");
  ExpectSameAsTheCanvas(Bmp(w, h, 16, {}, [](int x, int y) { return static_cast<uint32_t>((x * 1000 + y * 77) & 0x7FFF); }), "16-bit");
  ExpectSameAsTheCanvas(Bmp(w, h, 24, {}, colour), "24-bit");
  ExpectSameAsTheCanvas(Bmp(w, h, 24, {}, colour, true), "24-bit top-down");
  for (int width : {1, 2, 3, 4, 5})  // every padding of a 24-bit row
    ExpectSameAsTheCanvas(Bmp(width, 3, 24, {}, colour, width % 2 == 0), "24-bit narrow");
  ExpectSameAsTheCanvas(Bmp(w, h, 32, {}, colour), "32-bit");
  // An 8-bit picture keeps its own palette; the others take the fixed palette's colours.
  const QImage eight = LoadScenePicture(Bmp(w, h, 8, many, index(256)), true);
  EXPECT_EQ(eight.pixel(1, 0), many[3] | 0xFF000000u);
}

// A tall picture is read in bands of rows, one a thread: the scene of one thread, and
// the colours of Qt's reader.
TEST(QtBitmap, BandsOfRowsReadAsOneThreadReads) {
  const auto colour = [](int x, int y) {
    return static_cast<uint32_t>(((x * 37 + y * 11) % 256) | (((x * y) % 256) << 8) |
                                 (((y * 29) % 256) << 16));
  };
  for (const bool topDown : {false, true}) {
    const QByteArray bmp = Bmp(37, 700, 24, {}, colour, topDown);
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(bmp);
    file.close();
    const std::unique_ptr<TPattern> one = LoadScenePattern(file.fileName(), true, TBackground::White, 1);
    QImage byQt;
    ASSERT_TRUE(byQt.loadFromData(bmp, "BMP"));
    const std::unique_ptr<TPattern> qt = ScenePattern(ReduceTo256Colours(byQt));
    EXPECT_EQ(one->Pixels, qt->Pixels) << topDown;
    for (int32_t threads : {2, 3}) {
      const std::unique_ptr<TPattern> banded =
          LoadScenePattern(file.fileName(), true, TBackground::White, threads);
      EXPECT_EQ(banded->Pixels, one->Pixels) << threads << " threads, top-down " << topDown;
    }
  }
}

// A file of over 16 MiB is read in parts, one a thread: every byte lands where one
// thread reading it whole puts it (the parts meet in the middle of a row).
TEST(QtBitmap, ALargeFileReadInPartsIsTheFileReadWhole) {
  const int w = 2401, h = 2400;  // 3 x 2401 bytes and a byte of padding a row: 17.3 MB
  const QByteArray bmp = Bmp(w, h, 24, {}, [](int x, int y) {
    return static_cast<uint32_t>((x * 7 + y * 13) % 256 | ((x ^ y) % 256) << 8 | (y % 256) << 16);
  });
  ASSERT_GT(bmp.size(), qint64{16} << 20);
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  file.write(bmp);
  file.close();
  const std::unique_ptr<TPattern> one = LoadScenePattern(file.fileName(), true, TBackground::White, 1);
  ASSERT_EQ(one->Width(), w);
  EXPECT_EQ(one->GetPixel(w - 1, h - 1), one->GetPixel(w - 1, h - 1 - 256));  // read to the end
  for (int32_t threads : {2, 4}) {
    const std::unique_ptr<TPattern> parts =
        LoadScenePattern(file.fileName(), true, TBackground::White, threads);
    EXPECT_TRUE(parts->Pixels == one->Pixels) << threads << " threads";
  }
}

// A scene reads alike from memory, from a file and from a pipe, which has no size and is
// read to its end in one go; through the program's own reader (24 bits) and through Qt's
// (32 bits, a file of over 1 MiB) alike.
TEST(QtBitmap, MemoryAFileAndAPipeGiveOneScene) {
  const auto colour = [](int x, int y) {
    return static_cast<uint32_t>((x * 5 + y) % 256 | ((x * y) % 256) << 8 | (y * 3 % 256) << 16);
  };
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const int bits : {24, 32}) {
    const QByteArray bmp = Bmp(701, 400, bits, {}, colour);
    const QImage fromMemory = LoadScenePicture(bmp, true);
    ASSERT_EQ(fromMemory.width(), 701);
    const QString file = dir.filePath(QString("scene%1.bmp").arg(bits));
    {
      QFile out(file);
      ASSERT_TRUE(out.open(QIODevice::WriteOnly));
      ASSERT_EQ(out.write(bmp), bmp.size());
    }
    for (int32_t threads : {1, 2})
      EXPECT_TRUE(LoadScenePicture(file, true, TBackground::White, threads) == fromMemory)
          << bits << " bits, " << threads << " threads";
    const QString pipe = dir.filePath(QString("pipe%1").arg(bits));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    std::thread writer([&] {
      QFile out(pipe);
      if (out.open(QIODevice::WriteOnly)) out.write(bmp);
    });
    QImage fromPipe;
    std::string error;
    try {
      fromPipe = LoadScenePicture(pipe, true);
    } catch (const std::exception& e) {
      error = e.what();
    }
    writer.join();
    EXPECT_EQ(error, "");
    EXPECT_TRUE(fromPipe == fromMemory) << bits << " bits";
  }
}

// A picture on huge pages is laid out as Qt lays out its own, and its pixels outlive the
// picture they were made in as long as a copy holds them.
TEST(QtBitmap, APictureOnHugePagesIsLaidOutAsQtsOwn) {
  for (const QImage::Format format : {QImage::Format_Indexed8, QImage::Format_RGB32})
    for (const int width : {1, 3, 4, 5, 701, 1100}) {
      QImage copy;
      {
        QImage picture = PictureOnHugePages(width, 1000, format);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.bytesPerLine(), QImage(width, 1000, format).bytesPerLine()) << width;
        picture.fill(0);
        picture.scanLine(999)[0] = 7;
        copy = picture;
      }
      EXPECT_EQ(copy.constScanLine(999)[0], 7);
    }
  EXPECT_TRUE(PictureOnHugePages(0, 5, QImage::Format_RGB32).isNull());
}

TEST(QtBitmap, TheReductionGivesEveryPixelItsNearestPaletteColour) {
  // Many colours, repeated in runs and scattered, so that the table of recent colours
  // both hits and misses (and two colours may share a slot).
  QImage picture(300, 200, QImage::Format_RGB32);
  uint32_t state = 12345;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      if (x % 7 == 0) state = state * 1664525u + 1013904223u;
      picture.setPixel(x, y, 0xFF000000u | ((state >> 8) & (y % 3 ? 0xFFFFFFu : 0x0F0F0Fu)));
    }
  const QImage reduced = ReduceTo256Colours(picture);
  ASSERT_EQ(reduced.format(), QImage::Format_Indexed8);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      ASSERT_EQ(reduced.pixelIndex(x, y), NearestPaletteIndex(picture.pixel(x, y))) << x << ", " << y;
}

TEST(QtBitmap, AReducedPictureIsWrittenToTheSameBytesEveryTime) {
  // A width of 5 leaves 3 bytes of padding a line; memory just freed by pictures full
  // of ones is likely to be handed out again for it.
  QImage picture(5, 40, QImage::Format_RGB32);
  picture.fill(qRgb(200, 10, 10));
  QByteArray first;
  for (int round = 0; round < 3; ++round) {
    for (int k = 0; k < 8; ++k) {
      QImage dirt(8, 40, QImage::Format_Indexed8);
      dirt.fill(0xFF);
    }
    const QImage reduced = ReduceTo256Colours(picture);
    for (int y = 0; y < reduced.height(); ++y)
      for (int x = reduced.width(); x < reduced.bytesPerLine(); ++x)
        ASSERT_EQ(reduced.constScanLine(y)[x], 0) << "padding of line " << y;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(reduced.save(&buffer, "BMP"));
    if (round == 0) first = bytes;
    EXPECT_EQ(bytes, first);
  }
}

}  // namespace
}  // namespace ormax
