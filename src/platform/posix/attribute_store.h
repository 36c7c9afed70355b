// Where the attribute word of entries lives on Linux: one object per kind of
// store (the FAT ioctls, NTFS's xattrs, Samba's stored blob, the SMB client's
// xattr), all behind one interface, chosen once per device (volumes.h).
#pragma once

#include <cstdint>

#include "platform/posix/mount_table.h"

namespace zavero::platform {

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

// The store of one kind (attribute_stores.cpp).
AttributeStore& StoreOfKind(StoreKind kind);

}  // namespace zavero::platform
