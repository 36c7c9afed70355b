// The file system and plain-file sides of the seam, over the ANSI kernel32 calls
// (the find calls through their wide forms, converted as the ANSI ones convert).
#include "platform/win32.h"

#include <cstring>

namespace zavero::platform {

namespace {

// The code page FindFirstFileA would convert names with.
UINT FileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

// The entry as FindFirstFileA reports it, except for names the code page
// cannot express exactly. FindFirstFileA gives those a best-fit spelling that
// may be the name of another entry (a Greek capital omega becomes "O"), and
// every later call on that path would read and clear the other entry, even one
// the skip mask kept out. Without best fit such a character becomes "?", so
// the path names nothing and the calls on it fail as on a missing entry.
void CopyEntry(const WIN32_FIND_DATAW& data, FindEntry* entry) {
  entry->attributes = data.dwFileAttributes;
  const UINT page = FileApiCodePage();
  const int size = static_cast<int>(sizeof entry->name);
  int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, data.cFileName, -1, entry->name, size,
                              "?", nullptr);
  // Code pages without substitutes (UTF-8) refuse these arguments and lose nothing.
  if (n == 0 && (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER))
    n = WideCharToMultiByte(page, 0, data.cFileName, -1, entry->name, size, nullptr, nullptr);
  if (n == 0) {
    // Longer than the ANSI record holds (double-byte code pages): a name that
    // reaches nothing, like any name the code page cannot express.
    entry->name[0] = '?';
    entry->name[1] = 0;
  }
  entry->name[size - 1] = 0;
}

class Win32Files final : public FileSystem, public FileIo {
 public:
  Handle FindFirstEntry(const char* search, FindEntry* entry, std::uint32_t* error) override {
    // The limit of the ANSI find functions: MAX_PATH characters with the
    // terminator, counted after the conversion they make.
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(FileApiCodePage(), 0, search, -1, wide, MAX_PATH) == 0) {
      *error = ERROR_FILENAME_EXCED_RANGE;
      return kInvalidHandle;
    }
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(wide, &data);
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
  std::uint32_t ReadAttributes(const char* path) override { return GetFileAttributesA(path); }
  bool WriteAttributes(const char* path, std::uint32_t attributes) override {
    return SetFileAttributesA(path, attributes) != 0;
  }
  std::uint32_t LogicalDriveStrings(std::uint32_t size, char* buffer) override {
    return GetLogicalDriveStringsA(size, buffer);
  }
  std::uint32_t DriveType(const char* root) override { return GetDriveTypeA(root); }
  bool ReadFolderId(const char* path, FolderId* id) override {
    // No access rights are needed to read a folder's identity; backup
    // semantics let CreateFileA open a folder at all.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!ok) return false;
    id->volume = info.dwVolumeSerialNumber;
    id->index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
  }
  std::uint32_t FullPathName(const char* path, std::uint32_t size, char* buffer) override {
    return GetFullPathNameA(path, size, buffer, nullptr);
  }

  Handle OpenFile(const char* path, std::uint32_t access, std::uint32_t share,
                  std::uint32_t disposition, std::uint32_t flags) override {
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
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
};

Win32Files g_files;

}  // namespace

FileSystem& RealFileSystem() { return g_files; }
FileIo& RealFileIo() { return g_files; }

}  // namespace zavero::platform
