// QtDialogs: the file dialogs and message boxes of the desktop program on Qt's own
// QFileDialog, QMessageBox and QInputDialog. Save dialogs add the request's default
// suffix and ask before replacing a file, also when the suffix was added; a dialog
// opens in the request's folder, else where the last choice was made.
//   TQtFileDialogs, TQtMessageBoxes, QtFilter ("Desc|*.EXT" -> "Desc (*.EXT *.ext)")
#pragma once

#include <QString>
#include <QWidget>

#include "shell/Dialogs.h"

namespace ormax {

QString QtFilter(const std::string& filter);

class TQtFileDialogs : public IFileDialogs {
 public:
  explicit TQtFileDialogs(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> OpenPicture(const TFileRequest& request) override;
  std::optional<std::string> SavePicture(const TFileRequest& request) override;
  std::optional<std::string> Save(const TFileRequest& request) override;
  std::optional<std::string> Open(const TFileRequest& request) override;

 private:
  std::optional<std::string> Ask(const TFileRequest& request, bool save);
  QWidget* parent_;
  QString folder_;  // the folder of the last choice, offered next time
};

class TQtMessageBoxes : public IMessageBoxes {
 public:
  explicit TQtMessageBoxes(QWidget* parent) : parent_(parent) {}
  void Error(const std::string& caption, const std::string& text) override;
  void ErrorWithDetails(const std::string& caption, const std::string& text,
                        const std::string& details) override;
  void Information(const std::string& caption, const std::string& text) override;
  std::optional<double> AskNumber(const std::string& caption, const std::string& label,
                                  double value, double lowest, double highest) override;

 private:
  QWidget* parent_;
};

}  // namespace ormax
