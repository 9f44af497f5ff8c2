// TRef on small tables: the hierarchy by CODE and OWNER, the column mapping through the
// header sections in both directions, the list of loaded items, codes of new items,
// deletion, and the safe rewrite of a table (backup, a failed write, a held table).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <thread>
#include <fstream>
#include <functional>
#include <map>
#include <limits>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "RefTestSupport.h"
#include "planner/reference/RefItems.h"
#include "tables/db_create.h"
#include "tables/db_eror.h"
#include "test_support/FileBytes.h"
#include "test_support/ReadOnlyDir.h"
#include "test_support/TempDir.h"

namespace {

using namespace ref_test;

constexpr const char* kHeader =
    "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C30 | CAL:N6 | CARB:N8.2\n";

class RefTest : public ::testing::Test {
 protected:
  AnsiString Dir() const { return tmp_.Path() + "/"; }
  AnsiString Table(const char* name) const { return Dir() + name; }
  AnsiString DbfFile(const char* name) const { return Dir() + name + ".DBF"; }

  // A table "t" with the standard header and the given rows.
  void Make(std::string_view rows, const char* name = "t") {
    MakeTable(Dir(), name, std::string(kHeader) + std::string(rows));
  }
  // Sections NAME (main), CAL (number), CARB (floating).
  static void StandardSectionsOn(TCustomMtTree& tree) {
    AddSection(tree, "Name", sftText);  // field names are found in any case
    AddSection(tree, "CAL", sftNumber);
    AddSection(tree, "CARB", sftFloating);
  }
  void StandardSections() { StandardSectionsOn(tree_); }

  TempDir tmp_;
  TCustomMtTree tree_;
  TRefSaveSettings settings_;
};

const char* kRows =
    "1  | 0 | 1 | Крупы        |     |      \n"
    "11 | 1 | 0 | Гречка       | 308 | 57.10\n"
    "2  | 0 | 1 | Сладости     |     |      \n"
    "3  | 2 | 1 | Конфеты      |     |      \n"
    "31 | 3 | 0 | Карамель     | 375 | 94.00\n"
    "57 | 2 | 0 | Сахар        | 399 | 99.80\n"
    "60 | 0 | 0 | Чай          |   0 |  6.90\n";

TEST_F(RefTest, LoadsFoldersAndRowsByOwnerWithTheDefaultColumns) {
  Make(kRows);
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.Modified = true;
  int afterLoad = 0;
  ref.OnAfterLoad = [&](TRef* sender) {
    EXPECT_EQ(sender, &ref);
    ++afterLoad;
  };
  ref.Load();
  EXPECT_EQ(afterLoad, 1);
  EXPECT_FALSE(ref.Modified);
  EXPECT_EQ(ref.MaxCode, 60);
  EXPECT_EQ(Shape(tree_), (std::vector<std::string>{"1@0", "11@1", "2@0", "3@1", "31@2", "57@1", "60@0"}));
  ASSERT_EQ(ref.ItemList().size(), 7u);  // record order
  const std::int32_t codes[] = {1, 11, 2, 3, 31, 57, 60};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(RefRecOf(ref.ItemList()[i])->Code, codes[i]);

  TMtTreeItem* folder = ref.FindByCode(3);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(Utf8(folder->Text()), "Конфеты");
  EXPECT_EQ(folder->ColumnText().Count(), 0);  // folders get no column texts
  EXPECT_TRUE(folder->GetState(isBold));
  EXPECT_FALSE(folder->ParentStyle());
  const TRefItemRec& f = *RefRecOf(folder);
  EXPECT_EQ(std::tie(f.Code, f.Owner, f.Flags, f.Kind), std::make_tuple(3, 2, 1, -1));

  TMtTreeItem* row = ref.FindByCode(11);
  EXPECT_EQ(Utf8(row->Text()), "Гречка");
  ASSERT_EQ(row->ColumnText().Count(), 2);
  EXPECT_EQ(row->ColumnText()[0], "308");
  EXPECT_EQ(row->ColumnText()[1], "57.1");
  EXPECT_FALSE(row->GetState(isBold));
  EXPECT_TRUE(row->ParentStyle());
  EXPECT_EQ(ref.FindByCode(99), nullptr);
}

TEST_F(RefTest, FolderColumnsAndStyleFollowAllColumnsAndFolderStyle) {
  Make(kRows);
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.AllColumns = true;
  ref.FolderStyle = false;
  ref.Load();
  TMtTreeItem* folder = ref.FindByCode(1);
  EXPECT_EQ(folder->ColumnText().Count(), 2);
  EXPECT_FALSE(folder->GetState(isBold));
  EXPECT_TRUE(folder->ParentStyle());
}

TEST_F(RefTest, MainColumnElsewhereShiftsTheColumnTexts) {
  Make(kRows);
  AddSection(tree_, "CAL", sftNumber);
  AddSection(tree_, "NAME", sftText);
  AddSection(tree_, "CARB", sftFloating);
  tree_.MainTreeColumn = 1;
  TRef ref(tree_, Table("t"));
  ref.Load();
  TMtTreeItem* row = ref.FindByCode(57);
  EXPECT_EQ(Utf8(row->Text()), "Сахар");
  ASSERT_EQ(row->ColumnText().Count(), 2);
  EXPECT_EQ(row->ColumnText()[0], "399");
  EXPECT_EQ(row->ColumnText()[1], "99.8");
  // Written back from the same places.
  row->ColumnText().SetString(0, "400");
  row->SetText(Ansi("Сахар-песок"));
  ref.SaveSettings = &settings_;
  ref.Save();
  const TTableDump dump = DumpTable(DbfFile("t"));
  EXPECT_EQ(Utf8(dump.Rows[5][3]), "Сахар-песок");
  EXPECT_EQ(dump.Rows[5][4], "400");
  EXPECT_EQ(dump.Rows[5][5], "99.8");
}

TEST_F(RefTest, OrphansAndRowsBeforeTheirParentLandAtTopLevelAndKeepTheirOwner) {
  Make("5  | 7  | 0 | Ранний   | 1 | 1\n"   // its parent comes later
       "7  | 0  | 1 | Раздел   |   |  \n"
       "8  | 99 | 0 | Сирота   | 2 | 2\n"   // no such parent
       "9  | 9  | 0 | Сам себе | 3 | 3\n"   // names itself
       "10 | 7  | 0 | Внутри   | 4 | 4\n");
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.Load();
  EXPECT_EQ(Shape(tree_), (std::vector<std::string>{"5@0", "7@0", "10@1", "8@0", "9@0"}));
  EXPECT_EQ(RefRecOf(ref.FindByCode(5))->Owner, 7);
  EXPECT_EQ(RefRecOf(ref.FindByCode(8))->Owner, 99);
  // Saved as loaded: the OWNER values stay.
  const TTableDump before = DumpTable(DbfFile("t"));
  ref.SaveSettings = &settings_;
  ref.Save();
  TTableDump after = DumpTable(DbfFile("t"));
  ASSERT_EQ(after.Rows.size(), 5u);
  // Pre-order puts row 10 right after its folder.
  std::swap(after.Rows[2], after.Rows[3]);
  std::swap(after.Rows[3], after.Rows[4]);
  ExpectSameTable(before, after);
}

TEST_F(RefTest, DuplicateCodesTakeChildrenUnderTheFirstAndAreAllSaved) {
  Make("5 | 0 | 1 | Первый |   |  \n"
       "5 | 0 | 1 | Второй |   |  \n"
       "6 | 5 | 0 | Ребёнок| 1 | 1\n");
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.Load();
  EXPECT_EQ(Shape(tree_), (std::vector<std::string>{"5@0", "6@1", "5@0"}));
  EXPECT_EQ(Utf8(ref.FindByCode(5)->Text()), "Первый");
  ref.SaveSettings = &settings_;
  ref.Save();
  const TTableDump after = DumpTable(DbfFile("t"));
  ASSERT_EQ(after.Rows.size(), 3u);
  EXPECT_EQ(Utf8(after.Rows[2][3]), "Второй");
}

TEST_F(RefTest, SectionsWithoutAFieldLoadEmptyAndAreSkippedOnSave) {
  Make(kRows);
  AddSection(tree_, "NAME", sftText);
  AddSection(tree_, "", sftText);
  AddSection(tree_, "NOSUCH", sftNumber);
  AddSection(tree_, "CAL", sftNumber);
  TRef ref(tree_, Table("t"));
  ref.Load();
  TMtTreeItem* row = ref.FindByCode(57);
  ASSERT_EQ(row->ColumnText().Count(), 3);
  EXPECT_EQ(row->ColumnText()[0], "");
  EXPECT_EQ(row->ColumnText()[1], "");
  EXPECT_EQ(row->ColumnText()[2], "399");
  row->ColumnText().SetString(0, "x");
  row->ColumnText().SetString(1, "5");
  ref.SaveSettings = &settings_;
  ref.Save();
  const TTableDump dump = DumpTable(DbfFile("t"));
  EXPECT_EQ(dump.Rows[5][4], "399");
  EXPECT_EQ(dump.Rows[5][5], "0");  // CARB has no section: left as the append made it
}

TEST_F(RefTest, SaveMapsTextsByTheSectionsFieldType) {
  Make("1 | 0 | 1 | Раздел |     |      \n"
       "2 | 1 | 0 | Первый | 100 | 1.00\n"
       "3 | 1 | 0 | Второй | 200 | 2.00\n"
       "4 | 1 | 0 | Третий | 300 | 3.00\n");
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.AllColumns = true;  // the folder gets texts too: they must not be written
  ref.Load();
  struct Case {
    std::int32_t code;
    const char* cal;
    const char* carb;
    const char* savedCal;
    const char* savedCarb;
  } cases[] = {
      {2, "120", "1,5", "120", "1.5"},        // a comma is a decimal point
      {3, "12x", "abc", "0", "0"},  // what does not parse is not written (a new number is 0)
      {4, " 7 ", "", "0", "0"},     // blanks around a number do not parse either; empty: not written
  };
  for (const Case& c : cases) {
    TMtTreeItem* item = ref.FindByCode(c.code);
    item->ColumnText().SetString(0, c.cal);
    item->ColumnText().SetString(1, c.carb);
  }
  ref.FindByCode(1)->ColumnText().SetString(0, "55");
  ref.SaveSettings = &settings_;
  ref.Save();
  const TTableDump dump = DumpTable(DbfFile("t"));
  ASSERT_EQ(dump.Rows.size(), 4u);
  EXPECT_EQ(dump.Rows[0][4], "55");  // the folder's text is written as any other
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].code);
    EXPECT_EQ(dump.Rows[i + 1][0], std::to_string(cases[i].code));
    EXPECT_EQ(dump.Rows[i + 1][4], cases[i].savedCal);
    EXPECT_EQ(dump.Rows[i + 1][5], cases[i].savedCarb);
  }
}

