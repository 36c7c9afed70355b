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
  w.handle = next_window_;
  next_window_ += 0x10;
  w.thread_id = thread;
  w.process_id = process;
  w.visible = visible;
  w.enabled = enabled;
  w.ex_style = topmost ? platform::kExStyleTopmost : 0;
  windows.push_back(w);
  return w.handle;
}

void FakeDesktop::RemoveWindow(platform::Handle window) {
  windows.erase(std::remove_if(windows.begin(), windows.end(),
                               [window](const FakeWindow& w) { return w.handle == window; }),
                windows.end());
  if (foreground == window) foreground = platform::kNoHandle;
}

FakeWindow* FakeDesktop::Window(platform::Handle window) {
  for (auto& w : windows) {
    if (w.handle == window) return &w;
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
  open_handles.insert(h);
  return h;
}

// ---- windows

void FakeDesktop::EnumTopLevelWindows(platform::WindowVisitor visit, void* context) {
  Enter("EnumTopLevelWindows");
  // Take the handles first: the visitor may change the windows it is shown.
  std::vector<platform::Handle> handles;
  for (const auto& w : windows) handles.push_back(w.handle);
  for (platform::Handle h : handles) {
    if (!visit(h, context)) break;
  }
}

std::uint32_t FakeDesktop::WindowThreadProcess(platform::Handle window, std::uint32_t* process) {
  Enter("WindowThreadProcess", HandleText(window));
  const FakeWindow* w = Window(window);
  if (process) *process = w ? w->process_id : 0;
  return w ? w->thread_id : 0;
}

bool FakeDesktop::WindowVisible(platform::Handle window) {
  Enter("WindowVisible", HandleText(window));
  const FakeWindow* w = Window(window);
  return w && w->visible;
}

bool FakeDesktop::WindowEnabled(platform::Handle window) {
  Enter("WindowEnabled", HandleText(window));
  const FakeWindow* w = Window(window);
  return w && w->enabled;
}

platform::Handle FakeDesktop::ForegroundWindow() {
  Enter("ForegroundWindow");
  return foreground;
}

std::uint32_t FakeDesktop::WindowExStyle(platform::Handle window) {
  Enter("WindowExStyle", HandleText(window));
  const FakeWindow* w = Window(window);
  return w ? w->ex_style : 0;
}

void FakeDesktop::SetWindowTopmost(platform::Handle window, bool topmost) {
  Enter("SetWindowTopmost", HandleText(window) + (topmost ? ",topmost" : ",notopmost"));
  if (FakeWindow* w = Window(window)) {
    if (topmost) {
      w->ex_style |= platform::kExStyleTopmost;
    } else {
      w->ex_style &= ~platform::kExStyleTopmost;
    }
  }
}

void FakeDesktop::EnableWindowInput(platform::Handle window, bool enable) {
  Enter("EnableWindowInput", HandleText(window) + (enable ? ",on" : ",off"));
  if (FakeWindow* w = Window(window)) w->enabled = enable;
}

int FakeDesktop::AskQuestion(platform::Handle owner, const char* text, const char* title,
                             std::uint32_t style) {
  Enter("AskQuestion", text ? text : "");
  questions.push_back({owner, text ? text : "", title ? title : "", style, windows});
  return answer;
}

std::uint32_t FakeDesktop::CurrentThreadId() {
  Enter("CurrentThreadId");
  return thread_id;
}

std::uint32_t FakeDesktop::CurrentProcessId() {
  Enter("CurrentProcessId");
  return process_id;
}

// ---- programs

bool FakeDesktop::StartProcess(char* command_line, const char* directory,
                               const platform::ProcessStart& start, platform::Handle* process,
                               platform::Handle* thread) {
  std::string line = command_line ? command_line : "";
  Enter("StartProcess", line);
  Launch launch{line, TextOrNone(directory), start, process_start_succeeds, 0, 0};
  if (launch.succeeded) {
    launch.process = NewHandle();
    launch.thread = NewHandle();
    *process = launch.process;
    *thread = launch.thread;
  }
  launches.push_back(launch);
  return launch.succeeded;
}

bool FakeDesktop::ShellStartProgram(const platform::ShellStart& start, platform::Handle* process) {
  Enter("ShellStartProgram", start.file ? start.file : "");
  ShellLaunch launch{start.mask,
                     TextOrNone(start.verb),
                     TextOrNone(start.file),
                     TextOrNone(start.parameters),
                     TextOrNone(start.directory),
                     start.show,
                     shell_start_succeeds,
                     0};
  if (launch.succeeded) {
    if (shell_gives_process) launch.process = NewHandle();
    *process = launch.process;
  }
  shell_starts.push_back(launch);
  return launch.succeeded;
}

void FakeDesktop::CloseObject(platform::Handle handle) {
  Enter("CloseObject", HandleText(handle));
  closed_handles.push_back(handle);
  open_handles.erase(handle);
}

std::uint32_t FakeDesktop::SystemDirectory(char* buffer, std::uint32_t size) {
  Enter("SystemDirectory", std::to_string(size));
  // GetSystemDirectoryA: the length copied, or the size needed (with the
  // terminator) when the buffer is too small, leaving the buffer alone.
  const auto n = static_cast<std::uint32_t>(system_directory.size());
  if (n + 1 > size) return n + 1;
  std::memcpy(buffer, system_directory.c_str(), n + 1);
  return n;
}

void FakeDesktop::InitCommonControls(std::uint32_t classes) {
  Enter("InitCommonControls", std::to_string(classes));
  common_controls_inits.push_back(classes);
}

void FakeDesktop::InitCom() {
  Enter("InitCom");
  ++com_inits;
}

int FakeDesktop::RunAndWait(const char* const* argv) {
  std::string joined;
  for (const char* const* a = argv; *a != nullptr; ++a) joined += (a == argv ? "" : "|") + std::string(*a);
  Enter("RunAndWait", joined);
  runs.push_back(joined);
  auto it = run_status.find(argv[0]);
  return it == run_status.end() ? -1 : it->second;
}

}  // namespace zavero::fake
