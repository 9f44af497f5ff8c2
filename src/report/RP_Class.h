// The report component and its build pass: runtime bands, page forming, the value
// lookup of a build, and the composite report that builds several reports into one
// set of prepared pages with page numbers running on.
//
// A build walks each report page of the template: the title, the page header, the
// master level with its groups, detail and subdetail levels and their headers and
// footers, the summary and the page footer, breaking to new columns and pages when a
// band does not fit. Views print into the prepared pages (RP_Prepared.h); bracketed
// expressions go through the report's value lookup (RP_Lookup.h), aggregates through
// the data bands' running values (RP_Funcs.h).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "report/RP_BandView.h"
#include "report/RP_DSet.h"
#include "report/RP_DialogPage.h"
#include "report/RP_Funcs.h"
#include "report/RP_Lookup.h"
#include "report/RP_Memo.h"
#include "report/RP_Page.h"
#include "report/RP_Prepared.h"
#include "report/RP_PreviewLayout.h"
#include "report/RP_Template.h"

class TrpReport;
class TrpPageForm;
class TrpExportFilter;

// One band of a template page while a report is built.
class TrpBand {
 public:
  TrpBand(int type, TrpBandView* view, TrpPageForm& form);

  int BandType;
  TrpBandView* View;
  TrpPageForm& Form;
  AnsiString Name;
  int Top = 0, Height = 0;  // in the template (Height: a script may change it while building)
  int Y = 0;                // where it prints
  int CalculatedHeight = -1;  // while it prints: the height it takes (stretched), else -1
  int PlaceY = 0;           // overlays and bands of views in no band: where they print
  std::vector<TrpView*> Objects;

  TrpDataset* DataSet = nullptr;
  std::unique_ptr<TrpDataset> OwnedDataSet;
  // Datasets of the band that a script replaced (DATASOURCE): kept until the page is
  // formed, since the records of the old one may still be running.
  std::vector<std::unique_ptr<TrpDataset>> RetiredDataSets;
  bool Running = false;  // its records are being printed
  TrpBand* Header = nullptr;  // data bands: their header and footer
  TrpBand* Footer = nullptr;
  std::vector<TrpBand*> Groups;  // data bands: their group headers, outermost first
  TrpBand* GroupFooter = nullptr;  // group headers
  TrpBand* GroupHeader = nullptr;  // group footers
  TrpBand* Child = nullptr;
  // Bands showing totals: every data band their aggregate calls registered with, and
  // the one the calls that name no band read (else the first one named).
  std::vector<TrpBand*> AggregateSources;
  TrpBand* AggregateSource = nullptr;
  AnsiString GroupCondition;
  Variant LastGroupValue;
  TrpAggregateValues Values;
  // Data bands: the record's number within its group and within the level's run (LINE#,
  // LINETHROUGH#). Group headers: the group's number within the group around it and
  // within the run.
  int LinePosition = 1, LineThroughPosition = 1;
  bool Visible = true;
  // The band's strip across the page (from its view; a script may change it). Cross
  // bands print their cells there. Row bands: the dataset of their columns when the
  // cross data band names one for them ("band=source;" pairs).
  int X = 0, Width = 0;
  TrpDataset* CrossDataSet = nullptr;
  std::unique_ptr<TrpDataset> OwnedCrossDataSet;
  // Records side by side (Columns > 1): the column of the next record, the x of the
  // first column, and the row being filled.
  int ColumnNo = 1, ColumnStartX = 0, RowTop = 0, RowHeight = 0;
  // Group headers and footers: the data band whose records they group.
  TrpBand* DataBand = nullptr;
  // Data bands: the bands of the level after this one that have no data source of their
  // own and print as parts of each of its records, and (such a part) the band it is of.
  std::vector<TrpBand*> RecordParts;
  TrpBand* RecordOwner = nullptr;
  // NEWPAGE and NEWCOLUMN calls of the band's script, carried out after it ran; KeepCurY:
  // the script set CURY with breaks pending, so the position it set is kept after them.
  int NewPageRequests = 0, NewColumnRequests = 0;
  bool KeepCurY = false;

