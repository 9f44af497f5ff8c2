// Export filters: prepared pages turned into files of other formats. A filter gets the
// calls BeginDocument, (BeginPage, AddObject/AddText..., EndPage) per page, EndDocument;
// the views of each prepared page hand over their text lines and objects through the
// engine hooks while the export runs. The text grid (TrpTextExport) files the text pieces
// of a page into lines and columns; the HTML, CSV and RTF filters write that grid.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/core/Classes.h"
#include "report/RP_Prepared.h"
#include "report/RP_Views.h"

class TrpReport;

using TBeforeExportEvent = std::function<void(AnsiString& fileName, bool& bContinue)>;
using TAfterExportEvent = std::function<void(const AnsiString& fileName)>;

class TrpExportFilter : public TrpExportFilterBase {
 public:
  TrpExportFilter() = default;
  ~TrpExportFilter() override;
  TrpExportFilter(const TrpExportFilter&) = delete;
  TrpExportFilter& operator=(const TrpExportFilter&) = delete;

  AnsiString ClassName() const override { return "TrpExportFilter"; }

  bool ShowDialog = true;
  TBeforeExportEvent OnBeforeExport;
  TAfterExportEvent OnAfterExport;

  // While an export runs: the output and its file name.
  TStream* Stream = nullptr;
  AnsiString FileName;
  // The prepared page being exported (its paper and margins) from BeginPage to EndPage;
  // nil when the pages are fed by hand.
  const TrpPreparedPage* CurrentPage = nullptr;

  virtual int ShowOptionsDialog() { return 1; }
  virtual void BeginDocument() {}
  virtual void EndDocument() {}
  virtual void BeginPage() {}
  virtual void EndPage() {}
  virtual void AddObject(int /*x*/, int /*y*/, TrpView& /*view*/) {}
  virtual void AddText(const TRect& /*frame*/, int /*x*/, int /*y*/, const AnsiString& /*text*/, int /*frameTyp*/,
                       TrpView& /*view*/) {}

 protected:
  void WriteText(std::string_view text);
  // Registers this filter when its class is exactly `exactClass`.
  void RegisterAs(const AnsiString& exactClass, int descriptionId, const AnsiString& mask);
};

// The options dialog of a filter, installed by the windows layer: returns the modal
// result (1 = go on). Without one every filter goes on with its properties as they are.
using TrpExportOptionsDialog = std::function<int(TrpExportFilter& filter)>;
void rpSetExportOptionsDialog(TrpExportOptionsDialog dialog);
int rpRunExportOptionsDialog(TrpExportFilter& filter);

// Progress of an export: called once with 0 when the document begins, then after each
// page with its number (1-based), always with the page total; answering false stops the
// export (the file is not written).
using TrpExportProgress = std::function<bool(int pageNumber, int total)>;

// Exports the prepared pages through the filter into the file. False when the export did
// not run (OnBeforeExport stopped it, the options dialog was cancelled or the progress
// callback stopped it): no file is written then. A file that cannot be written raises
// EFCreateError-like exceptions of the file layer; the engine state is restored in every
// case. The file is replaced only when the whole export succeeded.
bool rpExportPages(TrpEMFPages& pages, TrpExportFilter& filter, const AnsiString& fileName,
                   const TrpExportProgress& progress = {});
// The same for a report: its prepared pages, with the report as the current and master
// report while the views export.
bool rpExportReport(TrpReport& report, TrpExportFilter& filter, const AnsiString& fileName,
                    const TrpExportProgress& progress = {});

// Why a file could not be written or read, as the user is told it: a refusal of the
// system in Russian ("на диске нет места", "папка доступна только для чтения", ...), or
// the error's own message when it names no refusal of the system.
AnsiString rpFileErrorReason(const std::exception& e);

// Exports under a progress display with a caption: the host calls `work` with the
// progress callback it wants and answers what the work answered. The windows layer
// installs a progress window with Cancel (RP_ExportProgress.h); without a host the work
// runs as it is. An empty caption is "Подготовка отчета".
using TrpExportWork = std::function<bool(const TrpExportProgress& progress)>;
using TrpExportProgressHost = std::function<bool(const AnsiString& caption, const TrpExportWork& work)>;
void rpSetExportProgressHost(TrpExportProgressHost host);
bool rpRunExportWithProgress(const TrpExportWork& work, const AnsiString& caption = AnsiString());
bool rpHasExportProgressHost();

// ---------------------------------------------------------------------------------------
// The text grid.

struct TrpTextItem {
  int X = 0;
  AnsiString Text;
  AnsiString FontName;
  int FontSize = 10;
  int FontStyle = 0;  // bit 0 italic, 1 bold, 2 underline, 3 strike-out
  TColor FontColor = clBlack;
  int Charset = 204;
  TRect FrameRect;
  int FrameTyp = 0;  // 1 right, 2 bottom, 4 left, 8 top; -1 a picture item
  TColor FillColor = rpNoColor;
  int Alignment = 0;          // the memo's horizontal alignment (rpalLeft, rpalRight...)
  int Width = 0, Height = 0;  // picture items
  int Picture = -1;           // picture items of a filter that keeps its pictures: their index
};

constexpr int rpTextFrameRight = 1, rpTextFrameBottom = 2, rpTextFrameLeft = 4, rpTextFrameTop = 8;
constexpr int rpTextPictureItem = -1;

