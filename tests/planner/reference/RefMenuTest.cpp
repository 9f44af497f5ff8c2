// The pick-list's model over the shipped reference tables, and the limits file.
#include <gtest/gtest.h>

#include "RefTestSupport.h"
#include "planner/reference/RefItems.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/Files.h"
#include "refdata/RefBuild.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"

using namespace ref_test;

namespace {

class RefMenuTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    ASSERT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, dir_->Path() + "/").empty());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  std::unique_ptr<TRefMenu> Make(const AnsiString& refDir = dir_->Path() + "/") {
    return std::make_unique<TRefMenu>(std::array<TCustomMtTree*, kRefPageCount>{&prod_, &dish_, &meal_, &energo_},
                                      refDir, prompt_);
  }
  static TMtTreeItem* FindText(TCustomMtTree& tree, const char* utf8) {
    for (TMtTreeItem* i = tree.Items()->GetItem(0); i != nullptr; i = i->GetNext())
      if (i->Text() == Ansi(utf8)) return i;
    return nullptr;
  }

  static TempDir* dir_;
  TCustomMtTree prod_, dish_, meal_, energo_;
  TScriptedPrompt prompt_;
};
TempDir* RefMenuTest::dir_ = nullptr;

}  // namespace

TEST_F(RefMenuTest, LoadsTheFourTablesAndTheLimits) {
  auto menu = Make();
  EXPECT_TRUE(prompt_.shown.empty());
  EXPECT_GT(prod_.Items()->Count(), 100);
  EXPECT_GT(dish_.Items()->Count(), 10);
  EXPECT_GE(meal_.Items()->Count(), 6);
  EXPECT_GT(energo_.Items()->Count(), 20);
  EXPECT_EQ(menu->Limits.MaxAbsEnDef, 70000);
  EXPECT_EQ(menu->Limits.AFCCarb, 4.6);
  EXPECT_EQ(Utf8(prod_.HeaderSections()->GetSection(1)->Text()), "ККал.");
}

TEST_F(RefMenuTest, AMissingTableIsReportedAndItsPageLeftEmpty) {
  TempDir copy;
  for (const char* name : {"products.DBF", "meal.DBF", "energo.DBF", "dishcomp.DBF", "params.ini"})
    ASSERT_TRUE(CopyFile(dir_->Path() + "/" + name, copy.Path() + "/" + name));
  auto menu = Make(copy.Path() + "/");
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_NE(prompt_.shown[0].Text.find("dish"), std::string::npos) << prompt_.shown[0].Text;
  EXPECT_EQ(dish_.Items()->Count(), 0);
  EXPECT_GT(prod_.Items()->Count(), 100);
}

// Page 3 is no page of the pick-list: showing it keeps the page shown last.
TEST_F(RefMenuTest, PageThreeShowsThePageShownLast) {
  auto menu = Make();
  std::vector<int> shown;
  menu->OnShowModal = [&](TRefMenu& m, int, const AnsiString&) {
    shown.push_back(m.CurrentPage());
    return mrCancel;
  };
  for (int page : std::vector<int>{3, ppMeals, 3, ppKindsOfTrip, 3, 7, ppDishes, 3}) menu->Execute(page, "");
  EXPECT_EQ(shown, (std::vector<int>{0, 2, 2, 3, 3, 3, 1, 1}));
}

