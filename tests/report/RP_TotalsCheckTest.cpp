// Totals worked out by hand for reports unlike the others: a summary and a detail
// footer that total the same bands by name, averages and counts over records a script
// hides, and group footers of a page printed as a subreport.
#include "BuildFixture.h"

using namespace rpbuildtest;

namespace {

// The memo texts of the dump, one a line, without places.
std::string Texts(const std::string& dump) {
  std::string out;
  std::size_t at = 0;
  while (at < dump.size()) {
    std::size_t end = dump.find('\n', at);
    if (end == std::string::npos) end = dump.size();
    const std::string line = dump.substr(at, end - at);
    if (line.rfind("  ", 0) == 0) {
      const std::size_t size = line.find(' ', line.find('@'));  // "@x,y WxH text"
      out += line.substr(line.find(' ', size + 1) + 1) + "\n";
    }
    at = end + 1;
  }
  return out;
}

std::vector<Row> Values(const char* key, std::initializer_list<int> values) {
  std::vector<Row> rows;
  for (int v : values) rows.push_back({{key, Variant(v)}});
  return rows;
}

}  // namespace

TEST(RpTotalsCheck, ADetailFooterAndTheSummaryTotalTheSameBandsApart) {
  // Masters 2, 3, 7, each with the details 5 and 6. The detail footer adds each
  // master's details (11) and resets only its own total; the summary adds every master
  // (12, 3 of them) and every detail (33, 6 of them), the two bands named.
  Fixture f;
  f.Rows("Masters", Values("MV", {2, 3, 7}));
  f.Rows("Details", Values("DV", {5, 6}));
  StackBands(f, {
                    {btMasterData, "[MV]", "Masters", "Mast"},
                    {btDetailData, "[DV]", "Details", "Det"},
                    {btDetailFooter, "д [SUM([DV])] [COUNT(Det)]"},
                    {btReportSummary, "[SUM([MV], Mast)] [COUNT(Mast)] [SUM([DV], Det)] [COUNT(Det)]"},
                });
  f.ShowZeros();
  EXPECT_EQ(Texts(f.Build()), "2\n5\n6\nд 11 2\n3\n5\n6\nд 11 2\n7\n5\n6\nд 11 2\n12 3 33 6\n");
}

TEST(RpTotalsCheck, AveragesOfShownRecordsCountsOfEvery) {
  // Values 3, 4, 5, 6, 9; the band's script hides the even ones. Shown: 3, 5, 9 (sum
  // 17, average 17 / 3 = 5.67, min 3, max 9); with the flag "1" the hidden ones count:
  // sum 27, average 27 / 5 = 5.4. COUNT counts every record: 5. (The number mask ##0.##
  // leaves trailing zeros out.)
  Fixture f;
  f.Rows("Rows", Values("V", {3, 4, 5, 6, 9}));
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& data = f.b.Band(btMasterData, 0, 20);
  data.FormatStr = "Rows";
  data.Name = "Data";
  data.Script.SetText("Data.Visible := [V] mod 2 = 1");
  f.b.Memo("[V]", 20, 0, 100, 18);
  f.b.Band(btReportSummary, 30, 20);
  f.b.Memo("[COUNT(Data)] [SUM([V])] [AVG([V])] [MIN([V])] [MAX([V])] [SUM([V], Data, 1)] [AVG([V], Data, 1)]", 20,
           30, 400, 18)
      .Format = (1 << 24) | (2 << 8) | '.';
  f.ShowZeros();
  EXPECT_EQ(Texts(f.Build()), "3\n5\n9\n5 17 5.67 3 9 27 5.4\n");
}

TEST(RpTotalsCheck, GroupFootersOfASubreportPageResetPerGroupAndPerDay) {
  // Two days; the subreport lists the items 1..4 in groups of two ([G] = 1, 1, 2, 2):
  // each group footer adds its two (3, then 7) and counts 2; the subreport page's master
  // footer adds all four (10) under each day.
  Fixture f;
  f.Rows("Days", Numbered(2, "DAY"));
  f.Rows("Items", {{{"ITEM", Variant(1)}, {"G", Variant(1)}},
                   {{"ITEM", Variant(2)}, {"G", Variant(1)}},
                   {{"ITEM", Variant(3)}, {"G", Variant(2)}},
                   {{"ITEM", Variant(4)}, {"G", Variant(2)}}});
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 40).FormatStr = "Days";
  f.b.Memo("День [DAY]", 20, 0, 200, 18);
  f.b.SubReport(300, 0, 300, 40, 1);
  f.b.Page(9, rpPortrait, 20);
  StackBands(f, {
                    {btGroupHeader, "г[G]", "[G]"},
                    {btMasterData, "[ITEM]", "Items", "Items"},
                    {btGroupFooter, "[SUM([ITEM])]/[COUNT(Items)]"},
                    {btMasterFooter, "всего [SUM([ITEM])]"},
                });
  for (int p = 0; p < 2; ++p)
    for (const auto& v : f.report.Pages.GetPages(p)->Objects)
      if (dynamic_cast<TrpMemoView*>(v.get())) v->Flags &= static_cast<std::uint16_t>(~flHideZeros);
  const std::string day = "г1\n1\n2\n3/2\nг2\n3\n4\n7/2\nвсего 10\n";
  EXPECT_EQ(Texts(f.Build()), "День 1\n" + day + "День 2\n" + day);
}
