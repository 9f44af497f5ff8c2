// Ini files: sections of "Name=Value" lines. Section and value names are found without
// regard to case (1251), values are kept as strings, comments and blank lines survive a
// rewrite, and saving replaces the file atomically.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/AnsiText.h"

class TStringList;

// The text of an ini file in memory. Used by TIniFile and by the settings store.
//
// A value that would not survive the line format (control characters, blanks at either
// end, a leading quote) is written in double quotes with C escapes (\\ \" \n \r \t \xHH);
// names and section names likewise. Any other value is written as it is.
class TIniData {
 public:
  void Parse(std::string_view text);
  AnsiString Text() const;
  void Clear() { sections_.clear(); }

  bool SectionExists(std::string_view section) const { return Find(section) != nullptr; }
  // Section names in file order (the name as first written).
  std::vector<AnsiString> SectionNames() const;
  // Value names of a section in file order; empty when the section is missing.
  std::vector<AnsiString> ValueNames(std::string_view section) const;
  // The value, or nullptr when the section or the value is missing.
  const AnsiString* Value(std::string_view section, std::string_view name) const;

  // Creates the section when missing (at the end).
  void AddSection(std::string_view section);
  // Replaces the value in place or appends it to its section (created when missing).
  void SetValue(std::string_view section, std::string_view name, std::string_view value);
  bool DeleteValue(std::string_view section, std::string_view name);
  bool EraseSection(std::string_view section);
  // Removes every section for which pred(name) holds; returns how many.
  template <class Pred>
  int EraseSectionsIf(Pred pred) {
    int n = 0;
    for (auto it = sections_.begin(); it != sections_.end();) {
      if (it->named && pred(std::string_view(it->name))) {
        it = sections_.erase(it);
        ++n;
      } else {
        ++it;
      }
    }
    return n;
  }

 private:
  struct Line {
    bool isValue = false;
    AnsiString name;   // a value's name
    AnsiString value;  // a value's text, or the raw text of a comment or other line
  };
  struct Section {
    bool named = true;  // false for the lines before the first section header
    AnsiString name;
    std::vector<Line> lines;
  };
  const Section* Find(std::string_view section) const;
  Section* Find(std::string_view section);

  std::vector<Section> sections_;
};

// An ini file such as "params.ini". The file is read when the object is created (a missing
// or unreadable file reads as empty); writes change the copy in memory and `UpdateFile`
// saves it atomically.
class TFileSaveLock;

class TIniFile {
 public:
  explicit TIniFile(AnsiString fileName);

  const AnsiString& FileName() const { return fileName_; }
  bool Modified() const { return modified_; }

  AnsiString ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
  // A missing value or one that is not a number gives the default.
  std::int32_t ReadInteger(std::string_view section, std::string_view ident, std::int32_t def) const;
  // Accepts "." or "," as the decimal separator; only finite numbers.
  double ReadFloat(std::string_view section, std::string_view ident, double def) const;
  bool ReadBool(std::string_view section, std::string_view ident, bool def) const;

  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view ident, std::int32_t value);
  void WriteFloat(std::string_view section, std::string_view ident, double value);  // with "."
  void WriteBool(std::string_view section, std::string_view ident, bool value);     // "1" / "0"

  bool SectionExists(std::string_view section) const { return data_.SectionExists(section); }
  bool ValueExists(std::string_view section, std::string_view ident) const;
  void ReadSection(std::string_view section, TStringList& idents) const;  // value names
  void ReadSections(TStringList& sections) const;
  void ReadSectionValues(std::string_view section, TStringList& lines) const;  // "Name=Value"
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view ident);

  // What UpdateFile writes.
  AnsiString Text() const { return data_.Text(); }
  // Saves the file atomically (temporary file, then rename); the old file stays intact
  // when that fails and the exception passes on. The second form saves under the file's
  // save lock the caller holds (it read the file and compared it under the lock).
  void UpdateFile();
  void UpdateFile(const TFileSaveLock& lock);

 private:
  AnsiString fileName_;
  TIniData data_;
  bool modified_ = false;
};
