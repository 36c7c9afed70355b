#include "support/work_list.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zavero::support {
namespace {

using Texts = std::vector<std::string>;

class WorkListTest : public ::testing::Test {
 protected:
  // The texts from first to last, walked with the list's own operations (the
  // walk moves the current element: check that one first).
  Texts Order() {
    Texts texts;
    for (auto* e = list_.MoveFirst(); e != nullptr; e = list_.MoveNext()) texts.push_back(e->Text());
    return texts;
  }
  void Insert(const Texts& texts) {
    for (const auto& text : texts) list_.InsertAfterCurrent(text);
  }

  ElementPool pool_;
  WorkList list_{pool_};
};

TEST_F(WorkListTest, EmptyListHasNothingToMoveToOrRemove) {
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.MoveFirst(), nullptr);
  EXPECT_EQ(list_.MoveNext(), nullptr);
  list_.RemoveCurrent();
  list_.SetCurrentText("ignored");
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Current(), nullptr);
  EXPECT_EQ(list_.CurrentText(), "");
}

TEST_F(WorkListTest, InsertionGoesBehindTheCurrentAndBecomesCurrent) {
  const auto* a = list_.InsertAfterCurrent("A");
  EXPECT_EQ(list_.Current(), a);
  EXPECT_EQ(list_.MoveNext(), nullptr);  // first and last at once
  EXPECT_EQ(list_.Current(), a);
  Insert({"B", "C"});
  EXPECT_EQ(list_.CurrentText(), "C");
  EXPECT_EQ(Order(), (Texts{"A", "B", "C"}));
  list_.MoveFirst();
  Insert({"X", "Y"});
  EXPECT_EQ(list_.CurrentText(), "Y");
  EXPECT_EQ(list_.Count(), 5);
  EXPECT_EQ(Order(), (Texts{"A", "X", "Y", "B", "C"}));
  // Order() ended on the last element, where MoveNext stays: this appends.
  EXPECT_EQ(list_.CurrentText(), "C");
  list_.InsertAfterCurrent("D");
  EXPECT_EQ(Order(), (Texts{"A", "X", "Y", "B", "C", "D"}));
}

TEST_F(WorkListTest, RemovalMakesThePreviousCurrentOrTheFollowerOfTheFirst) {
  Insert({"A", "X", "Y", "B", "C"});
  list_.MoveFirst();
  list_.RemoveCurrent();
  EXPECT_EQ(list_.CurrentText(), "X");
  EXPECT_EQ(list_.Count(), 4);
  list_.MoveNext();
  list_.MoveNext();
  list_.RemoveCurrent();  // B, in the middle
  EXPECT_EQ(list_.CurrentText(), "Y");
  list_.MoveNext();
  list_.RemoveCurrent();  // C, the last
  EXPECT_EQ(list_.CurrentText(), "Y");
  EXPECT_EQ(list_.MoveNext(), nullptr);  // Y is the last now
  EXPECT_EQ(Order(), (Texts{"X", "Y"}));
  list_.RemoveCurrent();
  list_.RemoveCurrent();  // the only one
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Current(), nullptr);
  list_.RemoveCurrent();  // nothing current: no change
  EXPECT_EQ(list_.Count(), 0);
  list_.InsertAfterCurrent("Z");
  EXPECT_EQ(Order(), (Texts{"Z"}));
}

TEST_F(WorkListTest, ClearForgetsEverythingWhateverWasCurrent) {
  Insert({"A", "B", "C"});
  list_.MoveFirst();
  list_.MoveNext();
  list_.Clear();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Current(), nullptr);
  list_.InsertAfterCurrent("D");
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_EQ(Order(), (Texts{"D"}));
}

TEST_F(WorkListTest, SetCurrentTextKeepsTheElementsPlaceWhateverItsSize) {
  // A text that needs a bigger block moves the element; its neighbours and
  // the head must follow, in both directions.
  Insert({"A", "C"});
  list_.MoveFirst();
  list_.SetCurrentText(std::string(100, 'a'));  // the first element moves
  EXPECT_EQ(Order(), (Texts{std::string(100, 'a'), "C"}));
  list_.MoveFirst();
  list_.InsertAfterCurrent();
  EXPECT_STREQ(list_.Current()->Text(), "");
  const std::string huge(ElementPool::kLargestPooled * 2, 'b');  // beyond the pool
  list_.SetCurrentText(huge);
  EXPECT_EQ(Order(), (Texts{std::string(100, 'a'), huge, "C"}));
  list_.RemoveCurrent();
  EXPECT_EQ(list_.CurrentText(), huge);
  list_.RemoveCurrent();
  EXPECT_EQ(list_.CurrentText(), std::string(100, 'a'));
  // The new text may be a piece of the old one, in a new block or in place.
  list_.SetCurrentText(list_.Current()->Text() + 90);
  EXPECT_EQ(list_.CurrentText(), std::string(10, 'a'));
  list_.SetCurrentText(list_.Current()->Text() + 1);
  EXPECT_EQ(list_.CurrentText(), std::string(9, 'a'));
  EXPECT_EQ(list_.Count(), 1);
}

TEST_F(WorkListTest, FolderQueueWalksDepthFirstPreOrder) {
  // The scan's loop: take the first folder, queue its subfolders behind it
  // (empty element, then its text), drop it.
  const std::map<std::string, Texts> subfolders = {
      {"R", {"R\\a", "R\\b"}}, {"R\\a", {"R\\a\\x", "R\\a\\y"}}, {"R\\a\\x", {"R\\a\\x\\z"}}};
  list_.InsertAfterCurrent("R");
  Texts walked;
  while (list_.Count() > 0) {
    list_.MoveFirst();
    const std::string folder = list_.CurrentText();
    walked.push_back(folder);
    const auto found = subfolders.find(folder);
    for (const auto& child : found != subfolders.end() ? found->second : Texts{}) {
      list_.InsertAfterCurrent();
      list_.SetCurrentText(child);
    }
    list_.MoveFirst();
    list_.RemoveCurrent();
  }
  EXPECT_EQ(walked, (Texts{"R", "R\\a", "R\\a\\x", "R\\a\\x\\z", "R\\a\\y", "R\\b"}));
}

TEST_F(WorkListTest, PoolReusesBlocksAndKeepsElementsSmall) {
  const auto* a = list_.InsertAfterCurrent("C:\\one");
  list_.RemoveCurrent();
  WorkList other(pool_);
  EXPECT_EQ(other.InsertAfterCurrent("C:\\two"), a);  // same size, same block

  const std::string path(60, 'p');
  const int n = 10000;
  Insert(Texts(n, path));
  const std::size_t warmed = pool_.HeapBytes();
  // 32 bytes over the text on the 32-bit target; pointers double on 64 bits.
  EXPECT_LE(static_cast<double>(warmed) / n, 60 + 32 + (sizeof(void*) == 8 ? 12 : 0));
  // Emptying and filling again takes nothing more from the heap.
  for (int round = 0; round < 3; ++round) {
    list_.MoveFirst();
    while (list_.Count() > 0) list_.RemoveCurrent();
    Insert(Texts(n, path));
  }
  EXPECT_EQ(pool_.HeapBytes(), warmed);
}

}  // namespace
}  // namespace zavero::support
