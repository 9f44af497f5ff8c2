// The pane splitter: the splitter bar with a collapse button. One click on the button
// collapses the neighbouring control to MinSize (Maximized), another gives it back its
// size; a drag that leaves the neighbour at MinSize counts as collapsing it. The
// states and the restore size follow TPaneSplitterModel (controls/misc); the bar keeps
// them while its window is minimised, maximised or resized (the neighbour keeps its
// size, and the restore size is only taken while it is still unknown: at any change of
// the bar's bounds, a move as well as a resize).
#pragma once

#include "controls/misc/PaneSplitterModel.h"
#include "platform/gui/ExtCtrls.h"

class TPaneSplitter : public TSplitter {
 public:
  explicit TPaneSplitter(QWidget* parent, TAlign align = TAlign::alBottom);

  static constexpr const char* kVersion = "TPaneSplitter v2.03";
  AnsiString Version() const { return kVersion; }

  bool AllowDrag = true;
  // The button's style and, for bsWindows, its squares; the setters repaint the bar.
  // The button's bevel is the bar's own Beveled: there is no other.
  TSplitterButtonStyle ButtonStyle() const { return geometry_.Style; }
  void SetButtonStyle(TSplitterButtonStyle style);
  const std::vector<TWindowsButton>& WindowsButtons() const { return geometry_.WindowsButtons; }
  void SetWindowsButtons(std::vector<TWindowsButton> buttons);
  // The button's length along the bar: ButtonWidth pixels (btwPixels, the default) or
  // that percentage of the bar's length (btwPercentage). The width is never below 0 and,
  // as a percentage, at most 100; both setters repaint the bar.
  TButtonWidthType ButtonWidthType() const { return geometry_.WidthType; }
  void SetButtonWidthType(TButtonWidthType type);
  int ButtonWidth() const { return geometry_.ButtonWidth; }
  void SetButtonWidth(int width);
  bool ShowButton = true;
  TCursor ButtonCursor = crDefault;
  TColor ButtonColor = clBtnFace;
  TColor ButtonHighlightColor() const { return highlight_; }
  void SetButtonHighlightColor(TColor c) { highlight_ = c; }
  bool AutoHighlightColor() const { return autoHighlight_; }
  void SetAutoHighlightColor(bool v);
  TColor ArrowColor = RGBColor(0, 0, 128);
  TColor TextureColor1 = clWhite, TextureColor2 = RGBColor(0, 0, 128);

  bool Maximized() const { return model_.Maximized(); }
  void SetMaximized(bool v);
  bool Minimized() const { return model_.Minimized(); }
  void SetMinimized(bool v);
  TPaneSplitterModel& Model() { return model_; }

  TNotifyEvent OnMaximize, OnMinimize, OnRestore, OnClose;

  // The button as drawn (empty without one).
  TRect ButtonRect() const;
  bool Highlighted() const { return hot_; }

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void Resize() override;
  void Paint(TCanvas& canvas) override;

 protected:
  void moveEvent(QMoveEvent* e) override;

 private:
  TSplitterSide Side() const;
  // Geometry with the bar's own Beveled: the button is inset by the bevel the bar draws.
  TSplitterButtonGeometry ButtonGeometry() const {
    TSplitterButtonGeometry g = geometry_;
    g.Beveled = Beveled;
    return g;
  }
  // The model works with the bar's side, MinSize and style of the moment.
  void SyncModel();
  void UpdateCursor(int x, int y);
  void PaintNetscape(TCanvas& canvas, const TRect& button);

  TSplitterButtonGeometry geometry_;  // style, width and squares; its Beveled is unused
  TPaneSplitterModel model_;
  TColor highlight_ = RGBColor(207, 207, 255);
  bool autoHighlight_ = false;
  bool hot_ = false;
  bool pressedOnButton_ = false;
  TPoint pressPoint_;
  int sizeAtPress_ = -1;
};
