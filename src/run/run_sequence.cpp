#include "run/run_sequence.h"

#include <new>

#include "run/complete_run.h"
#include "scan/process_matches.h"
#include "scan/scan_for_matches.h"

namespace zavero {

using namespace support;
using namespace console;

namespace {

// The one run the console's close handler and the out-of-memory handler must
// reach; both run where no argument can be passed. Set once, before the
// console handler is registered.
RunContext* g_run = nullptr;

// Memory that cannot be had ends the run at once rather than crash half-way.
// A log line reaches its file in one write at its close, so the line in
// progress is lost whole, never torn; the disk keeps every attribute already
// written.
void OutOfMemory() { g_run->Machine.process.Terminate(8 /* ERROR_NOT_ENOUGH_MEMORY */); }

constexpr std::uint32_t kDesktopClasses = 0xB48;  // tab, hotkey, date, userex, internet classes

}  // namespace

void ReleaseRuntime() {
  if (g_run) g_run->Log.ReleaseForClose();
}

void RunProgram(RunContext& run) {
  g_run = &run;
  std::set_new_handler(OutOfMemory);

  run.Machine.desktop.InitCommonControls(kDesktopClasses);
  run.Machine.desktop.InitCom();
  run.Guard.Setup(run.Machine.process);
  run.ScreenRow = 3;
  run.Options = ReadRunOptions(run.Machine.process);

  ConsoleOpen(run.Console, run.Machine, ReleaseRuntime);
  ConsoleSetScreenMode(run.Console, 1);
  ConsoleSetColors(run.Console, 12, 0);
  ConsoleSetTitle(run.Console, "ZAVERO von QOR");
  ConsoleWriteLine(run.Console, "QOR_ZAVERO has been started...");
  if (!run.Options.LogPath.empty()) {
    ConsoleSetColors(run.Console, 15, 0);
    ConsoleWriteLine(run.Console, ("Writing to: " + run.Options.LogPath).c_str());
    run.LogHandle = run.Log.WriteLogHeader();
  }

  const RunOptions& o = run.Options;
  ScanForMatches(run, {o.StartFolder, o.Pattern, o.SelectFiles, o.SelectFolders, o.SkipMask,
                       o.IncludeMask});
  ProcessMatches(run);
  CompleteRun(run);
}

}  // namespace zavero
