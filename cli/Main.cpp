// ormax-cli: the batch command line over the same pipeline as the desktop program.
// Runs without a display (Qt's offscreen platform unless one is chosen).
#include <unistd.h>
#include <QGuiApplication>
#include <iostream>

#include "cli/Commands.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  return ormax::RunCli(QGuiApplication::arguments(), std::cout, std::cerr, isatty(2) != 0);
}
