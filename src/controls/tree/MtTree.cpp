#include "controls/tree/MtTree.h"

#include <algorithm>

// ---------------------------------------------------------------------------------
// Pre-order walks. The walker keeps the path to the current item as (parent, child
// index) frames, so that it never searches for an item among its siblings: a walk over
// n items costs O(n) however wide the tree is.

class TMtTreeWalker {
 public:
  TMtTreeWalker(const TCustomMtTree* tree, bool visibleOnly)
      : visibleOnly_(visibleOnly), filtered_(visibleOnly && tree->FilteredVisibility()) {}

  TMtTreeItem* Current() const {
    if (path_.empty()) return nullptr;
    const Frame& f = path_.back();
    return f.parent->children_[static_cast<std::size_t>(f.index)].get();
  }
  std::size_t Depth() const { return path_.size(); }

  // Positions the walker on the first (last) row under the root.
  void First(TMtTreeItem* root) {
    path_.clear();
    if (!root->GetHasChildren()) return;
    path_.push_back({root, 0});
    SkipForward();
  }
  void Last(TMtTreeItem* root) {
    path_.clear();
    if (!root->GetHasChildren()) return;
    path_.push_back({root, root->GetChildrenCount() - 1});
    DescendToLast();
  }

  // Positions the walker on the given item without regard to visibility.
  void At(TMtTreeItem* item) {
    path_.clear();
    for (TMtTreeItem* p = item; p->parent_ != nullptr; p = p->parent_) path_.push_back({p->parent_, p->GetIndex()});
    std::reverse(path_.begin(), path_.end());
  }

  // For a walk over rows that starts at an item that is on no row: the highest item of
  // its path that keeps it off the rows (a hidden item, or a collapsed ancestor), or
  // -1 when the item is on a row.
  int BlockingFrame() const {
    if (!visibleOnly_) return -1;
    for (std::size_t i = 0; i < path_.size(); ++i) {
      const Frame& f = path_[i];
      TMtTreeItem* item = f.parent->children_[static_cast<std::size_t>(f.index)].get();
      if (filtered_ && item->hidden_) return static_cast<int>(i);
      if (i + 1 < path_.size() && !item->GetExpanded()) return static_cast<int>(i);
    }
    return -1;
  }
  void TruncateTo(int frame) { path_.resize(static_cast<std::size_t>(frame) + 1); }
  bool CurrentHidden() const { return filtered_ && Current()->hidden_; }

  // The next item in pre-order; with enter False the current item's subtree is skipped.
  void Next(bool enter = true) {
    TMtTreeItem* cur = Current();
    if (enter && Enterable(cur))
      path_.push_back({cur, 0});
    else
      NextSibling();
    SkipForward();
  }

  // The previous item in pre-order.
  void Prev() {
    Frame& f = path_.back();
    if (f.index > 0) {
      --f.index;
      DescendToLast();
    } else {
      path_.pop_back();
      if (path_.size() == 0) return;
    }
  }

 private:
  friend class TMtTreeItems;
  struct Frame {
    TMtTreeItem* parent;
    int index;
  };

  bool Enterable(const TMtTreeItem* item) const {
    return item->GetHasChildren() && (!visibleOnly_ || item->GetExpanded());
  }
  bool Skipped(const TMtTreeItem* item) const { return filtered_ && item->hidden_; }

  void NextSibling() {
    while (!path_.empty()) {
      Frame& f = path_.back();
      if (++f.index < f.parent->GetChildrenCount()) return;
      path_.pop_back();
    }
  }
  void SkipForward() {
    while (!path_.empty() && Skipped(Current())) NextSibling();
  }
  // From the current item down to its last row descendant, or back over hidden items.
  void DescendToLast() {
    while (!path_.empty()) {
      TMtTreeItem* cur = Current();
      if (Skipped(cur)) {
        Frame& f = path_.back();
        if (f.index > 0) {
          --f.index;
          continue;
        }
        path_.pop_back();  // the parent is the previous row
        return;
      }
      if (!Enterable(cur)) return;
      path_.push_back({cur, cur->GetChildrenCount() - 1});
    }
  }

  bool visibleOnly_;
  bool filtered_;
  std::vector<Frame> path_;
};

// ---------------------------------------------------------------------------------
// TMtTreeItems

