// CDX tags of the GENERAL collation (keys computed by hand from the weight tables, a file
// written byte by byte as another dBase program would, keys kept up to date through
// appends, rewrites, deletions, Reindex and Pack and read back by a reader of the node
// layout written here), key lengths that differ from the current record's key, seeks on
// descending tags and a damaged leaf.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>

#include "TablesTestSupport.h"
#include "tables/DbfDB.h"
#include "tables/db_cdx.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"

namespace {

using tables_test::Message;
using tables_test::ReadBytes;
using tables_test::WriteBytes;

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

std::string Hex(const std::string& s) {
  std::string out;
  char buf[4];
  for (char c : s) {
    std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(c));
    out += buf;
  }
  return out;
}

// --- The weights ---------------------------------------------------------------------------------

struct GeneralCase {
  const char* text;
  std::string key;
};

// Each key worked out from the primary and secondary tables, the expansion table and the
// 0x80 rule.
const std::vector<GeneralCase>& GeneralCases() {
  static const std::vector<GeneralCase> cases = {
      // Plain letters: secondaries 0x20 give 0xF0 bytes, all trailing, all dropped.
      {"STRASSE", Bytes({0x76, 0x77, 0x75, 0x60, 0x76, 0x76, 0x66})},
      // Sharp s expands to the weights of SS; its 0x80 secondary gives F0 F0, dropped.
      {"Stra\xDF" "e", Bytes({0x76, 0x77, 0x75, 0x60, 0x76, 0x76, 0x66})},
      // e acute: the weight of E and secondary 0x21, which keeps the F0 bytes before it.
      {"Caf\xE9", Bytes({0x62, 0x60, 0x67, 0x66, 0xF0, 0xF0, 0xF1})},
      // AE ligature: two primaries, and two secondaries from its expansion entry.
      {"\xC6\xE9", Bytes({0x60, 0x66, 0x66, 0xF0, 0xF0, 0xF1})},
      // Thorn: TH, and its expansion entry's zero secondaries give nothing.
      {"\xDE\xE9", Bytes({0x77, 0x69, 0x66, 0xF1})},
      {"TH\xC9", Bytes({0x77, 0x69, 0x66, 0xF1})},
      // OE ligature (primary 0) before A grave (secondary 0x22).
      {"\x8C\xC0", Bytes({0x72, 0x66, 0x60, 0xF0, 0xF0, 0xF2})},
      // A low quote: primary 0x18, whose expansion entry is not set, stays one weight.
      {"a\x82" "b", Bytes({0x60, 0x18, 0x61})},
      {"\xC0", Bytes({0x60, 0xF2})},
      {"abc", Bytes({0x60, 0x61, 0x62})},
      {"ABC", Bytes({0x60, 0x61, 0x62})},
      {"\xC6on", Bytes({0x60, 0x66, 0x72, 0x70})},
      {"\xE9t\xE9", Bytes({0x66, 0x77, 0x66, 0xF1, 0xF1})},
  };
  return cases;
}

std::string HandKey(std::string_view text) {
  for (const GeneralCase& c : GeneralCases())
    if (text == c.text) return c.key;
  ADD_FAILURE() << "no hand-computed key for " << text;
  return {};
}

TEST(TablesCdxGeneral, KeysFollowTheWeightTables) {
  for (const GeneralCase& c : GeneralCases())
    EXPECT_EQ(Hex(DBobjCDXTag::GeneralKey(c.text)), Hex(c.key)) << c.text;
}

// --- A reader and a writer of the node layout ------------------------------------------------------

