// UpDown: the arrows step the edit's number, clamped to the range; typed text is left
// as it is.
//   TUpDown: SetMax, SetPosition, Step
#include "shell/UpDown.h"

#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>

namespace ormax {

TUpDown::TUpDown(QLineEdit* associate, QWidget* parent) : QWidget(parent), associate_(associate) {
  Up = new QToolButton(this);
  Down = new QToolButton(this);
  Up->setArrowType(Qt::UpArrow);
  Down->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {Up, Down}) {
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    b->setAutoRepeat(true);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Up);
  layout->addWidget(Down);
  connect(Up, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(Down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::SetMax(int max) {
  Max = static_cast<int16_t>(std::clamp(max, -32768, 32767));
}

void TUpDown::SetPosition(int position) {
  Position = std::clamp(position, Min, std::max(Min, Max));
}

void TUpDown::Step(int delta) {
  bool ok = false;
  const int typed = associate_->text().trimmed().toInt(&ok);
  if (ok) Position = typed;
  SetPosition(Position + delta);
  associate_->setText(QString::number(Position));
}

}  // namespace ormax
