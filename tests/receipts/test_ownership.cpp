// A receipt belongs to its key. After a fault, another till rings a receipt
// on the same printer before the key is sent again; the driver then settles,
// cancels, pays or closes only what the printer's reads prove is the key's
// own, and answers "printed" only for a receipt proven fiscalised as the
// key's. Where the reads cannot tell, the answer is attention and the
// printer is left as it is. "Another till" here sends the command rows
// itself, as another program on a shared printer would.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <nlohmann/json.hpp>

#include "ReceiptFixture.h"

namespace orbantis {
namespace {

using emulator::FrameFault;
using nlohmann::json;
using namespace receipts;

// Two sales, 5.90 in all, paid in cash.
const std::string kTwoSales = R"({"key": "K1", "operator": {"code": 1, "password": "0000", "till": 1},
    "items": [{"text": "Tea", "taxGroup": "A", "price": "3.90", "unit": "cup"},
              {"text": "Cake", "taxGroup": "A", "price": "2.00", "unit": "pc"}],
    "payments": [{"mode": "P", "amount": "5.90"}]})";
// The same without payments: the exact total in cash.
const std::string kNoPayments = R"({"key": "K2", "operator": {"code": 1, "password": "0000", "till": 1},
    "items": [{"text": "Tea", "taxGroup": "A", "price": "3.90", "unit": "cup"},
              {"text": "Cake", "taxGroup": "A", "price": "2.00", "unit": "pc"}]})";
// Its second line sells item 7, which the printer refuses until it is programmed.
const std::string kRefusedLine = R"({"key": "K3", "operator": {"code": 1, "password": "0000", "till": 1},
    "items": [{"text": "Tea", "taxGroup": "A", "price": "3.90", "unit": "cup"}, {"plu": 7}]})";

struct Printer {
  int closed = 0;  // fiscal receipts of the day
  bool open = false;
  std::int64_t openTotal = 0, openPaid = 0;
  int voids = 0;  // receipts cancelled by operator 1 and 2
};

Printer Look(emulator::Emulator& emu) {
  return emu.inspect([](const emulator::Printer& p) {
    std::int64_t total = 0;
    for (const auto t : p.receipt().totals) total += t;
    return Printer {p.day().fiscalReceipts, p.receipt().kind == emulator::OpenReceipt::Kind::fiscal, total,
                    p.receipt().paid, p.op(1).voids + p.op(2).voids};
  });
}

// The first request of command cmd (its code) from now meets fault: the
// printer is cut off from then until restore().
void FaultAt(emulator::Emulator& emu, std::uint8_t cmd, FrameFault fault) {
  auto fired = std::make_shared<std::atomic<bool>>(false);
  emu.setRequestHook([&emu, cmd, fault, fired](std::uint8_t c) {
    if (c == cmd && !fired->exchange(true)) emu.faults().setFrameFault(fault, 1);
  });
}

// Another program's commands on the same printer.
void Till2(TFP_ZORVIK& model, std::initializer_list<std::pair<const char*, AnsiStrings>> commands) {
  for (const auto& [row, values] : commands) {
    AnsiStrings out;
    ASSERT_EQ(model.Run(row, values, out), 0) << row;
  }
}

json Body(const Outcome& o) { return json::parse(o.json); }

// 1: the close's answer is lost (K1 fiscalised as 1/1); till 2 opens a
// receipt and sells 2.00; K1 is sent again. K1 is printed as 1, and till 2's
// receipt is neither cancelled nor printed twice.
TEST(ReceiptOwnership, AnotherTillsOpenReceiptAfterALostCloseAnswerIsLeftAlone) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  FaultAt(emu, 56, FrameFault::loseAnswer);
  EXPECT_EQ(world.service->Print(*model, test::kSerial, kTwoSales).code, RECEIPT_PENDING);
  emu.faults().restore();
  Till2(*model, {{"CMD_48_0_0", {"2", "0000", "2"}}, {"CMD_49_0_0", {"A", "2.00"}}});

  const Outcome again = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(again.code, RECEIPT_PRINTED) << again.json;
  EXPECT_EQ(Body(again)["globalNumber"], "1");
  const Printer end = Look(emu);
  EXPECT_EQ(end.closed, 1) << "K1 printed once";
  EXPECT_TRUE(end.open) << "till 2's receipt is still open";
  EXPECT_EQ(end.openTotal, 200);
  EXPECT_EQ(end.voids, 0);
}

