// Menus: the main menu of a form, popup menus and their items. An item is one QAction
// (its own, or the QAction of the TAction it is bound to); an item with children owns
// a QMenu. Items may be inserted and deleted at any time (the recent-files list).
//
// A click runs the bound action's Execute, else OnClick. An item's own shortcut is
// dispatched by its form like the actions' (see Forms.h).
#pragma once

#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Keys.h"

class QAction;
class QWidget;
class TAction;

class TMenuItem : public TObject {
 public:
  explicit TMenuItem(const AnsiString& name = {}, const AnsiString& caption = {}, TShortCut shortCut = 0);
  ~TMenuItem() override;
  TMenuItem(const TMenuItem&) = delete;
  TMenuItem& operator=(const TMenuItem&) = delete;

  const AnsiString& Name() const { return name_; }
  TMenuItem* Parent() const { return parent_; }

  // Children.
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(static_cast<std::size_t>(index)).get(); }
  int IndexOf(const TMenuItem* item) const;
  TMenuItem* Find(std::string_view name) const;  // among all descendants
  TMenuItem* Insert(int index, std::unique_ptr<TMenuItem> item);
  TMenuItem* Add(std::unique_ptr<TMenuItem> item) { return Insert(Count(), std::move(item)); }
  TMenuItem* Add(const AnsiString& name, const AnsiString& caption, TShortCut shortCut = 0);
  TMenuItem* AddAction(TAction* action);
  TMenuItem* AddSeparator();
  void Delete(int index);
  void Clear();
  // The submenu (created with the first child).
  QMenu* SubMenu() const { return menu_; }

  // Properties.
  AnsiString Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut);
  AnsiString Hint;
  int Tag = 0;
  bool IsSeparator() const { return caption_ == "-"; }
  TAction* Action() const { return action_; }
  void SetAction(TAction* action);
  TNotifyEvent OnClick;

  void Click();
  // The QAction that shows this item in its parent's menu.
  QAction* QtAction() const;
  // Runs the item (or a descendant) with this shortcut; true when one ran.
  bool IsShortCut(TShortCut shortCut);

 private:
  friend class TMainMenu;
  friend class TPopupMenu;
  void EnsureMenu();
  void Rebuild();  // puts the children's QActions into the submenu again
  std::function<void()> changed_;  // the root of a main menu: the bar follows

  AnsiString name_, caption_;
  TShortCut shortCut_ = 0;
  bool enabled_ = true, visible_ = true, checked_ = false;
  TMenuItem* parent_ = nullptr;
  TAction* action_ = nullptr;
  QPointer<QAction> own_;
  QPointer<QMenu> menu_;
  std::vector<std::unique_ptr<TMenuItem>> items_;
};

// The main menu of a form: the menu bar shows the top-level items (TForm::SetMenu).
class TMainMenu : public TObject {
 public:
  TMainMenu();
  ~TMainMenu() override;
  TMenuItem& Items() { return root_; }
  QMenuBar* MenuBar() const { return bar_; }
  bool IsShortCut(TShortCut shortCut) { return root_.IsShortCut(shortCut); }
  // Puts the top-level items into the bar again (after adding or removing some).
  void Rebuild();

 private:
  TMenuItem root_;
  QPointer<QMenuBar> bar_;
};

enum class TPopupAlignment { paLeft, paRight, paCenter };

// A popup menu: pops up at a screen point (a control's PopupMenu pops it after a right
// click); OnPopup runs first, so that the items can be brought up to date. Alignment
// says which part of the menu goes to the point's x: its left edge, its right edge or
// its middle. AutoPopup off: the controls that own the menu leave it closed (Popup
// still shows it).
class TPopupMenu : public TObject {
 public:
  TPopupMenu();
  ~TPopupMenu() override;
  TMenuItem& Items() { return root_; }
  QMenu* Menu();
  TNotifyEvent OnPopup;
  TPopupAlignment Alignment = TPopupAlignment::paLeft;
  bool AutoPopup = true;
  void Popup(int x, int y);

 private:
  void DoPopup();
  TMenuItem root_;
  bool popupDone_ = false;  // Popup ran OnPopup already
};
