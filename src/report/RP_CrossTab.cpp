// Cross-tabs: the cross header, cross data and cross footer bands are vertical strips
// of the page; the views lying in them are cells. A row band that holds cells prints
// them after its own views: the cross header's once, the cross data band's once per
// record of the cross dataset from left to right, then the cross footer's. Columns
// that do not fit go on on the prepared page to the right (made when missing), at
// the same height, with the cross header again when it repeats.
#include <algorithm>
#include <climits>

#include "platform/core/AnsiText.h"
#include "report/RP_Class.h"

namespace {

bool IsCrossType(int type) { return type == btCrossHeader || type == btCrossData || type == btCrossFooter; }

// Puts the band current while a scope lasts.
class CurrentBandScope {
 public:
  explicit CurrentBandScope(TrpBand* band) : saved_(rpState().CurrentBand) { rpState().CurrentBand = band; }
  ~CurrentBandScope() { rpState().CurrentBand = saved_; }
  CurrentBandScope(const CurrentBandScope&) = delete;
  CurrentBandScope& operator=(const CurrentBandScope&) = delete;

 private:
  TrpBand* saved_;
};

}  // namespace

std::vector<int> rpAggregateDisplayTypes(int dataType) {
  std::vector<int> types = {btPageFooter, btMasterFooter, btGroupFooter, btReportSummary};
  if (dataType == btDetailData || dataType == btSubDetailData) types.push_back(btDetailFooter);
  if (dataType == btSubDetailData) types.push_back(btSubDetailFooter);
  return types;
}

TrpDataset* rpOpenDataSource(TrpReport& report, const AnsiString& text, std::unique_ptr<TrpDataset>& owned,
                             const AnsiString& bandName) {
  const AnsiString source = Trim(text);
  if (source.empty()) return nullptr;
  if (source[0] >= '1' && source[0] <= '9') {
    std::int32_t count = 0;
    if (!TryStrToInt(source, count)) return nullptr;
    owned = std::make_unique<TrpUserDataset>();
    owned->RangeEnd = TRangeEnd::reCount;
    owned->RangeEndCount = count;
    return owned.get();
  }
  TrpDataset* dataSet = report.FindDataset(source);
  if (!dataSet) throw Exception(Ansi("Не найден источник данных \"") + source + Ansi("\" полосы ") + bandName);
  return dataSet;
}

void TrpPageForm::InitCross() {
  CrossCells.clear();
  std::vector<TrpBand*> crosses;
  for (auto& b : Bands)
    if (IsCrossType(b->BandType) && b->View) {
      b->X = b->View->Left;
      b->Width = b->View->Width;
      crosses.push_back(b.get());
    }
  if (crosses.empty()) return;
  for (const auto& v : Page.Objects) {
    if (dynamic_cast<TrpBandView*>(v.get())) continue;
    for (TrpBand* c : crosses)
      if (v->Left >= c->X && v->Left + v->Width <= c->X + c->Width) {
        CrossCells[v.get()] = c;
        break;
      }
  }
  TrpBand* data = First(btCrossData);
  if (!data) return;
  const AnsiString& text = data->View->FormatStr;
  if (text.find(';') == AnsiString::npos) {
    data->DataSet = rpOpenDataSource(Report, text, data->OwnedDataSet, data->Name);
    return;
  }
  // "band=source;" pairs: each row band named gets the columns of its own dataset.
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(';', start)) != AnsiString::npos; start = end + 1) {
    const AnsiString pair = text.substr(start, end - start);
    const std::size_t eq = pair.find('=');
    if (eq == AnsiString::npos) continue;
    const AnsiString name = Trim(pair.substr(0, eq));
    for (auto& b : Bands)
      if (b->BandType >= btMasterHeader && b->BandType <= btGroupFooter && AnsiSameText(b->Name, name))
        b->CrossDataSet = rpOpenDataSource(Report, pair.substr(eq + 1), b->OwnedCrossDataSet, b->Name);
  }
}

