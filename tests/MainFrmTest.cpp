// The desktop program driven as a person would: menus drop down (their enabling
// rules run), items are triggered, file dialogs and message boxes are answered by
// the test, modal dialogs are filled and confirmed while they are shown.
#include "shell/MainFrm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QTableView>
#include <QUrl>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <cctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "analysis/Nearest.h"
#include "qt/QtBitmap.h"
#include "qt/QtCanvas.h"
#include "shell/QtDialogs.h"
#include "shell/InspectorFrm.h"
#include "shell/LeftFrm.h"
#include "shell/MethodSettingsFrm.h"
#include "shell/OptionsFrm.h"
#include "app/TextFields.h"
#include "shell/ResultRows.h"
#include "shell/ResultsFrm.h"
#include "shell/StartFiles.h"
#include "tests/QtRasters.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::TempDir;

class FakeDialogs : public IFileDialogs {
 public:
  std::deque<std::optional<std::string>> Answers;
  std::vector<TFileRequest> Asked;
  std::optional<std::string> Next(const TFileRequest& r) {
    Asked.push_back(r);
    if (Answers.empty()) return std::nullopt;
    auto a = Answers.front();
    Answers.pop_front();
    return a;
  }
  std::optional<std::string> OpenPicture(const TFileRequest& r) override { return Next(r); }
  std::optional<std::string> SavePicture(const TFileRequest& r) override { return Next(r); }
  std::optional<std::string> Save(const TFileRequest& r) override { return Next(r); }
  std::optional<std::string> Open(const TFileRequest& r) override { return Next(r); }
};

class FakeMessages : public IMessageBoxes {
 public:
  struct Box {
    bool IsError;
    std::string Caption, Text, Details;
  };
  std::vector<Box> Shown;
  void Error(const std::string& c, const std::string& t) override {
    Shown.push_back({true, c, t, {}});
  }
  void ErrorWithDetails(const std::string& c, const std::string& t, const std::string& d) override {
    Shown.push_back({true, c, t, d});
  }
  void Information(const std::string& c, const std::string& t) override {
    Shown.push_back({false, c, t, {}});
  }
  // Numbers asked for are answered in turn; none left: cancelled.
  std::deque<double> Numbers;
  std::optional<double> AskNumber(const std::string&, const std::string&, double, double,
                                  double) override {
    if (Numbers.empty()) return std::nullopt;
    const double n = Numbers.front();
    Numbers.pop_front();
    return n;
  }
};

// Pictures: '.' white, '#' red, 'g' green, one character a pixel.
QImage Picture(const std::vector<std::string>& rows) {
  return testing::PictureFromRows(rows);
}

class MainWindow : public ::testing::Test {
 protected:
  MainWindow() : window(&dialogs, &messages) {
    window.show();
    QApplication::processEvents();
  }

  std::string Write(const std::string& name, const QImage& img) {
    const std::string path = dir.File(name);
    SavePicture(img, QString::fromStdString(path));
    return path;
  }
  void OpenScene(const std::string& path) {
    dialogs.Answers = {path};
    Choose(window.MenuFile, window.Open);
  }
  void Choose(QMenu* menu, QAction* item) {
    emit menu->aboutToShow();
    item->trigger();
  }
  bool Enabled(QMenu* menu, QAction* item) {
    emit menu->aboutToShow();
    return item->isEnabled();
  }
  // Which of the items are enabled, in their order, as the menu shows them.
  std::vector<bool> Enabled(QMenu* menu, std::initializer_list<QAction*> items) {
    emit menu->aboutToShow();
    std::vector<bool> enabled;
    for (QAction* item : items) enabled.push_back(item->isEnabled());
    return enabled;
  }
  // Chooses a save item of the File menu with the dialog answering `answer`; returns
  // what the dialog was asked.
  const TFileRequest& SaveAs(QAction* item, std::optional<std::string> answer) {
    dialogs.Answers = {std::move(answer)};
    Choose(window.MenuFile, item);
    return dialogs.Asked.back();
  }
  // Runs `fill` once the next modal dialog is shown, then triggers the item.
  void WithDialog(QMenu* menu, QAction* item, std::function<void()> fill) {
    QTimer::singleShot(0, &window, std::move(fill));
    Choose(menu, item);
  }
  std::string Panel(int i) { return window.StatusPanels[i]->text().toStdString(); }
  QRgb PixelOnScreen(int x, int y) { return window.LeftForm->Picture.pixel(x, y); }
  // Recognition > Settings confirmed with the background at `background` (0 white, 1
  // auto) and, unless specks is empty, that speck size.
  void ReadScenesWith(int background, const std::string& specks) {
    TMethodSettingsForm* form = window.MethodSettingsForm;
    WithDialog(window.Recognition, window.Settings, [&] {
      form->BackgroundBox->setCurrentIndex(background);
      if (!specks.empty()) form->SpecksEdit->setText(QString::fromStdString(specks));
      form->Button1->click();
    });
  }
  // The text of the results exported through File > Export Results as dir/name.
  std::string ExportedResults(const std::string& name) {
    SaveAs(window.ExportResults, dir.File(name));
    const TByteArray bytes = testing::ReadBytes(dir.File(name));
    return std::string(bytes.begin(), bytes.end());
  }

  // A base of code files made from the given one-shape pictures.
  std::string MakeBase(const std::vector<std::pair<std::string, QImage>>& shapes, int level = 2) {
    std::ofstream list(dir.File("base.txt"));
    for (const auto& [name, img] : shapes) {
      TAppState one;
      one.MaxTreeLevel = level;
      one.SceneImage = ScenePattern(img);
      one.BuildSceneCodes();
      one.SceneCodes.GetCode(0).SaveToFile(dir.File(name + ".c"));
      list << name << "\n";
    }
    return dir.File("base.txt");
  }

  TempDir dir;
  FakeDialogs dialogs;
  FakeMessages messages;
  TMainForm window;
};

const std::vector<std::string> kTwoShapes = {"..........", ".###......", ".###..gg..",
                                             ".###..gg..", ".......g..", ".........."};
const std::vector<std::string> kOneShape = {"......", ".####.", ".##...", "......"};

TEST_F(MainWindow, FreshStart) {
  EXPECT_EQ(window.windowTitle().toStdString(), "Ormax 4");
  EXPECT_EQ(Panel(0), "Admissible error: 0;");
  EXPECT_EQ(Panel(1), "Maximum tree level: 0;");
  EXPECT_EQ(Panel(2), "");
  for (QLabel* p : window.StatusPanels) EXPECT_EQ(p->width(), 150);
  // Disabled in the form until the first drop-down.
  for (QAction* a : {window.SavePicture, window.SaveCode, window.ViewSegmentation,
                     window.ViewRepresentation, window.ViewRecognition})
    EXPECT_FALSE(a->isEnabled());
  EXPECT_EQ(window.SavePicture->text().toStdString(), "Save &Picture...");
  EXPECT_EQ(window.SaveCode->text().toStdString(), "Save &Code...");
  EXPECT_TRUE(window.N1->isSeparator());
  EXPECT_FALSE(Enabled(window.View, window.ViewScene));
  EXPECT_FALSE(Enabled(window.Recognition, window.BuildTrees));
  EXPECT_TRUE(window.Open->isEnabled());
  EXPECT_TRUE(window.LoadBase->isEnabled());
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), " ");
}

TEST_F(MainWindow, PictureWindowStartsSquareAndFitsTheScene) {
  window.LeftForm->FormCreate(QSize(1000, 600));
  EXPECT_EQ(window.LeftForm->size(), QSize(480, 480));
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  EXPECT_EQ(window.LeftForm->Panel->size(), QSize(12, 8));  // the bitmap and its bevel
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + dir.File("two.bmp"));
}

TEST_F(MainWindow, OpenBuildAndEveryView) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  ASSERT_NE(window.State.SceneImage, nullptr);
  EXPECT_EQ(PixelOnScreen(1, 1), qRgb(255, 0, 0));
  EXPECT_TRUE(Enabled(window.View, window.ViewScene));
  EXPECT_FALSE(Enabled(window.View, window.ViewQuadro));
  EXPECT_TRUE(Enabled(window.MenuFile, window.SavePicture));

  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(window.State.Segments.Count(), 2);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(),
            "Representation of " + dir.File("two.bmp"));
  EXPECT_EQ(PixelOnScreen(2, 2), qRgb(255, 0, 0));  // the square's filled ellipse
  EXPECT_EQ(PixelOnScreen(0, 0), qRgb(255, 255, 255));
  EXPECT_FALSE(Enabled(window.MenuFile, window.SaveCode));  // two regions

  Choose(window.View, window.ViewQuadro);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Quadro of " + dir.File("two.bmp"));
  Choose(window.View, window.ViewSegmentation);
  const TColor hue0 = RGBToColor(HueToRGB(255, 0, 127, 190));
  const TColor hue255 = RGBToColor(HueToRGB(255, 255, 127, 190));
  EXPECT_EQ(FromQRgb(PixelOnScreen(2, 2)), hue0);
  EXPECT_EQ(FromQRgb(PixelOnScreen(7, 3)), clBlack);  // a two-pixel-wide region is all frame
  EXPECT_EQ(window.State.Segments.Items(1).GetPixel(7, 3), hue255);
  EXPECT_EQ(FromQRgb(PixelOnScreen(0, 0)), clWhite);
  Choose(window.View, window.ViewScene);
  EXPECT_EQ(PixelOnScreen(2, 2), qRgb(255, 0, 0));
  EXPECT_EQ(PixelOnScreen(6, 2), qRgb(0, 255, 0));
}

TEST_F(MainWindow, OneRegionProposesTheCodeNameAndSavesIt) {
  OpenScene(Write("a.b.bmp", Picture(kOneShape)));
  Choose(window.Recognition, window.BuildTrees);
  ASSERT_TRUE(Enabled(window.MenuFile, window.SaveCode));
  SaveAs(window.SaveCode, dir.File("saved"));
  ASSERT_EQ(dialogs.Asked.back().Title, "Save Code");
  EXPECT_EQ(dialogs.Asked.back().ProposedName, "a");
  EXPECT_EQ(dialogs.Asked.back().Filter, "Code Files (*.c) |*.C");
  TCode back;
  back.LoadFromFile(dir.File("saved.c"));
  EXPECT_EQ(back.SaveToBytes(), window.State.SceneCodes.GetCode(0).SaveToBytes());
  // A name that already ends with the extension gets no second one.
  SaveAs(window.SaveCode, dir.File("again.C"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("again.C")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("again.C.c")));
}

