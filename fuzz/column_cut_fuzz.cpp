// The cut of a screen row at the console's width (first byte) on any bytes.
// The bytes kept never end inside a well-formed UTF-8 character and never
// take more cells than the width as a terminal draws them: each character at
// least one cell (CJK ideographs and Hangul syllables two), and each
// ill-formed run (its longest start of a character) one replacement cell.
// Printable ASCII is cut at exactly the width; a wider row keeps at least as
// much, and the kept bytes cut again stay whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "support/text.h"

namespace {

// Bytes of the character or ill-formed run at `s` (n > 0 left); `whole` says which.
std::size_t Unit(const unsigned char* s, std::size_t n, bool* whole, std::uint32_t* code) {
  const unsigned char b = s[0];
  const std::size_t size = b < 0x80                 ? 1
                           : b >= 0xC2 && b <= 0xDF ? 2
                           : b >= 0xE0 && b <= 0xEF ? 3
                           : b >= 0xF0 && b <= 0xF4 ? 4
                                                    : 0;
  const unsigned char low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
  std::size_t at = 1;
  *code = size == 1 ? b : b & (0x7F >> size);
  for (; at < size && at < n; ++at) {
    if (s[at] < (at == 1 ? low : 0x80) || s[at] > (at == 1 ? high : 0xBF)) break;
    *code = (*code << 6) | (s[at] & 0x3F);
  }
  *whole = size != 0 && at == size;
  return at;
}

std::size_t Cells(const unsigned char* s, std::size_t n, std::size_t cut) {
  std::size_t cells = 0;
  bool whole;
  std::uint32_t c;
  for (std::size_t at = 0; at < n; at += Unit(s + at, n - at, &whole, &c)) {
    if (at < cut && cut < at + Unit(s + at, n - at, &whole, &c) && whole) std::abort();
    if (at < cut)
      cells += whole && ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3)) ? 2 : 1;
  }
  return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t width = data[0], n = size - 1;
  const auto* s = data + 1;
  const char* text = reinterpret_cast<const char*>(s);
  const std::size_t cut = zavero::support::Utf8BytesForColumns(text, n, width);
  if (cut > n) std::abort();
  // The cells of the kept bytes, drawn alone (a run cut short is one cell).
  if (Cells(s, cut, cut) > width) std::abort();
  Cells(s, n, cut);  // the cut falls between characters of the whole text
  if (std::all_of(s, s + n, [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; }) &&
      cut != std::min(n, width))
    std::abort();
  if (zavero::support::Utf8BytesForColumns(text, n, width + 1) < cut ||
      zavero::support::Utf8BytesForColumns(text, cut, width) != cut)
    std::abort();
  return 0;
}
