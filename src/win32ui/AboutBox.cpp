#include "win32ui/AboutBox.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "uErrLog/uErrLog.h"
#include "win32ui/StaCall.h"
#include "win32ui/WinStrings.h"

namespace orbantis::win32ui {
namespace {

// Layout in dots of the client area, top to bottom.
constexpr int kMargin = 14;
constexpr int kLinkIndent = 30;
constexpr int kTextWidth = kAboutWidth - 2 * kMargin;
constexpr int kLineHeight = 16;
constexpr int kProductTop = 10;
constexpr int kProductHeight = 24;
constexpr int kVersionTop = 38;
constexpr int kBevel1Top = 60;
constexpr int kCommentsTop = 68;
constexpr int kSupportTop = 86;
constexpr int kSalesTop = 104;
constexpr int kBevel2Top = 126;
constexpr int kNoticeTop = 134;
constexpr int kOkWidth = 76;
constexpr int kOkHeight = 26;
constexpr int kOkTop = 160;

enum ControlId : int {
  kProductId = 200,
  kVersionId,
  kBuildId,
  kBevel1Id,
  kCommentsId,
  kSupportId,
  kSalesId,
  kBevel2Id,
  kNoticeId,
};

// The link colour, blue as links have always been.
constexpr COLORREF kLinkColour = RGB(0, 0, 255);

int VersionPart(const std::vector<std::wstring>& parts, std::size_t index) {
  if (index >= parts.size()) return 0;
  std::wstring part = parts[index];
  while (!part.empty() && std::iswspace(part.front())) part.erase(part.begin());
  while (!part.empty() && std::iswspace(part.back())) part.pop_back();
  if (part.empty() || part.size() > 9) return 0;
  int value = 0;
  for (wchar_t c : part) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + (c - L'0');
  }
  return value;
}

LOGFONTW MessageLogFont() {
  NONCLIENTMETRICSW metrics {};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return metrics.lfMessageFont;
  LOGFONTW font {};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  return font;
}

HFONT Derived(LOGFONTW font, bool bold, bool italic, bool underline, int percent) {
  if (bold) font.lfWeight = FW_BOLD;
  font.lfItalic = italic ? TRUE : FALSE;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfHeight = font.lfHeight * percent / 100;
  return CreateFontIndirectW(&font);
}

int TextWidth(HWND control, HFONT font, const std::wstring& text) {
  HDC dc = GetDC(control);
  if (dc == nullptr) return kTextWidth;
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx + 2;
}

}  // namespace

// ---------------------------------------------------------------- version and links

FileVersion ParseFileVersion(const std::wstring& text) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : text) {
    if (c == L'.') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return {VersionPart(parts, 0), VersionPart(parts, 1), VersionPart(parts, 2), VersionPart(parts, 3)};
}

FileVersion ExecutableFileVersion() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoSize = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
      infoSize < sizeof(VS_FIXEDFILEINFO))
    return {};
  return {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
          LOWORD(info->dwFileVersionLS)};
}

std::wstring VersionLabel(const FileVersion& version) {
  return L"Version: " + std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) + L"." +
         std::to_wstring(version.release);
}

std::wstring BuildLabel(const FileVersion& version) { return L"." + std::to_wstring(version.build); }

std::wstring MailtoLink(const std::wstring& address) {
  return L"mailto:" + address + L"?Subject=" + kMailSubject + L"&Body=" + L" %0D%0A" + L" %0D%0A";
}

