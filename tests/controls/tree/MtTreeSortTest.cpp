// Sorting of the tree: comparisons by field type, sort marks and direction, the sort of
// children lists, automatic sorting, the header-click sequence and the compare event.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/TreeFixture.h"
#include "controls/tree/MtHeaderSections.h"

namespace {

using Strings = std::vector<std::string>;

int Sign(int v) { return (v > 0) - (v < 0); }

// A tree with n columns: section 0 is the main column (text), the others have the given
// field types.
class SortTree : public TCustomMtTree {
 public:
  explicit SortTree(std::vector<TFieldTypes> types = {sftText}) {
    for (TFieldTypes t : types) HeaderSections()->AddSection()->SetFieldType(t);
  }
  ~SortTree() override { DestroyItems(); }
  TMtHeaderSection* Section(int number) const { return HeaderSections()->FindByNumber(number); }

  // A top-level item with its text and column texts.
  TMtTreeItem* Row(const std::string& text, const Strings& columns = {}, TMtTreeItem* parent = nullptr) {
    TMtTreeItem* item = Items()->AddChild(parent, text);
    for (const std::string& c : columns) item->ColumnText().Add(c);
    return item;
  }
  // The texts of the parent's children (nil: top level) in order.
  Strings Order(TMtTreeItem* parent = nullptr) const {
    const TMtTreeItem* p = parent != nullptr ? parent : Items()->Root();
    Strings out;
    for (int i = 0; i < p->GetChildrenCount(); ++i) out.push_back(p->GetChildren(i)->Text());
    return out;
  }
  // Every child knows its place and the rows follow the children lists.
  void CheckConsistent() const {
    std::vector<TMtTreeItem*> items;
    PreOrder(Items()->Root(), items, false, false);
    for (TMtTreeItem* item : items) {
      TMtTreeItem* parent = item->GetParent() != nullptr ? item->GetParent() : Items()->Root();
      EXPECT_EQ(parent->GetChildren(item->GetIndex()), item) << item->Text();
    }
    EXPECT_EQ(static_cast<int>(items.size()), Items()->Count());
    std::vector<TMtTreeItem*> rows;
    PreOrder(Items()->Root(), rows, true, false);
    EXPECT_EQ(VisibleRows(), rows);
  }
};

// ---------------------------------------------------------------------------------
// The comparison

TEST(MtTreeSort, ComparisonByFieldType) {
  struct Case {
    TFieldTypes type;
    const char* a;  // column texts in UTF-8; nullptr: the item has no text in the column
    const char* b;
    int expected;   // sign of CompareItems(a, b), ascending
  };
  const std::vector<Case> cases = {
      // Numbers: decimal 32-bit integers, anything else counts as 0.
      {sftNumber, "10", "9", 1},
      {sftNumber, "x", "9", -1},
      {sftNumber, "x", "0", 0},
      {sftNumber, "", "0", 0},
      {sftNumber, nullptr, "1", -1},
      {sftNumber, nullptr, "0", 0},
      {sftNumber, "-5", "0", -1},
      {sftNumber, "+7", "7", 0},
      {sftNumber, " 12 ", "11", 1},
      {sftNumber, "12abc", "1", -1},
      {sftNumber, "1.5", "1", -1},
      {sftNumber, "$10", "1", -1},  // not decimal
      {sftNumber, "2147483647", "-2147483648", 1},
      {sftNumber, "2147483648", "1", -1},  // beyond 32 bits: not a number
      // Floating: a point only ("0,7" is no number); a text that is no number sorts
      // first; two such compare as text.
      {sftFloating, "1.5", "0.5", 1},
      {sftFloating, "1,5", "1.4", -1},
      {sftFloating, "0,7", "0.5", -1},
      {sftFloating, "0,7", "0,5", 1},
      {sftFloating, "     12.50", "9.75", 1},
      {sftFloating, "-0", "0", 0},
      {sftFloating, "1e3", "999.5", 1},
      {sftFloating, "abc", "0.5", -1},
      {sftFloating, "0.5", "abc", 1},
      {sftFloating, "", "-1000", -1},
      {sftFloating, nullptr, "-1000", -1},
      {sftFloating, "nan", "-1000", -1},
      {sftFloating, "inf", "-1000", -1},
      {sftFloating, "1.2.3", "0", -1},
      {sftFloating, "abc", "ABD", -1},
      {sftFloating, "abc", "ABC", 0},
      {sftFloating, "", nullptr, 0},
      // Dates, times: a text that does not convert counts as now.
      {sftDate, "01.02.2003", "31.01.2003", 1},
      {sftDate, "1.2.2003", "01.02.2003", 0},
      {sftDate, "31.12.99", "01.01.2000", -1},
      {sftDate, "garbage", "01.01.2000", 1},
      {sftDate, "01.01.3000", "", 1},
      {sftDate, "01.01.3000", nullptr, 1},
      {sftDate, "31.02.2003", "01.01.2000", 1},
      {sftDate, "", "x", 0},
      {sftDate, "01.02.2003 10:00", "01.01.2000", 1},
      {sftTime, "9:05", "10:00", -1},
      {sftTime, "23:59:59", "23:59", 1},
      {sftTime, "12:00:00.5", "12:00", 1},
      {sftTime, "25:00", "23:59", 1},
      {sftDateTime, "01.01.2020 10:00", "01.01.2020 9:00", 1},
      {sftDateTime, "01.01.2020", "01.01.2020 0:00", 0},
      {sftDateTime, "02.01.2020", "01.01.2020 23:59:59", 1},
      {sftDateTime, "bad", "01.01.2020 10:00", 1},
      // Text: without regard to case, in the Russian collation.
      {sftText, "абв", "АБВ", 0},
      {sftText, "Ёлка", "Ель", -1},
      {sftText, "Ёж", "Еж", 1},
      {sftText, "Ёлка", "Абрикос", 1},
      {sftText, "Яблоко", "Zebra", 1},
      {sftText, "9 дней", "Абрикос", -1},
      {sftText, "Сыр плавленый", "Сырки", -1},
      {sftText, "", "а", -1},
      {sftText, nullptr, "", 0},
  };
  SortTree tree({sftText, sftText});
  tree.SortSection = 1;
  for (const Case& c : cases) {
    tree.Items()->Clear();
    tree.Section(1)->SetFieldType(c.type);
    TMtTreeItem* a = tree.Row("A", c.a != nullptr ? Strings{Ansi(c.a)} : Strings{});
    TMtTreeItem* b = tree.Row("B", c.b != nullptr ? Strings{Ansi(c.b)} : Strings{});
    const std::string what = std::to_string(c.type) + ": " + (c.a ? c.a : "(none)") + " / " + (c.b ? c.b : "(none)");
    EXPECT_EQ(Sign(tree.CompareItems(a, b)), c.expected) << what;
    EXPECT_EQ(Sign(tree.CompareItems(b, a)), -c.expected) << what;
  }
}

TEST(MtTreeSort, FieldTypesWithoutAComparisonAskTheEvent) {
  SortTree tree({sftText, sftText});
  tree.SortSection = 1;
  TMtTreeItem* a = tree.Row("A", {"1"});
  TMtTreeItem* b = tree.Row("B", {"2"});
  for (TFieldTypes type : {sftCustom, sftPicture, sftEnum, sftBLOB, sftUndef}) {
    tree.Section(1)->SetFieldType(type);
    tree.OnCompareItems = nullptr;
    EXPECT_EQ(tree.CompareItems(a, b), 0) << int(type);  // no event: everything is equal
    for (int result : {5, -3, 0, INT_MIN, INT_MAX}) {
      std::vector<std::pair<TMtTreeItem*, TMtTreeItem*>> calls;
      tree.OnCompareItems = [&](TObject* sender, TMtTreeItem* x, TMtTreeItem* y, int& res) {
        EXPECT_EQ(sender, &tree);
        calls.emplace_back(x, y);
        res = result;
      };
      EXPECT_EQ(Sign(tree.CompareItems(a, b)), Sign(result)) << int(type) << " " << result;
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].first, a);
      EXPECT_EQ(calls[0].second, b);
    }
  }
}

