#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "../test_support/FileBytes.h"
#include "../test_support/OfficeReader.h"
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
  int align = rpalLeft;
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
    memo.Alignment = p.align;
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
      // Text that starts in the column of its box's left edge moves right of the bar.
      {"text keeps off the left bar", true, false, true, false, {{2, 0, "abc", 10, 0, clBlack, 15, TRect{0, 0, 39, 14}}},
       "+-----+\r\n|abc  |\r\n+-----+\r\n"},
      // Right-aligned text ends next to the right bar.
      {"right-aligned text ends at the right bar",
       true,
       false,
       true,
       false,
       {{30, 0, "12", 10, 0, clBlack, 15, TRect{0, 0, 39, 14}, rpalRight}},
       "+-----+\r\n|   12|\r\n+-----+\r\n"},
      // Neighbouring boxes whose edges are a pixel apart (36 and 35) share one border.
      {"a shared border is drawn once",
       true,
       false,
       true,
       false,
       {{2, 0, "a", 10, 0, clBlack, 15, TRect{0, 0, 36, 14}}, {37, 0, "b", 10, 0, clBlack, 15, TRect{35, 0, 70, 14}}},
       "+----+-----+\r\n|a   |b    |\r\n+----+-----+\r\n"},
      // A cell wrapping onto two lines: its neighbours, as tall in the report, get as tall
      // here, and the row's bottom border comes after its second line.
      {"a wrapped cell makes its row taller",
       true,
       false,
       true,
       false,
       {{2, 0, "a", 10, 0, clBlack, 15, TRect{0, 0, 36, 28}},
        {37, 0, "long", 10, 0, clBlack, 15, TRect{35, 0, 80, 28}},
        {37, 14, "name", 10, 0, clBlack, 15, TRect{35, 0, 80, 28}},
        {82, 0, "b", 10, 0, clBlack, 15, TRect{79, 0, 110, 28}},
        {2, 28, "c", 10, 0, clBlack, 15, TRect{0, 28, 36, 42}}},
       "+----+------+----+\r\n|a   |long  |b   |\r\n|    |name  |    |\r\n+----+------+----+\r\n|c   |\r\n+----+\r\n"},
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
  EXPECT_EQ(TrpHTMExport::CellText(bold), "<td><Font Color=\"#FF0000\" Size=4><b>x</b></Font></td>");
  bold.FontStyle = 7;  // italic, bold and underlined: closed innermost first
  EXPECT_EQ(TrpHTMExport::CellText(bold), "<td><Font Color=\"#FF0000\" Size=4><i><b><u>x</u></b></i></Font></td>");
  TrpTextItem plain;
  plain.Text = "x";
  EXPECT_EQ(TrpHTMExport::CellText(plain), "<td>x</td>");
  plain.Text = "a<b & c";
  EXPECT_EQ(TrpHTMExport::CellText(plain), "<td>a&lt;b &amp; c</td>");
}

// Every tag the HTML opens is closed, in order, as Python's HTML parser reads it.
TEST_F(Export, HtmlTagsAreBalanced) {
  TempDir dir;
  TrpHTMExport html;
  html.KillEmptyLines = false;  // as the planner's filter: empty lines stay as empty rows
  const std::string doc = Feed(html, {{0, 0, "red", 14, 2, clRed},
                                      {100, 0, "all", 8, 7, clBlue},
                                      {0, 28, "plain"},
                                      {0, -1000, ""},
                                      {0, 0, "i", 10, 1}});
  const AnsiString name = dir.Path() + "/t.htm";
  TMemoryStream(doc).SaveToFile(name);
  // html, body, table; four rows; cells: td Font b, td Font i b u, td, td i.
  EXPECT_EQ(Oracle("tags", name), "balanced 18\n") << doc;
}

