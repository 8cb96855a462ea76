// A driver process for the crash tests: prints one receipt document on a
// device with a journal, the way a front end does, and writes the answer.
//   orbantis-test-receipt-runner DEVICE JOURNAL DOCUMENT-FILE
// Standard output: the answer document. Exit status: 0 printed, 1 otherwise.
#include <fstream>
#include <iostream>
#include <sstream>

#include "journal/Journal.h"
#include "printer_model/TFP_ZORVIK.h"
#include "receipts/ReceiptService.h"

int main(int argc, char** argv) {
  using namespace orbantis;
  if (argc != 4) {
    std::cerr << "usage: orbantis-test-receipt-runner DEVICE JOURNAL DOCUMENT-FILE\n";
    return 2;
  }
  std::ifstream file(argv[3]);
  std::stringstream document;
  document << file.rdbuf();

  TFP_ZORVIK printer(1, 115200);
  auto& c = *printer.SERIAL_CONNECTION;
  c.DevicePath = argv[1];
  c.FCommTimeouts.ReadTotalTimeoutConstant = 50;
  if (c.Open() != 0) {
    std::cout << R"({"code": -100, "message": "cannot open the device"})" << std::endl;
    return 1;
  }
  c.WITH_INPCHECK = false;
  c.WITH_OUTPCHECK = true;
  c.ALWAYS_GET_OUTPUT = true;
  c.AUTOCUT_ON = true;
  c.EXIT_BYTIMEVAR = 50;
  c.SET_REPEAT_COUNT(2);

  journal::Journal journal(argv[2]);
  receipts::ReceiptService service(journal);
  const auto outcome = service.Print(printer, "OB00000001", document.str());
  std::cout << outcome.json << std::endl;
  return outcome.code == 0 ? 0 : 1;
}
