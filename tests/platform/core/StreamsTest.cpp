#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/ReadUpTo.h"
#include "test_support/TempDir.h"

TEST(Streams, LittleEndianValuesRoundTrip) {
  TMemoryStream m;
  m.WriteInt32(0x01020304);
  m.WriteInt16(-2);
  m.WriteDouble(2.5);
  m.WriteByte(0xFE);
  EXPECT_EQ(m.Bytes().substr(0, 4), std::string("\x04\x03\x02\x01", 4));
  m.SetPosition(0);
  EXPECT_EQ(m.ReadInt32(), 0x01020304);
  EXPECT_EQ(m.ReadInt16(), -2);
  EXPECT_EQ(m.ReadDouble(), 2.5);
  EXPECT_EQ(m.ReadByte(), 0xFE);
  EXPECT_THROW(m.ReadByte(), EReadError);
}

TEST(Streams, ShortReadsAndLengthsAreRefused) {
  TMemoryStream m(std::string("\x01\x02\x03", 3));
  EXPECT_THROW(m.ReadInt32(), EReadError);
  m.SetPosition(0);
  EXPECT_NO_THROW(m.CheckCount(3));
  EXPECT_THROW(m.CheckCount(4), EReadError);
  EXPECT_THROW(m.CheckCount(-1), EReadError);
  EXPECT_THROW(m.CheckCount(2, 2), EReadError);
  EXPECT_THROW(m.CheckCount(INT64_MAX / 2, 4), EReadError);
  EXPECT_THROW(m.ReadString(0x7FFFFFFF), EReadError);
  EXPECT_EQ(m.ReadString(2), "\x01\x02");
}

// Positions far beyond the data, as a damaged offset read from a file gives them: seeking
// stops at the ends of the 64-bit range, reading there reads nothing and writing there
// fails; the data stays as it was.
TEST(Streams, MemoryStreamPositionsAtTheEndsOfTheRange) {
  TMemoryStream m(std::string("abc"));
  EXPECT_EQ(m.Seek(INT64_MAX, TSeekOrigin::soBeginning), INT64_MAX);
  EXPECT_EQ(m.Seek(INT64_MAX, TSeekOrigin::soCurrent), INT64_MAX);
  EXPECT_EQ(m.Seek(1, TSeekOrigin::soCurrent), INT64_MAX);
  char c = 0;
  EXPECT_EQ(m.Read(&c, 1), 0);
  EXPECT_THROW(m.WriteBuffer("x", 1), EWriteError);
  EXPECT_EQ(m.Seek(INT64_MIN, TSeekOrigin::soEnd), 0);
  EXPECT_EQ(m.Seek(INT64_MIN, TSeekOrigin::soCurrent), 0);
  EXPECT_EQ(m.Seek(-1, TSeekOrigin::soEnd), 2);
  EXPECT_EQ(m.Bytes(), "abc");
}

TEST(Streams, FileStreamWritesAndReads) {
  TempDir dir;
  AnsiString name = dir.Path() + Ansi("/данные.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteString("hello");
  }
  TFileStream f(name, fmOpenRead);
  EXPECT_EQ(f.Size(), 5);
  EXPECT_EQ(f.ReadString(5), "hello");
  EXPECT_THROW(f.ReadByte(), EReadError);
  EXPECT_THROW(TFileStream(dir.Path() + "/missing", fmOpenRead), EFOpenError);
}

TEST(Files, ExistingNamesAreFoundWhateverTheirCase) {
  TempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.Path() + "/Ref"));
  { TFileStream f(dir.Path() + "/Ref/PRODUCTS.DBF", fmCreate); }
  EXPECT_EQ(ResolveExistingPath(dir.Path() + "/ref/products.dbf"), dir.Path() + "/Ref/PRODUCTS.DBF");
  EXPECT_TRUE(FileExists(dir.Path() + "\\ref\\Products.dbf"));
  // A missing file keeps its name, under the directory that exists.
  EXPECT_EQ(ResolveExistingPath(dir.Path() + "/ref/none.dbf"), dir.Path() + "/Ref/none.dbf");
  EXPECT_EQ(ResolveExistingPath(dir.Path() + "/ref/new/x.tw"), dir.Path() + "/Ref/new/x.tw");
  SaveFileAtomically(dir.Path() + "/REF/new.tw", [](TStream& s) { s.WriteString("x"); });
  EXPECT_TRUE(FileExists(dir.Path() + "/Ref/new.tw"));
  TFileStream f(dir.Path() + "/REF/products.DBF", fmOpenRead);
  EXPECT_EQ(f.FileName(), dir.Path() + "/Ref/PRODUCTS.DBF");
}

