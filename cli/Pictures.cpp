// Pictures: scenes go through the desktop program's reader (any format Qt reads, the
// same 256-colour reduction); inputs share the one worker pool.
//   LoadScene, MisfitWarning, LoadBase, WritePicture, ForEachInput, ThreadsPerInput
#include "cli/Pictures.h"

#include <QFileInfo>
#include <atomic>
#include <mutex>

#include "app/BaseBuilder.h"
#include "app/WorkerPool.h"
#include "platform/QtBitmap.h"

namespace ormax {

TCliScene LoadScene(const QString& file, bool keepPicture, const TSceneReading& reading,
                    int32_t threads) {
  TCliScene scene;
  if (keepPicture) {
    scene.Picture = LoadScenePicture(file, false, reading.Background, threads);
    scene.State->SceneImage = ScenePattern(scene.Picture);
  } else {
    scene.State->SceneImage = LoadScenePattern(file, false, reading.Background, threads);
  }
  scene.State->SceneFileName = Str(file);
  scene.State->Reading = reading;
  return scene;
}

std::string MisfitWarning(const QString& file, const TAppState& state) {
  if (state.BackgroundMisfit.empty()) return "";
  return MisfitWarning(Str(file) + ": " + state.BackgroundMisfit);
}

std::string MisfitWarning(const std::string& namedMisfit) {
  return namedMisfit + "; its background is not exact white: try --background auto";
}

void LoadBase(const QString& list, TCodeBase& base) {
  LoadBase(Str(list), base);
}

void WritePicture(const QImage& picture, const QString& file) {
  SavePicture(picture, file, file.endsWith(".png", Qt::CaseInsensitive) ? "png" : "bmp");
}

void ForEachInput(const QStringList& files, int32_t jobs, const TCliContext& cx,
                  const std::function<void(int32_t)>& work) {
  const auto count = static_cast<int32_t>(files.size());
  const bool progress = cx.ErrIsTerminal && count > 1;
  std::atomic<int32_t> done{0};
  std::mutex lock;
  RunInParallel(count, jobs, [&](int32_t i) {
    work(i);
    const int32_t finished = ++done;
    if (progress) {
      std::lock_guard<std::mutex> guard(lock);
      cx.Err << "\r[" << finished << "/" << count << "] " << Str(QFileInfo(files[i]).fileName())
             << "\x1b[K" << std::flush;
    }
  });
  if (progress) cx.Err << "\r\x1b[K" << std::flush;
}

int32_t ThreadsPerInput(const QStringList& files, int32_t jobs) {
  return files.size() > 1 ? 1 : jobs;
}

}  // namespace ormax
