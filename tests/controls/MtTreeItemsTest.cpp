// The item store: placement, deletion, moves and copies.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TreeFixture.h"

namespace {

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------------
// The add family

TEST(MtTreeItems, AddFamilyPlacement) {
  using Store = TMtTreeItems;
  int payload = 0;
  struct Case {
    const char* op;
    const char* at;  // sibling or parent; "" for nil
    const char* expected;
    bool setsData;
  };
  const std::vector<Case> cases = {
      {"Add", "", "N,X,Y(Y1,Y2)", false},
      {"Add", "Y1", "X,Y(Y1,Y2,N)", false},
      {"Add", "X", "X,Y(Y1,Y2),N", false},
      {"AddChild", "", "X,Y(Y1,Y2),N", false},
      {"AddChild", "Y", "X,Y(Y1,Y2,N)", false},
      {"AddChild", "X", "X(N),Y(Y1,Y2)", false},
      {"AddChildFirst", "", "N,X,Y(Y1,Y2)", false},
      {"AddChildFirst", "Y", "X,Y(N,Y1,Y2)", false},
      {"AddFirst", "", "N,X,Y(Y1,Y2)", false},
      {"AddFirst", "Y2", "X,Y(N,Y1,Y2)", false},
      {"Insert", "", "N,X,Y(Y1,Y2)", false},
      {"Insert", "Y2", "X,Y(Y1,N,Y2)", false},
      {"Insert", "X", "N,X,Y(Y1,Y2)", false},
      {"InsertAfter", "", "N,X,Y(Y1,Y2)", false},
      {"InsertAfter", "Y1", "X,Y(Y1,N,Y2)", false},
      {"InsertAfter", "Y2", "X,Y(Y1,Y2,N)", false},
      {"AddChildObject", "Y", "X,Y(Y1,Y2,N)", true},
      {"AddChildObjectFirst", "Y", "X,Y(N,Y1,Y2)", true},
      {"AddObject", "", "N,X,Y(Y1,Y2)", true},
      {"AddObject", "Y1", "X,Y(Y1,Y2,N)", true},
      {"AddObjectFirst", "Y2", "X,Y(N,Y1,Y2)", true},
      {"InsertObject", "Y2", "X,Y(Y1,N,Y2)", true},
      {"InsertAfterObject", "X", "X,N,Y(Y1,Y2)", true},
  };
  using Op = std::function<TMtTreeItem*(Store&, TMtTreeItem*)>;
  const std::vector<std::pair<std::string, Op>> ops = {
      {"Add", [](Store& s, TMtTreeItem* at) { return s.Add(at, "N"); }},
      {"AddChild", [](Store& s, TMtTreeItem* at) { return s.AddChild(at, "N"); }},
      {"AddChildFirst", [](Store& s, TMtTreeItem* at) { return s.AddChildFirst(at, "N"); }},
      {"AddFirst", [](Store& s, TMtTreeItem* at) { return s.AddFirst(at, "N"); }},
      {"Insert", [](Store& s, TMtTreeItem* at) { return s.Insert(at, "N"); }},
      {"InsertAfter", [](Store& s, TMtTreeItem* at) { return s.InsertAfter(at, "N"); }},
      {"AddChildObject", [&](Store& s, TMtTreeItem* at) { return s.AddChildObject(at, "N", &payload); }},
      {"AddChildObjectFirst", [&](Store& s, TMtTreeItem* at) { return s.AddChildObjectFirst(at, "N", &payload); }},
      {"AddObject", [&](Store& s, TMtTreeItem* at) { return s.AddObject(at, "N", &payload); }},
      {"AddObjectFirst", [&](Store& s, TMtTreeItem* at) { return s.AddObjectFirst(at, "N", &payload); }},
      {"InsertObject", [&](Store& s, TMtTreeItem* at) { return s.InsertObject(at, "N", &payload); }},
      {"InsertAfterObject", [&](Store& s, TMtTreeItem* at) { return s.InsertAfterObject(at, "N", &payload); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.op) + "(" + c.at + ")");
    LogTree tree;
    BuildItems(tree, nullptr, "X,Y(Y1,Y2)");
    tree.Take();
    Op op;
    for (const auto& [name, f] : ops)
      if (name == c.op) op = f;
    ASSERT_TRUE(op);
    TMtTreeItem* item = op(*tree.Items(), Find(tree, c.at));
    EXPECT_EQ(Dump(tree), c.expected);
    EXPECT_EQ(tree.Items()->Count(), 5);
    EXPECT_EQ(item->Data, c.setsData ? &payload : nullptr);
    EXPECT_EQ(tree.Take(), Strings{"change N 0"});
    EXPECT_FALSE(item->GetState(isSelected));
    EXPECT_FALSE(item->GetState(isFocused));
    EXPECT_FALSE(item->GetExpanded());
  }
}

TEST(MtTreeItems, ItemDefaults) {
  LogTree tree;
  TMtTreeItem* item = tree.Items()->AddChild(nullptr, "A");
  EXPECT_TRUE(item->Enabled);
  EXPECT_TRUE(item->CheckBoxEnabled);
  EXPECT_EQ(item->CheckBoxState, cbsUnchecked);
  EXPECT_FALSE(item->ShowCheckBox);
  EXPECT_EQ(item->CheckBoxType, cbtCheckBox);
  EXPECT_FALSE(item->UseStyles);
  EXPECT_EQ(item->State(), 0);
  EXPECT_TRUE(item->ParentColors());
  EXPECT_TRUE(item->ParentStyle());
  EXPECT_EQ(item->ImageIndex, -1);
  EXPECT_EQ(item->StateImageIndex2, -1);
  EXPECT_TRUE(item->MainStyle()->OwnerProps);
  EXPECT_EQ(item->MainStyle()->CellType, sftText);
  EXPECT_EQ(item->MainStyle()->TextFlags, 0x8824u);
  EXPECT_EQ(item->GetParent(), nullptr);
  EXPECT_EQ(item->GetLevel(), 0);
  EXPECT_EQ(item->GetRoot(), tree.Items()->Root());
  EXPECT_TRUE(tree.Items()->Root()->GetExpanded());
  EXPECT_EQ(tree.Items()->Root()->GetIndex(), -1);
}

TEST(MtTreeItems, InsertItemOutOfBoundsChangesNothing) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1),B");
  tree.Take();
  for (int index : {-1, 3}) {
    try {
      tree.Items()->InsertItem(index, nullptr);
      ADD_FAILURE();
    } catch (const EMtTreeError& e) {
      EXPECT_STREQ(e.what(), "Tree Item index out of bounds.");
    }
  }
  EXPECT_THROW(tree.Items()->InsertItem(2, Find(tree, "A")), EMtTreeError);
  EXPECT_EQ(tree.Items()->Count(), 3);
  EXPECT_EQ(tree.UpdateCount(), 0);
  EXPECT_EQ(Dump(tree), "A(A1),B");
  EXPECT_EQ(tree.Items()->InsertItem(2, nullptr)->GetIndex(), 2);
}

