// A Yes/No (or any other) message box that is modal to every window of the
// calling thread: those windows are disabled, and lowered from topmost, while
// the box is up, and put back as they were afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/machine.h"

namespace zavero::console {

// One window that DisableThreadWindows disabled and RestoreThreadWindows must
// give back.
struct DisabledWindow {
  std::uint32_t ThreadId = 0;  // the thread that disabled it
  platform::Handle Window = platform::kNoHandle;
  bool WasTopmost = false;     // lowered from topmost for the time of the box
};

// Shows MessageBoxA(owner, text, title, style) between DisableThreadWindows and
// RestoreThreadWindows and returns its answer unchanged (IDYES 6, IDNO 7, 0
// when the box could not be shown).
int ShowQuestionBox(platform::Desktop& desktop, const std::string& title,
                    const std::string& text, std::uint32_t style);

// Disables the calling thread's visible, enabled top-level windows other than
// the foreground window, lowering topmost ones, and records each at the front
// of the process-wide list.
void DisableThreadWindows(platform::Desktop& desktop);

// The foreground window when it belongs to this process, else 0 (no owner).
platform::Handle FindBoxOwner(platform::Desktop& desktop);

// Enables again, and makes topmost again where they were, the windows the
// calling thread recorded, last disabled first, and drops their records.
// Records of other threads stay.
void RestoreThreadWindows(platform::Desktop& desktop);

// A copy of the process-wide list, front first (for inspection).
std::vector<DisabledWindow> DisabledWindowList();

}  // namespace zavero::console
