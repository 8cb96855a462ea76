// Diagnostic files of the server.
//
//   engine log        LOG_FOLDER + "orbantis_LOG.txt"      WRITE_LOG      date-time ":" text
//   trace file        DEBUG_FOLDER + "orbantis_LOG.txt"    WRITE_LOG_RAW  text as it is
//   program-side log  <log folder> + "orbantis_log.txt"    WRITE_EXE_LOG  date-time ":" text
//   start-up log      <documents>/ORBANTIS/LOG_FOLDER/     INIT_ERR_SUPPORT
//
// Folders are given with their trailing "/" and prefixed to the file name as
// they are. Each line opens, appends and closes the file, so a log survives a
// crash and can be read while the server runs. The files hold operator
// passwords and receipts: they are created readable by their owner only (0600,
// folders 0700). Every entry ends with CR LF, which is what support staff and
// their tools have always read.
//
// The writers raise Exception when a file cannot be written; callers log from
// inside their own exception handling, so logging never changes a result.
#pragma once

#include <string>

namespace orbantis {

// The program name in log file names ("orbantis").
const std::string& ProgramName();

// File name of the engine log, trace file and start-up log: "orbantis_LOG.txt".
std::string LogFileName();

// Local date and time as written at the start of a log line and in trace lines.
std::string LogDateTime();

// Appends date-time + ":" + text + CR LF to folder + LogFileName().
void WRITE_LOG(const std::string& folder, const std::string& text);

// Appends text unchanged (no time stamp) + CR LF to folder + LogFileName().
void WRITE_LOG_RAW(const std::string& folder, const std::string& text);

// Appends date-time + ":" + text + CR LF to the program-side log.
void WRITE_EXE_LOG(const std::string& text);

// Creates folder and its missing parents (mode 0700 unless told otherwise:
// log folders hold receipts). True when it exists afterwards.
bool ForceDirectories(const std::string& folder, unsigned mode = 0700);

// Adds a trailing "/" unless folder already ends with one (an empty folder
// stays empty).
std::string IncludeTrailingPathDelimiter(const std::string& folder);

// Where the folder part of path ends: the last path separator ("/"; on
// Windows "\\" or "/"), npos when there is none.
std::string::size_type LastPathSeparator(const std::string& path);

// Folders of the platform. XDG variables win over the defaults under $HOME.
std::string UserDataFolder();       // $XDG_DATA_HOME or ~/.local/share
std::string UserDocumentsFolder();  // the user's XDG documents folder, else $XDG_STATE_HOME (~/.local/state)
std::string UserConfigFolder();     // $XDG_CONFIG_HOME or ~/.config
std::string ServerLogFolder();      // UserDataFolder() + "/ORBANTIS/"
// Where state that outlives a session is kept (the receipt journal):
// $XDG_STATE_HOME or ~/.local/state; on Windows %LOCALAPPDATA%, which does not
// roam. Never a shared folder such as /tmp: raises Exception without a home.
std::string UserStateFolder();
// Where the program-side log goes: the server log folder on Linux. On
// Windows file names ignore letter case, so "orbantis_log.txt" there would be
// the engine log itself: it goes to %LOCALAPPDATA%\ORBANTIS\ instead.
std::string ProgramLogFolder();
// Where the trace goes until a client names a folder: $XDG_RUNTIME_DIR/ORBANTIS/,
// or /tmp/ORBANTIS-<uid>/ without a runtime folder. Never a shared folder
// itself: a fixed name there could be planted by another user.
std::string DefaultTraceFolder();

// Start-up set-up of the server window: remembers the window handle and the
// caption (the message dialogs use them as owner and default caption), makes
// personal/caption/ and appData/caption/, and keeps (or creates with the line
// "Log file creation") the start-up log in personal/caption/LOG_FOLDER/, or in
// appData/caption/LOG_FOLDER/ when the documents folder is not usable.
// Returns true when the start-up log exists. Any failure raises
// Exception("INIT_ERR_SUPPORT").
bool INIT_ERR_SUPPORT(void* windowHandle, const std::string& caption, const std::string& personalFolder,
                      const std::string& appDataFolder);

// What INIT_ERR_SUPPORT remembered; empty before it ran.
void* ErrSupportWindowHandle();
const std::string& ErrSupportCaption();
const std::string& StartupLogFolder();

}  // namespace orbantis
