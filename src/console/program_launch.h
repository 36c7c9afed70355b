// Starting another program (the log viewer) without waiting for it.
#pragma once

#include <string>

#include "platform/machine.h"

namespace zavero::console {

// Starts `program` with `parameter` in `folder`: first directly (CreateProcessA),
// then through the shell (ShellExecuteExA) when that fails. Returns 1 when a
// program was started by either route, 0 when both failed. Keeps no handle to
// the started program. An empty folder gives none (the shell route then uses
// the program's own folder).
int LaunchProgram(platform::Desktop& desktop, const std::string& program,
                  const std::string& parameter, const std::string& folder);

// The command line for the direct start: the program in double quotes (unless
// it already begins with one), then a blank and the parameter unquoted when
// the parameter is not empty.
std::string LaunchCommandLine(const std::string& program, const std::string& parameter);

// The working folder the shell route derives from the program path: up to and
// including its last backslash, or empty when there is none after the first
// character. A leading double quote is not part of the folder.
std::string FolderOfCommand(const std::string& program);

}  // namespace zavero::console