// 2: a line is refused, the driver cancels and the cancel's answer is lost;
// till 2 prints a whole receipt (1/1); K3 is sent again. Receipt 1 is not
// K3's to claim: the answer is attention, naming the receipt to look up.
TEST(ReceiptOwnership, AReceiptOfAnotherTillIsNeverReportedAsTheKeys) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  FaultAt(emu, 60, FrameFault::loseAnswer);
  EXPECT_EQ(world.service->Print(*model, test::kSerial, kRefusedLine).code, RECEIPT_PENDING);
  emu.faults().restore();
  Till2(*model, {{"CMD_48_0_0", {"2", "0000", "2"}},
                 {"CMD_49_0_0", {"A", "1.00"}},
                 {"CMD_53_0_1", {}},
                 {"CMD_56_0_0", {}}});

  const Outcome again = world.service->Print(*model, test::kSerial, kRefusedLine);
  EXPECT_EQ(again.code, RECEIPT_ATTENTION) << again.json;
  const json body = Body(again);
  EXPECT_EQ(body["state"], "attention");
  EXPECT_EQ(body["receiptToCheck"], "1");
  EXPECT_FALSE(body.contains("globalNumber"));
  EXPECT_NE(body["message"].get<std::string>().find("Look at receipt 1 on the paper roll: if it holds 2 sales"),
            std::string::npos)
      << body["message"];
  EXPECT_NE(emu.paperText().find("RECEIPT CANCELLED"), std::string::npos);
  EXPECT_EQ(Look(emu).closed, 1);
  // Settled as it is: the key is not rung again, and nothing is sent for it.
  const auto requests = emu.counters().requests;
  EXPECT_EQ(world.service->Print(*model, test::kSerial, kRefusedLine).code, RECEIPT_ATTENTION);
  EXPECT_EQ(emu.counters().requests, requests);
  EXPECT_EQ(world.service->Get("K3").code, RECEIPT_ATTENTION);
}

// 3: K2 (no payments) is fiscalised and the close's answer is lost; till 2
// opens a receipt of 10.00 and takes 3.00 by debit card; K2 is sent again.
// The driver pays nothing into till 2's receipt and does not close it.
TEST(ReceiptOwnership, NoCashIsPaidIntoAnotherTillsReceipt) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  FaultAt(emu, 56, FrameFault::loseAnswer);
  EXPECT_EQ(world.service->Print(*model, test::kSerial, kNoPayments).code, RECEIPT_PENDING);
  emu.faults().restore();
  Till2(*model,
        {{"CMD_48_0_0", {"2", "0000", "2"}}, {"CMD_49_0_0", {"A", "10.00"}}, {"CMD_53_0_0", {"D", "3.00"}}});

  const Outcome again = world.service->Print(*model, test::kSerial, kNoPayments);
  EXPECT_EQ(again.code, RECEIPT_PRINTED) << again.json;
  EXPECT_EQ(Body(again)["globalNumber"], "1");
  EXPECT_EQ(Body(again)["paid"], "5.90");
  const Printer end = Look(emu);
  EXPECT_EQ(end.closed, 1);
  EXPECT_TRUE(end.open);
  EXPECT_EQ(end.openTotal, 1000);
  EXPECT_EQ(end.openPaid, 300) << "nothing paid into till 2's receipt";
}

