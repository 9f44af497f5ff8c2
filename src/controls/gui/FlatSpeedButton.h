// The controls' flat speed button: the GUI kit's speed button (platform/gui/SpeedButton.h,
// which holds its look and its mouse and group rules) with the class's own defaults
// (25 x 25, glyph above the caption, Spacing 1), old or new style frames, a caption that
// may wrap and is aligned within its lines, a transparent face, auto-repeat, a drop-down
// menu and a modal result.
//
//   press (left, enabled)  as every speed button; a drop-down menu pops up below the
//                          button instead and the press ends there; with AllowTimer the
//                          repeat timer starts (InitPause, then every RepeatInterval a
//                          click while the button is held down)
//   click                  the form's ModalResult := ModalResult, then OnClick
//   enter                  counts only while the application is active
#pragma once

#include <QPointer>
#include <memory>

#include "platform/core/MsgDlg.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/SpeedButton.h"

class QMenu;

class TFlatSpeedButton : public TCustomSpeedButton {
 public:
  explicit TFlatSpeedButton(QWidget* parent = nullptr);
  ~TFlatSpeedButton() override;

  bool Transparent = false;
  bool MarkDropDown = true;
  QPointer<QMenu> DropDownMenu;
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

 protected:
  bool TracksPointer() const override;

 private:
  void TimerTick();
  bool repeating_ = false;  // the timer has passed its initial pause
  std::unique_ptr<TTimer> timer_;
};
