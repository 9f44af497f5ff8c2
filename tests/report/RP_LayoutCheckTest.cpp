// Whole reports laid out as an author makes them, every position worked out by hand
// from the page-forming and band rules, and every prepared page checked: each view
// record lies within its page and has no negative size.
// A5 portrait is 534 x 758 report pixels (148 x 210 mm at 93 / 1.015 pixels an inch);
// A4 758 x 1071. Memo lines are 15 pixels apart (13-pixel font + spacing 2), GapY 1.
#include <string>
#include <tuple>

#include "BuildFixture.h"

using namespace rpbuildtest;

namespace {

// Every view record of every prepared page within the page, none of negative size.
void ExpectViewsOnTheirPages(TrpEMFPages& pages) {
  for (int i = 0; i < pages.GetCount(); ++i) {
    TrpPreparedPage& page = *pages.GetPages(i);
    pages.ObjectsToPage(i);
    const int w = page.PageInfo.PhysWidth, h = page.PageInfo.PhysHeight;
    for (const auto& v : page.Page->Objects) {
      SCOPED_TRACE("page " + std::to_string(i + 1) + " " + v->Name + " @" + std::to_string(v->Left) + "," +
                   std::to_string(v->Top) + " " + std::to_string(v->Width) + "x" + std::to_string(v->Height));
      EXPECT_GE(v->Width, 0);
      EXPECT_GE(v->Height, 0);
      EXPECT_GE(v->Left, 0);
      EXPECT_GE(v->Top, 0);
      EXPECT_LE(v->Left + v->Width, w);
      EXPECT_LE(v->Top + v->Height, h);
    }
    page.Page.reset();
  }
}

std::vector<Row> Grouped(int n, int perGroup) {
  std::vector<Row> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({{"N", Variant(i)}, {"G", Variant((i - 1) / perGroup + 1)}});
  return rows;
}

}  // namespace

TEST(RpLayoutCheck, TwoColumnsWithGroupsColumnFootersAndPageTotalsOverTwoPasses) {
  // A5, margins 30: x 30..504, y 30..728; the page footer (22) leaves the bands 706.
  // Two columns 14 apart, each (504 - 30 - 14) / 2 = 230 wide: the second at x 274.
  // Page header 25 (at 30), column header 20 (at 55), group header 20, record 60, group
  // footer 20, column footer 24. A band fits when its top + height + 24 <= 706.
  // Column 1: G1 75, records 1-5 at 95..335, footer 395, G2 415, 6-9 at 435..615;
  // record 10 (675 + 60 > 706): column footer at 675, column 2 from 55.
  // Column 2: header 55, 10 at 75, footer 135, G3 155, 11-15 at 175..415, footer 475,
  // G4 495, 16 at 515, 17 at 575; 18 at 635 + 60 + 24 > 706: the last column, so its
  // footer at 635, the page footer (17 records, 1 + ... + 17 = 153) at 706, page 2.
  // Page 2: header 30, column header 55, 18-20 at 75, 135, 195, footer 255, column
  // footer 275, page footer 57 of 3 records. A column footer's totals are of no band.
  Fixture f;
  f.Rows("Rows", Grouped(20, 5));
  TrpPage& page = f.b.Page(11, rpPortrait, 30);
  page.Columns = 2;
  page.ColumnGap = 14;
  f.report.Pages.DoublePass = true;
  f.b.Band(btPageHeader, 0, 25);
  f.b.Memo("Стр. [PAGE#] из [TOTALPAGES]", 30, 0, 300, 18);
  f.b.Band(btColumnHeader, 30, 20);
  f.b.Memo("Колонка", 30, 30, 150, 18);
  f.b.Band(btGroupHeader, 60, 20).FormatStr = "[G]";
  f.b.Memo("Группа [G]", 30, 60, 150, 18);
  TrpBandView& data = f.b.Band(btMasterData, 90, 60);
  data.FormatStr = "Rows";
  data.Name = "Data1";
  f.b.Memo("[N]", 30, 90, 100, 18);
  f.b.Band(btGroupFooter, 160, 20);
  f.b.Memo("итого [SUM([N])]", 30, 160, 150, 18);
  f.b.Band(btColumnFooter, 190, 24);
  f.b.Memo("к [SUM([N])]", 30, 190, 150, 18);
  f.b.Band(btPageFooter, 230, 22);
  f.b.Memo("стр.сумма [SUM([N], Data1)] [COUNT(Data1)]", 30, 230, 300, 18);
  f.ShowZeros();
  const std::string dump = f.Build();
  // (the build restores the template: its pages are new)
  EXPECT_EQ(f.report.Pages.GetPages(0)->PageInfo.PhysWidth, 534);
  EXPECT_EQ(f.report.Pages.GetPages(0)->PageInfo.PhysHeight, 758);
  std::string expected = "page 1\n  Memo1 @30,30 300x18 Стр. 1 из 2\n  Memo2 @30,55 150x18 Колонка\n";
  auto row = [&expected](int x, int y, int n) {
    expected += "  Memo4 @" + std::to_string(x) + "," + std::to_string(y) + " 100x18 " + std::to_string(n) + "\n";
  };
  auto line = [&expected](const char* memo, int x, int y, int w, const std::string& text) {
    expected += std::string("  ") + memo + " @" + std::to_string(x) + "," + std::to_string(y) + " " +
                std::to_string(w) + "x18 " + text + "\n";
  };
  line("Memo3", 30, 75, 150, "Группа 1");
  for (int n = 1; n <= 5; ++n) row(30, 95 + 60 * (n - 1), n);
  line("Memo5", 30, 395, 150, "итого 15");
  line("Memo3", 30, 415, 150, "Группа 2");
  for (int n = 6; n <= 9; ++n) row(30, 435 + 60 * (n - 6), n);
  line("Memo6", 30, 675, 150, "к 0");
  line("Memo2", 274, 55, 150, "Колонка");
  row(274, 75, 10);
  line("Memo5", 274, 135, 150, "итого 40");
  line("Memo3", 274, 155, 150, "Группа 3");
  for (int n = 11; n <= 15; ++n) row(274, 175 + 60 * (n - 11), n);
  line("Memo5", 274, 475, 150, "итого 65");
  line("Memo3", 274, 495, 150, "Группа 4");
  row(274, 515, 16);
  row(274, 575, 17);
  line("Memo6", 274, 635, 150, "к 0");
  line("Memo7", 30, 706, 300, "стр.сумма 153 17");
  expected += "page 2\n";
  line("Memo1", 30, 30, 300, "Стр. 2 из 2");
  line("Memo2", 30, 55, 150, "Колонка");
  for (int n = 18; n <= 20; ++n) row(30, 75 + 60 * (n - 18), n);
  line("Memo5", 30, 255, 150, "итого 90");
  line("Memo6", 30, 275, 150, "к 0");
  line("Memo7", 30, 706, 300, "стр.сумма 57 3");
  EXPECT_EQ(dump, expected);
  ExpectViewsOnTheirPages(f.report.EMFPages);
}

