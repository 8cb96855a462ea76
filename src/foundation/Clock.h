// Time source of the engine: a monotonic millisecond tick and a sleep.
#pragma once

#include <cstdint>

namespace orbantis {

// Milliseconds of a monotonic clock; never goes back when the wall clock is set.
std::uint64_t GetTickCount64();

void SleepMs(int milliseconds);

}  // namespace orbantis
