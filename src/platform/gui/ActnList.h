// Actions and action lists: a command with its caption, shortcut, hint, image, enabled
// and checked state, shown by any number of menu items and tool bar buttons (one
// QAction behind it) and kept current by an update step that runs whenever the program
// is idle.
//
// Rules:
//   Update      the list's OnUpdate (which may set Handled), else the action's
//               OnUpdate, else the standard behaviour of the action's kind (edit and
//               window actions); an action with none of these keeps its state.
//   Execute     Update first; then, when enabled, the list's OnExecute (Handled), else
//               OnExecute, else the standard behaviour. True when something ran.
//   idle        UpdateAllActions updates every action of every list whose form is
//               visible (or that has no form); the kit runs it shortly after each user
//               input, focus change, window activation and clipboard change.
//   shortcuts   the form dispatches keys to its lists (see Forms.h); a matching action
//               runs through Execute, so a disabled one never runs. Qt's own shortcut
//               machinery is not used: it would call a stale-enabled action and refuses
//               keys that two windows both define.
// Handlers run behind GuardedCall: their exceptions end at the application object.
#pragma once

#include <QKeySequence>
#include <QPointer>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/ImageList.h"
#include "platform/core/Keys.h"

class QAction;
class QWidget;
class TActionList;
class TForm;

class TAction : public TObject {
 public:
  TAction(TActionList* list, const AnsiString& name);
  ~TAction() override;
  TAction(const TAction&) = delete;
  TAction& operator=(const TAction&) = delete;

  const AnsiString& Name() const { return name_; }
  TActionList* ActionList() const { return list_; }
  // The QAction behind every menu item and button of this action.
  QAction* QtAction() const { return action_; }

  AnsiString Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut);
  // "short|long": the short part is the tool tip, the long one the status bar text.
  AnsiString Hint() const { return hint_; }
  void SetHint(const AnsiString& hint);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Executing toggles Checked.
  bool AutoCheck = false;
  int HelpContext = 0;
  int Tag = 0;

  TNotifyEvent OnExecute, OnUpdate;

  bool Update();
  bool Execute();

 protected:
  // The standard kinds: what Update and Execute do when no handler is assigned.
  // StandardUpdate returns false when the kind has no standard behaviour.
  virtual bool StandardUpdate() { return false; }
  virtual bool StandardExecute() { return false; }

 private:
  void Triggered();
  void ApplyImage();

  TActionList* list_;
  AnsiString name_;
  QPointer<QAction> action_;
  AnsiString caption_, hint_;
  TShortCut shortCut_ = 0;
  int imageIndex_ = -1;
  bool enabled_ = true, checked_ = false, visible_ = true;
  bool executing_ = false;
};

// The class library's edit actions: with no OnExecute they cut, copy or paste in the
// focused edit control (line edits, memos, the edit part of combo and spin boxes) and
// are enabled only when that makes sense (a selection; a selection that may be removed;
// text on the clipboard and an edit that takes it). A program that assigns OnExecute
// (and updates the action itself) takes them over, as the main window does for the
// ration tree; clearing OnExecute gives them back to the edits.
enum class TEditActionKind { eaCut, eaCopy, eaPaste };
// The same for a command that is no action of a list: whether the command makes sense in
// the focused edit control, and running it there (false when no edit control has the
// focus).
bool EditCommandEnabled(TEditActionKind kind);
bool RunEditCommand(TEditActionKind kind);
class TEditAction : public TAction {
 public:
  TEditAction(TActionList* list, const AnsiString& name, TEditActionKind kind)
      : TAction(list, name), kind_(kind) {}
  TEditActionKind Kind() const { return kind_; }

 protected:
  bool StandardUpdate() override;
  bool StandardExecute() override;

 private:
  TEditActionKind kind_;
};

// The window actions of an MDI frame: enabled while the frame has a child.
enum class TWindowActionKind { waCascade, waTileHorizontal, waTileVertical, waMinimizeAll, waArrange, waClose };
class TWindowAction : public TAction {
 public:
  TWindowAction(TActionList* list, const AnsiString& name, TWindowActionKind kind, TForm* frame)
      : TAction(list, name), kind_(kind), frame_(frame) {}

 protected:
  bool StandardUpdate() override;
  bool StandardExecute() override;

 private:
  TWindowActionKind kind_;
  TForm* frame_;
};

using TActionEvent = std::function<void(TAction* Action, bool& Handled)>;

class TActionList : public TObject {
 public:
  // A list of a form (nil: a list of no window, updated always); the form dispatches
  // the list's shortcuts while the list lives.
  explicit TActionList(TForm* owner = nullptr);
  ~TActionList() override;
  TActionList(const TActionList&) = delete;
  TActionList& operator=(const TActionList&) = delete;

  TForm* Owner() const { return owner_; }
  // Images of the actions (not owned; must outlive the list).
  TImageList* Images = nullptr;

  // Adds an action (owned by the list). The object name of its QAction is `name`.
  TAction* Add(const AnsiString& name, const AnsiString& caption, TShortCut shortCut = 0,
               const AnsiString& hint = {});
  template <class A, class... Args>
  A* AddAction(const AnsiString& name, Args&&... args) {
    auto a = std::make_unique<A>(this, name, std::forward<Args>(args)...);
    A* raw = a.get();
    actions_.push_back(std::move(a));
    return raw;
  }
  int Count() const { return static_cast<int>(actions_.size()); }
  TAction* Actions(int index) const { return actions_.at(static_cast<std::size_t>(index)).get(); }
  TAction* Find(std::string_view name) const;

  TActionEvent OnUpdate, OnExecute;

  // Updates every action (the idle step of this list).
  void UpdateActions();
  // Runs the visible action with this shortcut; true when one ran (a disabled action
  // leaves its key to the control, as the class library's lists do).
  bool IsShortCut(TShortCut shortCut);

 private:
  TForm* owner_;
  std::vector<std::unique_ptr<TAction>> actions_;
};

// The idle step: updates every list of a visible form and every list without a form.
void UpdateAllActions();
// Arms the idle step: it runs once the pending events are done.
void RequestIdleUpdate();

// Qt's key sequence of a shortcut (for the text menus show) and back.
QKeySequence ShortCutToKeySequence(TShortCut shortCut);
// The shortcut text as menus show it ("Ctrl+N", "Shift+Del").
AnsiString ShortCutToText(TShortCut shortCut);

// For tests, as a user would: finds the action `name` in the lists of `form` (for an
// MDI frame also those of its active child), updates it, and when it is visible and
// enabled triggers it and processes the pending events. False when it is missing,
// hidden or disabled.
bool TriggerAction(TForm* form, std::string_view name);
// The action `name` of the form's lists (nil when missing).
TAction* FindAction(const TForm* form, std::string_view name);
