#include "console/question_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake/fake_desktop.h"

namespace zavero::console {
namespace {

using fake::FakeDesktop;
using fake::FakeWindow;
using platform::Handle;

constexpr std::uint32_t kYesNoQuestion = 0x24;

class QuestionBoxTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // The record list is process-wide: no test may leave records behind.
    EXPECT_TRUE(DisabledWindowList().empty());
  }
  int Ask() {
    return ShowQuestionBox(desktop, "A little question...", "Open C:\\tools\\scan.log ?",
                           kYesNoQuestion);
  }
  // A window's state while the box was up.
  FakeWindow During(Handle h, std::size_t question = 0) const {
    for (const auto& w : desktop.Questions.at(question).WindowsDuring) {
      if (w.Handle == h) return w;
    }
    ADD_FAILURE() << "no window " << h;
    return {};
  }
  std::uint32_t Me() const { return desktop.ThreadId; }
  std::uint32_t Us() const { return desktop.ProcessId; }

  fake::CallLog calls;
  FakeDesktop desktop{calls};
};

TEST_F(QuestionBoxTest, PassesTheTextsAndReturnsTheAnswerUnchanged) {
  EXPECT_EQ(Ask(), platform::kAnswerYes);
  desktop.Answer = platform::kAnswerNo;
  EXPECT_EQ(Ask(), platform::kAnswerNo);
  ASSERT_EQ(desktop.Questions.size(), 2u);
  EXPECT_EQ(desktop.Questions[0].Title, "A little question...");
  EXPECT_EQ(desktop.Questions[0].Text, "Open C:\\tools\\scan.log ?");
  EXPECT_EQ(desktop.Questions[0].Style, kYesNoQuestion);
}

TEST_F(QuestionBoxTest, ThreadWithoutWindowsDisablesAndRestoresNothing) {
  desktop.AddWindow(Me() + 1, Us());
  EXPECT_EQ(Ask(), platform::kAnswerYes);
  EXPECT_EQ(calls.Count("EnableWindowInput"), 0);
  EXPECT_EQ(calls.Count("SetWindowTopmost"), 0);
}

TEST_F(QuestionBoxTest, OnlyVisibleEnabledNonForegroundWindowsOfThisThreadAreDisabled) {
  const Handle plain = desktop.AddWindow(Me(), Us());
  const Handle hidden = desktop.AddWindow(Me(), Us(), /*visible=*/false);
  const Handle disabled = desktop.AddWindow(Me(), Us(), true, /*enabled=*/false);
  const Handle other_thread = desktop.AddWindow(Me() + 1, Us());
  const Handle front = desktop.AddWindow(Me(), Us());
  desktop.Foreground = front;

  Ask();

  EXPECT_FALSE(During(plain).Enabled);
  EXPECT_TRUE(During(hidden).Enabled);
  EXPECT_FALSE(During(disabled).Enabled);
  EXPECT_TRUE(During(other_thread).Enabled);
  EXPECT_TRUE(During(front).Enabled);
  EXPECT_EQ(desktop.Questions[0].Owner, front);

  EXPECT_TRUE(desktop.Window(plain)->Enabled);
  EXPECT_FALSE(desktop.Window(hidden)->Visible);
  EXPECT_FALSE(desktop.Window(disabled)->Enabled);  // was disabled before: stays so
  // Only `plain` was ever touched.
  EXPECT_EQ(calls.Count("EnableWindowInput"), 2);
}

TEST_F(QuestionBoxTest, TopmostWindowIsLoweredDuringTheBoxAndRaisedAfter) {
  const Handle top = desktop.AddWindow(Me(), Us(), true, true, /*topmost=*/true);
  const Handle normal = desktop.AddWindow(Me(), Us());

  Ask();

  EXPECT_FALSE(During(top).topmost());
  EXPECT_FALSE(During(top).Enabled);
  EXPECT_TRUE(desktop.Window(top)->topmost());
  EXPECT_TRUE(desktop.Window(top)->Enabled);
  EXPECT_FALSE(desktop.Window(normal)->topmost());
  EXPECT_EQ(calls.Count("SetWindowTopmost"), 2);  // down and up, `top` only
}

