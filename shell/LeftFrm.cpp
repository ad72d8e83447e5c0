// LeftFrm: the picture window (see LeftFrm.h).
//   TZoom steps; TLeftForm sizing, display at the zoom with the outline, clicks and keys
// The display is made by whole-pixel replication (zoom in) or by taking every Den-th
// pixel (zoom out), so cells stay sharp and a display pixel maps back to one scene pixel.
#include "shell/LeftFrm.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace ormax {

namespace {

// The colour of the selection outline: it stands out on the views' colours and white.
constexpr QRgb kOutlineColour = qRgb(255, 0, 255);
// The largest picture shown: 32 million display pixels (128 MiB).
constexpr long long kMaxDisplayPixels = 32LL << 20;

QImage Scale(const QImage& picture, TZoom zoom) {
  if (zoom.Num == 1 && zoom.Den == 1) return picture;
  const int w = zoom.Scaled(picture.width()), h = zoom.Scaled(picture.height());
  QImage out(w, h, QImage::Format_RGB32);
  std::vector<int> source(static_cast<size_t>(w));
  for (int x = 0; x < w; ++x)
    source[static_cast<size_t>(x)] =
        std::min(picture.width() - 1, static_cast<int>(1LL * x * zoom.Den / zoom.Num));
  for (int y = 0; y < h; ++y) {
    const int sy = std::min(picture.height() - 1, static_cast<int>(1LL * y * zoom.Den / zoom.Num));
    const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(sy));
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) line[x] = in[source[static_cast<size_t>(x)]];
  }
  return out;
}

}  // namespace

TZoom TZoom::In() const {
  if (Den > 1) return {Num, Den - 1};
  if (Num < MaxNum) return {Num + 1, 1};
  return *this;
}

TZoom TZoom::Out() const {
  if (Num > 1) return {Num - 1, Den};
  if (Den < MaxDen) return {1, Den + 1};
  return *this;
}

int TZoom::Scaled(int side) const {
  return std::max(1, static_cast<int>(1LL * side * Num / Den));
}

TLeftForm::TLeftForm(QWidget* parent) : QMdiSubWindow(parent) {
  setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint);
  setWindowTitle(" ");
  setFocusPolicy(Qt::StrongFocus);
  Panel = new QFrame;
  Panel->setFrameShape(QFrame::Panel);
  Panel->setFrameShadow(QFrame::Sunken);
  Panel->setLineWidth(BevelWidth);
  Image = new QLabel;
  Image->setAlignment(Qt::AlignCenter);
  Image->installEventFilter(this);
  // The frame already keeps its bevel out of the layout: no margin of its own, or
  // the outermost ring of the picture would be cut.
  auto* layout = new QVBoxLayout(Panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Image);
  setWidget(Panel);
}

void TLeftForm::FormCreate(QSize mainClient) {
  const int s =
      static_cast<int>(std::floor(0.8 * std::min(mainClient.width(), mainClient.height())));
  setFixedSize(s, s);
}

void TLeftForm::SetClientSize(QSize client) {
  // The frame (borders and title bar) around the client area stays as it is.
  const QRect inner = widget()->geometry();
  const QSize frame(inner.x() * 2, inner.y() + inner.x());
  Panel->setFixedSize(client);
  setFixedSize(client + frame);
}

void TLeftForm::Reveal() {
  if (isMinimized() || isHidden()) showNormal();
  // Closing the window closes (hides) its panel as well.
  if (Panel->isHidden()) Panel->show();
}

void TLeftForm::FitToPicture() {
  Reveal();
  // A zoom chosen for a small scene may be far too large for the next one.
  if (!ZoomFits(Zoom)) {
    Zoom = {};
    ApplyCaption();
  }
  const QSize shown(Zoom.Scaled(Picture.width()), Zoom.Scaled(Picture.height()));
  SetClientSize(shown + QSize(2 * BevelWidth, 2 * BevelWidth));
}

