// Readable sources of the shipped reference tables (data/*.txt, described in
// data/README.md): one table per file, UTF-8 text, a header line of NAME:TYPE field
// declarations, then one row per line with the values separated by "|". The same
// reader serves the data checks and the tool that builds the DBF tables from them.
// No Qt: values come out as 1251 text, converted with the platform's own tables.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/core/AnsiText.h"
#include "platform/core/SysUtils.h"

namespace refdata {

// A source that cannot be read: the message names the file and line ("products.txt:12: ...").
TW_DECLARE_EXCEPTION(ERefSourceError, Exception)

struct TRefField {
  AnsiString Name;   // a dBase field name: upper-case Latin letters, digits, "_"; at most 10
  char Type = 'C';   // 'C' text, 'N' number
  int Width = 0;     // characters of the DBF field
  int Decimals = 0;  // digits after the point of an 'N' field
};

struct TRefRow {
  int Line = 0;                    // line number in the source, from 1
  std::vector<AnsiString> Values;  // one per field, 1251, trimmed; empty is a blank field
};

class TRefSource {
 public:
  // `sourceName` appears in messages (usually the file name without its directory).
  static TRefSource Parse(std::string_view utf8, const AnsiString& sourceName);
  static TRefSource LoadFromFile(const AnsiString& fileName);

  const AnsiString& Name() const { return name_; }
  const std::vector<TRefField>& Fields() const { return fields_; }
  const std::vector<TRefRow>& Rows() const { return rows_; }

  int FieldIndex(std::string_view name) const;  // -1 when the table has no such field
  const TRefField& Field(std::string_view name) const;

  // Values by field name; a missing field raises ERefSourceError. A blank number is 0,
  // as the table reads it.
  bool IsBlank(const TRefRow& row, std::string_view field) const;
  const AnsiString& Text(const TRefRow& row, std::string_view field) const;
  std::int32_t Int(const TRefRow& row, std::string_view field) const;
  double Float(const TRefRow& row, std::string_view field) const;

  // "products.txt:12", for messages about a row.
  AnsiString Where(const TRefRow& row) const;

 private:
  int Index(std::string_view name) const;

  AnsiString name_;
  std::vector<TRefField> fields_;
  std::vector<TRefRow> rows_;
};

// One "key=value" line of an ini file section, in file order.
struct TIniEntry {
  AnsiString Key;
  AnsiString Value;
  int Line = 0;
};

// The entries of `section` (found caselessly) of an ini text; empty when the section
// is missing. Lines outside a "key=value" form raise ERefSourceError.
std::vector<TIniEntry> ParseIniSection(std::string_view text, std::string_view section,
                                       const AnsiString& sourceName);

// A whole file as bytes; ERefSourceError when it cannot be read.
std::string ReadWholeFile(const AnsiString& fileName);

}  // namespace refdata
