// Page forming of one data level: the order of the bands at the start of a level and
// after a group change, line numbers within groups, bands that start new pages, and
// the text width a memo measures. Prepared pages are compared with the golden dumps in
// tests/data/report/build.
#include "BuildFixture.h"

using namespace rpbuildtest;

namespace {

// Rows of groups "A" (three rows), "B" (two) and "C" (one).
std::vector<Row> GroupedRows() {
  std::vector<Row> rows;
  for (const char* g : {"A", "A", "A", "B", "B", "C"}) rows.push_back({{"G", Variant(g)}});
  return rows;
}

// A page header, a group header over [G], a master header, the rows with their line
// numbers, a group footer and a master footer.
void GroupedPage(Fixture& f) {
  f.Rows("Rows", GroupedRows());
  f.b.Page(9, rpPortrait, 20);
  StackBands(f, {{btPageHeader, "стр. [PAGE#]"},
                 {btGroupHeader, "группа [G]", "[G]"},
                 {btMasterHeader, "шапка"},
                 {btMasterData, "[G] [LINE#]/[LINETHROUGH#]", "Rows"},
                 {btGroupFooter, "конец группы"},
                 {btMasterFooter, "всё"}});
}

TrpBandView& BandOf(Fixture& f, int type) {
  for (const auto& v : f.report.Pages.GetPages(0)->Objects)
    if (auto* band = dynamic_cast<TrpBandView*>(v.get()); band && band->BandType() == type) return *band;
  throw std::runtime_error("no band of that type");
}

}  // namespace

TEST(RpPageForming, GroupHeadersComeFirstAndLineNumbersRestartInEachGroup) {
  Fixture f;
  GroupedPage(f);
  const std::string dump = f.Build();
  // The level starts with its group header, then the master header.
  EXPECT_LT(dump.find("группа A"), dump.find("шапка")) << dump;
  // Each group counts its rows from 1; the report counts them through.
  for (const char* line : {"A 1/1\n", "A 3/3\n", "B 1/4\n", "B 2/5\n", "C 1/6\n"})
    EXPECT_NE(dump.find(line), std::string::npos) << line << dump;
  ExpectGolden("group_lines", dump);
}

TEST(RpPageForming, FormNewPageOnGroupHeadersAndDataBandsStartsPages) {
  struct Case {
    int bandType;
    int pages;
    const char* golden;
  };
  // A group header starts a page before each group but the first; a data band after
  // each record but the last.
  for (const Case& c : {Case{btGroupHeader, 3, "new_page_groups"}, Case{btMasterData, 6, "new_page_rows"}}) {
    SCOPED_TRACE(c.golden);
    Fixture f;
    GroupedPage(f);
    BandOf(f, c.bandType).Flags |= flFormNewPage;
    const std::string dump = f.Build();
    EXPECT_EQ(f.report.EMFPages.GetCount(), c.pages);
    ExpectGolden(c.golden, dump);
  }
  {
    SCOPED_TRACE("both: one new page at a group change");
    Fixture f;
    GroupedPage(f);
    BandOf(f, btGroupHeader).Flags |= flFormNewPage;
    BandOf(f, btMasterData).Flags |= flFormNewPage;
    f.Build();
    EXPECT_EQ(f.report.EMFPages.GetCount(), 6);
  }
  {
    SCOPED_TRACE("an invisible group header starts no page");
    Fixture f;
    GroupedPage(f);
    TrpBandView& header = BandOf(f, btGroupHeader);
    header.Flags |= flFormNewPage;
    header.Visible = false;
    f.Build();
    EXPECT_EQ(f.report.EMFPages.GetCount(), 1);
  }
}

