// The flat speed button: a button without a window of its own that shows a glyph (and
// a caption), flat or raised, with the up, disabled, down, exclusive and inactive
// states, groups that latch like radio buttons, auto-repeat and a drop-down menu.
//
//   press (left, enabled)  state down unless latched; a drop-down menu pops up below
//                          the button instead; with AllowTimer the repeat timer starts
//                          (InitPause, then every RepeatInterval a click while the
//                          button is held down)
//   move while pressed     inside: down (exclusive when latched); outside: up
//                          (exclusive when latched)
//   release                outside a group back to up; in a group a release inside
//                          toggles Down; a release inside clicks; outside nothing
//   click                  the form's ModalResult := ModalResult, then OnClick
//   groups                 Down needs a GroupIndex; with AllowAllUp off a latched
//                          button cannot be released; latching one releases the other
//                          latched buttons of its group among its siblings, which
//                          take over its AllowAllUp
//   enabled                a disabled button is in the disabled state; re-enabled it
//                          returns to exclusive (latched) or up
#pragma once

#include <QPointer>
#include <memory>

#include "controls/misc/ButtonGlyph.h"
#include "platform/core/MsgDlg.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"

class QMenu;

class TFlatSpeedButton : public TGraphicControl {
 public:
  explicit TFlatSpeedButton(QWidget* parent = nullptr);
  ~TFlatSpeedButton() override;

  const TBitmap& Glyph() const { return glyph_.Glyph(); }
  void SetGlyph(const TBitmap& glyph);
  int NumGlyphs() const { return glyph_.NumGlyphs(); }
  void SetNumGlyphs(int n);
  AnsiString Caption;
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  bool GrayedInactive = true;
  bool Transparent = false;
  bool MarkDropDown = true;
  QPointer<QMenu> DropDownMenu;
  TModalResult ModalResult = mrNone;

  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  bool Down() const { return down_; }
  void SetDown(bool v);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v);

  bool AllowTimer = false;
  int InitPause = 500;
  int RepeatInterval = 100;

  TButtonState State() const { return state_; }
  // The state as drawn: a flat button the pointer is not over is inactive.
  TButtonState PaintState() const;
  bool MouseInControl() const { return mouseInControl_; }
  // The repeat timer (nil until first needed); tests call its Timer().
  TTimer* RepeatTimer() const { return timer_.get(); }

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void Click() override;
  void DblClick() override;
  void EnabledChanged() override;
  void Paint(TCanvas& canvas) override;

 private:
  void SetState(TButtonState s);
  void UpdateExclusive();
  void TimerTick();
  bool Latched() const { return groupIndex_ != 0 && down_; }

  TFlatButtonGlyph glyph_;
  TButtonState state_ = TButtonState::bsUp;
  bool flat_ = false;
  int groupIndex_ = 0;
  bool down_ = false, allowAllUp_ = false;
  bool dragging_ = false;
  bool mouseInControl_ = false;
  bool repeating_ = false;  // the timer has passed its initial pause
  std::unique_ptr<TTimer> timer_;
};
