// The class library's windowed control on Qt. A control is a QWidget (TCustomControl)
// or a QAbstractScrollArea whose viewport is the client area (TCustomScrollControl);
// TWinControl turns the widget's Qt events into the class library's entry points
// (MouseDown, MouseMove, MouseUp, Click, DblClick, DoMouseWheel, KeyDown, KeyPress,
// KeyUp, DoEnter, DoExit, MouseEnter, MouseLeave, Resize, Paint) whose base steps fire
// the published events. A control overrides an entry point and calls the base step
// where the class library would fire the event.
//
// Order of the steps:
//   left press       MouseDown (OnMouseDown)
//   release          MouseUp (OnMouseUp), then for the left button pressed and released
//                    inside the client area Click (OnClick); after the right button
//                    the PopupMenu pops up
//   double click     DblClick (OnDblClick), then MouseDown with ssDouble
//   key              KeyDown (OnKeyDown) when the key has a code, then KeyPress
//                    (OnKeyPress) when it types a character; KeyUp on release
//                    (auto-repeat releases are dropped)
//   focus            FocusChanged on every focus change; DoExit of the window's old
//                    active control, then DoEnter (OnExit, OnEnter) when the control
//                    becomes its window's active control; leaving and re-activating
//                    the window fires neither
// An exception that a step or a handler raises ends at the application object's
// handler (a message box); it never unwinds through Qt.
//
// Writing a control: derive from TCustomControl (or TCustomScrollControl); keep layout
// and hit testing in plain code; paint in Paint(TCanvas&), whose canvas is clipped to
// the invalid area (ClipRect) and starts with the control's Font and Color; override
// an entry point and call the base step where the events are to fire, e.g.
//   void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
//     TCustomControl::MouseDown(b, s, x, y);  // OnMouseDown first
//     ...                                     // then the control's own handling
//   }
// Tests call the entry points directly and look at RenderToImage().
#pragma once

#include <QAbstractScrollArea>
#include <QCursor>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "platform/core/Canvas.h"
#include "platform/core/Keys.h"

// Cursors: the class library's numbers; 14000 and up are the program's own.
using TCursor = int;
enum : TCursor {
  crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6, crSizeNS = -7,
  crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
  crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19,
  crHelp = -20, crHandPoint = -21, crSizeAll = -22,
  crHandCur = 14000, crDragCur = 14001,  // "CR_HANDCUR", "CR_DRAGCUR"
};
QCursor CursorFor(TCursor c);
void RegisterCursor(TCursor id, const QCursor& cursor);
// The code-drawn cursor resources "CR_HANDCUR" and "CR_DRAGCUR" (EResNotFound otherwise).
QCursor ResourceCursor(std::string_view name);

class TWinControl;
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
// What a wheel or a touch pad reports: angles in 1/8 degree (120 a notch), vertical and
// horizontal, and the pixel distances of high-resolution devices (0 when none).
struct TWheelDeltas {
  int AngleX = 0, AngleY = 0;
  int PixelX = 0, PixelY = 0;
};
using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

class TWinControl : public TObject {
 public:
  TWinControl(QWidget& widget, QWidget& client);
  ~TWinControl() override;
  TWinControl(const TWinControl&) = delete;
  TWinControl& operator=(const TWinControl&) = delete;

  QWidget* Widget() const { return &widget_; }
  // The widget that receives the mouse and is painted: the viewport of a scroll control.
  QWidget* ClientWidget() const { return &client_; }
  // The control that owns a widget (the widget itself or its nearest ancestor), or nil.
  static TWinControl* FromWidget(QWidget* w);

  // Geometry, client coordinates.
  TRect ClientRect() const;
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  TPoint ScreenToClient(TPoint screen) const;
  TPoint ClientToScreen(TPoint client) const;
  void SetBounds(int left, int top, int width, int height);

