#include <gtest/gtest.h>

#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/IniFiles.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/params.ini";
  WriteFileBytes(name,
           "; limits\r\n[Limits]\r\nMaxRelEnDef=0.3\r\n FatAVMin = 0,75 \r\nAFCAlb=abc\r\n\r\n[Other]\nKey=\"  spaced \"\n");
  TIniFile ini(name);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("limits", "MAXRELENDEF", 1), 0.3);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Limits", "FatAVmin", 1), 0.75);  // "," read as "."
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Limits", "AFCAlb", 1.5), 1.5);   // not a number: default
  EXPECT_DOUBLE_EQ(ini.ReadFloat("Limits", "Missing", 4.6), 4.6);
  EXPECT_EQ(ini.ReadString("other", "key", ""), "  spaced ");
  EXPECT_EQ(ini.ReadInteger("Limits", "MaxRelEnDef", 7), 7);
  TStringList keys;
  ini.ReadSection("LIMITS", keys);
  ASSERT_EQ(keys.Count(), 3);
  EXPECT_EQ(keys[1], "FatAVMin");
}

TEST(IniFile, NonFiniteNumbersGiveTheDefault) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/params.ini";
  WriteFileBytes(name, "[L]\na=inf\nb=nan\nc=0x10\nd=1e999\ne=2147483648\nf=-5\n");
  TIniFile ini(name);
  for (const char* key : {"a", "b", "c", "d"}) EXPECT_EQ(ini.ReadFloat("L", key, 9), 9) << key;
  EXPECT_EQ(ini.ReadInteger("L", "e", 3), 3);
  EXPECT_EQ(ini.ReadInteger("L", "f", 3), -5);
}

TEST(IniFile, WritesKeepCommentsOrderAndRoundTripEveryValue) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/params.ini";
  WriteFileBytes(name, "; comment\n[Limits]\nMaxRelEnDef=0.3\n\n; tail\n");
  {
    TIniFile ini(name);
    ini.WriteFloat("LIMITS", "maxrelendef", 0.25);  // replaced in place, name kept
    ini.WriteFloat("Limits", "AFCCarb", 4.6);
    ini.WriteString("Texts", "odd", AnsiString("a\nb\t\"c\"\\ \x01"));
    ini.WriteString("Texts", "blank", " x ");
    ini.WriteString("Texts", "quoted", "\"q\"");
    ini.WriteString("Texts", "we=ird", "v");
    ini.WriteBool("Texts", "flag", true);
    EXPECT_TRUE(ini.Modified());
    ini.UpdateFile();
    EXPECT_FALSE(ini.Modified());
  }
  const std::string text = ReadFileBytes(name);
  EXPECT_EQ(text.rfind("; comment\n[Limits]\nMaxRelEnDef=0.25\nAFCCarb=4.6\n\n; tail\n", 0), 0u) << text;
  TIniFile again(name);
  EXPECT_EQ(again.ReadFloat("Limits", "MaxRelEnDef", 0), 0.25);
  EXPECT_EQ(again.ReadString("Texts", "odd", ""), AnsiString("a\nb\t\"c\"\\ \x01"));
  EXPECT_EQ(again.ReadString("Texts", "blank", ""), " x ");
  EXPECT_EQ(again.ReadString("Texts", "quoted", ""), "\"q\"");
  EXPECT_EQ(again.ReadString("Texts", "we=ird", ""), "v");
  EXPECT_TRUE(again.ReadBool("Texts", "flag", false));
}

TEST(IniFile, EraseAndDelete) {
  TempDir dir;
  TIniFile ini(dir.Path() + "/x.ini");
  ini.WriteString("A", "k", "1");
  ini.WriteString("A", "j", "2");
  ini.WriteString("B", "k", "3");
  ini.DeleteKey("a", "K");
  EXPECT_FALSE(ini.ValueExists("A", "k"));
  EXPECT_TRUE(ini.ValueExists("A", "j"));
  ini.EraseSection("b");
  EXPECT_FALSE(ini.SectionExists("B"));
  TStringList sections;
  ini.ReadSections(sections);
  ASSERT_EQ(sections.Count(), 1);
  EXPECT_EQ(sections[0], "A");
}

TEST(IniFile, MissingFileReadsAsEmptyAndAFailedSaveKeepsTheOldFile) {
  TempDir dir;
  TIniFile missing(dir.Path() + "/none.ini");
  EXPECT_EQ(missing.ReadString("A", "b", "def"), "def");

  const AnsiString name = dir.Path() + "/params.ini";
  WriteFileBytes(name, "[A]\nb=1\n");
  TIniFile ini(name);
  ini.WriteString("A", "b", "2");
  // Saving into a directory that is gone fails and reports it.
  TIniFile lost(dir.Path() + "/gone/params.ini");
  lost.WriteString("A", "b", "2");
  EXPECT_THROW(lost.UpdateFile(), Exception);
  EXPECT_TRUE(lost.Modified());
  EXPECT_EQ(ReadFileBytes(name), "[A]\nb=1\n");
}
