#include "run/complete_run.h"

#include <algorithm>
#include <cstring>

#include "console/log_viewer.h"
#include "console/program_launch.h"
#include "console/question_box.h"
#include "run/read_run_options.h"
#include "support/text.h"

namespace zavero {

using namespace support;
using namespace console;

namespace {

constexpr char kFinished[] = "finished!";

// Why the log stops short: another file took its name during the run.
std::string LogReplaced(const RunContext& run) {
  return "the log " + Shown(run, run.Options.LogPath) +
         " was replaced during the run; later lines are not in it";
}

// 0 when every selected entry came out as expected, 1 when one or more ended
// "...not changed!", 2 when the start folder could not be read at all, 3 when
// the result is incomplete (something below the start folder could not be
// read, or the log misses lines), which says more than 1.
std::uint32_t ExitStatus(const RunContext& run) {
  if (run.StartFolderUnreadable || run.NoDriveToScan) return 2;
  if (run.Incomplete || run.Log.LinesLost()) return 3;
  return run.NotChangedCount > 0 ? 1 : 0;
}

// A line said before "finished!": on Windows in the row after the entries and
// in the log, in a Unix-style run on standard error.
void SayAtTheEnd(RunContext& run, const std::string& line) {
  if (run.Host.Conventions.UnixRun) {
    ReportWhenDrawn(run, "zavero:" + line);
    return;
  }
  const ScreenLayout& layout = run.Console.Layout;
  if (layout.EntryRows) {
    if (++run.ScreenRow > layout.LastEntryRow) run.ScreenRow = 3;
    ConsoleMoveCursor(run.Console, 0, run.ScreenRow);
    ConsoleWrite(run.Console, (line + TextSpaces(260)).c_str());
  }
  if (!run.Options.LogPath.empty()) run.LogHandle = run.Log.AppendLogLine(line);
}

// A word the shell hands over as it is.
std::string ShellWord(const std::string& text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// How many entries the skip mask left alone, and the parameters 4 to 8 that
// take them as well: the same ones with the skip mask 0.
std::string LeftAloneLine(const RunContext& run) {
  const RunOptions& o = run.Options;
  std::string pattern = Shown(run, o.Pattern);
  if (run.Host.Conventions.UnixRun)
    pattern = ShellWord(pattern);
  else if (pattern.find(' ') != std::string::npos)
    pattern = '"' + pattern + '"';
  const std::int32_t n = run.SkippedCount;
  return " " + DecimalText(n) + (n == 1 ? " entry" : " entries") +
         " skipped (attributes $" + HexText(o.SkipMask) +
         (n == 1 ? "); take it" : "); take them") + " with parameters 4-8: " + pattern + ' ' +
         DecimalText(o.SelectFolders) + ' ' + DecimalText(o.SelectFiles) + " 0 " +
         DecimalText(o.IncludeMask);
}

// Why the platform refused an attribute write, by its error code.
const char* RefusalReason(std::uint32_t code) {
  switch (code) {
    case 2: return "the entry is gone";
    case 5: return "permission denied";
    case 19: return "read-only file system";
    case 50: return "the file system does not support it";
    case 112: return "no space left on the device";
    default: return "the system refused it";
  }
}

// The end of a Unix-style run: the terminal as the shell left it, the offer
// to open the log asked on the terminal, then the program ends with its
// status; a Unix program that idled until killed would hold its terminal.
[[noreturn]] void EndUnixRun(RunContext& run) {
  const bool terminal = !run.Console.PlainLines;
  if (terminal) {
    ConsoleSetColors(run.Console, 7, 0);
    ConsoleSetScreenMode(run.Console, 0);
    ConsoleWriteLine(run.Console, nullptr);
  }
  for (const std::string& line : run.HeldProblems) run.Host.Process.ReportProblem(line.c_str());
  if (run.Log.Replaced())
    run.Host.Process.ReportProblem(("zavero: " + LogReplaced(run)).c_str());
  else if (run.Log.LinesLost() && !run.LogLossReported)
    run.Host.Process.ReportProblem(
        ("zavero: cannot write the log " + Shown(run, run.Options.LogPath) +
         "; lines are missing from it")
            .c_str());
  if (terminal && !run.Options.LogPath.empty() && run.LogHandle > 0) {
    const std::string question = "Open " + Shown(run, run.Options.LogPath) + " ?";
    if (ShowQuestionBox(run.Host.Desktop, "A little question...", question, 0x24) ==
        platform::kAnswerYes)
      OpenInViewer(run.Host.Process, run.Host.Desktop, run.Options.LogPath);
  }
  run.Host.Process.Terminate(ExitStatus(run));
  for (;;) run.Host.Process.Pause(10);  // not reached: the call above ends the process
}

// The log path as the viewer must get it. The viewer starts in the log's
// folder, where a relative path would be taken a second time ("logs\scan.log"
// would open logs\logs\scan.log); the full path names the log from anywhere.
// A path the platform cannot complete is handed on as it is.
std::string FullPath(platform::FileSystem& files, const std::string& path) {
  std::string full(260, '\0');
  auto n = files.FullPathName(path.c_str(), static_cast<std::uint32_t>(full.size()), &full[0]);
  if (n >= full.size()) {
    full.assign(n, '\0');
    n = files.FullPathName(path.c_str(), n, &full[0]);
  }
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return full;
}

// Draws "finished!" on the layout's last row. False when the buffer turned
// out to have changed size under the run (the row was left out and the
// layout now follows the new size).
bool DrawFinished(RunContext& run) {
  const ScreenLayout& layout = run.Console.Layout;
  run.ScreenRow = layout.FinishedRow;
  if (layout.ClearFinishedRow) {
    // In a short buffer the last row may still hold the banner or the prompt
    // the program was started from.
    ConsoleMoveCursor(run.Console, 0, run.ScreenRow);
    ConsoleWrite(run.Console, TextSpaces(260).c_str());
    if (layout.FinishedRow != run.ScreenRow) return false;
  }
  ConsoleMoveCursor(run.Console, 0, run.ScreenRow);
  ConsoleWrite(run.Console, kFinished);
  return layout.FinishedRow == run.ScreenRow;
}

}  // namespace

void CompleteRun(RunContext& run) {
  ConsoleSetColors(run.Console, 12, 0);
  // A Unix-style run said this as soon as the walk found it.
  if (run.StartFolderUnreadable && !run.Host.Conventions.UnixRun)
    SayAtTheEnd(run, " cannot read the start folder " + Shown(run, run.Options.StartFolder));
  if (run.SkippedCount > 0) SayAtTheEnd(run, LeftAloneLine(run));
  // Windows keeps its screen and log: a refused write ends "...not changed!".
  if (run.Host.Conventions.UnixRun)
    for (const auto& refused : run.RefusedWrites)
      ReportWhenDrawn(run, "zavero: cannot write the attributes of " +
                               DecimalText(refused.second) +
                               (refused.second == 1 ? " entry: " : " entries: ") +
                               RefusalReason(refused.first));
  if (!DrawFinished(run)) DrawFinished(run);
  ConsoleSettleCursor(run.Console);
  if (!run.Options.LogPath.empty()) run.LogHandle = run.Log.AppendLogLine(kFinished);
  if (run.Log.Replaced() && !run.Host.Conventions.UnixRun) {
    // It follows "finished!" on that row: cut to the room left there, as a
    // row is cut at the buffer's width, or its end would run over the row.
    std::string note = "  (" + LogReplaced(run) + ")";
    const std::size_t finished = std::strlen(kFinished);
    if (run.Console.Width > 0) {
      const std::size_t room = run.Console.Width > static_cast<std::int32_t>(finished)
                                   ? static_cast<std::size_t>(run.Console.Width) - finished
                                   : 0;
      note.resize(run.Console.Utf8Text ? Utf8BytesForColumns(note.c_str(), note.size(), room)
                                       : std::min(note.size(), room));
    }
    ConsoleWrite(run.Console, note.c_str());
  }
  // Nothing is drawn any more: the console's colours and modes are the
  // user's again, for the shell the program was started from.
  ConsoleGiveBack(run.Console);
  if (run.Host.Conventions.UnixRun) EndUnixRun(run);

  // Only a log that took the last line is worth offering.
  if (!run.Options.LogPath.empty() && run.LogHandle > 0) {
    const std::string question = "Open " + run.Options.LogPath + " ?";
    const int answer = ShowQuestionBox(run.Host.Desktop, "A little question...", question, 0x24);
    if (answer == platform::kAnswerYes) {
      static char buffer[1600];
      std::memset(buffer, 0, sizeof buffer);
      run.Host.Desktop.SystemDirectory(buffer, 260);
      const std::string viewer = TextFromBuffer(buffer, 1600) + "\\notepad.exe";
      const std::string log = FullPath(run.Host.Files, run.Options.LogPath);
      LaunchProgram(run.Host.Desktop, viewer, log, FolderPart(log));
    }
  }

  // Idle until the console is closed or interrupted; the precise timer the
  // working pauses took, if any, is given back first.
  run.Host.Process.EndPreciseTiming();
  for (;;) run.Host.Process.Pause(10);
}

}  // namespace zavero