TEST_F(Export, CsvFieldsAndQuoting) {
  TrpCSVExport f;
  EXPECT_EQ(Feed(f, {{0, 0, "a"}, {64, 0, "b"}, {192, 0, "c"}}), "a;b;;c\r\n");
  EXPECT_EQ(Feed(f, {{0, 0, "a;b"}, {64, 0, "say \"hi\""}}), "\"a;b\";\"say \"\"hi\"\"\"\r\n");
  // Two items in one column stay two fields.
  EXPECT_EQ(Feed(f, {{0, 0, "a"}, {10, 0, "b"}, {70, 0, "c"}}), "a;b;c\r\n");
  EXPECT_EQ(Feed(f, {{64, 0, "b"}}), ";b\r\n");
  // A header centred in its box and the right-aligned values of the same box share a
  // field: the box decides, not where the text starts inside it.
  const TRect box{448, 0, 512, 14};
  EXPECT_EQ(Feed(f, {{0, 0, "a", 10, 0, clBlack, 15, TRect{0, 0, 448, 14}},
                     {462, 0, "Вес, кг", 10, 0, clBlack, 15, box, rpalCenter},
                     {0, 28, "b", 10, 0, clBlack, 15, TRect{0, 0, 448, 14}},
                     {490, 28, "1.25", 10, 0, clBlack, 15, box, rpalRight}}),
            Ansi("a;;;;;;;Вес, кг\r\nb;;;;;;;1.25\r\n"));
  // Boxes 56 pixels wide: two of them round to field 9, the second gets field 10 on every
  // line, also on one where the first is empty (the second line of a wrapped header).
  const TRect fat{544, 0, 600, 14}, carb{600, 0, 656, 14};
  EXPECT_EQ(Feed(f, {{546, 0, "Жиры, г", 10, 0, clBlack, 15, fat},
                     {602, 0, "Углев.,", 10, 0, clBlack, 15, carb},
                     {620, 14, "г", 10, 0, clBlack, 15, carb}}),
            Ansi(";;;;;;;;;Жиры, г;Углев.,\r\n;;;;;;;;;;г\r\n"));
}

TEST_F(Export, RtfParagraphsCodesAndTables) {
  TrpRTFExport f;
  const std::string doc = Feed(f, {{0, 0, "a", 10, 2}, {100, 0, "b"}, {0, -1000, ""}, {0, 0, "c", 10, 4}});
  // Without a prepared page: A4 with 600-twip margins, after the font and colour tables.
  EXPECT_EQ(doc.rfind("{\\rtf1\\ansi\\ansicpg1251\r\n{\\fonttbl{\\f0\\fcharset204 Arial;}}\r\n"
                      "{\\colortbl;\\red0\\green0\\blue0;}\r\n"
                      "\\paperw11906\\paperh16838\\margl600\\margr600\\margt600\\margb600\r\n",
                      0),
            0u);
  // Stops at 0 and 2000 twips: the piece at the margin needs no tab (a tab there would
  // jump on to 2000); bold goes off for the second item. The line is exactly one line of
  // the grid high (14 report pixels, 220 twips), no space around it.
  EXPECT_NE(doc.find("\\pard\\sl-220\\slmult0\\sa0\\sb0\\tx2000{\\f0\\fs20\\b\\cf1 a\\tab\\b0 b\\par}\r\n"),
            std::string::npos);
  // One page break, before the second page; underline is \ul, never \u.
  EXPECT_EQ(doc.find("\\page"), doc.rfind("\\page"));
  EXPECT_LT(doc.find("\\b0 b"), doc.find("\\page"));
  EXPECT_NE(doc.find("\\ul\\cf1 c"), std::string::npos);
  EXPECT_EQ(TrpRTFExport::Escape(Ansi("a{b}c\\d Я")), "a\\{b\\}c\\\\d \\'df");
  // A text whose view claims the frame type of a picture item stays a text.
  TrpRTFExport odd;
  EXPECT_NE(Feed(odd, {{0, 0, "odd", 10, 0, clBlack, -1}}).find(" odd\\par}"), std::string::npos);

  TrpRTFExport t;
  t.ConvertToTable = true;
  const std::string table = Feed(t, {{0, 0, "a", 10, 0, clBlack, 0, TRect{0, 0, 60, 14}},
                                    {65, 0, "b", 10, 0, clBlack, 0, TRect{65, 0, 130, 14}}});
  EXPECT_NE(table.find("\\trowd \\trgaph108\\trrh-220\\cellx1300\\cellx2600 \\trleft0 \\pard \\intbl\\sl-220\\slmult0\\sa0\\sb0 {\\f0\\fs20\\cf1 a}\\cell "
                       "{\\f0\\fs20\\cf1 b}\\cell \\pard \\intbl \\row\r\n\\pard\r\n"),
            std::string::npos);
}

