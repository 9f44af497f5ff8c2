#include "planner/gui/FrmFind.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "controls/gui/ComboEdit.h"
#include "planner/gui/DialogHelp.h"
#include "planner/ration/RationEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/core/Keys.h"
#include "platform/gui/QtGraphics.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

void SetItems(QComboBox* box, const std::vector<AnsiString>& items) {
  if (box->count() == static_cast<int>(items.size())) return;
  box->clear();
  for (const AnsiString& s : items) box->addItem(ToQString(s));
}

// Background of an edit by a system colour: the window colour or the button face.
void SetSystemBackground(QLineEdit* edit, TColor color) {
  QPalette p = edit->palette();
  p.setColor(QPalette::Base, QApplication::palette().color(color == 0x80000005 ? QPalette::Base : QPalette::Button));
  edit->setPalette(p);
}

}  // namespace

TFindDlg::TFindDlg(TFindDlgModel& Model, IRefPicker* PickList, QWidget* parent)
    : QDialog(parent), model_(Model), pickList_(PickList) {
  setObjectName("FindDlg");
  CreateControls();
  ConnectEvents();
  ApplyModelState();
}

void TFindDlg::CreateControls() {
  auto* condBox = new QGroupBox(Q("Условие поиска"), this);
  condBox->setObjectName("gbCondition");
  cbItemType = new QComboBox(condBox);
  cbItemType->setObjectName("cbItemType");
  cbField = new QComboBox(condBox);
  cbField->setObjectName("cbField");
  cbCond = new QComboBox(condBox);
  cbCond->setObjectName("cbCond");
  edCondValue = new QLineEdit(condBox);
  edCondValue->setObjectName("edCondValue");
  cbCaseSens = new QCheckBox(Q("учитывать регистр символов"), condBox);
  cbCaseSens->setObjectName("cbCaseSens");
  auto* g = new QGridLayout(condBox);
  g->addWidget(new QLabel(Q("Искать"), condBox), 0, 0);
  g->addWidget(cbItemType, 0, 1);
  g->addWidget(new QLabel(Q("с"), condBox), 0, 2);
  g->addWidget(cbField, 0, 3);
  g->addWidget(cbCond, 1, 1);
  g->addWidget(edCondValue, 1, 3);
  g->addWidget(cbCaseSens, 2, 3);
  g->setColumnStretch(3, 1);

  auto* repBox = new QGroupBox(this);
  repBox->setObjectName("gbReplace");
  cbxReplace = new QCheckBox(Q("заменить"), repBox);
  cbxReplace->setObjectName("cbxReplace");
  cbRepItem = new TComboEdit(repBox);
  cbRepItem->setObjectName("cbRepItem");
  cbRepItem->SetDirectInput(false);  // chosen in the pick-list only
  cbRepItem->SetGlyphKind(TGlyphKind::gkEllipsis);
  lblRepValue = new QLabel(Q("в количестве"), repBox);
  lblRepValue->setObjectName("lblRepValue");
  edRepValue = new QLineEdit(repBox);
  edRepValue->setObjectName("edRepValue");
  edRepValue->setMaximumWidth(60);
  auto* rl = new QHBoxLayout(repBox);
  rl->addWidget(cbxReplace);
  rl->addWidget(cbRepItem, 1);
  rl->addWidget(lblRepValue);
  rl->addWidget(edRepValue);
  rl->addWidget(new QLabel(Q("г"), repBox));

  rgRegion = new QGroupBox(this);
  rgRegion->setObjectName("rgRegion");
  const std::vector<AnsiString> regions = TFindDlgModel::RegionItems();
  rbForward = new QRadioButton(ToQString(regions[0]), rgRegion);
  rbForward->setObjectName("rbForward");
  rbBackward = new QRadioButton(ToQString(regions[1]), rgRegion);
  rbBackward->setObjectName("rbBackward");
  auto* gl = new QVBoxLayout(rgRegion);
  gl->addWidget(rbForward);
  gl->addWidget(rbBackward);

  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton(Q("Отказ"), this);
  Button2->setObjectName("Button2");
  btnHelp = new QPushButton(Q("Справка"), this);
  btnHelp->setObjectName("btnHelp");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  buttons->addWidget(btnHelp);

  auto* main = new QVBoxLayout(this);
  main->addWidget(condBox);
  main->addWidget(repBox);
  main->addWidget(rgRegion);
  main->addLayout(buttons);
  setFixedWidth(470);
}

void TFindDlg::ConnectEvents() {
  auto guarded = [this](void (TFindDlg::*handler)()) {
    return [this, handler] { GuardedCall(nullptr, [this, handler] { (this->*handler)(); }); };
  };
  connect(cbItemType, &QComboBox::activated, this, guarded(&TFindDlg::cbItemTypeChange));
  connect(cbField, &QComboBox::activated, this, guarded(&TFindDlg::cbFieldChange));
  connect(cbCond, &QComboBox::activated, this, guarded(&TFindDlg::cbCondChange));
  connect(cbxReplace, &QCheckBox::clicked, this, guarded(&TFindDlg::cbxReplaceClick));
  connect(cbCaseSens, &QCheckBox::clicked, this, [this](bool on) { model_.SetCaseSens(on); });
  connect(rbForward, &QRadioButton::clicked, this, [this] { model_.SetRegion(0); });
  connect(rbBackward, &QRadioButton::clicked, this, [this] { model_.SetRegion(1); });
  cbRepItem->OnButtonClick = [this](TObject*) { cbRepItemButtonClick(); };
  cbRepItem->OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState) { cbRepItemKeyDown(key); };
  connect(Button1, &QPushButton::clicked, this, guarded(&TFindDlg::Button1Click));
  connect(Button2, &QPushButton::clicked, this, guarded(&TFindDlg::Button2Click));
  connect(btnHelp, &QPushButton::clicked, this, guarded(&TFindDlg::btnHelpClick));
}

