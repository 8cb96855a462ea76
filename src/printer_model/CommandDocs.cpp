#include "printer_model/CommandDocs.h"

namespace orbantis::cmd {

const CommandDoc* FindCommandDoc(std::string_view name) {
  for (const auto* group : {&ReceiptCommandDocs(), &StatusCommandDocs(), &ReportCommandDocs(), &TextCommandDocs(),
                            &ConfigCommandDocs(), &ItemCommandDocs(), &FiscalMemoryCommandDocs(), &JournalCommandDocs(),
                            &ServiceCommandDocs()})
    for (const CommandDoc& d : *group)
      if (name == d.name) return &d;
  return nullptr;
}

}  // namespace orbantis::cmd
