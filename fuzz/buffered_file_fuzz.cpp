// BufferedFiles against a model of the bytes each file must hold: arbitrary
// sequences of create, open, write, length, seek, close and of changes to the
// disk (locks, attributes, deletion, sizes beyond 4 GiB) decoded from the
// input. The model writes every line at once; the buffer must be invisible
// whenever the file is measured, moved in or closed, and at the end.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fake/call_log.h"
#include "fake/fake_files.h"
#include "support/buffered_file.h"

namespace {

using zavero::support::BufferedFiles;

// Files that may be denied their buffer memory, as the facility allows.
class Files : public BufferedFiles {
 public:
  using BufferedFiles::BufferedFiles;
  bool deny_buffers = false;

 protected:
  char* TakeBuffer() override { return deny_buffers ? nullptr : BufferedFiles::TakeBuffer(); }
};

const char* const kPaths[] = {"C:\\d\\a.log", "C:\\d\\b.log", "C:\\d\\c.log",
                              "C:\\missing\\d.log"};
constexpr int kPathCount = 4;

struct ModelFile {
  bool exists = false;
  bool locked = false;
  std::uint32_t attributes = 0x20;
  std::uint64_t prefix = 0;  // bytes the disk reports in front of the content
  std::string content;
  std::uint64_t Size() const { return prefix + content.size(); }
};

struct ModelHandle {
  int path;
  std::uint64_t position;
};

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Run {
  zavero::fake::CallLog calls;
  zavero::fake::FakeFiles disk{calls};
  ModelFile model[kPathCount];
  std::map<std::uint32_t, ModelHandle> open;
  std::vector<std::uint32_t> seen;

  Run() {
    calls.SetEnabled(false);
    disk.AddDrive('C', 3);
    disk.AddFolder("C:\\d");
  }

  bool PathOpen(int path) const {
    for (const auto& h : open)
      if (h.second.path == path) return true;
    return false;
  }

  void Same(int path) const {
    const ModelFile& f = model[path];
    Require(disk.Exists(kPaths[path]) == f.exists);
    if (f.exists) Require(disk.Content(kPaths[path]) == f.content);
  }

  // Create (truncate) or open; returns the handle when the model expects one.
  void Opening(Files& files, int path, bool create) {
    // With FILE_SHARE_READ a second writer is refused by the system; the fake
    // does not model that, so the sequence never asks for it.
    if (PathOpen(path)) return;
    ModelFile& f = model[path];
    const bool folder = path != 3;
    const bool refused = !folder || (f.exists && (f.locked || (f.attributes & 0x1)));
    const std::uint32_t handle = create ? files.Create(kPaths[path]) : files.Open(kPaths[path]);
    Require((handle != 0) == !refused);
    Require(files.IsOpen(handle) == !refused);
    if (refused) return;
    Require(open.count(handle) == 0);
    if (create) {
      f.content.clear();
      f.prefix = 0;
      // CREATE_ALWAYS makes a plain archive file; a hidden or system one is
      // only emptied and keeps its attributes.
      if (!f.exists || !(f.attributes & 0x6)) f.attributes = 0x20;
    } else if (!f.exists) {
      f.attributes = 0x20;
    }
    f.exists = true;
    open[handle] = {path, 0};
    seen.push_back(handle);
  }

  std::uint32_t PickHandle(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
      case 0: return 0;
      case 1: return in.ConsumeIntegral<std::uint32_t>();
      case 2:
        if (!seen.empty()) return seen[in.ConsumeIntegralInRange<std::size_t>(0, seen.size() - 1)];
        return 1;
      default:
        if (open.empty()) return 0;
        auto it = open.begin();
        std::advance(it, in.ConsumeIntegralInRange<std::size_t>(0, open.size() - 1));
        return it->first;
    }
  }

