// What the platform charges for each call a run makes, timed through the
// program's own seam on the real machine (under Wine, here). A run's time
// beyond its pauses is mostly these calls, so the table explains the scan
// benchmark: per folder two listings and two progress rows, per selected
// entry a row and one or two log lines, and in clearing mode two or three
// attribute calls.
//
//   platform_calls.exe FOLDER OUTPUT
//
// FOLDER is a folder with many entries (listed as a walk lists it) and an
// empty subfolder "empty" (the cost of a listing by itself); the log and
// attribute calls use the scratch file FOLDER\platform-calls.log, left for the
// caller to remove. The console is the one the program runs in (rows 10 to 59
// are drawn over). Results go to OUTPUT as "name<TAB>microseconds per
// call<TAB>calls timed" lines, and last the memory a match list element takes
// in this build.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/machine.h"
#include "support/element_pool.h"
#include "support/work_list.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace platform = zavero::platform;

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

class Report {
 public:
  explicit Report(const char* path) : file_(std::fopen(path, "w")) {}
  ~Report() {
    if (file_) std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr; }
  // Times `count` rounds of `step` and writes the time per round.
  template <typename Step>
  void Time(const char* name, int count, Step step) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) step(i);
    std::fprintf(file_, "%s\t%.3f\t%d\n", name, MicrosecondsSince(start) / count, count);
    std::fflush(file_);
  }
  void Note(const char* name, double value) { std::fprintf(file_, "%s\t%.3f\t1\n", name, value); }

 private:
  std::FILE* file_;
};

// Lists `search` once as the walk does; the number of entries.
int ListOnce(platform::FileSystem& files, const std::string& search) {
  platform::FindEntry entry;
  std::uint32_t error = 0;
  const platform::Handle find = files.FindFirstEntry(search.c_str(), &entry, &error);
  if (find == platform::kInvalidHandle) return 0;
  int count = 1;
  while (files.FindNextEntry(find, &entry, &error)) ++count;
  files.EndFind(find);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: platform_calls FOLDER OUTPUT\n");
    return 2;
  }
  const std::string folder = argv[1];
  Report report(argv[2]);
  if (!report.ok()) return 1;

  platform::Machine& m = platform::RealMachine();
  platform::Process& process = m.Process;
  platform::FileSystem& files = m.Files;
  platform::FileIo& io = m.Io;
  platform::Console& console = m.Console;

  // The pauses as the run's working part makes them.
  process.BeginPreciseTiming();
  report.Time("Pause(5)", 100, [&](int) { process.Pause(5); });
  report.Time("Pause(1)", 100, [&](int) { process.Pause(1); });

  void* scratch = nullptr;
  report.Time("redirection off + on", 2000, [&](int) {
    process.DisableRedirection(&scratch);
    process.EnableRedirection();
  });

  const int entries = ListOnce(files, folder + "\\*");
  report.Note("entries in the listed folder", entries);
  report.Time("listing of the folder", 20, [&](int) { ListOnce(files, folder + "\\*"); });
  const std::string empty = folder + "\\empty";
  report.Time("listing of an empty folder", 200, [&](int) { ListOnce(files, empty + "\\*"); });

  const platform::Handle out = console.StdHandle(platform::kStdOutput);
  console.SetOutputMode(out, 0);
  char row[260];
  std::memset(row, ' ', sizeof row);
  const char kRowText[] = "  Z:\\a\\row\\as\\long\\as\\a\\path";
  std::memcpy(row, kRowText, sizeof kRowText - 1);  // no terminator inside the row
  platform::ScreenBufferInfo info;
  console.ReadScreenBufferInfo(out, &info);
  // A row as the run draws it: the cursor to its start, then its text.
  report.Time("console: row of 200 columns (cursor move and write)", 200, [&](int i) {
    console.SetCursor(out, 0, static_cast<std::int16_t>(10 + i % 50));
    console.WriteChars(out, row, 200);
  });
  // A walked folder's rows as the walk draws them: the count row asked to
  // wait for the folder row below it, both in the same place each time.
  report.Time("console: count and folder rows in one call", 200, [&](int) {
    console.SetCursor(out, 0, 8);
    console.JoinNextRow(out);
    console.WriteChars(out, row, 20);
    console.SetCursor(out, 0, 9);
    console.WriteChars(out, row, 200);
  });
  // The same two rows as the walk now leaves them, both waiting, and the
  // pause before the next folder, during which they go out.
  report.Time("Pause(5) with a folder's rows waiting", 100, [&](int) {
    console.SetCursor(out, 0, 8);
    console.JoinNextRow(out);
    console.WriteChars(out, row, 20);
    console.SetCursor(out, 0, 9);
    console.JoinNextRow(out);
    console.WriteChars(out, row, 200);
    process.Pause(5);
  });
  // Entry rows running down the band, each asked to wait for the next: they
  // go out eight at a time. Per row.
  report.Time("console: entry row, eight in one call", 400, [&](int i) {
    console.SetCursor(out, 0, static_cast<std::int16_t>(10 + i % 48));
    if (i % 8 != 7) console.JoinNextRow(out);
    console.WriteChars(out, row, 200);
  });
  report.Time("console: buffer info", 200, [&](int) { console.ReadScreenBufferInfo(out, &info); });
  report.Time("console: colours", 200,
              [&](int i) { console.SetTextAttribute(out, i % 2 ? 15 : 9); });

  const std::string log = folder + "\\platform-calls.log";
  const char line[] = "   Z:\\work\\main\\build\\bench\\t2000\\folder00012\\document-05.txt\r\n";
  report.Time("log line: open, size, seek, write, close", 200, [&](int) {
    const platform::Handle file =
        io.OpenFile(log.c_str(), platform::kGenericRead | platform::kGenericWrite,
                    platform::kShareRead, platform::kOpenAlways, platform::kAttrNormal);
    std::uint32_t high = 0;
    const std::uint32_t low = io.FileSize(file, &high);
    auto high_position = static_cast<std::int32_t>(high);
    io.SeekFromStart(file, static_cast<std::int32_t>(low), &high_position);
    std::uint32_t written = 0;
    io.WriteBytes(file, line, sizeof line - 1, &written);
    io.CloseFile(file);
  });

  std::uint32_t attributes = files.ReadAttributes(log.c_str());
  report.Time("attributes: read", 200, [&](int) { attributes = files.ReadAttributes(log.c_str()); });
  report.Time("attributes: write", 200, [&](int i) {
    files.WriteAttributes(log.c_str(), i % 2 ? attributes & ~platform::kAttrHidden
                                             : attributes | platform::kAttrHidden);
  });
  files.WriteAttributes(log.c_str(), attributes & ~platform::kAttrHidden);

  // Memory of the match list as this build lays its elements out: heap bytes
  // per element for 100,000 paths of 60 characters.
  {
    const char path[] = "Z:\\work\\main\\build\\bench-work\\tree-2000\\folder00012\\docs.txt";
    static_assert(sizeof path == 61, "a 60-character path");
    zavero::support::ElementPool pool;
    zavero::support::WorkList matches(pool);
    const int count = 100000;
    for (int i = 0; i < count; ++i) matches.InsertAfterCurrent(path);
    const double per_element = static_cast<double>(pool.HeapBytes()) / count;
    report.Note("match list: bytes per element, 60-character path", per_element);
    report.Note("match list: bytes per element over the path", per_element - (sizeof path - 1));
  }
  return 0;
}
