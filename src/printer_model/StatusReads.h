// The status reads (command 74) do not follow the command pattern: they test
// their option whatever WITH_INPCHECK says, exchange through the engine
// directly, hand back the six status bytes as decimal texts, and leave the
// last error alone.
#pragma once

#include "printer_model/CommandRow.h"

namespace orbantis::cmd {

inline constexpr std::int32_t STATUS_OPTION_MISSING = -74001;
inline constexpr std::int32_t STATUS_OPTION_UNKNOWN = -74002;

SpecialRun StatusRead(bool withOption);

}  // namespace orbantis::cmd
