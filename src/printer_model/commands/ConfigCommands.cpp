// Configuration and identity.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {

const std::vector<CommandRow>& ConfigCommands() {
  static const std::vector<CommandRow> rows = {};
  return rows;
}

}  // namespace orbantis::cmd