TMtTreeItems::TMtTreeItems(TCustomMtTree* tree) : tree_(tree), root_(std::make_unique<TMtTreeItem>(tree, this)) {
  root_->SetStateBit(isExpanded, true);
}

TMtTreeItems::~TMtTreeItems() = default;

std::unique_ptr<TMtTreeItem> TMtTreeItems::CreateItem(TCustomMtTree* tree) {
  return std::make_unique<TMtTreeItem>(tree, this);
}

TMtTreeItem* TMtTreeItems::InsertItem(int index, TMtTreeItem* parent) {
  TMtTreeItem* target = parent != nullptr ? parent : root_.get();
  if (target->store_ != this) throw EMtTreeError(kMtItemNotSpecified);
  if (index < 0 || index > target->GetChildrenCount()) throw EMtTreeError(kMtItemIndexError);
  TMtUpdateBracket bracket(tree_);
  std::unique_ptr<TMtTreeItem> item = CreateItem(tree_);
  TMtTreeItem* created = item.get();
  created->store_ = this;
  created->tree_ = tree_;
  target->PutChild(index, std::move(item));
  ++count_;
  if (target->IsRoot() || (target->GetExpanded() && tree_->IsRowItem(target)))
    tree_->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfLineHeight | TCustomMtTree::dfScrollBars |
                     TCustomMtTree::dfColumnWidth);
  return created;
}

TMtTreeItem* TMtTreeItems::AddItem(TMtTreeItem* parent) {
  TMtTreeItem* target = parent != nullptr ? parent : root_.get();
  return InsertItem(target->GetChildrenCount(), parent);
}

namespace {

// Nil when the change handler deleted the new item.
TMtTreeItem* Named(TMtTreeItem* item, const AnsiString& text) {
  TCustomMtTree* tree = item->Tree();
  const unsigned deletions = tree->Deletions();
  item->SetText(text);
  return deletions == tree->Deletions() || tree->HoldsItem(item) ? item : nullptr;
}

TMtTreeItem* WithData(TMtTreeItem* item, void* data) {
  if (item != nullptr) item->Data = data;
  return item;
}

}  // namespace

TMtTreeItem* TMtTreeItems::Add(TMtTreeItem* sibling, const AnsiString& text) {
  return Named(sibling != nullptr ? AddItem(sibling->GetParent()) : InsertItem(0, nullptr), text);
}

TMtTreeItem* TMtTreeItems::AddChild(TMtTreeItem* parent, const AnsiString& text) {
  return Named(AddItem(parent), text);
}

TMtTreeItem* TMtTreeItems::AddChildFirst(TMtTreeItem* parent, const AnsiString& text) {
  return Named(InsertItem(0, parent), text);
}

TMtTreeItem* TMtTreeItems::AddChildObject(TMtTreeItem* parent, const AnsiString& text, void* data) {
  return WithData(AddChild(parent, text), data);
}

TMtTreeItem* TMtTreeItems::AddChildObjectFirst(TMtTreeItem* parent, const AnsiString& text, void* data) {
  return WithData(AddChildFirst(parent, text), data);
}

TMtTreeItem* TMtTreeItems::AddFirst(TMtTreeItem* sibling, const AnsiString& text) {
  return Named(InsertItem(0, sibling != nullptr ? sibling->GetParent() : nullptr), text);
}

TMtTreeItem* TMtTreeItems::AddObject(TMtTreeItem* sibling, const AnsiString& text, void* data) {
  return WithData(Add(sibling, text), data);
}

TMtTreeItem* TMtTreeItems::AddObjectFirst(TMtTreeItem* sibling, const AnsiString& text, void* data) {
  return WithData(AddFirst(sibling, text), data);
}

TMtTreeItem* TMtTreeItems::Insert(TMtTreeItem* sibling, const AnsiString& text) {
  if (sibling == nullptr) return Named(InsertItem(0, nullptr), text);
  return Named(InsertItem(sibling->GetIndex(), sibling->GetParent()), text);
}

TMtTreeItem* TMtTreeItems::InsertObject(TMtTreeItem* sibling, const AnsiString& text, void* data) {
  return WithData(Insert(sibling, text), data);
}

TMtTreeItem* TMtTreeItems::InsertAfter(TMtTreeItem* sibling, const AnsiString& text) {
  if (sibling == nullptr) return Named(InsertItem(0, nullptr), text);
  return Named(InsertItem(sibling->GetIndex() + 1, sibling->GetParent()), text);
}

