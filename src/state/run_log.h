// The run log: a plain text file created anew by each run's header, then one
// line per opening: open, go to the end, write the line, close. Nothing stays
// open between lines, so a run ended from outside keeps every finished line.
// Each opening is checked: the log is only ever a plain file (never a folder,
// a FIFO, a device, nor a link opened in its place), and once lines went to
// one file the later ones go to that same file or, where it was deleted, to
// the empty one the opening made anew; any other file found at the log's name
// ends the log for the rest of the run.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "state/run_options.h"
#include "support/buffered_file.h"
#include "support/text.h"

namespace zavero {

using support::BufferedFiles;

class RunLog {
 public:
  // The header shows the start folder and the pattern by `display`.
  RunLog(BufferedFiles& files, const RunOptions& options, const support::DisplayRules& display)
      : files_(files), options_(options), display_(display) {}

  // Creates (or empties) the log and writes the header lines. Returns the
  // handle of that opening, 0 when the log could not be created.
  std::uint32_t WriteLogHeader();
  // Appends one line through an opening of its own. Returns that opening's
  // handle (0: the line was lost). Does nothing and returns 0 without a log.
  std::uint32_t AppendLogLine(const char* text);
  std::uint32_t AppendLogLine(const std::string& text) { return AppendLogLine(text.c_str()); }

  // The close-event clean-up, on the thread the system starts for the event.
  // Waits a short while for a line that is being written, then closes every
  // open file and keeps later lines from starting, so a line reaches the file
  // whole or not at all. If the line does not finish in time the file is left
  // to the writer rather than closed under it.
  void ReleaseForClose();
  // True once ReleaseForClose has closed the log: the process is ending.
  bool Closed() const { return closed_.load(); }
  // True once a line (the header's included) could not be opened or written
  // whole: the log misses lines.
  bool LinesLost() const { return lines_lost_; }
  // True when the header found nowhere to write the log (its folder missing,
  // no plain file at its name ...), rather than a file another program held
  // at that moment, whose later lines may still land.
  bool Refused() const { return refused_; }
  // True once another file stood at the log's name: no line went there.
  bool Replaced() const { return replaced_; }

 private:
  // Held for the whole of one opening, from open to close.
  std::timed_mutex lock_;
  // Set by the close clean-up: the process is ending, no line starts any more.
  std::atomic<bool> closed_{false};
  // Keeps the opening `handle` (the file `length` bytes long) when it reached
  // the log; otherwise closes it untouched and returns false.
  bool Admit(std::uint32_t handle, std::int64_t length);

  bool lines_lost_ = false;  // set and read on the run's own thread
  bool refused_ = false;
  bool replaced_ = false;
  platform::FileId log_id_;  // the file the lines go to, once pinned
  bool pinned_ = false;
  BufferedFiles& files_;
  const RunOptions& options_;
  const support::DisplayRules& display_;
};

}  // namespace zavero
