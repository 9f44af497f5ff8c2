// Template pages: a report page (paper, margins, columns and the views the build lays
// out) or a dialog page (controls shown as a modal dialog before the build), and the
// report's ordered list of them with the template file's body.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "report/RP_Pars.h"
#include "report/RP_Prntr.h"
#include "report/RP_Views.h"

enum : std::uint8_t { ptReport = 0, ptDialog = 1 };
enum : std::uint8_t { bsSizeable = 2, bsDialog = 3 };
enum : std::uint8_t { poDesigned = 0, poScreenCenter = 4 };

// What the build pass keeps on a page while it forms it (runtime bands, queue, ...);
// defined by the build pass.
struct TrpPageRuntime;

class TrpPage : public TrpObject {
 public:
  TrpPage(int paperSize, int width, int height, int bin, int orientation);
  // A page with a known geometry, without asking the printer (rebuilt prepared pages).
  TrpPage(const TrpPageInfo& info, int paperSize, int width, int height, int bin, int orientation);
  ~TrpPage() override;

  // Stored fields (the page record).
  int PaperSize = 9;
  int PaperWidth = 0, PaperHeight = 0;  // tenths of a millimetre
  int LeftMargin = 0, TopMargin = 0, RightMargin = 0, BottomMargin = 0;
  int Orientation = rpPortrait;
  int Bin = -1;
  bool PrintToPrevPage = false;
  bool UseMargins = false;
  int Columns = 1;
  int ColumnGap = 0;
  std::uint8_t PageType = ptReport;
  AnsiString Name;
  std::uint8_t BorderStyle = bsDialog;
  AnsiString Caption = "Form";
  TColor Color = 0x8000000F;
  int FormLeft = 220, FormTop = 120, FormWidth = 380, FormHeight = 300;
  std::uint8_t Position = poScreenCenter;
  TStringList Script;

  // The page's views (owned), the geometry of its paper, and its visibility.
  std::vector<std::unique_ptr<TrpView>> Objects;
  TrpPageInfo PageInfo;
  bool Visible = true;

  // Build-time state of page forming.
  int CurY = 0, CurBottomY = 0, CurX = 0;
  std::shared_ptr<TrpPageRuntime> Runtime;

  void ChangePaper(int paperSize, int width, int height, int bin, int orientation);
  // The column count the build uses: at least 1.
  int ColumnCount() const { return Columns > 1 ? Columns : 1; }
  int TopEdge() const;
  int BottomEdge() const;
  int LeftEdge() const;
  int RightEdge() const;
  TrpView* FindObject(const AnsiString& name) const;
  int ExtraOffset() const { return 0; }
  void FreeObjects() { Objects.clear(); }
  void DeleteObject(int index);
  // Appends a view (the page owns it) and returns it.
  TrpView* AddObject(std::unique_ptr<TrpView> view);
  void RunScript(const TStringList& script);

  void SetPropValue(const AnsiString& name, const Variant& value) override;
  Variant GetPropValue(const AnsiString& name) override;
  void DefineProperties() override;

  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
};

// The data dictionary's stored record (record 254 of a template): three tables of
// name and value text. The report's dictionary reads and writes through it.
struct TrpDictionaryRecord {
  TrpVariables Variables, Aliases, BandSources;
  // Whether a name is a field of a dataset the report knows (the reader of older
  // records drops aliases of nothing); none: no name is.
  std::function<bool(const AnsiString& name)> IsDataSetField;
  void Clear();
  bool Empty() const { return !Variables.Count() && !Aliases.Count() && !BandSources.Count(); }
  // Records of older designers kept variable names with a leading blank and category
  // names without: their names are turned to the current rule (categories begin with
  // a blank) when the first name has none. Those of layout -1 also lose the aliases
  // with an empty value that name no dataset field and the band sources with an empty
  // value. Records written here (-2) are read as they stand.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
};

class TrpPages : public TObject {
 public:
  TrpReport* Parent = nullptr;
  std::vector<std::unique_ptr<TrpPage>> Pages;
  // The template's flags and printer name, and its dictionary.
  bool PrintToDefault = false;
  bool DoublePass = false;
  AnsiString PrinterName;
  TrpDictionaryRecord Dictionary;

  int GetCount() const { return static_cast<int>(Pages.size()); }
  TrpPage* GetPages(int index) const {
    return index >= 0 && index < GetCount() ? Pages[static_cast<std::size_t>(index)].get() : nullptr;
  }
  void Clear() { Pages.clear(); }
  // A new page with the engine's initial paper size, width and height 0, default bin, portrait.
  TrpPage* Add();
  int IndexOf(const TrpPage* page) const;
  TrpView* FindObject(const AnsiString& name) const;
  // Keeps the printer name and, unless PrintToDefault is set, selects that printer when
  // the printer list holds it (the current printer stays otherwise).
  void SetPrinterByName(const AnsiString& name);

  // The template body after the version byte (the writer), and the reader of it;
  // the reader raises on damage (see RP_Template.h for the whole file).
  void SaveToStream(TStream& stream);
  void LoadFromStream(TStream& stream);
  // Names of add-in classes missing while reading, each followed by a CR.
  AnsiString MissingClasses;
};
