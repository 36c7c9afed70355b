// The escape sequences that make a terminal do what the console calls do on
// Windows: pure text, so the colour mapping is tested without a terminal.
#pragma once

#include <cstdint>
#include <string>

namespace zavero::platform {

// Wrap at the last column off and on (the console's wrap-at-EOL mode).
constexpr const char kAutowrapOff[] = "\x1b[?7l";
constexpr const char kAutowrapOn[] = "\x1b[?7h";
// What a program that changed colours or wrapping leaves behind.
constexpr const char kTerminalRestore[] = "\x1b[0m\x1b[?7h";

// SGR for a console attribute (background * 16 + foreground, each with the
// bits 1 blue, 2 green, 4 red, 8 bright). The console's default, light grey
// on black, is the terminal's own default; a black background is the
// terminal's default background, whatever colour that is.
std::string ColourSequence(std::uint16_t attribute);

// Cursor to column x, row y, counted from 0 as the console counts them.
std::string CursorSequence(int x, int y);

// The window title; control characters in it are dropped, as they would end
// the sequence early.
std::string TitleSequence(const char* title);

}  // namespace zavero::platform
