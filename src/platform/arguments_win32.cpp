// Windows reads the command line from the system (GetCommandLineA), with its
// own quoting rules; main's argument vector is not needed.
#include "platform/win32.h"

namespace zavero::platform {

void SetArguments(int, char**) {}

}  // namespace zavero::platform
