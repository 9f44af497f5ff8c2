// Printing a ration: the section choice and its check rules, the datasets' cursors and
// numbering, the parts chosen, and each shipped template built over the 14-day example
// (fake metrics) compared with the golden dumps in tests/data/planner/print.
// TARNWICK_UPDATE_GOLDEN=1 writes the dumps instead.
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <regex>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "examples/ExampleBuild.h"
#include "planner/ration/RationPrint.h"
#include "platform/core/AnsiText.h"
#include "refdata/RefSource.h"
#include "report/RP_State.h"
#include "report/RP_Template.h"
#include "rptemplates/RationTemplates.h"
#include "test_support/FileBytes.h"
#include "test_support/OfficeReader.h"
#include "test_support/TempDir.h"
#include "platform/core/Files.h"
#include "report/RP_BandView.h"
#include "report/RP_Export.h"

namespace {

// --- the section choice

std::string States(const TPrnSections& s) {
  std::string out;
  for (int i = 0; i < kPrnSectionCount; ++i)
    out += "UCG"[static_cast<int>(s.State(i))];
  return out;
}

struct TCheckStep {
  const char* key;
  char action;  // 'c' check, 'u' uncheck, 'g' set grayed, 's' space
};

struct TCheckCase {
  const char* name;
  std::vector<TCheckStep> steps;
  const char* expected;  // Gen Eat Menu DishComp MenuCmt DayProd TotProd Tot TotCmt
};

const TCheckCase kCheckCases[] = {
    {"eat checks all below it", {{"Eat", 'c'}}, "UCCCCCCCC"},
    {"one unchecked grays eat", {{"Eat", 'c'}, {"Tot", 'u'}}, "UGCCCCCUC"},
    {"all unchecked again unchecks eat", {{"Eat", 'c'}, {"Eat", 'u'}}, "UUUUUUUUU"},
    {"last part checked checks eat", {{"Eat", 'c'}, {"Tot", 'u'}, {"Tot", 'c'}}, "UCCCCCCCC"},
    {"dish components check the menu only", {{"DishComp", 'c'}}, "UUCCUUUUU"},
    {"comments check the menu only", {{"MenuCmt", 'c'}}, "UUCUCUUUU"},
    {"unchecking the menu clears its parts", {{"DishComp", 'c'}, {"MenuCmt", 'c'}, {"Menu", 'u'}}, "UUUUUUUUU"},
    {"menu alone grays eat", {{"Menu", 'c'}}, "UGCCCUUUU"},
    {"a grayed item becomes checked", {{"Tot", 'c'}, {"Eat", 'g'}}, "UCCCCCCCC"},
    {"space toggles", {{"Gen", 's'}, {"DayProd", 's'}, {"DayProd", 's'}}, "CUUUUUUUU"},
    {"space on a grayed item checks it", {{"Tot", 'c'}, {"Eat", 's'}}, "UCCCCCCCC"},
    {"unchecking dish components keeps the menu", {{"DishComp", 'c'}, {"DishComp", 'u'}}, "UUCUUUUUU"},
};

TEST(PrnSections, CheckRules) {
  for (const TCheckCase& c : kCheckCases) {
    TPrnSections s;
    for (const TCheckStep& step : c.steps) {
      const int i = s.FindByKey(step.key);
      ASSERT_GE(i, 0) << step.key;
      if (step.action == 's')
        s.Toggle(i);
      else
        s.SetState(i, step.action == 'c' ? TPrnCheck::Checked
                      : step.action == 'u' ? TPrnCheck::Unchecked
                                           : TPrnCheck::Grayed);
    }
    EXPECT_EQ(States(s), c.expected) << c.name;
  }
}

TEST(PrnSections, CountIsResetOnShowAndSetByOk) {
  TPrnSections s;
  s.SetState(s.FindByKey("Eat"), TPrnCheck::Checked);
  s.Shown();
  EXPECT_EQ(s.Checked, 0);
  s.Ok();
  EXPECT_EQ(s.Checked, 8);
  EXPECT_TRUE(s.IsChecked("TotCmt"));
  EXPECT_FALSE(s.IsChecked("Gen"));
  EXPECT_FALSE(s.IsChecked("Nothing"));
  EXPECT_EQ(s.FindByKey("Nothing"), -1);
}

TEST(PrnSections, CheckedKeysGiveTheTemplatesInPrintOrder) {
  TPrnSections s;
  s.SetState(s.FindByKey("TotCmt"), TPrnCheck::Checked);
  s.SetState(s.FindByKey("Gen"), TPrnCheck::Checked);
  s.SetState(s.FindByKey("DishComp"), TPrnCheck::Checked);
  std::string files;
  for (TRationPart p : RationPartsFor(s)) files += std::string(kRationParts[p].Template) + " ";
  EXPECT_EQ(files, "r-header.rpf rgen.rpf rmenu.rpf rtotcmt.rpf r-footer.rpf ");
  EXPECT_EQ(RationPartsFor(TPrnSections()).size(), 2u);
}

// --- a ration and its print glue

struct TPrintFixture {
  TRationDocument doc;
  TRationViews views{doc};
  TRationPrint print{doc, views};

