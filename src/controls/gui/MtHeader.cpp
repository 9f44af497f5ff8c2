#include "controls/gui/MtHeader.h"

#include <QApplication>
#include <algorithm>

#include "platform/core/DrawUtils.h"
#include "platform/core/Resources.h"
#include "platform/gui/Align.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

// Layout work in progress: section widths set now are stored without sticky scaling.
class TCustomMtHeader::TUpdating {
 public:
  explicit TUpdating(TCustomMtHeader& h) : h_(h) { ++h_.updating_; }
  ~TUpdating() { --h_.updating_; }
  TUpdating(const TUpdating&) = delete;
  TUpdating& operator=(const TUpdating&) = delete;

 private:
  TCustomMtHeader& h_;
};

TCustomMtHeader::TCustomMtHeader(QWidget* parent) : TCustomControl(parent) {
  SetColor(clBtnFace);
  TFont f = Font();
  f.Color = clBtnText;
  SetFont(f);
  ::SetAlign(this, TAlign::alTop);
  resize(width(), MtHeaderCreationHeight(Font().Height, GetSystemMetrics(SM_CYBORDER)));
}

TCustomMtHeader::~TCustomMtHeader() {
  if (lookup_) {
    lookup_->OnExit = nullptr;
    lookup_->OnChange = nullptr;
    lookup_->OnKeyDown = nullptr;
    delete lookup_.data();
  }
  ReleaseCapture();
}

TMtHeaderSections& TCustomMtHeader::Sections() {
  if (!sections_) sections_ = CreateSections();
  return *sections_;
}

void TCustomMtHeader::SetSections(const TMtHeaderSections& source) { Sections().Assign(&source); }

std::unique_ptr<TMtHeaderSections> TCustomMtHeader::CreateSections() {
  return std::make_unique<TMtHeaderSections>(this);
}

// ---------------------------------------------------------------------------------
// Properties

void TCustomMtHeader::SetTracking(bool v) {
  tracking_ = v;
  if (!v) SetHot(nullptr);
}

void TCustomMtHeader::SetImages(TImageList* images) {
  images_ = images;
  AdjustHeight();
  Invalidate();
}

void TCustomMtHeader::SetLockHeight(bool v) {
  lockHeight_ = v;
  AdjustHeight();
}

void TCustomMtHeader::SetFlat(bool v) {
  flat_ = v;
  Invalidate();
}

void TCustomMtHeader::SetStickySections(bool v) {
  sticky_ = v;
  if (v) {
    // Sections wider than the header give up their excess before the shares are taken.
    FitSections();
    UpdateStickyProportions();
  } else {
    proportions_.Clear();
  }
}

void TCustomMtHeader::SetRightAlignedText(bool v) {
  rightAlignedText_ = v;
  Invalidate();
}

void TCustomMtHeader::SetRightAlignedOrder(bool v) {
  if (v == rightAlignedOrder_) return;
  rightAlignedOrder_ = v;
  // The last section moves to the front, the new last one after it, and so on; the
  // reversal is no user's move, so OnSectionMove stays silent.
  reordering_ = true;
  try {
    TMtHeaderSections& list = Sections();
    const int n = list.GetCount();
    for (int i = 0; i + 1 < n; ++i) list.MoveSection(list.GetSectionByPos(n - 1), i);
  } catch (...) {
    reordering_ = false;
    throw;
  }
  reordering_ = false;
  Invalidate();
}

int TCustomMtHeader::SectionsWidth() { return MtSectionsWidth(Sections()); }

int TCustomMtHeader::ResizeLineX() {
  if (!resizing_) return -1;
  return SectionRect(resizing_).Left + resizeWidth_;
}

bool TCustomMtHeader::LookupOpen() const { return lookup_ && lookupSection_; }
TComboBox* TCustomMtHeader::LookupBox() const { return lookup_; }

void TCustomMtHeader::AdjustHeight() {
  if (lockHeight_) return;
  const int least = MtHeaderMinHeight(Sections(), Font().Height, images_ ? images_->Height() : 0);
  if (height() < least) resize(width(), least);
}

// ---------------------------------------------------------------------------------
// Event firers

bool TCustomMtHeader::SectionAtX(int X, TMtHeaderSection*& Section) { return MtSectionAtX(Sections(), X, Section); }

