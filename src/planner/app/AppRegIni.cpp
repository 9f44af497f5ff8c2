#include "planner/app/AppRegIni.h"

#include "platform/core/Classes.h"

AnsiString TAppRegIniFile::ListSection(std::string_view Parent, std::string_view Section) {
  return Parent.empty() ? AnsiString(Section) : AnsiString(Parent) + "\\" + AnsiString(Section);
}

void TAppRegIniFile::ReadStrings(std::string_view Parent, std::string_view Section, TStringList& Strings) const {
  const AnsiString section = ListSection(Parent, Section);
  Strings.BeginUpdate();
  Strings.Clear();
  ReadSection(section, Strings);
  for (int i = 0; i < Strings.Count(); ++i) Strings.SetString(i, ReadString(section, Strings[i], ""));
  Strings.EndUpdate();
}

void TAppRegIniFile::WriteStrings(std::string_view Parent, std::string_view Section, const TStringList& Strings) {
  const AnsiString section = ListSection(Parent, Section);
  TStringList old;
  ReadSection(section, old);
  for (int i = 0; i < old.Count(); ++i) DeleteKey(section, old[i]);
  Store().CreateKey(SectionKey(section));
  for (int i = 0; i < Strings.Count(); ++i) WriteString(section, Format("%3.3d", {i}), Strings[i]);
}
