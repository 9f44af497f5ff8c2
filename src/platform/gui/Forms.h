// The class library's forms on Qt: top-level windows, modal dialogs, the multiple-
// document frame and its children. A TForm is a QWidget; an MDI child sits inside a
// QMdiSubWindow of its frame's QMdiArea.
//
// What the program relies on:
//   ShowModal      ModalResult := mrNone; the form shows application-modal and runs
//                  through the dialog service (Dialogs().RunModal: a real event loop on
//                  screen, a script in tests) until ModalResult is set and CloseModal
//                  lets it close; it is then hidden and ShowModal returns ModalResult.
//   CloseModal     CloseQuery (OnCloseQuery), then OnClose with caHide; a refusal or
//                  caNone sets ModalResult back to mrNone and the form stays.
//   Close          on a modal form: ModalResult := mrCancel. Otherwise CloseQuery, then
//                  OnClose with caHide (caMinimize for an MDI child; a frame's close
//                  first asks every child's CloseQuery), then hide, minimise or free.
//   keys           a key of any control of the form first meets the shortcuts of the
//                  action lists (the active MDI child's, then its frame's), then the
//                  dialog keys (Enter: the focused button, else the default button;
//                  Esc: the cancel button) unless the focused control wants them, then
//                  with KeyPreview the form's OnKeyDown / OnKeyPress; a key zeroed there
//                  goes no further. F1 shows the help topic of the form's HelpContext.
//   placement      SavePlacement / RestorePlacement keep Left, Top, Width, Height and the
//                  window state in the settings store as integers (names per window).
// No exception of a handler unwinds through Qt: each ends at the application object.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/MsgDlg.h"
#include "platform/gui/Controls.h"

class QMdiArea;
class QMenuBar;
class QMenu;
class QEventLoop;
class TActionList;
class TMainMenu;
class TSettingsStore;
class TStatusBar;

// A control that keeps Enter and Esc for itself (a memo, an in-place editor) sets this
// property on its widget (true); the form then does not treat them as dialog keys.
inline constexpr const char* kWantsDialogKeysProperty = "twWantsDialogKeys";
// A button that Esc clicks (the cancel button) carries this property (true); the
// default button is the QPushButton whose isDefault() is set.
inline constexpr const char* kCancelButtonProperty = "twCancel";

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TPosition { poDesigned, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum class TTileMode { tbHorizontal, tbVertical };

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// Window placement in the settings store, as readable integers under a key of its own.
// The value names are the window's (the report windows use their own); State is written
// as 0 normal, 1 minimised, 2 maximised, or with StateIsMaximizedFlag as "Maximized"
// 0/1 (a missing flag leaving the state alone).
struct TPlacementNames {
  const char* Left = "Left";
  const char* Top = "Top";
  const char* Width = "Width";
  const char* Height = "Height";
  const char* State = "State";
  bool StateIsMaximizedFlag = false;
};
class TForm : public QWidget, public TObject {
 public:
  // A top-level window. An MDI child (fsMDIChild) takes its frame as `owner`; the frame
  // must be an fsMDIForm.
  explicit TForm(QWidget* owner = nullptr, TFormStyle style = TFormStyle::fsNormal);
  ~TForm() override;

  AnsiString Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  TFormStyle FormStyle() const { return style_; }
  // A number the program keeps with the form (the ration window's 17).
  int Tag = 0;
  int HelpContext = 0;
  bool KeyPreview = false;
  // The form-wide hint switch of its controls (see TWinControl::EffectiveShowHint).
  bool ShowHint = true;
  TPosition Position = TPosition::poDesigned;
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);

  // Showing and closing.
  void Show();
  void Hide();
  bool Visible() const;
  TModalResult ShowModal();
  bool Modal() const { return modal_; }
  TModalResult ModalResult() const { return modalResult_; }
  // On a modal form a result other than mrNone ends the modal run (after CloseModal).
  void SetModalResult(TModalResult result);
  // The close steps of a modal form (see above); true when the form may close.
  bool CloseModal();
  void Close();
  // OnCloseQuery (an MDI frame asks its children first); true when the form may close.
  virtual bool CloseQuery();
  // Frees the form once the current event is done.
  void Release();
  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);

  // The control that has (or last had) the focus inside the form; nil when none.
  QWidget* ActiveControl() const;
  void SetActiveControl(QWidget* control);
  // The dialog keys: VK_RETURN clicks the focused button or else the default button,
  // VK_ESCAPE the cancel button. True when a button took the key.
  bool DialogKey(std::uint16_t key);
  // Shows the help topic of HelpContext (nothing for 0).
  void ShowHelp();

  // Events, fired through the virtual Do... steps below.
  TNotifyEvent OnShow, OnHide, OnActivate, OnDeactivate, OnResize, OnDestroy;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;

  // The MDI frame (fsMDIForm): the client area and its children, the active child
  // first and then in the order they were last active.
  QMdiArea* ClientArea() const { return mdiArea_; }
  int MDIChildCount() const;
  TForm* MDIChildren(int index) const;
  TForm* ActiveMDIChild() const;
  void Cascade();
  void Tile(TTileMode mode = TTileMode::tbHorizontal);
  void ArrangeIcons();
  void MinimizeAll();
  void Next();
  void Previous();
  // The menu to which the frame appends one checkable entry per child (the window list).
  void SetWindowMenu(QMenu* menu) { windowMenu_ = menu; }
  // An MDI child's frame; nil for other forms.
  TForm* MDIFrame() const { return frame_; }
  // The caption shown: an MDI frame whose active child is maximised shows
  // "frame - [child]".
  AnsiString DisplayCaption() const;

  // Parts the form arranges and finds: the main menu (above every aligned control), the
  // action lists whose shortcuts it dispatches, the status bar that shows long hints.
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu);
  const std::vector<TActionList*>& ActionLists() const { return actionLists_; }
  TStatusBar* HintBar = nullptr;

  // The form that holds a widget (an MDI child for a widget inside it); nil when none.
  static TForm* ParentForm(const QWidget* w);
  // Every form alive, in creation order.
  static const std::vector<TForm*>& Forms();

  // Steps.
  virtual void DoShow();
  virtual void DoHide();
  virtual void Activate();
  virtual void Deactivate();
  virtual void DoClose(TCloseAction& action);
  virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  friend class TActionList;
  friend class TMainMenu;
  friend class TQtDialogService;
  friend class TKitEventFilter;
  friend class TMdiChildWindow;
  friend void SavePlacement(const TForm&, std::string_view, const TPlacementNames&);
  friend bool RestorePlacement(TForm&, std::string_view, const TPlacementNames&);
  void ApplyPosition();
  void LayoutMenu();
  void UpdateFrameCaption();
  void RebuildWindowMenu();
  void ChildActivated(QMdiSubWindow* w);
  // Runs Close's steps; false when the form stays.
  bool CloseSteps();
  QWidget* PlacementWidget() const;

  AnsiString caption_;
  TFormStyle style_;
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  bool modal_ = false;
  TModalResult modalResult_ = mrNone;
  QEventLoop* modalLoop_ = nullptr;
  bool releaseAfterModal_ = false;  // CloseModal got caFree
  bool closing_ = false;            // inside Close's steps
  bool destroying_ = false;         // inside the destructor: children no longer report
  bool shownOnce_ = false;
  bool placementRestored_ = false;  // RestorePlacement found bounds: Position is ignored
  QRect normalRect_;                // the last bounds in the normal state
  QMdiArea* mdiArea_ = nullptr;
  QPointer<QMenu> windowMenu_;
  TForm* frame_ = nullptr;           // an MDI child's frame
  QMdiSubWindow* subWindow_ = nullptr;  // an MDI child's window; nil once it has gone
  TForm* activeChild_ = nullptr;     // a frame's active child as last reported
  TMainMenu* menu_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  std::vector<TActionList*> actionLists_;
  QPointer<QWidget> lastFocus_;
};

