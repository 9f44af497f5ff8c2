// The table builder of the shipped reference data: the tables it writes read back
// through the engine with every value of the sources, their bytes follow the dBase III
// layout, "params.ini" holds the limits, and sources that fail the checks write nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/IniFiles.h"
#include "refdata/RefBuild.h"
#include "tables/db_DBF.h"
#include "test_support/TempDir.h"

using namespace refdata;
namespace fs = std::filesystem;

namespace {

AnsiString DataDir() { return AnsiPath(TARNWICK_DATA_DIR) + "/"; }

const TRefData& Sources() {
  static const TRefData data = LoadRefData(DataDir());
  return data;
}

const TRefSource& SourceOf(std::string_view table) { return RefSourceOf(Sources(), table); }

std::string ReadBytes(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

std::string Joined(const TProblems& problems) {
  std::string out;
  for (const AnsiString& p : problems) out += Utf8(p) + "\n";
  return out;
}

// Every file of a directory with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  if (!fs::exists(dir)) return files;
  for (const auto& e : fs::directory_iterator(dir))
    files[e.path().filename().string()] = e.is_regular_file() ? ReadBytes(e.path()) : "<directory>";
  return files;
}

// The bytes a field must hold, made from the source text without the engine: text in
// code page 866 padded with blanks; a number right-aligned with exactly the field's
// decimals; a blank value all blanks.
std::string ExpectedFieldBytes(const TRefField& f, const AnsiString& value) {
  if (f.Type == 'C') {
    std::string oem = cp::Utf8To866(Utf8(value));
    oem.resize(static_cast<std::size_t>(f.Width), ' ');
    return oem;
  }
  if (value.empty()) return std::string(static_cast<std::size_t>(f.Width), ' ');
  std::string text = value;
  const std::size_t point = text.find('.');
  const std::size_t decimals = point == std::string::npos ? 0 : text.size() - point - 1;
  if (f.Decimals > 0) {
    if (point == std::string::npos) text += '.';
    text.append(static_cast<std::size_t>(f.Decimals) - decimals, '0');
  }
  return std::string(static_cast<std::size_t>(f.Width) - text.size(), ' ') + text;
}

unsigned Byte(const std::string& b, std::size_t i) { return static_cast<unsigned char>(b[i]); }
unsigned LE16(const std::string& b, std::size_t i) { return Byte(b, i) | Byte(b, i + 1) << 8; }
unsigned LE32(const std::string& b, std::size_t i) { return LE16(b, i) | LE16(b, i + 2) << 16; }

// The shipped data built once into a temporary reference directory; every test fails
// at its start when that build failed.
class RefBuild : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    try {
      buildFailure_ = Joined(BuildRefDir(DataDir(), RefDir()));
    } catch (const Exception& e) {
      buildFailure_ = Utf8(e.Message());
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override { ASSERT_EQ(buildFailure_, "") << "the shipped data did not build"; }

  static AnsiString RefDir() { return dir_->Path() + "/Ref/"; }
  static fs::path SysRefDir() { return fs::path(dir_->SysPath()) / "Ref"; }

  static TempDir* dir_;
  static std::string buildFailure_;
};
std::string RefBuild::buildFailure_;
TempDir* RefBuild::dir_ = nullptr;

TEST_F(RefBuild, WritesTheTablesAndTheLimitsAndNothingElse) {
  std::set<std::string> expected;
  for (const AnsiString& name : RefDirFileNames()) expected.insert(name);
  EXPECT_EQ(expected, (std::set<std::string>{"products.DBF", "dish.DBF", "meal.DBF", "energo.DBF", "dishcomp.DBF",
                                             "params.ini"}));
  std::set<std::string> written;
  for (const auto& [name, bytes] : Snapshot(SysRefDir())) written.insert(name);
  EXPECT_EQ(written, expected);  // no temporary directory left behind
}

TEST_F(RefBuild, EveryValueReadsBackThroughTheEngine) {
  int cyrillicTexts = 0;
  for (const char* name : kRefTables) {
    SCOPED_TRACE(name);
    const TRefSource& src = SourceOf(name);
    DBO_dBaseFld t(RefDir() + RefTableFileName(name), false, false);
    EXPECT_EQ(t.Version(), 0x03);
    EXPECT_FALSE(t.HasMemoFile());
    ASSERT_EQ(t.FieldCount(), std::ssize(src.Fields()));
    for (std::size_t k = 0; k < src.Fields().size(); ++k) {
      const TRefField& f = src.Fields()[k];
      const auto n = static_cast<std::int64_t>(k) + 1;
      EXPECT_EQ(t.FieldName(n), f.Name);
      EXPECT_EQ(t.FieldType(n), f.Type) << f.Name;
      EXPECT_EQ(t.FieldLen(n), f.Width) << f.Name;
      EXPECT_EQ(t.FieldDecimals(n), f.Decimals) << f.Name;
    }
    ASSERT_EQ(t.RecordCount(), std::ssize(src.Rows()));
    for (std::size_t r = 0; r < src.Rows().size(); ++r) {
      const TRefRow& row = src.Rows()[r];
      t.GetRecord(static_cast<std::int64_t>(r) + 1);
      ASSERT_FALSE(t.Eof());
      EXPECT_FALSE(t.IsDeleted()) << Utf8(src.Where(row));
      for (std::size_t k = 0; k < src.Fields().size(); ++k) {
        const TRefField& f = src.Fields()[k];
        const AnsiString& value = row.Values[k];
        const AnsiString raw = t.FieldGetByName(f.Name);
        SCOPED_TRACE(Utf8(src.Where(row)) + " " + f.Name);
        if (f.Type == 'C') {
          // 866 in the table, the source's 1251 text after the dataset's conversion.
          EXPECT_EQ(cp::OemToAnsi(TrimRight(raw)), value);
          EXPECT_EQ(cp::Oem866ToUtf8(TrimRight(raw)), Utf8(value));
          cyrillicTexts += value.find_first_of(Ansi("абвгдежзийклмнопрстуфхцчшщъыьэюяё")) != AnsiString::npos;
        } else if (value.empty()) {
          EXPECT_EQ(Trim(raw), "");
        } else {
          EXPECT_EQ(t.NumberGetByName(f.Name), src.Float(row, f.Name));
        }
      }
    }
  }
  EXPECT_GT(cyrillicTexts, 150);
}

TEST_F(RefBuild, TableBytesFollowTheDbaseIIILayout) {
  for (const char* name : kRefTables) {
    SCOPED_TRACE(name);
    const TRefSource& src = SourceOf(name);
    const std::string b = ReadBytes(SysRefDir() / (std::string(name) + ".DBF"));
    const std::size_t fieldCount = src.Fields().size();
    const std::size_t headerLength = 32 + 32 * fieldCount + 1;
    std::size_t recordLength = 1;
    for (const TRefField& f : src.Fields()) recordLength += static_cast<std::size_t>(f.Width);
    ASSERT_EQ(b.size(), headerLength + src.Rows().size() * recordLength + 1);

    EXPECT_EQ(Byte(b, 0), 0x03u);  // dBase III, no memo
    EXPECT_TRUE(Byte(b, 2) >= 1 && Byte(b, 2) <= 12 && Byte(b, 3) >= 1 && Byte(b, 3) <= 31);  // date of update
    EXPECT_EQ(LE32(b, 4), src.Rows().size());
    EXPECT_EQ(LE16(b, 8), headerLength);
    EXPECT_EQ(LE16(b, 10), recordLength);
    EXPECT_EQ(Byte(b, 14), 0u);    // no transaction pending
    EXPECT_EQ(Byte(b, 15), 0u);    // not encrypted
    EXPECT_EQ(Byte(b, 28), 0u);    // no production index
    EXPECT_EQ(Byte(b, 29), 0x65u);  // language driver: code page 866
    for (std::size_t k = 0; k < fieldCount; ++k) {
      const TRefField& f = src.Fields()[k];
      const std::string d = b.substr(32 + 32 * k, 32);
      SCOPED_TRACE(f.Name);
      std::string name11 = f.Name;
      name11.resize(11, '\0');
      EXPECT_EQ(d.substr(0, 11), name11);
      EXPECT_EQ(d[11], f.Type);
      EXPECT_EQ(Byte(d, 16), static_cast<unsigned>(f.Width));
      EXPECT_EQ(Byte(d, 17), static_cast<unsigned>(f.Decimals));
      EXPECT_EQ(d.substr(18), std::string(14, '\0'));
    }
    EXPECT_EQ(Byte(b, headerLength - 1), 0x0Du);
    EXPECT_EQ(Byte(b, b.size() - 1), 0x1Au);

    for (std::size_t r = 0; r < src.Rows().size(); ++r) {
      const TRefRow& row = src.Rows()[r];
      std::string expected = " ";  // not deleted
      for (std::size_t k = 0; k < fieldCount; ++k) expected += ExpectedFieldBytes(src.Fields()[k], row.Values[k]);
      EXPECT_EQ(b.substr(headerLength + r * recordLength, recordLength), expected) << Utf8(src.Where(row));
    }
  }
}

TEST_F(RefBuild, LimitsWrittenInTheirOrderThroughTheIniClass) {
  TIniFile ini(RefDir() + kLimitsFile);
  TStringList sections, keys;
  ini.ReadSections(sections);
  ASSERT_EQ(sections.Count(), 1);
  EXPECT_EQ(sections[0], "Limits");
  ini.ReadSection("Limits", keys);
  const std::vector<TIniEntry>& limits = Sources().Limits;
  ASSERT_EQ(keys.Count(), std::ssize(limits));
  for (int i = 0; i < keys.Count(); ++i) {
    EXPECT_EQ(keys[i], limits[static_cast<std::size_t>(i)].Key);
    EXPECT_EQ(ini.ReadFloat("Limits", keys[i], -1), StrToFloat(limits[static_cast<std::size_t>(i)].Value)) << keys[i];
  }
  // As the reference editor writes them: "." as the decimal separator.
  const std::string text = ReadBytes(SysRefDir() / "params.ini");
  EXPECT_NE(text.find("MaxRelEnDef=0.3"), std::string::npos) << text;
  EXPECT_NE(text.find("AFCCarb=4.6"), std::string::npos) << text;
  EXPECT_EQ(CheckLimits(ParseIniSection(text, "Limits", kLimitsFile)), TProblems{});
}

TEST_F(RefBuild, RebuildReplacesEveryFileWhole) {
  TempDir dir;
  const fs::path ref = fs::path(dir.SysPath()) / "Ref";
  fs::create_directories(ref);
  // Old tables of another content, and a stray file that is not ours.
  for (const AnsiString& name : RefDirFileNames()) WriteBytes(ref / name, "old");
  WriteBytes(ref / "notes.txt", "mine");
  ASSERT_TRUE(BuildRefDir(DataDir(), dir.Path() + "/Ref").empty());
  auto fresh = Snapshot(SysRefDir()), rebuilt = Snapshot(ref);
  EXPECT_EQ(rebuilt["notes.txt"], "mine");
  rebuilt.erase("notes.txt");
  ASSERT_EQ(rebuilt.size(), fresh.size());
  for (const auto& [name, bytes] : fresh) {
    SCOPED_TRACE(name);
    // The header's date and change stamp (bytes 1-3, 16-19) tell when the table was written.
    ASSERT_EQ(rebuilt[name].size(), bytes.size());
    if (name.ends_with(".DBF")) {
      EXPECT_EQ(rebuilt[name].substr(4, 12), bytes.substr(4, 12));
      EXPECT_EQ(rebuilt[name].substr(20), bytes.substr(20));
    } else {
      EXPECT_EQ(rebuilt[name], bytes);
    }
  }
}

// A copy of data/ with one text replaced; the 1-based line of the change.
int MutatedCopy(const fs::path& to, const std::string& file, const std::string& from, const std::string& replacement) {
  fs::copy(TARNWICK_DATA_DIR, to, fs::copy_options::recursive);
  std::string text = ReadBytes(to / file);
  const std::size_t at = text.find(from);
  if (at == std::string::npos) return 0;
  text.replace(at, from.size(), replacement);
  WriteBytes(to / file, text);
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
}

struct BadSource {
  const char* what;
  const char* file;
  const char* from;
  const char* to;
  const char* expected;  // "@" stands for "<file>:<line of the change>"
};

const BadSource kBadSources[] = {
    {"energy of a product", "products.txt", "Гречка ядрица                                 |    308",
     "Гречка ядрица                                 |    908", "@ (Гречка ядрица): энергия 908"},
    {"a letter in a number", "products.txt", "Гречка ядрица                                 |    308",
     "Гречка ядрица                                 |    3o8", "@: поле CAL: \"3o8\" не число"},
    {"a dish composition changed", "dishcomp.txt", "101 |         1001 |        80", "101 |         1001 |        90",
     "(Каша гречневая с тушёнкой): значения порции не равны суммам по составу"},
    {"a component of no product", "dishcomp.txt", "101 |         1001 |        80", "101 |         9999 |        80",
     "@: PRODCODE 9999"},
    {"a meal missing", "meal.txt", "| Ужин            |", "| Ужин поздний    |", "meal.txt: нет трапезы \"Ужин\""},
    {"the default kind of trip missing", "energo.txt", "| Пешеходный   |", "| Пеший        |", "Пешеходный; 1 к.с."},
    {"a limit other than its default", "params.ini", "AFCFat=1.2", "AFCFat=1.3", "@: AFCFat = 1.3"},
};

std::string Expected(const BadSource& c, int line) {
  std::string e = c.expected;
  if (std::size_t at = e.find('@'); at != std::string::npos)
    e.replace(at, 1, std::string(c.file) + ":" + std::to_string(line));
  return e;
}

TEST_F(RefBuild, SourcesThatFailTheChecksWriteNothing) {
  for (const BadSource& c : kBadSources) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path data = fs::path(dir.SysPath()) / "data";
    const int line = MutatedCopy(data, c.file, c.from, c.to);
    ASSERT_GT(line, 0) << "the text to change is no longer in " << c.file;
    // A reference directory holding an earlier build stays as it was; a missing one is not created.
    const fs::path ref = fs::path(dir.SysPath()) / "Ref";
    fs::copy(SysRefDir(), ref);
    const auto before = Snapshot(ref);
    const TProblems problems = BuildRefDir(AnsiPath(data.string()), AnsiPath(ref.string()));
    EXPECT_NE(Joined(problems).find(Expected(c, line)), std::string::npos) << Joined(problems);
    EXPECT_EQ(Snapshot(ref), before);
    const fs::path none = fs::path(dir.SysPath()) / "none" / "Ref";
    EXPECT_FALSE(BuildRefDir(AnsiPath(data.string()), AnsiPath(none.string())).empty());
    EXPECT_FALSE(fs::exists(none.parent_path()));
  }
}

