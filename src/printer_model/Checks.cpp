#include "printer_model/Checks.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace orbantis::cmd {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The parts of a decimal number, validated.
struct Decimal {
  bool negative = false;
  std::string_view whole;     // digits before "."
  std::string_view fraction;  // digits after "."
  long exponent = 0;
};

std::optional<Decimal> splitDecimal(std::string_view t) {
  Decimal d;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) d.negative = t[i++] == '-';
  std::size_t start = i;
  while (i < t.size() && isDigit(t[i])) ++i;
  d.whole = t.substr(start, i - start);
  if (i < t.size() && t[i] == '.') {
    start = ++i;
    while (i < t.size() && isDigit(t[i])) ++i;
    d.fraction = t.substr(start, i - start);
  }
  if (d.whole.empty() && d.fraction.empty()) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negativeExponent = t[i++] == '-';
    start = i;
    long e = 0;
    while (i < t.size() && isDigit(t[i])) {
      if (e < 100000) e = e * 10 + (t[i] - '0');
      ++i;
    }
    if (i == start) return std::nullopt;
    d.exponent = negativeExponent ? -e : e;
  }
  if (i != t.size()) return std::nullopt;
  return d;
}

bool lengthOk(const AnsiString& v, const Rule& r) {
  const auto n = static_cast<std::int64_t>(v.size());
  return r.check == Check::MaxLength ? n <= r.limit : n >= r.limit;
}

bool oneOf(const AnsiString& v, std::string_view list) {
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string_view item = list.substr(start, comma == std::string_view::npos ? list.npos : comma - start);
    if (item == v) return true;
    if (comma == std::string_view::npos) return false;
    start = comma + 1;
  }
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view t) {
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size()) return std::nullopt;
  std::int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (!isDigit(t[i])) return std::nullopt;
    v = v * 10 + (t[i] - '0');
    if (v > 2147483648LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
    return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::optional<long double> ParseNumber(std::string_view t) {
  if (!splitDecimal(t)) return std::nullopt;
  // from_chars does not take a leading "+" and is locale-independent.
  std::string_view body = t;
  if (!body.empty() && body.front() == '+') body.remove_prefix(1);
  long double v = 0;
  auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v, std::chars_format::general);
  if (ec != std::errc() || end != body.data() + body.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<std::int64_t> ParseCurrency(std::string_view t) {
  const auto d = splitDecimal(t);
  if (!d) return std::nullopt;
  // All significant digits with the position of the decimal point, then
  // shifted to four decimals exactly; one more digit decides the rounding.
  std::string digits(d->whole);
  digits += d->fraction;
  long pointAt = static_cast<long>(d->whole.size()) + d->exponent;  // digits before the point
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  pointAt -= static_cast<long>(first);
  digits.erase(0, first);
  constexpr long kDecimals = 4;
  const long keep = pointAt + kDecimals;  // digits that make up the ten-thousandths
  if (keep > 19) return std::nullopt;
  std::uint64_t value = 0;  // at most 19 digits: below 10^19, inside 64 bits
  for (long i = 0; i < keep; ++i) value = value * 10 + (i < static_cast<long>(digits.size()) ? digits[i] - '0' : 0);
  if (keep >= 0 && keep < static_cast<long>(digits.size()) && digits[static_cast<std::size_t>(keep)] >= '5') ++value;
  if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
  auto v = static_cast<std::int64_t>(value);
  return d->negative ? -v : v;
}

std::int32_t RunRules(const AnsiString& value, const Rules& rules) {
  for (const Rule& r : rules) {
    bool ok = true;
    switch (r.check) {
      case Check::Required: ok = !value.empty(); break;
      case Check::MaxLength:
      case Check::MinLength: ok = lengthOk(value, r); break;
      case Check::OneOf: ok = oneOf(value, r.text); break;
      case Check::Integer: ok = ParseInteger(value).has_value(); break;
      case Check::IntegerAtMost: {
        auto v = ParseInteger(value);
        ok = v && *v <= r.limit;
        break;
      }
      case Check::IntegerAtLeast: {
        auto v = ParseInteger(value);
        ok = v && *v >= r.limit;
        break;
      }
      case Check::Number: ok = ParseNumber(value).has_value(); break;
      case Check::NumberAtMost:
      case Check::NumberAtLeast: {
        auto v = ParseNumber(value);
        auto bound = ParseNumber(r.text);
        ok = v && bound && (r.check == Check::NumberAtMost ? *v <= *bound : *v >= *bound);
        break;
      }
      case Check::PassIf:
        if (value == r.text) return CHECKS_END_WITH_SUCCESS;
        break;
      case Check::Currency: ok = ParseCurrency(value).has_value(); break;
      case Check::CurrencyAtMost:
      case Check::CurrencyAtLeast: {
        auto v = ParseCurrency(value);
        auto bound = ParseCurrency(r.text);
        ok = v && bound && (r.check == Check::CurrencyAtMost ? *v <= *bound : *v >= *bound);
        break;
      }
    }
    if (!ok) return r.code;
  }
  return 0;
}

}  // namespace orbantis::cmd
