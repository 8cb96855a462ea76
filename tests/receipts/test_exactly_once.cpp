// A whole receipt is printed exactly once, whatever fails. For a 10-item
// receipt with discounts and two payments, at every frame it sends: the
// request lost, the answer lost after the printer carried the command out,
// the link dropped, and the driver process killed. After the fault the same
// document is sent again with the same key, and the software printer then
// holds exactly one closed receipt with the right totals, or none, with the
// receipt cancelled and the answer saying so. Never two, never one left
// open, and never a success for a receipt that was not fiscalised.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "ReceiptFixture.h"
#include "receipts/ReceiptDocument.h"

extern char** environ;

namespace orbantis {
namespace {

using emulator::FrameFault;
using nlohmann::json;
using receipts::RECEIPT_CANCELLED;
using receipts::RECEIPT_PRINTED;

constexpr std::int64_t kTotalA = 2332;  // hundredths
constexpr std::int64_t kTotalB = 600;

struct Ending {
  int receipts = 0;
  bool open = false;
  std::int64_t a = 0, b = 0;
  int voids = 0;
};

Ending Look(emulator::Emulator& emu) {
  return emu.inspect([](const emulator::Printer& p) {
    return Ending {p.day().fiscalReceipts, p.receipt().kind == emulator::OpenReceipt::Kind::fiscal,
                   p.day().turnover[0], p.day().turnover[1], p.op(1).voids};
  });
}

// What every run must end in, given the answer of the last call.
void ExpectOneReceiptOrACancelledOne(const Ending& end, const receipts::Outcome& last) {
  EXPECT_FALSE(end.open) << "a receipt was left open";
  EXPECT_LE(end.receipts, 1) << "printed twice";
  if (end.receipts == 1) {
    EXPECT_EQ(last.code, RECEIPT_PRINTED) << last.json;
    EXPECT_EQ(end.a, kTotalA);
    EXPECT_EQ(end.b, kTotalB);
  } else {
    EXPECT_EQ(last.code, RECEIPT_CANCELLED) << last.json;
    EXPECT_EQ(json::parse(last.json)["state"], "cancelled");
    EXPECT_EQ(end.voids, 1);
  }
}

TEST(ExactlyOnce, AReceiptPrintsOnceAndItsKeyAgainReturnsTheStoredAnswer) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ProgramItem7(*model);
  test::ReceiptWorld world;
  const auto first = world.service->Print(*model, test::kSerial, test::TenItemReceipt("till7-1"));
  ASSERT_EQ(first.code, RECEIPT_PRINTED) << first.json;
  const json answer = json::parse(first.json);
  EXPECT_EQ(answer["state"], "printed");
  EXPECT_EQ(answer["receiptNumber"], "1");
  EXPECT_EQ(answer["globalNumber"], "1");
  EXPECT_EQ(answer["totals"]["A"], "23.32");
  EXPECT_EQ(answer["totals"]["B"], "6.00");
  EXPECT_EQ(answer["totals"]["subtotal"], "29.32");
  EXPECT_EQ(answer["totals"]["tax"]["A"], "3.56");  // 18 % included in 23.32
  EXPECT_EQ(answer["paid"], "40.00");
  EXPECT_EQ(answer["change"], "10.68");
  EXPECT_EQ(answer["printer"], test::kSerial);
  EXPECT_FALSE(answer.value("printerDateTime", "").empty());
  ExpectOneReceiptOrACancelledOne(Look(emu), first);

  const auto requests = emu.counters().requests;
  const auto again = world.service->Print(*model, test::kSerial, test::TenItemReceipt("till7-1"));
  EXPECT_EQ(again.code, RECEIPT_PRINTED);
  EXPECT_EQ(json::parse(again.json)["repeated"], true);
  EXPECT_EQ(json::parse(again.json)["globalNumber"], "1");
  EXPECT_EQ(emu.counters().requests, requests) << "nothing was sent";
  EXPECT_EQ(Look(emu).receipts, 1);

