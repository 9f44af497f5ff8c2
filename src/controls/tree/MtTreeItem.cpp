#include <algorithm>
#include <exception>

#include "controls/tree/MtTree.h"

namespace {

constexpr std::uint16_t Bit(int element) { return static_cast<std::uint16_t>(1u << element); }

bool IsStyleElement(int element) {
  return element == isCut || element == isUnderlined || element == isBold || element == isItalic ||
         element == isStrikeOut;
}

bool AddSortMode(TSortModes mode) { return mode == smAdd || mode == smAddClick; }

// After the tree's handlers ran: whether the item is still one of the tree's (handlers may
// delete items; the pointer is then only compared). `deletions` is the tree's count of
// deletions when the item was last known to be there.
bool Survived(const TCustomMtTree* tree, unsigned& deletions, const TMtTreeItem* item) {
  if (tree->Deletions() == deletions) return true;
  if (!tree->HoldsItem(item)) return false;
  deletions = tree->Deletions();
  return true;
}


}  // namespace

// ---------------------------------------------------------------------------------
// TMtUpdateBracket

TMtUpdateBracket::TMtUpdateBracket(TCustomMtTree* tree) : tree_(tree), exceptions_(std::uncaught_exceptions()) {
  tree_->SetUpdating(true);
}

TMtUpdateBracket::~TMtUpdateBracket() noexcept(false) {
  if (std::uncaught_exceptions() > exceptions_) {
    // Unwinding already: close the bracket, but let the first error through.
    try {
      tree_->SetUpdating(false);
    } catch (...) {
    }
  } else {
    tree_->SetUpdating(false);
  }
}

// ---------------------------------------------------------------------------------
// TMtCellStyle

void TMtCellStyle::Assign(const TMtCellStyle& source) {
  if (&source == this) return;
  UserValue = source.UserValue;
  CellBkColor = source.CellBkColor;
  CellTextBkColor = source.CellTextBkColor;
  CellTextColor = source.CellTextColor;
  TextFlags = source.TextFlags;
  Picture = source.Picture;
  CellType = source.CellType;
  Style = source.Style;
  OwnerProps = source.OwnerProps;
  FontSize = source.FontSize;
  FontStyles = source.FontStyles;
  FontName = source.FontName;
}

// ---------------------------------------------------------------------------------
// TMtTreeItem: construction and queries

TMtTreeItem::TMtTreeItem(TCustomMtTree* tree, TMtTreeItems* store)
    : tree_(tree), store_(store), mainStyle_(std::make_unique<TMtCellStyle>(this)) {
  tree_->GetCellFont(mainStyle_->FontSize, mainStyle_->FontStyles, mainStyle_->FontName);
  mainStyle_->OwnerProps = true;
  columnText_.OnChange = [this](TObject*) { ColumnTextChanged(); };
}

TMtTreeItem::~TMtTreeItem() {
  // The subtree is freed from a list of its own, not by each child's destructor in turn:
  // a tree of any depth goes without deep recursion.
  std::vector<std::unique_ptr<TMtTreeItem>> pending;
  auto takeChildren = [&pending](TMtTreeItem& item) {
    while (!item.children_.empty()) pending.push_back(item.children_.take(item.children_.size() - 1));
  };
  takeChildren(*this);
  while (!pending.empty()) {
    std::unique_ptr<TMtTreeItem> item = std::move(pending.back());
    pending.pop_back();
    takeChildren(*item);
  }
}

TMtCellStyle* TMtTreeItem::Styles(int i) const {
  if (i < 0 || i >= StyleCount()) return nullptr;
  return styles_[static_cast<std::size_t>(i)].get();
}

TMtTreeItem* TMtTreeItem::ParentOrRoot(TMtTreeItem* p) const { return p != nullptr ? p : store_->Root(); }

TMtTreeItem* TMtTreeItem::GetParent() const {
  return parent_ != nullptr && !parent_->IsRoot() ? parent_ : nullptr;
}

TMtTreeItem* TMtTreeItem::GetRoot() const { return store_->Root(); }

