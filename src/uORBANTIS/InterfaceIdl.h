// The COM description of the interface, generated from the interface table
// as the D-Bus description is: the type library's IDL (compiled with widl
// into the type library the Windows server embeds) and the C++ bodies of the
// dual interface's table of methods, which all lead to the same entries.
#pragma once

#include <string>

namespace orbantis::automation {

// The IDL of library ORBANTIS 1.0: the dual IKELMORA with every entry in
// table order under its dispatch identifier, the dispinterface
// IKELMORAEvents and the class KELMORA.
std::string InterfaceIdl();

// One C++ method per IKELMORA entry of the same IDL, with the signature
// widl gives it, each handing its arguments to KelmoraObject::Call with its
// entry, found by dispatch identifier and kind. Included inside the class of
// the COM object.
std::string InterfaceVtableCpp();

}  // namespace orbantis::automation
