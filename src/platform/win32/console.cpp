// The console side of the seam: the process's standard output and its console.
#include "platform/win32/win32.h"

#include <atomic>

#include "platform/win32/wide_text.h"

namespace zavero::platform {

namespace {

// SetConsoleCtrlHandler wants a WINAPI routine, the seam hands over a plain
// one; the trampoline below reaches it through this pointer. One routine is
// all the program registers.
std::atomic<ControlRoutine> g_control_routine{nullptr};

BOOL WINAPI ControlTrampoline(DWORD event) {
  const ControlRoutine routine = g_control_routine.load();
  return routine != nullptr ? routine(event) : FALSE;
}

class Win32Console final : public Console {
 public:
  Handle StdHandle(std::uint32_t which) override {
    return FromHandle(GetStdHandle(static_cast<DWORD>(which)));
  }

  bool ReadScreenBufferInfo(Handle out, ScreenBufferInfo* info) override {
    CONSOLE_SCREEN_BUFFER_INFO csbi;
    if (!GetConsoleScreenBufferInfo(ToHandle(out), &csbi)) return false;
    info->Width = csbi.dwSize.X;
    info->Height = csbi.dwSize.Y;
    info->CursorX = csbi.dwCursorPosition.X;
    info->CursorY = csbi.dwCursorPosition.Y;
    info->Attributes = csbi.wAttributes;
    return true;
  }

  bool SetOutputMode(Handle out, std::uint32_t mode) override {
    return SetConsoleMode(ToHandle(out), mode) != FALSE;
  }

  bool SetTextAttribute(Handle out, std::uint16_t attribute) override {
    return SetConsoleTextAttribute(ToHandle(out), attribute) != FALSE;
  }

  bool SetTitle(const char* title) override { return SetConsoleTitleA(title) != FALSE; }

  bool SetCursor(Handle out, std::int16_t x, std::int16_t y) override {
    COORD position;
    position.X = x;
    position.Y = y;
    return SetConsoleCursorPosition(ToHandle(out), position) != FALSE;
  }

  // WriteConsoleA would read the bytes in the console's output code page (an
  // OEM one, 437 or 850), not in the program's; the wide call shows them as
  // the program means them without changing the code page of the user's shell.
  bool WriteChars(Handle out, const char* bytes, std::uint32_t count) override {
    DWORD written = 0;
    if (count == 0) return WriteConsoleW(ToHandle(out), L"", 0, &written, nullptr) != FALSE;
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), nullptr, 0);
    if (n <= 0) return false;
    wide_.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), &wide_[0], n);
    return WriteConsoleW(ToHandle(out), wide_.data(), static_cast<DWORD>(n), &written, nullptr) !=
           FALSE;
  }

  bool WriteStream(Handle out, const char* bytes, std::uint32_t count) override {
    DWORD written = 0;
    return WriteFile(ToHandle(out), bytes, count, &written, nullptr) != FALSE;
  }

  bool AddControlRoutine(ControlRoutine routine) override {
    g_control_routine.store(routine);
    return SetConsoleCtrlHandler(&ControlTrampoline, TRUE) != FALSE;
  }

  std::uint32_t TextCodePage() override { return GetACP(); }

 private:
  // Only the run's own thread writes to the console, so one buffer serves.
  WideText wide_;
};

}  // namespace

Console& RealConsole() {
  static Win32Console console;
  return console;
}

}  // namespace zavero::platform
