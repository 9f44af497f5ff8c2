// Find and replace over a ration document: the match rules, the find dialog's state and
// checks, the walk in both directions (to the end or the start, never round), and replacing with the
// answers Yes, No, Cancel and Yes to all.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "TestFood.h"
#include "planner/ration/FrmFindModel.h"
#include "platform/core/AnsiText.h"

namespace {

std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

class TScriptedConfirm : public IReplaceConfirm {
 public:
  TReplaceAnswer ConfirmReplace(const AnsiString& Msg) override {
    asked.push_back(Utf8(Msg));
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << asked.back();
      return TReplaceAnswer::Cancel;
    }
    const TReplaceAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<std::string> asked;
  std::deque<TReplaceAnswer> answers;
};

TFoodRec Named(std::int32_t code, TFoodRec r) {
  r.Code = code;
  return r;
}

// Two days: day 1 holds a meal with "Сухари" (100 g), a dish "Каша" (with "Крупа") and
// "Сахар" (50 g); day 2 holds "Сухарики ржаные" (150 g) and "сухофрукты" (40 g).
class FindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_.OnItemDeletion = [this](TObject*, TMtTreeItem* item) { finder_.ItemDeleted(item); };
    day1_ = doc_.AddItem(nullptr, "", nullptr, fkDay, 0);
    meal_ = doc_.AddItem(day1_, Ansi("Завтрак"), nullptr, fkMeal, 1);
    rusks_ = Product(meal_, "Сухари", 10, Food(331, 100, 0, 11.2, 0, 1.4, 72));
    dish_ = doc_.AddItem(meal_, Ansi("Каша"), nullptr, fkDish, 200);
    Product(dish_, "Крупа", 11, Food(330, 80, 0, 12, 0, 3.00005, 60));
    sugar_ = Product(meal_, "Сахар", 12, Food(399, 50, 0, 0, 0, 0, 99.8));
    day2_ = doc_.AddItem(nullptr, "", nullptr, fkDay, 0);
    ryeRusks_ = Product(day2_, "Сухарики ржаные", 13, Food(335, 150, 0, 10, 0, 1, 70));
    bagels_ = Product(day2_, "сухофрукты", 14, Food(340, 40, 0, 11, 0, 1.5, 71));
    doc_.SumGroup(day1_, true);
    doc_.SumGroup(day2_, true);
    doc_.Modified = 0;
  }
  TMtTreeItem* Product(TMtTreeItem* parent, const char* name, std::int32_t code, const TFoodRec& r) {
    TMtTreeItem* item = doc_.AddItem(parent, Ansi(name), &r, fkProduct, code);
    doc_.UpdateItemRow(item);
    return item;
  }
  // Texts of the items in pre-order, with their weights: "name:veight".
  std::vector<std::string> Shape() const {
    std::vector<std::string> out;
    doc_.Items()->Iterate(
        false,
        [&](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) {
          out.push_back(Utf8(item->Text()) + ":" + std::to_string(FoodRecOf(item)->Veight));
        },
        nullptr);
    return out;
  }
  // A condition checked through the dialog.
  TFindCondition Checked(TFindDlgModel& dlg) {
    const TFindCheck check = dlg.Check();
    EXPECT_TRUE(check.Ok) << Utf8(check.Message);
    return dlg.Condition();
  }
  static TFindDlgModel NameSearch(const char* mask) {
    TFindDlgModel dlg;
    dlg.SetCondValue(Ansi(mask));
    return dlg;
  }
  // Replace products matching the mask with "Сухари ванильные" (code 20) at `weight`.
  TFindCondition ReplaceBy(const char* mask, const char* weight) {
    TFindDlgModel dlg = NameSearch(mask);
    dlg.SetReplace(true);
    dlg.SetReplacement(Named(20, Food(400, 90, 0, 9, 0, 5, 75)), Ansi("Сухари ванильные"));
    dlg.SetRepValue(Ansi(weight));
    return Checked(dlg);
  }

  TRationDocument doc_;
  TRationFinder finder_{doc_};
  TScriptedConfirm confirm_;
  TMtTreeItem *day1_, *meal_, *rusks_, *dish_, *sugar_, *day2_, *ryeRusks_, *bagels_;
};

