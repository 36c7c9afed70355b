// ParseNumber on arbitrary text, against a reference written from the rules
// of the command line's number notations: white space, sign, "$", "%" or
// "0x", digits of that base up to the first other character, 64-bit wrap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "run/read_run_options.h"

namespace {

// Digit value of c in base, or -1.
int DigitIn(unsigned char c, int base) {
  const std::string digits = "0123456789abcdef";
  const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c);
  const std::size_t at = digits.find(lower);
  if (c == 0 || at == std::string::npos || static_cast<int>(at) >= base) return -1;
  return static_cast<int>(at);
}

std::int64_t Reference(const std::string& text) {
  std::size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return 0;
  int sign = 1;
  if (text[i] == '-' || text[i] == '+') sign = text[i++] == '-' ? -1 : 1;
  int base = 10;
  if (i < text.size() && text[i] == '$') base = 16, ++i;
  else if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) base = 16, i += 2;
  else if (i < text.size() && text[i] == '%') base = 2, ++i;
  // Two 32-bit halves, so the wrap is spelled out rather than inherited.
  std::uint64_t high = 0, low = 0;
  for (; i < text.size(); ++i) {
    const int d = DigitIn(static_cast<unsigned char>(text[i]), base);
    if (d < 0) break;
    low = low * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    high = (high * static_cast<std::uint64_t>(base) + (low >> 32)) & 0xFFFFFFFFu;
    low &= 0xFFFFFFFFu;
  }
  std::uint64_t value = (high << 32) | low;
  if (sign < 0) value = ~value + 1;
  return static_cast<std::int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A text ends at its first zero byte, as the command line's texts do.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string c_text = text.substr(0, text.find('\0'));
  const std::int64_t got = zavero::ParseNumber(c_text.c_str());
  if (got != Reference(c_text)) std::abort();
  return 0;
}
