// Header-click sorting of the ration window's trees, without any windowing. A click on a
// section that sorts makes it the tree's sort section with the field type of the click
// (text, whole numbers or floating values), toggles its sort mark (ascending unless it
// was ascending) and sorts:
//   ration tree and per-day list   sections 0..6; the children of each day, one level
//                                  (the days keep their order);
//   whole-trip list                sections 1..10; the rows, then their numbers
//                                  ("%d." in column text 0) run from 1 again.
// Other sections do nothing. Sorting the ration tree changes the document (its order is
// saved), so it sets the modified flag and the recalculation flags.
#pragma once

#include "controls/tree/MtHeaderSections.h"
#include "planner/ration/RationDoc.h"
#include "planner/ration/RationTabs.h"

// Makes Section the sort section of Tree with Type and toggles its mark; false (nothing
// changes) when the tree has no such section.
bool SetClickSort(TCustomMtTree& Tree, int Section, TFieldTypes Type);

// The ration tree of Doc; true when it sorted.
bool SortRationTreeByColumn(TRationDocument& Doc, int Section);
// The per-day product list (a tree of bold days with their products); true when it sorted.
bool SortDayListByColumn(TCustomMtTree& Tree, int Section);
// The whole-trip list; Rows (the rows the tree shows, in its order, with their costs) are
// put in the new order and renumbered like the tree. True when it sorted.
bool SortTripListByColumn(TCustomMtTree& Tree, TProductListRows& Rows, int Section);
