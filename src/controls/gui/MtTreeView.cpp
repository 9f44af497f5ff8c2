#include "controls/gui/MtTreeView.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <stdexcept>

#include "platform/core/AnsiText.h"
#include "platform/core/DrawUtils.h"
#include "platform/core/Resources.h"
#include "platform/gui/Align.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

// ---------------------------------------------------------------------------------
// The tree's header

TMtTreeHeader::TMtTreeHeader(TCustomMtTreeView& tree, QWidget* parent) : TCustomMtHeader(parent), tree_(tree) {
  // The tree places its header itself; sections move by dragging only when the program
  // allows it (AllowDrag, the tree's DraggableSections).
  ::SetAlign(this, TAlign::alNone);
  AllowDrag = false;
  setObjectName("Header");
}

void TMtTreeHeader::DoSectionClick(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionClick(Section);
  tree_.HeaderSectionClick(Section);
}

void TMtTreeHeader::DoSectionResize(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionResize(Section);
  tree_.HeaderSectionResized(Section);
}

void TMtTreeHeader::DoSectionResizing(TMtHeaderSection* Section, int State, int Width) {
  TCustomMtHeader::DoSectionResizing(Section, State, Width);
  tree_.HeaderSectionResizing(Section, State, Width);
}

void TMtTreeHeader::DoSectionAutoSize(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionAutoSize(Section);
  tree_.HeaderSectionAutoSize(Section);
}

void TMtTreeHeader::DoSectionDelete(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionDelete(Section);
  // The section has left the collection when its deletion is reported.
  if (Sections().GetCount() == 0) tree_.SetShowColumns(false);
  tree_.HeaderLayoutChanged();
}

void TMtTreeHeader::DoSectionShowHide(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionShowHide(Section);
  tree_.HeaderLayoutChanged();
}

void TMtTreeHeader::DoSectionCreate(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionCreate(Section);
  tree_.HeaderSectionCreate(Section);
}

void TMtTreeHeader::DoSectionChange(TMtHeaderSection* Section, TMtSectionChange Change) {
  TCustomMtHeader::DoSectionChange(Section, Change);
  tree_.HeaderSectionChange(Section, Change);
}

void TMtTreeHeader::DoSectionMove(TMtHeaderSection* Section, int OldPos, int NewPos) {
  TCustomMtHeader::DoSectionMove(Section, OldPos, NewPos);
  tree_.HeaderSectionMove(Section, OldPos, NewPos);
}

void TMtTreeHeader::DoSectionExpand(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionExpand(Section);
  tree_.DoHeaderSectionExpand(Section);
  tree_.HeaderLayoutChanged();
  Invalidate();
}

void TMtTreeHeader::DoSectionCollapse(TMtHeaderSection* Section) {
  TCustomMtHeader::DoSectionCollapse(Section);
  tree_.DoHeaderSectionCollapse(Section);
  tree_.HeaderLayoutChanged();
  Invalidate();
}

void TMtTreeHeader::DoHeaderLookup(TMtHeaderSection* Section, AnsiString& Text) {
  TCustomMtHeader::DoHeaderLookup(Section, Text);
  tree_.HeaderLookup(Section, Text);
}

void TMtTreeHeader::DoHeaderLookupDone(TMtHeaderSection* Section, const AnsiString& Text, bool Accepted) {
  TCustomMtHeader::DoHeaderLookupDone(Section, Text, Accepted);
  if (tree_.OnHeaderLookupDone) tree_.OnHeaderLookupDone(static_cast<TCustomMtTree*>(&tree_), Section, Text, Accepted);
}

void TMtTreeHeader::DoFilterCall(TMtHeaderSection* Section) {
  TCustomMtHeader::DoFilterCall(Section);
  if (tree_.OnHeaderSectionFilterCall)
    tree_.OnHeaderSectionFilterCall(static_cast<TCustomMtTree*>(&tree_), Section->GetIndex());
}

void TMtTreeHeader::DoSectionDraw(TMtHeaderSection* Section, const TRect& R, bool Pressed) {
  TCustomMtHeader::DoSectionDraw(Section, R, Pressed);
  tree_.DoColumnDraw(Section, R, Pressed);
}

void TMtTreeHeader::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  // A press on the header cancels a running edit.
  if (tree_.Editing()) tree_.EndEdit(true);
  TCustomMtHeader::MouseDown(Button, Shift, X, Y);
}

void TMtTreeHeader::Resize() {
  TCustomMtHeader::Resize();
  if (tree_.OnHeaderResize) tree_.OnHeaderResize(static_cast<TCustomMtTree*>(&tree_));
}

// ---------------------------------------------------------------------------------
// Construction

TCustomMtTreeView::TCustomMtTreeView(QWidget* parent) : TCustomScrollControl(parent) {
  metrics_ = &TQtTextMetrics::Instance();
  SetColor(clWindow);
  SetTabStop(true);
  header_ = new TMtTreeHeader(*this, viewport());
  header_->hide();
  AttachHeaderSections(&header_->Sections());
  trackLine_ = new TTrackLine(viewport(), TTrackLine::TOrientation::Vertical, clBlack);
  viewport()->setMouseTracking(true);
  hintWindow_ = std::make_unique<THintWindow>();
  hintTimer_ = std::make_unique<TTimer>();
  hintTimer_->SetEnabled(false);
  hintTimer_->SetInterval(kLineHintDelay);
  hintTimer_->SetOnTimer([this](TObject*) { LineHintTick(); });
  hintHideTimer_ = std::make_unique<TTimer>();
  hintHideTimer_->SetEnabled(false);
  hintHideTimer_->SetInterval(kLineHintHideDelay);
  hintHideTimer_->SetOnTimer([this](TObject*) { HideLineHint(); });
  UpdateLook();
  DefineLineHeight();
  UpdateScrollBars();
}

TCustomMtTreeView::~TCustomMtTreeView() {
  // Deletion events still reach this class's overrides; the editor's handlers go first.
  if (edit_) {
    edit_->OnExit = nullptr;
    edit_->OnKeyDown = nullptr;
  }
  if (combo_) {
    combo_->OnExit = nullptr;
    combo_->OnKeyDown = nullptr;
  }
  editing_ = false;
  DestroyItems();
  AttachHeaderSections(nullptr);
  delete trackLine_;
}

// ---------------------------------------------------------------------------------
// Properties

void TCustomMtTreeView::Relayout(unsigned what) {
  UpdateLook();
  MarkDirty(what);
}