  // Read back by key and by day.
  EXPECT_EQ(world.service->Get("till7-1").code, RECEIPT_PRINTED);
  EXPECT_EQ(world.service->Get("no such key").code, receipts::RECEIPT_NOT_FOUND);
  const json day = json::parse(world.service->Day(world.journal->Find("till7-1")->day));
  ASSERT_EQ(day["receipts"].size(), 1u);
  EXPECT_EQ(day["receipts"][0]["key"], "till7-1");
  EXPECT_EQ(day["receipts"][0]["state"], "printed");
}

TEST(ExactlyOnce, AKeyNamesOneDocument) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ProgramItem7(*model);
  test::ReceiptWorld world;
  ASSERT_EQ(world.service->Print(*model, test::kSerial, test::TenItemReceipt("k")).code, RECEIPT_PRINTED);
  const auto requests = emu.counters().requests;
  std::string other = test::TenItemReceipt("k");
  other.replace(other.find("2.40"), 4, "2.50");
  const auto refused = world.service->Print(*model, test::kSerial, other);
  EXPECT_EQ(refused.code, receipts::RECEIPT_KEY_REUSED);
  EXPECT_NE(json::parse(refused.json)["message"].get<std::string>().find("another document"), std::string::npos);
  EXPECT_EQ(emu.counters().requests, requests);
}

TEST(ExactlyOnce, TwoCallsWithOneKeyAtOnceGiveOneReceipt) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ProgramItem7(*model);
  test::ReceiptWorld world;
  receipts::Outcome a, b;
  std::thread first([&] { a = world.service->Print(*model, test::kSerial, test::TenItemReceipt("k")); });
  std::thread second([&] { b = world.service->Print(*model, test::kSerial, test::TenItemReceipt("k")); });
  first.join();
  second.join();
  EXPECT_EQ(a.code, RECEIPT_PRINTED);
  EXPECT_EQ(b.code, RECEIPT_PRINTED);
  EXPECT_EQ(Look(emu).receipts, 1);
}

// The printer refuses a line (an item it does not have): the receipt it
// holds open is cancelled and the answer names the line; once the item is
// programmed, the same key prints.
TEST(ExactlyOnce, ARefusedLineCancelsTheReceiptAndTheSameKeyMayPrintLater) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  const auto refused = world.service->Print(*model, test::kSerial, test::TenItemReceipt("k"));
  ASSERT_EQ(refused.code, RECEIPT_CANCELLED) << refused.json;
  const std::string message = json::parse(refused.json)["message"];
  EXPECT_EQ(message.rfind("items[9] (CMD_58_0_3) failed with -4:", 0), 0u) << message;
  EXPECT_NE(message.find("the same document may be sent again under the same key"), std::string::npos);
  EXPECT_EQ(Look(emu).receipts, 0);
  EXPECT_FALSE(Look(emu).open);

  test::ProgramItem7(*model);
  const auto printed = world.service->Print(*model, test::kSerial, test::TenItemReceipt("k"));
  EXPECT_EQ(printed.code, RECEIPT_PRINTED) << printed.json;
  EXPECT_EQ(json::parse(printed.json)["attempt"], 2);
  EXPECT_EQ(Look(emu).receipts, 1);
}

// A receipt the printer already holds open (left by the command methods) is
// not this document's: the refused open fails the document, and the open
// receipt is neither cancelled nor paid with this document's payments.
TEST(ExactlyOnce, ARefusedOpenLeavesAnotherOpenReceiptAlone) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ProgramItem7(*model);
  AnsiStrings out;
  ASSERT_EQ(model->Run("CMD_48_0_0", {"1", "0000", "1"}, out), 0);
  ASSERT_EQ(model->Run("CMD_49_0_0", {"B", "9.99"}, out), 0);
  test::ReceiptWorld world;
  const auto refused = world.service->Print(*model, test::kSerial, test::TenItemReceipt("k"));
  EXPECT_EQ(refused.code, receipts::RECEIPT_FAILED) << refused.json;
  const json answer = json::parse(refused.json);
  EXPECT_NE(answer["message"].get<std::string>().find("finish it or cancel it (CMD_60_0_0)"), std::string::npos);
  EXPECT_FALSE(answer.contains("globalNumber"));
  const Ending end = Look(emu);
  EXPECT_TRUE(end.open) << "the other receipt is still there";
  EXPECT_EQ(end.voids, 0);
  EXPECT_EQ(emu.inspect([](const emulator::Printer& p) { return p.receipt().totals[1]; }), 999);
}

