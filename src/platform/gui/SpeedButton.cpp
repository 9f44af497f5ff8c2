#include "platform/gui/SpeedButton.h"

#include <algorithm>

#include "platform/core/DrawUtils.h"

TButtonContentLayout CalcButtonLayout(const TRect& client, TPoint glyphSize, TPoint textSize, TButtonLayout layout,
                                      int margin, int spacing) {
  const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
  const int along = horizontal ? client.Width() : client.Height();
  const int across = horizontal ? client.Height() : client.Width();
  const int g = horizontal ? glyphSize.X : glyphSize.Y;
  const int t = horizontal ? textSize.X : textSize.Y;
  const bool hasGlyph = glyphSize.X > 0 && glyphSize.Y > 0, hasText = textSize.X > 0 && textSize.Y > 0;
  if (!hasGlyph || !hasText) spacing = 0;
  if (margin == -1) {
    if (spacing == -1) {
      margin = (along - g - t) / 3;
      spacing = margin;
    } else {
      margin = (along - g - spacing - t) / 2;
    }
  } else if (spacing == -1) {
    spacing = (along - margin - g - t) / 2;
  }
  const bool glyphFirst = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphTop;
  const int glyphAt = glyphFirst ? margin : along - margin - g;
  const int textAt = glyphFirst ? margin + g + spacing : glyphAt - spacing - t;
  auto place = [&](int at, TPoint size) {
    const int w = size.X, h = size.Y;
    return horizontal ? Bounds(client.Left + at, client.Top + (across - h) / 2, w, h)
                      : Bounds(client.Left + (across - w) / 2, client.Top + at, w, h);
  };
  return {place(glyphAt, glyphSize), place(textAt, textSize)};
}

// ---------------------------------------------------------------------------------

namespace {

bool IsPressed(TButtonState s) { return s == TButtonState::bsDown || s == TButtonState::bsExclusive; }

// The frames of the controls' speed button; r shrinks to the inside.
void FlatKindFrame(TCanvas& c, TRect& r, const TSpeedButtonLook& look, TButtonState shown) {
  const bool latched = look.State == TButtonState::bsExclusive;
  if (shown == TButtonState::bsInactive && !latched) {
    r = InflateRect(r, -2, -2);
    return;
  }
  const bool pressed = IsPressed(shown) || latched;
  const TRect inner = InflateRect(r, -1, -1);
  if (look.Style != TButtonStyle::bsWin31) {
    if (pressed) {
      Draw3DRect(c, r, clWindowFrame, clBtnHighlight);
      if (!look.Flat) Draw3DRect(c, inner, clBtnShadow, clBtnFace);
    } else if (look.Flat) {
      Draw3DRect(c, r, clBtnHighlight, clBtnShadow);
    } else {
      Draw3DRect(c, r, clBtnHighlight, clWindowFrame);
      Draw3DRect(c, inner, clBtnFace, clBtnShadow);
    }
  } else if (pressed && !look.Flat) {
    // A window-frame rectangle and a shadow line along its inner left and top.
    Draw3DRect(c, r, clWindowFrame, clWindowFrame);
    FillSolidRect(c, inner.Left, inner.Top, inner.Width(), 1, clBtnShadow);
    FillSolidRect(c, inner.Left, inner.Top, 1, inner.Height(), clBtnShadow);
  } else if (pressed) {
    Draw3DRect(c, r, clWindowFrame, clBtnHighlight);
  } else if (!look.Flat) {
    Draw3DRect(c, r, clWindowFrame, clWindowFrame);
    Draw3DRect(c, inner, clBtnHighlight, clBtnShadow);
  } else {
    Draw3DRect(c, r, clBtnHighlight, clWindowFrame);
  }
  r = inner;
}

// The frames of the report windows' buttons; r shrinks to the inside.
void ReportKindFrame(TCanvas& c, TRect& r, const TSpeedButtonLook& look) {
  const bool down = IsPressed(look.State);
  if (!look.Flat) {
    Draw3DFrame(c, r, !down);
    r = InflateRect(r, -2, -2);
    return;
  }
  if (look.State != TButtonState::bsDisabled) {
    if (down) Draw3DRect(c, r, clBtnShadow, clBtnHighlight);
    else if (look.MouseInControl || look.DesignMode) Draw3DRect(c, r, clBtnHighlight, clBtnShadow);
  }
  r = InflateRect(r, -1, -1);
}

bool Checkered(const TSpeedButtonLook& look, TButtonState shown) {
  if (look.State != TButtonState::bsExclusive) return false;
  if (look.Kind == TSpeedButtonKind::sbkReport) return true;
  return !look.Transparent && (!look.Flat || shown == TButtonState::bsInactive);
}

void DrawCaption(TCanvas& c, const TSpeedButtonLook& look, const TRect& r, unsigned flags) {
  TCanvasState keep(c);
  c.Brush.Style = TBrushStyle::bsClear;
  TRect box = r;
  if (look.State == TButtonState::bsDisabled) {
    TRect shadow = OffsetRect(r, 1, 1);
    c.Font.Color = clBtnHighlight;
    c.DrawText(look.Caption, shadow, flags);
    c.Font.Color = clBtnShadow;
  } else {
    c.Font.Color = clBtnText;
  }
  c.DrawText(look.Caption, box, flags);
}

}  // namespace

