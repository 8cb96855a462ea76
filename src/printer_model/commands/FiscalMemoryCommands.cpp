// Fiscal memory reads (command 114): one record, or a range of them, chosen
// by closure number and a record type digit 0 to 8 that says which figures
// come back. Type 7 reads a header line instead: its second value is the line
// index 0 to 5, not a closure number.
#include "printer_model/CommandTable.h"

namespace orbantis::cmd {
namespace {

// Any integer: the printer knows which closures it holds.
const Rules closure = {Required(IN_REQUIRED), Integer(IN_NOT_INTEGER)};
const Rules headerLine = {Required(IN_REQUIRED), OneOf("0,1,2,3,4,5", IN_NOT_IN_LIST)};

// "P", "F" or "E". The fields after the letter are required whatever it says.
const Param statusLetter = {"ErrorCode", {Required(OUT_REQUIRED), OneOf("P,F,E", OUT_NOT_IN_LIST)}};
const Rules required = {Required(OUT_REQUIRED)};

// ErrorCode, then the named fields of the record type, each required.
std::vector<Param> record(std::initializer_list<const char*> fields) {
  std::vector<Param> params = {statusLetter};
  for (const char* f : fields) params.push_back({f, required});
  return params;
}

const std::vector<Param> totals = record({"Clos", "Fisc", "TotA", "TotB", "TotC", "TotD", "TotE", "TotF"});
const std::vector<Param> netSums = record({"Clos", "Fisc", "NetA", "NetB", "NetC", "NetD", "NetE", "NetF"});
const std::vector<Param> taxSums = record({"Clos", "Fisc", "TaxA", "TaxB", "TaxC", "TaxD", "TaxE", "TaxF"});

// The record counters: only here must the closure number be an integer.
std::vector<Param> counters() {
  std::vector<Param> params = record({"Clos", "DecRec", "ResetRec", "HeaderRec", "TechIntervRec", "FMDisc", "PRNDisc"});
  params[1].rules.push_back(Integer(OUT_NOT_INTEGER));
  return params;
}

}  // namespace

const std::vector<CommandRow>& FiscalMemoryCommands() {
  static const std::vector<CommandRow> rows = {
      // name, code, value parameters, data field, answer shape, answer parameters
      // Closure numbers go out as given, never cut.
      {"CMD_114_0", 114, {{"Closure1", closure}}, "{Closure1},0", SplitAt(),
       record({"DecRec", "DecimalsCount", "VATEnabled", "PercA", "PercB", "PercC", "PercD", "PercE", "PercF", "DT"})},
      {"CMD_114_1", 114, {{"Closure1", closure}}, "{Closure1},1", SplitAt(), totals},
      {"CMD_114_2", 114, {{"Closure1", closure}, {"Closure2", closure}}, "{Closure1},1,{Closure2}", SplitAt(), totals},
      {"CMD_114_3", 114, {{"Closure1", closure}}, "{Closure1},2", SplitAt(), netSums},
      {"CMD_114_4", 114, {{"Closure1", closure}, {"Closure2", closure}}, "{Closure1},2,{Closure2}", SplitAt(), netSums},
      {"CMD_114_5", 114, {{"Closure1", closure}}, "{Closure1},3", SplitAt(), taxSums},
      {"CMD_114_6", 114, {{"Closure1", closure}, {"Closure2", closure}}, "{Closure1},3,{Closure2}", SplitAt(), taxSums},
      {"CMD_114_7", 114, {{"Closure1", closure}}, "{Closure1},4", SplitAt(), counters()},
      {"CMD_114_8", 114, {{"Closure1", closure}}, "{Closure1},5", SplitAt(),
       record({"DecimalsCount", "VATEnabled", "PercA", "PercB", "PercC", "PercD", "PercE", "PercF", "DT"})},
      {"CMD_114_9", 114, {{"Closure1", closure}}, "{Closure1},6", SplitAt(), record({"DT"})},
      {"CMD_114_10", 114, {{"Closure1", closure}, {"Closure2", headerLine}}, "{Closure1},7,{Closure2}", SplitAt(),
       record({"DT", "HeaderLine"})},
      {"CMD_114_11", 114, {{"Closure1", closure}}, "{Closure1},8", SplitAt(), record({"DT"})},
  };
  return rows;
}

}  // namespace orbantis::cmd