// Payments short of the total would be made up in cash by the close: the
// receipt is cancelled before the first payment instead.
TEST(ExactlyOnce, PaymentsShortOfTheTotalCancelTheReceipt) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ProgramItem7(*model);
  test::ReceiptWorld world;
  std::string document = test::TenItemReceipt("short");
  document.replace(document.find("\"30.00\""), 7, "\"9.00\"");
  const auto outcome = world.service->Print(*model, test::kSerial, document);
  EXPECT_EQ(outcome.code, RECEIPT_CANCELLED) << outcome.json;
  EXPECT_NE(json::parse(outcome.json)["message"].get<std::string>().find(
                "The payments (19.00) are less than the receipt's total (29.32)."),
            std::string::npos);
  const Ending end = Look(emu);
  EXPECT_EQ(end.receipts, 0);
  EXPECT_FALSE(end.open);
}

// A journal entry for document as a run leaves it when it is killed right
// after accepting it: nothing sent yet.
journal::Entry AcceptedOnly(test::ReceiptWorld& world, const std::string& key, const std::string& document) {
  const auto parsed = receipts::ParseReceipt(document);
  journal::Entry e;
  e.key = key;
  e.docHash = parsed.document.hash;
  e.document = parsed.document.canonical;
  e.printer = test::kSerial;
  world.journal->Accept(e);
  return e;
}

// Journal entries as an earlier run left them, settled from what the printer
// holds: a receipt finished by hand after the printer took its payment is
// printed, not printed again; one finished by hand whose payment the printer
// never confirmed cannot be told from another program's receipt, so it is
// neither printed again nor called printed: a person looks at the paper roll;
// a receipt never opened while another program's receipt is open leaves that
// receipt alone.
TEST(ExactlyOnce, SettlingTellsAReceiptFinishedByHandAndAnotherProgramsReceipt) {
  for (const bool paymentConfirmed : {true, false}) {
    SCOPED_TRACE(paymentConfirmed ? "payment confirmed" : "payment never confirmed");
    emulator::Emulator emu;
    auto model = test::ModelOn(emu);
    test::ReceiptWorld world;
    const std::string document = R"({"key": "by-hand", "operator": {"code": 1, "password": "0000", "till": 1},
        "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})";
    journal::Entry e = AcceptedOnly(world, "by-hand", document);
    AnsiStrings out;
    ASSERT_EQ(model->Run("CMD_48_0_0", {"1", "0000", "1"}, out), 0);
    world.journal->SetCounters(e, out[0], out[1]);
    ASSERT_EQ(model->Run("CMD_49_0_11", {"Tea", "A", "1.50", "1", "cup"}, out), 0);
    world.journal->Acknowledge(e, "CMD_49_0_11", "0");
    world.journal->Reach(e, journal::State::Paying, "paying");
    ASSERT_EQ(model->Run("CMD_53_0_1", {}, out), 0);
    if (paymentConfirmed) world.journal->Acknowledge(e, "CMD_53_0_1", "R0.00", /*paymentTaken=*/true);
    // The till finished it by hand after an "attention".
    ASSERT_EQ(model->Run("CMD_56_0_0", {}, out), 0);
    const auto outcome = world.service->Print(*model, test::kSerial, document);
    EXPECT_EQ(Look(emu).receipts, 1) << "not printed again";
    if (paymentConfirmed) {
      EXPECT_EQ(outcome.code, RECEIPT_PRINTED) << outcome.json;
      EXPECT_EQ(json::parse(outcome.json)["globalNumber"], "1");
      continue;
    }
    EXPECT_EQ(outcome.code, receipts::RECEIPT_ATTENTION) << outcome.json;
    const json answer = json::parse(outcome.json);
    EXPECT_EQ(answer["receiptToCheck"], "1");
    EXPECT_FALSE(answer.contains("globalNumber"));
    EXPECT_NE(answer["message"].get<std::string>().find("Look at receipt 1 on the paper roll"), std::string::npos);
    // Settled as it is: the same key again is answered from the journal.
    const auto requests = emu.counters().requests;
    EXPECT_EQ(world.service->Print(*model, test::kSerial, document).code, receipts::RECEIPT_ATTENTION);
    EXPECT_EQ(emu.counters().requests, requests);
    EXPECT_EQ(Look(emu).receipts, 1);
  }
  {
    emulator::Emulator emu;
    auto model = test::ModelOn(emu);
    test::ReceiptWorld world;
    const std::string document = test::TenItemReceipt("never-opened");
    journal::Entry e = AcceptedOnly(world, "never-opened", document);  // its open never went out
    AnsiStrings out;
    ASSERT_EQ(model->Run("CMD_48_0_0", {"2", "0000", "1"}, out), 0);
    ASSERT_EQ(model->Run("CMD_49_0_0", {"B", "9.99"}, out), 0);
    const auto outcome = world.service->Print(*model, test::kSerial, document);
    EXPECT_EQ(outcome.code, receipts::RECEIPT_FAILED) << outcome.json;
    const Ending end = Look(emu);
    EXPECT_TRUE(end.open) << "the other program's receipt is left open";
    EXPECT_EQ(end.voids, 0);
    EXPECT_EQ(emu.inspect([](const emulator::Printer& p) { return p.receipt().totals[1]; }), 999);
  }
}

