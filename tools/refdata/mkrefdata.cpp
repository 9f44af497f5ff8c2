// mkrefdata <data dir> <output Ref dir>: builds the reference directory of the program
// (the five reference tables and "params.ini") from the readable sources in data/.
// Sources that fail the checks are refused with one message per offending row, and
// nothing is written. Exit status: 0 written, 1 refused or failed, 2 wrong arguments.
#include <cstdio>
#include <exception>

#include "platform/core/Files.h"
#include "refdata/RefBuild.h"

namespace {

void Say(const AnsiString& text) { std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(text).c_str()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    Say(Ansi("Использование: mkrefdata <каталог исходных данных> <каталог Ref>"));
    return 2;
  }
  const AnsiString dataDir = AnsiPath(argv[1]), refDir = AnsiPath(argv[2]);
  try {
    const refdata::TProblems problems = refdata::BuildRefDir(dataDir, refDir);
    if (problems.empty()) return 0;
    for (const AnsiString& p : problems) Say(p);
    Say(Format(Ansi("mkrefdata: ошибок в исходных данных (%s): %d; таблицы в %s не записаны"),
               {dataDir, problems.size(), refDir}));
  } catch (const Exception& e) {
    Say(Format(Ansi("mkrefdata: ошибка при записи в %s: %s"), {refDir, e.Message()}));
  } catch (const std::exception& e) {
    Say(Format(Ansi("mkrefdata: ошибка при записи в %s: %s"), {refDir, AnsiString(e.what())}));
  }
  return 1;
}
