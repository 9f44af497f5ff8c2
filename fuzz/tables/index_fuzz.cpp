// libFuzzer target: arbitrary bytes as an index file of a small table. The first byte
// picks the format, the rest is the file. Every tag is walked both ways to its edge,
// sought and kept up to date by an append and a rewrite; a damaged file must end in the
// engine's error, never a crash or a hang, and no walk may meet more keys than the table
// has records (a tree whose pages share children would otherwise multiply them).
// (First byte modulo 4: 0 CDX, 1 NTX, 2 NDX, 3 MDX.)
//
// With TW_INDEX_FUZZ_SEEDS set to a directory, valid files of every format are written
// there first, as a starting corpus, and each also with interior pages stacked over its
// root that lead three times to the same child.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../FuzzWorkDir.h"
#include "platform/core/Files.h"
#include "tables/db_cdx.h"
#include "tables/db_create.h"
#include "tables/db_eror.h"
#include "tables/db_mdx.h"
#include "tables/db_ndx.h"
#include "tables/db_ntx.h"
#include "tables/IndexShapes.h"

namespace {

const std::string& Dir() { return fuzz_support::WorkDir(); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The table, made once; its bytes are put back before every input.
const std::string& TableBytes() {
  static const std::string bytes = [] {
    const std::string name = Dir() + "/t.dbf";
    CreateDbfTable(name, 0x03, {{"NAME", 'C', 10}, {"CODE", 'N', 5}}, {.Overwrite = true});
    {
      DBO_dBaseFld t(name, false, true);
      for (int i = 0; i < 300; ++i) {
        t.BlankRecord();
        t.FieldPut(1, "N" + std::to_string((i * 7919) % 1000));
        t.NumberPut(2, static_cast<double>(i % 37 - 18));
        t.Append();
      }
    }
    return ReadFile(name);
  }();
  return bytes;
}

void WriteSeeds(const std::string& dir) {
  std::filesystem::create_directories(dir);
  WriteFile(Dir() + "/t.dbf", TableBytes());
  DBO_dBHandler h(Dir() + "/t.dbf", false, true);
  {
    DBobjCDXFile f(&h, Dir() + "/seed.cdx", true, true);
    f.AddTag("NAME", "NAME", "", false, false);
    f.AddTag("CODE", "CODE", "CODE>0", false, true);
  }
  {
    DBobjNTXFile f(&h, Dir() + "/seed.ntx", true, true);
    f.AddTag("NAME", "", false, false);
  }
  {
    DBobjNDXFile f(&h, Dir() + "/seed.ndx", true, true);
    f.AddTag("CODE", false);
  }
  {
    DBobjMDXFile f(&h, Dir() + "/seed.mdx", true, true);
    f.AddTag("NAME", "NAME", "", false);
    f.AddTag("CODE", "CODE", "CODE>0", false);
  }
  WriteFile(dir + "/seed-mdx", std::string(1, '\3') + ReadFile(Dir() + "/SEED.MDX"));
  WriteFile(dir + "/seed-ndx", std::string(1, '\2') + ReadFile(Dir() + "/SEED.NDX"));
  WriteFile(dir + "/seed-cdx", std::string(1, '\0') + ReadFile(Dir() + "/SEED.CDX"));
  WriteFile(dir + "/seed-ntx", std::string(1, '\1') + ReadFile(Dir() + "/SEED.NTX"));
  const char* const exts[] = {".CDX", ".NTX", ".NDX", ".MDX"};
  for (int f = 0; f < 4; ++f) {
    const index_shapes::IndexLayout layout = index_shapes::WriteIndex(Dir() + "/t.dbf", Dir(), exts[f]);
    index_shapes::StackSharedChildren(layout, 2, 3);
    WriteFile(dir + "/seed-shared-" + AnsiLowerCase(std::string_view(exts[f]).substr(1)),
              std::string(1, static_cast<char>(f)) + ReadFile(layout.path));
  }
}

// A walk that met more keys than the table has records went unnoticed by the engine.
void WalkBound(std::int64_t steps, const DBO_dBHandler& h) {
  if (steps > h.RecordCount() + 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seeds = ::getenv("TW_INDEX_FUZZ_SEEDS")) WriteSeeds(seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string table = Dir() + "/t.dbf";
  WriteFile(table, TableBytes());
  static const char* const kNames[] = {"/I.CDX", "/I.NTX", "/I.NDX", "/I.MDX"};
  const std::string index = Dir() + kNames[data[0] % 4];
  WriteFile(index, std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    DBO_dBHandler h(table, false, true);
    h.ShowDeleted = true;
    if (h.IndexOpen(index) != 0) return 0;
    for (std::int64_t n = 1; n <= 8 && h.TagByNumber(n); ++n) {
      h.SetTagTo(h.TagByNumber(n)->TagName(), false);
      std::int64_t steps = 0;
      for (h.GetRecord(dbp::First); !h.Eof(); h.GetRecord(dbp::Next)) WalkBound(++steps, h);
      steps = 0;
      for (h.GetRecord(dbp::Last); !h.Bof(); h.GetRecord(dbp::Previous)) WalkBound(++steps, h);
      h.FindKey("N5");
      h.FindNear(h.TagByNumber(n)->TagName(), "N100");
      h.GetRecord(5);
      h.FieldPut(1, "CHANGED");
      h.PutRecord(5);
      h.BlankRecord();
      h.FieldPut(1, "NEW");
      h.Append();
    }
  } catch (const Exception&) {
    // The engine's errors (damaged index, range and expression errors) are the answer.
  }
  return 0;
}