bool OpenContact(HWND parent, const std::wstring& address) {
  const std::wstring link = MailtoLink(address);
  INT_PTR result = 0;
  try {
    CallInSta([&] {
      result = reinterpret_cast<INT_PTR>(ShellExecuteW(parent, L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    });
  } catch (...) {
  }
  // ShellExecuteW succeeds with a value above 32.
  if (result > 32) return true;
  try {
    WRITE_EXE_LOG("No mail program opened " + WinToUtf8(link) + " (ShellExecute answered " + std::to_string(result) +
                  ").");
  } catch (...) {
  }
  return false;
}

// ---------------------------------------------------------------- controls

AboutBox::~AboutBox() {
  for (HFONT font : {FBase, FProduct, FBold, FLink})
    if (font != nullptr) DeleteObject(font);
}

bool AboutBox::Create(HWND window, HINSTANCE instance) {
  FWindow = window;
  const LOGFONTW base = MessageLogFont();
  FBase = CreateFontIndirectW(&base);
  FProduct = Derived(base, true, true, false, 125);
  FBold = Derived(base, true, false, false, 100);
  FLink = Derived(base, true, false, true, 100);

  bool made = true;
  const auto control = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id,
                           HFONT font) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (c == nullptr) {
      made = false;
      return c;
    }
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font : FBase), FALSE);
    return c;
  };

  control(L"STATIC", kProductLine, SS_LEFT | SS_NOPREFIX, kMargin, kProductTop, kTextWidth, kProductHeight, kProductId,
          FProduct);
  FVersion = control(L"STATIC", L"Version 1.00 ", SS_LEFT | SS_NOPREFIX, kMargin, kVersionTop, kTextWidth / 2,
                     kLineHeight, kVersionId, FBase);
  FBuild = control(L"STATIC", L".002", SS_LEFT | SS_NOPREFIX, kMargin + kTextWidth / 2, kVersionTop, kTextWidth / 2,
                   kLineHeight, kBuildId, FBold);
  control(L"STATIC", L"", SS_ETCHEDHORZ, kMargin, kBevel1Top, kTextWidth, 2, kBevel1Id, nullptr);
  control(L"STATIC", kComments, SS_LEFT | SS_NOPREFIX, kMargin, kCommentsTop, kTextWidth, kLineHeight, kCommentsId,
          nullptr);
  // A link is only as wide as its text, so a click beside it opens nothing.
  FSupport = control(L"STATIC", kSupportAddress, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kLinkIndent, kSupportTop,
                     kTextWidth, kLineHeight, kSupportId, FLink);
  FSales = control(L"STATIC", kSalesAddress, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kLinkIndent, kSalesTop, kTextWidth,
                   kLineHeight, kSalesId, FLink);
  for (HWND link : {FSupport, FSales})
    if (link != nullptr) {
      const std::wstring text = LinkAddress(link);
      SetWindowPos(link, nullptr, 0, 0, TextWidth(link, FLink, text), kLineHeight, SWP_NOMOVE | SWP_NOZORDER);
    }
  control(L"STATIC", L"", SS_ETCHEDHORZ, kMargin, kBevel2Top, kTextWidth, 2, kBevel2Id, nullptr);
  control(L"STATIC", kNotice, SS_LEFT | SS_NOPREFIX, kMargin, kNoticeTop, kTextWidth, kLineHeight, kNoticeId, nullptr);
  control(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, (kAboutWidth - kOkWidth) / 2, kOkTop, kOkWidth,
          kOkHeight, IDOK, nullptr);
  return made;
}

void AboutBox::ShowVersion(const FileVersion& version) {
  if (FVersion == nullptr || FBuild == nullptr) return;
  const std::wstring text = VersionLabel(version);
  SetWindowTextW(FVersion, text.c_str());
  SetWindowTextW(FBuild, BuildLabel(version).c_str());
  // The build number follows the version right after its last digit.
  const int width = TextWidth(FVersion, FBase, text);
  SetWindowPos(FVersion, nullptr, kMargin, kVersionTop, width, kLineHeight, SWP_NOZORDER);
  SetWindowPos(FBuild, nullptr, kMargin + width, kVersionTop, std::max(kTextWidth - width, kLineHeight), kLineHeight,
               SWP_NOZORDER);
  InvalidateRect(FWindow, nullptr, TRUE);
}

std::wstring AboutBox::LinkAddress(HWND control) const {
  if (control == nullptr) return {};
  if (control == FSupport) return kSupportAddress;
  if (control == FSales) return kSalesAddress;
  return {};
}

HBRUSH AboutBox::LinkColours(HWND control, HDC dc) const {
  if (LinkAddress(control).empty()) return nullptr;
  SetTextColor(dc, kLinkColour);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

}  // namespace orbantis::win32ui
