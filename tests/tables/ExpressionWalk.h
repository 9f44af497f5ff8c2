// Compiles arbitrary text as a table expression and evaluates it on every record of a
// small table (C, N, D, L and M fields, a deleted record, 866 text); then uses the text
// as a filter and as a search text of the table handler. Shared by the fuzz target and
// the test that replays the inputs it found.
#pragma once

#include <cstdint>
#include <string>

#include "platform/core/Files.h"
#include "tables/db_create.h"
#include "tables/db_dbsy.h"
#include "tables/db_eror.h"

namespace expression_walk {

inline AnsiString CreateSmallTable(const std::string& dir) {
  const AnsiString name = AnsiPath(dir + "/expr.dbf");
  CreateDbfTable(
      name, 0x83,
      {{"NAME", 'C', 12}, {"CODE", 'N', 6}, {"PRICE", 'N', 9, 3}, {"BORN", 'D'}, {"OK", 'L'}, {"NOTE", 'M'}},
      {.Overwrite = true});
  DBO_dBHandler t(name, false, true);
  // The second name is МОСКВА in code page 866.
  const char* names[] = {"ABC", "\x8c\x8e\x91\x8a\x82\x80", "", "  x*?%_"};
  for (int i = 0; i < 4; ++i) {
    t.BlankRecord();
    t.FieldPut(1, names[i]);
    t.NumberPut(2, i * 7 - 5);
    t.NumberPut(3, i * 1.25);
    if (i != 2) t.DatePut(4, 2451545 + i * 400);
    t.LogicPut(5, i % 2 == 1);
    if (i == 1) t.MemoWrite(6, "memo", 4);
    t.Append();
  }
  t.GetRecord(3);
  t.Delete();
  return name;
}

inline void Evaluate(TdbExpHandler& h, DBO_dBHandler& t) {
  TdbVariant out;
  for (t.GetRecord(dbp::First); !t.Eof() && t.RecNo() > 0; t.GetRecord(dbp::Next)) {
    try {
      h.Evaluate(out);
    } catch (const EDbfExpression&) {
    }
  }
}

inline void WalkExpression(DBO_dBHandler& t, const std::string& text) {
  t.ShowDeleted = true;
  for (bool sql : {false, true}) {
    try {
      TdbExpHandler h(&t.Link(), sql, text);
      h.CaseFold = sql;
      Evaluate(h, t);
      (void)h.ListNames(TdblDBFFieldVars::kKind);
      // The text form compiles again.
      TdbExpHandler again(&t.Link(), sql, h.ExpressionText());
      Evaluate(again, t);
    } catch (const EDbfExpression&) {
    } catch (const EConvertError&) {  // a date literal that is no date
    }
  }
  try {
    t.ShowDeleted = false;
    t.SetFilter(text, true, true);
    t.SetFilterActive(true);
    for (t.GetRecord(dbp::First); !t.Eof(); t.GetRecord(dbp::Next)) {
    }
    t.SetFilterActive(false);
  } catch (const EDbfExpression&) {
  } catch (const EDbfError&) {
  } catch (const EConvertError&) {
  }
  for (std::uint16_t flags : {0, 1 | 4, 2 | 32}) {
    t.SearchFlags = flags;
    std::int64_t field = 0, found = 0;
    t.SearchField(text, field, 0, found);
  }
}

}  // namespace expression_walk