// ---------------------------------------------------------------------------------
// Deletion

TEST(MtTreeItems, DeletionFiresChildrenFirst) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1(A11,A12),A2(A21)),B");
  // Data as the planner keeps it: freed by the deletion handler.
  tree.Items()->Iterate(false, [](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) {
    item->Data = new std::string(item->Text());
  }, nullptr);
  tree.OnItemDeletion = [&tree](TObject*, TMtTreeItem* item) {
    auto* data = static_cast<std::string*>(item->Data);
    tree.Log("delete " + *data);
    delete data;
  };
  tree.Take();
  ASSERT_EQ(tree.Items()->Count(), 7);
  Find(tree, "A")->Delete();
  EXPECT_EQ(tree.Take(), (Strings{"delete A11", "delete A12", "delete A1", "delete A21", "delete A2", "delete A"}));
  EXPECT_EQ(tree.Items()->Count(), 1);
  EXPECT_EQ(Dump(tree), "B");

  tree.Items()->DeleteItem(nullptr);
  tree.Items()->DeleteItem(tree.Items()->Root());
  EXPECT_EQ(tree.Items()->Count(), 1);
  tree.Items()->Clear();
  EXPECT_EQ(tree.Take(), Strings{"delete B"});
  EXPECT_EQ(tree.Items()->Count(), 0);
}

