// Generated tables for the dataset tests: a field list and rows of values written with
// the engine itself. Strings are given in 1251 and stored in 866 unless raw.
#pragma once

#include <string>
#include <vector>

#include "platform/core/AnsiText.h"
#include "platform/core/Variant.h"
#include "tables/db_DBF.h"
#include "tables/db_create.h"

namespace dataset_test {

// A cell: a number, a text (translated to 866), or raw table bytes.
struct Cell {
  Cell(double v) : number(v), isNumber(true) {}
  Cell(int v) : number(v), isNumber(true) {}
  Cell(const char* utf8) : text(cp::AnsiToOem(Ansi(utf8))) {}
  static Cell Raw(std::string bytes) {
    Cell c(0);
    c.isNumber = false;
    c.text = std::move(bytes);
    return c;
  }
  double number = 0;
  AnsiString text;
  bool isNumber = false;
};

struct Row {
  std::vector<Cell> cells;
  bool deleted = false;
};

inline void MakeTable(const AnsiString& path, const std::vector<TdbFieldDef>& fields,
                      const std::vector<Row>& rows, std::uint8_t version = 0x03) {
  CreateDbfTable(path, version, fields);
  DBO_dBaseFld t(path, false, true);
  for (const Row& r : rows) {
    t.BlankRecord();
    for (std::size_t i = 0; i < r.cells.size(); ++i) {
      const auto n = static_cast<std::int64_t>(i + 1);
      if (r.cells[i].isNumber)
        t.NumberPut(n, r.cells[i].number);
      else
        t.FieldPut(n, r.cells[i].text);
    }
    t.Append();
    if (r.deleted) t.Delete();
  }
}

}  // namespace dataset_test
