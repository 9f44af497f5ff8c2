// Run-time layout of bands and views, positions worked out by hand from the layout
// rules: bands that split part by part (the room of a part is the bottom limit less
// the column footer less the band's top less 2), child bands kept with their band,
// stretched lines, bottom and band alignment, subreport and cross-tab columns.
// Page 9 with margins 20 spans y 20..1051 (margins 40: 40..1031); memo lines are 15
// pixels apart (13-pixel font + spacing 2), GapY 1.
#include <string>

#include "BuildFixture.h"

using namespace rpbuildtest;

namespace {

std::string Lines(const char* word, int from, int to, const char* sep = "|") {
  std::string s;
  for (int i = from; i <= to; ++i) s += (i > from ? sep : "") + std::string(word) + " " + std::to_string(i);
  return s;
}

TrpBandView& BreakedRows(Fixture& f, int rows, int height, bool stretched = false) {
  f.Rows("Rows", Numbered(rows));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& band = f.b.Band(btMasterData, 0, height);
  band.FormatStr = "Rows";
  band.Flags = static_cast<std::uint16_t>(flBreaked | (stretched ? flStretched : 0));
  return band;
}

void ExpectIn(const std::string& dump, const std::string& page, const std::string& line) {
  const std::size_t at = dump.find(page + "\n");
  ASSERT_NE(at, std::string::npos) << page << "\n" << dump;
  const std::size_t next = dump.find("\npage ", at + 1);
  const std::string body = dump.substr(at, next == std::string::npos ? std::string::npos : next + 1 - at);
  EXPECT_NE(body.find(line + "\n"), std::string::npos) << page << ": " << line << "\n" << dump;
}

}  // namespace

TEST(RpPageLayout, ASplitBandCarriesViewsBelowTheRoomToTheNextPart) {
  // A band 1100 high at the page's top: room 1051 - 20 - 2 = 1029. A (top 0) prints on
  // page 1; B (top 1060) lies below the room and goes to page 2 at 1060 - 1029 = 31,
  // y 20 + 31; the part ends at 31 + 18 = 49, so record 2 starts at 69: room 980, its A
  // at 69, its B on page 3 at 20 + 1060 - 980 = 100; the summary after it at 100 + 18.
  Fixture f;
  BreakedRows(f, 2, 1100);
  f.b.Memo("A[N]", 20, 0, 100, 18);
  f.b.Memo("B[N]", 20, 1060, 100, 18);
  f.b.Band(btReportSummary, 1110, 20);
  f.b.Memo("конец", 20, 1110, 100, 18);
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 3);
  ExpectIn(dump, "page 1", "  Memo1 @20,20 100x18 A1");
  ExpectIn(dump, "page 2", "  Memo2 @20,51 100x18 B1");
  ExpectIn(dump, "page 2", "  Memo1 @20,69 100x18 A2");
  ExpectIn(dump, "page 3", "  Memo2 @20,100 100x18 B2");
  ExpectIn(dump, "page 3", "  Memo3 @20,118 100x18 конец");
}

TEST(RpPageLayout, ViewsBelowAMemoThatGrewMoveDownAfterItsLastPart) {
  // A fixed band: memo M 1100 high holding 100 lines, N under it (top 1110, across it),
  // O beside it (top 1110, left 300). Room 1029: M's first part is 1030 high with 68
  // lines (1 + 68 x 15 <= 1030). Page 2: M's last part, 32 lines, 32 x 15 + 2 + 1 = 483
  // high; M grew by (1030 + 480 + 2) - 1100 = 412, so N (at 1110 - 1029 = 81) moves to
  // 81 + 412 = 493, y 513; O stays at 81, y 101. The band ends at 493 + 18: y 531.
  Fixture f;
  BreakedRows(f, 1, 1200);
  std::string text;
  for (int i = 1; i <= 100; ++i) text += "строка " + std::to_string(i) + "\n";
  f.b.Memo(text, 20, 0, 200, 1100);
  f.b.Memo("N", 20, 1110, 100, 18);
  f.b.Memo("O", 300, 1110, 100, 18);
  f.b.Band(btReportSummary, 1210, 20);
  f.b.Memo("конец", 20, 1210, 100, 18);
  const std::string dump = f.Build();
  ExpectIn(dump, "page 1", "  Memo1 @20,20 200x1030 " + Lines("строка", 1, 68));
  ExpectIn(dump, "page 2", "  Memo1 @20,20 200x483 " + Lines("строка", 69, 100));
  ExpectIn(dump, "page 2", "  Memo2 @20,513 100x18 N");
  ExpectIn(dump, "page 2", "  Memo3 @300,101 100x18 O");
  ExpectIn(dump, "page 2", "  Memo4 @20,531 100x18 конец");
}

