// Writes the interface description (ORBANTIS.KELMORA.xml) at build time, so
// the installed file is the one the server itself answers with.
#include <cstdio>
#include <fstream>

#include "uORBANTIS/InterfaceTable.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.xml\n", argv[0]);
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << orbantis::automation::InterfaceDescriptionXml();
  return out ? 0 : 1;
}
