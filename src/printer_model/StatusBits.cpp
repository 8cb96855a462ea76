#include "printer_model/StatusBits.h"

namespace orbantis {

const std::array<const char16_t*, 48>& StatusBitTexts() {
  static const std::array<const char16_t*, 48> texts = {
      // S0
      u"# Incoming data has syntax error",
      u"# Code of incoming command is invalid",
      u"The clock needs setting",
      u"Display is disconnected",
      u"Failure in printing mechanism",
      u"General error - OR of all errors marked with #",
      u"Cover is open",
      u"Reserved",
      // S1
      u"# If during command some of the fields for sums overflow.",
      u"# If command cannot be performed in the current fiscal mode",
      u"# Operational memory was cleared",
      u"Battery is low",
      u"# RAM failure after power ON",
      u"The drawer is open",
      u"Not used",
      u"Reserved",
      // S2
      u"# No paper.",
      u"Paper near end",
      u"Electronic journal end",
      u"A fiscal receipt has been opened",
      u"Electronic journal near end",
      u"If a non-fiscal receipt has been opened",
      u"Electronic journal is not empty",
      u"Reserved",
      // S3
      u"SW1 state. Transparent display",
      u"SW2 state. No obligatory display",
      u"SW3 state. Half cutting",
      u"SW4 state. Automatic paper cutting",
      u"SW5 state. Not used",
      u"SW6 state. Serial port speed",
      u"SW7 state. Serial port speed",
      u"Reserved",
      // S4
      u"* When there is an error during entry in the fiscal memory",
      u"TIN and VRN numbers set",
      u"Serial number set",
      u"If there is space for not more than 30 entries in the FM",
      u"* Fiscal memory is fully engaged.",
      u"OR of all mistakes marked by \u2018*\u2019 from bytes 4 and 5",
      u"Reserved",
      u"Reserved",
      // S5
      u"* If the fiscal memory is in read-only mode",
      u"If the fiscal memory has been formatted",
      u"Last fiscal closure not OK",
      u"If the printer is in fiscal mode",
      u"If tax rates have been entered at least once",
      u"Error reading fiscal memory",
      u"Reserved",
      u"Reserved",
  };
  return texts;
}

const std::array<StatusBitId, 15>& ErrorStatusBits() {
  static const std::array<StatusBitId, 15> bits = {{
      {0, 5}, {0, 4}, {0, 2}, {0, 1}, {0, 0},  // general error, mechanism, clock, command code, syntax
      {1, 4}, {1, 2}, {1, 1}, {1, 0},          // RAM, memory cleared, fiscal mode, overflow
      {2, 0},                                  // no paper
      {4, 5}, {4, 4}, {4, 0},                  // fiscal memory: summary, full, write error
      {5, 5}, {5, 0},                          // fiscal memory: read error, read-only
  }};
  return bits;
}

const std::array<StatusBitId, 4>& NotDoneStatusBits() {
  static const std::array<StatusBitId, 4> bits = {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}};
  return bits;
}

}  // namespace orbantis
