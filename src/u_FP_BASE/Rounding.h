// Decimal rounding helpers of the engine.
#pragma once

#include <cstdint>

namespace orbantis {

// Rounds half away from zero, judging "half" on the first decimal digit after
// rounding the fraction x 10 to two decimals: 2.4999 -> 3, 2.4994 -> 2,
// -2.5 -> -3. Values beyond the int64 range saturate; NaN gives 0.
std::int64_t SciRound(double x);

// SciRound(x * 10^d) / 10^d in extended precision.
long double RoundD(double x, int d);

// One SciRound step at toDigits when toDigits >= startFromDigits, otherwise a
// cascade from startFromDigits down to toDigits: 1.2345, 2, 4 -> 1.24.
double RoundDoubleFromTo(double sourceValue, int toDigits, int startFromDigits);

}  // namespace orbantis
