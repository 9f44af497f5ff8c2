// The planner's road through the dataset: reference tables with Cyrillic names opened
// shared and walked, fields read by name, the composition of one dish filtered out, a
// product found by its code; then a table rewritten whole on an exclusive open (delete
// every record, pack, append, post), reopened and compared. A second process cannot
// take a table exclusively while it is open, nor open it while it is held exclusively.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "DataSetFixtures.h"
#include "TablesTestSupport.h"
#include "tables/DbfDB.h"
#include "tables/db_eror.h"

namespace {

using dataset_test::MakeTable;
using dataset_test::Row;

struct Product {
  std::int32_t code, owner, flags;
  const char* name;  // UTF-8
  double cal, alb, fat, carb;
};

const std::vector<Product> kProducts = {
    {1, 0, 1, "Крупы", 0, 0, 0, 0},
    {12, 1, 0, "Гречка", 313, 12.6, 3.3, 57.1},
    {13, 1, 0, "Рис", 344, 6.7, 0.7, 78.9},
    {2, 0, 1, "Сладости", 0, 0, 0, 0},
    {57, 2, 0, "Сахар-песок", 399, 0, 0, 99.8},
    {58, 2, 0, "Мёд", 314, 0.8, 0, 80.3},
    {60, 0, 0, "Чай чёрный", 0, 20, 5.1, 6.9},
};

class PlannerRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<Row> products;
    for (const Product& p : kProducts)
      products.push_back({{p.code, p.owner, p.flags, p.name, p.cal, p.alb, p.fat, p.carb}});
    MakeTable(Dir() + "products.dbf",
              {{"CODE", 'N', 6},
               {"OWNER", 'N', 6},
               {"FLAGS", 'N', 3},
               {"NAME", 'C', 40},
               {"CAL", 'N', 8, 2},
               {"ALB", 'N', 8, 2},
               {"FAT", 'N', 8, 2},
               {"CARB", 'N', 8, 2}},
              products);
    MakeTable(Dir() + "dish.dbf", {{"CODE", 'N', 6}, {"OWNER", 'N', 6}, {"FLAGS", 'N', 3}, {"NAME", 'C', 40}},
              {{{12, 0, 0, "Каша гречневая"}}, {{13, 0, 0, "Рисовая каша"}}, {{14, 0, 0, "Чай с сахаром"}}});
    MakeTable(
        Dir() + "dishcomp.dbf", {{"DISHCODE", 'N', 6}, {"PRODCODE", 'N', 6}, {"VEIGHT", 'N', 8, 2}},
        {{{12, 12, 80}}, {{13, 13, 70}}, {{12, 57, 10}}, {{14, 60, 2}}, {{14, 57, 15}}, {{12, 58, 5.5}}});
  }

  AnsiString Dir() const { return tmp_.Path() + "/"; }
  std::string SysFile(const char* name) const { return tmp_.SysPath() + "/" + name; }

  void Bind(TDbfDataSet& ds, const char* table) {
    ds.SetDatabaseName(tmp_.Path());
    ds.SetTableName(table);
  }

  TempDir tmp_;
};

std::vector<Product> ReadProducts(TDbfDataSet& ds, std::vector<AnsiString>& names) {
  std::vector<Product> rows;
  for (ds.First(); !ds.Eof(); ds.Next()) {
    names.push_back(ds.FieldByName("NAME").AsString());
    rows.push_back({ds.FieldByName("CODE").AsInteger(), ds.FieldByName("OWNER").AsInteger(),
                    ds.FieldByName("FLAGS").AsInteger(), nullptr, ds.FieldByName("CAL").AsFloat(),
                    ds.FieldByName("ALB").AsFloat(), ds.FieldByName("FAT").AsFloat(),
                    ds.FieldByName("CARB").AsFloat()});
  }
  return rows;
}

void ExpectProducts(TDbfDataSet& ds, const std::vector<Product>& expected) {
  std::vector<AnsiString> names;
  const std::vector<Product> rows = ReadProducts(ds, names);
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(names[i], Ansi(expected[i].name));  // the program sees 1251
    EXPECT_EQ(std::tie(rows[i].code, rows[i].owner, rows[i].flags),
              std::tie(expected[i].code, expected[i].owner, expected[i].flags));
    EXPECT_DOUBLE_EQ(rows[i].cal, expected[i].cal);
    EXPECT_DOUBLE_EQ(rows[i].alb, expected[i].alb);
    EXPECT_DOUBLE_EQ(rows[i].fat, expected[i].fat);
    EXPECT_DOUBLE_EQ(rows[i].carb, expected[i].carb);
  }
}

