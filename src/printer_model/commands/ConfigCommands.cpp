// Configuration and identity: network settings (36, and the write without a
// MAC address sent as 10134), switches (41), numbered text items such as the
// receipt header and footer (43), date and time (61), multiplier, decimals,
// enabled switches and tax rates (83), the names chosen by the letters I to L
// (85), the serial number (10137), TIN and VRN (10138), an operator's
// password (101) and name (102); 63 and 71 carry no data.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

Rules requiredMax(int n) { return {Required(IN_REQUIRED), MaxLength(n, IN_MAX_LENGTH)}; }
Rules exactly(int n) { return {Required(IN_REQUIRED), MaxLength(n, IN_MAX_LENGTH), MinLength(n, IN_MIN_LENGTH)}; }

// Network settings: an address, mask, port or gateway fits in 15 characters.
const Rules network = requiredMax(15);
const Rules networkAnswer = {Required(OUT_REQUIRED), MaxLength(15, OUT_MAX_LENGTH)};

const Rules opCode = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(16, IN_INTEGER_ABOVE),
                      IntegerAtLeast(1, IN_INTEGER_BELOW)};
const Rules password = {Required(IN_REQUIRED), MaxLength(8, IN_MAX_LENGTH), MinLength(4, IN_MIN_LENGTH)};

// The multiplier reports a text that is no integer as below its bound.
const Rules multiplier = {Required(IN_REQUIRED), Integer(IN_INTEGER_BELOW), IntegerAtLeast(0, IN_INTEGER_BELOW),
                          IntegerAtMost(3, IN_INTEGER_ABOVE)};
// A rate that is no number is reported as below its bound; the lower bound is
// tested first. The bounds compare the exact fixed-point value, so 99.00
// passes and 99.0001 does not.
const Rules taxRate = {Required(IN_REQUIRED), Currency(IN_CURRENCY_BELOW), CurrencyAtLeast("0", IN_CURRENCY_BELOW),
                       CurrencyAtMost("99", IN_CURRENCY_ABOVE)};
// In the answer a rate that is no number is reported as above its bound.
const Rules taxRateAnswer = {Required(OUT_REQUIRED), Currency(OUT_CURRENCY_ABOVE),
                             CurrencyAtMost("99", OUT_CURRENCY_ABOVE), CurrencyAtLeast("0", OUT_CURRENCY_BELOW)};

const std::vector<Param> settingsAnswer = {
    {"OUTPUT_Multiplier", {Required(OUT_REQUIRED), OneOf("0,1,2,3", OUT_NOT_IN_LIST)}},
    {"OUTPUT_Decimals", {Required(OUT_REQUIRED), OneOf("0,2", OUT_NOT_IN_LIST)}},
    {"OUTPUT_EnabledSwitches", {Required(OUT_REQUIRED), MaxLength(6, OUT_MAX_LENGTH)}},
    {"OUTPUT_TaxA", taxRateAnswer},
    {"OUTPUT_TaxB", taxRateAnswer},
    {"OUTPUT_TaxC", taxRateAnswer},
    {"OUTPUT_TaxD", taxRateAnswer},
    {"OUTPUT_TaxE", taxRateAnswer},
    {"OUTPUT_TaxF", taxRateAnswer},
};

// The same letters I to L that the payment command takes as payment modes.
const Rules nameOption = {Required(IN_REQUIRED), MaxLength(1, IN_MAX_LENGTH), OneOf("I,J,K,L", IN_NOT_IN_LIST)};

}  // namespace