TEST(RpPageForming, CalcWidthIsTheWidthOfTheMemosText) {
  Fixture f;
  f.Rows("Rows", {{{"NAME", Variant("ab")}}, {{"NAME", Variant(Ansi("сухари ржаные с изюмом"))}}});
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 20).FormatStr = "Rows";
  TrpMemoView& name = f.b.Memo("[NAME]", 20, 0, 400, 18);
  name.Script.SetText("W := CALCWIDTH");
  f.b.Memo("[W]", 500, 0, 100, 18);
  f.ShowZeros();
  // The widths the memo measures for its two texts (its own width is 400); the build
  // puts the template back as new objects, so they are measured before it.
  std::vector<int> expected;
  for (const char* text : {"ab", "сухари ржаные с изюмом"}) {
    TStringList lines;
    lines.Add(Ansi(text));
    expected.push_back(name.CalcWidth(lines));
  }
  const std::string dump = f.Build();
  EXPECT_LT(expected[0], expected[1]);
  EXPECT_LT(expected[1], 400);
  EXPECT_NE(dump.find("@500,20 100x18 " + std::to_string(expected[0]) + "\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("@500,40 100x18 " + std::to_string(expected[1]) + "\n"), std::string::npos) << dump;
}

TEST(RpPageForming, ABandThatMaySplitPrintsWhatFitsThenGoesOn) {
  // Ten records of 100 fill page 1 down to 1020; record 11 prints the lines that fit
  // there and the rest on page 2 (it does not move to page 2 whole), with its own text.
  // The room at 1020 is 1051 - 1020 - 2 = 29: the first part is 30 high and holds one
  // line of 15 (1 + 15 <= 30, 16 + 15 > 30); the last part is 2 x 15 + 2 x 1 + 1 = 33.
  Fixture f;
  f.Rows("Rows", Numbered(12));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& data = f.b.Band(btMasterData, 0, 100);
  data.FormatStr = "Rows";
  data.Flags |= flBreaked;
  f.b.Memo("строка [N]\nещё [N]\nи ещё [N]", 20, 0, 200, 90);
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 2);
  const std::size_t page2 = dump.find("page 2");
  EXPECT_LT(dump.find("@20,1020 200x30 строка 11\n"), page2);
  EXPECT_GT(dump.find("@20,20 200x33 ещё 11|и ещё 11\n"), page2);
  EXPECT_GT(dump.find("@20,53 200x90 строка 12|ещё 12|и ещё 12\n"), page2);
  ExpectGolden("split_fixed_band", dump);
}

TEST(RpPageForming, NoBandSettingMakesTheBuildRecurseWithoutEnd) {
  // Settings that cannot apply to a band kind are ignored for it: a new page asked for
  // by a band that starts a page (page or column header), records side by side asked
  // for by a page footer. The build goes on and breaks pages as usual.
  struct Case {
    const char* name;
    int headerType;
    bool headerNewPage;
    int footerColumns;  // 0: no page footer
    int dataColumns;
  };
  for (const Case& c : {Case{"page header", btPageHeader, true, 0, 1}, Case{"column header", btColumnHeader, true, 0, 1},
                        Case{"page footer in columns", btPageHeader, false, 2, 1},
                        Case{"page footer, records in columns", btPageHeader, false, 1, 2}}) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.Rows("Rows", Numbered(90));
    f.b.Page(9, rpPortrait, 20);
    TrpBandView& header = f.b.Band(c.headerType, 0, 20);
    if (c.headerNewPage) header.Flags |= flFormNewPage;
    f.b.Memo("шапка", 20, 0, 100, 18);
    TrpBandView& data = f.b.Band(btMasterData, 30, 40);
    data.FormatStr = "Rows";
    data.Columns = c.dataColumns;
    data.ColumnWidth = 200;
    f.b.Memo("[N]", 20, 30, 100, 18);
    if (c.footerColumns) {
      f.b.Band(btPageFooter, 80, 20).Columns = c.footerColumns;
      f.b.Memo("стр. [PAGE#]", 20, 80, 100, 18);
    }
    const std::string dump = f.Build();
    for (int n : {1, 90}) EXPECT_NE(dump.find(" " + std::to_string(n) + "\n"), std::string::npos) << n;
    const int pages = f.report.EMFPages.GetCount();
    EXPECT_GE(pages, 2);
    EXPECT_LE(pages, c.dataColumns == 2 ? 3 : 5);
  }
}

namespace {

// The texts of the prepared pages in print order, pages separated by " / ".
std::string Trace(const std::string& dump) {
  std::istringstream in(dump);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.rfind("page ", 0) == 0) {
      if (!out.empty()) out += " /";
      continue;
    }
    const std::size_t size = line.find(' ', line.find('@'));
    const std::size_t text = line.find(' ', size + 1);
    out += (out.empty() ? "" : " ") + (text == std::string::npos ? std::string() : line.substr(text + 1));
  }
  return out;
}

