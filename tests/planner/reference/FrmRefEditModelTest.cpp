// The reference editor's model on small tables: the check of every editable cell, the
// keys that start editing, dish compositions (no cap on the number of components, weights
// recomputed, components added and deleted), the limits page, the actions' enabling, new
// rows, saving and the question on closing.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <map>
#include <sstream>
#include <tuple>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "RefTestSupport.h"
#include "planner/reference/FrmRefEditModel.h"
#include "planner/ration/RationEdit.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/IniFiles.h"
#include "test_support/FileBytes.h"
#include "test_support/ReadOnlyDir.h"
#include "test_support/SaveChain.h"
#include "test_support/TempDir.h"

namespace {

using namespace ref_test;

constexpr const char* kFoodHeader =
    "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C30 | CAL:N6 | ALBA:N8.2 | ALBV:N8.2 | FATA:N8.2 | FATV:N8.2 | "
    "CARB:N8.2 | VEIGHT:N6\n";
constexpr int kManyComponents = 150;

// Picks the given products (records and texts) on every Execute.
class TScriptedPick : public IRefPicker {
 public:
  struct Row {
    TFoodRec Rec;
    AnsiString Text;
  };
  int Execute(int Page, const AnsiString&) override {
    pages.push_back(Page);
    return mrOk;
  }
  int PickCount() const override { return static_cast<int>(rows.size()); }
  AnsiString GetItemPath(int Index, const AnsiString&) const override { return GetItemText(Index); }
  AnsiString GetItemText(int Index) const override {
    return Index >= 0 && Index < PickCount() ? rows[static_cast<std::size_t>(Index)].Text : AnsiString();
  }
  const TFoodRec* GetItemData(int Index) override {
    if (Index < 0 || Index >= PickCount()) return nullptr;
    return &rows[static_cast<std::size_t>(Index)].Rec;
  }
  std::vector<Row> rows;
  std::vector<int> pages;
};

class RefEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string products = std::string(kFoodHeader) +
                           "1  | 0 | 1 | Крупы  |     |      |       |      |      |       |    \n"
                           "10 | 1 | 0 | Гречка | 308 | 0.00 | 12.60 | 0.00 | 3.30 | 57.10 | 80\n"
                           "11 | 1 | 0 | Масло  | 748 | 0.50 |  0.00 | 82.5 | 0.00 |  0.80 | 20\n";
    std::string comp = "DISHCODE:N10 | PRODCODE:N10 | VEIGHT:N6\n101 | 10 | 100\n";
    for (int i = 0; i < kManyComponents; ++i) {
      products += std::to_string(1000 + i) + " | 1 | 0 | P" + std::to_string(i) + " | 100 | 1 | 1 | 1 | 1 | 1 | 10\n";
      comp += "102 | " + std::to_string(1000 + i) + " | " + std::to_string(1 + i) + "\n";
    }
    MakeTable(Dir(), "products", products);
    MakeTable(Dir(), "dish",
              std::string(kFoodHeader) +
                  "100 | 0   | 1 | Каши    |  |  |  |  |  |  |  \n"
                  "101 | 100 | 0 | Гречневая | 0 | 0 | 0 | 0 | 0 | 0 | 0\n"
                  "102 | 100 | 0 | Сборная   | 0 | 0 | 0 | 0 | 0 | 0 | 0\n");
    MakeTable(Dir(), "dishcomp", comp);
    MakeTable(Dir(), "meal", "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C30\n1 | 0 | 0 | Завтрак\n");
    MakeTable(Dir(), "energo",
              "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C60 | CAL:N6 | ALB:N8.2 | FAT:N8.2 | CARB:N8.2\n"
              "10 | 0 | 1 | Пешеходный |  |  |  |  \n"
              "12 | 10 | 0 | 1 к.с. | 3100 | 93 | 112 | 430\n");
    settings_.CreateBakFiles = false;
    Open();
  }
  void Open() {
    model_ = std::make_unique<TRefEditModel>(Dir(), limits_, prompt_, &pick_);
    model_->OnRefSaved = [this](int page) { saved_.push_back(page); };
    for (int p = rpProd; p <= rpParam; ++p) model_->Ref(p).SaveSettings = &settings_;
    model_->Create();
  }
  AnsiString Dir() const { return tmp_.Path() + "/"; }
  TRef& Ref(int page) { return model_->Ref(page); }
  TMtTreeItem* Dish(std::int32_t code) { return Ref(rpDish).FindByCode(code); }

  TempDir tmp_;
  TRationLimits limits_;
  TScriptedPrompt prompt_;
  TScriptedPick pick_;
  TRefSaveSettings settings_;
  std::vector<int> saved_;
  std::unique_ptr<TRefEditModel> model_;
};

