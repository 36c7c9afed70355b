#include "fake/fake_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace zavero::fake {

using platform::Handle;

struct FakeFiles::Node {
  std::string Name;
  std::uint32_t Attributes = 0x10;
  bool Folder = true;
  std::vector<std::unique_ptr<Node>> Children;
  Node* Parent = nullptr;
  std::string LinkTarget;  // not empty: a junction to this folder path
  bool VolumeMount = false;  // the link is a volume mounted in the folder
  std::shared_ptr<std::string> Content = std::make_shared<std::string>();
  std::uint64_t SparsePrefix = 0;  // bytes before `content` (for sizes over 4 GiB)
  bool RefuseAttributeWrites = false;
  bool Locked = false;
  std::uint32_t ListError = 0;
  std::uint64_t Id = 0;
};

struct FakeFiles::Find {
  std::vector<platform::FindEntry> Entries;
  std::size_t Next = 1;  // entries[0] went out with the find-first call
};

struct FakeFiles::OpenFileState {
  std::shared_ptr<std::string> Content;
  std::uint64_t* SparsePrefix;
  std::uint64_t Position = 0;
  platform::FileId Id;
};

namespace {

std::uint64_t next_id = 1;

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Splits "C:\a\b" (or "C:/a/b", "C:") into {"C:", "a", "b"}; empty parts dropped.
std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

// The wildcard rules of the find functions, enough for the tests: '*' any run,
// '?' one character, case-insensitive; "*.*" matches every name.
bool Matches(const char* pattern, const char* name) {
  if (std::strcmp(pattern, "*.*") == 0) return true;
  if (*pattern == 0) return *name == 0;
  if (*pattern == '*') {
    for (const char* n = name;; ++n) {
      if (Matches(pattern + 1, n)) return true;
      if (*n == 0) return false;
    }
  }
  if (*name == 0) return false;
  if (*pattern == '?' || std::tolower(static_cast<unsigned char>(*pattern)) ==
                             std::tolower(static_cast<unsigned char>(*name)))
    return Matches(pattern + 1, name + 1);
  return false;
}

// One spelling per path for what listings saw: lower case, "\\" between names.
std::string LinkKey(std::string path) {
  for (auto& c : path) c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return path;
}

std::uint32_t Reported(std::uint32_t attributes, bool normal_for_zero) {
  return attributes == 0 && normal_for_zero ? platform::kAttrNormal : attributes;
}

}  // namespace

FakeFiles::FakeFiles(CallLog& calls) : calls_(calls), root_(std::make_unique<Node>()) {}
FakeFiles::~FakeFiles() = default;

void FakeFiles::Hook(const std::string& call, const std::string& arg) {
  calls_.Add(call, arg);
  if (before_call) before_call(call, arg);
}

std::string FakeFiles::FullPathOf(const std::string& path) const {
  if (path.empty() || (path.size() >= 2 && path[1] == ':')) return path;
  if (UnixPaths && path[0] == '/') return path;
  const bool from_root = path[0] == '\\' || path[0] == '/';
  const std::string base = from_root ? CurrentFolder.substr(0, 2) : CurrentFolder;
  std::vector<std::string> parts;
  for (const auto& part : Split(base + "\\" + path)) {
    if (part == "..") {
      if (parts.size() > 1) parts.pop_back();
    } else if (part != ".") {
      parts.push_back(part);
    }
  }
  std::string full;
  for (const auto& part : parts) full += part + "\\";
  // A drive root keeps its "\"; so does a path given with one at the end.
  if (parts.size() > 1 && path.back() != '\\' && path.back() != '/') full.pop_back();
  return full;
}

FakeFiles::Node* FakeFiles::Lookup(const std::string& path, bool follow_links) const {
  auto parts = Split(FullPathOf(path));
  if (parts.empty()) return nullptr;
  Node* node = root_.get();
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!node->Folder) return nullptr;
    if (!node->LinkTarget.empty()) node = Lookup(node->LinkTarget, true);
    if (!node) return nullptr;
    Node* found = nullptr;
    std::string want = Lower(parts[i]);
    for (auto& child : node->Children)
      if (Lower(child->Name) == want) found = child.get();
    if (!found) return nullptr;
    node = found;
  }
  if (follow_links && !node->LinkTarget.empty()) return Lookup(node->LinkTarget, true);
  return node;
}

FakeFiles::Node* FakeFiles::MakeFolder(const std::string& path) {
  auto parts = Split(path);
  Node* node = root_.get();
  for (auto& part : parts) {
    Node* found = nullptr;
    for (auto& child : node->Children)
      if (Lower(child->Name) == Lower(part)) found = child.get();
    if (!found) {
      auto made = std::make_unique<Node>();
      made->Name = part;
      made->Parent = node;
      made->Id = next_id++;
      found = made.get();
      node->Children.push_back(std::move(made));
    }
    node = found;
  }
  return node;
}

