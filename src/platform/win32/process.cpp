// The process side of the seam: command line, own file name, pauses, the WOW64
// functions looked up at run time, and termination.
#include "platform/win32/win32.h"

namespace zavero::platform {

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using DisableFn = BOOL(WINAPI*)(PVOID*);
using EnableFn = BOOLEAN(WINAPI*)(BOOLEAN);

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

class Win32Process final : public Process {
 public:
  const char* CommandLine() override { return GetCommandLineA(); }
  void AddErrorModes(std::uint32_t modes) override { SetErrorMode(GetErrorMode() | modes); }
  std::uint32_t ModuleFileName(char* buffer, std::uint32_t size) override {
    return GetModuleFileNameA(nullptr, buffer, size);
  }

  // The scan pauses 5 ms per folder and 1 ms per 251 entries. Sleep rounds up
  // to the timer tick (15.6 ms by default), which would triple the walk; a
  // high-resolution waitable timer (Windows 10 1803 and later) sleeps the
  // time asked for without touching the system-wide tick. Older systems get
  // the tick raised to 1 ms while the run works.
  void Pause(std::uint32_t ms) override {
    if (precise_timer_) {
      LARGE_INTEGER due;
      due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;  // relative, 100 ns units
      if (SetWaitableTimer(precise_timer_, &due, 0, nullptr, nullptr, FALSE) &&
          WaitForSingleObject(precise_timer_, INFINITE) == WAIT_OBJECT_0)
        return;
    }
    Sleep(ms);
  }
  void BeginPreciseTiming() override {
    if (precise_timer_ || end_period_) return;
    using CreateTimerExFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
    if (auto create = KernelFunction<CreateTimerExFn>("CreateWaitableTimerExW"))
      precise_timer_ = create(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                              TIMER_ALL_ACCESS);
    if (precise_timer_) return;
    // timeBeginPeriod is winmm's, and winmm is no known DLL: imported, it
    // would be looked for beside the exe first. It is loaded from the system
    // folder, and only on the systems that need it.
    HMODULE winmm = LoadSystemLibrary(L"winmm.dll");
    if (!winmm) return;
    using PeriodFn = UINT(WINAPI*)(UINT);
    const auto begin = reinterpret_cast<PeriodFn>(
        reinterpret_cast<void*>(GetProcAddress(winmm, "timeBeginPeriod")));
    const auto end = reinterpret_cast<PeriodFn>(
        reinterpret_cast<void*>(GetProcAddress(winmm, "timeEndPeriod")));
    if (begin && end && begin(1) == 0 /* TIMERR_NOERROR */) end_period_ = end;
  }
  void EndPreciseTiming() override {
    if (end_period_) end_period_(1);
    end_period_ = nullptr;
    if (precise_timer_) CloseHandle(precise_timer_);
    precise_timer_ = nullptr;
  }

  bool HasKernelFunction(const char* name) override { return KernelFunction<FARPROC>(name) != nullptr; }
  int Wow64Flag() override {
    auto query = KernelFunction<IsWow64ProcessFn>("IsWow64Process");
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
  void LookUpWow64Switches() {
    wow64_looked_up_ = true;
    disable_ = KernelFunction<DisableFn>("Wow64DisableWow64FsRedirection");
    enable_ = KernelFunction<EnableFn>("Wow64EnableWow64FsRedirection");
  }

  bool wow64_looked_up_ = false;
  DisableFn disable_ = nullptr;
  EnableFn enable_ = nullptr;
  HANDLE precise_timer_ = nullptr;
  UINT(WINAPI* end_period_)(UINT) = nullptr;  // timeEndPeriod while the tick is raised
};

Win32Process g_process;

}  // namespace

Process& RealProcess() { return g_process; }

}  // namespace zavero::platform
