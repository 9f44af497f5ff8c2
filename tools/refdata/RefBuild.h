// The table builder of the shipped reference data: turns the checked sources of data/
// into the files of the reference directory Ref/ ("products.DBF" ... "dishcomp.DBF" and
// "params.ini"), with the project's own table builder, table engine and ini class.
// Tables are dBase III (version 0x03, no memo) with their text in code page 866.
#pragma once

#include <cstdint>
#include <vector>

#include "refdata/RefCheck.h"
#include "tables/db_create.h"

namespace refdata {

inline constexpr std::uint8_t kRefTableVersion = 0x03;
inline constexpr const char* kRefTableExt = ".DBF";
inline constexpr const char* kLimitsSection = "Limits";

// "products" -> "products.DBF".
AnsiString RefTableFileName(const char* table);

// The source of a table of kRefTables; ERefSourceError for another name.
const TRefSource& RefSourceOf(const TRefData& data, std::string_view table);

// The table's field definitions, exactly as the source header declares them.
std::vector<TdbFieldDef> RefTableFields(const TRefSource& source);

// Writes the source's rows into a new table `fileName` (an existing file is refused):
// text fields converted 1251 -> 866, numbers with the field's decimals, blank values
// as blank fields. Raises the table engine's errors; ERefSourceError for a value that
// the table could not hold.
void WriteRefTable(const TRefSource& source, const AnsiString& fileName);

// Writes the limits into section "Limits" of the ini file `fileName`, in their order,
// through the program's ini class (atomic save).
void WriteLimits(const std::vector<TIniEntry>& limits, const AnsiString& fileName);

// Builds the reference directory `refDir` (created when missing) from the sources in
// `dataDir`. Sources that cannot be read or fail the checks write nothing: the result
// is their problems, each naming the source row. Otherwise every file is first built
// in a temporary directory inside `refDir` and then renamed over its old copy, so that
// no table is ever half-written; the result is empty. A failure while writing raises
// the error of the layer that failed, with the temporary directory removed.
TProblems BuildRefDir(const AnsiString& dataDir, const AnsiString& refDir);

// The names of the files that BuildRefDir writes into the reference directory.
std::vector<AnsiString> RefDirFileNames();

}  // namespace refdata
