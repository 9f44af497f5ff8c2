// The editing commands of a ration document over a scripted pick-list, dish tables and
// message dialogs: both ration types, the weight edit, days and participants, deleting,
// moving, the close question and the enabling rules.
#include <gtest/gtest.h>

#include "EditFakes.h"
#include "planner/ration/RationClip.h"

using namespace edit_test;

namespace {

std::vector<std::string> Texts(const TMtTreeItem* parent) {
  std::vector<std::string> out;
  for (int i = 0; i < parent->GetChildrenCount(); ++i) out.push_back(Utf8(parent->GetChildren(i)->Text()));
  return out;
}

std::string DayText(int n) { return "День " + std::to_string(n); }

}  // namespace

TEST(RationEdit, NewRationHasTheDefaultsAndIsNotModified) {
  TEditFixture f(3);
  EXPECT_EQ(f.doc.DayCounter, 3);
  EXPECT_EQ(f.doc.Days, 3);
  EXPECT_EQ(f.doc.Mans, 3);
  EXPECT_EQ(f.doc.DocumentReady, 1);
  EXPECT_EQ(f.doc.Modified, 0);
  EXPECT_EQ(f.doc.RationType(), rtDayMenu);
  EXPECT_EQ(f.doc.Header.RefCal, 3100);
  EXPECT_EQ(Texts(f.doc.Items()->Root()), (std::vector<std::string>{DayText(1), DayText(2), DayText(3)}));
  EXPECT_EQ(f.views.Totals.Cells[1][tcEnergy], "3100");
}

TEST(RationEdit, UntitledCaptionsCountUp) {
  const AnsiString a = NextUntitledCaption();
  const AnsiString b = NextUntitledCaption();
  ASSERT_EQ(Utf8(a).rfind("Раскладка ", 0), 0u);
  const int na = std::stoi(Utf8(a).substr(std::string("Раскладка ").size()));
  EXPECT_EQ(Utf8(b), Utf8(Format(Ansi("Раскладка %2.2d"), {na + 1})));
  EXPECT_EQ(Utf8(a).size(), std::string("Раскладка ").size() + (na < 100 ? 2 : std::to_string(na).size()));
}

TEST(RationEdit, AddDayGoesBeforeTheFocusedDayAndRenumbers) {
  TEditFixture f(2);
  f.Focus(f.Day(1));
  TMtTreeItem* day = f.editor.ItemAddDay();
  EXPECT_EQ(day->GetIndex(), 1);
  EXPECT_EQ(f.doc.Tree().ItemFocused(), day);
  EXPECT_EQ(f.doc.Days, 3);
  EXPECT_EQ(Texts(f.doc.Items()->Root()), (std::vector<std::string>{DayText(1), DayText(2), DayText(3)}));
}

TEST(RationEdit, MealsAreAddedOnceByCode) {
  TEditFixture f(1);
  f.Focus(f.Day(0));
  TPick breakfast = Product("Завтрак", 1, 0, 0);
  f.picker.queued = {{breakfast}, {breakfast}};
  EXPECT_TRUE(f.editor.ItemAddMeal());
  EXPECT_EQ(f.picker.pages, (std::vector<int>{ppMeals}));
  f.doc.Modified = 0;
  f.doc.RecalcMenu = 0;
  EXPECT_FALSE(f.editor.ItemAddMeal());  // the day has it already: nothing, no re-sum
  EXPECT_EQ(f.doc.Modified, 0);
  EXPECT_EQ(f.doc.RecalcMenu, 0);
  EXPECT_EQ(f.Day(0)->GetChildrenCount(), 1);
  f.picker.result = mrCancel;
  f.picker.queued = {{Product("Обед", 3, 0, 0)}};
  EXPECT_FALSE(f.editor.ItemAddMeal());
  EXPECT_EQ(f.Day(0)->GetChildrenCount(), 1);
}

