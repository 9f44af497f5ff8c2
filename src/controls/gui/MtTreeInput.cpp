// The tree control's input: mouse, keys, wheel, scroll bars, drag and drop.
#include <algorithm>
#include <optional>

#include "controls/gui/MtGuiUtils.h"
#include "controls/gui/MtTreeView.h"
#include "platform/gui/DragManager.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/QtGraphics.h"
#include <QPainter>

namespace {

bool IsCtrl(TShiftState s) { return (s & ssCtrl) != 0; }
bool IsShift(TShiftState s) { return (s & ssShift) != 0; }

}  // namespace

// ---------------------------------------------------------------------------------
// Mouse

void TCustomMtTreeView::ToggleExpanded(TMtTreeItem* item) {
  if (item->GetExpanded()) item->Collapse(false);
  else item->Expand(false);
}

void TCustomMtTreeView::ToggleCheckBox(TMtTreeItem* item) {
  switch (item->CheckBoxType) {
    case cbtThreeState:
      item->SetCheckBoxState(item->CheckBoxState == cbsUnchecked ? cbsGrayed
                             : item->CheckBoxState == cbsGrayed  ? cbsChecked
                                                                 : cbsUnchecked);
      break;
    case cbtRadioButton:
      item->SetChecked(true);
      break;
    default:
      item->SetChecked(!item->GetChecked());
      break;
  }
}

void TCustomMtTreeView::SelectByMouse(TMtTreeItem* item, TShiftState shift, bool right) {
  const bool multi = MultiSelect();
  std::optional<TMtUpdateBracket> bracket;
  if (multi) bracket.emplace(this);
  const unsigned deletions = Deletions();
  auto alive = [&] { return Deletions() == deletions || HoldsItem(item); };
  bool wasSelected = false;
  if (multi && SelectionMode == smUsual) {
    if (!IsCtrl(shift) && !IsShift(shift)) {
      wasSelected = ItemFocused() != nullptr && ItemFocused()->GetState(isSelected);
      DeselectAll();
    } else if (IsShift(shift)) {
      DeselectAll();
      if (TMtTreeItem* anchor = SelectionAnchor()) {
        anchor->SetState(isSelected, true);
        if (alive() && SelectionAnchor() == anchor) SelectRange(anchor, item);
      }
    }
  }
  if (!alive()) return;
  if (item != ItemFocused()) {
    SetItemFocused(item);
  } else if (multi && !item->GetState(isSelected) && (!wasSelected || AlwaysKeepSelection || right)) {
    item->SetState(isSelected, true);
  }
  if (!alive()) return;
  if ((!IsCtrl(shift) && !IsShift(shift)) || !multi) SetSelectionAnchor(item);
}

void TCustomMtTreeView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  // The second press of a double click: the double click has acted already.
  if (Shift & ssDouble) {
    TCustomScrollControl::MouseDown(Button, Shift, X, Y);
    return;
  }
  if (Button == TMouseButton::mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    pressPoint_ = {X, Y};
    leftDown_ = true;
    doubleClicked_ = false;
  }
  TCustomScrollControl::MouseDown(Button, Shift, X, Y);
  if (Destroying()) return;

  int section = -1, part = hpElsewhere;
  TMtTreeItem* item = GetItemAt(X, Y, section, part);
  if (part == hpButton) {
    if (item->Enabled) ToggleExpanded(item);
    return;
  }
  if (part == hpCheckBox) {
    if (item->Enabled && item->CheckBoxEnabled) {
      const unsigned deletions = Deletions();
      ToggleCheckBox(item);
      if (Deletions() == deletions || HoldsItem(item)) DoItemChange(item, icmCheckBox);
    }
    return;
  }
  if (part == hpColumn) {
    const TMtHeaderSection* s = HeaderSections()->FindByNumber(section);
    if (s != nullptr && !s->ClickSelect()) return;
  }
  if (Button == TMouseButton::mbLeft) {
    if (item == nullptr) SetItemFocused(nullptr);
    else if (part != hpElsewhere || FullRowSelect) SelectByMouse(item, Shift, false);
  } else if (Button == TMouseButton::mbRight) {
    const bool keep = MultiSelect() && SelectionMode == smUsual && SelectedCount() >= 2;
    if (keep) return;
    if (item == nullptr) SetItemFocused(nullptr);
    else if (part != hpElsewhere || FullRowSelect) SelectByMouse(item, Shift, true);
  }
}

