#include "platform/gui/ExtCtrls.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QStyle>

#include "platform/core/DrawUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

TTimer::TTimer() : timer_(std::make_unique<QTimer>()) {
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { GuardedCall(this, [this] { Timer(); }); });
}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool v) {
  enabled_ = v;
  UpdateTimer();
}

void TTimer::SetInterval(int ms) {
  interval_ = ms;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

bool TTimer::Running() const { return timer_->isActive(); }

void TTimer::Timer() {
  if (onTimer_) onTimer_(this);
}

void TTimer::UpdateTimer() {
  timer_->stop();
  if (enabled_ && interval_ > 0 && onTimer_) timer_->start(interval_);
}

// ---------------------------------------------------------------------------------

namespace {

// A borderless window above the others that the pointer passes through: moves, presses
// and the pointer's presence stay with the window under it.
// The flags the X11 platform adds to a tool-tip window by itself (staying on top, no
// window manager) are given at once: were they added on the way, the platform would make
// a new X window when it is first shown, and that one would take the pointer after all.
std::unique_ptr<QLabel> NewPointerTransparentWindow() {
  auto label = std::make_unique<QLabel>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                                     Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->setAttribute(Qt::WA_ShowWithoutActivating);
  return label;
}

}  // namespace

THintWindow::THintWindow() {
  Font.Color = clInfoText;
}

THintWindow::~THintWindow() = default;

QWidget* THintWindow::Widget() const { return label_.get(); }

TRect THintWindow::CalcHintRect(int maxWidth, const AnsiString& text) const {
  const TTextLayout layout = LayoutText(TQtTextMetrics::Instance(), Font, text, Rect(0, 0, maxWidth, 0),
                                        DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  // The text with a 2-pixel margin and a 1-pixel border on each side.
  return Rect(0, 0, layout.Bounds.Width() + 6, layout.Bounds.Height() + 4);
}

void THintWindow::ActivateHint(const TRect& r, const AnsiString& text) {
  if (!label_) {
    // The hint shows over the text the pointer rests on: it must not take the pointer
    // from the control under it, which would see the pointer leave, and lose the moves and
    // presses meant for it.
    label_ = NewPointerTransparentWindow();
    label_->setTextFormat(Qt::PlainText);
    label_->setMargin(2);
  }
  caption_ = text;
  label_->setFont(ToQFont(Font));
  label_->setStyleSheet(QString("QLabel { background: %1; color: %2; border: 1px solid black; }")
                            .arg(ToQColor(Color).name(), ToQColor(Font.Color).name()));
  label_->setText(ToQString(text));
  label_->setGeometry(r.Left, r.Top, r.Width(), r.Height());
  label_->show();
}

void THintWindow::ReleaseHandle() {
  if (label_) label_->hide();
}

bool THintWindow::Visible() const { return label_ && label_->isVisible(); }

// ---------------------------------------------------------------------------------

TDragImageWindow::TDragImageWindow() = default;
TDragImageWindow::~TDragImageWindow() = default;

void TDragImageWindow::Show(const TBitmap& image, TPoint hotSpot, TPoint screen) {
  if (!label_) {
    label_ = NewPointerTransparentWindow();
    label_->setAttribute(Qt::WA_TranslucentBackground);
  }
  hotSpot_ = hotSpot;
  label_->setPixmap(QPixmap::fromImage(ToQImage(image)));
  label_->resize(image.Width(), image.Height());
  MoveTo(screen);
  label_->show();
}

void TDragImageWindow::MoveTo(TPoint screen) {
  if (label_) label_->move(screen.X - hotSpot_.X, screen.Y - hotSpot_.Y);
}

void TDragImageWindow::Hide() {
  if (label_) label_->hide();
}

bool TDragImageWindow::Visible() const { return label_ && label_->isVisible(); }
QWidget* TDragImageWindow::Widget() const { return label_.get(); }

// ---------------------------------------------------------------------------------

TTrackLine::TTrackLine(QWidget* parent, TOrientation orientation, TColor color)
    : line_(new QWidget(parent)), orientation_(orientation) {
  line_->setAttribute(Qt::WA_TransparentForMouseEvents);
  line_->setAutoFillBackground(true);
  QPalette pal = line_->palette();
  pal.setColor(QPalette::Window, ToQColor(color));
  line_->setPalette(pal);
  line_->hide();
}

TTrackLine::~TTrackLine() { delete line_.data(); }

void TTrackLine::Show(int pos, int from, int to) {
  if (!line_) return;
  const QWidget* parent = line_->parentWidget();
  if (from >= to) {
    from = 0;
    to = orientation_ == TOrientation::Vertical ? parent->height() : parent->width();
  }
  if (orientation_ == TOrientation::Vertical) line_->setGeometry(pos, from, 1, to - from);
  else line_->setGeometry(from, pos, to - from, 1);
  line_->raise();
  line_->show();
}

void TTrackLine::Hide() {
  if (line_) line_->hide();
}

bool TTrackLine::Visible() const { return line_ && line_->isVisible(); }
QWidget* TTrackLine::Widget() const { return line_.data(); }

// ---------------------------------------------------------------------------------

TSplitter::TSplitter(QWidget* parent, TAlign align) : TCustomControl(parent) {
  SetColor(clBtnFace);
  resize(3, 100);
  SetAlign(align);
}

void TSplitter::SetAlign(TAlign align) {
  if (align == TAlign::alTop || align == TAlign::alBottom) resize(width(), 3);
  else if (align == TAlign::alLeft || align == TAlign::alRight) resize(3, height());
  ::SetAlign(this, align);
  SetCursor(Vertical() ? crVSplit : crHSplit);
}

bool TSplitter::Vertical() const { return Align() == TAlign::alTop || Align() == TAlign::alBottom; }

QWidget* TSplitter::FindControl() const {
  QWidget* parent = parentWidget();
  if (!parent) return nullptr;
  QPoint p;
  switch (Align()) {
    case TAlign::alTop: p = QPoint(x(), y() - 1); break;
    case TAlign::alBottom: p = QPoint(x(), y() + height()); break;
    case TAlign::alLeft: p = QPoint(x() - 1, y()); break;
    case TAlign::alRight: p = QPoint(x() + width(), y()); break;
    default: return nullptr;
  }
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w == this || w->isWindow() || w->isHidden() || !w->isEnabled()) continue;
    const QRect g(w->x(), w->y(), std::max(w->width(), 1), std::max(w->height(), 1));
    if (g.contains(p)) return w;
  }
  return nullptr;
}

