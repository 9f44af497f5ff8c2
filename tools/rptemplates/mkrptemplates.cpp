// mkrptemplates <Ref dir>: writes the ration's report templates.
#include <cstdio>

#include "rptemplates/RationTemplates.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mkrptemplates <Ref dir>\n");
    return 2;
  }
  try {
    const int n = rptemplates::WriteTemplates(argv[1]);
    std::printf("%d templates written to %s\n", n, argv[1]);
    return 0;
  } catch (const Exception& e) {
    std::fprintf(stderr, "mkrptemplates: %s\n", e.Message().c_str());
    return 1;
  }
}
