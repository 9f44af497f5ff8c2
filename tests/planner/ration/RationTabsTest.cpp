// The derived views of a document: totals grid, product lists with costs, the lazy rebuild.
#include <gtest/gtest.h>

#include "EditFakes.h"

using namespace edit_test;

namespace {

// A document of `days` days with products added by (day, name, code, cal, veight, alb, fat, carb).
struct TTabsFixture : TEditFixture {
  explicit TTabsFixture(int days) : TEditFixture(days) {}
  TMtTreeItem* Add(int day, const char* name, std::int32_t code, std::int32_t cal, std::int32_t veight,
                   double alb = 0, double fat = 0, double carb = 0) {
    TFoodRec r = Food(cal, veight, alb, 0, fat, 0, carb);
    TMtTreeItem* p = doc.AddItem(Day(day), Ansi(name), &r, fkProduct, code);
    doc.SumGroup(Day(day), false);
    return p;
  }
};

}  // namespace

TEST(RationTabs, TotalsGridOfATwoDayDocument) {
  TTabsFixture f(2);
  f.doc.Header.RefCal = 3000;
  f.doc.Header.RefAlb = 90;
  f.doc.Header.RefFat = 110;
  f.doc.Header.RefCarb = 420;
  f.Add(0, "Гречка", 1, 300, 500, 12, 3, 60);   // 1500 kcal, 60 / 15 / 300 g
  f.Add(1, "Сало", 2, 800, 100, 2, 80, 0);      // 800 kcal, 2 / 80 / 0 g
  f.editor.UpdateTotals();
  const auto& c = f.views.Totals.Cells;
  // Per day: 2300 / 2 = 1150 kcal, 0.3 kg, 31 / 47.5 / 150 g.
  EXPECT_EQ(c[0][tcEnergy], "1150");
  EXPECT_EQ(c[0][tcDeficit], "1850");
  EXPECT_EQ(c[0][tcVeight], "0.300");
  EXPECT_EQ(c[0][tcProtein], "31.00");
  EXPECT_EQ(c[0][tcFat], "47.50");
  EXPECT_EQ(c[0][tcCarb], "150.00");
  EXPECT_EQ(c[1][tcEnergy], "3000");
  EXPECT_EQ(Utf8(c[1][tcDeficit]), "не более 900");
  EXPECT_EQ(c[1][tcProtein], "90.00");
  EXPECT_EQ(c[2][tcEnergy], "2300");
  EXPECT_EQ(c[2][tcDeficit], "3700");
  EXPECT_EQ(c[2][tcVeight], "0.600");
  EXPECT_EQ(c[2][tcRatio], FormatRatio(62, 95, 300));
  EXPECT_EQ(Utf8(c[3][tcDeficit]), "не более 70000");
  EXPECT_EQ(c[3][tcRatio], FormatRatio(90, 110, 420));
  EXPECT_EQ(c[4][tcVeight], "1.800");  // three participants
  // The caption carries the rating's summary.
  AnsiString summary;
  RateRationSummary(f.doc.DayRecords(), summary, f.doc.Header.Norms(), f.doc.Header.Limits);
  EXPECT_EQ(f.views.Totals.Caption, Ansi("ИТОГО [") + summary + "]");
  // Totals row values follow the document's sums.
  EXPECT_EQ(f.views.Totals.Sums.Cal, FoodRecOf(f.Day(0))->Cal + FoodRecOf(f.Day(1))->Cal);
}

TEST(RationTabs, NoDaysGivesZerosAndNoDivision) {
  TEditFixture f(1);
  f.doc.Items()->Clear();
  EXPECT_EQ(f.doc.DayCounter, 0);
  f.editor.UpdateTotals();
  EXPECT_EQ(f.views.Totals.Cells[0][tcEnergy], "0");
  EXPECT_EQ(f.views.Totals.Cells[0][tcVeight], "0.000");
  EXPECT_TRUE(f.views.ShowTab(TRationTab::TripList));
  EXPECT_TRUE(f.views.TripList.empty());
  // A document whose day counter says 0 while products exist (a damaged file).
  TTabsFixture g(1);
  g.Add(0, "p", 1, 100, 100);
  g.doc.DayCounter = 0;
  g.editor.UpdateTotals();
  EXPECT_EQ(g.views.Totals.Cells[0][tcEnergy], "0");
  EXPECT_EQ(g.views.Totals.Cells[0][tcDeficit], std::to_string(g.doc.Header.RefCal));
  EXPECT_EQ(g.views.Totals.Cells[0][tcVeight], "0.000");
  EXPECT_EQ(g.views.Totals.Cells[0][tcProtein], "0.00");
  EXPECT_EQ(g.views.Totals.Cells[0][tcFat], "0.00");
  EXPECT_EQ(g.views.Totals.Cells[0][tcCarb], "0.00");
  const TProductListRows rows = BuildTripProductList(g.doc);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Columns[2], "0");
  EXPECT_EQ(rows[0].Columns[6], "0.100");
}

