// The reference editor's window on a copy of the shipped tables, driven as a user does:
// actions by name, keys into the trees and the in-place editor. A product is added and
// given values, used in a dish, saved; a new window (and the pick-list's model, as after
// restarting the program) finds both. The close question and a refused cell are checked
// through the scripted prompt.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>

#include <memory>
#include <string>

#include "planner/app/Globals.h"
#include "planner/gui/FrmRefEdit.h"
#include "planner/gui/RowTreeView.h"
#include "planner/ration/RationEdit.h"
#include "planner/reference/RefMenu.h"
#include "planner/reference/RefTestSupport.h"
#include "refdata/RefBuild.h"
#include "test_support/TempDir.h"

namespace {

using ref_test::TScriptedPrompt;
using ref_test::Utf8;

// Picks one given row of the products tree.
class TOneProduct : public IRefPicker {
 public:
  TModalResult Execute(int Page, const AnsiString&) override {
    pages.push_back(Page);
    return item != nullptr ? mrOk : mrCancel;
  }
  int PickCount() const override { return item != nullptr ? 1 : 0; }
  AnsiString GetItemText(int Index) const override { return Index == 0 && item ? item->Text() : AnsiString(); }
  AnsiString GetItemPath(int Index, const AnsiString&) const override { return GetItemText(Index); }
  const TFoodRec* GetItemData(int Index) override {
    if (Index != 0 || item == nullptr) return nullptr;
    // As the pick-list gives a product: its values per 100 g from the row's texts.
    rec = TFoodRec{};
    rec.Code = RefRecOf(item)->Code;
    // (The record is packed: its fields are read into locals first.)
    std::int32_t cal = 0, veight = 0;
    double fat = 0;
    TextToInt(item->ColumnText()[0], cal);
    TextToFloat(item->ColumnText()[3], fat);
    TextToInt(item->ColumnText()[6], veight);
    rec.Cal = cal;
    rec.FatA = fat;
    rec.Veight = veight;
    return &rec;
  }
  TMtTreeItem* item = nullptr;
  TFoodRec rec{};
  std::vector<int> pages;
};

void Key(QWidget* w, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
}

void Type(QWidget* w, const char* utf8) {
  for (QChar c : QString::fromUtf8(utf8)) Key(w, 0, QString(c));
}

class RefEditFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, Dir()).empty());
    limits_ = LoadLimits(Dir());
  }
  AnsiString Dir() const { return tmp_.Path() + "/"; }
  std::unique_ptr<TRefEditForm> Open() {
    auto form = std::make_unique<TRefEditForm>(Dir(), limits_, prompt_, &pick_);
    form->Model().OnRefSaved = [this](int page) { saved_.push_back(page); };
    form->show();
    QApplication::processEvents();
    return form;
  }
  void Trigger(TRefEditForm& form, const char* name) {
    QAction* a = form.Action(name);
    ASSERT_NE(a, nullptr) << name;
    ASSERT_TRUE(a->isEnabled()) << name;
    a->trigger();
  }
  // Selects the column (by Right from the first) and types a value into the focused row.
  void TypeCell(TRefEditForm& form, int page, int section, const char* utf8) {
    TRowTreeView* view = form.View(page);
    while (form.Model().SelectColumn(page) > 0) Key(view, Qt::Key_Left);
    for (int i = 0; i < section; ++i) Key(view, Qt::Key_Right);
    ASSERT_EQ(form.Model().SelectColumn(page), section);
    Key(view, Qt::Key_Return);
    ASSERT_TRUE(form.Editor()->isVisible());
    form.Editor()->clear();
    Type(form.Editor(), utf8);
    Key(form.Editor(), Qt::Key_Return);
    EXPECT_FALSE(form.Editor()->isVisible());
  }

  TempDir tmp_;
  TRationLimits limits_;
  TScriptedPrompt prompt_;
  TOneProduct pick_;
  std::vector<int> saved_;
};

