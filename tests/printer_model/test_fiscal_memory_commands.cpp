// The fiscal memory reads of command 114: what goes on the wire, which inputs
// are refused, how answers are cut into values and checked.
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

TEST(FiscalMemoryCommands, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_114_0", {"12"}, Server, 0x72, "12,0"},
      {"CMD_114_1", {"12"}, Server, 0x72, "12,1"},
      {"CMD_114_2", {"1", "5"}, Server, 0x72, "1,1,5"},
      {"CMD_114_3", {"12"}, Server, 0x72, "12,2"},
      {"CMD_114_4", {"1", "5"}, Server, 0x72, "1,2,5"},
      {"CMD_114_5", {"12"}, Server, 0x72, "12,3"},
      {"CMD_114_6", {"1", "5"}, Server, 0x72, "1,3,5"},
      {"CMD_114_7", {"12"}, Server, 0x72, "12,4"},
      {"CMD_114_8", {"12"}, Server, 0x72, "12,5"},
      {"CMD_114_9", {"12"}, Server, 0x72, "12,6"},
      {"CMD_114_10", {"12", "3"}, Server, 0x72, "12,7,3"},
      {"CMD_114_10", {"12", "6"}, Server, 0x72, "12,7,6"},  // unchecked: the printer decides
      {"CMD_114_11", {"12"}, Server, 0x72, "12,8"},
      {"CMD_114_2", {"123456789012345", ""}, Server, 0x72, "123456789012345,1,"},  // never cut; separators stay
  };
  test::ExpectDataFields(cases, "P");
}

TEST(FiscalMemoryCommands, InputChecks) {
  const CodeCase cases[] = {
      {"CMD_114_0", {""}, -10500},
      {"CMD_114_0", {"x"}, -10510},
      {"CMD_114_0", {"1.0"}, -10510},
      {"CMD_114_0", {"-3"}, 0},  // any integer
      {"CMD_114_11", {"0"}, 0},
      {"CMD_114_2", {"x", "1"}, -10510},
      {"CMD_114_2", {"1", "x"}, -10510},
      {"CMD_114_4", {"1", ""}, -10500},
      {"CMD_114_6", {"9", "1"}, 0},  // the range is not compared
      {"CMD_114_10", {"1", "0"}, 0},
      {"CMD_114_10", {"1", "5"}, 0},
      {"CMD_114_10", {"1", "6"}, -10504},
      {"CMD_114_10", {"1", "05"}, -10504},
      {"CMD_114_10", {"1", ""}, -10500},
      {"CMD_114_10", {"x", "1"}, -10510},
  };
  // Input checks on, answer checks off: the code tells about the inputs only.
  test::ExpectInputChecks(cases, {.answer = "P", .switches = Switches::InputOnly});
}

TEST(FiscalMemoryCommands, AnswersAreCutIntoValuesAndChecked) {
  const AnswerCase cases[] = {
      {"CMD_114_0", {"1"}, "P,1,2,1,18.00,8.00,0.00,0.00,0.00,0.00,01-01-2026 10:00",
       {"P", "1", "2", "1", "18.00", "8.00", "0.00", "0.00", "0.00", "0.00", "01-01-2026 10:00"}, 0},
      {"CMD_114_2", {"1", "5"}, "P,5,1,10.00,20.00,0,0,0,0",
       {"P", "5", "1", "10.00", "20.00", "0", "0", "0", "0"}, 0},
      {"CMD_114_3", {"1"}, "P,1,1,,2,3,4,5,6", {"P", "1", "1", "", "2", "3", "4", "5", "6"}, -10524},
      {"CMD_114_6", {"1", "5"}, "E,5,1,1,2,3,4,5,6", {"E", "5", "1", "1", "2", "3", "4", "5", "6"}, 0},
      {"CMD_114_8", {"1"}, "P,2,1,18,8,0,0,0,0,dt", {"P", "2", "1", "18", "8", "0", "0", "0", "0", "dt"}, 0},
      // Only the counters record needs an integer closure number.
      {"CMD_114_1", {"1"}, "P,x,1,1,2,3,4,5,6", {"P", "x", "1", "1", "2", "3", "4", "5", "6"}, 0},
      {"CMD_114_7", {"1"}, "P,x,1,2,3,4,5,6", {"P", "x", "1", "2", "3", "4", "5", "6"}, -10521},
      {"CMD_114_7", {"1"}, "P,12,1,2,3,4,5,6", {"P", "12", "1", "2", "3", "4", "5", "6"}, 0},
      {"CMD_114_7", {"1"}, "P,,1,2,3,4,5,6", {"P", "", "1", "2", "3", "4", "5", "6"}, -10524},
      // The status letter.
      {"CMD_114_9", {"1"}, "P,01-01-2026 10:00,extra", {"P", "01-01-2026 10:00"}, 0},
      {"CMD_114_9", {"1"}, "p,01-01-2026 10:00", {"p", "01-01-2026 10:00"}, -10515},
      {"CMD_114_11", {"1"}, "PE,dt", {"PE", "dt"}, -10515},
      {"CMD_114_11", {"1"}, "", {"", ""}, -10524},
      // "F" and "E" answers must still carry every field.
      {"CMD_114_9", {"1"}, "F", {"F", ""}, -10524},
      {"CMD_114_5", {"1"}, "E", {"E", "", "", "", "", "", "", "", ""}, -10524},
      // A header line holding "," comes back up to it.
      {"CMD_114_10", {"1", "2"}, "P,01-01-2026,ACME, Ltd.", {"P", "01-01-2026", "ACME"}, 0},
  };
  test::ExpectAnswers(cases);
}

TEST(FiscalMemoryCommands, NamedMethodsPassTheirValues) {
  EngineOnPty e(AnswerWith("P,01-01-2026 10:00,SHOP NAME"));
  ServerSwitches(e.connector());
  AnsiString code, dt, line = "stale";
  EXPECT_EQ(e.engine->CMD_114_10("7", "0", code, dt, line), 0);
  EXPECT_EQ((AnsiStrings {code, dt, line}), (AnsiStrings {"P", "01-01-2026 10:00", "SHOP NAME"}));
  EXPECT_EQ(e.peer->Requests().at(0).data, "7,7,0");
}

}  // namespace
}  // namespace orbantis
