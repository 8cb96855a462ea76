// Configuration and identity: what goes on the wire, which inputs are
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

const AnsiString k30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
const AnsiString kIp16 = "192.168.100.1000";

// Inputs of command 83 that pass every check.
AnsiStrings Settings() { return {"2", "2", "111111", "20.00", "9", "0", "0", "0", "99.00"}; }
// The same with the input at index replaced by value.
AnsiStrings Settings(std::size_t index, const AnsiString& value) {
  AnsiStrings in = Settings();
  in.at(index) = value;
  return in;
}

TEST(ConfigCommands, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_36_0_0", {}, Checked, 0x24, ""},
      {"CMD_36_0_1", {"10.0.0.2", "255.0.0.0", "4999", "10.0.0.1", "00-11-22-33-44-55"}, Checked, 0x24,
       "10.0.0.2,255.0.0.0,4999,10.0.0.1,00-11-22-33-44-55"},
      // An empty MAC address still writes its separator.
      {"CMD_36_0_1", {"10.0.0.2", "255.0.0.0", "4999", "10.0.0.1", ""}, Checked, 0x24,
       "10.0.0.2,255.0.0.0,4999,10.0.0.1,"},
      {"CMD_36_0_1", {kIp16, kIp16, kIp16, kIp16, k30}, Server, 0x24,
       "192.168.100.100,192.168.100.100,192.168.100.100,192.168.100.100," + k30.substr(0, 24)},
      {"CMD_36_0_1", {kIp16, "", "", "", k30}, Uncut, 0x24, kIp16 + ",,,," + k30},
      // 10134: the printer sees 96h, and never a fifth field.
      {"CMD_36_0_2", {"10.0.0.2", "255.0.0.0", "4999", "10.0.0.1"}, Checked, 0x96, "10.0.0.2,255.0.0.0,4999,10.0.0.1"},
      {"CMD_36_0_2", {kIp16, "", "", ""}, Server, 0x96, "192.168.100.100,,,"},

      {"CMD_41_0_0", {""}, Checked, 0x29, ""},
      {"CMD_41_0_0", {"01010101"}, Checked, 0x29, "01010101"},
      {"CMD_41_0_0", {"010101011"}, Server, 0x29, "01010101"},
      {"CMD_41_0_1", {}, Checked, 0x29, ""},

      // Index and value joined, never cut.
      {"CMD_43_0_0", {"6", "ABC"}, Checked, 0x2B, "6ABC"},
      {"CMD_43_0_0", {"0", "L1\tL2\tL3\tL4\tL5\t" + k30 + k30}, Server, 0x2B, "0L1\tL2\tL3\tL4\tL5\t" + k30 + k30},
      {"CMD_43_0_1", {"I0"}, Checked, 0x2B, "I0"},

      {"CMD_61_0_0", {"01-02-26", "10:20:30"}, Checked, 0x3D, "01-02-26 10:20:30"},
      {"CMD_61_0_0", {"01-02-260", "10:20:300"}, Server, 0x3D, "01-02-26 10:20:30"},
      {"CMD_61_0_0", {"01-02-260", "10:20:300"}, Uncut, 0x3D, "01-02-260 10:20:300"},
      {"CMD_61_0_0", {"", ""}, Server, 0x3D, " "},

      {"CMD_63_0_0", {}, Checked, 0x3F, ""},
      {"CMD_71_0_0", {}, Checked, 0x47, ""},

      // Rates go as the client wrote them; the bounds 0 and 99 pass.
      {"CMD_83_0_0", Settings(), Checked, 0x53, "2,2,111111,20.00,9,0,0,0,99.00"},
      {"CMD_83_0_0", Settings(2, "1111111"), Server, 0x53, "2,2,111111,20.00,9,0,0,0,99.00"},
      {"CMD_83_0_0", Settings(2, "1111111"), Uncut, 0x53, "2,2,1111111,20.00,9,0,0,0,99.00"},
      {"CMD_83_0_0", Settings(3, ""), Server, 0x53, "2,2,111111,,9,0,0,0,99.00"},
      {"CMD_83_0_1", {}, Checked, 0x53, ""},

      {"CMD_85_0_0", {"I", "CARD"}, Checked, 0x55, "I,CARD"},
      {"CMD_85_0_0", {"IJ", k30}, Server, 0x55, "I," + k30.substr(0, 24)},
      {"CMD_85_0_0", {"IJ", k30}, Uncut, 0x55, "IJ," + k30},
      {"CMD_85_0_1", {"L"}, Checked, 0x55, "L"},
      {"CMD_85_0_1", {"LK"}, Server, 0x55, "L"},

      // 10137 and 10138: the printer sees 99h and 9Ah.
      {"CMD_91_0_0", {"ZK12345678"}, Checked, 0x99, "ZK12345678"},
      {"CMD_91_0_0", {"ZK123456789"}, Server, 0x99, "ZK12345678"},
      {"CMD_98_0_0", {"123456789", "987654321"}, Checked, 0x9A, "123456789,987654321"},
      {"CMD_98_0_0", {"1234567890", "9876543210"}, Server, 0x9A, "123456789,987654321"},
      {"CMD_98_0_0", {"1234567890", "9876543210"}, Uncut, 0x9A, "1234567890,9876543210"},

      {"CMD_101_0_0", {"1", "0000", "12345678"}, Checked, 0x65, "1,0000,12345678"},
      {"CMD_101_0_0", {"01", "123456789", "abcdefghi"}, Server, 0x65, "01,12345678,abcdefgh"},
      {"CMD_102_0_0", {"16", "1234", "Operator 16"}, Checked, 0x66, "16,1234,Operator 16"},
      {"CMD_102_0_0", {"16", "123456789", k30}, Server, 0x66, "16,12345678," + k30.substr(0, 24)},
  };
  test::ExpectDataFields(cases);
}

