#include "uORBANTIS/Registration.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "uErrLog/uErrLog.h"
#include "uORBANTIS/InterfaceTable.h"

#ifndef ORBANTIS_INSTALL_PREFIX
#define ORBANTIS_INSTALL_PREFIX "/usr/local"
#endif

namespace orbantis::automation {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool writeFile(const std::string& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    error = "Cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

// True when the file is gone afterwards.
bool removeFile(const std::string& path, std::string& error) {
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  error = "Cannot remove " + path + ": " + std::strerror(errno);
  return false;
}

const std::string kServiceFile = std::string("services/") + BUS_NAME + ".service";
const std::string kDescriptionFile = std::string("interfaces/") + BUS_NAME + ".xml";

}  // namespace

StartOptions ParseSwitches(int argc, const char* const* argv) {
  StartOptions o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--", 0) == 0) a = a.substr(2);
    else if (!a.empty() && (a[0] == '-' || a[0] == '/')) a = a.substr(1);
    else continue;
    a = lower(a);
    if (a == "automation" || a == "embedding") o.startedByBus = true;
    else if (a == "regserver") o.registration = Registration::RegServer;
    else if (a == "unregserver") o.registration = Registration::UnregServer;
    else if (a == "regserverperuser") o.registration = Registration::RegServerPerUser;
    else if (a == "unregserverperuser") o.registration = Registration::UnregServerPerUser;
    else if (a == "help" || a == "h" || a == "?") o.help = true;
    else if (a == "version") o.version = true;
  }
  return o;
}

std::string DbusDataFolder(bool allUsers) {
  return allUsers ? std::string(ORBANTIS_INSTALL_PREFIX) + "/share/dbus-1/" : UserDataFolder() + "/dbus-1/";
}

std::string ServiceFileText(const std::string& executablePath) {
  return "# ORBANTIS fiscal printer automation server (class KELMORA)\n"
         "[D-BUS Service]\n"
         "Name=" +
         std::string(BUS_NAME) + "\nExec=\"" + executablePath + "\" -Embedding\n";
}

int Register(bool allUsers, const std::string& executablePath, std::string& error) {
  const std::string folder = DbusDataFolder(allUsers);
  // Readable by everyone: the bus of every user reads the all-users files.
  if (!ForceDirectories(folder + "services", 0755) || !ForceDirectories(folder + "interfaces", 0755)) {
    error = "Cannot create " + folder + "services and " + folder + "interfaces";
    return 1;
  }
  if (!writeFile(folder + kDescriptionFile, InterfaceDescriptionXml(), error)) return 1;
  if (!writeFile(folder + kServiceFile, ServiceFileText(executablePath), error)) return 1;
  return 0;
}

int Unregister(bool allUsers, std::string& error) {
  const std::string folder = DbusDataFolder(allUsers);
  if (!removeFile(folder + kServiceFile, error)) return 1;
  std::string ignored;
  removeFile(folder + kDescriptionFile, ignored);
  return 0;
}

std::string ExecutablePath() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("orbantis");
}

}  // namespace orbantis::automation
