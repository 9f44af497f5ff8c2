// The fragment text of the clipboard and of dragging: writing, reading, where a fragment
// may go, pasting, and moving between documents.
#include <gtest/gtest.h>

#include "EditFakes.h"
#include "planner/ration/RationClip.h"

using namespace edit_test;

namespace {

struct TDayMealDish {
  TMtTreeItem* day;
  TMtTreeItem* meal;
  TMtTreeItem* dish;
};

TDayMealDish Build(TEditFixture& f) {
  TMtTreeItem* day = f.Day(0);
  TMtTreeItem* meal = f.doc.AddItem(day, Ansi("Завтрак"), nullptr, fkMeal, 1);
  TMtTreeItem* dish = f.doc.AddItem(meal, Ansi("Каша"), nullptr, fkDish, 101);
  TFoodRec a = Food(308, 80, 0, 12.3456, 0, 3.3, 57.1);
  TFoodRec b = Food(748, 10, 0.5, 0, 82.5, 0, 0.8);
  f.doc.AddItem(dish, Ansi("Гречка"), &a, fkProduct, 1001);
  f.doc.AddItem(dish, Ansi("Масло"), &b, fkProduct, 6001);
  f.doc.SumGroup(day, false);
  return {day, meal, dish};
}

std::vector<std::string> Lines(const AnsiString& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

std::vector<int> Levels(const TMtTreeItem* item) {
  std::vector<int> out{item->GetLevel()};
  for (int i = 0; i < item->GetChildrenCount(); ++i)
    for (int l : Levels(item->GetChildren(i))) out.push_back(l);
  return out;
}

}  // namespace

TEST(RationClip, ADishInAMealGivesItsHeaderAndLevels) {
  TEditFixture f(1);
  const TDayMealDish t = Build(f);
  const std::vector<std::string> lines = Lines(FragmentText(t.dish));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "TRWKItems\t1\t1\t2");
  EXPECT_EQ(lines[1].substr(0, 2), "2\t");
  EXPECT_EQ(lines[2].substr(0, 2), "3\t");
  EXPECT_EQ(lines[3].substr(0, 2), "3\t");
  TClipItem item;
  ASSERT_TRUE(ParseItemLine(lines[2], item));
  EXPECT_EQ(Utf8(item.Name), "Гречка");
  EXPECT_EQ(item.Rec.Code, 1001);
  EXPECT_EQ(item.Rec.Kind, fkProduct);
  EXPECT_EQ(item.Rec.Veight, 80);
  EXPECT_EQ(double{item.Rec.AlbV}, 12.3456);  // every digit comes back
}

TEST(RationClip, TextsAndValuesSurviveTheRoundTrip) {
  TEditFixture f(2);
  const TDayMealDish t = Build(f);
  TMtTreeItem* p = t.dish->GetChildren(0);
  p->SetText("");  // an empty name keeps its field
  p->ColumnText().SetString(rcComment, Ansi("строка 1\r\nс\tтабом и \\ чертой\r\nя"));
  const AnsiString text = FragmentText(t.meal);
  TMtTreeItem* pasted = PasteText(f.doc, text, f.Day(1));
  ASSERT_NE(pasted, nullptr);
  EXPECT_EQ(Levels(pasted), (std::vector<int>{1, 2, 3, 3}));
  const TMtTreeItem* q = pasted->GetChildren(0)->GetChildren(0);
  EXPECT_EQ(q->Text(), "");
  EXPECT_EQ(q->ColumnText()[rcComment], p->ColumnText()[rcComment]);
  const TFoodRec* a = FoodRecOf(p);
  const TFoodRec* b = FoodRecOf(q);
  EXPECT_EQ(double{b->AlbV}, double{a->AlbV});
  EXPECT_EQ(double{b->FatV}, double{a->FatV});
  EXPECT_EQ(double{b->Carb}, double{a->Carb});
  EXPECT_EQ(b->Veight, a->Veight);
  // The pasted day's sums equal the source day's.
  EXPECT_EQ(FoodRecOf(f.Day(1))->Cal, FoodRecOf(f.Day(0))->Cal);
  EXPECT_EQ(double{FoodRecOf(f.Day(1))->AlbV}, double{FoodRecOf(f.Day(0))->AlbV});
  EXPECT_EQ(f.doc.Modified, 1);
}

TEST(RationClip, OlderFragmentsStillPaste) {
  TEditFixture f(1);
  // Two decimals, and a comment with 0xFF for its line break.
  const AnsiString text = Ansi("TRWKItems\t1\t0\t3\r\n3\tГречка\t1001\t101\t6\t0\t308\t0.00\t12,35\t0.00\t3.30\t57.10\t80\tа") +
                          "\xFF" + Ansi("б\r\n");
  TMtTreeItem* p = PasteText(f.doc, text, f.Day(0));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->GetLevel(), 1);
  EXPECT_EQ(double{FoodRecOf(p)->AlbV}, 12.35);
  EXPECT_EQ(FoodRecOf(p)->Owner, FoodRecOf(f.Day(0))->Code);
  EXPECT_EQ(Utf8(p->ColumnText()[rcComment]), "аяб");
}