// While another till's receipt is open and the key's own outcome cannot be
// proven yet, the answer is attention (not settled), the open receipt is
// described, and once that receipt is gone the key settles.
TEST(ReceiptOwnership, AnOpenReceiptThatIsNotTheKeysWaitsForAPerson) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  // The second sale's request is lost: K1 is open with one sale.
  std::atomic<bool> seenFirst {false};
  emu.setRequestHook([&](std::uint8_t c) {
    if (c == 49 && seenFirst.exchange(true)) emu.faults().setFrameFault(FrameFault::loseRequest, 1);
  });
  EXPECT_EQ(world.service->Print(*model, test::kSerial, kTwoSales).code, RECEIPT_PENDING);
  emu.setRequestHook(nullptr);
  emu.faults().restore();
  // Someone cancels K1 by hand and rings another receipt of one sale.
  Till2(*model, {{"CMD_60_0_0", {}}, {"CMD_48_0_0", {"2", "0000", "2"}}, {"CMD_49_0_0", {"B", "7.00"}}});

  const Outcome again = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(again.code, RECEIPT_ATTENTION) << again.json;
  const std::string message = Body(again)["message"];
  EXPECT_NE(message.find("The printer holds an open receipt of 1 sale, 7.00, which is not K1; it was left as it is."),
            std::string::npos)
      << message;
  EXPECT_EQ(Body(again)["journalState"], "opened") << "not settled";
  EXPECT_TRUE(Look(emu).open);
  EXPECT_EQ(Look(emu).openTotal, 700);

  // Till 2 finishes its receipt: now the counter proves K1 was not fiscalised
  // only if nothing closed since K1's open; one did, and K1 took no payment.
  Till2(*model, {{"CMD_53_0_1", {}}, {"CMD_56_0_0", {}}});
  const Outcome later = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(later.code, RECEIPT_ATTENTION) << later.json;
  EXPECT_EQ(Body(later)["receiptToCheck"], "1");
  EXPECT_EQ(Look(emu).closed, 1);
}

// 6: the open is answered with a status bit that does not mean "not done"
// (the clock): the receipt is open all the same. The driver decides by what
// the printer holds, not by the bit: it cancels its own empty receipt, and
// nothing is left open.
TEST(ReceiptOwnership, AnOpenAnsweredWithAnErrorBitIsDecidedByWhatThePrinterHolds) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  std::atomic<int> phase {0};
  emu.setRequestHook([&](std::uint8_t c) {
    if (c == 48 && phase == 0) {
      emu.faults().forceBit(emulator::bits::clockNotSet, true);
      phase = 1;
    } else if (c != 48 && phase == 1) {
      emu.faults().releaseBit(emulator::bits::clockNotSet);
      phase = 2;
    }
  });
  const Outcome first = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(first.code, RECEIPT_CANCELLED) << first.json;
  EXPECT_FALSE(Look(emu).open);
  emu.setRequestHook(nullptr);
  const Outcome second = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(second.code, RECEIPT_PRINTED) << second.json;
  EXPECT_EQ(Look(emu).closed, 1);
}

// 8: a payment answered P or I was not taken: the driver reads what the
// printer holds, and the close never makes the rest up in cash.
TEST(ReceiptOwnership, APaymentAnsweredPOrIIsNotTakenForPaid) {
  for (const char* code : {"P0.00", "I0.00"}) {
    SCOPED_TRACE(code);
    emulator::Emulator emu;
    auto model = test::ModelOn(emu);
    test::ReceiptWorld world;
    emu.faults().setAnswerInstead(53, code);
    const Outcome outcome = world.service->Print(*model, test::kSerial, kTwoSales);
    // The payment was not taken and the receipt could still be cancelled.
    EXPECT_EQ(outcome.code, RECEIPT_CANCELLED) << outcome.json;
    EXPECT_NE(Body(outcome)["message"].get<std::string>().find("The printer did not take payments[0] (PaidCode " +
                                                               std::string(1, code[0])),
              std::string::npos);
    const Printer end = Look(emu);
    EXPECT_EQ(end.closed, 0) << "not closed with the rest made up in cash";
    EXPECT_FALSE(end.open);
  }
}

