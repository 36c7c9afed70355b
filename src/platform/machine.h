// The one seam between zavero and the operating system.
//
// Terms: Win32's, on every host. Handles are opaque integers, attribute words
// carry FILE_ATTRIBUTE_* bits, errors are Win32 error codes, results are
// BOOL-style, texts are the program's own 8-bit texts (UTF-8 where the
// program runs with that code page, as on Linux and on Windows 10 1903 and
// later). src/platform/win32 passes them through to the system (converting
// texts to UTF-16 and paths to their "\\?\" form where needed);
// src/platform/posix translates: errno to Win32 codes, each file system's
// attribute store to the DOS word, the terminal to a console screen buffer.
//
// Every method wraps a single platform call (or, where noted, the short fixed
// sequence that one call needs). No behaviour of the program lives here: the
// console cut at the buffer width, the log buffer, the command-line rules and
// the redirection bookkeeping all sit above the seam, where the fake machine
// (tests/fake) exercises them.
//
// Methods with a body are the Linux side's extensions; Windows keeps the
// default, which is what Windows does: KeepsAttributes (true), SelectsBy
// (nothing), RunAndWait (-1: not started), ArgumentVector (null: split the command line),
// ReportProblem (nothing), Environment (null). TextCodePage also has a
// default (0: one byte, one cell) for a machine that cannot tell; both real
// sides answer it. The other way round, MountsVolume, ReadMode, SetInputMode
// and AddErrorModes are Windows' own: Linux mounts no volume in a folder, a
// terminal keeps no console modes and shows no error boxes, so Linux keeps
// their defaults (false, nothing).
//
// Threads: the run calls every method from its one thread, except that the
// console's close event (Console::AddControlRoutine's routine) runs on a
// thread the system starts for it; that routine only closes files
// (FileIo::CloseFile) and may write to the console, so no method may keep
// state that a CloseFile racing with it could break. Inside the Windows
// console side, rows that wait (Console::JoinNextRow) may also go out from a
// thread of its own, under the same lock as every other console call.
//
// Names avoid the Win32 A/W macros (CreateFile, MessageBox, GetFileAttributes
// ...), which would otherwise rename them in src/platform/win32; constants are
// k-constants, which no system header defines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zavero::platform {

// An opaque platform handle (HANDLE, HWND ...). kNoHandle is 0 / NULL.
using Handle = std::uintptr_t;
constexpr Handle kNoHandle = 0;
// INVALID_HANDLE_VALUE as the seam reports it.
constexpr Handle kInvalidHandle = ~static_cast<Handle>(0);

// Windows values the layers above need.
constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kAttrReadOnly = 0x1, kAttrHidden = 0x2, kAttrSystem = 0x4,
                        kAttrDirectory = 0x10, kAttrArchive = 0x20, kAttrNormal = 0x80,
                        kAttrReparsePoint = 0x400;
// The bits SetFileAttributesA sets and clears: read-only, hidden, system,
// archive, normal, temporary, offline, not content indexed and, on newer
// systems, pinned and unpinned. The others (directory, device, sparse,
// reparse point, compressed, encrypted, integrity, virtual ...) belong to the
// file system; a write neither sets nor clears them.
constexpr std::uint32_t kAttrWritable = 0x1 | 0x2 | 0x4 | 0x20 | 0x80 | 0x100 | 0x1000 | 0x2000 |
                                        0x80000 | 0x100000;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kDriveRemovable = 2, kDriveFixed = 3;

// ---------------------------------------------------------------- file system

// The two fields of WIN32_FIND_DATA the scan uses.
struct FindEntry {
  std::uint32_t Attributes = 0;  // dwFileAttributes
  // cFileName in the program's code page, zero-terminated: 255 UTF-16 units
  // take up to 765 bytes in UTF-8.
  char Name[1024] = {};
  // Linux: the entry's attribute word could not be read, so Attributes holds
  // only the bits of its type (folder, link). Windows always has the word.
  bool WordUnreadable = false;
  // dwReserved0: the reparse tag of an entry that carries the reparse-point
  // bit; 0 where the system gives none (Wine, Linux).
  std::uint32_t ReparseTag = 0;
};

