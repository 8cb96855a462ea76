// The HTTP service in the test's own process, against software printers:
// a journal and config folder of its own, the service on a free loopback
// port, and helpers to reach it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>
#include <vector>

#include "Emulator.h"
#include "http/HttpServer.h"
#include "http/Service.h"
#include "journal/Journal.h"
#include "receipts/ReceiptService.h"
#include "support/FreePort.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "tests/http/HttpClient.h"
#include "uORBANTIS/TKELMORA.h"

namespace orbantis::test {

// A receipt of two sales and two payments under key: total 6.20 (A 5.00, B 1.20).
inline std::string TwoLineReceipt(const std::string& key) {
  return nlohmann::json({{"key", key},
                         {"operator", {{"code", 1}, {"password", "0000"}, {"till", 1}}},
                         {"items",
                          {{{"text", "Bread"}, {"taxGroup", "A"}, {"price", "2.50"}, {"quantity", "2"}, {"unit", "pc"}},
                           {{"text", "Milk"}, {"taxGroup", "B"}, {"price", "1.20"}, {"quantity", "1"}, {"unit", "pc"}}}},
                         {"payments", {{{"mode", "P"}, {"amount", "5.00"}}, {{"mode", "P"}, {"amount", "2.00"}}}}})
      .dump();
}

inline int FiscalReceipts(const emulator::Emulator& emu) {
  return emu.inspect([](const emulator::Printer& p) { return p.day().fiscalReceipts; });
}

inline bool ReceiptOpen(const emulator::Emulator& emu) {
  return emu.inspect([](const emulator::Printer& p) { return p.receipt().kind == emulator::OpenReceipt::Kind::fiscal; });
}

// A plain socket connected to the service, for requests the client above
// would not send (trickled, cut, broken); -1 when the connect fails.
inline int ConnectLoopback(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Everything the server sends until it closes, or waitMs without a byte.
inline std::string ReadAll(int fd, int waitMs) {
  std::string out;
  char buf[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) break;
    const auto n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

class HttpWorld {
 public:
  HttpWorld()
      : FState("XDG_STATE_HOME", FDir.Path() + "state"),
        FConfig("XDG_CONFIG_HOME", FDir.Path() + "config"),
        FJournal(std::make_unique<journal::Journal>(FDir.Path() + "state/journal.sqlite")) {
    TKELMORA::SetReceipts(std::make_shared<receipts::ReceiptService>(*FJournal));
  }
  ~HttpWorld() { Stop(); TKELMORA::SetReceipts(nullptr); }

  // A printer p<n> on emu over a pty (or TCP).
  http::PrinterConfig On(emulator::Emulator& emu, const std::string& id = "p1", bool tcp = false) {
    http::PrinterConfig c;
    c.id = id;
    if (tcp) {
      c.host = "127.0.0.1";
      c.port = emu.startTcp();
    } else {
      c.device = emu.startPty();
    }
    return c;
  }

  void Start(std::vector<http::PrinterConfig> printers, http::ServiceOptions options = {},
             http::ServerLimits limits = {}) {
    options.printers = std::move(printers);
    options.page = "<!doctype html><title>ORBANTIS</title>";
    options.openapi = "{}";
    FService = std::make_unique<http::Service>(options);
    FServer = std::make_unique<http::HttpServer>(
        limits, [this](const http::Request& r) { return FService->Handle(r); }, &http::Service::ErrorResponse);
    FServer->Listen("127.0.0.1", 0);
    FPort = FServer->Port();
    FThread = std::thread([this] { FServer->Run(); });
  }

  // As the program stops (StopGracefully), then the objects go.
  void Stop() {
    if (FServer && FService) http::StopGracefully(*FServer, *FService);
    if (FThread.joinable()) FThread.join();
    FServer.reset();
    FService.reset();
  }

  std::uint16_t Port() const { return FPort; }
  const std::string& Dir() const { return FDir.Path(); }
  Reply Get(const std::string& target, const std::map<std::string, std::string>& headers = {}) {
    return Call(FPort, "GET", target, {}, headers);
  }
  Reply Post(const std::string& target, const std::string& body = {},
             const std::map<std::string, std::string>& headers = {}) {
    return Call(FPort, "POST", target, body, headers);
  }
  Reply Put(const std::string& target, const std::string& body,
            const std::map<std::string, std::string>& headers = {}) {
    return Call(FPort, "PUT", target, body, headers);
  }

 private:
  TempDir FDir;
  ScopedEnv FState, FConfig;
  std::unique_ptr<journal::Journal> FJournal;
  std::unique_ptr<http::Service> FService;
  std::unique_ptr<http::HttpServer> FServer;
  std::thread FThread;
  std::uint16_t FPort = 0;
};

}  // namespace orbantis::test