bool TrpPageForm::HasCrossCells(const TrpBand& row) const {
  if (CrossCells.empty()) return false;
  return std::any_of(row.Objects.begin(), row.Objects.end(), [this](const TrpView* v) { return IsCrossCell(v); });
}

void TrpPageForm::CrossColumns(TrpBand& row, TrpBand& data, const std::function<void()>& column, bool measuring) {
  // OnPrintColumn sets the cross band's own width, which stays for the columns after
  // (the band's script may set it too); while a row is measured it gets a width of its
  // own that nothing reads.
  auto one = [&] {
    int scratch = 0;
    int& width = measuring ? scratch : data.Width;
    if (Report.OnPrintColumn) Report.OnPrintColumn(CrossColumn, width);
    width = rpClampCoord(width);
    column();
    ++CrossColumn;
  };
  TrpDataset* dataSet = row.CrossDataSet ? row.CrossDataSet : data.DataSet;
  if (!dataSet) {  // no data source: one column
    one();
    return;
  }
  dataSet->Activate();
  dataSet->First();
  while (!dataSet->Eof() && !Stopped()) {
    one();
    dataSet->Next();
  }
  dataSet->Deactivate();
}

int TrpPageForm::CrossHeight(TrpBand& row) {
  if (crossDepth_ || row.BandType == btPageFooter || !HasCrossCells(row)) return 0;
  ++crossDepth_;
  TrpBand* keptRow = crossRow_;
  crossRow_ = &row;
  int h = 0;
  auto measure = [&](TrpBand& cross) {
    CurrentBandScope current(&cross);
    if (cross.BandType == btCrossData) cross.AggregateSource = &row;
    for (TrpView* v : row.Objects) {
      auto* s = dynamic_cast<TrpStretcheable*>(v);
      if (!s || !v->Visible) continue;
      auto it = CrossCells.find(v);
      if (it == CrossCells.end() || it->second != &cross) continue;
      rpState().CurrentView = v;
      h = std::max(h, s->CalcHeight() + (v->Top - row.Top));
      s->DrawMode = 0;  // each column expands its text again when it prints
    }
  };
  CrossColumn = 1;
  if (Report.OnBeginColumn) Report.OnBeginColumn(row);
  if (TrpBand* header = First(btCrossHeader)) measure(*header);
  if (TrpBand* data = First(btCrossData)) CrossColumns(row, *data, [&] { measure(*data); }, true);
  if (TrpBand* footer = First(btCrossFooter)) measure(*footer);
  CrossColumn = 0;
  crossRow_ = keptRow;
  --crossDepth_;
  return h;
}

void TrpPageForm::PrintCells(TrpBand& cross, TrpBand& row, int x) {
  TrpBuildState& st = rpState();
  CurrentBandScope current(&cross);
  if (cross.BandType == btCrossData) cross.AggregateSource = &row;
  cross.Y = row.Y;
  cross.LinePosition = row.LinePosition;
  cross.LineThroughPosition = row.LineThroughPosition;
  for (TrpView* v : row.Objects) {
    if (Stopped()) return;
    auto it = CrossCells.find(v);
    if (it == CrossCells.end() || it->second != &cross || !v->Visible) continue;
    const int left = v->Left, top = v->Top, height = v->Height;
    st.CurrentView = v;
    v->Left = x + (left - cross.X);
    v->Top = row.Y + (top - row.Top);
    if (row.Stretched() && dynamic_cast<TrpStretcheable*>(v) && (v->Flags & flStretched) && height > 0)
      v->Height = crossHeight_ - (top - row.Top);
    try {
      LoadBlob(*v);
      v->Print(Report.OutputStream());
    } catch (const std::exception& e) {
      v->Left = left, v->Top = top, v->Height = height;
      Report.BuildError(e.what());
      return;
    }
    v->Left = left, v->Top = top, v->Height = height;
  }
}

