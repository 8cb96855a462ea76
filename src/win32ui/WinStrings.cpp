#include "win32ui/WinStrings.h"

#include <wincodec.h>

#include <cstdio>

namespace orbantis::win32ui {
namespace {

// The picture errors a user can act on, in words a till operator follows.
const wchar_t* ImagingMessage(HRESULT code) {
  switch (code) {
    case WINCODEC_ERR_COMPONENTNOTFOUND:
    case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
      return L"The file is not a picture of a kind this program reads (BMP, JPEG or PNG).";
    case WINCODEC_ERR_BADHEADER:
    case WINCODEC_ERR_BADIMAGE:
    case WINCODEC_ERR_BADSTREAMDATA:
    case WINCODEC_ERR_FRAMEMISSING:
    case WINCODEC_ERR_STREAMREAD:
      return L"The picture file is damaged or incomplete.";
    case WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT:
    case WINCODEC_ERR_UNSUPPORTEDVERSION:
      return L"The picture is stored in a form this program cannot convert.";
    case WINCODEC_ERR_IMAGESIZEOUTOFRANGE:
      return L"The picture is too large.";
    default:
      return nullptr;
  }
}

}  // namespace

std::wstring SystemMessage(HRESULT code) {
  std::wstring text;
  if (const wchar_t* own = ImagingMessage(code)) {
    text = own;
  } else {
    // A Win32 error wrapped in an HRESULT is looked up by its own number:
    // not every system's message table lists the wrapped form.
    const DWORD id = HRESULT_FACILITY(code) == FACILITY_WIN32 ? static_cast<DWORD>(HRESULT_CODE(code))
                                                              : static_cast<DWORD>(code);
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        id, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length != 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  }
  wchar_t hex[16];
  std::swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(code));
  return text.empty() ? std::wstring(L"Error ") + hex : text + L" (" + hex + L")";
}

std::wstring LastErrorMessage() { return SystemMessage(HRESULT_FROM_WIN32(GetLastError())); }

}  // namespace orbantis::win32ui
