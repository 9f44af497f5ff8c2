// The multi-column tree's model: items, the item store and the tree's own state and
// events, without any windowing. The Qt control derives from TCustomMtTree and overrides
// its view hooks (redraw, layout, scroll bars, in-place editor, sorting).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "controls/tree/MtHeaderSections.h"
#include "controls/tree/MtOwnedList.h"
#include "controls/tree/MtTypes.h"
#include "platform/core/Classes.h"

class TMtTreeItem;
class TMtTreeItems;
class TCustomMtTree;
class TMtTreeWalker;
class TMtTreeSorter;
struct TMtSortRun;

// ---------------------------------------------------------------------------------
// Events of the tree (Sender is the tree)

using TOnItemChangeEvent = std::function<void(TObject* Sender, TMtTreeItem* Item, int ItemChangeMode)>;
using TMtItemEvent = std::function<void(TObject* Sender, TMtTreeItem* Item)>;
using TItemSelChangeEvent = TMtItemEvent;
using TMtItemExpandingEvent = std::function<void(TObject* Sender, TMtTreeItem* Item, bool& CanProcess)>;
using THotTrackEvent = std::function<void(TObject* Sender, TMtTreeItem* OldItem, TMtTreeItem* NewItem)>;
// res: negative, 0 or positive as Item1 sorts before, with or after Item2.
using TOnCompareItems = std::function<void(TObject* Sender, TMtTreeItem* Item1, TMtTreeItem* Item2, int& res)>;
// SectionIndex is the section's number, not its display position.
using TMtHeaderColumnClickEvent = std::function<void(TObject* Sender, int SectionIndex)>;

// Called for every item of a walk: the item, its index among the walked rows (pre-order
// index, or row index when only visible items are walked), a flag to clear to stop,
// the caller's data and the tree.
using TMtIterateProc =
    std::function<void(TMtTreeItem* Item, int Index, bool& ContinueIterate, void* Data, TCustomMtTree* Tree)>;
using TMtItemPredicate = std::function<bool(TMtTreeItem* Item)>;

class TMtItemStream;
class TMtCellStyle;
// The user's part of an item's record in the item stream: what the save event writes,
// the load event reads back at the same place.
using TItemSaveEvent = std::function<void(TObject* Sender, TStream& Stream, TMtTreeItem* Item)>;
// A cell style written or read by the user instead of the stream's own block (Sender is
// the item).
using TCellStyleSaveEvent = std::function<void(TObject* Sender, TStream& Stream, TMtCellStyle* Style)>;

// ---------------------------------------------------------------------------------
// TMtCellStyle: how one cell of an item is drawn when the item uses styles.

class TMtCellStyle : public TObject {
 public:
  explicit TMtCellStyle(TMtTreeItem* owner) : owner_(owner) {}

  TMtTreeItem* Owner() const { return owner_; }
  // Copies every attribute but the owner and the control.
  void Assign(const TMtCellStyle& source);

  std::int32_t UserValue = 0;  // the user's; copied and streamed, never read
  TColor CellBkColor = 0;
  TColor CellTextBkColor = 0;
  TColor CellTextColor = 0;
  std::uint32_t TextFlags = kMtDefaultCellTextFlags;
  const void* Picture = nullptr;  // a bitmap of the view layer, not owned
  TFieldTypes CellType = sftText;
  TMtSectionStyle Style = MthsText;
  bool OwnerProps = false;  // the cell takes the tree's colours and font
  std::int32_t FontSize = 0;
  TFontStyles FontStyles = 0;
  AnsiString FontName;

  // A control of the view layer that lives in the cell; freed when replaced.
  TObject* Control() const { return control_.get(); }
  void SetControl(std::unique_ptr<TObject> control) { control_ = std::move(control); }

 private:
  TMtTreeItem* owner_;
  std::unique_ptr<TObject> control_;
};

// ---------------------------------------------------------------------------------
// TMtTreeItem: one row. Created and freed only by the item store.

class TMtTreeItem : public TPersistent {
 public:
  TMtTreeItem(TCustomMtTree* tree, TMtTreeItems* store);
  ~TMtTreeItem() override;
  TMtTreeItem(const TMtTreeItem&) = delete;
  TMtTreeItem& operator=(const TMtTreeItem&) = delete;

