// What protects the shop from pages it did not ask for, from one printer
// slowing the others, and from texts and keys of every shape.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <poll.h>

#include <atomic>

#include "tests/http/HttpWorld.h"

namespace orbantis::test {
namespace {

using nlohmann::json;

TEST(HttpSafety, PagesFromElsewhereAndOtherHostNamesReachNothing) {
  emulator::Emulator emu;
  HttpWorld w;
  w.Start({w.On(emu)});
  const std::string own = "127.0.0.1:" + std::to_string(w.Port());
  struct Case {
    const char* what;
    std::map<std::string, std::string> headers;
    int status;
  } cases[] = {
      // Any site the cashier opens can make the browser post here without asking first.
      {"a page of another site", {{"Origin", "https://shop-ads.example"}}, 403},
      {"a sandboxed page", {{"Origin", "null"}}, 403},
      // A site whose name was pointed at 127.0.0.1 sends its own name.
      {"another host name", {{"Host", "rebound.example:" + std::to_string(w.Port())}}, 403},
      {"the service's own page", {{"Origin", "http://" + own}, {"Host", own}}, 200},
      {"a program (no Origin)", {}, 200},
      {"localhost", {{"Host", "localhost:" + std::to_string(w.Port())}}, 200},
  };
  int reports = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Reply r = w.Post("/printers/p1/xreport", {}, c.headers);
    EXPECT_EQ(r.status, c.status) << r.body;
    if (r.status == 200) ++reports;
    if (c.status == 403) {
      EXPECT_FALSE(r.Json()["text"].get<std::string>().empty());
    }
  }
  EXPECT_EQ(emu.executions(69), static_cast<std::uint64_t>(reports)) << "a refused request reached the printer";
  // A JSON body must say it is JSON: a page can post any body without a
  // Content-Type to any site, but cannot set that type without asking.
  const Reply plain = Call(w.Port(), "POST", "/printers/p1/cash", R"({"direction":"in","amount":"1.00"})",
                           {{"Content-Type", "text/plain"}});
  EXPECT_EQ(plain.status, 415);
  EXPECT_EQ(emu.executions(70), 0u);
}

TEST(HttpSafety, ASilentPrinterHoldsNoThreadTheOthersNeed) {
  emulator::Emulator silent, quick;
  silent.faults().setSilent(true);
  HttpWorld w;
  w.Start({w.On(silent, "silent"), w.On(quick, "quick")});
  constexpr int kWaiting = 40;  // more than the service has threads
  std::atomic<int> done{0};
  std::vector<std::thread> callers;
  for (int i = 0; i < kWaiting; ++i)
    callers.emplace_back([&] {
      w.Get("/printers/silent/status?timeout=60");
      ++done;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // all of them sent and waiting
  const Reply r = w.Get("/printers/quick/status");
  const int finished = done.load();
  EXPECT_EQ(r.status, 200);
  // The silent printer's first call is still waiting for its connect: had
  // the callers held the service's threads, this answer would have come
  // only once one of them ended.
  EXPECT_EQ(finished, 0) << "the other printer was answered only after one of the silent one's calls";
  EXPECT_EQ(w.Get("/printers").status, 200);
  w.Stop();  // the queued calls are answered 503, the running one ends
  for (auto& c : callers) c.join();
}

TEST(HttpSafety, KeysAndTextsOfAnyShape) {
  emulator::Emulator emu;
  HttpWorld w;
  w.Start({w.On(emu)});
  // A key may hold "/": it travels as %2F in one path segment.
  ASSERT_EQ(w.Post("/printers/p1/receipt", TwoLineReceipt("till7/000123")).status, 200);
  const Reply byKey = w.Get("/printers/p1/receipts/till7%2F000123");
  EXPECT_EQ(byKey.status, 200) << byKey.body;
  EXPECT_EQ(byKey.Json()["key"], "till7/000123");

  // Bytes that are not UTF-8 give a clear refusal, never a failure of the service.
  const Reply latin = w.Post("/printers/p1/receipt", TwoLineReceipt("x"), {{"Idempotency-Key", "caf\xe9"}});
  EXPECT_EQ(latin.status, 400);
  EXPECT_EQ(latin.Json()["field"], "Idempotency-Key");
  const Reply path = w.Get("/printers/%FF%FE");
  EXPECT_EQ(path.status, 404);
  EXPECT_TRUE(path.Json().is_object()) << path.body;
  const Reply body = w.Post("/printers/p1/receipt", "{\"key\":\"\xff\"}");
  EXPECT_EQ(body.status, 400);
  EXPECT_TRUE(body.Json().is_object()) << body.body;
  EXPECT_EQ(FiscalReceipts(emu), 1);
}

TEST(HttpSafety, AKeptAliveConnectionOutlivesTheWriteTimeLimit) {
  emulator::Emulator emu;
  HttpWorld w;
  http::ServerLimits limits;
  limits.writeTime = std::chrono::milliseconds(300);
  w.Start({w.On(emu)}, {}, limits);
  HttpClient client(w.Port());
  EXPECT_EQ(client.Call("GET", "/printers").status, 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(client.Call("GET", "/printers").status, 200);
  EXPECT_EQ(client.Connections(), 1) << "the server cut the kept-alive connection";
}

TEST(HttpSafety, AJournalReadBeforeThePrinterAnsweredShowsOnlyItsReceipts) {
  emulator::EmulatorOptions other;
  other.serial = "OB00000002";
  emulator::Emulator one, two(other);
  HttpWorld w;
  auto p1 = w.On(one, "p1"), p2 = w.On(two, "p2");
  w.Start({p1, p2});
  ASSERT_EQ(w.Post("/printers/p2/receipt", TwoLineReceipt("on-two")).status, 200);
  // A fresh start: the service knows no serial number yet.
  w.Stop();
  w.Start({p1, p2});
  EXPECT_EQ(w.Get("/printers/p1/receipts/on-two").status, 404);
  EXPECT_TRUE(w.Get("/printers/p1/receipts").Json()["receipts"].empty());
  EXPECT_EQ(w.Get("/printers/p2/receipts/on-two").status, 200);
}

TEST(HttpSafety, HeadReadsWhatTheServiceHoldsWithoutABody) {
  emulator::Emulator emu;
  HttpWorld w;
  w.Start({w.On(emu)});
  const int fd = ConnectLoopback(w.Port());
  ASSERT_GE(fd, 0);
  // HEAD of a list the service holds, HEAD of a printer's route (which would
  // make the printer work), then a GET on the same connection.
  const std::string head =
      "HEAD /printers HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
      "HEAD /printers/p1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
      "GET /printers HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
  const std::string got = ReadAll(fd, 1000);
  ::close(fd);
  // Each HEAD answer ends with its headers: the next answer follows at once.
  ASSERT_EQ(got.rfind("HTTP/1.1 200", 0), 0u) << got;
  const auto second = got.find("\r\n\r\nHTTP/1.1 405");
  ASSERT_NE(second, std::string::npos) << got;
  EXPECT_NE(got.find("\r\n\r\nHTTP/1.1 200", second), std::string::npos) << got;
  EXPECT_EQ(emu.counters().requests, 0u) << "a HEAD made the printer work";
}

TEST(HttpSafety, StoppingAnswersTheCallsUnderWayAndRefusesTheQueued) {
  emulator::Emulator emu;
  emu.setPrintTime(std::chrono::milliseconds(600));
  HttpWorld w;
  w.Start({w.On(emu)});
  ASSERT_EQ(w.Get("/printers/p1/status").status, 200);  // connected
  Reply running, queued;
  std::thread a([&] { running = w.Post("/printers/p1/cash", R"({"direction":"in","amount":"5.00"})"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  std::thread b([&] { queued = w.Post("/printers/p1/cash", R"({"direction":"in","amount":"7.00"})"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  w.Stop();
  a.join();
  b.join();
  // The cash that went in is answered as done: a till that saw only a
  // closed connection would book it again.
  EXPECT_EQ(running.status, 200) << running.body;
  EXPECT_EQ(queued.status, 503) << queued.body;
  EXPECT_NE(queued.body.find("stopping"), std::string::npos);
  EXPECT_EQ(emu.executions(70), 1u);
}

}  // namespace
}  // namespace orbantis::test
