// The folders a walk stands in, held open, and what each listing saw of its
// entries. Names on a disk that someone else controls can change while the
// run looks at them: a folder listed a moment ago may be a symbolic link to
// anywhere by the time the walk enters it. So nothing is reached by its path:
// a folder below a held one is opened from it one name at a time, never
// through a link, and only if each step is still the entry (its Identity)
// that the listing of its parent saw.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zavero::platform {

// What tells an entry apart from one put in its place: its device and type
// and, where the file system keeps inode numbers, its inode and its birth
// time (its change time where no birth time is told), so that a number freed
// and given to a new entry does not pass for the old one. vfat and exFAT,
// and FUSE file systems whose numbers are their library's own, make numbers
// up anew whenever an entry is read in again: there the name it is reached
// by and its type tell it (Inode and Stamp 0).
struct Identity {
  std::uint64_t Device = 0, Inode = 0;
  std::int64_t Stamp = 0;  // nanoseconds
  std::uint32_t Type = 0;  // the S_IFMT bits
  bool operator==(const Identity& o) const {
    return Device == o.Device && Inode == o.Inode && Stamp == o.Stamp && Type == o.Type;
  }
};

// The identity of the entry that the O_PATH descriptor `fd` names; false
// (errno set) when it cannot be read.
bool ReadIdentity(int fd, Identity* id);
// The identity of the entry `name` of the folder `dir`, never followed if it
// is a link, with one look and nothing opened. False with errno set when it
// cannot be read; false with errno 0 when the run does not know the entry's
// file system yet (the first entry on each): ReadIdentity, on the entry
// opened, learns it.
bool ReadIdentityAt(int dir, const char* name, Identity* id);

// One spelling per folder: "a//b/" and "a/b" are one folder, "/" stays "/",
// "" is ".". Every key below is in this form.
std::string FolderKey(const std::string& path);
// folder + "/" + name, without doubling the "/" of the root.
std::string JoinName(const std::string& folder, const std::string& name);

class HeldFolders {
 public:
  HeldFolders() = default;
  ~HeldFolders();
  HeldFolders(const HeldFolders&) = delete;
  HeldFolders& operator=(const HeldFolders&) = delete;

  // Makes `key` a folder the run starts from, reached by its path when asked
  // for (the mount points of a run without a start folder).
  void DeclareRoot(const std::string& key);
  // Whether `key` lies in more than one of those (a drive mounted inside
  // another, whose entries the walk of either lists).
  bool InSeveralRoots(const std::string& key) const;
  // An O_PATH descriptor of the folder `key`, valid until the next call here.
  // A folder inside one the run started from is reached from there, each
  // name checked against what a listing saw of it; any other folder becomes
  // a start of its own, opened by its path and held for the rest of the run.
  // -1 with errno: ENOENT when no listing saw a name on the way, ESTALE when
  // an entry is no longer the one listed, ELOOP or ENOTDIR for a link.
  int Folder(const std::string& key);
  // An O_PATH descriptor of the entry `key` (the caller closes it), reached
  // as Folder reaches folders and checked the same way: *id is what it was
  // checked against. *listed is false, and nothing opened, when no listing
  // saw the entry.
  int Entry(const std::string& key, bool* listed, Identity* id);
  // The device of the folder that the last Folder call reached, as the
  // listing of its parent saw it; false for a folder the run started from.
  bool DeviceInHand(std::uint64_t* device) const;
  // Notes what a listing of `folder` saw of its entry `name`.
  void Record(const std::string& folder, const std::string& name, const Identity& id,
              bool is_folder);
  // Notes that an entry below `key` keeps an attribute word.
  void NoteWord(const std::string& key);
  // The entry `key`, open as `fd`, was changed by this run (its change time
  // moved): later checks expect it as it is now. False (errno set) when `fd`
  // no longer reads the entry (ntfs-3g changed its type).
  bool Renew(const std::string& key, int fd);
  // Closes every descriptor held; what the listings saw stays, and a later
  // call opens the folders again.
  void LetGo();
  // Whether the run started from `key`; *saw_word: whether an entry below it
  // keeps an attribute word.
  bool Walked(const std::string& key, bool* saw_word) const;

 private:
  struct Root {
    std::string Key;
    int Fd = -1;  // -1: let go of; opened again by its path when needed
    bool SawWord = false;
  };
  // One folder of the way from a root to the folder in hand; the first one
  // is the root (whose descriptor the root owns). Its key is the first End
  // bytes of path_: a way thousands of folders deep keeps each name once.
  struct Held {
    std::size_t End = 0;
    int Fd = -1;  // -1: closed to save descriptors; reopened from above
    Identity Id;
    std::unordered_map<std::string, Identity> Folders;  // its subfolders, as listed
  };
  struct Listed {
    std::uint64_t Hash;
    Identity Id;
  };
  enum class Seen { Never, Once, Differently };

  Root* RootFor(const std::string& key);
  Root* OpenRoot(const std::string& key);
  using Range = std::pair<std::vector<Listed>::iterator, std::vector<Listed>::iterator>;
  Range Records(const std::string& key);
  Seen Lookup(const std::string& key, Identity* id);
  bool ListedChild(const std::string& name, Identity* id);
  std::string NameOf(std::size_t index) const;
  int Descriptor(std::size_t index);
  void LimitOpen();
  void Pop();

  std::vector<std::unique_ptr<Root>> roots_;
  std::vector<std::string> declared_;
  std::vector<Held> chain_;
  std::string path_;  // the key of the folder in hand, chain_.back()
  // Every entry any listing saw, by the hash of its path: the clearing after
  // the walk checks each entry against it. Sorted when looked up.
  std::vector<Listed> records_;
  std::size_t sorted_ = 0;
};

}  // namespace zavero::platform
