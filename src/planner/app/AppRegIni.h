// The planner's settings-store access: the registry-ini class with string lists.
#pragma once

#include "platform/core/Registry.h"

class TStringList;

class TAppRegIniFile : public TRegistryIniFile {
 public:
  using TRegistryIniFile::TRegistryIniFile;

  // Strings := the string values under Parent + "\" + Section (Section alone when Parent
  // is empty), in the order in which the store lists them.
  void ReadStrings(std::string_view Parent, std::string_view Section, TStringList& Strings) const;
  // Replaces every value under that key by the list: item i as the value "000", "001", ...
  void WriteStrings(std::string_view Parent, std::string_view Section, const TStringList& Strings);

 private:
  static AnsiString ListSection(std::string_view Parent, std::string_view Section);
};
