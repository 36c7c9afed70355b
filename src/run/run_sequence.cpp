#include "run/run_sequence.h"

#include <new>

#include "run/complete_run.h"
#include "run/read_run_options.h"
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
void OutOfMemory() { g_run->Host.Process.Terminate(8 /* ERROR_NOT_ENOUGH_MEMORY */); }

constexpr std::uint32_t kDesktopClasses = 0xB48;  // tab, hotkey, date, userex, internet classes

// What `zavero --help` prints in a Unix-style run.
const char kUsage[] =
    "Usage: zavero [MODE] [LOG] [FOLDER] [PATTERN] [FOLDERS] [FILES] [SKIP] [INCLUDE]\n"
    "Makes hidden files and folders visible again: selects the entries below FOLDER\n"
    "whose DOS attributes carry every bit of INCLUDE and not every bit of SKIP, and\n"
    "in the mode CLEAR removes the INCLUDE bits from each and checks the result.\n"
    "Parameters are positional; \"\" leaves one empty (its default).\n"
    "  MODE     CLEAR (any letter case) clears; anything else only lists\n"
    "  LOG      the run's log, written anew; empty: no log\n"
    "  FOLDER   where to start; empty: every mounted disk that keeps DOS attributes\n"
    "  PATTERN  names to select, with * and ? (default *); every folder is searched\n"
    "  FOLDERS  1 (default): folders can be selected; anything else: only files\n"
    "  FILES    1 (default): files can be selected; anything else: only folders\n"
    "  SKIP     entries with all these bits are left alone (default 4, system; 0: none)\n"
    "  INCLUDE  entries must carry all these bits (default 2, hidden)\n"
    "Numbers: decimal (6), $ hexadecimal ($22) or % binary (%110); anything else is 0.\n"
    "Bits: 1 read-only, 2 hidden, 4 system, 0x10 folder, 0x20 archive.\n"
    "Exit status: 0 every selected entry came out as expected; 1 one or more were\n"
    "\"not changed\"; 2 the start folder could not be read; 3 the result is\n"
    "incomplete: a folder or an entry's attributes below the start folder could not\n"
    "be read, or the log lost lines (3 wins over 1). Each such problem is said in a\n"
    "line on standard error.\n";

// Standard output as a plain stream, before the console is taken over.
void PrintPlain(platform::Machine& machine, const char* text, std::size_t size) {
  machine.Console.WriteStream(machine.Console.StdHandle(platform::kStdOutput), text,
                              static_cast<std::uint32_t>(size));
}

}  // namespace

void ReleaseRuntime() {
  if (g_run) g_run->Log.ReleaseForClose();
}

void RunProgram(RunContext& run) {
  g_run = &run;
  std::set_new_handler(OutOfMemory);

  run.Host.Desktop.InitCommonControls(kDesktopClasses);
  run.Host.Desktop.InitCom();
  run.Guard.Setup(run.Host.Process);
  run.ScreenRow = 3;
  const platform::Conventions& conventions = run.Host.Conventions;
  run.Options = ReadRunOptions(run.Host.Process, conventions);
  if (conventions.UnixRun && run.Options.Mode == "--help") {
    PrintPlain(run.Host, kUsage, sizeof kUsage - 1);
    run.Host.Process.Terminate(0);
  }

  ConsoleOpen(run.Console, run.Host, ReleaseRuntime);
  ConsoleSetScreenMode(run.Console, 1);
  ConsoleSetColors(run.Console, 12, 0);
  ConsoleSetTitle(run.Console, "ZAVERO von QOR");
  ConsoleWriteLine(run.Console, "QOR_ZAVERO has been started...");
  if (!run.Options.LogPath.empty()) {
    ConsoleSetColors(run.Console, 15, 0);
    ConsoleWriteLine(run.Console, ("Writing to: " + run.Options.LogPath).c_str());
    run.LogHandle = run.Log.WriteLogHeader();
    if (conventions.UnixRun && run.Log.LinesLost()) {
      run.Host.Process.ReportProblem(("zavero: cannot write the log " + run.Options.LogPath +
                                         "; the run goes on without it").c_str());
      run.LogLossReported = true;
    }
  }

  const RunOptions& o = run.Options;
  ScanForMatches(run, {o.StartFolder, o.Pattern, o.SelectFiles, o.SelectFolders, o.SkipMask,
                       o.IncludeMask});
  if (conventions.UnixRun && run.StartFolderUnreadable)
    run.Host.Process.ReportProblem(("zavero: cannot read the start folder " + o.StartFolder).c_str());
  // Asked after the walk, which has seen whether anything below the start
  // folder, at any depth, keeps DOS attributes.
  if (conventions.UnixRun && !o.StartFolder.empty() &&
      !run.Host.Files.KeepsAttributes(o.StartFolder.c_str()))
    run.Host.Process.ReportProblem(("zavero: " + o.StartFolder +
                                       " is on a file system that keeps no DOS attributes;"
                                       " nothing there can be selected").c_str());
  ProcessMatches(run);
  run.Host.Files.LetGoOfFolders();
  CompleteRun(run);
}

}  // namespace zavero