// A two-page report written with page breaks opens as two pages, in table form too (a
// break right after a table's last row is dropped: it goes in a paragraph of its own).
TEST_F(Export, RtfPageBreaksHoldAfterTables) {
  if (!office::Available()) GTEST_SKIP() << "soffice (LibreOffice) is not installed: the pages are not counted";
  TempDir dir;
  for (bool table : {false, true}) {
    SCOPED_TRACE(table);
    TrpRTFExport f;
    f.ConvertToTable = table;
    const std::string doc = Feed(f, {{0, 0, "один", 10, 0, clBlack, 0, TRect{0, 0, 60, 14}},
                                     {0, -1000, ""},
                                     {0, 0, "два", 10, 0, clBlack, 0, TRect{0, 0, 60, 14}}});
    EXPECT_EQ(doc.find("\\row\r\n\\pard\r\n\\page"), std::string::npos);
    const std::string file = dir.SysPath() + (table ? "/table.rtf" : "/plain.rtf");
    TMemoryStream(doc).SaveToFile(AnsiPath(file));
    std::string log;
    const std::string pdf = office::ToPdf(file, dir.SysPath(), &log);
    ASSERT_FALSE(pdf.empty()) << log;
    EXPECT_EQ(office::PdfPages(pdf), 2);
    const std::string text = office::PdfText(pdf);
    EXPECT_LT(text.find("один"), text.find("\f")) << text;  // each on its own page
  }
}

namespace {

// The numbers following a control word ("\tx" gives every tab stop).
std::vector<int> ControlValues(const std::string& doc, const std::string& word) {
  std::vector<int> v;
  for (std::size_t at = doc.find(word); at != std::string::npos; at = doc.find(word, at + 1)) {
    const std::size_t from = at + word.size();
    if (from < doc.size() && (std::isdigit(static_cast<unsigned char>(doc[from])) || doc[from] == '-'))
      v.push_back(std::atoi(doc.c_str() + from));
  }
  return v;
}

}  // namespace

// A line is as tall as its largest type needs, but never taller than the report gives it
// (up to its next line); the lines of a page that would pass its text height shrink, so
// that the page stays one page.
TEST_F(Export, RtfLineHeightsKeepTheReportPage) {
  struct Case {
    std::vector<Piece> pieces;
    std::vector<int> heights;  // \sl of each line, negative: exact
  };
  const Case cases[] = {
      {{{0, 0, "title", 20}, {0, 42, "next"}}, {-480, -220}},  // room of three lines: the type's need
      {{{0, 0, "title", 20}, {0, 14, "next"}}, {-220, -220}},   // the next line follows at once
      {{{0, 0, "a", 8}, {0, 70, "b", 8}}, {-220, -220}},        // small type: one line of the grid
  };
  for (const Case& c : cases) {
    TrpRTFExport f;
    EXPECT_EQ(ControlValues(Feed(f, c.pieces), "\\sl"), c.heights);
  }
  // 150 lines of the grid (a page taller than A4's text height of 15638 twips).
  std::vector<Piece> tall;
  for (int i = 0; i < 150; ++i) tall.push_back({0, 14 * i, "x"});
  TrpRTFExport f;
  const std::vector<int> heights = ControlValues(Feed(f, tall), "\\sl");
  ASSERT_EQ(heights.size(), 150u);
  int total = 0;
  for (int h : heights) total -= h;
  EXPECT_LE(total + (-heights.back()), 16838 - 1200);  // and the closing paragraph
  EXPECT_GT(total, 15000);
}

