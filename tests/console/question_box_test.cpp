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
    for (const auto& w : desktop.questions.at(question).windows_during) {
      if (w.handle == h) return w;
    }
    ADD_FAILURE() << "no window " << h;
    return {};
  }
  std::uint32_t Me() const { return desktop.thread_id; }
  std::uint32_t Us() const { return desktop.process_id; }

  fake::CallLog calls;
  FakeDesktop desktop{calls};
};

TEST_F(QuestionBoxTest, PassesTheTextsAndReturnsTheAnswerUnchanged) {
  EXPECT_EQ(Ask(), platform::kAnswerYes);
  desktop.answer = platform::kAnswerNo;
  EXPECT_EQ(Ask(), platform::kAnswerNo);
  ASSERT_EQ(desktop.questions.size(), 2u);
  EXPECT_EQ(desktop.questions[0].title, "A little question...");
  EXPECT_EQ(desktop.questions[0].text, "Open C:\\tools\\scan.log ?");
  EXPECT_EQ(desktop.questions[0].style, kYesNoQuestion);
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
  desktop.foreground = front;

  Ask();

  EXPECT_FALSE(During(plain).enabled);
  EXPECT_TRUE(During(hidden).enabled);
  EXPECT_FALSE(During(disabled).enabled);
  EXPECT_TRUE(During(other_thread).enabled);
  EXPECT_TRUE(During(front).enabled);
  EXPECT_EQ(desktop.questions[0].owner, front);

  EXPECT_TRUE(desktop.Window(plain)->enabled);
  EXPECT_FALSE(desktop.Window(hidden)->visible);
  EXPECT_FALSE(desktop.Window(disabled)->enabled);  // was disabled before: stays so
  // Only `plain` was ever touched.
  EXPECT_EQ(calls.Count("EnableWindowInput"), 2);
}

TEST_F(QuestionBoxTest, TopmostWindowIsLoweredDuringTheBoxAndRaisedAfter) {
  const Handle top = desktop.AddWindow(Me(), Us(), true, true, /*topmost=*/true);
  const Handle normal = desktop.AddWindow(Me(), Us());

  Ask();

  EXPECT_FALSE(During(top).topmost());
  EXPECT_FALSE(During(top).enabled);
  EXPECT_TRUE(desktop.Window(top)->topmost());
  EXPECT_TRUE(desktop.Window(top)->enabled);
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
  EXPECT_EQ(during[0].window, b);
  EXPECT_FALSE(during[0].was_topmost);
  EXPECT_EQ(during[1].window, a);
  EXPECT_TRUE(during[1].was_topmost);
  EXPECT_EQ(during[1].thread_id, Me());

  std::vector<std::string> enables;
  for (const auto& c : calls.Calls()) {
    if (c.name == "EnableWindowInput") enables.push_back(c.detail);
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

  desktop.thread_id = first + 1;
  const Handle second_window = desktop.AddWindow(desktop.thread_id, Us());
  Ask();
  EXPECT_TRUE(desktop.Window(second_window)->enabled);
  EXPECT_FALSE(desktop.Window(first_window)->enabled);
  EXPECT_FALSE(desktop.Window(first_window)->topmost());
  ASSERT_EQ(DisabledWindowList().size(), 1u);
  EXPECT_EQ(DisabledWindowList()[0].window, first_window);

  desktop.thread_id = first;
  RestoreThreadWindows(desktop);
  EXPECT_TRUE(desktop.Window(first_window)->enabled);
  EXPECT_TRUE(desktop.Window(first_window)->topmost());
}

TEST_F(QuestionBoxTest, OwnerIsTheForegroundWindowOnlyWhenItIsOurs) {
  Ask();
  EXPECT_EQ(desktop.questions.back().owner, platform::kNoHandle);

  // Another process's window in front (the console of cmd.exe, say).
  desktop.foreground = desktop.AddWindow(77, Us() + 1);
  Ask();
  EXPECT_EQ(desktop.questions.back().owner, platform::kNoHandle);

  // Ours, though created by another of our threads.
  desktop.foreground = desktop.AddWindow(Me() + 5, Us());
  Ask();
  EXPECT_EQ(desktop.questions.back().owner, desktop.foreground);
}

TEST_F(QuestionBoxTest, FailedBoxGivesZeroAndStillRestores) {
  const Handle w = desktop.AddWindow(Me(), Us(), true, true, true);
  desktop.answer = 0;
  EXPECT_EQ(Ask(), 0);
  EXPECT_TRUE(desktop.Window(w)->enabled);
  EXPECT_TRUE(desktop.Window(w)->topmost());
}

TEST_F(QuestionBoxTest, WindowThatVanishedDuringTheBoxIsStillDroppedFromTheList) {
  const Handle gone = desktop.AddWindow(Me(), Us(), true, true, true);
  desktop.before_call = [&](const std::string& call) {
    if (call == "AskQuestion") desktop.RemoveWindow(gone);
  };
  EXPECT_EQ(Ask(), platform::kAnswerYes);
  EXPECT_EQ(calls.Calls().back().name, "SetWindowTopmost");
  EXPECT_EQ(calls.Calls().back().detail, std::to_string(gone) + ",topmost");
}

}  // namespace
}  // namespace zavero::console
