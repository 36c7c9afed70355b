// The one header through which zavero includes <windows.h>. Only the
// files of src/platform/win32 include it; everything else stays portable.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>

#include <cstdint>

#include "platform/machine.h"

namespace zavero::platform {

// The seam carries handles as integers; these turn them back and forth.
inline HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
inline HWND ToWindow(Handle h) { return reinterpret_cast<HWND>(h); }
inline Handle FromHandle(const void* h) { return reinterpret_cast<Handle>(h); }

// A kernel32 function looked up by name at run time, null where this Windows
// lacks it: the exe then still starts, and the caller does without.
// SystemFunction does the same in another DLL every process has loaded (ntdll).
template <typename Fn>
Fn SystemFunction(const char* module, const char* name) {
  HMODULE loaded = GetModuleHandleA(module);
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(loaded ? GetProcAddress(loaded, name) : nullptr));
}
template <typename Fn>
Fn KernelFunction(const char* name) {
  return SystemFunction<Fn>("Kernel32.DLL", name);
}

// Loads a DLL from the system folder only, never from the program's folder or
// the current folder (libraries.cpp). nullptr when that fails.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a DLL the program needs only now and then (user32, shell32,
// ole32: for the question box and the log viewer, at the end of a run),
// loaded from the system folder on first use; null where that fails.
// Imported, user32 would be set up as the program starts, which under Wine
// costs about 20 ms, more than walking 30 folders.
template <typename Fn>
Fn LateFunction(const wchar_t* module, const char* name) {
  HMODULE loaded = GetModuleHandleW(module);
  if (loaded == nullptr) loaded = LoadSystemLibrary(module);
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(loaded ? GetProcAddress(loaded, name) : nullptr));
}

// Rows the console holds (Console::JoinNextRow) go out on the console's own
// thread while the caller pauses (console.cpp).
void LetOutHeldRowsAside();

}  // namespace zavero::platform
