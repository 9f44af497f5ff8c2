// The shipped reference data in data/: every rule, row by row. A failure names the
// source line and the row's name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "platform/core/Files.h"
#include "refdata/RefCheck.h"

using namespace refdata;

namespace {

AnsiString DataDir() { return AnsiPath(TARNWICK_DATA_DIR) + "/"; }

const TRefData& Data() {
  static const TRefData data = LoadRefData(DataDir());
  return data;
}

void ExpectNoProblems(const TProblems& problems) {
  for (const AnsiString& p : problems) ADD_FAILURE() << cp::Ansi1251ToUtf8(p);
}

int CountRows(const TRefSource& t, bool folders) {
  int n = 0;
  for (const TRefRow& row : t.Rows()) n += ((t.Int(row, "FLAGS") & 1) != 0) == folders;
  return n;
}

}  // namespace

TEST(ShippedData, SourcesReadWithTheirTables) {
  try {
    const TRefData& d = Data();
    EXPECT_FALSE(d.Limits.empty());
  } catch (const Exception& e) {
    FAIL() << cp::Ansi1251ToUtf8(e.Message());
  }
}

TEST(ShippedData, ProductsHaveRealValuesPer100g) { ExpectNoProblems(CheckProducts(Data().Products)); }

TEST(ShippedData, DishesHoldTheSumsOfTheirComposition) {
  ExpectNoProblems(CheckDishes(Data().Dish, Data().DishComp, Data().Products));
}

TEST(ShippedData, MealsAreTheUsualOnes) { ExpectNoProblems(CheckMeals(Data().Meal)); }

TEST(ShippedData, EnergoHoldsTheKindsOfTripAndTheDefault) { ExpectNoProblems(CheckEnergo(Data().Energo)); }

TEST(ShippedData, LimitsAreTheProgramDefaults) { ExpectNoProblems(CheckLimits(Data().Limits)); }

TEST(ShippedData, EnoughRowsForARealTrip) {
  const TRefData& d = Data();
  EXPECT_GE(CountRows(d.Products, false), 150);
  EXPECT_GE(CountRows(d.Products, true), 10);
  EXPECT_GE(CountRows(d.Dish, false), 30);
  EXPECT_GE(CountRows(d.Dish, true), 4);  // porridges, soups, main courses, drinks
  EXPECT_GE(CountRows(d.Energo, true), 4);
  // Every kind of trip has the six difficulty categories.
  for (const TRefRow& kind : d.Energo.Rows()) {
    if (!(d.Energo.Int(kind, "FLAGS") & 1)) continue;
    std::set<AnsiString> categories;
    for (const TRefRow& row : d.Energo.Rows())
      if (d.Energo.Int(row, "OWNER") == d.Energo.Int(kind, "CODE")) categories.insert(d.Energo.Text(row, "NAME"));
    for (int c = 1; c <= 6; ++c)
      EXPECT_TRUE(categories.count(Format(Ansi("%d к.с."), {c})))
          << cp::Ansi1251ToUtf8(d.Energo.Where(kind) + " " + d.Energo.Text(kind, "NAME")) << ": " << c;
  }
}

TEST(ShippedData, DailyNeedsRiseWithTheCategory) {
  // Within a kind of trip, a harder category never needs less energy.
  const TRefSource& e = Data().Energo;
  for (std::size_t i = 1; i < e.Rows().size(); ++i) {
    const TRefRow& prev = e.Rows()[i - 1];
    const TRefRow& row = e.Rows()[i];
    if ((e.Int(row, "FLAGS") & 1) || (e.Int(prev, "FLAGS") & 1) || e.Int(row, "OWNER") != e.Int(prev, "OWNER"))
      continue;
    EXPECT_GT(e.Int(row, "CAL"), e.Int(prev, "CAL")) << cp::Ansi1251ToUtf8(e.Where(row));
  }
}
