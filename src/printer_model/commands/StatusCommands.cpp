// Status and information reads: status bytes (74), diagnostics (90), clock
// (62), date and time of the last fiscal-memory record (86), totals by tax
// group (64, 65, 97, 103), counters and sums (68, 76, 89, 93), TIN and VRN (99).
#include "printer_model/CommandTable.h"
#include "printer_model/StatusReads.h"

namespace orbantis::cmd {
namespace {

// Answer checks used again and again below.
const Rules required = {Required(OUT_REQUIRED)};
const Rules requiredNumber = {Required(OUT_REQUIRED), Number(OUT_NOT_NUMBER)};
const Rules requiredInteger = {Required(OUT_REQUIRED), Integer(OUT_NOT_INTEGER)};
Rules requiredMax(int n) { return {Required(OUT_REQUIRED), MaxLength(n, OUT_MAX_LENGTH)}; }

const Rules optionZeroOrOne = {Required(IN_REQUIRED), OneOf("0,1", IN_NOT_IN_LIST)};

}  // namespace

const std::vector<CommandRow>& StatusCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      {"CMD_74_0_0", 74, {{"Option"}}, "{Option}", {},
       {{"S0"}, {"S1"}, {"S2"}, {"S3"}, {"S4"}, {"S5"}}, StatusRead(/*withOption=*/true)},
      {"CMD_74_0_1", 74, {}, "", {},
       {{"S0"}, {"S1"}, {"S2"}, {"S3"}, {"S4"}, {"S5"}}, StatusRead(/*withOption=*/false)},

      {"CMD_90_0_0", 90, {}, "1", SplitAt(),
       {{"PrinterName", required}, {"FwRev_FwDate", required}, {"Chk", required}, {"ConfigSwitches", required},
        {"Serial", required}}},

      {"CMD_62_0_0", 62, {}, "", SplitAt(),
       {{"FP_ANSWER", {MaxLength(17, OUT_MAX_LENGTH), Required(OUT_REQUIRED)}}}},
      // DD-MM-YY HH:MM:SS, cut at fixed positions; the separators are not tested.
      {"CMD_62_0_1", 62, {}, "", SlicesOfFirstItem({{1, 2}, {4, 5}, {7, 8}, {10, 11}, {13, 14}, {16, 17}}),
       {{"DD", required}, {"MM", required}, {"YY", required}, {"HH", required}, {"MINUTES", required},
        {"SS", required}}},

      {"CMD_86_0_0", 86, {}, "T", SplitAt(), {{"LFMR_DT", requiredMax(19)}}},
      // DD-MM-YYYY HH:MM:SS
      {"CMD_86_0_1", 86, {}, "T", SlicesOfFirstItem({{1, 2}, {4, 5}, {7, 10}, {12, 13}, {15, 16}, {18, 19}}),
       {{"DD", requiredMax(2)}, {"MM", requiredMax(2)}, {"YYYY", requiredMax(4)}, {"HH", requiredMax(2)},
        {"MMM", requiredMax(2)}, {"SS", requiredMax(2)}}},

      {"CMD_64_0_0", 64, {{"Option", optionZeroOrOne}}, "{Option}", SplitAt(),
       {{"Closure", required}, {"TotA", required}, {"TotB", required}, {"TotC", required}, {"TotD", required},
        {"TotE", required}, {"TotF", required}, {"ClosureDate", requiredMax(6)}}},
      {"CMD_65_0_0", 65, {{"Option", optionZeroOrOne}}, "{Option}", SplitAt(),
       {{"TotA", required}, {"TotB", required}, {"TotC", required}, {"TotD", required}, {"TotE", required},
        {"TotF", required}}},

      {"CMD_68_0_0", 68, {}, "", SplitAt(), {{"Logical", requiredMax(4)}}},

      // An empty Option is allowed and gives an empty data field.
      {"CMD_76_0_0", 76, {{"Option", {MaxLength(1, IN_MAX_LENGTH)}}}, "{Option:1}", SplitAt(),
       {{"FT_Opened", requiredMax(1)}, {"Sales_Num", requiredInteger}, {"Amount", requiredNumber},
        {"Tender", requiredNumber}}},

      // 10135 and 10136 go out as their low bytes, 97h and 98h.
      {"CMD_89_0_0", 10135, {}, "T", SplitAt(),
       {{"FP_RESULT", {Required(OUT_REQUIRED), OneOf("P,F", OUT_NOT_IN_LIST)}}, {"FreeRecords", requiredInteger}}},
      {"CMD_89_0_1", 10136, {}, "", SplitAt(),
       {{"FP_RESULT", {Required(OUT_REQUIRED), OneOf("P,F", OUT_NOT_IN_LIST)}}, {"FreeRecords", requiredInteger}}},

      {"CMD_93_0_0", 93, {}, "", SplitAt(),
       {{"DiscountsCnt", requiredInteger}, {"DiscountsSum", requiredNumber}, {"MarkupsCnt", requiredInteger},
        {"MarkupsSum", requiredNumber}}},

      {"CMD_97_0_0", 97, {}, "", SplitAt(),
       {{"TaxA", requiredNumber}, {"TaxB", requiredNumber}, {"TaxC", requiredNumber}, {"TaxD", requiredNumber},
        {"TaxE", requiredNumber}, {"TaxF", requiredNumber}}},

      // Exactly nine characters each.
      {"CMD_99_0_0", 99, {}, "", SplitAt(),
       {{"TIN", {Required(OUT_REQUIRED), MaxLength(9, OUT_MAX_LENGTH), MinLength(9, OUT_MIN_LENGTH)}},
        {"VRN", {Required(OUT_REQUIRED), MaxLength(9, OUT_MAX_LENGTH), MinLength(9, OUT_MIN_LENGTH)}}}},

      {"CMD_103_0_0", 103, {}, "", SplitAt(),
       {{"CanVd", {Required(OUT_REQUIRED), OneOf("0,1", OUT_NOT_IN_LIST)}}, {"TaxA", requiredNumber},
        {"TaxB", requiredNumber}, {"TaxC", requiredNumber}, {"TaxD", requiredNumber}, {"TaxE", requiredNumber},
        {"TaxF", requiredNumber}}},
  };
  return rows;
}

}  // namespace orbantis::cmd
