#include "report/RP_Class.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "report/RP_PageSetup.h"
#include "report/RP_Prntr.h"
#include "report/RP_Template.h"
#include "report/RP_Utils.h"
#include "report/RP_Build.h"

namespace rp_build {
// The prepared page whose page footer is printed already while a later report of a
// composite goes on on it (PrintToPrevPage); -1 for none.
int footerDonePage = -1;
}  // namespace rp_build

using namespace rp_build;

namespace {

// Datasets that can step back to the record before (user datasets need OnPrior).
bool CanStepBack(TrpDataset& ds) { return ds.OnPrior || dynamic_cast<TrpDBDataSet*>(&ds); }

// After the last record of a level: whether the dataset went on past it, so that the
// closing footers step back to show that record. A database dataset stays on its last
// record at its end (and on the remembered one of a range ending there); only one whose
// counted range ran out moved on to the record after the range. A user dataset that can
// step back (OnPrior) went past its last record, unless its counted range ran out, which
// leaves it where it was; one that cannot step back shows where it stands.
bool PastLastRecord(TrpDataset& ds) {
  const bool countRanOut = ds.RangeEnd == TRangeEnd::reCount && ds.RecNo() >= ds.RangeEndCount;
  auto* db = dynamic_cast<TrpDBDataSet*>(&ds);
  if (!db) return ds.OnPrior && !countRanOut;
  if (!countRanOut) return false;
  try {
    TDataSet& table = db->GetDataSet();
    return table.Active() && !table.Eof();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------
// TrpPageForm

TrpPageForm::TrpPageForm(TrpReport& report, TrpPage& page, TrpPageForm* parent, int offsetX)
    : Report(report), Page(page), Parent(parent), offsetX_(offsetX) {}

TrpPageForm::~TrpPageForm() {
  for (auto& b : Bands)
    if (b->DataSet) {
      try {
        b->DataSet->Deactivate();
      } catch (...) {
        // a dataset that cannot close is left as it is
      }
    }
  if (rpState().CurrentBand && &rpState().CurrentBand->Form == this) rpState().CurrentBand = nullptr;
}

TrpPageForm& TrpPageForm::Root() { return Parent ? Parent->Root() : *this; }

bool TrpPageForm::Stopped() const {
  TrpBuildState& st = rpState();
  if (!st.Terminated && Report.CancelRequested && Report.CancelRequested()) st.Terminated = true;
  return st.Terminated || Report.Terminated;
}

TrpBand* TrpPageForm::First(int type) const {
  for (const auto& b : Bands)
    if (b->BandType == type) return b.get();
  return nullptr;
}

int TrpPageForm::PageFooterHeight() const {
  const TrpBand* f = First(btPageFooter);
  return f ? f->Height : 0;
}

void TrpPageForm::InitBands() {
  Bands.clear();
  for (const auto& v : Page.Objects)
    if (auto* bv = dynamic_cast<TrpBandView*>(v.get())) Bands.push_back(std::make_unique<TrpBand>(bv->BandType(), bv, *this));
  std::stable_sort(Bands.begin(), Bands.end(), [](const auto& a, const auto& b) { return a->Top < b->Top; });
  for (const auto& v : Page.Objects) {
    if (dynamic_cast<TrpBandView*>(v.get())) continue;
    for (auto& b : Bands)
      if (b->BandType != btCrossHeader && b->BandType != btCrossData && b->BandType != btCrossFooter &&
          v->Top >= b->Top && v->Top < b->Top + std::max(b->Height, 1)) {
        b->Objects.push_back(v.get());
        break;
      }
  }
  for (int type : {btMasterData, btDetailData, btSubDetailData}) {
    const std::vector<TrpBand*> data = DataBands(type);
    if (data.empty()) continue;
    // A header belongs to the first record band below it, a footer to the last one
    // above it (one each); one with none there to the first (last) band left without.
    const auto link = [&](TrpBand& band, bool header) {
      TrpBand* TrpBand::*slot = header ? &TrpBand::Header : &TrpBand::Footer;
      TrpBand* owner = nullptr;
      for (TrpBand* d : data) {
        if (d->*slot) continue;
        const bool placed = header ? d->Top >= band.Top + band.Height : d->Top + d->Height <= band.Top;
        if (placed && (header ? !owner : true)) owner = d;
      }
      if (!owner)
        for (TrpBand* d : data)
          if (!(d->*slot) && (header ? !owner : true)) owner = d;
      if (!owner) return;
      owner->*slot = &band;
      band.DataBand = owner;
    };
    for (auto& b : Bands) {
      if (b->BandType == type - 1) link(*b, true);
      if (b->BandType == type + 1) link(*b, false);
    }
    for (TrpBand* d : data) d->SetDataSource(d->View->FormatStr);
    // A record band without a data source of its own after one with a source prints
    // with each record of that one, as part of it; the header and footer it was given
    // are that band's.
    TrpBand* owner = nullptr;
    for (TrpBand* d : data) {
      if (d->DataSet) {
        owner = d;
        continue;
      }
      if (!owner) continue;
      d->RecordOwner = owner;
      owner->RecordParts.push_back(d);
      for (TrpBand* TrpBand::*slot : {&TrpBand::Header, &TrpBand::Footer})
        if (TrpBand* own = d->*slot; own && !(owner->*slot)) {
          owner->*slot = own;
          own->DataBand = owner;
          d->*slot = nullptr;
        }
    }
  }
  // Group headers belong to the master level, outermost first; footers pair from the
  // inside out (the first footer below the data closes the innermost group).
  std::vector<TrpBand*> headers, footers;
  for (auto& b : Bands) {
    if (b->BandType == btGroupHeader) headers.push_back(b.get());
    if (b->BandType == btGroupFooter) footers.push_back(b.get());
  }
  for (std::size_t i = 0; i < headers.size(); ++i) {
    headers[i]->GroupCondition = headers[i]->View->FormatStr;
    std::size_t inner = headers.size() - 1 - i;
    if (inner < footers.size()) {
      headers[i]->GroupFooter = footers[inner];
      footers[inner]->GroupHeader = headers[i];
    }
  }
  // A group header groups the records of the data band its Master names, or of the
  // master data band when it names none.
  if (TrpBand* master = First(btMasterData))
    for (TrpBand* h : headers) {
      TrpBand* data = master;
      const AnsiString owner = Trim(h->View->Master);
      if (!owner.empty()) {
        data = nullptr;
        for (auto& b : Bands)
          if (b->IsData() && AnsiSameText(b->Name, owner)) data = b.get();
      }
      if (!data) continue;
      data->Groups.push_back(h);
      h->DataBand = data;
      if (h->GroupFooter) h->GroupFooter->DataBand = data;
    }
  for (auto& b : Bands)
    if (b->View && !b->View->ChildBand.empty())
      for (auto& c : Bands)
        if (c.get() != b.get() && AnsiSameText(c->Name, b->View->ChildBand)) b->Child = c.get();
  InitCross();
  InitFreeViews();
}

void TrpPageForm::StartPage(bool first) {
  TrpBuildState& st = rpState();
  TrpReport& master = *static_cast<TrpReport*>(st.MasterReport);
  st.PageNumber = master.EMFPages.GetCount();  // the new page's (OnBeginPage is told it)
  master.EMFPages.Add(Page);
  master.UpdateProgress(st.PageNumber + 1);
  CurY = Page.TopEdge();
  CurX = Page.LeftEdge() + offsetX_;
  CurBottomY = Page.BottomEdge();
  Column = 1;
  freshY_ = CurY;
  // The bands that start a page cannot start another one: breaks they would cause are
  // not carried out (the title, which may go on over pages, is no such band).
  TRestore<bool> starting(starting_);
  starting_ = true;
  if (TrpBand* overlay = First(btOverlay)) DrawBand(*overlay);
  if (TrpBand* free = First(btNone); free && first) DrawBand(*free);
  if (!PageHeaders(first)) return;
  freshY_ = CurY;
  pageTop_[st.PageNumber] = CurY;
}

bool TrpPageForm::PageHeaders(bool first) {
  TrpReport& master = *static_cast<TrpReport*>(rpState().MasterReport);
  if (TrpBand* title = First(btReportTitle); title && first && !manual_) {
    const int pages = master.EMFPages.GetCount();
    TRestore<bool> starting(starting_);
    starting_ = false;
    DrawBand(*title);
    // A title that went on to a new page (FormNewPage, NEWPAGE) leaves the headers to
    // that page's start.
    if (master.EMFPages.GetCount() != pages) return false;
  }
  if (TrpBand* header = First(btPageHeader); header && (!first || header->Flag(flOnFirstPage))) DrawBand(*header);
  ColumnStartY = CurY;
  if (TrpBand* header = First(btColumnHeader)) DrawBand(*header);
  return true;
}

bool TrpPageForm::EndPage(bool last) {
  if (Parent) return Parent->EndPage();
  TRestore<bool> breaking(breaking_);
  breaking_ = true;
  TRestore<bool> footer(inFooter_);
  inFooter_ = true;
  if (TrpBand* f = First(btColumnFooter); f && !columnFooterDone_) DrawBand(*f);
  Column = 1;
  CurX = Page.LeftEdge() + offsetX_;
  bool printed = false;
  TrpBuildState& st = rpState();
  TrpReport& master = *static_cast<TrpReport*>(st.MasterReport);
  // Every page from the current one on is finished (pages that a cross-tab continued on
  // to the right of this one too), unless an earlier report finished it already.
  const auto finished = [&] {
    if (Report.OnEndPage) Report.OnEndPage(st.PageNumber);
    if (&master != &Report && master.OnEndPage) master.OnEndPage(st.PageNumber);
  };
  if (st.PageNumber != footerDonePage) {
    // The report's last page has the footer when it is its first one and the footer
    // is for first pages, or when the footer is for last pages; another page when it
    // is not the first one or the footer is for first pages.
    TrpBand* f = First(btPageFooter);
    if (f && !(last ? (st.PageNumber == 0 && f->Flag(flOnFirstPage)) || f->Flag(flOnLastPage)
                    : st.PageNumber > 0 || f->Flag(flOnFirstPage)))
      f = nullptr;
    for (;;) {
      finished();
      if (f) {
        CurY = CurBottomY;
        DrawBand(*f);
        printed = true;
      }
      if (st.PageNumber + 1 >= master.EMFPages.GetCount()) break;
      ++st.PageNumber;
    }
  }
  st.PageNumber = master.EMFPages.GetCount() - 1;
  return printed;
}

int TrpPageForm::BodyBottom() const {
  // The column footer that closes the column prints below the last band: bands leave
  // room for it (not after it closed the records, when the summary follows it).
  const TrpPageForm* root = this;
  while (root->Parent) root = root->Parent;
  const TrpBand* footer = root->First(btColumnFooter);
  return footer && footer->Visible && !root->columnFooterDone_ ? CurBottomY - footer->Height : CurBottomY;
}

void TrpPageForm::FollowParent() {
  CurY = Parent->CurY;
  CurBottomY = Parent->CurBottomY;
  freshY_ = Parent->freshY_;
}

void TrpPageForm::NewPage() {
  if (Parent) {
    Parent->NewPage();
    return FollowParent();
  }
  if (starting_) return;
  if (NextExistingPage()) return;
  TRestore<bool> breaking(breaking_);
  breaking_ = true;
  EndPage();
  StartPage(false);
}

void TrpPageForm::NewColumn(TrpBand* band) {
  if (Parent) {
    Parent->NewColumn();
    FollowParent();
    return RepeatHeaders(band);
  }
  if (starting_) return;
  const int columns = Page.ColumnCount();
  if (Column < columns) {
    TRestore<bool> breaking(breaking_);
    breaking_ = true;
    if (TrpBand* f = First(btColumnFooter); f && !columnFooterDone_) {
      TRestore<bool> footer(inFooter_);
      inFooter_ = true;
      DrawBand(*f);
    }
    ++Column;
    CurX = Page.LeftEdge() + (Column - 1) * (ColumnWidth() + Page.ColumnGap);
    CurY = ColumnStartY;
    if (TrpBand* header = First(btColumnHeader)) {
      TRestore<bool> starting(starting_);
      starting_ = true;
      DrawBand(*header);
    }
    freshY_ = CurY;
  } else {
    NewPage();
  }
  RepeatHeaders(band);
}

void TrpPageForm::RepeatHeaders(TrpBand* band) {
  // A band that goes on in a new column or page has the group headers before it that
  // repeat printed again first, and a record band its header that repeats. They are
  // printed as footers are: they ask for no breaks.
  if (!band || inFooter_ || Stopped()) return;
  if (!band->IsData() && band->BandType != btGroupHeader) return;
  TRestore<bool> footer(inFooter_);
  inFooter_ = true;
  for (const RunningLevel& level : levels_)
    for (TrpBand* g : level.band->Groups) {
      if (g == band) goto header;
      if (g->Flag(flRepeatHeader)) DrawBand(*g);
    }
header:
  if (band->IsData() && band->Header && band->Header->Flag(flRepeatHeader)) DrawBand(*band->Header);
  freshY_ = CurY;
}

void TrpPageForm::LoadBlob(TrpView& view) {
  // A picture whose DataField names a field shows that field of the current record.
  auto* picture = dynamic_cast<TrpPictureView*>(&view);
  if (!picture) return;
  TField* field = Report.ViewDataField(view, true);
  if (!field) return;
  if (field->IsNull()) {
    picture->GetBlob(Variant::Null());
  } else if (rpIsBlobField(*field)) {
    // The bytes as stored: a memo field's code-page translation would spoil an image.
    TRestore<bool> translated(field->Transliterate);
    field->Transliterate = false;
    TMemoryStream bytes;
    rpBlobToObject(*field, bytes);
    picture->GetBlob(Variant(bytes.Bytes()));
  } else {
    picture->GetBlob(Variant(field->AsString()));
  }
}

void TrpPageForm::DrawObjects(TrpBand& band) {
  TrpBuildState& st = rpState();
  for (TrpView* v : band.Objects) {
    if (Stopped()) return;
    if (IsCrossCell(v)) continue;
    if (auto* sub = dynamic_cast<TrpSubReportView*>(v)) {
      if (v->Visible) PrintSubReport(*sub, band);
      continue;
    }
    // An invisible view prints too: its script runs first and may show it.
    st.CurrentView = v;
    st.CurrentBand = &band;
    if (st.FirstPass && !band.Flag(flBreaked)) {
      // The first of two passes only counts pages: the views' scripts run, nothing prints
      // (bands that may split print, as their parts decide where the pages end).
      if (v->Script.Count()) Report.RunScript(v, v->Script);
      continue;
    }
    const int left = v->Left, top = v->Top;
    v->Left = rpClampCoord(static_cast<std::int64_t>(left) + CurX - Page.LeftEdge());
    v->Top = rpClampCoord(static_cast<std::int64_t>(band.Y) + (top - band.Top));
    try {
      LoadBlob(*v);
      v->Print(Report.OutputStream());
    } catch (const std::exception& e) {
      v->Left = left;
      v->Top = top;
      Report.BuildError(e.what());
      return;
    }
    v->Left = left;
    v->Top = top;
    Report.ViewPrinted(*v);
  }
}

TrpPageForm::StretchedViews::StretchedViews(TrpPageForm& form, TrpBand& band, int height) {
  // A stretched band that grew: its stretchable views that stretch reach down to its new
  // bottom (a line keeps that height as the part still to print).
  if (!band.Stretched() || band.Height >= height) return;
  for (TrpView* v : band.Objects) {
    auto* s = dynamic_cast<TrpStretcheable*>(v);
    if (!s || form.IsCrossCell(v) || !(v->Flags & flStretched) || v->Height <= 0) continue;
    kept_.emplace_back(v, v->Height);
    v->Height = height - (v->Top - band.Top);
    if (auto* line = dynamic_cast<TrpLineView*>(v)) line->RemainingHeight = v->Height;
  }
}

TrpPageForm::StretchedViews::~StretchedViews() {
  for (auto& [v, h] : kept_) v->Height = h;
}

void TrpPageForm::DrawSplit(TrpBand& band, int height) {
  // A band that may be split prints part by part, each part in the room left on its page
  // or column: a view that fits the room prints whole; one that reaches past it prints
  // its first part when it can be split (memos the lines that fit, lines the length that
  // fits) and goes to the next part otherwise; views below the room go to the next part.
  // A part that is the last of a view moves the views below it down by what the view
  // grew. Cross-tab cells split the same way, column by column; each cell keeps the
  // rest of its text between the parts.
  TrpBuildState& st = rpState();
  struct Part {
    TrpView* view;
    int t;    // top within the current part (negative: the view began on an earlier one)
    int hgt;  // its height when the band began
    int left;
    bool pending = true;
    bool started = false;  // cells: text prepared, `rest` holds what is left of it
    int actual = 0;        // height printed so far
    int remaining = 0;     // lines: the length still to print
    TStringList rest;
  };
  const auto makePart = [&](TrpView* v) {
    Part p{v, v->Top - band.Top, v->Height, v->Left, true, false, 0, 0, {}};
    if (HasCrossCells(band) && IsCrossCell(v) && band.Stretched() && band.Height < height &&
        dynamic_cast<TrpStretcheable*>(v) && (v->Flags & flStretched) && v->Height > 0)
      p.hgt = height - p.t;
    p.remaining = p.hgt;
    return p;
  };
  std::vector<Part> parts;
  // Subreports start in the part their place falls in, once the band's other views are
  // done (before that, at the top of the part where those end): they go on over pages of
  // their own, and the band ends below the lowest of them.
  struct SubPart {
    TrpSubReportView* view;
    int t;
  };
  std::vector<SubPart> subs;
  for (TrpView* v : band.Objects)
    if (auto* sub = dynamic_cast<TrpSubReportView*>(v)) {
      if (v->Visible) subs.push_back({sub, v->Top - band.Top});
    } else if (v->Visible && !IsCrossCell(v)) {
      parts.push_back(makePart(v));
    }
  // Memos know their text and height (a stretched band measured them already).
  if (!band.Stretched())
    for (Part& p : parts)
      if (auto* memo = dynamic_cast<TrpMemoView*>(p.view)) {
        st.CurrentView = memo;
        st.CurrentBand = &band;
        memo->CalcHeight();
      }
  std::map<std::pair<int, const TrpView*>, Part> cells;  // by column and view
  const bool withCells = HasCrossCells(band);
  int avail = 0, m = 0;
  bool pending = false, fresh = false;
  // Prints a view of the part at (x, top within the part) with that height and draw mode;
  // false when printing failed (the build stops with the error).
  const auto put = [&](Part& p, TrpBand& owner, int x, int top, int h, int mode) {
    TrpView& v = *p.view;
    auto* s = dynamic_cast<TrpStretcheable*>(&v);
    auto* line = dynamic_cast<TrpLineView*>(&v);
    const int left = v.Left, keptTop = v.Top, keptHeight = v.Height;
    v.Left = x;
    v.Top = rpClampCoord(static_cast<std::int64_t>(CurY) + top);
    v.Height = h;
    if (s) s->DrawMode = static_cast<std::uint8_t>(mode);
    if (line) line->RemainingHeight = p.remaining;
    st.CurrentView = &v;
    st.CurrentBand = &owner;
    try {
      LoadBlob(v);
      v.Print(Report.OutputStream());
    } catch (const std::exception& e) {
      v.Left = left, v.Top = keptTop, v.Height = keptHeight;
      Report.BuildError(e.what());
      return false;
    }
    if (line) p.remaining = line->RemainingHeight;
    if (s) s->DrawMode = 0;  // a memo's rest waits in its text, wrapped
    v.Left = left, v.Top = keptTop, v.Height = keptHeight;
    Report.ViewPrinted(v);
    return true;
  };
  const auto deref = [](auto& item) -> Part& {
    if constexpr (std::is_pointer_v<std::decay_t<decltype(item)>>) return *item;
    else return item;
  };
  const auto remainHeight = [](Part& p) {
    if (auto* memo = dynamic_cast<TrpMemoView*>(p.view)) return memo->PrintText.Count() * memo->LineHeight;
    return p.remaining;
  };
  // What one view does in the current part; group: the views that move down with it.
  const auto step = [&](Part& p, TrpBand& owner, int x, auto& group) {
    auto* s = dynamic_cast<TrpStretcheable*>(p.view);
    auto* memo = dynamic_cast<TrpMemoView*>(p.view);
    const int t = p.t, hgt = p.hgt, gaps = 2 * p.view->GapY;
    if (t >= 0 && t < avail && t + hgt < avail) {
      if (!put(p, owner, x, t, hgt, memo ? 1 : 0)) return false;
      m = std::max(m, t + hgt);
      p.pending = false;
    } else if (t >= 0 && t < avail) {
      if (!s) {
        if (t == 0 && fresh) {  // taller than a whole part: it prints cut at the bottom
          if (!put(p, owner, x, 0, avail, 0)) return false;
          m = std::max(m, avail);
          p.pending = false;
        } else {
          p.t = avail;  // on the next part
        }
        return true;
      }
      // Its first part prints only when it holds more than the least it can print.
      const int h = avail - t + 1;
      p.actual += h;
      if (s->MinHeight() < h && !put(p, owner, x, t, h, 2)) return false;
    } else if (t < 0 && s && t + hgt >= 0) {
      // A middle part fills the whole room, unless not a line of a memo fits there: then
      // the rest prints whole, past the bottom (no part would ever take it).
      const bool lineFits = !memo || memo->PrintText.Count() == 0 || memo->LineHeight + memo->GapY <= avail;
      if (t + hgt >= avail && lineFits) {
        p.actual += avail;
        if (!put(p, owner, x, 0, avail, 2)) return false;
        pending = true;
        return true;
      }
      const int rest = remainHeight(p);
      const int h = rest + gaps + 1;
      if (!put(p, owner, x, 0, h, 2)) return false;
      p.actual += rest + gaps;
      m = std::max(m, h);
      p.pending = false;
      // Views below it that overlap it across move down by what it grew.
      const int grew = p.actual - hgt;
      const int bottom = p.t + hgt;
      for (auto& item : group) {
        Part& o = deref(item);
        if (&o == &p || !o.pending || o.t < bottom) continue;
        if (o.left < p.left + p.view->Width && p.left < o.left + o.view->Width) o.t += grew;
      }
    } else if (t < 0 && !(s && t + hgt >= 0)) {
      p.pending = false;  // nothing of it is left for a later part
    }
    if (p.pending) pending = true;
    return true;
  };
  // The cells of one cross band in the current column, at x.
  auto printCells = [&](TrpBand& cross, int x) {
    std::vector<Part*> column;
    for (TrpView* v : band.Objects) {
      auto it = CrossCells.find(v);
      if (it == CrossCells.end() || it->second != &cross || !v->Visible) continue;
      column.push_back(&cells.try_emplace({CrossColumn, v}, makePart(v)).first->second);
    }
    for (Part* p : column) {
      if (!p->pending || Stopped()) continue;
      auto* memo = dynamic_cast<TrpMemoView*>(p->view);
      st.CurrentView = p->view;
      st.CurrentBand = &cross;
      if (memo && !p->started) {
        memo->CalcHeight();  // the text of this column, as the band measures it
      } else if (memo) {
        memo->PrintText.Assign(p->rest);
        memo->DrawMode = 1;
      }
      p->started = true;
      if (!step(*p, cross, x + (p->left - cross.X), column)) return;
      if (memo) {
        p->rest.Assign(memo->PrintText);
        memo->DrawMode = 0;
      }
    }
  };
  for (int pass = 0;; ++pass) {
    avail = BodyBottom() - CurY - 2;
    fresh = pass > 0 || Fresh();
    m = 0;
    pending = false;
    if (avail <= 0 && fresh) avail = std::numeric_limits<int>::max() / 4;  // no room on any page: all at once
    for (Part& p : parts) {
      if (!p.pending || Stopped()) continue;
      if (!step(p, band, p.left + CurX - Page.LeftEdge(), parts)) return;
    }
    if (withCells && !Stopped()) {
      band.Y = CurY;
      DrawCross(band, 0, printCells, pass == 0);
    }
    if (st.ErrorFlag) return;
    if (!pending && !Stopped()) {
      for (const SubPart& sp : subs) {
        if (sp.t >= avail) {
          pending = true;  // below the room: a later part
          continue;
        }
        TRestore<int> y(band.Y);
        band.Y = CurY + std::max(sp.t, 0) - (sp.view->Top - band.Top);
        PrintSubReport(*sp.view, band);
        if (Stopped()) break;
      }
      if (!pending) subs.clear();
      else subs.erase(std::remove_if(subs.begin(), subs.end(), [&](const SubPart& sp) { return sp.t < avail; }),
                      subs.end());
    } else if (!subs.empty()) {
      pending = true;
    }
    if (!pending || Stopped()) {
      SubReportsDone(m);
      return;
    }
    const int shift = std::max(avail, 0);
    for (Part& p : parts) p.t -= shift;
    for (auto& [key, p] : cells) p.t -= shift;
    for (SubPart& sp : subs) sp.t -= shift;
    NewColumn(&band);
  }
}

void TrpPageForm::PrintSubReport(TrpSubReportView& view, TrpBand& band) {
  TrpPage* page = Report.Pages.GetPages(view.SubPage);
  if (!page || page == &Page) return;
  SubReportStarts();
  // The subreport's column starts at the parent's column x + the view's Left (its views
  // print at their Left + that - its page's left edge).
  TrpPageForm sub(Report, *page, this, CurX + view.Left - page->LeftEdge());
  sub.InitBands();
  sub.PrepareAggregates();
  sub.CurY = band.Y + (view.Top - band.Top);
  sub.CurBottomY = CurBottomY;
  sub.CurX = CurX + view.Left;
  sub.areaRight_ = sub.CurX + view.Width;
  sub.freshY_ = freshY_;
  TRestore<bool> follow(Root().followPages_);
  Root().followPages_ = true;
  sub.FormLevels();
  SubReportEnded(sub.CurY);
  rpState().CurrentPage = &Page;
  Report.CurrentForm = this;
}

void TrpPageForm::AfterBandPrinted(TrpBand& band) {
  if (band.IsData()) {
    band.Values.Accumulate([this](const AnsiString& e) { return Report.EvaluateExpression(e); }, band.Visible);
    ++band.LinePosition;
    ++band.LineThroughPosition;
  }
  // A page footer resets its totals once the last page of its row is finished (pages a
  // cross-tab carried to the right of it come after it).
  auto* master = static_cast<TrpReport*>(rpState().MasterReport);
  const bool lastPage = !master || rpState().PageNumber + 1 >= master->EMFPages.GetCount();
  if (band.BandType != btPageFooter || lastPage) {
    for (TrpBand* source : band.AggregateSources) source->Values.ResetForBand(band.Name);
    TrpBand* source = band.AggregateSource;
    if (source && std::find(band.AggregateSources.begin(), band.AggregateSources.end(), source) ==
                      band.AggregateSources.end())
      source->Values.ResetForBand(band.Name);
  }
}

void TrpPageForm::DrawBand(TrpBand& band) {
  if (Stopped()) return;
  TrpBuildState& st = rpState();
  TRestore<TrpBand*> current(st.CurrentBand);
  st.CurrentBand = &band;
  st.CurrentView = band.View;
  CurrentBand = &band;
  if (Report.OnBeginBand) Report.OnBeginBand(band);
  RowBeforeBand(band);
  band.NewPageRequests = band.NewColumnRequests = 0;
  band.KeepCurY = false;
  if (band.View && band.View->Script.Count()) Report.RunBandScript(band.View->Script);
  if (Stopped()) return;
  ApplyBreakRequests(band);
  if (Stopped()) return;
  band.Visible = band.View ? band.View->Visible : true;
  if (!band.Visible) {
    if (band.Child && band.Flag(flPrintChildIfInvisible)) DrawBand(*band.Child);
    AfterBandPrinted(band);
    if (Report.OnEndBand) Report.OnEndBand(band);
    return;
  }
  const int type = band.BandType;
  int h = band.CalcHeight();
  const bool fixedPlace = type == btPageFooter || type == btOverlay || type == btColumnFooter || type == btNone;
  // A band that does not fit goes to the next column or page (one that may split prints
  // what fits here); on a fresh one it prints whatever its height, so that a band taller
  // than a page cannot loop.
  // A record printed in several bands is kept together, and so is a band with the chain
  // of child bands that follows it (the visible ones).
  int parts = 0;
  for (TrpBand* part : band.RecordParts)
    if (!part->View || part->View->Visible) parts += part->CalcHeight();
  if (band.RecordParts.empty()) {
    std::set<const TrpBand*> seen{&band};
    for (TrpBand* c = band.Child; c && seen.insert(c).second; c = c->Child)
      if (!c->View || c->View->Visible) parts = rpClampCoord(static_cast<std::int64_t>(parts) + c->CalcHeight());
  }
  st.CurrentBand = &band;
  if (!fixedPlace && !inFooter_ && !band.Flag(flBreaked) && CurY + h + parts > BodyBottom() && !Fresh()) {
    NewColumn(&band);
    st.CurrentBand = &band;
    if (band.Stretched()) h = band.CalcHeight();
  }
  const bool inPlace = type == btOverlay || type == btNone;  // at their place on the page
  band.Y = inPlace ? band.PlaceY : CurY;
  TRestore<int> calculated(band.CalculatedHeight);
  band.CalculatedHeight = h;
  TRestore<SubReports> subs(subs_);
  subs_ = SubReports{};
  std::optional<StretchedViews> stretched(std::in_place, *this, band, h);
  if (band.Flag(flBreaked) && !fixedPlace && !inFooter_ && CurY + h > BodyBottom()) {
    DrawSplit(band, h);
    stretched.reset();
    RowAfterBand(band, CurY - band.Y);
    if (band.Child) DrawBand(*band.Child);
    for (TrpBand* part : band.RecordParts) DrawBand(*part);
    AfterBandPrinted(band);
    if (Report.OnEndBand) Report.OnEndBand(band);
    return;
  }
  DrawObjects(band);
  stretched.reset();
  DrawCross(band, h, {}, true);
  if (!inPlace) SubReportsDone(h);
  RowAfterBand(band, h);
  if (band.Child) DrawBand(*band.Child);
  for (TrpBand* part : band.RecordParts) DrawBand(*part);
  if (band.Flag(flFormNewPage) && !band.IsData() && type != btGroupHeader && !fixedPlace && !inFooter_) NewPage();
  AfterBandPrinted(band);
  if (Report.OnEndBand) Report.OnEndBand(band);
}

void TrpPageForm::ApplyBreakRequests(TrpBand& band) {
  const int pages = band.NewPageRequests, columns = band.NewColumnRequests;
  band.NewPageRequests = band.NewColumnRequests = 0;
  if (!pages && !columns) return;
  // Bands printed while a page or column is closed or started (headers, footers) ask
  // for no breaks: a page header calling NEWPAGE would start pages without end.
  if (Root().breaking_ || inFooter_) return;
  const int kept = CurY;
  for (int i = 0; i < pages && !Stopped(); ++i) NewPage();
  for (int i = 0; i < columns && !Stopped(); ++i) NewColumn();
  RepeatHeaders(&band);
  if (band.KeepCurY) CurY = kept;
  rpState().CurrentBand = &band;
  rpState().CurrentView = band.View;
  CurrentBand = &band;
}

std::size_t TrpPageForm::PendingAt(const TrpBand* band, std::size_t from) const {
  for (std::size_t i = from; i < pending_.size(); ++i)
    if (pending_[i] == band) return i;
  return std::string::npos;
}

void TrpPageForm::PushGroupHeaders(TrpBand& data, std::size_t from, std::size_t base) {
  // They go before the level's header when that still waits (headers of groups first).
  std::size_t at = data.Header ? PendingAt(data.Header, base) : std::string::npos;
  if (at == std::string::npos) at = pending_.size();
  for (std::size_t i = from; i < data.Groups.size(); ++i) {
    TrpBand& g = *data.Groups[i];
    rpState().CurrentBand = &g;
    g.LastGroupValue = Report.EvaluateExpression(g.GroupCondition);
    ++g.LinePosition;
    ++g.LineThroughPosition;
    pending_.insert(pending_.begin() + static_cast<std::ptrdiff_t>(at++), &g);
  }
}

std::size_t TrpPageForm::DropWaitingGroups(TrpBand& data, std::size_t from, std::size_t base) {
  // The outermost group from `from` on whose header still waits had no record printed:
  // it and the groups inside it are dropped, headers and all.
  std::size_t first = data.Groups.size();
  for (std::size_t i = from; i < data.Groups.size(); ++i)
    if (std::size_t at = PendingAt(data.Groups[i], base); at != std::string::npos) {
      if (first == data.Groups.size()) first = i;
      pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(at));
      // A group that printed nothing is not counted.
      --data.Groups[i]->LinePosition;
      --data.Groups[i]->LineThroughPosition;
    }
  return first;
}

void TrpPageForm::PrintPending(std::size_t count) {
  std::vector<TrpBand*> bands;
  if (count >= pending_.size()) {
    bands.swap(pending_);
  } else {
    bands.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
  }
  // Where each running level's waiting bands started among these, and start now.
  std::vector<std::size_t> bases;
  for (RunningLevel& l : levels_) {
    bases.push_back(l.base);
    l.base = l.base > bands.size() ? l.base - bands.size() : 0;
  }
  TrpBand* previous = CurrentData;
  std::size_t end = bands.size();
  for (std::size_t i = 0; i < end && !Stopped(); ++i) {
    TrpBand* b = bands[i];
    CurrentData = b->IsData() ? b : b->DataBand ? b->DataBand : CurrentData;
    DrawBand(*b);
    // A band of an outer level whose script gave a running level another data source:
    // that level starts again on it, so what waited of it and of the levels inside it
    // does not print.
    for (std::size_t l = 0; l < levels_.size(); ++l)
      if (bases[l] > i && levels_[l].band->DataSet != levels_[l].dataSet) {
        end = std::min(end, bases[l]);
        restart_ = std::min(restart_, l);
        break;
      }
  }
  if (restart_ != std::string::npos) {
    pending_.clear();
    for (RunningLevel& l : levels_) l.base = 0;
  }
  CurrentData = previous;
}

void TrpPageForm::PrintGroupFooters(TrpBand& data, std::size_t from, std::size_t to) {
  for (std::size_t i = std::min(to, data.Groups.size()); i-- > from;)
    if (TrpBand* f = data.Groups[i]->GroupFooter) DrawBand(*f);
}

bool TrpPageForm::CheckGroups(TrpBand& data, TrpDataset& ds, bool newPage, std::size_t base) {
  for (std::size_t i = 0; i < data.Groups.size(); ++i) {
    TrpBand& g = *data.Groups[i];
    rpState().CurrentBand = &g;
    Variant now = Report.EvaluateExpression(g.GroupCondition);
    if (Variant::Compare(now, g.LastGroupValue) == TVariantRelationship::vrEqual) continue;
    // The footers close the old groups that printed. A dataset that can step back
    // shows them on the group's last record; one that cannot (user datasets without
    // OnPrior) shows them where it stands, and no record is skipped.
    const std::size_t printedUpTo = DropWaitingGroups(data, i, base);
    const bool canStepBack = CanStepBack(ds);
    if (canStepBack) ds.Prior();
    PrintGroupFooters(data, i, printedUpTo);
    if (canStepBack) ds.Next();
    // The new group starts on a new page when its header asks for one (or the record
    // band does after each record); its headers wait for its first record.
    if (!Stopped() && (newPage || (g.Flag(flFormNewPage) && g.Visible))) NewPage();
    // The groups inside the changed one count their groups afresh.
    for (std::size_t inner = i + 1; inner < data.Groups.size(); ++inner) data.Groups[inner]->LinePosition = 0;
    PushGroupHeaders(data, i, base);
    data.LinePosition = 1;  // records are numbered within their group
    return true;
  }
  if (newPage && !Stopped()) NewPage();
  return false;
}

std::vector<TrpBand*> TrpPageForm::DataBands(int type) const {
  std::vector<TrpBand*> bands;
  for (const auto& b : Bands)
    if (b->BandType == type) bands.push_back(b.get());
  return bands;
}

void TrpPageForm::PrintLevel(int level) {
  static const int kData[] = {btMasterData, btDetailData, btSubDetailData};
  if (level > 2) return;
  // Every record band of the level, in their order on the page.
  for (TrpBand* data : DataBands(kData[level])) {
    if (Stopped() || restart_ != std::string::npos) return;
    if (!data->RecordOwner) PrintRecords(*data, level);
  }
}

TrpDataset* TrpPageForm::RunningDataSet(const TrpBand& data) const {
  for (const RunningLevel& l : levels_)
    if (l.band == &data) return l.dataSet;
  return data.DataSet;
}

void TrpPageForm::PrintRecords(TrpBand& data, int level) {
  TrpDataset* ds = data.DataSet;
  if (ds) {
    ds->Activate();
    ds->First();
    if (ds->Eof()) {  // an empty level prints neither header nor footer
      ds->Deactivate();
      return;
    }
  }
  bool single = !ds, done = false;  // no data source: one record
  const auto atEnd = [&] { return single ? done : ds->Eof(); };
  // A script may give the band another dataset while these records run: they run on
  // (SetDataSource keeps the old one), and this loop closes it.
  TRestore<bool> running(data.Running);
  data.Running = true;
  const std::size_t me = levels_.size();
  levels_.push_back({&data, ds, pending_.size()});
  const auto base = [&]() -> std::size_t { return levels_[me].base; };
  // The records and groups are counted from the first; the level's group headers, then
  // its header, wait for its first record.
  const auto open = [&] {
    data.LinePosition = data.LineThroughPosition = 1;
    for (TrpBand* g : data.Groups) g->LinePosition = g->LineThroughPosition = 0;
    if (ds) PushGroupHeaders(data, 0, base());
    if (data.Header) pending_.push_back(data.Header);
  };
  open();
  // The outer records waiting for this level's first record print with it; a script of
  // theirs may give a running level another data source. False when this level ends
  // here: an outer level starts again, or this one has no record on its new source.
  bool abandoned = false;
  const auto settle = [&] {
    if (restart_ == std::string::npos) return true;
    if (restart_ < me) {
      abandoned = true;
      return false;
    }
    restart_ = std::string::npos;
    if (ds) ds->Deactivate();
    ds = levels_[me].dataSet = data.DataSet;
    single = !ds;
    done = false;
    if (ds) {
      ds->Activate();
      ds->First();
      if (ds->Eof()) return false;
    }
    open();
    return true;
  };
  bool any = false;
  while (!atEnd() && !Stopped()) {
    if (level >= deepest_ && base() > 0) {
      PrintPending(base());
      if (!settle()) break;
    }
    const std::size_t mark = pending_.size();
    pending_.push_back(&data);
    bool printed = true;
    if (level >= deepest_) {
      PrintPending();
    } else {
      // The record prints with the first record below it; with none, only when it
      // asks to (PrintIfSubsetEmpty), else it is left out.
      PrintLevel(level + 1);
      if (restart_ == std::string::npos && pending_.size() > mark) {
        printed = data.Flag(flPrintIfSubsetEmpty);
        if (printed) PrintPending();
        else pending_.resize(mark);
      }
    }
    if (restart_ != std::string::npos) {
      if (!settle()) break;
      continue;  // the record did not print: the level starts on its new source
    }
    any = any || printed;
    if (printed) ++RecordCounter;
    if (single) {
      done = true;
      break;
    }
    ds->Next();
    if (ds->Eof() || Stopped()) break;
    // A record band that asks for a new page starts one after each record but the last.
    CheckGroups(data, *ds, printed && data.Flag(flFormNewPage) && data.Visible, base());
  }
  const std::size_t levelBase = base();
  levels_.pop_back();
  if (!abandoned) {
    // What still waits had no record: dropped. The footers close what printed, on the
    // record the dataset stands on after its last one.
    const std::size_t printedUpTo = DropWaitingGroups(data, 0, levelBase);
    pending_.resize(std::min(pending_.size(), levelBase));
    if (any && !Stopped()) {
      const bool back = ds && PastLastRecord(*ds);
      if (back) ds->Prior();
      PrintGroupFooters(data, 0, printedUpTo);
      if (data.Footer) DrawBand(*data.Footer);
      if (back) ds->Next();
    }
  }
  if (ds) ds->Deactivate();
}

void TrpPageForm::FindDeepestLevel() {
  deepest_ = 0;
  for (int level : {1, 2})
    if (First(level == 1 ? btDetailData : btSubDetailData)) deepest_ = level;
}

void TrpPageForm::FormLevels() {
  rpState().CurrentPage = &Page;
  Report.CurrentForm = this;
  FindDeepestLevel();
  PrintLevel(0);
}

void TrpPageForm::ShowBand(int bandType) {
  if (TrpBand* band = First(bandType)) DrawBand(*band);
}

void TrpPageForm::ShowBandByName(const AnsiString& name) {
  for (auto& b : Bands)
    if (AnsiSameText(b->Name, name)) return DrawBand(*b);
}

void TrpPageForm::Form() {
  TrpBuildState& st = rpState();
  st.CurrentPage = &Page;
  Report.CurrentForm = this;
  manual_ = static_cast<bool>(Report.OnManualBuild);
  InitBands();
  PrepareAggregates();
  if (Page.Script.Count()) Report.RunBandScript(Page.Script);
  auto* master = static_cast<TrpReport*>(st.MasterReport);
  bool append = Page.PrintToPrevPage && st.AppendPage && master && master->EMFPages.GetCount() > 0;
  if (append && st.SavedCurY >= st.SavedBottomY) {
    // No room left there (or the previous report ended in a later column).
    append = false;
    footerDonePage = -1;
  }
  if (append) {
    // Goes on on the previous report's last page, below what it printed, and above
    // the page footer printed there already.
    st.PageNumber = master->EMFPages.GetCount() - 1;
    CurY = st.SavedCurY;
    CurX = Page.LeftEdge() + offsetX_;
    CurBottomY = footerDonePage == st.PageNumber ? st.SavedBottomY : Page.BottomEdge();
    Column = 1;
    ColumnStartY = freshY_ = Page.TopEdge();
    TRestore<bool> starting(starting_);
    starting_ = true;
    PageHeaders(true);
  } else {
    StartPage(true);
  }
  if (manual_) {
    Report.OnManualBuild(*this);
  } else {
    FindDeepestLevel();
    PrintLevel(0);
    // The last column's footer closes the records; the summary follows it.
    if (TrpBand* f = First(btColumnFooter)) {
      TRestore<bool> footer(inFooter_);
      inFooter_ = true;
      DrawBand(*f);
    }
    columnFooterDone_ = true;
    if (TrpBand* summary = First(btReportSummary)) DrawBand(*summary);
  }
  if (st.ErrorFlag) return;
  // A report that ended in a later column leaves no room for the next one on its page.
  st.SavedCurY = Column > 1 ? CurBottomY : CurY;
  st.SavedBottomY = CurBottomY;
  const bool footer = EndPage(true);
  footerDonePage = footer || footerDonePage == st.PageNumber ? st.PageNumber : -1;
  st.AppendPage = true;
}
