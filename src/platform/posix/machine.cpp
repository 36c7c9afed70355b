// Assembles the real machine from the POSIX implementations of each
// interface, with the few calls that belong to no single interface.
#include <signal.h>

#include "platform/posix/posix.h"

namespace zavero::platform {

Machine& RealMachine() {
  // A write to a pipe whose reader went away fails (EPIPE) rather than end
  // the program half-way through a clearing: the work and its log finish,
  // and the run counts the lost output against its status.
  static const bool pipe_errors = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)pipe_errors;
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
