// Whole runs over small trees on the fake machine: which entries a run
// selects, in which order, and what it logs about them.
#include <gtest/gtest.h>

#include "run/run_harness.h"

namespace zavero {
namespace {

using testing::RunHarness;
using Lines = std::vector<std::string>;

constexpr const char* kLog = "C:\\Tools\\scan.log";

TEST(Walk, DepthFirstPreOrderAndMatchOrder) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\R");
  f.AddFile("C:\\R\\r.txt", 0x22);
  f.AddFolder("C:\\R\\A");
  f.AddFolder("C:\\R\\A\\A1", 0x12);  // hidden folders are walked and selected
  f.AddFile("C:\\R\\A\\A1\\a1.txt", 0x2);
  f.AddFile("C:\\R\\A\\a.txt", 0x2);  // listed after A1, selected in A's pass
  f.AddFolder("C:\\R\\B");
  f.AddFile("C:\\R\\B\\b.txt", 0x23);
  f.AddFile("C:\\R\\z.txt", 0x2);
  h.Run("list \"\" C:\\R");

  EXPECT_EQ(h.WalkedFolders(), (Lines{"C:\\R\\A", "C:\\R\\A\\A1", "C:\\R\\B"}));
  EXPECT_EQ(h.Matches(), (Lines{"C:\\R\\r.txt", "C:\\R\\z.txt", "C:\\R\\A\\A1", "C:\\R\\A\\a.txt",
                                "C:\\R\\A\\A1\\a1.txt", "C:\\R\\B\\b.txt"}));
  EXPECT_EQ(h.run->FolderQueue.Count(), 0);
  EXPECT_EQ(f.open_finds(), 0);
  // The start folder gets no pause; every walked folder one of 5 ms.
  EXPECT_EQ(h.m.Process.Pauses, (std::vector<std::uint32_t>{5, 5, 5}));
}

TEST(Walk, SelectionOutcomesAndExactLogBytes) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\D");
  f.AddFile("C:\\D\\hs.sys", 0x6);      // skipped with a line, at the top too
  f.AddFile("C:\\D\\plain.txt", 0x20);  // ignored
  f.AddFolder("C:\\D\\Sub");
  f.AddFile("C:\\D\\Sub\\ha.txt", 0x22);  // selected
  f.AddFile("C:\\D\\Sub\\hs.sys", 0x6);   // skipped with a line
  f.AddFile("C:\\D\\Sub\\p.txt", 0x20);
  h.Run("CLEAR scan.log C:\\D");

  EXPECT_EQ(h.Matches(), (Lines{"C:\\D\\Sub\\ha.txt"}));
  EXPECT_EQ(f.Content(kLog),
            "QOR_ZAVERO has been started...\r\n"
            "Clear attributes: $2\r\n"
            "skip attributes: $4\r\n"
            "searching files: *\r\n"
            "search in folder: C:\\D\r\n"
            " skipped (attributes $4): C:\\D\\hs.sys\r\n"
            " skipped (attributes $4): C:\\D\\Sub\\hs.sys\r\n"
            " clearing...\r\n"
            "   C:\\D\\Sub\\ha.txt\r\n"
            "     ...sucsess!\r\n"
            " 2 entries skipped (attributes $4); take them with parameters 4-8:"
            " * 1 1 0 2\r\n"
            "finished!\r\n");
  // The same line on the screen, in the row after the entries.
  EXPECT_EQ(h.m.Console.RowText(5), h.LogLines(kLog)[10]);
  EXPECT_EQ(f.Attributes("C:\\D\\Sub\\ha.txt"), 0x20u);
  EXPECT_EQ(f.Attributes("C:\\D\\Sub\\hs.sys"), 0x6u);
  EXPECT_EQ(f.Attributes("C:\\D\\hs.sys"), 0x6u);
  EXPECT_EQ(f.Attributes("C:\\D\\plain.txt"), 0x20u);
}

