// Assembles the real machine from the POSIX implementations of each
// interface, with the few calls that belong to no single interface.
#include "platform/posix/posix.h"

namespace zavero::platform {

Machine& RealMachine() {
  static Machine machine{RealFileSystem(), RealFileIo(),  RealConsole(),
                         RealDesktop(),    RealProcess(), Conventions{'/', "\n", true}};
  return machine;
}

// Linux loads no library from the program's folder unless told to.
void RestrictLibrarySearch() {}

// Names on Linux are UTF-8 bytes: only ASCII letters have a case this
// program may change; every byte of a longer sequence stays as it is.
void UpperCaseAnsi(char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
}

}  // namespace zavero::platform