// With the planner's scale 1.3 a report as wide as its page would reach past the text
// width: its positions are shrunk to fit it, a right-aligned piece gets a right tab at
// its box's edge, and no stop lies outside the text width (10706 twips on A4).
TEST_F(Export, RtfKeepsEveryTabStopInsideTheTextWidth) {
  TrpRTFExport f;
  ASSERT_EQ(f.ScaleX, 1.3);
  const std::string doc = Feed(f, {{0, 0, "a"},
                                   {300, 0, "b"},
                                   {650, 0, "9.5", 10, 0, clBlack, 15, TRect{600, 0, 700, 14}, rpalRight},
                                   {0, 14, "c"},
                                   {700, 14, "d"}});
  const std::vector<int> stops = ControlValues(doc, "\\tx");
  // The pieces at the margin need no stop. 700 pixels are 14000 twips at this scale:
  // everything shrinks by 10706 / 14000; the right tab stands at the box's edge less 2.
  EXPECT_EQ(stops, (std::vector<int>{4588, 10675, 10706})) << doc;
  EXPECT_NE(doc.find("\\tqr\\tx10675"), std::string::npos) << doc;
  // A narrow report keeps its positions.
  TrpRTFExport narrow;
  EXPECT_EQ(ControlValues(Feed(narrow, {{0, 0, "a"}, {100, 0, "b"}, {400, 0, "c"}}), "\\tx"),
            (std::vector<int>{2000, 8000}));
}

// The paper and margins of the report's pages go into the document; a page of another
// paper opens a section of its own.
TEST_F(Export, RtfWritesThePaperAndMarginsOfThePages) {
  TempDir dir;
  TrpEMFPages pages;
  for (int orientation : {rpPortrait, rpLandscape}) {
    TrpPage page(9, 0, 0, -1, orientation);
    page.LeftMargin = page.RightMargin = 38;
    page.TopMargin = page.BottomMargin = 50;
    pages.Add(page);
    TrpMemoView m;
    m.Name = "Memo1";
    m.SetBounds(38, 50, 700, 16);
    m.PrintText.Add(Ansi("строка") + rpLineEndMarker);
    m.WritePreparedEntry(*pages.PageStream(pages.GetCount() - 1));
  }
  TrpRTFExport rtf;
  const AnsiString name = dir.Path() + "/p.rtf";
  ASSERT_TRUE(rpExportPages(pages, rtf, name));
  const std::string doc = ReadFileBytes(name);
  const auto near = [](const std::vector<int>& v, int expected, int slack) {
    return v.size() == 1 && std::abs(v[0] - expected) <= slack;
  };
  // A4 is 11906 x 16838 twips; 38 report pixels (91.6 a inch) are 597 twips.
  EXPECT_TRUE(near(ControlValues(doc, "\\paperw"), 11906, 20)) << doc.substr(0, 400);
  EXPECT_TRUE(near(ControlValues(doc, "\\paperh"), 16838, 20));
  EXPECT_TRUE(near(ControlValues(doc, "\\margl"), 597, 1));
  EXPECT_TRUE(near(ControlValues(doc, "\\margr"), 597, 1));
  EXPECT_TRUE(near(ControlValues(doc, "\\margt"), 786, 1));
  EXPECT_EQ(doc.find("\\page\r\n"), std::string::npos);
  const std::size_t sect = doc.find("\\sect\\sectd\\sbkpage");
  ASSERT_NE(sect, std::string::npos);
  const std::string landscape = doc.substr(sect, doc.find("\r\n", sect) - sect);
  EXPECT_TRUE(near(ControlValues(landscape, "\\pgwsxn"), 16838, 20)) << landscape;
  EXPECT_NE(landscape.find("\\lndscpsxn"), std::string::npos);
}

