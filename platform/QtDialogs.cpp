#include "platform/QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
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
  QString start = folder_;
  if (!request.ProposedName.empty())
    start = (folder_.isEmpty() ? QString() : folder_ + "/") +
            QString::fromStdString(request.ProposedName);
  const QString filter = QtFilter(request.Filter);
  const QString chosen = save ? QFileDialog::getSaveFileName(parent_, title, start, filter)
                              : QFileDialog::getOpenFileName(parent_, title, start, filter);
  if (chosen.isEmpty()) return std::nullopt;
  folder_ = QFileInfo(chosen).absolutePath();
  return chosen.toStdString();
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

}  // namespace ormax