TEST_F(MainWindow, SavedPictureIsTheViewOnScreen) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  Choose(window.Recognition, window.BuildTrees);
  Choose(window.View, window.ViewSegmentation);
  SaveAs(window.SavePicture, dir.File("out.BMP"));
  EXPECT_EQ(dialogs.Asked.back().Filter, "Bitmap Files (*.bmp)|*.BMP");
  QImage saved(QString::fromStdString(dir.File("out.BMP")), "bmp");
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), window.LeftForm->Picture);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.BMP.bmp")));

  // Saving over a folder fails with the file's error; nothing is lost.
  std::filesystem::create_directory(dir.File("folder.bmp"));
  SaveAs(window.SavePicture, dir.File("folder.bmp"));
  ASSERT_FALSE(messages.Shown.empty());
  EXPECT_EQ(messages.Shown.back().Caption, "Ormax 4");
  EXPECT_EQ(messages.Shown.back().Text, "Cannot create file " + dir.File("folder.bmp") + ".");
}

TEST_F(MainWindow, AWhiteSceneHasNoRegionsToShow) {
  OpenScene(Write("white.bmp", Picture({"....", "...."})));
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_FALSE(window.State.QuadTree.Empty());
  EXPECT_EQ(Enabled(window.View, {window.ViewQuadro, window.ViewSegmentation,
                                   window.ViewRepresentation}),
            std::vector<bool>(3, false));
  EXPECT_FALSE(Enabled(window.MenuFile, window.SaveCode));
}

TEST_F(MainWindow, AFileThatIsNoBmpKeepsTheOldScene) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  const QImage opened = window.LeftForm->Picture;
  Choose(window.Recognition, window.BuildTrees);
  Picture(kOneShape).save(QString::fromStdString(dir.File("really.png.bmp")), "png");
  OpenScene(dir.File("really.png.bmp"));
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_TRUE(messages.Shown[0].IsError);
  EXPECT_EQ(messages.Shown[0].Caption, "Error");
  EXPECT_EQ(messages.Shown[0].Text, "Error in loading file");
  // The trees shown are gone with the analysis: the old scene is shown as it stands.
  EXPECT_EQ(window.LeftForm->Picture, opened);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + dir.File("two.bmp"));
  ASSERT_NE(window.State.SceneImage, nullptr);
  EXPECT_EQ(window.State.SceneFileName, dir.File("two.bmp"));
  EXPECT_EQ(window.State.Segments.Count(), 0);  // the analysis is gone
  EXPECT_EQ(Enabled(window.View, {window.ViewScene, window.Options, window.ViewQuadro,
                                   window.ViewRepresentation}),
            (std::vector<bool>{true, true, false, false}));
}

TEST_F(MainWindow, CancellingAFileDialogChangesNothing) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  Choose(window.Recognition, window.BuildTrees);
  for (QAction* item : {window.Open, window.SavePicture, window.LoadBase}) {
    dialogs.Answers = {std::nullopt};
    Choose(item == window.LoadBase ? window.Base : window.MenuFile, item);
    EXPECT_EQ(window.State.Segments.Count(), 2);
    EXPECT_EQ(window.State.SceneCodes.Count(), 2);
  }
  EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(MainWindow, LoadingABaseAdoptsItsSettings) {
  const QImage a = Picture({"........", ".######.", ".######.", "........"});
  const QImage b = Picture({"......", ".#....", ".####.", "......"});
  const QImage c = Picture({".....", ".###.", ".#.#.", ".###.", "....."});
  const std::string base = MakeBase({{"bar", a}, {"ell", b}, {"ring", c}}, 0);
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  window.State.MaxTreeLevel = 5;
  window.State.AdmissibleError = 0.5;
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  EXPECT_EQ(Panel(2), "3 trees in Base");
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_FALSE(messages.Shown[0].IsError);
  EXPECT_EQ(messages.Shown[0].Caption, "Information");
  EXPECT_EQ(messages.Shown[0].Text, "3 trees loaded");
  EXPECT_EQ(window.State.MaxTreeLevel, 0);
  EXPECT_EQ(window.State.AdmissibleError, 0.0);
  EXPECT_EQ(Panel(1), "Maximum tree level: 0;");
  EXPECT_FALSE(Enabled(window.View, window.ViewRecognition));
  EXPECT_TRUE(Enabled(window.Recognition, window.Recognize));

  Choose(window.Recognition, window.Recognize);
  EXPECT_EQ(window.State.NearestIndices.size(), 2u);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(),
            "Recognition of scene " + dir.File("two.bmp"));
  EXPECT_TRUE(Enabled(window.View, window.ViewRecognition));
}

TEST_F(MainWindow, ABaseNamingAMissingFileIsEmpty) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  std::ofstream(dir.File("broken.txt")) << "nothere\n";
  dialogs.Answers = {dir.File("broken.txt")};
  Choose(window.Base, window.LoadBase);
  EXPECT_EQ(Panel(2), "Base is Empty");
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Caption, "Error");
  EXPECT_EQ(messages.Shown[0].Text, "Error in loading base or base is empty");
  EXPECT_TRUE(window.State.CodeBase.Empty());
  EXPECT_FALSE(Enabled(window.Recognition, window.Recognize));
}

TEST_F(MainWindow, RecognizeReusesOldCodesUntilBuildTrees) {
  const std::string base = MakeBase({{"bar", Picture({"........", ".######.", "........"})}}, 1);
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  Choose(window.Recognition, window.Recognize);
  ASSERT_EQ(window.State.SceneCodes.Count(), 2);
  EXPECT_EQ(window.State.SceneCodes.GetCode(0).MaxLevel, 1);
  window.State.MaxTreeLevel = 3;
  Choose(window.Recognition, window.Recognize);
  EXPECT_EQ(window.State.SceneCodes.GetCode(0).MaxLevel, 1);  // reused
  EXPECT_EQ(window.State.MaxViewLevel, 3);
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(window.State.SceneCodes.GetCode(0).MaxLevel, 3);
}

TEST_F(MainWindow, MethodSettingsStoreFieldByField) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  TMethodSettingsForm* form = window.MethodSettingsForm;
  window.State.AdmissibleError = 1.0 / 3;
  WithDialog(window.Recognition, window.Settings, [&] {
    EXPECT_EQ(form->Edit1->text().toStdString(), "0.3333333");
    EXPECT_EQ(form->Edit2->text().toStdString(), "0");
    form->Edit1->setText("0.05");
    form->Edit2->setText("300");  // beyond the arrows' range: stored as typed
    form->Button1->click();
  });
  EXPECT_EQ(window.State.AdmissibleError, 0.05);
  EXPECT_EQ(window.State.MaxTreeLevel, 300);
  EXPECT_EQ(Panel(0), "Admissible error: 0.05;");
  EXPECT_EQ(Panel(1), "Maximum tree level: 300;");
  EXPECT_TRUE(messages.Shown.empty());

  WithDialog(window.Recognition, window.Settings, [&] {
    form->Edit1->setText("abc");
    form->Edit2->setText("4");
    form->Button1->click();
  });
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Caption, "Ormax 4");
  EXPECT_EQ(messages.Shown[0].Text, "'abc' is not a valid floating point value.");
  EXPECT_EQ(window.State.AdmissibleError, 0.05);
  EXPECT_EQ(window.State.MaxTreeLevel, 300);

  WithDialog(window.Recognition, window.Settings, [&] {
    form->Edit1->setText("1E-2");
    form->Edit2->setText("x");
    form->Button1->click();
  });
  EXPECT_EQ(messages.Shown.back().Text, "'x' is not a valid integer value.");
  EXPECT_EQ(window.State.AdmissibleError, 0.01);  // stored before the failing field
  EXPECT_EQ(window.State.MaxTreeLevel, 300);
  EXPECT_EQ(Panel(0), "Admissible error: 0.05;");  // not refreshed

  WithDialog(window.Recognition, window.Settings, [&] {
    form->Edit1->setText("0.9");
    form->Button2->click();
  });
  EXPECT_EQ(window.State.AdmissibleError, 0.01);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainWindow, OptionsOfferTheDeepestTreeAndStoreOnOk) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  TOptionsForm* form = window.OptionsForm;
  window.State.MaxTreeLevel = 7;
  WithDialog(window.View, window.Options, [&] {
    EXPECT_EQ(form->UpDown->Max, 7);  // no trees yet: the maximum tree level
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->CheckBox2->isChecked());
    form->Button2->click();
  });
  window.State.MaxTreeLevel = 3;
  window.State.AdmissibleError = 0;
  Choose(window.Recognition, window.BuildTrees);
  int deepest = 0;
  for (const auto& t : window.State.Trees) deepest = std::max(deepest, t->Depth());
  WithDialog(window.View, window.Options, [&] {
    EXPECT_EQ(form->UpDown->Max, deepest);
    EXPECT_EQ(form->Edit1->text().toStdString(), "3");
    form->UpDown->Step(+1);  // the arrows stop at the maximum
    form->UpDown->Step(+1);
    EXPECT_EQ(form->Edit1->text().toInt(), deepest);
    form->Edit1->setText("1");
    form->CheckBox1->setChecked(false);
    form->CheckBox2->setChecked(true);
    form->Button1->click();
  });
  EXPECT_EQ(window.State.MaxViewLevel, 1);
  EXPECT_FALSE(window.State.FillEllipses);
  EXPECT_TRUE(window.State.ShowSameness);

  WithDialog(window.View, window.Options, [&] {
    form->Edit1->setText("deep");
    form->CheckBox2->setChecked(false);
    form->Button1->click();
  });
  EXPECT_EQ(messages.Shown.back().Text, "'deep' is not a valid integer value.");
  EXPECT_EQ(window.State.MaxViewLevel, 1);
  EXPECT_TRUE(window.State.ShowSameness);  // later fields are not stored either
}

// An uncompressed 8-bit BMP of one row (Qt itself writes fewer bits when it can).
TByteArray EightBitBmp(const std::vector<QRgb>& palette, const std::vector<uint8_t>& row) {
  const uint32_t stride = (static_cast<uint32_t>(row.size()) + 3) / 4 * 4;
  const uint32_t offset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  TByteArray b;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](uint32_t v) { put(v, 2); };
  auto u32 = [&](uint32_t v) { put(v, 4); };
  b.push_back('B');
  b.push_back('M');
  u32(offset + stride);
  u32(0);
  u32(offset);
  u32(40);
  u32(static_cast<uint32_t>(row.size()));
  u32(1);
  u16(1);
  u16(8);
  u32(0);
  u32(stride);
  u32(2835);
  u32(2835);
  u32(static_cast<uint32_t>(palette.size()));
  u32(0);
  for (QRgb c : palette) {
    b.push_back(static_cast<uint8_t>(qBlue(c)));
    b.push_back(static_cast<uint8_t>(qGreen(c)));
    b.push_back(static_cast<uint8_t>(qRed(c)));
    b.push_back(0);
  }
  b.insert(b.end(), row.begin(), row.end());
  b.resize(offset + stride, 0);
  return b;
}

