// What the Linux side's files share among themselves that belongs to no
// single interface. Plain C++: the POSIX headers stay inside the .cpp files.
#pragma once

#include "platform/machine.h"

namespace zavero::platform {

// The seam carries file descriptors as handles one above the descriptor, so
// that descriptor 0 is no kNoHandle and -1 becomes kInvalidHandle.
inline int ToFd(Handle h) { return static_cast<int>(h) - 1; }
inline Handle FromFd(int fd) { return fd < 0 ? kInvalidHandle : static_cast<Handle>(fd) + 1; }

// console.cpp: puts the terminal back as it was (colours, wrapping) if this
// program changed it; safe to call from a signal handler, and twice.
void RestoreTerminal();
// console.cpp: while a program started in the foreground runs, Ctrl+C on the
// terminal is its business; this program neither ends nor cleans up.
void SetChildInForeground(bool running);

}  // namespace zavero::platform