int TrpPageForm::ColumnWidth() const {
  const int columns = Page.ColumnCount();
  return (Page.RightEdge() - Page.LeftEdge() - Page.ColumnGap * (columns - 1)) / columns;
}

int TrpPageForm::CrossRight() const {
  // Cells stay within the place of the rows: a subreport's rectangle, a page column, or
  // the page.
  if (Parent) return areaRight_;
  if (Page.ColumnCount() > 1) return CurX + ColumnWidth();
  return Page.RightEdge();
}

void TrpPageForm::CrossPageCheck(TrpBand& row, int& x, int width, int startPage, const CellPrinter& print) {
  // A column that fits stays; so does one wider than the place where a page part's
  // columns start (it prints cut rather than leave pages without a column).
  if (x + width <= CrossRight() || x <= crossLeft_) return;
  TrpBuildState& st = rpState();
  TrpPageForm& root = Root();
  if (auto right = root.rightOf_.find(st.PageNumber); right != root.rightOf_.end()) {
    st.PageNumber = right->second;
  } else {
    // A new page to the right: its overlay and page header; the row goes on at its height.
    auto& master = *static_cast<TrpReport*>(st.MasterReport);
    const int from = st.PageNumber;
    const int keptY = root.CurY, keptX = root.CurX;
    master.EMFPages.Add(root.Page);
    st.PageNumber = master.EMFPages.GetCount() - 1;
    root.rightOf_[from] = st.PageNumber;
    root.rightPages_.insert(st.PageNumber);
    master.UpdateProgress(st.PageNumber + 1);
    root.CurY = root.Page.TopEdge();
    root.CurX = root.Page.LeftEdge();
    if (TrpBand* overlay = root.First(btOverlay)) root.DrawBand(*overlay);
    TrpBand* header = root.First(btPageHeader);
    if (header && (startPage != 0 || header->Flag(flOnFirstPage))) root.DrawBand(*header);
    root.CurY = keptY;
    root.CurX = keptX;
    rpState().CurrentBand = &row;
  }
  x = CurX;  // the place's left edge on that page
  TrpBand* crossHeader = First(btCrossHeader);
  if (crossHeader && crossHeader->Flag(flRepeatHeader)) {
    print(*crossHeader, x);
    x += crossHeader->Width;
  }
  crossLeft_ = x;
}

void TrpPageForm::DrawCross(TrpBand& row, int height, const CellPrinter& printer, bool firstPart) {
  if (crossDepth_ || row.BandType == btPageFooter || !HasCrossCells(row) || Stopped()) return;
  TrpBuildState& st = rpState();
  ++crossDepth_;
  TrpBand* keptRow = crossRow_;
  crossRow_ = &row;
  crossHeight_ = height;
  crossLeft_ = INT_MIN;
  const int startPage = st.PageNumber;
  auto evaluate = [this](const AnsiString& e) { return Report.EvaluateExpression(e); };
  const CellPrinter print =
      printer ? printer : CellPrinter([this, &row](TrpBand& cross, int x) { PrintCells(cross, row, x); });
  CrossColumn = 1;
  if (Report.OnBeginColumn) Report.OnBeginColumn(row);
  int x = 0;
  const int shift = CurX - Page.LeftEdge();  // the cells follow the rows' column or subreport
  TrpBand* header = First(btCrossHeader);
  TrpBand* footer = First(btCrossFooter);
  // The cross data band adds up its columns for the cross footer's cells of this row
  // only; in a row of totals those cells show the grand totals the row's source keeps.
  const bool footerCells =
      footer && !row.AggregateSource && std::any_of(row.Objects.begin(), row.Objects.end(), [&](const TrpView* v) {
        auto it = CrossCells.find(v);
        return it != CrossCells.end() && it->second == footer;
      });
  if (header) {
    if (firstPart && header->View->Script.Count()) Report.RunBandScript(header->View->Script);
    x = header->X + shift;
    print(*header, x);
    x += header->Width;
  }
  if (TrpBand* data = First(btCrossData)) {
    if (!header) x = data->X + shift;
    CrossColumns(row, *data, [&] {
      if (firstPart && data->View->Script.Count()) Report.RunBandScript(data->View->Script);
      const int width = std::max(data->Width, 0);
      CrossPageCheck(row, x, width, startPage, print);
      print(*data, x);
      if (firstPart && footerCells) data->Values.Accumulate(evaluate, data->Visible);
      if (firstPart && row.IsData()) {
        row.Values.AddColumnCopies(CrossColumn);
        row.Values.Accumulate(evaluate, row.Visible, CrossColumn);
      }
      x += width;
    }, false);
  }
  if (footer && !Stopped()) {
    if (firstPart && footer->View->Script.Count()) Report.RunBandScript(footer->View->Script);
    CrossPageCheck(row, x, footer->Width, startPage, print);
    print(*footer, x);
    if (firstPart && footer->AggregateSource) footer->AggregateSource->Values.ResetForBand(footer->Name);
  }
  st.PageNumber = startPage;
  CrossColumn = 0;
  crossRow_ = keptRow;
  --crossDepth_;
}

