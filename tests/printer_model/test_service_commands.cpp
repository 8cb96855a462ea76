// Logo rows and service commands 109 to 121: what goes on the wire, which
// inputs are refused, how answers are cut into values and checked.
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

// One logo row as the logo form writes it: 72 bytes as 144 hexadecimal digits.
std::string LogoRow() {
  std::string row;
  for (int i = 0; i < 72; ++i) row += i % 2 ? "ff" : "0a";
  return row;
}

TEST(ServiceCommands, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_115_0", {"0", LogoRow()}, Server, 0x73, "0," + LogoRow()},
      {"CMD_115_0", {"95", "a"}, Server, 0x73, "95,a"},
      {"CMD_115_0", {"5", ""}, Server, 0x73, "5,"},
      {"CMD_115_1", {"95"}, Server, 0x73, "R95"},
      {"CMD_116_0", {"1024", "64"}, Server, 0x74, "1024,64"},
      {"CMD_116_0", {"1234567", "8"}, Server, 0x74, "12345,8"},
      {"CMD_116_0", {"1234567", "8"}, Uncut, 0x74, "1234567,8"},
      {"CMD_121_0_0", {"", ""}, Server, 0x79, ","},
      {"CMD_121_0_0", {"0x3FFFF", "128"}, Server, 0x79, "0x3FFFF,128"},
      {"CMD_110_0", {}, Server, 0x6E, ""},
      {"CMD_112_0", {"3"}, Server, 0x70, "3"},
      {"CMD_113_0", {}, Server, 0x71, ""},
      {"CMD_109_0", {"01"}, Server, 0x6D, "01"},
      {"CMD_117_0", {}, Server, 0x75, ""},
      {"CMD_118_0", {}, Server, 0x76, ""},
  };
  test::ExpectDataFields(cases, "P");
}

TEST(ServiceCommands, InputChecks) {
  const CodeCase cases[] = {
      {"CMD_115_0", {"0", "ab"}, 0},
      {"CMD_115_0", {"95", "a"}, 0},
      {"CMD_115_0", {"96", "ab"}, -10511},
      {"CMD_115_0", {"-1", "ab"}, -10512},
      {"CMD_115_0", {"x", "ab"}, -10511},
      {"CMD_115_0", {"", "ab"}, -10500},
      {"CMD_115_0", {"5", ""}, -10500},
      {"CMD_115_1", {"96"}, -10511},
      {"CMD_115_1", {"0"}, 0},
      // The length comes first: six characters fail before the range is looked at.
      {"CMD_116_0", {"262144", "1"}, -10502},
      {"CMD_116_0", {"99999", "1"}, 0},
      {"CMD_116_0", {"-1", "1"}, -10512},
      {"CMD_116_0", {"abc", "1"}, -10511},
      {"CMD_116_0", {"0", "64"}, 0},
      {"CMD_116_0", {"0", "65"}, -10511},
      {"CMD_116_0", {"0", "0"}, -10512},
      {"CMD_116_0", {"0", ""}, -10500},
      // Never checked.
      {"CMD_121_0_0", {"", ""}, 0},
      {"CMD_121_0_0", {"not an address", "x"}, 0},
      {"CMD_112_0", {""}, -10500},
      {"CMD_112_0", {"x"}, -10510},
      {"CMD_112_0", {"17"}, -10511},
      {"CMD_112_0", {"0"}, -10512},
      {"CMD_112_0", {"16"}, 0},
      // Only 1 passes, however it is written.
      {"CMD_109_0", {"1"}, 0},
      {"CMD_109_0", {"01"}, 0},
      {"CMD_109_0", {"2"}, -10511},
      {"CMD_109_0", {"0"}, -10512},
      {"CMD_109_0", {"y"}, -10511},
      {"CMD_109_0", {""}, -10500},
  };
  // Input checks on, answer checks off: the code tells about the inputs only.
  test::ExpectInputChecks(cases, {.answer = "P", .switches = Switches::InputOnly});
}

