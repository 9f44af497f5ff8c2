#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/tree/MtList.h"
#include "controls/tree/MtStack.h"
#include "controls/tree/MtUtils.h"

namespace {

void* P(std::intptr_t n) { return reinterpret_cast<void*>(n); }

std::vector<std::intptr_t> Entries(const TMtList& list) {
  std::vector<std::intptr_t> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(reinterpret_cast<std::intptr_t>(list.Items(i)));
  return out;
}

// Counts its own destructions.
struct Counted : TObject {
  explicit Counted(int& deaths) : deaths_(deaths) {}
  ~Counted() override { ++deaths_; }
  int& deaths_;
};

TEST(MtList, GrowthRule) {
  struct Case {
    int capacity, grown;
  };
  for (Case c : std::vector<Case>{{0, 4}, {4, 8}, {8, 12}, {12, 28}, {64, 80}, {80, 100}, {100, 125}}) {
    TMtList list;
    list.SetCapacity(c.capacity);
    list.SetCount(c.capacity);
    list.Add(nullptr);
    EXPECT_EQ(list.Capacity(), c.grown) << "from " << c.capacity;
    EXPECT_EQ(list.Count(), c.capacity + 1);

    TMtStack stack;
    stack.SetCapacity(c.capacity);
    for (int i = 0; i <= c.capacity; ++i) stack.Push(nullptr);
    EXPECT_EQ(stack.Capacity(), c.grown) << "stack from " << c.capacity;
  }
}

TEST(MtList, DeleteHalvesASparseList) {
  TMtList list;
  list.Add(P(1));
  ASSERT_EQ(list.Capacity(), 4);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 2);

  TMtList big;
  for (int i = 0; i < 12; ++i) big.Add(P(i + 1));
  ASSERT_EQ(big.Capacity(), 12);
  for (int i = 0; i < 6; ++i) big.Delete(0);
  EXPECT_EQ(big.Capacity(), 12);  // 6 is not below half
  big.Delete(0);
  EXPECT_EQ(big.Capacity(), 6);
  EXPECT_EQ(Entries(big), (std::vector<std::intptr_t>{8, 9, 10, 11, 12}));
}

TEST(MtList, IndexErrors) {
  TMtList list;
  list.Add(P(1));
  list.Add(P(2));
  auto expectError = [](auto&& f) {
    try {
      f();
      ADD_FAILURE() << "no error";
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), "List index out of bounds.");
    }
  };
  expectError([&] { list.Items(list.Count()); });
  expectError([&] { list.Items(-1); });
  expectError([&] { list.SetItem(2, nullptr); });
  expectError([&] { list.Insert(3, nullptr); });
  expectError([&] { list.Delete(2); });
  expectError([&] { list.Move(0, 2); });
  expectError([&] { list.SetCount(-1); });
  expectError([&] { list.SetCount(kMtMaxListSize + 1); });
  expectError([&] { list.SetCapacity(1); });
  expectError([&] { list.SetCapacity(kMtMaxListSize + 1); });
  EXPECT_EQ(Entries(list), (std::vector<std::intptr_t>{1, 2}));
}

TEST(MtList, InsertRemoveIndexOfMove) {
  TMtList list;
  for (int i = 1; i <= 4; ++i) list.Add(P(i));
  list.Insert(0, P(9));
  list.Insert(5, P(8));
  EXPECT_EQ(Entries(list), (std::vector<std::intptr_t>{9, 1, 2, 3, 4, 8}));
  EXPECT_EQ(list.IndexOf(P(3)), 3);
  EXPECT_EQ(list.IndexOf(P(7)), -1);
  EXPECT_EQ(list.Remove(P(3)), 3);
  EXPECT_EQ(list.Remove(P(3)), -1);
  list.Move(0, 4);
  EXPECT_EQ(Entries(list), (std::vector<std::intptr_t>{1, 2, 4, 8, 9}));
  list.Move(3, 1);
  EXPECT_EQ(Entries(list), (std::vector<std::intptr_t>{1, 8, 2, 4, 9}));
  list.SetItem(0, P(5));
  list.Exchange(0, 4);
  EXPECT_EQ(Entries(list), (std::vector<std::intptr_t>{9, 8, 2, 4, 5}));
}

