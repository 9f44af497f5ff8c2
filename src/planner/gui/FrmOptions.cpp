#include "planner/gui/FrmOptions.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

#include "planner/gui/DialogHelp.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"

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
    DirectoryEdit[i] = new QLineEdit(general);
    DirectoryEdit[i]->setObjectName(QString::fromStdString(name));
    DirectoryEdit[i]->setReadOnly(true);  // no direct input: the folder dialog only
    DirectoryEdit[i]->setToolTip(T((name + ".Hint").c_str()));
    DirectoryEdit[i]->installEventFilter(this);
    DirectoryButton[i] = new QToolButton(general);
    DirectoryButton[i]->setObjectName(QString::fromStdString(name + "Button"));
    DirectoryButton[i]->setText("...");
    auto* row = new QHBoxLayout;
    row->addWidget(DirectoryEdit[i], 1);
    row->addWidget(DirectoryButton[i]);
    gl->addLayout(row);
    connect(DirectoryButton[i], &QToolButton::clicked, this,
            [this, i] { GuardedCall(nullptr, [this, i] { DirectoryEditButtonClick(i); }); });
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
  ComboEdit1 = new QLineEdit(rations);
  ComboEdit1->setObjectName("ComboEdit1");
  ComboEdit1->setReadOnly(true);
  ComboEdit1->setToolTip(T("ComboEdit1.Hint"));
  ComboEdit1->installEventFilter(this);
  ComboEdit1Button = new QToolButton(rations);
  ComboEdit1Button->setObjectName("ComboEdit1Button");
  ComboEdit1Button->setText("...");
  auto* tourRow = new QHBoxLayout;
  tourRow->addWidget(ComboEdit1, 1);
  tourRow->addWidget(ComboEdit1Button);
  form->addRow(T("ComboEdit1.Label"), tourRow);
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

  connect(ComboEdit1Button, &QToolButton::clicked, this,
          [this] { GuardedCall(nullptr, [this] { ComboEdit1ButtonClick(); }); });
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this,
          [this] { GuardedCall(nullptr, [this] { ShowDialogHelp(OnHelp, kOptionsHelpContext); }); });
}

void TOptionsForm::ApplyModelState() {
  const AnsiString* dirs[] = {&model_.RefDir, &model_.DataDir, &model_.ExampleDir};
  for (int i = 0; i < 3; ++i) DirectoryEdit[i]->setText(ToQString(*dirs[i]));
  CheckBox1->setChecked(model_.ShowHint);
  CheckBox2->setChecked(model_.CreateBakFiles);
  CheckBox3->setChecked(model_.PackRef);
  RadioGroup1[model_.RationTypeIndex == 0 ? 0 : 1]->setChecked(true);
  ComboEdit1->setText(ToQString(model_.TourName));
  SpinEdit1->setValue(model_.Mans);
  SpinEdit2->setValue(model_.Days);
  Edit1->setText(ToQString(model_.Author));
}

void TOptionsForm::ReadControls() {
  AnsiString* dirs[] = {&model_.RefDir, &model_.DataDir, &model_.ExampleDir};
  for (int i = 0; i < 3; ++i) *dirs[i] = FromQString(DirectoryEdit[i]->text());
  model_.ShowHint = CheckBox1->isChecked();
  model_.CreateBakFiles = CheckBox2->isChecked();
  model_.PackRef = CheckBox3->isChecked();
  model_.RationTypeIndex = RadioGroup1[0]->isChecked() ? 0 : 1;
  model_.TourName = FromQString(ComboEdit1->text());
  model_.Mans = SpinEdit1->value();
  model_.Days = SpinEdit2->value();
  model_.Author = FromQString(Edit1->text());
}

void TOptionsForm::Prepare(const TAppSettings& Settings) {
  model_.Load(Settings);
  ApplyModelState();
}

void TOptionsForm::DirectoryEditButtonClick(int Index) {
  if (Index < 0 || Index > 2) return;
  AnsiString dir = FromQString(DirectoryEdit[Index]->text());
  const std::string name = Indexed("DirectoryEdit", Index) + ".DialogText";
  if (SelectDirectory(TOptionsModel::Text(name), dir)) DirectoryEdit[Index]->setText(ToQString(dir));
}

void TOptionsForm::ComboEdit1ButtonClick() {
  if (pickList_ == nullptr) return;
  ReadControls();
  if (model_.PickTour(*pickList_)) ComboEdit1->setText(ToQString(model_.TourName));
}

void TOptionsForm::ComboEdit1KeyPress(unsigned char Key) {
  if (TOptionsModel::TourKeyOpensPick(Key)) ComboEdit1ButtonClick();
}

bool TOptionsForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    for (int i = 0; i < 3; ++i) {
      if (watched != DirectoryEdit[i] || key->text().isEmpty()) continue;
      GuardedCall(nullptr, [this, i] { DirectoryEditButtonClick(i); });
      return true;
    }
    if (watched == ComboEdit1 && !key->text().isEmpty()) {
      const AnsiString typed = FromQString(key->text().left(1));
      if (!typed.empty())
        GuardedCall(nullptr, [this, typed] { ComboEdit1KeyPress(static_cast<unsigned char>(typed[0])); });
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
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
