// Assembles the real machine from the POSIX implementations of each interface.
#include "platform/posix.h"

namespace zavero::platform {

Machine& RealMachine() {
  static Machine machine{RealFileSystem(), RealFileIo(),  RealConsole(),
                         RealDesktop(),    RealProcess(), Conventions{'/', "\n", true}};
  return machine;
}

}  // namespace zavero::platform

namespace zavero::platform {

// Linux loads no library from the program's folder unless told to.
void RestrictLibrarySearch() {}

}  // namespace zavero::platform
