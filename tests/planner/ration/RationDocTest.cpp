#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "planner/ration/RationDoc.h"
#include "planner/ration/TestFood.h"
#include "platform/core/AnsiText.h"

namespace {

std::vector<std::string> Row(const TMtTreeItem* item) {
  std::vector<std::string> row;
  for (int i = 0; i < item->ColumnText().Count(); ++i) row.push_back(item->ColumnText()[i]);
  return row;
}

std::string Day(int n) { return Ansi("День " + std::to_string(n)); }

// Texts and Codes of the top-level items, in order.
std::vector<std::string> TopTexts(const TRationDocument& doc) {
  std::vector<std::string> texts;
  const TMtTreeItem* root = doc.Items()->Root();
  for (int i = 0; i < root->GetChildrenCount(); ++i) texts.push_back(root->GetChildren(i)->Text());
  return texts;
}
std::vector<int> TopCodes(const TRationDocument& doc) {
  std::vector<int> codes;
  const TMtTreeItem* root = doc.Items()->Root();
  for (int i = 0; i < root->GetChildrenCount(); ++i) {
    const TFoodRec* rec = FoodRecOf(root->GetChildren(i));
    codes.push_back(rec != nullptr ? rec->Code : 0);
  }
  return codes;
}

TMtTreeItem* AddDay(TRationDocument& doc, TMtTreeItem* parent = nullptr) {
  return doc.AddItem(parent, "", nullptr, fkDay, 0);
}
TMtTreeItem* AddProduct(TRationDocument& doc, TMtTreeItem* parent, const TFoodRec& food,
                        std::int32_t code = 1) {
  return doc.AddItem(parent, "product", &food, fkProduct, code);
}

// A meal (Code 10) in the day with a dish (Code 20) in it.
struct MealAndDish {
  TMtTreeItem* meal;
  TMtTreeItem* dish;
};
MealAndDish AddMealAndDish(TRationDocument& doc, TMtTreeItem* day) {
  TMtTreeItem* meal = doc.AddItem(day, "meal", nullptr, fkMeal, 10);
  return {meal, doc.AddItem(meal, "dish", nullptr, fkDish, 20)};
}

// ---------------------------------------------------------------------------------
// Row values

TEST(RationRowTest, EnergyRoundsHalvesToEvenExactlyIn64Bits) {
  struct Case {
    std::int32_t cal, veight;
    std::int64_t energy;
  };
  const Case cases[] = {
      {101, 50, 50},    // 50.5
      {101, 150, 152},  // 151.5
      {105, 10, 10},    // 10.5
      {3, 50, 2},       // 1.5
      {1, 50, 0},       // 0.5
      {1, 51, 1},       // 0.51
      {-101, 50, -50},
      {-101, 150, -152},
      {-1, 51, -1},
      {350, 0, 0},
      {INT_MAX, INT_MAX, 46116860141324206},   // 4611686014132420609 / 100
      {INT_MIN, INT_MAX, -46116860162799043},  // -4611686016279904256 / 100: .56 away
      {INT_MIN, INT_MIN, 46116860184273879},   // 4611686018427387904 / 100, .04 down
  };
  for (const Case& c : cases)
    EXPECT_EQ(RoundedEnergy(c.cal, c.veight), c.energy) << c.cal << " x " << c.veight;
}

TEST(RationRowTest, ProductRowTexts) {
  struct Case {
    TFoodRec food;
    std::int32_t mans;
    std::vector<std::string> row;
  };
  const Case cases[] = {
      {Food(101, 50), 1, {"50", "50", "0.00", "0.00", "0.00", "0.050", "", "0/0/0"}},
      {Food(101, 150), 1, {"152", "150", "0.00", "0.00", "0.00", "0.150", "", "0/0/0"}},
      {Food(0, 250), 3, {"0", "250", "0.00", "0.00", "0.00", "0.750", "", "0/0/0"}},
      {Food(350, 80, 10, 2.5, 1, 0.5, 70),
       3,
       {"280", "80", "10.00", "1.20", "56.00", "0.240", "", "1.0/0.1/5.6"}},
      {Food(400, 100, 20, 0, 24, 0, 92),
       2,
       {"400", "100", "20.00", "24.00", "92.00", "0.200", "", "1.0/1.2/4.6"}},
      // participants x weight beyond int32
      {Food(0, 1000), INT_MAX, {"0", "1000", "0.00", "0.00", "0.00", "2147483647.000", "", "0/0/0"}},
      {Food(INT_MAX, INT_MAX),
       1,
       {"46116860141324206", "2147483647", "0.00", "0.00", "0.00", "2147483.647", "", "0/0/0"}},
  };
  for (const Case& c : cases) {
    TRationDocument doc;
    doc.Mans = c.mans;
    TMtTreeItem* day = AddDay(doc);
    EXPECT_EQ(Row(AddProduct(doc, day, c.food)), c.row) << c.food.Cal << " x " << c.food.Veight;
  }
}

TEST(RationRowTest, FormatRatio) {
  struct Case {
    double a, f, c;
    std::string text;
  };
  const Case cases[] = {
      {0, 0, 0, "0/0/0"},           {0, 0, 0.5, "0/0/0"},  // below 1 in all
      {60, 72, 276, "1.0/1.2/4.6"}, {0, 12, 46, "0.0/1.2/4.6"}, {std::nan(""), 1, 1, "0/0/0"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatRatio(c.a, c.f, c.c), c.text) << c.a << " " << c.f << " " << c.c;
}

// ---------------------------------------------------------------------------------
// Sums

TEST(RationSumTest, EachProductEnergyIsRoundedOnItsOwn) {
  TRationDocument doc;
  TMtTreeItem* day = AddDay(doc);
  AddProduct(doc, day, Food(105, 10), 1);  // 10.5 -> 10
  AddProduct(doc, day, Food(105, 10), 2);  // 10.5 -> 10
  doc.SumGroup(day, false);
  EXPECT_EQ(FoodRecOf(day)->Cal, 20);
  EXPECT_EQ(Row(day)[rcEnergy], "20");
}

TEST(RationSumTest, EmptyGroupRow) {
  for (std::int32_t kind : {fkDay, fkMeal, fkDish}) {
    TRationDocument doc;
    TMtTreeItem* group = kind == fkDay ? AddDay(doc) : doc.AddItem(AddDay(doc), "g", nullptr, kind, 7);
    // Values a group may carry in from a copied record are replaced by the sums.
    TFoodRec* rec = FoodRecOf(group);
    rec->Cal = 99;
    rec->Veight = 99;
    rec->Carb = 5;
    group->ColumnText().SetString(rcComment, "note");
    doc.SumGroup(group, true);
    EXPECT_EQ(Row(group),
              (std::vector<std::string>{"0", "0", "0.00", "0.00", "0.00", "0.000", "note", "0/0/0"}))
        << "kind " << kind;
  }
}

TEST(RationSumTest, NestedGroupsAndProducts) {
  TRationDocument doc;
  doc.Mans = 2;
  TMtTreeItem* day = AddDay(doc);
  const auto [meal, dish] = AddMealAndDish(doc, day);
  AddProduct(doc, dish, Food(300, 50, 4, 6, 2, 8, 60), 30);   // 150 kcal, 2+3, 1+4, 30
  AddProduct(doc, meal, Food(101, 50, 10, 0, 0, 0, 0), 31);   // 50 kcal (50.5), 5
  AddProduct(doc, day, Food(200, 100, 0, 0, 0, 10, 20), 32);  // 200 kcal, fat 10, carb 20
  doc.SumGroup(day, false);

  const TFoodRec& d = *FoodRecOf(dish);
  EXPECT_EQ(d.Cal, 150);
  EXPECT_EQ(d.Veight, 50);
  EXPECT_DOUBLE_EQ(d.AlbA, 2);
  EXPECT_DOUBLE_EQ(d.AlbV, 3);
  EXPECT_DOUBLE_EQ(d.FatA, 1);
  EXPECT_DOUBLE_EQ(d.FatV, 4);
  EXPECT_DOUBLE_EQ(d.Carb, 30);
  EXPECT_EQ(FoodRecOf(meal)->Cal, 200);
  EXPECT_EQ(FoodRecOf(meal)->Veight, 100);
  EXPECT_DOUBLE_EQ(FoodRecOf(meal)->AlbA, 7);

  const TFoodRec& r = *FoodRecOf(day);
  EXPECT_EQ(r.Cal, 400);
  EXPECT_EQ(r.Veight, 200);
  EXPECT_DOUBLE_EQ(r.AlbA + r.AlbV, 10);
  EXPECT_DOUBLE_EQ(r.FatA + r.FatV, 15);
  EXPECT_DOUBLE_EQ(r.Carb, 50);
  EXPECT_EQ(Row(day),
            (std::vector<std::string>{"400", "200", "10.00", "15.00", "50.00", "0.400", "", "1.0/1.5/5.0"}));
  EXPECT_EQ(Row(dish)[rcEnergy], "150");
  EXPECT_EQ(Row(meal)[rcGroupVeight], "0.200");
}

TEST(RationSumTest, ProductsAreRedrawnOnlyWhenAskedAndOnlyDirectlyBelow) {
  TRationDocument doc;
  TMtTreeItem* day = AddDay(doc);
  TMtTreeItem* direct = AddProduct(doc, day, Food(100, 100), 1);
  TMtTreeItem* meal = doc.AddItem(day, "meal", nullptr, fkMeal, 10);
  TMtTreeItem* nested = AddProduct(doc, meal, Food(100, 100), 2);
  FoodRecOf(direct)->Veight = 200;
  FoodRecOf(nested)->Veight = 300;

  doc.SumGroup(day, false);
  EXPECT_EQ(Row(direct)[rcVeight], "100");
  EXPECT_EQ(Row(nested)[rcVeight], "100");
  EXPECT_EQ(Row(day)[rcEnergy], "500");  // the sums use the records all the same
  EXPECT_EQ(Row(day)[rcVeight], "500");

  doc.SumGroup(day, true);
  EXPECT_EQ(Row(direct)[rcEnergy], "200");
  EXPECT_EQ(Row(direct)[rcVeight], "200");
  EXPECT_EQ(Row(nested)[rcVeight], "100");  // below a nested group: not redrawn

  doc.SumGroup(meal, true);
  EXPECT_EQ(Row(nested)[rcVeight], "300");
}

TEST(RationSumTest, SumsBeyondInt32SaturateTheFieldsWithoutOverflow) {
  struct Case {
    std::vector<TFoodRec> products;
    std::int32_t cal, veight;
  };
  const Case cases[] = {
      {{Food(INT_MAX, INT_MAX), Food(INT_MAX, INT_MAX)}, INT_MAX, INT_MAX},
      {{Food(INT_MIN, INT_MAX), Food(INT_MIN, INT_MAX)}, INT_MIN, INT_MAX},
      {{Food(100, INT_MAX), Food(100, INT_MAX)}, INT_MAX, INT_MAX},
      {{Food(100, INT_MIN), Food(100, INT_MIN)}, INT_MIN, INT_MIN},
      // Large terms that cancel: the exact sum fits.
      {{Food(INT_MAX, INT_MAX), Food(INT_MIN, INT_MAX), Food(100, 50)}, -21474787, INT_MAX},
      {{Food(1000, 2000000000), Food(1000, -2000000000), Food(100, 50)}, 50, 50},
  };
  for (const Case& c : cases) {
    TRationDocument doc;
    doc.Mans = INT_MAX;
    TMtTreeItem* day = AddDay(doc);
    // Enough of each to run past the 64-bit range too.
    for (int rep = 0; rep < (c.products.size() == 2 ? 400 : 1); ++rep)
      for (const TFoodRec& p : c.products) AddProduct(doc, day, p);
    doc.SumGroup(day, true);
    EXPECT_EQ(FoodRecOf(day)->Cal, c.cal);
    EXPECT_EQ(FoodRecOf(day)->Veight, c.veight);
    EXPECT_EQ(Row(day)[rcEnergy], std::to_string(c.cal));
  }
}

TEST(RationSumTest, NestedSaturatedGroupsKeepSaturating) {
  TRationDocument doc;
  TMtTreeItem* day = AddDay(doc);
  for (int m = 0; m < 3; ++m) {
    TMtTreeItem* meal = doc.AddItem(day, "meal", nullptr, fkMeal, m);
    AddProduct(doc, meal, Food(INT_MAX, INT_MAX));
  }
  doc.SumGroup(day, false);
  EXPECT_EQ(FoodRecOf(day)->Cal, INT_MAX);
  EXPECT_EQ(FoodRecOf(day)->Veight, INT_MAX);
}

TEST(RationSumTest, ValuesThatAreNoNumberAreShownNotRounded) {
  TRationDocument doc;
  TMtTreeItem* day = AddDay(doc);
  const double inf = std::numeric_limits<double>::infinity();
  AddProduct(doc, day, Food(100, 100, std::nan(""), 0, inf, 0, 1e308));
  AddProduct(doc, day, Food(100, 100, 0, 0, 0, 0, 1e308));
  doc.SumGroup(day, true);
  const std::vector<std::string> row = Row(day);
  EXPECT_EQ(row[rcEnergy], "200");
  EXPECT_EQ(row[rcProtein], "NAN");
  EXPECT_EQ(row[rcFat], "INF");
  EXPECT_EQ(row[rcCarb], "INF");
  EXPECT_EQ(row[rcRatio], "0/0/0");
}

TEST(RationSumTest, NothingHappensForNilItemsWithoutRecordAndProducts) {
  TRationDocument doc;
  doc.SumGroup(nullptr, true);
  TMtTreeItem* day = AddDay(doc);
  TMtTreeItem* product = AddProduct(doc, day, Food(250, 40, 1, 2, 3, 4, 5));
  doc.SumGroup(product, true);  // a product keeps its values per 100 g
  EXPECT_EQ(FoodRecOf(product)->Cal, 250);
  EXPECT_EQ(FoodRecOf(product)->Veight, 40);
  EXPECT_DOUBLE_EQ(FoodRecOf(product)->Carb, 5);

  // An item without a record: left alone itself and left out of its parent's sums.
  TMtTreeItem* bare = doc.Items()->AddChild(day, "bare");
  doc.Items()->AddChild(bare, "child");
  AddProduct(doc, bare, Food(100, 100));  // below an item without record: not summed
  bare->ColumnText().Add("x");
  doc.SumGroup(bare, true);
  EXPECT_EQ(Row(bare), (std::vector<std::string>{"x"}));
  doc.UpdateItemRow(bare);
  EXPECT_EQ(Row(bare), (std::vector<std::string>{"x"}));
  doc.SumGroup(day, true);
  EXPECT_EQ(FoodRecOf(day)->Cal, 100);
  EXPECT_EQ(FoodRecOf(day)->Veight, 40);
}

TEST(RationSumTest, UpdateItemRowLeavesTheCommentAndFillsShortRows) {
  TRationDocument doc;
  TMtTreeItem* day = AddDay(doc);
  TMtTreeItem* product = AddProduct(doc, day, Food(120, 100, 5, 5, 1, 1, 20));
  product->ColumnText().SetString(rcComment, "fresh");
  FoodRecOf(product)->Veight = 250;
  doc.Mans = 3;
  doc.UpdateItemRow(product);
  EXPECT_EQ(Row(product), (std::vector<std::string>{"300", "250", "25.00", "5.00", "50.00", "0.750", "fresh",
                                                    "1.0/0.2/2.0"}));

  // A row with fewer column texts (as a loader may leave it) grows to all of them.
  TMtTreeItem* bare = doc.Items()->AddChild(day, "loaded");
  bare->ColumnText().Add("1");
  doc.AttachRecord(bare, Food(100, 10));
  doc.UpdateItemRow(bare);
  EXPECT_EQ(Row(bare), (std::vector<std::string>{"10", "10", "0.00", "0.00", "0.00", "0.030", "", "0/0/0"}));
}

// ---------------------------------------------------------------------------------
// Adding items

TEST(RationAddTest, RecordOfANewItem) {
  struct Case {
    std::int32_t kind;
    std::int32_t flags;
  };
  const Case cases[] = {{fkMeal, 5}, {fkDish, 5}, {fkProduct, 6}};
  for (const Case& c : cases) {
    TRationDocument doc;
    TMtTreeItem* day = AddDay(doc);
    TMtTreeItem* meal = doc.AddItem(day, "meal", nullptr, fkMeal, 77);
    TFoodRec source = Food(321, 45, 1.5, 2.5, 3.5, 4.5, 8);
    source.Code = 999;  // the first 16 bytes of the source are not taken
    source.Owner = 998;
    source.Flags = 997;
    source.Kind = 996;
    TMtTreeItem* item = doc.AddItem(meal, "name", &source, c.kind, 55);
    const TFoodRec& rec = *FoodRecOf(item);
    EXPECT_EQ(rec.Code, 55);
    EXPECT_EQ(rec.Owner, 77);
    EXPECT_EQ(rec.Flags, c.flags);
    EXPECT_EQ(rec.Kind, c.kind);
    EXPECT_EQ(std::memcmp(&rec.Cal, &source.Cal, 48), 0);
    EXPECT_EQ(item->Text(), "name");
    EXPECT_EQ(item->GetParent(), meal);
    EXPECT_EQ(item->GetIndex(), 0);
    // Every new row starts in the product form.
    EXPECT_EQ(Row(item),
              (std::vector<std::string>{"144", "45", "1.80", "3.60", "3.60", "0.045", "", "1.0/2.0/2.0"}));
    EXPECT_EQ(FoodRecOf(meal)->Owner, FoodRecOf(day)->Code);
  }
}

TEST(RationAddTest, OwnerWithoutParentRecordAndValuesWithoutSource) {
  TRationDocument doc;
  TMtTreeItem* bare = doc.Items()->AddChild(nullptr, "bare");
  TMtTreeItem* item = doc.AddItem(bare, "p", nullptr, fkProduct, 5);
  TFoodRec expected{};
  expected.Code = 5;
  expected.Flags = 6;
  EXPECT_EQ(std::memcmp(FoodRecOf(item), &expected, sizeof expected), 0);
  TMtTreeItem* top = doc.AddItem(nullptr, "m", nullptr, fkMeal, 9);
  EXPECT_EQ(FoodRecOf(top)->Owner, 0);
  EXPECT_EQ(top->GetParent(), nullptr);
  EXPECT_EQ(top->GetIndex(), 1);
}

TEST(RationAddTest, AppearanceByKind) {
  TRationDocument doc;
  doc.Color = 0x123456;
  TMtTreeItem* day = AddDay(doc);
  const auto [meal, dish] = AddMealAndDish(doc, day);
  doc.SetRationType(rtDayMenu);  // a new background: items made before keep theirs
  TMtTreeItem* product = AddProduct(doc, dish, Food(1, 1));

  EXPECT_FALSE(day->ParentStyle());
  EXPECT_TRUE(day->GetState(isBold));
  EXPECT_TRUE(day->ParentColors());
  EXPECT_TRUE(meal->ParentColors());
  EXPECT_TRUE(meal->ParentStyle());
  EXPECT_FALSE(meal->GetState(isBold));
  EXPECT_FALSE(dish->ParentColors());
  EXPECT_EQ(dish->Color(), kDishTextColor);
  EXPECT_EQ(dish->BkColor(), 0x123456u);
  EXPECT_TRUE(dish->ParentStyle());
  EXPECT_FALSE(product->ParentColors());
  EXPECT_EQ(product->Color(), kProductTextColor);
  EXPECT_EQ(product->BkColor(), kDayMenuRationColor);
}

TEST(RationAddTest, RecalculationAndModifiedFlags) {
  TRationDocument doc;
  EXPECT_EQ(doc.RecalcMenu + doc.RecalcDayList + doc.RecalcTotalList + doc.RecalcComments + doc.Modified, 0);
  TMtTreeItem* day = AddDay(doc);
  using Change = void (*)(TRationDocument&, TMtTreeItem*);
  const Change changes[] = {[](TRationDocument& d, TMtTreeItem*) { AddDay(d); },
                            [](TRationDocument& d, TMtTreeItem* p) { d.AddItem(p, "m", nullptr, fkMeal, 1); },
                            [](TRationDocument& d, TMtTreeItem* p) { AddProduct(d, p, Food(1, 1)); }};
  for (Change set : changes) {
    doc.RecalcMenu = doc.RecalcDayList = doc.RecalcTotalList = doc.RecalcComments = doc.Modified = 0;
    set(doc, day);
    EXPECT_EQ(doc.RecalcMenu, 1);
    EXPECT_EQ(doc.RecalcDayList, 1);
    EXPECT_EQ(doc.RecalcTotalList, 1);
    EXPECT_EQ(doc.RecalcComments, 1);
    EXPECT_EQ(doc.Modified, 1);
  }
  // Sums, renumbering and searching change nothing of the document's own.
  doc.RecalcMenu = doc.RecalcDayList = doc.RecalcTotalList = doc.RecalcComments = doc.Modified = 0;
  doc.SumGroup(day, true);
  doc.RenumberDays();
  doc.FindChildByCode(nullptr, fkProduct, true, 1);
  EXPECT_EQ(doc.RecalcMenu + doc.RecalcDayList + doc.RecalcTotalList + doc.RecalcComments + doc.Modified, 0);
}

// Adding a day: where it goes, by the item given as Parent (a path of child indexes
// from the top level; empty for nil) in a ration of three days where day 2 holds a
// meal with a dish with a product, and day 3 a product.
TEST(RationAddTest, DayGoesBeforeTheDayOfParentOrLast) {
  struct Case {
    const char* name;
    std::vector<int> parent;
    std::vector<int> codes;  // Codes of the top-level items afterwards
  };
  const Case cases[] = {
      {"nil appends", {}, {1, 2, 3, 4}},
      {"first day", {0}, {4, 1, 2, 3}},
      {"a day", {1}, {1, 4, 2, 3}},
      {"the last day", {2}, {1, 2, 4, 3}},
      {"a meal", {1, 0}, {1, 4, 2, 3}},
      {"a product deep down", {1, 0, 0, 0}, {1, 4, 2, 3}},
      {"a product of the last day", {2, 0}, {1, 2, 4, 3}},
      {"an item without record in no day", {3}, {1, 2, 3, 0, 4}},
      {"an item without record in a day", {2, 1}, {1, 2, 4, 3}},
  };
  for (const Case& c : cases) {
    TRationDocument doc;
    AddDay(doc);
    TMtTreeItem* day2 = AddDay(doc);
    TMtTreeItem* day3 = AddDay(doc);
    const auto [meal, dish] = AddMealAndDish(doc, day2);
    AddProduct(doc, dish, Food(1, 1), 30);
    AddProduct(doc, day3, Food(1, 1), 31);
    doc.Items()->AddChild(day3, "bare");
    if (c.parent == std::vector<int>{3}) doc.Items()->AddChild(nullptr, "bare top");
    TMtTreeItem* parent = nullptr;
    for (int i : c.parent) parent = (parent != nullptr ? parent : doc.Items()->Root())->GetChildren(i);

    TMtTreeItem* added = AddDay(doc, parent);
    EXPECT_EQ(TopCodes(doc), c.codes) << c.name;
    EXPECT_EQ(added->GetParent(), nullptr) << c.name;
    EXPECT_EQ(added->Text(), Day(4)) << c.name;
    EXPECT_EQ(FoodRecOf(added)->Flags, 5) << c.name;
    EXPECT_EQ(FoodRecOf(added)->Owner, 0) << c.name;
    EXPECT_EQ(doc.DayCounter, 4) << c.name;
  }
}

TEST(RationAddTest, DayTextAndCodeComeFromTheCounter) {
  TRationDocument doc;
  doc.DayCounter = 6;  // as a version-2 file sets it
  const TFoodRec source = Food(500, 600);
  TMtTreeItem* day = doc.AddItem(nullptr, "ignored", &source, fkDay, 42);
  EXPECT_EQ(day->Text(), Day(7));
  EXPECT_EQ(FoodRecOf(day)->Code, 7);
  EXPECT_EQ(FoodRecOf(day)->Cal, 500);
  EXPECT_EQ(doc.DayCounter, 7);
  doc.DayCounter = INT_MAX;
  EXPECT_EQ(FoodRecOf(AddDay(doc))->Code, INT_MAX);
}

// ---------------------------------------------------------------------------------
// Deleting items

TEST(RationDeleteTest, DeletingTheThirdOfFiveDays) {
  for (bool ready : {false, true}) {
    TRationDocument doc;
    for (int i = 0; i < 5; ++i) AddDay(doc);
    doc.Days = 5;
    doc.DocumentReady = ready ? 1 : 0;
    int daysChanged = 0;
    doc.OnDaysChange = [&](TObject*) { ++daysChanged; };
    TMtTreeItem* third = doc.Items()->Root()->GetChildren(2);
    AddProduct(doc, doc.AddItem(third, "meal", nullptr, fkMeal, 1), Food(1, 1));

    third->Delete();
    EXPECT_EQ(TopTexts(doc), (std::vector<std::string>{Day(1), Day(2), Day(4), Day(5)}));
    EXPECT_EQ(doc.DayCounter, 4);
    EXPECT_EQ(doc.Days, ready ? 4 : 5);
    EXPECT_EQ(daysChanged, ready ? 1 : 0);
    EXPECT_EQ(doc.RecordCount(), 4);

    AddDay(doc);
    EXPECT_EQ(TopCodes(doc), (std::vector<int>{1, 2, 4, 5, 5}));
    doc.RenumberDays();
    EXPECT_EQ(TopTexts(doc), (std::vector<std::string>{Day(1), Day(2), Day(3), Day(4), Day(5)}));
    EXPECT_EQ(TopCodes(doc), (std::vector<int>{1, 2, 4, 5, 5}));
    EXPECT_EQ(doc.DayCounter, 5);
  }
}

TEST(RationDeleteTest, DeletionFreesTheRecordsOfTheSubtreeAndTellsTheWindow) {
  TRationDocument doc;
  doc.DocumentReady = 1;
  doc.Days = 2;
  TMtTreeItem* day = AddDay(doc);
  AddDay(doc);
  const auto [meal, dish] = AddMealAndDish(doc, day);
  for (int i = 0; i < 3; ++i) AddProduct(doc, dish, Food(1, 1), i);
  TMtTreeItem* bare = doc.Items()->AddChild(meal, "bare");
  EXPECT_EQ(doc.RecordCount(), 7);

  std::vector<std::string> told;
  doc.OnItemDeletion = [&](TObject*, TMtTreeItem* item) { told.push_back(item->Text()); };
  bare->Delete();  // no record: nothing but the notice
  EXPECT_EQ(doc.RecordCount(), 7);
  EXPECT_EQ(doc.DayCounter, 2);
  dish->Delete();
  EXPECT_EQ(doc.RecordCount(), 3);
  EXPECT_EQ(doc.DayCounter, 2);
  EXPECT_EQ(doc.Days, 2);
  doc.Items()->Clear();
  EXPECT_EQ(doc.RecordCount(), 0);
  EXPECT_EQ(doc.DayCounter, 0);
  EXPECT_EQ(doc.Days, 0);
  EXPECT_EQ(told, (std::vector<std::string>{"bare", "product", "product", "product", "dish", "meal", Day(1),
                                            Day(2)}));
}

TEST(RationDeleteTest, CountersDoNotGoBelowZero) {
  TRationDocument doc;
  AddDay(doc);
  AddDay(doc);
  doc.DayCounter = 1;  // a file that said fewer days than it holds
  doc.Days = 1;
  doc.DocumentReady = 1;
  doc.Items()->Clear();
  EXPECT_EQ(doc.DayCounter, 0);
  EXPECT_EQ(doc.Days, 0);
}

// A tree as the window's control is: a TCustomMtTree of its own that outlives the
// document.
class WindowTree : public TCustomMtTree {
 public:
  ~WindowTree() override { DestroyItems(); }
  int deleted = 0;

 protected:
  void DoItemDelete(TMtTreeItem* item) override {
    ++deleted;
    TCustomMtTree::DoItemDelete(item);
  }
};

TEST(RationDeleteTest, DocumentOnTheWindowsTreeFreesEverythingWhenItGoes) {
  WindowTree tree;
  {
    TRationDocument doc(tree);
    EXPECT_EQ(&doc.Tree(), &tree);
    doc.DocumentReady = 1;
    doc.Days = 3;
    int told = 0;
    doc.OnItemDeletion = [&](TObject*, TMtTreeItem*) { ++told; };
    for (int d = 0; d < 3; ++d) AddProduct(doc, AddDay(doc), Food(10, 10));
    EXPECT_EQ(tree.Items()->Count(), 6);
    EXPECT_EQ(doc.RecordCount(), 6);
    doc.Items()->Root()->GetChildren(0)->Delete();
    EXPECT_EQ(told, 2);
    EXPECT_EQ(doc.Days, 2);
  }
  // The records went with the document, and the items that pointed to them.
  EXPECT_EQ(tree.Items()->Count(), 0);
  EXPECT_EQ(tree.deleted, 6);
  EXPECT_FALSE(tree.HasItemDataOwner());
  tree.Items()->AddChild(nullptr, "later");  // the tree goes on without the document
}

// The window puts its own handler on the tree's deletion event, before or after the
// document binds: the handler still sees each record, and every record is freed once.
TEST(RationDeleteTest, WindowsOwnDeletionHandlerComposesWithTheDocuments) {
  for (const bool handlerFirst : {true, false}) {
    WindowTree tree;
    std::vector<std::int32_t> seenKinds;
    auto handler = [&](TObject*, TMtTreeItem* item) {
      const TFoodRec* rec = FoodRecOf(item);
      seenKinds.push_back(rec != nullptr ? rec->Kind : -9);
    };
    if (handlerFirst) tree.OnItemDeletion = handler;
    {
      TRationDocument doc(tree);
      if (!handlerFirst) tree.OnItemDeletion = handler;
      int told = 0;
      doc.OnItemDeletion = [&](TObject*, TMtTreeItem*) { ++told; };
      TMtTreeItem* day = AddDay(doc);
      AddProduct(doc, day, Food(10, 10));
      AddProduct(doc, AddDay(doc), Food(10, 10));
      EXPECT_EQ(doc.RecordCount(), 4);
      day->Delete();
      EXPECT_EQ(doc.RecordCount(), 2) << handlerFirst;
      EXPECT_EQ(told, 2);
      EXPECT_EQ(seenKinds, (std::vector<std::int32_t>{fkProduct, fkDay}));
      EXPECT_EQ(doc.DayCounter, 1);
    }
    EXPECT_EQ(seenKinds.size(), 4u);
    EXPECT_FALSE(tree.HasItemDataOwner());
    EXPECT_TRUE(tree.OnItemDeletion);  // the window's handler is left as it was
  }
}

TEST(RationDeleteTest, WholeDocumentGoesWithItsOwnTree) {
  auto doc = std::make_unique<TRationDocument>();
  doc->DocumentReady = 1;
  for (int d = 0; d < 4; ++d) {
    TMtTreeItem* day = AddDay(*doc);
    for (int m = 0; m < 3; ++m) {
      TMtTreeItem* meal = doc->AddItem(day, "meal", nullptr, fkMeal, m);
      for (int p = 0; p < 4; ++p) AddProduct(*doc, meal, Food(100, 100), p);
    }
    doc->SumGroup(day, true);
  }
  doc->AttachRecord(doc->Items()->AddChild(nullptr, "loaded"), Food(1, 1));
  EXPECT_EQ(doc->RecordCount(), 4 * (1 + 3 * 5) + 1);
  doc.reset();  // ASan reports any record left behind
}

TEST(RationDeleteTest, AttachRecordReplacesAndFrees) {
  TRationDocument doc;
  TMtTreeItem* item = doc.Items()->AddChild(nullptr, "loaded");
  TFoodRec rec = Food(5, 6);
  rec.Kind = fkDay;
  doc.AttachRecord(item, rec);
  rec.Kind = fkMeal;
  doc.AttachRecord(item, rec);
  doc.AttachRecord(nullptr, rec);
  EXPECT_EQ(doc.RecordCount(), 1);
  EXPECT_EQ(FoodRecOf(item)->Kind, fkMeal);
  doc.DayCounter = 3;
  item->Delete();
  EXPECT_EQ(doc.DayCounter, 3);  // no longer a day
  EXPECT_EQ(doc.RecordCount(), 0);
}

// ---------------------------------------------------------------------------------
// Finding and walking

TEST(RationFindTest, FindChildByCode) {
  TRationDocument doc;
  TMtTreeItem* day1 = AddDay(doc);
  TMtTreeItem* day2 = AddDay(doc);
  const auto [meal, dish] = AddMealAndDish(doc, day1);
  TMtTreeItem* deep = AddProduct(doc, dish, Food(1, 1), 30);
  TMtTreeItem* direct = AddProduct(doc, day1, Food(1, 1), 30);
  TMtTreeItem* other = AddProduct(doc, day2, Food(1, 1), 40);
  TMtTreeItem* bare = doc.Items()->AddChild(day2, "bare");
  AddProduct(doc, bare, Food(1, 1), 50);  // below an item without record
  TMtTreeItem* bareTop = doc.Items()->AddChild(nullptr, "bare top");
  AddProduct(doc, bareTop, Food(1, 1), 60);

  struct Case {
    const char* name;
    TMtTreeItem* parent;
    std::int32_t kind;
    bool recursive;
    std::int32_t code;
    TMtTreeItem* found;
  };
  const Case cases[] = {
      {"depth-first, before a later direct child", day1, fkProduct, true, 30, deep},
      {"direct children only", day1, fkProduct, false, 30, direct},
      {"kind must match", day1, fkDish, false, 30, nullptr},
      {"nested dish, not recursive", day1, fkDish, false, 20, nullptr},
      {"nested dish, recursive", day1, fkDish, true, 20, dish},
      {"the meal itself", day1, fkMeal, false, 10, meal},
      {"top level for nil", nullptr, fkDay, false, 2, day2},
      {"top level, recursive", nullptr, fkProduct, true, 40, other},
      {"top level, not recursive", nullptr, fkProduct, false, 40, nullptr},
      {"not below an item without record", day2, fkProduct, true, 50, nullptr},
      {"nor below a top-level one", nullptr, fkProduct, true, 60, nullptr},
      {"nothing below a product", deep, fkProduct, true, 30, nullptr},
  };
  for (const Case& c : cases)
    EXPECT_EQ(doc.FindChildByCode(c.parent, c.kind, c.recursive, c.code), c.found) << c.name;
}

TEST(RationFindTest, DayOfItem) {
  TRationDocument doc;
  TMtTreeItem* day = AddDay(doc);
  const auto [meal, dish] = AddMealAndDish(doc, day);
  TMtTreeItem* product = AddProduct(doc, dish, Food(1, 1), 30);
  TMtTreeItem* bare = doc.Items()->AddChild(meal, "bare");
  TMtTreeItem* underBare = AddProduct(doc, bare, Food(1, 1), 31);
  TMtTreeItem* topMeal = doc.AddItem(nullptr, "top meal", nullptr, fkMeal, 11);
  TMtTreeItem* topProduct = AddProduct(doc, topMeal, Food(1, 1), 32);
  TMtTreeItem* bareTop = doc.Items()->AddChild(nullptr, "bare top");

  struct Case {
    TMtTreeItem* item;
    TMtTreeItem* day;
  };
  const Case cases[] = {{nullptr, nullptr},    {day, day},        {meal, day},      {dish, day},
                        {product, day},        {bare, day},       {underBare, day}, {topMeal, nullptr},
                        {topProduct, nullptr}, {bareTop, nullptr}};
  for (const Case& c : cases) EXPECT_EQ(DayOfItem(c.item), c.day) << (c.item ? c.item->Text() : "nil");
}

TEST(RationFindTest, DayRecordsForTheRating) {
  TRationDocument doc;
  TMtTreeItem* day1 = AddDay(doc);
  doc.Items()->AddChild(nullptr, "bare");
  doc.AddItem(nullptr, "top meal", nullptr, fkMeal, 1);
  TMtTreeItem* day2 = AddDay(doc);
  AddProduct(doc, day2, Food(100, 200));
  doc.SumGroup(day2, false);
  const TDayRecs days = doc.DayRecords();
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[0], FoodRecOf(day1));
  EXPECT_EQ(days[1], FoodRecOf(day2));
  EXPECT_EQ(days[1]->Cal, 200);
}

TEST(RationFindTest, RenumberDaysNamesOnlyDays) {
  TRationDocument doc;
  for (int i = 0; i < 3; ++i) AddDay(doc);
  doc.Items()->Root()->GetChildren(0)->Delete();
  doc.Items()->AddChild(nullptr, "bare");
  doc.AddItem(nullptr, "top meal", nullptr, fkMeal, 1);
  AddDay(doc);
  doc.Items()->Root()->GetChildren(1)->MoveToIns(nullptr, 0);
  EXPECT_EQ(TopTexts(doc), (std::vector<std::string>{Day(3), Day(2), "bare", "top meal", Day(3)}));
  doc.RenumberDays();
  EXPECT_EQ(TopTexts(doc), (std::vector<std::string>{Day(1), Day(2), "bare", "top meal", Day(3)}));
  EXPECT_EQ(TopCodes(doc)[0], 3);
  EXPECT_FALSE(doc.Tree().IsUpdating());
}

// ---------------------------------------------------------------------------------
// Ration type and header

TEST(RationTypeTest, SetRationType) {
  struct Case {
    std::uint8_t type;
    TColor color;
    bool dayListVisible;
  };
  const Case cases[] = {
      {rtAverage, 0x80000018, false}, {rtDayMenu, 0x00D3E1FF, true}, {7, 0x80000018, false}};
  for (const Case& c : cases) {
    TRationDocument doc;
    int told = 0;
    doc.OnRationTypeChange = [&](TObject*) { ++told; };
    doc.SetRationType(c.type);
    EXPECT_EQ(doc.RationType(), c.type);
    EXPECT_EQ(doc.Color, c.color);
    EXPECT_EQ(RationBkColor(c.type), c.color);
    EXPECT_EQ(doc.DayListPageVisible(), c.dayListVisible);
    EXPECT_EQ(doc.MenuPageActivates(true), !c.dayListVisible);
    EXPECT_FALSE(doc.MenuPageActivates(false));
    EXPECT_EQ(told, 1);
  }
  TRationDocument fresh;
  EXPECT_EQ(fresh.RationType(), rtAverage);
  EXPECT_EQ(fresh.Color, kAverageRationColor);
}

TEST(RationHeaderTest, SectionsInDisplayOrderAndTheirColumns) {
  std::vector<std::string> captions;
  std::vector<int> columns;
  for (int section : kRationSectionOrder) {
    captions.push_back(RationSectionCaption(section));
    columns.push_back(kRationSections[section].ColumnText);
  }
  EXPECT_EQ(captions, (std::vector<std::string>{Ansi("Наименование"), Ansi("ККал."), Ansi("Вес,г."),
                                                Ansi("Белки,г."), Ansi("Жиры,г."), Ansi("Углев,г."),
                                                Ansi("Б/Ж/У"), Ansi("Вес на гр,кг"), Ansi("Описание")}));
  EXPECT_EQ(columns, (std::vector<int>{-1, rcEnergy, rcVeight, rcProtein, rcFat, rcCarb, rcRatio,
                                       rcGroupVeight, rcComment}));
  for (int k = 1; k < kRationSectionCount; ++k) EXPECT_EQ(kRationSections[k].ColumnText, k - 1);
  EXPECT_EQ(RationSectionCaption(kRationVeightSection), Ansi("Вес,г."));
  EXPECT_EQ(RationSectionCaption(-1), "");
  EXPECT_EQ(RationSectionCaption(kRationSectionCount), "");
}

}  // namespace
