// The places where Linux file systems keep the DOS attribute word, one store
// per place. Every call works on the entry its descriptor names, never on the
// target of a symbolic link.
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/dos_attrib_blob.h"
#include "platform/posix/attribute_store.h"
#include "platform/posix/posix.h"

namespace zavero::platform {

namespace {

// The word the entry carries after a write of `word`: the settable bits from
// the caller, every other bit as the file system reported it. The folder
// bit the layers above see is never sent from their word.
std::uint32_t Merge(std::uint32_t current, std::uint32_t word) {
  return (current & ~kSettableBits) | (word & kSettableBits);
}

// xattr errors that mean "this entry has no such value", not a failure:
// no value, no user attributes on this file system, or none allowed on this
// kind of entry (user.* on links and devices).
bool MeansAbsent(int error) {
  return error == ENODATA || error == ENOTSUP || error == EOPNOTSUPP || error == EPERM;
}

// getxattrat and setxattrat (Linux 6.13), which this system's headers
// predate; their numbers are those of the kernel's table shared by the
// architectures.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif
#ifndef SYS_setxattrat
#define SYS_setxattrat 463
#endif
struct XattrArgs {
  std::uint64_t Value;
  std::uint32_t Size, Flags;
};

// The kernel's folder of this process's descriptors, held for the run: an
// at-call reaches an entry's own link there by its number alone, without
// walking "/proc/self/fd" each time. -1 where /proc cannot be opened.
int DescriptorFolder() {
  static const int folder = open("/proc/self/fd", O_PATH | O_DIRECTORY | O_CLOEXEC);
  return folder;
}

// An at-call (getxattrat or setxattrat, by `number`) on the entry `entry`
// names: by its name in its folder, never following a link there, or by
// its link in DescriptorFolder, which the call follows to the entry and no
// further. Where the kernel lacks the call (ENOSYS), or a system-call filter
// refuses it (EPERM where the path through /proc does not), `by_path` for
// good: the same call by the path through /proc.
template <class ByPath>
long AtCall(bool* at_calls, long number, const EntryPath& entry, const char* name,
            XattrArgs args, ByPath by_path) {
  const int folder = entry.AtName ? entry.Dir : DescriptorFolder();
  int refused = 0;
  if (*at_calls && folder >= 0) {
    const long n = syscall(number, folder, entry.AtName ? entry.Name : entry.LinkName(),
                           entry.AtName ? AT_SYMLINK_NOFOLLOW : 0, name, &args, sizeof args);
    if (n >= 0 || (errno != ENOSYS && errno != EPERM)) return n;
    refused = errno;
  }
  char path[sizeof entry.Text];
  if (entry.AtName) std::snprintf(path, sizeof path, "/proc/self/fd/%d/%s", entry.Dir, entry.Name);
  const long n = by_path(entry.AtName ? path : entry.Text);
  if (refused == ENOSYS || (refused == EPERM && (n >= 0 || errno != EPERM))) *at_calls = false;
  return n;
}

// getxattr of the entry `entry` names.
ssize_t GetValue(const EntryPath& entry, const char* name, void* value, std::size_t size) {
  static bool at_calls = true;
  return AtCall(&at_calls, SYS_getxattrat, entry, name,
                {reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0},
                [&](const char* path) {
                  return entry.AtName ? lgetxattr(path, name, value, size)
                                      : getxattr(path, name, value, size);
                });
}

// setxattr of the entry `entry` names (a descriptor's): true when it took.
bool SetValue(int entry, const char* name, const void* value, std::size_t size) {
  static bool at_calls = true;
  return AtCall(&at_calls, SYS_setxattrat, EntryPath(entry), name,
                {reinterpret_cast<std::uintptr_t>(value), static_cast<std::uint32_t>(size), 0},
                [&](const char* path) { return setxattr(path, name, value, size, 0); }) == 0;
}

// A store in an xattr: its value is read by path, so an entry of a held
// folder is read by its name there, without opening it.
class XattrStore : public AttributeStore {
 public:
  WordState Read(int entry, std::uint32_t* word) final { return ReadValue(EntryPath(entry), word); }
  WordState ReadAt(int dir, const char* name, std::uint32_t* word) final {
    return ReadValue(EntryPath(dir, name), word);
  }