TEST_F(RefEditTest, EveryEditableCellIsChecked) {
  struct Case {
    int page;
    std::int32_t code;  // the row (0: the limits page's first row)
    int section;
    const char* typed;
    bool accepted;
    const char* stored;   // the cell afterwards
    const char* message;  // shown on refusal
  };
  const char* kInt = "Здесь можно вводить только целое число без знаков\r";
  const char* kFloat =
      "Здесь можно вводить только вещественное число без знаков\r(десятичный разделитель - точка или запятая)\r";
  const char* kText = "Здесь можно вводить только непустой текст\r";
  const char* kLong = "Здесь можно вводить не более 30 символов\r";
  const char* kChars = "Эти символы нельзя записать в справочник: © ‰\r";
  const Case cases[] = {
      {rpProd, 10, 1, "1.5", false, "308", kInt},
      {rpProd, 10, 1, "-5", false, "308", kInt},  // no signs
      {rpProd, 10, 1, "99999999999", false, "308", kInt},
      {rpProd, 10, 1, "", false, "308", ""},  // an empty text is refused silently
      {rpProd, 10, 1, " 12 ", true, "12", ""},  // numbers are stored trimmed
      {rpProd, 10, 6, "1,2,3", false, "57.1", kFloat},
      {rpProd, 10, 6, "+1", false, "57.1", kFloat},
      {rpProd, 10, 6, "1,25", true, "1,25", ""},
      {rpProd, 10, 6, " 2.5 ", true, "2.5", ""},
      {rpProd, 10, 0, "   ", false, "Гречка", kText},
      {rpProd, 10, 0, " Гречка ядрица ", true, " Гречка ядрица ", ""},  // texts are stored as typed
      // The tables hold code page 866: typographic punctuation is kept as its plain form,
      // other characters it lacks are refused, not written as "?".
      {rpProd, 10, 0, "Сыр «Гауда» — 45%…", true, "Сыр \"Гауда\" - 45%...", ""},
      {rpMeal, 1, 0, "„Ужин“ – ‘поздний’", true, "\"Ужин\" - 'поздний'", ""},
      {rpProd, 10, 0, "Сыр © ‰", false, "Сыр \"Гауда\" - 45%...", kChars},
      // A name fits its field (30 characters here), or it would be cut when written.
      {rpProd, 10, 0, "Гречка ядрица отборная, 1 сорт", true, "Гречка ядрица отборная, 1 сорт", ""},
      {rpProd, 10, 0, "Гречка ядрица отборная, 1 сорт!", false, "Гречка ядрица отборная, 1 сорт", kLong},
      {rpDish, 101, 0, "Гречка ядрица отборная, 1 сор…", false, "Гречневая", kLong},
      {rpEnergo, 12, 1, "3300", true, "3300", ""},
      {rpDish, 101, 0, "Гречка с маслом", true, "Гречка с маслом", ""},
      {rpDish, 101, 1, "500", false, "308", ""},  // a dish's energy is its components'
      {rpParam, 0, 1, "abc", false, "0.30", kFloat},  // a limit must be a number
      {rpParam, 0, 1, "0,4", true, "0,4", ""},
      {rpParam, 0, 0, "Другой", false, "Макс. суточный энергодефицит ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + " on page " + std::to_string(c.page));
    prompt_.shown.clear();
    TCustomMtTree& tree = model_->Tree(c.page);
    TMtTreeItem* item = c.page == rpParam ? tree.Items()->Root()->GetFirstChild() : Ref(c.page).FindByCode(c.code);
    ASSERT_NE(item, nullptr);
    Ref(c.page).Modified = false;
    EXPECT_EQ(model_->EditCell(c.page, item, c.section, Ansi(c.typed)), c.accepted);
    EXPECT_EQ(Utf8(TRefEditModel::CellText(tree, item, c.section)), c.stored);
    EXPECT_EQ(Ref(c.page).Modified, c.accepted);
    if (*c.message != 0) {
      ASSERT_EQ(prompt_.shown.size(), 1u);
      EXPECT_EQ(prompt_.shown[0].Text, c.message);
      EXPECT_EQ(prompt_.shown[0].Type, TMsgDlgType::mtWarning);
    } else {
      EXPECT_TRUE(prompt_.shown.empty());
    }
  }
  // The accepted limit is saved as a number.
  model_->SaveParams();
  EXPECT_DOUBLE_EQ(limits_.MaxRelEnDef, 0.4);
  EXPECT_DOUBLE_EQ(LoadLimits(Dir()).MaxRelEnDef, 0.4);
}

TEST_F(RefEditTest, KeysThatStartEditingAndColumnMoves) {
  struct Case {
    TFieldTypes type;
    unsigned char key;
    bool starts;
  };
  const Case cases[] = {
      {sftNumber, '7', true},   {sftNumber, '-', false},  {sftNumber, ',', false},   {sftNumber, 'a', false},
      {sftFloating, ',', true}, {sftFloating, '.', true}, {sftFloating, '5', true},  {sftFloating, '+', false},
      {sftText, 'a', true},     {sftText, 0xE0, true},    {sftText, ' ', true},      {sftText, '+', false},
      {sftText, '-', false},    {sftText, 127, false},    {sftText, 31, false},
  };
  for (const Case& c : cases) EXPECT_EQ(TRefEditModel::KeyStartsEdit(c.type, c.key), c.starts) << int(c.key);

  EXPECT_EQ(model_->SelectColumn(rpParam), 0);
  EXPECT_TRUE(model_->MoveSelectColumn(rpParam, 1));
  EXPECT_EQ(model_->SelectColumn(rpParam), 1);
  EXPECT_FALSE(model_->MoveSelectColumn(rpParam, 1));  // the key column is hidden
  EXPECT_EQ(model_->SelectColumn(rpParam), 1);
  EXPECT_TRUE(model_->MoveSelectColumn(rpParam, -1));
  EXPECT_FALSE(model_->MoveSelectColumn(rpParam, -1));

  // Dishes: a dish's name and a component's weight only.
  TMtTreeItem* dish = Dish(101);
  TMtTreeItem* part = dish->GetFirstChild();
  EXPECT_TRUE(model_->CanEdit(rpDish, dish, 0));
  EXPECT_FALSE(model_->CanEdit(rpDish, dish, 2));
  EXPECT_FALSE(model_->CanEdit(rpDish, part, 0));
  EXPECT_TRUE(model_->CanEdit(rpDish, part, 2));
  EXPECT_FALSE(model_->CanEdit(rpDish, nullptr, 0));
  EXPECT_FALSE(model_->CanEdit(rpDish, dish, 8));
}

TEST_F(RefEditTest, ADishWithManyComponentsKeepsThemAllThroughSaveAndReload) {
  TMtTreeItem* dish = Dish(102);
  ASSERT_EQ(dish->GetChildrenCount(), kManyComponents);
  EXPECT_EQ(RefFoodRecOf(dish)->Veight, kManyComponents * (kManyComponents + 1) / 2);
  EXPECT_TRUE(prompt_.shown.empty());
  model_->SetActivePage(rpDish);
  Ref(rpDish).Modified = true;
  model_->FileSave();
  EXPECT_FALSE(Ref(rpDish).Modified);
  EXPECT_EQ(saved_, std::vector<int>{1});
  EXPECT_EQ(DumpTable(Dir() + "dishcomp").Rows.size(), static_cast<std::size_t>(kManyComponents + 1));

  Open();
  dish = Dish(102);
  ASSERT_EQ(dish->GetChildrenCount(), kManyComponents);
  EXPECT_EQ(RefFoodRecOf(dish->GetLastChild())->Veight, kManyComponents);
  EXPECT_EQ(Utf8(dish->GetLastChild()->Text()), "P149");
}

TEST_F(RefEditTest, AComponentsWeightIsEditedAndItsDishFollows) {
  TMtTreeItem* dish = Dish(101);
  TMtTreeItem* part = dish->GetFirstChild();
  EXPECT_EQ(part->ColumnText()[0], "308");
  EXPECT_EQ(dish->ColumnText()[3], "12.60");  // AlbV of 100 g
  ASSERT_TRUE(model_->EditCell(rpDish, part, 2, " 50"));
  EXPECT_EQ(RefFoodRecOf(part)->Veight, 50);
  EXPECT_EQ(part->ColumnText()[0], "154");
  EXPECT_EQ(part->ColumnText()[1], "50");
  EXPECT_EQ(part->ColumnText()[3], "6.30");
  EXPECT_EQ(dish->ColumnText()[0], "154");
  EXPECT_EQ(dish->ColumnText()[1], "50");
  EXPECT_EQ(dish->ColumnText()[3], "6.30");
  EXPECT_TRUE(Ref(rpDish).Modified);
}

TEST_F(RefEditTest, ComponentsAreAddedOnceAndDeletedWithTheDishRecomputed) {
  model_->SetActivePage(rpDish);
  TMtTreeItem* dish = Dish(101);
  model_->Tree(rpDish).SetItemFocused(dish);
  ASSERT_TRUE(model_->Actions().ItemsAddComponent);

  // The dish already has buckwheat: nothing new, nothing changed.
  TFoodRec buckwheat = *RefFoodRecOf(dish->GetFirstChild());
  buckwheat.Veight = 80;
  pick_.rows = {{buckwheat, Ansi("Гречка")}};
  model_->ItemsAddComponent();
  EXPECT_EQ(dish->GetChildrenCount(), 1);
  EXPECT_FALSE(Ref(rpDish).Modified);
  EXPECT_EQ(pick_.pages, std::vector<int>{0});

  TFoodRec butter{};
  butter.Code = 11;
  butter.Cal = 748;
  butter.FatA = 82.5;
  butter.Veight = 20;
  butter.Kind = fkRefRow;
  pick_.rows = {{buckwheat, Ansi("Гречка")}, {butter, Ansi("Масло")}};
  model_->ItemsAddComponent();
  ASSERT_EQ(dish->GetChildrenCount(), 2);
  const TFoodRec& added = *RefFoodRecOf(dish->GetLastChild());
  EXPECT_EQ(std::tie(added.Code, added.Owner, added.Flags, added.Kind, added.Veight),
            std::make_tuple(11, 101, 0, fkProduct, 20));
  EXPECT_EQ(RefFoodRecOf(dish)->Cal, 308 + 150);  // 149.6 -> 150
  EXPECT_TRUE(Ref(rpDish).Modified);

  // Deleting a component recomputes its dish.
  model_->Tree(rpDish).SetItemFocused(dish->GetLastChild());
  EXPECT_FALSE(model_->Actions().ItemsAddComponent);
  model_->ItemsDelete();
  EXPECT_EQ(dish->GetChildrenCount(), 1);
  EXPECT_EQ(RefFoodRecOf(dish)->Cal, 308);
  EXPECT_EQ(dish->ColumnText()[0], "308");
  EXPECT_EQ(model_->Tree(rpDish).ItemFocused(), dish->GetFirstChild());

  // Saved and read again: the composition as edited.
  model_->FileSave();
  Open();
  EXPECT_EQ(Dish(101)->GetChildrenCount(), 1);
}

TEST_F(RefEditTest, ActionsFollowThePageAndTheFocusedRow) {
  struct Case {
    int page;
    std::int32_t focused;  // code; 0 none
    TRefEditActions expected;
  };
  //                                    Save   All    Meta  Fold   Item   Comp   Del    DelA   Up     Down
  const Case cases[] = {
      {rpProd, 0, {false, false, true, false, false, false, false, false, false, false}},
      {rpProd, 1, {false, false, true, true, true, false, true, true, false, false}},
      {rpProd, 10, {false, false, true, false, false, false, true, true, false, true}},
      {rpProd, 11, {false, false, true, false, false, false, true, true, true, true}},
      {rpDish, 101, {false, false, true, false, false, true, true, true, false, true}},
      {rpDish, 100, {false, false, true, true, true, false, true, true, false, false}},
      {rpMeal, 0, {false, false, true, false, true, false, false, false, false, false}},
      {rpMeal, 1, {false, false, true, false, true, false, true, true, false, false}},
      {rpParam, 0, {false, false, false, false, false, false, false, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.page) + "/" + std::to_string(c.focused));
    model_->SetActivePage(c.page);
    model_->Tree(c.page).SetItemFocused(c.focused != 0 ? Ref(c.page).FindByCode(c.focused) : nullptr);
    const TRefEditActions a = model_->Actions();
    const TRefEditActions& e = c.expected;
    EXPECT_EQ(a.FileSave, e.FileSave);
    EXPECT_EQ(a.FileSaveAll, e.FileSaveAll);
    EXPECT_EQ(a.ItemsAddMetaFolder, e.ItemsAddMetaFolder);
    EXPECT_EQ(a.ItemsAddFolder, e.ItemsAddFolder);
    EXPECT_EQ(a.ItemsAddItem, e.ItemsAddItem);
    EXPECT_EQ(a.ItemsAddComponent, e.ItemsAddComponent);
    EXPECT_EQ(a.ItemsDelete, e.ItemsDelete);
    EXPECT_EQ(a.ItemsDeleteAll, e.ItemsDeleteAll);
    EXPECT_EQ(a.ItemsMoveUp, e.ItemsMoveUp);
    EXPECT_EQ(a.ItemsMoveDown, e.ItemsMoveDown);
  }
  Ref(rpMeal).Modified = true;
  model_->SetActivePage(rpProd);
  EXPECT_FALSE(model_->Actions().FileSave);
  EXPECT_TRUE(model_->Actions().FileSaveAll);
}

TEST_F(RefEditTest, NewRowsMovesAndDeleteAll) {
  model_->SetActivePage(rpProd);
  std::vector<TMtTreeItem*> shown;
  model_->OnNewRow = [&](TCustomMtTree&, TMtTreeItem* item) { shown.push_back(item); };
  model_->ItemsAddMetaFolder();
  TMtTreeItem* folder = model_->Tree(rpProd).ItemFocused();
  ASSERT_EQ(shown, std::vector<TMtTreeItem*>{folder});
  EXPECT_EQ(Utf8(folder->Text()), "- Новый фолдер -");
  EXPECT_TRUE(IsRefFolder(folder));
  EXPECT_TRUE(folder->GetState(isBold));
  EXPECT_EQ(folder->GetParent(), nullptr);
  model_->ItemsAddItem();
  TMtTreeItem* product = model_->Tree(rpProd).ItemFocused();
  EXPECT_EQ(product->GetParent(), folder);
  EXPECT_EQ(Utf8(product->Text()), "- Новый продукт -");
  EXPECT_EQ(RefFoodRecOf(product)->Kind, fkProduct);
  EXPECT_EQ(RefFoodRecOf(product)->Code, 1151);  // after the largest code and the folder's
  // Values typed in, saved, read again.
  EXPECT_TRUE(model_->EditCell(rpProd, product, 0, Ansi("Сыр")));
  EXPECT_TRUE(model_->EditCell(rpProd, product, 1, "360"));
  EXPECT_TRUE(model_->EditCell(rpProd, product, 4, "26,5"));

  model_->SetActivePage(rpMeal);
  model_->Tree(rpMeal).SetItemFocused(nullptr);
  model_->ItemsAddItem();  // a meal needs no folder
  EXPECT_EQ(Utf8(model_->Tree(rpMeal).ItemFocused()->Text()), "Новая трапеза");
  model_->ItemsMoveUp();
  EXPECT_EQ(model_->Tree(rpMeal).Items()->Root()->GetFirstChild(), model_->Tree(rpMeal).ItemFocused());

  model_->FileSaveAll();
  EXPECT_EQ(saved_, (std::vector<int>{0, 2}));
  EXPECT_FALSE(model_->Actions().FileSaveAll);
  Open();
  TMtTreeItem* cheese = Ref(rpProd).FindByCode(1151);
  ASSERT_NE(cheese, nullptr);
  EXPECT_EQ(Utf8(cheese->Text()), "Сыр");
  EXPECT_EQ(cheese->ColumnText()[0], "360");
  EXPECT_EQ(cheese->ColumnText()[3], "26.5");
  EXPECT_EQ(Utf8(model_->Tree(rpMeal).Items()->Root()->GetFirstChild()->Text()), "Новая трапеза");

  // Delete all asks; No keeps the rows.
  model_->SetActivePage(rpMeal);
  model_->Tree(rpMeal).SetItemFocused(model_->Tree(rpMeal).Items()->Root()->GetFirstChild());
  prompt_.answers = {mrNo, mrYes};
  model_->ItemsDeleteAll();
  EXPECT_EQ(model_->Tree(rpMeal).Items()->Count(), 2);
  model_->ItemsDeleteAll();
  EXPECT_EQ(model_->Tree(rpMeal).Items()->Count(), 0);
  EXPECT_EQ(prompt_.shown[0].Text, "Вы действительно хотите удалить ВСЕ строки\rиз текущего справочника?");
  EXPECT_TRUE(Ref(rpMeal).Modified);
}

// Products that dish compositions use are deleted only after a warning naming them and
// the dishes (the first few of each); unused ones go without a question.
TEST_F(RefEditTest, DeletingProductsThatDishesUseAsksFirst) {
  const std::string kUsedInBoth =
      "Продукты «Гречка», «P0», «P1» и ещё 148 входят в состав блюд: «Гречневая», «Сборная».\r";
  struct Case {
    std::int32_t focused;
    bool all;  // delete all instead of the focused row
    TModalResult answer;
    std::string question;  // "" when none is asked
    bool deleted;
  };
  const Case cases[] = {
      {10, false, mrNo, "Продукт «Гречка» входит в состав блюд: «Гречневая».\rУдалить его?", false},
      {10, false, mrYes, "Продукт «Гречка» входит в состав блюд: «Гречневая».\rУдалить его?", true},
      {11, false, mrNo, "", true},  // no dish uses butter
      {1, false, mrNo, kUsedInBoth + "Удалить их?", false},
      {1, false, mrYes, kUsedInBoth + "Удалить их?", true},
      {11, true, mrNo, kUsedInBoth + "Вы действительно хотите удалить ВСЕ строки\rиз текущего справочника?", false},
      {11, true, mrYes, kUsedInBoth + "Вы действительно хотите удалить ВСЕ строки\rиз текущего справочника?", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.focused) + (c.all ? " all" : ""));
    Open();
    prompt_.shown.clear();
    prompt_.answers = {c.answer};
    model_->SetActivePage(rpProd);
    model_->Tree(rpProd).SetItemFocused(Ref(rpProd).FindByCode(c.focused));
    if (c.all)
      model_->ItemsDeleteAll();
    else
      model_->ItemsDelete();
    if (c.question.empty()) {
      EXPECT_TRUE(prompt_.shown.empty());
    } else {
      ASSERT_EQ(prompt_.shown.size(), 1U);
      EXPECT_EQ(prompt_.shown[0].Text, c.question);
      EXPECT_EQ(prompt_.shown[0].Buttons, mbYes | mbNo);
    }
    EXPECT_EQ(Ref(rpProd).FindByCode(c.focused) == nullptr, c.deleted);
    EXPECT_EQ(Ref(rpProd).Modified, c.deleted);
    // The compositions themselves are not touched by the products page.
    EXPECT_EQ(Dish(101)->GetChildrenCount(), 1);
  }
}

