// UpDown: up-down arrows attached to a line edit, as the settings dialogs use them.
//   TUpDown: SetMax, SetPosition, Step
// The arrows step the number in the edit within Min .. Max; what a person types is
// left as typed, so the owner of the edit decides what a value outside the range, or
// a non-number, means.
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

}  // namespace ormax
