// A serial port on Windows: a file handle. The device control block is the
// platform's own shape already, so nothing is kept beside it.
#pragma once

#include <cstdint>

namespace orbantis::serial {

// A HANDLE, without <windows.h> in every file that sees a port.
using Handle = void*;
inline Handle const kInvalidHandle = reinterpret_cast<Handle>(static_cast<std::intptr_t>(-1));

struct LineState {};

}  // namespace orbantis::serial
