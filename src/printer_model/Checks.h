// The checks a command runs on its parameters and on the printer's answer.
//
// A check is data: what it tests, the bound or list it tests against, and the
// result code it sets when the value fails. A command row lists the checks of
// each parameter in the order they run; the first failing check ends the
// method with its code.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "foundation/Strings.h"

namespace orbantis::cmd {

enum class Check : std::uint8_t {
  Required,         // at least one character
  MaxLength,        // at most limit characters (bytes of the 8-bit text)
  MinLength,        // at least limit characters
  OneOf,            // equals, case-sensitively, one item of the comma-separated list
  Integer,          // a signed 32-bit decimal integer
  IntegerAtMost,    // ... not above limit
  IntegerAtLeast,   // ... not below limit
  Number,           // a decimal number ("." whatever the locale)
  NumberAtMost,     // ... not above bound
  NumberAtLeast,    // ... not below bound
  Currency,         // a decimal number as a fixed-point value with four decimals
  CurrencyAtMost,   // ... not above bound, compared exactly
  CurrencyAtLeast,  // ... not below bound, compared exactly
  PassIf,           // equal to text: the value passes and no further check runs
};

struct Rule {
  Check check;
  std::int32_t code;              // the result code when the value fails
  std::int64_t limit = 0;         // lengths and integer bounds
  std::string_view text = {};     // the list of OneOf, the decimal bound of Number/Currency
};

using Rules = std::vector<Rule>;

// Rule constructors, so that a row reads like the printer manual:
//   {Required(-10500), Integer(-10511), IntegerAtMost(16, -10511), IntegerAtLeast(1, -10512)}
constexpr Rule Required(std::int32_t code) { return {Check::Required, code}; }
constexpr Rule MaxLength(std::int64_t n, std::int32_t code) { return {Check::MaxLength, code, n}; }
constexpr Rule MinLength(std::int64_t n, std::int32_t code) { return {Check::MinLength, code, n}; }
constexpr Rule OneOf(std::string_view list, std::int32_t code) { return {Check::OneOf, code, 0, list}; }
constexpr Rule Integer(std::int32_t code) { return {Check::Integer, code}; }
constexpr Rule IntegerAtMost(std::int64_t v, std::int32_t code) { return {Check::IntegerAtMost, code, v}; }
constexpr Rule IntegerAtLeast(std::int64_t v, std::int32_t code) { return {Check::IntegerAtLeast, code, v}; }
constexpr Rule Number(std::int32_t code) { return {Check::Number, code}; }
constexpr Rule NumberAtMost(std::string_view v, std::int32_t code) { return {Check::NumberAtMost, code, 0, v}; }
constexpr Rule NumberAtLeast(std::string_view v, std::int32_t code) { return {Check::NumberAtLeast, code, 0, v}; }
constexpr Rule Currency(std::int32_t code) { return {Check::Currency, code}; }
constexpr Rule CurrencyAtMost(std::string_view v, std::int32_t code) { return {Check::CurrencyAtMost, code, 0, v}; }
constexpr Rule CurrencyAtLeast(std::string_view v, std::int32_t code) { return {Check::CurrencyAtLeast, code, 0, v}; }
// A printer that answers "F" (failed) sends no record after it: the answer
// check ends there with success, and the status letter tells the client.
constexpr Rule PassIf(std::string_view v) { return {Check::PassIf, 0, 0, v}; }

// What RunRules returns when a PassIf rule matched: the remaining checks of
// this and of every later value are skipped.
inline constexpr std::int32_t CHECKS_END_WITH_SUCCESS = 1;

// Input codes.
inline constexpr std::int32_t IN_REQUIRED = -10500;
inline constexpr std::int32_t IN_MAX_LENGTH = -10502;
inline constexpr std::int32_t IN_MIN_LENGTH = -10503;
inline constexpr std::int32_t IN_NOT_IN_LIST = -10504;
inline constexpr std::int32_t IN_NOT_NUMBER = -10505;
inline constexpr std::int32_t IN_CURRENCY_ABOVE = -10506;
inline constexpr std::int32_t IN_CURRENCY_BELOW = -10507;
inline constexpr std::int32_t IN_QUANTITY_ABOVE = -10508;
inline constexpr std::int32_t IN_QUANTITY_BELOW = -10509;
inline constexpr std::int32_t IN_NOT_INTEGER = -10510;
inline constexpr std::int32_t IN_INTEGER_ABOVE = -10511;
inline constexpr std::int32_t IN_INTEGER_BELOW = -10512;
// Answer codes.
inline constexpr std::int32_t OUT_MAX_LENGTH = -10513;
inline constexpr std::int32_t OUT_MIN_LENGTH = -10514;
inline constexpr std::int32_t OUT_NOT_IN_LIST = -10515;
inline constexpr std::int32_t OUT_NOT_NUMBER = -10516;
inline constexpr std::int32_t OUT_CURRENCY_ABOVE = -10517;
inline constexpr std::int32_t OUT_CURRENCY_BELOW = -10518;
inline constexpr std::int32_t OUT_QUANTITY_ABOVE = -10519;
inline constexpr std::int32_t OUT_QUANTITY_BELOW = -10520;
inline constexpr std::int32_t OUT_NOT_INTEGER = -10521;
inline constexpr std::int32_t OUT_INTEGER_ABOVE = -10522;
inline constexpr std::int32_t OUT_INTEGER_BELOW = -10523;
inline constexpr std::int32_t OUT_REQUIRED = -10524;

// A signed 32-bit decimal integer: optional sign and digits, nothing else.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// A decimal number: optional sign, digits with at most one ".", optional
// exponent ("e" or "E", optional sign, digits). The decimal separator is "."
// whatever the locale.
std::optional<long double> ParseNumber(std::string_view text);

// A currency value: a decimal number rounded half away from zero to four
// decimals, as an exact count of ten-thousandths. Values beyond the range of
// the fixed-point type (about 9.2e14) do not parse.
std::optional<std::int64_t> ParseCurrency(std::string_view text);

// 0 when value passes every rule, else the code of the first rule it fails
// (or CHECKS_END_WITH_SUCCESS).
std::int32_t RunRules(const AnsiString& value, const Rules& rules);

}  // namespace orbantis::cmd
