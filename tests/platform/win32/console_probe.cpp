// console_probe TARGET [FIRST LAST]: what the console of TARGET (a process id, or the name of
// a program such as zavero.exe) shows: one line "size W H window TOP BOTTOM cursor X Y
// attribute A output M input I" (modes in hex), then the rows FIRST to LAST of its buffer
// (by default those of its window), each as "ROW|text" without trailing blanks.
// Exit status 2: no such process; 3: its console could not be read.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  DWORD pid = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  for (BOOL more = Process32First(all, &entry); argc > 1 && !pid && more;
       more = Process32Next(all, &entry))
    if (_stricmp(entry.szExeFile, argv[1]) == 0) pid = entry.th32ProcessID;
  if (pid == 0) return 2;
  FreeConsole();
  if (!AttachConsole(pid)) return 3;
  CONSOLE_SCREEN_BUFFER_INFO info;
  DWORD out_mode = 0, in_mode = 0, share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, share, 0, OPEN_EXISTING, 0, 0);
  HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, share, 0, OPEN_EXISTING, 0, 0);
  if (!GetConsoleScreenBufferInfo(out, &info) || !GetConsoleMode(out, &out_mode) ||
      !GetConsoleMode(in, &in_mode))
    return 3;
  std::printf("size %d %d window %d %d cursor %d %d attribute %d output %lx input %lx\n",
              info.dwSize.X, info.dwSize.Y, info.srWindow.Top, info.srWindow.Bottom,
              info.dwCursorPosition.X, info.dwCursorPosition.Y, info.wAttributes, out_mode,
              in_mode);
  std::vector<wchar_t> row(info.dwSize.X);
  std::vector<char> text(row.size() * 4 + 1);
  for (int y = argc > 3 ? std::atoi(argv[2]) : info.srWindow.Top;
       y <= (argc > 3 ? std::atoi(argv[3]) : info.srWindow.Bottom) && y < info.dwSize.Y; ++y) {
    DWORD n = 0;
    ReadConsoleOutputCharacterW(out, row.data(), info.dwSize.X, {0, static_cast<SHORT>(y)}, &n);
    while (n > 0 && row[n - 1] == L' ') --n;
    text[WideCharToMultiByte(CP_UTF8, 0, row.data(), n, text.data(), text.size(), 0, 0)] = 0;
    std::printf("%d|%s\n", y, text.data());
  }
}