TEST_F(MainWindow, EightBitPicturesKeepTheirPalette) {
  testing::WriteBytes(
      dir.File("eight.bmp"),
      EightBitBmp({qRgb(255, 255, 255), qRgb(250, 250, 250), qRgb(10, 20, 30)}, {0, 1, 2}));
  OpenScene(dir.File("eight.bmp"));
  ASSERT_NE(window.State.SceneImage, nullptr);
  EXPECT_EQ(window.State.SceneImage->GetPixel(1, 0), FromQRgb(qRgb(250, 250, 250)));
  EXPECT_EQ(window.State.SceneImage->GetPixel(2, 0), FromQRgb(qRgb(10, 20, 30)));

  // A 24-bit picture takes the nearest colours of the fixed palette.
  QImage rgb(3, 1, QImage::Format_RGB32);
  rgb.setPixel(0, 0, qRgb(255, 255, 255));
  rgb.setPixel(1, 0, qRgb(250, 250, 250));
  rgb.setPixel(2, 0, qRgb(10, 20, 30));
  OpenScene(Write("true.bmp", rgb));
  EXPECT_EQ(window.State.SceneImage->GetPixel(0, 0), clWhite);
  EXPECT_EQ(window.State.SceneImage->GetPixel(1, 0), FromQRgb(qRgb(247, 247, 247)));
  EXPECT_EQ(window.State.SceneImage->GetPixel(2, 0), FromQRgb(qRgb(23, 23, 23)));
}

TEST(MainWindowErrors, ReportTextGetsAFullStop) {
  EXPECT_EQ(TMainForm::ErrorReportText("Stream write error"), "Stream write error.");
  EXPECT_EQ(TMainForm::ErrorReportText("Done."), "Done.");
  EXPECT_EQ(TMainForm::ErrorReportText("(x)"), "(x)");
  EXPECT_EQ(TMainForm::ErrorReportText(""), "");
}

TEST(Palette, FixedPaletteAndNearestColour) {
  const auto& p = FixedPalette();
  EXPECT_EQ(p[0], qRgb(0, 0, 0));
  EXPECT_EQ(p[215], qRgb(255, 255, 255));
  EXPECT_EQ(p[216], qRgb(128, 0, 0));
  EXPECT_EQ(p[223], qRgb(128, 128, 128));
  std::set<QRgb> distinct(p.begin(), p.end());
  EXPECT_EQ(distinct.size(), 256u);
  EXPECT_EQ(NearestPaletteIndex(qRgb(51, 102, 153)), 1 * 36 + 2 * 6 + 3);
  EXPECT_EQ(p[static_cast<size_t>(NearestPaletteIndex(qRgb(130, 1, 0)))], qRgb(128, 0, 0));
  EXPECT_EQ(p[static_cast<size_t>(NearestPaletteIndex(qRgb(250, 250, 250)))], qRgb(247, 247, 247));
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

// One run of the main window through every kind of bad input, then the good road.
TEST_F(MainWindow, KeepsWorkingAfterADamagedPicture) {
  // A damaged BMP: the header promises more than the file holds.
  OpenScene(Write("good-first.bmp", Picture(kTwoShapes)));
  const QImage shown = window.LeftForm->Picture;
  {
    const TByteArray bytes = testing::ReadBytes(dir.File("good-first.bmp"));
    testing::WriteBytes(dir.File("damaged.bmp"), TByteArray(bytes.begin(), bytes.begin() + 60));
  }
  OpenScene(dir.File("damaged.bmp"));
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown.back().Text, "Error in loading file");
  // The details say what the command line says: the file and why.
  EXPECT_EQ(messages.Shown.back().Details,
            dir.File("damaged.bmp") +
                ": cannot read the picture (the file ends before the "
                "picture does)");
  EXPECT_EQ(window.LeftForm->Picture, shown);
}

TEST_F(MainWindow, SaysWhichNumberADialogFieldCannotTake) {
  OpenScene(Write("scene.bmp", Picture(kTwoShapes)));
  // A non-number in each dialog field.
  WithDialog(window.Recognition, window.Settings, [&] {
    window.MethodSettingsForm->Edit1->setText("1,2,3");
    window.MethodSettingsForm->Button1->click();
  });
  EXPECT_EQ(messages.Shown.back().Text, "'1,2,3' is not a valid floating point value.");
  WithDialog(window.Recognition, window.Settings, [&] {
    window.MethodSettingsForm->Edit2->setText("2.5");
    window.MethodSettingsForm->Button1->click();
  });
  EXPECT_EQ(messages.Shown.back().Text, "'2.5' is not a valid integer value.");
  WithDialog(window.View, window.Options, [&] {
    window.OptionsForm->Edit1->setText("");
    window.OptionsForm->Button1->click();
  });
  EXPECT_EQ(messages.Shown.back().Text, "'' is not a valid integer value.");
}

TEST_F(MainWindow, KeepsWorkingAfterBadBases) {
  // Bases: a truncated code file, a missing code file, mismatched settings.
  const std::string base = MakeBase({{"bar", Picture({"........", ".######.", "........"})},
                                     {"ell", Picture({"......", ".#....", ".####.", "......"})}},
                                    1);
  {
    TByteArray cut = testing::ReadBytes(dir.File("bar.c"));
    cut.resize(cut.size() / 2);
    testing::WriteBytes(dir.File("cut.c"), cut);
    std::ofstream(dir.File("cut.txt")) << "bar\ncut\n";
    std::ofstream(dir.File("missing.txt")) << "bar\nnothere\n";
    TCode other;
    other.LoadFromFile(dir.File("ell.c"));
    other.AdmissibleError = 0.25;
    other.SaveToFile(dir.File("other.c"));
    std::ofstream(dir.File("mismatch.txt")) << "bar\nother\n";
  }
  const std::pair<const char*, std::string> why[] = {
      {"cut.txt", dir.File("cut.c") + " is damaged"},
      {"missing.txt", "Cannot open file " + dir.File("nothere.c")},
      {"mismatch.txt", dir.File("other.c") + ": it was built with admissible error 0.25"}};
  for (const auto& [list, reason] : why) {
    const size_t before = messages.Shown.size();
    dialogs.Answers = {dir.File(list)};
    Choose(window.Base, window.LoadBase);
    ASSERT_EQ(messages.Shown.size(), before + 1) << list;
    EXPECT_EQ(messages.Shown.back().Text, "Error in loading base or base is empty") << list;
    EXPECT_EQ(Panel(2), "Base is Empty") << list;
    EXPECT_TRUE(window.State.CodeBase.Empty()) << list;
    EXPECT_NE(messages.Shown.back().Details.find(reason), std::string::npos)
        << list << ": " << messages.Shown.back().Details;
  }

  // And the good road still works: open, load the base, recognise.
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  EXPECT_EQ(messages.Shown.back().Text, "2 trees loaded");
  OpenScene(Write("good.bmp", Picture({"..........", ".######...", "..........", "...#......",
                                       "...####...", ".........."})));
  Choose(window.Recognition, window.Recognize);
  ASSERT_EQ(window.State.NearestIndices.size(), 2u);
  EXPECT_EQ(window.State.CodeBase.Names(window.State.NearestIndices[0]), "bar");
  EXPECT_EQ(window.State.CodeBase.Names(window.State.NearestIndices[1]), "ell");
  EXPECT_EQ(window.State.NearestMeasures[0], 0.0);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(),
            "Recognition of scene " + dir.File("good.bmp"));
}

TEST_F(MainWindow, AScenePastTheLimitSaysWhichLimit) {
  // A BMP header for 9000 x 9000 pixels: refused before any pixel is read.
  TByteArray bmp = {'B', 'M'};
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(54 + 16, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(9000, 4);
  put(9000, 4);
  put(1, 2);
  put(24, 2);
  for (int k = 0; k < 6; ++k) put(0, 4);
  bmp.resize(bmp.size() + 16, 0);
  testing::WriteBytes(dir.File("huge.bmp"), bmp);
  OpenScene(dir.File("huge.bmp"));
  ASSERT_FALSE(messages.Shown.empty());
  EXPECT_EQ(messages.Shown.back().Text,
            "Error in loading file: the picture is 9000 x 9000 pixels; the largest scene has "
            "8192 x 8192 pixels");
  EXPECT_EQ(window.State.SceneImage, nullptr);
}

}  // namespace
}  // namespace ormax

namespace ormax {
namespace {

TEST_F(MainWindow, ALargeSceneCanBeScrolledThrough) {
  QImage big(2000, 1500, QImage::Format_RGB32);
  big.fill(Qt::white);
  OpenScene(Write("big.bmp", big));
  QApplication::processEvents();
  EXPECT_EQ(window.LeftForm->Panel->size(), QSize(2002, 1502));
  // Inside the picture window, which stays within the work area.
  EXPECT_GT(window.LeftForm->Scroller->horizontalScrollBar()->maximum(), 0);
  EXPECT_GT(window.LeftForm->Scroller->verticalScrollBar()->maximum(), 0);
  EXPECT_TRUE(window.Area->viewport()->rect().contains(window.LeftForm->geometry()));
}

}  // namespace
}  // namespace ormax

// ---- faults a new user met: the picture window, the save dialogs, the status bar ----
namespace ormax {
namespace {

// A scene with a one-pixel blue border and a green pixel inside: every pixel of it
// must be on screen.
QImage BorderedScene(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(qRgb(255, 255, 255));
  for (int x = 0; x < w; ++x) img.setPixel(x, 0, qRgb(0, 0, 255)), img.setPixel(x, h - 1, qRgb(0, 0, 255));
  for (int y = 0; y < h; ++y) img.setPixel(0, y, qRgb(0, 0, 255)), img.setPixel(w - 1, y, qRgb(0, 0, 255));
  img.setPixel(w / 2, h / 2, qRgb(0, 255, 0));
  return img;
}

// Where `part` appears pixel for pixel inside `whole`; (-1, -1) when nowhere.
QPoint Find(const QImage& whole, const QImage& part) {
  const QImage a = whole.convertToFormat(QImage::Format_RGB32);
  const QImage b = part.convertToFormat(QImage::Format_RGB32);
  for (int oy = 0; oy + b.height() <= a.height(); ++oy)
    for (int ox = 0; ox + b.width() <= a.width(); ++ox) {
      bool same = true;
      for (int y = 0; y < b.height() && same; ++y)
        for (int x = 0; x < b.width() && same; ++x)
          same = a.pixel(ox + x, oy + y) == b.pixel(x, y);
      if (same) return {ox, oy};
    }
  return {-1, -1};
}

TEST_F(MainWindow, AClosedPictureWindowComesBackWithTheNextView) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  window.LeftForm->close();
  QApplication::processEvents();
  ASSERT_FALSE(window.LeftForm->isVisible());
  Choose(window.View, window.ViewScene);
  EXPECT_TRUE(window.LeftForm->isVisible());

