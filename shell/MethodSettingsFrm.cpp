// MethodSettingsFrm: the Method Settings dialog; OK takes the admissible error and the
// maximum tree level and shows them in the status bar, then the scene reading (a
// changed background reads the open scene again).
//   TMethodSettingsForm: FormShow, Button1Click, Button2Click
#include "shell/MethodSettingsFrm.h"

#include <QKeyEvent>

#include "app/FormatGeneral.h"
#include "shell/LocaleNumbers.h"
#include "shell/MainFrm.h"
#include "shell/SettingsDialog.h"

namespace ormax {

namespace {

TBackground BackgroundAt(int index) {
  return index == 1 ? TBackground::Auto : TBackground::White;
}

// A speck size from its field: a whole number of pixels, 0 keeping every region.
int32_t ReadMinPixels(const QString& text) {
  const int32_t n = ReadInteger(text);
  if (n < 0 || n > MaxMinPixels)
    throw EConvertError("'" + text.toStdString() + "' is not a number of pixels from 0 to " +
                        std::to_string(MaxMinPixels));
  return n;
}

QFrame* RaisedPanel(QWidget* parent, QRect geometry) {
  auto* panel = new QFrame(parent);
  panel->setGeometry(geometry);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return panel;
}

}  // namespace

TMethodSettingsForm::TMethodSettingsForm(TMainForm* mainForm)
    : QDialog(mainForm), mainForm_(mainForm) {
  SetUpSettingsDialog(*this, "Method Settings", QSize(254 + 290, 150));
  Panel = RaisedPanel(this, QRect(0, 0, 254, 92));
  Label1 = new QLabel("Admissible error:", Panel);
  Label1->setGeometry(16, 13, 101, 21);
  Edit1 = new QLineEdit(Panel);
  Edit1->setGeometry(119, 13, 91, 21);
  std::tie(Label2, Edit2, UpDown) =
      AddLevelField(Panel, "Maximum tree level:", QRect(16, 52, 101, 21), QRect(119, 52, 26, 21),
                    QRect(145, 52, 20, 21));
  UpDown->SetMax(255);
  ReadingPanel = RaisedPanel(this, QRect(254, 0, 290, 150));
  BackgroundLabel = new QLabel("Background:", ReadingPanel);
  BackgroundLabel->setGeometry(12, 13, 70, 21);
  BackgroundBox = new QComboBox(ReadingPanel);
  BackgroundBox->addItems({"white", "found in the picture (auto)"});
  BackgroundBox->setGeometry(84, 13, 194, 21);
  SpecksLabel = new QLabel("Leave out regions under", ReadingPanel);
  SpecksLabel->setGeometry(12, 52, 122, 21);
  SpecksEdit = new QLineEdit("0", ReadingPanel);
  SpecksEdit->setGeometry(136, 52, 56, 21);
  SpecksUnit = new QLabel("pixels", ReadingPanel);
  SpecksUnit->setGeometry(198, 52, 40, 21);
  connect(BackgroundBox, &QComboBox::currentIndexChanged, this, [this](int index) {
    const TBackground other =
        BackgroundAt(index) == TBackground::Auto ? TBackground::White : TBackground::Auto;
    if (SpecksEdit->text().trimmed() == QString::number(DefaultMinPixels(other)))
      SpecksEdit->setText(QString::number(DefaultMinPixels(BackgroundAt(index))));
  });
  const TOkCancel buttons = AddOkCancel(
      *this, QRect(7, 104, 111, 33), QRect(137, 104, 111, 33),
      [this](const std::function<void()>& f) { mainForm_->Guard(f); }, [this] { Button1Click(); },
      [this] { Button2Click(); });
  Button1 = buttons.Ok;
  Button2 = buttons.Cancel;
  for (QPushButton* b : {Button1, Button2}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
}

void TMethodSettingsForm::showEvent(QShowEvent* event) {
  mainForm_->Guard([this] { FormShow(); });
  QDialog::showEvent(event);
}

void TMethodSettingsForm::keyPressEvent(QKeyEvent* event) {
  // Neither button is the default or the cancel button: Enter and Escape do nothing.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
      event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TMethodSettingsForm::FormShow() {
  Edit1->setText(QString::fromStdString(
      FormatGeneral(mainForm_->State.AdmissibleError, 7, DecimalSeparator())));
  Edit2->setText(QString::number(mainForm_->State.MaxTreeLevel));
  const TSceneReading& reading = mainForm_->State.Reading;
  BackgroundBox->setCurrentIndex(reading.Background == TBackground::Auto ? 1 : 0);
  SpecksEdit->setText(QString::number(reading.MinPixels));
}

void TMethodSettingsForm::Button1Click() {
  accept();
  mainForm_->State.AdmissibleError = ReadReal(Edit1->text());
  mainForm_->State.MaxTreeLevel = ReadInteger(Edit2->text());
  mainForm_->IndicateGenParameters();
  TSceneReading reading;
  reading.MinPixels = ReadMinPixels(SpecksEdit->text());
  reading.Background = BackgroundAt(BackgroundBox->currentIndex());
  mainForm_->SetReading(reading);
}

void TMethodSettingsForm::Button2Click() {
  reject();
}

}  // namespace ormax