// Reparse tags: a junction and a volume mounted in a folder share the first;
// every tag with the second bit stands for another named entry (a link).
constexpr std::uint32_t kReparseTagMountPoint = 0xA0000003u, kReparseTagNameSurrogate = 0x20000000u;

// Volume serial and file index of a folder: equal for two paths that reach the
// same folder (through a junction or a symbolic link, for instance).
struct FolderId {
  std::uint32_t Volume = 0;
  std::uint64_t Index = 0;
  bool operator==(const FolderId& o) const { return Volume == o.Volume && Index == o.Index; }
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // FindFirstFile(search). On success returns the find handle and fills *entry.
  // On failure returns kInvalidHandle and stores GetLastError() in *error.
  // A character of a name that the ANSI code page cannot express comes as "?"
  // (never as a best-fit look-alike, which could name another entry).
  // Here and in every call below that takes a path, the path reaches the entry
  // it spells whatever its length and however its names end (a dot, a blank);
  // only the pattern at the end of a search follows the usual wildcard rules.
  // The attribute calls also reach an entry whose name holds a character no
  // path may hold (a control character, "*", ":" ...), as listings give them.
  // A folder that an earlier listing handed out is listed only while it is
  // still what that listing saw: one that has become a link or junction since
  // (or, on Linux, any other entry) fails like a folder that cannot be read.
  virtual Handle FindFirstEntry(const char* search, FindEntry* entry, std::uint32_t* error) = 0;
  // FindNextFileA: true and *entry filled; false at the end, with
  // ERROR_NO_MORE_FILES (18) in *error, or on a failure that cut the listing
  // short, with its GetLastError() in *error.
  virtual bool FindNextEntry(Handle find, FindEntry* entry, std::uint32_t* error) = 0;
  // FindClose.
  virtual void EndFind(Handle find) = 0;
  // GetFileAttributes: the word, or kInvalidAttributes.
  // This call and the next reach an entry a listing handed out only while it
  // is still that entry (never one a link or junction put in its place since,
  // on the way to it or at its end); otherwise they fail.
  virtual std::uint32_t ReadAttributes(const char* path) = 0;
  // SetFileAttributes: the call's BOOL result.
  virtual bool WriteAttributes(const char* path, std::uint32_t attributes) = 0;
  // Why the last WriteAttributes that failed failed, as a Windows error code;
  // 0 where the platform does not keep it.
  virtual std::uint32_t LastWriteError() { return 0; }
  // GetLogicalDriveStringsA(size, buffer): the call's result.
  virtual std::uint32_t LogicalDriveStrings(std::uint32_t size, char* buffer) = 0;
  // GetDriveTypeA(root).
  virtual std::uint32_t DriveType(const char* root) = 0;
  // GetVolumeNameForVolumeMountPointW(path + "\\"): true when the folder at
  // `path` is where a volume is mounted, false for a junction or anything
  // else. Linux lists no mount point with a reparse tag and never gets here.
  virtual bool MountsVolume(const char* path) { (void)path; return false; }
  // Opens the folder with backup semantics, reads its identity
  // (GetFileInformationByHandle) and closes it. False when any step fails.
  virtual bool ReadFolderId(const char* path, FolderId* id) = 0;
  // False when nothing below `folder` keeps DOS attributes: nothing there can
  // carry a bit, so nothing can be selected. Windows file systems always keep
  // them. On Linux a file system without a store does not, nor does exFAT on
  // a kernel without its attribute ioctls (before Linux 6.7), nor Samba's
  // store where no value was written: once the run has walked the folder,
  // where no entry below it, at any depth, held one; before, where neither
  // the folder nor an entry directly in it does. A file system with DOS
  // attributes mounted anywhere below counts.
  virtual bool KeepsAttributes(const char* folder) { (void)folder; return true; }
  // The walk that follows selects only entries that carry every bit of
  // `include`; the run acts on no other entry but the folders it walks. A
  // side that must look at an entry once more, as it lists it, to act on it
  // safely later may spare that look for a file whose word lacks a bit.
  // Windows looks at nothing more than the listing.
  virtual void SelectsBy(std::uint32_t include) { (void)include; }
  // The run is done with the folders it walked: lets go of what the calls
  // above held open to reach them, so that they can be renamed, removed or
  // unmounted while the program waits for its end. Nothing on Windows' own
  // terms; a later call reaches them afresh.
  virtual void LetGoOfFolders() = 0;
  // GetFullPathNameA(path, size, buffer, NULL): the path completed from the
  // process's current folder (as the file calls complete it), "." and ".."
  // resolved. Returns its length without the terminator, or, when the buffer
  // is too small, the size needed with it; 0 on failure.
  virtual std::uint32_t FullPathName(const char* path, std::uint32_t size, char* buffer) = 0;
};

