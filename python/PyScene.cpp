// PyScene: pictures are read and reduced by the Qt bindings, analysed and drawn by
// the application layer; the module adds only the bookkeeping of its settings.
//   TPyScene::FromFile, Read, TakeMisfit, CheckSize, Analyse, Recognize, View;
//   ReduceColours, EnsureGuiApplication
#include "python/PyScene.h"

#include <QGuiApplication>
#include <QImage>
#include <stdexcept>

#include "app/RecognitionRows.h"
#include "codes/Errors.h"
#include "qt/QtBitmap.h"
#include "qt/QtCanvas.h"
#include "qt/ToolkitNotices.h"

namespace ormax {

std::unique_ptr<TPyScene> TPyScene::FromFile(const std::string& path,
                                             const TSceneReading& reading) {
  const QImage picture = LoadScenePicture(QString::fromStdString(path), false, reading.Background);
  std::unique_ptr<TPyScene> scene(new TPyScene);
  scene->State.SceneImage = ScenePattern(picture);
  scene->State.SceneFileName = path;
  scene->State.Reading = reading;
  return scene;
}

void TPyScene::Read(const TSceneReading& reading) {
  State.Reading = reading;
  if (reading.Background != TBackground::Auto) return;
  TPattern& p = *State.SceneImage;
  const std::vector<uint8_t> ink = FindInk(p.Pixels[0], p.Width(), p.Height(), p.Width());
  for (int32_t y = 0; y < p.Height(); ++y)
    for (int32_t x = 0; x < p.Width(); ++x) {
      TColor& v = p.Pixels[y][x];
      if (!ink[static_cast<size_t>(y) * static_cast<size_t>(p.Width()) + static_cast<size_t>(x)])
        v = clWhite;
      else if (v == clWhite)
        v = 0x00FEFEFE;
    }
}

std::string TPyScene::TakeMisfit() {
  if (misfitTold_) return "";
  misfitTold_ = true;
  return State.BackgroundMisfit;
}

void TPyScene::CheckSize(int64_t height, int64_t width, const std::string& source) {
  if (height < 1 || width < 1 || height > MaxSceneSide || width > MaxSceneSide) {
    const std::string reason = "the picture is " + std::to_string(width) + " x " +
                               std::to_string(height) + " pixels; a scene has 1 x 1 to " +
                               std::to_string(MaxSceneSide) + " x " +
                               std::to_string(MaxSceneSide) + " pixels";
    throw EReadError(source + ": cannot read the picture (" + reason + ")", source, reason);
  }
}

void TPyScene::Analyse(int32_t level, double error, int32_t threads) {
  if (analysed_ && !recognizedWith_ && level == level_ && error == error_) return;
  analysed_ = false;
  recognizedWith_.reset();
  State.SharedBase = nullptr;
  State.MaxTreeLevel = level;
  State.AdmissibleError = error;
  State.Threads = threads;
  State.BuildSceneCodes();
  misfitTold_ = false;
  level_ = level;
  error_ = error;
  analysed_ = true;
}

void TPyScene::Recognize(std::shared_ptr<const TCodeBase> base, int32_t threads) {
  if (recognizedWith_ == base) return;
  analysed_ = false;
  recognizedWith_.reset();
  State.Threads = threads;
  RecognizeScene(State, *base);
  misfitTold_ = false;
  recognizedWith_ = std::move(base);
  level_ = State.MaxTreeLevel;
  error_ = State.AdmissibleError;
  analysed_ = true;
}

namespace {

std::vector<uint8_t> RgbBytes(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  const auto w = static_cast<size_t>(rgb.width()), h = static_cast<size_t>(rgb.height());
  std::vector<uint8_t> bytes(w * h * 3);
  for (size_t y = 0; y < h; ++y) {
    const uchar* line = rgb.constScanLine(static_cast<int>(y));
    std::copy(line, line + w * 3, bytes.begin() + static_cast<std::ptrdiff_t>(y * w * 3));
  }
  return bytes;
}

}  // namespace

std::vector<uint8_t> TPyScene::View(TView view, int32_t maxViewLevel, bool fill, bool sameness) {
  const int32_t level = ViewLevel(maxViewLevel, State.MaxTreeLevel);  // before any work
  if (view != TView::Scene && !analysed_)
    throw std::logic_error("this view needs the regions: call regions() or recognize() first");
  if (view == TView::Recognition && !recognizedWith_)
    throw std::logic_error("the recognition view needs recognize() first");
  QImage picture(Width(), Height(), QImage::Format_RGB32);
  picture.fill(Qt::white);
  State.MaxViewLevel = level;
  State.FillEllipses = fill;
  State.ShowSameness = sameness;
  {
    TQtCanvas canvas(picture);
    DrawView(view, State, canvas);
  }
  return RgbBytes(picture);
}

std::vector<uint8_t> ReduceColours(const uint8_t* rgb, int32_t height, int32_t width) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int32_t y = 0; y < height; ++y)
    std::copy(rgb + static_cast<size_t>(y) * width * 3,
              rgb + static_cast<size_t>(y + 1) * width * 3, image.scanLine(y));
  return RgbBytes(ReduceTo256Colours(image));
}

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  DropRuntimeDirNotice();
  static int argc = 1;
  static char name[] = "ormax";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);  // lives as long as the process
}

}  // namespace ormax
