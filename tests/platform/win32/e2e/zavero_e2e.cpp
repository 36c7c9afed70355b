// zavero_e2e ZAVERO_EXE WORK_FOLDER [--filesystem ntfs|fat32|exfat] [--only NAME]
//
// The end-to-end proof of zavero.exe on Windows (and under Wine): it makes trees with the
// attribute bits it needs below WORK_FOLDER, starts the program in a console of its own or
// in cmd.exe, reads that console as the user sees it, answers the question box, checks the
// bits on disk and the log byte for byte, and ends the program as a user does. One line
// "ok N - what" / "not ok N - what" per check, then "N passed, N failed[, N skipped]", also
// written to WORK_FOLDER\report.txt; each screen checked is kept in WORK_FOLDER\captures.
// Exit status 0 when no check failed. (zavero_e2e --console ... is the runner as its own
// helper, see InConsole.)
#include "e2e_console.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// ------------------------------------------------------------------ the report

std::wstring g_work, g_bin, g_exe;
FILE* g_report = nullptr;
HANDLE g_stdout = nullptr;
int g_count = 0, g_passed = 0, g_failed = 0, g_skipped = 0;

void Print(const std::string& line) {
  std::string text = line + "\n";
  if (g_report) std::fputs(text.c_str(), g_report), std::fflush(g_report);
  DWORD n = 0;
  if (GetFileType(g_stdout) != FILE_TYPE_CHAR) {
    WriteFile(g_stdout, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    return;
  }
  // Run by hand in a console: between looks at another console the runner is back in its own.
  HANDLE out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  std::wstring wide = Wide(text);
  WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &n, nullptr);
  CloseHandle(out);
}

bool Check(bool ok, const std::string& what, const std::string& detail = "") {
  ++g_count;
  ++(ok ? g_passed : g_failed);
  Print((ok ? "ok " : "not ok ") + std::to_string(g_count) + " - " + what);
  if (!ok && !detail.empty()) Print("#   " + detail);
  return ok;
}

bool CheckEq(const std::string& what, const std::string& expected, const std::string& actual) {
  return Check(expected == actual, what, "expected [" + expected + "]\n#   actual   [" + actual + "]");
}

void Skip(const std::string& what, const std::string& reason) {
  ++g_count, ++g_skipped;
  Print("ok " + std::to_string(g_count) + " - " + what + " # skipped: " + reason);
}

// ------------------------------------------------------------------ trees on disk

// The form that takes paths of any length and names ending in a dot or a blank.
std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

// Makes the entries of `lines`, each "f BITS PATH" or "d BITS PATH" ("/" between names,
// BITS hex or "-"), below `root`; folders on the way are made plain.
void MakeTree(const std::wstring& root, const std::vector<std::string>& lines) {
  std::vector<std::pair<std::wstring, DWORD>> marks;
  CreateDirectoryW(Long(root).c_str(), nullptr);
  for (const std::string& line : lines) {
    std::wstring rel = Wide(line.substr(line.find(' ', 2) + 1)), path = root;
    std::replace(rel.begin(), rel.end(), L'/', L'\\');
    for (size_t at = 0;; ++at) {
      size_t end = rel.find(L'\\', at);
      path = root + L"\\" + rel.substr(0, end);
      if (end == std::wstring::npos) break;
      CreateDirectoryW(Long(path).c_str(), nullptr);
      at = end;
    }
    if (line[0] == 'd') {
      CreateDirectoryW(Long(path).c_str(), nullptr);
    } else {
      HANDLE f = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      CloseHandle(f);
    }
    std::string bits = line.substr(2, line.find(' ', 2) - 2);
    if (bits != "-") marks.emplace_back(path, std::stoul(bits, nullptr, 16));
  }
  // Once everything is made: a read-only folder keeps Wine from making its entries.
  for (const auto& mark : marks) SetFileAttributesW(Long(mark.first).c_str(), mark.second);
}

// Every entry below `root` with its attributes: the state a run may change.
using State = std::map<std::wstring, DWORD>;
void ReadState(const std::wstring& root, const std::wstring& rel, State& state) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(Long(root + rel + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    state[rel + L"\\" + name] = found.dwFileAttributes;
    // A link is an entry of its own, as it is to the walk.
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY)
      ReadState(root, rel + L"\\" + name, state);
  } while (FindNextFileW(find, &found));
  FindClose(find);
}
State ReadState(const std::wstring& root) {
  State state;
  ReadState(root, L"", state);
  return state;
}
std::string Show(const State& state) {
  std::string text;
  for (const auto& e : state) text += Utf8(e.first) + " " + std::to_string(e.second) + "; ";
  return text;
}

// What is left to read from `from` (a file, a pipe).
std::string ReadRest(HANDLE from) {
  std::string bytes;
  char chunk[65536];
  DWORD n = 0;
  while (from != INVALID_HANDLE_VALUE && ::ReadFile(from, chunk, sizeof chunk, &n, nullptr) && n) bytes.append(chunk, n);
  return bytes;
}

std::string ReadFile(const std::wstring& path) {
  HANDLE f = CreateFileW(Long(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                         FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string bytes = ReadRest(f);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return bytes;
}

// ------------------------------------------------------------------ the expected log

struct Expected {
  bool clear = true;
  int include = 2, skip = 4;
  std::string pattern = "*", folder;
  std::vector<std::string> skipped, selected;  // full paths in walk order
  std::vector<std::string> said;               // lines said at the end, before the skip count
};

std::string LeftAlone(size_t count, int skip, const std::string& pattern, int include) {
  return " " + std::to_string(count) + (count == 1 ? " entry" : " entries") +
         " skipped (attributes $" + std::to_string(skip) + (count == 1 ? "); take it" : "); take them") +
         " with parameters 4-8: " + pattern + " 1 1 0 " + std::to_string(include);
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> LogLines(const Expected& e) {
  std::vector<std::string> lines = {"QOR_ZAVERO has been started...",
    (e.clear ? "Clear attributes: $" : "include attributes: $") + std::to_string(e.include),
    "skip attributes: $" + std::to_string(e.skip), "searching files: " + e.pattern,
    "search in folder: " + e.folder};
  for (const std::string& p : e.skipped)
    lines.push_back(" skipped (attributes $" + std::to_string(e.skip) + "): " + p);
  lines.push_back(e.clear ? " clearing..." : " listing...");
  for (const std::string& p : e.selected) {
    lines.push_back("   " + p);
    if (e.clear) lines.push_back("     ...sucsess!");
  }
  lines.insert(lines.end(), e.said.begin(), e.said.end());
  if (!e.skipped.empty()) lines.push_back(LeftAlone(e.skipped.size(), e.skip, e.pattern, e.include));
  lines.push_back("finished!");
  return lines;
}

// ------------------------------------------------------------------ the program's run

struct Run {
  std::string name;
  PROCESS_INFORMATION process = {};
  DWORD zavero = 0;  // the process whose console is read: zavero.exe or the cmd.exe it runs in
};

std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring q = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') { ++slashes; q += c; continue; }
    if (c == L'"') q.append(slashes + 1, L'\\');
    slashes = 0;
    q += c;
  }
  return q.append(slashes, L'\\') + L"\"";
}

// Starts `command` in a new console with the working folder WORK\bin.
Run Start(const std::string& name, const std::wstring& command) {
  Run run;
  run.name = name;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  std::wstring line = command;
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                      g_bin.c_str(), &si, &run.process))
    Print("# cannot start " + Utf8(command) + ": error " + std::to_string(GetLastError()));
  run.zavero = run.process.dwProcessId;
  return run;
}

// Starts zavero.exe with `args`; with `console` ("COLS ROWS FILE TEXT") through the runner
// itself, which gives the console that size (see InConsole).
Run StartZavero(const std::string& name, const std::vector<std::wstring>& args, const std::wstring& console = L"") {
  std::wstring line = Quoted(g_bin + L"\\zavero.exe");
  for (const std::wstring& a : args) line += L" " + Quoted(a);
  if (console.empty()) return Start(name, line);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return Start(name, Quoted(self) + L" --console " + console + L" " + line);
}

