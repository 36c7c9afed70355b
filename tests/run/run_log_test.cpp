// The run log on the fake machine: the header, one opening per line, and what
// happens when the file is missing, locked, deleted or closed from outside.
#include <gtest/gtest.h>

#include <thread>

#include "console/console_window.h"
#include "run/run_harness.h"

namespace zavero {
namespace {

using testing::RunHarness;
using Lines = std::vector<std::string>;

constexpr const char* kLog = "C:\\Tools\\scan.log";

TEST(RunLog, OneOpenLengthSeekWriteClosePerLine) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.Run("list scan.log C:\\E");
  const Lines io = {"OpenFile", "FileSize", "SeekFromStart", "WriteBytes", "CloseFile"};
  Lines header = {"OpenFile", "WriteBytes", "CloseFile"};  // five lines, one write
  Lines line = {"OpenFile", "FileSize", "SeekFromStart", "WriteBytes", "CloseFile"};
  Lines expected = header;
  for (int i = 0; i < 2; ++i) expected.insert(expected.end(), line.begin(), line.end());
  EXPECT_EQ(h.m.Calls.Names(io), expected);
  // The exact opening parameters: create, then append with read sharing.
  auto calls = h.m.Calls.Calls();
  Lines opens;
  for (auto& c : calls)
    if (c.Name == "OpenFile") opens.push_back(c.Detail);
  EXPECT_EQ(opens, (Lines{"C:\\Tools\\scan.log|3221225472|1|2|128",
                          "C:\\Tools\\scan.log|3221225472|1|4|128",
                          "C:\\Tools\\scan.log|3221225472|1|4|128"}));
  EXPECT_EQ(h.m.Files.open_files(), 0);
}

TEST(RunLog, HeaderWithoutStartFolderHasFourLines) {
  RunHarness h;
  h.m.Files.DriveStrings = std::string();
  h.Run("CLEAR scan.log \"\" \"\" 1 1 -1 $22");
  EXPECT_EQ(h.LogLines(kLog), (Lines{"QOR_ZAVERO has been started...", "Clear attributes: $22",
                                     "skip attributes: $FFFFFFFFFFFFFFFF", "searching files: *",
                                     " clearing...", "finished!"}));
}

TEST(RunLog, EarlierLogIsEmptiedEvenWhenHidden) {
  RunHarness h;
  h.m.Files.AddFile(kLog, 0x22, "old line\r\nolder line\r\n");
  h.m.Files.AddFolder("C:\\E");
  h.Run("list scan.log C:\\E");
  EXPECT_EQ(h.LogLines(kLog).front(), "QOR_ZAVERO has been started...");
  EXPECT_EQ(h.LogLines(kLog).size(), 7u);
  EXPECT_EQ(h.m.Files.Attributes(kLog), 0x22u);  // the second attempt keeps them
}

TEST(RunLog, NoLogPathTouchesNoFile) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.m.Files.AddFile("C:\\E\\h", 0x2);
  h.Run("clear \"\" C:\\E");
  EXPECT_EQ(h.m.Calls.Count("OpenFile"), 0);
  EXPECT_TRUE(h.m.Desktop.Questions.empty());
  EXPECT_EQ(h.m.Console.RowText(1), "");  // no "Writing to: " row
}

TEST(RunLog, MissingFolderLosesEveryLineAndThePrompt) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.m.Files.AddFile("C:\\E\\h", 0x2);
  h.Run("clear C:\\NoSuch\\scan.log C:\\E");
  EXPECT_FALSE(h.m.Files.Exists("C:\\NoSuch\\scan.log"));
  EXPECT_EQ(h.m.Console.RowText(1), "Writing to: no log, cannot create C:\\NoSuch\\scan.log");
  EXPECT_EQ(h.m.Files.Attributes("C:\\E\\h"), 0u);  // the run goes on
  EXPECT_TRUE(h.m.Desktop.Questions.empty());
  EXPECT_EQ(h.run->LogHandle, 0u);
}

