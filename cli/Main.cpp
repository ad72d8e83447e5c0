// ormax-cli: the batch command line over the same pipeline as the desktop program.
// Runs without a display (Qt's offscreen platform unless one is chosen). A normal run
// is quiet on stderr: the toolkit's notice that XDG_RUNTIME_DIR is unset (it looks
// for a Wayland display there, which the command line never uses) is dropped.
#include <unistd.h>
#include <QGuiApplication>
#include <iostream>

#include "cli/Commands.h"

namespace {

QtMessageHandler toolkitHandler = nullptr;

void DropRuntimeDirNotice(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  toolkitHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  toolkitHandler = qInstallMessageHandler(DropRuntimeDirNotice);
  QGuiApplication app(argc, argv);
  return ormax::RunCli(QGuiApplication::arguments(), std::cout, std::cerr, isatty(2) != 0);
}