TEST(Files, NamePieces) {
  EXPECT_EQ(ExtractFilePath("a/b/c.tw"), "a/b/");
  EXPECT_EQ(ExtractFileName("a\\b\\c.tw"), "c.tw");
  EXPECT_EQ(ExtractFileExt("a/b.c/d"), "");
  EXPECT_EQ(ExtractFileExt("a/b/c.tw"), ".tw");
  EXPECT_EQ(ChangeFileExt("a/b/c.tw", ".~TW"), "a/b/c.~TW");
  EXPECT_EQ(ChangeFileExt("a.d/c", ".x"), "a.d/c.x");
  EXPECT_EQ(IncludeTrailingPathDelimiter("Ref\\"), "Ref/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("Ref"), "Ref/");
}

TEST(Files, RenameNeverReplaces) {
  TempDir dir;
  { TFileStream f(dir.Path() + "/a", fmCreate); f.WriteString("a"); }
  { TFileStream f(dir.Path() + "/b", fmCreate); f.WriteString("b"); }
  EXPECT_FALSE(RenameFile(dir.Path() + "/a", dir.Path() + "/b"));
  EXPECT_TRUE(FileExists(dir.Path() + "/a"));
  EXPECT_TRUE(RenameFile(dir.Path() + "/a", dir.Path() + "/c"));
  EXPECT_FALSE(FileExists(dir.Path() + "/a"));
  TMemoryStream m;
  m.LoadFromFile(dir.Path() + "/c");
  EXPECT_EQ(m.Bytes(), "a");
}

TEST(Files, FailedAtomicSaveKeepsTheOldFile) {
  TempDir dir;
  AnsiString name = dir.Path() + "/doc.tw";
  SaveFileAtomically(name, [](TStream& s) { s.WriteString("old"); });
  EXPECT_THROW(SaveFileAtomically(name,
                                  [](TStream& s) {
                                    s.WriteString("half");
                                    throw EWriteError("disk full");
                                  }),
               EWriteError);
  TMemoryStream m;
  m.LoadFromFile(name);
  EXPECT_EQ(m.Bytes(), "old");
  // No temporary file is left behind.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(SysPath(dir.Path()))) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
  SaveFileAtomically(name, [](TStream& s) { s.WriteString("new"); });
  m.LoadFromFile(name);
  EXPECT_EQ(m.Bytes(), "new");
}

TEST(StringList, TextValuesAndChangeEvents) {
  TStringList l;
  int changes = 0;
  l.OnChange = [&](TObject*) { ++changes; };
  l.SetText("a\r\nb\nc\r\n\r\nd");
  EXPECT_EQ(l.Count(), 5);
  EXPECT_EQ(l[3], "");
  EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\n\r\nd\r\n");
  EXPECT_EQ(changes, 1);
  l.BeginUpdate();
  l.Add("x");
  l.Delete(0);
  l.EndUpdate();
  EXPECT_EQ(changes, 2);
  l.Clear();
  l.SetValue("RefDir", "/x/");
  EXPECT_EQ(l.Values("refdir"), "/x/");
  EXPECT_EQ(l.Names(0), "RefDir");
  EXPECT_EQ(l.IndexOf(Ansi("REFDIR=/X/")), 0);
  EXPECT_THROW(l[1], EListError);
  EXPECT_THROW(l.Insert(2, "z"), EListError);
}

// A file that grows while it is read: its size said little when asked, and bytes keep
// coming.
class TGrowingStream : public TStream {
 public:
  std::int64_t Read(void* buffer, std::int64_t count) override {
    std::memset(buffer, 'x', static_cast<std::size_t>(count));
    read_ += count;
    return count;
  }
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }  // its size: 0
  void SetSize(std::int64_t) override {}
  std::int64_t read_ = 0;
};

TEST(Streams, AReadUpToALimitStopsThereHoweverTheSourceGrows) {
  struct Case {
    std::string bytes;
    std::int64_t limit;
    bool whole;
    std::string out;
  };
  const Case cases[] = {
      {"", 4, true, ""},
      {"abcd", 4, true, "abcd"},
      {"abcde", 4, false, "abcd"},
      {"abcdefgh", 0, false, ""},
  };
  for (const Case& c : cases) {
    TMemoryStream m;
    m.WriteString(c.bytes);
    m.SetPosition(0);
    std::string out = "old";
    EXPECT_EQ(ReadStreamUpTo(m, c.limit, out), c.whole) << c.bytes;
    EXPECT_EQ(out, c.out) << c.bytes;
  }
  TGrowingStream growing;
  std::string out;
  EXPECT_FALSE(ReadStreamUpTo(growing, 200000, out));
  EXPECT_EQ(out.size(), 200000u);
  EXPECT_LE(growing.read_, 200001);
}
