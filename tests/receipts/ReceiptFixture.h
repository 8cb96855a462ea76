// Receipts against the software printer: a model connected with the
// server's switches and short time limits (so that a fault costs a fraction
// of a second), a journal in a temporary folder, and the documents the tests
// share.
#pragma once

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "Emulator.h"
#include "journal/Journal.h"
#include "printer_model/TFP_ZORVIK.h"
#include "receipts/ReceiptService.h"
#include "support/TempDir.h"

namespace orbantis::test {

inline constexpr const char* kSerial = "OB00000001";

// A model on a device path, or on 127.0.0.1:port when port is not 0, as the
// server connects it but with short waits (wait, in ms).
inline std::unique_ptr<TFP_ZORVIK> ModelAt(const std::string& device, std::uint16_t port, int wait = 150) {
  auto m = std::make_unique<TFP_ZORVIK>(1, 115200);
  auto& c = *m->SERIAL_CONNECTION;
  if (port != 0) {
    c.COMUNICATION_TYPE = ct_TCPIP;
    c.CREATE_TCP("127.0.0.1", port);
    c.FP_TCP->TCP_Client->UseNagle = false;
    c.FP_TCP->TCP_Client->ReadTimeout = wait;
    c.FP_TCP->TCP_Client->ConnectTimeout = 1000;
  } else {
    c.DevicePath = device;
    c.FCommTimeouts.ReadTotalTimeoutConstant = wait;
  }
  c.Open();
  c.WITH_INPCHECK = false;
  c.WITH_OUTPCHECK = true;
  c.ALWAYS_GET_OUTPUT = true;
  c.AUTOCUT_ON = true;
  c.EXIT_BYTIMEVAR = wait;
  c.SET_REPEAT_COUNT(2);
  return m;
}

// A model on a new wire of the emulator.
inline std::unique_ptr<TFP_ZORVIK> ModelOn(emulator::Emulator& emu, bool tcp = false) {
  return tcp ? ModelAt({}, emu.startTcp()) : ModelAt(emu.startPty(), 0);
}

// Ten sales (one with a percentage discount, one with an absolute one, one
// of a programmed item), a comment and two payments: tests/receipts/ten-items.json
// under key. Totals: A 23.32, B 6.00; paid 40.00, change 10.68.
inline std::string TenItemReceipt(const std::string& key) {
  std::ifstream file(ORBANTIS_TEN_ITEMS);
  std::stringstream text;
  text << file.rdbuf();
  std::string document = text.str();
  const std::string from = "\"key\": \"till7-1\"";
  document.replace(document.find(from), from.size(), "\"key\": \"" + key + "\"");
  return document;
}

// Programs the printer's item 7, which the receipt above sells.
inline void ProgramItem7(TFP_ZORVIK& model) {
  AnsiStrings out;
  model.Run("CMD_107_1_0", {"A", "7", "1", "5.00", "", "100", "Chocolate"}, out);
}

struct ReceiptWorld {
  TempDir dir;
  std::unique_ptr<journal::Journal> journal = std::make_unique<journal::Journal>(dir.Path() + "state/journal.sqlite");
  std::unique_ptr<receipts::ReceiptService> service = std::make_unique<receipts::ReceiptService>(*journal);
};

}  // namespace orbantis::test
