// Item state, expansion, check boxes, focus, walks and the update bracket.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "TreeFixture.h"

namespace {

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------------
// SetState

TEST(MtTreeState, SetStateRules) {
  struct Case {
    bool multi;
    int element;
    bool on;
    bool expectBit;
    Strings events;
  };
  const std::vector<Case> cases = {
      {false, isSelected, true, false, {}},
      {true, isSelected, true, true, {"selected A on"}},
      {true, isBold, true, true, {"change A 1"}},
      {false, isItalic, true, true, {"change A 1"}},
      {true, isCut, true, true, {"change A 1"}},
      {true, isUnderlined, true, true, {"change A 1"}},
      {true, isStrikeOut, true, true, {"change A 1"}},
      {true, isExpanded, true, false, {}},
      {true, 0, true, false, {}},
      {true, 12, true, false, {}},
      {true, isBold, false, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("element " + std::to_string(c.element) + (c.multi ? " multi" : " single"));
    LogTree tree;
    tree.SetMultiSelect(c.multi);
    BuildItems(tree, nullptr, "A,B");
    TMtTreeItem* a = Find(tree, "A");
    tree.Take();
    a->SetState(c.element, c.on);
    EXPECT_EQ(a->GetState(c.element), c.expectBit);
    EXPECT_EQ(tree.Take(), c.events);
    a->SetState(c.element, c.on);  // unchanged: nothing fires
    EXPECT_TRUE(tree.Take().empty());
  }
  LogTree tree;
  BuildItems(tree, nullptr, "A");
  EXPECT_FALSE(Find(tree, "A")->GetState(16));
  EXPECT_FALSE(Find(tree, "A")->GetState(-1));
}

TEST(MtTreeState, SelectedCountInMultiSelect) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,B,C");
  Find(tree, "A")->SetState(isSelected, true);
  Find(tree, "B")->SetState(isSelected, true);
  Find(tree, "B")->SetState(isSelected, true);
  EXPECT_EQ(tree.SelectedCount(), 2);
  Find(tree, "A")->SetState(isSelected, false);
  EXPECT_EQ(tree.SelectedCount(), 1);
  tree.SetMultiSelect(false);
  EXPECT_EQ(tree.SelectedCount(), 0);
  EXPECT_FALSE(Find(tree, "B")->GetState(isSelected));
}

TEST(MtTreeState, FocusThroughTheState) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,B");
  tree.Take();
  Find(tree, "A")->SetState(isFocused, true);
  EXPECT_EQ(tree.ItemFocused(), Find(tree, "A"));
  EXPECT_EQ(tree.Take(), (Strings{"selected A on", "focused A"}));
  // Clearing the state of another item leaves the focus where it is.
  Find(tree, "B")->SetState(isFocused, false);
  EXPECT_EQ(tree.ItemFocused(), Find(tree, "A"));
  EXPECT_TRUE(tree.Take().empty());
  Find(tree, "A")->SetState(isFocused, false);
  EXPECT_EQ(tree.ItemFocused(), nullptr);
  EXPECT_EQ(tree.Take(), Strings{"focused nil"});
}

// ---------------------------------------------------------------------------------
// SetItemFocused