  // Copies another item with its whole subtree under this item, inside an update
  // bracket: own children are deleted first; the state is copied without focus and
  // selection. Data is copied as the raw pointer: both items then point to the same
  // user data, and a deletion handler that frees Data must not free it twice.
  // Raises EMtTreeError when one item lies in the other's subtree.
  void Assign(const TPersistent* source) override;

  // --- fields
  bool Enabled = true;
  bool CheckBoxEnabled = true;
  std::uint8_t CheckBoxState = cbsUnchecked;
  bool ShowCheckBox = false;
  std::uint8_t CheckBoxType = cbtCheckBox;
  bool UseStyles = false;
  void* Data = nullptr;  // the user's: never read, freed or streamed by the tree
  std::int32_t ImageIndex = -1;
  std::int32_t StateImageIndex = -1;
  std::int32_t ImageIndex2 = -1;
  std::int32_t StateImageIndex2 = -1;
  bool ForceButtons = false;

  const AnsiString& Text() const { return text_; }
  // Texts of the other columns; a change may re-sort the parent's children.
  TStringList& ColumnText() { return columnText_; }
  const TStringList& ColumnText() const { return columnText_; }
  std::uint16_t State() const { return state_; }
  bool Hidden() const { return hidden_; }
  TColor Color() const { return color_; }
  TColor BkColor() const { return bkColor_; }
  bool ParentColors() const { return parentColors_; }
  bool ParentStyle() const { return parentStyle_; }
  TMtCellStyle* MainStyle() const { return mainStyle_.get(); }
  int StyleCount() const { return static_cast<int>(styles_.size()); }
  TMtCellStyle* Styles(int i) const;
  TCustomMtTree* Tree() const { return tree_; }
  TMtTreeItems* Owner() const { return store_; }

  // --- queries
  bool IsRoot() const { return parent_ == nullptr; }
  TMtTreeItem* GetParent() const;  // nil at top level
  TMtTreeItem* GetRoot() const;
  int GetLevel() const { return level_ < 0 ? 0 : level_; }  // 0 at top level; kept, not walked
  int GetIndex() const;            // among the parent's children; -1 without parent
  int GetChildrenCount() const { return static_cast<int>(children_.size()); }
  TMtTreeItem* GetChildren(int i) const;  // nil outside the range
  bool GetHasChildren() const { return !children_.empty(); }
  bool GetHasVisibleChildren() const;
  TMtTreeItem* GetFirstChild() const;
  TMtTreeItem* GetLastChild() const;
  TMtTreeItem* GetFirstVisibleChild() const;
  TMtTreeItem* GetNextChild(const TMtTreeItem* child) const;
  TMtTreeItem* GetPrevChild(const TMtTreeItem* child) const;
  TMtTreeItem* GetFirstSibling() const;
  TMtTreeItem* GetLastSibling() const;
  TMtTreeItem* GetNextSibling() const;
  TMtTreeItem* GetPrevSibling() const;
  int GetDescendantCount() const;
  int GetVisIndex() const;
  bool IsUnder(const TMtTreeItem* item) const;  // this item or below it
  bool GetPathExpanded() const;                 // every ancestor expanded
  bool GetChecked() const { return CheckBoxState == cbsChecked; }
  bool GetExpanded() const { return GetState(isExpanded); }
  bool GetState(int element) const;
  // The next / previous item in pre-order over all items; nil past the ends.
  virtual TMtTreeItem* GetNext() const;
  virtual TMtTreeItem* GetPrev() const;

  // --- commands
  virtual void SetText(const AnsiString& s);
  void SetState(int element, bool on);
  void SetHidden(bool hidden);
  void Expand(bool recursive);
  void Collapse(bool recursive);
  void SetExpanded(bool expanded);
  void MakeFullyVisible(bool expandParents);
  void SetChecked(bool checked);
  void SetCheckBoxState(std::uint8_t state);
  void SetColor(TColor c);
  void SetBkColor(TColor c);
  void SetParentColors(bool b);
  void SetParentStyle(bool b);
  void Clear();  // deletes all children
  // Has the tree sort the children (the comparison is the tree's).
  void Sort(bool recursive);
  void ExchangeChildren(int i, int j);
  void MoveTo(TMtTreeItem* newParent);  // last child; nil means top level
  // Moves the item with its subtree. Refused moves (into its own subtree, an index
  // outside 0..children count) raise EMtTreeError before anything changes. While a
  // deletion runs, moving an item on its path, or into the subtree being deleted, does
  // nothing.
  void MoveToIns(TMtTreeItem* newParent, int index);
  virtual void MoveToMode(TMtTreeItem* item, int mode);
  virtual void Delete();
  virtual TMtCellStyle* AddStyle();
  virtual void RemoveStyle(TMtCellStyle* style);
  void RedrawItem();
  void RedrawItemPart(int left, int right);
  void UpdateItem();

