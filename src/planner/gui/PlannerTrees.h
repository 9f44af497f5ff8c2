// The header sections of the planner windows' trees, set up from tables, and the keys
// their in-place editors share.
#pragma once

#include <initializer_list>
#include <vector>

#include "controls/gui/MtTreeView.h"

struct TTreeSectionDef {
  const char* Caption;  // UTF-8 source text
  int Width;
  bool Number = true;  // right-aligned number, else left-aligned text
};

// Adds the sections in creation order (the number each section gets) and puts them in
// the display order `order` (section numbers left to right; empty: creation order).
// Shows the header.
void AddTreeSections(TMtTree& tree, std::initializer_list<TTreeSectionDef> defs, const std::vector<int>& order = {});

// Up and Down typed into the tree's in-place editor (without Shift, Ctrl or Alt) commit
// the edit and then move the tree's focus, as they would in the tree itself; the editor's
// own handler gets every other key. Called when the editor opens (OnTuneUpInplaceEdit).
void CommitEditOnArrows(TMtTree& tree, TEdit* editor);
