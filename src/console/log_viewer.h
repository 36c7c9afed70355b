// Showing the log at the end of a run on a Unix system, the way its users
// expect: in their own editor or viewer, in the terminal they started from.
#pragma once

#include <string>

#include "platform/machine.h"

namespace zavero::console {

// Opens `path` with the first of: $VISUAL, $EDITOR (each through the shell,
// so that it may carry its own arguments), xdg-open where a desktop is running
// ($DISPLAY or $WAYLAND_DISPLAY), less. A viewer that cannot be started, or a
// shell that finds no such command (status 127), passes to the next; the one
// that ran is waited for. True when one ran.
bool OpenInViewer(platform::Process& process, platform::Desktop& desktop, const std::string& path);

}  // namespace zavero::console