  std::string Text(FuzzedDataProvider& in) {
    const std::uint8_t kind = in.ConsumeIntegral<std::uint8_t>();
    std::size_t length = kind % 64;
    if (kind >= 200) length = 4090 + kind % 12;  // around the buffer's size
    if (kind >= 240) length = in.ConsumeIntegralInRange<std::size_t>(0, 9000);
    std::string seed = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(1, 8));
    if (seed.empty()) seed = "x";
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
      const char c = seed[i % seed.size()];
      text[i] = c == 0 ? '0' : c;  // a text holds no zero byte
    }
    return text;
  }

  void Step(Files& files, FuzzedDataProvider& in) {
    const int path = in.ConsumeIntegralInRange(0, kPathCount - 1);
    switch (in.ConsumeIntegralInRange(0, 11)) {
      case 0:
        Opening(files, path, true);
        break;
      case 1:
        Opening(files, path, false);
        break;
      case 2:
      case 3: {
        const std::uint32_t h = PickHandle(in);
        const std::string text = Text(in);
        const std::int32_t taken = files.WriteLine(h, text);
        auto it = open.find(h);
        if (it == open.end()) {
          Require(taken == 0);
          break;
        }
        Require(taken == static_cast<std::int32_t>(text.size() + 2));
        ModelFile& f = model[it->second.path];
        // The fake disk keeps only the bytes after its reported prefix; a
        // position inside the prefix writes at the content's start.
        const std::uint64_t position = it->second.position;
        const std::size_t at =
            position < f.prefix ? 0 : static_cast<std::size_t>(position - f.prefix);
        const std::string bytes = text + "\r\n";
        if (f.content.size() < at) f.content.resize(at, '\0');
        f.content.replace(at, std::min(bytes.size(), f.content.size() - at), bytes);
        it->second.position = f.prefix + at + bytes.size();
        break;
      }
      case 4: {
        const std::uint32_t h = PickHandle(in);
        const std::int64_t length = files.Length(h);
        auto it = open.find(h);
        if (it == open.end()) {
          Require(length == -1);
          break;
        }
        Require(length == static_cast<std::int64_t>(model[it->second.path].Size()));
        Same(it->second.path);
        break;
      }
      case 5: {
        const std::uint32_t h = PickHandle(in);
        auto it = open.find(h);
        if (it == open.end()) {
          files.Seek(h, in.ConsumeIntegral<std::int64_t>());
          break;
        }
        const ModelFile& f = model[it->second.path];
        const std::uint64_t position = f.prefix + in.ConsumeIntegralInRange<std::uint64_t>(
                                                      0, f.content.size() + 16);
        files.Seek(h, static_cast<std::int64_t>(position));
        it->second.position = position;
        Same(it->second.path);
        break;
      }
      case 6: {
        const std::uint32_t h = PickHandle(in);
        files.Close(h);
        auto it = open.find(h);
        if (it == open.end()) break;
        const int closed = it->second.path;
        open.erase(it);
        Require(!files.IsOpen(h));
        Same(closed);
        break;
      }
      case 7: {
        const std::uint32_t h = PickHandle(in);
        Require(files.IsOpen(h) == (open.count(h) == 1));
        break;
      }
      case 8:  // another program takes or lets go of the file
        if (!model[path].exists) break;
        model[path].locked = !model[path].locked;
        disk.LockFile(kPaths[path], model[path].locked);
        break;
      case 9: {  // attributes changed from outside
        if (!model[path].exists) break;
        const std::uint32_t words[] = {0x20, 0x22, 0x24, 0x21, 0x26};
        model[path].attributes = words[in.ConsumeIntegralInRange(0, 4)];
        disk.SetAttributes(kPaths[path], model[path].attributes);
        break;
      }
      case 10:  // deleted from outside while nobody holds it
        if (!model[path].exists || PathOpen(path)) break;
        disk.Remove(kPaths[path]);
        model[path] = ModelFile();
        break;
      case 11: {
        if (in.ConsumeBool()) {
          files.deny_buffers = !files.deny_buffers;
          break;
        }
        // The disk reports a size near or beyond 4 GiB.
        if (!model[path].exists || PathOpen(path)) break;
        const std::uint64_t prefixes[] = {0, 0xFFFFFFF0u, 0x100000000u, 0x500000007u};
        model[path].prefix = prefixes[in.ConsumeIntegralInRange(0, 3)];
        disk.SetSparsePrefix(kPaths[path], model[path].prefix);
        break;
      }
    }
    Require(disk.open_files() == static_cast<int>(open.size()));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Run run;
  {
    Files files(run.disk);
    for (int steps = 0; steps < 200 && in.remaining_bytes() > 0; ++steps) run.Step(files, in);
    files.CloseAll();
    for (const auto& h : run.seen) Require(!files.IsOpen(h));
  }
  Require(run.disk.open_files() == 0);
  for (int path = 0; path < kPathCount; ++path) run.Same(path);
  return 0;
}