// Rows of one group "X" under a group header and a master header that repeat; the
// page (A4) holds the headers and three rows.
Fixture& RepeatingHeaders(Fixture& f, int pageColumns) {
  f.Rows("Rows", Numbered(pageColumns == 1 ? 4 : 7));
  f.values["G"] = Variant("X");
  TrpPage& page = f.b.Page(9, rpPortrait, 20);
  page.Columns = pageColumns;
  TrpBandView& group = f.b.Band(btGroupHeader, 0, 20);
  group.FormatStr = "[G]";
  group.Flags |= flRepeatHeader;
  f.b.Memo("G[G]", 20, 0, 50, 18);
  f.b.Band(btMasterHeader, 30, 20).Flags |= flRepeatHeader;
  f.b.Memo("MH", 20, 30, 50, 18);
  f.b.Band(btMasterData, 60, 300).FormatStr = "Rows";
  f.b.Memo("r[N]", 20, 60, 50, 18);
  return f;
}

// n rows "r1".."rn", each on a page of its own.
void RowPerPage(Fixture& f, int n) {
  f.Rows("Rows", Numbered(n));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& data = f.b.Band(btMasterData, 0, 20);
  data.FormatStr = "Rows";
  data.Flags |= flFormNewPage;
  f.b.Memo("r[N]", 20, 0, 50, 18);
}

}  // namespace

TEST(RpPageForming, RepeatingGroupAndMasterHeadersPrintAgainInEachNewPageAndColumn) {
  {
    Fixture f;
    RepeatingHeaders(f, 1);
    EXPECT_EQ(Trace(f.Build()), "GX MH r1 r2 r3 / GX MH r4");
  }
  {
    Fixture f;
    RepeatingHeaders(f, 2);
    EXPECT_EQ(Trace(f.Build()), "GX MH r1 r2 r3 GX MH r4 r5 r6 / GX MH r7");
  }
}

TEST(RpPageForming, PageFooterOnFirstAndLastPages) {
  struct Case {
    std::uint16_t flags;
    const char* footers;  // the pages (of three) that get the footer
  };
  for (const Case& c : {Case{flOnFirstPage | flOnLastPage, "123"}, Case{flOnFirstPage, "12"}, Case{flOnLastPage, "23"},
                        Case{0, "2"}}) {
    SCOPED_TRACE(c.flags);
    Fixture f;
    RowPerPage(f, 3);
    f.b.Band(btPageFooter, 30, 20).Flags = c.flags;
    f.b.Memo("F[PAGE#]", 20, 30, 50, 18);
    std::string footers;
    for (const std::string& part : {std::string("1"), std::string("2"), std::string("3")})
      if (f.Build().find(" F" + part + "\n") != std::string::npos) footers += part;
    EXPECT_EQ(footers, c.footers);
    EXPECT_EQ(f.report.EMFPages.GetCount(), 3);
  }
}

TEST(RpPageForming, EveryDataBandOfALevelPrintsWithItsOwnHeaderAndFooter) {
  Fixture f;
  f.Rows("A", Numbered(2, "NA"));
  f.Rows("B", Numbered(3, "NB"));
  f.b.Page(9, rpPortrait, 20);
  StackBands(f, {{btMasterHeader, "HA"},
                 {btMasterData, "a[NA]", "A"},
                 {btMasterFooter, "FA [SUM([NA])]"},
                 {btMasterHeader, "HB"},
                 {btMasterData, "b[NB]", "B"},
                 {btMasterFooter, "FB [SUM([NB])]"}});
  // Each footer adds up the records of its own band.
  EXPECT_EQ(Trace(f.Build()), "HA a1 a2 FA 3 HB b1 b2 b3 FB 6");
}