TEST_F(RefEditTest, ClosingAsksForEachChangedTableInOrder) {
  Ref(rpDish).Modified = true;
  Ref(rpEnergo).Modified = true;
  // Yes for dishes, Cancel for kinds of trip: the dishes are saved, the window stays.
  prompt_.answers = {mrYes, mrCancel};
  EXPECT_FALSE(model_->CloseQuery());
  ASSERT_EQ(prompt_.shown.size(), 2u);
  EXPECT_EQ(prompt_.shown[0].Text, "Справочник по блюдам был изменен.\rЗаписать изменения?");
  EXPECT_EQ(prompt_.shown[0].Buttons, mbYes | mbNo | mbCancel);
  EXPECT_EQ(prompt_.shown[1].Text, "Справочник по энергозатратам был изменен.\rЗаписать изменения?");
  EXPECT_FALSE(Ref(rpDish).Modified);
  EXPECT_TRUE(Ref(rpEnergo).Modified);
  EXPECT_EQ(saved_, std::vector<int>{1});

  // No: the change is dropped and the window closes.
  prompt_.shown.clear();
  prompt_.answers = {mrNo};
  EXPECT_TRUE(model_->CloseQuery());
  EXPECT_EQ(prompt_.shown.size(), 1u);

  // The limits page is asked about last.
  Ref(rpParam).Modified = true;
  prompt_.shown.clear();
  prompt_.answers = {mrNo, mrYes};
  EXPECT_TRUE(model_->CloseQuery());
  EXPECT_EQ(prompt_.shown[1].Text, "Справочник по оценочным параметрам был изменен.\rЗаписать изменения?");
  EXPECT_FALSE(Ref(rpParam).Modified);
}

