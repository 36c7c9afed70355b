// The run-wide state, owned by the run sequence and handed to each phase.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "console/console_window.h"
#include "platform/machine.h"
#include "state/run_log.h"
#include "state/run_options.h"
#include "state/redirection_guard.h"
#include "support/buffered_file.h"
#include "support/text.h"
#include "support/work_list.h"

namespace zavero {

using console::ConsoleWindow;
using support::BufferedFiles;
using support::WorkList;

struct RunContext {
  explicit RunContext(platform::Machine& machine)
      : Host(machine),
        // Only Linux names can hold a backslash; on Windows it separates them.
        Display{machine.Conventions.Separator != '\\', machine.Console.TextCodePage() == 65001},
        OpenFiles(machine.Io, machine.Conventions.LineEnd),
        Log(OpenFiles, Options, Display) {}

  platform::Machine& Host;        // the operating system, behind the seam
  // How every line (screen row, log line, plain line, complaint) shows a name
  // or a path: the file calls take the name as it is, the lines this form.
  support::DisplayRules Display;
  RunOptions Options;               // filled once, never changed afterwards
  WorkList FolderQueue;             // folders still to walk
  WorkList MatchList;               // selected paths, in selection order
  RedirectionGuard Guard;
  std::int32_t ScreenRow = 0;       // row of the last per-entry line
  std::int32_t PacingCount = 0;     // per-entry rows since the last pause
  std::uint32_t LogHandle = 0;      // result of the last opening of the log (0: failed/none)
  // For the exit status of a Unix-style run.
  bool StartFolderUnreadable = false;  // the start folder could not be listed
  bool NoDriveToScan = false;          // no start folder, and no drive or disk to walk
  std::int32_t SkippedCount = 0;       // entries left alone for their skip bits
  std::int32_t NotChangedCount = 0;    // entries that ended "...not changed!"
  // Why the platform refused attribute writes (its error code) and how often.
  std::vector<std::pair<std::uint32_t, std::int32_t>> RefusedWrites;
  bool Incomplete = false;             // something below the start folder could not be read
  bool LogLossReported = false;        // the line about a log that lost lines was given
  bool OutputLost = false;             // a plain line did not reach standard output whole
  std::vector<std::string> HeldProblems;  // lines kept until the terminal is given back
  bool PreciseTiming = false;       // the working pauses took the precise timer
  BufferedFiles OpenFiles;          // the set of open files
  ConsoleWindow Console;
  RunLog Log;
};

// `text` (a name, a path) as the run's lines show it.
inline std::string Shown(const RunContext& run, support::TextRef text) {
  return support::DisplayForm(text, run.Display);
}

// Called before each entry the clearing treats: once the close clean-up has
// closed the log the process is ending, and nothing more may happen that the
// log would not record; the run waits for its end.
inline void StopIfEnding(RunContext& run) {
  if (!run.Log.Closed()) return;
  for (;;) run.Host.Process.Pause(10);
}

// A line on standard error of a Unix-style run. While the run draws on the
// terminal the line waits for its end, where it would otherwise land in the
// drawing.
inline void ReportWhenDrawn(RunContext& run, const std::string& line) {
  if (run.Console.PlainLines)
    run.Host.Process.ReportProblem(line.c_str());
  else
    run.HeldProblems.push_back(line);
}

// Something the walk could not read: the result misses what it held. A
// Unix-style run says so in one line and ends with its own status; Windows
// keeps its screen and log as they are.
inline void NoteIncomplete(RunContext& run, const std::string& line) {
  run.Incomplete = true;
  if (run.Host.Conventions.UnixRun) ReportWhenDrawn(run, line);
}

// One of the pauses of the working part of the run (5 ms per folder of the
// walk, 1 ms per 251 entries of the clearing or listing). The first of them
// takes the precise timer they need; a run that never pauses while it works
// never takes it, and the idle loop, which pauses 10 ms at a time, never does.
inline void PauseWhileWorking(RunContext& run, std::uint32_t ms) {
  if (!run.PreciseTiming) {
    run.Host.Process.BeginPreciseTiming();
    run.PreciseTiming = true;
  }
  run.Host.Process.Pause(ms);
}

}  // namespace zavero
