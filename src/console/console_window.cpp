#include "console/console_window.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "support/text.h"

namespace zavero::console {

namespace {

constexpr std::uint32_t kScreenOutputMode = 0;  // processed output and wrap off
constexpr std::uint32_t kStreamOutputMode = 3;  // processed output and wrap on

// The system calls ConsoleControlHandler as a plain routine with no context,
// so the close clean-up has to be reachable without the ConsoleWindow. This
// is the program's only global of that kind: one routine pointer, written
// by ConsoleOpen before the handler is registered and read on the
// control-event thread.
std::atomic<CloseCleanup> g_close_cleanup{nullptr};

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

// Reads the buffer's size: the width for the cut, the height for the
// layout. False when the output is no console.
bool ReadBufferSize(ConsoleWindow& window) {
  platform::ScreenBufferInfo info;
  const bool console = window.Console->ReadScreenBufferInfo(window.Output, &info);
  window.Width = console && info.Width > 0 ? info.Width : 0;
  window.Layout = LayoutForHeight(console ? info.Height : 0);
  window.WritesSinceSizeRead = 0;
  return console;
}

// The cut at the buffer width, with OutputLock already held.
void ScreenWriteLocked(ConsoleWindow& window, const char* text) {
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
  if (text != nullptr) ScreenWriteLocked(window, text);
  // The text was written with wrap off, so a full-width line left the cursor
  // on its row: CR LF now gives exactly one line break.
  window.Console->SetOutputMode(window.Output, kStreamOutputMode);
  window.Console->WriteChars(window.Output, "\r\n", 2);
  window.Console->SetOutputMode(window.Output, kScreenOutputMode);
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
  window.HasBuffer = ReadBufferSize(window);
  window.PlainLines = machine.Conventions.UnixRun && !window.HasBuffer;
  window.CloseCleanup = close_cleanup;
  g_close_cleanup.store(close_cleanup);
  window.Console->AddControlRoutine(&ConsoleControlHandler);
  window.ScreenMode = 0;
  window.Write = &StreamWrite;
  window.WriteLine = &StreamWriteLine;
  return 1;
}

void ConsoleSetScreenMode(ConsoleWindow& window, int enable) {
  if (window.Console == nullptr || window.PlainLines) return;
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
  if (attribute == window.Attribute) return;
  window.Attribute = attribute;
  window.Console->SetTextAttribute(window.Output, static_cast<std::uint16_t>(attribute));
}

void ConsoleSetTitle(ConsoleWindow& window, const char* title) {
  if (window.Console == nullptr || window.PlainLines) return;
  window.Console->SetTitle(title ? title : "");
}

void ConsoleMoveCursor(ConsoleWindow& window, int column, int row) {
  if (window.Console == nullptr || !window.ScreenMode) return;
  window.RowLeftOut = false;
  if (window.Console->SetCursor(window.Output,
                                static_cast<std::int16_t>(static_cast<std::uint16_t>(column)),
                                static_cast<std::int16_t>(static_cast<std::uint16_t>(row))) ||
      !window.HasBuffer) {
    return;
  }
  // Refused: the cell lies outside the buffer. A buffer of the size known
  // keeps the cursor where it was, and the next text lands there; one that
  // changed size under the run has a new layout, and the next text, placed
  // by the old one, is left out.
  const std::int32_t width_known = window.Width, height_known = window.Layout.Height;
  ReadBufferSize(window);
  window.RowLeftOut = window.Width != width_known || window.Layout.Height != height_known;
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

bool ConsolePlainLine(ConsoleWindow& window, const std::string& text) {
  if (!window.PlainLines) return true;
  const std::string line = text + '\n';
  return window.Console->WriteStream(window.Output, line.data(),
                                     static_cast<std::uint32_t>(line.size()));
}

int ConsoleControlHandler(std::uint32_t event) {
  if (event == platform::kCtrlClose) {
    CloseCleanup cleanup = g_close_cleanup.load();
    if (cleanup != nullptr) cleanup();
  }
  return 0;
}

}  // namespace zavero::console
