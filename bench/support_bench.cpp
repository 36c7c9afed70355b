// Cost of the work lists the scan leans on: time per inserted and removed
// element, and the memory a MatchList element takes for a typical path.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "support/element_pool.h"
#include "support/work_list.h"

namespace {

using zavero::support::ElementPool;
using zavero::support::WorkList;

constexpr char kPath60[] = "C:\\Users\\someone\\Documents\\Projects\\zavero\\build\\abcdefg.txt";
static_assert(sizeof(kPath60) == 61, "the typical path is 60 characters");

// Time per element as a counter: seconds per (iterations x elements).
benchmark::Counter PerElement(std::int64_t elements) {
  return benchmark::Counter(static_cast<double>(elements),
                            benchmark::Counter::kIsIterationInvariantRate |
                                benchmark::Counter::kInvert);
}

// The MatchList's life: append every match, then walk and drop them.
void BM_WorkListAppendThenRemove(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  ElementPool pool;
  WorkList list(pool);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) list.InsertAfterCurrent(kPath60);
    list.MoveFirst();
    while (list.Count() > 0) list.RemoveCurrent();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["time_per_element"] = PerElement(n);
}
BENCHMARK(BM_WorkListAppendThenRemove)->Arg(1000)->Arg(100000);

// The system's two-step insertion: an empty element, then its text, which
// moves the element to a block of the text's size.
void BM_WorkListTwoStepInsert(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  ElementPool pool;
  WorkList list(pool);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) {
      list.InsertAfterCurrent();
      list.SetCurrentText(kPath60);
    }
    list.Clear();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["time_per_element"] = PerElement(n);
}
BENCHMARK(BM_WorkListTwoStepInsert)->Arg(1000);

// The FolderQueue's steady state: take the first folder, queue its subfolders
// behind it, drop it; the queue stays a few thousand elements long.
void BM_FolderQueueStep(benchmark::State& state) {
  ElementPool pool;
  WorkList queue(pool);
  for (int i = 0; i < 4000; ++i) queue.InsertAfterCurrent(kPath60);
  int step = 0;
  for (auto _ : state) {
    queue.MoveFirst();
    benchmark::DoNotOptimize(queue.Current()->Text());
    const int children = (step++ & 1) * 2;  // alternately 0 and 2 subfolders
    for (int i = 0; i < children; ++i) queue.InsertAfterCurrent(kPath60);
    queue.MoveFirst();
    queue.RemoveCurrent();
    if (queue.Count() == 0) queue.InsertAfterCurrent(kPath60);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FolderQueueStep);

// Heap bytes per MatchList element for a 60-character path, everything the
// pool took from the heap included (chunk links and chunk tails).
void BM_MatchListBytesPerElement(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  double per_element = 0;
  for (auto _ : state) {
    ElementPool pool;
    WorkList matches(pool);
    for (int i = 0; i < n; ++i) matches.InsertAfterCurrent(kPath60);
    per_element = static_cast<double>(pool.HeapBytes()) / n;
  }
  state.counters["bytes_per_element"] = per_element;
  state.counters["bytes_over_path"] = per_element - static_cast<double>(sizeof(kPath60) - 1);
  state.counters["pointer_bytes"] = sizeof(void*);
}
BENCHMARK(BM_MatchListBytesPerElement)->Arg(100000)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
