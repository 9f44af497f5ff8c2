// Build-pass test fixtures: reports built from templates made in code over user
// datasets of rows, dumped as text and compared with golden dumps in
// tests/data/report/build (TARNWICK_UPDATE_GOLDEN=1 writes the dumps instead).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/core/AnsiText.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"

namespace rpbuildtest {

using Row = std::map<std::string, Variant>;

// A user dataset over rows; its OnPrior is left unassigned, as the planner's are,
// unless it is allowed to step back.
class TRows {
 public:
  TRows(const char* name, std::vector<Row> rows) : rows_(std::move(rows)) {
    Set.Name = name;
    Set.OnFirst = [this](TObject*) { at_ = 0; };
    Set.OnNext = [this](TObject*) { ++at_; };
    // (an end already given, by a counted range, is kept)
    Set.OnCheckEOF = [this](TObject*, bool& eof) { eof = eof || at_ >= rows_.size(); };
  }
  void AllowStepBack() {
    Set.OnPrior = [this](TObject*) {
      if (at_ > 0) --at_;
    };
  }
  bool Answer(const AnsiString& name, Variant& value) const {
    if (at_ >= rows_.size()) return false;
    auto it = rows_[at_].find(name);
    if (it == rows_[at_].end()) return false;
    value = it->second;
    return true;
  }
  TrpUserDataset Set;

