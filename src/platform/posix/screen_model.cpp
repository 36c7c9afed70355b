#include "platform/posix/screen_model.h"

#include <locale.h>
#include <wchar.h>

#include <algorithm>
#include <cstring>

#include "platform/posix/terminal_codes.h"

namespace zavero::platform {

namespace {

// The cells a character takes as terminals count them (wcwidth in UTF-8),
// whatever locale the program runs in: 0 for a combining mark.
int CellsOf(std::uint32_t c) {
  if (c < 0x7F) return 1;
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8 == static_cast<locale_t>(0)) return 1;
  const locale_t before = uselocale(utf8);
  const int cells = wcwidth(static_cast<wchar_t>(c));
  uselocale(before);
  return cells < 0 ? 1 : std::min(cells, 2);
}

}  // namespace

void ScreenModel::Reset(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  cells_.assign(static_cast<std::size_t>(width_) * height_, Cell{});
  x_ = y_ = 0;
  pending_wrap_ = false;
}

void ScreenModel::MoveCursor(int x, int y) {
  // A terminal keeps the cursor on the screen whatever it is asked.
  x_ = std::clamp(x, 0, std::max(width_ - 1, 0));
  y_ = std::clamp(y, 0, std::max(height_ - 1, 0));
  pending_wrap_ = false;
}

void ScreenModel::Put(const char* bytes, std::size_t count) {
  if (!InUse()) return;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < count;) {
    const unsigned char lead = p[i];
    if (lead == '\r') {
      x_ = 0;
      pending_wrap_ = false;
    } else if (lead == '\n') {
      NewLine();
    }
    if (lead < 0x20 || lead == 0x7F) {
      ++i;
      continue;
    }
    std::size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::uint32_t c = size == 1 ? lead : lead & (0x3F >> (size - 1));
    for (std::size_t k = 1; k < size; ++k) {
      if (i + k >= count || (p[i + k] & 0xC0) != 0x80) {
        size = 1;  // a broken sequence shows as one replacement character
        c = 0xFFFD;
        break;
      }
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    PutCharacter(bytes + i, size, CellsOf(c));
    i += size;
  }
}

void ScreenModel::PutCharacter(const char* bytes, std::size_t size, int cells) {
  if (cells == 0) {
    // A combining mark joins the character written last.
    const int x = pending_wrap_ ? x_ : std::max(x_ - 1, 0);
    Cell& before = At(x, y_);
    if (before.Size > 0 && before.Size + size <= sizeof before.Bytes) {
      std::memcpy(before.Bytes + before.Size, bytes, size);
      before.Size = static_cast<std::uint8_t>(before.Size + size);
    }
    return;
  }
  if (pending_wrap_ && wrap_) NewLine();
  pending_wrap_ = false;
  if (x_ + cells > width_) {
    if (!wrap_) return;  // a wide character that does not fit the last column
    NewLine();
  }
  Cell& cell = At(x_, y_);
  std::memcpy(cell.Bytes, bytes, size);
  cell.Size = static_cast<std::uint8_t>(size);
  cell.Attribute = attribute_;
  if (cells == 2) {
    At(x_ + 1, y_).Size = 0;
    At(x_ + 1, y_).Attribute = attribute_;
  }
  x_ += cells;
  if (x_ >= width_) {
    // With wrapping off the cursor stays on the last column, which the next
    // character overwrites; with it on, the next character starts a new row.
    x_ = width_ - 1;
    pending_wrap_ = true;
  }
}

void ScreenModel::NewLine() {
  x_ = 0;
  pending_wrap_ = false;
  if (y_ + 1 < height_) {
    ++y_;
    return;
  }
  cells_.erase(cells_.begin(), cells_.begin() + width_);
  cells_.resize(static_cast<std::size_t>(width_) * height_, Cell{});
}

std::string ScreenModel::Redraw() const {
  std::string s = "\x1b[0m\x1b[H\x1b[2J";
  s += kAutowrapOff;  // a full last column must not scroll the screen
  if (!title_.empty()) s += TitleSequence(title_.c_str());
  std::uint16_t current = 0x07;
  for (int y = 0; y < height_; ++y) {
    const Cell* row = &cells_[static_cast<std::size_t>(y) * width_];
    int end = width_;
    while (end > 0 && row[end - 1].Size == 1 && row[end - 1].Bytes[0] == ' ' &&
           row[end - 1].Attribute == 0x07)
      --end;
    if (end == 0) continue;
    s += CursorSequence(0, y);
    for (int x = 0; x < end; ++x) {
      if (row[x].Size == 0) continue;
      if (row[x].Attribute != current) s += ColourSequence(current = row[x].Attribute);
      s.append(row[x].Bytes, row[x].Size);
    }
  }
  s += ColourSequence(attribute_);
  s += wrap_ ? kAutowrapOn : kAutowrapOff;
  s += CursorSequence(x_, y_);
  return s;
}

}  // namespace zavero::platform
