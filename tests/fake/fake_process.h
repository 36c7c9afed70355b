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
  explicit Terminated(std::uint32_t c) : std::runtime_error("terminated"), code(c) {}
  std::uint32_t code;
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

  std::string command_line = "zavero.exe";
  std::string module_file_name = "C:\\Tools\\zavero.exe";
  // The kernel32 functions that exist (a 64-bit system by default).
  std::set<std::string> kernel_functions = {"IsWow64Process", "Wow64DisableWow64FsRedirection",
                                            "Wow64EnableWow64FsRedirection"};
  int wow64_flag = 1;
  bool redirection_off = false;            // current state of the switch
  std::vector<std::uint32_t> pauses;       // every Pause(ms), in order
  std::size_t pause_limit = static_cast<std::size_t>(-1);
  bool precise_timing_ended = false;
  bool stop_at_idle = true;
  // A platform that hands the arguments over one by one (program name first);
  // empty: the program splits command_line itself.
  std::vector<std::string> arguments;
  std::vector<std::string> problems;              // every ReportProblem line
  std::map<std::string, std::string> environment;

  const char* CommandLine() override {
    calls_.Add("CommandLine");
    return command_line.c_str();
  }
  std::uint32_t ModuleFileName(char* buffer, std::uint32_t size) override {
    calls_.Add("ModuleFileName");
    // GetModuleFileNameA truncates to size - 1 characters and terminates.
    std::uint32_t n = static_cast<std::uint32_t>(module_file_name.size());
    if (size == 0) return 0;
    if (n >= size) n = size - 1;
    module_file_name.copy(buffer, n);
    buffer[n] = 0;
    return n;
  }
  void Pause(std::uint32_t ms) override {
    calls_.Add("Pause", std::to_string(ms));
    pauses.push_back(ms);
    if (pauses.size() >= pause_limit) throw PauseLimitReached();
  }
  void BeginPreciseTiming() override { calls_.Add("BeginPreciseTiming"); }
  void EndPreciseTiming() override {
    calls_.Add("EndPreciseTiming");
    precise_timing_ended = true;
    if (stop_at_idle) throw IdleReached();
  }
  bool HasKernelFunction(const char* name) override {
    calls_.Add("HasKernelFunction", name);
    return kernel_functions.count(name) > 0;
  }
  int Wow64Flag() override {
    calls_.Add("Wow64Flag");
    return wow64_flag;
  }
  void DisableRedirection(void** scratch) override {
    calls_.Add("DisableRedirection");
    if (scratch) *scratch = reinterpret_cast<void*>(0x1);
    redirection_off = true;
  }
  void EnableRedirection() override {
    calls_.Add("EnableRedirection");
    redirection_off = false;
  }
  [[noreturn]] void Terminate(std::uint32_t code) override {
    calls_.Add("Terminate", std::to_string(code));
    throw Terminated(code);
  }
  const char* const* ArgumentVector() override {
    if (arguments.empty()) return nullptr;
    argv_.clear();
    for (const auto& a : arguments) argv_.push_back(a.c_str());
    argv_.push_back(nullptr);
    return argv_.data();
  }
  void ReportProblem(const char* line) override {
    calls_.Add("ReportProblem", line);
    problems.push_back(line);
  }
  const char* Environment(const char* name) override {
    auto it = environment.find(name);
    return it == environment.end() ? nullptr : it->second.c_str();
  }

 private:
  CallLog& calls_;
  std::vector<const char*> argv_;
};

}  // namespace zavero::fake