  explicit TPrintFixture(const char* file) {
    const AnsiString dir = TARNWICK_DATA_DIR;
    examples::BuildExample(doc, refdata::ReadWholeFile(dir + "/examples/" + file), file, dir);
    doc.FileName = AnsiString("/home/user/Travels/") + file;
    doc.SetRecalcFlags();
    print.Program = {"Tarnwick", "1.2.3", "Copyright (C) Tarnwick"};
    print.Today = [] { return 46000.0; };  // 9 December 2025
    print.RefreshViews();
  }

  // Assembles the sections with these keys from the templates in dir and prepares the
  // report: true when every template was there and the report was prepared.
  bool PrintSections(const AnsiString& dir, std::initializer_list<const char*> keys) {
    TPrnSections s;
    for (const char* key : keys) s.SetState(s.FindByKey(key), TPrnCheck::Checked);
    return print.Assemble(dir, s).empty() && print.Prepare();
  }

  std::string Value(TRationPart part, const char* name) {
    Variant v;
    print.PartValue(part, name, v);
    return cp::Ansi1251ToUtf8(v.AsString());
  }

  // The rows of a dataset: the values of the names at each row.
  std::vector<std::string> Walk(TrpUserDataset& set, TRationPart part, std::initializer_list<const char*> names) {
    std::vector<std::string> rows;
    set.First();
    while (!set.Eof() && rows.size() < 10000) {
      std::string row;
      for (const char* n : names) row += Value(part, n) + "|";
      rows.push_back(row);
      set.Next();
    }
    return rows;
  }
};

TEST(RationPrint, GenStartsWithABlankLineThenTheDescription) {
  TPrintFixture f("mountain-14.txt");
  const auto rows = f.Walk(f.print.fdsGen, rpartGen, {"CMT"});
  TStringList lines;
  lines.SetText(f.doc.Header.Description);
  ASSERT_EQ(static_cast<int>(rows.size()), lines.Count() + 1);
  EXPECT_EQ(rows[0], " |");
  EXPECT_EQ(rows[1], cp::Ansi1251ToUtf8(lines[0]) + "|");
  EXPECT_EQ(f.Value(rpartGen, "PARTTITLE"), "mountain-14.txt");
}

TEST(RationPrint, MenuWithoutDishComponentsKeepsTheNumbersOfTheOtherRows) {
  TPrintFixture f("mountain-14.txt");
  f.print.DishComp = true;
  const auto all = f.Walk(f.print.fdsMenu, rpartMenu, {"ITEMLEVEL", "NO2", "NAME2"});
  f.print.DishComp = false;
  const auto some = f.Walk(f.print.fdsMenu, rpartMenu, {"ITEMLEVEL", "NO2", "NAME2"});
  std::vector<std::string> expected;
  int components = 0;
  for (const std::string& r : all) {
    if (r.rfind("3|", 0) == 0)
      ++components;
    else
      expected.push_back(r);
  }
  EXPECT_GT(components, 0);
  EXPECT_EQ(some, expected);
  ASSERT_GE(all.size(), 4u);
  EXPECT_EQ(all[0].substr(0, 5), "0|1.|");
  EXPECT_EQ(f.Value(rpartMenu, "PARTTITLE"), "Меню похода по дням");
  // Past the end a level answers "???" and the texts are empty, never out of range.
  EXPECT_EQ(f.Value(rpartMenu, "NO2"), "???");
}

TEST(RationPrint, MenuNumbersByLevelAndTheLastDayIsTheTripsLast) {
  TPrintFixture f("mountain-14.txt");
  f.print.DishComp = true;
  const auto rows = f.Walk(f.print.fdsMenu, rpartMenu, {"ITEMLEVEL", "NO2"});
  std::string lastDay;
  bool sawComponent = false;
  for (const std::string& r : rows) {
    if (r[0] == '0') lastDay = r;
    if (r[0] == '3') {
      sawComponent = true;
      EXPECT_EQ(r.substr(0, 4), "3|  ") << r;
    }
  }
  EXPECT_TRUE(sawComponent);
  EXPECT_EQ(lastDay, "0|14.|");
}

TEST(RationPrint, AverageRationNumbersItsProductsLikeMeals) {
  TPrintFixture f("ski-10.txt");
  ASSERT_EQ(f.doc.RationType(), rtAverage);
  const auto rows = f.Walk(f.print.fdsMenu, rpartMenu, {"ITEMLEVEL", "NO2"});
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0], "0|1.|");
  EXPECT_EQ(rows[1], "1|  1.1|");
  EXPECT_EQ(rows[2], "1|  1.2|");
}