bool Alive(HANDLE process) { return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

bool WaitFor(int seconds, const std::function<bool()>& done) {
  for (DWORD t0 = GetTickCount(); !done(); Sleep(100))
    if (GetTickCount() - t0 > static_cast<DWORD>(seconds) * 1000) return false;
  return true;
}

bool LogHas(const std::wstring& log, const std::string& text) {
  return ReadFile(log).find(text) != std::string::npos;
}

// Keeps the screen as WORK\captures\LABEL.txt for the reader of a failed run.
void Capture(const Screen& s, const std::string& label) {
  FILE* f = _wfopen((g_work + L"\\captures\\" + Wide(label) + L".txt").c_str(), L"wb");
  if (!f) return;
  std::fputs(s.Header().c_str(), f);
  for (size_t i = 0; i < s.Rows.size(); ++i)
    std::fprintf(f, "%d|%s\n", s.First + static_cast<int>(i), s.Rows[i].c_str());
  std::fclose(f);
}

// A running process that `parent` started from the file `image`; 0 when there is none.
DWORD ChildNamed(DWORD parent, const wchar_t* image) {
  PROCESSENTRY32W e = {};
  e.dwSize = sizeof e;
  DWORD found = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  for (BOOL more = Process32FirstW(snap, &e); more && !found; more = Process32NextW(snap, &e))
    if (e.th32ParentProcessID == parent && _wcsicmp(e.szExeFile, image) == 0) found = e.th32ProcessID;
  CloseHandle(snap);
  return found;
}

// A top-level window of process `pid` (any, when 0) whose title is `title`.
struct Wanted { std::wstring title; DWORD pid; HWND found; };
BOOL CALLBACK TitleIs(HWND w, LPARAM p) {
  auto* want = reinterpret_cast<Wanted*>(p);
  wchar_t text[512] = {};
  DWORD owner = 0;
  GetWindowTextW(w, text, 512);
  GetWindowThreadProcessId(w, &owner);
  if (want->title != text || (want->pid && owner != want->pid) || !IsWindowVisible(w)) return TRUE;
  want->found = w;
  return FALSE;
}
HWND FindTitled(const std::wstring& title, DWORD pid) {
  Wanted want = {title, pid, nullptr};
  EnumWindows(TitleIs, reinterpret_cast<LPARAM>(&want));
  return want.found;
}

// Processor time of a process over `ms` milliseconds, in per cent of one core.
int CpuPercent(HANDLE process, DWORD ms) {
  auto used = [process] {
    FILETIME a, b, k, u;
    GetProcessTimes(process, &a, &b, &k, &u);
    return (ULONGLONG(k.dwHighDateTime) << 32 | k.dwLowDateTime) +
           (ULONGLONG(u.dwHighDateTime) << 32 | u.dwLowDateTime);
  };
  ULONGLONG t0 = used();
  Sleep(ms);
  return static_cast<int>((used() - t0) / 100 / ms);  // 100 ns units against ms
}

// ------------------------------------------------------------------ the checks of a run

// Waits for "finished!" in the log and on the window's last row.
bool RunToEnd(Run& run, const std::wstring& log, Screen& end) {
  bool done = WaitFor(300, [&] { return LogHas(log, "finished!\r\n"); }) &&
              WaitFor(30, [&] {
                end = Look(run.zavero);
                return end.Read && end.Row(end.Bottom) == "finished!";
              });
  Capture(end, run.name + "-end");
  return Check(done, run.name + ": ran to \"finished!\" in the log and on the window's last row");
}

// The screen at the end of a run started on the window's first row: the banner and the log
// path, the count found, the phase line, one row per entry (two blanks before it) and then
// the lines said at the end, round after round over the rows from 3 to the last but one,
// "finished!" alone on the last row with the cursor after it; their colours; the title.
void CheckScreen(const Run& run, const Screen& s, const std::string& log_shown, const Expected& e) {
  int band = s.Bottom - s.Top - 3;
  std::vector<std::pair<std::string, int>> rows(band > 0 ? band + 4 : 1, {"", 0});
  rows[0] = {"QOR_ZAVERO has been started...", 12}, rows[1] = {"Writing to: " + log_shown, 15};
  // A start folder it could not read gets no count.
  if (e.said.empty()) rows[2] = {" files found: " + std::to_string(e.selected.size()), 15};
  rows[3] = {e.clear ? " clearing..." : " listing...", 9};
  std::vector<std::pair<std::string, int>> drawn;
  for (const std::string& p : e.selected) drawn.push_back({"  " + p, 9});
  for (const std::string& l : e.said) drawn.push_back({l, 12});
  if (!e.skipped.empty()) drawn.push_back({LeftAlone(e.skipped.size(), e.skip, e.pattern, e.include), 12});
  for (size_t k = 1; k <= drawn.size(); ++k) rows[3 + k % band] = drawn[k - 1];
  rows.back() = {"finished!", 12};
  std::string expected = "title ZAVERO von QOR|cursor 9 " + std::to_string(s.Bottom) + "|", actual =
    "title " + s.Title + "|cursor " + std::to_string(s.CursorX) + " " + std::to_string(s.CursorY) + "|";
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string text = Utf8(Wide(rows[i].first).substr(0, s.Width));
    expected += text.substr(0, text.find_last_not_of(' ') + 1) + " (" + std::to_string(rows[i].second) + ")|";
    actual += s.Row(s.Top + static_cast<int>(i)) + " (" + std::to_string(s.Colour(s.Top + static_cast<int>(i))) + ")|";
  }
  CheckEq(run.name + ": the title, the cursor and every row of the window with its colour", expected, actual);
}

// The question box of a finished run: its title and text; answered with `answer`.
void AnswerBox(Run& run, const std::string& log_shown, int answer) {
  HWND box = nullptr;
  WaitFor(120, [&] { return (box = FindTitled(L"A little question...", run.zavero)) != nullptr; });
  if (!Check(box != nullptr, run.name + ": the box \"A little question...\" appears")) return;
  wchar_t text[1024] = {};
  GetWindowTextW(GetDlgItem(box, 0xFFFF), text, 1024);
  CheckEq(run.name + ": the box asks whether to open the log", "Open " + log_shown + " ?", Utf8(text));
  Check(GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO) && !GetDlgItem(box, IDOK),
        run.name + ": the box has the buttons Yes and No");
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
  Check(WaitFor(60, [&] { return !IsWindow(box); }),
        run.name + ": the box goes away on " + (answer == IDYES ? "Yes" : "No"));
}

// Ctrl+C as the user types it: an event to every process of the console, the runner ignoring
// its own.
BOOL WINAPI IgnoreCtrlC(DWORD) { return TRUE; }
// Ctrl+C, then the console's rows `first` to `last` once `process` has ended. The runner stays
// in the console meanwhile, so that it outlives a shell that ends on Ctrl+C (as Wine's does).
Screen CtrlC(DWORD pid, HANDLE process = nullptr, int first = 0, int last = 0) {
  FreeConsole();
  Screen s;
  if (AttachConsole(pid)) {
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    if (process && WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) s = LookHere(first, last);
  }
  Sleep(200);
  ComeHome();
  return s;
}

// The user closes the console's window; the runner has left the console before, so that the
// close does not end it too.
void CloseConsole(DWORD pid) {
  FreeConsole();
  HWND window = AttachConsole(pid) ? GetConsoleWindow() : nullptr;
  ComeHome();
  PostMessageW(window, WM_CLOSE, 0, 0);
}

bool Ends(Run& run, const std::string& how) {
  return Check(WaitForSingleObject(run.process.hProcess, 30000) == WAIT_OBJECT_0, run.name + ": " + how + " ends it");
}

void IdleThenCtrlC(Run& run, const std::wstring& log, const std::string& log_at_end, const Screen& end) {
  int cpu = CpuPercent(run.process.hProcess, 4000);
  Check(Alive(run.process.hProcess) && cpu <= 10 && Look(run.zavero).Rows == end.Rows, run.name +
        ": still running and idle after the answer (" + std::to_string(cpu) + "% of a core), the screen as it was");
  CheckEq(run.name + ": nothing more was logged", log_at_end, ReadFile(log));
  CtrlC(run.zavero);
  Ends(run, "Ctrl+C");
}