TEST(MtList, OnlyRemovalsNotify) {
  // A list that owns what it holds through OnDelete, as the cell styles are kept.
  int deaths = 0;
  std::vector<void*> notified;
  TMtList list;
  list.OnDelete = [&](TObject* sender, void* item) {
    EXPECT_EQ(sender, &list);
    notified.push_back(item);
    delete static_cast<Counted*>(item);
  };
  for (int i = 0; i < 3; ++i) list.Add(new Counted(deaths));
  void* first = list.Items(0);
  list.Move(0, 2);  // a move frees nothing
  list.Exchange(0, 1);
  list.SetItem(2, first);
  EXPECT_EQ(deaths, 0);
  list.Delete(1);
  EXPECT_EQ(deaths, 1);
  list.Clear();
  EXPECT_EQ(deaths, 3);
  EXPECT_EQ(notified.size(), 3u);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(MtList, ClearFreesEachEntryOnce) {
  struct Case {
    bool onDelete, autoClear;
    int deathsByList;
  };
  for (Case c : std::vector<Case>{{false, false, 0}, {false, true, 3}, {true, false, 0}, {true, true, 0}}) {
    int deaths = 0;
    int notified = 0;
    std::vector<Counted*> all;
    {
      TMtList list;
      list.AutoClearObjects = c.autoClear;
      if (c.onDelete) list.OnDelete = [&](TObject*, void*) { ++notified; };
      for (int i = 0; i < 3; ++i) {
        all.push_back(new Counted(deaths));
        list.Add(all.back());
      }
      list.Add(nullptr);
      list.Clear();
      EXPECT_EQ(list.Count(), 0);
      EXPECT_EQ(list.Capacity(), 0);
    }
    EXPECT_EQ(deaths, c.deathsByList);
    EXPECT_EQ(notified, c.onDelete ? 4 : 0);
    if (c.deathsByList == 0)
      for (Counted* p : all) delete p;
  }
}

TEST(MtList, DestructorClearsOwnedObjects) {
  int deaths = 0;
  {
    TMtList list;
    list.AutoClearObjects = true;
    list.Add(new Counted(deaths));
    list.Add(new Counted(deaths));
  }
  EXPECT_EQ(deaths, 2);
}

TEST(MtList, SetCount) {
  TMtList list;
  list.Add(P(1));
  list.SetCount(6);
  EXPECT_EQ(Entries(list), (std::vector<std::intptr_t>{1, 0, 0, 0, 0, 0}));
  EXPECT_GE(list.Capacity(), 6);
  int notified = 0;
  list.OnDelete = [&](TObject*, void*) { ++notified; };
  list.SetCount(1);
  EXPECT_EQ(notified, 5);
  EXPECT_EQ(Entries(list), (std::vector<std::intptr_t>{1}));
}

TEST(MtStack, PushPopAndErrors) {
  TMtStack stack;
  try {
    stack.Pop();
    ADD_FAILURE();
  } catch (const EMtStackError& e) {
    EXPECT_STREQ(e.what(), "MtStack is empty.");
  }
  for (int i = 1; i <= 9; ++i) stack.Push(P(i));
  EXPECT_EQ(stack.Capacity(), 12);
  EXPECT_EQ(stack.Peek(), P(9));
  try {
    stack.SetCapacity(8);
    ADD_FAILURE();
  } catch (const EMtStackError& e) {
    EXPECT_STREQ(e.what(), "Invalid MtStack capacity.");
  }
  EXPECT_THROW(stack.SetCapacity(kMtMaxListSize + 1), EMtStackError);
  for (int i = 9; i >= 1; --i) EXPECT_EQ(stack.Pop(), P(i));
  EXPECT_TRUE(stack.Empty());
  EXPECT_LT(stack.Capacity(), 12);
  EXPECT_THROW(stack.Peek(), EMtStackError);
}

// ---------------------------------------------------------------------------------
// Stream strings

TEST(StreamStrings, RoundTrip) {
  TMemoryStream s;
  for (const char* text : {"", "a", "\xC0\xE1\xE2 with bytes", "last"}) ASSERT_TRUE(StreamWriteString(s, text));
  EXPECT_EQ(s.Size(), 4 * 4 + 0 + 1 + 14 + 4);
  s.SetPosition(0);
  for (const char* text : {"", "a", "\xC0\xE1\xE2 with bytes", "last"}) {
    AnsiString read = "old";
    ASSERT_TRUE(StreamReadString(s, read));
    EXPECT_EQ(read, text);
  }
  AnsiString read = "old";
  EXPECT_FALSE(StreamReadString(s, read));  // at the end
  EXPECT_EQ(read, "old");
}

TEST(StreamStrings, DamagedInputLeavesTheStringAlone) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"negative length", std::string("\xFF\xFF\xFF\xFF", 4)},
      {"short length", std::string("\x03\x00", 2)},
      {"short body", std::string("\x05\x00\x00\x00" "abc", 7)},
      {"huge length", std::string("\xFF\xFF\xFF\x7F" "abc", 7)},
  };
  for (const Case& c : cases) {
    TMemoryStream s(c.bytes);
    AnsiString read = "keep";
    EXPECT_FALSE(StreamReadString(s, read)) << c.name;
    EXPECT_EQ(read, "keep") << c.name;
  }
}

TEST(StreamStrings, WriteFailureIsFalse) {
  // A stream that refuses every write.
  struct ReadOnly : TMemoryStream {
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
  } ro;
  EXPECT_FALSE(StreamWriteString(ro, "x"));
}

// ---------------------------------------------------------------------------------
// Integer helpers

struct Box {
  int Left = -1, Top = -1, Right = -1, Bottom = -1;
};

TEST(SmallUtilities, CenterRect) {
  struct Case {
    int iw, bw, ih, bh;
    int l, t, r, b;
  };
  for (Case c : std::vector<Case>{{10, 30, 10, 30, 10, 10, 20, 20},
                                  {40, 30, 10, 30, 0, 10, 30, 20},
                                  {11, 30, 7, 9, 10, 1, 21, 8},
                                  {0, 0, 0, 0, 0, 0, 0, 0}}) {
    Box r;
    CenterRect(c.iw, c.bw, c.ih, c.bh, r);
    EXPECT_EQ(r.Left, c.l);
    EXPECT_EQ(r.Top, c.t);
    EXPECT_EQ(r.Right, c.r);
    EXPECT_EQ(r.Bottom, c.b);
  }
}

TEST(SmallUtilities, Ranges) {
  EXPECT_TRUE(InRange(1, 3, 1));
  EXPECT_TRUE(InRange(1, 3, 3));
  EXPECT_FALSE(InRange(1, 3, 0));
  EXPECT_FALSE(InRange(1, 3, 4));
  EXPECT_FALSE(InRange(3, 1, 2));
  EXPECT_EQ(IntMax(-2, 5), 5);
  EXPECT_EQ(IntMin(-2, 5), -2);
}

}  // namespace