TEST(ConfigCommands, FailedInputChecksSendNothing) {
  const AnsiStrings net = {"192.168.1.10", "255.255.255.0", "4999", "192.168.1.1"};
  auto withNet = [&](std::size_t index, const AnsiString& value, bool mac) {
    AnsiStrings in = net;
    if (mac) in.push_back("");
    in[index] = value;
    return in;
  };
  const CodeCase cases[] = {
      {"CMD_36_0_1", withNet(0, "", true), -10500},
      {"CMD_36_0_1", withNet(1, kIp16, true), -10502},
      {"CMD_36_0_1", withNet(3, "", true), -10500},
      {"CMD_36_0_1", withNet(4, k30.substr(0, 25), true), -10502},
      {"CMD_36_0_2", withNet(2, kIp16, false), -10502},
      {"CMD_36_0_2", withNet(3, "", false), -10500},

      {"CMD_41_0_0", {"123456789"}, -10502},

      {"CMD_43_0_0", {"", "ABC"}, -10500},
      {"CMD_43_0_0", {"6", ""}, -10500},
      {"CMD_43_0_1", {""}, -10500},

      {"CMD_61_0_0", {"01-02-260", "10:20:30"}, -10502},
      {"CMD_61_0_0", {"01-02-26", ""}, -10500},
      {"CMD_61_0_0", {"", "10:20:30"}, -10500},

      // A multiplier that is no integer counts as below the bound.
      {"CMD_83_0_0", Settings(0, "x"), -10512},
      {"CMD_83_0_0", Settings(0, "4"), -10511},
      {"CMD_83_0_0", Settings(0, "-1"), -10512},
      {"CMD_83_0_0", Settings(0, ""), -10500},
      {"CMD_83_0_0", Settings(1, "1"), -10504},
      {"CMD_83_0_0", Settings(1, ""), -10500},
      {"CMD_83_0_0", Settings(2, "1111111"), -10502},
      {"CMD_83_0_0", Settings(2, ""), -10500},
      // A rate that is no number counts as below the bound.
      {"CMD_83_0_0", Settings(3, "-0.01"), -10507},
      {"CMD_83_0_0", Settings(4, "abc"), -10507},
      {"CMD_83_0_0", Settings(5, ""), -10500},
      {"CMD_83_0_0", Settings(8, "99.0001"), -10506},
      {"CMD_83_0_0", Settings(8, "100"), -10506},

      {"CMD_85_0_0", {"M", "X"}, -10504},
      {"CMD_85_0_0", {"i", "X"}, -10504},
      {"CMD_85_0_0", {"IJ", "X"}, -10502},  // the length rule comes before the list
      {"CMD_85_0_0", {"", "X"}, -10500},
      {"CMD_85_0_0", {"I", k30.substr(0, 25)}, -10502},
      {"CMD_85_0_0", {"I", ""}, -10500},
      {"CMD_85_0_1", {"P"}, -10504},
      {"CMD_85_0_1", {""}, -10500},

      {"CMD_91_0_0", {"ZK1234567"}, -10503},
      {"CMD_91_0_0", {"ZK123456789"}, -10502},
      {"CMD_91_0_0", {""}, -10500},

      {"CMD_98_0_0", {"12345678", "987654321"}, -10503},
      {"CMD_98_0_0", {"123456789", "9876543210"}, -10502},
      {"CMD_98_0_0", {"123456789", ""}, -10500},

      {"CMD_101_0_0", {"1", "0000", "123"}, -10503},
      {"CMD_101_0_0", {"17", "0000", "1234"}, -10511},
      {"CMD_101_0_0", {"0", "0000", "1234"}, -10512},
      {"CMD_101_0_0", {"a", "0000", "1234"}, -10511},  // no integer: above the bound
      {"CMD_101_0_0", {"1", "123456789", "1234"}, -10502},
      {"CMD_101_0_0", {"1", "", "1234"}, -10500},

      {"CMD_102_0_0", {"1", "123", "Name"}, -10503},
      {"CMD_102_0_0", {"1", "1234", k30.substr(0, 25)}, -10502},
      {"CMD_102_0_0", {"1", "1234", ""}, -10500},
      {"CMD_102_0_0", {"", "1234", "Name"}, -10500},
  };
  test::ExpectInputChecks(cases, {.switches = Switches::Checked});
}

