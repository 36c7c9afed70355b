#include "scan/process_matches.h"

#include <string>

#include "scan/selection.h"
#include "support/text.h"

namespace zavero {

using namespace support;
using namespace console;

namespace {

std::uint32_t ReadGuarded(RunContext& run, const char* path) {
  void* scratch = nullptr;
  run.Guard.Disable(&scratch);
  std::uint32_t value = run.Host.Files.ReadAttributes(path);
  run.Guard.Enable();
  return value;
}

void WriteGuarded(RunContext& run, const char* path, std::uint32_t value) {
  void* scratch = nullptr;
  run.Guard.Disable(&scratch);
  const bool written = run.Host.Files.WriteAttributes(path, value);
  run.Guard.Enable();
  if (written) return;
  // Counted by reason, so that the end of the run can name each reason once.
  const std::uint32_t why = run.Host.Files.LastWriteError();
  for (auto& refused : run.RefusedWrites)
    if (refused.first == why) {
      ++refused.second;
      return;
    }
  run.RefusedWrites.emplace_back(why, 1);
}

// Clears the mask's bits from one entry and says whether the entry now shows
// the expected word.
bool ClearEntry(RunContext& run, const char* path, std::uint32_t mask) {
  std::uint32_t value = ReadGuarded(run, path);
  if (value == platform::kInvalidAttributes) return false;
  if (HasAllBits(value, mask)) {
    value -= mask;
    WriteGuarded(run, path, value);
  }
  // An entry that lost a mask bit since the scan is left alone and judged by
  // what it now carries.
  return AttributesAsExpected(ReadGuarded(run, path), value);
}

// A plain line of the run's output. One that does not reach standard output
// whole (a full disk, a reader that went away) leaves the output incomplete;
// the work goes on, and the run says so once.
void PlainLine(RunContext& run, const std::string& text) {
  if (ConsolePlainLine(run.Console, text) || run.OutputLost) return;
  run.OutputLost = true;
  NoteIncomplete(run, "zavero: cannot write to standard output; lines are missing from it");
}

}  // namespace

void ProcessMatches(RunContext& run) {
  const bool clearing = IsClearingMode(run.Options.Mode);
  const std::uint32_t mask = static_cast<std::uint32_t>(run.Options.IncludeMask);
  const bool logging = !run.Options.LogPath.empty();

  const ScreenLayout& layout = run.Console.Layout;

  run.MatchList.MoveFirst();
  ConsoleSetColors(run.Console, 9, 0);
  const char* phase = clearing ? " clearing..." : " listing...";
  if (LayoutHasRow(layout, 3)) {
    ConsoleMoveCursor(run.Console, 0, 3);
    ConsoleWriteLine(run.Console, (std::string(phase) + TextSpaces(260)).c_str());
  }
  if (logging) run.LogHandle = run.Log.AppendLogLine(phase);

  // Both texts are rebuilt per entry in buffers that keep their capacity.
  std::string row, line;
  for (std::int32_t i = 0; i <= run.MatchList.Count() - 1; ++i) {
    StopIfEnding(run);
    // The file calls take the path as listed; every line shows it.
    const char* path = run.MatchList.Current()->Text();
    const std::string shown = Shown(run, path);
    if (logging) {
      line.assign("   ").append(shown);
      run.LogHandle = run.Log.AppendLogLine(line);
    }
    ++run.PacingCount;
    if (layout.EntryRows) {
      ++run.ScreenRow;
      if (run.ScreenRow > layout.LastEntryRow) run.ScreenRow = 3;
    }
    if (run.PacingCount > 250) {
      PauseWhileWorking(run, 1);
      run.PacingCount = 0;
    }
    if (layout.EntryRows) {
      ConsoleMoveCursor(run.Console, 0, run.ScreenRow);
      row.assign("  ").append(shown).append(260, ' ');
      // Rows running down the band may go out together, a few at a time.
      if (i < run.MatchList.Count() - 1 && run.ScreenRow < layout.LastEntryRow)
        ConsoleJoinNextRow(run.Console);
      ConsoleWrite(run.Console, row.c_str());
      if (run.ScreenRow > layout.LastEntryRow && layout.EntryRows) {
        // The buffer was made shorter under the run and left the row out:
        // the band starts again inside it.
        run.ScreenRow = 3;
        ConsoleMoveCursor(run.Console, 0, run.ScreenRow);
        ConsoleWrite(run.Console, row.c_str());
      }
    }

    if (clearing) {
      const bool ok = ClearEntry(run, path, mask);
      if (!ok) ++run.NotChangedCount;
      if (logging)
        run.LogHandle = run.Log.AppendLogLine(ok ? "     ...sucsess!" : "     ...not changed!");
      if (run.Console.PlainLines)
        PlainLine(run, shown + (ok ? "\t...sucsess!" : "\t...not changed!"));
    } else if (run.Console.PlainLines) {
      PlainLine(run, shown);
    }
    run.MatchList.MoveNext();
  }
}

}  // namespace zavero
