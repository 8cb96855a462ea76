// Fuzz target: the parameter and answer checks and the number parsers.
//
// Input layout: byte 0 picks a rule set, the rest is the value. The rule sets
// are every non-empty rule list of every command row (parameters and answer
// values, in table order) followed by a few lists with extreme or broken
// bounds.
//
// Invariants: no crash; RunRules returns 0, CHECKS_END_WITH_SUCCESS or the
// code of one of the set's rules; ParseInteger agrees with a plain reference
// reading; an integer parses as the same number and as that many currency
// units; a currency value printed with four decimals parses back to itself;
// where both parse, a number and a currency value differ by at most half a
// ten-thousandth (plus the precision of long double).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "printer_model/Checks.h"
#include "printer_model/CommandTable.h"

namespace {

using namespace orbantis;
using namespace orbantis::cmd;

std::vector<Rules> BuildRuleSets() {
  std::vector<Rules> sets;
  for (const Command& command : AllCommands()) {
    for (const Param& p : command.row->in)
      if (!p.rules.empty()) sets.push_back(p.rules);
    for (const Param& p : command.row->out)
      if (!p.rules.empty()) sets.push_back(p.rules);
  }
  sets.push_back({Required(-1), MaxLength(0, -2), MinLength(3, -3)});
  sets.push_back({MinLength(-5, -1), MaxLength(std::numeric_limits<std::int64_t>::max(), -2)});
  sets.push_back({Integer(-1), IntegerAtMost(std::numeric_limits<std::int32_t>::max(), -2),
                  IntegerAtLeast(std::numeric_limits<std::int32_t>::min(), -3)});
  sets.push_back({IntegerAtMost(std::numeric_limits<std::int64_t>::min(), -1)});
  sets.push_back({Number(-1), NumberAtMost("1e308", -2), NumberAtLeast("-1e308", -3)});
  sets.push_back({NumberAtMost("not a number", -1)});
  sets.push_back({NumberAtLeast("", -1)});
  sets.push_back({Currency(-1), CurrencyAtMost("922337203685477.5807", -2),
                  CurrencyAtLeast("-922337203685477.5807", -3)});
  sets.push_back({CurrencyAtMost("1e-99999", -1), CurrencyAtLeast("-0.00005", -2)});
  sets.push_back({CurrencyAtLeast("9e99", -1)});
  sets.push_back({OneOf(",a,,b,", -1)});
  sets.push_back({OneOf("", -1)});
  sets.push_back({PassIf(""), Required(-1)});
  sets.push_back({PassIf("F"), OneOf("P", -1), Integer(-2)});
  return sets;
}

const std::vector<Rules>& RuleSets() {
  static const std::vector<Rules> sets = BuildRuleSets();
  return sets;
}

// A plain reading of a signed 32-bit decimal: optional sign, one or more
// digits, nothing else, within range.
std::optional<std::int32_t> ReferenceInteger(std::string_view t) {
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return std::nullopt;
  for (char c : t)
    if (c < '0' || c > '9') return std::nullopt;
  while (t.size() > 1 && t[0] == '0') t.remove_prefix(1);
  if (t.size() > 10) return std::nullopt;
  std::int64_t v = 0;
  for (char c : t) v = v * 10 + (c - '0');
  if (negative) v = -v;
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(v);
}

// A count of ten-thousandths as a decimal with four decimals.
std::string FormatCurrency(std::int64_t units) {
  const bool negative = units < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000), static_cast<unsigned long long>(magnitude % 10000));
  return buffer;
}

void CheckParsers(std::string_view value) {
  const auto integer = ParseInteger(value);
  FUZZ_CHECK(integer == ReferenceInteger(value));

  const auto number = ParseNumber(value);
  const auto currency = ParseCurrency(value);
  if (number) FUZZ_CHECK(std::isfinite(*number));

  if (integer) {
    FUZZ_CHECK(number && *number == static_cast<long double>(*integer));
    FUZZ_CHECK(currency && *currency == static_cast<std::int64_t>(*integer) * 10000);
  }

  if (currency) {
    const std::string printed = FormatCurrency(*currency);
    FUZZ_CHECK(ParseCurrency(printed) == currency);
    const auto again = ParseNumber(printed);
    FUZZ_CHECK(again.has_value());
  }

  if (number && currency) {
    const long double scaled = *number * 10000.0L;
    const long double c = static_cast<long double>(*currency);
    const long double tolerance = 0.5L + std::fabs(c) * 1e-15L + 1e-9L;
    if (!(std::fabs(scaled - c) <= tolerance)) {
      std::fprintf(stderr, "number %.21Lg, currency %lld\n", *number, static_cast<long long>(*currency));
      FUZZ_CHECK(!"a number and its currency value disagree");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const auto& sets = RuleSets();
  const Rules& rules = sets[in.Byte() % sets.size()];
  const AnsiString value = in.Rest();

  const std::int32_t result = RunRules(value, rules);
  bool known = result == 0 || result == CHECKS_END_WITH_SUCCESS;
  for (const Rule& r : rules) known = known || result == r.code;
  FUZZ_CHECK(known);

  CheckParsers(value);
  return 0;
}
