// SettingsDialog: the frame, font and buttons of the Options and Method Settings
// dialogs, made in one place.
//   SetUpSettingsDialog, AddOkCancel
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

}  // namespace ormax
