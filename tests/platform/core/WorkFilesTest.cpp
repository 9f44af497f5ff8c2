// Leftovers of killed saves: the temporary files of an atomic save and the working
// directories of a staging run are removed by the next save or run, when they are of
// our own naming, older than a minute and held by nobody.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/StagingDir.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"

namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path, bool directory, time_t age) {
  if (directory)
    fs::create_directories(path + "/inner");
  else
    std::ofstream(path) << "half a save";
  const time_t when = ::time(nullptr) - age;
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

struct Leftover {
  const char* name;
  time_t age;
  bool held;
  bool removed;
};

TEST(WorkFiles, AnAtomicSaveRemovesStaleTemporaryFilesOfItsTarget) {
  TempDir dir;
  const std::string base = dir.SysPath() + "/list.txt";
  const Leftover cases[] = {
      {"list.txt.tmpAb12Cd", 3600, false, true},    // killed an hour ago
      {"list.txt.tmpZz99Yy", 5, false, false},      // a save that may be running now
      {"list.txt.tmpHeld00", 3600, true, false},    // a save that is running now
      {"list.txt.tmpShort", 3600, false, false},    // not our naming
      {"other.txt.tmpAb12Cd", 3600, false, false},  // another target's
  };
  int holder = -1;
  for (const auto& c : cases) {
    const std::string path = dir.SysPath() + "/" + c.name;
    Touch(path, false, c.age);
    if (c.held) {
      holder = ::open(path.c_str(), O_RDWR);
      struct flock fl {};
      fl.l_type = F_WRLCK;
      fl.l_whence = SEEK_SET;
      ASSERT_EQ(::fcntl(holder, F_OFD_SETLK, &fl), 0);
    }
  }
  SaveFileAtomically(AnsiPath(base), [](TStream& s) { s.WriteString("new"); });
  for (const auto& c : cases) EXPECT_EQ(fs::exists(dir.SysPath() + "/" + c.name), !c.removed) << c.name;
  ::close(holder);
  std::ifstream in(base);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "new");
}

TEST(WorkFiles, AStagingRunRemovesStaleWorkingDirectories) {
  TempDir dir;
  const Leftover cases[] = {
      {".~ref-Ab12Cd", 3600, false, true},
      {".~ref-Zz99Yy", 5, false, false},
      {".~ref-other", 3600, false, false},
  };
  for (const auto& c : cases) Touch(dir.SysPath() + "/" + c.name, true, c.age);
  {
    TStagingDir running(dir.Path(), ".~ref-");
    const std::string path = SysPath(running.Path());
    const time_t when = ::time(nullptr) - 3600;
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    TStagingDir next(dir.Path(), ".~ref-");
    for (const auto& c : cases) EXPECT_EQ(fs::exists(dir.SysPath() + "/" + c.name), !c.removed) << c.name;
    EXPECT_TRUE(fs::exists(path));  // held by the running one, however old
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.SysPath()), fs::directory_iterator()), 2);
}

}  // namespace

namespace {

TEST(FileNames, NamesOutsideTheCodePageKeepTheirBytes) {
  struct Case {
    std::string sys;
    std::string ansi;  // empty: only the round trip is checked
  };
  const Case cases[] = {
      {"/tmp/поход.tw", Ansi("/tmp/поход.tw")},
      {"日本.tw", "\x98" "E6\x98" "97\x98" "A5\x98" "E6\x98" "9C\x98" "AC.tw"},
      {"caf\xe9.tw", "caf\x98" "E9.tw"},           // a byte that is no UTF-8
      {"\xc2\x98.tw", "\x98" "C2\x98" "98.tw"},     // U+0098 itself is kept as bytes
      {"\xe2\x82\xac \xc2\xa0x", Ansi("€ ") + "\xa0x"},  // what 1251 holds becomes 1251
      {"\xed\xa0\x80\xf4\x90\x80\x80\xc0\xaf", ""},    // surrogates, beyond U+10FFFF, overlong
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sys);
    const AnsiString ansi = AnsiPath(c.sys);
    if (!c.ansi.empty()) {
      EXPECT_EQ(ansi, c.ansi);
    }
    EXPECT_EQ(SysPath(ansi), c.sys);
  }
  EXPECT_NE(AnsiPath("日本.tw"), AnsiPath("中国.tw"));
  EXPECT_EQ(SysPath("a\\b"), "a/b");
}