TEST_F(QuestionBoxTest, RecordsGoToTheFrontAndAreRestoredLastDisabledFirst) {
  const Handle a = desktop.AddWindow(Me(), Us(), true, true, /*topmost=*/true);
  const Handle b = desktop.AddWindow(Me(), Us());
  std::vector<DisabledWindow> during;
  desktop.before_call = [&](const std::string& call) {
    if (call == "AskQuestion") during = DisabledWindowList();
  };

  Ask();

  ASSERT_EQ(during.size(), 2u);
  EXPECT_EQ(during[0].Window, b);
  EXPECT_FALSE(during[0].WasTopmost);
  EXPECT_EQ(during[1].Window, a);
  EXPECT_TRUE(during[1].WasTopmost);
  EXPECT_EQ(during[1].ThreadId, Me());

  std::vector<std::string> enables;
  for (const auto& c : calls.Calls()) {
    if (c.Name == "EnableWindowInput") enables.push_back(c.Detail);
  }
  EXPECT_EQ(enables, (std::vector<std::string>{std::to_string(a) + ",off",
                                               std::to_string(b) + ",off",
                                               std::to_string(b) + ",on",
                                               std::to_string(a) + ",on"}));
}

TEST_F(QuestionBoxTest, AnotherThreadsRecordsAreLeftToThatThread) {
  const std::uint32_t first = Me();
  const Handle first_window = desktop.AddWindow(first, Us(), true, true, /*topmost=*/true);
  DisableThreadWindows(desktop);  // a box of the first thread is up

  desktop.ThreadId = first + 1;
  const Handle second_window = desktop.AddWindow(desktop.ThreadId, Us());
  Ask();
  EXPECT_TRUE(desktop.Window(second_window)->Enabled);
  EXPECT_FALSE(desktop.Window(first_window)->Enabled);
  EXPECT_FALSE(desktop.Window(first_window)->topmost());
  ASSERT_EQ(DisabledWindowList().size(), 1u);
  EXPECT_EQ(DisabledWindowList()[0].Window, first_window);

  desktop.ThreadId = first;
  RestoreThreadWindows(desktop);
  EXPECT_TRUE(desktop.Window(first_window)->Enabled);
  EXPECT_TRUE(desktop.Window(first_window)->topmost());
}

TEST_F(QuestionBoxTest, OwnerIsTheForegroundWindowOnlyWhenItIsOurs) {
  Ask();
  EXPECT_EQ(desktop.Questions.back().Owner, platform::kNoHandle);

  // Another process's window in front (the console of cmd.exe, say).
  desktop.Foreground = desktop.AddWindow(77, Us() + 1);
  Ask();
  EXPECT_EQ(desktop.Questions.back().Owner, platform::kNoHandle);

  // Ours, though created by another of our threads.
  desktop.Foreground = desktop.AddWindow(Me() + 5, Us());
  Ask();
  EXPECT_EQ(desktop.Questions.back().Owner, desktop.Foreground);
}

TEST_F(QuestionBoxTest, FailedBoxGivesZeroAndStillRestores) {
  const Handle w = desktop.AddWindow(Me(), Us(), true, true, true);
  desktop.Answer = 0;
  EXPECT_EQ(Ask(), 0);
  EXPECT_TRUE(desktop.Window(w)->Enabled);
  EXPECT_TRUE(desktop.Window(w)->topmost());
}

TEST_F(QuestionBoxTest, WindowThatVanishedDuringTheBoxIsStillDroppedFromTheList) {
  const Handle gone = desktop.AddWindow(Me(), Us(), true, true, true);
  desktop.before_call = [&](const std::string& call) {
    if (call == "AskQuestion") desktop.RemoveWindow(gone);
  };
  EXPECT_EQ(Ask(), platform::kAnswerYes);
  EXPECT_EQ(calls.Calls().back().Name, "SetWindowTopmost");
  EXPECT_EQ(calls.Calls().back().Detail, std::to_string(gone) + ",topmost");
}

}  // namespace
}  // namespace zavero::console