  window.LeftForm->close();
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_TRUE(window.LeftForm->isVisible());

  window.LeftForm->close();
  OpenScene(Write("one.bmp", Picture(kOneShape)));
  EXPECT_TRUE(window.LeftForm->isVisible());
  QApplication::processEvents();
  EXPECT_NE(Find(window.LeftForm->grab().toImage(), window.LeftForm->Picture), QPoint(-1, -1));
}

TEST_F(MainWindow, OpeningWhileMinimisedRestoresThePictureWindow) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  window.LeftForm->showMinimized();
  QApplication::processEvents();
  ASSERT_TRUE(window.LeftForm->isMinimized());
  const QImage next = BorderedScene(30, 20);
  OpenScene(Write("next.bmp", next));
  QApplication::processEvents();
  EXPECT_FALSE(window.LeftForm->isMinimized());
  EXPECT_TRUE(window.LeftForm->isVisible());
  EXPECT_EQ(window.LeftForm->Panel->size(), QSize(32, 22));
  EXPECT_NE(Find(window.LeftForm->grab().toImage(), next), QPoint(-1, -1));

  // A view brings it back too.
  window.LeftForm->showMinimized();
  QApplication::processEvents();
  Choose(window.View, window.ViewScene);
  EXPECT_FALSE(window.LeftForm->isMinimized());
}

TEST_F(MainWindow, EveryPixelOfTheSceneIsOnScreen) {
  for (const QSize size : {QSize(12, 8), QSize(480, 320)}) {
    const QImage scene = BorderedScene(size.width(), size.height());
    OpenScene(Write("bordered.bmp", scene));
    QApplication::processEvents();
    const QImage shown = window.LeftForm->grab().toImage();
    const QPoint at = Find(shown, scene);
    ASSERT_NE(at, QPoint(-1, -1)) << size.width() << " x " << size.height();
    // The window fits the bitmap exactly: the bevel is right around it.
    const QPoint panel = window.LeftForm->Panel->mapTo(window.LeftForm, QPoint(0, 0));
    EXPECT_EQ(at, panel + QPoint(TLeftForm::BevelWidth, TLeftForm::BevelWidth));
  }
}

TEST_F(MainWindow, StatusPanelsAreWideEnoughForTheirText) {
  window.State.AdmissibleError = 1.0 / 3;
  window.IndicateGenParameters();
  window.StatusPanels[2]->setText("123456 trees in Base");
  QApplication::processEvents();
  EXPECT_EQ(Panel(0), "Admissible error: 0.3333;");
  for (QLabel* p : window.StatusPanels) {
    EXPECT_GE(p->width(), 150);
    EXPECT_GE(p->width(), p->sizeHint().width()) << p->text().toStdString();
  }
}

// The real file dialog, answered as a person would: a name is typed, and a question
// about replacing a file is answered with No or Yes.
class TypedSave {
 public:
  TypedSave(const std::string& typed, bool replace) : typed_(typed), replace_(replace) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
    timer_.start();
  }
  bool Asked = false;
  std::string Question;

 private:
  void Step() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      Asked = true;
      Question = box->text().toStdString();
      box->button(replace_ ? QMessageBox::Yes : QMessageBox::No)->click();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      if (!typed) {
        typed = true;
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(typed_));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
      } else {
        dialog->reject();  // after No the dialog stays: give up
      }
    }
  }
  bool typed = false;
  std::string typed_;
  bool replace_;
  QTimer timer_;
};

TEST(SaveDialogs, ATypedNameWithoutTheExtensionAsksBeforeReplacing) {
  TempDir dir;
  FakeMessages messages;
  TMainForm window(nullptr, &messages);  // Qt's own file dialogs
  window.show();
  window.LeftForm->Picture = Picture(kTwoShapes);
  const TByteArray old = {'o', 'l', 'd'};
  testing::WriteBytes(dir.File("rep1.bmp"), old);
  testing::WriteBytes(dir.File("rep1.v2.bmp"), old);
  for (const char* typed : {"rep1", "rep1.v2"}) {
    TypedSave answer(dir.File(typed), false);
    emit window.MenuFile->aboutToShow();
    window.SavePicture->trigger();
    EXPECT_TRUE(answer.Asked) << typed;
    EXPECT_NE(answer.Question.find(std::string(typed) + ".bmp already exists"), std::string::npos)
        << answer.Question;
    EXPECT_EQ(testing::ReadBytes(dir.File(std::string(typed) + ".bmp")), old) << typed;
  }
  {
    TypedSave answer(dir.File("rep1"), true);
    emit window.MenuFile->aboutToShow();
    window.SavePicture->trigger();
    EXPECT_TRUE(answer.Asked);
  }
  QImage saved(QString::fromStdString(dir.File("rep1.bmp")), "bmp");
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), window.LeftForm->Picture);
  EXPECT_FALSE(std::filesystem::exists(dir.File("rep1.bmp.bmp")));
  EXPECT_TRUE(messages.Shown.empty());
}

}  // namespace
}  // namespace ormax

// ---- what a desktop program is expected to have ----
namespace ormax {
namespace {

// A click on the picture at a scene pixel, where the picture window shows it.
void ClickScenePixel(TMainForm& window, int x, int y) {
  const TZoom z = window.LeftForm->Zoom;
  const QPointF at(x * z.Num / z.Den + 0.5, y * z.Num / z.Den + 0.5);
  QMouseEvent press(QEvent::MouseButtonPress, at, window.LeftForm->Image->mapToGlobal(at),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.LeftForm->Image, &press);
}

void PressKey(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

TEST_F(MainWindow, MenusHaveAccessKeysAndShortcutsFollowTheRules) {
  EXPECT_EQ(window.MenuFile->title().toStdString(), "&File");
  EXPECT_EQ(window.View->title().toStdString(), "&View");
  EXPECT_EQ(window.Recognition->title().toStdString(), "&Recognition");
  EXPECT_EQ(window.Base->title().toStdString(), "&Base");
  EXPECT_EQ(window.Help->title().toStdString(), "&Help");
  const std::vector<std::pair<QAction*, QKeySequence>> keys = {
      {window.Open, QKeySequence("Ctrl+O")},      {window.SavePicture, QKeySequence("Ctrl+S")},
      {window.LoadBase, QKeySequence("Ctrl+L")},  {window.BuildTrees, QKeySequence("Ctrl+B")},
      {window.Recognize, QKeySequence("Ctrl+R")}, {window.Exit, QKeySequence("Ctrl+Q")},
      {window.ZoomIn, QKeySequence::ZoomIn},      {window.ZoomOut, QKeySequence::ZoomOut},
      {window.ActualSize, QKeySequence("Ctrl+0")}};
  for (const auto& [action, key] : keys)
    EXPECT_EQ(action->shortcut(), key) << action->text().toStdString();

  // A shortcut needs no drop-down: Build Trees and Recognize without a scene do
  // nothing, and after Open the picture can be saved at once.
  window.BuildTrees->trigger();
  window.Recognize->trigger();
  EXPECT_TRUE(messages.Shown.empty());
  EXPECT_EQ(window.State.SceneImage, nullptr);
  dialogs.Answers = {Write("two.bmp", Picture(kTwoShapes))};
  window.Open->trigger();
  EXPECT_TRUE(window.SavePicture->isEnabled());
  window.BuildTrees->trigger();
  EXPECT_EQ(window.State.Segments.Count(), 2);
  EXPECT_TRUE(messages.Shown.empty());
}

TEST_F(MainWindow, AboutTellsTheVersionAndExitCloses) {
  window.About->trigger();
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_FALSE(messages.Shown[0].IsError);
  EXPECT_EQ(messages.Shown[0].Caption, "About Ormax 4");
  const std::string& text = messages.Shown[0].Text;
  EXPECT_EQ(text.rfind(std::string("Ormax 4, version ") + ORMAX_VERSION + "\n", 0), 0u) << text;
  EXPECT_NE(text.find("shapes in pictures"), std::string::npos) << text;
  ASSERT_TRUE(window.isVisible());
  window.Exit->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindow, TheBaseMenuPointsToTheCheckOfACollection) {
  window.Collections->trigger();
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_FALSE(messages.Shown[0].IsError);
  const std::string& text = messages.Shown[0].Text;
  EXPECT_NE(text.find("ormax-cli evaluate --leave-one-out shapes/ --sweep"), std::string::npos);
  EXPECT_NE(text.find("--add"), std::string::npos);
  EXPECT_TRUE(window.Collections->isEnabled());
}

TEST_F(MainWindow, BothWindowsCarryTheProgramsIcon) {
  for (QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(window.LeftForm)}) {
    const QImage icon = w->windowIcon().pixmap(64, 64).toImage();
    ASSERT_FALSE(icon.isNull()) << "the SVG icon engine (libqt6svg6) is missing";
    EXPECT_EQ(icon.pixel(32, 6), qRgb(0x1f, 0x5f, 0xa8));  // data/ormax.svg's background
  }
}

TEST(StartFiles, ASceneAndABaseOrAUsageError) {
  const TStartFiles none = ParseStartArguments({});
  EXPECT_FALSE(none.Scene);
  EXPECT_FALSE(none.Base);
  EXPECT_TRUE(none.Error.empty());
  const TStartFiles both = ParseStartArguments({"a.bmp", "--base", "b.txt"});
  EXPECT_EQ(both.Scene, "a.bmp");
  EXPECT_EQ(both.Base, "b.txt");
  EXPECT_EQ(ParseStartArguments({"--base=b.txt"}).Base, "b.txt");
  EXPECT_FALSE(ParseStartArguments({"--base=b.txt"}).Scene);
  EXPECT_TRUE(ParseStartArguments({"--help"}).Help);
  const TStartFiles version = ParseStartArguments({"--version"});
  EXPECT_TRUE(version.Version);
  EXPECT_FALSE(version.Help);
  EXPECT_TRUE(version.Error.empty());
  EXPECT_EQ(StartVersion(), std::string("ormax ") + ORMAX_VERSION + "\n");
  // help2man reads the options from lines that begin with two spaces and a dash.
  for (const char* option : {"\n  -b, --base <LIST.txt>", "\n  -h, --help", "\n  --version"})
    EXPECT_NE(StartUsage().find(option), std::string::npos) << option;
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"a.bmp", "b.bmp"}, {"--base"}, {"--base="}, {"-x"}}) {
    const TStartFiles f = ParseStartArguments(bad);
    EXPECT_FALSE(f.Error.empty()) << bad[0];
    EXPECT_FALSE(f.Scene);
    EXPECT_FALSE(f.Base);
  }
}

