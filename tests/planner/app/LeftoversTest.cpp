// What saves killed with SIGKILL leave behind (working copies of reference tables,
// temporary files of documents, tables and the limits file) is removed when the program
// starts and when it next saves into that folder, once older than a minute; files of
// other names and fresh leftovers of a save that may still be running stay.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "planner/app/Globals.h"
#include "planner/ration/RationFile.h"
#include "planner/reference/Ref.h"
#include "platform/core/Registry.h"
#include "refdata/RefBuild.h"
#include "refdata/RefSource.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// Runs `save` in a child process that is killed by SIGKILL in the middle of it.
void KilledSave(const std::function<void()>& save) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      save();
    } catch (...) {
    }
    ::_exit(3);  // the save should never finish
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

// A save of `file` killed while it writes.
void KilledFileSave(const AnsiString& file) {
  KilledSave([&] { SaveFileAtomically(file, [](TStream&) { ::raise(SIGKILL); }); });
}

// A rewrite of the table killed while it fills its working copy.
void KilledTableSave(const AnsiString& table) {
  KilledSave([&] { RewriteRefTable(table, {false, true}, [](TDbfDataSet&) { ::raise(SIGKILL); }); });
}

std::vector<std::string> Entries(const AnsiString& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(SysPath(dir))) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The entries of dir made since `before` was listed.
std::vector<std::string> NewEntries(const AnsiString& dir, const std::vector<std::string>& before) {
  std::vector<std::string> added;
  // A killed save also leaves its file's save lock (".~lock.<name>"): the next save of the
  // file takes it over, it is no leftover.
  for (const std::string& n : Entries(dir))
    if (std::find(before.begin(), before.end(), n) == before.end() && n.rfind(".~lock.", 0) != 0) added.push_back(n);
  return added;
}

// Dates the entry two minutes back.
void Age(const AnsiString& dir, const std::string& name) {
  const fs::path p = fs::path(SysPath(dir)) / name;
  fs::last_write_time(p, fs::last_write_time(p) - std::chrono::minutes(2));
}

bool Exists(const AnsiString& dir, const std::string& name) { return fs::exists(fs::path(SysPath(dir)) / name); }

struct Folders {
  TempDir tmp;
  AnsiString program = tmp.Path() + "/bin/tarnwick";
  AnsiString ref = tmp.Path() + "/bin/Ref/";
  AnsiString travels = tmp.Path() + "/bin/Travels/";
  std::vector<std::string> stale, kept;  // (folder-relative) names

  Folders() {
    WriteFileBytes(program, "x");
    ForceDirectories(ref);
    for (const char* table : {"products", "meal"})
      refdata::WriteRefTable(
          refdata::TRefSource::Parse("CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C30\n1 | 0 | 0 | Чай\n", table),
          ref + table + ".DBF");
    WriteFileBytes(ref + "params.ini", "[Limits]\n");
    WriteFileBytes(travels + "a.tw", "TWCK");
  }

  // Leftovers of killed saves in both folders, aged; one more of each kind fresh; and
  // files of other programs with names like them, aged.
  void MakeLeftovers() {
    auto killed = [&](const AnsiString& dir, const std::function<void()>& save, bool age) {
      const auto before = Entries(dir);
      save();
      const auto added = NewEntries(dir, before);
      ASSERT_EQ(added.size(), 1u);
      if (age) Age(dir, added[0]);
      (age ? stale : kept).push_back(cp::Ansi1251ToUtf8(dir) + added[0]);
    };
    // The fresh one first: a save of the same file removes older leftovers of its own.
    for (bool age : {false, true}) {
      killed(ref, [&] { KilledTableSave(ref + "products"); }, age);
      killed(ref, [&] { KilledFileSave(ref + "products.DBF"); }, age);
      killed(ref, [&] { KilledFileSave(ref + "params.ini"); }, age);
      killed(travels, [&] { KilledFileSave(travels + "a.tw"); }, age);
      killed(travels, [&] { KilledFileSave(travels + "a.~TW"); }, age);
    }
    ASSERT_EQ(stale.size(), 5u);
    for (const AnsiString& foreign : {ref + "notes.txt.tmpAbC123", ref + ".~ref-AbC12/x", travels + "b.doc.tmpAbC123",
                                      travels + "a.tw.tmpAbC12", travels + "a.tw.bak"}) {
      WriteFileBytes(foreign, "theirs");
      const AnsiString dir = ExtractFilePath(foreign);
      const AnsiString name = ExtractFileName(foreign);
      if (dir == ref + ".~ref-AbC12/") {
        Age(ref, ".~ref-AbC12");
        kept.push_back(cp::Ansi1251ToUtf8(ref) + ".~ref-AbC12");
      } else {
        Age(dir, name);
        kept.push_back(cp::Ansi1251ToUtf8(foreign));
      }
    }
  }

  void ExpectOnlyStaleGone() const {
    for (const std::string& s : stale) EXPECT_FALSE(fs::exists(s)) << s;
    for (const std::string& k : kept) EXPECT_TRUE(fs::exists(k)) << k;
  }
};

TEST(Leftovers, StartingTheProgramRemovesThoseOfKilledSaves) {
  Folders f;
  f.MakeLeftovers();
  TSettingsStore store{f.tmp.Path() + "/config/settings.ini"};
  TGlobalsEnvironment env;
  env.Store = &store;
  env.ProgramFile = f.program;
  env.UserDataDir = f.tmp.Path() + "/user/";
  env.IsWritable = [](std::string_view) { return true; };
  TdmGlobals globals(env);
  globals.dmGlobalsCreate();
  ASSERT_EQ(globals.Settings.General.RefDir, f.ref);
  f.ExpectOnlyStaleGone();
  EXPECT_TRUE(Exists(f.ref, "products.DBF"));
  EXPECT_TRUE(Exists(f.travels, "a.tw"));
}

TEST(Leftovers, SavingIntoAFolderRemovesThoseOfEveryFileThere) {
  Folders f;
  f.MakeLeftovers();
  // A document saved beside the one whose saves were killed.
  TRationDocument doc;
  struct : IRationFileMessages {
    void ShowError(const AnsiString&) override { ADD_FAILURE(); }
    bool Confirm(const AnsiString&) override {
      ADD_FAILURE();
      return false;
    }
  } messages;
  ASSERT_TRUE(SaveRationToFile(doc, f.travels + "other.tw", true, messages));
  // A table saved beside the one whose saves were killed.
  TCustomMtTree tree;
  TRef meal(tree, f.ref + "meal");
  const TRefSaveSettings settings{true, true};
  meal.SaveSettings = &settings;
  meal.Load();
  meal.Save();
  f.ExpectOnlyStaleGone();
}

}  // namespace
