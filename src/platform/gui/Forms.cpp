#include "platform/gui/Forms.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTimer>
#include <algorithm>
#include <map>
#include <optional>

#include "platform/core/FlagScope.h"
#include "platform/core/Registry.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Align.h"
#include "platform/gui/Application.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Keyboard.h"
#include "platform/gui/Menus.h"
#include "platform/gui/QtGraphics.h"

namespace {

std::vector<TForm*>& AllForms() {
  static std::vector<TForm*> forms;
  return forms;
}

QRect Available(const QWidget* w) {
  const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QRect ClampInto(QRect r, const QRect& area) {
  r.setWidth(std::min(r.width(), area.width()));
  r.setHeight(std::min(r.height(), area.height()));
  r.moveLeft(std::clamp(r.left(), area.left(), area.left() + area.width() - r.width()));
  r.moveTop(std::clamp(r.top(), area.top(), area.top() + area.height() - r.height()));
  return r;
}

}  // namespace

// The window of an MDI child: when it goes first (with the frame), it tells its form,
// so that the form does not delete it a second time.
class TMdiChildWindow : public QMdiSubWindow {
 public:
  explicit TMdiChildWindow(QWidget* parent) : QMdiSubWindow(parent) {}
  ~TMdiChildWindow() override {
    if (auto* form = dynamic_cast<TForm*>(widget())) form->subWindow_ = nullptr;
  }
};

// ---------------------------------------------------------------------------------
// The kit's application-wide event filter: shortcuts, dialog keys, key preview, help,
// the hint switch and the idle step.

class TKitEventFilter : public QObject {
 public:
  static void Install() {
    static TKitEventFilter* filter = nullptr;
    if (filter || !qApp) return;
    filter = new TKitEventFilter;  // lives as long as the application
    filter->setParent(qApp);
    qApp->installEventFilter(filter);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::FocusIn:
      case QEvent::WindowActivate:
        RequestIdleUpdate();
        break;
      default:
        break;
    }
    if (!watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (e->type() == QEvent::ToolTip) return HintsOff(w);
    if (e->type() != QEvent::KeyPress) return false;
    bool taken = false;
    GuardedCall(nullptr, [&] { taken = KeyPress(w, static_cast<QKeyEvent*>(e)); });
    return taken;
  }

 private:
  static bool HintsOff(QWidget* w) {
    if (!Application().ShowHint) return true;
    // Within a control of the kit its effective ShowHint decides (a control with its own
    // ShowHint on shows its hint in a form without hints); elsewhere the form's.
    if (const TWinControl* control = TWinControl::FromWidget(w)) return !control->EffectiveShowHint();
    const TForm* form = TForm::ParentForm(w);
    return form && !form->ShowHint;
  }

  static bool WantsDialogKeys(QWidget* focus) {
    for (QWidget* w = focus; w && !dynamic_cast<TForm*>(w); w = w->parentWidget()) {
      const QVariant v = w->property(kWantsDialogKeysProperty);
      if (v.isValid()) return v.toBool();
    }
    return false;
  }

  // The character of a key pressed with Alt (and without Ctrl): a letter or digit key
  // gives the character of its key code when the event carries no text.
  static std::optional<char> AltCharacter(const QKeyEvent& ke) {
    if ((ke.modifiers() & (Qt::AltModifier | Qt::ControlModifier)) != Qt::AltModifier) return std::nullopt;
    char32_t u = 0;
    if (!ke.text().isEmpty() && ke.text().at(0).isLetterOrNumber()) u = ke.text().at(0).unicode();
    else if (ke.key() > 0x20 && ke.key() < 0x10000 && QChar(ke.key()).isLetterOrNumber()) u = static_cast<char32_t>(ke.key());
    if (u == 0) return std::nullopt;
    const unsigned char c = cp::UnicodeTo1251(u, 0);
    if (c == 0) return std::nullopt;
    return static_cast<char>(c);
  }