TEST(MtTreeSort, MarksAndDirection) {
  struct Case {
    int section;  // -1: the event alone; 1: a number column; 2: a custom column
    TMtSSortMode mark;
    TSortDirs dir;
    int expected;  // A ("1") against B ("2"); the event says A < B
  };
  const std::vector<Case> cases = {
      {-1, hsmNone, sdAscend, -1},    {-1, hsmNone, sdDescend, 1},
      {-1, hsmDescend, sdAscend, -1},  // marks do not matter to the event alone
      {1, hsmNone, sdAscend, -1},     {1, hsmNone, sdDescend, 1},
      {1, hsmAscend, sdAscend, -1},   {1, hsmAscend, sdDescend, -1},
      {1, hsmDescend, sdAscend, 1},   {1, hsmDescend, sdDescend, 1},
      // A custom column: the event's answer turns with SortDir first, then the mark rule
      // applies on top (so without a mark a descending direction turns it twice).
      {2, hsmNone, sdAscend, -1},     {2, hsmNone, sdDescend, -1},
      {2, hsmAscend, sdAscend, -1},   {2, hsmAscend, sdDescend, 1},
      {2, hsmDescend, sdDescend, -1}, {2, hsmDescend, sdAscend, 1},
  };
  SortTree tree({sftText, sftNumber, sftCustom});
  TMtTreeItem* a = tree.Row("A", {"1", "x"});
  TMtTreeItem* b = tree.Row("B", {"2", "x"});
  tree.OnCompareItems = [&](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& res) {
    res = x == a && y == b ? INT_MIN : x == b && y == a ? INT_MAX : 0;
  };
  for (const Case& c : cases) {
    tree.SortSection = c.section;
    tree.SortDir = c.dir;
    for (int s = 0; s < 3; ++s) tree.Section(s)->SetSortMode(hsmNone);
    if (c.section >= 0) tree.Section(c.section)->SetSortMode(c.mark);
    EXPECT_EQ(Sign(tree.CompareItems(a, b)), c.expected) << c.section << " " << int(c.mark) << " " << int(c.dir);
    EXPECT_EQ(Sign(tree.CompareItems(b, a)), -c.expected) << c.section << " " << int(c.mark) << " " << int(c.dir);
  }
}

