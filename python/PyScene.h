// PyScene: one scene of the Python module: its pixels, the analysis of the application
// layer at the settings last asked for, and the pictures of its views.
//   TPyScene (FromFile, FromColours, Read, TakeMisfit, Analyse, Recognize, View),
//   ReduceColours, EnsureGuiApplication
// Colours are TColor values ($00BBGGRR), white the background. Analyse and Recognise
// may run without the interpreter's lock: each scene guards its state by its own mutex.
// Pictures beyond MaxSceneSide x MaxSceneSide are refused like the programs refuse them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Views.h"
#include "codes/Codes.h"

namespace ormax {

class TPyScene {
 public:
  // Any picture the command line reads, through the same 256-colour reduction and with
  // its background as the reading asks; throws the reader's EDataError.
  static std::unique_ptr<TPyScene> FromFile(const std::string& path,
                                            const TSceneReading& reading = {});
  // Takes the reading for the analyses to come; with a background found in the
  // picture, its ground becomes white and ink as white as the ground a light grey.
  void Read(const TSceneReading& reading);
  // What the last analysis saw that says the background is not white, once: empty
  // afterwards, and when nothing did.
  std::string TakeMisfit();
  // height x width colour values; at(y, x) gives the pixel's value. source names the
  // scene in errors and captions.
  template <typename TAt>
  static std::unique_ptr<TPyScene> FromColours(int64_t height, int64_t width, TAt at,
                                               const std::string& source);

  int32_t Width() const { return State.SceneImage->Width(); }
  int32_t Height() const { return State.SceneImage->Height(); }

  // Quadtree, regions, trees and codes at these settings, unless the state holds them
  // already (analysed with them and not recognised against a base since).
  void Analyse(int32_t level, double error, int32_t threads);
  // Analysis at the base's settings and every region's nearest entry; keeps the base.
  void Recognize(std::shared_ptr<const TCodeBase> base, int32_t threads);
  bool Recognized() const { return recognizedWith_ != nullptr; }

  // The view as RGB bytes, row after row (3 bytes a pixel). The analysis views need
  // an analysis, the recognition view a recognition (std::logic_error otherwise).
  std::vector<uint8_t> View(TView view, int32_t maxViewLevel, bool fill, bool sameness);

  TAppState State;
  std::mutex Lock;  // held by whoever works on State

 private:
  TPyScene() = default;
  static void CheckSize(int64_t height, int64_t width, const std::string& source);
  bool analysed_ = false;
  bool misfitTold_ = false;
  int32_t level_ = 0;
  double error_ = 0;
  std::shared_ptr<const TCodeBase> recognizedWith_;
};

// The programs' 256-colour reduction of height x width RGB bytes (3 a pixel, row after
// row), in the same layout.
std::vector<uint8_t> ReduceColours(const uint8_t* rgb, int32_t height, int32_t width);

// The toolkit's application object that drawing text needs, made once (on Qt's
// offscreen platform unless one is chosen, without the notice of an unset
// XDG_RUNTIME_DIR) when the process has none.
void EnsureGuiApplication();

template <typename TAt>
std::unique_ptr<TPyScene> TPyScene::FromColours(int64_t height, int64_t width, TAt at,
                                                const std::string& source) {
  CheckSize(height, width, source);
  std::unique_ptr<TPyScene> scene(new TPyScene);
  auto pattern = std::make_unique<TPattern>(
      TRect{0, 0, static_cast<int32_t>(width) - 1, static_cast<int32_t>(height) - 1}, clWhite);
  for (int32_t y = 0; y < height; ++y) {
    TColor* row = pattern->Pixels[y];
    for (int32_t x = 0; x < width; ++x) row[x] = at(y, x);
  }
  scene->State.SceneImage = std::move(pattern);
  scene->State.SceneFileName = source;
  return scene;
}

}  // namespace ormax
