// The engine's time source on Windows.
#include "foundation/Clock.h"

#include <windows.h>

namespace orbantis {

std::uint64_t GetTickCount64() { return ::GetTickCount64(); }

void SleepMs(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace orbantis