TEST(MtTreeState, SetItemFocused) {
  struct Case {
    bool multi;
    bool autoExpand;
    Strings steps;  // items focused one after the other ("" for nil)
    Strings events;  // of the last step
  };
  const std::vector<Case> cases = {
      {false, false, {"A"}, {"selected A on", "focused A"}},
      {false, false, {"A", "B"}, {"selected A off", "selected B on", "focused B"}},
      {false, false, {"A", ""}, {"selected A off", "focused nil"}},
      {true, false, {"A", "B"}, {"selected B on", "focused B"}},
      {true, false, {"A", "B", "A"}, {"selected A off", "focused A"}},
      {true, false, {"A", ""}, {"focused nil"}},
      {false, true, {"A11"}, {"selected A11 on", "expanding A11", "expand A11", "focused A11"}},
      {false, true, {"A11", "B"},
       {"collapsing A11", "collapse A11", "collapsing A1", "collapse A1", "collapsing A", "collapse A",
        "selected A11 off", "selected B on", "expanding B", "expand B", "focused B"}},
      {false, true, {"A11", "A2"},
       {"collapsing A11", "collapse A11", "collapsing A1", "collapse A1", "selected A11 off", "selected A2 on",
        "expanding A2", "expand A2", "focused A2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps.back() + (c.multi ? " multi" : " single") + (c.autoExpand ? " auto" : ""));
    LogTree tree;
    tree.SetMultiSelect(c.multi);
    tree.AutoExpand = c.autoExpand;
    BuildItems(tree, nullptr, "A(A1(A11),A2),B");
    tree.logging = false;
    Find(tree, "A")->Expand(false);
    Find(tree, "A1")->Expand(false);
    tree.logging = true;
    for (const std::string& step : c.steps) {
      tree.Take();
      tree.SetItemFocused(Find(tree, step));
    }
    EXPECT_EQ(tree.Take(), c.events);
    TMtTreeItem* focused = Find(tree, c.steps.back());
    EXPECT_EQ(tree.ItemFocused(), focused);
    tree.Items()->Iterate(false, [focused](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) {
      EXPECT_EQ(item->GetState(isFocused), item == focused) << item->Text();
    }, nullptr);
    if (!c.multi) {
      EXPECT_EQ(tree.Selected(), focused);
      EXPECT_EQ(tree.SelectedCount(), focused != nullptr ? 1 : 0);
    }
    tree.SetItemFocused(focused);  // already focused: nothing
    EXPECT_TRUE(tree.Take().empty());
  }
}

// With AutoExpand the old focus's branch collapses before the focus moves; a collapse
// handler that deletes items (the one to be focused, or one still to collapse) leaves the
// tree consistent: the focus goes to no freed item.
TEST(MtTreeState, AutoExpandCollapseHandlersThatDelete) {
  for (const std::string victim : {"B", "A"}) {
    SCOPED_TRACE(victim);
    LogTree tree;
    tree.AutoExpand = true;
    BuildItems(tree, nullptr, "A(A1(A11)),B");
    Find(tree, "A")->Expand(false);
    Find(tree, "A1")->Expand(false);
    tree.SetItemFocused(Find(tree, "A11"));
    TMtTreeItem* b = Find(tree, "B");
    tree.OnItemCollapse = [&](TObject*, TMtTreeItem* item) {
      if (item->Text() == "A11" && Find(tree, victim)) Find(tree, victim)->Delete();
    };
    tree.SetItemFocused(b);
    if (victim == "B") {
      EXPECT_EQ(Dump(tree), "A(A1(A11))");
      EXPECT_NE(tree.ItemFocused(), b);
    } else {
      EXPECT_EQ(Dump(tree), "B");
      EXPECT_EQ(tree.ItemFocused(), b);
    }
    if (TMtTreeItem* f = tree.ItemFocused()) {
      EXPECT_TRUE(f->GetState(isFocused));
    }
  }
}

// Expansion handlers that delete the item they are told of, or its parent in the middle
// of a recursive expand or collapse: the walk stops, nothing freed is touched.
TEST(MtTreeState, ExpandAndCollapseHandlersThatDelete) {
  for (bool expand : {true, false}) {
    for (const std::string victim : {"A1", "A"}) {
      SCOPED_TRACE(std::string(expand ? "expand " : "collapse ") + victim);
      LogTree tree;
      BuildItems(tree, nullptr, "A(A1(A11),A2(A21)),B");
      if (!expand) Find(tree, "A")->Expand(true);
      auto handler = [&](TObject*, TMtTreeItem* item) {
        if (item->Text() == "A1" && Find(tree, victim)) Find(tree, victim)->Delete();
      };
      tree.OnItemExpand = handler;
      tree.OnItemCollapse = handler;
      if (expand)
        Find(tree, "A")->Expand(true);
      else
        Find(tree, "A")->Collapse(true);
      EXPECT_EQ(Dump(tree), victim == "A" ? "B" : "A(A2(A21)),B");
      if (victim == "A1") {
        EXPECT_EQ(Find(tree, "A2")->GetExpanded(), expand);
      }
    }
  }
}

TEST(MtTreeState, SelectedWriterAndHotItem) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,B");
  tree.SetSelected(Find(tree, "A"));  // multi-select: nothing
  EXPECT_EQ(tree.ItemFocused(), nullptr);
  EXPECT_EQ(tree.Selected(), nullptr);
  tree.SetMultiSelect(false);
  tree.SetSelected(Find(tree, "A"));
  EXPECT_EQ(tree.ItemFocused(), Find(tree, "A"));
  EXPECT_EQ(tree.Selected(), Find(tree, "A"));

  Strings hot;
  tree.OnHotTrack = [&hot](TObject*, TMtTreeItem* from, TMtTreeItem* to) {
    hot.push_back(LogTree::Name(from) + ">" + LogTree::Name(to));
  };
  tree.SetHotItem(Find(tree, "A"));
  tree.SetHotItem(Find(tree, "A"));
  tree.SetHotItem(Find(tree, "B"));
  tree.SetHotItem(nullptr);
  EXPECT_EQ(hot, (Strings{"nil>A", "A>B", "B>nil"}));
}

// ---------------------------------------------------------------------------------
// Expand and collapse

TEST(MtTreeState, ExpandAndCollapseEvents) {
  struct Case {
    const char* item;
    bool expand;
    bool recursive;
    const char* refuse;
    Strings events;
  };
  const std::vector<Case> cases = {
      {"A", true, false, "", {"expanding A", "expand A"}},
      {"A", true, false, "A", {"expanding A"}},
      {"A", true, true, "", {"expanding A", "expand A", "expanding A1", "expand A1", "expanding A11", "expand A11",
                             "expanding A2", "expand A2"}},
      {"A", true, true, "A1", {"expanding A", "expand A", "expanding A1", "expanding A2", "expand A2"}},
      {"A", false, false, "", {"collapsing A", "collapse A"}},
      {"A", false, true, "", {"collapsing A", "collapse A", "collapsing A1", "collapse A1", "collapsing A11",
                              "collapse A11", "collapsing A2", "collapse A2"}},
      {"A", false, false, "A", {"collapsing A"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.expand ? "expand " : "collapse ") + c.item + (c.recursive ? " recursive" : ""));
    LogTree tree;
    BuildItems(tree, nullptr, "A(A1(A11),A2)");
    if (!c.expand) {
      tree.logging = false;
      Find(tree, "A")->Expand(true);
      tree.logging = true;
    }
    tree.refuse = c.refuse;
    tree.Take();
    TMtTreeItem* item = Find(tree, c.item);
    if (c.expand)
      item->Expand(c.recursive);
    else
      item->Collapse(c.recursive);
    EXPECT_EQ(tree.Take(), c.events);
    EXPECT_EQ(item->GetExpanded(), c.expand == (std::string(c.refuse) != c.item));
  }
}

TEST(MtTreeState, RootExpandsSilentlyAndStaysExpanded) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1),B");
  tree.Take();
  tree.Items()->Root()->Expand(false);
  EXPECT_TRUE(tree.Take().empty());
  tree.Items()->Root()->Expand(true);
  EXPECT_EQ(tree.Take(), (Strings{"expanding A", "expand A", "expanding A1", "expand A1", "expanding B",
                                  "expand B"}));
  tree.Items()->Root()->Collapse(true);
  EXPECT_TRUE(tree.Items()->Root()->GetExpanded());
  EXPECT_FALSE(Find(tree, "A")->GetExpanded());
  EXPECT_EQ(tree.VisibleRows().size(), 2u);
}

