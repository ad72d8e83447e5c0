// BandedBmp: the Recognition view written a band of rows at a time is, to the byte, the
// file of the whole picture written at once, whatever the bands' height and the rows'
// padding; a failure part way leaves an existing file as it was.
#include "qt/BandedBmp.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Views.h"
#include "codes/Errors.h"
#include "qt/QtBitmap.h"
#include "qt/QtCanvas.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::ReadBytes;
using testing::TempDir;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// A recognised scene of small blocks in three colours, touching and apart, against a
// base of some of its own regions' codes named as three shapes: labels everywhere,
// overlapping each other and the edges of any band.
struct TLabelledScene {
  TCodeBase Base;
  TAppState State;
};

std::unique_ptr<TLabelledScene> LabelledScene(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(Qt::white);
  uint32_t seed = 11;
  auto next = [&](uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  const QRgb colours[] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 0, 255)};
  for (int k = 0; k < 45; ++k) {
    const int x = static_cast<int>(next(static_cast<uint32_t>(width))),
              y = static_cast<int>(next(static_cast<uint32_t>(height)));
    const int w = 1 + static_cast<int>(next(9)), h = 1 + static_cast<int>(next(6));
    const QRgb c = colours[next(3)];
    for (int v = y; v < std::min(height, y + h); ++v)
      for (int u = x; u < std::min(width, x + w); ++u) picture.setPixel(u, v, c);
  }
  auto scene = std::make_unique<TLabelledScene>();
  TAppState& s = scene->State;
  s.SceneImage = ScenePattern(picture);
  s.MaxTreeLevel = 2;
  s.BuildSceneCodes();
  for (int32_t i = 0; i < std::min(6, s.SceneCodes.Count()); ++i)
    scene->Base.Add("s" + std::to_string(i % 3) + "@" + std::to_string(i),
                    std::make_unique<TCode>(s.SceneCodes.GetCode(i)));
  s.SharedBase = &scene->Base;
  s.BuildSceneNearestIndices();
  s.ShowSameness = true;
  return scene;
}

TEST(BandedBmp, BandsOfAnyHeightWriteTheBytesOfTheWholePicture) {
  TempDir dir;
  // Rows of 270 and 291 bytes: padded by 2 and by 1.
  for (const auto& [width, height] : {std::pair{90, 70}, std::pair{97, 61}}) {
    const std::unique_ptr<TLabelledScene> scene = LabelledScene(width, height);
    TAppState& s = scene->State;
    ASSERT_GT(s.Segments.Count(), 20);
    QImage whole(width, height, QImage::Format_RGB32);
    whole.fill(Qt::white);
    {
      TQtCanvas canvas(whole);
      DrawView(TView::Recognition, s, canvas);  // colours the regions too
    }
    SavePicture(whole, Q(dir.File("whole.bmp")));
    const TByteArray expected = ReadBytes(dir.File("whole.bmp"));
    ASSERT_EQ(expected.size(), 54u + (width * 3u + 3u) / 4u * 4u * height);
    for (const int32_t rows : {1, 2, 7, 16, height, 1000, 0}) {
      const std::string where = std::to_string(width) + " x " + std::to_string(height) +
                                ", bands of " + std::to_string(rows) + " rows";
      std::vector<TRect> bands;
      SaveBmpInBands(width, height, Q(dir.File("bands.bmp")), [&](ICanvas& band) {
        bands.push_back(band.ClipRect());
        DrawColouredRecognition(s, band);
      }, rows);
      EXPECT_EQ(ReadBytes(dir.File("bands.bmp")), expected) << where;
      // The bottom band first (what is left when the bands do not divide the picture),
      // the top one a whole band's height from row 0.
      const int32_t n = rows <= 0 || rows >= height ? 1 : (height + rows - 1) / rows;
      ASSERT_EQ(static_cast<int32_t>(bands.size()), n) << where;
      EXPECT_EQ(bands.front().Bottom, height) << where;
      EXPECT_EQ(bands.back(), (TRect{0, 0, width, n == 1 ? height : rows})) << where;
    }
  }
}

TEST(BandedBmp, AFailurePartWayLeavesTheOldFileAsItWas) {
  TempDir dir;
  const std::string file = dir.File("out.bmp");
  const TByteArray old = {'o', 'l', 'd'};
  testing::WriteBytes(file, old);
  int drawn = 0;
  EXPECT_THROW(SaveBmpInBands(40, 30, Q(file), [&](ICanvas&) {
    if (++drawn == 3) throw std::runtime_error("out of ink");
  }, 4), std::runtime_error);
  EXPECT_EQ(drawn, 3);
  EXPECT_EQ(ReadBytes(file), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left";

  // A folder that is not there, and a picture of no pixels: refused as SavePicture
  // refuses them, naming the file.
  try {
    SaveBmpInBands(4, 4, Q(dir.File("none/out.bmp")), [](ICanvas&) {});
    ADD_FAILURE() << "written into a missing folder";
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir.File("none/out.bmp"));
  }
  EXPECT_THROW(SaveBmpInBands(0, 4, Q(file), [](ICanvas&) {}), EFileError);
  EXPECT_EQ(ReadBytes(file), old);
}

}  // namespace
}  // namespace ormax