TEST(RationPrint, CommentsOnlyWhenChosen) {
  TPrintFixture f("mountain-14.txt");
  TMtTreeItem* item = f.doc.Items()->GetItem(1);
  ASSERT_NE(item, nullptr);
  item->ColumnText().SetString(rcComment, Ansi("взять с запасом\r\nв гермомешке"));
  f.print.fdsMenu.First();
  f.print.fdsMenu.Next();
  f.print.MenuCmt = false;
  EXPECT_EQ(f.Value(rpartMenu, "CMT2"), "");
  EXPECT_EQ(f.Value(rpartMenu, "CMT2LINES"), "0");
  f.print.MenuCmt = true;
  EXPECT_EQ(f.Value(rpartMenu, "CMT2"), "взять с запасом\r\nв гермомешке");
  EXPECT_EQ(f.Value(rpartMenu, "CMT2LINES"), "2");
}

TEST(RationPrint, CommonValues) {
  TPrintFixture f("mountain-14.txt");
  EXPECT_EQ(f.Value(rpartFooter, "PROGTITLE"), "Tarnwick");
  EXPECT_EQ(f.Value(rpartFooter, "PROGVER"), "1.2.3");
  EXPECT_EQ(f.Value(rpartTotals, "MANS"), "6");
  EXPECT_EQ(f.Value(rpartTotals, "DAYS"), "14");
  EXPECT_EQ(f.Value(rpartHeader, "EMPTY"), " ");
  EXPECT_EQ(f.Value(rpartHeader, "PARTTITLE"), "");
  EXPECT_EQ(f.Value(rpartHeader, "TOURNAME"), "Горный; 3 к.с.");
  Variant v;
  f.print.PartValue(rpartHeader, "DATE", v);
  EXPECT_EQ(v.AsDate(), 46000.0);
  Variant unknown;
  f.print.PartValue(rpartMenu, "NOSUCHNAME", unknown);
  EXPECT_TRUE(unknown.IsEmpty());
}

TEST(RationPrint, TotalsRowsFollowTheGrid) {
  TPrintFixture f("mountain-14.txt");
  const auto rows = f.Walk(f.print.fdsTotals, rpartTotals, {"NO3", "NAME3", "CAL3"});
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[4], "5.|На группу за все дни |" + cp::Ansi1251ToUtf8(f.views.Totals.Cells[4][tcEnergy]) + "|");
}

TEST(RationPrint, RefreshKeepsTypedCostsOfACurrentList) {
  TPrintFixture f("mountain-14.txt");
  ASSERT_FALSE(f.views.TripList.empty());
  ASSERT_TRUE(f.views.SetCost(0, "120,5"));
  f.print.RefreshViews();
  EXPECT_EQ(f.Value(rpartTotProd, "SUM6"), "    120.50");
  EXPECT_EQ(f.Value(rpartTotProd, "PRICE6"), "    120.50");
}

