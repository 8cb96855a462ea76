// Fiscal receipt commands: data fields, input checks, answers.
#include <gtest/gtest.h>

#include "support/EngineFixture.h"

namespace orbantis {
namespace {

using test::AnswerWith;
using test::EngineOnPty;

void ServerSwitches(TConnector& c) {
  c.WITH_INPCHECK = false;
  c.WITH_OUTPCHECK = true;
  c.ALWAYS_GET_OUTPUT = true;
  c.AUTOCUT_ON = true;
}

const std::string k40(40, 'x');
const std::string k36(36, 'x');

struct WireCase {
  const char* method;
  AnsiStrings in;
  bool autocut;
  std::uint8_t cmd;
  std::string data;
};

TEST(ReceiptCommands, DataFieldsOnTheWire) {
  const WireCase cases[] = {
      {"CMD_48_0_0", {"1", "0000", "1"}, true, 0x30, "1,0000,1"},
      {"CMD_48_0_1", {"1", "0000", "1", "Buyer", "Street 1", "Town", "123456789", "BG123"}, true, 0x30,
       "1,0000,1,Buyer,Street 1,Town,123456789,BG123"},
      {"CMD_48_0_1", {"1", "0000", "1", "", "", "", "", ""}, true, 0x30, "1,0000,1,,,,,"},
      // The buyer's lines are never cut.
      {"CMD_48_0_1", {"1", "0000", "1", std::string(60, 'b'), "", "", "", ""}, true, 0x30,
       "1,0000,1," + std::string(60, 'b') + ",,,,"},
      {"CMD_49_0_0", {"A", "12.50"}, true, 0x31, "\tA12.50"},
      {"CMD_49_0_0", {"A", "12.5"}, true, 0x31, "\tA12.5"},
      {"CMD_49_0_1", {"L1", "L2", "B", "1.00", "1.000", "kg", "-10"}, true, 0x31, "L1\nL2\tB1.00*1.000#kg,-10"},
      {"CMD_49_0_1", {k40, "", "A", "1", "1", "pcs", ""}, true, 0x31, k36 + "\n\tA1*1#pcs,"},
      {"CMD_49_0_1", {k40, "", "A", "1", "1", "pcs", ""}, false, 0x31, k40 + "\n\tA1*1#pcs,"},
      {"CMD_49_0_2", {"a", "b", "C", "2", "3", "unit", "5.00"}, true, 0x31, "a\nb\tC2*3#unit;5.00"},
      {"CMD_49_0_3", {"a", "D", "2", "3", "u", "-1"}, true, 0x31, "a\tD2*3#u;-1"},
      {"CMD_49_0_4", {"E", "2", "3", "u", "1"}, true, 0x31, "\tE2*3#u;1"},
      // A sale's sum is never cut (unlike that of CMD_58_0_1).
      {"CMD_49_0_4", {"E", "2", "3", "u", "123456789.00"}, true, 0x31, "\tE2*3#u;123456789.00"},
      {"CMD_49_0_5", {"z", "F", "2", "3", "u", "1"}, true, 0x31, "\nz\tF2*3#u;1"},
      {"CMD_49_0_6", {"a", "A", "2", "3", "u", "5"}, true, 0x31, "a\tA2*3#u,5"},
      {"CMD_49_0_7", {"z", "A", "2", "3", "u", "5"}, true, 0x31, "\nz\tA2*3#u,5"},
      {"CMD_49_0_8", {"A", "2", "3", "u", "5"}, true, 0x31, "\tA2*3#u,5"},
      {"CMD_49_0_9", {"a", "b", "A", "2", "3", "123456789"}, true, 0x31, "a\nb\tA2*3#12345678"},
      {"CMD_49_0_10", {"a", "b", "A", "2", "3", "123456789"}, true, 0x31, "a\nb\tA2*3#12345678"},
      {"CMD_49_0_11", {"a", "A", "2", "3", "u"}, true, 0x31, "a\tA2*3#u"},
      {"CMD_52_0_0", {"A", "1"}, true, 0x34, "\tA1"},
      {"CMD_52_0_1", {"line", "A", "2", "3", "u", "5"}, true, 0x34, "line\tA2*3#u,5"},
      {"CMD_52_0_2", {"line", "A", "2", "3", "u", "5"}, true, 0x34, "line\tA2*3#u;5"},
      {"CMD_51_0_0", {"1", "0"}, true, 0x33, "10"},
      {"CMD_51_0_1", {"1", "1", "-5.00"}, true, 0x33, "11,-5.00"},
      {"CMD_51_0_2", {"0", "1", "2.00"}, true, 0x33, "01;2.00"},
      {"CMD_53_0_0", {"P", "20.00"}, true, 0x35, "P+20.00"},
      {"CMD_53_0_1", {}, true, 0x35, ""},
      {"CMD_53_0_2", {"C"}, true, 0x35, "C"},
      {"CMD_53_0_3", {"7"}, true, 0x35, "7"},
      {"CMD_54_0_0", {std::string(50, 't')}, true, 0x36, std::string(42, 't')},
      {"CMD_56_0_0", {}, true, 0x38, ""},
      {"CMD_58_0_0", {"12", "1.5", "kg", "-3"}, true, 0x3A, "12*1.5#kg,-3"},
      {"CMD_58_0_1", {"12", "1.5", "kg", "123456789"}, true, 0x3A, "12*1.5#kg;12345678"},
      {"CMD_58_0_2", {"12", "1.5", "kg"}, true, 0x3A, "12*1.5#kg"},
      {"CMD_58_0_3", {"12", "1.5"}, true, 0x3A, "12*1.5"},
      {"CMD_58_0_4", {"12"}, true, 0x3A, "12"},
      {"CMD_60_0_0", {}, true, 0x3C, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    EngineOnPty e(AnswerWith(""));
    ServerSwitches(e.connector());
    e.connector().AUTOCUT_ON = c.autocut;
    AnsiStrings out;
    e.engine->Run(c.method, c.in, out);
    const auto requests = e.peer->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].cmd, c.cmd);
    EXPECT_EQ(requests[0].data, c.data);
  }
}

struct InputCase {
  const char* method;
  AnsiStrings in;
  std::int32_t code;
};

TEST(ReceiptCommands, InputChecks) {
  const InputCase cases[] = {
      {"CMD_48_0_0", {"", "1", "1"}, -10500},
      {"CMD_48_0_0", {"17", "1", "1"}, -10511},
      {"CMD_48_0_0", {"0", "1", "1"}, -10512},
      {"CMD_48_0_0", {"one", "1", "1"}, -10511},
      {"CMD_48_0_0", {"1", "100000000", "1"}, -10511},
      {"CMD_48_0_0", {"1", "-5", "1"}, 0},
      {"CMD_48_0_0", {"1", "1", "100000"}, -10511},
      {"CMD_48_0_1", {"1", "1", "1", "b1", "b2", "b3", "", "v"}, -10500},
      {"CMD_48_0_1", {"1", "1", "1", std::string(100, 'b'), "b2", "b3", "t", "v"}, 0},  // no length limit
      {"CMD_49_0_1", {k40, "b", "A", "1", "1", "u", "1"}, -10502},
      {"CMD_49_0_1", {"a", "", "A", "1", "1", "u", "1"}, -10500},
      {"CMD_49_0_0", {"a", "1"}, -10504},
      {"CMD_49_0_0", {"G", "1"}, -10504},
      {"CMD_49_0_0", {"A", "-1"}, 0},
      {"CMD_49_0_0", {"A", "abc"}, -10506},
      {"CMD_49_0_0", {"A", "100000000"}, -10506},
      {"CMD_49_0_8", {"A", "1", "0.0005", "u", "1"}, 0},
      {"CMD_49_0_8", {"A", "1", "x", "u", "1"}, -10508},
      {"CMD_49_0_8", {"A", "1", "100000000", "u", "1"}, -10508},
      {"CMD_49_0_8", {"A", "1", "1", "123456789", "1"}, -10502},
      {"CMD_49_0_8", {"A", "1", "1", "u", "99"}, 0},
      {"CMD_49_0_8", {"A", "1", "1", "u", "-99"}, 0},
      {"CMD_49_0_8", {"A", "1", "1", "u", "99.01"}, -10506},
      {"CMD_49_0_8", {"A", "1", "1", "u", "-99.01"}, -10507},
      {"CMD_49_0_8", {"A", "1", "1", "u", "x"}, -10506},
      {"CMD_49_0_4", {"A", "1", "1", "u", "-100000000"}, -10507},
      {"CMD_52_0_1", {k40, "A", "1", "1", "u", "1"}, -10502},
      {"CMD_51_0_0", {"2", "0"}, -10511},
      {"CMD_51_0_0", {"1", ""}, -10500},
      {"CMD_51_0_0", {"-7", "1"}, 0},
      {"CMD_51_0_1", {"1", "1", "not a number"}, 0},
      {"CMD_51_0_2", {"1", "1", ""}, -10500},
      {"CMD_53_0_0", {"X", "1"}, -10504},
      {"CMD_53_0_0", {"p", "1"}, -10504},
      {"CMD_53_0_0", {"P", "1000000000"}, -10506},
      {"CMD_53_0_0", {"P", "-1"}, 0},
      {"CMD_53_0_2", {""}, -10500},
      {"CMD_53_0_3", {"abc"}, -10506},
      {"CMD_54_0_0", {std::string(43, 't')}, -10502},
      {"CMD_54_0_0", {""}, -10500},
      {"CMD_58_0_0", {"0", "1", "u", "1"}, -10512},
      {"CMD_58_0_0", {"1000000000", "1", "u", "1"}, -10511},
      {"CMD_58_0_0", {"1", "0.0005", "u", "1"}, -10509},
      {"CMD_58_0_0", {"1", "1", "u", "x"}, -10507},
      {"CMD_58_0_0", {"1", "1", "u", "99.01"}, -10506},
      {"CMD_58_0_0", {"1", "1", "u", "-99.01"}, -10507},
      {"CMD_58_0_1", {"1", "1", "u", "123456789"}, -10502},
      {"CMD_58_0_1", {"1", "1", "u", "abc"}, 0},
      {"CMD_58_0_4", {"x"}, -10511},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " expecting " + std::to_string(c.code));
    EngineOnPty e(AnswerWith(""));
    ServerSwitches(e.connector());
    e.connector().WITH_INPCHECK = true;
    e.connector().WITH_OUTPCHECK = false;
    AnsiStrings out;
    const std::int32_t code = e.engine->Run(c.method, c.in, out);
    if (c.code == 0) {
      EXPECT_EQ(code, 0);
      EXPECT_EQ(e.peer->Requests().size(), 1u);
    } else {
      EXPECT_EQ(code, c.code);
      EXPECT_FALSE(e.peer->WaitForRequests(1, 20)) << "a failed check sends nothing";
    }
  }
}

