// The serial side of the connector on a pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/PtyPair.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "uCONNECTOR/ComPortPath.h"
#include "uCONNECTOR/SerialPort.h"
#include "uCONNECTOR/TConnector.h"
#include "uErrLog/uErrLog.h"
#include "foundation/Strings.h"

namespace orbantis {
namespace {

std::unique_ptr<TConnector> ConnectorOn(const std::string& path, int baud = 115200) {
  auto c = std::make_unique<TConnector>(1, baud, 0, 0, 8);
  c->DevicePath = path;
  c->FCommTimeouts.ReadTotalTimeoutConstant = 50;
  return c;
}

TEST(SerialConnector, CreateDefaults) {
  TConnector c(3, 9600, 0, 0, 8);
  EXPECT_EQ(c.FPort, 3);
  EXPECT_EQ(c.FBaudRate, 9600);
  EXPECT_EQ(c.FHandle, serial::kInvalidHandle);
  EXPECT_EQ(c.FCommTimeouts.ReadIntervalTimeout, 3000u);
  EXPECT_EQ(c.FCommTimeouts.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(c.FCommTimeouts.ReadTotalTimeoutConstant, 3200u);
  EXPECT_EQ(c.FCommTimeouts.WriteTotalTimeoutMultiplier, 3000u);
  EXPECT_EQ(c.FCommTimeouts.WriteTotalTimeoutConstant, 3000u);
  EXPECT_TRUE(c.RAISEMODE);
  EXPECT_EQ(c.REPEAT_COUNT(), 2);
  EXPECT_TRUE(c.FIRST_COMMAND());
  EXPECT_EQ(c.DEBUG_FOLDER, DefaultTraceFolder()) << "a per-user folder, never /tmp itself";
  EXPECT_FALSE(c.DEBUGMODE);
  EXPECT_FALSE(c.SERVICE_MODE);
  EXPECT_TRUE(c.checkForStatus);
  EXPECT_TRUE(c.WITH_SLEEP);
  EXPECT_FALSE(c.BB_MODE);
  EXPECT_FALSE(c.WITH_INPCHECK);
  EXPECT_FALSE(c.WITH_OUTPCHECK);
  EXPECT_TRUE(c.ALWAYS_GET_OUTPUT);
  EXPECT_TRUE(c.AUTOCUT_ON);
  EXPECT_EQ(c.EXIT_BYTIMEVAR, 120000u);
  EXPECT_EQ(c.TIMEOUT_ERROR, 0);
  EXPECT_EQ(c.byteSleepInterval, 10);
  EXPECT_EQ(c.codePage, 1251);
  EXPECT_EQ(c.COMUNICATION_TYPE, ct_RS232);
  EXPECT_FALSE(c.Active());
}

TEST(SerialConnector, OpenSetsTheLineAndCloseIsRepeatable) {
  test::PtyPair pty;
  auto c = ConnectorOn(pty.SlavePath());
  ASSERT_EQ(c->Open(), 0);
  EXPECT_TRUE(c->Active());
  EXPECT_EQ(c->Open(), 0) << "an open port stays as it is";
  termios t {};
  ASSERT_EQ(::tcgetattr(c->FHandle, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B115200);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  c->SET_DTR(true);  // a pseudo-terminal has no modem lines: ignored
  c->SET_RTS(false);
  c->Close();
  EXPECT_FALSE(c->Active());
  c->Close();
  EXPECT_FALSE(c->Active());
}

// A port whose driver has no low-latency setting (a pseudo-terminal, as a
// plain UART under some drivers) opens as before, with no advice.
TEST(SerialConnector, APortWithoutALowLatencySettingOpensWithoutAdvice) {
  test::PtyPair pty;
  auto c = ConnectorOn(pty.SlavePath());
  ASSERT_EQ(c->Open(), 0);
  EXPECT_EQ(serial::RequestLowLatency(c->FHandle), serial::LowLatency::notSupported);
  EXPECT_TRUE(c->PortAdvice.empty()) << c->PortAdvice;
}

// A USB-serial adapter's latency timer, read where the kernel shows it (a
// folder standing in for /sys), through the stable by-id link a till uses.
TEST(SerialConnector, AnAdapterThatHoldsAnswersIsNamedWithWhatToDo) {
  test::TempDir dir;
  namespace fs = std::filesystem;
  const std::string sys = dir.Path() + "sys";
  fs::create_directories(sys + "/bus/usb-serial/devices/ttyUSB7");
  fs::create_directories(dir.Path() + "dev/serial/by-id");
  std::ofstream(dir.Path() + "dev/ttyUSB7").put('\n');
  const std::string byId = dir.Path() + "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
  fs::create_symlink(dir.Path() + "dev/ttyUSB7", byId);
  struct Case {
    const char* timer;  // nullptr: no latency_timer file
    bool advised;
  };
  for (const Case& k : {Case {"16\n", true}, Case {"2", true}, Case {"1\n", false}, Case {"0", false},
                        Case {"garbage", false}, Case {nullptr, false}}) {
    const std::string file = sys + "/bus/usb-serial/devices/ttyUSB7/latency_timer";
    fs::remove(file);
    if (k.timer != nullptr) std::ofstream(file) << k.timer;
    const std::string advice = serial::LatencyAdvice(byId, sys);
    EXPECT_EQ(!advice.empty(), k.advised) << (k.timer ? k.timer : "no file") << ": " << advice;
    if (k.advised) {
      EXPECT_NE(advice.find("ttyUSB7 holds received bytes up to " + std::to_string(std::atoi(k.timer)) + " ms"),
                std::string::npos)
          << advice;
      EXPECT_NE(advice.find("echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB7/latency_timer"), std::string::npos)
          << advice;
    }
  }
}

TEST(SerialConnector, ServiceModeLeavesThePortSettingsAlone) {
  test::PtyPair pty;
  {
    auto c = ConnectorOn(pty.SlavePath());
    c->SERVICE_MODE = true;
    // What another program left on the port.
    int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    termios before {};
    ASSERT_EQ(::tcgetattr(other, &before), 0);
    ::cfsetospeed(&before, B2400);
    before.c_cflag |= CSTOPB;
    before.c_iflag |= IXON;
    // ... and a cooked line, as a terminal has it.
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_iflag |= ICRNL;
    before.c_oflag |= OPOST | ONLCR;
    ASSERT_EQ(::tcsetattr(other, TCSANOW, &before), 0);
    ::close(other);
    ASSERT_EQ(c->Open(), 0);
    termios after {};
    ASSERT_EQ(::tcgetattr(c->FHandle, &after), 0);
    EXPECT_EQ(::cfgetospeed(&after), B2400);
    EXPECT_NE(after.c_cflag & CSTOPB, 0u);
    EXPECT_NE(after.c_iflag & IXON, 0u);
    // Binary all the same, as a Windows port always is.
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(after.c_iflag & ICRNL, 0u);
    EXPECT_EQ(after.c_oflag & OPOST, 0u);

    // On the wire: an answer with a CR and no line end arrives at once and
    // unchanged, and nothing is echoed back to the printer.
    const std::uint8_t answer[] = {0x01, 0x0D, 0x0A, 0x03};
    ASSERT_EQ(::write(pty.Master(), answer, sizeof answer), 4);
    std::uint8_t got[4] = {};
    ASSERT_EQ(c->ReadBuffer(got, 4), 4);
    EXPECT_EQ(std::vector<std::uint8_t>(got, got + 4), std::vector<std::uint8_t>(answer, answer + 4));
    pollfd p {pty.Master(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 100), 0) << "the printer's bytes came back to it";
  }
}

// A port is one program's: a second opener is refused, root included (the
// terminal's exclusive mode does not stop root), and the log names who has it.
TEST(SerialConnector, APortHeldByAnotherOpenerIsRefusedAndTheHolderNamed) {
  test::PtyPair pty;
  test::TempDir dir;
  auto holder = ConnectorOn(pty.SlavePath());
  ASSERT_EQ(holder->Open(), 0);
  auto second = ConnectorOn(pty.SlavePath());
  second->SET_LOG_FOLDER(dir.Path());
  EXPECT_EQ(second->Open(), -100);
  EXPECT_FALSE(second->Active());
  const std::string log = test::ReadFile(dir.Path() + "orbantis_LOG.txt");
  EXPECT_NE(log.find("the port " + pty.SlavePath() + " is held by "), std::string::npos) << log;
  EXPECT_NE(log.find("(pid " + std::to_string(::getpid()) + ")"), std::string::npos) << log;

  holder->Close();
  EXPECT_EQ(second->Open(), 0) << "free again once the holder closed it";
}

struct OpenFailure {
  const char* name;
  std::string path;
  int baud;
  int expected;
};

TEST(SerialConnector, FailedOpenReportsTheStepAndLeavesThePortClosed) {
  test::PtyPair pty;
  test::TempDir dir;
  const std::string notATerminal = dir.Path() + "plain-file";
  ASSERT_EQ(std::system(("touch " + notATerminal).c_str()), 0);
  const OpenFailure cases[] = {
      {"no such device", "/dev/orbantis-no-such-port", 115200, -100},
      {"not a terminal", notATerminal, 115200, -100},
      {"unsupported rate", pty.SlavePath(), 250000, -4},
      {"no rate at all", pty.SlavePath(), 0, -4},
  };
  for (const auto& f : cases) {
    SCOPED_TRACE(f.name);
    auto c = ConnectorOn(f.path, f.baud);
    c->LOG_FOLDER = dir.Path();
    EXPECT_EQ(c->Open(), f.expected);
    EXPECT_FALSE(c->Active());
  }
  EXPECT_NE(test::ReadFile(dir.Path() + "orbantis_LOG.txt").find(":SET_DCB_PROPS : Unsupported baud rate 250000"),
            std::string::npos);
}

TEST(SerialConnector, EverySupportedRateOpens) {
  test::PtyPair pty;
  for (int baud : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400}) {
    auto c = ConnectorOn(pty.SlavePath(), baud);
    EXPECT_EQ(c->Open(), 0) << baud;
  }
}

TEST(SerialConnector, FailedReadLogsInDebugModeAndRaises) {
  test::PtyPair pty;
  test::TempDir dir;
  auto c = ConnectorOn(pty.SlavePath());
  ASSERT_EQ(c->Open(), 0);
  c->LOG_FOLDER = dir.Path();
  EXPECT_THROW(c->readByte(), Exception);
  EXPECT_FALSE(test::FileExists(dir.Path() + "orbantis_LOG.txt")) << "no line without DEBUGMODE";
  c->DEBUGMODE = true;
  try {
    c->readByte();
    FAIL() << "a silent line must raise";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error reading byte.");
  }
  EXPECT_NE(test::ReadFile(dir.Path() + "orbantis_LOG.txt").find(":TBaseCommPort.ReadByte: Error reading byte.\r\n"),
            std::string::npos);
  c->RAISEMODE = false;
  EXPECT_EQ(c->readByte(), 0) << "without RAISEMODE a failed read gives 0";
}

TEST(SerialConnector, BytesReadAreTracedInHex) {
  test::PtyPair pty;
  auto c = ConnectorOn(pty.SlavePath());
  ASSERT_EQ(c->Open(), 0);
  ASSERT_EQ(::write(pty.Master(), "\x0A\xFF", 2), 2);
  EXPECT_EQ(c->readByte(), 0x0A);
  std::uint8_t b = 0;
  std::uint32_t count = 0;
  EXPECT_TRUE(c->readByte(b, count));
  EXPECT_EQ(b, 0xFF);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(c->tmpHEX_ANSWER, "0A FF ");
  EXPECT_FALSE(c->readByte(b, count)) << "the two-argument read does not raise";
  std::string s;
  TConnector::PutByte_ToHEXStr(0x0A, s, " ");
  EXPECT_EQ(s, "0A ");
}

TEST(SerialConnector, InactivePortRefusesWrites) {
  test::TempDir dir;
  auto c = ConnectorOn("/dev/null");
  c->LOG_FOLDER = dir.Path();
  c->DEBUGMODE = true;
  const std::uint8_t frame[] = {1, 2, 3};
  try {
    c->WriteBuffer(frame, 3);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TConnector.WriteBuffer : not active");
  }
  EXPECT_FALSE(c->WriteByte(0x41)) << "a byte write never raises";
  EXPECT_FALSE(c->SET_TIMEOUTS(1, 2, 3, 4, 5));
  const std::string log = test::ReadFile(dir.Path() + "orbantis_LOG.txt");
  EXPECT_NE(log.find(":TConnector.writeByteRS232: not active\r\n"), std::string::npos);
  EXPECT_NE(log.find(":1, 2, 3, 4, 5\r\n"), std::string::npos);
}

TEST(SerialConnector, WritesReachTheLine) {
  test::PtyPair pty;
  auto c = ConnectorOn(pty.SlavePath());
  ASSERT_EQ(c->Open(), 0);
  const std::uint8_t frame[] = {1, 2, 3};
  EXPECT_EQ(c->WriteBuffer(frame, 3), 3);
  EXPECT_TRUE(c->WriteByte(0x41));
  std::string got;
  for (int i = 0; i < 100 && got.size() < 4; ++i) {
    char buf[8];
    ssize_t n = ::read(pty.Master(), buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, std::string("\x01\x02\x03" "A", 4));
}

TEST(SerialConnector, TransportsWithoutALine) {
  TConnector bt(1, 9600, 0, 0, 8);
  bt.COMUNICATION_TYPE = ct_BLUETOOTH;
  EXPECT_EQ(bt.Open(), -1);
  EXPECT_FALSE(bt.Active());
  bt.BT_ACTIVE = true;
  EXPECT_TRUE(bt.Active());
  EXPECT_EQ(bt.readByte(), 0);
  EXPECT_FALSE(bt.WriteByte(1));
  const std::uint8_t b = 1;
  EXPECT_EQ(bt.WriteBuffer(&b, 1), 0);

  TConnector unknown(1, 9600, 0, 0, 8);
  unknown.COMUNICATION_TYPE = ct_Unknown;
  EXPECT_EQ(unknown.Open(), -1);
  EXPECT_FALSE(unknown.Active());
  EXPECT_THROW(unknown.readByte(), Exception);
}

TEST(ComPortPath, UserLinkWinsOverTheStandardDevice) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", dir.Path());
  EXPECT_EQ(ComPortDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(ComPortDevicePath(4), "/dev/ttyS3");
  ASSERT_EQ(std::system(("mkdir -p " + dir.Path() + "ORBANTIS/ports && ln -s /dev/ttyUSB0 " + dir.Path() +
                         "ORBANTIS/ports/COM4")
                            .c_str()),
            0);
  EXPECT_EQ(ComPortDevicePath(4), dir.Path() + "ORBANTIS/ports/COM4");
}

}  // namespace
}  // namespace orbantis
