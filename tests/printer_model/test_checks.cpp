// The check rules, as a support engineer would read them off a manual.
#include <gtest/gtest.h>

#include "printer_model/Checks.h"

namespace orbantis::cmd {
namespace {

struct RuleCase {
  const char* value;
  Rules rules;
  std::int32_t expected;
};

TEST(Checks, RulesRunInOrderAndTheFirstFailureGivesItsCode) {
  const Rules opCode = {Required(-10500), Integer(-10511), IntegerAtMost(16, -10511), IntegerAtLeast(1, -10512)};
  const Rules price = {Required(-10500), Currency(-10506), CurrencyAtMost("99999999", -10506)};
  const Rules perc58 = {Required(-10500), Currency(-10507), CurrencyAtLeast("-99", -10507), CurrencyAtMost("99", -10506)};
  const Rules quan58 = {Required(-10500), Number(-10508), NumberAtMost("99999999", -10508), NumberAtLeast("0.001", -10509)};
  const Rules bound999999_99 = {CurrencyAtMost("999999.99", -10506)};
  const RuleCase cases[] = {
      {"", opCode, -10500},
      {"1", opCode, 0},
      {"16", opCode, 0},
      {"17", opCode, -10511},
      {"0", opCode, -10512},
      {"x", opCode, -10511},
      {"1.0", opCode, -10511},
      {" 1", opCode, -10511},
      {"2147483648", opCode, -10511},
      {"12.50", price, 0},
      {"-5", price, 0},
      {"99999999", price, 0},
      {"99999999.0001", price, -10506},
      {"12,50", price, -10506},
      {"abc", perc58, -10507},
      {"-99", perc58, 0},
      {"99", perc58, 0},
      {"-99.01", perc58, -10507},
      {"99.01", perc58, -10506},
      {"0.001", quan58, 0},
      {"0.0005", quan58, -10509},
      {"1e3", quan58, 0},
      {"1.5E-2", quan58, 0},
      {"1e", quan58, -10508},
      {".", quan58, -10508},
      {"1.2.3", quan58, -10508},
      {"999999.99", bound999999_99, 0},
      {"999999.991", bound999999_99, -10506},
      {"999999.99001", bound999999_99, 0},  // rounded to four decimals first: 999999.9900
      {"A", {OneOf("A,B,C,D,E,F", -10504)}, 0},
      {"a", {OneOf("A,B,C,D,E,F", -10504)}, -10504},
      {"AB", {OneOf("A,B", -10504)}, -10504},
      {"", {OneOf("A,B", -10504)}, -10504},
      {"123456789", {MaxLength(9, -10513), MinLength(9, -10514)}, 0},
      {"12345678", {MaxLength(9, -10513), MinLength(9, -10514)}, -10514},
      {"1234567890", {MaxLength(9, -10513), MinLength(9, -10514)}, -10513},
  };
  for (const auto& c : cases) EXPECT_EQ(RunRules(c.value, c.rules), c.expected) << '"' << c.value << '"';
}

TEST(Checks, CurrencyIsExactToFourDecimals) {
  struct {
    const char* text;
    std::optional<std::int64_t> tenThousandths;
  } cases[] = {
      {"12.5", 125000},
      {"-0.0001", -1},
      {"0.00005", 1},
      {"0.00004", 0},
      {"999999.991", 9999999910},
      {"1e2", 1000000},
      {"+3", 30000},
      {"922337203685477.5807", 9223372036854775807},
      {"922337203685478", std::nullopt},
      {"1e300", std::nullopt},
      {"", std::nullopt},
      {"1,5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseCurrency(c.text), c.tenThousandths) << c.text;
  // The bound compares the exact fixed-point values.
  EXPECT_EQ(RunRules("999999.991", {CurrencyAtMost("999999.99", -1)}), -1);
}

TEST(Checks, IntegersAreSigned32Bit) {
  EXPECT_EQ(ParseInteger("-2147483648"), -2147483648LL);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("2147483648"), std::nullopt);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseInteger("-"), std::nullopt);
  EXPECT_EQ(ParseInteger("0x10"), std::nullopt);
}

}  // namespace
}  // namespace orbantis::cmd
