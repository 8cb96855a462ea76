// The command-line switches of the server and the files that make the bus
// start it on demand.
//
//   all users:     PREFIX/share/dbus-1/services/ORBANTIS.KELMORA.service
//                  PREFIX/share/dbus-1/interfaces/ORBANTIS.KELMORA.xml
//   current user:  $XDG_DATA_HOME/dbus-1/... (default ~/.local/share/dbus-1/...)
#pragma once

#include <string>

namespace orbantis::automation {

inline constexpr const char* BUS_NAME = "ORBANTIS.KELMORA";

enum class Registration { None, RegServer, UnregServer, RegServerPerUser, UnregServerPerUser };

struct StartOptions {
  bool startedByBus = false;  // AUTOMATION or EMBEDDING
  Registration registration = Registration::None;
  bool help = false;
  bool version = false;
};

// Switches anywhere on the command line, with a leading "/", "-" or "--",
// letters in any case. Unknown arguments are ignored.
StartOptions ParseSwitches(int argc, const char* const* argv);

// The folder holding services/ and interfaces/ for all users or the user.
std::string DbusDataFolder(bool allUsers);

std::string ServiceFileText(const std::string& executablePath);

// Writes or removes the two files. 0 on success; otherwise a non-zero status
// with the reason in error. Unregistering ignores a description that cannot
// be removed, and files that are already gone.
int Register(bool allUsers, const std::string& executablePath, std::string& error);
int Unregister(bool allUsers, std::string& error);

// The full path of the running executable.
std::string ExecutablePath();

}  // namespace orbantis::automation