// ---------------------------------------------------------------- plain files

// CreateFileA parameters, with the Windows values.
constexpr std::uint32_t kGenericRead = 0x80000000u, kGenericWrite = 0x40000000u;
constexpr std::uint32_t kShareRead = 0x1;
constexpr std::uint32_t kCreateAlways = 2, kOpenAlways = 4, kTruncateExisting = 5;

// Who a file opened by FileIo is: its volume and index, and whether it is a
// plain file on a disk at all.
struct FileId {
  std::uint64_t Volume = 0;  // volume serial / device; 0 where Place names it
  // File index / inode; 0 where the file system numbers a file anew each
  // time it reads it in (Linux: FAT, exFAT, FUSE).
  std::uint64_t Index = 0;
  // Windows: the path the system gives for the open file, volume and all
  // (GetFinalPathNameByHandle), in place of the volume's serial number;
  // empty where Volume says it.
  std::string Place;
  // Not a folder, link, junction, pipe, FIFO, device or socket.
  bool PlainFile = false;
  bool operator==(const FileId& o) const {
    return Volume == o.Volume && Index == o.Index && Place == o.Place;
  }
};

// GetLastError's codes for an opening another program holds.
constexpr std::uint32_t kErrorSharingViolation = 32, kErrorLockViolation = 33;

class FileIo {
 public:
  virtual ~FileIo() = default;
  // CreateFileA(path, access, share, NULL, disposition, flags, NULL): the handle,
  // kInvalidHandle on failure. A link or junction at the path's last name is
  // opened itself, never followed (FILE_FLAG_OPEN_REPARSE_POINT, O_NOFOLLOW),
  // and a FIFO there is opened without waiting for a reader.
  virtual Handle OpenFile(const char* path, std::uint32_t access, std::uint32_t share,
                          std::uint32_t disposition, std::uint32_t flags) = 0;
  // GetLastError right after an OpenFile that failed.
  virtual std::uint32_t OpenError() = 0;
  // GetFileType, which says whether it is a disk file, then its attributes,
  // index and final path (GetFileInformationByHandle where the last two are
  // not to be had; fstat, and fstatfs for the index): false when the handle
  // tells nothing.
  virtual bool ReadFileId(Handle file, FileId* id) = 0;
  // WriteFile: the call's BOOL; *written receives the byte count.
  virtual bool WriteBytes(Handle file, const void* bytes, std::uint32_t count,
                          std::uint32_t* written) = 0;
  // GetFileSize: low part returned, high part in *high. 0xFFFFFFFF low with an
  // error is the platform's failure signal; callers here take the value as is.
  virtual std::uint32_t FileSize(Handle file, std::uint32_t* high) = 0;
  // SetFilePointer(file, low, &high, FILE_BEGIN).
  virtual void SeekFromStart(Handle file, std::int32_t low, std::int32_t* high) = 0;
  // CloseHandle.
  virtual void CloseFile(Handle file) = 0;
};

