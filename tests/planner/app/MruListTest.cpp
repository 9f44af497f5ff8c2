// The recent-files list: order, the 16-entry bound, display names and their files, the
// settings store.
#include <gtest/gtest.h>

#include "planner/app/AppRegIni.h"
#include "planner/app/MruList.h"
#include "platform/core/Registry.h"
#include "test_support/TempDir.h"

TEST(MruList, NewestFirstReopenedMovesUpSeventeenthDropsTheOldest) {
  TMruList mru("/d/Travels/", "/d/Examples/");
  for (int i = 1; i <= 16; ++i) mru.AddMru("/other/f" + std::to_string(i) + ".tw");
  EXPECT_EQ(mru.Captions().size(), 16u);
  EXPECT_EQ(mru.Captions().front(), "/other/f16.tw");
  mru.AddMru("/OTHER/F3.TW");  // the same file, another case: moved, not added
  EXPECT_EQ(mru.Captions().size(), 16u);
  EXPECT_EQ(mru.Captions().front(), "/OTHER/F3.TW");
  mru.AddMru("/other/f17.tw");
  EXPECT_EQ(mru.Captions().size(), 16u);
  EXPECT_EQ(mru.Captions().back(), "/other/f2.tw");  // f1 was the oldest
  mru.RemoveMru("/other/f17.tw");
  EXPECT_EQ(mru.Captions().front(), "/OTHER/F3.TW");
  mru.RemoveMru("/nowhere.tw");
  EXPECT_EQ(mru.Captions().size(), 15u);
}

TEST(MruList, DisplayNamesAndTheirFiles) {
  TMruList mru("/d/Travels/", "/d/Examples/");
  struct Case {
    const char* name;
    const char* caption;
  };
  const Case cases[] = {{"/d/Travels/trip.tw", "trip.tw"},
                        {"/D/TRAVELS/trip.tw", "trip.tw"},
                        {"/d/Examples/ski.tw", "..\\Examples\\ski.tw"},
                        {"/d/Travels/sub/x.tw", "/d/Travels/sub/x.tw"},
                        {"/home/u/a&b.tw", "/home/u/a&b.tw"}};
  for (const Case& c : cases) EXPECT_EQ(mru.MruDisplayName(c.name), c.caption) << c.name;
  // A bare name opens from the data directory as it is now.
  mru.SetDirectories("/new/Travels/", "/new/Examples/");
  EXPECT_EQ(mru.FileOfCaption("trip.tw"), "/new/Travels/trip.tw");
  EXPECT_EQ(mru.FileOfCaption("..\\Examples\\ski.tw"), "/new/Examples/ski.tw");
  EXPECT_EQ(mru.FileOfCaption("/home/u/a&b.tw"), "/home/u/a&b.tw");
  EXPECT_EQ(TMruList::MenuText("/home/u/a&b.tw"), "/home/u/a&&b.tw");
}

// Directories changed while the program runs: every entry names the file it named, its
// caption made under the new directories; the order stays.
TEST(MruList, ChangedDirectoriesKeepEveryEntrysFile) {
  TMruList mru("/d/Travels/", "/d/Examples/");
  for (const char* name : {"/n/Travels/moved.tw", "/d/Examples/ski.tw", "/other/x.tw", "/d/Travels/trip.tw"})
    mru.AddMru(name);
  ASSERT_EQ(mru.Captions(), (std::vector<AnsiString>{"trip.tw", "/other/x.tw", "..\\Examples\\ski.tw",
                                                     "/n/Travels/moved.tw"}));
  mru.ChangeDirectories("/n/Travels/", "/n/Examples/");
  EXPECT_EQ(mru.Captions(), (std::vector<AnsiString>{"/d/Travels/trip.tw", "/other/x.tw", "/d/Examples/ski.tw",
                                                     "moved.tw"}));
  for (const char* name : {"/d/Travels/trip.tw", "/other/x.tw", "/d/Examples/ski.tw", "/n/Travels/moved.tw"})
    EXPECT_EQ(mru.FileOfCaption(mru.MruDisplayName(name)), name);
}

TEST(MruList, HotkeyMarksAreIgnoredWhenMatching) {
  TMruList mru("/d/", "/e/");
  mru.AddMru("/x/&a.tw");
  mru.AddMru("/y/b.tw");
  mru.AddMru("/X/A.tw");
  EXPECT_EQ(mru.Captions(), (std::vector<AnsiString>{"/X/A.tw", "/y/b.tw"}));
}

TEST(MruList, StoredInOrderUnderMruFiles) {
  TempDir dir;
  TSettingsStore store(dir.Path() + "/settings.ini");
  TAppRegIniFile reg(store, "Software\\Tarnwick");
  {
    TMruList empty("/d/", "/e/");
    empty.SaveMru(reg);
    EXPECT_FALSE(reg.SectionExists("MRUFiles"));
  }
  TMruList mru("/d/", "/e/");
  mru.AddMru("/d/one.tw");
  mru.AddMru("/z/two.tw");
  mru.SaveMru(reg);
  AnsiString v;
  ASSERT_TRUE(store.ReadValue("Software\\Tarnwick\\MRUFiles", "000", v));
  EXPECT_EQ(v, "/z/two.tw");
  ASSERT_TRUE(store.ReadValue("Software\\Tarnwick\\MRUFiles", "001", v));
  EXPECT_EQ(v, "one.tw");
  TMruList back("/d/", "/e/");
  back.LoadMru(reg);
  EXPECT_EQ(back.Captions(), mru.Captions());
}