TEST(FindMatch, ConditionsOnNamesAndValues) {
  TRationDocument doc;
  TFoodRec r = Food(120, 150, 1, 2, 1.5, 1.50005, 30);
  TMtTreeItem* product = doc.AddItem(nullptr, Ansi("Сухари СУХИЕ"), &r, fkProduct, 1);
  TMtTreeItem* dish = doc.AddItem(nullptr, Ansi("Сухарный суп"), &r, fkDish, 2);
  TMtTreeItem* bare = doc.Items()->AddItem(nullptr);
  bare->SetText(Ansi("Сухари"));

  struct Case {
    std::int32_t kind;
    int field, cond;
    const char* text;
    std::int32_t i;
    double f;
    bool caseSens;
    TMtTreeItem* item;
    bool expected;
  };
  const Case cases[] = {
      {fkProduct, fdName, fcEqual, "*сух*", 0, 0, false, product, true},   // any case, any place
      {fkProduct, fdName, fcEqual, "*сух*", 0, 0, true, product, false},  // "Сухари СУХИЕ": no "сух" as typed
      {fkProduct, fdName, fcEqual, "*СУХ*", 0, 0, true, product, true},
      {fkProduct, fdName, fcEqual, "*сухие", 0, 0, true, product, false},
      {fkProduct, fdName, fcNotEqual, "*сух*", 0, 0, false, product, false},
      {fkProduct, fdName, fcEqual, "Сухари ?????", 0, 0, false, product, true},
      {fkProduct, fdName, fcEqual, "*сух*", 0, 0, false, dish, false},  // a dish never matches a product search
      {fkDish, fdName, fcEqual, "*суп", 0, 0, false, dish, true},
      {fkProduct, fdName, fcEqual, "*", 0, 0, false, bare, false},  // no record
      {fkProduct, fdVeight, fcGreater, "", 100, 0, false, product, true},
      {fkProduct, fdVeight, fcGreater, "", 150, 0, false, product, false},
      {fkProduct, fdVeight, fcGreaterEq, "", 150, 0, false, product, true},
      {fkProduct, fdVeight, fcLessEq, "", 149, 0, false, product, false},
      {fkProduct, fdCal, fcEqual, "", 120, 0, false, product, true},
      {fkProduct, fdCal, fcNotEqual, "", 120, 0, false, product, false},
      {fkProduct, fdCal, fcLess, "", 121, 0, false, product, true},
      {fkProduct, fdFat, fcEqual, "", 0, 3.0, false, product, true},  // 3.00005 within 0.0001
      {fkProduct, fdFat, fcNotEqual, "", 0, 3.0, false, product, false},
      {fkProduct, fdFat, fcEqual, "", 0, 3.001, false, product, false},
      {fkProduct, fdAlb, fcEqual, "", 0, 3.0, false, product, true},
      {fkProduct, fdCarb, fcGreater, "", 0, 29.9, false, product, true},
      {fkProduct, fdCarb, fcLess, "", 0, 29.9, false, product, false},
  };
  for (const Case& c : cases) {
    TFindCondition cond;
    cond.Kind = c.kind;
    cond.Field = c.field;
    cond.Cond = c.cond;
    cond.Text = Ansi(c.text);
    cond.IntValue = c.i;
    cond.FloatValue = c.f;
    cond.CaseSens = c.caseSens;
    EXPECT_EQ(MatchItem(cond, c.item), c.expected) << c.text << " field " << c.field << " cond " << c.cond;
  }
  EXPECT_FALSE(CompareInt(6, 1, 1));
  EXPECT_FALSE(CompareFloat(-1, 1, 1));
}

