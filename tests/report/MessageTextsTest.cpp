// Every message the report engine raises is written in UTF-8 in the sources and must reach
// the user in 1251 (through Ansi or a UTF-8 taking helper such as the parsers' Fail). This
// reads the engine's sources: a Russian literal given straight to an exception, or added to
// one, would show as "РќРµ..." in the windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "report/MessageTexts.h"

namespace fs = std::filesystem;

namespace {

bool HasNonAscii(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace

TEST(ReportMessages, NoRussianLiteralReachesAnExceptionUnconverted) {
  const fs::path root = fs::path(TARNWICK_DATA_DIR).parent_path() / "src" / "report";
  ASSERT_TRUE(fs::is_directory(root)) << root;
  // A literal is converted when Ansi( stands right before it.
  const std::regex literal(R"re((Ansi\(\s*)?"((?:[^"\\]|\\.)*)")re");
  int files = 0, throws = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
    ++files;
    std::ifstream in(entry.path());
    std::string line, statement;
    int lineNo = 0, startLine = 0;
    while (std::getline(in, line)) {
      ++lineNo;
      // A throw statement may run over several lines, up to its semicolon.
      if (statement.empty()) {
        const std::size_t at = line.find("throw ");
        if (at == std::string::npos || line.find("//") < at) continue;
        startLine = lineNo;
      }
      statement += line;
      if (line.find(';') == std::string::npos) continue;
      ++throws;
      for (std::sregex_iterator it(statement.begin(), statement.end(), literal), end; it != end; ++it)
        if (!(*it)[1].matched && HasNonAscii((*it)[2].str()))
          ADD_FAILURE() << entry.path().filename().string() << ":" << startLine << ": " << statement;
      statement.clear();
    }
  }
  EXPECT_GT(files, 30);
  EXPECT_GT(throws, 40);
}

TEST(ReportMessages, TheCheckTellsTheTwoEncodingsApart) {
  EXPECT_TRUE(LooksLikeUtf8Cyrillic("\xD0\x9D\xD0\xB5"));                 // "Не" in UTF-8
  EXPECT_FALSE(LooksLikeUtf8Cyrillic("\xCD\xE5\xE2\xE5\xF0\xED\xEE\xE5"));  // "Неверное" in 1251
}
