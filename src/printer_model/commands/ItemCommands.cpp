// The item (PLU) database: command 107 reads the database figures (I),
// programs an item (P), changes its quantity (A) or price (C), runs option D
// and reads items back by selector letter (R, F, L, N, f, l, n, X, x);
// command 111 runs with an option letter alone, over a PLU range or a group.
#include "printer_model/CommandTable.h"

#include "DStrParser/DStrParser.h"

namespace orbantis::cmd {
namespace {

// ---------------------------------------------------------------- inputs

const Rules taxGroup = {Required(IN_REQUIRED), MaxLength(1, IN_MAX_LENGTH), OneOf("A,B,C,D,E,F", IN_NOT_IN_LIST)};
// An item number that is no integer is reported as "too big" where the item
// is written or changed.
const Rules pluToWrite = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(999999999, IN_INTEGER_ABOVE),
                          IntegerAtLeast(1, IN_INTEGER_BELOW)};
const Rules pluToRead = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER), IntegerAtMost(999999999, IN_INTEGER_ABOVE),
                         IntegerAtLeast(1, IN_INTEGER_BELOW)};
// Option D takes any integer, 0 included: the printer decides what it means.
const Rules pluToDelete = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER)};
const Rules departmentGroup = {Required(IN_REQUIRED), Integer(IN_INTEGER_ABOVE), IntegerAtMost(99, IN_INTEGER_ABOVE),
                               IntegerAtLeast(1, IN_INTEGER_BELOW)};
const Rules programmedPrice = {Required(IN_REQUIRED), Currency(IN_CURRENCY_ABOVE),
                               CurrencyAtMost("999999.99", IN_CURRENCY_ABOVE)};
const Rules changedPrice = {Required(IN_REQUIRED), Number(IN_NOT_NUMBER), Currency(IN_CURRENCY_ABOVE),
                            CurrencyAtMost("999999.99", IN_CURRENCY_ABOVE)};
const Rules quantity = {Required(IN_REQUIRED), Number(IN_NOT_NUMBER)};  // no lower bound
const Rules itemName = {Required(IN_REQUIRED), MaxLength(36, IN_MAX_LENGTH)};
const Rules option = {Required(IN_REQUIRED), MaxLength(1, IN_MAX_LENGTH), OneOf("S,P", IN_NOT_IN_LIST)};
const Rules fromOne = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER), IntegerAtLeast(1, IN_INTEGER_BELOW)};
const Rules anyInteger = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER)};

// ---------------------------------------------------------------- answers

// "P" done, "F" refused. A refused read carries no record, so once the
// letter is "F" nothing after it is checked.
const Rules statusLetter = {Required(OUT_REQUIRED), OneOf("P,F", OUT_NOT_IN_LIST), PassIf("F")};
const Rules databaseFigure = {Required(OUT_REQUIRED), Integer(OUT_NOT_INTEGER)};
const Rules required = {Required(OUT_REQUIRED)};
const Rules number = {Required(OUT_REQUIRED), Number(OUT_NOT_NUMBER)};

// The item number after the status letter. The R, X and x reads report a
// non-integer as such; the other reads report it as "too big".
Rules answerPlu(std::int32_t notInteger) {
  return {Required(OUT_REQUIRED), Integer(notInteger), IntegerAtMost(999999999, OUT_INTEGER_ABOVE),
          IntegerAtLeast(1, OUT_INTEGER_BELOW)};
}

// The R read also insists on a two-digit group from 1 to 99.
const Rules groupOfR = {Required(OUT_REQUIRED), MaxLength(2, OUT_MAX_LENGTH), MinLength(2, OUT_MIN_LENGTH),
                        Integer(OUT_INTEGER_ABOVE), IntegerAtMost(99, OUT_INTEGER_ABOVE),
                        IntegerAtLeast(1, OUT_INTEGER_BELOW)};
const Rules group = {Required(OUT_REQUIRED), MaxLength(2, OUT_MAX_LENGTH)};

std::vector<Param> itemRecord(std::int32_t pluNotInteger, const Rules& groupRules) {
  return {{"ErrorCode", statusLetter},
          {"ANSWER_PLU", answerPlu(pluNotInteger)},
          {"TaxGr", {Required(OUT_REQUIRED), MaxLength(1, OUT_MAX_LENGTH)}},
          {"Group", groupRules},
          {"SPrice", number},
          {"Total", number},
          {"Sold", number},
          {"Available", required},
          {"ItemName", {Required(OUT_REQUIRED), MaxLength(36, OUT_MAX_LENGTH)}}};
}
const std::vector<Param> recordOfR = itemRecord(OUT_NOT_INTEGER, groupOfR);
const std::vector<Param> record = itemRecord(OUT_INTEGER_ABOVE, group);
const std::vector<Param> letterAndPlu = {{"ErrorCode", statusLetter}, {"ANSWER_PLU", answerPlu(OUT_NOT_INTEGER)}};
const std::vector<Param> letterOnly = {{"ErrorCode", statusLetter}};