TEST(MtTreeSort, AMainColumnBeyondTheSectionsSortsAsSectionZero) {
  // Three sections and MainTreeColumn 5: section 0 shows the item text, as painted, so
  // sorting by section 0 compares the texts and section 2 reads column text 1.
  SortTree tree({sftText, sftText, sftText});
  TMtTreeItem* a = tree.Row("b", {"1", "2"});
  TMtTreeItem* b = tree.Row("a", {"2", "1"});
  tree.SetShowColumns(true);
  tree.MainTreeColumn = 5;
  EXPECT_EQ(tree.MainColumn(), 0);
  tree.SortSection = 0;
  EXPECT_GT(tree.CompareItems(a, b), 0);  // "b" > "a", not column text 0 ("1" < "2")
  tree.SortSection = 2;
  EXPECT_GT(tree.CompareItems(a, b), 0);  // column text 1: "2" > "1"
  tree.SortSection = 1;
  EXPECT_LT(tree.CompareItems(a, b), 0);  // column text 0: "1" < "2"
}

TEST(MtTreeSort, SectionToColumnText) {
  // Section 3 with the main column 0 reads column text 2; with the main column 5, text 3.
  SortTree tree({sftText, sftText, sftText, sftNumber, sftText, sftNumber});
  TMtTreeItem* a = tree.Row("20", {"x", "x", "1", "9"});
  TMtTreeItem* b = tree.Row("3", {"x", "x", "2", "8"});
  TMtTreeItem* shortItem = tree.Row("1", {"x"});  // no column text 2 or 3: ""
  tree.SortSection = 3;
  tree.MainTreeColumn = 0;
  EXPECT_LT(tree.CompareItems(a, b), 0);
  EXPECT_LT(tree.CompareItems(shortItem, a), 0);
  tree.MainTreeColumn = 5;
  EXPECT_GT(tree.CompareItems(a, b), 0);
  EXPECT_LT(tree.CompareItems(shortItem, b), 0);

  // The main column compares Text: with the header shown, as its section says (number,
  // section 5 here); with the header hidden, as the tree's SortType says, and no mark.
  tree.SortSection = 5;
  tree.Section(5)->SetSortMode(hsmAscend);
  tree.SetShowColumns(true);
  EXPECT_GT(tree.CompareItems(a, b), 0);  // 20 > 3
  tree.Section(5)->SetSortMode(hsmDescend);
  EXPECT_LT(tree.CompareItems(a, b), 0);
  tree.SetShowColumns(false);
  tree.SortType = stText;
  EXPECT_LT(tree.CompareItems(a, b), 0);  // "20" < "3", the mark is ignored
  tree.SortType = stNumber;
  EXPECT_GT(tree.CompareItems(a, b), 0);

  // Another column takes its section's type and mark even with the header hidden.
  tree.SortSection = 3;  // column text 3 now: 9 against 8
  tree.Section(3)->SetSortMode(hsmDescend);
  EXPECT_LT(tree.CompareItems(a, b), 0);

  // A section that does not exist: no mark, the tree's SortType.
  tree.MainTreeColumn = 0;
  tree.SortSection = 4;  // exists: column text 3
  tree.HeaderSections()->DeleteSection(tree.Section(5));
  tree.SortSection = 6;  // column text 5: missing on every item
  tree.SortType = stNumber;
  EXPECT_EQ(tree.CompareItems(a, b), 0);
  a->ColumnText().Add("x");
  a->ColumnText().Add("5");
  EXPECT_GT(tree.CompareItems(a, b), 0);
  tree.SortDir = sdDescend;
  EXPECT_LT(tree.CompareItems(a, b), 0);
}