  // A flag of the band view, when it applies to this kind of band (a flag that cannot,
  // such as a new page asked for by the band that starts a page, reads as clear).
  bool Flag(std::uint16_t bit) const;
  bool Stretched() const { return Flag(flStretched); }
  bool IsData() const { return BandType == btMasterData || BandType == btDetailData || BandType == btSubDetailData; }
  // The height it needs now: its own, or what its stretched memos need.
  int CalcHeight();
  // A new data source (a script's DATASOURCE): group headers take it as their
  // condition; other bands drop their datasets and take the one the text names (a
  // master data band with none takes the report's Dataset in a simple report).
  void SetDataSource(const AnsiString& text);
};

// Forms the prepared pages of one template page (or of a subreport's page inside it).
class TrpPageForm {
 public:
  TrpPageForm(TrpReport& report, TrpPage& page, TrpPageForm* parent = nullptr, int offsetX = 0);
  ~TrpPageForm();

  TrpReport& Report;
  TrpPage& Page;
  TrpPageForm* Parent;  // a subreport's page: the page it prints into
  std::vector<std::unique_ptr<TrpBand>> Bands;

  // Builds the whole page: title, levels, summary, footers.
  void Form();
  // Prints the levels only (a subreport inside a band of its parent).
  void FormLevels();

  TrpBand* First(int type) const;
  int PageFooterHeight() const;

  // While aggregates are collected: the data band they add up and the band that shows them.
  TrpBand* Processed = nullptr;
  TrpBand* Scanned = nullptr;
  int ScannedType = -1;  // the band type the scanned band counts as (a child: its parent's)
  // The data band whose record prints now.
  TrpBand* CurrentData = nullptr;
  // CURRENT#: counts the records of every level printed on this page so far, from 1.
  int RecordCounter = 1;
  // The dataset a data band's records come from now: the one its running level walks,
  // else its own.
  TrpDataset* RunningDataSet(const TrpBand& data) const;

  // Position on the current prepared page.
  int CurY = 0, CurBottomY = 0, CurX = 0;
  int Column = 1;
  int ColumnStartY = 0;
  TrpBand* CurrentBand = nullptr;

  // Prints a band (with its child); false when the report was stopped.
  void DrawBand(TrpBand& band);
  // What a manual build (the report's OnManualBuild) prints with: the first band of a
  // type, and the first band of a name (caseless); nothing when there is none.
  void ShowBand(int bandType);
  void ShowBandByName(const AnsiString& name);
  void NewPage();
  // band: the band that goes on in the new column or page (its repeating headers print).
  void NewColumn(TrpBand* band = nullptr);
  // Finishes the current page (and those to its right): column footer, OnEndPage, page
  // footer. last: the report's last page. True when a page footer printed.
  bool EndPage(bool last = false);

  // Cross-tabs (RP_CrossTab.cpp). Views lying in a cross band's strip are its cells;
  // the row band they lie in prints them once per column of the cross dataset.
  std::map<const TrpView*, TrpBand*> CrossCells;
  int CrossColumn = 0;        // the column being printed (COLUMN#), 0 outside
  // Aggregates of a cell being collected: kept per column (cells under the cross data
  // band), or over every column (cells under the cross footer in a totals row).
  enum class CellScan { None, EachColumn, EveryColumn };
  CellScan ScanningCell = CellScan::None;
  void InitCross();
  bool IsCrossCell(const TrpView* view) const { return CrossCells.count(view) != 0; }
  bool HasCrossCells(const TrpBand& row) const;
  // Prints the row's cells: the cross header's, one set per column, the cross footer's.
  // print: prints the cells of a cross band at x in place of the plain printing (a row
  // that splits over pages); firstPart: scripts run and values add up (not again for the
  // later parts of a split row).
  using CellPrinter = std::function<void(TrpBand& cross, int x)>;
  void DrawCross(TrpBand& row, int height, const CellPrinter& print, bool firstPart);
  int CrossHeight(TrpBand& row);
  void PrepareCrossAggregates();
  // The value of an aggregate shown in a cell; false when the current band is no cross band.
  bool CrossAggregate(int code, const AnsiString& expression, const AnsiString& flag, Variant& value);

