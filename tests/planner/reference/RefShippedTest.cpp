// The shipped reference tables through TRef: each table loads into folders and rows as its
// CODE and OWNER say, with the pick-list's food records or the default columns, survives
// a load, save, load round trip record for record, and sorts by a header click; the dish
// table loads with its compositions and writes them back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "RefTestSupport.h"
#include "planner/ration/RationDoc.h"
#include "platform/core/AnsiCollate.h"
#include "planner/reference/RefItems.h"
#include "test_support/TempDir.h"

namespace {

using namespace ref_test;

class ShippedRef : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const refdata::TProblems problems = refdata::BuildRefDir(TARNWICK_DATA_DIR, RefDir());
    ASSERT_TRUE(problems.empty());
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static AnsiString RefDir() { return dir_->Path() + "/"; }

  // A fresh copy of the shipped directory for a test that writes.
  AnsiString CopyOfRef() {
    for (const AnsiString& name : refdata::RefDirFileNames())
      EXPECT_TRUE(CopyFile(RefDir() + name, work_.Path() + "/" + name));
    return work_.Path() + "/";
  }

  static TempDir* dir_;
  TempDir work_;
};
TempDir* ShippedRef::dir_ = nullptr;

// The tree matches the table: one item per record in record order, each under the
// first earlier record whose CODE is its OWNER.
void ExpectTreeMatchesTable(const TRef& ref, const TTableDump& dump) {
  ASSERT_EQ(ref.ItemList().size(), dump.Rows.size());
  std::map<AnsiString, std::size_t> first;  // CODE text -> record
  for (std::size_t r = 0; r < dump.Rows.size(); ++r) {
    const auto& row = dump.Rows[r];
    TMtTreeItem* item = ref.ItemList()[r];
    const TRefItemRec& rec = *RefRecOf(item);
    EXPECT_EQ(IntToStr(rec.Code), row[0]);
    EXPECT_EQ(IntToStr(rec.Owner), row[1] == "<null>" ? AnsiString("0") : row[1]);
    EXPECT_EQ(IntToStr(rec.Flags), row[2] == "<null>" ? AnsiString("0") : row[2]);
    auto parent = first.find(row[1]);
    if (rec.Owner != 0 && parent != first.end()) {
      EXPECT_EQ(item->GetParent(), ref.ItemList()[parent->second]) << "record " << r + 1;
    } else {
      EXPECT_EQ(item->GetParent(), nullptr) << "record " << r + 1;
    }
    first.emplace(row[0], r);
    EXPECT_EQ(item->GetState(isBold), (rec.Flags & ffGroup) != 0);
  }
}

TEST_F(ShippedRef, EveryTableRoundTripsThroughTheDefaultColumns) {
  for (const char* table : {kRefProductsTable, kRefDishTable, kRefMealTable, kRefEnergoTable}) {
    SCOPED_TRACE(table);
    const AnsiString dir = CopyOfRef();
    const AnsiString file = dir + table;
    const TTableDump before = DumpTable(file);
    ASSERT_FALSE(before.Rows.empty());
    TRefSaveSettings settings;
    const auto loadAndCheck = [&](bool save) {
      TCustomMtTree tree;
      AddSectionsForTable(tree, file);
      TRef ref(tree, file);
      ref.SaveSettings = &settings;
      ref.Load();
      ExpectTreeMatchesTable(ref, before);
      EXPECT_EQ(Utf8(ref.ItemList()[0]->Text()), Utf8(before.Rows[0][3]));
      if (save) ref.Save();
    };
    loadAndCheck(true);
    ExpectSameTable(before, DumpTable(file));
    loadAndCheck(false);  // and once more from the saved table
  }
}