// ---------------------------------------------------------------- console

constexpr std::uint32_t kStdInput = static_cast<std::uint32_t>(-10);
constexpr std::uint32_t kStdOutput = static_cast<std::uint32_t>(-11);
constexpr std::uint32_t kCtrlC = 0, kCtrlBreak = 1, kCtrlClose = 2, kCtrlLogoff = 5,
                        kCtrlShutdown = 6;

// The fields of CONSOLE_SCREEN_BUFFER_INFO the program reads.
struct ScreenBufferInfo {
  std::int16_t Width = 0, Height = 0;             // dwSize
  std::int16_t CursorX = 0, CursorY = 0;        // dwCursorPosition
  std::uint16_t Attributes = 0;                   // wAttributes
  // srWindow's first and last rows: the part of the buffer the user sees.
  // WindowBottom -1: the window is the whole buffer (a terminal).
  std::int16_t WindowTop = 0, WindowBottom = -1;
};

// The routine the system calls for a console control event; returns BOOL.
using ControlRoutine = int (*)(std::uint32_t event);

class Console {
 public:
  virtual ~Console() = default;
  // GetStdHandle(which).
  virtual Handle StdHandle(std::uint32_t which) = 0;
  // GetConsoleScreenBufferInfo: false when the handle is no console.
  virtual bool ReadScreenBufferInfo(Handle out, ScreenBufferInfo* info) = 0;
  // SetConsoleMode.
  virtual bool SetOutputMode(Handle out, std::uint32_t mode) = 0;
  // SetConsoleTextAttribute.
  virtual bool SetTextAttribute(Handle out, std::uint16_t attribute) = 0;
  // SetConsoleTitleA.
  virtual bool SetTitle(const char* title) = 0;
  // SetConsoleCursorPosition(out, {x, y}). A side may carry out a move and
  // the WriteChars that follows it in one call that leaves the cursor where
  // it was (the cells come out the same); the cursor then goes where the two
  // would have left it before any other call that writes at it or changes
  // the mode or colours, and at SettleCursor. Until then the cursor that
  // ReadScreenBufferInfo reports may lag behind.
  virtual bool SetCursor(Handle out, std::int16_t x, std::int16_t y) = 0;
  // WriteConsole of `count` bytes of the program's text, shown as the
  // characters they are in TextCodePage() whatever the console's own output
  // code page: false when the handle is no console.
  virtual bool WriteChars(Handle out, const char* bytes, std::uint32_t count) = 0;
  // WriteFile on the output handle (the stream fallback).
  virtual bool WriteStream(Handle out, const char* bytes, std::uint32_t count) = 0;
  // SetConsoleCtrlHandler(routine, TRUE).
  virtual bool AddControlRoutine(ControlRoutine routine) = 0;
  // The code page of the program's texts (GetACP): 65001 where they are
  // UTF-8, whose characters take one to four bytes; 0 when every byte is one
  // character cell.
  virtual std::uint32_t TextCodePage() { return 0; }
  // The cursor to where the calls so far leave it (see SetCursor).
  virtual void SettleCursor(Handle out) { (void)out; }
  // The next row written by a SetCursor and WriteChars pair may wait for the
  // row right below it, so that both (and a few more asked the same way) go
  // out in one call; whatever other console call comes next lets them out
  // first. Windows also lets them out while the program pauses
  // (Process::Pause), and after a few hundredths of a second at most. A side
  // that shows every write at once needs nothing here.
  virtual void JoinNextRow(Handle out) { (void)out; }
  // GetConsoleMode of the input or output handle: false where the handle is
  // no console, and on a side that keeps no console modes (a terminal).
  virtual bool ReadMode(Handle console, std::uint32_t* mode) {
    (void)console;
    (void)mode;
    return false;
  }
  // SetConsoleMode on the input handle.
  virtual bool SetInputMode(Handle in, std::uint32_t mode) {
    (void)in;
    (void)mode;
    return false;
  }
};

