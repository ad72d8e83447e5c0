// The background found in the picture: a crisp raster drawn here is "photographed" on
// grounds as people have them (a gradient, a dark ground, compression-like ringing,
// specks) and must give the regions of its crisp twin; and specks, the white-background
// warning and the setting's words.
#include "analysis/Background.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "app/AppState.h"
#include "app/WorkerPool.h"
#include "app/SceneReading.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

// '#' ink, '.' ground: a ring with its hole, a bar, and a dot-free margin.
const std::vector<std::string> kCrisp = {
    "................................",
    "................................",
    "...######.......................",
    "..########......................",
    ".###....###.....................",
    ".##......##.....................",
    ".##......##..........#######....",
    ".##......##..........#######....",
    ".###....###..........#######....",
    "..########...........#######....",
    "...######............#######....",
    ".....................#######....",
    "........................##......",
    "........................##......",
    "................................",
    "................................",
    "................................",
    "..........###############.......",
    "..........###############.......",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};

constexpr uint32_t Rgb(int r, int g, int b) {
  return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

// A deterministic noise in -amplitude .. amplitude, each value apart from the last
// (splitmix64).
struct TNoise {
  uint64_t State = 12345;
  int Next(int amplitude) {
    uint64_t z = (State += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<int>(z % static_cast<uint64_t>(2 * amplitude + 1)) - amplitude;
  }
};

int Clamp(int v) { return std::clamp(v, 0, 255); }

// The raster as a picture: ground(x, y) and ink(x, y) give each pixel's colour.
std::vector<uint32_t> Photograph(const std::function<uint32_t(int, int)>& ground,
                                 const std::function<uint32_t(int, int)>& ink) {
  std::vector<uint32_t> pixels;
  for (size_t y = 0; y < kCrisp.size(); ++y)
    for (size_t x = 0; x < kCrisp[y].size(); ++x)
      pixels.push_back(kCrisp[y][x] == '#' ? ink(static_cast<int>(x), static_cast<int>(y))
                                           : ground(static_cast<int>(x), static_cast<int>(y)));
  return pixels;
}

const int kWidth = static_cast<int>(kCrisp[0].size()), kHeight = static_cast<int>(kCrisp.size());

// The scene a picture read with its background found gives: ground white, ink black.
std::unique_ptr<TPattern> SceneOf(const std::vector<uint32_t>& picture) {
  const std::vector<uint8_t> ink = FindInk(picture.data(), kWidth, kHeight, kWidth);
  auto scene = std::make_unique<TPattern>(TRect{0, 0, kWidth - 1, kHeight - 1}, clWhite);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      scene->SetPixel(x, y, ink[static_cast<size_t>(y * kWidth + x)] ? 0u : clWhite);
  return scene;
}

// Each region's bounds and pixels, in region order.
std::vector<std::pair<TRect, int64_t>> Regions(std::unique_ptr<TPattern> scene, int32_t minPixels) {
  TAppState s;
  s.Threads = 1;
  s.Reading = TSceneReading{TBackground::Auto, minPixels};
  s.SceneImage = std::move(scene);
  s.SegmentScene();
  std::vector<std::pair<TRect, int64_t>> regions;
  for (const auto& r : s.Segments) regions.emplace_back(r->GetBounds(), r->InsideCount());
  return regions;
}

void ExpectCrispTwin(const std::vector<uint32_t>& picture, int32_t minPixels = 0) {
  const auto crisp = Regions(SceneOf(Photograph([](int, int) { return Rgb(255, 255, 255); },
                                                [](int, int) { return Rgb(0, 0, 0); })),
                             0);
  ASSERT_EQ(crisp.size(), 3u);  // the ring, the block with its foot, the bar
  const auto found = Regions(SceneOf(picture), minPixels);
  ASSERT_EQ(found.size(), crisp.size());
  for (size_t i = 0; i < crisp.size(); ++i) {
    const TRect a = crisp[i].first, b = found[i].first;
    EXPECT_EQ(std::tie(a.Left, a.Top, a.Right, a.Bottom), std::tie(b.Left, b.Top, b.Right, b.Bottom))
        << "region " << i;
    EXPECT_EQ(crisp[i].second, found[i].second) << "region " << i;
  }
}

TEST(Background, ShapesOnGroundsAsPeopleHaveThemGiveTheRegionsOfTheirCrispTwin) {
  // Tinted paper lit unevenly: 250 on the left falling to 188 on the right, 219 at the foot.
  ExpectCrispTwin(Photograph([](int x, int y) { return Rgb(250 - x - y, 245 - x - y, 225 - x - y); },
                             [](int, int) { return Rgb(30, 30, 60); }));
  // A light shape on a dark ground.
  ExpectCrispTwin(Photograph([](int, int) { return Rgb(25, 30, 35); },
                             [](int, int) { return Rgb(230, 220, 200); }));
  // Coloured ink on coloured card.
  ExpectCrispTwin(Photograph([](int, int) { return Rgb(240, 210, 90); },
                             [](int, int) { return Rgb(180, 20, 30); }));
  // Sensor noise on both, strong enough that lone ground pixels stray as far from the
  // ground as the noise threshold: only over 3 x 3 pixels are they told from ink.
  for (const int amplitude : {6, 24}) {
    TNoise noise;
    ExpectCrispTwin(Photograph(
        [&](int, int) { const int n = noise.Next(amplitude); return Rgb(Clamp(215 + n), Clamp(215 + n), Clamp(210 + n)); },
        [&](int, int) { const int n = noise.Next(amplitude); return Rgb(Clamp(40 + n), Clamp(40 + n), Clamp(40 + n)); }));
  }
}

TEST(Background, RingingBesideEdgesAndSpecksStayOutOfTheRegions) {
  // Compression-like ringing: ground pixels next to ink lightly darkened, ink pixels
  // next to ground lightened, the rest exact.
  auto nextToOther = [](int x, int y) {
    const char self = kCrisp[static_cast<size_t>(y)][static_cast<size_t>(x)];
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int nx = x + dx, ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight &&
            kCrisp[static_cast<size_t>(ny)][static_cast<size_t>(nx)] != self)
          return true;
      }
    return false;
  };
  TNoise noise;
  ExpectCrispTwin(Photograph(
      [&](int x, int y) { const int v = nextToOther(x, y) ? 255 - 30 - noise.Next(10) : 255; return Rgb(v, v, v); },
      [&](int x, int y) { const int v = nextToOther(x, y) ? 40 + noise.Next(10) : 0; return Rgb(v, v, v); }));
  // Specks of dust on the ground, apart from the shapes: ink, but smaller than the least
  // region.
  auto apart = [](int x, int y) {
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx) {
        const int nx = x + dx, ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < kWidth && ny < kHeight &&
            kCrisp[static_cast<size_t>(ny)][static_cast<size_t>(nx)] == '#')
          return false;
      }
    return true;
  };
  int specks = 0;
  ExpectCrispTwin(Photograph(
                      [&](int x, int y) {
                        const bool speck = (x * 7 + y * 13) % 29 == 0 && apart(x, y);
                        specks += speck;
                        return speck ? Rgb(0, 0, 0) : Rgb(255, 255, 255);
                      },
                      [](int, int) { return Rgb(0, 0, 0); }),
                  3);
  EXPECT_GT(specks, 5);
}