TEST_F(RefTest, AFolderSavesItsKeysAndNameOnly) {
  Make(kRows);
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.Load();
  ref.SaveSettings = &settings_;
  ref.Save();
  const TTableDump dump = DumpTable(DbfFile("t"));
  EXPECT_EQ(dump.Rows[2], (std::vector<AnsiString>{"2", "0", "1", Ansi("Сладости"), "0", "0"}));
}

TEST_F(RefTest, NewItemsTakeCodesAfterTheLargestAndStayOutOfTheList) {
  Make("57 | 0 | 1 | Раздел | | \n"
       "12 | 57 | 0 | Ряд | 1 | 1\n");
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.Load();
  TMtTreeItem* folder = ref.FindByCode(57);
  TMtTreeItem* a = ref.AddItem(folder);
  TMtTreeItem* b = ref.AddItem(nullptr);
  EXPECT_TRUE(ref.Modified);
  const TRefItemRec& ra = *RefRecOf(a);
  const TRefItemRec& rb = *RefRecOf(b);
  EXPECT_EQ(std::tie(ra.Code, ra.Owner, ra.Flags, ra.Kind), std::make_tuple(58, 57, 0, -1));
  EXPECT_EQ(std::tie(rb.Code, rb.Owner, rb.Flags, rb.Kind), std::make_tuple(59, 0, 0, -1));
  EXPECT_EQ(a->GetParent(), folder);
  EXPECT_EQ(folder->GetLastChild(), a);
  EXPECT_EQ(b->GetParent(), nullptr);
  EXPECT_EQ(ref.MaxCode, 59);
  EXPECT_EQ(ref.ItemList().size(), 2u);
  EXPECT_EQ(ref.FindByCode(58), nullptr);

  // The owner's handler builds the block.
  ref.OnNewItem = [](TRef*, TMtTreeItem* item, const TRefItemRec& rec) {
    TFoodRec* food = NewRefFoodRec({rec.Code, rec.Owner, rec.Flags, fkProduct});
    food->Cal = 1;
    item->Data = food;
    item->SetText(Ansi("- Новый продукт -"));
  };
  TMtTreeItem* c = ref.AddItem(a);
  EXPECT_EQ(RefFoodRecOf(c)->Code, 60);
  EXPECT_EQ(RefFoodRecOf(c)->Owner, 58);
  EXPECT_EQ(RefFoodRecOf(c)->Kind, fkProduct);
  // No more codes: refused, nothing added.
  ref.MaxCode = std::numeric_limits<std::int32_t>::max();
  const int count = tree_.Items()->Count();
  EXPECT_THROW(ref.AddItem(nullptr), ERefError);
  EXPECT_EQ(tree_.Items()->Count(), count);
}

TEST_F(RefTest, DeletingASubtreeTakesItOutOfTheListHoweverItGoes) {
  Make(kRows);
  StandardSections();
  TRef ref(tree_, Table("t"));
  std::vector<std::int32_t> told;
  ref.OnItemDeletion = [&](TObject*, TMtTreeItem* item) { told.push_back(RefRecOf(item)->Code); };
  ref.Load();
  ref.Modified = false;
  ref.DeleteItem(ref.FindByCode(2));  // with 3, 31 and 57 below it
  EXPECT_TRUE(ref.Modified);
  EXPECT_EQ(told.size(), 4u);
  for (std::int32_t gone : {2, 3, 31, 57}) EXPECT_EQ(ref.FindByCode(gone), nullptr) << gone;
  EXPECT_EQ(ref.ItemList().size(), 3u);
  ref.DeleteItem(nullptr);

  // The window deletes an item itself.
  tree_.Items()->DeleteItem(ref.FindByCode(11));
  EXPECT_EQ(ref.FindByCode(11), nullptr);
  EXPECT_EQ(ref.ItemList().size(), 2u);

  // A second load without Clear starts from an empty list.
  ref.Load();
  EXPECT_EQ(ref.ItemList().size(), 7u);
  EXPECT_NE(ref.FindByCode(31), nullptr);
  ref.Clear();
  EXPECT_TRUE(ref.Modified);
  EXPECT_TRUE(ref.ItemList().empty());
  EXPECT_EQ(tree_.Items()->Count(), 0);
}

// A window's own handler on the tree's deletion event leaves the freeing to the table
// object: the handler sees each block, the list forgets each item, nothing leaks.
TEST_F(RefTest, WindowsDeletionHandlerComposesWithTheTables) {
  Make(kRows);
  StandardSections();
  std::vector<std::int32_t> seen;
  tree_.OnItemDeletion = [&](TObject*, TMtTreeItem* item) { seen.push_back(RefRecOf(item)->Code); };
  {
    TRef ref(tree_, Table("t"));
    ref.Load();
    tree_.Items()->DeleteItem(ref.FindByCode(2));
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_EQ(ref.FindByCode(2), nullptr);
    EXPECT_EQ(ref.ItemList().size(), 3u);
  }
  EXPECT_EQ(seen.size(), 7u);
  EXPECT_FALSE(tree_.HasItemDataOwner());
  tree_.OnItemDeletion = nullptr;
}

TEST_F(RefTest, FindChildSearchesDepthFirstInChildOrder) {
  Make(kRows);
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.Load();
  EXPECT_EQ(ref.FindChild(nullptr, 31, fkRefRow), ref.FindByCode(31));
  EXPECT_EQ(ref.FindChild(ref.FindByCode(2), 31, fkRefRow), ref.FindByCode(31));
  EXPECT_EQ(ref.FindChild(ref.FindByCode(1), 31, fkRefRow), nullptr);
  EXPECT_EQ(ref.FindChild(nullptr, 31, fkProduct), nullptr);
  EXPECT_EQ(ref.FindChild(ref.FindByCode(31), 31, fkRefRow), nullptr);  // the item itself is no child
}

