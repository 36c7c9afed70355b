#include "console/console_window.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "fake/fake_machine.h"

namespace zavero::console {
namespace {

using fake::FakeConsole;

int g_cleanups = 0;
void CountCleanup() { ++g_cleanups; }

class ConsoleWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_cleanups = 0;
    console().SetBufferSize(80, 25);
    ASSERT_EQ(ConsoleOpen(window, m.Host, &CountCleanup), 1);
  }
  FakeConsole& console() { return m.Console; }
  void ScreenMode() {
    ConsoleSetScreenMode(window, 1);
    m.Calls.Clear();
  }

  fake::FakeMachine m;
  ConsoleWindow window;
};

std::string Letters(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}

TEST_F(ConsoleWindowTest, OpenTakesStandardOutputAndStaysInStreamMode) {
  EXPECT_EQ(m.Calls.Names(),
            (std::vector<std::string>{"StdHandle", "ReadScreenBufferInfo", "AddControlRoutine"}));
  EXPECT_EQ(window.Output, FakeConsole::kOutputHandle);
  EXPECT_EQ(window.ScreenMode, 0);
  EXPECT_EQ(console().Mode, 3u);  // untouched
  ASSERT_EQ(console().control_routines().size(), 1u);
  EXPECT_EQ(console().control_routines()[0], &ConsoleControlHandler);
}

TEST_F(ConsoleWindowTest, ScreenModeSwitchesProcessingAndWrapOffAndBack) {
  ConsoleSetScreenMode(window, 1);
  EXPECT_EQ(console().Mode, 0u);
  ConsoleSetScreenMode(window, 0);
  EXPECT_EQ(console().Mode, 3u);
  ConsoleSetScreenMode(window, 7);  // any nonzero value
  EXPECT_EQ(console().Mode, 0u);
  EXPECT_NE(window.ScreenMode, 0);
}

// ---- screen mode writes

TEST_F(ConsoleWindowTest, ScreenWriteIsCutAtTheBufferWidthAndStaysOnItsRow) {
  ScreenMode();
  const std::string text = Letters(300);
  ConsoleWrite(window, text.c_str());
  EXPECT_EQ(console().RowText(0), text.substr(0, 80));
  EXPECT_EQ(console().RowText(1), "");
  EXPECT_EQ(console().CursorY, 0);
  EXPECT_EQ(console().CursorX, 79);
  ASSERT_EQ(console().Writes.size(), 1u);
  EXPECT_EQ(console().Writes[0].Bytes.size(), 80u);
}

TEST_F(ConsoleWindowTest, Utf8TextIsCutAtTheCellsItFills) {
  console().TextCodePageValue = 65001;
  ConsoleOpen(window, m.Host, &CountCleanup);
  ScreenMode();
  std::string text = "  ";
  for (int i = 0; i < 50; ++i) text += "\xE6\x97\xA5";  // 50 two-cell characters
  ConsoleWrite(window, text.c_str());
  ASSERT_EQ(console().Writes.size(), 1u);
  EXPECT_EQ(console().Writes[0].Bytes, text.substr(0, 2 + 39 * 3));  // 2 + 39 * 2 = 80 cells
}

TEST(ScreenLayout, ShortBuffersKeepTheirLastRowForFinished) {
  for (int height : {0, 152, 300}) {  // unknown, or tall enough: the classic rows
    const ScreenLayout l = LayoutForHeight(height);
    EXPECT_TRUE(l.EntryRows && l.LastEntryRow == 150 && l.FinishedRow == 151 &&
                !l.ClearFinishedRow) << height;
  }
  const ScreenLayout l30 = LayoutForHeight(30);
  EXPECT_TRUE(l30.EntryRows && l30.LastEntryRow == 28 && l30.FinishedRow == 29 &&
              l30.ClearFinishedRow);
  EXPECT_EQ(LayoutForHeight(8).LastEntryRow, 6);
  const ScreenLayout l7 = LayoutForHeight(7);
  EXPECT_TRUE(!l7.EntryRows && l7.FinishedRow == 6);
  EXPECT_FALSE(LayoutHasRow(LayoutForHeight(3), 3));
  EXPECT_TRUE(LayoutHasRow(LayoutForHeight(0), 151));
}