TMtTreeItem* TMtTreeItems::InsertAfterObject(TMtTreeItem* sibling, const AnsiString& text, void* data) {
  return WithData(InsertAfter(sibling, text), data);
}

void TMtTreeItems::Delete(TMtTreeItem* item) { DeleteItem(item); }

void TMtTreeItems::BeginUpdate() { tree_->SetUpdating(true); }

void TMtTreeItems::EndUpdate() { tree_->SetUpdating(false); }

void TMtTreeItems::DeleteItem(TMtTreeItem* item) {
  if (item == nullptr || item->IsRoot() || item->deleting_ || item->store_ != this) return;
  std::vector<TMtTreeItem*>& pending = tree_->pendingDeletes_;
  if (HoldsDeletion(item)) {
    // A deletion handler deletes an ancestor of the dying item: it cannot be freed while
    // its descendant's deletion runs.
    if (std::find(pending.begin(), pending.end(), item) == pending.end()) pending.push_back(item);
    return;
  }
  TMtUpdateBracket bracket(tree_);
  DeleteChild(item);
  RunPendingDeletes();
}

bool TMtTreeItems::HoldsDeletion(const TMtTreeItem* item) const {
  for (const TMtTreeItem* d : tree_->deletingItems_)
    if (d->IsUnder(item)) return true;
  return false;
}

bool TMtTreeItems::InDeletion(const TMtTreeItem* item) const {
  for (const TMtTreeItem* d : tree_->deletingItems_)
    if (item->IsUnder(d)) return true;
  return false;
}

void TMtTreeItems::RunPendingDeletes() {
  std::vector<TMtTreeItem*>& pending = tree_->pendingDeletes_;
  while (tree_->deletingItems_.empty() && !pending.empty()) {
    TMtTreeItem* item = pending.front();
    pending.erase(pending.begin());
    DeleteItem(item);
  }
}

void TMtTreeItems::DeleteChild(TMtTreeItem* top) {
  TCustomMtTree* tree = tree_;
  TMtUpdateBracket bracket(tree);
  // Descendants go first, first child first, each by the same steps; the items whose
  // deletion runs are kept on a path of their own, not on the call stack, so a subtree of
  // any depth goes without deep recursion. `handled`: the item's own steps (selection,
  // focus, edit, OnItemDeletion) are done, and what a handler added below it goes next.
  struct Frame {
    TMtTreeItem* item;
    bool handled;
  };
  std::vector<Frame> path;
  auto begin = [tree, &path](TMtTreeItem* item) {
    item->deleting_ = true;
    tree->deletingItems_.push_back(item);
    path.push_back({item, false});
  };
  auto forgetRow = [tree](TMtTreeItem* item) {
    if (tree->rowsValid_ && tree->IsRowItem(item))
      tree->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfScrollBars | TCustomMtTree::dfColumnWidth);
  };
  auto handle = [tree, &forgetRow](TMtTreeItem* item) {
    item->SetState(isSelected, false);
    if (item->hidden_) {
      --tree->hiddenCount_;
      item->hidden_ = false;
    }
    tree->ForgetItem(item);
    if (tree->itemFocused_ == item) {
      if (tree->destroying_) {
        tree->itemFocused_ = nullptr;
      } else {
        TMtTreeItem* heir = item->GetParent();
        if (heir == nullptr) {
          heir = item->GetPrevSibling();
          if (heir == nullptr) heir = item->GetNextSibling();
        }
        tree->SetItemFocused(heir);
      }
    }
    if (tree->editedItem_ == item) {
      tree->editedItem_ = nullptr;
      tree->editedSection_ = -1;
      if (!tree->inValidation_) tree->EndEdit(true);
    }
    forgetRow(item);
    tree->DoItemDelete(item);
    if (tree->itemDataOwner_) tree->itemDataOwner_(tree, item);
  };
  auto free = [this, tree, &forgetRow](TMtTreeItem* item) {
    // The handler may have pointed the tree at the item again (the focus may even have
    // been handed back to it, selecting it anew): nothing may keep a reference to it, or
    // count it, once it is freed.
    tree->ForgetItem(item);
    if (tree->itemFocused_ == item) tree->itemFocused_ = nullptr;
    if (tree->multiSelect_ && item->GetState(isSelected)) {
      item->SetStateBit(isSelected, false);
      tree->AdjustSelectedCount(-1);
    }
    if (item->hidden_) {  // hidden again by a handler (an assignment to it)
      --tree->hiddenCount_;
      item->hidden_ = false;
    }
    if (tree->editedItem_ == item) tree->editedItem_ = nullptr;
    forgetRow(item);
    TMtTreeItem* parent = item->parent_;
    std::unique_ptr<TMtTreeItem> owned = parent->TakeChild(item->GetIndex());
    --count_;
    std::erase(tree->pendingDeletes_, item);
    owned.reset();
  };
  try {
    begin(top);
    while (!path.empty()) {
      Frame& frame = path.back();
      TMtTreeItem* item = frame.item;
      if (item->GetHasChildren() && !item->children_.front()->deleting_) {
        begin(item->children_.front().get());
      } else if (!frame.handled) {
        frame.handled = true;
        handle(item);
      } else {
        path.pop_back();
        tree->deletingItems_.pop_back();
        free(item);
      }
    }
  } catch (...) {
    // A handler that raises stops the deletion: the items whose deletion was running stay
    // (what went before them is gone), and can be deleted again.
    for (const Frame& frame : path) {
      frame.item->deleting_ = false;
      tree->deletingItems_.pop_back();
    }
    throw;
  }
}

