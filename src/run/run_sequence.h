// The program's whole run: start-up, parameters, console and banner, log
// header, scan, clearing or listing, the completion prompt, then idle for
// ever. The process ends only from outside (console closed or interrupted).
#pragma once

#include "platform/machine.h"
#include "state/run_context.h"

namespace zavero {

// Runs every step on `run` and never returns (tests stop it through the fake
// machine's pause limit).
[[noreturn]] void RunProgram(RunContext& run);

// The close clean-up handed to the console: writes out and closes every file
// still open, without ever cutting a log line in half.
void ReleaseRuntime();

}  // namespace zavero
