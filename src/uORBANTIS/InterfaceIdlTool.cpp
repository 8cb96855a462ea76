// Writes the COM description of the interface at build time:
//   orbantis_interface_idl ORBANTIS.idl KelmoraVtable.inc
// The Windows build compiles the IDL with widl and includes the C++ file in
// its COM object, so the type library and the object cannot disagree.
#include <cstdio>
#include <fstream>

#include "uORBANTIS/InterfaceIdl.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUTPUT.idl OUTPUT.inc\n", argv[0]);
    return 2;
  }
  std::ofstream idl(argv[1], std::ios::binary | std::ios::trunc);
  idl << orbantis::automation::InterfaceIdl();
  std::ofstream cpp(argv[2], std::ios::binary | std::ios::trunc);
  cpp << orbantis::automation::InterfaceVtableCpp();
  return idl && cpp ? 0 : 1;
}