TEST_F(RefMenuTest, PicksComeInTableOrderFoldersNever) {
  auto menu = Make();
  TMtTreeItem* buckwheat = FindText(prod_, "Гречка ядрица");
  TMtTreeItem* rice = FindText(prod_, "Рис круглозёрный");
  ASSERT_NE(buckwheat, nullptr);
  ASSERT_NE(rice, nullptr);
  menu->OnShowModal = [&](TRefMenu& m, int page, const AnsiString& caption) {
    EXPECT_EQ(page, ppProducts);
    EXPECT_EQ(Utf8(caption), "Добавить в раскладку");
    rice->SetState(isSelected, true);
    buckwheat->SetState(isSelected, true);
    buckwheat->GetParent()->SetState(isSelected, true);  // a folder: deselected at once
    EXPECT_FALSE(buckwheat->GetParent()->GetState(isSelected));
    EXPECT_TRUE(m.CloseQuery(mrOk));
    return mrOk;
  };
  ASSERT_EQ(menu->Execute(ppProducts, ""), mrOk);
  ASSERT_EQ(menu->PickCount(), 2);
  EXPECT_EQ(Utf8(menu->GetItemText(0)), "Гречка ядрица");
  EXPECT_EQ(Utf8(menu->GetItemText(1)), "Рис круглозёрный");
  EXPECT_EQ(Utf8(menu->GetItemPath(0, "\\")), "Крупы, мука и бобовые\\Гречка ядрица");
  EXPECT_EQ(menu->GetItemPath(2, "\\"), "");
  const TFoodRec* rec = menu->GetItemData(0);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->Cal, 308);
  EXPECT_EQ(rec->Veight, 80);
  EXPECT_EQ(menu->GetItemData(-1), nullptr);

  // OK with nothing selected: OK and no picks; the selection was reset by the show.
  menu->OnShowModal = [](TRefMenu&, int, const AnsiString&) { return mrOk; };
  EXPECT_EQ(menu->Execute(ppProducts, ""), mrOk);
  EXPECT_EQ(menu->PickCount(), 0);
  EXPECT_TRUE(menu->Picked().empty());
  EXPECT_FALSE(rice->GetState(isSelected));
}

TEST_F(RefMenuTest, KindOfTripComesFromTheRowsTexts) {
  auto menu = Make();
  TMtTreeItem* hiking = FindText(energo_, "Пешеходный");
  ASSERT_NE(hiking, nullptr);
  TMtTreeItem* cat1 = hiking->GetChildren(1);
  menu->OnShowModal = [&](TRefMenu& m, int, const AnsiString& caption) {
    EXPECT_EQ(Utf8(caption), "Вид туризма и категория сложности");
    energo_.SetItemFocused(hiking);
    EXPECT_FALSE(m.CloseQuery(mrOk));  // a whole section may not be chosen
    energo_.SetItemFocused(cat1);
    EXPECT_TRUE(m.CloseQuery(mrOk));
    return mrOk;
  };
  ASSERT_EQ(menu->Execute(ppKindsOfTrip, ""), mrOk);
  EXPECT_EQ(prompt_.shown.back().Text, "Нельзя выбирать раздел целиком");
  ASSERT_EQ(menu->PickCount(), 1);
  EXPECT_EQ(Utf8(menu->GetItemPath(0, "; ")), "Пешеходный; 1 к.с.");
  const TFoodRec* rec = menu->GetItemData(0);
  EXPECT_EQ(rec->Cal, 3100);
  EXPECT_EQ(double{rec->AlbA}, 93);
  EXPECT_EQ(double{rec->FatA}, 112);
  EXPECT_EQ(double{rec->Carb}, 430);
  EXPECT_EQ(TRefMenu::HelpContext(ppKindsOfTrip), 2220);
  EXPECT_EQ(TRefMenu::HelpContext(ppDishes), 2230);
}

TEST_F(RefMenuTest, DoubleClickPicksRowsNotFolders) {
  auto menu = Make();
  menu->BeginExecute(ppMeals);
  meal_.SetItemFocused(FindText(meal_, "Обед"));
  EXPECT_TRUE(menu->DoubleClick());
  EXPECT_EQ(menu->EndExecute(mrOk), mrOk);
  EXPECT_EQ(menu->PickCount(), 1);
  EXPECT_EQ(Utf8(menu->GetItemText(0)), "Обед");

  menu->BeginExecute(ppProducts);
  TMtTreeItem* folder = prod_.Items()->GetItem(0);
  prod_.SetItemFocused(folder);
  EXPECT_FALSE(menu->DoubleClick());
  EXPECT_FALSE(folder->GetState(isSelected));
}

