#include <gtest/gtest.h>

#include "tables/db_eror.h"

namespace {

struct MessageCase {
  std::int32_t code, subCode;
  const char* info;
  const char* message;
};

TEST(TablesErrors, MessagesOfTheStandardProcedure) {
  const MessageCase cases[] = {
      {33, 1207, "/data/x.dbf", "Record locked by another user - /data/x.dbf"},
      {1004, -7, "Invalid date in field T->D (x)", "dBase field is of incorrect type - Invalid date in field T->D (x)"},
      {221, -7, "", "Table Error 221.\r"},
      {221, 1207, "/data/x.dbf", "Table Error 221, SubCode 1207.\r /data/x.dbf"},
      {2, 6101, "/data/X.DBT", "File not found - /data/X.DBT"},
      {1006, 0, "", "Formula expression cannot be translated - "},
      {32, 1107, "t", "File access denied - t"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(DbfErrorMessage(c.code, c.subCode, c.info), c.message);
    try {
      DbfError(c.code, c.subCode, c.info);
      ADD_FAILURE() << "no exception";
    } catch (const EDbfError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(TablesErrors, ReplaceableProcedureMayReturn) {
  std::int32_t seen = 0;
  TdbErrorProc old = SetDbfErrorProc([&](std::int32_t code, std::int32_t, const AnsiString&) { seen = code; });
  EXPECT_NO_THROW(DbfError(1002, 1207, "x"));
  EXPECT_EQ(seen, 1002);
  SetDbfErrorProc(nullptr);  // back to the standard procedure
  EXPECT_THROW(DbfError(1002, 1207, "x"), EDbfError);
  SetDbfErrorProc(old);
}

}  // namespace
