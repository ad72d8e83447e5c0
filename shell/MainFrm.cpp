// MainFrm: the main window (see MainFrm.h).
//   construction and actions, Guard and RunCommand, status bar (the reading and the
//   background misfit too), enabling rules, views, commands, the labels, the
//   selection, drops
// Long commands show the hourglass and say what they do in the last status panel until
// the picture is drawn.
#include "shell/MainFrm.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <sstream>

#include "app/FormatGeneral.h"
#include "app/RecognitionRows.h"
#include "codes/Files.h"
#include "qt/QtBitmap.h"
#include "qt/QtCanvas.h"
#include "shell/QtDialogs.h"
#include "shell/InspectorFrm.h"
#include "shell/LeftFrm.h"
#include "shell/LocaleNumbers.h"
#include "shell/MethodSettingsFrm.h"
#include "shell/OptionsFrm.h"
#include "shell/ResultRows.h"
#include "shell/ResultsFrm.h"

// The icon (data/ormax.svg) lives in the library's resources: registered once here.
static void InitResources() {
  Q_INIT_RESOURCE(ormax);
}

namespace ormax {

namespace {

// The hourglass and a word on what is being done while a command works; restored
// however the command ends. Nested ones put back the outer one's words.
class WaitCursor {
 public:
  WaitCursor(QLabel* panel, const QString& doing) : panel_(panel), before_(panel->text()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    panel_->setText(doing);
    panel_->repaint();  // the window does not answer until the command ends
  }
  ~WaitCursor() {
    panel_->setText(before_);
    QApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  QLabel* panel_;
  QString before_;
};

bool HasSuffix(const QString& file, const char* suffix) {
  return QFileInfo(file).suffix().compare(suffix, Qt::CaseInsensitive) == 0;
}

// A .bmp is read by the BMP reader alone, so that a damaged BMP is refused rather than
// taken for whatever else its bytes might be; other pictures in any format Qt reads.
bool IsBmp(const std::string& path) {
  return HasSuffix(QString::fromStdString(path), "bmp");
}

// What Open offers and a drop takes as a scene.
bool IsPictureName(const QString& file) {
  for (const char* suffix : {"bmp", "png", "jpg", "jpeg"})
    if (HasSuffix(file, suffix)) return true;
  return false;
}

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
  InitResources();
  setWindowIcon(QIcon(":/ormax.svg"));
  setAcceptDrops(true);
  Area = new QMdiArea;
  Area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(Area);
  Area->viewport()->installEventFilter(this);
  CreateActions();
  CreateStatusBar();
  FormCreate();

  // The picture window, then the two dialogs (hidden until asked for).
  LeftForm = new TLeftForm;
  LeftForm->setWindowIcon(windowIcon());
  Area->addSubWindow(LeftForm);
  LeftForm->FormCreate(ClientSize());
  LeftForm->show();
  OptionsForm = new TOptionsForm(this);
  MethodSettingsForm = new TMethodSettingsForm(this);
  connect(LeftForm, &TLeftForm::PixelClicked, this,
          [this](QPoint p) { Guard([&] { SelectAt(p); }); });
  connect(LeftForm, &TLeftForm::StepRequested, this,
          [this](int step) { Guard([&] { StepRegion(step); }); });

