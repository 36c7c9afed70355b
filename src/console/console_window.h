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

// Where the run's rows go, counted from the row the banner was written on,
// in a console that shows `Height` rows at a time. One that shows at least
// 152 gets the classic layout: per-entry rows 3 to 150 and "finished!" on row
// 151. A shorter one (Windows Terminal, a console as tall as its window, and
// the window of a console whose buffer is taller) cycles the per-entry rows
// through 3 to height - 2 and keeps its last row for "finished!", so nothing
// is ever placed where the user cannot see it. Below 8 rows the band would
// hold three rows or fewer and only flicker: per-entry rows are left out
// (the log has them).
struct ScreenLayout {
  std::int32_t Height = 0;             // rows shown at a time; 0 when unknown
  bool EntryRows = true;              // whether per-entry rows are drawn
  std::int32_t LastEntryRow = 150;   // per-entry rows cycle through 3..this
  std::int32_t FinishedRow = 151;     // the row of "finished!"
  bool ClearFinishedRow = false;     // blank that row before "finished!"
};

// The layout for `height` rows shown; 0 (unknown, as when the output is no
// console) gives the classic one, whose placements then fail harmlessly.
ScreenLayout LayoutForHeight(std::int32_t height);

// Whether the layout's `row` is one the console shows (always, when its
// height is unknown).
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
  // Held around every screen-mode write, colour, cursor move and mode switch.
  std::mutex OutputLock;
  console::CloseCleanup CloseCleanup = nullptr;
  bool Utf8Text = false;                         // texts are UTF-8: cut at characters
  // The buffer's size as last read (at ConsoleOpen, after a refused cursor
  // move or write, every kWritesPerSizeRead screen writes) and its layout.
  bool HasBuffer = false;                         // ConsoleOpen found a console
  std::int32_t Width = 0;                         // columns; 0 when unknown
  std::int32_t BufferHeight = 0;                 // rows; 0 when unknown
  ScreenLayout Layout;
  std::int32_t Origin = 0;                        // the buffer row of the layout's row 0
  int LinesWritten = 0;                           // screen-mode line breaks so far
  int WritesSinceSizeRead = 0;
  int Attribute = -1;                             // text attribute last set; -1: none yet
  // The last cursor move fell outside a buffer that changed size under the
  // run: the text placed by the old size is left out.
  bool RowLeftOut = false;
  // A Unix-style run whose standard output is no terminal (a pipe, a file):
  // nothing is drawn, the run writes plain lines instead.
  bool PlainLines = false;
  // What the console was before the run took it over, given back when the
  // run ends or is ended (Windows consoles; a terminal is restored by its
  // own side).
  platform::ScreenBufferInfo AtStart;            // as ConsoleOpen read it
  platform::Handle Input = platform::kNoHandle;  // standard input
  bool TakenOver = false;                         // the modes were read
  bool OutputModeKept = false, InputModeKept = false;
  std::uint32_t OutputModeAtStart = 0, InputModeAtStart = 0;
  bool GivenBack = false;                         // nothing is drawn any more
};

// Takes the standard output handle, keeps the close clean-up, registers
// ConsoleControlHandler, reads the buffer's size for the cut and the layout
// and selects stream mode. In a Unix-style run whose output is no terminal it
// switches to plain lines: every drawing operation below then does nothing.
// Always 1.
int ConsoleOpen(ConsoleWindow& window, platform::Machine& machine, CloseCleanup close_cleanup);

// enable != 0: screen mode (console output mode 0); 0: stream mode (mode 3).
// The first switch to screen mode keeps the console's input and output modes
// and turns QuickEdit off for the run: a click in the window would otherwise
// start a selection that holds every later write until Esc or Enter.
void ConsoleSetScreenMode(ConsoleWindow& window, int enable);

// Screen mode, after the banner's lines: the layout's rows from here on count
// from the banner's row, and the console is made to show all of them. Where
// they reach past the window (a buffer taller than its window, whose window
// shows the end of the user's earlier text) or past the buffer's end, line
// breaks take the cursor down to the layout's last row: the console scrolls
// its window, and at the buffer's end the buffer, to show it, and nothing
// the user wrote before is drawn over.
void ConsoleAnchorRows(ConsoleWindow& window);

// The colours, output mode and input mode the console had before the run,
// back where they were; the run draws nothing afterwards. Called at the end
// of a run and on every control event, before the process ends. Nothing
// where the modes could not be read.
void ConsoleGiveBack(ConsoleWindow& window);

// Text attribute background * 16 + foreground for all later text; nothing
// changes unless both numbers are 0..15, and the console is asked only when
// the attribute differs from the one last set.
void ConsoleSetColors(ConsoleWindow& window, int foreground, int background);

// The console window's caption.
void ConsoleSetTitle(ConsoleWindow& window, const char* title);

// Screen mode: the cursor to (column, row) of the layout (row counted from
// the banner's row once ConsoleAnchorRows has run), each taken as its low 16
// bits. A cell outside the buffer leaves the cursor where it is and
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

// The row written next (a move, then a write) may wait for the row right
// below it, so that a console draws both in one go; any other drawing call
// lets it out first. Screen mode only.
void ConsoleJoinNextRow(ConsoleWindow& window);

// In plain-lines mode: the text and a line feed on standard output, in one
// write; false when it did not get there whole. Otherwise nothing (true).
bool ConsolePlainLine(ConsoleWindow& window, const std::string& text);

// The routine the system calls for console control events. Every event gives
// the console back (ConsoleGiveBack); the close event (2) then runs the
// clean-up given to the last ConsoleOpen; every event is answered FALSE (0)
// so that the system's default handling ends the process.
int ConsoleControlHandler(std::uint32_t event);

}  // namespace zavero::console
