#include "run/complete_run.h"

#include <cstring>

#include "console/program_launch.h"
#include "console/question_box.h"
#include "support/text.h"

namespace zavero {

using namespace support;
using namespace console;

void CompleteRun(RunContext& run) {
  const ScreenLayout& layout = run.Console.layout;
  ConsoleSetColors(run.Console, 12, 0);
  run.ScreenRow = layout.finished_row;
  if (layout.clear_finished_row) {
    // In a short buffer the last row may still hold the banner or the prompt
    // the program was started from.
    ConsoleMoveCursor(run.Console, 0, run.ScreenRow);
    ConsoleWrite(run.Console, TextSpaces(260).c_str());
  }
  ConsoleMoveCursor(run.Console, 0, run.ScreenRow);
  ConsoleWrite(run.Console, "finished!");
  if (!run.Options.LogPath.empty()) run.LogHandle = run.Log.AppendLogLine("finished!");

  // Only a log that took the last line is worth offering.
  if (!run.Options.LogPath.empty() && run.LogHandle > 0) {
    const std::string question = "Open " + run.Options.LogPath + " ?";
    const int answer = ShowQuestionBox(run.Machine.desktop, "A little question...", question, 0x24);
    if (answer == platform::ANSWER_YES) {
      static char buffer[1600];
      std::memset(buffer, 0, sizeof buffer);
      run.Machine.desktop.SystemDirectory(buffer, 260);
      const std::string viewer = TextFromBuffer(buffer, 1600) + "\\notepad.exe";
      LaunchProgram(run.Machine.desktop, viewer, run.Options.LogPath,
                    FolderPart(run.Options.LogPath));
    }
  }

  // Idle until the console is closed or interrupted; the precise timer the
  // scan's pauses needed is given back first.
  run.Machine.process.EndPreciseTiming();
  for (;;) run.Machine.process.Pause(10);
}

}  // namespace zavero