 protected:
  virtual WordState ReadValue(const EntryPath& entry, std::uint32_t* word) = 0;
};

// ntfs-3g and ntfs3: the whole word, big-endian. ntfs3 marks folders with
// 0x10000000 (the flag of the folder's name index) rather than 0x10.
class NtfsStore final : public XattrStore {
 public:
  WordState ReadValue(const EntryPath& entry, std::uint32_t* word) override {
    std::uint32_t raw = 0;
    if (!ReadRaw(entry, &raw)) return WordState::Failed;
    *word = WordOf(raw);
    return WordState::Present;
  }
  WordState ReadKeeping(int entry, std::uint32_t* word, Found* found) override {
    std::uint32_t raw = 0;
    found->Kept = ReadRaw(EntryPath(entry), &raw);
    if (!found->Kept) return WordState::Failed;
    found->State = WordState::Present;
    found->Value.assign(reinterpret_cast<const char*>(&raw), sizeof raw);
    *word = WordOf(raw);
    return WordState::Present;
  }
  bool Write(int entry, std::uint32_t word) override { return WriteAfter(entry, word, Found{}); }
  // A write replaces the whole word, so the bits this program does not
  // change (compression, sparse, reparse) are read first and sent back as
  // they were: ntfs3 would otherwise act on them. Neither folder flag is
  // sent: they describe the entry, not its attributes. ntfs-3g drops 0x10,
  // ntfs3 stores 0x10 as given (even on a file) and puts its own flag back
  // on folders by itself.
  bool WriteAfter(int entry, std::uint32_t word, const Found& found) override {
    std::uint32_t raw = 0;
    if (found.Kept && found.Value.size() == sizeof raw)
      std::memcpy(&raw, found.Value.data(), sizeof raw);
    else if (!ReadRaw(EntryPath(entry), &raw))
      return false;
    const std::uint32_t kept = raw & ~(kNtfsFolder | kAttrDirectory);
    const std::uint32_t wanted = Merge(kept, word);
    if (wanted == kept) return true;
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(wanted >> 24), static_cast<unsigned char>(wanted >> 16),
        static_cast<unsigned char>(wanted >> 8), static_cast<unsigned char>(wanted)};
    return SetValue(entry, kName, bytes, sizeof bytes);
  }

 private:
  static constexpr const char* kName = "system.ntfs_attrib_be";
  static constexpr std::uint32_t kNtfsFolder = 0x10000000;

  static std::uint32_t WordOf(std::uint32_t raw) {
    return (raw & ~kNtfsFolder) | ((raw & kNtfsFolder) ? kAttrDirectory : 0);
  }

  static bool ReadRaw(const EntryPath& entry, std::uint32_t* raw) {
    unsigned char bytes[4];
    if (GetValue(entry, kName, bytes, sizeof bytes) != 4) return false;
    *raw = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | bytes[3];
    return true;
  }
};

// Samba's own store on the server's disk. Entries without it (or with a
// value this program cannot read) carry no bits.
class SambaStore final : public XattrStore {
 public:
  WordState ReadValue(const EntryPath& entry, std::uint32_t* word) override {
    std::string value;
    return WordFrom(Load(entry, &value), value, word);
  }
  WordState ReadKeeping(int entry, std::uint32_t* word, Found* found) override {
    const WordState state = WordFrom(Load(EntryPath(entry), &found->Value), found->Value, word);
    found->Kept = state != WordState::Failed;
    found->State = state;
    return state;
  }
  bool Write(int entry, std::uint32_t word) override { return WriteAfter(entry, word, Found{}); }
  bool WriteAfter(int entry, std::uint32_t word, const Found& found) override {
    std::string value;
    int state = 0;
    if (found.Kept) {
      value = found.Value;
      state = found.State == WordState::Present ? 1 : 0;
    } else {
      state = Load(EntryPath(entry), &value);
    }
    if (state < 0) return false;
    std::uint32_t current = 0;
    const bool understood = state > 0 && ReadDosAttrib(value, &current);
    const std::uint32_t wanted = Merge(current, word);
    if (wanted == current) return true;  // nothing to store; no value is created
    if (state == 0) {
      // Wine's form: the one every reader of this store understands.
      value = NewDosAttrib(wanted);
    } else if (!understood || !EditDosAttrib(value, wanted)) {
      return false;  // never replace a record this program cannot read
    }
    return SetValue(entry, kName, value.data(), value.size());
  }

 private:
  static constexpr const char* kName = "user.DOSATTRIB";

  // The word in what Load found.
  static WordState WordFrom(int state, const std::string& value, std::uint32_t* word) {
    if (state < 0) return WordState::Failed;
    *word = 0;
    if (state == 0) return WordState::Absent;
    ReadDosAttrib(value, word);
    return WordState::Present;
  }

