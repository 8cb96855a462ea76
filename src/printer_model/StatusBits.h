// The status bits of this printer: what each of the 48 bits of S0..S5 means
// and which of them fail a command.
#pragma once

#include <array>

#include "foundation/Strings.h"

namespace orbantis {

struct StatusBitId {
  int byte;
  int bit;
};

// Language-1 (English) text of the bit at index 8 * byte + bit, exactly as
// the printer's manual words it.
const std::array<const char16_t*, 48>& StatusBitTexts();

// The 15 bits that report an error, in the order their texts are listed.
// The "OR" bits come first so a reader sees the summary before the details.
const std::array<StatusBitId, 15>& ErrorStatusBits();

// The bits with which the printer turns a command down without carrying it
// out: a syntax error, an invalid command, a command not allowed in this
// mode, an overflow. The other error bits (the clock, the paper, the
// mechanism) may come with a command that was carried out all the same.
const std::array<StatusBitId, 4>& NotDoneStatusBits();

}  // namespace orbantis
