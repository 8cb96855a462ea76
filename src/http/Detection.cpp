#include "http/Detection.h"

#include <glob.h>
#include <limits.h>
#include <stdlib.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

#include "foundation/CodePage.h"
#include "printer_model/TFP_ZORVIK.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::http {

using nlohmann::json;

json DetectionResult::ToJson() const {
  json f = json::array(), s = json::array();
  for (const auto& p : found)
    f.push_back({{"id", p.serial}, {"device", p.device}, {"baud", p.baud}, {"serial", p.serial}, {"model", p.model}});
  for (const auto& [device, reason] : skipped) s.push_back({{"device", device}, {"reason", reason}});
  return {{"found", f}, {"skipped", s}, {"seconds", seconds}};
}

namespace {

void Glob(const std::string& pattern, std::vector<std::string>& out) {
  glob_t g{};
  if (glob(pattern.c_str(), 0, nullptr, &g) == 0)
    for (std::size_t i = 0; i < g.gl_pathc; ++i) out.emplace_back(g.gl_pathv[i]);
  globfree(&g);
}

// One probe of one device at one baud rate.
enum class Probe { Found, Silent, Held, Unusable };

Probe ProbeAt(const std::string& device, std::int32_t baud, DetectedPrinter& found, std::string& reason) {
  TFP_ZORVIK model(1, baud);
  auto& c = *model.SERIAL_CONNECTION;
  c.DevicePath = device;
  // Short waits: a port without a printer, or at the wrong rate, costs a
  // fraction of a second; a printer answers its reads within it.
  c.FCommTimeouts.ReadTotalTimeoutConstant = 200;
  if (c.Open() != 0) {
    reason = c.OpenErrorDetail.empty() ? "cannot be opened" : c.OpenErrorDetail;
    return c.OpenErrno == EBUSY ? Probe::Held : Probe::Unusable;
  }
  c.WITH_INPCHECK = false;
  c.WITH_OUTPCHECK = false;
  c.ALWAYS_GET_OUTPUT = true;
  c.AUTOCUT_ON = true;
  c.EXIT_BYTIMEVAR = 200;
  c.SET_REPEAT_COUNT(1);
  AnsiStrings status, diag;
  Probe result = Probe::Silent;
  // A status read that gets any valid answer says a printer is there, even
  // one reporting an error; the diagnostic read then names it.
  model.Run("CMD_74_0_1", {}, status);
  if (model.tmpBoRes || model.FLastErrorCode != -4) {
    if (model.Run("CMD_90_0_0", {}, diag) == 0 && diag.size() >= 5 && !TrimSpaces(diag[4]).empty()) {
      found.device = device;
      found.baud = baud;
      found.serial = TrimSpaces(WideToUtf8(DecodeCodePage(diag[4], 1252)));
      found.model = TrimSpaces(WideToUtf8(DecodeCodePage(diag[0], 1252)));
      result = Probe::Found;
    }
  }
  c.Close();
  return result;
}

}  // namespace

std::string RealDevicePath(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

std::vector<std::string> CandidateDevices(const DetectionOptions& options) {
  std::vector<std::string> paths;
  for (const auto& p : options.patterns) Glob(p, paths);
  // The COM links the user made, e.g. ports/COM3 -> /dev/ttyUSB0.
  Glob(UserConfigFolder() + "/ORBANTIS/ports/COM*", paths);
  std::vector<std::string> out;
  std::set<std::string> seen;
  for (const auto& p : paths) {
    const std::string real = RealDevicePath(p);
    if (real.empty() || options.exclude.count(real) || !seen.insert(real).second) continue;
    out.push_back(p);
  }
  return out;
}

DetectionResult DetectPrinters(const DetectionOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + options.limit;
  auto log = [&](const std::string& line) {
    if (options.log) options.log("detect: " + line);
  };
  const auto devices = CandidateDevices(options);
  log("probing " + std::to_string(devices.size()) + " serial device(s), at most " +
      std::to_string(options.limit.count() / 1000) + " s");

  DetectionResult result;
  std::mutex lock;
  std::vector<std::thread> probes;
  for (const auto& device : devices) {
    probes.emplace_back([&, device] {
      for (const auto baud : options.bauds) {
        if (std::chrono::steady_clock::now() >= deadline) {
          std::lock_guard g(lock);
          result.skipped.emplace_back(device, "the time for detection ran out");
          log(device + ": not finished, the time for detection ran out");
          return;
        }
        log(device + ": trying " + std::to_string(baud) + " baud");
        DetectedPrinter found;
        std::string reason;
        const Probe probe = ProbeAt(device, baud, found, reason);
        std::lock_guard g(lock);
        if (probe == Probe::Found) {
          result.found.push_back(found);
          log(device + ": found " + found.model + " " + found.serial + " at " + std::to_string(baud) + " baud");
          return;
        }
        if (probe == Probe::Held || probe == Probe::Unusable) {
          result.skipped.emplace_back(device, reason);
          log(device + ": skipped, " + reason);
          return;
        }
      }
      std::lock_guard g(lock);
      log(device + ": no printer answered");
    });
  }
  for (auto& t : probes) t.join();
  // The same printer seen on two paths (a link and its device) counts once.
  std::set<std::string> serials;
  std::vector<DetectedPrinter> unique;
  for (auto& p : result.found)
    if (serials.insert(p.serial).second) unique.push_back(p);
  result.found = std::move(unique);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  log("done in " + std::to_string(result.seconds).substr(0, 4) + " s: " + std::to_string(result.found.size()) +
      " printer(s) found");
  return result;
}

}  // namespace orbantis::http