std::uint32_t LE(const std::string& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

std::uint32_t BE(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

void PutLE(std::string& b, std::size_t at, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// Trailing bytes of 0xF0 and above as their low four bits, and back.
std::string ToNode(std::string key) {
  for (auto it = key.rbegin(); it != key.rend() && static_cast<std::uint8_t>(*it) >= 0xF0; ++it) *it &= 0x0F;
  return key;
}

std::string FromNode(std::string key, bool general) {
  while (!key.empty() && key.back() == ' ') key.pop_back();
  if (!general) return key;
  for (auto it = key.rbegin(); it != key.rend() && static_cast<std::uint8_t>(*it) <= 0x0F; ++it)
    *it = static_cast<char>(*it | 0xF0);
  return key;
}

using KeyList = std::vector<std::pair<std::string, std::int64_t>>;

// The keys of a tag in node order, read from its root: interior entries lead to their
// children, leaf entries are unpacked (blank-padded 'C' keys).
void ReadNode(const std::string& file, std::int64_t block, int keyLength, bool general, KeyList& out, int depth = 0) {
  ASSERT_LT(depth, 16);
  ASSERT_LE(static_cast<std::size_t>(block) + 512, file.size());
  const auto at = static_cast<std::size_t>(block);
  const int attr = static_cast<int>(LE(file, at, 2)), count = static_cast<int>(LE(file, at + 2, 2));
  if ((attr & 2) == 0) {
    for (int i = 0; i < count; ++i) {
      const std::size_t e = at + 12 + static_cast<std::size_t>(i * (keyLength + 8));
      ReadNode(file, BE(file, e + static_cast<std::size_t>(keyLength) + 4), keyLength, general, out, depth + 1);
    }
    return;
  }
  const std::uint32_t recMask = LE(file, at + 14, 4);
  const int dupBits = static_cast<std::uint8_t>(file[at + 21]), trailBits = static_cast<std::uint8_t>(file[at + 22]);
  const int bytes = static_cast<std::uint8_t>(file[at + 23]);
  std::string prev;
  std::size_t tailEnd = at + 512;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t w = LE(file, at + 24 + static_cast<std::size_t>(i * bytes) + static_cast<std::size_t>(bytes - 2), 2);
    const int trail = static_cast<int>(w >> (16 - trailBits)) & ((1 << trailBits) - 1);
    const int dup = static_cast<int>(w >> (16 - trailBits - dupBits)) & ((1 << dupBits) - 1);
    const std::uint32_t rec = LE(file, at + 24 + static_cast<std::size_t>(i * bytes), std::min(bytes, 4)) & recMask;
    const int tail = keyLength - dup - trail;
    tailEnd -= static_cast<std::size_t>(tail);
    std::string full = prev.substr(0, static_cast<std::size_t>(dup)) + file.substr(tailEnd, static_cast<std::size_t>(tail)) +
                       std::string(static_cast<std::size_t>(trail), ' ');
    out.emplace_back(FromNode(full, general), rec);
    prev = full;
  }
}

// A root leaf with keys (in node form, blank-padded 'C' keys) for record numbers below 2^14.
std::string RootLeaf(const KeyList& keys, int keyLength) {
  std::string n(512, '\0');
  int k = 0;
  while (keyLength >= (1 << k)) ++k;
  const int recBits = 24 - 2 * k;
  PutLE(n, 0, 3, 2);
  PutLE(n, 2, static_cast<std::uint32_t>(keys.size()), 2);
  PutLE(n, 4, 0xFFFFFFFF, 4);
  PutLE(n, 8, 0xFFFFFFFF, 4);
  PutLE(n, 14, (1u << recBits) - 1, 4);
  n[18] = n[19] = static_cast<char>((1 << k) - 1);
  n[20] = static_cast<char>(recBits);
  n[21] = n[22] = static_cast<char>(k);
  n[23] = 3;
  std::string prev;
  std::size_t tailEnd = 512;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::string full = keys[i].first;
    full.resize(static_cast<std::size_t>(keyLength), ' ');
    std::size_t trail = 0;
    while (trail < full.size() && full[full.size() - 1 - trail] == ' ') ++trail;
    std::size_t dup = 0;
    while (i > 0 && dup < full.size() - trail && full[dup] == prev[dup]) ++dup;
    const std::size_t tail = full.size() - dup - trail;
    tailEnd -= tail;
    n.replace(tailEnd, tail, full.substr(dup, tail));
    PutLE(n, 24 + i * 3,
          static_cast<std::uint32_t>(keys[i].second) | static_cast<std::uint32_t>(dup << (24 - 2 * k)) |
              static_cast<std::uint32_t>(trail << (24 - k)),
          3);
    prev = full;
  }
  PutLE(n, 12, static_cast<std::uint32_t>(tailEnd - 24 - keys.size() * 3), 2);
  return n;
}

std::string TagHeader(std::int64_t root, int keyLength, std::uint8_t options, bool general, const std::string& expr) {
  std::string h(1024, '\0');
  PutLE(h, 0, static_cast<std::uint32_t>(root), 4);
  PutLE(h, 12, static_cast<std::uint32_t>(keyLength), 2);
  h[14] = static_cast<char>(options);
  h[15] = general ? 2 : 1;
  if (general) h.replace(494, 7, "GENERAL");
  PutLE(h, 504, static_cast<std::uint32_t>(expr.size() + 1), 2);
  PutLE(h, 506, 1, 2);
  PutLE(h, 510, static_cast<std::uint32_t>(expr.size() + 1), 2);
  h.replace(512, expr.size(), expr);
  return h;
}

// The tag named `name` in a CDX file: its header offset from the directory; -1 when none.
std::int64_t TagHeaderOffset(const std::string& file, const std::string& name) {
  KeyList dir;
  ReadNode(file, LE(file, 0, 4), static_cast<int>(LE(file, 12, 2)), false, dir);
  for (const auto& [n, offset] : dir)
    if (n == name) return offset;
  return -1;
}

KeyList TagKeys(const std::string& file, const std::string& name) {
  const std::int64_t h = TagHeaderOffset(file, name);
  KeyList keys;
  if (h < 0) return keys;
  const auto at = static_cast<std::size_t>(h);
  const bool general = file.compare(at + 494, 8, std::string("GENERAL\0", 8)) == 0;
  ReadNode(file, LE(file, at, 4), static_cast<int>(LE(file, at + 12, 2)), general, keys);
  return keys;
}

// (key, record) in key order, equal keys by record number.
KeyList Sorted(KeyList keys) {
  std::sort(keys.begin(), keys.end());
  return keys;
}

// A CDX file with a directory and one GENERAL tag on NAME (key length 20) holding `keys`
// (in key order), each with a root leaf.
std::string GeneralFile(const KeyList& keys) {
  KeyList nodeKeys;
  for (const auto& [k, r] : keys) nodeKeys.emplace_back(ToNode(k), r);
  return TagHeader(1024, 10, 0xE0, false, "") + RootLeaf({{"NAME", 1536}}, 10) +
         TagHeader(2560, 20, 0x60, true, "NAME") + RootLeaf(nodeKeys, 20);
}

// --- GENERAL tags in files ------------------------------------------------------------------------

class TablesCdxGeneralFile : public ::testing::Test {
 protected:
  AnsiString MakeTable(const std::vector<std::string>& names) {
    CreateDbfTable(Table(), 0x03, {{"NAME", 'C', 12}, {"CODE", 'N', 5}}, {.Overwrite = true});
    DBO_dBHandler h(Table(), false, true);
    for (const std::string& n : names) Append(h, n);
    return Table();
  }
  static void Append(DBO_dBHandler& h, const std::string& name) {
    h.BlankRecord();
    h.FieldPut(1, name);
    h.Append();
  }
  AnsiString Table() const { return dir_.Path() + "/g.dbf"; }
  std::string Cdx() const { return dir_.SysPath() + "/G.CDX"; }
  AnsiString CdxName() const { return dir_.Path() + "/g.cdx"; }
  // (key, record) read through the master tag, and the records in walk order both ways.
  static KeyList Walk(DBO_dBHandler& h) {
    KeyList got;
    for (h.GetRecord(dbp::First); !h.Eof() && got.size() < 5000; h.GetRecord(dbp::Next))
      got.emplace_back(h.MasterTag()->CurrentKey(), h.RecNo());
    std::vector<std::int64_t> back;
    for (h.GetRecord(dbp::Last); !h.Bof() && back.size() < 5000; h.GetRecord(dbp::Previous))
      back.push_back(h.RecNo());
    std::reverse(back.begin(), back.end());
    std::vector<std::int64_t> forth;
    for (const auto& k : got) forth.push_back(k.second);
    EXPECT_EQ(back, forth);
    return got;
  }
  TempDir dir_;
};

// A file as another dBase program writes it: a directory and one GENERAL tag on NAME,
// each with a root leaf, built here byte by byte.
TEST_F(TablesCdxGeneralFile, AForeignGeneralTagIsWalkedSoughtAndKeptUpToDate) {
  const std::vector<std::string> names = {"Stra\xDF" "e", "Caf\xE9", "\xC6\xE9", "\xDE\xE9",
                                          "\x8C\xC0",      "a\x82" "b", "\xC0",    "abc"};
  MakeTable(names);
  KeyList want;
  for (std::size_t i = 0; i < names.size(); ++i) want.emplace_back(HandKey(names[i]), i + 1);
  want = Sorted(want);
  WriteBytes(Cdx(), GeneralFile(want));
  ASSERT_EQ(TagKeys(ReadBytes(Cdx()), "NAME"), want);  // the reader reads the writer
  DBO_dBHandler h(Table(), false, true);
  ASSERT_EQ(h.IndexOpen(CdxName()), 0);
  ASSERT_EQ(h.SetTagTo("NAME", false), 1);
  EXPECT_EQ(Walk(h), want);
  // Sought texts in GENERAL form: case, expansions and accents as the weights have them.
  struct Seek {
    const char* text;
    bool exact;
    std::int64_t rec;
  };
  for (const Seek& s : {Seek{"STRASSE", true, 1}, Seek{"strasse", true, 1}, Seek{"TH\xC9", true, 4},
                        Seek{"cafe", false, 2}, Seek{"\xC0", true, 7}, Seek{"ABC", true, 8}}) {
    h.ExactMatch = s.exact;
    EXPECT_TRUE(h.FindKey(s.text)) << s.text;
    EXPECT_EQ(h.RecNo(), s.rec) << s.text;
  }
  h.ExactMatch = true;
  EXPECT_FALSE(h.FindKey("cafe"));  // Café has a secondary weight that cafe has not
  // A case-sensitive search by the field does not rely on the caseless tag.
  EXPECT_TRUE(h.MasterTag()->CollatedKeys());
  // Upkeep: a rewrite, an append, a deletion.
  h.GetRecord(8);
  h.FieldPut(1, "\xC6on");
  h.PutRecord(8);
  Append(h, "\xE9t\xE9");
  h.GetRecord(3);
  h.Delete();
  want.clear();
  std::vector<std::string> now = names;
  now[7] = "\xC6on";
  now.push_back("\xE9t\xE9");
  for (std::size_t i = 0; i < now.size(); ++i) want.emplace_back(HandKey(now[i]), i + 1);
  want = Sorted(want);
  h.ShowDeleted = true;
  EXPECT_EQ(Walk(h), want);
  h.IndexFile(1)->FlushIndex();
  EXPECT_EQ(TagKeys(ReadBytes(Cdx()), "NAME"), want);
  // Rebuilt, the tag stays GENERAL with the same keys.
  h.Reindex();
  const std::string rebuilt = ReadBytes(Cdx());
  const auto header = static_cast<std::size_t>(TagHeaderOffset(rebuilt, "NAME"));
  EXPECT_EQ(rebuilt[header + 15], 2);
  EXPECT_EQ(rebuilt.substr(header + 494, 8), std::string("GENERAL\0", 8));
  EXPECT_EQ(TagKeys(rebuilt, "NAME"), want);
  EXPECT_EQ(Walk(h), want);
  // Packed: the deleted record goes, the records after it move down by one.
  h.Pack();
  KeyList packed;
  for (const auto& [k, r] : want)
    if (r != 3) packed.emplace_back(k, r > 3 ? r - 1 : r);
  EXPECT_EQ(Walk(h), packed);
  EXPECT_EQ(TagKeys(ReadBytes(Cdx()), "NAME"), packed);
}

TEST_F(TablesCdxGeneralFile, TagsMadeHereAreMachineAndAGeneralTagKeepsManyKeysInOrder) {
  // Names of letters that expand, carry accents or differ only in case.
  const char alphabet[] = "aAeEbBsS\xE9\xC9\xDF\xC6\xE6\xDE\x8C\xC0\xE0";
  std::mt19937 rng(17);
  auto name = [&] {
    std::string n(1 + rng() % 12, ' ');
    for (char& c : n) c = alphabet[rng() % (sizeof alphabet - 1)];
    return n;
  };
  std::vector<std::string> names;
  for (int i = 0; i < 700; ++i) names.push_back(name());
  MakeTable(names);
  {
    DBO_dBHandler h(Table(), false, true);
    DBobjCDXFile f(&h, "g", true, true);
    DBobjCDXTag* tag = f.AddTag("NAME", "NAME", "", false, false);
    ASSERT_NE(tag, nullptr);
    EXPECT_FALSE(tag->General());
  }
  std::string bytes = ReadBytes(Cdx());
  const auto header = static_cast<std::size_t>(TagHeaderOffset(bytes, "NAME"));
  EXPECT_EQ(bytes[header + 15], 1);
  EXPECT_EQ(bytes.substr(header + 494, 8), std::string(8, '\0'));
  // The same tag said to be GENERAL, rebuilt by the engine.
  bytes[header + 15] = 2;
  bytes.replace(header + 494, 7, "general");
  WriteBytes(Cdx(), bytes);
  const int keyLength = 12;
  auto keyOf = [&](const std::string& n) {
    std::string t = n;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    std::string k = DBobjCDXTag::GeneralKey(t);
    k.resize(std::min<std::size_t>(k.size(), keyLength));
    while (!k.empty() && k.back() == ' ') k.pop_back();
    return k;
  };
  DBO_dBHandler h(Table(), false, true);
  h.ShowDeleted = true;
  ASSERT_EQ(h.IndexOpen(CdxName()), 0);
  ASSERT_EQ(h.SetTagTo("NAME", false), 1);
  h.Reindex();
  for (int op = 0; op < 600; ++op) {
    if (rng() % 2) {
      names.push_back(name());
      Append(h, names.back());
    } else {
      const auto n = 1 + rng() % names.size();
      names[n - 1] = name();
      h.GetRecord(static_cast<std::int64_t>(n));
      h.FieldPut(1, names[n - 1]);
      h.PutRecord(static_cast<std::int64_t>(n));
    }
  }
  KeyList want;
  for (std::size_t i = 0; i < names.size(); ++i) want.emplace_back(keyOf(names[i]), i + 1);
  want = Sorted(want);
  EXPECT_EQ(Walk(h), want);
  h.IndexFile(1)->FlushIndex();
  const std::string after = ReadBytes(Cdx());
  const KeyList read = TagKeys(after, "NAME");
  EXPECT_EQ(read, want);
  // More than one level: the interior entries carry keys in node form too.
  EXPECT_EQ(static_cast<std::uint8_t>(after[LE(after, TagHeaderOffset(after, "NAME"), 4)]) & 2, 0);
  // A tag added now is MACHINE; the GENERAL one stays so.
  h.CloseIndexes();
  DBobjCDXFile f(&h, "g");
  ASSERT_TRUE(f.HeaderValid());
  ASSERT_EQ(f.TagCount(), 1);
  EXPECT_TRUE(static_cast<DBobjCDXTag*>(f.TagBase(0))->General());
  EXPECT_FALSE(f.AddTag("UP", "UPPER(NAME)", "", false, false)->General());
}

// The tag finds "ABC" and "abc" alike: a case-sensitive Locate by the field searches the
// records instead.
TEST_F(TablesCdxGeneralFile, ALocateByTheFieldDoesNotGoThroughTheCaselessTag) {
  MakeTable({"abc", "ABC"});
  WriteBytes(Cdx(), GeneralFile({{HandKey("abc"), 1}, {HandKey("ABC"), 2}}));
  TDbfDataSet d;
  d.SetDatabaseName(dir_.Path());
  d.SetTableName("g");
  d.IndexFiles().Add("g.cdx");
  d.SetIndexName("NAME");
  d.Open();
  EXPECT_TRUE(d.Locate("NAME", Variant("ABC"), {}));
  EXPECT_EQ(d.FieldByName("NAME").AsString(), "ABC");
  EXPECT_EQ(d.MasterTagName(), "NAME");
}

// --- Key lengths, seeks, damaged leaves ----------------------------------------------------------

// The header's key length holds whatever the current record's key is when the file opens.
TEST_F(TablesCdxGeneralFile, AKeyShorterOnTheCurrentRecordThanTheHeaderSaysOpens) {
  MakeTable({"ABCDEFGHIJKL", "B", "CC"});
  {
    DBO_dBHandler h(Table(), false, true);
    h.GetRecord(1);
    DBobjCDXFile f(&h, "g", true, true);
    ASSERT_EQ(f.AddTag("T", "TRIM(NAME)", "", false, false)->KeyLength(), 12);
  }
  {
    DBO_dBHandler h(Table(), false, true);
    ASSERT_EQ(h.IndexOpen(CdxName()), 0);
    h.GetRecord(1);
    h.FieldPut(1, "A");
    h.PutRecord(1);
  }
  DBO_dBHandler h(Table(), false, true);
  h.GetRecord(1);
  ASSERT_EQ(h.IndexOpen(CdxName()), 0);
  ASSERT_EQ(h.SetTagTo("T", false), 1);
  EXPECT_EQ(static_cast<DBobjIndexTagBase*>(h.MasterTag())->KeyLength(), 12);
  EXPECT_EQ(Walk(h), (KeyList{{"A", 1}, {"B", 2}, {"CC", 3}}));
  h.GetRecord(1);
  h.FieldPut(1, "ZZZZZZZZZZZZ");
  h.PutRecord(1);
  EXPECT_TRUE(h.FindKey("ZZZZZZZZZZZZ"));
  EXPECT_EQ(h.RecNo(), 1);
}

TEST_F(TablesCdxGeneralFile, ASeekPastEveryKeySetsTheEndFlagInBothOrders) {
  DBO_dBHandler h(MakeTable({"B", "A", "C"}), false, true);
  DBobjCDXFile f(&h, "g", true, true);
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending);
    DBobjCDXTag* tag = f.AddTag(descending ? "DOWN" : "UP", "NAME", "", false, descending);
    EXPECT_FALSE(tag->SeekKey("D"));
    EXPECT_TRUE(tag->Eof());
    EXPECT_FALSE(tag->Bof());
    EXPECT_TRUE(tag->SeekKey("B"));
    EXPECT_FALSE(tag->Eof());
    EXPECT_FALSE(tag->Bof());
  }
}

