#include "state/run_log.h"

#include <chrono>

#include "support/text.h"

namespace zavero {

using namespace support;

std::uint32_t RunLog::WriteLogHeader() {
  const RunOptions& o = options_;
  const std::string lines[] = {
      "QOR_ZAVERO has been started...",
      (IsClearingMode(o.Mode) ? "Clear attributes: $" : "include attributes: $") +
          HexText(o.IncludeMask),
      "skip attributes: $" + HexText(o.SkipMask),
      "searching files: " + DisplayForm(o.Pattern, display_),
      "search in folder: " + DisplayForm(o.StartFolder, display_),
  };
  const int count = o.StartFolder.empty() ? 4 : 5;

  std::lock_guard<std::timed_mutex> hold(lock_);
  if (closed_) return 0;
  std::uint32_t handle = files_.Create(o.LogPath);
  if (!files_.IsOpen(handle)) {
    lines_lost_ = true;
    const std::uint32_t error = files_.LastOpenError();
    refused_ = error != platform::kErrorSharingViolation && error != platform::kErrorLockViolation;
    return handle;
  }
  if (!Admit(handle, 0)) {
    lines_lost_ = refused_ = true;
    return 0;
  }
  for (int i = 0; i < count; ++i) files_.WriteLine(handle, lines[i]);
  if (!files_.Close(handle)) lines_lost_ = true;
  return handle;
}

std::uint32_t RunLog::AppendLogLine(const char* text) {
  if (options_.LogPath.empty()) return 0;
  std::lock_guard<std::timed_mutex> hold(lock_);
  if (closed_ || replaced_) return 0;
  std::uint32_t handle = files_.Open(options_.LogPath);
  if (!files_.IsOpen(handle)) {
    lines_lost_ = true;
    return handle;
  }
  const std::int64_t length = files_.Length(handle);
  if (!Admit(handle, length)) {
    lines_lost_ = true;
    return 0;
  }
  files_.Seek(handle, length);
  files_.WriteLine(handle, text);
  if (!files_.Close(handle)) lines_lost_ = true;
  return handle;
}

bool RunLog::Admit(std::uint32_t handle, std::int64_t length) {
  platform::FileId id;
  bool ours = files_.ReadId(handle, &id) && id.PlainFile;
  // A log deleted from outside comes back empty, made by this opening, and
  // takes the rest of the run, as before; a file with something in it is
  // someone else's.
  if (ours && pinned_ && !(id == log_id_) && length != 0) ours = false;
  if (!ours) {
    files_.Close(handle);
    replaced_ = pinned_;
    return false;
  }
  log_id_ = id;
  pinned_ = true;
  return true;
}

void RunLog::ReleaseForClose() {
  // A line takes microseconds; the system allows the handler a few seconds.
  if (!lock_.try_lock_for(std::chrono::milliseconds(1500))) return;
  files_.CloseAll();
  // The process ends right after the handler answers; until then no new line
  // may start.
  closed_ = true;
  lock_.unlock();
}

}  // namespace zavero