TEST(FindDialog, ChecksInputInOrderWithTheMessages) {
  struct Case {
    int field;
    const char* value;
    bool replace;
    bool picked;
    const char* weight;
    const char* message;  // empty: accepted
    TFindFocus focus;
  };
  const Case cases[] = {
      {fdName, "", false, false, "", "Наименование для поиска должно быть непустым.", TFindFocus::CondValue},
      {fdName, "*", false, false, "", "", TFindFocus::None},
      {fdVeight, "12.5", false, false, "", "Значение для поля \"вес\" должно быть целым числом.",
       TFindFocus::CondValue},
      {fdCal, "x", false, false, "", "Значение для поля \"калорийность\" должно быть целым числом.",
       TFindFocus::CondValue},
      {fdCal, " 250 ", false, false, "", "", TFindFocus::None},
      {fdAlb, "a", false, false, "", "Значение для поля \"содержание белков\" должно быть вещественным числом.",
       TFindFocus::CondValue},
      {fdFat, "1..", false, false, "", "Значение для поля \"содержание жиров\" должно быть вещественным числом.",
       TFindFocus::CondValue},
      {fdCarb, "", false, false, "", "Значение для поля \"содержание углеводов\" должно быть вещественным числом.",
       TFindFocus::CondValue},
      {fdCarb, "3,5", false, false, "", "", TFindFocus::None},
      // The value is checked before the replacement.
      {fdVeight, "z", true, false, "", "Значение для поля \"вес\" должно быть целым числом.", TFindFocus::CondValue},
      {fdName, "*", true, false, "10", "Не выбран продукт, на который заменять найденные.", TFindFocus::RepItem},
      {fdName, "*", true, true, "1O", "Значение для поля \"вес\" должно быть целым числом.", TFindFocus::RepValue},
      {fdName, "*", true, true, "", "Значение для поля \"вес\" должно быть целым числом.", TFindFocus::RepValue},
      {fdName, "*", true, true, "-5", "Значение для поля \"вес\" не может быть отрицательным.", TFindFocus::RepValue},
      {fdName, "*", true, true, " * ", "", TFindFocus::None},
      {fdName, "*", true, true, " 120", "", TFindFocus::None},
  };
  for (const Case& c : cases) {
    TFindDlgModel dlg;
    dlg.SetField(c.field);
    dlg.SetCondValue(Ansi(c.value));
    dlg.SetReplace(c.replace);
    if (c.picked) dlg.SetReplacement(Named(7, Food(100, 30)), Ansi("Хлеб"));
    dlg.SetRepValue(Ansi(c.weight));
    const TFindCheck check = dlg.Check();
    EXPECT_EQ(Utf8(check.Message), c.message) << c.field << " '" << c.value << "' '" << c.weight << "'";
    EXPECT_EQ(check.Ok, *c.message == 0);
    EXPECT_EQ(check.Focus, c.focus);
  }
}

TEST(FindDialog, StateFollowsKindFieldAndReplaceMode) {
  TFindDlgModel dlg;
  EXPECT_EQ(Utf8(dlg.Caption()), "Поиск");
  EXPECT_EQ(Utf8(dlg.RegionCaption()), "Искать");
  EXPECT_FALSE(dlg.RepEnabled());
  EXPECT_EQ(dlg.RepColor(), 0x8000000Fu);
  EXPECT_EQ(dlg.CondItems().size(), 2u);
  EXPECT_TRUE(dlg.CaseSensVisible());
  dlg.SetReplace(true);
  EXPECT_EQ(Utf8(dlg.Caption()), "Поиск и замена");
  EXPECT_EQ(Utf8(dlg.RegionCaption()), "Искать и заменять");
  EXPECT_EQ(dlg.RepColor(), 0x80000005u);

  // A numeric field offers the orderings; between two numeric fields the choice stays.
  dlg.SetField(fdVeight);
  EXPECT_EQ(dlg.CondItems().size(), 6u);
  EXPECT_FALSE(dlg.CaseSensVisible());
  dlg.SetCond(fcLessEq);
  dlg.SetField(fdCal);
  EXPECT_EQ(dlg.Cond(), fcLessEq);
  dlg.SetField(fdName);
  EXPECT_EQ(dlg.Cond(), fcEqual);
  dlg.SetCond(fcGreater);  // not offered for names
  EXPECT_EQ(dlg.Cond(), fcEqual);

  // The replacement: another kind empties it, Backspace too; dishes hide the weight.
  dlg.SetReplacement(Named(5, Food(10, 20)), Ansi("Сыр"));
  dlg.SetRepValue("20");
  EXPECT_TRUE(dlg.RepValueVisible());
  dlg.SetItemType(1);
  EXPECT_FALSE(dlg.RepValueVisible());
  EXPECT_EQ(dlg.RepPickPage(), 1);
  EXPECT_TRUE(dlg.RepName().empty());
  EXPECT_TRUE(dlg.RepValue().empty());
  dlg.SetReplacement(Named(6, Food(10, 20)), Ansi("Суп"));
  dlg.ClearReplacement();
  EXPECT_TRUE(dlg.RepName().empty());
  EXPECT_EQ(dlg.RepRec().Code, 0);
  EXPECT_FALSE(dlg.HasCondition());
  dlg.SetCondValue("  ");
  EXPECT_FALSE(dlg.HasCondition());
  dlg.SetCondValue("x");
  EXPECT_TRUE(dlg.HasCondition());
}

