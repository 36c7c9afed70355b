#include "console/log_viewer.h"

namespace zavero::console {

namespace {

constexpr int kCommandNotFound = 127;  // what the shell answers for an unknown command

bool Ran(int status) { return status >= 0 && status != kCommandNotFound; }

bool IsSet(const char* value) { return value != nullptr && *value != 0; }

}  // namespace

bool OpenInViewer(platform::Process& process, platform::Desktop& desktop, const std::string& path) {
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* command = process.Environment(variable);
    if (!IsSet(command)) continue;
    // The path goes to the shell as an argument, never as part of its script.
    const std::string script = std::string(command) + " \"$1\"";
    const char* argv[] = {"sh", "-c", script.c_str(), "sh", path.c_str(), nullptr};
    if (Ran(desktop.RunAndWait(argv))) return true;
  }
  if (IsSet(process.Environment("DISPLAY")) || IsSet(process.Environment("WAYLAND_DISPLAY"))) {
    const char* argv[] = {"xdg-open", path.c_str(), nullptr};
    if (Ran(desktop.RunAndWait(argv))) return true;
  }
  const char* argv[] = {"less", path.c_str(), nullptr};
  return Ran(desktop.RunAndWait(argv));
}

}  // namespace zavero::console