  // Records side by side and side-by-side subreports (RP_SideBySide.cpp).
  TrpBand* LastBand = nullptr;
  // Views in no band go to a band of their own that prints them where they lie.
  void InitFreeViews();
  void RowBeforeBand(TrpBand& band);
  void RowAfterBand(TrpBand& band, int height);

 private:
  void InitBands();
  void PrepareAggregates();
  // The records of every data band of a level (0 master, 1 detail, 2 subdetail).
  void PrintLevel(int level);
  void PrintRecords(TrpBand& data, int level);
  std::vector<TrpBand*> DataBands(int type) const;
  // The last level that has a data band.
  void FindDeepestLevel();
  int deepest_ = 0;
  // Bands waiting for a record to print (headers, group headers, the records of outer
  // levels): they print, in order, with the first record of the deepest level.
  std::vector<TrpBand*> pending_;
  // Prints the first `count` waiting bands (all by default) and takes them off the stack.
  void PrintPending(std::size_t count = std::string::npos);
  std::size_t PendingAt(const TrpBand* band, std::size_t from) const;
  // Pushes the headers of data's groups from `from` on; base: where the level's waiting bands start.
  void PushGroupHeaders(TrpBand& data, std::size_t from, std::size_t base);
  // Drops the waiting headers of groups from `from` on; the first group dropped (the
  // groups before it printed).
  std::size_t DropWaitingGroups(TrpBand& data, std::size_t from, std::size_t base);
  // After a record: closes and opens groups when their values changed; newPage: a new
  // page starts before the next record (after the closing footers).
  // ds: the running dataset of data (a script may have given the band another one).
  bool CheckGroups(TrpBand& data, TrpDataset& ds, bool newPage, std::size_t base);
  // Footers of the groups from `from` up to `to`, innermost first.
  void PrintGroupFooters(TrpBand& data, std::size_t from, std::size_t to);
  void DrawObjects(TrpBand& band);
  // Before a view prints: a picture whose DataField names a field takes its content.
  void LoadBlob(TrpView& view);
  // Prints a band that may split and does not fit, part by part; height: what it needs.
  void DrawSplit(TrpBand& band, int height);
  // While a stretched band that grew prints: its stretchable views reach its bottom.
  class StretchedViews {
   public:
    StretchedViews(TrpPageForm& form, TrpBand& band, int height);
    ~StretchedViews();
    StretchedViews(const StretchedViews&) = delete;
    StretchedViews& operator=(const StretchedViews&) = delete;

   private:
    std::vector<std::pair<TrpView*, int>> kept_;
  };
  void PrintSubReport(TrpSubReportView& view, TrpBand& band);
  void StartPage(bool first);
  // The title (first page), page header and column header; false when the title went
  // on to a new page, which printed the headers.
  bool PageHeaders(bool first);
  void AfterBandPrinted(TrpBand& band);
  // The page and column breaks a band's script asked for.
  void ApplyBreakRequests(TrpBand& band);
  void CollectAggregates(TrpBand& band, int countsAs);
  // Calls visit with every band that shows the totals of a data level, that level's data band
  // being Processed; a group footer counts as a band of its data band's level.
  void ForEachTotalsBand(const std::function<void(TrpBand& band, int countsAs)>& visit);
  TrpPageForm& Root();
  // A subreport's page continues where its parent's new column or page starts.
  void FollowParent();
  bool Fresh() const { return CurY <= freshY_; }
  // How low bands may print: the bottom limit less the room of the column footer.
  int BodyBottom() const;
  // The page's bands are printed by the report's OnManualBuild handler.
  bool manual_ = false;
  bool Stopped() const;

