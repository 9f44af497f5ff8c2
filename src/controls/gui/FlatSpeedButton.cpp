#include "controls/gui/FlatSpeedButton.h"

#include <QApplication>
#include <QMenu>

#include "platform/core/DrawUtils.h"
#include "platform/gui/Forms.h"

TFlatSpeedButton::TFlatSpeedButton(QWidget* parent) : TGraphicControl(parent) {
  resize(25, 25);
  SetColor(clBtnFace);
  ShowHint = true;
  ParentShowHint = false;
}

TFlatSpeedButton::~TFlatSpeedButton() = default;

void TFlatSpeedButton::SetGlyph(const TBitmap& glyph) {
  glyph_.SetGlyph(glyph);
  Invalidate();
}

void TFlatSpeedButton::SetNumGlyphs(int n) {
  glyph_.SetNumGlyphs(n);
  Invalidate();
}

void TFlatSpeedButton::SetFlat(bool v) {
  flat_ = v;
  Invalidate();
}

void TFlatSpeedButton::SetState(TButtonState s) {
  if (s == state_) return;
  state_ = s;
  Invalidate();
}

TButtonState TFlatSpeedButton::PaintState() const {
  if (flat_ && !mouseInControl_ && state_ != TButtonState::bsDisabled && !dragging_) return TButtonState::bsInactive;
  return state_;
}

// Groups -----------------------------------------------------------------------------

void TFlatSpeedButton::SetGroupIndex(int v) {
  groupIndex_ = v;
  UpdateExclusive();
}

void TFlatSpeedButton::SetAllowAllUp(bool v) {
  allowAllUp_ = v;
  UpdateExclusive();
}

void TFlatSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (down_ && !allowAllUp_) return;
  down_ = v;
  if (Enabled()) SetState(v ? TButtonState::bsExclusive : TButtonState::bsUp);
  Invalidate();
  if (v) UpdateExclusive();
}

void TFlatSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !parentWidget()) return;
  // What the class library broadcasts to the siblings.
  for (QObject* o : parentWidget()->children()) {
    auto* other = dynamic_cast<TFlatSpeedButton*>(o);
    if (!other || other == this || other->groupIndex_ != groupIndex_) continue;
    if (down_ && other->down_) {
      other->down_ = false;
      other->SetState(other->Enabled() ? TButtonState::bsUp : TButtonState::bsDisabled);
    }
    other->allowAllUp_ = allowAllUp_;
  }
}

// Mouse ------------------------------------------------------------------------------

void TFlatSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != TMouseButton::mbLeft || !Enabled()) return;
  if (!down_) SetState(TButtonState::bsDown);
  dragging_ = true;
  if (DropDownMenu) {
    // The menu takes the press: it pops up below the button and the press ends here.
    dragging_ = false;
    DropDownMenu->popup(mapToGlobal(QPoint(0, height())));
    SetState(Latched() ? TButtonState::bsExclusive : TButtonState::bsUp);
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

void TFlatSpeedButton::TimerTick() {
  if (!repeating_) {
    repeating_ = true;
    timer_->SetInterval(RepeatInterval);
  }
  if (dragging_ && state_ == TButtonState::bsDown) Click();
  else timer_->SetEnabled(false);
}

void TFlatSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!dragging_) return;
  const bool inside = ClientRect().Contains({X, Y});
  if (down_) SetState(TButtonState::bsExclusive);
  else SetState(inside ? TButtonState::bsDown : TButtonState::bsUp);
}

void TFlatSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  // The base step would click on any release inside: the button decides itself.
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
  if (timer_) timer_->SetEnabled(false);
  if (Button != TMouseButton::mbLeft || !dragging_) return;
  dragging_ = false;
  const bool inside = ClientRect().Contains({X, Y});
  if (groupIndex_ == 0) {
    SetState(TButtonState::bsUp);
    mouseInControl_ = mouseInControl_ && inside;
  } else if (inside) {
    SetDown(!down_);
    SetState(down_ ? TButtonState::bsExclusive : TButtonState::bsUp);
  } else {
    SetState(down_ ? TButtonState::bsExclusive : TButtonState::bsUp);
  }
  Invalidate();
  // An auto-repeat button has clicked while it was held; the release adds its own.
  if (inside) Click();
}

