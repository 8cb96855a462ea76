// Receipts against the software printer: a model connected with the
// server's switches and short time limits (so that a fault costs a fraction
// of a second), a journal in a temporary folder, and the documents the tests
// share.
#pragma once

#include <memory>
#include <string>

#include "Emulator.h"
#include "journal/Journal.h"
#include "printer_model/TFP_ZORVIK.h"
#include "receipts/ReceiptService.h"
#include "support/TempDir.h"

namespace orbantis::test {

inline constexpr const char* kSerial = "OB00000001";

// A model on the emulator, as the server connects it but with short waits.
inline std::unique_ptr<TFP_ZORVIK> ModelOn(emulator::Emulator& emu, bool tcp = false) {
  auto m = std::make_unique<TFP_ZORVIK>(1, 115200);
  auto& c = *m->SERIAL_CONNECTION;
  if (tcp) {
    c.COMUNICATION_TYPE = ct_TCPIP;
    c.CREATE_TCP("127.0.0.1", emu.startTcp());
    c.FP_TCP->TCP_Client->UseNagle = false;
    c.FP_TCP->TCP_Client->ReadTimeout = 150;
    c.FP_TCP->TCP_Client->ConnectTimeout = 1000;
  } else {
    c.DevicePath = emu.startPty();
    c.FCommTimeouts.ReadTotalTimeoutConstant = 150;
  }
  c.Open();
  c.WITH_INPCHECK = false;
  c.WITH_OUTPCHECK = true;
  c.ALWAYS_GET_OUTPUT = true;
  c.AUTOCUT_ON = true;
  c.EXIT_BYTIMEVAR = 150;
  c.SET_REPEAT_COUNT(2);
  return m;
}

// Ten sales (one with a percentage discount, one with an absolute one, one
// of a programmed item), a comment and two payments.
inline std::string TenItemReceipt(const std::string& key) {
  return R"({"key": ")" + key + R"(",
    "operator": {"code": 1, "password": "0000", "till": 1},
    "items": [
      {"text": "Espresso", "text2": "double", "taxGroup": "A", "price": "2.40", "quantity": "2", "unit": "cup",
       "discountPercent": "10"},
      {"text": "Croissant", "taxGroup": "A", "price": "1.80", "unit": "pc"},
      {"text": "Water 0.5 l", "taxGroup": "B", "price": "0.90", "quantity": "3", "unit": "btl"},
      {"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup", "discountAmount": "0.20"},
      {"text": "Cake", "taxGroup": "A", "price": "3.20", "unit": "pc"},
      {"text": "Juice", "taxGroup": "B", "price": "2.10", "unit": "btl"},
      {"text": "Sandwich", "taxGroup": "A", "price": "4.50", "unit": "pc"},
      {"text": "Cookie", "taxGroup": "A", "price": "0.80", "quantity": "4", "unit": "pc"},
      {"text": "Newspaper", "taxGroup": "B", "price": "1.20", "unit": "pc"},
      {"plu": 7, "quantity": "1"},
      {"comment": "Thank you for your visit"}],
    "payments": [{"mode": "N", "amount": "10.00"}, {"mode": "P", "amount": "30.00"}]})";
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
