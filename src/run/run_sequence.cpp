#include "run/run_sequence.h"

#include <new>

#include "run/complete_run.h"
#include "run/read_run_options.h"
#include "scan/process_matches.h"
#include "scan/scan_for_matches.h"
#include "scan/selection.h"

namespace zavero {

using namespace support;
using namespace console;

namespace {

// The one run the console's close handler and the out-of-memory handler must
// reach; both run where no argument can be passed. Set once, before the
// console handler is registered.
RunContext* g_run = nullptr;

// Memory that cannot be had ends the run at once rather than crash half-way,
// with a line where the platform has a place for one (built of nothing that
// needs memory). A log line reaches its file in one write at its close, so
// the line in progress is lost whole, never torn; the disk keeps every
// attribute already written.
void OutOfMemory() {
  g_run->Host.Process.ReportProblem("zavero: out of memory; the run ends here");
  g_run->Host.Process.Terminate(8 /* ERROR_NOT_ENOUGH_MEMORY */);
}

constexpr std::uint32_t kDesktopClasses = 0xB48;  // tab, hotkey, date, userex, internet classes

// What a question for the usage prints; `unix_run` for a Unix-style run,
// which takes options and ends with a status.
std::string Usage(bool unix_run) {
  std::string text =
      unix_run ? "Usage: zavero [OPTION] [MODE] [LOG] [FOLDER] [PATTERN] [FOLDERS] [FILES] [SKIP] "
             "[INCLUDE]\n"
           : "Usage: zavero.exe [MODE] [LOG] [FOLDER] [PATTERN] [FOLDERS] [FILES] [SKIP] "
             "[INCLUDE]\n";
  text +=
      "Makes hidden files and folders visible again: selects the entries below FOLDER\n"
      "whose DOS attributes carry every bit of INCLUDE and not every bit of SKIP, and\n"
      "in the mode CLEAR removes the INCLUDE bits from each and checks the result.\n"
      "Parameters are positional; \"\" leaves one empty (its default).\n"
      "  MODE     CLEAR (any letter case) clears; anything else only lists\n"
      "  LOG      the run's log, written anew; empty: no log\n";
  text += unix_run ? "  FOLDER   where to start; empty: every mounted disk that keeps DOS attributes\n"
               : "  FOLDER   where to start; empty: every removable and fixed drive but A: and B:\n";
  text +=
      "  PATTERN  names to select, with * and ? (default *); every folder is searched\n"
      "  FOLDERS  1 (default): folders can be selected; anything else: only files\n"
      "  FILES    1 (default): files can be selected; anything else: only folders\n"
      "  SKIP     entries with all these bits are left alone (default 4, system; 0: none)\n"
      "  INCLUDE  entries must carry all these bits (default 2, hidden)\n"
      "Numbers: decimal (6), hexadecimal after $ or 0x ($22, 0x22) or binary after %\n"
      "(%110); a number ends at its first other character; no digits: 0.\n"
      "Bits: 1 read-only, 2 hidden, 4 system, 0x10 folder, 0x20 archive.\n";
  if (!unix_run)
    return text +
           "As the only parameter, /?, -?, -h or --help prints this text and -V or\n"
           "--version the version. At its end a run waits until its window is closed.\n";
  return text +
         "Options, as the first argument only:\n"
         "  -h, --help     this text\n"
         "  -V, --version  the version\n"
         "  --             the parameters follow (MODE may then start with -)\n"
         "A pattern matches names only: one that holds a / or a \\ is refused (status 2).\n"
         "Names and paths are shown (on the terminal, in plain lines and in the log) with\n"
         "each byte of a control character (C0, DEL, C1) written as \\xHH and a backslash\n"
         "as \\\\, so that every path is one line and different names stay different.\n"
         "Exit status: 0 every selected entry came out as expected; 1 one or more were\n"
         "\"not changed\"; 2 the start folder could not be read (or, without one, there\n"
         "was no disk to scan), or an option or the pattern was refused; 3 the result is\n"
         "incomplete: a folder or an entry's attributes below the start folder could not\n"
         "be read, or the log or standard output lost lines (3 wins over 1); 8 memory ran\n"
         "out, which ends the run at once. Each such problem is said in a line on\n"
         "standard error.\n";
}

// Why a pattern with a folder separator selects nothing.
std::string PatternRefusal(const RunContext& run) {
  return "the pattern " + Shown(run, run.Options.Pattern) +
         " holds a folder separator; a pattern matches names only";
}

// Standard output as a plain stream, before the console is taken over, with
// the platform's line ends.
void PrintPlain(platform::Machine& machine, const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += machine.Conventions.LineEnd;
    else out += c;
  }
  machine.Console.WriteStream(machine.Console.StdHandle(platform::kStdOutput), out.data(),
                              static_cast<std::uint32_t>(out.size()));
}

// An option's request answered before anything else happens: the version or
// the usage printed, or a refusal; then the program ends.
void AnswerOption(platform::Machine& machine, OptionRequest request, const std::string& option) {
  if (request == OptionRequest::Version) {
    PrintPlain(machine, "zavero " ZAVERO_VERSION "\n");
    machine.Process.Terminate(0);
  }
  if (request == OptionRequest::Help) {
    PrintPlain(machine, Usage(machine.Conventions.UnixRun));
    machine.Process.Terminate(0);
  }
  if (request == OptionRequest::UnknownOption) {
    machine.Process.ReportProblem(
        ("zavero: unknown option " + option + "; see zavero --help").c_str());
    machine.Process.Terminate(2);
  }
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
  if (conventions.UnixRun) {
    const UnixOptions options = ReadUnixOptions(run.Host.Process.ArgumentVector());
    AnswerOption(run.Host, options.Request, options.Option);
  }
  const RunParameters parameters = ReadRunParameters(run.Host.Process, conventions);
  if (!conventions.UnixRun) AnswerOption(run.Host, ReadWindowsOption(parameters), {});
  run.Options = RunOptionsFrom(parameters, run.Host.Process, conventions);
  // A Unix user hears of a refused parameter at once, before anything is
  // drawn or walked, as from any other command.
  if (conventions.UnixRun && PatternHoldsSeparator(run.Options.Pattern)) {
    run.Host.Process.ReportProblem(("zavero: " + PatternRefusal(run)).c_str());
    run.Host.Process.Terminate(2);
  }

  ConsoleOpen(run.Console, run.Host, ReleaseRuntime);
  ConsoleSetScreenMode(run.Console, 1);
  ConsoleSetColors(run.Console, 12, 0);
  ConsoleSetTitle(run.Console, "ZAVERO von QOR");
  ConsoleWriteLine(run.Console, "QOR_ZAVERO has been started...");
  if (!run.Options.LogPath.empty()) {
    // Created first, so that a log that cannot be had is said where its path
    // would stand, before the user waits for a run that writes nothing.
    run.LogHandle = run.Log.WriteLogHeader();
    ConsoleSetColors(run.Console, 15, 0);
    const char* writing = run.Log.Refused() ? "Writing to: no log, cannot create " : "Writing to: ";
    ConsoleWriteLine(run.Console, (writing + Shown(run, run.Options.LogPath)).c_str());
    if (conventions.UnixRun && run.Log.LinesLost()) {
      run.Host.Process.ReportProblem(("zavero: cannot write the log " +
                                      Shown(run, run.Options.LogPath) +
                                      "; the run goes on without it").c_str());
      run.LogLossReported = true;
    }
    // The walk selects nothing for such a pattern; the log says why.
    if (PatternHoldsSeparator(run.Options.Pattern))
      run.Log.AppendLogLine(PatternRefusal(run));
  }

  const RunOptions& o = run.Options;
  ScanForMatches(run, {o.StartFolder, o.Pattern, o.SelectFiles, o.SelectFolders, o.SkipMask,
                       o.IncludeMask});
  if (conventions.UnixRun && run.StartFolderUnreadable)
    run.Host.Process.ReportProblem(
        ("zavero: cannot read the start folder " + Shown(run, o.StartFolder)).c_str());
  if (conventions.UnixRun && run.NoDriveToScan)
    run.Host.Process.ReportProblem(
        "zavero: no mounted NTFS, FAT or exFAT disk to scan; name a start folder");
  // Asked after the walk, which has seen whether anything below the start
  // folder, at any depth, keeps DOS attributes.
  if (conventions.UnixRun && !o.StartFolder.empty() &&
      !run.Host.Files.KeepsAttributes(o.StartFolder.c_str()))
    run.Host.Process.ReportProblem(("zavero: " + Shown(run, o.StartFolder) +
                                       " is on a file system that keeps no DOS attributes;"
                                       " nothing there can be selected").c_str());
  ProcessMatches(run);
  run.Host.Files.LetGoOfFolders();
  CompleteRun(run);
}

}  // namespace zavero