namespace {

std::string Counted(const char* word, int from, int to, const char* sep) {
  std::string s;
  for (int i = from; i <= to; ++i) s += (i > from ? sep : "") + std::string(word) + " " + std::to_string(i);
  return s;
}

}  // namespace

TEST(RpLayoutCheck, AMemoALineAndAPictureSplitOverThreePagesThenAChildChainOfThreeMovesWhole) {
  // A4, margins 40: y 40..1031. Title 300. Record 1: a memo of 150 lines needs
  // 1 + 2250 + 1 = 2252, and the line beside it (stretched) takes that height; the band
  // splits. Part 1 at 340: room 1031 - 340 - 2 = 689, first parts 690 high: the memo's
  // lines whose step ends by 690 (16 + 15 i <= 690: 45 lines), the line 690, the
  // picture whole. Part 2 at 40 (room 989): middle parts 989 high, 65 lines (46-110),
  // the line 989 (2252 - 690 - 989 = 573 left). Part 3: the memo's last 40 lines,
  // 600 + 2 + 1 = 603 high; the line's rest 573 + 2 + 1 = 576. Record 2 (20 lines,
  // 302 high) at 40 + 603 = 643 fits whole: next 945. The summary (30) with its
  // children (25, 25, 20) needs 100 of the 86 left: all four start page 4.
  Fixture f;
  f.Rows("Rows", {{{"T", Variant(Ansi(Counted("стр", 1, 150, "\r\n")))}},
                  {{"T", Variant(Ansi(Counted("к", 1, 20, "\r\n")))}}});
  f.b.Page(9, rpPortrait, 40);
  f.b.Band(btReportTitle, 0, 300);
  f.b.Memo("Т", 40, 0, 100, 18);
  TrpBandView& data = f.b.Band(btMasterData, 310, 40);
  data.FormatStr = "Rows";
  data.Flags = flStretched | flBreaked;
  f.b.Memo("[T]", 40, 310, 200, 18);
  f.b.Line(250, 310, 1, 40);
  f.b.Picture(260, 310, 30, 30, TBitmap(10, 10, clRed));
  TrpBandView& summary = f.b.Band(btReportSummary, 360, 30);
  f.b.Memo("итог", 40, 360, 100, 18);
  TrpBandView* parent = &summary;
  int top = 400;
  for (int i = 1; i <= 3; ++i) {
    TrpBandView& child = f.b.Band(btChild, top, i == 3 ? 20 : 25);
    child.Name = "Child" + IntToStr(i);
    parent->ChildBand = child.Name;
    f.b.Memo("д" + std::to_string(i), 40, top, 100, 18);
    parent = &child;
    top += 30;
  }
  const std::string dump = f.Build();
  EXPECT_EQ(dump, "page 1\n"
                  "  Memo1 @40,40 100x18 Т\n"
                  "  Memo2 @40,340 200x690 " + Counted("стр", 1, 45, "|") + "\n"
                  "  Line1 @250,340 1x690 \n"
                  "  Picture1 @260,340 30x30 \n"
                  "page 2\n"
                  "  Memo2 @40,40 200x989 " + Counted("стр", 46, 110, "|") + "\n"
                  "  Line1 @250,40 1x989 \n"
                  "page 3\n"
                  "  Memo2 @40,40 200x603 " + Counted("стр", 111, 150, "|") + "\n"
                  "  Line1 @250,40 1x576 \n"
                  "  Memo2 @40,643 200x302 " + Counted("к", 1, 20, "|") + "\n"
                  "  Line1 @250,643 1x302 \n"
                  "  Picture1 @260,643 30x30 \n"
                  "page 4\n"
                  "  Memo3 @40,40 100x18 итог\n"
                  "  Memo4 @40,70 100x18 д1\n"
                  "  Memo5 @40,95 100x18 д2\n"
                  "  Memo6 @40,120 100x18 д3\n");
  ExpectViewsOnTheirPages(f.report.EMFPages);
}

