// The whole road: draw shapes, build codes, save one-shape codes as files, load them
// through a base list, and recognise a scene of several shapes.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "app/AppState.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::TempDir;

struct Point {
  double x, y;
};

struct Shape {
  std::string name;
  std::vector<Point> outline;  // a polygon around (0, 0)
  TColor color;
};

std::vector<Shape> Shapes() {
  std::vector<Point> disc;
  for (int k = 0; k < 48; ++k)
    disc.push_back({18 * std::cos(k * std::numbers::pi / 24), 18 * std::sin(k * std::numbers::pi / 24)});
  return {
      {"bar", {{-30, -6}, {30, -6}, {30, 6}, {-30, 6}}, 0x000000C0},
      {"disc", disc, 0x00C00000},
      {"ell", {{-16, -22}, {-4, -22}, {-4, 10}, {18, 10}, {18, 22}, {-16, 22}}, 0x0000A000},
      {"tri", {{-22, 18}, {22, 18}, {-4, -22}}, 0x00404040},
  };
}

bool InPolygon(const std::vector<Point>& poly, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++)
    if ((poly[i].y > y) != (poly[j].y > y) &&
        x < (poly[j].x - poly[i].x) * (y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
      in = !in;
  return in;
}

// Draws the shape turned by `degrees`, scaled and centred at (cx, cy).
void DrawShape(TPattern& scene, const Shape& s, double cx, double cy, double degrees = 0,
               double scale = 1) {
  const double a = degrees * std::numbers::pi / 180, c = std::cos(a), sn = std::sin(a);
  for (int32_t x = scene.Left; x <= scene.Right; ++x)
    for (int32_t y = scene.Top; y <= scene.Bottom; ++y) {
      const double dx = (x - cx) / scale, dy = (y - cy) / scale;
      if (InPolygon(s.outline, c * dx + sn * dy, -sn * dx + c * dy)) scene.SetPixel(x, y, s.color);
    }
}

std::unique_ptr<TPattern> WhiteScene(int32_t w, int32_t h) {
  auto p = std::make_unique<TPattern>(TRect{0, 0, w - 1, h - 1}, clWhite);
  p->Clear();
  return p;
}

const Point kPlaces[] = {{60, 60}, {190, 60}, {60, 190}, {190, 190}};

class Pipeline : public ::testing::Test {
 protected:
  // A base of one code per shape, each made from a scene that holds only that shape
  // at the place it has in the four-shape scene.
  void MakeBase() {
    std::ofstream list(dir.File("base.txt"));
    list << "% four shapes\n";
    const auto shapes = Shapes();
    for (size_t k = 0; k < shapes.size(); ++k) {
      TAppState one;
      one.MaxTreeLevel = 3;
      one.SceneImage = WhiteScene(250, 250);
      DrawShape(*one.SceneImage, shapes[k], kPlaces[k].x, kPlaces[k].y);
      one.BuildSceneCodes();
      ASSERT_EQ(one.SceneCodes.Count(), 1);
      one.SceneCodes.GetCode(0).SaveToFile(dir.File(shapes[k].name + CodeFileExt));
      list << shapes[k].name << "\n";
    }
  }

  // Recognises `scene` against the base; returns the label of every region.
  std::vector<std::string> Recognise(std::unique_ptr<TPattern> scene,
                                     std::vector<double>* distances = nullptr) {
    TAppState s;
    EXPECT_EQ(s.CodeBase.LoadBaseList(dir.File("base.txt")), 4);
    s.AdmissibleError = s.CodeBase.AdmissibleError;
    s.MaxTreeLevel = s.CodeBase.MaxLevel;
    s.SceneImage = std::move(scene);
    s.BuildSceneCodes();
    s.BuildSceneNearestIndices();
    std::vector<std::string> labels;
    for (int32_t i : s.NearestIndices) labels.push_back(s.CodeBase.Names(i));
    if (distances) *distances = s.NearestMeasures;
    return labels;
  }

  TempDir dir;
};

TEST_F(Pipeline, TheSamePicturesAreRecognisedAtDistanceZero) {
  MakeBase();
  auto scene = WhiteScene(250, 250);
  const auto shapes = Shapes();
  for (size_t k = 0; k < shapes.size(); ++k)
    DrawShape(*scene, shapes[k], kPlaces[k].x, kPlaces[k].y);
  std::vector<double> d;
  // Regions come in quadtree order: top-left, top-right, bottom-left, bottom-right.
  EXPECT_EQ(Recognise(std::move(scene), &d),
            (std::vector<std::string>{"bar", "disc", "ell", "tri"}));
  EXPECT_EQ(d, (std::vector<double>{0, 0, 0, 0}));
}

// The codes do not depend on where a region lies, and (up to pixel effects) not on
// its size or a quarter turn. A part that is nearly round, or a turn by another
// angle, can turn a part's axis round and swap its halves, which shows as a large
// distance: the disc is therefore only moved.
TEST_F(Pipeline, MovedTurnedAndScaledCopiesAreRecognised) {
  MakeBase();
  const auto shapes = Shapes();
  struct Copy {
    double degrees, scale;
  };
  const std::vector<std::vector<Copy>> scenes = {
      {{0, 1}, {0, 1}, {0, 1}, {0, 1}},        // moved only
      {{90, 1}, {0, 1}, {90, 1}, {90, 1}},     // quarter turns
      {{0, 1.3}, {0, 1}, {90, 1}, {35, 1.3}},  // scaled, and a turned and scaled triangle
  };
  // Places in the four top-level quadrants, so the regions come in shape order.
  const Point places[] = {{80, 70}, {300, 80}, {90, 220}, {310, 220}};
  for (size_t n = 0; n < scenes.size(); ++n) {
    auto scene = WhiteScene(420, 300);
    for (size_t k = 0; k < shapes.size(); ++k)
      DrawShape(*scene, shapes[k], places[k].x, places[k].y, scenes[n][k].degrees,
                scenes[n][k].scale);
    std::vector<double> d;
    EXPECT_EQ(Recognise(std::move(scene), &d),
              (std::vector<std::string>{"bar", "disc", "ell", "tri"}))
        << "scene " << n;
    for (size_t k = 0; k < d.size(); ++k) {
      EXPECT_LT(d[k], n == 0 ? 1e-9 : 0.1) << "scene " << n << ", shape " << k;
    }
  }
}

TEST_F(Pipeline, CodesSurviveTheirFilesBitForBit) {
  auto scene = WhiteScene(120, 120);
  DrawShape(*scene, Shapes()[2], 60, 60, 17, 1.4);
  TAppState s;
  s.MaxTreeLevel = 4;
  s.AdmissibleError = 0.02;
  s.SceneImage = std::move(scene);
  s.BuildSceneCodes();
  ASSERT_EQ(s.SceneCodes.Count(), 1);
  const TCode& code = s.SceneCodes.GetCode(0);
  code.SaveToFile(dir.File("x.c"));
  TCode back;
  back.LoadFromFile(dir.File("x.c"));
  EXPECT_EQ(back.SaveToBytes(), code.SaveToBytes());
  EXPECT_EQ(testing::ReadBytes(dir.File("x.c")).size(), 20 + 85 * code.Items.size());
  EXPECT_EQ(CodeDistance(code, back), 0.0);
}

}  // namespace
}  // namespace ormax