TEST_F(ShippedRef, PickListRecordsCarryTheProductValues) {
  const TTableDump dump = DumpTable(RefDir() + kRefProductsTable);
  TCustomMtTree tree;
  TRef ref(tree, RefDir() + kRefProductsTable);
  ref.OnItemLoad = LoadProdMealItem;
  ref.Load();
  ExpectTreeMatchesTable(ref, dump);
  EXPECT_GE(dump.Rows.size(), 150u);
  const auto field = [&](const char* name) {
    return static_cast<std::size_t>(std::find(dump.Fields.begin(), dump.Fields.end(), name) - dump.Fields.begin());
  };
  for (std::size_t r = 0; r < dump.Rows.size(); ++r) {
    const auto& row = dump.Rows[r];
    TMtTreeItem* item = ref.ItemList()[r];
    const TFoodRec& rec = *RefFoodRecOf(item);
    SCOPED_TRACE(Utf8(row[field("NAME")]));
    EXPECT_EQ(item->Text(), row[field("NAME")]);
    EXPECT_EQ(rec.Kind, fkRefRow);
    ASSERT_EQ(item->ColumnText().Count(), 4);
    if (rec.Flags & ffGroup) {
      EXPECT_EQ(item->ColumnText()[0], "");
      continue;
    }
    EXPECT_EQ(IntToStr(rec.Cal), row[field("CAL")]);
    EXPECT_EQ(IntToStr(rec.Veight), row[field("VEIGHT")]);
    EXPECT_DOUBLE_EQ(rec.AlbV, StrToFloat(row[field("ALBV")]));
    EXPECT_EQ(item->ColumnText()[0], row[field("CAL")]);
    EXPECT_EQ(item->ColumnText()[1], Format("%3.2f", {rec.AlbA + rec.AlbV}));
    EXPECT_EQ(item->ColumnText()[3], Format("%3.2f", {StrToFloat(row[field("CARB")])}));
  }
}

TEST_F(ShippedRef, KindsOfTripLoadWithTheDefaultMappingOfThePickList) {
  TCustomMtTree tree;
  AddSection(tree, "NAME", sftText);
  AddSection(tree, "CAL", sftNumber);
  AddSection(tree, "ALB", sftFloating);
  AddSection(tree, "FAT", sftFloating);
  AddSection(tree, "CARB", sftFloating);
  TRef ref(tree, RefDir() + kRefEnergoTable);
  ref.Load();
  // The kind of trip of a new document: "Пешеходный; 1 к.с.".
  TMtTreeItem* walking = nullptr;
  for (TMtTreeItem* item : ref.ItemList())
    if (item->GetParent() == nullptr && Utf8(item->Text()) == "Пешеходный") walking = item;
  ASSERT_NE(walking, nullptr);
  TMtTreeItem* first = nullptr;
  for (int i = 0; i < walking->GetChildrenCount(); ++i)
    if (Utf8(walking->GetChildren(i)->Text()) == "1 к.с.") first = walking->GetChildren(i);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->ColumnText()[0], "3100");
  EXPECT_EQ(RefRecOf(first)->Kind, fkRefRow);
  EXPECT_EQ(walking->ColumnText().Count(), 0);
}

TEST_F(ShippedRef, DishesLoadWithTheirCompositionsAndWriteThemBack) {
  const AnsiString dir = CopyOfRef();
  const TTableDump dishes = DumpTable(dir + kRefDishTable);
  const TTableDump comp = DumpTable(dir + kRefDishCompTable);
  TRefSaveSettings settings;
  TScriptedPrompt prompt;
  {
    TCustomMtTree tree;
    for (const char* f : {"NAME", "CAL", "VEIGHT"}) AddSection(tree, f, f[0] == 'N' ? sftText : sftNumber);
    for (const char* f : {"ALBA", "ALBV", "FATA", "FATV", "CARB"}) AddSection(tree, f, sftFloating);
    TRef ref(tree, dir + kRefDishTable);
    ref.SaveSettings = &settings;
    TRefDishTable dishTable(ref, prompt);
    int saved = 0;
    dishTable.OnSaved = [&](TRef* sender) {
      EXPECT_EQ(sender, &ref);
      ++saved;
    };
    ref.Load();
    EXPECT_TRUE(prompt.shown.empty());
    ASSERT_EQ(ref.ItemList().size(), dishes.Rows.size() + comp.Rows.size());
    int dishCount = 0;
    for (std::size_t r = 0; r < dishes.Rows.size(); ++r) {
      TMtTreeItem* dish = ref.ItemList()[r];
      const TFoodRec& d = *RefFoodRecOf(dish);
      EXPECT_EQ(d.Kind, fkDish);
      if (d.Flags & ffGroup) continue;
      ++dishCount;
      SCOPED_TRACE(Utf8(dish->Text()));
      // The sums over the composition are the portion's values in the table.
      const auto& row = dishes.Rows[r];
      EXPECT_GT(dish->GetChildrenCount(), 0);
      EXPECT_EQ(IntToStr(d.Cal), row[4]);
      EXPECT_EQ(IntToStr(d.Veight), row[10]);
      const double values[] = {d.AlbA, d.AlbV, d.FatA, d.FatV, d.Carb};
      for (int i = 0; i < 5; ++i) EXPECT_NEAR(values[i], StrToFloat(row[5 + i]), 0.005 + 1e-9);
      ASSERT_EQ(dish->ColumnText().Count(), 7);
      EXPECT_EQ(dish->ColumnText()[0], row[4]);
      for (int i = 0; i < dish->GetChildrenCount(); ++i) {
        const TFoodRec& c = *RefFoodRecOf(dish->GetChildren(i));
        EXPECT_EQ(c.Kind, fkProduct);
        EXPECT_EQ(c.Owner, d.Code);
        EXPECT_EQ(dish->GetChildren(i)->ColumnText()[0], IntToStr(RoundedEnergy(c.Cal, c.Veight)));
      }
    }
    EXPECT_GE(dishCount, 30);
    ref.Save();
    EXPECT_EQ(saved, 1);
  }
  // The composition comes back record for record (it is written dish by dish, as the
  // table lists it), and every dish keeps its row.
  ExpectSameTable(comp, DumpTable(dir + kRefDishCompTable));
  const TTableDump after = DumpTable(dir + kRefDishTable);
  ASSERT_EQ(after.Rows.size(), dishes.Rows.size());
  // The shipped values are the sums as the editor writes them: nothing changes.
  ExpectSameTable(dishes, after);
  EXPECT_TRUE(FileExists(dir + "dishcomp.~DB"));
  EXPECT_TRUE(FileExists(dir + "dish.~DB"));
}

