#include "state/redirection_guard.h"

namespace zavero {

void RedirectionGuard::Setup(platform::Process& process) {
  process_ = &process;
  active_ = false;
  const bool has_query = process.HasKernelFunction("IsWow64Process");
  const bool has_disable = process.HasKernelFunction("Wow64DisableWow64FsRedirection");
  const bool has_enable = process.HasKernelFunction("Wow64EnableWow64FsRedirection");
  if (!has_query) return;
  active_ = process.Wow64Flag() == 1 && has_disable && has_enable;
}

void RedirectionGuard::Disable(void** scratch) {
  if (active_) process_->DisableRedirection(scratch);
}

void RedirectionGuard::Enable() {
  if (active_) process_->EnableRedirection();
}

}  // namespace zavero