void TFindDlg::ApplyModelState() {
  applying_ = true;
  setWindowTitle(ToQString(model_.Caption()));
  rgRegion->setTitle(ToQString(model_.RegionCaption()));
  SetItems(cbItemType, TFindDlgModel::ItemTypeItems());
  cbItemType->setCurrentIndex(model_.ItemType());
  SetItems(cbField, TFindDlgModel::FieldItems());
  cbField->setCurrentIndex(model_.Field());
  SetItems(cbCond, model_.CondItems());
  cbCond->setCurrentIndex(model_.Cond());
  edCondValue->setText(ToQString(model_.CondValue()));
  cbCaseSens->setVisible(model_.CaseSensVisible());
  cbCaseSens->setChecked(model_.CaseSens());
  cbxReplace->setChecked(model_.Replace());
  cbRepItem->SetText(model_.RepName());
  edRepValue->setText(ToQString(model_.RepValue()));
  cbRepItem->setEnabled(model_.RepEnabled());
  edRepValue->setEnabled(model_.RepEnabled());
  SetSystemBackground(cbRepItem, model_.RepColor());
  SetSystemBackground(edRepValue, model_.RepColor());
  lblRepValue->setVisible(model_.RepValueVisible());
  edRepValue->setVisible(model_.RepValueVisible());
  (model_.Region() == 0 ? rbForward : rbBackward)->setChecked(true);
  applying_ = false;
}

void TFindDlg::ReadTexts() {
  model_.SetCondValue(FromQString(edCondValue->text()));
  model_.SetRepValue(FromQString(edRepValue->text()));
}

int TFindDlg::Execute() {
  ApplyModelState();
  return exec() == QDialog::Accepted ? mrOk : mrCancel;
}

void TFindDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TFindDlg::FormShow() { cbItemType->setFocus(); }

void TFindDlg::cbItemTypeChange() {
  ReadTexts();
  model_.SetItemType(cbItemType->currentIndex());
  ApplyModelState();
}

void TFindDlg::cbFieldChange() {
  ReadTexts();
  model_.SetField(cbField->currentIndex());
  ApplyModelState();
}

void TFindDlg::cbCondChange() { model_.SetCond(cbCond->currentIndex()); }

void TFindDlg::cbxReplaceClick() {
  ReadTexts();
  model_.SetReplace(cbxReplace->isChecked());
  ApplyModelState();
}

void TFindDlg::cbRepItemButtonClick() {
  if (pickList_ == nullptr) return;
  ReadTexts();
  if (pickList_->Execute(model_.RepPickPage(), TFindDlgModel::RepPickCaption()) != mrOk ||
      pickList_->PickCount() <= 0)
    return;
  const TFoodRec* rec = pickList_->GetItemData(0);
  if (rec == nullptr) return;
  model_.SetReplacement(*rec, pickList_->GetItemText(0));
  ApplyModelState();
}

void TFindDlg::cbRepItemKeyDown(std::uint16_t& Key) {
  if (Key != VK_BACK) return;
  Key = 0;
  model_.ClearReplacement();
  ApplyModelState();
}

void TFindDlg::Button1Click() {
  ReadTexts();
  const TFindCheck check = model_.Check();
  if (!check.Ok) {
    MessageDlg(check.Message, TMsgDlgType::mtError, mbOK);
    QWidget* focus = check.Focus == TFindFocus::RepItem    ? static_cast<QWidget*>(cbRepItem)
                     : check.Focus == TFindFocus::RepValue ? static_cast<QWidget*>(edRepValue)
                                                           : static_cast<QWidget*>(edCondValue);
    focus->setFocus();
    ApplyModelState();
    return;
  }
  ApplyModelState();
  accept();
}

void TFindDlg::Button2Click() { reject(); }

void TFindDlg::btnHelpClick() { ShowDialogHelp(OnHelp, kFindHelpContext); }

// ---------------------------------------------------------------------------------

TReplaceAnswer TReplaceConfirmDlg::ConfirmReplace(const AnsiString& Msg) {
  switch (MessageDlg(Msg, TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel | mbYesToAll)) {
    case mrYes: return TReplaceAnswer::Yes;
    case mrNo: return TReplaceAnswer::No;
    case mrYesToAll: return TReplaceAnswer::YesToAll;
    default: return TReplaceAnswer::Cancel;
  }
}

namespace {

int ShowResult(TRationFinder& finder, int count, bool findNext) {
  const AnsiString text = finder.ResultMessage(count, findNext);
  if (!text.empty()) MessageDlg(text, TMsgDlgType::mtInformation, mbOK);
  return count;
}

}  // namespace

int ItemFindExecute(TFindDlg& Dialog, TRationFinder& Finder, IReplaceConfirm& Confirm) {
  if (Dialog.Execute() != mrOk) return -1;
  Finder.Condition = Dialog.Model().Condition();
  Finder.Confirm = true;
  return ShowResult(Finder, Finder.FindItems(Finder.FindStart(), Confirm), false);
}

int ItemFindNextExecute(TRationFinder& Finder, IReplaceConfirm& Confirm) {
  return ShowResult(Finder, Finder.FindItems(Finder.FindNextStart(), Confirm), true);
}
