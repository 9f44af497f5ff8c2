// The table builder: writes an empty dBase table of a given version and field list,
// with its empty memo file when the table has one. The engine itself opens, reads
// and writes tables but never creates them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/AnsiText.h"

struct TdbFieldDef {
  AnsiString Name;  // up to 10 characters, table bytes; stored upper-cased (ASCII letters)
  char Type = 'C';  // C D F L M N, B G; I T Y in version 0x30
  int Length = 0;   // 0: the type's fixed length (D 8, L 1, M B G 10 or the 0x30 widths, I 4, T 8, Y 8)
  int Decimals = 0;
};

struct TdbCreateOptions {
  std::int64_t MemoBlockSize = 0;      // 0: 512 for ".DBT", 64 for ".FPT"
  bool Overwrite = false;              // replace an existing table (never one another process holds)
  std::uint8_t LanguageDriver = 0x65;  // header byte 29: code page 866
};

// Versions: 0x03 (no memo), 0x83 (dBase III memo), 0x8B (dBase IV memo), 0xF5 (FoxPro
// memo), 0x30 (raw numeric types; ".FPT" memo when a field needs one). Raises EDbfError
// with a readable text for an unusable definition, and the engine's file errors.
void CreateDbfTable(std::string_view fileName, std::uint8_t version, const std::vector<TdbFieldDef>& fields,
                    const TdbCreateOptions& options = {});

// An empty memo file for the table `tableName` of that version (the name comes from
// the table's: its extension replaced by ".DBT" or ".FPT").
void CreateMemoFile(std::string_view tableName, std::uint8_t version, std::int64_t blockSize = 0,
                    bool overwrite = false);

// Whether a table of that version with these fields has a memo file.
bool TableHasMemo(std::uint8_t version, const std::vector<TdbFieldDef>& fields);
