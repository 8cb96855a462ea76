// Every printer command of the model, as rows (see CommandRow.h).
#pragma once

#include <string_view>
#include <vector>

#include "printer_model/CommandRow.h"

namespace orbantis::cmd {

// A row with its data-field template resolved.
struct Command {
  const CommandRow* row;
  std::vector<FieldPiece> field;
};

// The rows of each group, one file each under commands/.
const std::vector<CommandRow>& StatusCommands();       // status and information reads

// All commands, in group order. Built once; raises Exception at first use if a
// row's template names a parameter the row does not have.
const std::vector<Command>& AllCommands();

// nullptr when there is no such command.
const Command* FindCommand(std::string_view name);

}  // namespace orbantis::cmd
