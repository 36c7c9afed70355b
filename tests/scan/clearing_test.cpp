// The phase after the scan: what clearing writes to disk, what it logs, and
// how the per-entry rows and pauses fall.
#include <gtest/gtest.h>

#include "run/run_harness.h"

namespace zavero {
namespace {

using testing::RunHarness;
using Lines = std::vector<std::string>;

constexpr const char* kLog = "C:\\Tools\\scan.log";

// Lines of the log after the phase line, up to "finished!".
Lines PhaseLines(const RunHarness& h) {
  Lines all = h.LogLines(kLog), out;
  bool in = false;
  for (auto& l : all) {
    if (l == "finished!") break;
    if (in) out.push_back(l);
    if (l == " clearing..." || l == " listing...") in = true;
  }
  return out;
}

TEST(Clearing, RemovesExactlyTheIncludeBits) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\D");
  f.AddFile("C:\\D\\ha", 0x22);
  f.AddFile("C:\\D\\rh", 0x23);             // read-only stays
  f.AddFile("C:\\D\\h", 0x2);               // nothing left: reads back as NORMAL
  f.AddFolder("C:\\D\\hd", 0x12);           // folders are cleared the same way
  f.AddFile("C:\\D\\odd", 0x80000422u);     // every other bit is kept
  h.Run("clear scan.log C:\\D");
  EXPECT_EQ(f.Attributes("C:\\D\\ha"), 0x20u);
  EXPECT_EQ(f.Attributes("C:\\D\\rh"), 0x21u);
  EXPECT_EQ(f.Attributes("C:\\D\\h"), 0x0u);
  EXPECT_EQ(f.Attributes("C:\\D\\hd"), 0x10u);
  EXPECT_EQ(f.Attributes("C:\\D\\odd"), 0x80000420u);
  EXPECT_EQ(PhaseLines(h), (Lines{"   C:\\D\\ha", "     ...sucsess!", "   C:\\D\\rh",
                                  "     ...sucsess!", "   C:\\D\\h", "     ...sucsess!",
                                  "   C:\\D\\hd", "     ...sucsess!", "   C:\\D\\odd",
                                  "     ...sucsess!"}));
}

TEST(Clearing, BitsNoWriteCanChangeDoNotCountAgainstSuccess) {
  // Hidden folders only ($12): the write of 0 leaves the folder bit, and a
  // compressed folder keeps its compression bit too, as Windows keeps them.
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\D");
  f.AddFolder("C:\\D\\hd", 0x12);
  f.AddFolder("C:\\D\\zd", 0x812);
  h.Run("clear scan.log C:\\D * 1 0 4 $12");
  EXPECT_EQ(f.Attributes("C:\\D\\hd"), 0x10u);
  EXPECT_EQ(f.Attributes("C:\\D\\zd"), 0x810u);
  EXPECT_EQ(PhaseLines(h), (Lines{"   C:\\D\\hd", "     ...sucsess!", "   C:\\D\\zd",
                                  "     ...sucsess!"}));
}

TEST(Clearing, RefusedWriteAndVanishedEntryAreNotChanged) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\D");
  f.AddFile("C:\\D\\locked", 0x22);
  f.AddFile("C:\\D\\gone", 0x2);
  f.AddFile("C:\\D\\ok", 0x2);
  f.RefuseAttributeWrites("C:\\D\\locked");
  f.before_call = [&](const std::string& call, const std::string& arg) {
    if (call == "ReadAttributes" && arg == "C:\\D\\gone") f.Remove("C:\\D\\gone");
  };
  h.Run("CLEAR scan.log C:\\D");
  EXPECT_EQ(f.Attributes("C:\\D\\locked"), 0x22u);
  EXPECT_EQ(f.Attributes("C:\\D\\ok"), 0x0u);
  EXPECT_EQ(PhaseLines(h), (Lines{"   C:\\D\\locked", "     ...not changed!", "   C:\\D\\gone",
                                  "     ...not changed!", "   C:\\D\\ok", "     ...sucsess!"}));
  // A vanished entry gets no write attempt.
  for (auto& c : h.m.Calls.Calls()) {
    if (c.Name == "WriteAttributes") {
      EXPECT_EQ(c.Detail.find("C:\\D\\gone"), std::string::npos);
    }
  }
}