void TCustomMtTreeView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == TMouseButton::mbLeft) {
    leftDown_ = false;
    int section = -1, part = hpElsewhere;
    TMtTreeItem* item = GetItemAt(X, Y, section, part);
    const TMtHeaderSection* main = HeaderShown() ? HeaderSections()->FindByNumber(MainSection()) : nullptr;
    const bool mainEditable = !HeaderShown() || (main != nullptr && main->Editable());
    if (part == hpText && !doubleClicked_ && item != nullptr && item == ArmedItem() && doInplaceEdit_ &&
        mainEditable) {
      SetArmedItem(nullptr);
      EditItem(item, HeaderShown() ? MainSection() : -1);
    } else if (TPoint{X, Y} == pressPoint_ && part != hpButton && part != hpElsewhere && !doubleClicked_) {
      SetArmedItem(item);
    }
  }
  TCustomScrollControl::MouseUp(Button, Shift, X, Y);
}

void TCustomMtTreeView::DblClick() {
  doubleClicked_ = true;
  int section = -1, part = hpElsewhere;
  TMtTreeItem* item = GetItemAt(pressPoint_.X, pressPoint_.Y, section, part);
  if (item != nullptr && (part == hpText || (FullRowSelect && part != hpCheckBox)) &&
      item->Enabled && ExpandOnDblClick) {
    ToggleExpanded(item);
  }
  if (item != nullptr && part == hpColumn && doInplaceEdit_ && item->Enabled) {
    const TMtHeaderSection* s = HeaderSections()->FindByNumber(section);
    if (s != nullptr && s->Editable()) EditItem(item, section);
  }
  SetArmedItem(nullptr);
  if (part != hpButton) TCustomScrollControl::DblClick();
}

void TCustomMtTreeView::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomScrollControl::MouseMove(Shift, X, Y);
  if (Destroying()) return;
  TMtTreeItem* anchor = SelectionAnchor();
  if (!Dragging() && leftDown_ && (Shift & ssLeft) && anchor != nullptr && anchor->Enabled && Focused() &&
      DragAllowed && DragType != TMtDragType::dtOLE && MtPassedDragThreshold(pressPoint_, {X, Y})) {
    leftDown_ = false;
    BeginDrag(true);
    return;
  }
  if (Tracking && Focused()) SetHotItem(GetItemAtY(Y));
  if (LineHintMode != THintModes::shmNone && !Dragging() && TPoint{X, Y} != hintPoint_) {
    const bool otherRow = GetItemAtY(Y) != GetItemAtY(hintPoint_.Y);
    if (HideHintOnMove || otherRow) {
      HideLineHint();
      hintPoint_ = {X, Y};
      hintTimer_->SetEnabled(false);
      hintTimer_->SetEnabled(true);
    }
  }
}

AnsiString TCustomMtTreeView::LineHintText(int y) const {
  TMtTreeItem* item = GetItemAtY(y);
  if (item == nullptr || LineHintMode == THintModes::shmNone) return AnsiString();
  const AnsiString text = MainText(item);  // a password stays masked in its hint
  if (LineHintMode == THintModes::shmAll) return text;
  // shmLong: the text is wider than its cell or runs out of the visible area.
  const int row = RowOf(item);
  const TMtMainCell cell = MainCellOf(item, MtRowTop(row, HeaderHeight(), lineHeight_, topIndex_));
  const int width = metrics_->TextWidth(ItemFont(item), text);
  const bool cut = cell.TextRight < cell.TextLeft + width;
  const bool outside = cell.TextLeft + width - leftPosition_ > ClientWidth() || cell.TextLeft < leftPosition_;
  return cut || outside ? text : AnsiString();
}

