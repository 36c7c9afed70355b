#include "run/complete_run.h"

#include <cstring>

#include "console/program_launch.h"
#include "console/question_box.h"
#include "support/text.h"

namespace zavero {

using namespace support;
using namespace console;

namespace {

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

}  // namespace

void CompleteRun(RunContext& run) {
  ConsoleSetColors(run.Console, 12, 0);
  run.ScreenRow = 151;
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
      const std::string log = FullPath(run.Machine.files, run.Options.LogPath);
      LaunchProgram(run.Machine.desktop, viewer, log, FolderPart(log));
    }
  }

  // Idle until the console is closed or interrupted; the precise timer the
  // working pauses took, if any, is given back first.
  run.Machine.process.EndPreciseTiming();
  for (;;) run.Machine.process.Pause(10);
}

}  // namespace zavero