void TCustomMtTreeView::UpdateLook() {
  look_.ImageWidth = images_ ? images_->Width() : 0;
  look_.ImageHeight = images_ ? images_->Height() : 0;
  look_.ImageCount = images_ ? images_->Count() : 0;
  look_.Image2Width = images2_ ? images2_->Width() : 0;
  look_.Image2Height = images2_ ? images2_->Height() : 0;
  look_.Image2Count = images2_ ? images2_->Count() : 0;
  look_.ShowCheckboxes = TCustomMtTree::ShowCheckboxes();
  // Custom glyphs take the room of a frame of the check-box strip (the radio strip when
  // there is no check-box strip).
  const bool checkStrip = checkBoxGlyph_.Width() > 0;
  const TBitmap& strip = checkStrip ? checkBoxGlyph_ : radioButtonGlyph_;
  const bool custom = customCheckboxes_ && strip.Width() > 0;
  look_.CheckGlyphWidth = custom ? strip.Width() / (checkStrip ? 6 : 4) : 0;
  look_.CheckGlyphHeight = custom ? strip.Height() : 0;
}

TCustomMtTreeView::TSelectColumn& TCustomMtTreeView::TSelectColumn::operator=(int column) {
  if (column >= -1 && column < tree_.SectionCount()) value_ = column;
  return *this;
}

void TCustomMtTreeView::SetRightAlignedTree(bool b) {
  if (b == look_.RightAligned) return;
  look_.RightAligned = b;
  leftFromEnd_ = 0;
  header_->SetRightAlignedOrder(b);
  Relayout(dfColumnWidth | dfScrollBars);
  Invalidate();
}

void TCustomMtTreeView::SetRightAlignedText(bool b) {
  rightAlignedText_ = b;
  header_->SetRightAlignedText(b);
  Invalidate();
}

void TCustomMtTreeView::SetCustomCheckboxes(bool b) {
  customCheckboxes_ = b;
  Relayout(dfColumnWidth | dfScrollBars);
  Invalidate();
}

void TCustomMtTreeView::SetCheckBoxGlyph(const TBitmap& b) {
  checkBoxGlyph_ = b;
  SetCustomCheckboxes(customCheckboxes_);
}

void TCustomMtTreeView::SetRadioButtonGlyph(const TBitmap& b) {
  radioButtonGlyph_ = b;
  SetCustomCheckboxes(customCheckboxes_);
}

void TCustomMtTreeView::SetFlat(bool b) {
  flat_ = b;
  // Flat: a frame two pixels wide that event() paints over with the flat frame.
  setFrameStyle(b ? QFrame::Box | QFrame::Plain : QFrame::StyledPanel | QFrame::Sunken);
  setLineWidth(b ? 2 : 1);
  UpdateFlatLook();
}

void TCustomMtTreeView::SetFlatFocusedScrollbars(bool b) {
  flatFocusedScrollbars_ = b;
  UpdateFlatLook();
}

void TCustomMtTreeView::UpdateFlatLook() {
  const bool focused = Focused();
  SetFlatScrollBars(flat_ && (flatFocusedScrollbars_ || !focused), focused);
  if (flat_) update();  // the frame's inner edge shows the focus
}

bool TCustomMtTreeView::event(QEvent* e) {
  const bool handled = TCustomScrollControl::event(e);
  if (e->type() == QEvent::Paint && flat_) {
    QPainter painter(this);
    const TRect frame = Rect(0, 0, width(), height());
    TQtCanvas canvas(painter, frame);
    DrawFlatFrame(canvas, frame, BkColor, Focused());
  }
  return handled;
}

void TCustomMtTreeView::SetHeaderHeight(int h) {
  header_->resize(header_->width(), std::max(h, 0));
  MarkDirty(dfAll);
  Invalidate();
}

void TCustomMtTreeView::SetHeaderFilterColor(TColor c) {
  header_->FilterColor = c;
  header_->Invalidate();
}

void TCustomMtTreeView::SetHeaderActiveFilterColor(TColor c) {
  header_->ActiveFilterColor = c;
  header_->Invalidate();
}

void TCustomMtTreeView::SetShowColumns(bool b) {
  TCustomMtTree::SetShowColumns(b);
  header_->setVisible(b);
  HeaderPlace();
  MarkDirty(dfAll);
}

void TCustomMtTreeView::SetLineHeight(int h) {
  autoLineHeight_ = false;
  lineHeight_ = std::max(h, 1);
  MarkDirty(dfRows | dfScrollBars);
}

void TCustomMtTreeView::SetAutoLineHeight(bool b) {
  autoLineHeight_ = b;
  MarkDirty(dfLineHeight | dfScrollBars);
}

void TCustomMtTreeView::SetShowLines(bool b) {
  look_.ShowLines = b;
  Relayout(dfColumnWidth);
}

void TCustomMtTreeView::SetShowButtons(bool b) {
  look_.ShowButtons = b;
  Relayout(dfColumnWidth);
}

void TCustomMtTreeView::SetShowRoot(bool b) {
  look_.ShowRoot = b;
  Relayout(dfColumnWidth);
}

void TCustomMtTreeView::SetShowRootButtons(bool b) {
  look_.ShowRootButtons = b;
  Relayout(dfColumnWidth);
}

void TCustomMtTreeView::SetShowImages(bool b) {
  look_.ShowImages = b;
  Relayout(dfColumnWidth | dfLineHeight);
}

void TCustomMtTreeView::SetShowCheckboxes(bool b) {
  TCustomMtTree::SetShowCheckboxes(b);
  Relayout(dfColumnWidth);
}

void TCustomMtTreeView::SetImages(TImageList* list) {
  images_ = list;
  Relayout(dfColumnWidth | dfLineHeight | dfScrollBars);
}

void TCustomMtTreeView::SetImages2(TImageList* list) {
  images2_ = list;
  Relayout(dfColumnWidth | dfLineHeight | dfScrollBars);
}

void TCustomMtTreeView::SetBarStyle(bool b) {
  barStyle_ = b;
  MarkDirty(dfLineHeight | dfScrollBars);
}

void TCustomMtTreeView::SetHorizontalLines(bool b) {
  horizontalLines_ = b;
  MarkDirty(dfLineHeight | dfScrollBars);
}

void TCustomMtTreeView::SetHideHorzScrollBar(bool b) {
  hideHorz_ = b;
  SetScrollBarVisible(TScrollBarKind::sbHorizontal, !b);
}

void TCustomMtTreeView::SetHideVertScrollBar(bool b) {
  hideVert_ = b;
  SetScrollBarVisible(TScrollBarKind::sbVertical, !b);
}

