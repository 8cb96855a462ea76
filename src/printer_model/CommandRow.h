// One printer command as data.
//
// A row says everything that differs between two command methods: the name,
// the command code, the parameters with their checks, the data field built
// from them, how the answer is cut into the answer values, and the checks of
// those values. One executor (TFP_ZORVIK::Run) runs every row through the
// same pattern, so a reader checks a command by reading its row.
//
// The data field is a template: "{OpCode},{OpPwd},{TillNmb}" inserts the
// parameters' texts unchanged between literal separators; "{L1:36}" inserts
// at most the first 36 characters of L1 while AUTOCUT_ON is set. "\t" and
// "\n" in the template are the bytes 09h and 0Ah.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "printer_model/Checks.h"
#include "u_FP_BASE/Strings.h"

namespace orbantis {
class TFP_ZORVIK;
}

namespace orbantis::cmd {

struct Param {
  const char* name;
  Rules rules = {};
};

// Cuts the answer text (decoded from code page 1252) into answer values, in
// the order of the row's answer parameters. Missing or empty items leave
// their parameter empty.
using AnswerShape = std::function<WideStrings(const WideString& answer)>;

// A method that cannot follow the pattern (the status reads) runs its own
// steps; it gets the inputs and fills the outputs.
using SpecialRun = std::function<std::int32_t(TFP_ZORVIK& model, const AnsiStrings& in, AnsiStrings& out)>;

struct CommandRow {
  const char* name;            // the method name, also the log prefix
  std::int32_t code;           // passed to CUSTOM_CMD; the frame carries its low byte
  std::vector<Param> in;       // value parameters, in declared order
  std::string field;           // the data-field template
  AnswerShape answer;          // empty: the method has no answer values
  std::vector<Param> out;      // answer parameters, in declared order
  SpecialRun special = {};     // set only for methods with steps of their own
};

// --- answer shapes ---

// Items of the answer split at every separator in turn (WS2Strings).
AnswerShape SplitAt(std::vector<std::u16string> separators = {u","});

struct Slice {
  int first;  // position of the first character, counted from 1
  int last;   // position of the last character
};
// Fixed character ranges of the first item (split at ","), one per value.
AnswerShape SlicesOfFirstItem(std::vector<Slice> slices);

// The first character of the first item, then the rest of that item.
AnswerShape FirstCharAndRest();

// --- the data-field template ---

struct FieldPiece {
  bool isParam = false;
  std::size_t param = 0;  // index into the row's in
  int cut = 0;            // 0: no cut
  std::string literal;
};

// Resolves "{Name}" and "{Name:N}" against the row's parameters. Raises
// Exception on a name the row does not have or a malformed template.
std::vector<FieldPiece> CompileField(const CommandRow& row);

// The data field of row for the values in; cut applies the cut lengths.
AnsiString BuildField(const std::vector<FieldPiece>& pieces, const AnsiStrings& in, bool cut);

}  // namespace orbantis::cmd
