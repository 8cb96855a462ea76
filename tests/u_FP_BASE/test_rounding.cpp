#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "u_FP_BASE/Rounding.h"

namespace orbantis {
namespace {

TEST(SciRound, HalfIsJudgedOnTheTenthsRoundedToTwoDecimals) {
  const struct {
    double x;
    std::int64_t expected;
  } cases[] = {
      {0.0, 0},      {0.5, 1},       {0.4, 0},       {-0.5, -1},     {-0.4, 0},
      {2.5, 3},      {-2.5, -3},     {2.4999, 3},    {2.4994, 2},    {-2.4999, -3},
      {-2.4994, -2}, {1.45, 1},      {-1.45, -1},    {7.0, 7},       {-7.0, -7},
      {9.99, 10},    {-9.99, -10},   {123456.5, 123457},             {-123456.49, -123456},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SciRound(c.x), c.expected) << "x = " << c.x;
  }
}

TEST(SciRound, OutOfRangeSaturatesAndNanIsZero) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(SciRound(1e300), kMax);
  EXPECT_EQ(SciRound(-1e300), kMin);
  EXPECT_EQ(SciRound(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(SciRound(-std::numeric_limits<double>::infinity()), kMin);
  EXPECT_EQ(SciRound(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(SciRound(2251799813685248.5), 2251799813685249);  // last representable half
}

TEST(RoundD, RoundsToDDecimals) {
  const struct {
    double x;
    int d;
    long double expected;
  } cases[] = {
      {1.2345, 2, 1.23L}, {1.235, 2, 1.24L},  {-1.235, 2, -1.24L}, {2.5, 0, 3.0L},
      {1.2345, 3, 1.235L}, {-0.004, 2, 0.0L},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoundD(c.x, c.d), c.expected) << "x = " << c.x << ", d = " << c.d;
  }
}

TEST(RoundDoubleFromTo, CascadesDigitByDigitOrRoundsOnce) {
  const struct {
    double x;
    int to;
    int from;
    double expected;
  } cases[] = {
      // Cascade 4 -> 3 -> 2 lets the 5 in the fourth decimal climb up.
      {1.2345, 2, 4, 1.24},
      {-1.2345, 2, 4, -1.24},
      // One step at toDigits.
      {1.2345, 2, 2, 1.23},
      {1.2345, 2, 1, 1.23},
      {-1.2345, 2, 0, -1.23},
      {0.125, 2, 2, 0.13},
      {10.0, 2, 4, 10.0},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(RoundDoubleFromTo(c.x, c.to, c.from), c.expected)
        << c.x << " to " << c.to << " from " << c.from;
  }
}

}  // namespace
}  // namespace orbantis