void TCustomMtTreeView::SetMetrics(const TTextMetrics* metrics) {
  metrics_ = metrics != nullptr ? metrics : &TQtTextMetrics::Instance();
  MarkDirty(dfColumnWidth | dfScrollBars);
}

void TCustomMtTreeView::SetDoInplaceEdit(bool b) {
  doInplaceEdit_ = b;
  if (!b && editing_) EndEdit(true);
}

void TCustomMtTreeView::FontChanged() {
  header_->SetFont(Font());
  MarkDirty(dfLineHeight | dfColumnWidth | dfScrollBars);
}

// ---------------------------------------------------------------------------------
// Deferred layout

void TCustomMtTreeView::DefineLineHeight() {
  if (!autoLineHeight_) return;
  int imageHeight = 0;
  if (look_.ShowImages) {
    if (images_) imageHeight = images_->Height();
    if (images2_) imageHeight = std::max(imageHeight, images2_->Height());
  }
  lineHeight_ = MtDefineLineHeight(Font().Height, imageHeight, barStyle_, horizontalLines_);
}

void TCustomMtTreeView::UpdateColumnWidth() {
  int widest = 0;
  for (TMtTreeItem* item : VisibleRows()) widest = std::max(widest, MeasureCell(item));
  columnWidth_ = widest;
}

void TCustomMtTreeView::VisibleRowsChanged() {
  topIndex_ = MtClampTopIndex(topIndex_, RowCount(), RowsPerPage());
}

void TCustomMtTreeView::UpdateScrollBars() {
  const int rows = RowCount();
  const int full = MtFullRowsPerPage(ClientHeight(), HeaderHeight(), lineHeight_);
  topIndex_ = MtClampTopIndex(topIndex_, rows, RowsPerPage());
  SetScrollInfo(TScrollBarKind::sbVertical, std::max(rows - full, 0), std::max(full, 1), topIndex_);
  const int width = ColumnsWidth();
  const int most = std::max(width - ClientWidth(), 0);
  // A mirrored tree starts at its right end (the buttons, the start of the texts) and keeps
  // its distance from there when the columns or the client area change.
  const int left = look_.RightAligned ? std::max(most - leftFromEnd_, 0) : std::min(leftPosition_, most);
  if (left != leftPosition_) {
    leftPosition_ = left;
    HeaderPlace();
    Invalidate();
  }
  SetScrollInfo(TScrollBarKind::sbHorizontal, most, std::max(ClientWidth(), 1), leftPosition_);
}

void TCustomMtTreeView::UpdateHeaderWidth() { HeaderPlace(); }

void TCustomMtTreeView::HeaderPlace() {
  if (!header_) return;
  header_->setGeometry(-leftPosition_, 0, ClientWidth() + leftPosition_ + 1, header_->height());
}

void TCustomMtTreeView::Resize() {
  HeaderPlace();
  UpdateScrollBars();
  TCustomScrollControl::Resize();
}

// ---------------------------------------------------------------------------------
// Rows

bool TCustomMtTreeView::HeaderShown() const { return ShowColumns() && SectionCount() > 0; }

int TCustomMtTreeView::HeaderHeight() const { return ShowColumns() ? header_->height() : 0; }

int TCustomMtTreeView::RowsPerPage() const { return MtRowsPerPage(ClientHeight(), HeaderHeight(), lineHeight_); }

void TCustomMtTreeView::SetTopIndex(int index) {
  const int clamped = MtClampTopIndex(index, RowCount(), RowsPerPage());
  if (clamped == topIndex_) return;
  topIndex_ = clamped;
  UpdateScrollBars();
  Invalidate();
}

void TCustomMtTreeView::SetLeftPosition(int x) {
  const int most = std::max(ColumnsWidth() - ClientWidth(), 0);
  const int clamped = std::clamp(x, 0, most);
  leftFromEnd_ = most - clamped;
  if (clamped == leftPosition_) return;
  leftPosition_ = clamped;
  HeaderPlace();
  UpdateScrollBars();
  Invalidate();
}

int TCustomMtTreeView::ColumnsWidth() const {
  return HeaderShown() ? MtSectionsWidth(*HeaderSections()) : columnWidth_;
}

