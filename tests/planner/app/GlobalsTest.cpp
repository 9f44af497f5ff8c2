#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

#include "controls/misc/VerInfo.h"
#include "planner/app/AppRegIni.h"
#include "planner/app/Globals.h"
#include "planner/app/ProgramVersion.h"
#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/Registry.h"
#include "platform/core/SysDirs.h"
#include "platform/core/VersionResources.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"
#include "refdata/RefSource.h"

namespace {

const char* const kGeneral = "Software\\Tarnwick\\General";
const char* const kDefaults = "Software\\Tarnwick\\Defaults";

// A data module on a temporary store, with a made-up program in a temporary directory
// whose version block is the one the build generated.
struct Fixture {
  TempDir dir;
  TSettingsStore store{dir.Path() + "/config/settings.ini"};
  AnsiString program = dir.Path() + "/bin/tarnwick";
  bool programDirWritable = true;

  Fixture() {
    WriteFileBytes(program, "x");
    SetFileVersionBlock(program, std::string(ProgramVersionBlock()));
  }
  ~Fixture() { SetFileVersionBlock(program, {}); }

  std::unique_ptr<TdmGlobals> Create() {
    TGlobalsEnvironment env;
    env.Store = &store;
    env.ProgramFile = program;
    env.UserDataDir = dir.Path() + "/data/tarnwick/";
    env.IsWritable = [this](std::string_view) { return programDirWritable; };
    auto g = std::make_unique<TdmGlobals>(env);
    g->dmGlobalsCreate();
    return g;
  }
};

}  // namespace

TEST(Globals, VersionStringsComeFromTheGeneratedBlock) {
  Fixture f;
  auto g = f.Create();
  EXPECT_EQ(g->ProgTitle, "Tarnwick");
  EXPECT_FALSE(g->ProgCompany.empty());
  EXPECT_FALSE(g->ProgCopyright.empty());
  EXPECT_EQ(g->ProgVersion.find_first_not_of("0123456789."), AnsiString::npos) << g->ProgVersion;
  EXPECT_EQ(std::count(g->ProgVersion.begin(), g->ProgVersion.end(), '.'), 3);
  EXPECT_EQ(g->RegKeyPath, "Software\\Tarnwick");
  EXPECT_EQ(dmGlobals, g.get());
  g.reset();
  EXPECT_EQ(dmGlobals, nullptr);
}

TEST(Globals, TheRunningProgramCarriesTheBlock) {
  RegisterProgramVersionBlock();
  TVersionInfo info(ProgramFileName());
  EXPECT_TRUE(info.Valid());
  EXPECT_EQ(info.GetProductName(), "Tarnwick");
  EXPECT_EQ(info.GetTranslationString(), "041904E3");
}

TEST(Globals, WithoutSettingsEveryValueHasItsDefault) {
  Fixture f;
  auto g = f.Create();
  const AnsiString root = f.dir.Path() + "/bin/";
  EXPECT_EQ(g->DataRoot, root);
  const TGeneralSettings& s = g->Settings.General;
  EXPECT_EQ(s.RefDir, root + "Ref/");
  EXPECT_EQ(s.DataDir, root + "Travels/");
  EXPECT_EQ(s.ExampleDir, root + "Examples/");
  EXPECT_TRUE(s.CreateBakFiles);
  EXPECT_TRUE(s.ShowHint);
  EXPECT_TRUE(s.PackRef);
  EXPECT_TRUE(s.DayMenuMode);
  const TDocumentDefaults& d = g->Settings.Defaults;
  EXPECT_EQ(d.DfltVeight, 0);
  EXPECT_EQ(d.DfltDays, 21);
  EXPECT_EQ(d.DfltMans, 4);
  EXPECT_EQ(d.DfltTourName, Ansi("Пешеходный; 1 к.с."));
  EXPECT_EQ(d.DfltRefCal, 3100);
  EXPECT_EQ(d.DfltRefAlb, 150);
  EXPECT_EQ(d.DfltRefFat, 180);
  EXPECT_EQ(d.DfltRefCarb, 690);
  EXPECT_EQ(d.DfltAuthor, "");
  EXPECT_FALSE(f.store.Modified());  // reading writes nothing
}