void TCustomMtHeader::DoPictureNeeded(TMtHeaderSection* Section, int& ImageIndex) {
  if (OnPictureNeeded) OnPictureNeeded(this, Section, ImageIndex);
}

void TCustomMtHeader::DoSectionShowHide(TMtHeaderSection* Section) {
  if (OnSectionShowHide) OnSectionShowHide(this, Section);
}

void TCustomMtHeader::DoSectionDelete(TMtHeaderSection* Section) {
  if (OnSectionDelete) OnSectionDelete(this, Section);
}

void TCustomMtHeader::DoSectionMove(TMtHeaderSection* Section, int OldPos, int NewPos) {
  if (OnSectionMove) OnSectionMove(this, Section, OldPos, NewPos);
}

void TCustomMtHeader::DoSectionResizing(TMtHeaderSection* Section, int State, int Width) {
  if (OnSectionResizing) OnSectionResizing(this, Section, State, Width);
}

void TCustomMtHeader::DoSectionResize(TMtHeaderSection* Section) {
  if (OnSectionResize) OnSectionResize(this, Section);
}

void TCustomMtHeader::DoSectionClick(TMtHeaderSection* Section) {
  if (OnSectionClick) OnSectionClick(this, Section);
}

void TCustomMtHeader::DoSectionDraw(TMtHeaderSection* Section, const TRect& R, bool Pressed) {
  if (OnSectionDraw) OnSectionDraw(this, Section, R, Pressed);
}

void TCustomMtHeader::DoSectionChange(TMtHeaderSection* Section, TMtSectionChange Change) {
  if (OnSectionChange) OnSectionChange(this, Section, Change);
}

void TCustomMtHeader::DoSectionExpand(TMtHeaderSection* Section) {
  if (OnSectionExpand) OnSectionExpand(this, Section);
}

void TCustomMtHeader::DoSectionCollapse(TMtHeaderSection* Section) {
  if (OnSectionCollapse) OnSectionCollapse(this, Section);
}

void TCustomMtHeader::DoSectionCreate(TMtHeaderSection* Section) {
  if (OnSectionCreate) OnSectionCreate(this, Section);
}

void TCustomMtHeader::DoHeaderLookup(TMtHeaderSection* Section, AnsiString& Text) {
  if (OnHeaderLookup) OnHeaderLookup(this, Section, Text);
}

void TCustomMtHeader::DoHeaderLookupDone(TMtHeaderSection* Section, const AnsiString& Text, bool Accepted) {
  if (OnHeaderLookupDone) OnHeaderLookupDone(this, Section, Text, Accepted);
}

void TCustomMtHeader::DoSectionAutoSize(TMtHeaderSection* Section) {
  if (OnSectionAutoSize) OnSectionAutoSize(this, Section);
}

void TCustomMtHeader::DoFilterCall(TMtHeaderSection* Section) {
  if (OnFilterCall) OnFilterCall(this, Section);
}

// ---------------------------------------------------------------------------------
// Geometry helpers

TMtHeaderSection* TCustomMtHeader::SectionUnder(int x, int y) {
  if (y < 0 || y >= ClientHeight()) return nullptr;
  const auto spans = MtSectionSpans(Sections());
  const TMtSectionSpan* span = MtSpanAtX(spans, x);
  return span ? span->Section : nullptr;
}

TRect TCustomMtHeader::SectionRect(const TMtHeaderSection* s) {
  const auto spans = MtSectionSpans(Sections());
  const TMtSectionSpan* span = MtSpanOf(spans, s);
  return span ? Rect(span->Left, 0, span->Right, ClientHeight()) : TRect{};
}

bool TCustomMtHeader::SectionDrawnPressed(const TMtHeaderSection* s) const {
  return s == pressed_ && pressedInside_ && !dragging_ && s->AllowClick();
}

// ---------------------------------------------------------------------------------
// Mouse

