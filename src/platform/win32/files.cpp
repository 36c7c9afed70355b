// The file system and plain-file sides of the seam. Paths come from above in
// the program's 8-bit text (the ANSI code page, UTF-8 where the manifest's
// code page is honoured) and go to the wide functions, in the "\\?\" form
// wherever the plain form would be cut off or would name another entry.
#include "platform/win32/win32.h"

#include <cstring>

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

class Win32Files final : public FileSystem, public FileIo {
 public:
  Handle FindFirstEntry(const char* search, FindEntry* entry, std::uint32_t* error) override {
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
    return FromHandle(h);
  }
  bool FindNextEntry(Handle find, FindEntry* entry) override {
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(ToHandle(find), &data)) return false;
    CopyEntry(data, entry);
    return true;
  }
  void EndFind(Handle find) override { FindClose(ToHandle(find)); }
  std::uint32_t ReadAttributes(const char* path) override {
    if (RefusedLastName(path))
      return folder_ ? ReadListedEntryAttributes(folder_, name_) : INVALID_FILE_ATTRIBUTES;
    const wchar_t* wide = SystemPath(path, PathUse::Entry);
    return wide ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
  }
  bool WriteAttributes(const char* path, std::uint32_t attributes) override {
    if (RefusedLastName(path))
      return folder_ && WriteListedEntryAttributes(folder_, name_, attributes);
    const wchar_t* wide = SystemPath(path, PathUse::Entry);
    return wide && SetFileAttributesW(wide, attributes) != 0;
  }
  std::uint32_t LogicalDriveStrings(std::uint32_t size, char* buffer) override {
    return GetLogicalDriveStringsA(size, buffer);
  }
  std::uint32_t DriveType(const char* root) override { return GetDriveTypeA(root); }
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
  std::uint32_t FullPathName(const char* path, std::uint32_t size, char* buffer) override {
    return GetFullPathNameA(path, size, buffer, nullptr);
  }

  Handle OpenFile(const char* path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition, std::uint32_t flags) override {
    const wchar_t* wide = SystemPath(path, PathUse::Entry);
    if (wide == nullptr) return kInvalidHandle;
    HANDLE h = CreateFileW(wide, access, share, nullptr, disposition, flags, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidHandle : FromHandle(h);
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
  WideText name_;                    // see RefusedLastName
  const wchar_t* folder_ = nullptr;
};

Win32Files g_files;

}  // namespace

FileSystem& RealFileSystem() { return g_files; }
FileIo& RealFileIo() { return g_files; }

}  // namespace zavero::platform