// --- the templates

struct TTemplates {
  TempDir dir;
  TTemplates() { rptemplates::WriteTemplates(dir.Path()); }
};

std::string Golden(const std::string& name, const std::string& dump) {
  const std::string path = std::string(TARNWICK_TEST_DATA_DIR) + "/planner/print/" + name + ".txt";
  if (std::getenv("TARNWICK_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << dump;
    return dump;
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "no golden dump " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  return expected.str();
}

TEST(RationTemplates, StorePrintToDefaultAndLoadCleanly) {
  TTemplates t;
  for (std::string_view name : rptemplates::kNames) {
    TrpPages pages;
    const TrpTemplateLoad r = rpLoadTemplateFile(pages, t.dir.Path() + "/" + AnsiString(name) + ".rpf");
    EXPECT_TRUE(r.Ok()) << name;
    EXPECT_TRUE(pages.PrintToDefault) << name;
    EXPECT_EQ(pages.GetCount(), 1) << name;
  }
}

TEST(RationTemplates, EachPartOverTheFourteenDayExample) {
  TTemplates t;
  TPrintFixture f("mountain-14.txt");
  for (int p = 0; p < rpartCount; ++p) {
    rpResetState();
    const auto part = static_cast<TRationPart>(p);
    const auto missing = f.print.Assemble(t.dir.Path(), {part}, p == rpartMenu, p == rpartMenu);
    EXPECT_TRUE(missing.empty());
    ASSERT_TRUE(f.print.Prepare()) << cp::Ansi1251ToUtf8(f.print.rpCompRpt.ErrorText);
    const std::string dump = rpPreparedText(f.print.rpCompRpt.EMFPages);
    const std::string name = std::string(kRationParts[static_cast<std::size_t>(p)].Template);
    EXPECT_EQ(dump, Golden(name.substr(0, name.size() - 4), dump)) << name;
    f.print.Clear();
    EXPECT_EQ(f.print.rpCompRpt.EMFPages.GetCount(), 0);
  }
}

TEST(RationTemplates, WholeRationShowsItsDaysProductsAndTotals) {
  TTemplates t;
  rpResetState();
  TPrintFixture f("mountain-14.txt");
  ASSERT_TRUE(f.PrintSections(t.dir.Path(), {"Gen", "Eat"}));
  const std::string dump = rpPreparedText(f.print.rpCompRpt.EMFPages);
  for (const std::string& text : {std::string("День 14"), cp::Ansi1251ToUtf8(f.views.TripList.back().Text),
                                  cp::Ansi1251ToUtf8(f.views.Totals.Cells[4][tcEnergy]), std::string("Рекомендации")})
    EXPECT_NE(dump.find(text), std::string::npos) << text;
}

// The bands of every shipped template: its part's data band walks the dataset the part
// gives it, and a child band prints only as the child of another band, so each one is
// named by one.
TEST(RationTemplates, DataBandsWalkTheirPartsDatasetAndEveryChildBandIsLinked) {
  TTemplates t;
  struct Case {
    const char* name;
    const char* dataSet;  // nullptr: no data band
    int children;
  };
  const Case cases[] = {{"r-header", nullptr, 0},     {"rgen", "fdsGen", 0},         {"rmenu", "fdsMenu", 1},
                        {"rdayprod", "fdsDayProds", 0}, {"rtotprod", "fdsTotProds", 0}, {"rtotals", "fdsTotals", 0},
                        {"rtotcmt", "fdsTotCmt", 0},   {"r-footer", nullptr, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrpPages pages;
    ASSERT_TRUE(rpLoadTemplateFile(pages, t.dir.Path() + "/" + c.name + ".rpf").Ok());
    std::vector<TrpBandView*> bands;
    for (const auto& view : pages.GetPages(0)->Objects)
      if (auto* band = dynamic_cast<TrpBandView*>(view.get())) bands.push_back(band);
    std::vector<std::string> dataSets;
    int children = 0;
    for (TrpBandView* band : bands) {
      if (band->BandType() == btMasterData || band->BandType() == btDetailData || band->BandType() == btSubDetailData)
        dataSets.push_back(band->FormatStr);
      if (band->BandType() != btChild) continue;
      ++children;
      const int parents = static_cast<int>(std::count_if(bands.begin(), bands.end(), [&](TrpBandView* b) {
        return b != band && AnsiSameText(b->ChildBand, band->Name);
      }));
      EXPECT_EQ(parents, 1) << band->Name;
    }
    EXPECT_EQ(dataSets, c.dataSet ? std::vector<std::string>{c.dataSet} : std::vector<std::string>{});
    EXPECT_EQ(children, c.children);
  }
}

// A day's comment is printed below its row when "Комментарии" is ticked, and goes into
// the exports with the rest of the page.
TEST(RationTemplates, ADaysCommentIsPrintedAndExportedWhenChosen) {
  TTemplates t;
  struct Case {
    const char* what;
    bool comments;
  };
  const Case cases[] = {{"comments ticked", true}, {"comments not ticked", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rpResetState();
    TPrintFixture f("mountain-14.txt");
    TMtTreeItem* day = f.doc.Items()->GetItem(0);
    ASSERT_EQ(day->GetLevel(), 0);
    day->ColumnText().SetString(rcComment, Ansi("Ночевка у озера"));
    TPrnSections s;
    s.SetState(s.FindByKey("Menu"), TPrnCheck::Checked);
    if (!c.comments) s.SetState(s.FindByKey("MenuCmt"), TPrnCheck::Unchecked);
    ASSERT_TRUE(f.print.Assemble(t.dir.Path(), s).empty());
    ASSERT_TRUE(f.print.Prepare()) << cp::Ansi1251ToUtf8(f.print.rpCompRpt.ErrorText);
    // Printed with room of its own: a memo of some height below the day's row.
    const std::string dump = rpPreparedText(f.print.rpCompRpt.EMFPages);
    EXPECT_EQ(std::regex_search(dump, std::regex(" [0-9]+x[1-9][0-9]* Ночевка у озера")), c.comments);
    TRationExports exports;
    TempDir dir;
    const AnsiString csv = dir.Path() + "/ration.csv";
    ASSERT_TRUE(rpExportReport(f.print.rpCompRpt, exports.rpCSVExport, csv));
    EXPECT_EQ(ReadFileBytes(csv).find(Ansi("Ночевка у озера")) != std::string::npos, c.comments);
  }
}

TEST(RationTemplates, AMissingTemplateLeavesItsPartEmpty) {
  TempDir empty;
  rpResetState();
  TPrintFixture f("mountain-14.txt");
  TPrnSections s;
  s.SetState(s.FindByKey("Tot"), TPrnCheck::Checked);
  const auto missing = f.print.Assemble(empty.Path(), s);
  EXPECT_EQ(missing.size(), 3u);
  EXPECT_TRUE(f.print.Prepare());
  EXPECT_EQ(f.print.rpCompRpt.Reports.size(), 3u);
}

TEST(RationTemplates, DamagedTemplatesAreNamedMissingOnesAreNot) {
  TTemplates t;
  rpResetState();
  TPrintFixture f("mountain-14.txt");
  TPrnSections s;
  s.SetState(s.FindByKey("Tot"), TPrnCheck::Checked);
  s.SetState(s.FindByKey("Gen"), TPrnCheck::Checked);
  // "rtotals.rpf" damaged (its body cut in half), "rgen.rpf" gone.
  const AnsiString totals = t.dir.Path() + "/rtotals.rpf";
  const std::string bytes = ReadFileBytes(totals);
  WriteFileBytes(totals, bytes.substr(0, bytes.size() / 2));
  DeleteFile(t.dir.Path() + "/rgen.rpf");
  const auto missing = f.print.Assemble(t.dir.Path(), s);
  EXPECT_EQ(missing, std::vector<AnsiString>{t.dir.Path() + "/rgen.rpf"});
  EXPECT_EQ(f.print.Unreadable, std::vector<AnsiString>{totals});
  EXPECT_EQ(f.print.Part(rpartTotals).Pages.GetCount(), 0);
  EXPECT_EQ(cp::Ansi1251ToUtf8(UnreadableTemplatesText(f.print.Unreadable)),
            "Не удалось прочитать шаблоны отчета:\r" + cp::Ansi1251ToUtf8(totals) +
                "\rЭти разделы не будут напечатаны.");
  EXPECT_TRUE(f.print.Prepare());
  // A sound set again: nothing to tell.
  rptemplates::WriteTemplates(t.dir.Path());
  EXPECT_TRUE(f.print.Assemble(t.dir.Path(), s).empty());
  EXPECT_TRUE(f.print.Unreadable.empty());
}

// --- the exports, read as the user's programs read them

// How often each number occurs in a text ("12", "0.35", "09.12.2025").
std::map<std::string, int> Numbers(const std::string& text) {
  std::map<std::string, int> n;
  static const std::regex number("[0-9]+(?:[.,][0-9]+)*");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), number); it != std::sregex_iterator(); ++it)
    ++n[it->str()];
  return n;
}

// The whole 14-day ration (every section) exported as the planner's preview exports it:
// LibreOffice shows every number of the CSV export in the RTF export too, and the
// page numbers of all pages, none cut off at the right edge of the page, each on the
// document's page of the same number.
TEST(RationExport, RtfShowsEveryNumberOfTheCsvInLibreOffice) {
  TTemplates t;
  rpResetState();
  TPrintFixture f("mountain-14.txt");
  ASSERT_TRUE(f.PrintSections(t.dir.Path(), {"Gen", "Eat"}));
  const int pages = f.print.rpCompRpt.EMFPages.GetCount();
  ASSERT_GT(pages, 5);
  TRationExports exports;
  TempDir dir;
  const AnsiString csv = dir.Path() + "/ration.csv", rtf = dir.Path() + "/ration.rtf";
  ASSERT_TRUE(rpExportReport(f.print.rpCompRpt, exports.rpCSVExport, csv));
  ASSERT_TRUE(rpExportReport(f.print.rpCompRpt, exports.rpRTFExport, rtf));
  // TARNWICK_EXPORT_DIR keeps the three exports for a look with the user's programs.
  if (const char* keep = std::getenv("TARNWICK_EXPORT_DIR")) {
    for (TrpExportFilter* filter : std::initializer_list<TrpExportFilter*>{
             &exports.rpCSVExport, &exports.rpRTFExport, &exports.rpHTMExport})
      ASSERT_TRUE(rpExportReport(f.print.rpCompRpt, *filter,
                                 AnsiPath(keep) + "/mountain-14." +
                                     (filter == &exports.rpCSVExport   ? "csv"
                                      : filter == &exports.rpRTFExport ? "rtf"
                                                                       : "htm")));
  }
  const std::map<std::string, int> expected = Numbers(refdata::ReadWholeFile(csv));
  ASSERT_GT(expected.size(), 100u);

  if (!office::Available()) GTEST_SKIP() << "soffice (LibreOffice) is not installed: the RTF is not laid out";
  std::string log;
  const std::string pdf = office::ToPdf(dir.SysPath() + "/ration.rtf", dir.SysPath(), &log);
  ASSERT_FALSE(pdf.empty()) << log;
  const std::string text = office::PdfText(pdf);
  const std::map<std::string, int> shown = Numbers(text);
  int missing = 0;
  std::string report;
  for (const auto& [number, count] : expected) {
    const auto it = shown.find(number);
    const int seen = it == shown.end() ? 0 : it->second;
    if (seen >= count) continue;
    missing += count - seen;
    if (report.size() < 400) report += number + " (" + std::to_string(seen) + " of " + std::to_string(count) + ") ";
  }
  EXPECT_EQ(missing, 0) << "numbers of the CSV that LibreOffice does not show: " << report;
  // Each page of the report is one page of the document, with its own page number on it.
  EXPECT_EQ(office::PdfPages(pdf), pages);
  std::vector<std::string> pdfPages(1);
  for (char ch : text) {
    if (ch == '\f') pdfPages.emplace_back();
    else pdfPages.back() += ch;
  }
  for (int n = 1; n <= pages; ++n) {
    ASSERT_LT(static_cast<std::size_t>(n - 1), pdfPages.size());
    EXPECT_NE(pdfPages[static_cast<std::size_t>(n - 1)].find("Стр. " + std::to_string(n) + "\n"), std::string::npos)
        << "page " << n;
  }
}

}  // namespace
