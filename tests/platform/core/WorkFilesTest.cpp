// Leftovers of killed saves: the temporary files of an atomic save and the working
// directories of a staging run are removed by the next save or run, when they are of
// our own naming, older than a minute and held by nobody.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/StagingDir.h"
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
