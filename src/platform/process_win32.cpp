// The process side of the seam: command line, own file name, pauses, the WOW64
// functions looked up at run time, and termination.
#include "platform/win32.h"

#include <mmsystem.h>

namespace zavero::platform {

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using DisableFn = BOOL(WINAPI*)(PVOID*);
using EnableFn = BOOLEAN(WINAPI*)(BOOLEAN);

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

FARPROC Kernel32Function(const char* name) {
  HMODULE kernel = GetModuleHandleA("Kernel32.DLL");
  return kernel ? GetProcAddress(kernel, name) : nullptr;
}

template <typename Fn>
Fn Lookup(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(Kernel32Function(name)));
}

class Win32Process final : public Process {
 public:
  const char* CommandLine() override { return GetCommandLineA(); }
  std::uint32_t ModuleFileName(char* buffer, std::uint32_t size) override {
    return GetModuleFileNameA(nullptr, buffer, size);
  }

  // The scan pauses 5 ms per folder and 1 ms per 251 entries. Sleep rounds up
  // to the timer tick (15.6 ms by default), which would triple the walk; a
  // high-resolution waitable timer (Windows 10 1803 and later) sleeps the
  // time asked for without touching the system-wide tick. Older systems get
  // the tick raised to 1 ms for the working part of the run.
  void Pause(std::uint32_t ms) override {
    if (!timing_chosen_) ChooseTiming();
    if (precise_timer_ && !timing_ended_) {
      LARGE_INTEGER due;
      due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;  // relative, 100 ns units
      if (SetWaitableTimer(precise_timer_, &due, 0, nullptr, nullptr, FALSE) &&
          WaitForSingleObject(precise_timer_, INFINITE) == WAIT_OBJECT_0)
        return;
    }
    Sleep(ms);
  }
  void EndPreciseTiming() override {
    timing_ended_ = true;
    if (raised_period_) timeEndPeriod(1);
    raised_period_ = false;
  }

  bool HasKernelFunction(const char* name) override { return Kernel32Function(name) != nullptr; }
  int Wow64Flag() override {
    auto query = Lookup<IsWow64ProcessFn>("IsWow64Process");
    BOOL flag = 0;
    if (query) query(GetCurrentProcess(), &flag);
    return flag;
  }
  // The walk and the clearing phase switch redirection around every listing
  // and attribute call; the two functions are looked up once, on first use,
  // not twice per switch.
  void DisableRedirection(void** scratch) override {
    if (!wow64_looked_up_) LookUpWow64Switches();
    if (disable_) disable_(scratch);
  }
  void EnableRedirection() override {
    if (!wow64_looked_up_) LookUpWow64Switches();
    if (enable_) enable_(TRUE);
  }
  [[noreturn]] void Terminate(std::uint32_t code) override { ExitProcess(code); }

 private:
  void ChooseTiming() {
    timing_chosen_ = true;
    using CreateTimerExFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
    if (auto create = Lookup<CreateTimerExFn>("CreateWaitableTimerExW"))
      precise_timer_ = create(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                              TIMER_ALL_ACCESS);
    if (!precise_timer_) raised_period_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  }

  void LookUpWow64Switches() {
    wow64_looked_up_ = true;
    disable_ = Lookup<DisableFn>("Wow64DisableWow64FsRedirection");
    enable_ = Lookup<EnableFn>("Wow64EnableWow64FsRedirection");
  }

  bool wow64_looked_up_ = false;
  DisableFn disable_ = nullptr;
  EnableFn enable_ = nullptr;
  bool timing_chosen_ = false;
  bool timing_ended_ = false;
  bool raised_period_ = false;
  HANDLE precise_timer_ = nullptr;
};

Win32Process g_process;

}  // namespace

Process& RealProcess() { return g_process; }

}  // namespace zavero::platform