  // The levels whose records print now, outermost first: the data band, the dataset its
  // records come from (a script may have given the band another one since), and where
  // the level's waiting bands start on the stack.
  struct RunningLevel {
    TrpBand* band;
    TrpDataset* dataSet;
    std::size_t base;
  };
  std::vector<RunningLevel> levels_;
  // A band printed from the stack gave a running level another data source: the level
  // (index in levels_) that starts again on it; the levels inside it end at once.
  std::size_t restart_ = std::string::npos;
  void RepeatHeaders(TrpBand* band);
  int offsetX_ = 0;
  int freshY_ = 0;
  bool inFooter_ = false;
  int crossDepth_ = 0;
  int crossLeft_ = 0;
  int crossHeight_ = 0;
  TrpBand* crossRow_ = nullptr;
  // Calls column once per column of the row; measuring: the row's height is measured.
  void CrossColumns(TrpBand& row, TrpBand& data, const std::function<void()>& column, bool measuring);
  void PrintCells(TrpBand& cross, TrpBand& row, int x);
  void CrossPageCheck(TrpBand& row, int& x, int width, int startPage, const CellPrinter& print);
  int ColumnWidth() const;
  // The right edge cells may reach before they go on on the page to the right.
  int CrossRight() const;
  int areaRight_ = 0;  // a subreport's page: the right edge of its rectangle
  // Pages made to the right of a page for the cross-tab columns that did not fit, and
  // the set of those pages (a subreport going on downwards skips them).
  std::map<int, int> rightOf_;
  std::set<int> rightPages_;
  // Side-by-side subreports: each starts on the band's page and place, going on over
  // the pages an earlier one made; the band goes on below the one that ends lowest.
  struct Place {
    int page = -1, curY = 0, freshY = 0, column = 1, curX = 0;
  };
  struct SubReports {
    Place start, end;  // end.page -1: no subreport printed
  };
  SubReports subs_;
  std::map<int, int> pageTop_;  // prepared page -> where its body starts
  bool followPages_ = false;    // new pages of subreports use the pages that exist
  Place Here() const;
  void GoTo(const Place& place);
  bool NextExistingPage();
  void SubReportStarts();
  void SubReportEnded(int endY);
  void SubReportsDone(int height);
  // A page or column is being closed or started: bands printed for that ask no breaks.
  bool breaking_ = false;
  // A page or column is being started: bands printed for that start no page or column.
  bool starting_ = false;
  // The column footer closing the records printed already (the summary follows it).
  bool columnFooterDone_ = false;
};

// The band types whose aggregates add up the records of a data band of this type.
std::vector<int> rpAggregateDisplayTypes(int dataType);
// The dataset a band's data-source text names: a number n gives an owned dataset of n
// records, other text a dataset of the report; an unknown name is an error.
TrpDataset* rpOpenDataSource(TrpReport& report, const AnsiString& text, std::unique_ptr<TrpDataset>& owned,
                             const AnsiString& bandName);

// The database dataset whose fields bare names in expressions are: the dataset of the
// current band's level (the master level for titles, page bands, groups and the
// summary); none when that level has no database dataset or no report page is formed.
TDataSet* rpGetDefaultDataSet();

using TrpProgressEvent = std::function<void(int pageNumber)>;
// A report page formed by the application instead of the level loop: the handler shows
// bands (ShowBand, ShowBandByName) and breaks pages and columns itself.
using TManualBuildEvent = std::function<void(TrpPageForm& page)>;
// A prepared page (0-based) is finished: its page footer is the last thing on it.
using TEndPageEvent = std::function<void(int pageNumber)>;
// A print job is about to begin.
using TPrintReportEvent = std::function<void()>;

