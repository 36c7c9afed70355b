// The console side of the seam on POSIX: the terminal on standard output,
// driven by escape sequences, and the signals that stand for the console's
// control events.
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "platform/posix/posix.h"
#include "platform/posix/screen_model.h"
#include "platform/posix/terminal_codes.h"

namespace zavero::platform {

namespace {

std::atomic<bool> g_terminal_changed{false};
std::atomic<bool> g_child_in_foreground{false};
std::atomic<ControlRoutine> g_control_routine{nullptr};

// What the program drew, for drawing it again after Ctrl+Z, and the lock that
// keeps the model and the terminal in step: the run's thread holds it around
// each console call, the signal thread around taking the terminal back and
// drawing. Globals, since the signal thread has no console to hand.
std::timed_mutex g_screen_lock;
ScreenModel g_screen;

bool WriteAll(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t n = write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

// One write per sequence: a sequence never interleaves with text another
// thread writes, such as the clean-up's last words.
bool Send(int fd, const std::string& sequence) {
  return WriteAll(fd, sequence.data(), sequence.size());
}

// isatty once per standard descriptor: every screen write asks.
bool IsTerminal(int fd) {
  static std::atomic<int> known[3] = {{-1}, {-1}, {-1}};
  if (fd < 0 || fd > 2) return isatty(fd) == 1;
  int state = known[fd].load();
  if (state < 0) {
    state = isatty(fd) == 1 ? 1 : 0;
    known[fd].store(state);
  }
  return state == 1;
}

void RestoreAtExit() { RestoreTerminal(); }

void RestoreOnFatalSignal(int signal_number) {
  RestoreTerminal();
  raise(signal_number);  // the default action now: SA_RESETHAND
}

// From the first change on, every way out that can be caught puts the
// terminal back: a normal exit, a crash, and (below) the ending signals.
void NoteTerminalChanged() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::atexit(RestoreAtExit);
    struct sigaction action = {};
    action.sa_handler = RestoreOnFatalSignal;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(s, &action, nullptr);
  });
  g_terminal_changed.store(true);
}

// The program's screen on the terminal again, with its modes. Only with
// g_screen_lock held: without it the run's thread may be changing the model.
void DrawAgain(const std::unique_lock<std::timed_mutex>& hold) {
  if (!hold.owns_lock() || !g_screen.InUse() || g_child_in_foreground.load()) return;
  NoteTerminalChanged();
  Send(STDOUT_FILENO, g_screen.Redraw());
}

// Waits a second at most for the run's thread to finish a console call: a
// write the terminal holds up (Ctrl+S) must not keep the program from
// stopping or ending.
std::unique_lock<std::timed_mutex> HoldScreen() {
  std::unique_lock<std::timed_mutex> hold(g_screen_lock, std::defer_lock);
  (void)hold.try_lock_for(std::chrono::seconds(1));
  return hold;
}

// Ctrl+Z: the terminal as the shell expects it while the program is stopped,
// then, once it continues, the program's screen again.
void StopAndContinue() {
  const std::unique_lock<std::timed_mutex> hold = HoldScreen();
  // A program started in the foreground draws on the terminal itself.
  if (!g_child_in_foreground.load()) RestoreTerminal();
  sigset_t stop, cont;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigemptyset(&cont);
  sigaddset(&cont, SIGCONT);
  // The signal's default action, on this thread: every thread stops here.
  pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  // The SIGCONT that woke the program is answered by this drawing; none
  // comes where nothing stopped (an orphaned process group ignores Ctrl+Z).
  const timespec at_once = {0, 0};
  sigtimedwait(&cont, nullptr, &at_once);
  DrawAgain(hold);
}

// The console's close event on Linux: SIGINT (Ctrl+C), SIGQUIT (Ctrl+\),
// SIGTERM and SIGHUP (the terminal went away); and job control: SIGTSTP
// (Ctrl+Z) and SIGCONT. They are taken off every thread and waited for on
// one of their own, so the clean-up runs as ordinary code: it may take the
// log's lock and let the line being written finish, which a signal handler
// could not.
bool StartSignalThread() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT}) sigaddset(&set, s);
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  try {
    std::thread([set] {
      for (;;) {
        int signal_number = 0;
        if (sigwait(&set, &signal_number) != 0) continue;
        if (signal_number == SIGTSTP) {
          StopAndContinue();
          continue;
        }
        if (signal_number == SIGCONT) {
          // Continued after a stop that could not be caught (SIGSTOP).
          DrawAgain(HoldScreen());
          continue;
        }
        // Ctrl+C and Ctrl+\ on the terminal belong to a program started in
        // the foreground while it runs.
        if ((signal_number == SIGINT || signal_number == SIGQUIT) && g_child_in_foreground.load())
          continue;
        const ControlRoutine routine = g_control_routine.load();
        if (routine != nullptr) routine(kCtrlClose);
        RestoreTerminal();
        _exit(128 + signal_number);
      }
    }).detach();
  } catch (const std::system_error&) {
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return false;
  }
  return true;
}

