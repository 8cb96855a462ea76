#include "u_FP_BASE/Rounding.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace orbantis {

namespace {

// x rounded to two decimals through its decimal text, the way the engine has
// always judged a half: the value is written in fixed notation and read back.
// std::to_chars / std::from_chars are used because they ignore the locale;
// a "," decimal separator must never change a rounding.
long double ThroughTwoDecimals(long double x) {
  char buf[64];
  auto written = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 2);
  if (written.ec != std::errc()) return x;
  long double back = 0;
  auto read = std::from_chars(buf, written.ptr, back, std::chars_format::fixed);
  if (read.ec != std::errc()) return x;
  return back;
}

long double PowerOfTen(int d) { return std::pow(10.0L, static_cast<long double>(d)); }

}  // namespace

std::int64_t SciRound(double x) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  if (std::isnan(x)) return 0;
  // 2^63 is exactly representable; anything at or beyond it saturates.
  constexpr double kLimit = 9223372036854775808.0;
  if (x >= kLimit) return kMax;
  if (x < -kLimit) return kMin;

  double whole = std::trunc(x);
  auto result = static_cast<std::int64_t>(whole);
  // The fraction is exact in double; scaling it in extended precision keeps
  // e.g. 2.4999 at 4.999..., which the two-decimal text then turns into 5.00.
  long double tenths = static_cast<long double>(x - whole) * 10.0L;
  long double judged = std::trunc(ThroughTwoDecimals(tenths));
  if (std::fabs(judged) >= 5.0L) result += (x > 0) - (x < 0);
  return result;
}

long double RoundD(double x, int d) {
  long double p = PowerOfTen(d);
  return static_cast<long double>(SciRound(static_cast<double>(x * p))) / p;
}

double RoundDoubleFromTo(double sourceValue, int toDigits, int startFromDigits) {
  if (toDigits >= startFromDigits) {
    long double p = PowerOfTen(toDigits);
    return static_cast<double>(static_cast<long double>(SciRound(static_cast<double>(sourceValue * p))) / p);
  }
  // Cascade: each step rounds the previous step's result one digit shorter, so
  // 1.2345 becomes 1.2345, 1.235, 1.24 (a single step to 2 digits gives 1.23).
  long double v = sourceValue;
  for (int k = startFromDigits; k >= toDigits; --k) {
    long double p = PowerOfTen(k);
    v = static_cast<long double>(SciRound(static_cast<double>(v * p))) / p;
  }
  return static_cast<double>(v);
}

}  // namespace orbantis
