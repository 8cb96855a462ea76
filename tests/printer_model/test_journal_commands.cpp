// The electronic journal, command 120: what goes on the wire, which inputs are
// refused, and the two ways an answer is taken apart.
#include <gtest/gtest.h>

#include "support/EngineFixture.h"

namespace orbantis {
namespace {

using test::AnswerWith;
using test::EngineOnPty;

// The switches the server sets when it connects.
void ServerSwitches(TConnector& c) {
  c.WITH_INPCHECK = false;
  c.WITH_OUTPCHECK = true;
  c.ALWAYS_GET_OUTPUT = true;
  c.AUTOCUT_ON = true;
}

const AnsiStrings kText = {"0001", "0009"};
const AnsiStrings kNumbers = {"1", "2", "3", "4"};

struct WireCase {
  const char* method;
  AnsiStrings in;
  bool autocut;
  std::string data;
};

TEST(JournalCommands, DataFieldsOnTheWire) {
  const WireCase cases[] = {
      {"CMD_120_0", {}, true, "I"},
      {"CMD_120_1", {}, true, "F"},
      {"CMD_120_2", {"5"}, true, "FFD5"},
      {"CMD_120_3", kText, true, "FFD0001,0009"},
      {"CMD_120_4", kNumbers, true, "FF1,2,3,4"},
      {"CMD_120_5", {"5"}, true, "FLD5"},
      {"CMD_120_6", kText, true, "FLD0001,0009"},
      {"CMD_120_7", kNumbers, true, "FL1,2,3,4"},
      {"CMD_120_8", {"5"}, true, "FID5"},
      {"CMD_120_9", kText, true, "FID0001,0009"},
      {"CMD_120_10", kNumbers, true, "FI1,2,3,4"},
      {"CMD_120_11", {}, true, "PL"},
      {"CMD_120_12", kText, true, "PLFD0001,0009"},
      {"CMD_120_13", kNumbers, true, "PLF1,2,3,4"},
      {"CMD_120_14", kText, true, "PLLD0001,0009"},
      {"CMD_120_15", kNumbers, true, "PLL1,2,3,4"},
      {"CMD_120_16", kText, true, "PLID0001,0009"},
      {"CMD_120_17", kNumbers, true, "PLI1,2,3,4"},
      {"CMD_120_18", {}, true, "PS"},
      {"CMD_120_19", kText, true, "PSFD0001,0009"},
      {"CMD_120_20", kNumbers, true, "PSF1,2,3,4"},
      {"CMD_120_21", kText, true, "PSLD0001,0009"},
      {"CMD_120_22", kNumbers, true, "PSL1,2,3,4"},
      {"CMD_120_23", kText, true, "PSID0001,0009"},
      {"CMD_120_24", kNumbers, true, "PSI1,2,3,4"},
      {"CMD_120_25", {}, true, "N"},
      {"CMD_120_26", {}, true, "CL"},
      {"CMD_120_27", {}, true, "CS"},
      // Cuts: the year to 2 characters, range texts to 10, numbers never.
      {"CMD_120_2", {"123"}, true, "FFD12"},
      {"CMD_120_2", {"123"}, false, "FFD123"},
      {"CMD_120_3", {"12345678901", "abcdefghijk"}, true, "FFD1234567890,abcdefghij"},
      {"CMD_120_3", {"12345678901", "abcdefghijk"}, false, "FFD12345678901,abcdefghijk"},
      {"CMD_120_13", {"12345678901", "", "3", "-4"}, true, "PLF12345678901,,3,-4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " -> " + c.data);
    EngineOnPty e(AnswerWith("P"));
    ServerSwitches(e.connector());
    e.connector().AUTOCUT_ON = c.autocut;
    AnsiStrings out;
    e.engine->Run(c.method, c.in, out);
    const auto requests = e.peer->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].cmd, 0x78);
    EXPECT_EQ(requests[0].data, c.data);
  }
}

struct InputCase {
  const char* method;
  AnsiStrings in;
  std::int32_t code;  // 0: the call passes and is sent
};

TEST(JournalCommands, InputChecks) {
  const InputCase cases[] = {
      {"CMD_120_2", {""}, -10500},
      {"CMD_120_2", {"123"}, -10502},
      {"CMD_120_2", {"x"}, -10511},
      {"CMD_120_2", {"13"}, -10511},
      {"CMD_120_2", {"0"}, -10512},
      {"CMD_120_5", {"1"}, 0},
      {"CMD_120_8", {"12"}, 0},
      {"CMD_120_3", {"12345678901", "1"}, -10502},
      {"CMD_120_6", {"1", ""}, -10500},
      {"CMD_120_9", {"any text", "z,y"}, 0},  // the texts are not looked into
      {"CMD_120_19", {"1234567890", "9"}, 0},
      {"CMD_120_4", {"1", "2", "x", "4"}, -10510},
      {"CMD_120_7", {"", "2", "3", "4"}, -10500},
      {"CMD_120_13", {"9", "1", "-1", "0"}, 0},  // the bounds are not compared
      {"CMD_120_24", {"1", "2", "3", "4.0"}, -10510},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " code " + std::to_string(c.code));
    EngineOnPty e(AnswerWith("P"));
    ServerSwitches(e.connector());
    e.connector().WITH_INPCHECK = true;
    e.connector().WITH_OUTPCHECK = false;  // the result tells about the inputs only
    AnsiStrings out;
    EXPECT_EQ(e.engine->Run(c.method, c.in, out), c.code);
    EXPECT_EQ(e.engine->FLastErrorCode, c.code);
    // Run returns only after the printer's answer, so a sent request is on record by now.
    EXPECT_EQ(e.peer->Requests().size(), c.code == 0 ? 1u : 0u);
  }
}

struct AnswerCase {
  const char* method;
  AnsiStrings in;
  std::string answer;
  AnsiStrings expected;
  std::int32_t code;
};

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
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " <- " + c.answer);
    EngineOnPty e(AnswerWith(c.answer));
    ServerSwitches(e.connector());
    AnsiStrings out;
    EXPECT_EQ(e.engine->Run(c.method, c.in, out), c.code);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(e.engine->FLastErrorCode, c.code);
  }
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
