// OptionsFrm: the Options dialog; OK takes the maximum level to view, the fill and
// the sameness settings.
//   TOptionsForm: FormShow, Button1Click, Button2Click
#include "shell/OptionsFrm.h"

#include <algorithm>

#include "shell/LocaleNumbers.h"
#include "shell/MainFrm.h"
#include "shell/SettingsDialog.h"

namespace ormax {

TOptionsForm::TOptionsForm(TMainForm* mainForm) : QDialog(mainForm), mainForm_(mainForm) {
  SetUpSettingsDialog(*this, "Options", QSize(257, 213));
  GroupBox1 = new QGroupBox("Representation", this);
  GroupBox1->setGeometry(8, 8, 241, 84);
  std::tie(Label1, Edit1, UpDown) =
      AddLevelField(GroupBox1, "Maximum level to view:", QRect(16, 24, 119, 21),
                    QRect(136, 24, 26, 21), QRect(162, 24, 15, 21));
  CheckBox1 = new QCheckBox("Fill ellipses", GroupBox1);
  CheckBox1->setGeometry(32, 56, 97, 17);
  CheckBox1->setChecked(true);
  GroupBox2 = new QGroupBox("Recognitrion", this);
  GroupBox2->setGeometry(8, 100, 241, 56);
  CheckBox2 = new QCheckBox("Show sameness mesure", GroupBox2);
  CheckBox2->setGeometry(32, 24, 169, 17);
  const TOkCancel buttons = AddOkCancel(
      *this, QRect(8, 170, 112, 33), QRect(137, 170, 112, 33),
      [this](const std::function<void()>& f) { mainForm_->Guard(f); }, [this] { Button1Click(); },
      [this] { Button2Click(); });
  Button1 = buttons.Ok;
  Button1->setDefault(true);
  Button2 = buttons.Cancel;
  Button2->setAutoDefault(false);
}

void TOptionsForm::showEvent(QShowEvent* event) {
  mainForm_->Guard([this] { FormShow(); });
  QDialog::showEvent(event);
}

void TOptionsForm::FormShow() {
  const TAppState& state = mainForm_->State;
  if (state.Trees.Count() > 0) {
    UpDown->SetMax(0);
    for (const auto& tree : state.Trees) UpDown->SetMax(std::max(tree->Depth(), UpDown->Max));
  } else {
    UpDown->SetMax(state.MaxTreeLevel);
  }
  Edit1->setText(QString::number(state.MaxViewLevel));
  CheckBox1->setChecked(state.FillEllipses);
  CheckBox2->setChecked(state.ShowSameness);
}

void TOptionsForm::Button1Click() {
  hide();
  accept();
  mainForm_->State.MaxViewLevel = ReadInteger(Edit1->text());
  mainForm_->State.FillEllipses = CheckBox1->isChecked();
  mainForm_->State.ShowSameness = CheckBox2->isChecked();
}

void TOptionsForm::Button2Click() {
  reject();
}

}  // namespace ormax
