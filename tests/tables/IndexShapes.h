// Index files of odd shapes, as a damaged or hostile file may hold them, for the tests and
// the index fuzz target: a tree whose interior pages lead several times to the same child
// (no cycle, but a walk that multiplies its keys), and an index holding more keys than
// its table has records.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/core/Files.h"
#include "tables/db_cdx.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"
#include "tables/db_mdx.h"
#include "tables/db_ndx.h"
#include "tables/db_ntx.h"

namespace index_shapes {

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline void PutLE(std::string& b, std::int64_t at, std::uint32_t v, int size) {
  for (int i = 0; i < size; ++i) b[static_cast<std::size_t>(at + i)] = static_cast<char>(v >> (8 * i));
}

inline void PutBE32(std::string& b, std::int64_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[static_cast<std::size_t>(at + i)] = static_cast<char>(v >> (8 * (3 - i)));
}

inline std::uint32_t GetLE(const std::string& b, std::int64_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[static_cast<std::size_t>(at + i)]);
  return v;
}

// A table `dir`/T.DBF of `records` records with one field NAME C(4): "K000", "K001", ...
inline AnsiString WriteTable(const AnsiString& dir, int records) {
  const AnsiString name = dir + "/T.DBF";
  CreateDbfTable(name, 0x03, {{"NAME", 'C', 4}}, {.Overwrite = true});
  DBO_dBaseFld t(name, false, true);
  for (int i = 0; i < records; ++i) {
    char text[8];
    std::snprintf(text, sizeof text, "K%03d", i % 1000);
    t.BlankRecord();
    t.FieldPut(1, text);
    t.Append();
  }
  return name;
}

// Cuts the table to its first `records` records (header count and file), as if records
// had gone while its index stayed.
inline void CutTable(const AnsiString& table, int records) {
  std::string b = ReadFileBytes(SysPath(table));
  const std::int64_t header = GetLE(b, 8, 2), length = GetLE(b, 10, 2);
  PutLE(b, 4, static_cast<std::uint32_t>(records), 4);
  b.resize(static_cast<std::size_t>(header + records * length));
  b.push_back('\x1A');
  WriteFileBytes(SysPath(table), b);
}

// Where an index of one tag on NAME keeps what a crafted page needs.
struct IndexLayout {
  AnsiString path;
  char format = 'C';          // C(DX), N(TX), D (NDX), M(DX)
  std::int64_t rootAt = 0;    // file offset of the tag's root link (4 bytes)
  std::int64_t pageBytes = 0;
  std::int64_t scale = 1;     // a link times this is the page's offset
  std::int64_t keyLength = 0;
  std::int64_t itemSize = 0;  // NDX, MDX, NTX
  std::int64_t maxKeys = 0;   // NTX
};

// Builds an index of one tag NAME on NAME over `table` in the format of `ext` (".CDX",
// ".NTX", ".NDX", ".MDX") in `dir`.
inline IndexLayout WriteIndex(const AnsiString& table, const AnsiString& dir, std::string_view ext) {
  DBO_dBHandler h(table, false, true);
  IndexLayout l;
  if (ext == ".CDX") {
    DBobjCDXFile f(&h, dir + "/I.CDX", true, true);
    DBobjCDXTag* tag = f.AddTag("NAME", "NAME", "", false, false);
    l = {f.IndexFileName(), 'C', tag->HeaderOffset(), DBobjCDXTag::kBlock, 1, tag->KeyLength(), 0, 0};
  } else if (ext == ".NTX") {
    DBobjNTXFile f(&h, dir + "/I.NTX", true, true);
    DBobjNTXTag* tag = f.AddTag("NAME", "", false, false);
    l = {f.IndexFileName(), 'N', 4, DBobjNTXTag::kPage, 1, tag->KeyLength(), tag->ItemSize(), tag->MaxKeys()};
  } else if (ext == ".NDX") {
    DBobjNDXFile f(&h, dir + "/I.NDX", true, true);
    DBobjNDXTag* tag = f.AddTag("NAME", false);
    l = {f.IndexFileName(), 'D', 0, DBobjNDXTag::kPage, DBobjNDXTag::kPage, tag->KeyLength(), 0, 0};
  } else {
    DBobjMDXFile f(&h, dir + "/I.MDX", true, true);
    DBobjMDXTag* tag = f.AddTag("NAME", "NAME", "", false);
    l = {f.IndexFileName(), 'M', tag->HeaderUnit() * 512, f.BlockBytes(), 512, tag->KeyLength(), 0, 0};
  }
  const std::string b = ReadFileBytes(SysPath(l.path));
  if (l.format == 'D') l.itemSize = GetLE(b, 18, 2);
  if (l.format == 'M') l.itemSize = GetLE(b, l.rootAt + 18, 2);
  return l;
}