  // 1 with the value, 0 when the entry has none, -1 on failure.
  static int Load(const EntryPath& entry, std::string* value) {
    value->resize(256);
    for (;;) {
      const ssize_t n = GetValue(entry, kName, &(*value)[0], value->size());
      if (n >= 0) {
        value->resize(static_cast<std::size_t>(n));
        return 1;
      }
      if (MeansAbsent(errno)) return 0;
      if (errno != ERANGE) return -1;
      const ssize_t needed = GetValue(entry, kName, nullptr, 0);
      if (needed < 0) return MeansAbsent(errno) ? 0 : -1;
      value->resize(static_cast<std::size_t>(needed) + 1);
    }
  }
};

// The SMB client: the server's word, 4 bytes in the CPU's order. The client
// sends it as FILE_BASIC_INFO.Attributes, where 0 means "leave unchanged":
// an entry without bits is sent as FILE_ATTRIBUTE_NORMAL, as Windows does.
class CifsStore final : public XattrStore {
 public:
  WordState ReadValue(const EntryPath& entry, std::uint32_t* word) override {
    std::uint32_t value = 0;
    if (GetValue(entry, kName, &value, sizeof value) != sizeof value)
      return WordState::Failed;
    *word = value;
    return WordState::Present;
  }
  bool Write(int entry, std::uint32_t word) override {
    std::uint32_t value = word & (kSettableBits | kAttrDirectory);
    if (value == 0) value = kAttrNormal;
    return SetValue(entry, kName, &value, sizeof value);
  }

 private:
  static constexpr const char* kName = "user.cifs.dosattrib";
};

// vfat, msdos and exfat (Linux 6.7 on): the attribute byte through ioctls on
// a read-only descriptor, which works for files and folders alike. The
// kernel forces the folder bit itself.
class FatStore final : public AttributeStore {
 public:
  WordState Read(int entry, std::uint32_t* word) override {
    const int fd = Open(entry);
    if (fd < 0) return WordState::Failed;
    std::uint32_t value = 0;
    const bool ok = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0;
    const int error = errno;
    close(fd);
    if (ok) {
      *word = value;
      return WordState::Present;
    }
    // ENOTTY: exFAT before Linux 6.7 offers no ioctls at all. EINVAL: the
    // volume's root folder has no directory entry, so no attributes.
    if (error == ENOTTY) return WordState::Unsupported;
    return error == EINVAL ? WordState::Absent : WordState::Failed;
  }
  bool Write(int entry, std::uint32_t word) override {
    const int fd = Open(entry);
    if (fd < 0) return false;
    std::uint32_t value = 0;
    bool ok = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0;
    if (ok) {
      const std::uint32_t wanted = Merge(value, word);
      ok = wanted == value || ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &wanted) == 0;
    }
    close(fd);
    return ok;
  }

 private:
  // The ioctls want a descriptor opened for reading: the entry's own, opened
  // again through the kernel's link to it. Only files and folders are opened
  // (FAT has nothing else); opening a device could act on it.
  static int Open(int entry) {
    struct stat st;
    if (fstat(entry, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) return -1;
    return open(EntryPath(entry).Text, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  }
};

// A file system that keeps no DOS attributes: nothing to select, nothing to
// change.
class NoStore final : public AttributeStore {
 public:
  WordState Read(int, std::uint32_t* word) override {
    *word = 0;
    return WordState::Absent;
  }
  WordState ReadAt(int, const char*, std::uint32_t* word) override { return Read(-1, word); }
  bool Write(int, std::uint32_t) override { return false; }
};

}  // namespace

WordState AttributeStore::ReadAt(int dir, const char* name, std::uint32_t* word) {
  const int entry = openat(dir, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (entry < 0) return WordState::Failed;
  const WordState state = Read(entry, word);
  const int error = errno;
  close(entry);
  errno = error;
  return state;
}

AttributeStore& StoreOfKind(StoreKind kind) {
  static NtfsStore ntfs;
  static SambaStore samba;
  static CifsStore cifs;
  static FatStore fat;
  static NoStore none;
  switch (kind) {
    case StoreKind::Ntfs: return ntfs;
    case StoreKind::Samba: return samba;
    case StoreKind::Cifs: return cifs;
    case StoreKind::Fat: return fat;
    case StoreKind::None: break;
  }
  return none;
}

}  // namespace zavero::platform
