// Command lines a user gets wrong: numbers in every notation and in none,
// quotes left open, tabs, too many parameters, parameters thousands of bytes
// long, a log path that names a folder. None is refused; each maps to values
// by the parameter rules and the run goes on to its end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake/fake_machine.h"
#include "run/run_harness.h"
#include "run/read_run_options.h"

namespace zavero {
namespace {

using testing::RunHarness;
using Lines = std::vector<std::string>;

RunOptions Read(const std::string& line) {
  fake::FakeMachine m;
  m.Process.ModuleFileNameText = "C:\\Tools\\zavero.exe";
  m.Process.CommandLineText = line;
  return ReadRunOptions(m.Process);
}

std::vector<std::int32_t> Numbers(const RunOptions& o) {
  return {o.SelectFolders, o.SelectFiles, o.SkipMask, o.IncludeMask};
}

TEST(BadCommandLine, EveryNumericParameterTakesEveryNotationAndGarbage) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      // notations
      {"7", 7}, {"+7", 7}, {"-7", -7}, {"$1F", 31}, {"$1f", 31}, {"-$1f", -31}, {"+$A", 10},
      {"%101", 5}, {"-%101", -5}, {"0X1f", 31}, {"007", 7}, {" \t 9", 9}, {"\t-3", -3},
      // beyond 32 bits only the low ones count
      {"2147483648", INT32_MIN}, {"4294967295", -1}, {"4294967296", 0}, {"4294967302", 6},
      {"$1FFFFFFFE", -2}, {"%" + std::string(40, '1'), -1}, {std::string(5000, '0') + "6", 6},
      {std::string(3000, '9'), -1},  // 10^3000 is a multiple of 2^64
      {"$" + std::string(4000, 'f'), -1}, {"-" + std::string(2000, '0') + "1", -1},
      // garbage: no digits where they are expected gives 0, the rest is ignored
      {"yes", 0}, {"$", 0}, {"%", 0}, {"-", 0}, {"+", 0}, {"$G1", 0}, {"%2", 0}, {"0x", 0},
      {"--5", 0}, {"+-5", 0}, {"- 5", 0}, {"$ 1", 0}, {"\n5", 0}, {"1e3", 1}, {"12.9", 12},
      {"1,000", 1}, {"%1 0", 1}, {"(5)", 0}, {"\xB9", 0}, {"\xEF\xBC\x95", 0}, {"5\x80", 5},
      {std::string(3000, 'x'), 0}};
  const std::vector<std::int32_t> defaults = {1, 1, 4, 2};
  for (std::size_t field = 0; field < 4; ++field) {
    for (const auto& c : cases) {
      // In quotes, so that blanks inside stay part of it.
      std::string line = "zavero.exe CLEAR \"\" \"\" \"\"";
      for (std::size_t i = 0; i < 4; ++i)
        line += i == field ? " \"" + c.first + "\"" : " \"\"";
      std::vector<std::int32_t> want = defaults;
      want[field] = c.second;
      EXPECT_EQ(Numbers(Read(line)), want) << "parameter " << field + 4 << ": " << c.first.substr(0, 40);
    }
  }
}

struct SplitCase {
  const char* Line;
  std::vector<std::string> Texts;    // Mode, LogPath, StartFolder, Pattern
  std::vector<std::int32_t> Numbers; // SelectFolders, SelectFiles, SkipMask, IncludeMask
};