TEST(RpPageForming, HeadersWaitForARecordThatPrints) {
  // Masters 1..3, details (d1, d2) for master 2 only, and (withParts) a subdetail level
  // without records: a master prints with the first record of the deepest level.
  struct Case {
    bool detailsForTwo;
    bool withParts;
    const char* trace;
  };
  for (const Case& c : {Case{false, false, ""}, Case{true, false, "MH m2 d1 d2 MF"}, Case{true, true, ""}}) {
    SCOPED_TRACE(std::string(c.trace));
    Fixture f;
    f.Rows("Masters", Numbered(3, "M"));
    std::size_t at = 0;
    auto& details = f.Rows("Details", {});
    const std::vector<Row> two = Numbered(2, "D");
    details.Set.OnFirst = [&](TObject*) { at = 0; };
    details.Set.OnNext = [&](TObject*) { ++at; };
    details.Set.OnCheckEOF = [&](TObject*, bool& eof) {
      Variant m;
      f.sets[0]->Answer("M", m);
      eof = !c.detailsForTwo || m.AsInteger() != 2 || at >= two.size();
    };
    f.report.OnGetValue = [&](const AnsiString& name, Variant& value) {
      if (name == "D") value = Variant(static_cast<int>(at) + 1);
      else f.sets[0]->Answer(name, value);
    };
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btMasterHeader, "MH"}, {btMasterData, "m[M]", "Masters"}, {btDetailData, "d[D]", "Details"}});
    if (c.withParts) {
      f.Rows("Parts", {});
      f.b.Band(btSubDetailData, 100, 20).FormatStr = "Parts";
      f.b.Memo("p", 20, 100, 50, 18);
    }
    f.b.Band(btMasterFooter, 130, 20);
    f.b.Memo("MF", 20, 130, 50, 18);
    EXPECT_EQ(Trace(f.Build()), c.trace);
  }
}

TEST(RpPageForming, PagesInsideABandStartNoPagesAndSplitNoBands) {
  Fixture f;
  TrpBandView& items = DaysWithItems(f);
  items.Flags |= flFormNewPage | flBreaked;
  const std::string dump = f.Build();
  EXPECT_EQ(f.report.EMFPages.GetCount(), 1);
  EXPECT_EQ(Trace(dump),
            "День 1 пункт 1 дня 1 пункт 2 дня 1 пункт 3 дня 1 День 2 пункт 1 дня 2 пункт 2 дня 2 пункт 3 дня 2");
}

TEST(RpPageForming, OnBeginPageIsToldTheNewPagesNumber) {
  Fixture f;
  RowPerPage(f, 3);
  std::vector<int> begun;
  f.report.EMFPages.OnBeginPage = [&](int page) { begun.push_back(page); };
  f.Build();
  EXPECT_EQ(begun, (std::vector<int>{0, 1, 2}));
}

namespace {

// A report of `rows` rows (in `columns` page columns) with a page footer, then one that
// goes on on its last page: a page header and a column header for first pages, rows.
std::string TwoParts(int rows, int columns, std::vector<std::unique_ptr<Fixture>>& parts,
                     TrpCompositeReport& composite) {
  for (int part = 1; part <= 2; ++part) {
    auto f = std::make_unique<Fixture>();
    f->Rows("Rows", Numbered(part == 1 ? rows : 40));
    TrpPage& page = f->b.Page(9, rpPortrait, 20);
    page.PrintToPrevPage = part == 2;
    page.Columns = columns;
    const std::string p = std::to_string(part);
    if (part == 2) {
      f->b.Band(btPageHeader, 0, 20).Flags |= flOnFirstPage;
      f->b.Memo("PH2", 20, 0, 50, 18);
      f->b.Band(btColumnHeader, 30, 20);
      f->b.Memo("CH2", 20, 30, 50, 18);
    }
    f->b.Band(btMasterData, 60, 20).FormatStr = "Rows";
    f->b.Memo(("P" + p + "-[N]").c_str(), 20, 60, 50, 18);
    if (part == 1) {
      f->b.Band(btPageFooter, 90, 200);
      f->b.Memo("footer", 20, 90, 50, 18);
    }
    composite.Reports.push_back(&f->report);
    parts.push_back(std::move(f));
  }
  EXPECT_TRUE(composite.PrepareReport());
  return Dump(composite.EMFPages);
}

int TopOf(const std::string& dump, const std::string& text) {
  const std::size_t at = dump.find(" " + text + "\n");
  if (at == std::string::npos) return -1;
  const std::size_t line = dump.rfind('\n', at) + 1;
  const std::size_t comma = dump.find(',', line);
  return std::stoi(dump.substr(comma + 1));
}

}  // namespace