TEST_F(MainWindow, StartFilesAndDropsOpenAsTheMenusWould) {
  const std::string base = MakeBase({{"bar", Picture({"........", ".######.", "........"})}}, 1);
  const std::string scene = Write("two.bmp", Picture(kTwoShapes));
  window.OpenStartFiles({scene, base, false, ""});
  EXPECT_EQ(window.State.SceneFileName, scene);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + scene);
  EXPECT_EQ(window.State.CodeBase.Count(), 1);
  EXPECT_EQ(window.State.MaxTreeLevel, 1);
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Text, "1 trees loaded");
  EXPECT_TRUE(Enabled(window.Recognition, window.Recognize));
  window.OpenStartFiles({dir.File("missing.bmp"), std::nullopt, false, ""});
  EXPECT_EQ(messages.Shown.back().Text, "Error in loading file");

  // Drops: a BMP opens, a base list loads, anything else is refused.
  auto drop = [&](const std::string& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropped);
    return true;
  };
  const std::string other = Write("other.bmp", Picture(kOneShape));
  ASSERT_TRUE(drop(other));
  EXPECT_EQ(window.State.SceneFileName, other);
  EXPECT_EQ(window.LeftForm->Picture, Picture(kOneShape));
  window.State.CodeBase.Clear();
  ASSERT_TRUE(drop(base));
  EXPECT_EQ(window.State.CodeBase.Count(), 1);
  EXPECT_FALSE(drop(dir.File("bar.c")));
}

TEST(Zoom, WholeStepsBothWays) {
  TZoom z;
  EXPECT_EQ(z.In(), (TZoom{2, 1}));
  EXPECT_EQ(z.Out(), (TZoom{1, 2}));
  EXPECT_EQ(z.Out().In(), z);
  EXPECT_EQ((TZoom{1, 3}).Percent(), 33);
  EXPECT_EQ((TZoom{TZoom::MaxNum, 1}).In(), (TZoom{TZoom::MaxNum, 1}));
  EXPECT_EQ((TZoom{1, TZoom::MaxDen}).Out(), (TZoom{1, TZoom::MaxDen}));
  EXPECT_EQ((TZoom{1, 3}).Scaled(10), 3);
  EXPECT_EQ((TZoom{1, 16}).Scaled(3), 1);  // never less than a pixel
}

TEST_F(MainWindow, ZoomShowsWholePixelsAndSavesAtActualSize) {
  QImage scene(3, 2, QImage::Format_RGB32);
  const QRgb colours[6] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),
                           qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 255, 255)};
  for (int i = 0; i < 6; ++i) scene.setPixel(i % 3, i / 3, colours[i]);
  const std::string path = Write("tiny.bmp", scene);
  OpenScene(path);
  for (int k = 0; k < 3; ++k) Choose(window.View, window.ZoomIn);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + path + " (400 %)");
  QApplication::processEvents();
  const QImage shown = window.LeftForm->grab().toImage();
  const QPoint at = window.LeftForm->Image->mapTo(window.LeftForm, QPoint(0, 0));
  ASSERT_EQ(window.LeftForm->Image->size(), QSize(12, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x)
      ASSERT_EQ(shown.pixel(at.x() + x, at.y() + y), colours[y / 4 * 3 + x / 4]) << x << ", " << y;

  SaveAs(window.SavePicture, dir.File("saved.bmp"));
  EXPECT_EQ(QImage(QString::fromStdString(dir.File("saved.bmp")), "bmp")
                .convertToFormat(QImage::Format_RGB32),
            window.LeftForm->Picture);
  EXPECT_EQ(window.LeftForm->Picture.size(), QSize(3, 2));

  // Regions are found under the click at any zoom; the caption follows every view.
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(),
            "Representation of " + path + " (400 %)");
  ClickScenePixel(window, 2, 1);  // white
  EXPECT_EQ(window.SelectedRegion, -1);
  ClickScenePixel(window, 1, 1);
  EXPECT_EQ(window.SelectedRegion, 0);
  Choose(window.View, window.ZoomOut);
  EXPECT_EQ(window.LeftForm->Image->size(), QSize(9, 6));
  Choose(window.View, window.ActualSize);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Representation of " + path);
  EXPECT_EQ(window.LeftForm->Panel->size(), QSize(5, 4));
  Choose(window.View, window.Fit);
  EXPECT_GT(window.LeftForm->Zoom.Percent(), 400);
  const QRect room = window.Area->viewport()->rect();
  EXPECT_TRUE(room.contains(QRect(QPoint(0, 0), window.LeftForm->size())));

  // A scene larger than the room fits at a whole fraction; the zoom of the small scene
  // would have made it too large to show, so it opens at 100 %.
  QImage big(1900, 1300, QImage::Format_RGB32);
  big.fill(Qt::white);
  ASSERT_EQ(window.LeftForm->Zoom.Num, TZoom::MaxNum);
  OpenScene(Write("big.bmp", big));
  EXPECT_EQ(window.LeftForm->Zoom, TZoom());
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + dir.File("big.bmp"));
  Choose(window.View, window.Fit);
  EXPECT_LT(window.LeftForm->Zoom.Percent(), 100);
  EXPECT_EQ(window.LeftForm->Zoom.Num, 1);
  EXPECT_LE(window.LeftForm->width(), room.width());
  EXPECT_LE(window.LeftForm->height(), room.height());
}

TEST_F(MainWindow, SelectionIsAnOverlayThatSavePictureLeavesOut) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_TRUE(window.InspectorForm->isVisible());
  EXPECT_TRUE(window.ResultsForm->isVisible());
  const QImage drawn = window.LeftForm->Picture;
  ClickScenePixel(window, 2, 2);  // the square
  ASSERT_EQ(window.SelectedRegion, 0);
  EXPECT_EQ(window.InspectorForm->Figures.Region, 0);
  EXPECT_NE(window.InspectorForm->Text->text().toStdString().find("Region 0"), std::string::npos);
  EXPECT_EQ(window.LeftForm->Picture, drawn);
  QApplication::processEvents();
  const QImage shown = window.LeftForm->grab().toImage();
  const QPoint at = window.LeftForm->Image->mapTo(window.LeftForm, QPoint(0, 0));
  // The ring around the 3 x 3 square, and nothing else, is outlined.
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool ring = x <= 4 && y <= 4 && !(x >= 1 && x <= 3 && y >= 1 && y <= 3);
      EXPECT_EQ(shown.pixel(at.x() + x, at.y() + y) == qRgb(255, 0, 255), ring) << x << ", " << y;
    }
  SaveAs(window.SavePicture, dir.File("saved.bmp"));
  EXPECT_EQ(QImage(QString::fromStdString(dir.File("saved.bmp")), "bmp")
                .convertToFormat(QImage::Format_RGB32),
            drawn);

  // Arrow keys step round; the table follows; a click on white clears.
  PressKey(window.LeftForm, Qt::Key_Right);
  EXPECT_EQ(window.SelectedRegion, 1);
  EXPECT_EQ(window.ResultsForm->Table->currentIndex().data().toString().toStdString(), "1");
  PressKey(window.LeftForm, Qt::Key_Right);
  EXPECT_EQ(window.SelectedRegion, 0);
  PressKey(window.LeftForm, Qt::Key_Left);
  EXPECT_EQ(window.SelectedRegion, 1);
  ClickScenePixel(window, 0, 0);
  EXPECT_EQ(window.SelectedRegion, -1);
  EXPECT_EQ(window.InspectorForm->Figures.Region, -1);
  EXPECT_FALSE(window.ResultsForm->Table->selectionModel()->hasSelection());

  // Sorted by pixels, largest first: the square (9 pixels) before the green one (5).
  QTableView* table = window.ResultsForm->Table;
  int pixels = -1;
  for (int c = 0; c < table->model()->columnCount(); ++c)
    if (table->model()->headerData(c, Qt::Horizontal).toString() == "pixels") pixels = c;
  ASSERT_GE(pixels, 0);
  table->sortByColumn(pixels, Qt::DescendingOrder);
  EXPECT_EQ(table->model()->index(0, pixels).data().toString().toStdString(), "9");
  table->selectRow(1);
  EXPECT_EQ(window.SelectedRegion, 1);
  // A new build drops the selection.
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(window.SelectedRegion, -1);
  EXPECT_TRUE(window.LeftForm->Outline.empty());
}

TEST_F(MainWindow, LongCommandsKeepTheHourglassUntilThePictureIsDrawn) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  const std::string base = MakeBase({{"bar", Picture({"........", ".######.", "........"})}}, 1);
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  std::vector<std::string> seen;
  QObject::connect(window.LeftForm, &TLeftForm::PictureShown, &window, [&] {
    const QCursor* cursor = QApplication::overrideCursor();
    seen.push_back((cursor && cursor->shape() == Qt::WaitCursor ? "wait: " : "none: ") +
                   window.ActivityPanel->text().toStdString());
  });
  Choose(window.Recognition, window.BuildTrees);
  Choose(window.Recognition, window.Recognize);
  Choose(window.View, window.ViewSegmentation);
  EXPECT_EQ(seen, (std::vector<std::string>{"wait: Drawing the representation...",
                                            "wait: Drawing the recognition...",
                                            "wait: Drawing the segmentation..."}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(window.ActivityPanel->text().toStdString(), "");
}

// The figures of the inspector and the exported results against the command line on
// a sample scene: the exported CSV is the same bytes as `ormax-cli recognize --format
// csv --min-sameness 0` (the desktop program labels every region), the inspector's
// figures are those of its rows (and the code depth and items of `ormax-cli codes`), and
// its runner-up list is that of `ormax-cli recognize --top 5`.
std::string RunCli(const QStringList& arguments) {
  QProcess cli;
  cli.start(ORMAX_CLI, arguments);
  EXPECT_TRUE(cli.waitForFinished(120000));
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  return cli.readAllStandardOutput().toStdString();
}

std::vector<std::map<std::string, std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
    lines.push_back(cells);
  }
  std::vector<std::map<std::string, std::string>> rows;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::map<std::string, std::string> row;
    for (size_t c = 0; c < lines[0].size() && c < lines[i].size(); ++c) row[lines[0][c]] = lines[i][c];
    rows.push_back(row);
  }
  return rows;
}

