#include "planner/gui/FrmOptions.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>

#include "controls/gui/ComboEdit.h"
#include "planner/gui/DialogHelp.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

namespace {

QString T(const char* name) { return ToQString(TOptionsModel::Text(name)); }

// A name for the component texts: "DirectoryEdit1", ...
std::string Indexed(const char* base, int i) { return std::string(base) + std::to_string(i + 1); }

}  // namespace

TOptionsForm::TOptionsForm(IRefPicker* PickList, QWidget* parent) : QDialog(parent), pickList_(PickList) {
  setObjectName("OptionsForm");
  CreateControls();
}

void TOptionsForm::CreateControls() {
  setWindowTitle(T("OptionsForm.Caption"));
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");

  auto* general = new QWidget(PageControl1);
  general->setObjectName("tsGeneral");
  auto* gl = new QVBoxLayout(general);
  for (int i = 0; i < 3; ++i) {
    const std::string name = Indexed("DirectoryEdit", i);
    gl->addWidget(new QLabel(T((name + ".Label").c_str()), general));
    DirectoryEdit[i] = new TDirectoryEdit(general);
    DirectoryEdit[i]->setObjectName(QString::fromStdString(name));
    DirectoryEdit[i]->SetDirectInput(false);  // the folder dialog only
    DirectoryEdit[i]->DialogText = TOptionsModel::Text(name + ".DialogText");
    DirectoryEdit[i]->setToolTip(T((name + ".Hint").c_str()));
    DirectoryEdit[i]->OnKeyPress = [this, i](TObject*, char& key) { DirectoryEditKeyPress(i, key); };
    gl->addWidget(DirectoryEdit[i]);
  }
  QCheckBox** boxes[] = {&CheckBox1, &CheckBox2, &CheckBox3};
  for (int i = 0; i < 3; ++i) {
    const std::string name = Indexed("CheckBox", i);
    *boxes[i] = new QCheckBox(T((name + ".Caption").c_str()), general);
    (*boxes[i])->setObjectName(QString::fromStdString(name));
    (*boxes[i])->setToolTip(T((name + ".Hint").c_str()));
    gl->addWidget(*boxes[i]);
  }
  gl->addStretch(1);
  PageControl1->addTab(general, T("tsGeneral.Caption"));

  auto* rations = new QWidget(PageControl1);
  rations->setObjectName("tsRations");
  auto* rl = new QVBoxLayout(rations);
  auto* group = new QGroupBox(T("RadioGroup1.Caption"), rations);
  group->setObjectName("RadioGroup1");
  group->setToolTip(T("RadioGroup1.Hint"));
  auto* groupLayout = new QVBoxLayout(group);
  const std::vector<AnsiString> types = TOptionsModel::RationTypeItems();
  for (int i = 0; i < 2; ++i) {
    RadioGroup1[i] = new QRadioButton(ToQString(types[static_cast<std::size_t>(i)]), group);
    RadioGroup1[i]->setObjectName(QString("RadioGroup1Item%1").arg(i));
    groupLayout->addWidget(RadioGroup1[i]);
  }
  rl->addWidget(group);
  auto* form = new QFormLayout;
  ComboEdit1 = new TComboEdit(rations);
  ComboEdit1->setObjectName("ComboEdit1");
  ComboEdit1->SetDirectInput(false);  // chosen in the pick-list only
  ComboEdit1->SetGlyphKind(TGlyphKind::gkEllipsis);
  ComboEdit1->setToolTip(T("ComboEdit1.Hint"));
  ComboEdit1->OnButtonClick = [this](TObject*) { ComboEdit1ButtonClick(); };
  ComboEdit1->OnKeyPress = [this](TObject*, char& key) { ComboEdit1KeyPress(key); };
  form->addRow(T("ComboEdit1.Label"), ComboEdit1);
  SpinEdit1 = new QSpinBox(rations);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit1->setRange(1, std::numeric_limits<int>::max());
  SpinEdit1->setToolTip(T("SpinEdit1.Hint"));
  form->addRow(T("SpinEdit1.Label"), SpinEdit1);
  SpinEdit2 = new QSpinBox(rations);
  SpinEdit2->setObjectName("SpinEdit2");
  SpinEdit2->setRange(1, kMaxDfltDays);
  SpinEdit2->setToolTip(T("SpinEdit2.Hint"));
  form->addRow(T("SpinEdit2.Label"), SpinEdit2);
  Edit1 = new QLineEdit(rations);
  Edit1->setObjectName("Edit1");
  Edit1->setToolTip(T("Edit1.Hint"));
  // The author goes into new rations, which keep code page 1251: shown as it will be kept.
  connect(Edit1, &QLineEdit::textEdited, Edit1, [this] { KeepAs1251(Edit1); });
  form->addRow(T("Edit1.Label"), Edit1);
  rl->addLayout(form);
  rl->addStretch(1);
  PageControl1->addTab(rations, T("tsRations.Caption"));

  btnOk = new QPushButton(T("btnOk.Caption"), this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnOk->setToolTip(T("btnOk.Hint"));
  btnCancel = new QPushButton(T("btnCancel.Caption"), this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setToolTip(T("btnCancel.Hint"));
  Button3 = new QPushButton(T("Button3.Caption"), this);
  Button3->setObjectName("Button3");
  Button3->setToolTip(T("Button3.Hint"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  buttons->addWidget(Button3);
  auto* main = new QVBoxLayout(this);
  main->addWidget(PageControl1);
  main->addLayout(buttons);
  resize(520, 360);

  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this,
          [this] { GuardedCall(nullptr, [this] { ShowDialogHelp(OnHelp, kOptionsHelpContext); }); });
}

void TOptionsForm::ApplyModelState() {
  const AnsiString* dirs[] = {&model_.RefDir, &model_.DataDir, &model_.ExampleDir};
  for (int i = 0; i < 3; ++i) DirectoryEdit[i]->SetText(*dirs[i]);
  CheckBox1->setChecked(model_.ShowHint);
  CheckBox2->setChecked(model_.CreateBakFiles);
  CheckBox3->setChecked(model_.PackRef);
  RadioGroup1[model_.RationTypeIndex == 0 ? 0 : 1]->setChecked(true);
  ComboEdit1->SetText(model_.TourName);
  SpinEdit1->setValue(model_.Mans);
  SpinEdit2->setValue(model_.Days);
  Edit1->setText(ToQString(model_.Author));
}

void TOptionsForm::ReadControls() {
  AnsiString* dirs[] = {&model_.RefDir, &model_.DataDir, &model_.ExampleDir};
  for (int i = 0; i < 3; ++i) *dirs[i] = DirectoryEdit[i]->Text();
  model_.ShowHint = CheckBox1->isChecked();
  model_.CreateBakFiles = CheckBox2->isChecked();
  model_.PackRef = CheckBox3->isChecked();
  model_.RationTypeIndex = RadioGroup1[0]->isChecked() ? 0 : 1;
  model_.TourName = ComboEdit1->Text();
  model_.Mans = SpinEdit1->value();
  model_.Days = SpinEdit2->value();
  model_.Author = FromQString(Edit1->text());
}

void TOptionsForm::Prepare(const TAppSettings& Settings) {
  model_.Load(Settings);
  ApplyModelState();
}

void TOptionsForm::DirectoryEditKeyPress(int Index, char& Key) {
  if (Index < 0 || Index > 2) return;
  Key = 0;
  DirectoryEdit[Index]->DoClick();
}

void TOptionsForm::ComboEdit1ButtonClick() {
  if (pickList_ == nullptr) return;
  ReadControls();
  if (model_.PickTour(*pickList_)) ComboEdit1->SetText(model_.TourName);
}

void TOptionsForm::ComboEdit1KeyPress(char& Key) {
  const bool opens = TOptionsModel::TourKeyOpensPick(static_cast<unsigned char>(Key));
  Key = 0;
  if (opens) ComboEdit1ButtonClick();
}

void TOptionsForm::btnOkClick(TdmGlobals& Globals) {
  ReadControls();
  model_.Apply(Globals.Settings);
  try {
    Globals.SaveSettings();
  } catch (const std::exception& e) {
    MessageDlg(Ansi("Не удается записать параметры программы:\r") + AnsiString(e.what()) +
                   Ansi("\rИзменения действуют до выхода из программы."),
               TMsgDlgType::mtError, mbOK);
  }
}

int TOptionsForm::Execute(TdmGlobals& Globals) {
  Prepare(Globals.Settings);
  if (exec() != QDialog::Accepted) return mrCancel;
  btnOkClick(Globals);
  return mrOk;
}
