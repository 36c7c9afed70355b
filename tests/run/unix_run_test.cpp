// A run on a Unix-style platform: arguments one by one, "/" paths, LF log
// lines, plain lines when the output is no terminal, the question on the
// terminal and an exit status instead of the idle loop.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "fake/fake_machine.h"
#include "run/read_run_options.h"
#include "run/run_sequence.h"

namespace zavero {
namespace {

struct UnixHarness {
  fake::FakeMachine m;
  std::unique_ptr<RunContext> run;
  int status = -1;

  UnixHarness() {
    m.Host.Conventions = {'/', "\n", true};
    m.Files.UnixPaths = true;
    m.Desktop.Answer = platform::kAnswerNo;
    m.Process.ModuleFileNameText = "/usr/bin/zavero";
  }
  void Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "zavero");
    m.Process.Arguments = arguments;
    run = std::make_unique<RunContext>(m.Host);
    try {
      RunProgram(*run);
    } catch (const fake::Terminated& end) {
      status = static_cast<int>(end.Code);
    }
  }
};

TEST(UnixRun, ArgumentsAsGivenSlashPathsLfLinesAndStatusOneForARefusal) {
  UnixHarness h;
  h.m.Files.AddFolder("/data");
  h.m.Files.AddFile("/data/a", 0x2);
  h.m.Files.AddFolder("/data/b c", 0x12);
  h.m.Files.AddFile("/data/b c/x.txt", 0x22);
  h.m.Files.RefuseAttributeWrites("/data/a");
  h.m.Files.AddFolder("/work");
  h.Run({"CLEAR", "/work/scan.log", "/data"});
  EXPECT_EQ(h.m.Files.Content("/work/scan.log"),
            "QOR_ZAVERO has been started...\nClear attributes: $2\nskip attributes: $4\n"
            "searching files: *\nsearch in folder: /data\n clearing...\n"
            "   /data/a\n     ...not changed!\n   /data/b c\n     ...sucsess!\n"
            "   /data/b c/x.txt\n     ...sucsess!\nfinished!\n");
  EXPECT_EQ(h.m.Files.Attributes("/data/b c/x.txt"), 0x20u);
  EXPECT_EQ(h.status, 1);
}

TEST(UnixRun, OutputThatIsNoTerminalGetsOnePlainLinePerEntryAndNothingDrawn) {
  UnixHarness h;
  h.m.Console.IsConsole = false;
  h.m.Files.AddFolder("/data");
  h.m.Files.AddFile("/data/a", 0x2);
  h.m.Files.AddFile("/data/b", 0x6);
  h.m.Files.AddFile("/data/c", 0x2);
  h.Run({"", "", "/data"});
  EXPECT_EQ(h.m.Console.Stream, "/data/a\n/data/c\n");
  h.m.Console.Stream.clear();
  h.Run({"clear", "", "/data"});
  EXPECT_EQ(h.m.Console.Stream, "/data/a\t...sucsess!\n/data/c\t...sucsess!\n");
  EXPECT_EQ(h.status, 0);
}

// What runs when an allocation fails: one line, status 8.
TEST(UnixRun, MemoryRunningOutEndsTheRunWithOneLineAndStatusEight) {
  UnixHarness h;
  h.Run({"list", "", "/"});
  h.m.Process.Problems.clear();
  EXPECT_THROW(std::get_new_handler()(), fake::Terminated);
  std::set_new_handler(nullptr);
  EXPECT_EQ(h.m.Process.Problems,
            std::vector<std::string>{"zavero: out of memory; the run ends here"});
  EXPECT_EQ(h.m.Calls.Calls().back().Detail, "8");
}

TEST(UnixRun, UnreadableStartFolderIsSaidOnceAndEndsWithStatusTwo) {
  UnixHarness h;
  h.m.Files.AddFolder("/work");
  h.Run({"list", "/work/x.log", "/nowhere"});
  EXPECT_EQ(h.status, 2);
  EXPECT_EQ(h.m.Process.Problems,
            std::vector<std::string>{"zavero: cannot read the start folder /nowhere"});
  EXPECT_NE(h.m.Files.Content("/work/x.log").find("finished!\n"), std::string::npos);
}