  static bool KeyPress(QWidget* w, QKeyEvent* ke) {
    // Popup windows (open menus, drop-down lists) keep their keys; a key that Qt passes
    // on to the parents of the focused widget was seen already.
    if (w->window()->windowType() == Qt::Popup) return false;
    QWidget* focus = QApplication::focusWidget();
    if (focus && w != focus && w->isAncestorOf(focus)) return false;
    TForm* form = TForm::ParentForm(w);
    if (!form) return false;
    const TKeyInfo info = TranslateKeyEvent(*ke);
    if (info.Key != 0) {
      const TShortCut sc = ShortCut(info.Key, info.Shift);
      for (TForm* f = form; f; f = f->MDIFrame()) {
        if (f->Menu() && f->Menu()->IsShortCut(sc)) return true;
        for (TActionList* list : f->ActionLists())
          if (list->IsShortCut(sc)) return true;
      }
      if (const std::optional<char> c = AltCharacter(*ke))
        for (QWidget* child : form->findChildren<QWidget*>())
          if (auto* control = dynamic_cast<TWinControl*>(child); control && control->DialogChar(*c)) return true;
      if ((info.Key == VK_RETURN || info.Key == VK_ESCAPE) && !(info.Shift & (ssCtrl | ssAlt)) &&
          !WantsDialogKeys(focus ? focus : w) && form->DialogKey(info.Key))
        return true;
    }
    if (form->KeyPreview) {
      if (info.Key != 0) {
        std::uint16_t key = info.Key;
        form->KeyDown(key, info.Shift);
        if (key == 0) return true;
      }
      if (info.Char) {
        char c = *info.Char;
        form->KeyPress(c);
        if (c == 0) return true;
      }
    }
    if (info.Key == VK_F1 && info.Shift == 0 && form->HelpContext != 0) {
      form->ShowHelp();
      return true;
    }
    return false;
  }
};

// ---------------------------------------------------------------------------------

TForm::TForm(QWidget* owner, TFormStyle style) : QWidget(nullptr), style_(style) {
  TKitEventFilter::Install();
  if (style_ == TFormStyle::fsMDIChild) {
    auto* frame = dynamic_cast<TForm*>(owner);
    if (!frame || !frame->mdiArea_) throw Exception(Ansi("Окно MDI-документа требует главного окна MDI"));
    frame_ = frame;
    auto* sub = new TMdiChildWindow(nullptr);
    sub->setWidget(this);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    // No toolkit logo in the child's title bar.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    sub->setWindowIcon(QIcon(blank));
    subWindow_ = sub;
    frame->mdiArea_->addSubWindow(sub);
    sub->hide();
    connect(sub, &QMdiSubWindow::windowStateChanged, this, [this] {
      if (frame_) frame_->UpdateFrameCaption();
    });
  } else {
    setParent(owner, Qt::Window | (style_ == TFormStyle::fsStayOnTop ? Qt::WindowStaysOnTopHint : Qt::Widget));
  }
  setAttribute(Qt::WA_DeleteOnClose, false);
  const QPalette pal = palette();
  setAutoFillBackground(true);
  QPalette p = pal;
  p.setColor(QPalette::Window, ToQColor(clBtnFace));
  setPalette(p);
  setFont(ToQFont(TFont{}));
  if (style_ == TFormStyle::fsMDIForm) {
    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName("ClientArea");
    mdiArea_->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    ::SetAlign(mdiArea_, TAlign::alClient);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
      GuardedCall(this, [&] { ChildActivated(w); });
    });
  }
  AllForms().push_back(this);
}

TForm::~TForm() {
  destroying_ = true;
  if (OnDestroy) GuardedCall(this, [this] { OnDestroy(this); });
  if (mdiArea_) {
    // The children go while the frame is whole; their activations are no news now.
    QObject::disconnect(mdiArea_, nullptr, this, nullptr);
    activeChild_ = nullptr;
    for (QMdiSubWindow* w : mdiArea_->subWindowList()) delete w;
  }
  if (Application().MainForm == this) Application().MainForm = nullptr;
  auto& forms = AllForms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (frame_ && frame_->activeChild_ == this) frame_->activeChild_ = nullptr;
  if (frame_ && !frame_->destroying_) {
    QTimer::singleShot(0, frame_, [f = QPointer<TForm>(frame_)] {
      if (f) {
        f->RebuildWindowMenu();
        f->UpdateFrameCaption();
      }
    });
  }
  if (subWindow_) {
    subWindow_->setWidget(nullptr);
    subWindow_->deleteLater();
  }
}