TEST(RunLog, LinesWhileLockedAreLostLaterOnesLand) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\E");
  f.AddFile("C:\\E\\a", 0x2);
  f.AddFile("C:\\E\\b", 0x2);
  f.AddFile(kLog, 0x20);
  f.LockFile(kLog);  // held by another program from the start
  f.before_call = [&](const std::string& call, const std::string& arg) {
    if (call == "ReadAttributes" && arg == "C:\\E\\b") f.LockFile(kLog, false);
  };
  h.Run("clear scan.log C:\\E");
  EXPECT_EQ(h.LogLines(kLog), (Lines{"     ...sucsess!", "finished!"}));
  // Only the last opening counts for the prompt.
  ASSERT_EQ(h.m.Desktop.Questions.size(), 1u);
  EXPECT_EQ(h.m.Desktop.Questions[0].Text, "Open C:\\Tools\\scan.log ?");
}

TEST(RunLog, DeletedMidRunIsRecreatedWithoutHeader) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\E");
  f.AddFile("C:\\E\\a", 0x2);
  f.before_call = [&](const std::string& call, const std::string&) {
    if (call == "ReadAttributes" && f.Exists(kLog) && f.Content(kLog).find("   C:") != std::string::npos &&
        f.Content(kLog).find("sucsess") == std::string::npos)
      f.Remove(kLog);
  };
  h.Run("clear scan.log C:\\E");
  EXPECT_EQ(h.LogLines(kLog), (Lines{"     ...sucsess!", "finished!"}));
}

TEST(RunLog, ReplacedMidRunTakesNoMoreLines) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFile("C:\\E\\a", 0x2);
  f.before_call = [&](const std::string& call, const std::string&) {
    if (call == "WriteAttributes") f.Remove(kLog), f.AddFile(kLog, 0x20, "other\r\n");
  };
  h.Run("clear scan.log C:\\E");
  EXPECT_EQ(f.Content(kLog), "other\r\n");
  EXPECT_EQ(h.m.Console.RowText(151), "finished!  (the log C:\\Tools\\scan.log was replaced "
                                      "during the run; later lines are not in it)");
  EXPECT_TRUE(h.m.Desktop.Questions.empty());
}

TEST(RunLog, FinishedLineFailingMeansNoPrompt) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\E");
  h.m.Files.before_call = [&](const std::string& call, const std::string&) {
    if (call == "WriteChars" || call != "OpenFile") return;
    if (h.m.Files.Content(kLog).find(" listing...") != std::string::npos) h.m.Files.LockFile(kLog);
  };
  h.Run("list scan.log C:\\E");
  EXPECT_EQ(h.LogLines(kLog).back(), " listing...");
  EXPECT_TRUE(h.m.Desktop.Questions.empty());
  EXPECT_EQ(h.run->LogHandle, 0u);
}

// The close event arrives on a thread of its own while the run thread is in
// the middle of a log line: the line is finished whole, the file is closed,
// and no later line is started.
TEST(RunLog, CloseEventNeverTearsALine) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\E");
  for (int i = 0; i < 5; ++i) f.AddFile("C:\\E\\f" + std::to_string(i), 0x2);
  std::thread closer;
  int opens = 0;
  bool waited = false;
  f.before_call = [&](const std::string& call, const std::string&) {
    if (call == "OpenFile" && ++opens == 3) {
      // The line of the first entry is in progress: the clean-up must wait
      // for it. Give it time to start waiting.
      closer = std::thread([&] { h.m.Console.DeliverControlEvent(platform::kCtrlClose); });
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else if (call == "ReadAttributes" && opens == 3 && !waited) {
      // Between two lines: let the clean-up take its turn.
      waited = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  };
  h.m.Process.pause_limit = 3;
  EXPECT_THROW(h.Run("clear scan.log C:\\E"), fake::PauseLimitReached);
  closer.join();
  Lines lines = h.LogLines(kLog);
  ASSERT_EQ(lines.size(), 5u + 2u);  // header, phase line, the line in progress
  EXPECT_EQ(lines[6], "   C:\\E\\f0");
  EXPECT_EQ(f.open_files(), 0);
  // The entry in hand is finished; then the run starts no new line and
  // changes nothing more, and waits for the process to end.
  EXPECT_EQ(f.Attributes("C:\\E\\f0"), 0u);
  EXPECT_EQ(f.Attributes("C:\\E\\f1"), 2u);
  EXPECT_EQ(h.m.Process.Pauses, (std::vector<std::uint32_t>{10, 10, 10}));
  EXPECT_EQ(opens, 3);
}

}  // namespace
}  // namespace zavero