TEST(RpPageLayout, ALineSplitsWithTheMemoBesideIt) {
  // A stretched band: 100 lines need 100 x 15 + 2 = 1502; the line (1 x 20) takes
  // 1502 - 0. Page 1 (room 1029): both print 1030 high, the memo with 68 lines. Page 2:
  // the memo's last 32 lines, 483 high; the line's rest 1502 - 1030 = 472, + 2 + 1.
  Fixture f;
  BreakedRows(f, 1, 20, true);
  std::string text;
  for (int i = 1; i <= 100; ++i) text += "строка " + std::to_string(i) + "\n";
  f.b.Memo(text, 20, 0, 200, 18);
  f.b.Line(10, 0, 1, 20);
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
  ExpectIn(dump, "page 1", "  Line1 @10,20 1x1030 ");
  ExpectIn(dump, "page 2", "  Line1 @10,20 1x475 ");
  ExpectIn(dump, "page 2", "  Memo1 @20,20 200x483 " + Lines("строка", 69, 100));
}

TEST(RpPageLayout, APartPrintsOnlyWhenItHoldsMoreThanALine) {
  // A title 1019 high leaves the record at 1039: room 1051 - 1039 - 2 = 10, a first part
  // of 11, not more than one line (15): nothing of the record on page 1; page 2 has its
  // last part, 3 x 15 + 2 + 1 = 48 high, and the next record at 20 + 48.
  Fixture f;
  BreakedRows(f, 2, 100);
  f.b.Memo("строка [N]\nещё [N]\nи ещё [N]", 20, 0, 200, 90);
  f.b.Band(btReportTitle, 200, 1019);
  f.b.Memo("заголовок", 20, 200, 100, 18);
  const std::string dump = f.Build();
  const std::size_t page2 = dump.find("page 2");
  EXPECT_EQ(dump.find("Memo1"), dump.find("Memo1 @20,20 200x48"));
  EXPECT_GT(dump.find("Memo1"), page2);
  ExpectIn(dump, "page 2", "  Memo1 @20,20 200x48 строка 1|ещё 1|и ещё 1");
  ExpectIn(dump, "page 2", "  Memo1 @20,68 200x90 строка 2|ещё 2|и ещё 2");
}

TEST(RpPageLayout, ABandAndItsChildBandsGoToTheNextPageTogether) {
  // A record 991 high leaves 1051 - 1011 = 40: the summary (30) and its child (30) need
  // 60, so both start page 2, at 20 and 50. Without the child the summary fits.
  for (bool withChild : {true, false}) {
    SCOPED_TRACE(withChild);
    Fixture f;
    f.Rows("Rows", Numbered(1));
    f.b.Page(9, rpPortrait, 20);
    f.b.Band(btMasterData, 0, 991).FormatStr = "Rows";
    f.b.Memo("запись", 20, 0, 100, 18);
    TrpBandView& summary = f.b.Band(btReportSummary, 1000, 30);
    f.b.Memo("итог", 20, 1000, 100, 18);
    if (withChild) {
      TrpBandView& child = f.b.Band(btChild, 1040, 30);
      child.Name = "Child1";
      summary.ChildBand = "Child1";
      f.b.Memo("дочерняя", 20, 1040, 100, 18);
    }
    const std::string dump = f.Build();
    if (withChild) {
      ExpectIn(dump, "page 2", "  Memo2 @20,20 100x18 итог");
      ExpectIn(dump, "page 2", "  Memo3 @20,50 100x18 дочерняя");
    } else {
      ExpectIn(dump, "page 1", "  Memo2 @20,1011 100x18 итог");
    }
  }
}

