// Paper handling, display, status and diagnostics, logo rows and memory reads.
#include <cctype>

#include "Printer.h"
#include "PrinterDetail.h"

namespace orbantis::emulator {

using namespace detail;

namespace {

constexpr std::string_view kModel = "ORBANTIS FP-1";
constexpr std::string_view kFirmware = "1.00 01-03-24";
constexpr int kMemorySize = 0x40000;

std::string hexByte(unsigned b) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[(b >> 4) & 0xF], kDigits[b & 0xF]};
}

// "address,length" of a memory read; the memory is a fixed pattern, the same on every run.
Bytes readPattern(std::string_view data, unsigned seed) {
  const auto parts = split(data, ',');
  if (parts.size() != 2) malformed();
  const auto address = integerIn(parts[0], 0, kMemorySize - 1);
  const auto length = integerIn(parts[1], 1, 64);
  Bytes hex;
  for (long long i = 0; i < length; ++i) {
    const auto a = static_cast<unsigned>((address + i) % kMemorySize);
    hex += hexByte((a * 31u + seed) ^ (a >> 8));
  }
  return hex;
}

}  // namespace

Bytes Printer::feedPaper(std::string_view data) {
  const auto lines = integerIn(data, 1, 99);
  for (long long i = 0; i < lines; ++i) print("");
  return {};
}

Bytes Printer::cutPaper(std::string_view) {
  print(std::string(kPaperWidth / 2 - 3, ' ') + "- cut -");
  return {};
}

Bytes Printer::separatorLine(std::string_view data) {
  static constexpr char kRulers[] = {'-', '=', '*'};
  print(ruler(kRulers[integerIn(data, 1, 3) - 1]));
  return {};
}

Bytes Printer::barcode(std::string_view data) {
  const auto at = data.find_first_of(",;");
  if (at != 1 || data.size() < 3) malformed();
  const auto type = integerIn(data.substr(0, 1), 1, 5);
  const auto code = data.substr(2, 32);
  print(centred("|||| ||| | |||| | ||| || ||||"));
  print(centred("BARCODE " + std::to_string(type) + ": " + std::string(code)));
  return {};
}

Bytes Printer::clearDisplay(std::string_view) {
  display_[0].clear();
  display_[1].clear();
  return {};
}

Bytes Printer::displayLower(std::string_view data) {
  display_[1] = std::string(data.substr(0, 20));
  return {};
}

Bytes Printer::displayUpper(std::string_view data) {
  display_[0] = std::string(data.substr(0, 20));
  return {};
}

Bytes Printer::displayText(std::string_view data) {
  display_[0] = std::string(data.substr(0, 20));
  display_[1] = std::string(data.substr(std::min<std::size_t>(data.size(), 20), 20));
  return {};
}

Bytes Printer::sound(std::string_view) { return {}; }

Bytes Printer::drawer(std::string_view data) {
  if (!data.empty()) integerIn(data, 0, 100);
  return {};
}

Bytes Printer::nothing(std::string_view) { return {}; }

Bytes Printer::diagnosticPrint(std::string_view) {
  print(centred("DIAGNOSTIC INFORMATION"));
  print(leftRight("MODEL", kModel));
  print(leftRight("FIRMWARE", kFirmware));
  print(leftRight("SERIAL", serial_));
  print(leftRight("FISCAL MEMORY FREE",
                  std::to_string(kFiscalMemoryClosures - static_cast<int>(closures_.size()))));
  print(leftRight("DATE", dateTime(now(), false)));
  print(ruler('='));
  return {};
}

Bytes Printer::status(std::string_view data) {
  // "W" waits for the print buffer and "X" asks for the extended status; the answer to both is the
  // status bytes alone, which the emulator always has ready.
  if (data.size() > 1 || (data.size() == 1 && data != "W" && data != "X")) malformed();
  return {};
}

Bytes Printer::diagnostics(std::string_view) {
  std::string sw;
  for (int i = 0; i < 8; ++i) sw += (switches_ >> i) & 1 ? '1' : '0';
  return std::string(kModel) + "," + std::string(kFirmware) + ",7E4A," + sw + "," + serial_;
}

Bytes Printer::uptimeSeconds(std::string_view) {
  const auto up = std::chrono::steady_clock::now() - started_;
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(up).count());
}

Bytes Printer::logo(std::string_view data) {
  if (!data.empty() && data.front() == 'R') {
    return logo_.at(static_cast<std::size_t>(integerIn(data.substr(1), 0, kLogoRows - 1)));
  }
  const auto comma = data.find(',');
  if (comma == std::string_view::npos) malformed();
  const auto row = integerIn(data.substr(0, comma), 0, kLogoRows - 1);
  const auto hex = data.substr(comma + 1);
  if (hex.empty() || hex.size() > kLogoRowHexDigits || hex.size() % 2 != 0 ||
      hex.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
    malformed();
  }
  // A short row is dark only where it was given; the rest of the 576 dots stay white.
  std::string stored(kLogoRowHexDigits, '0');
  for (std::size_t i = 0; i < hex.size(); ++i) {
    stored[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(hex[i])));
  }
  logo_.at(static_cast<std::size_t>(row)) = stored;
  return {};
}

Bytes Printer::memoryBlock(std::string_view data) { return readPattern(data, 0x5A); }

Bytes Printer::memoryData(std::string_view data) { return readPattern(data, 0xA5); }

}  // namespace orbantis::emulator
