// Faults on the wire, injected by the software printer: every one gives the
// code and text it should, never waits past the limits, and never makes the
// printer sell twice.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "EmulatorFixture.h"
#include "Status.h"

namespace orbantis {
namespace {

const char* kCheckTheLink = "Unsuccessful command execution.\r\nPlease check the link with this fiscal!";

struct FaultCase {
  const char* name;
  std::function<void(emulator::Faults&, emulator::Emulator&)> inject;
  std::int32_t code;           // of the sale
  std::uint64_t executions;    // how often the printer sold
  std::string text;            // the English text, when the sale fails
};

// One sale in an open receipt under each fault, then the fault is gone and
// the next command works on the same connection.
TEST(FaultsOnEmulator, EachFaultOnASale) {
  const FaultCase cases[] = {
      {"NAK once", [](auto& f, auto&) { f.setNakEvery(1); }, -4, 0, kCheckTheLink},
      {"bad check sum once", [](auto& f, auto&) { f.setBadChecksumAt(1); }, 0, 1, ""},
      {"wrong SEQ once", [](auto& f, auto&) { f.setWrongSeqAt(1); }, 0, 1, ""},
      {"wrong CMD once", [](auto& f, auto&) { f.setWrongCmdAt(1); }, 0, 1, ""},
      {"truncated answer then the repeat", [](auto& f, auto&) { f.setTruncateAt(1); }, 0, 1, ""},
      {"silence", [](auto& f, auto&) { f.setSilent(true); }, -4, 0, kCheckTheLink},
      {"SYN while printing", [](auto&, auto& emu) { emu.setPrintTime(std::chrono::milliseconds(250)); }, 0, 1, ""},
      {"no paper", [](auto& f, auto&) { f.forceBit(emulator::StatusBit {2, 0}, true); }, -4, 1,
       "Unsuccessful command execution.\r\nSome of the status bytes:\r\n# No paper.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::ModelOnEmulator e;
    auto& m = *e.model;
    // Generous limits, as the server sets after connecting.
    m.SERIAL_CONNECTION->EXIT_BYTIMEVAR = 3000;
    m.SERIAL_CONNECTION->FCommTimeouts.ReadTotalTimeoutConstant = 300;
    AnsiString rec, glob;
    ASSERT_EQ(m.CMD_48_0_0("1", "0000", "1", rec, glob), 0);
    c.inject(e.emulator.faults(), e.emulator);
    // NAK every request would also refuse the repeat: let the repeat through.
    if (std::string(c.name) == "NAK once") m.SERIAL_CONNECTION->SET_REPEAT_COUNT(1);
    EXPECT_EQ(m.CMD_49_0_0("A", "1.00"), c.code);
    EXPECT_EQ(e.emulator.executions(49), c.executions) << "sold as often as the printer did it";
    if (!c.text.empty()) {
      EXPECT_EQ(m.FLastErrorMessage, c.text);
    }

    e.emulator.faults().clear();
    e.emulator.setPrintTime(std::chrono::milliseconds(0));
    m.SERIAL_CONNECTION->SET_REPEAT_COUNT(2);
    AnsiString sub, a, b, cc, d, ee, f;
    EXPECT_EQ(m.CMD_51_0_0("0", "0", sub, a, b, cc, d, ee, f), 0) << "the connection still works";
  }
}

// The pseudo-terminal goes away in the middle of an exchange: the command
// fails within its limits and nothing hangs.
TEST(FaultsOnEmulator, PrinterUnpluggedMidExchange) {
  test::ModelOnEmulator e;
  auto& m = *e.model;
  m.SERIAL_CONNECTION->FCommTimeouts.ReadTotalTimeoutConstant = 300;
  e.emulator.setPrintTime(std::chrono::milliseconds(500));
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    e.emulator.stop();
  });
  AnsiString rec, glob;
  EXPECT_LT(m.CMD_48_0_0("1", "0000", "1", rec, glob), 0);
  unplug.join();
}

// Over TCP the printer drops the connection after every answer: each command
// after a drop fails once without being sent, the connection is made again,
// and no sale is ever carried out twice.
TEST(FaultsOnEmulator, TcpConnectionDroppedBetweenExchanges) {
  emulator::Emulator emu;
  const auto port = emu.startTcp(0);
  TFP_ZORVIK m(1, 115200);
  auto& c = *m.SERIAL_CONNECTION;
  c.COMUNICATION_TYPE = ct_TCPIP;
  c.CREATE_TCP("127.0.0.1", port);
  c.FP_TCP->TCP_Client->ReadTimeout = 1000;
  c.WITH_OUTPCHECK = true;
  c.EXIT_BYTIMEVAR = 3000;
  ASSERT_EQ(c.Open(), 0);
  AnsiString rec, glob;
  ASSERT_EQ(m.CMD_48_0_0("1", "0000", "1", rec, glob), 0);
  emu.faults().setDropAfter(1);
  int sold = 0;
  for (int i = 0; i < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (m.CMD_49_0_0("A", "1.00") == 0) ++sold;
  }
  EXPECT_EQ(static_cast<int>(emu.executions(49)), sold) << "every sale counted once, none twice";
  EXPECT_GE(sold, 4) << "the connection keeps coming back";
}

}  // namespace
}  // namespace orbantis
