// Timers, the hint window, the splitter bar and the system metrics.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "platform/core/Classes.h"
#include "platform/core/Graphics.h"
#include "platform/gui/Align.h"
#include "platform/gui/Controls.h"

class QLabel;

// The class library's timer: fires OnTimer every Interval milliseconds while Enabled
// and OnTimer is assigned.
class TTimer : public TObject {
 public:
  TTimer();
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  void SetOnTimer(TNotifyEvent handler);
  bool Running() const;
  // What a tick does; tests call it instead of waiting.
  void Timer();

 private:
  void UpdateTimer();
  std::unique_ptr<QTimer> timer_;
  bool enabled_ = true;
  int interval_ = 1000;
  TNotifyEvent onTimer_;
};

// A hint window: a borderless tool-tip window showing one text at a screen rectangle.
class THintWindow : public TObject {
 public:
  THintWindow();
  ~THintWindow() override;
  TColor Color = clInfoBk;
  TFont Font;
  // The screen rectangle a text needs (its top-left at 0, 0), at most maxWidth wide.
  TRect CalcHintRect(int maxWidth, const AnsiString& text) const;
  void ActivateHint(const TRect& screenRect, const AnsiString& text);
  void ReleaseHandle();  // hides it
  bool Visible() const;
  const AnsiString& Caption() const { return caption_; }
  QWidget* Widget() const;

 private:
  std::unique_ptr<QLabel> label_;
  AnsiString caption_;
};

// A picture that follows the pointer while something is dragged (a header section's
// image): a borderless window above the others that takes no input.
class TDragImageWindow : public TObject {
 public:
  TDragImageWindow();
  ~TDragImageWindow() override;
  // Shows the bitmap with its hot spot (a point of the bitmap) at the screen point.
  void Show(const TBitmap& image, TPoint hotSpot, TPoint screen);
  void MoveTo(TPoint screen);
  void Hide();
  bool Visible() const;
  QWidget* Widget() const;

 private:
  std::unique_ptr<QLabel> label_;
  TPoint hotSpot_;
};

// The line that shows where an edge will go while it is dragged (a column's new right
// edge across the rows, a splitter's new place): a one-pixel line over the children of
// `parent`, drawn by a widget of its own, so that nothing has to be painted outside the
// paint step.
class TTrackLine : public TObject {
 public:
  enum class TOrientation { Vertical, Horizontal };
  TTrackLine(QWidget* parent, TOrientation orientation, TColor color = clBlack);
  ~TTrackLine() override;
  // A vertical line at x from top to bottom (a horizontal one at y from left to
  // right), in the parent's coordinates; an empty span means the parent's full extent.
  void Show(int pos, int from = 0, int to = 0);
  void Hide();
  bool Visible() const;
  QWidget* Widget() const;

 private:
  QPointer<QWidget> line_;  // a child of the parent, which may delete it first
  TOrientation orientation_;
};

// The class library's splitter: a bar aligned to an edge of its parent that resizes
// the control standing just outside that edge (its neighbour) when dragged with the
// left button. The neighbour's size stays within MinSize and what leaves the client
// remainder of the parent at least MinSize; a size asked below MinSize becomes
// MinSize. The layout follows the drag at once; OnMoved fires at the release.
class TSplitter : public TCustomControl {
 public:
  explicit TSplitter(QWidget* parent, TAlign align = TAlign::alLeft);
  TAlign Align() const { return GetAlign(this); }
  void SetAlign(TAlign align);
  int MinSize = 30;
  bool Beveled = false;
  TNotifyEvent OnMoved;

  // The first visible, enabled sibling whose bounds hold the point just outside the
  // bar's aligned edge (a control of zero width or height counts one pixel larger).
  QWidget* FindControl() const;
  bool Sizing() const { return sizing_; }
  // The neighbour's size (its height for a top or bottom bar, else its width); -1
  // without a neighbour.
  int NeighbourSize() const;
  // Sets the neighbour's size within the limits a drag has (MinSize; the rest of the
  // parent keeping MinSize) and lays the parent out again.
  void SetNeighbourSize(int size);
  // Ends a drag where it is, without OnMoved.
  void StopSizing();

  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void Paint(TCanvas& canvas) override;

 private:
  bool Vertical() const;  // a top or bottom bar: sizes heights
  int AxisPos(int x, int y) const;
  void ApplySize(int axisPos);

  QWidget* control_ = nullptr;
  bool sizing_ = false;
  int downPos_ = 0, startSize_ = 0, maxSize_ = 0;
};

enum : int {
  SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4, SM_CXBORDER = 5,
  SM_CYBORDER = 6, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12, SM_CXCURSOR = 13,
  SM_CYCURSOR = 14, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21, SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37,
  SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXDRAG = 68, SM_CYDRAG = 69,
};
// The system's metrics on this desktop: borders 1, 3-D edges 2, scroll bars from
// the style, the drag threshold 5 (the controls' own rule).
int GetSystemMetrics(int index);
// Lines scrolled per wheel notch (the desktop's setting; may be 0).
int WheelScrollLines();
int DoubleClickTime();
