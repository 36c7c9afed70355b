// The fake machine's process: command line, module file name, recorded
// pauses, the WOW64 functions and their switching, and termination.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake/call_log.h"
#include "platform/machine.h"

namespace zavero::fake {

// Thrown by FakeProcess::Terminate so a test can see the process end.
struct Terminated : std::runtime_error {
  explicit Terminated(std::uint32_t c) : std::runtime_error("terminated"), Code(c) {}
  std::uint32_t Code;
};

// Thrown by Pause once `pause_limit` pauses were taken, so a test can run
// the never-ending run sequence up to its idle loop and stop there.
// Thrown when the run gives its precise timer back right before the idle
// loop (unless stop_at_idle is off): every step of the run is done.
struct IdleReached : std::runtime_error {
  IdleReached() : std::runtime_error("idle") {}
};

struct PauseLimitReached : std::runtime_error {
  PauseLimitReached() : std::runtime_error("pause limit reached") {}
};

class FakeProcess : public platform::Process {
 public:
  explicit FakeProcess(CallLog& calls) : calls_(calls) {}

  std::string CommandLineText = "zavero.exe";
  std::string ModuleFileNameText = "C:\\Tools\\zavero.exe";
  // The kernel32 functions that exist (a 64-bit system by default).
  std::set<std::string> kernel_functions = {"IsWow64Process", "Wow64DisableWow64FsRedirection",
                                            "Wow64EnableWow64FsRedirection"};
  int Wow64FlagValue = 1;
  bool RedirectionOff = false;            // current state of the switch
  std::vector<std::uint32_t> Pauses;       // every Pause(ms), in order
  std::size_t pause_limit = static_cast<std::size_t>(-1);
  bool PreciseTimingEnded = false;
  bool StopAtIdle = true;
  // A platform that hands the arguments over one by one (program name first);
  // empty: the program splits command_line_text itself.
  std::vector<std::string> Arguments;
  std::vector<std::string> Problems;              // every ReportProblem line
  std::map<std::string, std::string> EnvironmentValues;

  const char* CommandLine() override {
    calls_.Add("CommandLine");
    return CommandLineText.c_str();
  }
  std::uint32_t ModuleFileName(char* buffer, std::uint32_t size) override {
    calls_.Add("ModuleFileName");
    // GetModuleFileNameA truncates to size - 1 characters and terminates.
    std::uint32_t n = static_cast<std::uint32_t>(ModuleFileNameText.size());
    if (size == 0) return 0;
    if (n >= size) n = size - 1;
    ModuleFileNameText.copy(buffer, n);
    buffer[n] = 0;
    return n;
  }
  void Pause(std::uint32_t ms) override {
    calls_.Add("Pause", std::to_string(ms));
    Pauses.push_back(ms);
    if (Pauses.size() >= pause_limit) throw PauseLimitReached();
  }
  void BeginPreciseTiming() override { calls_.Add("BeginPreciseTiming"); }
  void EndPreciseTiming() override {
    calls_.Add("EndPreciseTiming");
    PreciseTimingEnded = true;
    if (StopAtIdle) throw IdleReached();
  }
  bool HasKernelFunction(const char* name) override {
    calls_.Add("HasKernelFunction", name);
    return kernel_functions.count(name) > 0;
  }
  int Wow64Flag() override {
    calls_.Add("Wow64Flag");
    return Wow64FlagValue;
  }
  void DisableRedirection(void** scratch) override {
    calls_.Add("DisableRedirection");
    if (scratch) *scratch = reinterpret_cast<void*>(0x1);
    RedirectionOff = true;
  }
  void EnableRedirection() override {
    calls_.Add("EnableRedirection");
    RedirectionOff = false;
  }
  [[noreturn]] void Terminate(std::uint32_t Code) override {
    calls_.Add("Terminate", std::to_string(Code));
    throw Terminated(Code);
  }
  const char* const* ArgumentVector() override {
    if (Arguments.empty()) return nullptr;
    argv_.clear();
    for (const auto& a : Arguments) argv_.push_back(a.c_str());
    argv_.push_back(nullptr);
    return argv_.data();
  }
  void ReportProblem(const char* line) override {
    calls_.Add("ReportProblem", line);
    Problems.push_back(line);
  }
  void AddErrorModes(std::uint32_t m) override { calls_.Add("AddErrorModes", std::to_string(m)); }
  const char* Environment(const char* name) override {
    auto it = EnvironmentValues.find(name);
    return it == EnvironmentValues.end() ? nullptr : it->second.c_str();
  }

 private:
  CallLog& calls_;
  std::vector<const char*> argv_;
};

}  // namespace zavero::fake