TEST(RationTabs, WholeTripListMergesByCodeUnderTheFirstName) {
  TTabsFixture f(3);
  for (int d = 0; d < 3; ++d) f.Add(d, d == 1 ? "Другое имя" : "Сахар", 57, 400, 100, 0, 0, 100);
  f.Add(2, "Чай", 60, 0, 5);
  const TProductListRows rows = BuildTripProductList(f.doc);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Utf8(rows[0].Text), "Сахар");
  const std::vector<AnsiString> want = {"1.", "400", "100", "0.00", "0.00", "100.00", "0.300", "0.900", "3", ""};
  EXPECT_EQ(rows[0].Columns, want);
  EXPECT_EQ(rows[1].Columns[0], "2.");
  EXPECT_EQ(rows[1].Columns[8], "1");
}

TEST(RationTabs, PerDayListHasABoldRowPerDay) {
  TTabsFixture f(2);
  TMtTreeItem* meal = f.doc.AddItem(f.Day(0), "m", nullptr, fkMeal, 1);
  TFoodRec r = Food(350, 80, 0, 12, 0, 3, 60);
  f.doc.AddItem(meal, Ansi("Гречка"), &r, fkProduct, 7);
  f.doc.AddItem(meal, Ansi("Гречка"), &r, fkProduct, 7);
  f.doc.AddItem(f.doc.AddItem(meal, "bare", nullptr, fkDish, 9), Ansi("Соль"), &r, fkProduct, 8);
  f.doc.Items()->AddItem(f.Day(0))->SetText("no record");
  const TProductListRows rows = BuildDayProductList(f.doc);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_TRUE(rows[0].Bold);
  EXPECT_EQ(rows[0].Level, 0);
  EXPECT_EQ(Utf8(rows[0].Text), "День 1");
  EXPECT_EQ(rows[0].Columns, (std::vector<AnsiString>{"840", "240", "28.80", "7.20", "144.00", "0.720", "1."}));
  EXPECT_EQ(Utf8(rows[1].Text), "Гречка");  // both occurrences as one row
  EXPECT_EQ(rows[1].Columns, (std::vector<AnsiString>{"560", "160", "19.20", "4.80", "96.00", "0.480", "1. 1"}));
  EXPECT_EQ(rows[2].Columns.back(), "1. 2");
  // An empty day: energy 0, weight 0.
  EXPECT_EQ(rows[3].Columns, (std::vector<AnsiString>{"0", "0", "0.00", "0.00", "0.00", "0.000", "2."}));
}

