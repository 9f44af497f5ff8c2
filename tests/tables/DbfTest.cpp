#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "TablesTestSupport.h"
#include "tables/db_DBF.h"
#include "tables/db_create.h"

namespace {

using tables_test::HeldByOtherProcess;
using tables_test::Message;
using tables_test::ReadBytes;
using tables_test::RunHelper;
using tables_test::WriteBytes;

class TablesDbf : public ::testing::Test {
 protected:
  AnsiString Create(std::uint8_t version, const std::vector<TdbFieldDef>& fields, const char* file = "t.dbf") {
    AnsiString name = dir_.Path() + "/" + file;
    CreateDbfTable(name, version, fields, {.Overwrite = true});
    return name;
  }
  std::string Sys(const char* file = "t.dbf") { return dir_.SysPath() + "/" + file; }
  // Appends records whose first field holds the given texts.
  void AppendTexts(DBO_dBaseFld& t, std::initializer_list<const char*> texts) {
    for (const char* s : texts) {
      t.BlankRecord();
      t.FieldPut(1, s);
      t.Append();
    }
  }
  TempDir dir_;
  const std::vector<TdbFieldDef> simple_{{"NAME", 'C', 10}, {"QTY", 'N', 6, 2}};
};

TEST_F(TablesDbf, BuilderWritesWhatTheEngineReads) {
  struct Case {
    std::uint8_t version;
    std::int64_t headerLength;
  };
  for (auto c : {Case{0x03, 97}, {0x83, 97}, {0x8B, 97}, {0xF5, 97}, {0x30, 360}}) {
    SCOPED_TRACE(c.version);
    AnsiString name = Create(c.version, simple_);
    std::string bytes = ReadBytes(Sys());
    EXPECT_EQ(std::ssize(bytes), c.headerLength + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    DBO_dBaseFld t(name, false, false);
    EXPECT_EQ(t.Version(), c.version);
    EXPECT_EQ(t.HeaderLength(), c.headerLength);
    EXPECT_EQ(t.RecordLength(), 17);
    EXPECT_EQ(t.RecordCount(), 0);
    ASSERT_EQ(t.FieldCount(), 2);
    EXPECT_EQ(t.FieldName(2), "QTY");
    EXPECT_EQ(t.FieldOffset(2), 11);
    EXPECT_EQ(t.FieldDecimals(2), 2);
    EXPECT_EQ(t.HasMemoFile(), c.version == 0x83 || c.version == 0x8B || c.version == 0xF5);
  }
  // A character field of 300 keeps its high byte in the decimals byte.
  AnsiString wide = Create(0x03, {{"TEXT", 'C', 300}});
  std::string bytes = ReadBytes(Sys());
  EXPECT_EQ(static_cast<unsigned char>(bytes[32 + 16]), 44);
  EXPECT_EQ(static_cast<unsigned char>(bytes[32 + 17]), 1);
  DBO_dBaseFld t(wide, false, false);
  EXPECT_EQ(t.FieldLen(1), 300);
  EXPECT_EQ(t.FieldDecimals(1), 0);

  EXPECT_THROW(Create(0x03, {{"NOTE", 'M'}}), EDbfError);  // no memo in this version
  EXPECT_THROW(Create(0x03, {{"A", 'C', 5}, {"a", 'C', 5}}), EDbfError);
  EXPECT_THROW(Create(0x03, {{"TOOLONGNAME", 'C', 5}}), EDbfError);
  EXPECT_THROW(Create(0x83, {{"N", 'N', 5, 4}}), EDbfError);
  EXPECT_THROW(Create(0x03, {{"I", 'I'}}), EDbfError);  // only 0x30 has raw numbers
  EXPECT_THROW(Create(0x04, simple_), EDbfError);
  EXPECT_THROW(CreateDbfTable(wide, 0x03, simple_), EDbfError);  // exists, no overwrite
}

TEST_F(TablesDbf, HeaderValidationOnOpen) {
  AnsiString name = Create(0x03, simple_);
  {
    DBO_dBaseFld t(name, false, true);
    AppendTexts(t, {"a", "b"});
  }
  const std::string good = ReadBytes(Sys());
  struct Case {
    const char* what;
    std::size_t at;
    std::string bytes;
  };
  const Case cases[] = {
      {"unknown version", 0, "\x04"},
      {"record length 0", 10, std::string("\0\0", 2)},
      {"header shorter than its minimum", 8, std::string("\x20\0", 2)},
      {"header beyond the file", 8, std::string("\xFF\x7F", 2)},
      {"field beyond the record", 32 + 16, std::string("\x40", 1)},
      // Headers that disagree with themselves: the fields leave part of the record over,
      // the record length has a flipped bit, the header length moves the terminator.
      {"record longer than its fields", 10, std::string("\x12", 1)},
      {"record length with a flipped bit", 10, std::string("\x11\x01", 2)},
      {"field shorter than the record says", 32 + 16, std::string("\x09", 1)},
      {"header length one descriptor longer", 8, std::string("\x81", 1)},
      {"header length one descriptor shorter", 8, std::string("\x41", 1)},
      {"terminator missing", 96, std::string("\x20", 1)},
      {"empty descriptor", 64, std::string("\0", 1)},
  };
  const AnsiString invalid = "dBase DBF file header invalid - " + name;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    bytes.replace(c.at, c.bytes.size(), c.bytes);
    WriteBytes(Sys(), bytes);
    EXPECT_EQ(Message([&] { DBO_dBaseFld t(name, false, false); }), invalid);
  }
  WriteBytes(Sys(), good.substr(0, 20));
  EXPECT_EQ(Message([&] { DBO_dBaseFld t(name, false, false); }), "Table Error 221, SubCode 1204.\r " + name);

  // Raw numbers of 0x30 tables must have their full width.
  AnsiString raw = Create(0x30, {{"I", 'I'}});
  std::string bytes = ReadBytes(Sys());
  bytes[32 + 16] = 2;
  WriteBytes(Sys(), bytes);
  EXPECT_THROW(DBO_dBaseFld(raw, false, false), EDbfError);
}

TEST_F(TablesDbf, FieldCountFromHeaderLengthAndCountFromSize) {
  // 0x30: (360 - 296) / 32 = 2 fields.
  DBO_dBaseFld fox(Create(0x30, simple_), false, false);
  EXPECT_EQ(fox.HeaderLength(), 360);
  EXPECT_EQ(fox.FieldCount(), 2);
  // 0x03 with the same header length: (360 - 33) / 32 = 10 descriptors.
  std::vector<TdbFieldDef> ten;
  for (int i = 0; i < 10; ++i) ten.push_back({"F" + std::to_string(i), 'C', 2});
  AnsiString name = Create(0x03, ten, "ten.dbf");
  std::string bytes = ReadBytes(Sys("ten.dbf"));
  ASSERT_EQ(bytes.size(), 354u);
  bytes.insert(353, std::string(7, '\0'));
  bytes[8] = 0x68;  // 360
  // A header record count that disagrees with the size: the size wins.
  bytes[4] = 9;
  bytes.insert(360, std::string(21 * 2, ' '));
  WriteBytes(Sys("ten.dbf"), bytes);
  DBO_dBaseFld t(name, false, false);
  EXPECT_EQ(t.FieldCount(), 10);
  EXPECT_EQ(t.RecordCount(), 2);
}

// Other programs write FoxPro and dBase III tables whose header goes on after the
// terminator with zero bytes (the 263-byte area of the 0x30 layout): such a table reads
// and takes appends at its header length; padding that is not all zeros is refused.
TEST_F(TablesDbf, HeaderPaddedAfterTheTerminator) {
  for (std::uint8_t version : {std::uint8_t{0x03}, std::uint8_t{0xF5}}) {
    SCOPED_TRACE(version);
    AnsiString name = Create(version, simple_);
    {
      DBO_dBaseFld t(name, false, true);
      AppendTexts(t, {"a", "b"});
    }
    std::string bytes = ReadBytes(Sys());
    bytes.insert(97, std::string(263, '\0'));
    bytes[8] = static_cast<char>(360 & 0xFF);
    bytes[9] = static_cast<char>(360 >> 8);
    WriteBytes(Sys(), bytes);
    {
      DBO_dBaseFld t(name, false, true);
      EXPECT_EQ(t.HeaderLength(), 360);
      ASSERT_EQ(t.FieldCount(), 2);
      EXPECT_EQ(t.RecordCount(), 2);
      t.GetRecord(2);
      EXPECT_EQ(t.FieldGet(1), "b         ");
      AppendTexts(t, {"c"});
    }
    bytes = ReadBytes(Sys());
    ASSERT_EQ(std::ssize(bytes), 360 + 3 * 17 + 1);
    EXPECT_EQ(bytes.substr(360 + 2 * 17, 2), " c");
    EXPECT_EQ(bytes.substr(97, 263), std::string(263, '\0'));
    bytes[200] = 1;
    WriteBytes(Sys(), bytes);
    EXPECT_EQ(Message([&] { DBO_dBaseFld t(name, false, false); }), "dBase DBF file header invalid - " + name);
  }
}

TEST_F(TablesDbf, Positioning) {
  AnsiString name = Create(0x03, simple_);
  DBO_dBaseFld t(name, false, true);
  t.GetRecord(dbp::First);  // empty table: both flags, nothing read
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecNo(), 0);
  AppendTexts(t, {"one", "two", "three"});
  struct Step {
    std::int64_t code, recNo;
    bool eof, bof;
  };
  const Step steps[] = {{dbp::First, 1, false, false}, {dbp::Previous, 1, false, true}, {dbp::Next, 2, false, false},
                        {dbp::Last, 3, false, false},  {dbp::Next, 3, true, false},     {2, 2, false, false},
                        {dbp::Current, 2, false, false}, {4, 2, true, false}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.code);
    t.GetRecord(s.code);
    EXPECT_EQ(t.RecNo(), s.recNo);
    EXPECT_EQ(t.Eof(), s.eof);
    EXPECT_EQ(t.Bof(), s.bof);
  }
  t.GetRecord(2);
  EXPECT_EQ(t.FieldGet(1), "two       ");
  EXPECT_EQ(Message([&] { t.GetRecord(5); }), "dBase record request beyond EOF - " + name);
  EXPECT_THROW(t.GetRecord(-6), EDbfError);
}

