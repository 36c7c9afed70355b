// The run from start to idle on the fake machine: start-up order, banner and
// title, and the end of the run with its offer to open the log.
#include <gtest/gtest.h>

#include <new>

#include "run/run_harness.h"

namespace zavero {
namespace {

using testing::RunHarness;
using Lines = std::vector<std::string>;

TEST(RunSequence, StartUpOrderBannerAndTitle) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.Run("list scan.log C:\\E");
  // The error boxes off first (Wine shows no "no disk" box: checked here),
  // desktop services next, the guard before any parameter is read, the
  // console after the parameters.
  Lines order = h.m.Calls.Names({"AddErrorModes", "InitCommonControls", "InitCom",
                                 "HasKernelFunction", "CommandLine", "AddControlRoutine",
                                 "SetOutputMode"});
  ASSERT_GE(order.size(), 9u);
  EXPECT_EQ(Lines(order.begin(), order.begin() + 9),
            (Lines{"AddErrorModes", "InitCommonControls", "InitCom", "HasKernelFunction",
                   "HasKernelFunction", "HasKernelFunction", "CommandLine", "AddControlRoutine",
                   "SetOutputMode"}));
  EXPECT_EQ(h.m.Calls.Calls().front().Detail, "32769");  // no critical-error, no open-file box
  EXPECT_EQ(h.m.Desktop.CommonControlsInits, (std::vector<std::uint32_t>{0xB48}));
  EXPECT_EQ(h.m.Desktop.ComInits, 1);
  auto& c = h.m.Console;
  EXPECT_EQ(c.Title, "ZAVERO von QOR");
  EXPECT_EQ(c.RowText(0), "QOR_ZAVERO has been started...");
  EXPECT_EQ(c.CellAttribute(0, 0), 12);
  EXPECT_EQ(c.RowText(1), "Writing to: C:\\Tools\\scan.log");
  EXPECT_EQ(c.CellAttribute(0, 1), 15);
  EXPECT_EQ(c.Mode, 3u);  // screen mode for the whole run, then the console's own again
}

TEST(RunSequence, StartedBelowAPromptDrawsEveryRowBelowTheBanner) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E\\S");
  h.m.Files.AddFile("C:\\E\\S\\h", 0x2);
  h.m.Console.Fill(0, 9, "C:\\>zavero list x.log C:\\E");
  h.m.Console.CursorX = 0;
  h.m.Console.CursorY = 10;
  h.Run("list x.log C:\\E");
  auto& c = h.m.Console;
  // The rows count from the banner's row; line breaks made room for them at
  // the buffer's end, which scrolled the prompt and the banner up two rows.
  EXPECT_EQ(c.RowText(7), "C:\\>zavero list x.log C:\\E");
  EXPECT_EQ(c.RowText(8), "QOR_ZAVERO has been started...");
  EXPECT_EQ(c.RowText(10), " files found: 1");
  EXPECT_EQ(c.RowText(12), "  C:\\E\\S\\h");
}

TEST(RunSequence, APatternWithAFolderSeparatorSelectsNothingAndTheLogSaysWhy) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E\\S");
  h.m.Files.AddFile("C:\\E\\S\\a", 0x2);
  h.m.Files.AddFile("C:\\E\\a", 0x6);
  h.Run("CLEAR scan.log C:\\E S\\*");
  const Lines log = h.LogLines("C:\\Tools\\scan.log");
  ASSERT_GE(log.size(), 6u);
  EXPECT_EQ(log[5], "the pattern S\\* holds a folder separator; a pattern matches names only");
  EXPECT_EQ(h.m.Files.Attributes("C:\\E\\S\\a"), 0x2u);
  EXPECT_EQ(h.m.Files.Attributes("C:\\E\\a"), 0x6u);
}

TEST(CompleteRun, NoLogPathNoQuestion) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.Run("list \"\" C:\\E");
  EXPECT_EQ(h.m.Console.RowText(151), "finished!");
  EXPECT_TRUE(h.m.Desktop.Questions.empty());
  EXPECT_TRUE(h.m.Process.PreciseTimingEnded);
}

TEST(CompleteRun, AnswerYesOpensTheLogInNotepad) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.m.Desktop.Answer = platform::kAnswerYes;
  h.Run("list C:\\Tools\\scan.log C:\\E");
  ASSERT_EQ(h.m.Desktop.Questions.size(), 1u);
  const auto& q = h.m.Desktop.Questions[0];
  EXPECT_EQ(q.Title, "A little question...");
  EXPECT_EQ(q.Text, "Open C:\\Tools\\scan.log ?");
  EXPECT_EQ(q.Style, 0x24u);
  ASSERT_EQ(h.m.Desktop.Launches.size(), 1u);
  EXPECT_EQ(h.m.Desktop.Launches[0].CommandLine,
            "\"C:\\Windows\\system32\\notepad.exe\" C:\\Tools\\scan.log");
  EXPECT_EQ(h.m.Desktop.Launches[0].Directory, std::optional<std::string>("C:\\Tools\\"));
  EXPECT_EQ(h.LogLines("C:\\Tools\\scan.log").back(), "finished!");
}