// ---------------------------------------------------------------------------------
// Sorting lists

TEST(MtTreeSort, SortsByTypedColumns) {
  struct Case {
    TFieldTypes type;
    Strings texts;
    Strings ascending;
  };
  const std::vector<Case> cases = {
      {sftNumber, {"10", "9", "x"}, {"x", "9", "10"}},
      {sftFloating, {"1.5", "abc", "0.5"}, {"abc", "0.5", "1.5"}},
      {sftFloating, {"2.25", "", "-1", "b", "a"}, {"", "a", "b", "-1", "2.25"}},
      // A comma is no decimal separator: "0,7" sorts among the texts.
      {sftFloating, {"0,7", "0.5", "1.5"}, {"0,7", "0.5", "1.5"}},
      {sftFloating, {"1.5", "0,7", "0.5", "0.05"}, {"0,7", "0.05", "0.5", "1.5"}},
      {sftDate, {"bad", "01.01.2000", "31.12.1999", "also bad", "15.06.1990"},
       {"15.06.1990", "31.12.1999", "01.01.2000", "bad", "also bad"}},
      {sftTime, {"10:00", "9:59:59", "0:00"}, {"0:00", "9:59:59", "10:00"}},
      {sftText, {"Яблоко", "ёрш", "апельсин", "Ель", "банан"}, {"апельсин", "банан", "Ель", "ёрш", "Яблоко"}},
  };
  for (const Case& c : cases) {
    SortTree tree({sftText, c.type});
    tree.SortSection = 1;
    for (const std::string& t : c.texts) tree.Row(t, {Ansi(t)});
    tree.SortAll(false);
    Strings expected;
    for (const std::string& t : c.ascending) expected.push_back(t);
    EXPECT_EQ(tree.Order(), expected) << int(c.type);
    tree.Section(1)->SetSortMode(hsmDescend);
    tree.SortAll(false);
    Strings descending;
    // Equal keys keep their order in both directions.
    for (const std::string& t : c.ascending) descending.push_back(t);
    std::reverse(descending.begin(), descending.end());
    if (c.type == sftDate) descending = {"bad", "also bad", "01.01.2000", "31.12.1999", "15.06.1990"};
    EXPECT_EQ(tree.Order(), descending) << int(c.type);
    tree.CheckConsistent();
  }
}

TEST(MtTreeSort, RecursiveAndOneLevel) {
  SortTree tree;
  tree.SortSection = 0;
  tree.SortType = stText;
  BuildItems(tree, nullptr, "C(c2,c1(z,y)),A(a2,a1),B");
  tree.Items()->Root()->Expand(true);
  tree.SortAll(false);
  EXPECT_EQ(Dump(tree), "A(a2,a1),B,C(c2,c1(z,y))");
  tree.CheckConsistent();
  Find(tree, "C")->Sort(false);
  EXPECT_EQ(Dump(tree), "A(a2,a1),B,C(c1(z,y),c2)");
  tree.SortDir = sdDescend;
  Find(tree, "C")->Sort(true);
  EXPECT_EQ(Dump(tree), "A(a2,a1),B,C(c2,c1(z,y))");
  tree.SortDir = sdAscend;
  tree.SortAll(true);
  EXPECT_EQ(Dump(tree), "A(a1,a2),B,C(c1(y,z),c2)");
  tree.CheckConsistent();
  EXPECT_EQ(tree.UpdateCount(), 0);
}