TEST(Clearing, EntryThatLostAMaskBitIsLeftAlone) {
  RunHarness h;
  auto& f = h.m.Files;
  f.AddFolder("C:\\D\\S");
  f.AddFile("C:\\D\\S\\x", 0x6);
  bool changed = false;  // someone else clears the system bit after the scan
  f.before_call = [&](const std::string& call, const std::string&) {
    if (call == "ReadAttributes" && !changed) changed = true, f.SetAttributes("C:\\D\\S\\x", 0x2);
  };
  h.Run("CLEAR scan.log C:\\D \"\" 1 1 0 6");
  EXPECT_EQ(f.Attributes("C:\\D\\S\\x"), 0x2u);
  EXPECT_EQ(h.m.Calls.Count("WriteAttributes"), 0);
  EXPECT_EQ(PhaseLines(h), (Lines{"   C:\\D\\S\\x", "     ...sucsess!"}));
}

TEST(Clearing, MaskZeroWritesTheWordBack) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\D");
  h.m.Files.AddFile("C:\\D\\a", 0x21);
  h.Run("CLEAR scan.log C:\\D * 0 1 0 0");
  EXPECT_EQ(h.m.Files.Attributes("C:\\D\\a"), 0x21u);
  EXPECT_EQ(h.m.Calls.Count("WriteAttributes"), 1);
  EXPECT_EQ(PhaseLines(h), (Lines{"   C:\\D\\a", "     ...sucsess!"}));
}

TEST(Listing, TouchesNoAttributeAndWritesNoResult) {
  for (const char* mode : {"list", "\"CLEAR \"", "\"\"", "CLEARX"}) {
    RunHarness h;
    h.m.Files.AddFolder("C:\\D");
    h.m.Files.AddFile("C:\\D\\a", 0x2);
    h.Run(std::string(mode) + " scan.log C:\\D");
    EXPECT_EQ(h.m.Files.Attributes("C:\\D\\a"), 0x2u) << mode;
    EXPECT_EQ(h.m.Calls.Count("ReadAttributes") + h.m.Calls.Count("WriteAttributes"), 0);
    EXPECT_EQ(PhaseLines(h), (Lines{"   C:\\D\\a"}));
    EXPECT_EQ(h.LogLines(kLog)[1], "include attributes: $2");
  }
}

TEST(Clearing, ModeIsCaseInsensitive) {
  for (const char* mode : {"clear", "Clear", "cLeAr"}) {
    RunHarness h;
    h.m.Files.AddFolder("C:\\D");
    h.m.Files.AddFile("C:\\D\\a", 0x2);
    h.Run(std::string(mode) + " scan.log C:\\D");
    EXPECT_EQ(h.m.Files.Attributes("C:\\D\\a"), 0x0u) << mode;
  }
}

// A start folder with n hidden files, named so they list in order.
void AddFiles(RunHarness& h, int n) {
  h.m.Files.AddFolder("C:\\M");
  for (int i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "C:\\M\\f%04d", i);
    h.m.Files.AddFile(name, 0x2);
  }
}

TEST(Rows, PhaseLineOnThreeThenPathsCycleThroughTheBand) {
  RunHarness h;
  AddFiles(h, 148);
  h.Run("list \"\" C:\\M");
  auto& c = h.m.Console;
  EXPECT_EQ(c.RowText(4), "  C:\\M\\f0000");
  EXPECT_EQ(c.RowText(150), "  C:\\M\\f0146");
  EXPECT_EQ(c.RowText(3), "  C:\\M\\f0147");  // the 148th path goes over the phase line
  EXPECT_EQ(c.RowText(4), "  C:\\M\\f0000");
  EXPECT_EQ(h.run->ScreenRow, 151);             // set for "finished!"
  EXPECT_EQ(c.RowText(151), "finished!");
  EXPECT_EQ(c.CellAttribute(0, 4), 9);
  EXPECT_EQ(c.CellAttribute(0, 151), 12);
}

TEST(Rows, EmptyListShowsThePhaseLineOnly) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\M");
  h.Run("clear scan.log C:\\M");
  EXPECT_EQ(h.m.Console.RowText(3), " clearing...");
  EXPECT_EQ(h.m.Console.RowText(4), "");
  EXPECT_EQ(h.run->PacingCount, 0);
  EXPECT_EQ(PhaseLines(h), Lines{});
}

