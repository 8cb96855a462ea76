// Fixed-point numbers as the printer handles them: amounts in hundredths, quantities in
// thousandths, percentages in hundredths. Integer arithmetic, so totals never drift.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbantis::emulator {

inline constexpr int kAmountDecimals = 2;
inline constexpr int kQuantityDecimals = 3;

// "12.5" with 2 decimals gives 1250; a sign, digits and at most one point; more decimals than
// allowed, an empty text or any other character give nullopt.
std::optional<std::int64_t> parseFixed(std::string_view text, int decimals);

// 1250 with 2 decimals gives "12.50"; -25 gives "-0.25".
std::string formatFixed(std::int64_t value, int decimals);
inline std::string formatAmount(std::int64_t cents) { return formatFixed(cents, kAmountDecimals); }

// a * b / c rounded half away from zero, without overflow in the product.
std::int64_t mulDivRound(std::int64_t a, std::int64_t b, std::int64_t c);

// A plain decimal integer: optional sign, digits only, within long long.
std::optional<long long> parseInteger(std::string_view text);

}  // namespace orbantis::emulator