bool FakeFiles::BecameLink(const std::string& path) const {
  const std::string full = FullPathOf(path) + "\\";
  for (std::size_t cut = full.find_first_of("\\/", 1); cut != std::string::npos;
       cut = full.find_first_of("\\/", cut + 1)) {
    const auto listed = listed_link_.find(LinkKey(full.substr(0, cut)));
    const Node* n = listed == listed_link_.end() || listed->second ? nullptr
                                                                    : Lookup(full.substr(0, cut), false);
    if (n && !n->LinkTarget.empty()) return true;
  }
  return false;
}

void FakeFiles::AddDrive(char letter, std::uint32_t type) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  drive_types_[letter] = type;
  MakeFolder(std::string(1, letter) + ":");
}

void FakeFiles::AddFolder(const std::string& path, std::uint32_t attributes) {
  Node* n = MakeFolder(path);
  n->Attributes = attributes | platform::kAttrDirectory;
}

void FakeFiles::AddFile(const std::string& path, std::uint32_t attributes,
                        const std::string& content) {
  Node* n = MakeFolder(path);
  n->Folder = false;
  n->Attributes = attributes & ~platform::kAttrDirectory;
  *n->Content = content;
}

void FakeFiles::AddLink(const std::string& path, const std::string& target,
                        std::uint32_t attributes) {
  Node* n = MakeFolder(path);
  n->Attributes = attributes | platform::kAttrDirectory;
  n->LinkTarget = target;
}

void FakeFiles::AddMountedVolume(const std::string& path, const std::string& root) {
  AddLink(path, root);
  Lookup(path, false)->VolumeMount = true;
}

void FakeFiles::Remove(const std::string& path) {
  Node* n = Lookup(path, false);
  if (!n || !n->Parent) return;
  auto& siblings = n->Parent->Children;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                [n](const std::unique_ptr<Node>& c) { return c.get() == n; }),
                 siblings.end());
}

bool FakeFiles::Exists(const std::string& path) const { return Lookup(path, false) != nullptr; }

std::uint32_t FakeFiles::Attributes(const std::string& path) const {
  Node* n = Lookup(path, false);
  return n ? n->Attributes : platform::kInvalidAttributes;
}

void FakeFiles::SetAttributes(const std::string& path, std::uint32_t attributes) {
  if (Node* n = Lookup(path, false)) n->Attributes = attributes;
}

std::string FakeFiles::Content(const std::string& path) const {
  Node* n = Lookup(path, false);
  return n && !n->Folder ? *n->Content : std::string();
}

void FakeFiles::SetSparsePrefix(const std::string& path, std::uint64_t bytes) {
  if (Node* n = Lookup(path, false)) n->SparsePrefix = bytes;
}

void FakeFiles::MoveToEnd(const std::string& path) {
  Node* n = Lookup(path, false);
  if (!n || !n->Parent) return;
  auto& siblings = n->Parent->Children;
  auto it = std::find_if(siblings.begin(), siblings.end(),
                         [n](const std::unique_ptr<Node>& c) { return c.get() == n; });
  std::rotate(it, it + 1, siblings.end());
}

void FakeFiles::RefuseAttributeWrites(const std::string& path) {
  if (Node* n = Lookup(path, false)) n->RefuseAttributeWrites = true;
}
void FakeFiles::LockFile(const std::string& path, bool locked) {
  if (Node* n = Lookup(path, false)) n->Locked = locked;
}
void FakeFiles::FailListing(const std::string& path, std::uint32_t error) {
  if (Node* n = Lookup(path, true)) n->ListError = error;
}

int FakeFiles::open_files() const { return static_cast<int>(files_.size()); }
int FakeFiles::open_finds() const { return static_cast<int>(finds_.size()); }

// ---------------------------------------------------------------- FileSystem