// ---------------------------------------------------------------- answer shapes

// The database figures carry no status letter: ErrorCode stays empty and the
// three items fill the figures.
WideStrings databaseFigures(const WideString& answer) {
  WideStrings items;
  WS2Strings(answer, items, {u","});
  items.insert(items.begin(), WideString());
  return items;
}

// Item 0 is the status letter with the item number right behind it; the
// record's fields follow as items 1 to 7 (anything after them is dropped, an
// item name holding "," included). pluLength 0 takes the number to the end of
// item 0; the R read takes at most nine characters.
AnswerShape itemRecordShape(std::size_t pluLength, std::size_t fields) {
  return [pluLength, fields](const WideString& answer) {
    WideStrings items;
    WS2Strings(answer, items, {u","});
    if (items.empty()) return WideStrings {};
    const WideString& first = items[0];
    WideStrings values;
    values.push_back(first.substr(0, 1));
    values.push_back(first.size() > 1 ? first.substr(1, pluLength == 0 ? WideString::npos : pluLength) : WideString());
    for (std::size_t i = 1; i < items.size() && values.size() < fields; ++i) values.push_back(items[i]);
    return values;
  };
}

}  // namespace

const std::vector<CommandRow>& ItemCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      {"CMD_107_0_0", 107, {}, "I", databaseFigures,
       {{"ErrorCode"}, {"Total", databaseFigure}, {"Progr", databaseFigure}, {"Len", databaseFigure}}},

      // An empty Replace leaves Quantity right behind the third ",".
      {"CMD_107_1_0", 107,
       {{"TaxGr", taxGroup}, {"PLU", pluToWrite}, {"Group", departmentGroup}, {"SPrice", programmedPrice},
        {"Replace", {MaxLength(1, IN_MAX_LENGTH)}}, {"Quantity", quantity}, {"ItemName", itemName}},
       "P{TaxGr:1}{PLU},{Group},{SPrice},{Replace:1}{Quantity},{ItemName:36}", SplitAt(),
       {{"ErrorCode", statusLetter}, {"FreeItemsNumber"}}},
      {"CMD_107_2_0", 107, {{"PLU", pluToWrite}, {"Quantity", quantity}}, "A{PLU},{Quantity}", SplitAt(), letterOnly},
      {"CMD_107_3_0", 107, {{"PLU", pluToWrite}, {"SPrice", changedPrice}}, "C{PLU},{SPrice}", SplitAt(), letterOnly},

      // Option D with "A", with one item number, with a range.
      {"CMD_107_4_0", 107, {}, "DA", SplitAt(), letterOnly},
      {"CMD_107_4_1", 107, {{"PLU", pluToDelete}}, "D{PLU}", SplitAt(), letterOnly},
      {"CMD_107_4_2", 107, {{"PLU1", pluToDelete}, {"PLU2", pluToDelete}}, "D{PLU1},{PLU2}", SplitAt(), letterOnly},

      // Reads by selector letter; "F" and "f" (and the others) are different
      // reads to the printer.
      {"CMD_107_5_0", 107, {{"PLU", pluToRead}}, "R{PLU}", itemRecordShape(9, 9), recordOfR},
      {"CMD_107_6_0", 107, {{"PLU", pluToRead}}, "F{PLU}", itemRecordShape(0, 9), record},
      {"CMD_107_7_0", 107, {{"PLU", pluToRead}}, "L{PLU}", itemRecordShape(0, 9), record},
      {"CMD_107_8_0", 107, {}, "N", itemRecordShape(0, 9), record},
      {"CMD_107_9_0", 107, {{"PLU", pluToRead}}, "f{PLU}", itemRecordShape(0, 9), record},
      {"CMD_107_10_0", 107, {{"PLU", pluToRead}}, "l{PLU}", itemRecordShape(0, 9), record},
      {"CMD_107_11_0", 107, {}, "n", itemRecordShape(0, 9), record},
      {"CMD_107_12_0", 107, {{"PLU", pluToRead}}, "X{PLU}", itemRecordShape(0, 2), letterAndPlu},
      {"CMD_107_12_1", 107, {{"PLU", pluToRead}}, "x{PLU}", itemRecordShape(0, 2), letterAndPlu},

      // END_PLU is not compared with START_PLU: the printer judges the range.
      {"CMD_111_0", 111, {{"Option", option}, {"START_PLU", fromOne}, {"END_PLU", anyInteger}},
       "{Option:1},{START_PLU},{END_PLU}", SplitAt(), letterOnly},
      {"CMD_111_1", 111, {{"Option", option}, {"Group", fromOne}}, "{Option:1},{Group}", SplitAt(), letterOnly},
      {"CMD_111_2", 111, {{"Option", option}}, "{Option:1}", SplitAt(), letterOnly},
  };
  return rows;
}

}  // namespace orbantis::cmd
