#include "platform/gui/Menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>

#include "platform/gui/ActnList.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

TMenuItem::TMenuItem(const AnsiString& name, const AnsiString& caption, TShortCut shortCut)
    : name_(name), own_(new QAction) {
  own_->setObjectName(ToQString(name));
  own_->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(own_, &QAction::triggered, own_, [this] { GuardedCall(this, [this] { Click(); }); });
  SetCaption(caption);
  SetShortCut(shortCut);
}

TMenuItem::~TMenuItem() {
  items_.clear();
  delete menu_.data();
  delete own_.data();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

TMenuItem* TMenuItem::Find(std::string_view name) const {
  for (const auto& item : items_) {
    if (SameText(item->name_, name)) return item.get();
    if (TMenuItem* found = item->Find(name)) return found;
  }
  return nullptr;
}

void TMenuItem::EnsureMenu() {
  if (menu_) return;
  menu_ = new QMenu;
  menu_->setObjectName(ToQString(name_));
  menu_->setTitle(ToQString(caption_));
  own_->setMenu(menu_);
}

void TMenuItem::Rebuild() {
  if (changed_) changed_();
  if (!menu_) return;
  menu_->clear();
  for (const auto& item : items_) menu_->addAction(item->QtAction());
}

TMenuItem* TMenuItem::Insert(int index, std::unique_ptr<TMenuItem> item) {
  index = std::clamp(index, 0, Count());
  item->parent_ = this;
  TMenuItem* raw = item.get();
  items_.insert(items_.begin() + index, std::move(item));
  EnsureMenu();
  Rebuild();
  return raw;
}

TMenuItem* TMenuItem::Add(const AnsiString& name, const AnsiString& caption, TShortCut shortCut) {
  return Add(std::make_unique<TMenuItem>(name, caption, shortCut));
}

TMenuItem* TMenuItem::AddAction(TAction* action) {
  auto item = std::make_unique<TMenuItem>(action->Name());
  item->SetAction(action);
  return Add(std::move(item));
}

TMenuItem* TMenuItem::AddSeparator() { return Add(std::make_unique<TMenuItem>(AnsiString(), "-")); }

void TMenuItem::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
  Rebuild();
}

void TMenuItem::Clear() {
  items_.clear();
  Rebuild();
}

void TMenuItem::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  own_->setSeparator(caption == "-");
  own_->setText(ToQString(caption));
  if (menu_) menu_->setTitle(ToQString(caption));
}

void TMenuItem::SetEnabled(bool enabled) {
  enabled_ = enabled;
  own_->setEnabled(enabled);
}

void TMenuItem::SetVisible(bool visible) {
  visible_ = visible;
  own_->setVisible(visible);
}

void TMenuItem::SetChecked(bool checked) {
  checked_ = checked;
  own_->setCheckable(checked || own_->isCheckable());
  own_->setChecked(checked);
}

void TMenuItem::SetShortCut(TShortCut shortCut) {
  shortCut_ = shortCut;
  own_->setShortcut(ShortCutToKeySequence(shortCut));
}

void TMenuItem::SetAction(TAction* action) {
  action_ = action;
  if (parent_) parent_->Rebuild();
}

QAction* TMenuItem::QtAction() const {
  // An item with a submenu keeps its own QAction (which carries the menu).
  return action_ && !menu_ ? action_->QtAction() : own_.data();
}

void TMenuItem::Click() {
  if (own_->isCheckable()) own_->setChecked(checked_);
  if (action_) action_->Execute();
  else if (OnClick) OnClick(this);
  RequestIdleUpdate();
}

bool TMenuItem::IsShortCut(TShortCut shortCut) {
  for (const auto& item : items_) {
    if (!item->visible_) continue;
    if (item->items_.empty() && !item->action_ && item->shortCut_ == shortCut && shortCut != 0) {
      if (!item->enabled_) return false;
      item->Click();
      return true;
    }
    if (item->IsShortCut(shortCut)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------

TMainMenu::TMainMenu() : root_("MainMenu"), bar_(new QMenuBar) {
  bar_->setObjectName("MainMenu");
  root_.changed_ = [this] { Rebuild(); };
}

TMainMenu::~TMainMenu() {
  root_.changed_ = nullptr;
  root_.Clear();
  delete bar_.data();
}

void TMainMenu::Rebuild() {
  if (!bar_) return;
  bar_->clear();
  for (int i = 0; i < root_.Count(); ++i) bar_->addAction(root_.Items(i)->QtAction());
}

TPopupMenu::TPopupMenu() : root_("PopupMenu") {
  root_.EnsureMenu();
  QObject::connect(root_.menu_, &QMenu::aboutToShow, root_.menu_, [this] {
    if (popupDone_) {
      popupDone_ = false;
      return;
    }
    DoPopup();
  });
}

void TPopupMenu::DoPopup() {
  GuardedCall(this, [this] {
    if (OnPopup) OnPopup(this);
  });
}

TPopupMenu::~TPopupMenu() = default;

QMenu* TPopupMenu::Menu() { return root_.SubMenu(); }

void TPopupMenu::Popup(int x, int y) {
  QMenu* menu = Menu();
  if (Alignment != TPopupAlignment::paLeft) {
    // The items are brought up to date before the menu is measured.
    DoPopup();
    popupDone_ = true;
    const int width = menu->sizeHint().width();
    x -= Alignment == TPopupAlignment::paRight ? width : width / 2;
  }
  menu->popup(QPoint(x, y));
  popupDone_ = false;
}