TEST(MtTreeSort, EqualKeysKeepTheirOrder) {
  // 2000 rows with ten distinct keys, sorted back and forth over two columns: each time
  // the order is that of a stable sort of the order before.
  SortTree tree({sftText, sftNumber, sftFloating});
  std::mt19937 random(7);
  tree.Items()->BeginUpdate();
  for (int i = 0; i < 2000; ++i)
    tree.Row("r" + std::to_string(i), {std::to_string(random() % 10), std::to_string(random() % 7) + ".5"});
  tree.Items()->EndUpdate();
  for (int round = 0; round < 4; ++round) {
    const int section = 1 + round % 2;
    const TMtSSortMode mark = round < 2 ? hsmAscend : hsmDescend;
    std::vector<TMtTreeItem*> expected;
    for (int i = 0; i < tree.Items()->Root()->GetChildrenCount(); ++i)
      expected.push_back(tree.Items()->Root()->GetChildren(i));
    auto key = [section](TMtTreeItem* item) { return std::stod(item->ColumnText()[section - 1]); };
    std::stable_sort(expected.begin(), expected.end(), [&](TMtTreeItem* x, TMtTreeItem* y) {
      return mark == hsmAscend ? key(x) < key(y) : key(x) > key(y);
    });
    tree.SortSection = section;
    tree.Section(section)->SetSortMode(mark);
    tree.SortAll(false);
    std::vector<TMtTreeItem*> actual;
    for (int i = 0; i < tree.Items()->Root()->GetChildrenCount(); ++i)
      actual.push_back(tree.Items()->Root()->GetChildren(i));
    EXPECT_EQ(actual, expected) << round;
  }
  tree.CheckConsistent();
}

TEST(MtTreeSort, SortingKeepsStateAndMarksRows) {
  SortTree tree;
  tree.SortSection = 0;
  tree.SortType = stText;
  tree.SetMultiSelect(false);
  BuildItems(tree, nullptr, "c,b(b2,b1),a");
  Find(tree, "b")->Expand(false);
  tree.SetItemFocused(Find(tree, "b2"));
  ASSERT_EQ(tree.VisibleRows().size(), 5u);
  tree.SortAll(true);
  EXPECT_EQ(Dump(tree), "a,b(b1,b2),c");
  EXPECT_EQ(tree.ItemFocused(), Find(tree, "b2"));
  EXPECT_EQ(tree.Selected(), Find(tree, "b2"));
  EXPECT_TRUE(Find(tree, "b")->GetExpanded());
  tree.CheckConsistent();
  EXPECT_EQ(Find(tree, "b2")->GetVisIndex(), 3);
}

// ---------------------------------------------------------------------------------
// Automatic sorting

TEST(MtTreeSort, AutomaticSortAfterTextChangeAndMove) {
  for (TSortModes mode : {smNone, smAdd, smClick, smAddClick}) {
    const bool sorts = mode == smAdd || mode == smAddClick;
    SortTree tree({sftText, sftNumber});
    tree.SortMode = mode;
    tree.SortSection = 0;
    tree.SortType = stText;
    // Adding with a text sorts the new item in (its text is set after it is added).
    for (const char* t : {"c", "a", "d", "b"}) tree.Row(t);
    EXPECT_EQ(tree.Order(), sorts ? Strings({"a", "b", "c", "d"}) : Strings({"c", "a", "d", "b"})) << int(mode);
    tree.Items()->Root()->Sort(false);
    Find(tree, "a")->SetText("e");
    EXPECT_EQ(tree.Order(), sorts ? Strings({"b", "c", "d", "e"}) : Strings({"e", "b", "c", "d"})) << int(mode);
    // A move sorts the new parent's children.
    tree.Items()->Root()->Sort(false);
    TMtTreeItem* folder = tree.Row("f");
    tree.Row("y", {}, folder);
    tree.Row("x", {}, folder);
    Find(tree, "b")->MoveToIns(folder, 0);
    EXPECT_EQ(tree.Order(folder), sorts ? Strings({"b", "x", "y"}) : Strings({"b", "y", "x"})) << int(mode);
    Find(tree, "c")->MoveToIns(folder, 0);
    EXPECT_EQ(tree.Order(folder), sorts ? Strings({"b", "c", "x", "y"}) : Strings({"c", "b", "y", "x"}))
        << int(mode);
    tree.CheckConsistent();
  }
}