// ---------------------------------------------------------------- desktop

constexpr std::uint32_t kExStyleTopmost = 0x8;
constexpr int kAnswerYes = 6, kAnswerNo = 7;

// Receives each top-level window; returns false to stop the enumeration.
using WindowVisitor = bool (*)(Handle window, void* context);

// STARTUPINFOA / SHELLEXECUTEINFOA fields that the launch sets; everything
// else in those records is zero, except their size fields, which the platform
// side fills with the size of the record as it is built (it differs between
// the 32-bit and the 64-bit build).
struct ProcessStart {
  std::uint32_t StartupFlags = 0;    // dwFlags
  std::uint16_t ShowWindow = 0;      // wShowWindow
  std::uint32_t CreationFlags = 0;   // CreateProcessA dwCreationFlags
  bool InheritHandles = false;
};
struct ShellStart {
  std::uint32_t Mask = 0;             // fMask
  const char* Verb = nullptr;         // lpVerb
  const char* File = nullptr;         // lpFile
  const char* Parameters = nullptr;   // lpParameters
  const char* Directory = nullptr;    // lpDirectory (nullptr: none)
  int Show = 0;                       // nShow
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // EnumWindows.
  virtual void EnumTopLevelWindows(WindowVisitor visit, void* context) = 0;
  // GetWindowThreadProcessId: the thread id; *process receives the process id
  // when process is not null.
  virtual std::uint32_t WindowThreadProcess(Handle window, std::uint32_t* process) = 0;
  virtual bool WindowVisible(Handle window) = 0;          // IsWindowVisible
  virtual bool WindowEnabled(Handle window) = 0;          // IsWindowEnabled
  virtual Handle ForegroundWindow() = 0;                  // GetForegroundWindow
  virtual std::uint32_t WindowExStyle(Handle window) = 0; // GetWindowLongA(GWL_EXSTYLE)
  // SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0,0,0,0,
  // SWP_NOSIZE | SWP_NOMOVE).
  virtual void SetWindowTopmost(Handle window, bool topmost) = 0;
  virtual void EnableWindowInput(Handle window, bool enable) = 0;  // EnableWindow
  // MessageBoxA(owner, text, title, style): the answer, 0 when it failed.
  virtual int AskQuestion(Handle owner, const char* text, const char* title,
                          std::uint32_t style) = 0;
  virtual std::uint32_t CurrentThreadId() = 0;
  virtual std::uint32_t CurrentProcessId() = 0;
  // CreateProcessA(NULL, command_line, NULL, NULL, inherit, flags, NULL,
  // directory or NULL, &startup, &info). On success *process and *thread get
  // the two handles of PROCESS_INFORMATION.
  virtual bool StartProcess(char* command_line, const char* directory, const ProcessStart& start,
                            Handle* process, Handle* thread) = 0;
  // ShellExecuteExA: on success *process gets hProcess (may be 0).
  virtual bool ShellStartProgram(const ShellStart& start, Handle* process) = 0;
  // CloseHandle for a process or thread handle.
  virtual void CloseObject(Handle handle) = 0;
  // GetSystemDirectoryA(buffer, size): the call's result.
  virtual std::uint32_t SystemDirectory(char* buffer, std::uint32_t size) = 0;
  // InitCommonControlsEx with the given class bits.
  virtual void InitCommonControls(std::uint32_t classes) = 0;
  // CoInitialize(NULL).
  virtual void InitCom() = 0;
  // Starts argv[0] (searched in PATH) with the null-terminated argv, with the
  // terminal given back in its normal state, and waits for it: its exit
  // status, or -1 when it could not be started. Windows starts programs with
  // StartProcess / ShellStartProgram instead.
  virtual int RunAndWait(const char* const* argv) { (void)argv; return -1; }
};

// ---------------------------------------------------------------- process

