#include "support/buffered_file.h"

#include <cstring>
#include <new>

namespace zavero::support {

namespace {

constexpr std::uint32_t kLargestHandle = 0x7FFFFFFF;  // positive as a signed number too
constexpr std::size_t kLargestWrite = 0xFFFFFFFF;     // WriteFile counts in a DWORD

}  // namespace

BufferedFiles::~BufferedFiles() { CloseAll(); }

std::uint32_t BufferedFiles::Create(TextRef path) {
  using namespace platform;
  Handle os_handle = io_.OpenFile(path.data(), kGenericRead | kGenericWrite,
                                  kShareRead, kCreateAlways, kAttrNormal);
  // CREATE_ALWAYS is refused on a file with the hidden or system bit; emptying
  // it in place still works.
  if (os_handle == kInvalidHandle) {
    os_handle = io_.OpenFile(path.data(), kGenericWrite, kShareRead,
                             kTruncateExisting, 0);
  }
  return Enter(os_handle);
}

std::uint32_t BufferedFiles::Open(TextRef path) {
  using namespace platform;
  return Enter(io_.OpenFile(path.data(), kGenericRead | kGenericWrite, kShareRead,
                            kOpenAlways, kAttrNormal));
}

bool BufferedFiles::ReadId(std::uint32_t handle, platform::FileId* id) {
  File* file = Find(handle);
  return file != nullptr && io_.ReadFileId(file->OsHandle, id);
}

bool BufferedFiles::IsOpen(std::uint32_t handle) const {
  for (const File& file : files_)
    if (file.Handle == handle) return true;
  return false;
}

std::int32_t BufferedFiles::WriteLine(std::uint32_t handle, TextRef text) {
  File* file = Find(handle);
  if (file == nullptr) return 0;
  if (!text.empty()) Put(*file, text.data(), text.size());
  Put(*file, line_end_, line_end_size_);
  return TextLength(text) + static_cast<std::int32_t>(line_end_size_);
}

std::int64_t BufferedFiles::Length(std::uint32_t handle) {
  File* file = Find(handle);
  if (file == nullptr) return -1;
  Flush(*file);
  std::uint32_t high = 0;
  const std::uint32_t low = io_.FileSize(file->OsHandle, &high);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

void BufferedFiles::Seek(std::uint32_t handle, std::int64_t position) {
  File* file = Find(handle);
  if (file == nullptr) return;
  Flush(*file);
  file->Writing = false;
  const auto bits = static_cast<std::uint64_t>(position);
  auto high = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 32));
  io_.SeekFromStart(file->OsHandle, static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)),
                    &high);
}

bool BufferedFiles::Close(std::uint32_t handle) {
  File* file = Find(handle);
  if (file == nullptr) return false;
  Flush(*file);
  delete[] file->Buffer;
  const bool whole = !file->Lost;
  const platform::Handle os_handle = file->OsHandle;
  // Out of the set before the platform call, so the number is dead even if
  // the close itself misbehaves.
  *file = files_.back();
  files_.pop_back();
  io_.CloseFile(os_handle);
  return whole;
}

void BufferedFiles::CloseAll() {
  while (!files_.empty()) Close(files_.back().Handle);
}

char* BufferedFiles::TakeBuffer() { return new (std::nothrow) char[kBufferSize]; }

std::uint32_t BufferedFiles::Enter(platform::Handle os_handle) {
  if (os_handle == platform::kInvalidHandle || os_handle == platform::kNoHandle) {
    last_open_error_ = io_.OpenError();
    return 0;
  }
  // Numbers count up and wrap only after two thousand million openings, so a
  // stale handle kept past its Close never names the next file opened.
  do {
    last_handle_ = last_handle_ >= kLargestHandle ? 1 : last_handle_ + 1;
  } while (IsOpen(last_handle_));
  files_.push_back(File{last_handle_, os_handle, TakeBuffer(), kBufferSize, false, false});
  return last_handle_;
}

BufferedFiles::File* BufferedFiles::Find(std::uint32_t handle) {
  for (File& file : files_)
    if (file.Handle == handle) return &file;
  return nullptr;
}

// The buffer never fills completely: a write that would fill it exactly
// flushes first. A write of a whole buffer or more goes straight through.
void BufferedFiles::Put(File& file, const char* bytes, std::size_t count) {
  if (file.Buffer == nullptr) {
    WriteThrough(file, bytes, count);
    return;
  }
  if (!file.Writing) {
    file.Writing = true;
    file.FreeCount = kBufferSize;
  }
  if (file.FreeCount > count) {
    std::memcpy(file.Buffer + (kBufferSize - file.FreeCount), bytes, count);
    file.FreeCount -= static_cast<std::uint32_t>(count);
    return;
  }
  Flush(file);
  if (count >= kBufferSize) {
    WriteThrough(file, bytes, count);
  } else {
    std::memcpy(file.Buffer, bytes, count);
    file.FreeCount -= static_cast<std::uint32_t>(count);
  }
}

void BufferedFiles::Flush(File& file) {
  if (!file.Writing || file.Buffer == nullptr) return;
  const std::uint32_t pending = kBufferSize - file.FreeCount;
  // An empty buffer has nothing to say; a zero-byte WriteFile would only cost.
  if (pending > 0) WriteThrough(file, file.Buffer, pending);
  file.FreeCount = kBufferSize;
}

void BufferedFiles::WriteThrough(File& file, const char* bytes, std::size_t count) {
  // One call on the 32-bit target; pieces only where size_t outgrows a DWORD.
  // A failed or short write is not retried: those bytes are lost, and Close
  // says so.
  do {
    const std::size_t piece = count < kLargestWrite ? count : kLargestWrite;
    std::uint32_t written = 0;
    if (!io_.WriteBytes(file.OsHandle, bytes, static_cast<std::uint32_t>(piece), &written) ||
        written != piece)
      file.Lost = true;
    bytes += piece;
    count -= piece;
  } while (count > 0);
}

}  // namespace zavero::support
