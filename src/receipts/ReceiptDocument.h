// A whole receipt as one JSON document, checked before anything is sent.
//
//   { "key": "till7-20261210-000123",
//     "operator": { "code": 1, "password": "0000", "till": 1 },
//     "buyer": { "lines": ["..", "..", ".."], "tin": "...", "vrn": "..." },
//     "items": [
//       { "text": "Espresso", "text2": "double", "taxGroup": "A", "price": "2.40",
//         "quantity": "2", "unit": "cup", "discountPercent": "10" },
//       { "plu": 123, "quantity": "1.5", "discountAmount": "0.50" },
//       { "comment": "Thank you for your visit" } ],
//     "payments": [ { "mode": "P", "amount": "10.00" } ] }
//
// Amounts and quantities are decimal strings, never JSON numbers (a binary
// float cannot hold 0.10). The document becomes the list of command rows it
// stands for, and every value is checked with the rows' own rules and the
// structure of their data fields, whatever the connection's check switches
// say. A bad document is refused whole, every bad field named by its path.
// The schema is data/receipt.schema.json.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Strings.h"

namespace orbantis::receipts {

// The largest document taken: a receipt of hundreds of lines is a few KiB.
inline constexpr std::size_t kMaxDocumentBytes = 1024 * 1024;
inline constexpr std::size_t kMaxItems = 1000;
inline constexpr std::size_t kMaxPayments = 8;
inline constexpr std::size_t kMaxKeyLength = 128;

struct FieldError {
  std::string path;   // e.g. items[2].taxGroup; empty for the document itself
  std::string value;  // the value as JSON text, shortened
  std::string rule;   // what it broke, in words
};

// What a line of the document does on the receipt.
enum class Purpose { Open, Sale, Comment, Subtotal, GroupTotals, Payment, Close };

// One command row to run, with its values in the printer's code page.
struct PlannedCommand {
  Purpose purpose;
  std::string row;     // CMD_48_0_0 ...
  AnsiStrings values;  // the row's value parameters
  int item = -1;       // index into items or payments, -1 for the others
};

struct ReceiptDocument {
  std::string key;
  std::string canonical;  // the document as parsed, in one canonical form
  std::string hash;       // of canonical, 16 hex digits
  std::vector<PlannedCommand> commands;
  // The payments as the document gives them (mode letter, amount text); none
  // means the exact total in cash.
  std::vector<std::pair<std::string, std::string>> payments;
};

struct ParseResult {
  ReceiptDocument document;
  std::vector<FieldError> errors;  // empty when the document was taken
  bool ok() const { return errors.empty(); }
};

// Parses and checks text (UTF-8 JSON). Texts are converted to codePage (1252
// or 1251); a text that code page cannot hold is an error, not a "?" on the
// receipt.
ParseResult ParseReceipt(const std::string& text, std::uint16_t codePage = 1252);

// FNV-1a, 64 bits, as 16 lower-case hex digits.
std::string DocumentHash(const std::string& text);

}  // namespace orbantis::receipts
