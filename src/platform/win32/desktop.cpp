// The desktop side of the seam: top-level windows, the message box, starting
// programs, the system folder and the desktop services set up at start.
#include "platform/win32/win32.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

namespace zavero::platform {

namespace {

struct EnumContext {
  WindowVisitor Visit;
  void* Context;
};

// EnumWindows wants a CALLBACK routine with an LPARAM; the seam's visitor is
// a plain routine with its own context.
BOOL CALLBACK EnumTrampoline(HWND window, LPARAM param) {
  const auto* ctx = reinterpret_cast<const EnumContext*>(param);
  return ctx->Visit(FromHandle(window), ctx->Context) ? TRUE : FALSE;
}

template <typename Fn>
Fn User(const char* name) {
  return LateFunction<Fn>(L"user32.dll", name);
}

class Win32Desktop final : public Desktop {
 public:
  void EnumTopLevelWindows(WindowVisitor visit, void* context) override {
    EnumContext ctx{visit, context};
    if (auto enumerate = User<decltype(&EnumWindows)>("EnumWindows"))
      enumerate(&EnumTrampoline, reinterpret_cast<LPARAM>(&ctx));
  }

  std::uint32_t WindowThreadProcess(Handle window, std::uint32_t* process) override {
    DWORD process_id = 0;
    const auto query = User<decltype(&GetWindowThreadProcessId)>("GetWindowThreadProcessId");
    const DWORD thread_id =
        query ? query(ToWindow(window), process != nullptr ? &process_id : nullptr) : 0;
    if (process != nullptr) *process = process_id;
    return thread_id;
  }

  bool WindowVisible(Handle window) override {
    const auto visible = User<decltype(&IsWindowVisible)>("IsWindowVisible");
    return visible && visible(ToWindow(window)) != FALSE;
  }

  bool WindowEnabled(Handle window) override {
    const auto enabled = User<decltype(&IsWindowEnabled)>("IsWindowEnabled");
    return enabled && enabled(ToWindow(window)) != FALSE;
  }

  Handle ForegroundWindow() override {
    const auto foreground = User<decltype(&GetForegroundWindow)>("GetForegroundWindow");
    return foreground ? FromHandle(foreground()) : kNoHandle;
  }

  std::uint32_t WindowExStyle(Handle window) override {
    const auto read = User<decltype(&GetWindowLongA)>("GetWindowLongA");
    return read ? static_cast<std::uint32_t>(read(ToWindow(window), GWL_EXSTYLE)) : 0;
  }

  void SetWindowTopmost(Handle window, bool topmost) override {
    if (auto place = User<decltype(&SetWindowPos)>("SetWindowPos"))
      place(ToWindow(window), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
            SWP_NOSIZE | SWP_NOMOVE);
  }

  void EnableWindowInput(Handle window, bool enable) override {
    if (auto set = User<decltype(&EnableWindow)>("EnableWindow"))
      set(ToWindow(window), enable ? TRUE : FALSE);
  }

  int AskQuestion(Handle owner, const char* text, const char* title,
                  std::uint32_t style) override {
    ControlsReady();
    const auto ask = User<decltype(&MessageBoxA)>("MessageBoxA");
    return ask ? ask(ToWindow(owner), text, title, style) : 0;
  }

  std::uint32_t CurrentThreadId() override { return GetCurrentThreadId(); }

  std::uint32_t CurrentProcessId() override { return GetCurrentProcessId(); }

  bool StartProcess(char* command_line, const char* directory, const ProcessStart& start,
                    Handle* process, Handle* thread) override {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = start.StartupFlags;
    startup.wShowWindow = start.ShowWindow;
    PROCESS_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    if (!CreateProcessA(nullptr, command_line, nullptr, nullptr,
                        start.InheritHandles ? TRUE : FALSE, start.CreationFlags, nullptr,
                        directory, &startup, &info)) {
      return false;
    }
    *process = FromHandle(info.hProcess);
    *thread = FromHandle(info.hThread);
    return true;
  }

  bool ShellStartProgram(const ShellStart& start, Handle* process) override {
    ControlsReady();
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = start.Mask;
    info.lpVerb = start.Verb;
    info.lpFile = start.File;
    info.lpParameters = start.Parameters;
    info.lpDirectory = start.Directory;
    info.nShow = start.Show;
    const auto execute = LateFunction<decltype(&ShellExecuteExA)>(L"shell32.dll", "ShellExecuteExA");
    if (!execute || !execute(&info)) return false;
    *process = FromHandle(info.hProcess);
    return true;
  }

  void CloseObject(Handle handle) override { CloseHandle(ToHandle(handle)); }

  std::uint32_t SystemDirectory(char* buffer, std::uint32_t size) override {
    return GetSystemDirectoryA(buffer, size);
  }

  // The common controls and COM are needed only when the question box comes
  // up and for the log viewer's start. Under Wine their set-up costs more than
  // a whole run over a small tree (CoInitialize waits for the desktop process
  // to start there), so what is asked for at the start is carried out, in the
  // same order, before the question box makes its windows or the shell starts
  // a program.
  void InitCommonControls(std::uint32_t classes) override {
    classes_ = classes;
    controls_pending_ = true;
  }

  void InitCom() override { com_pending_ = true; }

 private:
  // comctl32 is loaded by its bare name, so that the manifest's side-by-side
  // comctl32 6 is the one taken; the system folder is the only other place
  // looked in.
  void ControlsReady() {
    if (controls_pending_) {
      controls_pending_ = false;
      using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
      HMODULE comctl = LoadSystemLibrary(L"comctl32.dll");
      const auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(
          comctl ? GetProcAddress(comctl, "InitCommonControlsEx") : nullptr));
      if (init) {
        INITCOMMONCONTROLSEX controls;
        controls.dwSize = sizeof controls;
        controls.dwICC = classes_;
        init(&controls);
      }
    }
    if (com_pending_) {
      com_pending_ = false;
      if (auto initialize = LateFunction<decltype(&CoInitialize)>(L"ole32.dll", "CoInitialize"))
        initialize(nullptr);
    }
  }

  DWORD classes_ = 0;
  bool controls_pending_ = false;
  bool com_pending_ = false;
};

}  // namespace

Desktop& RealDesktop() {
  static Win32Desktop desktop;
  return desktop;
}

}  // namespace zavero::platform