int TMtTreeItem::GetIndex() const {
  if (parent_ == nullptr) return -1;
  const ChildList& siblings = parent_->children_;
  const int n = static_cast<int>(siblings.size());
  auto at = [&siblings](int i) { return siblings[static_cast<std::size_t>(i)].get(); };
  auto found = [this](int i) {
    parent_->childShift_ = i - indexHint_;
    indexHint_ = i;
    return i;
  };
  // Where the item was last seen, moved as far as the last sibling found had moved:
  // insertions and deletions before it shift every later sibling alike. Then the ends
  // (deletions from the front or back), then outward from the guess.
  const int h = std::clamp(indexHint_ + parent_->childShift_, 0, n - 1);
  if (at(h) == this) return found(h);
  if (at(0) == this) return found(0);
  if (at(n - 1) == this) return found(n - 1);
  for (int d = 1; h - d >= 0 || h + d < n; ++d) {
    if (h - d >= 0 && at(h - d) == this) return found(h - d);
    if (h + d < n && at(h + d) == this) return found(h + d);
  }
  return -1;
}

TMtTreeItem* TMtTreeItem::GetChildren(int i) const {
  if (i < 0 || i >= GetChildrenCount()) return nullptr;
  TMtTreeItem* child = children_[static_cast<std::size_t>(i)].get();
  child->indexHint_ = i;
  return child;
}

bool TMtTreeItem::GetHasVisibleChildren() const { return GetFirstVisibleChild() != nullptr; }

TMtTreeItem* TMtTreeItem::GetFirstChild() const { return GetChildren(0); }

TMtTreeItem* TMtTreeItem::GetLastChild() const { return GetChildren(GetChildrenCount() - 1); }

TMtTreeItem* TMtTreeItem::GetFirstVisibleChild() const {
  if (!tree_->FilteredVisibility()) return GetFirstChild();
  for (int i = 0; i < GetChildrenCount(); ++i)
    if (!children_[static_cast<std::size_t>(i)]->hidden_) return GetChildren(i);
  return nullptr;
}

TMtTreeItem* TMtTreeItem::GetNextChild(const TMtTreeItem* child) const {
  if (child == nullptr || child->parent_ != this) return nullptr;
  return GetChildren(child->GetIndex() + 1);
}

TMtTreeItem* TMtTreeItem::GetPrevChild(const TMtTreeItem* child) const {
  if (child == nullptr || child->parent_ != this) return nullptr;
  return GetChildren(child->GetIndex() - 1);
}

TMtTreeItem* TMtTreeItem::GetFirstSibling() const { return parent_ != nullptr ? parent_->GetFirstChild() : nullptr; }

TMtTreeItem* TMtTreeItem::GetLastSibling() const { return parent_ != nullptr ? parent_->GetLastChild() : nullptr; }

TMtTreeItem* TMtTreeItem::GetNextSibling() const {
  return parent_ != nullptr ? parent_->GetChildren(GetIndex() + 1) : nullptr;
}

TMtTreeItem* TMtTreeItem::GetPrevSibling() const {
  return parent_ != nullptr ? parent_->GetChildren(GetIndex() - 1) : nullptr;
}

int TMtTreeItem::GetDescendantCount() const {
  int count = 0;
  std::vector<const TMtTreeItem*> pending{this};
  while (!pending.empty()) {
    const TMtTreeItem* item = pending.back();
    pending.pop_back();
    count += item->GetChildrenCount();
    for (const auto& child : item->children_) pending.push_back(child.get());
  }
  return count;
}

int TMtTreeItem::GetVisIndex() const { return store_->GetVisIndex(this); }

bool TMtTreeItem::IsUnder(const TMtTreeItem* item) const {
  if (item == nullptr) return false;
  for (const TMtTreeItem* p = this; p != nullptr; p = p->parent_)
    if (p == item) return true;
  return false;
}

bool TMtTreeItem::GetPathExpanded() const {
  for (const TMtTreeItem* p = parent_; p != nullptr && !p->IsRoot(); p = p->parent_)
    if (!p->GetExpanded()) return false;
  return true;
}

bool TMtTreeItem::GetState(int element) const {
  if (element < 0 || element > 15) return false;
  return (state_ & Bit(element)) != 0;
}

TMtTreeItem* TMtTreeItem::GetNext() const {
  if (!children_.empty()) return GetChildren(0);
  for (const TMtTreeItem* p = this; p->parent_ != nullptr; p = p->parent_)
    if (TMtTreeItem* next = p->GetNextSibling()) return next;
  return nullptr;
}

TMtTreeItem* TMtTreeItem::GetPrev() const {
  if (parent_ == nullptr) return nullptr;
  TMtTreeItem* prev = GetPrevSibling();
  if (prev == nullptr) return parent_->IsRoot() ? nullptr : parent_;
  while (prev->GetHasChildren()) prev = prev->GetLastChild();
  return prev;
}

