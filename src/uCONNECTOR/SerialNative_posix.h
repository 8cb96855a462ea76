// A serial port on POSIX: a file descriptor and its terminal settings.
#pragma once

#include <termios.h>

namespace orbantis::serial {

using Handle = int;
inline constexpr Handle kInvalidHandle = -1;

// The terminal settings as read; SetCommState changes only what the device
// control block describes and keeps the rest.
struct LineState {
  termios Terminal {};
};

}  // namespace orbantis::serial