class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& f = h.m.Files;
    f.AddFolder("C:\\T");
    f.AddFolder("C:\\T\\S");
    f.AddFile("C:\\T\\S\\h.txt", 0x2);
    f.AddFile("C:\\T\\S\\hs.txt", 0x6);
    f.AddFile("C:\\T\\S\\s.txt", 0x4);
    f.AddFile("C:\\T\\S\\n.txt", 0x20);
    f.AddFolder("C:\\T\\S\\hd", 0x12);
    f.AddFile("C:\\T\\S\\x.doc", 0x2);
  }
  Lines Run(const std::string& tail) {
    h.Run("list scan.log C:\\T " + tail);
    Lines names;
    for (auto& m : h.Matches()) names.push_back(m.substr(m.rfind('\\') + 1));
    return names;
  }
  Lines SkipLines() {
    Lines out;
    for (auto& l : h.LogLines(kLog))
      if (l.compare(0, 9, " skipped ") == 0) out.push_back(l);
    return out;
  }
  RunHarness h;
};

TEST_F(Tree, IncludeMaskZeroTakesEveryCandidateButSkipped) {
  // The start folder's own subfolder S is a candidate too.
  EXPECT_EQ(Run("* 1 1 4 0"), (Lines{"S", "h.txt", "n.txt", "hd", "x.doc"}));
  EXPECT_EQ(SkipLines(), (Lines{" skipped (attributes $4): C:\\T\\S\\hs.txt",
                                " skipped (attributes $4): C:\\T\\S\\s.txt"}));
}

TEST_F(Tree, SkipMaskZeroSkipsNothing) {
  EXPECT_EQ(Run("* 1 1 0 2"), (Lines{"h.txt", "hs.txt", "hd", "x.doc"}));
  EXPECT_TRUE(SkipLines().empty());
}

TEST_F(Tree, IncludeSixWithSkipFourSkipsEveryMatch) {
  EXPECT_EQ(Run("* 1 1 4 6"), Lines{});
  EXPECT_EQ(SkipLines(), (Lines{" skipped (attributes $4): C:\\T\\S\\hs.txt"}));
  EXPECT_EQ(Run("* 1 1 0 6"), (Lines{"hs.txt"}));
}

TEST_F(Tree, FlagsOtherThanOneTurnAKindOff) {
  EXPECT_EQ(Run("* 0 1"), (Lines{"h.txt", "x.doc"}));     // folders off
  EXPECT_EQ(Run("* 2 1"), (Lines{"h.txt", "x.doc"}));     // 2 counts as off
  EXPECT_EQ(Run("* 1 -1"), (Lines{"hd"}));                // files off
  EXPECT_EQ(Run("* 0 0"), Lines{});
  EXPECT_EQ(h.WalkedFolders(), (Lines{"C:\\T\\S", "C:\\T\\S\\hd"}));  // still walked
}

TEST_F(Tree, PatternLimitsCandidatesNotTheWalk) {
  h.m.Files.AddFolder("C:\\T\\S\\hd\\deep.txt", 0x12);
  EXPECT_EQ(Run("*.txt"), (Lines{"h.txt", "deep.txt"}));
  EXPECT_EQ(h.WalkedFolders(),
            (Lines{"C:\\T\\S", "C:\\T\\S\\hd", "C:\\T\\S\\hd\\deep.txt"}));
}

TEST_F(Tree, SkipLineShowsTheSignExtendedMask) {
  Run("* 1 1 $80000004 2");
  EXPECT_TRUE(SkipLines().empty());  // nothing carries bit 31
  Run("* 1 1 -1 0");
  EXPECT_TRUE(SkipLines().empty());
  h.m.Files.SetAttributes("C:\\T\\S\\h.txt", 0xFFFFFFFFu & ~0x10u);
  Run("* 1 1 $FFFFFFEF 0");
  EXPECT_EQ(SkipLines(),
            (Lines{" skipped (attributes $FFFFFFFFFFFFFFEF): C:\\T\\S\\h.txt"}));
}