TEST_F(RefTest, EmptyTableLoadsNothingAndSavesNewRows) {
  Make("");
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.Load();
  EXPECT_EQ(tree_.Items()->Count(), 0);
  EXPECT_EQ(ref.MaxCode, 0);
  TMtTreeItem* item = ref.AddItem(nullptr);
  item->SetText(Ansi("Новый"));
  ref.SaveSettings = &settings_;
  ref.Save();
  EXPECT_FALSE(ref.Modified);
  const TTableDump dump = DumpTable(DbfFile("t"));
  ASSERT_EQ(dump.Rows.size(), 1u);
  EXPECT_EQ(dump.Rows[0], (std::vector<AnsiString>{"1", "0", "0", Ansi("Новый"), "0", "0"}));
}

TEST_F(RefTest, ATableThatCannotBeLoadedIsReportedAndLeavesTheTreeEmpty) {
  Make(kRows);
  MakeTable(Dir(), "nokeys", "CODE:N10 | NAME:C30\n1 | Один\n");
  {
    std::ofstream bad(tmp_.SysPath() + "/broken.DBF", std::ios::binary);
    bad << "this is no table";
  }
  struct Case {
    const char* table;
    const char* detail;  // a part of the message after the table's name
  } cases[] = {
      {"missing", "Не найден файл справочника "},
      {"broken", ""},
      {"nokeys", "нет поля OWNER"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    TCustomMtTree tree;
    StandardSectionsOn(tree);
    TRef ref(tree, Table(c.table));
    TScriptedPrompt prompt;
    EXPECT_FALSE(ref.TryLoad(prompt));
    EXPECT_EQ(tree.Items()->Count(), 0);
    EXPECT_TRUE(ref.ItemList().empty());
    ASSERT_EQ(prompt.shown.size(), 1u);
    const std::string& text = prompt.shown[0].Text;
    EXPECT_EQ(text.rfind("Не удается загрузить справочник " + Utf8(Table(c.table)) + ":\r", 0), 0u) << text;
    EXPECT_NE(text.find(c.detail), std::string::npos) << text;
    EXPECT_EQ(prompt.shown[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(prompt.shown[0].Buttons, mbOK);
  }
  // Load itself raises.
  {
    TCustomMtTree tree;
    TRef ref(tree, Table("nokeys"));
    EXPECT_THROW(ref.Load(), ERefError);
  }
  StandardSections();
  TScriptedPrompt prompt;
  TRef good(tree_, Table("t"));
  EXPECT_TRUE(good.TryLoad(prompt));
  EXPECT_TRUE(prompt.shown.empty());
  EXPECT_EQ(tree_.Items()->Count(), 7);
}

TEST_F(RefTest, ATableLoadedOnlyInPartIsNotWrittenOver) {
  Make(kRows);
  std::string bytes = ReadFileBytes(DbfFile("t"));
  // CAL of the fifth record (31) is no number: loading stops there.
  const std::size_t header = 32 + 32 * 6 + 1, record = 1 + 10 + 10 + 5 + 30 + 6 + 8;
  bytes.replace(header + 4 * record + 1 + 10 + 10 + 5 + 30, 6, "  ab12");
  WriteFileBytes(DbfFile("t"), bytes);
  StandardSections();
  TRef ref(tree_, Table("t"));
  ref.SaveSettings = &settings_;
  EXPECT_ANY_THROW(ref.Load());
  EXPECT_EQ(tree_.Items()->Count(), 5);
  ref.AddItem(nullptr)->SetText(Ansi("Новый"));
  // Writing the tree would drop the records that did not load.
  const auto refused = [&] {
    try {
      ref.Save();
      ADD_FAILURE() << "saved";
    } catch (const ERefError& e) {
      EXPECT_EQ(Utf8(e.Message()), "Справочник " + Utf8(Table("t")) + " загружен не полностью: " +
                                       "запись отменена, чтобы не потерять его строки");
    }
    EXPECT_TRUE(ref.Modified);
    EXPECT_EQ(ReadFileBytes(DbfFile("t")), bytes);
    EXPECT_FALSE(FileExists(Dir() + "t.~DB"));
  };
  refused();
  TScriptedPrompt prompt;
  EXPECT_FALSE(ref.TryLoad(prompt));
  ref.AddItem(nullptr);
  refused();
  // A table whose handlers fail after the records were read is as incomplete.
  bytes.replace(header + 4 * record + 1 + 10 + 10 + 5 + 30, 6, "   375");
  WriteFileBytes(DbfFile("t"), bytes);
  ref.OnAfterLoad = [](TRef*) { throw EInOutError("dishcomp"); };
  EXPECT_THROW(ref.Load(), EInOutError);
  ref.AddItem(nullptr);
  refused();
  // A complete load, or emptying the table on purpose, allows saving again.
  ref.OnAfterLoad = nullptr;
  ref.Load();
  ref.Save();
  EXPECT_EQ(DumpTable(DbfFile("t")).Rows.size(), 7u);
  ref.OnAfterLoad = [](TRef*) { throw EInOutError("dishcomp"); };
  EXPECT_THROW(ref.Load(), EInOutError);
  ref.Clear();
  ref.AddItem(nullptr)->SetText(Ansi("Новый"));
  ref.Save();
  EXPECT_EQ(DumpTable(DbfFile("t")).Rows.size(), 1u);
}

// --- Saving

// Another process that holds a table open (shared) until it is let go.
class TTableHeldElsewhere {
 public:
  // False when the process could not be started or did not open the table.
  bool Hold(const AnsiString& table) {
    if (::pipe(ready_) != 0 || ::pipe(done_) != 0) return false;
    child_ = ::fork();
    if (child_ < 0) return false;
    if (child_ == 0) {
      TDbfDataSet other;
      BindRefTable(other, table);
      other.Open();
      char c = 1;
      if (::write(ready_[1], &c, 1) != 1 || ::read(done_[0], &c, 1) != 1) ::_exit(2);
      ::_exit(0);
    }
    char c = 0;
    return ::read(ready_[0], &c, 1) == 1;
  }
  // Lets the table go; true when the other process ended cleanly.
  bool Release() {
    if (child_ <= 0) return false;
    char c = 1;
    const bool told = ::write(done_[1], &c, 1) == 1;
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
    return told && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  ~TTableHeldElsewhere() {
    Release();
    for (int fd : {ready_[0], ready_[1], done_[0], done_[1]})
      if (fd >= 0) ::close(fd);
  }

 private:
  int ready_[2] = {-1, -1}, done_[2] = {-1, -1};
  pid_t child_ = -1;
};

class RefSaveTest : public RefTest {
 protected:
  void SetUp() override {
    Make(kRows);
    StandardSections();
    ref_ = std::make_unique<TRef>(tree_, Table("t"));
    ref_->SaveSettings = &settings_;
    ref_->Load();
    original_ = ReadFileBytes(DbfFile("t"));
  }
  std::vector<std::string> DirEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tmp_.SysPath())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<TRef> ref_;
  std::string original_;
};

TEST_F(RefSaveTest, BackupHoldsTheTableAsItWasBeforeTheSave) {
  const AnsiString backup = Dir() + "t.~DB";
  EXPECT_EQ(RefBackupName(Table("t")), backup);
  ref_->FindByCode(11)->SetText(Ansi("Гречка ядрица"));
  ref_->Save();
  EXPECT_EQ(ReadFileBytes(backup), original_);
  const std::string first = ReadFileBytes(DbfFile("t"));
  EXPECT_NE(first, original_);
  // The next save replaces the backup with the table of the first save.
  ref_->FindByCode(11)->SetText(Ansi("Гречка"));
  ref_->Save();
  EXPECT_EQ(ReadFileBytes(backup), first);
  EXPECT_EQ(DirEntries(), (std::vector<std::string>{"t.DBF", "t.~DB"}));  // no working files left

  std::filesystem::remove(SysPath(backup));
  settings_.CreateBakFiles = false;
  ref_->Save();
  EXPECT_FALSE(FileExists(backup));
}

TEST_F(RefSaveTest, AFailedWriteLeavesTheTableAsItWas) {
  int written = 0;
  ref_->OnItemSave = [&](TRef*, TDataSet& ds, TMtTreeItem* item) {
    if (++written == 4) throw EInOutError("disk full");
    ds.FieldByName("NAME").SetAsString(item->Text());
  };
  bool saved = false;
  ref_->OnAfterSave = [&](TRef*) { saved = true; };
  ref_->Modified = true;
  EXPECT_THROW(ref_->Save(), EInOutError);
  EXPECT_FALSE(saved);
  EXPECT_TRUE(ref_->Modified);
  EXPECT_EQ(ReadFileBytes(DbfFile("t")), original_);
  EXPECT_EQ(DirEntries(), (std::vector<std::string>{"t.DBF", "t.~DB"}));

  // A value the field cannot hold fails the same way.
  ref_->OnItemSave = nullptr;
  ref_->FindByCode(57)->ColumnText().SetString(0, "12345678");  // CAL is 6 wide
  EXPECT_ANY_THROW(ref_->Save());
  EXPECT_EQ(ReadFileBytes(DbfFile("t")), original_);
}

// A disk that fills up while the working copy grows: the message names the table, and
// the table stays as it was.
TEST_F(RefSaveTest, AFullDiskIsReportedForTheTableNotItsWorkingCopy) {
  settings_.PackRef = false;  // the deleted records stay: the copy must grow
  ref_->Modified = true;
  std::string message;
  {
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const sighandler_t old = ::signal(SIGXFSZ, SIG_IGN);
    rlimit full = saved;
    full.rlim_cur = original_.size();
    ::setrlimit(RLIMIT_FSIZE, &full);
    try {
      ref_->Save();
    } catch (const EDbfError& e) {
      message = e.Message();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, old);
  }
  EXPECT_EQ(message, "Disk is full - " + ExpandTableFileName(DbfFile("t")));
  EXPECT_EQ(ReadFileBytes(DbfFile("t")), original_);
  EXPECT_EQ(DirEntries(), (std::vector<std::string>{"t.DBF", "t.~DB"}));
}

TEST_F(RefSaveTest, ATableOpenInAnotherProcessIsNotTouched) {
  TTableHeldElsewhere other;
  ASSERT_TRUE(other.Hold(Table("t")));
  EXPECT_THROW(ref_->Save(), EDbfError);
  EXPECT_TRUE(other.Release());
  EXPECT_EQ(ReadFileBytes(DbfFile("t")), original_);
  EXPECT_FALSE(FileExists(Dir() + "t.~DB"));
  ref_->Save();  // free again
  EXPECT_TRUE(FileExists(Dir() + "t.~DB"));
}

TEST_F(RefSaveTest, ATableThatIsGoneIsNotMadeAnew) {
  std::filesystem::remove(SysPath(DbfFile("t")));
  try {
    ref_->Save();
    ADD_FAILURE() << "saved";
  } catch (const ERefError& e) {
    EXPECT_EQ(Utf8(e.Message()), "Не найден файл справочника " + Utf8(DbfFile("t")));
  }
  EXPECT_TRUE(DirEntries().empty());
}

TEST_F(RefSaveTest, ItemsAreWrittenInPreOrderAsTheHandlersAllow) {
  ref_->AddItem(ref_->FindByCode(1))->SetText(Ansi("Пшено"));  // 61, after 11
  std::vector<std::int32_t> asked;
  ref_->OnBeforeItemSave = [&](TRef*, TMtTreeItem* item, bool& accept) {
    EXPECT_TRUE(accept);
    asked.push_back(RefRecOf(item)->Code);
    accept = RefRecOf(item)->Code != 3;  // a folder refused: its rows are still written
  };
  ref_->Save();
  EXPECT_EQ(asked, (std::vector<std::int32_t>{1, 11, 61, 2, 3, 31, 57, 60}));
  std::vector<AnsiString> codes;
  for (const auto& row : DumpTable(DbfFile("t")).Rows) codes.push_back(row[0]);
  EXPECT_EQ(codes, (std::vector<AnsiString>{"1", "11", "61", "2", "31", "57", "60"}));
}

TEST_F(RefSaveTest, WithoutPackTheDeletedRecordsStayInTheFile) {
  settings_.PackRef = false;
  ref_->Save();
  TDbfDataSet ds;
  BindRefTable(ds, Table("t"));
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 14);  // seven deleted, seven appended
  ds.Close();
  settings_.PackRef = true;
  ref_->Save();
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 7);
}

// --- The windows' handlers on small tables

constexpr const char* kFoodHeader =
    "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C30 | CAL:N6 | ALBA:N8.2 | ALBV:N8.2 | FATA:N8.2 | FATV:N8.2 | "
    "CARB:N8.2 | VEIGHT:N6\n";

TEST_F(RefTest, PickListDishRowsShowPortionAndEnergyPer100g) {
  MakeTable(Dir(), "dish",
            std::string(kFoodHeader) +
                "1 | 0 | 1 | Каши       |     |      |      |      |      |       |    \n"
                "2 | 1 | 0 | Гречневая  | 301 | 1.00 | 9.50 | 2.00 | 1.50 | 50.25 | 250\n"
                "3 | 1 | 0 | Без веса   | 100 | 0.00 | 1.00 | 0.00 | 0.00 |  2.00 |  0\n");
  TRef ref(tree_, Table("dish"));
  ref.OnItemLoad = LoadDishItem;
  ref.Load();
  struct Case {
    std::int32_t code;
    std::vector<const char*> columns;
  } cases[] = {
      {1, {"", "", "", "", "", ""}},
      {2, {"250", "301", "120", "10.50", "3.50", "50.25"}},  // 301 * 100 / 250 = 120.4
      {3, {"", "", "", "1.00", "0.00", "2.00"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TMtTreeItem* item = ref.FindByCode(c.code);
    ASSERT_EQ(item->ColumnText().Count(), static_cast<int>(c.columns.size()));
    for (std::size_t i = 0; i < c.columns.size(); ++i) EXPECT_EQ(item->ColumnText()[int(i)], c.columns[i]);
  }
  EXPECT_TRUE(ref.FindByCode(1)->GetState(isBold));
  const TFoodRec& d = *RefFoodRecOf(ref.FindByCode(2));
  EXPECT_EQ(std::tie(d.Code, d.Owner, d.Flags, d.Kind, d.Cal, d.Veight), std::make_tuple(2, 1, 0, -1, 301, 250));
  EXPECT_DOUBLE_EQ(d.Carb, 50.25);
}

TEST_F(RefTest, PickListFieldsTheTableLacksReadAsZero) {
  MakeTable(Dir(), "meal", "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C30\n1 | 0 | 0 | Завтрак\n");
  TRef ref(tree_, Table("meal"));
  ref.OnItemLoad = LoadProdMealItem;
  ref.Load();
  TMtTreeItem* item = ref.FindByCode(1);
  EXPECT_EQ(Utf8(item->Text()), "Завтрак");
  const TFoodRec& rec = *RefFoodRecOf(item);
  EXPECT_EQ(std::tie(rec.Cal, rec.Veight), std::make_tuple(0, 0));
  EXPECT_EQ(item->ColumnText()[0], "0");
  EXPECT_EQ(item->ColumnText()[1], "0.00");
}

class RefDishTest : public RefTest {
 protected:
  void MakeTables(std::string_view comp) {
    MakeTable(Dir(), "products",
              std::string(kFoodHeader) +
                  "1  | 0 | 1 | Крупы   |     |      |       |      |      |       |    \n"
                  "10 | 1 | 0 | Гречка  | 308 | 0.00 | 12.60 | 0.00 | 3.30 | 57.10 | 80\n"
                  "11 | 1 | 0 | Масло   | 748 | 0.50 |  0.00 | 82.5 | 0.00 |  0.80 | 20\n"
                  "12 | 1 | 0 | Соль    |   0 | 0.00 |  0.00 | 0.00 | 0.00 |  0.00 |  2\n");
    MakeTable(Dir(), "dish",
              std::string(kFoodHeader) +
                  "100 | 0   | 1 | Каши        |  |  |  |  |  |  |  \n"
                  "101 | 100 | 0 | Гречка с маслом | 0 | 0 | 0 | 0 | 0 | 0 | 0\n"
                  "102 | 100 | 0 | Пустая      | 0 | 0 | 0 | 0 | 0 | 0 | 0\n");
    MakeTable(Dir(), "dishcomp", std::string("DISHCODE:N10 | PRODCODE:N10 | VEIGHT:N6\n") + std::string(comp));
    for (const char* f : {"NAME", "CAL", "VEIGHT"}) AddSection(tree_, f, f[0] == 'N' ? sftText : sftNumber);
    for (const char* f : {"ALBA", "ALBV", "FATA", "FATV", "CARB"}) AddSection(tree_, f, sftFloating);
  }
};

TEST_F(RefDishTest, ComponentsAreSummedAndAMissingProductIsReported) {
  MakeTables("101 | 10 | 80\n"
             "101 | 77 | 10\n"   // no such product
             "101 | 11 | 15\n");
  TRef ref(tree_, Table("dish"));
  ref.SaveSettings = &settings_;
  TScriptedPrompt prompt;
  TRefDishTable dish(ref, prompt);
  ref.Load();
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].Text, "ошибка: в справочнике не найден продукт с указанным кодом");
  EXPECT_EQ(prompt.shown[0].Type, TMsgDlgType::mtError);
  EXPECT_EQ(prompt.shown[0].Buttons, mbOK);

  TMtTreeItem* d = ref.FindByCode(101);
  ASSERT_EQ(d->GetChildrenCount(), 2);
  const TFoodRec& r = *RefFoodRecOf(d);
  // 308 * 80 / 100 = 246.4 -> 246; 748 * 15 / 100 = 112.2 -> 112.
  EXPECT_EQ(std::tie(r.Kind, r.Cal, r.Veight), std::make_tuple(fkDish, 358, 95));
  EXPECT_NEAR(r.FatA, 12.375, 1e-9);
  EXPECT_EQ(d->ColumnText()[0], "358");
  EXPECT_EQ(d->ColumnText()[4], "12.38");  // FatA, halves away from zero in the text
  TMtTreeItem* butter = d->GetChildren(1);
  EXPECT_EQ(Utf8(butter->Text()), "Масло");
  const TFoodRec& b = *RefFoodRecOf(butter);
  EXPECT_EQ(std::tie(b.Code, b.Owner, b.Flags, b.Kind, b.Cal, b.Veight), std::make_tuple(11, 101, 0, 0, 748, 15));
  EXPECT_EQ(butter->ColumnText()[0], "112");
  EXPECT_EQ(butter->ColumnText()[1], "15");
  // The components are loaded items too; a folder keeps no texts; a dish without
  // components sums to nothing.
  EXPECT_EQ(ref.ItemList().size(), 5u);
  EXPECT_EQ(ref.FindByCode(100)->ColumnText().Count(), 0);
  EXPECT_EQ(RefFoodRecOf(ref.FindByCode(102))->Cal, 0);

  // A changed weight: the component and its dish follow.
  RefFoodRecOf(butter)->Veight = 30;
  UpdateDishColumns(butter);
  RecalcDish(d);
  UpdateDishColumns(d);
  EXPECT_EQ(butter->ColumnText()[0], "224");  // 224.4
  EXPECT_EQ(d->ColumnText()[0], "470");
  EXPECT_EQ(d->ColumnText()[1], "110");

  // A new dish through the editor's handler.
  TMtTreeItem* added = ref.AddItem(ref.FindByCode(100));
  EXPECT_EQ(Utf8(added->Text()), "Новое блюдо");
  EXPECT_EQ(RefFoodRecOf(added)->Kind, fkDish);
  EXPECT_EQ(RefFoodRecOf(added)->Code, 103);

  ref.Save();
  const TTableDump comp = DumpTable(Dir() + "dishcomp");
  ASSERT_EQ(comp.Rows.size(), 2u);  // the missing product is gone
  EXPECT_EQ(comp.Rows[0], (std::vector<AnsiString>{"101", "10", "80"}));
  EXPECT_EQ(comp.Rows[1], (std::vector<AnsiString>{"101", "11", "30"}));
  const TTableDump dishes = DumpTable(Dir() + "dish");
  ASSERT_EQ(dishes.Rows.size(), 4u);  // components are not dishes
  EXPECT_EQ(dishes.Rows[1][4], "470");
  EXPECT_EQ(dishes.Rows[1][10], "110");
  EXPECT_EQ(Utf8(dishes.Rows[3][3]), "Новое блюдо");
  EXPECT_TRUE(FileExists(Dir() + "dishcomp.~DB"));
}

TEST_F(RefDishTest, EveryComponentOfALargeDishSurvivesALoadAndASave) {
  std::string comp;
  for (int i = 0; i < 150; ++i) comp += "101 | " + std::to_string(10 + i % 3) + " | " + std::to_string(i + 1) + "\n";
  MakeTables(comp);
  TRef ref(tree_, Table("dish"));
  ref.SaveSettings = &settings_;
  TScriptedPrompt prompt;
  TRefDishTable dish(ref, prompt);
  ref.Load();
  EXPECT_EQ(ref.FindByCode(101)->GetChildrenCount(), 150);
  const TTableDump before = DumpTable(Dir() + "dishcomp");
  ref.Save();
  ExpectSameTable(before, DumpTable(Dir() + "dishcomp"));
}

TEST_F(RefDishTest, ACompositionTableCutShortIsNamedAndNotSavedOverUnasked) {
  MakeTables("101 | 10 | 80\n101 | 11 | 15\n101 | 12 | 1\n");
  // The last composition record is half gone; the header still counts three.
  const std::string whole = ReadFileBytes(DbfFile("dishcomp"));
  const std::size_t recordLength = 1 + 10 + 10 + 6;
  const std::string cut = whole.substr(0, whole.size() - 1 - recordLength / 2);
  WriteFileBytes(DbfFile("dishcomp"), cut);

  TRef ref(tree_, Table("dish"));
  ref.SaveSettings = &settings_;
  TScriptedPrompt prompt;
  TRefDishTable dish(ref, prompt);
  ASSERT_TRUE(ref.TryLoad(prompt));
  EXPECT_EQ(ref.FindByCode(101)->GetChildrenCount(), 2);
  EXPECT_EQ(ref.MissingRecords(), 1);
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].Text, "Справочник " + Utf8(Table("dishcomp")) +
                                      " поврежден: файл обрывается, в нем не хватает записей (1).\r"
                                      "Загружены только имеющиеся записи.");
  EXPECT_THROW(ref.Save(), ERefError);
  EXPECT_EQ(ReadFileBytes(DbfFile("dishcomp")), cut);
  ref.AcceptMissingRecords();
  ref.Save();
  EXPECT_EQ(DumpTable(Dir() + "dishcomp").Rows.size(), 2u);
  ref.Load();
  EXPECT_EQ(ref.MissingRecords(), 0);
  EXPECT_TRUE(ref.CutShort.empty());
}

