// Screenshots: drives the real main window through its actions on the sample scene
// examples/scenes/scene1.bmp with the sample base examples/base/base.txt, and saves a
// PNG of the whole window in each of the five views, of the region inspector, and of
// the recognition at 50 % and 400 % (the picture window scrolled inside the work area).
// Usage (from the source folder, so that captions show the sample's own path):
//   ormax_screenshots OUTPUT_FOLDER
// The file dialogs and message boxes are answered by the tool itself.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <functional>

#include "shell/LeftFrm.h"
#include "shell/MainFrm.h"
#include "shell/MethodSettingsFrm.h"
#include "shell/OptionsFrm.h"

namespace {

using namespace ormax;

class ScriptedDialogs : public IFileDialogs {
 public:
  std::deque<std::string> Answers;
  std::optional<std::string> Next() {
    if (Answers.empty()) return std::nullopt;
    std::string a = Answers.front();
    Answers.pop_front();
    return a;
  }
  std::optional<std::string> OpenPicture(const TFileRequest&) override { return Next(); }
  std::optional<std::string> SavePicture(const TFileRequest&) override { return Next(); }
  std::optional<std::string> Save(const TFileRequest&) override { return Next(); }
  std::optional<std::string> Open(const TFileRequest&) override { return Next(); }
};

class PrintedMessages : public IMessageBoxes {
 public:
  void Error(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  void Information(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  std::optional<double> AskNumber(const std::string&, const std::string&, double, double,
                                  double) override {
    return std::nullopt;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: ormax_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  const std::string scene = "examples/scenes/scene1.bmp";
  const std::string base = "examples/base/base.txt";
  if (!QFileInfo::exists(QString::fromStdString(scene))) {
    std::fprintf(stderr, "ormax_screenshots: run it from the source folder (%s not found)\n",
                 scene.c_str());
    return 1;
  }

  ScriptedDialogs dialogs;
  PrintedMessages messages;
  TMainForm window(&dialogs, &messages);
  window.resize(1180, 700);
  window.show();
  QApplication::processEvents();

  auto shoot = [&](const char* name) {
    QApplication::processEvents();
    window.grab().save(out + "/" + name + ".png");
    std::printf("%s/%s.png\n", qPrintable(out), name);
  };

  // As a person would: each menu drops down (its enabling rules run), then the item.
  auto choose = [&](QMenu* menu, QAction* item) {
    emit menu->aboutToShow();
    item->trigger();
  };
  // Answers a modal dialog as soon as it is shown.
  auto answer = [&](std::function<void()> fill) { QTimer::singleShot(0, &window, fill); };

  dialogs.Answers = {scene};
  choose(window.MenuFile, window.Open);
  shoot("scene");
  // The base's settings (maximum tree level 3) are taken for the scene's trees too.
  dialogs.Answers = {base};
  choose(window.Base, window.LoadBase);
  choose(window.Recognition, window.BuildTrees);
  choose(window.View, window.ViewQuadro);
  shoot("quadro");
  choose(window.View, window.ViewSegmentation);
  shoot("segmentation");
  answer([&] {
    window.OptionsForm->Edit1->setText("2");
    window.OptionsForm->CheckBox1->setChecked(false);
    window.OptionsForm->Button1->click();
  });
  choose(window.View, window.Options);
  choose(window.View, window.ViewRepresentation);
  shoot("representation");
  answer([&] {
    window.OptionsForm->CheckBox2->setChecked(true);
    window.OptionsForm->Button1->click();
  });
  choose(window.View, window.Options);
  choose(window.Recognition, window.Recognize);
  shoot("recognition");

  // A click on the region recognised as a star, at a pixel of it near its centre.
  int32_t chosen = 0;
  for (size_t i = 0; i < window.State.NearestIndices.size(); ++i)
    if (window.State.CodeBase.Names(window.State.NearestIndices[i]).rfind("star@", 0) == 0)
      chosen = static_cast<int32_t>(i);
  const TPattern& star = window.State.Segments.Items(chosen);
  int32_t x = star.Center().X;
  const int32_t y = star.Center().Y;
  for (int32_t c = star.Left; c <= star.Right && !star.IsInside(x, y); ++c) x = c;
  const QPointF at(x + 0.5, y + 0.5);
  QMouseEvent press(QEvent::MouseButtonPress, at, window.LeftForm->Image->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.LeftForm->Image, &press);
  shoot("inspector");

  choose(window.View, window.ZoomOut);
  shoot("zoom-50");
  choose(window.View, window.ActualSize);
  for (int k = 0; k < 3; ++k) choose(window.View, window.ZoomIn);
  shoot("zoom-400");
  return 0;
}