TEST_F(FindTest, FindWalksForwardAndBackwardAndStopsAtTheEnds) {
  TFindDlgModel dlg = NameSearch("*сух*");
  finder_.Condition = Checked(dlg);
  std::vector<TMtTreeItem*> found;
  finder_.OnFound = [&](TMtTreeItem* item) { found.push_back(item); };

  // From the first item: "Сухари", then Find Next goes on after it.
  EXPECT_EQ(finder_.FindStart(), day1_);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 1);
  EXPECT_EQ(finder_.LastFound(), rusks_);
  EXPECT_EQ(doc_.Tree().ItemFocused(), rusks_);
  EXPECT_TRUE(rusks_->GetState(isSelected));
  EXPECT_EQ(finder_.FindNextStart(), dish_);
  EXPECT_EQ(finder_.FindItems(finder_.FindNextStart(), confirm_), 1);
  EXPECT_EQ(finder_.LastFound(), ryeRusks_);
  EXPECT_FALSE(rusks_->GetState(isSelected));
  EXPECT_EQ(finder_.FindItems(finder_.FindNextStart(), confirm_), 1);
  EXPECT_EQ(finder_.LastFound(), bagels_);
  // The last match is the last item: Find Next finds nothing (no going round to "Сухари").
  EXPECT_EQ(finder_.FindNextStart(), nullptr);
  EXPECT_EQ(finder_.FindItems(finder_.FindNextStart(), confirm_), 0);
  EXPECT_EQ(finder_.LastFound(), bagels_);
  EXPECT_EQ(doc_.Tree().ItemFocused(), bagels_);
  EXPECT_EQ(found, (std::vector<TMtTreeItem*>{rusks_, ryeRusks_, bagels_}));
  // From an item after which no match follows: nothing either, though matches lie behind.
  doc_.Tree().SetItemFocused(day2_->GetFirstChild()->GetNextSibling());
  TFindDlgModel exact = NameSearch("Сухари");
  finder_.Condition = Checked(exact);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 0);
  finder_.Condition = Checked(dlg);

  // Backward from the focused item (inclusive), then before it, up to the start.
  dlg.SetRegion(1);
  finder_.Condition = Checked(dlg);
  doc_.Tree().SetItemFocused(sugar_);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 1);
  EXPECT_EQ(finder_.LastFound(), rusks_);
  EXPECT_EQ(finder_.FindNextStart(), meal_);
  EXPECT_EQ(finder_.FindItems(finder_.FindNextStart(), confirm_), 0);
  EXPECT_EQ(finder_.LastFound(), rusks_);

  // Without a focused item a backward search starts at the last item.
  doc_.Tree().SetItemFocused(nullptr);
  EXPECT_EQ(finder_.FindStart(), bagels_);
  // A focused item that is not the last found one is where Find Next starts.
  doc_.Tree().SetItemFocused(sugar_);
  EXPECT_EQ(finder_.FindNextStart(), sugar_);
}

