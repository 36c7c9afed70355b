// The console side of the seam: the process's standard output and its console.
#include "platform/win32/win32.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/win32/wide_text.h"

namespace zavero::platform {

namespace {

// SetConsoleCtrlHandler wants a WINAPI routine, the seam hands over a plain
// one; the trampoline below reaches it through this pointer. One routine is
// all the program registers.
std::atomic<ControlRoutine> g_control_routine{nullptr};

// Whether every character of `text` takes exactly one cell in every console:
// printable ASCII. Greek and Cyrillic letters are two cells wide in a console
// with a Chinese, Japanese or Korean font, and wide East Asian characters,
// combining marks and surrogate pairs vary too: all of those are left to
// WriteConsoleW, which knows how the console shows them.
bool OneCellEach(const WideText& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text.c_str()[i];
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

// A row is drawn as a cursor move and a write at the cursor. Both are carried
// out here in one call where that gives the same cells: the characters and
// the colour go straight into the buffer at the row (WriteConsoleOutputW),
// and the cursor, which that call leaves alone, is owed. It is put where the
// move and the write would have left it (by doing those two again, which
// repaints the same cells) before anything that depends on it: a write at
// the cursor, a change of mode or colour, SettleCursor, or Ctrl+C.
class Win32Console final : public Console {
 public:
  Handle StdHandle(std::uint32_t which) override {
    return FromHandle(GetStdHandle(static_cast<DWORD>(which)));
  }

  bool ReadScreenBufferInfo(Handle out, ScreenBufferInfo* info) override {
    CONSOLE_SCREEN_BUFFER_INFO csbi;
    if (!GetConsoleScreenBufferInfo(ToHandle(out), &csbi)) return false;
    info->Width = csbi.dwSize.X;
    info->Height = csbi.dwSize.Y;
    info->CursorX = csbi.dwCursorPosition.X;
    info->CursorY = csbi.dwCursorPosition.Y;
    info->Attributes = csbi.wAttributes;
    info->WindowTop = csbi.srWindow.Top;
    info->WindowBottom = csbi.srWindow.Bottom;
    std::lock_guard<std::mutex> hold(lock_);
    size_ = csbi.dwSize;
    if (attribute_ < 0) attribute_ = csbi.wAttributes;
    return true;
  }

  bool SetOutputMode(Handle out, std::uint32_t mode) override {
    std::lock_guard<std::mutex> hold(lock_);
    SettleLocked();
    return SetConsoleMode(ToHandle(out), mode) != FALSE;
  }

  bool SetTextAttribute(Handle out, std::uint16_t attribute) override {
    std::lock_guard<std::mutex> hold(lock_);
    SettleLocked();
    const bool set = SetConsoleTextAttribute(ToHandle(out), attribute) != FALSE;
    attribute_ = set ? attribute : -1;
    return set;
  }

  bool SetTitle(const char* title) override { return SetConsoleTitleA(title) != FALSE; }

  bool SetCursor(Handle out, std::int16_t x, std::int16_t y) override {
    std::lock_guard<std::mutex> hold(lock_);
    join_next_ = false;
    if (held_rows_ > 0 && !(out == held_out_ && x == 0 && y == held_at_.Y + held_rows_))
      LetOutHeld();
    // A new place for the cursor: an owed one no longer matters.
    owed_ = false;
    pending_ = false;
    COORD position;
    position.X = x;
    position.Y = y;
    // Outside the buffer as last read, the system answers: it may have grown.
    if (attribute_ < 0 || x < 0 || y < 0 || x >= size_.X || y >= size_.Y)
      return SetConsoleCursorPosition(ToHandle(out), position) != FALSE;
    pending_ = true;
    out_ = out;
    at_ = position;
    return true;
  }

  // WriteConsoleA would read the bytes in the console's output code page (an
  // OEM one, 437 or 850), not in the program's; the wide call shows them as
  // the program means them without changing the code page of the user's shell.
  bool WriteChars(Handle out, const char* bytes, std::uint32_t count) override {
    std::lock_guard<std::mutex> hold(lock_);
    if (count == 0) {
      SettleLocked();
      DWORD written = 0;
      return WriteConsoleW(ToHandle(out), L"", 0, &written, nullptr) != FALSE;
    }
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), nullptr, 0);
    if (n <= 0) return false;
    wide_.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), &wide_[0], n);
    const bool join = join_next_;
    join_next_ = false;
    if (pending_ && out_ == out && n <= size_.X - at_.X && OneCellEach(wide_) &&
        DrawRow(out, join)) {
      pending_ = false;
      owed_ = true;
      owed_text_ = wide_;
      return true;
    }
    LetOutHeld();
    if (pending_) {
      // As a move and a write at the cursor; a move the buffer refuses now
      // leaves the text out, and the caller reads the new size.
      pending_ = false;
      if (!SetConsoleCursorPosition(ToHandle(out_), at_)) return false;
    }
    SettleLocked();
    return WriteAtCursor(out, wide_);
  }

  bool WriteStream(Handle out, const char* bytes, std::uint32_t count) override {
    std::lock_guard<std::mutex> hold(lock_);
    SettleLocked();
    DWORD written = 0;
    return WriteFile(ToHandle(out), bytes, count, &written, nullptr) != FALSE;
  }

  bool AddControlRoutine(ControlRoutine routine) override {
    g_control_routine.store(routine);
    return SetConsoleCtrlHandler(&ControlTrampoline, TRUE) != FALSE;
  }

  std::uint32_t TextCodePage() override { return GetACP(); }

  bool ReadMode(Handle console, std::uint32_t* mode) override {
    DWORD value = 0;
    if (!GetConsoleMode(ToHandle(console), &value)) return false;
    *mode = value;
    return true;
  }

  bool SetInputMode(Handle in, std::uint32_t mode) override {
    return SetConsoleMode(ToHandle(in), mode) != FALSE;
  }

  void SettleCursor(Handle) override {
    std::lock_guard<std::mutex> hold(lock_);
    SettleLocked();
  }

  void JoinNextRow(Handle) override {
    std::lock_guard<std::mutex> hold(lock_);
    join_next_ = true;
  }

  // The rows held so far go out while the program pauses, on the console's
  // own thread: under Wine one console call is a round trip to the console's
  // host and the terminal that costs more than a folder's own file calls,
  // and the processor idles while the program sleeps.
  void LetOutAside() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (held_rows_ == 0 || writer_ == nullptr) return;
      aside_ = true;
      idle_ = false;
    }
    SetEvent(wake_);
  }

 private:
  static BOOL WINAPI ControlTrampoline(DWORD event);

  // Held rows wait for the next pause, for the row below them or for any
  // other call, but never longer than this: a folder slow to list still
  // shows its row while it is listed.
  static constexpr DWORD kHeldAtMostMs = 30;

  static DWORD WINAPI WriterMain(void* self) {
    static_cast<Win32Console*>(self)->Writer();
    return 0;
  }

  // The console's own thread: lets out held rows when a pause asks for it
  // or when they have waited too long. It sleeps for good once nothing was
  // held twice in a row, until a row is held again.
  void Writer() {
    DWORD wait = kHeldAtMostMs;
    bool quiet = false;
    for (;;) {
      WaitForSingleObject(wake_, wait);
      std::lock_guard<std::mutex> hold(lock_);
      wait = kHeldAtMostMs;
      if (held_rows_ > 0) {
        const DWORD held_for = GetTickCount() - held_since_;
        if (aside_ || held_for >= kHeldAtMostMs)
          LetOutHeld();
        else
          wait = kHeldAtMostMs - held_for;
        quiet = false;
      } else if (quiet) {
        idle_ = true;
        wait = INFINITE;
      } else {
        quiet = true;
      }
      aside_ = false;
    }
  }

  // A row is held from now: the console's thread keeps watch on it.
  void WatchHeld() {
    held_since_ = GetTickCount();
    if (writer_ == nullptr && !writer_failed_) {
      wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
      writer_ = wake_ ? CreateThread(nullptr, 64 * 1024, &WriterMain, this,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr)
                      : nullptr;
      writer_failed_ = writer_ == nullptr;
    } else if (writer_ != nullptr && idle_) {
      idle_ = false;
      SetEvent(wake_);
    }
  }

  // The pending row at at_, written with the colour in force. False, with
  // nothing shown differently from a write at the cursor, when the buffer
  // did not take all of it (it shrank since its size was read).
  bool WriteRow(Handle out) {
    if (at_.Y == shadow_row_) shadow_row_ = -1;
    cells_.clear();
    Append(cells_, wide_, attribute_);
    return WriteCells(out, at_, static_cast<SHORT>(wide_.size()), 1);
  }

  // cells_ as `rows` rows of `width` cells from `at`: true when the buffer
  // took all of them.
  bool WriteCells(Handle out, COORD at, SHORT width, SHORT rows) {
    COORD size = {width, rows}, from = {0, 0};
    SMALL_RECT rect = {at.X, at.Y, static_cast<SHORT>(at.X + width - 1),
                       static_cast<SHORT>(at.Y + rows - 1)};
    return WriteConsoleOutputW(ToHandle(out), cells_.data(), size, from, &rect) &&
           rect.Left == at.X && rect.Top == at.Y && rect.Right == at.X + width - 1 &&
           rect.Bottom == at.Y + rows - 1;
  }

  // The pending row in one call: added to the rows held above it, held
  // itself (`join`), or alone. False when it must go as a move and a write.
  bool DrawRow(Handle out, bool join) {
    if (held_rows_ == 0 || !JoinHeld(out)) {
      LetOutHeld();
      if (!join || at_.X != 0) return WriteRow(out);
      held_out_ = out;
      held_at_ = at_;
      held_width_ = static_cast<SHORT>(wide_.size());
      held_rows_ = 1;
      WatchHeld();
      held_cells_.clear();
      Append(held_cells_, wide_, attribute_);
    }
    held_texts_.push_back(wide_);
    // Held, the row goes out with the next one, or before any other call.
    if (join && held_rows_ < kMostHeld) return true;
    return LetOutHeld();
  }

  // The pending row added below the held ones: a row of the buffer's whole
  // width right below them. The held block becomes as wide: where its one
  // row is shorter, the cells right of its text go out as they stand, read
  // once and kept since, as only these rows write there.
  bool JoinHeld(Handle out) {
    const SHORT width = size_.X;
    if (held_out_ != out || at_.X != 0 || at_.Y != held_at_.Y + held_rows_ ||
        wide_.size() != static_cast<std::size_t>(width) || held_at_.X != 0)
      return false;
    if (held_width_ != width) {
      const SHORT top = held_at_.Y;
      if (held_rows_ != 1 || held_width_ > width) return false;
      if (shadow_row_ != top || shadow_.size() != static_cast<std::size_t>(width)) {
        shadow_row_ = -1;
        shadow_.resize(static_cast<std::size_t>(width));
        COORD size = {width, 1}, from = {0, 0};
        SMALL_RECT rect = {0, top, static_cast<SHORT>(width - 1), top};
        if (!ReadConsoleOutputW(ToHandle(out), shadow_.data(), size, from, &rect) ||
            rect.Right != width - 1 || rect.Bottom != top)
          return false;
        shadow_row_ = top;
      }
      std::copy(held_cells_.begin(), held_cells_.end(), shadow_.begin());
      held_cells_.assign(shadow_.begin(), shadow_.end());
      held_width_ = width;
    }
    Append(held_cells_, wide_, attribute_);
    ++held_rows_;
    return true;
  }

  // The held rows in one call, else one by one as moves and writes. False
  // when the one call failed.
  bool LetOutHeld() {
    if (held_rows_ == 0) return true;
    const SHORT rows = held_rows_;
    held_rows_ = 0;
    cells_.swap(held_cells_);
    const bool written = WriteCells(held_out_, held_at_, held_width_, rows);
    cells_.swap(held_cells_);
    if (!written) {
      shadow_row_ = -1;
      for (SHORT i = 0; i < rows; ++i) {
        const COORD at = {0, static_cast<SHORT>(held_at_.Y + i)};
        if (SetConsoleCursorPosition(ToHandle(held_out_), at))
          WriteAtCursor(held_out_, held_texts_[static_cast<std::size_t>(i)]);
      }
    }
    held_texts_.clear();
    return written;
  }

  static void Append(std::vector<CHAR_INFO>& cells, const WideText& text, int attribute) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      CHAR_INFO cell;
      cell.Char.UnicodeChar = text.c_str()[i];
      cell.Attributes = static_cast<WORD>(attribute);
      cells.push_back(cell);
    }
  }

  // The cursor move still to be made, and the cursor an earlier row owes.
  void SettleLocked() {
    LetOutHeld();
    shadow_row_ = -1;  // what follows may write anywhere
    if (pending_) {
      pending_ = false;
      SetConsoleCursorPosition(ToHandle(out_), at_);
    } else if (owed_) {
      owed_ = false;
      if (SetConsoleCursorPosition(ToHandle(out_), at_))
        WriteAtCursor(out_, owed_text_);
    }
  }

  static bool WriteAtCursor(Handle out, const WideText& text) {
    DWORD written = 0;
    return WriteConsoleW(ToHandle(out), text.c_str(), static_cast<DWORD>(text.size()), &written,
                         nullptr) != FALSE;
  }

  std::mutex lock_;  // the control-event thread settles the cursor too
  WideText wide_;
  COORD size_ = {0, 0};  // the buffer's size as last read
  int attribute_ = -1;    // the colour in force; -1 when unknown
  bool pending_ = false;  // a cursor move not yet made, to at_
  bool owed_ = false;     // owed_text_ was written at at_, the cursor not moved
  Handle out_ = kNoHandle;  // the output of the pending move or owed row
  COORD at_ = {0, 0};
  WideText owed_text_;
  std::vector<CHAR_INFO> cells_;
  bool join_next_ = false;  // JoinNextRow was called for the next row
  // Rows that wait for the ones below them (see JoinNextRow): held_rows_ of
  // held_width_ cells from held_at_, at most kMostHeld of them.
  static constexpr SHORT kMostHeld = 8;
  SHORT held_rows_ = 0;
  SHORT held_width_ = 0;
  Handle held_out_ = kNoHandle;
  COORD held_at_ = {0, 0};
  std::vector<CHAR_INFO> held_cells_;
  std::vector<WideText> held_texts_;  // each held row's text, for the fallback
  std::vector<CHAR_INFO> shadow_;  // a held short row's whole width, as on the screen
  SHORT shadow_row_ = -1;          // the row shadow_ shows; -1 when none
  // The console's own thread (Writer), started with the first held row.
  HANDLE writer_ = nullptr;
  bool writer_failed_ = false;
  HANDLE wake_ = nullptr;  // wakes it: a pause began, or a row is held while it sleeps
  bool aside_ = false;     // a pause asks for the held rows
  bool idle_ = false;      // it sleeps until woken
  DWORD held_since_ = 0;   // GetTickCount when the held rows began
};

// Ctrl+C and Ctrl+Break end the program: its cursor goes where the rows
// drawn so far leave it, as the command prompt continues there.
BOOL WINAPI Win32Console::ControlTrampoline(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) RealConsole().SettleCursor(kNoHandle);
  const ControlRoutine routine = g_control_routine.load();
  return routine != nullptr ? routine(event) : FALSE;
}

}  // namespace

// Never destroyed: the console's own thread may still look at it while the
// process ends.
Console& RealConsole() {
  static Win32Console& console = *new Win32Console;
  return console;
}

void LetOutHeldRowsAside() { static_cast<Win32Console&>(RealConsole()).LetOutAside(); }

}  // namespace zavero::platform
