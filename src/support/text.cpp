#include "support/text.h"

#include <climits>
#include <cstring>

namespace zavero::support {

namespace {

// Installed once at start-up by the program's entry, read by TextUpper on the
// run thread only; the console's control handler builds no texts.
UpperRule upper_rule = &UpperCaseWindows1252;

const char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

TextRef::TextRef(const char* text)
    : data_(text != nullptr ? text : ""), size_(text != nullptr ? std::strlen(text) : 0) {}

void SetTextUpperRule(UpperRule rule) {
  upper_rule = rule != nullptr ? rule : &UpperCaseWindows1252;
}

void UpperCaseWindows1252(char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    unsigned char upper = byte;
    if (byte >= 'a' && byte <= 'z') {
      upper = static_cast<unsigned char>(byte - 0x20);
    } else if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) {  // 0xF7 is the division sign
      upper = static_cast<unsigned char>(byte - 0x20);
    } else if (byte == 0x9A || byte == 0x9C || byte == 0x9E) {  // s, oe, z with caron / ligature
      upper = static_cast<unsigned char>(byte - 0x10);
    } else if (byte == 0xFF) {  // y with diaeresis lives at 0x9F in upper case
      upper = 0x9F;
    }
    text[i] = static_cast<char>(upper);
  }
}

std::int32_t TextLength(TextRef text) {
  // A text longer than the 32-bit range does not occur on the 32-bit target;
  // clamp rather than wrap to a negative length elsewhere.
  return text.size() > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX
                                                           : static_cast<std::int32_t>(text.size());
}

std::string TextRight(TextRef text, std::int32_t n) {
  std::size_t keep = n > 0 ? static_cast<std::size_t>(n) : 0;
  if (keep > text.size()) keep = text.size();
  return std::string(text.data() + (text.size() - keep), keep);
}

std::string TextUpper(TextRef text) {
  std::string copy(text.data(), text.size());
  if (!copy.empty()) upper_rule(&copy[0], copy.size());
  return copy;
}

std::string TextSpaces(std::int32_t n) {
  return n > 0 ? std::string(static_cast<std::size_t>(n), ' ') : std::string();
}

bool TextEquals(TextRef a, TextRef b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string TextAt(const char* address) { return TextRef(address).data(); }

std::string TextFromBuffer(const char* buffer, std::int32_t max) {
  if (buffer == nullptr || max <= 0) return std::string();
  const auto limit = static_cast<std::size_t>(max);
  const void* zero = std::memchr(buffer, 0, limit);
  const std::size_t length =
      zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer) : limit;
  return std::string(buffer, length);
}

std::string HexText(std::int64_t value) {
  auto bits = static_cast<std::uint64_t>(value);
  char digits[16];
  int count = 0;
  do {
    digits[count++] = kHexDigits[bits & 0xF];
    bits >>= 4;
  } while (bits != 0);
  std::string text;
  text.reserve(static_cast<std::size_t>(count));
  while (count > 0) text.push_back(digits[--count]);
  return text;
}

std::string DecimalText(std::int64_t value) {
  // Work on the magnitude as unsigned: -(INT64_MIN) does not fit a signed value.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text;
  text.reserve(static_cast<std::size_t>(count) + 1);
  if (value < 0) text.push_back('-');
  while (count > 0) text.push_back(digits[--count]);
  return text;
}

namespace {

// The length of the well-formed UTF-8 character that starts at p[i] (no
// overlong form, no surrogate, nothing above U+10FFFF); 0 when none does.
std::size_t Utf8CharacterAt(const unsigned char* p, std::size_t i, std::size_t n) {
  const unsigned char lead = p[i];
  const std::size_t size = lead >= 0xC2 && lead <= 0xDF   ? 2
                           : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                          : 0;
  if (size == 0 || i + size > n) return 0;
  const unsigned char second = p[i + 1];
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < size; ++k)
    if ((p[i + k] & 0xC0) != 0x80) return 0;
  return size;
}

}  // namespace

std::string DisplayForm(TextRef text, DisplayRules rules) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::string shown;
  shown.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t bytes = 0;
    const std::size_t character = rules.Utf8 && p[i] >= 0x80 ? Utf8CharacterAt(p, i, n) : 0;
    if (p[i] < 0x20 || p[i] == 0x7F) {
      bytes = 1;
    } else if (character == 2 && p[i] == 0xC2 && p[i + 1] <= 0x9F) {
      bytes = 2;  // a C1 control, U+0080..U+009F
    } else if (character > 0) {
      shown.append(text.data() + i, character);
      i += character - 1;
      continue;
    } else if (rules.Utf8 && p[i] >= 0x80 && p[i] <= 0x9F) {
      bytes = 1;  // a byte outside any character, which a terminal may take as C1
    } else {
      if (p[i] == '\\' && rules.DoubleBackslash) shown += '\\';
      shown += static_cast<char>(p[i]);
      continue;
    }
    for (std::size_t k = 0; k < bytes; ++k) {
      const unsigned char b = p[i + k];
      shown += "\\x";
      shown += kHexDigits[b >> 4];
      shown += kHexDigits[b & 0xF];
    }
    i += bytes - 1;
  }
  return shown;
}

namespace {

// Characters a console draws two cells wide: the East Asian wide and
// full-width blocks and the emoji planes.
bool IsWide(std::uint32_t c) {
  static const std::uint32_t kRanges[][2] = {
      {0x1100, 0x115F},   {0x2329, 0x232A},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
      {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},
      {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
      {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
  };
  for (const auto& r : kRanges)
    if (c >= r[0] && c <= r[1]) return true;
  return false;
}

}  // namespace

std::size_t Utf8BytesForColumns(const char* text, std::size_t length, std::size_t columns) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  std::size_t at = 0;
  std::size_t used = 0;
  while (at < length) {
    // A byte that starts no well-formed character (a broken sequence, an
    // overlong form, a surrogate, a value past U+10FFFF) shows as one cell.
    std::size_t size = p[at] >= 0x80 ? Utf8CharacterAt(p, at, length) : 1;
    std::uint32_t c = p[at];
    if (size == 0) {
      size = 1;
    } else if (size > 1) {
      c &= 0x3Fu >> (size - 1);
      for (std::size_t i = 1; i < size; ++i) c = (c << 6) | (p[at + i] & 0x3F);
    }
    const std::size_t cells = IsWide(c) ? 2 : 1;
    if (used + cells > columns) break;
    used += cells;
    at += size;
  }
  return at;
}

}  // namespace zavero::support