int TSplitter::AxisPos(int x, int y) const {
  const QPoint p = mapToParent(QPoint(x, y));
  return Vertical() ? p.y() : p.x();
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != TMouseButton::mbLeft || !Enabled()) return;
  control_ = FindControl();
  if (!control_) return;
  sizing_ = true;
  downPos_ = AxisPos(X, Y);
  startSize_ = Vertical() ? control_->height() : control_->width();
  const QRect rest = AlignRemainder(parentWidget());
  maxSize_ = startSize_ + (Vertical() ? rest.height() : rest.width()) - MinSize;
}

void TSplitter::ApplySize(int axisPos) {
  const int delta = axisPos - downPos_;
  const bool grows = Align() == TAlign::alTop || Align() == TAlign::alLeft;
  int size = startSize_ + (grows ? delta : -delta);
  size = std::min(size, maxSize_);
  size = std::max(size, MinSize);
  if (Vertical()) control_->resize(control_->width(), size);
  else control_->resize(size, control_->height());
  AlignControls(parentWidget());
}

int TSplitter::NeighbourSize() const {
  const QWidget* c = FindControl();
  if (!c) return -1;
  return Vertical() ? c->height() : c->width();
}

void TSplitter::SetNeighbourSize(int size) {
  QWidget* c = FindControl();
  if (!c) return;
  const int now = Vertical() ? c->height() : c->width();
  const QRect rest = AlignRemainder(parentWidget());
  const int most = now + (Vertical() ? rest.height() : rest.width()) - MinSize;
  size = std::max(std::min(size, most), MinSize);
  if (Vertical()) c->resize(c->width(), size);
  else c->resize(size, c->height());
  AlignControls(parentWidget());
  Invalidate();
}

void TSplitter::StopSizing() {
  sizing_ = false;
  control_ = nullptr;
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (sizing_ && control_) ApplySize(AxisPos(X, Y));
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (sizing_ && Button == TMouseButton::mbLeft) {
    sizing_ = false;
    if (control_) ApplySize(AxisPos(X, Y));
    control_ = nullptr;
    if (OnMoved) OnMoved(this);
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TSplitter::Paint(TCanvas& canvas) {
  canvas.Brush.Color = Color();
  canvas.FillRect(ClientRect());
  if (Beveled) {
    TRect r = ClientRect();
    DrawEdge(canvas, r, BDR_RAISEDINNER, BF_RECT);
  }
}

// ---------------------------------------------------------------------------------

int GetSystemMetrics(int index) {
  QStyle* style = QApplication::style();
  const int scroll = style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
  const int thumb = style ? style->pixelMetric(QStyle::PM_ScrollBarSliderMin) : 8;
  switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      const QScreen* screen = QGuiApplication::primaryScreen();
      if (!screen) return index == SM_CXSCREEN ? 1024 : 768;
      return index == SM_CXSCREEN ? screen->geometry().width() : screen->geometry().height();
    }
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL: return scroll;
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return thumb;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG:
    case SM_CYDRAG: return 5;
    default: return 0;
  }
}

int WheelScrollLines() { return QApplication::wheelScrollLines(); }
int DoubleClickTime() { return QApplication::doubleClickInterval(); }
