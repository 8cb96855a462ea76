// A whole fiscal receipt against the software printer.
#include <gtest/gtest.h>

#include "EmulatorFixture.h"

namespace orbantis {
namespace {

TEST(ReceiptOnEmulator, OpenSellSubtotalPayClose) {
  test::ModelOnEmulator e;
  ASSERT_EQ(e.openResult, 0);
  auto& m = *e.model;
  AnsiString rec, glob;
  ASSERT_EQ(m.CMD_48_0_0("1", "0000", "1", rec, glob), 0) << m.FLastErrorMessage;
  EXPECT_FALSE(rec.empty());

  ASSERT_EQ(m.CMD_49_0_0("A", "10.00"), 0) << m.FLastErrorMessage;
  ASSERT_EQ(m.CMD_49_0_9("Bread", "white", "B", "2.50", "2", "pcs"), 0) << m.FLastErrorMessage;
  ASSERT_EQ(m.CMD_54_0_0("Thank you"), 0) << m.FLastErrorMessage;

  AnsiString sub, a, b, c, d, ee, f;
  ASSERT_EQ(m.CMD_51_0_0("1", "0", sub, a, b, c, d, ee, f), 0) << m.FLastErrorMessage;
  EXPECT_EQ(sub, "15.00");

  AnsiString code, amount;
  ASSERT_EQ(m.CMD_53_0_0("P", "20.00", code, amount), 0) << m.FLastErrorMessage;
  EXPECT_EQ(code, "R") << "paid more than due: change";
  EXPECT_EQ(amount, "5.00");

  ASSERT_EQ(m.CMD_56_0_0(rec, glob), 0) << m.FLastErrorMessage;
  const std::string paper = e.emulator.paperText();
  EXPECT_NE(paper.find("Bread"), std::string::npos);
  EXPECT_NE(paper.find("Thank you"), std::string::npos);
  EXPECT_EQ(e.emulator.executions(49), 2u);
}

TEST(ReceiptOnEmulator, ASaleWithoutAnOpenReceiptIsRefusedByThePrinter) {
  test::ModelOnEmulator e;
  EXPECT_EQ(e.model->CMD_49_0_0("A", "1.00"), -4);
  EXPECT_EQ(e.model->FLastErrorMessage,
            "Unsuccessful command execution.\r\nSome of the status bytes:\r\n"
            "General error - OR of all errors marked with #\r\n"
            "# If command cannot be performed in the current fiscal mode\r\n");
}

TEST(ReceiptOnEmulator, ARepeatedAttemptNeverSellsTwice) {
  test::ModelOnEmulator e;
  auto& m = *e.model;
  AnsiString rec, glob;
  ASSERT_EQ(m.CMD_48_0_0("1", "0000", "1", rec, glob), 0);
  // The printer sells, then its answer is damaged: the driver repeats the
  // identical frame and the printer answers from memory.
  e.emulator.faults().setBadChecksumAt(1);
  ASSERT_EQ(m.CMD_49_0_0("A", "3.00"), 0) << m.FLastErrorMessage;
  EXPECT_EQ(e.emulator.executions(49), 1u);
  EXPECT_EQ(e.emulator.counters().repeats, 1u);
  AnsiString sub, a, b, c, d, ee, f;
  ASSERT_EQ(m.CMD_51_0_0("0", "0", sub, a, b, c, d, ee, f), 0);
  EXPECT_EQ(sub, "3.00");
}

}  // namespace
}  // namespace orbantis
