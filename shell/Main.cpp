// The desktop program: the application titled "Ormax 4" and its main window, which
// creates the picture window and the two dialogs; the message loop runs until the
// main window closes.
//   ormax [SCENE.bmp] [--base LIST.txt]: the scene opens and the base loads as the
//   menus would, once the window is shown; wrong arguments print the usage (status 2).
//   --help and --version answer without a display: no window system is started.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "shell/MainFrm.h"
#include "shell/StartFiles.h"

namespace {

// Help or version asked: printed, and true.
bool Answered(const ormax::TStartFiles& files) {
  if (!files.Error.empty() || (!files.Help && !files.Version)) return false;
  std::fputs((files.Help ? ormax::StartUsage() : ormax::StartVersion()).c_str(), stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Before QApplication, which needs a display; Qt's own options (-platform ...) make
  // this first reading fail, and the second one below decides.
  if (Answered(ormax::ParseStartArguments(std::vector<std::string>(argv + 1, argv + argc))))
    return 0;
  QApplication app(argc, argv);
  QApplication::setApplicationName(ormax::ApplicationTitle);
  // QApplication has taken its own options (-platform, ...) out of the arguments.
  std::vector<std::string> arguments;
  for (const QString& a : QApplication::arguments().mid(1)) arguments.push_back(a.toStdString());
  const ormax::TStartFiles files = ormax::ParseStartArguments(arguments);
  if (Answered(files)) return 0;
  if (!files.Error.empty()) {
    std::fprintf(stderr, "ormax: %s\n", files.Error.c_str());
    std::fputs(ormax::StartUsage().c_str(), stderr);
    return 2;
  }
  ormax::TMainForm mainForm;
  mainForm.show();
  QTimer::singleShot(0, &mainForm, [&] { mainForm.OpenStartFiles(files); });
  return QApplication::exec();
}
