// Writes the program's version block as a C++ source file, at build time.
//
//   mkverblock <output.cpp> <company> <product> <version a.b.c.d> <copyright> <file name>
//
// Texts are UTF-8 on the command line; the block holds them as UTF-16 under the Russian
// 1251 translation, with the version in the fixed file information as well.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "controls/misc/VerInfo.h"
#include "platform/core/SysUtils.h"

namespace {

// "1.2.0.15" -> the two 32-bit words; missing parts are 0.
bool ParseVersion(const std::string& text, TLongVersion& v) {
  std::uint32_t parts[4] = {0, 0, 0, 0};
  std::size_t i = 0, n = 0;
  while (i <= text.size() && n < 4) {
    std::size_t dot = text.find('.', i);
    if (dot == std::string::npos) dot = text.size();
    std::int32_t p;
    if (!TryStrToInt(text.substr(i, dot - i), p) || p < 0 || p > 0xFFFF) return false;
    parts[n++] = static_cast<std::uint32_t>(p);
    i = dot + 1;
  }
  if (i <= text.size()) return false;  // more than four parts
  v.MS = parts[0] << 16 | parts[1];
  v.LS = parts[2] << 16 | parts[3];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::cerr << "usage: mkverblock <output.cpp> <company> <product> <version> <copyright> <file name>\n";
    return 2;
  }
  TLongVersion version;
  if (!ParseVersion(argv[4], version)) {
    std::cerr << "mkverblock: bad version \"" << argv[4] << "\"\n";
    return 2;
  }
  const AnsiString versionText = LongVersionToString(version);
  TVersionBlockSpec spec;
  spec.FixedInfo->dwFileVersionMS = spec.FixedInfo->dwProductVersionMS = version.MS;
  spec.FixedInfo->dwFileVersionLS = spec.FixedInfo->dwProductVersionLS = version.LS;
  spec.Strings = {
      {"CompanyName", cp::Utf8To1251(argv[2])},   {"FileDescription", cp::Utf8To1251(argv[3])},
      {"FileVersion", versionText},               {"InternalName", cp::Utf8To1251(argv[3])},
      {"LegalCopyright", cp::Utf8To1251(argv[5])}, {"OriginalFilename", cp::Utf8To1251(argv[6])},
      {"ProductName", cp::Utf8To1251(argv[3])},   {"ProductVersion", versionText},
  };
  const std::string block = BuildVersionBlock(spec);

  std::string out =
      "// Generated at build time by mkverblock: the program's version block.\n"
      "#include \"planner/app/ProgramVersion.h\"\n\n"
      "namespace {\n"
      "const unsigned char kBlock[] = {";
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (i % 16 == 0) out += "\n   ";
    char buf[8];
    std::snprintf(buf, sizeof buf, " 0x%02X,", static_cast<unsigned char>(block[i]));
    out += buf;
  }
  out +=
      "\n};\n"
      "}  // namespace\n\n"
      "std::string_view ProgramVersionBlock() {\n"
      "  return std::string_view(reinterpret_cast<const char*>(kBlock), sizeof kBlock);\n"
      "}\n";
  // Leave an unchanged file alone, so that nothing depending on it is rebuilt.
  std::string old;
  if (std::ifstream in(argv[1], std::ios::binary); in) old.assign(std::istreambuf_iterator<char>(in), {});
  if (old == out) return 0;
  std::ofstream f(argv[1], std::ios::binary | std::ios::trunc);
  f << out;
  f.close();
  if (!f) {
    std::cerr << "mkverblock: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