TEST_F(ConsoleWindowTest, CutDependsOnTheWidthNotOnTheCursorColumn) {
  // Windows (unlike Wine) keeps overwriting the last column with wrap off;
  // the fake models Windows.
  ScreenMode();
  ConsoleMoveCursor(window, 70, 5);
  const std::string text = Letters(300);
  ConsoleWrite(window, text.c_str());
  ASSERT_EQ(console().Writes.size(), 1u);
  EXPECT_EQ(console().Writes[0].Bytes, text.substr(0, 80));
  EXPECT_EQ(console().RowText(5).substr(70), text.substr(0, 9) + text[79]);
  EXPECT_EQ(console().RowText(6), "");
  EXPECT_EQ(console().CursorY, 5);
}

TEST_F(ConsoleWindowTest, RepaintWithTrailingBlanksErasesTheOldRow) {
  ScreenMode();
  console().Fill(0, 3, Letters(80));
  ConsoleMoveCursor(window, 0, 3);
  ConsoleWrite(window, (std::string(" clearing...") + std::string(260, ' ')).c_str());
  EXPECT_EQ(console().RowText(3), " clearing...");
  EXPECT_EQ(console().RowText(4), "");
}

TEST_F(ConsoleWindowTest, EmptyOrMissingTextWritesNothing) {
  ScreenMode();
  console().Fill(0, 0, "old");
  ConsoleWrite(window, "");
  ConsoleWrite(window, nullptr);
  ConsoleSetScreenMode(window, 0);
  ConsoleWrite(window, "");
  ConsoleWrite(window, nullptr);
  EXPECT_EQ(console().RowText(0), "old");
  EXPECT_EQ(console().CursorX, 0);
  EXPECT_EQ(console().CursorY, 0);
}

TEST_F(ConsoleWindowTest, ControlCharactersAreShownNotActedOn) {
  ScreenMode();
  const std::string text = "a\tb\rc\nd\be\a";
  ConsoleWrite(window, text.c_str());
  EXPECT_EQ(console().RowText(0), text);
  EXPECT_EQ(console().CursorX, static_cast<int>(text.size()));
  EXPECT_EQ(console().CursorY, 0);
}

TEST_F(ConsoleWindowTest, FullWidthLineGivesExactlyOneLineBreak) {
  ScreenMode();
  const std::string line = Letters(80);
  ConsoleWriteLine(window, line.c_str());
  ConsoleWrite(window, "next");
  EXPECT_EQ(console().RowText(0), line);
  EXPECT_EQ(console().RowText(1), "next");
  EXPECT_EQ(console().RowText(2), "");
}

TEST_F(ConsoleWindowTest, LineBreakIsWrittenWithProcessingOnThenBackToScreenMode) {
  ScreenMode();
  ConsoleWriteLine(window, "QOR_ZAVERO has been started...");
  EXPECT_EQ(m.Calls.Names({"SetOutputMode", "WriteChars"}),
            (std::vector<std::string>{"WriteChars", "SetOutputMode", "WriteChars",
                                      "SetOutputMode"}));
  ASSERT_EQ(console().Writes.size(), 2u);
  EXPECT_EQ(console().Writes[0].Mode, 0u);
  EXPECT_EQ(console().Writes[1].Bytes, "\r\n");
  EXPECT_EQ(console().Writes[1].Mode, 3u);
  EXPECT_EQ(console().Mode, 0u);
  EXPECT_EQ(console().CursorX, 0);
  EXPECT_EQ(console().CursorY, 1);
}

TEST_F(ConsoleWindowTest, LinesStartAtTheCursorAndMissingTextGivesOnlyTheBreak) {
  console().CursorY = 7;  // started below an existing prompt
  ScreenMode();
  ConsoleWriteLine(window, "first");
  ConsoleWriteLine(window, nullptr);
  ConsoleWriteLine(window, "");
  ConsoleWriteLine(window, "second");
  EXPECT_EQ(console().RowText(7), "first");
  EXPECT_EQ(console().RowText(8), "");
  EXPECT_EQ(console().RowText(9), "");
  EXPECT_EQ(console().RowText(10), "second");
  EXPECT_EQ(console().CursorY, 11);
}

