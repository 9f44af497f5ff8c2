// Find and replace in a ration window on the shipped tables: Find Next with the find
// dialog's last condition focuses the match in the ration tree, and a dish replaced
// through the confirmation dialog takes its components from the dish tables.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "planner/gui/FrmFind.h"
#include "planner/gui/PlannerPrompt.h"
#include "controls/gui/MtTreeView.h"
#include "planner/gui/RaskladForm.h"
#include "planner/reference/RefItems.h"
#include "planner/reference/RefMenu.h"
#include "platform/gui/Dialogs.h"
#include "refdata/RefBuild.h"
#include "test_support/TempDir.h"

namespace {

std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

class FindInWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, tmp_.Path() + "/").empty());
    std::array<TCustomMtTree*, kRefPageCount> trees{};
    for (std::size_t i = 0; i < trees.size(); ++i) {
      trees_[i] = std::make_unique<TCustomMtTree>();
      trees[i] = trees_[i].get();
    }
    menu_ = std::make_unique<TRefMenu>(trees, tmp_.Path() + "/", prompt_);
    dlg_ = std::make_unique<TFindDlg>(model_, menu_.get());
    services_.RefMenu = menu_.get();
    services_.Prompt = &prompt_;
    services_.Messages = &prompt_;
    services_.Defaults.Days = 2;
    services_.FindDlg = dlg_.get();
    form_ = std::make_unique<TRaskladForm>(services_);
    ASSERT_EQ(form_->Open(""), 0);
  }
  // The first row of a reference tree that is not a folder and whose name starts so.
  TMtTreeItem* RefRow(int page, const char* utf8) {
    TMtTreeItem* found = nullptr;
    const AnsiString prefix = Ansi(utf8);
    menu_->Ref(page).Tree().Items()->Iterate(
        false,
        [&](TMtTreeItem* i, int, bool& stop, void*, TCustomMtTree*) {
          if (!IsRefFolder(i) && i->Text().rfind(prefix, 0) == 0) {
            found = i;
            stop = true;
          }
        },
        nullptr);
    return found;
  }
  // Adds a reference row to a day as the ration's own commands do.
  TMtTreeItem* Add(TMtTreeItem* parent, TMtTreeItem* row, std::int32_t kind) {
    TFoodRec rec = *RefFoodRecOf(row);
    TMtTreeItem* item = form_->Doc().AddItem(parent, row->Text(), &rec, kind, rec.Code);
    if (kind == fkDish) form_->Editor().AddDishComponents(item);
    form_->Doc().SumGroup(parent, true);
    return item;
  }

  TempDir tmp_;
  TPlannerPrompt prompt_;
  std::array<std::unique_ptr<TCustomMtTree>, kRefPageCount> trees_;
  std::unique_ptr<TRefMenu> menu_;
  TFindDlgModel model_;
  std::unique_ptr<TFindDlg> dlg_;
  TPlannerServices services_;
  std::unique_ptr<TRaskladForm> form_;
};

TEST_F(FindInWindow, FindNextFocusesTheMatchAndADishIsReplacedWithItsComponents) {
  TScriptedDialogsScope dialogs;
  TRationDocument& doc = form_->Doc();
  TMtTreeItem* day1 = doc.Items()->Root()->GetFirstChild();
  TMtTreeItem* day2 = day1->GetNextSibling();
  TMtTreeItem* oldDish = RefRow(1, "");
  TMtTreeItem* newDish = RefRow(1, "Сухари");
  ASSERT_NE(oldDish, nullptr);
  ASSERT_NE(newDish, nullptr);
  ASSERT_NE(oldDish, newDish);
  Add(day1, oldDish, fkDish);
  Add(day2, oldDish, fkDish);
  form_->ApplyDocumentState();

  // Without a checked condition Find Next is off.
  EXPECT_FALSE(form_->Commands().FindNext);
  model_.SetItemType(1);
  model_.SetCondValue(oldDish->Text());
  ASSERT_TRUE(model_.Check().Ok);
  doc.Tree().SetItemFocused(nullptr);
  form_->ItemFindNextExecute();
  EXPECT_EQ(doc.Tree().ItemFocused(), day1->GetFirstChild());
  EXPECT_EQ(form_->Finder().LastFound(), day1->GetFirstChild());
  form_->ItemFindNextExecute();
  EXPECT_EQ(doc.Tree().ItemFocused(), day2->GetFirstChild());

  // Replace with "Yes to all": both days get the new dish with its composition.
  model_.SetReplace(true);
  model_.SetReplacement(*RefFoodRecOf(newDish), newDish->Text());
  ASSERT_TRUE(model_.Check().Ok);
  doc.Tree().SetItemFocused(nullptr);
  dialogs->Answer(mrYesToAll);
  dialogs->Answer(mrOk);  // the count
  form_->ItemFindNextExecute();
  ASSERT_EQ(dialogs->Shown().size(), 2u);
  EXPECT_EQ(Utf8(dialogs->Shown()[1].Text), "Выполнено замен: 2 ");
  for (TMtTreeItem* day : {day1, day2}) {
    TMtTreeItem* dish = day->GetFirstChild();
    EXPECT_EQ(dish->Text(), newDish->Text());
    EXPECT_GT(dish->GetChildrenCount(), 0);
    EXPECT_EQ(FoodRecOf(day)->Cal, FoodRecOf(dish)->Cal);
  }
  EXPECT_EQ(doc.Modified, 1);
  EXPECT_EQ(dialogs->Unexpected(), 0);
}

// Replacing products changes the day sums: the totals grid under the tabs shows the new
// sums at once.
TEST_F(FindInWindow, ReplacingProductsLeavesTheTotalsGridCurrent) {
  TScriptedDialogsScope dialogs;
  TRationDocument& doc = form_->Doc();
  TMtTreeItem* day1 = doc.Items()->Root()->GetFirstChild();
  TMtTreeItem* day2 = day1->GetNextSibling();
  TMtTreeItem* from = RefRow(0, "Сахар");
  TMtTreeItem* to = RefRow(0, "Сухари");
  ASSERT_NE(from, nullptr);
  ASSERT_NE(to, nullptr);
  ASSERT_NE(RefFoodRecOf(from)->Cal, RefFoodRecOf(to)->Cal);
  Add(day1, from, fkProduct);
  Add(day2, from, fkProduct);
  form_->Editor().UpdateTotals();
  form_->ApplyDocumentState();
  auto gridEnergy = [&] { return form_->TotalsView()->Items()->Root()->GetChildren(2)->ColumnText()[tcEnergy]; };
  const AnsiString before = gridEnergy();

  model_.SetItemType(0);
  model_.SetCondValue(from->Text());
  model_.SetReplace(true);
  model_.SetReplacement(*RefFoodRecOf(to), to->Text());
  model_.SetRepValue("*");
  ASSERT_TRUE(model_.Check().Ok);
  doc.Tree().SetItemFocused(nullptr);
  dialogs->Answer(mrYesToAll);
  dialogs->Answer(mrOk);
  form_->ItemFindNextExecute();
  ASSERT_EQ(day1->GetFirstChild()->Text(), to->Text());
  const std::int64_t sum = FoodRecOf(day1)->Cal + FoodRecOf(day2)->Cal;
  EXPECT_EQ(gridEnergy(), Format("%d", {sum}));
  EXPECT_NE(gridEnergy(), before);
  form_->ShowTab(2);
  form_->ShowTab(0);
  EXPECT_EQ(gridEnergy(), Format("%d", {sum}));
}

}  // namespace