TEST_F(RefDishTest, AFailedCompositionWriteKeepsTheTableModified) {
  MakeTables("101 | 10 | 80\n101 | 11 | 15\n");
  TRef ref(tree_, Table("dish"));
  ref.SaveSettings = &settings_;
  TScriptedPrompt prompt;
  TRefDishTable dish(ref, prompt);
  int saved = 0;
  dish.OnSaved = [&](TRef*) { ++saved; };
  ref.Load();
  RefFoodRecOf(ref.FindByCode(101)->GetChildren(1))->Veight = 30;
  ref.Modified = true;
  // "dishcomp" cannot be rewritten (another process holds it open): the change of the
  // composition is not on the disk, so the table still counts as changed and is offered
  // for saving again.
  TTableHeldElsewhere other;
  ASSERT_TRUE(other.Hold(Dir() + "dishcomp"));
  EXPECT_THROW(ref.Save(), EDbfError);
  EXPECT_TRUE(ref.Modified);
  EXPECT_EQ(saved, 0);
  // Once the table is free, the next save writes both.
  EXPECT_TRUE(other.Release());
  ref.Save();
  EXPECT_FALSE(ref.Modified);
  EXPECT_EQ(saved, 1);
  const TTableDump comp = DumpTable(Dir() + "dishcomp");
  ASSERT_EQ(comp.Rows.size(), 2u);
  EXPECT_EQ(comp.Rows[1], (std::vector<AnsiString>{"101", "11", "30"}));
}