double Number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

// The inspector's figures of a region against the command line's: its row of
// `recognize` (box, pixels, centre, axes and angle) and of `codes` (depth and items).
void ExpectTheRegionsFigures(const TInspectorFigures& f,
                             const std::map<std::string, std::string>& row,
                             const std::map<std::string, std::string>& code) {
  EXPECT_EQ(std::to_string(f.Bounds.Left), row.at("left"));
  EXPECT_EQ(std::to_string(f.Bounds.Top), row.at("top"));
  EXPECT_EQ(std::to_string(f.Bounds.Right), row.at("right"));
  EXPECT_EQ(std::to_string(f.Bounds.Bottom), row.at("bottom"));
  EXPECT_EQ(std::to_string(f.Pixels), row.at("pixels"));
  EXPECT_EQ(std::to_string(f.Centre.X), row.at("center_x"));
  EXPECT_EQ(std::to_string(f.Centre.Y), row.at("center_y"));
  EXPECT_EQ(f.AxisA, Number(row.at("axis_a")));
  EXPECT_EQ(f.AxisB, Number(row.at("axis_b")));
  EXPECT_EQ(f.Angle, Number(row.at("angle")));
  EXPECT_EQ(std::to_string(f.Depth), code.at("depth"));
  EXPECT_EQ(std::to_string(f.Items), code.at("items"));
}

// The inspector's runner-up list against the region's row of `recognize --top 5`: five
// entries of five shapes, nearest first, the first being the command line's nearest
// entry.
void ExpectTheNearestEntries(const TInspectorFigures& f,
                             const std::map<std::string, std::string>& row) {
  ASSERT_EQ(f.Nearest.size(), 5u);
  EXPECT_EQ(f.Nearest[0].Entry, row.at("entry"));
  EXPECT_EQ(f.Nearest[0].Distance, Number(row.at("distance")));
  EXPECT_EQ(f.Nearest[0].Sameness, Number(row.at("sameness")));
  std::set<std::string> shapes;
  for (size_t k = 0; k < 5; ++k) {
    if (k > 0) {
      const std::string top = "top" + std::to_string(k + 1) + "_";
      EXPECT_EQ(f.Nearest[k].Entry, row.at(top + "entry"));
      EXPECT_EQ(f.Nearest[k].Distance, Number(row.at(top + "distance")));
      EXPECT_EQ(f.Nearest[k].Sameness, Number(row.at(top + "sameness")));
    }
    shapes.insert(ShapeOfEntry(f.Nearest[k].Entry));
    if (k > 0) {
      EXPECT_GE(f.Nearest[k].Distance, f.Nearest[k - 1].Distance);
    }
  }
  EXPECT_EQ(shapes.size(), 5u);
}

TEST_F(MainWindow, InspectorAndResultsAreTheCommandLinesFigures) {
  const std::string scene = ORMAX_SOURCE_DIR "/examples/scenes/scene1.bmp";
  const std::string base = ORMAX_SOURCE_DIR "/examples/base/base.txt";
  OpenScene(scene);
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  EXPECT_FALSE(Enabled(window.MenuFile, window.ExportResults));
  Choose(window.Recognition, window.Recognize);
  ASSERT_TRUE(Enabled(window.MenuFile, window.ExportResults));
  SaveAs(window.ExportResults, dir.File("results"));
  EXPECT_EQ(dialogs.Asked.back().Title, "Export Results");
  EXPECT_EQ(dialogs.Asked.back().ProposedName, "scene1.csv");

  const std::string recognised = RunCli(
      {"recognize", QString::fromStdString(scene), "--base", QString::fromStdString(base),
       "--format", "csv", "--jobs", "1", "--min-sameness", "0"});
  const TByteArray exported = testing::ReadBytes(dir.File("results.csv"));
  EXPECT_EQ(std::string(exported.begin(), exported.end()), recognised);
  const auto rows = ReadCsv(RunCli({"recognize", QString::fromStdString(scene), "--base",
                                    QString::fromStdString(base), "--format", "csv", "--top", "5"}));
  const int32_t n = window.State.Segments.Count();
  ASSERT_GT(n, 3);
  ASSERT_EQ(rows.size(), static_cast<size_t>(n));
  EXPECT_EQ(window.ResultsForm->Table->model()->rowCount(), n);
  const auto codes = ReadCsv(RunCli(
      {"codes", QString::fromStdString(scene), "--level",
       QString::number(window.State.CodeBase.MaxLevel), "--error",
       QString::fromStdString(ShortestDouble(window.State.CodeBase.AdmissibleError)), "--format",
       "csv", "-o", QString::fromStdString(dir.File("codes"))}));
  ASSERT_EQ(codes.size(), static_cast<size_t>(n));

  for (int32_t r = 0; r < n; ++r) {
    window.SelectRegion(r);
    const TInspectorFigures& f = window.InspectorForm->Figures;
    const auto& row = rows[static_cast<size_t>(r)];
    ASSERT_EQ(f.Region, r);
    ExpectTheRegionsFigures(f, row, codes[static_cast<size_t>(r)]);
    ASSERT_NO_FATAL_FAILURE(ExpectTheNearestEntries(f, row)) << "region " << r;
  }
}

// ---- how scenes are read: the background and the speck size ----

// A picture on light grey, as a scanner gives it: a red bar of 192 pixels, a green
// square of 144 and a black speck of 4.
QImage GreyGround() {
  QImage img(60, 40, QImage::Format_RGB32);
  img.fill(qRgb(192, 192, 192));
  for (int y = 8; y < 20; ++y)
    for (int x = 8; x < 24; ++x) img.setPixel(x, y, qRgb(255, 0, 0));
  for (int y = 14; y < 26; ++y)
    for (int x = 36; x < 48; ++x) img.setPixel(x, y, qRgb(0, 255, 0));
  for (int y = 4; y < 6; ++y)
    for (int x = 52; x < 54; ++x) img.setPixel(x, y, qRgb(0, 0, 0));
  return img;
}

std::multiset<int64_t> RegionSizes(const TAppState& state) {
  std::multiset<int64_t> sizes;
  for (const auto& r : state.Segments) sizes.insert(r->InsideCount());
  return sizes;
}

TEST_F(MainWindow, OnWhiteAGreyGroundIsOneRegionAndThePictureIsNamedWithTheRemedy) {
  OpenScene(Write("grey.bmp", GreyGround()));
  EXPECT_FALSE(window.ReadingPanel->isVisible());
  EXPECT_FALSE(window.MisfitPanel->isVisible());

  // On white, ground and shapes are one region, and the picture is named with the remedy.
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(RegionSizes(window.State), (std::multiset<int64_t>{60 * 40}));
  ASSERT_FALSE(window.State.BackgroundMisfit.empty());
  EXPECT_TRUE(window.MisfitPanel->isVisible());
  EXPECT_EQ(window.MisfitPanel->text().toStdString(), "grey.bmp: the background is not exact white");
  ASSERT_NE(window.MisfitNote, nullptr);
  EXPECT_TRUE(window.MisfitNote->isVisible());
  EXPECT_FALSE(window.MisfitNote->isModal());
  const std::string note = window.MisfitNote->text().toStdString();
  EXPECT_EQ(note.rfind("grey.bmp: " + window.State.BackgroundMisfit + ".", 0), 0u) << note;
  EXPECT_NE(note.find("\"found in the picture (auto)\" in Recognition > Settings"), std::string::npos);
  EXPECT_TRUE(messages.Shown.empty());  // nothing to answer
  EXPECT_EQ(Panel(0), "Admissible error: 0;");
}

TEST_F(MainWindow, TheBackgroundSettingReadsTheSceneAgain) {
  const std::string path = Write("grey.bmp", GreyGround());
  TMethodSettingsForm* form = window.MethodSettingsForm;
  OpenScene(path);
  Choose(window.Recognition, window.BuildTrees);  // on white: one region, and the note
  ASSERT_TRUE(window.MisfitPanel->isVisible());
  ASSERT_NE(window.MisfitNote, nullptr);

  // Auto: the dialog offers its speck size, and the scene is read again on white.
  WithDialog(window.Recognition, window.Settings, [&] {
    EXPECT_EQ(form->BackgroundBox->currentIndex(), 0);
    EXPECT_EQ(form->SpecksEdit->text().toStdString(), "0");
    form->BackgroundBox->setCurrentIndex(1);
    EXPECT_EQ(form->SpecksEdit->text().toStdString(), "32");
    form->Button1->click();
  });
  EXPECT_EQ(window.State.Reading, DefaultReading(TBackground::Auto));
  EXPECT_TRUE(window.ReadingPanel->isVisible());
  EXPECT_EQ(window.ReadingPanel->text().toStdString(),
            "Background: auto, regions under 32 pixels left out");
  EXPECT_EQ(window.State.Segments.Count(), 0);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + path);
  EXPECT_EQ(PixelOnScreen(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(PixelOnScreen(10, 10), qRgb(255, 0, 0));
  EXPECT_FALSE(window.MisfitPanel->isVisible());
  EXPECT_FALSE(window.MisfitNote->isVisible());
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(RegionSizes(window.State), (std::multiset<int64_t>{144, 192}));
  EXPECT_FALSE(window.MisfitPanel->isVisible());
  EXPECT_FALSE(window.MisfitNote->isVisible());

  // The speck size alone reads nothing again; it counts from the next Build Trees.
  ReadScenesWith(1, "0");
  EXPECT_EQ(window.ReadingPanel->text().toStdString(), "Background: auto");
  EXPECT_EQ(window.State.Segments.Count(), 2);
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(RegionSizes(window.State), (std::multiset<int64_t>{4, 144, 192}));

  ReadScenesWith(1, "-1");
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Text, "'-1' is not a number of pixels from 0 to 1073741824.");
  EXPECT_EQ(window.State.Reading, (TSceneReading{TBackground::Auto, 0}));

  // Back to white with a speck size of its own: the grey ground returns, one region again.
  ReadScenesWith(0, "5");
  EXPECT_EQ(window.State.Reading, (TSceneReading{TBackground::White, 5}));
  EXPECT_EQ(window.ReadingPanel->text().toStdString(),
            "Background: white, regions under 5 pixels left out");
  EXPECT_EQ(PixelOnScreen(0, 0), qRgb(192, 192, 192));
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(RegionSizes(window.State), (std::multiset<int64_t>{60 * 40}));
  EXPECT_TRUE(window.MisfitNote->isVisible());
  ReadScenesWith(0, "0");
  EXPECT_FALSE(window.ReadingPanel->isVisible());
  EXPECT_EQ(window.ReadingPanel->text().toStdString(), "");
}

