// What the log writers need of the platform's file system. The folders
// themselves (UserDataFolder, ForceDirectories...) are in uErrLog.h; one
// LogFiles_<platform>.cpp provides both.
#pragma once

#include <string>

namespace orbantis {

// Appends bytes to path in one write, creating the file readable by its owner
// only. Raises Exception when the file cannot be written, or is not a plain
// file of this user (a link or a file planted in a shared folder).
void AppendToFile(const std::string& path, const std::string& bytes);

// Moves an existing file to path + ".1", replacing an older one. True when
// there was nothing to move, or when it moved (another object connecting at
// the same moment may have moved it first).
bool KeepAsPrevious(const std::string& path);

// True when path is an existing plain file.
bool FileExists(const std::string& path);

// Creates path, empty and for its owner alone (0600; on Windows a protected
// access list of the user's), when nothing is there yet; an existing file is
// left as it is and never opened. Raises Exception when it cannot be made.
void CreateOwnerOnlyFile(const std::string& path);

}  // namespace orbantis
