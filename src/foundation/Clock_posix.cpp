#include "foundation/Clock.h"

#include <time.h>

#include <cerrno>

namespace orbantis {

std::uint64_t GetTickCount64() {
  timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

void SleepMs(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec ts {milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace orbantis