Handle FakeFiles::FindFirstEntry(const char* search, platform::FindEntry* entry,
                                 std::uint32_t* error) {
  Hook("FindFirstEntry", search);
  std::string s = search;
  auto cut = s.find_last_of("\\/");
  std::string folder = cut == std::string::npos ? std::string() : s.substr(0, cut);
  std::string pattern = cut == std::string::npos ? s : s.substr(cut + 1);
  Node* dir = folder.empty() ? nullptr : Lookup(folder, true);
  if (!dir || !dir->Folder || BecameLink(folder)) {
    *error = 3;  // ERROR_PATH_NOT_FOUND
    return platform::kInvalidHandle;
  }
  std::string key = FullPathOf(folder);
  while (!key.empty() && (key.back() == '\\' || key.back() == '/')) key.pop_back();
  key += '\\';
  if (dir->ListError) {
    *error = dir->ListError;
    return platform::kInvalidHandle;
  }
  auto find = std::make_unique<Find>();
  auto add = [&](const std::string& name, std::uint32_t attributes, bool link = false) {
    if (!Matches(pattern.c_str(), name.c_str())) return;
    platform::FindEntry e;
    e.Attributes = Reported(attributes, normal_for_zero_);
    const bool cloud = attributes & platform::kAttrReparsePoint;  // a placeholder: no link
    e.ReparseTag = link ? platform::kReparseTagMountPoint : cloud ? 0x9000001Au : 0;
    std::snprintf(e.Name, sizeof e.Name, "%s", name.c_str());
    listed_link_[LinkKey(key + name)] = (attributes & platform::kAttrReparsePoint) != 0;
    find->Entries.push_back(e);
  };
  bool drive_root = dir->Parent == root_.get();
  if (!drive_root) {
    add(".", platform::kAttrDirectory);
    add("..", platform::kAttrDirectory);
  }
  for (auto& child : dir->Children) add(child->Name, child->Attributes, !child->LinkTarget.empty());
  if (find->Entries.empty()) {
    *error = platform::kErrorFileNotFound;
    return platform::kInvalidHandle;
  }
  *entry = find->Entries[0];
  Handle h = next_handle_++;
  finds_[h] = std::move(find);
  return h;
}

bool FakeFiles::FindNextEntry(Handle h, platform::FindEntry* entry, std::uint32_t* error) {
  Hook("FindNextEntry", {});
  auto it = finds_.find(h);
  *error = 18;  // ERROR_NO_MORE_FILES
  if (it == finds_.end() || it->second->Next >= it->second->Entries.size()) return false;
  *entry = it->second->Entries[it->second->Next++];
  return true;
}

void FakeFiles::EndFind(Handle h) {
  Hook("EndFind", {});
  finds_.erase(h);
}

std::uint32_t FakeFiles::ReadAttributes(const char* path) {
  Hook("ReadAttributes", path);
  Node* n = BecameLink(path) ? nullptr : Lookup(path, false);
  return n ? Reported(n->Attributes, normal_for_zero_) : platform::kInvalidAttributes;
}

bool FakeFiles::WriteAttributes(const char* path, std::uint32_t attributes) {
  Hook("WriteAttributes", std::string(path) + "=" + std::to_string(attributes));
  Node* n = BecameLink(path) ? nullptr : Lookup(path, false);
  if (!n || n->RefuseAttributeWrites) return false;
  // Only the bits SetFileAttributesA can set change; the others (directory,
  // compressed, encrypted, reparse point ...) are the file system's and stay
  // as they are. NORMAL stands for "no attributes".
  const std::uint32_t writable = platform::kAttrWritable;
  n->Attributes = (attributes & writable & ~platform::kAttrNormal) | (n->Attributes & ~writable);
  return true;
}

std::uint32_t FakeFiles::LogicalDriveStrings(std::uint32_t size, char* buffer) {
  Hook("LogicalDriveStrings", std::to_string(size));
  std::string list;
  if (DriveStrings) {
    list = *DriveStrings;
  } else {
    for (auto& d : drive_types_) list += std::string(1, d.first) + ":\\" + '\0';
  }
  std::uint32_t needed = static_cast<std::uint32_t>(list.size());
  if (needed + 1 > size) return needed + 1;
  std::memcpy(buffer, list.data(), list.size());
  buffer[list.size()] = 0;
  return needed;
}

std::uint32_t FakeFiles::DriveType(const char* root) {
  Hook("DriveType", root);
  if (!root || !root[0]) return 1;
  auto it = drive_types_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(root[0]))));
  return it == drive_types_.end() ? 1 : it->second;
}

bool FakeFiles::MountsVolume(const char* path) {
  Hook("MountsVolume", path);
  return Lookup(path, false)->VolumeMount;  // asked only of a listed link
}

bool FakeFiles::ReadFolderId(const char* path, platform::FolderId* id) {
  Hook("ReadFolderId", path);
  Node* n = Lookup(path, true);
  if (!n || !n->Folder) return false;
  Node* top = n;
  while (top->Parent && top->Parent != root_.get()) top = top->Parent;
  id->Volume = static_cast<std::uint32_t>(top->Name.empty() ? 0 : top->Name[0]);
  id->Index = n->Id;
  return true;
}

std::uint32_t FakeFiles::FullPathName(const char* path, std::uint32_t size, char* buffer) {
  Hook("FullPathName", path);
  if (!*path) return 0;  // GetFullPathNameA fails on an empty path
  const std::string full = FullPathOf(path);
  const auto length = static_cast<std::uint32_t>(full.size());
  if (length + 1 > size) return length + 1;
  std::memcpy(buffer, full.c_str(), length + 1);
  return length;
}

// ---------------------------------------------------------------- FileIo