TEST_F(RefDishTest, TheTableOutlivesItsDishHandlers) {
  MakeTables("101 | 10 | 80\n");
  TRef ref(tree_, Table("dish"));
  ref.SaveSettings = &settings_;
  TScriptedPrompt prompt;
  auto dish = std::make_unique<TRefDishTable>(ref, prompt);
  ref.Load();
  EXPECT_EQ(ref.FindByCode(101)->GetChildrenCount(), 1);
  dish.reset();
  // Without the dish handlers the table loads and saves through the default columns.
  EXPECT_FALSE(ref.OnItemLoad || ref.OnAfterLoad || ref.OnBeforeItemSave || ref.OnAfterSave || ref.OnNewItem);
  ref.Load();
  EXPECT_EQ(ref.ItemList().size(), 3u);
  EXPECT_EQ(ref.FindByCode(101)->GetChildrenCount(), 0);
  EXPECT_EQ(RefRecOf(ref.AddItem(nullptr))->Kind, fkRefRow);
}

TEST_F(RefTest, ATableWithAMemoFileKeepsBothInStep) {
  CreateDbfTable(DbfFile("m"), 0x83,
                 {{"CODE", 'N', 10}, {"OWNER", 'N', 10}, {"FLAGS", 'N', 5}, {"NAME", 'C', 20}, {"NOTE", 'M'}});
  {
    TDbfDataSet ds;
    BindRefTable(ds, Table("m"));
    ds.Open();
    for (int i = 1; i <= 3; ++i) {
      ds.Append();
      ds.FieldByName("CODE").SetAsInteger(i);
      ds.FieldByName("NAME").SetAsString("n" + std::to_string(i));
      ds.FieldByName("NOTE").SetAsString(std::string(600 * i, char('a' + i)));
    }
    ds.Post();
  }
  AddSection(tree_, "NAME", sftText);
  AddSection(tree_, "NOTE", sftText);
  TRef ref(tree_, Table("m"));
  ref.SaveSettings = &settings_;
  ref.Load();
  ASSERT_EQ(tree_.Items()->Count(), 3);
  EXPECT_EQ(ref.FindByCode(2)->ColumnText()[0], std::string(1200, 'c'));
  ref.FindByCode(2)->ColumnText().SetString(0, Ansi("другая заметка"));
  ref.Save();
  const TTableDump dump = DumpTable(Table("m"));
  ASSERT_EQ(dump.Rows.size(), 3u);
  EXPECT_EQ(dump.Rows[0][4], std::string(600, 'b'));
  EXPECT_EQ(dump.Rows[1][4], Ansi("другая заметка"));
  EXPECT_EQ(dump.Rows[2][4], std::string(1800, 'd'));
}

}  // namespace