// ---------------------------------------------------------------------------------
// Text, state, check box, colours

bool TMtTreeItem::SortAfterTextChange() const {
  return parent_ != nullptr && AddSortMode(tree_->SortMode) &&
         (tree_->SortSection == tree_->MainColumn() || tree_->SortSection == -1);
}

void TMtTreeItem::SetText(const AnsiString& s) {
  text_ = s;
  TCustomMtTree* tree = tree_;
  unsigned deletions = tree->Deletions();
  tree->DoItemChange(this, icmText);
  if (!Survived(tree, deletions, this)) return;  // deleted by the handler
  if (!tree_->ShowColumns() && GetPathExpanded()) tree_->MarkDirty(TCustomMtTree::dfColumnWidth);
  if (SortAfterTextChange()) tree_->SortItemChildren(parent_, false);
  RedrawItem();
}

void TMtTreeItem::ColumnTextChanged() {
  if (parent_ != nullptr && AddSortMode(tree_->SortMode) && tree_->SortSection >= -1 &&
      tree_->SortSection < tree_->SectionCount())
    tree_->SortItemChildren(parent_, false);
  RedrawItem();
}

void TMtTreeItem::SetStateBit(int element, bool on) {
  if (on)
    state_ = static_cast<std::uint16_t>(state_ | Bit(element));
  else
    state_ = static_cast<std::uint16_t>(state_ & ~Bit(element));
}

void TMtTreeItem::SetState(int element, bool on) {
  if (element == isFocused) {
    // Clearing the state of an item without the focus leaves the focused item alone.
    if (on)
      tree_->SetItemFocused(this);
    else if (tree_->ItemFocused() == this)
      tree_->SetItemFocused(nullptr);
    return;
  }
  if (element == isSelected) {
    if (!tree_->MultiSelect() || GetState(isSelected) == on) return;
    TCustomMtTree* tree = tree_;
    tree->AdjustSelectedCount(on ? 1 : -1);
    SetStateBit(isSelected, on);
    unsigned deletions = tree->Deletions();
    tree->FireSelectedChange(this);
    if (Survived(tree, deletions, this)) RedrawItem();
    return;
  }
  if (!IsStyleElement(element) || GetState(element) == on) return;
  SetStateBit(element, on);
  if ((element == isBold || element == isItalic) && !tree_->ShowColumns() && GetPathExpanded())
    tree_->MarkDirty(TCustomMtTree::dfColumnWidth);
  TCustomMtTree* tree = tree_;
  unsigned deletions = tree->Deletions();
  tree->DoItemChange(this, icmState);
  if (Survived(tree, deletions, this)) RedrawItem();
}

void TMtTreeItem::SetHidden(bool hidden) {
  if (hidden_ == hidden || IsRoot()) return;
  hidden_ = hidden;
  tree_->hiddenCount_ += hidden ? 1 : -1;
  if (tree_->FilteredVisibility())
    tree_->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfScrollBars | TCustomMtTree::dfColumnWidth);
}


template <class Step>
bool TMtTreeItem::WalkSubtree(Step step) {
  TCustomMtTree* tree = tree_;
  unsigned deletions = tree->Deletions();
  if (!step(this, deletions)) return Survived(tree, deletions, this);
  // The items whose children are being walked: the next child's index, and the child
  // whose subtree was walked last.
  struct Frame {
    TMtTreeItem* item;
    unsigned deletions;
    std::size_t next;
    TMtTreeItem* walked;
  };
  std::vector<Frame> path{{this, deletions, 0, nullptr}};
  while (!path.empty()) {
    Frame& frame = path.back();
    TMtTreeItem* item = frame.item;
    if (frame.walked != nullptr) {
      if (!Survived(tree, frame.deletions, item)) {
        path.pop_back();
        continue;
      }
      // The child may have gone with its subtree: the next one is at its index then.
      if (frame.next < item->children_.size() && item->children_[frame.next].get() == frame.walked) ++frame.next;
      frame.walked = nullptr;
    }
    if (frame.next >= item->children_.size()) {
      tree->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfScrollBars | TCustomMtTree::dfColumnWidth);
      path.pop_back();
      continue;
    }
    TMtTreeItem* child = item->children_[frame.next].get();
    frame.walked = child;
    unsigned childDeletions = tree->Deletions();
    if (step(child, childDeletions)) path.push_back({child, childDeletions, 0, nullptr});
  }
  return Survived(tree, deletions, this);
}

