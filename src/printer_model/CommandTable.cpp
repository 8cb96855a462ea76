#include "printer_model/CommandTable.h"

namespace orbantis::cmd {

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> all = [] {
    std::vector<Command> commands;
    for (const auto* group : {&ReceiptCommands(), &StatusCommands(), &ReportCommands(), &TextCommands(),
                               &ConfigCommands(), &ItemCommands(), &FiscalMemoryCommands(), &JournalCommands(),
                               &ServiceCommands()})
      for (const CommandRow& row : *group) commands.push_back({&row, CompileField(row)});
    return commands;
  }();
  return all;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& c : AllCommands())
    if (name == c.row->name) return &c;
  return nullptr;
}

}  // namespace orbantis::cmd
