// Tables we write are plain dBase tables for an independent reader (Debian's
// python3-dbfread), and tables of an independent writer (Perl's XBase module,
// libdbd-xbase-perl) open in our engine.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

#include "TablesTestSupport.h"
#include "tables/db_DBF.h"
#include "tables/db_create.h"

namespace {

using tables_test::WriteBytes;

// Runs a command; its standard output, or nullopt when it fails.
std::optional<std::string> RunCommand(const std::string& command) {
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return std::nullopt;
  std::string out;
  char buf[4096];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  return ::pclose(p) == 0 ? std::optional(out) : std::nullopt;
}

bool Available(const std::string& probe) { return std::system((probe + " >/dev/null 2>&1").c_str()) == 0; }

constexpr const char* kPython = "/usr/bin/python3";

const char* kDump = R"(import sys
from dbfread import DBF
t = DBF(sys.argv[1], encoding='cp866', char_decode_errors='strict')
print('|'.join(f.name + ':' + f.type for f in t.fields))
for r in DBF(sys.argv[1], encoding='cp866', load=True, ignore_missing_memofile=False):
    print('|'.join(repr(v) for v in r.values()))
)";

TEST(TablesInterop, IndependentReaderReadsOurTables) {
  if (!Available(std::string(kPython) + " -c 'import dbfread'")) GTEST_SKIP() << "python3-dbfread is not installed";
  TempDir dir;
  WriteBytes(dir.SysPath() + "/dump.py", kDump);
  struct Case {
    std::uint8_t version;
    std::vector<TdbFieldDef> fields;
    const char* header;
  };
  const std::vector<TdbFieldDef> plain = {{"NAME", 'C', 20}, {"CAL", 'N', 6, 0}, {"FAT", 'N', 8, 2},
                                          {"BORN", 'D'},     {"OK", 'L'}};
  std::vector<TdbFieldDef> memo = plain;
  memo.push_back({"NOTE", 'M'});
  const Case cases[] = {
      {0x03, plain, "NAME:C|CAL:N|FAT:N|BORN:D|OK:L"},
      {0x83, memo, "NAME:C|CAL:N|FAT:N|BORN:D|OK:L|NOTE:M"},
      {0x30, memo, "NAME:C|CAL:N|FAT:N|BORN:D|OK:L|NOTE:M"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    const AnsiString name = dir.Path() + "/products.dbf";
    CreateDbfTable(name, c.version, c.fields, {.Overwrite = true});
    {
      DBO_dBaseFld t(name, false, true);
      const char* names[] = {"Гречка ядрица", "Сыр «Российский»", "Чай"};
      for (int i = 0; i < 3; ++i) {
        t.BlankRecord();
        t.FieldPut(1, cp::AnsiToOem(Ansi(names[i])));
        t.NumberPut(2, 300 + i);
        t.NumberPut(3, 12.5 * i);
        if (i != 2) t.DatePut(4, 2444240 + i);
        t.LogicPut(5, i == 1);
        if (c.fields.size() > 5 && i != 1) {
          AnsiString note = cp::AnsiToOem(Ansi("Заметка ")) + std::to_string(i);
          t.MemoWrite(6, note.data(), std::ssize(note));
        }
        t.Append();
      }
      t.GetRecord(3);
      t.Delete();  // dbfread skips deleted records
    }
    std::optional<std::string> out = RunCommand(std::string(kPython) + " " + dir.SysPath() + "/dump.py " + dir.SysPath() +
                                         "/products.dbf");
    ASSERT_TRUE(out);
    std::string expected = std::string(c.header) + "\n" +
                           "'Гречка ядрица'|300|0.0|datetime.date(1980, 1, 1)|False" +
                           (c.fields.size() > 5 ? "|'Заметка 0'" : "") + "\n" +
                           "'Сыр ?Российский?'|301|12.5|datetime.date(1980, 1, 2)|True" +
                           (c.fields.size() > 5 ? "|None" : "") + "\n";
    EXPECT_EQ(*out, expected);
  }
}

const char* kWrite = R"(use XBase;
my $t = XBase->create(name => $ARGV[0], version => 3,
  field_names => ['NAME', 'CAL', 'FAT', 'BORN', 'OK', 'NOTE'],
  field_types => ['C', 'N', 'N', 'D', 'L', 'M'],
  field_lengths => [20, 6, 8, 8, 1, 10],
  field_decimals => [0, 0, 2, 0, 0, 0]) or die XBase->errstr;
$t->set_record(0, $ARGV[1], 250, 3.25, '19991231', 1, 'first note') or die $t->errstr;
$t->set_record(1, 'plain', -7, -0.5, undef, 0, undef) or die $t->errstr;
$t->set_record(2, 'gone', 0, 0, '20000101', 0, 'x') or die $t->errstr;
$t->delete_record(2);
$t->close;
)";

TEST(TablesInterop, OurEngineReadsAnIndependentWriter) {
  if (!Available("perl -MXBase -e 1")) GTEST_SKIP() << "libdbd-xbase-perl is not installed";
  TempDir dir;
  WriteBytes(dir.SysPath() + "/write.pl", kWrite);
  const std::string oemName = cp::AnsiToOem(Ansi("Овсянка"));
  ASSERT_TRUE(RunCommand("perl " + dir.SysPath() + "/write.pl " + dir.SysPath() + "/FOODS '" + oemName + "'"));
  DBO_dBaseFld t(dir.Path() + "/foods", false, true);  // ".DBF" added, the upper-case file found
  ASSERT_EQ(t.FieldCount(), 6);
  EXPECT_TRUE(t.HasMemoFile());
  EXPECT_EQ(t.RecordCount(), 3);
  t.GetRecord(1);
  EXPECT_EQ(cp::OemToAnsi(TrimRight(t.FieldGetByName("NAME"))), Ansi("Овсянка"));
  EXPECT_EQ(t.NumberGetByName("CAL"), 250);
  EXPECT_EQ(t.NumberGetByName("FAT"), 3.25);
  EXPECT_EQ(t.DisplayTextByName("BORN"), "31.12.1999");
  EXPECT_TRUE(t.LogicGetByName("OK"));
  EXPECT_EQ(t.MemoRead(6), "first note");
  EXPECT_FALSE(t.IsDeleted());
  t.GetRecord(2);
  EXPECT_EQ(t.NumberGetByName("CAL"), -7);
  EXPECT_EQ(t.NumberGetByName("FAT"), -0.5);
  EXPECT_EQ(t.DateGetByName("BORN"), 0);
  EXPECT_FALSE(t.LogicGetByName("OK"));
  EXPECT_EQ(t.MemoRead(6), "");
  t.GetRecord(3);
  EXPECT_TRUE(t.IsDeleted());
  // And we can go on writing it: a memo appended after the other writer's.
  t.BlankRecord();
  t.FieldPut(1, "ours");
  ASSERT_TRUE(t.MemoWrite(6, "our note", 8));
  t.Append();
  t.GetRecord(1);
  t.GetRecord(4);
  EXPECT_EQ(t.MemoRead(6), "our note");
  t.GetRecord(1);
  EXPECT_EQ(t.MemoRead(6), "first note");
}

}  // namespace