  // The docks beside the picture, hidden until the first Build Trees.
  InspectorForm = new TInspectorForm(this);
  ResultsForm = new TResultsForm(this);
  addDockWidget(Qt::RightDockWidgetArea, InspectorForm);
  addDockWidget(Qt::BottomDockWidgetArea, ResultsForm);  // its columns need the width
  InspectorForm->hide();
  ResultsForm->hide();
  View->insertAction(N1, InspectorForm->toggleViewAction());
  View->insertAction(N1, ResultsForm->toggleViewAction());
  connect(ResultsForm, &TResultsForm::RegionChosen, this,
          [this](int32_t region) { Guard([&] { SelectRegion(region); }); });
}

TMainForm::~TMainForm() = default;

// The status panels, then at the right the reading and the misfit.
void TMainForm::CreateStatusBar() {
  // Panels are 150 pixels wide, wider when their text needs it.
  for (QLabel*& panel : StatusPanels) {
    panel = new QLabel;
    panel->setMinimumWidth(150);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(panel);
  }
  ActivityPanel = new QLabel;
  statusBar()->addWidget(ActivityPanel, 1);
  // At the right, hidden while they have nothing to say.
  for (QLabel** panel : {&ReadingPanel, &MisfitPanel}) {
    *panel = new QLabel;
    (*panel)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addPermanentWidget(*panel);
    (*panel)->hide();
  }
}

void TMainForm::FormCreate() {
  const QScreen* screen = QApplication::primaryScreen();
  const QSize desktop = screen ? screen->size() : QSize(1024, 768);
  const int height = static_cast<int>(std::floor(desktop.height() * 0.8));
  const int width = static_cast<int>(std::floor(desktop.width() * 0.8));
  resize(width, height);
  move((desktop.width() - width) / 2, (desktop.height() - height) / 2);
  IndicateGenParameters();
}

QAction* TMainForm::AddCommand(QMenu* menu, const char* caption, void (TMainForm::*handler)(),
                               const QKeySequence& shortcut) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setShortcut(shortcut);
  connect(action, &QAction::triggered, this,
          [this, handler, action] { RunCommand([&] { (this->*handler)(); }, action); });
  return action;
}

void TMainForm::RunCommand(const std::function<void()>& command, QAction* item) {
  Guard([this] { RefreshEnabling(); });
  if (item && !item->isEnabled()) return;
  ActivityPanel->clear();  // the word on the last save goes with the next command
  Guard(command);
  Guard([this] {
    KeepDisplayTrue();
    RefreshEnabling();
    AnalysisViewsFollow();
  });
}

// The File menu.
void TMainForm::CreateFileMenu() {
  MenuFile = menuBar()->addMenu("&File");
  Open = AddCommand(MenuFile, "Open", &TMainForm::OpenClick, QKeySequence("Ctrl+O"));
  SavePicture = AddCommand(MenuFile, "Save &Picture...", &TMainForm::SavePictureClick,
                           QKeySequence("Ctrl+S"));
  SaveCode = AddCommand(MenuFile, "Save &Code...", &TMainForm::SaveCodeClick);
  ExportResults = AddCommand(MenuFile, "&Export Results...", &TMainForm::ExportResultsClick);
  MenuFile->addSeparator();
  Exit = AddCommand(MenuFile, "E&xit", &TMainForm::ExitClick, QKeySequence("Ctrl+Q"));
}

// The View menu: the five views (the one on screen checked), Options and the zoom.
void TMainForm::CreateViewMenu() {
  View = menuBar()->addMenu("&View");
  ViewScene = AddCommand(View, "Scene", &TMainForm::ViewSceneClick);
  ViewQuadro = AddCommand(View, "Quadro", &TMainForm::ViewQuadroClick);
  ViewSegmentation = AddCommand(View, "Segmentation", &TMainForm::ViewSegmentationClick);
  ViewRepresentation = AddCommand(View, "Representation", &TMainForm::ViewRepresentationClick);
  ViewRecognition = AddCommand(View, "Recognition", &TMainForm::ViewRecognitionClick);
  // The view on screen is checked; none before the first.
  ViewGroup = new QActionGroup(this);
  ViewGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (QAction* a : {ViewScene, ViewQuadro, ViewSegmentation, ViewRepresentation, ViewRecognition}) {
    a->setCheckable(true);
    ViewGroup->addAction(a);
  }
  N1 = View->addSeparator();
  Options = AddCommand(View, "&Options...", &TMainForm::OptionsClick);
  View->addSeparator();
  ZoomIn = AddCommand(View, "Zoom &In", &TMainForm::ZoomInClick, QKeySequence::ZoomIn);
  // Ctrl+= too: the same key as "+" without Shift on most keyboards.
  ZoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence("Ctrl+=")});
  // "O" is the Options' access key.
  ZoomOut = AddCommand(View, "Zoom O&ut", &TMainForm::ZoomOutClick, QKeySequence::ZoomOut);
  ActualSize = AddCommand(View, "&Actual Size", &TMainForm::ActualSizeClick, QKeySequence("Ctrl+0"));
  Fit = AddCommand(View, "&Fit", &TMainForm::FitClick);
}