// ---------------------------------------------------------------- the fault matrix

// The frames a clean run of the receipt sends.
int FramesOfTheReceipt() {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ProgramItem7(*model);
  test::ReceiptWorld world;
  const auto before = emu.counters().requests;
  EXPECT_EQ(world.service->Print(*model, test::kSerial, test::TenItemReceipt("clean")).code, RECEIPT_PRINTED);
  return static_cast<int>(emu.counters().requests - before);
}

struct MatrixFigures {
  int frames = 0, faults = 0, firstFailed = 0, twice = 0, open = 0, falseSuccess = 0, printed = 0, cancelled = 0;
  // One fault tried: how the printer ended after the second call.
  void add(const Ending& end) {
    ++frames;
    ++faults;
    twice += end.receipts > 1;
    open += end.open;
    printed += end.receipts == 1;
    cancelled += end.receipts == 0;
  }
  void print(const char* what) const {
    std::cout << "receipt fault matrix, " << what << ": " << frames << " frames tried, " << faults
              << " faults injected, " << firstFailed << " first calls without success, " << printed
              << " printed once, " << cancelled << " cancelled, " << twice << " printed twice, " << open
              << " left open, " << falseSuccess << " false successes\n";
  }
};

class FaultAtEveryFrame : public ::testing::TestWithParam<FrameFault> {};

TEST_P(FaultAtEveryFrame, EndsInOneReceiptOrACancelledOne) {
  const FrameFault kind = GetParam();
  const bool tcp = kind == FrameFault::dropLink;
  const int frames = FramesOfTheReceipt();
  ASSERT_GE(frames, 17);
  MatrixFigures figures;
  for (int k = 1; k <= frames; ++k) {
    SCOPED_TRACE("fault at frame " + std::to_string(k));
    emulator::Emulator emu;
    auto model = test::ModelOn(emu, tcp);
    test::ProgramItem7(*model);
    test::ReceiptWorld world;
    emu.faults().setFrameFault(kind, static_cast<unsigned>(k));
    const auto first = world.service->Print(*model, test::kSerial, test::TenItemReceipt("till7-1"));
    const Ending mid = Look(emu);
    if (first.code == RECEIPT_PRINTED && mid.receipts != 1) ++figures.falseSuccess;
    EXPECT_TRUE(first.code != RECEIPT_PRINTED || mid.receipts == 1) << first.json;
    figures.firstFailed += first.code != RECEIPT_PRINTED;
    emu.faults().restore();
    const auto second = world.service->Print(*model, test::kSerial, test::TenItemReceipt("till7-1"));
    const Ending end = Look(emu);
    ExpectOneReceiptOrACancelledOne(end, second);
    figures.add(end);
  }
  figures.print(kind == FrameFault::loseRequest ? "request lost"
                : kind == FrameFault::loseAnswer ? "answer lost after execution"
                                                 : "link dropped (TCP)");
  EXPECT_EQ(figures.twice + figures.open + figures.falseSuccess, 0);
}

