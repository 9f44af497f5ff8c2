// The tree control's in-place editor: an edit box or a drop-down list over a cell.
//
// Re-entrancy: while OnValidateInplaceEdit / OnValidateCombo runs (InValidation), EndEdit
// and EditItem do nothing, so a handler that shows a message box (the editor loses the
// focus) or edits again does not end the edit twice; a handler that deletes the item
// only makes the tree forget it. Editors are never freed inside their own events: a
// replaced editor goes with deleteLater.
#include <QApplication>
#include <algorithm>

#include "controls/gui/MtTreeView.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

namespace {

// Sets the tree's validation guard for its lifetime.
class TValidationGuard {
 public:
  explicit TValidationGuard(TCustomMtTree& tree) : tree_(tree) { tree_.SetInValidation(true); }
  ~TValidationGuard() { tree_.SetInValidation(false); }
  TValidationGuard(const TValidationGuard&) = delete;
  TValidationGuard& operator=(const TValidationGuard&) = delete;

 private:
  TCustomMtTree& tree_;
};

}  // namespace

TWinControl* TCustomMtTreeView::InplaceEditor() const {
  if (edit_) return edit_.data();
  if (combo_) return combo_.data();
  return nullptr;
}

void TCustomMtTreeView::FreeEditor() {
  if (edit_) {
    edit_->OnExit = nullptr;
    edit_->OnKeyDown = nullptr;
    edit_->hide();
    edit_->deleteLater();
    edit_ = nullptr;
  }
  if (combo_) {
    combo_->OnExit = nullptr;
    combo_->OnKeyDown = nullptr;
    combo_->hide();
    combo_->deleteLater();
    combo_ = nullptr;
  }
}

void TCustomMtTreeView::EditItem(TMtTreeItem* item, int sectionNumber) {
  if (!doInplaceEdit_ || InValidation()) return;
  try {
    if (editing_) EndEdit(true);
  } catch (...) {
    // The previous edit's handlers may fail; the new edit goes on.
  }
  DoEditItem(item, sectionNumber);
}