TEST(MtTreeState, DeselectChildrenOnCollapse) {
  for (bool deselect : {false, true}) {
    LogTree tree;
    tree.DeselectChildrenOnCollapse = deselect;
    BuildItems(tree, nullptr, "A(A1(A11),A2),B");
    Find(tree, "A")->Expand(true);
    for (const char* name : {"A", "A11", "A2", "B"}) Find(tree, name)->SetState(isSelected, true);
    tree.Take();
    Find(tree, "A")->Collapse(false);
    if (deselect)
      EXPECT_EQ(tree.Take(), (Strings{"collapsing A", "collapse A", "selected A11 off", "selected A2 off"}));
    else
      EXPECT_EQ(tree.Take(), (Strings{"collapsing A", "collapse A"}));
    EXPECT_TRUE(Find(tree, "A")->GetState(isSelected));
    EXPECT_TRUE(Find(tree, "B")->GetState(isSelected));
    EXPECT_EQ(tree.SelectedCount(), deselect ? 2 : 4);
  }
}

TEST(MtTreeState, SetExpandedAndMakeFullyVisible) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1(A11)),B");
  tree.Take();
  Find(tree, "A11")->MakeFullyVisible(true);
  EXPECT_EQ(tree.Take(), (Strings{"expanding A", "expand A", "expanding A1", "expand A1"}));
  EXPECT_TRUE(Find(tree, "A11")->GetPathExpanded());
  EXPECT_EQ(Find(tree, "A11")->GetVisIndex(), 2);
  Find(tree, "A")->SetExpanded(true);
  EXPECT_TRUE(tree.Take().empty());
  Find(tree, "A")->SetExpanded(false);
  EXPECT_EQ(tree.Take(), (Strings{"collapsing A", "collapse A"}));
  EXPECT_FALSE(Find(tree, "A11")->GetPathExpanded());
  EXPECT_EQ(Find(tree, "A11")->GetVisIndex(), -1);
}