TEST(FileNames, AnAtomicSaveThroughALinkReplacesItsTarget) {
  TempDir dir;
  const std::string target = dir.SysPath() + "/target.ini", link = dir.SysPath() + "/日本.ini";
  WriteFileBytes(AnsiPath(target), "old");
  std::filesystem::create_symlink("target.ini", link);
  EXPECT_EQ(SaveTargetOf(AnsiPath(link)), AnsiPath(target));
  SaveFileAtomically(AnsiPath(link), [](TStream& s) { s.WriteString("new"); });
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(AnsiPath(target)), "new");
  // A link to a file not made yet makes it.
  std::filesystem::create_symlink("later.ini", dir.SysPath() + "/dangling.ini");
  SaveFileAtomically(AnsiPath(dir.SysPath() + "/dangling.ini"), [](TStream& s) { s.WriteString("made"); });
  EXPECT_EQ(ReadFileBytes(AnsiPath(dir.SysPath() + "/later.ini")), "made");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.SysPath() + "/dangling.ini"));
  // The lock files are gone with the saves.
  for (const auto& e : std::filesystem::directory_iterator(dir.SysPath()))
    EXPECT_EQ(e.path().filename().string().find(".~lock."), std::string::npos) << e.path();
}

// Somebody else's link in a shared sticky folder (such as the temporary folder) may lead
// to any file of the user: a save follows a link only where the system's protection of
// links would, and otherwise replaces the link itself.
TEST(FileNames, ASaveFollowsALinkOnlyWhereTheSystemWould) {
  if (::geteuid() != 0) GTEST_SKIP() << "a link of another user can only be made by the superuser";
  constexpr uid_t kOther = 4321;
  struct Case {
    const char* what;
    mode_t folderMode;
    uid_t folderOwner, linkOwner;
    bool followed;
  };
  const Case cases[] = {
      {"another user's link in a shared sticky folder", 01777, 0, kOther, false},
      {"the user's own link there", 01777, 0, 0, true},
      {"a link of the folder's owner", 01777, kOther, kOther, true},
      {"a sticky folder only its owner writes", 01755, 0, kOther, true},
      {"a folder all may write, not sticky", 0777, 0, kOther, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string victim = dir.SysPath() + "/victim.ini", folder = dir.SysPath() + "/shared";
    const std::string link = folder + "/x.ini";
    WriteFileBytes(AnsiPath(victim), "precious");
    ASSERT_EQ(::chown(victim.c_str(), 5555, 5555), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::filesystem::create_symlink(victim, link);
    ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
    ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
    EXPECT_EQ(MayFollowLink(link), c.followed);
    EXPECT_EQ(SaveTargetOf(AnsiPath(link)), AnsiPath(c.followed ? victim : link));
    SaveFileAtomically(AnsiPath(link), [](TStream& s) { s.WriteString("saved"); });
    EXPECT_EQ(ReadFileBytes(AnsiPath(victim)), c.followed ? "saved" : "precious");
    EXPECT_EQ(std::filesystem::is_symlink(link), c.followed);
    EXPECT_EQ(ReadFileBytes(AnsiPath(link)), "saved");
    // A file in the link's place is the user's, not the owner's of the file it led to.
    struct stat st;
    ASSERT_EQ(::stat(link.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, c.followed ? 5555u : 0u);
  }
}

// A save keeps the permissions of the file it replaces, and its owner and group where the
// user may give them (here the superuser): others who share the file keep their access.
TEST(FileNames, ASaveKeepsPermissionsOwnerAndGroup) {
  TempDir dir;
  const std::string file = dir.SysPath() + "/shared.ini";
  WriteFileBytes(AnsiPath(file), "old");
  ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(file.c_str(), 4321, 4322), 0);
  }
  SaveFileAtomically(AnsiPath(file), [](TStream& s) { s.WriteString("new"); });
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_EQ(ReadFileBytes(AnsiPath(file)), "new");
}

TEST(FileNames, AStreamOpensOnlyRegularFiles) {
  TempDir dir;
  const std::string fifo = dir.SysPath() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Opening a pipe for reading would wait for a writer: it is refused at once.
  for (const std::string& name : {fifo, dir.SysPath(), std::string("/dev/null")})
    EXPECT_THROW(TFileStream(AnsiPath(name), fmOpenRead), EFOpenError) << name;
}

TEST(FileNames, SavesUnderTheLockOfTwoProcessesLoseNoUpdate) {
  // Two processes add 1 to a number in a file, each reading it and writing it back under
  // the file's save lock: every addition stays.
  TempDir dir;
  const AnsiString name = dir.Path() + "/count";
  WriteFileBytes(name, "0");
  constexpr int kEach = 150;
  pid_t children[2];
  for (pid_t& child : children) {
    child = ::fork();
    ASSERT_GE(child, 0);
    if (child != 0) continue;
    ::alarm(50);
    for (int i = 0; i < kEach; ++i) {
      const TFileSaveLock lock(name);
      const int n = std::stoi(ReadFileBytes(name));
      SaveFileAtomically(lock, [&](TStream& s) { s.WriteString(std::to_string(n + 1)); });
    }
    ::_exit(0);
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ReadFileBytes(name), std::to_string(2 * kEach));
}

}  // namespace
