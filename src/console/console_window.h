// The program's only screen output: the console it was started with.
//
// Two output modes. Stream mode (the state after ConsoleOpen) writes like a
// terminal stream and falls back to a file write when standard output is
// redirected. Screen mode switches processed output and wrapping off, so every
// write stays on the cursor's row, is cut at the buffer width and shows
// control characters instead of acting on them; the drawing code places rows
// absolutely with ConsoleMoveCursor and repaints them in full.
//
// Texts are 8-bit, zero-terminated and in the program's code page (UTF-8
// where the system runs the program with it); a null pointer is a missing text.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/machine.h"

namespace zavero::console {

// Runs on the close event, on the system's control-event thread.
using CloseCleanup = void (*)();

// Where the run's rows go in a screen buffer of a given height. A buffer of
// at least 152 rows gets the classic layout: per-entry rows 3 to 150 and
// "finished!" on row 151. A shorter one (Windows Terminal, and any console as
// tall as its window) cycles the per-entry rows through 3 to height - 2 and
// keeps its last row for "finished!", so nothing is ever placed outside it.
// Below 8 rows the band would hold three rows or fewer and only flicker:
// per-entry rows are left out (the log has them).
struct ScreenLayout {
  std::int32_t Height = 0;             // rows of the buffer; 0 when unknown
  bool EntryRows = true;              // whether per-entry rows are drawn
  std::int32_t LastEntryRow = 150;   // per-entry rows cycle through 3..this
  std::int32_t FinishedRow = 151;     // the row of "finished!"
  bool ClearFinishedRow = false;     // blank that row before "finished!"
};

// The layout for a buffer of `height` rows; 0 (unknown, as when the output is
// no console) gives the classic one, whose placements then fail harmlessly.
ScreenLayout LayoutForHeight(std::int32_t height);

// Whether `row` lies inside the buffer (always, when its height is unknown).
inline bool LayoutHasRow(const ScreenLayout& layout, std::int32_t row) {
  return layout.Height <= 0 || row < layout.Height;
}

// A console made narrower or shorter refuses nothing when a row still lies
// inside it, so its size is read again after this many screen writes as well
// as after a refused one; in between every row costs the console no question.
constexpr int kWritesPerSizeRead = 64;

// One per process, set up by ConsoleOpen. Every operation before ConsoleOpen
// does nothing.
struct ConsoleWindow {
  using WriteRoutine = void (*)(ConsoleWindow& window, const char* text);

  platform::Console* Console = nullptr;
  platform::Handle Output = platform::kNoHandle;  // standard output
  int ScreenMode = 0;                            // 0 stream mode, else screen mode
  WriteRoutine Write = nullptr;                   // ConsoleWrite of the current mode
  WriteRoutine WriteLine = nullptr;              // ConsoleWriteLine of the current mode
  std::mutex OutputLock;                          // held around every screen-mode write
  console::CloseCleanup CloseCleanup = nullptr;
  bool Utf8Text = false;                         // texts are UTF-8: cut at characters
  // The buffer's size as last read (at ConsoleOpen, after a refused cursor
  // move or write, every kWritesPerSizeRead screen writes) and its layout.
  bool HasBuffer = false;                         // ConsoleOpen found a console
  std::int32_t Width = 0;                         // columns; 0 when unknown
  ScreenLayout Layout;
  int WritesSinceSizeRead = 0;
  int Attribute = -1;                             // text attribute last set; -1: none yet
  // The last cursor move fell outside a buffer that changed size under the
  // run: the text placed by the old size is left out.
  bool RowLeftOut = false;
  // A Unix-style run whose standard output is no terminal (a pipe, a file):
  // nothing is drawn, the run writes plain lines instead.
  bool PlainLines = false;
};

// Takes the standard output handle, keeps the close clean-up, registers
// ConsoleControlHandler, reads the buffer's size for the cut and the layout
// and selects stream mode. In a Unix-style run whose output is no terminal it
// switches to plain lines: every drawing operation below then does nothing.
// Always 1.
int ConsoleOpen(ConsoleWindow& window, platform::Machine& machine, CloseCleanup close_cleanup);

// enable != 0: screen mode (console output mode 0); 0: stream mode (mode 3).
void ConsoleSetScreenMode(ConsoleWindow& window, int enable);

// Text attribute background * 16 + foreground for all later text; nothing
// changes unless both numbers are 0..15, and the console is asked only when
// the attribute differs from the one last set.
void ConsoleSetColors(ConsoleWindow& window, int foreground, int background);

// The console window's caption.
void ConsoleSetTitle(ConsoleWindow& window, const char* title);

// Screen mode: the cursor to (column, row) of the screen buffer, each taken as
// its low 16 bits. A cell outside the buffer leaves the cursor where it is and
// the next text lands there, unless the buffer turns out to have changed size:
// then that text is left out, and the layout follows the new size.
// Stream mode: nothing.
void ConsoleMoveCursor(ConsoleWindow& window, int column, int row);

// The text at the cursor, without a line break; a missing text writes nothing.
void ConsoleWrite(ConsoleWindow& window, const char* text);

// The text at the cursor, then a line break to column 0 of the next row; a
// missing text writes only the line break.
void ConsoleWriteLine(ConsoleWindow& window, const char* text);

// The console's cursor to where the drawing so far leaves it: a console may
// draw a row without moving its cursor and owe the move until then.
void ConsoleSettleCursor(ConsoleWindow& window);

// In plain-lines mode: the text and a line feed on standard output, in one
// write; false when it did not get there whole. Otherwise nothing (true).
bool ConsolePlainLine(ConsoleWindow& window, const std::string& text);

// The routine the system calls for console control events. The close event
// (2) runs the clean-up given to the last ConsoleOpen first; every event is
// answered FALSE (0) so that the system's default handling ends the process.
int ConsoleControlHandler(std::uint32_t event);

}  // namespace zavero::console
