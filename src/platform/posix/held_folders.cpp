#include "platform/posix/held_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "platform/posix/volumes.h"

namespace zavero::platform {

namespace {

// Descriptors the way down keeps open at most besides its root: a tree
// thousands of folders deep must not use up the process's descriptors (the
// log needs one for every line). A closed one is opened again from above.
constexpr std::size_t kOpenFolders = 32;

// FNV-1a: a record holds 8 bytes for the path instead of the path.
constexpr std::uint64_t kHashStart = 0xcbf29ce484222325ull;
std::uint64_t HashOn(std::uint64_t hash, std::string_view text) {
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}
std::uint64_t PathHash(const std::string& key) { return HashOn(kHashStart, key); }

// PathHash(JoinName(folder, name)), without the joined path.
std::uint64_t PathHash(const std::string& folder, const std::string& name) {
  std::uint64_t hash = HashOn(kHashStart, folder);
  if (folder != "/") hash = HashOn(hash, "/");
  return HashOn(hash, name);
}

// Whether `key` is `folder` or lies below it.
bool IsWithin(const std::string& folder, const std::string& key) {
  if (key.compare(0, folder.size(), folder) != 0) return false;
  return key.size() == folder.size() || folder == "/" || key[folder.size()] == '/';
}

// The name that follows `folder` on the way to `key` (which lies below it).
std::string NextName(const std::string& folder, const std::string& key) {
  const std::size_t start = folder == "/" ? 1 : folder.size() + 1;
  return key.substr(start, key.find('/', start) - start);
}

// The entry `name` of the folder `dir`, not followed if it is a link, and
// only if it is the entry `want`. ntfs-3g can change an entry's type when its
// attributes change (an empty file with the system bit becomes a FIFO); the
// kernel's FUSE fails the first look at the old inode with EIO, and the look
// after it finds the entry as it now is.
int OpenChecked(int dir, const std::string& name, const Identity& want, int flags) {
  if (name.empty() || name == "." || name == "..") {
    errno = ENOENT;
    return -1;
  }
  for (int attempt = 0;; ++attempt) {
    const int fd = openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC | flags);
    Identity id;
    if (fd >= 0 && ReadIdentity(fd, &id)) {
      if (id == want) return fd;
      close(fd);
      errno = ESTALE;
      return -1;
    }
    const int error = errno;
    if (fd >= 0) close(fd);
    errno = error;
    if (error != EIO || attempt > 0) return -1;
  }
}

constexpr unsigned kIdentityFields = STATX_TYPE | STATX_INO | STATX_CTIME | STATX_BTIME;

std::uint64_t DeviceOf(const struct statx& sx) {
  return makedev(sx.stx_dev_major, sx.stx_dev_minor);
}

// The identity in what statx told; device and type alone where the file
// system numbers entries anew.
void FromStatx(const struct statx& sx, bool numbers_stable, Identity* id) {
  id->Device = DeviceOf(sx);
  id->Type = sx.stx_mode & S_IFMT;
  id->Inode = 0;
  id->Stamp = 0;
  if (!numbers_stable) return;
  id->Inode = sx.stx_ino;
  const statx_timestamp& t = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime : sx.stx_ctime;
  id->Stamp = t.tv_sec * 1000000000 + t.tv_nsec;
}

}  // namespace

bool ReadIdentity(int fd, Identity* id) {
  struct statx sx;
  if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, kIdentityFields, &sx) != 0)
    return false;
  FromStatx(sx, InodeNumbersStable(DeviceOf(sx), fd), id);
  return true;
}

bool ReadIdentityAt(int dir, const char* name, Identity* id) {
  // Like the O_PATH opening it stands for, it mounts nothing at an
  // automount point.
  struct statx sx;
  if (statx(dir, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_SYNC_AS_STAT,
            kIdentityFields, &sx) != 0)
    return false;
  bool numbers_stable = false;
  if (!KnownDevice(DeviceOf(sx), nullptr, &numbers_stable)) {
    errno = 0;
    return false;
  }
  FromStatx(sx, numbers_stable, id);
  return true;
}

std::string FolderKey(const std::string& path) {
  // Most paths are in that form already.
  if (path.size() > 1 && path.back() != '/' && path.find("//") == std::string::npos) return path;
  std::string key;
  for (char c : path)
    if (c != '/' || key.empty() || key.back() != '/') key += c;
  if (key.size() > 1 && key.back() == '/') key.pop_back();
  return key.empty() ? std::string(".") : key;
}

