#include "platform/gui/ActnList.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>

#include "platform/gui/Application.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Keyboard.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

namespace {

std::vector<TActionList*>& AllLists() {
  static std::vector<TActionList*> lists;
  return lists;
}

AnsiString ShortHintOf(const AnsiString& hint) {
  const auto bar = hint.find('|');
  return bar == AnsiString::npos ? hint : hint.substr(0, bar);
}

AnsiString LongHintOf(const AnsiString& hint) {
  const auto bar = hint.find('|');
  return bar == AnsiString::npos ? hint : hint.substr(bar + 1);
}

}  // namespace

// ---------------------------------------------------------------------------------

TAction::TAction(TActionList* list, const AnsiString& name) : list_(list), name_(name), action_(new QAction) {
  action_->setObjectName(ToQString(name));
  // Menus and tool bars show the shortcut; the forms dispatch it (ActnList.h).
  action_->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(action_, &QAction::triggered, action_, [this] { GuardedCall(this, [this] { Triggered(); }); });
}

TAction::~TAction() { delete action_.data(); }

void TAction::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  action_->setText(ToQString(caption));
}

void TAction::SetShortCut(TShortCut shortCut) {
  shortCut_ = shortCut;
  action_->setShortcut(ShortCutToKeySequence(shortCut));
}

void TAction::SetHint(const AnsiString& hint) {
  hint_ = hint;
  action_->setToolTip(ToQString(ShortHintOf(hint)));
  action_->setStatusTip(ToQString(LongHintOf(hint)));
}

void TAction::SetImageIndex(int index) {
  imageIndex_ = index;
  ApplyImage();
}

void TAction::ApplyImage() {
  if (!list_ || !list_->Images || imageIndex_ < 0 || imageIndex_ >= list_->Images->Count()) {
    action_->setIcon(QIcon());
    return;
  }
  const TImageList& images = *list_->Images;
  QIcon icon(QPixmap::fromImage(ToQImage(images.StyledImage(imageIndex_, TDrawingStyle::dsNormal, true))));
  icon.addPixmap(QPixmap::fromImage(ToQImage(images.StyledImage(imageIndex_, TDrawingStyle::dsNormal, false))),
                 QIcon::Disabled);
  action_->setIcon(icon);
}

void TAction::SetEnabled(bool enabled) {
  enabled_ = enabled;
  action_->setEnabled(enabled);
}

void TAction::SetChecked(bool checked) {
  checked_ = checked;
  if (checked && !action_->isCheckable()) action_->setCheckable(true);
  action_->setChecked(checked);
}

void TAction::SetVisible(bool visible) {
  visible_ = visible;
  action_->setVisible(visible);
}

bool TAction::Update() {
  bool handled = false;
  if (list_ && list_->OnUpdate) list_->OnUpdate(this, handled);
  if (handled) return true;
  if (OnUpdate) {
    OnUpdate(this);
    return true;
  }
  return StandardUpdate();
}

bool TAction::Execute() {
  if (executing_) return false;
  executing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{executing_};
  Update();
  if (!enabled_ || !visible_) return false;
  if (AutoCheck) SetChecked(!checked_);
  bool handled = false;
  if (list_ && list_->OnExecute) list_->OnExecute(this, handled);
  if (handled) return true;
  if (OnExecute) {
    OnExecute(this);
    return true;
  }
  return StandardExecute();
}

void TAction::Triggered() {
  // A checkable QAction has toggled itself already: the action's state decides.
  if (action_->isCheckable()) action_->setChecked(checked_);
  Execute();
  RequestIdleUpdate();
}

// Edit actions --------------------------------------------------------------------

namespace {

// The edit control that has the focus: a line edit (also inside a combo or spin box) or
// a memo; nil when the focus is elsewhere.
QWidget* FocusedEdit() {
  QWidget* w = QApplication::focusWidget();
  if (!w) return nullptr;
  if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)) return w;
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->lineEdit();
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) return spin->findChild<QLineEdit*>();
  return nullptr;
}

bool ClipboardHasText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasText() && !data->text().isEmpty();
}

}  // namespace

bool EditCommandEnabled(TEditActionKind kind) {
  QWidget* w = FocusedEdit();
  bool enabled = false;
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    const bool typing = !line->isReadOnly() && !line->property(kNoTypingProperty).toBool();
    switch (kind) {
      case TEditActionKind::eaCut:
        enabled = line->hasSelectedText() && typing && line->echoMode() == QLineEdit::Normal;
        break;
      case TEditActionKind::eaCopy: enabled = line->hasSelectedText() && line->echoMode() == QLineEdit::Normal; break;
      case TEditActionKind::eaPaste: enabled = typing && ClipboardHasText(); break;
    }
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
    const bool selection = memo->textCursor().hasSelection();
    switch (kind) {
      case TEditActionKind::eaCut: enabled = selection && !memo->isReadOnly(); break;
      case TEditActionKind::eaCopy: enabled = selection; break;
      case TEditActionKind::eaPaste: enabled = !memo->isReadOnly() && ClipboardHasText(); break;
    }
  }
  return enabled;
}