TEST(Globals, EverySettingRoundTripsUnderItsOwnName) {
  Fixture f;
  {
    auto g = f.Create();
    TGeneralSettings& s = g->Settings.General;
    s.RefDir = "/r/Ref/";
    s.DataDir = "/r/Travels/";
    s.ExampleDir = "/r/Examples/";
    s.CreateBakFiles = false;
    s.ShowHint = false;
    s.PackRef = false;
    s.DayMenuMode = false;
    TDocumentDefaults& d = g->Settings.Defaults;
    d.DfltVeight = 250;
    d.DfltDays = 7;
    d.DfltMans = 12;
    d.DfltTourName = Ansi("Горный; 3 к.с.");
    d.DfltRefCal = 4200;
    d.DfltRefAlb = 160.5;  // written as a whole number, halves to even
    d.DfltRefFat = 181.5;
    d.DfltRefCarb = 700.4;
    d.DfltAuthor = Ansi("Иванов");
    g->SaveSettings();
  }
  const std::pair<const char*, const char*> general[] = {
      {"RefDir", "/r/Ref/"},  {"DataDir", "/r/Travels/"}, {"ExampleDir", "/r/Examples/"}, {"CreateBakFiles", "0"},
      {"ShowHint", "0"},      {"PackRef", "0"},           {"DayMenuMode", "0"}};
  const std::pair<const char*, AnsiString> defaults[] = {
      {"DfltVeight", "250"}, {"DfltDays", "7"},      {"DfltMans", "12"},  {"DfltTourName", Ansi("Горный; 3 к.с.")},
      {"DfltRefCal", "4200"}, {"DfltRefAlb", "160"}, {"DfltRefFat", "182"}, {"DfltRefCarb", "700"},
      {"DfltAuthor", Ansi("Иванов")}};
  TSettingsStore saved(f.store.FileName());
  AnsiString v;
  for (const auto& [name, value] : general) {
    ASSERT_TRUE(saved.ReadValue(kGeneral, name, v)) << name;
    EXPECT_EQ(v, value) << name;
  }
  for (const auto& [name, value] : defaults) {
    ASSERT_TRUE(saved.ReadValue(kDefaults, name, v)) << name;
    EXPECT_EQ(v, value) << name;
  }
  EXPECT_EQ(saved.ValueNames(kGeneral).size(), std::size(general));
  EXPECT_EQ(saved.ValueNames(kDefaults).size(), std::size(defaults));

  auto g = f.Create();
  EXPECT_EQ(g->Settings.General.RefDir, "/r/Ref/");
  EXPECT_FALSE(g->Settings.General.DayMenuMode);
  EXPECT_EQ(g->Settings.Defaults.DfltMans, 12);
  EXPECT_EQ(g->Settings.Defaults.DfltRefFat, 182);
  EXPECT_EQ(g->Settings.Defaults.DfltTourName, Ansi("Горный; 3 к.с."));
}

TEST(Globals, UnreadableValuesGiveTheirDefaults) {
  Fixture f;
  for (const char* name : {"DfltDays", "DfltMans", "DfltRefCal", "DfltRefAlb", "DfltVeight"})
    f.store.WriteValue(kDefaults, name, "12a");
  f.store.WriteValue(kDefaults, "DfltRefFat", "99999999999");
  f.store.WriteValue(kDefaults, "DfltRefCarb", "");
  f.store.WriteValue(kGeneral, "ShowHint", "yes");
  f.store.WriteValue(kGeneral, "PackRef", "0");
  f.store.WriteValue(kGeneral, "CreateBakFiles", "2");  // any number but 0 is true
  auto g = f.Create();
  const TDocumentDefaults& d = g->Settings.Defaults;
  EXPECT_EQ(d.DfltDays, 21);
  EXPECT_EQ(d.DfltMans, 4);
  EXPECT_EQ(d.DfltRefCal, 3100);
  EXPECT_EQ(d.DfltRefAlb, 150);
  EXPECT_EQ(d.DfltRefFat, 180);
  EXPECT_EQ(d.DfltRefCarb, 690);
  EXPECT_EQ(d.DfltVeight, 0);
  EXPECT_TRUE(g->Settings.General.ShowHint);
  EXPECT_FALSE(g->Settings.General.PackRef);
  EXPECT_TRUE(g->Settings.General.CreateBakFiles);
}

