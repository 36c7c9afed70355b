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
  if (!window.console->WriteChars(window.output, bytes, count)) {
    window.console->WriteStream(window.output, bytes, count);
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

// The cut at the buffer width, with OutputLock already held.
void ScreenWriteLocked(ConsoleWindow& window, const char* text) {
  platform::ScreenBufferInfo info;
  window.console->ReadScreenBufferInfo(window.output, &info);
  std::uint32_t n = LengthOf(text);
  const std::uint32_t width = info.width > 0 ? static_cast<std::uint32_t>(info.width) : 0;
  if (window.utf8_text) {
    // Characters of one to four bytes, some of them two cells wide: the cut
    // counts cells and never splits a character.
    n = static_cast<std::uint32_t>(support::Utf8BytesForColumns(text, n, width));
  } else if (n > width) {
    n = width;
  }
  window.console->WriteChars(window.output, text, n);
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
  window.console->SetOutputMode(window.output, kStreamOutputMode);
  window.console->WriteChars(window.output, "\r\n", 2);
  window.console->SetOutputMode(window.output, kScreenOutputMode);
}

}  // namespace

ScreenLayout LayoutForHeight(std::int32_t height) {
  ScreenLayout layout;
  layout.height = height;
  if (height <= 0 || height >= 152) return layout;
  layout.entry_rows = height >= 8;
  layout.last_entry_row = height - 2;
  layout.finished_row = height - 1;
  layout.clear_finished_row = true;
  return layout;
}

int ConsoleOpen(ConsoleWindow& window, platform::Machine& machine, CloseCleanup close_cleanup) {
  window.console = &machine.console;
  window.output = window.console->StdHandle(platform::kStdOutput);
  window.utf8_text = window.console->TextCodePage() == 65001;
  platform::ScreenBufferInfo info;
  const bool terminal = window.console->ReadScreenBufferInfo(window.output, &info);
  window.layout = LayoutForHeight(terminal ? info.height : 0);
  window.plain_lines = machine.conventions.unix_run && !terminal;
  window.close_cleanup = close_cleanup;
  g_close_cleanup.store(close_cleanup);
  window.console->AddControlRoutine(&ConsoleControlHandler);
  window.screen_mode = 0;
  window.write = &StreamWrite;
  window.write_line = &StreamWriteLine;
  return 1;
}

void ConsoleSetScreenMode(ConsoleWindow& window, int enable) {
  if (window.console == nullptr || window.plain_lines) return;
  window.console->SetOutputMode(window.output, enable ? kScreenOutputMode : kStreamOutputMode);
  window.write = enable ? &ScreenWrite : &StreamWrite;
  window.write_line = enable ? &ScreenWriteLine : &StreamWriteLine;
  window.screen_mode = enable;
}

void ConsoleSetColors(ConsoleWindow& window, int foreground, int background) {
  if (window.console == nullptr || window.plain_lines) return;
  // Negative numbers are no colours either.
  if (foreground < 0 || foreground >= 16 || background < 0 || background >= 16) return;
  window.console->SetTextAttribute(window.output,
                                   static_cast<std::uint16_t>(background * 16 + foreground));
}

void ConsoleSetTitle(ConsoleWindow& window, const char* title) {
  if (window.console == nullptr || window.plain_lines) return;
  window.console->SetTitle(title ? title : "");
}

void ConsoleMoveCursor(ConsoleWindow& window, int column, int row) {
  if (window.console == nullptr || !window.screen_mode) return;
  window.console->SetCursor(window.output,
                            static_cast<std::int16_t>(static_cast<std::uint16_t>(column)),
                            static_cast<std::int16_t>(static_cast<std::uint16_t>(row)));
}

void ConsoleWrite(ConsoleWindow& window, const char* text) {
  if (window.write != nullptr && !window.plain_lines) window.write(window, text);
}

void ConsoleWriteLine(ConsoleWindow& window, const char* text) {
  if (window.write_line != nullptr && !window.plain_lines) window.write_line(window, text);
}

void ConsolePlainLine(ConsoleWindow& window, const std::string& text) {
  if (!window.plain_lines) return;
  const std::string line = text + '\n';
  window.console->WriteStream(window.output, line.data(), static_cast<std::uint32_t>(line.size()));
}

int ConsoleControlHandler(std::uint32_t event) {
  if (event == platform::kCtrlClose) {
    CloseCleanup cleanup = g_close_cleanup.load();
    if (cleanup != nullptr) cleanup();
  }
  return 0;
}

}  // namespace zavero::console
