// What the src/platform/*_posix.cpp files share among themselves. Plain C++:
// the POSIX headers stay inside the .cpp files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/mount_table.h"

namespace zavero::platform {

// The seam carries file descriptors as handles one above the descriptor, so
// that descriptor 0 is no kNoHandle and -1 becomes kInvalidHandle.
inline int ToFd(Handle h) { return static_cast<int>(h) - 1; }
inline Handle FromFd(int fd) { return fd < 0 ? kInvalidHandle : static_cast<Handle>(fd) + 1; }

// console_posix.cpp: puts the terminal back as it was (colours, wrapping) if
// this program changed it; safe to call from a signal handler, and twice.
void RestoreTerminal();
// console_posix.cpp: while a program started in the foreground runs, Ctrl+C
// on the terminal is its business; this program neither ends nor cleans up.
void SetChildInForeground(bool running);

// Where the attribute word of entries lives; one object per kind of store.
class AttributeStore {
 public:
  virtual ~AttributeStore() = default;
  // The word kept for the entry at `path` (a final symbolic link is never
  // followed), without the bits its type gives (folder, link). False when it
  // cannot be read.
  virtual bool Read(const char* path, std::uint32_t* word) = 0;
  // Makes the entry carry the bits of `word` that SetFileAttributes may set
  // (kSettableBits); every other bit stays as the file system has it. False
  // when the file system refuses.
  virtual bool Write(const char* path, std::uint32_t word) = 0;
  // Whether the entry has a stored word this system can reach at all:
  // Samba's store can lack one, and a kernel can lack the FAT ioctls.
  virtual bool Holds(const char* path) {
    (void)path;
    return true;
  }
};

// read-only, hidden, system, archive, normal, temporary, offline, not indexed
constexpr std::uint32_t kSettableBits = 0x31A7;

// attribute_stores_posix.cpp
AttributeStore& StoreOfKind(StoreKind kind);

// volumes_posix.cpp: the store of the file system on device `device`
// (st_dev), chosen once per device; `path` is an entry on it, used once to
// tell FUSE file systems apart.
StoreKind StoreKindOfDevice(std::uint64_t device, const char* path);
// volumes_posix.cpp: whether a file system with DOS attributes of its own is
// mounted below `folder` now.
bool DosStoreMountedBelow(const char* folder);
// volumes_posix.cpp: the drives as they are mounted now.
std::vector<DriveMount> MountedDrives();

}  // namespace zavero::platform
