#include "uCONNECTOR/ComPortPath.h"

#include <sys/stat.h>

#include "uErrLog/uErrLog.h"

namespace orbantis {

std::string ComPortDevicePath(int port) {
  const std::string link = UserConfigFolder() + "/ORBANTIS/ports/COM" + std::to_string(port);
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) return link;
  return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace orbantis