std::vector<std::string> Under(const std::string& base, const std::vector<std::string>& rel) {
  std::vector<std::string> full;
  for (std::string r : rel) {
    std::replace(r.begin(), r.end(), '/', '\\');
    full.push_back((base.back() == '\\' ? base : base + "\\") + r);
  }
  return full;
}

// `before` with the bits `mask` taken from the entries `cleared` (relative, "/" between names).
State Cleared(State before, const std::vector<std::string>& cleared, DWORD mask = FILE_ATTRIBUTE_HIDDEN) {
  for (std::string c : cleared) {
    std::replace(c.begin(), c.end(), '/', '\\');
    before[Wide("\\" + c)] &= ~mask;
  }
  return before;
}

// Takes the zavero.exe that process `parent` started as the run's program.
void Adopt(Run& run, DWORD parent) {
  run.zavero = 0;
  WaitFor(30, [&] { return (run.zavero = ChildNamed(parent, L"zavero.exe")) != 0; });
  CloseHandle(run.process.hProcess);
  run.process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, run.zavero);
}

// One run in a console of its own, checked to the end: the log byte for byte, the screen,
// the box (answered `answer`), `after` (Notepad, say), the bits on disk (the entries `cleared`
// below `tree` lose `bits`, nothing else changes), then idle until Ctrl+C ends it.
struct Case {
  Case(std::string n, std::vector<std::wstring> a, std::wstring l, std::wstring t = L"")
      : name(std::move(n)), args(std::move(a)), log(std::move(l)), tree(std::move(t)) {}
  std::string name;
  std::vector<std::wstring> args;
  std::wstring log, tree;
  Expected e;
  std::vector<std::string> cleared;
  DWORD bits = FILE_ATTRIBUTE_HIDDEN;
  int answer = IDNO;
  std::function<void(Run&)> after;
  std::function<void(Run&, State& before)> during;  // changes made under the run
  std::wstring console;  // "COLS ROWS FILE TEXT": the console's size, once FILE holds TEXT ("-": at once)
};

void WholeRun(const Case& c) {
  State before = ReadState(c.tree);
  Run run = StartZavero(c.name, c.args, c.console);
  if (!c.console.empty()) Adopt(run, run.process.dwProcessId);
  if (c.during) c.during(run, before);
  Screen end;
  if (!RunToEnd(run, c.log, end)) return;
  std::string expected = Crlf(LogLines(c.e)), log_at_end = ReadFile(c.log);
  Check(log_at_end == expected, c.name + ": the log holds exactly the expected bytes",
        "expected:\n" + expected + "#   actual:\n" + log_at_end);
  CheckScreen(run, end, Utf8(c.log), c.e);
  AnswerBox(run, Utf8(c.log), c.answer);
  if (c.after) c.after(run);
  State want = Cleared(before, c.cleared, c.bits), after = ReadState(c.tree);
  if (!c.tree.empty())
    Check(after == want, c.name + (c.cleared.empty() ? ": nothing on disk changed" :
          ": exactly the entries treated lost the bits, nothing else changed"),
          "expected " + Show(want) + "\n#   actual   " + Show(after));
  IdleThenCtrlC(run, c.log, log_at_end, end);
}

// ------------------------------------------------------------------ the scenarios

// The tree of the listing and clearing runs: hidden, hidden+system, system, plain and
// read-only files and folders at several depths, a name with blanks, and a hidden folder
// named like a file. The walk takes a folder's own entries by name, then each subfolder's.
const std::vector<std::string> kSample = {
  "f 2 a_hidden.txt", "f 6 b_hidsys.txt", "f 4 c_system.txt", "f - d_plain.txt",
  "f 3 e_rohidden.txt", "d 2 f_hiddir", "f 2 f_hiddir/inner.txt", "d 6 g_hidsysdir",
  "f 2 g_hidsysdir/a_deep.txt", "f 6 g_hidsysdir/b_deep_hs.txt", "d 3 h_rohiddir",
  "f 2 h_rohiddir/x.txt", "d - sub", "f 2 sub/a.txt", "f 6 sub/b_hs.txt", "f 4 sub/c_sys.txt",
  "f 1 sub/d_ro.txt", "d 6 sub/e_hsdir", "d 2 sub/f_hdir", "d 2 sub/f_hdir/g",
  "f 2 sub/f_hdir/g/leaf.txt", "d 4 sub/g_sysdir", "f 7 sub/h_rohs.txt",
  "f 2 sub/i with blanks.txt", "d 2 sub/j_dir.txt", "f 2 sub/j_dir.txt/z.txt"};
const std::vector<std::string> kSampleSelected = {"a_hidden.txt", "e_rohidden.txt", "f_hiddir",
  "h_rohiddir", "f_hiddir/inner.txt", "g_hidsysdir/a_deep.txt", "h_rohiddir/x.txt", "sub/a.txt",
  "sub/f_hdir", "sub/i with blanks.txt", "sub/j_dir.txt", "sub/f_hdir/g", "sub/f_hdir/g/leaf.txt",
  "sub/j_dir.txt/z.txt"};
const std::vector<std::string> kSampleSkipped = {"b_hidsys.txt", "g_hidsysdir",
  "g_hidsysdir/b_deep_hs.txt", "sub/b_hs.txt", "sub/e_hsdir", "sub/h_rohs.txt"};

void Listing() {
  std::wstring tree = g_work + L"\\list";
  MakeTree(tree, kSample);
  std::string t = Utf8(tree);
  Case c{"list1", {L"list", L"list1.log", tree}, g_bin + L"\\list1.log", tree};
  c.e.clear = false, c.e.folder = t, c.e.selected = Under(t, kSampleSelected), c.e.skipped = Under(t, kSampleSkipped);
  c.after = [&](Run& run) {
    Sleep(5000);
    Check(!ChildNamed(run.zavero, L"notepad.exe") && !FindTitled(L"list1.log - Notepad", 0),
          "list1: after No nothing was started");
  };
  // The mode in lower case, a bare log name: placed beside the program.
  WholeRun(c);

  // The start folder ending in "\", files named *.txt only, skip mask 0, include mask in "$"
  // notation: hidden *.txt files, hidden+system ones too, no skip lines.
  Case m{"list2", {L"LIST", L"list2.log", tree + L"\\", L"*.txt", L"0", L"1", L"0", L"$2"}, g_bin + L"\\list2.log", tree};
  m.e.clear = false, m.e.skip = 0, m.e.pattern = "*.txt", m.e.folder = t + "\\";
  m.e.selected = Under(m.e.folder, {"a_hidden.txt", "b_hidsys.txt", "e_rohidden.txt",
    "f_hiddir/inner.txt", "g_hidsysdir/a_deep.txt", "g_hidsysdir/b_deep_hs.txt", "h_rohiddir/x.txt",
    "sub/a.txt", "sub/b_hs.txt", "sub/h_rohs.txt", "sub/i with blanks.txt", "sub/f_hdir/g/leaf.txt",
    "sub/j_dir.txt/z.txt"});
  WholeRun(m);
}

void Clearing() {
  std::wstring tree = g_work + L"\\clear", logs = g_work + L"\\logs";
  MakeTree(tree, kSample);
  CreateDirectoryW(logs.c_str(), nullptr);
  // The mode in mixed case: the program upper-cases it before comparing.
  Case c{"clear", {L"Clear", logs + L"\\scan.log", tree}, logs + L"\\scan.log", tree};
  c.e.folder = Utf8(tree), c.e.selected = Under(c.e.folder, kSampleSelected), c.e.skipped = Under(c.e.folder, kSampleSkipped);
  c.cleared = kSampleSelected, c.answer = IDYES;
  c.after = [&](Run& run) {
    HWND np = nullptr;
    WaitFor(120, [&] { return (np = FindTitled(L"scan.log - Notepad", 0)) != nullptr; });
    DWORD pid = 0;
    GetWindowThreadProcessId(np, &pid);
    Check(np && pid == ChildNamed(run.zavero, L"notepad.exe"),
          "clear: after Yes the program's own child notepad.exe shows the log");
    HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    Check(p && TerminateProcess(p, 0) && WaitForSingleObject(p, 30000) == WAIT_OBJECT_0 &&
          Alive(run.process.hProcess), "clear: notepad ended, the program outlives it");
    if (p) CloseHandle(p);
  };
  WholeRun(c);

  // Skip mask 0, include mask 6: the hidden+system entries, and only they, lose both bits.
  Case s{"clear6", {L"CLEAR", L"clear6.log", g_work + L"\\clear6", L"*", L"1", L"1", L"0", L"6"},
         g_bin + L"\\clear6.log", g_work + L"\\clear6"};
  MakeTree(s.tree, kSample);
  s.e.skip = 0, s.e.include = 6, s.e.folder = Utf8(s.tree), s.e.selected = Under(s.e.folder, kSampleSkipped);
  s.cleared = kSampleSkipped, s.bits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  WholeRun(s);
}

