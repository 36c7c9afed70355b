// The run's settings: one field per positional command-line parameter, filled
// once before the console opens (run/read_run_options.h) and never changed.
#pragma once

#include <cstdint>
#include <string>

namespace zavero {

struct RunOptions {
  std::string Mode;          // "CLEAR" in any case clears; anything else lists
  std::string LogPath;       // empty: no log, no prompt at the end
  std::string StartFolder;   // empty: every removable and fixed drive but A: and B:
  std::string Pattern = "*";
  std::int32_t SelectFolders = 1;  // exactly 1: folders are candidates
  std::int32_t SelectFiles = 1;    // exactly 1: files are candidates
  std::int32_t SkipMask = 4;
  std::int32_t IncludeMask = 2;
};

// True when the mode selects clearing ("CLEAR" in any letter case).
bool IsClearingMode(const std::string& mode);

}  // namespace zavero