TEST_F(RefEditTest, ATableThatCannotBeWrittenKeepsTheWindowOpen) {
  Ref(rpProd).Modified = true;
  std::filesystem::remove(tmp_.SysPath() + "/products.DBF");
  prompt_.answers = {mrYes};
  EXPECT_FALSE(model_->CloseQuery());
  ASSERT_EQ(prompt_.shown.size(), 2u);
  EXPECT_EQ(prompt_.shown[1].Type, TMsgDlgType::mtError);
  EXPECT_EQ(prompt_.shown[1].Text.rfind("Не удается записать справочник по продуктам", 0), 0u);
  EXPECT_TRUE(Ref(rpProd).Modified);
  EXPECT_TRUE(saved_.empty());
}

TEST_F(RefEditTest, TheLimitsPageShowsAndWritesTheLimits) {
  limits_.MaxAbsEnDef = 65000.4;
  WriteLimitsFile(Dir() + "params.ini", limits_);  // as the program read them
  model_->LoadParams();
  TCustomMtTree& tree = model_->Tree(rpParam);
  ASSERT_EQ(tree.Items()->Count(), kParamCount);
  std::vector<std::string> rows;
  for (int i = 0; i < kParamCount; ++i) {
    const TMtTreeItem* item = tree.Items()->Root()->GetChildren(i);
    rows.push_back(Utf8(item->Text()) + "=" + item->ColumnText()[0] + "@" + item->ColumnText()[1]);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "Макс. суточный энергодефицит =0.30@MaxRelEnDef",
                      "Макс. суммарный энергодефицит, ККал=65000@MaxAbsEnDef",
                      "Мин. доля животных белков =0.50@AlbAVmin",
                      "Мин. доля животных жиров =0.75@FatAVMin", "Макс. доля животных жиров =0.80@FatAVmax",
                      "Доля белков в соотношении Б/Ж/У=1.00@AFCAlb", "Доля жиров в соотношении Б/Ж/У=1.20@AFCFat",
                      "Доля углеводов в соотношении Б/Ж/У=4.60@AFCCarb"}));
  EXPECT_EQ(Utf8(model_->ParamRowHint(tree.Items()->Root()->GetChildren(1))),
            "Максимально допустимое значение суммарного за весь поход энергодефицита, ККал");
  EXPECT_EQ(model_->ParamRowHint(tree.Items()->Root()->GetChildren(5)), "");

  ASSERT_TRUE(model_->EditCell(rpParam, tree.Items()->Root()->GetChildren(7), 1, "5"));
  model_->SetActivePage(rpParam);
  model_->FileSave();
  EXPECT_DOUBLE_EQ(limits_.AFCCarb, 5);
  EXPECT_DOUBLE_EQ(limits_.MaxAbsEnDef, 65000);  // as shown
  const TRationLimits read = LoadLimits(Dir());
  EXPECT_DOUBLE_EQ(read.AFCCarb, 5);
  EXPECT_DOUBLE_EQ(read.FatAVmax, 0.8);
  EXPECT_FALSE(Ref(rpParam).Modified);
  EXPECT_TRUE(saved_.empty());  // the pick-list has no limits page
}

}  // namespace

