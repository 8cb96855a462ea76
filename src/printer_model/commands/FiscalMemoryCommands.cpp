// Fiscal memory reads.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {

const std::vector<CommandRow>& FiscalMemoryCommands() {
  static const std::vector<CommandRow> rows = {};
  return rows;
}

}  // namespace orbantis::cmd
