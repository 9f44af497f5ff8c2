// The multi-column tree control: the Qt shell over the tree model TCustomMtTree. It lays
// the visible items out in rows of equal height under its header (a TMtTreeHeader, whose
// sections are the columns), paints them cell by cell through TCanvas, answers which
// item, column and part lie at a point (GetItemAt), and reacts to the mouse, the keys,
// the wheel, the scroll bars, drag and drop, and edits cells in place. Geometry and
// paint decisions are the Qt-free functions of controls/tree/MtTreeLayout.h.
//
// View state and what always holds (CheckInvariants tests it):
//   - LineHeight() > 0; TopIndex() lies in 0 .. rows - RowsPerPage() + 1;
//   - LeftPosition() lies in 0 .. max(0, ColumnsWidth() - client width);
//   - the header, when shown, sits at x = -LeftPosition(), width client width +
//     LeftPosition() + 1, and the rows start below it;
//   - a row is painted and hit-tested from the same layout (MainCellOf), so hits never
//     depend on an earlier paint.
//
// Event order (the program relies on it):
//   left press    OnMouseDown, then the tree's own step (button, check box, selection)
//   release       click-to-edit arming, then OnMouseUp and OnClick
//   double click  the tree's expansion or cell edit, then OnDblClick
//   key           the tree's navigation, then OnKeyDown
//   drag over     OnDragOver first, then auto-scroll and the drop-target mark
// Tree events (OnItemFocused, ...) have the model (TCustomMtTree) as Sender; the control's
// own (OnMouseDown, ...) its TWinControl part; dynamic_cast<TMtTree*> works on both.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "controls/gui/MtHeader.h"
#include "controls/tree/MtTree.h"
#include "controls/tree/MtTreeLayout.h"
#include "platform/core/ImageList.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"

class TTrackLine;
class TCustomMtTreeView;

// The tree's header: the header control whose reactions are the tree's.
class TMtTreeHeader : public TCustomMtHeader {
 public:
  TMtTreeHeader(TCustomMtTreeView& tree, QWidget* parent);
  TCustomMtTreeView& Tree() const { return tree_; }

  void DoSectionClick(TMtHeaderSection* Section) override;
  void DoSectionResize(TMtHeaderSection* Section) override;
  void DoSectionResizing(TMtHeaderSection* Section, int State, int Width) override;
  void DoSectionAutoSize(TMtHeaderSection* Section) override;
  void DoSectionDelete(TMtHeaderSection* Section) override;
  void DoSectionShowHide(TMtHeaderSection* Section) override;
  void DoSectionCreate(TMtHeaderSection* Section) override;
  void DoSectionChange(TMtHeaderSection* Section, TMtSectionChange Change) override;
  void DoSectionMove(TMtHeaderSection* Section, int OldPos, int NewPos) override;
  void DoSectionExpand(TMtHeaderSection* Section) override;
  void DoSectionCollapse(TMtHeaderSection* Section) override;
  void DoHeaderLookup(TMtHeaderSection* Section, AnsiString& Text) override;
  void DoHeaderLookupDone(TMtHeaderSection* Section, const AnsiString& Text, bool Accepted) override;
  void DoFilterCall(TMtHeaderSection* Section) override;
  void DoSectionDraw(TMtHeaderSection* Section, const TRect& R, bool Pressed) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Resize() override;

 private:
  TCustomMtTreeView& tree_;
};

// --- events of the control
using TMtItemDrawEvent =
    std::function<void(TObject* Sender, TMtTreeItem* Item, TCanvas& Surface, const TRect& R, int SectionIndex)>;
using TMtItemPicDrawEvent = std::function<void(TObject* Sender, TMtTreeItem* Item, int& ImageIndex)>;
using TTryEditEvent =
    std::function<void(TObject* Sender, TMtTreeItem* Item, TMtHeaderSection* Section, TFieldTypes& CellType,
                       bool& CanEdit)>;
using TEditRequestEvent = std::function<void(TObject* Sender, TMtTreeItem* Item, TMtHeaderSection* Section)>;
using TComboEditShowEvent =
    std::function<void(TObject* Sender, TMtTreeItem* Item, TMtHeaderSection* Section, TComboBox* Combobox)>;
using TTuneUpInplaceEditEvent =
    std::function<void(TObject* Sender, TMtTreeItem* Item, int SectionIndex, TEdit* Editor)>;
