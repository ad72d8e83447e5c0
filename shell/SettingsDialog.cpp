// SettingsDialog: the frame, font and buttons of the Options and Method Settings
// dialogs, made in one place.
//   SetUpSettingsDialog, AddOkCancel, AddLevelField
#include "shell/SettingsDialog.h"

namespace ormax {

void SetUpSettingsDialog(QDialog& dialog, const char* caption, QSize client) {
  dialog.setWindowTitle(caption);
  dialog.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  dialog.setFixedSize(client);
  QFont small = dialog.font();
  small.setPixelSize(10);
  dialog.setFont(small);
}

TOkCancel AddOkCancel(QDialog& dialog, QRect ok, QRect cancel, const TGuard& guard,
                      const std::function<void()>& onOk, const std::function<void()>& onCancel) {
  TOkCancel buttons;
  buttons.Ok = new QPushButton("OK", &dialog);
  buttons.Ok->setGeometry(ok);
  buttons.Cancel = new QPushButton("Cancel", &dialog);
  buttons.Cancel->setGeometry(cancel);
  QObject::connect(buttons.Ok, &QPushButton::clicked, &dialog, [guard, onOk] { guard(onOk); });
  QObject::connect(buttons.Cancel, &QPushButton::clicked, &dialog, [onCancel] { onCancel(); });
  return buttons;
}

std::tuple<QLabel*, QLineEdit*, TUpDown*> AddLevelField(QWidget* parent, const char* caption,
                                                        QRect label, QRect edit, QRect arrows) {
  auto* text = new QLabel(caption, parent);
  text->setGeometry(label);
  auto* field = new QLineEdit("0", parent);
  field->setGeometry(edit);
  auto* upDown = new TUpDown(field, parent);
  upDown->setGeometry(arrows);
  upDown->Min = 0;
  upDown->SetPosition(0);
  return {text, field, upDown};
}

}  // namespace ormax
