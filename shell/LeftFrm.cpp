#include "shell/LeftFrm.h"

#include <QPixmap>
#include <QVBoxLayout>
#include <cmath>

namespace ormax {

TLeftForm::TLeftForm(QWidget* parent) : QMdiSubWindow(parent) {
  setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint);
  setWindowTitle(" ");
  Panel = new QFrame;
  Panel->setFrameShape(QFrame::Panel);
  Panel->setFrameShadow(QFrame::Sunken);
  Panel->setLineWidth(BevelWidth);
  Image = new QLabel;
  Image->setAlignment(Qt::AlignCenter);
  auto* layout = new QVBoxLayout(Panel);
  layout->setContentsMargins(BevelWidth, BevelWidth, BevelWidth, BevelWidth);
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

void TLeftForm::FitToPicture() {
  SetClientSize(Picture.size() + QSize(2 * BevelWidth, 2 * BevelWidth));
}

void TLeftForm::ShowPicture() {
  Image->setPixmap(QPixmap::fromImage(Picture));
}

}  // namespace ormax