using TOnValidateEvent = std::function<void(TObject* Sender, TMtTreeItem* Item, TMtHeaderSection* Section,
                                            AnsiString& Text, bool& Accept)>;
using TValidateComboEvent = std::function<void(TObject* Sender, TMtTreeItem* Item, TMtHeaderSection* Section,
                                               TComboBox* Combo, bool& Accept)>;
using TOnShowHintEvent = std::function<void(TObject* Sender, TMtTreeItem* Item, AnsiString& Text,
                                            THintWindow* HintWindow, TPoint MousePos, bool& DoShowHint)>;
using TMtScrollEvent = std::function<void(TObject* Sender, TScrollBarKind ScrollBarKind, TScrollCode ScrollCode)>;
using TMtHeaderColumnEvent = std::function<void(TObject* Sender, int SectionIndex)>;
using TMtHeaderColumnMoveEvent =
    std::function<void(TObject* Sender, TMtHeaderSection* Section, int OldPos, int NewPos)>;

enum TSTSelModes : std::uint8_t { smSimple, smUsual };
enum class TMtDragType { dtOLE, dtNative, dtBoth };
enum class TDragImgMode { dimNever, dimOne, dimAll };
enum class THintModes { shmNone, shmLong, shmAll };

class TCustomMtTreeView : public TCustomScrollControl, public TCustomMtTree {
 public:
  explicit TCustomMtTreeView(QWidget* parent = nullptr);
  ~TCustomMtTreeView() override;

  TMtTreeHeader& Header() const { return *header_; }

  // --- layout and look (setters that change the layout re-lay the rows out)
  void SetShowColumns(bool b) override;
  int LineHeight() const { return lineHeight_; }
  void SetLineHeight(int h);  // turns AutoLineHeight off
  bool AutoLineHeight() const { return autoLineHeight_; }
  void SetAutoLineHeight(bool b);
  const TMtTreeLook& Look() const { return look_; }
  void SetShowLines(bool b);
  void SetShowButtons(bool b);
  void SetShowRoot(bool b);
  void SetShowRootButtons(bool b);
  void SetShowImages(bool b);
  void SetShowCheckboxes(bool b) override;
  TImageList* Images() const { return images_; }
  TImageList* Images2() const { return images2_; }
  void SetImages(TImageList* list);  // not owned
  void SetImages2(TImageList* list);
  bool BarStyle() const { return barStyle_; }
  void SetBarStyle(bool b);
  bool HorizontalLines() const { return horizontalLines_; }
  void SetHorizontalLines(bool b);
  bool VerticalLines = false;
  TColor BkColor = clWindow;
  TColor TextColor = clWindowText;
  TColor FocusedSelectColor = clHighlight;
  TColor HideSelectColor = clBtnFace;
  bool HideSelection = false;
  TColor LinesColor = clBtnFace;
  TPenStyle LinesStyle = TPenStyle::psSolid;
  bool RowSelect = true;
  bool FullRowSelect = true;
  // The column whose cell shows the selection fill when RowSelect is off (-1: the main
  // column's). Reads and assigns as a number; a number outside -1 .. section count - 1 is
  // ignored and the column stays.
  class TSelectColumn {
   public:
    explicit TSelectColumn(const TCustomMtTreeView& tree) : tree_(tree) {}
    TSelectColumn(const TSelectColumn&) = delete;
    operator int() const { return value_; }
    TSelectColumn& operator=(int column);
    TSelectColumn& operator=(const TSelectColumn& other) { return *this = static_cast<int>(other); }

   private:
    const TCustomMtTreeView& tree_;
    int value_ = -1;
  };
  TSelectColumn SelectColumn{*this};
  bool Tracking = true;
  bool UnderlineTracked = true;
  bool DrawFocusRect = true;
  bool HideFocusRect = false;
  bool ChangeStateImage = false;  // images drawn in the selected / focused style by state
  bool OwnerDrawByColumn = true;
  AnsiString OwnerDrawMask = "~~@~~";
  bool AutoResizeColumns = true;
  AnsiString PathSeparator = "\\";
  // The mirrored layout: columns in reverse order, the main cell from its right edge
  // leftwards, Left and Right swapped; right-to-left reading of the texts.
  bool RightAlignedTree() const { return look_.RightAligned; }
  void SetRightAlignedTree(bool b);
  bool RightAlignedText() const { return rightAlignedText_; }
  void SetRightAlignedText(bool b);
  // Check boxes from glyph strips (6 frames for a check box, 4 for a radio button; see
  // MtCheckGlyphFrame) and expand buttons from pictures.
  bool CustomCheckboxes() const { return customCheckboxes_; }
  void SetCustomCheckboxes(bool b);
  const TBitmap& CheckBoxGlyph() const { return checkBoxGlyph_; }
  void SetCheckBoxGlyph(const TBitmap& b);
  const TBitmap& RadioButtonGlyph() const { return radioButtonGlyph_; }
  void SetRadioButtonGlyph(const TBitmap& b);
  bool CustomPlusMinus = false;
  TBitmap PlusPicture, MinusPicture;

