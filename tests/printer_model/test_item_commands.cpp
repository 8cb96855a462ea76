// The item (PLU) database commands 107 and 111: what goes on the wire, which
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

const std::string kName40 = "Whole milk 3.5 % fat - 1 l carton (12pc)";
const std::string kName36 = kName40.substr(0, 36);
const std::string kName37 = std::string(37, 'n');

// A valid CMD_107_1_0 call; the cases below change one argument at a time.
AnsiStrings Program(std::size_t index, const AnsiString& value) {
  AnsiStrings in = {"A", "123", "5", "12.50", "1", "10.000", "Milk"};
  in.at(index) = value;
  return in;
}
enum ProgramArg { kTaxGr, kPlu, kGroup, kPrice, kReplace, kQuantity, kName };

TEST(ItemCommands, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_107_0_0", {}, Server, 0x6B, "I"},
      {"CMD_107_1_0", Program(kTaxGr, "A"), Server, 0x6B, "PA123,5,12.50,110.000,Milk"},
      // An empty Replace puts the quantity right behind the third ",".
      {"CMD_107_1_0", Program(kReplace, ""), Server, 0x6B, "PA123,5,12.50,10.000,Milk"},
      {"CMD_107_1_0", {"AB", "123", "5", "12.5", "RX", "10", kName40}, Server, 0x6B, "PA123,5,12.5,R10," + kName36},
      {"CMD_107_1_0", {"A", "123", "5", "12.5", "R", "10", kName40}, Uncut, 0x6B, "PA123,5,12.5,R10," + kName40},
      {"CMD_107_2_0", {"7", "-1.5"}, Server, 0x6B, "A7,-1.5"},
      {"CMD_107_3_0", {"7", "3.10"}, Server, 0x6B, "C7,3.10"},
      {"CMD_107_4_0", {}, Server, 0x6B, "DA"},
      {"CMD_107_4_1", {"0"}, Server, 0x6B, "D0"},
      {"CMD_107_4_2", {"1", "50"}, Server, 0x6B, "D1,50"},
      {"CMD_107_5_0", {"12"}, Server, 0x6B, "R12"},
      {"CMD_107_5_0", {"1234567890123"}, Server, 0x6B, "R1234567890123"},  // item numbers are never cut
      {"CMD_107_6_0", {"12"}, Server, 0x6B, "F12"},
      {"CMD_107_7_0", {"12"}, Server, 0x6B, "L12"},
      {"CMD_107_8_0", {}, Server, 0x6B, "N"},
      {"CMD_107_9_0", {"12"}, Server, 0x6B, "f12"},
      {"CMD_107_10_0", {"12"}, Server, 0x6B, "l12"},
      {"CMD_107_11_0", {}, Server, 0x6B, "n"},
      {"CMD_107_12_0", {"12"}, Server, 0x6B, "X12"},
      {"CMD_107_12_1", {"12"}, Server, 0x6B, "x12"},
      {"CMD_111_0", {"S", "1", "100"}, Server, 0x6F, "S,1,100"},
      {"CMD_111_0", {"SP", "1", "100"}, Server, 0x6F, "S,1,100"},
      {"CMD_111_0", {"SP", "1", "100"}, Uncut, 0x6F, "SP,1,100"},
      {"CMD_111_1", {"P", "3"}, Server, 0x6F, "P,3"},
      {"CMD_111_1", {"P", ""}, Server, 0x6F, "P,"},
      {"CMD_111_2", {"Sx"}, Server, 0x6F, "S"},
  };
  test::ExpectDataFields(cases, "P");
}