TEST(ServiceCommands, AnswersAreCutIntoValuesAndChecked) {
  const AnswerCase cases[] = {
      {"CMD_115_1", {"3"}, LogoRow(), {LogoRow()}, 0},
      {"CMD_115_1", {"3"}, "00ff,rest", {"00ff"}, 0},
      {"CMD_115_1", {"3"}, "", {""}, -10524},
      {"CMD_116_0", {"0", "4"}, "0A1B2C3D; 7", {"0A1B2C3D; 7"}, 0},  // only "," ends it
      {"CMD_116_0", {"0", "4"}, ",0A1B", {""}, -10524},
      // Data end at the first of five separators.
      {"CMD_121_0_0", {"0", "4"}, "0A1B2C3D", {"0A1B2C3D"}, 0},
      {"CMD_121_0_0", {"0", "4"}, "ab,cd", {"ab"}, 0},
      {"CMD_121_0_0", {"0", "4"}, "ab;cd", {"ab"}, 0},
      {"CMD_121_0_0", {"0", "4"}, "ab\ncd", {"ab"}, 0},
      {"CMD_121_0_0", {"0", "4"}, "ab\tcd", {"ab"}, 0},
      {"CMD_121_0_0", {"0", "4"}, "ab cd", {"ab"}, 0},
      {"CMD_121_0_0", {"0", "4"}, " abc", {""}, -10524},
      {"CMD_121_0_0", {"0", "4"}, ";abc", {""}, -10524},
      // Payment totals: Pay_J to Pay_L may be empty, the others not.
      {"CMD_110_0", {}, "1.00,2.00,3.00,4.00,5.00,,,,12,345",
       {"1.00", "2.00", "3.00", "4.00", "5.00", "", "", "", "12", "345"}, 0},
      {"CMD_110_0", {}, "1,2,3,4,5,6,7,8,,345", {"1", "2", "3", "4", "5", "6", "7", "8", "", "345"}, -10524},
      {"CMD_110_0", {}, "1,2,3,4,,6,7,8,12,345", {"1", "2", "3", "4", "", "6", "7", "8", "12", "345"}, -10524},
      {"CMD_110_0", {}, "1,2,3,4,5,6,7,8,x,345", {"1", "2", "3", "4", "5", "6", "7", "8", "x", "345"}, 0},
      {"CMD_110_0", {}, "1,2,3,4,5,6,7,8,12,3.5", {"1", "2", "3", "4", "5", "6", "7", "8", "12", "3.5"}, -10521},
      // Operator figures.
      {"CMD_112_0", {"1"}, "4,17,120.50,1,2.00,0,0.00,1,3.00,ANNA,0000",
       {"4", "17", "120.50", "1", "2.00", "0", "0.00", "1", "3.00", "ANNA", "0000"}, 0},
      {"CMD_112_0", {"1"}, "4,17,120.50,1,2.00,0,0.00,1,3.00", {"4", "17", "120.50", "1", "2.00", "0", "0.00", "1", "3.00", "", ""},
       0},
      {"CMD_112_0", {"1"}, "4,17,abc,1,2.00,0,0.00,1,3.00,ANNA,0000",
       {"4", "17", "abc", "1", "2.00", "0", "0.00", "1", "3.00", "ANNA", "0000"}, -10516},
      // Each value's tests run before the next value is looked at.
      {"CMD_112_0", {"1"}, "x,,120.50,1,2.00,0,0.00,1,3.00,ANNA,0000",
       {"x", "", "120.50", "1", "2.00", "0", "0.00", "1", "3.00", "ANNA", "0000"}, -10521},
      {"CMD_112_0", {"1"}, "4,,120.50,1,2.00,0,0.00,1,3.00,ANNA,0000",
       {"4", "", "120.50", "1", "2.00", "0", "0.00", "1", "3.00", "ANNA", "0000"}, -10524},
      // Document counters.
      {"CMD_113_0", {}, "120,45,165", {"120", "45", "165"}, 0},
      {"CMD_113_0", {}, "120,45", {"120", "45", ""}, -10524},
      {"CMD_113_0", {}, "120,45,z", {"120", "45", "z"}, -10521},
      {"CMD_118_0", {}, "42", {"42"}, 0},
      {"CMD_118_0", {}, "", {""}, -10524},
      // No answer step: whatever comes back is not read.
      {"CMD_117_0", {}, "F,anything", {}, 0},
      {"CMD_115_0", {"1", "ab"}, "F", {}, 0},
  };
  test::ExpectAnswers(cases);
}

TEST(ServiceCommands, SilentPrinterGivesMinus4WithoutAnswerStepAndMinus5WithOne) {
  const CodeCase cases[] = {
      {"CMD_115_0", {"0", "ab"}, -4},
      {"CMD_109_0", {"1"}, -4},
      {"CMD_117_0", {}, -4},
      {"CMD_115_1", {"0"}, -5},
      {"CMD_118_0", {}, -5},
  };
  test::ExpectSilentPrinterCodes(cases);
}

TEST(ServiceCommands, NamedMethodsPassTheirValues) {
  EngineOnPty e(AnswerWith("0a0b;0c"));
  ServerSwitches(e.connector());
  AnsiString data = "stale";
  EXPECT_EQ(e.engine->CMD_121_0_0("256", "3", data), 0);
  EXPECT_EQ(data, "0a0b");
  EXPECT_EQ(e.engine->CMD_115_0("7", LogoRow()), 0);
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].data, "256,3");
  EXPECT_EQ(requests[1].data, "7," + LogoRow());
}

}  // namespace
}  // namespace orbantis