TEST_F(MainWindow, LoadingABaseAdoptsItsReading) {
  TAppState one;
  one.SceneImage = ScenePattern(Picture({"......", ".####.", ".####.", "......"}));
  one.BuildSceneCodes();
  one.SceneCodes.GetCode(0).SaveToFile(dir.File("box.c"));
  std::ofstream(dir.File("auto.txt"))
      << "% made by ormax-cli base: maximum tree level 0, admissible error 0, background auto, "
         "min pixels 32\nbox\n";
  const std::string path = Write("grey.bmp", GreyGround());
  OpenScene(path);
  dialogs.Answers = {dir.File("auto.txt")};
  Choose(window.Base, window.LoadBase);
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Text, "1 trees loaded");
  EXPECT_EQ(window.State.Reading, DefaultReading(TBackground::Auto));
  EXPECT_EQ(window.ReadingPanel->text().toStdString(),
            "Background: auto, regions under 32 pixels left out");
  EXPECT_EQ(PixelOnScreen(0, 0), qRgb(255, 255, 255));  // read again as the base's pictures
  Choose(window.Recognition, window.Recognize);
  EXPECT_EQ(RegionSizes(window.State), (std::multiset<int64_t>{144, 192}));
  EXPECT_EQ(window.State.NearestIndices.size(), 2u);
  EXPECT_FALSE(window.MisfitPanel->isVisible());

  // A base of white pictures records no reading: the user's stays, and so does the scene.
  dialogs.Answers = {MakeBase({{"bar", Picture({"........", ".######.", "........"})}}, 0)};
  Choose(window.Base, window.LoadBase);
  EXPECT_EQ(window.State.Reading, DefaultReading(TBackground::Auto));
  EXPECT_TRUE(window.ReadingPanel->isVisible());
  EXPECT_EQ(PixelOnScreen(0, 0), qRgb(255, 255, 255));
  Choose(window.Recognition, window.Recognize);
  EXPECT_EQ(RegionSizes(window.State), (std::multiset<int64_t>{144, 192}));
  EXPECT_FALSE(window.MisfitPanel->isVisible());
  EXPECT_EQ(messages.Shown.size(), 2u);
  // Back to white by the user's choice: the paper is one region, and the program says so.
  window.SetReading(TSceneReading{});
  EXPECT_FALSE(window.ReadingPanel->isVisible());
  EXPECT_EQ(PixelOnScreen(0, 0), qRgb(192, 192, 192));
  Choose(window.Recognition, window.Recognize);
  EXPECT_EQ(RegionSizes(window.State), (std::multiset<int64_t>{60 * 40}));
  EXPECT_TRUE(window.MisfitPanel->isVisible());
}

TEST_F(MainWindow, OpenReadsPngAndJpegPicturesWithTheReading) {
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  const std::string filter = dialogs.Asked.back().Filter;
  EXPECT_EQ(filter.rfind("Bitmap Files (*.bmp)|*.bmp|", 0), 0u) << filter;
  const QStringList offered = QtFilter(filter).split(";;");
  ASSERT_EQ(offered.size(), 3);
  for (const char* pattern : {"*.bmp", "*.png", "*.PNG", "*.jpg", "*.jpeg"})
    EXPECT_TRUE(offered[1].endsWith(")") && offered[1].contains(pattern)) << pattern;

  Picture(kOneShape).save(QString::fromStdString(dir.File("one.png")), "png");
  OpenScene(dir.File("one.png"));
  EXPECT_TRUE(messages.Shown.empty());
  EXPECT_EQ(window.State.SceneFileName, dir.File("one.png"));
  EXPECT_EQ(window.LeftForm->Picture, Picture(kOneShape));
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(window.State.Segments.Count(), 1);

  // A JPEG's ground is never one colour: read with the ground found in the picture.
  window.State.Reading = DefaultReading(TBackground::Auto);
  ASSERT_TRUE(GreyGround().save(QString::fromStdString(dir.File("grey.jpg")), "jpeg", 90));
  OpenScene(dir.File("grey.jpg"));
  EXPECT_TRUE(messages.Shown.empty());
  EXPECT_EQ(PixelOnScreen(0, 0), qRgb(255, 255, 255));
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(window.State.Segments.Count(), 2);

  // A dropped PNG opens too.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("one.png")))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &dropped);
  EXPECT_EQ(window.State.SceneFileName, dir.File("one.png"));
}

}  // namespace
}  // namespace ormax

// ---- the desktop program walked again as a new user ----
namespace ormax {
namespace {

bool IsInk(QRgb c) {
  return qRed(c) + qGreen(c) + qBlue(c) < 3 * 128;
}

QImage OnScreen(const TMainForm& window) {
  return window.LeftForm->Image->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST_F(MainWindow, ZoomKeepsThePictureWindowInTheWorkAreaAndScrollsInside) {
  const QImage scene = BorderedScene(300, 200);
  OpenScene(Write("bordered.bmp", scene));
  window.LeftForm->move(40, 30);
  QRect room = window.Area->viewport()->rect();
  for (int k = 0; k < 3; ++k) Choose(window.View, window.ZoomIn);
  QApplication::processEvents();
  ASSERT_EQ(window.LeftForm->Zoom.Percent(), 400);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(),
            "Scene from " + dir.File("bordered.bmp") + " (400 %)");
  EXPECT_EQ(window.LeftForm->Panel->size(), QSize(1202, 802));
  // The whole window, caption and buttons included, is in the work area.
  EXPECT_TRUE(room.contains(window.LeftForm->geometry())) << room.width() << " x " << room.height();
  QScrollBar* across = window.LeftForm->Scroller->horizontalScrollBar();
  QScrollBar* down = window.LeftForm->Scroller->verticalScrollBar();
  ASSERT_GT(across->maximum(), 0);
  ASSERT_GT(down->maximum(), 0);
  // The middle of the picture stayed in the middle: the green pixel is in view.
  const QWidget* view = window.LeftForm->Scroller->viewport();
  const QPoint green = window.LeftForm->Image->mapTo(view, QPoint(150 * 4 + 2, 100 * 4 + 2));
  EXPECT_TRUE(view->rect().contains(green)) << green.x() << ", " << green.y();
  // Scrolled to the end, the last corner of the picture is on screen.
  across->setValue(across->maximum());
  down->setValue(down->maximum());
  QApplication::processEvents();
  const QPoint corner = window.LeftForm->Image->mapTo(view, QPoint(1199, 799));
  EXPECT_TRUE(view->rect().contains(corner)) << corner.x() << ", " << corner.y();

  // A smaller main window keeps it in view too.
  window.resize(520, 420);
  QApplication::processEvents();
  room = window.Area->viewport()->rect();
  EXPECT_TRUE(room.contains(window.LeftForm->geometry()));
  // Back at 100 %, the window fits the picture, without scroll bars.
  window.resize(1000, 800);
  QApplication::processEvents();
  Choose(window.View, window.ActualSize);
  QApplication::processEvents();
  EXPECT_EQ(window.LeftForm->Panel->size(), QSize(302, 202));
  EXPECT_EQ(window.LeftForm->Scroller->viewport()->size(), QSize(302, 202));
  EXPECT_EQ(across->maximum(), 0);

  // With a region selected, zooming keeps it in view, wherever it is.
  QImage aside(300, 200, QImage::Format_RGB32);
  aside.fill(Qt::white);
  for (int y = 20; y < 25; ++y)
    for (int x = 270; x < 275; ++x) aside.setPixel(x, y, qRgb(255, 0, 0));
  OpenScene(Write("aside.bmp", aside));
  Choose(window.Recognition, window.BuildTrees);
  ClickScenePixel(window, 272, 22);
  ASSERT_EQ(window.SelectedRegion, 0);
  for (int k = 0; k < 4; ++k) Choose(window.View, window.ZoomIn);
  QApplication::processEvents();
  const QPoint square = window.LeftForm->Image->mapTo(view, QPoint(272 * 5, 22 * 5));
  EXPECT_TRUE(view->rect().contains(square)) << square.x() << ", " << square.y();
}

TEST_F(MainWindow, ZoomingOutKeepsOnePixelLines) {
  // Ink on an odd column and an odd row, and a frame of one pixel around a red square:
  // taking every other pixel would drop them all.
  QImage scene(41, 31, QImage::Format_RGB32);
  scene.fill(Qt::white);
  for (int y = 0; y < 31; ++y) scene.setPixel(21, y, qRgb(0, 0, 0));
  for (int x = 0; x < 41; ++x) scene.setPixel(x, 15, qRgb(0, 0, 0));
  for (int y = 3; y <= 11; ++y)
    for (int x = 3; x <= 11; ++x)
      scene.setPixel(x, y, x == 3 || x == 11 || y == 3 || y == 11 ? qRgb(0, 0, 0) : qRgb(255, 0, 0));
  OpenScene(Write("lines.bmp", scene));
  for (const int den : {2, 3, 4}) {
    Choose(window.View, window.ZoomOut);
    ASSERT_EQ(window.LeftForm->Zoom, (TZoom{1, den}));
    const QImage shown = OnScreen(window);
    ASSERT_EQ(shown.size(), QSize(41 / den, 31 / den));
    for (int y = 0; y < shown.height(); ++y)
      EXPECT_TRUE(IsInk(shown.pixel(21 / den, y))) << "1/" << den << ", row " << y;
    for (int x = 0; x < shown.width(); ++x)
      EXPECT_TRUE(IsInk(shown.pixel(x, 15 / den))) << "1/" << den << ", column " << x;
    // Every side of the frame.
    for (int k = 3 / den; k <= 11 / den; ++k) {
      EXPECT_TRUE(IsInk(shown.pixel(k, 3 / den)) && IsInk(shown.pixel(k, 11 / den)) &&
                  IsInk(shown.pixel(3 / den, k)) && IsInk(shown.pixel(11 / den, k)))
          << "1/" << den << ", " << k;
    }
  }
  // The last pixels of a side that the zoom does not divide are kept with the last block.
  QImage edge(5, 1, QImage::Format_RGB32);
  edge.fill(Qt::white);
  edge.setPixel(4, 0, qRgb(0, 0, 255));
  const QImage half = ShownPicture(edge, {1, 2});
  ASSERT_EQ(half.size(), QSize(2, 1));
  EXPECT_EQ(half.pixel(1, 0), qRgb(0, 0, 255));
  EXPECT_EQ(half.pixel(0, 0), qRgb(255, 255, 255));
  // Zooming in stays sharp, and the picture saved stays 1:1.
  Choose(window.View, window.ActualSize);
  Choose(window.View, window.ZoomIn);
  EXPECT_EQ(OnScreen(window), ShownPicture(scene, {2, 1}));
  EXPECT_EQ(OnScreen(window).pixel(43, 0), qRgb(0, 0, 0));
  EXPECT_EQ(OnScreen(window).pixel(44, 0), qRgb(255, 255, 255));
  SaveAs(window.SavePicture, dir.File("saved.bmp"));
  EXPECT_EQ(QImage(QString::fromStdString(dir.File("saved.bmp")), "bmp")
                .convertToFormat(QImage::Format_RGB32),
            scene);
}

// A red square the sample base knows, and a hook it does not (the command line
// withholds it); pictures drawn here, so the rule meets a doubtful answer.
QImage SquareAndHook() {
  QImage img(60, 40, QImage::Format_RGB32);
  img.fill(Qt::white);
  auto fill = [&](int x0, int y0, int x1, int y1, QRgb c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) img.setPixel(x, y, c);
  };
  fill(5, 5, 17, 17, qRgb(255, 0, 0));
  fill(30, 20, 45, 23, qRgb(0, 200, 0));
  fill(42, 20, 45, 35, qRgb(0, 200, 0));
  fill(35, 30, 42, 33, qRgb(0, 200, 0));
  return img;
}

// The labels of the Results dock's rows, in their order.
std::vector<std::string> ResultLabels(TMainForm& window) {
  std::vector<std::string> out;
  for (const auto& row : window.ResultsForm->Rows().Rows) out.push_back(std::get<std::string>(row.back()));
  return out;
}

TEST_F(MainWindow, OneChoiceOfLabelsInThePictureTheDocksAndTheExport) {
  const std::string base = ORMAX_SOURCE_DIR "/examples/base/base.txt";
  const std::string scene = Write("hook.bmp", SquareAndHook());
  const QStringList recognize = {"recognize", QString::fromStdString(scene), "--base",
                                 QString::fromStdString(base), "--format", "csv", "--jobs", "1"};
  const auto cli = ReadCsv(RunCli(recognize));
  ASSERT_EQ(cli.size(), 2u);
  ASSERT_EQ(cli[0].at("label"), "square");
  ASSERT_EQ(cli[1].at("label"), "unknown");  // the hook: the command line withholds it

  OpenScene(scene);
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  Choose(window.Recognition, window.Recognize);
  const QPoint hook = window.State.Segments.Items(1).Center().X >= 0
                          ? QPoint(window.State.Segments.Items(1).Center().X,
                                   window.State.Segments.Items(1).Center().Y)
                          : QPoint();
  auto labelPatch = [&] { return window.LeftForm->Picture.copy(hook.x(), hook.y(), 20, 10); };

  // By default every region is labelled, as the Recognition view always was.
  EXPECT_TRUE(window.LabelEveryRegion->isChecked());
  EXPECT_EQ(ResultLabels(window), (std::vector<std::string>{"square", cli[1].at("shape")}));
  EXPECT_EQ(window.ResultsForm->Note->text().toStdString(), "Labels: every region, its nearest shape");
  const QImage everyRegion = labelPatch();

  // As the command line: the same labels everywhere, and the same export bytes.
  Choose(window.LabelsMenu, window.LabelAsCommandLine);
  EXPECT_TRUE(window.LabelAsCommandLine->isChecked());
  EXPECT_EQ(ResultLabels(window), (std::vector<std::string>{"square", "unknown"}));
  EXPECT_NE(window.ResultsForm->Note->text().indexOf("as ormax-cli recognize"), -1);
  EXPECT_NE(labelPatch(), everyRegion);  // the picture says "unknown" at the hook
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Recognition of scene " + scene);
  ClickScenePixel(window, 43, 25);
  ASSERT_EQ(window.SelectedRegion, 1);
  EXPECT_EQ(window.InspectorForm->Figures.Label, "unknown");
  EXPECT_NE(window.InspectorForm->Text->text().indexOf("Label: unknown"), -1);
  EXPECT_EQ(ExportedResults("rule.csv"), RunCli(recognize));

  // From a sameness asked for: the command line's --min-sameness.
  messages.Numbers = {40};
  Choose(window.LabelsMenu, window.LabelAtLeast);
  EXPECT_TRUE(window.LabelAtLeast->isChecked());
  EXPECT_EQ(window.ResultsForm->Note->text().toStdString(), "Labels: sameness at least 40 %, else unknown");
  EXPECT_EQ(window.InspectorForm->Figures.Label, cli[1].at("shape"));
  EXPECT_EQ(ExportedResults("forty.csv"), RunCli(recognize + QStringList{"--min-sameness", "40"}));
  EXPECT_EQ(labelPatch(), everyRegion);
  // Cancelled: nothing changes.
  Choose(window.LabelsMenu, window.LabelAtLeast);
  EXPECT_TRUE(window.LabelAtLeast->isChecked());
  EXPECT_EQ(*window.State.Labels->MinSameness, 40);
  Choose(window.LabelsMenu, window.LabelEveryRegion);
  EXPECT_EQ(labelPatch(), everyRegion);
}

TEST_F(MainWindow, WorkThatIsGoneIsNeverShown) {
  const QImage a = Picture({"........", ".######.", ".######.", "........"});
  const std::string base = MakeBase({{"bar", a}}, 0);
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  const QImage scene = window.LeftForm->Picture;
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  Choose(window.Recognition, window.Recognize);
  ASSERT_NE(window.LeftForm->Picture, scene);
  // A failed Open drops the recognition: the picture and caption show the scene.
  OpenScene(dir.File("missing.bmp"));
  ASSERT_FALSE(messages.Shown.empty());
  EXPECT_TRUE(window.State.NearestIndices.empty());
  EXPECT_EQ(window.LeftForm->Picture, scene);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + dir.File("two.bmp"));
  EXPECT_TRUE(window.ViewScene->isChecked());
  // So does loading a base while the trees are shown.
  Choose(window.Recognition, window.BuildTrees);
  ASSERT_NE(window.LeftForm->Picture, scene);
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  EXPECT_EQ(window.LeftForm->Picture, scene);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Scene from " + dir.File("two.bmp"));
  // Build Trees of a scene without regions still shows its own (empty) view.
  OpenScene(Write("white.bmp", Picture({"....", "...."})));
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(window.LeftForm->windowTitle().toStdString(), "Representation of " + dir.File("white.bmp"));
}

