// Screenshots: drives the real main window through its actions on a scene of several
// shapes (one of them multi-coloured) and saves a PNG of the whole window in each of
// the five views. Usage: ormax_screenshots OUTPUT_FOLDER
// The file dialogs and message boxes are answered by the tool itself.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <numbers>

#include "platform/QtBitmap.h"
#include "platform/QtCanvas.h"
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
};

QPolygonF Star(QPointF c, double outer, double inner, double turn) {
  QPolygonF p;
  for (int k = 0; k < 10; ++k) {
    const double r = k % 2 ? inner : outer, a = turn + k * std::numbers::pi / 5;
    p << c + QPointF(r * std::cos(a), r * std::sin(a));
  }
  return p;
}

// Draws one shape of kind `k` centred at c, turned and scaled, without anti-aliasing.
void DrawShape(QPainter& p, int kind, QPointF c, double turn, double scale, QColor color) {
  p.save();
  p.translate(c);
  p.rotate(turn);
  p.scale(scale, scale);
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  switch (kind) {
    case 0:
      p.drawRect(QRectF(-40, -12, 80, 24));
      break;
    case 1:
      p.drawEllipse(QPointF(0, 0), 30, 30);
      break;
    case 2:
      p.drawPolygon(QPolygonF({{-30, 25}, {30, 25}, {-5, -30}}));
      break;
    case 3:
      p.drawPolygon(Star({0, 0}, 34, 14, -std::numbers::pi / 2));
      break;
    case 4:
      p.drawPolygon(QPolygonF({{-25, -30}, {-10, -30}, {-10, 15}, {25, 15}, {25, 30}, {-25, 30}}));
      break;
  }
  p.restore();
}

QImage OneShape(int kind, QColor color) {
  QImage img(160, 160, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  DrawShape(p, kind, {80, 80}, 0, 1, color);
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: ormax_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  const QString work = QDir::tempPath() + "/ormax-screenshots";
  QDir(work).removeRecursively();
  QDir().mkpath(work);

  // The scene: five shapes in other colours and places than in the base, the
  // triangle larger, the star in three colours (one region, many quadtree cells).
  const char* names[] = {"bar", "disc", "triangle", "star", "ell"};
  QImage scene(620, 420, QImage::Format_RGB32);
  scene.fill(Qt::white);
  {
    QPainter p(&scene);
    DrawShape(p, 0, {100, 90}, 0, 1, QColor(200, 0, 0));
    DrawShape(p, 1, {290, 100}, 0, 1, QColor(0, 0, 204));
    DrawShape(p, 2, {450, 110}, 0, 1.4, QColor(0, 153, 0));
    DrawShape(p, 4, {110, 300}, 0, 1, QColor(102, 51, 153));
    DrawShape(p, 3, {330, 300}, 0, 1, QColor(255, 153, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(204, 0, 102));
    p.drawRect(QRect(318, 288, 24, 24));
    p.setBrush(QColor(0, 102, 102));
    p.drawRect(QRect(326, 296, 8, 8));
  }
  SavePicture(scene, work + "/scene.bmp");

  // A base of one code per shape, each from a picture of that shape alone.
  {
    std::ofstream list((work + "/base.txt").toStdString());
    list << "% made by ormax_screenshots\n";
    for (int k = 0; k < 5; ++k) {
      const QString file = work + "/" + names[k] + ".bmp";
      SavePicture(OneShape(k, Qt::black), file);
      TAppState one;
      one.MaxTreeLevel = 3;
      one.SceneImage = ScenePattern(LoadScenePicture(file, true));
      one.BuildSceneCodes();
      one.SceneCodes.GetCode(0).SaveToFile((work + "/" + names[k] + ".c").toStdString());
      list << names[k] << "\n";
    }
  }

  ScriptedDialogs dialogs;
  PrintedMessages messages;
  TMainForm window(&dialogs, &messages);
  window.resize(900, 640);
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
  dialogs.Answers = {(work + "/scene.bmp").toStdString()};
  choose(window.MenuFile, window.Open);
  shoot("scene");
  // Answers a modal dialog as soon as it is shown.
  auto answer = [&](std::function<void()> fill) { QTimer::singleShot(0, &window, fill); };
  answer([&] {
    window.MethodSettingsForm->Edit2->setText("3");
    window.MethodSettingsForm->Button1->click();
  });
  choose(window.Recognition, window.Settings);
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
  dialogs.Answers = {(work + "/base.txt").toStdString()};
  choose(window.Base, window.LoadBase);
  answer([&] {
    window.OptionsForm->CheckBox2->setChecked(true);
    window.OptionsForm->Button1->click();
  });
  choose(window.View, window.Options);
  choose(window.Recognition, window.Recognize);
  shoot("recognition");
  QDir(work).removeRecursively();
  return 0;
}