// ---------------------------------------------------------------------------------
// Other users, read-only folders, tables cut short

namespace {

AnsiString FieldOf(const AnsiString& table, std::int32_t code, const char* field) {
  TDbfDataSet ds;
  BindRefTable(ds, table);
  ds.Open();
  for (ds.First(); !ds.Eof(); ds.Next())
    if (ds.FieldByName("CODE").AsInteger() == code) return ds.FieldByName(field).AsString();
  return "<none>";
}

}  // namespace

TEST_F(RefSaveTest, AnotherUsersChangeSinceTheLoadIsNotWrittenOver) {
  // Both users have the table loaded; the other one saves an edit first.
  ASSERT_TRUE(InOtherProcess([&] {
    return EditRecords(Table("t"), "CODE", 57, "NAME", Ansi("Сахар-песок")) == 1;
  }));
  const std::string theirs = ReadFileBytes(DbfFile("t"));
  ref_->FindByCode(60)->SetText(Ansi("Чай черный"));
  ref_->Modified = true;
  EXPECT_THROW(ref_->Save(), ERefChangedError);
  EXPECT_EQ(ReadFileBytes(DbfFile("t")), theirs);
  EXPECT_TRUE(ref_->Modified);  // the own edit stays in the tree, unsaved
  EXPECT_EQ(Utf8(ref_->FindByCode(60)->Text()), "Чай черный");
  EXPECT_EQ(Utf8(FieldOf(Table("t"), 57, "NAME")), "Сахар-песок");

  // After a reload both go in.
  ref_->Load();
  EXPECT_EQ(Utf8(ref_->FindByCode(57)->Text()), "Сахар-песок");
  ref_->FindByCode(60)->SetText(Ansi("Чай черный"));
  ref_->Save();
  EXPECT_EQ(Utf8(FieldOf(Table("t"), 57, "NAME")), "Сахар-песок");
  EXPECT_EQ(Utf8(FieldOf(Table("t"), 60, "NAME")), "Чай черный");

  // A save is the new starting point: saving again is no conflict, a change after it is.
  ref_->Save();
  ASSERT_TRUE(InOtherProcess([&] { return EditRecords(Table("t"), "CODE", 11, "CAL", "309") == 1; }));
  EXPECT_THROW(ref_->Save(), ERefChangedError);
  EXPECT_EQ(FieldOf(Table("t"), 11, "CAL").find("309") != AnsiString::npos, true);
}

TEST_F(RefSaveTest, EditsOfAnotherProcessSurviveSavesInALoop) {
  // One process adds 1 to CAL of the records in turn, each edit through the shared
  // dataset; this one loads and saves the whole table meanwhile. No edit may be lost.
  constexpr int kEdits = 1000;
  const std::int32_t codes[] = {11, 31, 57, 60};
  auto sum = [&] {
    std::int64_t s = 0;
    for (std::int32_t c : codes) s += std::stoll(Trim(FieldOf(Table("t"), c, "CAL")));
    return s;
  };
  const std::int64_t before = sum();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int done = 0;
    for (int attempt = 0; done < kEdits && attempt < 200 * kEdits; ++attempt) {
      try {
        TDbfDataSet ds;
        BindRefTable(ds, Table("t"));
        ds.Open();
        for (ds.First(); !ds.Eof(); ds.Next()) {
          if (ds.FieldByName("CODE").AsInteger() != codes[done % 4]) continue;
          ds.Edit();
          ds.FieldByName("CAL").SetAsInteger(ds.FieldByName("CAL").AsInteger() + 1);
          ds.Post();
          ++done;
          break;
        }
      } catch (...) {
        ::usleep(200);  // the table is held by the save: try again
      }
    }
    ::_exit(done == kEdits ? 0 : 1);
  }
  int saves = 0, refused = 0, status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    try {
      ref_->Load();
      ref_->Save();
      ++saves;
    } catch (const ERefChangedError&) {
      ++refused;
    } catch (const std::exception&) {
      // held by the other process at that moment
    }
  }
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(sum(), before + kEdits) << saves << " saves, " << refused << " refused";
}

TEST_F(RefTest, ATableCutShortLoadsWithAWarningAndIsNotSavedOverUnasked) {
  Make(kRows);
  StandardSections();
  // The last record and a half are gone; the header still counts seven.
  const std::string whole = ReadFileBytes(DbfFile("t"));
  const std::size_t recordLength = 1 + 10 + 10 + 5 + 30 + 6 + 8;
  const std::string cut = whole.substr(0, whole.size() - 1 - recordLength - recordLength / 2);
  WriteFileBytes(DbfFile("t"), cut);

  TRef ref(tree_, Table("t"));
  ref.SaveSettings = &settings_;
  TScriptedPrompt prompt;
  ASSERT_TRUE(ref.TryLoad(prompt));
  EXPECT_EQ(Shape(tree_), (std::vector<std::string>{"1@0", "11@1", "2@0", "3@1", "31@2"}));
  EXPECT_EQ(ref.MissingRecords(), 2);
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_EQ(prompt.shown[0].Text, "Справочник " + Utf8(Table("t")) +
                                      " поврежден: файл обрывается, в нем не хватает записей (2).\r"
                                      "Загружены только имеющиеся записи.");
  EXPECT_EQ(prompt.shown[0].Type, TMsgDlgType::mtWarning);

  EXPECT_THROW(ref.Save(), ERefError);
  EXPECT_EQ(ReadFileBytes(DbfFile("t")), cut);
  ref.AcceptMissingRecords();  // the user agreed
  ref.Save();
  EXPECT_EQ(DumpTable(Table("t")).Rows.size(), 5u);
  ref.Load();
  EXPECT_EQ(ref.MissingRecords(), 0);
}

TEST_F(RefTest, AReadOnlyFolderLoadsAndIsMarkedReadOnly) {
  Make(kRows);
  StandardSections();
  test_support::TReadOnlyDir readOnly(tmp_.SysPath());
  // Where no folder can be made read-only, the program is told it cannot write.
  TInjectedNoWrites injected(!readOnly.Available());
  TRef ref(tree_, Table("t"));
  ref.SaveSettings = &settings_;
  TScriptedPrompt prompt;
  EXPECT_TRUE(ref.TryLoad(prompt));
  EXPECT_TRUE(prompt.shown.empty()) << prompt.shown[0].Text;
  EXPECT_EQ(Shape(tree_).size(), 7u);
  EXPECT_TRUE(ref.ReadOnly);
  EXPECT_FALSE(CanWriteRefFile(Table("t")));
  if (!injected.On()) {
    EXPECT_THROW(ref.Save(), std::exception);  // the system refuses it
  }
}