TEST(ItemCommands, InputChecks) {
  const CodeCase cases[] = {
      // Programming an item, one argument at a time.
      {"CMD_107_1_0", Program(kTaxGr, "A"), 0},
      {"CMD_107_1_0", Program(kTaxGr, ""), -10500},
      {"CMD_107_1_0", Program(kTaxGr, "AB"), -10502},
      {"CMD_107_1_0", Program(kTaxGr, "a"), -10504},
      {"CMD_107_1_0", Program(kPlu, "x"), -10511},
      {"CMD_107_1_0", Program(kPlu, "1000000000"), -10511},
      {"CMD_107_1_0", Program(kPlu, "999999999"), 0},
      {"CMD_107_1_0", Program(kPlu, "0"), -10512},
      {"CMD_107_1_0", Program(kGroup, "1.5"), -10511},
      {"CMD_107_1_0", Program(kGroup, "100"), -10511},
      {"CMD_107_1_0", Program(kGroup, "0"), -10512},
      {"CMD_107_1_0", Program(kGroup, "99"), 0},
      {"CMD_107_1_0", Program(kPrice, ""), -10500},
      {"CMD_107_1_0", Program(kPrice, "abc"), -10506},
      {"CMD_107_1_0", Program(kPrice, "999999.99"), 0},
      {"CMD_107_1_0", Program(kPrice, "999999.991"), -10506},
      {"CMD_107_1_0", Program(kPrice, "-5"), 0},
      {"CMD_107_1_0", Program(kReplace, ""), 0},
      {"CMD_107_1_0", Program(kReplace, "12"), -10502},
      {"CMD_107_1_0", Program(kQuantity, ""), -10500},
      {"CMD_107_1_0", Program(kQuantity, "1,5"), -10505},
      {"CMD_107_1_0", Program(kQuantity, "-3"), 0},
      {"CMD_107_1_0", Program(kName, ""), -10500},
      {"CMD_107_1_0", Program(kName, kName36), 0},
      {"CMD_107_1_0", Program(kName, kName40), -10502},
      // The first failing argument decides.
      {"CMD_107_1_0", {"a", "0", "0", "x", "12", "", ""}, -10504},
      // Quantity and price changes.
      {"CMD_107_2_0", {"x", "1"}, -10511},
      {"CMD_107_2_0", {"7", "one"}, -10505},
      {"CMD_107_3_0", {"7", "abc"}, -10505},    // not a number at all
      {"CMD_107_3_0", {"7", "1e7"}, -10506},    // a number, but above the bound
      {"CMD_107_3_0", {"7", "999999.99"}, 0},
      // Option D takes any integer.
      {"CMD_107_4_1", {"0"}, 0},
      {"CMD_107_4_1", {"-5"}, 0},
      {"CMD_107_4_1", {""}, -10500},
      {"CMD_107_4_1", {"x"}, -10510},
      {"CMD_107_4_2", {"1", "y"}, -10510},
      {"CMD_107_4_2", {"9", "1"}, 0},
      // Reads.
      {"CMD_107_5_0", {"0"}, -10512},
      {"CMD_107_5_0", {"x"}, -10510},
      {"CMD_107_5_0", {"1000000000"}, -10511},
      {"CMD_107_6_0", {"1"}, 0},
      {"CMD_107_10_0", {""}, -10500},
      {"CMD_107_12_1", {"x"}, -10510},
      // Command 111.
      {"CMD_111_0", {"", "1", "2"}, -10500},
      {"CMD_111_0", {"SP", "1", "2"}, -10502},
      {"CMD_111_0", {"s", "1", "2"}, -10504},
      {"CMD_111_0", {"S", "0", "2"}, -10512},
      {"CMD_111_0", {"S", "x", "2"}, -10510},
      {"CMD_111_0", {"S", "5", "0"}, 0},  // END_PLU is any integer, not compared with START_PLU
      {"CMD_111_0", {"S", "5", "z"}, -10510},
      {"CMD_111_1", {"P", "0"}, -10512},
      {"CMD_111_1", {"P", "1000"}, 0},
      {"CMD_111_2", {"P"}, 0},
      {"CMD_111_2", {"X"}, -10504},
  };
  // Input checks on, answer checks off: the code tells about the inputs only.
  test::ExpectInputChecks(cases, {.answer = "P", .switches = Switches::InputOnly, .emptyOutWhenRefused = true});
}

const char* const kRecord = "P000000012,A,05,1.50,100.000,3.000,97.000,Milk";
const AnsiStrings kRecordValues = {"P", "000000012", "A", "05", "1.50", "100.000", "3.000", "97.000", "Milk"};