const std::vector<TForm*>& TForm::Forms() { return AllForms(); }

TForm* TForm::ParentForm(const QWidget* w) {
  for (; w; w = w->parentWidget())
    if (auto* f = dynamic_cast<const TForm*>(w)) return const_cast<TForm*>(f);
  return nullptr;
}

void TForm::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  if (style_ == TFormStyle::fsMDIForm) UpdateFrameCaption();
  else setWindowTitle(ToQString(caption));
  if (frame_) {
    frame_->UpdateFrameCaption();
    frame_->RebuildWindowMenu();
  }
}

AnsiString TForm::DisplayCaption() const {
  if (style_ != TFormStyle::fsMDIForm) return caption_;
  const TForm* child = ActiveMDIChild();
  if (child && child->WindowState() == TWindowState::wsMaximized) return caption_ + " - [" + child->Caption() + "]";
  return caption_;
}

void TForm::UpdateFrameCaption() {
  if (style_ == TFormStyle::fsMDIForm) setWindowTitle(ToQString(DisplayCaption()));
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  if (style_ == TFormStyle::fsMDIChild) return;
  Qt::WindowFlags flags = Qt::Window;
  switch (style) {
    case TFormBorderStyle::bsNone: flags |= Qt::FramelessWindowHint; break;
    case TFormBorderStyle::bsDialog:
    case TFormBorderStyle::bsSingle: flags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint; break;
    case TFormBorderStyle::bsToolWindow: flags = Qt::Tool; break;
    case TFormBorderStyle::bsSizeable: break;
  }
  if (style_ == TFormStyle::fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  const bool visible = isVisible();
  setWindowFlags(flags);
  if (visible) show();
}

QWidget* TForm::PlacementWidget() const {
  return subWindow_ ? static_cast<QWidget*>(subWindow_) : const_cast<TForm*>(this);
}

// Showing --------------------------------------------------------------------------

void TForm::ApplyPosition() {
  if (placementRestored_ || Position == TPosition::poDesigned || style_ == TFormStyle::fsMDIChild) return;
  QRect area = Available(this);
  if (Position == TPosition::poOwnerFormCenter || Position == TPosition::poMainFormCenter) {
    const QWidget* anchor = Position == TPosition::poOwnerFormCenter ? parentWidget() : Application().MainForm;
    if (anchor && anchor->isVisible()) area = anchor->geometry();
  }
  QRect r = geometry();
  r.moveCenter(area.center());
  setGeometry(ClampInto(r, Available(this)));
}

void TForm::Show() {
  if (style_ == TFormStyle::fsMDIChild) {
    QWidget::show();
    subWindow_->show();
    frame_->mdiArea_->setActiveSubWindow(subWindow_);
    return;
  }
  if (!shownOnce_) ApplyPosition();
  show();
  raise();
  activateWindow();
}

void TForm::Hide() {
  if (subWindow_) subWindow_->hide();
  else hide();
}

bool TForm::Visible() const {
  if (subWindow_) return subWindow_->isVisible() && isVisibleTo(subWindow_);
  return isVisible();
}

TModalResult TForm::ShowModal() {
  if (modal_ || Visible() || style_ == TFormStyle::fsMDIChild)
    throw Exception(Ansi("Невозможно сделать видимое окно модальным"));
  modal_ = true;
  modalResult_ = mrNone;
  releaseAfterModal_ = false;
  setWindowModality(Qt::ApplicationModal);
  TModalResult result = mrCancel;
  try {
    Show();
    result = Dialogs().RunModal(*this);
  } catch (...) {
    modal_ = false;
    hide();  // before the modality changes: Qt leaves the modal state only on a modal hide
    setWindowModality(Qt::NonModal);
    throw;
  }
  modal_ = false;
  modalLoop_ = nullptr;
  hide();
  setWindowModality(Qt::NonModal);
  modalResult_ = result;
  if (releaseAfterModal_) Release();
  return result;
}

void TForm::SetModalResult(TModalResult result) {
  modalResult_ = result;
  if (!modal_ || !modalLoop_ || result == mrNone) return;
  // As the class library's modal loop: the result is looked at once the current
  // message is done.
  QTimer::singleShot(0, this, [this] {
    if (!modal_ || !modalLoop_ || modalResult_ == mrNone) return;
    if (!CloseModal()) return;
    QEventLoop* loop = modalLoop_;
    modalLoop_ = nullptr;
    loop->quit();
  });
}

bool TForm::CloseModal() {
  TCloseAction action = TCloseAction::caNone;
  try {
    if (CloseQuery()) {
      action = TCloseAction::caHide;
      DoClose(action);
    }
  } catch (...) {
    modalResult_ = mrNone;
    Application().HandleException(this);
    return false;
  }
  if (action == TCloseAction::caNone) {
    modalResult_ = mrNone;
    return false;
  }
  if (action == TCloseAction::caFree) releaseAfterModal_ = true;
  return true;
}

bool TForm::CloseQuery() {
  if (mdiArea_) {
    for (int i = 0; i < MDIChildCount(); ++i)
      if (!MDIChildren(i)->CloseQuery()) return false;
  }
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (modal_) {
    SetModalResult(mrCancel);
    return;
  }
  CloseSteps();
}

bool TForm::CloseSteps() {
  if (closing_) return false;
  const TFlagScope closing(closing_);
  if (!CloseQuery()) return false;
  TCloseAction action = style_ == TFormStyle::fsMDIChild ? TCloseAction::caMinimize : TCloseAction::caHide;
  DoClose(action);
  switch (action) {
    case TCloseAction::caNone: return false;
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
    case TCloseAction::caFree:
      Hide();
      Release();
      break;
  }
  if (Application().MainForm == this && action != TCloseAction::caMinimize) Application().Terminate();
  return true;
}

void TForm::Release() {
  if (subWindow_) subWindow_->deleteLater();
  else deleteLater();
}

TWindowState TForm::WindowState() const {
  const Qt::WindowStates s = PlacementWidget()->windowState();
  if (s & Qt::WindowMinimized) return TWindowState::wsMinimized;
  if (s & Qt::WindowMaximized) return TWindowState::wsMaximized;
  return TWindowState::wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
  QWidget* w = PlacementWidget();
  switch (state) {
    case TWindowState::wsNormal:
      if (subWindow_ && WindowState() != TWindowState::wsNormal) subWindow_->showNormal();
      else w->setWindowState(w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
      break;
    case TWindowState::wsMinimized:
      if (subWindow_) subWindow_->showMinimized();
      else w->setWindowState((w->windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
      break;
    case TWindowState::wsMaximized:
      if (subWindow_) subWindow_->showMaximized();
      else w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
      break;
  }
  if (frame_) frame_->UpdateFrameCaption();
}

// Focus, keys, help ----------------------------------------------------------------

QWidget* TForm::ActiveControl() const {
  QWidget* f = focusWidget();
  return f && f != this ? f : nullptr;
}

void TForm::SetActiveControl(QWidget* control) {
  if (control && isAncestorOf(control)) control->setFocus(Qt::OtherFocusReason);
}

bool TForm::DialogKey(std::uint16_t key) {
  QAbstractButton* target = nullptr;
  const auto buttons = findChildren<QAbstractButton*>();
  auto usable = [this](QAbstractButton* b) { return b->isVisibleTo(this) && b->isEnabled(); };
  if (key == VK_RETURN) {
    if (auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget()); focused && isAncestorOf(focused))
      target = focused;
    for (QAbstractButton* b : buttons) {
      if (target) break;
      if (auto* p = qobject_cast<QPushButton*>(b); p && p->isDefault() && usable(p)) target = p;
    }
  } else if (key == VK_ESCAPE) {
    for (QAbstractButton* b : buttons)
      if (b->property(kCancelButtonProperty).toBool() && usable(b)) {
        target = b;
        break;
      }
  }
  if (!target || !usable(target)) return false;
  target->click();
  return true;
}

void TForm::ShowHelp() {
  if (HelpContext != 0) ShowHelpContext(HelpContext);
}

void TForm::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TForm::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

// Steps -----------------------------------------------------------------------------

void TForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

// Qt events -------------------------------------------------------------------------

bool TForm::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::WindowActivate:
      if (!subWindow_) GuardedCall(this, [this] { Activate(); });
      break;
    case QEvent::WindowDeactivate:
      if (!subWindow_) GuardedCall(this, [this] { Deactivate(); });
      break;
    case QEvent::StatusTip:
      if (HintBar) {
        HintBar->ShowHintText(FromQString(static_cast<QStatusTipEvent*>(e)->tip()));
        return true;
      }
      break;
    default:
      break;
  }
  return QWidget::event(e);
}

void TForm::closeEvent(QCloseEvent* e) {
  // The form decides itself what closing does (hide, minimise, free); Qt only asks.
  e->ignore();
  if (modal_) {
    SetModalResult(mrCancel);
    return;
  }
  GuardedCall(this, [this] { CloseSteps(); });
}

void TForm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (e->spontaneous()) return;
  shownOnce_ = true;
  GuardedCall(this, [this] { DoShow(); });
  RequestIdleUpdate();
}

