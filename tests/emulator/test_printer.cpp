// The printer's state machine without any wire: receipts and their totals, status bits,
// refusals, closures and the fiscal memory, and the layouts of the answers.
#include <gtest/gtest.h>

#include <algorithm>

#include "Printer.h"
#include "Status.h"

namespace orbantis::emulator {
namespace {

class PrinterTest : public ::testing::Test {
 protected:
  Printer::Outcome run(std::uint8_t cmd, std::string_view data = {}) { return printer.execute(cmd, data); }

  // Runs a command that must succeed and returns its answer data.
  Bytes ok(std::uint8_t cmd, std::string_view data = {}) {
    const auto out = run(cmd, data);
    EXPECT_FALSE(testBit(out.status, bits::generalError))
        << "command " << int(cmd) << " '" << data << "' refused: " << toHex(std::string(out.status.begin(), out.status.end()));
    return out.data;
  }

  void openReceipt() { ok(48, "1,0000,1"); }

  PaperRoll paper;
  Printer printer{paper};
};

std::size_t items(std::string_view answer) { return static_cast<std::size_t>(std::count(answer.begin(), answer.end(), ',')) + 1; }

TEST_F(PrinterTest, ReceiptCycleAddsUpByTaxGroup) {
  EXPECT_EQ(ok(48, "1,0000,1"), "1,1");
  EXPECT_TRUE(testBit(printer.stateStatus(), bits::fiscalReceiptOpen));

  struct Sale {
    std::uint8_t cmd;
    const char* data;
  };
  const Sale kSales[] = {
      {49, "Bread\tA1.25*2"},                  // 2.50 A
      {52, "\tB10.00"},                        // 10.00 B
      {49, "Milk\nfresh\tA3.00*1.5#l,-10"},    // 4.50 - 10% = 4.05 A
      {49, "\tC5.00;-1.00"},                   // 5.00 - 1.00 = 4.00 C
      {54, "a line of text"},                  // no money
  };
  for (const auto& s : kSales) ok(s.cmd, s.data);

  // 18% VAT inside group A's 6.55 is 0.99915, printed as 1.00.
  EXPECT_EQ(ok(51, "10"), "20.55,1.00,0.00,0.00,0.00,0.00,0.00");
  EXPECT_EQ(ok(53, "P+25.00"), "R4.45");
  EXPECT_EQ(ok(56), "1,1");

  EXPECT_FALSE(testBit(printer.stateStatus(), bits::fiscalReceiptOpen));
  EXPECT_EQ(printer.day().turnover, (GroupAmounts{655, 1000, 400, 0, 0, 0}));
  EXPECT_EQ(printer.day().payments[0], 2055);  // cash less the change
  EXPECT_EQ(printer.day().discounts, 2);
  EXPECT_EQ(printer.day().discountsSum, 145);
  EXPECT_EQ(ok(65, "0"), "6.55,10.00,4.00,0.00,0.00,0.00");

  const auto roll = paper.text();
  for (const char* expected : {"ORBANTIS SOFTWARE PRINTER", "Bread", "2.000 x 1.25", "TOTAL", "20.55", "CHANGE",
                               "4.45", "THANK YOU", "FISCAL RECEIPT", "a line of text"}) {
    EXPECT_NE(roll.find(expected), std::string::npos) << expected;
  }
}

TEST_F(PrinterTest, PaymentsSplitAcrossModesAndGiveChangeOnlyInCash) {
  openReceipt();
  ok(49, "\tA10.00");
  EXPECT_EQ(ok(53, "N+4.00"), "D6.00");  // part on credit, 6.00 still due
  EXPECT_EQ(ok(53, "D+7.00"), "F6.00");  // a card cannot pay more than is due
  EXPECT_TRUE(testBit(run(49, "\tA1.00").status, bits::notAllowed));  // no sales after a payment
  EXPECT_EQ(ok(53, "P"), "R0.00");        // the rest in cash, exactly
  ok(56);
  EXPECT_EQ(ok(110), "6.00,4.00,0.00,0.00,0.00,0.00,0.00,0.00,1,1");
}

// A payment mode I to L carries one name, the one programmed for it, on the
// receipt and on the X report alike.
TEST_F(PrinterTest, PaymentsIToLCarryTheirNameOnReceiptsAndReportsAlike) {
  openReceipt();
  ok(49, "\tA10.00");
  ok(53, "I+10.00");
  ok(56);
  ok(69, "2");
  const auto roll = paper.text();
  const auto first = roll.find("VOUCHER");
  ASSERT_NE(first, std::string::npos) << roll;
  EXPECT_NE(roll.find("VOUCHER", first + 1), std::string::npos) << "on the X report too:\n" << roll;
  EXPECT_EQ(roll.find("PAYMENT I"), std::string::npos) << roll;
}

// The receipt's open can no longer be cancelled once a payment is taken, and
// the void read says so.
TEST_F(PrinterTest, APaidReceiptCanNoLongerBeCancelled) {
  openReceipt();
  ok(49, "\tA10.00");
  EXPECT_EQ(ok(103).substr(0, 2), "1,");
  EXPECT_EQ(ok(53, "N+4.00"), "D6.00");
  EXPECT_EQ(ok(103).substr(0, 2), "0,");
  EXPECT_TRUE(testBit(run(60).status, bits::notAllowed));
  EXPECT_EQ(ok(53, "P"), "R0.00");
  ok(56);
}

TEST_F(PrinterTest, ClosingAnUnpaidReceiptPaysItInCash) {
  openReceipt();
  ok(49, "\tB3.30*3");
  EXPECT_EQ(ok(56), "1,1");
  EXPECT_EQ(printer.day().payments[0], 990);
}

TEST_F(PrinterTest, CancelDropsTheReceiptAndCountsAVoid) {
  openReceipt();
  ok(49, "\tA7.00");
  ok(60);
  EXPECT_FALSE(testBit(printer.stateStatus(), bits::fiscalReceiptOpen));
  EXPECT_EQ(printer.day().turnover, GroupAmounts{});
  EXPECT_EQ(printer.op(1).voids, 1);
  EXPECT_EQ(printer.op(1).voidsSum, 700);
  EXPECT_EQ(ok(48, "1,0000,1"), "1,1");  // the cancelled one took no fiscal number
}

struct RefusalCase {
  const char* name;
  bool receiptOpen;
  std::uint8_t cmd;
  const char* data;
  StatusBit bit;
};

TEST_F(PrinterTest, RefusalsCarryTheirStatusBitsAndChangeNothing) {
  const RefusalCase kCases[] = {
      {"sale without a receipt", false, 49, "\tA1.00", bits::notAllowed},
      {"payment without a receipt", false, 53, "P", bits::notAllowed},
      {"closure with a receipt open", true, 69, "0", bits::notAllowed},
      {"second receipt", true, 48, "1,0000,1", bits::notAllowed},
      {"wrong password", false, 48, "1,9999,1", bits::notAllowed},
      {"unknown command", false, 0x02, "", bits::invalidCommand},
      {"unknown command in a receipt", true, 0xFF, "", bits::invalidCommand},
      {"tax group G", true, 49, "\tG1.00", bits::syntaxError},
      {"sale without TAB", true, 49, "A1.00", bits::syntaxError},
      {"price not a number", true, 49, "\tA1,x", bits::syntaxError},
      {"three decimals in a price", true, 49, "\tA1.005", bits::syntaxError},
      {"discount over 99%", true, 49, "\tA1.00,-99.5", bits::syntaxError},
      {"operator 17", false, 48, "17,0000,1", bits::syntaxError},
      {"closure option 1", false, 69, "1", bits::syntaxError},
      {"31st of February", false, 61, "31-02-30 10:00:00", bits::syntaxError},
      {"sum overflow", true, 49, "\tA99999999.99*2", bits::sumOverflow},
      {"correction below zero", true, 49, "\tA-1.00", bits::notAllowed},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    PaperRoll roll;
    Printer fresh(roll);
    if (c.receiptOpen) fresh.execute(48, "1,0000,1");
    const auto before = roll.text();
    const auto out = fresh.execute(c.cmd, c.data);
    EXPECT_TRUE(testBit(out.status, c.bit));
    EXPECT_TRUE(testBit(out.status, bits::generalError));
    EXPECT_TRUE(out.data.empty());
    EXPECT_EQ(roll.text(), before) << "a refused command printed";
    EXPECT_EQ(fresh.receipt().totals, GroupAmounts{});
    EXPECT_EQ(testBit(out.status, bits::fiscalReceiptOpen), c.receiptOpen);
  }
}

TEST_F(PrinterTest, StatusFollowsTheStateWithTheReservedBitSet) {
  const auto idle = run(74, "X");
  EXPECT_TRUE(idle.data.empty());
  for (auto b : idle.status) EXPECT_EQ(b & kReservedBits, kReservedBits);
  for (auto bit : {bits::fiscalMode, bits::taxRatesSet, bits::tinVrnSet, bits::serialNumberSet, bits::fiscalMemoryFormatted}) {
    EXPECT_TRUE(testBit(idle.status, bit));
  }
  EXPECT_FALSE(testBit(idle.status, bits::generalError));
  EXPECT_FALSE(testBit(idle.status, bits::fiscalReceiptOpen));
  ok(38);
  EXPECT_TRUE(testBit(run(74).status, bits::nonFiscalReceiptOpen));
  ok(39);
  ok(41, "1010000");
  EXPECT_EQ(run(74).status[3], kReservedBits | 0x05);
}

TEST_F(PrinterTest, ClosureWritesTheDayToTheFiscalMemory) {
  openReceipt();
  ok(49, "\tA11.80");
  ok(49, "\tB2.00");
  ok(56);
  EXPECT_EQ(ok(69, "2"), "1,11.80,2.00,0.00,0.00,0.00,0.00");  // X report: nothing written
  EXPECT_TRUE(printer.closures().empty());
  EXPECT_EQ(ok(68), "1830");

  EXPECT_EQ(ok(69, "0N"), "1,11.80,2.00,0.00,0.00,0.00,0.00");
  ASSERT_EQ(printer.closures().size(), 1u);
  EXPECT_EQ(printer.day().turnover, GroupAmounts{});
  EXPECT_EQ(ok(68), "1829");

  const auto last = ok(64, "0");
  EXPECT_EQ(last.substr(0, last.rfind(',')), "1,11.80,2.00,0.00,0.00,0.00,0.00");
  EXPECT_EQ(last.size() - last.rfind(',') - 1, 6u);  // DDMMYY
  EXPECT_EQ(ok(64, "1").substr(0, 7), "1,1.80,");     // VAT: 18% inside 11.80
  EXPECT_EQ(ok(114, "1,1"), "P,1,1,11.80,2.00,0.00,0.00,0.00,0.00");
  EXPECT_EQ(ok(114, "1,2"), "P,1,1,10.00,2.00,0.00,0.00,0.00,0.00");
  EXPECT_EQ(ok(114, "1,3"), "P,1,1,1.80,0.00,0.00,0.00,0.00,0.00");
  EXPECT_EQ(ok(114, "2,1"), "F");
  EXPECT_EQ(ok(65, "0"), "0.00,0.00,0.00,0.00,0.00,0.00");
  EXPECT_EQ(ok(48, "1,0000,1"), "1,2");  // the day's count starts again, the global one goes on
}

TEST_F(PrinterTest, ClockIsSetAndReadBackButNeverBeforeTheLastRecord) {
  ok(61, "01-01-30 12:00:00");
  EXPECT_EQ(ok(62).substr(0, 14), "01-01-30 12:00");
  EXPECT_EQ(ok(86, "T").size(), 19u);
  EXPECT_TRUE(testBit(run(61, "01-01-20 12:00:00").status, bits::notAllowed));
}

TEST_F(PrinterTest, ItemsAreProgrammedSoldAndRead) {
  EXPECT_EQ(ok(107, "PA1,1,2.50,10,Bread"), "P,99999");
  EXPECT_EQ(ok(107, "R1"), "P000000001,A,01,2.50,0.00,0.000,10.000,Bread");
  openReceipt();
  ok(58, "1*2");
  ok(56);
  EXPECT_EQ(printer.day().turnover[0], 500);
  EXPECT_EQ(ok(107, "R1"), "P000000001,A,01,2.50,5.00,2.000,8.000,Bread");
  EXPECT_EQ(ok(107, "I"), "100000,1,36");
  EXPECT_EQ(ok(107, "X1"), "P000000002");
  EXPECT_EQ(ok(107, "F1"), ok(107, "f1"));  // the first item with sales is item 1
  EXPECT_EQ(ok(107, "C1,3.00"), "P");
  EXPECT_EQ(ok(107, "D1"), "P");
  EXPECT_EQ(ok(107, "R1"), "F");
  openReceipt();
  EXPECT_TRUE(testBit(run(58, "1").status, bits::notAllowed));  // no such item any more
}

TEST_F(PrinterTest, LogoRowsAreStoredAsTheirHexDigits) {
  ok(115, "5,FF00");
  EXPECT_EQ(ok(115, "R5"), "ff00" + std::string(140, '0'));
  EXPECT_EQ(ok(115, "R6"), std::string(144, '0'));
  EXPECT_TRUE(testBit(run(115, "96,00").status, bits::syntaxError));
  EXPECT_TRUE(testBit(run(115, "1,0g").status, bits::syntaxError));
}

TEST_F(PrinterTest, JournalKeepsEveryDocumentAndStartsANewOneAfterAClosure) {
  openReceipt();
  ok(49, "\tA1.00");
  ok(56);
  const auto info = ok(120, "I");
  EXPECT_EQ(items(info), 6u);
  EXPECT_EQ(info.substr(0, 4), "1,0,");  // journal 1, no closure yet
  EXPECT_EQ(ok(120, "FF1,0,1,99"), "P,1");
  EXPECT_EQ(ok(120, "PS"), "P,1");
  EXPECT_EQ(ok(120, "N"), "F");  // the day is not closed
  ok(69, "0");
  EXPECT_EQ(ok(120, "N"), "P,2");
}

TEST_F(PrinterTest, HeaderAndFooterLinesArePrintedOnTheReceipt) {
  ok(43, "0MY SHOP\tMAIN ROAD 7\t\t\t\t");
  ok(43, "6COME AGAIN");
  EXPECT_EQ(ok(43, "R1"), "MAIN ROAD 7");
  openReceipt();
  ok(56);
  const auto roll = paper.text();
  EXPECT_NE(roll.find("MY SHOP"), std::string::npos);
  EXPECT_NE(roll.find("COME AGAIN"), std::string::npos);
  EXPECT_EQ(roll.find("TEST SHOP"), std::string::npos);
}

struct LayoutCase {
  std::uint8_t cmd;
  const char* data;
  std::size_t items;
};

// Every read answers with as many comma-separated items as the driver splits it into.
TEST_F(PrinterTest, ReadsAnswerInTheirLayouts) {
  const LayoutCase kCases[] = {
      {36, "", 5},        {62, "", 1},      {64, "0", 8},       {65, "1", 6},     {68, "", 1},
      {76, "", 4},        {83, "", 9},      {86, "T", 1},       {90, "1", 5},     {93, "", 4},
      {97, "", 6},        {99, "", 2},      {103, "", 7},       {107, "I", 3},    {110, "", 10},
      {112, "1", 11},     {113, "", 3},     {114, "0,4", 8},    {116, "0,16", 1}, {118, "", 1},
      {120, "I", 6},      {121, "100,8", 1}, {151, "T", 2},     {152, "", 2},     {153, "OB12345678", 2},
      {85, "J", 1},       {43, "R6", 1},    {115, "R0", 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.cmd) + " '" + c.data + "'");
    const auto answer = ok(c.cmd, c.data);
    EXPECT_EQ(items(answer), c.items) << answer;
    EXPECT_LE(answer.size(), kMaxAnswerData);
  }
  EXPECT_EQ(ok(62).size(), 17u);
  EXPECT_EQ(ok(116, "0,64").size(), 128u);
  EXPECT_EQ(ok(83, "0,2,111111,16.50,8,0,0,0,0"), "0,2,111111,16.50,8.00,0.00,0.00,0.00,0.00");
  EXPECT_EQ(ok(154, "123456789,ABCDEFGHI"), "");
  EXPECT_EQ(ok(99), "123456789,ABCDEFGHI");
}

// What a device keeps with the power off: a printer read back from its state is the same device,
// down to the receipt it holds open and the numbers it gives next.
TEST_F(PrinterTest, StateSavedAndLoadedIsTheSameDevice) {
  ok(61, "01-01-30 12:00:00");
  ok(107, "PA1,1,2.50,10,Bread");
  ok(115, "5,FF00");
  ok(43, "0MY SHOP\tMAIN ROAD 7\t\t\t\t");
  openReceipt();
  ok(58, "1*2");
  ok(56);
  ok(69, "0");
  openReceipt();
  ok(49, "Tea\tA1.20");
  ok(53, "N+0.50");
  // Reads whose answers do not move with the wall clock.
  const std::vector<std::pair<std::uint8_t, std::string>> kReads = {
      {64, "0"}, {65, "1"}, {76, ""},   {103, ""}, {110, ""},    {112, "1"},
      {113, ""}, {115, "R5"}, {43, "R0"}, {97, ""}, {99, ""},     {114, "1,2"},
  };
  std::vector<Bytes> before;
  for (const auto& [cmd, data] : kReads) before.push_back(ok(cmd, data));
  const std::string state = printer.saveState();

  PaperRoll otherPaper;
  Printer restarted(otherPaper);
  restarted.loadState(state);
  for (std::size_t i = 0; i < kReads.size(); ++i)
    EXPECT_EQ(restarted.execute(kReads[i].first, kReads[i].second).data, before[i]) << "command " << int(kReads[i].first);
  EXPECT_EQ(restarted.execute(62, "").data.substr(0, 8), "01-01-30") << "the clock keeps its setting";
  // The open receipt goes on where it was, and the next receipt takes the next number.
  EXPECT_FALSE(testBit(restarted.execute(56, "").status, bits::generalError));
  EXPECT_EQ(restarted.globalFiscalReceipts(), printer.globalFiscalReceipts() + 1);
  EXPECT_FALSE(otherPaper.text().empty()) << "the close prints on the new paper";
  EXPECT_EQ(restarted.items().at(1).sold, 2000) << "the item database keeps its sales";
  // The journal keeps the documents of both days, the one closed after the restart included.
  EXPECT_EQ(restarted.execute(120, "I").data.substr(0, 4), "1,1,");
  EXPECT_EQ(restarted.execute(48, "1,0000,1").data, "2,3");
}

TEST_F(PrinterTest, AStateFileThatCannotBeReadWholeChangesNothing) {
  openReceipt();
  ok(49, "Tea\tA1.20");
  std::string good = printer.saveState();
  auto damaged = [&](std::string from, const std::string& to) {
    const auto at = good.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return good.substr(0, at) + to + good.substr(at + from.size());
  };
  const std::vector<std::pair<const char*, std::string>> kCases = {
      {"not JSON", "{\"format\": 1, \"serial\": "},
      {"another format", damaged("\"format\": 1", "\"format\": 2")},
      {"a field missing", damaged("\"globalFiscal\"", "\"globalFiscalX\"")},
      {"a field of another type", damaged("\"serial\": \"OB00000001\"", "\"serial\": 7")},
      {"a logo row cut short", damaged(std::string(144, '0'), "00")},
  };
  PaperRoll otherPaper;
  Printer fresh(otherPaper);
  const Bytes status = fresh.execute(76, "").data;
  for (const auto& [what, text] : kCases) {
    EXPECT_THROW(fresh.loadState(text), std::runtime_error) << what;
    EXPECT_EQ(fresh.execute(76, "").data, status) << what << ": the printer changed";
  }
}

}  // namespace
}  // namespace orbantis::emulator
