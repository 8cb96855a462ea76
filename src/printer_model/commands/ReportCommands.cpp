// Reports and cash operations: the fiscal-memory report by dates (50), the
// closure (69), cash in and out (70), the ranged reports with their option
// Ext (73 by record numbers, 79 and 94 by dates, 95 by numbers) and 105,
// which carries no data.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

// Answer checks used again and again below.
const Rules required = {Required(OUT_REQUIRED)};
const Rules requiredNumber = {Required(OUT_REQUIRED), Number(OUT_NOT_NUMBER)};

// DDMMYY: six characters at most.
const Rules date = {Required(IN_REQUIRED), MaxLength(6, IN_MAX_LENGTH)};
// A record number has four digits at most; the parse comes before the length.
const Rules recordNumber = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER), MaxLength(4, IN_MAX_LENGTH)};
const Rules number = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER)};

// The first answer item carries F_RESULT and AA with nothing between them:
// its first character is the result, the rest of it AA. The items after it
// map one to one.
WideStrings ResultLetterThenItems(const WideString& answer) {
  WideStrings items = SplitAt()(answer);
  if (items.empty()) return items;
  const WideString first = items[0];
  WideStrings values {first.substr(0, 1), first.size() > 1 ? first.substr(1) : WideString()};
  values.insert(values.end(), items.begin() + 1, items.end());
  return values;
}

}  // namespace

const std::vector<CommandRow>& ReportCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      {"CMD_50_0_0", 50, {{"StartDate", date}, {"EndDate", date}}, "{StartDate:6},{EndDate:6}",
       ResultLetterThenItems,
       {{"F_RESULT", {MaxLength(1, OUT_MAX_LENGTH), Required(OUT_REQUIRED)}}, {"AA", required}, {"BB", required},
        {"CC", required}, {"DD", required}, {"DDMMYY", {Required(OUT_REQUIRED), MaxLength(6, OUT_MAX_LENGTH)}}}},

      // The three texts are joined with nothing between them; N and A are not
      // tested, the printer judges them.
      {"CMD_69_0_0", 69, {{"Option", {Required(IN_REQUIRED), OneOf("0,2", IN_NOT_IN_LIST)}}, {"N"}, {"A"}},
       "{Option}{N}{A}", SplitAt(),
       {{"Closure", {Integer(OUT_NOT_INTEGER)}}, {"TotA", required}, {"TotB", required}, {"TotC", required},
        {"TotD", required}, {"TotE", required}, {"TotF", required}}},

      // There is no required rule: an empty sum fails the number rule with
      // -10505. The sign is not tested, so -5.00 passes.
      {"CMD_70_0_0", 70, {{"InputSum", {MaxLength(9, IN_MAX_LENGTH), Number(IN_NOT_NUMBER)}}}, "{InputSum:9}",
       SplitAt(),
       {{"ExitCode", {OneOf("P,F", OUT_NOT_IN_LIST)}}, {"CashSum", requiredNumber}, {"ServIn", requiredNumber},
        {"ServOut", requiredNumber}}},

      // Ext stands right before the first bound; an empty Ext is allowed here
      // and the field then starts with the first bound.
      {"CMD_73_0_0", 73,
       {{"Ext", {MaxLength(1, IN_MAX_LENGTH)}}, {"StartRec", recordNumber}, {"EndRec", recordNumber}},
       "{Ext:1}{StartRec:4},{EndRec:4}", {}, {}},

      // Ext is neither tested nor cut in the reports by date.
      {"CMD_79_0_0", 79, {{"Ext"}, {"StartDate", date}, {"EndDate", date}}, "{Ext}{StartDate:6},{EndDate:6}", {}, {}},
      {"CMD_94_0_0", 94, {{"Ext"}, {"StartDate", date}, {"EndDate", date}}, "{Ext}{StartDate:6},{EndDate:6}", {}, {}},

      // Unlike command 73, this report requires Ext.
      {"CMD_95_0_0", 95,
       {{"Ext", {Required(IN_REQUIRED), MaxLength(1, IN_MAX_LENGTH)}}, {"StartNumber", number}, {"EndNumber", number}},
       "{Ext:1}{StartNumber},{EndNumber}", {}, {}},

      {"CMD_105_0_0", 105, {}, "", {}, {}},
  };
  return rows;
}

}  // namespace orbantis::cmd
