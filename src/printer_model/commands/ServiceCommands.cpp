// Logo rows and service commands: one row of the logo bitmap written (115)
// and read back (115 "R"), blocks of printer memory (116, 121), payment totals
// (110), an operator's figures (112), document counters (113), and 109, 117
// and 118.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

// The logo has 96 rows. The row's text is the logo form's business, not ours:
// it goes out as given, whatever its length.
const Rules logoRow = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(95, IN_INTEGER_ABOVE),
                       IntegerAtLeast(0, IN_INTEGER_BELOW)};
// The length rule comes first, so "262144" fails on its six characters.
const Rules memoryAddress = {Required(IN_REQUIRED), MaxLength(5, IN_MAX_LENGTH), Integer(IN_INTEGER_ABOVE),
                             IntegerAtMost(262143, IN_INTEGER_ABOVE), IntegerAtLeast(0, IN_INTEGER_BELOW)};
const Rules blockLength = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(64, IN_INTEGER_ABOVE),
                           IntegerAtLeast(1, IN_INTEGER_BELOW)};
const Rules operatorNumber = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER), IntegerAtMost(16, IN_INTEGER_ABOVE),
                              IntegerAtLeast(1, IN_INTEGER_BELOW)};
// Only 1 passes, however it is written ("01" goes out as "01").
const Rules countOfOne = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(1, IN_INTEGER_ABOVE),
                          IntegerAtLeast(1, IN_INTEGER_BELOW)};

const Rules required = {Required(OUT_REQUIRED)};
const Rules requiredInteger = {Required(OUT_REQUIRED), Integer(OUT_NOT_INTEGER)};
const Rules requiredNumber = {Required(OUT_REQUIRED), Number(OUT_NOT_NUMBER)};

}  // namespace

const std::vector<CommandRow>& ServiceCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      {"CMD_115_0", 115, {{"RowNum", logoRow}, {"RowData", {Required(IN_REQUIRED)}}}, "{RowNum},{RowData}", {}, {}},
      {"CMD_115_1", 115, {{"RowNum", logoRow}}, "R{RowNum}", SplitAt(), {{"RowData", required}}},

      // Only the address is cut; the data stop at the first "," of the answer.
      {"CMD_116_0", 116, {{"TRGT_ADDR", memoryAddress}, {"BlockLength", blockLength}}, "{TRGT_ADDR:5},{BlockLength}",
       SplitAt(), {{"AnswerData", required}}},
      // No input check at all: address and length go out as given, empty ones
      // too. The data end at the first separator of any kind, so Data never
      // holds one.
      {"CMD_121_0_0", 121, {{"Address"}, {"Bytes"}}, "{Address},{Bytes}", SplitAt({u",", u";", u"\n", u"\t", u" "}),
       {{"Data", required}}},

      // Pay_J to Pay_L may be empty.
      {"CMD_110_0", 110, {}, "", SplitAt(),
       {{"Cash", required}, {"Credit", required}, {"Debit", required}, {"Cheque", required}, {"Pay_I", required},
        {"Pay_J"}, {"Pay_K"}, {"Pay_L"}, {"Closure", required}, {"Receipt", requiredInteger}}},
      {"CMD_112_0", 112, {{"OperatorNumber", operatorNumber}}, "{OperatorNumber}", SplitAt(),
       {{"ReceiptsNumber", requiredInteger}, {"RegisteredSalesNumber", requiredInteger},
        {"TotalAccumulatedSum", requiredNumber}, {"DiscountsNumber", requiredNumber},
        {"TotalDiscountsNumber", requiredNumber}, {"MarkUpNumber", requiredNumber},
        {"TotalMarkUpNumber", requiredNumber}, {"VoidNumber", requiredNumber}, {"VoidsTotal", requiredNumber},
        {"OperatorName"}, {"OperatorPassword"}}},
      {"CMD_113_0", 113, {}, "", SplitAt(),
       {{"Fiscal", requiredInteger}, {"NonFiscal", requiredInteger}, {"Document", requiredInteger}}},

      {"CMD_109_0", 109, {{"Count", countOfOne}}, "{Count}", {}, {}},
      {"CMD_117_0", 117, {}, "", {}, {}},
      {"CMD_118_0", 118, {}, "", SplitAt(), {{"Seconds", required}}},
  };
  return rows;
}

}  // namespace orbantis::cmd