// Folders swapped for links to folders outside the start folder once listed:
// zz while the walk is inside aa, aa itself just before its entry is cleared.
// Neither is reached; the run says so and ends with status 3.
TEST(UnixRun, AFolderSwappedForALinkAfterItsListingIsNeverReached) {
  UnixHarness h;
  auto& f = h.m.Files;
  h.m.Console.IsConsole = false;
  f.AddFile("/t/aa/h", 0x2);
  f.AddFile("/t/zz/secret", 0x2);
  f.AddFile("/out/h", 0x2);
  f.AddFile("/out/secret", 0x2);
  f.before_call = [&](const std::string&, const std::string& arg) {
    const std::string swapped = arg == "/t/aa/*" ? "/t/zz" : arg == "/t/aa/h" ? "/t/aa" : "";
    if (swapped.empty() || f.Attributes(swapped) & platform::kAttrReparsePoint) return;
    f.Remove(swapped);
    f.AddLink(swapped, "/out");
  };
  h.Run({"CLEAR", "", "/t"});
  EXPECT_EQ(f.Attributes("/out/secret") & f.Attributes("/out/h"), 0x2u);
  EXPECT_EQ(h.m.Console.Stream, "/t/aa/h\t...not changed!\n");
  EXPECT_EQ(h.m.Process.Problems, std::vector<std::string>{
                                      "zavero: cannot read the folder /t/zz; nothing below it was searched"});
  EXPECT_EQ(h.status, 3);
}

TEST(UnixRun, NoDiskToScanIsSaidAndEndsWithStatusTwo) {
  UnixHarness h;
  h.Run({"list"});
  EXPECT_EQ(h.m.Process.Problems, std::vector<std::string>{"zavero: no mounted NTFS, FAT or "
                                                           "exFAT disk to scan; name a start folder"});
  EXPECT_EQ(h.status, 2);
}

TEST(UnixRun, HelpPrintsTheParametersAndEndsWithStatusZero) {
  UnixHarness h;
  h.Run({"--help"});
  EXPECT_EQ(h.status, 0);
  ASSERT_EQ(h.m.Console.Writes.size(), 1u);
  EXPECT_EQ(h.m.Console.Writes[0].Call, "WriteStream");
  EXPECT_EQ(h.m.Console.Writes[0].Bytes.rfind("Usage: zavero [OPTION] [MODE] [LOG] [FOLDER]", 0), 0u);
  EXPECT_EQ(h.m.Calls.Count("FindFirstEntry"), 0);
}

TEST(UnixRun, VersionPrintsItsLineAnUnknownOptionIsRefusedAndDoubleDashEndsTheOptions) {
  UnixHarness version;
  version.Run({"-V"});
  EXPECT_EQ(version.status, 0);
  ASSERT_EQ(version.m.Console.Writes.size(), 1u);
  EXPECT_EQ(version.m.Console.Writes[0].Bytes, "zavero " ZAVERO_VERSION "\n");

  UnixHarness typo;
  typo.Run({"-r", "CLEAR", "", "/data"});
  EXPECT_EQ(typo.status, 2);
  EXPECT_EQ(typo.m.Process.Problems,
            std::vector<std::string>{"zavero: unknown option -r; see zavero --help"});
  EXPECT_EQ(typo.m.Calls.Count("FindFirstEntry"), 0);

  UnixHarness dashed;  // the mode "-r" lists
  dashed.m.Files.AddFolder("/data");
  dashed.m.Files.AddFile("/data/a", 0x2);
  dashed.Run({"--", "-r", "", "/data"});
  EXPECT_EQ(dashed.status, 0);
  EXPECT_EQ(dashed.m.Files.Attributes("/data/a"), 0x2u);
  EXPECT_TRUE(dashed.m.Process.Problems.empty());
}

TEST(UnixRun, YesOpensTheLogInTheFirstViewerThatStarts) {
  UnixHarness h;
  h.m.Files.AddFolder("/data");
  h.m.Files.AddFolder("/work");
  h.m.Desktop.Answer = platform::kAnswerYes;
  h.m.Process.EnvironmentValues = {{"EDITOR", "nano -w"}, {"DISPLAY", ":0"}};
  h.m.Desktop.RunStatus = {{"sh", 127}, {"xdg-open", -1}, {"less", 0}};
  h.Run({"list", "/work/scan.log", "/data"});
  ASSERT_EQ(h.m.Desktop.Questions.size(), 1u);
  EXPECT_EQ(h.m.Desktop.Questions[0].Text, "Open /work/scan.log ?");
  EXPECT_EQ(h.m.Desktop.Runs,
            (std::vector<std::string>{"sh|-c|nano -w \"$1\"|sh|/work/scan.log",
                                      "xdg-open|/work/scan.log", "less|/work/scan.log"}));
  EXPECT_EQ(h.status, 0);
}

TEST(UnixRun, ABareLogNameAndAOneCharacterFolderStayAsGiven) {
  fake::FakeMachine m;
  m.Process.Arguments = {"zavero", "list", "scan.log", "."};
  const RunOptions o = ReadRunOptions(m.Process, {'/', "\n", true});
  EXPECT_EQ(o.LogPath, "scan.log");  // from the current folder, not beside the program
  EXPECT_EQ(o.StartFolder, ".");
}

}  // namespace
}  // namespace zavero
