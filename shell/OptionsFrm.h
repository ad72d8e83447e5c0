// OptionsFrm: the "Options" dialog, editing the drawing settings (maximum level to
// view, filled ellipses, sameness in the labels). Filled on every show, the arrows'
// maximum from the deepest representation tree; written back on OK only.
//   TOptionsForm: FormShow (fill from the settings), Button1Click (OK: store and
//   close; throws when the level is not a number), Button2Click (Cancel: close only)
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/UpDown.h"

namespace ormax {

class TMainForm;

class TOptionsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TOptionsForm(TMainForm* mainForm);

  void FormShow();
  void Button1Click();  // OK; throws when the level is not a number
  void Button2Click();  // Cancel

  QGroupBox* GroupBox1;
  QLabel* Label1;
  QLineEdit* Edit1;
  TUpDown* UpDown;
  QCheckBox* CheckBox1;
  QGroupBox* GroupBox2;
  QCheckBox* CheckBox2;
  QPushButton* Button1;
  QPushButton* Button2;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TMainForm* mainForm_;
};

}  // namespace ormax