class Process {
 public:
  virtual ~Process() = default;
  // GetCommandLineA.
  virtual const char* CommandLine() = 0;
  // GetModuleFileNameA(NULL, buffer, size): the call's result.
  virtual std::uint32_t ModuleFileName(char* buffer, std::uint32_t size) = 0;
  // Sleep(ms); between BeginPreciseTiming and EndPreciseTiming on a timer
  // precise to about a millisecond (the scan's pauses are 1 and 5 ms).
  virtual void Pause(std::uint32_t ms) = 0;
  // Gives back what BeginPreciseTiming took, nothing when it took nothing;
  // Pause keeps working, at the system's normal resolution.
  virtual void EndPreciseTiming() = 0;
  // Takes a timer precise to about a millisecond for the pauses that follow:
  // a high-resolution waitable timer where the system has one, else the
  // system-wide 1 ms tick (timeBeginPeriod, from winmm.dll loaded out of the
  // system folder). A second call takes nothing more.
  virtual void BeginPreciseTiming() = 0;
  // GetProcAddress(GetModuleHandleA("Kernel32.DLL"), name) != NULL.
  virtual bool HasKernelFunction(const char* name) = 0;
  // IsWow64Process(GetCurrentProcess(), &flag): the flag (0 beforehand).
  virtual int Wow64Flag() = 0;
  // Wow64DisableWow64FsRedirection(scratch).
  virtual void DisableRedirection(void** scratch) = 0;
  // Wow64EnableWow64FsRedirection(TRUE).
  virtual void EnableRedirection() = 0;
  // Ends the process at once with the given code (ExitProcess); used only
  // when memory runs out.
  [[noreturn]] virtual void Terminate(std::uint32_t code) = 0;
  // The program's arguments as the system handed them over (argv, null at
  // the end), or null where the platform gives a command line instead.
  virtual const char* const* ArgumentVector() { return nullptr; }
  // Tells the user about a problem in one line (standard error), where the
  // platform has such a place.
  virtual void ReportProblem(const char* line) { (void)line; }
  // The value of an environment variable, or null when it is not set.
  virtual const char* Environment(const char* name) { (void)name; return nullptr; }
  // SetErrorMode(GetErrorMode() | modes): the system's boxes that `modes`
  // name stay away, the modes set before stay set. Nothing where the system
  // shows no such boxes.
  virtual void AddErrorModes(std::uint32_t modes) { (void)modes; }
};

// What the layers above may know of the platform they run on.
struct Conventions {
  char Separator = '\\';          // between a folder and a name
  const char* LineEnd = "\r\n";  // ends every log line
  // Unix habits: plain lines when standard output is no terminal, the
  // question asked on the terminal, exit statuses, --help, no idle loop.
  bool UnixRun = false;
};

// Everything the program touches of the operating system.
// Each part is named for its interface (qualified, so that the names can be
// the same).
struct Machine {
  platform::FileSystem& Files;
  platform::FileIo& Io;
  platform::Console& Console;
  platform::Desktop& Desktop;
  platform::Process& Process;
  platform::Conventions Conventions{};
};

// The first thing the program does: later loads of DLLs search the system
// folder only, not the program's folder nor the current folder, so a DLL
// planted beside the exe never runs (win32/libraries.cpp; nothing on POSIX).
void RestrictLibrarySearch();

// The real machine: src/platform/win32 on Windows, src/platform/posix elsewhere.
Machine& RealMachine();
FileSystem& RealFileSystem();
FileIo& RealFileIo();
Process& RealProcess();
Console& RealConsole();
Desktop& RealDesktop();

// Hands main's arguments to the platform before RealMachine is first used.
// POSIX keeps them for ArgumentVector; Windows reads its command line from
// the system and ignores them.
void SetArguments(int argc, char** argv);

// ---------------------------------------------------------------- text

// Upper-cases length bytes at text in place by the ANSI code page's rules.
void UpperCaseAnsi(char* text, std::size_t length);  // CharUpperBuffA

}  // namespace zavero::platform
