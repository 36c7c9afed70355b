// Text values and the number formatting the log and the screen rows need.
//
// A text is a run of 8-bit ANSI bytes without a zero byte inside; the program
// keeps its texts in std::string. Every operation here accepts a text either as
// a std::string or as a zero-terminated const char*, and a null const char*
// reads as the empty text, so a missing value can never crash a comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zavero::support {

// A borrowed view of a text: from a std::string or a zero-terminated const
// char* (null reads as ""). data() is always zero-terminated, so it can be
// handed to a platform call as is. Lives only as long as what it views.
class TextRef {
 public:
  TextRef(const char* text);         // NOLINT: implicit on purpose
  TextRef(const std::string& text)   // NOLINT: implicit on purpose
      : data_(text.c_str()), size_(text.size()) {}

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  const char* data_;
  std::size_t size_;
};

// Upper-cases `length` bytes at `text` in place, by some code page's rules.
using UpperRule = void (*)(char* text, std::size_t length);

// Installs the rule TextUpper uses: the program installs the platform's own
// ANSI rule at start-up, before the first TextUpper. Null restores the default.
void SetTextUpperRule(UpperRule rule);

// The rule used until another is installed: ASCII a-z and the Windows-1252
// letters (the code page most ANSI systems run with).
void UpperCaseWindows1252(char* text, std::size_t length);

// Bytes before the terminating zero; 0 for an empty or missing text.
std::int32_t TextLength(TextRef text);

// The last n characters of text: none for n <= 0, all of it when n is larger.
std::string TextRight(TextRef text, std::int32_t n);

// A copy with every lower-case letter upper-cased by the installed rule; same
// length, every other byte unchanged.
std::string TextUpper(TextRef text);

// n blanks; empty for n <= 0.
std::string TextSpaces(std::int32_t n);

// Same length and same bytes: case-sensitive, no locale rules.
bool TextEquals(TextRef a, TextRef b);

// The zero-terminated text stored at address; empty for null.
std::string TextAt(const char* address);

// The characters of a fixed-size buffer up to its first zero byte but at most
// max of them; empty for a null buffer or max <= 0.
std::string TextFromBuffer(const char* buffer, std::int32_t max);

// Upper-case hexadecimal digits of the 64-bit pattern of value, no prefix and
// no leading zeros: 255 -> "FF", -1 -> "FFFFFFFFFFFFFFFF", 0 -> "0".
std::string HexText(std::int64_t value);

// Signed decimal form, exact over the whole 64-bit range: -5 -> "-5".
std::string DecimalText(std::int64_t value);

// How a line shows a text that came from outside the program (a name, a
// path, a parameter): the same on the screen, in the log and in plain lines.
struct DisplayRules {
  // Names may hold a backslash (Linux): it is shown doubled, so that two
  // different names never show as the same text.
  bool DoubleBackslash = false;
  // Texts are UTF-8, where the C1 controls U+0080..U+009F are the two bytes
  // C2 80..C2 9F.
  bool Utf8 = false;
};

// The text with each byte of a control character shown as "\xHH" (upper-case
// hex): C0 (0x00-0x1F), DEL (0x7F) and, in UTF-8, C1, both as a character
// and as a byte 0x80-0x9F outside any character. Nothing in it acts on a
// terminal and it never breaks a line; every other byte stays as it is.
std::string DisplayForm(TextRef text, DisplayRules rules);

// How many of the `length` bytes of UTF-8 text fill at most `columns` cells of
// a console row: a character ends up whole or not at all, East Asian wide
// characters and emoji take two cells, every other one (a stray byte too) one.
std::size_t Utf8BytesForColumns(const char* text, std::size_t length, std::size_t columns);

}  // namespace zavero::support
