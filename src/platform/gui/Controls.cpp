#include "platform/gui/Controls.h"

#include <QCoreApplication>

#include <QApplication>
#include <QDropEvent>
#include <QFocusEvent>
#include <QMimeData>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <map>

#include "platform/core/DrawUtils.h"
#include "platform/core/Files.h"
#include "platform/core/Resources.h"
#include "platform/gui/Application.h"
#include "platform/gui/DragManager.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Keyboard.h"
#include "platform/gui/QtGraphics.h"

// ---------------------------------------------------------------------------------
// Cursors

namespace {

std::map<TCursor, QCursor>& RegisteredCursors() {
  static std::map<TCursor, QCursor> cursors;
  return cursors;
}

QCursor DrawnCursor(bool hand) {
  QImage img(32, 32, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  if (hand) {
    // A pointing hand: the index finger up, the fist below.
    p.drawRect(6, 1, 3, 10);
    p.drawRect(3, 10, 12, 9);
    p.drawLine(9, 10, 9, 13);
    p.drawLine(12, 10, 12, 13);
    p.end();
    return QCursor(QPixmap::fromImage(img), 7, 1);
  }
  // The arrow with a small sheet under it: a drag in progress.
  const QPolygon arrow({QPoint(0, 0), QPoint(0, 15), QPoint(4, 11), QPoint(7, 17), QPoint(9, 16),
                        QPoint(6, 10), QPoint(11, 10)});
  p.drawPolygon(arrow);
  p.drawRect(8, 18, 12, 9);
  p.end();
  return QCursor(QPixmap::fromImage(img), 0, 0);
}

}  // namespace

QCursor ResourceCursor(std::string_view name) {
  const AnsiString key = UpperCase(name);
  if (key == "CR_HANDCUR") return DrawnCursor(true);
  if (key == "CR_DRAGCUR") return DrawnCursor(false);
  throw EResNotFound("Resource " + AnsiString(name) + " not found");
}

void RegisterCursor(TCursor id, const QCursor& cursor) { RegisteredCursors()[id] = cursor; }

QCursor CursorFor(TCursor c) {
  switch (c) {
    case crDefault:
    case crArrow: return Qt::ArrowCursor;
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait: return Qt::WaitCursor;
    case crDrag: return Qt::DragMoveCursor;
    case crNoDrop:
    case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crMultiDrag: return Qt::DragCopyCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    default: break;
  }
  auto& registered = RegisteredCursors();
  if (auto it = registered.find(c); it != registered.end()) return it->second;
  if (c == crHandCur) return registered[c] = ResourceCursor("CR_HANDCUR");
  if (c == crDragCur) return registered[c] = ResourceCursor("CR_DRAGCUR");
  return Qt::ArrowCursor;
}

// ---------------------------------------------------------------------------------
// TWinControl

namespace {

// The control of each window that last took the focus (the form's active control).
std::map<QWidget*, TWinControl*>& ActiveControls() {
  static std::map<QWidget*, TWinControl*> controls;
  return controls;
}

}  // namespace

TWinControl::TWinControl(QWidget& widget, QWidget& client) : widget_(widget), client_(client) {
  client_.setMouseTracking(true);
  client_.setAttribute(Qt::WA_OpaquePaintEvent);
  client_.setAttribute(Qt::WA_Hover, false);
  widget_.setFocusPolicy(Qt::NoFocus);
  widget_.setContextMenuPolicy(Qt::PreventContextMenu);
}

TWinControl::~TWinControl() {
  DragManager().ControlDestroyed(this);
  for (auto it = ActiveControls().begin(); it != ActiveControls().end();)
    it = it->second == this ? ActiveControls().erase(it) : std::next(it);
}

TWinControl* TWinControl::FromWidget(QWidget* w) {
  for (; w; w = w->parentWidget())
    if (auto* c = dynamic_cast<TWinControl*>(w)) return c;
  return nullptr;
}

TRect TWinControl::ClientRect() const { return Rect(0, 0, client_.width(), client_.height()); }

TPoint TWinControl::ScreenToClient(TPoint screen) const {
  const QPoint p = client_.mapFromGlobal(QPoint(screen.X, screen.Y));
  return {p.x(), p.y()};
}

TPoint TWinControl::ClientToScreen(TPoint client) const {
  const QPoint p = client_.mapToGlobal(QPoint(client.X, client.Y));
  return {p.x(), p.y()};
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  widget_.setGeometry(left, top, width, height);
}

void TWinControl::SetFont(const TFont& f) {
  if (f == font_) return;
  font_ = f;
  FontChanged();
  Invalidate();
}

void TWinControl::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  ColorChanged();
  Invalidate();
}

