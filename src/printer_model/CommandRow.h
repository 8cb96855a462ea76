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
#include "foundation/Strings.h"

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

// What a value may hold so that it cannot change the structure of its data
// field: the printer finds where a value ends by a separator or, where two
// values stand side by side, by the first one's length. Worked out from the
// templates (CompileField), never per command, and enforced whatever the
// check switches say: with input checks off a price of "2,50" would
// otherwise sell 2.00 with a 50 % surcharge.
struct ValueShape {
  // A plain decimal: an optional sign, digits and at most one point. Set for
  // the values whose rules make them numbers (integers, numbers, currency).
  bool plainDecimal = false;
  // Characters that would end this value, or start another field, on the wire.
  std::string forbidden;
  // The next value follows with no separator: this one ends by its length,
  // which is one character wherever the command set does this.
  bool singleCharacter = false;
};

struct FieldPiece {
  bool isParam = false;
  std::size_t param = 0;  // index into the row's in
  int cut = 0;            // 0: no cut
  std::string literal;
  const char* name = "";  // the parameter's name, for the refusal text
  ValueShape shape;
};

// A value that would change the structure of its data field. The message
// names the parameter and the character; nothing was sent.
class FieldRefused : public Exception {
 public:
  FieldRefused(std::string parameter, std::string english, std::string bulgarianUtf8)
      : Exception(std::move(english)), Parameter(std::move(parameter)), Bulgarian(std::move(bulgarianUtf8)) {}
  std::string Parameter;
  std::string Bulgarian;  // UTF-8
};

// A text value holding a character the printer's code page cannot print
// (character, see EncodeCodePage's firstLost). Refused rather than printed
// as "?": a receipt with a garbled line is a wrong fiscal document.
FieldRefused UnprintableText(const std::string& parameter, char32_t character, std::uint16_t codePage);
// "holds U+0416, a character code page 1252 cannot print": the rule the
// refusal and the receipt document's check state.
std::string UnprintableRule(char32_t character, std::uint16_t codePage);

// The characters a command's data fields use as separators: every character
// of the literal parts of all templates of that command code that is not a
// letter or digit (option letters such as the "P" of "P{TaxGr}" are not
// separators). Values of one command share them, because the printer reads
// every variant of a command with one grammar.
std::string SeparatorsOf(const std::vector<const CommandRow*>& rowsOfOneCode);

// Resolves "{Name}" and "{Name:N}" against the row's parameters and works
// out each value's shape from the template and the command's separators.
// Raises Exception on a name the row does not have or a malformed template.
std::vector<FieldPiece> CompileField(const CommandRow& row, const std::string& commandSeparators = {});

// The data field of row for the values in; cut applies the cut lengths.
// Raises FieldRefused when a value (after its cut) does not fit its shape.
AnsiString BuildField(const std::vector<FieldPiece>& pieces, const AnsiStrings& in, bool cut);

}  // namespace orbantis::cmd
