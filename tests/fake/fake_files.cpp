#include "fake/fake_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace zavero::fake {

using platform::Handle;

struct FakeFiles::Node {
  std::string name;
  std::uint32_t attributes = 0x10;
  bool folder = true;
  std::vector<std::unique_ptr<Node>> children;
  Node* parent = nullptr;
  std::string link_target;  // not empty: a junction to this folder path
  std::shared_ptr<std::string> content = std::make_shared<std::string>();
  std::uint64_t sparse_prefix = 0;  // bytes before `content` (for sizes over 4 GiB)
  bool refuse_attribute_writes = false;
  bool locked = false;
  std::uint32_t list_error = 0;
  std::uint64_t id = 0;
};

struct FakeFiles::Find {
  std::vector<platform::FindEntry> entries;
  std::size_t next = 1;  // entries[0] went out with the find-first call
};

struct FakeFiles::OpenFileState {
  std::shared_ptr<std::string> content;
  std::uint64_t* sparse_prefix;
  std::uint64_t position = 0;
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
  if (unix_paths && path[0] == '/') return path;
  const bool from_root = path[0] == '\\' || path[0] == '/';
  const std::string base = from_root ? current_folder.substr(0, 2) : current_folder;
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
    if (!node->folder) return nullptr;
    if (!node->link_target.empty()) node = Lookup(node->link_target, true);
    if (!node) return nullptr;
    Node* found = nullptr;
    std::string want = Lower(parts[i]);
    for (auto& child : node->children)
      if (Lower(child->name) == want) found = child.get();
    if (!found) return nullptr;
    node = found;
  }
  if (follow_links && !node->link_target.empty()) return Lookup(node->link_target, true);
  return node;
}

FakeFiles::Node* FakeFiles::MakeFolder(const std::string& path) {
  auto parts = Split(path);
  Node* node = root_.get();
  for (auto& part : parts) {
    Node* found = nullptr;
    for (auto& child : node->children)
      if (Lower(child->name) == Lower(part)) found = child.get();
    if (!found) {
      auto made = std::make_unique<Node>();
      made->name = part;
      made->parent = node;
      made->id = next_id++;
      found = made.get();
      node->children.push_back(std::move(made));
    }
    node = found;
  }
  return node;
}

void FakeFiles::AddDrive(char letter, std::uint32_t type) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  drive_types_[letter] = type;
  MakeFolder(std::string(1, letter) + ":");
}

void FakeFiles::AddFolder(const std::string& path, std::uint32_t attributes) {
  Node* n = MakeFolder(path);
  n->attributes = attributes | platform::kAttrDirectory;
}

void FakeFiles::AddFile(const std::string& path, std::uint32_t attributes,
                        const std::string& content) {
  Node* n = MakeFolder(path);
  n->folder = false;
  n->attributes = attributes & ~platform::kAttrDirectory;
  *n->content = content;
}

void FakeFiles::AddLink(const std::string& path, const std::string& target,
                        std::uint32_t attributes) {
  Node* n = MakeFolder(path);
  n->attributes = attributes | platform::kAttrDirectory;
  n->link_target = target;
}

void FakeFiles::Remove(const std::string& path) {
  Node* n = Lookup(path, false);
  if (!n || !n->parent) return;
  auto& siblings = n->parent->children;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                [n](const std::unique_ptr<Node>& c) { return c.get() == n; }),
                 siblings.end());
}

bool FakeFiles::Exists(const std::string& path) const { return Lookup(path, false) != nullptr; }

std::uint32_t FakeFiles::Attributes(const std::string& path) const {
  Node* n = Lookup(path, false);
  return n ? n->attributes : platform::kInvalidAttributes;
}

void FakeFiles::SetAttributes(const std::string& path, std::uint32_t attributes) {
  if (Node* n = Lookup(path, false)) n->attributes = attributes;
}

std::string FakeFiles::Content(const std::string& path) const {
  Node* n = Lookup(path, false);
  return n && !n->folder ? *n->content : std::string();
}

void FakeFiles::SetSparsePrefix(const std::string& path, std::uint64_t bytes) {
  if (Node* n = Lookup(path, false)) n->sparse_prefix = bytes;
}

void FakeFiles::MoveToEnd(const std::string& path) {
  Node* n = Lookup(path, false);
  if (!n || !n->parent) return;
  auto& siblings = n->parent->children;
  auto it = std::find_if(siblings.begin(), siblings.end(),
                         [n](const std::unique_ptr<Node>& c) { return c.get() == n; });
  std::rotate(it, it + 1, siblings.end());
}

void FakeFiles::RefuseAttributeWrites(const std::string& path) {
  if (Node* n = Lookup(path, false)) n->refuse_attribute_writes = true;
}
void FakeFiles::LockFile(const std::string& path, bool locked) {
  if (Node* n = Lookup(path, false)) n->locked = locked;
}
void FakeFiles::FailListing(const std::string& path, std::uint32_t error) {
  if (Node* n = Lookup(path, true)) n->list_error = error;
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
  if (!dir || !dir->folder) {
    *error = 3;  // ERROR_PATH_NOT_FOUND
    return platform::kInvalidHandle;
  }
  if (dir->list_error) {
    *error = dir->list_error;
    return platform::kInvalidHandle;
  }
  auto find = std::make_unique<Find>();
  auto add = [&](const std::string& name, std::uint32_t attributes) {
    if (!Matches(pattern.c_str(), name.c_str())) return;
    platform::FindEntry e;
    e.attributes = Reported(attributes, normal_for_zero_);
    std::snprintf(e.name, sizeof e.name, "%s", name.c_str());
    find->entries.push_back(e);
  };
  bool drive_root = dir->parent == root_.get();
  if (!drive_root) {
    add(".", platform::kAttrDirectory);
    add("..", platform::kAttrDirectory);
  }
  for (auto& child : dir->children) add(child->name, child->attributes);
  if (find->entries.empty()) {
    *error = platform::kErrorFileNotFound;
    return platform::kInvalidHandle;
  }
  *entry = find->entries[0];
  Handle h = next_handle_++;
  finds_[h] = std::move(find);
  return h;
}

