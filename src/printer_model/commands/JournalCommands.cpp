// The electronic journal (command 120): its information (I), and operations
// chosen by option letters, for the whole journal, for one TRGT_YEAR value,
// for a range of two texts or for a range of four numbers. One exchange, one
// answer each.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

// ---------------------------------------------------------------- inputs

const Param year = {"TRGT_YEAR", {Required(IN_REQUIRED), MaxLength(2, IN_MAX_LENGTH), Integer(IN_INTEGER_ABOVE),
                                  IntegerAtMost(12, IN_INTEGER_ABOVE), IntegerAtLeast(1, IN_INTEGER_BELOW)}};
// The bounds of a range are not compared with each other, and the texts are
// not looked into.
const Rules rangeText = {Required(IN_REQUIRED), MaxLength(10, IN_MAX_LENGTH)};
const Rules rangeNumber = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER)};
const std::vector<Param> textRange = {{"ZReceipt1", rangeText}, {"ZReceipt2", rangeText}};
const std::vector<Param> numberRange = {{"ZReceiptNumber1", rangeNumber},
                                        {"RReceiptNumber2", rangeNumber},
                                        {"ZReceiptNumber3", rangeNumber},
                                        {"RReceiptNumber4", rangeNumber}};

// The pieces behind the option letters. The four numbers are never cut.
const std::string yearPiece = "D{TRGT_YEAR:2}";
const std::string textPiece = "D{ZReceipt1:10},{ZReceipt2:10}";
const std::string numberPiece = "{ZReceiptNumber1},{RReceiptNumber2},{ZReceiptNumber3},{RReceiptNumber4}";

// ---------------------------------------------------------------- answers

const Rules required = {Required(OUT_REQUIRED)};
const std::vector<Param> information = {{"JNum", {Required(OUT_REQUIRED), Integer(OUT_NOT_INTEGER)}},
                                        {"LastZNumber", required},
                                        {"FirstZNumber", required},
                                        {"LWLN", required},
                                        {"FreeLines", required},
                                        {"TotLines", required}};
const std::vector<Param> letterAndText = {{"FP_ANSWER", {Required(OUT_REQUIRED), OneOf("F,P", OUT_NOT_IN_LIST)}},
                                          {"ANSWER_TEXT"}};

// The answer taken whole: the status letter, then everything from the third
// character on, "," included. The character right after the letter is its
// separator and is dropped.
WideStrings wholeAnswer(const WideString& answer) {
  if (answer.empty()) return {};
  return {answer.substr(0, 1), answer.size() > 2 ? answer.substr(2) : WideString()};
}

}  // namespace

const std::vector<CommandRow>& JournalCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      {"CMD_120_0", 120, {}, "I", SplitAt(), information},

      {"CMD_120_1", 120, {}, "F", wholeAnswer, letterAndText},
      {"CMD_120_2", 120, {year}, "FF" + yearPiece, wholeAnswer, letterAndText},
      {"CMD_120_3", 120, textRange, "FF" + textPiece, wholeAnswer, letterAndText},
      {"CMD_120_4", 120, numberRange, "FF" + numberPiece, wholeAnswer, letterAndText},
      {"CMD_120_5", 120, {year}, "FL" + yearPiece, wholeAnswer, letterAndText},
      {"CMD_120_6", 120, textRange, "FL" + textPiece, wholeAnswer, letterAndText},
      {"CMD_120_7", 120, numberRange, "FL" + numberPiece, wholeAnswer, letterAndText},
      {"CMD_120_8", 120, {year}, "FI" + yearPiece, wholeAnswer, letterAndText},
      {"CMD_120_9", 120, textRange, "FI" + textPiece, wholeAnswer, letterAndText},
      {"CMD_120_10", 120, numberRange, "FI" + numberPiece, wholeAnswer, letterAndText},

      // PL and PS have no year variant; their answers are split at ",", so
      // ANSWER_TEXT ends at the first "," after the letter's.
      {"CMD_120_11", 120, {}, "PL", SplitAt(), letterAndText},
      {"CMD_120_12", 120, textRange, "PLF" + textPiece, SplitAt(), letterAndText},
      {"CMD_120_13", 120, numberRange, "PLF" + numberPiece, SplitAt(), letterAndText},
      {"CMD_120_14", 120, textRange, "PLL" + textPiece, SplitAt(), letterAndText},
      {"CMD_120_15", 120, numberRange, "PLL" + numberPiece, SplitAt(), letterAndText},
      {"CMD_120_16", 120, textRange, "PLI" + textPiece, SplitAt(), letterAndText},
      {"CMD_120_17", 120, numberRange, "PLI" + numberPiece, SplitAt(), letterAndText},
      {"CMD_120_18", 120, {}, "PS", SplitAt(), letterAndText},
      {"CMD_120_19", 120, textRange, "PSF" + textPiece, SplitAt(), letterAndText},
      {"CMD_120_20", 120, numberRange, "PSF" + numberPiece, SplitAt(), letterAndText},
      {"CMD_120_21", 120, textRange, "PSL" + textPiece, SplitAt(), letterAndText},
      {"CMD_120_22", 120, numberRange, "PSL" + numberPiece, SplitAt(), letterAndText},
      {"CMD_120_23", 120, textRange, "PSI" + textPiece, SplitAt(), letterAndText},
      {"CMD_120_24", 120, numberRange, "PSI" + numberPiece, SplitAt(), letterAndText},

      {"CMD_120_25", 120, {}, "N", wholeAnswer, letterAndText},
      {"CMD_120_26", 120, {}, "CL", SplitAt(), letterAndText},
      {"CMD_120_27", 120, {}, "CS", SplitAt(), letterAndText},
  };
  return rows;
}

}  // namespace orbantis::cmd
