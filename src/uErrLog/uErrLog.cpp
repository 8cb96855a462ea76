#include "uErrLog/uErrLog.h"

#include <mutex>

#include "foundation/Strings.h"
#include "uErrLog/LogFiles.h"

namespace orbantis {
namespace {

struct ErrSupportState {
  std::mutex lock;
  void* handle = nullptr;
  std::string caption;
  std::string startupLogFolder;
};

ErrSupportState& errSupport() {
  static ErrSupportState state;
  return state;
}

}  // namespace

const std::string& ProgramName() {
  static const std::string name = "orbantis";
  return name;
}

std::string LogFileName() { return ProgramName() + "_LOG.txt"; }

void WRITE_LOG(const std::string& folder, const std::string& text) {
  AppendToFile(folder + LogFileName(), LogDateTime() + ":" + text + "\r\n");
}

void WRITE_LOG_RAW(const std::string& folder, const std::string& text) {
  AppendToFile(folder + LogFileName(), text + "\r\n");
}

void WRITE_EXE_LOG(const std::string& text) {
  // An installed program's folder is not writable: the program-side log lives
  // in a folder of the user's (ProgramLogFolder).
  std::string folder = ProgramLogFolder();
  ForceDirectories(folder);
  AppendToFile(folder + ProgramName() + "_log.txt", LogDateTime() + ":" + text + "\r\n");
}

bool INIT_ERR_SUPPORT(void* windowHandle, const std::string& caption, const std::string& personalFolder,
                      const std::string& appDataFolder) {
  auto& state = errSupport();
  std::lock_guard<std::mutex> guard(state.lock);
  try {
    state.handle = windowHandle;
    state.caption = caption;

    const std::string documents = IncludeTrailingPathDelimiter(IncludeTrailingPathDelimiter(personalFolder) + caption);
    const std::string application = IncludeTrailingPathDelimiter(IncludeTrailingPathDelimiter(appDataFolder) + caption);
    const bool documentsUsable = ForceDirectories(documents);
    const bool applicationUsable = ForceDirectories(application);
    if (!documentsUsable && !applicationUsable) return false;

    const std::string folder = IncludeTrailingPathDelimiter((documentsUsable ? documents : application) + "LOG_FOLDER");
    if (!ForceDirectories(folder)) return false;
    state.startupLogFolder = folder;

    const std::string file = folder + LogFileName();
    if (FileExists(file)) return true;
    try {
      WRITE_LOG(folder, "Log file creation");
    } catch (const std::exception& e) {
      try {
        WRITE_LOG(folder, std::string("SET_LOG_FOLDER :") + e.what());
      } catch (...) {
      }
    }
    return FileExists(file);
  } catch (...) {
    throw Exception("INIT_ERR_SUPPORT");
  }
}

void* ErrSupportWindowHandle() {
  std::lock_guard<std::mutex> guard(errSupport().lock);
  return errSupport().handle;
}

const std::string& ErrSupportCaption() { return errSupport().caption; }

const std::string& StartupLogFolder() { return errSupport().startupLogFolder; }

}  // namespace orbantis
