// What the mounts of this machine say about DOS attributes: the store of a
// device, mounts below a folder, the drives a run without a start folder
// walks (volumes.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/posix/mount_table.h"

namespace zavero::platform {

// The store of the file system on device `device` (st_dev), chosen once per
// device; `path` is an entry on it, used once to tell FUSE file systems apart.
StoreKind StoreKindOfDevice(std::uint64_t device, const char* path);
// Whether the file system on device `device` keeps an entry's inode number
// while the entry is out of the kernel's cache; `fd` is an entry on it, used
// once. vfat and exFAT make numbers up whenever an entry is read in again,
// and so does a FUSE file system's library unless the file system hands out
// numbers of its own, as ntfs-3g does.
bool InodeNumbersStable(std::uint64_t device, int fd);
// What the two calls above have learnt of the file system on `device`: false
// until both were asked about it. Either out pointer may be null.
bool KnownDevice(std::uint64_t device, StoreKind* kind, bool* numbers_stable);
// Whether a file system with DOS attributes of its own is mounted below
// `folder` now.
bool DosStoreMountedBelow(const char* folder);
// The drives as they are mounted now.
std::vector<DriveMount> MountedDrives();

}  // namespace zavero::platform
