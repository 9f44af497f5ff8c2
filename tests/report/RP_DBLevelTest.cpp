// Page forming over database datasets (an in-memory one and a dBase table): the record
// the footers closing a level show (also over user datasets that step back), the dataset bare field names of a second record
// band are read from, and a master record's script that gives the detail level another
// data source with a subdetail level below it.
#include <algorithm>
#include <functional>

#include "BuildFixture.h"
#include "RowDataSet.h"
#include "report/RP_DBSet.h"
#include "tables/DataSetFixtures.h"
#include "tables/DbfDB.h"
#include "test_support/TempDir.h"

using namespace rpbuildtest;

namespace {

// The texts of the memos at x = 20 of a dump, in order.
std::vector<std::string> Texts(const std::string& dump) {
  std::vector<std::string> texts;
  std::istringstream in(dump);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t at = line.find("@20,");
    if (at == std::string::npos) continue;
    const std::size_t size = line.find(' ', at);
    const std::size_t body = line.find(' ', size + 1);
    texts.push_back(line.substr(body + 1));
  }
  return texts;
}

// A table of rows N (a number) and G (a text), in memory or as a dBase table.
using Table = std::function<std::unique_ptr<TDataSet>(const std::vector<std::pair<int, const char*>>& rows)>;

std::unique_ptr<TDataSet> InMemory(const std::vector<std::pair<int, const char*>>& rows) {
  std::vector<std::vector<Variant>> values;
  for (const auto& [n, g] : rows) values.push_back({Variant(n), Variant(g)});
  return std::make_unique<rptest::TRowDataSet>(
      std::vector<TFieldDef>{{"N", TFieldType::ftInteger}, {"G", TFieldType::ftString, 5}}, std::move(values));
}

struct DbaseTables {
  TempDir dir;
  int made = 0;
  std::unique_ptr<TDataSet> operator()(const std::vector<std::pair<int, const char*>>& rows) {
    const AnsiString name = "t" + std::to_string(++made);
    std::vector<dataset_test::Row> cells;
    for (const auto& [n, g] : rows) cells.push_back({{n, g}});
    dataset_test::MakeTable(dir.Path() + "/" + name + ".dbf", {{"N", 'N', 5}, {"G", 'C', 5}}, cells);
    auto table = std::make_unique<TDbfDataSet>();
    table->SetDatabaseName(dir.Path());
    table->SetTableName(name);
    return table;
  }
};

// Runs `check` once over in-memory tables and once over dBase tables.
void ForEachKindOfTable(const std::function<void(const Table& table)>& check) {
  {
    SCOPED_TRACE("in memory");
    check(InMemory);
  }
  {
    SCOPED_TRACE("dBase");
    auto tables = std::make_shared<DbaseTables>();
    check([tables](const auto& rows) { return (*tables)(rows); });
  }
}

// A report whose bands read their data from the database datasets it is given.
struct DBFixture : Fixture {
  std::vector<std::unique_ptr<TDataSet>> tables;
  std::vector<std::unique_ptr<TrpDBDataSet>> sets;
  TDataSet& Add(const char* name, std::unique_ptr<TDataSet> table) {
    tables.push_back(std::move(table));
    sets.push_back(std::make_unique<TrpDBDataSet>());
    sets.back()->Name = name;
    sets.back()->SetDataSet(tables.back().get());
    report.AddDataset(*sets.back());
    return *tables.back();
  }
};

}  // namespace

TEST(RpDBLevel, FootersAfterTheLastRecordShowTheLastRecord) {
  // Group footers within the records show the last record of the group that ended;
  // those after the last record, and the level's footer, show the last record.
  ForEachKindOfTable([](const Table& table) {
    DBFixture f;
    f.Add("Rows", table({{1, "A"}, {2, "A"}, {3, "B"}}));
    f.Add("Items", table({{7, "x"}, {8, "y"}}));
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btGroupHeader, "группа [G]", "[G]"},
                   {btMasterData, "[G] [N]", "Rows"},
                   {btDetailData, "  [G] [N]", "Items"},
                   {btDetailFooter, "  итог [G] [N]"},
                   {btGroupFooter, "конец [G] [N]"},
                   {btMasterFooter, "всё [G] [N]"}});
    f.ShowZeros();
    const std::vector<std::string> expected = {
        "группа A", "A 1", "  x 7", "  y 8", "  итог y 8", "A 2", "  x 7", "  y 8", "  итог y 8", "конец A 2",
        "группа B", "B 3", "  x 7", "  y 8", "  итог y 8", "конец B 3", "всё B 3"};
    const std::string dump = f.Build();
    EXPECT_EQ(Texts(dump), expected) << dump;
  });
}

