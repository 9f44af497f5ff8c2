// The column header of a tree: its sections side by side, resized by dragging their right
// edges, moved by dragging them, clicked (the tree sorts), expanded and collapsed, with a
// lookup box and a filter button per section. Layout and hit testing are in
// MtHeaderLayout; this control paints, keeps the mouse state and fires the events.
//
// Mouse, left button:
//   press     an open lookup box is closed (OnHeaderLookupDone, not accepted) and nothing
//             else happens; in a resize zone of a Resizable section resizing starts
//             (OnSectionResizing state 0); on an expand sign the section expands or
//             collapses (OnSectionExpand / OnSectionCollapse); on a filter button
//             OnFilterCall; on a lookup button the lookup box opens; otherwise the
//             section is pressed (drawn pressed when AllowClick). A double press in a
//             resize zone asks for an automatic width (OnSectionAutoSize) instead.
//             Then OnMouseDown.
//   move      resizing: the width follows (ResizeOnDrag) or a line shows the new edge,
//             OnSectionResizing state 1; with AllowDrag a pressed section is dragged
//             once the pointer is 5 pixels away (with MoveOnDrag it moves on the way,
//             OnSectionMove); with Tracking the section under the pointer is hot.
//             Then OnMouseMove.
//   release   resizing: the width is set, OnSectionResizing state 2, OnSectionResize;
//             dragging: the section moves where it was dropped (OnSectionMove);
//             otherwise OnSectionClick when the press and the release lie in the same
//             section and it allows clicks. Then OnMouseUp.
// Events fire through the virtual Do... operations, so a derived header (the tree's) can
// take them over.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>

#include "controls/tree/MtHeaderLayout.h"
#include "controls/tree/MtHeaderSections.h"
#include "platform/core/ImageList.h"
#include "platform/gui/Controls.h"

class TComboBox;
class TDragImageWindow;

using TMtHeaderSectionEvent = std::function<void(TObject* Sender, TMtHeaderSection* Section)>;
using TMtSectionRedrawEvent =
    std::function<void(TObject* Sender, TMtHeaderSection* Section, const TRect& R, bool Pressed)>;
// State: 0 start, 1 moving, 2 end.
using TMtSectionResizingEvent = std::function<void(TObject* Sender, TMtHeaderSection* Section, int State, int Width)>;
using TMtSectionMoveEvent = std::function<void(TObject* Sender, TMtHeaderSection* Section, int OldPos, int NewPos)>;
using TPictureNeededEvent = std::function<void(TObject* Sender, TMtHeaderSection* Section, int& ImageIndex)>;
using TSectionChangeEvent =
    std::function<void(TObject* Sender, TMtHeaderSection* Section, TMtSectionChange Change)>;
using TMtHeaderLookupEvent = std::function<void(TObject* Sender, TMtHeaderSection* Section, AnsiString& Text)>;
using TMtHeaderLookupDoneEvent =
    std::function<void(TObject* Sender, TMtHeaderSection* Section, const AnsiString& Text, bool Accepted)>;

class TCustomMtHeader : public TCustomControl, public IMtHeaderSectionsOwner {
 public:
  explicit TCustomMtHeader(QWidget* parent = nullptr);
  ~TCustomMtHeader() override;

  // The sections (made by CreateSections on first use); assigning copies.
  TMtHeaderSections& Sections();
  void SetSections(const TMtHeaderSections& source);

