// Assembles the real machine from the Win32 implementations of each interface.
#include "platform/win32.h"

namespace zavero::platform {

Machine& RealMachine() {
  static Machine machine{RealFileSystem(), RealFileIo(), RealConsole(), RealDesktop(),
                         RealProcess()};
  return machine;
}

}  // namespace zavero::platform
