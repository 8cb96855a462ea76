// Texts, lines, barcodes and sounds: short texts (35, 42, 47, 100), paper
// feed by lines (44), a line type (92), barcodes (84), sound data (80) and a
// duration in milliseconds (106); 33 and 45 carry no data, 38 and 39 carry
// none but answer the two receipt counters.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

const Rules integerAnswer = {Integer(OUT_NOT_INTEGER)};

// Commands 35 and 47 take the same text of at most 20 characters.
const Rules text20 = {Required(IN_REQUIRED), MaxLength(20, IN_MAX_LENGTH)};

// Integer rules here report an unparsable text as above the bound (-10511).
Rules integerFromTo(std::int64_t least, std::int64_t most) {
  return {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(most, IN_INTEGER_ABOVE),
          IntegerAtLeast(least, IN_INTEGER_BELOW)};
}

// The length rule comes before the list, so "12" fails as too long.
const Rules barcodeType = {Required(IN_REQUIRED), MaxLength(1, IN_MAX_LENGTH), OneOf("1,2,3,4,5", IN_NOT_IN_LIST)};
const Rules barcodeData = {Required(IN_REQUIRED), MaxLength(32, IN_MAX_LENGTH)};

}  // namespace

const std::vector<CommandRow>& TextCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      {"CMD_33_0_0", 33, {}, "", {}, {}},
      {"CMD_35_0_0", 35, {{"TRGT_TEXT", text20}}, "{TRGT_TEXT:20}", {}, {}},
      // An empty counter fails the integer parse with -10521.
      {"CMD_38_0_0", 38, {}, "", SplitAt(), {{"RecCnt", integerAnswer}, {"GlobRecCnt", integerAnswer}}},
      {"CMD_39_0_0", 39, {}, "", SplitAt(), {{"RecCnt", integerAnswer}, {"GlobRecCnt", integerAnswer}}},
      // No length limit and no cut: the text goes whole, however long.
      {"CMD_42_0_0", 42, {{"TRGT_TEXT", {Required(IN_REQUIRED)}}}, "{TRGT_TEXT}", {}, {}},
      {"CMD_44_0_0", 44, {{"TRGT_LINES", integerFromTo(1, 99)}}, "{TRGT_LINES}", {}, {}},
      {"CMD_45_0_0", 45, {}, "", {}, {}},
      {"CMD_47_0_0", 47, {{"TRGT_TEXT", text20}}, "{TRGT_TEXT:20}", {}, {}},
      // The sound data goes to the printer as the client wrote it.
      {"CMD_80_0_0", 80, {{"SoundData", {Required(IN_REQUIRED)}}}, "{SoundData}", {}, {}},
      // The two barcode variants differ only in the separator.
      {"CMD_84_0_0", 84, {{"BC_Type", barcodeType}, {"Data", barcodeData}}, "{BC_Type:1},{Data:32}", {}, {}},
      {"CMD_84_0_1", 84, {{"BC_Type", barcodeType}, {"Data", barcodeData}}, "{BC_Type:1};{Data:32}", {}, {}},
      {"CMD_92_0_0", 92, {{"LineType", {Required(IN_REQUIRED), OneOf("1,2,3", IN_NOT_IN_LIST)}}}, "{LineType}", {},
       {}},
      {"CMD_100_0_0", 100, {{"Input_Text", {Required(IN_REQUIRED), MaxLength(40, IN_MAX_LENGTH)}}},
       "{Input_Text:40}", {}, {}},
      {"CMD_106_0_0", 106, {{"mSec", integerFromTo(0, 100)}}, "{mSec}", {}, {}},
  };
  return rows;
}

}  // namespace orbantis::cmd