  // Properties.
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& f);
  TColor Color() const { return color_; }
  void SetColor(TColor c);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c);
  AnsiString Hint;
  bool ShowHint = false;
  bool ParentShowHint = true;
  // The effective ShowHint: the control's own, or with ParentShowHint the nearest
  // parent control's (the form's ShowHint when there is none, true outside a form).
  bool EffectiveShowHint() const;
  bool TabStop() const;
  void SetTabStop(bool v);
  // The control takes Tab itself instead of moving the focus.
  bool WantTabs = false;
  // The menu that pops up at the pointer after a right-button release (after the
  // OnMouseUp step); nil for none. Not owned (forgotten when the menu goes).
  QPointer<QMenu> PopupMenu;
  // Files dropped from the desktop: with AcceptFiles on, DropFiles gets their names.
  bool AcceptFiles() const { return acceptFiles_; }
  void SetAcceptFiles(bool v);
  // Paint into an off-screen image first, then copy it to the screen.
  bool DoubleBuffered = true;
  bool Enabled() const { return widget_.isEnabled(); }
  bool Visible() const { return widget_.isVisible(); }

  // Painting.
  void Invalidate();
  void InvalidateRect(const TRect& r);
  void Update();
  // The client area painted by Paint into an image. A plain control need not be shown;
  // a scroll control's viewport gets its size when the control is first shown.
  QImage RenderToImage();

  // Focus and capture.
  bool Focused() const;
  bool CanFocus() const;
  void SetFocus();
  void SetCapture();
  void ReleaseCapture();
  bool MouseCapture() const { return capture_; }

  // Drag and drop with the in-process drag manager. BeginDrag(false) starts the drag
  // once the pointer has moved Threshold pixels (5 when -1) from where it is now.
  void BeginDrag(bool Immediate, int Threshold = -1);
  bool Dragging() const;
  void EndDrag(bool Drop);

  // Published events.
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnClick, OnDblClick, OnEnter, OnExit, OnMouseEnter, OnMouseLeave, OnResize;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TNotifyEvent OnStartDrag;
  TEndDragEvent OnEndDrag;

  // Entry points. The base steps fire the events above.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void Click();
  virtual void DblClick();
  // Returns true when the wheel was handled.
  virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
  // Every wheel event with all its deltas; by default the vertical angle goes on to
  // DoMouseWheel (nothing for a horizontal-only event). Returns true when handled.
  virtual bool DoMouseWheelDeltas(TShiftState Shift, const TWheelDeltas& Deltas, TPoint MousePos);
  virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void KeyUp(std::uint16_t& Key, TShiftState Shift);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void FocusChanged(bool /*focused*/) {}
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void Resize();
  virtual void Paint(TCanvas& /*canvas*/) {}
  virtual void FontChanged() {}
  virtual void ColorChanged() {}
  virtual void EnabledChanged() {}
  // The explicit mouse capture was taken away: the window lost the activation while
  // the control held it.
  virtual void CaptureLost() {}
  // Files dropped on the control (1251 paths), with AcceptFiles on.
  virtual void DropFiles(const std::vector<AnsiString>& /*names*/) {}
  // A character typed with Alt that the form offers to its controls: the control whose
  // accelerator it is acts on it and returns true.
  virtual bool DialogChar(char /*c*/) { return false; }
  // The hint for a point of the client area (per-part hints); Hint by default.
  virtual AnsiString HintAt(TPoint /*p*/) { return Hint; }

  // Drag and drop: the target side and the source side.
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  virtual void DoStartDrag();
  virtual void DoEndDrag(TObject* Target, int X, int Y);

 protected:
  // Controls built on a Qt input widget (edit boxes, combo boxes) let the widget handle
  // the mouse and the keys after the entry points have run.
  virtual bool WidgetHandlesInput() const { return false; }
  // The widget's own handling of a key: keyKept is false when KeyDown zeroed the key;
  // typedBefore / typedAfter are the character before and after KeyPress (0 = eaten).
  virtual void DefaultKeyPress(QKeyEvent* /*e*/, bool /*keyKept*/, std::optional<char> /*typedBefore*/,
                               std::optional<char> /*typedAfter*/) {}

  // The Qt side: the widget classes pass their events here. Returns true when the
  // event was taken. An exception of a handler goes to the application object here.
  bool HandleClientEvent(QEvent* e);
  bool HandleWidgetEvent(QEvent* e);
  void PaintClient(const QRect& updateRect);

 private:
  bool DispatchClientEvent(QEvent* e);
  bool DispatchWidgetEvent(QEvent* e);
  void PaintClientArea(const QRect& updateRect);
  void ApplyCursor();
  void PaintOn(QPainter& painter, const QRect& area);

  QWidget& widget_;
  QWidget& client_;
  TFont font_;
  TColor color_ = clBtnFace;
  TCursor cursor_ = crDefault;
  bool clicked_ = false;
  bool capture_ = false;
  bool acceptFiles_ = false;
};

// A control of its own drawing on a plain widget.
class TCustomControl : public QWidget, public TWinControl {
 public:
  explicit TCustomControl(QWidget* parent = nullptr);

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
};

// A control drawn on its parent (the class library's graphic control): it takes no
// focus and paints nothing of its own background, so what it leaves unpainted shows
// the parent.
class TGraphicControl : public TCustomControl {
 public:
  explicit TGraphicControl(QWidget* parent = nullptr);
};

enum class TScrollBarKind { sbHorizontal, sbVertical };
enum class TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom,
                         scEndScroll };

// A scroll bar that can be drawn flat (DrawFlatScrollbar); flat, the pointer acts on the
// pieces as they are drawn (arrow boxes, track, thumb).
class TFlatScrollBar : public QScrollBar {
 public:
  TFlatScrollBar(Qt::Orientation orientation, QWidget* parent);
  bool Flat() const { return flat_; }
  // focusedLook: the frame of a focused control.
  void SetFlat(bool flat, bool focusedLook);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  bool flat_ = false, focusedLook_ = false;
  int dragFrom_ = -1;   // the pointer's place along the bar when the thumb was pressed
  int dragValue_ = 0;   // the value then
};

// A control of its own drawing with the system's scroll bars (Qt's). The control sets
// the range, page and position itself (no events fire for that); user actions on the
// bars call Scroll with the class library's codes, and the control answers with the
// position it wants (Pos holds Qt's proposal on entry).
class TCustomScrollControl : public QAbstractScrollArea, public TWinControl {
 public:
  explicit TCustomScrollControl(QWidget* parent = nullptr);

  // max is the last position the thumb can reach; page the page size (thumb length).
  void SetScrollInfo(TScrollBarKind bar, int max, int page, int pos);
  int ScrollPos(TScrollBarKind bar) const;
  void SetScrollBarVisible(TScrollBarKind bar, bool visible);
  // Both bars drawn flat (or back to the system's look).
  void SetFlatScrollBars(bool flat, bool focusedLook);
  bool FlatScrollBars() const;
  // Thumb tracking: scTrack codes while the thumb is dragged (else only scPosition at
  // its release).
  bool ScrollTracking = false;

  virtual void Scroll(TScrollBarKind Bar, TScrollCode Code, int& Pos) { (void)Bar; (void)Code; (void)Pos; }

 protected:
  bool event(QEvent* e) override;
  bool viewportEvent(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void scrollContentsBy(int, int) override { viewport()->update(); }

 private:
  void OnAction(TScrollBarKind bar, int action);
  void OnRelease(TScrollBarKind bar);
  bool settingInfo_ = false;
};
