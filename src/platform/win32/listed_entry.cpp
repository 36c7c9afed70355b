#include "platform/win32/listed_entry.h"

#include <cstring>
#include <vector>

namespace zavero::platform {

namespace {

using HandleInfoFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
using OpenByIdFn = HANDLE(WINAPI*)(HANDLE, LPFILE_ID_DESCRIPTOR, DWORD, DWORD,
                                   LPSECURITY_ATTRIBUTES, DWORD);

// Looked up by name, as the exe still starts where they are missing (before
// Vista); there such an entry stays out of reach, as any path leaves it.
const HandleInfoFn g_read_info = KernelFunction<HandleInfoFn>("GetFileInformationByHandleEx");
const HandleInfoFn g_write_info = KernelFunction<HandleInfoFn>("SetFileInformationByHandle");
const OpenByIdFn g_open_by_id = KernelFunction<OpenByIdFn>("OpenFileById");

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The entry named exactly `name` in the listing of `folder`, opened by its
// file ID for `access`, without following it if it is a link, as the path
// calls treat a link. INVALID_HANDLE_VALUE when any step fails.
HANDLE OpenListedEntry(const wchar_t* folder, const WideText& name, DWORD access) {
  if (!g_read_info || !g_write_info || !g_open_by_id) return INVALID_HANDLE_VALUE;
  HANDLE dir = CreateFileW(folder, FILE_LIST_DIRECTORY, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (dir == INVALID_HANDLE_VALUE) return dir;
  std::vector<LONGLONG> buffer(8192);  // 64 KiB, aligned as the records need
  const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
  FILE_INFO_BY_HANDLE_CLASS part = FileIdBothDirectoryRestartInfo;
  HANDLE entry = INVALID_HANDLE_VALUE;
  while (entry == INVALID_HANDLE_VALUE && g_read_info(dir, part, buffer.data(), size)) {
    part = FileIdBothDirectoryInfo;
    const auto* at = reinterpret_cast<const unsigned char*>(buffer.data());
    for (;;) {
      const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      if (record->FileNameLength == name.size() * sizeof(wchar_t) &&
          std::memcmp(record->FileName, name.c_str(), record->FileNameLength) == 0) {
        FILE_ID_DESCRIPTOR id = {};
        id.dwSize = sizeof id;
        id.Type = FileIdType;
        id.FileId = record->FileId;
        entry = g_open_by_id(dir, &id, access, kShareAll, nullptr,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
        break;
      }
      if (record->NextEntryOffset == 0) break;
      at += record->NextEntryOffset;
    }
  }
  CloseHandle(dir);
  return entry;
}

}  // namespace

DWORD ReadListedEntryAttributes(const wchar_t* folder, const WideText& name) {
  HANDLE entry = OpenListedEntry(folder, name, FILE_READ_ATTRIBUTES);
  if (entry == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  ReadAttributesThroughHandle(entry, &attributes);  // left as it is when unread
  CloseHandle(entry);
  return attributes;
}

bool ReadAttributesThroughHandle(HANDLE entry, DWORD* attributes) {
  if (g_read_info) {
    FILE_BASIC_INFO info;
    if (!g_read_info(entry, FileBasicInfo, &info, sizeof info)) return false;
    *attributes = info.FileAttributes;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(entry, &info)) return false;
  *attributes = info.dwFileAttributes;
  return true;
}

bool WriteAttributesThroughHandle(HANDLE entry, DWORD attributes) {
  if (!g_write_info) return false;
  FILE_BASIC_INFO info = {};  // times 0: left as they are
  // 0 would mean "no change" here; SetFileAttributes sends "normal" with the
  // word for it.
  info.FileAttributes = (attributes & kAttrWritable) | FILE_ATTRIBUTE_NORMAL;
  return g_write_info(entry, FileBasicInfo, &info, sizeof info) != 0;
}

bool WriteListedEntryAttributes(const wchar_t* folder, const WideText& name, DWORD attributes) {
  HANDLE entry = OpenListedEntry(folder, name, FILE_WRITE_ATTRIBUTES);
  if (entry == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAttributesThroughHandle(entry, attributes);
  CloseHandle(entry);
  return written;
}

}  // namespace zavero::platform