TEST_F(ShippedRef, ProductsSortByAHeaderClick) {
  TCustomMtTree tree;
  TMtHeaderSection* name = AddSection(tree, "NAME", sftText);
  TMtHeaderSection* cal = AddSection(tree, "CAL", sftNumber);
  AddSection(tree, "CARB", sftFloating);
  tree.SortMode = smClick;
  tree.SetShowColumns(true);  // the main column takes its mark from a visible header
  TRef ref(tree, RefDir() + kRefProductsTable);
  ref.Load();
  const auto calOf = [](const TMtTreeItem* item) { return StrToInt(item->ColumnText()[0]); };
  // Every folder's rows by energy; folders (no texts) count as 0.
  const auto expectOrder = [&](bool ascending) {
    int checked = 0;
    for (TMtTreeItem* folder : ref.ItemList()) {
      if (!IsRefFolder(folder)) continue;
      for (int i = 1; i < folder->GetChildrenCount(); ++i) {
        const TMtTreeItem* a = folder->GetChildren(i - 1);
        const TMtTreeItem* b = folder->GetChildren(i);
        if (IsRefFolder(a) || IsRefFolder(b)) continue;
        ++checked;
        if (ascending) {
          EXPECT_LE(calOf(a), calOf(b)) << Utf8(a->Text()) << " / " << Utf8(b->Text());
        } else {
          EXPECT_GE(calOf(a), calOf(b)) << Utf8(a->Text()) << " / " << Utf8(b->Text());
        }
      }
    }
    EXPECT_GT(checked, 100);
  };
  int clicked = -1;
  tree.OnHeaderColumnClick = [&](TObject*, int section) { clicked = section; };
  tree.HeaderSectionClick(cal);
  EXPECT_EQ(clicked, 1);
  EXPECT_EQ(cal->SortMode(), hsmDescend);
  expectOrder(false);
  tree.HeaderSectionClick(cal);
  EXPECT_EQ(cal->SortMode(), hsmAscend);
  expectOrder(true);
  // By name: the folders too; the first click on another section sorts descending.
  tree.HeaderSectionClick(name);
  EXPECT_EQ(name->SortMode(), hsmDescend);
  EXPECT_EQ(cal->SortMode(), hsmNone);
  TMtTreeItem* top = tree.Items()->Root();
  for (int i = 1; i < top->GetChildrenCount(); ++i)
    EXPECT_GE(AnsiCollateText(top->GetChildren(i - 1)->Text(), top->GetChildren(i)->Text()), 0);
  // The list of loaded items keeps the record order whatever the tree's order.
  EXPECT_EQ(RefRecOf(ref.ItemList()[0])->Code, 1000);
}

}  // namespace