TEST(RpPageForming, APartOnThePreviousPageKeepsItsFooterAndHeaders) {
  {
    SCOPED_TRACE("on the shared page: first-page headers, rows above the footer printed there");
    std::vector<std::unique_ptr<Fixture>> parts;
    TrpCompositeReport composite;
    const std::string dump = TwoParts(3, 1, parts, composite);
    const std::string trace = Trace(dump);
    EXPECT_EQ(trace.substr(0, trace.find(" P2-1")), "P1-1 P1-2 P1-3 footer PH2 CH2") << trace;
    const int footerTop = TopOf(dump, "footer");
    for (int n = 1; n <= 40; ++n) {
      const std::string row = "P2-" + std::to_string(n);
      const std::size_t at = dump.find(" " + row + "\n");
      ASSERT_NE(at, std::string::npos) << row;
      if (at < dump.find("page 2")) {
        EXPECT_LE(TopOf(dump, row) + 20, footerTop) << row;
      }
    }
  }
  {
    SCOPED_TRACE("a part that ended in its second column leaves the next a new page");
    std::vector<std::unique_ptr<Fixture>> parts;
    TrpCompositeReport composite;
    const std::string dump = TwoParts(60, 2, parts, composite);
    EXPECT_LT(dump.find(" P1-60\n"), dump.find("page 2")) << dump;
    EXPECT_GT(dump.find(" PH2\n"), dump.find("page 2")) << dump;
  }
}

TEST(RpPageForming, RecordsLeaveRoomForTheColumnFooterAboveThePageFooter) {
  // Rows of 20 pixels fill pages of one and of two columns; a column footer of 20
  // closes each column and a page footer each page. Every column footer prints whole
  // between the column's last row and the page footer.
  for (int columns : {1, 2}) {
    SCOPED_TRACE(columns);
    Fixture f;
    f.Rows("Rows", Numbered(150));
    f.b.Page(9, rpPortrait, 20).Columns = columns;
    StackBands(f, {{btMasterData, "r[N]", "Rows"}, {btColumnFooter, "CF"}, {btPageFooter, "PF"}});
    const std::string dump = f.Build();
    ASSERT_GE(f.report.EMFPages.GetCount(), 2) << dump;
    // Per page: the bottom of the lowest row and the top of each column footer, by
    // column x, and the page footer's top.
    struct Column {
      int rowsBottom = 0, footerTop = -1;
    };
    std::vector<std::map<int, Column>> pages;
    std::vector<int> pageFooterTops;
    std::istringstream in(dump);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("page ", 0) == 0) {
        pages.emplace_back();
        pageFooterTops.push_back(-1);
        continue;
      }
      int x = 0, y = 0, w = 0, h = 0;
      ASSERT_EQ(std::sscanf(line.c_str() + line.find('@'), "@%d,%d %dx%d", &x, &y, &w, &h), 4) << line;
      const std::string text = line.substr(line.find(' ', line.find('@') + 1) + 1);
      const std::string body = text.substr(text.find(' ') + 1);
      if (body == "PF") pageFooterTops.back() = y;
      else if (body == "CF") pages.back()[x].footerTop = y;
      else pages.back()[x].rowsBottom = std::max(pages.back()[x].rowsBottom, y + 20);
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
      ASSERT_EQ(pages[p].size(), static_cast<std::size_t>(columns)) << "page " << p + 1 << dump;
      for (const auto& [x, column] : pages[p]) {
        ASSERT_GE(column.footerTop, 0) << "page " << p + 1 << " x " << x << dump;
        EXPECT_LE(column.rowsBottom, column.footerTop) << "page " << p + 1 << " x " << x;
        EXPECT_LE(column.footerTop + 20, pageFooterTops[p]) << "page " << p + 1 << " x " << x;
        // A full column holds every row that fits above its footer.
        if (p + 1 < pages.size()) {
          EXPECT_GT(column.footerTop + 20 + 20, pageFooterTops[p]) << "page " << p + 1;
        }
      }
    }
  }
}

