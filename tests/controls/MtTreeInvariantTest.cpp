// Random sequences of tree operations, with event handlers that delete, move, copy, sort
// and reload items while the tree is busy: after every step the tree's bookkeeping
// (count, focus, selection, hidden items, rows, index lookups) agrees with its items, and
// nothing freed is touched (the sanitizers watch). The seeds are fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "TreeFixture.h"

namespace {

class PlainTree : public TCustomMtTree {
 public:
  ~PlainTree() override { DestroyItems(); }
};

class RandomRun {
 public:
  explicit RandomRun(int seed) : seed_(seed), rng_(static_cast<unsigned>(seed)) {
    tree_.SetMultiSelect(seed % 2 == 1);
    tree_.SetFilteredVisibility(seed % 3 == 0);
    tree_.DeselectChildrenOnCollapse = seed % 5 == 0;
    tree_.AutoExpand = seed % 7 == 0;
    tree_.SortMode = static_cast<TSortModes>(seed % 4);
    tree_.SortSection = seed % 3 == 0 ? -1 : 0;
    tree_.SortType = stText;
    tree_.OnCompareItems = [](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& r) {
      r = x->Text().compare(y->Text());
    };
    if (seed % 3 != 1) MeddleInHandlers();
  }

  void Steps(int count) {
    for (int step = 0; step < count; ++step) {
      budget_ = 3;
      const int op = Random(0, 21);
      SCOPED_TRACE("seed " + std::to_string(seed_) + " step " + std::to_string(step) + " op " +
                   std::to_string(op));
      try {
        Operation(op, step);
      } catch (const EMtTreeError&) {
        // a refused move or copy
      }
      Check();
      if (testing::Test::HasFailure()) return;
    }
  }

 private:
  int Random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool OneIn(int n) { return Random(1, n) == 1; }
  TMtTreeItem* Pick() {
    const int n = tree_.Items()->Count();
    return n == 0 ? nullptr : tree_.Items()->GetItem(Random(-1, n - 1));
  }

  void Operation(int op, int step) {
    TMtTreeItem* a = Pick();
    TMtTreeItem* b = Pick();
    TMtTreeItems& items = *tree_.Items();
    switch (op) {
      case 0:
      case 1: items.AddChild(a, "x" + std::to_string(step)); break;
      case 2: items.Insert(a, "i" + std::to_string(step)); break;
      case 3: if (a) a->Delete(); break;
      case 4: tree_.SetItemFocused(a); break;
      case 5: if (a) a->SetState(isSelected, !a->GetState(isSelected)); break;
      case 6: if (a) a->Expand(OneIn(2)); break;
      case 7: if (a) a->Collapse(OneIn(2)); break;
      case 8: if (a) a->MoveToIns(b, Random(0, (b ? b : items.Root())->GetChildrenCount())); break;
      case 9: if (a) a->SetHidden(!a->Hidden()); break;
      case 10: if (a) a->MoveToMode(b, Random(0, 4)); break;
      case 11: if (a && b) a->Assign(b); break;
      case 12: if (OneIn(10)) tree_.SetMultiSelect(!tree_.MultiSelect()); break;
      case 13: if (a) a->Clear(); break;
      case 14: if (OneIn(20)) items.Clear(); break;
      case 15: if (a) a->SetText("t" + std::to_string(Random(0, 49))); break;
      case 16: tree_.SortAll(OneIn(2)); break;
      case 17: if (a && a->GetChildrenCount() > 1) a->ExchangeChildren(0, a->GetChildrenCount() - 1); break;
      case 18: if (OneIn(10)) tree_.SetFilteredVisibility(!tree_.FilteredVisibility()); break;
      case 19: Reload(OneIn(4)); break;
      case 20: if (a) a->MakeFullyVisible(true); break;
      case 21: if (a) a->SetExpanded(!a->GetExpanded()); break;
    }
  }

  void Reload(bool read) {
    TMemoryStream m;
    tree_.Items()->SaveToStream(m);
    m.SetPosition(0);
    if (read) tree_.Items()->ReadFromStream(m);
  }

