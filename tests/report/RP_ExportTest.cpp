#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "../test_support/FileBytes.h"
#include "../test_support/TempDir.h"
#include "platform/core/AnsiText.h"
#include "report/RP_BandView.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/RP_Export.h"
#include "report/RP_Memo.h"
#include "report/RP_Prntr.h"
#include "report/RP_Utils.h"

namespace {

class Export : public ::testing::Test {
 protected:
  void SetUp() override {
    rpResetState();
    rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
  }
  void TearDown() override { rpResetState(); }
};

struct Piece {
  int x, y;
  const char* text;  // UTF-8
  int size = 10;
  int style = 0;  // stored bits: 1 italic, 2 bold, 4 underline
  TColor color = clBlack;
  int frame = 0;
  TRect rect{};
};

// Feeds pieces to a filter as one page (or several, split by a y of -1000) and returns the output.
std::string Feed(TrpExportFilter& f, const std::vector<Piece>& pieces) {
  TMemoryStream out;
  f.Stream = &out;
  f.BeginDocument();
  f.BeginPage();
  TrpMemoView memo;
  for (const Piece& p : pieces) {
    if (p.y == -1000) {
      f.EndPage();
      f.BeginPage();
      continue;
    }
    memo.Font.Size = p.size;
    memo.Font.Style = rpFontStyleFromBits(static_cast<std::uint8_t>(p.style));  // style: stored bits
    memo.Font.Color = p.color;
    f.AddText(p.rect, p.x, p.y, Ansi(p.text), p.frame, memo);
  }
  f.EndPage();
  f.EndDocument();
  f.Stream = nullptr;
  return out.Bytes();
}

std::string Oracle(const std::string& mode, const AnsiString& file, const std::string& extra = "") {
  const std::string script = std::string(TARNWICK_TEST_DATA_DIR) + "/../report/export_oracle.py";
  const std::string cmd = "python3 '" + script + "' " + mode + " '" + file + "' " + extra;
  std::FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return "popen failed";
  std::string s;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) s.append(buf, n);
  const int rc = ::pclose(p);
  return rc == 0 ? s : "oracle failed: " + s;
}

}  // namespace