// rtMultiple: the whole report is built once per record of its Dataset.
enum TrpReportType { rtSimple, rtMultiple };

// The progress window under which a report builds, prints and exports: a caption, two
// lines and Cancel.
class TrpProgress {
 public:
  virtual ~TrpProgress() = default;
  virtual void SetLabel(const AnsiString& text) = 0;
  virtual void SetLabel2(const AnsiString& text) = 0;
  // Lets pending window messages through; false once Cancel has been pressed.
  virtual bool ProcessMessages() = 0;
  // Out of the way while a dialog page shows.
  virtual void SetHidden(bool hidden) = 0;
};
// Runs `work` under a progress window with the caption and first line given; false
// when the window ended with Cancel. The windows layer installs one; without one (or
// with nullptr) the work runs as it is.
using TrpProgressWork = std::function<void(TrpProgress& progress)>;
using TrpProgressRunner = std::function<bool(const AnsiString& caption, const AnsiString& label,
                                             const TrpProgressWork& work)>;
void rpSetProgressRunner(TrpProgressRunner runner);
const TrpProgressRunner& rpProgressRunner();

// The printer's side of a print job, installed by the windows layer: prints the prepared
// pages in `order` (0-based indexes, repeats for copies) as one job titled `title` (the
// virtual printer writes the file `fileName`). `pageDone` is called after each page with
// the number printed so far and answers false to abort the job. False when the job was
// aborted; a job that cannot start or end raises.
using TrpPageDone = std::function<bool(int printed)>;
using TrpPagePrinter = std::function<bool(TrpEMFPages& pages, const std::vector<int>& order, const AnsiString& title,
                                          const AnsiString& fileName, const TrpPageDone& pageDone)>;
void rpSetPagePrinter(TrpPagePrinter printer);
const TrpPagePrinter& rpPagePrinter();

// The preview window of the windows layer: shows the report's prepared pages in a window
// with the caption given (in its attached preview panel when it has one).
using TrpPreviewShower = std::function<void(TrpReport& report, const AnsiString& caption)>;
void rpSetPreviewShower(TrpPreviewShower shower);
const TrpPreviewShower& rpPreviewShower();
using TrpBandEvent = std::function<void(TrpBand& band)>;
using TrpBeforePrintEvent = std::function<void(TStringList& printText, TrpView& view)>;
using TrpReportGetValueEvent = std::function<void(const AnsiString& name, Variant& value)>;

// The preview's buttons a report may show.
enum : unsigned {
  rppbZoom = 1, rppbLoad = 2, rppbSave = 4, rppbPrint = 8, rppbFind = 16, rppbHelp = 32, rppbExit = 64,
  rppbPageSetup = 128
};
// A set of the preview's buttons (rppb... bits).
using TrpPreviewButtons = unsigned;

// The editor of prepared pages that a report designer installs (this program has none).
// It edits the page (0-based) in place and answers whether it changed it.
using TrpPreparedPageEditor = std::function<bool(TrpEMFPages& pages, int index)>;
TrpPreparedPageEditor& rpPreparedPageEditor();

// The help page of the preview that the program installs (its help button opens it);
// without one the button lets the user click a control for its short explanation.
using TrpPreviewHelp = std::function<void()>;
TrpPreviewHelp& rpPreviewHelp();

class TrpReport : public TObject, public TrpEngineHooks {
 public:
  TrpReport();
  ~TrpReport() override;

  AnsiString Name = "rpReport1";
  // The report's title: the print job's and the PDF's title ("Untitled" when empty).
  AnsiString Title;
  TrpPages Pages;
  TrpEMFPages EMFPages;
  // The template's dictionary: its variables are the report's.
  TrpDataDictionary Dictionary{Pages.Dictionary.Variables, Pages.Dictionary.Aliases, Pages.Dictionary.BandSources};

