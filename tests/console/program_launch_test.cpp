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
  ASSERT_EQ(desktop.launches.size(), 1u);
  const auto& launch = desktop.launches[0];
  EXPECT_EQ(launch.command_line, "\"C:\\Windows\\system32\\notepad.exe\" C:\\logs\\run.log");
  EXPECT_EQ(launch.directory, std::optional<std::string>("C:\\logs\\"));
  EXPECT_EQ(launch.start.startup_flags, 0x1u);
  EXPECT_EQ(launch.start.show_window, 1);
  EXPECT_EQ(launch.start.creation_flags, 0x20u);
  EXPECT_FALSE(launch.start.inherit_handles);
  // Nothing is kept of the started program.
  EXPECT_TRUE(desktop.open_handles.empty());
  EXPECT_EQ(desktop.closed_handles.size(), 2u);
  EXPECT_TRUE(desktop.shell_starts.empty());
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
  ASSERT_EQ(desktop.launches.size(), 1u);
  EXPECT_EQ(desktop.launches[0].directory, std::nullopt);
}

TEST_F(ProgramLaunchTest, FailedDirectStartFallsBackToTheShell) {
  desktop.process_start_succeeds = false;
  EXPECT_EQ(LaunchProgram(desktop, kNotepad, "C:\\logs\\run.log", "C:\\logs\\"), 1);
  ASSERT_EQ(desktop.shell_starts.size(), 1u);
  const auto& shell = desktop.shell_starts[0];
  EXPECT_EQ(shell.mask, 0x40u);
  EXPECT_EQ(shell.verb, std::optional<std::string>(""));  // empty, not missing
  EXPECT_EQ(shell.file, std::optional<std::string>(kNotepad));
  EXPECT_EQ(shell.parameters, std::optional<std::string>("C:\\logs\\run.log"));
  EXPECT_EQ(shell.directory, std::optional<std::string>("C:\\logs\\"));
  EXPECT_EQ(shell.show, 1);
  EXPECT_TRUE(desktop.open_handles.empty());
  EXPECT_EQ(calls.Names({"StartProcess", "ShellStartProgram", "CloseObject"}),
            (std::vector<std::string>{"StartProcess", "ShellStartProgram", "CloseObject"}));
}

TEST_F(ProgramLaunchTest, ShellFallbackDerivesTheFolderFromTheProgram) {
  desktop.process_start_succeeds = false;
  LaunchProgram(desktop, kNotepad, "", "");
  ASSERT_EQ(desktop.shell_starts.size(), 1u);
  EXPECT_EQ(desktop.shell_starts[0].directory,
            std::optional<std::string>("C:\\Windows\\system32\\"));
  EXPECT_EQ(desktop.shell_starts[0].parameters, std::optional<std::string>(""));

  EXPECT_EQ(FolderOfCommand("notepad.exe"), "");
  EXPECT_EQ(FolderOfCommand("\\notepad.exe"), "");  // only a backslash at the start
  EXPECT_EQ(FolderOfCommand("a\\b.exe"), "a\\");
  EXPECT_EQ(FolderOfCommand("\"C:\\a b\\x.exe\""), "C:\\a b\\");
}

TEST_F(ProgramLaunchTest, ShellStartWithoutProcessHandleClosesNothing) {
  desktop.process_start_succeeds = false;
  desktop.shell_gives_process = false;
  EXPECT_EQ(LaunchProgram(desktop, kNotepad, "a.log", ""), 1);
  EXPECT_EQ(calls.Count("CloseObject"), 0);
}

TEST_F(ProgramLaunchTest, BothRoutesFailingGivesZero) {
  desktop.process_start_succeeds = false;
  desktop.shell_start_succeeds = false;
  EXPECT_EQ(LaunchProgram(desktop, "C:\\nowhere\\missing.exe", "x", "C:\\logs\\"), 0);
  ASSERT_EQ(desktop.shell_starts.size(), 1u);
  EXPECT_EQ(desktop.shell_starts[0].file, std::optional<std::string>("C:\\nowhere\\missing.exe"));
  EXPECT_EQ(desktop.shell_starts[0].directory, std::optional<std::string>("C:\\logs\\"));
  EXPECT_EQ(calls.Count("CloseObject"), 0);
}

}  // namespace
}  // namespace zavero::console
