// SettingsDialog: what the two settings dialogs share.
//   SetUpSettingsDialog  caption, border, fixed client size and font of a dialog
//   AddOkCancel          the OK and Cancel buttons (TOkCancel), wired to the dialog's
//                        handlers, OK's through the caller's guard (TGuard)
//   AddLevelField        a caption, a number field ("0") and its arrows, on one row
// OK's handler runs inside the caller's guard, so a value that cannot be read is
// reported and the dialog stays open; Cancel only closes.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <functional>
#include <tuple>

#include "shell/UpDown.h"

namespace ormax {

// A dialog border with system menu and minimise icons, a fixed client area, and the
// small font for which the controls' positions are laid out (so that captions fit
// beside their edits whatever the desktop's default size).
void SetUpSettingsDialog(QDialog& dialog, const char* caption, QSize client);

struct TOkCancel {
  QPushButton* Ok = nullptr;
  QPushButton* Cancel = nullptr;
};

using TGuard = std::function<void(const std::function<void()>&)>;

TOkCancel AddOkCancel(QDialog& dialog, QRect ok, QRect cancel, const TGuard& guard,
                      const std::function<void()>& onOk, const std::function<void()>& onCancel);

// The caption, the field and its arrows (from 0, at 0), made in that order on parent.
std::tuple<QLabel*, QLineEdit*, TUpDown*> AddLevelField(QWidget* parent, const char* caption,
                                                        QRect label, QRect edit, QRect arrows);

}  // namespace ormax
