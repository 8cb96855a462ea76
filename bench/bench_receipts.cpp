// A whole receipt at 115200 baud against the software printer (no print
// time), the two ways a till can print it:
//   ReceiptOneByOne115200  the receipt's commands called one by one, as a
//                          till does with the low-level methods: open, ten
//                          sales, a comment, subtotal, group sums, two
//                          payments, close, the printer's clock
//   ReceiptService115200   the same receipt through the receipt service: the
//                          document checked, the journal written (accepted and
//                          outcome flushed to disk), the same commands
// bench/run.sh prints the ratio; the target is at most 1.10.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "Emulator.h"
#include "journal/Journal.h"
#include "printer_model/TFP_ZORVIK.h"
#include "receipts/ReceiptDocument.h"
#include "receipts/ReceiptFixture.h"
#include "receipts/ReceiptService.h"

namespace {

using orbantis::AnsiStrings;

struct Setup {
  orbantis::emulator::Emulator emu;
  std::unique_ptr<orbantis::TFP_ZORVIK> model;
  Setup() {
    emu.setBaud(115200);
    model = std::make_unique<orbantis::TFP_ZORVIK>(1, 115200);
    auto& c = *model->SERIAL_CONNECTION;
    c.DevicePath = emu.startPty();
    c.Open();
    c.WITH_OUTPCHECK = true;
    c.EXIT_BYTIMEVAR = 3000;
    AnsiStrings out;
    model->Run("CMD_107_1_0", {"A", "7", "1", "5.00", "", "100000", "Chocolate"}, out);
  }
};

void ReceiptOneByOne115200(benchmark::State& state) {
  Setup s;
  const auto plan = orbantis::receipts::ParseReceipt(orbantis::test::TenItemReceipt("plan")).document.commands;
  for (auto _ : state) {
    for (const auto& c : plan) {
      AnsiStrings out;
      if (s.model->Run(c.row, c.values, out) != 0) state.SkipWithError("a command failed");
    }
    AnsiStrings clock;
    s.model->Run("CMD_62_0_0", {}, clock);
  }
}
BENCHMARK(ReceiptOneByOne115200)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void ReceiptService115200(benchmark::State& state) {
  Setup s;
  char folder[] = "/tmp/orbantis-bench-journal-XXXXXX";
  if (::mkdtemp(folder) == nullptr) state.SkipWithError("mkdtemp");
  // On /tmp's file system, like a journal under the user's home on the
  // same disk; the durable points flush it.
  orbantis::journal::Journal journal(std::string(folder) + "/journal.sqlite");
  orbantis::receipts::ReceiptService service(journal);
  int n = 0;
  for (auto _ : state) {
    const auto outcome = service.Print(*s.model, "OB00000001", orbantis::test::TenItemReceipt("bench-" + std::to_string(++n)));
    if (outcome.code != 0) state.SkipWithError("the receipt failed");
  }
  std::system((std::string("rm -rf '") + folder + "'").c_str());
}
BENCHMARK(ReceiptService115200)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
