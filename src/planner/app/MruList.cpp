#include "planner/app/MruList.h"

#include <algorithm>

#include "planner/app/AppRegIni.h"
#include "platform/core/Classes.h"
#include "platform/core/Files.h"

namespace {

AnsiString NormalDir(std::string_view dir) {
  return dir.empty() ? AnsiString() : AnsiUpperCase(IncludeTrailingPathDelimiter(NormalizeSeparators(dir)));
}

AnsiString WithoutHotkeys(std::string_view s) {
  AnsiString out;
  for (char c : s)
    if (c != '&') out += c;
  return AnsiUpperCase(out);
}

}  // namespace

void TMruList::SetDirectories(AnsiString dataDir, AnsiString exampleDir) {
  dataDir_ = std::move(dataDir);
  exampleDir_ = std::move(exampleDir);
}

void TMruList::ChangeDirectories(AnsiString dataDir, AnsiString exampleDir) {
  std::vector<AnsiString> files;
  for (const AnsiString& c : captions_) files.push_back(FileOfCaption(c));
  SetDirectories(std::move(dataDir), std::move(exampleDir));
  // From the oldest to the newest, so that the order stays.
  captions_.clear();
  for (auto f = files.rbegin(); f != files.rend(); ++f) AddCaption(MruDisplayName(*f));
}

AnsiString TMruList::MruDisplayName(const AnsiString& Name) const {
  const AnsiString dir = AnsiUpperCase(ExtractFilePath(NormalizeSeparators(Name)));
  const AnsiString file = ExtractFileName(NormalizeSeparators(Name));
  if (!dir.empty() && dir == NormalDir(dataDir_)) return file;
  if (!dir.empty() && dir == NormalDir(exampleDir_)) return AnsiString(kMruExamplesPrefix) + file;
  return Name;
}

AnsiString TMruList::FileOfCaption(const AnsiString& Caption) const {
  const std::string_view prefix = kMruExamplesPrefix;
  if (Caption.size() > prefix.size() && Caption.compare(0, prefix.size(), prefix) == 0)
    return IncludeTrailingPathDelimiter(exampleDir_) + Caption.substr(prefix.size());
  if (Caption.find_first_of("/\\") == AnsiString::npos) return IncludeTrailingPathDelimiter(dataDir_) + Caption;
  return Caption;
}

int TMruList::Find(const AnsiString& Caption) const {
  const AnsiString key = WithoutHotkeys(Caption);
  for (std::size_t i = 0; i < captions_.size(); ++i)
    if (WithoutHotkeys(captions_[i]) == key) return static_cast<int>(i);
  return -1;
}

void TMruList::AddCaption(const AnsiString& caption) {
  const int i = Find(caption);
  if (i >= 0) captions_.erase(captions_.begin() + i);
  captions_.insert(captions_.begin(), caption);
  if (captions_.size() > static_cast<std::size_t>(kMruMaxEntries)) captions_.resize(kMruMaxEntries);
}

void TMruList::AddMru(const AnsiString& Name) {
  if (!Name.empty()) AddCaption(MruDisplayName(Name));
}

void TMruList::RemoveMru(const AnsiString& Name) {
  const int i = Find(MruDisplayName(Name));
  if (i >= 0) captions_.erase(captions_.begin() + i);
}

void TMruList::LoadMru(const TAppRegIniFile& Reg) {
  TStringList list;
  Reg.ReadStrings("", "MRUFiles", list);
  captions_.clear();
  for (int i = list.Count() - 1; i >= 0; --i)
    if (!list[i].empty()) AddCaption(list[i]);
}

void TMruList::SaveMru(TAppRegIniFile& Reg) const {
  if (captions_.empty()) return;
  TStringList list;
  for (const AnsiString& c : captions_) list.Add(c);
  Reg.WriteStrings("", "MRUFiles", list);
}

AnsiString TMruList::MenuText(const AnsiString& Caption) {
  AnsiString out;
  for (char c : Caption) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}
