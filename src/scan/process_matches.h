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
// for. Only the bits a write can set or clear count: the file system keeps
// the others whatever was written (a folder stays 0x10 after a write of 0, a
// compressed file keeps 0x800). Windows reports an entry left without any
// attribute as NORMAL (0x80), which counts as the computed 0.
inline bool AttributesAsExpected(std::uint32_t check, std::uint32_t expected) {
  if (check == platform::INVALID_FILE_ATTRIBUTES_VALUE) return false;
  check &= platform::ATTR_WRITABLE;
  expected &= platform::ATTR_WRITABLE;
  return check == expected || (expected == 0 && check == platform::ATTR_NORMAL);
}

void ProcessMatches(RunContext& run);

}  // namespace zavero