TEST_F(RefBuild, UnreadableSourcesWriteNothing) {
  TempDir dir;
  const fs::path data = fs::path(dir.SysPath()) / "data";
  fs::copy(TARNWICK_DATA_DIR, data, fs::copy_options::recursive);
  fs::remove(data / "energo.txt");
  const fs::path ref = fs::path(dir.SysPath()) / "Ref";
  const TProblems problems = BuildRefDir(AnsiPath(data.string()), AnsiPath(ref.string()));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(Utf8(problems[0]).find("energo.txt"), std::string::npos) << Joined(problems);
  EXPECT_FALSE(fs::exists(ref));
}

TEST_F(RefBuild, AFailedWriteLeavesNoTemporaryFilesAndNoHalfTable) {
  TempDir dir;
  // The reference directory cannot be made: a file has its name.
  const fs::path blocked = fs::path(dir.SysPath()) / "Ref";
  WriteBytes(blocked, "a file");
  EXPECT_THROW(BuildRefDir(DataDir(), AnsiPath(blocked.string())), EInOutError);
  EXPECT_EQ(ReadBytes(blocked), "a file");

  // A table cannot be put in place: a directory holds its name.
  const fs::path ref = fs::path(dir.SysPath()) / "Ref2";
  fs::create_directories(ref / "dish.DBF" / "inside");
  EXPECT_THROW(BuildRefDir(DataDir(), AnsiPath(ref.string())), EInOutError);
  for (const auto& [name, bytes] : Snapshot(ref)) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(name.starts_with(".mkrefdata"));
    if (name == "dish.DBF") continue;
    // Whatever was put in place is a whole table.
    const std::string table = name.substr(0, name.size() - 4);
    DBO_dBaseFld t(AnsiPath((ref / name).string()), false, false);
    EXPECT_EQ(t.RecordCount(), std::ssize(SourceOf(table).Rows()));
  }
}

