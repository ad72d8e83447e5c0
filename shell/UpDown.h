// UpDown: the small controls the settings dialogs share.
//   TUpDown: up-down arrows attached to a line edit. The arrows step the number in
//   the edit within Min .. Max; what a person types is left as typed, so the owner of
//   the edit decides what a value outside the range, or a non-number, means.
//   SetUpSettingsDialog: caption, border, fixed client size and font of a dialog.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

namespace ormax {

class TUpDown : public QWidget {
  Q_OBJECT

 public:
  TUpDown(QLineEdit* associate, QWidget* parent);

  int Min = 0;
  int Max = 100;  // held as a 16-bit signed value, as the arrows' range
  int Position = 0;

  void SetMax(int max);
  void SetPosition(int position);
  // One step up (+1) or down (-1) from the edit's number, kept within the range.
  void Step(int delta);

  QToolButton* Up;
  QToolButton* Down;

 private:
  QLineEdit* associate_;
};

// A dialog border with system menu and minimise icons, a fixed client area, and the
// small font for which the controls' positions are laid out (so that captions fit
// beside their edits whatever the desktop's default size).
void SetUpSettingsDialog(QDialog& dialog, const char* caption, QSize client);

}  // namespace ormax
