// SampleShapes: polygons by the even-odd crossing test, round shapes by their equations.
//   SampleShapes, MirrorPair, SampleShape, Draw, Picture
#include "tools/SampleShapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace ormax {

namespace {

using TPoints = std::vector<std::pair<double, double>>;

bool InPolygon(const TPoints& poly, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const auto [xi, yi] = poly[i];
    const auto [xj, yj] = poly[j];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
  }
  return in;
}

TInside Polygon(TPoints poly) {
  return [poly](double x, double y) { return InPolygon(poly, x, y); };
}

TPoints StarPoints() {
  TPoints p;
  for (int k = 0; k < 10; ++k) {
    const double r = k % 2 ? 0.42 : 1.0, a = -std::numbers::pi / 2 + k * std::numbers::pi / 5;
    p.push_back({r * std::cos(a), r * std::sin(a)});
  }
  return p;
}

// The letter b: a stem on the left and a round bowl on the lower right, open inside.
bool InLetterB(double x, double y) {
  const bool stem = x >= -0.72 && x <= -0.34 && y >= -1 && y <= 1;
  const double bx = x - 0.06, by = y - 0.38, r = bx * bx + by * by;
  const bool bowl = r <= 0.62 * 0.62 && r >= 0.3 * 0.3 && x >= -0.72;
  return stem || bowl;
}

}  // namespace

const std::vector<TSampleShape>& SampleShapes() {
  static const std::vector<TSampleShape> shapes = {
      {"circle", [](double x, double y) { return x * x + y * y <= 1; }},
      {"ellipse", [](double x, double y) { return x * x + (y / 0.5) * (y / 0.5) <= 1; }},
      {"square", [](double x, double y) { return std::abs(x) <= 0.72 && std::abs(y) <= 0.72; }},
      {"rectangle", [](double x, double y) { return std::abs(x) <= 1 && std::abs(y) <= 0.42; }},
      {"triangle", Polygon({{-0.95, 0.75}, {0.95, 0.75}, {-0.3, -0.95}})},
      {"star", Polygon(StarPoints())},
      {"cross",  // a Latin cross: the long arm below
       [](double x, double y) {
         return (std::abs(x) <= 0.2 && std::abs(y) <= 1) ||
                (std::abs(y + 0.35) <= 0.2 && std::abs(x) <= 0.65);
       }},
      {"ell",
       Polygon({{-0.7, -1}, {-0.25, -1}, {-0.25, 0.55}, {0.75, 0.55}, {0.75, 1}, {-0.7, 1}})},
      {"ring",
       [](double x, double y) {
         const double r = x * x + y * y;
         return r <= 1 && r >= 0.36;
       }},
      {"arrow", Polygon({{-1, -0.18},
                         {0.25, -0.18},
                         {0.25, -0.5},
                         {1, 0},
                         {0.25, 0.5},
                         {0.25, 0.18},
                         {-1, 0.18}})},
  };
  return shapes;
}

const std::vector<TSampleShape>& MirrorPair() {
  static const std::vector<TSampleShape> shapes = {
      {"b", [](double x, double y) { return InLetterB(x, y); }},
      {"d", [](double x, double y) { return InLetterB(-x, y); }},
  };
  return shapes;
}

const TSampleShape& SampleShape(const std::string& name) {
  for (const auto* list : {&SampleShapes(), &MirrorPair()})
    for (const TSampleShape& shape : *list)
      if (shape.Name == name) return shape;
  throw std::invalid_argument("unknown shape " + name);
}

void Draw(QImage& picture, const TPlacement& p) {
  const TInside& test = SampleShape(p.Shape).Test;
  const double a = p.Degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  const double split = p.SplitDegrees * std::numbers::pi / 180;
  const double nx = -std::sin(split), ny = std::cos(split);
  const int x0 = std::max(0, static_cast<int>(p.X - 1.5 * p.Radius));
  const int x1 = std::min(picture.width() - 1, static_cast<int>(p.X + 1.5 * p.Radius));
  const int y0 = std::max(0, static_cast<int>(p.Y - 1.5 * p.Radius));
  const int y1 = std::min(picture.height() - 1, static_cast<int>(p.Y + 1.5 * p.Radius));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const double dx = (x - p.X) / p.Radius, dy = (y - p.Y) / p.Radius;
      if (!test(c * dx + s * dy, -s * dx + c * dy)) continue;
      const bool second = p.Color2 != p.Color && dx * nx + dy * ny > 0;
      picture.setPixel(x, y, second ? p.Color2 : p.Color);
    }
}

QImage Picture(int width, int height, const std::vector<TPlacement>& placements) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(qRgb(255, 255, 255));
  for (const auto& p : placements) Draw(picture, p);
  return picture;
}

}  // namespace ormax
