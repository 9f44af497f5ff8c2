#include <gtest/gtest.h>

#include <filesystem>

#include "TablesTestSupport.h"
#include "tables/db_disk.h"
#include "tables/db_tool.h"

namespace {

using tables_test::HeldByOtherProcess;
using tables_test::Message;
using tables_test::ReadBytes;
using tables_test::RunHelper;
using tables_test::WriteBytes;

class TablesDiskFile : public ::testing::Test {
 protected:
  void SetUp() override {
    sys_ = dir_.SysPath() + "/data.bin";
    WriteBytes(sys_, "0123456789");
    name_ = dir_.Path() + "/data.bin";
  }
  TempDir dir_;
  std::string sys_;
  AnsiString name_;
};

TEST_F(TablesDiskFile, ObjectsOnOneNameShareOneHandle) {
  auto a = std::make_unique<DBO_DiskFile>(name_, true, true);
  auto b = std::make_unique<DBO_DiskFile>(dir_.Path() + "/DATA.BIN", true, true);  // the same file
  a->Open();
  b->Open();
  EXPECT_EQ(a->Key(), b->Key());
  EXPECT_EQ(b->FileName(), name_);  // opened by its real name
  a->WriteAt(0, "AB", 2);
  a->Close();
  EXPECT_TRUE(a->IsClosed());
  char buf[2];
  EXPECT_EQ(b->ReadAt(0, buf, 2), 2);  // the handle stays open for the second
  EXPECT_EQ(std::string(buf, 2), "AB");
  b->Close();
  // Once both are closed, an exclusive open elsewhere succeeds: the handle is gone.
  EXPECT_EQ(RunHelper({"open", "X", sys_}), 0);
}

TEST_F(TablesDiskFile, ReadsWritesAndShortReads) {
  DBO_DiskFile f(name_, false, true);
  f.Open();
  EXPECT_EQ(f.FileSize(), 10);
  f.WriteAt(12, "xy", 2);
  EXPECT_TRUE(f.Written());
  EXPECT_EQ(f.Position(), 14);
  f.Flush();
  EXPECT_FALSE(f.Written());
  char buf[8] = {};
  EXPECT_EQ(f.ReadAt(11, buf, 8), 3);  // past the end: what is there, no exception
  EXPECT_EQ(f.ErrorCode(), dbe::ShortRead);
  EXPECT_EQ(std::string(buf + 1, 2), "xy");
  f.Truncate(4);
  EXPECT_EQ(f.FileSize(), 4);
}

TEST_F(TablesDiskFile, LocksNestAndOneRegionAtATime) {
  DBO_DiskFile f(name_, true, true);
  f.Open();
  EXPECT_TRUE(f.LockRegion(100, 10));
  EXPECT_TRUE(f.LockRegion(100, 10));
  EXPECT_EQ(f.LockCount(), 2);
  EXPECT_FALSE(f.LockRegion(200, 1));
  EXPECT_EQ(f.ErrorCode(), dbe::LockViolation);
  EXPECT_TRUE(f.Unlock());
  EXPECT_EQ(RunHelper({"lock", sys_, "105", "1"}), 33);  // still held after one unlock
  EXPECT_TRUE(f.Unlock());
  EXPECT_EQ(f.LockCount(), 0);
  EXPECT_EQ(RunHelper({"lock", sys_, "105", "1"}), 0);

  // Unshared files take no system lock at all.
  DBO_DiskFile u(dir_.Path() + "/other.bin", false, true);
  WriteBytes(dir_.SysPath() + "/other.bin", "");
  u.Open();
  EXPECT_TRUE(u.LockRegion(0, 5));
  EXPECT_EQ(u.LockCount(), 1);
}

TEST_F(TablesDiskFile, LockConflictsWithAnotherProcess) {
  DBO_DiskFile f(name_, true, true);
  f.Open();
  // Regions far beyond the end of the file, as the lock protocols use them.
  ASSERT_TRUE(f.LockRegion(0x7FFFFFF0u, 8));
  struct Case {
    const char* offset;
    const char* length;
    int code;
  };
  for (auto c : {Case{"2147483632", "1", 33}, {"2147483639", "4", 33}, {"2147483640", "1", 0}, {"0", "1", 0}}) {
    SCOPED_TRACE(c.offset);
    EXPECT_EQ(RunHelper({"lock", sys_, c.offset, c.length}), c.code);
  }
  f.Unlock();

  HeldByOtherProcess other({"S", sys_, "1000", "10"});
  ASSERT_TRUE(other.Ready());
  EXPECT_FALSE(f.LockRegion(1005, 1));
  EXPECT_EQ(f.ErrorCode(), dbe::LockViolation);
  EXPECT_EQ(DbfLastError(), dbe::LockViolation);
  EXPECT_TRUE(f.LockRegion(1010, 1));
  f.Unlock();
  EXPECT_FALSE(f.LockFile());  // the whole file overlaps the other's region
}

TEST_F(TablesDiskFile, ObjectsSharingAHandleStillConflict) {
  DBO_DiskFile a(name_, true, true), b(name_, true, true);
  a.Open();
  b.Open();
  ASSERT_TRUE(a.LockRegion(50, 10));
  EXPECT_FALSE(b.LockRegion(55, 1));
  EXPECT_EQ(b.ErrorCode(), dbe::LockViolation);
  EXPECT_TRUE(b.LockRegion(60, 1));
  EXPECT_TRUE(b.Unlock());  // releases only its own region
  EXPECT_EQ(RunHelper({"lock", sys_, "55", "1"}), 33);
  EXPECT_TRUE(a.Unlock());
  EXPECT_EQ(RunHelper({"lock", sys_, "55", "1"}), 0);
}

TEST_F(TablesDiskFile, ShareModesBetweenProcesses) {
  {
    HeldByOtherProcess other({"S", sys_});
    ASSERT_TRUE(other.Ready());
    DBO_DiskFile excl(name_, false, true);
    EXPECT_EQ(Message([&] { excl.Open(); }), "File access denied - " + name_);
    EXPECT_EQ(excl.ErrorCode(), dbe::SharingViolation);
    DBO_DiskFile shared(name_, true, true);
    EXPECT_NO_THROW(shared.Open());
  }
  {
    DBO_DiskFile excl(name_, false, true);
    excl.Open();
    EXPECT_EQ(RunHelper({"open", "S", sys_}), 32);
    EXPECT_EQ(RunHelper({"open", "X", sys_}), 32);
    EXPECT_EQ(RunHelper({"open", "R", sys_}), 32);
    EXPECT_EQ(RunHelper({"create", sys_}), 32);  // and never emptied
    EXPECT_EQ(ReadBytes(sys_), "0123456789");
  }
  EXPECT_EQ(RunHelper({"open", "X", sys_}), 0);
}

// An exclusive open keeps every other open out, also when it only reads, and is kept
// out by any open elsewhere.
TEST_F(TablesDiskFile, ExclusiveReadOnlyOpenIsExclusive) {
  {
    DBO_DiskFile excl(name_, false, false);
    excl.Open();
    for (const char* mode : {"S", "R", "X", "E"}) EXPECT_EQ(RunHelper({"open", mode, sys_}), 32) << mode;
  }
  for (const char* mode : {"S", "R", "X", "E"}) {
    HeldByOtherProcess other({mode, sys_});
    ASSERT_TRUE(other.Ready()) << mode;
    DBO_DiskFile excl(name_, false, false);
    EXPECT_EQ(Message([&] { excl.Open(); }), "File access denied - " + name_) << mode;
  }
  {
    HeldByOtherProcess other({"E", sys_});
    ASSERT_TRUE(other.Ready());
    for (const char* mode : {"S", "R"}) {
      DBO_DiskFile f(name_, true, *mode == 'S');
      EXPECT_EQ(Message([&] { f.Open(); }), "File access denied - " + name_) << mode;
    }
  }
  // Two shared readers and writers still get on with each other.
  HeldByOtherProcess reader({"R", sys_});
  ASSERT_TRUE(reader.Ready());
  EXPECT_EQ(RunHelper({"open", "S", sys_}), 0);
  EXPECT_EQ(RunHelper({"open", "R", sys_}), 0);
}

TEST_F(TablesDiskFile, CreateNew) {
  DBO_DiskFile f(name_, true, true);
  f.Open();
  DBO_DiskFile again(name_, true, true);
  EXPECT_EQ(Message([&] { again.CreateNew(); }), "Invalid file access code - " + name_);
  EXPECT_EQ(again.ErrorCode(), dbe::InvalidAccess);
  f.Close();
  again.CreateNew();
  EXPECT_FALSE(again.IsClosed());
  EXPECT_EQ(again.FileSize(), 0);

  DBO_DiskFile fresh(dir_.Path() + "/New.Bin", false, true);
  EXPECT_FALSE(fresh.Existed());
  fresh.CreateNew();
  EXPECT_TRUE(std::filesystem::exists(dir_.SysPath() + "/New.Bin"));  // keeps the given case
}

TEST_F(TablesDiskFile, TruncateNeedsExclusiveUse) {
  DBO_DiskFile f(name_, true, true);
  f.Open();
  EXPECT_EQ(Message([&] { f.Truncate(2); }), "File access denied - " + name_);
  EXPECT_EQ(f.ErrorCode(), dbe::AccessDenied);
  ASSERT_TRUE(f.LockFile());
  f.Truncate(2);
  EXPECT_EQ(f.FileSize(), 2);
  DBO_DiskFile ro(dir_.Path() + "/data.bin", false, false);
  f.Close();
  ro.Open();
  EXPECT_THROW(ro.Truncate(0), EDbfError);
}

TEST_F(TablesDiskFile, RenameNeverReplaces) {
  WriteBytes(dir_.SysPath() + "/Target.bin", "keep");
  DBO_DiskFile f(name_, false, true);
  f.Open();
  EXPECT_EQ(Message([&] { f.Rename(dir_.Path() + "/target.BIN"); }), "File already exists - " + name_);
  EXPECT_EQ(f.ErrorCode(), dbe::AlreadyExists);
  EXPECT_FALSE(f.IsClosed());  // reopened under its old name
  EXPECT_EQ(ReadBytes(dir_.SysPath() + "/Target.bin"), "keep");
  EXPECT_TRUE(f.Rename(dir_.Path() + "/moved.bin"));
  EXPECT_EQ(f.FileName(), dir_.Path() + "/moved.bin");
  EXPECT_EQ(f.FileSize(), 10);
  EXPECT_FALSE(std::filesystem::exists(sys_));

  // Refused while another object of the process holds the file.
  DBO_DiskFile other(dir_.Path() + "/moved.bin", false, true);
  other.Open();
  EXPECT_THROW(f.Rename(dir_.Path() + "/third.bin"), EDbfError);
  EXPECT_EQ(f.ErrorCode(), dbe::SharingViolation);
  EXPECT_TRUE(std::filesystem::exists(dir_.SysPath() + "/moved.bin"));
}

// Another process saving through a working copy renames a new file over the table's
// name. An open caught between its opening and its share sentinel must end on the new
// file: what it writes to the old one would be lost with it.
std::string gReplaceWith;
std::string gReplaceAt;
void ReplaceOnce(const AnsiString&) {
  if (gReplaceAt.empty()) return;
  WriteBytes(gReplaceAt + ".new", gReplaceWith);
  std::filesystem::rename(gReplaceAt + ".new", gReplaceAt);
  gReplaceAt.clear();
}

TEST_F(TablesDiskFile, AFileReplacedWhileOpeningIsOpenedAnew) {
  struct Case {
    const char* mode;
    bool shared, readWrite;
  };
  for (const Case c : {Case{"shared", true, true}, Case{"exclusive", false, true}, Case{"exclusive read-only", false, false}}) {
    SCOPED_TRACE(c.mode);
    WriteBytes(sys_, "0123456789");
    gReplaceWith = "replaced!!";
    gReplaceAt = sys_;
    SetDiskOpenInterlude(&ReplaceOnce);
    {
      DBO_DiskFile f(name_, c.shared, c.readWrite);
      f.Open();
      SetDiskOpenInterlude(nullptr);
      EXPECT_TRUE(gReplaceAt.empty());  // the replacement happened inside the open
      char got[10] = {};
      f.ReadAt(0, got, 10);
      EXPECT_EQ(std::string(got, 10), "replaced!!");
      if (c.readWrite) f.WriteAt(0, "X", 1);
      // The sentinel guards the file under the name: another process's exclusive open is refused.
      EXPECT_EQ(RunHelper({"open", "X", sys_}), 32);
    }
    EXPECT_EQ(ReadBytes(sys_), c.readWrite ? "Xeplaced!!" : "replaced!!");
  }
  SetDiskOpenInterlude(nullptr);
}

TEST_F(TablesDiskFile, OpenFailuresAndNames) {
  DBO_DiskFile missing(dir_.Path() + "/none.bin", true, false);
  EXPECT_EQ(Message([&] { missing.Open(); }), "File not found - " + dir_.Path() + "/none.bin");
  EXPECT_EQ(DbfLastError(), dbe::FileNotFound);
  DBO_DiskFile noDir(dir_.Path() + "/data.bin/x", true, false);
  EXPECT_THROW(noDir.Open(), EDbfError);
  EXPECT_EQ(noDir.ErrorCode(), dbe::PathNotFound);

  // Backslashes, relative names and case all lead to the one real file.
  std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir_.SysPath());
  EXPECT_EQ(ExpandTableFileName("sub\\..\\DATA.BIN"), name_);
  EXPECT_EQ(ExpandTableFileName("./Data.bin"), name_);
  EXPECT_EQ(ExpandTableFileName("NEW.DBF"), dir_.Path() + "/NEW.DBF");
  std::filesystem::current_path(old);
}

TEST(TablesDiskFileMap, ErrnoToEngineCodes) {
  struct Case {
    int err;
    std::int32_t code;
  };
  for (auto c : {Case{ENOENT, 2}, {ENOTDIR, 3}, {EMFILE, 4}, {EACCES, 5}, {EPERM, 5}, {EEXIST, 183},
                 {EROFS, 150}, {EAGAIN, 33}, {0, 0}})
    EXPECT_EQ(ErrnoToDbfError(c.err), c.code) << c.err;
  EXPECT_EQ(LockValuesOf(TdbLokProtocol::DB4Lock).recordBase, 0xEFFFFFFFu);
  EXPECT_EQ(LockValuesOf(TdbLokProtocol::FoxLock).tableLength, 0x3FFFFFFFu);
  EXPECT_EQ(LockValuesOf(TdbLokProtocol::ClipLock).tableOffset, 1000000000u);
}

}  // namespace
