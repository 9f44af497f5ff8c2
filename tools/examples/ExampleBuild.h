// Example rations from readable sources (data/examples/*.txt, UTF-8) over the shipped
// reference sources (data/*.txt): each example names its kind of trip, participants and
// type, and its menus by the names of meals, dishes and products in the reference
// tables; the builder makes the ration document with the tables' values (a dish with its
// components from "dishcomp") and writes it as a ".tw" file with the program's own writer.
//
// Source lines (leading blanks are indentation only; "#" starts a comment line):
//   title = <text>            author = <text>        description = <line> (repeatable)
//   tour = <kind; category>   the row of "energo" whose path this is gives the needs
//   mans = <n>                type = menu | average
//   menu <id>                 starts a day menu (type menu)
//     meal <name>             a meal of the "meal" table in the current menu
//       dish <name>           a dish with its components, in the current meal
//       product <name> [= g]  a product (default: its usual portion) in the current
//                             meal, or in the day when no meal came before in the menu
//   days = <id> <id> ...      the days in order, each a copy of a menu (type menu)
//   days = <n>                the number of days (type average)
//   product <name> [= g]      outside menus: a product of every day (type average)
// Every name must exist; any error names the source line and nothing is written.
#pragma once

#include <string_view>

#include "planner/ration/RationDoc.h"
#include "platform/core/SysUtils.h"

namespace examples {

TW_DECLARE_EXCEPTION(EExampleError, Exception)

// Fills Doc (a fresh document) from the example source `utf8` (named `sourceName` in
// messages) over the reference sources in dataDir; the limits from dataDir/params.ini.
void BuildExample(TRationDocument& Doc, std::string_view utf8, const AnsiString& sourceName,
                  const AnsiString& dataDir);

// Builds every dataDir/examples/*.txt into outDir/<name>.tw (each written atomically);
// the number written. Raises EExampleError before writing anything when a source fails.
int BuildExamples(const AnsiString& dataDir, const AnsiString& outDir);

}  // namespace examples