void TWinControl::SetCursor(TCursor c) {
  cursor_ = c;
  ApplyCursor();
}

void TWinControl::ApplyCursor() {
  if (cursor_ == crDefault) client_.unsetCursor();
  else client_.setCursor(CursorFor(cursor_));
}

bool TWinControl::EffectiveShowHint() const {
  if (!ParentShowHint) return ShowHint;
  for (QWidget* w = widget_.parentWidget(); w; w = w->parentWidget())
    if (auto* c = dynamic_cast<TWinControl*>(w)) return c->EffectiveShowHint();
  // The form's switch is the last parent's.
  if (const TForm* form = TForm::ParentForm(&widget_)) return form->ShowHint;
  return true;
}

void TWinControl::SetAcceptFiles(bool v) {
  acceptFiles_ = v;
  widget_.setAcceptDrops(v);
}

bool TWinControl::TabStop() const { return widget_.focusPolicy() != Qt::NoFocus; }
void TWinControl::SetTabStop(bool v) { widget_.setFocusPolicy(v ? Qt::TabFocus : Qt::NoFocus); }

void TWinControl::Invalidate() { client_.update(); }
void TWinControl::InvalidateRect(const TRect& r) { client_.update(QRect(r.Left, r.Top, r.Width(), r.Height())); }
void TWinControl::Update() { client_.repaint(); }

bool TWinControl::Focused() const { return widget_.hasFocus(); }
bool TWinControl::CanFocus() const { return widget_.isVisible() && widget_.isEnabled(); }
void TWinControl::SetFocus() { widget_.setFocus(Qt::OtherFocusReason); }

void TWinControl::SetCapture() {
  if (capture_) return;
  capture_ = true;
  if (client_.isVisible()) client_.grabMouse();
}

void TWinControl::ReleaseCapture() {
  if (!capture_) return;
  capture_ = false;
  if (QWidget::mouseGrabber() == &client_) client_.releaseMouse();
}

void TWinControl::BeginDrag(bool Immediate, int Threshold) { DragManager().BeginDrag(this, Immediate, Threshold); }
bool TWinControl::Dragging() const { return DragManager().IsDragging() && DragManager().Source() == this; }
void TWinControl::EndDrag(bool Drop) {
  if (Dragging()) DragManager().EndDrag(Drop);
}

// Base steps ----------------------------------------------------------------------

void TWinControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TWinControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TWinControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
  if (Button == TMouseButton::mbLeft && clicked_) {
    clicked_ = false;
    if (ClientRect().Contains({X, Y})) Click();
  }
}

void TWinControl::Click() {
  if (OnClick) OnClick(this);
}

void TWinControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

bool TWinControl::DoMouseWheelDeltas(TShiftState Shift, const TWheelDeltas& Deltas, TPoint MousePos) {
  if (Deltas.AngleY == 0) return false;
  return DoMouseWheel(Shift, Deltas.AngleY, MousePos);
}

bool TWinControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
  return handled;
}

void TWinControl::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::KeyUp(std::uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TWinControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TWinControl::Resize() {
  if (OnResize) OnResize(this);
}

void TWinControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  Accept = false;
  if (OnDragOver) {
    Accept = true;
    OnDragOver(this, Source, X, Y, State, Accept);
  }
}