// ---------------------------------------------------------------------------------
// Other users, read-only folders, tables cut short

TEST_F(RefEditTest, ATableChangedByAnotherUserIsNotWrittenOverAndMayBeReloaded) {
  const char* kChanged =
      "Справочник по %s был изменен другим пользователем\r"
      "после того, как он был открыт здесь.\r"
      "Ваши изменения не записаны, чтобы не затереть чужие.\r"
      "Загрузить справочник заново? Несохраненные изменения в окне будут потеряны.";
  for (int page : {rpProd, rpDish}) {
    SCOPED_TRACE(page);
    Open();
    prompt_.shown.clear();
    model_->SetActivePage(page);
    // This user renames a row; the other one a product, and saves first.
    TMtTreeItem* own = page == rpProd ? Ref(rpProd).FindByCode(10) : Dish(101);
    ASSERT_TRUE(model_->EditCell(page, own, 0, Ansi("Свое")));
    ASSERT_TRUE(InOtherProcess([&] {
      if (page == rpProd)
        EditRecords(Dir() + "products", "CODE", 11, "NAME", Ansi("Чужое"));
      else  // the dish page writes "dishcomp" too: a change there counts as well
        EditRecords(Dir() + "dishcomp", "DISHCODE", 101, "VEIGHT", "30");
    }));
    const std::string products = ReadFileBytes(Dir() + "products.DBF");
    const std::string comp = ReadFileBytes(Dir() + "dishcomp.DBF");

    prompt_.answers = {mrNo};  // keep the own edit in the window
    model_->FileSave();
    ASSERT_EQ(prompt_.shown.size(), 1u);
    EXPECT_EQ(prompt_.shown[0].Text, Utf8(Format(Ansi(kChanged), {TRefEditModel::PageDative(page)})));
    EXPECT_EQ(prompt_.shown[0].Type, TMsgDlgType::mtWarning);
    EXPECT_EQ(prompt_.shown[0].Buttons, mbYes | mbNo);
    EXPECT_EQ(ReadFileBytes(Dir() + "products.DBF"), products);
    EXPECT_EQ(ReadFileBytes(Dir() + "dishcomp.DBF"), comp);
    EXPECT_TRUE(Ref(page).Modified);
    EXPECT_EQ(Utf8(own->Text()), "Свое");
    EXPECT_TRUE(saved_.empty());

    // The second time the user reloads: the other user's change shows, the own is gone.
    prompt_.shown.clear();
    prompt_.answers = {mrYes};
    model_->FileSave();
    ASSERT_EQ(prompt_.shown.size(), 1u);
    EXPECT_FALSE(Ref(page).Modified);
    if (page == rpProd) {
      EXPECT_EQ(Utf8(Ref(rpProd).FindByCode(11)->Text()), "Чужое");
      EXPECT_EQ(Utf8(Ref(rpProd).FindByCode(10)->Text()), "Гречка");
    } else {
      EXPECT_EQ(Utf8(Dish(101)->Text()), "Гречневая");
      ASSERT_EQ(Dish(101)->GetChildrenCount(), 1);
      EXPECT_EQ(RefFoodRecOf(Dish(101)->GetFirstChild())->Veight, 30);
    }
    // Now the table saves.
    ASSERT_TRUE(model_->EditCell(page, page == rpProd ? Ref(rpProd).FindByCode(10) : Dish(101), 0, Ansi("Свое")));
    prompt_.shown.clear();
    model_->FileSave();
    EXPECT_TRUE(prompt_.shown.empty());
    EXPECT_FALSE(Ref(page).Modified);
    saved_.clear();
  }
}