TEST(Background, RowsOfTilesOnSeveralThreadsFindTheSameInk) {
  // A picture of many rows of tiles: discs on plain paper, and on noisy paper lit from
  // one side.
  const int w = 320, h = 240;
  for (const int amplitude : {0, 9}) {
    TNoise noise;
    std::vector<uint32_t> picture;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int cx = x % 64 - 32, cy = y % 60 - 30;
        const int level = cx * cx + cy * cy < 400 ? 30 : 240 - (amplitude ? x / 8 : 0);
        const int v = Clamp(level + (amplitude ? noise.Next(amplitude) : 0));
        picture.push_back(Rgb(v, v, v));
      }
    TInkFinding alone, together;
    const std::vector<uint8_t> one = FindInk(picture.data(), w, h, w, &alone);
    const TRunParts parts = [](int32_t n, const std::function<void(int32_t)>& part) {
      RunInParallel(n, 3, part);
    };
    EXPECT_EQ(FindInk(picture.data(), w, h, w, &together, parts), one) << amplitude;
    EXPECT_EQ(together.InkPixels, alone.InkPixels);
    EXPECT_EQ(alone.Smoothed, amplitude > 0);
    EXPECT_NEAR(static_cast<double>(alone.InkPixels), 20 * 1245, 20 * 60) << amplitude;  // 20 discs
  }
}