TEST(RpDBLevel, AFooterAfterACountedRangeShowsTheRangesLastRecord) {
  // The range of two records ends before the table does: the footer shows record 2,
  // not the one after the range.
  ForEachKindOfTable([](const Table& table) {
    DBFixture f;
    f.Add("Rows", table({{1, "a"}, {2, "b"}, {3, "c"}}));
    f.sets.back()->RangeEnd = TRangeEnd::reCount;
    f.sets.back()->RangeEndCount = 2;
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btMasterData, "[G] [N]", "Rows"}, {btMasterFooter, "всё [G] [N]"}});
    f.ShowZeros();
    const std::string dump = f.Build();
    EXPECT_EQ(Texts(dump), (std::vector<std::string>{"a 1", "b 2", "всё b 2"})) << dump;
  });
}

TEST(RpDBLevel, FootersOfAUserDatasetThatStepsBackShowItsLastRecord) {
  // A user dataset that can step back is past its last record at its end (unless its
  // counted range ran out, which leaves it on the last one): the footers see the last.
  for (int count : {0, 2}) {
    SCOPED_TRACE(count);
    Fixture f;
    TRows& rows = f.Rows("Rows", {{{"G", Variant("a")}}, {{"G", Variant("b")}}, {{"G", Variant("c")}}});
    rows.AllowStepBack();
    if (count) {
      rows.Set.RangeEnd = TRangeEnd::reCount;
      rows.Set.RangeEndCount = count;
    }
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btGroupHeader, "группа [G]", "[G]"},
                   {btMasterData, "[G]", "Rows"},
                   {btGroupFooter, "конец [G]"},
                   {btMasterFooter, "всё [G]"}});
    const std::string last = count ? "b" : "c";
    std::vector<std::string> expected;
    for (const char* g : {"a", "b", "c"}) {
      if (count && std::string(g) == "c") break;
      for (const char* text : {"группа ", "", "конец "}) expected.push_back(text + std::string(g));
    }
    expected.push_back("всё " + last);
    const std::string dump = f.Build();
    EXPECT_EQ(Texts(dump), expected) << dump;
  }
}

TEST(RpDBLevel, BareFieldNamesOfASecondRecordBandAreItsOwnDatasets) {
  // Two record bands of the master level over datasets of their own, each with a
  // footer: every band reads bare names from its own band's dataset.
  ForEachKindOfTable([](const Table& table) {
    DBFixture f;
    f.Add("First", table({{1, "a"}, {2, "b"}}));
    f.Add("Second", table({{10, "p"}, {20, "q"}, {30, "r"}}));
    f.b.Page(9, rpPortrait, 20);
    StackBands(f, {{btMasterHeader, "шапка 1 [G]"},
                   {btMasterData, "[G] [N]", "First"},
                   {btMasterFooter, "итог 1 [G]"},
                   {btMasterHeader, "шапка 2 [G]"},
                   {btMasterData, "[G] [N]", "Second"},
                   {btMasterFooter, "итог 2 [G]"}});
    f.ShowZeros();
    const std::vector<std::string> expected = {"шапка 1 a", "a 1",  "b 2",  "итог 1 b", "шапка 2 p",
                                               "p 10",      "q 20", "r 30", "итог 2 r"};
    const std::string dump = f.Build();
    EXPECT_EQ(Texts(dump), expected) << dump;
  });
}

TEST(RpDBLevel, AMasterScriptChoosesTheDetailSourceOfItsOwnRecord) {
  // Master records 1-3; from record 2 on its script gives the detail band the
  // dataset "B". The detail level has a subdetail level below it (and one without,
  // for comparison): the detail rows of record 2 already come from "B".
  for (bool subdetail : {true, false}) {
    SCOPED_TRACE(subdetail ? "with a subdetail level" : "without");
    DBFixture f;
    f.Rows("Rows", Numbered(3));
    f.Add("A", InMemory({{1, "a1"}, {2, "a2"}}));
    f.Add("B", InMemory({{1, "b1"}}));
    f.Add("S", InMemory({{1, "s"}}));
    f.b.Page(9, rpPortrait, 20);
    std::initializer_list<BandSpec> withSub = {{btMasterData, "запись [N]", "Rows", "Data"},
                                               {btDetailData, "  [G]", "A", "Detail"},
                                               {btSubDetailData, "    [G]", "S"}};
    std::initializer_list<BandSpec> withoutSub = {{btMasterData, "запись [N]", "Rows", "Data"},
                                                  {btDetailData, "  [G]", "A", "Detail"}};
    StackBands(f, subdetail ? withSub : withoutSub);
    static_cast<TrpBandView*>(f.report.FindObject("Data"))
        ->Script.SetText("if [N] = 2 then Detail.DataSource := 'B'");
    std::vector<std::string> expected;
    for (const char* line : {"запись 1", "  a1", "  a2", "запись 2", "  b1", "запись 3", "  b1"}) {
      expected.push_back(line);
      if (subdetail && line[0] == ' ') expected.push_back("    s");
    }
    const std::string dump = f.Build();
    EXPECT_EQ(Texts(dump), expected) << dump;
  }
}
