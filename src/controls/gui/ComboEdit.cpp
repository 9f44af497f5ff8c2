#include "controls/gui/ComboEdit.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QScreen>
#include <utility>

#include "controls/gui/BrowseFolderDlg.h"
#include "controls/misc/FileUtil.h"
#include "platform/core/DrawUtils.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/QtGraphics.h"

void TEditButton::Paint(TCanvas& canvas) {
  TFlatSpeedButton::Paint(canvas);
  if (State() == TButtonState::bsDown || State() == TButtonState::bsExclusive) return;
  TCanvasState keep(canvas);
  canvas.Pen.Color = clBtnFace;
  canvas.MoveTo(0, 0);
  canvas.LineTo(0, ClientHeight());
  canvas.Pen.Color = clBtnHighlight;
  canvas.MoveTo(1, 1);
  canvas.LineTo(1, ClientHeight() - 2);
}

// ---------------------------------------------------------------------------------

namespace {

// The caret of a combo edit: 1 pixel wide, 2 with a bold font.
class TCaretStyle : public QProxyStyle {
 public:
  explicit TCaretStyle(const QWidget* edit) : edit_(edit) {}
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_TextCursorWidth) return edit_->font().bold() ? 2 : 1;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

 private:
  const QWidget* edit_;
};

}  // namespace

TCustomComboEdit::TCustomComboEdit(QWidget* parent)
    : TEdit(parent), button_(nullptr), container_(new QWidget(this)) {
  container_->setObjectName("ButtonContainer");
  button_ = new TEditButton(container_);
  button_->setObjectName("Button");
  button_->SetCursor(crArrow);
  // The edit takes the focus first, then the button handles the press. It is entered
  // with the mouse: its text is not selected, so that the directory edit's chosen folder
  // does not take the place of a selection the edit never showed.
  button_->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState, int, int) {
    if (b == TMouseButton::mbLeft && TabStop() && CanFocus() && !Focused()) setFocus(Qt::MouseFocusReason);
  };
  button_->OnClick = [this](TObject*) { EditButtonClick(); };
  auto* caret = new TCaretStyle(this);
  caret->setParent(this);
  setStyle(caret);
  setMinimumHeight(MinHeight());
  resize(121, 21);
  Layout();
}

void TCustomComboEdit::changeEvent(QEvent* e) {
  TEdit::changeEvent(e);
  // The look of the font colours every group alike: a disabled edit draws its text grey,
  // unless its background already is that grey (then in the font's colour).
  if (e->type() != QEvent::PaletteChange && e->type() != QEvent::EnabledChange) return;
  const bool greyBackground = ColorToRGB(Color()) == ColorToRGB(clGrayText);
  const QColor wanted = ToQColor(greyBackground ? Font().Color : clGrayText);
  if (palette().color(QPalette::Disabled, QPalette::Text) == wanted) return;
  QPalette pal = palette();
  pal.setColor(QPalette::Disabled, QPalette::Text, wanted);
  setPalette(pal);
}

void TCustomComboEdit::DoEnter() {
  entering_ = true;
  TEdit::DoEnter();
}

void TCustomComboEdit::focusInEvent(QFocusEvent* e) {
  TEdit::focusInEvent(e);
  const bool entered = std::exchange(entering_, false);
  // Entering selects the text where it may be typed over (not when entered with the
  // mouse, whose press places the caret); tabbing in selects nothing where it may not.
  if (!TypingAllowed()) {
    if (e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason ||
        e->reason() == Qt::ShortcutFocusReason)
      deselect();
  } else if (entered && e->reason() != Qt::MouseFocusReason) {
    selectAll();
  }
}

// Where typing is not allowed (no direct input, or read-only), dropped text is refused as
// typed text is (dropped files are the directory edit's own matter: they arrive as
// addresses).
namespace {
bool RefusedDrop(const TCustomComboEdit& edit, const QMimeData* data) {
  return !edit.TypingAllowed() && data != nullptr && !data->hasUrls();
}
}  // namespace

void TCustomComboEdit::dragEnterEvent(QDragEnterEvent* e) {
  if (RefusedDrop(*this, e->mimeData())) return e->ignore();
  TEdit::dragEnterEvent(e);
}

void TCustomComboEdit::dragMoveEvent(QDragMoveEvent* e) {
  if (RefusedDrop(*this, e->mimeData())) return e->ignore();
  TEdit::dragMoveEvent(e);
}