TEST_F(PlannerRoad, LoadFilterLocateAndRewrite) {
  // Load: a shared open, walked to the end.
  {
    TDbfDataSet products;
    Bind(products, "products");
    products.Open();
    EXPECT_EQ(products.TableName(), "products.DBF");
    ExpectProducts(products, kProducts);
    EXPECT_EQ(products.RecordCount(), 7);
    EXPECT_EQ(products.FindField("VEIGHT"), nullptr);

    // While it is open, another process cannot take it exclusively.
    EXPECT_EQ(tables_test::RunHelper({"open", "X", SysFile("products.dbf")}), dbe::SharingViolation);
    EXPECT_EQ(tables_test::RunHelper({"open", "S", SysFile("products.dbf")}), 0);

    // Locate by code, as the ration window finds a dish's products.
    ASSERT_TRUE(products.Locate("CODE", Variant(57), 0));
    EXPECT_EQ(products.FieldByName("NAME").AsString(), Ansi("Сахар-песок"));
    EXPECT_FALSE(products.Locate("CODE", Variant(59), 0));
    EXPECT_EQ(products.FieldByName("CODE").AsInteger(), 57);  // stays where it was
    ASSERT_TRUE(products.Locate("NAME", Variant(Ansi("Мёд")), 0));
    EXPECT_EQ(products.FieldByName("CODE").AsInteger(), 58);
    products.Close();
  }

  // The composition of dish 12.
  {
    TDbfDataSet dish, comp;
    Bind(dish, "dish");
    Bind(comp, "dishcomp");
    dish.Open();
    ASSERT_TRUE(dish.Locate("CODE", Variant(12), 0));
    EXPECT_EQ(dish.FieldByName("NAME").AsString(), Ansi("Каша гречневая"));
    comp.Open();
    comp.SetFilter(Format("DISHCODE=%d", {dish.FieldByName("CODE").AsInteger()}));
    comp.SetFilteredOn(true);
    std::vector<std::pair<std::int32_t, double>> parts;
    for (comp.First(); !comp.Eof(); comp.Next())
      parts.emplace_back(comp.FieldByName("PRODCODE").AsInteger(), comp.FieldByName("VEIGHT").AsFloat());
    EXPECT_EQ(parts, (std::vector<std::pair<std::int32_t, double>>{{12, 80}, {57, 10}, {58, 5.5}}));
    comp.SetFilter("DISHCODE=14");
    EXPECT_EQ(comp.FieldByName("PRODCODE").AsInteger(), 60);
    comp.SetFilteredOn(false);
    EXPECT_EQ(comp.FieldByName("DISHCODE").AsInteger(), 12);
  }

  // Save: the table rewritten whole on an exclusive open.
  std::vector<Product> saved = kProducts;
  saved[1].name = "Гречка ядрица";
  saved[2].carb = 77.25;
  saved.erase(saved.begin() + 5);
  saved.push_back({61, 0, 0, "Кофе растворимый", 94, 15, 3.6, 0});
  {
    TDbfDataSet products;
    Bind(products, "products");
    products.Exclusive = true;
    products.Open();
    EXPECT_EQ(tables_test::RunHelper({"open", "S", SysFile("products.dbf")}), dbe::SharingViolation);
    const std::int64_t n = products.RecordCount();
    for (std::int64_t i = 0; i < n; ++i) {
      products.First();
      if (!products.Eof()) products.Delete();
    }
    EXPECT_TRUE(products.IsEmpty());
    EXPECT_EQ(products.RecordCount(), 7);  // deleted records still counted until the pack
    products.Pack();
    EXPECT_EQ(products.RecordCount(), 0);
    for (const Product& p : saved) {
      products.Append();
      products.FieldByName("CODE").SetAsInteger(p.code);
      products.FieldByName("OWNER").SetAsInteger(p.owner);
      products.FieldByName("FLAGS").SetAsInteger(p.flags);
      products.FieldByName("NAME").SetAsString(Ansi(p.name));
      if (p.cal != 0) products.FieldByName("CAL").SetAsString(FloatToStr(p.cal));
      products.FieldByName("ALB").SetAsFloat(p.alb);
      products.FieldByName("FAT").SetAsFloat(p.fat);
      products.FieldByName("CARB").SetAsFloat(p.carb);
    }
    if (products.State() == TDataSetState::dsInsert) products.Post();
    products.Close();
  }
  EXPECT_EQ(tables_test::RunHelper({"open", "X", SysFile("products.dbf")}), 0);
  {
    // Held exclusively by another process: the open fails with the engine's error.
    tables_test::HeldByOtherProcess holder({"X", SysFile("products.dbf")});
    ASSERT_TRUE(holder.Ready());
    TDbfDataSet blocked;
    Bind(blocked, "products");
    EXPECT_THROW(blocked.Open(), EDbfError);
    EXPECT_FALSE(blocked.Active());
  }

  // Reopened: the same rows, the names stored in 866, the file exactly as long as its records.
  TDbfDataSet products;
  Bind(products, "products");
  products.Open();
  ExpectProducts(products, saved);
  const std::string bytes = tables_test::ReadBytes(SysFile("products.dbf"));
  EXPECT_NE(bytes.find(cp::AnsiToOem(Ansi("Гречка ядрица"))), std::string::npos);
  EXPECT_EQ(bytes.find(Ansi("Гречка ядрица")), std::string::npos);
  const std::int64_t expectedSize =
      products.Handler()->HeaderLength() + products.Handler()->RecordLength() * std::ssize(saved) + 1;
  EXPECT_EQ(static_cast<std::int64_t>(bytes.size()), expectedSize);
  EXPECT_EQ(bytes.back(), '\x1A');
}

}  // namespace