TEST(ItemCommands, AnswersAreCutIntoValuesAndChecked) {
  const AnswerCase cases[] = {
      // The database figures carry no status letter.
      {"CMD_107_0_0", {}, "1000,250,36", {"", "1000", "250", "36"}, 0},
      {"CMD_107_0_0", {}, "P,250,36", {"", "P", "250", "36"}, -10521},
      {"CMD_107_0_0", {}, "1000,,36", {"", "1000", "", "36"}, -10524},
      {"CMD_107_0_0", {}, "1000,250", {"", "1000", "250", ""}, -10524},
      // Status letter alone, or with the free item count (which is not checked).
      {"CMD_107_1_0", Program(kTaxGr, "A"), "P,750", {"P", "750"}, 0},
      {"CMD_107_1_0", Program(kTaxGr, "A"), "F,x", {"F", "x"}, 0},
      {"CMD_107_1_0", Program(kTaxGr, "A"), "", {"", ""}, -10524},
      {"CMD_107_2_0", {"7", "1"}, "p", {"p"}, -10515},
      {"CMD_107_4_0", {}, "E", {"E"}, -10515},
      {"CMD_111_1", {"P", "3"}, "F", {"F"}, 0},
      // Item records.
      {"CMD_107_5_0", {"12"}, kRecord, kRecordValues, 0},
      {"CMD_107_11_0", {}, kRecord, kRecordValues, 0},
      // The R read keeps characters 2 to 10 of item 0, the others all of them.
      {"CMD_107_5_0", {"12"}, "P12345678901,A,05,1.50,100,3,97,Milk",
       {"P", "123456789", "A", "05", "1.50", "100", "3", "97", "Milk"}, 0},
      {"CMD_107_6_0", {"12"}, "P12345678901,A,05,1.50,100,3,97,Milk",
       {"P", "12345678901", "A", "05", "1.50", "100", "3", "97", "Milk"}, -10522},
      // A number that is no integer: -10521 for R, X and x, -10522 for the other reads.
      {"CMD_107_5_0", {"12"}, "Px,A,05,1.50,100,3,97,Milk", {"P", "x", "A", "05", "1.50", "100", "3", "97", "Milk"},
       -10521},
      {"CMD_107_9_0", {"12"}, "Px,A,05,1.50,100,3,97,Milk", {"P", "x", "A", "05", "1.50", "100", "3", "97", "Milk"},
       -10522},
      {"CMD_107_7_0", {"12"}, "P0,A,05,1.50,100,3,97,Milk", {"P", "0", "A", "05", "1.50", "100", "3", "97", "Milk"},
       -10523},
      // Only R insists on a two-digit group from 1 to 99.
      {"CMD_107_5_0", {"12"}, "P12,A,5,1.50,100,3,97,Milk", {"P", "12", "A", "5", "1.50", "100", "3", "97", "Milk"},
       -10514},
      {"CMD_107_6_0", {"12"}, "P12,A,5,1.50,100,3,97,Milk", {"P", "12", "A", "5", "1.50", "100", "3", "97", "Milk"}, 0},
      {"CMD_107_5_0", {"12"}, "P12,A,00,1.50,100,3,97,Milk",
       {"P", "12", "A", "00", "1.50", "100", "3", "97", "Milk"}, -10523},
      {"CMD_107_5_0", {"12"}, "P12,A,ab,1.50,100,3,97,Milk",
       {"P", "12", "A", "ab", "1.50", "100", "3", "97", "Milk"}, -10522},
      {"CMD_107_8_0", {}, "P12,A,ab,1.50,100,3,97,Milk", {"P", "12", "A", "ab", "1.50", "100", "3", "97", "Milk"}, 0},
      {"CMD_107_8_0", {}, "P12,A,123,1.50,100,3,97,Milk",
       {"P", "12", "A", "123", "1.50", "100", "3", "97", "Milk"}, -10513},
      // The other fields.
      {"CMD_107_6_0", {"12"}, "P12,AB,05,1.50,100,3,97,Milk",
       {"P", "12", "AB", "05", "1.50", "100", "3", "97", "Milk"}, -10513},
      {"CMD_107_6_0", {"12"}, "P12,A,05,1.50,100,three,97,Milk",
       {"P", "12", "A", "05", "1.50", "100", "three", "97", "Milk"}, -10516},
      {"CMD_107_6_0", {"12"}, "P12,A,05,1.50,100,3,,Milk", {"P", "12", "A", "05", "1.50", "100", "3", "", "Milk"},
       -10524},
      {"CMD_107_6_0", {"12"}, "P12,A,05,1.50,100,3,any,Milk",
       {"P", "12", "A", "05", "1.50", "100", "3", "any", "Milk"}, 0},
      {"CMD_107_10_0", {"12"}, "P12,A,05,1.50,100,3,97," + kName37,
       {"P", "12", "A", "05", "1.50", "100", "3", "97", kName37}, -10513},
      // A name holding "," comes back up to it; the rest is dropped.
      {"CMD_107_6_0", {"12"}, "P12,A,05,1.50,100,3,97,Milk, 1 l,extra",
       {"P", "12", "A", "05", "1.50", "100", "3", "97", "Milk"}, 0},
      {"CMD_107_6_0", {"12"}, "Q12,A,05,1.50,100,3,97,Milk",
       {"Q", "12", "A", "05", "1.50", "100", "3", "97", "Milk"}, -10515},
      // Index 0 only.
      {"CMD_107_12_0", {"12"}, "P12,A,05", {"P", "12"}, 0},
      {"CMD_107_12_1", {"12"}, "Pabc", {"P", "abc"}, -10521},
      {"CMD_107_12_1", {"12"}, "P1000000000", {"P", "1000000000"}, -10522},
      {"CMD_107_12_0", {"12"}, "", {"", ""}, -10524},
  };
  test::ExpectAnswers(cases);
}

