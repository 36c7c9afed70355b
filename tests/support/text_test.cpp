#include "support/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

namespace zavero::support {
namespace {

const char* const kMissing = nullptr;

TEST(TextTest, MissingTextReadsAsEmptyEverywhere) {
  EXPECT_EQ(TextLength(kMissing), 0);
  EXPECT_EQ(TextRight(kMissing, 3), "");
  EXPECT_EQ(TextUpper(kMissing), "");
  EXPECT_TRUE(TextEquals(kMissing, std::string()));
  EXPECT_FALSE(TextEquals(kMissing, "a"));
  EXPECT_EQ(TextAt(nullptr), "");
  EXPECT_EQ(TextFromBuffer(nullptr, 10), "");
}

TEST(TextTest, LengthRightAndSpacesClampTheirCounts) {
  EXPECT_EQ(TextLength(std::string(300, 'x')), 300);
  EXPECT_EQ(TextRight("abc", 5), "abc");
  EXPECT_EQ(TextRight("abc", 2), "bc");
  EXPECT_EQ(TextRight("abc", 0), "");
  EXPECT_EQ(TextRight("abc", -1), "");
  EXPECT_EQ(TextRight(std::string("C:\\"), 1), "\\");
  EXPECT_EQ(TextSpaces(0), "");
  EXPECT_EQ(TextSpaces(-3), "");
  EXPECT_EQ(TextSpaces(260), std::string(260, ' '));
}

TEST(TextTest, EqualsIsExactAndCaseSensitive) {
  EXPECT_FALSE(TextEquals("clear", "CLEAR"));
  EXPECT_TRUE(TextEquals(TextUpper("clear"), "CLEAR"));
  EXPECT_FALSE(TextEquals("CLEAR", "CLEAR "));
  EXPECT_FALSE(TextEquals("\xC4", "\xE4"));  // no locale folding of 8-bit letters
}

TEST(TextTest, UpperDefaultRuleIsWindows1252AndCanBeReplaced) {
  EXPECT_EQ(TextUpper("a:\\ Clear 09@[`{~"), "A:\\ CLEAR 09@[`{~");
  // a/o/u-umlaut and thorn; 0xF7, the division sign, is no letter.
  EXPECT_EQ(TextUpper("\xE4\xF6\xFC\xFE\xF7"), "\xC4\xD6\xDC\xDE\xF7");
  // s and z with caron, oe ligature, y with diaeresis.
  EXPECT_EQ(TextUpper("\x9A\x9C\x9E\xFF"), "\x8A\x8C\x8E\x9F");
  // Upper case already, sharp s and micro sign (no upper form here).
  EXPECT_EQ(TextUpper("\xC4\x8A\xDF\xB5"), "\xC4\x8A\xDF\xB5");

  // The installed rule gets exactly the copy's bytes.
  SetTextUpperRule([](char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) text[i] = '#';
  });
  EXPECT_EQ(TextUpper("abc"), "###");
  SetTextUpperRule(nullptr);  // back to the default
  EXPECT_EQ(TextUpper("abc"), "ABC");
}

TEST(TextTest, AtAndFromBufferStopAtTheZero) {
  const char drives[] = "A:\\\0C:\\\0\0";  // as the platform lists drives
  EXPECT_EQ(TextAt(drives), "A:\\");
  EXPECT_EQ(TextAt(drives + 4), "C:\\");
  EXPECT_EQ(TextAt(drives + 8), "");
  char buffer[1600] = "C:\\Windows\\system32";
  EXPECT_EQ(TextFromBuffer(buffer, 1600), "C:\\Windows\\system32");
  EXPECT_EQ(TextFromBuffer(buffer, 2), "C:");
  EXPECT_EQ(TextFromBuffer(buffer, -5), "");
  const char unterminated[4] = {'a', 'b', 'c', 'd'};  // nothing read past max
  EXPECT_EQ(TextFromBuffer(unterminated, 4), "abcd");
}

TEST(TextTest, HexTextHasUpperDigitsAndNoLeadingZeros) {
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(2), "2");
  EXPECT_EQ(HexText(255), "FF");
  EXPECT_EQ(HexText(0x10), "10");
  EXPECT_EQ(HexText(-1), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(HexText(INT32_MIN), "FFFFFFFF80000000");  // bit 31 widened with its sign
  EXPECT_EQ(HexText(INT64_MIN), "8000000000000000");
}

TEST(TextTest, DecimalTextIsExactOverTheWhole64BitRange) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-5), "-5");
  EXPECT_EQ(DecimalText(1000), "1000");
  EXPECT_EQ(DecimalText(4294967296LL), "4294967296");
  EXPECT_EQ(DecimalText(INT32_MIN), "-2147483648");
  EXPECT_EQ(DecimalText(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(DecimalText(INT64_MIN), "-9223372036854775808");
}

TEST(TextTest, Utf8CutCountsCellsAndKeepsCharactersWhole) {
  const std::string text = "a\xCE\xA9\xE6\x97\xA5\xF0\x9F\x98\x80z";  // a, omega, a wide CJK
  auto cut = [&](std::size_t columns) {                         // character, an emoji, z
    return Utf8BytesForColumns(text.data(), text.size(), columns);
  };
  EXPECT_EQ(cut(2), 3u);   // a and omega: one cell each
  EXPECT_EQ(cut(3), 3u);   // the wide character would need two cells: left out whole
  EXPECT_EQ(cut(4), 6u);
  EXPECT_EQ(cut(6), 10u);  // the 4-byte emoji takes two cells
  EXPECT_EQ(cut(99), text.size());
  const std::string broken = "\xE6\x97x";  // a sequence cut short, then x
  EXPECT_EQ(Utf8BytesForColumns(broken.data(), broken.size(), 2), 2u);  // one cell per stray byte
}

}  // namespace
}  // namespace zavero::support
