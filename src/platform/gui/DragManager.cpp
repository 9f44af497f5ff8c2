#include "platform/gui/DragManager.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/gui/Application.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"

TDragManager& DragManager() {
  static TDragManager* manager = new TDragManager;  // lives as long as the process
  return *manager;
}

TWinControl* TDragManager::FindTarget(QPoint screenPos) const {
  if (finder_) return finder_(screenPos);
  for (QWidget* w = QApplication::widgetAt(screenPos); w; w = w->parentWidget()) {
    TWinControl* c = TWinControl::FromWidget(w);
    if (!c) return nullptr;
    if (c->Enabled()) return c;
    w = c->Widget();
  }
  return nullptr;
}

void TDragManager::BeginDrag(TWinControl* source, bool immediate, int threshold) {
  if (active_ || !source) return;
  Reset();
  source_ = source;
  threshold_ = threshold < 0 ? kDefaultThreshold : threshold;
  startPos_ = lastPos_ = QCursor::pos();
  if (!filtering_ && qApp) {
    qApp->installEventFilter(this);
    filtering_ = true;
  }
  if (immediate) Start(startPos_);
  else pending_ = true;
}

void TDragManager::Start(QPoint screenPos) {
  pending_ = false;
  active_ = true;
  QGuiApplication::setOverrideCursor(CursorFor(crNoDrop));
  cursorSet_ = true;
  source_->DoStartDrag();
  if (active_) DragTo(screenPos);
}

void TDragManager::SetDragImage(const TBitmap& image, TPoint hotSpot) {
  if (!image_) image_ = std::make_unique<TDragImageWindow>();
  image_->Show(image, hotSpot, {lastPos_.x(), lastPos_.y()});
}

void TDragManager::DragTo(QPoint screenPos) {
  if (!active_) return;
  lastPos_ = screenPos;
  if (image_ && image_->Visible()) image_->MoveTo({screenPos.x(), screenPos.y()});
  TWinControl* found = FindTarget(screenPos);
  bool accept = false;
  if (found != target_) {
    if (target_) {
      TWinControl* left = target_;
      target_ = nullptr;
      accepted_ = false;
      const TPoint p = left->ScreenToClient({screenPos.x(), screenPos.y()});
      left->DragOver(source_, p.X, p.Y, TDragState::dsDragLeave, accept);
    }
    if (!active_) return;
    target_ = found;
    if (target_) {
      const TPoint p = target_->ScreenToClient({screenPos.x(), screenPos.y()});
      accept = false;
      target_->DragOver(source_, p.X, p.Y, TDragState::dsDragEnter, accept);
      accepted_ = accept;
    }
  } else if (target_) {
    const TPoint p = target_->ScreenToClient({screenPos.x(), screenPos.y()});
    target_->DragOver(source_, p.X, p.Y, TDragState::dsDragMove, accept);
    accepted_ = accept;
  }
  if (cursorSet_) QGuiApplication::changeOverrideCursor(CursorFor(target_ && accepted_ ? crDrag : crNoDrop));
}

void TDragManager::Finish(QPoint screenPos, bool drop) {
  if (pending_) {
    Reset();
    return;
  }
  if (!active_) return;
  if (drop && screenPos != lastPos_) DragTo(screenPos);
  TWinControl* source = source_;
  TWinControl* target = target_;
  const bool accepted = accepted_;
  // The manager is idle before any handler runs, so that a handler may start a new
  // drag and an exception leaves nothing behind.
  Reset();
  TObject* dropTarget = nullptr;
  TPoint at = source->ScreenToClient({screenPos.x(), screenPos.y()});
  // A drop handler may free the source (close its window): it then hears no end.
  const std::size_t ending = endingSources_.size();
  endingSources_.push_back(source);
  struct Ended {
    std::vector<TWinControl*>& sources;
    std::size_t size;
    ~Ended() { sources.resize(size); }
  } ended{endingSources_, ending};
  if (target) {
    const TPoint p = target->ScreenToClient({screenPos.x(), screenPos.y()});
    if (drop && accepted) {
      target->DragDrop(source, p.X, p.Y);
      dropTarget = target;
      at = p;
    } else {
      bool accept = false;
      target->DragOver(source, p.X, p.Y, TDragState::dsDragLeave, accept);
    }
  }
  if (endingSources_[ending] == source) source->DoEndDrag(dropTarget, at.X, at.Y);
}

void TDragManager::Reset() {
  if (image_) image_->Hide();
  if (cursorSet_) {
    QGuiApplication::restoreOverrideCursor();
    cursorSet_ = false;
  }
  if (filtering_ && qApp) {
    qApp->removeEventFilter(this);
    filtering_ = false;
  }
  source_ = target_ = nullptr;
  accepted_ = active_ = pending_ = false;
}

void TDragManager::ControlDestroyed(TWinControl* c) {
  std::replace(endingSources_.begin(), endingSources_.end(), c, static_cast<TWinControl*>(nullptr));
  if (c == source_) {
    Reset();
  } else if (c == target_) {
    target_ = nullptr;
    accepted_ = false;
  }
}

bool TDragManager::eventFilter(QObject* watched, QEvent* e) {
  if (!watched->isWidgetType() || (!active_ && !pending_)) return false;
  try {
    return FilterEvent(e);
  } catch (...) {
    Application().HandleException(nullptr);
    return true;
  }
}

bool TDragManager::FilterEvent(QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseMove: {
      const QPoint pos = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
      if (pending_) {
        const QPoint d = pos - startPos_;
        if (std::hypot(d.x(), d.y()) >= threshold_) Start(pos);
        return false;
      }
      DragTo(pos);
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const QPoint pos = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
      if (pending_) {
        Reset();
        return false;
      }
      Finish(pos, true);
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      return active_;
    case QEvent::KeyPress:
      if (active_ && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        EndDrag(false);
        return true;
      }
      return false;
    default:
      return false;
  }
}
