#include <gtest/gtest.h>

#include "TablesTestSupport.h"
#include "tables/db_create.h"
#include "tables/db_memo.h"
#include "tables/db_tool.h"

namespace {

using tables_test::HeldByOtherProcess;
using tables_test::Message;
using tables_test::ReadBytes;
using tables_test::WriteBytes;

class TablesMemo : public ::testing::Test {
 protected:
  AnsiString Table(std::uint8_t version, std::int64_t blockSize = 0) {
    AnsiString name = dir_.Path() + "/t.dbf";
    CreateMemoFile(name, version, blockSize, true);
    return name;
  }
  std::string Sys(const char* file) { return dir_.SysPath() + "/" + file; }
  TempDir dir_;
};

TEST_F(TablesMemo, DBaseIIIBlocksAndEndMarks) {
  DBobjMemo m(nullptr, 0x83, Table(0x83), false, true);
  struct Case {
    std::int64_t length, start, nextFree;
  };
  // 510 characters and the end mark fill one block; 511 need two; 512 put the mark
  // at the start of the next block.
  for (auto c : {Case{510, 1, 2}, {511, 2, 4}, {512, 4, 6}}) {
    AnsiString text(static_cast<std::size_t>(c.length), 'x');
    EXPECT_EQ(m.WriteMemo(text.data(), 0, c.length), c.start);
    std::string bytes = ReadBytes(Sys("t.dbt"));
    EXPECT_EQ(GetLE32(reinterpret_cast<const std::uint8_t*>(bytes.data())), c.nextFree);
    EXPECT_EQ(bytes.substr(c.start * 512 + c.length, 2), "\x1A\x1A");
    EXPECT_EQ(m.MemoSize(static_cast<std::uint32_t>(c.start)), c.length);
    EXPECT_EQ(m.ReadMemo(static_cast<std::uint32_t>(c.start)), text);
  }
  EXPECT_EQ(ReadBytes(Sys("t.dbt")).size(), 6u * 512);
  // A rewrite that fits keeps its start block; one that does not moves to the end.
  EXPECT_EQ(m.ReadMemo(2).size(), 511u);
  EXPECT_EQ(m.WriteMemo("short", 2, 5), 2u);
  EXPECT_EQ(m.ReadMemo(2), "short");
  AnsiString longer(2000, 'y');
  EXPECT_EQ(m.WriteMemo(longer.data(), 2, 2000), 6u);
  // A block number whose count is not known is never overwritten in place.
  EXPECT_EQ(m.WriteMemo("z", 1, 1), 10u);
  EXPECT_EQ(m.ReadMemo(1), AnsiString(510, 'x'));
}

// A memo without an end mark counts at most 65 519 bytes; one with its end mark is read to
// it, however long (as this engine writes them).
TEST_F(TablesMemo, DBaseIIIMemoWithoutEndMarkStopsAt65519Bytes) {
  AnsiString name = Table(0x83);
  const std::string header = ReadBytes(Sys("t.dbt"));
  struct Case {
    const char* what;
    std::string body;
    std::int64_t length;
  };
  const Case cases[] = {
      {"no end mark, 70 000 bytes", std::string(70000, 'a'), 65519},
      {"no end mark, 65 520 bytes", std::string(65520, 'a'), 65519},
      {"no end mark, 1 000 bytes", std::string(1000, 'a'), 1000},
      {"end mark after 70 000 bytes", std::string(70000, 'a') + "\x1A\x1A", 70000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteBytes(Sys("t.dbt"), header + c.body);
    DBobjMemo m(nullptr, 0x83, name, false, false);
    EXPECT_EQ(m.MemoSize(1), c.length);
    const AnsiString text = m.ReadMemo(1);
    EXPECT_EQ(std::ssize(text), c.length);
    EXPECT_TRUE(text == AnsiString(text.size(), 'a'));
    EXPECT_EQ(Message([&] { m.MemoSize(1000); }), "dBase memo record has format error - " + m.FileName());
  }
}

TEST_F(TablesMemo, DBaseIVReusesFreedRuns) {
  DBobjMemo4 m(nullptr, 0x8B, Table(0x8B), false, true);
  EXPECT_EQ(m.BlockSize(), 512);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(m.WriteMemo("one", 0, 3), static_cast<std::uint32_t>(i));
  AnsiString three(1200, 't');
  ASSERT_EQ(m.WriteMemo(three.data(), 0, 1200), 7u);
  EXPECT_EQ(m.ReadMemo(7), three);
  std::string bytes = ReadBytes(Sys("t.dbt"));
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  EXPECT_EQ(GetLE32(b), 10u);                              // free chain empty: the end
  EXPECT_EQ(bytes.substr(7 * 512, 4), std::string("\xFF\xFF\x08\x00", 4));  // block header
  EXPECT_EQ(GetLE32(b + 7 * 512 + 4), 1208u);

  // Rewriting it with a one-block text frees the three blocks and takes the first.
  EXPECT_EQ(m.WriteMemo("small", 7, 5), 7u);
  bytes = ReadBytes(Sys("t.dbt"));
  b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  EXPECT_EQ(GetLE32(b), 8u);
  EXPECT_EQ(GetLE32(b + 8 * 512), 10u);     // the rest of the run: next ...
  EXPECT_EQ(GetLE32(b + 8 * 512 + 4), 2u);  // ... and its length
  EXPECT_EQ(m.ReadMemo(7), "small");
  // A two-block text fits the remaining run exactly.
  AnsiString two(600, 'w');
  EXPECT_EQ(m.WriteMemo(two.data(), 0, 600), 8u);
  EXPECT_EQ(GetLE32(reinterpret_cast<const std::uint8_t*>(ReadBytes(Sys("t.dbt")).data())), 10u);
  EXPECT_EQ(m.ReadMemo(1), "one");
}

TEST_F(TablesMemo, DBaseIVDamagedChainsAreRefused) {
  AnsiString name = Table(0x8B);
  {
    DBobjMemo4 m(nullptr, 0x8B, name, false, true);
    for (int i = 0; i < 3; ++i) m.WriteMemo("abc", 0, 3);
  }
  std::string good = ReadBytes(Sys("t.dbt"));
  auto patch = [&](std::size_t at, std::uint32_t v) {
    std::string bytes = good;
    PutLE32(reinterpret_cast<std::uint8_t*>(bytes.data() + at), v);
    WriteBytes(Sys("t.dbt"), bytes);
  };
  const std::string formatError = "dBase memo record has format error - ";
  // A chain that loops: block 1's run points back at itself.
  patch(0, 1);
  {
    std::string bytes = ReadBytes(Sys("t.dbt"));
    PutLE32(reinterpret_cast<std::uint8_t*>(bytes.data() + 512), 1);
    PutLE32(reinterpret_cast<std::uint8_t*>(bytes.data() + 516), 1);
    WriteBytes(Sys("t.dbt"), bytes);
    DBobjMemo4 m(nullptr, 0x8B, name, false, true);
    AnsiString twoBlocks(600, 'l');
    EXPECT_EQ(Message([&] { m.WriteMemo(twoBlocks.data(), 0, 600); }).substr(0, formatError.size()), formatError);
  }
  // A chain head far beyond the file (more than any failed write could have left).
  patch(0, 1u << 24);
  {
    DBobjMemo4 m(nullptr, 0x8B, name, false, true);
    EXPECT_THROW(m.WriteMemo("x", 0, 1), EDbfError);
  }
  // A chain head on a live memo, whose stored length would pass for a run of free blocks
  // (the file being long enough): refused, and no memo written over.
  WriteBytes(Sys("t.dbt"), good);
  {
    {
      DBobjMemo4 m(nullptr, 0x8B, name, false, true);
      for (int i = 0; i < 20; ++i) m.WriteMemo("abc", 0, 3);
    }
    std::string bytes = ReadBytes(Sys("t.dbt"));
    PutLE32(reinterpret_cast<std::uint8_t*>(bytes.data()), 1);
    WriteBytes(Sys("t.dbt"), bytes);
    DBobjMemo4 m(nullptr, 0x8B, name, false, true);
    EXPECT_EQ(Message([&] { m.WriteMemo("x", 0, 1); }).substr(0, formatError.size()), formatError);
    EXPECT_EQ(m.ReadMemo(1), "abc");
    EXPECT_EQ(m.ReadMemo(2), "abc");
  }
  // Freeing a block that holds no memo (freed twice, or a bad number) is refused.
  WriteBytes(Sys("t.dbt"), good);
  {
    DBobjMemo4 m(nullptr, 0x8B, name, false, true);
    EXPECT_EQ(m.WriteMemo("new", 2, 3), 2u);
    std::string bytes = ReadBytes(Sys("t.dbt"));
    PutLE32(reinterpret_cast<std::uint8_t*>(bytes.data() + 2 * 512), 0x12345678);
    WriteBytes(Sys("t.dbt"), bytes);
    EXPECT_THROW(m.WriteMemo("again", 2, 5), EDbfError);
    EXPECT_THROW(m.WriteMemo("again", 77, 5), EDbfError);
  }
  // A stored length beyond the file.
  patch(2 * 512 + 4, 100000);
  {
    DBobjMemo4 m(nullptr, 0x8B, name, false, false);
    EXPECT_THROW(m.MemoSize(2), EDbfError);
  }
}

TEST_F(TablesMemo, FoxProBigEndianBlocks) {
  DBobjFXMemo20 m(nullptr, 0xF5, Table(0xF5, 64), false, true);
  EXPECT_EQ(m.BlockSize(), 64);
  EXPECT_EQ(m.WriteMemo("hello", 0, 5), 8u);  // after the 512-byte header
  std::string bytes = ReadBytes(Sys("t.fpt"));
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\0\x09", 4));
  EXPECT_EQ(bytes.substr(6, 2), std::string("\0\x40", 2));
  EXPECT_EQ(bytes.substr(8 * 64, 13), std::string("\0\0\0\x01\0\0\0\x05hello", 13));
  EXPECT_EQ(bytes.size(), 9u * 64);
  EXPECT_EQ(m.ReadMemo(8), "hello");
  AnsiString exact(56, 'e');  // header and text end on the block boundary: one more block
  EXPECT_EQ(m.WriteMemo(exact.data(), 0, 56), 9u);
  EXPECT_EQ(GetBE32(reinterpret_cast<const std::uint8_t*>(ReadBytes(Sys("t.fpt")).data())), 11u);
  EXPECT_EQ(m.WriteMemo("rewritten", 9, 9), 9u);  // fits: stays
  EXPECT_EQ(m.ReadMemo(9), "rewritten");

  bytes = ReadBytes(Sys("t.fpt"));
  bytes[8 * 64 + 3] = 2;  // type word 2
  WriteBytes(Sys("t.fpt"), bytes);
  EXPECT_EQ(Message([&] { m.ReadMemo(8); }), "dBase memo record has format error - " + m.FileName());
}

// The block size of a FoxPro memo file is taken as stored, sizes below 8 too (other dBase
// readers open such files); a size of 0 opens, and reading or writing a memo in blocks of
// 0 bytes is the format error, not a division by zero.
TEST_F(TablesMemo, FoxProBlockSizesBelowEightAsStored) {
  for (std::uint16_t size : {1, 4, 7}) {
    SCOPED_TRACE(size);
    AnsiString name = Table(0xF5, 64);
    std::string bytes = ReadBytes(Sys("t.fpt"));
    const std::int64_t first = (512 + size - 1) / size;  // the first block after the header
    PutBE32(reinterpret_cast<std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(first + 4));
    PutBE16(reinterpret_cast<std::uint8_t*>(bytes.data()) + 6, size);
    bytes.resize(static_cast<std::size_t>(first * size), '\0');
    bytes += std::string("\0\0\0\x01\0\0\0\x05hello", 13);
    WriteBytes(Sys("t.fpt"), bytes);
    DBobjFXMemo20 m(nullptr, 0xF5, name, false, true);
    EXPECT_EQ(m.BlockSize(), size);
    EXPECT_EQ(m.ReadMemo(static_cast<std::uint32_t>(first)), "hello");
    // A new memo goes after the stated next free block, in blocks of the stated size.
    const std::uint32_t at = m.WriteMemo("a longer memo text", 0, 18);
    EXPECT_GE(at, first + 4);
    EXPECT_EQ(m.ReadMemo(at), "a longer memo text");
    EXPECT_EQ(m.ReadMemo(static_cast<std::uint32_t>(first)), "hello");
  }
  AnsiString name = Table(0xF5, 64);
  std::string bytes = ReadBytes(Sys("t.fpt"));
  bytes[6] = bytes[7] = 0;
  WriteBytes(Sys("t.fpt"), bytes + std::string(64, '\0'));
  DBobjFXMemo20 m(nullptr, 0xF5, name, false, true);
  EXPECT_EQ(m.BlockSize(), 0);
  EXPECT_EQ(m.ReadMemo(0), "");
  const std::string error = "dBase memo record has format error - " + m.FileName();
  EXPECT_EQ(Message([&] { m.ReadMemo(8); }), error);
  char buffer[8];
  EXPECT_EQ(Message([&] { m.ReadMemo(buffer, 8, 8); }), error);
  EXPECT_EQ(Message([&] { m.WriteMemo("x", 0, 1); }), error);
}

TEST_F(TablesMemo, MissingMemoFile) {
  AnsiString name = dir_.Path() + "/none.dbf";
  std::int32_t code = 0, sub = 0;
  TdbErrorProc old = SetDbfErrorProc([&](std::int32_t c, std::int32_t s, const AnsiString& info) {
    code = c;
    sub = s;
    StandardDbfError(c, s, info);
  });
  EXPECT_EQ(Message([&] { DBobjFXMemo20 m(nullptr, 0x30, name, false, false); }),
            "File not found - " + dir_.Path() + "/none.FPT");
  SetDbfErrorProc(old);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(sub, 6101);
}

std::unique_ptr<DBobjMemo> OpenMemoOf(std::uint8_t version, const AnsiString& table) {
  if (version == 0x83) return std::make_unique<DBobjMemo>(nullptr, version, table, false, true);
  if (version == 0x8B) return std::make_unique<DBobjMemo4>(nullptr, version, table, false, true);
  return std::make_unique<DBobjFXMemo20>(nullptr, version, table, false, true);
}

// A text that does not fit on the disk leaves the memo file as it was: the header, the
// free chain and the old memo; once there is room again, writes go on.
TEST_F(TablesMemo, WriteOnAFullDiskLeavesTheFileAsItWas) {
  for (std::uint8_t version : {0x83, 0x8B, 0xF5}) {
    SCOPED_TRACE(version);
    const AnsiString name = Table(version);
    const std::string sys = Sys(version == 0xF5 ? "t.fpt" : "t.dbt");
    const AnsiString big(5000, 'b');
    std::uint32_t first = 0;
    {
      auto m = OpenMemoOf(version, name);
      first = m->WriteMemo("old text", 0, 8);
      const std::string before = ReadBytes(sys);
      {
        tables_test::DiskFullAt full(before.size());
        EXPECT_EQ(Message([&] { m->WriteMemo(big.data(), first, std::ssize(big)); }),
                  "Disk is full - " + m->FileName());
      }
      EXPECT_EQ(ReadBytes(sys), before);
      EXPECT_EQ(m->ReadMemo(first), "old text");
    }
    auto m = OpenMemoOf(version, name);
    EXPECT_EQ(m->ReadMemo(first), "old text");
    const std::uint32_t block = m->WriteMemo(big.data(), first, std::ssize(big));
    EXPECT_EQ(m->ReadMemo(block), big);
  }
}

// A next-free block below the end of the file (a stale or damaged header) would put a new
// memo over live ones: new memos go to the end of the file, and the old ones stay whole.
TEST_F(TablesMemo, NextFreeInsideTheUsedBlocksLeavesTheirMemos) {
  for (std::uint8_t version : {0x83, 0xF5}) {
    SCOPED_TRACE(version);
    const AnsiString name = Table(version);
    const std::string sys = Sys(version == 0xF5 ? "t.fpt" : "t.dbt");
    const AnsiString first(700, 'f'), second = "second";
    std::uint32_t a = 0, b = 0;
    {
      auto m = OpenMemoOf(version, name);
      a = m->WriteMemo(first.data(), 0, std::ssize(first));
      b = m->WriteMemo(second.data(), 0, std::ssize(second));
    }
    std::string bytes = ReadBytes(sys);
    const auto end = static_cast<std::uint32_t>(bytes.size() / (version == 0xF5 ? 64 : 512));
    auto* h = reinterpret_cast<std::uint8_t*>(bytes.data());
    version == 0xF5 ? PutBE32(h, a) : PutLE32(h, a);
    WriteBytes(sys, bytes);
    auto m = OpenMemoOf(version, name);
    const std::uint32_t c = m->WriteMemo("third", 0, 5);
    EXPECT_EQ(c, end);
    EXPECT_EQ(m->ReadMemo(a), first);
    EXPECT_EQ(m->ReadMemo(b), second);
    EXPECT_EQ(m->ReadMemo(c), "third");
  }
}

// A next-free block past the end of the file, as a failed write of older days left it,
// is mended by extending the file; the memo goes there.
TEST_F(TablesMemo, NextFreePastTheEndIsRepaired) {
  for (std::uint8_t version : {0x83, 0x8B, 0xF5}) {
    SCOPED_TRACE(version);
    const AnsiString name = Table(version);
    const std::string sys = Sys(version == 0xF5 ? "t.fpt" : "t.dbt");
    std::uint32_t first = 0;
    std::int64_t blockSize = 0;
    {
      auto m = OpenMemoOf(version, name);
      first = m->WriteMemo("old text", 0, 8);
      blockSize = m->BlockSize();
    }
    std::string bytes = ReadBytes(sys);
    auto* h = reinterpret_cast<std::uint8_t*>(bytes.data());
    const std::uint32_t next = version == 0xF5 ? GetBE32(h) : GetLE32(h);
    ASSERT_EQ(static_cast<std::int64_t>(next) * blockSize, std::ssize(bytes));
    version == 0xF5 ? PutBE32(h, next + 3) : PutLE32(h, next + 3);
    WriteBytes(sys, bytes);
    auto m = OpenMemoOf(version, name);
    const std::uint32_t block = m->WriteMemo("new text", 0, 8);
    EXPECT_EQ(block, next + 3);
    EXPECT_EQ(m->ReadMemo(block), "new text");
    EXPECT_EQ(m->ReadMemo(first), "old text");
  }
}

TEST_F(TablesMemo, WriteLockHeldByAnotherProcess) {
  AnsiString name = Table(0x83);
  TdbLockTiming saved = LockTiming();
  LockTiming() = {40, 10};
  std::int32_t code = 0, sub = 0;
  TdbErrorProc old = SetDbfErrorProc([&](std::int32_t c, std::int32_t s, const AnsiString& info) {
    code = c;
    sub = s;
    StandardDbfError(c, s, info);
  });
  {
    HeldByOtherProcess other({"S", Sys("t.dbt"), "2147483645", "1"});  // 0x7FFFFFFD
    ASSERT_TRUE(other.Ready());
    DBobjMemo m(nullptr, 0x83, name, true, true);
    EXPECT_THROW(m.WriteMemo("x", 0, 1), EDbfError);
    EXPECT_EQ(code, 33);
    EXPECT_EQ(sub, 1112);
    EXPECT_EQ(m.LockCount(), 0);
    // The protocol moves the lock byte: under ClipLock the write goes through.
    m.SetLockProtocol(TdbLokProtocol::ClipLock);
    EXPECT_EQ(m.WriteMemo("x", 0, 1), 1u);
    EXPECT_EQ(m.LockCount(), 0);  // released after the write
  }
  SetDbfErrorProc(old);
  LockTiming() = saved;
}

}  // namespace
