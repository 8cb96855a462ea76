// File names and folders as the logo transfers use them, Windows style:
// both "\" and "/" separate folders, and a name compares as written.
#pragma once

#include <string>

namespace orbantis::win32ui {

// The name with ".bmp" appended unless it already contains ".bmp" (exact,
// lowercase, anywhere in the name): "a.BMP" becomes "a.BMP.bmp". Clients
// have always been answered by this rule; it stays.
std::wstring WithBitmapSuffix(const std::wstring& fileName);
// The file part: everything after the last "\", "/" or drive colon.
std::wstring FileNamePart(const std::wstring& fileName);
// The extension from the last "." of the file part, "." included; empty
// when the file part has none.
std::wstring FileExtension(const std::wstring& fileName);
// True for ".bmp", ".png", ".jpg" and ".jpeg" in any letter case: the
// pictures a till has at hand, and the ones the Linux build takes too.
bool HasPictureExtension(const std::wstring& fileName);
// Everything before the last separator; "C:\" and "\" for a file in a
// root folder; empty when the name has no folder part.
std::wstring FolderOf(const std::wstring& fileName);
// The name ends in a folder separator.
bool EndsWithSeparator(const std::wstring& name);

bool IsFile(const std::wstring& name);
bool IsFolder(const std::wstring& name);
// Creates the folder and its missing parents. True when it exists afterwards.
bool CreateFolderTree(const std::wstring& folder);
// The folder of this program's executable, without a trailing separator
// (a root folder keeps its own, as "C:\" does).
std::wstring ExecutableFolder();

}  // namespace orbantis::win32ui