TEST(MtTreeSort, AutomaticSortAfterColumnTextChange) {
  SortTree tree({sftText, sftNumber});
  tree.SortMode = smAdd;
  tree.SortSection = 1;
  TMtTreeItem* a = tree.Row("a", {"3"});
  tree.Row("b", {"1"});
  tree.Row("c", {"2"});
  EXPECT_EQ(tree.Order(), Strings({"b", "c", "a"}));
  a->ColumnText().SetString(0, "0");
  EXPECT_EQ(tree.Order(), Strings({"a", "b", "c"}));
  // A main-text change does not sort by another column.
  a->SetText("z");
  a->ColumnText().BeginUpdate();
  a->ColumnText().SetString(0, "5");
  EXPECT_EQ(tree.Order(), Strings({"z", "b", "c"}));  // not until the list's bracket ends
  a->ColumnText().EndUpdate();
  EXPECT_EQ(tree.Order(), Strings({"b", "c", "z"}));
  // A sort section beyond the sections: column texts do not sort.
  tree.SortSection = 2;
  Find(tree, "z")->ColumnText().SetString(0, "-1");
  EXPECT_EQ(tree.Order(), Strings({"b", "c", "z"}));
  tree.CheckConsistent();
}

// ---------------------------------------------------------------------------------
// Header clicks

TEST(MtTreeSort, HeaderClickSequence) {
  SortTree tree({sftText, sftNumber, sftFloating});
  tree.SetShowColumns(true);
  tree.SortMode = smClick;
  std::vector<int> clicks;
  tree.OnHeaderColumnClick = [&](TObject* sender, int section) {
    EXPECT_EQ(sender, &tree);
    clicks.push_back(section);
  };
  TMtTreeItem* f = tree.Row("f", {"2", "0.5"});
  tree.Row("f2", {"5", "0.1"}, f);
  tree.Row("f1", {"7", "0.9"}, f);
  tree.Row("g", {"10", "0.25"});
  tree.Row("e", {"9", "0.75"});
  f->Expand(false);
  TMtHeaderSection* number = tree.Section(1);
  TMtHeaderSection* floating = tree.Section(2);

  // The first click on an unmarked section sorts descending, the next ascending.
  tree.HeaderSectionClick(number);
  EXPECT_EQ(tree.SortSection, 1);
  EXPECT_EQ(tree.SortType, stNumber);
  EXPECT_EQ(number->SortMode(), hsmDescend);
  EXPECT_EQ(Dump(tree), "g,e,f(f1,f2)");  // the whole tree, recursively
  tree.HeaderSectionClick(number);
  EXPECT_EQ(number->SortMode(), hsmAscend);
  EXPECT_EQ(Dump(tree), "f(f2,f1),e,g");
  tree.HeaderSectionClick(number);
  EXPECT_EQ(number->SortMode(), hsmDescend);
  EXPECT_EQ(Dump(tree), "g,e,f(f1,f2)");

  // Another section takes the mark; the event gets numbers, not display positions.
  tree.HeaderSections()->MoveSection(floating, 0);
  tree.HeaderSectionClick(floating);
  EXPECT_EQ(number->SortMode(), hsmNone);
  EXPECT_EQ(floating->SortMode(), hsmDescend);
  EXPECT_EQ(tree.SortSection, 2);
  EXPECT_EQ(tree.SortType, stFloating);
  EXPECT_EQ(Dump(tree), "e,f(f1,f2),g");
  EXPECT_EQ(clicks, std::vector<int>({1, 1, 1, 2}));
  EXPECT_EQ(tree.UpdateCount(), 0);
  tree.CheckConsistent();

  // With SortDir descending, the first click sorts ascending.
  tree.SortDir = sdDescend;
  tree.HeaderSectionClick(tree.Section(0));
  EXPECT_EQ(tree.Section(0)->SortMode(), hsmAscend);
  EXPECT_EQ(tree.SortType, stText);
  EXPECT_EQ(Dump(tree), "e,f(f1,f2),g");
  tree.HeaderSectionClick(tree.Section(0));
  EXPECT_EQ(Dump(tree), "g,f(f2,f1),e");
}