TEST_F(Export, TextGridColumnsFramesAndEmptyLines) {
  struct Case {
    const char* name;
    bool frames, pseudo, kill, breaks;
    std::vector<Piece> pieces;
    std::string expected;
  };
  const TRect box{0, 0, 19, 14};
  const std::vector<Case> cases = {
      {"columns", false, false, true, false, {{0, 0, "a"}, {65, 0, "b"}}, "a         b\r\n"},
      {"kill empty", false, false, true, true, {{0, 0, "x"}, {0, 70, "y"}}, "x\r\ny\r\n\f\r\n"},
      {"keep empty", false, false, false, false, {{0, 0, "x"}, {0, 28, "y"}}, "x\r\n\r\ny\r\n"},
      {"framed", true, false, true, false, {{7, 0, "ab", 10, 0, clBlack, 15, box}}, "+--+\r\n|ab|\r\n+--+\r\n"},
      {"two boxes share a junction",
       true,
       false,
       true,
       false,
       {{7, 0, "a", 10, 0, clBlack, 15, TRect{0, 0, 13, 14}}, {20, 0, "b", 10, 0, clBlack, 15, TRect{13, 0, 26, 14}}},
       "+-+-+\r\n|a|b|\r\n+-+-+\r\n"},
      {"pseudographic", true, true, true, false, {{7, 0, "ab", 10, 0, clBlack, 15, box}},
       "\xDA\xC4\xC4\xBF\r\n\xB3"
       "ab\xB3\r\n\xC0\xC4\xC4\xD9\r\n"},
      {"beyond line 200 and above the page", false, false, true, false, {{0, 14 * 250, "far"}, {0, -50, "gone"}},
       "far\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrpTextExport f;
    f.ExportFrames = c.frames;
    f.UsePseudographic = c.pseudo;
    f.KillEmptyLines = c.kill;
    f.PageBreaks = c.breaks;
    EXPECT_EQ(Feed(f, c.pieces), c.expected);
  }
}

TEST_F(Export, ScaleTextsThatAreNotPositiveNumbersGiveOne) {
  EXPECT_EQ(rpExportScale("1,5"), 1.5);
  EXPECT_EQ(rpExportScale("1.5"), 1.5);
  EXPECT_EQ(rpExportScale("abc"), 1.0);
  EXPECT_EQ(rpExportScale("0"), 1.0);
  EXPECT_EQ(rpExportScale("-2"), 1.0);
  TrpTextExport f;
  f.ScaleX = 0;
  f.ScaleY = -1;
  f.PageBreaks = false;
  EXPECT_EQ(Feed(f, {{13, 14, "a"}}), "  a\r\n");
}

TEST_F(Export, HtmlCells) {
  TrpTextItem bold;
  bold.Text = "x";
  bold.FontSize = 14;
  bold.FontStyle = 2;
  bold.FontColor = clRed;
  EXPECT_EQ(TrpHTMExport::CellText(bold), "<td><Font Color=\"#FF0000\" Size=4><b>x</td>");
  TrpTextItem plain;
  plain.Text = "x";
  EXPECT_EQ(TrpHTMExport::CellText(plain), "<td>x</td>");
  plain.Text = "a<b & c";
  EXPECT_EQ(TrpHTMExport::CellText(plain), "<td>a&lt;b &amp; c</td>");
}

TEST_F(Export, CsvFieldsAndQuoting) {
  TrpCSVExport f;
  EXPECT_EQ(Feed(f, {{0, 0, "a"}, {64, 0, "b"}, {192, 0, "c"}}), "a;b;;c\r\n");
  EXPECT_EQ(Feed(f, {{0, 0, "a;b"}, {64, 0, "say \"hi\""}}), "\"a;b\";\"say \"\"hi\"\"\"\r\n");
  // Two items in one column stay two fields.
  EXPECT_EQ(Feed(f, {{0, 0, "a"}, {10, 0, "b"}, {70, 0, "c"}}), "a;b;c\r\n");
  EXPECT_EQ(Feed(f, {{64, 0, "b"}}), ";b\r\n");
}

TEST_F(Export, RtfParagraphsCodesAndTables) {
  TrpRTFExport f;
  const std::string doc = Feed(f, {{0, 0, "a", 10, 2}, {100, 0, "b"}, {0, -1000, ""}, {0, 0, "c", 10, 4}});
  EXPECT_EQ(doc.rfind("{\\rtf1\\ansi\\ansicpg1251\r\n\\margl600\\margr600\\margt600\\margb600\r\n", 0), 0u);
  EXPECT_NE(doc.find("{\\fonttbl{\\f0\\fcharset204 Arial;}}\r\n{\\colortbl;\\red0\\green0\\blue0;}\r\n"), std::string::npos);
  // Tab stops 0 and 2000 twips; bold goes off for the second item.
  EXPECT_NE(doc.find("\\pard\\tx0\\tx2000{\\tab\\f0\\fs20\\b\\cf1 a\\tab\\b0 b\\par}\r\n"), std::string::npos);
  // One page break, before the second page; underline is \ul, never \u.
  EXPECT_EQ(doc.find("\\page"), doc.rfind("\\page"));
  EXPECT_LT(doc.find("\\b0 b"), doc.find("\\page"));
  EXPECT_NE(doc.find("\\ul\\cf1 c"), std::string::npos);
  EXPECT_EQ(TrpRTFExport::Escape(Ansi("a{b}c\\d Я")), "a\\{b\\}c\\\\d \\'df");

  TrpRTFExport t;
  t.ConvertToTable = true;
  const std::string table = Feed(t, {{0, 0, "a", 10, 0, clBlack, 0, TRect{0, 0, 60, 14}},
                                    {65, 0, "b", 10, 0, clBlack, 0, TRect{65, 0, 130, 14}}});
  EXPECT_NE(table.find("\\trowd \\trgaph108\\cellx1300\\cellx2600 \\trleft0 \\pard \\intbl {\\f0\\fs20\\cf1 a}\\cell "
                       "{\\f0\\fs20\\cf1 b}\\cell \\pard \\intbl \\row\r\n\\pard\r\n"),
            std::string::npos);
}

namespace {

// Records the calls of an export.
class Recorder : public TrpExportFilter {
 public:
  std::vector<std::string> Log;
  int Result = 1;
  int ShowOptionsDialog() override {
    Log.push_back("dialog");
    return Result;
  }
  void BeginDocument() override { Log.push_back("begin-doc"); }
  void EndDocument() override { Log.push_back("end-doc"); }
  void BeginPage() override { Log.push_back("begin-page"); }
  void EndPage() override { Log.push_back("end-page"); }
  void AddObject(int, int, TrpView& v) override { Log.push_back("object " + v.Name); }
  void AddText(const TRect&, int, int, const AnsiString& t, int frame, TrpView&) override {
    Log.push_back("text " + cp::Ansi1251ToUtf8(t) + " " + std::to_string(frame));
  }
};

void AddMemoPage(TrpEMFPages& pages, const std::vector<std::pair<TPoint, std::string>>& memos) {
  pages.Add(TrpPage(9, 0, 0, -1, rpPortrait));
  TStream& s = *pages.PageStream(pages.GetCount() - 1);
  int n = 0;
  for (const auto& [at, text] : memos) {
    TrpMemoView m;
    m.Name = "Memo" + std::to_string(++n);
    m.SetBounds(at.X, at.Y, 150, 16);
    m.FrameTyp = rpftAll;
    m.PrintText.Add(Ansi(text) + rpLineEndMarker);
    m.WritePreparedEntry(s);
  }
}

}  // namespace

TEST_F(Export, CallOrderOverTwoPagesAndStops) {
  TempDir dir;
  TrpEMFPages pages;
  AddMemoPage(pages, {{{10, 10}, "один"}});
  AddMemoPage(pages, {{{10, 10}, "два"}});
  Recorder r;
  const AnsiString name = dir.Path() + "/out.txt";
  ASSERT_TRUE(rpExportPages(pages, r, name));
  const std::vector<std::string> expected = {"dialog",     "begin-doc",    "begin-page", "object Memo1", "text один 15",
                                             "end-page",   "begin-page",   "object Memo1", "text два 15",  "end-page",
                                             "end-doc"};
  EXPECT_EQ(r.Log, expected);
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(ReadFileBytes(name), "");
  EXPECT_EQ(rpState().Hooks->ReportName(), TrpEngineHooks().ReportName());

  // The options dialog cancelled, or the before-export event saying no: no file.
  const AnsiString other = dir.Path() + "/other.txt";
  r.Result = 2;
  EXPECT_FALSE(rpExportPages(pages, r, other));
  r.Result = 1;
  r.OnBeforeExport = [](AnsiString&, bool& go) { go = false; };
  EXPECT_FALSE(rpExportPages(pages, r, other));
  EXPECT_FALSE(FileExists(other));
  // The event may rename the file; no pages still give begin and end.
  r.OnBeforeExport = [&](AnsiString& n, bool&) { n = other; };
  TrpEMFPages none;
  r.Log.clear();
  EXPECT_TRUE(rpExportPages(none, r, name));
  EXPECT_EQ(r.Log, (std::vector<std::string>{"dialog", "begin-doc", "end-doc"}));
  EXPECT_TRUE(FileExists(other));
  // A file that cannot be written raises and leaves the engine as it was.
  r.OnBeforeExport = nullptr;
  EXPECT_ANY_THROW(rpExportPages(pages, r, dir.Path() + "/missing/dir/x.txt"));
  EXPECT_EQ(r.Stream, nullptr);
  EXPECT_EQ(rpState().TotalPages, 0);
}

TEST_F(Export, RegistryOffersTheThreeFormatsOnceAndForgetsDestroyedFilters) {
  rpExportFilters().clear();
  {
    TrpTextExport text;  // the plain text grid registers itself
    TrpHTMExport html;
    TrpHTMExport html2;
    TrpCSVExport csv;
    TrpRTFExport rtf;
    ASSERT_EQ(rpExportFilters().size(), 4u);
    EXPECT_EQ(rpExportFilters()[1].Description, Ansi("Файл HTML (*.htm)"));
    EXPECT_EQ(rpExportFilters()[1].Extension, "*.htm");
    EXPECT_EQ(rpExportFilters()[2].Description, Ansi("Файл CSV (*.csv)"));
    EXPECT_EQ(rpExportFilters()[3].Description, Ansi("Файл Rich Text (*.rtf)"));
    EXPECT_EQ(rpExportFilters()[0].Filter, &text);
    EXPECT_EQ(rpExportFilters()[1].Filter, &html);
    EXPECT_EQ(rpExportFilters()[2].Filter, &csv);
    {
      TrpCSVExport second;  // a second object of a registered class is not listed, nor does it unlist
    }
    ASSERT_EQ(rpExportFilters().size(), 4u);
    EXPECT_EQ(rpExportFilters()[2].Filter, &csv);
  }
  EXPECT_TRUE(rpExportFilters().empty());
}

TEST_F(Export, HtmlAndCsvReadBackByPythonReaders) {
  TempDir dir;
  TrpEMFPages pages;
  AddMemoPage(pages, {{{0, 0}, "Привет мир"}, {{200, 0}, "a<b & c"}});
  AddMemoPage(pages, {{{0, 0}, "поле;с \"кавычками\""}, {{200, 0}, "ёлка"}});
  // A picture on the first page.
  {
    TMemoryStream& s = *static_cast<TMemoryStream*>(pages.PageStream(0));
    TrpPictureView pic;
    pic.Name = "Picture1";
    pic.SetBounds(0, 40, 30, 20);
    TBitmap bmp(3, 2, clRed);
    pic.Picture.Assign(rpikBitmap, rpEncodeBmp(bmp));
    pic.WritePreparedEntry(s);
  }
  TrpHTMExport html;
  html.ExportPictures = true;
  const AnsiString h = dir.Path() + "/r.htm";
  ASSERT_TRUE(rpExportPages(pages, html, h));
  EXPECT_EQ(Oracle("html", h),
            "Привет мир | a<b & c\n[img htm1.bmp 30x20 exists]\nполе;с \"кавычками\" | ёлка\n");

  TrpCSVExport csv;
  const AnsiString c = dir.Path() + "/r.csv";
  ASSERT_TRUE(rpExportPages(pages, csv, c));
  // Memos at x 0 and 200 (plus their gaps) fall into columns 0 and 3.
  EXPECT_EQ(Oracle("csv", c), "4: Привет мир |  |  | a<b & c\n4: поле;с \"кавычками\" |  |  | ёлка\n");
  csv.ConvertToOEM = true;
  ASSERT_TRUE(rpExportPages(pages, csv, c));
  EXPECT_EQ(Oracle("csv", c, "cp866"), "4: Привет мир |  |  | a<b & c\n4: поле;с \"кавычками\" |  |  | ёлка\n");

  // The RTF of the same pages; scripts/verify-exports.sh reads it with an RTF reader.
  TrpRTFExport rtf;
  const char* keep = std::getenv("TARNWICK_EXPORT_DIR");
  const AnsiString r = (keep ? AnsiString(keep) : dir.Path()) + "/r.rtf";
  ASSERT_TRUE(rpExportPages(pages, rtf, r));
  const std::string doc = ReadFileBytes(r);
  EXPECT_NE(doc.find("\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\'ec\\'e8\\'f0"), std::string::npos);
  if (keep) {
    html.ExportPictures = false;
    ASSERT_TRUE(rpExportPages(pages, html, AnsiString(keep) + "/r.htm"));
    ASSERT_TRUE(rpExportPages(pages, csv, AnsiString(keep) + "/r.csv"));
  }
}

namespace {

// A built report of two pages: a title with two memos on each.
struct TwoPageReport {
  TrpReport report;
  TwoPageReport() {
    TrpTemplateBuilder b(report.Pages);
    const char* texts[2][2] = {{"Раскладка похода", "Гречка < 500 & сыр"}, {"Итого; за день", "ёлка \\ {x}"}};
    for (auto& page : texts) {
      b.Page(9, rpPortrait, 40);
      b.Band(btReportTitle, 0, 40);
      b.Memo(page[0], 20, 0, 250, 18).Font.Style = fsBold;
      b.Memo(page[1], 300, 0, 250, 18);
    }
  }
};

// Balanced braces outside escapes, and the group count at depth 1.
bool RtfBalanced(const std::string& doc) {
  int depth = 0;
  for (std::size_t i = 0; i < doc.size(); ++i) {
    if (doc[i] == '\\') {
      ++i;
      continue;
    }
    if (doc[i] == '{') ++depth;
    if (doc[i] == '}' && --depth < 0) return false;
  }
  return depth == 0;
}

}  // namespace

TEST_F(Export, ExportToWritesTheBuiltReportThroughEachFilter) {
  TempDir temp;
  // scripts/verify-exports.sh keeps the files and reads the RTF with an RTF reader.
  const char* keep = std::getenv("TARNWICK_EXPORT_DIR");
  const AnsiString out = keep ? AnsiString(keep) : temp.Path();
  TwoPageReport r;
  ASSERT_TRUE(r.report.PrepareReport()) << cp::Ansi1251ToUtf8(r.report.ErrorText);
  ASSERT_EQ(r.report.EMFPages.GetCount(), 2);

  TrpHTMExport html;
  const AnsiString h = out + "/rep.htm";
  ASSERT_TRUE(r.report.ExportTo(html, h));
  EXPECT_EQ(Oracle("html", h), "Раскладка похода | Гречка < 500 & сыр\nИтого; за день | ёлка \\ {x}\n");

  TrpCSVExport csv;
  const AnsiString c = out + "/rep.csv";
  ASSERT_TRUE(r.report.ExportTo(csv, c));
  // Memos at x 20 and 300 fall into columns 0 and 5; the delimiter inside a text stays in its field.
  EXPECT_EQ(Oracle("csv", c),
            "6: Раскладка похода |  |  |  |  | Гречка < 500 & сыр\n6: Итого; за день |  |  |  |  | ёлка \\ {x}\n");

  TrpRTFExport rtf;
  const AnsiString f = out + "/rep.rtf";
  ASSERT_TRUE(r.report.ExportTo(rtf, f));
  const std::string doc = ReadFileBytes(f);
  EXPECT_EQ(doc.rfind("{\\rtf1\\ansi\\ansicpg1251", 0), 0u);
  EXPECT_TRUE(RtfBalanced(doc));
  EXPECT_NE(doc.find("\\fcharset204"), std::string::npos);
  EXPECT_EQ(doc.find("\\page"), doc.rfind("\\page"));  // one break: two pages
  // The bold titles are bold (not italic) in RTF and HTML.
  EXPECT_NE(doc.find("{\\tab\\f0\\fs20\\b\\cf1 "), std::string::npos) << doc;
  EXPECT_EQ(doc.find("\\i"), std::string::npos);
  const std::string page = ReadFileBytes(h);
  EXPECT_NE(page.find("<td><b>"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_LT(doc.find(TrpRTFExport::Escape(Ansi("Раскладка похода"))), doc.find("\\page"));
  EXPECT_GT(doc.find(TrpRTFExport::Escape(Ansi("ёлка \\ {x}"))), doc.find("\\page"));
  EXPECT_NE(doc.find("\\'b8\\'eb\\'ea\\'e0 \\\\ \\{x\\}"), std::string::npos);
  // The report's pages stay where they were, and the engine is as before.
  EXPECT_EQ(r.report.EMFPages.GetCount(), 2);
  EXPECT_EQ(rpState().Hooks->ReportName(), TrpEngineHooks().ReportName());
}

TEST_F(Export, ExportToRunsUnderTheProgressHostWhichMayStopIt) {
  TempDir dir;
  TwoPageReport r;
  ASSERT_TRUE(r.report.PrepareReport());
  std::vector<std::string> log;
  int stopAt = -1;
  rpSetExportProgressHost([&](const TrpExportWork& work) {
    log.push_back("host");
    const bool done = work([&](int page, int total) {
      log.push_back(std::to_string(page) + "/" + std::to_string(total));
      return page != stopAt;
    });
    log.push_back(done ? "done" : "stopped");
    return done;
  });
  TrpCSVExport csv;
  const AnsiString c = dir.Path() + "/rep.csv";
  EXPECT_TRUE(r.report.ExportTo(csv, c));
  EXPECT_EQ(log, (std::vector<std::string>{"host", "0/2", "1/2", "2/2", "done"}));
  EXPECT_TRUE(FileExists(c));
  // Stopped after the first page: no file, and an older one stays as it was.
  log.clear();
  stopAt = 1;
  const AnsiString other = dir.Path() + "/other.csv";
  EXPECT_FALSE(r.report.ExportTo(csv, other));
  EXPECT_EQ(log, (std::vector<std::string>{"host", "0/2", "1/2", "stopped"}));
  EXPECT_FALSE(FileExists(other));
  const std::string before = ReadFileBytes(c);
  EXPECT_FALSE(r.report.ExportTo(csv, c));
  EXPECT_EQ(ReadFileBytes(c), before);
  rpSetExportProgressHost(nullptr);
  EXPECT_TRUE(r.report.ExportTo(csv, other));
}