TEST(RationClip, WhereAFragmentMayGo) {
  TEditFixture f(1);
  const TDayMealDish t = Build(f);
  TMtTreeItem* product = t.dish->GetChildren(0);
  const TMtTreeItem* targets[] = {t.day, t.meal, t.dish, product};
  // rows: root kind 0..3; columns: target day, meal, dish, product.
  const bool table[4][4] = {{true, true, true, false},
                            {false, true, false, false},
                            {true, false, false, false},
                            {true, false, false, false}};
  for (int kind = 0; kind <= 3; ++kind)
    for (int t2 = 0; t2 < 4; ++t2) {
      const AnsiString text = Format("TRWKItems\t1\t%d\t0\r\n", {kind});
      EXPECT_EQ(CanPaste(text, targets[t2]), table[kind][t2]) << kind << " onto " << t2;
    }
  const char* refused[] = {"", "TRWKItems", "TRWKItem\t1\t0\t0\r\n", "TRWKItems\t2\t0\t0\r\n",
                           "TRWKItems\t1\t7\t0\r\n", "TRWKItems\t1\t-1\t0\r\n", "TRWKItems\t1\tx\t0\r\n",
                           "garbage\r\nTRWKItems\t1\t0\t0\r\n"};
  for (const char* text : refused) EXPECT_FALSE(CanPaste(text, t.day)) << text;
  EXPECT_FALSE(CanPaste("TRWKItems\t1\t0\t0\r\n", nullptr));
}

TEST(RationClip, BadLinesAreSkippedTheRestPasted) {
  TEditFixture f(1);
  const AnsiString good = "1\tp\t5\t0\t6\t0\t100\t1\t1\t1\t1\t1\t50\t\r\n";
  const char* bad[] = {
      "1\tp\t5\t0\t6\t0\t100\t1\t1\t1\t1\t1\t-50\t\r\n",   // negative weight
      "1\tp\t5\t0\t6\t7\t100\t1\t1\t1\t1\t1\t50\t\r\n",    // kind 7
      "1\tp\t5\t0\t6\t0\t100\t1\t1\t1\t1\tx\t50\t\r\n",    // a bad number
      "1\tp\t5\t0\t6\t0\t100\t1\t1\t1\t1\t1\t50\r\n",      // a field missing
      "99\tp\t5\t0\t6\t0\t100\t1\t1\t1\t1\t1\t50\t\r\n",   // beyond the deepest level
      "1\tp\t5\t0\t6\t0\t99999999999\t1\t1\t1\t1\t1\t50\t\r\n",
  };
  for (const char* line : bad) {
    TClipItem item;
    EXPECT_FALSE(ParseItemLine(AnsiString(line).substr(0, std::string(line).size() - 2), item)) << line;
    const int before = f.Day(0)->GetChildrenCount();
    EXPECT_EQ(PasteText(f.doc, AnsiString("TRWKItems\t1\t0\t1\r\n") + line, f.Day(0)), nullptr) << line;
    EXPECT_EQ(f.Day(0)->GetChildrenCount(), before);
    EXPECT_NE(PasteText(f.doc, AnsiString("TRWKItems\t1\t0\t1\r\n") + line + good, f.Day(0)), nullptr) << line;
    EXPECT_EQ(f.Day(0)->GetChildrenCount(), before + 1);
  }
}

TEST(RationClip, ADayOntoADayBecomesANewDayBeforeIt) {
  TEditFixture f(2);
  const TDayMealDish t = Build(f);
  t.day->ColumnText().SetString(rcComment, "c");
  f.Focus(t.day);
  const AnsiString text = f.editor.CopyItems(false);
  f.Focus(f.Day(1));
  ASSERT_TRUE(f.editor.PasteItems(text));
  ASSERT_EQ(f.doc.Items()->Root()->GetChildrenCount(), 3);
  TMtTreeItem* copy = f.Day(1);
  EXPECT_EQ(Utf8(copy->Text()), "День 2");
  EXPECT_EQ(Utf8(f.Day(2)->Text()), "День 3");
  EXPECT_EQ(copy->ColumnText()[rcComment], "c");
  EXPECT_EQ(Levels(copy), (std::vector<int>{0, 1, 2, 3, 3}));
  EXPECT_EQ(FoodRecOf(copy)->Cal, FoodRecOf(t.day)->Cal);
  EXPECT_EQ(f.doc.Days, 3);
  EXPECT_EQ(f.views.Totals.Cells[2][tcEnergy], Format("%d", {2 * FoodRecOf(t.day)->Cal}));
}