// A leaf saying 8 bytes per entry and no trailing-count bits (or none for the duplicate
// count) is damaged: the engine's error, not a shift past the entry's width.
TEST_F(TablesCdxGeneralFile, ALeafWithoutCountBitsIsDamaged) {
  MakeTable({"B", "A", "C"});
  std::int64_t root = 0;
  {
    DBO_dBHandler h(Table(), false, true);
    DBobjCDXFile f(&h, "g", true, true);
    root = f.AddTag("NAME", "NAME", "", false, false)->RootBlock();
  }
  const std::string sound = ReadBytes(Cdx());
  for (const auto& bits : {std::pair{8, 0}, std::pair{0, 8}}) {
    std::string bytes = sound;
    bytes[static_cast<std::size_t>(root) + 21] = static_cast<char>(bits.first);
    bytes[static_cast<std::size_t>(root) + 22] = static_cast<char>(bits.second);
    bytes[static_cast<std::size_t>(root) + 23] = 8;
    WriteBytes(Cdx(), bytes);
    DBO_dBHandler h(Table(), false, true);
    ASSERT_EQ(h.IndexOpen(CdxName()), 0);
    EXPECT_NE(Message([&] {
                h.SetTagTo("NAME", false);
                h.GetRecord(dbp::First);
              }).find("2112"),
              std::string::npos);
  }
}

}  // namespace