// ---------------------------------------------------------------------------------
// Check boxes

TEST(MtTreeState, RadioButtonsUncheckTheirRadioSiblings) {
  LogTree tree;
  BuildItems(tree, nullptr, "P(R1,R2,C,R3),Q(R4)");
  for (const char* name : {"R1", "R2", "R3", "R4"}) Find(tree, name)->CheckBoxType = cbtRadioButton;
  Find(tree, "R2")->SetChecked(true);
  Find(tree, "C")->SetChecked(true);
  Find(tree, "R4")->SetChecked(true);
  tree.Take();
  Find(tree, "R1")->SetChecked(true);
  EXPECT_TRUE(tree.Take().empty());  // no event from the program's own checking
  struct Expect {
    const char* name;
    bool checked;
  };
  for (Expect e : std::vector<Expect>{{"R1", true}, {"R2", false}, {"C", true}, {"R3", false}, {"R4", true}})
    EXPECT_EQ(Find(tree, e.name)->GetChecked(), e.checked) << e.name;

  // A check box does not touch its siblings; unchecking a radio button neither.
  Find(tree, "C")->SetChecked(false);
  Find(tree, "R1")->SetChecked(false);
  EXPECT_FALSE(Find(tree, "R1")->GetChecked());
  EXPECT_FALSE(Find(tree, "R2")->GetChecked());

  TMtTreeItem* three = Find(tree, "R3");
  three->SetCheckBoxState(cbsGrayed);
  three->SetChecked(false);  // not checked already: nothing
  EXPECT_EQ(three->CheckBoxState, cbsGrayed);
}

// A tree that counts the check-box redraws.
class CheckTree : public LogTree {
 public:
  void RedrawCheckBox(TMtTreeItem* item) override { Log("redraw " + Name(item)); }
};

TEST(MtTreeState, CheckBoxRedraws) {
  struct Case {
    bool treeShows, itemShows;
    bool redraw;
  };
  for (Case c : std::vector<Case>{{false, false, false}, {true, false, false}, {false, true, false},
                                  {true, true, true}}) {
    CheckTree tree;
    tree.SetShowCheckboxes(c.treeShows);
    BuildItems(tree, nullptr, "A");
    Find(tree, "A")->ShowCheckBox = c.itemShows;
    tree.Take();
    Find(tree, "A")->SetChecked(true);
    Find(tree, "A")->SetCheckBoxState(cbsGrayed);
    EXPECT_EQ(tree.Take(), c.redraw ? (Strings{"redraw A", "redraw A"}) : Strings{});
  }
}

// ---------------------------------------------------------------------------------
// Walks

// A tree of 120 items with an irregular shape: some expanded, some hidden.
void BuildIrregular(LogTree& tree) {
  tree.logging = false;
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  std::vector<TMtTreeItem*> all;
  for (int i = 0; i < 120; ++i) {
    TMtTreeItem* parent = all.empty() || next(4) == 0 ? nullptr : all[next(static_cast<std::uint32_t>(all.size()))];
    all.push_back(tree.Items()->AddChild(parent, "I" + std::to_string(i)));
  }
  for (TMtTreeItem* item : all) {
    if (next(3) != 0) item->SetExpanded(true);
    if (next(7) == 0) item->SetHidden(true);
  }
  tree.logging = true;
}