TEST_F(ConsoleWindowTest, LineOnTheLastRowScrollsTheBuffer) {
  ScreenMode();
  console().Fill(0, 0, "top");
  ConsoleMoveCursor(window, 0, 24);
  ConsoleWriteLine(window, "bottom");
  EXPECT_EQ(console().RowText(0), "");  // "top" scrolled away
  EXPECT_EQ(console().RowText(23), "bottom");
  EXPECT_EQ(console().RowText(24), "");
  EXPECT_EQ(console().CursorY, 24);
}

// ---- colours and title

TEST_F(ConsoleWindowTest, ColoursAreBackgroundTimesSixteenPlusForeground) {
  ScreenMode();
  ConsoleSetColors(window, 12, 0);
  ConsoleWrite(window, "red");
  EXPECT_EQ(console().CellAttribute(0, 0), 12);
  EXPECT_EQ(console().CellAttribute(2, 0), 12);
  EXPECT_EQ(console().CellAttribute(3, 0), FakeConsole::kDefaultAttribute);
  ConsoleSetColors(window, 9, 0);
  EXPECT_EQ(console().Attribute, 9);
  ConsoleSetColors(window, 15, 0);
  EXPECT_EQ(console().Attribute, 15);
  ConsoleSetColors(window, 14, 1);
  EXPECT_EQ(console().Attribute, 0x1E);
}

TEST_F(ConsoleWindowTest, ColourNumbersOutsideZeroToFifteenChangeNothing) {
  ConsoleSetColors(window, 12, 0);
  m.Calls.Clear();
  ConsoleSetColors(window, 16, 0);
  ConsoleSetColors(window, 7, 16);
  ConsoleSetColors(window, -1, 0);
  ConsoleSetColors(window, 7, -16);
  EXPECT_EQ(console().Attribute, 12);
  EXPECT_EQ(m.Calls.Count("SetTextAttribute"), 0);
}

TEST_F(ConsoleWindowTest, TitleIsSet) {
  ConsoleSetTitle(window, "ZAVERO von QOR");
  EXPECT_EQ(console().Title, "ZAVERO von QOR");
}

// ---- cursor

TEST_F(ConsoleWindowTest, CursorMovesOnlyInScreenMode) {
  ConsoleMoveCursor(window, 5, 3);
  EXPECT_EQ(m.Calls.Count("SetCursor"), 0);
  EXPECT_EQ(console().CursorY, 0);

  ScreenMode();
  ConsoleMoveCursor(window, 0, 3);
  ConsoleWrite(window, "fourth row");
  EXPECT_EQ(console().RowText(3), "fourth row");
}

TEST_F(ConsoleWindowTest, CursorOutsideTheBufferLeavesTheCursorWhereItWas) {
  ScreenMode();
  ConsoleMoveCursor(window, 4, 2);
  ConsoleMoveCursor(window, 0, 151);  // a 25-row buffer
  ConsoleWrite(window, "finished!");
  EXPECT_EQ(console().RowText(2), "    finished!");
}

TEST_F(ConsoleWindowTest, CursorCoordinatesAreTakenAsTheirLow16Bits) {
  ScreenMode();
  ConsoleMoveCursor(window, 0x10002, 0x20003);
  EXPECT_EQ(console().CursorX, 2);
  EXPECT_EQ(console().CursorY, 3);
}

// ---- stream mode

TEST_F(ConsoleWindowTest, StreamModeWritesWholeTextsToTheConsole) {
  const std::string text = Letters(100);
  ConsoleWrite(window, text.c_str());  // wraps: processing and wrap are on
  ConsoleWriteLine(window, "x");
  EXPECT_EQ(console().RowText(0), text.substr(0, 80));
  EXPECT_EQ(console().RowText(1), text.substr(80) + "x");
  EXPECT_EQ(console().CursorY, 2);
  // The line and its CR LF go as one write.
  ASSERT_EQ(console().Writes.size(), 2u);
  EXPECT_EQ(console().Writes[1].Bytes, "x\r\n");
}

