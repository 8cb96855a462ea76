// The platform's own pieces of a serial port: the handle type, its invalid
// value and the line settings kept beside the device control block.
#pragma once

#if defined(_WIN32)
#include "uCONNECTOR/SerialNative_win32.h"
#else
#include "uCONNECTOR/SerialNative_posix.h"
#endif