TEST_F(TablesDbf, AppendAndRewrite) {
  AnsiString name = Create(0x03, simple_);
  DBO_dBaseFld t(name, false, true);
  AppendTexts(t, {"one", "two"});
  std::string bytes = ReadBytes(Sys());
  EXPECT_EQ(std::ssize(bytes), t.HeaderLength() + 2 * t.RecordLength() + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes[4], 2);  // header record count
  t.FieldPut(1, "zero");
  t.PutRecord(0);  // appends
  EXPECT_EQ(t.RecordCount(), 3);
  t.GetRecord(1);
  t.FieldPut(1, "ONE");
  t.PutRecord(1);
  EXPECT_TRUE(t.RecordWritten());
  t.GetRecord(3);
  t.GetRecord(1);
  EXPECT_EQ(t.FieldGet(1), "ONE       ");
  EXPECT_EQ(std::ssize(ReadBytes(Sys())), t.HeaderLength() + 3 * t.RecordLength() + 1);
  t.SetUserID(77);
  t.FieldPut(1, "uno");
  t.PutRecord(1);
  EXPECT_EQ(static_cast<unsigned char>(ReadBytes(Sys())[20]), 77);
}

TEST_F(TablesDbf, DeleteNeedsACurrentRecord) {
  AnsiString name = Create(0x03, simple_);
  DBO_dBaseFld t(name, false, true);
  EXPECT_EQ(Message([&] { t.Delete(); }), "dBase record request beyond EOF - " + name);
  EXPECT_THROW(t.Undelete(), EDbfError);
  EXPECT_EQ(t.RecordCount(), 0);
  AppendTexts(t, {"a", "b"});
  t.GetRecord(1);
  t.Delete();
  EXPECT_TRUE(t.IsDeleted());
  t.GetRecord(2);
  EXPECT_FALSE(t.IsDeleted());
  t.GetRecord(1);
  EXPECT_TRUE(t.IsDeleted());
  t.Undelete();
  t.GetRecord(2);
  t.GetRecord(1);
  EXPECT_FALSE(t.IsDeleted());
  EXPECT_EQ(t.RecordCount(), 2);
}

