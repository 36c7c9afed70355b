#include "platform/posix/name_pattern.h"

#include <gtest/gtest.h>

namespace zavero::platform {
namespace {

TEST(NamePattern, MatchesAsTheWindowsFindFunctionsDo) {
  struct Case {
    const char* Pattern;
    const char* Name;
    bool Matches;
  } cases[] = {
      {"*", "anything at all", true},
      {"*.*", "no-dot", true},       // the old spelling of "every name"
      {"*.TXT", "notes.txt", true},  // ASCII letters without case
      {"*.txt", "notes.txt.bak", false},
      {"readme", "README", true},  // no wildcard: one name
      {"readme", "readme2", false},
      {"?.txt", "\xCE\xA9.txt", true},  // "?" is one character, here two UTF-8 bytes
      {"??.txt", "\xCE\xA9.txt", false},
      {"a*b*c", "aXXbYbZc", true},  // a star gives back what the next one needs
      {"a*b*c", "aXXbYbZ", false},
      {"\xC3\x84*", "\xC3\xA4x", false},  // case beyond ASCII is left alone
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesNamePattern(c.Pattern, c.Name), c.Matches) << c.Pattern << " / " << c.Name;
}

}  // namespace
}  // namespace zavero::platform
