// Fiscal receipts: open, sell, subtotal, pay, text, close.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {

const std::vector<CommandRow>& ReceiptCommands() {
  static const std::vector<CommandRow> rows = {};
  return rows;
}

}  // namespace orbantis::cmd
