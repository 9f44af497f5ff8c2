#include "platform/core/Registry.h"

#include "platform/core/Classes.h"
#include "platform/core/Files.h"
#include "platform/core/SysDirs.h"

namespace {

// "\a\\b\" -> "a\b".
AnsiString NormalizeKey(std::string_view key) {
  AnsiString r;
  std::size_t i = 0;
  while (i < key.size()) {
    std::size_t sep = key.find('\\', i);
    if (sep == std::string_view::npos) sep = key.size();
    if (sep > i) {
      if (!r.empty()) r += '\\';
      r.append(key.substr(i, sep - i));
    }
    i = sep + 1;
  }
  return r;
}

// Whether `key` lies strictly below `parent` (both normalised).
bool IsBelow(std::string_view key, std::string_view parent) {
  if (parent.empty()) return !key.empty();
  return key.size() > parent.size() && key[parent.size()] == '\\' &&
         AnsiSameText(key.substr(0, parent.size()), parent);
}

std::unique_ptr<TSettingsStore>& ProgramStore() {
  static std::unique_ptr<TSettingsStore> store;
  return store;
}

}  // namespace

TSettingsStore::TSettingsStore(AnsiString fileName) : fileName_(std::move(fileName)) { Load(fileName_, data_); }

bool TSettingsStore::Load(const AnsiString& fileName, TIniData& data) {
  data.Clear();
  try {
    if (!FileExists(fileName) && !DirectoryExists(fileName)) return true;
    TMemoryStream m;
    m.LoadFromFile(fileName);
    data.Parse(cp::Utf8To1251(std::string_view(m.Memory(), static_cast<std::size_t>(m.Size()))));
    return true;
  } catch (const Exception&) {
    data.Clear();  // an unreadable store reads as empty: every setting takes its default
    return false;
  }
}

bool TSettingsStore::KeyExists(std::string_view key) const {
  const AnsiString k = NormalizeKey(key);
  if (k.empty()) return true;
  for (const AnsiString& s : data_.SectionNames())
    if (AnsiSameText(s, k) || IsBelow(s, k)) return true;
  return false;
}

bool TSettingsStore::ValueExists(std::string_view key, std::string_view name) const {
  return data_.Value(NormalizeKey(key), name) != nullptr;
}

bool TSettingsStore::ReadValue(std::string_view key, std::string_view name, AnsiString& value) const {
  const AnsiString* v = data_.Value(NormalizeKey(key), name);
  if (v) value = *v;
  return v != nullptr;
}

std::vector<AnsiString> TSettingsStore::ValueNames(std::string_view key) const {
  return data_.ValueNames(NormalizeKey(key));
}

std::vector<AnsiString> TSettingsStore::SubKeyNames(std::string_view key) const {
  const AnsiString k = NormalizeKey(key);
  std::vector<AnsiString> r;
  for (const AnsiString& s : data_.SectionNames()) {
    if (!IsBelow(s, k)) continue;
    std::string_view rest = std::string_view(s).substr(k.empty() ? 0 : k.size() + 1);
    AnsiString child(rest.substr(0, rest.find('\\')));
    bool known = false;
    for (const AnsiString& c : r) known = known || AnsiSameText(c, child);
    if (!known) r.push_back(child);
  }
  return r;
}

void TSettingsStore::Apply(Change change) {
  change(data_);
  pending_.push_back(std::move(change));
}

void TSettingsStore::CreateKey(std::string_view key) {
  AnsiString k = NormalizeKey(key);
  if (k.empty() || KeyExists(k)) return;
  Apply([k](TIniData& d) { d.AddSection(k); });
}

void TSettingsStore::WriteValue(std::string_view key, std::string_view name, std::string_view value) {
  Apply([k = NormalizeKey(key), n = AnsiString(name), v = AnsiString(value)](TIniData& d) { d.SetValue(k, n, v); });
}

bool TSettingsStore::DeleteValue(std::string_view key, std::string_view name) {
  if (!ValueExists(key, name)) return false;
  Apply([k = NormalizeKey(key), n = AnsiString(name)](TIniData& d) { d.DeleteValue(k, n); });
  return true;
}

bool TSettingsStore::DeleteKey(std::string_view key) {
  AnsiString k = NormalizeKey(key);
  if (k.empty() || !KeyExists(k)) return false;
  Apply([k](TIniData& d) {
    d.EraseSectionsIf([&](std::string_view s) { return AnsiSameText(s, k) || IsBelow(s, k); });
  });
  return true;
}

void TSettingsStore::Save() {
  if (pending_.empty()) return;
  // The store is read, changed and written under its save lock: what another copy of the
  // program saves meanwhile is not written over.
  ForceDirectories(ExtractFilePath(fileName_));
  const TFileSaveLock lock(fileName_);
  TIniData merged;
  // Saving over a store that exists but cannot be read would lose every other setting.
  if (!Load(fileName_, merged))
    throw EWriteError("Cannot write file \"" + fileName_ + "\": the settings in it cannot be read");
  for (const Change& c : pending_) c(merged);
  const std::string text = cp::Ansi1251ToUtf8(merged.Text());
  SaveFileAtomically(lock, [&](TStream& s) { s.WriteString(text); });
  data_ = std::move(merged);
  pending_.clear();
}

void TSettingsStore::Reload() {
  pending_.clear();
  Load(fileName_, data_);
}

TSettingsStore& SettingsStore() {
  auto& store = ProgramStore();
  if (!store) store = std::make_unique<TSettingsStore>(ConfigDirectory() + "settings.ini");
  return *store;
}

void SetSettingsStoreFile(const AnsiString& fileName) { ProgramStore() = std::make_unique<TSettingsStore>(fileName); }

// ---------------------------------------------------------------------------------
// TRegistryIniFile

AnsiString TRegistryIniFile::SectionKey(std::string_view section) const {
  return NormalizeKey(section.empty() ? AnsiString(key_) : key_ + "\\" + AnsiString(section));
}

AnsiString TRegistryIniFile::ReadString(std::string_view section, std::string_view ident,
                                        std::string_view def) const {
  AnsiString v;
  return store_.ReadValue(SectionKey(section), ident, v) ? v : AnsiString(def);
}

std::int32_t TRegistryIniFile::ReadInteger(std::string_view section, std::string_view ident,
                                           std::int32_t def) const {
  AnsiString v;
  std::int32_t r;
  return store_.ReadValue(SectionKey(section), ident, v) && TryStrToInt(v, r) ? r : def;
}

bool TRegistryIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TRegistryIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  store_.WriteValue(SectionKey(section), ident, value);
}

void TRegistryIniFile::WriteInteger(std::string_view section, std::string_view ident, std::int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

void TRegistryIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

bool TRegistryIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  return store_.ValueExists(SectionKey(section), ident);
}

void TRegistryIniFile::ReadSection(std::string_view section, TStringList& idents) const {
  idents.Clear();
  for (const AnsiString& n : store_.ValueNames(SectionKey(section))) idents.Add(n);
}

void TRegistryIniFile::EraseSection(std::string_view section) { store_.DeleteKey(SectionKey(section)); }

void TRegistryIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  store_.DeleteValue(SectionKey(section), ident);
}