  // The item stream. WriteData writes the item's record and then its subtree in
  // pre-order (marker -5). ReadData reads a record of any layout into this item and
  // appends the children it names, each created with the store's AddItem. Neither
  // recurses. A damaged stream raises EReadError; what was read before stays, linked
  // and counted.
  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream);

 private:
  friend class TMtItemStream;
  friend class TMtTreeItems;
  friend class TCustomMtTree;
  friend class TMtTreeWalker;
  friend class TMtTreeSorter;

  using ChildList = TMtOwnedList<TMtTreeItem>;

  TMtTreeItem* ParentOrRoot(TMtTreeItem* p) const;
  void SetStateBit(int element, bool on);
  // False when a handler deleted the item.
  bool CollapseOne(bool recursive);
  void ColumnTextChanged();
  bool SortAfterTextChange() const;
  void CopyFrom(const TMtTreeItem& source);
  // Unlinks the child; returns it (the caller owns it).
  std::unique_ptr<TMtTreeItem> TakeChild(int index);
  // Links the child (and sets the levels of its subtree when they changed).
  void PutChild(int index, std::unique_ptr<TMtTreeItem> child);
  // Runs `step` on the item and, while it answers true, on the subtrees of its children in
  // pre-order, without recursing. `step(item, deletions)` fires the item's events; the
  // walk checks after each child's subtree that the item is still there (a handler may
  // delete items) and skips a child that has gone. False when this item was deleted.
  template <class Step>
  bool WalkSubtree(Step step);

  TCustomMtTree* tree_;
  TMtTreeItems* store_;
  TMtTreeItem* parent_ = nullptr;  // nil only for the hidden root
  int level_ = -1;                 // parent's + 1; -1 for the hidden root
  ChildList children_;
  mutable int indexHint_ = 0;   // where the item was last seen among its siblings
  mutable int childShift_ = 0;  // how far the last child looked up had moved from its hint
  bool deleting_ = false;

  AnsiString text_;
  TStringList columnText_;
  std::uint16_t state_ = 0;
  bool hidden_ = false;
  TColor color_ = 0;
  TColor bkColor_ = 0;
  bool parentColors_ = true;
  bool parentStyle_ = true;
  std::unique_ptr<TMtCellStyle> mainStyle_;
  std::vector<std::unique_ptr<TMtCellStyle>> styles_;
};

// ---------------------------------------------------------------------------------
// TMtTreeItems: the item store of one tree, with its hidden root.

class TMtTreeItems : public TPersistent {
 public:
  explicit TMtTreeItems(TCustomMtTree* tree);
  ~TMtTreeItems() override;
  TMtTreeItems(const TMtTreeItems&) = delete;
  TMtTreeItems& operator=(const TMtTreeItems&) = delete;

  // Copies the items of another store (see TMtTreeItem::Assign about Data).
  void Assign(const TPersistent* source) override;

  TCustomMtTree* Tree() const { return tree_; }
  TMtTreeItem* Root() const { return root_.get(); }
  int Count() const { return count_; }

  virtual std::unique_ptr<TMtTreeItem> CreateItem(TCustomMtTree* tree);

