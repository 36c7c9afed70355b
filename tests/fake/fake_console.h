// The fake machine's console: a W x H screen buffer of cells (character and
// attribute), the cursor, the output mode, the current text attribute, the
// title and the registered control routines. Writes follow the rules of the
// Windows console rather than those of Wine:
//  - processed output off (mode bit 1 clear): every byte, control characters
//    included, is put into a cell and nothing moves but the cursor's column;
//  - wrap off (mode bit 2 clear): a character written in the last column stays
//    there, the cursor stays on the last column and the next one overwrites it;
//  - processed output on: CR goes to column 0, LF to column 0 of the next row,
//    and an LF (or a wrap) on the last row scrolls the buffer up by one row.
// With `is_console` false the standard output is a file or pipe: every console
// call fails and WriteStream collects the bytes in `stream`.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "fake/call_log.h"
#include "platform/machine.h"

namespace zavero::fake {

class FakeConsole : public platform::Console {
 public:
  static constexpr platform::Handle kOutputHandle = 0x54;
  static constexpr platform::Handle kInputHandle = 0x50;
  static constexpr std::uint16_t kDefaultAttribute = 7;

  explicit FakeConsole(CallLog& calls, int width = 200, int height = 160);

  // ---- building the console
  // A blank buffer of the given size; the cursor goes to (0, 0).
  void SetBufferSize(int width, int height);
  // Puts text into the buffer as if it had been there before the program
  // started (no call is recorded, the cursor does not move).
  void Fill(int x, int y, const std::string& text, std::uint16_t attribute = kDefaultAttribute);
  int CursorX = 0;
  int CursorY = 0;
  std::uint32_t Mode = 3;                      // a fresh console: processed + wrap
  std::uint32_t InputMode = 0x1F7;             // cmd's: QuickEdit, insert, extended flags ...
  std::uint16_t Attribute = kDefaultAttribute; // current text attribute
  std::string Title;
  bool IsConsole = true;                      // false: standard output redirected
  std::uint32_t TextCodePageValue = 0;            // TextCodePage(): 65001 for UTF-8 texts
  std::string Stream;                          // bytes WriteStream took while redirected
  // Seam methods named here fail (return false, change nothing) while they
  // are in the set; e.g. {"WriteChars"}.
  std::set<std::string> FailingCalls;
  // Runs at the start of every seam call with its name, before it acts.
  std::function<void(const std::string& call)> before_call;

  // Every WriteChars / WriteStream that reached the console, with the output
  // mode in force at the time.
  struct Write {
    std::string Call;
    std::string Bytes;
    std::uint32_t Mode;
  };
  std::vector<Write> Writes;

  // Delivers a console control event as the system does: the registered
  // routines, last registered first, until one answers TRUE. Returns true
  // when one handled it; false means the system's default handling (the
  // process ends).
  bool DeliverControlEvent(std::uint32_t event);
  const std::vector<platform::ControlRoutine>& control_routines() const { return routines_; }

  // ---- reading the screen
  int width() const { return width_; }
  int height() const { return height_; }
  // The row's characters with trailing blanks removed.
  std::string RowText(int y) const;
  // The attribute of each cell of the row, the whole width.
  std::vector<std::uint16_t> RowAttributes(int y) const;
  char CellChar(int x, int y) const;
  std::uint16_t CellAttribute(int x, int y) const;
  // Every row, trimmed, joined with "\n" (trailing empty rows left off).
  std::string ScreenText() const;

  // ---- platform::Console
  platform::Handle StdHandle(std::uint32_t which) override;
  bool ReadScreenBufferInfo(platform::Handle out, platform::ScreenBufferInfo* info) override;
  bool SetOutputMode(platform::Handle out, std::uint32_t Mode) override;
  bool SetTextAttribute(platform::Handle out, std::uint16_t Attribute) override;
  bool SetTitle(const char* Title) override;
  bool SetCursor(platform::Handle out, std::int16_t x, std::int16_t y) override;
  bool WriteChars(platform::Handle out, const char* bytes, std::uint32_t count) override;
  bool WriteStream(platform::Handle out, const char* bytes, std::uint32_t count) override;
  bool AddControlRoutine(platform::ControlRoutine routine) override;
  std::uint32_t TextCodePage() override { return TextCodePageValue; }
  bool ReadMode(platform::Handle handle, std::uint32_t* mode) override;
  bool SetInputMode(platform::Handle in, std::uint32_t mode) override;

 private:
  struct Cell {
    char Character = ' ';
    std::uint16_t Attribute = kDefaultAttribute;
  };
  // Records the call and runs the hook; false when the call is set to fail.
  bool Enter(const std::string& name, const std::string& detail = {});
  // Whether `out` is this console's output and the output is a console.
  bool IsConsoleOutput(platform::Handle out) const;
  void Put(const char* bytes, std::uint32_t count);
  void PutVisible(char c);
  void NextRow();
  Cell& At(int x, int y) { return cells_[static_cast<std::size_t>(y) * width_ + x]; }
  const Cell& At(int x, int y) const { return cells_[static_cast<std::size_t>(y) * width_ + x]; }

  CallLog& calls_;
  int width_ = 0;
  int height_ = 0;
  std::vector<Cell> cells_;
  std::vector<platform::ControlRoutine> routines_;
};

}  // namespace zavero::fake
