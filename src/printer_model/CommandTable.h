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
const std::vector<CommandRow>& ReceiptCommands();       // fiscal receipts: open, sell, subtotal, pay, text, close
const std::vector<CommandRow>& StatusCommands();        // status and information reads
const std::vector<CommandRow>& ReportCommands();        // reports and cash operations
const std::vector<CommandRow>& TextCommands();          // texts, lines, barcodes and sounds
const std::vector<CommandRow>& ConfigCommands();        // configuration and identity
const std::vector<CommandRow>& ItemCommands();          // the item (PLU) database
const std::vector<CommandRow>& FiscalMemoryCommands();  // fiscal memory reads
const std::vector<CommandRow>& JournalCommands();       // the electronic journal
const std::vector<CommandRow>& ServiceCommands();       // logo rows and service commands

// All commands, in group order. Built once; raises Exception at first use if a
// row's template names a parameter the row does not have.
const std::vector<Command>& AllCommands();

// nullptr when there is no such command.
const Command* FindCommand(std::string_view name);

}  // namespace orbantis::cmd