TEST(RpLayoutCheck, ASubreportInABandThatSplitsStartsAtItsPlace) {
  // A4, margins 20: y 20..1051. Title 1000: the day (60, may split) at 1020 has 31
  // left. Its memo (18) fits the room 1051 - 1020 - 2 = 29; the subreport starts at its
  // place beside it, 1020: item 1 (20) at 1020, item 2 would end at 1060 > 1051: page
  // 2 at 20, item 3 at 40. The band ends below the subreport: the summary at 60.
  Fixture f;
  f.Rows("Days", rpbuildtest::Numbered(1, "DAY"));
  f.Rows("Items", rpbuildtest::Numbered(3, "ITEM"));
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btReportTitle, 0, 1000);
  f.b.Memo("Т", 20, 0, 100, 18);
  TrpBandView& days = f.b.Band(btMasterData, 1010, 60);
  days.FormatStr = "Days";
  days.Flags = flBreaked;
  f.b.Memo("День [DAY]", 20, 1010, 200, 18);
  f.b.SubReport(300, 1010, 300, 40, 1);
  f.b.Band(btReportSummary, 1080, 20);
  f.b.Memo("конец", 20, 1080, 100, 18);
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Items";
  f.b.Memo("пункт [ITEM]", 0, 0, 250, 18);
  EXPECT_EQ(f.Build(), "page 1\n"
                       "  Memo1 @20,20 100x18 Т\n"
                       "  Memo2 @20,1020 200x18 День 1\n"
                       "  Memo4 @300,1020 250x18 пункт 1\n"
                       "page 2\n"
                       "  Memo4 @300,20 250x18 пункт 2\n"
                       "  Memo4 @300,40 250x18 пункт 3\n"
                       "  Memo3 @20,60 100x18 конец\n");
  ExpectViewsOnTheirPages(f.report.EMFPages);
}

TEST(RpLayoutCheck, ABandTallerThanTwoPagesCarriesItsBottomViewsOverEveryPage) {
  // A4, margins 40: y 40..1031. A fixed band 2300 high that may split, A at its top and
  // Z at 2250. Record 1 at 40: room 1031 - 40 - 2 = 989: A prints; Z (2250) lies below:
  // 2250 - 989 = 1261, still below on page 2; page 3: 1261 - 989 = 272, at 40 + 272 = 312,
  // the part ends at 272 + 18 = 290: record 2 at 40 + 290 = 330, room 699: A at 330; Z
  // 2250 - 699 = 1551, page 4: 562, page 5: at 40 + 562 = 602. Pages 2 and 4 hold no
  // part of the band's views.
  Fixture f;
  f.Rows("Rows", rpbuildtest::Numbered(2));
  f.b.Page(9, rpPortrait, 40);
  TrpBandView& band = f.b.Band(btMasterData, 0, 2300);
  band.FormatStr = "Rows";
  band.Flags = flBreaked;
  f.b.Memo("A[N]", 40, 0, 100, 18);
  f.b.Memo("Z[N]", 40, 2250, 100, 18);
  EXPECT_EQ(f.Build(), "page 1\n"
                       "  Memo1 @40,40 100x18 A1\n"
                       "page 2\n"
                       "page 3\n"
                       "  Memo2 @40,312 100x18 Z1\n"
                       "  Memo1 @40,330 100x18 A2\n"
                       "page 4\n"
                       "page 5\n"
                       "  Memo2 @40,602 100x18 Z2\n");
  ExpectViewsOnTheirPages(f.report.EMFPages);
}