TEST_F(TablesDbf, SharedRefreshSeesAnotherProcessAppend) {
  AnsiString name = Create(0x03, simple_);
  DBO_dBaseFld t(name, true, true);
  AppendTexts(t, {"mine"});
  EXPECT_EQ(RunHelper({"append", Sys(), "theirs"}), 0);
  EXPECT_EQ(t.RecordCount(), 1);
  t.GetRecord(2);  // beyond the known count: refresh first
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_TRUE(t.ChangedByOther());
  EXPECT_EQ(t.FieldGet(1), "theirs    ");
  AppendTexts(t, {"third"});
  EXPECT_EQ(t.RecNo(), 3);
  DBO_dBaseFld check(name, false, false);
  EXPECT_EQ(check.RecordCount(), 3);
}

// Writes of this process to the table file are counted; at the one numbered gActAtWrite
// gAct runs (another process's doing).
int gTableWrites = 0;
int gActAtWrite = 0;
std::function<void()> gAct;
void ActAtWrite(const AnsiString&) {
  if (++gTableWrites == gActAtWrite) gAct();
}

// Other programs take the record count from the header. A rewrite or a delete of one user
// must not write back a count that another user's append has raised in the meantime, and
// the header that waited for the end of a table lock is written while the lock still keeps
// other users' appends out: the header keeps the count of the records in the file.
TEST_F(TablesDbf, HeaderCountKeepsAnotherUsersAppend) {
  AnsiString name = Create(0x03, simple_);
  {
    DBO_dBaseFld t(name, false, true);
    AppendTexts(t, {"a", "b"});
  }
  int records = 2;
  auto otherAppends = [&] {
    EXPECT_EQ(RunHelper({"append", Sys(), "theirs"}), 0);
    ++records;
  };
  // The append byte of the default protocol is taken by another process at that moment.
  auto appendsAreKeptOut = [&] { EXPECT_EQ(RunHelper({"lock", Sys(), "2147483646", "1"}), 33); };
  struct Case {
    const char* what;
    std::function<void()> act;
    int actAt;  // the write of the step at which it acts: the header's
    std::function<void(DBO_dBaseFld&)> step;
  };
  const Case cases[] = {
      {"rewrite", otherAppends, 2,
       [](DBO_dBaseFld& t) {
         t.GetRecord(1);
         t.FieldPut(1, "changed");
         t.PutRecord(1);
       }},
      {"delete", otherAppends, 2,
       [](DBO_dBaseFld& t) {
         t.GetRecord(2);
         t.Delete();
       }},
      {"end of a table lock after a rewrite and an append", appendsAreKeptOut, 3,
       [&](DBO_dBaseFld& t) {
         t.GetRecord(1);
         ASSERT_TRUE(t.LockTable());
         t.FieldPut(1, "locked");
         t.PutRecord(1);  // the headers wait for the end of the table lock
         AppendTexts(t, {"mine"});
         ++records;
         t.UnlockTable();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      DBO_dBaseFld t(name, true, true);
      gTableWrites = 0;
      gActAtWrite = c.actAt;
      gAct = c.act;
      SetDiskWriteInterlude(ActAtWrite);
      c.step(t);
      SetDiskWriteInterlude(nullptr);
      EXPECT_GE(gTableWrites, c.actAt);
    }
    const std::string bytes = ReadBytes(Sys());
    ASSERT_EQ(std::ssize(bytes), 97 + records * 17 + 1);
    EXPECT_EQ(GetLE32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4), static_cast<std::uint32_t>(records));
  }
}

