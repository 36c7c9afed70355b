#include "platform/posix/terminal_codes.h"

namespace zavero::platform {

namespace {

// Console colour bits (1 blue, 2 green, 4 red) to the ANSI order (1 red,
// 2 green, 4 blue).
int AnsiColour(unsigned console) {
  return ((console & 4) ? 1 : 0) | (console & 2) | ((console & 1) ? 4 : 0);
}

}  // namespace

std::string ColourSequence(std::uint16_t attribute) {
  const unsigned foreground = attribute & 0xF;
  const unsigned background = (attribute >> 4) & 0xF;
  if (foreground == 7 && background == 0) return "\x1b[0m";
  std::string s = "\x1b[0;";
  s += std::to_string(((foreground & 8) ? 90 : 30) + AnsiColour(foreground));
  if (background != 0) {
    s += ';';
    s += std::to_string(((background & 8) ? 100 : 40) + AnsiColour(background));
  }
  s += 'm';
  return s;
}

std::string CursorSequence(int x, int y) {
  return "\x1b[" + std::to_string(y + 1) + ';' + std::to_string(x + 1) + 'H';
}

std::string TitleSequence(const char* title) {
  std::string s = "\x1b]0;";
  for (const char* p = title; p != nullptr && *p != 0; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x20 && c != 0x7F) s += *p;
  }
  s += '\a';
  return s;
}

}  // namespace zavero::platform
