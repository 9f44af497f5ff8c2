// The report windows' toolbar: the flat speed button TrpSpeedButton (the GUI kit's speed
// button with the report family's look, platform/gui/SpeedButton.h), the toolbar button
// TrpTBButton and the separator TrpTBSeparator.
//
//   TrpSpeedButton   22 x 22, glyph left of the caption, Margin -1 (centred), Spacing 4,
//                    GrayedInactive; the pointer counts only for flat enabled buttons
//   TrpTBButton      flat, aligned like a toolbar's item (below)
//   TrpTBSeparator   8 x 8, aligned like a toolbar's item; the button face with, under
//                    DrawBevel, a groove along its middle (a shadow line and a highlight
//                    line beside it): vertical when aligned left or right, horizontal
//                    when aligned top or bottom, 2 pixels short of either end
//   alignment        an item put on a panel is aligned top when the panel's parent is
//                    aligned left or right, else left (rpToolbarAlign)
#pragma once

#include "platform/gui/Align.h"
#include "platform/gui/SpeedButton.h"

class TrpSpeedButton : public TCustomSpeedButton {
 public:
  explicit TrpSpeedButton(QWidget* parent = nullptr);

 protected:
  bool TracksPointer() const override { return Flat() && Enabled(); }
};

// The alignment a toolbar item takes on `parent`: top when `parent` is a panel whose own
// parent is aligned left or right, left otherwise (and for a parent that is no panel,
// none: the item keeps its place).
TAlign rpToolbarAlign(const QWidget* parent);

class TrpTBButton : public TrpSpeedButton {
 public:
  explicit TrpTBButton(QWidget* parent = nullptr);

 protected:
  bool event(QEvent* e) override;
};

class TrpTBSeparator : public TGraphicControl {
 public:
  explicit TrpTBSeparator(QWidget* parent = nullptr);
  bool DrawBevel() const { return drawBevel_; }
  void SetDrawBevel(bool v);
  // Design time draws a dotted frame (no designer runs here).
  bool DesignMode = false;
  void Paint(TCanvas& canvas) override;

 protected:
  bool event(QEvent* e) override;

 private:
  bool drawBevel_ = true;
};
