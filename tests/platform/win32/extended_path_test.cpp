#include "platform/win32/extended_path.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "platform/win32/wide_text.h"

namespace zavero::platform {
namespace {

using Text = std::u16string;

TEST(ExtendedPath, PlainFormIsMisreadForNamesEndingInADotOrBlankAndForDevices) {
  EXPECT_FALSE(HasMisreadName(Text(u"D:\\Data\\notes.txt"), PathUse::Entry));
  EXPECT_FALSE(HasMisreadName(Text(u"D:\\Data\\..\\x\\.\\y"), PathUse::Entry));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\Data\\trailing dot."), PathUse::Entry));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\blank \\inner.txt"), PathUse::Entry));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\x\\Nul .txt"), PathUse::Entry));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\x\\com7"), PathUse::Entry));
  EXPECT_FALSE(HasMisreadName(Text(u"D:\\x\\com0"), PathUse::Entry));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\x\\COM\u00b9"), PathUse::Entry));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\x\\lpt\u00b2 .txt"), PathUse::Entry));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\x\\Com\u00b3.a.b"), PathUse::Entry));
  EXPECT_FALSE(HasMisreadName(Text(u"D:\\x\\COM\u2074"), PathUse::Entry));  // superscript 4
  EXPECT_FALSE(HasMisreadName(Text(u"D:\\x\\NUL\u00b9"), PathUse::Entry));
  EXPECT_FALSE(HasMisreadName(Text(u"D:\\con\\a.txt"), PathUse::Entry));  // only a last name
  // The pattern at the end of a search keeps the wildcard rules ("*." means no extension).
  EXPECT_FALSE(HasMisreadName(Text(u"D:\\x\\*."), PathUse::Search));
  EXPECT_TRUE(HasMisreadName(Text(u"D:\\x.\\*"), PathUse::Search));
  EXPECT_FALSE(HasMisreadName(Text(u"\\\\?\\D:\\x.\\y."), PathUse::Entry));
}

TEST(ExtendedPath, FormIsBuiltFromTheAbsoluteStartAndTheNamesAsGiven) {
  const Text none;
  EXPECT_EQ(ExtendedForm(Text(u"D:\\Data\\dot."), none), u"\\\\?\\D:\\Data\\dot.");
  EXPECT_EQ(ExtendedForm(Text(u"D:/a/./b/../c \\x"), none), u"\\\\?\\D:\\a\\c \\x");
  EXPECT_EQ(ExtendedForm(Text(u"D:\\..\\..\\x"), none), u"\\\\?\\D:\\x");  // never above the root
  EXPECT_EQ(ExtendedForm(Text(u"D:\\"), none), u"\\\\?\\D:\\");
  EXPECT_EQ(ExtendedForm(Text(u"D:\\Data\\*"), none), u"\\\\?\\D:\\Data\\*");
  EXPECT_EQ(ExtendedForm(Text(u"\\\\srv\\share\\dir\\f."), none), u"\\\\?\\UNC\\srv\\share\\dir\\f.");
  EXPECT_EQ(ExtendedForm(Text(u"-h\\sub\\t "), Text(u"Z:\\work")), u"\\\\?\\Z:\\work\\-h\\sub\\t ");
  EXPECT_EQ(ExtendedForm(Text(u"..\\x."), Text(u"C:\\a\\b")), u"\\\\?\\C:\\a\\x.");
  EXPECT_EQ(ExtendedForm(Text(u"E:sub\\x."), Text(u"E:\\cwd")), u"\\\\?\\E:\\cwd\\sub\\x.");
  EXPECT_EQ(ExtendedForm(Text(u"\\top\\x."), Text(u"C:")), u"\\\\?\\C:\\top\\x.");
  EXPECT_EQ(ExtendedForm(Text(u"x."), Text(u"\\\\?\\UNC\\srv\\share\\deep")),
            u"\\\\?\\UNC\\srv\\share\\deep\\x.");
  EXPECT_EQ(ExtendedForm(Text(u"\\\\?\\D:\\as is."), none), u"\\\\?\\D:\\as is.");
}

// The exe gives the path logic its own WideText: the cuts, joins and
// terminators must come out as with a standard string.
TEST(ExtendedPath, WideTextGivesTheSameForms) {
  const auto wide = [](const wchar_t* text) { return WideText(text, std::wcslen(text)); };
  EXPECT_STREQ(ExtendedForm(wide(L"..\\x.\\"), wide(L"C:\\a\\b")).c_str(), L"\\\\?\\C:\\a\\x.\\");
  WideText text = wide(L"C:\\x");
  text.resize(2);
  text += text;
  EXPECT_STREQ(text.c_str(), L"C:C:");
}

}  // namespace
}  // namespace zavero::platform