// A refused read carries no record: once the status letter is "F" the answer
// check ends with success, whatever follows.
TEST(ItemCommands, RefusedReadPassesTheAnswerCheck) {
  const AnswerCase cases[] = {
      {"CMD_107_5_0", {"12"}, "F", {"F", "", "", "", "", "", "", "", ""}, 0},
      {"CMD_107_6_0", {"12"}, "F", {"F", "", "", "", "", "", "", "", ""}, 0},
      {"CMD_107_8_0", {}, "F0,AB,x", {"F", "0", "AB", "x", "", "", "", "", ""}, 0},
      {"CMD_107_12_0", {"12"}, "F", {"F", ""}, 0},
      {"CMD_107_12_1", {"12"}, "Fx", {"F", "x"}, 0},
  };
  test::ExpectAnswers(cases, {.lastErrorCode = false});
}

TEST(ItemCommands, FailedExchangeStillCutsTheRecord) {
  EngineOnPty e(AnswerWith(kRecord, {0, 0, 0x01, 0, 0, 0}));  // the printer reports an error bit
  ServerSwitches(e.connector());
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run("CMD_107_5_0", {"12"}, out), -5);
  EXPECT_EQ(out, kRecordValues);

  e.connector().ALWAYS_GET_OUTPUT = false;
  EXPECT_EQ(e.engine->Run("CMD_107_5_0", {"12"}, out), -5);
  EXPECT_EQ(out, AnsiStrings(kRecordValues.size()));
}

TEST(ItemCommands, NamedMethodsPassTheirValues) {
  EngineOnPty e(AnswerWith(kRecord));
  ServerSwitches(e.connector());
  AnsiString code = "stale", plu, tax, group, price, total, sold, available, name;
  EXPECT_EQ(e.engine->CMD_107_7_0("12", code, plu, tax, group, price, total, sold, available, name), 0);
  EXPECT_EQ((AnsiStrings {code, plu, tax, group, price, total, sold, available, name}), kRecordValues);
  EXPECT_EQ(e.peer->Requests().at(0).data, "L12");
}

}  // namespace
}  // namespace orbantis