void TForm::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  if (e->spontaneous()) return;
  GuardedCall(this, [this] { DoHide(); });
}

void TForm::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  LayoutMenu();
  GuardedCall(this, [this] {
    if (OnResize) OnResize(this);
  });
}

void TForm::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  if (WindowState() == TWindowState::wsNormal) normalRect_ = PlacementWidget()->geometry();
}

void TForm::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::WindowStateChange && frame_) frame_->UpdateFrameCaption();
}

void TForm::LayoutMenu() {
  if (WindowState() == TWindowState::wsNormal && isVisible()) normalRect_ = PlacementWidget()->geometry();
  if (!menuBar_) return;
  const int h = menuBar_->sizeHint().height();
  menuBar_->setGeometry(0, 0, width(), h);
  setContentsMargins(0, h, 0, 0);
}

void TForm::SetMenu(TMainMenu* menu) {
  menu_ = menu;
  menuBar_ = menu ? menu->MenuBar() : nullptr;
  if (menuBar_) {
    menuBar_->setParent(this);
    menuBar_->show();
  } else {
    setContentsMargins(0, 0, 0, 0);
  }
  LayoutMenu();
  AlignControls(this);
}

// MDI -------------------------------------------------------------------------------

int TForm::MDIChildCount() const {
  if (!mdiArea_) return 0;
  int n = 0;
  for (QMdiSubWindow* w : mdiArea_->subWindowList())
    if (dynamic_cast<TForm*>(w->widget())) ++n;
  return n;
}

