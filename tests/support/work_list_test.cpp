#include "support/work_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zavero::support {
namespace {

class WorkListTest : public ::testing::Test {
 protected:
  // The texts from first to last, walked with the list's own operations. The
  // walk moves the current element, so check the current one before calling.
  static std::vector<std::string> Order(WorkList& list) {
    std::vector<std::string> texts;
    for (auto* e = list.MoveFirst(); e != nullptr; e = list.MoveNext()) texts.push_back(e->Text());
    return texts;
  }
  static void Fill(WorkList& list, const std::vector<std::string>& texts) {
    for (const auto& text : texts) list.InsertAfterCurrent(text);
  }
  using Texts = std::vector<std::string>;

  ElementPool pool_;
  WorkList list_{pool_};
};

TEST_F(WorkListTest, NewListIsEmptyWithoutCurrent) {
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Current(), nullptr);
  EXPECT_EQ(list_.CurrentText(), "");
  EXPECT_EQ(list_.MoveFirst(), nullptr);
  EXPECT_EQ(list_.MoveNext(), nullptr);
  list_.RemoveCurrent();
  list_.SetCurrentText("ignored");
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.MoveFirst(), nullptr);
}

TEST_F(WorkListTest, FirstInsertionIsFirstLastAndCurrent) {
  const auto* a = list_.InsertAfterCurrent("A");
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_EQ(list_.Current(), a);
  EXPECT_EQ(list_.MoveNext(), nullptr);  // it is the last
  EXPECT_EQ(list_.Current(), a);
  EXPECT_EQ(list_.MoveFirst(), a);       // and the first
}

TEST_F(WorkListTest, InsertionsWithLastCurrentAppend) {
  Fill(list_, {"A", "B", "C"});
  EXPECT_EQ(list_.CurrentText(), "C");
  EXPECT_EQ(list_.Count(), 3);
  EXPECT_EQ(Order(list_), (Texts{"A", "B", "C"}));
}

TEST_F(WorkListTest, InsertionsAfterMoveFirstGoBehindTheFirstInOrder) {
  Fill(list_, {"A", "B", "C"});
  list_.MoveFirst();
  Fill(list_, {"X", "Y"});
  EXPECT_EQ(list_.CurrentText(), "Y");
  EXPECT_EQ(list_.Count(), 5);
  EXPECT_EQ(Order(list_), (Texts{"A", "X", "Y", "B", "C"}));
}

TEST_F(WorkListTest, MoveNextStaysOnTheLastAndInsertionThenAppends) {
  Fill(list_, {"A", "B"});
  list_.MoveFirst();
  EXPECT_STREQ(list_.MoveNext()->Text(), "B");
  EXPECT_EQ(list_.MoveNext(), nullptr);
  EXPECT_EQ(list_.CurrentText(), "B");
  list_.InsertAfterCurrent("C");
  EXPECT_EQ(Order(list_), (Texts{"A", "B", "C"}));
}

TEST_F(WorkListTest, RemovingTheFirstMakesItsFollowerFirstAndCurrent) {
  Fill(list_, {"A", "B", "C"});
  list_.MoveFirst();
  Fill(list_, {"X", "Y"});
  list_.MoveFirst();
  list_.RemoveCurrent();
  EXPECT_EQ(list_.CurrentText(), "X");
  EXPECT_EQ(list_.Count(), 4);
  EXPECT_EQ(Order(list_), (Texts{"X", "Y", "B", "C"}));
}

TEST_F(WorkListTest, RemovingInTheMiddleOrAtTheEndMakesThePreviousCurrent) {
  Fill(list_, {"A", "B", "C"});
  list_.MoveFirst();
  list_.MoveNext();
  list_.RemoveCurrent();  // B
  EXPECT_EQ(list_.CurrentText(), "A");
  list_.MoveNext();
  list_.RemoveCurrent();  // C, the last
  EXPECT_EQ(list_.CurrentText(), "A");
  EXPECT_EQ(list_.MoveNext(), nullptr);  // A is the last now
  list_.InsertAfterCurrent("D");         // so this appends
  EXPECT_EQ(Order(list_), (Texts{"A", "D"}));
  EXPECT_EQ(list_.Count(), 2);
}

TEST_F(WorkListTest, RemovingTheOnlyElementEmptiesTheList) {
  list_.InsertAfterCurrent("A");
  list_.RemoveCurrent();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Current(), nullptr);
  EXPECT_EQ(list_.MoveFirst(), nullptr);
  list_.RemoveCurrent();  // nothing current: no change
  EXPECT_EQ(list_.Count(), 0);
  list_.InsertAfterCurrent("B");
  EXPECT_EQ(Order(list_), (Texts{"B"}));
}

TEST_F(WorkListTest, ClearForgetsEverythingWhateverWasCurrent) {
  Fill(list_, {"A", "B", "C"});
  list_.MoveFirst();
  list_.MoveNext();
  list_.Clear();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.Current(), nullptr);
  EXPECT_EQ(list_.MoveNext(), nullptr);
  list_.InsertAfterCurrent("D");
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_EQ(Order(list_), (Texts{"D"}));
}