// The command-line tool: its status and its messages, in Russian, naming the row.
int RunTool(const std::string& args, const fs::path& messages) {
  const std::string command = std::string("'") + TW_MKREFDATA + "' " + args + " 2>'" + messages.string() + "'";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RefBuild, ToolRefusesBadSourcesWithTheirRows) {
  TempDir dir;
  const fs::path messages = fs::path(dir.SysPath()) / "messages.txt";
  EXPECT_EQ(RunTool("", messages), 2);
  EXPECT_NE(ReadBytes(messages).find("Использование: mkrefdata"), std::string::npos);

  const fs::path data = fs::path(dir.SysPath()) / "data";
  const BadSource& bad = kBadSources[0];
  const int line = MutatedCopy(data, bad.file, bad.from, bad.to);
  const fs::path ref = fs::path(dir.SysPath()) / "out" / "Ref";
  EXPECT_EQ(RunTool("'" + data.string() + "' '" + ref.string() + "'", messages), 1);
  EXPECT_NE(ReadBytes(messages).find(Expected(bad, line)), std::string::npos) << ReadBytes(messages);
  EXPECT_FALSE(fs::exists(ref));

  EXPECT_EQ(RunTool(std::string("'") + TARNWICK_DATA_DIR + "' '" + ref.string() + "'", messages), 0)
      << ReadBytes(messages);
  EXPECT_EQ(Snapshot(ref).size(), RefDirFileNames().size());
}

}  // namespace