TEST(MtTreeWalks, GetItemAgreesWithAPreOrderWalk) {
  for (bool filtered : {false, true}) {
    for (bool inBracket : {false, true}) {
      SCOPED_TRACE(std::string(filtered ? "filtered" : "unfiltered") + (inBracket ? " in bracket" : ""));
      LogTree tree;
      BuildIrregular(tree);
      tree.SetFilteredVisibility(filtered);
      if (inBracket) tree.Items()->BeginUpdate();
      if (inBracket) tree.MarkDirty(TCustomMtTree::dfRows);  // the row list is not built
      TMtTreeItems& store = *tree.Items();

      std::vector<TMtTreeItem*> all, rows;
      PreOrder(store.Root(), all, false, filtered);
      PreOrder(store.Root(), rows, true, filtered);
      ASSERT_EQ(static_cast<int>(all.size()), store.Count());
      ASSERT_GT(all.size(), rows.size());
      EXPECT_EQ(store.VisibleCount(), static_cast<int>(rows.size()));

      for (int i = -1; i <= store.Count(); ++i) {
        TMtTreeItem* expected = i >= 0 && i < store.Count() ? all[static_cast<std::size_t>(i)] : nullptr;
        EXPECT_EQ(store.GetItem(i), expected) << i;
      }
      for (int i = -1; i <= static_cast<int>(rows.size()); ++i) {
        TMtTreeItem* expected = i >= 0 && i < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(i)] : nullptr;
        EXPECT_EQ(store.GetVisItem(i), expected) << i;
      }
      for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(store.GetAbsIndex(all[i]), static_cast<int>(i));
        EXPECT_EQ(all[i]->GetNext(), i + 1 < all.size() ? all[i + 1] : nullptr);
        EXPECT_EQ(all[i]->GetPrev(), i > 0 ? all[i - 1] : nullptr);
        auto row = std::find(rows.begin(), rows.end(), all[i]);
        EXPECT_EQ(all[i]->GetVisIndex(), row == rows.end() ? -1 : static_cast<int>(row - rows.begin()));
        EXPECT_EQ(tree.IsRowItem(all[i]), row != rows.end());
      }
      EXPECT_EQ(store.GetVisIndex(nullptr), -1);
      if (inBracket) tree.Items()->EndUpdate();
      EXPECT_EQ(tree.VisibleRows(), rows);
    }
  }
}

// The items a walk reports, with their indexes.
struct Walked {
  Strings names;
  std::vector<int> indexes;
};
TMtIterateProc Collect(Walked& w, int stopAfter = -1) {
  return [&w, stopAfter](TMtTreeItem* item, int index, bool& go, void*, TCustomMtTree*) {
    w.names.push_back(item->Text());
    w.indexes.push_back(index);
    if (static_cast<int>(w.names.size()) == stopAfter) go = false;
  };
}

TEST(MtTreeWalks, IterationVariants) {
  // A(A1(A11),A2) B(B1) C, with A and A1 expanded, B collapsed, A2 hidden.
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1(A11),A2(A21)),B(B1),C");
  Find(tree, "A")->Expand(false);
  Find(tree, "A1")->Expand(false);
  Find(tree, "A2")->Expand(false);
  Find(tree, "A2")->SetHidden(true);
  TMtTreeItems& store = *tree.Items();
  struct Case {
    const char* variant;
    bool visibleOnly;
    bool filtered;
    const char* start;
    Strings names;
    std::vector<int> indexes;
  };
  const std::vector<Case> cases = {
      {"fwd", false, false, "", {"A", "A1", "A11", "A2", "A21", "B", "B1", "C"}, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"fwd", true, false, "", {"A", "A1", "A11", "A2", "A21", "B", "C"}, {0, 1, 2, 3, 4, 5, 6}},
      {"fwd", true, true, "", {"A", "A1", "A11", "B", "C"}, {0, 1, 2, 3, 4}},
      {"fwd", false, true, "", {"A", "A1", "A11", "A2", "A21", "B", "B1", "C"}, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"back", false, false, "", {"C", "B1", "B", "A21", "A2", "A11", "A1", "A"}, {7, 6, 5, 4, 3, 2, 1, 0}},
      {"back", true, false, "", {"C", "B", "A21", "A2", "A11", "A1", "A"}, {6, 5, 4, 3, 2, 1, 0}},
      {"back", true, true, "", {"C", "B", "A11", "A1", "A"}, {4, 3, 2, 1, 0}},
      {"from", false, false, "A2", {"A2", "A21", "B", "B1", "C"}, {3, 4, 5, 6, 7}},
      {"from", true, false, "A11", {"A11", "A2", "A21", "B", "C"}, {2, 3, 4, 5, 6}},
      {"from", true, false, "B1", {"C"}, {6}},                 // not on a row: the next row
      {"from", true, true, "A21", {"B", "C"}, {3, 4}},         // below a hidden item
      {"from", true, true, "A2", {"B", "C"}, {3, 4}},
      {"backfrom", false, false, "B", {"B", "A21", "A2", "A11", "A1", "A"}, {5, 4, 3, 2, 1, 0}},
      {"backfrom", true, false, "B1", {"B", "A21", "A2", "A11", "A1", "A"}, {5, 4, 3, 2, 1, 0}},
      {"backfrom", true, true, "A21", {"A11", "A1", "A"}, {2, 1, 0}},
      {"backfrom", true, true, "C", {"C", "B", "A11", "A1", "A"}, {4, 3, 2, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.variant) + " " + c.start + (c.visibleOnly ? " visible" : "") +
                 (c.filtered ? " filtered" : ""));
    tree.SetFilteredVisibility(c.filtered);
    Walked w;
    std::string v = c.variant;
    if (v == "fwd") store.Iterate(c.visibleOnly, Collect(w), nullptr);
    if (v == "back") store.IterateBackward(c.visibleOnly, Collect(w), nullptr);
    if (v == "from") store.IterateFrom(c.visibleOnly, Collect(w), nullptr, Find(tree, c.start));
    if (v == "backfrom") store.IterateBackFrom(c.visibleOnly, Collect(w), nullptr, Find(tree, c.start));
    EXPECT_EQ(w.names, c.names);
    EXPECT_EQ(w.indexes, c.indexes);
  }
  tree.SetFilteredVisibility(false);

  // The procedure stops the walk, and receives the caller's data and the tree.
  Walked w;
  store.Iterate(false, Collect(w, 3), nullptr);
  EXPECT_EQ(w.names, (Strings{"A", "A1", "A11"}));
  int data = 0;
  store.Iterate(false, [&](TMtTreeItem*, int, bool& go, void* d, TCustomMtTree* t) {
    EXPECT_EQ(d, &data);
    EXPECT_EQ(t, &tree);
    go = false;
  }, &data);
}