// Names of every kind: blanks and dots at the end, device names, switches, scripts beyond
// Latin, an emoji beyond 16 bits, and "Ωmega.txt" beside a hidden+system "Omega.txt" (which
// keeps both bits); the start folder "-h" given relative to the working folder. Each is
// logged in UTF-8 as it stands on disk, shown and cleared.
void Names() {
  const std::string emoji = "\xf0\x9f\x98\x80";
  Case c{"names", {L"CLEAR", g_work + L"\\names.log", L"-h"}, g_work + L"\\names.log", g_bin + L"\\-h"};
  c.cleared = {" lead.txt", "--x", "COM1", "naïve dir", "nul.txt",
    "trailing blank ", "Привет", "--x/-s.txt", "naïve dir/café.txt", "naïve dir/two  blanks.txt",
    "sub/-", "sub/emoji " + emoji + " photo.jpg", "sub/in side.txt", "sub/trail.txt ",
    "sub/trailing dot.", "sub/½.txt", "sub/Ωmega.txt", "sub/日本", "sub/日本語の書類.txt",
    "sub/日本/x.txt", "trailing blank /inside.txt", "Привет/документ.txt"};
  std::vector<std::string> lines = {"d 2 --x", "d 2 naïve dir", "d 2 trailing blank ", "d 2 Привет",
    "d 2 sub/日本", "f 6 sub/Omega.txt"};
  for (const std::string& h : c.cleared)
    if (std::find(lines.begin(), lines.end(), "d 2 " + h) == lines.end()) lines.push_back("f 2 " + h);
  MakeTree(c.tree, lines);
  c.e.folder = "-h", c.e.selected = Under("-h", c.cleared), c.e.skipped = {"-h\\sub\\Omega.txt"};
  WholeRun(c);
}

