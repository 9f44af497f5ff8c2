// Header-click sorting of the ration tree and the product lists.
#include <gtest/gtest.h>

#include <algorithm>

#include "EditFakes.h"
#include "planner/ration/RationSort.h"

using namespace edit_test;

namespace {

struct TSortFixture : TEditFixture {
  TSortFixture() : TEditFixture(2) {
    AddRationSections(doc.Tree());
    // Name, energy per 100 g, weight, protein: the orders differ by every column.
    struct Row {
      const char* name;
      std::int32_t cal, veight;
      double alb;
    };
    const Row rows[] = {
        {"Сыр", 360, 50, 24}, {"Гречка", 330, 120, 12.5}, {"Чай", 150, 5, 20}, {"Ветчина", 270, 80, 14}};
    for (int d = 0; d < 2; ++d)
      for (const Row& r : rows) {
        TFoodRec f = Food(r.cal, r.veight, r.alb);
        doc.AddItem(Day(d), Ansi(r.name), &f, fkProduct, r.cal);
      }
    for (int d = 0; d < 2; ++d) doc.SumGroup(Day(d), false);
    doc.Modified = 0;
    doc.RecalcDayList = doc.RecalcTotalList = 0;
  }
  std::vector<AnsiString> Names(int day) const {
    std::vector<AnsiString> v;
    for (int i = 0; i < Day(day)->GetChildrenCount(); ++i) v.push_back(Day(day)->GetChildren(i)->Text());
    return v;
  }
};

std::vector<AnsiString> A(std::initializer_list<const char*> names) {
  std::vector<AnsiString> v;
  for (const char* n : names) v.push_back(Ansi(n));
  return v;
}

}  // namespace

TEST(RationSort, EachSortingSectionOrdersTheRowsOfEveryDayBothWays) {
  struct Case {
    int section;
    std::vector<AnsiString> ascending;
  };
  // Energies of the rows 180, 396, 8, 216; weights 50, 120, 5, 80; protein 12, 15, 1, 11.2.
  const Case cases[] = {
      {0, A({"Ветчина", "Гречка", "Сыр", "Чай"})},  // Russian collation
      {1, A({"Чай", "Сыр", "Ветчина", "Гречка"})},
      {2, A({"Чай", "Сыр", "Ветчина", "Гречка"})},
      {3, A({"Чай", "Ветчина", "Сыр", "Гречка"})},
  };
  for (const Case& c : cases) {
    TSortFixture f;
    std::vector<AnsiString> expected = c.ascending;
    const AnsiString day0 = f.Day(0)->Text();
    ASSERT_TRUE(SortRationTreeByColumn(f.doc, c.section)) << c.section;
    EXPECT_EQ(f.Day(0)->Text(), day0);
    EXPECT_EQ(f.Names(0), expected) << c.section;
    EXPECT_EQ(f.Names(1), expected) << c.section;
    EXPECT_EQ(f.doc.Tree().HeaderSections()->FindByNumber(c.section)->SortMode(), hsmAscend);
    EXPECT_EQ(f.doc.Modified, 1);
    EXPECT_EQ(f.doc.RecalcDayList, 1);
    EXPECT_EQ(f.doc.RecalcTotalList, 1);
    ASSERT_TRUE(SortRationTreeByColumn(f.doc, c.section));
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(f.Names(0), expected) << c.section;
    EXPECT_EQ(f.doc.Tree().HeaderSections()->FindByNumber(c.section)->SortMode(), hsmDescend);
  }
}

TEST(RationSort, SectionsOutsideTheSortingOnesChangeNothing) {
  for (int section : {-1, 7, 8, 9}) {
    TSortFixture f;
    const std::vector<AnsiString> before = f.Names(0);
    EXPECT_FALSE(SortRationTreeByColumn(f.doc, section)) << section;
    EXPECT_EQ(f.Names(0), before);
    EXPECT_EQ(f.doc.Modified, 0);
  }
}

TEST(RationSort, TripListRowsFollowTheTreeAndAreRenumbered) {
  TSortFixture f;
  TProductListRows rows = BuildTripProductList(f.doc);
  ASSERT_EQ(rows.size(), 4u);
  rows[0].Columns[kTripCostColumn] = "     10.00";  // "Сыр"
  TCustomMtTree list;
  list.MainTreeColumn = 1;
  for (int s = 0; s <= 10; ++s) list.HeaderSections()->AddSection();
  for (const TProductListRow& r : rows) {
    TMtTreeItem* item = list.Items()->AddChild(nullptr, r.Text);
    for (const AnsiString& c : r.Columns) item->ColumnText().Add(c);
  }
  EXPECT_FALSE(SortTripListByColumn(list, rows, 0));  // the number does not sort
  ASSERT_TRUE(SortTripListByColumn(list, rows, 1));   // by name
  const std::vector<AnsiString> names = A({"Ветчина", "Гречка", "Сыр", "Чай"});
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const TMtTreeItem* item = list.Items()->Root()->GetChildren(static_cast<int>(i));
    EXPECT_EQ(item->Text(), names[i]);
    EXPECT_EQ(rows[i].Text, names[i]);
    EXPECT_EQ(item->ColumnText()[0], Format("%d.", {static_cast<int>(i) + 1}));
    EXPECT_EQ(rows[i].Columns[0], item->ColumnText()[0]);
  }
  EXPECT_EQ(rows[2].Columns[kTripCostColumn], "     10.00");
}