TEST(MtTreeWalks, FindItem) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(X1,A1(X2)),B(X3)");
  TMtTreeItems& store = *tree.Items();
  auto isX = [](TMtTreeItem* item) { return item->Text()[0] == 'X'; };
  auto any = [](TMtTreeItem*) { return true; };
  EXPECT_EQ(store.FindItem(nullptr, isX, false, false), Find(tree, "X1"));
  EXPECT_EQ(store.FindItem(Find(tree, "X1"), isX, true, false), Find(tree, "X1"));
  EXPECT_EQ(store.FindItem(Find(tree, "X1"), isX, false, false), Find(tree, "X2"));
  EXPECT_EQ(store.FindItem(Find(tree, "X2"), isX, false, false), Find(tree, "X3"));
  EXPECT_EQ(store.FindItem(Find(tree, "A1"), isX, false, true), Find(tree, "X2"));
  EXPECT_EQ(store.FindItem(Find(tree, "X2"), isX, false, true), nullptr);
  EXPECT_EQ(store.FindItem(Find(tree, "A1"), any, false, true), Find(tree, "X2"));
  EXPECT_EQ(store.FindItem(Find(tree, "X3"), any, false, false), nullptr);
}

TEST(MtTreeWalks, ItemQueries) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1(A11,A12),A2,A3),B");
  TMtTreeItem* a = Find(tree, "A");
  TMtTreeItem* a2 = Find(tree, "A2");
  EXPECT_EQ(a->GetDescendantCount(), 5);
  EXPECT_EQ(a->GetChildrenCount(), 3);
  EXPECT_EQ(Find(tree, "A12")->GetLevel(), 2);
  EXPECT_EQ(a2->GetIndex(), 1);
  EXPECT_EQ(a2->GetParent(), a);
  EXPECT_EQ(a2->GetFirstSibling()->Text(), "A1");
  EXPECT_EQ(a2->GetLastSibling()->Text(), "A3");
  EXPECT_EQ(a2->GetNextSibling()->Text(), "A3");
  EXPECT_EQ(a2->GetPrevSibling()->Text(), "A1");
  EXPECT_EQ(Find(tree, "A3")->GetNextSibling(), nullptr);
  EXPECT_EQ(a->GetNextChild(a2)->Text(), "A3");
  EXPECT_EQ(a->GetPrevChild(a2)->Text(), "A1");
  EXPECT_EQ(a->GetNextChild(Find(tree, "B")), nullptr);
  EXPECT_EQ(a->GetChildren(3), nullptr);
  EXPECT_EQ(a->GetChildren(-1), nullptr);
  EXPECT_TRUE(Find(tree, "A12")->IsUnder(a));
  EXPECT_TRUE(a->IsUnder(a));
  EXPECT_FALSE(a->IsUnder(Find(tree, "A12")));
  EXPECT_FALSE(a->IsUnder(nullptr));
  EXPECT_TRUE(a->GetPathExpanded());
  EXPECT_FALSE(a2->GetPathExpanded());

  EXPECT_TRUE(a->GetHasVisibleChildren());
  EXPECT_EQ(a->GetFirstVisibleChild()->Text(), "A1");
  Find(tree, "A1")->SetHidden(true);
  EXPECT_EQ(a->GetFirstVisibleChild()->Text(), "A1");  // hiding counts only when filtered
  tree.SetFilteredVisibility(true);
  EXPECT_EQ(a->GetFirstVisibleChild()->Text(), "A2");
  a2->SetHidden(true);
  Find(tree, "A3")->SetHidden(true);
  EXPECT_EQ(a->GetFirstVisibleChild(), nullptr);
  EXPECT_FALSE(a->GetHasVisibleChildren());
  EXPECT_TRUE(a->GetHasChildren());
}

