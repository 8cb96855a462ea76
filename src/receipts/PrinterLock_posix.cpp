// The printer's lock on POSIX: flock on the lock file.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "receipts/PrinterLock.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::receipts {

PrinterLock::~PrinterLock() {
  if (FFile >= 0) ::close(static_cast<int>(FFile));
}

void PrinterLock::lock() {
  FMutex.lock();
  if (FDepth++ > 0) return;
  try {
    if (FFile < 0) {
      const auto slash = LastPathSeparator(FPath);
      if (slash != std::string::npos && slash > 0) ForceDirectories(FPath.substr(0, slash), 0700);
      FFile = ::open(FPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
      if (FFile < 0) throw std::runtime_error("cannot open the printer's lock " + FPath + ": " + std::strerror(errno));
    }
    while (::flock(static_cast<int>(FFile), LOCK_EX) != 0) {
      if (errno != EINTR) throw std::runtime_error("cannot lock " + FPath + ": " + std::strerror(errno));
    }
  } catch (...) {
    --FDepth;
    FMutex.unlock();
    throw;
  }
}

void PrinterLock::unlock() {
  if (--FDepth == 0 && FFile >= 0) ::flock(static_cast<int>(FFile), LOCK_UN);
  FMutex.unlock();
}

}  // namespace orbantis::receipts