void TWinControl::DragDrop(TObject* Source, int X, int Y) {
  if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

void TWinControl::DoStartDrag() {
  if (OnStartDrag) OnStartDrag(this);
}

void TWinControl::DoEndDrag(TObject* Target, int X, int Y) {
  if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

// Qt events ----------------------------------------------------------------------

namespace {

bool ToButton(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton: out = TMouseButton::mbLeft; return true;
    case Qt::RightButton: out = TMouseButton::mbRight; return true;
    case Qt::MiddleButton: out = TMouseButton::mbMiddle; return true;
    default: return false;
  }
}

// The short part of a hint ("short|long").
AnsiString ShortHint(const AnsiString& hint) {
  const auto bar = hint.find('|');
  return bar == AnsiString::npos ? hint : hint.substr(0, bar);
}

}  // namespace

bool TWinControl::DispatchClientEvent(QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      auto* me = static_cast<QMouseEvent*>(e);
      TMouseButton button;
      if (!ToButton(me->button(), button)) return true;
      const QPoint pos = me->position().toPoint();
      TShiftState shift = ShiftStateFromQt(me->modifiers(), me->buttons());
      if (e->type() == QEvent::MouseButtonPress) {
        if (button == TMouseButton::mbLeft) clicked_ = true;
        MouseDown(button, shift, pos.x(), pos.y());
      } else if (e->type() == QEvent::MouseButtonRelease) {
        MouseUp(button, shift, pos.x(), pos.y());
        if (button == TMouseButton::mbRight && PopupMenu) PopupMenu->popup(me->globalPosition().toPoint());
      } else {
        if (button == TMouseButton::mbLeft) DblClick();
        MouseDown(button, shift | ssDouble, pos.x(), pos.y());
      }
      return !WidgetHandlesInput();
    }
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(e);
      const QPoint pos = me->position().toPoint();
      MouseMove(ShiftStateFromQt(me->modifiers(), me->buttons()), pos.x(), pos.y());
      return !WidgetHandlesInput();
    }
    case QEvent::Wheel: {
      auto* we = static_cast<QWheelEvent*>(e);
      const TWheelDeltas deltas{we->angleDelta().x(), we->angleDelta().y(), we->pixelDelta().x(),
                                we->pixelDelta().y()};
      if (deltas.AngleX == 0 && deltas.AngleY == 0 && deltas.PixelX == 0 && deltas.PixelY == 0) return false;
      const QPoint g = we->globalPosition().toPoint();
      const bool handled =
          DoMouseWheelDeltas(ShiftStateFromQt(we->modifiers(), we->buttons()), deltas, {g.x(), g.y()});
      if (handled || !WidgetHandlesInput()) {
        e->setAccepted(handled);
        return true;
      }
      return false;
    }
    case QEvent::Enter:
      MouseEnter();
      return false;
    case QEvent::Leave:
      MouseLeave();
      return false;
    case QEvent::Resize:
      Resize();
      return false;
    case QEvent::ToolTip: {
      auto* he = static_cast<QHelpEvent*>(e);
      const AnsiString hint = ShortHint(HintAt({he->pos().x(), he->pos().y()}));
      if (Application().ShowHint && EffectiveShowHint() && !hint.empty())
        QToolTip::showText(he->globalPos(), ToQString(hint), &client_);
      else
        QToolTip::hideText();
      return true;
    }
    default:
      return false;
  }
}

