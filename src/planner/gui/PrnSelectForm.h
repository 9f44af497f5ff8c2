// The print-section dialog TPrnSelectForm ("Печатать разделы", help context 2210): a tree
// of the ration's printable parts with check boxes, a thin window over TPrnSections,
// which holds the states and the check rules.
#pragma once

#include <functional>

#include "planner/ration/RationPrint.h"
#include "platform/gui/Forms.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

inline constexpr int kPrnSelectHelpContext = 2210;

class TPrnSelectForm : public TForm {
 public:
  explicit TPrnSelectForm(QWidget* parent = nullptr);

  // Shows the dialog modally over the sections; on OK their count of checked items is set. The
  // modal result.
  int Execute(TPrnSections& Sections);
  // Loads the sections' states into the tree (the dialog works on them until it closes).
  void Prepare(TPrnSections& Sections);

  std::function<void(int Context)> OnHelp;

  QTreeWidget* MtTree1;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* btnHelp;
  QTreeWidgetItem* Item(int index) const { return items_[static_cast<std::size_t>(index)]; }

 private:
  void MtTree1ItemChange(QTreeWidgetItem* item);
  void ApplyStates();

  TPrnSections* sections_ = nullptr;
  std::array<QTreeWidgetItem*, kPrnSectionCount> items_{};
  bool changing_ = false;
};