TEST_F(RefEditTest, LimitsChangedByAnotherUserAreNotWrittenOverAndMayBeReloaded) {
  TMtTreeItem* first = model_->Tree(rpParam).Items()->Root()->GetFirstChild();
  model_->SetActivePage(rpParam);
  ASSERT_TRUE(model_->EditCell(rpParam, first, 1, "0,4"));
  // The other user saves another limit first.
  {
    TIniFile ini(Dir() + "params.ini");
    ini.WriteFloat("Limits", "FatAVmax", 0.95);
    ini.UpdateFile();
  }
  const std::string theirs = ReadFileBytes(Dir() + "params.ini");
  prompt_.shown.clear();
  prompt_.answers = {mrNo};
  model_->FileSave();
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_NE(prompt_.shown[0].Text.find("Справочник по оценочным параметрам был изменен другим пользователем"),
            std::string::npos);
  EXPECT_EQ(ReadFileBytes(Dir() + "params.ini"), theirs);
  EXPECT_TRUE(Ref(rpParam).Modified);

  // Reloaded: their value shows; the own edit, made again, then saves beside it.
  prompt_.shown.clear();
  prompt_.answers = {mrYes};
  model_->FileSave();
  EXPECT_FALSE(Ref(rpParam).Modified);
  EXPECT_EQ(limits_.FatAVmax, 0.95);
  ASSERT_TRUE(model_->EditCell(rpParam, model_->Tree(rpParam).Items()->Root()->GetFirstChild(), 1, "0,4"));
  prompt_.shown.clear();
  model_->FileSave();
  EXPECT_TRUE(prompt_.shown.empty());
  EXPECT_FALSE(Ref(rpParam).Modified);
  const TRationLimits saved = LoadLimits(Dir());
  EXPECT_EQ(saved.FatAVmax, 0.95);
  EXPECT_EQ(saved.MaxRelEnDef, 0.4);
}

