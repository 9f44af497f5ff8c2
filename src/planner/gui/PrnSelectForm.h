// The print-section dialog TPrnSelectForm ("Печатать разделы", help context 2210): the
// ration's printable parts in a tree control with three-state check boxes. A thin window
// over TPrnSections, which holds the states and every check rule: a click on a check box
// or Space on the focused row hands the item to the model, and the tree then shows the
// model's states again. Each item's column text 0 holds its section key; items_[i] is the
// row of section i.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string_view>

#include "planner/ration/RationPrint.h"
#include "platform/gui/Forms.h"

class QPushButton;
class TMtTree;
class TMtTreeItem;

inline constexpr int kPrnSelectHelpContext = 2210;

class TPrnSelectForm : public TForm {
 public:
  explicit TPrnSelectForm(QWidget* parent = nullptr);
  ~TPrnSelectForm() override;

  // Shows the dialog modally over the sections; on OK their count of checked items is set,
  // on Cancel they keep the choice they had. The modal result (mrOk or mrCancel).
  int Execute(TPrnSections& Sections);
  // Loads the sections' states into the tree (the dialog works on them until it closes).
  void Prepare(TPrnSections& Sections);

  // The first row whose key (column text 0) is `Key`; nil when there is none.
  TMtTreeItem* FindByKey(std::string_view Key) const;
  // The row shows a checked box.
  bool IsChecked(std::string_view Key) const;

  std::function<void(int Context)> OnHelp;

  TMtTree* MtTree1;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* btnHelp;

 private:
  void MtTree1ItemChange(TMtTreeItem* item, int mode);
  void MtTree1KeyPress(char& key);
  int IndexOf(const TMtTreeItem* item) const;
  // Copies the model's states into the check boxes (one update bracket).
  void UpdateCheckState();

  std::unique_ptr<TMtTree> tree_;
  TPrnSections* sections_ = nullptr;
  std::array<TMtTreeItem*, kPrnSectionCount> items_{};
  bool changing_ = false;
};