TEST(RationEdit, DishGetsEveryComponentAndReportsMissingProducts) {
  TEditFixture f(1);
  TMtTreeItem* meal = f.doc.AddItem(f.Day(0), "m", nullptr, fkMeal, 1);
  f.Focus(meal);
  f.dishes.products[7] = Product("Гречка", 7, 300, 0, 10, 3, 60);
  std::vector<TDishComponent> parts;
  parts.push_back({999, 5});  // not in "products"
  for (int i = 0; i < 149; ++i) parts.push_back({7, 10});  // past the old cap of 100
  f.dishes.comps[55] = parts;
  f.picker.queued = {{Product("Каша", 55, 0, 0)}};
  ASSERT_TRUE(f.editor.ItemAddDish());
  TMtTreeItem* dish = meal->GetChildren(0);
  EXPECT_EQ(dish->GetChildrenCount(), 149);  // all 150 pairs but the missing one
  ASSERT_EQ(f.prompt.shown.size(), 1u);
  EXPECT_EQ(f.prompt.shown[0].Text, "ошибка: в справочнике не найден продукт с указанным кодом");
  EXPECT_EQ(FoodRecOf(dish)->Veight, 1490);
  EXPECT_EQ(FoodRecOf(f.Day(0))->Cal, 149 * 30);
  EXPECT_EQ(f.views.Totals.Cells[2][tcEnergy], "4470");
}

TEST(RationEdit, AverageRationAddsDeletesAndReweighsInEveryDay) {
  TEditFixture f(3, rtAverage);
  f.Focus(f.Day(1));
  f.picker.queued = {{Product("Сахар", 57, 399, 50, 0, 0, 99.8), Product("Чай", 60, 0, 5)}};
  ASSERT_TRUE(f.editor.ItemAddProd());
  for (int d = 0; d < 3; ++d) {
    EXPECT_EQ(Texts(f.Day(d)), (std::vector<std::string>{"Сахар", "Чай"})) << d;
    EXPECT_EQ(FoodRecOf(f.Day(d))->Cal, 200);  // Round(399 * 50 / 100) = 199.5 -> 200
  }
  EXPECT_EQ(f.views.Totals.Cells[0][tcEnergy], "200");

  TMtTreeItem* sugar = f.Day(2)->GetChildren(0);
  AnsiString text = "80";
  ASSERT_TRUE(f.editor.ValidateVeight(sugar, text));
  for (int d = 0; d < 3; ++d) EXPECT_EQ(FoodRecOf(f.Day(d)->GetChildren(0))->Veight, 80) << d;
  EXPECT_EQ(f.views.Totals.Cells[2][tcEnergy], Format("%d", {3 * RoundedEnergy(399, 80)}));

  f.Focus(f.Day(0)->GetChildren(1));
  ASSERT_TRUE(f.editor.ItemDel());
  for (int d = 0; d < 3; ++d) EXPECT_EQ(Texts(f.Day(d)), (std::vector<std::string>{"Сахар"})) << d;
  EXPECT_NE(f.doc.Tree().ItemFocused(), nullptr);
}

// An average ration that holds meals (it was a menu by days): a product inside a meal is
// deleted alone, and the days' own products with its Code stay.
TEST(RationEdit, AverageRationDeletesAProductInsideAMeal) {
  TEditFixture f(2, rtAverage);
  TFoodRec r = Food(300, 100);
  TMtTreeItem* meal = f.doc.AddItem(f.Day(0), "m", nullptr, fkMeal, 1);
  TMtTreeItem* inMeal = f.doc.AddItem(meal, Ansi("Гречка"), &r, fkProduct, 7);
  f.doc.AddItem(f.Day(1), Ansi("Гречка"), &r, fkProduct, 7);
  f.doc.SumGroup(f.Day(0), false);
  f.doc.SumGroup(f.Day(1), false);
  f.doc.Modified = 0;
  f.Focus(inMeal);
  ASSERT_TRUE(f.editor.ItemDel());
  EXPECT_EQ(meal->GetChildrenCount(), 0);
  EXPECT_EQ(FoodRecOf(f.Day(0))->Cal, 0);
  EXPECT_EQ(Texts(f.Day(1)), (std::vector<std::string>{"Гречка"}));
  EXPECT_EQ(f.views.Totals.Cells[2][tcEnergy], "300");
  EXPECT_EQ(f.doc.Tree().ItemFocused(), meal);
  EXPECT_EQ(f.doc.Modified, 1);
}

