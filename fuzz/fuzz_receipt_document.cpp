// Fuzz target: the receipt document parser and checker.
//
// The input is the document text, as a till would send it (any bytes: broken
// UTF-8, broken JSON, deep nesting, huge numbers). It is parsed for a
// Western and for a Cyrillic printer.
//
// Invariants: no crash and no escaping exception; a document is either taken
// with its commands or refused with its errors, never both and never
// neither; a taken document opens first, closes last and has a key; every
// command it plans builds its data field (the values were checked against
// the structure of their fields); every error names a path within the
// document's fields (or the document itself), unless the parser gave up at
// a broken field name.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "printer_model/CommandTable.h"
#include "receipts/ReceiptDocument.h"

namespace {

bool KnownPath(const std::string& path) {
  if (path.empty()) return true;
  for (const char* top : {"key", "operator", "buyer", "items", "payments"}) {
    const std::string t = top;
    if (path.rfind(t, 0) == 0 && (path.size() == t.size() || path[t.size()] == '.' || path[t.size()] == '['))
      return true;
  }
  // A misspelt top-level field is named as it was written.
  return path.find('.') == std::string::npos && path.find('[') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const std::uint16_t codePage : {std::uint16_t {1252}, std::uint16_t {1251}}) {
    const auto r = orbantis::receipts::ParseReceipt(text, codePage);
    if (r.ok()) {
      const auto& d = r.document;
      FUZZ_CHECK(!d.commands.empty());
      FUZZ_CHECK(!d.key.empty());
      FUZZ_CHECK(d.commands.front().purpose == orbantis::receipts::Purpose::Open);
      FUZZ_CHECK(d.commands.back().purpose == orbantis::receipts::Purpose::Close);
      FUZZ_CHECK(d.hash.size() == 16);
      for (const auto& c : d.commands) {
        const auto* command = orbantis::cmd::FindCommand(c.row);
        FUZZ_CHECK(command != nullptr);
        FUZZ_CHECK(c.values.size() == command->row->in.size());
        orbantis::cmd::BuildField(command->field, c.values, true);  // raises if a value breaks its field
      }
    } else {
      FUZZ_CHECK(r.document.commands.empty());
      for (const auto& e : r.errors) {
        // A document the parser gives up on is named where it broke, a broken
        // field name included.
        const bool parseError = e.rule.rfind("is not valid JSON", 0) == 0 || e.rule.rfind("is nested", 0) == 0;
        FUZZ_CHECK(parseError || KnownPath(e.path) || e.rule == "is not a field of this object");
        FUZZ_CHECK(!e.rule.empty());
      }
    }
  }
  return 0;
}
