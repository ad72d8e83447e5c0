#include "shell/MainFrm.h"

#include <QApplication>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <cmath>
#include <new>

#include "app/FormatGeneral.h"
#include "platform/QtBitmap.h"
#include "platform/QtCanvas.h"
#include "platform/QtDialogs.h"
#include "shell/LeftFrm.h"
#include "shell/LocaleNumbers.h"
#include "shell/MethodSettingsFrm.h"
#include "shell/OptionsFrm.h"

namespace ormax {

namespace {

// The hourglass while a command works; restored however the command ends.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

std::string BareName(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).fileName().toStdString();
}

}  // namespace

TMainForm::TMainForm(IFileDialogs* fileDialogs, IMessageBoxes* messages)
    : fileDialogs_(fileDialogs), messages_(messages) {
  if (!fileDialogs_) {
    ownFileDialogs_ = std::make_unique<TQtFileDialogs>(this);
    fileDialogs_ = ownFileDialogs_.get();
  }
  if (!messages_) {
    ownMessages_ = std::make_unique<TQtMessageBoxes>(this);
    messages_ = ownMessages_.get();
  }
  setWindowTitle(ApplicationTitle);
  Area = new QMdiArea;
  Area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(Area);
  CreateActions();
  for (QLabel*& panel : StatusPanels) {
    panel = new QLabel;
    panel->setFixedWidth(150);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(panel);
  }
  FormCreate();

  // The picture window, then the two dialogs (hidden until asked for).
  LeftForm = new TLeftForm;
  Area->addSubWindow(LeftForm);
  LeftForm->FormCreate(ClientSize());
  LeftForm->show();
  OptionsForm = new TOptionsForm(this);
  MethodSettingsForm = new TMethodSettingsForm(this);
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate() {
  const QScreen* screen = QApplication::primaryScreen();
  const QSize desktop = screen ? screen->size() : QSize(1024, 768);
  const int height = static_cast<int>(std::floor(desktop.height() * 0.8));
  const int width = static_cast<int>(std::floor(desktop.width() * 0.8));
  resize(width, height);
  move((desktop.width() - width) / 2, (desktop.height() - height) / 2);
  IndicateGenParameters();
}

QAction* TMainForm::AddCommand(QMenu* menu, const char* caption, void (TMainForm::*handler)()) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  connect(action, &QAction::triggered, this,
          [this, handler] { Guard([&] { (this->*handler)(); }); });
  return action;
}

void TMainForm::CreateActions() {
  MenuFile = menuBar()->addMenu("File");
  Open = AddCommand(MenuFile, "Open", &TMainForm::OpenClick);
  SavePicture = AddCommand(MenuFile, "Save &Picture...", &TMainForm::SavePictureClick);
  SaveCode = AddCommand(MenuFile, "Save &Code...", &TMainForm::SaveCodeClick);

  View = menuBar()->addMenu("View");
  ViewScene = AddCommand(View, "Scene", &TMainForm::ViewSceneClick);
  ViewQuadro = AddCommand(View, "Quadro", &TMainForm::ViewQuadroClick);
  ViewSegmentation = AddCommand(View, "Segmentation", &TMainForm::ViewSegmentationClick);
  ViewRepresentation = AddCommand(View, "Representation", &TMainForm::ViewRepresentationClick);
  ViewRecognition = AddCommand(View, "Recognition", &TMainForm::ViewRecognitionClick);
  N1 = View->addSeparator();
  Options = AddCommand(View, "Options...", &TMainForm::OptionsClick);

  Recognition = menuBar()->addMenu("Recognition");
  Settings = AddCommand(Recognition, "Settings...", &TMainForm::SettingsClick);
  BuildTrees = AddCommand(Recognition, "Build Trees", &TMainForm::BuildTreesClick);
  Recognize = AddCommand(Recognition, "Recognize", &TMainForm::RecognizeClick);

  Base = menuBar()->addMenu("Base");
  LoadBase = AddCommand(Base, "Load...", &TMainForm::LoadBaseClick);

  connect(MenuFile, &QMenu::aboutToShow, this, [this] { Guard([this] { MenuFileClick(); }); });
  connect(View, &QMenu::aboutToShow, this, [this] { Guard([this] { ViewClick(); }); });
  connect(Recognition, &QMenu::aboutToShow, this,
          [this] { Guard([this] { RecognitionClick(); }); });

  for (QAction* a : {SavePicture, SaveCode, ViewSegmentation, ViewRepresentation, ViewRecognition})
    a->setEnabled(false);
}

