// MainFrm: the main window "Ormax 4": menus, status bar, the picture window, the
// application state, and one handler per command (Open, Save Picture, Save Code, the
// five views, Options, Settings, Build Trees, Recognize, Load Base).
// Every command runs inside Guard: an error that no handler catches is shown in a
// message box titled "Ormax 4" and the program goes on. File dialogs and message
// boxes go through the platform interfaces, so tests can answer them.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <functional>
#include <memory>

#include "app/AppState.h"
#include "app/Views.h"
#include "platform/Dialogs.h"

namespace ormax {

class TLeftForm;
class TOptionsForm;
class TMethodSettingsForm;

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
  void ViewQuadroClick() { ShowQuadro(State.QuadTree, 0); }
  void ViewSegmentationClick() { ShowSegmentation(); }
  void ViewRepresentationClick() { ShowRepresentation(); }
  void ViewRecognitionClick() { ShowRecognition(); }
  void OptionsClick();
  void SettingsClick();
  void BuildTreesClick();
  void RecognizeClick();
  void LoadBaseClick();
  // Menu drop-downs: the enabling rules.
  void MenuFileClick();
  void ViewClick();
  void RecognitionClick();

  // Operations used by the dialogs and the views.
  void BuildSceneCodes() { State.BuildSceneCodes(); }
  void BuildSceneNearestIndices() { State.BuildSceneNearestIndices(); }
  void IndicateGenParameters();
  void Clear();
  void ShowScene();
  void ShowQuadro(const TTree& tree, int32_t level);
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
  QMdiArea* Area = nullptr;

  QMenu* MenuFile = nullptr;
  QMenu* View = nullptr;
  QMenu* Recognition = nullptr;
  QMenu* Base = nullptr;
  QAction* Open = nullptr;
  QAction* SavePicture = nullptr;
  QAction* SaveCode = nullptr;
  QAction* ViewScene = nullptr;
  QAction* ViewQuadro = nullptr;
  QAction* ViewSegmentation = nullptr;
  QAction* ViewRepresentation = nullptr;
  QAction* ViewRecognition = nullptr;
  QAction* N1 = nullptr;
  QAction* Options = nullptr;
  QAction* Settings = nullptr;
  QAction* BuildTrees = nullptr;
  QAction* Recognize = nullptr;
  QAction* LoadBase = nullptr;
  QLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};

 private:
  void FormCreate();
  void CreateActions();
  QAction* AddCommand(QMenu* menu, const char* caption, void (TMainForm::*handler)());
  void DrawAndShow(TView view);
  // The folder and bare name of a chosen path, with `extension` added unless the name
  // already ends with it (in any letter case).
  static std::string TargetName(const std::string& chosen, const std::string& extension);

  std::unique_ptr<IFileDialogs> ownFileDialogs_;
  std::unique_ptr<IMessageBoxes> ownMessages_;
  IFileDialogs* fileDialogs_;
  IMessageBoxes* messages_;
};

}  // namespace ormax
