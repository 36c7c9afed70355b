// The program's only screen output: the console it was started with.
//
// Two output modes. Stream mode (the state after ConsoleOpen) writes like a
// terminal stream and falls back to a file write when standard output is
// redirected. Screen mode switches processed output and wrapping off, so every
// write stays on the cursor's row, is cut at the buffer width and shows
// control characters instead of acting on them; the drawing code places rows
// absolutely with ConsoleMoveCursor and repaints them in full.
//
// Texts are 8-bit, zero-terminated and go to the console byte for byte; a
// null pointer is a missing text.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/machine.h"

namespace zavero::console {

// Runs on the close event, on the system's control-event thread.
using CloseCleanup = void (*)();

// One per process, set up by ConsoleOpen. Every operation before ConsoleOpen
// does nothing.
struct ConsoleWindow {
  using WriteRoutine = void (*)(ConsoleWindow& window, const char* text);

  platform::Console* console = nullptr;
  platform::Handle output = platform::kNoHandle;  // standard output
  int screen_mode = 0;                            // 0 stream mode, else screen mode
  WriteRoutine write = nullptr;                   // ConsoleWrite of the current mode
  WriteRoutine write_line = nullptr;              // ConsoleWriteLine of the current mode
  std::mutex OutputLock;                          // held around every screen-mode write
  CloseCleanup close_cleanup = nullptr;
};

// Takes the standard output handle, keeps the close clean-up, registers
// ConsoleControlHandler and selects stream mode. Always 1.
int ConsoleOpen(ConsoleWindow& window, platform::Machine& machine, CloseCleanup close_cleanup);

// enable != 0: screen mode (console output mode 0); 0: stream mode (mode 3).
void ConsoleSetScreenMode(ConsoleWindow& window, int enable);

// Text attribute background * 16 + foreground for all later text; nothing
// changes unless both numbers are 0..15.
void ConsoleSetColors(ConsoleWindow& window, int foreground, int background);

// The console window's caption.
void ConsoleSetTitle(ConsoleWindow& window, const char* title);

// Screen mode: the cursor to (column, row) of the screen buffer, each taken as
// its low 16 bits; a cell outside the buffer leaves the cursor where it is.
// Stream mode: nothing.
void ConsoleMoveCursor(ConsoleWindow& window, int column, int row);

// The text at the cursor, without a line break; a missing text writes nothing.
void ConsoleWrite(ConsoleWindow& window, const char* text);

// The text at the cursor, then a line break to column 0 of the next row; a
// missing text writes only the line break.
void ConsoleWriteLine(ConsoleWindow& window, const char* text);

// The routine the system calls for console control events. The close event
// (2) runs the clean-up given to the last ConsoleOpen first; every event is
// answered FALSE (0) so that the system's default handling ends the process.
int ConsoleControlHandler(std::uint32_t event);

}  // namespace zavero::console
