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
    return handle;
  }
  for (int i = 0; i < count; ++i) files_.WriteLine(handle, lines[i]);
  if (!files_.Close(handle)) lines_lost_ = true;
  return handle;
}

std::uint32_t RunLog::AppendLogLine(const char* text) {
  if (options_.LogPath.empty()) return 0;
  std::lock_guard<std::timed_mutex> hold(lock_);
  if (closed_) return 0;
  std::uint32_t handle = files_.Open(options_.LogPath);
  if (!files_.IsOpen(handle)) {
    lines_lost_ = true;
    return handle;
  }
  files_.Seek(handle, files_.Length(handle));
  files_.WriteLine(handle, text);
  if (!files_.Close(handle)) lines_lost_ = true;
  return handle;
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
