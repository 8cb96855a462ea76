// Texts, lines, barcodes and sounds: what goes on the wire, which inputs are
// refused, how the receipt counters come back.
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

const AnsiString k25 = "abcdefghijklmnopqrstuvwxy";
const AnsiString k60 = AnsiString(30, 'x') + AnsiString(30, 'y');

TEST(TextCommands, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_33_0_0", {}, Checked, 0x21, ""},

      {"CMD_35_0_0", {k25.substr(0, 20)}, Checked, 0x23, k25.substr(0, 20)},
      {"CMD_35_0_0", {k25}, Server, 0x23, k25.substr(0, 20)},
      {"CMD_35_0_0", {k25}, Uncut, 0x23, k25},
      {"CMD_47_0_0", {k25}, Server, 0x2F, k25.substr(0, 20)},
      {"CMD_47_0_0", {k25}, Uncut, 0x2F, k25},

      {"CMD_38_0_0", {}, Checked, 0x26, ""},
      {"CMD_39_0_0", {}, Checked, 0x27, ""},

      // Never cut, whatever its length.
      {"CMD_42_0_0", {k60}, Checked, 0x2A, k60},
      {"CMD_42_0_0", {k60}, Server, 0x2A, k60},

      {"CMD_44_0_0", {"1"}, Checked, 0x2C, "1"},
      {"CMD_44_0_0", {"99"}, Checked, 0x2C, "99"},
      {"CMD_44_0_0", {"0"}, Server, 0x2C, "0"},  // unchecked: the printer decides

      {"CMD_45_0_0", {}, Checked, 0x2D, ""},

      {"CMD_80_0_0", {"C4 100\tE4 200,G4"}, Checked, 0x50, "C4 100\tE4 200,G4"},

      // The two barcode commands differ only in the separator.
      {"CMD_84_0_0", {"3", "123"}, Checked, 0x54, "3,123"},
      {"CMD_84_0_1", {"3", "123"}, Checked, 0x54, "3;123"},
      {"CMD_84_0_0", {"12", k60}, Server, 0x54, "1," + k60.substr(0, 32)},
      {"CMD_84_0_1", {"12", k60}, Uncut, 0x54, "12;" + k60},
      {"CMD_84_0_0", {"", ""}, Server, 0x54, ","},

      {"CMD_92_0_0", {"2"}, Checked, 0x5C, "2"},

      {"CMD_100_0_0", {k60.substr(0, 40)}, Checked, 0x64, k60.substr(0, 40)},
      {"CMD_100_0_0", {k60}, Server, 0x64, k60.substr(0, 40)},
      {"CMD_100_0_0", {k60}, Uncut, 0x64, k60},

      {"CMD_106_0_0", {"0"}, Checked, 0x6A, "0"},
      {"CMD_106_0_0", {"100"}, Checked, 0x6A, "100"},
      {"CMD_106_0_0", {"0100"}, Checked, 0x6A, "0100"},  // sent as written
  };
  test::ExpectDataFields(cases);
}

TEST(TextCommands, FailedInputChecksSendNothing) {
  const CodeCase cases[] = {
      {"CMD_35_0_0", {k25}, -10502},
      {"CMD_35_0_0", {""}, -10500},
      {"CMD_47_0_0", {k25.substr(0, 21)}, -10502},
      {"CMD_47_0_0", {""}, -10500},
      {"CMD_42_0_0", {""}, -10500},

      // A text that is no integer counts as above the bound.
      {"CMD_44_0_0", {"0"}, -10512},
      {"CMD_44_0_0", {"100"}, -10511},
      {"CMD_44_0_0", {"x"}, -10511},
      {"CMD_44_0_0", {"1.5"}, -10511},
      {"CMD_44_0_0", {""}, -10500},

      {"CMD_80_0_0", {""}, -10500},

      {"CMD_84_0_0", {"6", "1"}, -10504},
      {"CMD_84_0_0", {"12", "1"}, -10502},  // the length rule comes before the list
      {"CMD_84_0_0", {"", "1"}, -10500},
      {"CMD_84_0_0", {"3", ""}, -10500},
      {"CMD_84_0_1", {"0", "1"}, -10504},
      {"CMD_84_0_1", {"3", k60.substr(0, 33)}, -10502},

      {"CMD_92_0_0", {"4"}, -10504},
      {"CMD_92_0_0", {"0"}, -10504},
      {"CMD_92_0_0", {""}, -10500},

      {"CMD_100_0_0", {k60.substr(0, 41)}, -10502},
      {"CMD_100_0_0", {""}, -10500},

      {"CMD_106_0_0", {"-1"}, -10512},
      {"CMD_106_0_0", {"101"}, -10511},
      {"CMD_106_0_0", {"ms"}, -10511},
      {"CMD_106_0_0", {""}, -10500},
  };
  test::ExpectInputChecks(cases, {.switches = Switches::Checked});
}

TEST(TextCommands, ReceiptCountersMustBeIntegers) {
  const AnswerCase cases[] = {
      {"CMD_38_0_0", {}, "12,345", {"12", "345"}, 0},
      {"CMD_39_0_0", {}, "12,345", {"12", "345"}, 0},
      {"CMD_38_0_0", {}, "12,345,extra", {"12", "345"}, 0},
      {"CMD_38_0_0", {}, "12", {"12", ""}, -10521},  // an empty counter fails the parse
      {"CMD_39_0_0", {}, "", {"", ""}, -10521},
      {"CMD_39_0_0", {}, "1x,2", {"1x", "2"}, -10521},
      {"CMD_38_0_0", {}, "1,2.0", {"1", "2.0"}, -10521},
  };
  test::ExpectAnswers(cases);
}

TEST(TextCommands, NamedMethodsTakeTheirParametersInDeclaredOrder) {
  EngineOnPty e(AnswerWith("7,1234"));
  ServerSwitches(e.connector());
  AnsiString recCnt, globRecCnt;
  EXPECT_EQ(e.engine->CMD_39_0_0(recCnt, globRecCnt), 0);
  EXPECT_EQ(recCnt, "7");
  EXPECT_EQ(globRecCnt, "1234");
  EXPECT_EQ(e.engine->CMD_84_0_1("5", "ABC-123"), 0);
  EXPECT_EQ(e.engine->CMD_33_0_0(), 0);
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].data, "5;ABC-123");
  EXPECT_EQ(requests[2].cmd, 0x21);
}

}  // namespace
}  // namespace orbantis
