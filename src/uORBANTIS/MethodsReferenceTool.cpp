// Writes docs/methods.md, the reference of every method, from the command
// rows and the interface table: orbantis_methods_reference OUTPUT.md
#include <cstdio>
#include <fstream>

#include "uORBANTIS/MethodDocs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.md\n", argv[0]);
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << orbantis::automation::MethodsReferenceMarkdown();
  return out ? 0 : 1;
}
