// The speed button of the GUI kit: a button without a window of its own that shows a
// glyph and a caption, flat or raised, in the states up, disabled, down, exclusive
// (latched down in a group) and inactive, with groups that latch like radio buttons.
// Two families of buttons sit on it and differ only in the rules of their look
// (TSpeedButtonKind): the controls' flat speed button and the report windows' toolbar
// button. One painter, PaintSpeedButton, draws both:
//
//   step            sbkFlat (controls)                     sbkReport (report windows)
//   state shown     a flat button the pointer is not over   a flat enabled button with
//                   is inactive                             GrayedInactive and the pointer
//                                                          outside is inactive (grayed)
//   face            button face (none when Transparent)    button face
//   frame           old or new style (Style); a flat        raised: the class library's
//                   inactive button that is not latched     button frame, pressed for down
//                   has none and gives 2 pixels             and exclusive; flat: one pixel,
//                                                          sunken while down, raised while
//                                                          the pointer is inside
//   checkered face  latched, not transparent, not flat      exclusive (flat ones also with
//                   or drawn inactive; face and highlight   the pointer outside); face and
//                                                          white
//   glyph image     the real state when disabled or without the state shown
//                   GrayedInactive, else the state shown
// Both: pressed content moves one pixel right and down; glyph and caption are placed by
// Layout, Margin and Spacing (CalcButtonLayout); a disabled caption is embossed.
//
// Mouse (both families):
//   press (left, enabled)  state down unless latched
//   move while pressed     inside: down (exclusive when latched); outside: up
//                          (sbkReport: exclusive when latched)
//   release                outside a group back to up; in a group a release inside
//                          toggles Down; a release inside clicks; outside nothing
//   enter, leave           while TracksPointer: the mark of the pointer inside is set
//                          or cleared, a flat button repaints, OnMouseEnter or
//                          OnMouseLeave fires (leaving is ignored while pressed)
//   groups                 Down needs a GroupIndex; with AllowAllUp off a latched
//                          button cannot be released; latching one releases the other
//                          latched buttons of its family and group among its siblings,
//                          which take over its AllowAllUp
//   enabled                a disabled button is in the disabled state; re-enabled it
//                          returns to exclusive (latched) or up
#pragma once

#include "platform/gui/ButtonGlyph.h"
#include "platform/gui/Controls.h"

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// The frames of the controls' flat speed button: automatic is the new style here.
enum class TButtonStyle { bsAutoDetect, bsWin31, bsNew };
enum class TSpeedButtonKind { sbkFlat, sbkReport };

// Where the glyph and the caption of a button go in its client rectangle.
struct TButtonContentLayout {
  TRect Glyph;
  TRect Text;
};
// Along the layout's axis: a Margin of -1 centres glyph and caption together, with
// Spacing between them; with both -1 the free space is split in three equal parts
// (before, between, after); a Margin with Spacing -1 puts the caption in the middle of
// the room left after the glyph. Spacing counts only when both a glyph and a caption
// are there. Across the axis each is centred.
TButtonContentLayout CalcButtonLayout(const TRect& client, TPoint glyphSize, TPoint textSize, TButtonLayout layout,
                                      int margin, int spacing);

// Everything the painter needs to know of a button.
struct TSpeedButtonLook {
  TSpeedButtonKind Kind = TSpeedButtonKind::sbkFlat;
  TButtonState State = TButtonState::bsUp;  // the real state
  bool Flat = false;
  bool GrayedInactive = true;
  bool MouseInControl = false;
  bool DesignMode = false;
  bool Transparent = false;  // sbkFlat: the face is not filled
  TButtonStyle Style = TButtonStyle::bsAutoDetect;  // sbkFlat
  AnsiString Caption;
  TFont Font;
  TButtonLayout Layout = TButtonLayout::blGlyphLeft;
  int Margin = -1;
  int Spacing = 4;
  // The caption's alignment (DT_LEFT, DT_CENTER, DT_RIGHT) and DT_WORDBREAK.
  unsigned TextFlags = DT_CENTER;
  // Room at the right for the drop-down mark (0 for none).
  int DropDownRoom = 0;
};

// The state the button is drawn in.
TButtonState ShownState(const TSpeedButtonLook& look);
// The state whose glyph image is drawn.
TButtonState GlyphState(const TSpeedButtonLook& look);
void PaintSpeedButton(TCanvas& canvas, const TRect& client, const TSpeedButtonLook& look, TButtonGlyph& glyph);

class TCustomSpeedButton : public TGraphicControl {
 public:
  TCustomSpeedButton(QWidget* parent, TSpeedButtonKind kind);
  ~TCustomSpeedButton() override;

  TSpeedButtonKind Kind() const { return kind_; }
  const TBitmap& Glyph() const { return glyph_.Glyph(); }
  void SetGlyph(const TBitmap& glyph);
  int NumGlyphs() const { return glyph_.NumGlyphs(); }
  void SetNumGlyphs(int n);
  TButtonGlyph& ButtonGlyph() { return glyph_; }
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  bool GrayedInactive() const { return grayedInactive_; }
  void SetGrayedInactive(bool v);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout v);
  int Margin() const { return margin_; }
  void SetMargin(int v);
  int Spacing() const { return spacing_; }
  void SetSpacing(int v);
  // With ParentFont the caption takes the font of the control the button sits on.
  bool ParentFont = true;
  const TFont& EffectiveFont() const;
  // The rules of design time (no designer runs here; kept for the look's rules).
  bool DesignMode = false;

  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  bool Down() const { return down_; }
  void SetDown(bool v);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v);

  TButtonState State() const { return state_; }
  // The state as drawn (ShownState).
  TButtonState PaintState() const { return ShownState(Look()); }
  bool MouseInControl() const { return mouseInControl_; }
  // What the painter gets.
  virtual TSpeedButtonLook Look() const;

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void DblClick() override;
  void EnabledChanged() override;
  void Paint(TCanvas& canvas) override;

 protected:
  // Whether entering and leaving count (they set the pointer mark and fire the events).
  virtual bool TracksPointer() const { return Enabled(); }
  void SetState(TButtonState s);
  bool Latched() const { return groupIndex_ != 0 && down_; }
  bool dragging_ = false;

 private:
  void UpdateExclusive();

  TSpeedButtonKind kind_;
  TButtonGlyph glyph_;
  AnsiString caption_;
  TButtonState state_ = TButtonState::bsUp;
  bool flat_ = false;
  bool grayedInactive_ = true;
  TButtonLayout layout_ = TButtonLayout::blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  int groupIndex_ = 0;
  bool down_ = false, allowAllUp_ = false;
  bool mouseInControl_ = false;
};
