// The electronic journal, command 120: what goes on the wire, which inputs are
// refused, and the two ways an answer is taken apart.
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

const AnsiStrings kText = {"0001", "0009"};
const AnsiStrings kNumbers = {"1", "2", "3", "4"};

TEST(JournalCommands, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_120_0", {}, Server, 0x78, "I"},
      {"CMD_120_1", {}, Server, 0x78, "F"},
      {"CMD_120_2", {"5"}, Server, 0x78, "FFD5"},
      {"CMD_120_3", kText, Server, 0x78, "FFD0001,0009"},
      {"CMD_120_4", kNumbers, Server, 0x78, "FF1,2,3,4"},
      {"CMD_120_5", {"5"}, Server, 0x78, "FLD5"},
      {"CMD_120_6", kText, Server, 0x78, "FLD0001,0009"},
      {"CMD_120_7", kNumbers, Server, 0x78, "FL1,2,3,4"},
      {"CMD_120_8", {"5"}, Server, 0x78, "FID5"},
      {"CMD_120_9", kText, Server, 0x78, "FID0001,0009"},
      {"CMD_120_10", kNumbers, Server, 0x78, "FI1,2,3,4"},
      {"CMD_120_11", {}, Server, 0x78, "PL"},
      {"CMD_120_12", kText, Server, 0x78, "PLFD0001,0009"},
      {"CMD_120_13", kNumbers, Server, 0x78, "PLF1,2,3,4"},
      {"CMD_120_14", kText, Server, 0x78, "PLLD0001,0009"},
      {"CMD_120_15", kNumbers, Server, 0x78, "PLL1,2,3,4"},
      {"CMD_120_16", kText, Server, 0x78, "PLID0001,0009"},
      {"CMD_120_17", kNumbers, Server, 0x78, "PLI1,2,3,4"},
      {"CMD_120_18", {}, Server, 0x78, "PS"},
      {"CMD_120_19", kText, Server, 0x78, "PSFD0001,0009"},
      {"CMD_120_20", kNumbers, Server, 0x78, "PSF1,2,3,4"},
      {"CMD_120_21", kText, Server, 0x78, "PSLD0001,0009"},
      {"CMD_120_22", kNumbers, Server, 0x78, "PSL1,2,3,4"},
      {"CMD_120_23", kText, Server, 0x78, "PSID0001,0009"},
      {"CMD_120_24", kNumbers, Server, 0x78, "PSI1,2,3,4"},
      {"CMD_120_25", {}, Server, 0x78, "N"},
      {"CMD_120_26", {}, Server, 0x78, "CL"},
      {"CMD_120_27", {}, Server, 0x78, "CS"},
      // Cuts: the year to 2 characters, range texts to 10, numbers never.
      {"CMD_120_2", {"123"}, Server, 0x78, "FFD12"},
      {"CMD_120_2", {"123"}, Uncut, 0x78, "FFD123"},
      {"CMD_120_3", {"12345678901", "abcdefghijk"}, Server, 0x78, "FFD1234567890,abcdefghij"},
      {"CMD_120_3", {"12345678901", "abcdefghijk"}, Uncut, 0x78, "FFD12345678901,abcdefghijk"},
      {"CMD_120_13", {"12345678901", "", "3", "-4"}, Server, 0x78, "PLF12345678901,,3,-4"},
  };
  test::ExpectDataFields(cases, "P");
}

TEST(JournalCommands, InputChecks) {
  const CodeCase cases[] = {
      {"CMD_120_2", {""}, -10500},
      {"CMD_120_2", {"123"}, -10502},
      {"CMD_120_2", {"x"}, -10511},
      {"CMD_120_2", {"13"}, -10511},
      {"CMD_120_2", {"0"}, -10512},
      {"CMD_120_5", {"1"}, 0},
      {"CMD_120_8", {"12"}, 0},
      {"CMD_120_3", {"12345678901", "1"}, -10502},
      {"CMD_120_6", {"1", ""}, -10500},
      {"CMD_120_9", {"any text", "z y"}, 0},  // the texts are not looked into
      {"CMD_120_9", {"any text", "z,y"}, -3},  // but never hold the "," that parts them
      {"CMD_120_19", {"1234567890", "9"}, 0},
      {"CMD_120_4", {"1", "2", "x", "4"}, -10510},
      {"CMD_120_7", {"", "2", "3", "4"}, -10500},
      {"CMD_120_13", {"9", "1", "-1", "0"}, 0},  // the bounds are not compared
      {"CMD_120_24", {"1", "2", "3", "4.0"}, -10510},
  };
  // Input checks on, answer checks off: the code tells about the inputs only.
  test::ExpectInputChecks(cases, {.answer = "P", .switches = Switches::InputOnly});
}

TEST(JournalCommands, AnswersAreCutIntoValuesAndChecked) {
  const AnswerCase cases[] = {
      // The journal's information.
      {"CMD_120_0", {}, "3,120,101,35,8000,12000", {"3", "120", "101", "35", "8000", "12000"}, 0},
      {"CMD_120_0", {}, "x,120,101,35,8000,12000", {"x", "120", "101", "35", "8000", "12000"}, -10521},
      {"CMD_120_0", {}, "3,120,101,35,lots,12000", {"3", "120", "101", "35", "lots", "12000"}, 0},
      {"CMD_120_0", {}, "3,120,101,35,,12000", {"3", "120", "101", "35", "", "12000"}, -10524},
      // Whole answer: the letter, then everything from the third character.
      {"CMD_120_1", {}, "P,Z 0012, 14:02", {"P", "Z 0012, 14:02"}, 0},
      {"CMD_120_2", {"5"}, "P", {"P", ""}, 0},
      {"CMD_120_4", kNumbers, "F,", {"F", ""}, 0},
      {"CMD_120_10", kNumbers, "PX", {"P", ""}, 0},
      {"CMD_120_25", {}, "PXY", {"P", "Y"}, 0},
      {"CMD_120_7", kNumbers, "p,text", {"p", "text"}, -10515},
      {"CMD_120_9", kText, "", {"", ""}, -10524},
      // Split: item 0 whole, item 1, nothing after.
      {"CMD_120_11", {}, "P,Z 0012, 14:02", {"P", "Z 0012"}, 0},
      {"CMD_120_26", {}, "F", {"F", ""}, 0},
      {"CMD_120_27", {}, "PX,abc", {"PX", "abc"}, -10515},
      {"CMD_120_20", kNumbers, ",abc", {"", "abc"}, -10524},
  };
  test::ExpectAnswers(cases);
}

TEST(JournalCommands, OneExchangePerCall) {
  EngineOnPty e(AnswerWith("P,line 1\nline 2"));
  ServerSwitches(e.connector());
  AnsiString status, text;
  EXPECT_EQ(e.engine->CMD_120_3("0001", "0009", status, text), 0);
  EXPECT_EQ(status, "P");
  EXPECT_EQ(text, "line 1\nline 2");
  EXPECT_EQ(e.peer->Requests().size(), 1u);
}

}  // namespace
}  // namespace orbantis
