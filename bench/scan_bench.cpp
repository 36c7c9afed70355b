// The program's own cost of a run's two working phases, the walk
// (ScanForMatches) and the clearing or listing (ProcessMatches): its lists,
// path and row texts, number formatting, and the console and log code above
// the seam. The system calls go to a machine on which they cost next to
// nothing (costless_machine.h), so the time measured is the program's; the
// required pauses are counted there, not slept.
//
// The same runs over the unit tests' fake machine show what that fake costs
// by itself: it records, looks paths up in a tree of nodes and keeps every
// screen write, so its own cost is timed apart (a bare listing walk) and
// reported beside the run, not mixed into the program's figure.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "fake/fake_machine.h"
#include "costless_machine.h"
#include "state/run_context.h"
#include "scan/process_matches.h"
#include "scan/scan_for_matches.h"
#include "support/element_pool.h"
#include "support/work_list.h"

namespace {

using zavero::RunContext;
using zavero::bench::CostlessMachine;
using zavero::bench::CostlessTree;
namespace platform = zavero::platform;

// A start folder as deep as a data folder on a user's disk, so the paths the
// run builds are of a typical length (about 60 characters at the third level).
const char kRoot[] = "C:\\Users\\someone\\Documents\\Archive";
const char kLogPath[] = "C:\\Users\\someone\\scan.log";

// The run state as the run sequence leaves it before the scan: guard set up,
// options read, console open in screen mode. Without `log_path` no log.
std::unique_ptr<RunContext> MakeRun(platform::Machine& machine, bool clearing, bool logging) {
  auto run = std::make_unique<RunContext>(machine);
  run->Guard.Setup(machine.Process);
  run->ScreenRow = 3;
  run->Options.Mode = clearing ? "CLEAR" : "LIST";
  run->Options.LogPath = logging ? kLogPath : "";
  run->Options.StartFolder = kRoot;
  zavero::console::ConsoleOpen(run->Console, machine, nullptr);
  zavero::console::ConsoleSetScreenMode(run->Console, 1);
  return run;
}

zavero::ScanArguments ArgumentsOf(const RunContext& run) {
  const auto& o = run.Options;
  return {o.StartFolder, o.Pattern, o.SelectFiles, o.SelectFolders, o.SkipMask, o.IncludeMask};
}

CostlessTree TreeOf(const benchmark::State& state) {
  CostlessTree tree;
  tree.depth = static_cast<int>(state.range(0));
  tree.files = static_cast<int>(state.range(1));
  return tree;
}

// Time per unit as a counter: seconds per (iterations x units).
benchmark::Counter Per(double units) {
  return benchmark::Counter(units, benchmark::Counter::kIsIterationInvariantRate |
                                       benchmark::Counter::kInvert);
}

void ReportTree(benchmark::State& state, const CostlessTree& tree) {
  state.counters["folders"] = static_cast<double>(tree.Folders());
  state.counters["entries"] = static_cast<double>(tree.Entries());
  state.counters["per_folder"] = Per(static_cast<double>(tree.Folders()));
  state.counters["per_entry"] = Per(static_cast<double>(tree.Entries()));
}

// Platform calls per unit (folder, selected entry) as counters: the calls
// made in all iterations over `units` per iteration.
void ReportCalls(benchmark::State& state, const CostlessMachine::Calls& calls, double units,
                 const char* unit) {
  const auto add = [&](const char* name, std::int64_t count) {
    state.counters[std::string(name) + "_per_" + unit] =
        benchmark::Counter(static_cast<double>(count) / units, benchmark::Counter::kAvgIterations);
  };
  add("listings", calls.listings);
  add("switches", calls.switches);
  add("pauses", calls.pauses);
  add("console", calls.cursor_moves + calls.buffer_infos + calls.colour_changes + calls.console_writes);
  add("log_lines", calls.file_opens);
  add("file_calls", calls.file_calls);
  add("attribute_calls", calls.attribute_reads + calls.attribute_writes);
}

// ---------------------------------------------------------------- the program

// The platform calls of a walk over folders with nothing to select or skip:
// what a folder costs by itself.
void BM_CallsPerFolder(benchmark::State& state) {
  CostlessTree tree = TreeOf(state);
  tree.marked = false;
  CostlessMachine machine(tree, kRoot);
  auto run = MakeRun(machine.machine(), false, true);
  const auto args = ArgumentsOf(*run);
  for (auto _ : state) zavero::ScanForMatches(*run, args);
  ReportCalls(state, machine.calls, static_cast<double>(tree.Folders()), "folder");
  ReportTree(state, tree);
}

// The walk alone, with a log (so every skipped entry costs its log line).
void BM_Scan(benchmark::State& state) {
  const CostlessTree tree = TreeOf(state);
  CostlessMachine machine(tree, kRoot);
  auto run = MakeRun(machine.machine(), false, true);
  const auto args = ArgumentsOf(*run);
  for (auto _ : state) {
    run->MatchList.Clear();
    zavero::ScanForMatches(*run, args);
  }
  if (run->MatchList.Count() != tree.Selected()) state.SkipWithError("unexpected match count");
  ReportTree(state, tree);
}

// The clearing or listing phase alone over the matches of one walk.
void BM_Process(benchmark::State& state) {
  const CostlessTree tree = TreeOf(state);
  const bool clearing = state.range(2) != 0;
  CostlessMachine machine(tree, kRoot);
  auto run = MakeRun(machine.machine(), clearing, true);
  zavero::ScanForMatches(*run, ArgumentsOf(*run));
  const double matches = run->MatchList.Count();
  machine.calls = {};
  for (auto _ : state) zavero::ProcessMatches(*run);
  state.SetLabel(clearing ? "CLEAR, log" : "list, log");
  ReportCalls(state, machine.calls, matches, "match");
  state.counters["matches"] = matches;
  state.counters["per_match"] = Per(matches);
}

// The whole of both phases, as a run with a log does them: the program's own
// work per folder and per entry listed.
void BM_ScanAndProcess(benchmark::State& state) {
  const CostlessTree tree = TreeOf(state);
  const bool clearing = state.range(2) != 0;
  CostlessMachine machine(tree, kRoot);
  auto run = MakeRun(machine.machine(), clearing, true);
  const auto args = ArgumentsOf(*run);
  for (auto _ : state) {
    run->MatchList.Clear();
    zavero::ScanForMatches(*run, args);
    zavero::ProcessMatches(*run);
  }
  state.SetLabel(clearing ? "CLEAR, log" : "list, log");
  ReportTree(state, tree);
}

// The free machine's own share: the two listings per folder that a walk
// asks for, with nothing done with the entries.
void BM_FreeMachineListingOnly(benchmark::State& state) {
  const CostlessTree tree = TreeOf(state);
  CostlessMachine machine(tree, kRoot);
  for (auto _ : state) {
    std::int64_t seen = 0;
    std::string search;
    // The folders of the tree, in walk order, are not needed: every folder
    // of one level lists alike, so one folder per level times its count is
    // the same work.
    std::string folder = kRoot;
    std::int64_t count = 1;
    for (int level = 0; level <= tree.depth; ++level) {
      for (std::int64_t f = 0; f < count; ++f) {
        for (int pass = 0; pass < 2; ++pass) {
          search.assign(folder).append("\\*");
          platform::FindEntry entry;
          std::uint32_t error = 0;
          platform::Handle h = machine.FindFirstEntry(search.c_str(), &entry, &error);
          if (h == platform::kInvalidHandle) continue;
          do ++seen;
          while (machine.FindNextEntry(h, &entry, &error));
          machine.EndFind(h);
        }
      }
      folder += "\\Folder 01";
      count *= tree.fanout;
    }
    benchmark::DoNotOptimize(seen);
  }
  ReportTree(state, tree);
}

// ---------------------------------------------------------------- the fake

// The same tree on the unit tests' fake machine.
void BuildFakeTree(zavero::fake::FakeFiles& files, const CostlessTree& tree, const std::string& folder,
                   int level) {
  if (level < tree.depth) {
    for (int i = 0; i < tree.fanout; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "\\Folder %02d", i);
      files.AddFolder(folder + name, i == 0 ? 0x16u : 0x10u);
      BuildFakeTree(files, tree, folder + name, level + 1);
    }
  }
  for (int i = 0; i < tree.files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\document-%04d.txt", i);
    files.AddFile(folder + name, i == 0 ? 0x22u : 0x20u);
  }
}

