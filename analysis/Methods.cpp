#include "analysis/Methods.h"

#include "numerics/Rounding.h"

namespace ormax {

namespace {

// The quadtree of the cell `bounds` of image. The cells read the image in place:
// a cell's pixels are those of the image within its bounds.
void BuildQuadCell(const TImg& image, const TRect& cell, TTree& node) {
  const int32_t width = cell.Right - cell.Left + 1;
  const int32_t height = cell.Bottom - cell.Top + 1;
  if (width <= 0 || height <= 0) return;  // an empty quadrant: no pixel to read

  const TColor reference = image.GetPixel(cell.Left, cell.Top);
  bool uniform = true;
  for (int32_t x = cell.Left; x <= cell.Right && uniform; ++x) {
    const TColor* column = &image.Pixels[cell.Top - image.Top][x - image.Left];
    const size_t stride = static_cast<size_t>(image.Width());
    for (int32_t k = 0; k < height; ++k)
      if (column[static_cast<size_t>(k) * stride] != reference) {
        uniform = false;
        break;
      }
  }
  if (uniform) {
    TRectangle(cell, reference).SaveToBytes(node.Data);
    return;
  }

  const int32_t cx = static_cast<int32_t>(cell.Left + DivTrunc(width - 1, 2));
  const int32_t cy = static_cast<int32_t>(cell.Top + DivTrunc(height - 1, 2));
  const TRect quadrants[4] = {
      {cell.Left, cell.Top, cx, cy},
      {cx + 1, cell.Top, cell.Right, cy},
      {cell.Left, cy + 1, cx, cell.Bottom},
      {cx + 1, cy + 1, cell.Right, cell.Bottom},
  };
  node.Children.resize(4);
  for (int k = 0; k < 4; ++k) {
    node.Children[k] = std::make_unique<TTree>();
    BuildQuadCell(image, quadrants[k], *node.Children[k]);
  }
}

}  // namespace

void BuildQuadTree(const TImg& image, TTree& node) {
  BuildQuadCell(image, image.GetBounds(), node);
}

}  // namespace ormax