TEST_F(TablesDbf, RefusedAppendLockWritesNothing) {
  AnsiString name = Create(0x03, simple_);
  TdbLockTiming saved = LockTiming();
  LockTiming() = {30, 10};
  {
    HeldByOtherProcess other({"S", Sys(), "2147483646", "1"});  // the append byte 0x7FFFFFFE
    ASSERT_TRUE(other.Ready());
    DBO_dBaseFld t(name, true, true);
    const std::string before = ReadBytes(Sys());
    t.BlankRecord();
    EXPECT_EQ(Message([&] { t.Append(); }), "Record locked by another user - " + name);
    EXPECT_EQ(ReadBytes(Sys()), before);
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.LockCount(), 0);
  }
  LockTiming() = saved;
}

class IndexedTable : public DBO_dBaseFld {
 public:
  using DBO_dBaseFld::DBO_dBaseFld;
  bool HasIndex() const override { return true; }
};

TEST_F(TablesDbf, LockRegionsOfTheProtocols) {
  AnsiString name = Create(0x03, simple_);
  {
    DBO_dBaseFld t(name, false, true);
    AppendTexts(t, {"a", "b", "c"});
  }
  auto heldElsewhere = [&](std::int64_t offset) {
    return RunHelper({"lock", Sys(), std::to_string(offset), "1"}) == 33;
  };
  struct Case {
    TdbLokProtocol protocol;
    bool indexed;
    std::int64_t recordByte;
  };
  const std::int64_t recordOffset2 = 97 + 17;  // record 2
  const Case cases[] = {
      {TdbLokProtocol::Default, false, 0x40000000LL + recordOffset2},
      {TdbLokProtocol::Default, true, 0x7FFFFFFELL - 2},
      {TdbLokProtocol::FoxLock, false, 0x40000000LL + recordOffset2},
      {TdbLokProtocol::DB4Lock, false, 0xEFFFFFFFLL - 3},
      {TdbLokProtocol::ClipLock, false, 1000000002LL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.protocol));
    std::unique_ptr<DBO_dBaseFld> t =
        c.indexed ? std::make_unique<IndexedTable>(name, true, true) : std::make_unique<DBO_dBaseFld>(name, true, true);
    t->SetLockProtocol(c.protocol);
    t->GetRecord(2);
    ASSERT_TRUE(t->LockRecord());
    EXPECT_TRUE(heldElsewhere(c.recordByte));
    EXPECT_FALSE(heldElsewhere(c.recordByte + 1));
    EXPECT_FALSE(t->LockAppend());  // one region at a time
    EXPECT_TRUE(t->UnlockTable());
    EXPECT_FALSE(heldElsewhere(c.recordByte));
    ASSERT_TRUE(t->LockAppend());
    EXPECT_TRUE(heldElsewhere(t->LockValues().recordBase));
    t->Unlock();
    ASSERT_TRUE(t->LockTable());
    EXPECT_TRUE(t->TableLockHeld());
    EXPECT_TRUE(heldElsewhere(t->LockValues().tableOffset));
    EXPECT_TRUE(heldElsewhere(std::int64_t{t->LockValues().tableOffset} + t->LockValues().tableLength - 1));
    EXPECT_TRUE(t->LockRecord());  // under the table lock: at once, nothing more
    EXPECT_EQ(t->LockCount(), 1);
    t->FieldPut(1, "x");
    t->PutRecord(2);
    EXPECT_TRUE(t->HeaderDirty());  // written at the unlock
    EXPECT_TRUE(t->UnlockTable());
    EXPECT_FALSE(t->HeaderDirty());
    EXPECT_FALSE(t->TableLockHeld());
    EXPECT_FALSE(heldElsewhere(t->LockValues().tableOffset));
  }
  DBO_dBaseFld t(name, true, true);
  ASSERT_TRUE(t.LockAll());
  EXPECT_TRUE(heldElsewhere(0));
  t.UnlockTable();
  EXPECT_FALSE(t.LockRecord());  // no current record
}