TEST(MtTreeItems, FocusHandOverOnDeletion) {
  struct Case {
    const char* focused;
    const char* deleted;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"B", "B", "A"},    // top level: the previous sibling
      {"A", "A", "B"},    // the first: the next sibling
      {"C", "C", "B"},
      {"B1", "B1", "B"},  // nested: the parent
      {"B2", "B2", "B"},
      {"B2", "B", "A"},   // a focused descendant hands on to its parent, which then goes
      {"A", "B", "A"},    // an unfocused item leaves the focus alone
  };
  for (bool multi : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.focused) + " deleting " + c.deleted + (multi ? " multi" : " single"));
      LogTree tree;
      tree.SetMultiSelect(multi);
      BuildItems(tree, nullptr, "A,B(B1,B2),C");
      tree.SetItemFocused(Find(tree, c.focused));
      Find(tree, c.deleted)->Delete();
      ASSERT_NE(tree.ItemFocused(), nullptr);
      EXPECT_EQ(tree.ItemFocused()->Text(), c.expected);
      EXPECT_TRUE(tree.ItemFocused()->GetState(isFocused));
      if (!multi) {
        EXPECT_EQ(tree.Selected(), tree.ItemFocused());
        EXPECT_EQ(tree.SelectedCount(), 1);
      }
    }
  }
  LogTree single;
  single.SetMultiSelect(false);
  BuildItems(single, nullptr, "A");
  single.SetItemFocused(Find(single, "A"));
  single.Take();
  Find(single, "A")->Delete();
  EXPECT_EQ(single.ItemFocused(), nullptr);
  EXPECT_EQ(single.Selected(), nullptr);
  EXPECT_EQ(single.SelectedCount(), 0);
  EXPECT_EQ(single.Take(), (Strings{"focused nil", "delete A"}));
}

TEST(MtTreeItems, DeletionEventOrderInSingleSelect) {
  LogTree tree;
  tree.SetMultiSelect(false);
  BuildItems(tree, nullptr, "A,B(B1)");
  tree.SetItemFocused(Find(tree, "B1"));
  tree.Take();
  Find(tree, "B")->Delete();
  EXPECT_EQ(tree.Take(), (Strings{"selected B on", "focused B", "delete B1", "selected A on", "focused A",
                                  "delete B"}));
}

TEST(MtTreeItems, DeletionInMultiSelectDeselectsFirst) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,B");
  Find(tree, "B")->SetState(isSelected, true);
  tree.Take();
  EXPECT_EQ(tree.SelectedCount(), 1);
  Find(tree, "B")->Delete();
  EXPECT_EQ(tree.Take(), (Strings{"selected B off", "delete B"}));
  EXPECT_EQ(tree.SelectedCount(), 0);
}

TEST(MtTreeItems, DeletionClearsEveryTreeReference) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1(A11)),B");
  TMtTreeItem* a11 = Find(tree, "A11");
  tree.Items()->Root()->Expand(true);
  ASSERT_EQ(tree.VisibleRows().size(), 4u);
  tree.SetSelectionAnchor(a11);
  tree.SetArmedItem(a11);
  tree.SetDropTarget(a11);
  tree.SetHotItem(a11);
  tree.SetEditedItem(a11, 0);
  tree.SetItemFocused(Find(tree, "B"));
  Find(tree, "A")->Delete();
  EXPECT_EQ(tree.SelectionAnchor(), nullptr);
  EXPECT_EQ(tree.ArmedItem(), nullptr);
  EXPECT_EQ(tree.DropTarget(), nullptr);
  EXPECT_EQ(tree.HotItem(), nullptr);
  EXPECT_EQ(tree.EditedItem(), nullptr);
  EXPECT_EQ(tree.ItemFocused()->Text(), "B");
  ASSERT_EQ(tree.VisibleRows().size(), 1u);
  EXPECT_EQ(tree.VisibleRows()[0]->Text(), "B");
}

