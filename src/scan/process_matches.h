// The phase after the scan: in the mode CLEAR removes the include bits from
// every selected entry and checks each result; otherwise lists the entries.
// One console row per entry, cycling through the layout's band (rows 3..150
// in a tall buffer).
#pragma once

#include <cstdint>

#include "run/run_context.h"

namespace zavero {

// True when the mode selects clearing ("CLEAR" in any letter case).
bool IsClearingMode(const std::string& mode);

// Whether the attribute word read back after clearing shows what was asked
// for. Windows reports an entry left without any attribute as NORMAL (0x80),
// which counts as the computed 0.
inline bool AttributesAsExpected(std::uint32_t check, std::uint32_t expected) {
  return check == expected || (expected == 0 && check == 0x80);
}

void ProcessMatches(RunContext& run);

}  // namespace zavero
