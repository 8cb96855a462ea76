// The texts of the result codes, in Bulgarian (language 0) and English
// (language 1).
#pragma once

#include <cstdint>

#include "foundation/Strings.h"

namespace orbantis {

struct ErrorTexts {
  WideString language0;  // Bulgarian
  WideString language1;  // English
};

// The fixed texts of code; "Unknown error." for codes without an entry,
// success (0) included. The exchange failures -4 and -5 are composed by
// SET_ERROR_MESSAGE from what the exchange left.
ErrorTexts FixedErrorTexts(std::int32_t code);

// The two texts of a failed exchange, given what the exchange left in the
// last-error texts: the lines of the set error bits, or nothing when no valid
// answer came. refused: the data field was too long and nothing was sent.
ErrorTexts ExchangeFailureTexts(const WideString& bitsLanguage0, const WideString& bitsLanguage1, bool refused);

}  // namespace orbantis
