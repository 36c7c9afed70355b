// The process, desktop and console sides of the seam on POSIX, where they do
// more than pass a call through: arguments, started programs, the signals
// that stand for the console's close event, the drive list's protocol.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "platform/machine.h"

namespace zavero::platform {
namespace {

TEST(PosixProcess, ArgumentsReachTheCommandLineWithEmptyAndBlankOnesQuoted) {
  char program[] = "zavero", mode[] = "LIST", empty[] = "", folder[] = "/srv/my share";
  char* argv[] = {program, mode, empty, folder, nullptr};
  SetArguments(4, argv);
  EXPECT_STREQ(RealProcess().CommandLine(), "zavero LIST \"\" \"/srv/my share\"");
  EXPECT_EQ(RealProcess().ArgumentVector()[3], folder);
}

TEST(PosixDesktop, RunAndWaitGivesTheExitStatusOrMinusOne) {
  const char* exits_3[] = {"sh", "-c", "exit 3", nullptr};
  EXPECT_EQ(RealDesktop().RunAndWait(exits_3), 3);
  const char* missing[] = {"/nonexistent/program", nullptr};
  EXPECT_EQ(RealDesktop().RunAndWait(missing), -1);
}

int ReportClose(std::uint32_t event) {
  char line[32];
  const int n = snprintf(line, sizeof line, "control event %u\n", event);
  if (write(STDERR_FILENO, line, static_cast<std::size_t>(n)) < 0) return 0;
  return 0;
}

// Death tests run in a child of their own, re-executed, so the signal thread
// and the blocked signals stay there.
class PosixConsoleSignals : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

[[noreturn]] void WaitForever() {
  for (;;) pause();
}

[[noreturn]] void TermAfterRegistering() {
  RealConsole().AddControlRoutine(&ReportClose);
  kill(getpid(), SIGTERM);
  WaitForever();
}

[[noreturn]] void CtrlCDuringAndAfterAChild() {
  RealConsole().AddControlRoutine(&ReportClose);
  const char* child[] = {"sh", "-c", "kill -INT $PPID; sleep 0.3; exit 5", nullptr};
  const int status = RealDesktop().RunAndWait(child);
  fprintf(stderr, "child ended %d\n", status);
  kill(getpid(), SIGINT);
  WaitForever();
}

TEST_F(PosixConsoleSignals, TermRunsTheCloseRoutineThenEndsWith128PlusTheSignal) {
  EXPECT_EXIT(TermAfterRegistering(), ::testing::ExitedWithCode(128 + SIGTERM), "control event 2");
}

TEST_F(PosixConsoleSignals, CtrlCWhileAStartedProgramRunsIsThatProgramsAlone) {
  EXPECT_EXIT(CtrlCDuringAndAfterAChild(), ::testing::ExitedWithCode(128 + SIGINT),
              "child ended 5\ncontrol event 2");
}

TEST(PosixFileSystem, DriveStringsFollowTheWindowsBufferProtocol) {
  FileSystem& files = RealFileSystem();
  const std::uint32_t needed = files.LogicalDriveStrings(0, nullptr);
  ASSERT_GE(needed, 1u);
  std::string buffer(needed + 8, 'x');
  EXPECT_EQ(files.LogicalDriveStrings(needed, &buffer[0]), needed - 1);
  EXPECT_EQ(buffer[needed - 1], '\0');  // the list ends in an empty entry
  for (const char* root = buffer.c_str(); *root != 0; root += std::strlen(root) + 1) {
    const std::uint32_t type = files.DriveType(root);
    EXPECT_TRUE(type == kDriveRemovable || type == kDriveFixed) << root;
  }
  EXPECT_EQ(files.DriveType("/proc"), 1u);  // DRIVE_NO_ROOT_DIR
}

}  // namespace
}  // namespace zavero::platform
