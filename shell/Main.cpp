// The desktop program: the application titled "Ormax 4" and its main window, which
// creates the picture window and the two dialogs; the message loop runs until the
// main window closes.
#include <QApplication>

#include "shell/MainFrm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(ormax::ApplicationTitle);
  ormax::TMainForm mainForm;
  mainForm.show();
  return QApplication::exec();
}
