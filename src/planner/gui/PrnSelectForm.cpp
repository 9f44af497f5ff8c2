#include "planner/gui/PrnSelectForm.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/gui/MtTreeView.h"
#include "planner/gui/DialogHelp.h"
#include "platform/core/AnsiText.h"
#include "platform/core/FlagScope.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"

namespace {

std::uint8_t BoxState(TPrnCheck s) {
  return s == TPrnCheck::Checked ? cbsChecked : s == TPrnCheck::Grayed ? cbsGrayed : cbsUnchecked;
}

TPrnCheck CheckOf(std::uint8_t box) {
  return box == cbsChecked ? TPrnCheck::Checked : box == cbsGrayed ? TPrnCheck::Grayed : TPrnCheck::Unchecked;
}

}  // namespace

TPrnSelectForm::TPrnSelectForm(QWidget* parent) : TForm(parent), tree_(std::make_unique<TMtTree>()) {
  setObjectName("PrnSelectForm");
  SetCaption(Ansi("Печатать разделы"));
  HelpContext = kPrnSelectHelpContext;
  SetBorderStyle(TFormBorderStyle::bsDialog);
  Position = TPosition::poScreenCenter;

  MtTree1 = tree_.get();
  MtTree1->setObjectName("MtTree1");
  MtTree1->SetMultiSelect(false);
  MtTree1->SetShowCheckboxes(true);
  MtTree1->SetShowLines(true);
  MtTree1->SetShowButtons(true);
  MtTree1->SetShowRoot(false);
  MtTree1->RowSelect = true;
  MtTree1->FullRowSelect = true;
  MtTree1->SetDoInplaceEdit(false);
  {
    TMtUpdateBracket bracket(MtTree1);
    for (int i = 0; i < kPrnSectionCount; ++i) {
      const TPrnSectionItem& s = kPrnSectionItems[static_cast<std::size_t>(i)];
      TMtTreeItem* parentItem = s.Parent < 0 ? nullptr : items_[static_cast<std::size_t>(s.Parent)];
      TMtTreeItem* item = MtTree1->Items()->AddChild(parentItem, Ansi(s.Text));
      item->ColumnText().Add(s.Key);
      item->ShowCheckBox = true;
      item->CheckBoxType = cbtThreeState;
      items_[static_cast<std::size_t>(i)] = item;
    }
    MtTree1->ExpandAll();
  }

  const TDialogButtons buttonRow = CreateDialogButtons(this);
  btnOk = buttonRow.Ok;
  btnCancel = buttonRow.Cancel;
  btnHelp = buttonRow.Help;
  auto* main = new QVBoxLayout(this);
  main->addWidget(MtTree1);
  main->addLayout(buttonRow.Row);
  resize(320, 260);

  MtTree1->OnItemChange = [this](TObject*, TMtTreeItem* item, int mode) { MtTree1ItemChange(item, mode); };
  MtTree1->OnKeyPress = [this](TObject*, char& key) { MtTree1KeyPress(key); };
  connect(btnOk, &QPushButton::clicked, this, [this] {
    if (sections_) sections_->Ok();
    SetModalResult(mrOk);
  });
  connect(btnCancel, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
  connect(btnHelp, &QPushButton::clicked, this,
          [this] { GuardedCall(nullptr, [this] { ShowDialogHelp(OnHelp, kPrnSelectHelpContext); }); });
}

TPrnSelectForm::~TPrnSelectForm() {
  MtTree1->OnItemChange = nullptr;
  MtTree1->OnKeyPress = nullptr;
}

int TPrnSelectForm::IndexOf(const TMtTreeItem* item) const {
  for (int i = 0; i < kPrnSectionCount; ++i)
    if (items_[static_cast<std::size_t>(i)] == item) return i;
  return -1;
}

TMtTreeItem* TPrnSelectForm::FindByKey(std::string_view Key) const {
  return MtTree1->Items()->FindItem(
      nullptr, [Key](TMtTreeItem* item) { return item->ColumnText().Count() > 0 && item->ColumnText()[0] == Key; },
      true, false);
}

bool TPrnSelectForm::IsChecked(std::string_view Key) const {
  const TMtTreeItem* item = FindByKey(Key);
  return item != nullptr && item->GetChecked();
}

void TPrnSelectForm::UpdateCheckState() {
  if (!sections_) return;
  TFlagScope changing(changing_);
  TMtUpdateBracket bracket(MtTree1);
  for (int i = 0; i < kPrnSectionCount; ++i)
    items_[static_cast<std::size_t>(i)]->SetCheckBoxState(BoxState(sections_->State(i)));
}

void TPrnSelectForm::MtTree1ItemChange(TMtTreeItem* item, int mode) {
  if (changing_ || !sections_ || mode != icmCheckBox) return;
  const int i = IndexOf(item);
  if (i < 0) return;
  sections_->SetState(i, CheckOf(item->CheckBoxState));
  UpdateCheckState();
}

void TPrnSelectForm::MtTree1KeyPress(char& key) {
  if (key != ' ' || changing_ || !sections_) return;
  const int i = IndexOf(MtTree1->ItemFocused());
  if (i < 0) return;
  key = 0;
  sections_->Toggle(i);
  UpdateCheckState();
}

void TPrnSelectForm::Prepare(TPrnSections& Sections) {
  sections_ = &Sections;
  sections_->Shown();
  UpdateCheckState();
  MtTree1->SetFocus();
  if (MtTree1->ItemFocused() == nullptr) MtTree1->SetItemFocused(items_[0]);
}

int TPrnSelectForm::Execute(TPrnSections& Sections) {
  const TPrnSections before = Sections;
  Prepare(Sections);
  const TModalResult result = ShowModal();
  sections_ = nullptr;
  if (result != mrOk) Sections = before;  // Cancel keeps the last choice
  return result == mrOk ? mrOk : mrCancel;
}