bool TWinControl::DispatchWidgetEvent(QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress: {
      auto* ke = static_cast<QKeyEvent*>(e);
      if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) && !WantTabs) return false;
      const TKeyInfo info = TranslateKeyEvent(*ke);
      bool keyKept = true;
      if (info.Key != 0) {
        std::uint16_t key = info.Key;
        KeyDown(key, info.Shift);
        keyKept = key != 0;
      }
      std::optional<char> typed = info.Char;
      if (typed) {
        char c = *typed;
        KeyPress(c);
        typed = c;
      }
      if (WidgetHandlesInput()) DefaultKeyPress(ke, keyKept, info.Char, typed);
      // Taken in every case: a key never travels on to the parent control.
      e->accept();
      return true;
    }
    case QEvent::KeyRelease: {
      auto* ke = static_cast<QKeyEvent*>(e);
      if (ke->isAutoRepeat()) return true;
      const TKeyInfo info = TranslateKeyEvent(*ke);
      if (info.Key != 0) {
        std::uint16_t key = info.Key;
        KeyUp(key, info.Shift);
      }
      return true;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      const bool in = e->type() == QEvent::FocusIn;
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
      const bool windowChange = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
      FocusChanged(in);
      if (!in && windowChange && capture_) {
        ReleaseCapture();
        CaptureLost();
      }
      // The window's active control changes only when the focus moves inside the
      // window: leaving and re-activating the window enters and exits nothing.
      TWinControl*& active = ActiveControls()[widget_.window()];
      if (in && active != this) {
        TWinControl* previous = active;
        active = this;
        if (previous) previous->DoExit();
        DoEnter();
      } else if (!in && !windowChange && active == this) {
        active = nullptr;
        DoExit();
      }
      client_.update();
      return false;
    }
    case QEvent::EnabledChange:
      EnabledChanged();
      return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
      if (!acceptFiles_) return false;
      auto* de = static_cast<QDropEvent*>(e);
      std::vector<AnsiString> names;
      for (const QUrl& url : de->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(AnsiPath(url.toLocalFile().toStdString()));
      if (names.empty()) {
        e->ignore();
        return true;
      }
      de->acceptProposedAction();
      if (e->type() == QEvent::Drop) DropFiles(names);
      return true;
    }
    default:
      return false;
  }
}

// Exceptions of the handlers stop here: Qt's frames must never be unwound.
bool TWinControl::HandleClientEvent(QEvent* e) {
  try {
    return DispatchClientEvent(e);
  } catch (...) {
    Application().HandleException(this);
    return true;
  }
}

bool TWinControl::HandleWidgetEvent(QEvent* e) {
  try {
    return DispatchWidgetEvent(e);
  } catch (...) {
    Application().HandleException(this);
    return true;
  }
}

void TWinControl::PaintOn(QPainter& painter, const QRect& area) {
  TQtCanvas canvas(painter, Rect(area.left(), area.top(), area.left() + area.width(), area.top() + area.height()));
  canvas.Font = font_;
  canvas.Brush.Color = color_;
  Paint(canvas);
}

void TWinControl::PaintClient(const QRect& updateRect) {
  try {
    PaintClientArea(updateRect);
  } catch (...) {
    Application().HandleException(this);
  }
}

void TWinControl::PaintClientArea(const QRect& updateRect) {
  if (client_.width() <= 0 || client_.height() <= 0) return;
  if (!DoubleBuffered) {
    QPainter painter(&client_);
    PaintOn(painter, updateRect);
    return;
  }
  QImage buffer(client_.size(), QImage::Format_RGB32);
  buffer.fill(ToQColor(color_));
  {
    QPainter painter(&buffer);
    PaintOn(painter, updateRect);
  }
  QPainter painter(&client_);
  painter.drawImage(updateRect.topLeft(), buffer, updateRect);
}

QImage TWinControl::RenderToImage() {
  if (client_.width() <= 0 || client_.height() <= 0) return {};
  QImage image(client_.size(), QImage::Format_RGB32);
  image.fill(ToQColor(color_));
  QPainter painter(&image);
  PaintOn(painter, image.rect());
  return image;
}

// ---------------------------------------------------------------------------------

TCustomControl::TCustomControl(QWidget* parent) : QWidget(parent), TWinControl(*this, *this) {}

bool TCustomControl::event(QEvent* e) {
  if (HandleWidgetEvent(e) || HandleClientEvent(e)) return true;
  return QWidget::event(e);
}

void TCustomControl::paintEvent(QPaintEvent* e) { PaintClient(e->rect()); }

TGraphicControl::TGraphicControl(QWidget* parent) : TCustomControl(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setAttribute(Qt::WA_NoSystemBackground, true);
  DoubleBuffered = false;
  SetTabStop(false);
}

// ---------------------------------------------------------------------------------

TFlatScrollBar::TFlatScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

void TFlatScrollBar::SetFlat(bool flat, bool focusedLook) {
  if (flat == flat_ && focusedLook == focusedLook_) return;
  flat_ = flat;
  focusedLook_ = focusedLook;
  update();
}

