// LeftFrm: the picture window, a fixed-size child window of the main window. Its
// bitmap (Picture) is both the loaded scene and the surface every view draws on;
// Panel, a lowered one-pixel bevel, shows it centred.
//   FormCreate (square start size), FitToPicture, ShowPicture
#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMdiSubWindow>

namespace ormax {

class TLeftForm : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit TLeftForm(QWidget* parent = nullptr);

  // Starts square: Floor(0.8 x the smaller side of the main window's client area).
  void FormCreate(QSize mainClient);
  // The client area becomes the picture plus the bevel on each side.
  void FitToPicture();
  // Shows the picture as it now is.
  void ShowPicture();
  void SetClientSize(QSize client);

  static constexpr int BevelWidth = 1;

  QFrame* Panel;
  QLabel* Image;
  QImage Picture;  // Format_RGB32; null until a scene is opened
};

}  // namespace ormax
