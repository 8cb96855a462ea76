// Files and folders for the picture files of the logo transfers (the names'
// rules are the transfer's: uORBANTIS/LogoTransfer.h). Both "\" and "/"
// separate folders.
#pragma once

#include <string>

namespace orbantis::win32ui {

bool IsFile(const std::wstring& name);
bool IsFolder(const std::wstring& name);
// Creates the folder and its missing parents. True when it exists afterwards.
bool CreateFolderTree(const std::wstring& folder);
// The folder of this program's executable, without a trailing separator
// (a root folder keeps its own, as "C:\" does).
std::wstring ExecutableFolder();

}  // namespace orbantis::win32ui