TEST(Rows, PhaseLineBlanksALongerScanningRow) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\M\\a very long folder name that leaves text on row three");
  h.Run("list \"\" C:\\M");
  EXPECT_EQ(h.m.Console.RowText(3), " listing...");
  EXPECT_EQ(h.m.Console.RowText(2), " files found: 0");
}

TEST(Pacing, OnePausePer251Paths) {
  RunHarness h;
  AddFiles(h, 502);
  h.Run("list \"\" C:\\M");
  EXPECT_EQ(h.m.Process.Pauses, (std::vector<std::uint32_t>{1, 1}));
  RunHarness g;
  AddFiles(g, 250);
  g.Run("list \"\" C:\\M");
  EXPECT_TRUE(g.m.Process.Pauses.empty());
}

TEST(Pacing, PauseComesBeforeThe251stRow) {
  RunHarness h;
  AddFiles(h, 251);
  h.Run("list \"\" C:\\M");
  auto calls = h.m.Calls.Calls();
  std::size_t pause = 0, row = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].Name == "Pause" && calls[i].Detail == "1") pause = i;
    if (calls[i].Name == "WriteChars" && calls[i].Detail.find("f0250") != std::string::npos) row = i;
  }
  ASSERT_GT(pause, 0u);
  EXPECT_LT(pause, row);
}

TEST(FoundCount, CountBeforeEachFolder) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\R\\A");
  h.m.Files.AddFile("C:\\R\\A\\1", 0x2);
  h.m.Files.AddFile("C:\\R\\A\\2", 0x2);
  h.m.Files.AddFolder("C:\\R\\B");
  h.m.Files.AddFile("C:\\R\\B\\3", 0x2);
  h.m.Files.AddFile("C:\\R\\0", 0x2);
  h.Run("list \"\" C:\\R");
  Lines counts;
  for (auto& w : h.m.Console.Writes)
    if (w.Bytes.compare(0, 13, " files found:") == 0) counts.push_back(w.Bytes);
  // ... and the true count once the walk ends.
  EXPECT_EQ(counts, (Lines{" files found: 1", " files found: 3", " files found: 4"}));
  EXPECT_EQ(h.m.Console.CellAttribute(1, 2), 15);
}

TEST(Guard, EveryUserFileCallIsWrappedAndNothingElse) {
  RunHarness h;
  h.m.Files.AddFolder("C:\\R\\A");
  h.m.Files.AddFile("C:\\R\\A\\h", 0x2);
  h.Run("clear scan.log C:\\R");
  const Lines guarded = {"FindFirstEntry", "ReadAttributes", "WriteAttributes", "ReadFolderId"};
  auto calls = h.m.Calls.Calls();
  int pairs = 0;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    bool is_guarded = false;
    for (auto& g : guarded) is_guarded = is_guarded || calls[i].Name == g;
    if (calls[i].Name == "DisableRedirection") {
      ASSERT_LT(i + 2, calls.size());
      EXPECT_TRUE(std::find(guarded.begin(), guarded.end(), calls[i + 1].Name) != guarded.end())
          << calls[i + 1].Name;
      EXPECT_EQ(calls[i + 2].Name, "EnableRedirection");
      ++pairs;
    } else if (is_guarded) {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(calls[i - 1].Name, "DisableRedirection") << calls[i].Name;
    }
  }
  EXPECT_EQ(pairs, 1 + 1 + 3);  // one listing of the start folder and of A, read-write-read
  EXPECT_FALSE(h.m.Process.RedirectionOff);
}

TEST(Guard, InactiveOn32BitWindowsAndWithoutTheFunctions) {
  RunHarness h;
  h.m.Process.Wow64FlagValue = 0;
  h.m.Files.AddFolder("C:\\R");
  h.m.Files.AddFile("C:\\R\\h", 0x2);
  h.Run("clear scan.log C:\\R");
  EXPECT_EQ(h.m.Calls.Count("DisableRedirection"), 0);
  EXPECT_EQ(h.m.Files.Attributes("C:\\R\\h"), 0u);

  RunHarness g;
  g.m.Process.kernel_functions.erase("Wow64EnableWow64FsRedirection");
  g.m.Files.AddFolder("C:\\R");
  g.Run("clear scan.log C:\\R");
  EXPECT_EQ(g.m.Calls.Count("DisableRedirection") + g.m.Calls.Count("Wow64Flag"), 1);
  EXPECT_EQ(g.m.Calls.Count("DisableRedirection"), 0);
}

}  // namespace
}  // namespace zavero
