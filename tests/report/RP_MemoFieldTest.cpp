// A memo whose text is one bracketed memo field of a dBase table: the field's text (866
// in the table, 1251 in the report) is loaded into the memo before the report's
// OnBeforePrint sees it, is wrapped to the memo's width and splits across pages with
// its band. Memo lines are 15 pixels apart (13-pixel font + spacing 2), GapY 1; six
// four-letter words and their blanks (29 of the 32 six-pixel characters of a 200-wide
// memo with GapX 2) make a line.
#include <fstream>
#include <iterator>

#include "BuildFixture.h"
#include "report/RP_DBSet.h"
#include "tables/DataSetFixtures.h"
#include "tables/DbfDB.h"
#include "test_support/TempDir.h"

using namespace rpbuildtest;

namespace {

std::string Words(int from, int to, const char* sep) {
  std::string s;
  for (int i = from; i <= to; ++i) {
    char w[8];
    std::snprintf(w, sizeof w, "%02d", i);
    s += (i > from ? sep : "") + std::string("сл") + w;
  }
  return s;
}

// Lines of six words, joined by "|" as the dump joins a memo's lines.
std::string WrappedWords(int from, int to) {
  std::string s;
  for (int i = from; i <= to; i += 6) s += (i > from ? "|" : "") + Words(i, std::min(i + 5, to), " ");
  return s;
}

void WriteMemo(TDbfDataSet& table, const char* utf8) {
  table.Edit();
  auto blob = table.CreateBlobStream(table.FieldByName("NOTE"), TBlobStreamMode::bmWrite);
  const AnsiString text = Ansi(utf8);
  blob->Write(text.data(), static_cast<std::int64_t>(text.size()));
  blob.reset();
  table.Post();
}

}  // namespace

TEST(RpMemoField, AMemoNamingAMemoFieldPrintsItsTextWrappedAndSplitAcrossPages) {
  // Record 1 holds 60 words: 10 lines, 1 + 150 + 1 = 152 high. A title 950 high puts the
  // record at 970 (page 9, margins 20: y 20..1051): room 1051 - 970 - 2 = 79, a first
  // part 80 high holding the lines whose step ends by 80 (1 + 5 x 15 = 76): lines 1-5,
  // none ending a paragraph, so a line of the end marker alone follows them.
  // Page 2: the last part, 5 x 15 + 2 + 1 = 78 high, at 20; record 2 at 98, two lines
  // (32 high); record 3 has an empty field: no text, the band keeps its 10 pixels (one
  // empty line would have made it 17): record 4 at 130 + 10 = 140.
  TempDir dir;
  dataset_test::MakeTable(dir.Path() + "/notes.dbf", {{"N", 'N', 5}, {"NOTE", 'M'}}, {{{1}}, {{2}}, {{3}}, {{4}}},
                          0x83);
  TDbfDataSet table;
  table.SetDatabaseName(dir.Path());
  table.SetTableName("notes");
  table.Open();
  WriteMemo(table, Words(1, 60, " ").c_str());
  table.Next();
  WriteMemo(table, "Соль\r\nСпички [2 коробка]");
  table.Next();
  table.Next();
  WriteMemo(table, "Конец");
  table.Close();
  {
    // The table holds the text in 866.
    std::ifstream in(dir.Path() + "/notes.dbt", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find(cp::AnsiToOem(Ansi("Соль\r\nСпички [2 коробка]"))), std::string::npos);
  }
  TrpDBDataSet rows;
  rows.Name = "Rows";
  rows.SetDataSet(&table);
  Fixture f;
  f.report.AddDataset(rows);
  std::vector<std::string> seen;  // what OnBeforePrint is handed for the memo
  f.report.OnBeforePrint = [&seen](TStringList& text, TrpView& view) {
    if (view.Name == "Memo2") seen.push_back(text.Count() ? cp::Ansi1251ToUtf8(text[0]) : "");
  };
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btReportTitle, 0, 950);
  f.b.Memo("заголовок", 20, 0, 100, 18);
  TrpBandView& band = f.b.Band(btMasterData, 1000, 10);
  band.FormatStr = "Rows";
  band.Flags = flStretched | flBreaked;
  f.b.Memo("[NOTE]", 20, 1000, 200, 8);
  const std::string dump = f.Build();
  EXPECT_EQ(dump, "page 1\n"
                  "  Memo1 @20,20 100x18 заголовок\n"
                  "  Memo2 @20,970 200x80 " +
                      WrappedWords(1, 30) +
                      "|\n"
                      "page 2\n"
                      "  Memo2 @20,20 200x78 " +
                      WrappedWords(31, 60) +
                      "\n"
                      "  Memo2 @20,98 200x32 Соль|Спички [2 коробка]\n"
                      "  Memo2 @20,130 200x8 \n"
                      "  Memo2 @20,140 200x17 Конец\n");
  // The handler sees the field's text, not the memo's "[NOTE]".
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), Words(1, 60, " "));
}
