#include "printer_model/CommandTable.h"

#include <map>

namespace orbantis::cmd {

const std::vector<Command>& AllCommands() {
  static const std::vector<Command> all = [] {
    std::vector<const CommandRow*> rows;
    for (const auto* group : {&ReceiptCommands(), &StatusCommands(), &ReportCommands(), &TextCommands(),
                               &ConfigCommands(), &ItemCommands(), &FiscalMemoryCommands(), &JournalCommands(),
                               &ServiceCommands()})
      for (const CommandRow& row : *group) rows.push_back(&row);
    // The printer reads every variant of a command with one grammar: the
    // separators of all rows with the same code bind the values of each.
    std::map<std::int32_t, std::vector<const CommandRow*>> byCode;
    for (const CommandRow* row : rows) byCode[row->code].push_back(row);
    std::vector<Command> commands;
    for (const CommandRow* row : rows) commands.push_back({row, CompileField(*row, SeparatorsOf(byCode[row->code]))});
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
