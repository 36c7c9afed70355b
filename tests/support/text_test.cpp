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
  EXPECT_TRUE(TextEquals(kMissing, ""));
  EXPECT_TRUE(TextEquals(std::string(), kMissing));
  EXPECT_FALSE(TextEquals(kMissing, "a"));
  EXPECT_EQ(TextAt(nullptr), "");
  EXPECT_EQ(TextFromBuffer(nullptr, 10), "");
}

TEST(TextTest, LengthCountsBytesBeforeTheZero) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("C:\\Data"), 7);
  EXPECT_EQ(TextLength(std::string(300, 'x')), 300);
  EXPECT_EQ(TextLength("\xE4\xF6\xFC"), 3);  // 8-bit bytes count once each
}

TEST(TextTest, RightClampsCountToTheText) {
  EXPECT_EQ(TextRight("abc", 5), "abc");
  EXPECT_EQ(TextRight("abc", 3), "abc");
  EXPECT_EQ(TextRight("abc", 2), "bc");
  EXPECT_EQ(TextRight("abc", 0), "");
  EXPECT_EQ(TextRight("abc", -1), "");
  EXPECT_EQ(TextRight("abc", INT32_MIN), "");
  EXPECT_EQ(TextRight("C:\\", 1), "\\");
  EXPECT_EQ(TextRight(std::string("D:\\Data"), 1), "a");
}

TEST(TextTest, SpacesForNonPositiveCountsAreEmpty) {
  EXPECT_EQ(TextSpaces(0), "");
  EXPECT_EQ(TextSpaces(-3), "");
  EXPECT_EQ(TextSpaces(3), "   ");
  const std::string row = TextSpaces(260);
  EXPECT_EQ(row.size(), 260u);
  EXPECT_EQ(row.find_first_not_of(' '), std::string::npos);
}

TEST(TextTest, EqualsIsExactAndCaseSensitive) {
  EXPECT_FALSE(TextEquals("clear", "CLEAR"));
  EXPECT_TRUE(TextEquals(TextUpper("clear"), "CLEAR"));
  EXPECT_TRUE(TextEquals("A:\\", std::string("A:\\")));
  EXPECT_FALSE(TextEquals("CLEAR", "CLEAR "));
  EXPECT_FALSE(TextEquals("CLEA", "CLEAR"));
  EXPECT_FALSE(TextEquals("\xC4", "\xE4"));  // no locale folding of 8-bit letters
}

TEST(TextTest, UpperDefaultRuleCoversAsciiAndWindows1252Letters) {
  EXPECT_EQ(TextUpper("Clear"), "CLEAR");
  EXPECT_EQ(TextUpper("a:\\"), "A:\\");
  // Digits, punctuation and the neighbours of a-z stay as they are.
  EXPECT_EQ(TextUpper("09@[`{~ \\"), "09@[`{~ \\");
  // a-umlaut, o-umlaut, u-umlaut, thorn; the division sign 0xF7 is no letter.
  EXPECT_EQ(TextUpper("\xE4\xF6\xFC\xFE\xF7"), "\xC4\xD6\xDC\xDE\xF7");
  // s and z with caron, oe ligature, y with diaeresis.
  EXPECT_EQ(TextUpper("\x9A\x9C\x9E\xFF"), "\x8A\x8C\x8E\x9F");
  // Already upper case, and sharp s / micro sign, which have no upper form here.
  EXPECT_EQ(TextUpper("\xC4\x8A\xDF\xB5"), "\xC4\x8A\xDF\xB5");
}

TEST(TextTest, UpperUsesTheInstalledRuleAndKeepsTheLength) {
  // A rule that marks every byte it is given, to see what TextUpper hands it.
  SetTextUpperRule([](char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) text[i] = '#';
  });
  EXPECT_EQ(TextUpper("abc"), "###");
  EXPECT_EQ(TextUpper(""), "");
  SetTextUpperRule(nullptr);  // back to the default
  EXPECT_EQ(TextUpper("abc"), "ABC");
}

TEST(TextTest, AtReadsUpToTheZeroOfAByteList) {
  // A drive list as the platform returns it: texts one after another.
  const char drives[] = "A:\\\0C:\\\0\0";
  EXPECT_EQ(TextAt(drives), "A:\\");
  EXPECT_EQ(TextAt(drives + 4), "C:\\");
  EXPECT_EQ(TextAt(drives + 8), "");
}

TEST(TextTest, FromBufferStopsAtTheZeroOrAtMax) {
  char buffer[1600] = "C:\\Windows\\system32";
  EXPECT_EQ(TextFromBuffer(buffer, 1600), "C:\\Windows\\system32");
  EXPECT_EQ(TextFromBuffer(buffer, 2), "C:");
  EXPECT_EQ(TextFromBuffer(buffer, 0), "");
  EXPECT_EQ(TextFromBuffer(buffer, -5), "");
  // No zero inside the limit: exactly max characters, nothing read beyond.
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(TextFromBuffer(unterminated, 4), "abcd");
}

TEST(TextTest, HexTextHasUpperDigitsAndNoLeadingZeros) {
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(2), "2");
  EXPECT_EQ(HexText(255), "FF");
  EXPECT_EQ(HexText(0x10), "10");
  EXPECT_EQ(HexText(0xABCDEF), "ABCDEF");
  EXPECT_EQ(HexText(-1), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(HexText(INT32_MIN), "FFFFFFFF80000000");  // bit 31 widened with its sign
  EXPECT_EQ(HexText(INT64_MIN), "8000000000000000");
  EXPECT_EQ(HexText(INT64_MAX), "7FFFFFFFFFFFFFFF");
}

TEST(TextTest, DecimalTextIsExactOverTheWhole64BitRange) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(7), "7");
  EXPECT_EQ(DecimalText(-5), "-5");
  EXPECT_EQ(DecimalText(1000), "1000");
  EXPECT_EQ(DecimalText(4294967296LL), "4294967296");
  EXPECT_EQ(DecimalText(INT32_MIN), "-2147483648");
  EXPECT_EQ(DecimalText(INT32_MAX), "2147483647");
  EXPECT_EQ(DecimalText(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(DecimalText(INT64_MIN), "-9223372036854775808");
}

}  // namespace
}  // namespace zavero::support