namespace {

// The dishes and their composition written by one save: the dish codes of "dish" (no
// folders) and the dish codes "dishcomp" names are the same. Read as the program reads
// them, a save cut short finished first.
void ExpectDishesAndCompositionOfOneSave(const AnsiString& dir, const char* when) {
  SCOPED_TRACE(when);
  const TRefFolderLock folder(dir, false);
  std::set<std::int32_t> dishes, composed;
  TDbfDataSet ds;
  OpenRefTableForReading(ds, dir + "dish");
  for (ds.First(); !ds.Eof(); ds.Next())
    if (ds.FieldByName("FLAGS").AsInteger() == 0) dishes.insert(ds.FieldByName("CODE").AsInteger());
  ds.Close();
  TDbfDataSet comp;
  OpenRefTableForReading(comp, dir + "dishcomp");
  for (comp.First(); !comp.Eof(); comp.Next()) composed.insert(comp.FieldByName("DISHCODE").AsInteger());
  EXPECT_EQ(dishes, composed);
  EXPECT_FALSE(FileExists(dir + kRefJournalName));
}

class RefDishPairTest : public RefDishTest {
 protected:
  void SetUp() override {
    std::string comp;
    for (int i = 0; i < kParts; ++i) comp += "101 | " + std::to_string(10 + i % 3) + " | " + std::to_string(i + 1) + "\n";
    MakeTables(comp);
    // The dish without components goes: every dish has its composition.
    ref_ = std::make_unique<TRef>(tree_, Table("dish"));
    ref_->SaveSettings = &settings_;
    dishes_ = std::make_unique<TRefDishTable>(*ref_, prompt_);
    ref_->Load();
    ref_->DeleteItem(ref_->FindByCode(102));
    ref_->Save();
  }
  // A new generation: the dish is replaced by a new one (a new code) with its components.
  void NextGeneration() {
    TMtTreeItem* folder = ref_->FindByCode(100);
    TMtTreeItem* old = folder->GetFirstChild();
    TMtTreeItem* dish = ref_->AddItem(folder);
    const std::int32_t code = RefFoodRecOf(dish)->Code;
    for (int i = 0; i < kParts; ++i) {
      TMtTreeItem* part = tree_.Items()->AddItem(dish);
      part->Data = NewRefFoodRec({10 + i % 3, code, 0, fkProduct});
      RefFoodRecOf(part)->Veight = i + 1;
    }
    ref_->DeleteItem(old);
  }
  static constexpr int kParts = 200;  // the composition table is much larger than the dishes
  TScriptedPrompt prompt_;
  std::unique_ptr<TRef> ref_;
  std::unique_ptr<TRefDishTable> dishes_;
};

TEST_F(RefDishPairTest, AKilledSaveLeavesBothTablesOfOneSave) {
  // How long a save takes here.
  const auto start = std::chrono::steady_clock::now();
  NextGeneration();
  ref_->Save();
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  ExpectDishesAndCompositionOfOneSave(Dir(), "measured save");
  std::mt19937 random(12345);
  for (int round = 0; round < 16; ++round) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves one generation after another until it is killed.
      ref_->Load();
      char c = 1;
      if (::write(ready[1], &c, 1) != 1) ::_exit(2);
      for (;;) {
        NextGeneration();
        ref_->Save();
      }
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    // Somewhere in the first saves.
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (3 * took.count() + 1)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ExpectDishesAndCompositionOfOneSave(Dir(), ("round " + std::to_string(round)).c_str());
  }
  // The next save of this editor starts from what is there now.
  ref_->Load();
  NextGeneration();
  ref_->Save();
  ExpectDishesAndCompositionOfOneSave(Dir(), "after the kills");
}

TEST_F(RefDishPairTest, AFullDiskLeavesBothTablesOfOneSave) {
  // The saves run with files limited to sizes from smaller than the dish table to larger
  // than the composition table: whatever fails, both tables are of one save.
  const std::int64_t compSize = static_cast<std::int64_t>(ReadFileBytes(DbfFile("dishcomp")).size());
  for (std::int64_t limit = 256; limit < compSize + 4096; limit += 700) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit lim{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      ::setrlimit(RLIMIT_FSIZE, &lim);
      ref_->Load();
      NextGeneration();
      try {
        ref_->Save();
      } catch (const std::exception&) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << limit;
    ExpectDishesAndCompositionOfOneSave(Dir(), ("limit " + std::to_string(limit)).c_str());
  }
}

TEST_F(RefDishPairTest, ASaveCutShortThatCannotBeFinishedIsReportedAndKept) {
  // A journal left by a save that was stopped, whose working copy is gone.
  NextGeneration();
  ref_->Save();
  WriteFileBytes(Dir() + kRefJournalName, ".~ref-gone00/dish.DBF\tdish.DBF\r\n");
  TScriptedPrompt prompt;
  EXPECT_FALSE(ref_->TryLoad(prompt));
  ASSERT_EQ(prompt.shown.size(), 1u);
  EXPECT_NE(prompt.shown[0].Text.find("записаны не до конца"), std::string::npos) << prompt.shown[0].Text;
  EXPECT_TRUE(FileExists(Dir() + kRefJournalName));  // nothing half-done is taken as done
}

TEST_F(RefDishPairTest, ASaveWritesNoJournalThroughALinkLeadingNowhere) {
  // A link at the journal's name, to a file not there yet in a folder above this one: a
  // save would write its journal there.
  namespace fs = std::filesystem;
  const std::string outside = (fs::path(tmp_.SysPath()).parent_path() / ("journal-of-" + fs::path(tmp_.SysPath()).filename().string())).string();
  fs::create_symlink(outside, tmp_.SysPath() + "/" + kRefJournalName);
  NextGeneration();
  const std::string message = [&] {
    try {
      ref_->Save();
    } catch (const std::exception& e) {
      return std::string(e.what());
    }
    return std::string("<saved>");
  }();
  const bool written = fs::exists(outside);
  fs::remove(outside);
  EXPECT_FALSE(written);
  EXPECT_NE(Utf8(message).find("не является журналом записи этой программы"), std::string::npos) << Utf8(message);
  EXPECT_TRUE(fs::is_symlink(tmp_.SysPath() + "/" + kRefJournalName));
}

// Everything under a directory, links not followed: each entry's kind and bytes, or
// where a link leads.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> all;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_symlink())
      all[rel] = "link -> " + fs::read_symlink(e.path()).string();
    else if (e.is_directory())
      all[rel] = "folder";
    else if (!e.is_regular_file())
      all[rel] = "special";  // a pipe is not read: that would wait for a writer
    else
      all[rel] = "file " + ReadFileBytes(AnsiPath(e.path().string()));
  }
  return all;
}

