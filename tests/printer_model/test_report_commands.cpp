// Reports and cash operations: what goes on the wire, which inputs are
// refused, how the answers are cut and checked.
#include <gtest/gtest.h>

#include "CommandTables.h"
#include "support/EngineFixture.h"

namespace orbantis {
namespace {

using test::AnswerCase;
using test::AnswerWith;
using test::CodeCase;
using test::EngineOnPty;
using test::ServerSwitches;
using test::Switches;
using test::WireCase;

TEST(ReportCommands, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_50_0_0", {"010126", "311226"}, Checked, 0x32, "010126,311226"},
      {"CMD_50_0_0", {"0101260", "3112261"}, Server, 0x32, "010126,311226"},
      {"CMD_50_0_0", {"0101260", "3112261"}, Uncut, 0x32, "0101260,3112261"},
      {"CMD_50_0_0", {"", ""}, Server, 0x32, ","},

      // Joined with nothing between them; N and A are not checked, but N is
      // one letter at most (a longer one is refused, see test_field_structure).
      {"CMD_69_0_0", {"0", "N", ""}, Checked, 0x45, "0N"},
      {"CMD_69_0_0", {"2", "N", "A"}, Checked, 0x45, "2NA"},
      {"CMD_69_0_0", {"0", "N", "anything long, at all"}, Checked, 0x45, "0Nanything long, at all"},
      {"CMD_69_0_0", {"1", "", ""}, Server, 0x45, "1"},

      {"CMD_70_0_0", {"-5.00"}, Checked, 0x46, "-5.00"},
      {"CMD_70_0_0", {"12.5"}, Checked, 0x46, "12.5"},
      {"CMD_70_0_0", {"1234567890"}, Server, 0x46, "123456789"},
      {"CMD_70_0_0", {"1234567890"}, Uncut, 0x46, "1234567890"},
      {"CMD_70_0_0", {""}, Server, 0x46, ""},

      // Ext stands right before the first bound.
      {"CMD_73_0_0", {"", "1", "20"}, Checked, 0x49, "1,20"},
      {"CMD_73_0_0", {"X", "0001", "0150"}, Checked, 0x49, "X0001,0150"},
      {"CMD_73_0_0", {"XY", "12345", "67890"}, Server, 0x49, "X1234,6789"},
      {"CMD_73_0_0", {"X", "12345", "67890"}, Uncut, 0x49, "X12345,67890"},

      // The reports by date never cut Ext (so a longer one is refused, see
      // test_field_structure); the dates are cut.
      {"CMD_79_0_0", {"X", "0101260", "311226"}, Server, 0x4F, "X010126,311226"},
      {"CMD_79_0_0", {"", "010126", "311226"}, Checked, 0x4F, "010126,311226"},
      {"CMD_94_0_0", {"X", "0101260", "311226"}, Server, 0x5E, "X010126,311226"},
      {"CMD_94_0_0", {"", "010126", "311226"}, Checked, 0x5E, "010126,311226"},

      // The numbers are not cut and have no bounds.
      {"CMD_95_0_0", {"X", "-3", "123456"}, Checked, 0x5F, "X-3,123456"},
      {"CMD_95_0_0", {"XY", "1", "99999"}, Server, 0x5F, "X1,99999"},
      {"CMD_95_0_0", {"X", "1", "99999"}, Uncut, 0x5F, "X1,99999"},
      {"CMD_95_0_0", {"", "", ""}, Server, 0x5F, ","},

      {"CMD_105_0_0", {}, Checked, 0x69, ""},
  };
  test::ExpectDataFields(cases);
}

TEST(ReportCommands, FailedInputChecksSendNothing) {
  const CodeCase cases[] = {
      {"CMD_50_0_0", {"", "311226"}, -10500},
      {"CMD_50_0_0", {"0101260", "311226"}, -10502},
      {"CMD_50_0_0", {"010126", ""}, -10500},
      {"CMD_50_0_0", {"010126", "3112260"}, -10502},

      {"CMD_69_0_0", {"1", "N", "A"}, -10504},
      {"CMD_69_0_0", {"", "N", "A"}, -10500},
      {"CMD_69_0_0", {"00", "", ""}, -10504},

      // No required rule: an empty sum is no number.
      {"CMD_70_0_0", {""}, -10505},
      {"CMD_70_0_0", {"abc"}, -10505},
      {"CMD_70_0_0", {"1,50"}, -10505},
      {"CMD_70_0_0", {"1234567890"}, -10502},
      {"CMD_70_0_0", {"abcdefghij"}, -10502},  // the length rule comes first

      {"CMD_73_0_0", {"XY", "1", "2"}, -10502},
      {"CMD_73_0_0", {"", "12345", "1"}, -10502},
      {"CMD_73_0_0", {"", "12a", "1"}, -10510},
      {"CMD_73_0_0", {"", "", "1"}, -10500},
      {"CMD_73_0_0", {"", "1", "1.0"}, -10510},
      {"CMD_73_0_0", {"", "1", ""}, -10500},

      {"CMD_79_0_0", {"", "", "311226"}, -10500},
      {"CMD_79_0_0", {"anything", "010126", "3112260"}, -10502},
      {"CMD_94_0_0", {"", "0101260", "311226"}, -10502},
      {"CMD_94_0_0", {"anything", "010126", ""}, -10500},

      // Unlike command 73, command 95 requires Ext.
      {"CMD_95_0_0", {"", "1", "2"}, -10500},
      {"CMD_95_0_0", {"XY", "1", "2"}, -10502},
      {"CMD_95_0_0", {"X", "1.5", "2"}, -10510},
      {"CMD_95_0_0", {"X", "1", "99999999999"}, -10510},
      {"CMD_95_0_0", {"X", "1", ""}, -10500},
  };
  test::ExpectInputChecks(cases, {.switches = Switches::Checked});
}

TEST(ReportCommands, AnswersAreCutIntoValuesAndChecked) {
  const AnsiStrings dates = {"010126", "311226"};
  const AnsiStrings closure = {"0", "", ""};
  const AnsiStrings sum = {"10.00"};
  const AnswerCase cases[] = {
      // The first character of the first item is the result, the rest of it AA.
      {"CMD_50_0_0", dates, "P12.50,3.00,4.00,5.00,311226", {"P", "12.50", "3.00", "4.00", "5.00", "311226"}, 0},
      {"CMD_50_0_0", dates, "P", {"P", "", "", "", "", ""}, -10524},
      {"CMD_50_0_0", dates, "P1,2,3,4", {"P", "1", "2", "3", "4", ""}, -10524},
      {"CMD_50_0_0", dates, "P1,2,3,4,3112260", {"P", "1", "2", "3", "4", "3112260"}, -10513},
      {"CMD_50_0_0", dates, "", {"", "", "", "", "", ""}, -10524},

      {"CMD_69_0_0", closure, "15,1.00,2.00,3.00,4.00,5.00,6.00",
       {"15", "1.00", "2.00", "3.00", "4.00", "5.00", "6.00"}, 0},
      {"CMD_69_0_0", closure, ",1,2,3,4,5,6", {"", "1", "2", "3", "4", "5", "6"}, -10521},
      {"CMD_69_0_0", closure, "1x,1,2,3,4,5,6", {"1x", "1", "2", "3", "4", "5", "6"}, -10521},
      {"CMD_69_0_0", closure, "15,1,2,3,4,5", {"15", "1", "2", "3", "4", "5", ""}, -10524},

      {"CMD_70_0_0", sum, "P,110.00,10.00,0.00", {"P", "110.00", "10.00", "0.00"}, 0},
      {"CMD_70_0_0", sum, "F,110.00,10.00,0.00", {"F", "110.00", "10.00", "0.00"}, 0},
      {"CMD_70_0_0", sum, "X,110.00,10.00,0.00", {"X", "110.00", "10.00", "0.00"}, -10515},
      {"CMD_70_0_0", sum, "", {"", "", "", ""}, -10515},
      {"CMD_70_0_0", sum, "P,110.00,,0.00", {"P", "110.00", "", "0.00"}, -10524},
      {"CMD_70_0_0", sum, "P,110.00,abc,0.00", {"P", "110.00", "abc", "0.00"}, -10516},
  };
  test::ExpectAnswers(cases);
}

TEST(ReportCommands, NamedMethodsTakeTheirParametersInDeclaredOrder) {
  EngineOnPty e(AnswerWith("F0.00,1.00,2.00,3.00,010126"));
  ServerSwitches(e.connector());
  AnsiString result, aa, bb, cc, dd, ddmmyy;
  EXPECT_EQ(e.engine->CMD_50_0_0("010126", "311226", result, aa, bb, cc, dd, ddmmyy), 0);
  EXPECT_EQ((AnsiStrings {result, aa, bb, cc, dd, ddmmyy}),
            (AnsiStrings {"F", "0.00", "1.00", "2.00", "3.00", "010126"}));

  // The same answer, cut at the commas only: the letter stays with its item.
  AnsiString exitCode, cashSum, servIn, servOut;
  EXPECT_EQ(e.engine->CMD_70_0_0("-5.00", exitCode, cashSum, servIn, servOut), -10515);
  EXPECT_EQ((AnsiStrings {exitCode, cashSum, servIn, servOut}), (AnsiStrings {"F0.00", "1.00", "2.00", "3.00"}));

  EXPECT_EQ(e.engine->CMD_95_0_0("X", "1", "2"), 0);
  EXPECT_EQ(e.engine->CMD_105_0_0(), 0);
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[2].data, "X1,2");
  EXPECT_EQ(requests[3].cmd, 0x69);
}

}  // namespace
}  // namespace orbantis
