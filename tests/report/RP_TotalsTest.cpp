// Totals as a report author sees them: aggregates of a page printed as a subreport,
// footers that total their own data band and other bands by name.
#include "BuildFixture.h"

using namespace rpbuildtest;

namespace {

// How many times `text` stands in the dump.
int Occurrences(const std::string& dump, const std::string& text) {
  int n = 0;
  for (std::size_t at = dump.find(text); at != std::string::npos; at = dump.find(text, at + text.size())) ++n;
  return n;
}

}  // namespace

TEST(RpTotals, SubReportPageTotalsItsOwnRecords) {
  // Each of the two days lists the items 1, 2, 3 through the subreport; the subreport
  // page's master footer counts and adds them up: 3 and 6 under each day.
  Fixture f;
  TrpBandView& items = DaysWithItems(f);
  items.Name = "Items";
  f.b.Band(btMasterFooter, 30, 20);
  f.b.Memo("n=[COUNT(Items)] s=[SUM([ITEM])] a=[AVG([ITEM])]", 0, 30, 250, 18);
  f.ShowZeros();
  for (const auto& v : f.report.Pages.GetPages(1)->Objects)
    if (dynamic_cast<TrpMemoView*>(v.get())) v->Flags &= static_cast<std::uint16_t>(~flHideZeros);
  const std::string dump = f.Build();
  EXPECT_EQ(Occurrences(dump, "n=3 s=6 a=2"), 2) << dump;
}

TEST(RpTotals, FooterTotalsEveryBandItNames) {
  // Masters MV 1, 2, 4, each with the details DV 10 and 20 (band "Band2"); a second
  // master band "Other" lists 5 rows after them, each with the same details (the
  // summary counts 8 x 2 details, the footer of the first band 3 x 2).
  struct Case {
    const char* what;
    int footerType;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"own band and a named detail band", btMasterFooter,
       "sumMV=[SUM([MV])] cnt=[COUNT(Master)] max=[MAX([MV])] dv=[SUM([DV], Band2)]", "sumMV=7 cnt=3 max=4 dv=90"},
      {"one named band only", btMasterFooter, "dv=[SUM([DV], Band2)] n=[COUNT(Band2)]", "dv=90 n=6"},
      {"two counts of two bands", btReportSummary, "a=[COUNT(Master)] b=[COUNT(Band2)] c=[COUNT(Other)]",
       "a=3 b=16 c=5"},
      {"averages of two bands", btReportSummary, "mv=[AVG([MV], Master)] dv=[AVG([DV], Band2)]", "mv=2.33 dv=15"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    f.Rows("Masters", {{{"MV", Variant(1)}}, {{"MV", Variant(2)}}, {{"MV", Variant(4)}}});
    f.Rows("Details", {{{"DV", Variant(10)}}, {{"DV", Variant(20)}}});
    f.Rows("Others", Numbered(5, "OV"));
    StackBands(f, {
                      {btMasterData, "[MV]", "Masters", "Master"},
                      {btDetailData, "[DV]", "Details", "Band2"},
                      {c.footerType, c.text},
                      {btMasterData, "[OV]", "Others", "Other"},
                  });
    TrpPage& page = *f.report.Pages.GetPages(0);
    for (const auto& v : page.Objects)
      if (auto* memo = dynamic_cast<TrpMemoView*>(v.get())) memo->Format = (1 << 24) | (2 << 8) | '.';
    f.ShowZeros();
    const std::string dump = f.Build();
    EXPECT_EQ(Occurrences(dump, c.expected), 1) << dump;
  }
}