void TCustomComboEdit::dropEvent(QDropEvent* e) {
  if (RefusedDrop(*this, e->mimeData())) return e->ignore();
  TEdit::dropEvent(e);
}

void TCustomComboEdit::mouseReleaseEvent(QMouseEvent* e) {
  // The middle button pastes the window system's selection: a paste like any other.
  if (e->button() == Qt::MiddleButton && !TypingAllowed()) return e->accept();
  TEdit::mouseReleaseEvent(e);
}

void TCustomComboEdit::SetDirectInput(bool v) {
  directInput_ = v;
  setProperty(kNoTypingProperty, !TypingAllowed());
}

void TCustomComboEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  setProperty(kNoTypingProperty, !TypingAllowed());
}

void TCustomComboEdit::SetButtonWidth(int w) {
  buttonWidth_ = std::max(w, 0);
  ApplyGlyph();
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind kind) {
  glyphKind_ = kind;
  ApplyGlyph();
}

void TCustomComboEdit::SetGlyph(const TBitmap& glyph) {
  customGlyph_ = glyph;
  glyphKind_ = TGlyphKind::gkCustom;
  ApplyGlyph();
}

void TCustomComboEdit::ApplyGlyph() {
  TBitmap glyph;
  switch (glyphKind_) {
    case TGlyphKind::gkCustom: glyph = customGlyph_; break;
    case TGlyphKind::gkDefault: glyph = GetButtonBitmap(); break;
    case TGlyphKind::gkDropDown: glyph = DropDownGlyph(); break;
    case TGlyphKind::gkEllipsis: glyph = EllipsisGlyph(buttonWidth_); break;
  }
  button_->SetGlyph(glyph);
  if (glyphKind_ == TGlyphKind::gkDefault) button_->SetNumGlyphs(1);
  buttonWidth_ = ComboEditButtonWidth(glyphKind_, buttonWidth_, glyph, button_->NumGlyphs(),
                                      GetSystemMetrics(SM_CXVSCROLL));
  Layout();
}

int TCustomComboEdit::MinHeight() const {
  const int system = TQtTextMetrics::Instance().TextHeight(TFont{});
  const int own = TQtTextMetrics::Instance().TextHeight(Font());
  return ComboEditMinHeight(system, own, GetSystemMetrics(SM_CYBORDER));
}

void TCustomComboEdit::Layout() {
  // The edit's frame takes 2 pixels at each side; the button sits inside it.
  const int w = buttonWidth_;
  container_->setVisible(w > 1);
  container_->setGeometry(width() - w - 2, 2, w, std::max(height() - 4, 0));
  button_->setGeometry(0, 0, w, container_->height());
  setTextMargins(0, 0, container_->isVisibleTo(this) ? w + 2 : 0, 0);
}

void TCustomComboEdit::resizeEvent(QResizeEvent* e) {
  TEdit::resizeEvent(e);
  Layout();
}

void TCustomComboEdit::FontChanged() {
  TEdit::FontChanged();
  // Qt keeps every later resize at least this high, shown or not.
  setMinimumHeight(MinHeight());
  Layout();
}

void TCustomComboEdit::EditButtonClick() {
  if (readOnly_ && !AlwaysEnable) return;
  ButtonClick();
}

void TCustomComboEdit::ButtonClick() {
  if (OnButtonClick) OnButtonClick(this);
  if (!popup_) return;
  if (popupVisible_) PopupCloseUp(true);
  else DropDownPopup();
}

// Popup ---------------------------------------------------------------------------------

void TCustomComboEdit::DropDownPopup() {
  if (!popup_ || popupVisible_ || GetReadOnly()) return;
  SetPopupValue(Text());
  const QPoint topLeft = mapToGlobal(QPoint(0, 0));
  const QRect screen = this->screen()->availableGeometry();
  ShowPopupAt(ComboPopupPosition(Bounds(topLeft.x(), topLeft.y(), width(), height()), popup_->Height(),
                                 Rect(screen.left(), screen.top(), screen.right() + 1, screen.bottom() + 1)));
}

void TCustomComboEdit::ShowPopupAt(TPoint at) {
  if (!popup_) return;
  popup_->Show(at);
  popupVisible_ = true;
}

void TCustomComboEdit::HidePopup() {
  if (!popup_) return;
  popup_->Hide();
  popupVisible_ = false;
}

