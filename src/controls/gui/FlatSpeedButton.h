// The controls' flat speed button: the GUI kit's speed button (platform/gui/SpeedButton.h,
// which holds its look and its mouse and group rules) with the class's own defaults
// (25 x 25, glyph above the caption, Spacing 1), old or new style frames, a caption that
// may wrap and is aligned within its lines, a transparent face, auto-repeat, a drop-down
// menu and a modal result.
//
//   press (left, enabled)  as every speed button; a drop-down menu that pops up by itself
//                          (AutoPopup) pops up below the button instead, at its left
//                          edge, right edge or middle by the menu's Alignment, and the
//                          press ends there: the button stays down while the menu is
//                          open and nothing clicks (a press that closes the menu goes no
//                          further: Qt does not hand it on); with AllowTimer the repeat
//                          timer starts
//                          (InitPause, then every RepeatInterval a click while the
//                          button is held down)
//   click                  the form's ModalResult := ModalResult, then OnClick
//   enter                  counts only while the application is active
//   accelerator            Alt and the letter marked with "&" in the caption click an
//                          enabled, visible button (DialogChar)
//   action                 a bound action gives its caption, hint, enabled and visible
//                          state (Checked gives Down in a group) and runs when the
//                          button clicks without an OnClick; a button without a glyph
//                          shows the action's image, copied onto a fuchsia ground that
//                          is the glyph's transparent colour
#pragma once

#include <QMenu>
#include <QPointer>
#include <memory>

#include "platform/core/MsgDlg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/SpeedButton.h"

class TAction;
class TPopupMenu;

class TFlatSpeedButton : public TCustomSpeedButton {
 public:
  explicit TFlatSpeedButton(QWidget* parent = nullptr);
  ~TFlatSpeedButton() override;

  bool Transparent = false;
  bool MarkDropDown = true;
  // Not owned; forgotten when the menu goes.
  TPopupMenu* DropDownMenu() const;
  void SetDropDownMenu(TPopupMenu* menu);
  // Not owned; forgotten when the action goes.
  TAction* Action() const;
  void SetAction(TAction* action);
  // The drop-down menu is open (popped up by a press).
  bool MenuTracking() const { return menuTracking_; }
  TModalResult ModalResult = mrNone;
  TButtonStyle Style = TButtonStyle::bsAutoDetect;
  // The caption's lines within their box, and whether it wraps between words.
  TAlignment Alignment = TAlignment::taCenter;
  bool WordWrap = false;

  bool AllowTimer = false;
  int InitPause = 500;
  int RepeatInterval = 100;
  // The repeat timer (nil until first needed); tests call its Timer().
  TTimer* RepeatTimer() const { return timer_.get(); }

  TSpeedButtonLook Look() const override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Click() override;
  bool DialogChar(char c) override;

 protected:
  bool TracksPointer() const override;

 private:
  void TimerTick();
  void PopUpDropDownMenu();
  void ActionChanged();
  TAction* action_ = nullptr;
  QPointer<QAction> actionGuard_;  // the action's QAction: gone with the action
  QMetaObject::Connection actionLink_;
  bool glyphFromAction_ = false;
  void MenuClosed();
  TPopupMenu* dropDownMenu_ = nullptr;
  QPointer<QMenu> dropDownGuard_;  // the menu's window: gone with the menu
  QPointer<QMenu> hookedMenu_;     // the menu that reports its closing here
  bool menuTracking_ = false;
  bool repeating_ = false;  // the timer has passed its initial pause
  std::unique_ptr<TTimer> timer_;
};