TEST(RationEdit, WeightEditRules) {
  TEditFixture f(1);
  TMtTreeItem* p = f.doc.AddItem(f.Day(0), "p", nullptr, fkProduct, 5);
  FoodRecOf(p)->Veight = 250;
  f.doc.Modified = 0;
  struct Case {
    const char* typed;
    bool accepted;
    const char* after;
    std::int32_t veight;
    size_t messages;
  };
  const Case cases[] = {
      {"250", false, "250", 250, 0},  // the same weight: nothing changes
      {"12a", false, "250", 250, 0},  // not an integer: refused silently
      {"", false, "250", 250, 0},
      {"-5", false, "250", 250, 1},  // negative: refused with a message
      {"300", true, "300", 300, 1},
      {"0", true, "0", 0, 1},
  };
  for (const Case& c : cases) {
    AnsiString text = c.typed;
    EXPECT_EQ(f.editor.ValidateVeight(p, text), c.accepted) << c.typed;
    EXPECT_EQ(text, c.after) << c.typed;
    EXPECT_EQ(FoodRecOf(p)->Veight, c.veight) << c.typed;
    EXPECT_EQ(f.prompt.shown.size(), c.messages) << c.typed;
    if (!c.accepted && c.veight == 250) {
      EXPECT_EQ(f.doc.Modified, 0) << c.typed;
    }
  }
  EXPECT_EQ(f.prompt.shown[0].Text, "Вес не может быть отрицательным (-5 г).\rВес не изменён.");
  EXPECT_EQ(f.doc.Modified, 1);
  EXPECT_FALSE(TRationEditor::CanEditVeight(f.Day(0)));
  EXPECT_TRUE(TRationEditor::CanEditVeight(p));
}

TEST(RationEdit, DeletingTheOnlyDayLeavesOneNewDay) {
  TEditFixture f(1);
  f.Focus(f.Day(0));
  ASSERT_TRUE(f.editor.ItemDel());
  EXPECT_EQ(f.doc.DayCounter, 1);
  EXPECT_EQ(f.doc.Days, 1);
  EXPECT_EQ(Texts(f.doc.Items()->Root()), (std::vector<std::string>{DayText(1)}));
  EXPECT_EQ(f.doc.Modified, 1);
}

// The last focused item is the target of the add commands; it must never be one that was
// deleted.
TEST(RationEdit, DeleteAllThenAddDayUsesNoDeletedItem) {
  TEditFixture f(3);
  f.Focus(f.Day(2));
  f.prompt.answers = {mrNo};
  EXPECT_FALSE(f.editor.ItemDelAll());
  EXPECT_EQ(f.doc.DayCounter, 3);
  f.prompt.answers = {mrYes};
  ASSERT_TRUE(f.editor.ItemDelAll());
  EXPECT_EQ(f.prompt.shown.back().Text, "Удалить из раскладки все строки?");
  EXPECT_EQ(f.doc.DayCounter, 1);
  EXPECT_EQ(f.doc.Days, 1);
  f.doc.Tree().SetItemFocused(nullptr);
  f.editor.ItemAddDay();
  EXPECT_EQ(f.doc.DayCounter, 2);
  EXPECT_EQ(f.doc.Days, 2);

  // The focused day is deleted: the remembered one goes with it.
  f.Focus(f.Day(0));
  f.doc.Items()->DeleteItem(f.Day(0));
  EXPECT_EQ(f.doc.LastFocused, nullptr);
}

TEST(RationEdit, MovingSwapsSiblingsRenumbersDaysAndMarksTheDocument) {
  TEditFixture f(3);
  TMtTreeItem* first = f.Day(0);
  first->ColumnText().SetString(rcComment, "first");
  f.Focus(first);
  f.doc.Modified = 0;
  f.doc.RecalcDayList = 0;
  EXPECT_FALSE(f.editor.ItemMoveUp());
  ASSERT_TRUE(f.editor.ItemMoveDown());
  EXPECT_EQ(f.Day(1), first);
  EXPECT_EQ(Texts(f.doc.Items()->Root()), (std::vector<std::string>{DayText(1), DayText(2), DayText(3)}));
  EXPECT_EQ(f.doc.Modified, 1);
  EXPECT_EQ(f.doc.RecalcDayList, 1);
  EXPECT_EQ(f.doc.RecalcTotalList, 1);
}