TEST(MtTreeWalks, FilteredVisibilityRows) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1,A2),B,C");
  tree.Items()->Root()->Expand(true);
  Find(tree, "A")->SetHidden(true);
  Find(tree, "C")->SetHidden(true);
  auto names = [&tree] {
    Strings out;
    for (TMtTreeItem* item : tree.VisibleRows()) out.push_back(item->Text());
    return out;
  };
  EXPECT_EQ(names(), (Strings{"A", "A1", "A2", "B", "C"}));
  tree.SetFilteredVisibility(true);
  EXPECT_EQ(names(), Strings{"B"});
  Find(tree, "C")->SetHidden(false);
  EXPECT_EQ(names(), (Strings{"B", "C"}));
  EXPECT_EQ(tree.HiddenCount(), 1);
}

// ---------------------------------------------------------------------------------
// Update bracket and re-sorting

TEST(MtTreeBracket, DeferredWorkRunsOnceAtTheOutermostClose) {
  LogTree tree;
  tree.Items()->BeginUpdate();
  tree.Items()->BeginUpdate();
  for (int i = 0; i < 100; ++i) {
    TMtTreeItem* day = tree.Items()->AddChild(nullptr, "D" + std::to_string(i));
    for (int j = 0; j < 5; ++j) tree.Items()->AddChild(day, "M");
  }
  EXPECT_EQ(tree.UpdateCount(), 2);
  tree.Items()->EndUpdate();
  EXPECT_EQ(tree.rowRuns, 0);
  EXPECT_NE(tree.DirtyMarks() & TCustomMtTree::dfRows, 0u);
  tree.Items()->EndUpdate();
  EXPECT_EQ(tree.rowRuns, 1);
  EXPECT_EQ(tree.lineHeightRuns, 1);
  EXPECT_EQ(tree.columnWidthRuns, 1);
  EXPECT_EQ(tree.scrollBarRuns, 1);
  EXPECT_EQ(tree.DirtyMarks(), 0u);
  EXPECT_EQ(tree.VisibleRows().size(), 100u);
  tree.Items()->EndUpdate();  // unbalanced: ignored
  EXPECT_EQ(tree.UpdateCount(), 0);

  // Outside a bracket every change is laid out at once; under a collapsed item the rows
  // do not change.
  tree.rowRuns = 0;
  tree.Items()->AddChild(nullptr, "E");
  EXPECT_EQ(tree.rowRuns, 1);
  tree.Items()->AddChild(Find(tree, "E"), "E1");
  EXPECT_EQ(tree.rowRuns, 1);
  tree.Items()->BeginUpdate();
  tree.Items()->Clear();
  tree.Items()->EndUpdate();
  EXPECT_EQ(tree.rowRuns, 2);
  EXPECT_TRUE(tree.VisibleRows().empty());
  EXPECT_EQ(tree.Items()->Count(), 0);
}

TEST(MtTreeBracket, ColumnWidthOnlyWithoutHeader) {
  LogTree tree;
  BuildItems(tree, nullptr, "A");
  TMtTreeItem* a = Find(tree, "A");
  tree.columnWidthRuns = 0;
  a->SetText("AA");
  a->SetState(isBold, true);
  EXPECT_EQ(tree.columnWidthRuns, 2);
  tree.SetShowColumns(true);
  tree.columnWidthRuns = 0;
  a->SetText("AAA");
  EXPECT_EQ(tree.columnWidthRuns, 0);
}