bool FakeFiles::FindNextEntry(Handle h, platform::FindEntry* entry) {
  Hook("FindNextEntry", {});
  auto it = finds_.find(h);
  if (it == finds_.end() || it->second->next >= it->second->entries.size()) return false;
  *entry = it->second->entries[it->second->next++];
  return true;
}

void FakeFiles::EndFind(Handle h) {
  Hook("EndFind", {});
  finds_.erase(h);
}

std::uint32_t FakeFiles::ReadAttributes(const char* path) {
  Hook("ReadAttributes", path);
  Node* n = Lookup(path, false);
  return n ? Reported(n->attributes, normal_for_zero_) : platform::kInvalidAttributes;
}

bool FakeFiles::WriteAttributes(const char* path, std::uint32_t attributes) {
  Hook("WriteAttributes", std::string(path) + "=" + std::to_string(attributes));
  Node* n = Lookup(path, false);
  if (!n || n->refuse_attribute_writes) return false;
  // Only the bits SetFileAttributesA can set change; the others (directory,
  // compressed, encrypted, reparse point ...) are the file system's and stay
  // as they are. NORMAL stands for "no attributes".
  const std::uint32_t writable = platform::kAttrWritable;
  n->attributes = (attributes & writable & ~platform::kAttrNormal) | (n->attributes & ~writable);
  return true;
}

std::uint32_t FakeFiles::LogicalDriveStrings(std::uint32_t size, char* buffer) {
  Hook("LogicalDriveStrings", std::to_string(size));
  std::string list;
  if (drive_strings) {
    list = *drive_strings;
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

bool FakeFiles::ReadFolderId(const char* path, platform::FolderId* id) {
  Hook("ReadFolderId", path);
  Node* n = Lookup(path, true);
  if (!n || !n->folder) return false;
  Node* top = n;
  while (top->parent && top->parent != root_.get()) top = top->parent;
  id->volume = static_cast<std::uint32_t>(top->name.empty() ? 0 : top->name[0]);
  id->index = n->id;
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
  if (!dir || !dir->folder) return platform::kInvalidHandle;
  Node* n = Lookup(p, true);
  if (n && (n->folder || n->locked)) return platform::kInvalidHandle;
  bool wants_write = (access & platform::kGenericWrite) != 0;
  if (n && wants_write && (n->attributes & platform::kAttrReadOnly)) return platform::kInvalidHandle;
  switch (disposition) {
    case platform::kCreateAlways:
      // Windows refuses to replace a hidden or system file unless the caller
      // asks for those attributes.
      if (n && (n->attributes & (platform::kAttrHidden | platform::kAttrSystem)) &&
          (flags & (platform::kAttrHidden | platform::kAttrSystem)) !=
              (n->attributes & (platform::kAttrHidden | platform::kAttrSystem)))
        return platform::kInvalidHandle;
      if (!n) {
        AddFile(p, platform::kAttrArchive);
        n = Lookup(p, true);
      }
      n->attributes = platform::kAttrArchive;
      n->content->clear();
      n->sparse_prefix = 0;
      break;
    case platform::kTruncateExisting:
      if (!n) return platform::kInvalidHandle;
      n->content->clear();
      n->sparse_prefix = 0;
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
  state->content = n->content;
  state->sparse_prefix = &n->sparse_prefix;
  Handle h = next_handle_++;
  files_[h] = std::move(state);
  return h;
}

bool FakeFiles::WriteBytes(Handle file, const void* bytes, std::uint32_t count,
                           std::uint32_t* written) {
  Hook("WriteBytes", std::string(static_cast<const char*>(bytes), count));
  write_sizes.push_back(count);
  auto it = files_.find(file);
  if (it == files_.end()) {
    if (written) *written = 0;
    return false;
  }
  OpenFileState& f = *it->second;
  std::uint32_t n = write_limit ? std::min(count, *write_limit) : count;
  std::uint64_t prefix = *f.sparse_prefix;
  std::uint64_t at = f.position < prefix ? 0 : f.position - prefix;
  std::string& c = *f.content;
  if (c.size() < at) c.resize(static_cast<std::size_t>(at), '\0');
  c.replace(static_cast<std::size_t>(at), std::min<std::size_t>(n, c.size() - at),
            static_cast<const char*>(bytes), n);
  f.position = prefix + at + n;
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
  std::uint64_t size = *it->second->sparse_prefix + it->second->content->size();
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
  it->second->position = pos;
}

void FakeFiles::CloseFile(Handle file) {
  Hook("CloseFile", {});
  files_.erase(file);
}

}  // namespace zavero::fake
