#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/Registry.h"
#include "platform/core/SysDirs.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"

TEST(SettingsStore, KeysAndValuesAreFoundWithoutRegardToCase) {
  TempDir dir;
  TSettingsStore store(dir.Path() + "/settings.ini");
  EXPECT_FALSE(store.KeyExists("Software\\Tarnwick"));
  store.WriteValue("Software\\Tarnwick\\General", "RefDir", "/data/Ref/");
  AnsiString v;
  EXPECT_TRUE(store.ReadValue("\\SOFTWARE\\tarnwick\\general\\", "refdir", v));
  EXPECT_EQ(v, "/data/Ref/");
  EXPECT_TRUE(store.KeyExists("software\\TARNWICK"));  // a key with subkeys only
  EXPECT_FALSE(store.KeyExists("Software\\Tarn"));
  EXPECT_EQ(store.SubKeyNames("Software"), std::vector<AnsiString>{"Tarnwick"});
  store.WriteValue("Software\\Tarnwick\\General", "REFDIR", "/other/");
  EXPECT_EQ(store.ValueNames("Software\\Tarnwick\\General"), std::vector<AnsiString>{"RefDir"});
}

TEST(SettingsStore, SavesAndReadsBackEveryKindOfText) {
  TempDir dir;
  const AnsiString file = dir.Path() + "/cfg/settings.ini";  // the directory is created
  const AnsiString russian = Ansi("Пешеходный; 1 к.с.");
  const AnsiString odd = "line1\r\nline2 \"q\" \\x\t";
  {
    TSettingsStore store(file);
    store.WriteValue("Software\\Tarnwick\\Defaults", "DfltTourName", russian);
    store.WriteValue("Software\\Tarnwick\\Defaults", "Odd", odd);
    store.WriteValue("Software\\Tarnwick\\Defaults", "Blank", "  ");
    store.WriteValue("Software\\Tarnwick\\Defaults", "Win", "C:\\Ration\\Ref\\");
    EXPECT_TRUE(store.Modified());
    store.Save();
    EXPECT_FALSE(store.Modified());
  }
  // The file is UTF-8 text that a user can read.
  EXPECT_NE(ReadFileBytes(file).find("DfltTourName=Пешеходный; 1 к.с."), std::string::npos);
  TSettingsStore again(file);
  AnsiString v;
  ASSERT_TRUE(again.ReadValue("Software\\Tarnwick\\Defaults", "DfltTourName", v));
  EXPECT_EQ(v, russian);
  ASSERT_TRUE(again.ReadValue("Software\\Tarnwick\\Defaults", "Odd", v));
  EXPECT_EQ(v, odd);
  ASSERT_TRUE(again.ReadValue("Software\\Tarnwick\\Defaults", "Blank", v));
  EXPECT_EQ(v, "  ");
  ASSERT_TRUE(again.ReadValue("Software\\Tarnwick\\Defaults", "Win", v));
  EXPECT_EQ(v, "C:\\Ration\\Ref\\");
}

TEST(SettingsStore, DeleteKeyTakesItsSubkeys) {
  TempDir dir;
  TSettingsStore store(dir.Path() + "/s.ini");
  store.WriteValue("A\\B", "x", "1");
  store.WriteValue("A\\B\\C", "y", "2");
  store.WriteValue("A\\BB", "z", "3");
  EXPECT_TRUE(store.DeleteKey("a\\b"));
  EXPECT_FALSE(store.KeyExists("A\\B"));
  EXPECT_FALSE(store.KeyExists("A\\B\\C"));
  EXPECT_TRUE(store.KeyExists("A\\BB"));
  EXPECT_FALSE(store.DeleteKey("A\\B"));
  EXPECT_FALSE(store.DeleteValue("A\\BB", "none"));
  EXPECT_TRUE(store.DeleteValue("A\\BB", "Z"));
}