void TMtTreeItems::Clear() {
  TMtUpdateBracket bracket(tree_);
  root_->Clear();
  tree_->MarkDirty(TCustomMtTree::dfAll);
}

void TMtTreeItems::CopyChildren(TMtTreeItem* target, const TMtTreeItem& source) {
  // Pairs of (copy, original) whose children are still to copy; no recursion per level.
  std::vector<std::pair<TMtTreeItem*, const TMtTreeItem*>> pending{{target, &source}};
  while (!pending.empty()) {
    auto [to, from] = pending.back();
    pending.pop_back();
    // An item's children are copied together; their subtrees follow, first child first.
    std::vector<std::pair<TMtTreeItem*, const TMtTreeItem*>> level;
    for (std::size_t i = 0; i < from->children_.size(); ++i) {
      const TMtTreeItem& child = *from->children_[i];
      TMtTreeItem* copy = AddItem(to);
      copy->CopyFrom(child);
      level.emplace_back(copy, &child);
    }
    pending.insert(pending.end(), level.rbegin(), level.rend());
  }
}

void TMtTreeItems::Assign(const TPersistent* source) {
  const auto* store = dynamic_cast<const TMtTreeItems*>(source);
  if (store == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (store == this) return;
  root_->Assign(store->root_.get());
}

// --- walks

int TMtTreeItems::VisibleCount() const {
  if (tree_->rowsValid_) return static_cast<int>(tree_->rows_.size());
  int count = 0;
  TMtTreeWalker walker(tree_, true);
  for (walker.First(root_.get()); walker.Current() != nullptr; walker.Next()) ++count;
  return count;
}

void TMtTreeItems::Walk(bool visibleOnly, bool forward, const TMtIterateProc& proc, void* data,
                        TMtTreeItem* start) const {
  TMtTreeWalker walker(tree_, visibleOnly);
  int index;
  if (start == nullptr || start->IsRoot()) {
    if (forward) {
      walker.First(root_.get());
      index = 0;
    } else {
      walker.Last(root_.get());
      index = (visibleOnly ? VisibleCount() : count_) - 1;
    }
  } else {
    walker.At(start);
    int blocking = walker.BlockingFrame();
    if (blocking >= 0) {
      // The start is on no row. Forward: go on past the subtree that keeps it off the
      // rows. Backward: a collapsed ancestor is the row before it; a hidden item is left
      // out with its subtree.
      walker.TruncateTo(blocking);
      if (forward)
        walker.Next(false);
      else if (walker.CurrentHidden())
        walker.Prev();
    }
    if (walker.Current() == nullptr) return;
    index = visibleOnly ? GetVisIndex(walker.Current()) : GetAbsIndex(walker.Current());
  }
  for (; walker.Current() != nullptr; forward ? walker.Next() : walker.Prev()) {
    bool go = true;
    proc(walker.Current(), forward ? index++ : index--, go, data, tree_);
    if (!go) return;
  }
}

void TMtTreeItems::Iterate(bool visibleOnly, const TMtIterateProc& proc, void* data) const {
  Walk(visibleOnly, true, proc, data, nullptr);
}

void TMtTreeItems::IterateFrom(bool visibleOnly, const TMtIterateProc& proc, void* data,
                               TMtTreeItem* start) const {
  Walk(visibleOnly, true, proc, data, start);
}

void TMtTreeItems::IterateBackward(bool visibleOnly, const TMtIterateProc& proc, void* data) const {
  Walk(visibleOnly, false, proc, data, nullptr);
}

void TMtTreeItems::IterateBackFrom(bool visibleOnly, const TMtIterateProc& proc, void* data,
                                   TMtTreeItem* start) const {
  Walk(visibleOnly, false, proc, data, start);
}

namespace {

// The item at a position of a walk from the nearer end.
TMtTreeItem* ItemAt(const TMtTreeItems& store, bool visibleOnly, int index, int count) {
  if (index < 0 || index >= count) return nullptr;
  TMtTreeItem* found = nullptr;
  auto stopAt = [&found, index](TMtTreeItem* item, int i, bool& go, void*, TCustomMtTree*) {
    if (i == index) {
      found = item;
      go = false;
    }
  };
  if (index <= count / 2)
    store.Iterate(visibleOnly, stopAt, nullptr);
  else
    store.IterateBackward(visibleOnly, stopAt, nullptr);
  return found;
}

}  // namespace

TMtTreeItem* TMtTreeItems::GetItem(int index) const { return ItemAt(*this, false, index, count_); }

TMtTreeItem* TMtTreeItems::GetVisItem(int index) const {
  if (index < 0) return nullptr;
  return ItemAt(*this, true, index, VisibleCount());
}

namespace {

// The index of an item in a forward walk, -1 when the walk does not reach it.
int WalkIndexOf(const TMtTreeItems& store, bool visibleOnly, const TMtTreeItem* item) {
  int found = -1;
  store.Iterate(visibleOnly, [&found, item](TMtTreeItem* it, int i, bool& go, void*, TCustomMtTree*) {
    if (it == item) {
      found = i;
      go = false;
    }
  }, nullptr);
  return found;
}

}  // namespace

int TMtTreeItems::GetVisIndex(const TMtTreeItem* item) const {
  if (item == nullptr || !tree_->IsRowItem(item)) return -1;
  return WalkIndexOf(*this, true, item);
}

int TMtTreeItems::GetAbsIndex(const TMtTreeItem* item) const {
  if (item == nullptr || item->IsRoot()) return -1;
  return WalkIndexOf(*this, false, item);
}

TMtTreeItem* TMtTreeItems::FindItem(TMtTreeItem* start, const TMtItemPredicate& predicate, bool includeStart,
                                    bool subtreeOnly) const {
  TMtTreeWalker walker(tree_, false);
  if (start == nullptr || start->IsRoot()) {
    walker.First(root_.get());
    includeStart = true;
    subtreeOnly = false;
  } else {
    walker.At(start);
  }
  const std::size_t startDepth = walker.Depth();
  if (walker.Current() != nullptr && !includeStart) walker.Next();
  for (; walker.Current() != nullptr; walker.Next()) {
    if (subtreeOnly && walker.Current() != start && walker.Depth() <= startDepth) return nullptr;
    if (predicate(walker.Current())) return walker.Current();
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------
// TCustomMtTree

TCustomMtTree::TCustomMtTree() : items_(std::make_unique<TMtTreeItems>(this)) {}

TCustomMtTree::~TCustomMtTree() {
  try {
    DestroyItems();
  } catch (...) {
    // A deletion handler that raises while the tree goes away is not allowed to stop it.
  }
}

void TCustomMtTree::DestroyItems() {
  destroying_ = true;
  if (editedItem_ != nullptr) EndEdit(true);
  items_->root_->Clear();
}

void TCustomMtTree::SetMultiSelect(bool b) {
  if (multiSelect_ == b) return;
  items_->Iterate(false, [](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) {
    item->SetStateBit(isSelected, false);
  }, nullptr);
  multiSelect_ = b;
  selected_ = nullptr;
  selectedCount_ = 0;
  anchor_ = nullptr;
  // In single-select mode the selection follows the focus.
  if (!b && itemFocused_ != nullptr) {
    itemFocused_->SetStateBit(isSelected, true);
    selected_ = itemFocused_;
    selectedCount_ = 1;
  }
  if (updateCount_ == 0) Invalidate();
}

void TCustomMtTree::SetFilteredVisibility(bool b) {
  if (filteredVisibility_ == b) return;
  filteredVisibility_ = b;
  MarkDirty(dfRows | dfScrollBars | dfColumnWidth);
}

void TCustomMtTree::SetShowCheckboxes(bool b) {
  if (showCheckboxes_ == b) return;
  showCheckboxes_ = b;
  MarkDirty(dfColumnWidth);
}

void TCustomMtTree::SetShowColumns(bool b) {
  if (showColumns_ == b) return;
  showColumns_ = b;
  MarkDirty(dfAll);
}

void TCustomMtTree::FireSelectedChange(TMtTreeItem* item) {
  if (!destroying_) DoItemSelectedChange(item);
}

void TCustomMtTree::SetItemFocused(TMtTreeItem* item) {
  if (item == itemFocused_) return;
  TMtUpdateBracket bracket(this);
  if (AutoExpand && item != nullptr && itemFocused_ != nullptr) {
    // The old focus's branch collapses first. Its handlers may delete items: one that is
    // gone is neither collapsed nor focused.
    const unsigned deletions = deletions_;
    auto alive = [this, deletions](const TMtTreeItem* p) { return deletions_ == deletions || HoldsItem(p); };
    std::vector<TMtTreeItem*> toCollapse;
    for (TMtTreeItem* p = itemFocused_; p != nullptr; p = p->GetParent())
      if (!item->IsUnder(p) && p->GetExpanded()) toCollapse.push_back(p);
    for (TMtTreeItem* p : toCollapse)
      if (alive(p)) p->Collapse(false);
    if (!alive(item) || item == itemFocused_) return;
  }
  TMtTreeItem* old = itemFocused_;
  if (old != nullptr) {
    old->SetStateBit(isFocused, false);
    RedrawItem(old);
  }
  itemFocused_ = item;
  if (!multiSelect_) {
    if (TMtTreeItem* oldSelected = selected_) {
      oldSelected->SetStateBit(isSelected, false);
      selected_ = nullptr;
      --selectedCount_;
      RedrawItem(oldSelected);
      FireSelectedChange(oldSelected);
    }
    if (item != nullptr && itemFocused_ == item) {
      item->SetStateBit(isSelected, true);
      selected_ = item;
      ++selectedCount_;
      FireSelectedChange(item);
    }
  } else if (item != nullptr) {
    bool on = !item->GetState(isSelected);
    item->SetStateBit(isSelected, on);
    selectedCount_ += on ? 1 : -1;
    FireSelectedChange(item);
  }
  // A handler may have moved the focus on or deleted the item.
  if (item != nullptr && itemFocused_ == item) {
    item->SetStateBit(isFocused, true);
    RedrawItem(item);
    if (AutoExpand && !item->GetExpanded()) item->Expand(false);
    FocusedItemShown(item);
  }
  if (!destroying_) DoItemFocused();
}

void TCustomMtTree::SetSelected(TMtTreeItem* item) {
  if (!multiSelect_) SetItemFocused(item);
}

void TCustomMtTree::SetHotItem(TMtTreeItem* item) {
  if (item == hotItem_) return;
  TMtTreeItem* old = hotItem_;
  hotItem_ = item;
  if (old != nullptr) RedrawItem(old);
  if (item != nullptr) RedrawItem(item);
  DoHotTrack(old, item);
}

void TCustomMtTree::ForgetItem(TMtTreeItem* item) {
  ++deletions_;
  if (selected_ == item) {
    selected_ = nullptr;
    --selectedCount_;
  }
  if (hotItem_ == item) hotItem_ = nullptr;
  if (dropTarget_ == item) dropTarget_ = nullptr;
  if (anchor_ == item) anchor_ = nullptr;
  if (armedItem_ == item) armedItem_ = nullptr;
}

bool TCustomMtTree::HoldsItem(const TMtTreeItem* item) const {
  if (item == nullptr) return false;
  if (item == items_->Root()) return true;
  TMtTreeWalker walker(this, false);
  for (walker.First(items_->Root()); walker.Current() != nullptr; walker.Next())
    if (walker.Current() == item) return true;
  return false;
}

bool TCustomMtTree::IsRowItem(const TMtTreeItem* item) const {
  if (item == nullptr || item->IsRoot()) return false;
  if (filteredVisibility_ && item->Hidden()) return false;
  for (const TMtTreeItem* p = item->parent_; p != nullptr && !p->IsRoot(); p = p->parent_)
    if (!p->GetExpanded() || (filteredVisibility_ && p->Hidden())) return false;
  return true;
}

const std::vector<TMtTreeItem*>& TCustomMtTree::VisibleRows() const {
  if (!rowsValid_) {
    rows_.clear();
    TMtTreeWalker walker(this, true);
    for (walker.First(items_->Root()); walker.Current() != nullptr; walker.Next()) rows_.push_back(walker.Current());
    rowsValid_ = true;
  }
  return rows_;
}

// --- update bracket

void TCustomMtTree::SetUpdating(bool updating) {
  if (flushing_) return;  // the deferred work itself opens no brackets
  if (updating) {
    ++updateCount_;
  } else if (updateCount_ > 0 && --updateCount_ == 0) {
    FlushDirty();
  }
}

void TCustomMtTree::MarkDirty(unsigned what) {
  dirty_ |= what;
  if (what & dfRows) {
    rows_.clear();
    rowsValid_ = false;
  }
  if (updateCount_ == 0 && !flushing_) FlushDirty();
}

void TCustomMtTree::FlushDirty() {
  if (destroying_) {
    dirty_ = 0;
    return;
  }
  if (dirty_ == 0) return;
  const unsigned work = dirty_;
  dirty_ = 0;
  flushing_ = true;
  try {
    if (work & dfLineHeight) DefineLineHeight();
    if ((work & dfColumnWidth) && !showColumns_) UpdateColumnWidth();
    if (work & dfRows) {
      VisibleRows();
      VisibleRowsChanged();
    }
    if (work & dfScrollBars) UpdateScrollBars();
    if (work & dfHeaderWidth) UpdateHeaderWidth();
    Invalidate();
  } catch (...) {
    flushing_ = false;
    throw;
  }
  flushing_ = false;
}

// --- view hooks

void TCustomMtTree::RedrawItem(TMtTreeItem* item) { (void)item; }

void TCustomMtTree::RedrawItemPart(TMtTreeItem* item, int left, int right) {
  (void)left;
  (void)right;
  RedrawItem(item);
}

void TCustomMtTree::RedrawCheckBox(TMtTreeItem* item) { RedrawItem(item); }

void TCustomMtTree::UpdateItem(TMtTreeItem* item) { RedrawItem(item); }

void TCustomMtTree::EndEdit(bool cancel) {
  (void)cancel;
  editedItem_ = nullptr;
  editedSection_ = -1;
}

void TCustomMtTree::GetCellFont(std::int32_t& size, TFontStyles& styles, AnsiString& name) const {
  size = 8;
  styles = 0;
  name = "MS Sans Serif";
}

// --- event firers

void TCustomMtTree::DoItemChange(TMtTreeItem* item, int mode) {
  if (OnItemChange) OnItemChange(this, item, mode);
}

void TCustomMtTree::DoItemDelete(TMtTreeItem* item) {
  if (OnItemDeletion) OnItemDeletion(this, item);
}

void TCustomMtTree::DoItemExpanding(TMtTreeItem* item, bool& canProcess) {
  if (OnItemExpanding) OnItemExpanding(this, item, canProcess);
}

void TCustomMtTree::DoItemExpand(TMtTreeItem* item) {
  if (OnItemExpand) OnItemExpand(this, item);
}

void TCustomMtTree::DoItemCollapsing(TMtTreeItem* item, bool& canProcess) {
  if (OnItemCollapsing) OnItemCollapsing(this, item, canProcess);
}

void TCustomMtTree::DoItemCollapse(TMtTreeItem* item) {
  if (OnItemCollapse) OnItemCollapse(this, item);
}

void TCustomMtTree::DoItemSelectedChange(TMtTreeItem* item) {
  if (OnItemSelectedChange) OnItemSelectedChange(this, item);
}

void TCustomMtTree::DoItemFocused() {
  if (OnItemFocused) OnItemFocused(this);
}

void TCustomMtTree::DoHotTrack(TMtTreeItem* oldItem, TMtTreeItem* newItem) {
  if (OnHotTrack) OnHotTrack(this, oldItem, newItem);
}