TButtonState ShownState(const TSpeedButtonLook& look) {
  if (look.State == TButtonState::bsDisabled || !look.Flat || look.DesignMode || look.MouseInControl)
    return look.State;
  if (look.Kind == TSpeedButtonKind::sbkReport) return look.GrayedInactive ? TButtonState::bsInactive : look.State;
  return TButtonState::bsInactive;
}

TButtonState GlyphState(const TSpeedButtonLook& look) {
  const TButtonState shown = ShownState(look);
  if (look.Kind == TSpeedButtonKind::sbkReport) return shown;
  return look.State == TButtonState::bsDisabled || !look.GrayedInactive ? look.State : shown;
}

void PaintSpeedButton(TCanvas& canvas, const TRect& client, const TSpeedButtonLook& look, TButtonGlyph& glyph) {
  const TButtonState shown = ShownState(look);
  TRect r = client;
  if (!look.Transparent) FillSolidRect(canvas, r.Left, r.Top, r.Width(), r.Height(), clBtnFace);
  if (look.Kind == TSpeedButtonKind::sbkReport) ReportKindFrame(canvas, r, look);
  else FlatKindFrame(canvas, r, look, shown);
  if (Checkered(look, shown)) {
    TCanvasState keep(canvas);
    const TColor light = look.Kind == TSpeedButtonKind::sbkReport ? clWhite : clBtnHighlight;
    canvas.Brush = DitherBrush(clBtnFace, light);
    canvas.FillRect(look.Kind == TSpeedButtonKind::sbkReport ? r : InflateRect(r, -1, -1));
  }
  const bool pressed = look.Kind == TSpeedButtonKind::sbkReport
                           ? IsPressed(look.State)
                           : IsPressed(shown) || look.State == TButtonState::bsExclusive;
  const int shift = pressed ? 1 : 0;

  const TBitmap& image = glyph.StateImage(GlyphState(look));
  TRect room = OffsetRect(client, shift, shift);
  room.Right -= look.DropDownRoom;
  TRect text;
  const unsigned textFlags = DT_NOCLIP | (look.TextFlags & (DT_CENTER | DT_RIGHT | DT_WORDBREAK)) |
                             ((look.TextFlags & DT_WORDBREAK) ? 0u : DT_SINGLELINE);
  if (!look.Caption.empty()) {
    canvas.Font = look.Font;
    // A wrapped caption gets the width the glyph leaves (the whole width above or below it).
    const bool beside = look.Layout == TButtonLayout::blGlyphLeft || look.Layout == TButtonLayout::blGlyphRight;
    int width = room.Width() - 4;
    if (beside && !image.Empty()) width -= image.Width() + std::max(look.Spacing, 0);
    text = Rect(0, 0, std::max(width, 1), 0);
    canvas.DrawText(look.Caption, text, textFlags | DT_CALCRECT);
  }
  const TButtonContentLayout at =
      CalcButtonLayout(room, {image.Width(), image.Height()}, {text.Width(), text.Height()}, look.Layout,
                       look.Margin, look.Spacing);
  if (!image.Empty()) canvas.Draw(at.Glyph.Left, at.Glyph.Top, image);
  if (!look.Caption.empty()) DrawCaption(canvas, look, at.Text, textFlags);
  if (look.DropDownRoom > 0) {
    // A small triangle, 5 pixels wide and 3 high, in the room at the right.
    TCanvasState keep(canvas);
    canvas.Pen.Color = look.State == TButtonState::bsDisabled ? clBtnShadow : clBtnText;
    const int x = room.Right + (look.DropDownRoom - 5) / 2, y = room.Top + (room.Height() - 3) / 2;
    for (int i = 0; i < 3; ++i) {
      canvas.MoveTo(x + i, y + i);
      canvas.LineTo(x + 5 - i, y + i);
    }
  }
}

// ---------------------------------------------------------------------------------

TCustomSpeedButton::TCustomSpeedButton(QWidget* parent, TSpeedButtonKind kind)
    : TGraphicControl(parent), kind_(kind) {
  SetColor(clBtnFace);
}

TCustomSpeedButton::~TCustomSpeedButton() = default;

void TCustomSpeedButton::SetGlyph(const TBitmap& glyph) {
  glyph_.SetGlyph(glyph);
  Invalidate();
}

void TCustomSpeedButton::SetNumGlyphs(int n) {
  glyph_.SetNumGlyphs(n);
  Invalidate();
}

