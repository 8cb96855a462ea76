// Finding the shop's printers, and receipts printed exactly once over HTTP
// whatever the client or the service does meanwhile.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <fstream>

#include "tests/http/HttpWorld.h"

namespace orbantis::test {
namespace {

using nlohmann::json;

emulator::EmulatorOptions PrinterAt(unsigned baud, const std::string& serial) {
  emulator::EmulatorOptions o;
  o.lineBaud = baud;
  o.serial = serial;
  return o;
}

TEST(HttpDetection, FindsEachPrinterAtItsRateSkipsAHeldPortAndOnlyReads) {
  emulator::Emulator a(PrinterAt(115200, "OB00000011")), b(PrinterAt(38400, "OB00000012")),
      c(PrinterAt(9600, "OB00000013")), held(PrinterAt(115200, "OB00000014"));
  HttpWorld w;
  const std::string dir = w.Dir() + "dev/";
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  const std::pair<emulator::Emulator*, const char*> ports[] = {{&a, "ttyUSB0"}, {&b, "ttyACM0"}, {&held, "ttyUSB9"}};
  std::string heldPath;
  for (const auto& [emu, name] : ports) {
    ASSERT_EQ(::symlink(emu->startPty().c_str(), (dir + name).c_str()), 0);
    if (emu == &held) heldPath = dir + name;
  }
  // The third printer only behind a COM link, as a user names a port.
  const std::string links = w.Dir() + "config/ORBANTIS/ports/";
  ASSERT_EQ(std::system(("mkdir -p '" + links + "'").c_str()), 0);
  ASSERT_EQ(::symlink(c.startPty().c_str(), (links + "COM7").c_str()), 0);
  const int fd = ::open(heldPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

  http::ServiceOptions options;
  options.detection.patterns = {dir + "ttyUSB*", dir + "ttyACM*"};
  options.detection.limit = std::chrono::seconds(60);
  w.Start({}, options);
  auto r = w.Post("/printers/detect");
  ASSERT_EQ(r.status, 200) << r.body;
  const json found = r.Json()["found"];
  std::map<std::string, std::int32_t> bauds;
  for (const auto& f : found) bauds[f["id"]] = f["baud"];
  EXPECT_EQ(bauds, (std::map<std::string, std::int32_t>{{"OB00000011", 115200}, {"OB00000012", 38400},
                                                         {"OB00000013", 9600}}))
      << r.body;
  bool skippedHeld = false;
  const json skipped = r.Json()["skipped"];
  for (const auto& s : skipped)
    skippedHeld = skippedHeld || (s["device"] == heldPath && s["reason"].get<std::string>().find("held by") != std::string::npos);
  EXPECT_TRUE(skippedHeld) << r.body;
  EXPECT_EQ(held.counters().requests, 0u);

  // Probing sends the status and diagnostic reads only.
  for (auto* emu : {&a, &b, &c}) {
    for (int cmd = 0; cmd < 256; ++cmd) {
      if (cmd != 74 && cmd != 90) {
        EXPECT_EQ(emu->executions(static_cast<std::uint8_t>(cmd)), 0u) << cmd;
      }
    }
  }

  // The printers found are the service's now, reached at their own rates.
  const json list = w.Get("/printers").Json()["printers"];
  EXPECT_EQ(list.size(), 3u);
  for (const auto& p : list) EXPECT_EQ(p["source"], "detected");
  auto status = w.Get("/printers/OB00000013/status");
  EXPECT_EQ(status.status, 200) << status.body;
  // Found again, nothing is added twice.
  EXPECT_EQ(w.Post("/printers/detect").status, 200);
  EXPECT_EQ(w.Get("/printers").Json()["printers"].size(), 3u);
  ::close(fd);
}

TEST(HttpExactlyOnce, AClientThatTimesOutAndRetriesWithTheSameKeyGetsOneReceipt) {
  emulator::Emulator emu;
  emu.setPrintTime(std::chrono::milliseconds(300));
  HttpWorld w;
  w.Start({w.On(emu)});
  auto first = w.Post("/printers/p1/receipt?timeout=1", TwoLineReceipt("retry-1"));
  ASSERT_EQ(first.status, 202) << "the client's wait ran out first: " << first.body;
  auto retry = w.Post("/printers/p1/receipt", TwoLineReceipt("retry-1"));
  ASSERT_EQ(retry.status, 200) << retry.body;
  EXPECT_EQ(retry.Json()["repeated"], true);
  EXPECT_EQ(FiscalReceipts(emu), 1);
  // The first call's task ended printed too.
  auto task = w.Get(first.Json()["href"].get<std::string>()).Json();
  EXPECT_EQ(task["status"], 200) << task.dump();
}

TEST(HttpExactlyOnce, AConnectionCutWhileTheReceiptRunsLeavesOneReceipt) {
  emulator::Emulator emu;
  emu.setPrintTime(std::chrono::milliseconds(200));
  HttpWorld w;
  w.Start({w.On(emu)});
  {
    // The request goes out whole; the client hangs up while it prints.
    const std::string body = TwoLineReceipt("cut-1");
    const std::string request = "POST /printers/p1/receipt HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    const int fd = ConnectLoopback(w.Port());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::close(fd);
  }
  EXPECT_LE(FiscalReceipts(emu), 1);
  auto again = w.Post("/printers/p1/receipt", TwoLineReceipt("cut-1"));
  ASSERT_EQ(again.status, 200) << again.body;
  EXPECT_EQ(FiscalReceipts(emu), 1);
  EXPECT_FALSE(ReceiptOpen(emu));
}

// orbantis-http as its own process, so that it can be killed.
class ServiceProcess {
 public:
  ServiceProcess(const std::string& config, const std::string& state, std::uint16_t port)
      : FConfig(config), FState(state), FPort(port) {}
  ~ServiceProcess() { Kill(); }
  void Start() {
    FPid = ::fork();
    if (FPid == 0) {
      ::setenv("XDG_STATE_HOME", FState.c_str(), 1);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 2);
      const std::string listen = "127.0.0.1:" + std::to_string(FPort);
      ::execl(ORBANTIS_HTTP_EXE, ORBANTIS_HTTP_EXE, "--listen", listen.c_str(), "--config", FConfig.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 200; ++i) {
      if (Call(FPort, "GET", "/printers").status == 200) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    FAIL() << "orbantis-http did not start";
  }
  void Kill() {
    if (FPid > 0) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
      FPid = -1;
    }
  }
  pid_t Pid() const { return FPid; }

 private:
  std::string FConfig, FState;
  std::uint16_t FPort;
  pid_t FPid = -1;
};

TEST(HttpExactlyOnce, TheServiceKilledMidReceiptAndRestartedPrintsItOnce) {
  // Killed at each stage of the receipt: after the open, a sale, the
  // subtotal, the first payment, and as the close goes out.
  for (const std::uint8_t killAt : {std::uint8_t{48}, std::uint8_t{49}, std::uint8_t{51}, std::uint8_t{53},
                                    std::uint8_t{56}}) {
    SCOPED_TRACE("killed at command " + std::to_string(killAt));
    emulator::Emulator emu;
    TempDir dir;
    const std::string device = emu.startPty();
    const std::string config = dir.Path() + "printers.json";
    std::ofstream(config) << json({{"printers", {{{"id", "p1"}, {"device", device}}}}}).dump();
    const std::uint16_t port = FreePort();
    ServiceProcess service(config, dir.Path() + "state", port);
    service.Start();
    std::atomic<pid_t> victim{service.Pid()};
    std::atomic<bool> killed{false};
    emu.setRequestHook([&](std::uint8_t cmd) {
      if (cmd == killAt && !killed.exchange(true)) ::kill(victim, SIGKILL);
    });
    const std::string key = "killed-" + std::to_string(killAt);
    const Reply lost = Call(port, "POST", "/printers/p1/receipt", TwoLineReceipt(key));
    EXPECT_EQ(lost.status, 0) << "the service died before answering: " << lost.body;
    ASSERT_TRUE(killed);
    service.Kill();
    emu.setRequestHook({});

    service.Start();
    const Reply r = Call(port, "POST", "/printers/p1/receipt", TwoLineReceipt(key));
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(r.Json()["state"], "printed");
    EXPECT_EQ(FiscalReceipts(emu), 1) << r.body;
    EXPECT_FALSE(ReceiptOpen(emu));
    EXPECT_EQ(emu.inspect([](const emulator::Printer& p) { return p.day().turnover[1]; }), 120) << "B: 1.20 once";
  }
}

}  // namespace
}  // namespace orbantis::test
