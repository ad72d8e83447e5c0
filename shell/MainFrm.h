// MainFrm: the main window "Ormax 4" (TMainForm, ApplicationTitle): menus, status bar,
// the picture window, the Region and Results docks, the application state, and one
// handler per command (Open, Save Picture, Save Code, Export Results, Exit, the five
// views, Options, the zoom, Settings, Build Trees, Recognize, the labels, Load Base,
// Bases of Collections, About); files from the command line or dropped on the window
// open as the menus would (OpenStartFiles, OpenSceneFile, LoadBaseFile).
// The View menu checks the view on screen. A command that drops the analysis a view
// showed (a failed Open, Load Base) shows the scene instead, so the picture never
// shows work that is gone. Recognition > Labels chooses which regions are labelled
// (every region, as the command line's recognize, or from a sameness on), alike in the
// picture, the Results dock (which says the choice), the Region dock and the export.
// Each save says in the status bar where the file went; save dialogs start in the
// folder saved to last, else the scene's.
// The scene reading (the background, white or found in the picture, and the speck
// size) is set in Method Settings or adopted from a loaded base; a changed background
// reads the open scene again. A reading other than white shows beside the status
// panels, and so does a picture that Build Trees finds not to be on exact white (with a
// note naming the picture and the remedy).
// Every command runs inside Guard: an error that no handler catches is shown in a
// message box titled "Ormax 4" and the program goes on; the enabling rules run again
// after each command, so shortcuts follow them. File dialogs and message boxes go
// through the interfaces of shell/Dialogs, so tests can answer them.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <optional>

#include "app/AppState.h"
#include "app/Views.h"
#include "shell/Dialogs.h"
#include "shell/StartFiles.h"

namespace ormax {

class TLeftForm;
struct TZoom;
class TOptionsForm;
class TMethodSettingsForm;
class TInspectorForm;
class TResultsForm;

inline constexpr const char* ApplicationTitle = "Ormax 4";

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  // Without interfaces, Qt's own dialogs and message boxes are used.
  explicit TMainForm(IFileDialogs* fileDialogs = nullptr, IMessageBoxes* messages = nullptr);
  ~TMainForm() override;

  // Commands
  void OpenClick();
  void SavePictureClick();
  void SaveCodeClick();
  void ViewSceneClick() { ShowScene(); }
  void ViewQuadroClick() { ShowQuadro(); }
  void ViewSegmentationClick() { ShowSegmentation(); }
  void ViewRepresentationClick() { ShowRepresentation(); }
  void ViewRecognitionClick() { ShowRecognition(); }
  void OptionsClick();
  void SettingsClick();
  void BuildTreesClick();
  void RecognizeClick();
  void LoadBaseClick();
  void ExportResultsClick();
  void ExitClick() { close(); }
  void AboutClick();
  void CollectionsClick();
  // Recognition > Labels: every region (the default), as the command line's recognize,
  // or from a sameness asked for.
  void LabelEveryRegionClick() { SetLabels(std::nullopt); }
  void LabelAsCommandLineClick() { SetLabels(TLabelRule{}); }
  void LabelAtLeastClick();
  // Takes a choice of labels and shows it wherever labels are shown.
  void SetLabels(const std::optional<TLabelRule>& labels);
  void ZoomInClick();
  void ZoomOutClick();
  void ActualSizeClick();
  void FitClick();
  // Open and Load Base without their dialogs: file arguments and drops.
  void OpenSceneFile(const std::string& path);
  void LoadBaseFile(const std::string& path);
  // The scene, then the base, each as its command (errors shown as they are there).
  void OpenStartFiles(const TStartFiles& files);
  // The selection: a region of the last Build Trees (-1: none). Selecting outlines it
  // on the picture (display only), shows its figures and selects its row.
  void SelectRegion(int32_t region);
  void SelectAt(QPoint scenePixel);  // the region under a pixel; white clears
  void StepRegion(int step);         // the next (+1) or previous (-1) region, round
  // Menu drop-downs: the enabling rules.
  void MenuFileClick();
  void ViewClick();
  void RecognitionClick();
  // All the rules at once (after every command).
  void RefreshEnabling();

  // Operations used by the dialogs and the views.
  void BuildSceneCodes() { State.BuildSceneCodes(); }
  void BuildSceneNearestIndices() { State.BuildSceneNearestIndices(); }
  void IndicateGenParameters();
  // The reading's panel: shown unless the reading is white with no speck size.
  void IndicateReading();
  // Takes a reading; a changed background reads the open scene again, as Open would.
  void SetReading(const TSceneReading& reading);
  // After a segmentation: a picture that does not fit a white background is named in
  // the misfit panel and a note; otherwise both are hidden.
  void ReportBackgroundMisfit();
  // "Background: auto, regions under 32 pixels left out"; empty for white with none.
  static std::string ReadingStatus(const TSceneReading& reading);
  void Clear();
  void ShowScene();
  void ShowQuadro();
  void ShowSegmentation();
  void ShowRepresentation();
  void ShowRecognition();