// Stacks `levels` interior pages over the tag's root, each leading `fanOut` times to the
// page below it, and makes the topmost the root: a walk from the first key would meet
// the old root's keys fanOut^levels times.
inline void StackSharedChildren(const IndexLayout& l, int levels, int fanOut) {
  std::string b = ReadFileBytes(SysPath(l.path));
  std::uint32_t below = GetLE(b, l.rootAt, 4);
  const std::string high(static_cast<std::size_t>(l.keyLength), 'Z');  // above every key
  for (int level = 0; level < levels; ++level) {
    const std::int64_t offset = (static_cast<std::int64_t>(b.size()) + l.pageBytes - 1) / l.pageBytes * l.pageBytes;
    std::string page(static_cast<std::size_t>(l.pageBytes), '\0');
    const bool root = level + 1 == levels;
    switch (l.format) {
      case 'C':  // every entry carries a key, its record and its child
        PutLE(page, 0, root ? 1 : 0, 2);
        PutLE(page, 2, static_cast<std::uint32_t>(fanOut), 2);
        PutLE(page, 4, 0xFFFFFFFFu, 4);
        PutLE(page, 8, 0xFFFFFFFFu, 4);
        for (std::int64_t i = 12; i < l.pageBytes; ++i) page[static_cast<std::size_t>(i)] = ' ';
        for (int i = 0; i < fanOut; ++i) {
          const std::int64_t e = 12 + i * (l.keyLength + 8);
          page.replace(static_cast<std::size_t>(e), high.size(), high);
          PutBE32(page, e + l.keyLength, 1);
          PutBE32(page, e + l.keyLength + 4, below);
        }
        break;
      case 'N': {  // keys between the children; items through a table of offsets
        PutLE(page, 0, static_cast<std::uint32_t>(fanOut - 1), 2);
        const std::int64_t first = 2 * l.maxKeys + 4;
        for (std::int64_t i = 0; i <= l.maxKeys; ++i)
          PutLE(page, 2 + 2 * i, static_cast<std::uint32_t>(first + i * l.itemSize), 2);
        for (int i = 0; i < fanOut; ++i) {
          const std::int64_t e = first + i * l.itemSize;
          PutLE(page, e, below, 4);
          PutLE(page, e + 4, 1, 4);
          if (i + 1 < fanOut) page.replace(static_cast<std::size_t>(e + 8), high.size(), high);
        }
        break;
      }
      default: {  // NDX and MDX: keys and children, the last child without a key
        const std::int64_t start = l.format == 'D' ? 4 : 8, keyAt = l.format == 'D' ? 8 : 4;
        PutLE(page, 0, static_cast<std::uint32_t>(fanOut - 1), 4);
        for (int i = 0; i < fanOut; ++i) {
          const std::int64_t e = start + i * l.itemSize;
          PutLE(page, e, below, 4);
          if (i + 1 < fanOut) page.replace(static_cast<std::size_t>(e + keyAt), high.size(), high);
        }
        break;
      }
    }
    b.resize(static_cast<std::size_t>(offset), '\0');
    b += page;
    below = static_cast<std::uint32_t>(offset / l.scale);
  }
  PutLE(b, l.rootAt, below, 4);
  if (l.format == 'D') PutLE(b, 4, static_cast<std::uint32_t>(b.size() / 512), 4);  // next free page
  WriteFileBytes(SysPath(l.path), b);
}

}  // namespace index_shapes
