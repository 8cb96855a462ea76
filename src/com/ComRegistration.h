// Registering the server with COM: the class, its ProgID "ORBANTIS.KELMORA",
// its local-server entry and the type library, for all users (under
// HKLM\Software\Classes) or for the current user (HKCU\Software\Classes).
#pragma once

#include <string>

namespace orbantis::com {

// The class description written at registration.
inline constexpr const wchar_t* kClassDescription = L"KELMORA Object";
inline constexpr const wchar_t* kProgId = L"ORBANTIS.KELMORA";

// "" on success, else what failed, for a person.
std::string RegisterServer(bool perUser);
// Removes the same entries; a type library that cannot be unregistered is
// not a failure.
std::string UnregisterServer(bool perUser);

}  // namespace orbantis::com
