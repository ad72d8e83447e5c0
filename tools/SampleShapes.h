// SampleShapes: the shapes of the sample pictures, each a test of a point in shape
// units (about -1 .. 1), and their drawing without anti-aliasing (a pixel is the
// shape's when its centre is inside), shared by the sample tool and the accuracy bench.
//   SampleShapes     the ten shapes of examples/shapes, in their order there
//   MirrorPair       two letter outlines, b and d, that differ only by mirroring
//   Draw, Picture    a placement drawn onto a picture / a white picture of placements
// A placement with a second colour splits the shape along a line through its centre.
#pragma once

#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace ormax {

using TInside = std::function<bool(double, double)>;

struct TSampleShape {
  std::string Name;
  TInside Test;
};

const std::vector<TSampleShape>& SampleShapes();
const std::vector<TSampleShape>& MirrorPair();
// The shape of that name among both lists; throws std::invalid_argument for another.
const TSampleShape& SampleShape(const std::string& name);

struct TPlacement {
  std::string Shape;
  double X, Y;     // centre in pixels
  double Radius;   // pixels per shape unit
  double Degrees;  // turned clockwise on screen
  QRgb Color;
  // Where Color2 differs from Color, the part of the shape on the positive side of the
  // line through the centre at SplitDegrees (on screen) takes Color2.
  QRgb Color2 = Color;
  double SplitDegrees = 0;
};

void Draw(QImage& picture, const TPlacement& p);
QImage Picture(int width, int height, const std::vector<TPlacement>& placements);

}  // namespace ormax