// The Recognition menu and its Labels, every region labelled at first.
void TMainForm::CreateRecognitionMenu() {
  Recognition = menuBar()->addMenu("&Recognition");
  Settings = AddCommand(Recognition, "Settings...", &TMainForm::SettingsClick);
  BuildTrees =
      AddCommand(Recognition, "Build Trees", &TMainForm::BuildTreesClick, QKeySequence("Ctrl+B"));
  Recognize =
      AddCommand(Recognition, "Recognize", &TMainForm::RecognizeClick, QKeySequence("Ctrl+R"));
  Recognition->addSeparator();
  LabelsMenu = Recognition->addMenu("&Labels");
  LabelEveryRegion =
      AddCommand(LabelsMenu, "&Every Region, Its Nearest Shape", &TMainForm::LabelEveryRegionClick);
  LabelAsCommandLine = AddCommand(LabelsMenu, "As the &Command Line (ormax-cli recognize)",
                                  &TMainForm::LabelAsCommandLineClick);
  LabelAtLeast = AddCommand(LabelsMenu, "From a &Sameness of...", &TMainForm::LabelAtLeastClick);
  LabelAsCommandLine->setToolTip(QString::fromStdString(LabelRuleHelp()));
  LabelsMenu->setToolTipsVisible(true);
  LabelsGroup = new QActionGroup(this);
  for (QAction* a : {LabelEveryRegion, LabelAsCommandLine, LabelAtLeast}) {
    a->setCheckable(true);
    LabelsGroup->addAction(a);
  }
  LabelEveryRegion->setChecked(true);
}

