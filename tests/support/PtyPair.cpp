#include "support/PtyPair.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace orbantis::test {

PtyPair::PtyPair() {
  FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0) throw std::runtime_error("posix_openpt");
  FSlavePath = ::ptsname(FMaster);
  // Raw on the master's side too, so bytes pass unchanged both ways.
  FSlaveKeepOpen = ::open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t {};
  ::tcgetattr(FSlaveKeepOpen, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(FSlaveKeepOpen, TCSANOW, &t);
}

PtyPair::~PtyPair() {
  if (FSlaveKeepOpen >= 0) ::close(FSlaveKeepOpen);
  CloseMaster();
}

void PtyPair::CloseMaster() {
  if (FMaster >= 0) ::close(FMaster);
  FMaster = -1;
}

}  // namespace orbantis::test
