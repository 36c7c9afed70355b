#include "console/console_window.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "support/text.h"

namespace zavero::console {

namespace {

constexpr std::uint32_t kScreenOutputMode = 0;  // processed output and wrap off
constexpr std::uint32_t kStreamOutputMode = 3;  // processed output and wrap on
constexpr std::uint32_t kQuickEditMode = 0x40;   // ENABLE_QUICK_EDIT_MODE
constexpr std::uint32_t kExtendedFlags = 0x80;   // ENABLE_EXTENDED_FLAGS: QuickEdit is changed

// The system calls ConsoleControlHandler as a plain routine with no context,
// so the window (its close clean-up, the modes to give back) has to be
// reachable without an argument. This is the program's only global of that
// kind: one pointer, written by ConsoleOpen before the handler is registered
// and read on the control-event thread.
std::atomic<ConsoleWindow*> g_window{nullptr};

std::uint32_t LengthOf(const char* text) { return static_cast<std::uint32_t>(std::strlen(text)); }

// WriteConsoleA, or WriteFile when the output is a file or pipe.
void StreamOut(ConsoleWindow& window, const char* bytes, std::uint32_t count) {
  if (!window.Console->WriteChars(window.Output, bytes, count)) {
    window.Console->WriteStream(window.Output, bytes, count);
  }
}

void StreamWrite(ConsoleWindow& window, const char* text) {
  if (text == nullptr) return;
  StreamOut(window, text, LengthOf(text));
}

void StreamWriteLine(ConsoleWindow& window, const char* text) {
  const std::uint32_t n = text ? LengthOf(text) : 0;
  // One write for text and line end, so a redirected output gets them together.
  std::unique_ptr<char[]> joined(new (std::nothrow) char[n + 2]);
  if (!joined) return;
  if (n > 0) std::memcpy(joined.get(), text, n);
  joined[n] = '\r';
  joined[n + 1] = '\n';
  StreamOut(window, joined.get(), n + 2);
}

// The rows the console shows at a time: its window's, where the buffer is
// taller than the window.
std::int32_t RowsShown(const platform::ScreenBufferInfo& info) {
  const std::int32_t window = info.WindowBottom - info.WindowTop + 1;
  return info.WindowBottom >= 0 && window < info.Height ? window : info.Height;
}

// Reads the buffer's size: the width for the cut, the height for the
// layout, which follows a buffer that changed size under the run (a window
// merely resized or scrolled by the user keeps it). False when the output is
// no console.
bool ReadBufferSize(ConsoleWindow& window, platform::ScreenBufferInfo* read = nullptr) {
  platform::ScreenBufferInfo info;
  const bool console = window.Console->ReadScreenBufferInfo(window.Output, &info);
  if (read != nullptr) *read = info;
  window.WritesSinceSizeRead = 0;
  const std::int32_t width = console && info.Width > 0 ? info.Width : 0;
  const std::int32_t height = console ? info.Height : 0;
  if (window.HasBuffer && width == window.Width && height == window.BufferHeight) return console;
  window.Width = width;
  window.BufferHeight = height;
  window.Layout = LayoutForHeight(console ? RowsShown(info) : 0);
  // The layout's rows stay inside a buffer that became shorter.
  const std::int32_t last_origin = height - 1 - window.Layout.FinishedRow;
  if (height > 0 && window.Origin > last_origin) window.Origin = last_origin > 0 ? last_origin : 0;
  return console;
}

// The cut at the buffer width, with OutputLock already held.
void ScreenWriteLocked(ConsoleWindow& window, const char* text) {
  if (window.GivenBack) return;
  if (window.RowLeftOut) {
    window.RowLeftOut = false;
    return;
  }
  if (window.HasBuffer && ++window.WritesSinceSizeRead >= kWritesPerSizeRead)
    ReadBufferSize(window);
  std::uint32_t n = LengthOf(text);
  const auto width = static_cast<std::uint32_t>(window.Width);
  if (window.Utf8Text) {
    // Characters of one to four bytes, some of them two cells wide: the cut
    // counts cells and never splits a character.
    n = static_cast<std::uint32_t>(support::Utf8BytesForColumns(text, n, width));
  } else if (n > width) {
    n = width;
  }
  if (!window.Console->WriteChars(window.Output, text, n) && window.HasBuffer)
    ReadBufferSize(window);
}

void ScreenWrite(ConsoleWindow& window, const char* text) {
  if (text == nullptr) return;
  std::lock_guard<std::mutex> hold(window.OutputLock);
  ScreenWriteLocked(window, text);
}

void ScreenWriteLine(ConsoleWindow& window, const char* text) {
  // The whole line is one locked unit: no other text may land between the
  // line and its break, nor be written while processed output is briefly on.
  std::lock_guard<std::mutex> hold(window.OutputLock);
  if (window.GivenBack) return;
  if (text != nullptr) ScreenWriteLocked(window, text);
  ++window.LinesWritten;
  // The text was written with wrap off, so a full-width line left the cursor
  // on its row: CR LF now gives exactly one line break.
  window.Console->SetOutputMode(window.Output, kStreamOutputMode);
  window.Console->WriteChars(window.Output, "\r\n", 2);
  window.Console->SetOutputMode(window.Output, kScreenOutputMode);
}

// The modes the console had, kept before the run changes them; QuickEdit off.
void KeepModes(ConsoleWindow& window) {
  platform::Console& console = *window.Console;
  window.TakenOver = true;
  window.OutputModeKept = console.ReadMode(window.Output, &window.OutputModeAtStart);
  window.Input = console.StdHandle(platform::kStdInput);
  window.InputModeKept = console.ReadMode(window.Input, &window.InputModeAtStart);
  if (window.InputModeKept)
    console.SetInputMode(window.Input,
                         (window.InputModeAtStart | kExtendedFlags) & ~kQuickEditMode);
}

}  // namespace

ScreenLayout LayoutForHeight(std::int32_t height) {
  ScreenLayout layout;
  layout.Height = height;
  if (height <= 0 || height >= 152) return layout;
  layout.EntryRows = height >= 8;
  layout.LastEntryRow = height - 2;
  layout.FinishedRow = height - 1;
  layout.ClearFinishedRow = true;
  return layout;
}

int ConsoleOpen(ConsoleWindow& window, platform::Machine& machine, CloseCleanup close_cleanup) {
  window.Console = &machine.Console;
  window.Output = window.Console->StdHandle(platform::kStdOutput);
  window.Utf8Text = window.Console->TextCodePage() == 65001;
  window.Attribute = -1;
  window.RowLeftOut = false;
  window.GivenBack = false;
  window.TakenOver = window.OutputModeKept = window.InputModeKept = false;
  window.Origin = 0;
  window.LinesWritten = 0;
  window.HasBuffer = false;
  window.AtStart = platform::ScreenBufferInfo();
  window.HasBuffer = ReadBufferSize(window, &window.AtStart);
  window.PlainLines = machine.Conventions.UnixRun && !window.HasBuffer;
  window.CloseCleanup = close_cleanup;
  g_window.store(&window);
  window.Console->AddControlRoutine(&ConsoleControlHandler);
  window.ScreenMode = 0;
  window.Write = &StreamWrite;
  window.WriteLine = &StreamWriteLine;
  return 1;
}

void ConsoleSetScreenMode(ConsoleWindow& window, int enable) {
  if (window.Console == nullptr || window.PlainLines) return;
  std::lock_guard<std::mutex> hold(window.OutputLock);
  if (window.GivenBack) return;
  if (enable && !window.TakenOver) KeepModes(window);
  window.Console->SetOutputMode(window.Output, enable ? kScreenOutputMode : kStreamOutputMode);
  window.Write = enable ? &ScreenWrite : &StreamWrite;
  window.WriteLine = enable ? &ScreenWriteLine : &StreamWriteLine;
  window.ScreenMode = enable;
}

void ConsoleSetColors(ConsoleWindow& window, int foreground, int background) {
  if (window.Console == nullptr || window.PlainLines) return;
  // Negative numbers are no colours either.
  if (foreground < 0 || foreground >= 16 || background < 0 || background >= 16) return;
  const int attribute = background * 16 + foreground;
  std::lock_guard<std::mutex> hold(window.OutputLock);
  if (attribute == window.Attribute || window.GivenBack) return;
  window.Attribute = attribute;
  window.Console->SetTextAttribute(window.Output, static_cast<std::uint16_t>(attribute));
}

void ConsoleSetTitle(ConsoleWindow& window, const char* title) {
  if (window.Console == nullptr || window.PlainLines) return;
  window.Console->SetTitle(title ? title : "");
}

void ConsoleMoveCursor(ConsoleWindow& window, int column, int row) {
  if (window.Console == nullptr || !window.ScreenMode) return;
  std::lock_guard<std::mutex> hold(window.OutputLock);
  if (window.GivenBack) return;
  window.RowLeftOut = false;
  const std::int32_t buffer_row = window.Origin + row;
  if (window.Console->SetCursor(
          window.Output, static_cast<std::int16_t>(static_cast<std::uint16_t>(column)),
          static_cast<std::int16_t>(static_cast<std::uint16_t>(buffer_row))) ||
      !window.HasBuffer) {
    return;
  }
  // Refused: the cell lies outside the buffer. A buffer of the size known
  // keeps the cursor where it was, and the next text lands there; one that
  // changed size under the run has a new layout, and the next text, placed
  // by the old one, is left out.
  const std::int32_t width_known = window.Width, height_known = window.BufferHeight;
  ReadBufferSize(window);
  window.RowLeftOut = window.Width != width_known || window.BufferHeight != height_known;
}

void ConsoleAnchorRows(ConsoleWindow& window) {
  if (window.Console == nullptr || !window.ScreenMode || !window.HasBuffer) return;
  std::lock_guard<std::mutex> hold(window.OutputLock);
  if (window.GivenBack) return;
  // Worked out from what ConsoleOpen read, as the console moves: the banner's
  // lines never wrap, a line break on the buffer's last row scrolls the
  // buffer up, and the window follows the cursor down.
  const platform::ScreenBufferInfo& start = window.AtStart;
  const std::int32_t bottom = window.BufferHeight - 1;
  std::int32_t banner = start.CursorY < bottom - window.LinesWritten
                            ? start.CursorY
                            : bottom - window.LinesWritten;
  if (banner < 0) banner = 0;
  const std::int32_t cursor = banner + window.LinesWritten;
  std::int32_t shown_last = start.WindowBottom >= 0 ? start.WindowBottom : bottom;
  if (shown_last < cursor) shown_last = cursor;
  const std::int32_t last = banner + window.Layout.FinishedRow;
  window.Origin = banner;
  if (last <= shown_last) return;
  std::string breaks;
  for (std::int32_t row = cursor; row < last; ++row) breaks += "\r\n";
  window.Console->SetOutputMode(window.Output, kStreamOutputMode);
  window.Console->WriteChars(window.Output, breaks.data(),
                             static_cast<std::uint32_t>(breaks.size()));
  window.Console->SetOutputMode(window.Output, kScreenOutputMode);
  // Past the buffer's last row the buffer scrolled up under the banner.
  const std::int32_t origin = (last < bottom ? last : bottom) - window.Layout.FinishedRow;
  window.Origin = origin > 0 ? origin : 0;
}

void ConsoleGiveBack(ConsoleWindow& window) {
  if (window.Console == nullptr) return;
  // A write the console holds up (output paused by the user) must not keep
  // Ctrl+C from ending the program: after a second the console is given
  // back without the lock, and the process ends right after.
  std::unique_lock<std::mutex> hold(window.OutputLock, std::defer_lock);
  for (int wait = 0; wait < 100 && !hold.try_lock(); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (window.GivenBack || (!window.OutputModeKept && !window.InputModeKept)) return;
  window.GivenBack = true;
  window.Console->SettleCursor(window.Output);
  if (window.OutputModeKept) {
    window.Console->SetTextAttribute(window.Output, window.AtStart.Attributes);
    window.Console->SetOutputMode(window.Output, window.OutputModeAtStart);
  }
  if (window.InputModeKept) window.Console->SetInputMode(window.Input, window.InputModeAtStart);
}

void ConsoleWrite(ConsoleWindow& window, const char* text) {
  if (window.Write != nullptr && !window.PlainLines) window.Write(window, text);
}

void ConsoleWriteLine(ConsoleWindow& window, const char* text) {
  if (window.WriteLine != nullptr && !window.PlainLines) window.WriteLine(window, text);
}

void ConsoleSettleCursor(ConsoleWindow& window) {
  if (window.Console != nullptr && !window.PlainLines) window.Console->SettleCursor(window.Output);
}

void ConsoleJoinNextRow(ConsoleWindow& window) {
  if (window.Console == nullptr || !window.ScreenMode) return;
  std::lock_guard<std::mutex> hold(window.OutputLock);
  if (!window.GivenBack) window.Console->JoinNextRow(window.Output);
}

bool ConsolePlainLine(ConsoleWindow& window, const std::string& text) {
  if (!window.PlainLines) return true;
  const std::string line = text + '\n';
  return window.Console->WriteStream(window.Output, line.data(),
                                     static_cast<std::uint32_t>(line.size()));
}

int ConsoleControlHandler(std::uint32_t event) {
  ConsoleWindow* window = g_window.load();
  if (window == nullptr) return 0;
  ConsoleGiveBack(*window);
  if (event == platform::kCtrlClose && window->CloseCleanup != nullptr) window->CloseCleanup();
  return 0;
}

}  // namespace zavero::console