bool TrpPageForm::CrossAggregate(int code, const AnsiString& expression, const AnsiString& flag, Variant& value) {
  TrpBand* current = rpState().CurrentBand;
  if (!current || !crossRow_) return false;
  TrpBand* source = crossRow_->AggregateSource;
  if (current->BandType == btCrossFooter) {
    // The cross footer's cell in a totals row: the values of every record in every
    // column. In a record row the cell adds up that row's columns (the cross data band's
    // values, answered by the caller).
    const AnsiString key = "*\x01" + rpAggregateKey(crossRow_->Name, code, expression, flag);
    if (!source || !source->Values.Has(key)) return false;
    value = source->Values.Get(key);
    return true;
  }
  if (current->BandType != btCrossData && current->BandType != btCrossHeader) return false;
  // Cells of the cross header show the row's values; those of the cross data band the
  // values of their column.
  if (!source) return true;
  AnsiString key = rpAggregateKey(crossRow_->Name, code, expression, flag);
  if (current->BandType == btCrossData) key = IntToStr(CrossColumn) + AnsiString(1, '\x01') + key;
  Variant v = source->Values.Get(key);
  if (!v.IsNull()) value = v;
  return true;
}

void TrpPageForm::PrepareCrossAggregates() {
  if (CrossCells.empty()) return;
  TrpBuildState& st = rpState();
  auto collect = [&](TrpBand& scanned, int countsAs, TrpView* v) {
    auto* memo = dynamic_cast<TrpMemoView*>(v);
    if (!memo || (memo->Flags & flTextOnly)) return;
    Scanned = &scanned;
    ScannedType = countsAs;
    st.CurrentBand = &scanned;
    st.CurrentView = v;
    TStringList calls;
    TAggregateFunctionsSplitter splitter(calls, &Report.Dictionary.Variables);
    splitter.SplitMemo(memo->Memo);
    for (const AnsiString& call : calls.Lines()) Report.EvaluateExpression(call);
  };
  // Cells in the footers of a level add up its records, per column under the cross data band.
  ForEachTotalsBand([&](TrpBand& band, int countsAs) {
    for (TrpView* v : band.Objects) {
      auto it = CrossCells.find(v);
      if (it == CrossCells.end()) continue;
      const int cross = it->second->BandType;
      ScanningCell = cross == btCrossData     ? CellScan::EachColumn
                     : cross == btCrossFooter ? CellScan::EveryColumn
                                              : CellScan::None;
      collect(band, countsAs, v);
    }
  });
  ScanningCell = CellScan::None;
  // Cells of the cross footer add up the columns of their row.
  if (TrpBand* data = First(btCrossData)) {
    Processed = data;
    for (auto& [view, cross] : CrossCells)
      if (cross->BandType == btCrossFooter) collect(*cross, cross->BandType, const_cast<TrpView*>(view));
  }
}