void TCustomMtTreeView::DoEditItem(TMtTreeItem* item, int sectionNumber) {
  if (item == nullptr) throw EMtTreeError(kMtItemNotSpecified);
  if (InValidation()) return;
  if (!IsInView(item)) EnsureVisible(item);
  if (InplaceEditor() != nullptr) {
    if (editing_ && InplaceEditor()->Visible()) EndEdit(true);
    FreeEditor();
  }
  int s = sectionNumber;
  if (HeaderShown()) {
    if (s == -1) s = MainSection();
  } else {
    // Without a header only the main column is there to edit.
    if (s != -1 && s != MainSection()) return;
    s = -1;
  }
  TMtHeaderSection* section = s >= 0 ? HeaderSections()->FindByNumber(s) : nullptr;
  if (s != -1 && (section == nullptr || !section->Visible())) return;
  SetEditedItem(item, s);

  // The cell's type: its style's when the item uses styles, else the section's.
  TFieldTypes cellType = section ? section->FieldType() : sftText;
  const bool mainCell = s == -1 || s == MainSection();
  if (item->UseStyles) {
    const TMtCellStyle* style = item->MainStyle();
    if (!mainCell) {
      const int index = s > MainSection() ? s - 1 : s;
      if (index < item->StyleCount()) style = item->Styles(index);
    }
    if (style != nullptr) cellType = style->CellType;
  }
  bool canEdit = true;
  const unsigned deletions = Deletions();
  if (!Destroying()) DoTryEdit(item, section, cellType, canEdit);
  if (!canEdit || EditedItem() != item || (Deletions() != deletions && !HoldsItem(item))) {
    SetEditedItem(nullptr, -1);
    return;
  }
  if (cellType == sftCustom || cellType == sftPicture || cellType == sftBLOB) {
    editing_ = true;
    DoEditRequest(item, section);
    editing_ = false;
    SetEditedItem(nullptr, -1);
    return;
  }

  // Where the box goes: over the cell's text as it is painted, over the item's row. The
  // main column's text cell runs from the text start to the cell's end; mirrored, from the
  // cell's left edge to the text start next to the images, and the text reads from the
  // right. Other columns: the section's cell, aligned as its text.
  int cellLeft = 0, cellRight = 0;
  const int row = RowOf(item);
  const int rowTop = MtRowTop(row, HeaderHeight(), lineHeight_, topIndex_);
  Qt::Alignment alignment = Qt::AlignLeft;
  const bool mirrored = mainCell && look_.RightAligned;
  if (mainCell) {
    MainColumnSpan(cellLeft, cellRight);
    const TMtMainCell layout = MainCellOf(item, rowTop);
    if (mirrored) {
      cellRight = layout.TextRight;
      alignment = Qt::AlignRight;
    } else {
      cellLeft = layout.TextLeft;
    }
  } else {
    for (const TColumn& c : Columns())
      if (c.Section == section) {
        cellLeft = c.Left;
        cellRight = c.Right;
      }
    if (section->Alignment() == hsaCenter) alignment = Qt::AlignHCenter;
    else if (section->Alignment() == hsaRight || rightAlignedText_) alignment = Qt::AlignRight;
  }
  // The edge the text starts from is brought into view.
  const int edge = mirrored ? cellRight - 1 : cellLeft;
  if (edge < leftPosition_ || edge >= leftPosition_ + ClientWidth())
    SetLeftPosition(mirrored ? cellRight - ClientWidth() : cellLeft);
  const int top = MtRowTop(RowOf(item), HeaderHeight(), lineHeight_, topIndex_);
  const int left = cellLeft - leftPosition_;
  const int right = std::min(cellRight - leftPosition_, ClientWidth());
  AnsiString text;
  if (mainCell) {
    text = item->Text();
  } else {
    const int index = s > MainSection() ? s - 1 : s;
    if (index < item->ColumnText().Count()) text = item->ColumnText()[index];
  }
  savedHideSelection_ = HideSelection;
  HideSelection = false;

  if (cellType == sftEnum) {
    combo_ = new TComboBox(viewport(), TComboBoxStyle::csDropDownList);
    combo_->setObjectName("InplaceCombo");
    combo_->setContextMenuPolicy(Qt::PreventContextMenu);
    combo_->hide();
    combo_->OnExit = [this](TObject*) { EndEdit(false); };
    combo_->OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState shift) { EditorKeyDown(key, shift); };
    DoComboEditShow(item, section, combo_);
    if (!combo_ || EditedItem() != item) return;
    if (combo_->ItemIndex() < 0 && combo_->count() > 0) combo_->SetItemIndex(0);
    // The tree's own font: a smaller one is unreadable in a row of this height.
    combo_->SetFont(Font());
    const int h = std::max(combo_->sizeHint().height(), lineHeight_);
    combo_->SetBounds(left, top, std::max(right - left, 1), h);
    combo_->show();
    combo_->raise();
    combo_->SetFocus();
    editing_ = true;
    return;
  }

  edit_ = new TEdit(viewport());
  edit_->setObjectName("InplaceEdit");
  edit_->setContextMenuPolicy(Qt::PreventContextMenu);
  edit_->setFrame(true);
  edit_->hide();
  edit_->OnExit = [this](TObject*) { EndEdit(false); };
  edit_->OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState shift) { EditorKeyDown(key, shift); };
  edit_->SetFont(Font());
  const int h = std::max(TQtTextMetrics::Instance().TextHeight(Font()) + 2, lineHeight_);
  edit_->SetBounds(left, top, std::max(right - left, 1), h);
  edit_->setAlignment(alignment | Qt::AlignVCenter);
  edit_->SetText(text);
  edit_->SetModified(false);
  edit_->SelectAll();
  DoTuneUpInplaceEdit(item, s, edit_);
  if (!edit_ || EditedItem() != item) return;
  edit_->show();
  edit_->raise();
  edit_->SetFocus();
  editing_ = true;
}

