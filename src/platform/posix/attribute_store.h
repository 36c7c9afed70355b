// Where the attribute word of entries lives on Linux: one object per kind of
// store (the FAT ioctls, NTFS's xattrs, Samba's stored blob, the SMB client's
// xattr), all behind one interface, chosen once per device (volumes.h).
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/posix/mount_table.h"

namespace zavero::platform {

// What a store found for one entry.
enum class WordState {
  Present,      // the entry keeps a word
  Absent,       // the entry keeps none, so it carries no bits (Samba's store
                // without a value, a file system without a store, the root
                // folder of a FAT volume)
  Unsupported,  // this kernel gives no access to the file system's words
                // (exFAT before Linux 6.7)
  Failed,       // the word could not be read
};

// Every call takes the entry as an O_PATH descriptor that names exactly it:
// opened without following a link, its identity checked by the caller.
class AttributeStore {
 public:
  virtual ~AttributeStore() = default;
  // The word kept for the entry, without the bits its type gives (folder,
  // link); 0 unless Present.
  virtual WordState Read(int entry, std::uint32_t* word) = 0;
  // The same for the entry `name` of the folder `dir` (a descriptor of a
  // folder the walk holds), never followed if it is a link: by its name
  // where the store reads by path, else opened for Read.
  virtual WordState ReadAt(int dir, const char* name, std::uint32_t* word);
  // Makes the entry carry the bits of `word` that SetFileAttributes may set
  // (kSettableBits); every other bit stays as the file system has it. False
  // when the file system refuses.
  virtual bool Write(int entry, std::uint32_t word) = 0;

  // What a Read found as the store keeps it, for a Write of the same entry
  // right after it: that Write keeps the other bits as they were read then,
  // instead of asking the file system for them again. A store that keeps
  // nothing here reads them again.
  struct Found {
    bool Kept = false;
    WordState State = WordState::Failed;
    std::string Value;
  };
  virtual WordState ReadKeeping(int entry, std::uint32_t* word, Found* found) {
    found->Kept = false;
    return Read(entry, word);
  }
  virtual bool WriteAfter(int entry, std::uint32_t word, const Found& found) {
    (void)found;
    return Write(entry, word);
  }
};

// The xattr calls take paths only. The kernel's own link to a descriptor
// reaches exactly the entry the descriptor names: the calls that follow links
// follow it to that entry and stop there, even when the entry is itself a
// symbolic link (where the kernel has the xattr calls that take a folder,
// the link is named in /proc/self/fd, held open). An entry may also be
// named by a held folder and its name there (AtName), never followed:
// through the folder's link, or where the kernel has the xattr calls that
// take a folder, with those.
struct EntryPath {
  explicit EntryPath(int entry) { std::snprintf(Text, sizeof Text, "/proc/self/fd/%d", entry); }
  // The name of the descriptor's link in /proc/self/fd.
  const char* LinkName() const { return Text + sizeof "/proc/self/fd/" - 1; }
  // Spelt through the folder's link only where that path is taken.
  EntryPath(int dir, const char* name) : AtName(true), Dir(dir), Name(name) { Text[0] = 0; }
  bool AtName = false;
  int Dir = -1;
  const char* Name = nullptr;
  char Text[32 + NAME_MAX];  // the descriptor's link; empty for a name
};

// read-only, hidden, system, archive, normal, temporary, offline, not indexed
constexpr std::uint32_t kSettableBits = 0x31A7;

// The store of one kind (attribute_stores.cpp).
AttributeStore& StoreOfKind(StoreKind kind);

}  // namespace zavero::platform
