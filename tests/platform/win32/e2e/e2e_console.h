// What another process's console shows, read as the user sees it: its window, buffer size,
// cursor, colours, modes and title, and the text of its rows.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

inline std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 4, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

inline std::wstring Wide(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  out.resize(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0],
                                 static_cast<int>(out.size())));
  return out;
}

struct Screen {
  bool Read = false;
  int Width = 0, Height = 0, Top = 0, Bottom = 0, CursorX = 0, CursorY = 0, First = 0;
  WORD Attribute = 0;
  std::string Title;
  DWORD OutputMode = 0, InputMode = 0;
  std::vector<std::string> Rows;  // from row First on, without trailing blanks
  std::vector<WORD> Colours;      // of each row's first non-blank cell

  std::string Row(int y) const {
    return y >= First && y - First < static_cast<int>(Rows.size()) ? Rows[y - First] : "?";
  }
  int Colour(int y) const {
    return y >= First && y - First < static_cast<int>(Colours.size()) ? Colours[y - First] : -1;
  }
  std::string Header() const {
    char line[200];
    std::snprintf(line, sizeof line, "size %d %d window %d %d cursor %d %d attribute %d output %lx input %lx\n",
                  Width, Height, Top, Bottom, CursorX, CursorY, Attribute, OutputMode, InputMode);
    return line;
  }
};

// Back in the runner's own console, when it was started in one (by hand, from cmd.exe).
inline void ComeHome() {
  FreeConsole();
  AttachConsole(ATTACH_PARENT_PROCESS);
}

// The console the runner is attached to: rows `first` to `last` (by default those of its
// window).
inline Screen LookHere(int first = -1, int last = -1) {
  Screen s;
  {
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, share, 0, OPEN_EXISTING, 0, 0);
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, share, 0, OPEN_EXISTING, 0, 0);
    CONSOLE_SCREEN_BUFFER_INFO info;
    s.Read = GetConsoleScreenBufferInfo(out, &info) && GetConsoleMode(out, &s.OutputMode) &&
             GetConsoleMode(in, &s.InputMode);
    if (s.Read) {
      s.Width = info.dwSize.X, s.Height = info.dwSize.Y;
      s.Top = info.srWindow.Top, s.Bottom = info.srWindow.Bottom;
      s.CursorX = info.dwCursorPosition.X, s.CursorY = info.dwCursorPosition.Y;
      s.Attribute = info.wAttributes;
      s.First = first < 0 ? s.Top : first;
      wchar_t title[256] = {};
      GetConsoleTitleW(title, 256);
      s.Title = Utf8(title);
      std::vector<wchar_t> row(s.Width);
      std::vector<WORD> colours(s.Width);
      for (int y = s.First; y <= (last < 0 ? s.Bottom : last) && y < s.Height; ++y) {
        DWORD n = 0, m = 0;
        COORD at = {0, static_cast<SHORT>(y)};
        ReadConsoleOutputCharacterW(out, row.data(), s.Width, at, &n);
        ReadConsoleOutputAttribute(out, colours.data(), s.Width, at, &m);
        while (n > 0 && row[n - 1] == L' ') --n;
        DWORD x = 0;
        while (x < n && row[x] == L' ') ++x;
        s.Rows.push_back(Utf8(std::wstring(row.data(), n)));
        s.Colours.push_back(x < n && x < m ? colours[x] : 0);
      }
    }
    CloseHandle(out);
    CloseHandle(in);
  }
  return s;
}

// The console of process `pid`.
inline Screen Look(DWORD pid, int first = -1, int last = -1) {
  FreeConsole();
  Screen s = AttachConsole(pid) ? LookHere(first, last) : Screen();
  ComeHome();
  return s;
}