void TCustomMtTreeView::EditorKeyDown(std::uint16_t& key, TShiftState shift) {
  if (shift & (ssShift | ssCtrl | ssAlt)) return;
  if (key == VK_RETURN || key == VK_ESCAPE) {
    const bool cancel = key == VK_ESCAPE;
    key = 0;
    EndEdit(cancel);
  }
}

void TCustomMtTreeView::EndEdit(bool cancel) {
  if (InValidation()) return;
  HideSelection = editing_ ? savedHideSelection_ : HideSelection;
  TWinControl* editor = InplaceEditor();
  TMtTreeItem* item = EditedItem();
  const int s = EditedSection();
  if (editor != nullptr && item != nullptr && editor->Visible()) {
    TMtHeaderSection* section = s >= 0 ? HeaderSections()->FindByNumber(s) : nullptr;
    const unsigned deletions = Deletions();
    auto alive = [&] { return EditedItem() == item && (Deletions() == deletions || HoldsItem(item)); };
    // The editor's focus loss from here on is no new end of the edit.
    editor->OnExit = nullptr;
    if (edit_) {
      bool accept = !cancel && edit_->Modified();
      AnsiString text = accept ? edit_->Text() : AnsiString();
      {
        TValidationGuard guard(*this);
        DoValidate(item, section, text, accept);
      }
      if (alive() && accept) {
        if (s == -1 || s == MainSection()) {
          item->SetText(text);
        } else {
          const int index = s > MainSection() ? s - 1 : s;
          TStringList& columns = item->ColumnText();
          while (columns.Count() <= index) columns.Add("");
          if (alive()) item->ColumnText().SetString(index, text);
        }
      }
    } else if (combo_) {
      bool accept = !cancel;
      TValidationGuard guard(*this);
      DoValidateCombo(item, section, combo_, accept);
    }
    if (InplaceEditor() != nullptr) InplaceEditor()->Widget()->hide();
    if (alive() && !Destroying()) RedrawItem(item);
    SetEditedItem(nullptr, -1);
    if (!Destroying() && CanFocus()) SetFocus();
  } else {
    FreeEditor();
    SetEditedItem(nullptr, -1);
    if (!Destroying() && CanFocus() && editing_) SetFocus();
  }
  editing_ = false;
}

// ---------------------------------------------------------------------------------
// Event firers

void TCustomMtTreeView::DoTryEdit(TMtTreeItem* item, TMtHeaderSection* section, TFieldTypes& cellType,
                                  bool& canEdit) {
  if (OnTryEdit) OnTryEdit(static_cast<TCustomMtTree*>(this), item, section, cellType, canEdit);
}

void TCustomMtTreeView::DoEditRequest(TMtTreeItem* item, TMtHeaderSection* section) {
  if (OnEditRequest) OnEditRequest(static_cast<TCustomMtTree*>(this), item, section);
}

void TCustomMtTreeView::DoComboEditShow(TMtTreeItem* item, TMtHeaderSection* section, TComboBox* combo) {
  if (OnComboEditShow) OnComboEditShow(static_cast<TCustomMtTree*>(this), item, section, combo);
}

void TCustomMtTreeView::DoTuneUpInplaceEdit(TMtTreeItem* item, int sectionIndex, TEdit* editor) {
  if (OnTuneUpInplaceEdit) OnTuneUpInplaceEdit(static_cast<TCustomMtTree*>(this), item, sectionIndex, editor);
}

void TCustomMtTreeView::DoValidate(TMtTreeItem* item, TMtHeaderSection* section, AnsiString& text, bool& accept) {
  if (OnValidateInplaceEdit) OnValidateInplaceEdit(static_cast<TCustomMtTree*>(this), item, section, text, accept);
}

void TCustomMtTreeView::DoValidateCombo(TMtTreeItem* item, TMtHeaderSection* section, TComboBox* combo,
                                        bool& accept) {
  if (OnValidateCombo) OnValidateCombo(static_cast<TCustomMtTree*>(this), item, section, combo, accept);
}