  // --- the header's properties, forwarded
  void SetHeaderHeight(int h);
  bool HeaderFlat() const { return header_->Flat(); }
  void SetHeaderFlat(bool b) { header_->SetFlat(b); }
  bool HeaderHotTrack() const { return header_->Tracking(); }
  void SetHeaderHotTrack(bool b) { header_->SetTracking(b); }
  bool LockHeaderHeight() const { return header_->LockHeight(); }
  void SetLockHeaderHeight(bool b) { header_->SetLockHeight(b); }
  bool StickyHeaderSections() const { return header_->StickySections(); }
  void SetStickyHeaderSections(bool b) { header_->SetStickySections(b); }
  TColor HeaderFilterColor() const { return header_->FilterColor; }
  void SetHeaderFilterColor(TColor c);
  TColor HeaderActiveFilterColor() const { return header_->ActiveFilterColor; }
  void SetHeaderActiveFilterColor(TColor c);
  TImageList* HeaderImages() const { return header_->Images(); }
  void SetHeaderImages(TImageList* images) { header_->SetImages(images); }
  bool DraggableSections() const { return header_->AllowDrag; }
  void SetDraggableSections(bool b) { header_->AllowDrag = b; }
  bool MoveColumnOnDrag() const { return header_->MoveOnDrag; }
  void SetMoveColumnOnDrag(bool b) { header_->MoveOnDrag = b; }

  // Flat: the scroll bars drawn flat and a one-pixel frame; FlatFocusedScrollbars: the
  // bars stay flat while the tree has the focus (else they show the system's look then).
  bool Flat() const { return flat_; }
  void SetFlat(bool b);
  bool FlatFocusedScrollbars() const { return flatFocusedScrollbars_; }
  void SetFlatFocusedScrollbars(bool b);

  bool HideHorzScrollBar() const { return hideHorz_; }
  void SetHideHorzScrollBar(bool b);
  bool HideVertScrollBar() const { return hideVert_; }
  void SetHideVertScrollBar(bool b);

  // --- selection and behaviour
  TSTSelModes SelectionMode = smUsual;
  bool AlwaysKeepSelection = false;
  bool ExpandOnDblClick = false;
  bool DragAllowed = false;
  TMtDragType DragType = TMtDragType::dtNative;
  TDragTargetDraw DragTrgDrawMode = TDragTargetDraw::SelColorRect;
  TDragImgMode DragImageMode = TDragImgMode::dimNever;
  THintModes LineHintMode = THintModes::shmLong;
  bool HideHintOnMove = true;
  bool HideHintOnTimer = false;
  bool AutoLookup = true;
  bool DoInplaceEdit() const { return doInplaceEdit_; }
  virtual void SetDoInplaceEdit(bool b);

  // --- rows and scrolling
  int RowCount() const { return static_cast<int>(VisibleRows().size()); }
  int HeaderHeight() const;  // 0 while the header is hidden
  int RowsPerPage() const;   // a partial row counted
  int TopIndex() const { return topIndex_; }
  void SetTopIndex(int index);
  int LeftPosition() const { return leftPosition_; }
  void SetLeftPosition(int x);
  // The width of the columns: the sections' (header shown) or the widest main cell.
  int ColumnsWidth() const;
  int ColumnWidth() const { return columnWidth_; }  // of a tree without header
  virtual TMtTreeItem* GetTopItem() const;
  virtual void SetTopItem(TMtTreeItem* item);  // EMtTreeError for nil
  // The row index of an item (-1 when it is on no row).
  int RowOf(const TMtTreeItem* item) const;
  virtual TRect GetItemRect(const TMtTreeItem* item) const;  // empty when not on screen
  virtual TMtTreeItem* GetItemAtY(int y) const;
  // The item, section number and part at a client point (part hpElsewhere and nil
  // without an item).
  virtual TMtTreeItem* GetItemAt(int x, int y, int& sectionIndex, int& part) const;
  void EnsureVisible(TMtTreeItem* item);
  virtual bool IsInView(const TMtTreeItem* item) const;
  virtual void WriteOutline(TStream& stream) const;
  // The width an item's main cell needs.
  virtual int MeasureCell(TMtTreeItem* item) const;
  // The main cell of an item on row `row` (content coordinates: LeftPosition not taken off).
  TMtMainCell MainCellOf(TMtTreeItem* item, int rowTop) const;
  // The main column's span in content coordinates.
  void MainColumnSpan(int& left, int& right) const;
  virtual void CollapseAll();
  virtual void ExpandAll();