  // The add family: create through AddItem or InsertItem, then SetText (OnItemChange
  // mode 0, possibly a re-sort), then Data for the Object variants. Nil when the change
  // handler deleted the new item.
  TMtTreeItem* Add(TMtTreeItem* sibling, const AnsiString& text);
  TMtTreeItem* AddChild(TMtTreeItem* parent, const AnsiString& text);
  TMtTreeItem* AddChildFirst(TMtTreeItem* parent, const AnsiString& text);
  TMtTreeItem* AddChildObject(TMtTreeItem* parent, const AnsiString& text, void* data);
  TMtTreeItem* AddChildObjectFirst(TMtTreeItem* parent, const AnsiString& text, void* data);
  TMtTreeItem* AddFirst(TMtTreeItem* sibling, const AnsiString& text);
  TMtTreeItem* AddObject(TMtTreeItem* sibling, const AnsiString& text, void* data);
  TMtTreeItem* AddObjectFirst(TMtTreeItem* sibling, const AnsiString& text, void* data);
  TMtTreeItem* Insert(TMtTreeItem* sibling, const AnsiString& text);
  TMtTreeItem* InsertObject(TMtTreeItem* sibling, const AnsiString& text, void* data);
  TMtTreeItem* InsertAfter(TMtTreeItem* sibling, const AnsiString& text);
  TMtTreeItem* InsertAfterObject(TMtTreeItem* sibling, const AnsiString& text, void* data);
  virtual void Delete(TMtTreeItem* item);
  virtual void BeginUpdate();
  virtual void EndUpdate();

  TMtTreeItem* AddItem(TMtTreeItem* parent);  // new last child; nil = top level
  // EMtTreeError "Tree Item index out of bounds." outside 0..children count.
  TMtTreeItem* InsertItem(int index, TMtTreeItem* parent);
  void DeleteItem(TMtTreeItem* item);  // nil and the root are ignored
  void Clear();
  TMtTreeItem* GetItem(int index) const;  // pre-order index; nil outside 0..Count-1
  TMtTreeItem* GetVisItem(int index) const;
  int GetVisIndex(const TMtTreeItem* item) const;  // -1 for nil or an item not on a row
  int GetAbsIndex(const TMtTreeItem* item) const;  // pre-order index; -1 for nil
  int VisibleCount() const;

  void Iterate(bool visibleOnly, const TMtIterateProc& proc, void* data) const;
  // Starts with the given item (or, when only visible items are walked and it is on no
  // row, with the next row after it) and goes on to the end; Index is the item's
  // pre-order or row index.
  void IterateFrom(bool visibleOnly, const TMtIterateProc& proc, void* data, TMtTreeItem* start) const;
  void IterateBackward(bool visibleOnly, const TMtIterateProc& proc, void* data) const;
  void IterateBackFrom(bool visibleOnly, const TMtIterateProc& proc, void* data, TMtTreeItem* start) const;
  // The first item from start on (nil: the first item) for which the predicate holds.
  TMtTreeItem* FindItem(TMtTreeItem* start, const TMtItemPredicate& predicate, bool includeStart,
                        bool subtreeOnly) const;

  // The store's "Data": the item stream of the hidden root with every item below it.
  // Reading deletes every item first (OnItemDeletion fires for each) and replaces the
  // tree; on EReadError the items read so far stay. Saving leaves focus and selection as
  // they are and fires no focus or selection events; the written state of the focused
  // item (and of the selected one in single-select mode) carries neither bit.
  virtual void ReadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  void LoadFromStream(TStream& stream) { ReadFromStream(stream); }
  // The "Data" property is stored only for a store with items.
  bool DataStored() const { return count_ > 0; }

 private:
  friend class TMtTreeItem;
  friend class TCustomMtTree;
  friend class TMtItemStream;

  // A pre-order walk, forward or backward, from the start (nil: from the first or last
  // item).
  void Walk(bool visibleOnly, bool forward, const TMtIterateProc& proc, void* data, TMtTreeItem* start) const;
  // The deletion of one child with its subtree, events in the tree's order.
  void DeleteChild(TMtTreeItem* item);
  // True when the item's deletion, or that of an item below it, is running.
  bool HoldsDeletion(const TMtTreeItem* item) const;
  // True when the item's deletion, or that of an item above it, is running.
  bool InDeletion(const TMtTreeItem* item) const;
  // The deletions asked for while the item's descendant was being deleted.
  void RunPendingDeletes();
  void CopyChildren(TMtTreeItem* target, const TMtTreeItem& source);

  TCustomMtTree* tree_;
  std::unique_ptr<TMtTreeItem> root_;
  int count_ = 0;
};

// ---------------------------------------------------------------------------------
// TCustomMtTree: the tree's model state and events. The view derives from it.