TEST_F(MainWindow, SavesSayWhereTheFileWentAndTheNextStartsThere) {
  std::filesystem::create_directories(dir.File("scenes"));
  std::filesystem::create_directories(dir.File("codes"));
  std::filesystem::create_directories(dir.File("pictures"));
  OpenScene(Write("scenes/one.bmp", Picture(kOneShape)));
  Choose(window.Recognition, window.BuildTrees);
  SaveAs(window.SaveCode, dir.File("codes/one"));
  EXPECT_EQ(dialogs.Asked.back().Folder, dir.File("scenes"));  // the scene's folder first
  EXPECT_EQ(window.ActivityPanel->text().toStdString(), "Code saved to " + dir.File("codes/one.c"));
  SaveAs(window.SavePicture, dir.File("pictures/p"));
  EXPECT_EQ(dialogs.Asked.back().Folder, dir.File("codes"));
  EXPECT_EQ(window.ActivityPanel->text().toStdString(),
            "Picture saved to " + dir.File("pictures/p.bmp"));
  const std::string base = MakeBase({{"one", Picture(kOneShape)}});
  dialogs.Answers = {base};
  Choose(window.Base, window.LoadBase);
  EXPECT_EQ(dialogs.Asked.back().Folder, "");  // opening is the dialog's own business
  Choose(window.Recognition, window.Recognize);
  EXPECT_EQ(window.ActivityPanel->text().toStdString(), "");  // the word goes with the next command
  SaveAs(window.ExportResults, dir.File("pictures/results"));
  EXPECT_EQ(dialogs.Asked.back().Folder, dir.File("pictures"));
  EXPECT_EQ(window.ActivityPanel->text().toStdString(),
            "Results exported to " + dir.File("pictures/results.csv"));
  // A cancelled save says nothing.
  SaveAs(window.SavePicture, std::nullopt);
  EXPECT_EQ(window.ActivityPanel->text().toStdString(), "");
}

TEST_F(MainWindow, TheViewMenuChecksTheViewOnScreenAndOOpensOptions) {
  for (QAction* a : {window.ViewScene, window.ViewQuadro, window.ViewSegmentation,
                     window.ViewRepresentation, window.ViewRecognition})
    EXPECT_FALSE(a->isChecked()) << a->text().toStdString();
  OpenScene(Write("two.bmp", Picture(kTwoShapes)));
  auto checked = [&] {
    std::vector<std::string> names;
    for (QAction* a : {window.ViewScene, window.ViewQuadro, window.ViewSegmentation,
                       window.ViewRepresentation, window.ViewRecognition})
      if (a->isChecked()) names.push_back(a->text().toStdString());
    return names;
  };
  EXPECT_EQ(checked(), std::vector<std::string>{"Scene"});
  Choose(window.Recognition, window.BuildTrees);
  EXPECT_EQ(checked(), std::vector<std::string>{"Representation"});
  Choose(window.View, window.ViewQuadro);
  EXPECT_EQ(checked(), std::vector<std::string>{"Quadro"});
  // Choosing the view on screen again keeps it checked.
  Choose(window.View, window.ViewQuadro);
  EXPECT_EQ(checked(), std::vector<std::string>{"Quadro"});

  // Every item of the View menu has its own access key, and Alt+V O opens the Options.
  std::map<QChar, std::string> keys;
  for (QAction* a : window.View->actions()) {
    const QKeySequence key = QKeySequence::mnemonic(a->text());
    if (key.isEmpty()) continue;
    const QChar letter = key.toString().back().toUpper();
    EXPECT_EQ(keys.count(letter), 0u) << a->text().toStdString() << " and " << keys[letter];
    keys[letter] = a->text().toStdString();
  }
  bool optionsShown = false;
  const TZoom zoom = window.LeftForm->Zoom;
  window.View->popup(window.mapToGlobal(QPoint(10, 10)));
  QApplication::processEvents();
  // The dialog is closed as soon as it is up, whenever the menu opens it.
  QTimer watch;
  watch.setInterval(10);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (QApplication::activeModalWidget() != window.OptionsForm) return;
    optionsShown = true;
    window.OptionsForm->reject();
  });
  watch.start();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_O, Qt::NoModifier, "o");
  QApplication::sendEvent(window.View, &press);
  QElapsedTimer waited;
  waited.start();
  while (!optionsShown && waited.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  watch.stop();
  EXPECT_TRUE(optionsShown);
  EXPECT_EQ(window.LeftForm->Zoom, zoom);
}

}  // namespace
}  // namespace ormax