void TMtTreeItem::Expand(bool recursive) {
  TCustomMtTree* tree = tree_;
  TMtUpdateBracket bracket(tree);
  // One item: the expanding event may refuse; true when its children follow.
  auto expandOne = [tree, recursive](TMtTreeItem* item, unsigned& deletions) {
    if (!item->IsRoot()) {
      bool canProcess = true;
      tree->DoItemExpanding(item, canProcess);
      if (!Survived(tree, deletions, item) || !canProcess) return false;
    }
    item->SetStateBit(isExpanded, true);
    if (!item->IsRoot()) {
      tree->DoItemExpand(item);
      if (!Survived(tree, deletions, item)) return false;
    }
    if (!recursive) tree->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfScrollBars | TCustomMtTree::dfColumnWidth);
    return recursive;
  };
  WalkSubtree(expandOne);
}

bool TMtTreeItem::CollapseOne(bool recursive) {
  TCustomMtTree* tree = tree_;
  auto collapseOne = [tree, recursive](TMtTreeItem* item, unsigned& deletions) {
    if (!item->IsRoot()) {
      bool canProcess = true;
      tree->DoItemCollapsing(item, canProcess);
      if (!Survived(tree, deletions, item) || !canProcess) return false;
      // The hidden root stays expanded: its children are the top-level rows.
      item->SetStateBit(isExpanded, false);
      tree->DoItemCollapse(item);
      if (!Survived(tree, deletions, item)) return false;
    }
    if (!recursive) tree->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfScrollBars | TCustomMtTree::dfColumnWidth);
    return recursive;
  };
  return WalkSubtree(collapseOne);
}

void TMtTreeItem::Collapse(bool recursive) {
  TCustomMtTree* tree = tree_;
  TMtUpdateBracket bracket(tree);
  if (!CollapseOne(recursive)) return;  // a handler deleted the item
  if (!tree->DeselectChildrenOnCollapse || (!IsRoot() && GetExpanded())) return;
  // Every item below loses its selection; the item itself keeps it. A selection handler
  // that deletes items ends the walk.
  const unsigned deletions = tree->Deletions();
  for (TMtTreeItem* item = GetChildren(0); item != nullptr && item != this;) {
    item->SetState(isSelected, false);
    if (tree->Deletions() != deletions) return;
    if (item->GetHasChildren()) {
      item = item->GetChildren(0);
      continue;
    }
    while (item != this && item->GetNextSibling() == nullptr) item = item->parent_;
    if (item != this) item = item->GetNextSibling();
  }
}

void TMtTreeItem::SetExpanded(bool expanded) {
  TMtUpdateBracket bracket(tree_);
  if (expanded == GetExpanded()) return;
  if (expanded)
    Expand(false);
  else
    Collapse(false);
}

void TMtTreeItem::MakeFullyVisible(bool expandParents) {
  if (!expandParents) return;
  TCustomMtTree* tree = tree_;
  TMtUpdateBracket bracket(tree);
  std::vector<TMtTreeItem*> ancestors;
  for (TMtTreeItem* p = GetParent(); p != nullptr; p = p->GetParent()) ancestors.push_back(p);
  unsigned deletions = tree->Deletions();
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
    // An expansion handler that deletes items (the path among them) ends the walk.
    if (!Survived(tree, deletions, this)) return;
    if (!(*it)->GetExpanded()) (*it)->Expand(false);
  }
}

void TMtTreeItem::SetChecked(bool checked) {
  if (GetChecked() == checked) return;
  CheckBoxState = checked ? cbsChecked : cbsUnchecked;
  if (CheckBoxType == cbtRadioButton && checked && parent_ != nullptr) {
    for (std::size_t i = 0; i < parent_->children_.size(); ++i) {
      TMtTreeItem* sibling = parent_->children_[i].get();
      if (sibling != this && sibling->CheckBoxType == cbtRadioButton) sibling->SetChecked(false);
    }
  }
  if (ShowCheckBox && tree_->ShowCheckboxes()) tree_->RedrawCheckBox(this);
}

void TMtTreeItem::SetCheckBoxState(std::uint8_t state) {
  CheckBoxState = state;
  if (ShowCheckBox && tree_->ShowCheckboxes()) tree_->RedrawCheckBox(this);
}

void TMtTreeItem::SetColor(TColor c) {
  if (color_ == c) return;
  color_ = c;
  RedrawItem();
}

