// Logo rows and service commands.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {

const std::vector<CommandRow>& ServiceCommands() {
  static const std::vector<CommandRow> rows = {};
  return rows;
}

}  // namespace orbantis::cmd