// The printer restarts between a frame and the driver's repeat of it: it
// forgot the frame, so the repeat is carried out again. A sale done twice is
// seen in what the printer holds and the receipt is cancelled (the key then
// prints with its own total); a payment done twice cannot be cancelled and is
// left to a person, the receipt open as it is.
TEST(ReceiptOwnership, APrinterThatRestartsBetweenAFrameAndItsRepeatDoesNotDoubleALine) {
  {
    emulator::Emulator emu;
    auto model = test::ModelOn(emu);
    test::ReceiptWorld world;
    FaultAt(emu, 49, FrameFault::powerCycle);
    const Outcome first = world.service->Print(*model, test::kSerial, kTwoSales);
    EXPECT_EQ(first.code, RECEIPT_CANCELLED) << first.json;
    EXPECT_NE(Body(first)["message"].get<std::string>().find("twice"), std::string::npos) << first.json;
    EXPECT_FALSE(Look(emu).open);
    emu.setRequestHook(nullptr);
    const Outcome again = world.service->Print(*model, test::kSerial, kTwoSales);
    EXPECT_EQ(again.code, RECEIPT_PRINTED) << again.json;
    EXPECT_EQ(Body(again)["totals"]["subtotal"], "5.90");
    EXPECT_EQ(Look(emu).closed, 1);
  }
  {
    emulator::Emulator emu;
    auto model = test::ModelOn(emu);
    test::ReceiptWorld world;
    std::string split = kTwoSales;
    split.replace(split.find(R"([{"mode": "P", "amount": "5.90"}])"), 33,
                  R"([{"mode": "D", "amount": "1.00"}, {"mode": "P", "amount": "4.90"}])");
    FaultAt(emu, 53, FrameFault::powerCycle);
    const Outcome first = world.service->Print(*model, test::kSerial, split);
    EXPECT_EQ(first.code, RECEIPT_ATTENTION) << first.json;
    EXPECT_NE(Body(first)["journalState"], "attention") << "not settled: a person finishes it";
    EXPECT_NE(Body(first)["message"].get<std::string>().find("twice"), std::string::npos) << first.json;
    EXPECT_TRUE(Look(emu).open);
    EXPECT_EQ(Look(emu).openPaid, 200);
    EXPECT_EQ(Look(emu).closed, 0);
  }
}

// A second program holding the journal's write lock stands in for a full
// disk: writes fail after a short wait.
class JournalBlocked {
 public:
  explicit JournalBlocked(const std::string& path) {
    sqlite3_open(path.c_str(), &FDb);
    sqlite3_exec(FDb, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  }
  ~JournalBlocked() {
    sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(FDb);
  }

 private:
  sqlite3* FDb = nullptr;
};

// 4: the journal cannot be written while K1 is open and paid, and K1 is sent
// again: the answer is pending (the receipt may be on the printer), never
// "nothing is sent"; once the journal is back, K1 is finished once.
TEST(ReceiptOwnership, AJournalFailureWhileAReceiptIsOpenAnswersPending) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  world.journal->SetBusyTimeout(50);
  FaultAt(emu, 56, FrameFault::loseRequest);
  EXPECT_EQ(world.service->Print(*model, test::kSerial, kTwoSales).code, RECEIPT_PENDING);
  emu.faults().restore();
  EXPECT_TRUE(Look(emu).open);
  {
    JournalBlocked blocked(world.journal->Path());
    const Outcome refused = world.service->Print(*model, test::kSerial, kTwoSales);
    EXPECT_EQ(refused.code, RECEIPT_PENDING) << refused.json;
    EXPECT_EQ(Body(refused)["message"].get<std::string>().find("Nothing was sent"), std::string::npos);
    EXPECT_NE(Body(refused)["message"].get<std::string>().find("may be open on the printer"), std::string::npos);
  }
  const Outcome finished = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(finished.code, RECEIPT_PRINTED) << finished.json;
  EXPECT_EQ(Look(emu).closed, 1);
  EXPECT_FALSE(Look(emu).open);

  // A new key that cannot be recorded is surely not sent: failed, with -7.
  JournalBlocked blocked(world.journal->Path());
  std::string other = kTwoSales;
  other.replace(other.find("\"K1\""), 4, "\"K9\"");
  const auto requests = emu.counters().requests;
  const Outcome unrecorded = world.service->Print(*model, test::kSerial, other);
  EXPECT_EQ(unrecorded.code, RECEIPT_JOURNAL) << unrecorded.json;
  EXPECT_EQ(Body(unrecorded)["state"], "failed");
  EXPECT_EQ(emu.counters().requests, requests);
}

