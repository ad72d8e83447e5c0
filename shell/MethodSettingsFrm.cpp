// MethodSettingsFrm: the Method Settings dialog; OK takes the admissible error and the
// maximum tree level and shows them in the status bar.
//   TMethodSettingsForm: FormShow, Button1Click, Button2Click
#include "shell/MethodSettingsFrm.h"

#include <QKeyEvent>

#include "app/FormatGeneral.h"
#include "shell/LocaleNumbers.h"
#include "shell/MainFrm.h"
#include "shell/SettingsDialog.h"

namespace ormax {

TMethodSettingsForm::TMethodSettingsForm(TMainForm* mainForm)
    : QDialog(mainForm), mainForm_(mainForm) {
  SetUpSettingsDialog(*this, "Method Settings", QSize(254, 150));
  Panel = new QFrame(this);
  Panel->setGeometry(0, 0, 254, 92);
  Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Label1 = new QLabel("Admissible error:", Panel);
  Label1->setGeometry(16, 13, 101, 21);
  Edit1 = new QLineEdit(Panel);
  Edit1->setGeometry(119, 13, 91, 21);
  Label2 = new QLabel("Maximum tree level:", Panel);
  Label2->setGeometry(16, 52, 101, 21);
  Edit2 = new QLineEdit("0", Panel);
  Edit2->setGeometry(119, 52, 26, 21);
  UpDown = new TUpDown(Edit2, Panel);
  UpDown->setGeometry(145, 52, 20, 21);
  UpDown->Min = 0;
  UpDown->SetMax(255);
  UpDown->SetPosition(0);
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
}

void TMethodSettingsForm::Button1Click() {
  accept();
  mainForm_->State.AdmissibleError = ReadReal(Edit1->text());
  mainForm_->State.MaxTreeLevel = ReadInteger(Edit2->text());
  mainForm_->IndicateGenParameters();
}

void TMethodSettingsForm::Button2Click() {
  reject();
}

}  // namespace ormax