  // --- properties
  bool Tracking() const { return tracking_; }
  void SetTracking(bool v);  // off clears the hot section
  bool AllowDrag = true;
  bool MoveOnDrag = false;
  bool ResizeOnDrag = false;
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images);  // not owned
  bool LockHeight() const { return lockHeight_; }
  void SetLockHeight(bool v);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  TColor FilterColor = clBtnText;
  TColor ActiveFilterColor = clBlue;
  bool StickySections() const override { return sticky_; }
  void SetStickySections(bool v);  // on records the proportions
  bool RightAlignedText() const { return rightAlignedText_; }
  void SetRightAlignedText(bool v);
  bool RightAlignedOrder() const { return rightAlignedOrder_; }
  void SetRightAlignedOrder(bool v);  // reverses the order of the sections
  // The right edge of the last visible section; 0 when none is visible.
  int SectionsWidth();

  // --- state
  TMtHeaderSection* HotSection() const { return hot_; }
  TMtHeaderSection* PressedSection() const { return pressed_; }
  TMtHeaderSection* ResizingSection() const { return resizing_; }
  TMtHeaderSection* DraggedSection() const { return dragging_ ? pressed_ : nullptr; }
  // The x of the line that shows the new edge while resizing without ResizeOnDrag.
  int ResizeLineX();
  bool LookupOpen() const;
  TComboBox* LookupBox() const;
  // The canvas of the paint in progress (for OnSectionDraw); nil outside painting.
  TCanvas* Canvas() const { return canvas_; }

  // --- events
  TMtHeaderSectionEvent OnSectionClick, OnSectionResize, OnSectionDelete, OnSectionShowHide, OnSectionCreate,
      OnSectionExpand, OnSectionCollapse, OnSectionAutoSize, OnFilterCall;
  TMtSectionRedrawEvent OnSectionDraw;
  TMtSectionResizingEvent OnSectionResizing;
  TMtSectionMoveEvent OnSectionMove;
  TPictureNeededEvent OnPictureNeeded;
  TSectionChangeEvent OnSectionChange;
  TMtHeaderLookupEvent OnHeaderLookup;
  TMtHeaderLookupDoneEvent OnHeaderLookupDone;

  // --- virtual operations, in slot order
  virtual std::unique_ptr<TMtHeaderSections> CreateSections();
  // True when x lies in a resize zone; Section is the section concerned (MtSectionAtX).
  virtual bool SectionAtX(int X, TMtHeaderSection*& Section);
  virtual void DoPictureNeeded(TMtHeaderSection* Section, int& ImageIndex);
  virtual void DoSectionShowHide(TMtHeaderSection* Section);
  virtual void DoSectionDelete(TMtHeaderSection* Section);
  virtual void DoSectionMove(TMtHeaderSection* Section, int OldPos, int NewPos);
  virtual void DoSectionResizing(TMtHeaderSection* Section, int State, int Width);
  virtual void DoSectionResize(TMtHeaderSection* Section);
  virtual void DoSectionClick(TMtHeaderSection* Section);
  virtual void DoSectionDraw(TMtHeaderSection* Section, const TRect& R, bool Pressed);
  virtual void DoSectionChange(TMtHeaderSection* Section, TMtSectionChange Change);
  virtual void DoSectionExpand(TMtHeaderSection* Section);
  virtual void DoSectionCollapse(TMtHeaderSection* Section);
  virtual void DoSectionCreate(TMtHeaderSection* Section);
  virtual void DoHeaderLookup(TMtHeaderSection* Section, AnsiString& Text);
  virtual void DoHeaderLookupDone(TMtHeaderSection* Section, const AnsiString& Text, bool Accepted);
  virtual void DoSectionAutoSize(TMtHeaderSection* Section);
  virtual void DoFilterCall(TMtHeaderSection* Section);

  // --- the lookup box: opened by a press on a section's lookup button
  void OpenLookup(TMtHeaderSection* Section);
  // Closes it: accepted moves the text to the top of the section's LookupHistory.
  void CloseLookup(bool Accepted);

  // --- entry points
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseLeave() override;
  void Resize() override;
  void Paint(TCanvas& canvas) override;
  void FontChanged() override;
  void CaptureLost() override;
  // The hint of the section under the point, else the header's own.
  AnsiString HintAt(TPoint p) override;

  // --- what the sections ask of their header
  void SectionChange(TMtHeaderSection* Section, TMtSectionChange Change) override;
  void SectionShowHide(TMtHeaderSection* Section) override;
  void SectionCreate(TMtHeaderSection* Section) override;
  void SectionDelete(TMtHeaderSection* Section) override;
  void SectionMove(TMtHeaderSection* Section, int OldPos, int NewPos) override;
  // Raises EMtError "Index out of bounds" for a number that no section has.
  void RepaintFrom(int SectionNumber) override;
  void Repaint() override { Invalidate(); }
  void SectionsChanged() override;
  void ButtonSectionAdded() override;
  int HeaderWidth() const override { return ClientWidth(); }
  bool Updating() const override { return updating_ > 0; }
  void FitSections() override;
  void UpdateStickyProportions() override;

 protected:
  // Paints one section in its rectangle.
  virtual void PaintSection(TCanvas& canvas, TMtHeaderSection* section, const TRect& r);

 private:
  class TUpdating;
  void AdjustHeight();
  void SetHot(TMtHeaderSection* s);
  void UpdateCursor(int x);
  void StartResize(TMtHeaderSection* s, int x);
  void EndResize();
  void StartSectionDrag();
  void EndSectionDrag(int x);
  void ForgetSection(TMtHeaderSection* s);
  bool SectionDrawnPressed(const TMtHeaderSection* s) const;
  TMtHeaderSection* SectionUnder(int x, int y);
  TRect SectionRect(const TMtHeaderSection* s);
  void LookupKeyDown(std::uint16_t& key);
  void LookupChanged();

  std::unique_ptr<TMtHeaderSections> sections_;
  bool tracking_ = true;
  TImageList* images_ = nullptr;
  bool lockHeight_ = false;
  bool flat_ = false;
  bool sticky_ = false;
  bool rightAlignedText_ = false;
  bool rightAlignedOrder_ = false;
  TMtStickyProportions proportions_;
  int updating_ = 0;
  bool reordering_ = false;

  TMtHeaderSection* hot_ = nullptr;
  TMtHeaderSection* pressed_ = nullptr;  // the pressed (or dragged) section
  bool pressedInside_ = false;           // the pointer is still over the pressed section
  bool dragging_ = false;
  TPoint pressPoint_;
  int dragX_ = 0;
  TMtHeaderSection* resizing_ = nullptr;
  int resizeOffset_ = 0;  // press x less the section's right edge
  int resizeWidth_ = 0;
  std::unique_ptr<TDragImageWindow> dragImage_;
  QPointer<TComboBox> lookup_;
  TMtHeaderSection* lookupSection_ = nullptr;
  QPointer<QWidget> focusBeforeLookup_;
  TCanvas* canvas_ = nullptr;
};

// The published header.
class TMtHeader : public TCustomMtHeader {
 public:
  using TCustomMtHeader::TCustomMtHeader;
};