class PosixConsole final : public Console {
 public:
  Handle StdHandle(std::uint32_t which) override {
    switch (which) {
      case static_cast<std::uint32_t>(-10): return FromFd(STDIN_FILENO);
      case kStdOutput: return FromFd(STDOUT_FILENO);
      case static_cast<std::uint32_t>(-12): return FromFd(STDERR_FILENO);
      default: return kInvalidHandle;
    }
  }

  bool ReadScreenBufferInfo(Handle out, ScreenBufferInfo* info) override {
    const int fd = ToFd(out);
    if (!IsTerminal(fd)) return false;
    struct winsize size = {};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0) return false;
    // A terminal that never learnt its size (a bare serial line) is taken
    // as the classic 80 x 24.
    info->Width = static_cast<std::int16_t>(size.ws_col != 0 ? size.ws_col : 80);
    info->Height = static_cast<std::int16_t>(size.ws_row != 0 ? size.ws_row : 24);
    info->CursorX = cursor_x_;
    info->CursorY = cursor_y_;
    info->Attributes = attribute_;
    return true;
  }

  bool SetOutputMode(Handle out, std::uint32_t mode) override {
    const int fd = ToFd(out);
    if (!IsTerminal(fd)) return false;
    const bool wrap = (mode & 0x2) != 0;  // ENABLE_WRAP_AT_EOL_OUTPUT
    std::lock_guard<std::timed_mutex> hold(g_screen_lock);
    if (!wrap) NoteTerminalChanged();
    // The rows of the run are placed from the top of the screen: the first
    // time the screen is drawn on, it is cleared and the cursor goes home, as
    // a console window of the program's own would start.
    if (!wrap && !g_screen.InUse()) {
      struct winsize size = {};
      ioctl(fd, TIOCGWINSZ, &size);
      g_screen.Reset(size.ws_col != 0 ? size.ws_col : 80, size.ws_row != 0 ? size.ws_row : 24);
      if (!Out(fd, "\x1b[H\x1b[2J")) return false;
    }
    g_screen.SetWrap(wrap);
    return Out(fd, wrap ? kAutowrapOn : kAutowrapOff);
  }

  bool SetTextAttribute(Handle out, std::uint16_t attribute) override {
    const int fd = ToFd(out);
    if (!IsTerminal(fd)) return false;
    std::lock_guard<std::timed_mutex> hold(g_screen_lock);
    if (attribute != 0x07) NoteTerminalChanged();
    attribute_ = attribute;
    g_screen.SetAttribute(attribute);
    return Out(fd, ColourSequence(attribute));
  }

  bool SetTitle(const char* title) override {
    if (!IsTerminal(STDOUT_FILENO)) return false;
    std::lock_guard<std::timed_mutex> hold(g_screen_lock);
    g_screen.SetTitle(title != nullptr ? title : "");
    return Out(STDOUT_FILENO, TitleSequence(title));
  }

  bool SetCursor(Handle out, std::int16_t x, std::int16_t y) override {
    const int fd = ToFd(out);
    if (!IsTerminal(fd)) return false;
    std::lock_guard<std::timed_mutex> hold(g_screen_lock);
    cursor_x_ = x;
    cursor_y_ = y;
    g_screen.MoveCursor(x, y);
    // Sent with the row that follows: one write per row.
    if (!pending_.empty() && pending_fd_ != fd) Out(pending_fd_, "", 0);
    pending_fd_ = fd;
    pending_ = CursorSequence(x, y);
    return true;
  }

  bool WriteChars(Handle out, const char* bytes, std::uint32_t count) override {
    const int fd = ToFd(out);
    if (!IsTerminal(fd)) return false;
    std::lock_guard<std::timed_mutex> hold(g_screen_lock);
    g_screen.Put(bytes, count);
    return Out(fd, bytes, count);
  }

  bool WriteStream(Handle out, const char* bytes, std::uint32_t count) override {
    const int fd = ToFd(out);
    if (!IsTerminal(fd)) return Out(fd, bytes, count);
    return WriteChars(out, bytes, count);
  }

  bool AddControlRoutine(ControlRoutine routine) override {
    g_control_routine.store(routine);
    static const bool started = StartSignalThread();
    return started;
  }

  // Linux names are bytes that nearly every system today spells in UTF-8, and
  // so does its terminal.
  std::uint32_t TextCodePage() override { return 65001; }

 private:
  std::int16_t cursor_x_ = 0, cursor_y_ = 0;
  std::uint16_t attribute_ = 0x07;
  // A cursor move not yet sent, and its descriptor.
  std::string pending_;
  int pending_fd_ = -1;

  // The bytes in one write, after the cursor move still pending for `fd`.
  bool Out(int fd, const char* bytes, std::size_t count) {
    if (pending_.empty() || pending_fd_ != fd) return WriteAll(fd, bytes, count);
    pending_.append(bytes, count);
    const bool sent = Send(fd, pending_);
    pending_.clear();
    return sent;
  }
  bool Out(int fd, const std::string& bytes) { return Out(fd, bytes.data(), bytes.size()); }
};

}  // namespace

void RestoreTerminal() {
  if (g_terminal_changed.exchange(false))
    WriteAll(STDOUT_FILENO, kTerminalRestore, sizeof kTerminalRestore - 1);
}

void SetChildInForeground(bool running) { g_child_in_foreground.store(running); }

Console& RealConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace zavero::platform
