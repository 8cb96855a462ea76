// Fuzz target: the answer shapes of the command table.
//
// The input is an answer's data field. It is decoded as code page 1252 (as
// the executor does) and handed to the answer shape of every row of
// AllCommands() that has one; the values then go through the row's answer
// checks the way the executor runs them (8-bit text, in order).
//
// Invariants: no crash and no escaping exception; every value is a piece of
// the answer, so none is longer than the answer; a check returns 0,
// CHECKS_END_WITH_SUCCESS or one of its rules' codes.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "printer_model/Checks.h"
#include "printer_model/CommandTable.h"
#include "foundation/CodePage.h"

namespace {

using namespace orbantis;

// Answers longer than a frame's data field carry nothing new.
constexpr std::size_t kMaxInput = 2048;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxInput) size = kMaxInput;
  const AnsiString answer(reinterpret_cast<const char*>(data), size);
  const WideString text = DecodeCodePage(answer, CP_WESTERN);

  for (const cmd::Command& command : cmd::AllCommands()) {
    const cmd::CommandRow& row = *command.row;
    if (!row.answer) continue;
    const WideStrings values = row.answer(text);
    for (const WideString& v : values) FUZZ_CHECK(v.size() <= text.size());

    for (std::size_t i = 0; i < values.size() && i < row.out.size(); ++i) {
      const cmd::Rules& rules = row.out[i].rules;
      const std::int32_t result = cmd::RunRules(EncodeCodePage(values[i], CP_WESTERN), rules);
      bool known = result == 0 || result == cmd::CHECKS_END_WITH_SUCCESS;
      for (const cmd::Rule& r : rules) known = known || result == r.code;
      FUZZ_CHECK(known);
      if (result == cmd::CHECKS_END_WITH_SUCCESS) break;
    }
  }
  return 0;
}
