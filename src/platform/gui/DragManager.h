// The class library's in-process drag manager. The dragged object is the source
// control itself, which a drop target may inspect (Qt's drag and drop carries only
// MIME data, so it is not used here).
//
// Order of the events:
//   start         source DoStartDrag (OnStartDrag), then the control under the pointer
//                 gets DragOver(dsDragEnter)
//   each move     the control left gets DragOver(dsDragLeave), the one entered
//                 DragOver(dsDragEnter), or the same one DragOver(dsDragMove); its
//                 Accept picks the drag or the no-drop cursor
//   release       over a control that accepted: its DragDrop, then the source's
//                 DoEndDrag(that control, X, Y); otherwise the control under the
//                 pointer gets DragOver(dsDragLeave) and the source DoEndDrag(nil, X, Y)
//   Esc, cancel   as a release over no accepting control
// Coordinates are client coordinates of the control that gets the event.
#pragma once


#include <QObject>
#include <QPoint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/gui/ExtCtrls.h"

class TWinControl;

class TDragManager : public QObject {
 public:
  // The control under a screen point that takes drag messages; replaceable for tests.
  using TTargetFinder = std::function<TWinControl*(QPoint screenPos)>;
  void SetTargetFinder(TTargetFinder finder) { finder_ = std::move(finder); }

  static constexpr int kDefaultThreshold = 5;
  // Immediate: the drag starts now; otherwise once the pointer has moved `threshold`
  // pixels (straight-line distance) from where it is now.
  void BeginDrag(TWinControl* source, bool immediate, int threshold = -1);
  bool IsDragging() const { return active_; }
  bool IsPending() const { return pending_; }
  TWinControl* Source() const { return source_; }
  TWinControl* Target() const { return target_; }
  bool Accepted() const { return accepted_; }

  // The pointer is at screenPos (the mouse moves of a drag come here).
  void DragTo(QPoint screenPos);
  // Ends the drag at screenPos: a drop when `drop`, else a cancel.
  void Finish(QPoint screenPos, bool drop);
  // A picture that follows the pointer for the rest of this drag (a source sets it in
  // its DoStartDrag): hotSpot is the point of the picture under the pointer. It goes
  // when the drag ends.
  void SetDragImage(const TBitmap& image, TPoint hotSpot);
  const TDragImageWindow* DragImage() const { return image_.get(); }
  // Ends the drag where the pointer last was.
  void EndDrag(bool drop) { Finish(lastPos_, drop); }

  // A control is going away: it is forgotten; a drag it started ends without events.
  void ControlDestroyed(TWinControl* c);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool FilterEvent(QEvent* e);
  TWinControl* FindTarget(QPoint screenPos) const;
  void Start(QPoint screenPos);
  void Reset();

  TTargetFinder finder_;
  std::unique_ptr<TDragImageWindow> image_;
  TWinControl* source_ = nullptr;
  TWinControl* target_ = nullptr;
  // The sources of the drags that Finish is ending (a drop handler may end another);
  // nil once destroyed.
  std::vector<TWinControl*> endingSources_;
  bool accepted_ = false;
  bool active_ = false;
  bool pending_ = false;
  bool filtering_ = false;
  bool cursorSet_ = false;
  int threshold_ = kDefaultThreshold;
  QPoint startPos_, lastPos_;
};

TDragManager& DragManager();