TEST_F(FindTest, NoMatchVisitsEveryItemOnceAndSaysNotFound) {
  TFindDlgModel dlg = NameSearch("Тушенка");
  finder_.Condition = Checked(dlg);
  doc_.Tree().SetItemFocused(sugar_);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 0);
  EXPECT_EQ(Utf8(finder_.ResultMessage(0)), "Не найдено.");
  EXPECT_EQ(finder_.ResultMessage(1), "");
  EXPECT_EQ(finder_.LastFound(), nullptr);
  TRationDocument empty;
  TRationFinder f(empty);
  f.Condition = finder_.Condition;
  EXPECT_EQ(f.FindStart(), nullptr);
  EXPECT_EQ(f.FindNextStart(), nullptr);
  EXPECT_EQ(f.FindItems(f.FindStart(), confirm_), 0);
}

TEST_F(FindTest, ReplaceAsksBeforeEachAndFollowsTheAnswers) {
  finder_.Condition = ReplaceBy("Сух*", "120");
  int totals = 0;
  finder_.OnTotalsChanged = [&](TObject*) { ++totals; };
  confirm_.answers = {TReplaceAnswer::No, TReplaceAnswer::Yes, TReplaceAnswer::No};
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 1);
  EXPECT_EQ(confirm_.asked,
            (std::vector<std::string>{"Найдено: Сухари (100 г);\rЗаменить на : Сухари ванильные (120 г) ?",
                                      "Найдено: Сухарики ржаные (150 г);\rЗаменить на : Сухари ванильные (120 г) ?",
                                      "Найдено: сухофрукты (40 г);\rЗаменить на : Сухари ванильные (120 г) ?"}));
  // The replacement sits where the found item was; the day sums follow; the walk ended
  // at the end of the ration (no going round in replace mode).
  EXPECT_EQ(Shape(), (std::vector<std::string>{"День 1:230", "Завтрак:230", "Сухари:100", "Каша:80", "Крупа:80",
                                               "Сахар:50", "День 2:160", "Сухари ванильные:120", "сухофрукты:40"}));
  TMtTreeItem* added = day2_->GetChildren(0);
  EXPECT_EQ(FoodRecOf(added)->Code, 20);
  EXPECT_EQ(FoodRecOf(added)->Cal, 400);
  EXPECT_EQ(added->ColumnText()[rcEnergy], "480");
  EXPECT_EQ(FoodRecOf(day2_)->Cal, 480 + 136);
  EXPECT_EQ(finder_.LastFound(), bagels_);  // asked about last
  EXPECT_EQ(doc_.Modified, 1);
  EXPECT_EQ(totals, 1);
  EXPECT_EQ(Utf8(finder_.ResultMessage(1)), "Выполнено замен: 1 ");

  // Cancel at the first question replaces nothing.
  confirm_.asked.clear();
  confirm_.answers = {TReplaceAnswer::Cancel};
  doc_.Tree().SetItemFocused(nullptr);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 0);
  EXPECT_EQ(confirm_.asked.size(), 1u);
  EXPECT_EQ(Utf8(finder_.ResultMessage(0)), "Выполнено замен: 0 ");
  EXPECT_EQ(totals, 1);
}

// What a search tells when it ends: in replace mode the number of replacements (Find Next
// that replaced nothing tells that nothing was found), in find mode only that nothing was.
TEST_F(FindTest, ResultMessagesOfTheDialogAndOfFindNext) {
  struct Case {
    bool replace, findNext;
    int count;
    const char* message;
  };
  const Case cases[] = {
      {false, false, 0, "Не найдено."}, {false, false, 1, ""},  {true, false, 0, "Выполнено замен: 0 "},
      {true, false, 2, "Выполнено замен: 2 "}, {false, true, 0, "Не найдено."}, {false, true, 1, ""},
      {true, true, 0, "Не найдено."},  {true, true, 2, "Выполнено замен: 2 "},
  };
  TFindDlgModel search = NameSearch("Сух*");
  const TFindCondition find = Checked(search), replace = ReplaceBy("Сух*", "120");
  for (const Case& c : cases) {
    finder_.Condition = c.replace ? replace : find;
    EXPECT_EQ(Utf8(finder_.ResultMessage(c.count, c.findNext)), c.message)
        << c.replace << " " << c.findNext << " " << c.count;
  }
}