TEST(RpLayoutCheck, ViewsAlignedToTheBandAndThePageOnA5) {
  // A5, margins 30: x 30..504. A title 40 puts the record at 70; its memo of three lines
  // stretches the band (25) to 3 x 15 + 2 = 47. Aligned to the bottom, an 18-high view
  // prints at 70 + 47 - 18 = 99; to the top at 70; to the right, 120 wide, at
  // 504 - 120 = 384; centred, 100 wide, at 30 + (474 - 100) div 2 = 217; to the left at 30.
  Fixture f;
  f.Rows("Rows", rpbuildtest::Numbered(1));
  f.b.Page(11, rpPortrait, 30);
  f.b.Band(btReportTitle, 0, 40);
  f.b.Memo("Т", 30, 0, 100, 18);
  TrpBandView& band = f.b.Band(btMasterData, 50, 25);
  band.FormatStr = "Rows";
  band.Flags |= flStretched;
  f.b.Memo("a\nb\nc", 40, 50, 60, 18);
  const struct {
    const char* text;
    std::uint8_t align;
    int left, top, width;
  } views[] = {{"низ", baBottom, 110, 52, 60}, {"верх", baTop, 180, 55, 60}, {"право", baRight, 0, 50, 120},
               {"центр", baCenter, 0, 50, 100}, {"лево", baLeft, 300, 50, 60}};
  for (const auto& v : views) {
    TrpMemoView& m = f.b.Memo(v.text, v.left, v.top, v.width, 18);
    m.Flags &= static_cast<std::uint16_t>(~flStretched);
    m.BandAlign = v.align;
  }
  EXPECT_EQ(f.Build(), "page 1\n"
                       "  Memo1 @30,30 100x18 Т\n"
                       "  Memo2 @40,70 60x47 a|b|c\n"
                       "  Memo3 @110,99 60x18 низ\n"
                       "  Memo4 @180,70 60x18 верх\n"
                       "  Memo5 @384,70 120x18 право\n"
                       "  Memo6 @217,70 100x18 центр\n"
                       "  Memo7 @30,70 60x18 лево\n");
  ExpectViewsOnTheirPages(f.report.EMFPages);
}

TEST(RpLayoutCheck, CrossTabColumnsTakeTheWidthsTheEventSets) {
  // A4, margins 30. Cross header at 30 (120 wide), cross data at 150 (90 wide), four
  // days. The event sets 60 on column 1 and 150 on column 3, and a width set stays for
  // the columns after: the day cells print at 150, 150 + 60 = 210, 270, 270 + 150 = 420
  // (420 + 150 <= 728: no page to the right), rows at 30 and 50.
  Fixture f;
  f.Rows("Rows", {{{"PRODUCT", Variant(Ansi("крупа"))}}, {{"PRODUCT", Variant(Ansi("сахар"))}}});
  f.Rows("Days", rpbuildtest::Numbered(4, "DAY"));
  f.report.OnPrintColumn = [](int column, int& width) {
    if (column == 1) width = 60;
    if (column == 3) width = 150;
  };
  f.b.Page(9, rpPortrait, 30);
  for (auto [type, left, width] : {std::tuple{btCrossHeader, 30, 120}, std::tuple{btCrossData, 150, 90}}) {
    TrpBandView& cross = f.b.Band(type, 0, 1000);
    cross.Left = left;
    cross.Width = width;
    if (type == btCrossData) cross.FormatStr = "Days";
  }
  f.b.Band(btMasterData, 30, 20).FormatStr = "Rows";
  f.b.Memo("[PRODUCT]", 30, 30, 120, 18);
  f.b.Memo("[DAY]", 150, 30, 90, 18);
  std::string expected = "page 1\n";
  for (auto [y, product] : {std::pair{30, "крупа"}, std::pair{50, "сахар"}}) {
    expected += "  Memo1 @30," + std::to_string(y) + " 120x18 " + product + "\n";
    int day = 1;
    for (int x : {150, 210, 270, 420})
      expected += "  Memo2 @" + std::to_string(x) + "," + std::to_string(y) + " 90x18 " + std::to_string(day++) + "\n";
  }
  EXPECT_EQ(f.Build(), expected);
  ExpectViewsOnTheirPages(f.report.EMFPages);
}