class TrpTextExport : public TrpExportFilter {
 public:
  TrpTextExport() : TrpTextExport(true) {}
  AnsiString ClassName() const override { return "TrpTextExport"; }

  double ScaleX = 1.0;
  double ScaleY = 1.0;
  bool KillEmptyLines = true;
  bool ConvertToOEM = false;
  bool ExportFrames = false;
  bool UsePseudographic = false;
  bool PageBreaks = true;

  int ShowOptionsDialog() override;
  void BeginPage() override;
  void AddText(const TRect& frame, int x, int y, const AnsiString& text, int frameTyp, TrpView& view) override;
  void EndPage() override;

  // The page's lines: slot n holds the items of text line n ordered by x.
  std::vector<std::vector<TrpTextItem>> Lines;
  void ClearLines() { Lines.clear(); }
  // The slot of a vertical position (-1: above the page, dropped).
  int LineOf(int y) const;
  // Files an item into its slot, after the items with a smaller x.
  void FileItem(int line, TrpTextItem item);
  int LastLine() const;

 protected:
  // The plain text grid offers itself; the formats built on it register their own.
  explicit TrpTextExport(bool offerPlainText);
  static double SafeScale(double s) { return s > 0 ? s : 1.0; }
  // Columns of a page's box edges (report pixels): edges at most 2 pixels apart share a
  // column; the others get distinct columns in their order, each at least its own
  // rounded position.
  static std::map<int, int> EdgeColumns(std::vector<int> edges, double columnWidth);
};

// A scale typed into an options dialog: "1,5" and "1.5" are read; anything that is not
// a number above 0 gives 1.0.
double rpExportScale(const AnsiString& text);

class TrpHTMExport : public TrpTextExport {
 public:
  TrpHTMExport();
  AnsiString ClassName() const override { return "TrpHTMExport"; }
  bool ExportPictures = false;

  void BeginDocument() override;
  void EndDocument() override;
  void AddObject(int x, int y, TrpView& view) override;
  void EndPage() override;
  // The cell of a text item (escaped text, font and style tags).
  static AnsiString CellText(const TrpTextItem& item);

 private:
  struct Picture {
    int X, Y, W, H;
    std::string Bmp;
  };
  std::vector<Picture> pictures_;
  int counter_ = 0;
};

class TrpCSVExport : public TrpTextExport {
 public:
  TrpCSVExport();
  AnsiString ClassName() const override { return "TrpCSVExport"; }
  char Delimiter = ';';
  void EndPage() override;
  // A field as written: quoted when it holds the delimiter, a quote, CR or LF.
  AnsiString Field(const AnsiString& text) const;
};

// The page of an RTF document in twips: paper, margins and the width the text may take.
struct TrpRtfPageGeometry {
  int PaperWidth = 11906, PaperHeight = 16838;  // A4
  int Left = 600, Top = 600, Right = 600, Bottom = 600;
  bool Landscape = false;
  int TextWidth() const { return PaperWidth - Left - Right; }
  int TextHeight() const { return PaperHeight - Top - Bottom; }
  bool operator==(const TrpRtfPageGeometry&) const = default;
};
// The geometry of a prepared page: its paper and margins (A4 with 600-twip margins
// when there is no page or it has no size).
TrpRtfPageGeometry rpRtfPageGeometry(const TrpPreparedPage* page);

class TrpRTFExport : public TrpTextExport {
 public:
  TrpRTFExport();
  AnsiString ClassName() const override { return "TrpRTFExport"; }
  bool ExportBitmaps = false;
  bool ConvertToTable = false;

  void BeginDocument() override;
  void EndDocument() override;
  void BeginPage() override;
  void AddObject(int x, int y, TrpView& view) override;
  void EndPage() override;
  // Text with RTF's reserved characters escaped and bytes above 127 as \'hh.
  static AnsiString Escape(const AnsiString& text);

 private:
  int FontIndex(const AnsiString& name, int charset);
  int ColorIndex(TColor color);
  AnsiString Codes(const TrpTextItem& item, const TrpTextItem* previous);
  // A horizontal position of the page (report pixels) as twips from the left margin:
  // the filter's scale, shrunk so that the page's content fits the text width.
  int Twips(int x) const;
  static AnsiString SectionCodes(const TrpRtfPageGeometry& g);
  void WritePicture(const TrpTextItem& item);
  // A picture's size in the document (twips) and its indent.
  void PictureBox(const TrpTextItem& item, int& left, int& width, int& height) const;
  // Paragraph codes of a text line: exact height, no space before or after.
  AnsiString LineCodes() const;

  struct Font {
    AnsiString Name;
    int Charset;
  };
  struct Picture {
    int X, Y, W, H;
    TBitmap Image;
  };
  std::vector<Font> fonts_;
  std::vector<TColor> colors_;
  std::vector<Picture> pictures_;
  std::string body_;
  int pageCount_ = 0;
  TrpRtfPageGeometry firstPage_, prevPage_, page_;
  int origin_ = 0;     // report pixel of the left margin
  double fit_ = 1.0;   // shrinking of the page's positions to the text width
  int lineHeight_ = 0;  // twips of the text line being written (exact)
  std::vector<int> lineHeights_;  // twips of each line of the page
  static constexpr int kPictureGap = 120;  // twips below a picture, clear of the next line's type
};