TEST_F(FindTest, YesToAllReplacesEveryFurtherMatchWithoutAskingAndEnds) {
  // The replacement's name matches the condition itself: the walk must still end.
  finder_.Condition = ReplaceBy("*сух*", "*");
  confirm_.answers = {TReplaceAnswer::YesToAll};
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 3);
  EXPECT_EQ(confirm_.asked.size(), 1u);
  EXPECT_FALSE(finder_.Confirm);
  // "*" keeps each found product's weight.
  EXPECT_EQ(Shape(), (std::vector<std::string>{"День 1:230", "Завтрак:230", "Сухари ванильные:100", "Каша:80",
                                               "Крупа:80", "Сахар:50", "День 2:190", "Сухари ванильные:150",
                                               "Сухари ванильные:40"}));
  // Without the question, a second run from the top replaces again once per item and ends.
  doc_.Tree().SetItemFocused(nullptr);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 3);
  EXPECT_EQ(confirm_.asked.size(), 1u);
  EXPECT_EQ(doc_.RecordCount(), doc_.Items()->Count());
}

TEST_F(FindTest, BackwardReplaceEndsAtTheStartOfTheRation) {
  TFindCondition c = ReplaceBy("*сух*", "10");
  c.Direction = 1;
  finder_.Condition = c;
  finder_.Confirm = false;
  doc_.Tree().SetItemFocused(ryeRusks_);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 2);  // day 2's rusks and day 1's
  EXPECT_EQ(Shape(), (std::vector<std::string>{"День 1:140", "Завтрак:140", "Сухари ванильные:10", "Каша:80",
                                               "Крупа:80", "Сахар:50", "День 2:50", "Сухари ванильные:10",
                                               "сухофрукты:40"}));
}

TEST_F(FindTest, ADishIsReplacedWithItsComponents) {
  TFindDlgModel dlg;
  dlg.SetItemType(1);
  dlg.SetCondValue(Ansi("Каша"));
  dlg.SetReplace(true);
  dlg.SetReplacement(Named(300, Food(500, 250)), Ansi("Плов"));
  finder_.Condition = Checked(dlg);
  std::vector<TMtTreeItem*> dishes;
  finder_.AddDishComponents = [&](TMtTreeItem* d) {
    dishes.push_back(d);
    const TFoodRec rice = Food(344, 70, 0, 7, 0, 1, 78);
    doc_.AddItem(d, Ansi("Рис"), &rice, fkProduct, 30);
  };
  confirm_.answers = {TReplaceAnswer::Yes};
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 1);
  EXPECT_EQ(confirm_.asked[0], "Найдено: Каша (80 г);\rЗаменить на : Плов (250 г) ?");
  ASSERT_EQ(dishes.size(), 1u);
  EXPECT_EQ(meal_->GetChildren(1), dishes[0]);
  EXPECT_EQ(FoodRecOf(dishes[0])->Veight, 70);  // the sums of its components
  EXPECT_EQ(doc_.RecalcDayList, 1);
  EXPECT_EQ(Shape(), (std::vector<std::string>{"День 1:220", "Завтрак:220", "Сухари:100", "Плов:70", "Рис:70",
                                               "Сахар:50", "День 2:190", "Сухарики ржаные:150", "сухофрукты:40"}));
}

TEST_F(FindTest, TheLastFoundItemIsForgottenWhenItIsDeleted) {
  TFindDlgModel dlg = NameSearch("Сахар");
  finder_.Condition = Checked(dlg);
  EXPECT_EQ(finder_.FindItems(finder_.FindStart(), confirm_), 1);
  EXPECT_EQ(finder_.LastFound(), sugar_);
  doc_.Items()->Delete(sugar_);
  EXPECT_EQ(finder_.LastFound(), nullptr);
  EXPECT_EQ(finder_.FindNextStart(), doc_.Tree().ItemFocused() ? doc_.Tree().ItemFocused() : day1_);
}

}  // namespace
