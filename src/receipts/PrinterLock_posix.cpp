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
  if (FFile >= 0) ::close(FFile);
}

void PrinterLock::lock() {
  FMutex.lock();
  if (FDepth++ > 0) return;
  try {
    if (FFile < 0) {
      const auto slash = FPath.rfind('/');
      if (slash != std::string::npos && slash > 0) ForceDirectories(FPath.substr(0, slash), 0700);
      FFile = ::open(FPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
      if (FFile < 0) throw std::runtime_error("cannot open the printer's lock " + FPath + ": " + std::strerror(errno));
    }
    while (::flock(FFile, LOCK_EX) != 0) {
      if (errno != EINTR) throw std::runtime_error("cannot lock " + FPath + ": " + std::strerror(errno));
    }
  } catch (...) {
    --FDepth;
    FMutex.unlock();
    throw;
  }
}

void PrinterLock::unlock() {
  if (--FDepth == 0 && FFile >= 0) ::flock(FFile, LOCK_UN);
  FMutex.unlock();
}

std::string PrinterLockPath(const std::string& journalPath, const std::string& printer) {
  const auto slash = journalPath.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : journalPath.substr(0, slash);
  std::string name;
  for (const char ch : printer) {
    const bool plain = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                       ch == '-' || ch == '_';
    name += plain ? ch : '_';
  }
  if (name.empty()) name.push_back('_');
  return folder + "/printers/" + name + ".lock";
}

}  // namespace orbantis::receipts
