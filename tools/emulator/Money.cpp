#include "Money.h"

#include <charconv>
#include <cstdlib>

namespace orbantis::emulator {

std::optional<std::int64_t> parseFixed(std::string_view text, int decimals) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if ((whole.empty() && fraction.empty()) || static_cast<int>(fraction.size()) > decimals || whole.size() > 15) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  for (int i = 0; i < decimals; ++i) {
    const char c = i < static_cast<int>(fraction.size()) ? fraction[static_cast<std::size_t>(i)] : '0';
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::string formatFixed(std::int64_t value, int decimals) {
  const bool negative = value < 0;
  std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-(value + 1)) + 1 : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (static_cast<int>(digits.size()) <= decimals) {
    digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
  }
  if (decimals > 0) {
    digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
  }
  return negative ? "-" + digits : digits;
}

// A price of 99 999 999.99 times a quantity of 99 999 999.999 does not fit in 64 bits.
__extension__ typedef __int128 Wide;

std::int64_t mulDivRound(std::int64_t a, std::int64_t b, std::int64_t c) {
  Wide product = static_cast<Wide>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  if (product < 0) product = -product;
  const Wide divisor = c < 0 ? -static_cast<Wide>(c) : c;
  Wide q = (product + divisor / 2) / divisor;
  return static_cast<std::int64_t>(negative ? -q : q);
}

std::optional<long long> parseInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace orbantis::emulator