TEST(StartFolder, TrailingSeparatorAndDriveForms) {
  for (const char* start : {"C:\\Data", "C:\\Data\\"}) {
    RunHarness h;
    h.m.Files.AddFolder("C:\\Data\\X");
    h.m.Files.AddFile("C:\\Data\\a.txt", 0x2);
    h.m.Files.AddFile("C:\\Data\\X\\b.txt", 0x2);
    h.Run(std::string("list scan.log ") + start);
    EXPECT_EQ(h.Matches(), (Lines{"C:\\Data\\a.txt", "C:\\Data\\X\\b.txt"})) << start;
    EXPECT_EQ(h.LogLines(kLog)[4], std::string("search in folder: ") + start);
  }
  RunHarness h;
  h.m.Files.AddDrive('D', platform::kDriveFixed);
  h.m.Files.AddFolder("D:\\X");
  h.m.Files.AddFile("D:\\n.txt", 0x2);
  h.Run("list \"\" D:");
  EXPECT_EQ(h.Matches(), (Lines{"D:\\n.txt"}));
  EXPECT_EQ(h.WalkedFolders(), (Lines{"D:\\X"}));
}

TEST(StartFolder, WithoutSubfoldersNoProgressRows) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\Flat");
  h.m.Files.AddFile("C:\\Flat\\a", 0x2);
  h.Run("list \"\" C:\\Flat");
  EXPECT_EQ(h.Matches(), (Lines{"C:\\Flat\\a"}));
  EXPECT_TRUE(h.WalkedFolders().empty());
  EXPECT_TRUE(h.m.Process.Pauses.empty());
  EXPECT_EQ(h.m.Console.RowText(2), "");
}

TEST(StartFolder, MissingOrAFileYieldsNothingAndIsSaid) {
  for (const char* start : {"C:\\Nope", "C:\\Tools\\zavero.exe"}) {
    RunHarness h;
    h.m.Files.AddFile("C:\\Tools\\zavero.exe", 0x22);
    h.Run(std::string("CLEAR scan.log ") + start);
    EXPECT_TRUE(h.Matches().empty());
    EXPECT_EQ(h.LogLines(kLog),
              (Lines{"QOR_ZAVERO has been started...", "Clear attributes: $2",
                     "skip attributes: $4", "searching files: *",
                     std::string("search in folder: ") + start, " clearing...",
                     std::string(" cannot read the start folder ") + start, "finished!"}));
    EXPECT_EQ(h.m.Console.RowText(4), h.LogLines(kLog)[6]);
    EXPECT_EQ(h.m.Files.Attributes("C:\\Tools\\zavero.exe"), 0x22u);
  }
}

TEST(DriveRoots, OnlyFixedAndRemovableButAAndB) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddDrive('A', platform::kDriveRemovable);
  f.AddDrive('B', platform::kDriveRemovable);
  f.AddDrive('D', 5);  // CD-ROM
  f.AddDrive('E', platform::kDriveRemovable);
  f.AddDrive('R', 6);  // RAM disk
  f.AddDrive('Y', 1);  // no root folder
  f.AddDrive('Z', 4);  // remote
  for (char d : std::string("ABCDERYZ")) f.AddFile(std::string(1, d) + ":\\h.txt", 0x2);
  h.Run("");
  EXPECT_EQ(h.WalkedFolders(), (Lines{"C:\\", "C:\\Tools", "E:\\"}));
  EXPECT_EQ(h.Matches(), (Lines{"C:\\h.txt", "E:\\h.txt"}));
}

TEST(DriveRoots, ListIsSteppedInFoursAndStopsAtTheFirstEmptyText) {
  RunHarness h;
  h.m.Files.AddDrive('E', platform::kDriveFixed);
  h.m.Files.AddDrive('F', platform::kDriveFixed);
  h.m.Files.DriveStrings = std::string("c:\\\0e:\\\0\0f:\\\0", 13);
  h.Run("");
  EXPECT_EQ(h.WalkedFolders(), (Lines{"c:\\", "c:\\Tools", "e:\\"}));
}

TEST(DriveRoots, NoDriveListMeansNothingToDo) {
  RunHarness h;
  h.m.Files.DriveStrings = std::string();
  h.Run("list scan.log");
  EXPECT_TRUE(h.WalkedFolders().empty());
  EXPECT_EQ(h.LogLines(kLog).size(), 6u);  // four header lines, phase, finished
}

