#include "run/read_run_options.h"

#include <gtest/gtest.h>

#include "fake/fake_machine.h"

namespace zavero {
namespace {

std::vector<std::string> Params(const char* line, int n = 8) {
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) out.push_back(GetRunParameter(line, i));
  return out;
}

TEST(CommandLineSplitter, BlanksSeparateAndQuotesGroup) {
  EXPECT_EQ(Params("zavero.exe CLEAR  \"C:\\my logs\\a.log\"   D:\\ ", 4),
            (std::vector<std::string>{"CLEAR", "C:\\my logs\\a.log", "D:\\", ""}));
  // The program's own name is token 0, quoted or not.
  EXPECT_EQ(GetRunParameter("\"C:\\Program Files\\zavero.exe\" list", 0), "list");
  EXPECT_EQ(GetRunParameter("", 0), "");
  EXPECT_EQ(GetRunParameter(nullptr, 0), "");
}

TEST(CommandLineSplitter, QuoteRulesDifferFromTheCRuntime) {
  // A closing quote ends the token even without a blank after it.
  EXPECT_EQ(Params("z \"ab\"cd", 2), (std::vector<std::string>{"ab", "cd"}));
  // A quote inside an unquoted token is an ordinary character.
  EXPECT_EQ(Params("z ab\"cd", 2), (std::vector<std::string>{"ab\"cd", ""}));
  // No escapes: a backslash before a quote is just a backslash.
  EXPECT_EQ(Params("z \"a\\\" b", 2), (std::vector<std::string>{"a\\", "b"}));
  // An unbalanced quote runs to the end of the line.
  EXPECT_EQ(GetRunParameter("z \"a b c", 0), "a b c");
  // Tabs are ordinary characters.
  EXPECT_EQ(Params("z a\tb c", 2), (std::vector<std::string>{"a\tb", "c"}));
  // An empty pair of quotes holds its position.
  EXPECT_EQ(Params("z CLEAR log.txt \"\" *.doc 1", 5),
            (std::vector<std::string>{"CLEAR", "log.txt", "", "*.doc", "1"}));
}

TEST(ParseNumber, NotationsSignsAndStops) {
  EXPECT_EQ(ParseNumber("$22"), 34);
  EXPECT_EQ(ParseNumber("%110"), 6);
  EXPECT_EQ(ParseNumber("12abc"), 12);
  EXPECT_EQ(ParseNumber("abc"), 0);
  EXPECT_EQ(ParseNumber("0x10"), 16);
  EXPECT_EQ(ParseNumber("+7"), 7);
  EXPECT_EQ(ParseNumber("- 5"), 0);
  EXPECT_EQ(ParseNumber("  42"), 42);
  EXPECT_EQ(ParseNumber("\t-12abc"), -12);
  EXPECT_EQ(ParseNumber("$1f"), 31);
  EXPECT_EQ(ParseNumber("-$FF"), -255);
  EXPECT_EQ(ParseNumber("%101"), 5);
  EXPECT_EQ(ParseNumber("%102"), 2);
  EXPECT_EQ(ParseNumber("$"), 0);
  EXPECT_EQ(ParseNumber(""), 0);
  EXPECT_EQ(ParseNumber(nullptr), 0);
  EXPECT_EQ(ParseNumber("\n5"), 0);  // only blanks and tabs are skipped
}

TEST(ParseNumber, WrapsModulo2To64) {
  EXPECT_EQ(ParseNumber("18446744073709551615"), -1);
  EXPECT_EQ(ParseNumber("18446744073709551616"), 0);
  EXPECT_EQ(ParseNumber("$FFFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(ParseNumber("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(ParseNumber("99999999999999999999999999"), -2537764290115403777LL);
}

TEST(FolderPart, Examples) {
  EXPECT_EQ(FolderPart("C:\\logs\\run.txt"), "C:\\logs\\");
  EXPECT_EQ(FolderPart("run.txt"), "");
  EXPECT_EQ(FolderPart("C:run.txt"), "");
  EXPECT_EQ(FolderPart("a/b"), "a/");
  EXPECT_EQ(FolderPart("C:\\a|b\\c"), "C:\\");
  EXPECT_EQ(FolderPart("\"C:\\logs\\run.txt\""), "C:\\logs\\");
  EXPECT_EQ(FolderPart(""), "");
  EXPECT_EQ(FolderPart("\""), "");
}

class ReadRunOptionsTest : public ::testing::Test {
 protected:
  RunOptions Read(const std::string& line) {
    machine.Process.CommandLineText = line;
    return ReadRunOptions(machine.Process);
  }
  fake::FakeMachine machine;
};

TEST_F(ReadRunOptionsTest, DefaultsWithoutParameters) {
  RunOptions o = Read("zavero.exe");
  EXPECT_EQ(o.Mode, "");
  EXPECT_EQ(o.LogPath, "");
  EXPECT_EQ(o.StartFolder, "");
  EXPECT_EQ(o.Pattern, "*");
  EXPECT_EQ(o.SelectFolders, 1);
  EXPECT_EQ(o.SelectFiles, 1);
  EXPECT_EQ(o.SkipMask, 4);
  EXPECT_EQ(o.IncludeMask, 2);
  // The program folder is looked up only for a bare log name.
  EXPECT_EQ(machine.Calls.Count("ModuleFileName"), 0);
}

TEST_F(ReadRunOptionsTest, BareLogNameLandsInTheProgramFolder) {
  machine.Process.ModuleFileNameText = "C:\\Tools\\zavero.exe";
  EXPECT_EQ(Read("z list scan.log").LogPath, "C:\\Tools\\scan.log");
  machine.Process.ModuleFileNameText = "\\\\?\\D:\\Long\\zavero.exe";
  EXPECT_EQ(Read("z list scan.log").LogPath, "D:\\Long\\scan.log");
  for (const char* kept : {"logs\\scan.log", "C:\\temp\\scan.log", "a/scan.log"})
    EXPECT_EQ(Read(std::string("z list ") + kept).LogPath, kept);
}

TEST_F(ReadRunOptionsTest, ShortStartFolderMeansAllDrives) {
  EXPECT_EQ(Read("z list \"\" C").StartFolder, "");
  EXPECT_EQ(Read("z list \"\" .").StartFolder, "");
  EXPECT_EQ(Read("z list \"\" \\").StartFolder, "");
  EXPECT_EQ(Read("z list \"\" C:").StartFolder, "C:");
  EXPECT_EQ(Read("z list \"\" C:\\Data\\").StartFolder, "C:\\Data\\");
}

TEST_F(ReadRunOptionsTest, NumericParametersKeepTheLow32Bits) {
  RunOptions o = Read("z CLEAR \"\" \"\" *.txt yes 2 0 4294967295");
  EXPECT_EQ(o.Mode, "CLEAR");
  EXPECT_EQ(o.Pattern, "*.txt");
  EXPECT_EQ(o.SelectFolders, 0);
  EXPECT_EQ(o.SelectFiles, 2);
  EXPECT_EQ(o.SkipMask, 0);
  EXPECT_EQ(o.IncludeMask, -1);
  o = Read("z \"CLEAR \" \"\" \"\" \"\" \"\" \"\" -1 $80000000");
  EXPECT_EQ(o.Mode, "CLEAR ");  // stored unchanged
  EXPECT_EQ(o.SelectFolders, 1);
  EXPECT_EQ(o.SelectFiles, 1);
  EXPECT_EQ(o.SkipMask, -1);
  EXPECT_EQ(o.IncludeMask, INT32_MIN);
  EXPECT_EQ(Read("z a b c d e f g $100000006").IncludeMask, 6);
}

}  // namespace
}  // namespace zavero
