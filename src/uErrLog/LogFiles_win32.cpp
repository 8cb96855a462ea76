// The log files and folders on Windows: the user's documents and roaming
// application-data folders, files written through the W calls so that any
// user name or folder name works.
#include <cstdlib>

#include "foundation/Strings.h"
#include "uErrLog/LogFiles.h"
#include "uErrLog/uErrLog.h"

// After the project's headers: <windows.h> defines macros with their names.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <windows.h>

#include <vector>

#include "foundation/Win32Text.h"

namespace orbantis {
namespace {

using win32::Narrow;
using win32::Widen;

// The files hold operator passwords and receipts. Folders and files this
// program makes give the user alone access (a protected access list, not
// the parent's), and a file it did not make is written into only when it
// belongs to the user: a trace folder a client names may be a shared one.
class OwnerOnly {
 public:
  OwnerOnly() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    FUser = tokenSid(token, TokenUser);
    FDefaultOwner = tokenSid(token, TokenOwner);
    ::CloseHandle(token);
    if (FUser.empty()) return;
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(FUser.data(), &text)) return;
    const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(text) + L")";
    ::LocalFree(text);
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &FDescriptor, nullptr))
      FAttributes = {sizeof(SECURITY_ATTRIBUTES), FDescriptor, FALSE};
  }
  ~OwnerOnly() {
    if (FDescriptor != nullptr) ::LocalFree(FDescriptor);
  }
  OwnerOnly(const OwnerOnly&) = delete;
  OwnerOnly& operator=(const OwnerOnly&) = delete;

  // For CreateFile and CreateDirectory; null (the default) when the user
  // could not be told.
  SECURITY_ATTRIBUTES* Attributes() { return FDescriptor != nullptr ? &FAttributes : nullptr; }

  // The file's owner is the user (or the user's default owner for new
  // objects, the Administrators group for an administrator). True when
  // that cannot be told either way.
  bool OwnedByUser(HANDLE file) const {
    if (FUser.empty()) return true;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
      return true;
    const bool mine = owner != nullptr && (::EqualSid(owner, const_cast<BYTE*>(FUser.data())) ||
                                           (!FDefaultOwner.empty() &&
                                            ::EqualSid(owner, const_cast<BYTE*>(FDefaultOwner.data()))));
    ::LocalFree(descriptor);
    return mine;
  }

 private:
  static std::vector<BYTE> tokenSid(HANDLE token, TOKEN_INFORMATION_CLASS which) {
    DWORD size = 0;
    ::GetTokenInformation(token, which, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, which, buffer.data(), size, &size)) return {};
    PSID sid = which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                  : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    const DWORD length = ::GetLengthSid(sid);
    std::vector<BYTE> copy(length);
    ::CopySid(length, copy.data(), sid);
    return copy;
  }

  std::vector<BYTE> FUser;
  std::vector<BYTE> FDefaultOwner;
  PSECURITY_DESCRIPTOR FDescriptor = nullptr;
  SECURITY_ATTRIBUTES FAttributes {};
};

OwnerOnly& Private() {
  static OwnerOnly rights;
  return rights;
}

bool isDirectory(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::string stripTrailingSeparator(std::string s) {
  while (s.size() > 3 && isSeparator(s.back())) s.pop_back();  // keep "C:\"
  return s;
}

std::string knownFolder(int csidl, const char* fallbackVariable) {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0] != L'\0')
    return stripTrailingSeparator(Narrow(path));
  const char* v = std::getenv(fallbackVariable);
  return stripTrailingSeparator(v != nullptr ? v : "C:\\");
}

}  // namespace

void AppendToFile(const std::string& path, const std::string& bytes) {
  // A reparse point (a link planted in a shared folder) is opened as itself
  // and refused, rather than followed.
  HANDLE h = ::CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           Private().Attributes(), OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw Exception("Cannot open log file " + path + ": " + win32::ErrorText(::GetLastError()));
  BY_HANDLE_FILE_INFORMATION info {};
  if (!::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      !Private().OwnedByUser(h)) {
    ::CloseHandle(h);
    throw Exception("Log file " + path + " is not a plain file of this user; nothing was written to it.");
  }
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD n = 0;
    if (!::WriteFile(h, p, static_cast<DWORD>(left), &n, nullptr) || n == 0) {
      const DWORD err = ::GetLastError();
      ::CloseHandle(h);
      throw Exception("Cannot write log file " + path + ": " + win32::ErrorText(err));
    }
    p += n;
    left -= n;
  }
  ::CloseHandle(h);
}

bool KeepAsPrevious(const std::string& path) {
  if (::GetFileAttributesW(Widen(path).c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  if (::MoveFileExW(Widen(path).c_str(), Widen(path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  return ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool FileExists(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void CreateOwnerOnlyFile(const std::string& path) {
  HANDLE h = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           Private().Attributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    return;
  }
  const DWORD err = ::GetLastError();
  if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) return;
  throw Exception("Cannot create " + path + ": " + win32::ErrorText(err));
}

std::string LogDateTime() {
  // The user's short date and long time, as the system writes them.
  SYSTEMTIME now {};
  ::GetLocalTime(&now);
  wchar_t date[64] = {}, time[64] = {};
  ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64);
  ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 64);
  return Narrow(std::wstring(date) + L" " + time);
}

bool ForceDirectories(const std::string& folder, unsigned /*mode: the folders are the user's alone (OwnerOnly)*/) {
  const std::string path = stripTrailingSeparator(folder);
  if (path.empty()) return false;
  if (isDirectory(path)) return true;
  std::size_t pos = 0;
  while (true) {
    pos = path.find_first_of("\\/", pos + 1);
    const std::string part = path.substr(0, pos);
    // "C:" and "\\server\share" are not made.
    if (!part.empty() && part.back() != ':' && !isDirectory(part)) {
      if (!::CreateDirectoryW(Widen(part).c_str(), Private().Attributes()) &&
          ::GetLastError() != ERROR_ALREADY_EXISTS &&
          pos == std::string::npos)
        return false;
    }
    if (pos == std::string::npos) break;
  }
  return isDirectory(path);
}

std::string IncludeTrailingPathDelimiter(const std::string& folder) {
  if (folder.empty() || isSeparator(folder.back())) return folder;
  return folder + "\\";
}

std::string::size_type LastPathSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string UserDataFolder() { return knownFolder(CSIDL_APPDATA, "APPDATA"); }

std::string UserConfigFolder() { return knownFolder(CSIDL_APPDATA, "APPDATA"); }

std::string UserDocumentsFolder() { return knownFolder(CSIDL_PERSONAL, "USERPROFILE"); }

std::string ServerLogFolder() { return UserDataFolder() + "\\ORBANTIS\\"; }

std::string UserStateFolder() {
  // Never a shared folder such as "C:\": the journal holds the receipts.
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) &&
      path[0] != L'\0')
    return stripTrailingSeparator(Narrow(path));
  const char* local = std::getenv("LOCALAPPDATA");
  if (local != nullptr && local[0] != '\0') return stripTrailingSeparator(local);
  throw Exception("the user's local application-data folder cannot be found");
}

std::string ProgramLogFolder() { return knownFolder(CSIDL_LOCAL_APPDATA, "LOCALAPPDATA") + "\\ORBANTIS\\"; }

std::string DefaultTraceFolder() {
  // The user's own temporary folder: private to the user, unlike "C:\".
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  const std::string base = n > 0 ? stripTrailingSeparator(Narrow(temp)) : UserDataFolder();
  return base + "\\ORBANTIS\\";
}

}  // namespace orbantis