  // --- selection operations (multi-select mode; inside an update bracket)
  virtual TMtTreeItem* GetNextSelected(TMtTreeItem* item) const;
  virtual void AllSelected(std::vector<TMtTreeItem*>& list) const;
  virtual void SelectAll() { SelectAllEx(false); }
  virtual void InvertSelection() { InvertSelectionEx(false); }
  virtual void SelectAllEx(bool visibleOnly);
  virtual void InvertSelectionEx(bool visibleOnly);
  virtual void DeselectAll() { DeselectAllEx(false); }
  virtual void DeselectAllEx(bool visibleOnly);
  virtual void SelectRange(TMtTreeItem* fromItem, TMtTreeItem* toItem) { SelectRangeEx(fromItem, toItem, true); }
  // Selects the rows strictly between the two items in visible order.
  virtual void SelectRangeEx(TMtTreeItem* fromItem, TMtTreeItem* toItem, bool visibleOnly);

  // --- in-place editing
  virtual void EditItem(TMtTreeItem* item, int sectionNumber);
  virtual void DoEditItem(TMtTreeItem* item, int sectionNumber);
  void EndEdit(bool cancel) override;
  // The editor of the last edit (hidden after it ended), or nil.
  TWinControl* InplaceEditor() const;
  TEdit* InplaceEdit() const { return edit_; }
  TComboBox* InplaceCombo() const { return combo_; }
  bool Editing() const { return editing_; }

  // --- drag and drop
  virtual void DragOverTarget(TObject* Source, int X, bool& Accept, int Y);
  virtual void DragScroll(TObject* Source, int Y);
  // The picture of the dragged rows (DragImageMode) and the point of it under the
  // pointer; empty under dimNever or without a row.
  TBitmap DragImage(TPoint& hotSpot);
  // Whether the last drag over the tree was accepted (for the drop-target look).
  bool DropAccepted() const { return dropAccepted_; }

  // --- line hints: the whole text of a row whose text does not fit, after a pause
  static constexpr int kLineHintDelay = 1000;
  static constexpr int kLineHintHideDelay = 3000;
  TTimer& LineHintTimer() const { return *hintTimer_; }
  THintWindow& LineHintWindow() const { return *hintWindow_; }
  // The text the line hint of the row under y shows; empty when none is due.
  AnsiString LineHintText(int y) const;

  // --- events
  TMtItemDrawEvent OnItemDraw;
  TMtItemPicDrawEvent OnItemPicDraw, OnItemPicDraw2;
  TTryEditEvent OnTryEdit;
  TEditRequestEvent OnEditRequest;
  TComboEditShowEvent OnComboEditShow;
  TTuneUpInplaceEditEvent OnTuneUpInplaceEdit;
  TOnValidateEvent OnValidateInplaceEdit;
  TValidateComboEvent OnValidateCombo;
  TMtScrollEvent OnScroll;
  // Before a line hint shows: the handler may change its text or refuse it.
  TOnShowHintEvent OnShowLineHint;
  TMtHeaderColumnEvent OnHeaderColumnResize, OnHeaderSectionAutoSize, OnHeaderSectionFilterCall;
  TMtHeaderColumnMoveEvent OnHeaderColumnMove;
  TMtHeaderSectionEvent OnHeaderSectionExpand, OnHeaderSectionCollapse;
  TMtHeaderLookupEvent OnHeaderLookup;
  TMtHeaderLookupDoneEvent OnHeaderLookupDone;
  TMtSectionRedrawEvent OnHeaderColumnDraw;
  TNotifyEvent OnHeaderResize;