TEST(RationEdit, LoweringDaysAsksAboutNonEmptyDays) {
  TEditFixture f(5);
  EXPECT_FALSE(f.editor.SetDays(5));
  ASSERT_TRUE(f.editor.SetDays(3));  // empty days go without a question
  EXPECT_TRUE(f.prompt.shown.empty());
  EXPECT_EQ(f.doc.DayCounter, 3);
  EXPECT_EQ(f.doc.Days, 3);

  for (int d = 0; d < 3; ++d) f.doc.AddItem(f.Day(d), "p", nullptr, fkProduct, 1);
  f.prompt.answers = {mrCancel};
  EXPECT_FALSE(f.editor.SetDays(1));
  EXPECT_EQ(f.doc.DayCounter, 3);
  EXPECT_EQ(f.doc.Days, 3);  // the field shows the days there are
  EXPECT_EQ(f.prompt.shown.back().Text, "Удалить из раскладки непустой День 3\r");
  EXPECT_EQ(f.prompt.shown.back().Buttons, mbYes | mbNo | mbCancel | mbAll);

  f.prompt.answers = {mrYes, mrNo};
  EXPECT_TRUE(f.editor.SetDays(1));
  EXPECT_EQ(f.doc.DayCounter, 2);
  EXPECT_EQ(f.doc.Days, 2);

  f.editor.SetDays(4);
  f.doc.AddItem(f.Day(2), "p", nullptr, fkProduct, 1);
  const size_t asked = f.prompt.shown.size();
  f.prompt.answers = {mrAll};
  EXPECT_TRUE(f.editor.SetDays(0));  // below 1 becomes 1
  EXPECT_EQ(f.doc.DayCounter, 1);
  EXPECT_EQ(f.doc.Days, 1);
  // Day 4 was empty; day 3 was asked about once, All took day 2 without a question.
  EXPECT_EQ(f.prompt.shown.size(), asked + 1);
  EXPECT_EQ(Texts(f.doc.Items()->Root()), (std::vector<std::string>{DayText(1)}));
}

