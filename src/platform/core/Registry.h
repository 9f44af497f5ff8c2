// The settings store that stands in for the system registry: one text file (by default
// "settings.ini" in the configuration directory) that holds keys such as
// "Software\Tarnwick\General", each with named string values. Key and value names are
// found without regard to case, as in the registry; values are kept as strings.
//
// Changes are made in memory and written by `Save`, which reads the file again, applies
// this process's changes over what other processes wrote meanwhile, and replaces the file
// atomically. The file is UTF-8 text; names and values are 1251 strings in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/IniFiles.h"

class TStringList;

class TSettingsStore {
 public:
  // Reads the file when it exists; a missing or unreadable file gives an empty store.
  explicit TSettingsStore(AnsiString fileName);

  const AnsiString& FileName() const { return fileName_; }
  // Changes not yet saved.
  bool Modified() const { return !pending_.empty(); }

  // Key paths use "\" between their parts ("Software\Tarnwick\MRUFiles"); "\" at either
  // end and empty parts are ignored.
  bool KeyExists(std::string_view key) const;
  bool ValueExists(std::string_view key, std::string_view name) const;
  bool ReadValue(std::string_view key, std::string_view name, AnsiString& value) const;
  // Value names in the order in which they were first written.
  std::vector<AnsiString> ValueNames(std::string_view key) const;
  // Names of the direct subkeys.
  std::vector<AnsiString> SubKeyNames(std::string_view key) const;

  void CreateKey(std::string_view key);
  void WriteValue(std::string_view key, std::string_view name, std::string_view value);
  bool DeleteValue(std::string_view key, std::string_view name);
  // Deletes the key with its values and every subkey.
  bool DeleteKey(std::string_view key);

  // Writes the changes (see above). Raises when the file cannot be written; the file
  // then stays as it was and the changes stay pending.
  void Save();
  // Drops unsaved changes and reads the file again.
  void Reload();

 private:
  using Change = std::function<void(TIniData&)>;
  void Apply(Change change);
  // False when the file exists but cannot be read (the data is then empty).
  static bool Load(const AnsiString& fileName, TIniData& data);

  AnsiString fileName_;
  TIniData data_;
  std::vector<Change> pending_;
};

// The program's store: ConfigDirectory() + "settings.ini" unless another file was set.
TSettingsStore& SettingsStore();
// Points the program's store at another file (tests; a store of one's own). The store is
// read again from that file; unsaved changes are dropped.
void SetSettingsStoreFile(const AnsiString& fileName);

// The registry-ini class of the class library: opened on a key; a section is a subkey of
// that key (the key itself for an empty section), and an ident a value name under it.
// Numbers and flags are stored as decimal text ("0" / "1" for flags); reading one that is
// missing or not a number gives the default.
class TRegistryIniFile {
 public:
  TRegistryIniFile(TSettingsStore& store, AnsiString key) : store_(store), key_(std::move(key)) {}
  virtual ~TRegistryIniFile() = default;

  TSettingsStore& Store() const { return store_; }
  const AnsiString& Key() const { return key_; }
  // The full key path of a section.
  AnsiString SectionKey(std::string_view section) const;

  AnsiString ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
  std::int32_t ReadInteger(std::string_view section, std::string_view ident, std::int32_t def) const;
  bool ReadBool(std::string_view section, std::string_view ident, bool def) const;
  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view ident, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view ident, bool value);

  bool SectionExists(std::string_view section) const { return store_.KeyExists(SectionKey(section)); }
  bool ValueExists(std::string_view section, std::string_view ident) const;
  void ReadSection(std::string_view section, TStringList& idents) const;  // value names
  void EraseSection(std::string_view section);                            // deletes the subkey
  void DeleteKey(std::string_view section, std::string_view ident);       // deletes one value

  // Saves the store (TSettingsStore::Save).
  void UpdateFile() { store_.Save(); }

 private:
  TSettingsStore& store_;
  AnsiString key_;
};