  // Runs a command; an error it raises is shown as the program's error report.
  void Guard(const std::function<void()>& command);
  // The text of the error report: the message, with a full stop appended when its
  // last character sorts after ".".
  static std::string ErrorReportText(const std::string& message);

  // The client area of the main window (below the menu bar).
  QSize ClientSize() const;

  TAppState State;

  TLeftForm* LeftForm = nullptr;
  TOptionsForm* OptionsForm = nullptr;
  TMethodSettingsForm* MethodSettingsForm = nullptr;
  TInspectorForm* InspectorForm = nullptr;
  TResultsForm* ResultsForm = nullptr;
  QMdiArea* Area = nullptr;
  int32_t SelectedRegion = -1;

  QMenu* MenuFile = nullptr;
  QMenu* View = nullptr;
  QMenu* Recognition = nullptr;
  QMenu* Base = nullptr;
  QMenu* Help = nullptr;
  QAction* Open = nullptr;
  QAction* SavePicture = nullptr;
  QAction* SaveCode = nullptr;
  QAction* ExportResults = nullptr;
  QAction* Exit = nullptr;
  QAction* ViewScene = nullptr;
  QAction* ViewQuadro = nullptr;
  QAction* ViewSegmentation = nullptr;
  QAction* ViewRepresentation = nullptr;
  QAction* ViewRecognition = nullptr;
  QAction* N1 = nullptr;
  QAction* Options = nullptr;
  QAction* ZoomIn = nullptr;
  QAction* ZoomOut = nullptr;
  QAction* ActualSize = nullptr;
  QAction* Fit = nullptr;
  QAction* Settings = nullptr;
  QAction* BuildTrees = nullptr;
  QAction* Recognize = nullptr;
  QAction* LoadBase = nullptr;
  QAction* Collections = nullptr;
  QMenu* LabelsMenu = nullptr;
  QAction* LabelEveryRegion = nullptr;
  QAction* LabelAsCommandLine = nullptr;
  QAction* LabelAtLeast = nullptr;
  QActionGroup* ViewGroup = nullptr;    // the five views: the one on screen is checked
  QActionGroup* LabelsGroup = nullptr;  // the choice of labels
  // The view on screen; none before the first.
  std::optional<TView> ShownView;
  QAction* About = nullptr;
  QLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};
  QLabel* ActivityPanel = nullptr;  // what a long command is doing; empty otherwise
  QLabel* ReadingPanel = nullptr;   // the reading, when it is not white with no speck size
  QLabel* MisfitPanel = nullptr;    // the scene's background is not exact white
  QMessageBox* MisfitNote = nullptr;  // the same at length, non-modal; made when first needed

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // The work area resized: the picture window fits into it again.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A command as the menus run it: the rules first (a shortcut of a disabled item does
  // nothing), Guard, the rules again, and the docks renewed when the analysis changed.
  void RunCommand(const std::function<void()>& command, QAction* item = nullptr);
  void AnalysisViewsFollow();
  void ShowDocks();
  void FormCreate();
  void CreateActions();
  void CreateStatusBar();
  void CreateFileMenu();
  void CreateViewMenu();
  void CreateRecognitionMenu();
  QAction* AddCommand(QMenu* menu, const char* caption, void (TMainForm::*handler)(),
                      const QKeySequence& shortcut = {});
  void DrawAndShow(TView view);
  // Zooms, keeping the selected region in the middle of the view when there is one.
  void ZoomTo(TZoom zoom);
  // A view was drawn: checked in the View menu, and drawn from the analysis as it is.
  void Drew(TView view);
  // After a command: a view drawn from an analysis that is gone gives way to the scene.
  void KeepDisplayTrue();
  // The labels' choice checked in the menu, written in the Results dock and applied to
  // the docks' rows and the picture on screen.
  void ShowLabels();
  // Where a save dialog starts: the folder saved to last, else the scene's.
  std::string SaveFolder() const;
  // Tells where a file went ("Picture saved to ...") and starts the next save there.
  void Saved(const std::string& what, const std::string& path);
  // The folder and bare name of a chosen path, with `extension` added unless the name
  // already ends with it (in any letter case).
  static std::string TargetName(const std::string& chosen, const std::string& extension);

  std::unique_ptr<IFileDialogs> ownFileDialogs_;
  std::unique_ptr<IMessageBoxes> ownMessages_;
  IFileDialogs* fileDialogs_;
  IMessageBoxes* messages_;
  // Bumped by every command that renews or drops the analysis; the docks follow.
  uint64_t analysisGeneration_ = 0;
  uint64_t shownGeneration_ = 0;
  uint64_t drawnGeneration_ = 0;  // the analysis the view on screen was drawn from
  std::string lastSaveFolder_;
  bool docksShown_ = false;
};

}  // namespace ormax
