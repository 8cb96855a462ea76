// Where the shop's printers are: printers.json, and the printers detection
// found. Each printer has an id used in the URLs and one way to reach it: a
// serial device, a COM number (resolved as the server resolves it) or a
// host:port on the network.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orbantis::http {

struct PrinterConfig {
  std::string id;
  std::string device;  // a serial device path, or
  int com = 0;         // a COM number, or
  std::string host;    // a network printer's host ...
  std::uint16_t port = 0;  // ... and port
  std::int32_t baud = 115200;
  std::int32_t codePage = 1252;
  // Print "?" for a character the code page lacks instead of refusing the text.
  bool replaceUnmappable = false;
  bool detected = false;  // found by detection, not written in the file

  bool IsTcp() const { return !host.empty(); }
  // The device a serial printer is opened at: the path, or COM n's path.
  std::string SerialPath() const;
  // How it is reached, as the API shows it.
  nlohmann::json Connection() const;
};

// A config file that cannot be used: what is wrong, and where.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An id the URLs can carry as it is.
bool IsValidPrinterId(const std::string& id);

// $XDG_CONFIG_HOME/ORBANTIS/printers.json (default ~/.config).
std::string DefaultConfigPath();

// The printers of the file's text; ConfigError names the entry and the field.
std::vector<PrinterConfig> ParsePrinters(const std::string& text);
// The printers of the file. A missing file at the default place means no
// printers yet (detection may find them); a missing file that was asked for
// is an error.
std::vector<PrinterConfig> LoadPrinters(const std::string& path, bool mustExist);

}  // namespace orbantis::http
