#include "refdata/RefBuild.h"

#include "platform/core/Files.h"
#include "platform/core/IniFiles.h"
#include "platform/core/StagingDir.h"
#include "tables/db_DBF.h"

namespace refdata {

namespace {

[[noreturn]] void FailRow(const TRefSource& source, const TRefRow& row, const TRefField& field,
                          const AnsiString& what) {
  throw ERefSourceError(Format(Ansi("%s: поле %s: %s"), {source.Where(row), field.Name, what}));
}

// 1251 -> 866; the sources admit only characters that both code pages have, so the text
// must come back unchanged.
AnsiString ToOem(const TRefSource& source, const TRefRow& row, const TRefField& field, const AnsiString& text) {
  AnsiString oem = cp::AnsiToOem(text);
  if (cp::OemToAnsi(oem) != text) FailRow(source, row, field, Ansi("текст нельзя записать в кодировке 866"));
  return oem;
}

}  // namespace

AnsiString RefTableFileName(const char* table) { return AnsiString(table) + kRefTableExt; }

const TRefSource& RefSourceOf(const TRefData& data, std::string_view table) {
  const TRefSource* sources[] = {&data.Products, &data.Dish, &data.Meal, &data.Energo, &data.DishComp};
  for (std::size_t i = 0; i < std::size(kRefTables); ++i)
    if (table == kRefTables[i]) return *sources[i];
  throw ERefSourceError(Format(Ansi("нет источника таблицы %s"), {AnsiString(table)}));
}

std::vector<AnsiString> RefDirFileNames() {
  std::vector<AnsiString> names;
  for (const char* table : kRefTables) names.push_back(RefTableFileName(table));
  names.push_back(kLimitsFile);
  return names;
}

std::vector<TdbFieldDef> RefTableFields(const TRefSource& source) {
  std::vector<TdbFieldDef> fields;
  for (const TRefField& f : source.Fields()) fields.push_back({f.Name, f.Type, f.Width, f.Decimals});
  return fields;
}

void WriteRefTable(const TRefSource& source, const AnsiString& fileName) {
  CreateDbfTable(fileName, kRefTableVersion, RefTableFields(source));
  DBO_dBaseFld table(fileName, false, true);
  const auto& fields = source.Fields();
  for (const TRefRow& row : source.Rows()) {
    table.BlankRecord();
    for (std::size_t k = 0; k < fields.size(); ++k) {
      const TRefField& f = fields[k];
      const AnsiString& value = row.Values[k];
      const auto n = static_cast<std::int64_t>(k) + 1;
      bool stored;
      if (value.empty()) stored = table.FieldPut(n, "");  // a blank field, also for numbers
      else if (f.Type == 'N') stored = table.NumberPut(n, source.Float(row, f.Name));
      else stored = table.FieldPut(n, ToOem(source, row, f, value));
      if (!stored) FailRow(source, row, f, Ansi("значение не записано в таблицу"));
    }
    table.Append();
  }
  table.Flush();
  const std::int64_t written = table.RecordCount();
  table.Close();
  if (written != std::ssize(source.Rows()))
    throw ERefSourceError(
        Format(Ansi("%s: в таблицу записано %d строк из %d"), {fileName, written, source.Rows().size()}));
}

void WriteLimits(const std::vector<TIniEntry>& limits, const AnsiString& fileName) {
  TIniFile ini(fileName);
  ini.EraseSection(kLimitsSection);
  for (const TIniEntry& e : limits) ini.WriteFloat(kLimitsSection, e.Key, StrToFloat(e.Value));
  ini.UpdateFile();
}

TProblems BuildRefDir(const AnsiString& dataDir, const AnsiString& refDir) {
  TRefData data;
  try {
    data = LoadRefData(dataDir);
  } catch (const ERefSourceError& e) {
    return {e.Message()};
  }
  if (TProblems problems = CheckRefData(data); !problems.empty()) return problems;

  if (!ForceDirectories(refDir))
    throw EInOutError(Format(Ansi("Не удается создать каталог %s"), {refDir}));
  const AnsiString target = IncludeTrailingPathDelimiter(refDir);
  TStagingDir staging(refDir, ".mkrefdata-");
  for (const char* table : kRefTables) WriteRefTable(RefSourceOf(data, table), staging.File(RefTableFileName(table)));
  WriteLimits(data.Limits, staging.File(kLimitsFile));
  for (const AnsiString& name : RefDirFileNames()) MoveFileIntoPlace(staging.File(name), target + name);
  return {};
}

}  // namespace refdata
