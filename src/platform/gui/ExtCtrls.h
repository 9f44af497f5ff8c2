// Timers, the hint window and the system metrics.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "platform/core/Classes.h"
#include "platform/core/Graphics.h"

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