const std::vector<CommandRow>& ConfigCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      // MACAddr may be missing from the answer.
      {"CMD_36_0_0", 36, {}, "", SplitAt(),
       {{"IPAddr", networkAnswer}, {"SubnetMask", networkAnswer}, {"TCPPort", networkAnswer},
        {"DefGateway", networkAnswer}, {"MACAddr", {MaxLength(24, OUT_MAX_LENGTH)}}}},
      // An empty MACAddr still writes its ",", so the field then ends in ",".
      {"CMD_36_0_1", 36,
       {{"IPAddr", network}, {"SubnetMask", network}, {"TCPPort", network}, {"DefGateway", network},
        {"MACAddr", {MaxLength(24, IN_MAX_LENGTH)}}},
       "{IPAddr:15},{SubnetMask:15},{TCPPort:15},{DefGateway:15},{MACAddr:24}", {}, {}},
      // 10134 goes out as its low byte, 96h; this write never has a fifth field.
      {"CMD_36_0_2", 10134,
       {{"IPAddr", network}, {"SubnetMask", network}, {"TCPPort", network}, {"DefGateway", network}},
       "{IPAddr:15},{SubnetMask:15},{TCPPort:15},{DefGateway:15}", {}, {}},

      {"CMD_41_0_0", 41, {{"Switches", {MaxLength(8, IN_MAX_LENGTH)}}}, "{Switches:8}", {}, {}},
      {"CMD_41_0_1", 41, {}, "", {}, {}},

      // Index and value are joined with nothing between them (index 6, value
      // ABC: "6ABC"). Neither is cut: the header's six lines come joined by
      // TAB as one value.
      {"CMD_43_0_0", 43, {{"ITEM_INDEX", {Required(IN_REQUIRED)}}, {"DATA_VALUE", {Required(IN_REQUIRED)}}},
       "{ITEM_INDEX}{DATA_VALUE}", {}, {}},
      // The answer is one value, commas and all: no separator splits it.
      {"CMD_43_0_1", 43, {{"FP_INPUT", {Required(IN_REQUIRED)}}}, "{FP_INPUT}", SplitAt({}), {{"FP_ANSWER"}}},

      {"CMD_61_0_0", 61, {{"TRGT_DATE", requiredMax(8)}, {"TRGT_TIME", requiredMax(8)}},
       "{TRGT_DATE:8} {TRGT_TIME:8}", {}, {}},
      {"CMD_63_0_0", 63, {}, "", {}, {}},
      {"CMD_71_0_0", 71, {}, "", {}, {}},

      // The rates go as the client wrote them: 18 as 18, 18.00 as 18.00.
      {"CMD_83_0_0", 83,
       {{"INPUT_Multiplier", multiplier}, {"INPUT_Decimals", {Required(IN_REQUIRED), OneOf("0,2", IN_NOT_IN_LIST)}},
        {"EnabledSwitches", requiredMax(6)}, {"INPUT_TaxA", taxRate}, {"INPUT_TaxB", taxRate},
        {"INPUT_TaxC", taxRate}, {"INPUT_TaxD", taxRate}, {"INPUT_TaxE", taxRate}, {"INPUT_TaxF", taxRate}},
       "{INPUT_Multiplier},{INPUT_Decimals},{EnabledSwitches:6},{INPUT_TaxA},{INPUT_TaxB},{INPUT_TaxC},{INPUT_TaxD},"
       "{INPUT_TaxE},{INPUT_TaxF}",
       SplitAt(), settingsAnswer},
      {"CMD_83_0_1", 83, {}, "", SplitAt(), settingsAnswer},

      // Only the first character of the answer is the result; an empty one
      // fails the list with -10515.
      {"CMD_85_0_0", 85, {{"Option", nameOption}, {"INPUT_NAME", requiredMax(24)}}, "{Option:1},{INPUT_NAME:24}",
       SlicesOfFirstItem({{1, 1}}), {{"FP_RESULT", {OneOf("P,F", OUT_NOT_IN_LIST)}}}},
      {"CMD_85_0_1", 85, {{"Option", nameOption}}, "{Option:1}", SplitAt(), {{"OUTPUT_NAME"}}},

      // 10137 goes out as its low byte, 99h. A serial number has exactly ten
      // characters.
      {"CMD_91_0_0", 10137, {{"Serial", exactly(10)}}, "{Serial:10}", SplitAt(),
       {{"FP_RESULT", {Required(OUT_REQUIRED), OneOf("P,F", OUT_NOT_IN_LIST)}},
        {"CountryStr", {Required(OUT_REQUIRED)}}}},
      // 10138 goes out as its low byte, 9Ah. TIN and VRN have exactly nine
      // characters each.
      {"CMD_98_0_0", 10138, {{"TIN", exactly(9)}, {"VRN", exactly(9)}}, "{TIN:9},{VRN:9}", {}, {}},

      {"CMD_101_0_0", 101, {{"OpCode", opCode}, {"OldPwd", password}, {"NewPwd", password}},
       "{OpCode},{OldPwd:8},{NewPwd:8}", {}, {}},
      {"CMD_102_0_0", 102, {{"OpCode", opCode}, {"Pwd", password}, {"OpName", requiredMax(24)}},
       "{OpCode},{Pwd:8},{OpName:24}", {}, {}},
  };
  return rows;
}

}  // namespace orbantis::cmd