 private:
  std::vector<Row> rows_;
  std::size_t at_ = 0;
};

inline std::string Dump(TrpEMFPages& pages) { return rpPreparedText(pages); }

inline void ExpectGolden(const std::string& name, const std::string& dump) {
  const std::string path = std::string(TARNWICK_TEST_DATA_DIR) + "/report/build/" + name + ".txt";
  if (std::getenv("TARNWICK_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << dump;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "no golden dump " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(dump, expected.str()) << name;
}

inline std::vector<Row> Numbered(int n, const char* key = "N") {
  std::vector<Row> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({{key, Variant(i)}});
  return rows;
}

// A report whose names come from the datasets' current rows and a few values.
struct Fixture {
  TrpReport report;
  TrpTemplateBuilder b{report.Pages};
  std::vector<std::unique_ptr<TRows>> sets;
  std::map<std::string, Variant> values;

  Fixture() {
    report.OnGetValue = [this](const AnsiString& name, Variant& value) {
      auto it = values.find(name);
      if (it != values.end()) {
        value = it->second;
        return;
      }
      for (auto it2 = sets.rbegin(); it2 != sets.rend(); ++it2)
        if ((*it2)->Answer(name, value)) return;
    };
  }
  TRows& Rows(const char* name, std::vector<Row> rows) {
    sets.push_back(std::make_unique<TRows>(name, std::move(rows)));
    report.AddDataset(sets.back()->Set);
    return *sets.back();
  }
  // Memos hide zeros by default; aggregates are to be seen here.
  void ShowZeros() {
    for (const auto& v : report.Pages.GetPages(0)->Objects)
      if (dynamic_cast<TrpMemoView*>(v.get())) v->Flags &= static_cast<std::uint16_t>(~flHideZeros);
  }
  // A page that lists n numbered rows: "[N]" (Memo1) in a master data band over "Rows".
  void ListRows(int n) {
    Rows("Rows", Numbered(n));
    b.Page(9, rpPortrait, 20);
    b.Band(btMasterData, 0, 20).FormatStr = "Rows";
    b.Memo("[N]", 20, 0, 100, 18);
  }
  std::string Build() {
    EXPECT_TRUE(report.PrepareReport()) << cp::Ansi1251ToUtf8(report.ErrorText);
    return Dump(report.EMFPages);
  }
};


// Bands stacked 30 pixels apart on the last page, each with one memo.
struct BandSpec {
  int type;
  const char* text;
  const char* source = "";  // data source or group condition
  const char* name = "";
  const char* master = "";  // group headers: the data band they group
};
inline void StackBands(Fixture& f, std::initializer_list<BandSpec> bands) {
  int y = 0;
  for (const BandSpec& spec : bands) {
    TrpBandView& band = f.b.Band(spec.type, y, 20);
    band.FormatStr = spec.source;
    band.Master = spec.master;
    if (*spec.name) band.Name = spec.name;
    f.b.Memo(spec.text, 20, y, 200, 18);
    y += 30;
  }
}

// A two-pass report of 90 rows under a page header "Стр. [PAGE#] из [TOTALPAGES]";
// the row memo ("Строка [N]") is returned.
inline TrpMemoView& TwoPassRows(Fixture& f) {
  f.Rows("Rows", Numbered(90));
  f.b.Page(9, rpPortrait, 40);
  f.report.Pages.DoublePass = true;
  f.b.Band(btPageHeader, 0, 20);
  f.b.Memo("Стр. [PAGE#] из [TOTALPAGES]", 20, 0, 300, 18);
  f.b.Band(btMasterData, 30, 25).FormatStr = "Rows";
  return f.b.Memo("Строка [N]", 20, 30, 300, 18);
}

// Two days in a master band, each with a subreport (template page 2) of three items;
// the items' data band is returned.
inline TrpBandView& DaysWithItems(Fixture& f) {
  f.Rows("Days", Numbered(2, "DAY"));
  f.Rows("Items", Numbered(3, "ITEM"));
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 40).FormatStr = "Days";
  f.b.Memo("День [DAY]", 20, 0, 200, 18);
  f.b.SubReport(300, 0, 300, 40, 1);
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& items = f.b.Band(btMasterData, 0, 20);
  items.FormatStr = "Items";
  f.b.Memo("пункт [ITEM] дня [DAY]", 0, 0, 250, 18);
  return items;
}

// Controls of dialog pages come from add-in classes registered by name.
template <class Base>
class TrpDlgControl : public Base {
 public:
  explicit TrpDlgControl(AnsiString className) : className_(std::move(className)) {}
  AnsiString ClassName() const override { return className_; }

 private:
  AnsiString className_;
};
using TrpDlgEdit = TrpDlgControl<TrpControl>;
using TrpDlgQuery = TrpDlgControl<TrpNonVisualControl>;

struct ControlClasses {
  ControlClasses() {
    rpRegisterObjectClass("TrpDlgEdit", [] { return std::make_unique<TrpDlgEdit>("TrpDlgEdit"); });
    rpRegisterObjectClass("TrpDlgQuery", [] { return std::make_unique<TrpDlgQuery>("TrpDlgQuery"); });
  }
  ~ControlClasses() {
    rpUnregisterObjectClass("TrpDlgEdit");
    rpUnregisterObjectClass("TrpDlgQuery");
  }
  ControlClasses(const ControlClasses&) = delete;
  ControlClasses& operator=(const ControlClasses&) = delete;
};

// A report with a dialog page (one control) before a report page of three rows.
struct DialogFixture : ControlClasses, Fixture {
  explicit DialogFixture(const char* dialogScript, bool withControl = true, bool visible = true) {
    Rows("Rows", Numbered(3));
    TrpPage& dialog = b.Page();
    dialog.PageType = ptDialog;
    dialog.Caption = Ansi("Параметры");
    dialog.Visible = visible;
    dialog.Script.SetText(Ansi(dialogScript));
    if (withControl) b.Add(std::make_unique<TrpDlgEdit>("TrpDlgEdit")).Name = "Edit1";
    b.Add(std::make_unique<TrpDlgQuery>("TrpDlgQuery")).Name = "Query1";
    b.Page(9, rpPortrait, 20);
    b.Band(btMasterData, 0, 20).FormatStr = "Rows";
    b.Memo("[Title] [N]", 20, 0, 200, 18);
  }
};

}  // namespace rpbuildtest
