// Round trips against the software printer: the item database, a receipt's
// totals, and a closure read back from fiscal memory and the journal.
#include <gtest/gtest.h>

#include "EmulatorFixture.h"

namespace orbantis {
namespace {

AnsiStrings Exec(test::ModelOnEmulator& e, const char* method, const AnsiStrings& in, std::int32_t expected = 0) {
  AnsiStrings out;
  EXPECT_EQ(e.model->Run(method, in, out), expected) << method << ": " << e.model->FLastErrorMessage;
  return out;
}

TEST(DatabaseOnEmulator, ItemsProgrammedAndReadBackWithEverySelector) {
  test::ModelOnEmulator e;
  Exec(e, "CMD_107_1_0", {"A", "5", "1", "2.50", "", "10", "Coffee"});
  Exec(e, "CMD_107_1_0", {"B", "10", "2", "1.20", "", "50", "Water"});
  Exec(e, "CMD_107_1_0", {"A", "20", "1", "3.00", "", "5", "Cake"});
  EXPECT_EQ(Exec(e, "CMD_107_0_0", {}).at(2), "3") << "three items programmed";

  // Record: ErrorCode, PLU, tax group, group, price, total, sold, available, name.
  struct Read {
    const char* method;
    AnsiStrings in;
    const char* plu;
    const char* name;
  } reads[] = {
      {"CMD_107_5_0", {"10"}, "10", "Water"},  {"CMD_107_6_0", {"1"}, "5", "Coffee"},
      {"CMD_107_8_0", {}, "10", "Water"},      {"CMD_107_7_0", {"999"}, "20", "Cake"},
  };
  for (const auto& r : reads) {
    SCOPED_TRACE(r.method);
    const AnsiStrings out = Exec(e, r.method, r.in);
    EXPECT_EQ(out.at(0), "P");
    EXPECT_EQ(std::stoi(out.at(1)), std::stoi(r.plu));
    EXPECT_EQ(out.at(8), r.name);
  }
  const AnsiStrings water = Exec(e, "CMD_107_5_0", {"10"});
  EXPECT_EQ(water.at(2), "B");
  EXPECT_EQ(water.at(4), "1.20");

  // Selling one item makes it the only one the sales selectors find.
  Exec(e, "CMD_48_0_0", {"1", "0000", "1"});
  Exec(e, "CMD_58_0_3", {"20", "2"});
  Exec(e, "CMD_53_0_2", {"P"});
  Exec(e, "CMD_56_0_0", {});
  EXPECT_EQ(std::stoi(Exec(e, "CMD_107_9_0", {"1"}).at(1)), 20);
  EXPECT_EQ(std::stoi(Exec(e, "CMD_107_10_0", {"999"}).at(1)), 20);
  const AnsiStrings cake = Exec(e, "CMD_107_5_0", {"20"});
  EXPECT_EQ(cake.at(7), "3.000") << "5 in stock, 2 sold";

  // Free numbers, quantity and price changes, deletion.
  EXPECT_EQ(std::stoi(Exec(e, "CMD_107_12_0", {"5"}).at(1)), 6);
  EXPECT_EQ(std::stoi(Exec(e, "CMD_107_12_1", {"20"}).at(1)), 19);
  Exec(e, "CMD_107_3_0", {"5", "2.80"});
  EXPECT_EQ(Exec(e, "CMD_107_5_0", {"5"}).at(4), "2.80");
  Exec(e, "CMD_107_4_1", {"5"});
  EXPECT_EQ(Exec(e, "CMD_107_5_0", {"5"}).at(0), "F") << "a deleted item is refused, and the answer check accepts that";
  Exec(e, "CMD_107_4_0", {});
  EXPECT_EQ(Exec(e, "CMD_107_0_0", {}).at(2), "0");
}

TEST(DatabaseOnEmulator, ReceiptTotalsAgreeOnPaperAndInTheReads) {
  test::ModelOnEmulator e;
  Exec(e, "CMD_48_0_0", {"1", "0000", "1"});
  Exec(e, "CMD_49_0_6", {"Tea", "A", "10.00", "2", "cup", "-10"});  // 20.00 less 10 %
  Exec(e, "CMD_49_0_4", {"B", "5.00", "1", "pcs", "-1.00"});        // 5.00 less 1.00
  const AnsiStrings sub = Exec(e, "CMD_51_0_0", {"1", "0"});
  EXPECT_EQ(sub.at(0), "22.00");
  const AnsiStrings pay = Exec(e, "CMD_53_0_0", {"P", "50.00"});
  EXPECT_EQ(pay.at(0), "R");
  EXPECT_EQ(pay.at(1), "28.00");
  Exec(e, "CMD_56_0_0", {});
  const std::string paper = e.emulator.paperText();
  EXPECT_NE(paper.find("22.00"), std::string::npos);
  EXPECT_NE(paper.find("28.00"), std::string::npos);
  const AnsiStrings totals = Exec(e, "CMD_65_0_0", {"0"});
  EXPECT_EQ(totals.at(0), "18.00");
  EXPECT_EQ(totals.at(1), "4.00");
}

TEST(DatabaseOnEmulator, AClosureIsReadBackFromFiscalMemoryAndJournal) {
  test::ModelOnEmulator e;
  Exec(e, "CMD_48_0_0", {"1", "0000", "1"});
  Exec(e, "CMD_49_0_0", {"A", "10.00"});
  Exec(e, "CMD_49_0_0", {"B", "5.00"});
  Exec(e, "CMD_53_0_2", {"P"});
  Exec(e, "CMD_56_0_0", {});
  const AnsiStrings z = Exec(e, "CMD_69_0_0", {"0", "", ""});
  const std::string closure = z.at(0);
  EXPECT_EQ(z.at(1), "10.00");
  EXPECT_EQ(z.at(2), "5.00");

  const AnsiStrings last = Exec(e, "CMD_64_0_0", {"0"});
  EXPECT_EQ(last.at(0), closure);
  EXPECT_EQ(last.at(1), "10.00");

  const AnsiStrings fm = Exec(e, "CMD_114_1", {closure});
  EXPECT_EQ(fm.at(0), "P");
  EXPECT_EQ(std::stoi(fm.at(1)), std::stoi(closure));
  EXPECT_EQ(fm.at(3), "10.00");
  EXPECT_EQ(fm.at(4), "5.00");

  const AnsiStrings journal = Exec(e, "CMD_120_0", {});
  EXPECT_EQ(std::stoi(journal.at(1)), std::stoi(closure)) << "the journal's last Z number";
}

}  // namespace
}  // namespace orbantis
