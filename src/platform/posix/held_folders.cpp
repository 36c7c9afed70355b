#include "platform/posix/held_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zavero::platform {

namespace {

// Descriptors the way down keeps open at most besides its root: a tree
// thousands of folders deep must not use up the process's descriptors (the
// log needs one for every line). A closed one is opened again from above.
constexpr std::size_t kOpenFolders = 32;

// FNV-1a: a record holds 8 bytes for the path instead of the path.
std::uint64_t PathHash(const std::string& key) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : key) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
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

Identity IdentityOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
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
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0) {
      if (IdentityOf(st) == want) return fd;
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

}  // namespace

std::string FolderKey(const std::string& path) {
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

int HeldFolders::Folder(const std::string& key) {
  // A declared root is reached by its path, never from another root's tree.
  const bool declared = std::find(declared_.begin(), declared_.end(), key) != declared_.end();
  if (declared && !chain_.empty() && chain_.front().Key != key)
    while (!chain_.empty()) Pop();
  while (!chain_.empty() && !IsWithin(chain_.back().Key, key)) Pop();
  if (chain_.empty()) {
    Root* root = RootFor(key);
    if (root == nullptr || (declared && root->Key != key)) root = OpenRoot(key);
    if (root != nullptr && root->Fd < 0)
      root->Fd = open(root->Key.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root == nullptr || root->Fd < 0) return -1;
    chain_.push_back({root->Key, root->Fd, {}, {}});
  }
  while (chain_.back().Key != key) {
    const std::size_t parent = chain_.size() - 1;
    const std::string name = NextName(chain_[parent].Key, key);
    Identity listed;
    if (!ListedChild(parent, name, &listed)) {
      errno = ENOENT;
      return -1;
    }
    const int parent_fd = Descriptor(parent);
    if (parent_fd < 0) return -1;
    const int fd = OpenChecked(parent_fd, name, listed, O_DIRECTORY);
    if (fd < 0) return -1;
    chain_.push_back({JoinName(chain_[parent].Key, name), fd, listed, {}});
    LimitOpen();
  }
  return Descriptor(chain_.size() - 1);
}

int HeldFolders::Entry(const std::string& key, bool* listed) {
  Identity want;
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

void HeldFolders::Record(const std::string& folder, const std::string& name, const Identity& id,
                         bool is_folder) {
  records_.push_back({PathHash(JoinName(folder, name)), id});
  if (is_folder && !chain_.empty() && chain_.back().Key == folder) chain_.back().Folders[name] = id;
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
  const auto by_hash = [](const Listed& a, const Listed& b) { return a.Hash < b.Hash; };
  if (sorted_ != records_.size()) {
    std::sort(records_.begin(), records_.end(), by_hash);
    sorted_ = records_.size();
  }
  const auto range = std::equal_range(records_.begin(), records_.end(), Listed{PathHash(key), {}},
                                      by_hash);
  if (range.first == range.second) return Seen::Never;
  *id = range.first->Id;
  for (auto it = range.first; it != range.second; ++it)
    if (!(it->Id == *id)) return Seen::Differently;
  return Seen::Once;
}

// What the listing of the folder chain_[parent] saw of its subfolder `name`:
// from the way down while the walk is on it, else from the records.
bool HeldFolders::ListedChild(std::size_t parent, const std::string& name, Identity* id) {
  const auto& folders = chain_[parent].Folders;
  const auto found = folders.find(name);
  if (found != folders.end()) {
    *id = found->second;
    return true;
  }
  return Lookup(JoinName(chain_[parent].Key, name), id) == Seen::Once;
}

// The descriptor of chain_[index], opened again from the nearest open folder
// above it if it was closed.
int HeldFolders::Descriptor(std::size_t index) {
  std::size_t open = index;
  while (chain_[open].Fd < 0) --open;  // the root is always open
  for (std::size_t i = open + 1; i <= index; ++i) {
    chain_[i].Fd = OpenChecked(chain_[i - 1].Fd, NextName(chain_[i - 1].Key, chain_[i].Key),
                               chain_[i].Id, O_DIRECTORY);
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
}

}  // namespace zavero::platform