// 4b and 5: a journal removed or replaced under the running program is
// noticed; keys are answered "unknown" with -7 (never a final state that
// would let the till ring the sale again) until it is back.
TEST(ReceiptOwnership, AJournalRemovedOrReplacedIsNoticedAndKeysAreUnknownUntilItIsBack) {
  emulator::Emulator emu;
  auto model = test::ModelOn(emu);
  test::ReceiptWorld world;
  ASSERT_EQ(world.service->Print(*model, test::kSerial, kTwoSales).code, RECEIPT_PRINTED);
  const std::string path = world.journal->Path();
  const std::string kept = path + ".kept";
  ASSERT_EQ(::link(path.c_str(), kept.c_str()), 0);
  ASSERT_EQ(::unlink(path.c_str()), 0);

  const auto requests = emu.counters().requests;
  const Outcome removed = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(removed.code, RECEIPT_JOURNAL) << removed.json;
  EXPECT_EQ(Body(removed)["state"], "unknown");
  EXPECT_NE(Body(removed)["message"].get<std::string>().find("Do not ring this sale again under a new key"),
            std::string::npos);
  EXPECT_EQ(world.service->Get("K1").code, RECEIPT_JOURNAL);
  EXPECT_EQ(Body(world.service->Get("K1"))["state"], "unknown");

  // Another file in its place is not the journal either.
  { std::ofstream(path) << ""; }
  EXPECT_EQ(world.service->Print(*model, test::kSerial, kTwoSales).code, RECEIPT_JOURNAL);
  EXPECT_EQ(emu.counters().requests, requests) << "nothing sent without the journal";

  ASSERT_EQ(::rename(kept.c_str(), path.c_str()), 0);
  const Outcome back = world.service->Print(*model, test::kSerial, kTwoSales);
  EXPECT_EQ(back.code, RECEIPT_PRINTED) << back.json;
  EXPECT_EQ(Body(back)["repeated"], true);
  EXPECT_EQ(Look(emu).closed, 1);
}

// Two programs of one user (the bus server and orbantis-http) share the
// journal. On one printer their receipts take turns (the printer's lock is a
// file beside the journal), so neither meets the other's receipt half done.
TEST(ReceiptOwnership, TwoProgramsOnOnePrinterTakeTurns) {
  emulator::Emulator emu;
  auto first = test::ModelOn(emu);
  auto second = test::ModelOn(emu, /*tcp=*/true);
  test::TempDir dir;
  const std::string path = dir.Path() + "state/journal.sqlite";
  journal::Journal journalA(path), journalB(path);
  ReceiptService programA(journalA), programB(journalB);
  std::string other = kTwoSales;
  other.replace(other.find("\"K1\""), 4, "\"K2\"");
  for (int round = 0; round < 3; ++round) {
    const std::string suffix = std::to_string(round);
    std::string a = kTwoSales, b = other;
    a.replace(a.find("\"K1\""), 4, "\"K1-" + suffix + "\"");
    b.replace(b.find("\"K2\""), 4, "\"K2-" + suffix + "\"");
    Outcome outA, outB;
    std::thread ta([&] { outA = programA.Print(*first, test::kSerial, a); });
    std::thread tb([&] { outB = programB.Print(*second, test::kSerial, b); });
    ta.join();
    tb.join();
    EXPECT_EQ(outA.code, RECEIPT_PRINTED) << outA.json;
    EXPECT_EQ(outB.code, RECEIPT_PRINTED) << outB.json;
  }
  EXPECT_EQ(Look(emu).closed, 6);
  EXPECT_EQ(Look(emu).voids, 0);
}

// 9: one new key sent to two printers by two programs at the same moment is
// printed once: the journal takes the key for whichever asked first, and the
// other is told where it went.
TEST(ReceiptOwnership, OneKeyAtTwoProgramsAtOnceIsPrintedOnce) {
  emulator::Emulator here, there;
  auto printerHere = test::ModelOn(here);
  auto printerThere = test::ModelOn(there);
  test::TempDir dir;
  const std::string path = dir.Path() + "state/journal.sqlite";
  journal::Journal journalA(path), journalB(path);
  ReceiptService programA(journalA), programB(journalB);
  for (int round = 0; round < 5; ++round) {
    std::string doc = kTwoSales;
    doc.replace(doc.find("\"K1\""), 4, "\"same-" + std::to_string(round) + "\"");
    Outcome outA, outB;
    std::thread ta([&] { outA = programA.Print(*printerHere, "OB-HERE", doc); });
    std::thread tb([&] { outB = programB.Print(*printerThere, "OB-THERE", doc); });
    ta.join();
    tb.join();
    SCOPED_TRACE(outA.json + "\n" + outB.json);
    EXPECT_TRUE(outA.code == RECEIPT_PRINTED || outB.code == RECEIPT_PRINTED);
    EXPECT_NE(outA.code, RECEIPT_FAILED);
    EXPECT_NE(outB.code, RECEIPT_FAILED);
  }
  EXPECT_EQ(Look(here).closed + Look(there).closed, 5) << "each key printed once";
}

}  // namespace
}  // namespace orbantis
