// The about box: the controls the server window shows when the user picks
// "About..." in the tray menu, its fixed texts, the version it states and
// the contact links.
//
// The server window is the about box (ServerWindow.h); this is its inside.
#pragma once

#include <windows.h>

#include <string>

namespace orbantis::win32ui {

// The fixed texts, the same as the Linux build's.
inline constexpr wchar_t kServerTitle[] = L"ORBANTIS";  // tray tip, box captions
inline constexpr wchar_t kServerCaption[] = L"ORBANTIS (Orbantis Software)";
inline constexpr wchar_t kProductLine[] = L"ORBANTIS fiscal printer server";
inline constexpr wchar_t kComments[] = L"For questions and additional information:";
inline constexpr wchar_t kSupportAddress[] = L"support@orbantis.example";
inline constexpr wchar_t kSalesAddress[] = L"sales@orbantis.example";
inline constexpr wchar_t kNotice[] = L"Provided as is, without warranty of any kind.";
inline constexpr wchar_t kMailSubject[] = L"Question about ORBANTIS Server";
// The about box's client area.
inline constexpr int kAboutWidth = 342;
inline constexpr int kAboutHeight = 194;

// The program's version as the about box shows it.
struct FileVersion {
  int major = 0;
  int minor = 0;
  int release = 0;
  int build = 0;
  bool operator==(const FileVersion&) const = default;
};

// "major.minor.release.build"; missing or non-numeric parts are 0.
FileVersion ParseFileVersion(const std::wstring& text);
// The file version of this program's executable; zeros when it has none.
FileVersion ExecutableFileVersion();
// "Version: 1.0.0" and ".114" for file version 1.0.0.114.
std::wstring VersionLabel(const FileVersion& version);
std::wstring BuildLabel(const FileVersion& version);

// "mailto:" + address + "?Subject=" + kMailSubject + "&Body=" and a body of
// two blank lines.
std::wstring MailtoLink(const std::wstring& address);
// Opens MailtoLink(address) with the shell's "open", the window as parent,
// shown normally. False (and a line in the program-side log) when the shell
// could not; the user is not bothered with a box.
bool OpenContact(HWND parent, const std::wstring& address);

class AboutBox {
 public:
  AboutBox() = default;
  ~AboutBox();
  AboutBox(const AboutBox&) = delete;
  AboutBox& operator=(const AboutBox&) = delete;

  // Makes the controls in window, whose client area is kAboutWidth x
  // kAboutHeight. False when one could not be made.
  bool Create(HWND window, HINSTANCE instance);
  // Sets the two version labels.
  void ShowVersion(const FileVersion& version);

  // The address a contact-link control stands for; empty for any other control.
  std::wstring LinkAddress(HWND control) const;
  // WM_CTLCOLORSTATIC of a contact link: blue text on the window's colour.
  // Null for any other control, which keeps the standard colours.
  HBRUSH LinkColours(HWND control, HDC dc) const;

 private:
  HWND FWindow = nullptr;
  HWND FVersion = nullptr;
  HWND FBuild = nullptr;
  HWND FSupport = nullptr;
  HWND FSales = nullptr;
  HFONT FBase = nullptr;
  HFONT FProduct = nullptr;
  HFONT FBold = nullptr;
  HFONT FLink = nullptr;
};

}  // namespace orbantis::win32ui
