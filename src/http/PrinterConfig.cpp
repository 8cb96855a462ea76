#include "http/PrinterConfig.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "uCONNECTOR/ComPortPath.h"

namespace orbantis::http {

using nlohmann::json;

std::string PrinterConfig::SerialPath() const { return device.empty() ? ComPortDevicePath(com) : device; }

json PrinterConfig::Connection() const {
  if (IsTcp()) return {{"host", host + ":" + std::to_string(port)}};
  json c = {{"baud", baud}};
  if (!device.empty()) c["device"] = device;
  else c["com"] = com;
  return c;
}

bool IsValidPrinterId(const std::string& id) {
  if (id.empty() || id.size() > 64) return false;
  for (unsigned char ch : id)
    if (!std::isalnum(ch) && ch != '-' && ch != '_' && ch != '.') return false;
  return true;
}

std::string DefaultConfigPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && *xdg) base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.config";
  else base = ".";
  return base + "/ORBANTIS/printers.json";
}

namespace {

[[noreturn]] void Bad(std::size_t index, const std::string& field, const std::string& what) {
  throw ConfigError("printer " + std::to_string(index + 1) + (field.empty() ? "" : ", \"" + field + "\"") + ": " +
                    what);
}

PrinterConfig ParseOne(const json& e, std::size_t i) {
  if (!e.is_object()) Bad(i, "", "is not an object");
  static const std::set<std::string> known = {"id", "device", "com", "host", "baud", "codePage",
                                              "replaceUnmappable"};
  for (const auto& [k, v] : e.items())
    if (!known.count(k)) Bad(i, k, "is not a printer setting (id, device, com, host, baud, codePage, replaceUnmappable)");
  PrinterConfig p;
  if (!e.contains("id") || !e["id"].is_string()) Bad(i, "id", "is required, a text");
  p.id = e["id"].get<std::string>();
  if (!IsValidPrinterId(p.id)) Bad(i, "id", "may hold only letters, digits, '-', '_' and '.', up to 64");
  const int ways = int(e.contains("device")) + int(e.contains("com")) + int(e.contains("host"));
  if (ways != 1) Bad(i, "", "give exactly one of \"device\", \"com\" and \"host\"");
  if (e.contains("device")) {
    if (!e["device"].is_string() || e["device"].get<std::string>().empty()) Bad(i, "device", "must be a device path");
    p.device = e["device"].get<std::string>();
  }
  if (e.contains("com")) {
    if (!e["com"].is_number_integer() || e["com"].get<long long>() < 1 || e["com"].get<long long>() > 255)
      Bad(i, "com", "must be a COM number from 1 to 255");
    p.com = e["com"].get<int>();
  }
  if (e.contains("host")) {
    if (!e["host"].is_string()) Bad(i, "host", "must be \"host:port\"");
    const std::string h = e["host"].get<std::string>();
    const auto colon = h.rfind(':');
    if (colon == std::string::npos || colon == 0) Bad(i, "host", "must be \"host:port\"");
    const std::string port = h.substr(colon + 1);
    char* end = nullptr;
    const long n = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end || n < 1 || n > 65535) Bad(i, "host", "the port must be a number from 1 to 65535");
    p.host = h.substr(0, colon);
    p.port = static_cast<std::uint16_t>(n);
  }
  if (e.contains("baud")) {
    static const std::set<long long> rates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    if (!e["baud"].is_number_integer() || !rates.count(e["baud"].get<long long>()))
      Bad(i, "baud", "must be one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200");
    p.baud = e["baud"].get<std::int32_t>();
  }
  if (e.contains("codePage")) {
    if (!e["codePage"].is_number_integer() || (e["codePage"] != 1252 && e["codePage"] != 1251))
      Bad(i, "codePage", "must be 1252 (Western) or 1251 (Cyrillic)");
    p.codePage = e["codePage"].get<std::int32_t>();
  }
  if (e.contains("replaceUnmappable")) {
    if (!e["replaceUnmappable"].is_boolean()) Bad(i, "replaceUnmappable", "must be true or false");
    p.replaceUnmappable = e["replaceUnmappable"].get<bool>();
  }
  return p;
}

}  // namespace

std::vector<PrinterConfig> ParsePrinters(const std::string& text) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded()) throw ConfigError("not valid JSON");
  if (!doc.is_object() || !doc.contains("printers") || !doc["printers"].is_array())
    throw ConfigError("expected an object with a \"printers\" list");
  std::vector<PrinterConfig> out;
  std::set<std::string> ids;
  for (std::size_t i = 0; i < doc["printers"].size(); ++i) {
    PrinterConfig p = ParseOne(doc["printers"][i], i);
    if (!ids.insert(p.id).second) Bad(i, "id", "\"" + p.id + "\" is used by an earlier printer");
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<PrinterConfig> LoadPrinters(const std::string& path, bool mustExist) {
  std::ifstream file(path);
  if (!file) {
    if (mustExist) throw ConfigError(path + ": cannot be read");
    return {};
  }
  std::stringstream text;
  text << file.rdbuf();
  try {
    return ParsePrinters(text.str());
  } catch (const ConfigError& e) {
    throw ConfigError(path + ": " + e.what());
  }
}

}  // namespace orbantis::http