TEST_F(RefMenuTest, EnergyHeaderSortsWithinGroupsBothWays) {
  auto menu = Make();
  const TMtTreeItem* root = prod_.Items()->Root();
  std::vector<AnsiString> groups;
  for (int i = 0; i < root->GetChildrenCount(); ++i) groups.push_back(root->GetChildren(i)->Text());
  auto energies = [](const TMtTreeItem* group) {
    std::vector<int> out;
    for (int i = 0; i < group->GetChildrenCount(); ++i) out.push_back(RefFoodRecOf(group->GetChildren(i))->Cal);
    return out;
  };
  menu->SortByColumn(0, 1);
  for (int i = 0; i < root->GetChildrenCount(); ++i) {
    EXPECT_EQ(root->GetChildren(i)->Text(), groups[static_cast<std::size_t>(i)]);
    const std::vector<int> e = energies(root->GetChildren(i));
    EXPECT_TRUE(std::is_sorted(e.begin(), e.end())) << i;
  }
  menu->SortByColumn(0, 1);
  for (int i = 0; i < root->GetChildrenCount(); ++i) {
    const std::vector<int> e = energies(root->GetChildren(i));
    EXPECT_TRUE(std::is_sorted(e.rbegin(), e.rend())) << i;
  }
}

TEST(Limits, FileKeysAndDefaults) {
  TempDir dir;
  const AnsiString d = dir.Path() + "/";
  const TRationLimits none = LoadLimits(d);
  EXPECT_EQ(none.MaxRelEnDef, 0.3);
  EXPECT_EQ(none.FatAVmax, 0.8);
  WriteFileBytes(d + "params.ini", "[limits]\nmaxrelendef=0,25\nMaxAbsEnDef=50000\nAlbAVmin=-1\nFatAVMin=x\n");
  const TRationLimits l = LoadLimits(d);
  EXPECT_EQ(l.MaxRelEnDef, 0.25);
  EXPECT_EQ(l.MaxAbsEnDef, 50000);
  EXPECT_EQ(l.AlbAVmin, 0.5);   // below 0: the default
  EXPECT_EQ(l.FatAVMin, 0.75);  // not a number
  EXPECT_EQ(l.AFCFat, 1.2);     // missing
}

TEST_F(RefMenuTest, TheLimitsOfAnotherReferenceDirectoryAreReadBeforeTheyAreOpened) {
  TempDir other;
  WriteFileBytes(other.Path() + "/params.ini", "[Limits]\nMaxRelEnDef=0.45\nFatAVmax=7\n");
  auto menu = Make();
  ASSERT_EQ(menu->Limits.MaxRelEnDef, 0.3);
  // The same directory (as the options store it, or named with "\"): the limits held stay.
  menu->Limits.MaxRelEnDef = 0.35;
  menu->UseLimitsOf(dir_->Path());
  menu->UseLimitsOf(dir_->Path() + "\\");
  EXPECT_EQ(menu->Limits.MaxRelEnDef, 0.35);
  EXPECT_TRUE(prompt_.shown.empty());
  // Another one: its file, with its faulty value named; the pick-list keeps its tables.
  const int products = prod_.Items()->Count();
  menu->UseLimitsOf(other.Path() + "/");
  EXPECT_EQ(menu->Limits.MaxRelEnDef, 0.45);
  EXPECT_EQ(menu->Limits.FatAVmax, 0.8);
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, Utf8(LimitsWarning(other.Path() + "/", {"FatAVmax"})));
  EXPECT_EQ(prod_.Items()->Count(), products);
  // Read once: no second warning while it stays the directory.
  menu->UseLimitsOf(other.Path() + "/");
  EXPECT_EQ(prompt_.shown.size(), 1u);
}