void TMainForm::CreateActions() {
  CreateFileMenu();
  CreateViewMenu();
  CreateRecognitionMenu();

  Base = menuBar()->addMenu("&Base");
  LoadBase = AddCommand(Base, "Load...", &TMainForm::LoadBaseClick, QKeySequence("Ctrl+L"));
  Base->addSeparator();
  Collections = AddCommand(Base, "Bases of Collections...", &TMainForm::CollectionsClick);

  Help = menuBar()->addMenu("&Help");
  About = AddCommand(Help, "&About", &TMainForm::AboutClick);

  connect(MenuFile, &QMenu::aboutToShow, this, [this] { Guard([this] { MenuFileClick(); }); });
  connect(View, &QMenu::aboutToShow, this, [this] { Guard([this] { ViewClick(); }); });
  connect(Recognition, &QMenu::aboutToShow, this,
          [this] { Guard([this] { RecognitionClick(); }); });
  connect(LabelsMenu, &QMenu::aboutToShow, this, [this] { Guard([this] { ShowLabels(); }); });

  for (QAction* a : {SavePicture, SaveCode, ViewSegmentation, ViewRepresentation, ViewRecognition,
                     ExportResults, ZoomIn, ZoomOut, ActualSize, Fit})
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

std::string TMainForm::ReadingStatus(const TSceneReading& reading) {
  if (reading == TSceneReading{}) return "";
  std::string text = std::string("Background: ") + BackgroundName(reading.Background);
  if (reading.MinPixels > 0)
    text += ", regions under " + std::to_string(reading.MinPixels) + " pixels left out";
  return text;
}

void TMainForm::IndicateReading() {
  const std::string text = ReadingStatus(State.Reading);
  ReadingPanel->setText(QString::fromStdString(text));
  ReadingPanel->setVisible(!text.empty());
}

void TMainForm::SetReading(const TSceneReading& reading) {
  const bool reread = reading.Background != State.Reading.Background && State.SceneImage &&
                      !State.SceneFileName.empty();
  State.Reading = reading;
  IndicateReading();
  // The background is applied as the picture is read: the scene is read again.
  if (reread) OpenSceneFile(State.SceneFileName);
}

void TMainForm::ReportBackgroundMisfit() {
  if (State.BackgroundMisfit.empty()) {
    MisfitPanel->clear();
    MisfitPanel->setToolTip({});
    MisfitPanel->hide();
    if (MisfitNote) MisfitNote->hide();
    return;
  }
  const std::string name = BareName(State.SceneFileName);
  const std::string note =
      name + ": " + State.BackgroundMisfit +
      ".\n\nThe picture's background is not exact white, so its regions are not its "
      "shapes. Choose Background \"found in the picture (auto)\" in Recognition > "
      "Settings: the picture is read again with its own background.";
  MisfitPanel->setText(QString::fromStdString(name + ": the background is not exact white"));
  MisfitPanel->setToolTip(QString::fromStdString(note));
  MisfitPanel->show();
  if (!MisfitNote) {
    MisfitNote = new QMessageBox(QMessageBox::Information, "Background", "", QMessageBox::Ok, this);
    MisfitNote->setWindowModality(Qt::NonModal);
  }
  MisfitNote->setText(QString::fromStdString(note));
  MisfitNote->show();
}

// ---- enabling rules ----

void TMainForm::MenuFileClick() {
  SavePicture->setEnabled(!LeftForm->Picture.isNull());
  SaveCode->setEnabled(State.SceneCodes.Count() == 1);
  ExportResults->setEnabled(!State.NearestIndices.empty());
}

void TMainForm::ViewClick() {
  const bool scene = State.SceneImage != nullptr;
  ViewScene->setEnabled(scene);
  ViewQuadro->setEnabled(State.Segments.Count() > 0);
  ViewSegmentation->setEnabled(State.Segments.Count() > 0);
  ViewRepresentation->setEnabled(State.Trees.Count() > 0);
  ViewRecognition->setEnabled(!State.NearestIndices.empty());
  Options->setEnabled(scene);
  const bool picture = !LeftForm->Picture.isNull();
  ZoomIn->setEnabled(picture && LeftForm->Zoom.In() != LeftForm->Zoom &&
                     LeftForm->ZoomFits(LeftForm->Zoom.In()));
  ZoomOut->setEnabled(picture && LeftForm->Zoom.Out() != LeftForm->Zoom);
  ActualSize->setEnabled(picture);
  Fit->setEnabled(picture);
}

void TMainForm::RecognitionClick() {
  const bool scene = State.SceneImage != nullptr;
  Settings->setEnabled(scene);
  BuildTrees->setEnabled(scene);
  Recognize->setEnabled(scene && State.CodeBase.Count() > 0);
}

void TMainForm::RefreshEnabling() {
  MenuFileClick();
  ViewClick();
  RecognitionClick();
}

// ---- views ----

void TMainForm::Drew(TView view) {
  ShownView = view;
  drawnGeneration_ = analysisGeneration_;
  QAction* const items[] = {ViewScene, ViewQuadro, ViewSegmentation, ViewRepresentation,
                            ViewRecognition};
  items[static_cast<int>(view)]->setChecked(true);
}

void TMainForm::KeepDisplayTrue() {
  if (!ShownView || *ShownView == TView::Scene || drawnGeneration_ == analysisGeneration_) return;
  if (State.SceneImage) ShowScene();
}

void TMainForm::DrawAndShow(TView view) {
  LeftForm->SetCaption(ViewCaption(view, State.SceneFileName));
  if (LeftForm->Picture.isNull()) return;
  WaitCursor wait(ActivityPanel, QString("Drawing the ") + ViewName(view) + "...");
  {
    TQtCanvas canvas(LeftForm->Picture);
    DrawView(view, State, canvas, DecimalSeparator());
  }
  Drew(view);
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

void TMainForm::ShowQuadro() {
  LeftForm->SetCaption(ViewCaption(TView::Quadro, State.SceneFileName));
  if (LeftForm->Picture.isNull() || !State.SceneImage) return;
  WaitCursor wait(ActivityPanel, "Drawing the quadro...");
  {
    TQtCanvas canvas(LeftForm->Picture);
    DrawQuadro(State.QuadTree, *State.SceneImage, canvas);
  }
  Drew(TView::Quadro);
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
  // Photographs and scans too (PNG, JPEG): read with the background of Recognition >
  // Settings.
  const auto chosen = fileDialogs_->OpenPicture(
      {"Open Scene",
       "Bitmap Files (*.bmp)|*.bmp|Pictures (*.bmp *.png *.jpg *.jpeg)|*.bmp;*.png;*.jpg;*.jpeg|"
       "All Files|*",
       "", "", ""});
  if (!chosen) return;
  OpenSceneFile(*chosen);
}

void TMainForm::OpenSceneFile(const std::string& path) {
  const std::optional<std::string> chosen = path;  // the body is the menu command's
  ++analysisGeneration_;
  State.ResetAnalysis();
  ReportBackgroundMisfit();
  QImage loaded;
  try {
    WaitCursor wait(ActivityPanel, "Opening the scene...");
    loaded = LoadScenePicture(QString::fromStdString(*chosen), IsBmp(*chosen),
                              State.Reading.Background, State.Threads);
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

std::string TMainForm::SaveFolder() const {
  if (!lastSaveFolder_.empty()) return lastSaveFolder_;
  if (State.SceneFileName.empty()) return "";
  return QFileInfo(QString::fromStdString(State.SceneFileName)).absolutePath().toStdString();
}

void TMainForm::Saved(const std::string& what, const std::string& path) {
  lastSaveFolder_ = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
  const QString text = QString::fromStdString(what + " " + path);
  ActivityPanel->setText(text);
  ActivityPanel->setToolTip(text);
}

void TMainForm::SavePictureClick() {
  const auto chosen = fileDialogs_->SavePicture(
      {"Save Picture", "Bitmap Files (*.bmp)|*.BMP", "", "bmp", SaveFolder()});
  if (!chosen) return;
  const std::string target = TargetName(*chosen, ".bmp");
  ormax::SavePicture(LeftForm->Picture, QString::fromStdString(target));
  Saved("Picture saved to", target);
}

void TMainForm::SaveCodeClick() {
  std::string proposed = BareName(State.SceneFileName);
  proposed = proposed.substr(0, proposed.find('.'));
  const std::string ext = CodeFileExt;
  std::string upper = ext;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto chosen = fileDialogs_->Save(
      {"Save Code", "Code Files (*" + ext + ") |*" + upper, proposed, ext.substr(1), SaveFolder()});
  if (!chosen) return;
  const std::string target = TargetName(*chosen, ext);
  State.SceneCodes.GetCode(0).SaveToFile(target);
  Saved("Code saved to", target);
}

void TMainForm::OptionsClick() {
  OptionsForm->exec();
}

void TMainForm::SettingsClick() {
  MethodSettingsForm->exec();
}

void TMainForm::BuildTreesClick() {
  ++analysisGeneration_;
  WaitCursor wait(ActivityPanel, "Building trees...");
  BuildSceneCodes();
  ReportBackgroundMisfit();
  State.MaxViewLevel = State.MaxTreeLevel;
  ShowRepresentation();
}

void TMainForm::RecognizeClick() {
  ++analysisGeneration_;
  WaitCursor wait(ActivityPanel, "Recognizing...");
  if (State.SceneCodes.Count() == 0) {
    BuildSceneCodes();
    ReportBackgroundMisfit();
  }
  BuildSceneNearestIndices();
  State.MaxViewLevel = State.MaxTreeLevel;
  ShowRecognition();
}

void TMainForm::LoadBaseClick() {
  const auto chosen = fileDialogs_->Open({"Load Base", "Base Lists (*.txt)|*.txt|All Files|*", "", "", ""});
  if (!chosen) return;
  LoadBaseFile(*chosen);
}

void TMainForm::LoadBaseFile(const std::string& path) {
  const std::optional<std::string> chosen = path;  // the body is the menu command's
  ++analysisGeneration_;
  State.ResetAnalysis();
  ReportBackgroundMisfit();
  State.CodeBase.Clear();
  State.BaseFileName = *chosen;
  int32_t n = 0;
  std::string why = State.BaseFileName + ": the list names no code file";
  try {
    WaitCursor wait(ActivityPanel, "Loading the base...");
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
    // Its pictures' reading too, where it records one, so that the scene is read as they
    // were; a base that records none (made on white) leaves the user's reading.
    if (const auto recorded = ReadingOfBaseList(State.BaseFileName)) SetReading(*recorded);
    messages_->Information("Information", std::to_string(n) + " trees loaded");
    IndicateGenParameters();
  } else {
    StatusPanels[2]->setText("Base is Empty");
    messages_->ErrorWithDetails("Error", "Error in loading base or base is empty", why);
  }
}

void TMainForm::ExportResultsClick() {
  std::string proposed = BareName(State.SceneFileName);
  proposed = proposed.substr(0, proposed.find('.')) + ".csv";
  const auto chosen =
      fileDialogs_->Save({"Export Results", "CSV Files (*.csv)|*.csv", proposed, "csv", SaveFolder()});
  if (!chosen) return;
  const std::string target = TargetName(*chosen, ".csv");
  // The command line's CSV of recognize, labelled by the desktop's own choice of labels.
  std::ostringstream text;
  WriteRecognitionCsv(text, {RecognitionRows(State, State.SceneFileName, State.Labels, 1)}, 1);
  const std::string csv = text.str();
  WriteFileAtomically(target, TByteArray(csv.begin(), csv.end()));
  Saved("Results exported to", target);
}

// ---- the labels ----

void TMainForm::LabelAtLeastClick() {
  const double offered = State.Labels && State.Labels->MinSameness ? *State.Labels->MinSameness : 75;
  const auto chosen = messages_->AskNumber(
      "Labels", "Label a region with its nearest shape from a sameness (%) of:", offered, 0, 100);
  if (chosen) SetLabels(TLabelRule{*chosen});
  ShowLabels();  // a cancelled choice keeps the check where it was
}

void TMainForm::SetLabels(const std::optional<TLabelRule>& labels) {
  State.Labels = labels;
  ShowLabels();
  ResultsForm->SetRows(ResultRows(State), DecimalSeparator());
  ResultsForm->SelectRegion(SelectedRegion);
  if (SelectedRegion >= 0)
    InspectorForm->ShowRegion(InspectorFigures(State, SelectedRegion), DecimalSeparator());
  if (ShownView == TView::Recognition && !State.NearestIndices.empty()) ShowRecognition();
}

void TMainForm::ShowLabels() {
  QAction* checked = !State.Labels ? LabelEveryRegion
                     : State.Labels->MinSameness ? LabelAtLeast
                                                 : LabelAsCommandLine;
  checked->setChecked(true);
  ResultsForm->SetNote(LabelsSummary(State.Labels, DecimalSeparator()));
}

void TMainForm::AboutClick() {
  messages_->Information(std::string("About ") + ApplicationTitle,
                         std::string(ApplicationTitle) + ", version " + ORMAX_VERSION +
                             "\nRecognises shapes in pictures by trees of moment-fitted ellipses.");
}

void TMainForm::CollectionsClick() {
  messages_->Information(
      "Bases of Collections",
      "A collection: several drawings of each shape, in a folder per shape (shapes/star/1.bmp, "
      "...), or named SHAPE_N.bmp.\n\n"
      "How well it recognises a new drawing of one of its shapes, and at which tree level and "
      "admissible error:\n"
      "    ormax-cli evaluate --leave-one-out shapes/ --sweep\n"
      "(each drawing recognised by a base of all the others).\n\n"
      "Its base, at the setting suggested:\n"
      "    ormax-cli base shapes/ --level L --error E -o base/base.txt\n"
      "then Base > Load. Pictures are added with ormax-cli base --add base/base.txt and shapes "
      "taken out with --remove; the labels show the shape of the nearest drawing.");
}

void TMainForm::OpenStartFiles(const TStartFiles& files) {
  if (files.Scene) RunCommand([&] { OpenSceneFile(*files.Scene); });
  if (files.Base) RunCommand([&] { LoadBaseFile(*files.Base); });
}

// ---- zoom (display only) ----

// A zoom keeps the selected region in the middle of the view, else the middle.
void TMainForm::ZoomTo(TZoom zoom) {
  LeftForm->SetZoom(zoom);
  if (SelectedRegion >= 0 && SelectedRegion < State.Segments.Count()) {
    const TPattern& p = State.Segments.Items(SelectedRegion);
    LeftForm->CentreOn(QPointF((p.Left + p.Right + 1) / 2.0, (p.Top + p.Bottom + 1) / 2.0));
  }
}

void TMainForm::ZoomInClick() {
  const TZoom next = LeftForm->Zoom.In();
  if (LeftForm->ZoomFits(next)) ZoomTo(next);
}

void TMainForm::ZoomOutClick() {
  ZoomTo(LeftForm->Zoom.Out());
}

void TMainForm::ActualSizeClick() {
  ZoomTo({});
}

void TMainForm::FitClick() {
  LeftForm->SetZoom(LeftForm->FitZoom(Area->viewport()->size()));
}

// ---- the selection and the docks ----

void TMainForm::ShowDocks() {
  if (docksShown_) return;
  docksShown_ = true;
  InspectorForm->show();
  ResultsForm->show();
  resizeDocks({InspectorForm}, {std::max(240, InspectorForm->sizeHint().width())}, Qt::Horizontal);
  resizeDocks({ResultsForm}, {std::max(160, height() / 4)}, Qt::Vertical);
}

void TMainForm::AnalysisViewsFollow() {
  if (shownGeneration_ == analysisGeneration_) return;
  shownGeneration_ = analysisGeneration_;
  SelectedRegion = -1;
  InspectorForm->Clear();
  ResultsForm->SetRows(ResultRows(State), DecimalSeparator());
  ShowLabels();
  if (State.Segments.Count() > 0) ShowDocks();
  // The views drew over the picture already; only an outline left on screen must go.
  if (!LeftForm->Outline.empty()) {
    LeftForm->Outline.clear();
    if (!LeftForm->Picture.isNull()) LeftForm->ShowPicture();
  }
}

void TMainForm::SelectRegion(int32_t region) {
  if (region < 0 || region >= State.Segments.Count() || region >= State.SceneCodes.Count())
    region = -1;
  SelectedRegion = region;
  LeftForm->Outline.clear();
  if (region < 0) {
    InspectorForm->Clear();
  } else {
    // The ring of pixels around the region, within the picture.
    const TPattern& p = State.Segments.Items(region);
    const int w = LeftForm->Picture.width(), h = LeftForm->Picture.height();
    auto inside = [&](int x, int y) { return p.InBounds(x, y) && p.IsInside(x, y); };
    for (int y = std::max(0, p.Top - 1); y <= std::min(h - 1, p.Bottom + 1); ++y)
      for (int x = std::max(0, p.Left - 1); x <= std::min(w - 1, p.Right + 1); ++x) {
        if (inside(x, y)) continue;
        bool touches = false;
        for (int dy = -1; dy <= 1 && !touches; ++dy)
          for (int dx = -1; dx <= 1 && !touches; ++dx) touches = inside(x + dx, y + dy);
        if (touches) LeftForm->Outline.emplace_back(x, y);
      }
    InspectorForm->ShowRegion(InspectorFigures(State, region), DecimalSeparator());
    ShowDocks();
    InspectorForm->show();
  }
  ResultsForm->SelectRegion(region);
  if (!LeftForm->Picture.isNull()) LeftForm->ShowPicture();
}

void TMainForm::SelectAt(QPoint pixel) {
  if (State.SceneCodes.Count() == 0) return;
  for (int32_t i = 0; i < State.Segments.Count(); ++i) {
    const TPattern& p = State.Segments.Items(i);
    if (p.InBounds(pixel.x(), pixel.y()) && p.IsInside(pixel.x(), pixel.y())) {
      SelectRegion(i);
      return;
    }
  }
  SelectRegion(-1);
}

void TMainForm::StepRegion(int step) {
  const int32_t n = std::min(State.Segments.Count(), State.SceneCodes.Count());
  if (n == 0) return;
  if (SelectedRegion < 0)
    SelectRegion(step > 0 ? 0 : n - 1);
  else
    SelectRegion(((SelectedRegion + step) % n + n) % n);
}

// ---- drops: a picture opens, a base list (.txt) loads ----

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile() &&
        (IsPictureName(url.toLocalFile()) || HasSuffix(url.toLocalFile(), "txt"))) {
      event->acceptProposedAction();
      return;
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Area->viewport() && event->type() == QEvent::Resize) LeftForm->FitToRoom();
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::dropEvent(QDropEvent* event) {
  bool taken = false;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    const std::string file = url.toLocalFile().toStdString();
    if (IsPictureName(url.toLocalFile())) {
      RunCommand([&] { OpenSceneFile(file); });
      taken = true;
    } else if (HasSuffix(url.toLocalFile(), "txt")) {
      RunCommand([&] { LoadBaseFile(file); });
      taken = true;
    }
  }
  if (taken) event->acceptProposedAction();
}

}  // namespace ormax
