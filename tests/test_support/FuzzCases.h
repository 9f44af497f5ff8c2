// Inputs found by the fuzz targets, kept as hex text under tests/data/fuzz/<target>/*.hex
// (xxd -p), replayed by ordinary tests.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

// (file name, bytes) of every case of the target, in name order.
inline std::vector<std::pair<std::string, std::string>> FuzzCases(const std::string& target) {
  std::vector<std::pair<std::string, std::string>> cases;
  const std::filesystem::path dir = std::filesystem::path(TARNWICK_TEST_DATA_DIR) / "fuzz" / target;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().extension() != ".hex") continue;
    std::ifstream in(entry.path());
    std::string hex, line, bytes;
    while (std::getline(in, line)) hex += line;
    auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
      bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    cases.emplace_back(entry.path().filename().string(), std::move(bytes));
  }
  std::sort(cases.begin(), cases.end());
  return cases;
}
