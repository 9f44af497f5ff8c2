// The dataset's index features: index files and master tag at open, ranges, master-detail
// over two tables, Locate and Lookup through a tag on the key field.
#include <gtest/gtest.h>

#include "DataSetFixtures.h"
#include "tables/DbfDB.h"
#include "tables/db_cdx.h"
#include "tables/db_eror.h"
#include "test_support/TempDir.h"

namespace {

using dataset_test::MakeTable;
using dataset_test::Row;

class TablesDataSetIndex : public ::testing::Test {
 protected:
  TablesDataSetIndex() {
    // Dishes and their components, each with a production index.
    MakeTable(dir_.Path() + "/dish.dbf", {{"CODE", 'N', 5}, {"NAME", 'C', 20}},
              {{{3, "Каша"}}, {{1, "Борщ"}}, {{2, "Плов"}}, {{4, "Чай"}}});
    MakeTable(dir_.Path() + "/comp.dbf", {{"DISHCODE", 'N', 5}, {"PROD", 'C', 10}},
              {{{1, "свекла"}}, {{2, "рис"}}, {{1, "капуста"}}, {{3, "крупа"}}, {{2, "морковь"}}, {{1, "лук"}}});
    Index("dish", {{"CODE", "CODE"}, {"NAME", "NAME"}});
    Index("comp", {{"DISHCODE", "DISHCODE"}, {"PROD", "PROD"}});
  }

  void Index(const char* table, std::vector<std::pair<const char*, const char*>> tags) {
    DBO_dBHandler h(dir_.Path() + "/" + table + ".dbf", false, true);
    DBobjCDXFile f(&h, table, true, true);
    for (auto [name, key] : tags) f.AddTag(name, key, "", false, false);
  }

  void Open(TDbfDataSet& d, const char* table, const char* indexName) {
    d.SetDatabaseName(dir_.Path());
    d.SetTableName(table);
    d.IndexFiles().Add(AnsiString(table) + ".cdx");
    d.SetIndexName(indexName);
    d.Open();
  }

  static std::vector<AnsiString> Column(TDataSet& d, const char* field) {
    std::vector<AnsiString> out;
    for (d.First(); !d.Eof(); d.Next()) out.push_back(d.FieldByName(field).AsString());
    return out;
  }

