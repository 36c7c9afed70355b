// console_probe TARGET [FIRST LAST]: what the console of TARGET (a process id, or the name of
// a program such as zavero.exe) shows: one line "size W H window TOP BOTTOM cursor X Y
// attribute A output M input I" (modes in hex), then the rows FIRST to LAST of its buffer
// (by default those of its window), each as "ROW|text" without trailing blanks.
// Exit status 2: no such process; 3: its console could not be read.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static DWORD ProcessId(const char* target) {
  if (DWORD pid = std::strtoul(target, nullptr, 10)) return pid;
  HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(all, &entry); more; more = Process32Next(all, &entry))
    if (_stricmp(entry.szExeFile, target) == 0) return entry.th32ProcessID;
  return 0;
}

int main(int argc, char** argv) {
  const DWORD pid = argc > 1 ? ProcessId(argv[1]) : 0;
  if (pid == 0) return 2;
  FreeConsole();
  if (!AttachConsole(pid)) return 3;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE, rw = GENERIC_READ | GENERIC_WRITE;
  HANDLE out = CreateFileW(L"CONOUT$", rw, share, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE in = CreateFileW(L"CONIN$", rw, share, nullptr, OPEN_EXISTING, 0, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  DWORD out_mode = 0, in_mode = 0;
  if (!GetConsoleScreenBufferInfo(out, &info) || !GetConsoleMode(out, &out_mode) ||
      !GetConsoleMode(in, &in_mode))
    return 3;
  std::printf("size %d %d window %d %d cursor %d %d attribute %d output %lx input %lx\n",
              info.dwSize.X, info.dwSize.Y, info.srWindow.Top, info.srWindow.Bottom,
              info.dwCursorPosition.X, info.dwCursorPosition.Y, info.wAttributes,
              static_cast<unsigned long>(out_mode), static_cast<unsigned long>(in_mode));
  const int first = argc > 3 ? std::atoi(argv[2]) : info.srWindow.Top;
  const int last = argc > 3 ? std::atoi(argv[3]) : info.srWindow.Bottom;
  std::vector<wchar_t> row(info.dwSize.X);
  std::vector<char> text(row.size() * 4 + 1);
  for (int y = first; y <= last && y < info.dwSize.Y; ++y) {
    DWORD n = 0;
    ReadConsoleOutputCharacterW(out, row.data(), info.dwSize.X, {0, static_cast<SHORT>(y)}, &n);
    while (n > 0 && row[n - 1] == L' ') --n;
    text[WideCharToMultiByte(CP_UTF8, 0, row.data(), n, text.data(), text.size(), 0, 0)] = 0;
    std::printf("%d|%s\n", y, text.data());
  }
  return 0;
}
