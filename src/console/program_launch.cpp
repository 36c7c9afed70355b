#include "console/program_launch.h"

#include <vector>

namespace zavero::console {

namespace {

constexpr char kQuote = '"';

constexpr std::uint32_t kStartfUseShowWindow = 0x1;
constexpr std::uint16_t kShowNormal = 1;
constexpr std::uint32_t kNormalPriorityClass = 0x20;
constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x40;

bool StartDirectly(platform::Desktop& desktop, const std::string& program,
                   const std::string& parameter, const std::string& folder) {
  const std::string line = LaunchCommandLine(program, parameter);
  // CreateProcessA may write into its command line, so it gets its own block.
  std::vector<char> block(line.begin(), line.end());
  block.push_back('\0');

  platform::ProcessStart start;
  start.StartupFlags = kStartfUseShowWindow;
  start.ShowWindow = kShowNormal;
  start.CreationFlags = kNormalPriorityClass;
  start.InheritHandles = false;

  platform::Handle process = platform::kNoHandle;
  platform::Handle thread = platform::kNoHandle;
  if (!desktop.StartProcess(block.data(), folder.empty() ? nullptr : folder.c_str(), start,
                            &process, &thread)) {
    return false;
  }
  // The program runs on its own; nothing here waits for it.
  desktop.CloseObject(thread);
  desktop.CloseObject(process);
  return true;
}

bool StartThroughShell(platform::Desktop& desktop, const std::string& program,
                       const std::string& parameter, const std::string& folder) {
  const std::string directory = folder.empty() ? FolderOfCommand(program) : folder;
  platform::ShellStart start;
  start.Mask = kSeeMaskNoCloseProcess;
  start.Verb = "";  // an empty verb, not a missing one
  start.File = program.c_str();
  start.Parameters = parameter.c_str();
  start.Directory = directory.empty() ? nullptr : directory.c_str();
  start.Show = kShowNormal;

  platform::Handle process = platform::kNoHandle;
  if (!desktop.ShellStartProgram(start, &process)) return false;
  // The shell gives no process handle when it handed the file to a running
  // program; there is nothing to close then.
  if (process != platform::kNoHandle) desktop.CloseObject(process);
  return true;
}

}  // namespace

std::string LaunchCommandLine(const std::string& program, const std::string& parameter) {
  std::string line;
  line.reserve(program.size() + parameter.size() + 4);
  if (!program.empty() && program[0] == kQuote) {
    line = program;
  } else {
    line += kQuote;
    line += program;
    line += kQuote;
  }
  if (!parameter.empty()) {
    line += ' ';
    line += parameter;
  }
  return line;
}

std::string FolderOfCommand(const std::string& program) {
  const std::size_t start = !program.empty() && program[0] == kQuote ? 1 : 0;
  const std::size_t slash = program.rfind('\\');
  if (slash == std::string::npos || slash <= start) return {};
  return program.substr(start, slash + 1 - start);
}

int LaunchProgram(platform::Desktop& desktop, const std::string& program,
                  const std::string& parameter, const std::string& folder) {
  if (StartDirectly(desktop, program, parameter, folder)) return 1;
  return StartThroughShell(desktop, program, parameter, folder) ? 1 : 0;
}

}  // namespace zavero::console