std::string JoinName(const std::string& folder, const std::string& name) {
  return folder == "/" ? folder + name : folder + '/' + name;
}

HeldFolders::~HeldFolders() { LetGo(); }

void HeldFolders::LetGo() {
  while (!chain_.empty()) Pop();
  for (const auto& root : roots_) {
    if (root->Fd >= 0) close(root->Fd);
    root->Fd = -1;
  }
}

void HeldFolders::DeclareRoot(const std::string& key) {
  if (std::find(declared_.begin(), declared_.end(), key) == declared_.end())
    declared_.push_back(key);
}

bool HeldFolders::InSeveralRoots(const std::string& key) const {
  return std::count_if(declared_.begin(), declared_.end(),
                       [&](const std::string& root) { return IsWithin(root, key); }) > 1;
}

int HeldFolders::Folder(const std::string& key) {
  // A declared root is reached by its path, never from another root's tree.
  const bool declared = std::find(declared_.begin(), declared_.end(), key) != declared_.end();
  if (declared && !chain_.empty() && path_.compare(0, chain_.front().End, key) != 0)
    while (!chain_.empty()) Pop();
  while (!chain_.empty() && !IsWithin(path_, key)) Pop();
  if (chain_.empty()) {
    Root* root = RootFor(key);
    if (root == nullptr || (declared && root->Key != key)) root = OpenRoot(key);
    if (root != nullptr && root->Fd < 0)
      root->Fd = open(root->Key.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root == nullptr || root->Fd < 0) return -1;
    path_ = root->Key;
    chain_.push_back({path_.size(), root->Fd, {}, {}});
  }
  while (path_ != key) {
    const std::size_t parent = chain_.size() - 1;
    const std::string name = NextName(path_, key);
    Identity listed;
    if (!ListedChild(name, &listed)) {
      errno = ENOENT;
      return -1;
    }
    const int parent_fd = Descriptor(parent);
    if (parent_fd < 0) return -1;
    const int fd = OpenChecked(parent_fd, name, listed, O_DIRECTORY);
    if (fd < 0) return -1;
    path_ = JoinName(path_, name);
    chain_.push_back({path_.size(), fd, listed, {}});
    LimitOpen();
  }
  return Descriptor(chain_.size() - 1);
}

int HeldFolders::Entry(const std::string& key, bool* listed, Identity* id) {
  Identity& want = *id;
  const Seen seen = Lookup(key, &want);
  *listed = seen != Seen::Never;
  if (seen != Seen::Once) {
    errno = ESTALE;
    return -1;
  }
  const std::size_t slash = key.rfind('/');
  const std::string folder = slash == 0 ? "/" : slash == std::string::npos ? "." : key.substr(0, slash);
  const int dir = Folder(folder);
  if (dir < 0) return -1;
  return OpenChecked(dir, key.substr(slash == std::string::npos ? 0 : slash + 1), want, 0);
}

bool HeldFolders::DeviceInHand(std::uint64_t* device) const {
  if (chain_.size() < 2) return false;
  *device = chain_.back().Id.Device;
  return true;
}

void HeldFolders::Record(const std::string& folder, const std::string& name, const Identity& id,
                         bool is_folder) {
  records_.push_back({PathHash(folder, name), id});
  if (is_folder && !chain_.empty() && path_ == folder) chain_.back().Folders[name] = id;
}

bool HeldFolders::Renew(const std::string& key, int fd) {
  Identity was, now;
  if (!ReadIdentity(fd, &now)) return false;
  if (Lookup(key, &was) != Seen::Once || now == was) return true;
  const auto range = Records(key);
  for (auto it = range.first; it != range.second; ++it) it->Id = now;
  // The way down: the entry itself, opened again from above when its
  // descriptor was closed, and what its folder's listing saw of it.
  const std::size_t slash = key.rfind('/');
  if (slash == std::string::npos) return true;
  const std::size_t parent_end = slash == 0 ? 1 : slash;
  const std::string name = key.substr(slash + 1);
  for (std::size_t i = 0; i < chain_.size(); ++i) {
    const std::size_t end = chain_[i].End;
    if (path_.compare(0, end, key, 0, end) != 0) break;
    if (end == key.size()) chain_[i].Id = now;
    const auto listed = chain_[i].Folders.find(name);
    if (end == parent_end && listed != chain_[i].Folders.end()) listed->second = now;
  }
  return true;
}

