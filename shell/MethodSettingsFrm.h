// MethodSettingsFrm: the "Method Settings" dialog, editing the admissible error and
// the maximum tree level, and beside them how the scene is read: its background
// (white, or found in the picture) and the size of the regions left out as specks.
// Filled from the settings on every show; written back on OK only, field by field, so
// that a field that is not a number stops the storing there (and the error reaches the
// program's error report). Choosing a background puts that background's usual speck
// size in its field while the field holds the other one's.
//   TMethodSettingsForm: FormShow (fill from the settings), Button1Click (OK: store
//   field by field and read the scene again), Button2Click (Cancel: close only);
//   Enter and Escape do nothing (neither button is the default)
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/UpDown.h"

namespace ormax {

class TMainForm;

class TMethodSettingsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TMethodSettingsForm(TMainForm* mainForm);

  void FormShow();
  void Button1Click();  // OK; throws on a field that is not a number
  void Button2Click();  // Cancel

  QFrame* Panel;
  QLabel* Label1;
  QLineEdit* Edit1;
  QLabel* Label2;
  QLineEdit* Edit2;
  TUpDown* UpDown;
  QPushButton* Button1;
  QPushButton* Button2;
  // The scene reading, at the right of the method settings.
  QFrame* ReadingPanel;
  QLabel* BackgroundLabel;
  QComboBox* BackgroundBox;  // "white", "found in the picture (auto)"
  QLabel* SpecksLabel;
  QLineEdit* SpecksEdit;     // regions under this many pixels are left out
  QLabel* SpecksUnit;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TMainForm* mainForm_;
};

}  // namespace ormax