// A product whose reference values were edited while the document held it: old rows keep
// their values, new rows take the new ones. Both lists sum each occurrence's own values, so
// they agree with the days of the ration tree; the values per 100 g stay the first ones.
TEST(RationTabs, ListsSumEachOccurrencesOwnValues) {
  TTabsFixture f(2);
  f.Add(0, "Сыр", 5, 360, 100, 20, 30, 2);
  f.Add(0, "Хлеб", 6, 250, 200, 8, 1, 50);
  f.Add(1, "Сыр", 5, 400, 100, 24, 33, 0);  // edited values
  TMtTreeItem* meal = f.doc.AddItem(f.Day(1), "m", nullptr, fkMeal, 1);
  TFoodRec r = Food(420, 50, 25, 0, 35, 0, 1);
  f.doc.AddItem(meal, Ansi("Сыр"), &r, fkProduct, 5);
  f.doc.SumGroup(f.Day(1), false);
  const TProductListRows days = BuildDayProductList(f.doc);
  for (int d = 0; d < 2; ++d) {
    const TFoodRec* day = FoodRecOf(f.Day(d));
    const TProductListRow& row = days[d == 0 ? 0 : 3];
    ASSERT_TRUE(row.Bold);
    EXPECT_EQ(row.Columns[0], Format("%d", {day->Cal})) << d;
    EXPECT_EQ(row.Columns[2], Format("%3.2f", {day->AlbA + day->AlbV})) << d;
    EXPECT_EQ(row.Columns[3], Format("%3.2f", {day->FatA + day->FatV})) << d;
    EXPECT_EQ(row.Columns[4], Format("%3.2f", {day->Carb})) << d;
  }
  EXPECT_EQ(days[4].Columns[0], "610");  // 400 + 210 in day 2
  const TProductListRows trip = BuildTripProductList(f.doc);
  ASSERT_EQ(trip.size(), 2u);
  // 360 + 400 + 210 = 970 kcal over two days; 20 + 24 + 12.5 g protein.
  EXPECT_EQ(trip[0].Columns[1], "485");
  EXPECT_EQ(trip[0].Columns[3], "28.25");
  EXPECT_EQ(trip[0].Columns[8], "3");
  std::int64_t energy = 0;
  for (const TProductListRow& row : trip) energy += std::stoll(row.Columns[1]);
  EXPECT_EQ(energy * 2, FoodRecOf(f.Day(0))->Cal + FoodRecOf(f.Day(1))->Cal);
  // The values per 100 g of an entry are those of the first occurrence.
  TProductEntries entries;
  CollectProducts(f.Day(1), entries);
  CollectProducts(f.Day(0), entries);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Cal, 400);
  EXPECT_DOUBLE_EQ(entries[0].AlbA, 24);
  ASSERT_EQ(entries[0].Sets.size(), 3u);  // 400, 420 (day 2), 360 (day 1)
  EXPECT_EQ(entries[0].Sets[2].Cal, 360);
  EXPECT_EQ(entries[0].Sets[2].Veight, 100);
}

TEST(RationTabs, CostColumn) {
  TTabsFixture f(2);
  f.Add(0, "a", 1, 100, 100);
  f.Add(1, "b", 2, 100, 100);
  ASSERT_TRUE(f.views.ShowTab(TRationTab::TripList));
  f.doc.Modified = 0;
  EXPECT_FALSE(f.views.SetCost(0, "12a"));
  EXPECT_FALSE(f.views.SetCost(0, "-1"));
  EXPECT_FALSE(f.views.SetCost(5, "1"));
  EXPECT_EQ(f.doc.Modified, 0);
  ASSERT_TRUE(f.views.SetCost(0, "12,5"));
  EXPECT_EQ(f.views.TripList[0].Columns[kTripCostColumn], "     12.50");
  ASSERT_TRUE(f.views.SetCost(1, "17.5"));
  EXPECT_EQ(f.doc.Modified, 1);
  // S = 30, three participants, two days.
  EXPECT_EQ(f.views.Totals.Cells[0][tcCost], "      5.00");
  EXPECT_EQ(f.views.Totals.Cells[2][tcCost], "     10.00");
  EXPECT_EQ(f.views.Totals.Cells[4][tcCost], "     30.00");
  // Recomputing the totals leaves the cost cells alone.
  f.editor.UpdateTotals();
  EXPECT_EQ(f.views.Totals.Cells[4][tcCost], "     30.00");
}

TEST(RationTabs, ViewsAreRebuiltOnlyWhenShownAfterAChange) {
  TTabsFixture f(1);
  for (TRationTab tab : {TRationTab::Menu, TRationTab::DayList, TRationTab::TripList, TRationTab::Recommendations})
    EXPECT_TRUE(f.views.ShowTab(tab));
  for (TRationTab tab : {TRationTab::Menu, TRationTab::DayList, TRationTab::TripList, TRationTab::Recommendations})
    EXPECT_FALSE(f.views.ShowTab(tab));
  EXPECT_TRUE(f.views.TripList.empty());
  EXPECT_GT(f.views.Recommendations.Count(), 0);
  f.picker.queued = {{Product("Сахар", 57, 400, 50)}};
  f.Focus(f.Day(0));
  ASSERT_TRUE(f.editor.ItemAddProd());
  EXPECT_TRUE(f.views.TripList.empty());  // not before its tab is shown
  EXPECT_TRUE(f.views.ShowTab(TRationTab::TripList));
  EXPECT_EQ(f.views.TripList.size(), 1u);
  EXPECT_TRUE(f.views.ShowTab(TRationTab::DayList));
  EXPECT_EQ(f.views.DayList.size(), 2u);
}
