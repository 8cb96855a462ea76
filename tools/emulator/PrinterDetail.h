// Helpers shared by the command handlers of Printer: refusing a command and parsing data fields.
// Internal to the printer's .cpp files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Money.h"
#include "Status.h"

namespace orbantis::emulator::detail {

// Thrown by a handler before it changes any state; execute() turns it into status bits.
struct Refusal {
  StatusBit bit;
};

[[noreturn]] inline void malformed() { throw Refusal{bits::syntaxError}; }
[[noreturn]] inline void notAllowed() { throw Refusal{bits::notAllowed}; }
[[noreturn]] inline void overflow() { throw Refusal{bits::sumOverflow}; }

// Splits at every separator; "a,,b" gives three pieces, "" gives one empty piece.
inline std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (;;) {
    const auto at = text.find(separator, start);
    pieces.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return pieces;
    start = at + 1;
  }
}

inline long long integerIn(std::string_view text, long long low, long long high) {
  const auto v = parseInteger(text);
  if (!v || *v < low || *v > high) malformed();
  return *v;
}

inline std::int64_t fixedIn(std::string_view text, int decimals, std::int64_t low, std::int64_t high) {
  const auto v = parseFixed(text, decimals);
  if (!v || *v < low || *v > high) malformed();
  return *v;
}

inline constexpr std::int64_t kMaxAmount = 9'999'999'999;  // 99 999 999.99, the widest sum field

inline int taxGroupIndex(char letter) {
  if (letter < 'A' || letter > 'F') malformed();
  return letter - 'A';
}

inline char groupLetter(int index) { return static_cast<char>('A' + index); }

inline std::string joinAmounts(const std::int64_t* values, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ',';
    out += formatAmount(values[i]);
  }
  return out;
}

}  // namespace orbantis::emulator::detail