  // Names answered first (leave the value Empty to pass the name on).
  TrpReportGetValueEvent OnGetValue;
  TrpFunctionEvent OnUserFunction;
  TNotifyEvent OnBeginDoc, OnEndDoc;
  TrpBandEvent OnBeginBand, OnEndBand;
  TrpBeforePrintEvent OnBeforePrint;
  TrpProgressEvent OnProgress;
  // Cross-tabs: before the columns of a row, and before each column (the handler may
  // change the column's width).
  TrpBandEvent OnBeginColumn;
  std::function<void(int column, int& width)> OnPrintColumn;
  // The second line of the progress window: what a script assigns to PROGRESS.
  std::function<void(const AnsiString& text)> OnProgressText;
  // Datasets that bands name as their data source.
  void AddDataset(TrpDataset& dataSet);
  TrpDataset* FindDataset(std::string_view name) const;
  // Answers "Cancel" of a progress window: polled by every loop and script.
  std::function<bool()> CancelRequested;

  // Lines of script one band may run.
  std::int64_t ScriptStepLimit = 1000000;
  // What the values the scripts of a build store may hold together (rpChargeScriptBytes).
  std::int64_t ScriptMemoryLimit = rpDefaultScriptMemoryLimit;

  // rtMultiple with a Dataset: the whole report is built once per record of it (once
  // also when it has none). The dataset is not owned; the report forgets it when it goes.
  TrpReportType ReportType = rtSimple;
  void SetDataset(TrpDataset* dataSet);
  TrpDataset* Dataset() const { return dataset_; }
  // Replaces the forming of every report page when assigned.
  TManualBuildEvent OnManualBuild;
  // Fired on the report being built and, when another, on the one receiving the pages.
  TEndPageEvent OnEndPage;
  TPrintReportEvent OnPrintReport;

  // Builds, prints and exports run under the progress window (rpProgressRunner) unless
  // this is off or OnProgress is assigned. Title goes in front of the window captions
  // ("Title - ...").
  bool ShowProgress = true;
  // The progress window's first line: its prefix and the page number n (with "из" and
  // the page total in the second of two passes); lets window messages through, where
  // Cancel stops the build. OnProgress takes the number instead when assigned.
  void UpdateProgress(int n);

  // The print dialog of the preview starts with these.
  int DefaultCopies = 1;
  bool DefaultCollate = true;
  // Prints the prepared pages: the page list text ("" all, "1,3,5-12"), copies,
  // collation and 0 all / 1 odd / 2 even pages, under the progress window; the virtual
  // printer writes `fileName` (PDF). False when nothing was printed (no page selected,
  // no printer installed, stopped); a job that cannot run raises.
  bool PrintPreparedReport(const AnsiString& pageNumbers, int copies, bool collate, int oddEven,
                           const AnsiString& fileName = "");
  // The last print request.
  AnsiString PrintPageNumbers;
  int PrintCopies = 1;
  bool PrintCollate = true;
  int PrintOddEven = 0;
  AnsiString PrintFileName;

  // Keeps the printer name (saved with the template) and, unless the template prints to
  // the default printer, selects that printer when the system has it.
  void SetPrinterByName(const AnsiString& name);
  // Another printer for the report: selected, and every template page takes its paper
  // on it. When the printer refuses, a message says so, the old printer comes back and
  // the result is false. The report's pages are laid out for the printer they were
  // built on: with CanRebuild they are built again after a change (the preview does).
  bool ChangePrinter(int oldIndex, int newIndex);

  // The template. LoadFromFile: false for a missing file (the report stays as it was);
  // else the file is read as LoadFromStream reads and its name kept in FileName.
  // LoadFromStream: a template that cannot be read whole (RP_Template.h) is said in a
  // message box captioned "Ошибка" ("Неверный RPF формат", or the list of the missing
  // object classes, whose objects are left out). Clear: no pages, no dictionary.
  // (`result`, when given, receives how the reading went.)
  bool LoadFromFile(const AnsiString& fileName, TrpTemplateLoad* result = nullptr);
  TrpTemplateLoad LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  void Clear();
  // The template file last loaded ("Untitled" before).
  AnsiString FileName = "Untitled";

