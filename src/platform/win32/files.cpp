// The file system and plain-file sides of the seam. Paths come from above in
// the program's 8-bit text (the ANSI code page, UTF-8 where the manifest's
// code page is honoured) and go to the wide functions, in the "\\?\" form
// wherever the plain form would be cut off or would name another entry.
#include "platform/win32/win32.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/win32/extended_path.h"
#include "platform/win32/listed_entry.h"
#include "platform/win32/wide_text.h"

namespace zavero::platform {

namespace {

// The code page the ANSI file functions would convert with.
UINT FileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

// The entry as FindFirstFileA reports it, except for names the code page
// cannot express exactly. FindFirstFileA gives those a best-fit spelling that
// may be the name of another entry (a Greek capital omega becomes "O"), and
// every later call on that path would read and clear the other entry, even one
// the skip mask kept out. Without best fit such a character becomes "?", so
// the path names nothing and the calls on it fail as on a missing entry. With
// UTF-8 as the code page every name is expressed exactly.
void CopyEntry(const WIN32_FIND_DATAW& data, FindEntry* entry) {
  entry->Attributes = data.dwFileAttributes;
  entry->ReparseTag = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
  const UINT page = FileApiCodePage();
  const int size = static_cast<int>(sizeof entry->Name);
  int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, data.cFileName, -1, entry->Name, size,
                              "?", nullptr);
  // Code pages without substitutes (UTF-8) refuse these arguments and lose nothing.
  if (n == 0 && (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER))
    n = WideCharToMultiByte(page, 0, data.cFileName, -1, entry->Name, size, nullptr, nullptr);
  if (n == 0) {
    // A name that does not convert reaches nothing, like any name the code
    // page cannot express.
    entry->Name[0] = '?';
    entry->Name[1] = 0;
  }
  entry->Name[size - 1] = 0;
}

// What a listing saw of an entry that decides how it may be reached: whether
// it was a folder, and whether a link or junction.
constexpr DWORD kListedBits = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

// Whether an entry whose listing saw `listed` may be reached as it is `now`:
// still a folder or still none, and no link or junction unless it was one
// then (the walk goes on through a volume mounted in a folder, which carries
// the bit; Wine reports the target of a Unix link, without the bit, even to
// an opening that asks for the link itself).
bool StillAsListed(DWORD now, DWORD listed) {
  return ((now ^ listed) & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         ((now & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || (listed & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
}

// The folder part of a search or entry path. A drive's root keeps its "\"
// ("C:\*" is in "C:\"), as every path the walk builds from it does.
std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.rfind('\\');
  if (cut == std::string::npos) return std::string();
  std::string folder = path.substr(0, cut);
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  return folder;
}

// folder + "\" + name, the way the walk joins them.
std::string JoinKey(const std::string& folder, const std::string& name) {
  return !folder.empty() && folder.back() == '\\' ? folder + name : folder + '\\' + name;
}

// Whether `key` is `folder` or lies below it.
bool IsWithin(const std::string& folder, const std::string& key) {
  if (folder.empty() || key.compare(0, folder.size(), folder) != 0) return false;
  return key.size() == folder.size() || folder.back() == '\\' || key[folder.size()] == '\\';
}

// FNV-1a: a record holds 8 bytes for the path instead of the path.
std::uint64_t PathHash(const std::string& key) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : key) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

class Win32Files final : public FileSystem, public FileIo {
 public:
  Handle FindFirstEntry(const char* search, FindEntry* entry, std::uint32_t* error) override {
    const std::string folder = FolderOf(search);
    if (!folder.empty() && !HoldFolder(folder)) {
      *error = held_elsewhere_ ? ERROR_SHARING_VIOLATION : ERROR_PATH_NOT_FOUND;
      return kInvalidHandle;
    }
    // Everything in a folder just held is listed through the handle that
    // holds it, which spares opening the folder once more.
    const std::size_t length = std::strlen(search);
    if (!folder.empty() && length >= 2 && std::strcmp(search + length - 2, "\\*") == 0 &&
        !chain_.empty() && chain_.back().Key == folder &&
        chain_.back().Handle != INVALID_HANDLE_VALUE && listed_through_ == INVALID_HANDLE_VALUE &&
        query_directory_ != nullptr) {
      listed_through_ = chain_.back().Handle;
      restart_ = true;
      record_at_ = records_end_ = 0;
      if (NextThroughHeld(entry, error)) {
        listing_ = folder;
        Record(*entry);
        return kListingThroughHeld;
      }
      listed_through_ = INVALID_HANDLE_VALUE;
      if (*error == ERROR_NO_MORE_FILES) *error = ERROR_FILE_NOT_FOUND;  // as FindFirstFile says it
      return kInvalidHandle;
    }
    const wchar_t* path = SystemPath(search, PathUse::Search);
    if (path == nullptr) {
      *error = ERROR_INVALID_NAME;
      return kInvalidHandle;
    }
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(path, &data);
    if (h == INVALID_HANDLE_VALUE) {
      *error = GetLastError();
      return kInvalidHandle;
    }
    CopyEntry(data, entry);
    listing_ = folder;
    Record(*entry);
    return FromHandle(h);
  }
  bool FindNextEntry(Handle find, FindEntry* entry, std::uint32_t* error) override {
    if (find == kListingThroughHeld) {
      if (!NextThroughHeld(entry, error)) return false;
      Record(*entry);
      return true;
    }
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(ToHandle(find), &data)) {
      *error = GetLastError();
      return false;
    }
    CopyEntry(data, entry);
    Record(*entry);
    return true;
  }
  void EndFind(Handle find) override {
    if (find == kListingThroughHeld)
      listed_through_ = INVALID_HANDLE_VALUE;
    else
      FindClose(ToHandle(find));
  }
  std::uint32_t ReadAttributes(const char* path) override {
    DWORD listed = 0;
    const Seen seen = Lookup(path, &listed);
    if (seen == Seen::Differently) return INVALID_FILE_ATTRIBUTES;
    // Held first: RefusedLastName's folder lives in the buffers HoldFolder uses.
    if (seen == Seen::Once && !HoldFolder(FolderOf(path))) return INVALID_FILE_ATTRIBUTES;
    if (RefusedLastName(path))
      return folder_ ? ReadListedEntryAttributes(folder_, name_) : INVALID_FILE_ATTRIBUTES;
    if (seen == Seen::Never) {
      const wchar_t* wide = SystemPath(path, PathUse::Entry);
      return wide ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
    }
    DWORD now = 0;
    return CheckedEntry(path, listed, &now) != INVALID_HANDLE_VALUE ? now : INVALID_FILE_ATTRIBUTES;
  }
  bool WriteAttributes(const char* path, std::uint32_t attributes) override {
    DWORD listed = 0;
    const Seen seen = Lookup(path, &listed);
    if (seen == Seen::Differently) return false;
    if (seen == Seen::Once && !HoldFolder(FolderOf(path))) return false;
    if (RefusedLastName(path))
      return folder_ && WriteListedEntryAttributes(folder_, name_, attributes);
    if (seen == Seen::Never) {
      const wchar_t* wide = SystemPath(path, PathUse::Entry);
      return wide && SetFileAttributesW(wide, attributes) != 0;
    }
    DWORD now = 0;
    HANDLE h = CheckedEntry(path, listed, &now);
    return h != INVALID_HANDLE_VALUE && WriteAttributesThroughHandle(h, attributes);
  }
  std::uint32_t LogicalDriveStrings(std::uint32_t size, char* buffer) override {
    return GetLogicalDriveStringsA(size, buffer);
  }
  std::uint32_t DriveType(const char* root) override { return GetDriveTypeA(root); }
  bool MountsVolume(const char* path) override {
    const wchar_t* wide = SystemPath(path, PathUse::Entry);
    if (wide == nullptr) return false;
    WideText folder(wide, std::wcslen(wide));  // the call wants the folder with its separator
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    wchar_t volume[50];  // "\\?\Volume{GUID}\" and its terminator
    return GetVolumeNameForVolumeMountPointW(folder.c_str(), volume, 50) != 0;
  }
  bool ReadFolderId(const char* path, FolderId* id) override {
    // No access rights are needed to read a folder's identity; backup
    // semantics let CreateFileA open a folder at all.
    const wchar_t* wide = SystemPath(path, PathUse::Entry);
    if (wide == nullptr) return false;
    HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return false;
    id->Volume = info.dwVolumeSerialNumber;
    id->Index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
  }
  void LetGoOfFolders() override {
    DropKeptEntry();
    while (!chain_.empty()) Pop();
  }
  std::uint32_t FullPathName(const char* path, std::uint32_t size, char* buffer) override {
    return GetFullPathNameA(path, size, buffer, nullptr);
  }

  Handle OpenFile(const char* path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition, std::uint32_t flags) override {
    const wchar_t* wide = SystemPath(path, PathUse::Entry);
    if (wide == nullptr) return kInvalidHandle;
    // A link planted at the log's name is opened itself, so what it points to
    // is never emptied nor written; ReadFileId then tells it from a file.
    HANDLE h = CreateFileW(wide, access, share, nullptr, disposition,
                           flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(h);
  }
  std::uint32_t OpenError() override { return GetLastError(); }
  // Every line of the log is checked this way. The volume's serial number,
  // which GetFileInformationByHandle also reads, costs several times the
  // line's own calls under Wine (a round trip to its mount manager); the
  // file's index and final path together say as much.
  bool ReadFileId(Handle file, FileId* id) override {
    const HANDLE h = ToHandle(file);
    // A pipe or a device has no file information worth reading.
    id->PlainFile = GetFileType(h) == FILE_TYPE_DISK;
    DWORD attributes = 0;
    LONGLONG index = 0;
    if (ReadAttributesThroughHandle(h, &attributes) && ReadFileIndex(h, &index) &&
        ReadFinalPath(h, &id->Place)) {
      id->Volume = 0;
      id->Index = static_cast<std::uint64_t>(index);
    } else {
      BY_HANDLE_FILE_INFORMATION info;
      if (!GetFileInformationByHandle(h, &info)) return false;
      attributes = info.dwFileAttributes;
      id->Volume = info.dwVolumeSerialNumber;
      id->Index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
      id->Place.clear();
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
      id->PlainFile = false;
    return true;
  }
  bool WriteBytes(Handle file, const void* bytes, std::uint32_t count,
                  std::uint32_t* written) override {
    DWORD done = 0;
    const BOOL ok = WriteFile(ToHandle(file), bytes, count, &done, nullptr);
    if (written) *written = done;
    return ok != 0;
  }
  std::uint32_t FileSize(Handle file, std::uint32_t* high) override {
    DWORD h = 0;
    const DWORD low = GetFileSize(ToHandle(file), &h);
    if (high) *high = h;
    return low;
  }
  void SeekFromStart(Handle file, std::int32_t low, std::int32_t* high) override {
    LONG h = high ? *high : 0;
    SetFilePointer(ToHandle(file), low, &h, FILE_BEGIN);
    if (high) *high = h;
  }
  void CloseFile(Handle file) override { CloseHandle(ToHandle(file)); }

 private:
  // True when the last name of `path` is one no path reaches (IsRefusedName):
  // then name_ holds it and folder_ its folder as the wide functions take it
  // (null when that does not convert).
  bool RefusedLastName(const char* path) {
    const std::string text = path;
    const std::size_t cut = text.find_last_of("\\/");
    const std::string name = cut == std::string::npos ? text : text.substr(cut + 1);
    const int n = MultiByteToWideChar(FileApiCodePage(), 0, name.c_str(), -1, nullptr, 0);
    if (n <= 1) return false;
    name_.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(FileApiCodePage(), 0, name.c_str(), -1, &name_[0], n);
    name_.resize(static_cast<std::size_t>(n - 1));
    if (!IsRefusedName(name_)) return false;
    // The folder keeps its separator, so that a drive's root stays "C:\".
    folder_ = SystemPath(cut == std::string::npos ? "." : text.substr(0, cut + 1).c_str(),
                         PathUse::Entry);
    return true;
  }

  struct IoStatus {  // IO_STATUS_BLOCK
    void* Status;
    ULONG_PTR Information;
  };

  // The file index (FileInternalInformation) of an open file.
  bool ReadFileIndex(HANDLE h, LONGLONG* index) {
    constexpr int kFileInternalInformation = 6;
    IoStatus status = {};
    return query_file_ != nullptr &&
           query_file_(h, &status, index, sizeof *index, kFileInternalInformation) >= 0;
  }

  // The next entry of the folder listed through listed_through_, as
  // FindNextFile hands it out: the same records (FileBothDirectoryInformation)
  // in the same order, asked for as FindFirstFile asks for them.
  bool NextThroughHeld(FindEntry* entry, std::uint32_t* error) {
    struct BothDirectoryRecord {  // FILE_BOTH_DIR_INFORMATION
      ULONG NextEntryOffset;
      ULONG FileIndex;
      LARGE_INTEGER Times[4];
      LARGE_INTEGER EndOfFile;
      LARGE_INTEGER AllocationSize;
      ULONG FileAttributes;
      ULONG FileNameLength;
      ULONG EaSize;  // the reparse tag, for an entry that has one
      CCHAR ShortNameLength;
      WCHAR ShortName[12];
      WCHAR FileName[1];
    };
    constexpr int kFileBothDirectoryInformation = 3;
    constexpr LONG kNoMoreFiles = static_cast<LONG>(0x80000006);  // STATUS_NO_MORE_FILES
    if (listed_through_ == INVALID_HANDLE_VALUE) {
      *error = ERROR_INVALID_HANDLE;
      return false;
    }
    if (record_at_ >= records_end_) {
      IoStatus status = {};
      const LONG result = query_directory_(
          listed_through_, nullptr, nullptr, nullptr, &status, directory_.data(),
          static_cast<ULONG>(directory_.size() * sizeof directory_[0]),
          kFileBothDirectoryInformation, FALSE, nullptr, restart_ ? TRUE : FALSE);
      restart_ = false;
      if (result < 0 || status.Information == 0) {
        *error = result == kNoMoreFiles || result >= 0 ? ERROR_NO_MORE_FILES
                 : status_to_error_ ? status_to_error_(result) : ERROR_GEN_FAILURE;
        return false;
      }
      record_at_ = 0;
      records_end_ = status.Information;
    }
    const auto* record = reinterpret_cast<const BothDirectoryRecord*>(
        reinterpret_cast<const char*>(directory_.data()) + record_at_);
    record_at_ = record->NextEntryOffset != 0 ? record_at_ + record->NextEntryOffset : records_end_;
    WIN32_FIND_DATAW data = {};
    data.dwFileAttributes = record->FileAttributes;
    data.dwReserved0 = record->EaSize;
    const std::size_t n = std::min<std::size_t>(record->FileNameLength / sizeof(WCHAR), MAX_PATH - 1);
    std::memcpy(data.cFileName, record->FileName, n * sizeof(WCHAR));
    CopyEntry(data, entry);
    return true;
  }

  // The final path of an open file, with its volume: by drive letter or
  // share where it has one, else by the volume's device; its UTF-16 bytes.
  bool ReadFinalPath(HANDLE h, std::string* place) {
    for (DWORD volume : {VOLUME_NAME_DOS, VOLUME_NAME_NT}) {
      DWORD n = GetFinalPathNameByHandleW(h, &final_[0], static_cast<DWORD>(final_.size()), volume);
      if (n >= final_.size()) {
        final_.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, &final_[0], static_cast<DWORD>(final_.size()), volume);
      }
      if (n == 0 || n >= final_.size()) continue;
      place->assign(reinterpret_cast<const char*>(final_.data()), n * sizeof(wchar_t));
      return true;
    }
    return false;
  }

  enum class Seen { Never, Once, Differently };
  struct Listed {
    std::uint64_t Hash;
    DWORD Bits;
  };
  // A folder of the way from the folder the walk started from to the one in
  // hand, held open. Held without sharing the right to delete, it cannot be
  // renamed, removed or replaced while the walk is below it, so the paths
  // through it keep reaching what was checked.
  struct Held {
    std::string Key;
    HANDLE Handle;
  };

  // Notes what the listing of listing_ handed out.
  void Record(const FindEntry& entry) {
    if (listing_.empty() || (entry.Name[0] == '.' && (entry.Name[1] == 0 ||
                                                     (entry.Name[1] == '.' && entry.Name[2] == 0))))
      return;
    records_.push_back({PathHash(JoinKey(listing_, entry.Name)), entry.Attributes & kListedBits});
  }

  // What listings saw of the entry at `key`. Records that share a hash must
  // agree, or the entry counts as changed: two names whose paths share a
  // hash must not lend each other what was listed.
  //
  // The walk looks up each folder it enters while its listings keep adding
  // records: sorting them all anew for every lookup cost more than the
  // walk's own calls. So the records since the last sort wait unsorted
  // behind the sorted ones and are searched one by one, until there are
  // more than about eight times the square root of all, when they are
  // sorted and merged in.
  Seen Lookup(const std::string& key, DWORD* bits) {
    const auto by_hash = [](const Listed& a, const Listed& b) { return a.Hash < b.Hash; };
    const std::size_t waiting = records_.size() - sorted_;
    if (waiting * waiting > 64 * records_.size()) {
      const auto sorted_end = records_.begin() + static_cast<std::ptrdiff_t>(sorted_);
      std::sort(sorted_end, records_.end(), by_hash);
      std::inplace_merge(records_.begin(), sorted_end, records_.end(), by_hash);
      sorted_ = records_.size();
    }
    const std::uint64_t hash = PathHash(key);
    const auto sorted_end = records_.begin() + static_cast<std::ptrdiff_t>(sorted_);
    const auto range = std::equal_range(records_.begin(), sorted_end, Listed{hash, 0}, by_hash);
    Seen seen = Seen::Never;
    const auto note = [&](const Listed& record) {
      if (seen == Seen::Never) {
        *bits = record.Bits;
        seen = Seen::Once;
      } else if (record.Bits != *bits) {
        seen = Seen::Differently;
      }
    };
    for (auto it = range.first; it != range.second; ++it) note(*it);
    for (auto it = sorted_end; it != records_.end(); ++it)
      if (it->Hash == hash) note(*it);
    return seen;
  }

  // The entry at `path` itself (a link or junction is not followed), opened
  // with `access` and checked: it is still what its listing saw (a folder or
  // not, a link or junction or not), and so is every folder on the way to it.
  // The entry at `path` as OpenListed checks it, kept open for the calls on
  // the same entry that follow: the clearing reads an entry, writes it and
  // reads it back, and each open and check is a round trip to the system.
  // The handle is the entry that was checked, whatever happens to its path
  // meanwhile. Opened to read and write attributes, or only to read them
  // where writing is refused (a read-only medium). Reads *attributes afresh.
  HANDLE CheckedEntry(const std::string& path, DWORD listed, DWORD* attributes) {
    if (kept_entry_ != INVALID_HANDLE_VALUE && kept_path_ == path) {
      if (ReadAttributesThroughHandle(kept_entry_, attributes) && StillAsListed(*attributes, listed))
        return kept_entry_;
      DropKeptEntry();
      return INVALID_HANDLE_VALUE;
    }
    DropKeptEntry();
    HANDLE h = OpenListed(path, listed, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, attributes);
    if (h == INVALID_HANDLE_VALUE) h = OpenListed(path, listed, FILE_READ_ATTRIBUTES, attributes);
    if (h != INVALID_HANDLE_VALUE) {
      kept_entry_ = h;
      kept_path_ = path;
    }
    return h;
  }

  void DropKeptEntry() {
    if (kept_entry_ != INVALID_HANDLE_VALUE) CloseHandle(kept_entry_);
    kept_entry_ = INVALID_HANDLE_VALUE;
    kept_path_.clear();
  }

  HANDLE OpenListed(const std::string& path, DWORD listed, DWORD access, DWORD* attributes) {
    if (!HoldFolder(FolderOf(path))) return INVALID_HANDLE_VALUE;
    HANDLE h =
        OpenEntry(path, listed, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (h != INVALID_HANDLE_VALUE &&
        (!ReadAttributesThroughHandle(h, attributes) || !StillAsListed(*attributes, listed))) {
      CloseHandle(h);
      return INVALID_HANDLE_VALUE;
    }
    return h;
  }

  // The entry at `path` itself, as its listing saw it (`listed`). FAT and
  // exFAT drivers that know no reparse points may refuse the flag that asks
  // for the entry itself; then, as SetFileAttributes does, the entry is
  // opened without it, but only one that its listing showed as no link or
  // junction, so the opening cannot be led elsewhere.
  HANDLE OpenEntry(const std::string& path, DWORD listed, DWORD access, DWORD share) {
    const wchar_t* wide = SystemPath(path.c_str(), PathUse::Entry);
    if (wide == nullptr) return INVALID_HANDLE_VALUE;
    HANDLE h = CreateFileW(wide, access, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER &&
        (listed & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
      h = CreateFileW(wide, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                      nullptr);
    return h;
  }

  // Holds the folders from the walk's start down to `key`: each one below
  // the start must still be the folder its listing saw, and one listed as no
  // link or junction must not be one now. The start itself is taken as it is
  // named. False when a folder on the way is not what was listed, or when
  // another program holds one so that it cannot be held (held_elsewhere_):
  // such a folder is not entered at all, since nothing would keep it from
  // being renamed or replaced while the walk is inside.
  //
  // Each is opened to list it: an opening for attributes alone takes no part
  // in the share checks, and would keep nobody from renaming the folder.
  bool HoldFolder(const std::string& key) {
    constexpr DWORD kHold = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    held_elsewhere_ = false;
    while (!chain_.empty() && !IsWithin(chain_.back().Key, key)) Pop();
    if (chain_.empty()) {
      const wchar_t* wide = SystemPath(key.c_str(), PathUse::Entry);
      HANDLE h = wide == nullptr ? INVALID_HANDLE_VALUE
                                 : CreateFileW(wide, kHold, kShare, nullptr, OPEN_EXISTING,
                                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        held_elsewhere_ = true;
        return false;
      }
      chain_.push_back({key, h});  // one that cannot be opened is listed as before
    }
    while (chain_.back().Key != key) {
      const std::string& parent = chain_.back().Key;
      const std::size_t start = parent.size() + (parent.back() == '\\' ? 0 : 1);
      const std::string child = JoinKey(parent, key.substr(start, key.find('\\', start) - start));
      DWORD listed = 0;
      if (Lookup(child, &listed) != Seen::Once) return false;
      HANDLE h = OpenEntry(child, listed, kHold, kShare);
      if (h == INVALID_HANDLE_VALUE) {
        held_elsewhere_ = GetLastError() == ERROR_SHARING_VIOLATION;
        return false;
      }
      DWORD now = 0;
      if (!ReadAttributesThroughHandle(h, &now) || !StillAsListed(now, listed)) {
        CloseHandle(h);
        return false;
      }
      chain_.push_back({child, h});
    }
    return true;
  }

  void Pop() {
    if (chain_.back().Handle == listed_through_) listed_through_ = INVALID_HANDLE_VALUE;
    if (chain_.back().Handle != INVALID_HANDLE_VALUE) CloseHandle(chain_.back().Handle);
    chain_.pop_back();
  }

  // `path` as the wide functions must get it: converted from the program's
  // code page, and in the "\\?\" form when the plain form would be too long
  // or would name another entry. Null when the text does not convert. The
  // result lives until the next call; only the run's own thread calls here
  // (the close clean-up only closes handles).
  const wchar_t* SystemPath(const char* path, PathUse use) {
    const int n = MultiByteToWideChar(FileApiCodePage(), 0, path, -1, nullptr, 0);
    if (n <= 0) return nullptr;
    wide_.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(FileApiCodePage(), 0, path, -1, &wide_[0], n);
    wide_.resize(static_cast<std::size_t>(n - 1));

    const PathStart start = ClassifyPath(wide_);
    if (start == PathStart::Extended || start == PathStart::Device) return wide_.c_str();
    const bool relative = start == PathStart::DriveRelative || start == PathStart::RootRelative ||
                          start == PathStart::Relative;
    // The limit holds for the full path the system makes of a relative one.
    const std::size_t length =
        relative ? GetFullPathNameW(wide_.c_str(), 0, nullptr, nullptr) : wide_.size() + 1;
    if (length <= kPlainPathLimit && !HasMisreadName(wide_, use)) return wide_.c_str();

    WideText base;
    if (relative) {
      const wchar_t* from = start == PathStart::DriveRelative ? nullptr
                            : start == PathStart::RootRelative ? L"\\"
                                                               : L".";
      WideText drive;
      if (from == nullptr) {
        drive = wide_.substr(0, 2);
        from = drive.c_str();
      }
      const DWORD size = GetFullPathNameW(from, 0, nullptr, nullptr);
      if (size == 0) return nullptr;
      base.resize(size);
      const DWORD got = GetFullPathNameW(from, size, &base[0], nullptr);
      if (got == 0 || got >= size) return nullptr;
      base.resize(got);
      // "C:\" and "\\server\share\" end in a separator; the join adds its own.
      if (!base.empty() && base.back() == L'\\') base.pop_back();
    }
    extended_ = ExtendedForm(wide_, base);
    return extended_.c_str();
  }

  WideText wide_;
  WideText extended_;
  std::vector<wchar_t> final_ = std::vector<wchar_t>(MAX_PATH);  // see ReadFinalPath
  using QueryFileFn = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
  const QueryFileFn query_file_ = SystemFunction<QueryFileFn>("ntdll.dll", "NtQueryInformationFile");
  // The listing through a held folder's handle (NextThroughHeld): its find
  // handle, the folder's handle while it lasts, and the records last read.
  static constexpr Handle kListingThroughHeld = 1;  // no system handle is odd
  using QueryDirectoryFn = LONG(WINAPI*)(HANDLE, HANDLE, void*, void*, IoStatus*, void*, ULONG, int,
                                         BOOLEAN, void*, BOOLEAN);
  const QueryDirectoryFn query_directory_ =
      SystemFunction<QueryDirectoryFn>("ntdll.dll", "NtQueryDirectoryFile");
  using StatusToErrorFn = ULONG(WINAPI*)(LONG);
  const StatusToErrorFn status_to_error_ =
      SystemFunction<StatusToErrorFn>("ntdll.dll", "RtlNtStatusToDosError");
  HANDLE listed_through_ = INVALID_HANDLE_VALUE;
  bool restart_ = false;
  std::vector<LONGLONG> directory_ = std::vector<LONGLONG>(8192);  // 64 KiB, aligned for the records
  std::size_t record_at_ = 0, records_end_ = 0;
  WideText name_;                    // see RefusedLastName
  const wchar_t* folder_ = nullptr;
  std::string listing_;          // the folder of the listing in hand
  std::vector<Listed> records_;  // every entry a listing handed out (see Lookup)
  std::size_t sorted_ = 0;       // how many of them, from the first, are sorted by hash
  std::vector<Held> chain_;
  bool held_elsewhere_ = false;  // see HoldFolder
  HANDLE kept_entry_ = INVALID_HANDLE_VALUE;  // see CheckedEntry
  std::string kept_path_;
};

Win32Files g_files;

}  // namespace

FileSystem& RealFileSystem() { return g_files; }
FileIo& RealFileIo() { return g_files; }

}  // namespace zavero::platform