std::string TMainForm::ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

void TMainForm::Guard(const std::function<void()>& command) {
  std::string text;
  try {
    command();
    return;
  } catch (const std::bad_alloc&) {
    text = "Out of memory";
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
    text = "Unknown error";
  }
  messages_->Error(ApplicationTitle, ErrorReportText(text));
}

QSize TMainForm::ClientSize() const {
  return QSize(width(), height() - menuBar()->sizeHint().height());
}

// ---- status bar ----

void TMainForm::IndicateGenParameters() {
  StatusPanels[0]->setText(QString::fromStdString(
      "Admissible error: " + FormatGeneral(State.AdmissibleError, 4, DecimalSeparator()) + ";"));
  StatusPanels[1]->setText(
      QString::fromStdString("Maximum tree level: " + std::to_string(State.MaxTreeLevel) + ";"));
}

// ---- enabling rules ----

void TMainForm::MenuFileClick() {
  SavePicture->setEnabled(!LeftForm->Picture.isNull());
  SaveCode->setEnabled(State.SceneCodes.Count() == 1);
}

void TMainForm::ViewClick() {
  const bool scene = State.SceneImage != nullptr;
  ViewScene->setEnabled(scene);
  ViewQuadro->setEnabled(State.Segments.Count() > 0);
  ViewSegmentation->setEnabled(State.Segments.Count() > 0);
  ViewRepresentation->setEnabled(State.Trees.Count() > 0);
  ViewRecognition->setEnabled(!State.NearestIndices.empty());
  Options->setEnabled(scene);
}

void TMainForm::RecognitionClick() {
  const bool scene = State.SceneImage != nullptr;
  Settings->setEnabled(scene);
  BuildTrees->setEnabled(scene);
  Recognize->setEnabled(scene && State.CodeBase.Count() > 0);
}

// ---- views ----

void TMainForm::DrawAndShow(TView view) {
  LeftForm->setWindowTitle(QString::fromStdString(ViewCaption(view, State.SceneFileName)));
  if (LeftForm->Picture.isNull()) return;
  {
    TQtCanvas canvas(LeftForm->Picture);
    DrawView(view, State, canvas, DecimalSeparator());
  }
  LeftForm->ShowPicture();
}

void TMainForm::Clear() {
  if (LeftForm->Picture.isNull()) return;
  {
    TQtCanvas canvas(LeftForm->Picture);
    ClearView(canvas);
  }
  LeftForm->ShowPicture();
}

void TMainForm::ShowScene() {
  DrawAndShow(TView::Scene);
}

void TMainForm::ShowQuadro(const TTree& tree, int32_t level) {
  if (level == 0)
    LeftForm->setWindowTitle(
        QString::fromStdString(ViewCaption(TView::Quadro, State.SceneFileName)));
  if (LeftForm->Picture.isNull()) return;
  {
    TQtCanvas canvas(LeftForm->Picture);
    DrawQuadro(tree, canvas, level);
  }
  LeftForm->ShowPicture();
}

void TMainForm::ShowSegmentation() {
  DrawAndShow(TView::Segmentation);
}
void TMainForm::ShowRepresentation() {
  DrawAndShow(TView::Representation);
}
void TMainForm::ShowRecognition() {
  DrawAndShow(TView::Recognition);
}

// ---- commands ----