void TCustomMtTreeView::LineHintTick() {
  hintTimer_->SetEnabled(false);
  AnsiString text = LineHintText(hintPoint_.Y);
  if (text.empty()) return;
  {
    bool show = true;
    DoShowLineHintEvent(GetItemAtY(hintPoint_.Y), text, hintWindow_.get(), hintPoint_, show);
    if (!show || text.empty() || Destroying()) return;
  }
  hintWindow_->Font = Font();
  TRect r = hintWindow_->CalcHintRect(std::max(ClientWidth(), 200), text);
  const int row = RowOf(GetItemAtY(hintPoint_.Y));
  const TPoint at = ClientToScreen({0, MtRowTop(row, HeaderHeight(), lineHeight_, topIndex_)});
  r = OffsetRect(r, at.X, at.Y);
  hintWindow_->ActivateHint(r, text);
  if (HideHintOnTimer) {
    hintHideTimer_->SetEnabled(false);
    hintHideTimer_->SetEnabled(true);
  }
}

void TCustomMtTreeView::HideLineHint() {
  hintHideTimer_->SetEnabled(false);
  if (hintWindow_->Visible()) hintWindow_->ReleaseHandle();
}

void TCustomMtTreeView::MouseLeave() {
  if (Tracking) SetHotItem(nullptr);
  hintTimer_->SetEnabled(false);
  HideLineHint();
  TCustomScrollControl::MouseLeave();
}

void TCustomMtTreeView::FocusChanged(bool focused) {
  if (!focused && Tracking) SetHotItem(nullptr);
  UpdateFlatLook();
  Invalidate();  // the focus rectangle and the selection colours follow the focus
}

// ---------------------------------------------------------------------------------
// Wheel and scroll bars

void TCustomMtTreeView::ScrollRows(int rows) {
  if (rows == 0) return;
  if (editing_) EndEdit(false);
  SetTopIndex(topIndex_ + rows);
}

bool TCustomMtTreeView::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  return DoMouseWheelDeltas(Shift, TWheelDeltas{0, WheelDelta, 0, 0}, MousePos);
}

bool TCustomMtTreeView::DoMouseWheelDeltas(TShiftState Shift, const TWheelDeltas& Deltas, TPoint MousePos) {
  if (Deltas.AngleY != 0 && TCustomScrollControl::DoMouseWheel(Shift, Deltas.AngleY, MousePos)) return true;
  const int lines = MtWheelLines();
  if (Deltas.AngleY != 0) ScrollRows(-wheel_.Rows(Deltas.AngleY, lines, RowsPerPage()));
  if (Deltas.PixelX != 0) {
    SetLeftPosition(leftPosition_ - Deltas.PixelX);
  } else if (Deltas.AngleX != 0) {
    SetLeftPosition(leftPosition_ - kMtLineStep * wheelX_.Rows(Deltas.AngleX, lines, RowsPerPage()));
  }
  return true;
}

void TCustomMtTreeView::Scroll(TScrollBarKind Bar, TScrollCode Code, int& Pos) {
  // Any scroll-bar action accepts a running edit first.
  if (editing_) EndEdit(false);
  if (Bar == TScrollBarKind::sbVertical) {
    const int page = std::max(RowsPerPage() - 1, 1);
    int top = topIndex_;
    switch (Code) {
      case TScrollCode::scLineUp: top -= 1; break;
      case TScrollCode::scLineDown: top += 1; break;
      case TScrollCode::scPageUp: top -= page; break;
      case TScrollCode::scPageDown: top += page; break;
      case TScrollCode::scPosition:
      case TScrollCode::scTrack: top = Pos; break;
      case TScrollCode::scTop: top = 0; break;
      case TScrollCode::scBottom: top = RowCount() - 1; break;
      case TScrollCode::scEndScroll: break;
    }
    SetTopIndex(top);
    Pos = topIndex_;
  } else {
    int left = leftPosition_;
    switch (Code) {
      case TScrollCode::scLineUp: left -= kMtLineStep; break;
      case TScrollCode::scLineDown: left += kMtLineStep; break;
      case TScrollCode::scPageUp: left -= ClientWidth() / 2; break;
      case TScrollCode::scPageDown: left += ClientWidth() / 2; break;
      case TScrollCode::scPosition:
      case TScrollCode::scTrack: left = Pos; break;
      case TScrollCode::scTop: left = 0; break;
      case TScrollCode::scBottom: left = ColumnsWidth(); break;
      case TScrollCode::scEndScroll: break;
    }
    SetLeftPosition(left);
    Pos = leftPosition_;
  }
  DoScroll(Bar, Code);
}

// ---------------------------------------------------------------------------------
// Keyboard

