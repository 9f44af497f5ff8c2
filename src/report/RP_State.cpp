#include "report/RP_State.h"

#include "report/RP_Memo.h"
#include "report/RP_Page.h"
#include "report/RP_Pars.h"
#include "report/RP_Views.h"

AnsiString TrpEngineHooks::ExpressionText(TrpView* view, const AnsiString& expression) {
  // Without a report: the value as plain text (no display formats), a numeric 0 as the
  // empty text in a memo with HideZeros.
  std::int32_t format = view ? view->Format : 0;
  AnsiString formatStr = view ? view->FormatStr : AnsiString();
  TrpParser parser;
  const Variant v = parser.Evaluate(rpInlineFormat(expression, format, formatStr));
  if (view && view->ObjectType == rpotMemo && (view->Flags & flHideZeros) && v.IsNumeric() && v.AsDouble() == 0)
    return "";
  return VarToStr(v);
}

Variant TrpEngineHooks::EvaluateExpression(const AnsiString& expression) {
  TrpParser parser;
  return parser.Evaluate(expression);
}

void TrpEngineHooks::RunScript(TrpView*, const TStringList&) {}
bool TrpEngineHooks::BeforePrint(TStringList&, TrpView&) { return false; }
void TrpEngineHooks::AddExportText(const TRect&, int, int, const AnsiString&, int, TrpView&) {}
void TrpEngineHooks::AddExportObject(TrpView&, int, int) {}

TrpView* TrpEngineHooks::FindObject(const AnsiString& name) {
  TrpPage* page = rpState().CurrentPage;
  return page ? page->FindObject(name) : nullptr;
}

TrpPage* TrpEngineHooks::PageAt(int index) { return index == 0 ? rpState().CurrentPage : nullptr; }
AnsiString TrpEngineHooks::ReportName() { return ""; }
bool TrpEngineHooks::SetBandProperty(TrpBandView&, const AnsiString&, const Variant&) { return false; }
bool TrpEngineHooks::GetBandProperty(TrpBandView&, const AnsiString&, Variant&) { return false; }
bool TrpEngineHooks::BandMethod(TrpBandView&, const AnsiString&, Variant&) { return false; }
bool TrpEngineHooks::CurrentBandGeometry(int&, int&, int&, int&) { return false; }
int TrpEngineHooks::PageFooterHeight(TrpPage&) { return 0; }
std::int64_t TrpEngineHooks::ScriptHeldBytes() { return 0; }
AnsiString TrpEngineHooks::ScriptPlace() { return ""; }

namespace {

TrpEngineHooks& DefaultHooks() {
  static TrpEngineHooks hooks;
  return hooks;
}

TCanvas*& MeasureCanvasSlot() {
  static TCanvas* canvas = nullptr;
  return canvas;
}

}  // namespace

TrpBuildState& rpState() {
  static TrpBuildState state = [] {
    TrpBuildState s;
    s.Hooks = &DefaultHooks();
    return s;
  }();
  return state;
}

void rpSetHooks(TrpEngineHooks* hooks) { rpState().Hooks = hooks ? hooks : &DefaultHooks(); }

TCanvas& rpMeasureCanvas() {
  static TRecordingCanvas fallback(Rect(0, 0, 8, 8));
  TCanvas* c = MeasureCanvasSlot();
  if (c) return *c;
  fallback.Clear();
  return fallback;
}

void rpSetMeasureCanvas(TCanvas* canvas) { MeasureCanvasSlot() = canvas; }

void rpResetState() {
  TrpEngineHooks* hooks = rpState().Hooks;
  const std::uint32_t counter = rpState().ObjectCounter;
  rpState() = TrpBuildState{};
  rpState().Hooks = hooks ? hooks : &DefaultHooks();
  rpState().ObjectCounter = counter;
}

void rpChargeScriptBytes(std::int64_t bytes) {
  TrpBuildState& st = rpState();
  st.ScriptBytesStored += bytes;
  if (st.ScriptBytesHeld + st.ScriptBytesStored <= st.ScriptMemoryLimit) return;
  // What replaced values held is free again: count what is held now.
  st.ScriptBytesHeld = st.Hooks->ScriptHeldBytes();
  st.ScriptBytesStored = bytes;
  if (st.ScriptBytesHeld + st.ScriptBytesStored <= st.ScriptMemoryLimit) return;
  const AnsiString place = st.Hooks->ScriptPlace();
  throw EParserError(Ansi("Сценарии отчета хранят больше ") + IntToStr(st.ScriptMemoryLimit >> 20) +
                     Ansi(" МБ данных") + (place.empty() ? AnsiString() : " " + place) +
                     Ansi(": отчет остановлен"));
}
