// Printing a ration document: the choice of sections, the report variables, the user
// datasets over the document and its views, and the composite report of the chosen
// parts. No windowing: the ration window shows the section dialog over TPrnSections,
// then builds, previews or prints TRationPrint's composite report.
#pragma once

#include <array>
#include <functional>
#include <string_view>
#include <vector>

#include "planner/ration/RationTabs.h"
#include "report/RP_Class.h"
#include "report/RP_Export.h"

// ---------------------------------------------------------------------------------
// The print sections and their check rules

enum class TPrnCheck { Unchecked, Checked, Grayed };

struct TPrnSectionItem {
  const char* Text;  // UTF-8
  const char* Key;
  int Level;
  int Parent;  // index of the parent item, -1 at the top level
};

inline constexpr int kPrnSectionCount = 9;
extern const std::array<TPrnSectionItem, kPrnSectionCount> kPrnSectionItems;

class TPrnSections {
 public:
  TPrnSections();

  TPrnCheck State(int index) const { return states_.at(static_cast<std::size_t>(index)); }
  // The user sets an item's check box: a grayed item becomes checked; its subtree takes
  // its state; the ancestors then show whether their parts are all, none or some
  // checked, except for "DishComp" and "MenuCmt", which check "Menu" when they are
  // checked and leave the ancestors alone.
  void SetState(int index, TPrnCheck state);
  // Space on the focused item: checked becomes unchecked, anything else checked.
  void Toggle(int index);
  // Index of the first item with this key; -1 when there is none.
  int FindByKey(std::string_view key) const;
  bool IsChecked(std::string_view key) const;
  int CountChecked() const;

  // The dialog's count: reset when it is shown, set by OK.
  int Checked = 0;
  void Shown() { Checked = 0; }
  void Ok() { Checked = CountChecked(); }

 private:
  void Propagate(int index);
  std::array<TPrnCheck, kPrnSectionCount> states_{};
};

// ---------------------------------------------------------------------------------
// The printed parts

// The message naming templates that could not be read (one file a line).
AnsiString UnreadableTemplatesText(const std::vector<AnsiString>& files);

enum TRationPart : int { rpartHeader, rpartGen, rpartMenu, rpartDayProd, rpartTotProd, rpartTotals, rpartTotCmt,
                         rpartFooter, rpartCount };

struct TRationPartInfo {
  const char* Key;       // the section key; nullptr for the parts always printed
  const char* Template;  // file name in the reference directory
  const char* Component;
  const char* DataSet;   // nullptr for none
};
extern const std::array<TRationPartInfo, rpartCount> kRationParts;

// The parts printed for a choice of sections, in print order (header and footer always).
std::vector<TRationPart> RationPartsFor(const TPrnSections& sections);

// The exports a ration's preview offers besides the report file: RTF (scaled 1.3 by 1.0),
// CSV (fields separated by ";") and HTML (empty lines kept as empty rows). The report
// engine offers a filter while it exists, one per format, so the window makes these for
// the time its preview is shown.
struct TRationExports {
  TRationExports() {
    rpRTFExport.ScaleX = 1.3;
    rpRTFExport.ScaleY = 1.0;
    rpCSVExport.Delimiter = ';';
    rpHTMExport.KillEmptyLines = false;
  }
  TrpRTFExport rpRTFExport;
  TrpCSVExport rpCSVExport;
  TrpHTMExport rpHTMExport;
};

// What the program tells about itself in the reports.
struct TRationPrintProgram {
  AnsiString Title, Version, Copyright;
};

class TRationPrint {
 public:
  TRationPrint(TRationDocument& doc, TRationViews& views);
  TRationPrint(const TRationPrint&) = delete;
  TRationPrint& operator=(const TRationPrint&) = delete;

  TRationPrintProgram Program;
  // The current date (a date without time); replaceable for tests.
  std::function<TDateTime()> Today;

  // Rebuilds what is out of date: the menu sums, both product lists and the
  // recommendations. Costs typed into the whole-trip list stay when it is current.
  void RefreshViews();
  // Empties the composite and lists the parts for the sections, each loaded from
  // refDir + its template; the flags come from the sections and the cursor is reset.
  // A missing template leaves its part empty; the names of the missing files are
  // answered. A template that is there but cannot be read (damaged, or of a newer
  // version) leaves its part empty too and is listed in Unreadable.
  std::vector<AnsiString> Assemble(const AnsiString& refDir, const TPrnSections& sections);
  // The same for one part alone (golden dumps, tests).
  std::vector<AnsiString> Assemble(const AnsiString& refDir, const std::vector<TRationPart>& parts, bool dishComp,
                                   bool menuCmt);
  // The templates the last Assemble could not read.
  std::vector<AnsiString> Unreadable;
  // Builds the composite report; false with rpCompRpt.ErrorText when it failed.
  bool Prepare();
  // Empties the composite's list and its pages.
  void Clear();

  TrpReport& Part(TRationPart part) { return *parts_[static_cast<std::size_t>(part)]; }
  TrpCompositeReport rpCompRpt;
  TrpUserDataset fdsGen, fdsMenu, fdsDayProds, fdsTotProds, fdsTotals, fdsTotCmt;

  // The values the reports ask for; an unknown name leaves the value unchanged.
  void CommonReportValue(const AnsiString& name, Variant& value) const;
  void PartValue(TRationPart part, const AnsiString& name, Variant& value) const;

  // The build's state, shared by the parts' datasets.
  int Cursor = 0;
  int Day = 0, Meal = 0, Dish = 0, Product = 0;
  bool DishComp = false, MenuCmt = false;

 private:
  void WireDatasets();
  void Load(TRationPart part, const AnsiString& refDir, std::vector<AnsiString>& missing);
  int MenuCount() const;
  int MenuLevel(int row) const;
  const TMtTreeItem* MenuItem(int row) const;
  AnsiString MenuColumn(int row, int column) const;
  void UpdateMenuNumbers();
  TStringList DescriptionLines() const;

  TRationDocument& doc_;
  TRationViews& views_;
  // The menu's rows are read in order while a report is built: the last row found, so
  // that the next is one step on instead of a walk from the start. Forgotten at each
  // first row of the menu, so the document may change between builds.
  mutable int menuRow_ = -1;
  mutable const TMtTreeItem* menuItem_ = nullptr;
  std::array<std::unique_ptr<TrpReport>, rpartCount> parts_;
};