TEST(CompleteRun, RelativeLogPathReachesTheViewerInFull) {
  // notepad starts in the log's folder; "logs\scan.log" taken from there
  // would name logs\logs\scan.log, an empty file notepad offers to create.
  RunHarness h;
  h.m.Files.CurrentFolder = "C:\\Work\\";
  h.m.Files.AddFolder("C:\\Work\\logs");
  h.m.Files.AddFolder("C:\\E");
  h.m.Desktop.Answer = platform::kAnswerYes;
  h.Run("list logs\\scan.log C:\\E");
  ASSERT_EQ(h.m.Desktop.Questions.size(), 1u);
  EXPECT_EQ(h.m.Desktop.Questions[0].Text, "Open logs\\scan.log ?");
  ASSERT_EQ(h.m.Desktop.Launches.size(), 1u);
  EXPECT_EQ(h.m.Desktop.Launches[0].CommandLine,
            "\"C:\\Windows\\system32\\notepad.exe\" C:\\Work\\logs\\scan.log");
  EXPECT_EQ(h.m.Desktop.Launches[0].Directory, std::optional<std::string>("C:\\Work\\logs\\"));
}

TEST(CompleteRun, AnswerNoOrNoBoxLaunchesNothing) {
  for (int answer : {platform::kAnswerNo, 0}) {
    RunHarness h;
    h.m.Files.AddFolder("C:\\E");
    h.m.Desktop.Answer = answer;
    h.Run("list scan.log C:\\E");
    EXPECT_EQ(h.m.Desktop.Questions.size(), 1u);
    EXPECT_TRUE(h.m.Desktop.Launches.empty());
    EXPECT_TRUE(h.m.Desktop.ShellStarts.empty());
  }
}

TEST(CompleteRun, ShortBufferCyclesTheEntriesAboveItsLastRowAndEndsThere) {
  RunHarness h;
  h.m.Console.SetBufferSize(80, 25);  // a console as tall as its window
  h.m.Console.Fill(0, 24, "C:\\Users\\me> zavero.exe list");
  h.m.Files.AddFolder("C:\\E");
  for (int i = 10; i < 40; ++i) h.m.Files.AddFile("C:\\E\\h" + std::to_string(i), 0x2);
  h.Run("list \"\" C:\\E");
  // 30 entries over the band 3..23, the k-th on row 3 + k mod 21: the second
  // round (h30 on row 3, h31..h39) over the first (h10 on row 4 ... h29).
  EXPECT_EQ(h.m.Console.RowText(13), "  C:\\E\\h19");
  EXPECT_EQ(h.m.Console.RowText(23), "  C:\\E\\h29");
  EXPECT_EQ(h.m.Console.RowText(3), "  C:\\E\\h30");
  EXPECT_EQ(h.m.Console.RowText(12), "  C:\\E\\h39");
  EXPECT_EQ(h.m.Console.RowText(24), "finished!");  // alone, the old text cleared
  EXPECT_EQ(h.m.Console.CellAttribute(0, 24), 12);
  for (const auto& call : h.m.Calls.Calls()) {
    if (call.Name != "SetCursor") continue;
    EXPECT_LT(std::stoi(call.Detail.substr(call.Detail.find(',') + 1)), 25) << call.Detail;
  }
}

TEST(CompleteRun, RowsReadTheBufferSizeOnlyAtTheStart) {
  RunHarness h;
  for (int i = 10; i < 40; ++i) h.m.Files.AddFile("C:\\E\\S\\h" + std::to_string(i), 0x2);
  h.Run("list \"\" C:\\E");
  EXPECT_EQ(h.m.Calls.Count("ReadScreenBufferInfo"), 1);
}

TEST(CompleteRun, IdleLoopSleepsTenMillisecondsForEver) {
  RunHarness h;
  h.m.Process.StopAtIdle = false;
  h.m.Process.pause_limit = 50;
  h.m.Files.AddFolder("C:\\E");
  h.m.Process.CommandLineText = "z list \"\" C:\\E";
  RunContext run(h.m.Host);
  EXPECT_THROW(RunProgram(run), fake::PauseLimitReached);
  EXPECT_EQ(h.m.Process.Pauses, std::vector<std::uint32_t>(50, 10));
}

TEST(CompleteRun, OnlyTheWorkingPausesTakeThePreciseTimer) {
  // A missing start folder: no pause before the idle loop, whose 10 ms pauses
  // need no precise timer. A start folder with a subfolder: the walk's 5 ms
  // pause takes it first, and it is given back before the idle loop.
  for (const char* start : {"C:\\Missing", "C:\\E"}) {
    RunHarness h;
    h.m.Files.AddFolder("C:\\E\\S");
    h.m.Process.StopAtIdle = false;
    h.m.Process.pause_limit = 3;
    h.m.Process.CommandLineText = std::string("z list \"\" ") + start;
    RunContext run(h.m.Host);
    EXPECT_THROW(RunProgram(run), fake::PauseLimitReached);
    const Lines timing = h.m.Calls.Names({"BeginPreciseTiming", "EndPreciseTiming", "Pause"});
    if (start == std::string("C:\\Missing"))
      EXPECT_EQ(timing, (Lines{"EndPreciseTiming", "Pause", "Pause", "Pause"}));
    else
      EXPECT_EQ(timing, (Lines{"BeginPreciseTiming", "Pause", "EndPreciseTiming", "Pause", "Pause"}));
  }
}

}  // namespace
}  // namespace zavero

namespace zavero {
namespace {

TEST(RunSequence, OutOfMemoryEndsTheProcessQuietly) {
  testing::RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.Run("list \"\" C:\\E");
  std::new_handler handler = std::get_new_handler();
  ASSERT_NE(handler, nullptr);
  try {
    handler();
    ADD_FAILURE() << "the handler returned";
  } catch (const fake::Terminated& t) {
    EXPECT_EQ(t.Code, 8u);
  }
  std::set_new_handler(nullptr);
}

}  // namespace
}  // namespace zavero
