#include "planner/gui/PrnSelectForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "planner/gui/DialogHelp.h"
#include "platform/core/AnsiText.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"

TPrnSelectForm::TPrnSelectForm(QWidget* parent) : TForm(parent) {
  setObjectName("PrnSelectForm");
  SetCaption(Ansi("Печатать разделы"));
  HelpContext = kPrnSelectHelpContext;
  SetBorderStyle(TFormBorderStyle::bsDialog);
  MtTree1 = new QTreeWidget(this);
  MtTree1->setObjectName("MtTree1");
  MtTree1->setHeaderHidden(true);
  MtTree1->setColumnCount(2);
  MtTree1->setColumnHidden(1, true);  // the keys
  for (int i = 0; i < kPrnSectionCount; ++i) {
    const TPrnSectionItem& s = kPrnSectionItems[static_cast<std::size_t>(i)];
    auto* item = s.Parent < 0 ? new QTreeWidgetItem(MtTree1) : new QTreeWidgetItem(items_[static_cast<std::size_t>(s.Parent)]);
    item->setText(0, QString::fromUtf8(s.Text));
    item->setText(1, QString::fromUtf8(s.Key));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    items_[static_cast<std::size_t>(i)] = item;
  }
  MtTree1->expandAll();

  const TDialogButtons buttonRow = CreateDialogButtons(this);
  btnOk = buttonRow.Ok;
  btnCancel = buttonRow.Cancel;
  btnHelp = buttonRow.Help;
  auto* main = new QVBoxLayout(this);
  main->addWidget(MtTree1);
  main->addLayout(buttonRow.Row);
  resize(320, 300);

  connect(MtTree1, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { MtTree1ItemChange(item); });
  connect(btnOk, &QPushButton::clicked, this, [this] {
    if (sections_) sections_->Ok();
    SetModalResult(mrOk);
  });
  connect(btnCancel, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
  connect(btnHelp, &QPushButton::clicked, this,
          [this] { GuardedCall(nullptr, [this] { ShowDialogHelp(OnHelp, kPrnSelectHelpContext); }); });
}

void TPrnSelectForm::ApplyStates() {
  if (!sections_) return;
  changing_ = true;
  for (int i = 0; i < kPrnSectionCount; ++i) {
    const TPrnCheck s = sections_->State(i);
    items_[static_cast<std::size_t>(i)]->setCheckState(0, s == TPrnCheck::Checked   ? Qt::Checked
                                                          : s == TPrnCheck::Grayed ? Qt::PartiallyChecked
                                                                                   : Qt::Unchecked);
  }
  changing_ = false;
}

void TPrnSelectForm::MtTree1ItemChange(QTreeWidgetItem* item) {
  if (changing_ || !sections_) return;
  for (int i = 0; i < kPrnSectionCount; ++i)
    if (items_[static_cast<std::size_t>(i)] == item) {
      const Qt::CheckState s = item->checkState(0);
      sections_->SetState(i, s == Qt::Unchecked ? TPrnCheck::Unchecked : TPrnCheck::Checked);
      break;
    }
  ApplyStates();
}

void TPrnSelectForm::Prepare(TPrnSections& Sections) {
  sections_ = &Sections;
  sections_->Shown();
  ApplyStates();
  MtTree1->setFocus();
  MtTree1->setCurrentItem(items_[0]);
}

int TPrnSelectForm::Execute(TPrnSections& Sections) {
  const TPrnSections before = Sections;
  Prepare(Sections);
  const TModalResult result = ShowModal();
  sections_ = nullptr;
  if (result != mrOk) Sections = before;  // Cancel keeps the last choice
  return result == mrOk ? mrOk : mrCancel;
}
