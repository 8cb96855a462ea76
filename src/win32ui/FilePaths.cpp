#include "win32ui/FilePaths.h"

#include <windows.h>

namespace orbantis::win32ui {
namespace {

constexpr wchar_t kSeparators[] = L"\\/";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Everything before the last separator; the root itself for a file in it.
std::wstring FolderOf(const std::wstring& fileName) {
  const auto slash = fileName.find_last_of(kSeparators);
  if (slash == std::wstring::npos) return {};
  if (slash == 0) return fileName.substr(0, 1);
  if (slash == 2 && fileName[1] == L':') return fileName.substr(0, 3);
  return fileName.substr(0, slash);
}

bool EndsWithSeparator(const std::wstring& name) { return !name.empty() && IsSeparator(name.back()); }

}  // namespace

bool IsFile(const std::wstring& name) {
  if (name.empty()) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsFolder(const std::wstring& name) {
  if (name.empty()) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderTree(const std::wstring& folder) {
  if (folder.empty()) return false;
  if (IsFolder(folder)) return true;
  std::wstring path = folder;
  while (path.size() > 1 && EndsWithSeparator(path)) path.pop_back();
  const std::wstring parent = FolderOf(path);
  // Roots, drives and shares cannot be created; their test is the child's.
  if (!parent.empty() && parent != path) CreateFolderTree(parent);
  if (CreateDirectoryW(path.c_str(), nullptr)) return true;
  return IsFolder(path);
}

std::wstring ExecutableFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      break;
    }
    name.resize(name.size() * 2);
  }
  return FolderOf(name);
}

}  // namespace orbantis::win32ui
