// The log files and folders on POSIX: files owner-only, the XDG folders.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "foundation/Strings.h"
#include "uErrLog/LogFiles.h"
#include "uErrLog/uErrLog.h"

namespace orbantis {
namespace {

constexpr mode_t kFileMode = 0600;

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v != nullptr && *v != '\0') ? std::string(v) : fallback;
}

std::string homeFolder() { return envOr("HOME", "/tmp"); }

std::string stripTrailingSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// Reads XDG_DOCUMENTS_DIR from user-dirs.dirs ("$HOME/Documents" style).
std::string xdgDocumentsFromUserDirs() {
  std::string path = UserConfigFolder() + "/user-dirs.dirs";
  FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return {};
  std::string result;
  char line[4096];
  while (std::fgets(line, sizeof line, f) != nullptr) {
    std::string s(line);
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (s.rfind(key, 0) != 0) continue;
    s = s.substr(key.size());
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    if (s.rfind("$HOME", 0) == 0) s = homeFolder() + s.substr(5);
    if (!s.empty() && s.front() == '/') result = s;
  }
  std::fclose(f);
  return result;
}

}  // namespace

// Appends bytes to path in one write, creating the file owner-only. The
// files hold operator passwords and receipts, and a trace folder may be a
// shared one such as /tmp: a symlink, or a file another user planted there,
// is never written into.
void AppendToFile(const std::string& path, const std::string& bytes) {
  // O_NONBLOCK: a FIFO planted at the name must not hold the exchange in
  // open(); it is refused below like any file that is not a regular one.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK,
                  kFileMode);
  if (fd < 0) {
    if (errno == ELOOP) throw Exception("Log file " + path + " is a symbolic link; nothing was written to it.");
    throw Exception("Cannot open log file " + path + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    throw Exception("Log file " + path + " is not a regular file of this user; nothing was written to it.");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw Exception("Cannot write log file " + path + ": " + std::strerror(err));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  ::close(fd);
}

bool KeepAsPrevious(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return true;
  return ::rename(path.c_str(), (path + ".1").c_str()) == 0 || errno == ENOENT;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void CreateOwnerOnlyFile(const std::string& path) {
  // Only a file this call creates is opened and closed: POSIX locks belong to
  // the process, and closing any descriptor of a file another part of this
  // process has locked (an SQLite database) would drop those locks.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 || errno != ENOENT) return;
  const int made = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kFileMode);
  if (made >= 0) ::close(made);
  else if (errno != EEXIST) throw Exception("Cannot create " + path + ": " + std::strerror(errno));
}

std::string LogDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm local {};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%d.%m.%Y %H:%M:%S", &local);
  return buf;
}

bool ForceDirectories(const std::string& folder, unsigned mode) {
  std::string path = stripTrailingSlash(folder);
  if (path.empty()) return false;
  if (isDirectory(path)) return true;
  size_t pos = 0;
  while (true) {
    pos = path.find('/', pos + 1);
    std::string part = path.substr(0, pos);
    if (!part.empty() && !isDirectory(part)) {
      if (::mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
    }
    if (pos == std::string::npos) break;
  }
  return isDirectory(path);
}

std::string IncludeTrailingPathDelimiter(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

std::string::size_type LastPathSeparator(const std::string& path) { return path.rfind('/'); }

std::string UserDataFolder() { return stripTrailingSlash(envOr("XDG_DATA_HOME", homeFolder() + "/.local/share")); }

std::string UserConfigFolder() { return stripTrailingSlash(envOr("XDG_CONFIG_HOME", homeFolder() + "/.config")); }

std::string UserDocumentsFolder() {
  std::string fromEnv = envOr("XDG_DOCUMENTS_DIR", "");
  if (!fromEnv.empty()) return stripTrailingSlash(fromEnv);
  std::string fromFile = xdgDocumentsFromUserDirs();
  if (!fromFile.empty()) return stripTrailingSlash(fromFile);
  // No documents folder of the user's: the start-up log goes with the other
  // state, rather than the server making ~/Documents for every user.
  return stripTrailingSlash(envOr("XDG_STATE_HOME", homeFolder() + "/.local/state"));
}

std::string ServerLogFolder() { return UserDataFolder() + "/ORBANTIS/"; }

std::string UserStateFolder() {
  const std::string state = envOr("XDG_STATE_HOME", "");
  if (!state.empty() && state.front() == '/') return stripTrailingSlash(state);
  std::string home = envOr("HOME", "");
  if (home.empty() || home.front() != '/') {
    const passwd* pw = ::getpwuid(::geteuid());
    home = pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
  }
  if (home.empty() || home.front() != '/') throw Exception("no home folder to keep the program's state in");
  return stripTrailingSlash(home) + "/.local/state";
}

std::string ProgramLogFolder() { return ServerLogFolder(); }

std::string DefaultTraceFolder() {
  // The user's runtime folder is private (0700) and goes with the session;
  // /tmp is shared with every local user, so there the folder carries the
  // user id and is made 0700 before the first trace line.
  const std::string runtime = envOr("XDG_RUNTIME_DIR", "");
  if (!runtime.empty() && runtime.front() == '/') return stripTrailingSlash(runtime) + "/ORBANTIS/";
  return "/tmp/ORBANTIS-" + std::to_string(::geteuid()) + "/";
}

}  // namespace orbantis