  // --- entry points
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DblClick() override;
  bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) override;
  bool DoMouseWheelDeltas(TShiftState Shift, const TWheelDeltas& Deltas, TPoint MousePos) override;
  void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
  void MouseLeave() override;
  void Resize() override;
  void Paint(TCanvas& canvas) override;
  void FontChanged() override;
  void FocusChanged(bool focused) override;
  bool event(QEvent* e) override;  // paints the flat frame over the scroll area's own
  void Scroll(TScrollBarKind Bar, TScrollCode Code, int& Pos) override;
  void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) override;
  void DragDrop(TObject* Source, int X, int Y) override;
  void DoStartDrag() override;
  void DoEndDrag(TObject* Target, int X, int Y) override;

  // --- model hooks
  void RedrawItem(TMtTreeItem* item) override;
  void RedrawCheckBox(TMtTreeItem* item) override;
  void Invalidate() override { TWinControl::Invalidate(); }

  // Text measurement: the desktop's fonts, or fixed widths in tests (not owned).
  const TTextMetrics& Metrics() const { return *metrics_; }
  void SetMetrics(const TTextMetrics* metrics);
  // Tests: raises std::logic_error naming the first broken invariant of the view state.
  void CheckInvariants() const;
  // The header's reactions (called by TMtTreeHeader).
  void HeaderSectionResized(TMtHeaderSection* section);
  void HeaderSectionResizing(TMtHeaderSection* section, int state, int width);
  void HeaderSectionAutoSize(TMtHeaderSection* section);
  void HeaderLayoutChanged();
  void HeaderLookup(TMtHeaderSection* section, AnsiString& text);
  void HeaderPlace();
  // The tree's reactions to a section's change, creation and move (relayout; a move
  // then fires OnHeaderColumnMove through DoColumnMove).
  virtual void HeaderSectionChange(TMtHeaderSection* section, TMtSectionChange change);
  virtual void HeaderSectionCreate(TMtHeaderSection* section);
  virtual void HeaderSectionMove(TMtHeaderSection* section, int oldPos, int newPos);
  // Firers of the header events the tree publishes.
  virtual void DoColumnResize(int sectionIndex);
  virtual void DoColumnMove(TMtHeaderSection* section, int oldPos, int newPos);
  virtual void DoColumnDraw(TMtHeaderSection* section, const TRect& r, bool pressed);
  virtual void DoHeaderSectionExpand(TMtHeaderSection* section);
  virtual void DoHeaderSectionCollapse(TMtHeaderSection* section);
  virtual void DoShowLineHintEvent(TMtTreeItem* item, AnsiString& text, THintWindow* hintWindow, TPoint mousePos,
                                   bool& doShowHint);

 protected:
  void DefineLineHeight() override;
  void UpdateColumnWidth() override;
  void VisibleRowsChanged() override;
  void UpdateScrollBars() override;
  void UpdateHeaderWidth() override;
  void FocusedItemShown(TMtTreeItem* item) override;
  void ForgetItem(TMtTreeItem* item) override;

  virtual void DoItemDraw(TMtTreeItem* item, TCanvas& surface, const TRect& r, int sectionIndex);
  virtual void DoItemPicDraw(TMtTreeItem* item, int& imageIndex) const;
  virtual void DoItemPicDraw2(TMtTreeItem* item, int& imageIndex) const;
  virtual void DoTryEdit(TMtTreeItem* item, TMtHeaderSection* section, TFieldTypes& cellType, bool& canEdit);
  virtual void DoEditRequest(TMtTreeItem* item, TMtHeaderSection* section);
  virtual void DoComboEditShow(TMtTreeItem* item, TMtHeaderSection* section, TComboBox* combo);
  virtual void DoTuneUpInplaceEdit(TMtTreeItem* item, int sectionIndex, TEdit* editor);
  virtual void DoValidate(TMtTreeItem* item, TMtHeaderSection* section, AnsiString& text, bool& accept);
  virtual void DoValidateCombo(TMtTreeItem* item, TMtHeaderSection* section, TComboBox* combo, bool& accept);
  virtual void DoScroll(TScrollBarKind kind, TScrollCode code);

  // Painting of one row and of one cell.
  virtual void PaintRow(TCanvas& canvas, TMtTreeItem* item, int row);
  void PaintMainCell(TCanvas& canvas, TMtTreeItem* item, const TRect& cell, const TMtCellColors& colors);
  void PaintCellText(TCanvas& canvas, TMtTreeItem* item, TMtHeaderSection* section, const TRect& cell,
                     const TMtCellColors& colors);

 private:
  friend class TMtTreeHeader;
  struct TColumn {
    TMtHeaderSection* Section;  // nil: the single column of a tree without header
    int Left, Right;            // content coordinates
  };
  std::vector<TColumn> Columns() const;
  int MainSection() const;
  bool HeaderShown() const;
  TFont ItemFont(const TMtTreeItem* item) const;
  int ResolveImage(TMtTreeItem* item) const;
  int ResolveImage2(TMtTreeItem* item) const;
  TMtCellPaintInput CellInput(TMtTreeItem* item, int sectionNumber, bool single) const;
  AnsiString CellText(const TMtTreeItem* item, const TMtHeaderSection* section) const;
  // The cell style a cell is drawn with: nil without UseStyles or when the style takes
  // the tree's colours and font (OwnerProps).
  const TMtCellStyle* CellStyle(const TMtTreeItem* item, int sectionNumber, bool single) const;
  // The item's font, or the style's size, styles and name.
  TFont CellFont(const TMtTreeItem* item, const TMtCellStyle* style) const;
  void DrawCellText(TCanvas& canvas, const AnsiString& text, TRect r, unsigned flags, const TFont& font,
                    const TMtCellColors& colors);
  // The main column's text as shown ("******" under a password section).
  AnsiString MainText(const TMtTreeItem* item) const;
  void UpdateLook();
  // Gives each item the selection the predicate says, inside one update bracket.
  void SetSelectionOf(const std::vector<TMtTreeItem*>& items,
                      const std::function<bool(const TMtTreeItem*)>& selected);
  void Relayout(unsigned what);
  void InvalidateRow(int row);
  void ScrollToShow(int row, bool alignTop);
  bool IsActiveLook() const;

  // Input.
  void ToggleCheckBox(TMtTreeItem* item);
  void ToggleExpanded(TMtTreeItem* item);
  void SelectByMouse(TMtTreeItem* item, TShiftState shift, bool right);
  void Navigate(TMtTreeItem* target, TShiftState shift, bool alignTop);
  void ScrollRows(int rows);
  void EditorKeyDown(std::uint16_t& key, TShiftState shift);
  // The drag has left or ended: no drop target.
  void EndDropHover();
  void LineHintTick();
  void HideLineHint();
  void FreeEditor();

  TMtTreeHeader* header_ = nullptr;  // a child widget
  TTrackLine* trackLine_ = nullptr;
  const TTextMetrics* metrics_ = nullptr;
  TMtTreeLook look_;
  TMtAncestorPath paintPath_;  // the ancestors of the rows being painted
  TImageList* images_ = nullptr;
  TImageList* images2_ = nullptr;
  int lineHeight_ = 19;
  bool autoLineHeight_ = true;
  bool barStyle_ = false;
  bool horizontalLines_ = false;
  bool hideHorz_ = false, hideVert_ = false;
  bool rightAlignedText_ = false;
  bool flat_ = false, flatFocusedScrollbars_ = true;
  void UpdateFlatLook();
  bool customCheckboxes_ = false;
  TBitmap checkBoxGlyph_, radioButtonGlyph_;
  bool doInplaceEdit_ = true;
  int topIndex_ = 0;
  int leftPosition_ = 0;
  int leftFromEnd_ = 0;  // mirrored: how far the view's right edge lies left of the columns' end
  int columnWidth_ = 0;

  // Mouse and drag state.
  TPoint pressPoint_;
  bool leftDown_ = false;
  bool doubleClicked_ = false;     // a double click came since the last press
  bool armOnRelease_ = false;      // the press may arm click-to-edit
  TMtWheelAccumulator wheel_;
  TMtWheelAccumulator wheelX_;
  bool dropAccepted_ = true;
  std::unique_ptr<TTimer> hintTimer_, hintHideTimer_;
  std::unique_ptr<THintWindow> hintWindow_;
  TPoint hintPoint_{-1, -1};

  // In-place editing.
  QPointer<TEdit> edit_;
  QPointer<TComboBox> combo_;
  bool editing_ = false;
  bool savedHideSelection_ = false;
};

// The published tree.
class TMtTree : public TCustomMtTreeView {
 public:
  using TCustomMtTreeView::TCustomMtTreeView;
};