// A picture goes into the text flow at its place, as a paragraph of its own, inside the
// text width: as LibreOffice lays the document out, it covers none of the text.
TEST_F(Export, RtfPicturesCoverNoText) {
  TempDir dir;
  TrpEMFPages pages;
  TrpPage page(9, 0, 0, -1, rpPortrait);
  page.LeftMargin = page.RightMargin = page.TopMargin = page.BottomMargin = 38;
  pages.Add(page);
  TStream& s = *pages.PageStream(0);
  const char* texts[] = {"Первая строка рядом с картинкой", "Вторая строка под ней", "Третья строка"};
  for (int i = 0; i < 3; ++i) {
    TrpMemoView m;
    m.Name = "Memo" + std::to_string(i + 1);
    m.SetBounds(40, 40 + 18 * i, 400, 16);
    m.PrintText.Add(Ansi(texts[i]) + rpLineEndMarker);
    m.WritePreparedEntry(s);
  }
  TrpPictureView pic;
  pic.Name = "Picture1";
  pic.SetBounds(300, 40, 700, 60);  // wider than the text width
  pic.Picture.Assign(rpikBitmap, rpEncodeBmp(TBitmap(8, 4, clRed)));
  pic.WritePreparedEntry(s);
  TrpRTFExport rtf;
  rtf.ExportBitmaps = true;
  // scripts/verify-exports.sh keeps the file and its PDF (TARNWICK_EXPORT_DIR).
  const char* keep = std::getenv("TARNWICK_EXPORT_DIR");
  const std::string out = keep ? std::string(keep) : dir.SysPath();
  const AnsiString name = AnsiPath(out) + "/pic.rtf";
  ASSERT_TRUE(rpExportPages(pages, rtf, name));
  const std::string doc = ReadFileBytes(name);
  EXPECT_EQ(doc.find("\\posx"), std::string::npos);
  EXPECT_EQ(doc.find("\\absw"), std::string::npos);
  const std::size_t pict = doc.find("{\\pict");
  ASSERT_NE(pict, std::string::npos);
  EXPECT_EQ(doc.rfind("\\pard\\li", pict), doc.rfind("\\pard", pict));
  const std::vector<int> width = ControlValues(doc, "\\picwgoal");
  const std::vector<int> margl = ControlValues(doc, "\\margl"), margr = ControlValues(doc, "\\margr"),
                         paper = ControlValues(doc, "\\paperw");
  ASSERT_EQ(width.size(), 1u);
  EXPECT_LE(ControlValues(doc, "\\li")[0] + width[0], paper[0] - margl[0] - margr[0]);

  if (!office::Available()) GTEST_SKIP() << "soffice (LibreOffice) is not installed: the layout is not checked";
  std::string log;
  const std::string pdf = office::ToPdf(out + "/pic.rtf", out, &log);
  ASSERT_FALSE(pdf.empty()) << log;
  const office::Picture png = office::PdfPicture(pdf, 1, 72);
  ASSERT_GT(png.Width, 0);
  const std::vector<office::Word> words = office::PdfWords(pdf, 1);
  ASSERT_GE(words.size(), 9u);
  int red = 0;
  for (int y = 0; y < png.Height; ++y)
    for (int x = 0; x < png.Width; ++x) {
      const unsigned char* p = png.At(x, y);
      if (p[0] < 200 || p[1] > 60 || p[2] > 60) continue;
      ++red;
      for (const office::Word& w : words)
        ASSERT_FALSE(x >= w.xMin && x <= w.xMax && y >= w.yMin && y <= w.yMax)
            << "the picture covers \"" << w.Text << "\" at " << x << "," << y;
    }
  EXPECT_GT(red, 100);  // the picture is there
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
  // A file that cannot be made raises before any filter operation runs and leaves the
  // engine as it was.
  r.OnBeforeExport = nullptr;
  r.Log.clear();
  EXPECT_ANY_THROW(rpExportPages(pages, r, dir.Path() + "/missing/dir/x.txt"));
  EXPECT_EQ(r.Log, std::vector<std::string>{"dialog"});
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

// The pictures of an HTML export never replace a file beside it, nor write through a
// link: they take the next free "htm<N>.bmp".
TEST_F(Export, HtmlPicturesTakeFreeNamesAndFollowNoLink) {
  TempDir dir;
  namespace fs = std::filesystem;
  const fs::path d = dir.SysPath();
  WriteFileBytes(dir.Path() + "/htm1.bmp", "photo");
  WriteFileBytes(dir.Path() + "/victim.txt", "text");
  fs::create_symlink(d / "victim.txt", d / "htm2.bmp");
  fs::create_symlink(d / "nowhere.txt", d / "htm3.bmp");  // leads nowhere
  fs::create_directory(d / "htm4.bmp");
  TrpEMFPages pages;
  AddMemoPage(pages, {{{0, 0}, "Фото"}});
  {
    TMemoryStream& s = *static_cast<TMemoryStream*>(pages.PageStream(0));
    TrpPictureView pic;
    pic.Name = "Picture1";
    pic.SetBounds(0, 40, 30, 20);
    pic.Picture.Assign(rpikBitmap, rpEncodeBmp(TBitmap(3, 2, clRed)));
    pic.WritePreparedEntry(s);
  }
  TrpHTMExport html;
  html.ExportPictures = true;
  ASSERT_TRUE(rpExportPages(pages, html, dir.Path() + "/r.htm"));
  EXPECT_NE(ReadFileBytes(dir.Path() + "/r.htm").find("<img src=\"htm5.bmp\""), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.Path() + "/htm1.bmp"), "photo");
  EXPECT_EQ(ReadFileBytes(dir.Path() + "/victim.txt"), "text");
  EXPECT_TRUE(fs::is_symlink(d / "htm2.bmp"));
  EXPECT_TRUE(fs::is_symlink(d / "htm3.bmp"));
  EXPECT_FALSE(fs::exists(d / "nowhere.txt"));
  EXPECT_TRUE(fs::is_directory(d / "htm4.bmp"));
  EXPECT_EQ(ReadFileBytes(dir.Path() + "/htm5.bmp").substr(0, 2), "BM");
  // Exported again: the pictures of the first export stay, the new one takes the next name.
  ASSERT_TRUE(rpExportPages(pages, html, dir.Path() + "/r.htm"));
  EXPECT_NE(ReadFileBytes(dir.Path() + "/r.htm").find("<img src=\"htm6.bmp\""), std::string::npos);
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
  EXPECT_NE(doc.find("{\\f0\\fs20\\b\\cf1 "), std::string::npos) << doc;
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
  rpSetExportProgressHost([&](const AnsiString& caption, const TrpExportWork& work) {
    log.push_back("host " + cp::Ansi1251ToUtf8(caption));
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
  EXPECT_EQ(log, (std::vector<std::string>{"host Подготовка отчета", "0/2", "1/2", "2/2", "done"}));
  EXPECT_TRUE(FileExists(c));
  // Stopped after the first page: no file, and an older one stays as it was.
  log.clear();
  stopAt = 1;
  const AnsiString other = dir.Path() + "/other.csv";
  EXPECT_FALSE(r.report.ExportTo(csv, other));
  EXPECT_EQ(log, (std::vector<std::string>{"host Подготовка отчета", "0/2", "1/2", "stopped"}));
  EXPECT_FALSE(FileExists(other));
  const std::string before = ReadFileBytes(c);
  EXPECT_FALSE(r.report.ExportTo(csv, c));
  EXPECT_EQ(ReadFileBytes(c), before);
  // The host's caption begins with the report's title.
  log.clear();
  stopAt = -1;
  r.report.Title = Ansi("Раскладка");
  EXPECT_TRUE(r.report.ExportTo(csv, other));
  EXPECT_EQ(log.front(), "host Раскладка - Подготовка отчета");
  rpSetExportProgressHost(nullptr);
  EXPECT_TRUE(r.report.ExportTo(csv, other));
}
