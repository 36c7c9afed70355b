// The process side of the seam on POSIX: the argument vector, the program's
// own file, pauses, the end of the process and its complaints.
#include <sys/prctl.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/posix.h"

namespace zavero::platform {

namespace {

char** g_argv = nullptr;
int g_argc = 0;

class PosixProcess final : public Process {
 public:
  // The arguments joined as a Windows command line, each one that holds a
  // blank (or nothing) in double quotes, for readers of a command line.
  // ArgumentVector hands them over exactly; a double quote inside an
  // argument survives only there.
  const char* CommandLine() override {
    if (!built_) {
      built_ = true;
      for (int i = 0; i < g_argc; ++i) {
        const std::string arg = g_argv[i] != nullptr ? g_argv[i] : "";
        if (i > 0) line_ += ' ';
        const bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
        line_ += quote ? '"' + arg + '"' : arg;
      }
    }
    return line_.c_str();
  }

  std::uint32_t ModuleFileName(char* buffer, std::uint32_t size) override {
    if (size == 0) return 0;
    const ssize_t n = readlink("/proc/self/exe", buffer, size);
    if (n < 0) {
      buffer[0] = 0;
      return 0;
    }
    // GetModuleFileNameA: a name that does not fit is cut and the size returned.
    if (static_cast<std::uint32_t>(n) >= size) {
      buffer[size - 1] = 0;
      return size;
    }
    buffer[n] = 0;
    return static_cast<std::uint32_t>(n);
  }

  // A monotonic deadline, so a signal that interrupts the sleep does not
  // stretch it. The kernel may let a sleeper's wake-up slip by the thread's
  // timer slack (50 us by default) to batch it with others; the walk pauses
  // once per folder, so that slack alone adds a tenth of a second per 2,000
  // folders. While the run works (BeginPreciseTiming to EndPreciseTiming)
  // the slack is as small as the kernel allows.
  void Pause(std::uint32_t ms) override {
    timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += ms / 1000;
    until.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
      until.tv_sec += 1;
      until.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
  }

  void BeginPreciseTiming() override { prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }
  // Back to the default slack (the value 0 means the thread's default).
  void EndPreciseTiming() override { prctl(PR_SET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL); }

  // No kernel32 here: the redirection guard stays inactive.
  bool HasKernelFunction(const char*) override { return false; }
  int Wow64Flag() override { return 0; }
  void DisableRedirection(void**) override {}
  void EnableRedirection() override {}

  [[noreturn]] void Terminate(std::uint32_t code) override {
    RestoreTerminal();
    _exit(static_cast<int>(code & 0xFF));
  }

  const char* const* ArgumentVector() override { return g_argv; }

  // One write, so the line reaches standard error whole; nothing allocated,
  // since the line may be the one that says memory ran out.
  void ReportProblem(const char* line) override {
    const char* text = line != nullptr ? line : "";
    char end = '\n';
    iovec parts[2] = {{const_cast<char*>(text), std::strlen(text)}, {&end, 1}};
    iovec* next = parts;
    int count = 2;
    while (count > 0) {
      const ssize_t n = writev(STDERR_FILENO, next, count);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      // A write cut short goes on where it stopped.
      auto done = static_cast<std::size_t>(n);
      for (; count > 0 && done >= next->iov_len; ++next, --count) done -= next->iov_len;
      if (count > 0) {
        next->iov_base = static_cast<char*>(next->iov_base) + done;
        next->iov_len -= done;
      }
    }
  }

  const char* Environment(const char* name) override { return std::getenv(name); }

 private:
  bool built_ = false;
  std::string line_;
};

PosixProcess g_process;

}  // namespace

void SetArguments(int argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
}

Process& RealProcess() { return g_process; }

}  // namespace zavero::platform
