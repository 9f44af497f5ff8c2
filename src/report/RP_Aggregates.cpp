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

using namespace rp_build;

namespace {

// The data type an aggregate call without a band name belongs to, by the band that
// shows it: the level's own bands, else the master level (group bands, page footer,
// summary: those without a level of their own).
int DataTypeOf(int bandType) {
  if (bandType >= 4 && bandType <= 6) return btMasterData;
  if (bandType >= 7 && bandType <= 9) return btDetailData;
  if (bandType >= 10 && bandType <= 12) return btSubDetailData;
  if (bandType >= 18 && bandType <= 20) return btCrossData;
  if (bandType == btGroupHeader || bandType == btGroupFooter || bandType == btPageFooter ||
      bandType == btReportSummary)
    return btMasterData;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Aggregates of a page: the calls of the bands that show totals register with the data
// bands whose records they add up.

void TrpPageForm::CollectAggregates(TrpBand& band, int countsAs) {
  // Every aggregate call of the band's script and of its views' texts and scripts
  // registers with the data band being processed (or is ignored when it names another).
  TrpBuildState& st = rpState();
  Scanned = &band;
  ScannedType = countsAs;
  st.CurrentBand = &band;
  st.CurrentView = band.View;
  TStringList calls;
  TAggregateFunctionsSplitter splitter(calls, &Report.Dictionary.Variables);
  auto splitScript = [&](const TStringList& script) {
    if (Trim(script.Text()).empty()) return;
    TStringList compiled, errors;
    if (Report.Script().CompileScript(script, compiled, errors)) splitter.SplitScript(compiled);
  };
  if (band.View) splitScript(band.View->Script);
  for (TrpView* v : band.Objects) {
    st.CurrentView = v;
    auto* memo = dynamic_cast<TrpMemoView*>(v);
    if (memo && !(memo->Flags & flTextOnly) && !IsCrossCell(v)) splitter.SplitMemo(memo->Memo);
    splitScript(v->Script);
  }
  for (const AnsiString& call : calls.Lines()) Report.EvaluateExpression(call);
}

void TrpPageForm::ForEachTotalsBand(const std::function<void(TrpBand& band, int countsAs)>& visit) {
  for (int type : {btMasterData, btDetailData, btSubDetailData}) {
    const std::vector<int> shown = rpAggregateDisplayTypes(type);
    for (TrpBand* data : DataBands(type)) {
      if (data->RecordOwner) continue;  // its records are those of the band it is part of
      Processed = data;
      for (auto& band : Bands) {
        if (std::find(shown.begin(), shown.end(), band->BandType) == shown.end()) continue;
        // The footer of another record band of the same level shows that band's totals.
        const bool sameLevel = band->BandType >= btMasterHeader && band->BandType <= btSubDetailFooter &&
                               (band->BandType - btMasterHeader) / 3 == (type - btMasterHeader) / 3;
        if (sameLevel && band->DataBand && band->DataBand != data) continue;
        const bool groupFooter = band->BandType == btGroupFooter && band->DataBand;
        visit(*band, groupFooter ? band->DataBand->BandType : band->BandType);
      }
    }
  }
}

void TrpPageForm::PrepareAggregates() {
  TrpBuildState& st = rpState();
  // The calls register with this page's bands (a subreport's page too, prepared while
  // its parent prints).
  TRestore<TrpPageForm*> form(Report.CurrentForm);
  TRestore<TrpPage*> page(st.CurrentPage);
  Report.CurrentForm = this;
  st.CurrentPage = &Page;
  TRestore<bool> collecting(st.CollectingAggregates);
  TRestore<bool> lookupCollecting(Report.Lookup().CollectingAggregates);
  st.CollectingAggregates = true;
  Report.Lookup().CollectingAggregates = true;
  ForEachTotalsBand([&](TrpBand& band, int countsAs) {
    // A child band counts as the band it follows.
    std::vector<TrpBand*> seen;
    for (TrpBand* b = &band; b && std::find(seen.begin(), seen.end(), b) == seen.end(); b = b->Child) {
      seen.push_back(b);
      CollectAggregates(*b, countsAs);
      if (st.ErrorFlag) break;
    }
  });
  PrepareCrossAggregates();
  Processed = Scanned = nullptr;
  ScannedType = -1;
  st.CurrentBand = nullptr;
}

// An aggregate call of an expression: while the calls are collected it registers with
// the data band being processed; while the bands print it gives the running value of
// the data band it names (or of the band's own source).
void TrpReport::AggregateCall(int code, const AnsiString& expression, const AnsiString& band, const AnsiString& flag,
                              Variant& value) {
  TrpBuildState& state = rpState();
  TrpPageForm* form = CurrentForm;
  if (!form) return;
  if (state.CollectingAggregates) {
    TrpBand* processed = form->Processed;
    TrpBand* scanned = form->Scanned;
    if (!processed || !scanned) return;
    const AnsiString named = Unquoted(band);
    if (named.empty() && DataTypeOf(form->ScannedType) != processed->BandType) return;
    if (!named.empty() && !AnsiSameText(named, processed->Name)) return;
    AnsiString key = rpAggregateKey(scanned->Name, code, expression, flag);
    if (form->ScanningCell == TrpPageForm::CellScan::EachColumn) key = AnsiString("0\x01") + key;
    if (form->ScanningCell == TrpPageForm::CellScan::EveryColumn) key = AnsiString("*\x01") + key;
    processed->Values.Register(key);
    // A band may total several data bands (its own and others by name): each keeps
    // the values of the calls that name it.
    std::vector<TrpBand*>& sources = scanned->AggregateSources;
    if (std::find(sources.begin(), sources.end(), processed) == sources.end()) sources.push_back(processed);
    if (named.empty() || !scanned->AggregateSource) scanned->AggregateSource = processed;
    value = Variant(0);
    return;
  }
  if (form->CrossAggregate(code, expression, flag, value)) return;
  TrpBand* current = state.CurrentBand;
  if (!current) return;
  TrpBand* source = current->AggregateSource;
  if (const AnsiString named = Unquoted(band); !named.empty())
    for (TrpBand* s : current->AggregateSources)
      if (AnsiSameText(s->Name, named)) source = s;
  if (source) {
    Variant v = source->Values.Get(rpAggregateKey(current->Name, code, expression, flag));
    if (!v.IsNull()) value = v;
  }
}
