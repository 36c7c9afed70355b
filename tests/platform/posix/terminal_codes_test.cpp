#include "platform/posix/terminal_codes.h"

#include <gtest/gtest.h>

namespace zavero::platform {
namespace {

TEST(TerminalCodes, ConsoleColoursBecomeSgrWithTheDefaultAsReset) {
  EXPECT_EQ(ColourSequence(12), "\x1b[0;91m");        // bright red
  EXPECT_EQ(ColourSequence(15), "\x1b[0;97m");        // bright white
  EXPECT_EQ(ColourSequence(9), "\x1b[0;94m");         // bright blue
  EXPECT_EQ(ColourSequence(7), "\x1b[0m");            // the console's default
  EXPECT_EQ(ColourSequence(0x4E), "\x1b[0;93;41m");   // yellow on red
  EXPECT_EQ(ColourSequence(0x96), "\x1b[0;33;104m");  // dark yellow on bright blue
}

TEST(TerminalCodes, CursorCountsFromOneAndTitlesLoseControlCharacters) {
  EXPECT_EQ(CursorSequence(0, 150), "\x1b[151;1H");
  EXPECT_EQ(TitleSequence("ZAVERO\x1b\a von QOR"), "\x1b]0;ZAVERO von QOR\a");
}

}  // namespace
}  // namespace zavero::platform