TEST(MtTreeSort, HeaderClickByMode) {
  for (TSortModes mode : {smNone, smAdd, smClick, smAddClick}) {
    const bool sorts = mode == smClick || mode == smAddClick;
    SortTree tree({sftText, sftNumber});
    tree.SortSection = -1;
    std::vector<int> clicks;
    tree.OnHeaderColumnClick = [&](TObject*, int section) {
      // The event comes after the sorting.
      clicks.push_back(section);
      EXPECT_EQ(tree.Order(), sorts ? Strings({"b", "a"}) : Strings({"a", "b"}));
    };
    tree.Row("a", {"1"});
    tree.Row("b", {"2"});
    tree.SortMode = mode;
    tree.HeaderSectionClick(tree.Section(1));
    EXPECT_EQ(clicks, std::vector<int>({1})) << int(mode);
    EXPECT_EQ(tree.SortSection, sorts ? 1 : -1) << int(mode);
    EXPECT_EQ(tree.Section(1)->SortMode(), sorts ? hsmDescend : hsmNone) << int(mode);
    // Nothing from a section that is not the tree's, nor from nil.
    TMtHeaderSections other;
    tree.HeaderSectionClick(other.AddSection());
    tree.HeaderSectionClick(nullptr);
    EXPECT_EQ(clicks.size(), 1u);
  }
}

TEST(MtTreeSort, AttachedSections) {
  // The control attaches its header's sections; the tree then reads them.
  TMtHeaderSections header;
  header.AddSection()->SetFieldType(sftText);
  header.AddSection()->SetFieldType(sftNumber);
  SortTree tree({sftText});
  EXPECT_EQ(tree.SectionCount(), 1);
  tree.AttachHeaderSections(&header);
  EXPECT_EQ(tree.HeaderSections(), &header);
  EXPECT_EQ(tree.SectionCount(), 2);
  tree.SortMode = smClick;
  tree.Row("a", {"1"});
  tree.Row("b", {"2"});
  tree.HeaderSectionClick(header.FindByNumber(1));
  EXPECT_EQ(tree.Order(), Strings({"b", "a"}));
  tree.AttachHeaderSections(nullptr);
  EXPECT_EQ(tree.SectionCount(), 1);
}

// ---------------------------------------------------------------------------------
// The compare event

TEST(MtTreeSort, CompareEventDecides) {
  SortTree tree;
  tree.SortSection = -1;
  for (const char* t : {"ccc", "a", "bb", "dddd", "e"}) tree.Row(t);
  tree.SortAll(false);  // no event: nothing moves
  EXPECT_EQ(tree.Order(), Strings({"ccc", "a", "bb", "dddd", "e"}));
  tree.OnCompareItems = [](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& res) {
    res = static_cast<int>(x->Text().size()) - static_cast<int>(y->Text().size());
  };
  tree.SortAll(false);
  EXPECT_EQ(tree.Order(), Strings({"a", "e", "bb", "ccc", "dddd"}));
  tree.SortDir = sdDescend;
  tree.SortAll(false);
  EXPECT_EQ(tree.Order(), Strings({"dddd", "ccc", "bb", "a", "e"}));
}

TEST(MtTreeSort, InconsistentCompareEventsEnd) {
  // Comparisons that contradict themselves must neither hang nor read outside the list;
  // every item stays, once.
  std::mt19937 random(3);
  const std::vector<std::function<int(TMtTreeItem*, TMtTreeItem*)>> comparisons = {
      [](TMtTreeItem*, TMtTreeItem*) { return 1; },
      [](TMtTreeItem*, TMtTreeItem*) { return -1; },
      [](TMtTreeItem* x, TMtTreeItem* y) { return x->Text() < y->Text() ? -1 : 1; },  // never 0
      [&random](TMtTreeItem*, TMtTreeItem*) { return static_cast<int>(random() % 3) - 1; },
  };
  for (std::size_t k = 0; k < comparisons.size(); ++k) {
    SortTree tree;
    tree.SortSection = -1;
    for (int i = 0; i < 300; ++i) tree.Row(std::to_string(i % 17));
    tree.OnCompareItems = [&](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& res) { res = comparisons[k](x, y); };
    tree.SortAll(true);
    EXPECT_EQ(tree.Items()->Root()->GetChildrenCount(), 300) << k;
    tree.CheckConsistent();
  }
}