TEST(MtTreeItems, DeletionHandlerCannotLeaveDanglingReferences) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,B");
  tree.OnItemDeletion = [&tree](TObject*, TMtTreeItem* item) {
    // Points everything at the dying item and asks for the rows.
    tree.SetDropTarget(item);
    tree.SetSelectionAnchor(item);
    tree.SetArmedItem(item);
    tree.SetEditedItem(item, 0);
    tree.VisibleRows();
  };
  Find(tree, "A")->Delete();
  EXPECT_EQ(tree.DropTarget(), nullptr);
  EXPECT_EQ(tree.SelectionAnchor(), nullptr);
  EXPECT_EQ(tree.ArmedItem(), nullptr);
  EXPECT_EQ(tree.EditedItem(), nullptr);
  ASSERT_EQ(tree.VisibleRows().size(), 1u);
  EXPECT_EQ(tree.VisibleRows()[0]->Text(), "B");
}

// A tree whose in-place editor logs how it is ended.
class EditTree : public LogTree {
 public:
  void EndEdit(bool cancel) override {
    Log(std::string("end edit ") + (cancel ? "cancelled" : "accepted") + " of " + Name(EditedItem()));
    TCustomMtTree::EndEdit(cancel);
  }
};

TEST(MtTreeItems, DeletingTheEditedItemEndsTheEdit) {
  for (bool inValidation : {false, true}) {
    EditTree tree;
    BuildItems(tree, nullptr, "A,B");
    tree.SetEditedItem(Find(tree, "A"), 0);
    tree.SetInValidation(inValidation);
    tree.Take();
    Find(tree, "B")->Delete();
    EXPECT_EQ(tree.Take(), Strings{"delete B"});
    Find(tree, "A")->Delete();
    if (inValidation)
      EXPECT_EQ(tree.Take(), Strings{"delete A"});
    else
      EXPECT_EQ(tree.Take(), (Strings{"end edit cancelled of nil", "delete A"}));
    EXPECT_EQ(tree.EditedItem(), nullptr);
  }
}

TEST(MtTreeItems, DeletionHandlersThatDeleteItems) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1),B,C(C1)");
  tree.OnItemDeletion = [&tree](TObject*, TMtTreeItem* item) {
    tree.Log("delete " + item->Text());
    if (item->Text() == "A") {
      item->Delete();              // itself again: ignored
      Find(tree, "C")->Delete();   // another item
    }
  };
  tree.Take();
  Find(tree, "A")->Delete();
  EXPECT_EQ(tree.Take(), (Strings{"delete A1", "delete A", "delete C1", "delete C"}));
  EXPECT_EQ(Dump(tree), "B");
  EXPECT_EQ(tree.Items()->Count(), 1);
}

// A deletion handler that deletes an ancestor of the dying item, or clears the whole
// tree: an ancestor cannot go while its descendant is still being deleted, so it goes
// right after that deletion has ended; everything else goes at once.
TEST(MtTreeItems, DeletionHandlersThatDeleteAncestors) {
  struct Case {
    std::string action;
    Strings log;
    std::string left;
  };
  const Case cases[] = {
      {"parent", {"delete A11", "delete A12", "delete A1"}, "A(A2),B(B1)"},
      {"grandparent", {"delete A11", "delete A12", "delete A1", "delete A2", "delete A"}, "B(B1)"},
      {"clear",
       {"delete A11", "delete B1", "delete B", "delete A12", "delete A1", "delete A2", "delete A"},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    LogTree tree;
    BuildItems(tree, nullptr, "A(A1(A11,A12),A2),B(B1)");
    bool once = true;
    tree.OnItemDeletion = [&](TObject*, TMtTreeItem* item) {
      tree.Log("delete " + item->Text());
      if (item->Text() != "A11" || !once) return;
      once = false;
      if (c.action == "parent") Find(tree, "A1")->Delete();
      if (c.action == "grandparent") tree.Items()->Delete(Find(tree, "A"));
      if (c.action == "clear") tree.Items()->Clear();
    };
    tree.Take();
    Find(tree, "A11")->Delete();
    EXPECT_EQ(tree.Take(), c.log);
    EXPECT_EQ(Dump(tree), c.left);
    std::vector<TMtTreeItem*> all;
    PreOrder(tree.Items()->Root(), all, false, false);
    EXPECT_EQ(tree.Items()->Count(), static_cast<int>(all.size()));
  }
}

// A deletion handler that raises stops that deletion; the item stays in the tree and
// can be deleted later like any other.
TEST(MtTreeItems, ADeletionHandlerThatRaisesLeavesADeletableItem) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1),B");
  bool raise = true;
  tree.OnItemDeletion = [&](TObject*, TMtTreeItem* item) {
    tree.Log("delete " + item->Text());
    if (item->Text() == "A" && std::exchange(raise, false)) throw EMtTreeError("refused");
  };
  tree.Take();
  EXPECT_THROW(Find(tree, "A")->Delete(), EMtTreeError);
  EXPECT_EQ(Dump(tree), "A,B");
  EXPECT_EQ(tree.Items()->Count(), 2);
  tree.Items()->Clear();
  EXPECT_EQ(tree.Take(), (Strings{"delete A1", "delete A", "delete A", "delete B"}));
  EXPECT_EQ(Dump(tree), "");
  EXPECT_EQ(tree.Items()->Count(), 0);
}