bool RunEditCommand(TEditActionKind kind) {
  QWidget* w = FocusedEdit();
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    switch (kind) {
      case TEditActionKind::eaCut: line->cut(); break;
      case TEditActionKind::eaCopy: line->copy(); break;
      case TEditActionKind::eaPaste: line->paste(); break;
    }
    return true;
  }
  if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
    switch (kind) {
      case TEditActionKind::eaCut: memo->cut(); break;
      case TEditActionKind::eaCopy: memo->copy(); break;
      case TEditActionKind::eaPaste: memo->paste(); break;
    }
    return true;
  }
  return false;
}

bool TEditAction::StandardUpdate() {
  SetEnabled(EditCommandEnabled(kind_));
  return true;
}

bool TEditAction::StandardExecute() { return RunEditCommand(kind_); }

// Window actions ------------------------------------------------------------------

bool TWindowAction::StandardUpdate() {
  SetEnabled(frame_ && frame_->MDIChildCount() > 0);
  return true;
}

bool TWindowAction::StandardExecute() {
  if (!frame_ || frame_->MDIChildCount() == 0) return false;
  switch (kind_) {
    case TWindowActionKind::waCascade: frame_->Cascade(); break;
    case TWindowActionKind::waTileHorizontal: frame_->Tile(TTileMode::tbHorizontal); break;
    case TWindowActionKind::waTileVertical: frame_->Tile(TTileMode::tbVertical); break;
    case TWindowActionKind::waMinimizeAll: frame_->MinimizeAll(); break;
    case TWindowActionKind::waArrange: frame_->ArrangeIcons(); break;
    case TWindowActionKind::waClose:
      if (TForm* child = frame_->ActiveMDIChild()) child->Close();
      break;
  }
  return true;
}

// Lists ---------------------------------------------------------------------------

TActionList::TActionList(TForm* owner) : owner_(owner) {
  AllLists().push_back(this);
  if (owner_) owner_->actionLists_.push_back(this);
}

TActionList::~TActionList() {
  auto& lists = AllLists();
  lists.erase(std::remove(lists.begin(), lists.end(), this), lists.end());
  if (owner_) {
    auto& own = owner_->actionLists_;
    own.erase(std::remove(own.begin(), own.end(), this), own.end());
  }
}

TAction* TActionList::Add(const AnsiString& name, const AnsiString& caption, TShortCut shortCut,
                          const AnsiString& hint) {
  TAction* a = AddAction<TAction>(name);
  a->SetCaption(caption);
  if (shortCut) a->SetShortCut(shortCut);
  if (!hint.empty()) a->SetHint(hint);
  return a;
}

TAction* TActionList::Find(std::string_view name) const {
  for (const auto& a : actions_)
    if (SameText(a->Name(), name)) return a.get();
  return nullptr;
}

void TActionList::UpdateActions() {
  for (const auto& a : actions_) a->Update();
}

bool TActionList::IsShortCut(TShortCut shortCut) {
  if (shortCut == 0) return false;
  for (const auto& a : actions_) {
    if (a->ShortCut() != shortCut || !a->Visible()) continue;
    if (a->Execute()) {
      RequestIdleUpdate();
      return true;
    }
  }
  return false;
}

void UpdateAllActions() {
  // A handler may create or free lists: walk a copy and skip the ones gone meanwhile.
  const std::vector<TActionList*> lists = AllLists();
  for (TActionList* list : lists) {
    const auto& now = AllLists();
    if (std::find(now.begin(), now.end(), list) == now.end()) continue;
    TForm* owner = list->Owner();
    if (owner && !owner->Visible()) continue;
    GuardedCall(list, [list] { list->UpdateActions(); });
  }
}

void RequestIdleUpdate() {
  static QTimer* timer = nullptr;
  if (!timer) {
    if (!qApp) return;
    timer = new QTimer(qApp);
    timer->setSingleShot(true);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [] { UpdateAllActions(); });
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [] { RequestIdleUpdate(); });
  }
  if (!timer->isActive()) timer->start();
}

// Shortcut texts ------------------------------------------------------------------

QKeySequence ShortCutToKeySequence(TShortCut shortCut) {
  if (shortCut == 0) return {};
  const int key = QtKeyFromVirtualKey(static_cast<std::uint16_t>(shortCut & 0x1FFF));
  if (key == Qt::Key_unknown) return {};
  int modifiers = 0;
  if (shortCut & scShift) modifiers |= Qt::SHIFT;
  if (shortCut & scCtrl) modifiers |= Qt::CTRL;
  if (shortCut & scAlt) modifiers |= Qt::ALT;
  return QKeySequence(key | modifiers);
}

AnsiString ShortCutToText(TShortCut shortCut) {
  return FromQString(ShortCutToKeySequence(shortCut).toString(QKeySequence::NativeText));
}

// Tests ---------------------------------------------------------------------------

TAction* FindAction(const TForm* form, std::string_view name) {
  if (!form) return nullptr;
  for (TActionList* list : form->ActionLists())
    if (TAction* a = list->Find(name)) return a;
  return nullptr;
}

bool TriggerAction(TForm* form, std::string_view name) {
  TAction* a = FindAction(form, name);
  if (!a && form) a = FindAction(form->ActiveMDIChild(), name);
  if (!a) return false;
  a->Update();
  if (!a->Visible() || !a->Enabled()) return false;
  a->QtAction()->trigger();
  QCoreApplication::processEvents();
  return true;
}