TEST(Globals, UnstorableNeedsLeaveTheStoredValue) {
  Fixture f;
  auto g = f.Create();
  g->Settings.Defaults.DfltRefAlb = std::numeric_limits<double>::quiet_NaN();
  g->Settings.Defaults.DfltRefFat = 1e12;
  EXPECT_NO_THROW(g->SaveSettings());
  AnsiString v;
  EXPECT_FALSE(f.store.ValueExists(kDefaults, "DfltRefAlb"));
  EXPECT_FALSE(f.store.ValueExists(kDefaults, "DfltRefFat"));
  EXPECT_TRUE(f.store.ReadValue(kDefaults, "DfltRefCarb", v));
  EXPECT_EQ(v, "690");
}

TEST(Globals, NumbersOutsideTheirRangesGiveTheirDefaults) {
  struct Case {
    const char* name;
    const char* stored;
    double expected;
  };
  const Case cases[] = {
      {"DfltDays", "0", 21},        {"DfltDays", "-3", 21},       {"DfltDays", "1000", 1000},
      {"DfltDays", "2147483647", 2147483647}, {"DfltDays", "2147483648", 21}, {"DfltDays", "1", 1},
      {"DfltMans", "0", 4},         {"DfltMans", "100000", 100000}, {"DfltMans", "2147483647", 2147483647},
      {"DfltMans", "30", 30},
      {"DfltRefCal", "0", 3100},    {"DfltRefCal", "-1", 3100},   {"DfltRefCal", "20001", 3100},
      {"DfltRefCal", "4000", 4000}, {"DfltRefAlb", "-1", 150},    {"DfltRefAlb", "5001", 150},
      {"DfltRefAlb", "0", 0},       {"DfltRefFat", "-50", 180},   {"DfltRefCarb", "999999", 690},
  };
  for (const Case& c : cases) {
    Fixture f;
    f.store.WriteValue(kDefaults, c.name, c.stored);
    auto g = f.Create();
    const TDocumentDefaults& d = g->Settings.Defaults;
    const std::pair<const char*, double> read[] = {{"DfltDays", d.DfltDays},     {"DfltMans", d.DfltMans},
                                                   {"DfltRefCal", d.DfltRefCal}, {"DfltRefAlb", d.DfltRefAlb},
                                                   {"DfltRefFat", d.DfltRefFat}, {"DfltRefCarb", d.DfltRefCarb}};
    for (const auto& [name, value] : read)
      if (std::string_view(name) == c.name) {
        EXPECT_EQ(value, c.expected) << c.name << "=" << c.stored;
      }
  }
}

TEST(Globals, NotWritableProgramDirectoryUsesTheUserDataDirectoryFilledFromTheShippedCopy) {
  Fixture f;
  const AnsiString bin = f.dir.Path() + "/bin/";
  WriteFileBytes(bin + "Ref/products.DBF", "table");
  WriteFileBytes(bin + "Ref/params.ini", "[Limits]\n");
  WriteFileBytes(bin + "Examples/sample.tw", "TWCK");
  f.programDirWritable = false;
  auto g = f.Create();
  const AnsiString user = f.dir.Path() + "/data/tarnwick/";
  EXPECT_EQ(g->DataRoot, user);
  EXPECT_EQ(g->Settings.General.RefDir, user + "Ref/");
  EXPECT_TRUE(FileExists(user + "Ref/products.DBF"));
  EXPECT_TRUE(FileExists(user + "Ref/params.ini"));
  EXPECT_TRUE(FileExists(user + "Examples/sample.tw"));
  EXPECT_TRUE(DirectoryExists(user + "Travels"));

  // A second start leaves the user's own files alone.
  WriteFileBytes(user + "Ref/params.ini", "[Limits]\nAFCAlb=2\n");
  g = f.Create();
  TMemoryStream m;
  m.LoadFromFile(user + "Ref/params.ini");
  EXPECT_EQ(m.Bytes(), "[Limits]\nAFCAlb=2\n");
}

