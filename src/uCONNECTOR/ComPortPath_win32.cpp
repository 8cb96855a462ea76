// COM port n on Windows: the device name \\.\COMn, which also reaches COM10
// and above.
#include "uCONNECTOR/ComPortPath.h"

namespace orbantis {

std::string ComPortDevicePath(int port) { return "\\\\.\\COM" + std::to_string(port); }

}  // namespace orbantis
