// The file system and plain-file sides of the seam on POSIX: folder listings
// with Windows name patterns, the attribute word from each device's store,
// drives from the mount table, files through descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include "platform/posix/attribute_store.h"
#include "platform/posix/held_folders.h"
#include "platform/posix/name_pattern.h"
#include "platform/posix/posix.h"
#include "platform/posix/volumes.h"

namespace zavero::platform {

namespace {

// Windows error codes the listing reports, by the errno behind them.
std::uint32_t FindError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP: return 3;  // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM: return 5;           // ERROR_ACCESS_DENIED
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    default: return 31;             // ERROR_GEN_FAILURE
  }
}
constexpr std::uint32_t kErrorNoMoreFiles = 18;

// Windows error codes a refused attribute write reports, by the errno behind
// it; 31 (ERROR_GEN_FAILURE) where no call said why.
std::uint32_t WriteError(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return 5;    // ERROR_ACCESS_DENIED
    case EROFS: return 19;   // ERROR_WRITE_PROTECT
    case ENOTSUP:
    case ENOTTY: return 50;  // ERROR_NOT_SUPPORTED
    case ENOSPC:
    case EDQUOT: return 112; // ERROR_DISK_FULL
    case ENOENT:
    case ESTALE: return 2;   // ERROR_FILE_NOT_FOUND
    default: return 31;
  }
}

// A folder as one reading of it found it. Each entry is looked at (its
// identity, type and word) once, when a listing first hands it out.
struct FolderContents {
  struct Entry {
    std::string Name;
    std::uint32_t TypeBits = 0;  // kAttrDirectory for folders, kAttrReparsePoint for links
    bool Typed = false;           // the reading told a type, and not a folder's
    bool Looked = false;
    bool Gone = false;            // removed since the folder was read
    bool WordUnreadable = false;
    std::uint32_t Word = 0;
  };
  ~FolderContents() {
    if (Fd >= 0) close(Fd);
  }
  std::string Folder;
  int Fd = -1;  // the folder, open for the looks at its entries
  std::uint64_t Device = 0;  // the folder's, where the walk knows it
  bool DeviceKnown = false;
  std::vector<Entry> Entries;
  std::vector<std::uint32_t> Order;  // Entries' positions in name order
  int ReadError = 0;   // why the reading stopped early, 0 when it reached the end
  bool SawWord = false;
};

struct Find {
  std::shared_ptr<FolderContents> Contents;
  std::string Pattern;
  std::size_t Next = 0;
};

std::uint32_t TypeBits(mode_t mode) {
  if (S_ISDIR(mode)) return kAttrDirectory;
  if (S_ISLNK(mode)) return kAttrReparsePoint;
  return 0;
}

// The word as the layers above see it: the folder and link bits tell the
// entry's type, so they come from the file system, never from the store (a
// stored word may say 0x10 on a file; ntfs3 keeps whatever was written).
std::uint32_t WordOfType(std::uint32_t word, std::uint32_t type_bits) {
  return (word & ~(kAttrDirectory | kAttrReparsePoint)) | type_bits;
}

// An entry by its path, not followed if it is a link (an O_PATH descriptor
// that a look at its type has found good, *st), opened a second time when
// FUSE says EIO. ntfs-3g shows an empty file with the system bit as a FIFO
// (Interix's convention), so a write of that bit changes the entry's type;
// the kernel's FUSE then fails every look at the old inode with EIO, and a
// new opening finds the entry as it now is.
int OpenUnlisted(const char* path, struct stat* st) {
  for (int attempt = 0;; ++attempt) {
    const int fd = open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && fstat(fd, st) == 0) return fd;
    const int error = errno;
    if (fd >= 0) close(fd);
    if (error != EIO || attempt > 0) return -1;
  }
}

AttributeStore& StoreOf(dev_t device, int entry) {
  return StoreOfKind(
      StoreKindOfDevice(static_cast<std::uint64_t>(device), EntryPath(entry).Text));
}

