// The printer's lock on Windows: LockFileEx on the lock file, which Windows
// releases when the holding process ends, however it ends.
#include <stdexcept>

#include "receipts/PrinterLock.h"
#include "uErrLog/LogFiles.h"
#include "uErrLog/uErrLog.h"

// After the project's headers: <windows.h> defines macros with their names.
#include <windows.h>

#include "foundation/Win32Text.h"

namespace orbantis::receipts {
namespace {

HANDLE handleOf(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

PrinterLock::~PrinterLock() {
  if (FFile != -1) ::CloseHandle(handleOf(FFile));
}

void PrinterLock::lock() {
  FMutex.lock();
  if (FDepth++ > 0) return;
  try {
    if (FFile == -1) {
      const auto slash = LastPathSeparator(FPath);
      if (slash != std::string::npos && slash > 0) ForceDirectories(FPath.substr(0, slash), 0700);
      CreateOwnerOnlyFile(FPath);
      HANDLE h = ::CreateFileW(win32::Widen(FPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open the printer's lock " + FPath + ": " +
                                 win32::ErrorText(::GetLastError()));
      FFile = reinterpret_cast<std::intptr_t>(h);
    }
    OVERLAPPED whole {};
    if (!::LockFileEx(handleOf(FFile), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
      throw std::runtime_error("cannot lock " + FPath + ": " + win32::ErrorText(::GetLastError()));
  } catch (...) {
    --FDepth;
    FMutex.unlock();
    throw;
  }
}

void PrinterLock::unlock() {
  if (--FDepth == 0 && FFile != -1) {
    OVERLAPPED whole {};
    ::UnlockFileEx(handleOf(FFile), 0, MAXDWORD, MAXDWORD, &whole);
  }
  FMutex.unlock();
}

}  // namespace orbantis::receipts