TEST_F(TablesDbf, OffsetsBeyondThirtyTwoBitsRaiseTheRangeError) {
  AnsiString name = Create(0x03, {{"WIDE", 'C', 65534}});
  // A sparse file of 70 000 records of 65 535 bytes: more than 4 GiB.
  ASSERT_EQ(::truncate(Sys().c_str(), 65 + 70000LL * 65535), 0);
  DBO_dBaseFld t(name, false, false);
  EXPECT_EQ(t.RecordCount(), 70000);
  EXPECT_NO_THROW(t.GetRecord(60000));
  EXPECT_THROW(t.GetRecord(66000), ERangeError);
}

TEST_F(TablesDbf, MemoFieldsOfEveryMemoForm) {
  // The last: a 0x30 table whose header lacks the memo flag, as other programs write
  // them; its memo fields still have the memo file.
  const std::pair<std::uint8_t, bool> cases[] = {{0x83, true}, {0x8B, true}, {0xF5, true}, {0x30, true}, {0x30, false}};
  for (auto [version, memoFlag] : cases) {
    SCOPED_TRACE(version);
    AnsiString name = Create(version, {{"NAME", 'C', 8}, {"NOTE", 'M'}});
    if (!memoFlag) {
      std::string bytes = ReadBytes(Sys());
      bytes[28] = static_cast<char>(bytes[28] & ~0x02);
      WriteBytes(Sys(), bytes);
    }
    AnsiString long_text(1500, 'm');
    {
      DBO_dBaseFld t(name, false, true);
      t.BlankRecord();
      t.FieldPut(1, "first");
      EXPECT_EQ(t.DisplayText(2), "---memo---");
      ASSERT_TRUE(t.MemoWrite(2, "note one", 8));
      EXPECT_EQ(t.DisplayText(2), "---MEMO---");
      t.Append();
      t.BlankRecord();
      ASSERT_TRUE(t.MemoWrite(2, long_text.data(), std::ssize(long_text)));
      t.Append();
      t.Flush();
    }
    DBO_dBaseFld t(name, false, true);
    t.GetRecord(1);
    EXPECT_EQ(t.MemoSize(2), 8);
    EXPECT_EQ(t.MemoRead(2), "note one");
    t.GetRecord(2);
    EXPECT_EQ(t.MemoRead(2), long_text);
    ASSERT_TRUE(t.MemoWrite(2, "short", 5));
    t.PutRecord(2);
    t.GetRecord(1);
    t.GetRecord(2);
    EXPECT_EQ(t.MemoRead(2), "short");
    EXPECT_EQ(t.MemoRead(1), "");  // not a memo field
  }
}