int TCustomMtTreeView::RowOf(const TMtTreeItem* item) const {
  if (item == nullptr) return -1;
  const auto& rows = VisibleRows();
  // The rows on screen first: most questions are about them.
  const int n = static_cast<int>(rows.size());
  const int end = std::min(n, topIndex_ + RowsPerPage());
  for (int i = std::max(topIndex_, 0); i < end; ++i)
    if (rows[i] == item) return i;
  const auto it = std::find(rows.begin(), rows.end(), item);
  return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

TMtTreeItem* TCustomMtTreeView::GetTopItem() const {
  const auto& rows = VisibleRows();
  return topIndex_ < static_cast<int>(rows.size()) ? rows[topIndex_] : nullptr;
}

void TCustomMtTreeView::SetTopItem(TMtTreeItem* item) {
  if (item == nullptr) throw EMtTreeError(kMtItemNotSpecified);
  const int row = RowOf(item);
  if (row >= 0) SetTopIndex(row);
}

TRect TCustomMtTreeView::GetItemRect(const TMtTreeItem* item) const {
  const int row = RowOf(item);
  if (row < topIndex_ || row >= topIndex_ + RowsPerPage()) return TRect{};
  const int top = MtRowTop(row, HeaderHeight(), lineHeight_, topIndex_);
  return Rect(0, top, ClientWidth(), top + lineHeight_);
}

TMtTreeItem* TCustomMtTreeView::GetItemAtY(int y) const {
  const auto& rows = VisibleRows();
  const int row = MtRowAtY(y, HeaderHeight(), lineHeight_, topIndex_, static_cast<int>(rows.size()));
  if (row < 0 || row >= topIndex_ + RowsPerPage() || y >= ClientHeight()) return nullptr;
  return rows[row];
}

int TCustomMtTreeView::MainSection() const {
  return MainColumn();
}

std::vector<TCustomMtTreeView::TColumn> TCustomMtTreeView::Columns() const {
  std::vector<TColumn> columns;
  if (HeaderShown()) {
    for (const TMtSectionSpan& span : MtSectionSpans(*HeaderSections()))
      columns.push_back({span.Section, span.Left, span.Right});
  } else {
    columns.push_back({nullptr, 0, std::max(columnWidth_, ClientWidth() + leftPosition_)});
  }
  return columns;
}

void TCustomMtTreeView::MainColumnSpan(int& left, int& right) const {
  left = 0;
  right = 0;
  const int main = MainSection();
  for (const TColumn& c : Columns()) {
    if (c.Section == nullptr || c.Section->GetIndex() == main) {
      left = c.Left;
      right = c.Right;
      return;
    }
  }
}

TFont TCustomMtTreeView::ItemFont(const TMtTreeItem* item) const {
  TFont f = Font();
  if (item != nullptr && !item->ParentStyle()) {
    f.Style = 0;
    if (item->GetState(isBold)) f.Style |= fsBold;
    if (item->GetState(isItalic)) f.Style |= fsItalic;
    if (item->GetState(isUnderlined)) f.Style |= fsUnderline;
    if (item->GetState(isStrikeOut)) f.Style |= fsStrikeOut;
  }
  return f;
}

namespace {

// The state image shows while the item is focused, selected, cut, or open with rows below.
bool ShowsStateImage(const TMtTreeItem* item) {
  return item->GetState(isFocused) || item->GetState(isSelected) || item->GetState(isCut) ||
         (item->GetExpanded() && item->GetHasVisibleChildren());
}

}  // namespace

int TCustomMtTreeView::ResolveImage(TMtTreeItem* item) const {
  if (!look_.ShowImages || !images_) return -1;
  int index = ShowsStateImage(item) ? item->StateImageIndex : item->ImageIndex;
  if (index == -1) DoItemPicDraw(item, index);
  return index;
}

int TCustomMtTreeView::ResolveImage2(TMtTreeItem* item) const {
  if (!look_.ShowImages || (!images2_ && !images_)) return -1;
  int index = ShowsStateImage(item) ? item->StateImageIndex2 : item->ImageIndex2;
  if (index == -1) DoItemPicDraw2(item, index);
  return index;
}

TMtMainCell TCustomMtTreeView::MainCellOf(TMtTreeItem* item, int rowTop) const {
  int left = 0, right = 0;
  MainColumnSpan(left, right);
  const int textWidth =
      metrics_->TextWidth(CellFont(item, CellStyle(item, MainSection(), !HeaderShown())), MainText(item));
  return MtLayoutMainCell(look_, *item, left, right, rowTop, lineHeight_, textWidth, ResolveImage(item),
                          ResolveImage2(item));
}

int TCustomMtTreeView::MeasureCell(TMtTreeItem* item) const {
  if (item == nullptr) return 0;
  const int textWidth =
      metrics_->TextWidth(CellFont(item, CellStyle(item, MainSection(), !HeaderShown())), MainText(item));
  return MtMeasureMainCell(look_, *item, textWidth, ResolveImage(item), ResolveImage2(item));
}

TMtTreeItem* TCustomMtTreeView::GetItemAt(int x, int y, int& sectionIndex, int& part) const {
  sectionIndex = MainSection();
  part = hpElsewhere;
  TMtTreeItem* item = GetItemAtY(y);
  if (item == nullptr) return nullptr;
  const int cx = x + leftPosition_;
  if (HeaderShown()) {
    const auto spans = MtSectionSpans(*HeaderSections());
    const TMtSectionSpan* span = MtSpanAtX(spans, cx);
    if (span == nullptr) return item;
    if (span->Section->GetIndex() != sectionIndex) {
      sectionIndex = span->Section->GetIndex();
      part = hpColumn;
      return item;
    }
  }
  const int row = MtRowAtY(y, HeaderHeight(), lineHeight_, topIndex_, RowCount());
  part = MtMainCellPartAt(MainCellOf(item, MtRowTop(row, HeaderHeight(), lineHeight_, topIndex_)), cx);
  return item;
}

void TCustomMtTreeView::ScrollToShow(int row, bool alignTop) {
  if (row < 0) return;
  const int full = MtFullRowsPerPage(ClientHeight(), HeaderHeight(), lineHeight_);
  SetTopIndex(MtTopIndexShowing(row, topIndex_, full, alignTop));
}

void TCustomMtTreeView::EnsureVisible(TMtTreeItem* item) {
  if (item == nullptr) return;
  {
    TMtUpdateBracket bracket(this);
    std::vector<TMtTreeItem*> path;
    for (TMtTreeItem* p = item->GetParent(); p != nullptr; p = p->GetParent()) path.push_back(p);
    for (auto it = path.rbegin(); it != path.rend(); ++it)
      if (!(*it)->GetExpanded()) (*it)->Expand(false);
  }
  ScrollToShow(RowOf(item), false);
}

bool TCustomMtTreeView::IsInView(const TMtTreeItem* item) const {
  const int row = RowOf(item);
  return row >= topIndex_ && row < topIndex_ + RowsPerPage();
}

void TCustomMtTreeView::WriteOutline(TStream& stream) const {
  Items()->Iterate(
      false,
      [&stream](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) {
        const AnsiString line = MtOutlineLine(*item) + "\r\n";
        stream.WriteBuffer(line.data(), static_cast<std::int64_t>(line.size()));
      },
      nullptr);
}

void TCustomMtTreeView::CollapseAll() {
  TMtUpdateBracket bracket(this);
  for (TMtTreeItem* item = Items()->Root()->GetFirstChild(); item != nullptr; item = item->GetNextSibling())
    item->Collapse(true);
}

void TCustomMtTreeView::ExpandAll() {
  TMtUpdateBracket bracket(this);
  for (TMtTreeItem* item = Items()->Root()->GetFirstChild(); item != nullptr; item = item->GetNextSibling())
    item->Expand(true);
}

void TCustomMtTreeView::FocusedItemShown(TMtTreeItem* item) {
  // The focused item on the last, partly visible row: one row down.
  const int row = RowOf(item);
  const int full = MtFullRowsPerPage(ClientHeight(), HeaderHeight(), lineHeight_);
  if (row >= 0 && row == topIndex_ + full && full < RowsPerPage()) SetTopIndex(topIndex_ + 1);
}

void TCustomMtTreeView::ForgetItem(TMtTreeItem* item) {
  TCustomMtTree::ForgetItem(item);
  if (item == EditedItem()) {
    SetEditedItem(nullptr, -1);
    // A validation handler deleting the item is safe: the running EndEdit stores nothing.
    if (!InValidation()) EndEdit(true);
  }
}

// ---------------------------------------------------------------------------------
// Selection

TMtTreeItem* TCustomMtTreeView::GetNextSelected(TMtTreeItem* item) const {
  if (!MultiSelect()) return nullptr;
  for (TMtTreeItem* p = item ? item->GetNext() : Items()->Root()->GetFirstChild(); p != nullptr; p = p->GetNext())
    if (p->GetState(isSelected)) return p;
  return nullptr;
}

void TCustomMtTreeView::AllSelected(std::vector<TMtTreeItem*>& list) const {
  Items()->Iterate(
      false,
      [&list](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) {
        if (item->GetState(isSelected)) list.push_back(item);
      },
      nullptr);
}

namespace {

// The items a bulk selection change walks, collected first: handlers may change the tree.
std::vector<TMtTreeItem*> WalkedItems(const TCustomMtTree& tree, bool visibleOnly) {
  if (visibleOnly) return tree.VisibleRows();
  std::vector<TMtTreeItem*> items;
  items.reserve(static_cast<size_t>(tree.Items()->Count()));
  tree.Items()->Iterate(
      false, [&items](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) { items.push_back(item); }, nullptr);
  return items;
}

}  // namespace

void TCustomMtTreeView::SetSelectionOf(const std::vector<TMtTreeItem*>& items,
                                       const std::function<bool(const TMtTreeItem*)>& selected) {
  TMtUpdateBracket bracket(this);
  // A selection handler may delete items: the ones gone are skipped.
  const unsigned deletions = Deletions();
  for (TMtTreeItem* item : items) {
    if (Deletions() != deletions && !HoldsItem(item)) continue;
    const bool on = selected(item);
    if (item->GetState(isSelected) != on) item->SetState(isSelected, on);
  }
}

void TCustomMtTreeView::SelectAllEx(bool visibleOnly) {
  if (!MultiSelect()) return;
  SetSelectionOf(WalkedItems(*this, visibleOnly), [](const TMtTreeItem*) { return true; });
}

void TCustomMtTreeView::InvertSelectionEx(bool visibleOnly) {
  if (!MultiSelect()) return;
  SetSelectionOf(WalkedItems(*this, visibleOnly), [](const TMtTreeItem* i) { return !i->GetState(isSelected); });
}

void TCustomMtTreeView::DeselectAllEx(bool visibleOnly) {
  if (!MultiSelect() || SelectedCount() == 0) return;
  SetSelectionOf(WalkedItems(*this, visibleOnly), [](const TMtTreeItem*) { return false; });
}

void TCustomMtTreeView::SelectRangeEx(TMtTreeItem* fromItem, TMtTreeItem* toItem, bool visibleOnly) {
  if (!MultiSelect() || fromItem == nullptr || toItem == nullptr || fromItem == toItem) return;
  const std::vector<TMtTreeItem*> items = WalkedItems(*this, visibleOnly);
  auto a = std::find(items.begin(), items.end(), fromItem);
  auto b = std::find(items.begin(), items.end(), toItem);
  if (a == items.end() || b == items.end()) return;
  if (a > b) std::swap(a, b);
  SetSelectionOf(std::vector<TMtTreeItem*>(a + 1, b), [](const TMtTreeItem*) { return true; });
}

// ---------------------------------------------------------------------------------
// Redrawing

void TCustomMtTreeView::InvalidateRow(int row) {
  if (row < topIndex_ || row >= topIndex_ + RowsPerPage()) return;
  const int top = MtRowTop(row, HeaderHeight(), lineHeight_, topIndex_);
  InvalidateRect(Rect(0, top, ClientWidth(), top + lineHeight_));
}

void TCustomMtTreeView::RedrawItem(TMtTreeItem* item) {
  if (Destroying() || item == nullptr) return;
  if (IsUpdating()) {
    // The whole tree is painted once when the bracket closes.
    MarkDirty(dfScrollBars);
    return;
  }
  const auto& rows = VisibleRows();
  const int end = std::min(static_cast<int>(rows.size()), topIndex_ + RowsPerPage());
  for (int i = topIndex_; i < end; ++i)
    if (rows[i] == item) return InvalidateRow(i);
}

void TCustomMtTreeView::RedrawCheckBox(TMtTreeItem* item) { RedrawItem(item); }

// ---------------------------------------------------------------------------------
// Painting

bool TCustomMtTreeView::IsActiveLook() const {
  if (!HideSelection) return true;
  const QWidget* w = window();
  return w != nullptr && w->focusWidget() == this;
}

AnsiString TCustomMtTreeView::CellText(const TMtTreeItem* item, const TMtHeaderSection* section) const {
  AnsiString text;
  if (section == nullptr || section->GetIndex() == MainSection()) {
    text = item->Text();
  } else {
    const int n = section->GetIndex();
    const int index = n > MainSection() ? n - 1 : n;
    if (index >= 0 && index < item->ColumnText().Count()) text = item->ColumnText()[index];
  }
  if (section != nullptr && section->Password() && !text.empty()) text = "******";
  return text;
}

const TMtCellStyle* TCustomMtTreeView::CellStyle(const TMtTreeItem* item, int sectionNumber, bool single) const {
  if (!item->UseStyles) return nullptr;
  const TMtCellStyle* style = item->MainStyle();
  const TMtHeaderSection* section = HeaderSections()->FindByNumber(sectionNumber);
  if (!single && sectionNumber != MainSection() && !(section && section->UseMainStyle())) {
    const int index = sectionNumber > MainSection() ? sectionNumber - 1 : sectionNumber;
    if (index >= 0 && index < item->StyleCount()) style = item->Styles(index);
  }
  return style != nullptr && !style->OwnerProps ? style : nullptr;
}

TFont TCustomMtTreeView::CellFont(const TMtTreeItem* item, const TMtCellStyle* style) const {
  TFont f = ItemFont(item);
  if (style == nullptr) return f;
  if (style->FontSize > 0) f.SetSize(style->FontSize);
  f.Style = style->FontStyles;
  if (!style->FontName.empty()) f.Name = style->FontName;
  return f;
}

void TCustomMtTreeView::DrawCellText(TCanvas& canvas, const AnsiString& text, TRect r, unsigned flags,
                                     const TFont& font, const TMtCellColors& colors) {
  canvas.Font = font;
  canvas.Font.Color = colors.Text;
  if (colors.Underline) canvas.Font.Style |= fsUnderline;
  if (colors.HasTextBk) {
    // The style's background behind the text itself, as far as the text reaches.
    const int w = std::min(metrics_->TextWidth(canvas.Font, text), r.Width());
    const int h = std::min(metrics_->TextHeight(canvas.Font), r.Height());
    const int left = flags & DT_RIGHT ? r.Right - w : flags & DT_CENTER ? r.Left + (r.Width() - w) / 2 : r.Left;
    FillSolidRect(canvas, left, r.Top + (r.Height() - h) / 2, w, h, colors.TextBk);
  }
  canvas.Brush.Style = TBrushStyle::bsClear;
  canvas.DrawText(text, r, flags);
}

AnsiString TCustomMtTreeView::MainText(const TMtTreeItem* item) const {
  // A password main column masks the item's text as the other columns do.
  return CellText(item, HeaderShown() ? HeaderSections()->FindByNumber(MainSection()) : nullptr);
}

TMtCellPaintInput TCustomMtTreeView::CellInput(TMtTreeItem* item, int sectionNumber, bool single) const {
  TMtCellPaintInput in;
  in.TreeBk = BkColor;
  in.TreeText = TextColor;
  in.ParentColors = item->ParentColors();
  in.ItemColor = item->Color();
  in.ItemBk = item->BkColor();
  if (const TMtCellStyle* style = CellStyle(item, sectionNumber, single)) {
    in.HasStyle = true;
    in.StyleBk = style->CellBkColor;
    in.StyleText = style->CellTextColor;
    in.StyleTextBk = style->CellTextBkColor;
  }
  in.Hot = Tracking && item == HotItem();
  in.UnderlineTracked = UnderlineTracked;
  in.Selected = item->GetState(isSelected);
  in.BarStyle = barStyle_;
  in.SelectionCell = single || RowSelect ||
                     (SelectColumn >= 0 && SelectColumn < SectionCount() ? sectionNumber == SelectColumn
                                                                         : sectionNumber == MainSection());
  in.ActiveLook = IsActiveLook();
  in.FocusedSelectColor = FocusedSelectColor;
  in.HideSelectColor = HideSelectColor;
  in.DropTarget = item == DropTarget();
  in.DropAccepted = dropAccepted_;
  in.DropMode = DragTrgDrawMode;
  return in;
}

void TCustomMtTreeView::Paint(TCanvas& canvas) {
  paintPath_.Clear();
  if (MainTreeColumn < 0 || MainTreeColumn >= SectionCount()) MainTreeColumn = 0;
  const int headerHeight = HeaderHeight();
  const auto& rows = VisibleRows();
  const TRect clip = canvas.ClipRect();
  const int first = std::max(topIndex_, 0);
  const int last = std::min(static_cast<int>(rows.size()), topIndex_ + RowsPerPage());
  int bottom = headerHeight;
  for (int row = first; row < last; ++row) {
    const int top = MtRowTop(row, headerHeight, lineHeight_, topIndex_);
    bottom = top + lineHeight_;
    if (bottom <= clip.Top || top >= clip.Bottom) continue;
    PaintRow(canvas, rows[row], row);
  }
  // Below the last row.
  if (bottom < ClientHeight()) FillSolidRect(canvas, 0, bottom, ClientWidth(), ClientHeight() - bottom, BkColor);
  // Vertical grid lines from the header down.
  if (VerticalLines && !barStyle_ && HeaderShown()) {
    for (const TColumn& c : Columns()) {
      const int x = c.Right - 1 - leftPosition_;
      FillSolidRect(canvas, x, headerHeight, 1, ClientHeight() - headerHeight, clBtnFace);
    }
  }
}

void TCustomMtTreeView::PaintRow(TCanvas& canvas, TMtTreeItem* item, int row) {
  const int top = MtRowTop(row, HeaderHeight(), lineHeight_, topIndex_);
  const TRect rowRect = Rect(0, top, ClientWidth(), top + lineHeight_);
  TCanvasState state(canvas);
  canvas.IntersectClipRect(rowRect);
  const std::vector<TColumn> columns = Columns();
  const bool single = !HeaderShown();
  const int main = MainSection();
  int right = 0;
  TMtCellColors mainColors;
  for (const TColumn& c : columns) {
    const int number = c.Section ? c.Section->GetIndex() : main;
    TRect cell = Rect(c.Left - leftPosition_, top, c.Right - leftPosition_, top + lineHeight_);
    right = std::max(right, cell.Right);
    if (cell.Right <= 0 || cell.Left >= ClientWidth()) continue;
    const TMtCellColors colors = MtCellColors(CellInput(item, number, single));
    if (number == main) mainColors = colors;
    FillSolidRect(canvas, cell.Left, cell.Top, cell.Width(), cell.Height(), colors.Bk);
    const bool ownerDraw = OwnerDrawByColumn ? (c.Section && c.Section->Style() == MthsOwnerDraw)
                                             : item->Text() == OwnerDrawMask;
    TCanvasState cellState(canvas);
    canvas.IntersectClipRect(cell);
    if (ownerDraw) {
      DoItemDraw(item, canvas, InflateRect(cell, -1, -1), number);
    } else if (number == main) {
      PaintMainCell(canvas, item, cell, colors);
    } else {
      PaintCellText(canvas, item, c.Section, cell, colors);
    }
  }
  if (right < ClientWidth()) FillSolidRect(canvas, right, top, ClientWidth() - right, lineHeight_, BkColor);
  if (barStyle_) {
    TRect bar = InflateRect(Rect(-leftPosition_, top, right, top + lineHeight_), -1, -1);
    DrawEdge(canvas, bar, item->GetState(isSelected) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  } else if (horizontalLines_) {
    FillSolidRect(canvas, -leftPosition_, top + lineHeight_ - 1, right + leftPosition_, 1, clBtnFace);
  }
  if (item == DropTarget()) {
    TCanvasState frameState(canvas);
    canvas.Brush = TBrush{};
    canvas.Brush.Color = MtDropFrameColor(CellInput(item, main, single));
    canvas.FrameRect(Rect(0, top, std::min(right, ClientWidth()), top + lineHeight_));
  }
  if (item == ItemFocused() && DrawFocusRect && (Focused() || !HideFocusRect)) {
    canvas.Brush = TBrush{};
    canvas.Brush.Color = clBlack;
    canvas.Font.Color = clWhite;
    canvas.DrawFocusRect(Rect(0, top, std::min(right, ClientWidth()), top + lineHeight_));
  }
}

namespace {

void PaintCheckBox(TCanvas& canvas, const TRect& box, std::uint8_t type, std::uint8_t state, bool enabled) {
  TCanvasState st(canvas);
  const TColor mark = enabled ? clWindowText : clGrayText;
  if (type == cbtRadioButton) {
    canvas.Pen = TPen{};
    canvas.Pen.Color = clBtnShadow;
    canvas.Brush = TBrush{};
    canvas.Brush.Color = enabled ? clWindow : clBtnFace;
    const int l = box.Left + 1, t = box.Top + 1, r = box.Right - 1, b = box.Bottom - 1;
    canvas.Polygon({{l + 4, t}, {r - 5, t}, {r - 1, t + 4}, {r - 1, b - 5}, {r - 5, b - 1}, {l + 4, b - 1},
                    {l, b - 5}, {l, t + 4}});
    if (state == cbsChecked) {
      canvas.Pen.Color = mark;
      canvas.Brush.Color = mark;
      canvas.Ellipse(Rect(box.Left + 4, box.Top + 4, box.Right - 4, box.Bottom - 4));
    }
    return;
  }
  TRect r = box;
  DrawEdge(canvas, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  const TColor fill = state == cbsGrayed || !enabled ? clBtnFace : clWindow;
  FillSolidRect(canvas, r.Left, r.Top, r.Width(), r.Height(), fill);
  if (state == cbsUnchecked) return;
  const TColor c = state == cbsGrayed ? clGrayText : mark;
  // A tick: down three pixels, then up four, two pixels thick... three rows thick.
  const int x = r.Left + 2, y = r.Top + 4;
  for (int i = 0; i < 7; ++i) {
    const int dy = i < 3 ? i : 4 - i;
    FillSolidRect(canvas, x + i, y + dy, 1, 3, c);
  }
}

}  // namespace

void TCustomMtTreeView::PaintMainCell(TCanvas& canvas, TMtTreeItem* item, const TRect& cell,
                                      const TMtCellColors& colors) {
  const int top = cell.Top;
  const TMtMainCell layout = MainCellOf(item, top);
  const int dx = -leftPosition_;
  // Tree lines.
  if (look_.ShowLines) {
    TCanvasState st(canvas);
    canvas.Pen = TPen{};
    canvas.Pen.Color = LinesColor;
    canvas.Pen.Style = LinesStyle;
    int left = 0, right = 0;
    MainColumnSpan(left, right);
    // Only the columns on screen: a deep row costs the lines it shows.
    const TRect clip = canvas.ClipRect();
    paintPath_.Follow(*item);
    for (const TMtLineSegment& s : MtTreeLinesIn(look_, *item, paintPath_, left, right, top, lineHeight_,
                                                 clip.Left - dx, clip.Right - dx)) {
      canvas.MoveTo(s.X1 + dx, s.Y1);
      canvas.LineTo(s.X2 + dx, s.Y2);
    }
  }
  if (!layout.Button.IsEmpty()) {
    const TBitmap& picture = item->GetExpanded() ? MinusPicture : PlusPicture;
    const bool custom = CustomPlusMinus && picture.Width() > 0;
    const TBitmap& glyph = custom ? picture : ResourceBitmap(item->GetExpanded() ? "MINUSBMP" : "PLUSBMP");
    const TRect b = OffsetRect(layout.Button, dx, 0);
    canvas.Draw(b.Left + (b.Width() - glyph.Width()) / 2, b.Top + (b.Height() - glyph.Height()) / 2, glyph);
  }
  if (!layout.CheckBox.IsEmpty()) {
    const TRect box = OffsetRect(layout.CheckBox, dx, 0);
    const bool radio = item->CheckBoxType == cbtRadioButton;
    const bool enabled = item->Enabled && item->CheckBoxEnabled;
    const TBitmap& strip = radio ? radioButtonGlyph_ : checkBoxGlyph_;
    if (look_.CheckGlyphWidth > 0 && strip.Width() > 0) {
      // One frame of the strip: the strip drawn shifted, clipped to the frame.
      const int frame = MtCheckGlyphFrame(radio, item->CheckBoxState, enabled);
      const int w = strip.Width() / (radio ? 4 : 6);
      TCanvasState st(canvas);
      canvas.IntersectClipRect(Rect(box.Left, box.Top, box.Left + w, box.Bottom));
      canvas.Draw(box.Left - frame * w, box.Top, strip);
    } else {
      PaintCheckBox(canvas, box, item->CheckBoxType, item->CheckBoxState, enabled);
    }
  }
  const TDrawingStyle style = !ChangeStateImage             ? TDrawingStyle::dsNormal
                              : item->GetState(isFocused)  ? TDrawingStyle::dsFocus
                              : item->GetState(isSelected) ? TDrawingStyle::dsSelected
                                                           : TDrawingStyle::dsNormal;
  if (!layout.Image2.IsEmpty()) {
    const TImageList* list = images2_ ? images2_ : images_;
    list->Draw(canvas, layout.Image2.Left + dx, layout.Image2.Top, ResolveImage2(item), style, item->Enabled);
  }
  if (!layout.Image.IsEmpty())
    images_->Draw(canvas, layout.Image.Left + dx, layout.Image.Top, ResolveImage(item), style, item->Enabled);
  // With styles: the main style's font and text flags.
  const TMtCellStyle* cellStyle = CellStyle(item, MainSection(), !HeaderShown());
  unsigned flags = cellStyle ? cellStyle->TextFlags : DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (rightAlignedText_) flags |= DT_RTLREADING;
  if (look_.RightAligned) {
    // Mirrored: the text ends next to the images and is cut at the cell's left edge.
    const TRect text = Rect(cell.Left, top, layout.TextRight + dx, top + lineHeight_);
    DrawCellText(canvas, MainText(item), text, flags | DT_RIGHT, CellFont(item, cellStyle), colors);
  } else {
    const TRect text = Rect(layout.TextLeft + dx, top, cell.Right, top + lineHeight_);
    DrawCellText(canvas, MainText(item), text, flags, CellFont(item, cellStyle), colors);
  }
}

void TCustomMtTreeView::PaintCellText(TCanvas& canvas, TMtTreeItem* item, TMtHeaderSection* section,
                                      const TRect& cell, const TMtCellColors& colors) {
  const AnsiString text = CellText(item, section);
  if (text.empty()) return;
  // With styles: the cell style's font and text flags (the section's alignment otherwise).
  const TMtCellStyle* style = CellStyle(item, section->GetIndex(), false);
  unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (style != nullptr) flags = style->TextFlags;
  else if (section->Alignment() == hsaCenter) flags |= DT_CENTER;
  else if (section->Alignment() == hsaRight || rightAlignedText_) flags |= DT_RIGHT;
  if (rightAlignedText_) flags |= DT_RTLREADING;
  const TRect r = Rect(cell.Left + 2, cell.Top, cell.Right - 2, cell.Bottom);
  DrawCellText(canvas, text, r, flags, CellFont(item, style), colors);
}

// ---------------------------------------------------------------------------------
// The header's reactions

void TCustomMtTreeView::HeaderSectionResized(TMtHeaderSection* section) {
  trackLine_->Hide();
  DoColumnResize(section->GetIndex());
  // Sections narrower than the client area: the header goes back to the left edge.
  if (ColumnsWidth() <= ClientWidth()) leftPosition_ = 0;
  HeaderLayoutChanged();
}

void TCustomMtTreeView::HeaderSectionResizing(TMtHeaderSection* section, int state, int width) {
  // A line across the header and the rows shows where the edge will go.
  if (state == 2) {
    trackLine_->Hide();
    return;
  }
  const int x = section->GetLeft() - leftPosition_ + width;
  trackLine_->Show(x, 0, ClientHeight());
}

void TCustomMtTreeView::HeaderSectionAutoSize(TMtHeaderSection* section) {
  if (!AutoResizeColumns) {
    if (OnHeaderSectionAutoSize) OnHeaderSectionAutoSize(static_cast<TCustomMtTree*>(this), section->GetIndex());
    return;
  }
  int widest = 0;
  for (TMtTreeItem* item : VisibleRows()) {
    if (section->GetIndex() == MainSection()) {
      widest = std::max(widest, MeasureCell(item) + 2);
    } else {
      const AnsiString text = CellText(item, section);
      widest = std::max(widest, metrics_->TextWidth(ItemFont(item), text) + 4);
    }
  }
  section->SetWidth(std::max(widest, 1));
  HeaderSectionResized(section);
}

void TCustomMtTreeView::HeaderLayoutChanged() {
  MarkDirty(dfScrollBars | dfHeaderWidth);
  header_->Invalidate();
  Invalidate();
}

void TCustomMtTreeView::HeaderLookup(TMtHeaderSection* section, AnsiString& text) {
  if (OnHeaderLookup) OnHeaderLookup(static_cast<TCustomMtTree*>(this), section, text);
  if (!AutoLookup || text.empty()) return;
  const AnsiString wanted = AnsiUpperCase(text);
  TMtTreeItem* found = Items()->FindItem(
      nullptr,
      [&](TMtTreeItem* item) { return AnsiUpperCase(CellText(item, section)).rfind(wanted, 0) == 0; }, true,
      false);
  if (found) {
    EnsureVisible(found);
    SetItemFocused(found);
  }
}

// ---------------------------------------------------------------------------------
// Event firers

void TCustomMtTreeView::DoItemDraw(TMtTreeItem* item, TCanvas& surface, const TRect& r, int sectionIndex) {
  if (OnItemDraw) OnItemDraw(static_cast<TCustomMtTree*>(this), item, surface, r, sectionIndex);
}

void TCustomMtTreeView::DoItemPicDraw(TMtTreeItem* item, int& imageIndex) const {
  if (OnItemPicDraw)
    OnItemPicDraw(const_cast<TCustomMtTree*>(static_cast<const TCustomMtTree*>(this)), item, imageIndex);
}

void TCustomMtTreeView::DoItemPicDraw2(TMtTreeItem* item, int& imageIndex) const {
  if (OnItemPicDraw2)
    OnItemPicDraw2(const_cast<TCustomMtTree*>(static_cast<const TCustomMtTree*>(this)), item, imageIndex);
}

void TCustomMtTreeView::DoColumnResize(int sectionIndex) {
  if (OnHeaderColumnResize) OnHeaderColumnResize(static_cast<TCustomMtTree*>(this), sectionIndex);
}

void TCustomMtTreeView::DoColumnMove(TMtHeaderSection* section, int oldPos, int newPos) {
  if (OnHeaderColumnMove) OnHeaderColumnMove(static_cast<TCustomMtTree*>(this), section, oldPos, newPos);
}

void TCustomMtTreeView::DoColumnDraw(TMtHeaderSection* section, const TRect& r, bool pressed) {
  if (OnHeaderColumnDraw) OnHeaderColumnDraw(static_cast<TCustomMtTree*>(this), section, r, pressed);
}

void TCustomMtTreeView::DoHeaderSectionExpand(TMtHeaderSection* section) {
  if (OnHeaderSectionExpand) OnHeaderSectionExpand(static_cast<TCustomMtTree*>(this), section);
}

void TCustomMtTreeView::DoHeaderSectionCollapse(TMtHeaderSection* section) {
  if (OnHeaderSectionCollapse) OnHeaderSectionCollapse(static_cast<TCustomMtTree*>(this), section);
}

void TCustomMtTreeView::DoShowLineHintEvent(TMtTreeItem* item, AnsiString& text, THintWindow* hintWindow,
                                            TPoint mousePos, bool& doShowHint) {
  if (OnShowLineHint) OnShowLineHint(static_cast<TCustomMtTree*>(this), item, text, hintWindow, mousePos, doShowHint);
}

void TCustomMtTreeView::HeaderSectionChange(TMtHeaderSection* section, TMtSectionChange change) {
  (void)section;
  (void)change;
  HeaderLayoutChanged();
}

void TCustomMtTreeView::HeaderSectionCreate(TMtHeaderSection* section) {
  (void)section;
  HeaderLayoutChanged();
}

void TCustomMtTreeView::HeaderSectionMove(TMtHeaderSection* section, int oldPos, int newPos) {
  HeaderLayoutChanged();
  DoColumnMove(section, oldPos, newPos);
}

void TCustomMtTreeView::DoScroll(TScrollBarKind kind, TScrollCode code) {
  if (OnScroll) OnScroll(static_cast<TCustomMtTree*>(this), kind, code);
}

// ---------------------------------------------------------------------------------
// Invariants

void TCustomMtTreeView::CheckInvariants() const {
  auto fail = [](const char* what) { throw std::logic_error(what); };
  if (lineHeight_ <= 0) fail("LineHeight must be positive");
  const int rows = RowCount();
  if (topIndex_ < 0 || topIndex_ > std::max(rows - RowsPerPage() + 1, 0)) fail("TopIndex out of its range");
  if (leftPosition_ < 0 || leftPosition_ > std::max(ColumnsWidth() - ClientWidth(), 0))
    fail("LeftPosition out of its range");
  if (ShowColumns() && header_->x() != -leftPosition_) fail("header not at -LeftPosition");
  if (ShowColumns() && header_->width() != ClientWidth() + leftPosition_ + 1) fail("header width");
  if (ItemFocused() && !ItemFocused()->GetState(isFocused)) fail("focused item without its state bit");
}
