// A machine whose system calls cost next to nothing, so that a benchmark of
// the scan and the clearing phase times the program's own work: its lists,
// texts, formatting, console and log code above the seam.
//
// The disk is a regular tree that is never stored: a listing is computed from
// the depth of the folder it asks for. A folder above `depth` holds `fanout`
// subfolders and `files` files; a folder at `depth` holds only the files. In
// every folder the first file is hidden (0x22) and the first subfolder is
// hidden + system (0x16), so a tenth of ten files is selected and every
// folder gives one skip line, the way a real disk mixes the three outcomes.
// Attribute writes are remembered for the one path last written, which is
// all the clearing phase's read - write - read sequence needs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/machine.h"

namespace zavero::bench {

struct CostlessTree {
  int fanout = 10;  // subfolders of a folder above the deepest level
  int depth = 3;    // levels of folders below the start folder
  int files = 10;   // files in every folder
  bool marked = true;  // false: no entry is hidden or system

  // Folders below the start folder (the start folder itself not counted).
  std::int64_t Folders() const {
    std::int64_t level = 1, total = 0;
    for (int d = 1; d <= depth; ++d) total += level *= fanout;
    return total;
  }
  // Every entry a listing hands out below the start folder, "." and ".."
  // left out: all subfolders and all files, the start folder's own included.
  std::int64_t Entries() const { return Folders() + (Folders() + 1) * files; }
  // Entries the default masks select: one file per folder.
  std::int64_t Selected() const { return marked && files > 0 ? Folders() + 1 : 0; }
};

class CostlessMachine final : public platform::FileSystem,
                          public platform::FileIo,
                          public platform::Console,
                          public platform::Desktop,
                          public platform::Process {
 public:
  // `root` is the start folder as the program is given it ("C:\Data").
  CostlessMachine(const CostlessTree& tree, std::string root) : tree_(tree), root_(std::move(root)) {}

  platform::Machine& machine() { return machine_; }
  const std::string& root() const { return root_; }

  // The calls the run made, by kind, so a benchmark can report how many
  // platform calls a folder or an entry costs.
  struct Calls {
    std::int64_t listings = 0;       // FindFirstFileA
    std::int64_t switches = 0;       // redirection off or on
    std::int64_t pauses = 0;
    std::int64_t paused_ms = 0;
    std::int64_t cursor_moves = 0;
    std::int64_t buffer_infos = 0;
    std::int64_t colour_changes = 0;
    std::int64_t console_writes = 0;
    std::int64_t file_opens = 0;     // each log line opens the log once
    std::int64_t file_calls = 0;     // open, size, seek, write, close
    std::int64_t attribute_reads = 0;
    std::int64_t attribute_writes = 0;
  };
  Calls calls;
  std::int64_t log_bytes = 0;

  // ---- FileSystem
  platform::Handle FindFirstEntry(const char* search, platform::FindEntry* entry,
                                  std::uint32_t* error) override {
    ++calls.listings;
    // Depth below the start folder: the separators past the root's, minus
    // the one in front of the pattern.
    int separators = 0;
    for (const char* p = search + root_.size(); *p; ++p) separators += *p == '\\';
    find_.depth = separators - 1;
    find_.next = 0;
    find_.folders = find_.depth < tree_.depth ? tree_.fanout : 0;
    find_.dots = find_.depth >= 0 ? 2 : 0;
    if (!Fill(entry)) {
      *error = platform::kErrorFileNotFound;
      return platform::kInvalidHandle;
    }
    return kFindHandle;
  }
  bool FindNextEntry(platform::Handle, platform::FindEntry* entry, std::uint32_t* error) override {
    *error = 18;  // ERROR_NO_MORE_FILES
    return Fill(entry);
  }
  void EndFind(platform::Handle) override {}
  std::uint32_t ReadAttributes(const char* path) override {
    ++calls.attribute_reads;
    return path == written_path_ ? written_value_ : 0x22u;
  }
  bool WriteAttributes(const char* path, std::uint32_t attributes) override {
    ++calls.attribute_writes;
    written_path_ = path;
    written_value_ = attributes;
    return true;
  }
  std::uint32_t LogicalDriveStrings(std::uint32_t, char*) override { return 0; }
  std::uint32_t DriveType(const char*) override { return platform::kDriveFixed; }
  bool ReadFolderId(const char*, platform::FolderId*) override { return false; }
  std::uint32_t FullPathName(const char*, std::uint32_t, char*) override { return 0; }
  void LetGoOfFolders() override {}

  // ---- FileIo: the log
  platform::Handle OpenFile(const char*, std::uint32_t, std::uint32_t, std::uint32_t,
                            std::uint32_t) override {
    ++calls.file_opens;
    ++calls.file_calls;
    return kFileHandle;
  }
  std::uint32_t OpenError() override { return 0; }
  bool ReadFileId(platform::Handle, platform::FileId* id) override {
    ++calls.file_calls;
    id->PlainFile = true;
    return true;
  }
  bool WriteBytes(platform::Handle, const void*, std::uint32_t count,
                  std::uint32_t* written) override {
    ++calls.file_calls;
    log_bytes += count;
    if (written) *written = count;
    return true;
  }
  std::uint32_t FileSize(platform::Handle, std::uint32_t* high) override {
    ++calls.file_calls;
    if (high) *high = 0;
    return static_cast<std::uint32_t>(log_bytes);
  }
  void SeekFromStart(platform::Handle, std::int32_t, std::int32_t*) override { ++calls.file_calls; }
  void CloseFile(platform::Handle) override { ++calls.file_calls; }

  // ---- Console: a 200-column screen that keeps nothing
  platform::Handle StdHandle(std::uint32_t) override { return kConsoleHandle; }
  bool ReadScreenBufferInfo(platform::Handle, platform::ScreenBufferInfo* info) override {
    ++calls.buffer_infos;
    info->Width = 200;
    info->Height = 160;
    return true;
  }
  bool SetOutputMode(platform::Handle, std::uint32_t) override { return true; }
  bool SetTextAttribute(platform::Handle, std::uint16_t) override {
    ++calls.colour_changes;
    return true;
  }
  bool SetTitle(const char*) override { return true; }
  bool SetCursor(platform::Handle, std::int16_t, std::int16_t) override {
    ++calls.cursor_moves;
    return true;
  }
  bool WriteChars(platform::Handle, const char*, std::uint32_t) override {
    ++calls.console_writes;
    return true;
  }
  bool WriteStream(platform::Handle, const char*, std::uint32_t) override { return true; }
  bool AddControlRoutine(platform::ControlRoutine) override { return true; }

  // ---- Desktop: not reached by the scan and the clearing phase
  void EnumTopLevelWindows(platform::WindowVisitor, void*) override {}
  std::uint32_t WindowThreadProcess(platform::Handle, std::uint32_t*) override { return 0; }
  bool WindowVisible(platform::Handle) override { return false; }
  bool WindowEnabled(platform::Handle) override { return false; }
  platform::Handle ForegroundWindow() override { return platform::kNoHandle; }
  std::uint32_t WindowExStyle(platform::Handle) override { return 0; }
  void SetWindowTopmost(platform::Handle, bool) override {}
  void EnableWindowInput(platform::Handle, bool) override {}
  int AskQuestion(platform::Handle, const char*, const char*, std::uint32_t) override { return 0; }
  std::uint32_t CurrentThreadId() override { return 1; }
  std::uint32_t CurrentProcessId() override { return 1; }
  bool StartProcess(char*, const char*, const platform::ProcessStart&, platform::Handle*,
                    platform::Handle*) override {
    return false;
  }
  bool ShellStartProgram(const platform::ShellStart&, platform::Handle*) override { return false; }
  void CloseObject(platform::Handle) override {}
  std::uint32_t SystemDirectory(char*, std::uint32_t) override { return 0; }
  void InitCommonControls(std::uint32_t) override {}
  void InitCom() override {}

  // ---- Process: a 32-bit program on a 64-bit system, so the guard is active
  const char* CommandLine() override { return "zavero.exe"; }
  std::uint32_t ModuleFileName(char*, std::uint32_t) override { return 0; }
  void Pause(std::uint32_t ms) override {
    ++calls.pauses;
    calls.paused_ms += ms;
  }
  void BeginPreciseTiming() override {}
  void EndPreciseTiming() override {}
  bool HasKernelFunction(const char*) override { return true; }
  int Wow64Flag() override { return 1; }
  void DisableRedirection(void** scratch) override {
    ++calls.switches;
    *scratch = this;
  }
  void EnableRedirection() override { ++calls.switches; }
  [[noreturn]] void Terminate(std::uint32_t) override { std::abort(); }

 private:
  static constexpr platform::Handle kFindHandle = 0x10, kFileHandle = 0x20, kConsoleHandle = 0x30;

  // The next entry of the open listing: ".", "..", the subfolders, the files.
  // The records are made once; a listing only copies them, as the find
  // functions copy theirs.
  bool Fill(platform::FindEntry* entry) {
    int i = find_.next++;
    if (i < find_.dots) {
      *entry = dots_[i];
      return true;
    }
    i -= find_.dots;
    if (i < find_.folders) {
      *entry = folders_[i];
      return true;
    }
    i -= find_.folders;
    if (i < tree_.files) {
      *entry = files_[i];
      return true;
    }
    return false;
  }

  // `count` records named by printf `format` with their index; the first one
  // carries `first`, the others `rest`.
  static std::vector<platform::FindEntry> MakeEntries(int count, const char* format,
                                                      std::uint32_t first, std::uint32_t rest) {
    std::vector<platform::FindEntry> out(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
      out[i].Attributes = i == 0 ? first : rest;
      std::snprintf(out[i].Name, sizeof out[i].Name, format, i);
    }
    return out;
  }
  static std::vector<platform::FindEntry> DotEntries() {
    std::vector<platform::FindEntry> out(2);
    out[0].Attributes = out[1].Attributes = platform::kAttrDirectory;
    std::memcpy(out[0].Name, ".", 2);
    std::memcpy(out[1].Name, "..", 3);
    return out;
  }

  struct OpenFind {
    int depth = 0, next = 0, folders = 0, dots = 0;
  };

  CostlessTree tree_;
  std::string root_;
  OpenFind find_;
  std::vector<platform::FindEntry> dots_ = DotEntries();
  std::vector<platform::FindEntry> folders_ =
      MakeEntries(tree_.fanout, "Folder %02d", tree_.marked ? 0x16 : platform::kAttrDirectory,
                  platform::kAttrDirectory);
  std::vector<platform::FindEntry> files_ =
      MakeEntries(tree_.files, "document-%04d.txt", tree_.marked ? 0x22 : platform::kAttrArchive,
                  platform::kAttrArchive);
  const char* written_path_ = nullptr;
  std::uint32_t written_value_ = 0;
  platform::Machine machine_{*this, *this, *this, *this, *this};
};

}  // namespace zavero::bench