TEST(Background, GrainyPaperLeavesNoMoreThanSpecks) {
  // Grainy paper, mostly empty: a few single pixels stray past the noise threshold even
  // over their 3 x 3 pixels; they stay specks, which the least region size leaves out.
  const int w = 200, h = 160;
  TNoise noise;
  std::vector<uint32_t> picture;
  int disc = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool in = (x - 30) * (x - 30) + (y - 30) * (y - 30) < 225;
      disc += in;
      const int v = Clamp((in ? 40 : 200) + noise.Next(40));
      picture.push_back(Rgb(v, v, v));
    }
  TInkFinding seen;
  const std::vector<uint8_t> ink = FindInk(picture.data(), w, h, w, &seen);
  EXPECT_TRUE(seen.Smoothed);
  int far = 0;
  auto scene = TPattern::CreateEmpty(TRect{0, 0, w - 1, h - 1}, clWhite);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool is = ink[static_cast<size_t>(y * w + x)];
      far += is && (x - 30) * (x - 30) + (y - 30) * (y - 30) > 400;
      if (is) scene->SetPixel(x, y, 0);
    }
  EXPECT_LT(far, w * h / 100);
  const auto regions = Regions(std::move(scene), AutoMinPixels);
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_NEAR(static_cast<double>(regions[0].second), disc, disc / 20.0);
}

TEST(Background, PicturesWithoutInk) {
  EXPECT_TRUE(FindInk(nullptr, 0, 0, 0).empty());
  TInkFinding seen;
  const std::vector<uint32_t> grey(static_cast<size_t>(kWidth * kHeight), Rgb(200, 200, 200));
  const std::vector<uint8_t> ink = FindInk(grey.data(), kWidth, kHeight, kWidth, &seen);
  EXPECT_EQ(ink.size(), grey.size());
  EXPECT_EQ(seen.InkPixels, 0);
  EXPECT_EQ(seen.Ground, Rgb(200, 200, 200));
  // One pixel, and one row, are pictures too.
  const uint32_t one = Rgb(1, 2, 3);
  EXPECT_EQ(FindInk(&one, 1, 1, 1), std::vector<uint8_t>{0});
  const std::vector<uint32_t> row = {Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(255, 255, 255)};
  EXPECT_EQ(FindInk(row.data(), 3, 1, 3), (std::vector<uint8_t>{0, 1, 0}));
}

TEST(Background, TheSettingsWords) {
  EXPECT_EQ(ParseBackground("white"), TBackground::White);
  EXPECT_EQ(ParseBackground("auto"), TBackground::Auto);
  EXPECT_EQ(ParseBackground("grey"), std::nullopt);
  EXPECT_EQ(ParseBackground("Auto"), std::nullopt);
  for (TBackground b : {TBackground::White, TBackground::Auto})
    EXPECT_EQ(ParseBackground(BackgroundName(b)), b);
  EXPECT_EQ(ReadingNote({}), "");  // a white base's list line stays as it was
  EXPECT_EQ(ReadingNote(DefaultReading(TBackground::Auto)),
            ", background auto, min pixels " + std::to_string(AutoMinPixels));
  // A base list's line read back; a list that records nothing gives nothing.
  testing::TempDir dir;
  auto readBack = [&](const std::string& text) {
    std::ofstream(dir.File("base.txt"), std::ios::binary) << text;
    return ReadingOfBaseList(dir.File("base.txt"));
  };
  const std::string made = "% made by ormax-cli base: maximum tree level 2, admissible error 0";
  for (const TSceneReading& r : {DefaultReading(TBackground::Auto), TSceneReading{TBackground::Auto, 0},
                                 TSceneReading{TBackground::White, 5}})
    EXPECT_EQ(readBack(made + ReadingNote(r) + "\nstar@0\n"), r) << ReadingNote(r);
  EXPECT_EQ(readBack(made + "\nstar@0\n"), std::nullopt);
  EXPECT_EQ(readBack("star@0\n% background auto\n"), (TSceneReading{TBackground::Auto, 0}));
  EXPECT_EQ(readBack(made + ", min pixels 99999999999\n"), std::nullopt);  // beyond the bound
  EXPECT_EQ(ReadingOfBaseList(dir.File("missing.txt")), std::nullopt);
}