void TFlatSpeedButton::MouseEnter() {
  if (Enabled() && QApplication::activeWindow()) {
    mouseInControl_ = true;
    if (flat_) Invalidate();
  }
  TGraphicControl::MouseEnter();
}

void TFlatSpeedButton::MouseLeave() {
  if (Enabled() && !dragging_) {
    mouseInControl_ = false;
    if (flat_) Invalidate();
  }
  TGraphicControl::MouseLeave();
}

void TFlatSpeedButton::Click() {
  if (TForm* form = TForm::ParentForm(this); form && ModalResult != mrNone) form->SetModalResult(ModalResult);
  TGraphicControl::Click();
}

void TFlatSpeedButton::DblClick() {
  if (down_) TGraphicControl::DblClick();
}

void TFlatSpeedButton::EnabledChanged() {
  if (!Enabled()) {
    dragging_ = false;
    SetState(TButtonState::bsDisabled);
  } else {
    SetState(Latched() ? TButtonState::bsExclusive : TButtonState::bsUp);
  }
  TGraphicControl::EnabledChanged();
}

// Painting ---------------------------------------------------------------------------

void TFlatSpeedButton::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  const TButtonState shown = PaintState();
  if (!Transparent) FillSolidRect(canvas, r.Left, r.Top, r.Width(), r.Height(), clBtnFace);
  const bool pressed = shown == TButtonState::bsDown || shown == TButtonState::bsExclusive;
  if (shown == TButtonState::bsInactive && !Latched()) {
    r = InflateRect(r, -2, -2);
  } else {
    if (pressed) {
      Draw3DRect(canvas, r, clWindowFrame, clBtnHighlight);
      if (!flat_) Draw3DRect(canvas, InflateRect(r, -1, -1), clBtnShadow, clBtnFace);
    } else if (flat_) {
      Draw3DRect(canvas, r, clBtnHighlight, clBtnShadow);
    } else {
      Draw3DRect(canvas, r, clBtnHighlight, clWindowFrame);
      Draw3DRect(canvas, InflateRect(r, -1, -1), clBtnFace, clBtnShadow);
    }
    r = InflateRect(r, -1, -1);
  }
  if (shown == TButtonState::bsExclusive && !Transparent && (!flat_ || PaintState() == TButtonState::bsInactive)) {
    TCanvasState keep(canvas);
    canvas.Brush = DitherBrush(clBtnFace, clBtnHighlight);
    canvas.FillRect(InflateRect(r, -1, -1));
  }
  const int shift = pressed ? 1 : 0;
  // The image: the real state when disabled or without GrayedInactive.
  const TButtonState imageState = state_ == TButtonState::bsDisabled || !GrayedInactive ? state_ : shown;
  const TBitmap& image = glyph_.StateImage(imageState);
  const int dropRoom = MarkDropDown && DropDownMenu ? 9 : 0;
  const TRect client = ClientRect();
  int textWidth = 0;
  if (!Caption.empty()) {
    canvas.Font = Font();
    textWidth = canvas.TextWidth(Caption);
  }
  const int spacing = !image.Empty() && textWidth > 0 ? 1 : 0;
  const int contentWidth = image.Width() + spacing + textWidth + dropRoom;
  int x = (client.Width() - contentWidth) / 2 + shift;
  if (!image.Empty()) {
    canvas.Draw(x, (client.Height() - image.Height()) / 2 + shift, image);
    x += image.Width() + spacing;
  }
  if (textWidth > 0) {
    TCanvasState keep(canvas);
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.Font.Color = state_ == TButtonState::bsDisabled ? clGrayText : clBtnText;
    canvas.TextOut(x, (client.Height() - canvas.TextHeight()) / 2 + shift, Caption);
    x += textWidth;
  }
  if (dropRoom) {
    TCanvasState keep(canvas);
    const int cx = x + dropRoom - 4, cy = client.Height() / 2 + shift;
    canvas.Brush.Color = state_ == TButtonState::bsDisabled ? clGrayText : clBtnText;
    canvas.Pen.Color = canvas.Brush.Color;
    canvas.Polygon({{cx - 2, cy - 1}, {cx + 2, cy - 1}, {cx, cy + 1}});
  }
}
