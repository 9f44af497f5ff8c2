// The report component as an application uses it: the dictionary records of older
// designers, loading and saving templates, and what it shows when a template is bad.
#include <gtest/gtest.h>

#include "../test_support/TempDir.h"
#include "BuildFixture.h"
#include "platform/core/AnsiText.h"
#include "report/RP_Class.h"
#include "report/RP_Export.h"
#include "report/RP_Utils.h"

using namespace rpbuildtest;

namespace {

struct Entry {
  const char* name;
  const char* value;
};
using Table = std::vector<Entry>;

void WriteTable(TStream& s, const Table& t) {
  s.WriteInt32(static_cast<std::int32_t>(t.size()));
  for (const Entry& e : t) {
    rpStreamWriteString(s, e.name);
    rpStreamWriteString(s, e.value);
  }
}

std::vector<std::string> Names(const TrpVariables& t) {
  std::vector<std::string> names;
  for (int i = 0; i < t.Count(); ++i) names.push_back(t.GetNameAt(i) + "=" + VarToStr(t.GetValueAt(i)));
  return names;
}

// Records the report's message boxes (text and caption, UTF-8) while it lives.
struct Boxes {
  std::vector<std::string> Shown;
  decltype(TrpFunctionServices::MessageBox) saved = rpFunctionServices().MessageBox;
  Boxes() {
    rpFunctionServices().MessageBox = [this](const AnsiString& text, const AnsiString& caption, int flags) {
      Shown.push_back(cp::Ansi1251ToUtf8(caption) + ": " + cp::Ansi1251ToUtf8(text) +
                      ((flags & MB_ICONERROR) ? " (error)" : ""));
      return IDOK;
    };
  }
  ~Boxes() { rpFunctionServices().MessageBox = saved; }
  Boxes(const Boxes&) = delete;
  Boxes& operator=(const Boxes&) = delete;
};

// A template of one report page with a title memo, and (the classes registered) a
// dialog page with a control of the add-in class "TrpDlgEdit".
std::string SavedTemplate(bool withControl) {
  ControlClasses classes;
  TrpReport report;
  TrpTemplateBuilder b(report.Pages);
  b.Page(9, rpPortrait, 20);
  b.Band(btReportTitle, 0, 20);
  b.Memo("Заголовок", 20, 0, 200, 18);
  if (withControl) {
    b.Page().PageType = ptDialog;
    b.Add(std::make_unique<TrpDlgEdit>("TrpDlgEdit")).Name = "Edit1";
  }
  TMemoryStream m;
  report.SaveToStream(m);
  return m.Bytes();
}

}  // namespace