// The frame's window commands on any MDI area (the kit's frame and a QMainWindow's):
// horizontal tiling stacks the visible, not minimised children one under another across
// the client area, vertical tiling puts them side by side; arranging puts the minimised
// children in a row along the bottom.
void TileMdiWindows(QMdiArea* area, TTileMode mode);
void ArrangeMdiIcons(QMdiArea* area);

// Saves the form's normal bounds (the restored ones while it is maximised or
// minimised) and its state under `key` of the program's settings store, then writes
// the store. Does nothing for a form never shown.
void SavePlacement(const TForm& form, std::string_view key, const TPlacementNames& names = {});
// Restores them before the form is first shown: first the state (a stored normal state
// makes a form that maximises itself normal; with no state stored the form's own stays),
// then the normal bounds, each value read on its own with the form's current one as its
// default (a missing or invalid value keeps what the form has), clamped into the available
// screen (into the client area of the frame for an MDI child). The state holds once the
// form is shown. True when any bound was found.
bool RestorePlacement(TForm& form, std::string_view key, const TPlacementNames& names = {});

// The placement of a window that is not a TForm (a QMainWindow, or the QMdiSubWindow
// that holds a child widget), kept as the forms keep theirs: readable integers under a
// key of a settings store. While the window lives the object follows its normal bounds
// (those it returns to from maximised or minimised); it belongs to the window.
class TWindowPlacement : public QObject {
 public:
  TWindowPlacement(QWidget* window, TSettingsStore& store, std::string key, TPlacementNames names = {});

  // Before the window is first shown: sets the stored bounds (each value read on its own,
  // the window's normal one its default), clamped into the available screen (into the
  // client area for an MDI sub-window), and answers whether there were any; State is the
  // stored state, wsNormal when none is stored.
  bool Restore(TWindowState& State);
  // Writes the normal bounds and the state into the store and saves it.
  void Save() const;
  QRect NormalBounds() const { return normal_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  TWindowState State() const;

  QPointer<QWidget> window_;
  TSettingsStore& store_;
  std::string key_;
  TPlacementNames names_;
  QRect normal_;  // the last bounds in the normal state
};

// Shows a window that belongs to no dialog (a help window) so that it takes input also
// while a modal window is up, where Qt blocks every other window: for as long as the
// modal window shows, the window is that window's own; when it hides, the window goes
// back to its owner (staying shown). Elsewhere it shows, raised, as it is.
void ShowOverModal(QWidget* window);

// The help stand-in: topics by context number, each a title and a short text (1251).
// A help call shows the topic in a window of its own (through the dialog service); an
// unknown context says that the topic does not exist.
void RegisterHelpTopic(int context, const AnsiString& title, const AnsiString& text);
void ShowHelpContext(int context);

// Moves a top-level window to the centre of its screen and then into it (the left and
// top edges win when it is larger), without resizing, activating or raising it.
void CenterWindow(QWidget& window);