TEST(BadCommandLine, QuotesTabsAndSurplusParameters) {
  const std::vector<std::int32_t> defaults = {1, 1, 4, 2};
  const std::vector<SplitCase> cases = {
      // An open quote swallows the rest of the line, blanks and all.
      {"z CLEAR \"C:\\my logs\\run.log D:\\Data *.txt 0",
       {"CLEAR", "C:\\my logs\\run.log D:\\Data *.txt 0", "", "*"}, defaults},
      {"z \"CLEAR", {"CLEAR", "", "", "*"}, defaults},
      {"z list log\\a.log \"", {"list", "log\\a.log", "", "*"}, defaults},
      {"z \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"", {"", "", "", "*"}, defaults},
      // A quote that closes ends the token; the next one starts right there.
      {"z list \"\"D:\\Data", {"list", "", "D:\\Data", "*"}, defaults},
      {"z \"a\"\"b\"\"c\"\"d\"\"1\"\"0\"\"0\"\"6\"", {"a", "C:\\Tools\\b", "", "d"}, {1, 0, 0, 6}},
      // Inside an unquoted token a quote is an ordinary character.
      {"z CLEAR\" log\\a.log", {"CLEAR\"", "log\\a.log", "", "*"}, defaults},
      {"z list\t\"C:\\a b\\x.log\"", {"list\t\"C:\\a", "b\\x.log\"", "", "*"}, defaults},
      // Tabs separate nothing.
      {"z CLEAR\tC:\\logs\\a.log", {"CLEAR\tC:\\logs\\a.log", "", "", "*"}, defaults},
      {"z list \"\" C:\\a\tb *\t 1\t0", {"list", "", "C:\\a\tb", "*\t"}, {1, 1, 4, 2}},
      {"z\tCLEAR log\\a.log", {"log\\a.log", "", "", "*"}, defaults},
      // Parameters beyond the eighth are ignored.
      {"z a b\\c CC d 2 3 5 7 9 11 \"13\" 15", {"a", "b\\c", "CC", "d"}, {2, 3, 5, 7}},
      // No program name at all, or nothing but blanks.
      {"", {"", "", "", "*"}, defaults},
      {"     ", {"", "", "", "*"}, defaults},
  };
  for (const auto& c : cases) {
    const RunOptions o = Read(c.Line);
    EXPECT_EQ((Lines{o.Mode, o.LogPath, o.StartFolder, o.Pattern}), c.Texts) << c.Line;
    EXPECT_EQ(Numbers(o), c.Numbers) << c.Line;
  }
  // Thousands of parameters: only the first eight are read.
  std::string line = "z";
  for (int i = 0; i < 5000; ++i) line += " " + std::to_string(i);
  EXPECT_EQ(Numbers(Read(line)), (std::vector<std::int32_t>{4, 5, 6, 7}));
  EXPECT_EQ(Read(line).Mode, "0");
}

// The whole program on a command line: it must reach its idle loop having
// written "finished!" on the screen.
void ExpectRunEnds(RunHarness& h, const std::string& what) {
  ASSERT_TRUE(h.m.Process.PreciseTimingEnded) << what;
  EXPECT_EQ(h.m.Console.RowText(151), "finished!") << what;
  EXPECT_EQ(h.m.Files.open_files(), 0) << what;
  EXPECT_EQ(h.m.Files.open_finds(), 0) << what;
}

TEST(BadCommandLine, VeryLongParametersRunToTheEnd) {
  const std::string long_start = "C:\\" + std::string(4000, 's');
  const std::string long_pattern = std::string(5000, '*');
  RunHarness h;
  h.m.Files.AddFolder("C:\\Data\\Sub");
  h.m.Files.AddFile("C:\\Data\\Sub\\h", 0x2);
  h.Run("CLEAR scan.log " + long_start + " *");
  ExpectRunEnds(h, "long start folder");
  // The folder cannot be listed; its name still goes into the header and the
  // line that says so whole, lines longer than the log's buffer.
  EXPECT_EQ(h.LogLines("C:\\Tools\\scan.log"),
            (Lines{"QOR_ZAVERO has been started...", "Clear attributes: $2", "skip attributes: $4",
                   "searching files: *", "search in folder: " + long_start, " clearing...",
                   " cannot read the start folder " + long_start, "finished!"}));

  RunHarness p;
  p.m.Files.AddFolder("C:\\Data\\Sub");
  p.m.Files.AddFile("C:\\Data\\Sub\\h", 0x2);
  p.Run("CLEAR scan.log C:\\Data " + long_pattern);
  ExpectRunEnds(p, "long pattern");
  // No length limit stops the listing any more: a pattern of stars is "*".
  EXPECT_EQ(p.WalkedFolders(), (Lines{"C:\\Data\\Sub"}));
  EXPECT_EQ(p.Matches(), (Lines{"C:\\Data\\Sub\\h"}));
  EXPECT_EQ(p.m.Files.Attributes("C:\\Data\\Sub\\h"), 0x0u);
  EXPECT_EQ(p.LogLines("C:\\Tools\\scan.log")[3], "searching files: " + long_pattern);

  // A mode and a log path thousands of bytes long: a listing run (the mode is
  // not CLEAR); the console shows the log path cut at its width.
  RunHarness m;
  m.m.Files.AddFolder("C:\\Data");
  m.m.Files.AddFile("C:\\Data\\h", 0x2);
  const std::string long_log = "C:\\Tools\\" + std::string(3000, 'l') + ".log";
  m.Run(std::string(6000, 'C') + " " + long_log + " C:\\Data");
  ExpectRunEnds(m, "long mode and log");
  EXPECT_EQ(m.Matches(), (Lines{"C:\\Data\\h"}));
  EXPECT_EQ(m.m.Files.Attributes("C:\\Data\\h"), 0x2u);
  EXPECT_EQ(m.m.Console.RowText(1), ("Writing to: " + long_log).substr(0, 200));
}

TEST(BadCommandLine, LogPathNamingAFolderLosesTheLogNotTheRun) {
  // Absolute, with a trailing separator, and a bare name that lands on a
  // folder beside the program.
  for (const char* log : {"C:\\Logs", "C:\\Logs\\", "Sub"}) {
    RunHarness h;
    h.m.Files.AddFolder("C:\\Logs", 0x12);
    h.m.Files.AddFolder("C:\\Tools\\Sub");
    h.m.Files.AddFolder("C:\\E");
    h.m.Files.AddFile("C:\\E\\h", 0x22);
    h.Run(std::string("CLEAR ") + log + " C:\\E");
    ExpectRunEnds(h, log);
    EXPECT_EQ(h.m.Files.Attributes("C:\\E\\h"), 0x20u) << log;  // cleared all the same
    EXPECT_EQ(h.m.Files.Attributes("C:\\Logs"), 0x12u) << log;  // the folders untouched
    EXPECT_EQ(h.m.Files.Attributes("C:\\Tools\\Sub"), 0x10u) << log;
    EXPECT_EQ(h.run->LogHandle, 0u) << log;
    EXPECT_TRUE(h.m.Desktop.Questions.empty()) << log;  // no log to offer
  }
}

}  // namespace
}  // namespace zavero
