// ormax-cli: the batch command line over the same pipeline as the desktop program.
// Runs without a display (Qt's offscreen platform unless one is chosen). A normal run
// is quiet on stderr: the toolkit's notice that XDG_RUNTIME_DIR is unset is dropped
// (platform/ToolkitNotices).
#include <unistd.h>
#include <QGuiApplication>
#include <iostream>

#include "cli/Commands.h"
#include "platform/ToolkitNotices.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ormax::DropRuntimeDirNotice();
  QGuiApplication app(argc, argv);
  return ormax::RunCli(QGuiApplication::arguments(), std::cout, std::cerr, isatty(2) != 0);
}