TEST_F(ConsoleWindowTest, RedirectedStreamModeFallsBackToAFileWrite) {
  console().IsConsole = false;
  ConsoleWrite(window, "abc");
  ConsoleWriteLine(window, "def");
  ConsoleWriteLine(window, nullptr);
  EXPECT_EQ(console().Stream, "abcdef\r\n\r\n");
  EXPECT_EQ(m.Calls.Names({"WriteChars", "WriteStream"}),
            (std::vector<std::string>{"WriteChars", "WriteStream", "WriteChars", "WriteStream",
                                      "WriteChars", "WriteStream"}));
  // Cursor moves are ignored in stream mode, even where a console would fail.
  ConsoleMoveCursor(window, 1, 1);
  EXPECT_EQ(m.Calls.Count("SetCursor"), 0);
}

TEST_F(ConsoleWindowTest, RedirectedScreenModeWritesNothing) {
  console().IsConsole = false;
  ScreenMode();
  ConsoleWrite(window, "abc");
  ConsoleWriteLine(window, "def");
  EXPECT_EQ(console().Stream, "");
  EXPECT_EQ(m.Calls.Count("WriteStream"), 0);
}

// ---- the lock

// Whether another thread could take the lock right now (try_lock from the
// owning thread itself would be undefined).
bool LockIsFree(std::mutex& lock) {
  bool free = false;
  std::thread probe([&] {
    if (lock.try_lock()) {
      free = true;
      lock.unlock();
    }
  });
  probe.join();
  return free;
}

TEST_F(ConsoleWindowTest, ScreenWritesHoldTheLockAroundLineAndModeSwitches) {
  ScreenMode();
  std::vector<std::string> unlocked;
  console().before_call = [&](const std::string& call) {
    if (LockIsFree(window.OutputLock)) unlocked.push_back(call);
  };
  ConsoleWrite(window, "row");
  ConsoleWriteLine(window, "line");
  ConsoleWriteLine(window, nullptr);
  EXPECT_EQ(unlocked, std::vector<std::string>{});
  EXPECT_TRUE(LockIsFree(window.OutputLock));

  // Stream mode takes no lock.
  ConsoleSetScreenMode(window, 0);
  unlocked.clear();
  ConsoleWrite(window, "s");
  EXPECT_EQ(unlocked, std::vector<std::string>{"WriteChars"});
}

// ---- control events

TEST_F(ConsoleWindowTest, CloseEventRunsTheCleanupAndEveryEventIsPassedOn) {
  for (std::uint32_t event : {platform::kCtrlC, platform::kCtrlBreak, platform::kCtrlLogoff,
                              platform::kCtrlShutdown}) {
    EXPECT_FALSE(console().DeliverControlEvent(event)) << event;
  }
  EXPECT_EQ(g_cleanups, 0);
  EXPECT_FALSE(console().DeliverControlEvent(platform::kCtrlClose));
  EXPECT_EQ(g_cleanups, 1);
}

// Wine has no QuickEdit selection that holds a write, so the input mode is checked here.
TEST_F(ConsoleWindowTest, EveryWayOutGivesTheConsoleBackAsItWas) {
  for (std::uint32_t event : {platform::kCtrlC, platform::kCtrlBreak, platform::kCtrlClose}) {
    console().Attribute = 0x1E;
    ConsoleOpen(window, m.Host, &CountCleanup);
    ConsoleSetScreenMode(window, 1);
    ConsoleSetColors(window, 12, 0);
    EXPECT_EQ(console().InputMode, 0x1B7u);  // QuickEdit off while the run draws
    console().DeliverControlEvent(event);
    const std::vector<std::uint32_t> modes{console().Mode, console().Attribute, console().InputMode};
    EXPECT_EQ(modes, (std::vector<std::uint32_t>{3, 0x1E, 0x1F7})) << event;
    console().Writes.clear();
    ConsoleWrite(window, "late");  // a row the run thread was about to draw
    EXPECT_TRUE(console().Writes.empty()) << event;
  }
}

TEST(ConsoleWindowUnopened, OperationsBeforeOpenDoNothing) {
  fake::FakeMachine m;
  ConsoleWindow window;
  ConsoleSetScreenMode(window, 1);
  ConsoleSetColors(window, 12, 0);
  ConsoleSetTitle(window, "t");
  ConsoleMoveCursor(window, 1, 1);
  ConsoleWrite(window, "a");
  ConsoleWriteLine(window, "b");
  EXPECT_TRUE(m.Calls.Calls().empty());
}

}  // namespace
}  // namespace zavero::console