  TempDir dir_;
  using S = std::vector<AnsiString>;
};

TEST_F(TablesDataSetIndex, OpensWithTheMasterTagAndSwitchesIt) {
  TDbfDataSet d;
  Open(d, "dish", "code");
  EXPECT_EQ(Column(d, "CODE"), (S{"1", "2", "3", "4"}));
  EXPECT_EQ(d.MasterTagName(), "CODE");
  ASSERT_EQ(d.TagCount(), 2);
  EXPECT_EQ(d.TagName(2), "NAME");
  EXPECT_EQ(d.TagKeyExpr(2), "NAME");
  d.SetIndexName("NAME");
  EXPECT_EQ(Column(d, "NAME"), (S{Ansi("Борщ"), Ansi("Каша"), Ansi("Плов"), Ansi("Чай")}));
  d.SetIndexName("");
  EXPECT_EQ(Column(d, "CODE"), (S{"3", "1", "2", "4"}));
  EXPECT_THROW(d.SetIndexName("NOSUCH"), EDbfError);

  TDbfDataSet missing;
  missing.SetDatabaseName(dir_.Path());
  missing.SetTableName("dish");
  EXPECT_THROW(missing.IndexFiles().Add("nosuch.cdx"), EDatabaseError);  // checked at once
  EXPECT_THROW(missing.Open(), EDatabaseError);
}

TEST_F(TablesDataSetIndex, IndexFilesAreCheckedWhenSetAndGoWithTheTable) {
  TDbfDataSet d;
  d.SetDatabaseName(dir_.Path());
  d.SetTableName("dish");
  d.IndexFiles().Add("dish.cdx");
  d.SetIndexName("NAME");
  // A second entry for the same file is refused while the dataset is still closed.
  EXPECT_THROW(d.IndexFiles().Add("DISH.CDX"), EDatabaseError);
  EXPECT_FALSE(d.Active());
  d.IndexFiles().Delete(1);
  // Another table: the index files of the old one are no longer listed.
  d.SetTableName("comp");
  EXPECT_EQ(d.IndexFiles().Count(), 0);
  d.SetTableName("dish");
  d.IndexFiles().Add("dish.cdx");
  d.SetTableName("dish");  // the same name keeps them
  EXPECT_EQ(d.IndexFiles().Count(), 1);
  d.SetIndexName("NAME");
  d.Open();
  EXPECT_EQ(d.MasterTagName(), "NAME");

  // While a new record is filled in the handler stands at the end.
  bool endAtInsert = false, beginAtInsert = true;
  d.AfterInsert = [&](TDataSet&) {
    endAtInsert = d.Handler()->Eof();
    beginAtInsert = d.Handler()->Bof();
  };
  d.First();
  d.Append();
  EXPECT_TRUE(endAtInsert);
  EXPECT_FALSE(beginAtInsert);
  d.Cancel();
}

TEST_F(TablesDataSetIndex, AMasterAtItsEndGivesTheDetailNoRows) {
  TDataSource src;
  TDbfDataSet dish, comp;
  Open(dish, "dish", "CODE");
  Open(comp, "comp", "DISHCODE");
  comp.Append();  // the last dish gets a component
  comp.FieldByName("DISHCODE").SetAsString("4");
  comp.FieldByName("PROD").SetAsString(Ansi("чай"));
  comp.Post();
  src.DataSet = &dish;
  dish.Last();
  dish.Next();  // past the last dish
  ASSERT_TRUE(dish.Eof());
  ASSERT_FALSE(dish.Bof());
  comp.MasterFields = "CODE";
  comp.SetMasterSource(&src);
  comp.First();
  EXPECT_TRUE(comp.Eof());
  dish.First();
  EXPECT_EQ(Column(comp, "PROD"), (S{Ansi("свекла"), Ansi("капуста"), Ansi("лук")}));
}

TEST_F(TablesDataSetIndex, RangesLimitTheRecords) {
  TDbfDataSet d;
  Open(d, "comp", "DISHCODE");
  d.SetRange("1", "1");
  EXPECT_EQ(Column(d, "PROD"), (S{Ansi("свекла"), Ansi("капуста"), Ansi("лук")}));
  d.SetRange("2", "3");
  EXPECT_EQ(Column(d, "PROD"), (S{Ansi("рис"), Ansi("морковь"), Ansi("крупа")}));
  d.SetEmptyRange();
  d.First();
  EXPECT_TRUE(d.Eof());
  d.SetIndexName("PROD");
  d.SetRange(Ansi("к"), Ansi("к"));  // a prefix in the program's code page
  EXPECT_EQ(Column(d, "PROD"), (S{Ansi("капуста"), Ansi("крупа")}));
}

TEST_F(TablesDataSetIndex, MasterDetailFollowsTheMasterAndRefusesCircles) {
  TDataSource src;
  TDbfDataSet dish, comp;
  Open(dish, "dish", "CODE");
  Open(comp, "comp", "DISHCODE");
  src.DataSet = &dish;
  comp.MasterFields = "CODE";
  comp.SetMasterSource(&src);
  dish.First();
  EXPECT_EQ(Column(comp, "PROD"), (S{Ansi("свекла"), Ansi("капуста"), Ansi("лук")}));
  dish.Next();
  EXPECT_EQ(Column(comp, "PROD"), (S{Ansi("рис"), Ansi("морковь")}));
  dish.Last();  // tea has no components
  comp.First();
  EXPECT_TRUE(comp.Eof());
  // Appending a component for the current dish shows it at once.
  dish.Locate("CODE", Variant(3), {});
  comp.Append();
  comp.FieldByName("DISHCODE").SetAsString("3");
  comp.FieldByName("PROD").SetAsString(Ansi("соль"));
  comp.Post();
  EXPECT_EQ(Column(comp, "PROD"), (S{Ansi("крупа"), Ansi("соль")}));

  TDataSource back;
  back.DataSet = &comp;
  EXPECT_THROW(dish.SetMasterSource(&back), EDatabaseError);
  TDataSource self;
  self.DataSet = &dish;
  EXPECT_THROW(dish.SetMasterSource(&self), EDatabaseError);
  dish.Close();
  EXPECT_EQ(Column(comp, "PROD").size(), 7u);  // no master: every record
}

TEST_F(TablesDataSetIndex, LocateAndLookupGoThroughATagAndKeepTheMasterTag) {
  TDbfDataSet d;
  int searches = 0;  // sequential searches report their progress as kind 21
  d.OnStatus = [&](TObject*, std::int32_t a, std::int32_t b, std::int32_t) { searches += a == -1 && b == 21; };
  Open(d, "comp", "PROD");
  EXPECT_TRUE(d.Locate("DISHCODE", Variant(3), {}));
  EXPECT_EQ(d.FieldByName("PROD").AsString(), Ansi("крупа"));
  EXPECT_EQ(d.MasterTagName(), "PROD");
  d.Next();  // in the master tag's order after "крупа"
  EXPECT_EQ(d.FieldByName("PROD").AsString(), Ansi("лук"));
  EXPECT_FALSE(d.Locate("DISHCODE", Variant(9), {}));
  EXPECT_EQ(d.FieldByName("PROD").AsString(), Ansi("лук"));
  EXPECT_TRUE(d.Locate("PROD", Variant(Ansi("мор")), loPartialKey));
  EXPECT_EQ(d.FieldByName("DISHCODE").AsString(), "2");
  EXPECT_FALSE(d.Locate("PROD", Variant(Ansi("мор")), {}));
  EXPECT_EQ(searches, 0);
  EXPECT_TRUE(d.Locate("PROD", Variant(Ansi("РИС")), loCaseInsensitive));  // sequential
  EXPECT_EQ(searches, 1);
  EXPECT_EQ(d.FieldByName("DISHCODE").AsString(), "2");
  EXPECT_EQ(VarToStr(d.Lookup("DISHCODE", Variant(1), "PROD")), Ansi("свекла"));
  EXPECT_TRUE(d.Lookup("DISHCODE", Variant(7), "PROD").IsNull());
  EXPECT_EQ(d.FieldByName("PROD").AsString(), Ansi("рис"));
  EXPECT_EQ(d.MasterTagName(), "PROD");
  EXPECT_EQ(searches, 1);
}

}  // namespace
