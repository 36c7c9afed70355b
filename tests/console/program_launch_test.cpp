#include "console/program_launch.h"

#include <gtest/gtest.h>

#include <string>

#include "fake/fake_desktop.h"

namespace zavero::console {
namespace {

const std::string kNotepad = "C:\\Windows\\system32\\notepad.exe";

class ProgramLaunchTest : public ::testing::Test {
 protected:
  fake::CallLog calls;
  fake::FakeDesktop desktop{calls};
};

TEST_F(ProgramLaunchTest, StartsDirectlyWithQuotedProgramAndTheFolder) {
  EXPECT_EQ(LaunchProgram(desktop, kNotepad, "C:\\logs\\run.log", "C:\\logs\\"), 1);
  ASSERT_EQ(desktop.Launches.size(), 1u);
  const auto& launch = desktop.Launches[0];
  EXPECT_EQ(launch.CommandLine, "\"C:\\Windows\\system32\\notepad.exe\" C:\\logs\\run.log");
  EXPECT_EQ(launch.Directory, std::optional<std::string>("C:\\logs\\"));
  EXPECT_EQ(launch.Start.StartupFlags, 0x1u);
  EXPECT_EQ(launch.Start.ShowWindow, 1);
  EXPECT_EQ(launch.Start.CreationFlags, 0x20u);
  EXPECT_FALSE(launch.Start.InheritHandles);
  // Nothing is kept of the started program.
  EXPECT_TRUE(desktop.OpenHandles.empty());
  EXPECT_EQ(desktop.ClosedHandles.size(), 2u);
  EXPECT_TRUE(desktop.ShellStarts.empty());
}

TEST_F(ProgramLaunchTest, CommandLineRules) {
  // Already quoted: used as it is.
  EXPECT_EQ(LaunchCommandLine("\"C:\\a b\\x.exe\"", "p"), "\"C:\\a b\\x.exe\" p");
  // No parameter: no blank either.
  EXPECT_EQ(LaunchCommandLine(kNotepad, ""), "\"" + kNotepad + "\"");
  // A parameter with blanks is not quoted.
  EXPECT_EQ(LaunchCommandLine("x.exe", "C:\\my logs\\a b.log"), "\"x.exe\" C:\\my logs\\a b.log");
  EXPECT_EQ(LaunchCommandLine("", ""), "\"\"");
}

TEST_F(ProgramLaunchTest, EmptyFolderGivesNoWorkingFolder) {
  LaunchProgram(desktop, kNotepad, "a.log", "");
  ASSERT_EQ(desktop.Launches.size(), 1u);
  EXPECT_EQ(desktop.Launches[0].Directory, std::nullopt);
}

TEST_F(ProgramLaunchTest, FailedDirectStartFallsBackToTheShell) {
  desktop.ProcessStartSucceeds = false;
  EXPECT_EQ(LaunchProgram(desktop, kNotepad, "C:\\logs\\run.log", "C:\\logs\\"), 1);
  ASSERT_EQ(desktop.ShellStarts.size(), 1u);
  const auto& shell = desktop.ShellStarts[0];
  EXPECT_EQ(shell.Mask, 0x40u);
  EXPECT_EQ(shell.Verb, std::optional<std::string>(""));  // empty, not missing
  EXPECT_EQ(shell.File, std::optional<std::string>(kNotepad));
  EXPECT_EQ(shell.Parameters, std::optional<std::string>("C:\\logs\\run.log"));
  EXPECT_EQ(shell.Directory, std::optional<std::string>("C:\\logs\\"));
  EXPECT_EQ(shell.Show, 1);
  EXPECT_TRUE(desktop.OpenHandles.empty());
  EXPECT_EQ(calls.Names({"StartProcess", "ShellStartProgram", "CloseObject"}),
            (std::vector<std::string>{"StartProcess", "ShellStartProgram", "CloseObject"}));
}

TEST_F(ProgramLaunchTest, ShellFallbackDerivesTheFolderFromTheProgram) {
  desktop.ProcessStartSucceeds = false;
  LaunchProgram(desktop, kNotepad, "", "");
  ASSERT_EQ(desktop.ShellStarts.size(), 1u);
  EXPECT_EQ(desktop.ShellStarts[0].Directory,
            std::optional<std::string>("C:\\Windows\\system32\\"));
  EXPECT_EQ(desktop.ShellStarts[0].Parameters, std::optional<std::string>(""));

  EXPECT_EQ(FolderOfCommand("notepad.exe"), "");
  EXPECT_EQ(FolderOfCommand("\\notepad.exe"), "");  // only a backslash at the start
  EXPECT_EQ(FolderOfCommand("a\\b.exe"), "a\\");
  EXPECT_EQ(FolderOfCommand("\"C:\\a b\\x.exe\""), "C:\\a b\\");
}

TEST_F(ProgramLaunchTest, ShellStartWithoutProcessHandleClosesNothing) {
  desktop.ProcessStartSucceeds = false;
  desktop.ShellGivesProcess = false;
  EXPECT_EQ(LaunchProgram(desktop, kNotepad, "a.log", ""), 1);
  EXPECT_EQ(calls.Count("CloseObject"), 0);
}

TEST_F(ProgramLaunchTest, BothRoutesFailingGivesZero) {
  desktop.ProcessStartSucceeds = false;
  desktop.ShellStartSucceeds = false;
  EXPECT_EQ(LaunchProgram(desktop, "C:\\nowhere\\missing.exe", "x", "C:\\logs\\"), 0);
  ASSERT_EQ(desktop.ShellStarts.size(), 1u);
  EXPECT_EQ(desktop.ShellStarts[0].File, std::optional<std::string>("C:\\nowhere\\missing.exe"));
  EXPECT_EQ(desktop.ShellStarts[0].Directory, std::optional<std::string>("C:\\logs\\"));
  EXPECT_EQ(calls.Count("CloseObject"), 0);
}

}  // namespace
}  // namespace zavero::console
