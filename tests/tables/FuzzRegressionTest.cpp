// Replays the inputs that the fuzz targets found (tests/data/tables/fuzz for tables,
// tests/data/tables/expr-fuzz for expressions, kept as hex text, "#" lines being
// comments): each runs through the same walk without a crash or a sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "ExpressionWalk.h"
#include "TableWalk.h"
#include "TablesTestSupport.h"

namespace {

// Calls `run` with the bytes of every input in the data subdirectory; the count.
int ForEachInput(const char* subdir, const std::function<void(const std::string&)>& run) {
  const char* root = std::getenv("TARNWICK_TEST_DATA");
  if (!root) root = TW_TEST_DATA;
  const std::filesystem::path dir = std::filesystem::path(root) / "tables" / subdir;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".hex") continue;
    SCOPED_TRACE(entry.path().filename().string());
    run(tables_test::FromHex(tables_test::ReadBytes(entry.path().string())));
    ++replayed;
  }
  return replayed;
}

TEST(TablesFuzzRegression, FoundInputsRunClean) {
  TempDir work;
  const int replayed = ForEachInput("fuzz", [&](const std::string& bytes) {
    tables_walk::WalkTableBytes(work.SysPath(), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                bytes.size());
    // Writes stay near the data: a damaged header never sends them far beyond the file.
    for (const char* file : {"t.dbf", "t.dbt", "t.fpt"})
      EXPECT_LT(std::filesystem::file_size(work.SysPath() + "/" + file), bytes.size() + 65536) << file;
  });
  EXPECT_GT(replayed, 0);
}

TEST(TablesFuzzRegression, FoundExpressionsRunClean) {
  TempDir work;
  DBO_dBHandler table(expression_walk::CreateSmallTable(work.SysPath()), false, true);
  const int replayed = ForEachInput("expr-fuzz", [&](const std::string& text) {
    EXPECT_NO_THROW(expression_walk::WalkExpression(table, text));
    EXPECT_EQ(table.RecordCount(), 4);
  });
  EXPECT_GT(replayed, 0);
}

}  // namespace
