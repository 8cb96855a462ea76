// What every command row does, for a till programmer: the reference of the
// command methods. docs/methods.md, the descriptions in the interface
// description and orbantis-cli --help METHOD are all generated from these
// entries, and a test keeps every row described.
#pragma once

#include <string_view>
#include <vector>

namespace orbantis::cmd {

struct ValueDoc {
  const char* name;     // the parameter's name in the row, in row order
  const char* meaning;  // what it is, its allowed values and what they mean, its cut length
};

struct CommandDoc {
  const char* name;              // the row's name, e.g. "CMD_48_0_0"
  const char* summary;           // what the command does on the printer, in a sentence or two
  std::vector<ValueDoc> params;  // every value parameter of the row, in order
  std::vector<ValueDoc> answers; // every answer parameter of the row, in order
  const char* codes;             // the result codes it can give, and when
};

// The entries of each command group, one file each under descriptions/.
const std::vector<CommandDoc>& ReceiptCommandDocs();
const std::vector<CommandDoc>& StatusCommandDocs();
const std::vector<CommandDoc>& ReportCommandDocs();
const std::vector<CommandDoc>& TextCommandDocs();
const std::vector<CommandDoc>& ConfigCommandDocs();
const std::vector<CommandDoc>& ItemCommandDocs();
const std::vector<CommandDoc>& FiscalMemoryCommandDocs();
const std::vector<CommandDoc>& JournalCommandDocs();
const std::vector<CommandDoc>& ServiceCommandDocs();

// The entry of a row, or nullptr.
const CommandDoc* FindCommandDoc(std::string_view name);

}  // namespace orbantis::cmd
