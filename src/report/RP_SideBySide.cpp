// Page forming side by side: records of a data band with columns printed beside each
// other, and several subreports of one band printed next to each other; and the views
// that lie in no band.
#include <algorithm>
#include <set>

#include "report/RP_Class.h"

// ---------------------------------------------------------------------------------
// Views in no band

void TrpPageForm::InitFreeViews() {
  std::set<const TrpView*> placed;
  for (const auto& b : Bands) placed.insert(b->Objects.begin(), b->Objects.end());
  auto free = std::make_unique<TrpBand>(btNone, nullptr, *this);
  for (const auto& v : Page.Objects)
    if (!dynamic_cast<TrpBandView*>(v.get()) && !placed.count(v.get())) free->Objects.push_back(v.get());
  if (!free->Objects.empty()) Bands.push_back(std::move(free));
}

// ---------------------------------------------------------------------------------
// Records side by side

void TrpPageForm::RowBeforeBand(TrpBand& band) {
  // A band that follows a row of records left unfinished goes on below that row, at
  // the row's first column.
  TrpBand* last = LastBand;
  if (!last || last == &band || last->ColumnNo == 1) return;
  CurX = last->ColumnStartX;
  CurY = std::max(CurY, last->RowTop + last->RowHeight);
  last->ColumnNo = 1;
}

void TrpPageForm::RowAfterBand(TrpBand& band, int height) {
  if (LastBand != &band) band.ColumnNo = 1;
  LastBand = &band;
  const TrpBandView* view = band.View;
  // Only records print side by side: other bands' columns are no setting of theirs.
  if (!view || !band.IsData() || view->Columns <= 1 || view->NewColumnAfter != 1) return;
  if (band.ColumnNo == 1) {
    band.ColumnStartX = CurX;
    band.RowTop = CurY - height;
    band.RowHeight = 0;
  }
  // The row is as tall as its tallest record.
  band.RowHeight = std::max(band.RowHeight, height);
  ++band.ColumnNo;
  if (band.ColumnNo > view->Columns) {
    CurX = band.ColumnStartX;
    CurY = band.RowTop + band.RowHeight;
    band.ColumnNo = 1;
  } else {
    CurX = band.ColumnStartX + (view->ColumnWidth + view->ColumnGap) * (band.ColumnNo - 1);
    CurY = band.RowTop;
  }
}

// ---------------------------------------------------------------------------------
// Subreports side by side

TrpPageForm::Place TrpPageForm::Here() const { return Place{rpState().PageNumber, CurY, freshY_, Column, CurX}; }

void TrpPageForm::GoTo(const Place& place) {
  rpState().PageNumber = place.page;
  CurY = place.curY;
  freshY_ = place.freshY;
  Column = place.column;
  CurX = place.curX;
}

void TrpPageForm::SubReportStarts() {
  if (subs_.start.page < 0)
    subs_.start = Here();
  else
    GoTo(subs_.start);  // beside the one before, on the band's page
}

void TrpPageForm::SubReportEnded(int endY) {
  Place end = Here();
  end.curY = endY;
  if (subs_.end.page < end.page || (subs_.end.page == end.page && subs_.end.curY < end.curY)) subs_.end = end;
  GoTo(subs_.start);  // the band's other views print at its place
}

void TrpPageForm::SubReportsDone(int height) {
  if (subs_.end.page < 0) {
    CurY += height;
    return;
  }
  if (subs_.end.page == subs_.start.page) {
    CurY = std::max(subs_.start.curY + height, subs_.end.curY);
    return;
  }
  GoTo(subs_.end);
}

bool TrpPageForm::NextExistingPage() {
  // A subreport printed beside an earlier one follows it onto the pages it made.
  TrpBuildState& st = rpState();
  const auto* master = static_cast<TrpReport*>(st.MasterReport);
  if (!followPages_ || !master) return false;
  int next = st.PageNumber + 1;
  while (rightPages_.count(next)) ++next;  // pages to the right are no pages below
  if (next >= master->EMFPages.GetCount()) return false;
  st.PageNumber = next;
  Column = 1;
  CurX = Page.LeftEdge() + offsetX_;
  CurBottomY = Page.BottomEdge();
  auto top = pageTop_.find(st.PageNumber);
  CurY = freshY_ = top != pageTop_.end() ? top->second : Page.TopEdge();
  return true;
}
