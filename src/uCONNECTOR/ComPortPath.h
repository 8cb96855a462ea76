// Where COM port n lives.
#pragma once

#include <string>

namespace orbantis {

// Linux: $XDG_CONFIG_HOME/ORBANTIS/ports/COM<n> when it exists (a symlink
// the user made to the real device, e.g. /dev/ttyUSB0), otherwise
// /dev/ttyS<n-1>. Windows: \\.\COM<n>.
std::string ComPortDevicePath(int port);

}  // namespace orbantis
