// The engine's 8-bit splitter with up to three separator levels.
#pragma once

#include <functional>
#include <string>

#include "foundation/Strings.h"

namespace orbantis {

using LogLineFn = std::function<void(const std::string&)>;

// Appends the items of tmpDataStr to tmpA: split by S1; pieces holding S2 are
// split by S2; with S3 those pieces are split again by S3. An empty separator
// ends the levels. Items are decoded as code page 1252. A failure at a level is
// reported through log ("CALC_SEP_1;: ", "CALC_SEP_2: ", "CALC_SEP_3: " or
// "TFP_BASE.Str2Strings: " + message) and leaves the items added so far.
void Str2Strings(const AnsiString& tmpDataStr, WideStrings& tmpA, const AnsiString& MySepartor_1,
                 const AnsiString& MySepartor_2, const AnsiString& MySepartor_3, const LogLineFn& log);

}  // namespace orbantis
