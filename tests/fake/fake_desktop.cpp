#include "fake/fake_desktop.h"

#include <algorithm>
#include <cstring>

namespace zavero::fake {

namespace {

std::string HandleText(platform::Handle h) { return std::to_string(h); }

std::optional<std::string> TextOrNone(const char* s) {
  if (s == nullptr) return std::nullopt;
  return std::string(s);
}

}  // namespace

platform::Handle FakeDesktop::AddWindow(std::uint32_t thread, std::uint32_t process, bool visible,
                                        bool enabled, bool topmost) {
  FakeWindow w;
  w.Handle = next_window_;
  next_window_ += 0x10;
  w.ThreadId = thread;
  w.ProcessId = process;
  w.Visible = visible;
  w.Enabled = enabled;
  w.ExStyle = topmost ? platform::kExStyleTopmost : 0;
  Windows.push_back(w);
  return w.Handle;
}

void FakeDesktop::RemoveWindow(platform::Handle window) {
  Windows.erase(std::remove_if(Windows.begin(), Windows.end(),
                               [window](const FakeWindow& w) { return w.Handle == window; }),
                Windows.end());
  if (Foreground == window) Foreground = platform::kNoHandle;
}

FakeWindow* FakeDesktop::Window(platform::Handle window) {
  for (auto& w : Windows) {
    if (w.Handle == window) return &w;
  }
  return nullptr;
}

void FakeDesktop::Enter(const std::string& name, const std::string& detail) {
  calls_.Add(name, detail);
  if (before_call) before_call(name);
}

platform::Handle FakeDesktop::NewHandle() {
  platform::Handle h = next_handle_;
  next_handle_ += 4;
  OpenHandles.insert(h);
  return h;
}

// ---- windows

void FakeDesktop::EnumTopLevelWindows(platform::WindowVisitor visit, void* context) {
  Enter("EnumTopLevelWindows");
  // Take the handles first: the visitor may change the windows it is shown.
  std::vector<platform::Handle> handles;
  for (const auto& w : Windows) handles.push_back(w.Handle);
  for (platform::Handle h : handles) {
    if (!visit(h, context)) break;
  }
}

std::uint32_t FakeDesktop::WindowThreadProcess(platform::Handle window, std::uint32_t* process) {
  Enter("WindowThreadProcess", HandleText(window));
  const FakeWindow* w = Window(window);
  if (process) *process = w ? w->ProcessId : 0;
  return w ? w->ThreadId : 0;
}

bool FakeDesktop::WindowVisible(platform::Handle window) {
  Enter("WindowVisible", HandleText(window));
  const FakeWindow* w = Window(window);
  return w && w->Visible;
}

bool FakeDesktop::WindowEnabled(platform::Handle window) {
  Enter("WindowEnabled", HandleText(window));
  const FakeWindow* w = Window(window);
  return w && w->Enabled;
}

platform::Handle FakeDesktop::ForegroundWindow() {
  Enter("ForegroundWindow");
  return Foreground;
}

std::uint32_t FakeDesktop::WindowExStyle(platform::Handle window) {
  Enter("WindowExStyle", HandleText(window));
  const FakeWindow* w = Window(window);
  return w ? w->ExStyle : 0;
}

void FakeDesktop::SetWindowTopmost(platform::Handle window, bool topmost) {
  Enter("SetWindowTopmost", HandleText(window) + (topmost ? ",topmost" : ",notopmost"));
  if (FakeWindow* w = Window(window)) {
    if (topmost) {
      w->ExStyle |= platform::kExStyleTopmost;
    } else {
      w->ExStyle &= ~platform::kExStyleTopmost;
    }
  }
}

void FakeDesktop::EnableWindowInput(platform::Handle window, bool enable) {
  Enter("EnableWindowInput", HandleText(window) + (enable ? ",on" : ",off"));
  if (FakeWindow* w = Window(window)) w->Enabled = enable;
}

int FakeDesktop::AskQuestion(platform::Handle owner, const char* text, const char* title,
                             std::uint32_t style) {
  Enter("AskQuestion", text ? text : "");
  Questions.push_back({owner, text ? text : "", title ? title : "", style, Windows});
  return Answer;
}

std::uint32_t FakeDesktop::CurrentThreadId() {
  Enter("CurrentThreadId");
  return ThreadId;
}

std::uint32_t FakeDesktop::CurrentProcessId() {
  Enter("CurrentProcessId");
  return ProcessId;
}

// ---- programs

bool FakeDesktop::StartProcess(char* command_line, const char* directory,
                               const platform::ProcessStart& start, platform::Handle* process,
                               platform::Handle* thread) {
  std::string line = command_line ? command_line : "";
  Enter("StartProcess", line);
  Launch launch{line, TextOrNone(directory), start, ProcessStartSucceeds, 0, 0};
  if (launch.Succeeded) {
    launch.Process = NewHandle();
    launch.Thread = NewHandle();
    *process = launch.Process;
    *thread = launch.Thread;
  }
  Launches.push_back(launch);
  return launch.Succeeded;
}

bool FakeDesktop::ShellStartProgram(const platform::ShellStart& start, platform::Handle* process) {
  Enter("ShellStartProgram", start.File ? start.File : "");
  ShellLaunch launch{start.Mask,
                     TextOrNone(start.Verb),
                     TextOrNone(start.File),
                     TextOrNone(start.Parameters),
                     TextOrNone(start.Directory),
                     start.Show,
                     ShellStartSucceeds,
                     0};
  if (launch.Succeeded) {
    if (ShellGivesProcess) launch.Process = NewHandle();
    *process = launch.Process;
  }
  ShellStarts.push_back(launch);
  return launch.Succeeded;
}

void FakeDesktop::CloseObject(platform::Handle handle) {
  Enter("CloseObject", HandleText(handle));
  ClosedHandles.push_back(handle);
  OpenHandles.erase(handle);
}

std::uint32_t FakeDesktop::SystemDirectory(char* buffer, std::uint32_t size) {
  Enter("SystemDirectory", std::to_string(size));
  // GetSystemDirectoryA: the length copied, or the size needed (with the
  // terminator) when the buffer is too small, leaving the buffer alone.
  const auto n = static_cast<std::uint32_t>(SystemDirectoryText.size());
  if (n + 1 > size) return n + 1;
  std::memcpy(buffer, SystemDirectoryText.c_str(), n + 1);
  return n;
}

void FakeDesktop::InitCommonControls(std::uint32_t classes) {
  Enter("InitCommonControls", std::to_string(classes));
  CommonControlsInits.push_back(classes);
}

void FakeDesktop::InitCom() {
  Enter("InitCom");
  ++ComInits;
}

int FakeDesktop::RunAndWait(const char* const* argv) {
  std::string joined;
  for (const char* const* a = argv; *a != nullptr; ++a) joined += (a == argv ? "" : "|") + std::string(*a);
  Enter("RunAndWait", joined);
  Runs.push_back(joined);
  auto it = RunStatus.find(argv[0]);
  return it == RunStatus.end() ? -1 : it->second;
}

}  // namespace zavero::fake