void TMtTreeItem::SetBkColor(TColor c) {
  if (bkColor_ == c) return;
  bkColor_ = c;
  RedrawItem();
}

void TMtTreeItem::SetParentColors(bool b) {
  if (parentColors_ == b) return;
  parentColors_ = b;
  RedrawItem();
}

void TMtTreeItem::SetParentStyle(bool b) {
  if (parentStyle_ == b) return;
  parentStyle_ = b;
  RedrawItem();
}

void TMtTreeItem::RedrawItem() { tree_->RedrawItem(this); }

void TMtTreeItem::RedrawItemPart(int left, int right) { tree_->RedrawItemPart(this, left, right); }

void TMtTreeItem::UpdateItem() { tree_->UpdateItem(this); }

// ---------------------------------------------------------------------------------
// Structure

std::unique_ptr<TMtTreeItem> TMtTreeItem::TakeChild(int index) {
  std::unique_ptr<TMtTreeItem> child = children_.take(static_cast<std::size_t>(index));
  child->parent_ = nullptr;
  return child;
}

void TMtTreeItem::PutChild(int index, std::unique_ptr<TMtTreeItem> child) {
  child->parent_ = this;
  child->indexHint_ = index;
  TMtTreeItem* linked = child.get();
  children_.insert(static_cast<std::size_t>(index), std::move(child));
  if (linked->level_ == level_ + 1) return;
  // A new item, or a subtree moved to another level: every item below follows.
  linked->level_ = level_ + 1;
  std::vector<TMtTreeItem*> pending{linked};
  while (!pending.empty()) {
    TMtTreeItem* item = pending.back();
    pending.pop_back();
    for (const auto& c : item->children_) {
      c->level_ = item->level_ + 1;
      pending.push_back(c.get());
    }
  }
}

void TMtTreeItem::Clear() {
  TMtUpdateBracket bracket(tree_);
  for (std::size_t i = 0; i < children_.size();) {
    TMtTreeItem* child = children_[i].get();
    if (child->deleting_) break;  // a deletion handler clearing the item that is being deleted
    if (store_->HoldsDeletion(child)) {
      // An ancestor of an item whose deletion runs: it goes when that deletion has ended.
      store_->DeleteItem(child);
      ++i;
      continue;
    }
    store_->DeleteChild(child);
  }
  store_->RunPendingDeletes();
}

void TMtTreeItem::Sort(bool recursive) {
  TMtUpdateBracket bracket(tree_);
  tree_->SortItemChildren(this, recursive);
  tree_->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfScrollBars);
}

void TMtTreeItem::ExchangeChildren(int i, int j) {
  if (i < 0 || i >= GetChildrenCount() || j < 0 || j >= GetChildrenCount()) throw EMtTreeError(kMtItemIndexError);
  if (i == j) return;
  TMtUpdateBracket bracket(tree_);
  std::swap(children_[static_cast<std::size_t>(i)], children_[static_cast<std::size_t>(j)]);
  children_[static_cast<std::size_t>(i)]->indexHint_ = i;
  children_[static_cast<std::size_t>(j)]->indexHint_ = j;
  tree_->MarkDirty(TCustomMtTree::dfRows);
}

void TMtTreeItem::MoveTo(TMtTreeItem* newParent) {
  MoveToIns(newParent, ParentOrRoot(newParent)->GetChildrenCount());
}

void TMtTreeItem::MoveToIns(TMtTreeItem* newParent, int index) {
  if (IsRoot() || newParent == this) return;
  TMtTreeItem* target = ParentOrRoot(newParent);
  // Everything is checked before the item leaves its place, so a refused move changes
  // nothing.
  if (target->store_ != store_) throw EMtTreeError(kMtItemNotSpecified);
  if (target->IsUnder(this)) throw EMtTreeError(kMtMoveToSubitem);
  const int count = target->GetChildrenCount();
  if (index < 0 || index > count) throw EMtTreeError(kMtItemIndexError);
  // While a deletion runs, the items on its path stay where they are, and nothing moves
  // into the subtree being deleted.
  if (store_->HoldsDeletion(this) || store_->InDeletion(target)) return;

  TMtUpdateBracket bracket(tree_);
  TMtTreeItem* oldParent = parent_;
  // Within the same parent the index applies to the list without the item, except that
  // the former count appends it.
  if (target == oldParent && index == count) index = count - 1;
  std::unique_ptr<TMtTreeItem> self = oldParent->TakeChild(GetIndex());
  target->PutChild(index, std::move(self));
  if (SortAfterTextChange()) tree_->SortItemChildren(target, false);
  tree_->MarkDirty(TCustomMtTree::dfRows | TCustomMtTree::dfLineHeight | TCustomMtTree::dfScrollBars |
                   TCustomMtTree::dfColumnWidth);
}