TEST(MtTreeBracket, AutoSortHooks) {
  struct Case {
    TSortModes mode;
    int sortSection;
    int mainColumn;
    int sections;
    bool onText, onColumnText, onMove;
  };
  const std::vector<Case> cases = {
      {smNone, 0, 0, 3, false, false, false},     {smClick, 0, 0, 3, false, false, false},
      {smAdd, 0, 0, 3, true, true, true},         {smAddClick, -1, 0, 3, true, true, true},
      {smAdd, 2, 0, 3, false, true, false},       {smAdd, 3, 0, 3, false, false, false},
      {smAddClick, 2, 2, 3, true, true, true},    {smAdd, 0, 0, 0, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + " section " + std::to_string(c.sortSection));
    LogTree tree;
    BuildItems(tree, nullptr, "P(A,B),Q");
    tree.SortMode = c.mode;
    tree.SortSection = c.sortSection;
    tree.MainTreeColumn = c.mainColumn;
    tree.sections = c.sections;
    Find(tree, "A")->SetText("A");
    EXPECT_EQ(tree.sorted, c.onText ? Strings{"P"} : Strings{});
    tree.sorted.clear();
    Find(tree, "Q")->ColumnText().Add("x");
    EXPECT_EQ(tree.sorted, c.onColumnText ? Strings{"<root>"} : Strings{});
    tree.sorted.clear();
    Find(tree, "B")->MoveTo(Find(tree, "Q"));
    EXPECT_EQ(tree.sorted, c.onMove ? Strings{"Q"} : Strings{});
    tree.sorted.clear();
    Find(tree, "Q")->Sort(true);
    EXPECT_EQ(tree.sorted, Strings{"Q r"});
  }
}

// A control that intercepts an event before it is published.
class InterceptingTree : public LogTree {
 protected:
  void DoItemChange(TMtTreeItem* item, int mode) override {
    Log("intercepted " + Name(item));
    if (mode != icmText) TCustomMtTree::DoItemChange(item, mode);
  }
};

TEST(MtTreeBracket, DerivedControlsInterceptEvents) {
  InterceptingTree tree;
  TMtTreeItem* a = tree.Items()->AddChild(nullptr, "A");
  a->SetState(isBold, true);
  EXPECT_EQ(tree.Take(), (Strings{"intercepted A", "intercepted A", "change A 1"}));
}

}  // namespace

// Change and selection handlers that delete the item they are told of.
TEST(MtTreeState, ChangeHandlersThatDeleteTheItem) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,B");
  tree.OnItemChange = [&](TObject*, TMtTreeItem* item, int) {
    if (item->Text() == "X") item->Delete();
  };
  EXPECT_EQ(tree.Items()->AddChildObject(nullptr, "X", &tree), nullptr);
  EXPECT_EQ(Dump(tree), "A,B");
  EXPECT_EQ(tree.Items()->Count(), 2);
  TMtTreeItem* b = Find(tree, "B");
  b->SetText("X");
  EXPECT_EQ(Dump(tree), "A");
  Find(tree, "A")->SetText("X");
  EXPECT_EQ(Dump(tree), "");

  BuildItems(tree, nullptr, "C,D");
  tree.OnItemChange = [&](TObject*, TMtTreeItem* item, int mode) {
    if (mode == icmState) item->Delete();
  };
  Find(tree, "C")->SetState(isBold, true);
  EXPECT_EQ(Dump(tree), "D");
  tree.OnItemSelectedChange = [&](TObject*, TMtTreeItem* item) { item->Delete(); };
  Find(tree, "D")->SetState(isSelected, true);
  EXPECT_EQ(Dump(tree), "");
  EXPECT_EQ(tree.SelectedCount(), 0);
}

// Making an item visible expands its ancestors from the top; a handler that deletes the
// rest of the path ends it.
TEST(MtTreeState, MakeFullyVisibleWhoseHandlerDeletesThePath) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1(A11)),B");
  tree.OnItemExpand = [&](TObject*, TMtTreeItem* item) {
    if (item->Text() == "A") Find(tree, "A1")->Delete();
  };
  Find(tree, "A11")->MakeFullyVisible(true);
  EXPECT_EQ(Dump(tree), "A,B");
  EXPECT_TRUE(Find(tree, "A")->GetExpanded());
}
