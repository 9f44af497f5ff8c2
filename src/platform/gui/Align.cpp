#include "platform/gui/Align.h"

#include <QEvent>
#include <QVariant>
#include <algorithm>
#include <vector>

namespace {

constexpr const char* kAlignProperty = "twAlign";

// Re-aligns a parent's children when the parent is resized or a child is shown or
// hidden.
class AlignWatcher : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* w = static_cast<QWidget*>(watched);
    switch (e->type()) {
      case QEvent::Resize:
        AlignControls(w);
        break;
      case QEvent::ShowToParent:
      case QEvent::HideToParent:
        if (w->parentWidget()) AlignControls(w->parentWidget());
        break;
      default:
        break;
    }
    return false;
  }
};

AlignWatcher& Watcher() {
  static AlignWatcher* watcher = new AlignWatcher;  // lives as long as the process
  return *watcher;
}

std::vector<QWidget*> Aligned(QWidget* parent, TAlign align, const QWidget* except) {
  std::vector<QWidget*> out;
  for (QObject* o : parent->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (w && w != except && !w->isWindow() && !w->isHidden() && GetAlign(w) == align) out.push_back(w);
  }
  // Along their edge, in the order they stand now (child order breaks ties).
  std::stable_sort(out.begin(), out.end(), [align](QWidget* a, QWidget* b) {
    switch (align) {
      case TAlign::alTop: return a->y() < b->y();
      case TAlign::alBottom: return a->y() + a->height() > b->y() + b->height();
      case TAlign::alLeft: return a->x() < b->x();
      case TAlign::alRight: return a->x() + a->width() > b->x() + b->width();
      default: return false;
    }
  });
  return out;
}

// Places the children of one alignment in r and shrinks r by them.
void Place(QWidget* parent, TAlign align, QRect& r, const QWidget* except, bool apply) {
  for (QWidget* w : Aligned(parent, align, except)) {
    QRect g;
    switch (align) {
      case TAlign::alTop:
        g = QRect(r.left(), r.top(), r.width(), w->height());
        r.setTop(r.top() + w->height());
        break;
      case TAlign::alBottom:
        g = QRect(r.left(), r.bottom() + 1 - w->height(), r.width(), w->height());
        r.setBottom(r.bottom() - w->height());
        break;
      case TAlign::alLeft:
        g = QRect(r.left(), r.top(), w->width(), r.height());
        r.setLeft(r.left() + w->width());
        break;
      case TAlign::alRight:
        g = QRect(r.right() + 1 - w->width(), r.top(), w->width(), r.height());
        r.setRight(r.right() - w->width());
        break;
      case TAlign::alClient:
        g = r;
        break;
      case TAlign::alNone:
        break;
    }
    if (apply && w->geometry() != g) w->setGeometry(g);
  }
}

}  // namespace

void SetAlign(QWidget* w, TAlign align) {
  w->setProperty(kAlignProperty, static_cast<int>(align));
  w->installEventFilter(&Watcher());
  if (QWidget* parent = w->parentWidget()) {
    parent->installEventFilter(&Watcher());
    AlignControls(parent);
  }
}

TAlign GetAlign(const QWidget* w) {
  const QVariant v = w->property(kAlignProperty);
  return v.isValid() ? static_cast<TAlign>(v.toInt()) : TAlign::alNone;
}

QRect AlignRemainder(QWidget* parent, const QWidget* except) {
  QRect r = parent->contentsRect();
  for (TAlign a : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight})
    Place(parent, a, r, except, false);
  return r;
}

void AlignControls(QWidget* parent) {
  if (!parent) return;
  QRect r = parent->contentsRect();
  for (TAlign a : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient})
    Place(parent, a, r, nullptr, true);
}