void TMtTreeItem::MoveToMode(TMtTreeItem* item, int mode) {
  switch (mode) {
    case mmLastSibling:
      if (item == nullptr) throw EMtTreeError(kMtItemNotSpecified);
      MoveTo(item->GetParent());
      break;
    case mmFirstSibling:
      MoveToIns(item != nullptr ? item->GetParent() : nullptr, 0);
      break;
    case mmLastChild:
      MoveTo(item);
      break;
    case mmFirstChild:
      MoveToIns(item, 0);
      break;
    case mmBefore: {
      if (item == nullptr) {
        MoveToIns(nullptr, 0);
        break;
      }
      if (item == this) break;
      int index = item->GetIndex();
      // The item leaves its parent first: an item further up shifts the target by one.
      if (item->parent_ == parent_ && GetIndex() < index) --index;
      MoveToIns(item->GetParent(), index);
      break;
    }
    default:
      break;
  }
}

void TMtTreeItem::Delete() { store_->DeleteItem(this); }

TMtCellStyle* TMtTreeItem::AddStyle() {
  auto style = std::make_unique<TMtCellStyle>(this);
  tree_->GetCellFont(style->FontSize, style->FontStyles, style->FontName);
  if (mainStyle_) style->Assign(*mainStyle_);
  style->OwnerProps = true;
  styles_.push_back(std::move(style));
  return styles_.back().get();
}

void TMtTreeItem::RemoveStyle(TMtCellStyle* style) {
  auto it = std::find_if(styles_.begin(), styles_.end(), [style](const auto& s) { return s.get() == style; });
  if (it != styles_.end()) styles_.erase(it);
}

// ---------------------------------------------------------------------------------
// Copying

void TMtTreeItem::CopyFrom(const TMtTreeItem& source) {
  text_ = source.text_;
  columnText_.Assign(source.columnText_);
  Data = source.Data;
  color_ = source.color_;
  bkColor_ = source.bkColor_;
  // Focus and selection are the tree's: the item keeps its own.
  const std::uint16_t treeBits = Bit(isFocused) | Bit(isSelected);
  state_ = static_cast<std::uint16_t>((source.state_ & ~treeBits) | (state_ & treeBits));
  if (IsRoot()) SetStateBit(isExpanded, true);
  parentStyle_ = source.parentStyle_;
  parentColors_ = source.parentColors_;
  ImageIndex = source.ImageIndex;
  StateImageIndex = source.StateImageIndex;
  ImageIndex2 = source.ImageIndex2;
  StateImageIndex2 = source.StateImageIndex2;
  CheckBoxEnabled = source.CheckBoxEnabled;
  CheckBoxState = source.CheckBoxState;
  ShowCheckBox = source.ShowCheckBox;
  CheckBoxType = source.CheckBoxType;
  Enabled = source.Enabled;
  SetHidden(source.hidden_);
  ForceButtons = source.ForceButtons;
  UseStyles = source.UseStyles;
  mainStyle_->Assign(*source.mainStyle_);
  styles_.clear();
  for (const auto& style : source.styles_) {
    styles_.push_back(std::make_unique<TMtCellStyle>(this));
    styles_.back()->Assign(*style);
  }
}

void TMtTreeItem::Assign(const TPersistent* source) {
  const auto* item = dynamic_cast<const TMtTreeItem*>(source);
  if (item == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (item == this) return;
  if (item->IsUnder(this) || IsUnder(item)) throw EMtTreeError("Can't assign an item to one of its subitems.");
  TCustomMtTree* tree = tree_;
  TCustomMtTree* sourceTree = item->tree_;
  TMtUpdateBracket bracket(tree);
  unsigned deletions = tree->Deletions(), sourceDeletions = sourceTree->Deletions();
  Clear();
  // The deletion handlers may have deleted this item or the source.
  if (!Survived(tree, deletions, this) || !Survived(sourceTree, sourceDeletions, item)) return;
  CopyFrom(*item);
  store_->CopyChildren(this, *item);
  tree->MarkDirty(TCustomMtTree::dfAll);
}