struct FakeSetup {
  zavero::fake::FakeMachine m;
  explicit FakeSetup(const CostlessTree& tree) {
    m.Calls.SetEnabled(false);
    m.Files.AddDrive('C', platform::kDriveFixed);
    m.Files.AddFolder(kRoot);
    m.Files.AddFolder("C:\\Users\\someone");
    BuildFakeTree(m.Files, tree, kRoot, 0);
  }
  // Brings the disk and the console back to where a run starts.
  void Reset() {
    m.Console.Writes.clear();
    m.Files.AddFile(kLogPath, 0x20);
  }
};

void BM_FakeScanAndProcess(benchmark::State& state) {
  const CostlessTree tree = TreeOf(state);
  FakeSetup fake(tree);
  auto run = MakeRun(fake.m, false, true);
  const auto args = ArgumentsOf(*run);
  for (auto _ : state) {
    state.PauseTiming();
    fake.Reset();
    run->MatchList.Clear();
    state.ResumeTiming();
    zavero::ScanForMatches(*run, args);
    zavero::ProcessMatches(*run);
  }
  if (run->MatchList.Count() != tree.Selected()) state.SkipWithError("unexpected match count");
  state.SetLabel("list, log");
  ReportTree(state, tree);
}

// The fake's share of that run's listings alone: two listings per folder,
// with the folders found by the listings themselves.
void ListFakeTree(zavero::fake::FakeFiles& files, const std::string& folder, std::int64_t& seen) {
  std::string search = folder + "\\*";
  for (int pass = 0; pass < 2; ++pass) {
    platform::FindEntry entry;
    std::uint32_t error = 0;
    platform::Handle h = files.FindFirstEntry(search.c_str(), &entry, &error);
    if (h == platform::kInvalidHandle) return;
    do {
      ++seen;
      const bool dot = entry.Name[0] == '.';
      if (pass == 0 && !dot && (entry.Attributes & platform::kAttrDirectory))
        ListFakeTree(files, folder + "\\" + entry.Name, seen);
    } while (files.FindNextEntry(h, &entry, &error));
    files.EndFind(h);
  }
}