TForm* TForm::MDIChildren(int index) const {
  if (!mdiArea_) return nullptr;
  // Qt lists the most recently active window last; the class library first.
  const QList<QMdiSubWindow*> list = mdiArea_->subWindowList(QMdiArea::ActivationHistoryOrder);
  int n = 0;
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (auto* f = dynamic_cast<TForm*>((*it)->widget()); f && n++ == index) return f;
  return nullptr;
}

TForm* TForm::ActiveMDIChild() const {
  if (!mdiArea_) return nullptr;
  QMdiSubWindow* w = mdiArea_->activeSubWindow();
  if (!w) w = mdiArea_->currentSubWindow();
  return w ? dynamic_cast<TForm*>(w->widget()) : nullptr;
}

void TForm::ChildActivated(QMdiSubWindow* w) {
  if (destroying_) return;
  TForm* child = w ? dynamic_cast<TForm*>(w->widget()) : nullptr;
  if (child != activeChild_) {
    TForm* old = activeChild_;
    activeChild_ = child;
    if (old) old->Deactivate();
    if (child) child->Activate();
  }
  UpdateFrameCaption();
  RebuildWindowMenu();
  RequestIdleUpdate();
}

void TForm::Cascade() {
  if (mdiArea_) mdiArea_->cascadeSubWindows();
}