class TCustomMtTree : public TObject {
 public:
  TCustomMtTree();
  ~TCustomMtTree() override;
  TCustomMtTree(const TCustomMtTree&) = delete;
  TCustomMtTree& operator=(const TCustomMtTree&) = delete;

  TMtTreeItems* Items() const { return items_.get(); }
  // Assigning copies the other tree's items.
  void SetItems(const TMtTreeItems* source) { items_->Assign(source); }

  // --- properties
  bool MultiSelect() const { return multiSelect_; }
  // Switching the selection mode deselects everything (silently).
  void SetMultiSelect(bool b);
  bool FilteredVisibility() const { return filteredVisibility_; }
  void SetFilteredVisibility(bool b);
  bool ShowCheckboxes() const { return showCheckboxes_; }
  virtual void SetShowCheckboxes(bool b);
  bool ShowColumns() const { return showColumns_; }
  virtual void SetShowColumns(bool b);
  // The number of header sections.
  virtual int SectionCount() const { return sections_->GetCount(); }
  // The columns: the tree's own collection, or the one of the header that the control
  // attaches (not owned; nil goes back to the own collection).
  TMtHeaderSections* HeaderSections() const { return sections_; }
  void AttachHeaderSections(TMtHeaderSections* sections) {
    sections_ = sections != nullptr ? sections : ownSections_.get();
  }

  bool DeselectChildrenOnCollapse = false;
  bool AutoExpand = false;
  TSortModes SortMode = smNone;
  int SortSection = 0;
  int MainTreeColumn = 0;
  // The section that shows the item text: MainTreeColumn, or 0 when no such section exists.
  int MainColumn() const { return MainTreeColumn >= 0 && MainTreeColumn < SectionCount() ? MainTreeColumn : 0; }
  // Sorting (SortSection -1: the OnCompareItems event alone decides). SortType is the
  // comparison of the main column while the header is hidden; SortDir the direction
  // where no sort mark decides.
  TSortTypes SortType = stCustom;
  TSortDirs SortDir = sdAscend;

  // --- state
  TMtTreeItem* ItemFocused() const { return itemFocused_; }
  // Moves the focus: the old item loses it, the selection follows (single-select) or the
  // new item's selection toggles (multi-select), then OnItemFocused fires.
  void SetItemFocused(TMtTreeItem* item);
  // The selected item in single-select mode (nil in multi-select mode).
  TMtTreeItem* Selected() const { return multiSelect_ ? nullptr : selected_; }
  // In single-select mode the same as SetItemFocused; nothing in multi-select mode.
  void SetSelected(TMtTreeItem* item);
  int SelectedCount() const { return selectedCount_; }
  TMtTreeItem* HotItem() const { return hotItem_; }
  // Changes the hot-tracked item and fires OnHotTrack when it changed.
  void SetHotItem(TMtTreeItem* item);
  TMtTreeItem* DropTarget() const { return dropTarget_; }
  void SetDropTarget(TMtTreeItem* item) { dropTarget_ = item; }
  TMtTreeItem* SelectionAnchor() const { return anchor_; }
  void SetSelectionAnchor(TMtTreeItem* item) { anchor_ = item; }
  TMtTreeItem* ArmedItem() const { return armedItem_; }
  void SetArmedItem(TMtTreeItem* item) { armedItem_ = item; }
  TMtTreeItem* EditedItem() const { return editedItem_; }
  int EditedSection() const { return editedSection_; }
  void SetEditedItem(TMtTreeItem* item, int section) {
    editedItem_ = item;
    editedSection_ = section;
  }
  // True while the in-place edit's validation event runs.
  bool InValidation() const { return inValidation_; }
  void SetInValidation(bool b) { inValidation_ = b; }
  int HiddenCount() const { return hiddenCount_; }
  bool Destroying() const { return destroying_; }
  // True when the item is one of the tree's (the pointer is only compared, so it may be
  // one that a handler has freed).
  bool HoldsItem(const TMtTreeItem* item) const;
  // How many items have been deleted so far: handlers that may delete items are checked
  // against it.
  unsigned Deletions() const { return deletions_; }

