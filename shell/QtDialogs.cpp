// QtDialogs: the program's "Desc|*.EXT" filters turned into Qt's, both spellings of
// each extension offered; message boxes with an OK button only, and a number asked for
// with OK and Cancel.
//   QtFilter, TQtFileDialogs, TQtMessageBoxes (AskNumber with one decimal)
#include "shell/QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace ormax {

QString QtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString pattern = p.trimmed();
      patterns << pattern;
      // File names on this system are case-sensitive: offer both spellings.
      if (pattern.toLower() != pattern) patterns << pattern.toLower();
      if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
    }
    patterns.removeDuplicates();
    filters << parts[i].trimmed() + " (" + patterns.join(' ') + ")";
  }
  if (filters.isEmpty()) return QString();
  return filters.join(";;");
}

std::optional<std::string> TQtFileDialogs::Ask(const TFileRequest& request, bool save) {
  const QString title = QString::fromStdString(request.Title);
  const QString folder = request.Folder.empty() ? folder_ : QString::fromStdString(request.Folder);
  QString start = folder;
  if (!request.ProposedName.empty())
    start = (folder.isEmpty() ? QString() : folder + "/") +
            QString::fromStdString(request.ProposedName);
  QFileDialog dialog(parent_, title, start, QtFilter(request.Filter));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QString suffix = QString::fromStdString(request.DefaultSuffix);
  // The dialog adds the suffix to a name without any '.' and then asks about an
  // existing file itself; a name with another extension gets it here, and the same
  // question.
  if (save) dialog.setDefaultSuffix(suffix);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    QString chosen = dialog.selectedFiles().first();
    if (save && !suffix.isEmpty() && !chosen.endsWith("." + suffix, Qt::CaseInsensitive)) {
      chosen += "." + suffix;
      if (QFileInfo::exists(chosen) &&
          QMessageBox::warning(&dialog, title,
                               QFileDialog::tr("%1 already exists.\nDo you want to replace it?")
                                   .arg(QFileInfo(chosen).fileName()),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) != QMessageBox::Yes)
        continue;
    }
    folder_ = QFileInfo(chosen).absolutePath();
    return chosen.toStdString();
  }
}

std::optional<std::string> TQtFileDialogs::OpenPicture(const TFileRequest& request) {
  return Ask(request, false);
}
std::optional<std::string> TQtFileDialogs::SavePicture(const TFileRequest& request) {
  return Ask(request, true);
}
std::optional<std::string> TQtFileDialogs::Save(const TFileRequest& request) {
  return Ask(request, true);
}
std::optional<std::string> TQtFileDialogs::Open(const TFileRequest& request) {
  return Ask(request, false);
}

void TQtMessageBoxes::Error(const std::string& caption, const std::string& text) {
  QMessageBox::critical(parent_, QString::fromStdString(caption), QString::fromStdString(text));
}

void TQtMessageBoxes::ErrorWithDetails(const std::string& caption, const std::string& text,
                                       const std::string& details) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                  QString::fromStdString(text), QMessageBox::Ok, parent_);
  box.setDetailedText(QString::fromStdString(details));
  box.exec();
}

void TQtMessageBoxes::Information(const std::string& caption, const std::string& text) {
  QMessageBox::information(parent_, QString::fromStdString(caption), QString::fromStdString(text));
}

std::optional<double> TQtMessageBoxes::AskNumber(const std::string& caption,
                                                 const std::string& label, double value,
                                                 double lowest, double highest) {
  bool ok = false;
  const double chosen =
      QInputDialog::getDouble(parent_, QString::fromStdString(caption),
                              QString::fromStdString(label), value, lowest, highest, 1, &ok);
  if (!ok) return std::nullopt;
  return chosen;
}

}  // namespace ormax