// Whether the file system of `folder` keeps DOS attributes of its own there:
// NTFS, FAT and SMB always (but exFAT only where the kernel offers its
// ioctls); Samba's store only where a server wrote it, which `samba_values`
// is asked about.
template <class SambaValues>
bool FileSystemKeepsAttributes(const char* folder, SambaValues samba_values) {
  const int fd = open(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    if (fd >= 0) close(fd);
    return true;  // unreadable is another story, told elsewhere
  }
  const StoreKind kind = StoreKindOfDevice(static_cast<std::uint64_t>(st.st_dev),
                                           EntryPath(fd).Text);
  std::uint32_t word = 0;
  bool keeps = kind != StoreKind::None && kind != StoreKind::Samba &&
               StoreOfKind(kind).Read(fd, &word) != WordState::Unsupported;
  if (kind == StoreKind::Samba) keeps = samba_values(fd);
  close(fd);
  return keeps;
}

// Whether the folder (`fd`) or an entry directly in it holds a value of
// Samba's store: where neither does, no server keeps its attributes here.
bool SambaValuesNear(int fd) {
  AttributeStore& store = StoreOfKind(StoreKind::Samba);
  std::uint32_t word = 0;
  if (store.Read(fd, &word) == WordState::Present) return true;
  const int listing = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listing < 0 ? nullptr : fdopendir(listing);
  if (dir == nullptr) {
    if (listing >= 0) close(listing);
    return true;
  }
  bool found = false;
  while (const dirent* e = found ? nullptr : readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    const int entry = openat(dirfd(dir), e->d_name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (entry < 0) continue;
    found = store.Read(entry, &word) == WordState::Present;
    close(entry);
  }
  closedir(dir);
  return found;
}

class PosixFiles final : public FileSystem, public FileIo {
 public:
  Handle FindFirstEntry(const char* search, FindEntry* entry, std::uint32_t* error) override {
    const char* slash = std::strrchr(search, '/');
    const std::string folder =
        slash == nullptr ? "."
                         : FolderKey(std::string(search, slash == search ? 1 : slash - search));
    const char* pattern = slash == nullptr ? search : slash + 1;
    LetGoOfEntry();

    // The walk lists each folder twice in a row (its subfolders, then the
    // user's pattern): the second listing takes the first one's reading and
    // the words it read, instead of asking the file system for them again.
    std::shared_ptr<FolderContents> contents;
    if (last_ && last_->Folder == folder) {
      contents.swap(last_);
    } else {
      contents = ReadFolder(folder, error);
      if (!contents) return kInvalidHandle;
      last_ = contents;
    }
    auto find = std::make_unique<Find>();
    find->Contents = std::move(contents);
    find->Pattern = pattern;
    if (!HandOut(*find, entry)) {
      // A folder whose reading failed before anything matched is no listing.
      const int cut = find->Contents->ReadError;
      *error = cut != 0 ? FindError(cut) : kErrorFileNotFound;
      return kInvalidHandle;
    }
    return reinterpret_cast<Handle>(find.release());
  }

  bool FindNextEntry(Handle find, FindEntry* entry, std::uint32_t* error) override {
    Find& f = *reinterpret_cast<Find*>(find);
    if (HandOut(f, entry)) return true;
    const int cut = f.Contents->ReadError;
    *error = cut != 0 ? FindError(cut) : kErrorNoMoreFiles;
    return false;
  }

  void EndFind(Handle find) override { delete reinterpret_cast<Find*>(find); }

  std::uint32_t ReadAttributes(const char* path) override {
    Reached* entry = Reach(path);
    std::uint32_t word = 0;
    WordState state = WordState::Failed;
    if (entry != nullptr)
      state = StoreOf(entry->Device, entry->Fd).ReadKeeping(entry->Fd, &word, &entry->Found);
    if (entry != nullptr && state == WordState::Failed && !entry->Renewed) {
      // The write may have made it another entry (ntfs-3g's type change):
      // the look the write left out, then the read once more.
      entry = RenewWritten(path);
      if (entry != nullptr)
        state = StoreOf(entry->Device, entry->Fd).ReadKeeping(entry->Fd, &word, &entry->Found);
    }
    if (state != WordState::Present && state != WordState::Absent) return kInvalidAttributes;
    return WordOfType(word, TypeBits(entry->Type));
  }

  bool WriteAttributes(const char* path, std::uint32_t attributes) override {
    last_.reset();  // a kept reading may now be out of date
    errno = 0;
    Reached* entry = RenewWritten(path);
    const bool ok = entry != nullptr &&
                    StoreOf(entry->Device, entry->Fd).WriteAfter(entry->Fd, attributes, entry->Found);
    if (!ok) write_error_ = WriteError(errno);
    if (entry != nullptr) entry->Found.Kept = false;
    // The check after the write reads through the same descriptor while it
    // still reads the entry; else it reaches the entry anew. Only a folder
    // is reached again later (the entries below it are reached through it),
    // or an entry in a drive mounted inside another (each walk lists it), so
    // only their new identity is read now; another entry's, only when the
    // check finds its descriptor no longer reads it.
    if (!ok)
      LetGoOfEntry();
    else if (!S_ISDIR(entry->Type) && !held_.InSeveralRoots(entry->Key))
      entry->Renewed = false;
    else if (!held_.Renew(entry->Key, entry->Fd))
      LetGoOfEntry();
    return ok;
  }

  std::uint32_t LastWriteError() override { return write_error_; }

  void SelectsBy(std::uint32_t include) override {
    selects_ = include;
  }

  std::uint32_t LogicalDriveStrings(std::uint32_t size, char* buffer) override {
    drives_ = MountedDrives();
    std::string list;
    for (const DriveMount& drive : drives_) {
      held_.DeclareRoot(FolderKey(drive.MountPoint));
      list += drive.MountPoint;
      list += '\0';
    }
    // GetLogicalDriveStringsA: the length without the final NUL, or the
    // size needed when the buffer is too small.
    const auto length = static_cast<std::uint32_t>(list.size());
    if (size < length + 1) return length + 1;
    std::memcpy(buffer, list.data(), length);
    buffer[length] = 0;
    return length;
  }

  std::uint32_t DriveType(const char* root) override {
    if (drives_.empty()) drives_ = MountedDrives();
    const std::string key = FolderKey(root);
    for (const DriveMount& drive : drives_) {
      if (drive.MountPoint == key)
        return drive.Kind == DiskKind::Removable ? kDriveRemovable : kDriveFixed;
    }
    return 1;  // DRIVE_NO_ROOT_DIR
  }

  bool ReadFolderId(const char* path, FolderId* id) override {
    struct stat st;
    if (stat(path, &st) != 0) return false;
    const auto device = static_cast<std::uint64_t>(st.st_dev);
    id->Volume = static_cast<std::uint32_t>(device ^ (device >> 32));
    id->Index = static_cast<std::uint64_t>(st.st_ino);
    return true;
  }

  void LetGoOfFolders() override {
    last_.reset();
    LetGoOfEntry();
    held_.LetGo();
  }

  // The path from the current folder, as the kernel would take it; "." and
  // ".." are left to the kernel too (a folder reached through a link keeps
  // its way back). The Windows call's contract on sizes and results.
  std::uint32_t FullPathName(const char* path, std::uint32_t size, char* buffer) override {
    std::string full;
    if (path == nullptr || *path == 0) return 0;
    if (*path != '/') {
      char here[PATH_MAX];
      if (getcwd(here, sizeof here) == nullptr) return 0;
      full = here;
      if (full.back() != '/') full += '/';
    }
    full += path;
    if (full.size() + 1 > size) return static_cast<std::uint32_t>(full.size() + 1);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<std::uint32_t>(full.size());
  }

  // The folder's own file system, one mounted below it that the walk
  // reaches, or, once the run has walked the folder, any entry found below it
  // that keeps a word; before that, Samba's values in or directly below it.
  bool KeepsAttributes(const char* folder) override {
    bool saw_word = false;
    const bool walked = held_.Walked(FolderKey(folder), &saw_word);
    if (walked && saw_word) return true;
    return FileSystemKeepsAttributes(folder, [walked](int fd) {
             return !walked && SambaValuesNear(fd);
           }) ||
           DosStoreMountedBelow(folder);
  }

  Handle OpenFile(const char* path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition, std::uint32_t flags) override {
    (void)share;  // POSIX opens share everything
    (void)flags;
    sized_.Fd = -1;  // the number may come back for this opening
    int mode = O_RDONLY;
    if ((access & kGenericWrite) != 0)
      mode = (access & kGenericRead) != 0 ? O_RDWR : O_WRONLY;
    switch (disposition) {
      case 1: mode |= O_CREAT | O_EXCL; break;  // CREATE_NEW
      case kCreateAlways: mode |= O_CREAT | O_TRUNC; break;
      case kOpenAlways: mode |= O_CREAT; break;
      case kTruncateExisting: mode |= O_TRUNC; break;
      default: break;  // OPEN_EXISTING
    }
    // A link planted at the log's name is never followed, and a FIFO there
    // never waits for a reader; ReadFileId then tells either from a file.
    // The umask has its say on the mode.
    const int always = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
    int fd;
    do {
      fd = open(path, mode | always, 0644);
    } while (fd < 0 && errno == EINTR);
    return FromFd(fd);
  }

  std::uint32_t OpenError() override { return FindError(errno); }

  bool ReadFileId(Handle file, FileId* id) override {
    // The look that FileSize took of the same descriptor, just before,
    // tells the file as well as a new one: a descriptor names one file for
    // as long as it is open.
    struct stat st;
    if (sized_.Fd == ToFd(file)) {
      st = sized_.Stat;
    } else if (fstat(ToFd(file), &st) != 0) {
      return false;
    }
    id->Volume = static_cast<std::uint64_t>(st.st_dev);
    id->Index = static_cast<std::uint64_t>(st.st_ino);
    id->PlainFile = S_ISREG(st.st_mode);
    // Where a file is numbered anew each time it is read in again (FAT,
    // exFAT, FUSE but ntfs-3g), the device and the type are all that holds.
    if (!InodeNumbersStable(id->Volume, ToFd(file))) id->Index = 0;
    return true;
  }

  bool WriteBytes(Handle file, const void* bytes, std::uint32_t count,
                  std::uint32_t* written) override {
    const char* p = static_cast<const char*>(bytes);
    std::uint32_t done = 0;
    while (done < count) {
      const ssize_t n = write(ToFd(file), p + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::uint32_t>(n);
    }
    if (written) *written = done;
    return done == count;
  }

  std::uint32_t FileSize(Handle file, std::uint32_t* high) override {
    struct stat& st = sized_.Stat;
    sized_.Fd = -1;
    if (fstat(ToFd(file), &st) != 0) {
      if (high) *high = 0;
      return 0xFFFFFFFFu;
    }
    sized_.Fd = ToFd(file);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (high) *high = static_cast<std::uint32_t>(size >> 32);
    return static_cast<std::uint32_t>(size);
  }

  void SeekFromStart(Handle file, std::int32_t low, std::int32_t* high) override {
    const std::uint64_t upper = high ? static_cast<std::uint32_t>(*high) : 0;
    const off_t at = lseek(
        ToFd(file), static_cast<off_t>((upper << 32) | static_cast<std::uint32_t>(low)), SEEK_SET);
    if (high && at >= 0) *high = static_cast<std::int32_t>(static_cast<std::uint64_t>(at) >> 32);
  }

  void CloseFile(Handle file) override {
    if (sized_.Fd == ToFd(file)) sized_.Fd = -1;
    close(ToFd(file));
  }

 private:
  // The last look FileSize took, on this thread: the close event's thread
  // closes files too, and a descriptor it closed may be given out again.
  struct Sized {
    int Fd = -1;
    struct stat Stat;
  };
  static thread_local Sized sized_;

  // An entry the attribute calls reached, as an O_PATH descriptor checked to
  // be it, with what the check found.
  struct Reached {
    std::string Key;
    int Fd = -1;
    std::uint64_t Device = 0;
    mode_t Type = 0;
    AttributeStore::Found Found;  // what the last read of it found
    bool Renewed = true;  // false: written, and its identity not read since
  };

  // The entry at `path`, or null (errno set): an entry a listing saw is
  // reached through the folders the walk held and only if it is still that
  // entry; a path no listing saw, as it is spelled. It stays open for the
  // next attribute call on the same path, so that a clearing reads, writes
  // and checks the one entry it checked; any other call lets go of it.
  Reached* Reach(const char* path) {
    std::string key = FolderKey(path);
    if (reached_.Fd >= 0 && reached_.Key == key) return &reached_;
    LetGoOfEntry();
    bool listed = false;
    Identity id;
    int fd = held_.Entry(key, &listed, &id);
    struct stat st;
    if (!listed && (fd = OpenUnlisted(path, &st)) >= 0) {
      id.Device = static_cast<std::uint64_t>(st.st_dev);
      id.Type = st.st_mode & S_IFMT;
    }
    if (fd < 0) return nullptr;
    reached_ = {std::move(key), fd, id.Device, static_cast<mode_t>(id.Type), {}};
    return &reached_;
  }

  // Reach, after the look at an entry written before that its write left
  // out: another write, or a check that failed, finds it as it now is.
  Reached* RenewWritten(const char* path) {
    Reached* entry = Reach(path);
    if (entry == nullptr || entry->Renewed) return entry;
    entry->Renewed = true;
    if (held_.Renew(entry->Key, entry->Fd)) return entry;
    LetGoOfEntry();
    return Reach(path);
  }

  void LetGoOfEntry() {
    if (reached_.Fd >= 0) close(reached_.Fd);
    reached_.Fd = -1;
  }

  // Every entry of the folder but "." and "..", in the file system's order.
  // Those two name no entry of the folder, and ".." of a mount point lies
  // on another file system. A reading that fails part way keeps what it got
  // and says why it stopped.
  std::shared_ptr<FolderContents> ReadFolder(const std::string& folder, std::uint32_t* error) {
    const int held = held_.Folder(folder);
    const int fd = held < 0 ? -1 : openat(held, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      *error = FindError(errno);
      return nullptr;
    }
    auto contents = std::make_shared<FolderContents>();
    contents->Folder = folder;
    contents->Fd = fd;
    contents->DeviceKnown = held_.DeviceInHand(&contents->Device);
    // The kernel's listing as readdir takes it, without the calls with which
    // fdopendir looks the descriptor over: ENOENT (a folder removed while
    // open) is its end, and an entry numbered 0 is none.
    alignas(dirent64) char buffer[32768];
    for (;;) {
      const ssize_t size = getdents64(fd, buffer, sizeof buffer);
      if (size <= 0) {
        if (size < 0 && errno != ENOENT) contents->ReadError = errno;
        break;
      }
      // Room for every record (24 bytes at least), grown as a vector grows.
      auto& entries = contents->Entries;
      const std::size_t room = entries.size() + static_cast<std::size_t>(size) / 24;
      if (room > entries.capacity()) entries.reserve(std::max(room, 2 * entries.capacity()));
      for (ssize_t at = 0; at < size;) {
        const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
        at += e->d_reclen;
        if (e->d_ino == 0 || std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
          continue;
        FolderContents::Entry entry;
        entry.Name = e->d_name;
        // The type until the look at the entry tells it for sure.
        if (e->d_type == DT_DIR) entry.TypeBits = kAttrDirectory;
        if (e->d_type == DT_LNK) entry.TypeBits = kAttrReparsePoint;
        entry.Typed = e->d_type != DT_DIR && e->d_type != DT_UNKNOWN;
        contents->Entries.push_back(std::move(entry));
      }
    }
    // In name order, letter case aside, as NTFS and Windows list a folder:
    // ext4 and others give a hash order, and a walk and its log should come
    // out the same on every file system and in every run. The positions are
    // sorted, which moves no entry.
    const auto& entries = contents->Entries;
    contents->Order.resize(entries.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i) contents->Order[i] = i;
    std::sort(contents->Order.begin(), contents->Order.end(),
              [&entries](std::uint32_t a, std::uint32_t b) {
                const int folded = CompareFolded(entries[a].Name, entries[b].Name);
                return folded != 0 ? folded < 0 : entries[a].Name < entries[b].Name;
              });
    return contents;
  }

  // a and b compared byte by byte with ASCII letters folded to lower case.
  static int FoldAscii(int c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
  static int CompareFolded(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (a[i] == b[i]) continue;  // the same byte folds the same
      const int x = FoldAscii(static_cast<unsigned char>(a[i]));
      const int y = FoldAscii(static_cast<unsigned char>(b[i]));
      if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }

  // The next entry that matches the find's pattern, with its word.
  bool HandOut(Find& find, FindEntry* out) {
    FolderContents& c = *find.Contents;
    while (find.Next < c.Order.size()) {
      FolderContents::Entry& e = c.Entries[c.Order[find.Next++]];
      if (!MatchesNamePattern(find.Pattern.c_str(), e.Name.c_str())) continue;
      if (!e.Looked) Look(c, e);
      // An entry removed since the reading is passed over as if it had never
      // been there, but not a folder: the walk goes on to fail on it, so the
      // run says that what lay below it went unsearched.
      if (e.Gone && e.TypeBits != kAttrDirectory) continue;
      out->Attributes = WordOfType(e.Word, e.TypeBits);
      out->WordUnreadable = e.WordUnreadable;
      const std::size_t n = std::min(e.Name.size(), sizeof out->Name - 1);
      std::memcpy(out->Name, e.Name.data(), n);
      out->Name[n] = 0;
      return true;
    }
    return false;
  }

  // The entry's identity (recorded, so every later call on it can check it
  // is still the entry listed here), its type and its word: by its name in
  // the folder, nothing opened, once the run knows the entry's file system.
  // A file in a folder below the start gives its word first: where the word
  // lacks a bit the walk selects by, the run never acts on the file, and its
  // identity is not needed. The word read so may be that of an entry put in
  // its place since the look or before it; no call acts on what it says
  // without the check of the identity. An entry gone by then was gone
  // before the look.
  void Look(FolderContents& c, FolderContents::Entry& e) {
    e.Looked = true;
    StoreKind kind = StoreKind::None;
    WordState state = WordState::Failed;
    bool word_read = false;
    if (e.Typed && selects_ != 0 && c.DeviceKnown && KnownDevice(c.Device, &kind, nullptr)) {
      state = StoreOfKind(kind).ReadAt(c.Fd, e.Name.c_str(), &e.Word);
      if (state == WordState::Failed && errno == ENOENT) {
        e.Gone = e.WordUnreadable = true;
        return;
      }
      word_read = state == WordState::Present || state == WordState::Absent;
      if (word_read && (WordOfType(e.Word, e.TypeBits) & selects_) != selects_) {
        NoteWord(c, state);
        return;
      }
    }
    Identity id;
    if (ReadIdentityAt(c.Fd, e.Name.c_str(), &id) && KnownDevice(id.Device, &kind, nullptr)) {
      // An entry on a file system of its own (a file mounted there) is read
      // from that one's store.
      if (!word_read || id.Device != c.Device)
        state = StoreOfKind(kind).ReadAt(c.Fd, e.Name.c_str(), &e.Word);
      e.Gone = state == WordState::Failed && errno == ENOENT;
      e.WordUnreadable = e.Gone;
      if (!e.Gone) Note(c, e, id, state);
      return;
    }
    const int fd = errno != 0 ? -1 : openat(c.Fd, e.Name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !ReadIdentity(fd, &id)) {
      e.Gone = errno == ENOENT;
      e.WordUnreadable = true;
      if (fd >= 0) close(fd);
      return;
    }
    state = StoreOf(id.Device, fd).Read(fd, &e.Word);
    close(fd);
    Note(c, e, id, state);
  }

  // What a look found of the entry: its identity, its type and its word.
  void Note(FolderContents& c, FolderContents::Entry& e, const Identity& id, WordState state) {
    e.TypeBits = TypeBits(id.Type);
    held_.Record(c.Folder, e.Name, id, S_ISDIR(id.Type));
    e.WordUnreadable = state == WordState::Failed;
    NoteWord(c, state);
  }

  // Whether a word was found below the folder the run started from.
  void NoteWord(FolderContents& c, WordState state) {
    if (state == WordState::Present && !c.SawWord) {
      c.SawWord = true;
      held_.NoteWord(c.Folder);
    }
  }

  HeldFolders held_;
  Reached reached_;
  std::shared_ptr<FolderContents> last_;  // the last reading, for the listing right after it
  std::vector<DriveMount> drives_;
  std::uint32_t write_error_ = 0;  // of the last refused attribute write
  // The bits every entry the walk selects carries, once the run has said
  // (0: not said, or every entry).
  std::uint32_t selects_ = 0;
};

thread_local PosixFiles::Sized PosixFiles::sized_;
PosixFiles g_files;

}  // namespace

FileSystem& RealFileSystem() { return g_files; }
FileIo& RealFileIo() { return g_files; }

}  // namespace zavero::platform