TEST(Walk, FolderRemovedAfterQueuingIsShownAndPassedOver) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\R\\A");
  f.AddFile("C:\\R\\A\\a", 0x2);
  f.AddFolder("C:\\R\\B");
  f.AddFile("C:\\R\\B\\b", 0x2);
  f.before_call = [&](const std::string& call, const std::string& arg) {
    if (call == "FindFirstEntry" && arg == "C:\\R\\A\\*") f.Remove("C:\\R\\A");
  };
  h.Run("list scan.log C:\\R");
  EXPECT_EQ(h.WalkedFolders(), (Lines{"C:\\R\\A", "C:\\R\\B"}));
  EXPECT_EQ(h.Matches(), (Lines{"C:\\R\\B\\b"}));
  EXPECT_EQ(f.open_finds(), 0);
}

TEST(Walk, UnlistableFolderYieldsNothingAndALineOnlyWhenAnotherProgramHoldsIt) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\R\\Locked");
  f.AddFile("C:\\R\\Locked\\a", 0x6);
  f.AddFolder("C:\\R\\Open");
  f.AddFile("C:\\R\\Open\\b", 0x2);
  f.FailListing("C:\\R\\Locked", 5);
  f.AddFile("C:\\R\\Busy\\c", 0x2);
  f.FailListing("C:\\R\\Busy", 32);  // ERROR_SHARING_VIOLATION
  h.Run("list scan.log C:\\R");
  EXPECT_EQ(h.Matches(), (Lines{"C:\\R\\Open\\b"}));
  for (auto& l : h.LogLines(kLog)) EXPECT_EQ(l.find("skipped"), std::string::npos);
  EXPECT_EQ(h.LogLines(kLog).at(5), " not entered (held by another program): C:\\R\\Busy");
}

TEST(Walk, LinksAreEntriesOfTheirOwnMountedVolumesAreCrossed) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\R\\A");
  f.AddFile("C:\\R\\A\\a", 0x2);
  f.AddLink("C:\\R\\A\\loop", "C:\\R", 0x10 | 0x400 | 0x2);
  f.AddLink("C:\\R\\A\\other", "C:\\X");
  f.AddFile("C:\\X\\x", 0x2);
  f.AddMountedVolume("C:\\R\\A\\self", "C:\\");  // its own volume again: a cycle
  f.AddMountedVolume("C:\\R\\A\\vol", "E:\\");
  f.AddFile("E:\\e", 0x2);
  h.Run("list \"\" C:\\R");
  EXPECT_EQ(h.WalkedFolders(), (Lines{"C:\\R\\A", "C:\\R\\A\\vol"}));
  // The link itself is still a candidate like any hidden folder.
  EXPECT_EQ(h.Matches(), (Lines{"C:\\R\\A\\a", "C:\\R\\A\\loop", "C:\\R\\A\\vol\\e"}));
}

TEST(Walk, LinkCycleThroughTwoLinksEnds) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\R\\A");
  f.AddFolder("C:\\R\\B");
  f.AddLink("C:\\R\\A\\toB", "C:\\R\\B");
  f.AddLink("C:\\R\\B\\toA", "C:\\R\\A");
  h.Run("list \"\" C:\\R");
  EXPECT_EQ(h.WalkedFolders(), (Lines{"C:\\R\\A", "C:\\R\\B"}));
}

TEST(Walk, OrdinaryFoldersPayNoIdentityCall) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\R\\A\\B\\C");
  h.Run("list \"\" C:\\R");
  EXPECT_EQ(h.m.Calls.Count("ReadFolderId"), 0);
  EXPECT_EQ(h.m.Calls.Count("FindFirstEntry"), 1 + 3);  // every folder listed once
}

TEST(Walk, PatternStarListsEachFolderOnceANarrowerOneTwice) {
  for (const std::string pattern : {"*", "*.txt"}) {
    RunHarness h;
    h.m.Files.AddFile("C:\\R\\A\\a.txt", 0x2);
    h.Run("list \"\" C:\\R " + pattern);
    Lines searches;
    for (const auto& call : h.m.Calls.Calls())
      if (call.Name == "FindFirstEntry") searches.push_back(call.Detail.substr(5));
    EXPECT_EQ(searches, (pattern == "*" ? Lines{"*", "A\\*"}
                                        : Lines{"*", "*.txt", "A\\*", "A\\*.txt"}));
  }
}

}  // namespace
}  // namespace zavero
