// The phase after the scan: in the mode CLEAR removes the include bits from
// every selected entry and checks each result; otherwise lists the entries.
// One console row per entry, cycling through the layout's band (rows 3..150
// in a tall buffer).
#pragma once

#include <cstdint>

#include "state/run_context.h"

namespace zavero {

// Whether the attribute word read back after clearing shows what was asked
// for. Only the bits a write can set or clear count: the file system keeps
// the others whatever was written (a folder stays 0x10 after a write of 0, a
// compressed file keeps 0x800). Windows reports an entry left without any
// attribute as NORMAL (0x80), which counts as the computed 0.
inline bool AttributesAsExpected(std::uint32_t check, std::uint32_t expected) {
  if (check == platform::kInvalidAttributes) return false;
  check &= platform::kAttrWritable;
  expected &= platform::kAttrWritable;
  return check == expected || (expected == 0 && check == platform::kAttrNormal);
}

void ProcessMatches(RunContext& run);

}  // namespace zavero