TEST(ConfigCommands, AnswersAreCutIntoValuesAndChecked) {
  const std::string rates = "20.00,9.00,0.00,0.00,0.00,99.00";
  const AnsiStrings rateValues = {"20.00", "9.00", "0.00", "0.00", "0.00", "99.00"};
  auto settings = [&](const AnsiStrings& head) {
    AnsiStrings v = head;
    v.insert(v.end(), rateValues.begin(), rateValues.end());
    return v;
  };
  const AnswerCase cases[] = {
      {"CMD_36_0_0", {}, "10.0.0.2,255.0.0.0,4999,10.0.0.1,00-11-22-33-44-55",
       {"10.0.0.2", "255.0.0.0", "4999", "10.0.0.1", "00-11-22-33-44-55"}, 0},
      {"CMD_36_0_0", {}, "10.0.0.2,255.0.0.0,4999,10.0.0.1", {"10.0.0.2", "255.0.0.0", "4999", "10.0.0.1", ""}, 0},
      {"CMD_36_0_0", {}, kIp16 + ",255.0.0.0,4999,10.0.0.1", {kIp16, "255.0.0.0", "4999", "10.0.0.1", ""}, -10513},
      {"CMD_36_0_0", {}, "1.2.3.4,5.6.7.8,9,1.1.1.1," + k30.substr(0, 25),
       {"1.2.3.4", "5.6.7.8", "9", "1.1.1.1", k30.substr(0, 25)}, -10513},
      {"CMD_36_0_0", {}, "1.2.3.4,,9,1.1.1.1", {"1.2.3.4", "", "9", "1.1.1.1", ""}, -10524},

      // The whole answer is one value, commas and all.
      {"CMD_43_0_1", {"I0"}, "a,b;c\td", {"a,b;c\td"}, 0},
      {"CMD_43_0_1", {"I0"}, "", {""}, 0},

      {"CMD_83_0_0", Settings(), "1,2,111111," + rates, settings({"1", "2", "111111"}), 0},
      {"CMD_83_0_1", {}, "0,0,1," + rates, settings({"0", "0", "1"}), 0},
      {"CMD_83_0_1", {}, "4,2,111111," + rates, settings({"4", "2", "111111"}), -10515},
      {"CMD_83_0_1", {}, "1,1,111111," + rates, settings({"1", "1", "111111"}), -10515},
      {"CMD_83_0_1", {}, "1,2,1111111," + rates, settings({"1", "2", "1111111"}), -10513},
      {"CMD_83_0_1", {}, "1,2,," + rates, settings({"1", "2", ""}), -10524},
      {"CMD_83_0_1", {}, "1,2,1,99.0001,0,0,0,0,0", {"1", "2", "1", "99.0001", "0", "0", "0", "0", "0"}, -10517},
      {"CMD_83_0_1", {}, "1,2,1,abc,0,0,0,0,0", {"1", "2", "1", "abc", "0", "0", "0", "0", "0"}, -10517},
      {"CMD_83_0_1", {}, "1,2,1,0,-0.01,0,0,0,0", {"1", "2", "1", "0", "-0.01", "0", "0", "0", "0"}, -10518},
      {"CMD_83_0_1", {}, "1,2,1,0,0,0,0,0", {"1", "2", "1", "0", "0", "0", "0", "0", ""}, -10524},

      // Only the first character counts.
      {"CMD_85_0_0", {"I", "CARD"}, "P", {"P"}, 0},
      {"CMD_85_0_0", {"I", "CARD"}, "Fxyz,1", {"F"}, 0},
      {"CMD_85_0_0", {"I", "CARD"}, "E", {"E"}, -10515},
      {"CMD_85_0_0", {"I", "CARD"}, "", {""}, -10515},
      {"CMD_85_0_1", {"J"}, "CHEQUE,extra", {"CHEQUE"}, 0},
      {"CMD_85_0_1", {"J"}, "", {""}, 0},

      {"CMD_91_0_0", {"ZK12345678"}, "P,BG", {"P", "BG"}, 0},
      {"CMD_91_0_0", {"ZK12345678"}, "X,BG", {"X", "BG"}, -10515},
      {"CMD_91_0_0", {"ZK12345678"}, "P", {"P", ""}, -10524},
      {"CMD_91_0_0", {"ZK12345678"}, "", {"", ""}, -10524},
  };
  test::ExpectAnswers(cases);
}

TEST(ConfigCommands, NamedMethodsTakeTheirParametersInDeclaredOrder) {
  EngineOnPty e(AnswerWith("3,0,000111,1,2,3,4,5,6"));
  ServerSwitches(e.connector());
  AnsiString m, d, sw, a, b, c, dd, ee, f;
  EXPECT_EQ(e.engine->CMD_83_0_0("3", "0", "000111", "1", "2", "3", "4", "5", "6", m, d, sw, a, b, c, dd, ee, f), 0);
  EXPECT_EQ((AnsiStrings {m, d, sw, a, b, c, dd, ee, f}),
            (AnsiStrings {"3", "0", "000111", "1", "2", "3", "4", "5", "6"}));
  EXPECT_EQ(e.engine->CMD_102_0_0("2", "5678", "Anna"), 0);
  EXPECT_EQ(e.engine->CMD_71_0_0(), 0);
  const auto requests = e.peer->Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].data, "3,0,000111,1,2,3,4,5,6");
  EXPECT_EQ(requests[1].data, "2,5678,Anna");
  EXPECT_EQ(requests[2].cmd, 0x47);
}

}  // namespace
}  // namespace orbantis