void TForm::Tile(TTileMode mode) { TileMdiWindows(mdiArea_, mode); }

void TForm::ArrangeIcons() { ArrangeMdiIcons(mdiArea_); }

void TileMdiWindows(QMdiArea* area, TTileMode mode) {
  if (!area) return;
  std::vector<QMdiSubWindow*> windows;
  for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder))
    if (w->isVisible() && !w->isMinimized()) windows.push_back(w);
  if (windows.empty()) return;
  // A maximised child leaving its state may change the client area (its buttons leave
  // the menu bar): the area is taken once every child is normal.
  bool wasMaximized = false;
  for (QMdiSubWindow* w : windows)
    if (w->isMaximized()) {
      w->showNormal();
      wasMaximized = true;
    }
  if (wasMaximized) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  const QRect client = area->viewport()->rect();
  const int n = static_cast<int>(windows.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* w = windows[static_cast<std::size_t>(i)];
    // Horizontal tiling stacks the windows one under another, vertical side by side.
    if (mode == TTileMode::tbHorizontal) {
      const int top = client.height() * i / n, bottom = client.height() * (i + 1) / n;
      w->setGeometry(0, top, client.width(), bottom - top);
    } else {
      const int left = client.width() * i / n, right = client.width() * (i + 1) / n;
      w->setGeometry(left, 0, right - left, client.height());
    }
  }
}

void ArrangeMdiIcons(QMdiArea* area) {
  if (!area) return;
  // Minimised children in a row along the bottom of the client area.
  const QRect client = area->viewport()->rect();
  int x = 0;
  for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder)) {
    if (!w->isMinimized()) continue;
    const QSize s = w->size();
    w->move(x, client.height() - s.height());
    x += s.width();
  }
}

void TForm::MinimizeAll() {
  if (!mdiArea_) return;
  for (QMdiSubWindow* w : mdiArea_->subWindowList()) w->showMinimized();
}

void TForm::Next() {
  if (mdiArea_) mdiArea_->activateNextSubWindow();
}

void TForm::Previous() {
  if (mdiArea_) mdiArea_->activatePreviousSubWindow();
}

void TForm::RebuildWindowMenu() {
  if (!windowMenu_ || destroying_) return;
  for (QAction* a : windowMenu_->actions())
    if (a->property("twWindowList").toBool()) {
      windowMenu_->removeAction(a);
      a->deleteLater();
    }
  if (!mdiArea_) return;
  const QList<QMdiSubWindow*> list = mdiArea_->subWindowList(QMdiArea::CreationOrder);
  bool first = true;
  int n = 0;
  for (QMdiSubWindow* w : list) {
    auto* child = dynamic_cast<TForm*>(w->widget());
    if (!child) continue;
    if (first) {
      QAction* sep = windowMenu_->addSeparator();
      sep->setProperty("twWindowList", true);
      first = false;
    }
    ++n;
    QAction* a = windowMenu_->addAction(ToQString(AnsiString(n < 10 ? "&" : "") + std::to_string(n) + " " +
                                                  child->Caption()));
    a->setProperty("twWindowList", true);
    a->setCheckable(true);
    a->setChecked(child == ActiveMDIChild());
    QPointer<QMdiSubWindow> target(w);
    QObject::connect(a, &QAction::triggered, this, [this, target] {
      if (target && mdiArea_) {
        if (target->isMinimized()) target->showNormal();
        mdiArea_->setActiveSubWindow(target);
      }
    });
  }
}

// Placement and help ------------------------------------------------------------------