// Journals that name something other than the program's own working copies and the
// tables they replace, as somebody could put them into a folder they pass on. "ref/" is
// the reference folder with the table "t", "home/" the user's files beside it.
TEST_F(RefTest, AJournalNamingAnythingButItsOwnFilesIsLeftAloneAndNothingIsTouched) {
  namespace fs = std::filesystem;
  struct Case {
    const char* what;
    // Makes the files the journal's lines name; gives the journal's text.
    std::function<std::string(const std::string& ref, const std::string& home)> make;
  };
  const auto work = [](const std::string& ref, const char* file, const std::string& bytes) {
    fs::create_directory(ref + ".~ref-abc123");
    WriteFileBytes(AnsiPath(ref + ".~ref-abc123/" + file), bytes);
  };
  const std::vector<Case> cases = {
      {"a file to replace up the tree",
       [&](const std::string& ref, const std::string&) {
         work(ref, "t.DBF", "echo replaced");
         return std::string(".~ref-abc123/t.DBF\t../home/.profile\r\n");
       }},
      {"a working copy up the tree, whose folder would go",
       [](const std::string&, const std::string&) { return std::string("../home/docs/letter.txt\tt.DBF\r\n"); }},
      {"a file to replace named absolutely",
       [&](const std::string& ref, const std::string& home) {
         work(ref, "t.DBF", "echo replaced");
         return ".~ref-abc123/t.DBF\t" + home + ".profile\r\n";
       }},
      {"a working copy named absolutely",
       [](const std::string&, const std::string& home) { return home + "docs/letter.txt\tt.DBF\r\n"; }},
      {"a table that is a link out of the folder",
       [&](const std::string& ref, const std::string& home) {
         work(ref, "x.DBF", "echo replaced");
         fs::create_symlink(home + ".profile", ref + "x.DBF");
         return std::string(".~ref-abc123/x.DBF\tx.DBF\r\n");
       }},
      {"a working folder that is a link out of the folder",
       [](const std::string& ref, const std::string& home) {
         WriteFileBytes(AnsiPath(home + "docs/x.DBF"), "a document");
         fs::create_directory_symlink(home + "docs", ref + ".~ref-abc123");
         return std::string(".~ref-abc123/x.DBF\tx.DBF\r\n");
       }},
      {"a working copy that is a link out of the folder",
       [](const std::string& ref, const std::string& home) {
         fs::create_directory(ref + ".~ref-abc123");
         fs::create_symlink(home + "docs/letter.txt", ref + ".~ref-abc123/x.DBF");
         return std::string(".~ref-abc123/x.DBF\tx.DBF\r\n");
       }},
      {"a folder of the user's as the working folder",
       [](const std::string& ref, const std::string&) {
         fs::create_directory(ref + "photos");
         WriteFileBytes(AnsiPath(ref + "photos/x.DBF"), "a photo");
         return std::string("photos/x.DBF\tx.DBF\r\n");
       }},
      {"a file that is no table",
       [&](const std::string& ref, const std::string&) {
         work(ref, "notes.txt", "new notes");
         return std::string(".~ref-abc123/notes.txt\tnotes.txt\r\n");
       }},
      {"a line without a working copy",
       [](const std::string&, const std::string&) { return std::string("t.DBF\r\n"); }},
      {"a working copy of another file",
       [&](const std::string& ref, const std::string&) {
         work(ref, "t.DBF", "echo replaced");
         return std::string(".~ref-abc123/t.DBF\tx.DBF\r\n");
       }},
      {"a journal that is a link",
       [&](const std::string& ref, const std::string& home) {
         work(ref, "t.DBF", "echo replaced");
         WriteFileBytes(AnsiPath(home + "docs/journal"), ".~ref-abc123/t.DBF\tt.DBF\r\n");
         fs::create_symlink(home + "docs/journal", ref + kRefJournalName);
         return std::string();
       }},
      {"a journal that is a pipe",
       [&](const std::string& ref, const std::string&) {
         work(ref, "t.DBF", "echo replaced");
         ::mkfifo((ref + kRefJournalName).c_str(), 0600);
         return std::string();
       }},
      {"a journal that is a link leading nowhere",
       [&](const std::string& ref, const std::string& home) {
         work(ref, "t.DBF", "echo replaced");
         fs::create_symlink(home + ".bash_login", ref + kRefJournalName);
         return std::string();
       }},
      {"a journal too large to be one",
       [&](const std::string& ref, const std::string&) {
         work(ref, "t.DBF", "echo replaced");
         std::string text;
         while (text.size() <= 64 * 1024) text += ".~ref-abc123/t.DBF\tt.DBF\r\n";
         return text;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string root = tmp_.SysPath() + "/case/", ref = root + "ref/", home = root + "home/";
    fs::remove_all(root);
    fs::create_directories(ref);
    fs::create_directories(home + "docs");
    WriteFileBytes(AnsiPath(home + ".profile"), "the user's start-up file");
    WriteFileBytes(AnsiPath(home + "docs/letter.txt"), "the user's letter");
    MakeTable(AnsiPath(ref), "t", std::string(kHeader) + kRows);
    const std::string journal = c.make(ref, home);  // empty: the case made it
    if (!journal.empty()) WriteFileBytes(AnsiPath(ref) + kRefJournalName, journal);
    const auto before = Snapshot(root);

    // At start-up nothing is said: the tables' loading tells.
    RemoveRefSaveLeftovers(AnsiPath(ref));
    EXPECT_EQ(Snapshot(root), before);
    TCustomMtTree tree;
    TRef ref_(tree, AnsiPath(ref) + "t");
    TScriptedPrompt prompt;
    EXPECT_FALSE(ref_.TryLoad(prompt));
    EXPECT_EQ(prompt.shown.size(), 1u);
    const std::string told = prompt.shown.empty() ? std::string() : prompt.shown[0].Text;
    EXPECT_NE(told.find("не является журналом записи этой программы"), std::string::npos) << told;
    EXPECT_NE(told.find("Ни один файл не изменен"), std::string::npos);
    EXPECT_EQ(Snapshot(root), before);
  }
}

TEST_F(RefTest, APipeAtTheFolderLocksNameIsRefusedWithoutWaiting) {
  // A pipe opened for reading waits for a writer: the folder's lock would never be taken.
  MakeTable(Dir(), "t", std::string(kHeader) + kRows);
  ASSERT_EQ(::mkfifo((tmp_.SysPath() + "/.~lock." + kRefJournalName).c_str(), 0600), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::alarm(20);  // a load that waits for ever ends here
    TCustomMtTree tree;
    TRef ref(tree, Table("t"));
    TScriptedPrompt prompt;
    const bool loaded = ref.TryLoad(prompt);
    ::_exit(!loaded && prompt.shown.size() == 1 && prompt.shown[0].Text.find("Cannot lock") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "the load waited";
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

TEST_F(RefTest, AJournalInAFolderReachedThroughALinkIsFinished) {
  // The folder is opened by a link to it; the table in it is a link inside it.
  namespace fs = std::filesystem;
  const std::string real = tmp_.SysPath() + "/real/";
  fs::create_directories(real + "tables");
  fs::create_directory_symlink(real, tmp_.SysPath() + "/via");
  const AnsiString via = Dir() + "via/";
  MakeTable(AnsiPath(real), "t", std::string(kHeader) + kRows);
  fs::rename(real + "t.DBF", real + "tables/t.DBF");
  fs::create_symlink("tables/t.DBF", real + "t.DBF");
  fs::create_directory(real + ".~ref-Qw12Er");
  MakeTable(AnsiPath(real) + ".~ref-Qw12Er/", "t", std::string(kHeader) + "5 | 0 | 0 | Соль | 0 | 0\n");
  WriteFileBytes(AnsiPath(real) + kRefJournalName, ".~ref-Qw12Er/t.DBF\tt.DBF\r\n");
  TRef ref_(tree_, via + "t");
  StandardSections();
  TScriptedPrompt prompt;
  ASSERT_TRUE(ref_.TryLoad(prompt));
  EXPECT_TRUE(prompt.shown.empty());
  ASSERT_EQ(ref_.ItemList().size(), 1u);
  EXPECT_EQ(Utf8(ref_.ItemList()[0]->Text()), "Соль");
  EXPECT_TRUE(fs::is_symlink(real + "t.DBF"));
  EXPECT_FALSE(fs::exists(real + ".~ref-Qw12Er"));
}

TEST_F(RefTest, AJournalWhoseTableIsALinkInsideTheFolderIsFinished) {
  namespace fs = std::filesystem;
  const std::string ref = tmp_.SysPath() + "/";
  MakeTable(Dir(), "t", std::string(kHeader) + kRows);
  fs::create_directory(ref + "tables");
  fs::rename(ref + "t.DBF", ref + "tables/t.DBF");
  fs::create_symlink("tables/t.DBF", ref + "t.DBF");
  // A working copy of another table stands in for the new file.
  fs::create_directory(ref + ".~ref-Zx09aB");
  MakeTable(Dir() + ".~ref-Zx09aB/", "t", std::string(kHeader) + "5 | 0 | 0 | Соль | 0 | 0\n");
  WriteFileBytes(Dir() + kRefJournalName, ".~ref-Zx09aB/t.DBF\tt.DBF\r\n");
  TRef ref_(tree_, Table("t"));
  StandardSections();
  TScriptedPrompt prompt;
  ASSERT_TRUE(ref_.TryLoad(prompt));
  EXPECT_TRUE(prompt.shown.empty());
  ASSERT_EQ(ref_.ItemList().size(), 1u);
  EXPECT_EQ(Utf8(ref_.ItemList()[0]->Text()), "Соль");
  EXPECT_TRUE(fs::is_symlink(ref + "t.DBF"));  // the link's file was replaced
  EXPECT_FALSE(fs::exists(ref + ".~ref-Zx09aB"));
  EXPECT_FALSE(FileExists(Dir() + kRefJournalName));
}

}  // namespace
