// The start of the log viewer, built as a 64-bit program: there the records
// the platform is handed (STARTUPINFOA, SHELLEXECUTEINFOA) are larger than in
// the shipped 32-bit build, and a size filled in for one build is wrong in the
// other. Windows refuses a SHELLEXECUTEINFOA whose cbSize is not its own size
// and reads STARTUPINFOA.cb to tell which record it was given; Wine takes any
// size, so the two calls are intercepted at their import pointers (the link
// wraps them, see tests/CMakeLists.txt) and refuse a wrong size before the
// real call. Starts this same program through both routes of the launch,
// directly and through the shell (when the direct start fails), with the real
// Win32 desktop, and checks that each start ran: the started copy creates the
// file named by its parameter. Exit status: the number of routes that failed.
#include <cstdio>
#include <string>

#include "console/program_launch.h"
#include "platform/win32.h"

#include <shellapi.h>

// ---------------------------------------------------------------- Windows' record check

extern "C" {
using ShellExecuteFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
using CreateProcessFn = BOOL(WINAPI*)(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                      BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA,
                                      LPPROCESS_INFORMATION);
extern ShellExecuteFn __real___imp_ShellExecuteExA;
extern CreateProcessFn __real___imp_CreateProcessA;
}

namespace {

BOOL WINAPI CheckedShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (info->cbSize != sizeof *info) {
    std::printf("ShellExecuteExA: cbSize %u, the record has %u bytes: refused\n",
                static_cast<unsigned>(info->cbSize), static_cast<unsigned>(sizeof *info));
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return __real___imp_ShellExecuteExA(info);
}

BOOL WINAPI CheckedCreateProcessA(LPCSTR application, LPSTR command_line,
                                  LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                                  BOOL inherit, DWORD flags, LPVOID environment, LPCSTR folder,
                                  LPSTARTUPINFOA startup, LPPROCESS_INFORMATION info) {
  if (startup->cb != sizeof *startup) {
    std::printf("CreateProcessA: cb %u, the record has %u bytes: refused\n",
                static_cast<unsigned>(startup->cb), static_cast<unsigned>(sizeof *startup));
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return __real___imp_CreateProcessA(application, command_line, process, thread, inherit, flags,
                                     environment, folder, startup, info);
}

}  // namespace

extern "C" {
ShellExecuteFn __wrap___imp_ShellExecuteExA = CheckedShellExecuteExA;
CreateProcessFn __wrap___imp_CreateProcessA = CheckedCreateProcessA;
}

// ---------------------------------------------------------------- the test

namespace zavero {
namespace {

// The real desktop, except that a direct start always fails, so the launch
// falls back to the shell.
class ShellOnlyDesktop final : public platform::Desktop {
 public:
  using Handle = platform::Handle;
  void EnumTopLevelWindows(platform::WindowVisitor v, void* c) override { real_.EnumTopLevelWindows(v, c); }
  std::uint32_t WindowThreadProcess(Handle w, std::uint32_t* p) override { return real_.WindowThreadProcess(w, p); }
  bool WindowVisible(Handle w) override { return real_.WindowVisible(w); }
  bool WindowEnabled(Handle w) override { return real_.WindowEnabled(w); }
  Handle ForegroundWindow() override { return real_.ForegroundWindow(); }
  std::uint32_t WindowExStyle(Handle w) override { return real_.WindowExStyle(w); }
  void SetWindowTopmost(Handle w, bool t) override { real_.SetWindowTopmost(w, t); }
  void EnableWindowInput(Handle w, bool e) override { real_.EnableWindowInput(w, e); }
  int AskQuestion(Handle o, const char* t, const char* c, std::uint32_t s) override {
    return real_.AskQuestion(o, t, c, s);
  }
  std::uint32_t CurrentThreadId() override { return real_.CurrentThreadId(); }
  std::uint32_t CurrentProcessId() override { return real_.CurrentProcessId(); }
  bool StartProcess(char*, const char*, const platform::ProcessStart&, Handle*, Handle*) override {
    return false;
  }
  bool ShellStartProgram(const platform::ShellStart& s, Handle* p) override {
    return real_.ShellStartProgram(s, p);
  }
  void CloseObject(Handle h) override { real_.CloseObject(h); }
  std::uint32_t SystemDirectory(char* b, std::uint32_t n) override { return real_.SystemDirectory(b, n); }
  void InitCommonControls(std::uint32_t c) override { real_.InitCommonControls(c); }
  void InitCom() override { real_.InitCom(); }

 private:
  platform::Desktop& real_ = platform::RealDesktop();
};

bool AppearsWithin(const std::string& path, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    Sleep(100);
  }
  return false;
}

// Launches this program with "started FILE" and waits for FILE.
bool StartsThrough(platform::Desktop& desktop, const char* route) {
  char self[MAX_PATH] = {};
  char temp[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  GetTempPathA(MAX_PATH, temp);
  const std::string marker = std::string(temp) + "zavero-launch-" +
                             std::to_string(GetCurrentProcessId()) + "-" + route;
  DeleteFileA(marker.c_str());
  const int result = console::LaunchProgram(desktop, self, "started " + marker, "");
  const bool ran = AppearsWithin(marker, 30);
  DeleteFileA(marker.c_str());
  std::printf("%s route: launch result %d, the started program %s\n", route, result,
              ran ? "ran" : "did not run");
  return result == 1 && ran;
}

}  // namespace
}  // namespace zavero

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "started") {
    HANDLE h = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(h);
    return 0;
  }
  std::printf("pointer size %u bytes\n", static_cast<unsigned>(sizeof(void*)));
  zavero::ShellOnlyDesktop shell_only;
  int failed = 0;
  failed += !zavero::StartsThrough(zavero::platform::RealDesktop(), "direct");
  failed += !zavero::StartsThrough(shell_only, "shell");
  return failed;
}