TEST_F(RefEditFormTest, AProductIsAddedGivenValuesUsedInADishAndFoundAfterReopening) {
  std::unique_ptr<TRefEditForm> form = Open();
  TRefEditModel& m = form->Model();
  EXPECT_EQ(form->PageControl1->count(), 5);
  EXPECT_FALSE(form->Action("FileSave")->isEnabled());

  // A new folder, a product in it, its name and values typed in.
  Trigger(*form, "ItemsAddMetaFolder");
  Trigger(*form, "ItemsAddItem");
  TMtTreeItem* product = m.Tree(rpProd).ItemFocused();
  ASSERT_NE(product, nullptr);
  const std::int32_t code = RefRecOf(product)->Code;
  TypeCell(*form, rpProd, 0, "Сыр горный");
  TypeCell(*form, rpProd, 1, "380");
  TypeCell(*form, rpProd, 4, "30,5");
  TypeCell(*form, rpProd, 7, "50");
  EXPECT_EQ(Utf8(product->Text()), "Сыр горный");
  EXPECT_EQ(product->ColumnText()[0], "380");
  EXPECT_TRUE(form->Action("FileSave")->isEnabled());

  // A minus sign starts no edit; a letter in a number column neither.
  Key(form->View(rpProd), Qt::Key_Minus, "-");
  EXPECT_FALSE(form->Editor()->isVisible());
  // A refused value: the message, the old text stays.
  prompt_.answers = {mrOk};
  TypeCell(*form, rpProd, 1, "12,5");
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Здесь можно вводить только целое число без знаков\r");
  EXPECT_EQ(product->ColumnText()[0], "380");
  Trigger(*form, "FileSave");
  EXPECT_EQ(saved_, std::vector<int>{0});
  EXPECT_FALSE(form->Action("FileSave")->isEnabled());

  // The product goes into the first dish.
  form->PageControl1->setCurrentIndex(rpDish);
  TMtTreeItem* dish = nullptr;
  m.Tree(rpDish).Items()->Iterate(
      false,
      [&](TMtTreeItem* i, int, bool& stop, void*, TCustomMtTree*) {
        if (!IsRefFolder(i) && RefRecOf(i)->Kind == fkDish) {
          dish = i;
          stop = true;
        }
      },
      nullptr);
  ASSERT_NE(dish, nullptr);
  const std::int32_t dishCode = RefRecOf(dish)->Code;
  const int components = dish->GetChildrenCount();
  const std::int32_t cal = RefFoodRecOf(dish)->Cal;
  m.Tree(rpDish).SetItemFocused(dish);
  form->UpdateActions();
  pick_.item = product;
  Trigger(*form, "ItemsAddComponent");
  EXPECT_EQ(pick_.pages, std::vector<int>{0});
  ASSERT_EQ(dish->GetChildrenCount(), components + 1);
  EXPECT_EQ(RefFoodRecOf(dish)->Cal, cal + 190);  // 380 kcal per 100 g, 50 g
  // Its weight edited in place: 100 g.
  m.Tree(rpDish).SetItemFocused(dish->GetLastChild());
  TypeCell(*form, rpDish, 2, "100");
  EXPECT_EQ(RefFoodRecOf(dish)->Cal, cal + 380);
  const QImage shot = form->grab().toImage();
  if (const char* dir = std::getenv("TARNWICK_SHOTS")) shot.save(QString("%1/refedit.png").arg(dir));

  // Closing asks about the changed dishes; Yes saves them.
  prompt_.shown.clear();
  prompt_.answers = {mrYes};
  form->close();
  EXPECT_FALSE(form->isVisible());
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Справочник по блюдам был изменен.\rЗаписать изменения?");
  form.reset();

  // Reopened: the product with its values, the dish with it at 100 g.
  form = Open();
  TMtTreeItem* again = form->Model().Ref(rpProd).FindByCode(code);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Utf8(again->Text()), "Сыр горный");
  TMtTreeItem* dishAgain = form->Model().Ref(rpDish).FindByCode(dishCode);
  ASSERT_NE(dishAgain, nullptr);
  const TFoodRec part = *RefFoodRecOf(dishAgain->GetLastChild());
  EXPECT_EQ(part.Code, code);
  EXPECT_EQ(part.Veight, 100);
  form.reset();

  // The pick-list of a restarted program lists the product with its values.
  std::array<std::unique_ptr<TCustomMtTree>, kRefPageCount> trees;
  std::array<TCustomMtTree*, kRefPageCount> treePtrs{};
  for (std::size_t i = 0; i < trees.size(); ++i) {
    trees[i] = std::make_unique<TCustomMtTree>();
    treePtrs[i] = trees[i].get();
  }
  TRefMenu menu(treePtrs, Dir(), prompt_);
  TMtTreeItem* listed = menu.Ref(0).FindByCode(code);
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(Utf8(listed->Text()), "Сыр горный");
  EXPECT_EQ(RefFoodRecOf(listed)->Cal, 380);
  const double fat = RefFoodRecOf(listed)->FatA;
  EXPECT_DOUBLE_EQ(fat, 30.5);
}

TEST_F(RefEditFormTest, CancelAtTheCloseQuestionKeepsTheWindowOpen) {
  std::unique_ptr<TRefEditForm> form = Open();
  form->PageControl1->setCurrentIndex(rpMeal);
  Trigger(*form, "ItemsAddItem");
  EXPECT_TRUE(form->Action("FileSaveAll")->isEnabled());
  prompt_.answers = {mrCancel};
  form->close();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(prompt_.shown.back().Text, "Справочник по трапезам был изменен.\rЗаписать изменения?");
  // Esc in the window asks again; No closes without saving.
  prompt_.answers = {mrNo};
  Key(form.get(), Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(saved_.empty());
}

}  // namespace
