// The end of a run: "finished!" on screen and in the log, the offer to open
// the log in notepad, then the idle loop that lasts until the console closes.
#pragma once

#include "state/run_context.h"

namespace zavero {

[[noreturn]] void CompleteRun(RunContext& run);

}  // namespace zavero
