/* winmm.dll as someone could drop it beside zavero.exe: malware on a stick, a drive-by
 * download into the same Downloads folder. Whenever it is loaded into a process, its DllMain
 * creates the empty file "<its own path>.ran". It exports the two functions a program that
 * imports winmm for its timer needs, so such a program starts and runs as usual with this DLL
 * in place and nobody notices. Built with -shared -Wl,--kill-at (undecorated names). */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcpyA(path + n, ".ran");
      HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
  }
  return TRUE;
}

__declspec(dllexport) UINT WINAPI timeBeginPeriod(UINT period) { (void)period; return 0; }
__declspec(dllexport) UINT WINAPI timeEndPeriod(UINT period) { (void)period; return 0; }