void TCustomComboEdit::PopupCloseUp(bool accept) {
  if (!popup_ || !popupVisible_) return;
  const AnsiString value = GetPopupValue();
  HidePopup();
  if (accept && CanAcceptPopup(value)) AcceptPopupValue(value);
}

bool TCustomComboEdit::CanAcceptPopup(const AnsiString&) const { return true; }

void TCustomComboEdit::AcceptPopupValue(const AnsiString& value) {
  if (value == Text()) return;
  SetText(value);
  PopupValueChanged();
}

void TCustomComboEdit::SetPopupValue(const AnsiString& value) {
  if (popup_) popup_->SetValue(value);
}

AnsiString TCustomComboEdit::GetPopupValue() const { return popup_ ? popup_->Value() : AnsiString(); }

namespace {

// Keys that change the text without typing a character.
bool EditingKey(std::uint16_t key, TShiftState shift) {
  const TShiftState mods = shift & (ssShift | ssCtrl | ssAlt);
  if (key == VK_BACK || key == VK_DELETE) return true;
  if (mods == ssCtrl && (key == 'V' || key == 'X' || key == 'Z' || key == 'Y')) return true;
  if (mods == ssShift && key == VK_INSERT) return true;
  return false;
}

}  // namespace

void TCustomComboEdit::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  TEdit::KeyDown(Key, Shift);
  if (Key == 0) return;
  if (popupVisible_ && (Key == VK_RETURN || Key == VK_ESCAPE)) {
    PopupCloseUp(Key == VK_RETURN);
    Key = 0;
    return;
  }
  if (ShortCut(Key, Shift) == ClickKey && buttonWidth_ > 0) {
    EditButtonClick();
    Key = 0;
    return;
  }
  if (!TypingAllowed() && EditingKey(Key, Shift)) Key = 0;
}

void TCustomComboEdit::KeyPress(char& Key) {
  TEdit::KeyPress(Key);
  if (!TypingAllowed() && Key != 0 && Key != '\r' && Key != 27) Key = 0;
}

// ---------------------------------------------------------------------------------

void TComboEdit::SetAlignment(TAlignment a) {
  alignment_ = a;
  setAlignment(a == TAlignment::taRightJustify ? Qt::AlignRight
               : a == TAlignment::taCenter     ? Qt::AlignHCenter
                                                   : Qt::AlignLeft);
}

// ---------------------------------------------------------------------------------

TFileDirEdit::TFileDirEdit(QWidget* parent) : TCustomComboEdit(parent) {
  SetGlyphKind(TGlyphKind::gkDefault);
  SetAcceptFiles(true);
}

TBitmap TFileDirEdit::GetButtonBitmap() const {
  // One picture for every such edit, made once.
  static const TBitmap bitmap = DirectoryEditGlyph();
  return bitmap;
}

void TFileDirEdit::DropFiles(const std::vector<AnsiString>& names) {
  ClearBeforeDrop();
  for (const AnsiString& name : names) {
    AcceptDroppedPath(name);
    if (!TakesSeveralDrops()) break;
  }
  if (OnDropFiles) OnDropFiles(this);
}

// ---------------------------------------------------------------------------------

AnsiString TDirectoryEdit::GetLongName() const { return ConvertDirText(Text(), MultipleDirs, &ShortToLongPath); }
AnsiString TDirectoryEdit::GetShortName() const { return ConvertDirText(Text(), MultipleDirs, &LongToShortPath); }

void TDirectoryEdit::ButtonClick() {
  TCustomComboEdit::ButtonClick();
  AnsiString name = Text();
  bool action = true;
  if (OnBeforeDialog) OnBeforeDialog(this, name, action);
  if (!action) return;
  name = DirectoryDialogStart(name, InitialDir);
  // The new-style look is always on here.
  action = DialogKind == TDirDialogKind::dkWin32 ? BrowseDirectory(name, DialogText, HelpContext)
                                                 : SelectDirectory(name, DialogOptions, HelpContext);
  if (CanFocus()) SetFocus();
  if (OnAfterDialog) OnAfterDialog(this, name, action);
  if (!action) return;
  if (hasSelectedText()) del();
  SetText(TextWithChosenDir(Text(), name, MultipleDirs));
  if (DirExists(name)) InitialDir = name;
}

void TDirectoryEdit::AcceptDroppedPath(const AnsiString& path) {
  SetText(TextWithChosenDir(Text(), ::AcceptDroppedPath(path), MultipleDirs));
}