namespace {

TFlatScrollBarParts PartsOf(const QScrollBar& bar) {
  const bool vertical = bar.orientation() == Qt::Vertical;
  const int thick = vertical ? bar.width() : bar.height();
  return FlatScrollBarParts(Rect(0, 0, bar.width(), bar.height()), vertical, bar.maximum() - bar.minimum(),
                            bar.pageStep(), bar.value() - bar.minimum(), std::max(thick / 2, 8));
}

bool Holds(const TRect& r, const QPoint& p) {
  return !r.IsEmpty() && p.x() >= r.Left && p.x() < r.Right && p.y() >= r.Top && p.y() < r.Bottom;
}

}  // namespace

void TFlatScrollBar::paintEvent(QPaintEvent* e) {
  if (!flat_) {
    QScrollBar::paintEvent(e);
    return;
  }
  QPainter painter(this);
  TQtCanvas canvas(painter, Rect(0, 0, width(), height()));
  DrawFlatScrollbar(canvas, Rect(0, 0, width(), height()), orientation() == Qt::Vertical, maximum() - minimum(),
                    pageStep(), value() - minimum(), focusedLook_, isEnabled());
}

void TFlatScrollBar::mousePressEvent(QMouseEvent* e) {
  if (!flat_ || e->button() != Qt::LeftButton) {
    QScrollBar::mousePressEvent(e);
    return;
  }
  const TFlatScrollBarParts p = PartsOf(*this);
  const QPoint at = e->position().toPoint();
  const bool vertical = orientation() == Qt::Vertical;
  const int along = vertical ? at.y() : at.x();
  if (Holds(p.ArrowLow, at)) {
    triggerAction(SliderSingleStepSub);
  } else if (Holds(p.ArrowHigh, at)) {
    triggerAction(SliderSingleStepAdd);
  } else if (Holds(p.Thumb, at)) {
    dragFrom_ = along;
    dragValue_ = value();
    setSliderDown(true);
  } else if (!p.Thumb.IsEmpty()) {
    const int thumbStart = vertical ? p.Thumb.Top : p.Thumb.Left;
    triggerAction(along < thumbStart ? SliderPageStepSub : SliderPageStepAdd);
  }
  e->accept();
}

void TFlatScrollBar::mouseMoveEvent(QMouseEvent* e) {
  if (!flat_ || dragFrom_ < 0) {
    QScrollBar::mouseMoveEvent(e);
    return;
  }
  const TFlatScrollBarParts p = PartsOf(*this);
  const bool vertical = orientation() == Qt::Vertical;
  const int along = vertical ? e->position().toPoint().y() : e->position().toPoint().x();
  const int track = (vertical ? height() : width()) - 2 * (vertical ? p.ArrowLow.Height() : p.ArrowLow.Width());
  const int thumb = vertical ? p.Thumb.Height() : p.Thumb.Width();
  const int room = std::max(track - thumb, 1);
  const long long delta = static_cast<long long>(along - dragFrom_) * (maximum() - minimum()) / room;
  setSliderPosition(static_cast<int>(std::clamp<long long>(dragValue_ + delta, minimum(), maximum())));
  triggerAction(SliderMove);
  e->accept();
}

void TFlatScrollBar::mouseReleaseEvent(QMouseEvent* e) {
  if (!flat_ || dragFrom_ < 0) {
    QScrollBar::mouseReleaseEvent(e);
    return;
  }
  dragFrom_ = -1;
  setSliderDown(false);
  e->accept();
}

TCustomScrollControl::TCustomScrollControl(QWidget* parent)
    : QAbstractScrollArea(parent), TWinControl(*this, *viewport()) {
  setVerticalScrollBar(new TFlatScrollBar(Qt::Vertical, this));
  setHorizontalScrollBar(new TFlatScrollBar(Qt::Horizontal, this));
  for (TScrollBarKind bar : {TScrollBarKind::sbHorizontal, TScrollBarKind::sbVertical}) {
    QScrollBar* sb = bar == TScrollBarKind::sbVertical ? verticalScrollBar() : horizontalScrollBar();
    sb->setRange(0, 0);
    QObject::connect(sb, &QScrollBar::actionTriggered, this, [this, bar](int action) {
      GuardedCall(this, [&] { OnAction(bar, action); });
    });
    QObject::connect(sb, &QScrollBar::sliderReleased, this, [this, bar] { GuardedCall(this, [&] { OnRelease(bar); }); });
  }
}

