// SceneGenerator: deterministic test scenes for the benchmarks: filled ellipses and
// rectangles of a few colours, scattered over a white scene.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>

#include "model/Patterns.h"

namespace ormax::bench {

// scale sets the shapes' size: 0.3 covers about 5 % of the scene, 0.45 about 10 %.
inline std::unique_ptr<TPattern> GenerateScene(int32_t width, int32_t height, int shapes,
                                               uint32_t seed, double scale = 0.3) {
  auto scene = std::make_unique<TPattern>(TRect{0, 0, width - 1, height - 1}, clWhite);
  scene->Clear();
  std::mt19937 rng(seed);
  const TColor palette[] = {0x000000C0, 0x00C00000, 0x0000A000, 0x00404040, 0x00993366};
  const double size = std::sqrt(static_cast<double>(width) * height / shapes) * scale;
  for (int s = 0; s < shapes; ++s) {
    const double cx = std::uniform_real_distribution<double>(0, width)(rng);
    const double cy = std::uniform_real_distribution<double>(0, height)(rng);
    const double a = std::uniform_real_distribution<double>(0.3, 1.0)(rng) * size;
    const double b = std::uniform_real_distribution<double>(0.2, 1.0)(rng) * a;
    const double angle = std::uniform_real_distribution<double>(0, std::numbers::pi)(rng);
    const bool box = rng() % 2 == 0;
    const TColor color = palette[rng() % 5];
    const double c = std::cos(angle), sn = std::sin(angle);
    const int32_t x0 = std::max(0, static_cast<int32_t>(cx - a - 1));
    const int32_t x1 = std::min(width - 1, static_cast<int32_t>(cx + a + 1));
    const int32_t y0 = std::max(0, static_cast<int32_t>(cy - a - 1));
    const int32_t y1 = std::min(height - 1, static_cast<int32_t>(cy + a + 1));
    for (int32_t x = x0; x <= x1; ++x)
      for (int32_t y = y0; y <= y1; ++y) {
        const double u = (c * (x - cx) + sn * (y - cy)) / a;
        const double v = (-sn * (x - cx) + c * (y - cy)) / b;
        const bool inside = box ? (std::abs(u) <= 1 && std::abs(v) <= 1) : (u * u + v * v <= 1);
        if (inside) scene->SetPixel(x, y, color);
      }
  }
  return scene;
}

// Every pixel, independently, coloured or white as pick(random number) says: a palette
// index 0 .. 2, or -1 for white.
template <typename TPick>
std::unique_ptr<TPattern> NoiseScene(int32_t width, int32_t height, uint32_t seed, TPick pick) {
  auto scene = std::make_unique<TPattern>(TRect{0, 0, width - 1, height - 1}, clWhite);
  scene->Clear();
  std::mt19937 rng(seed);
  const TColor palette[] = {0x000000C0, 0x00C00000, 0x0000A000};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const int colour = pick(static_cast<uint32_t>(rng()));
      if (colour >= 0) scene->SetPixel(x, y, palette[colour]);
    }
  return scene;
}

// Every pixel one of three colours with probability 1/2, else white: one huge
// 8-connected region and tens of thousands of small ones.
inline std::unique_ptr<TPattern> GenerateNoiseScene(int32_t width, int32_t height, uint32_t seed) {
  return NoiseScene(width, height, seed,
                    [](uint32_t r) { return r & 1 ? static_cast<int>((r >> 1) % 3) : -1; });
}

// The same with probability perMille / 1000.
inline std::unique_ptr<TPattern> GenerateSparseNoiseScene(int32_t width, int32_t height,
                                                         uint32_t seed, int32_t perMille) {
  return NoiseScene(width, height, seed, [perMille](uint32_t r) {
    return static_cast<int32_t>(r % 1000) < perMille ? static_cast<int>((r >> 10) % 3) : -1;
  });
}

}  // namespace ormax::bench
