#include "planner/gui/PlannerTrees.h"

#include "platform/core/AnsiText.h"

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