namespace {

void WritePlacement(TSettingsStore& store, std::string_view key, const TPlacementNames& names, const QRect& r,
                    TWindowState state) {
  store.WriteValue(key, names.Left, std::to_string(r.left()));
  store.WriteValue(key, names.Top, std::to_string(r.top()));
  store.WriteValue(key, names.Width, std::to_string(r.width()));
  store.WriteValue(key, names.Height, std::to_string(r.height()));
  if (names.StateIsMaximizedFlag)
    store.WriteValue(key, names.State, state == TWindowState::wsMaximized ? "1" : "0");
  else
    store.WriteValue(key, names.State, std::to_string(static_cast<int>(state)));
  store.Save();
}

bool ReadInt(TSettingsStore& store, std::string_view key, const char* name, int& out) {
  AnsiString v;
  if (!store.ReadValue(key, name, v)) return false;
  try {
    std::size_t used = 0;
    const long long x = std::stoll(v, &used);
    if (used != v.size() || x < -1000000 || x > 1000000) return false;
    out = static_cast<int>(x);
    return true;
  } catch (...) {
    return false;
  }
}

// Whether the window was maximised (left empty when no state is stored).
void ReadPlacementState(TSettingsStore& store, std::string_view key, const TPlacementNames& names,
                        std::optional<bool>& maximized) {
  int s = 0;
  if (ReadInt(store, key, names.State, s))
    maximized = names.StateIsMaximizedFlag ? s != 0 : s == static_cast<int>(TWindowState::wsMaximized);
}

// The stored bounds, each read on its own with the value `bounds` holds as its default
// (a missing, invalid or non-positive size keeps it); false when none is stored.
bool ReadPlacementBounds(TSettingsStore& store, std::string_view key, const TPlacementNames& names, QRect& bounds) {
  int left = bounds.left(), top = bounds.top(), width = bounds.width(), height = bounds.height();
  int w = 0, h = 0;
  bool found = ReadInt(store, key, names.Left, left);
  found = ReadInt(store, key, names.Top, top) || found;
  if (ReadInt(store, key, names.Width, w) && w > 0) {
    width = w;
    found = true;
  }
  if (ReadInt(store, key, names.Height, h) && h > 0) {
    height = h;
    found = true;
  }
  if (found) bounds = QRect(left, top, width, height);
  return found;
}

std::map<int, std::pair<AnsiString, AnsiString>>& HelpTopics() {
  static std::map<int, std::pair<AnsiString, AnsiString>> topics;
  return topics;
}

}  // namespace

void SavePlacement(const TForm& form, std::string_view key, const TPlacementNames& names) {
  if (!form.shownOnce_) return;
  const TWindowState state = form.WindowState();
  QRect r = form.PlacementWidget()->geometry();
  if (state != TWindowState::wsNormal && form.normalRect_.isValid()) r = form.normalRect_;
  WritePlacement(SettingsStore(), key, names, r, state);
}

bool RestorePlacement(TForm& form, std::string_view key, const TPlacementNames& names) {
  // The state first: a window taken out of the maximised state goes back to bounds of its
  // own, which the stored ones then replace (set the other way round, the state change
  // would bring the old bounds, or the window system the old state, back on showing).
  std::optional<bool> maximized;
  ReadPlacementState(SettingsStore(), key, names, maximized);
  if (maximized && (*maximized || names.StateIsMaximizedFlag))
    form.SetWindowState(*maximized ? TWindowState::wsMaximized : TWindowState::wsNormal);
  QWidget* w = form.PlacementWidget();
  const TWindowState state = form.WindowState();
  QRect bounds = state == TWindowState::wsNormal || !w->normalGeometry().isValid() ? w->geometry() : w->normalGeometry();
  if (!ReadPlacementBounds(SettingsStore(), key, names, bounds)) return false;
  QRect area = Available(&form);
  if (form.frame_ && form.frame_->mdiArea_) area = form.frame_->mdiArea_->viewport()->rect();
  const QRect r = ClampInto(bounds, area);
  // The bounds are those of the normal state, also for a window that stays maximised.
  if (state != TWindowState::wsNormal) form.SetWindowState(TWindowState::wsNormal);
  w->setGeometry(r);
  if (state != TWindowState::wsNormal) form.SetWindowState(state);
  form.normalRect_ = r;
  form.placementRestored_ = true;
  return true;
}

TWindowPlacement::TWindowPlacement(QWidget* window, TSettingsStore& store, std::string key, TPlacementNames names)
    : QObject(window), window_(window), store_(store), key_(std::move(key)), names_(names) {
  normal_ = window->geometry();
  window->installEventFilter(this);
}

