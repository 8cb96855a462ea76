// The server's command line: anywhere on it, with a leading "/" or "-",
// letters in any case.
#pragma once

#include <string>
#include <vector>

namespace orbantis::com {

struct Switches {
  bool startedByCom = false;  // AUTOMATION or EMBEDDING
  bool regServer = false;
  bool unregServer = false;
  bool regServerPerUser = false;
  bool unregServerPerUser = false;
  bool help = false;          // HELP or ? (extension)
  std::vector<std::wstring> unknown;
};

Switches ParseSwitches(const std::vector<std::wstring>& arguments);

}  // namespace orbantis::com
