#include "planner/gui/PlannerTrees.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "platform/core/AnsiText.h"
#include "platform/gui/StdCtrls.h"

void AddTreeSections(TMtTree& tree, std::initializer_list<TTreeSectionDef> defs, const std::vector<int>& order) {
  TMtHeaderSections& sections = tree.Header().Sections();
  for (const TTreeSectionDef& d : defs) {
    TMtHeaderSection* s = sections.AddSection();
    s->SetText(Ansi(d.Caption));
    s->SetWidth(d.Width);
    s->SetAlignment(d.Number ? hsaRight : hsaLeft);
    s->SetFieldType(d.Number ? sftFloating : sftText);
  }
  for (int pos = 0; pos < static_cast<int>(order.size()); ++pos)
    sections.MoveSection(sections.FindByNumber(order[static_cast<std::size_t>(pos)]), pos);
  tree.SetShowColumns(true);
}


void CommitEditOnArrows(TMtTree& tree, TEdit* editor) {
  if (editor == nullptr) return;
  TKeyEvent own = editor->OnKeyDown;
  editor->OnKeyDown = [&tree, own](TObject* sender, std::uint16_t& key, TShiftState shift) {
    if ((key == VK_UP || key == VK_DOWN) && (shift & (ssShift | ssCtrl | ssAlt)) == 0) {
      // The key reaches the tree after the commit has closed the editor.
      const int arrow = key == VK_UP ? Qt::Key_Up : Qt::Key_Down;
      key = 0;
      tree.EndEdit(false);
      QCoreApplication::postEvent(&tree, new QKeyEvent(QEvent::KeyPress, arrow, Qt::NoModifier));
      return;
    }
    if (own) own(sender, key, shift);
  };
}