  // Builds, then shows the pages (nothing when the build failed).
  void ShowReport();
  // Shows the prepared pages (nothing when there are none): in the attached preview
  // panel, else in a preview window captioned "Предварительный просмотр" ("Title - "
  // in front), an MDI child of the program's frame when MDIPreview is set, modal when
  // ModalPreview is.
  void ShowPreparedReport();
  bool MDIPreview = false;
  // Windows the report opened (previews): each is freed with the report.
  void OwnWindow(const void* window, std::function<void()> free);
  void DisownWindow(const void* window);

  // The prepared-report file (".rpp"): the prepared pages written, or read in place of
  // the prepared pages (a damaged file raises and leaves them as they were); pages read
  // from a file cannot be built again.
  void SavePreparedReport(const AnsiString& fileName) { EMFPages.SaveToFile(fileName); }
  void LoadPreparedReport(const AnsiString& fileName) {
    EMFPages.LoadFromFile(fileName);
    CanRebuild = false;
  }

  // Builds the prepared pages. False when the build failed (ErrorText says why; the
  // prepared pages are deleted) or was stopped.
  virtual bool PrepareReport();
  AnsiString ErrorText;
  bool Terminated = false;

  // The preview window or panel showing the prepared pages (not owned). It is
  // forgotten when that object is freed.
  void SetPreview(TFreeNotifier* preview);
  // None while an export of no pages runs (the preview has nothing to show of it).
  TFreeNotifier* Preview() const { return previewDetached_ ? nullptr : preview_; }
  // A linked object is being freed: every reference to it is cleared.
  void Notification(const void* removed);
  // The dialog page being run (its script's MODALRESULT goes there), or none.
  TrpDialogForm* CurrentDialog = nullptr;
  // Writes the prepared pages through the filter into the file (RP_Export.h), under the
  // export progress window when one is installed (and ShowProgress is on and OnProgress
  // unassigned), else under the report's progress like a build. False when nothing was written (stopped,
  // cancelled); a file that cannot be written raises.
  bool ExportTo(TrpExportFilter& filter, const AnsiString& fileName);
  // What the preview shows (report/gui/RP_Preview.h): its buttons, its first zoom,
  // whether it runs modally, and whether inactive buttons are grey until the pointer
  // enters them.
  TrpPreviewButtons PreviewButtons = 127;  // all but page setup
  TrpPreviewZoom InitialZoom = pzDefault;
  bool ModalPreview = true;
  bool GrayedButtons = false;
  // The preview offers to edit, add and delete prepared pages when a page editor is
  // installed (rpPreparedPageEditor) and this is on.
  bool ModifyPrepared = true;
  // The prepared pages were built from the template (so a page setup or another printer
  // may build them again); off for pages loaded from a prepared-report file.
  bool CanRebuild = false;

