// Reports and cash operations.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {

const std::vector<CommandRow>& ReportCommands() {
  static const std::vector<CommandRow> rows = {};
  return rows;
}

}  // namespace orbantis::cmd
