// Receipts over HTTP against receipts called in-process, at 115200 baud on
// eight software printers at once (no print time):
//   InProcess8x500  eight threads, each with an automation object connected
//                   to its printer, call printReceipt 500 times
//   Http8x500       eight clients, each on one kept-alive connection to
//                   orbantis-http's service, POST the same receipts to their
//                   printer
// Both print through the same receipt service and journal (flushed to disk at
// its durable points). Each reports the mean time per receipt; bench/run.sh
// prints the ratio (target at most 1.05) and the receipts lost or doubled,
// counted on the printers' own day totals.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "foundation/CodePage.h"
#include "http/HttpClient.h"
#include "http/HttpWorld.h"

namespace {

using namespace orbantis;
using namespace orbantis::test;

const int kPrinters = std::getenv("ORBANTIS_BENCH_PRINTERS") ? std::atoi(std::getenv("ORBANTIS_BENCH_PRINTERS")) : 8;

int ReceiptsEach() {
  const char* n = std::getenv("ORBANTIS_BENCH_RECEIPTS");
  return n ? std::max(1, std::atoi(n)) : 500;
}

struct Shop {
  std::vector<std::unique_ptr<emulator::Emulator>> printers;
  Shop() {
    for (int i = 0; i < kPrinters; ++i) {
      emulator::EmulatorOptions o;
      o.serial = "OB0000010" + std::to_string(i);
      o.baud = 115200;
      printers.push_back(std::make_unique<emulator::Emulator>(o));
    }
  }
  // Receipts printed against receipts asked for.
  void Count(benchmark::State& state, int each) {
    int lost = 0, doubled = 0;
    for (auto& p : printers) {
      const int n = FiscalReceipts(*p);
      lost += std::max(0, each - n);
      doubled += std::max(0, n - each);
    }
    state.counters["lost"] = lost;
    state.counters["doubled"] = doubled;
  }
};

void Report(benchmark::State& state, std::chrono::steady_clock::duration busy, int receipts, int failed) {
  state.counters["per_receipt_ms"] = std::chrono::duration<double, std::milli>(busy).count() / receipts;
  state.counters["failed"] = failed;
  state.counters["receipts"] = receipts;
}

void InProcess8x500(benchmark::State& state) {
  const int each = ReceiptsEach();
  for (auto _ : state) {
    Shop shop;
    HttpWorld world;  // the journal, as the service has it
    std::atomic<long long> busy{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> tills;
    for (int i = 0; i < kPrinters; ++i) {
      tills.emplace_back([&, i] {
        TKELMORA object;
        object.initFiscalPrinterDevice(Utf8ToWide(shop.printers[i]->startPty()), 115200, false, false);
        if (object.CONNECT_TO_PRINTER() != 0) {
          failed += each;
          return;
        }
        for (int n = 0; n < each; ++n) {
          WideString answer;
          const auto t0 = std::chrono::steady_clock::now();
          const auto code = object.printReceipt(Utf8ToWide(TwoLineReceipt("in-" + std::to_string(i) + "-" + std::to_string(n))), answer);
          busy += (std::chrono::steady_clock::now() - t0).count();
          if (code != 0) ++failed;
        }
      });
    }
    for (auto& t : tills) t.join();
    Report(state, std::chrono::steady_clock::duration(busy.load()), kPrinters * each, failed);
    shop.Count(state, each);
  }
}
BENCHMARK(InProcess8x500)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void Http8x500(benchmark::State& state) {
  const int each = ReceiptsEach();
  for (auto _ : state) {
    Shop shop;
    HttpWorld world;
    std::vector<http::PrinterConfig> configs;
    for (int i = 0; i < kPrinters; ++i) configs.push_back(world.On(*shop.printers[i], "p" + std::to_string(i)));
    world.Start(configs);
    std::atomic<long long> busy{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> tills;
    for (int i = 0; i < kPrinters; ++i) {
      tills.emplace_back([&, i] {
        HttpClient client(world.Port());
        const std::string target = "/printers/p" + std::to_string(i) + "/receipt";
        // The printer connected first, as the in-process tills connect before they print.
        client.Call("GET", "/printers/p" + std::to_string(i) + "/status");
        for (int n = 0; n < each; ++n) {
          const auto t0 = std::chrono::steady_clock::now();
          const Reply r = client.Call("POST", target, TwoLineReceipt("web-" + std::to_string(i) + "-" + std::to_string(n)));
          busy += (std::chrono::steady_clock::now() - t0).count();
          if (r.status != 200) ++failed;
        }
      });
    }
    for (auto& t : tills) t.join();
    Report(state, std::chrono::steady_clock::duration(busy.load()), kPrinters * each, failed);
    shop.Count(state, each);
  }
}
BENCHMARK(Http8x500)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