TEST_F(RefEditTest, LimitsSavedByAnotherUserBeforeTheEditorOpenedAreNotWrittenOver) {
  // The program read its limits at start-up; another user has saved the file since.
  // The page shows the program's limits, and a save asks before it writes over theirs.
  TRationLimits theirs = limits_;
  theirs.FatAVmax = 0.95;
  WriteLimitsFile(Dir() + "params.ini", theirs);
  const std::string file = ReadFileBytes(Dir() + "params.ini");
  model_.reset();
  Open();
  model_->SetActivePage(rpParam);
  TCustomMtTree& tree = model_->Tree(rpParam);
  EXPECT_EQ(tree.Items()->GetItem(4)->ColumnText()[0], "0.80");
  ASSERT_TRUE(model_->EditCell(rpParam, tree.Items()->GetItem(0), 1, "0,4"));
  prompt_.shown.clear();
  prompt_.answers = {mrYes};  // reload
  model_->FileSave();
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_NE(prompt_.shown[0].Text.find("был изменен другим пользователем"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(Dir() + "params.ini"), file);
  EXPECT_EQ(tree.Items()->GetItem(4)->ColumnText()[0], "0.95");
  // Reloaded, the page saves as usual.
  ASSERT_TRUE(model_->EditCell(rpParam, tree.Items()->GetItem(0), 1, "0,4"));
  prompt_.shown.clear();
  model_->FileSave();
  EXPECT_TRUE(prompt_.shown.empty());
  const TRationLimits saved = LoadLimits(Dir());
  EXPECT_EQ(std::make_pair(saved.MaxRelEnDef, saved.FatAVmax), std::make_pair(0.4, 0.95));
}

TEST_F(RefEditTest, ALimitTypedWithMoreDigitsThanTheFileKeepsIsHeldAsTheFileHoldsIt) {
  model_->SetActivePage(rpParam);
  ASSERT_TRUE(model_->EditCell(rpParam, model_->Tree(rpParam).Items()->GetItem(0), 1, "0,12345678901234567"));
  model_->FileSave();
  EXPECT_EQ(limits_.MaxRelEnDef, LoadLimits(Dir()).MaxRelEnDef);
  // The next editor finds the file holding the program's limits: its save asks nothing.
  model_.reset();
  Open();
  model_->SetActivePage(rpParam);
  ASSERT_TRUE(model_->EditCell(rpParam, model_->Tree(rpParam).Items()->GetItem(2), 1, "0,6"));
  prompt_.shown.clear();
  model_->FileSave();
  EXPECT_TRUE(prompt_.shown.empty());
  EXPECT_EQ(LoadLimits(Dir()).AlbAVmin, 0.6);
}

TEST_F(RefEditTest, AReadOnlyFolderOpensTheEditorReadOnly) {
  {
    // The limits file is there too.
    TIniFile ini(Dir() + "params.ini");
    ini.WriteFloat("Limits", "AFCAlb", 1);
    ini.UpdateFile();
  }
  test_support::TReadOnlyDir readOnly(tmp_.SysPath());
  // Where no folder can be made read-only, the program is told it cannot write.
  TInjectedNoWrites injected(!readOnly.Available());
  prompt_.shown.clear();
  Open();
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Папка справочников недоступна для записи:\r" + Utf8(Dir()) +
                                       "\rСправочники открыты только для просмотра, изменения в них сохранить нельзя.");
  EXPECT_EQ(prompt_.shown[0].Type, TMsgDlgType::mtWarning);
  EXPECT_EQ(Ref(rpProd).ItemList().size(), 3u + kManyComponents);
  EXPECT_EQ(Dish(102)->GetChildrenCount(), kManyComponents);
  for (int page = rpProd; page <= rpParam; ++page) {
    SCOPED_TRACE(page);
    model_->SetActivePage(page);
    EXPECT_TRUE(model_->ReadOnly(page));
    TCustomMtTree& tree = model_->Tree(page);
    tree.SetItemFocused(tree.Items()->GetItem(1));
    const TRefEditActions a = model_->Actions();
    EXPECT_FALSE(a.FileSave || a.FileSaveAll || a.ItemsAddMetaFolder || a.ItemsAddFolder || a.ItemsAddItem ||
                 a.ItemsAddComponent || a.ItemsDelete || a.ItemsDeleteAll || a.ItemsMoveUp || a.ItemsMoveDown);
    EXPECT_FALSE(model_->CanEdit(page, tree.Items()->GetItem(1), 0));
    EXPECT_FALSE(model_->CanEdit(page, tree.Items()->GetItem(1), 1));
  }
  EXPECT_TRUE(model_->CloseQuery());
  EXPECT_EQ(prompt_.shown.size(), 1u);

  // The pick-list of the main window loads every table without a message.
  TScriptedPrompt pickPrompt;
  TCustomMtTree trees[kRefPageCount];
  TRefMenu menu({&trees[0], &trees[1], &trees[2], &trees[3]}, Dir(), pickPrompt);
  EXPECT_TRUE(pickPrompt.shown.empty()) << pickPrompt.shown[0].Text;
}

TEST_F(RefEditTest, AProductsTableCutShortIsSavedOnlyWhenTheUserAgrees) {
  // The last product is cut off; its header still counts it.
  const std::string whole = ReadFileBytes(Dir() + "products.DBF");
  const std::size_t recordLength = 1 + 10 + 10 + 5 + 30 + 6 + 5 * 8 + 6;
  const std::string cut = whole.substr(0, whole.size() - 1 - recordLength);
  WriteFileBytes(Dir() + "products.DBF", cut);
  prompt_.shown.clear();
  Open();
  ASSERT_GE(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Справочник " + Utf8(Dir()) +
                                       "products поврежден: файл обрывается, в нем не хватает записей (1).\r"
                                       "Загружены только имеющиеся записи.");
  ASSERT_TRUE(model_->EditCell(rpProd, Ref(rpProd).FindByCode(10), 0, Ansi("Гречка ядрица")));
  const char* kAsk =
      "Справочник по продуктам был загружен из поврежденного файла:\r"
      "в нем не хватает записей (1), они не были прочитаны.\r"
      "При записи эти записи будут потеряны окончательно.\r"
      "Все равно записать справочник?";
  prompt_.shown.clear();
  prompt_.answers = {mrNo};
  model_->FileSave();
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, kAsk);
  EXPECT_EQ(prompt_.shown[0].Buttons, mbYes | mbNo);
  EXPECT_EQ(ReadFileBytes(Dir() + "products.DBF"), cut);
  EXPECT_TRUE(Ref(rpProd).Modified);
  // Closing asks to save; the same question comes, and No keeps the window open.
  prompt_.shown.clear();
  prompt_.answers = {mrYes, mrNo};
  EXPECT_FALSE(model_->CloseQuery());
  EXPECT_EQ(ReadFileBytes(Dir() + "products.DBF"), cut);

  prompt_.shown.clear();
  prompt_.answers = {mrYes};
  model_->FileSave();
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_FALSE(Ref(rpProd).Modified);
  EXPECT_EQ(DumpTable(Dir() + "products").Rows.size(), 3u + kManyComponents - 1);
}

