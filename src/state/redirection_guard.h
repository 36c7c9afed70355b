// Switches the WOW64 file-system redirection off around exactly the calls that
// look at or change the user's folders (the find-first calls of the scan and
// the attribute calls of the clearing phase), so a 32-bit process sees the
// real system folders on a 64-bit Windows. Inactive everywhere else.
#pragma once

#include "platform/machine.h"

namespace zavero {

class RedirectionGuard {
 public:
  // Looks the three kernel32 functions up and asks IsWow64Process; the guard
  // is active only under WOW64 with both switch functions present.
  void Setup(platform::Process& process);
  // Right before a guarded call: redirection off (when active).
  void Disable(void** scratch);
  // Right after it: redirection on again (when active); never restores an
  // earlier state.
  void Enable();
  bool Active() const { return active_; }

 private:
  platform::Process* process_ = nullptr;
  bool active_ = false;
};

}  // namespace zavero