// Focus handlers that delete the newly focused item while another deletion hands the
// focus on: the focus may come back to the item being deleted, which then goes without
// leaving its selection counted.
TEST(MtTreeItems, FocusHandedBackToAnItemBeingDeleted) {
  LogTree tree;  // multi-select
  BuildItems(tree, nullptr, "A,B");
  std::set<std::string> deleted;
  tree.OnItemFocused = [&](TObject*) {
    TMtTreeItem* f = tree.ItemFocused();
    if (f != nullptr && deleted.insert(f->Text()).second) f->Delete();
  };
  tree.SetItemFocused(Find(tree, "B"));
  EXPECT_EQ(Dump(tree), "");
  EXPECT_EQ(tree.Items()->Count(), 0);
  EXPECT_EQ(tree.ItemFocused(), nullptr);
  EXPECT_EQ(tree.SelectedCount(), 0);
}

// While a deletion runs, a handler moves neither the items on its path nor anything into
// the subtree being deleted (the moves are ignored).
TEST(MtTreeItems, DeletionHandlersThatMoveItems) {
  for (const std::string move : {"path", "into"}) {
    SCOPED_TRACE(move);
    LogTree tree;
    BuildItems(tree, nullptr, "A(A1,A2),B(B1),C");
    tree.OnItemDeletion = [&](TObject*, TMtTreeItem* item) {
      tree.Log("delete " + item->Text());
      if (item->Text() != "A1") return;
      if (move == "path") Find(tree, "A")->MoveTo(Find(tree, "B"));
      if (move == "into") Find(tree, "B")->MoveTo(Find(tree, "A"));
    };
    tree.Take();
    Find(tree, "A")->Delete();
    EXPECT_EQ(tree.Take(), (Strings{"delete A1", "delete A2", "delete A"}));
    EXPECT_EQ(Dump(tree), "B(B1),C");
    EXPECT_EQ(tree.Items()->Count(), 3);
  }
}

// A deletion handler that assigns a hidden item (with children) to the dying item: the
// copies go with it, and the tree's count of hidden items stays right.
TEST(MtTreeItems, DeletionHandlerThatAssignsToTheDyingItem) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,H(H1)");
  Find(tree, "H")->SetHidden(true);
  tree.OnItemDeletion = [&](TObject*, TMtTreeItem* item) {
    tree.Log("delete " + item->Text());
    if (item->Text() == "A") item->Assign(Find(tree, "H"));
  };
  tree.Take();
  Find(tree, "A")->Delete();
  EXPECT_EQ(tree.Take(), (Strings{"delete A", "delete H1"}));
  EXPECT_EQ(Dump(tree), "H(H1)");
  EXPECT_EQ(tree.Items()->Count(), 2);
  EXPECT_EQ(tree.HiddenCount(), 1);
}

