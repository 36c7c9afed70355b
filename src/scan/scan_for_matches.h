// The scan: queues the search roots (the start folder's subfolders, or every
// removable and fixed drive but A: and B:), walks them depth-first, and leaves
// every selected path in the match list, in the order of selection.
#pragma once

#include <cstdint>
#include <string>

#include "state/run_context.h"

namespace zavero {

struct ScanArguments {
  std::string StartFolder;  // empty: all eligible drives
  std::string Pattern;      // name pattern of the candidate pass
  std::int32_t FilesFlag;   // only 1 makes files candidates
  std::int32_t FoldersFlag; // only 1 makes folders candidates
  std::int32_t SkipMask;
  std::int32_t IncludeMask;
};

// Runs once per run, after the log header and before the clearing phase.
void ScanForMatches(RunContext& run, const ScanArguments& args);

}  // namespace zavero