TEST_F(WorkListTest, TwoStepInsertionKeepsPlaceAndNeighbours) {
  // The system's own pattern: an empty element, then its text. A text that
  // needs a bigger block moves the element; the chain must follow it.
  Fill(list_, {"A", "C"});
  list_.MoveFirst();
  const auto* empty = list_.InsertAfterCurrent();
  EXPECT_EQ(empty->Length(), 0u);
  EXPECT_STREQ(empty->Text(), "");
  const std::string long_text(300, 'b');
  list_.SetCurrentText(long_text);
  EXPECT_EQ(list_.CurrentText(), long_text);
  EXPECT_EQ(list_.Current()->Length(), 300u);
  list_.InsertAfterCurrent("b2");
  EXPECT_EQ(Order(list_), (Texts{"A", long_text, "b2", "C"}));
  // Walk backwards through the previous links by removing from the end.
  list_.RemoveCurrent();  // C
  EXPECT_EQ(list_.CurrentText(), "b2");
  list_.RemoveCurrent();
  EXPECT_EQ(list_.CurrentText(), long_text);
  list_.RemoveCurrent();
  EXPECT_EQ(list_.CurrentText(), "A");
  EXPECT_EQ(list_.Count(), 1);
}

TEST_F(WorkListTest, SetCurrentTextOnTheFirstAndFromItsOwnText) {
  Fill(list_, {"A", "B"});
  list_.MoveFirst();
  list_.SetCurrentText(std::string(100, 'a'));  // moves the first element
  list_.SetCurrentText(list_.Current()->Text() + 90);  // shrinks from itself
  EXPECT_EQ(list_.CurrentText(), std::string(10, 'a'));
  list_.SetCurrentText(list_.Current()->Text() + 1);   // same block, overlapping
  EXPECT_EQ(list_.CurrentText(), std::string(9, 'a'));
  list_.SetCurrentText(nullptr);
  EXPECT_EQ(list_.CurrentText(), "");
  EXPECT_EQ(Order(list_), (Texts{"", "B"}));
  EXPECT_EQ(list_.Count(), 2);
}

TEST_F(WorkListTest, FolderQueueWalksDepthFirstPreOrder) {
  // The scan's loop over a tree: take the first folder, queue its subfolders
  // behind it, drop it.
  const std::vector<std::pair<std::string, Texts>> tree = {
      {"R", {"R\\a", "R\\b"}}, {"R\\a", {"R\\a\\x", "R\\a\\y"}}, {"R\\a\\x", {"R\\a\\x\\z"}}};
  auto children = [&](const std::string& folder) {
    for (const auto& node : tree)
      if (node.first == folder) return node.second;
    return Texts{};
  };
  list_.InsertAfterCurrent("R");
  Texts walked;
  while (list_.Count() > 0) {
    list_.MoveFirst();
    const std::string folder = list_.CurrentText();
    walked.push_back(folder);
    for (const auto& child : children(folder)) {
      list_.InsertAfterCurrent();
      list_.SetCurrentText(child);
    }
    list_.MoveFirst();
    list_.RemoveCurrent();
  }
  EXPECT_EQ(walked, (Texts{"R", "R\\a", "R\\a\\x", "R\\a\\x\\z", "R\\a\\y", "R\\b"}));
}

TEST_F(WorkListTest, RemovedBlocksAreReusedAcrossListsOfOnePool) {
  const auto* a = list_.InsertAfterCurrent("C:\\one");
  list_.RemoveCurrent();
  WorkList other(pool_);
  EXPECT_EQ(other.InsertAfterCurrent("C:\\two"), a);  // same size class, same block

  // Steady state: filling and emptying again takes nothing more from the heap.
  const std::string path = "C:\\Users\\someone\\Documents\\Projects\\zavero\\build\\file.txt";
  for (int i = 0; i < 5000; ++i) list_.InsertAfterCurrent(path);
  const std::size_t warmed = pool_.HeapBytes();
  list_.Clear();
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 5000; ++i) list_.InsertAfterCurrent(path);
    list_.MoveFirst();
    while (list_.Count() > 0) list_.RemoveCurrent();
  }
  EXPECT_EQ(pool_.HeapBytes(), warmed);
}

TEST_F(WorkListTest, ElementOfA60CharacterPathCostsLittleMoreThanItsText) {
  const std::string path(60, 'p');
  const int n = 10000;
  for (int i = 0; i < n; ++i) list_.InsertAfterCurrent(path);
  const double per_element = static_cast<double>(pool_.HeapBytes()) / n;
  // 32 bytes over the text on the 32-bit target; pointers double on 64 bits.
  EXPECT_LE(per_element, 60 + 32 + (sizeof(void*) == 8 ? 12 : 0));
}

TEST_F(WorkListTest, TextsTooLargeForThePoolStillWork) {
  const std::string huge(ElementPool::kLargestPooled * 2, 'h');
  list_.InsertAfterCurrent("small");
  list_.InsertAfterCurrent(huge);
  EXPECT_EQ(list_.CurrentText(), huge);
  list_.SetCurrentText("small again");
  EXPECT_EQ(Order(list_), (Texts{"small", "small again"}));
}

}  // namespace
}  // namespace zavero::support