  // --- update bracket: layout work waits until the outermost bracket closes
  void SetUpdating(bool updating);
  int UpdateCount() const { return updateCount_; }
  bool IsUpdating() const { return updateCount_ > 0; }
  enum : unsigned {
    dfRows = 1,         // the list of visible rows
    dfLineHeight = 2,   // the row height
    dfColumnWidth = 4,  // the column width of a tree without header
    dfScrollBars = 8,
    dfHeaderWidth = 16,
    dfAll = 31,
  };
  // Marks layout work; done at once outside a bracket, else when the bracket closes.
  void MarkDirty(unsigned what);
  unsigned DirtyMarks() const { return dirty_; }

  // The items on screen rows in order (expanded paths, pre-order; hidden items left out
  // under FilteredVisibility). Built when asked after a change.
  const std::vector<TMtTreeItem*>& VisibleRows() const;
  // True when the item is on a row: every ancestor expanded and, under
  // FilteredVisibility, neither it nor an ancestor hidden.
  bool IsRowItem(const TMtTreeItem* item) const;

  // --- events
  TOnItemChangeEvent OnItemChange;
  // Once per item of the item stream, the hidden root included, after the item's own
  // fields and before its child count.
  TItemSaveEvent OnItemSave;
  TItemSaveEvent OnItemLoad;
  // When OnCellStyleSave is assigned, the items' cell styles are written by it, and a
  // stream written so can be read back only with OnCellStyleLoad.
  TCellStyleSaveEvent OnCellStyleSave;
  TCellStyleSaveEvent OnCellStyleLoad;
  TMtItemEvent OnItemDeletion;
  // The owner of the items' Data blocks (a document or a reference table bound to the
  // tree): called for every deleted item right after OnItemDeletion, apart from it, so
  // that whatever handler a window puts on OnItemDeletion, each block is freed exactly
  // once. One owner at a time; an empty function lets go.
  void SetItemDataOwner(TMtItemEvent release) { itemDataOwner_ = std::move(release); }
  bool HasItemDataOwner() const { return static_cast<bool>(itemDataOwner_); }
  TMtItemExpandingEvent OnItemExpanding;
  TMtItemEvent OnItemExpand;
  TMtItemExpandingEvent OnItemCollapsing;
  TMtItemEvent OnItemCollapse;
  TItemSelChangeEvent OnItemSelectedChange;
  TNotifyEvent OnItemFocused;
  THotTrackEvent OnHotTrack;
  TOnCompareItems OnCompareItems;
  TMtHeaderColumnClickEvent OnHeaderColumnClick;

  // --- sorting
  // Negative, 0 or positive as Item1 sorts before, with or after Item2 under the sort
  // section, its field type and sort mark.
  virtual int CompareItems(TMtTreeItem* Item1, TMtTreeItem* Item2);
  // Sorts the top-level items (and below them when recursive) inside an update bracket.
  virtual void SortAll(bool recursive);
  // The tree's reaction to a click on one of its header sections: under smClick and
  // smAddClick the section becomes the sort section, its mark toggles and the whole tree
  // is sorted; in every mode OnHeaderColumnClick follows with the section's number.
  void HeaderSectionClick(TMtHeaderSection* Section);

  // --- view hooks: empty here, overridden by the control
  virtual void RedrawItem(TMtTreeItem* item);
  virtual void RedrawItemPart(TMtTreeItem* item, int left, int right);
  virtual void RedrawCheckBox(TMtTreeItem* item);
  // Paints the item now (outside a bracket).
  virtual void UpdateItem(TMtTreeItem* item);
  // Ends a running in-place edit; the model only forgets the edited item.
  virtual void EndEdit(bool cancel);
  // Sorts the parent's children (and below them when recursive) by CompareItems; items
  // that compare equal keep their order. A control adds its redraws.
  virtual void SortItemChildren(TMtTreeItem* parent, bool recursive);

 protected:
  // The event firers; a derived control may intercept them.
  virtual void DoItemChange(TMtTreeItem* item, int mode);
  virtual void DoItemSave(TStream& stream, TMtTreeItem* item);
  virtual void DoItemLoad(TStream& stream, TMtTreeItem* item);
  virtual void DoCellStyleSave(TMtTreeItem* item, TStream& stream, TMtCellStyle* style);
  virtual void DoCellStyleLoad(TMtTreeItem* item, TStream& stream, TMtCellStyle* style);
  virtual void DoItemDelete(TMtTreeItem* item);
  virtual void DoItemExpanding(TMtTreeItem* item, bool& canProcess);
  virtual void DoItemExpand(TMtTreeItem* item);
  virtual void DoItemCollapsing(TMtTreeItem* item, bool& canProcess);
  virtual void DoItemCollapse(TMtTreeItem* item);
  virtual void DoItemSelectedChange(TMtTreeItem* item);
  virtual void DoItemFocused();
  virtual void DoHotTrack(TMtTreeItem* oldItem, TMtTreeItem* newItem);
  // 0 when OnCompareItems is not assigned.
  virtual void DoCompareItems(TMtTreeItem* item1, TMtTreeItem* item2, int& res);
  virtual void DoColumnClick(int sectionIndex);

