// LeftFrm: the picture window (see LeftFrm.h).
//   ShownPicture; TZoom steps; TLeftForm sizing within the work area, display at the
//   zoom with the outline, the zoom keeping the middle of the view, clicks and keys
// Zooming in repeats whole pixels, so cells stay sharp and a display pixel maps back
// to one scene pixel; zooming out keeps the most ink of each block.
#include "shell/LeftFrm.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QMdiArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace ormax {

namespace {

// The colour of the selection outline: it stands out on the views' colours and white.
constexpr QRgb kOutlineColour = qRgb(255, 0, 255);
// The largest picture shown: 32 million display pixels (128 MiB).
constexpr long long kMaxDisplayPixels = 32LL << 20;

// The first scene pixel of display pixel `d` along a side of `side` pixels at a zoom
// out by `den`; the last display pixel takes the remainder too, so none is dropped.
int BlockStart(int d, int den) {
  return d * den;
}
int BlockEnd(int d, int den, int shownSide, int side) {
  return d + 1 == shownSide ? side : std::min(side, (d + 1) * den);
}

QImage Enlarged(const QImage& picture, int num) {
  const int w = picture.width() * num, h = picture.height() * num;
  QImage out(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y / num));
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) line[x] = in[x / num];
  }
  return out;
}

QImage Reduced(const QImage& picture, int den) {
  const int pw = picture.width(), ph = picture.height();
  const int w = TZoom{1, den}.Scaled(pw), h = TZoom{1, den}.Scaled(ph);
  QImage out(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    const int y0 = BlockStart(y, den), y1 = BlockEnd(y, den, h, ph);
    for (int x = 0; x < w; ++x) {
      const int x0 = BlockStart(x, den), x1 = BlockEnd(x, den, w, pw);
      QRgb most = 0;
      int lightest = 3 * 255 + 1;  // the ink of a pixel: how far below white its sum is
      for (int sy = y0; sy < y1; ++sy) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(sy));
        for (int sx = x0; sx < x1; ++sx) {
          const int sum = qRed(in[sx]) + qGreen(in[sx]) + qBlue(in[sx]);
          if (sum < lightest) lightest = sum, most = in[sx];
        }
      }
      line[x] = most;
    }
  }
  return out;
}

}  // namespace

QImage ShownPicture(const QImage& picture, TZoom zoom) {
  if (picture.isNull() || zoom == TZoom{}) return picture;
  const QImage rgb = picture.format() == QImage::Format_RGB32
                         ? picture
                         : picture.convertToFormat(QImage::Format_RGB32);
  return zoom.Den == 1 ? Enlarged(rgb, zoom.Num) : Reduced(rgb, zoom.Den);
}

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
  Scroller = new QScrollArea;
  Scroller->setFrameShape(QFrame::NoFrame);
  Scroller->setAlignment(Qt::AlignCenter);
  Scroller->setFocusPolicy(Qt::NoFocus);  // the arrow keys step through the regions
  Scroller->setWidget(Panel);
  setWidget(Scroller);
}

void TLeftForm::FormCreate(QSize mainClient) {
  const int s =
      static_cast<int>(std::floor(0.8 * std::min(mainClient.width(), mainClient.height())));
  setFixedSize(s, s);
}

QSize TLeftForm::FrameSize() const {
  // The borders and the title bar: the content's offset, the side border once more.
  const QRect inner = widget()->geometry();
  return QSize(inner.x() * 2, inner.y() + inner.x());
}

QSize TLeftForm::Room() const {
  if (const QMdiArea* area = mdiArea()) return area->viewport()->size();
  return {};
}

void TLeftForm::SetClientSize(QSize client) {
  Panel->setFixedSize(client);
  const QSize frame = FrameSize();
  const QSize room = Room();
  if (room.isEmpty()) {
    setFixedSize(client + frame);
    return;
  }
  // No more than the work area; a scroll bar along one side takes room from the other.
  const QSize most = room - frame;
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Scroller);
  bool wide = client.width() > most.width(), tall = client.height() > most.height();
  if (wide && !tall) tall = client.height() + bar > most.height();
  if (tall && !wide) wide = client.width() + bar > most.width();
  const QSize shown(std::max(1, std::min(client.width() + (tall ? bar : 0), most.width())),
                    std::max(1, std::min(client.height() + (wide ? bar : 0), most.height())));
  setFixedSize(shown + frame);
  // The caption and the buttons stay in view.
  const QPoint at(std::max(0, std::min(x(), room.width() - width())),
                  std::max(0, std::min(y(), room.height() - height())));
  if (at != pos()) move(at);
}

void TLeftForm::FitToRoom() {
  if (!Picture.isNull() && isVisible() && !isMinimized())
    SetClientSize(Panel->size());
}

void TLeftForm::Reveal() {
  if (isMinimized() || isHidden()) showNormal();
  // Closing the window closes (hides) its content as well.
  if (widget()->isHidden()) widget()->show();
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
  QImage shown = ShownPicture(Picture, Zoom);
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
  const QSize frame = FrameSize() + QSize(2 * BevelWidth, 2 * BevelWidth);
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
  // The scene point in the middle of the view stays there.
  const QWidget* view = Scroller->viewport();
  const QPoint middle = Panel->mapFrom(view, view->rect().center()) -
                        QPoint(BevelWidth, BevelWidth);
  QPointF scene(middle.x() * double(Zoom.Den) / Zoom.Num, middle.y() * double(Zoom.Den) / Zoom.Num);
  // A window out of sight has no view: its picture's middle then.
  if (isMinimized() || !isVisible()) scene = QPointF(Picture.width() / 2.0, Picture.height() / 2.0);
  Zoom = zoom;
  ApplyCaption();
  if (Picture.isNull()) return;
  FitToPicture();
  ShowPicture();
  CentreOn(scene);
}

void TLeftForm::CentreOn(QPointF scenePoint) {
  const QWidget* view = Scroller->viewport();
  const QPointF shown = scenePoint * Zoom.Num / Zoom.Den + QPointF(BevelWidth, BevelWidth);
  Scroller->horizontalScrollBar()->setValue(static_cast<int>(shown.x()) - view->width() / 2);
  Scroller->verticalScrollBar()->setValue(static_cast<int>(shown.y()) - view->height() / 2);
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