TEST(RpPageForming, GroupBandsNumberTheGroups) {
  // Outer groups X, Y with inner groups a, b and a, c: an inner group counts within its
  // outer group (LINE#) and through the run (LINETHROUGH#); a group footer shows the
  // number of the group it closes.
  {
    Fixture f;
    f.Rows("Rows", {{{"O", Variant("X")}, {"I", Variant("a")}},
                    {{"O", Variant("X")}, {"I", Variant("b")}},
                    {{"O", Variant("Y")}, {"I", Variant("a")}},
                    {{"O", Variant("Y")}, {"I", Variant("c")}}});
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btGroupHeader, "O[O] [LINE#]/[LINETHROUGH#]", "[O]"},
                   {btGroupHeader, "I[I] [LINE#]/[LINETHROUGH#]", "[I]"},
                   {btMasterData, "r[LINE#]", "Rows"},
                   {btGroupFooter, "/I [LINE#]"},
                   {btGroupFooter, "/O [LINE#]"}});
    EXPECT_EQ(Trace(f.Build()), "OX 1/1 Ia 1/1 r1 /I 1 Ib 2/2 r1 /I 2 /O 1 OY 2/2 Ia 1/3 r1 /I 1 Ic 2/4 r1 /I 2 /O 2");
  }
  {
    // Group B's record has no detail and is left out: B is no group of the report.
    Fixture f;
    TRows& rows = f.Rows("Rows", {{{"G", Variant("A")}}, {{"G", Variant("B")}}, {{"G", Variant("C")}}});
    TrpUserDataset& details = f.Rows("Details", Numbered(1, "D")).Set;
    details.OnCheckEOF = [&rows, &details](TObject*, bool& eof) {
      Variant g;
      eof = details.RecNo() >= 1 || (rows.Answer("G", g) && g.AsString() == "B");
    };
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btGroupHeader, "G[G] [LINE#]", "[G]"},
                   {btMasterData, "r[G]", "Rows"},
                   {btDetailData, "d", "Details"},
                   {btGroupFooter, "/G [LINE#]"}});
    EXPECT_EQ(Trace(f.Build()), "GA 1 rA d /G 1 GC 2 rC d /G 2");
  }
}

TEST(RpPageForming, ARecordBandWithoutSourcePrintsAsPartOfEachRecordBefore) {
  // The second record band has no data source: it prints with every record of the
  // first one (its line number is that record's), and the footer below it closes
  // the first band's records.
  {
    Fixture f;
    f.Rows("Rows", Numbered(3));
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btMasterHeader, "H"},
                   {btMasterData, "r[N] [LINE#]", "Rows", "Data"},
                   {btMasterData, "прим. [N] [LINE#]"},
                   {btMasterFooter, "F [SUM([N])] [COUNT(Data)]"}});
    f.ShowZeros();
    EXPECT_EQ(Trace(f.Build()), "H r1 1 прим. 1 1 r2 2 прим. 2 2 r3 3 прим. 3 3 F 6 3");
  }
  {
    // A record's bands go to a new page together.
    Fixture f;
    f.Rows("Rows", Numbered(30));
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btMasterData, "r[N]", "Rows"}, {btMasterData, "прим. [N]"}});
    const std::string trace = Trace(f.Build());
    ASSERT_GE(f.report.EMFPages.GetCount(), 2) << trace;
    EXPECT_EQ(trace.find("/ прим."), std::string::npos) << trace;
    for (int n = 1; n <= 30; ++n) EXPECT_NE(trace.find("прим. " + std::to_string(n)), std::string::npos) << n;
  }
}

TEST(RpPageForming, CurrentCountsThePrintedRecordsOfEveryLevel) {
  // Masters 1-2 with details d1, d2 each: a record counts once it has printed (a
  // master after its details), whatever its level; a record left out does not count.
  for (bool dropSecond : {false, true}) {
    SCOPED_TRACE(dropSecond);
    Fixture f;
    TRows& masters = f.Rows("Masters", Numbered(3, "M"));
    TrpUserDataset& details = f.Rows("Details", Numbered(2, "D")).Set;
    details.OnCheckEOF = [&masters, &details, dropSecond](TObject*, bool& eof) {
      Variant m;
      eof = details.RecNo() >= 2 || (dropSecond && masters.Answer("M", m) && m.AsInteger() == 2);
    };
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btMasterData, "m[M] [CURRENT#]", "Masters"},
                   {btDetailData, "d[D] [CURRENT#]", "Details"},
                   {btMasterFooter, "F [CURRENT#]"}});
    EXPECT_EQ(Trace(f.Build()), dropSecond ? "m1 1 d1 1 d2 2 m3 4 d1 4 d2 5 F 7"
                                           : "m1 1 d1 1 d2 2 m2 4 d1 4 d2 5 m3 7 d1 7 d2 8 F 10");
  }
}
