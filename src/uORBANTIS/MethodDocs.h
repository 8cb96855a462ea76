// What each method of ORBANTIS.IKELMORA does, for the interface description's
// documentation annotations, docs/methods.md and orbantis-cli --help. The
// printer commands take their text from the command rows' descriptions
// (printer_model/CommandDocs.h); the object's own methods have theirs here.
#pragma once

#include <string>

#include "uORBANTIS/InterfaceTable.h"

namespace orbantis::automation {

// The method's description; empty for none.
std::string MethodSummary(const InterfaceEntry& e);
// The meaning of one of its arguments; empty for none.
std::string ArgumentDoc(const InterfaceEntry& e, const std::string& argument);
// The result codes it gives; empty for none.
std::string ResultDoc(const InterfaceEntry& e);

// The command row behind an interface entry ("CMD_121_0" is the row
// CMD_121_0_0), or nullptr for the object's own methods.
const char* RowOf(const InterfaceEntry& e);

// docs/methods.md: every method, grouped as the command groups are.
std::string MethodsReferenceMarkdown();

}  // namespace orbantis::automation