void TCustomMtTreeView::Navigate(TMtTreeItem* target, TShiftState shift, bool alignTop) {
  if (target == nullptr) return;
  // Ctrl with Shift counts as Shift alone.
  const bool withShift = IsShift(shift);
  const bool withCtrl = IsCtrl(shift) && !withShift;
  if (!MultiSelect()) {
    SetItemFocused(target);
    SetSelectionAnchor(target);
  } else {
    TMtUpdateBracket bracket(this);
    const unsigned deletions = Deletions();
    auto alive = [&](TMtTreeItem* p) { return Deletions() == deletions || HoldsItem(p); };
    if (SelectionMode == smUsual && !withCtrl) DeselectAll();
    if (!alive(target)) return;
    SetItemFocused(target);
    // The new focused item is selected (focusing toggles it in multi-select mode).
    if (alive(target) && !target->GetState(isSelected)) target->SetState(isSelected, true);
    if (!alive(target)) return;
    if (withShift) {
      if (TMtTreeItem* anchor = SelectionAnchor()) {
        anchor->SetState(isSelected, true);
        if (alive(target) && SelectionAnchor() == anchor) SelectRange(anchor, target);
      }
    } else if (!withCtrl) {
      SetSelectionAnchor(target);
    }
  }
  ScrollToShow(RowOf(target), alignTop);
}

void TCustomMtTreeView::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  TMtTreeItem* focused = ItemFocused();
  const auto& rows = VisibleRows();
  const int rowCount = static_cast<int>(rows.size());
  auto rowTarget = [&](TMtNavKey k) -> TMtTreeItem* {
    const int row = MtNavigateRow(k, RowOf(focused), rowCount, RowsPerPage());
    return row >= 0 ? VisibleRows()[row] : nullptr;
  };
  // A mirrored tree: Left goes where Right goes in a plain one, and back.
  std::uint16_t key = Key;
  if (look_.RightAligned && key == VK_LEFT) key = VK_RIGHT;
  else if (look_.RightAligned && key == VK_RIGHT) key = VK_LEFT;
  switch (key) {
    case VK_SPACE:
      if (MultiSelect() && focused != nullptr && focused->Enabled) {
        TMtUpdateBracket bracket(this);
        if (SelectionMode == smUsual && !IsCtrl(Shift) && !IsShift(Shift)) {
          DeselectAll();
          SetSelectionAnchor(focused);
        } else if (SelectionMode == smSimple) {
          SetSelectionAnchor(focused);
        }
        if (HoldsItem(focused)) focused->SetState(isSelected, !focused->GetState(isSelected));
      }
      break;
    case VK_LEFT:
      if (focused != nullptr) {
        // A leaf marked expanded shows nothing to collapse: the focus goes to the parent.
        if (focused->GetExpanded() && focused->GetHasChildren() && focused->Enabled) focused->Collapse(false);
        else if (TMtTreeItem* parent = focused->GetParent()) Navigate(parent, Shift, true);
      }
      break;
    case VK_RIGHT:
      if (focused != nullptr) {
        if (!focused->GetExpanded() && focused->Enabled &&
            (focused->GetHasVisibleChildren() || focused->ForceButtons)) {
          focused->Expand(false);
        } else if (TMtTreeItem* child = focused->GetFirstVisibleChild(); child && IsRowItem(child)) {
          Navigate(child, Shift, false);
        }
      }
      break;
    case VK_UP: Navigate(rowTarget(TMtNavKey::Up), Shift, true); break;
    case VK_DOWN: Navigate(rowTarget(TMtNavKey::Down), Shift, false); break;
    case VK_PRIOR: Navigate(rowTarget(TMtNavKey::PageUp), Shift, true); break;
    case VK_NEXT: Navigate(rowTarget(TMtNavKey::PageDown), Shift, false); break;
    case VK_HOME: Navigate(rowTarget(TMtNavKey::Home), Shift, true); break;
    case VK_END: Navigate(rowTarget(TMtNavKey::End), Shift, false); break;
    case VK_MULTIPLY:
      if (focused != nullptr && focused->Enabled && (focused->GetHasVisibleChildren() || focused->ForceButtons))
        focused->Expand(true);
      break;
    case VK_ADD:
      if (focused != nullptr && focused->Enabled && !focused->GetExpanded() &&
          (focused->GetHasChildren() || focused->ForceButtons))
        focused->Expand(false);
      break;
    case VK_SUBTRACT:
      if (focused != nullptr && focused->Enabled && focused->GetExpanded()) focused->Collapse(false);
      break;
    default:
      break;
  }
  TCustomScrollControl::KeyDown(Key, Shift);
}