TEST(Globals, SeedingCopiesOnlyWhatIsShipped) {
  TempDir dir;
  const AnsiString shipped = dir.Path() + "/shipped/", user = dir.Path() + "/user/";
  WriteFileBytes(shipped + "Ref/a.rpf", "x");
  EXPECT_TRUE(SeedDataDirectory(shipped, user));
  EXPECT_TRUE(FileExists(user + "Ref/a.rpf"));
  EXPECT_FALSE(DirectoryExists(user + "Examples"));
  EXPECT_TRUE(DirectoryExists(user + "Travels"));
  EXPECT_FALSE(DirectoryExists(user + "Ref.partial"));
  // A user directory that cannot be made is reported.
  WriteFileBytes(dir.Path() + "/file", "x");
  EXPECT_FALSE(SeedDataDirectory(shipped, dir.Path() + "/file/user"));
}

TEST(Globals, DefaultDataRootFollowsWritability) {
  auto yes = [](std::string_view) { return true; };
  auto no = [](std::string_view) { return false; };
  EXPECT_EQ(DefaultDataRoot("/opt/tw/", "/home/u/.local/share/tarnwick/", yes), "/opt/tw/");
  EXPECT_EQ(DefaultDataRoot("/opt/tw/", "/home/u/.local/share/tarnwick", no), "/home/u/.local/share/tarnwick/");
  TempDir dir;
  EXPECT_TRUE(IsDirectoryWritable(dir.Path()));
  EXPECT_FALSE(IsDirectoryWritable(dir.Path() + "/missing"));
}

TEST(AppRegIniFile, WritingAShorterListLeavesExactlyItsValues) {
  TempDir dir;
  TSettingsStore store(dir.Path() + "/s.ini");
  TAppRegIniFile reg(store, "Software\\Tarnwick");
  TStringList five, three, back;
  for (const char* s : {"a.tw", "b.tw", "c.tw", "d.tw", "e.tw"}) five.Add(s);
  for (const AnsiString& s : {AnsiString("x.tw"), Ansi("..\\Examples\\поход.tw"), AnsiString("/home/u/z.tw")})
    three.Add(s);
  reg.WriteStrings("", "MRUFiles", five);
  reg.WriteStrings("", "MRUFiles", three);
  EXPECT_EQ(store.ValueNames("Software\\Tarnwick\\MRUFiles"), (std::vector<AnsiString>{"000", "001", "002"}));
  reg.ReadStrings("", "MRUFiles", back);
  EXPECT_EQ(back.Lines(), three.Lines());

  reg.WriteStrings("Lists", "Empty", TStringList());
  EXPECT_TRUE(store.KeyExists("Software\\Tarnwick\\Lists\\Empty"));
  reg.ReadStrings("Lists", "Empty", back);
  EXPECT_EQ(back.Count(), 0);
  reg.ReadStrings("", "Missing", back);
  EXPECT_EQ(back.Count(), 0);
}