TEST_F(RefMenuTest, DishCompositionFromTheTables) {
  auto menu = Make();
  const std::vector<TDishComponent> parts = menu->Components(101);
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[0].ProdCode, 1001);
  EXPECT_EQ(parts[0].Veight, 80);
  EXPECT_EQ(parts[3].ProdCode, 12001);
  EXPECT_TRUE(menu->Components(999999).empty());
  AnsiString name;
  TFoodRec rec{};
  ASSERT_TRUE(menu->FindProduct(1001, name, rec));
  EXPECT_EQ(Utf8(name), "Гречка ядрица");
  EXPECT_EQ(rec.Cal, 308);
  EXPECT_FALSE(menu->FindProduct(1000, name, rec));  // a folder
  EXPECT_FALSE(menu->FindProduct(424242, name, rec));
}

// Rows that may be picked show a box; the box follows the pick, and a box clicked picks
// its row (the kinds of trip: focuses it, the one choice there).
TEST_F(RefMenuTest, BoxesShowAndFollowThePicks) {
  auto menu = Make();
  struct Case {
    TCustomMtTree* tree;
    const char* row;
    bool box;
  };
  const Case cases[] = {{&prod_, "Гречка ядрица", true},        {&prod_, "Крупы, мука и бобовые", false},
                        {&energo_, "Пешеходный", false},        {&meal_, "Обед", true}};
  for (const Case& c : cases) {
    const TMtTreeItem* item = FindText(*c.tree, c.row);
    ASSERT_NE(item, nullptr) << c.row;
    EXPECT_EQ(item->ShowCheckBox, c.box) << c.row;
  }
  menu->BeginExecute(ppProducts);
  TMtTreeItem* buckwheat = FindText(prod_, "Гречка ядрица");
  buckwheat->SetState(isSelected, true);
  EXPECT_TRUE(buckwheat->GetChecked());
  buckwheat->SetState(isSelected, false);
  EXPECT_FALSE(buckwheat->GetChecked());
  buckwheat->SetChecked(true);  // as a click on the box leaves it
  menu->ItemCheckClick(buckwheat);
  EXPECT_TRUE(buckwheat->GetState(isSelected));

  menu->BeginExecute(ppKindsOfTrip);
  TMtTreeItem* cat1 = FindText(energo_, "Пешеходный")->GetChildren(1);
  TMtTreeItem* cat2 = FindText(energo_, "Пешеходный")->GetChildren(2);
  cat1->SetChecked(true);
  menu->ItemCheckClick(cat1);
  EXPECT_EQ(energo_.ItemFocused(), cat1);
  cat2->SetChecked(true);
  menu->ItemCheckClick(cat2);
  EXPECT_EQ(energo_.ItemFocused(), cat2);
  EXPECT_FALSE(cat1->GetChecked());
  cat2->SetChecked(false);  // the one choice cannot be taken back, only changed
  menu->ItemCheckClick(cat2);
  EXPECT_TRUE(cat2->GetChecked());
  ASSERT_EQ(menu->EndExecute(mrOk), mrOk);
  EXPECT_EQ(Utf8(menu->GetItemPath(0, "; ")), "Пешеходный; 2 к.с.");
}

// Numbers stand at the right of their columns, as in every other tree; names at the left.
TEST_F(RefMenuTest, NumberColumnsAreRightAligned) {
  auto menu = Make();
  for (TCustomMtTree* tree : {&prod_, &dish_, &meal_, &energo_}) {
    TMtHeaderSections* sections = tree->HeaderSections();
    ASSERT_GT(sections->GetCount(), 1);
    for (int i = 0; i < sections->GetCount(); ++i) {
      const TMtHeaderSection* s = sections->GetSection(i);
      EXPECT_EQ(s->Alignment(), s->FieldType() == sftText ? hsaLeft : hsaRight) << Utf8(s->Text());
    }
  }
}