// ---------------------------------------------------------------------------------
// Drag and drop

void TCustomMtTreeView::DoStartDrag() {
  SetDropTarget(nullptr);
  if (DragImageMode != TDragImgMode::dimNever) {
    TPoint hotSpot;
    const TBitmap image = DragImage(hotSpot);
    if (!image.Empty()) DragManager().SetDragImage(image, hotSpot);
  }
  TCustomScrollControl::DoStartDrag();
}

TBitmap TCustomMtTreeView::DragImage(TPoint& hotSpot) {
  // The rows on screen as painted: the pressed one (dimOne), or every selected one and
  // the pressed one (dimAll), stacked in their order, as wide as the client area.
  if (DragImageMode == TDragImgMode::dimNever) return TBitmap();
  TMtTreeItem* pressed = GetItemAtY(pressPoint_.Y);
  if (pressed == nullptr) pressed = SelectionAnchor();
  std::vector<int> rows;
  const int first = topIndex_, last = std::min(RowCount(), topIndex_ + RowsPerPage());
  for (int row = first; row < last; ++row) {
    TMtTreeItem* item = VisibleRows()[row];
    if (item == pressed || (DragImageMode == TDragImgMode::dimAll && item->GetState(isSelected)))
      rows.push_back(row);
  }
  if (rows.empty()) return TBitmap();
  const QImage shot = RenderToImage();
  QImage image(ClientWidth(), static_cast<int>(rows.size()) * lineHeight_, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  hotSpot = {pressPoint_.X, 0};
  QPainter painter(&image);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int top = MtRowTop(rows[i], HeaderHeight(), lineHeight_, topIndex_);
    const int y = static_cast<int>(i) * lineHeight_;
    painter.drawImage(QPoint(0, y), shot, QRect(0, top, ClientWidth(), lineHeight_));
    if (VisibleRows()[rows[i]] == pressed) hotSpot.Y = y + std::clamp(pressPoint_.Y - top, 0, lineHeight_ - 1);
  }
  painter.end();
  return FromQImage(image);
}

void TCustomMtTreeView::DragScroll(TObject* Source, int Y) {
  (void)Source;
  const int header = HeaderHeight();
  if (Y < header + lineHeight_ / 2 && topIndex_ > 0) {
    SetTopIndex(topIndex_ - 1);
  } else if (Y >= ClientHeight() - lineHeight_ / 2 &&
             topIndex_ + MtFullRowsPerPage(ClientHeight(), header, lineHeight_) < RowCount()) {
    SetTopIndex(topIndex_ + 1);
  }
}

void TCustomMtTreeView::DragOverTarget(TObject* Source, int X, bool& Accept, int Y) {
  (void)X;
  HideLineHint();
  hintTimer_->SetEnabled(false);
  DragScroll(Source, Y);
  TMtTreeItem* item = GetItemAtY(Y);
  if (item != nullptr && !item->Enabled) item = nullptr;
  const bool acceptChanged = dropAccepted_ != Accept;
  dropAccepted_ = Accept;
  TMtTreeItem* old = DropTarget();
  if (item == old && !acceptChanged) return;
  SetDropTarget(item);
  if (old != nullptr) RedrawItem(old);
  if (item != nullptr) RedrawItem(item);
}

void TCustomMtTreeView::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  TCustomScrollControl::DragOver(Source, X, Y, State, Accept);
  if (State == TDragState::dsDragLeave) {
    EndDropHover();
    return;
  }
  DragOverTarget(Source, X, Accept, Y);
}

void TCustomMtTreeView::EndDropHover() {
  if (TMtTreeItem* old = DropTarget()) {
    SetDropTarget(nullptr);
    RedrawItem(old);
  }
}

void TCustomMtTreeView::DragDrop(TObject* Source, int X, int Y) {
  TCustomScrollControl::DragDrop(Source, X, Y);
  EndDropHover();
}

void TCustomMtTreeView::DoEndDrag(TObject* Target, int X, int Y) {
  TCustomScrollControl::DoEndDrag(Target, X, Y);
  EndDropHover();
}