  // TrpEngineHooks: what the views ask while they print.
  AnsiString ExpressionText(TrpView* view, const AnsiString& expression) override;
  Variant EvaluateExpression(const AnsiString& expression) override;
  void RunScript(TrpView* view, const TStringList& script) override;
  // A memo bound to a memo (blob) field has the field's text loaded first.
  bool BeforePrint(TStringList& printText, TrpView& view) override;
  // The field a view's text names as "[name]" (what follows the last "]" left out; with
  // bareName a picture's DataField may also be the name alone); none when the text names
  // no field of a dataset.
  TField* ViewDataField(const TrpView& view, bool bareName);
  TrpView* FindObject(const AnsiString& name) override;
  TrpPage* PageAt(int index) override;
  AnsiString ReportName() override { return Name; }
  bool CurrentBandGeometry(int& top, int& calculatedHeight, int& width, int& bandType) override;
  int PageFooterHeight(TrpPage& page) override;
  // The global variables, and the dictionaries and objects' texts of the reports built.
  std::int64_t ScriptHeldBytes() override;
  AnsiString ScriptPlace() override;
  // Band views while a report is built: their place, size, visibility, data source,
  // condition and child band are the running band's, and EOF, NEXT, PRIOR and FIRST
  // answer for and move its dataset.
  bool SetBandProperty(TrpBandView& view, const AnsiString& name, const Variant& value) override;
  bool GetBandProperty(TrpBandView& view, const AnsiString& name, Variant& value) override;
  bool BandMethod(TrpBandView& view, const AnsiString& name, Variant& result) override;
  // A view printed: every view of the template that asks to be told (flNotifyPrint) is
  // told of a memo.
  void ViewPrinted(TrpView& view);
  // The running band of a band view: on the page being formed or a page it prints in.
  TrpBand* RunningBand(const TrpBandView& view) const;

  // Used by page forming.
  TrpValueLookup& Lookup() { return lookup_; }
  TInterpretator& Script() { return *script_; }
  TrpPageForm* CurrentForm = nullptr;
  // Builds this report's template pages into the master report's prepared pages.
  virtual void BuildReport();
  // The prepared page the build writes to.
  TStream& OutputStream();
  // Runs a compiled or uncompiled script with the step limit and the cancel hook; an
  // error stops the build with its message.
  void RunBandScript(const TStringList& script);
  // The error routine: the build stops with the message.
  void BuildError(const AnsiString& message);
  // The progress window of the build, print or export running under one (nil otherwise).
  TrpProgress* Progress() const { return progress_; }
  // The progress window's caption: "Подготовка отчета", after the title and " - " when
  // the report has one.
  AnsiString ProgressCaption() const;
  // Runs a dialog page: its script, then the dialog unless the script set its result;
  // Cancel sets the build's DialogCancelled.
  void RunDialogPage(TrpPage& page);

 protected:
  bool DoPrepare(const std::function<void()>& buildAll);
  void Wire();
  // The printer's job: OnPrintReport, then the pages in order to the installed printer.
  virtual bool PrintPages(const std::vector<int>& order);
  // Runs work under the progress window (or directly); false when it was cancelled.
  bool RunWithProgress(const AnsiString& prefix, const std::function<void()>& work);

 private:
  // The build's answer to an aggregate call (AVG COUNT MAX MIN SUM) of an expression.
  void AggregateCall(int code, const AnsiString& expression, const AnsiString& band, const AnsiString& flag,
                     Variant& value);

  TrpValueLookup lookup_;
  std::unique_ptr<TInterpretator> script_;
  std::vector<TrpView*> notified_;  // the views of the report pages told of printed memos
  std::vector<TrpDataset*> datasets_;
  std::map<const TStringList*, TStringList> compiled_;
  TFreeNotifier* preview_ = nullptr;
  bool previewDetached_ = false;
  TrpDataset* dataset_ = nullptr;
  TrpProgress* progress_ = nullptr;
  AnsiString progressPrefix_;
  bool cancelled_ = false;  // Cancel was pressed in the progress window
  bool exporting_ = false;  // ExportTo runs under the report's progress
  std::vector<std::pair<const void*, std::function<void()>>> windows_;
};

// Builds the listed reports one after another into its own prepared pages; it builds
// in two passes when any listed template asks for them.
class TrpCompositeReport : public TrpReport {
 public:
  std::vector<TrpReport*> Reports;  // not owned
  bool PrepareReport() override;
};

// The prepared pages as short text (UTF-8): per page, one line per view with its name,
// place, size and text lines joined by "|". Golden dumps and the rpbuild tool use it.
std::string rpPreparedText(TrpEMFPages& pages);
