// Writes the COM description of the interface at build time:
//   orbantis_interface_idl [--without-receipts] ORBANTIS.idl KelmoraVtable.inc
// The Windows build compiles the IDL with widl and includes the C++ file in
// its COM object, so the type library and the object cannot disagree.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "uORBANTIS/InterfaceIdl.h"

int main(int argc, char** argv) {
  bool withReceipts = true;
  int first = 1;
  if (argc > 1 && std::strcmp(argv[1], "--without-receipts") == 0) {
    withReceipts = false;
    first = 2;
  }
  if (argc - first != 2) {
    std::fprintf(stderr, "usage: %s [--without-receipts] OUTPUT.idl OUTPUT.inc\n", argv[0]);
    return 2;
  }
  std::ofstream idl(argv[first], std::ios::binary | std::ios::trunc);
  idl << orbantis::automation::InterfaceIdl(withReceipts);
  std::ofstream cpp(argv[first + 1], std::ios::binary | std::ios::trunc);
  cpp << orbantis::automation::InterfaceVtableCpp(withReceipts);
  return idl && cpp ? 0 : 1;
}
