// Finding the printers plugged into this machine.
//
// Every serial device that may hold a printer (the globs below, and the COM
// links of $XDG_CONFIG_HOME/ORBANTIS/ports/) is probed at each baud rate in
// turn with two reads only: the status read (74) and the diagnostic read
// (90), which answers the serial number. Nothing that changes the printer is
// ever sent, so probing a port that holds some other device is harmless to a
// printer. A port another program holds is skipped, as is one the service
// already drives. Ports are probed in parallel and the whole probe is bounded
// in time; each step is logged.
#pragma once

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orbantis::http {

struct DetectedPrinter {
  std::string device;  // the path probed (a COM link as its link)
  std::int32_t baud = 0;
  std::string serial;
  std::string model;
};

struct DetectionResult {
  std::vector<DetectedPrinter> found;
  std::vector<std::pair<std::string, std::string>> skipped;  // device, reason
  double seconds = 0;
  nlohmann::json ToJson() const;
};

struct DetectionOptions {
  // Device globs; the default covers the usual serial and USB adapters.
  std::vector<std::string> patterns = {"/dev/ttyS*", "/dev/ttyUSB*", "/dev/ttyACM*"};
  std::vector<std::int32_t> bauds = {115200, 57600, 38400, 19200, 9600};
  std::chrono::milliseconds limit{30000};
  // Real paths of devices not to probe (those the service drives already).
  std::set<std::string> exclude;
  std::function<void(const std::string&)> log;
};

// The device a path leads to (links followed), or "" when there is none.
std::string RealDevicePath(const std::string& path);

// The devices the probe would try: the globs' matches and the COM links,
// one entry per real device.
std::vector<std::string> CandidateDevices(const DetectionOptions& options);

DetectionResult DetectPrinters(const DetectionOptions& options);

}  // namespace orbantis::http