void TLeftForm::ShowPicture() {
  Reveal();
  if (!ZoomFits(Zoom)) FitToPicture();
  QImage shown = Scale(Picture, Zoom);
  if (!Outline.empty() && !shown.isNull()) {
    if (shown.constBits() == Picture.constBits()) shown.detach();  // the outline is display only
    for (const QPoint& p : Outline) {
      const int x0 = static_cast<int>(1LL * p.x() * Zoom.Num / Zoom.Den);
      const int y0 = static_cast<int>(1LL * p.y() * Zoom.Num / Zoom.Den);
      const int x1 = std::max(x0 + 1, static_cast<int>(1LL * (p.x() + 1) * Zoom.Num / Zoom.Den));
      const int y1 = std::max(y0 + 1, static_cast<int>(1LL * (p.y() + 1) * Zoom.Num / Zoom.Den));
      for (int y = y0; y < y1 && y < shown.height(); ++y)
        for (int x = x0; x < x1 && x < shown.width(); ++x) shown.setPixel(x, y, kOutlineColour);
    }
  }
  Image->setPixmap(QPixmap::fromImage(shown));
  emit PictureShown();
}

void TLeftForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  ApplyCaption();
}

void TLeftForm::ApplyCaption() {
  std::string text = caption_;
  if (Zoom != TZoom{})
    text += " (" + std::to_string(Zoom.Percent()) + " %)";
  setWindowTitle(QString::fromStdString(text));
}

bool TLeftForm::ZoomFits(TZoom zoom) const {
  return 1LL * zoom.Scaled(Picture.width()) * zoom.Scaled(Picture.height()) <= kMaxDisplayPixels;
}

TZoom TLeftForm::FitZoom(QSize room) const {
  if (Picture.isNull()) return {};
  // The frame around the picture: the window's borders, title bar and the bevel.
  const QSize frame = size() - Panel->size() + QSize(2 * BevelWidth, 2 * BevelWidth);
  auto fits = [&](TZoom z) {
    return z.Scaled(Picture.width()) + frame.width() <= room.width() &&
           z.Scaled(Picture.height()) + frame.height() <= room.height() && ZoomFits(z);
  };
  TZoom zoom;
  while (!fits(zoom) && zoom.Out() != zoom) zoom = zoom.Out();
  while (fits(zoom) && zoom.In() != zoom && fits(zoom.In())) zoom = zoom.In();
  return zoom;
}

void TLeftForm::SetZoom(TZoom zoom) {
  Zoom = zoom;
  ApplyCaption();
  if (Picture.isNull()) return;
  FitToPicture();
  ShowPicture();
}

QPoint TLeftForm::ScenePixelAt(QPoint labelPoint) const {
  if (Picture.isNull()) return {-1, -1};
  const QSize shown(Zoom.Scaled(Picture.width()), Zoom.Scaled(Picture.height()));
  // The label centres the picture.
  const QPoint offset((Image->width() - shown.width()) / 2, (Image->height() - shown.height()) / 2);
  const QPoint d = labelPoint - offset;
  if (d.x() < 0 || d.y() < 0 || d.x() >= shown.width() || d.y() >= shown.height()) return {-1, -1};
  return {std::min(Picture.width() - 1, static_cast<int>(1LL * d.x() * Zoom.Den / Zoom.Num)),
          std::min(Picture.height() - 1, static_cast<int>(1LL * d.y() * Zoom.Den / Zoom.Num))};
}

bool TLeftForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      setFocus();
      const QPointF at = mouse->position();  // the pixel the point lies in, not the nearest corner
      emit PixelClicked(ScenePixelAt(QPoint(static_cast<int>(std::floor(at.x())),
                                            static_cast<int>(std::floor(at.y())))));
      return true;
    }
  }
  return QMdiSubWindow::eventFilter(watched, event);
}

void TLeftForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
      emit StepRequested(+1);
      return;
    case Qt::Key_Left:
    case Qt::Key_Up:
      emit StepRequested(-1);
      return;
    default:
      QMdiSubWindow::keyPressEvent(event);
  }
}

}  // namespace ormax
