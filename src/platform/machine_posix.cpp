// Assembles the real machine from the POSIX implementations of each interface.
#include "platform/posix.h"

namespace zavero::platform {

Machine& RealMachine() {
  static Machine machine{RealFileSystem(), RealFileIo(),  RealConsole(),
                         RealDesktop(),    RealProcess(), Conventions{'/', "\n", true}};
  return machine;
}

}  // namespace zavero::platform