// The root of a fragment finds its parent by level, as every other line does: below the
// target when it comes from a deeper level, beside it otherwise; a product onto a meal
// always goes right below the meal.
TEST(RationClip, TheRootFindsItsParentByLevel) {
  TEditFixture f(1);
  const TDayMealDish t = Build(f);
  auto product = [](int level) {
    return AnsiString("TRWKItems\t1\t0\t") + std::to_string(level) + "\r\n" + std::to_string(level) +
           "\tp\t5\t0\t6\t0\t100\t1\t1\t1\t1\t1\t50\t\r\n";
  };
  struct Case {
    int level;
    TMtTreeItem* target;
    TMtTreeItem* parent;
  };
  const Case cases[] = {
      {3, t.dish, t.dish},  {2, t.dish, t.meal}, {1, t.dish, t.day},  // onto a dish
      {1, t.meal, t.meal},  {3, t.meal, t.meal},                       // onto a meal
      {1, t.day, t.day},    {3, t.day, t.day},                         // onto a day
  };
  for (const Case& c : cases) {
    const int before = c.parent->GetChildrenCount();
    TMtTreeItem* added = PasteText(f.doc, product(c.level), c.target);
    ASSERT_NE(added, nullptr) << c.level;
    EXPECT_EQ(added->GetParent(), c.parent) << c.level << " " << Utf8(c.target->Text());
    EXPECT_EQ(c.parent->GetChildrenCount(), before + 1);
    f.doc.Items()->DeleteItem(added);
  }
  // A dish (level 2) onto a meal goes below it with its products.
  f.Focus(t.dish);
  const AnsiString dish = f.editor.CopyItems(false);
  TMtTreeItem* copy = PasteText(f.doc, dish, t.meal);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetParent(), t.meal);
  EXPECT_EQ(copy->GetChildrenCount(), 2);
  EXPECT_EQ(FoodRecOf(t.day)->Cal, 2 * FoodRecOf(t.dish)->Cal);
}

TEST(RationClip, CutRemovesTheItem) {
  TEditFixture f(1);
  const TDayMealDish t = Build(f);
  f.Focus(t.dish);
  const AnsiString text = f.editor.CopyItems(true);
  EXPECT_EQ(t.meal->GetChildrenCount(), 0);
  EXPECT_TRUE(CanPaste(text, t.meal));
  f.Focus(t.meal);
  ASSERT_TRUE(f.editor.PasteItems(text));
  EXPECT_EQ(Levels(t.meal), (std::vector<int>{1, 2, 3, 3}));
}

TEST(RationClip, DropRules) {
  TEditFixture f(2);
  const TDayMealDish t = Build(f);
  EXPECT_FALSE(CanDropOn(t.meal, t.day));     // its own parent
  EXPECT_TRUE(CanDropOn(t.meal, f.Day(1)));   // another day
  EXPECT_FALSE(CanDropOn(t.meal, t.meal));
  EXPECT_FALSE(CanDropOn(t.meal, t.dish));
  EXPECT_FALSE(CanDropOn(t.day, t.dish));
  EXPECT_FALSE(CanDropOn(nullptr, t.day));
  EXPECT_FALSE(CanDropOn(t.day, nullptr));
  EXPECT_TRUE(CanDropOn(t.dish->GetChildren(0), t.meal));
}

TEST(RationClip, ShiftDragBetweenDocumentsMovesCopyDragCopies) {
  TEditFixture a(1), b(1);
  const TDayMealDish t = Build(a);
  TMtTreeItem* targetMeal = b.doc.AddItem(b.Day(0), "m", nullptr, fkMeal, 1);
  TMtTreeItem* targetDish = b.doc.AddItem(targetMeal, "d", nullptr, fkDish, 2);

  a.doc.DragSource = t.dish->GetChildren(0);
  ASSERT_TRUE(TRationEditor::Drop(a.editor, 1, b.editor, targetDish));
  EXPECT_EQ(t.dish->GetChildrenCount(), 2);
  EXPECT_EQ(targetDish->GetChildrenCount(), 1);

  a.doc.DragSource = t.dish->GetChildren(0);
  ASSERT_TRUE(TRationEditor::Drop(a.editor, 2, b.editor, targetDish));
  EXPECT_EQ(t.dish->GetChildrenCount(), 1);
  EXPECT_EQ(targetDish->GetChildrenCount(), 2);
  EXPECT_EQ(a.doc.DragSource, nullptr);
  EXPECT_EQ(FoodRecOf(b.Day(0))->Cal, 2 * RoundedEnergy(308, 80));
  EXPECT_EQ(b.views.Totals.Cells[2][tcEnergy], Format("%d", {FoodRecOf(b.Day(0))->Cal}));

  // Onto its own parent: refused.
  a.doc.DragSource = t.dish->GetChildren(0);
  EXPECT_FALSE(TRationEditor::Drop(a.editor, 2, a.editor, t.dish));
  EXPECT_EQ(t.dish->GetChildrenCount(), 1);
}