TEST(MtTreeSort, CompareEventThatFailsOrChangesTheTree) {
  SortTree tree;
  tree.SortSection = -1;
  for (const char* t : {"c", "a", "b"}) tree.Row(t);
  // A failing event: the error goes through, the list stays as it was.
  tree.OnCompareItems = [](TObject*, TMtTreeItem*, TMtTreeItem*, int&) { throw std::runtime_error("no"); };
  EXPECT_THROW(tree.SortAll(false), std::runtime_error);
  EXPECT_EQ(tree.Order(), Strings({"c", "a", "b"}));
  EXPECT_EQ(tree.UpdateCount(), 0);

  // An event that deletes items: the sort stops without touching what is gone.
  BuildItems(tree, Find(tree, "a"), "a3,a1,a2");
  BuildItems(tree, Find(tree, "b"), "b2,b1");
  bool deleted = false;
  tree.OnCompareItems = [&](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& res) {
    if (!deleted && x->Text() == "a1") {
      deleted = true;
      tree.Items()->Delete(Find(tree, "b"));
    }
    res = x->Text().compare(y->Text());
  };
  tree.SortAll(true);
  EXPECT_TRUE(deleted);
  EXPECT_EQ(Find(tree, "b"), nullptr);
  tree.CheckConsistent();

  // An event that moves items between lists: the list it changed is left as it is.
  tree.Items()->Clear();
  BuildItems(tree, nullptr, "x(x2,x1),w(w2,w1)");
  bool moved = false;
  tree.OnCompareItems = [&](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& res) {
    if (!moved && x->GetParent() != nullptr) {
      moved = true;
      Find(tree, "w2")->MoveTo(Find(tree, "x"));
    }
    res = x->Text().compare(y->Text());
  };
  tree.SortAll(true);
  EXPECT_TRUE(moved);
  EXPECT_EQ(tree.Items()->Count(), 6);
  tree.CheckConsistent();

  // An event that deletes an item of the list being sorted: no later comparison is
  // given it (or any other item).
  tree.Items()->Clear();
  for (const char* t : {"e", "d", "c", "b", "a", "f", "h", "g"}) tree.Row(t);
  std::set<const TMtTreeItem*> gone;
  int calls = 0;
  tree.OnCompareItems = [&](TObject*, TMtTreeItem* x, TMtTreeItem* y, int& res) {
    ++calls;
    EXPECT_FALSE(gone.count(x) || gone.count(y));
    if (gone.empty()) {
      gone.insert(x);
      x->Delete();
      return;
    }
    res = x->Text().compare(y->Text());
  };
  tree.SortAll(false);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(tree.Items()->Count(), 7);
  tree.CheckConsistent();
}

TEST(MtTreeSort, DerivedComparisonIsUsed) {
  // A control that turns the comparison around (asking the base with the items swapped)
  // gets its own order, for typed columns as for the event.
  class Reversed : public SortTree {
   public:
    Reversed() : SortTree({sftText, sftNumber}) {}
    int CompareItems(TMtTreeItem* a, TMtTreeItem* b) override { return SortTree::CompareItems(b, a); }
  };
  Reversed tree;
  tree.SortSection = 1;
  for (const char* t : {"3", "10", "x", "2"}) tree.Row(t, {t});
  tree.SortAll(false);
  EXPECT_EQ(tree.Order(), Strings({"10", "3", "2", "x"}));
  tree.Section(1)->SetFieldType(sftText);
  tree.SortAll(false);
  EXPECT_EQ(tree.Order(), Strings({"x", "3", "2", "10"}));
}

TEST(MtTreeSort, BadDatesCountAsOneMomentPerSort) {
  SortTree tree({sftText, sftDateTime});
  tree.SortSection = 1;
  // Every text that does not convert is the same moment: they keep their order among
  // themselves, after every date of the past.
  const Strings texts = {"x1", "01.01.2000 10:00", "x2", "01.01.1990", "x3", "x4", "31.12.1999 23:59"};
  for (const std::string& t : texts) tree.Row(t, {t});
  tree.SortAll(false);
  EXPECT_EQ(tree.Order(), Strings({"01.01.1990", "31.12.1999 23:59", "01.01.2000 10:00", "x1", "x2", "x3", "x4"}));
}

}  // namespace