TEST_F(TablesDbf, RenameMovesTheMemoFileToo) {
  AnsiString name = Create(0x8B, {{"NOTE", 'M'}});
  {
    DBO_dBaseFld t(name, false, true);
    t.BlankRecord();
    t.MemoWrite(1, "kept", 4);
    t.Append();
    ASSERT_TRUE(t.Rename(dir_.Path() + "/moved.dbf"));
  }
  EXPECT_TRUE(std::filesystem::exists(dir_.SysPath() + "/moved.dbt"));
  EXPECT_EQ(ReadBytes(dir_.SysPath() + "/moved.dbt").substr(8, 6), std::string("MOVED\0", 6));
  DBO_dBaseFld t(dir_.Path() + "/MOVED", false, false);  // ".DBF" added, case resolved
  t.GetRecord(1);
  EXPECT_EQ(t.MemoRead(1), "kept");
}

TEST_F(TablesDbf, ReplacingATableHeldElsewhereLeavesItsMemoFileAlone) {
  const std::vector<TdbFieldDef> fields{{"NAME", 'C', 10}, {"NOTE", 'M'}};
  AnsiString name = Create(0x83, fields);
  {
    DBO_dBaseFld t(name, false, true);
    t.BlankRecord();
    t.MemoWrite(2, "kept", 4);
    t.Append();
  }
  const std::string memo = ReadBytes(Sys("t.dbt"));
  {
    HeldByOtherProcess other({"S", Sys()});
    ASSERT_TRUE(other.Ready());
    EXPECT_EQ(Message([&] { CreateDbfTable(name, 0x83, fields, {.Overwrite = true}); }),
              "File access denied - " + name);
    EXPECT_EQ(ReadBytes(Sys("t.dbt")), memo);
  }
  DBO_dBaseFld t(name, false, false);
  t.GetRecord(1);
  EXPECT_EQ(t.MemoRead(2), "kept");

  // An unusable memo block size is refused before anything is written.
  EXPECT_THROW(CreateDbfTable(dir_.Path() + "/bad.dbf", 0xF5, fields, {.MemoBlockSize = 4}), EDbfError);
  EXPECT_FALSE(std::filesystem::exists(Sys("bad.dbf")));
}

TEST_F(TablesDbf, ExclusiveOpenRefusedWhileAnotherProcessHoldsTheTable) {
  AnsiString name = Create(0x03, simple_);
  HeldByOtherProcess other({"S", Sys()});
  ASSERT_TRUE(other.Ready());
  EXPECT_EQ(Message([&] { DBO_dBaseFld t(name, false, true); }), "File access denied - " + name);
  DBO_dBaseFld shared(name, true, true);
  EXPECT_EQ(shared.FieldCount(), 2);
}

