#include "planner/ration/RationSort.h"

#include <unordered_map>

#include "controls/tree/MtTree.h"
#include "platform/core/SysUtils.h"

namespace {

// Ration tree and per-day list: the name, then energy and weight as whole numbers, the
// rest floating values; -1 for sections that do not sort.
int DayTreeSortType(int section) {
  if (section < 0 || section > 6) return -1;
  return section == 0 ? sftText : section <= 2 ? sftNumber : sftFloating;
}

bool SortChildrenOfDays(TCustomMtTree& tree, int section) {
  const int type = DayTreeSortType(section);
  if (type < 0 || !SetClickSort(tree, section, static_cast<TFieldTypes>(type))) return false;
  TMtUpdateBracket bracket(&tree);
  const TMtTreeItem* root = tree.Items()->Root();
  for (int i = 0; i < root->GetChildrenCount(); ++i) tree.SortItemChildren(root->GetChildren(i), false);
  return true;
}

}  // namespace

bool SetClickSort(TCustomMtTree& Tree, int Section, TFieldTypes Type) {
  TMtHeaderSection* s = Tree.HeaderSections()->FindByNumber(Section);
  if (s == nullptr) return false;
  Tree.SortSection = Section;
  // The main column compares by the tree's sort type and direction while the header is
  // hidden.
  Tree.SortType = Type == sftText ? stText : Type == sftNumber ? stNumber : stFloating;
  s->SetFieldType(Type);
  s->SetSortMode(s->SortMode() == hsmAscend ? hsmDescend : hsmAscend);
  Tree.SortDir = s->SortMode() == hsmDescend ? sdDescend : sdAscend;
  return true;
}

bool SortRationTreeByColumn(TRationDocument& Doc, int Section) {
  if (!SortChildrenOfDays(Doc.Tree(), Section)) return false;
  // The new order is the document's: it is saved, printed and listed from now on.
  Doc.Modified = 1;
  Doc.SetRecalcFlags();
  return true;
}

bool SortDayListByColumn(TCustomMtTree& Tree, int Section) { return SortChildrenOfDays(Tree, Section); }

bool SortTripListByColumn(TCustomMtTree& Tree, TProductListRows& Rows, int Section) {
  if (Section < 1 || Section > 10) return false;
  const TFieldTypes type = Section == 1 ? sftText : Section <= 3 ? sftNumber : sftFloating;
  if (!SetClickSort(Tree, Section, type)) return false;
  TMtTreeItem* root = Tree.Items()->Root();
  const int n = root->GetChildrenCount();
  // Where each row was before the sort, so that the rows (and their costs) follow.
  std::unordered_map<const TMtTreeItem*, std::size_t> before;
  for (int i = 0; i < n; ++i) before[root->GetChildren(i)] = static_cast<std::size_t>(i);
  TMtUpdateBracket bracket(&Tree);
  Tree.SortItemChildren(root, false);
  const bool rowsMatch = Rows.size() == static_cast<std::size_t>(n);
  TProductListRows sorted;
  for (int i = 0; i < n; ++i) {
    TMtTreeItem* item = root->GetChildren(i);
    const AnsiString number = Format("%d.", {i + 1});
    if (item->ColumnText().Count() > 0) item->ColumnText().SetString(0, number);
    if (!rowsMatch) continue;
    sorted.push_back(Rows[before[item]]);
    if (!sorted.back().Columns.empty()) sorted.back().Columns[0] = number;
  }
  if (rowsMatch) Rows = std::move(sorted);
  return true;
}