TEST(TextToNumbers, Integers) {
  const struct {
    const char* text;
    bool ok;
    std::int32_t value;
  } cases[] = {
      {"-5", true, -5},          {"+7", true, 7},           {"0", true, 0},
      {"2147483647", true, 2147483647}, {"-2147483648", true, INT32_MIN},
      {"12a", false, 0},         {"", false, 0},            {"2147483648", false, 0},
      {"-2147483649", false, 0}, {"99999999999999999999", false, 0},
      {" 5", false, 0},          {"5 ", false, 0},          {"+-5", false, 0},
      {"-", false, 0},           {"+", false, 0},           {"$1F", false, 0},
      {"0x10", false, 0},        {"1.0", false, 0},         {"1e3", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t v = 77;
    EXPECT_EQ(TextToInt(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 77) << c.text;  // unchanged on failure
  }
}

TEST(TextToNumbers, Floats) {
  const struct {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"1,5", true, 1.5},   {"1.5", true, 1.5},   {"-0,25", true, -0.25}, {"150", true, 150},
      {"1e2", true, 100},   {",5", true, 0.5},    {"1,5,0", false, 0},     {"", false, 0},
      {"inf", false, 0},    {"-inf", false, 0},   {"nan", false, 0},       {"NaN", false, 0},
      {"infinity", false, 0}, {"0x1p3", false, 0}, {"1e999", false, 0},    {"12a", false, 0},
      {" 1", false, 0},     {"1 ", false, 0},     {"1..5", false, 0},      {"-", false, 0},
      {"+5", true, 5},      {"+-5", false, 0},    {"-+5", false, 0},
  };
  for (const auto& c : cases) {
    double v = 77;
    EXPECT_EQ(TextToFloat(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 77) << c.text;
    EXPECT_TRUE(std::isfinite(v));
  }
}

namespace {

struct ScriptedShell : IShell {
  int result = 0;
  bool openWith = false;
  std::vector<AnsiString>* log;
  explicit ScriptedShell(std::vector<AnsiString>* l) : log(l) {}
  int Open(const AnsiString& name) override {
    log->push_back("open " + name);
    return result;
  }
  bool OpenWith(const AnsiString& name) override {
    log->push_back("with " + name);
    return openWith;
  }
  void ShowError(const AnsiString& text) override { log->push_back("error " + text); }
};

}  // namespace

TEST(ShellOpenTest, ErrorsOfferAProgramOrShowAMessage) {
  const struct {
    int result;
    bool openWith;
    std::vector<AnsiString> expected;
  } cases[] = {
      {0, false, {"open doc.rtf"}},
      {31, true, {"open doc.rtf", "with doc.rtf"}},
      {31, false, {"open doc.rtf", "with doc.rtf", "error Error 31 opening\rdoc.rtf"}},
      {2, true, {"open doc.rtf", "error Error 2 opening\rdoc.rtf"}},
  };
  for (const auto& c : cases) {
    std::vector<AnsiString> log;
    auto shell = std::make_unique<ScriptedShell>(&log);
    shell->result = c.result;
    shell->openWith = c.openWith;
    SetShell(std::move(shell));
    ShellOpen("doc.rtf");
    EXPECT_EQ(log, c.expected) << c.result;
  }
  SetShell(nullptr);
}

// A new document is rated against its kind of trip: the default energy and needs are the
// values of the default kind of trip ("<group>; <row>") in the shipped "energo" table.
// The default kind of trip is a row of the shipped table with the default energy. The
// default needs are the program's own (150 / 180 / 690 g): they are not that row's, which
// a user gets by picking the kind of trip.
TEST(Globals, DefaultKindOfTripIsAShippedRowAndTheNeedsAreTheProgramsOwn) {
  const refdata::TRefSource energo = refdata::TRefSource::LoadFromFile(AnsiString(TARNWICK_DATA_DIR) + "/energo.txt");
  const TDocumentDefaults d;
  std::map<std::int32_t, AnsiString> groups;
  int found = 0;
  for (const refdata::TRefRow& row : energo.Rows()) {
    const std::int32_t code = energo.Int(row, "CODE");
    if (energo.Int(row, "FLAGS") & 1) {
      groups[code] = energo.Text(row, "NAME");
      continue;
    }
    if (groups[energo.Int(row, "OWNER")] + "; " + energo.Text(row, "NAME") != d.DfltTourName) continue;
    ++found;
    EXPECT_EQ(d.DfltRefCal, energo.Int(row, "CAL"));
    EXPECT_NE(d.DfltRefAlb, energo.Float(row, "ALB"));
  }
  EXPECT_EQ(d.DfltRefAlb, 150);
  EXPECT_EQ(d.DfltRefFat, 180);
  EXPECT_EQ(d.DfltRefCarb, 690);
  EXPECT_EQ(found, 1);
}