TEST(MtTreeItems, HiddenCount) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1,A2),B");
  Find(tree, "A1")->SetHidden(true);
  Find(tree, "B")->SetHidden(true);
  Find(tree, "B")->SetHidden(true);
  EXPECT_EQ(tree.HiddenCount(), 2);
  Find(tree, "A")->Delete();
  EXPECT_EQ(tree.HiddenCount(), 1);
  tree.Items()->Clear();
  EXPECT_EQ(tree.HiddenCount(), 0);
}

TEST(MtTreeItems, DestroyingTheTreeDeletesQuietly) {
  auto tree = std::make_unique<LogTree>();
  tree->SetMultiSelect(false);
  BuildItems(*tree, nullptr, "A(A1),B(B1)");
  tree->SetItemFocused(Find(*tree, "B1"));
  tree->Take();
  std::vector<std::string> log;
  tree->OnItemDeletion = [&log](TObject*, TMtTreeItem* item) { log.push_back("delete " + item->Text()); };
  tree->OnItemFocused = [&log](TObject*) { log.push_back("focused"); };
  tree->OnItemSelectedChange = [&log](TObject*, TMtTreeItem*) { log.push_back("selected"); };
  tree.reset();
  EXPECT_EQ(log, (Strings{"delete A1", "delete A", "delete B1", "delete B"}));
}

// ---------------------------------------------------------------------------------
// Moves

TEST(MtTreeItems, MoveToIns) {
  struct Case {
    const char* tree;
    const char* item;
    const char* parent;
    int index;  // -2: MoveTo
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"A,B,C,D", "B", "", 4, "A,C,D,B"},  // the former count appends
      {"A,B,C,D", "B", "", 2, "A,C,B,D"},  // one down lands after the item at the index
      {"A,B,C,D", "B", "", 3, "A,C,D,B"},
      {"A,B,C,D", "C", "", 0, "C,A,B,D"},
      {"A,B,C,D", "B", "", -2, "A,C,D,B"},
      {"A,B,C,D", "A", "D", 0, "B,C,D(A)"},
      {"A(A1,A2),B", "A", "B", -2, "B(A(A1,A2))"},
      {"A(A1,A2),B", "A2", "", 0, "A2,A(A1),B"},
      {"A(A1,A2),B", "A1", "", -2, "A(A2),B,A1"},
      {"A(A1,A2),B", "A", "A", 0, "A(A1,A2),B"},  // onto itself: nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.item) + " to " + c.parent + " at " + std::to_string(c.index));
    LogTree tree;
    BuildItems(tree, nullptr, c.tree);
    TMtTreeItem* item = Find(tree, c.item);
    if (c.index == -2)
      item->MoveTo(Find(tree, c.parent));
    else
      item->MoveToIns(Find(tree, c.parent), c.index);
    EXPECT_EQ(Dump(tree), c.expected);
    EXPECT_EQ(tree.Items()->Count(), static_cast<int>(tree.Items()->Root()->GetDescendantCount()));
    EXPECT_EQ(tree.UpdateCount(), 0);
  }
}

TEST(MtTreeItems, RefusedMovesChangeNothing) {
  struct Case {
    const char* item;
    const char* parent;
    int index;
    const char* error;
  };
  const std::vector<Case> cases = {
      {"A", "A11", 0, "Can't move Item to one of its subitems."},
      {"A", "A1", 0, "Can't move Item to one of its subitems."},
      {"A1", "B", 1, "Tree Item index out of bounds."},
      {"A1", "B", -1, "Tree Item index out of bounds."},
      {"B", "", 3, "Tree Item index out of bounds."},
      {"A11", "A1", 2, "Tree Item index out of bounds."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.item) + " to " + c.parent);
    LogTree tree;
    BuildItems(tree, nullptr, "A(A1(A11),A2),B");
    tree.Items()->Root()->Expand(true);
    const std::string before = Dump(tree);
    const auto rows = tree.VisibleRows();
    tree.Take();
    try {
      Find(tree, c.item)->MoveToIns(Find(tree, c.parent), c.index);
      ADD_FAILURE();
    } catch (const EMtTreeError& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
    EXPECT_EQ(Dump(tree), before);
    EXPECT_EQ(tree.Items()->Count(), 5);
    EXPECT_EQ(tree.UpdateCount(), 0);
    EXPECT_EQ(tree.VisibleRows(), rows);
    EXPECT_TRUE(tree.Take().empty());
  }
}