TEST(RpPageLayout, PositionsAndHeightsAScriptSetsStayWithinThePageRange) {
  // Values a script sets are kept within +-100000 pixels, so the sums of page forming
  // cannot overflow: a view set to 2147483647 prints at 100000; CURY set to 2147483600
  // (100000) leaves no room, the record starts page 2 at its top; a band 2147483647
  // high (100000) prints alone on a fresh page, the next one on the page after it.
  struct Case {
    const char* name;
    const char* viewScript;
    const char* bandScript;
    int pages;
    const char* expected;
  };
  const Case cases[] = {
      {"view", "begin Memo1.Left := 2147483647; Memo1.Top := 2147483647 end", "", 1,
       "page 1\n  Memo1 @100000,100000 100x18 1\n"},
      {"CURY", "", "begin CurY := 2147483600 end", 2, "page 1\npage 2\n  Memo1 @20,20 100x18 1\n"},
      {"band", "", "begin Rows1.Height := 2147483647 end", 2, "page 1\n  Memo1 @20,20 100x18 1\npage 2\n  Memo1 @20,20 100x18 2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.Rows("Rows", Numbered(std::string(c.name) == "band" ? 2 : 1));
    f.b.Page(9, rpPortrait, 20);
    TrpBandView& band = f.b.Band(btMasterData, 0, 20);
    band.FormatStr = "Rows";
    band.Name = "Rows1";
    band.Script.SetText(c.bandScript);
    f.b.Memo("[N]", 20, 0, 100, 18).Script.SetText(c.viewScript);
    EXPECT_EQ(f.Build(), c.expected);
    EXPECT_EQ(f.report.EMFPages.GetCount(), c.pages);
  }
}

TEST(RpPageLayout, BottomAlignmentUsesTheHeightTheBandTakes) {
  // A stretched band at 20 grows to 4 x 15 + 2 = 62 for its memo of four lines: the
  // view aligned to the bottom (18 high) prints at 20 + 62 - 18 = 64, the one aligned to
  // the top at 20.
  Fixture f;
  f.Rows("Rows", Numbered(1));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& band = f.b.Band(btMasterData, 0, 20);
  band.FormatStr = "Rows";
  band.Flags |= flStretched;
  f.b.Memo("a\nb\nc\nd", 20, 0, 100, 18);
  for (auto [text, align] : {std::pair{"низ", baBottom}, std::pair{"верх", baTop}}) {
    TrpMemoView& m = f.b.Memo(text, 200 + 100 * (align == baTop), 1, 100, 18);
    m.Flags &= static_cast<std::uint16_t>(~flStretched);
    m.BandAlign = align;
  }
  const std::string dump = f.Build();
  ExpectIn(dump, "page 1", "  Memo2 @200,64 100x18 низ");
  ExpectIn(dump, "page 1", "  Memo3 @300,20 100x18 верх");
}

TEST(RpPageLayout, ViewsAlignedToThePageTakeTheirPlaceBeforeTheBuild) {
  // The page's printable edges are 20 and 738. Aligned to the width, a memo at 0, 50
  // wide, prints from 20, 718 wide; aligned to the right, one 100 wide stands at 638,
  // which the title reads before it prints; the template keeps its own values.
  Fixture f;
  f.Rows("Rows", Numbered(1));
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("[Right.Left]", 20, 0, 100, 18).Name = "Probe";
  f.b.Band(btMasterData, 30, 20).FormatStr = "Rows";
  TrpMemoView& wide = f.b.Memo("[N]", 0, 30, 50, 18);
  wide.Name = "Wide";
  wide.BandAlign = baWidth;
  TrpMemoView& right = f.b.Memo("R", 0, 30, 100, 18);
  right.Name = "Right";
  right.BandAlign = baRight;
  f.ShowZeros();
  const std::string dump = f.Build();
  ExpectIn(dump, "page 1", "  Probe @20,20 100x18 638");
  ExpectIn(dump, "page 1", "  Wide @20,40 718x18 1");
  ExpectIn(dump, "page 1", "  Right @638,40 100x18 R");
  TrpView* kept = f.report.Pages.FindObject("Wide");
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Left, 0);
  EXPECT_EQ(kept->Width, 50);
}

TEST(RpPageLayout, ViewsThatNoPartCanHoldPrintOnceOnAFreshPage) {
  // Room 1029 at the top of each page. A picture 1500 high cannot be split: on the fresh
  // first part it prints cut at the room's bottom. A memo whose line (800 pt: 1067 + 2)
  // is taller than the room prints no part; its text prints whole on page 2
  // (2 x 1069 + 2 + 1 high) rather than going on from page to page.
  for (bool picture : {true, false}) {
    SCOPED_TRACE(picture);
    Fixture f;
    BreakedRows(f, 1, 20, !picture);
    if (picture) {
      f.report.Pages.GetPages(0)->Objects.back()->Height = 1600;  // the band
      f.b.Picture(20, 0, 100, 1500, TBitmap(2, 2));
    } else {
      f.b.Memo("a\nb", 20, 0, 100, 18).Font.Size = 800;
    }
    const std::string dump = f.Build();
    if (picture) {
      EXPECT_EQ(f.report.EMFPages.GetCount(), 1);
      ExpectIn(dump, "page 1", "  Picture1 @20,20 100x1029 ");
    } else {
      EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
      ExpectIn(dump, "page 2", "  Memo1 @20,20 100x2141 a|b");
    }
  }
}
