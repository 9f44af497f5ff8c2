// The report engine's one build state per process, and the services that views,
// pages and prepared pages ask of the report being built. Only one report is built,
// printed or exported at a time; everything here is read and set by the build pass,
// the runtime bands, page forming, value lookup and the views.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/core/Canvas.h"
#include "platform/core/Classes.h"
#include "platform/core/DateTime.h"
#include "platform/core/Variant.h"

class TrpReport;
class TrpPage;
class TrpBand;
class TrpView;
class TrpBandView;

// What the views need from the report component while they print, draw or export.
// The report (its build pass) installs its own; the default one evaluates bracketed
// expressions with a bare parser and has no events, scripts, export filter or bands.
class TrpEngineHooks {
 public:
  virtual ~TrpEngineHooks() = default;
  // The report's expression-to-text operation for one bracketed expression (the text
  // between "[" and "]", inline format included) of `view`.
  virtual AnsiString ExpressionText(TrpView* view, const AnsiString& expression);
  // The value of a compiled condition (memo highlight).
  virtual Variant EvaluateExpression(const AnsiString& expression);
  // Runs a view's script through the shared interpreter.
  virtual void RunScript(TrpView* view, const TStringList& script);
  // The report's OnBeforePrint event; false when none is assigned.
  virtual bool BeforePrint(TStringList& printText, TrpView& view);
  // The export filter's entry points (while a report is exported).
  virtual void AddExportText(const TRect& frame, int x, int y, const AnsiString& text, int frameTyp, TrpView& view);
  virtual void AddExportObject(TrpView& view, int x, int y);
  // The first view of the report with this name (caseless) on any template page.
  virtual TrpView* FindObject(const AnsiString& name);
  // Template page n (0-based) of the current report, or none.
  virtual TrpPage* PageAt(int index);
  // The name of the report component (for the expression error text).
  virtual AnsiString ReportName();
  // The runtime band behind a band view while a report is built: properties and
  // dataset moves go to it. False: no runtime band handled the name.
  virtual bool SetBandProperty(TrpBandView& view, const AnsiString& name, const Variant& value);
  virtual bool GetBandProperty(TrpBandView& view, const AnsiString& name, Variant& value);
  virtual bool BandMethod(TrpBandView& view, const AnsiString& name, Variant& result);
  // The current runtime band's top, calculated height, width and type, for the band
  // alignment of printed views. False when no band is current.
  virtual bool CurrentBandGeometry(int& top, int& calculatedHeight, int& width, int& bandType);
  // The current page's page footer height while building (BottomEdge), 0 when none.
  virtual int PageFooterHeight(TrpPage& page);
  // The bytes that the values scripts stored hold now (variables, arrays, the texts and
  // lines of the template's objects), and where the running script belongs (the band,
  // else the page), for the message when they hold too much. None without a report.
  virtual std::int64_t ScriptHeldBytes();
  virtual AnsiString ScriptPlace();
};

// DocMode values.
constexpr int rpDesignMode = 0;
constexpr int rpOutputMode = 1;

// 256 MB: far above what a report's scripts keep (texts of a few pages, arrays of
// rows), far below what the machine has.
constexpr std::int64_t rpDefaultScriptMemoryLimit = std::int64_t{256} << 20;

struct TrpBuildState {
  TrpReport* MasterReport = nullptr;   // receives the prepared pages
  TrpReport* CurrentReport = nullptr;  // whose template is being built
  TrpPage* CurrentPage = nullptr;
  TrpBand* CurrentBand = nullptr;
  TrpView* CurrentView = nullptr;
  int PageNumber = 0;
  int TotalPages = 0;
  bool AppendPage = false;
  int SavedCurY = 0;
  int SavedBottomY = 0;
  bool SavedFooterDone = false;
  bool NextOnPrevPage = false;
  bool DialogCancelled = false;
  bool ErrorFlag = false;
  AnsiString ErrorText;
  bool CollectingAggregates = false;
  TDateTime BuildDate = 0;
  TDateTime BuildTime = 0;
  int DocMode = rpDesignMode;
  bool FirstPass = false;
  // The pass whose pages are kept is running (FINALPASS); false outside builds.
  bool FinalPass = false;
  // The second of two passes is running (what ran once per build is not run again).
  bool SecondPass = false;
  // The master report's stop request (set by the expression error routine too).
  bool Terminated = false;
  // The version of the template or page stream being read (view record readers).
  int StreamVersion = 24;
  // The next ObjectId.
  std::uint32_t ObjectCounter = 0;
  // While a page is printed on the printer's canvas, that canvas; views drawn on it
  // keep their fonts' point sizes.
  TCanvas* PrinterCanvas = nullptr;
  // The report's services; never null (the default hooks when no report installed any).
  TrpEngineHooks* Hooks = nullptr;
  // What the values a build's scripts store may hold together, and the count of it:
  // what they held at the last count and the bytes stored since.
  std::int64_t ScriptMemoryLimit = rpDefaultScriptMemoryLimit;
  std::int64_t ScriptBytesHeld = 0, ScriptBytesStored = 0;
};

TrpBuildState& rpState();
// A script stores a value of about `bytes` (a variable, an array element, a line or
// text of an object): when the values stored would hold more than the limit, the build
// stops with EParserError naming the band. Counting walks the stored values only when
// what was stored since the last count could pass the limit.
void rpChargeScriptBytes(std::int64_t bytes);
// Installs the report's hooks (nullptr puts the default ones back).
void rpSetHooks(TrpEngineHooks* hooks);

// The one off-screen canvas on which every memo measures its text (and the 8 x 8
// work bitmap of the Parts). By default fixed-width fake metrics; the GUI layer
// installs one with the real font metrics. The canvas must outlive its use.
TCanvas& rpMeasureCanvas();
void rpSetMeasureCanvas(TCanvas* canvas);

// Puts the whole state back to its start (tests, and after a failed build).
void rpResetState();

// Sets the stream version of the view readers for a scope and puts the old one back.
class TrpStreamVersionScope {
 public:
  explicit TrpStreamVersionScope(int v) : old_(rpState().StreamVersion) { rpState().StreamVersion = v; }
  ~TrpStreamVersionScope() { rpState().StreamVersion = old_; }
  TrpStreamVersionScope(const TrpStreamVersionScope&) = delete;
  TrpStreamVersionScope& operator=(const TrpStreamVersionScope&) = delete;

 private:
  int old_;
};