std::string TMainForm::TargetName(const std::string& chosen, const std::string& extension) {
  const QFileInfo info(QString::fromStdString(chosen));
  QString name = info.fileName();
  if (!name.endsWith(QString::fromStdString(extension), Qt::CaseInsensitive))
    name += QString::fromStdString(extension);
  return (info.absolutePath() + "/" + name).toStdString();
}

void TMainForm::OpenClick() {
  const auto chosen =
      fileDialogs_->OpenPicture({"Open Scene", "Bitmap Files (*.bmp)|*.bmp|All Files|*", ""});
  if (!chosen) return;
  State.ResetAnalysis();
  QImage loaded;
  try {
    loaded = LoadScenePicture(QString::fromStdString(*chosen), true);
  } catch (const EPictureTooLarge& e) {
    // A picture beyond the limits says which limit in the message itself.
    messages_->ErrorWithDetails("Error", "Error in loading file: " + e.Reason(), e.what());
    return;
  } catch (const std::exception& e) {
    messages_->ErrorWithDetails("Error", "Error in loading file", e.what());
    return;
  }
  // The old scene goes only once the new picture has loaded.
  State.SceneFileName = *chosen;
  LeftForm->Picture = loaded;
  State.SceneImage.reset();
  try {
    State.SceneImage = ScenePattern(LeftForm->Picture);
  } catch (const std::exception&) {
    messages_->Error("Error", "Error in loading file");
  }
  LeftForm->FitToPicture();
  ShowScene();
}

void TMainForm::SavePictureClick() {
  const auto chosen = fileDialogs_->SavePicture({"Save Picture", "Bitmap Files (*.bmp)|*.BMP", ""});
  if (!chosen) return;
  ormax::SavePicture(LeftForm->Picture, QString::fromStdString(TargetName(*chosen, ".bmp")));
}

void TMainForm::SaveCodeClick() {
  std::string proposed = BareName(State.SceneFileName);
  proposed = proposed.substr(0, proposed.find('.'));
  const std::string ext = CodeFileExt;
  std::string upper = ext;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto chosen =
      fileDialogs_->Save({"Save Code", "Code Files (*" + ext + ") |*" + upper, proposed});
  if (!chosen) return;
  State.SceneCodes.GetCode(0).SaveToFile(TargetName(*chosen, ext));
}

void TMainForm::OptionsClick() {
  OptionsForm->exec();
}

void TMainForm::SettingsClick() {
  MethodSettingsForm->exec();
}

void TMainForm::BuildTreesClick() {
  {
    WaitCursor wait;
    BuildSceneCodes();
  }
  State.MaxViewLevel = State.MaxTreeLevel;
  ShowRepresentation();
}

void TMainForm::RecognizeClick() {
  {
    WaitCursor wait;
    if (State.SceneCodes.Count() == 0) BuildSceneCodes();
    BuildSceneNearestIndices();
  }
  State.MaxViewLevel = State.MaxTreeLevel;
  ShowRecognition();
}

void TMainForm::LoadBaseClick() {
  const auto chosen = fileDialogs_->Open({"Load Base", "Base Lists (*.txt)|*.txt|All Files|*", ""});
  if (!chosen) return;
  State.ResetAnalysis();
  State.CodeBase.Clear();
  State.BaseFileName = *chosen;
  int32_t n = 0;
  std::string why = State.BaseFileName + ": the list names no code file";
  try {
    n = State.CodeBase.LoadBaseList(State.BaseFileName);
  } catch (const std::exception& e) {
    State.CodeBase.Clear();
    n = 0;
    why = e.what();
  }
  if (n > 0) {
    StatusPanels[2]->setText(QString::number(n) + " trees in Base");
    State.AdmissibleError = State.CodeBase.AdmissibleError;
    State.MaxTreeLevel = State.CodeBase.MaxLevel;
    messages_->Information("Information", std::to_string(n) + " trees loaded");
    IndicateGenParameters();
  } else {
    StatusPanels[2]->setText("Base is Empty");
    messages_->ErrorWithDetails("Error", "Error in loading base or base is empty", why);
  }
}

}  // namespace ormax
