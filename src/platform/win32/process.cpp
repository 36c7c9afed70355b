// The process side of the seam: command line, own file name, pauses, the WOW64
// functions looked up at run time, and termination.
#include "platform/win32/win32.h"

#include <algorithm>
#include <climits>

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
  //
  // Every wait ends somewhat late, and the walk waits once per folder: a
  // quarter of a millisecond late per wait is half a second per 2,000
  // folders. So while the run works a pause runs to a deadline on the
  // performance counter: the wait is asked for the time left less what the
  // last waits overran, and taken again for the rest when it ends early; its
  // last stretch is waited out awake (kAwakeTicks). A pause never ends
  // before its time, and ends about on it.
  void Pause(std::uint32_t ms) override {
    // The pause starts before the console's thread is woken for the rows
    // that wait: what it takes to write them is part of the pause.
    LARGE_INTEGER start;
    const bool timed = working_ && QueryPerformanceCounter(&start);
    LetOutHeldRowsAside();
    if (!timed) {
      Wait(ms * kTicksPerMs);
      return;
    }
    const LONGLONG want = static_cast<LONGLONG>(ms) * kTicksPerMs;
    const LONGLONG asked = want - std::min(want / 2, lead_ + kAwakeTicks);
    Wait(asked);
    LONGLONG passed = TicksSince(start);
    Learn(passed - asked);
    while (passed < want) {
      if (want - passed > kAwakeTicks)
        Wait(want - passed - kAwakeTicks);
      else
        YieldProcessor();
      passed = TicksSince(start);
    }
  }
  void BeginPreciseTiming() override {
    working_ = true;
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
    working_ = false;
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
  static constexpr LONGLONG kTicksPerMs = 10000;  // 100 ns units, as the system's waits count
  // The last stretch of a pause is waited out awake, on the counter: a wait
  // that short would end later still (under Wine a tenth of a millisecond
  // per pause, a fifth of a second per 2,000 folders), and the processor
  // it leaves idle is slow to wake for the calls that follow. At most 0.2 ms
  // of each pause, as long as the waits end as early as they have.
  static constexpr LONGLONG kAwakeTicks = 2000;

  // One wait of `ticks` (100 ns units), rounded up to whole milliseconds
  // outside the working part. While the run works: on the system's own delay
  // (Sleep's, in 100 ns units) where it proved precise; else on the precise
  // timer, or Sleep. Under Wine the timer ends on whole milliseconds and the
  // delay does not; on Windows the delay keeps to the tick.
  void Wait(LONGLONG ticks) {
    if (ticks <= 0) return;
    LARGE_INTEGER due;
    due.QuadPart = -ticks;
    if (!working_) {
      Sleep(static_cast<DWORD>((ticks + kTicksPerMs - 1) / kTicksPerMs));
    } else if (delay_ != nullptr && delay_precise_) {
      delay_(FALSE, &due);
    } else if (!precise_timer_ ||
               !SetWaitableTimer(precise_timer_, &due, 0, nullptr, nullptr, FALSE) ||
               WaitForSingleObject(precise_timer_, INFINITE) != WAIT_OBJECT_0) {
      Sleep(static_cast<DWORD>((ticks + kTicksPerMs - 1) / kTicksPerMs));
    }
  }

  // Time since `start` in 100 ns units. The counter's frequency is fixed at
  // boot, so it is read once.
  LONGLONG TicksSince(const LARGE_INTEGER& start) {
    if (frequency_.QuadPart == 0 && !QueryPerformanceFrequency(&frequency_)) frequency_.QuadPart = -1;
    LARGE_INTEGER now;
    if (frequency_.QuadPart <= 0 || !QueryPerformanceCounter(&now)) return LLONG_MAX;
    return (now.QuadPart - start.QuadPart) * 10000000 / frequency_.QuadPart;
  }

  // How late the first wait of a pause ended. The lead is the least overrun
  // of the last waits, so that a wait asked for that much less still ends
  // on time (one that does not is topped up). The system's delay is judged
  // on its first waits: where their middle one overran by half a millisecond
  // or more it keeps to a coarse tick, and the timer takes over.
  void Learn(LONGLONG overrun) {
    if (overrun < 0) overrun = 0;
    overruns_[next_overrun_++ % kOverruns] = overrun;
    if (delay_precise_ && next_overrun_ == kJudged) {
      LONGLONG first[kJudged];
      std::copy(overruns_, overruns_ + kJudged, first);
      std::nth_element(first, first + kJudged / 2, first + kJudged);
      if (first[kJudged / 2] >= 5000) {
        delay_precise_ = false;
        next_overrun_ = 0;
        lead_ = 0;
        return;
      }
    }
    if (next_overrun_ < kOverruns) return;  // a lead only from a full window
    lead_ = *std::min_element(overruns_, overruns_ + kOverruns);
  }

  void LookUpWow64Switches() {
    wow64_looked_up_ = true;
    disable_ = KernelFunction<DisableFn>("Wow64DisableWow64FsRedirection");
    enable_ = KernelFunction<EnableFn>("Wow64EnableWow64FsRedirection");
  }

  bool wow64_looked_up_ = false;
  DisableFn disable_ = nullptr;
  EnableFn enable_ = nullptr;
  HANDLE precise_timer_ = nullptr;
  bool working_ = false;  // between BeginPreciseTiming and EndPreciseTiming
  // NtDelayExecution: Sleep's own delay, in 100 ns units.
  using DelayFn = LONG(WINAPI*)(BOOLEAN, PLARGE_INTEGER);
  DelayFn delay_ = SystemFunction<DelayFn>("ntdll.dll", "NtDelayExecution");
  bool delay_precise_ = true;  // see Learn
  static constexpr unsigned kOverruns = 16, kJudged = 5;
  LONGLONG overruns_[kOverruns] = {};  // of the last first waits, in 100 ns units
  unsigned next_overrun_ = 0;
  LONGLONG lead_ = 0;  // what the first wait of a pause is asked for less
  LARGE_INTEGER frequency_ = {};  // of the performance counter; -1 when unknown
  UINT(WINAPI* end_period_)(UINT) = nullptr;  // timeEndPeriod while the tick is raised
};

Win32Process g_process;

}  // namespace

Process& RealProcess() { return g_process; }

}  // namespace zavero::platform