TEST(MtTreeItems, MoveToMode) {
  struct Case {
    const char* tree;
    const char* item;
    const char* target;
    int mode;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"A(A1(A11)),B", "B", "A1", mmLastSibling, "A(A1(A11),B)"},
      {"A(A1(A11)),B", "B", "A11", mmFirstSibling, "A(A1(B,A11))"},
      {"A(A1(A11)),B", "B", "", mmFirstSibling, "B,A(A1(A11))"},
      {"A(A1(A11)),B", "B", "A", mmLastChild, "A(A1(A11),B)"},
      {"A(A1(A11)),B", "A", "", mmLastChild, "B,A(A1(A11))"},
      {"A(A1(A11)),B", "B", "A", mmFirstChild, "A(B,A1(A11))"},
      {"A(A1(A11)),B", "B", "", mmFirstChild, "B,A(A1(A11))"},
      {"A(A1(A11)),B", "B", "A1", mmBefore, "A(B,A1(A11))"},
      {"A(A1(A11)),B", "B", "", mmBefore, "B,A(A1(A11))"},
      {"A,B,C,D", "A", "C", mmBefore, "B,A,C,D"},
      {"A,B,C,D", "D", "B", mmBefore, "A,D,B,C"},
      {"A,B,C,D", "B", "B", mmBefore, "A,B,C,D"},
      {"A,B,C,D", "B", "C", 7, "A,B,C,D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.item) + " mode " + std::to_string(c.mode) + " at " + c.target);
    LogTree tree;
    BuildItems(tree, nullptr, c.tree);
    Find(tree, c.item)->MoveToMode(Find(tree, c.target), c.mode);
    EXPECT_EQ(Dump(tree), c.expected);
  }
  LogTree tree;
  BuildItems(tree, nullptr, "A,B");
  try {
    Find(tree, "A")->MoveToMode(nullptr, mmLastSibling);
    ADD_FAILURE();
  } catch (const EMtTreeError& e) {
    EXPECT_STREQ(e.what(), "Tree Item not specified.");
  }
  EXPECT_EQ(Dump(tree), "A,B");
}

TEST(MtTreeItems, ExchangeChildren) {
  LogTree tree;
  BuildItems(tree, nullptr, "P(A,B,C)");
  TMtTreeItem* p = Find(tree, "P");
  p->ExchangeChildren(0, 2);
  EXPECT_EQ(Dump(tree), "P(C,B,A)");
  EXPECT_EQ(Find(tree, "A")->GetIndex(), 2);
  EXPECT_THROW(p->ExchangeChildren(0, 3), EMtTreeError);
  EXPECT_EQ(Dump(tree), "P(C,B,A)");
}

// ---------------------------------------------------------------------------------
// Copies