// The handler of a subclass hears of the open too: before the object's first other
// notification, and once.
class NotifiedTable : public DBO_dBaseFld {
 public:
  using DBO_dBaseFld::DBO_dBaseFld;
  void Notify(int code, std::int64_t value) override {
    codes.push_back(code);
    DBO_dBaseFld::Notify(code, value);
  }
  std::vector<int> codes;
};

TEST_F(TablesDbf, TheOpenIsNotifiedToASubclassBeforeItsFirstOtherNotification) {
  AnsiString name = Create(0x03, {{"NAME", 'C', 10}});
  {
    DBO_dBaseFld t(name, false, true);
    AppendTexts(t, {"a"});
  }
  struct Case {
    const char* what;
    std::function<void(DBO_dBaseFld&)> first;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {"read", [](DBO_dBaseFld& t) { t.GetRecord(1); }, {dbn::Opened, dbn::BeforeRead, dbn::AfterRead}},
      {"blank", [](DBO_dBaseFld& t) { t.BlankRecord(); }, {dbn::Opened, dbn::Blanked}},
      {"field", [](DBO_dBaseFld& t) { t.FieldPut(1, "b"); }, {dbn::Opened, dbn::FieldStored}},
      {"rewrite", [](DBO_dBaseFld& t) { t.PutRecord(1); }, {dbn::Opened, dbn::BeforeWrite, dbn::AfterWrite}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NotifiedTable t(name, false, true);
    c.first(t);
    EXPECT_EQ(t.codes, c.codes);
    t.codes.clear();
    t.GetRecord(1);
    EXPECT_EQ(t.codes, (std::vector<int>{dbn::BeforeRead, dbn::AfterRead}));
  }
}

// A record lock of the object itself is no other user's: an append goes ahead, taking the
// append byte beside it, and the record stays locked. Another user's append lock still
// refuses it.
TEST_F(TablesDbf, AnObjectHoldingARecordLockAppends) {
  AnsiString name = Create(0x03, simple_);
  {
    DBO_dBaseFld t(name, false, true);
    AppendTexts(t, {"a", "b"});
  }
  TdbLockTiming saved = LockTiming();
  LockTiming() = {30, 10};
  auto heldElsewhere = [&](std::int64_t offset) {
    return RunHelper({"lock", Sys(), std::to_string(offset), "1"}) == 33;
  };
  struct Case {
    TdbLokProtocol protocol;
    bool indexed;
  };
  std::int64_t records = 2;
  for (const Case& c : {Case{TdbLokProtocol::Default, false}, Case{TdbLokProtocol::Default, true},
                        Case{TdbLokProtocol::DB4Lock, false}, Case{TdbLokProtocol::ClipLock, false}}) {
    SCOPED_TRACE(static_cast<int>(c.protocol) * 10 + c.indexed);
    std::unique_ptr<DBO_dBaseFld> t = c.indexed ? std::make_unique<IndexedTable>(name, true, true)
                                                : std::make_unique<DBO_dBaseFld>(name, true, true);
    t->SetLockProtocol(c.protocol);
    t->GetRecord(1);
    ASSERT_TRUE(t->LockRecord());
    const std::int64_t recordByte = t->LockOffset();
    t->BlankRecord();
    t->FieldPut(1, "new");
    EXPECT_EQ(Message([&] { t->Append(); }), "<no EDbfError>");
    EXPECT_EQ(t->RecordCount(), ++records);
    EXPECT_EQ(t->LockCount(), 1);
    EXPECT_EQ(t->LockOffset(), recordByte);
    EXPECT_TRUE(heldElsewhere(recordByte));
    EXPECT_FALSE(heldElsewhere(t->LockValues().recordBase));  // the append byte given back
    {
      HeldByOtherProcess other({"S", Sys(), std::to_string(t->LockValues().recordBase), "1"});
      ASSERT_TRUE(other.Ready());
      const std::string before = ReadBytes(Sys());
      EXPECT_EQ(Message([&] { t->Append(); }), "Record locked by another user - " + name);
      EXPECT_EQ(ReadBytes(Sys()), before);
      EXPECT_EQ(t->LockCount(), 1);
    }
    t->Unlock();
  }
  LockTiming() = saved;
}

}  // namespace