void TCustomScrollControl::SetScrollInfo(TScrollBarKind bar, int max, int page, int pos) {
  QScrollBar* sb = bar == TScrollBarKind::sbVertical ? verticalScrollBar() : horizontalScrollBar();
  settingInfo_ = true;
  const QSignalBlocker blocker(sb);
  sb->setRange(0, std::max(max, 0));
  sb->setPageStep(std::max(page, 1));
  sb->setSingleStep(1);
  sb->setValue(pos);
  settingInfo_ = false;
  // With the bar's signals blocked Qt does not show or hide it for the new range: the
  // scroll area lays its bars out again once the events are processed.
  const Qt::ScrollBarPolicy policy =
      bar == TScrollBarKind::sbVertical ? verticalScrollBarPolicy() : horizontalScrollBarPolicy();
  if (policy == Qt::ScrollBarAsNeeded && sb->isVisibleTo(this) != (sb->maximum() > sb->minimum()))
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

int TCustomScrollControl::ScrollPos(TScrollBarKind bar) const {
  return (bar == TScrollBarKind::sbVertical ? verticalScrollBar() : horizontalScrollBar())->value();
}

void TCustomScrollControl::SetScrollBarVisible(TScrollBarKind bar, bool visible) {
  const Qt::ScrollBarPolicy policy = visible ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
  if (bar == TScrollBarKind::sbVertical) setVerticalScrollBarPolicy(policy);
  else setHorizontalScrollBarPolicy(policy);
}

void TCustomScrollControl::SetFlatScrollBars(bool flat, bool focusedLook) {
  for (QScrollBar* sb : {verticalScrollBar(), horizontalScrollBar()})
    if (auto* f = dynamic_cast<TFlatScrollBar*>(sb)) f->SetFlat(flat, focusedLook);
}

bool TCustomScrollControl::FlatScrollBars() const {
  const auto* f = dynamic_cast<const TFlatScrollBar*>(verticalScrollBar());
  return f != nullptr && f->Flat();
}

void TCustomScrollControl::OnAction(TScrollBarKind bar, int action) {
  if (settingInfo_) return;
  QScrollBar* sb = bar == TScrollBarKind::sbVertical ? verticalScrollBar() : horizontalScrollBar();
  TScrollCode code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = TScrollCode::scLineDown; break;
    case QAbstractSlider::SliderSingleStepSub: code = TScrollCode::scLineUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = TScrollCode::scPageDown; break;
    case QAbstractSlider::SliderPageStepSub: code = TScrollCode::scPageUp; break;
    case QAbstractSlider::SliderToMinimum: code = TScrollCode::scTop; break;
    case QAbstractSlider::SliderToMaximum: code = TScrollCode::scBottom; break;
    case QAbstractSlider::SliderMove:
      // The thumb dragged: tracked only with ScrollTracking (its release reports the
      // position). Any other move of the bar (its wheel) is a new position at once.
      if (sb->isSliderDown()) {
        if (!ScrollTracking) return;
        code = TScrollCode::scTrack;
      } else {
        code = TScrollCode::scPosition;
      }
      break;
    default: return;
  }
  int pos = sb->sliderPosition();
  Scroll(bar, code, pos);
  sb->setSliderPosition(pos);
}

void TCustomScrollControl::OnRelease(TScrollBarKind bar) {
  QScrollBar* sb = bar == TScrollBarKind::sbVertical ? verticalScrollBar() : horizontalScrollBar();
  int pos = sb->sliderPosition();
  Scroll(bar, TScrollCode::scPosition, pos);
  sb->setValue(pos);
}

bool TCustomScrollControl::event(QEvent* e) {
  if (HandleWidgetEvent(e)) return true;
  return QAbstractScrollArea::event(e);
}

bool TCustomScrollControl::viewportEvent(QEvent* e) {
  if (HandleClientEvent(e)) return true;
  return QAbstractScrollArea::viewportEvent(e);
}

void TCustomScrollControl::paintEvent(QPaintEvent* e) { PaintClient(e->rect()); }
