// Where the program's DLLs come from. zavero is copied onto infected sticks
// and into Downloads folders and started from there; a DLL dropped beside it
// must never be loaded. Windows' known DLLs always come from the system
// folder; every other DLL is looked for in the program's folder first, unless
// the process says otherwise before the first such load.
#include "platform/win32/win32.h"

#include <cwchar>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace zavero::platform {

void RestrictLibrarySearch() {
  // Looked up by name: the function came with KB2533623 for Windows Vista and
  // 7 and is part of every later Windows.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set_default = KernelFunction<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
  if (set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // A Windows 7 without that update keeps the program's folder first for the
  // DLLs that the common controls, COM, the question box or the shell load
  // later; all the program can still take out of the search is the current
  // folder. Its own run-time load (LoadSystemLibrary) names the system folder
  // in full there.
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // No LOAD_LIBRARY_SEARCH_* flags (Windows 7 without KB2533623): the full
  // path, with the DLL's own folder searched first for what it imports.
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length + 1 + std::wcslen(name) >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  std::wcscpy(path + length + 1, name);
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace zavero::platform