// Symbolic links to folders below the start folder: a\b\loop -> .. leads back to its own
// ancestor, c\side -> ..\a to a folder off its own path, and m0..m9 each link to all the
// others (were links entered, every order of the ten would be walked). No link is entered:
// each folder is walked once, by its own path, each hidden file cleared once, each link left
// as it was. (Wine's CreateSymbolicLinkW makes nothing; there e2e_runner.sh makes them.)
void Links() {
  Case c("links", {L"CLEAR", g_work + L"\\links.log", g_work + L"\\links"}, g_work + L"\\links.log", g_work + L"\\links");
  std::vector<std::string> lines = {"f 2 a/h.txt", "f 2 a/b/k.txt", "d - c"};
  std::vector<std::pair<std::string, std::string>> links = {{"a\\b\\loop", ".."}, {"c\\side", "..\\a"}};
  c.cleared = {"a/h.txt", "a/b/k.txt"};
  for (char i = '0'; i <= '9'; ++i) {
    lines.push_back(std::string("f 2 m") + i + "/h.txt"), c.cleared.push_back(std::string("m") + i + "/h.txt");
    for (char j = '0'; j <= '9'; ++j)
      if (i != j) links.push_back({std::string("m") + i + "\\l" + j, std::string("..\\m") + j});
  }
  MakeTree(c.tree, lines);
  for (const auto& l : links) {
    std::wstring at = c.tree + L"\\" + Wide(l.first);
    if (GetFileAttributesW(at.c_str()) == INVALID_FILE_ATTRIBUTES)
      CreateSymbolicLinkW(at.c_str(), Wide(l.second).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | 2);  // unprivileged
    if (!(GetFileAttributesW(at.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT))
      return Skip("links below the start folder", "no symbolic links can be made here (run as administrator)");
  }
  c.e.folder = Utf8(c.tree), c.e.selected = Under(c.e.folder, c.cleared);
  c.after = [&](Run&) {
    std::string targets;
    for (const wchar_t* link : {L"\\a\\b\\loop", L"\\c\\side"}) {
      HANDLE h = CreateFileW((c.tree + link).c_str(), 0, 7, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      wchar_t path[1024] = {};
      GetFinalPathNameByHandleW(h, path, 1024, 0);
      targets += Utf8(path) + " ";
      CloseHandle(h);
    }
    CheckEq("links: the links still lead to the same folders", Utf8(Long(c.tree + L"\\a")) + " " + Utf8(Long(c.tree + L"\\a")) + " ", targets);
  };
  WholeRun(c);
}

// Paths last beyond the plain functions' 260 characters: every hidden entry reached, cleared
// and logged by its whole path, up to 1000 characters, then the folder after them.
void LongPaths() {
  Case c{"long", {L"CLEAR", g_work + L"\\long.log", g_work + L"\\long"}, g_work + L"\\long.log", g_work + L"\\long"};
  std::string t = Utf8(c.tree);
  auto fill = [](std::string s, size_t n) { s.resize(n, 'x'); return s; };
  if (!Check(t.size() <= 140, "long: the start folder (" + std::to_string(t.size()) +
             " characters) leaves room below it")) return;
  std::string a = fill("a_", 150 - t.size() - 1), deep = a + "/" + fill("b_", 94);
  std::string m = deep + "/" + fill("m_", 25), k = deep + "/" + fill("k_", 26) + ".txt";
  std::string n = m + "/" + fill("n_", 28), x = fill("c_", 174), s = deep + "/" + fill("s_", 26) + ".txt";
  std::string last = n + "/" + x + "/" + x + "/" + x + "/" + fill("d_", 174);
  MakeTree(c.tree, {"f 2 h0.txt", "f 2 " + a + "/h1.txt", "f 2 " + deep + "/h2.txt", "f 2 " + k,
    "f 6 " + s, "d 2 " + m, "f 2 " + m + "/h3.txt", "d 2 " + n, "f 2 " + n + "/h4.txt", "d 2 " + last,
    "f 2 " + last + "/h5.txt", "d - z_after", "f 2 z_after/h6.txt"});
  c.cleared = {"h0.txt", a + "/h1.txt", deep + "/h2.txt", k, m, m + "/h3.txt", n, n + "/h4.txt", last,
    last + "/h5.txt", "z_after/h6.txt"};
  c.e.folder = t, c.e.selected = Under(t, c.cleared), c.e.skipped = Under(t, {s});
  std::string lengths;
  for (const std::string& p : Under(t, {a, deep, m, k, n, last})) lengths += std::to_string(p.size()) + " ";
  CheckEq("long: the paths measure 150, 245, 271, 276, 300 and 1000 characters",
          "150 245 271 276 300 1000 ", lengths);
  WholeRun(c);
}

// A start folder that cannot be read (one that does not exist; a drive whose medium is out,
// where a machine has one): said on the screen and in the log, and the run finishes, held up
// by no error box.
void Unreadable() {
  CreateDirectoryW((g_work + L"\\empty").c_str(), nullptr);
  Case c{"missing", {L"LIST", g_work + L"\\missing.log", g_work + L"\\empty\\nowhere"}, g_work + L"\\missing.log"};
  c.e.clear = false, c.e.folder = Utf8(c.args[2]), c.e.said = {" cannot read the start folder " + c.e.folder};
  WholeRun(c);
  wchar_t drive[] = L"A:\\";
  for (; drive[0] <= L'Z'; ++drive[0]) {
    UINT type = GetDriveTypeW(drive);
    if ((type == DRIVE_REMOVABLE || type == DRIVE_CDROM) &&
        !GetVolumeInformationW(drive, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0) &&
        GetLastError() == ERROR_NOT_READY)
      break;
  }
  if (drive[0] > L'Z') return Skip("a drive without a medium", "this machine has none (Wine never has)");
  c.name = "no medium", c.args = {L"LIST", g_work + L"\\medium.log", drive}, c.log = c.args[1];
  c.e.folder = Utf8(drive), c.e.said = {" cannot read the start folder " + c.e.folder};
  WholeRun(c);
}

// A question alone: answered on standard output in CR LF lines, status 0, without a run.
void Questions() {
  for (const wchar_t* question : {L"/?", L"--version"}) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE from = nullptr, to = nullptr;
    CreatePipe(&from, &to, &inherit, 0);
    SetHandleInformation(from, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si = {};
    si.cb = sizeof si, si.dwFlags = STARTF_USESTDHANDLES, si.hStdOutput = si.hStdError = to;
    PROCESS_INFORMATION p = {};
    std::wstring line = Quoted(g_bin + L"\\zavero.exe") + L" " + question;
    BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                                  g_bin.c_str(), &si, &p);
    CloseHandle(to);
    std::string out = ReadRest(from);
    DWORD status = 99;
    CloseHandle(from);
    if (started && WaitForSingleObject(p.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(p.hProcess, &status);
    std::string first = out.substr(0, out.find('\n') + 1) + "status " + std::to_string(status);
    if (question[0] == L'/')
      CheckEq("/? prints the usage in CR LF lines, status 0", "Usage: zavero.exe [MODE] [LOG] [FOLDER] "
              "[PATTERN] [FOLDERS] [FILES] [SKIP] [INCLUDE]\r\nstatus 0", first);
    else
      Check(first.rfind("zavero ", 0) == 0 && first.find_first_not_of("0123456789.", 7) == first.find("\r\nstatus 0") &&
            out.size() + 8 == first.size(), "--version prints the version alone, status 0", first);
  }
}

// Consoles shorter than the classic 152 rows, as Windows Terminal and any console as tall as
// its window give them: a listing run over 40 hidden files (and 150 skipped) in 120 x 30 and
// in 80 x 25, and in one made 80 x 25 from a taller one while the run walks. The entries'
// rows go round the rows from 3 to the last but one, "finished!" stands alone on the last.
void ShortConsoles() {
  std::vector<std::string> lines, hidden, skipped;
  for (int i = 0; i < 40; ++i) hidden.push_back("d/h" + std::to_string(100 + i) + ".txt");
  for (int i = 100; i < 250; ++i) skipped.push_back("a" + std::to_string(i) + "/s.sys");
  for (const std::string& h : hidden) lines.push_back("f 2 " + h);
  for (const std::string& s : skipped) lines.push_back("f 6 " + s);
  std::wstring tree = g_work + L"\\short";
  MakeTree(tree, lines);
  const struct { const char* size; bool shrunk; } consoles[] = {{"120 30", false}, {"80 25", false}, {"80 25", true}};
  for (const auto& k : consoles) {
    std::string name = std::string("short ") + k.size + (k.shrunk ? " shrunk" : "");
    std::wstring log = g_work + L"\\" + Wide(name) + L".log";
    Case c{name, {L"LIST", log, tree}, log, tree};
    c.e.clear = false, c.e.folder = Utf8(tree), c.e.selected = Under(c.e.folder, hidden), c.e.skipped = Under(c.e.folder, skipped);
    c.console = Wide(k.size) + (k.shrunk ? L" " + Quoted(log) + L" skipped" : L" - -");
    c.after = [&](Run& run) {
      Screen s = Look(run.zavero);
      CheckEq(name + ": the console's size", k.size, std::to_string(s.Width) + " " + std::to_string(s.Height));
    };
    WholeRun(c);
  }
}

// Types `text` and Enter into the console of process `pid`, as the user would.
void Type(DWORD pid, const std::wstring& text) {
  FreeConsole();
  if (AttachConsole(pid)) {
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<INPUT_RECORD> keys;
    for (wchar_t c : text + L"\r")
      for (BOOL down : {TRUE, FALSE}) {
        INPUT_RECORD r = {};
        r.EventType = KEY_EVENT;
        r.Event.KeyEvent.bKeyDown = down;
        r.Event.KeyEvent.wRepeatCount = 1;
        r.Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
        r.Event.KeyEvent.uChar.UnicodeChar = c;
        keys.push_back(r);
      }
    DWORD n = 0;
    WriteConsoleInputW(in, keys.data(), static_cast<DWORD>(keys.size()), &n);
    CloseHandle(in);
  }
  ComeHome();
}

// Text on screen: whether row `y` of the window starts with `text`.
bool Shows(const Screen& s, int y, const std::string& text) { return s.Row(y).rfind(text, 0) == 0; }

// Whether the walk's line is in the window.
bool Walking(const Screen& s) {
  for (int y = s.Top; y <= s.Bottom; ++y)
    if (Shows(s, y, " scanning folder ")) return true;
  return false;
}

// A run over 2100 entries in a console window of 30 rows, whose banner stands on row `top`:
// during the walk, the listing and at the end the window shows the rows drawn last, the
// banner first and "finished!" alone on the window's last row, the cursor after it.
void Windowed(Run& run, int top, const std::wstring& log, const std::function<void()>& walking) {
  Screen s;
  auto at = [&](int y, const std::string& text) {
    return (s = Look(run.zavero)).Top == top && s.Bottom == top + 29 && Shows(s, y, text);
  };
  WaitFor(60, [&] { return Walking(s = Look(run.zavero)); });
  // Below history the banner stands where the program was started: on the window's first row.
  if (top < 0) top = s.Top;
  std::string window = " window " + std::to_string(top) + "-" + std::to_string(top + 29);
  Capture(s, run.name + "-walking");
  Check(at(top + 3, " scanning folder ") && at(top, "QOR_ZAVERO has been started"),
        run.name + ": walking," + window + ", the banner on its first row, the walk on row " +
        std::to_string(top + 3));
  if (walking) walking();
  Check(WaitFor(120, [&] { return LogHas(log, "\r\n listing...") && at(top, "QOR_ZAVERO has been started"); }),
        run.name + ": listing," + window + ", the banner on its first row");
  bool ended = WaitFor(120, [&] { return LogHas(log, "finished!"); }) &&
               WaitFor(30, [&] { return at(top + 29, "finished!"); });
  Capture(s, run.name + "-end");
  Check(ended && s.Row(top + 29) == "finished!" && s.CursorX == 9 && s.CursorY == top + 29,
        run.name + ": at the end," + window + ", finished! alone on its last row, the cursor after it");
  // 2100 entries drawn over the 26 entry rows from row 3 on, round after round.
  std::string last = ReadFile(log);
  size_t end = last.rfind("\r\n   ") + 2;
  last = end > 2 ? last.substr(end + 1, last.find("\r\n", end) - end - 1) : "";
  CheckEq(run.name + ": at the end, the last entry on row " + std::to_string(top + 23), last,
          s.Row(top + 23));
}

// cmd.exe in a console of its own, after 200 lines of history, with `command` typed at its
// prompt; `before` is its console then; the run's zavero.exe is found as cmd.exe's child.
Run TypedInCmd(const std::string& name, const std::wstring& command, Screen& before) {
  Run cmd = Start(name, L"cmd.exe /k \"for /l %i in (1,1,200) do @echo line %i\"");
  WaitFor(60, [&] { return (before = Look(cmd.zavero, 0, 209)).Read && Shows(before, before.CursorY, Utf8(g_bin)); });
  Type(cmd.zavero, command);
  Adopt(cmd, cmd.zavero);
  return cmd;
}

void CheckHistory(const std::string& when, const Screen& s) {
  std::string history, rows;
  for (int i = 0; i < 200; ++i) history += "line " + std::to_string(i + 1) + "|", rows += s.Row(i) + "|";
  CheckEq("cmd with history, " + when + ": the history as cmd.exe wrote it", history, rows);
}

// The console a user has: zavero.exe typed into cmd.exe after 200 lines of history, and in a
// console of its own. The history stays as cmd.exe wrote it; Ctrl+C in the midst of a run gives
// the console back with the colour and the modes it had before; the folder the walk is in
// cannot be renamed by another program.
void WindowedConsole() {
  std::wstring tree = g_work + L"\\windowed", pad = tree + L"\\pad";
  std::vector<std::string> lines;
  for (int d = 100; d < 400; ++d)
    for (int h = 1; h <= 7; ++h) lines.push_back("f 2 pad/d" + std::to_string(d) + "/h" + std::to_string(h) + ".txt");
  MakeTree(tree, lines);
  Screen before;
  Run hist = TypedInCmd("cmd with history", L"zavero.exe LIST hist.log " + Quoted(tree), before);
  Windowed(hist, -1, g_bin + L"\\hist.log", nullptr);
  CheckHistory("at the end", Look(hist.zavero, 0, 199));
  CtrlC(hist.zavero);

  Run again = TypedInCmd("ctrl-c", L"zavero.exe LIST again.log " + Quoted(tree), before);
  Screen s;
  WaitFor(60, [&] { return Walking(s = Look(again.zavero)); });
  std::string own = s.Header().substr(s.Header().find("attribute"));
  CheckEq("a run in cmd.exe works with its own colour and modes", "attribute 15 output 0 input 1b7\n", own);
  Screen after = CtrlC(again.zavero, again.process.hProcess, 0, 199);
  Capture(after, "cmd-after-ctrl-c");
  Check(after.Read, "Ctrl+C in the midst of the walk ends the run");
  CheckEq("after Ctrl+C: the colour and the modes of before", before.Header().substr(before.Header().find("attribute")),
          after.Header().substr(after.Header().find("attribute")));
  CheckHistory("after Ctrl+C", after);

  Run fresh = StartZavero("a console of its own", {L"LIST", L"fresh.log", tree});
  Windowed(fresh, 0, g_bin + L"\\fresh.log", [&] {
    BOOL moved = MoveFileExW(pad.c_str(), (tree + L"\\moved").c_str(), 0);
    DWORD error = GetLastError();
    if (moved) MoveFileExW((tree + L"\\moved").c_str(), pad.c_str(), 0);
    CheckEq("another program cannot rename the folder the walk is in", "refused: error 32",
            moved ? "moved" : "refused: error " + std::to_string(error));
  });
  CtrlC(fresh.zavero);
  Ends(fresh, "Ctrl+C");
}

// A clearing run ended from outside while log lines are being written: the console closed
// twice during the walk's 200 skip lines; in the clearing phase of 4000 hidden files closed
// at the first and the 200th entry, Ctrl+C at the 300th, closed at the 400th and 800th. Each time the program
// ends at once; its log is the beginning of the whole run's, cut after a whole line; exactly
// the entries it reports treated lost the hidden bit (the one whose path line ends the log
// may be either), the skipped ones keep both; nobody holds the log afterwards.
void CutShort() {
  std::wstring tree = g_work + L"\\cut";
  std::vector<std::string> skipped, rel, lines;
  char name[32];
  for (int i = 0; i < 200; ++i) {
    std::snprintf(name, sizeof name, "a/%03d/s.txt", i);
    skipped.push_back(name), lines.push_back(std::string("f 6 ") + name);
  }
  for (int d = 0; d < 8; ++d)
    for (int i = 0; i < 500; ++i) {
      std::snprintf(name, sizeof name, "d%d/f%03d.txt", d, i);
      rel.push_back(name), lines.push_back(std::string("f 2 ") + name);
    }
  Expected e;
  e.folder = Utf8(tree), e.skipped = Under(e.folder, skipped), e.selected = Under(e.folder, rel);
  std::string whole = Crlf(LogLines(e)), cut;
  auto count = [&](const char* text) {
    size_t n = 0;
    for (size_t at = cut.find(text); at != std::string::npos; at = cut.find(text, at + 1)) ++n;
    return n;
  };
  const struct { const char* name; const char* line; size_t count; } moments[] = {{"close1", "\r\n skipped (", 30},
    {"close2", "\r\n skipped (", 100}, {"close3", "...sucsess!", 1}, {"close4", "...sucsess!", 200},
    {"ctrl-c", "...sucsess!", 300}, {"close5", "...sucsess!", 400}, {"close6", "...sucsess!", 800}};
  for (const auto& m : moments) {
    MakeTree(tree, lines);
    State before = ReadState(tree);
    std::wstring log = g_work + L"\\" + Wide(m.name) + L".log";
    Run run = StartZavero(m.name, {L"CLEAR", log, tree});
    bool there = Check(WaitFor(300, [&] { return cut = ReadFile(log), count(m.line) >= m.count; }),
                       run.name + ": the run gets to the moment to end it");
    bool close = m.name[1] == 'l';
    if (there) close ? CloseConsole(run.zavero) : (void)CtrlC(run.zavero);
    if (!there || !Ends(run, close ? "closing the console" : "Ctrl+C")) {
      TerminateProcess(run.process.hProcess, 1);  // it would change the bits under the next run
      continue;
    }
    cut = ReadFile(log);
    size_t done = count("...sucsess!");
    Check(cut.size() > 2 && cut.size() < whole.size() && !cut.compare(cut.size() - 2, 2, "\r\n") &&
          !whole.compare(0, cut.size(), cut), run.name + ": the log is the whole run's cut after a whole line (" +
          std::to_string(count("\r\n skipped (")) + " skip lines, " + std::to_string(done) + " entries treated)");
    State after = ReadState(tree);
    std::vector<std::string> treated(rel.begin(), rel.begin() + std::min(done + 1, rel.size()));
    bool between = done < rel.size() && cut.size() > e.selected[done].size() + 5 &&
      !cut.compare(cut.size() - e.selected[done].size() - 5, std::string::npos, "   " + e.selected[done] + "\r\n");
    Check(after == Cleared(before, {treated.begin(), treated.begin() + done}) || (between && after == Cleared(before, treated)),
          run.name + ": exactly the entries the log reports treated lost the hidden bit");
    HANDLE held = CreateFileW(log.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check(held != INVALID_HANDLE_VALUE, run.name + ": nobody holds the log afterwards");
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  }
}

// Stops every thread of process `pid` where it is (`stop`), or lets them go on; the thread
// `but` is left as it is.
void Freeze(DWORD pid, bool stop, DWORD but = 0) {
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) {
    HANDLE thread = t.th32OwnerProcessID == pid && t.th32ThreadID != but
                        ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, t.th32ThreadID) : nullptr;
    if (thread) stop ? SuspendThread(thread) : ResumeThread(thread), CloseHandle(thread);
  }
  CloseHandle(snap);
}

// The number N of the folder FOLDER\N that row 3 shows the walk in; -1 when it shows another.
int WalkIndex(DWORD pid, const std::string& folder) {
  std::string row = Look(pid).Row(3);
  size_t at = row.rfind("\\" + folder + "\\");
  return row.rfind(" scanning folder ", 0) == 0 && at != std::string::npos ? std::atoi(row.c_str() + at + folder.size() + 2) : -1;
}

// Lets the stopped program go on a step at a time until its walk is at FOLDER\`target` or
// beyond and `also` holds, and stops it there; the walk's N then, -1 when it never got there.
int Advance(DWORD pid, const std::string& folder, int target, const std::function<bool()>& also = nullptr) {
  for (DWORD t0 = GetTickCount(); GetTickCount() - t0 < 120000; Freeze(pid, false), Sleep(5), Freeze(pid, true))
    if (WalkIndex(pid, folder) >= target && (!also || also())) return WalkIndex(pid, folder);
  return -1;
}

// The log held by another program, without sharing, as an editor or a backup program may
// hold it; its bytes then. INVALID_HANDLE_VALUE while the program has it open.
HANDLE Hold(const std::wstring& log, std::string* bytes = nullptr) {
  HANDLE h = CreateFileW(log.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (bytes) *bytes = ReadRest(h);
  return h;
}

// The run log in trouble, in one clearing run over 400 folders that each give one skip line
// (so the log's lines show how far the walk had got), with the program stopped (Freeze) and
// let go a step at a time, so that the moments are certain on any machine:
//   1. another program holds the log from before the start: the header and every line until
//      it lets go are lost, the earlier run's log is not emptied, the lines after it let go
//      land behind that old content;
//   2. another program takes the log again between two lines: exactly the lines written
//      while it holds the log are lost;
//   3. the log is deleted between two lines: the next line makes it anew, without header,
//      and the run appends the rest to it;
// and the run still ends with "finished!", clears its files and lets the log go;
//   4. a log in a folder that does not exist: said on the "Writing to: " row;
//   5. the log replaced between two lines by another program's file: not one more line lands
//      in that file, and the end says why the log stops short;
//   6. the walk stopped in a folder after its first line, as a folder slow to list stops it:
//      the row shows that folder all the same (a row may wait for the next pause, not longer).
void LogInTrouble() {
  std::wstring tree = g_work + L"\\trouble", logs = g_work + L"\\trouble-logs", log = logs + L"\\faults.log";
  std::vector<std::string> skipped, lines = {"f 2 c/h1.txt", "f 2 c/h2.txt", "f 2 c/h3.txt"};
  for (int i = 0; i < 400; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "b/%03d/s.txt", i);
    skipped.push_back(name), lines.push_back(std::string("f 6 ") + name);
  }
  MakeTree(tree, lines);
  CreateDirectoryW(logs.c_str(), nullptr);
  State before = ReadState(tree);
  Expected e;
  e.folder = Utf8(tree), e.skipped = Under(e.folder, skipped), e.selected = Under(e.folder, {"c/h1.txt", "c/h2.txt", "c/h3.txt"});
  const std::vector<std::string> expected = LogLines(e);
  const int skip0 = 5;  // the line of b\000's skip line; b\N's is skip0 + N
  auto from = [&](int first, int end) {
    int size = static_cast<int>(expected.size());
    return Crlf({expected.begin() + std::min(first, size), expected.begin() + std::min(end, size)});
  };
  auto line_of = [&](const std::string& text, size_t at) {  // of the line at byte `at` of `text`
    std::string l = text.substr(at, text.find("\r\n", at) - at);
    return static_cast<int>(std::find(expected.begin(), expected.end(), l) - expected.begin());
  };
  const std::string old = "a line of an earlier run\r\n";
  HANDLE held = Hold(log);
  DWORD n = 0;
  Check(held != INVALID_HANDLE_VALUE && WriteFile(held, old.data(), static_cast<DWORD>(old.size()), &n, nullptr),
        "trouble: another program holds the log, which an earlier run wrote");
  Run run = StartZavero("trouble", {L"CLEAR", log, tree});
  Freeze(run.zavero, true);
  int p1 = Advance(run.zavero, "b", 40);
  CloseHandle(held);
  // Held and deleted when the program does not have the log open (it opens it for each line).
  std::string at_hold2, at_delete;
  int q = Advance(run.zavero, "b", p1 + 30, [&] { return (held = Hold(log, &at_hold2)) != INVALID_HANDLE_VALUE; });
  CheckEq("trouble: held, the screen shows the log path all the same", "Writing to: " + Utf8(log), Look(run.zavero).Row(1));
  int p2 = Advance(run.zavero, "b", q + 30);
  CloseHandle(held);
  int p3 = Advance(run.zavero, "b", p2 + 30, [&] { return (held = Hold(log, &at_delete)) != INVALID_HANDLE_VALUE; });
  CloseHandle(held);
  DeleteFileW(log.c_str());
  Freeze(run.zavero, false);
  Print("# trouble: stopped at b\\" + std::to_string(p1) + " (end of hold 1), b\\" + std::to_string(q) + " and b\\" +
        std::to_string(p2) + " (hold 2), b\\" + std::to_string(p3) + " (log deleted)");
  Screen end;
  if (!Check(p1 > 0 && q > 0 && p2 > 0 && p3 > 0, "trouble: the walk gets to each moment") || !RunToEnd(run, log, end)) return;
  // Hold 1 ended with the program at b\p1: b\p1's skip line may have come before or after.
  int a = line_of(at_delete, old.size()), b = line_of(at_delete, at_hold2.size());
  Check(!at_delete.compare(0, old.size(), old) && a >= skip0 + p1 && a <= skip0 + p1 + 1,
        "trouble 1: the earlier run's log not emptied, lost: the header and the lines up to b\\" +
        std::to_string(p1 - 1) + ", kept: from b\\" + std::to_string(p1 + 1) + " on (first kept: line " + std::to_string(a) + ")");
  int landed = a + static_cast<int>(std::count(at_hold2.begin(), at_hold2.end(), '\n')) - 1;
  CheckEq("trouble 1: from there on every line landed until the second hold began", old + from(a, landed), at_hold2);
  Check(b >= skip0 + p2 && b <= skip0 + p2 + 1 && landed < b - 20, "trouble 2: lost exactly the lines from " +
        std::to_string(landed) + " up to b\\" + std::to_string(p2 - 1) + ", kept from b\\" + std::to_string(p2 + 1) + " on");
  int d = b + static_cast<int>(std::count(at_delete.begin() + at_hold2.size(), at_delete.end(), '\n'));
  CheckEq("trouble 2: from there on every line landed until the log was deleted", at_hold2 + from(b, d), at_delete);
  Check(d > skip0 + p2 && d <= skip0 + p3 + 1, "trouble 3: the log was deleted at b\\" + std::to_string(p3) +
        ", between two lines (next line " + std::to_string(d) + ")");
  CheckEq("trouble 3: the next line made the log anew, without header; every later line landed, finished! last",
          from(d, static_cast<int>(expected.size())), ReadFile(log));
  Check(ReadState(tree) == Cleared(before, {"c/h1.txt", "c/h2.txt", "c/h3.txt"}), "trouble: the hidden files were cleared");
  Check((held = Hold(log)) != INVALID_HANDLE_VALUE, "trouble: nobody holds the log afterwards");
  CloseHandle(held);
  CtrlC(run.zavero);
  Ends(run, "Ctrl+C");

  std::wstring nowhere = g_work + L"\\no\\such.log";
  Run bad = StartZavero("no such folder", {L"LIST", nowhere, tree + L"\\c"});
  Screen s;
  WaitFor(60, [&] { return Shows(s = Look(bad.zavero), 0, "QOR_ZAVERO") && s.Row(s.Bottom) == "finished!"; });
  Capture(s, bad.name);
  CheckEq("trouble 4: a log in a folder that does not exist: said in place of the path",
          "Writing to: no log, cannot create " + Utf8(nowhere), s.Row(1));
  CtrlC(bad.zavero);
  Ends(bad, "Ctrl+C");

  const std::string theirs = "another program's file\r\n";
  const std::wstring other = logs + L"\\other.txt";
  Run swap = StartZavero("log replaced", {L"LIST", log, tree});
  Freeze(swap.zavero, true);
  const int r = Advance(swap.zavero, "b", 100);
  HANDLE h = CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  WriteFile(h, theirs.data(), static_cast<DWORD>(theirs.size()), &n, nullptr);
  CloseHandle(h);
  Check(r > 0 && MoveFileExW(other.c_str(), log.c_str(), MOVEFILE_REPLACE_EXISTING), "trouble 5: the log replaced at b\\" + std::to_string(r));
  Freeze(swap.zavero, false);
  WaitFor(120, [&] { return Shows(s = Look(swap.zavero), s.Bottom, "finished!"); });
  Capture(s, swap.name);
  const std::string said = "finished!  (the log " + Utf8(log) + " was replaced during the run; later lines are not in it)";
  CheckEq("trouble 5: the end says the log was replaced", said.substr(0, s.Width), s.Row(s.Bottom));
  CheckEq("trouble 5: the other program's file took not one line", theirs, ReadFile(log));
  CtrlC(swap.zavero);
  Ends(swap, "Ctrl+C");

  // A folder of 1,000 skip lines keeps the walk in it for a while.
  const std::wstring slow_tree = g_work + L"\\slow", slow_log = logs + L"\\slow.log";
  std::vector<std::string> many = {"f 2 a/h.txt"};
  for (int i = 0; i < 1000; ++i) many.push_back("f 6 big/s" + std::to_string(i) + ".txt");
  MakeTree(slow_tree, many);
  Run slow = StartZavero("slow folder", {L"LIST", slow_log, slow_tree});
  Freeze(slow.zavero, true);
  for (DWORD t0 = GetTickCount(); !LogHas(slow_log, "\\big\\") && GetTickCount() - t0 < 60000;)
    Freeze(slow.zavero, false), Sleep(5), Freeze(slow.zavero, true);
  Freeze(slow.zavero, false, slow.process.dwThreadId);
  Sleep(300);
  const std::string row = Look(slow.zavero).Row(3);
  Freeze(slow.zavero, false);
  const std::string slow_lines = ReadFile(slow_log);
  size_t in_big = 0;
  for (size_t at = 0; (at = slow_lines.find("\\big\\", at)) != std::string::npos; ++at) ++in_big;
  Check(in_big > 0 && in_big < 1000, "trouble 6: the walk stopped after " + std::to_string(in_big) + " of big's 1000 lines");
  CheckEq("trouble 6: the row shows big all the same", " scanning folder " + Utf8(slow_tree) + "\\big", row);
  CtrlC(slow.zavero);
  Ends(slow, "Ctrl+C");
}

// Folders that go away after the walk queued them, while the program is stopped in the midst
// of a_pad: a_pad\080, a sibling ahead in the queue, and b_gone with its whole tree of hidden
// entries; c_file, a folder replaced by a plain file. The walk goes on past them: nothing of
// them in the log or on the screen, g_after and its subfolder walked and cleared.
void GoneUnderTheWalk() {
  Case c("gone", {L"CLEAR", g_work + L"\\gone.log", g_work + L"\\gone"}, g_work + L"\\gone.log", g_work + L"\\gone");
  std::vector<std::string> lines = {"f 2 b_gone/h.txt", "d 2 b_gone/deep", "f 2 b_gone/deep/h.txt",
    "f 2 c_file/h.txt", "f 2 g_after/h.txt", "f 6 g_after/s.txt", "f 2 g_after/deep/h.txt"};
  for (int i = 1000; i < 1100; ++i) lines.push_back("d - a_pad/" + std::to_string(i).substr(1));
  MakeTree(c.tree, lines);
  c.cleared = {"g_after/h.txt", "g_after/deep/h.txt"};
  c.e.folder = Utf8(c.tree), c.e.selected = Under(c.e.folder, c.cleared), c.e.skipped = Under(c.e.folder, {"g_after/s.txt"});
  const std::string now = "now a file";
  c.during = [&](Run& run, State& before) {
    Freeze(run.zavero, true);
    int at = Advance(run.zavero, "a_pad", 20);
    Check(at >= 20 && at < 80, "gone: stopped in a_pad (at a_pad\\" + std::to_string(at) + "), before a_pad\\080");
    State all = ReadState(c.tree);
    for (auto e = all.rbegin(); e != all.rend(); ++e)
      for (const wchar_t* gone : {L"\\a_pad\\080", L"\\b_gone", L"\\c_file"})
        if (e->first.rfind(gone, 0) == 0 && (e->first.size() == wcslen(gone) || e->first[wcslen(gone)] == L'\\'))
          (e->second & FILE_ATTRIBUTE_DIRECTORY ? RemoveDirectoryW : DeleteFileW)(Long(c.tree + e->first).c_str());
    HANDLE f = CreateFileW((c.tree + L"\\c_file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD n = 0;
    Check(WriteFile(f, now.data(), static_cast<DWORD>(now.size()), &n, nullptr) && CloseHandle(f),
          "gone: a_pad\\080 and b_gone removed, c_file made a file, while the program is stopped");
    before = ReadState(c.tree);
    Freeze(run.zavero, false);
  };
  c.after = [&](Run&) { CheckEq("gone: the file put in place of c_file is still that file", now, ReadFile(c.tree + L"\\c_file")); };
  WholeRun(c);
}

// As its own helper (--console COLS ROWS FILE TEXT PROGRAM ARGS...): makes the console it was
// started in COLS x ROWS, as a user making its window smaller would (once FILE holds TEXT, or
// at once when FILE is "-"), runs PROGRAM in it and waits for it.
int InConsole(int argc, wchar_t** argv) {
  SetConsoleCtrlHandler(IgnoreCtrlC, TRUE);
  COORD size = {static_cast<SHORT>(_wtoi(argv[2])), static_cast<SHORT>(_wtoi(argv[3]))};
  SMALL_RECT window = {0, 0, static_cast<SHORT>(size.X - 1), static_cast<SHORT>(size.Y - 1)};
  HANDLE out = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  auto resize = [&] { return SetConsoleWindowInfo(out, TRUE, &window) && SetConsoleScreenBufferSize(out, size); };
  bool now = !wcscmp(argv[4], L"-");
  if (now && !resize()) return 3;
  std::wstring line;
  for (int i = 6; i < argc; ++i) line += Quoted(argv[i]) + L" ";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION p;
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &p)) return 2;
  if (!now && !(WaitFor(300, [&] { return LogHas(argv[4], Utf8(argv[5])); }) && resize())) return 3;
  return static_cast<int>(WaitForSingleObject(p.hProcess, INFINITE));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 6 && !wcscmp(argv[1], L"--console")) return InConsole(argc, argv);
  g_stdout = GetStdHandle(STD_OUTPUT_HANDLE);
  std::wstring filesystem, only;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (!wcscmp(argv[i], L"--filesystem")) filesystem = argv[i + 1];
    if (!wcscmp(argv[i], L"--only")) only = argv[i + 1];
  }
  if (argc < 3) {
    Print("usage: zavero_e2e ZAVERO_EXE WORK_FOLDER [--filesystem ntfs|fat32|exfat] [--only NAME]");
    return 64;
  }
  wchar_t full[MAX_PATH];
  GetFullPathNameW(argv[2], MAX_PATH, full, nullptr);
  g_work = full;
  g_bin = g_work + L"\\bin";
  CreateDirectoryW(g_work.c_str(), nullptr);
  CreateDirectoryW(g_bin.c_str(), nullptr);
  CreateDirectoryW((g_work + L"\\captures").c_str(), nullptr);
  g_report = _wfopen((g_work + L"\\report.txt").c_str(), L"wb");
  SetConsoleCtrlHandler(IgnoreCtrlC, TRUE);
  // A copy beside which a bare log name lands.
  if (!CopyFileW(argv[1], (g_bin + L"\\zavero.exe").c_str(), FALSE)) {
    Print("cannot copy " + Utf8(argv[1]));
    return 64;
  }

  wchar_t root[MAX_PATH] = {}, fs[64] = {};
  GetVolumePathNameW(g_work.c_str(), root, MAX_PATH);
  GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, fs, 64);
  Print("# " + Utf8(g_work) + " on a " + Utf8(fs) + " volume");
  if (!filesystem.empty())
    Check(_wcsicmp(fs, filesystem.c_str()) == 0,
          "the work folder is on " + Utf8(filesystem) + " (" + Utf8(fs) + ")");

  const std::pair<const char*, void (*)()> scenarios[] = {{"list", Listing}, {"clear", Clearing},
    {"names", Names}, {"links", Links}, {"long", LongPaths}, {"unreadable", Unreadable}, {"questions", Questions},
    {"short", ShortConsoles}, {"windowed", WindowedConsole}, {"cut", CutShort},
    {"trouble", LogInTrouble}, {"gone", GoneUnderTheWalk}};
  for (const auto& s : scenarios)
    if (only.empty() || Wide(s.first) == only) s.second();
  if (filesystem.empty())
    for (const char* other : {"FAT32", "exFAT"})
      Skip(std::string("the runs on ") + other, std::string("give a work folder on ") + other +
           " and --filesystem (Wine offers no such volume)");

  std::string total = std::to_string(g_passed) + " passed, " + std::to_string(g_failed) + " failed";
  Print(g_skipped ? total + ", " + std::to_string(g_skipped) + " skipped" : total);
  return g_failed ? 1 : 0;
}
