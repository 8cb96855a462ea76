#include "Text.h"

#include <windows.h>

#include <mutex>

namespace orbantis::cli {
namespace {

// Events arrive on the main thread, but the call watchdog (Session.cpp) may
// write from its own while the main thread waits: one line at a time.
std::mutex& WriteLock() {
  static std::mutex lock;
  return lock;
}

UINT gSavedCodePage = 0;

bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

void Write(DWORD which, std::string_view text, bool lineEnd) {
  std::string bytes;
  bytes.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) bytes += '\r';
    bytes += text[i];
  }
  if (lineEnd) bytes += "\r\n";
  std::lock_guard<std::mutex> guard(WriteLock());
  HANDLE h = ::GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
  if (IsConsole(h)) {
    // Older consoles report fewer bytes than they wrote for UTF-8: one write,
    // whatever it reports, rather than the rest written twice.
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return;
  }
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD written = 0;
    if (!::WriteFile(h, p, static_cast<DWORD>(left), &written, nullptr) || written == 0) return;
    p += written;
    left -= written;
  }
}

BOOL WINAPI OnBreak(DWORD) {
  RestoreConsole();
  return FALSE;  // the default handler ends the process
}

std::string escaped(std::string_view text, bool quoting) {
  static const char* const kHex = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  // UTF-8 keeps every byte below 0x80 for itself: the control characters are
  // single bytes and never part of a longer character.
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else if (quoting && (c == '"' || c == '\\')) {
      out += '\\';
      out += ch;
    } else {
      out += ch;
    }
  }
  return out;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void SetUpConsole() {
  if (!IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE)) && !IsConsole(::GetStdHandle(STD_ERROR_HANDLE))) return;
  gSavedCodePage = ::GetConsoleOutputCP();
  if (gSavedCodePage == CP_UTF8) {
    gSavedCodePage = 0;
    return;
  }
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCtrlHandler(OnBreak, TRUE);
}

void RestoreConsole() {
  // The code page belongs to the console, which outlives this program.
  if (gSavedCodePage != 0) ::SetConsoleOutputCP(gSavedCodePage);
  gSavedCodePage = 0;
}

bool OutputIsConsole() { return IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE)); }

void Out(std::string_view text) { Write(STD_OUTPUT_HANDLE, text, true); }
void Err(std::string_view text) { Write(STD_ERROR_HANDLE, text, true); }
void OutPart(std::string_view text) { Write(STD_OUTPUT_HANDLE, text, false); }

std::string Shown(std::string_view text) { return escaped(text, false); }
std::string Quoted(std::string_view text) { return '"' + escaped(text, true) + '"'; }

std::string Utf8(const wchar_t* text, std::size_t length) {
  if (text == nullptr || length == 0) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

std::wstring Utf16(std::string_view text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
    if (SameIgnoringCase(text.substr(at, part.size()), part)) return true;
  return false;
}

}  // namespace orbantis::cli