TEST(SettingsStore, SaveKeepsWhatAnotherProcessWroteMeanwhile) {
  TempDir dir;
  const AnsiString file = dir.Path() + "/settings.ini";
  TSettingsStore first(file), second(file);
  first.WriteValue("Software\\Tarnwick\\General", "ShowHint", "0");
  first.Save();
  second.WriteValue("Software\\ReportEngine", "Zoom", "100");
  second.Save();
  TSettingsStore check(file);
  AnsiString v;
  EXPECT_TRUE(check.ReadValue("Software\\Tarnwick\\General", "ShowHint", v));
  EXPECT_EQ(v, "0");
  EXPECT_TRUE(check.ReadValue("Software\\ReportEngine", "Zoom", v));
  // And the second store sees the first one's value after its save.
  EXPECT_TRUE(second.ValueExists("Software\\Tarnwick\\General", "ShowHint"));
}

TEST(SettingsStore, AFailedSaveReportsAndKeepsTheChanges) {
  TempDir dir;
  // A file where the store's directory should be: the directory cannot be made.
  SaveFileAtomically(dir.Path() + "/blocker", [](TStream& s) { s.WriteString("x"); });
  TSettingsStore store(dir.Path() + "/blocker/settings.ini");
  store.WriteValue("K", "v", "1");
  EXPECT_THROW(store.Save(), Exception);
  EXPECT_TRUE(store.Modified());
  store.Reload();
  EXPECT_FALSE(store.ValueExists("K", "v"));
}

TEST(SettingsStore, AStoreThatCannotBeReadIsNeverSavedOver) {
  TempDir dir;
  // Something that is there but cannot be read as the store.
  ASSERT_TRUE(ForceDirectories(dir.Path() + "/settings.ini"));
  TSettingsStore store(dir.Path() + "/settings.ini");
  EXPECT_FALSE(store.ValueExists("K", "v"));  // reads as empty: defaults apply
  store.WriteValue("K", "v", "1");
  // Refused before anything is written, not by the failing rename at the end.
  try {
    store.Save();
    ADD_FAILURE() << "saved over a store that cannot be read";
  } catch (const EWriteError& e) {
    EXPECT_NE(e.Message().find("cannot be read"), AnsiString::npos) << e.Message();
  }
  EXPECT_TRUE(store.Modified());
  EXPECT_TRUE(DirectoryExists(dir.Path() + "/settings.ini"));
}

TEST(SettingsStore, ProgramStoreFollowsTheConfigurationDirectory) {
  TempDir dir;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", dir.SysPath().c_str(), 1);
  EXPECT_EQ(ConfigDirectory(), dir.Path() + "/tarnwick/");
  EXPECT_EQ(WindowsDirectory(), ConfigDirectory());
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_NE(ConfigDirectory().find("/.config/tarnwick/"), AnsiString::npos);
  if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");

  SetSettingsStoreFile(dir.Path() + "/test.ini");
  EXPECT_EQ(SettingsStore().FileName(), dir.Path() + "/test.ini");
}

TEST(RegistryIniFile, SectionsAreSubkeysAndNumbersFallBack) {
  TempDir dir;
  TSettingsStore store(dir.Path() + "/s.ini");
  TRegistryIniFile reg(store, "Software\\Tarnwick");
  reg.WriteInteger("Defaults", "DfltDays", 14);
  reg.WriteBool("General", "PackRef", false);
  reg.WriteString("", "Top", "t");
  AnsiString v;
  EXPECT_TRUE(store.ReadValue("Software\\Tarnwick\\Defaults", "DfltDays", v));
  EXPECT_EQ(v, "14");
  EXPECT_TRUE(store.ReadValue("Software\\Tarnwick\\General", "PackRef", v));
  EXPECT_EQ(v, "0");
  EXPECT_TRUE(store.ValueExists("Software\\Tarnwick", "Top"));
  EXPECT_EQ(reg.ReadInteger("Defaults", "DfltDays", 21), 14);
  EXPECT_FALSE(reg.ReadBool("general", "packref", true));
  store.WriteValue("Software\\Tarnwick\\Defaults", "Bad", "12a");
  store.WriteValue("Software\\Tarnwick\\Defaults", "Big", "99999999999");
  EXPECT_EQ(reg.ReadInteger("Defaults", "Bad", 21), 21);
  EXPECT_EQ(reg.ReadInteger("Defaults", "Big", 21), 21);
  EXPECT_TRUE(reg.ReadBool("Defaults", "Bad", true));
  EXPECT_EQ(reg.ReadInteger("Defaults", "Missing", 4), 4);
}
