#include "fake/fake_console.h"

#include <algorithm>

namespace zavero::fake {

namespace {
constexpr std::uint32_t kProcessedOutput = 0x1;
constexpr std::uint32_t kWrapAtEol = 0x2;
constexpr int kTabStop = 8;
}  // namespace

FakeConsole::FakeConsole(CallLog& calls, int width, int height) : calls_(calls) {
  SetBufferSize(width, height);
}

void FakeConsole::SetBufferSize(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  cells_.assign(static_cast<std::size_t>(width_) * height_, Cell{});
  CursorX = 0;
  CursorY = 0;
}

void FakeConsole::Fill(int x, int y, const std::string& text, std::uint16_t attr) {
  for (char c : text) {
    if (x >= width_) break;
    At(x++, y) = Cell{c, attr};
  }
}

bool FakeConsole::DeliverControlEvent(std::uint32_t event) {
  for (auto it = routines_.rbegin(); it != routines_.rend(); ++it) {
    if ((*it)(event)) return true;
  }
  return false;
}

std::string FakeConsole::RowText(int y) const {
  std::string row;
  for (int x = 0; x < width_; ++x) row += At(x, y).Character;
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}

std::vector<std::uint16_t> FakeConsole::RowAttributes(int y) const {
  std::vector<std::uint16_t> out;
  for (int x = 0; x < width_; ++x) out.push_back(At(x, y).Attribute);
  return out;
}

char FakeConsole::CellChar(int x, int y) const { return At(x, y).Character; }

std::uint16_t FakeConsole::CellAttribute(int x, int y) const { return At(x, y).Attribute; }

std::string FakeConsole::ScreenText() const {
  int last = height_ - 1;
  while (last >= 0 && RowText(last).empty()) --last;
  std::string out;
  for (int y = 0; y <= last; ++y) {
    if (y > 0) out += '\n';
    out += RowText(y);
  }
  return out;
}

bool FakeConsole::Enter(const std::string& name, const std::string& detail) {
  calls_.Add(name, detail);
  if (before_call) before_call(name);
  return FailingCalls.count(name) == 0;
}

bool FakeConsole::IsConsoleOutput(platform::Handle out) const {
  return IsConsole && out == kOutputHandle;
}

// ---- platform::Console

platform::Handle FakeConsole::StdHandle(std::uint32_t which) {
  if (!Enter("StdHandle", std::to_string(static_cast<std::int32_t>(which)))) {
    return platform::kInvalidHandle;
  }
  if (which == platform::kStdInput) return kInputHandle;
  return which == platform::kStdOutput ? kOutputHandle : platform::kInvalidHandle;
}

bool FakeConsole::ReadScreenBufferInfo(platform::Handle out, platform::ScreenBufferInfo* info) {
  if (!Enter("ReadScreenBufferInfo") || !IsConsoleOutput(out)) return false;
  info->Width = static_cast<std::int16_t>(width_);
  info->Height = static_cast<std::int16_t>(height_);
  info->CursorX = static_cast<std::int16_t>(CursorX);
  info->CursorY = static_cast<std::int16_t>(CursorY);
  info->Attributes = Attribute;
  return true;
}

bool FakeConsole::SetOutputMode(platform::Handle out, std::uint32_t new_mode) {
  if (!Enter("SetOutputMode", std::to_string(new_mode)) || !IsConsoleOutput(out)) return false;
  Mode = new_mode;
  return true;
}

bool FakeConsole::SetTextAttribute(platform::Handle out, std::uint16_t new_attribute) {
  if (!Enter("SetTextAttribute", std::to_string(new_attribute)) || !IsConsoleOutput(out)) {
    return false;
  }
  Attribute = new_attribute;
  return true;
}

bool FakeConsole::SetTitle(const char* new_title) {
  // The title belongs to the console, not to the standard output: it is set
  // even when the output is redirected.
  if (!Enter("SetTitle", new_title ? new_title : "")) return false;
  Title = new_title ? new_title : "";
  return true;
}

bool FakeConsole::SetCursor(platform::Handle out, std::int16_t x, std::int16_t y) {
  if (!Enter("SetCursor", std::to_string(x) + "," + std::to_string(y)) ||
      !IsConsoleOutput(out)) {
    return false;
  }
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  CursorX = x;
  CursorY = y;
  return true;
}

bool FakeConsole::WriteChars(platform::Handle out, const char* bytes, std::uint32_t count) {
  std::string text(bytes ? bytes : "", bytes ? count : 0);
  if (!Enter("WriteChars", text) || !IsConsoleOutput(out)) return false;
  Writes.push_back({"WriteChars", text, Mode});
  Put(text.data(), static_cast<std::uint32_t>(text.size()));
  return true;
}

bool FakeConsole::WriteStream(platform::Handle out, const char* bytes, std::uint32_t count) {
  std::string text(bytes ? bytes : "", bytes ? count : 0);
  if (!Enter("WriteStream", text) || out != kOutputHandle) return false;
  if (!IsConsole) {
    Stream += text;
    return true;
  }
  // WriteFile on a console handle is a console write.
  Writes.push_back({"WriteStream", text, Mode});
  Put(text.data(), static_cast<std::uint32_t>(text.size()));
  return true;
}

bool FakeConsole::ReadMode(platform::Handle handle, std::uint32_t* mode) {
  if (!Enter("ReadMode") || (handle != kInputHandle && !IsConsoleOutput(handle))) return false;
  *mode = handle == kInputHandle ? InputMode : Mode;
  return true;
}

bool FakeConsole::SetInputMode(platform::Handle in, std::uint32_t mode) {
  if (!Enter("SetInputMode", std::to_string(mode)) || in != kInputHandle) return false;
  InputMode = mode;
  return true;
}

bool FakeConsole::AddControlRoutine(platform::ControlRoutine routine) {
  if (!Enter("AddControlRoutine")) return false;
  routines_.push_back(routine);
  return true;
}

// ---- the screen buffer

void FakeConsole::Put(const char* bytes, std::uint32_t count) {
  const bool processed = (Mode & kProcessedOutput) != 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const char c = bytes[i];
    if (!processed) {
      PutVisible(c);
      continue;
    }
    switch (c) {
      case '\r':
        CursorX = 0;
        break;
      case '\n':
        NextRow();
        break;
      case '\b':
        if (CursorX > 0) --CursorX;
        break;
      case '\a':
        break;
      case '\t':
        do {
          PutVisible(' ');
        } while (CursorX % kTabStop != 0 && CursorX < width_ - 1);
        break;
      default:
        PutVisible(c);
    }
  }
}

void FakeConsole::PutVisible(char c) {
  At(CursorX, CursorY) = Cell{c, Attribute};
  if (CursorX < width_ - 1) {
    ++CursorX;
  } else if (Mode & kWrapAtEol) {
    NextRow();
  }
  // Wrap off: the cursor stays on the last column and the next character
  // overwrites it.
}

void FakeConsole::NextRow() {
  CursorX = 0;
  if (CursorY < height_ - 1) {
    ++CursorY;
    return;
  }
  // Scroll the buffer up; the new last row is blank in the current attribute.
  cells_.erase(cells_.begin(), cells_.begin() + width_);
  cells_.insert(cells_.end(), static_cast<std::size_t>(width_), Cell{' ', Attribute});
}

}  // namespace zavero::fake
