// Where a printer's lock file is, on every platform.
#include "receipts/PrinterLock.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::receipts {

std::string PrinterLockPath(const std::string& journalPath, const std::string& printer) {
  const auto slash = LastPathSeparator(journalPath);
  const std::string folder = slash == std::string::npos ? std::string(".") : journalPath.substr(0, slash);
  const char separator = slash == std::string::npos ? '/' : journalPath[slash];
  std::string name;
  for (const char ch : printer) {
    const bool plain = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
                       ch == '-' || ch == '_';
    name += plain ? ch : '_';
  }
  if (name.empty()) name.push_back('_');
  return folder + separator + "printers" + separator + name + ".lock";
}

}  // namespace orbantis::receipts
