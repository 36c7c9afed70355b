// The small file facility the run log is written through: create or open a
// file by path, write lines through a 4096-byte buffer, ask the length,
// move the position, close.
//
// A log line is written in a short burst (open, length, seek, line, close), so
// the buffer gathers the whole burst and the closing flush hands it to the
// platform in one WriteFile. The set of open files is an object of its own,
// over the platform's file calls, so the end-of-run clean-up can reach it and
// tests can run it on the fake machine. It takes no lock: whoever may call
// CloseAll from another thread keeps that clear of a write in progress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "support/text.h"

namespace zavero::support {

class BufferedFiles {
 public:
  static constexpr std::uint32_t kBufferSize = 4096;

  // `line_end` ends every line WriteLine writes (CR LF on Windows); it must
  // outlive the object.
  explicit BufferedFiles(platform::FileIo& io, const char* line_end = "\r\n")
      : io_(io), line_end_(line_end), line_end_size_(std::char_traits<char>::length(line_end)) {}
  virtual ~BufferedFiles();  // CloseAll: pending bytes are written, not lost
  BufferedFiles(const BufferedFiles&) = delete;
  BufferedFiles& operator=(const BufferedFiles&) = delete;

  // A new empty file, or an existing one emptied. The file's handle (a
  // positive number), or 0 when it cannot be created.
  std::uint32_t Create(TextRef path);
  // An existing file with its content kept and the position at its start, or
  // a new empty one. The file's handle, or 0 when it cannot be opened.
  std::uint32_t Open(TextRef path);
  // The platform's reason the last Create or Open returned 0.
  std::uint32_t LastOpenError() const { return last_open_error_; }
  // The identity of the open file; false when it cannot be read or the
  // handle names no open file.
  bool ReadId(std::uint32_t handle, platform::FileId* id);
  // True when handle names a file that is open here now.
  bool IsOpen(std::uint32_t handle) const;
  // Writes text and the line end; returns the bytes taken, 0 for a handle
  // that names no open file.
  std::int32_t WriteLine(std::uint32_t handle, TextRef text);
  // The file's length in bytes, pending bytes included; -1 for a handle that
  // names no open file.
  std::int64_t Length(std::uint32_t handle);
  // Moves the position to `position` bytes from the start, after writing out
  // what is pending. Nothing for a handle that names no open file.
  void Seek(std::uint32_t handle, std::int64_t position);
  // Writes out what is pending and closes the file; its handle names nothing
  // afterwards. False when a write since the opening did not go through
  // whole (a full disk ...), or for a handle that names no open file.
  bool Close(std::uint32_t handle);
  // Close for every open file; harmless when none is open.
  void CloseAll();

 protected:
  // The write buffer of one file: kBufferSize bytes from new[], or null when
  // the memory cannot be had (the file then writes straight through).
  virtual char* TakeBuffer();

 private:
  struct File {
    std::uint32_t Handle;
    platform::Handle OsHandle;
    char* Buffer;             // null: unbuffered
    std::uint32_t FreeCount;  // room left in the buffer while writing
    bool Writing;             // false: Idle, nothing pending
    bool Lost;                // a write did not go through whole
  };

  std::uint32_t Enter(platform::Handle os_handle);
  File* Find(std::uint32_t handle);
  void Put(File& file, const char* bytes, std::size_t count);
  void Flush(File& file);
  void WriteThrough(File& file, const char* bytes, std::size_t count);

  platform::FileIo& io_;
  const char* line_end_;
  std::size_t line_end_size_;
  std::vector<File> files_;
  std::uint32_t last_handle_ = 0;
  std::uint32_t last_open_error_ = 0;
};

}  // namespace zavero::support