TEST(RpComponent, DictionaryRecordsOfOlderDesignersTakeTheCurrentNames) {
  struct Case {
    const char* what;
    std::int16_t marker;
    Table variables;
    std::vector<std::string> names, aliases, sources;
  };
  const Table aliases{{"Rows.N", ""}, {"Gone", ""}, {"Kept", "Rows"}};
  const Table sources{{"Band1", ""}, {"Band2", "Rows"}};
  const Case cases[] = {
      {"layout -1, old names: flipped and cleaned",
       -1,
       {{"Totals", ""}, {" SUMMA", "1 + 2"}, {" TITLE", "'x'"}},
       {" Totals=", "SUMMA=1 + 2", "TITLE='x'"},
       {"Rows.N=", "Kept=Rows"},
       {"Band2=Rows"}},
      {"layout -1, current names: kept, cleaned",
       -1,
       {{" Totals", ""}, {"SUMMA", "1 + 2"}},
       {" Totals=", "SUMMA=1 + 2"},
       {"Rows.N=", "Kept=Rows"},
       {"Band2=Rows"}},
      {"layout -2 (written here): as it stands",
       -2,
       {{"SUMMA", "1 + 2"}, {" Totals", ""}},
       {"SUMMA=1 + 2", " Totals="},
       {"Rows.N=", "Gone=", "Kept=Rows"},
       {"Band1=", "Band2=Rows"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryStream m;
    m.WriteInt16(c.marker);
    WriteTable(m, c.variables);
    WriteTable(m, aliases);
    WriteTable(m, sources);
    m.SetPosition(0);
    TrpDictionaryRecord record;
    record.IsDataSetField = [](const AnsiString& name) { return name == "Rows.N"; };
    record.LoadFromStream(m);
    EXPECT_EQ(Names(record.Variables), c.names);
    EXPECT_EQ(Names(record.Aliases), c.aliases);
    EXPECT_EQ(Names(record.BandSources), c.sources);
  }
}

TEST(RpComponent, OldestDictionaryLayoutTakesTheCurrentNames) {
  // One entry giving the alias " SUMMA" the value "1 + 2" (kind 2, n 1: the text b),
  // then the names: the category "Totals" and the variable " SUMMA".
  TMemoryStream m;
  m.WriteInt32(1);
  m.WriteByte(2);
  m.WriteInt32(1);
  for (const char* s : {"", "1 + 2", "SUMMA"}) {
    m.WriteByte(static_cast<std::uint8_t>(std::string(s).size()));
    m.WriteString(s);
  }
  TStringList names;
  names.Add("Totals");
  names.Add(" SUMMA");
  rpStreamWriteLines(m, names);
  m.SetPosition(0);
  TrpDictionaryRecord record;
  record.LoadFromStream(m);
  EXPECT_EQ(Names(record.Variables), (std::vector<std::string>{" Totals=", "SUMMA=1 + 2"}));
  EXPECT_EQ(record.Aliases.Count(), 0);
}

TEST(RpComponent, LoadsAndSavesTemplatesAndSaysWhatCannotBeRead) {
  TempDir dir;
  const std::string good = SavedTemplate(false);
  std::string newer = good;
  newer[0] = 25;
  std::string damaged = good;
  damaged += std::string(1, '\x64');  // a record type above 10
  const std::string unregistered = SavedTemplate(true);
  const std::string bad = "Ошибка: Неверный RPF формат (error)";
  struct Case {
    const char* what;
    const std::string* bytes;  // none: the file is missing
    bool loaded;
    std::vector<std::string> boxes;
    int pages;  // after the load, over a report of 3 pages
  };
  const Case cases[] = {
      {"missing file", nullptr, false, {}, 3},
      {"good template", &good, true, {}, 1},
      {"newer version", &newer, true, {bad}, 3},
      {"damaged", &damaged, true, {bad}, 1},
      {"an object of an unregistered class",
       &unregistered,
       true,
       {"Ошибка: Opened report contains the following non-plugged components:\rTrpDlgEdit\rUse appropriate "
        "component from the component palette (error)"},
       2},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const AnsiString file = dir.Path() + "/t" + IntToStr(++n) + ".rpf";
    if (c.bytes) {
      TMemoryStream m(*c.bytes);
      m.SaveToFile(file);
    }
    TrpReport report;
    TrpTemplateBuilder b(report.Pages);
    for (int i = 0; i < 3; ++i) b.Page(9, rpPortrait, 20);
    Boxes boxes;
    EXPECT_EQ(report.LoadFromFile(file), c.loaded);
    EXPECT_EQ(boxes.Shown, c.boxes);
    EXPECT_EQ(report.Pages.GetCount(), c.pages);
    EXPECT_EQ(report.FileName, c.loaded ? file : AnsiString("Untitled"));
  }

  // The template goes out as it came in; Clear leaves no page and no dictionary.
  TrpReport report;
  TMemoryStream in(good);
  EXPECT_TRUE(report.LoadFromStream(in).Ok());
  report.Pages.Dictionary.Variables.SetValueByName("TITLE", "'x'");
  TMemoryStream out;
  report.SaveToStream(out);
  TrpReport back;
  out.SetPosition(0);
  back.LoadFromStream(out);
  EXPECT_EQ(back.Pages.GetPages(0)->Objects.size(), 2u);
  EXPECT_EQ(VarToStr(back.Pages.Dictionary.Variables.GetValueByName("TITLE")), "'x'");
  back.Clear();
  EXPECT_EQ(back.Pages.GetCount(), 0);
  EXPECT_EQ(back.Pages.Dictionary.Variables.Count(), 0);
}

TEST(RpComponent, ExportOfNoPagesDisconnectsThePreviewMeanwhile) {
  struct Watcher : TrpExportFilter {
    TrpReport* report = nullptr;
    std::vector<const TFreeNotifier*> seen;
    void BeginDocument() override { seen.push_back(report->Preview()); }
  };
  TempDir dir;
  for (int pages : {0, 1}) {
    SCOPED_TRACE(pages);
    TrpReport report;
    report.ShowProgress = false;
    for (int i = 0; i < pages; ++i) report.EMFPages.Add(TrpPage(9, 0, 0, -1, rpPortrait));
    TFreeNotifier preview;
    report.SetPreview(&preview);
    Watcher filter;
    filter.report = &report;
    EXPECT_TRUE(report.ExportTo(filter, dir.Path() + "/out.txt"));
    EXPECT_EQ(filter.seen, std::vector<const TFreeNotifier*>{pages ? &preview : nullptr});
    EXPECT_EQ(report.Preview(), &preview);
  }
}
