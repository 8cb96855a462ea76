// The fiscal memory reads of command 114: what goes on the wire, which inputs
// are refused, how answers are cut into values and checked.
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

struct WireCase {
  const char* method;
  AnsiStrings in;
  std::string data;
};

TEST(FiscalMemoryCommands, DataFieldsOnTheWire) {
  const WireCase cases[] = {
      {"CMD_114_0", {"12"}, "12,0"},
      {"CMD_114_1", {"12"}, "12,1"},
      {"CMD_114_2", {"1", "5"}, "1,1,5"},
      {"CMD_114_3", {"12"}, "12,2"},
      {"CMD_114_4", {"1", "5"}, "1,2,5"},
      {"CMD_114_5", {"12"}, "12,3"},
      {"CMD_114_6", {"1", "5"}, "1,3,5"},
      {"CMD_114_7", {"12"}, "12,4"},
      {"CMD_114_8", {"12"}, "12,5"},
      {"CMD_114_9", {"12"}, "12,6"},
      {"CMD_114_10", {"12", "3"}, "12,7,3"},
      {"CMD_114_10", {"12", "6"}, "12,7,6"},  // unchecked: the printer decides
      {"CMD_114_11", {"12"}, "12,8"},
      {"CMD_114_2", {"123456789012345", ""}, "123456789012345,1,"},  // never cut; separators stay
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " -> " + c.data);
    EngineOnPty e(AnswerWith("P"));
    ServerSwitches(e.connector());
    AnsiStrings out;
    e.engine->Run(c.method, c.in, out);
    const auto requests = e.peer->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].cmd, 0x72);
    EXPECT_EQ(requests[0].data, c.data);
  }
}

struct InputCase {
  const char* method;
  AnsiStrings in;
  std::int32_t code;  // 0: the call passes and is sent
};

TEST(FiscalMemoryCommands, InputChecks) {
  const InputCase cases[] = {
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