struct AnswerCase {
  const char* method;
  AnsiStrings in;
  std::string answer;
  AnsiStrings expected;
  std::int32_t code;
};

TEST(ReceiptCommands, Answers) {
  const AnsiStrings sub = {"1", "1"};
  const AnswerCase cases[] = {
      {"CMD_48_0_0", {"1", "0", "1"}, "12,345", {"12", "345"}, 0},
      {"CMD_48_0_0", {"1", "0", "1"}, "12", {"12", ""}, -10521},
      {"CMD_48_0_0", {"1", "0", "1"}, "x,345", {"x", "345"}, -10521},
      {"CMD_51_0_0", sub, "15.00,1.00,2.00,0.00,0.00,0.00,0.00", {"15.00", "1.00", "2.00", "0.00", "0.00", "0.00", "0.00"}, 0},
      {"CMD_51_0_0", sub, "12345678901,0,0,0,0,0,0", {"12345678901", "0", "0", "0", "0", "0", "0"}, -10513},
      {"CMD_51_0_0", sub, "15.00,1.00", {"15.00", "1.00", "", "", "", "", ""}, -10524},
      {"CMD_53_0_1", {}, "F0.00", {"F", "0.00"}, 0},
      {"CMD_53_0_1", {}, "R5.00,ignored", {"R", "5.00"}, 0},
      {"CMD_53_0_1", {}, "D", {"D", ""}, -10524},
      {"CMD_53_0_1", {}, "X1.00", {"X", "1.00"}, -10515},
      {"CMD_53_0_1", {}, "", {"", ""}, -10524},
      {"CMD_56_0_0", {}, "12,345", {"12", "345"}, 0},
      {"CMD_56_0_0", {}, "12345,345", {"12345", "345"}, -10513},
      {"CMD_56_0_0", {}, "12", {"12", ""}, -10524},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " <- " + c.answer);
    EngineOnPty e(AnswerWith(c.answer));
    ServerSwitches(e.connector());
    AnsiStrings out;
    EXPECT_EQ(e.engine->Run(c.method, c.in, out), c.code);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(ReceiptCommands, FailedExchangeCodes) {
  struct {
    const char* method;
    AnsiStrings in;
    std::int32_t code;
  } cases[] = {{"CMD_48_0_0", {"1", "0", "1"}, -5}, {"CMD_49_0_0", {"A", "1"}, -4}, {"CMD_53_0_1", {}, -5},
               {"CMD_56_0_0", {}, -5},             {"CMD_60_0_0", {}, -4},         {"CMD_54_0_0", {"t"}, -4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    EngineOnPty e([](const test::PeerRequest&, int) { return test::Reply {}; });
    ServerSwitches(e.connector());
    AnsiStrings out;
    EXPECT_EQ(e.engine->Run(c.method, c.in, out), c.code);
    EXPECT_EQ(e.engine->FLastErrorMessage,
              "Unsuccessful command execution.\r\nPlease check the link with this fiscal!");
  }
}

}  // namespace
}  // namespace orbantis