TEST(MtTreeItems, AssignCopiesTheSubtree) {
  LogTree source;
  BuildItems(source, nullptr, "A(A1(A11),A2),B");
  int payload = 0;
  TMtTreeItem* a = Find(source, "A");
  a->Data = &payload;
  a->ColumnText().Add("c1");
  a->ColumnText().Add("c2");
  a->Expand(false);
  a->SetState(isBold, true);
  a->SetState(isSelected, true);
  source.SetItemFocused(a);
  a->SetColor(0x123456);
  a->SetParentColors(false);
  a->ImageIndex = 3;
  a->CheckBoxType = cbtRadioButton;
  a->Enabled = false;
  a->AddStyle()->CellTextColor = 0xFF;
  Find(source, "A2")->SetHidden(true);

  LogTree target;
  BuildItems(target, nullptr, "X(X1),Y");
  target.Take();
  TMtTreeItem* x = Find(target, "X");
  x->Assign(a);
  EXPECT_EQ(target.Take(), Strings{"delete X1"});
  EXPECT_EQ(Dump(target), "A(A1(A11),A2),Y");
  EXPECT_EQ(target.Items()->Count(), 5);
  EXPECT_EQ(target.HiddenCount(), 1);
  EXPECT_EQ(x->Data, &payload);  // the same user data
  EXPECT_EQ(x->ColumnText().Lines(), (Strings{"c1", "c2"}));
  EXPECT_TRUE(x->GetExpanded());
  EXPECT_TRUE(x->GetState(isBold));
  EXPECT_FALSE(x->GetState(isSelected));
  EXPECT_FALSE(x->GetState(isFocused));
  EXPECT_EQ(x->Color(), 0x123456u);
  EXPECT_FALSE(x->ParentColors());
  EXPECT_EQ(x->ImageIndex, 3);
  EXPECT_EQ(x->CheckBoxType, cbtRadioButton);
  EXPECT_FALSE(x->Enabled);
  ASSERT_EQ(x->StyleCount(), 1);
  EXPECT_EQ(x->Styles(0)->CellTextColor, 0xFFu);
  EXPECT_EQ(x->Styles(0)->Owner(), x);
  EXPECT_EQ(target.SelectedCount(), 0);
  // The source is untouched.
  EXPECT_EQ(Dump(source), "A(A1(A11),A2),B");
  EXPECT_EQ(source.Items()->Count(), 5);

  EXPECT_THROW(a->Assign(Find(source, "A1")), EMtTreeError);
  EXPECT_THROW(Find(source, "A11")->Assign(a), EMtTreeError);
  EXPECT_EQ(Dump(source), "A(A1(A11),A2),B");
}

// Focus and selection belong to the tree: an item that has them keeps them when another
// item is assigned to it, and the tree's count of selected items stays right.
TEST(MtTreeItems, AssignKeepsTheTargetsFocusAndSelection) {
  for (bool multi : {true, false}) {
    SCOPED_TRACE(multi ? "multi" : "single");
    LogTree tree;
    tree.SetMultiSelect(multi);
    BuildItems(tree, nullptr, "A,B(B1)");
    TMtTreeItem* a = Find(tree, "A");
    tree.SetItemFocused(a);
    ASSERT_TRUE(a->GetState(isSelected));
    a->Assign(Find(tree, "B"));
    EXPECT_EQ(Dump(tree), "B(B1),B(B1)");
    EXPECT_EQ(tree.ItemFocused(), a);
    EXPECT_TRUE(a->GetState(isFocused));
    EXPECT_TRUE(a->GetState(isSelected));
    EXPECT_EQ(tree.SelectedCount(), 1);
    tree.SetItemFocused(nullptr);
    EXPECT_FALSE(a->GetState(isFocused));
    EXPECT_EQ(tree.SelectedCount(), multi ? 1 : 0);
  }
}

// Assigning deletes the target's children first: a deletion handler that deletes the
// source (or the target) ends the copy.
TEST(MtTreeItems, AssignWhoseDeletionHandlerDeletesTheSourceOrTarget) {
  for (const std::string victim : {"A", "B"}) {
    SCOPED_TRACE(victim);
    LogTree tree;
    BuildItems(tree, nullptr, "A(A1),B(B1),C");
    tree.OnItemDeletion = [&](TObject*, TMtTreeItem* item) {
      if (item->Text() == "B1") Find(tree, victim)->Delete();
    };
    Find(tree, "B")->Assign(Find(tree, "A"));
    EXPECT_EQ(Dump(tree), victim == "A" ? "B,C" : "A(A1),C");
    EXPECT_EQ(tree.Items()->Count(), 2 + (victim == "B" ? 1 : 0));
  }
}

TEST(MtTreeItems, StoreAssign) {
  LogTree source;
  BuildItems(source, nullptr, "A(A1),B(B1,B2)");
  LogTree target;
  BuildItems(target, nullptr, "X");
  target.SetItems(source.Items());
  EXPECT_EQ(Dump(target), "A(A1),B(B1,B2)");
  EXPECT_EQ(target.Items()->Count(), 5);
  EXPECT_TRUE(target.Items()->Root()->GetExpanded());
  EXPECT_THROW(target.Items()->Assign(Find(source, "A")), EConvertError);
}

}  // namespace
