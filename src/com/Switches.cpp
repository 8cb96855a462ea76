#include "com/Switches.h"

#include <cwctype>

namespace orbantis::com {

Switches ParseSwitches(const std::vector<std::wstring>& arguments) {
  Switches s;
  for (const auto& argument : arguments) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
      s.unknown.push_back(argument);
      continue;
    }
    std::wstring name;
    for (wchar_t c : argument.substr(argument[1] == L'-' ? 2 : 1)) name.push_back(static_cast<wchar_t>(std::towupper(c)));
    if (name == L"AUTOMATION" || name == L"EMBEDDING")
      s.startedByCom = true;
    else if (name == L"REGSERVER")
      s.regServer = true;
    else if (name == L"UNREGSERVER")
      s.unregServer = true;
    else if (name == L"REGSERVERPERUSER")
      s.regServerPerUser = true;
    else if (name == L"UNREGSERVERPERUSER")
      s.unregServerPerUser = true;
    else if (name == L"HELP" || name == L"?")
      s.help = true;
    else
      s.unknown.push_back(argument);
  }
  return s;
}

}  // namespace orbantis::com
