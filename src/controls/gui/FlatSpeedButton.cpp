#include "controls/gui/FlatSpeedButton.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

TFlatSpeedButton::TFlatSpeedButton(QWidget* parent) : TCustomSpeedButton(parent, TSpeedButtonKind::sbkFlat) {
  resize(25, 25);
  SetLayout(TButtonLayout::blGlyphTop);
  SetSpacing(1);
  ShowHint = true;
  ParentShowHint = false;
}

TFlatSpeedButton::~TFlatSpeedButton() { QObject::disconnect(actionLink_); }

TSpeedButtonLook TFlatSpeedButton::Look() const {
  TSpeedButtonLook look = TCustomSpeedButton::Look();
  look.Transparent = Transparent;
  look.Style = Style;
  look.TextFlags = (Alignment == TAlignment::taLeftJustify    ? DT_LEFT
                    : Alignment == TAlignment::taRightJustify ? DT_RIGHT
                                                                     : DT_CENTER) |
                   (WordWrap ? DT_WORDBREAK : 0u);
  look.DropDownRoom = MarkDropDown && DropDownMenu() ? 9 : 0;
  return look;
}

bool TFlatSpeedButton::TracksPointer() const { return Enabled() && QApplication::activeWindow(); }

void TFlatSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomSpeedButton::MouseDown(Button, Shift, X, Y);
  if (!dragging_) return;
  if (TPopupMenu* menu = DropDownMenu(); menu && menu->AutoPopup) {
    // The menu takes the press: it pops up below the button and the press ends here.
    dragging_ = false;
    PopUpDropDownMenu();
    return;
  }
  if (AllowTimer) {
    if (!timer_) {
      timer_ = std::make_unique<TTimer>();
      timer_->SetOnTimer([this](TObject*) { TimerTick(); });
    }
    repeating_ = false;
    timer_->SetInterval(InitPause);
    timer_->SetEnabled(true);
  }
}

TPopupMenu* TFlatSpeedButton::DropDownMenu() const { return dropDownGuard_ ? dropDownMenu_ : nullptr; }

void TFlatSpeedButton::SetDropDownMenu(TPopupMenu* menu) {
  dropDownMenu_ = menu;
  dropDownGuard_ = menu ? menu->Menu() : nullptr;
  Invalidate();
}

void TFlatSpeedButton::PopUpDropDownMenu() {
  QMenu* menu = dropDownMenu_->Menu();
  if (hookedMenu_ != menu) {  // once per menu
    hookedMenu_ = menu;
    QObject::connect(menu, &QMenu::aboutToHide, this, [this] { MenuClosed(); });
  }
  const int x = dropDownMenu_->Alignment == TPopupAlignment::paRight    ? width()
                : dropDownMenu_->Alignment == TPopupAlignment::paCenter ? width() / 2
                                                                         : 0;
  const TPoint at = ClientToScreen({x, height()});
  menuTracking_ = true;
  dropDownMenu_->Popup(at.X, at.Y);
}

void TFlatSpeedButton::MenuClosed() {
  if (!menuTracking_) return;
  menuTracking_ = false;
  SetState(!Enabled() ? TButtonState::bsDisabled : Latched() ? TButtonState::bsExclusive : TButtonState::bsUp);
}

bool TFlatSpeedButton::DialogChar(char c) {
  if (!Enabled() || !isVisible() || !IsAccelerator(c, Caption())) return false;
  Click();
  return true;
}

void TFlatSpeedButton::TimerTick() {
  if (!repeating_) {
    repeating_ = true;
    timer_->SetInterval(RepeatInterval);
  }
  if (dragging_ && State() == TButtonState::bsDown) Click();
  else timer_->SetEnabled(false);
}

void TFlatSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (timer_) timer_->SetEnabled(false);
  TCustomSpeedButton::MouseUp(Button, Shift, X, Y);
}

void TFlatSpeedButton::Click() {
  if (TForm* form = TForm::ParentForm(this); form && ModalResult != mrNone) form->SetModalResult(ModalResult);
  if (TAction* action = Action(); action && !OnClick) action->Execute();
  else TCustomSpeedButton::Click();
}

TAction* TFlatSpeedButton::Action() const { return actionGuard_ ? action_ : nullptr; }

void TFlatSpeedButton::SetAction(TAction* action) {
  QObject::disconnect(actionLink_);
  if (glyphFromAction_) SetGlyph(TBitmap());
  glyphFromAction_ = false;
  action_ = action;
  actionGuard_ = action ? action->QtAction() : nullptr;
  if (!actionGuard_) return;
  actionLink_ = QObject::connect(actionGuard_.data(), &QAction::changed, this, [this] { ActionChanged(); });
  ActionChanged();
}

void TFlatSpeedButton::ActionChanged() {
  TAction* action = Action();
  if (!action) return;
  SetCaption(action->Caption());
  Hint = action->Hint();
  setEnabled(action->Enabled());
  setVisible(action->Visible());
  if (GroupIndex() != 0) SetDown(action->Checked());
  // The action's image, while the button has no glyph of its own.
  if (!Glyph().Empty() && !glyphFromAction_) return;
  const TImageList* images = action->ActionList() ? action->ActionList()->Images : nullptr;
  if (!images || action->ImageIndex() < 0 || action->ImageIndex() >= images->Count()) {
    if (glyphFromAction_) SetGlyph(TBitmap());
    glyphFromAction_ = false;
    return;
  }
  const TBitmap& image = images->Image(action->ImageIndex());
  const TColor transparent = image.EffectiveTransparentColor();
  TBitmap glyph(image.Width(), image.Height(), clFuchsia);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      if (image.Pixel(x, y) != transparent) glyph.SetPixel(x, y, image.Pixel(x, y));
  glyph.Transparent = true;
  glyph.TransparentColor = clFuchsia;
  SetGlyph(glyph);
  glyphFromAction_ = true;
}
