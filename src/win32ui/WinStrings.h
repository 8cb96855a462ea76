// Text at the edge between the core and Win32.
//
// The core keeps Unicode text as WideString (UTF-16 in char16_t) and paths
// and log lines as UTF-8; Win32 takes UTF-16 in wchar_t. On Windows both are
// 16-bit code units, so the crossings below copy without converting.
#pragma once

#include <windows.h>

#include <string>

#include "foundation/CodePage.h"
#include "foundation/Strings.h"

namespace orbantis::win32ui {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 text is UTF-16");

inline std::wstring ToWin(const WideString& s) { return std::wstring(s.begin(), s.end()); }
inline WideString FromWin(const std::wstring& s) { return WideString(s.begin(), s.end()); }
inline std::wstring Utf8ToWin(const std::string& s) { return ToWin(Utf8ToWide(s)); }
inline std::string WinToUtf8(const std::wstring& s) { return WideToUtf8(FromWin(s)); }

// The system's sentence for an HRESULT or a Win32 error code (as
// HRESULT_FROM_WIN32 gives it), without the trailing line break, followed
// by the code in hexadecimal, e.g. "Access is denied. (0x80070005)". The
// imaging component's own codes, which the system has no sentence for, get
// one here.
std::wstring SystemMessage(HRESULT code);
// SystemMessage of GetLastError().
std::wstring LastErrorMessage();

}  // namespace orbantis::win32ui