namespace {

TEST_F(RefEditTest, TwoEditorsSavingTheLimitsInALoopLoseNoSaveUnasked) {
  // Two processes edit one limit each and save, reloading the page when they are told
  // another user saved first. Each save starts from the file as its editor read it; the
  // saves that were done must form one chain of files, none two from the same file. A
  // state of the page names a state of the file only if no state comes twice: each
  // process types values above its limit's first one, one higher every round.
  model_->SetActivePage(rpParam);
  TCustomMtTree& tree = model_->Tree(rpParam);
  constexpr int kRounds = 40;
  const int firstHundredths[] = {static_cast<int>(std::lround(limits_.MaxRelEnDef * 100)),
                                 static_cast<int>(std::lround(limits_.AlbAVmin * 100))};
  ASSERT_LE(std::max(firstHundredths[0], firstHundredths[1]) + kRounds, 99);
  const TSaveChain r = RunSavers(2, "0.30/0.50", tmp_.SysPath(), [&](int k) {
    const auto state = [&] {  // the two values as the page holds them, typed or read
      std::string s = tree.Items()->GetItem(0)->ColumnText()[0] + "/" + tree.Items()->GetItem(2)->ColumnText()[0];
      std::replace(s.begin(), s.end(), ',', '.');
      return s;
    };
    std::string log;
    for (int i = 1; i <= kRounds; ++i) {
      const std::string before = state();
      const std::string value = "0," + std::to_string(firstHundredths[k] + i);
      if (!model_->EditCell(rpParam, tree.Items()->GetItem(k * 2), 1, value)) ::_exit(2);
      prompt_.shown.clear();
      prompt_.answers = {mrYes};  // reload when refused
      model_->FileSave();
      if (prompt_.shown.empty()) {
        if (model_->Ref(rpParam).Modified) ::_exit(4);  // nothing asked, yet not written
        log += before + " " + state() + "\n";
      } else if (prompt_.shown[0].Text.find("изменен другим пользователем") == std::string::npos) {
        ::_exit(3);
      }
    }
    return log;
  });
  ASSERT_TRUE(r.ChildrenOk);
  EXPECT_EQ(r.SameStart, 0) << "saves lost without a word, of " << r.Saves;
  EXPECT_EQ(r.Chain, r.Saves);
  const TRationLimits last = LoadLimits(Dir());
  EXPECT_EQ(Format("%3.2f", {last.MaxRelEnDef}) + "/" + Format("%3.2f", {last.AlbAVmin}), r.Last);
  EXPECT_GT(r.Saves, 1);
}

TEST_F(RefEditTest, LimitsThatAreNoNumbersOrOutOfRangeAreNamedInAWarning) {
  {
    TIniFile ini(Dir() + "params.ini");
    ini.WriteString("Limits", "MaxRelEnDef", "abc");
    ini.WriteString("Limits", "MaxAbsEnDef", "1E+20");
    ini.WriteString("Limits", "FatAVmax", "-0.2");
    ini.WriteString("Limits", "AlbAVmin", "0,6");
    ini.UpdateFile();
  }
  std::vector<AnsiString> faulty;
  const TRationLimits l = LoadLimits(Dir(), &faulty);
  EXPECT_EQ(faulty, (std::vector<AnsiString>{"MaxRelEnDef", "MaxAbsEnDef", "FatAVmax"}));
  const TRationLimits defaults;
  EXPECT_EQ(std::make_tuple(l.MaxRelEnDef, l.MaxAbsEnDef, l.FatAVmax, l.AlbAVmin),
            std::make_tuple(defaults.MaxRelEnDef, defaults.MaxAbsEnDef, defaults.FatAVmax, 0.6));
  // The pick-list tells the user at start-up, the editor when it reloads the page.
  std::array<std::unique_ptr<TCustomMtTree>, kRefPageCount> owned;
  std::array<TCustomMtTree*, kRefPageCount> trees{};
  for (int p = 0; p < kRefPageCount; ++p) trees[p] = (owned[p] = std::make_unique<TCustomMtTree>()).get();
  prompt_.shown.clear();
  TRefMenu menu(trees, Dir(), prompt_);
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "В файле " + Utf8(Dir()) +
                                       "params.ini неверные значения параметров (не числа или вне допустимых "
                                       "пределов): MaxRelEnDef, MaxAbsEnDef, FatAVmax.\rВместо них взяты значения "
                                       "по умолчанию.");
  EXPECT_EQ(prompt_.shown[0].Type, TMsgDlgType::mtWarning);
  prompt_.shown.clear();
  model_->ReloadPage(rpParam);
  EXPECT_EQ(prompt_.shown.size(), 1u);
  // The page takes no value outside the range either.
  TMtTreeItem* first = model_->Tree(rpParam).Items()->GetItem(0);
  prompt_.shown.clear();
  EXPECT_FALSE(model_->EditCell(rpParam, first, 1, "1,5"));
  EXPECT_EQ(prompt_.shown.size(), 1u);
  EXPECT_TRUE(model_->EditCell(rpParam, first, 1, "1"));
}

}  // namespace