void HeldFolders::NoteWord(const std::string& key) {
  if (Root* root = RootFor(key)) root->SawWord = true;
}

bool HeldFolders::Walked(const std::string& key, bool* saw_word) const {
  for (const auto& root : roots_) {
    if (root->Key != key) continue;
    *saw_word = root->SawWord;
    return true;
  }
  return false;
}

// The innermost root that `key` lies in.
HeldFolders::Root* HeldFolders::RootFor(const std::string& key) {
  Root* best = nullptr;
  for (const auto& root : roots_)
    if (IsWithin(root->Key, key) && (best == nullptr || root->Key.size() > best->Key.size()))
      best = root.get();
  return best;
}

// A start folder is taken as the user (or the mount table) names it, links
// and all; from there on nothing is followed.
HeldFolders::Root* HeldFolders::OpenRoot(const std::string& key) {
  const int fd = open(key.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  roots_.push_back(std::make_unique<Root>(Root{key, fd, false}));
  return roots_.back().get();
}

// Several records under one hash agree on the entry, or the entry counts as
// changed: two names whose paths share a hash must not lend each other
// their identity.
HeldFolders::Seen HeldFolders::Lookup(const std::string& key, Identity* id) {
  const auto range = Records(key);
  if (range.first == range.second) return Seen::Never;
  *id = range.first->Id;
  for (auto it = range.first; it != range.second; ++it)
    if (!(it->Id == *id)) return Seen::Differently;
  return Seen::Once;
}

// The records under the hash of `key`.
HeldFolders::Range HeldFolders::Records(const std::string& key) {
  const auto by_hash = [](const Listed& a, const Listed& b) { return a.Hash < b.Hash; };
  if (sorted_ != records_.size()) {
    std::sort(records_.begin(), records_.end(), by_hash);
    sorted_ = records_.size();
  }
  return std::equal_range(records_.begin(), records_.end(), Listed{PathHash(key), {}}, by_hash);
}

// What the listing of the folder in hand saw of its subfolder `name`: from
// the way down while the walk is on it, else from the records.
bool HeldFolders::ListedChild(const std::string& name, Identity* id) {
  const auto& folders = chain_.back().Folders;
  const auto found = folders.find(name);
  if (found != folders.end()) {
    *id = found->second;
    return true;
  }
  return Lookup(JoinName(path_, name), id) == Seen::Once;
}

// The name of chain_[index] (not the root) in its parent.
std::string HeldFolders::NameOf(std::size_t index) const {
  const std::size_t parent_end = chain_[index - 1].End;
  const std::size_t start = parent_end == 1 && path_[0] == '/' ? 1 : parent_end + 1;
  return path_.substr(start, chain_[index].End - start);
}

// The descriptor of chain_[index], opened again from the nearest open folder
// above it if it was closed.
int HeldFolders::Descriptor(std::size_t index) {
  std::size_t open = index;
  while (chain_[open].Fd < 0) --open;  // the root is always open
  for (std::size_t i = open + 1; i <= index; ++i) {
    chain_[i].Fd = OpenChecked(chain_[i - 1].Fd, NameOf(i), chain_[i].Id, O_DIRECTORY);
    if (chain_[i].Fd < 0) return -1;
  }
  LimitOpen();
  return chain_[index].Fd;
}

// Closes the descriptors nearest the root (the walk goes back there last)
// until at most kOpenFolders below the root are open.
void HeldFolders::LimitOpen() {
  std::size_t open = 0;
  for (std::size_t i = 1; i < chain_.size(); ++i) open += chain_[i].Fd >= 0;
  for (std::size_t i = 1; open > kOpenFolders && i + 1 < chain_.size(); ++i) {
    if (chain_[i].Fd < 0) continue;
    close(chain_[i].Fd);
    chain_[i].Fd = -1;
    --open;
  }
}

void HeldFolders::Pop() {
  if (chain_.size() > 1 && chain_.back().Fd >= 0) close(chain_.back().Fd);
  chain_.pop_back();
  path_.resize(chain_.empty() ? 0 : chain_.back().End);
}

}  // namespace zavero::platform
