// Fuzz target: the whole pipeline on a small scene drawn from the input (width,
// height, maximum tree level and admissible error from the first bytes, then one of
// four colours per pixel, white among them). Checks: the background found in the
// pixels answers each pixel with 0 or 1; one tree, one normalised tree and one code per
// region; every region holds exactly the scene's non-white pixels of one 8-connected
// component, in its own colours; codes read back equal from their file image; a code
// compared with itself is at distance 0 or, for ellipses too thin for the comparison
// grid, 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "analysis/Background.h"
#include "app/AppState.h"

namespace ormax {
namespace {

// The w by h scene of the input: four colours per byte from the fifth byte on, white
// where the input has run out.
std::unique_ptr<TPattern> SceneOf(const uint8_t* data, size_t size, int w, int h) {
  const TColor colours[4] = {clWhite, 0x000000FF, 0x00FF0000, 0x00000000};
  auto scene = std::make_unique<TPattern>(TRect{0, 0, w - 1, h - 1}, clWhite);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t k = 4 + static_cast<size_t>(y * w + x) / 4;
      const int shift = 2 * ((y * w + x) % 4);
      const uint8_t byte = k < size ? data[k] : 0;
      scene->SetPixel(x, y, colours[(byte >> shift) & 3]);
    }
  return scene;
}

// Each pixel's 8-connected component among the scene's inside pixels (-1 outside), by
// flood fill; components counts them.
std::vector<int> Components(const TPattern& scene, int w, int h, int& components) {
  std::vector<int> label(static_cast<size_t>(w * h), -1);
  components = 0;
  for (int start = 0; start < w * h; ++start) {
    if (label[static_cast<size_t>(start)] >= 0 || !scene.IsInside(start % w, start / w)) continue;
    std::vector<int> stack{start};
    label[static_cast<size_t>(start)] = components;
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = p % w + dx, y = p / w + dy;
          if (x < 0 || y < 0 || x >= w || y >= h) continue;
          const size_t q = static_cast<size_t>(y * w + x);
          if (label[q] < 0 && scene.IsInside(x, y)) {
            label[q] = components;
            stack.push_back(y * w + x);
          }
        }
    }
    ++components;
  }
  return label;
}

// Aborts unless region r holds exactly one component's pixels in the scene's colours
// and its code reads back equal and lies at distance 0 or 1 from itself.
void CheckRegion(const TAppState& s, const std::vector<int>& label, int w, int32_t r) {
  const TPattern& region = s.Segments.Items(r);
  int component = -1;
  long inside = 0;
  for (int x = region.Left; x <= region.Right; ++x)
    for (int y = region.Top; y <= region.Bottom; ++y) {
      if (!region.IsInside(x, y)) continue;
      ++inside;
      if (region.GetPixel(x, y) != s.SceneImage->GetPixel(x, y)) std::abort();
      const int l = label[static_cast<size_t>(y * w + x)];
      if (component < 0) component = l;
      if (l != component) std::abort();
    }
  long expected = 0;
  for (int l : label) expected += l == component;
  if (inside != expected || component < 0) std::abort();
  if (region.GetInsideBounds() != region.GetBounds()) std::abort();

  const TCode& code = s.SceneCodes.GetCode(r);
  TCode back;
  back.LoadFromBytes(code.SaveToBytes(), "memory");
  if (back.SaveToBytes() != code.SaveToBytes()) std::abort();
  if (code.Depth() > s.MaxTreeLevel || s.Trees.Items(r).Depth() != code.Depth()) std::abort();
  const double self = CodeDistance(code, back);
  if (!(self >= 0 && self <= 1)) std::abort();
}

}  // namespace
}  // namespace ormax

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ormax;
  if (size < 4) return 0;
  const int w = 1 + data[0] % 24, h = 1 + data[1] % 24;
  TAppState s;
  s.SceneImage = SceneOf(data, size, w, h);
  {  // the background found in the same pixels: one answer, 0 or 1, per pixel
    const std::vector<uint8_t> ink = FindInk(s.SceneImage->Pixels[0], w, h, w);
    if (ink.size() != static_cast<size_t>(w * h)) std::abort();
    for (uint8_t v : ink)
      if (v > 1) std::abort();
  }
  s.MaxTreeLevel = data[2] % 6;
  s.AdmissibleError = (data[3] % 16) / 20.0 - 0.1;  // negative values too
  s.BuildSceneCodes();
  const int32_t n = s.Segments.Count();
  if (s.Trees.Count() != n || s.NormalTrees.Count() != n || s.SceneCodes.Count() != n) std::abort();

  int components = 0;
  const std::vector<int> label = Components(*s.SceneImage, w, h, components);
  if (components != n) std::abort();
  for (int32_t r = 0; r < n; ++r) CheckRegion(s, label, w, r);
  return 0;
}
