// Pictures: scenes go through the desktop program's reader (any format Qt reads, the
// same 256-colour reduction); inputs share the one worker pool.
//   TCliScene::NewPicture, LoadScene, LoadSceneToSegment, MisfitWarning, WritePicture,
//   WriteViewPicture,
//   ForEachInput, ThreadsPerInput,
//   TShapePicture::ShapeName, CollectPictures
#include "cli/Pictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>

#include "app/BaseBuilder.h"
#include "app/EntryNames.h"
#include "app/WorkerPool.h"
#include "qt/BandedBmp.h"
#include "qt/QtBitmap.h"
#include "qt/QtCanvas.h"

namespace ormax {

namespace {

// A scene of the given size, read from file with reading, its pixels to be set.
TCliScene NewScene(const QString& file, const TSceneReading& reading, int32_t width,
                   int32_t height) {
  TCliScene scene;
  scene.Width = width;
  scene.Height = height;
  scene.State->SceneFileName = Str(file);
  scene.State->Reading = reading;
  return scene;
}

}  // namespace

TCliScene LoadScene(const QString& file, const TSceneReading& reading, int32_t threads) {
  auto pattern = LoadScenePattern(file, false, reading.Background, threads);
  TCliScene scene = NewScene(file, reading, pattern->Width(), pattern->Height());
  scene.State->SceneImage = std::move(pattern);
  return scene;
}

TCliScene LoadSceneToSegment(const QString& file, const TSceneReading& reading,
                             int32_t threads) {
  auto indices =
      std::make_unique<TIndexedScene>(LoadSceneIndices(file, false, reading.Background, threads));
  TCliScene scene = NewScene(file, reading, indices->Width, indices->Height);
  scene.State->SceneIndices = std::move(indices);
  return scene;
}

QImage TCliScene::NewPicture() const {
  QImage picture;
  try {
    picture = PictureOnHugePages(Width, Height, QImage::Format_RGB32);
  } catch (const std::bad_alloc&) {
  }
  if (picture.isNull() && Width > 0 && Height > 0)
    throw std::runtime_error(State->SceneFileName + ": no memory for a picture of " +
                             std::to_string(Width) + " x " + std::to_string(Height) + " pixels");
  picture.fill(Qt::white);
  return picture;
}

std::string MisfitWarning(const QString& file, const TAppState& state) {
  if (state.BackgroundMisfit.empty()) return "";
  return MisfitWarning(Str(file) + ": " + state.BackgroundMisfit);
}

std::string MisfitWarning(const std::string& namedMisfit) {
  return namedMisfit + "; its background is not exact white: try --background auto";
}

namespace {

bool IsPngName(const QString& file) {
  return file.endsWith(".png", Qt::CaseInsensitive);
}

}  // namespace

void WritePicture(const QImage& picture, const QString& file) {
  SavePicture(picture, file, IsPngName(file) ? "png" : "bmp");
}

void WriteViewPicture(TView view, TCliScene& scene, const QString& file) {
  TAppState& s = *scene.State;
  if (view == TView::Recognition && !IsPngName(file)) {
    ColourSegments(s);
    SaveBmpInBands(scene.Width, scene.Height, file,
                   [&](ICanvas& band) { DrawColouredRecognition(s, band); });
    return;
  }
  QImage picture = scene.NewPicture();
  {
    TQtCanvas canvas(picture);
    DrawView(view, s, canvas);
  }
  WritePicture(picture, file);
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

std::string TShapePicture::ShapeName() const {
  return Shape.empty() ? ShapeOfPictureName(Stem(File)) : Shape;
}

namespace {

// picture (as given, and its file name) -> shape.
std::map<QString, std::string> ReadTruth(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
    throw std::runtime_error(Str(file) + ": cannot read (" + Str(in.errorString()) + ")");
  std::map<QString, std::string> truth;
  int line = 0;
  while (!in.atEnd()) {
    ++line;
    const QString text = QString::fromUtf8(in.readLine()).trimmed();
    if (text.isEmpty()) continue;
    const QStringList fields = text.split(',');
    if (fields.size() != 2 || fields[1].trimmed().isEmpty())
      throw std::runtime_error(Str(file) + ": line " + std::to_string(line) +
                               " is not 'picture,shape'");
    if (line == 1 && fields[1].trimmed() == "shape") continue;  // a header
    const QString picture = fields[0].trimmed();
    truth[picture] = Str(fields[1].trimmed());
    truth[QFileInfo(picture).fileName()] = Str(fields[1].trimmed());
  }
  return truth;
}

QStringList PictureFilters() {
  QStringList filters;
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    filters << "*." + QString::fromLatin1(format);
  return filters;
}

}  // namespace

std::vector<TShapePicture> CollectPictures(const QStringList& arguments, const QString& truth) {
  std::vector<TShapePicture> pictures;
  const QDir::SortFlags byName = QDir::Name;
  for (const QString& argument : arguments) {
    const QFileInfo info(argument);
    if (!info.isDir()) {
      pictures.push_back({argument, "", ""});
      continue;
    }
    const QDir folder(argument);
    const size_t before = pictures.size();
    for (const QString& name : folder.entryList(PictureFilters(), QDir::Files, byName))
      pictures.push_back({folder.filePath(name), "", ""});
    for (const QString& sub : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, byName)) {
      const QDir shape(folder.filePath(sub));
      for (const QString& name : shape.entryList(PictureFilters(), QDir::Files, byName))
        pictures.push_back({shape.filePath(name), CleanShapeName(Str(sub)), ""});
    }
    if (pictures.size() == before)
      throw std::runtime_error(Str(argument) + ": a folder without pictures");
  }
  if (truth.isEmpty()) return pictures;
  const std::map<QString, std::string> shapes = ReadTruth(truth);
  for (TShapePicture& picture : pictures) {
    bool named = false;
    for (const QString& key : {picture.File, QFileInfo(picture.File).fileName()})
      if (const auto it = shapes.find(key); it != shapes.end() && !named) {
        picture.Shape = CleanShapeName(it->second);
        named = true;
      }
    if (!named) picture.Problem = Str(picture.File) + ": not in " + Str(truth);
  }
  return pictures;
}

int32_t ThreadsPerInput(const QStringList& files, int32_t jobs) {
  return files.size() > 1 ? 1 : jobs;
}

}  // namespace ormax