void TCustomMtHeader::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == TMouseButton::mbLeft) {
    if (LookupOpen()) {
      CloseLookup(false);
      return;
    }
    TMtHeaderSection* s = nullptr;
    if (SectionAtX(X, s) && s && s->Resizable()) {
      if (Shift & ssDouble) DoSectionAutoSize(s);
      else StartResize(s, X);
    } else if (Shift & ssDouble) {
      // The second press of a double click: the first press and its release have acted
      // (expanded, clicked); one double click is one action.
    } else {
      pressPoint_ = {X, Y};
      pressed_ = nullptr;
      dragging_ = false;
      const auto spans = MtSectionSpans(Sections());
      const TMtSectionSpan* span = MtSpanAtX(spans, X);
      const TMtHeaderPart part = span ? MtSectionPartAt(*span, ClientHeight(), X, Y) : TMtHeaderPart::hpNone;
      TMtHeaderSection* section = span ? span->Section : nullptr;
      switch (part) {
        case TMtHeaderPart::hpExpandSign: {
          const bool expand = !section->Expanded();
          section->SetExpanded(expand);
          // A show/hide handler may have deleted the section.
          if (Sections().IndexOf(section) < 0) break;
          if (expand) DoSectionExpand(section);
          else DoSectionCollapse(section);
          break;
        }
        case TMtHeaderPart::hpFilterButton:
          DoFilterCall(section);
          break;
        case TMtHeaderPart::hpLookupButton:
          OpenLookup(section);
          break;
        case TMtHeaderPart::hpBody:
          pressed_ = section;
          pressedInside_ = true;
          if (section->AllowClick()) Invalidate();
          break;
        case TMtHeaderPart::hpNone:
          break;
      }
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomMtHeader::MouseMove(TShiftState Shift, int X, int Y) {
  if (resizing_) {
    const long long w = static_cast<long long>(X) - resizeOffset_ - SectionRect(resizing_).Left;
    if (w >= resizing_->MinWidth() && w <= resizing_->MaxWidth() && w != resizeWidth_) {
      resizeWidth_ = static_cast<int>(w);
      if (ResizeOnDrag) resizing_->SetWidth(resizeWidth_);
      Invalidate();
    }
    DoSectionResizing(resizing_, 1, resizeWidth_);
  } else if (pressed_) {
    if (!dragging_) {
      const bool inside = SectionUnder(X, Y) == pressed_;
      if (inside != pressedInside_) {
        pressedInside_ = inside;
        Invalidate();
      }
      if (AllowDrag && MtPassedDragThreshold(pressPoint_, {X, Y})) StartSectionDrag();
    }
    if (dragging_ && pressed_) {
      dragX_ = X;
      if (MoveOnDrag) {
        const int to = MtDragMovePosition(Sections(), pressed_, X);
        if (to >= 0 && to != pressed_->GetPosition()) Sections().MoveSection(pressed_, to);
      }
      if (dragImage_) dragImage_->MoveTo(ClientToScreen({X, Y}));
      Invalidate();
    }
  }
  if (tracking_ && !resizing_) SetHot(SectionUnder(X, Y));
  UpdateCursor(X);
  TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomMtHeader::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == TMouseButton::mbLeft) {
    if (resizing_) {
      EndResize();
    } else if (pressed_ && dragging_) {
      EndSectionDrag(X);
    } else if (TMtHeaderSection* s = pressed_) {
      pressed_ = nullptr;
      Invalidate();
      if (SectionUnder(X, Y) == s && s->AllowClick()) DoSectionClick(s);
    }
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TCustomMtHeader::MouseLeave() {
  if (tracking_) SetHot(nullptr);
  TCustomControl::MouseLeave();
}

void TCustomMtHeader::CaptureLost() {
  if (resizing_) EndResize();
}

void TCustomMtHeader::SetHot(TMtHeaderSection* s) {
  if (s == hot_) return;
  hot_ = s;
  Invalidate();
}

void TCustomMtHeader::UpdateCursor(int x) {
  bool split = resizing_ != nullptr;
  if (!split && !dragging_) {
    TMtHeaderSection* s = nullptr;
    split = SectionAtX(x, s) && s && s->Resizable();
  }
  if (split) setCursor(CursorFor(crHSplit));
  else if (Cursor() == crDefault) unsetCursor();
  else setCursor(CursorFor(Cursor()));
}

void TCustomMtHeader::StartResize(TMtHeaderSection* s, int x) {
  resizing_ = s;
  resizeOffset_ = x - SectionRect(s).Right;
  resizeWidth_ = s->Width();
  setCursor(CursorFor(crHSplit));
  SetCapture();
  Invalidate();
  DoSectionResizing(s, 0, s->Width());
}

void TCustomMtHeader::EndResize() {
  TMtHeaderSection* s = resizing_;
  resizing_ = nullptr;
  ReleaseCapture();
  UpdateCursor(-1);
  if (!ResizeOnDrag) s->SetWidth(resizeWidth_);
  DoSectionResizing(s, 2, s->Width());
  // A handler may have deleted the section.
  if (Sections().IndexOf(s) >= 0) DoSectionResize(s);
  Invalidate();
}

void TCustomMtHeader::StartSectionDrag() {
  dragging_ = true;
  pressedInside_ = false;
  dragX_ = pressPoint_.X;
  const TRect r = SectionRect(pressed_);
  if (r.IsEmpty()) return;
  const QImage shot = RenderToImage();
  if (shot.isNull()) return;
  if (!dragImage_) dragImage_ = std::make_unique<TDragImageWindow>();
  dragImage_->Show(FromQImage(shot.copy(r.Left, r.Top, r.Width(), r.Height())),
                   {pressPoint_.X - r.Left, pressPoint_.Y - r.Top}, ClientToScreen(pressPoint_));
}

void TCustomMtHeader::EndSectionDrag(int x) {
  TMtHeaderSection* s = pressed_;
  pressed_ = nullptr;
  dragging_ = false;
  if (dragImage_) dragImage_->Hide();
  const int to = MtDropPosition(Sections(), x);
  if (to >= 0 && to != s->GetPosition()) Sections().MoveSection(s, to);
  Invalidate();
}

// ---------------------------------------------------------------------------------
// Lookup box

void TCustomMtHeader::OpenLookup(TMtHeaderSection* Section) {
  if (!Section) return;
  if (!lookup_) {
    lookup_ = new TComboBox(this, TComboBoxStyle::csDropDown);
    lookup_->OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState) { LookupKeyDown(key); };
    lookup_->OnChange = [this](TObject*) { LookupChanged(); };
    lookup_->OnExit = [this](TObject*) {
      if (LookupOpen()) CloseLookup(false);
    };
  }
  focusBeforeLookup_ = QApplication::focusWidget();
  lookupSection_ = Section;
  // The header's own font, and the box inside the section: a smaller font is unreadable
  // and a box of the combo's natural height is cut off by the header's bottom.
  lookup_->SetFont(Font());
  lookup_->SetItems(Section->LookupHistory().Lines());
  lookup_->SetText("");
  const TRect r = SectionRect(Section);
  lookup_->SetBounds(r.Left, 0, r.Width(), ClientHeight());
  lookup_->show();
  lookup_->raise();
  lookup_->SetFocus();
}

void TCustomMtHeader::CloseLookup(bool Accepted) {
  if (!LookupOpen()) return;
  TMtHeaderSection* s = lookupSection_;
  const AnsiString text = lookup_->Text();
  lookupSection_ = nullptr;
  DoHeaderLookupDone(s, text, Accepted);
  if (Accepted && Sections().IndexOf(s) >= 0 && !text.empty()) {
    TStringList& history = s->LookupHistory();
    if (int old = history.IndexOf(text); old >= 0) history.Delete(old);
    history.Insert(0, text);
  }
  if (lookup_) lookup_->hide();
  if (focusBeforeLookup_) focusBeforeLookup_->setFocus(Qt::OtherFocusReason);
  focusBeforeLookup_ = nullptr;
}

void TCustomMtHeader::LookupKeyDown(std::uint16_t& key) {
  if (key == VK_RETURN || key == VK_ESCAPE) {
    const bool accepted = key == VK_RETURN;
    key = 0;
    CloseLookup(accepted);
  }
}

void TCustomMtHeader::LookupChanged() {
  if (!LookupOpen()) return;
  AnsiString text = lookup_->Text();
  const AnsiString typed = text;
  DoHeaderLookup(lookupSection_, text);
  if (text != typed && LookupOpen()) lookup_->SetText(text);
}

// ---------------------------------------------------------------------------------
// Size, font, hints

void TCustomMtHeader::Resize() {
  // A header of no width (not laid out yet, or hidden away) keeps the widths it has.
  if (sticky_ && ClientWidth() > 0) {
    {
      TUpdating updating(*this);
      proportions_.Apply(Sections(), ClientWidth());
    }
    FitSections();
    Invalidate();
  }
  TCustomControl::Resize();
}

void TCustomMtHeader::FontChanged() {
  AdjustHeight();
  Invalidate();
}

AnsiString TCustomMtHeader::HintAt(TPoint p) {
  if (TMtHeaderSection* s = SectionUnder(p.X, p.Y); s && !s->Hint().empty()) return s->Hint();
  return Hint;
}

// ---------------------------------------------------------------------------------
// What the sections ask

void TCustomMtHeader::SectionChange(TMtHeaderSection* Section, TMtSectionChange Change) {
  DoSectionChange(Section, Change);
}

void TCustomMtHeader::SectionShowHide(TMtHeaderSection* Section) {
  Invalidate();
  DoSectionShowHide(Section);
}

void TCustomMtHeader::SectionCreate(TMtHeaderSection* Section) { DoSectionCreate(Section); }

void TCustomMtHeader::SectionDelete(TMtHeaderSection* Section) {
  ForgetSection(Section);
  DoSectionDelete(Section);
}

void TCustomMtHeader::SectionMove(TMtHeaderSection* Section, int OldPos, int NewPos) {
  if (!reordering_) DoSectionMove(Section, OldPos, NewPos);
}

void TCustomMtHeader::RepaintFrom(int SectionNumber) {
  // Numbers read from a stream may leave gaps: what matters is that the section exists.
  const TMtHeaderSection* s = Sections().FindByNumber(SectionNumber);
  if (!s) throw EMtError("Index out of bounds");
  const TRect r = SectionRect(s);
  if (r.IsEmpty()) Invalidate();
  else InvalidateRect(Rect(r.Left, 0, std::max(ClientWidth(), r.Right), ClientHeight()));
}

void TCustomMtHeader::SectionsChanged() {
  // The collection may have been cleared without events: forget what is gone.
  for (TMtHeaderSection* s : {hot_, pressed_, resizing_, lookupSection_})
    if (s && Sections().IndexOf(s) < 0) ForgetSection(s);
  if (sticky_) {
    FitSections();
    UpdateStickyProportions();
  }
  AdjustHeight();
  Invalidate();
}

void TCustomMtHeader::ButtonSectionAdded() {
  if (!lockHeight_ && height() > 0 && height() < kMtButtonSectionHeight) resize(width(), kMtButtonSectionHeight);
}

void TCustomMtHeader::FitSections() {
  if (ClientWidth() <= 0) return;
  TUpdating updating(*this);
  MtFitSections(Sections(), ClientWidth());
}

void TCustomMtHeader::UpdateStickyProportions() {
  if (sticky_) proportions_.Record(Sections(), ClientWidth());
}

void TCustomMtHeader::ForgetSection(TMtHeaderSection* s) {
  if (hot_ == s) hot_ = nullptr;
  if (pressed_ == s) {
    pressed_ = nullptr;
    dragging_ = false;
    if (dragImage_) dragImage_->Hide();
  }
  if (resizing_ == s) {
    resizing_ = nullptr;
    ReleaseCapture();
    UpdateCursor(-1);
  }
  if (lookupSection_ == s) {
    lookupSection_ = nullptr;
    if (lookup_) lookup_->hide();
  }
  proportions_.Forget(s);
  Invalidate();
}

// ---------------------------------------------------------------------------------
// Painting

void TCustomMtHeader::Paint(TCanvas& canvas) {
  struct CanvasScope {
    TCanvas*& slot;
    ~CanvasScope() { slot = nullptr; }
  } scope{canvas_};
  canvas_ = &canvas;

  const int h = ClientHeight();
  const auto spans = MtSectionSpans(Sections());
  for (const TMtSectionSpan& span : spans) {
    const TRect r = Rect(span.Left, 0, span.Right, h);
    if (IntersectRect(r, canvas.ClipRect()).IsEmpty()) continue;
    PaintSection(canvas, span.Section, r);
  }
  // The rest of the header right of the last section.
  const int right = spans.empty() ? 0 : spans.back().Right;
  if (right < ClientWidth()) {
    TRect rest = Rect(right, 0, ClientWidth(), h);
    FillSolidRect(canvas, rest.Left, rest.Top, rest.Width(), rest.Height(), Color());
    DrawEdge(canvas, rest, flat_ ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
  }
  if (resizing_ && !ResizeOnDrag) FillSolidRect(canvas, ResizeLineX(), 0, 1, h, clBtnText);
  if (dragging_ && pressed_ && !MoveOnDrag) {
    const TBitmap& pointer = ResourceBitmap("MTHEADERPOINTBMP");
    canvas.Draw(MtDropEdgeX(Sections(), pressed_, dragX_) - pointer.Width() / 2, 0, pointer);
  }
}

namespace {

void PaintFilterButton(TCanvas& canvas, const TRect& r, TColor color) {
  // A funnel: a triangle over a short stem.
  TCanvasState state(canvas);
  canvas.Pen = TPen{};
  canvas.Pen.Color = color;
  canvas.Brush = TBrush{};
  canvas.Brush.Color = color;
  const int mid = r.Left + r.Width() / 2;
  canvas.Polygon({{r.Left, r.Top}, {r.Right - 1, r.Top}, {mid, r.Top + 3}});
  FillSolidRect(canvas, mid, r.Top + 3, 1, r.Height() - 3, color);
}

// Draws a glyph centred in r.
void DrawCentred(TCanvas& canvas, const TRect& r, const TBitmap& glyph) {
  canvas.Draw(r.Left + (r.Width() - glyph.Width()) / 2, r.Top + (r.Height() - glyph.Height()) / 2, glyph);
}

}  // namespace

void TCustomMtHeader::PaintSection(TCanvas& canvas, TMtHeaderSection* s, const TRect& r) {
  TCanvasState state(canvas);
  canvas.IntersectClipRect(r);
  const bool pressed = SectionDrawnPressed(s);
  FillSolidRect(canvas, r.Left, r.Top, r.Width(), r.Height(), s->ParentColor() ? Color() : s->Color());
  TRect edge = r;
  // Pressed: sunken into a frame of the shadow colour all round, as buttons of a header look.
  if (pressed) DrawEdge(canvas, edge, BDR_SUNKENOUTER, BF_RECT | BF_FLAT);
  else DrawEdge(canvas, edge, flat_ ? BDR_RAISEDINNER : EDGE_RAISED, BF_RECT);
  if (s->Style() == MthsOwnerDraw) {
    DoSectionDraw(s, r, pressed);
    return;
  }

  int imageIndex = s->ImageIndex();
  TMtSize imageSize;
  if (images_) {
    DoPictureNeeded(s, imageIndex);
    if (imageIndex >= 0 && imageIndex < images_->Count()) imageSize = {images_->Width(), images_->Height()};
  }
  const TBitmap* mark = s->SortMode() == hsmAscend    ? &ResourceBitmap("MTHEADERASCBMP")
                        : s->SortMode() == hsmDescend ? &ResourceBitmap("MTHEADERDESCBMP")
                                                      : nullptr;
  const TMtSectionGeometry g =
      MtLayoutSection(*s, r, pressed, imageSize, mark ? TMtSize{mark->Width(), mark->Height()} : TMtSize{});

  if (!g.Button.IsEmpty()) {
    if (s->Expandable())
      DrawCentred(canvas, g.Button, ResourceBitmap(s->Expanded() ? "MTHEADERLEFTBMP" : "MTHEADERRIGHTBMP"));
    else if (s->LookupEnabled())
      DrawCentred(canvas, g.Button, ResourceBitmap("COMBOARROW"));
    else
      PaintFilterButton(canvas, g.Button, s->FilterIsActive() ? ActiveFilterColor : FilterColor);
  }
  if (!g.Image.IsEmpty()) images_->Draw(canvas, g.Image.Left, g.Image.Top, imageIndex);
  if (!g.SortMark.IsEmpty()) canvas.Draw(g.SortMark.Left, g.SortMark.Top, *mark);
  if (g.Text.IsEmpty()) return;

  canvas.Font = Font();
  if (!s->ParentColor()) canvas.Font.Color = s->FontColor();
  if (s == hot_) {
    canvas.Font.Color = clHighlight;
    canvas.Font.Style |= fsUnderline;
  }
  TMtSAlignment align = s->Alignment();
  if (rightAlignedText_ && align != hsaCenter) align = align == hsaLeft ? hsaRight : hsaLeft;
  unsigned flags = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
  flags |= align == hsaCenter ? DT_CENTER : align == hsaRight ? DT_RIGHT : DT_LEFT;
  flags |= s->TextLayout() == tlTop ? DT_TOP : s->TextLayout() == tlBottom ? DT_BOTTOM : DT_VCENTER;
  if (rightAlignedText_) flags |= DT_RTLREADING;
  canvas.Brush.Style = TBrushStyle::bsClear;
  TRect text = g.Text;
  canvas.DrawText(s->Text(), text, flags);
}
