// The desktop side of the seam on POSIX: no windows; the question is asked
// on the terminal, and programs are started in the foreground and waited for.
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/posix.h"

extern char** environ;

namespace zavero::platform {

namespace {

bool IsYes(std::string answer) {
  while (!answer.empty() &&
         (answer.back() == ' ' || answer.back() == '\t' || answer.back() == '\r'))
    answer.pop_back();
  std::size_t start = answer.find_first_not_of(" \t");
  answer.erase(0, start == std::string::npos ? answer.size() : start);
  for (char& c : answer)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return answer == "y" || answer == "yes";
}

class PosixDesktop final : public Desktop {
 public:
  void EnumTopLevelWindows(WindowVisitor, void*) override {}
  std::uint32_t WindowThreadProcess(Handle, std::uint32_t* process) override {
    if (process != nullptr) *process = 0;
    return 0;
  }
  bool WindowVisible(Handle) override { return false; }
  bool WindowEnabled(Handle) override { return false; }
  Handle ForegroundWindow() override { return kNoHandle; }
  std::uint32_t WindowExStyle(Handle) override { return 0; }
  void SetWindowTopmost(Handle, bool) override {}
  void EnableWindowInput(Handle, bool) override {}

  // "<text> [y/N] " on the terminal and one line read from it: Yes for y or
  // yes in any case, No for anything else (Enter alone, end of input). No
  // terminal, no question: 0, as a box that could not be shown.
  int AskQuestion(Handle, const char* text, const char*, std::uint32_t) override {
    if (isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1) return 0;
    const std::string prompt = std::string(text != nullptr ? text : "") + " [y/N] ";
    // Through the console, whose screen model then holds the question too.
    if (!RealConsole().WriteChars(FromFd(STDOUT_FILENO), prompt.data(),
                                  static_cast<std::uint32_t>(prompt.size())))
      return 0;
    std::string answer;
    char c;
    for (;;) {
      const ssize_t n = read(STDIN_FILENO, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || c == '\n') break;
      answer += c;
    }
    return IsYes(answer) ? kAnswerYes : kAnswerNo;
  }

  std::uint32_t CurrentThreadId() override {
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
  }
  std::uint32_t CurrentProcessId() override { return static_cast<std::uint32_t>(getpid()); }

  // Windows' ways of starting programs do not exist here; RunAndWait does.
  bool StartProcess(char*, const char*, const ProcessStart&, Handle*, Handle*) override {
    return false;
  }
  bool ShellStartProgram(const ShellStart&, Handle*) override { return false; }
  void CloseObject(Handle) override {}

  // Where the system's own programs live.
  std::uint32_t SystemDirectory(char* buffer, std::uint32_t size) override {
    static const char kFolder[] = "/usr/bin";
    const auto length = static_cast<std::uint32_t>(sizeof kFolder - 1);
    if (size <= length) return length + 1;
    std::memcpy(buffer, kFolder, length + 1);
    return length;
  }

  void InitCommonControls(std::uint32_t) override {}
  void InitCom() override {}

  // As system() does it: the child gets default signal handling and an
  // empty mask (this program blocks its ending signals for the signal
  // thread); while it runs, Ctrl+C and Ctrl+\ on the terminal are its
  // business alone. posix_spawnp rather than fork: this process has a
  // second thread, and spawn reports a program that cannot be run.
  int RunAndWait(const char* const* argv) override {
    if (argv == nullptr || argv[0] == nullptr) return -1;
    RestoreTerminal();  // the child draws on a terminal in its normal state

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    struct sigaction ignore = {}, old_int = {}, old_quit = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &old_int);
    sigaction(SIGQUIT, &ignore, &old_quit);
    SetChildInForeground(true);

    pid_t child = 0;
    const int failed = posix_spawnp(&child, argv[0], nullptr, &attributes,
                                    const_cast<char* const*>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    int result = -1;
    if (failed == 0) {
      int status = 0;
      pid_t done;
      do {
        done = waitpid(child, &status, 0);
      } while (done < 0 && errno == EINTR);
      if (done == child) result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    SetChildInForeground(false);
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGQUIT, &old_quit, nullptr);
    return result;
  }
};

}  // namespace

Desktop& RealDesktop() {
  static PosixDesktop desktop;
  return desktop;
}

}  // namespace zavero::platform