  // A few times per step, a handler changes the tree under the running operation.
  void Meddle(TMtTreeItem* item) {
    if (budget_ <= 0 || !OneIn(6)) return;
    --budget_;
    try {
      switch (Random(0, 9)) {
        case 0: if (item) item->Delete(); break;
        case 1: if (TMtTreeItem* p = Pick()) p->Delete(); break;
        case 2: if (item && item->GetParent()) item->GetParent()->Delete(); break;
        case 3: if (OneIn(5)) tree_.Items()->Clear(); break;
        case 4: if (TMtTreeItem* p = Pick()) p->MoveTo(Pick()); break;
        case 5: if (item) item->SetText("c" + std::to_string(Random(0, 8))); break;
        case 6: if (TMtTreeItem* p = Pick(); p && p->GetChildrenCount() > 1) p->ExchangeChildren(0, 1); break;
        case 7: tree_.SortAll(true); break;
        case 8: {
          TMtTreeItem* p = Pick();
          TMtTreeItem* q = Pick();
          if (p && q) p->Assign(q);
          break;
        }
        case 9: if (OneIn(4)) Reload(true); break;
      }
    } catch (const EMtTreeError&) {
    }
  }

  void MeddleInHandlers() {
    auto meddle = [this](TObject*, TMtTreeItem* i) { Meddle(i); };
    tree_.OnItemChange = [this](TObject*, TMtTreeItem* i, int) { Meddle(i); };
    tree_.OnItemDeletion = meddle;
    tree_.OnItemCollapse = meddle;
    tree_.OnItemExpand = meddle;
    tree_.OnItemSelectedChange = meddle;
    tree_.OnItemExpanding = [this](TObject*, TMtTreeItem* i, bool& can) {
      can = !OneIn(4);
      Meddle(i);
    };
    tree_.OnItemCollapsing = tree_.OnItemExpanding;
    tree_.OnItemFocused = [this](TObject*) { Meddle(tree_.ItemFocused()); };
    if (seed_ % 4 == 0)
      tree_.OnCompareItems = [this](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& r) {
        r = x->Text().compare(y->Text());
        if (OneIn(8)) Meddle(x);
      };
  }

  void Check() {
    TMtTreeItems& items = *tree_.Items();
    std::vector<TMtTreeItem*> all;
    PreOrder(items.Root(), all, false, false);
    ASSERT_EQ(items.Count(), static_cast<int>(all.size()));
    int selected = 0, hidden = 0;
    for (TMtTreeItem* item : all) {
      selected += item->GetState(isSelected);
      hidden += item->Hidden();
      ASSERT_EQ(item->GetState(isFocused), item == tree_.ItemFocused()) << item->Text();
    }
    ASSERT_EQ(tree_.SelectedCount(), selected);
    ASSERT_EQ(tree_.HiddenCount(), hidden);
    if (tree_.ItemFocused() != nullptr) {
      ASSERT_NE(std::find(all.begin(), all.end(), tree_.ItemFocused()), all.end());
    }
    if (!tree_.MultiSelect()) {
      ASSERT_EQ(tree_.Selected(), tree_.ItemFocused());
    }
    std::vector<TMtTreeItem*> rows;
    PreOrder(items.Root(), rows, true, tree_.FilteredVisibility());
    ASSERT_EQ(tree_.VisibleRows(), rows);
    ASSERT_EQ(items.VisibleCount(), static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); i += 7) {
      ASSERT_EQ(items.GetVisItem(static_cast<int>(i)), rows[i]);
    }
    for (std::size_t i = 0; i < all.size(); i += 5) {
      ASSERT_EQ(items.GetItem(static_cast<int>(i)), all[i]);
      ASSERT_EQ(items.GetAbsIndex(all[i]), static_cast<int>(i));
    }
  }

  int seed_;
  std::mt19937 rng_;
  PlainTree tree_;
  int budget_ = 0;
};

}  // namespace

TEST(MtTreeInvariants, RandomOperationsAndMeddlingHandlers) {
  for (int seed = 0; seed < 240; ++seed) {
    RandomRun(seed).Steps(200);
    if (HasFailure()) return;
  }
}