void TCustomSpeedButton::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  Invalidate();
}

void TCustomSpeedButton::SetFlat(bool v) {
  flat_ = v;
  Invalidate();
}

void TCustomSpeedButton::SetGrayedInactive(bool v) {
  grayedInactive_ = v;
  Invalidate();
}

void TCustomSpeedButton::SetLayout(TButtonLayout v) {
  layout_ = v;
  Invalidate();
}

void TCustomSpeedButton::SetMargin(int v) {
  margin_ = v;
  Invalidate();
}

void TCustomSpeedButton::SetSpacing(int v) {
  spacing_ = v;
  Invalidate();
}

void TCustomSpeedButton::SetState(TButtonState s) {
  if (s == state_) return;
  state_ = s;
  Invalidate();
}

TSpeedButtonLook TCustomSpeedButton::Look() const {
  TSpeedButtonLook look;
  look.Kind = kind_;
  look.State = state_;
  look.Flat = flat_;
  look.GrayedInactive = grayedInactive_;
  look.MouseInControl = mouseInControl_;
  look.DesignMode = DesignMode;
  look.Caption = caption_;
  look.Font = EffectiveFont();
  look.Layout = layout_;
  look.Margin = margin_;
  look.Spacing = spacing_;
  return look;
}

const TFont& TCustomSpeedButton::EffectiveFont() const {
  if (ParentFont && parentWidget())
    if (const TWinControl* owner = TWinControl::FromWidget(parentWidget())) return owner->Font();
  return Font();
}

void TCustomSpeedButton::Paint(TCanvas& canvas) { PaintSpeedButton(canvas, ClientRect(), Look(), glyph_); }

// Groups -----------------------------------------------------------------------------

void TCustomSpeedButton::SetGroupIndex(int v) {
  groupIndex_ = v;
  UpdateExclusive();
}

void TCustomSpeedButton::SetAllowAllUp(bool v) {
  allowAllUp_ = v;
  UpdateExclusive();
}

void TCustomSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (down_ && !allowAllUp_) return;
  down_ = v;
  if (Enabled()) SetState(v ? TButtonState::bsExclusive : TButtonState::bsUp);
  Invalidate();
  if (v) UpdateExclusive();
}

void TCustomSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !parentWidget()) return;
  // What the class library broadcasts to the siblings; buttons of the other family
  // do not listen.
  for (QObject* o : parentWidget()->children()) {
    auto* other = dynamic_cast<TCustomSpeedButton*>(o);
    if (!other || other == this || other->kind_ != kind_ || other->groupIndex_ != groupIndex_) continue;
    if (down_ && other->down_) {
      other->down_ = false;
      other->SetState(other->Enabled() ? TButtonState::bsUp : TButtonState::bsDisabled);
    }
    other->allowAllUp_ = allowAllUp_;
  }
}

// Mouse ------------------------------------------------------------------------------

void TCustomSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != TMouseButton::mbLeft || !Enabled()) return;
  if (!down_) SetState(TButtonState::bsDown);
  dragging_ = true;
}

void TCustomSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!dragging_) return;
  const bool inside = ClientRect().Contains({X, Y});
  if (inside) SetState(down_ ? TButtonState::bsExclusive : TButtonState::bsDown);
  // Outside, a latched report button stays exclusive; the controls' button shows up.
  else SetState(down_ && kind_ == TSpeedButtonKind::sbkReport ? TButtonState::bsExclusive : TButtonState::bsUp);
}

void TCustomSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  // The base step would click on any release inside: the button decides itself.
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
  if (Button != TMouseButton::mbLeft || !dragging_) return;
  dragging_ = false;
  const bool inside = ClientRect().Contains({X, Y});
  if (groupIndex_ == 0) {
    SetState(TButtonState::bsUp);
    mouseInControl_ = mouseInControl_ && inside;
  } else {
    if (inside) SetDown(!down_);
    SetState(down_ ? TButtonState::bsExclusive : TButtonState::bsUp);
  }
  Invalidate();
  if (inside) Click();
}

void TCustomSpeedButton::MouseEnter() {
  if (!TracksPointer()) return;
  mouseInControl_ = true;
  if (flat_) Invalidate();
  TGraphicControl::MouseEnter();
}

void TCustomSpeedButton::MouseLeave() {
  if (!TracksPointer() || dragging_) return;
  mouseInControl_ = false;
  if (flat_) Invalidate();
  TGraphicControl::MouseLeave();
}

void TCustomSpeedButton::DblClick() {
  if (down_) TGraphicControl::DblClick();
}

void TCustomSpeedButton::EnabledChanged() {
  if (!Enabled()) {
    dragging_ = false;
    mouseInControl_ = false;
    SetState(TButtonState::bsDisabled);
  } else {
    SetState(Latched() ? TButtonState::bsExclusive : TButtonState::bsUp);
  }
  TGraphicControl::EnabledChanged();
}