// The days a document was read with stay when the field is left as it was: a version-2
// file gives its own day counter (any number, even one above what the page adds, or one
// that the tree's days do not match), a version-3 file without days gives 0.
TEST(RationEdit, LeavingTheDaysAsTheyWereChangesNothing) {
  struct TCase {
    const char* what;
    int dayItems;
    std::int32_t counter;
  };
  const TCase cases[] = {
      {"more days than the page adds", 2, 1500},
      {"every 32-bit day count", 1, 2147483647},
      {"no days at all", 0, 0},
      {"fewer days than the tree holds", 3, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TEditFixture f(1);
    f.doc.DocumentReady = 0;
    f.doc.Items()->Clear();
    for (int d = 0; d < c.dayItems; ++d) f.doc.AddItem(nullptr, "", nullptr, fkDay, 0);
    f.doc.DayCounter = f.doc.Days = c.counter;
    f.doc.DocumentReady = 1;
    f.doc.Modified = 0;
    EXPECT_FALSE(f.editor.SetDays(c.counter));
    EXPECT_EQ(f.doc.Days, c.counter);
    EXPECT_EQ(f.doc.DayCounter, c.counter);
    EXPECT_EQ(f.doc.Items()->Root()->GetChildrenCount(), c.dayItems);
    EXPECT_EQ(f.doc.Modified, 0);
    EXPECT_TRUE(f.prompt.shown.empty());
  }
  // Such a document adds no days past its own, and lowering still deletes from the end.
  TEditFixture f(1);
  f.doc.AddItem(nullptr, "", nullptr, fkDay, 0);
  f.doc.DayCounter = f.doc.Days = 1500;
  EXPECT_FALSE(f.editor.SetDays(1600));
  EXPECT_EQ(f.doc.Days, 1500);
  EXPECT_EQ(f.doc.Items()->Root()->GetChildrenCount(), 2);
  EXPECT_TRUE(f.editor.SetDays(1499));
  EXPECT_EQ(f.doc.Days, 1499);
  EXPECT_EQ(f.doc.Items()->Root()->GetChildrenCount(), 1);
}

TEST(RationEdit, DaysAndParticipantsHaveSaneBounds) {
  TEditFixture f(1);
  EXPECT_TRUE(f.editor.SetDays(2147483647));
  EXPECT_EQ(f.doc.DayCounter, kRationMaxDaysAdded);
  EXPECT_EQ(f.doc.Days, kRationMaxDaysAdded);
  EXPECT_TRUE(f.editor.SetMans(0));
  EXPECT_EQ(f.doc.Mans, 1);
  // Participants range over every positive 32-bit number; the group weights follow.
  EXPECT_TRUE(f.editor.SetMans(1000000));
  EXPECT_EQ(f.doc.Mans, 1000000);
  EXPECT_TRUE(f.editor.SetMans(2147483647));
  EXPECT_EQ(f.doc.Mans, 2147483647);
  TFoodRec r = Food(100, 250);
  f.doc.AddItem(f.Day(0), "p", &r, fkProduct, 1);
  f.doc.SumGroup(f.Day(0), false);
  f.editor.UpdateTotals();
  EXPECT_EQ(f.views.Totals.Cells[4][tcVeight], "536870911.750");
}

TEST(RationEdit, ParticipantsChangeTheGroupWeights) {
  TEditFixture f(1);
  TMtTreeItem* p = f.doc.AddItem(f.Day(0), "p", nullptr, fkProduct, 1);
  FoodRecOf(p)->Veight = 500;
  f.doc.SumGroup(f.Day(0), true);
  f.editor.SetMans(4);
  EXPECT_EQ(p->ColumnText()[rcGroupVeight], "2.000");
  EXPECT_EQ(f.Day(0)->ColumnText()[rcGroupVeight], "2.000");
  EXPECT_EQ(f.views.Totals.Cells[4][tcVeight], "2.000");
}

TEST(RationEdit, KindOfTripTakesTheNeedsOfThePickedRow) {
  TEditFixture f(1);
  TPick row = Product("3 к.с.", 0, 3700, 0);
  row.Rec.AlbA = 111;
  row.Rec.FatA = 134;
  row.Rec.Carb = 513;
  row.Path = Ansi("Горный; 3 к.с.");
  f.picker.queued = {{row}};
  ASSERT_TRUE(f.editor.PickTourName());
  EXPECT_EQ(f.picker.pages.back(), ppKindsOfTrip);
  EXPECT_EQ(Utf8(f.doc.Header.TourName), "Горный; 3 к.с.");
  EXPECT_EQ(f.doc.Header.RefCal, 3700);
  EXPECT_EQ(f.doc.Header.RefAlb, 111);
  EXPECT_EQ(f.doc.Header.RefFat, 134);
  EXPECT_EQ(f.doc.Header.RefCarb, 513);
  EXPECT_EQ(f.views.Totals.Cells[1][tcEnergy], "3700");
  EXPECT_EQ(f.doc.Modified, 1);
}

TEST(RationEdit, EnablingRulesByFocusKindAndType) {
  struct Case {
    std::uint8_t type;
    int focus;  // -1 none, else the kind
    bool treeFocused;
    const char* expect;  // D M I P del all up down
  };
  const Case cases[] = {
      {rtDayMenu, -1, false, "........"},    {rtDayMenu, -1, true, "D....A.."},
      {rtDayMenu, fkDay, false, "........"}, {rtDayMenu, fkDay, true, "DM.PXA.v"},
      {rtAverage, fkDay, true, "D..PXA.v"},  {rtDayMenu, fkMeal, true, "D.IPXA.."},
      {rtAverage, fkMeal, true, "D...XA.."}, {rtDayMenu, fkDish, true, "D..PXA^v"},
      {rtAverage, fkDish, true, "D...XA^v"}, {rtDayMenu, fkProduct, true, "D...XA^."},
  };
  for (const Case& c : cases) {
    TEditFixture f(2, c.type);
    TMtTreeItem* meal = f.doc.AddItem(f.Day(1), "m", nullptr, fkMeal, 1);
    f.doc.AddItem(meal, "d0", nullptr, fkDish, 2);
    TMtTreeItem* dish = f.doc.AddItem(meal, "d", nullptr, fkDish, 3);
    TMtTreeItem* product = f.doc.AddItem(meal, "p", nullptr, fkProduct, 4);
    // The first day has a next sibling, the meal none, the dish both, the product a
    // previous one.
    TMtTreeItem* target = c.focus == fkDay     ? f.Day(0)
                          : c.focus == fkMeal  ? meal
                          : c.focus == fkDish  ? dish
                          : c.focus == fkProduct ? product
                                               : nullptr;
    f.doc.Tree().SetItemFocused(target);
    const TRationCommands k = f.editor.Commands(c.treeFocused, "", "");
    std::string got;
    got += k.AddDay ? 'D' : '.';
    got += k.AddMeal ? 'M' : '.';
    got += k.AddDish ? 'I' : '.';
    got += k.AddProd ? 'P' : '.';
    got += k.Del ? 'X' : '.';
    got += k.DelAll ? 'A' : '.';
    got += k.MoveUp ? '^' : '.';
    got += k.MoveDown ? 'v' : '.';
    EXPECT_EQ(got, c.expect) << int(c.type) << " kind " << c.focus << " tree " << c.treeFocused;
    EXPECT_TRUE(k.Prop);
  }
}

TEST(RationEdit, PasteAndFindNextEnabling) {
  TEditFixture f(1);
  TMtTreeItem* p = f.doc.AddItem(f.Day(0), "p", nullptr, fkProduct, 4);
  f.Focus(p);
  const AnsiString product = FragmentText(p);
  f.Focus(f.Day(0));
  EXPECT_TRUE(f.editor.Commands(true, product, "").Paste);
  EXPECT_FALSE(f.editor.Commands(true, "hello", "").Paste);
  EXPECT_FALSE(f.editor.Commands(false, product, "").Paste);
  EXPECT_FALSE(f.editor.Commands(true, "", "   ").FindNext);
  EXPECT_TRUE(f.editor.Commands(true, "", " x ").FindNext);
  f.Focus(p);
  EXPECT_FALSE(f.editor.Commands(true, product, "").Paste);  // a product takes nothing
}

// With the ration tree focused, cut and copy are offered, and paste also with no item
// focused: days pasted into an empty ration become its days.
TEST(RationEdit, EditCommandsWithTheTreeFocusedAndNoItemFocused) {
  TEditFixture source(1);
  TMtTreeItem* p = source.doc.AddItem(source.Day(0), "p", nullptr, fkProduct, 4);
  source.Day(0)->ColumnText().SetString(rcComment, "c");
  const AnsiString day = FragmentText(source.Day(0)), product = FragmentText(p);
  struct Case {
    bool treeFocused;
    const char* clipboard;
    const char* expect;  // cut, copy, paste
  };
  const Case cases[] = {{true, day.c_str(), "XCV"}, {true, product.c_str(), "XCV"}, {true, "", "XCV"},
                        {false, day.c_str(), "..."}};
  TEditFixture f(1);
  f.Focus(nullptr);
  for (const Case& c : cases) {
    const TRationCommands k = f.editor.Commands(c.treeFocused, c.clipboard, "");
    const std::string got = {k.Cut ? 'X' : '.', k.Copy ? 'C' : '.', k.Paste ? 'V' : '.'};
    EXPECT_EQ(got, c.expect) << c.treeFocused << " " << c.clipboard;
  }
  // A product has no place without a focused item; a day goes last.
  const int items = f.doc.Items()->Count();
  EXPECT_FALSE(f.editor.PasteItems(product));
  EXPECT_EQ(f.doc.Items()->Count(), items);
  ASSERT_TRUE(f.editor.PasteItems(day));
  ASSERT_EQ(f.doc.Items()->Root()->GetChildrenCount(), 2);
  TMtTreeItem* pasted = f.Day(1);
  ASSERT_NE(FoodRecOf(pasted), nullptr);
  EXPECT_EQ(FoodRecOf(pasted)->Kind, fkDay);
  EXPECT_EQ(Utf8(pasted->Text()), "День 2");
  EXPECT_EQ(pasted->ColumnText()[rcComment], "c");
  ASSERT_EQ(pasted->GetChildrenCount(), 1);
  EXPECT_EQ(pasted->GetChildren(0)->Text(), "p");
  EXPECT_EQ(f.doc.Days, 2);
}

TEST(RationEdit, CloseQuestion) {
  struct Case {
    TModalResult answer;
    bool saves;
    bool closes;
    int saveCalls;
  };
  const Case cases[] = {
      {mrYes, true, true, 1}, {mrYes, false, false, 1}, {mrNo, false, true, 0}, {mrCancel, false, false, 0}};
  for (const Case& c : cases) {
    TEditFixture f(1);
    f.doc.Caption = Ansi("Раскладка 01");
    f.doc.Modified = 1;
    f.prompt.answers = {c.answer};
    int calls = 0;
    const bool closes = QueryCloseRation(f.doc, f.prompt, [&] {
      ++calls;
      if (c.saves) f.doc.Modified = 0;
      return c.saves;
    });
    EXPECT_EQ(closes, c.closes) << c.answer;
    EXPECT_EQ(calls, c.saveCalls) << c.answer;
    ASSERT_EQ(f.prompt.shown.size(), 1u);
    EXPECT_EQ(f.prompt.shown[0].Text, "Раскладка \"Раскладка 01\" была изменена.\rСохранить изменения?");
  }
  TEditFixture f(1);
  f.doc.FileName = "/x/y/trip.tw";
  f.doc.Modified = 1;
  f.prompt.answers = {mrCancel};
  QueryCloseRation(f.doc, f.prompt, [] { return true; });
  EXPECT_EQ(f.prompt.shown[0].Text, "Раскладка \"trip.tw\" была изменена.\rСохранить изменения?");
  f.doc.Modified = 0;
  EXPECT_TRUE(QueryCloseRation(f.doc, f.prompt, [] { return false; }));
  EXPECT_EQ(f.prompt.shown.size(), 1u);
}