  // Deferred layout work, called when the outermost bracket closes, each only when
  // marked (the row list itself is rebuilt by the model before VisibleRowsChanged).
  virtual void DefineLineHeight() {}
  virtual void UpdateColumnWidth() {}
  virtual void VisibleRowsChanged() {}
  virtual void UpdateScrollBars() {}
  virtual void UpdateHeaderWidth() {}
  // After the deferred work: repaint.
  virtual void Invalidate() {}
  // The focused item may need scrolling into view (it is on the last, partly visible row).
  virtual void FocusedItemShown(TMtTreeItem* item) { (void)item; }
  // An item is being deleted: the model clears every reference to it; a control that
  // keeps references of its own (line hint, header lookup) overrides and calls this.
  virtual void ForgetItem(TMtTreeItem* item);
  // The font that new cell styles take.
  virtual void GetCellFont(std::int32_t& size, TFontStyles& styles, AnsiString& name) const;

  // Deletes every item as the tree goes away: OnItemDeletion fires for each, focus and
  // selection events do not. A derived control calls it first in its destructor, so
  // that its overrides still run; the base destructor calls it otherwise.
  void DestroyItems();

 private:
  friend class TMtItemStream;
  friend class TMtTreeItem;
  friend class TMtTreeItems;
  friend class TMtTreeWalker;
  friend class TMtTreeSorter;

  void FlushDirty();
  void FireSelectedChange(TMtTreeItem* item);
  void AdjustSelectedCount(int delta) { selectedCount_ += delta; }

  std::unique_ptr<TMtTreeItems> items_;
  bool multiSelect_ = true;
  bool filteredVisibility_ = false;
  bool showCheckboxes_ = false;
  bool showColumns_ = false;

  TMtTreeItem* itemFocused_ = nullptr;
  TMtTreeItem* selected_ = nullptr;
  int selectedCount_ = 0;
  TMtTreeItem* hotItem_ = nullptr;
  TMtTreeItem* dropTarget_ = nullptr;
  TMtTreeItem* anchor_ = nullptr;
  TMtTreeItem* armedItem_ = nullptr;
  TMtTreeItem* editedItem_ = nullptr;
  int editedSection_ = -1;
  bool inValidation_ = false;
  int hiddenCount_ = 0;
  bool destroying_ = false;

  int updateCount_ = 0;
  bool flushing_ = false;
  unsigned dirty_ = 0;
  mutable std::vector<TMtTreeItem*> rows_;
  mutable bool rowsValid_ = true;  // an empty tree has no rows

  std::unique_ptr<TMtHeaderSections> ownSections_ = std::make_unique<TMtHeaderSections>();
  TMtHeaderSections* sections_ = ownSections_.get();
  TMtSortRun* sortRun_ = nullptr;  // the sort in progress
  unsigned deletions_ = 0;         // items forgotten so far (a sort checks it)
  // The items whose deletion is running (innermost last), and the items a deletion
  // handler asked to delete while a descendant of theirs was still being deleted: they
  // go when the running deletions have ended.
  std::vector<TMtTreeItem*> deletingItems_;
  std::vector<TMtTreeItem*> pendingDeletes_;
  TMtItemEvent itemDataOwner_;
};

// Opens an update bracket of the tree for its lifetime.
class TMtUpdateBracket {
 public:
  explicit TMtUpdateBracket(TCustomMtTree* tree);
  ~TMtUpdateBracket() noexcept(false);
  TMtUpdateBracket(const TMtUpdateBracket&) = delete;
  TMtUpdateBracket& operator=(const TMtUpdateBracket&) = delete;

 private:
  TCustomMtTree* tree_;
  int exceptions_;
};
