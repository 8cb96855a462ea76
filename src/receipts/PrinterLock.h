// One printer's receipts, one call at a time: across the threads of this
// program (a mutex) and across the programs of this user that share the
// receipt journal (the bus server, orbantis-http, the command-line client),
// through an exclusive lock on a file per printer beside the journal
// (flock on POSIX, LockFileEx on Windows: PrinterLock_<platform>.cpp).
// Recursive for the thread that holds it: a receipt settles the ones left
// unfinished before it while it holds its printer.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace orbantis::receipts {

class PrinterLock {
 public:
  // path: the lock file, created 0600 when first locked.
  explicit PrinterLock(std::string path) : FPath(std::move(path)) {}
  ~PrinterLock();
  PrinterLock(const PrinterLock&) = delete;
  PrinterLock& operator=(const PrinterLock&) = delete;

  // Waits for the printer. Raises std::runtime_error when the lock file
  // cannot be made (its folder is not writable): nothing may be sent then.
  void lock();
  void unlock();

 private:
  std::string FPath;
  std::recursive_mutex FMutex;
  int FDepth = 0;  // how often the holding thread took it
  std::intptr_t FFile = -1;  // the lock file: a descriptor, or a HANDLE on Windows; -1 before it is open
};

// The lock file of printer (its serial number) for the journal at
// journalPath: "printers/<serial>.lock" in the journal's folder (with the
// journal path's own separator), the serial number reduced to letters,
// digits, "-" and "_".
std::string PrinterLockPath(const std::string& journalPath, const std::string& printer);

}  // namespace orbantis::receipts