TEST(Background, SpecksLeftOutKeepEveryListAligned) {
  TAppState s;
  s.Threads = 1;
  s.Reading.MinPixels = 3;
  auto scene = std::make_unique<TPattern>(TRect{0, 0, 11, 3}, clWhite);
  const std::vector<std::string> rows = {"#.##...###..", "......#####.", ".#..........", "..........##"};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 12; ++x) scene->SetPixel(x, y, rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '#' ? 0u : clWhite);
  s.SceneImage = std::move(scene);
  s.BuildSceneCodes();
  // Of the regions #(1), ##(2), the block (8), #(1) and ##(2), the block alone stays.
  ASSERT_EQ(s.Segments.Count(), 1);
  EXPECT_EQ(s.Trees.Count(), 1);
  EXPECT_EQ(s.NormalTrees.Count(), 1);
  EXPECT_EQ(s.SceneCodes.Count(), 1);
  EXPECT_EQ(s.Segments.Items(0).InsideCount(), 8);
  s.Reading.MinPixels = 2;  // regions of exactly the least size stay
  s.BuildSceneCodes();
  EXPECT_EQ(s.Segments.Count(), 3);
  EXPECT_EQ(s.SceneCodes.Count(), 3);
}

TEST(Background, AWhiteBackgroundThatDoesNotFitIsNoticed) {
  auto misfit = [](const std::vector<std::string>& rows) {
    TAppState s;
    s.Threads = 1;
    const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
    s.SceneImage = std::make_unique<TPattern>(TRect{0, 0, w - 1, h - 1}, clWhite);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        s.SceneImage->SetPixel(x, y, rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '.' ? clWhite : 0u);
    s.SegmentScene();
    // From indices (0 white, 1 black) the same.
    TAppState indexed;
    indexed.Threads = 1;
    indexed.SceneIndices = std::make_unique<TIndexedScene>();
    TIndexedScene& scene = *indexed.SceneIndices;
    scene.Width = w;
    scene.Height = h;
    scene.Stride = w;
    scene.Colours[0] = clWhite;
    auto bits = std::make_shared<std::string>();
    for (const std::string& row : rows)
      for (const char c : row) bits->push_back(c == '.' ? '\0' : '\1');
    scene.Bits = std::shared_ptr<const uint8_t>(bits, reinterpret_cast<const uint8_t*>(bits->data()));
    indexed.SegmentScene();
    EXPECT_EQ(indexed.BackgroundMisfit, s.BackgroundMisfit);
    return s.BackgroundMisfit;
  };
  // Grey paper: one region over the whole picture.
  EXPECT_EQ(misfit({"######", "#....#", "######"}),
            "one region covers 77 % of the picture and touches all four edges");
  // A frame around the picture, mostly empty inside: no warning.
  EXPECT_EQ(misfit({"#########", "#.......#", "#.......#", "#.......#", "#.......#", "#.......#",
                    "#########"}),
            "");
  // Compression specks: 10 regions, 9 of them specks.
  std::vector<std::string> specks(12, std::string(24, '.'));
  for (int k = 0; k < 9; ++k) specks[static_cast<size_t>(k % 3) * 4][static_cast<size_t>(k / 3) * 8] = '#';
  for (int y = 5; y < 8; ++y) specks[static_cast<size_t>(y)].replace(10, 4, "####");
  EXPECT_EQ(misfit(specks), "9 of its 10 regions are specks of fewer than 8 pixels");
  // Shapes on white: nothing.
  EXPECT_EQ(misfit({"........", ".##..##.", ".##..##.", "........"}), "");
  // The counts are the regions': one each, or no answer.
  TPatternList one;
  one.Add(std::make_unique<TPattern>(TRect{0, 0, 1, 1}, clWhite));
  EXPECT_THROW(WhiteBackgroundMisfit(TRect{0, 0, 1, 1}, one, {}), std::invalid_argument);
  EXPECT_EQ(WhiteBackgroundMisfit(TRect{0, 0, 1, 1}, one, {4}),
            "one region covers 100 % of the picture and touches all four edges");
}

}  // namespace
}  // namespace ormax