Handle FakeFiles::OpenFile(const char* path, std::uint32_t access, std::uint32_t share,
                           std::uint32_t disposition, std::uint32_t flags) {
  Hook("OpenFile", std::string(path) + "|" + std::to_string(access) + "|" + std::to_string(share) +
                       "|" + std::to_string(disposition) + "|" + std::to_string(flags));
  const std::string p = FullPathOf(path);
  auto cut = p.find_last_of("\\/");
  Node* dir = cut == std::string::npos ? nullptr : Lookup(p.substr(0, cut), true);
  Node* n = Lookup(p, false);  // a link at the last name is never followed
  open_error_ = !dir || !dir->Folder ? 3 : n && n->Locked ? platform::kErrorSharingViolation : 5;
  if (!dir || !dir->Folder) return platform::kInvalidHandle;
  if (n && (n->Folder || n->Locked)) return platform::kInvalidHandle;
  bool wants_write = (access & platform::kGenericWrite) != 0;
  if (n && wants_write && (n->Attributes & platform::kAttrReadOnly)) return platform::kInvalidHandle;
  switch (disposition) {
    case platform::kCreateAlways:
      // Windows refuses to replace a hidden or system file unless the caller
      // asks for those attributes.
      if (n && (n->Attributes & (platform::kAttrHidden | platform::kAttrSystem)) &&
          (flags & (platform::kAttrHidden | platform::kAttrSystem)) !=
              (n->Attributes & (platform::kAttrHidden | platform::kAttrSystem)))
        return platform::kInvalidHandle;
      if (!n) {
        AddFile(p, platform::kAttrArchive);
        n = Lookup(p, true);
      }
      n->Attributes = platform::kAttrArchive;
      n->Content->clear();
      n->SparsePrefix = 0;
      break;
    case platform::kTruncateExisting:
      if (!n) return platform::kInvalidHandle;
      n->Content->clear();
      n->SparsePrefix = 0;
      break;
    case platform::kOpenAlways:
      if (!n) {
        AddFile(p, platform::kAttrArchive);
        n = Lookup(p, true);
      }
      break;
    default:
      return platform::kInvalidHandle;
  }
  auto state = std::make_unique<OpenFileState>();
  state->Id = {static_cast<std::uint64_t>(p[0]), n->Id, {}, true};
  state->Content = n->Content;
  state->SparsePrefix = &n->SparsePrefix;
  Handle h = next_handle_++;
  files_[h] = std::move(state);
  return h;
}

bool FakeFiles::WriteBytes(Handle file, const void* bytes, std::uint32_t count,
                           std::uint32_t* written) {
  Hook("WriteBytes", std::string(static_cast<const char*>(bytes), count));
  WriteSizes.push_back(count);
  auto it = files_.find(file);
  if (it == files_.end()) {
    if (written) *written = 0;
    return false;
  }
  OpenFileState& f = *it->second;
  std::uint32_t n = WriteLimit ? std::min(count, *WriteLimit) : count;
  std::uint64_t prefix = *f.SparsePrefix;
  std::uint64_t at = f.Position < prefix ? 0 : f.Position - prefix;
  std::string& c = *f.Content;
  if (c.size() < at) c.resize(static_cast<std::size_t>(at), '\0');
  c.replace(static_cast<std::size_t>(at), std::min<std::size_t>(n, c.size() - at),
            static_cast<const char*>(bytes), n);
  f.Position = prefix + at + n;
  if (written) *written = n;
  return n == count;
}

std::uint32_t FakeFiles::FileSize(Handle file, std::uint32_t* high) {
  Hook("FileSize", {});
  auto it = files_.find(file);
  if (it == files_.end()) {
    if (high) *high = 0;
    return 0xFFFFFFFFu;
  }
  std::uint64_t size = *it->second->SparsePrefix + it->second->Content->size();
  if (high) *high = static_cast<std::uint32_t>(size >> 32);
  return static_cast<std::uint32_t>(size);
}

void FakeFiles::SeekFromStart(Handle file, std::int32_t low, std::int32_t* high) {
  Hook("SeekFromStart", std::to_string(static_cast<std::uint32_t>(low)) + "|" +
                            std::to_string(high ? *high : 0));
  auto it = files_.find(file);
  if (it == files_.end()) return;
  std::uint64_t pos = static_cast<std::uint32_t>(low);
  if (high) pos |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(*high)) << 32;
  it->second->Position = pos;
}

bool FakeFiles::ReadFileId(Handle file, platform::FileId* id) {
  Hook("ReadFileId", {});
  auto it = files_.find(file);
  if (it != files_.end()) *id = it->second->Id;
  return it != files_.end();
}

void FakeFiles::CloseFile(Handle file) {
  Hook("CloseFile", {});
  files_.erase(file);
}

}  // namespace zavero::fake
