// mkexamples <data dir> <output Examples dir>: builds the example rations of the program
// from data/examples/*.txt over the reference sources in data/. A source that fails is
// refused with a message naming its line, and nothing is written. Exit status: 0 written,
// 1 refused or failed, 2 wrong arguments.
#include <cstdio>
#include <exception>

#include "examples/ExampleBuild.h"
#include "platform/core/Files.h"

namespace {

void Say(const AnsiString& text) { std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(text).c_str()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    Say(Ansi("Использование: mkexamples <каталог исходных данных> <каталог Examples>"));
    return 2;
  }
  const AnsiString dataDir = AnsiPath(argv[1]), outDir = AnsiPath(argv[2]);
  try {
    examples::BuildExamples(dataDir, outDir);
    return 0;
  } catch (const Exception& e) {
    Say(Format(Ansi("mkexamples: примеры в %s не записаны: %s"), {outDir, e.Message()}));
  } catch (const std::exception& e) {
    Say(Format(Ansi("mkexamples: примеры в %s не записаны: %s"), {outDir, AnsiString(e.what())}));
  }
  return 1;
}