// A document without payments (the exact total in cash): an answer lost at
// every frame, the payment's and the close's included.
TEST(FaultAtEveryFrameWithoutPayments, EndsInOneReceiptOrACancelledOne) {
  const std::string document = R"({"key": "cash", "operator": {"code": 1, "password": "0000", "till": 1},
      "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"},
                {"text": "Cake", "taxGroup": "B", "price": "2.00", "unit": "pc"}]})";
  for (int k = 1; k <= 8; ++k) {
    SCOPED_TRACE("answer lost at frame " + std::to_string(k));
    emulator::Emulator emu;
    auto model = test::ModelOn(emu);
    test::ReceiptWorld world;
    emu.faults().setFrameFault(FrameFault::loseAnswer, static_cast<unsigned>(k));
    const auto first = world.service->Print(*model, test::kSerial, document);
    if (first.code == RECEIPT_PRINTED) {
      EXPECT_EQ(Look(emu).receipts, 1);
    }
    emu.faults().restore();
    const auto second = world.service->Print(*model, test::kSerial, document);
    const Ending end = Look(emu);
    EXPECT_FALSE(end.open);
    EXPECT_LE(end.receipts, 1);
    if (end.receipts == 1) {
      EXPECT_EQ(second.code, RECEIPT_PRINTED) << second.json;
      EXPECT_EQ(end.a, 150);
      EXPECT_EQ(end.b, 200);
      EXPECT_EQ(json::parse(second.json)["paid"], "3.50");
    } else {
      EXPECT_EQ(second.code, RECEIPT_CANCELLED) << second.json;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultAtEveryFrame,
                         ::testing::Values(FrameFault::loseRequest, FrameFault::loseAnswer, FrameFault::dropLink),
                         [](const auto& info) {
                           switch (info.param) {
                             case FrameFault::loseRequest: return std::string("RequestLost");
                             case FrameFault::loseAnswer: return std::string("AnswerLostAfterExecution");
                             default: return std::string("LinkDropped");
                           }
                         });

// ---------------------------------------------------------------- the driver killed

// Runs the receipt runner; its pid (or -1). Its standard output goes to out.
pid_t StartRunner(const std::string& device, const std::string& journal, const std::string& document,
                  const std::string& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const char* argv[] = {ORBANTIS_RECEIPT_RUNNER, device.c_str(), journal.c_str(), document.c_str(), nullptr};
  pid_t pid = -1;
  const int r = posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  return r == 0 ? pid : -1;
}

// Waits up to 20 s; true when it ended.
bool Reap(pid_t pid) {
  for (int i = 0; i < 2000; ++i) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return false;
}

receipts::Outcome OutcomeIn(const std::string& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  const json j = json::parse(text.str(), nullptr, false);
  if (!j.is_object()) return {-999, text.str()};
  return {j.value("code", -999), text.str()};
}

TEST(DriverKilled, AtEveryFrameTheRestartedDriverEndsInOneReceiptOrACancelledOne) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "a killed driver leaves the pseudo-terminal in exclusive mode, which only root may open again";
  const int frames = FramesOfTheReceipt() + 1;  // the runner's first status request comes first
  MatrixFigures figures;
  for (int k = 1; k <= frames; ++k) {
    SCOPED_TRACE("driver killed at frame " + std::to_string(k));
    emulator::Emulator emu;
    const std::string device = emu.startPty();
    {
      auto model = std::make_unique<TFP_ZORVIK>(1, 115200);
      model->SERIAL_CONNECTION->DevicePath = device;
      ASSERT_EQ(model->SERIAL_CONNECTION->Open(), 0);
      test::ProgramItem7(*model);
    }
    test::TempDir dir;
    const std::string journal = dir.Path() + "journal.sqlite";
    const std::string document = dir.Path() + "receipt.json";
    std::ofstream(document) << test::TenItemReceipt("till7-1");

    std::atomic<pid_t> child {-1};
    std::atomic<int> seen {0};
    emu.setRequestHook([&](std::uint8_t) {
      if (++seen == k && child.load() > 0) ::kill(child.load(), SIGKILL);
    });
    child = StartRunner(device, journal, document, dir.Path() + "first.json");
    ASSERT_GT(child.load(), 0);
    ASSERT_TRUE(Reap(child.load()));
    emu.setRequestHook(nullptr);
    const receipts::Outcome first = OutcomeIn(dir.Path() + "first.json");
    figures.firstFailed += first.code != RECEIPT_PRINTED;
    if (first.code == RECEIPT_PRINTED) {
      EXPECT_EQ(Look(emu).receipts, 1);
      figures.falseSuccess += Look(emu).receipts != 1;
    }

    const pid_t restarted = StartRunner(device, journal, document, dir.Path() + "second.json");
    ASSERT_GT(restarted, 0);
    ASSERT_TRUE(Reap(restarted));
    const receipts::Outcome second = OutcomeIn(dir.Path() + "second.json");
    const Ending end = Look(emu);
    ExpectOneReceiptOrACancelledOne(end, second);
    figures.add(end);
  }
  figures.print("driver killed (SIGKILL) and restarted");
  EXPECT_EQ(figures.twice + figures.open + figures.falseSuccess, 0);
}

}  // namespace
}  // namespace orbantis