void BM_FakeListingOnly(benchmark::State& state) {
  const CostlessTree tree = TreeOf(state);
  FakeSetup fake(tree);
  for (auto _ : state) {
    std::int64_t seen = 0;
    ListFakeTree(fake.m.Files, kRoot, seen);
    benchmark::DoNotOptimize(seen);
  }
  ReportTree(state, tree);
}

// ---------------------------------------------------------------- memory

// Heap bytes per MatchList element for the paths a real walk selects, on a
// pool of their own (everything the pool took from the heap counted). The
// walk's paths are taken over and over until the list is 100,000 long, so
// that the part-used last chunk of the pool weighs as little as it does in a
// large run.
void BM_MatchListBytesForWalkPaths(benchmark::State& state) {
  const CostlessTree tree = TreeOf(state);
  CostlessMachine machine(tree, kRoot);
  auto run = MakeRun(machine.machine(), false, false);
  zavero::ScanForMatches(*run, ArgumentsOf(*run));
  constexpr int kElements = 100000;
  double per_element = 0, path_bytes = 0;
  for (auto _ : state) {
    zavero::support::ElementPool pool;
    zavero::support::WorkList copy(pool);
    std::size_t characters = 0;
    const auto* e = run->MatchList.MoveFirst();
    for (int i = 0; i < kElements; ++i) {
      copy.InsertAfterCurrent(e->Text());
      characters += e->Length();
      e = run->MatchList.MoveNext();
      if (e == nullptr) e = run->MatchList.MoveFirst();
    }
    per_element = static_cast<double>(pool.HeapBytes()) / kElements;
    path_bytes = static_cast<double>(characters) / kElements;
  }
  state.counters["elements"] = kElements;
  state.counters["path_bytes"] = path_bytes;
  state.counters["bytes_per_element"] = per_element;
  state.counters["bytes_over_path"] = per_element - path_bytes;
}

// depth (levels of folders), files per folder, clearing.
BENCHMARK(BM_Scan)->Args({2, 10})->Args({3, 10})->Args({4, 10})->Args({3, 0})->Args({3, 100})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CallsPerFolder)->Args({3, 10})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Process)->Args({3, 10, 0})->Args({3, 10, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanAndProcess)->Args({2, 10, 1})->Args({3, 10, 0})->Args({3, 10, 1})
    ->Args({4, 10, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FreeMachineListingOnly)->Args({3, 10})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FakeScanAndProcess)->Args({3, 10})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FakeListingOnly)->Args({3, 10})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MatchListBytesForWalkPaths)->Args({3, 10})->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
