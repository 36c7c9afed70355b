#include "console/question_box.h"

#include <iterator>
#include <list>
#include <mutex>

namespace zavero::console {

namespace {

// The windows disabled around a box, newest first. Process-wide, because a
// box shown by one thread must not re-enable what another thread's box
// disabled; the thread id in each record keeps them apart. The lock only
// guards the list itself and is never held while the box is up.
std::list<DisabledWindow> g_disabled;
std::mutex g_disabled_lock;

struct DisableContext {
  platform::Desktop* Desktop;
  std::uint32_t ThreadId;
};

bool DisableIfOwnWindow(platform::Handle window, void* context) {
  auto& ctx = *static_cast<DisableContext*>(context);
  platform::Desktop& desktop = *ctx.Desktop;
  if (desktop.WindowThreadProcess(window, nullptr) != ctx.ThreadId) return true;
  if (!desktop.WindowVisible(window) || !desktop.WindowEnabled(window)) return true;
  // The foreground window will own the box; it stays usable.
  if (window == desktop.ForegroundWindow()) return true;

  DisabledWindow record;
  record.ThreadId = ctx.ThreadId;
  record.Window = window;
  // A topmost window would cover the box.
  if (desktop.WindowExStyle(window) & platform::kExStyleTopmost) {
    desktop.SetWindowTopmost(window, false);
    record.WasTopmost = true;
  }
  {
    std::lock_guard<std::mutex> hold(g_disabled_lock);
    g_disabled.push_front(record);
  }
  desktop.EnableWindowInput(window, false);
  return true;
}

}  // namespace

int ShowQuestionBox(platform::Desktop& desktop, const std::string& title,
                    const std::string& text, std::uint32_t style) {
  DisableThreadWindows(desktop);
  const platform::Handle owner = FindBoxOwner(desktop);
  const int answer = desktop.AskQuestion(owner, text.c_str(), title.c_str(), style);
  RestoreThreadWindows(desktop);
  return answer;
}

void DisableThreadWindows(platform::Desktop& desktop) {
  DisableContext ctx{&desktop, desktop.CurrentThreadId()};
  desktop.EnumTopLevelWindows(&DisableIfOwnWindow, &ctx);
}

platform::Handle FindBoxOwner(platform::Desktop& desktop) {
  platform::Handle window = desktop.ForegroundWindow();
  if (window != platform::kNoHandle) {
    std::uint32_t process = 0;
    desktop.WindowThreadProcess(window, &process);
    if (process != desktop.CurrentProcessId()) window = platform::kNoHandle;
  }
  return window;
}

void RestoreThreadWindows(platform::Desktop& desktop) {
  const std::uint32_t thread_id = desktop.CurrentThreadId();
  std::list<DisabledWindow> mine;
  {
    std::lock_guard<std::mutex> hold(g_disabled_lock);
    for (auto it = g_disabled.begin(); it != g_disabled.end();) {
      auto next = std::next(it);
      if (it->ThreadId == thread_id) mine.splice(mine.end(), g_disabled, it);
      it = next;
    }
  }
  // A window that is gone by now gets the calls all the same; they fail quietly.
  for (const DisabledWindow& record : mine) {
    desktop.EnableWindowInput(record.Window, true);
    if (record.WasTopmost) desktop.SetWindowTopmost(record.Window, true);
  }
}

std::vector<DisabledWindow> DisabledWindowList() {
  std::lock_guard<std::mutex> hold(g_disabled_lock);
  return {g_disabled.begin(), g_disabled.end()};
}

}  // namespace zavero::console