TWindowState TWindowPlacement::State() const {
  if (!window_) return TWindowState::wsNormal;
  if (window_->isMinimized()) return TWindowState::wsMinimized;
  if (window_->isMaximized()) return TWindowState::wsMaximized;
  return TWindowState::wsNormal;
}

bool TWindowPlacement::eventFilter(QObject* watched, QEvent* e) {
  if (watched == window_ && (e->type() == QEvent::Move || e->type() == QEvent::Resize) &&
      State() == TWindowState::wsNormal && !window_->isFullScreen())
    normal_ = window_->geometry();
  return false;
}

bool TWindowPlacement::Restore(TWindowState& State) {
  std::optional<bool> maximized;
  if (window_) ReadPlacementState(store_, key_, names_, maximized);
  State = maximized.value_or(false) ? TWindowState::wsMaximized : TWindowState::wsNormal;
  QRect bounds = normal_;
  if (!window_ || !ReadPlacementBounds(store_, key_, names_, bounds)) return false;
  QRect area = Available(window_);
  if (auto* sub = qobject_cast<QMdiSubWindow*>(window_.data()); sub && sub->mdiArea())
    area = sub->mdiArea()->viewport()->rect();
  normal_ = ClampInto(bounds, area);
  window_->setGeometry(normal_);
  return true;
}

void TWindowPlacement::Save() const {
  if (window_) WritePlacement(store_, key_, names_, normal_, State());
}

namespace {

// Keeps a window over the modal window of the moment (see ShowOverModal); it belongs to
// the window and remembers the window's own owner.
class TModalFollower : public QObject {
 public:
  explicit TModalFollower(QWidget* window) : QObject(window), window_(window), owner_(window->parentWidget()) {}

  void Follow() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && (modal == window_ || window_->isAncestorOf(modal))) modal = nullptr;
    MoveTo(modal ? modal : owner_.data());
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == host_ && e->type() == QEvent::Hide) MoveTo(owner_);
    return false;
  }

 private:
  void MoveTo(QWidget* parent) {
    if (window_->parentWidget() == parent) return;
    if (host_) host_->removeEventFilter(this);
    host_ = parent != owner_ ? parent : nullptr;
    if (host_) host_->installEventFilter(this);
    const QRect bounds = window_->geometry();
    const bool shown = window_->isVisible();
    const bool placed = window_->testAttribute(Qt::WA_Moved);
    window_->setParent(parent, window_->windowFlags() | Qt::Window);
    // A window never placed is left to the window system, as a first show() leaves it: a
    // position given here would put its client area in the screen's corner and its
    // title bar above the screen.
    if (placed) window_->setGeometry(bounds);
    else window_->resize(bounds.size());
    if (shown) window_->show();
  }

  QWidget* window_;
  QPointer<QWidget> owner_;
  QPointer<QWidget> host_;
};

}  // namespace

void ShowOverModal(QWidget* window) {
  TModalFollower* follower = nullptr;
  for (QObject* child : window->children())
    if (auto* f = dynamic_cast<TModalFollower*>(child)) follower = f;
  if (!follower) follower = new TModalFollower(window);
  follower->Follow();
  window->show();
  window->raise();
  window->activateWindow();
}

void RegisterHelpTopic(int context, const AnsiString& title, const AnsiString& text) {
  HelpTopics()[context] = {title, text};
}

void ShowHelpContext(int context) {
  const auto& topics = HelpTopics();
  if (auto it = topics.find(context); it != topics.end()) {
    Dialogs().ShowHelp(context, it->second.first, it->second.second);
    return;
  }
  Dialogs().ShowHelp(context, Ansi("Справка"),
                     Format(Ansi("Раздел справки %d не найден: файлы справки с программой не поставляются."),
                            {context}));
}

void CenterWindow(QWidget& window) {
  const QRect area = Available(&window);
  const TRect r = CenterWindowRect(Bounds(window.x(), window.y(), window.width(), window.height()),
                                   Bounds(area.x(), area.y(), area.width(), area.height()));
  window.move(r.Left, r.Top);
}
