// LeftFrm: the picture window, a fixed-size child window of the main window. Its
// bitmap (Picture) is both the loaded scene and the surface every view draws on;
// Panel, a lowered one-pixel bevel, shows it at the zoom, with the selection outline.
//   TLeftForm: FormCreate (square start size), FitToPicture, ShowPicture, SetClientSize,
//   FitToRoom, SetCaption, SetZoom, CentreOn, ZoomFits, FitZoom, ScenePixelAt;
//   TZoom (the display scale and its steps); ShownPicture (the picture as the zoom
//   shows it)
// The window fits the picture, but never the main window's work area less: a larger
// picture scrolls inside it, and the window is moved so that its caption and buttons
// stay in view. Zooming in repeats whole pixels; zooming out keeps the most ink of each
// block, so one-pixel lines and frames stay visible. Closing the window only hides it,
// and ShowPicture brings it back (restored from minimised too). The zoom and the
// outline are for display only: Picture stays 1:1.
#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPoint>
#include <QScrollArea>
#include <string>
#include <vector>

namespace ormax {

// A display scale Num / Den: whole multiples (2, 3, ...) or whole fractions (1/2, 1/3, ...).
struct TZoom {
  int Num = 1;
  int Den = 1;
  friend bool operator==(const TZoom&, const TZoom&) = default;
  // The next step up or down; at the ends of the range the zoom stays.
  TZoom In() const;
  TZoom Out() const;
  int Percent() const { return 100 * Num / Den; }
  // A picture side at this zoom, at least 1 pixel.
  int Scaled(int side) const;
  static constexpr int MaxNum = 16;
  static constexpr int MaxDen = 16;
};

// The picture as shown at `zoom`: whole pixels repeated when zooming in; when zooming
// out, of each block of pixels the one with the most ink (the darkest; the first of
// equals in rows), so that a one-pixel line on white is never dropped.
QImage ShownPicture(const QImage& picture, TZoom zoom);

class TLeftForm : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit TLeftForm(QWidget* parent = nullptr);

  // Starts square: Floor(0.8 x the smaller side of the main window's client area).
  void FormCreate(QSize mainClient);
  // The client area becomes the picture at the zoom plus the bevel on each side, or
  // the work area less, scrolled; a minimised or closed window is restored first.
  void FitToPicture();
  // Shows the picture as it now is (at the zoom, with the outline), bringing the
  // window back when it was closed or minimised.
  void ShowPicture();
  // The client area becomes `client`, or the work area less (scrolled).
  void SetClientSize(QSize client);
  // Fits the window to the work area again (after the main window was resized).
  void FitToRoom();
  // The caption of the view; the zoom is added when it is not 100 %.
  void SetCaption(const std::string& caption);
  // Sets the zoom, refits the window and shows the picture again, the scene point in
  // the middle of the view kept there.
  void SetZoom(TZoom zoom);
  // Scrolls so that a scene point (pixel corners at whole numbers) is in the middle.
  void CentreOn(QPointF scenePoint);
  // Whether the picture at `zoom` stays within the largest display (32 million pixels).
  bool ZoomFits(TZoom zoom) const;
  // The largest zoom at which the whole picture fits into `room` (at most 100 % for a
  // picture that is larger, and never beyond the steps).
  TZoom FitZoom(QSize room) const;
  // The scene pixel under a point of the Image label; (-1, -1) outside the picture.
  QPoint ScenePixelAt(QPoint labelPoint) const;

  static constexpr int BevelWidth = 1;

  QScrollArea* Scroller;  // the window's content: Panel, scrolled when larger
  QFrame* Panel;
  QLabel* Image;
  QImage Picture;              // Format_RGB32; null until a scene is opened
  TZoom Zoom;                  // display only
  std::vector<QPoint> Outline;  // scene pixels drawn over the picture (the selection)

 signals:
  // A click on the picture, at a scene pixel.
  void PixelClicked(QPoint scenePixel);
  // An arrow key: +1 the next region, -1 the previous one.
  void StepRequested(int step);
  // The picture has just been put on screen.
  void PictureShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyCaption();
  void Reveal();
  // The main window's work area this window lives in; empty outside one.
  QSize Room() const;
  // The window's borders and title bar around its content.
  QSize FrameSize() const;
  std::string caption_ = " ";
};

}  // namespace ormax
