// The header sections of the planner windows' trees, set up from tables.
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
