// The fake machine's desktop: top-level windows with their thread and process
// ids and visible / enabled / topmost state, the foreground window, the
// message box and its answer, process and shell starts, closed handles, the
// system folder and the one-time desktop initialisations. Every call is
// recorded into the CallLog; the box also records the state of every window
// while it is up, so a test can check what the user saw around it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake/call_log.h"
#include "platform/machine.h"

namespace zavero::fake {

struct FakeWindow {
  platform::Handle Handle = 0;
  std::uint32_t ThreadId = 0;
  std::uint32_t ProcessId = 0;
  bool Visible = true;
  bool Enabled = true;
  std::uint32_t ExStyle = 0;
  bool topmost() const { return (ExStyle & platform::kExStyleTopmost) != 0; }
};

class FakeDesktop : public platform::Desktop {
 public:
  explicit FakeDesktop(CallLog& calls) : calls_(calls) {}

  // ---- building the desktop
  std::uint32_t ThreadId = 100;    // the calling thread (GetCurrentThreadId)
  std::uint32_t ProcessId = 4000;  // this process (GetCurrentProcessId)
  // Adds a top-level window at the end of the enumeration order and returns
  // its handle.
  platform::Handle AddWindow(std::uint32_t thread, std::uint32_t process, bool visible = true,
                             bool enabled = true, bool topmost = false);
  // Destroys a window: it leaves the enumeration and calls on it fail.
  void RemoveWindow(platform::Handle window);
  FakeWindow* Window(platform::Handle window);
  std::vector<FakeWindow> Windows;  // in enumeration order
  platform::Handle Foreground = platform::kNoHandle;

  // The message box's answer; 0 models a box that could not be shown.
  int Answer = platform::kAnswerYes;
  struct Question {
    platform::Handle Owner;
    std::string Text;
    std::string Title;
    std::uint32_t Style;
    std::vector<FakeWindow> WindowsDuring;  // every window while the box was up
  };
  std::vector<Question> Questions;

  // Process starts (CreateProcessA) and whether they succeed.
  bool ProcessStartSucceeds = true;
  struct Launch {
    std::string CommandLine;
    std::optional<std::string> Directory;  // nullopt: none given
    platform::ProcessStart Start;
    bool Succeeded;
    platform::Handle Process, Thread;      // the handles handed out (0 on failure)
  };
  std::vector<Launch> Launches;

  // Shell starts (ShellExecuteExA) and whether they succeed.
  bool ShellStartSucceeds = true;
  bool ShellGivesProcess = true;  // whether a successful start reports a process handle
  struct ShellLaunch {
    std::uint32_t Mask;
    std::optional<std::string> Verb, File, Parameters, Directory;  // nullopt: null pointer
    int Show;
    bool Succeeded;
    platform::Handle Process;
  };
  std::vector<ShellLaunch> ShellStarts;

  // Handles handed out by the starts and not closed yet, and every close.
  std::set<platform::Handle> OpenHandles;
  std::vector<platform::Handle> ClosedHandles;

  // Programs run and waited for (RunAndWait): each argv, joined by "|", and
  // the status a program answers, by argv[0] (-1: it cannot be started; a
  // program not named here answers -1).
  std::vector<std::string> Runs;
  std::map<std::string, int> RunStatus;

  std::string SystemDirectoryText = "C:\\Windows\\system32";
  std::vector<std::uint32_t> CommonControlsInits;  // class bits of each call
  int ComInits = 0;

  // Runs at the start of every seam call with its name, before it acts
  // (e.g. to remove a window while the box is up).
  std::function<void(const std::string& call)> before_call;

  // ---- platform::Desktop
  void EnumTopLevelWindows(platform::WindowVisitor visit, void* context) override;
  std::uint32_t WindowThreadProcess(platform::Handle window, std::uint32_t* process) override;
  bool WindowVisible(platform::Handle window) override;
  bool WindowEnabled(platform::Handle window) override;
  platform::Handle ForegroundWindow() override;
  std::uint32_t WindowExStyle(platform::Handle window) override;
  void SetWindowTopmost(platform::Handle window, bool topmost) override;
  void EnableWindowInput(platform::Handle window, bool enable) override;
  int AskQuestion(platform::Handle owner, const char* text, const char* title,
                  std::uint32_t style) override;
  std::uint32_t CurrentThreadId() override;
  std::uint32_t CurrentProcessId() override;
  bool StartProcess(char* command_line, const char* directory, const platform::ProcessStart& start,
                    platform::Handle* process, platform::Handle* thread) override;
  bool ShellStartProgram(const platform::ShellStart& start, platform::Handle* process) override;
  void CloseObject(platform::Handle handle) override;
  std::uint32_t SystemDirectory(char* buffer, std::uint32_t size) override;
  void InitCommonControls(std::uint32_t classes) override;
  void InitCom() override;
  int RunAndWait(const char* const* argv) override;

 private:
  void Enter(const std::string& name, const std::string& detail = {});
  platform::Handle NewHandle();

  CallLog& calls_;
  platform::Handle next_window_ = 0x10010;
  platform::Handle next_handle_ = 0x700;
};

}  // namespace zavero::fake
